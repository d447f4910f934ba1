#include "ClockWidget.h"

#include "ChessClock.h"

#include <QFont>

TClockWidget::TClockWidget(QWidget* parent)
    : QLabel(parent), activeColor_(FromWinColor(0x00FFFF)), alertColor_(FromWinColor(6711039)),
      inactiveColor_(FromWinColor(14409425)), fontColor_(FromWinColor(0xFF0000)),
      background_(activeColor_) {
    setFont(QFont(QStringLiteral("Arial"), 18));
    setText(QStringLiteral("00:00:00"));
    ApplyColors();
}

TClockWidget::~TClockWidget() {
    if (clock_) clock_->OnChange = nullptr;
}

QColor TClockWidget::FromWinColor(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void TClockWidget::SetClock(TRelojChess* clock) {
    if (clock_) clock_->OnChange = nullptr;
    clock_ = clock;
    if (clock_) clock_->OnChange = [this](TRelojChess*) { Refresh(); };
    Refresh();
}

void TClockWidget::Refresh() {
    if (!clock_) return;
    setText(clock_->Text());
    QColor bg = inactiveColor_;
    switch (clock_->Phase()) {
    case TRelojChess::TPhase::Stopped:
        break;
    case TRelojChess::TPhase::Running:
        bg = activeColor_;
        break;
    case TRelojChess::TPhase::Alert:
        bg = alertColor_;
        break;
    }
    if (bg != background_) {
        background_ = bg;
        ApplyColors();
    }
}

void TClockWidget::SetActiveColor(const QColor& c) {
    activeColor_ = c;
    background_ = QColor();
    Refresh();
}

void TClockWidget::SetAlertColor(const QColor& c) {
    alertColor_ = c;
    background_ = QColor();
    Refresh();
}

void TClockWidget::SetInactiveColor(const QColor& c) {
    inactiveColor_ = c;
    background_ = QColor();
    Refresh();
}

void TClockWidget::SetFontColor(const QColor& c) {
    fontColor_ = c;
    ApplyColors();
}

void TClockWidget::ApplyColors() {
    // A sheet of the clock's own wins over the application's flat style.
    setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; }")
                      .arg(background_.name(), fontColor_.name()));
}
