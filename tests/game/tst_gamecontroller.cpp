// Whole games through the controller alone, with no widget: the record, the
// turn panel, the ratings, the sounds, promotions, captured pieces, received
// moves and the move messages.

#include "GameTestUtil.h"

namespace {
// A network game of the user (Ana, a client, playing Black) against the host
// Bea, who moves first.
void StartNetworkGameAsBlack(TTestGame& t) {
    TGameController& m = t.G();
    m.SetRole(TRole::Client);
    m.SetUpNetworkGame(false, {"Bea", 1300}, 5);
}
} // namespace

class TestGameController : public QObject {
    Q_OBJECT

private slots:
    void mates_data();
    void mates();
    void stalemateAndCapturedPieces();
    void capturedPairsFillInOrder();
    void repetition();
    void castlingIsRecordedAsOO();
    void promotionAnswers_data();
    void promotionAnswers();
    void engineTakesTheUsersLastPromotionLetter();
    void remoteMoves_data();
    void remoteMoves();
    void refusedRemoteMoveKeepsTheUserOffTheBoard();
    void errorLinesAreOneLineEach();
    void moveMessageFields();
    void engineSearchesFivePlies();
    void engineGameToItsEnd();
    void newGameOverAnEngineMoveOnItsWay();
};

void TestGameController::mates_data() {
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<QStringList>("record");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("whiteElo");
    QTest::addColumn<int>("blackElo");
    QTest::newRow("fool's mate: Black mates")
        << QStringList{"f2f3", "e7e5", "g2g4", "d8h4"}
        << QStringList{"1.Pf2f3 Pe7e5", "2.Pg2g4 Qd8h4++", "0-1"} << "Ganan Negras por  Jaque Mate"
        << 1085 << 1115;
    QTest::newRow("scholar's mate: White mates")
        << QStringList{"e2e4", "e7e5", "d1h5", "b8c6", "f1c4", "g8f6", "h5f7"}
        << QStringList{"1.Pe2e4 Pe7e5", "2.Qd1h5 Nb8c6", "3.Bf1c4 Ng8f6", "4.Qh5f7++ 1-0"}
        << "Ganan Blancas por  Jaque Mate" << 1115 << 1085;
}

void TestGameController::mates() {
    QFETCH(QStringList, moves);
    TTestGame t;
    TGameController& m = t.G();
    t.NewGameVia("Ana", true);
    QCOMPARE(m.GameMode(), TGameMode::LocalTwoPlayers);
    QCOMPARE(m.BlackPlayer().Nick, QString("Ana 2"));
    QCOMPARE(m.TurnState(), TTurn(1));
    QVERIFY(!m.NewGameAllowed());
    QCOMPARE(m.Panel().Text, QString("Juegan Blancas"));
    t.sound.Clear();

    QVERIFY(t.PlayAll(moves));
    QTEST(t.Record(), "record");
    QTEST(m.Panel().Text, "panel");
    QCOMPARE(m.TurnState(), TTurn(0));
    QVERIFY(m.NewGameAllowed());
    QVERIFY(!m.ResignAllowed());
    QTEST(m.WhitePlayer().Elo, "whiteElo");
    QTEST(m.BlackPlayer().Elo, "blackElo");
    QCOMPARE(m.EloHint(TColour::White), QString("Elo anterior 1100"));
    // A game at one board changes neither stored rating.
    QCOMPARE(m.Elo(), 1100);
    QCOMPARE(m.ComputerElo(), 1200);
    QCOMPARE(m.Title(), QString("Zugaret CHAT! 2.01 [Ana 1100 ELO]"));
    QTRY_VERIFY(!t.dialogs.Messages().isEmpty()); // from the event loop
    QCOMPARE(t.dialogs.Messages().last(),
             m.Panel().Text.simplified() +
                 "\n\rTu ELO no cambia en las partidas en un solo tablero");
    const QStringList cues = t.sound.Cues();
    QCOMPARE(cues.mid(cues.size() - 3), (QStringList{"mover", "jaque", "mate"}));
    QCOMPARE(cues.count("mover"), moves.size());
}

