// The engine worker thread: park, release, search, hand-overs.
#include "ChessThread.h"

#include "EngineLevel.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cstring>

TChessThread::TChessThread(TChessModel& board) : board_(board) {
    search_.SetAbortFlag(&abort_);
}

TChessThread::~TChessThread() {
    Shutdown();
}

QThread::Priority TChessThread::ToQtPriority(TThreadPriority p) {
    switch (p) {
    case TThreadPriority::tpIdle:
        return QThread::IdlePriority;
    case TThreadPriority::tpLowest:
        return QThread::LowestPriority;
    case TThreadPriority::tpLower:
        return QThread::LowPriority;
    case TThreadPriority::tpNormal:
        return QThread::NormalPriority;
    case TThreadPriority::tpHigher:
        return QThread::HighPriority;
    case TThreadPriority::tpHighest:
        return QThread::HighestPriority;
    case TThreadPriority::tpTimeCritical:
        return QThread::TimeCriticalPriority;
    }
    return QThread::NormalPriority;
}

void TChessThread::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (terminate_) return;
        std::memcpy(job_.squares, board_.Squares() + 1, 64);
        job_.whiteToMove = board_.WhiteToMove();
        job_.castle = board_.CastlingAllowed();
        job_.ep = Ord(board_.EnPassant()) - 1;
        job_.depth = board_.SearchDepth();
        job_.priority = board_.ThinkingPriority();
        released_ = true;
    }
    thinking_.store(true, std::memory_order_relaxed);
    if (!isRunning()) start();
    wake_.notify_all();
}

bool TChessThread::FruitlessFor(const TChessModel& board) const {
    // job_ is written on this (the board's) thread only.
    return fruitless_ && std::memcmp(job_.squares, board.Squares() + 1, 64) == 0 &&
           job_.whiteToMove == board.WhiteToMove() && job_.castle == board.CastlingAllowed() &&
           job_.ep == Ord(board.EnPassant()) - 1;
}

void TChessThread::Park() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = false;
}

bool TChessThread::Parked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !released_ || terminate_;
}

void TChessThread::ApplyPriority(TThreadPriority p) {
    if (isRunning()) setPriority(ToQtPriority(p));
}

void TChessThread::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        terminate_ = true;
    }
    abort_.store(true, std::memory_order_relaxed);
    wake_.notify_all();
    wait();
    // A hand-over posted just before the end must not reach the board any more.
    if (QCoreApplication::instance())
        QCoreApplication::removePostedEvents(&board_, QEvent::MetaCall);
}

void TChessThread::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return released_ || terminate_; });
            if (terminate_) return;
            job = job_;
        }
        // The board releases the worker only when the computer is to move.
        setPriority(ToQtPriority(job.priority));
        thinking_.store(true, std::memory_order_relaxed);
        search_.Load(job.squares, job.whiteToMove, job.castle, job.ep);
        TEngineMove best;
        const bool found = search_.Go(
            EngineLevelLimits(job.depth, QRandomGenerator::global()->generate()), nullptr, &best);
        // The thinking flag is cleared on the board's thread, where the
        // move is played: until then a user's drop is still refused.
        if (!AbortRequested() && found && !HandOver(HandOverKind::Move, best.from + 1, best.to + 1))
            return;
        if (!HandOver(HandOverKind::Idle, 0, 0)) return;
    }
}

bool TChessThread::HandOver(HandOverKind kind, int from, int to) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (terminate_) return false;
        handOverDone_ = false;
    }
    QMetaObject::invokeMethod(
        &board_, [this, kind, from, to] { RunHandOver(kind, from, to); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return handOverDone_ || terminate_; });
    return !terminate_;
}

void TChessThread::RunHandOver(HandOverKind kind, int from, int to) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (terminate_) return;
    }
    // The worker waits until this has run, also when a handler throws.
    struct Done {
        TChessThread* self;
        ~Done() {
            --self->handOverDepth_;
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->handOverDone_ = true;
            }
            self->wake_.notify_all();
        }
    };
    ++handOverDepth_;
    Done done{this};
    if (kind == HandOverKind::Move)
        board_.EngineMoveHandOver(from, to);
    else
        board_.EngineIdle();
}
