// The engine worker: one search per queued call, one answer per search.
#include "ChessThread.h"

TChessThread::TChessThread() {
    qRegisterMetaType<TEngineMove>();
}

void TChessThread::Search(const TEngineJob& job) {
    TEngineMove best;
    if (!job.Stop || !job.Stop->load(std::memory_order_relaxed)) {
        QThread::currentThread()->setPriority(job.Priority);
        search_.SetAbortFlag(job.Stop.get());
        search_.Load(job.Squares.data(), job.WhiteToMove, job.Castle, job.EpSquare);
        if (!search_.Go(job.Limits, nullptr, &best)) best = TEngineMove();
        search_.SetAbortFlag(nullptr);
    }
    emit moveFound(job.Id, best);
}