void TestGameController::stalemateAndCapturedPieces() {
    // Sam Loyd's ten-move stalemate; White's queen takes five black pieces.
    TTestGame t;
    TGameController& m = t.G();
    t.NewGameVia("Ana", true);
    t.sound.Clear();
    QVERIFY(t.PlayAll({"e2e3", "a7a5", "d1h5", "a8a6", "h5a5", "h7h5", "h2h4", "a6h6", "a5c7",
                       "f7f6", "c7d7", "e8f7", "d7b7", "d8d3", "b7b8"}));
    // Pawns count for nothing; the knight is the first black piece shown.
    TCapturedPieces shown;
    shown.Black = {0, 0, 1, 0};
    QCOMPARE(m.Captured(), shown);
    QVERIFY(t.PlayAll({"d3h7", "b8c8"}));
    shown.Black = {0, 0, 1, 1};
    QCOMPARE(m.Captured(), shown);
    QVERIFY(t.PlayAll({"f7g6", "c8e6"}));

    QCOMPARE(m.Panel().Text, QString("Tablas por  rey ahogado"));
    QCOMPARE(m.ResultText(), QString("1/2-1/2"));
    QCOMPARE(t.Record().at(5), QString("6.Qc7d7+ Ke8f7"));
    QCOMPARE(t.Record().last(), QString("10.Qc8e6 1/2-1/2"));
    QCOMPARE(t.Record().size(), 10);
    QCOMPARE(m.WhitePlayer().Elo, 1100);
    QCOMPARE(m.BlackPlayer().Elo, 1100);
    const QStringList cues = t.sound.Cues();
    QCOMPARE(cues.mid(cues.size() - 3), (QStringList{"mover", "ahogado", "tablas"}));
    QTRY_COMPARE(
        t.dialogs.Messages(),
        QStringList{"Tablas por rey ahogado\n\rTu ELO no cambia en las partidas en un solo "
                    "tablero"});

    // A new game shows no captured pieces again.
    t.NewGameVia("Ana", false);
    QCOMPARE(m.Captured(), TCapturedPieces());
}

void TestGameController::capturedPairsFillInOrder() {
    TTestGame t;
    TGameController& m = t.G();
    m.FBoardCapture(Square::None, Square::None, 'R');
    QCOMPARE(m.Captured().White[1], 1);
    m.FBoardCapture(Square::None, Square::None, 'R');
    QCOMPARE(m.Captured().White[1], 2);
    m.FBoardCapture(Square::None, Square::None, 'R'); // a third rook: nothing new
    m.FBoardCapture(Square::None, Square::None, 'q');
    m.FBoardCapture(Square::None, Square::None, 'q'); // a second queen: nothing new
    m.FBoardCapture(Square::None, Square::None, 'p');
    m.FBoardCapture(Square::None, Square::None, 'P');
    TCapturedPieces shown;
    shown.White = {0, 2, 0, 0};
    shown.Black = {1, 0, 0, 0};
    QCOMPARE(m.Captured(), shown);
}

void TestGameController::repetition() {
    TTestGame t;
    TGameController& m = t.G();
    t.NewGameVia("Ana", true);
    t.sound.Clear();
    QVERIFY(t.PlayAll({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}));
    QCOMPARE(m.TurnState(), TTurn(0));
    QCOMPARE(m.Panel().Text, QString::fromUtf8("Tablas por  repetición de jugada"));
    QCOMPARE(t.Record().last(), QString("1/2-1/2"));
    QCOMPARE(t.Record().at(3), QString("4.Nf3g1 Nf6g8"));
    const QStringList cues = t.sound.Cues();
    QCOMPARE(cues.mid(cues.size() - 2), (QStringList{"repeticion", "tablas"}));
}

void TestGameController::castlingIsRecordedAsOO() {
    TTestGame t;
    t.NewGameVia("Ana", true);
    QVERIFY(t.PlayAll(
        {"e2e4", "d7d5", "g1f3", "d8d6", "f1c4", "c8g4", "e1g1", "b8c6", "d2d3", "e8c8"}));
    QCOMPARE(t.Record().at(3), QString("4.O-O Nb8c6"));
    QCOMPARE(t.Record().at(4), QString("5.Pd2d3 O-O-O"));
    QVERIFY(t.sound.Cues().contains("enroque"));
}

void TestGameController::promotionAnswers_data() {
    QTest::addColumn<char>("letter"); // the board's letter when the move is played
    QTest::addColumn<QChar>("piece");
    QTest::newRow("queen") << 'q' << QChar('Q');
    QTest::newRow("rook") << 'r' << QChar('R');
    QTest::newRow("bishop") << 'b' << QChar('B');
    QTest::newRow("knight") << 'n' << QChar('N');
    QTest::newRow("other letter: the last one, a queen") << 'x' << QChar('Q');
}

void TestGameController::promotionAnswers() {
    QFETCH(char, letter);
    QFETCH(QChar, piece);
    TTestGame t;
    t.NewGameVia("Ana", true);
    // Black's king stands where no promoted piece gives check.
    QVERIFY(t.model.SetFen("8/P7/7k/8/8/8/7P/K7 w - - 0 1"));
    t.dialogs.ClearLog();
    t.model.SetPromotionLetter(letter);
    QVERIFY(t.Play("a7a8"));
    // The piece was chosen before the move: nothing is asked now.
    QVERIFY(t.dialogs.Log().isEmpty());
    QCOMPARE(QChar(t.model.PieceAt(Square::A8)), piece);
    QCOMPARE(t.Record().last(), "1.Pa7a8=" + QString(piece));
    QCOMPARE(t.G().PromotionPiece(), piece); // kept outside network games
    // Two players share the board: Black may answer.
    QVERIFY(t.G().LocalMayMove());
}

