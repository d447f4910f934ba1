// A game begun from a position given as FEN: the kind of game, the side to
// move, the record, the engine's turn, and every refusal leaving the game
// as it was.

#include "GameTestUtil.h"

#include "RecordText.h"

#include "GameFile.h"
#include "OwnGameFormat.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"

class TstStartFromPosition : public QObject {
    Q_OBJECT
private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void recordReplaysAndExports();
};

void TstStartFromPosition::accepted_data() {
    QTest::addColumn<bool>("engine"); // the last game was against the engine
    QTest::addColumn<QString>("fen");
    QTest::addColumn<QString>("move");
    QTest::addColumn<QString>("moveLine");
    const QString white = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 12";
    const QString black = "4k3/4p3/8/8/8/8/8/4K3 b - - 0 40";
    QTest::newRow("one board, White to move") << false << white << "e2e4"
                                              << "12.Pe2e4";
    QTest::newRow("one board, Black to move") << false << black << "e7e5"
                                              << "40... Pe7e5";
    QTest::newRow("engine, Black to move: the user plays Black") << true << black << "e7e5"
                                                                 << "40... Pe7e5";
}

void TstStartFromPosition::accepted() {
    QFETCH(bool, engine);
    QFETCH(QString, fen);
    QFETCH(QString, move);
    QFETCH(QString, moveLine);
    TTestGame t;
    TGameController& g = t.G();
    g.SetEngineDepth(1);
    if (engine) {
        t.NewGameVia("ZuzPlak", true);
        QVERIFY(t.Play("e2e4"));
    }
    QString reason = "?";
    QVERIFY(g.StartFromPosition(fen, 3, &reason));
    QVERIFY(reason.isEmpty());
    QCOMPARE(t.model.Fen(), fen);
    QCOMPARE(g.GameMode(), engine ? TGameMode::VsComputer : TGameMode::LocalTwoPlayers);
    const bool whiteFirst = fen.contains(" w ");
    QCOMPARE(g.MyColour(), whiteFirst ? TColour::White : TColour::Black);
    QCOMPARE(g.TurnState(), whiteFirst ? TTurn::White : TTurn::Black);
    QCOMPARE(g.ClockW().Running(), whiteFirst);
    QCOMPARE(g.ClockB().Running(), !whiteFirst);
    QCOMPARE(g.ClockW().Remaining(), 180);
    QVERIFY(g.LocalMayMove());
    QVERIFY(!t.model.Thinking()); // the user moves first
    QCOMPARE(t.Record().last(), PositionLine(fen));
    QCOMPARE(PositionOfLine(t.Record().last()), fen);
    QVERIFY(t.Play(move));
    QCOMPARE(t.Record().last().left(moveLine.size()), moveLine);
    if (engine) QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove() == !whiteFirst, 20000);
}

void TstStartFromPosition::refused_data() {
    QTest::addColumn<int>("situation"); // 0 no game, 1 network game, 2 observing
    QTest::addColumn<QString>("fen");
    QTest::addColumn<QString>("reason");
    const QString good = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
    QTest::newRow("malformed") << 0 << "4k3/8/8 w - - 0 1"
                               << "FEN no válido";
    QTest::newRow("two white kings") << 0 << "4k3/8/8/8/8/8/8/3KK3 w - - 0 1"
                                     << "rey";
    QTest::newRow("side not to move in check") << 0 << "4k3/8/8/8/8/8/8/4RK2 w - - 0 1"
                                               << "jaque";
    QTest::newRow("nine pawns") << 0 << "4k3/8/8/8/8/P7/PPPPPPPP/4K3 w - - 0 1"
                                << "peones";
    QTest::newRow("during a network game") << 1 << good << "partida en red";
    QTest::newRow("while observing") << 2 << good << "partida en red";
}

void TstStartFromPosition::refused() {
    QFETCH(int, situation);
    QFETCH(QString, fen);
    QFETCH(QString, reason);
    TTestGame t;
    TGameController& g = t.G();
    if (situation == 2) g.SetRole(TRole::Observer);
    t.Start(situation == 0 ? TGameMode::LocalTwoPlayers : TGameMode::Network, TColour::White);
    QVERIFY(t.Play("e2e4"));
    const QString position = t.model.Fen();
    const QStringList record = t.Record();
    QString why;
    QVERIFY(!g.StartFromPosition(fen, 15, &why));
    QVERIFY2(why.contains(reason, Qt::CaseInsensitive), qPrintable(why));
    QCOMPARE(t.model.Fen(), position);
    QCOMPARE(t.Record(), record);
    QCOMPARE(g.TurnState(), TTurn::Black);
}

// The record of a game begun from a position reads back with that position
// and its moves, and exports as standard PGN with its FEN.
void TstStartFromPosition::recordReplaysAndExports() {
    TTestGame t;
    TGameController& g = t.G();
    const QString fen = "4k3/4p3/8/8/8/8/4P3/4K3 b - - 0 40";
    QVERIFY(g.StartFromPosition(fen, 5));
    QVERIFY(t.PlayAll({"e7e5", "e2e4", "e8e7"}));
    QCOMPARE(t.Record(), (QStringList{PositionLine(fen), "40... Pe7e5", "41.Pe2e4 Ke8e7"}));
    const TOpenedGame opened = ReadOwnGame(t.Record());
    QCOMPARE(opened.StartFen, fen);
    QCOMPARE(opened.ReplayMoves, (QStringList{"E7E5", "E2E4", "E8E7"}));
    // Saved with its header, it is still read as the program's own game.
    TRecordHeader header = g.RecordHeader();
    const TGameFile file = TGameFile::FromLines(OwnGameFileLines(header, t.Record()));
    QCOMPARE(file.Count(), 1);
    QCOMPARE(file.Index().first().Kind, TGameKind::Own);
    QCOMPARE(file.Read(0).StartFen, fen);
    QCOMPARE(file.Read(0).ReplayMoves, opened.ReplayMoves);
    TReplayBoard board;
    TStandardGame standard;
    QString error;
    QVERIFY2(StandardGameOfRecord(g.RecordHeader(), t.Record(), board, &standard, &error),
             qPrintable(error));
    const QString pgn = WriteStandardPgn(standard).join('\n');
    QVERIFY2(pgn.contains("[FEN \"" + fen + "\"]"), qPrintable(pgn));
    QVERIFY2(pgn.contains("40... e5 41. e4 Ke7"), qPrintable(pgn));
}

QTEST_GUILESS_MAIN(TstStartFromPosition)
#include "tst_startfromposition.moc"
