// The new-game dialog: its opponent list in every role, the colour it
// proposes, and what "Comenzar partida" starts.

#include "tst_principal_fixture.h"

#include <QListWidget>

class TestConexion : public QObject {
    Q_OBJECT

private slots:
    void opponentList_data();
    void opponentList();
    void emptyListDisablesTheStartButton();
    void startsAgainstTheEngine_data();
    void startsAgainstTheEngine();
    void twoPlayersAtOneBoard();
    void networkOfferStartsNothing();
    void minutesGoToBothClocks();
    void closingReenablesTheMainWindow();
};

void TestConexion::opponentList_data() {
    QTest::addColumn<int>("role");
    QTest::addColumn<QStringList>("nicks");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("offline") << int(TRole::Offline) << QStringList{}
                             << QStringList{"ZuzPlak", "Ana"};
    QTest::newRow("host: own nick left out")
        << int(TRole::Server) << QStringList{"Carla", "Ana", "Bea"}
        << QStringList{"Bea", "Carla", "ZuzPlak", "Ana"};
    QTest::newRow("client: only the host")
        << int(TRole::Client) << QStringList{"Ana", "Bea", "Host"}
        << QStringList{"Host", "ZuzPlak", "Ana"};
    QTest::newRow("observer: only the host") << int(TRole::Observer) << QStringList{"Ana", "Host"}
                                             << QStringList{"Host", "ZuzPlak", "Ana"};
}

void TestConexion::opponentList() {
    QFETCH(int, role);
    QFETCH(QStringList, nicks);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.Role = TRole(role);
    m.HostNick = "Host";
    t.Chat().FListaNick->addItems(nicks);
    m.bNuevaPartidaClick();
    TFrmConexion* d = m.FrmConexion();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QString("Nueva partida"));
    QStringList items;
    for (int i = 0; i < d->cb1->count(); ++i)
        items << d->cb1->itemText(i);
    QTEST(items, "expected");
    QCOMPARE(d->cb1->currentText(), items.first());
    QVERIFY(d->cb1->isEnabled());
    QVERIFY(d->bCrear->isEnabled());
    QVERIFY(d->rbBlancas->isChecked());
    QCOMPARE(d->eDuracion->value(), 15);
    QCOMPARE(d->eDuracion->minimum(), 1);
    QCOMPARE(d->eDuracion->maximum(), 1439);
    QVERIFY(!m.MainEnabled());
}

void TestConexion::emptyListDisablesTheStartButton() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Chat().hide(); // the list is filled only when the chat window is shown
    m.bNuevaPartidaClick();
    TFrmConexion* d = m.FrmConexion();
    QCOMPARE(d->cb1->count(), 0);
    QVERIFY(!d->bCrear->isEnabled());
    d->cb1->addItem("ZuzPlak");
    QVERIFY(d->bCrear->isEnabled());
    d->cb1->clear();
    QVERIFY(!d->bCrear->isEnabled());
}

void TestConexion::startsAgainstTheEngine_data() {
    QTest::addColumn<bool>("white");
    QTest::newRow("White") << true;
    QTest::newRow("Black: the engine opens") << false;
}

void TestConexion::startsAgainstTheEngine() {
    QFETCH(bool, white);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("ZuzPlak", white, 7);
    QCOMPARE(m.GameMode, TGameMode::VsComputer);
    QCOMPARE(m.MyColour, white ? TFrmPrincipal::White : TFrmPrincipal::Black);
    const TPlayer& own = white ? m.WhitePlayer : m.BlackPlayer;
    const TPlayer& engine = white ? m.BlackPlayer : m.WhitePlayer;
    QCOMPARE(own.Nick, QString("Ana"));
    QCOMPARE(own.Elo, 1100);
    QCOMPARE(engine.Nick, QString("ZuzPlak"));
    QCOMPARE(engine.Elo, 1200);
    QCOMPARE(t.Board().ComputerPlaysWhite(), !white);
    QCOMPARE(t.Board().ComputerPlaysBlack(), white);
    QCOMPARE(t.Board().NoMover(), !white);
    QCOMPARE(m.FNickLabelB->text(), m.BlackPlayer.Nick);
    QCOMPARE(m.FEloLabelW->text(), QString::number(m.WhitePlayer.Elo));
    QVERIFY(m.MainEnabled());
    QCOMPARE(m.bTablas->isEnabled(), white);
    m.EndGame(10);
}

void TestConexion::twoPlayersAtOneBoard() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", false);
    QCOMPARE(m.GameMode, TGameMode::LocalTwoPlayers);
    QCOMPARE(m.WhitePlayer.Nick, QString("Ana 2"));
    QCOMPARE(m.WhitePlayer.Elo, 1100);
    QCOMPARE(m.BlackPlayer.Nick, QString("Ana"));
    QVERIFY(!t.Board().NoMover());
    QVERIFY(!t.Board().ComputerPlaysWhite());
    QVERIFY(!t.Board().ComputerPlaysBlack());
    QCOMPARE(m.MoveSerial, 1);
}

void TestConexion::networkOfferStartsNothing() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.Role = TRole::Client;
    m.HostNick = "Host";
    t.NewGameVia("Host", true);
    QCOMPARE(m.TurnState, 0);
    QVERIFY(m.MainEnabled());
    QTRY_VERIFY(m.FrmConexion() == nullptr);
}

void TestConexion::minutesGoToBothClocks() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true, 90);
    QCOMPARE(m.FClockW->Remaining(), 5400);
    QCOMPARE(m.FClockB->Remaining(), 5400);
    m.FClockW->UpdateDisplay();
    QCOMPARE(m.FClockW->Horas(), 1);
    // A clock left at 1:30:00 still takes the longest time of the dialog.
    t.dialogs.AnswerYes();
    t.NewGameVia("Ana", true, 1439);
    QCOMPARE(m.FClockW->Remaining(), 1439 * 60);
    QCOMPARE(m.FClockB->Remaining(), 1439 * 60);
    t.dialogs.AnswerYes();
    t.NewGameVia("Ana", true, 1);
    QCOMPARE(m.FClockW->Remaining(), 60);
    QCOMPARE(m.FClockB->Remaining(), 60);
}

void TestConexion::closingReenablesTheMainWindow() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.bNuevaPartidaClick();
    QVERIFY(!m.MainEnabled());
    m.FrmConexion()->close(); // the window's own close command
    QVERIFY(m.MainEnabled());
    QTRY_VERIFY(m.FrmConexion() == nullptr);
    QCOMPARE(m.TurnState, 0);
}

QTEST_MAIN(TestConexion)
#include "tst_conexion.moc"
