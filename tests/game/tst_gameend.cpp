// The end of a game by resignation, time-out, agreement, the host's
// announcement and the silent abandon, in every kind of game.

#include "GameTestUtil.h"

Q_DECLARE_METATYPE(TColour)

class TestGameEnd : public QObject {
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
    void lostConnectionInterruptsTheGame_data();
    void lostConnectionInterruptsTheGame();
    void observerRatingsNeverChange();
    void resigningAgainstTheEngineStopsIt();
    void engineMoveOnItsWayIsPlayedBeforeTheEnd_data();
    void engineMoveOnItsWayIsPlayedBeforeTheEnd();
    void moveCrossingTheEndIsNotPlayed();
    void replayStepsPastItsEnd();
    void receivedMovesOnlyInNetworkGames_data();
    void receivedMovesOnlyInNetworkGames();
    void promotionPlayedWithTheChosenPiece_data();
    void promotionPlayedWithTheChosenPiece();
    void everyEndAnnounced_data();
    void everyEndAnnounced();
    void ratingsShownFollowTheAnnouncement_data();
    void ratingsShownFollowTheAnnouncement();
    void eachKindThroughItsPlayers_data();
    void eachKindThroughItsPlayers();
    void opponentCannotMoveForTheUser();
};

void TestGameEnd::resignation_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<TColour>("colour");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("elo");
    QTest::addColumn<int>("computerElo");
    // Ana 1100 against Bea 1300 (network), ZuzPlak 1200 (engine), herself.
    QTest::newRow("network, White resigns")
        << int(TGameMode::Network) << TColour::White << "0-1" << NewElo(1100, 1300, 0) << 1200;
    QTest::newRow("network, Black resigns")
        << int(TGameMode::Network) << TColour::Black << "1-0" << NewElo(1100, 1300, 0) << 1200;
    QTest::newRow("engine, White resigns")
        << int(TGameMode::VsComputer) << TColour::White << "0-1" << 1100 << NewElo(1200, 1100, 100);
    QTest::newRow("two at the board, Black resigns")
        << int(TGameMode::LocalTwoPlayers) << TColour::Black << "1-0" << 1100 << 1200;
}

void TestGameEnd::resignation() {
    QFETCH(int, mode);
    QFETCH(TColour, colour);
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode(mode), colour);
    QVERIFY(m.ResignAllowed());
    QVERIFY(t.Play("e2e4"));
    t.sound.Clear();
    m.Resign();
    QCOMPARE(m.TurnState(), TTurn(0));
    QTEST(m.ResultText(), "result");
    const QString resigner = colour == TColour::White ? m.WhitePlayer().Nick : m.BlackPlayer().Nick;
    QCOMPARE(m.Panel().Text, resigner + " abandona");
    // Black is to move: the result joins the last line, then the comment.
    QCOMPARE(t.Record().last(), "1.Pe2e4 " + m.ResultText() + " {" + resigner + " abandona}");
    QTEST(m.Elo(), "elo");
    QTEST(m.ComputerElo(), "computerElo");
    QVERIFY(t.sound.Cues().contains("cobarde2"));
    QVERIFY(!m.ResignAllowed());
    QVERIFY(!m.DrawOfferAllowed());
    QVERIFY(!m.LocalMayMove());
}

// With both sides played at one board, whoever is to move resigns, whatever
// colour the dialog proposed.
void TestGameEnd::resigningAtOneBoardResignsTheSideToMove_data() {
    QTest::addColumn<TColour>("colour");
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("resigner");
    const TColour white = TColour::White;
    const TColour black = TColour::Black;
    QTest::newRow("White at move 1") << white << QStringList{} << "0-1"
                                     << "Ana";
    QTest::newRow("Black after 1.e4") << white << QStringList{"e2e4"} << "1-0"
                                      << "Ana 2";
    QTest::newRow("White after 1...e5") << black << QStringList{"e2e4", "e7e5"} << "0-1"
                                        << "Ana 2";
    QTest::newRow("Black, dialog chose Black") << black << QStringList{"e2e4"} << "1-0"
                                               << "Ana";
}

