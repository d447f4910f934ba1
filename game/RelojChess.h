#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QLabel>
#include <QString>
#include <QTimer>

#include <functional>

// A player's chess clock: a label that counts the remaining time down in
// whole seconds, shows it as "h:mm:ss", takes ActiveColor while running,
// AlertColor while running at or below Alert seconds, InactiveColor while
// stopped, and raises OnTimeout once when the time is used up.
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
class TRelojChess : public QLabel {
    Q_OBJECT
public:
    // Milliseconds of a monotonic clock; injected by tests.
    using TTimeSource = std::function<qint64()>;

    explicit TRelojChess(QWidget* parent = nullptr);

    void Start();
    void Stop();
    bool Running() const { return m_running; }

    int Horas() const { return m_horas; }
    int Minutos() const { return m_minutos; }
    int Segundos() const { return m_segundos; }
    // Each returns false and leaves the clock unchanged when v is out of its
    // range; error then receives "Las horas deben estar entre 0 y <max>",
    // "Los minutos deben estar entre 0 y <max>" or
    // "Los segundos deben estar entre 0 y 59".
    bool SetHoras(int v, QString* error = nullptr);
    bool SetMinutos(int v, QString* error = nullptr);
    bool SetSegundos(int v, QString* error = nullptr);

    int Remaining() const { return m_remaining; }
    int Alert() const { return m_alert; }
    void SetAlert(int seconds);

    QColor ActiveColor() const { return m_activeColor; }
    QColor AlertColor() const { return m_alertColor; }
    QColor InactiveColor() const { return m_inactiveColor; }
    QColor FontColor() const { return m_fontColor; }
    void SetActiveColor(const QColor& c);
    void SetAlertColor(const QColor& c);
    void SetInactiveColor(const QColor& c);
    void SetFontColor(const QColor& c);
    // The background now shown.
    QColor BackgroundColor() const { return m_background; }

    // Raised when a running clock finds its time used up.
    std::function<void(TRelojChess* sender)> OnTimeout;

    // One tick of the one-second timer; public so tests drive the clock.
    void Tick();
    void UpdateDisplay();

    void SetTimeSource(TTimeSource source);
    // The timer, for tests that check it runs only while the clock runs.
    const QTimer& Timer() const { return m_timer; }

    // Colours given as Windows colour values (0x00BBGGRR).
    static QColor FromWinColor(quint32 bgr);

private:
    bool ApplyPart(int& part, int v, int maxValue, const QString& message, QString* error);
    void ApplyColors();
    qint64 Now() const;

    int m_horas = 0;
    int m_minutos = 15;
    int m_segundos = 0;
    int m_remaining = 900;
    int m_alert = 90;
    bool m_running = false;
    QColor m_activeColor;
    QColor m_alertColor;
    QColor m_inactiveColor;
    QColor m_fontColor;
    QColor m_background;
    QTimer m_timer;
    QElapsedTimer m_monotonic;
    TTimeSource m_timeSource;
    qint64 m_lastTickMs = 0;
    qint64 m_carryMs = 0;
};
