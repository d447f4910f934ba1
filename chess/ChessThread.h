#pragma once
// The built-in engine's worker thread of one board.
//
// TChessThread runs TEngineSearch on its own thread for the TChessModel that
// owns it. It is parked (waiting on a condition variable) until the board
// releases it for a computer move; it then searches a copy of the position
// taken at the release, hands its move to the board's DoMove on the board's
// thread, hands over its idle notice, and waits for each hand-over to have
// run before going on. The idle notice is where the board parks it again.
//
// What must stay true:
//  - the worker touches the board only through the two hand-overs, which run
//    on the board's thread while the worker waits; everything else it reads
//    is its own copy or an atomic flag;
//  - a search stops soon after RequestAbort(); a search that was stopped
//    never hands over a move;
//  - Shutdown() (also run by the destructor) ends the thread without help
//    from the board's event loop, whatever state the worker is in, and no
//    hand-over of this worker runs afterwards.

#include "ChessModel.h"
#include "EngineSearch.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

class TChessThread final : public QThread {
public:
    explicit TChessThread(TChessModel& board);
    ~TChessThread() override;

    TChessThread(const TChessThread&) = delete;
    TChessThread& operator=(const TChessThread&) = delete;

    // ---- called on the board's thread ----
    // Copies the board's position, depth and priority and wakes the worker
    // (starting the thread the first time). Marks the worker as thinking
    // until its move or its idle notice is handed over.
    void Release();
    // Marks the worker parked: it waits at the top of its loop until the next Release.
    void Park();
    bool Parked() const;
    // Stops a running search; cleared by the board before a release.
    void RequestAbort() { abort_.store(true, std::memory_order_relaxed); }
    void ClearAbort() { abort_.store(false, std::memory_order_relaxed); }
    bool AbortRequested() const { return abort_.load(std::memory_order_relaxed); }
    bool IsThinking() const { return thinking_.load(std::memory_order_relaxed); }
    void SetThinking(bool on) { thinking_.store(on, std::memory_order_relaxed); }
    // True while one of this worker's hand-overs runs; the worker is then
    // blocked in it, so waiting for it to park could never end.
    bool InHandOver() const { return handOverDepth_ > 0; }
    // Result of the last move hand-over, read (and forgotten) by the idle handler.
    void NoteMovePlayed(bool played) { movePlayed_ = played; }
    bool TakeMovePlayed() { return std::exchange(movePlayed_, false); }
    // Whether the last release ended without a move played (no legal move,
    // or a move the board refused), and whether the board still stands as it
    // was copied at that release: the message hook does not search it again.
    void SetFruitless(bool on) { fruitless_ = on; }
    bool FruitlessFor(const TChessModel& board) const;
    // Set by the board while its host computes a move (custom engine), so
    // that a host pumping events meanwhile is not asked a second time.
    bool AskingHost() const { return askingHost_; }
    void SetAskingHost(bool on) { askingHost_ = on; }
    // Applies a priority at once when the thread runs.
    void ApplyPriority(TThreadPriority p);
    // Ends the thread and waits for it; the board's pending hand-overs are dropped.
    void Shutdown();

    static QThread::Priority ToQtPriority(TThreadPriority p);

protected:
    void run() override;

private:
    // A copy of what a search needs, taken on the board's thread at the release.
    struct Job {
        char squares[64];
        bool whiteToMove = true;
        int castle = 0;
        int ep = -1;
        int depth = 1; // the engine's level (EngineLevel.h)
        TThreadPriority priority = TThreadPriority::tpNormal;
    };
    enum class HandOverKind { Move, Idle };

    // Posts a hand-over to the board's thread and waits until it has run;
    // false when the thread is being shut down.
    bool HandOver(HandOverKind kind, int from, int to);
    void RunHandOver(HandOverKind kind, int from, int to);

    TChessModel& board_;
    TEngineSearch search_;
    Job job_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;     // guarded by mutex_
    bool terminate_ = false;    // guarded by mutex_
    bool handOverDone_ = false; // guarded by mutex_

    std::atomic<bool> abort_{false};
    std::atomic<bool> thinking_{false};

    // Board thread only.
    int handOverDepth_ = 0;
    bool movePlayed_ = false;
    bool askingHost_ = false;
    bool fruitless_ = false;
};
