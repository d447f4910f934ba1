// The end of a game by resignation, time-out, agreement, the host's
// announcement and the silent abandon, in every kind of game.

#include "tst_principal_fixture.h"

#include <functional>
#include <utility>

namespace {
// Starts a game of the given kind with the user (Ana, 1100) on colour.
void Start(TTestProgram& t, TGameMode mode, int colour) {
    TFrmPrincipal& m = t.Main();
    m.GameMode = mode;
    m.MyColour = colour;
    const bool white = colour == TFrmPrincipal::White;
    TPlayer own{m.Nick, m.Elo};
    TPlayer other{"Bea", 1300};
    if (mode == TGameMode::VsComputer) other = {"ZuzPlak", m.ComputerElo};
    if (mode == TGameMode::LocalTwoPlayers) other = {m.Nick + " 2", m.Elo};
    if (mode == TGameMode::Network) m.Role = TRole::Client;
    m.WhitePlayer = white ? own : other;
    m.BlackPlayer = white ? other : own;
    TFrmPrincipal::SetClockTime(*m.FClockW, 1, 0);
    TFrmPrincipal::SetClockTime(*m.FClockB, 1, 0);
    m.StartGame();
    if (mode == TGameMode::VsComputer) {
        // Keep the engine out: the tests end the game before it would move.
        t.Board().SetComputerPlaysWhite(false);
        t.Board().SetComputerPlaysBlack(false);
    }
}

// Runs a clock out with a test time source: one tick to 0:00:00, one to the time-out.
void RunOut(TRelojChess& clock) {
    qint64 now = 0;
    clock.SetTimeSource([&now] { return now; });
    clock.Stop();
    clock.Start();
    now += 61000;
    clock.Tick();
    now += 1000;
    clock.Tick();
}

// Scripted dialogs that let something happen while an input box is open, as
// the events handled by a real modal box would (a message from the
// opponent, a clock running out).
class THookedDialogs final : public TUiDialogs {
public:
    TScriptedDialogs Inner;
    std::function<void()> WhileAsking;

    void ShowMessage(const QString& text, const QString& caption, TMessageKind kind) override {
        Inner.ShowMessage(text, caption, kind);
    }
    bool Ask(const QString& text, const QString& caption, TQuestionButtons buttons) override {
        return Inner.Ask(text, caption, buttons);
    }
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString& defaultText) override {
        if (auto hook = std::exchange(WhileAsking, nullptr)) hook();
        return Inner.InputQuery(caption, prompt, defaultText);
    }
    QString OpenFileName(const TFileDialogRequest& r) override { return Inner.OpenFileName(r); }
    QString SaveFileName(const TFileDialogRequest& r) override { return Inner.SaveFileName(r); }
    QString OpenPictureName(const TFileDialogRequest& r) override {
        return Inner.OpenPictureName(r);
    }
};
} // namespace

class TestPrincipalEnd : public QObject {
    Q_OBJECT

private slots:
    void resignation_data();
    void resignation();
    void resigningAtOneBoardResignsTheSideToMove_data();
    void resigningAtOneBoardResignsTheSideToMove();
    void timeOut_data();
    void timeOut();
    void networkTimeOutOnlyOnTheOwnersSide();
    void drawByAgreementAndHostAnnouncement();
    void abandonLeavesNoTrace();
    void observerRatingsNeverChange();
    void resigningAgainstTheEngineStopsIt();
    void engineMoveOnItsWayIsPlayedBeforeTheEnd_data();
    void engineMoveOnItsWayIsPlayedBeforeTheEnd();
    void moveCrossingTheEndIsNotPlayed();
    void replayStepsPastItsEnd();
    void receivedMovesOnlyInNetworkGames_data();
    void receivedMovesOnlyInNetworkGames();
    void gameEndedWhileThePromotionIsAsked_data();
    void gameEndedWhileThePromotionIsAsked();
};

