// The engine without its thread: move generation against known perft counts,
// the evaluation terms, mate finding, and odd positions that must neither
// crash nor read outside the engine's tables.
#include "EngineLevel.h"
#include "EngineSearch.h"

#include <QTest>

#include <functional>
#include <iterator>
#include <memory>

namespace {

// Engine square from a name such as "e4".
int Sq(const char* name) {
    return (name[0] - 'a') + 8 * ('8' - name[1]);
}

// 64 board characters from a list of "Xe4" entries.
QByteArray Board(std::initializer_list<const char*> pieces) {
    QByteArray b(64, ' ');
    for (const char* p : pieces)
        b[Sq(p + 1)] = p[0];
    return b;
}

std::unique_ptr<TEngineSearch> Engine() {
    return std::make_unique<TEngineSearch>();
}

int LegalMoveCount(TEngineSearch& e) {
    e.Generate();
    int n = 0;
    std::vector<TEngineMove> moves;
    for (auto* m = e.MovesBegin(); m != e.MovesEnd(); ++m)
        moves.push_back(m->m);
    for (const TEngineMove& m : moves) {
        if (!e.MakeMove(m)) continue;
        ++n;
        e.TakeBackMove();
    }
    return n;
}

QByteArray Snapshot(const TEngineSearch& e) {
    QByteArray s;
    for (int sq = 0; sq < 64; ++sq) {
        s += char('0' + e.ColourAt(sq));
        s += char('0' + e.PieceAt(sq));
    }
    s += char('0' + e.Side());
    s += char('0' + e.Castle());
    s += QByteArray::number(e.EpSquare());
    return s;
}

} // namespace

class TestEngineSearch : public QObject {
    Q_OBJECT
private slots:
    void perft_data();
    void perft();
    void malformedFenIsRefused();
    void castlingNeedsKingAndRookAtHome();
    void enPassantOnlyBehindAPawn();
    void moveListOrderAndScores();

    void evaluateInitialPositionIsZero();
    void kingShieldInTheMiddleGame();
    void endGameSwitchAt1400();
    void passedIsolatedPawn();
    void rookFiles();
    void evaluationFollowsTheMoves_data();
    void evaluationFollowsTheMoves();

    void mateInOne_data();
    void mateInOne();
    void mateScoreCountsThePlies();
    void noMoveWhenMatedOrStalemated();
    void aMoveBeyondTheRootWindow_data();
    void aMoveBeyondTheRootWindow();
    void abortStopsTheSearch();
    void goWithinLimits_data();
    void goWithinLimits();
    void goStoppedAtOnceStillPlays();
    void levelsClimb();
    void searchLeavesTheBoardAsLoaded();
    void oddPositionsStayInsideTheTables_data();
    void oddPositionsStayInsideTheTables();
};

void TestEngineSearch::perft_data() {
    QTest::addColumn<QByteArray>("fen");
    QTest::addColumn<int>("depth");
    QTest::addColumn<qulonglong>("nodes");
    const QByteArray start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    const QByteArray kiwipete =
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    QTest::newRow("start 1") << start << 1 << 20ull;
    QTest::newRow("start 3") << start << 3 << 8902ull;
    QTest::newRow("start 4") << start << 4 << 197281ull;
    QTest::newRow("kiwipete 1") << kiwipete << 1 << 48ull;
    QTest::newRow("kiwipete 3") << kiwipete << 3 << 97862ull;
    QTest::newRow("rook and pawns 5")
        << QByteArray("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1") << 5 << 674624ull;
    QTest::newRow("promotions 3")
        << QByteArray("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1") << 3
        << 9467ull;
    QTest::newRow("promotions mirrored 3")
        << QByteArray("r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1") << 3
        << 9467ull;
    QTest::newRow("discovered checks 3")
        << QByteArray("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8") << 3 << 62379ull;
    QTest::newRow("middlegame 3")
        << QByteArray("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10")
        << 3 << 89890ull;
    QTest::newRow("en passant pin 1")
        << QByteArray("8/8/8/KPp4r/8/8/8/4k3 w - c6 0 2") << 1 << 4ull;
    QTest::newRow("en passant allowed 1")
        << QByteArray("8/8/8/1Pp5/8/8/8/K3k3 w - c6 0 2") << 1 << 5ull;
}