void TestGameEnd::resigningAtOneBoardResignsTheSideToMove() {
    QFETCH(TColour, colour);
    QFETCH(QStringList, moves);
    QFETCH(QString, result);
    QFETCH(QString, resigner);
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode::LocalTwoPlayers, colour);
    QVERIFY(t.PlayAll(moves));
    m.Resign();
    QCOMPARE(m.ResultText(), result);
    QCOMPARE(m.Panel().Text, resigner + " abandona");
    QVERIFY(
        t.Record().join(' ').endsWith(result + " {" + resigner + " abandona}") ||
        (moves.isEmpty() && t.Record() == QStringList{result + " {" + resigner + " abandona}"}));
    QCOMPARE(m.Elo(), 1100); // a game at one board changes no stored rating
}

void TestGameEnd::timeOut_data() {
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

void TestGameEnd::timeOut() {
    QFETCH(int, mode);
    QFETCH(bool, whiteClock);
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode(mode), TColour::White);
    if (!whiteClock) QVERIFY(t.Play("e2e4"));
    RunOut(whiteClock ? m.ClockW() : m.ClockB());
    QCOMPARE(m.TurnState(), TTurn(0));
    QTEST(m.ResultText(), "result");
    QTEST(m.Panel().Text, "panel");
    QVERIFY(t.Record().last().endsWith(" {" + m.Panel().Text + "}"));
    QVERIFY(!m.ClockW().Running());
    QVERIFY(!m.ClockB().Running());
}

void TestGameEnd::networkTimeOutOnlyOnTheOwnersSide() {
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode::Network, TColour::Black);
    RunOut(m.ClockW()); // the opponent's clock: its owner reports it
    QCOMPARE(m.TurnState(), TTurn(1));
    QCOMPARE(m.Elo(), 1100);
    m.EndGame(TEndReason(8)); // "/TIMEOUT" arrives
    QCOMPARE(m.ResultText(), QString("0-1"));
    QCOMPARE(m.Elo(), NewElo(1100, 1300, 100));
}

void TestGameEnd::drawByAgreementAndHostAnnouncement() {
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode::Network, TColour::White);
    QVERIFY(m.DrawOfferAllowed());
    m.EndGame(TEndReason(1));
    QCOMPARE(m.Panel().Text, QString("Tablas por  acuerdo"));
    QCOMPARE(t.Record(), (QStringList{"1/2-1/2 {Tablas por  acuerdo}"}));
    QCOMPARE(m.Elo(), NewElo(1100, 1300, 50));
    // A second end for the same game changes nothing.
    m.EndGame(TEndReason(0));
    QCOMPARE(m.Panel().Text, QString("Tablas por  acuerdo"));
    QCOMPARE(t.Record().size(), 1);

    // An observer's game ended by the host: text and result come from it.
    m.SetRole(TRole::Observer);
    t.Observe({"Bea", 1300}, {"Carla", 1250});
    QVERIFY(!m.ResignAllowed());
    QVERIFY(!m.DrawOfferAllowed());
    const int whiteElo = m.WhitePlayer().Elo;
    m.EndObservedGame("Ganan Blancas por  Jaque Mate", "1-0");
    QCOMPARE(t.Record(), (QStringList{"1-0 {Ganan Blancas por  Jaque Mate}"}));
    QCOMPARE(m.WhitePlayer().Elo, whiteElo);
}

void TestGameEnd::abandonLeavesNoTrace() {
    TTestGame t;
    TGameController& m = t.G();
    // A game before, drawn.
    t.Start(TGameMode::Network, TColour::White);
    m.EndGame(TEndReason::DrawAgreed);
    const int elo = m.Elo();
    t.Start(TGameMode::Network, TColour::White);
    QVERIFY(t.Play("e2e4"));
    m.EndGame(TEndReason(10));
    QCOMPARE(m.TurnState(), TTurn(0));
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"});
    QCOMPARE(m.ResultText(), QString("1/2-1/2"));
    QCOMPARE(m.Elo(), elo);
    QCOMPARE(m.WhitePlayer().Elo, elo);
    QVERIFY(m.NewGameAllowed());
    QVERIFY(!m.ClockB().Running());
}

// The opponent's connection goes during a network game: the game stops at
// once, no rating changes, the record says why, the host tells its observers.
void TestGameEnd::lostConnectionInterruptsTheGame_data() {
    QTest::addColumn<int>("role");
    QTest::newRow("host") << int(TRole::Server);
    QTest::newRow("client") << int(TRole::Client);
}

