// zugaret-bench: speed and correctness figures of the rules and the engine.
//
//   zugaret-bench perft "<FEN>" <depth>         leaf count with the board's rules
//   zugaret-bench engine-perft "<FEN>" <depth>  leaf count with the engine's generator
//   zugaret-bench search "<FEN>" <depth>        one engine search to that depth
//   zugaret-bench                               the fixed engine suite
//   zugaret-bench pgn-file <path> <games>       writes a PGN file of random games
//   zugaret-bench pgn-index <path>              opens a game file: index and last game
//   zugaret-bench pgn-length                    reading time of games of growing length
#include "bench.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool ParseDepth(const char* text, const char* command, long low, long high, int* depth) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        std::fprintf(stderr, "%s: depth must be a whole number from %ld to %ld, not '%s'\n",
                     command, low, high, text);
        return false;
    }
    *depth = static_cast<int>(value);
    return true;
}

unsigned long long PerSecond(std::uint64_t count, long long ns) {
    return ns > 0 ? static_cast<unsigned long long>(static_cast<double>(count) * 1e9 /
                                                    static_cast<double>(ns))
                  : 0;
}

void PrintNodeCount(std::uint64_t nodes, long long ns) {
    std::printf("nodes %llu ms %lld nps %llu\n", static_cast<unsigned long long>(nodes),
                ns / 1000000, PerSecond(nodes, ns));
}

int main(int argc, char** argv) {
    if (argc == 1) return RunSuite();
    if (argc == 2 && std::strcmp(argv[1], "pgn-length") == 0) return RunPgnLength();
    if (argc == 3 && std::strcmp(argv[1], "pgn-index") == 0) return RunPgnIndex(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "pgn-file") == 0) return RunPgnFile(argv[2], argv[3]);
    if (argc == 4) {
        const char* cmd = argv[1];
        if (std::strcmp(cmd, "perft") == 0) return RunPerft(argv[2], argv[3]);
        if (std::strcmp(cmd, "engine-perft") == 0) return RunEnginePerft(argv[2], argv[3]);
        if (std::strcmp(cmd, "search") == 0) return RunSearch(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: zugaret-bench [perft|engine-perft|search \"<FEN>\" <depth>]\n"
                         "       zugaret-bench pgn-file <path> <games> | pgn-index <path> | "
                         "pgn-length\n");
    return 2;
}
