// Leaf counts of the move tree with the board's rules, against the published
// figures; a wrong count points at a rule that is off somewhere in the tree.
#include "ChessTestUtil.h"

#include <QTest>

class TstPerft : public QObject {
    Q_OBJECT
private slots:
    void perft_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<int>("depth");
        QTest::addColumn<qulonglong>("nodes");
        const QString start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        const QString kiwipete =
            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
        const QString rankPins = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
        const QString promotions =
            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1";
        const QString underPromotion = "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8";
        QTest::newRow("start 1") << start << 1 << 20ULL;
        QTest::newRow("start 2") << start << 2 << 400ULL;
        QTest::newRow("start 3") << start << 3 << 8902ULL;
        QTest::newRow("start 4") << start << 4 << 197281ULL;
        QTest::newRow("kiwipete 1") << kiwipete << 1 << 48ULL;
        QTest::newRow("kiwipete 2") << kiwipete << 2 << 2039ULL;
        QTest::newRow("kiwipete 3") << kiwipete << 3 << 97862ULL;
        QTest::newRow("rank pins 4") << rankPins << 4 << 43238ULL;
        QTest::newRow("promotions 3") << promotions << 3 << 9467ULL;
        QTest::newRow("under-promotion 3") << underPromotion << 3 << 62379ULL;
        QTest::newRow("depth 0") << start << 0 << 1ULL;
    }
    void perft() {
        QFETCH(QString, fen);
        QFETCH(int, depth);
        QFETCH(qulonglong, nodes);
        TChessModel b;
        QVERIFY(b.SetFen(fen));
        QCOMPARE(qulonglong(b.Perft(depth)), nodes);
    }

    // Counting leaves the board as it was and raises nothing.
    void leavesBoardAlone() {
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4 e7e5 g1f3"));
        QVERIFY(b.TakeBack());
        EventLog log;
        log.Attach(b);
        b.SetPromotionLetter('r');
        const QString fen = b.Fen();
        TChessModel fresh;
        QVERIFY(fresh.SetFen(fen));
        QCOMPARE(qulonglong(b.Perft(3)), qulonglong(fresh.Perft(3)));
        QVERIFY(log.lines.isEmpty());
        QCOMPARE(b.Fen(), fen);
        QCOMPARE(b.PromotionLetter(), 'r');
        QVERIFY(b.GotoMove(2, false)); // the line taken back is still there
        QCOMPARE(b.PieceAt(Square::F3), 'N');
        QVERIFY(PlayMoves(b, "b8c6"));
        QCOMPARE(log.lines.first(), QStringLiteral("LegalMove b8c6"));
    }
};

QTEST_GUILESS_MAIN(TstPerft)
#include "tst_perft.moc"
