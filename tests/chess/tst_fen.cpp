// FEN in and out: round trips of the whole state, a fresh history at the
// position read, and malformed texts that change nothing.
#include "ChessTestUtil.h"

#include <QTest>

class TstFen : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<QString>("fen");
        QTest::newRow("start") << "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        QTest::newRow("en passant")
            << "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3";
        QTest::newRow("black en passant") << "4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 40";
        QTest::newRow("partial rights") << "r3k2r/8/8/8/8/8/8/R3K2R b Kq - 0 17";
        QTest::newRow("no king") << "8/8/8/8/8/8/8/R7 w - - 0 300";
    }
    void roundTrip() {
        QFETCH(QString, fen);
        TChessModel b;
        QVERIFY(b.SetFen(fen));
        QCOMPARE(b.Fen(), fen);
        TChessModel c;
        QVERIFY(c.SetFen(b.Fen()));
        QCOMPARE(c.Position(), b.Position());
        QCOMPARE(c.CurrentMove(), b.CurrentMove());
    }

    // The half-move clock counts the moves since the last capture or pawn
    // move, through take-backs, from the clock of the FEN it began at.
    void halfMoveClock_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("moves");
        QTest::addColumn<int>("takeBacks");
        QTest::addColumn<QString>("clocks");
        const QString initial = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        QTest::newRow("pieces after the last pawn move")
            << initial << "e2e4 b8c6 c2c4 e7e5 b1c3 g8f6 g1f3 f8c5" << 0 << "4 5";
        QTest::newRow("a capture sets it back")
            << initial << "e2e4 d7d5 e4d5 d8d5 b1c3 d5a5" << 0 << "2 4";
        QTest::newRow("castling counts") << "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 7 20"
                                         << "e1g1 e8c8" << 0 << "9 21";
        QTest::newRow("taken back") << initial << "g1f3 g8f6 f3g1 f6g8 e2e4" << 1 << "4 3";
        QTest::newRow("a promotion is a pawn move") << "8/4P2k/8/8/8/8/8/K7 w - - 12 60"
                                                    << "e7e8 h7h6" << 0 << "1 61";
    }
    void halfMoveClock() {
        QFETCH(QString, start);
        QFETCH(QString, moves);
        QFETCH(int, takeBacks);
        QFETCH(QString, clocks);
        TChessModel b;
        QVERIFY(b.SetFen(start));
        QVERIFY(PlayMoves(b, moves));
        for (int i = 0; i < takeBacks; ++i)
            QVERIFY(b.TakeBack());
        QCOMPARE(b.Fen().section(u' ', 4), clocks);
        TChessModel c; // and it reads back
        QVERIFY(c.SetFen(b.Fen()));
        QCOMPARE(c.Fen(), b.Fen());
    }

    void fieldsRead() {
        TChessModel b;
        QVERIFY(b.SetFen("  4k3/8/8/8/3pP3/8/8/4K3   b Kq e3 17 40 "));
        QVERIFY(!b.WhiteToMove());
        QCOMPARE(b.CastlingAllowed(), CastleSet(WhiteKingSide | BlackQueenSide));
        QCOMPARE(b.EnPassant(), Square::E3);
        QCOMPARE(b.CurrentMove(), 40);
        QCOMPARE(b.PieceAt(Square::D4), 'p');
        QVERIFY(b.SetFen("8/8/8/8/8/8/8/K6k w - -")); // clocks may be left out
        QCOMPARE(b.CurrentMove(), 1);
        QCOMPARE(b.Fen(), QStringLiteral("8/8/8/8/8/8/8/K6k w - - 0 1"));
    }

    // The position read is the start of the history: nothing before it, and
    // play goes on from its move number and side.
    void freshHistory() {
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4 e7e5 g1f3"));
        QVERIFY(b.SetFen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 30"));
        QVERIFY(!b.TakeBack());
        QVERIFY(!b.GotoMove(29, false));
        QVERIFY(!b.GotoMove(30, true));
        QVERIFY(PlayMoves(b, "e8g8 e1c1"));
        QCOMPARE(b.CurrentMove(), 31);
        QVERIFY(!b.WhiteToMove());
        QVERIFY(b.GotoMove(30, false));
        QCOMPARE(b.Fen(), QStringLiteral("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 30"));
        QVERIFY(!b.TakeBack());
        QVERIFY(b.GotoMove(31, false));
    }

    void malformed_data() {
        QTest::addColumn<QString>("fen");
        QTest::newRow("empty") << "";
        QTest::newRow("words") << "hello world, this is chess";
        QTest::newRow("placement only") << "8/8/8/8/8/8/8/K6k";
        QTest::newRow("seven ranks") << "8/8/8/8/8/8/K6k w - - 0 1";
        QTest::newRow("nine ranks") << "8/8/8/8/8/8/8/8/K6k w - - 0 1";
        QTest::newRow("nine squares") << "8/8/8/8/8/8/8/K7k w - - 0 1";
        QTest::newRow("seven squares") << "8/8/8/8/8/8/8/K5k w - - 0 1";
        QTest::newRow("digit 9") << "9/8/8/8/8/8/8/K6k w - - 0 1";
        QTest::newRow("digit 0") << "08/8/8/8/8/8/8/K6k w - - 0 1";
        QTest::newRow("bad letter") << "8/8/8/8/8/8/8/K5xk w - - 0 1";
        QTest::newRow("pawn on rank 8") << "P7/8/8/8/8/8/8/K6k w - - 0 1";
        QTest::newRow("pawn on rank 1") << "8/8/8/8/8/8/8/K5pk w - - 0 1";
        QTest::newRow("side W") << "8/8/8/8/8/8/8/K6k W - - 0 1";
        QTest::newRow("side x") << "8/8/8/8/8/8/8/K6k x - - 0 1";
        QTest::newRow("castling X") << "8/8/8/8/8/8/8/K6k w X - 0 1";
        QTest::newRow("castling KK") << "8/8/8/8/8/8/8/K6k w KK - 0 1";
        QTest::newRow("castling dash and K") << "8/8/8/8/8/8/8/K6k w -K - 0 1";
        QTest::newRow("ep rank 4") << "8/8/8/8/8/8/8/K6k w - e4 0 1";
        QTest::newRow("ep rank 3 for White") << "8/8/8/8/8/8/8/K6k w - e3 0 1";
        QTest::newRow("ep rank 6 for Black") << "8/8/8/8/8/8/8/K6k b - e6 0 1";
        QTest::newRow("ep off board") << "8/8/8/8/8/8/8/K6k w - i6 0 1";
        QTest::newRow("ep upper case") << "8/8/8/8/8/8/8/K6k w - E6 0 1";
        QTest::newRow("half-move negative") << "8/8/8/8/8/8/8/K6k w - - -1 1";
        QTest::newRow("half-move text") << "8/8/8/8/8/8/8/K6k w - - x 1";
        QTest::newRow("move 0") << "8/8/8/8/8/8/8/K6k w - - 0 0";
        QTest::newRow("move text") << "8/8/8/8/8/8/8/K6k w - - 0 one";
        QTest::newRow("move huge") << "8/8/8/8/8/8/8/K6k w - - 0 99999999999999";
        QTest::newRow("move too large") << "8/8/8/8/8/8/8/K6k w - - 0 2000000";
        QTest::newRow("seven fields") << "8/8/8/8/8/8/8/K6k w - - 0 1 1";
        QTest::newRow("NUL inside")
            << QStringLiteral("8/8/8/8/8/8/8/K6k w - - 0 1").replace(u'6', QChar(0));
        QTest::newRow("binary") << QString::fromLatin1("\xff\xfe/\x01\x02 w - - 0 1");
        QTest::newRow("huge") << QString(100000, u'8');
    }
    void malformed() {
        QFETCH(QString, fen);
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4 c7c5"));
        b.Move(Square::E2, Square::E2); // leaves the engine stop mark clear
        const QString before = b.Fen();
        QString error;
        QVERIFY(!b.SetFen(fen, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(b.Fen(), before);
        QVERIFY(!b.EngineStopMark());
        QVERIFY(!b.SetFen(fen)); // no error text wanted
        QVERIFY(b.TakeBack());   // the history is untouched too
        QCOMPARE(b.PieceAt(Square::C5), ' ');
    }
};

QTEST_GUILESS_MAIN(TstFen)
#include "tst_fen.moc"