void TestGameController::engineTakesTheUsersLastPromotionLetter() {
    TTestGame t;
    TGameController& m = t.G();
    // The engine's promotion (a promotion the user does not make) takes the
    // user's last letter, a queen before the user ever chose one.
    auto engineGame = [&] {
        m.EndGame(TEndReason(10));
        m.StartLocalGame(TGameMode::VsComputer, true, 1);
        QVERIFY(t.model.ComputerPlaysBlack());
        t.model.SetComputerPlaysBlack(false); // the test moves for the engine
        QVERIFY(t.model.SetFen("4k3/7p/8/8/8/8/p7/4K3 b - - 0 1"));
        t.dialogs.ClearLog();
        QVERIFY(t.Play("a2a1"));
        QVERIFY(t.dialogs.Log().isEmpty());
    };
    engineGame();
    QCOMPARE(t.model.PieceAt(Square::A1), 'q');
    QVERIFY2(t.Record().last().endsWith("Pa2a1=Q+"), qPrintable(t.Record().last()));

    t.NewGameVia("Ana", true);
    QVERIFY(t.model.SetFen("8/P7/7k/8/8/8/7P/K7 w - - 0 1"));
    t.model.SetPromotionLetter('n'); // the user's choice
    QVERIFY(t.Play("a7a8"));
    engineGame();
    QCOMPARE(t.model.PieceAt(Square::A1), 'n');
    QVERIFY2(t.Record().last().endsWith("Pa2a1=N"), qPrintable(t.Record().last()));
}

void TestGameController::remoteMoves_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("played");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("good") << "e2e4" << true << "";
    QTest::newRow("upper case") << "E2E4" << true << "";
    QTest::newRow("short") << "e2e" << false << "";
    QTest::newRow("six characters") << "e2e4qq" << false << "";
    QTest::newRow("file outside a-h") << "i2e4" << false << "*Error 53: I2E4*";
    QTest::newRow("rank outside 1-8") << "e2e9" << false << "*Error 53: E2E9*";
    QTest::newRow("illegal but well formed") << "e2e5" << false << "";
}

void TestGameController::remoteMoves() {
    QFETCH(QString, text);
    QFETCH(bool, played);
    QFETCH(QString, logLine);
    TTestGame t;
    TGameController& m = t.G();
    StartNetworkGameAsBlack(t);
    const QString before = t.model.Position();
    m.ApplyRemoteMove(text);
    QCOMPARE(t.model.Position() != before, played);
    QCOMPARE(t.Record(), played ? QStringList{"1.Pe2e4"} : QStringList{});
    QCOMPARE(t.net.LogLines, logLine.isEmpty() ? QStringList{} : QStringList{logLine});
}

void TestGameController::errorLinesAreOneLineEach() {
    // However the malformed move is made, its error line is one line.
    TTestGame t;
    TGameController& m = t.G();
    StartNetworkGameAsBlack(t);
    m.ApplyRemoteMove(QString("z9e4"));
    m.ApplyRemoteMove(QString("e\ne4"));
    m.ApplyRemoteMove(QString("e2") + QChar(QChar::ParagraphSeparator) + "4");
    QCOMPARE(t.net.LogLines,
             (QStringList{"*Error 53: Z9E4*", "*Error 53: E E4*", "*Error 53: E2 4*"}));
    QVERIFY(t.model.WhiteToMove());
}

void TestGameController::refusedRemoteMoveKeepsTheUserOffTheBoard() {
    TTestGame t;
    TGameController& m = t.G();
    StartNetworkGameAsBlack(t);
    QVERIFY(!m.LocalMayMove()); // White (the opponent) moves first
    m.ApplyRemoteMove("e2e5");
    QVERIFY(!m.LocalMayMove());
    m.ApplyRemoteMove("e2e4");
    QVERIFY(t.G().LocalMayMove());
    QCOMPARE(m.BlackPlayer().Nick, QString("Ana"));
    QVERIFY(m.DrawOfferAllowed());
}

void TestGameController::moveMessageFields() {
    TTestGame t;
    TGameController& m = t.G();
    m.SetRole(TRole::Server);
    m.SetUpNetworkGame(true, {"Bea", 1300}, 15);
    QCOMPARE(m.MoveSerial(), 1);
    QVERIFY(t.G().LocalMayMove());
    QVERIFY(t.Play("e2e4"));
    // The user moved: the opponent is to move, the serial went up.
    QVERIFY(!m.LocalMayMove());
    QCOMPARE(m.MoveSerial(), 2);
    QVERIFY(!m.DrawOfferAllowed());
    // One "/MOV" for the opponent and the observers: serial, side, move,
    // promotion, the mover's seconds.
    QCOMPARE(t.net.Moves.size(), 1);
    QVERIFY(t.net.Moves[0].FromLocalPlayer);
    QCOMPARE(t.net.Moves[0].Move.ToText(), QString("1") + QChar(0xFE) + "0" + QChar(0xFE) + "e2e4" +
                                               QChar(0xFE) + "*" + QChar(0xFE) + "900");
}