void TestEngineSearch::perft() {
    QFETCH(QByteArray, fen);
    QFETCH(int, depth);
    QFETCH(qulonglong, nodes);
    auto e = Engine();
    QVERIFY(e->LoadFen(fen.constData()));
    const QByteArray before = Snapshot(*e);
    QCOMPARE(static_cast<qulonglong>(e->Perft(depth)), nodes);
    QCOMPARE(Snapshot(*e), before);
}

void TestEngineSearch::malformedFenIsRefused() {
    auto e = Engine();
    const QByteArray before = Snapshot(*e);
    for (const char* bad : {"", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w",
                            "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w",
                            "xnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x", "8/8/8/8/8/8/8/8 w KX",
                            "pppppppppppppppp/8/8/8/8/8/PPPPPPPP/RNBQKBNR w", "8/8/8/8/8/8/8/8/8 w",
                            "8/8/8/8/8/8/8/8 w - e9"}) {
        QVERIFY2(!e->LoadFen(bad), bad);
        QCOMPARE(Snapshot(*e), before);
    }
}

void TestEngineSearch::castlingNeedsKingAndRookAtHome() {
    auto e = Engine();
    // Every right claimed, but only the White king-side rook and both kings are home.
    e->Load(Board({"Ke1", "Rh1", "ke8", "ra7"}).constData(), true, 15, -1);
    QCOMPARE(e->Castle(), 1);
    e->Generate();
    int castles = 0;
    for (auto* m = e->MovesBegin(); m != e->MovesEnd(); ++m)
        if (m->m.bits & TEngineSearch::FlagCastle) ++castles;
    QCOMPARE(castles, 1);
    // A king moved off e1 loses both rights.
    e->Load(Board({"Kf1", "Rh1", "Ra1", "ke8"}).constData(), true, 15, -1);
    QCOMPARE(e->Castle(), 0);
}

void TestEngineSearch::enPassantOnlyBehindAPawn() {
    auto e = Engine();
    const QByteArray withPawn = Board({"Ke1", "ke8", "Pe5", "pd5"});
    e->Load(withPawn.constData(), true, 0, Sq("d6"));
    QCOMPARE(e->EpSquare(), Sq("d6"));
    QCOMPARE(LegalMoveCount(*e), 5 + 2); // king moves, e6 and exd6
    // Nothing on d5 to take: the square is ignored, no pawn appears from nowhere.
    const QByteArray without = Board({"Ke1", "ke8", "Pe5"});
    e->Load(without.constData(), true, 0, Sq("d6"));
    QCOMPARE(e->EpSquare(), -1);
    // Wrong rank for the side to move.
    e->Load(withPawn.constData(), true, 0, Sq("d3"));
    QCOMPARE(e->EpSquare(), -1);
}