void TestPrincipalEnd::resignation_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("elo");
    QTest::addColumn<int>("computerElo");
    // Ana 1100 against Bea 1300 (network), ZuzPlak 1200 (engine), herself.
    QTest::newRow("network, White resigns") << int(TGameMode::Network) << TFrmPrincipal::White
                                            << "0-1" << NewElo(1100, 1300, 0) << 1200;
    QTest::newRow("network, Black resigns") << int(TGameMode::Network) << TFrmPrincipal::Black
                                            << "1-0" << NewElo(1100, 1300, 0) << 1200;
    QTest::newRow("engine, White resigns") << int(TGameMode::VsComputer) << TFrmPrincipal::White
                                           << "0-1" << 1100 << NewElo(1200, 1100, 100);
    QTest::newRow("two at the board, Black resigns")
        << int(TGameMode::LocalTwoPlayers) << TFrmPrincipal::Black << "1-0" << 1100 << 1200;
}

void TestPrincipalEnd::resignation() {
    QFETCH(int, mode);
    QFETCH(int, colour);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode(mode), colour);
    QVERIFY(m.bRendir->isEnabled());
    QVERIFY(t.Play("e2e4"));
    t.sound.Clear();
    m.bRendirClick();
    QCOMPARE(m.TurnState, 0);
    QTEST(m.ResultText, "result");
    const QString resigner =
        colour == TFrmPrincipal::White ? m.WhitePlayer.Nick : m.BlackPlayer.Nick;
    QCOMPARE(m.PanelText(), resigner + " abandona");
    // Black is to move: the result joins the last line, then the comment.
    QCOMPARE(t.Record().last(), "1.Pe2e4 " + m.ResultText + " {" + resigner + " abandona}");
    QTEST(m.Elo, "elo");
    QTEST(m.ComputerElo, "computerElo");
    QVERIFY(t.sound.Cues().contains("cobarde2"));
    QVERIFY(!m.bRendir->isEnabled());
    QVERIFY(!m.bTablas->isEnabled());
    QVERIFY(t.Board().NoMover());
}

// With both sides played at one board, whoever is to move resigns, whatever
// colour the dialog proposed.
void TestPrincipalEnd::resigningAtOneBoardResignsTheSideToMove_data() {
    QTest::addColumn<int>("colour");
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("resigner");
    const int white = TFrmPrincipal::White;
    const int black = TFrmPrincipal::Black;
    QTest::newRow("White at move 1") << white << QStringList{} << "0-1" << "Ana";
    QTest::newRow("Black after 1.e4") << white << QStringList{"e2e4"} << "1-0" << "Ana 2";
    QTest::newRow("White after 1...e5") << black << QStringList{"e2e4", "e7e5"} << "0-1"
                                        << "Ana 2";
    QTest::newRow("Black, dialog chose Black") << black << QStringList{"e2e4"} << "1-0" << "Ana";
}

void TestPrincipalEnd::resigningAtOneBoardResignsTheSideToMove() {
    QFETCH(int, colour);
    QFETCH(QStringList, moves);
    QFETCH(QString, result);
    QFETCH(QString, resigner);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode::LocalTwoPlayers, colour);
    QVERIFY(t.PlayAll(moves));
    m.bRendirClick();
    QCOMPARE(m.ResultText, result);
    QCOMPARE(m.PanelText(), resigner + " abandona");
    QVERIFY(t.Record().join(' ').endsWith(result + " {" + resigner + " abandona}") ||
            (moves.isEmpty() && t.Record() == QStringList{result + " {" + resigner + " abandona}"}));
    QCOMPARE(m.Elo, 1100); // a game at one board changes no stored rating
}

void TestPrincipalEnd::timeOut_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("whiteClock");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("panel");
    QTest::newRow("network, own White clock") << int(TGameMode::Network) << true << "0-1"
                                              << "Ganan Negras por  tiempo";
    QTest::newRow("engine, White clock") << int(TGameMode::VsComputer) << true << "0-1"
                                         << "Ganan Negras por  tiempo";
    QTest::newRow("two at the board, Black clock")
        << int(TGameMode::LocalTwoPlayers) << false << "1-0"
        << "Ganan Blancas por  tiempo";
}