void TestGameEnd::lostConnectionInterruptsTheGame() {
    QFETCH(int, role);
    TTestGame t;
    TGameController& m = t.G();
    m.SetRole(TRole(role));
    t.Start(TGameMode::Network, TColour::White);
    QVERIFY(t.Play("e2e4"));
    QVERIFY(m.InterruptNetworkGame());
    QVERIFY(!m.GameInProgress());
    QVERIFY(!m.ClockW().Running() && !m.ClockB().Running());
    QVERIFY(!m.LocalMayMove());
    QCOMPARE(m.Elo(), 1100);
    QCOMPARE(m.WhitePlayer().Elo, 1100);
    QCOMPARE(m.Panel().Text, TGameController::InterruptedText());
    QCOMPARE(t.Record().last(), "1.Pe2e4 * {" + TGameController::InterruptedText() + "}");
    QCOMPARE(t.net.EndGames, role == int(TRole::Server)
                                 ? QStringList{TGameController::InterruptedText() + " | *"}
                                 : QStringList{});
    // Nothing more is accepted, and a second loss changes nothing.
    const int sent = int(t.net.Moves.size());
    m.ApplyRemoteMove("e7e5");
    QCOMPARE(t.model.WhiteToMove(), false);
    QVERIFY(!m.InterruptNetworkGame());
    QCOMPARE(int(t.net.Moves.size()), sent);
}

void TestGameEnd::observerRatingsNeverChange() {
    TTestGame t;
    TGameController& m = t.G();
    m.SetRole(TRole::Observer);
    t.Observe({"Bea", 1300}, {"Carla", 1250});
    QVERIFY(!m.LocalMayMove());
    m.ApplyRemoteMove("f2f3");
    QVERIFY(!m.LocalMayMove());
    for (const char* mv : {"e7e5", "g2g4", "d8h4"})
        m.ApplyRemoteMove(mv);
    QCOMPARE(m.TurnState(), TTurn(0));
    QCOMPARE(m.ResultText(), QString("0-1"));
    QCOMPARE(m.Elo(), 1100);
    QCOMPARE(m.BlackPlayer().Elo, NewElo(1250, 1300, 100));
}

void TestGameEnd::resigningAgainstTheEngineStopsIt() {
    TTestGame t;
    TGameController& m = t.G();
    t.NewGameVia("ZuzPlak", false); // the engine opens at once
    QVERIFY(t.model.ComputerPlaysWhite());
    m.Resign();
    QCOMPARE(m.TurnState(), TTurn(0));
    QCOMPARE(m.ResultText(), QString("1-0"));
    // No move of the engine can follow the result into the record.
    QVERIFY(!t.model.ComputerPlaysWhite());
    QVERIFY(!t.model.ComputerPlaysBlack());
    QVERIFY(!t.model.Thinking());
    QCOMPARE(m.ComputerElo(), NewElo(1200, 1100, 100));
}

void TestGameEnd::engineMoveOnItsWayIsPlayedBeforeTheEnd_data() {
    QTest::addColumn<bool>("resign");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("panel");
    QTest::newRow("the user resigns") << true << "0-1"
                                      << "Ana abandona";
    QTest::newRow("the engine's clock runs out") << false << "1-0"
                                                 << "Ganan Blancas por  tiempo";
}

void TestGameEnd::engineMoveOnItsWayIsPlayedBeforeTheEnd() {
    // The engine (Black) has found its reply and handed it over when the
    // game ends: the reply is the game's last move, and the game stays over.
    QFETCH(bool, resign);
    TTestGame t;
    TGameController& m = t.G();
    t.G().SetEngineDepth(1);
    t.NewGameVia("ZuzPlak", true, 1);
    QVERIFY(t.Play("e2e4"));
    LetTheEngineHandItsMoveOver();
    if (resign)
        m.Resign();
    else
        RunOut(m.ClockB());
    QCOMPARE(m.TurnState(), TTurn(0));
    QTEST(m.ResultText(), "result");
    QTEST(m.Panel().Text, "panel");
    QVERIFY(!m.ClockW().Running());
    QVERIFY(!m.ClockB().Running());
    QVERIFY(!t.model.ComputerPlaysBlack());
    QVERIFY2(t.Record().last().endsWith(m.ResultText() + " {" + m.Panel().Text + "}"),
             qPrintable(t.Record().join(" | ")));
    // Nothing of the engine follows: the record and the ratings stay.
    const QStringList record = t.Record();
    const int computerElo = m.ComputerElo();
    QTRY_VERIFY(!t.model.Thinking());
    QCoreApplication::processEvents();
    QCOMPARE(t.Record(), record);
    QCOMPARE(m.TurnState(), TTurn(0));
    QCOMPARE(m.ComputerElo(), computerElo);
    QCOMPARE(m.ComputerElo(), NewElo(1200, 1100, resign ? 100 : 0));
}

