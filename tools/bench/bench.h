#pragma once
// Sub-commands of zugaret-bench; each returns the process exit code.
int RunPerft(const char* fen, const char* depth);
int RunEnginePerft(const char* fen, const char* depth);
int RunSearch(const char* fen, const char* depth);
int RunSuite();
