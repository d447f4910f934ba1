// The position and its history: the position text rules, the guarded
// properties, taking back and going to moves, and games of any length.
#include "ChessTestUtil.h"

#include <QSet>
#include <QTest>

#include <climits>

namespace {
const QString kInitial = QString::fromLatin1(TChessModel::InitialPosition);
QString Blanks(int n) {
    return QString(n, u' ');
}
} // namespace

class TstPosition : public QObject {
    Q_OBJECT
private slots:
    void initialState() {
        TChessModel b;
        QCOMPARE(b.Position(), kInitial);
        QVERIFY(b.WhiteToMove());
        QCOMPARE(b.CurrentMove(), 1);
        QCOMPARE(b.CastlingAllowed(), CastleSet(AllCastling));
        QCOMPARE(b.EnPassant(), Square::None);
        QCOMPARE(b.PromotionLetter(), 'q');
        QCOMPARE(b.PieceColor(Square::E1), 1);
        QCOMPARE(b.PieceColor(Square::E8), 0);
        QCOMPARE(b.PieceColor(Square::E4), -1);
        QCOMPARE(b.PieceColor(Square::None), -1);
        QCOMPARE(b.PieceColor(static_cast<Square>(200)), -1);
        QCOMPARE(b.PieceAt(static_cast<Square>(200)), ' ');
    }