// The order of the move list and its ordering scores decide which of two
// equal moves the search keeps: square by square from a8 to h1, each pawn's
// captures before its steps, promotions as knight, bishop, rook, queen; then
// castling, then en passant. Promotions score 1,000,000 + 10 x piece,
// captures 1,000,000 + 10 x victim - attacker (an en passant victim counts
// as 6), quiet moves their history credit (none before a search).
void TestEngineSearch::moveListOrderAndScores() {
    auto e = Engine();
    QVERIFY(e->LoadFen("2n5/1P6/8/k2pP3/7b/8/8/4K2R w K d6 0 1"));
    struct Expected {
        const char* from;
        const char* to;
        int promote;
        int bits;
        int score;
    };
    const Expected all[] = {
        {"b7", "c8", 1, 49, 1000010}, {"b7", "c8", 2, 49, 1000020}, {"b7", "c8", 3, 49, 1000030},
        {"b7", "c8", 4, 49, 1000040}, {"b7", "b8", 1, 48, 1000010}, {"b7", "b8", 2, 48, 1000020},
        {"b7", "b8", 3, 48, 1000030}, {"b7", "b8", 4, 48, 1000040}, {"e5", "e6", 0, 16, 0},
        {"e1", "d2", 0, 0, 0},        {"e1", "e2", 0, 0, 0},        {"e1", "f2", 0, 0, 0},
        {"e1", "d1", 0, 0, 0},        {"e1", "f1", 0, 0, 0},        {"h1", "h2", 0, 0, 0},
        {"h1", "h3", 0, 0, 0},        {"h1", "h4", 0, 1, 1000017},  {"h1", "g1", 0, 0, 0},
        {"h1", "f1", 0, 0, 0},        {"e1", "g1", 0, 2, 0},        {"e5", "d6", 0, 21, 1000060},
    };
    const Expected captures[] = {
        {"b7", "c8", 1, 49, 1000010}, {"b7", "c8", 2, 49, 1000020}, {"b7", "c8", 3, 49, 1000030},
        {"b7", "c8", 4, 49, 1000040}, {"b7", "b8", 1, 48, 1000010}, {"b7", "b8", 2, 48, 1000020},
        {"b7", "b8", 3, 48, 1000030}, {"b7", "b8", 4, 48, 1000040}, {"h1", "h4", 0, 1, 1000017},
        {"e5", "d6", 0, 21, 1000060},
    };
    // The list starts with want[0 .. count); with whole set it holds nothing more.
    auto check = [&](const Expected* want, int count, bool whole) {
        if (whole) QCOMPARE(int(e->MovesEnd() - e->MovesBegin()), count);
        QVERIFY(e->MovesEnd() - e->MovesBegin() >= count);
        for (int i = 0; i < count; ++i) {
            const TEngineMoveEntry& got = e->MovesBegin()[i];
            const QString where = QStringLiteral("entry %1").arg(i);
            QVERIFY2(got.m.from == Sq(want[i].from) && got.m.to == Sq(want[i].to),
                     qPrintable(where));
            QVERIFY2(got.m.promote == want[i].promote, qPrintable(where));
            QVERIFY2(got.m.bits == want[i].bits, qPrintable(where));
            QVERIFY2(got.score == want[i].score, qPrintable(where));
        }
    };
    e->Generate();
    check(all, int(std::size(all)), true);
    if (QTest::currentTestFailed()) return;
    e->GenerateCaptures();
    check(captures, int(std::size(captures)), true);
    if (QTest::currentTestFailed()) return;

    // Black's side of it: a pawn's capture on s + 7 before s + 9 before its
    // step, king-side castling before queen-side, after every square.
    QVERIFY(e->LoadFen("r3k2r/8/8/8/8/8/1p6/R1N1K3 b kq - 0 1"));
    const Expected black[] = {
        {"a8", "b8", 0, 0, 0},           {"a8", "c8", 0, 0, 0}, {"a8", "d8", 0, 0, 0},
        {"a8", "a7", 0, 0, 0},           {"a8", "a6", 0, 0, 0}, {"a8", "a5", 0, 0, 0},
        {"a8", "a4", 0, 0, 0},           {"a8", "a3", 0, 0, 0}, {"a8", "a2", 0, 0, 0},
        {"a8", "a1", 0, 1, 1000030 - 3},
    };
    e->Generate();
    check(black, int(std::size(black)), false);
    if (QTest::currentTestFailed()) return;
    const TEngineMoveEntry* end = e->MovesEnd();
    QCOMPARE(int(end[-2].m.from), Sq("e8"));
    QCOMPARE(int(end[-2].m.to), Sq("g8"));
    QCOMPARE(int(end[-1].m.from), Sq("e8"));
    QCOMPARE(int(end[-1].m.to), Sq("c8"));
    int pawnFirst = -1;
    for (const TEngineMoveEntry* m = e->MovesBegin(); m != end; ++m)
        if (m->m.from == Sq("b2")) {
            pawnFirst = int(m - e->MovesBegin());
            break;
        }
    QVERIFY(pawnFirst > 0);
    const TEngineMoveEntry* pawn = e->MovesBegin() + pawnFirst;
    QCOMPARE(int(pawn[0].m.to), Sq("a1"));
    QCOMPARE(int(pawn[4].m.to), Sq("c1"));
    QCOMPARE(int(pawn[8].m.to), Sq("b1"));
    QCOMPARE(int(pawn[11].m.promote), TEngineSearch::Queen);
}

