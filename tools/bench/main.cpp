// zugaret-bench: speed and correctness figures of the rules and the engine.
//
//   zugaret-bench perft "<FEN>" <depth>         leaf count with the board's rules
//   zugaret-bench engine-perft "<FEN>" <depth>  leaf count with the engine's generator
//   zugaret-bench search "<FEN>" <depth>        one engine search to that depth
//   zugaret-bench                               the fixed engine suite
#include "bench.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 1) return RunSuite();
    if (argc == 4) {
        const char* cmd = argv[1];
        if (std::strcmp(cmd, "perft") == 0) return RunPerft(argv[2], argv[3]);
        if (std::strcmp(cmd, "engine-perft") == 0) return RunEnginePerft(argv[2], argv[3]);
        if (std::strcmp(cmd, "search") == 0) return RunSearch(argv[2], argv[3]);
    }
    std::fprintf(stderr,
                 "usage: zugaret-bench [perft|engine-perft|search \"<FEN>\" <depth>]\n");
    return 2;
}