void TestGameEnd::moveCrossingTheEndIsNotPlayed() {
    // The opponent's move was on its way when its resignation (or this
    // side's time-out) ended the game here.
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode::Network, TColour::White);
    QVERIFY(t.Play("e2e4"));
    m.EndGame(TEndReason(6));
    const int elo = m.Elo();
    const QString position = t.model.Position();
    const QStringList record = t.Record();
    m.ApplyRemoteMove("e7e5");
    m.ApplyRemoteMove("e7e9"); // not even an error line: there is no game
    QCOMPARE(t.model.Position(), position);
    QCOMPARE(t.Record(), record);
    QCOMPARE(m.TurnState(), TTurn(0));
    QVERIFY(!m.ClockW().Running());
    QVERIFY(!m.ClockB().Running());
    QVERIFY(!m.LocalMayMove());
    QCOMPARE(m.MoveSerial(), 2);
    QVERIFY(t.net.LogLines.isEmpty());
    // The white clock, which would have been running again, ends nothing.
    RunOut(m.ClockW());
    QCOMPARE(m.Elo(), elo);
    QCOMPARE(m.ResultText(), QString("1-0"));
}

void TestGameEnd::replayStepsPastItsEnd() {
    // A replay shows its mate, steps back and forward over it again.
    TTestGame t;
    TGameController& m = t.G();
    t.Replay({"F2F3", "E7E5", "G2G4", "D8H4"});
    for (int i = 0; i < 4; ++i)
        m.ReplayForward();
    QCOMPARE(m.TurnState(), TTurn(0));
    QCOMPARE(t.model.PieceAt(Square::H4), 'q');
    m.ReplayBack();
    QCOMPARE(t.model.PieceAt(Square::D8), 'q');
    m.ReplayForward();
    QCOMPARE(t.model.PieceAt(Square::H4), 'q');
    QVERIFY(t.Record().isEmpty()); // a replay writes no record
}

void TestGameEnd::receivedMovesOnlyInNetworkGames_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("against the engine") << int(TGameMode::VsComputer);
    QTest::newRow("two at the board") << int(TGameMode::LocalTwoPlayers);
}

void TestGameEnd::receivedMovesOnlyInNetworkGames() {
    // A move of the last network opponent, or of the host's game to a former
    // observer, arrives while the user plays at this board.
    QFETCH(int, mode);
    TTestGame t;
    TGameController& m = t.G();
    m.SetRole(TRole::Observer);
    t.Start(TGameMode(mode), TColour::White);
    QVERIFY(t.Play("e2e4"));
    const QString position = t.model.Position();
    m.ApplyRemoteMove("e7e5");
    m.ApplyRemoteMove("z7e5");
    QCOMPARE(t.model.Position(), position);
    QCOMPARE(t.Record().last(), QString("1.Pe2e4"));
    QCOMPARE(m.TurnState(), TTurn(2));
    QVERIFY(t.net.LogLines.isEmpty());
    // The user's own game goes on.
    if (mode == int(TGameMode::LocalTwoPlayers)) QVERIFY(t.Play("e7e5"));
}

void TestGameEnd::promotionPlayedWithTheChosenPiece_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<char>("letter"); // chosen before the move
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<QChar>("sent"); // the move message's piece, 0 for none
    QTest::newRow("network: one message, with the piece")
        << int(TGameMode::Network) << 'r' << "1.Pa7a8=R" << QChar('R');
    QTest::newRow("network, a knight")
        << int(TGameMode::Network) << 'n' << "1.Pa7a8=N" << QChar('N');
    QTest::newRow("two at the board: no message")
        << int(TGameMode::LocalTwoPlayers) << 'b' << "1.Pa7a8=B" << QChar();
    QTest::newRow("against the engine")
        << int(TGameMode::VsComputer) << 'q' << "1.Pa7a8=Q" << QChar();
}

