// The dialogs interface: how "\n\r" texts and "|" filters reach the screen,
// the scripted double that window tests rely on (answers by kind, log,
// unexpected questions), questions whose reason went, and the real dialogs
// answered on the offscreen platform.
#include "QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace {

// Runs handle on the next modal dialog once it is showing.
void OnNextModal(std::function<void(QWidget*)> handle) {
    QTimer::singleShot(0, qApp, [handle] {
        if (QWidget* w = QApplication::activeModalWidget())
            handle(w);
        else
            OnNextModal(handle);
    });
}

} // namespace

class TstUiDialogs : public QObject {
    Q_OBJECT
private slots:
    void displayText_data();
    void displayText();
    void fileFilter_data();
    void fileFilter();
    void scriptedAnswersByKind();
    void scriptedUnexpected();
    void answerAfterTheReasonWent_data();
    void answerAfterTheReasonWent();
    void realMessageAndQuestion();
    void realInputBox();
};

void TstUiDialogs::displayText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("LF CR") << "a\n\rb"
                           << "a\nb";
    QTest::newRow("CR LF") << "a\r\nb"
                           << "a\nb";
    QTest::newRow("two breaks") << "a\n\r\n\rb"
                                << "a\n\nb";
    QTest::newRow("LF then LF CR") << "a\n\n\rb"
                                   << "a\n\nb";
    QTest::newRow("lone CR") << "a\rb"
                             << "a\nb";
    QTest::newRow("trailing") << QString::fromUtf8("¡¡ ATENCION !! \n\rúltima\n\r")
                              << QString::fromUtf8("¡¡ ATENCION !! \núltima\n");
    QTest::newRow("plain") << "Opción no disponible, de momento..."
                           << "Opción no disponible, de momento...";
}

void TstUiDialogs::displayText() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(DisplayText(text), shown);
}

void TstUiDialogs::fileFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("save") << "Partida Zugaret CHAT|*.gam|Archivo PGN|*.pgn|Todos los archivos|*.*"
                          << "Partida Zugaret CHAT (*.gam);;Archivo PGN (*.pgn);;"
                             "Todos los archivos (*.*)";
    QTest::newRow("several patterns") << "Imágenes|*.bmp;*.png"
                                      << "Imágenes (*.bmp *.png)";
    QTest::newRow("odd piece left out") << "A|*.a|B"
                                        << "A (*.a)";
    QTest::newRow("empty") << ""
                           << "";
}

void TstUiDialogs::fileFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(QtFileFilter(filter), qt);
}

void TstUiDialogs::scriptedAnswersByKind() {
    TScriptedDialogs d;
    QObject owner;
    // Prepared in another order than asked: each question takes the first
    // answer of its own kind.
    d.AnswerFile(TQuestion::SaveGame, QStringLiteral("/tmp/x.gam"));
    d.AnswerNo(TQuestion::InterruptGame);
    d.AnswerInput(TQuestion::Nick, QStringLiteral("ana"));
    d.AnswerYes(TQuestion::GameOffer);
    d.AnswerChoice(TQuestion::PickGame, 2);
    QStringList got;
    d.ShowMessage(QStringLiteral("uno\n\rdos"), QString(), TMessageKind::Information, &owner,
                  [&] { got << "closed"; }); // takes no answer
    d.Ask(TQuestion::GameOffer, &owner, QStringLiteral("¿Acepta?"),
          [&](bool yes) { got << (yes ? "offer yes" : "offer no"); });
    d.AskText(TQuestion::Nick, &owner, QStringLiteral("ZugaretChat"),
              QStringLiteral("Escriba su nombre"), QString(),
              [&](std::optional<QString> t) { got << "nick " + t.value_or("<none>"); });
    d.Ask(
        TQuestion::InterruptGame, &owner, QStringLiteral("¿Interrumpir la partida actual?"),
        [&](bool yes) { got << (yes ? "interrupt yes" : "interrupt no"); },
        TQuestionButtons::OkCancel);
    TFileDialogRequest save{QStringLiteral("Guardar"), QString(), QStringLiteral("sin titulo"),
                            QStringLiteral("A|*.gam"), QStringLiteral("gam")};
    d.AskSaveFile(TQuestion::SaveGame, &owner, save, [&](const QString& f) { got << "save " + f; });
    d.AskChoice(TQuestion::PickGame, &owner, QStringLiteral("Abrir"), QStringLiteral("Elija"),
                {"a", "b", "c"}, 1,
                [&](std::optional<int> i) { got << "pick " + QString::number(i.value_or(-1)); });
    QVERIFY(got.isEmpty()); // nothing from inside the calls that asked
    QCOMPARE(d.OpenCount(), 6);
    QCOMPARE(d.Flush(), 6);
    QCOMPARE(d.Flush(), 0); // each answered once
    got.sort();
    QCOMPARE(got, QStringList({"closed", "interrupt no", "nick ana", "offer yes", "pick 2",
                               "save /tmp/x.gam"}));
    QCOMPARE(d.PendingAnswers(), 0);
    QVERIFY(!d.HasUnexpected());

    const QList<TDialogRecord>& log = d.Log();
    QCOMPARE(log.size(), 6);
    QCOMPARE(log[0].Kind, TDialogKind::Message);
    QCOMPARE(log[0].Text, QStringLiteral("uno\n\rdos")); // logged as the program wrote it
    QCOMPARE(log[1].Question, TQuestion::GameOffer);
    QCOMPARE(log[2].Caption, QStringLiteral("ZugaretChat"));
    QCOMPARE(log[3].Buttons, TQuestionButtons::OkCancel);
    QCOMPARE(log[3].Answer, QStringLiteral("no"));
    QCOMPARE(log[4].Kind, TDialogKind::SaveFile);
    QCOMPARE(log[4].DefaultText, QStringLiteral("sin titulo"));
    QCOMPARE(log[5].DefaultText, QStringLiteral("1"));
    QCOMPARE(d.Messages(), QStringList{QStringLiteral("uno\n\rdos")});
}