void TestPrincipalEnd::timeOut() {
    QFETCH(int, mode);
    QFETCH(bool, whiteClock);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode(mode), TFrmPrincipal::White);
    if (!whiteClock) QVERIFY(t.Play("e2e4"));
    RunOut(whiteClock ? *m.FClockW : *m.FClockB);
    QCOMPARE(m.TurnState, 0);
    QTEST(m.ResultText, "result");
    QTEST(m.PanelText(), "panel");
    QVERIFY(t.Record().last().endsWith(" {" + m.PanelText() + "}"));
    QVERIFY(!m.FClockW->Running());
    QVERIFY(!m.FClockB->Running());
}

void TestPrincipalEnd::networkTimeOutOnlyOnTheOwnersSide() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode::Network, TFrmPrincipal::Black);
    RunOut(*m.FClockW); // the opponent's clock: its owner reports it
    QCOMPARE(m.TurnState, 1);
    QCOMPARE(m.Elo, 1100);
    m.EndGame(8); // "/TIMEOUT" arrives
    QCOMPARE(m.ResultText, QString("0-1"));
    QCOMPARE(m.Elo, NewElo(1100, 1300, 100));
}

void TestPrincipalEnd::drawByAgreementAndHostAnnouncement() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode::Network, TFrmPrincipal::White);
    QVERIFY(m.bTablas->isEnabled());
    m.EndGame(1);
    QCOMPARE(m.PanelText(), QString("Tablas por  acuerdo"));
    QCOMPARE(t.Record(), (QStringList{"1/2-1/2 {Tablas por  acuerdo}"}));
    QCOMPARE(m.Elo, NewElo(1100, 1300, 50));
    // A second end for the same game changes nothing.
    m.EndGame(0);
    QCOMPARE(m.PanelText(), QString("Tablas por  acuerdo"));
    QCOMPARE(t.Record().size(), 1);

    // An observer's game ended by the host: text and result come from it.
    m.Role = TRole::Observer;
    m.MyColour = TFrmPrincipal::NoColour;
    m.GameMode = TGameMode::Network;
    m.StartGame();
    QVERIFY(!m.bRendir->isEnabled());
    QVERIFY(!m.bTablas->isEnabled());
    m.FPanelTurno->setText("Ganan Blancas por  Jaque Mate");
    m.ResultText = "1-0";
    const int whiteElo = m.WhitePlayer.Elo;
    m.EndGame(9);
    QCOMPARE(t.Record(), (QStringList{"1-0 {Ganan Blancas por  Jaque Mate}"}));
    QCOMPARE(m.WhitePlayer.Elo, whiteElo);
}

void TestPrincipalEnd::abandonLeavesNoTrace() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode::Network, TFrmPrincipal::White);
    QVERIFY(t.Play("e2e4"));
    m.ResultText = "previous";
    m.EndGame(10);
    QCOMPARE(m.TurnState, 0);
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"});
    QCOMPARE(m.ResultText, QString("previous"));
    QCOMPARE(m.Elo, 1100);
    QCOMPARE(m.WhitePlayer.Elo, 1100);
    QVERIFY(m.bNuevaPartida->isEnabled());
    QVERIFY(!m.FClockB->Running());
}

void TestPrincipalEnd::observerRatingsNeverChange() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.Role = TRole::Observer;
    m.GameMode = TGameMode::Network;
    m.MyColour = TFrmPrincipal::NoColour;
    m.WhitePlayer = {"Bea", 1300};
    m.BlackPlayer = {"Carla", 1250};
    m.StartGame();
    QVERIFY(t.Board().NoMover());
    m.ApplyRemoteMove("f2f3");
    QVERIFY(t.Board().NoMover());
    for (const char* mv : {"e7e5", "g2g4", "d8h4"})
        m.ApplyRemoteMove(mv);
    QCOMPARE(m.TurnState, 0);
    QCOMPARE(m.ResultText, QString("0-1"));
    QCOMPARE(m.Elo, 1100);
    QCOMPARE(m.BlackPlayer.Elo, NewElo(1250, 1300, 100));
}

