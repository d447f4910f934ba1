#pragma once
// The built-in engine's worker of one board.
//
// TChessThread lives on a thread of its own (started and ended by its
// board, TChessModel) and runs TEngineSearch there. It knows nothing of the
// board: each search comes as a queued call of Search with everything it
// needs (TEngineJob: a copy of the position, the level's limits, the
// priority, the search's id and its stop flag), and its answer goes back by
// the signal moveFound(id, move), which the board receives on its own
// thread. The board alone decides whether an answer still counts: it keeps
// the id of its current search and drops any other.
//
// What must stay true:
//  - the worker reads nothing but its job and writes nothing but its own
//    search tables: the board may change, stop searching or go away at any
//    time without waiting for it;
//  - every Search answers with exactly one moveFound carrying its job's id,
//    the null move when there is no legal move; a job whose stop flag is set
//    before it starts is answered at once, unsearched;
//  - a search ends soon after its stop flag is set (the search looks at it
//    at every node).

#include "EngineSearch.h"

#include <QObject>
#include <QThread>

#include <array>
#include <atomic>
#include <memory>

// One search, as the board hands it to its worker.
struct TEngineJob {
    quint64 Id = 0;
    std::array<char, 64> Squares{}; // a8 ... h1, the board's letters
    bool WhiteToMove = true;
    int Castle = 0;    // the board's castling rights
    int EpSquare = -1; // engine square, -1 for none
    TSearchLimits Limits;
    QThread::Priority Priority = QThread::NormalPriority;
    // Set by the board when the search no longer counts.
    std::shared_ptr<const std::atomic<bool>> Stop;
};

class TChessThread final : public QObject {
    Q_OBJECT
public:
    TChessThread();

    // On the worker's thread (a queued call): searches job and answers.
    void Search(const TEngineJob& job);

signals:
    // The answer to the search of that id: the move to play, or the null
    // move (TEngineMove::IsNull) when there is none.
    void moveFound(quint64 id, TEngineMove move);

private:
    TEngineSearch search_;
};
