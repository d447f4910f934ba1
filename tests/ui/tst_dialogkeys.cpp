// The keyboard in the program's own dialogs: the first control has the
// focus, Enter accepts from any control and Escape cancels; "Nueva partida"
// proposes what was chosen last time.

#include "ConfigurationWindow.h"
#include "tst_principal_fixture.h"

#include "ChatSession.h"

#include <QGroupBox>
#include <QRegularExpression>
#include <QTabWidget>

class TestDialogKeys : public QObject {
    Q_OBJECT

private slots:
    void newGameKeys_data();
    void newGameKeys();
    void newGameProposesTheLastChoice();
    void configurationKeys_data();
    void configurationKeys();
    void dialogsOpenOnScreen_data();
    void dialogsOpenOnScreen();
    void noEnglishInTheWindows();
};

void TestDialogKeys::newGameKeys_data() {
    QTest::addColumn<QString>("control"); // where the key is pressed; empty: the focus
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("started");
    QTest::newRow("Enter where the focus is") << "" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on the minutes") << "eDuracion" << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on a colour") << "rbNegras" << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter on the level") << "eNivel" << int(Qt::Key_Return) << true;
    QTest::newRow("Escape") << "" << int(Qt::Key_Escape) << false;
    QTest::newRow("Escape on the minutes") << "eDuracion" << int(Qt::Key_Escape) << false;
}

void TestDialogKeys::newGameKeys() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(bool, started);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.bNuevaPartidaClick();
    TFrmConexion* dlg = m.FrmConexion();
    QVERIFY(dlg);
    QCOMPARE(dlg->focusWidget(), t.Control<QWidget>(*dlg, "cb1"));
    dlg->Choose("ZuzPlak", true, 9);
    QWidget* target =
        control.isEmpty() ? dlg->focusWidget() : t.Control<QWidget>(*dlg, qPrintable(control));
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(!m.FrmConexion());
    QVERIFY(m.MainEnabled());
    QCOMPARE(t.Game().GameInProgress(), started);
    if (started) {
        QCOMPARE(t.Game().GameMode(), TGameMode::VsComputer);
        QCOMPARE(t.Game().ClockW().Minutos(), 9);
        t.Game().EndGame(TEndReason::Abandoned);
    }
}

void TestDialogKeys::newGameProposesTheLastChoice() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true, 7);
    t.Game().EndGame(TEndReason::Abandoned);
    m.bNuevaPartidaClick();
    TFrmConexion* dlg = m.FrmConexion();
    QVERIFY(dlg);
    QCOMPARE(dlg->Opponent(), QString("Ana"));
    QCOMPARE(dlg->Minutes(), 7);
    QVERIFY(!dlg->WhiteChosen()); // after White, Black
    dlg->Choose("ZuzPlak", true, 3);
    dlg->ChooseDepth(2);
    dlg->bCrearClick();
    t.Game().EndGame(TEndReason::Abandoned);
    m.bNuevaPartidaClick();
    dlg = m.FrmConexion();
    QCOMPARE(dlg->Opponent(), QString("ZuzPlak"));
    QCOMPARE(dlg->Minutes(), 3);
    QCOMPARE(dlg->Depth(), 2);
    dlg->close();
}

void TestDialogKeys::configurationKeys_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
}

void TestDialogKeys::configurationKeys() {
    QFETCH(int, key);
    TTestProgram t;
    t.Main().bConfiguracionClick();
    auto* window = t.Main().findChild<TFrmConfiguracion*>();
    QVERIFY(window && window->isVisible());
    QVERIFY(window->focusWidget());
    QPointer<TFrmConfiguracion> alive(window);
    QTest::keyClick(window->focusWidget(), Qt::Key(key));
    QTRY_VERIFY(!alive || !alive->isVisible());
}

void TestDialogKeys::dialogsOpenOnScreen_data() {
    QTest::addColumn<QPoint>("corner"); // where the main window stands
    QTest::newRow("left edge") << QPoint(0, 0);
    QTest::newRow("right edge") << QPoint(-1, 0); // -1: as far right as the screen goes
}

// A window centred over a narrow main window at a screen edge is moved onto it.
void TestDialogKeys::dialogsOpenOnScreen() {
    QFETCH(QPoint, corner);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    const QRect screen = m.screen()->availableGeometry();
    m.resize(m.minimumSizeHint());
    m.move(corner.x() < 0 ? screen.right() - m.width() + 1 : screen.left(), screen.top());
    m.bConfiguracionClick();
    auto* window = m.findChild<TFrmConfiguracion*>();
    QVERIFY(window);
    QVERIFY(screen.contains(window->frameGeometry()));
    window->close();
    m.bNuevaPartidaClick();
    QVERIFY(screen.contains(m.FrmConexion()->frameGeometry()));
    m.FrmConexion()->close();
}

// Every text of the windows, their menus and dialogs: captions, hints,
// labels, tabs, group titles, and the chat log after a failed "Conectar".
void TestDialogKeys::noEnglishInTheWindows() {
    TTestProgram t("Ana", "[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n");
    TFrmPrincipal& m = t.Main();
    m.bConfiguracionClick();
    m.bNuevaPartidaClick();
    t.Chat().Session().ChatPort = "9";
    t.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
    t.Chat().bConectarClick();
    QTRY_VERIFY(t.Chat().ConnectEnabled());
    QStringList texts;
    for (QWidget* window : {static_cast<QWidget*>(&m), static_cast<QWidget*>(&t.Chat()),
                            static_cast<QWidget*>(&t.Partida())}) {
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets << window;
        for (QWidget* w : widgets) {
            texts << w->windowTitle() << w->toolTip();
            if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text();
            if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
            if (auto* tabs = qobject_cast<QTabWidget*>(w))
                for (int i = 0; i < tabs->count(); ++i)
                    texts << tabs->tabText(i);
            for (QAction* a : w->actions())
                texts << a->text() << a->toolTip();
        }
    }
    texts << t.Chat().LogLines();
    const QRegularExpression english(
        "\\b(Point|Click|Error|Connection|refused|Cancel|Save|Open|File|Settings|Help)\\b");
    for (const QString& text : texts)
        QVERIFY2(!english.match(text).hasMatch(), qPrintable(text));
}

QTEST_MAIN(TestDialogKeys)
#include "tst_dialogkeys.moc"
