#include "ChessClock.h"

TRelojChess::TRelojChess(QObject* parent) : QObject(parent) {
    monotonic_.start();
    timer_.setInterval(1000);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TRelojChess::Tick);
    UpdateDisplay();
}

qint64 TRelojChess::Now() const {
    return timeSource_ ? timeSource_() : monotonic_.elapsed();
}

void TRelojChess::SetTimeSource(TTimeSource source) {
    timeSource_ = std::move(source);
    lastTickMs_ = Now();
    carryMs_ = 0;
}

TRelojChess::TPhase TRelojChess::Phase() const {
    if (!running_) return TPhase::Stopped;
    return remaining_ > alert_ ? TPhase::Running : TPhase::Alert;
}

void TRelojChess::Start() {
    // Starting a clock that runs already keeps its second in progress (a
    // restarted timer would hand the player the part-second each time).
    if (!running_) startRemaining_ = remaining_;
    if (!running_ || !timer_.isActive()) {
        lastTickMs_ = Now();
        carryMs_ = 0;
        timer_.start();
    }
    running_ = true;
    UpdateDisplay();
}

void TRelojChess::Stop() {
    timer_.stop();
    running_ = false;
    UpdateDisplay();
}

void TRelojChess::Tick() {
    // Whole seconds that really passed since the last tick; a tick that
    // comes early or late moves the clock by what the monotonic clock says.
    const qint64 now = Now();
    qint64 elapsed = now - lastTickMs_ + carryMs_;
    lastTickMs_ = now;
    if (elapsed < 0) elapsed = 0;
    const qint64 seconds = elapsed / 1000;
    carryMs_ = elapsed % 1000;

    if (remaining_ > 0) {
        remaining_ = static_cast<int>(qMax<qint64>(0, remaining_ - seconds));
    } else {
        timer_.stop();
        running_ = false;
        UpdateDisplay();
        if (OnTimeout) OnTimeout(this);
        return;
    }
    UpdateDisplay();
}

void TRelojChess::UpdateDisplay() {
    if (remaining_ < 0) return;
    const int s = remaining_ % 60;
    int m = remaining_ / 60;
    int h = 0;
    if (m >= 60) {
        h = m / 60;
        m = m % 60;
    }
    text_ = QString::asprintf("%d:%02d:%02d", h, m, s);
    horas_ = h;
    minutos_ = m;
    segundos_ = s;
    if (OnChange) OnChange(this);
}

bool TRelojChess::ApplyPart(int& part, int v, int maxValue, const QString& message,
                            QString* error) {
    if (v < 0 || v > maxValue) {
        if (error) *error = message;
        return false;
    }
    if (v == part) return true;
    part = v;
    remaining_ = horas_ * 3600 + minutos_ * 60 + segundos_;
    startRemaining_ = remaining_;
    alert_ = remaining_ / 10;
    UpdateDisplay();
    return true;
}

bool TRelojChess::SetHoras(int v, QString* error) {
    const int maxValue = 23 - minutos_ / 60;
    return ApplyPart(horas_, v, maxValue,
                     QStringLiteral("Las horas deben estar entre 0 y ") + QString::number(maxValue),
                     error);
}

bool TRelojChess::SetMinutos(int v, QString* error) {
    const int maxValue = 1439 - 60 * horas_;
    return ApplyPart(
        minutos_, v, maxValue,
        QStringLiteral("Los minutos deben estar entre 0 y ") + QString::number(maxValue), error);
}

bool TRelojChess::SetSegundos(int v, QString* error) {
    return ApplyPart(segundos_, v, 59, QStringLiteral("Los segundos deben estar entre 0 y 59"),
                     error);
}

void TRelojChess::SetTime(int minutes, int seconds) {
    SetHoras(0);
    SetMinutos(qBound(0, minutes, 1439));
    SetSegundos(qBound(0, seconds, 59));
    SetAlert(remaining_ / 10);
}

bool TRelojChess::SetFromMessageSeconds(int seconds) {
    if (seconds < 0) return false;
    const int minutes = seconds / 60;
    if (minutes > 1439 - 60 * horas_) return false;
    return SetMinutos(minutes) && SetSegundos(seconds % 60);
}

void TRelojChess::SetAlert(int seconds) {
    alert_ = seconds;
    UpdateDisplay();
}
