#pragma once
// Sub-commands of zugaret-bench; each returns the process exit code.
#include <cstdint>

int RunPerft(const char* fen, const char* depth);
int RunEnginePerft(const char* fen, const char* depth);
int RunSearch(const char* fen, const char* depth);
int RunSuite();
int RunPgnFile(const char* path, const char* games);
int RunPgnIndex(const char* path);
int RunPgnLength();

// Shared by the sub-commands (main.cpp).
// Reads a depth from low to high; otherwise prints why under the command's name.
bool ParseDepth(const char* text, const char* command, long low, long high, int* depth);
// count per second over ns nanoseconds; 0 when no time passed.
unsigned long long PerSecond(std::uint64_t count, long long ns);
// "nodes N ms T nps R", the result line of both perft sub-commands.
void PrintNodeCount(std::uint64_t nodes, long long ns);
