// Whether a game can be set up from a position: playable positions, each
// kind of refusal with its reason, malformed FEN texts, and positions written
// on a model by hand, which the check leaves as they are.
#include "ChessTestUtil.h"
#include "PositionCheck.h"

#include <QTest>

class TstPositionCheck : public QObject {
    Q_OBJECT
private slots:
    void fen_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("reason"); // empty: playable
        const QString kings = QStringLiteral("Cada bando debe tener exactamente un rey");
        QTest::newRow("start") << "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
                               << "";
        QTest::newRow("bare kings, clocks left out") << "8/8/8/8/8/8/8/K6k b - -"
                                                     << "";
        QTest::newRow("the side to move in check") << "4k3/8/8/8/8/8/4q3/4K3 w - - 0 1"
                                                   << "";
        QTest::newRow("sixteen pieces, eight of them promoted")
            << "QQQQQQQ1/8/8/8/8/8/PPPPPPPP/K6k w - - 0 1"
            << "";
        QTest::newRow("no White king") << "4k3/8/8/8/8/8/8/8 w - - 0 1" << kings;
        QTest::newRow("two Black kings") << "k3k3/8/8/8/8/8/8/4K3 w - - 0 1" << kings;
        QTest::newRow("no kings at all") << "8/8/8/8/8/8/8/8 w - - 0 1" << kings;
        QTest::newRow("seventeen White pieces")
            << "QQQQQQQQ/8/8/8/8/k7/PPPPPPPP/K7 w - - 0 1"
            << QStringLiteral("Un bando tiene más de 16 piezas");
        QTest::newRow("nine Black pawns") << "4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1"
                                          << QStringLiteral("Un bando tiene más de 8 peones");
        QTest::newRow("the side not to move in check")
            << "4k3/8/8/8/8/8/4q3/4K3 b - - 0 1"
            << QStringLiteral("El bando que no mueve está en jaque");
        QTest::newRow("kings side by side")
            << "8/8/8/8/8/8/8/Kk6 w - - 0 1"
            << QStringLiteral("El bando que no mueve está en jaque");
        QTest::newRow("malformed: seven ranks")
            << "8/8/8/8/8/8/K6k w - - 0 1"
            << QStringLiteral("FEN no válido: the board needs 8 ranks separated by '/', found 7");
        QTest::newRow("malformed: pawn on rank 8")
            << "P3k3/8/8/8/8/8/8/4K3 w - - 0 1"
            << QStringLiteral("FEN no válido: a pawn stands on rank 8");
        QTest::newRow("malformed: empty") << ""
                                          << QStringLiteral("FEN no válido: expected 4 to 6 "
                                                            "fields separated by spaces, found 0");
    }
    void fen() {
        QFETCH(QString, fen);
        QFETCH(QString, reason);
        QString why = QStringLiteral("stale");
        QCOMPARE(IsPlayableFen(fen, &why), reason.isEmpty());
        QCOMPARE(why, reason);
        QCOMPARE(IsPlayableFen(fen), reason.isEmpty()); // no reason wanted
    }

    // A position written by hand can hold what a FEN cannot; the model is not touched.
    void model() {
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4 e7e5"));
        QString why;
        QVERIFY(IsPlayablePosition(b, &why));
        QVERIFY(why.isEmpty());
        b.SetPosition(QStringLiteral("P   k") + QString(58, u' ') + u'K');
        QVERIFY(!IsPlayablePosition(b, &why));
        QCOMPARE(why, QStringLiteral("Hay un peón en la primera o en la octava fila"));
        QCOMPARE(b.PieceAt(Square::A8), 'P');
        QVERIFY(b.TakeBack());
    }
};

QTEST_GUILESS_MAIN(TstPositionCheck)
#include "tst_positioncheck.moc"
