// Engine sub-commands of zugaret-bench: perft with the engine's own move
// generator, one search, and the fixed suite whose total node count engine
// commits quote ("Bench: N").
#include "bench.h"

#include "EngineSearch.h"

#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace {

// "e2e4", "a7a8q": from, to and the promotion letter.
void MoveText(const TEngineMove& m, char* out) {
    out[0] = static_cast<char>('a' + (m.from & 7));
    out[1] = static_cast<char>('8' - (m.from >> 3));
    out[2] = static_cast<char>('a' + (m.to & 7));
    out[3] = static_cast<char>('8' - (m.to >> 3));
    out[4] = '\0';
    if (m.bits & TEngineSearch::FlagPromote) {
        out[4] = " nbrq"[m.promote];
        out[5] = '\0';
    }
}

struct SuitePosition {
    const char* name;
    const char* fen;
    int depth;
};

// Openings, middlegames with both kings castled or not, tactical positions
// and endgames of several kinds, each searched once at the depth given.
constexpr SuitePosition kSuite[] = {
    {"start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6},
    {"open-sicilian", "r1bqkb1r/pp2pppp/2np1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 2 6", 5},
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5},
    {"italian", "r1bq1rk1/pppp1ppp/2n2n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 b - - 0 6", 5},
    {"queens-gambit", "rnbqkb1r/ppp2ppp/4pn2/3p2B1/2PP4/2N5/PP2PPPP/R2QKBNR b KQkq - 3 4", 5},
    {"middlegame-1", "r2q1rk1/pp2bppp/2n1bn2/3p4/3P4/2NBBN2/PP3PPP/R2Q1RK1 w - - 4 11", 5},
    {"middlegame-2", "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PBQ1BPPP/R4RK1 w - - 0 11", 5},
    {"tactics", "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 7", 5},
    {"rook-endgame", "8/5pk1/6p1/R7/5P2/6KP/1r6/8 w - - 0 45", 6},
    {"pawn-endgame", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 6},
    {"minor-endgame", "8/3k4/2n1p3/1p1pP3/1P1P4/2B1K3/8/8 w - - 0 40", 6},
    {"queen-endgame", "8/6k1/5p2/4q2p/7P/5QP1/5PK1/8 b - - 0 50", 5},
    {"promotion-race", "8/P5k1/8/8/8/8/5Kp1/8 w - - 0 1", 6},
};

} // namespace

int RunEnginePerft(const char* fen, const char* depthText) {
    int depth = 0;
    if (!ParseDepth(depthText, "engine-perft", 0, 12, &depth)) return 2;
    auto engine = std::make_unique<TEngineSearch>();
    if (!engine->LoadFen(fen)) {
        std::fprintf(stderr, "engine-perft: bad FEN '%s'\n", fen);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const std::uint64_t nodes = engine->Perft(depth);
    PrintNodeCount(nodes, timer.nsecsElapsed());
    return 0;
}

int RunSearch(const char* fen, const char* depthText) {
    int depth = 0;
    if (!ParseDepth(depthText, "search", 1, 20, &depth)) return 2;
    auto engine = std::make_unique<TEngineSearch>();
    if (!engine->LoadFen(fen)) {
        std::fprintf(stderr, "search: bad FEN '%s'\n", fen);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    TEngineMove best;
    int score = 0;
    const bool found = engine->Think(depth, &best, &score);
    const qint64 ns = timer.nsecsElapsed();
    char move[6] = "0000";
    if (found) MoveText(best, move);
    std::printf("bestmove %s score %d nodes %llu ms %lld nps %llu\n", move, score,
                static_cast<unsigned long long>(engine->Nodes()),
                static_cast<long long>(ns / 1000000), PerSecond(engine->Nodes(), ns));
    return 0;
}

int RunSuite() {
    auto engine = std::make_unique<TEngineSearch>();
    std::uint64_t totalNodes = 0;
    qint64 totalNs = 0;
    for (const SuitePosition& p : kSuite) {
        if (!engine->LoadFen(p.fen)) {
            std::fprintf(stderr, "suite: bad FEN of %s\n", p.name);
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        TEngineMove best;
        int score = 0;
        const bool found = engine->Think(p.depth, &best, &score);
        const qint64 ns = timer.nsecsElapsed();
        char move[6] = "0000";
        if (found) MoveText(best, move);
        std::printf("%-15s depth %d bestmove %-5s score %6d nodes %10llu ms %6lld\n", p.name,
                    p.depth, move, score, static_cast<unsigned long long>(engine->Nodes()),
                    static_cast<long long>(ns / 1000000));
        totalNodes += engine->Nodes();
        totalNs += ns;
    }
    std::printf("total nodes %llu ms %lld nps %llu\n", static_cast<unsigned long long>(totalNodes),
                static_cast<long long>(totalNs / 1000000), PerSecond(totalNodes, totalNs));
    return 0;
}
