// Taking moves back in games against the engine and at one board, and the
// engine's level: the record, the turn, the clocks, the captured pieces and
// the move serial stay consistent, and the engine never plays into a
// half-restored game.

#include "EngineLevel.h"
#include "GameTestUtil.h"

class TstTakeBack : public QObject {
    Q_OBJECT
private slots:
    void atOneBoard_data();
    void atOneBoard();
    void notOffered_data();
    void notOffered();
    void againstTheEngineBackToTheStartAndAgain();
    void engineLevelReachesTheEngine();
};

// Two players at one board: each take-back is one half-move.
void TstTakeBack::atOneBoard_data() {
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<int>("back");
    QTest::addColumn<QStringList>("record");
    QTest::addColumn<int>("capturedBlackPawnsOrPieces"); // Black's knights taken
    QTest::newRow("one move") << QStringList{"e2e4"} << 1 << QStringList{} << 0;
    QTest::newRow("Black's reply")
        << QStringList{"e2e4", "e7e5"} << 1 << QStringList{"1.Pe2e4"} << 0;
    QTest::newRow("a capture undone") << QStringList{"e2e4", "g8f6", "b1c3", "f6e4", "c3e4"} << 1
                                      << QStringList{"1.Pe2e4 Ng8f6", "2.Nb1c3 Nf6e4"} << 0;
    QTest::newRow("a capture kept")
        << QStringList{"e2e4", "g8f6", "b1c3", "f6e4", "c3e4", "d7d6"} << 1
        << QStringList{"1.Pe2e4 Ng8f6", "2.Nb1c3 Nf6e4", "3.Nc3e4"} << 1;
    QTest::newRow("check undone") << QStringList{"e2e4", "f7f6", "d1h5"} << 1
                                  << QStringList{"1.Pe2e4 Pf7f6"} << 0;
}

void TstTakeBack::atOneBoard() {
    QFETCH(QStringList, moves);
    QFETCH(int, back);
    TTestGame t;
    TGameController& g = t.G();
    t.NewGameVia("Ana", true);
    QVERIFY(!g.TakeBackAllowed()); // nothing to take back yet
    QVERIFY(t.PlayAll(moves));
    const int plies = int(moves.size()) - back;
    for (int i = 0; i < back; ++i)
        QVERIFY(g.TakeBack());
    QTEST(t.Record(), "record");
    QTEST(g.Captured().Black[2], "capturedBlackPawnsOrPieces");
    const bool whiteToMove = plies % 2 == 0;
    QCOMPARE(t.model.WhiteToMove(), whiteToMove);
    QCOMPARE(g.TurnState(), whiteToMove ? TTurn::White : TTurn::Black);
    QCOMPARE(g.Panel().Text, whiteToMove ? QString("Juegan Blancas") : QString("Juegan Negras"));
    QCOMPARE(g.ClockW().Running(), whiteToMove);
    QCOMPARE(g.ClockB().Running(), !whiteToMove);
    QCOMPARE(g.MoveSerial(), 1);
    QVERIFY(g.LocalMayMove());
    // The game goes on from there, written as if nothing had been taken back.
    QVERIFY(t.Play(whiteToMove ? "a2a3" : "a7a6"));
    QCOMPARE(t.Record().size(), plies / 2 + 1);
}

void TstTakeBack::notOffered_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("network") << int(TGameMode::Network);
    QTest::newRow("replay") << int(TGameMode::Replay);
}

void TstTakeBack::notOffered() {
    QFETCH(int, mode);
    TTestGame t;
    TGameController& g = t.G();
    if (mode == int(TGameMode::Network)) {
        t.Start(TGameMode::Network, TColour::White);
        QVERIFY(t.Play("e2e4"));
    } else {
        t.Replay({"E2E4"});
        g.ReplayForward();
    }
    const QString position = t.model.Position();
    QVERIFY(!g.TakeBackAllowed());
    QVERIFY(!g.TakeBack());
    QCOMPARE(t.model.Position(), position);
    // Nor after the end of a game.
    t.NewGameVia("Ana", true);
    QVERIFY(t.Play("e2e4"));
    g.EndGame(TEndReason::DrawAgreed);
    QVERIFY(!g.TakeBack());
}

// A game against the engine taken back to its start, then played again
// with the same moves: the engine answers as it did, the record is the same
// (at the weakest level without deliberate randomness).
void TstTakeBack::againstTheEngineBackToTheStartAndAgain() {
    TTestGame t;
    TGameController& g = t.G();
    int level = MinEngineLevel;
    while (EngineLevel(level).rootNoise > 0)
        ++level;
    g.SetEngineDepth(level);
    t.NewGameVia("ZuzPlak", true);
    const QStringList mine{"e2e4", "g1f3", "f1c4"};
    auto playMine = [&] {
        for (const QString& move : mine) {
            QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove() && g.LocalMayMove(), 20000);
            QVERIFY(t.Play(move));
        }
        QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove() && g.LocalMayMove(), 20000);
    };
    playMine();
    const QStringList record = t.Record();
    QCOMPARE(record.size(), 4); // the level line and three move pairs
    const QString position = t.model.Position();
    for (int i = 0; i < 3; ++i)
        QVERIFY(g.TakeBack()); // the engine's reply and the user's move each time
    QCOMPARE(t.Record(), QStringList{QString("{Nivel de ZuzPlak: %1}").arg(level)});
    QCOMPARE(t.model.CurrentMove(), 1);
    QVERIFY(t.model.WhiteToMove());
    QVERIFY(!g.TakeBackAllowed());
    QVERIFY(t.model.ComputerPlaysBlack()); // the engine keeps its side
    QVERIFY(!t.model.Thinking());
    playMine();
    QCOMPARE(t.Record(), record);
    QCOMPARE(t.model.Position(), position);
}

// The level chosen reaches the engine and the record, and the settings.
void TstTakeBack::engineLevelReachesTheEngine() {
    TTestGame t;
    TGameController& g = t.G();
    QCOMPARE(g.EngineDepth(), 5);
    g.SetEngineDepth(12);
    QCOMPARE(g.EngineDepth(), 8);
    g.SetEngineDepth(3);
    t.NewGameVia("ZuzPlak", true);
    QCOMPARE(t.model.SearchDepth(), 3);
    QCOMPARE(t.Record(), QStringList{"{Nivel de ZuzPlak: 3}"});
    TZugaretSettings saved;
    g.SaveSettings(saved);
    QCOMPARE(saved.EngineDepth, 3);
    // A game at one board has no such line.
    g.EndGame(TEndReason::Abandoned);
    t.NewGameVia("Ana", true);
    QVERIFY(t.Record().isEmpty());
}

QTEST_GUILESS_MAIN(TstTakeBack)
#include "tst_takeback.moc"
