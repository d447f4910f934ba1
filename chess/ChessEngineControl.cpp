// Engine control of the board: searches handed to the worker and its
// answers, the custom engine path and the engine properties.
//
// A search is started only when there is something to do: the computer
// plays the side to move. Each search has an id; StopThinking (called by
// every change of the position) forgets the current id and sets that
// search's stop flag, so its answer, should it still come, is dropped. After
// the engine's own move has been played the next search starts at once (the
// computer may play the next move too), unless a handler of that move
// stopped the engine. A search that found nothing to play, or whose move the
// board refused, is not repeated by the message hook while the position
// stays as it was.
#include "ChessModel.h"

#include "EngineLevel.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace {
// The thread of a board's worker. It outlives its board: it is deleted when
// it has finished, or at the latest with the application, which is its
// parent from the board's end on. Only in that last case can it still be
// running when deleted (the application ends a moment after the board, while
// the stopped search unwinds): it then finishes first, as a thread object
// may not go while its thread runs. No handler ever gets here.
class TEngineThread final : public QThread {
public:
    ~TEngineThread() override {
        quit();
        wait();
    }
};

bool ComputerToMove(const TChessModel& board) {
    return board.WhiteToMove() ? board.ComputerPlaysWhite() : board.ComputerPlaysBlack();
}

QThread::Priority ToQtPriority(TThreadPriority p) {
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

bool SamePosition(const TEngineJob& a, const TEngineJob& b) {
    return a.Squares == b.Squares && a.WhiteToMove == b.WhiteToMove && a.Castle == b.Castle &&
           a.EpSquare == b.EpSquare;
}
} // namespace

void TChessModel::ShutDownEngine() {
    StopThinking();
    if (!engineThread_) return;
    disconnect(worker_, nullptr, this, nullptr);
    // Nobody waits for the worker: its stopped search ends at its next node,
    // its thread's event loop is told to quit, and the worker is deleted on
    // its own thread as that thread finishes. The thread object is deleted
    // back on this thread once it has finished, or with the application,
    // whichever comes first (TEngineThread).
    connect(engineThread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(engineThread_, &QThread::finished, engineThread_, &QObject::deleteLater);
    if (QCoreApplication* app = QCoreApplication::instance();
        app && engineThread_->thread() == app->thread())
        engineThread_->setParent(app);
    engineThread_->quit();
    engineThread_ = nullptr;
    worker_ = nullptr;
}

void TChessModel::StopThinking() {
    // The search is stopped whatever CustomEngine says: one started before the
    // host switched to its own engine must not play afterwards.
    if (searchStop_) searchStop_->store(true, std::memory_order_relaxed);
    searchStop_.reset();
    searchId_ = 0;
    engineAborted_ = true;
    engineStopped_ = true;
}

TEngineJob TChessModel::SearchJob() const {
    TEngineJob job;
    std::memcpy(job.Squares.data(), squares_.data() + 1, 64);
    job.WhiteToMove = WhiteToMove();
    job.Castle = castling_;
    job.EpSquare = Ord(enPassant_) - 1;
    job.Priority = ToQtPriority(priority_);
    return job;
}

void TChessModel::StartSearch() {
    if (searchStop_) searchStop_->store(true, std::memory_order_relaxed);
    if (!engineThread_) {
        engineThread_ = new TEngineThread;
        engineThread_->setObjectName(QStringLiteral("engine"));
        worker_ = new TChessThread;
        worker_->moveToThread(engineThread_);
        connect(worker_, &TChessThread::moveFound, this, &TChessModel::EngineMoveFound,
                Qt::QueuedConnection);
        engineThread_->start(ToQtPriority(priority_));
    }
    TEngineJob job = SearchJob();
    job.Id = ++lastSearchId_;
    job.Limits = EngineLevelLimits(searchDepth_, QRandomGenerator::global()->generate());
    searchStop_ = std::make_shared<std::atomic<bool>>(false);
    job.Stop = searchStop_;
    searchId_ = job.Id;
    lastJob_ = job;
    lastSearchFruitless_ = false;
    TChessThread* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker, job] { worker->Search(job); }, Qt::QueuedConnection);
}

void TChessModel::RequestComputerMove() {
    if (!customEngine_) {
        if (!QCoreApplication::instance()) return;
        engineAborted_ = false;
        if (ComputerToMove(*this)) StartSearch();
        return;
    }
    if (!ComputerToMove(*this) || !OnCalculateMove || engineStopped_ || askingHost_) return;
    Square oldSq = Square::None, newSq = Square::None;
    askingHost_ = true;
    struct Asked {
        bool& asking;
        ~Asked() { asking = false; }
    } asked{askingHost_};
    OnCalculateMove(oldSq, newSq);
    if (engineStopped_) return;
    if (!DoMove(oldSq, newSq)) emit OnCalculationFailed(oldSq, newSq);
}

void TChessModel::EngineMoveFound(quint64 id, TEngineMove move) {
    if (id == 0 || id != searchId_) return; // a search that no longer counts
    searchId_ = 0;
    searchStop_.reset();
    // The move is played like any other; its handlers may stop the engine.
    const bool played = !move.IsNull() && DoMove(ToSquare(move.from + 1), ToSquare(move.to + 1));
    if (!played) {
        lastSearchFruitless_ = true;
        return;
    }
    if (!engineAborted_ && !Thinking()) RequestComputerMove();
}

void TChessModel::MessageHook() {
    if (!customEngine_) {
        if (!Thinking() && !engineAborted_ && ComputerToMove(*this) &&
            !(lastSearchFruitless_ && SamePosition(lastJob_, SearchJob())))
            RequestComputerMove();
        return;
    }
    if (!engineStopped_ && ComputerToMove(*this)) RequestComputerMove();
}

void TChessModel::SetComputerPlaysWhite(bool on) {
    StopThinking();
    computerWhite_ = on;
    RequestComputerMove();
}

void TChessModel::SetComputerPlaysBlack(bool on) {
    StopThinking();
    computerBlack_ = on;
    RequestComputerMove();
}

void TChessModel::SetSearchDepth(int depth) {
    searchDepth_ = std::clamp(depth, 1, 8);
}

void TChessModel::SetThinkingPriority(TThreadPriority p) {
    priority_ = p;
    if (engineThread_ && engineThread_->isRunning()) engineThread_->setPriority(ToQtPriority(p));
}
