// perft with the board's own rules: every from/to pair through IsLegalMove,
// each legal move played with DoMove and taken back with TakeBack.
#include "bench.h"

#include "ChessModel.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <cstdlib>

int RunPerft(const char* fen, const char* depthText) {
    char* end = nullptr;
    const long depth = std::strtol(depthText, &end, 10);
    if (end == depthText || *end != '\0' || depth < 0 || depth > 12) {
        std::fprintf(stderr, "perft: depth must be a whole number from 0 to 12, not '%s'\n",
                     depthText);
        return 2;
    }
    TChessModel board;
    board.SetCustomEngine(true); // the built-in worker is never woken while the tree is walked
    QString error;
    if (!board.SetFen(QString::fromLatin1(fen), &error)) {
        std::fprintf(stderr, "perft: bad FEN: %s\n", qPrintable(error));
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const std::uint64_t nodes = board.Perft(static_cast<int>(depth));
    const qint64 ns = timer.nsecsElapsed();
    const qint64 ms = ns / 1000000;
    const unsigned long long nps = ns > 0 ? static_cast<unsigned long long>(nodes * 1e9 / ns) : 0;
    std::printf("nodes %llu ms %lld nps %llu\n", static_cast<unsigned long long>(nodes),
                static_cast<long long>(ms), nps);
    return 0;
}
