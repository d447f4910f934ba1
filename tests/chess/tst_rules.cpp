// The rules of a move: legality, the order of the events of one move, the
// special moves, the end-of-game tests and the repetition rule.
#include "ChessTestUtil.h"

#include <QTest>

#include <memory>

namespace {

using Board = std::unique_ptr<TChessModel>;
bool Legal(const TChessModel& b, const char* move) {
    const QString m = QString::fromLatin1(move);
    return b.IsLegalMove(TextToSquare(m.left(2)), TextToSquare(m.mid(2)));
}
int LegalMoveCount(const TChessModel& b) {
    int n = 0;
    for (int f = 0; f <= 65; ++f)
        for (int t = 0; t <= 65; ++t)
            n += b.IsLegalMove(static_cast<Square>(f), static_cast<Square>(t));
    return n;
}

// A view that writes down what the board asks of it.
class RecordingView : public TBoardViewHooks {
public:
    QStringList calls;
    bool animate = true;
    void RepaintSquare(Square s) override { calls << "Repaint " + SquareToText(s); }
    void EraseSquare(Square s) override { calls << "Erase " + SquareToText(s); }
    void RepaintAll() override { calls << "RepaintAll"; }
    void PaintGridLines() override { calls << "Grid"; }
    bool AnimateMovesEnabled() const override { return animate; }
    void AnimateMove(Square a, Square b) override { calls << "Animate " + MoveText(a, b); }
};

} // namespace

