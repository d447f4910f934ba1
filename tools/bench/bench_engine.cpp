#include "bench.h"

#include <cstdio>

int RunEnginePerft(const char*, const char*) { std::fprintf(stderr, "engine not built yet\n"); return 1; }
int RunSearch(const char*, const char*) { std::fprintf(stderr, "engine not built yet\n"); return 1; }
int RunSuite() { std::fprintf(stderr, "engine not built yet\n"); return 1; }