void TestEngineSearch::evaluateInitialPositionIsZero() {
    auto e = Engine();
    const char* start = "rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR";
    for (bool white : {true, false}) {
        e->Load(start, white, 15, -1);
        e->InitEvaluation();
        QCOMPARE(e->Evaluate(), 0);
    }
}

void TestEngineSearch::kingShieldInTheMiddleGame() {
    auto e = Engine();
    // Black keeps a queen, a rook and a knight: 1700 in pieces.
    e->Load(Board({"Kg1", "Pg2", "Pa2", "ke8", "qd8", "ra8", "nb8"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::Pawn, Sq("g2")), 120);
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::Pawn, Sq("g3")), 100 + 2 + 10);
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::Pawn, Sq("a2")), 100);
    e->Load(Board({"Kb1", "Pg2", "Pa2", "ke8", "qd8", "ra8", "nb8"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::Pawn, Sq("a2")), 120);
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::Pawn, Sq("g2")), 100);
    e->Load(Board({"Ke1", "Pg2", "ke8", "qd8", "ra8", "nb8"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::Pawn, Sq("g2")), 100);
    // Black's shield is the mirror image: king g8, pawn g7.
    e->Load(Board({"kg8", "pg7", "Ke1", "Qd1", "Ra1", "Nb1"}).constData(), false, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->PieceSquareValue(1, TEngineSearch::Pawn, Sq("g7")), 120);
}

void TestEngineSearch::endGameSwitchAt1400() {
    auto e = Engine();
    // Black down to a queen and a rook (1400): White's king uses the end-game table.
    e->Load(Board({"Ke1", "ke8", "qd8", "ra8"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::King, Sq("d4")), 10);
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::King, Sq("g1")), -5);
    // Black's king faces no White pieces: end game too.
    QCOMPARE(e->PieceSquareValue(1, TEngineSearch::King, Sq("d5")), 10);
    // A knight more: middle game.
    e->Load(Board({"Ke1", "ke8", "qd8", "ra8", "nb8"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::King, Sq("d4")), -40);
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::King, Sq("g1")), 10);
    QCOMPARE(e->PieceSquareValue(0, TEngineSearch::King, Sq("d1")), -20);
}