void TestGameEnd::promotionPlayedWithTheChosenPiece() {
    QFETCH(int, mode);
    QFETCH(char, letter);
    QFETCH(QChar, sent);
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode(mode), TColour::White);
    t.model.SetComputerPlaysBlack(false); // no reply is wanted here
    QVERIFY(t.model.SetFen("8/P7/7k/8/8/8/7P/K7 w - - 0 1"));
    t.dialogs.ClearLog();
    t.model.SetPromotionLetter(letter);
    QVERIFY(t.Play("a7a8"));
    // Nothing is asked once the move is played: the piece came first.
    QVERIFY(t.dialogs.Log().isEmpty());
    QCOMPARE(t.model.PieceAt(Square::A8), QChar::fromLatin1(letter).toUpper().toLatin1());
    QTEST(t.Record().last(), "lastLine");
    QCOMPARE(int(m.TurnState()), int(TTurn::Black));
    QVERIFY(m.ClockB().Running());
    QVERIFY(!m.ClockW().Running());
    if (sent.isNull()) {
        QVERIFY(t.net.Moves.isEmpty());
    } else {
        QCOMPARE(t.net.Moves.size(), 1);
        QCOMPARE(t.net.Moves[0].Move.Promotion, sent);
        QCOMPARE(t.net.Moves[0].Move.Move, QString("a7a8"));
        QCOMPARE(m.MoveSerial(), 2);
        QCOMPARE(m.PromotionPiece(), QChar('*'));
    }
}

void TestGameEnd::everyEndAnnounced_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<TColour>("colour");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("announced");
    const int net = int(TGameMode::Network), engine = int(TGameMode::VsComputer),
              board = int(TGameMode::LocalTwoPlayers);
    const QString same = "\n\rTu ELO no cambia en las partidas en un solo tablero";
    const QString zuz = "\n\rTu ELO no cambia en las partidas contra ZuzPlak";
    // Ana (1100) against Bea (1300) on the network.
    QTest::newRow("resignation, network")
        << net << TColour::White << int(TEndReason::OpponentResignation)
        << QString::fromUtf8("Bea abandona\n\rAna 1100 → 1123 (+23)");
    QTest::newRow("own resignation, network")
        << net << TColour::Black << int(TEndReason::OwnResignation)
        << QString::fromUtf8("Ana abandona\n\rAna 1100 → 1093 (-7)");
    QTest::newRow("agreement, network")
        << net << TColour::White << int(TEndReason::DrawAgreed)
        << QString::fromUtf8("Tablas por acuerdo\n\rAna 1100 → 1108 (+8)");
    QTest::newRow("time, network")
        << net << TColour::Black << int(TEndReason::Time)
        << QString::fromUtf8("Ganan Negras por tiempo\n\rAna 1100 → 1123 (+23)");
    QTest::newRow("repetition, engine")
        << engine << TColour::White << int(TEndReason::Repetition)
        << QString::fromUtf8("Tablas por repetición de jugada") + zuz;
    QTest::newRow("material, one board")
        << board << TColour::White << int(TEndReason::NoMatingMaterial)
        << "Tablas por material insuficiente para dar mate" + same;
    QTest::newRow("stalemate, engine")
        << engine << TColour::Black << int(TEndReason::StaleMate) << "Tablas por rey ahogado" + zuz;
    QTest::newRow("mate, one board")
        << board << TColour::White << int(TEndReason::Mate) << "Ganan Negras por Jaque Mate" + same;
}

// Every end with a result is announced once, in one way, with the rating
// change that counts for the user, or that it does not change.
void TestGameEnd::everyEndAnnounced() {
    QFETCH(int, mode);
    QFETCH(TColour, colour);
    QFETCH(int, reason);
    TTestGame t;
    t.Start(TGameMode(mode), colour);
    t.dialogs.ClearLog();
    t.G().EndGame(TEndReason(reason));
    QTEST(t.G().LastEndAnnouncement(), "announced");
    // Shown from the event loop, never inside the end itself.
    QVERIFY(t.dialogs.Messages().isEmpty());
    QTRY_COMPARE(t.dialogs.Messages().size(), 1);
    QCOMPARE(t.dialogs.Messages().value(0), t.G().LastEndAnnouncement());
}

// The user resigns. Against the engine only the engine's rating moves, as
// the announcement says ("Tu ELO no cambia"); elsewhere both do.
void TestGameEnd::ratingsShownFollowTheAnnouncement_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<TColour>("colour");
    QTest::addColumn<int>("userShown");
    QTest::addColumn<int>("otherShown");
    QTest::newRow("network, White") << int(TGameMode::Network) << TColour::White
                                    << NewElo(1100, 1300, 0) << NewElo(1300, 1100, 100);
    QTest::newRow("engine, White")
        << int(TGameMode::VsComputer) << TColour::White << 1100 << NewElo(1200, 1100, 100);
    QTest::newRow("engine, Black")
        << int(TGameMode::VsComputer) << TColour::Black << 1100 << NewElo(1200, 1100, 100);
    QTest::newRow("one board, White moved") << int(TGameMode::LocalTwoPlayers) << TColour::White
                                            << NewElo(1100, 1100, 100) << NewElo(1100, 1100, 0);
}

