#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// A player's chess clock: it counts the remaining time down in whole
// seconds and raises OnTimeout once when the time is used up. It needs no
// display: TClockWidget shows one (the text "h:mm:ss" and a background that
// says whether it runs, runs low or stands still).
//
// Remaining is the clock's true state; Horas/Minutos/Segundos are its parts,
// written back by UpdateDisplay. Every change of a part recomputes Remaining
// and sets Alert to a tenth of it; a part set to its current value changes
// nothing; a value out of range is refused and leaves the clock unchanged.
// The total stays below 24 hours.
//
// Ticks come every second while running; each takes off the whole seconds
// that really passed since the last one (a monotonic clock, the part of a
// second left over carried to the next tick), so a late tick does not slow
// the clock down. A clock that reaches 0:00:00 shows it for one tick; the
// next tick stops it and raises OnTimeout. Stopping drops the part-second in
// progress, so each Start of a stopped clock begins a fresh second; a Start
// of a running clock leaves its ticks as they are.
class TRelojChess : public QObject {
    Q_OBJECT
public:
    // Milliseconds of a monotonic clock; injected by tests.
    using TTimeSource = std::function<qint64()>;

    // What a display shows as the clock's background.
    enum class TPhase { Stopped, Running, Alert };

    explicit TRelojChess(QObject* parent = nullptr);

    void Start();
    void Stop();
    bool Running() const { return running_; }
    // Running: the time left when it last started or was set; stopped: the
    // time left.
    int RemainingAtStart() const { return running_ ? startRemaining_ : remaining_; }

    int Horas() const { return horas_; }
    int Minutos() const { return minutos_; }
    int Segundos() const { return segundos_; }
    // Each returns false and leaves the clock unchanged when v is out of its
    // range; error then receives "Las horas deben estar entre 0 y <max>",
    // "Los minutos deben estar entre 0 y <max>" or
    // "Los segundos deben estar entre 0 y 59".
    bool SetHoras(int v, QString* error = nullptr);
    bool SetMinutos(int v, QString* error = nullptr);
    bool SetSegundos(int v, QString* error = nullptr);
    // Sets the clock to minutes:seconds with no hours, whatever it held
    // before (hours first: a clock left at 1:30:00 would refuse 1439
    // minutes), and the alert threshold to a tenth of the new time even when
    // the parts did not change (a clock left at 0:01:00 would otherwise alert
    // all through a new one-minute game). Out-of-range values are clamped to
    // 0..1439 minutes and 0..59 seconds.
    void SetTime(int minutes, int seconds);
    // Sets the clock from a count of seconds as a move message carries it
    // (Minutos * 60 + Segundos of the sender's clock, no hours): minutes and
    // seconds from it, the hours left as they are, so a game of an hour or
    // more keeps its hours. False, and the clock unchanged, when the count is
    // negative or would not fit the clock.
    bool SetFromMessageSeconds(int seconds);

    int Remaining() const { return remaining_; }
    int Alert() const { return alert_; }
    void SetAlert(int seconds);
    // Minutos * 60 + Segundos: what a move message carries (no hours).
    int MessageSeconds() const { return minutos_ * 60 + segundos_; }

    // The time as shown: "h:mm:ss".
    QString Text() const { return text_; }
    TPhase Phase() const;

    // Raised when a running clock finds its time used up.
    std::function<void(TRelojChess* sender)> OnTimeout;
    // Raised after every display update (text or phase may have changed).
    std::function<void(TRelojChess* sender)> OnChange;

    // One tick of the one-second timer; public so tests drive the clock.
    void Tick();
    void UpdateDisplay();

    void SetTimeSource(TTimeSource source);
    // The timer, for tests that check it runs only while the clock runs.
    const QTimer& Timer() const { return timer_; }

private:
    bool ApplyPart(int& part, int v, int maxValue, const QString& message, QString* error);
    qint64 Now() const;

    int horas_ = 0;
    int minutos_ = 15;
    int segundos_ = 0;
    int remaining_ = 900;
    int startRemaining_ = 900;
    int alert_ = 90;
    bool running_ = false;
    QString text_;
    QTimer timer_;
    QElapsedTimer monotonic_;
    TTimeSource timeSource_;
    qint64 lastTickMs_ = 0;
    qint64 carryMs_ = 0;
};
