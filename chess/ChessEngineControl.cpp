// Engine control of the board: parking and releasing the worker, its two
// hand-overs, the custom engine path and the engine properties.
//
// The worker is released only when there is something to do: the computer
// plays the side to move. Its idle notice parks it; the idle handler releases
// it again at once only after it has just played a move (the computer may
// play the next move too). A search that found nothing to play, or whose move
// the board refused, therefore leaves the worker parked instead of searching
// the same position again and again. Move and the computer-plays properties
// release it when there is something new; so does the message hook, as long
// as no stop was requested since the last release, when the computer is to
// move in a position it has not searched in vain (a host that plays a move
// with DoMove instead of Move).
#include "ChessModel.h"
#include "ChessThread.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

void TChessThreadDeleter::operator()(TChessThread* worker) const {
    delete worker;
}

namespace {
// Marks the host as being asked for a move while OnCalculateMove runs.
struct AskGuard {
    TChessThread* worker;
    explicit AskGuard(TChessThread* w) : worker(w) {
        if (worker) worker->SetAskingHost(true);
    }
    ~AskGuard() {
        if (worker) worker->SetAskingHost(false);
    }
};

bool ComputerToMove(const TChessModel& board) {
    return board.WhiteToMove() ? board.ComputerPlaysWhite() : board.ComputerPlaysBlack();
}
} // namespace

void TChessModel::StartEngine() {
    // The thread itself starts at the first release.
    worker_.reset(new TChessThread(*this));
}

void TChessModel::ShutDownEngine() {
    if (pollTimer_) pollTimer_->stop();
    if (worker_) worker_->Shutdown();
    worker_.reset();
}

void TChessModel::StopThinking() {
    // The worker is stopped whatever CustomEngine says: a search released
    // before the host switched to its own engine must not play afterwards.
    if (worker_) worker_->RequestAbort();
    if (worker_ && !worker_->Parked()) {
        // Inside a hand-over (an OnMate or OnDraw handler of the engine's own
        // move, for instance) the worker is blocked in that very hand-over:
        // waiting here could never end, and the worker reads nothing of the
        // board before it has parked at its idle notice.
        if (!worker_->InHandOver()) {
            while (!worker_->Parked()) {
                // A release made by an event handled meanwhile is stopped as well.
                worker_->RequestAbort();
                QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                QEventLoop::WaitForMoreEvents);
            }
        }
    }
    engineStopped_ = true;
}

void TChessModel::RequestComputerMove() {
    if (!customEngine_) {
        if (!worker_ || !QCoreApplication::instance()) return;
        worker_->ClearAbort();
        if (ComputerToMove(*this)) worker_->Release();
        return;
    }
    if (!ComputerToMove(*this) || !OnCalculateMove || engineStopped_) return;
    if (worker_ && worker_->AskingHost()) return;
    Square oldSq = Square::None, newSq = Square::None;
    {
        AskGuard guard(worker_.get());
        OnCalculateMove(oldSq, newSq);
    }
    if (engineStopped_) return;
    if (!DoMove(oldSq, newSq) && OnCalculationFailed) OnCalculationFailed(oldSq, newSq);
}

void TChessModel::FirstPaint() {
    if (paintedOnce_) return;
    paintedOnce_ = true;
    RequestComputerMove();
    if (!pollTimer_) {
        pollTimer_ = new QTimer(this);
        pollTimer_->setInterval(500);
        connect(pollTimer_, &QTimer::timeout, this, &TChessModel::MessageHook);
    }
    pollTimer_->start();
}

void TChessModel::MessageHook() {
    if (!customEngine_) {
        if (worker_ && worker_->Parked() && !worker_->AbortRequested() && ComputerToMove(*this) &&
            !worker_->FruitlessFor(*this))
            RequestComputerMove();
        return;
    }
    if (!engineStopped_ && ComputerToMove(*this)) RequestComputerMove();
}

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

void TChessModel::SetThinkingPriority(TThreadPriority p) {
    priority_ = p;
    if (worker_) worker_->ApplyPriority(p);
}

bool TChessModel::Thinking() const {
    return worker_ && worker_->IsThinking();
}

void TChessModel::EngineMoveHandOver(int from, int to) {
    if (worker_) worker_->SetThinking(false);
    const bool played = DoMove(ToSquare(from), ToSquare(to));
    if (worker_) worker_->NoteMovePlayed(played);
}

void TChessModel::EngineIdle() {
    if (!worker_) return;
    worker_->SetThinking(false);
    worker_->Park();
    const bool played = worker_->TakeMovePlayed();
    worker_->SetFruitless(!played);
    if (!worker_->AbortRequested() && played) RequestComputerMove();
}