void TestGameEnd::ratingsShownFollowTheAnnouncement() {
    QFETCH(int, mode);
    QFETCH(TColour, colour);
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode(mode), colour);
    if (colour == TColour::White) QVERIFY(t.Play("e2e4"));
    m.Resign();
    const bool white = colour == TColour::White;
    QTEST((white ? m.WhitePlayer() : m.BlackPlayer()).Elo, "userShown");
    QTEST((white ? m.BlackPlayer() : m.WhitePlayer()).Elo, "otherShown");
    QCOMPARE(m.EloHint(colour), QString("Elo anterior 1100"));
    if (mode == int(TGameMode::VsComputer))
        QCOMPARE(m.ComputerElo(), (white ? m.BlackPlayer() : m.WhitePlayer()).Elo);
}

// The same controller runs every kind of game; the players decide who may
// move at this board after White's first move, whether a move can be taken
// back, and whether White's clock running out ends the game here (and is
// sent to a network opponent).
void TestGameEnd::eachKindThroughItsPlayers_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("userMayMove");
    QTest::addColumn<bool>("takeBack");
    QTest::addColumn<bool>("timeOutEnds");
    QTest::addColumn<QStringList>("timeOutsSent");
    QTest::newRow("engine") << "engine" << false << true << true << QStringList{};
    QTest::newRow("one board") << "one board" << true << true << true << QStringList{};
    QTest::newRow("network") << "network" << false << false << true
                             << QStringList{"Sacabo er tiempo"};
    QTest::newRow("observed") << "observed" << false << false << false << QStringList{};
    QTest::newRow("replay") << "replay" << false << false << false << QStringList{};
}

void TestGameEnd::eachKindThroughItsPlayers() {
    QFETCH(QString, kind);
    QFETCH(bool, timeOutEnds);
    TTestGame t;
    TGameController& m = t.G();
    if (kind == "engine") {
        t.Start(TGameMode::VsComputer, TColour::White);
        QVERIFY(t.Play("e2e4"));
        t.model.SetComputerPlaysBlack(false);
    } else if (kind == "one board" || kind == "network") {
        t.Start(kind == "network" ? TGameMode::Network : TGameMode::LocalTwoPlayers,
                TColour::White);
        QVERIFY(t.Play("e2e4"));
    } else if (kind == "observed") {
        m.SetRole(TRole::Observer);
        t.Observe({"Bea", 1300}, {"Carla", 1250});
        m.ApplyRemoteMove("e2e4");
    } else {
        t.Replay({"E2E4", "E7E5"});
        m.ReplayForward();
    }
    QCOMPARE(t.model.PieceAt(Square::E4), 'P');
    QTEST(m.LocalMayMove(), "userMayMove");
    QTEST(m.TakeBackAllowed(), "takeBack");
    // Black's move, by whoever plays Black, then White's clock runs out.
    if (kind == "replay")
        m.ReplayForward();
    else if (kind == "network")
        QVERIFY(m.ReceiveMove({2, false, "e7e5", u'*', 50}));
    else if (kind == "observed")
        m.ApplyRemoteMove("e7e5");
    else
        QVERIFY(t.Play("e7e5"));
    QCOMPARE(t.model.PieceAt(Square::E5), 'p');
    m.FClockWTimeout();
    QCOMPARE(m.GameInProgress(), !timeOutEnds);
    QTEST(t.net.Timeouts, "timeOutsSent");
}

// The network opponent moves only its own side: a move for the user's side,
// on the user's turn, is refused and changes nothing.
void TestGameEnd::opponentCannotMoveForTheUser() {
    TTestGame t;
    TGameController& m = t.G();
    t.Start(TGameMode::Network, TColour::White);
    const QString position = t.model.Position();
    QVERIFY(!m.ReceiveMove({1, true, "e2e4", u'*', 60}));
    m.ApplyRemoteMove("e2e4");
    QCOMPARE(t.model.Position(), position);
    QVERIFY(m.ClockW().Running());
    QVERIFY(m.LocalMayMove());
    QVERIFY(t.Play("e2e4"));
    QCOMPARE(t.net.Moves.size(), 1);
}

QTEST_GUILESS_MAIN(TestGameEnd)
#include "tst_gameend.moc"
