// The windows as views over a program without windows: they follow its
// controller and chat session through signals, either side may go first,
// and each command's tool button and menu item are one action.
#include "tst_principal_fixture.h"

#include "ChatLog.h"
#include "ChatSession.h"
#include "HeadlessProgram.h"

#include <QPointer>
#include <QSettings>

namespace {
// A program without windows over its own folder, the user already known.
struct TBareProgram {
    QTemporaryDir dir;
    TScriptedDialogs dialogs;
    TRecordingSound sound;
    std::unique_ptr<TProgramEnv> env;
    std::unique_ptr<THeadlessProgram> program;

    TBareProgram() {
        const QString folder = dir.path() + "/";
        QFile ini(folder + "ZuzPlak.ini");
        ini.open(QIODevice::WriteOnly);
        ini.write("[User]\r\nNick=Ana\r\n[Config]\r\nLeft=120\r\n"
                  // the update check asks a port where nothing listens
                  "[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n");
        ini.close();
        env = std::make_unique<TProgramEnv>(folder, folder, 0); // an ephemeral port
        env->SetDialogs(&dialogs);
        env->SetSound(&sound);
        program = std::make_unique<THeadlessProgram>(*env);
    }
};

// The three windows over a program, as the windowed program builds them.
struct TViews {
    QPointer<TFrmPrincipal> main;
    QPointer<TFrmChat> chat;
    QPointer<TFrmPartida> partida;

    explicit TViews(THeadlessProgram& program) {
        main = new TFrmPrincipal(program);
        chat = new TFrmChat(program, main);
        partida = new TFrmPartida(
            program, [](char) { return QPixmap(); }, main);
        main->SetWindows(chat, partida);
        main->Board().SetAnimateMoves(false);
    }
    ~TViews() { delete main.data(); }
};

// What the views show against what the program holds; empty when they agree.
QStringList Disagreements(const TViews& v, THeadlessProgram& p) {
    QStringList out;
    auto check = [&out](bool same, const char* what) {
        if (!same) out << QString::fromLatin1(what);
    };
    const TGameController& g = p.Game();
    check(v.main->PanelText() == g.Panel().Text, "panel");
    check(v.main->windowTitle() == g.Title(), "main title");
    check(v.partida->Lines() == g.Record(), "record");
    check(v.chat->LogLines() == p.Chat().Log().Texts(), "log");
    check(v.chat->windowTitle() == p.Chat().Title(), "chat title");
    check(v.chat->NickList() == p.Chat().NickList(), "nicks");
    check(v.main->Board().isEnabled() == g.BoardActive(), "board input");
    return out;
}
} // namespace

class TstProgramViews : public QObject {
    Q_OBJECT
private slots:
    void viewsFollowTheProgram_data();
    void viewsFollowTheProgram();
    void eitherSideGoesFirst_data();
    void eitherSideGoesFirst();
    void settingsWrittenOnceWithTheViewsKeys();
    void commandsShareOneAction_data();
    void commandsShareOneAction();
};

void TstProgramViews::viewsFollowTheProgram_data() {
    QTest::addColumn<QString>("step");
    QTest::newRow("as built") << "";
    QTest::newRow("a game at one board") << "start";
    QTest::newRow("a move") << "move";
    QTest::newRow("the game ended") << "end";
    QTest::newRow("a typed line") << "type";
    QTest::newRow("hosting a chat") << "host";
}

void TstProgramViews::viewsFollowTheProgram() {
    QFETCH(QString, step);
    TBareProgram bare;
    THeadlessProgram& p = *bare.program;
    TViews views(p);
    const QStringList steps{"start", "move", "end", "type", "host"};
    // Every step up to this row's, each through the program, none through a view.
    for (const QString& s : steps.mid(0, steps.indexOf(step) + 1)) {
        if (s == "start") p.Game().StartLocalGame(TGameMode::LocalTwoPlayers, true, 5);
        if (s == "move") QVERIFY(p.Model().Move(Square::E2, Square::E4));
        if (s == "end") p.Game().Resign();
        if (s == "type") p.Type("/help");
        if (s == "host") p.Chat().bCrearClick();
    }
    QCOMPARE(Disagreements(views, p), QStringList());
    if (step == "move") QCOMPARE(views.partida->Lines(), QStringList{"1.Pe2e4"});
    if (step == "host") QCOMPARE(views.chat->NickList(), QStringList{"Ana"});
}