void TestPrincipalEnd::resigningAgainstTheEngineStopsIt() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("ZuzPlak", false); // the engine opens at once
    QVERIFY(t.Board().ComputerPlaysWhite());
    m.bRendirClick();
    QCOMPARE(m.TurnState, 0);
    QCOMPARE(m.ResultText, QString("1-0"));
    // No move of the engine can follow the result into the record.
    QVERIFY(!t.Board().ComputerPlaysWhite());
    QVERIFY(!t.Board().ComputerPlaysBlack());
    QVERIFY(!t.Board().Thinking());
    QCOMPARE(m.ComputerElo, NewElo(1200, 1100, 100));
}

void TestPrincipalEnd::engineMoveOnItsWayIsPlayedBeforeTheEnd_data() {
    QTest::addColumn<bool>("resign");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("panel");
    QTest::newRow("the user resigns") << true << "0-1"
                                      << "Ana abandona";
    QTest::newRow("the engine's clock runs out") << false << "1-0"
                                                 << "Ganan Blancas por  tiempo";
}

void TestPrincipalEnd::engineMoveOnItsWayIsPlayedBeforeTheEnd() {
    // The engine (Black) has found its reply and handed it over when the
    // game ends: the reply is the game's last move, and the game stays over.
    QFETCH(bool, resign);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Board().SetSearchDepth(1);
    t.NewGameVia("ZuzPlak", true, 1);
    QVERIFY(t.Play("e2e4"));
    LetTheEngineHandItsMoveOver();
    if (resign)
        m.bRendirClick();
    else
        RunOut(*m.FClockB);
    QCOMPARE(m.TurnState, 0);
    QTEST(m.ResultText, "result");
    QTEST(m.PanelText(), "panel");
    QVERIFY(!m.FClockW->Running());
    QVERIFY(!m.FClockB->Running());
    QVERIFY(!t.Board().ComputerPlaysBlack());
    QVERIFY2(t.Record().last().endsWith(m.ResultText + " {" + m.PanelText() + "}"),
             qPrintable(t.Record().join(" | ")));
    // Nothing of the engine follows: the record and the ratings stay.
    const QStringList record = t.Record();
    const int computerElo = m.ComputerElo;
    QTRY_VERIFY(!t.Board().Thinking());
    QCoreApplication::processEvents();
    QCOMPARE(t.Record(), record);
    QCOMPARE(m.TurnState, 0);
    QCOMPARE(m.ComputerElo, computerElo);
    QCOMPARE(m.ComputerElo, NewElo(1200, 1100, resign ? 100 : 0));
}

void TestPrincipalEnd::moveCrossingTheEndIsNotPlayed() {
    // The opponent's move was on its way when its resignation (or this
    // side's time-out) ended the game here.
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    Start(t, TGameMode::Network, TFrmPrincipal::White);
    QVERIFY(t.Play("e2e4"));
    m.EndGame(6);
    const int elo = m.Elo;
    const QString position = t.Board().Position();
    const QStringList record = t.Record();
    m.ApplyRemoteMove("e7e5");
    m.ApplyRemoteMove("e7e9"); // not even an error line: there is no game
    QCOMPARE(t.Board().Position(), position);
    QCOMPARE(t.Record(), record);
    QCOMPARE(m.TurnState, 0);
    QVERIFY(!m.FClockW->Running());
    QVERIFY(!m.FClockB->Running());
    QVERIFY(t.Board().NoMover());
    QCOMPARE(m.MoveSerial, 2);
    QVERIFY(t.Chat().LogLines().filter("Error 53").isEmpty());
    // The white clock, which would have been running again, ends nothing.
    RunOut(*m.FClockW);
    QCOMPARE(m.Elo, elo);
    QCOMPARE(m.ResultText, QString("1-0"));
}

