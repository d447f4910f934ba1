// The new-game dialog: its opponent list in every role, the colour it
// proposes, and what "Comenzar partida" starts, against ZuzPlak or an
// external engine with its strength.

#include "EngineLevel.h"
#include "tst_principal_fixture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSpinBox>

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
    void levelShowsItsRating_data();
    void levelShowsItsRating();
    void startsAgainstAnExternalEngine_data();
    void startsAgainstAnExternalEngine();
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
    t.Game().SetRole(TRole(role));
    t.Game().SetHostNick("Host");
    for (const QString& nick : nicks)
        t.Chat().UpdateNickList(QString(), nick);
    m.bNuevaPartidaClick();
    TFrmConexion* d = m.FrmConexion();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QString("Nueva partida"));
    const QStringList items = d->Opponents();
    QTEST(items, "expected");
    QCOMPARE(d->Opponent(), items.first());
    QVERIFY(t.Control<QComboBox>(*d, "cb1")->isEnabled());
    QVERIFY(d->StartEnabled());
    QVERIFY(d->WhiteChosen());
    auto* minutes = t.Control<QSpinBox>(*d, "eDuracion");
    QCOMPARE(minutes->value(), 15);
    QCOMPARE(minutes->minimum(), 1);
    QCOMPARE(minutes->maximum(), 1439);
    QVERIFY(!m.MainEnabled());
}

void TestConexion::emptyListDisablesTheStartButton() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Chat().hide(); // the list is filled only when the chat window is shown
    m.bNuevaPartidaClick();
    TFrmConexion* d = m.FrmConexion();
    QVERIFY(d->Opponents().isEmpty());
    QVERIFY(!d->StartEnabled());
    auto* list = t.Control<QComboBox>(*d, "cb1");
    list->addItem("ZuzPlak");
    QVERIFY(d->StartEnabled());
    list->clear();
    QVERIFY(!d->StartEnabled());
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
    TGameController& g = t.Game();
    t.NewGameVia("ZuzPlak", white, 7);
    QCOMPARE(g.GameMode(), TGameMode::VsComputer);
    QCOMPARE(g.MyColour(), white ? TColour::White : TColour::Black);
    const TPlayer& own = white ? g.WhitePlayer() : g.BlackPlayer();
    const TPlayer& engine = white ? g.BlackPlayer() : g.WhitePlayer();
    QCOMPARE(own.Nick, QString("Ana"));
    QCOMPARE(own.Elo, 1100);
    QCOMPARE(engine.Nick, QString("ZuzPlak"));
    QCOMPARE(engine.Elo, 1200);
    QCOMPARE(t.Model().ComputerPlaysWhite(), !white);
    QCOMPARE(t.Model().ComputerPlaysBlack(), white);
    QCOMPARE(t.Board().NoMover(), !white);
    QCOMPARE(t.Control<QLabel>(m, "FNickLabelB")->text(), g.BlackPlayer().Nick);
    QCOMPARE(t.Control<QLabel>(m, "FEloLabelW")->text(), QString::number(g.WhitePlayer().Elo));
    QVERIFY(m.MainEnabled());
    QCOMPARE(t.MainButton("bTablas")->isEnabled(), white);
    g.EndGame(TEndReason::Abandoned);
}

void TestConexion::twoPlayersAtOneBoard() {
    TTestProgram t;
    TGameController& m = t.Game();
    t.NewGameVia("Ana", false);
    QCOMPARE(m.GameMode(), TGameMode::LocalTwoPlayers);
    QCOMPARE(m.WhitePlayer().Nick, QString("Ana 2"));
    QCOMPARE(m.WhitePlayer().Elo, 1100);
    QCOMPARE(m.BlackPlayer().Nick, QString("Ana"));
    QVERIFY(!t.Board().NoMover());
    QVERIFY(!t.Model().ComputerPlaysWhite());
    QVERIFY(!t.Model().ComputerPlaysBlack());
    QCOMPARE(m.MoveSerial(), 1);
}

void TestConexion::networkOfferStartsNothing() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Game().SetRole(TRole::Client);
    t.Game().SetHostNick("Host");
    t.NewGameVia("Host", true);
    QVERIFY(!t.Game().GameInProgress());
    QVERIFY(m.MainEnabled());
    QTRY_VERIFY(m.FrmConexion() == nullptr);
}

void TestConexion::minutesGoToBothClocks() {
    TTestProgram t;
    TGameController& m = t.Game();
    t.NewGameVia("Ana", true, 90);
    QCOMPARE(m.ClockW().Remaining(), 5400);
    QCOMPARE(m.ClockB().Remaining(), 5400);
    QCOMPARE(m.ClockW().Horas(), 1);
    QCOMPARE(t.Control<TClockWidget>(t.Main(), "FClockW")->text(), QString("1:30:00"));
    // A clock left at 1:30:00 still takes the longest time of the dialog.
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.NewGameVia("Ana", true, 1439);
    QCOMPARE(m.ClockW().Remaining(), 1439 * 60);
    QCOMPARE(m.ClockB().Remaining(), 1439 * 60);
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.NewGameVia("Ana", true, 1);
    QCOMPARE(m.ClockW().Remaining(), 60);
    QCOMPARE(m.ClockB().Remaining(), 60);
}

