#pragma once

#include "ChessClock.h"

#include <QColor>
#include <QLabel>
#include <QPointer>

// The face of a chess clock: a label that shows a TRelojChess's time and
// takes ActiveColor while it runs, AlertColor while it runs at or below its
// alert threshold, InactiveColor while it stands still. The clock is not
// owned and may go first; the face then keeps its last look.
class TClockWidget : public QLabel {
    Q_OBJECT
public:
    explicit TClockWidget(QWidget* parent = nullptr);
    ~TClockWidget() override;

    // Shows clock from now on (nullptr: nothing).
    void SetClock(TRelojChess* clock);
    TRelojChess* Clock() const { return clock_; }

    QColor ActiveColor() const { return activeColor_; }
    QColor AlertColor() const { return alertColor_; }
    QColor InactiveColor() const { return inactiveColor_; }
    QColor FontColor() const { return fontColor_; }
    void SetActiveColor(const QColor& c);
    void SetAlertColor(const QColor& c);
    void SetInactiveColor(const QColor& c);
    void SetFontColor(const QColor& c);
    // The background now shown.
    QColor BackgroundColor() const { return background_; }

    // Colours given as Windows colour values (0x00BBGGRR).
    static QColor FromWinColor(quint32 bgr);

    // Reads the clock again (called on every change of it).
    void Refresh();

private:
    void ApplyColors();

    QPointer<TRelojChess> clock_;
    QColor activeColor_;
    QColor alertColor_;
    QColor inactiveColor_;
    QColor fontColor_;
    QColor background_;
};
