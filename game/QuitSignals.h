#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGINT and SIGTERM (Ctrl+C in a terminal, a desktop logging out)
// into a call of OnQuit on the event loop, so the program ends through its
// normal shut-down (settings and rating saved) instead of being cut off.
//
// A signal handler is the one thing of a process that cannot be per
// program: it writes one byte into a pipe that the one TQuitSignals of the
// process watches. Create it first thing in main(), before anything that
// takes time, so that an early signal waits in the pipe for the event loop.
// A second instance while one lives is refused: it watches nothing.
class TQuitSignals : public QObject {
    Q_OBJECT
public:
    explicit TQuitSignals(QObject* parent = nullptr);
    ~TQuitSignals() override;

    // The signal that arrived last (SIGINT or SIGTERM), 0 before any.
    int LastSignal() const { return lastSignal_; }

    std::function<void()> OnQuit;

private:
    void Drain();

    QSocketNotifier* notifier_ = nullptr;
    int lastSignal_ = 0;
};