    void positionText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("INIT") << "INIT" << kInitial;
        QTest::newRow("init") << "init" << kInitial;
        QTest::newRow("NewGame") << "NewGame" << kInitial;
        QTest::newRow("ten characters")
            << "rnbqkbnrpp" << QStringLiteral("rnbqkbnrpp") + Blanks(54);
        QTest::newRow("seventy characters") << kInitial + "KKKKKK" << kInitial;
        QTest::newRow("x at index 5") << "rnbqxbnr" << QStringLiteral("rnbq bnr") + Blanks(56);
        QTest::newRow("NUL at index 5") << QStringLiteral("rnbq") + QChar(0) + "bnrpppppppp"
                                        << QStringLiteral("rnbq") + Blanks(60);
        QTest::newRow("empty") << "" << Blanks(64);
        QTest::newRow("non-Latin letters")
            << QString::fromUtf8("\xd0\xa0K\xe2\x99\x94k") << QStringLiteral(" K k") + Blanks(60);
        QTest::newRow("huge") << QString(200000, u'Q') << QString(64, u'Q');
        QTest::newRow("init with blank") << "init " << QStringLiteral(" n") + Blanks(62);
    }
    void positionText() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4"));
        const CastleSet castling = b.CastlingAllowed();
        b.SetPosition(text);
        QCOMPARE(b.Position(), expected);
        // Only the squares change.
        QVERIFY(!b.WhiteToMove());
        QCOMPARE(b.CurrentMove(), 1);
        QCOMPARE(b.CastlingAllowed(), castling);
        QCOMPARE(b.EnPassant(), Square::E3);
        QVERIFY(b.TakeBack());
        QCOMPARE(b.Position(), kInitial);
    }

    void guardedProperties() {
        TChessModel b;
        b.SetEnPassant(Square::E4);
        b.SetEnPassant(Square::None);
        b.SetEnPassant(static_cast<Square>(99));
        QCOMPARE(b.EnPassant(), Square::None);
        b.SetEnPassant(Square::D6);
        QCOMPARE(b.EnPassant(), Square::D6);
        b.SetEnPassant(Square::E4);
        QCOMPARE(b.EnPassant(), Square::D6);
        b.SetEnPassant(Square::H3);
        QCOMPARE(b.EnPassant(), Square::H3);
        b.SetCastlingAllowed(0xff);
        QCOMPARE(b.CastlingAllowed(), CastleSet(AllCastling));
        b.SetPromotionLetter('K');
        b.SetPromotionLetter('\0');
        QCOMPARE(b.PromotionLetter(), 'q');
        b.SetPromotionLetter('N');
        QCOMPARE(b.PromotionLetter(), 'n');
    }

    // Every write that changes the position stops the engine first.
    void engineStoppedByWrites() {
        TChessModel b;
        auto stoppedBy = [&b](auto&& write) {
            b.Move(Square::E2, Square::E2); // refused, but Move clears the mark afterwards
            if (b.EngineStopMark()) return false;
            write();
            return b.EngineStopMark();
        };
        QVERIFY(stoppedBy([&] { b.SetPosition("init"); }));
        QVERIFY(stoppedBy([&] { b.SetWhiteToMove(true); }));
        QVERIFY(stoppedBy([&] { b.SetEnPassant(Square::E6); }));
        QVERIFY(!stoppedBy([&] { b.SetEnPassant(Square::E4); }));
        QVERIFY(stoppedBy([&] { b.ResetPosition(); }));
        QVERIFY(stoppedBy([&] { b.NewGame(); }));
        QVERIFY(stoppedBy([&] { b.GotoMove(9, true); }));
        QVERIFY(stoppedBy([&] { b.SetFen("8/8/8/8/8/8/8/K6k w - - 0 1"); }));
    }

    void takeBackAndGoto() {
        TChessModel b;
        QVERIFY(!b.TakeBack());
        QVERIFY(PlayMoves(b, "e2e4"));
        QVERIFY(b.TakeBack());
        QCOMPARE(b.Position(), kInitial);
        QVERIFY(b.WhiteToMove());
        QCOMPARE(b.CurrentMove(), 1);
        QCOMPARE(b.EnPassant(), Square::None);
        QCOMPARE(b.CastlingAllowed(), CastleSet(AllCastling));
        QVERIFY(!b.TakeBack());

        b.NewGame();
        QVERIFY(PlayMoves(b, "e2e4 e7e5"));
        const QString afterE5 = b.Position();
        QVERIFY(b.TakeBack());
        QVERIFY(b.TakeBack());
        QVERIFY(b.GotoMove(2, true));
        QCOMPARE(b.Position(), afterE5);
        QCOMPARE(b.EnPassant(), Square::E6);
        QCOMPARE(b.CurrentMove(), 2);
        QVERIFY(b.WhiteToMove());

        // Castling rights come back with the entry.
        b.SetFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 12");
        QVERIFY(PlayMoves(b, "e1g1 e8c8"));
        QCOMPARE(b.CastlingAllowed(), CastleSet(0));
        QVERIFY(b.GotoMove(12, true));
        QCOMPARE(b.CastlingAllowed(), CastleSet(AllCastling));
        QCOMPARE(b.PieceAt(Square::H1), 'R');
    }

    void gotoOutOfRange_data() {
        QTest::addColumn<int>("move");
        QTest::addColumn<bool>("white");
        QTest::newRow("past last move") << 3 << true;
        QTest::newRow("past last move, Black") << 3 << false;
        QTest::newRow("before first move") << 0 << false;
        QTest::newRow("before first side") << 1 << true; // the game starts with Black to move
        QTest::newRow("INT_MAX") << INT_MAX << true;
        QTest::newRow("INT_MIN") << INT_MIN << false;
        QTest::newRow("negative") << -5 << true;
    }
    void gotoOutOfRange() {
        QFETCH(int, move);
        QFETCH(bool, white);
        const auto b = BoardFromFen("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
        QVERIFY(PlayMoves(*b, "e8d8 e1d1"));
        QVERIFY(b->TakeBack());
        const QString fen = b->Fen();
        QVERIFY(!b->GotoMove(move, white));
        QCOMPARE(b->Fen(), fen);
        QVERIFY(b->GotoMove(2, false)); // the last recorded position is still there
        QVERIFY(b->GotoMove(1, false));
        QCOMPARE(b->PieceAt(Square::E8), 'k');
    }

    // A move after taking back starts a new line: the old continuation is gone.
    void moveAfterTakeBackOverwrites() {
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4 e7e5 g1f3"));
        QVERIFY(b.TakeBack());
        QVERIFY(b.TakeBack());
        QVERIFY(PlayMoves(b, "c7c5"));
        QVERIFY(!b.GotoMove(2, false));
        QVERIFY(b.GotoMove(2, true));
        QCOMPARE(b.PieceAt(Square::E5), ' ');
        QCOMPARE(b.PieceAt(Square::C5), 'p');
    }

    // Hundreds of move numbers: every position is kept and can be gone back to.
    void longGame() {
        const auto b = BoardFromFen("8/8/3k4/8/8/3K4/8/8 w - - 0 1");
        QSet<QString> seen{b->Fen().section(u' ', 0, 1)};
        QStringList positions{b->Position()};
        unsigned rng = 12345;
        while (b->CurrentMove() <= 300) {
            QList<QPair<Square, Square>> moves;
            for (int f = 1; f <= 64; ++f)
                for (int t = 1; t <= 64; ++t)
                    if (b->IsLegalMove(ToSquare(f), ToSquare(t)))
                        moves << qMakePair(ToSquare(f), ToSquare(t));
            bool played = false;
            while (!moves.isEmpty() && !played) {
                rng = rng * 1103515245u + 12345u;
                const auto m = moves.takeAt(int((rng >> 8) % moves.size()));
                QVERIFY(b->Move(m.first, m.second));
                const QString key = b->Fen().section(u' ', 0, 1);
                if (seen.contains(key)) {
                    QVERIFY(b->TakeBack());
                    continue;
                }
                seen.insert(key);
                positions << b->Position();
                played = true;
            }
            QVERIFY2(played, "walk got stuck");
        }
        QVERIFY(b->CurrentMove() > 256);
        const QString last = b->Fen();
        for (int i = positions.size() - 2; i >= 0; --i) {
            QVERIFY(b->TakeBack());
            QCOMPARE(b->Position(), positions[i]);
        }
        QVERIFY(!b->TakeBack());
        QVERIFY(b->GotoMove(301, true));
        QCOMPARE(b->Fen(), last);
        // Repetition is still seen that late: shuffle both kings until it is.
        QVERIFY(!b->IsThreefoldRepetition());
        auto kingMoves = [&b](char king) {
            QList<QPair<Square, Square>> moves;
            Square at = Square::None;
            for (int s = 1; s <= 64; ++s)
                if (b->PieceAt(ToSquare(s)) == king) at = ToSquare(s);
            for (int s = 1; s <= 64; ++s)
                if (Ord(at) && qAbs(FileOf(at) - FileOf(ToSquare(s))) <= 1 &&
                    qAbs(RankOf(at) - RankOf(ToSquare(s))) <= 1 && ToSquare(s) != at)
                    moves << qMakePair(at, ToSquare(s));
            return moves;
        };
        bool repeated = false;
        for (const auto& w : kingMoves('K')) {
            for (const auto& k : kingMoves('k')) {
                const QPair<Square, Square> cycle[4] = {
                    w, k, {w.second, w.first}, {k.second, k.first}};
                int played = 0;
                while (played < 8 && b->Move(cycle[played % 4].first, cycle[played % 4].second))
                    ++played;
                if ((repeated = b->IsThreefoldRepetition())) break;
                while (played-- > 0)
                    QVERIFY(b->TakeBack());
            }
            if (repeated) break;
        }
        QVERIFY(repeated);
        QVERIFY(!b->HasLegalMove());
        QVERIFY(b->CurrentMove() > 300);
    }
};

QTEST_GUILESS_MAIN(TstPosition)
#include "tst_position.moc"