void TstUiDialogs::scriptedUnexpected() {
    TScriptedDialogs d;
    QObject owner;
    QStringList got;
    auto yesNo = [&](bool yes) { got << (yes ? "yes" : "no"); };
    // Nothing prepared: No, a cancelled input box, a cancelled file dialog.
    d.Ask(TQuestion::Resign, &owner, QStringLiteral("¿Seguro?"), yesNo);
    d.AskText(TQuestion::NewNick, &owner, "c", "p", "x",
              [&](std::optional<QString> t) { got << t.value_or("<cancel>"); });
    d.AskOpenFile(TQuestion::OpenGame, &owner, {}, [&](const QString& f) { got << "[" + f + "]"; });
    d.Flush();
    QCOMPARE(got, QStringList({"no", "<cancel>", "[]"}));
    QCOMPARE(d.UnexpectedDialogs().size(), 3);

    // An answer of another kind waits for its own question.
    got.clear();
    d.ClearLog();
    d.AnswerYes(TQuestion::DrawOffer);
    d.Ask(TQuestion::GameOffer, &owner, "t", yesNo);
    d.Flush();
    QCOMPARE(d.PendingAnswers(), 1);
    d.Ask(TQuestion::DrawOffer, &owner, "t", yesNo);
    d.Flush();
    QCOMPARE(got, QStringList({"no", "yes"}));
    QCOMPARE(d.UnexpectedDialogs().size(), 1);
    QCOMPARE(d.UnexpectedDialogs().at(0).Question, TQuestion::GameOffer);

    // Configured defaults.
    d.SetUnexpectedAnswers(true, QStringLiteral("auto"), QStringLiteral("/tmp/f"));
    d.AskText(TQuestion::NewNick, &owner, QStringLiteral("c"), QStringLiteral("p"),
              QStringLiteral("x"), [&](std::optional<QString> t) { got << t.value_or("<none>"); });
    d.Flush();
    QCOMPARE(got.last(), QStringLiteral("auto"));
    d.AskSaveFile(TQuestion::SaveGame, &owner, {}, [&](const QString& f) { got << f; });
    d.Flush();
    QCOMPARE(got.last(), QStringLiteral("/tmp/f"));

    // Held: open until answered.
    got.clear();
    d.Hold(TQuestion::Observe);
    d.Ask(TQuestion::Observe, &owner, "t", yesNo);
    QCOMPARE(d.Flush(), 0);
    QCOMPARE(d.OpenQuestions(TQuestion::Observe).size(), 1);
    QVERIFY(!d.AnswerOpen(TQuestion::GameOffer, true));
    QVERIFY(d.AnswerOpen(TQuestion::Observe, true));
    QCOMPARE(got, QStringList{"yes"});
    QCOMPARE(d.OpenCount(), 0);
}

