// perft with the board's own rules: every from/to pair through IsLegalMove,
// each legal move played with DoMove and taken back with TakeBack.
#include "bench.h"

#include "ChessModel.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

int RunPerft(const char* fen, const char* depthText) {
    int depth = 0;
    if (!ParseDepth(depthText, "perft", 0, 12, &depth)) return 2;
    TChessModel board;
    board.SetCustomEngine(true); // the built-in worker is never woken while the tree is walked
    QString error;
    if (!board.SetFen(QString::fromLatin1(fen), &error)) {
        std::fprintf(stderr, "perft: bad FEN: %s\n", qPrintable(error));
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const std::uint64_t nodes = board.Perft(depth);
    PrintNodeCount(nodes, timer.nsecsElapsed());
    return 0;
}