void TestPrincipalEnd::replayStepsPastItsEnd() {
    // A replay shows its mate, steps back and forward over it again.
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.GameMode = TGameMode::Replay;
    m.MyColour = TFrmPrincipal::NoColour;
    m.WhitePlayer = {"Bea", 1300};
    m.BlackPlayer = {"Carla", 1250};
    m.StartGame();
    for (const char* mv : {"f2f3", "e7e5", "g2g4", "d8h4"})
        m.ApplyRemoteMove(mv);
    QCOMPARE(m.TurnState, 0);
    QCOMPARE(t.Board().PieceAt(Square::H4), 'q');
    m.TakeBackOneMove();
    QCOMPARE(t.Board().PieceAt(Square::D8), 'q');
    m.ApplyRemoteMove("d8h4");
    QCOMPARE(t.Board().PieceAt(Square::H4), 'q');
    QVERIFY(t.Record().isEmpty()); // a replay writes no record
}

void TestPrincipalEnd::receivedMovesOnlyInNetworkGames_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("against the engine") << int(TGameMode::VsComputer);
    QTest::newRow("two at the board") << int(TGameMode::LocalTwoPlayers);
}

void TestPrincipalEnd::receivedMovesOnlyInNetworkGames() {
    // A move of the last network opponent, or of the host's game to a former
    // observer, arrives while the user plays at this board.
    QFETCH(int, mode);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.Role = TRole::Observer;
    Start(t, TGameMode(mode), TFrmPrincipal::White);
    QVERIFY(t.Play("e2e4"));
    const QString position = t.Board().Position();
    m.ApplyRemoteMove("e7e5");
    m.ApplyRemoteMove("z7e5");
    QCOMPARE(t.Board().Position(), position);
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"});
    QCOMPARE(m.TurnState, 2);
    QVERIFY(t.Chat().LogLines().filter("Error 53").isEmpty());
    // The user's own game goes on.
    if (mode == int(TGameMode::LocalTwoPlayers)) QVERIFY(t.Play("e7e5"));
}

void TestPrincipalEnd::gameEndedWhileThePromotionIsAsked_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("end"); // 0 nothing, 1 the opponent resigns, 2 Black's clock runs out
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<int>("turnState");
    QTest::addColumn<int>("moveSerial");
    QTest::newRow("network, the game goes on: one message, one serial")
        << int(TGameMode::Network) << 0 << "1.Pa7a8=R" << 2 << 2;
    QTest::newRow("network, the opponent resigns meanwhile")
        << int(TGameMode::Network) << 1 << "1.Pa7a8 1-0 {Bea abandona}" << 0 << 1;
    QTest::newRow("two at the board, Black's clock runs out meanwhile")
        << int(TGameMode::LocalTwoPlayers) << 2 << "1.Pa7a8 1-0 {Ganan Blancas por  tiempo}" << 0
        << 1;
}

void TestPrincipalEnd::gameEndedWhileThePromotionIsAsked() {
    QFETCH(int, mode);
    QFETCH(int, end);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    THookedDialogs dialogs;
    t.env->SetDialogs(&dialogs);
    Start(t, TGameMode(mode), TFrmPrincipal::White);
    QVERIFY(t.Board().SetFen("8/P7/7k/8/8/8/7P/K7 w - - 0 1"));
    dialogs.Inner.AnswerInput("T", QString::fromUtf8("Promoción peón"));
    if (end == 1) dialogs.WhileAsking = [&m] { m.EndGame(6); };
    if (end == 2) dialogs.WhileAsking = [&m] { RunOut(*m.FClockB); };
    QVERIFY(t.Play("a7a8"));
    QVERIFY(!dialogs.Inner.HasUnexpected());
    // The pawn becomes the chosen piece in any case.
    QCOMPARE(t.Board().PieceAt(Square::A8), 'R');
    QTEST(t.Record().last(), "lastLine");
    QTEST(m.TurnState, "turnState");
    QTEST(m.MoveSerial, "moveSerial");
    if (mode == int(TGameMode::Network)) QCOMPARE(m.PromotionPiece, QChar('*'));
    if (end != 0) {
        // The finished game lets nobody move again.
        QVERIFY(t.Board().NoMover());
        QVERIFY(!m.FClockW->Running());
        QVERIFY(!m.FClockB->Running());
    }
    t.env->SetDialogs(&t.dialogs);
}

QTEST_MAIN(TestPrincipalEnd)
#include "tst_principal_end.moc"
