// The face of a chess clock: its colours follow the clock's phase, its text
// the clock's time, and a clock that goes first leaves the face alone.
#include "ChessClock.h"
#include "ClockWidget.h"

#include <QTest>

#include <memory>

class TstClockWidget : public QObject {
    Q_OBJECT
private slots:
    void colours();
    void clockGoesFirst();
};

void TstClockWidget::colours() {
    qint64 now = 100000;
    TRelojChess clock;
    clock.SetTimeSource([&now] { return now; });
    TClockWidget face;
    QCOMPARE(face.ActiveColor(), QColor(Qt::yellow));
    QCOMPARE(face.AlertColor(), QColor(0xFF, 0x66, 0x66));
    QCOMPARE(face.InactiveColor(), QColor(0xD1, 0xDE, 0xDB));
    QCOMPARE(face.FontColor(), QColor(Qt::blue));
    face.SetClock(&clock);
    QCOMPARE(face.text(), QStringLiteral("0:15:00"));
    QVERIFY(clock.SetMinutos(1));
    QCOMPARE(face.BackgroundColor(), face.InactiveColor());
    clock.Start();
    QCOMPARE(face.BackgroundColor(), face.ActiveColor());
    now += 54000;
    clock.Tick();
    QCOMPARE(face.text(), QStringLiteral("0:00:06"));
    QCOMPARE(face.BackgroundColor(), face.AlertColor());
    QVERIFY(face.styleSheet().contains(face.AlertColor().name()));
    clock.Stop();
    QCOMPARE(face.BackgroundColor(), face.InactiveColor());
    face.SetInactiveColor(Qt::darkGray);
    QCOMPARE(face.BackgroundColor(), QColor(Qt::darkGray));
    QCOMPARE(TClockWidget::FromWinColor(0x800000), QColor(Qt::darkBlue)); // navy
}

void TstClockWidget::clockGoesFirst() {
    auto clock = std::make_unique<TRelojChess>();
    TClockWidget face;
    face.SetClock(clock.get());
    clock->SetTime(3, 0);
    QCOMPARE(face.text(), QStringLiteral("0:03:00"));
    clock.reset();
    QVERIFY(!face.Clock());
    face.Refresh(); // nothing to read, nothing happens
    QCOMPARE(face.text(), QStringLiteral("0:03:00"));
}

QTEST_MAIN(TstClockWidget)
#include "tst_clockwidget.moc"