class TstRules : public QObject {
    Q_OBJECT
private slots:
    void legality_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("move");
        QTest::addColumn<bool>("legal");
        const QString start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        QTest::newRow("e2e4") << start << "e2e4" << true;
        QTest::newRow("g1f3") << start << "g1f3" << true;
        QTest::newRow("e2e5") << start << "e2e5" << false;
        QTest::newRow("wrong side") << start << "e7e5" << false;
        QTest::newRow("blocked bishop") << start << "f1c4" << false;
        QTest::newRow("occupied castling") << start << "e1g1" << false;
        QTest::newRow("own piece") << start << "d1d2" << false;
        QTest::newRow("same square") << start << "e2e2" << false;
        QTest::newRow("pawn capture of nothing") << start << "e2d3" << false;
        QTest::newRow("pawn double through piece") << "4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1"
                                                   << "e2e4" << false;
        QTest::newRow("pawn straight onto piece") << "4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1"
                                                  << "e2e3" << false;
        QTest::newRow("black pawn back") << "4k3/8/8/4p3/8/8/8/4K3 b - - 0 1"
                                         << "e5e6" << false;
        QTest::newRow("black double step") << "4k3/4p3/8/8/8/8/8/4K3 b - - 0 1"
                                           << "e7e5" << true;
        QTest::newRow("rook wraps no rank") << "4k3/8/8/8/8/8/8/R3K2R w - - 0 1"
                                            << "h1a2" << false;
        QTest::newRow("queen knight jump") << "4k3/8/8/8/8/8/8/3QK3 w - - 0 1"
                                           << "d1e3" << false;
        QTest::newRow("queen long diagonal") << "4k3/8/8/8/8/8/8/3QK3 w - - 0 1"
                                             << "d1h5" << true;
        QTest::newRow("pinned knight") << "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1"
                                       << "e2c3" << false;
        QTest::newRow("king into check") << "4k3/3r4/8/8/8/8/8/4K3 w - - 0 1"
                                         << "e1d1" << false;
        QTest::newRow("king next to king") << "8/8/8/3k4/8/3K4/8/8 w - - 0 1"
                                           << "d3d4" << false;
        QTest::newRow("check must be answered") << "4k3/4r3/8/8/8/8/P7/4K3 w - - 0 1"
                                                << "a2a3" << false;
        QTest::newRow("no black king") << "8/8/8/8/8/8/8/R3K3 w - - 0 1"
                                       << "a1a8" << true;
        QTest::newRow("king onto pawn-guarded square") << "4k3/8/8/8/8/3p4/8/4K3 w - - 0 1"
                                                       << "e1e2" << false;
        QTest::newRow("king out of pawn check") << "4k3/8/8/8/8/8/3p4/4K3 w - - 0 1"
                                                << "e1e2" << true;
    }
    void legality() {
        QFETCH(QString, fen);
        QFETCH(QString, move);
        QFETCH(bool, legal);
        Board b(new TChessModel);
        QVERIFY(b->SetFen(fen));
        QCOMPARE(Legal(*b, move.toLatin1()), legal);
    }

    // A refused move changes nothing and raises nothing, whatever the squares.
    void refusedMoves() {
        TChessModel b;
        EventLog log;
        log.Attach(b);
        const QString fen = b.Fen();
        const int bad[] = {0, 65, 100, 255};
        for (int s : bad) {
            QVERIFY(!b.Move(static_cast<Square>(s), Square::E4));
            QVERIFY(!b.Move(Square::E2, static_cast<Square>(s)));
            QVERIFY(!b.DoMove(static_cast<Square>(s), static_cast<Square>(s)));
        }
        QVERIFY(!b.Move(Square::E2, Square::E2));
        QVERIFY(!b.Move(Square::E2, Square::E5));
        QCOMPARE(b.Fen(), fen);
        QVERIFY(log.lines.isEmpty());
        QVERIFY(!b.TakeBack());
        QCOMPARE(LegalMoveCount(b), 20);
    }

    void captureEvents() {
        TChessModel b;
        EventLog log;
        QVERIFY(PlayMoves(b, "e2e4 d7d5"));
        log.Attach(b);
        QVERIFY(PlayMoves(b, "e4d5"));
        QCOMPARE(log.lines, QStringList({"LegalMove e4d5", "Capture e4d5 p", "Paint"}));
    }

    void enPassant() {
        Board b = BoardFromFen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1");
        EventLog log;
        QVERIFY(PlayMoves(*b, "d7d5"));
        QCOMPARE(b->EnPassant(), Square::D6);
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, "e5d6"));
        QCOMPARE(log.lines, QStringList({"LegalMove e5d6", "Capture e5d6 p", "Paint"}));
        QCOMPARE(b->PieceAt(Square::D5), ' ');
        QCOMPARE(b->PieceAt(Square::D6), 'P');
        QCOMPARE(b->EnPassant(), Square::None);

        // Only right after the double step.
        b = BoardFromFen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1");
        QVERIFY(PlayMoves(*b, "d7d5 e1e2 e8e7"));
        QVERIFY(!Legal(*b, "e5d6"));
        // A single step gives no en passant square.
        b = BoardFromFen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1");
        QVERIFY(PlayMoves(*b, "d7d6 e1e2 d6d5"));
        QCOMPARE(b->EnPassant(), Square::None);
        QVERIFY(!Legal(*b, "e5d6"));
    }

    // The pawn taken en passant leaves the board in the king test too.
    void enPassantKingTest() {
        // Taking would open the rank between the king and the rook.
        Board b = BoardFromFen("4k3/8/8/K2pP2r/8/8/8/8 w - d6 0 1");
        QVERIFY(!Legal(*b, "e5d6"));
        QVERIFY(b->KingAttackedAfter(1, Square::E5, Square::D6));
        // Taking the pawn that gives check answers the check.
        b = BoardFromFen("4k3/3p4/8/4P3/4K3/8/8/8 b - - 0 1");
        EventLog log;
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, "d7d5"));
        QCOMPARE(log.Take(), QStringList({"LegalMove d7d5", "Check d7d5", "Paint"}));
        QVERIFY(Legal(*b, "e5d6"));
        QVERIFY(PlayMoves(*b, "e5d6"));
        QCOMPARE(log.lines.mid(0, 2), QStringList({"LegalMove e5d6", "Capture e5d6 p"}));
        // An en passant square set by hand with no pawn behind it allows no capture.
        b = BoardFromFen("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
        b->SetEnPassant(Square::D6);
        QVERIFY(!Legal(*b, "e5d6"));
    }

    void promotion() {
        Board b = BoardFromFen("3r3k/4P3/8/8/8/8/4p3/K7 w - - 0 1");
        QVERIFY(PlayMoves(*b, "e7e8"));
        QCOMPARE(b->PieceAt(Square::E8), 'Q');
        b = BoardFromFen("3r3k/4P3/8/8/8/8/4p3/K7 w - - 0 1");
        EventLog log;
        log.Attach(*b);
        log.promoteTo = 'n';
        QVERIFY(PlayMoves(*b, "e7d8"));
        QCOMPARE(log.Take(),
                 QStringList({"LegalMove e7d8", "Capture e7d8 r", "Promotion e7d8 n", "Paint"}));
        QCOMPARE(log.offered, 'q');
        QCOMPARE(b->PieceAt(Square::D8), 'N');
        QCOMPARE(b->PromotionLetter(), 'n');
        // The other side is offered the letter chosen last; no handler keeps it.
        log.promoteTo = 0;
        QVERIFY(PlayMoves(*b, "e2e1"));
        QCOMPARE(log.offered, 'n');
        QCOMPARE(log.lines.at(1), QStringLiteral("Promotion e2e1 n"));
        QCOMPARE(b->PieceAt(Square::E1), 'n');
        // A letter that is no promotion piece is not placed.
        b = BoardFromFen("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
        b->PromotionChoice = [](Square, Square, char& piece) { piece = 'k'; };
        QVERIFY(PlayMoves(*b, "e7e8"));
        QCOMPARE(b->PieceAt(Square::E8), 'Q');
    }

    void castling() {
        const char* fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
        Board b = BoardFromFen(fen);
        EventLog log;
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, "e1g1"));
        QCOMPARE(log.Take(), QStringList({"LegalMove e1g1", "Castle e1g1", "Paint"}));
        QCOMPARE(b->PieceAt(Square::F1), 'R');
        QCOMPARE(b->PieceAt(Square::H1), ' ');
        QCOMPARE(b->CastlingAllowed(), CastleSet(BlackKingSide | BlackQueenSide));
        QVERIFY(PlayMoves(*b, "e8c8"));
        QCOMPARE(b->PieceAt(Square::D8), 'r');
        QCOMPARE(b->CastlingAllowed(), CastleSet(0));

        // Through check, out of check, and the b-file that does not matter.
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1"), "e1g1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/2b5/8/8/R3K2R w KQkq - 0 1"), "e1g1"));
        QVERIFY(Legal(*BoardFromFen("r3k2r/8/8/8/2b5/8/8/R3K2R w KQkq - 0 1"), "e1c1"));
        QVERIFY(Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), "e1f1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2r w KQkq - 0 1"), "e1g1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/4r3/R3K2R w KQkq - 0 1"), "e1g1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/4r3/R3K2R w KQkq - 0 1"), "e1c1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/6r1/R3K2R w KQkq - 0 1"), "e1g1"));
        QVERIFY(Legal(*BoardFromFen("r3k2r/8/8/8/8/8/1r6/R3K2R w KQkq - 0 1"), "e1c1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/2r5/R3K2R w KQkq - 0 1"), "e1c1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1"), "e1c1"));
        QVERIFY(Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"), "e8g8"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"), "e1g1"));
        QVERIFY(!Legal(*BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"), "e8e6"));
    }

    void castlingGivesCheckAndMate() {
        Board b = BoardFromFen("5k2/8/8/8/8/8/8/4K2R w K - 0 1");
        EventLog log;
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, "e1g1"));
        QCOMPARE(log.Take(), QStringList({"LegalMove e1g1", "Castle e1g1", "Check e1g1", "Paint"}));
        b = BoardFromFen("4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1");
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, "e1g1"));
        QCOMPARE(log.lines, QStringList({"LegalMove e1g1", "Castle e1g1", "Check e1g1", "Mate e1g1",
                                         "Paint"}));
        QVERIFY(b->GameOverMark());
    }

    void foolsMate() {
        TChessModel b;
        EventLog log;
        QVERIFY(PlayMoves(b, "f2f3 e7e5 g2g4"));
        log.Attach(b);
        QVERIFY(PlayMoves(b, "d8h4"));
        QCOMPARE(log.lines, QStringList({"LegalMove d8h4", "Check d8h4", "Mate d8h4", "Paint"}));
        QVERIFY(b.GameOverMark());
        QVERIFY(!b.HasLegalMove());
        QVERIFY(!b.DoMove(Square::E1, Square::F2));
        QVERIFY(!b.GameOverMark()); // cleared by every DoMove

        // The mark needs a handler.
        TChessModel c;
        QVERIFY(PlayMoves(c, "f2f3 e7e5 g2g4 d8h4"));
        QVERIFY(!c.GameOverMark());
    }

    void stalemate() {
        Board b = BoardFromFen("k7/8/8/1Q6/8/8/8/K7 w - - 0 1");
        EventLog log;
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, "b5b6"));
        QCOMPARE(log.lines, QStringList({"LegalMove b5b6", "StaleMate b5b6", "Draw", "Paint"}));
        QVERIFY(b->GameOverMark());
        // The draw is noted without its own handler, and the mark needs OnDraw.
        b = BoardFromFen("k7/8/8/1Q6/8/8/8/K7 w - - 0 1");
        log.Attach(*b);
        log.Take();
        QObject::disconnect(b.get(), &TChessModel::OnStaleMate, nullptr, nullptr);
        QVERIFY(PlayMoves(*b, "b5b6"));
        QCOMPARE(log.Take(), QStringList({"LegalMove b5b6", "Draw", "Paint"}));
        b = BoardFromFen("k7/8/8/1Q6/8/8/8/K7 w - - 0 1");
        QVERIFY(PlayMoves(*b, "b5b6"));
        QVERIFY(!b->GameOverMark());
    }

    void matingMaterial_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("move");
        QTest::addColumn<bool>("draw");
        QTest::newRow("K+2N v K") << "4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1"
                                  << "e1e2" << true;
        QTest::newRow("K+B+N v K") << "4k3/8/8/8/8/8/8/1N2KB2 w - - 0 1"
                                   << "e1e2" << false;
        QTest::newRow("K+B v K+B") << "4kb2/8/8/8/8/8/8/4KB2 w - - 0 1"
                                   << "e1e2" << true;
        QTest::newRow("K+P v K") << "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"
                                 << "e1d1" << false;
        QTest::newRow("capture of last pawn") << "4k3/8/8/8/8/8/3p4/4K3 w - - 0 1"
                                              << "e1d2" << true;
    }
    void matingMaterial() {
        QFETCH(QString, fen);
        QFETCH(QString, move);
        QFETCH(bool, draw);
        Board b(new TChessModel);
        QVERIFY(b->SetFen(fen));
        EventLog log;
        log.Attach(*b);
        QVERIFY(PlayMoves(*b, move));
        QCOMPARE(log.lines.contains("NoMatingMaterial"), draw);
        QCOMPARE(log.lines.contains("Draw"), draw);
        if (draw) QVERIFY(log.lines.indexOf("NoMatingMaterial") < log.lines.indexOf("Draw"));
    }

    void threefoldByKnights() {
        TChessModel b;
        EventLog log;
        log.Attach(b);
        QVERIFY(PlayMoves(b, "g1f3 g8f6 f3g1 f6g8"));
        QVERIFY(!b.IsThreefoldRepetition());
        QVERIFY(PlayMoves(b, "g1f3 g8f6 f3g1"));
        log.Take();
        QVERIFY(PlayMoves(b, "f6g8"));
        QCOMPARE(log.Take(), QStringList({"LegalMove f6g8", "ThreefoldPosition", "Draw", "Paint"}));
        QVERIFY(b.IsThreefoldRepetition());
        QCOMPARE(LegalMoveCount(b), 0);
        QVERIFY(!b.HasLegalMove());
        QVERIFY(!b.Move(Square::E2, Square::E4));
        QVERIFY(log.lines.isEmpty());
        // Taking back makes moves legal again.
        QVERIFY(b.TakeBack());
        QVERIFY(b.HasLegalMove());
        QVERIFY(LegalMoveCount(b) > 0);
    }

    // The same squares with the other side to move are another position.
    void repetitionNeedsSameSide() {
        Board b = BoardFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
        const char* cycle = "a1a2 e8d8 a2a3 d8e8 a3a1 e8d8 a1a2 d8e8 a2a3 e8d8 a3a1 d8e8";
        QVERIFY(PlayMoves(*b, cycle)); // these squares stood three times, once with Black to move
        QVERIFY(!b->IsThreefoldRepetition());
        QVERIFY(PlayMoves(*b, cycle));
        QVERIFY(b->IsThreefoldRepetition());
    }

    // Castling rights and a real en passant chance make positions differ; a
    // useless en passant square does not.
    void repetitionComparesRightsAndEnPassant() {
        TChessModel b;
        QVERIFY(PlayMoves(b, "e2e4 g8f6 g1f3 f6g8 f3g1 g8f6 g1f3 f6g8 f3g1"));
        QVERIFY(b.IsThreefoldRepetition()); // e3 could not be taken: it counts for nothing

        Board c = BoardFromFen("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1");
        QVERIFY(PlayMoves(*c, "e2e4 e8d8 e1d1 d8e8 d1e1 e8d8 e1d1 d8e8 d1e1"));
        QVERIFY(!c->IsThreefoldRepetition()); // the first time d4xe3 was possible
        QVERIFY(PlayMoves(*c, "e8d8"));
        QVERIFY(c->IsThreefoldRepetition());

        Board d = BoardFromFen("r3k3/8/8/8/8/8/8/4K3 b q - 0 1");
        QVERIFY(PlayMoves(*d, "e8d8 e1d1 d8e8 d1e1 e8d8 e1d1 d8e8 d1e1"));
        QVERIFY(!d->IsThreefoldRepetition()); // castling was still allowed the first time
    }

    // A move landing on a corner takes that corner's right, as if the rook had moved.
    void cornerCaptureTakesRight() {
        Board b = BoardFromFen("r3k3/7R/8/8/8/8/6b1/4K2R b Kq - 0 1");
        QVERIFY(PlayMoves(*b, "g2h1"));
        QCOMPARE(b->CastlingAllowed(), CastleSet(BlackQueenSide));
        QVERIFY(PlayMoves(*b, "h7h1 e8d8"));
        QCOMPARE(b->PieceAt(Square::H1), 'R');
        QVERIFY(!Legal(*b, "e1g1"));

        b = BoardFromFen("r3k3/8/8/8/8/8/8/Q3K3 w q - 0 1");
        QVERIFY(PlayMoves(*b, "a1a8"));
        QCOMPARE(b->CastlingAllowed(), CastleSet(0));
    }

    // The events of one move, in their fixed order, for every kind of move;
    // the position reached shows the move was made whole before they fire.
    void eventOrder_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("before"); // moves played before the events are watched
        QTest::addColumn<QString>("move");
        QTest::addColumn<char>("letter"); // the promotion letter chosen before the move
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("gameOver");
        const QString start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        const QString castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
        const QString blackCastles = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1";
        QTest::newRow("quiet") << start << ""
                               << "g1f3" << 'q' << QStringList{"LegalMove g1f3", "Paint"}
                               << "rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1"
                               << false;
        QTest::newRow("double step")
            << start << ""
            << "e2e4" << 'q' << QStringList{"LegalMove e2e4", "Paint"}
            << "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1" << false;
        QTest::newRow("capture") << "4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1"
                                 << ""
                                 << "e4d5" << 'q'
                                 << QStringList{"LegalMove e4d5", "Capture e4d5 p", "Paint"}
                                 << "4k3/8/8/3P4/8/8/8/4K3 b - - 0 1" << false;
        QTest::newRow("en passant, White")
            << "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"
            << ""
            << "e5d6" << 'q' << QStringList{"LegalMove e5d6", "Capture e5d6 p", "Paint"}
            << "4k3/8/3P4/8/8/8/8/4K3 b - - 0 1" << false;
        QTest::newRow("en passant, Black")
            << "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1"
            << ""
            << "e4d3" << 'q' << QStringList{"LegalMove e4d3", "Capture e4d3 P", "Paint"}
            << "4k3/8/8/8/8/3p4/8/4K3 w - - 0 2" << false;
        QTest::newRow("White castles short")
            << castles << ""
            << "e1g1" << 'q' << QStringList{"LegalMove e1g1", "Castle e1g1", "Paint"}
            << "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1" << false;
        QTest::newRow("White castles long")
            << castles << ""
            << "e1c1" << 'q' << QStringList{"LegalMove e1c1", "Castle e1c1", "Paint"}
            << "r3k2r/8/8/8/8/8/8/2KR3R b kq - 1 1" << false;
        QTest::newRow("Black castles short")
            << blackCastles << ""
            << "e8g8" << 'q' << QStringList{"LegalMove e8g8", "Castle e8g8", "Paint"}
            << "r4rk1/8/8/8/8/8/8/R3K2R w KQ - 1 2" << false;
        QTest::newRow("Black castles long")
            << blackCastles << ""
            << "e8c8" << 'q' << QStringList{"LegalMove e8c8", "Castle e8c8", "Paint"}
            << "2kr3r/8/8/8/8/8/8/R3K2R w KQ - 1 2" << false;
        QTest::newRow("castling gives mate")
            << "4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1"
            << ""
            << "e1g1" << 'q'
            << QStringList{"LegalMove e1g1", "Castle e1g1", "Check e1g1", "Mate e1g1", "Paint"}
            << "4rkr1/4p1p1/8/8/8/8/8/5RK1 b - - 1 1" << true;
        QTest::newRow("promotion to a knight")
            << "7k/4P3/8/8/8/8/P7/K7 w - - 0 1"
            << ""
            << "e7e8" << 'n' << QStringList{"LegalMove e7e8", "Promotion e7e8 n", "Paint"}
            << "4N2k/8/8/8/8/8/P7/K7 b - - 0 1" << false;
        QTest::newRow("promotion to a queen, check")
            << "7k/4P3/8/8/8/8/8/K7 w - - 0 1"
            << ""
            << "e7e8" << 'q'
            << QStringList{"LegalMove e7e8", "Promotion e7e8 q", "Check e7e8", "Paint"}
            << "4Q2k/8/8/8/8/8/8/K7 b - - 0 1" << false;
        QTest::newRow("promotion with capture")
            << "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1"
            << ""
            << "e7d8" << 'r'
            << QStringList{"LegalMove e7d8", "Capture e7d8 r", "Promotion e7d8 r", "Check e7d8",
                           "Paint"}
            << "3R3k/8/8/8/8/8/8/K7 b - - 0 1" << false;
        QTest::newRow("Black promotes")
            << "k7/7p/8/8/8/8/4p3/7K b - - 0 1"
            << ""
            << "e2e1" << 'b' << QStringList{"LegalMove e2e1", "Promotion e2e1 b", "Paint"}
            << "k7/7p/8/8/8/8/8/4b2K w - - 0 2" << false;
        QTest::newRow("check") << "4k3/8/8/8/8/8/8/R3K3 w - - 0 1"
                               << ""
                               << "a1a8" << 'q'
                               << QStringList{"LegalMove a1a8", "Check a1a8", "Paint"}
                               << "R3k3/8/8/8/8/8/8/4K3 b - - 1 1" << false;
        QTest::newRow("mate") << start << "f2f3 e7e5 g2g4"
                              << "d8h4" << 'q'
                              << QStringList{"LegalMove d8h4", "Check d8h4", "Mate d8h4", "Paint"}
                              << "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"
                              << true;
        QTest::newRow("stalemate")
            << "k7/8/8/1Q6/8/8/8/K7 w - - 0 1"
            << ""
            << "b5b6" << 'q' << QStringList{"LegalMove b5b6", "StaleMate b5b6", "Draw", "Paint"}
            << "k7/8/1Q6/8/8/8/8/K7 b - - 1 1" << true;
        QTest::newRow("no mating material")
            << "4k3/8/8/8/8/8/3p4/4K3 w - - 0 1"
            << ""
            << "e1d2" << 'q'
            << QStringList{"LegalMove e1d2", "Capture e1d2 p", "NoMatingMaterial", "Draw", "Paint"}
            << "4k3/8/8/8/8/8/3K4/8 b - - 0 1" << true;
        QTest::newRow("threefold")
            << start << "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1"
            << "f6g8" << 'q' << QStringList{"LegalMove f6g8", "ThreefoldPosition", "Draw", "Paint"}
            << "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 8 5" << true;
        QTest::newRow("refused") << start << ""
                                 << "e2e5" << 'q' << QStringList{} << start << false;
    }
    void eventOrder() {
        QFETCH(QString, fen);
        QFETCH(QString, before);
        QFETCH(QString, move);
        QFETCH(char, letter);
        QFETCH(QStringList, events);
        QFETCH(QString, after);
        QFETCH(bool, gameOver);
        Board b(new TChessModel);
        QVERIFY(b->SetFen(fen));
        QVERIFY(PlayMoves(*b, before));
        EventLog log;
        log.Attach(*b);
        b->SetPromotionLetter(letter);
        QCOMPARE(PlayMoves(*b, move), !events.isEmpty());
        QCOMPARE(log.lines, events);
        QCOMPARE(b->Fen(), after);
        QCOMPARE(b->GameOverMark(), gameOver);
    }

    void viewHooks() {
        TChessModel b;
        RecordingView view;
        b.SetViewHooks(&view);
        QVERIFY(PlayMoves(b, "e2e4"));
        // The animation comes once the piece stands on its new square.
        QCOMPARE(view.calls, QStringList({"Erase e2", "Repaint e4", "Grid", "Animate e2e4"}));
        view.calls.clear();
        b.SetDragSource(Square::E7);
        b.SetDropTarget(Square::E5);
        QVERIFY(PlayMoves(b, "e7e5"));
        QCOMPARE(view.calls, QStringList({"Erase e7", "Repaint e5", "Grid"}));
        view.calls.clear();
        view.animate = false;
        b.SetPosition(QStringLiteral("r   k  rpppppppp") + QString(32, u' ') +
                      QStringLiteral("PPPPPPPPR   K  R"));
        QVERIFY(PlayMoves(b, "e1g1"));
        QCOMPARE(view.calls, QStringList({"RepaintAll", "Erase e1", "Repaint g1", "Grid",
                                          "Repaint h1", "Repaint f1", "Grid"}));
        view.calls.clear();
        QVERIFY(b.TakeBack());
        QCOMPARE(view.calls,
                 QStringList({"Repaint e1", "Repaint f1", "Repaint g1", "Repaint h1", "Grid"}));
    }
};

QTEST_GUILESS_MAIN(TstRules)
#include "tst_rules.moc"