void TstProgramViews::eitherSideGoesFirst_data() {
    QTest::addColumn<QString>("first");
    QTest::newRow("the views first") << "views";
    QTest::newRow("the chat window first") << "chat";
    QTest::newRow("the record window first") << "record";
    QTest::newRow("the program first") << "program";
}

void TstProgramViews::eitherSideGoesFirst() {
    QFETCH(QString, first);
    TBareProgram bare;
    THeadlessProgram& p = *bare.program;
    TViews views(p);
    p.Game().StartLocalGame(TGameMode::LocalTwoPlayers, true, 5);
    QVERIFY(p.Model().Move(Square::E2, Square::E4));
    if (first == "program") {
        bare.program.reset();
        // Its views went with it, while it was whole (a sanitizer build
        // tells if anything reached for it afterwards).
        QVERIFY(!views.main);
        QVERIFY(!views.chat);
        QVERIFY(!views.partida);
        return;
    }
    if (first == "views") delete views.main.data();
    if (first == "chat") delete views.chat.data();
    if (first == "record") delete views.partida.data();
    // The program goes on without the view that went: nothing of it is
    // reached any more.
    QVERIFY(p.Model().Move(Square::E7, Square::E5));
    p.Type("/help");
    p.Game().Resign();
    QCOMPARE(p.Game().Record().value(0), QString("1.Pe2e4 Pe7e5"));
    if (views.main) {
        QCOMPARE(views.main->PanelText(), p.Game().Panel().Text);
        views.main->bNuevaPartidaClick(); // the chat's nick list is asked for, if still there
        QVERIFY(views.main->FrmConexion());
    }
    if (views.partida) QCOMPARE(views.partida->Lines(), p.Game().Record());
    if (views.chat) QCOMPARE(views.chat->LogLines(), p.Chat().Log().Texts());
    bare.program.reset();
    QVERIFY(!views.main);
}

// The program writes the file once, at its end, with what the main window
// keeps (its place) and what the controller keeps (the nick) in it.
void TstProgramViews::settingsWrittenOnceWithTheViewsKeys() {
    TBareProgram bare;
    THeadlessProgram& p = *bare.program;
    TViews views(p);
    QCOMPARE(views.main->x(), 120); // read from the program's settings
    views.main->move(140, 90);
    int quitting = 0, finished = 0;
    connect(&p, &THeadlessProgram::OnQuitting, this, [&quitting] { ++quitting; });
    connect(&p, &THeadlessProgram::OnFinished, this, [&finished] { ++finished; });
    const QString ini = bare.env->IniFile();
    QVERIFY(views.main->close());
    QCOMPARE(quitting, 1);
    QCOMPARE(finished, 1);
    QSettings saved(ini, QSettings::IniFormat);
    QCOMPARE(saved.value("User/Nick").toString(), QString("Ana"));
    QCOMPARE(saved.value("Config/Left").toInt(), 140);
    // Quitting again writes nothing more.
    QVERIFY(QFile::remove(ini));
    p.Quit();
    QVERIFY(!QFile::exists(ini));
    QCOMPARE(finished, 1);
}

void TstProgramViews::commandsShareOneAction_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("item");
    QTest::newRow("Tablas") << "bTablas"
                            << "menuTablas";
    QTest::newRow("Rendir") << "bRendir"
                            << "menuRendir";
    QTest::newRow("Invertir") << "bInvertir"
                              << "menuInvertir";
    QTest::newRow("Pulsar y soltar") << "bPointAndClick"
                                     << "menuPointClick";
}

void TstProgramViews::commandsShareOneAction() {
    QFETCH(QString, button);
    QFETCH(QString, item);
    TTestProgram t;
    QToolButton* b = t.MainButton(qPrintable(button));
    QAction* a = t.Control<QAction>(t.Main(), qPrintable(item));
    QVERIFY(b && a);
    QCOMPARE(b->defaultAction(), a);
    // Enabled together through a game's states, whatever decides them.
    auto same = [&] {
        return b->isEnabled() == a->isEnabled() && b->isChecked() == a->isChecked();
    };
    QVERIFY(same());
    t.NewGameVia("Ana", true); // at one board
    QVERIFY(same());
    QVERIFY(t.Play("e2e4"));
    QVERIFY(same());
    t.Game().EndGame(TEndReason::DrawAgreed);
    QVERIFY(same());
    // Pressing the button is choosing the item.
    int triggered = 0;
    connect(a, &QAction::triggered, this, [&triggered] { ++triggered; });
    b->click();
    QCOMPARE(triggered, b->isEnabled() ? 1 : 0);
    QVERIFY(same());
}

QTEST_MAIN(TstProgramViews)
#include "tst_programviews.moc"
