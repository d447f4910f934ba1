#pragma once
// The built-in engine behind the UCI protocol: the engine side of one
// conversation with a GUI, without the standard streams (zugaret-uci feeds
// it the lines of its standard input and writes what it says to standard
// output; a test may feed it lines directly).
//
// Commands are handled on the owner's thread as they come; a "go" starts the
// search on a thread of its own, so "isready", "stop", "ponderhit" and
// "quit" are answered while it runs. The search stops at its limits (depth,
// nodes, the level of the "Skill" option, a clock's budget) or at "stop";
// it then writes "bestmove". A held search ("go infinite", "go ponder")
// writes it only after "stop" or "ponderhit".
//
// What must stay true:
//  - every "go" is answered by exactly one "bestmove" (0000 when there is
//    no legal move), also when it is stopped at once or cut by "quit";
//  - no line, however malformed, reaches further than an "info string" that
//    says what was wrong; nothing ever waits on input while searching;
//  - lines are written whole and one at a time, from whichever thread;
//  - the clock's budget never reaches the time left (see PlanUciTime).

#include "EngineSearch.h"
#include "UciPosition.h"
#include "UciText.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QTimer;

// How long one move may take under a clock: at the soft limit no new
// iteration starts, at the hard limit the search is stopped. -1: no limit.
struct TUciTimePlan {
    qint64 softMs = -1;
    qint64 hardMs = -1;
};
// The plan of a "go" for the side to move (movetime, or the clock, its
// increment and the moves to go).
TUciTimePlan PlanUciTime(const TUciGo& go, bool whiteToMove);

class TUciEngine : public QObject {
    Q_OBJECT
public:
    // Writes one line (without its line end); called on either thread, one call at a time.
    using TWriter = std::function<void(const QByteArray& line)>;

    explicit TUciEngine(TWriter writer, QObject* parent = nullptr);
    ~TUciEngine() override;

    // One line of the GUI, on the owner's thread.
    void HandleLine(QByteArrayView line);
    // Whether a search thread is running (its bestmove may still be held).
    bool Searching() const { return worker_.joinable() && !finished_.load(); }
    // The end of the input: a search with limits runs to its end, a held
    // one is stopped; then OnQuit.
    void EndOfInput();

    int Skill() const { return skill_; }
    // Tells the GUI something in an "info string" line.
    void Inform(QByteArrayView text) { Write(FormatUciInfoString(text)); }

    // "quit" was handled, the search ended and its bestmove written.
    std::function<void()> OnQuit;

private:
    class Listener;

    void Write(const QByteArray& line);
    void SayUci();
    void SetOption(const TUciCommand& c);
    void SetPosition(const TUciCommand& c);
    void StartSearch(const TUciGo& go);
    // Stops a running search and waits for its bestmove.
    void StopSearch();
    void Release(); // lets a held search write its bestmove
    void ArmDeadline(qint64 hardMs);
    void RunSearch(TSearchLimits limits, int mateMoves);
    // On the owner's thread, after the search thread wrote its bestmove.
    void SearchEnded();
    qint64 ElapsedMs() const;

    TWriter writer_;
    std::mutex writeMutex_;

    TUciPosition position_;
    int skill_;
    bool limitStrength_ = false;
    int elo_;
    bool debug_ = false;
    bool quitAfterSearch_ = false;

    // The search thread and what it shares with the owner's thread.
    std::unique_ptr<TEngineSearch> search_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{true};
    std::atomic<qint64> softMs_{-1};
    std::atomic<std::chrono::steady_clock::rep> startTicks_{0};
    std::mutex holdMutex_;
    std::condition_variable holdWake_;
    bool hold_ = false;    // guarded by holdMutex_
    TUciGo pendingPonder_; // the clock of a "go ponder", for its ponderhit
    bool pondering_ = false;

    QTimer* deadline_ = nullptr;
};