void TestConexion::closingReenablesTheMainWindow() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.bNuevaPartidaClick();
    QVERIFY(!m.MainEnabled());
    m.FrmConexion()->close(); // the window's own close command
    QVERIFY(m.MainEnabled());
    QTRY_VERIFY(m.FrmConexion() == nullptr);
    QVERIFY(!t.Game().GameInProgress());
}

void TestConexion::startsAgainstAnExternalEngine_data() {
    QTest::addColumn<QByteArray>("strength"); // the ini's Fuerza1
    QTest::addColumn<bool>("present");        // the engine's file is there
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("note"); // the record's first line; empty: no game
    QTest::addColumn<int>("elo");
    QTest::newRow("its Elo") << QByteArray("elo 1000 2800") << true << 1700 << "Elo"
                             << "{Motor Fake: Elo 1700}" << 1700;
    QTest::newRow("its skill level") << QByteArray("nivel 0 20") << true << 7 << "nivel"
                                     << "{Motor Fake: nivel 7}" << 0;
    QTest::newRow("no strength") << QByteArray("ninguna") << true << 0 << "sin ajuste de fuerza"
                                 << "{Motor Fake}" << 0;
    QTest::newRow("gone since it was listed")
        << QByteArray("ninguna") << false << 0 << "sin ajuste de fuerza"
        << "" << 0;
}

void TestConexion::startsAgainstAnExternalEngine() {
    QFETCH(QByteArray, strength);
    QFETCH(bool, present);
    QFETCH(int, chosen);
    QFETCH(QString, label);
    QFETCH(QString, note);
    QFETCH(int, elo);
    qputenv("ZUGARET_FAKE_UCI", "--name Fake --strength elo");
    const QString path = QCoreApplication::applicationDirPath() +
                         (present ? "/zugaret-fake-uci" : "/zugaret-fake-uci-gone");
    TTestProgram t("Ana", "[Motores]\r\nCuantos=1\r\nRuta1=" + path.toLatin1() +
                              "\r\nNombre1=Fake\r\nFuerza1=" + strength + "\r\n");
    TFrmPrincipal& m = t.Main();
    TGameController& g = t.Game();
    m.bNuevaPartidaClick();
    TFrmConexion* d = m.FrmConexion();
    QVERIFY(d);
    QCOMPARE(d->Opponents(), (QStringList{"ZuzPlak", "Fake", "Ana"}));
    t.Control<QComboBox>(*d, "cb1")->setCurrentText("Fake");
    QVERIFY(d->ChosenEngine());
    QVERIFY(!d->DepthOffered());
    QCOMPARE(d->StrengthOffered(), chosen > 0);
    QCOMPARE(t.Control<QLabel>(*d, "lNivelElo")->text(), label);
    if (chosen > 0) d->ChooseStrength(chosen);
    d->bCrearClick();
    if (note.isEmpty()) {
        QVERIFY(!g.GameInProgress());
        QVERIFY(t.dialogs.Messages().join(' ').contains("No se encuentra el motor Fake"));
        return;
    }
    QVERIFY(g.GameInProgress());
    QCOMPARE(g.GameMode(), TGameMode::VsComputer);
    QCOMPARE(g.BlackPlayer().Nick, QString("Fake"));
    QCOMPARE(g.BlackPlayer().Elo, elo);
    QCOMPARE(g.Record().first(), note);
    // The board's own engine stays out of it; the external one answers.
    QVERIFY(!t.Model().ComputerPlaysBlack());
    QVERIFY(t.Model().Move(Square::E2, Square::E4));
    QTRY_VERIFY_WITH_TIMEOUT(t.Model().WhiteToMove(), 30000);
    QVERIFY(g.GameInProgress());
    g.EndGame(TEndReason::Abandoned);
}

QTEST_MAIN(TestConexion)
#include "tst_conexion.moc"

void TestConexion::levelShowsItsRating_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("opponent");
    QTest::newRow("weakest") << 1 << "ZuzPlak";
    QTest::newRow("default") << 5 << "ZuzPlak";
    QTest::newRow("strongest") << 8 << "ZuzPlak";
    QTest::newRow("a person: no level") << 3 << "Ana";
}

void TestConexion::levelShowsItsRating() {
    QFETCH(int, level);
    QFETCH(QString, opponent);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.bNuevaPartidaClick();
    TFrmConexion* d = m.FrmConexion();
    QVERIFY(d);
    d->ChooseDepth(level);
    auto* combo = t.Control<QComboBox>(*d, "cb1");
    combo->setCurrentText(opponent);
    auto* elo = t.Control<QLabel>(*d, "lNivelElo");
    QCOMPARE(elo->text(), QString::fromUtf8("≈ %1 Elo").arg(EngineLevel(level).elo));
    QCOMPARE(elo->isEnabled(), opponent == "ZuzPlak");
    // Ratings climb with the level.
    if (level > 1) QVERIFY(EngineLevel(level).elo > EngineLevel(level - 1).elo);
}
