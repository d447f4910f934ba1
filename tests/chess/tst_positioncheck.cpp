// Whether a game can be set up from a position: playable positions, each
// kind of refusal with its reason, malformed FEN texts, and a position written
// on a model by hand, which the check leaves as it is.
#include "ChessModel.h"
#include "PositionCheck.h"

#include <QTest>

class TstPositionCheck : public QObject {
    Q_OBJECT
private slots:
    void fen_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("reason"); // empty: playable
        auto row = [](const char* name, QString fen, QString reason) {
            QTest::newRow(name) << fen << reason;
        };
        const QString kings = "Cada bando debe tener exactamente un rey";
        const QString check = QStringLiteral("El bando que no mueve está en jaque");
        row("start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "");
        row("mover in check, no clocks", "4k3/8/8/8/8/8/4q3/4K3 w - -", "");
        row("16 pieces", "QQQQQQQ1/8/8/8/8/8/PPPPPPPP/K6k w - - 0 1", "");
        row("no White king", "4k3/8/8/8/8/8/8/8 w - - 0 1", kings);
        row("two Black kings", "k3k3/8/8/8/8/8/8/4K3 w - - 0 1", kings);
        row("17 pieces", "QQQQQQQQ/8/8/8/8/k7/PPPPPPPP/K7 w - - 0 1",
            QStringLiteral("Un bando tiene más de 16 piezas"));
        row("9 pawns", "4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1",
            QStringLiteral("Un bando tiene más de 8 peones"));
        row("waiting side in check", "4k3/8/8/8/8/8/4q3/4K3 b - - 0 1", check);
        row("pawn on rank 8", "P3k3/8/8/8/8/8/8/4K3 w - - 0 1",
            QStringLiteral("FEN no válido: a pawn stands on rank 8"));
        row("empty", "",
            QStringLiteral("FEN no válido: expected 4 to 6 fields separated by spaces, found 0"));
    }
    void fen() {
        QFETCH(QString, fen);
        QFETCH(QString, reason);
        QString why = "stale";
        QCOMPARE(IsPlayableFen(fen, &why), reason.isEmpty());
        QCOMPARE(why, reason);
    }

    // A position written by hand may hold a pawn on an edge rank, which a FEN cannot.
    void model() {
        TChessModel b;
        b.SetPosition(QString("P   k") + QString(58, u' ') + 'K');
        QString why;
        QVERIFY(!IsPlayablePosition(b, &why));
        QCOMPARE(why, QStringLiteral("Hay un peón en la primera o en la octava fila"));
    }
};

QTEST_GUILESS_MAIN(TstPositionCheck)
#include "tst_positioncheck.moc"