// The engine plays at the depth the main window sets: from the initial
// position it opens e2e4 at five plies (d2d4 at one).
void TestGameController::engineSearchesFivePlies() {
    TTestGame t;
    QCOMPARE(t.model.SearchDepth(), TGameController::EngineSearchDepth);
    QCOMPARE(TGameController::EngineSearchDepth, 5);
    t.NewGameVia("ZuzPlak", false); // the engine plays White and opens
    QTRY_COMPARE_WITH_TIMEOUT(t.Record().size(), 2, 30000);
    QCOMPARE(t.Record(), (QStringList{"{Nivel de ZuzPlak: 5}", "1.Pe2e4"}));
}

void TestGameController::engineGameToItsEnd() {
    TTestGame t;
    TGameController& m = t.G();
    t.G().SetEngineDepth(1);
    t.NewGameVia("ZuzPlak", false); // the engine plays White and opens
    QVERIFY(t.model.ComputerPlaysWhite());
    QCOMPARE(m.WhitePlayer().Nick, QString("ZuzPlak"));
    QCOMPARE(m.WhitePlayer().Elo, 1200);
    QTRY_VERIFY_WITH_TIMEOUT(t.Record().size() == 2, 20000);
    // The user shuffles a knight; the engine plays on until the game ends.
    const QStringList shuffle{"b8c6", "c6b8", "g8f6", "f6g8", "b8a6", "a6b8"};
    int half = 0;
    while (m.GameInProgress() && half < 400) {
        QTRY_VERIFY_WITH_TIMEOUT(
            !m.GameInProgress() || (!t.model.WhiteToMove() && m.LocalMayMove()), 20000);
        if (!m.GameInProgress()) break;
        bool moved = false;
        for (const QString& mv : shuffle)
            if ((moved = t.Play(mv))) break;
        for (int from = 1; !moved && from <= 64; ++from)
            for (int to = 1; !moved && to <= 64; ++to)
                if (t.model.IsLegalMove(ToSquare(from), ToSquare(to)))
                    moved = t.model.Move(ToSquare(from), ToSquare(to));
        QVERIFY(moved || !m.GameInProgress());
        ++half;
    }
    QCOMPARE(m.TurnState(), TTurn(0));
    QVERIFY(!m.ResultText().isEmpty());
    QVERIFY(m.NewGameAllowed());
    // Only the engine's rating moves after a game against it.
    QCOMPARE(m.Elo(), 1100);
    QCOMPARE(m.ComputerElo(), m.WhitePlayer().Elo);
    QVERIFY(t.Record().last().endsWith(m.ResultText()));
    // The level, then one line per full move, numbered from 1, whoever moved.
    const QStringList record = t.Record();
    QCOMPARE(record.first(), QString("{Nivel de ZuzPlak: 1}"));
    for (int i = 1; i + 1 < record.size(); ++i)
        QVERIFY2(record.at(i).startsWith(QString::number(i) + "."), qPrintable(record.at(i)));
    QVERIFY(!record.join(' ').contains("=*"));
}

void TestGameController::newGameOverAnEngineMoveOnItsWay() {
    // A game set up straight over a running one (an accepted network offer
    // does so) while the engine's opening move waits to be played.
    TTestGame t;
    TGameController& m = t.G();
    t.G().SetEngineDepth(1);
    t.NewGameVia("ZuzPlak", false); // the engine plays White and thinks at once
    LetTheEngineHandItsMoveOver();  // no event handled yet
    m.StartLocalGame(TGameMode::LocalTwoPlayers, true, 5);
    const QString start = "rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR";
    auto freshGame = [&] {
        QCOMPARE(m.TurnState(), TTurn(1));
        QVERIFY(t.model.WhiteToMove());
        QCOMPARE(t.model.Position(), start);
        QVERIFY(t.Record().isEmpty());
        QVERIFY(m.ClockW().Running());
        QVERIFY(!m.ClockB().Running());
        QCOMPARE(m.Panel().Text, QString("Juegan Blancas"));
        QVERIFY(!t.model.ComputerPlaysWhite());
    };
    freshGame();
    QTRY_VERIFY(!t.model.Thinking());
    QCoreApplication::processEvents();
    freshGame();
    QVERIFY(t.Play("e2e4"));
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"});
}

QTEST_GUILESS_MAIN(TestGameController)
#include "tst_gamecontroller.moc"