void TestEngineSearch::passedIsolatedPawn() {
    auto e = Engine();
    // 112 on e5, twice that as a passed pawn, -20 isolated, -10 on an open file.
    e->Load(Board({"Pe5"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->Evaluate(), 306);
    e->Load(Board({"Pe5"}).constData(), false, 0, -1);
    QCOMPARE(e->Evaluate(), -306);
    // A Black pawn on the d-file stops it being passed; the Black pawn is a
    // passed, isolated d-pawn itself: 100 + 12 (d4 mirrored) ... both sides add up.
    e->Load(Board({"Pe5", "pd7"}).constData(), true, 0, -1);
    e->InitEvaluation();
    const int white = 112 - 20 - 10;
    const int black = 100 - 20 - 20 - 10; // d7 seen from Black is d2: -20
    QCOMPARE(e->Evaluate(), white - black);
    // Doubled pawns each pay 5.
    e->Load(Board({"Pe4", "Pe3", "pa7"}).constData(), true, 0, -1);
    e->InitEvaluation();
    const int e4 = 108 - 5 - 20 - 10 + 2 * 108;
    const int e3 = 104 - 5 - 20 - 10 + 2 * 104;
    const int a7 = 100 - 20 - 10 + 2 * 100;
    QCOMPARE(e->Evaluate(), e4 + e3 - a7);
}

void TestEngineSearch::rookFiles() {
    auto e = Engine();
    e->Load(Board({"Rd1"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->Evaluate(), 515);
    e->Load(Board({"pd7"}).constData(), true, 0, -1);
    e->InitEvaluation();
    const int pawnOnly = e->Evaluate();
    e->Load(Board({"pd7", "Rd1"}).constData(), true, 0, -1);
    e->InitEvaluation();
    QCOMPARE(e->Evaluate() - pawnOnly, 510);
    e->Load(Board({"Pd2"}).constData(), true, 0, -1);
    const int ownPawn = e->Evaluate();
    e->Load(Board({"Pd2", "Rd1"}).constData(), true, 0, -1);
    QCOMPARE(e->Evaluate() - ownPawn, 500);
}

void TestEngineSearch::evaluationFollowsTheMoves_data() {
    QTest::addColumn<QByteArray>("fen");
    QTest::newRow("castling and en passant")
        << QByteArray("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    QTest::newRow("promotions") << QByteArray(
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1");
}

// The running terms kept by MakeMove and TakeBackMove give the same score as
// counting the board afresh, at every node of a small tree.
void TestEngineSearch::evaluationFollowsTheMoves() {
    QFETCH(QByteArray, fen);
    auto e = Engine();
    auto fresh = Engine();
    QVERIFY(e->LoadFen(fen.constData()));
    QVERIFY(fresh->LoadFen(fen.constData()));
    e->InitEvaluation();
    fresh->InitEvaluation(); // the same tables; later Loads keep them
    auto boardText = [](const TEngineSearch& x) {
        QByteArray b(64, ' ');
        for (int sq = 0; sq < 64; ++sq)
            if (x.ColourAt(sq) != TEngineSearch::Empty) {
                const char c = "pnbrqk"[x.PieceAt(sq)];
                b[sq] = x.ColourAt(sq) == TEngineSearch::White ? char(c - 32) : c;
            }
        return b;
    };
    int nodes = 0, mismatches = 0;
    std::function<void(int)> walk = [&](int depth) {
        fresh->Load(boardText(*e).constData(), e->Side() == TEngineSearch::White, 0, -1);
        ++nodes;
        if (e->Evaluate() != fresh->Evaluate()) ++mismatches;
        if (depth == 0) return;
        e->Generate();
        std::vector<TEngineMove> moves;
        for (auto* m = e->MovesBegin(); m != e->MovesEnd(); ++m)
            moves.push_back(m->m);
        for (const TEngineMove& m : moves) {
            if (!e->MakeMove(m)) continue;
            walk(depth - 1);
            e->TakeBackMove();
        }
    };
    walk(3);
    QVERIFY(nodes > 1000);
    QCOMPARE(mismatches, 0);
}

void TestEngineSearch::mateInOne_data() {
    QTest::addColumn<QByteArray>("fen");
    QTest::newRow("back rank") << QByteArray("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    QTest::newRow("back rank, Black") << QByteArray("r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1");
    QTest::newRow("queen and king") << QByteArray("k7/8/1K6/8/8/8/8/7Q w - - 0 1");
    QTest::newRow("smothered") << QByteArray("6rk/6pp/8/6N1/8/8/8/6K1 w - - 0 1");
    QTest::newRow("promotion") << QByteArray("k7/2P5/1K6/8/8/8/8/8 w - - 0 1");
    QTest::newRow("middlegame") << QByteArray(
        "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4");
}

void TestEngineSearch::mateInOne() {
    QFETCH(QByteArray, fen);
    auto e = Engine();
    for (int depth = 1; depth <= 4; ++depth) {
        QVERIFY(e->LoadFen(fen.constData()));
        TEngineMove best;
        int score = 0;
        QVERIFY(e->Think(depth, &best, &score));
        QCOMPARE(score, TEngineSearch::Infinity - 1);
        QVERIFY(e->MakeMove(best));
        QVERIFY2(e->InCheck(e->Side()), qPrintable(QString("depth %1").arg(depth)));
        QCOMPARE(LegalMoveCount(*e), 0);
    }
}

// A mate found deeper in the tree scores 10000 less the plies to it: Black's
// only move, a3-a2, is answered by mate at ply 2, so Black's root score is
// -(10000 - 2) at every depth that reaches it, with the mate in the line.
void TestEngineSearch::mateScoreCountsThePlies() {
    auto e = Engine();
    for (int depth = 2; depth <= 5; ++depth) {
        const QString where = QStringLiteral("depth %1").arg(depth);
        QVERIFY(e->LoadFen("7k/5Q2/6K1/8/8/p7/8/8 b - - 0 1"));
        TEngineMove best;
        int score = 0;
        QVERIFY2(e->Think(depth, &best, &score), qPrintable(where));
        QVERIFY2(score == -(TEngineSearch::Infinity - 2), qPrintable(where));
        QVERIFY2(best.from == Sq("a3") && best.to == Sq("a2"), qPrintable(where));
        QVERIFY2(e->PvLength() == 2, qPrintable(where));
        QVERIFY(e->MakeMove(e->PvMove(0)));
        QVERIFY(e->MakeMove(e->PvMove(1)));
        QVERIFY2(e->InCheck(e->Side()) && LegalMoveCount(*e) == 0, qPrintable(where));
    }
}

void TestEngineSearch::noMoveWhenMatedOrStalemated() {
    auto e = Engine();
    QVERIFY(e->LoadFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1")); // mated
    QVERIFY(!e->Think(3));
    QCOMPARE(e->PvLength(), 0);
    QVERIFY(e->LoadFen("k7/2Q5/1K6/8/8/8/8/8 b - - 0 1")); // stalemated
    QVERIFY(!e->Think(3));
    // A stale best move of an earlier search is not offered again.
    QVERIFY(e->LoadFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
    QVERIFY(e->Think(2));
    QVERIFY(e->LoadFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"));
    TEngineMove best{};
    QVERIFY(!e->Think(2, &best));
}

// Positions evaluated beyond the root window of +-10000 (nine queens): the
// side to move, winning or losing, still gets a move, and a winning side
// still finds its mate.
void TestEngineSearch::aMoveBeyondTheRootWindow_data() {
    QTest::addColumn<QByteArray>("fen");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("mates"); // the move found must mate
    // Nine queens, two rooks, bishops and knights against a lone king.
    const QByteArray queens = "k7/8/8/8/8/1QQQ2QQ/1QQQQ3/1RRBBNNK";
    QTest::newRow("losing side, depth 1") << queens + " b - - 0 1" << 1 << false;
    QTest::newRow("losing side, depth 3") << queens + " b - - 0 1" << 3 << false;
    QTest::newRow("winning side mates, depth 1") << queens + " w - - 0 1" << 1 << true;
    QTest::newRow("winning side mates, depth 3") << queens + " w - - 0 1" << 3 << true;
}

void TestEngineSearch::aMoveBeyondTheRootWindow() {
    QFETCH(QByteArray, fen);
    QFETCH(int, depth);
    QFETCH(bool, mates);
    auto e = Engine();
    QVERIFY(e->LoadFen(fen.constData()));
    TEngineMove best{};
    QVERIFY(e->Think(depth, &best));
    QVERIFY(e->MakeMove(best)); // a legal move
    if (mates) {
        QVERIFY(e->InCheck(e->Side()));
        QCOMPARE(LegalMoveCount(*e), 0);
    }
}

void TestEngineSearch::abortStopsTheSearch() {
    auto e = Engine();
    std::atomic<bool> stop{true};
    e->SetAbortFlag(&stop);
    QVERIFY(e->LoadFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
    const QByteArray before = Snapshot(*e);
    QVERIFY(!e->Think(8));
    QVERIFY(e->Nodes() <= 1);
    QCOMPARE(Snapshot(*e), before);
    stop = false;
    QVERIFY(e->Think(2));
}

// Go within limits: with a depth only it is Think; a node limit cuts it to
// the deepest finished iteration; root noise picks among near moves but
// never turns down a mate; every answer is a legal move and the board is
// left as loaded.
void TestEngineSearch::goWithinLimits_data() {
    QTest::addColumn<QByteArray>("fen");
    QTest::addColumn<int>("depth");
    QTest::addColumn<qint64>("nodes");
    QTest::addColumn<int>("noise");
    QTest::addColumn<QByteArray>("expect"); // "think": as Think(depth); "mate": mates at once
    const QByteArray kiwipete =
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    const QByteArray backRank = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
    QTest::newRow("depth only is Think") << kiwipete << 3 << qint64(0) << 0 << QByteArray("think");
    QTest::newRow("node limit mid-search") << kiwipete << 8 << qint64(20000) << 0 << QByteArray();
    QTest::newRow("node limit in the first iteration")
        << kiwipete << 8 << qint64(10) << 0 << QByteArray();
    QTest::newRow("noise keeps a mate") << backRank << 3 << qint64(0) << 5000 << QByteArray("mate");
    QTest::newRow("noise in a middlegame") << kiwipete << 3 << qint64(0) << 300 << QByteArray();
    QTest::newRow("noise far beyond the window")
        << QByteArray("k7/8/8/8/8/1QQQ2QQ/1QQQQ3/1RRBBNNK b - - 0 1") << 2 << qint64(0) << 100000
        << QByteArray();
}

void TestEngineSearch::goWithinLimits() {
    QFETCH(QByteArray, fen);
    QFETCH(int, depth);
    QFETCH(qint64, nodes);
    QFETCH(int, noise);
    QFETCH(QByteArray, expect);
    struct Counter : TSearchListener {
        int deepest = 0;
        void IterationDone(const TEngineSearch&, int d, int) override { deepest = d; }
    } counter;
    auto e = Engine();
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        QVERIFY(e->LoadFen(fen.constData()));
        const QByteArray before = Snapshot(*e);
        TSearchLimits limits;
        limits.depth = depth;
        limits.nodes = std::uint64_t(nodes);
        limits.rootNoise = noise;
        limits.noiseSeed = seed;
        TEngineMove best{};
        int score = 0;
        QVERIFY(e->Go(limits, &counter, &best, &score));
        QCOMPARE(Snapshot(*e), before);
        QVERIFY(e->PvLength() >= 1);
        QVERIFY(e->PvMove(0) == best);
        if (expect == "think") {
            const std::uint64_t goNodes = e->Nodes();
            TEngineMove thought{};
            int thoughtScore = 0;
            QVERIFY(e->Think(depth, &thought, &thoughtScore));
            QVERIFY(thought == best);
            QCOMPARE(thoughtScore, score);
            QCOMPARE(e->Nodes(), goNodes);
            QCOMPARE(counter.deepest, depth);
        }
        if (nodes > 0 && counter.deepest > 0) QVERIFY(counter.deepest < depth);
        QVERIFY(e->MakeMove(best));
        if (expect == "mate") {
            QVERIFY(e->InCheck(e->Side()));
            QCOMPARE(LegalMoveCount(*e), 0);
        }
        counter.deepest = 0;
    }
}

void TestEngineSearch::goStoppedAtOnceStillPlays() {
    auto e = Engine();
    std::atomic<bool> stop{true};
    e->SetAbortFlag(&stop);
    QVERIFY(e->LoadFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
    TSearchLimits limits;
    limits.depth = 6;
    TEngineMove best{};
    QVERIFY(e->Go(limits, nullptr, &best));
    QVERIFY(e->MakeMove(best));
    // Mated: nothing to play, stopped or not.
    QVERIFY(e->LoadFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"));
    QVERIFY(!e->Go(limits, nullptr, &best));
    stop = false;
    QVERIFY(!e->Go(limits, nullptr, &best));
    // Mate distances of the last search: Black mated in one move... here it
    // is White to mate: a3-a2 is answered by mate, so Black is mated in 1.
    QVERIFY(e->LoadFen("7k/5Q2/6K1/8/8/p7/8/8 b - - 0 1"));
    int score = 0;
    QVERIFY(e->Go(limits, nullptr, &best, &score));
    QCOMPARE(e->MateIn(score), -1);
    QVERIFY(e->LoadFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
    QVERIFY(e->Go(limits, nullptr, &best, &score));
    QCOMPARE(e->MateIn(score), 1);
    QCOMPARE(e->MateIn(35), 0);
}

void TestEngineSearch::levelsClimb() {
    // The default level searches as it always did: its plies, nothing more.
    const TEngineLevel& def = EngineLevel(DefaultEngineLevel);
    QCOMPARE(def.depth, 5);
    QCOMPARE(def.nodes, std::uint64_t(0));
    QCOMPARE(def.rootNoise, 0);
    for (int l = MinEngineLevel + 1; l <= MaxEngineLevel; ++l) {
        const TEngineLevel &low = EngineLevel(l - 1), &high = EngineLevel(l);
        QVERIFY(high.depth >= low.depth);
        QVERIFY(high.rootNoise <= low.rootNoise);
        QVERIFY(high.elo > low.elo);
        // A node limit only ever loosens: none below, or a larger one.
        if (high.depth == low.depth)
            QVERIFY(high.nodes == 0 || (low.nodes != 0 && high.nodes > low.nodes));
    }
    // Any number names a level.
    QCOMPARE(EngineLevel(-3).depth, EngineLevel(MinEngineLevel).depth);
    QCOMPARE(EngineLevel(99).depth, EngineLevel(MaxEngineLevel).depth);
    const TSearchLimits limits = EngineLevelLimits(1, 77);
    QCOMPARE(limits.rootNoise, EngineLevel(1).rootNoise);
    QCOMPARE(limits.noiseSeed, 77u);
}

void TestEngineSearch::searchLeavesTheBoardAsLoaded() {
    auto e = Engine();
    QVERIFY(e->LoadFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
    const QByteArray before = Snapshot(*e);
    QVERIFY(e->Think(3));
    QCOMPARE(Snapshot(*e), before);
    QCOMPARE(e->Ply(), 0);
}

void TestEngineSearch::oddPositionsStayInsideTheTables_data() {
    QTest::addColumn<QByteArray>("board");
    QTest::addColumn<bool>("white");
    // Pawns on their own first rank and on the last rank, as a position text may put them.
    QTest::newRow("pawns on ranks 1 and 8")
        << QByteArray("PPPPPPPP") + QByteArray(48, ' ') + "pppppppp" << true;
    QTest::newRow("pawns on ranks 1 and 8, Black")
        << QByteArray("pPpPpPpP") + QByteArray(48, ' ') + "PpPpPpPp" << false;
    QTest::newRow("no kings")
        << QByteArray("rnbq bnrpppppppp                                PPPPPPPPRNBQ BNR") << true;
    QTest::newRow("two kings each")
        << QByteArray("k      kpppppppp                                PPPPPPPPK      K") << true;
    // Far more pseudo-legal moves per ply than a game can have.
    QTest::newRow("crowd of queens")
        << QByteArray("kp      pp") + QByteArray(38, ' ') + "QQQQQQQQQQQQQQQK" << true;
    // Long forced lines of checks push the plies towards the table limit.
    QTest::newRow("perpetual checks") << Board({"Kh1", "Qa8", "qb6", "kg7", "Pg2", "Ph2"}) << false;
}

void TestEngineSearch::oddPositionsStayInsideTheTables() {
    QFETCH(QByteArray, board);
    QFETCH(bool, white);
    QCOMPARE(board.size(), 64);
    auto e = Engine();
    e->Load(board.constData(), white, 15, -1);
    const QByteArray before = Snapshot(*e);
    e->Think(3);
    QCOMPARE(Snapshot(*e), before);
    QVERIFY(e->Perft(2) > 0 || LegalMoveCount(*e) == 0);
    QCOMPARE(Snapshot(*e), before);
}

QTEST_APPLESS_MAIN(TestEngineSearch)
#include "tst_enginesearch.moc"