void TstUiDialogs::answerAfterTheReasonWent_data() {
    QTest::addColumn<bool>("real");
    QTest::addColumn<bool>("ownerGoes"); // else the question is withdrawn
    QTest::newRow("scripted, withdrawn") << false << false;
    QTest::newRow("scripted, its owner gone") << false << true;
    QTest::newRow("real, withdrawn") << true << false;
    QTest::newRow("real, its owner gone") << true << true;
}

// A question whose reason has gone closes, and an answer given to it then
// reaches nobody.
void TstUiDialogs::answerAfterTheReasonWent() {
    QFETCH(bool, real);
    QFETCH(bool, ownerGoes);
    QWidget window;
    TScriptedDialogs scripted;
    TQtDialogs qt(&window);
    TUiDialogs& d = real ? static_cast<TUiDialogs&>(qt) : scripted;
    scripted.Hold(TQuestion::DrawOffer);
    auto owner = std::make_unique<QObject>();
    int answers = 0;
    const TQuestionId id = d.Ask(TQuestion::DrawOffer, owner.get(), QStringLiteral("¿Tablas?"),
                                 [&answers](bool) { ++answers; });
    QVERIFY(d.IsOpen(id));
    QPointer<QDialog> shown = qt.DialogOf(id);
    QCOMPARE(bool(shown), real);
    if (real) QTRY_VERIFY(shown->isVisible());
    if (ownerGoes)
        owner.reset();
    else
        d.Withdraw(id);
    QVERIFY(!d.IsOpen(id));
    QCOMPARE(d.OpenCount(), 0);
    if (real) {
        QVERIFY(!shown->isVisible());
        shown->done(QMessageBox::Yes); // a click that came too late
        QTRY_VERIFY(!shown);
    } else {
        QVERIFY(!scripted.AnswerOpen(TQuestion::DrawOffer, true));
        QCOMPARE(scripted.Log().last().Answer, QStringLiteral("<withdrawn>"));
    }
    QCoreApplication::processEvents();
    QCOMPARE(answers, 0);
    d.Withdraw(id); // twice: nothing
}

void TstUiDialogs::realMessageAndQuestion() {
    QWidget owner;
    TQtDialogs d(&owner);
    QString shown, caption;
    bool closed = false;
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        shown = box->text();
        caption = box->windowTitle();
        box->accept();
    });
    d.ShowMessage(QStringLiteral("uno\n\rdos\n\r"), QStringLiteral("Aviso"), TMessageKind::Warning,
                  &owner, [&closed] { closed = true; });
    QVERIFY(!closed); // the call returns at once
    QTRY_VERIFY(closed);
    QCOMPARE(shown, QStringLiteral("uno\ndos\n"));
    QCOMPARE(caption, QStringLiteral("Aviso"));

    for (const bool ok : {true, false}) {
        OnNextModal([ok](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            QVERIFY(box->button(QMessageBox::Ok) && box->button(QMessageBox::Cancel));
            box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
        });
        std::optional<bool> answer;
        d.Ask(
            TQuestion::InterruptGame, &owner, QStringLiteral("¿Interrumpir la partida actual?"),
            [&answer](bool yes) { answer = yes; }, TQuestionButtons::OkCancel);
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(*answer, ok);
    }
    OnNextModal([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box && box->button(QMessageBox::Yes));
        box->button(QMessageBox::Yes)->click();
    });
    std::optional<bool> answer;
    d.Ask(TQuestion::Resign, &owner, QStringLiteral("¿Seguro?"),
          [&answer](bool yes) { answer = yes; });
    QTRY_VERIFY(answer.has_value());
    QVERIFY(*answer);
    QCOMPARE(d.OpenCount(), 0);
}

void TstUiDialogs::realInputBox() {
    QWidget owner;
    TQtDialogs d(&owner);
    QString preset;
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        QVERIFY(box);
        preset = box->textValue();
        box->setTextValue(QStringLiteral("Nuevo"));
        box->accept();
    });
    std::optional<QString> nick = QStringLiteral("<none>");
    bool answered = false;
    d.AskText(TQuestion::NewNick, &owner, QStringLiteral("Nick"),
              QStringLiteral("Escriba el nuevo nick"), QStringLiteral("Ana"),
              [&](std::optional<QString> t) {
                  nick = t;
                  answered = true;
              });
    QTRY_VERIFY(answered);
    QCOMPARE(nick, std::optional<QString>(QStringLiteral("Nuevo")));
    QCOMPARE(preset, QStringLiteral("Ana"));
}

QTEST_MAIN(TstUiDialogs)
#include "tst_uidialogs.moc"
