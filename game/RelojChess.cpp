#include "RelojChess.h"

#include <QFont>

TRelojChess::TRelojChess(QWidget* parent)
    : QLabel(parent), m_activeColor(FromWinColor(0x00FFFF)), m_alertColor(FromWinColor(6711039)),
      m_inactiveColor(FromWinColor(14409425)), m_fontColor(FromWinColor(0xFF0000)),
      m_background(m_activeColor) {
    m_monotonic.start();
    m_timer.setInterval(1000);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TRelojChess::Tick);

    setFont(QFont(QStringLiteral("Arial"), 18));
    setText(QStringLiteral("00:00:00"));
    ApplyColors();
    UpdateDisplay();
}

QColor TRelojChess::FromWinColor(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

qint64 TRelojChess::Now() const {
    return m_timeSource ? m_timeSource() : m_monotonic.elapsed();
}

void TRelojChess::SetTimeSource(TTimeSource source) {
    m_timeSource = std::move(source);
    m_lastTickMs = Now();
    m_carryMs = 0;
}

void TRelojChess::Start() {
    // Starting a clock that runs already keeps its second in progress (a
    // restarted timer would hand the player the part-second each time).
    if (!m_running || !m_timer.isActive()) {
        m_lastTickMs = Now();
        m_carryMs = 0;
        m_timer.start();
    }
    m_running = true;
    UpdateDisplay();
}

void TRelojChess::Stop() {
    m_timer.stop();
    m_running = false;
    UpdateDisplay();
}

void TRelojChess::Tick() {
    // Whole seconds that really passed since the last tick; a tick that
    // comes early or late moves the clock by what the monotonic clock says.
    const qint64 now = Now();
    qint64 elapsed = now - m_lastTickMs + m_carryMs;
    m_lastTickMs = now;
    if (elapsed < 0) elapsed = 0;
    const qint64 seconds = elapsed / 1000;
    m_carryMs = elapsed % 1000;

    if (m_remaining > 0) {
        m_remaining = static_cast<int>(qMax<qint64>(0, m_remaining - seconds));
    } else {
        m_timer.stop();
        m_running = false;
        UpdateDisplay();
        if (OnTimeout) OnTimeout(this);
        return;
    }
    UpdateDisplay();
}

void TRelojChess::UpdateDisplay() {
    if (m_remaining < 0) return;
    const int s = m_remaining % 60;
    int m = m_remaining / 60;
    int h = 0;
    if (m >= 60) {
        h = m / 60;
        m = m % 60;
    }
    setText(QString::asprintf("%d:%02d:%02d", h, m, s));
    m_horas = h;
    m_minutos = m;
    m_segundos = s;
    QColor bg = m_inactiveColor;
    if (m_running) bg = m_remaining > m_alert ? m_activeColor : m_alertColor;
    if (bg != m_background) {
        m_background = bg;
        ApplyColors();
    }
}

bool TRelojChess::ApplyPart(int& part, int v, int maxValue, const QString& message,
                            QString* error) {
    if (v < 0 || v > maxValue) {
        if (error) *error = message;
        return false;
    }
    if (v == part) return true;
    part = v;
    m_remaining = m_horas * 3600 + m_minutos * 60 + m_segundos;
    m_alert = m_remaining / 10;
    UpdateDisplay();
    return true;
}

bool TRelojChess::SetHoras(int v, QString* error) {
    const int maxValue = 23 - m_minutos / 60;
    return ApplyPart(m_horas, v, maxValue,
                     QStringLiteral("Las horas deben estar entre 0 y ") + QString::number(maxValue),
                     error);
}

bool TRelojChess::SetMinutos(int v, QString* error) {
    const int maxValue = 1439 - 60 * m_horas;
    return ApplyPart(
        m_minutos, v, maxValue,
        QStringLiteral("Los minutos deben estar entre 0 y ") + QString::number(maxValue), error);
}

bool TRelojChess::SetSegundos(int v, QString* error) {
    return ApplyPart(m_segundos, v, 59, QStringLiteral("Los segundos deben estar entre 0 y 59"),
                     error);
}

void TRelojChess::SetAlert(int seconds) {
    m_alert = seconds;
    UpdateDisplay();
}

void TRelojChess::SetActiveColor(const QColor& c) {
    m_activeColor = c;
    m_background = QColor();
    UpdateDisplay();
}

void TRelojChess::SetAlertColor(const QColor& c) {
    m_alertColor = c;
    m_background = QColor();
    UpdateDisplay();
}

void TRelojChess::SetInactiveColor(const QColor& c) {
    m_inactiveColor = c;
    m_background = QColor();
    UpdateDisplay();
}

void TRelojChess::SetFontColor(const QColor& c) {
    m_fontColor = c;
    ApplyColors();
}

void TRelojChess::ApplyColors() {
    // A sheet of the clock's own wins over the application's flat style.
    setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; }")
                      .arg(m_background.name(), m_fontColor.name()));
}
