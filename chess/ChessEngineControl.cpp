// Engine control of the board: parking and releasing the worker, the custom
// engine path and the engine properties.
//
// Placeholder until the engine worker lands: no worker is created, the
// computer never moves, StopThinking only sets the stop mark.
#include "ChessModel.h"

#include <algorithm>

void TChessThreadDeleter::operator()(TChessThread*) const {}

void TChessModel::StartEngine() {}

void TChessModel::ShutDownEngine() {}

void TChessModel::StopThinking() { engineStopped_ = true; }

void TChessModel::RequestComputerMove() {}

void TChessModel::FirstPaint() { paintedOnce_ = true; }

void TChessModel::MessageHook() {}

void TChessModel::SetComputerPlaysWhite(bool on) {
    StopThinking();
    computerWhite_.store(on, std::memory_order_relaxed);
    RequestComputerMove();
}

void TChessModel::SetComputerPlaysBlack(bool on) {
    StopThinking();
    computerBlack_.store(on, std::memory_order_relaxed);
    RequestComputerMove();
}

void TChessModel::SetSearchDepth(int depth) {
    searchDepth_.store(std::clamp(depth, 1, 8), std::memory_order_relaxed);
}

void TChessModel::SetThinkingPriority(TThreadPriority p) { priority_ = p; }

bool TChessModel::Thinking() const { return false; }

void TChessModel::EngineMoveHandOver(int from, int to) { DoMove(ToSquare(from), ToSquare(to)); }

void TChessModel::EngineIdle() {}
