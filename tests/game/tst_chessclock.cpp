// The chess clock: ranges and their messages, the parts as a view of the
// remaining time, alert threshold and colours, ticks by real elapsed time
// (an injected clock, so no test sleeps) and the time-out after one tick at
// 0:00:00.
#include "ChessClock.h"

#include <QTest>

class TstRelojChess : public QObject {
    Q_OBJECT
private slots:
    void init();
    void startState();
    void setters_data();
    void setters();
    void settingTheSameValueChangesNothing();
    void timeoutAfterOneTickAtZero();
    void lateTickTakesTheRealSeconds();
    void partSecondsCarryOver();
    void stopDropsThePartSecond();
    void startingARunningClockKeepsItsSecond();
    void phases();
    void messageSeconds();

private:
    void Drive(TRelojChess& clock, qint64 ms) {
        now_ += ms;
        clock.Tick();
    }
    qint64 now_ = 0;
};

void TstRelojChess::init() {
    now_ = 100000;
}

void TstRelojChess::startState() {
    TRelojChess clock;
    QCOMPARE(clock.Remaining(), 900);
    QCOMPARE(clock.Alert(), 90);
    QCOMPARE(clock.Text(), QStringLiteral("0:15:00"));
    QCOMPARE(clock.Minutos(), 15);
    QVERIFY(!clock.Running());
    QVERIFY(!clock.Timer().isActive());
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Stopped);
}

// Each row: the clock starts at 0:15:00 (or as prepared by "hours first"),
// one part is set; success, message, and the state after.
void TstRelojChess::setters_data() {
    QTest::addColumn<int>("presetHours");
    QTest::addColumn<int>("presetMinutes");
    QTest::addColumn<QString>("part");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<QString>("text");

    QTest::newRow("90 minutes") << 0 << 15 << "m" << 90 << true << "" << 5400 << "1:30:00";
    QTest::newRow("1400 minutes") << 0 << 15 << "m" << 1400 << true << "" << 84000 << "23:20:00";
    QTest::newRow("1439 minutes") << 0 << 15 << "m" << 1439 << true << "" << 86340 << "23:59:00";
    QTest::newRow("1440 minutes") << 0 << 15 << "m" << 1440 << false
                                  << "Los minutos deben estar entre 0 y 1439" << 900 << "0:15:00";
    QTest::newRow("minutes under 2 hours")
        << 2 << 0 << "m" << 1320 << false << "Los minutos deben estar entre 0 y 1319" << 7200
        << "2:00:00";
    QTest::newRow("23 hours with 59 minutes")
        << 0 << 59 << "h" << 23 << true << "" << 86340 << "23:59:00";
    QTest::newRow("24 hours") << 0 << 59 << "h" << 24 << false
                              << "Las horas deben estar entre 0 y 23" << 3540 << "0:59:00";
    QTest::newRow("negative hours") << 0 << 15 << "h" << -1 << false
                                    << "Las horas deben estar entre 0 y 23" << 900 << "0:15:00";
    QTest::newRow("59 seconds") << 0 << 15 << "s" << 59 << true << "" << 959 << "0:15:59";
    QTest::newRow("60 seconds") << 0 << 15 << "s" << 60 << false
                                << "Los segundos deben estar entre 0 y 59" << 900 << "0:15:00";
}

void TstRelojChess::setters() {
    QFETCH(int, presetHours);
    QFETCH(int, presetMinutes);
    QFETCH(QString, part);
    QFETCH(int, value);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(int, remaining);
    QFETCH(QString, text);

    TRelojChess clock;
    QVERIFY(clock.SetMinutos(presetMinutes));
    QVERIFY(clock.SetHoras(presetHours));
    const int alertBefore = clock.Alert();

    QString error;
    bool result = false;
    if (part == QLatin1String("h"))
        result = clock.SetHoras(value, &error);
    else if (part == QLatin1String("m"))
        result = clock.SetMinutos(value, &error);
    else
        result = clock.SetSegundos(value, &error);

    QCOMPARE(result, ok);
    QCOMPARE(error, message);
    QCOMPARE(clock.Remaining(), remaining);
    QCOMPARE(clock.Text(), text);
    QCOMPARE(clock.Alert(), ok ? remaining / 10 : alertBefore);
    QCOMPARE(clock.Horas() * 3600 + clock.Minutos() * 60 + clock.Segundos(), remaining);
}

void TstRelojChess::settingTheSameValueChangesNothing() {
    TRelojChess clock;
    QVERIFY(clock.SetMinutos(1));
    clock.SetAlert(3);
    // The parts are a view: after a tick the remaining time moved but the
    // parts follow it, so setting a part to its shown value keeps both.
    clock.SetTimeSource([this] { return now_; });
    clock.Start();
    Drive(clock, 1000);
    QCOMPARE(clock.Remaining(), 59);
    QVERIFY(clock.SetSegundos(59));
    QVERIFY(clock.SetMinutos(0));
    QCOMPARE(clock.Remaining(), 59);
    QCOMPARE(clock.Alert(), 3);
}

void TstRelojChess::timeoutAfterOneTickAtZero() {
    TRelojChess clock;
    clock.SetTimeSource([this] { return now_; });
    QVERIFY(clock.SetMinutos(0));
    QVERIFY(clock.SetSegundos(2));
    int timeouts = 0;
    TRelojChess* sender = nullptr;
    clock.OnTimeout = [&](TRelojChess* s) {
        ++timeouts;
        sender = s;
    };
    clock.Start();
    QVERIFY(clock.Timer().isActive());
    Drive(clock, 1000);
    QCOMPARE(clock.Text(), QStringLiteral("0:00:01"));
    Drive(clock, 1000);
    QCOMPARE(clock.Text(), QStringLiteral("0:00:00"));
    QCOMPARE(timeouts, 0);
    QVERIFY(clock.Running());
    Drive(clock, 1000);
    QCOMPARE(timeouts, 1);
    QCOMPARE(sender, &clock);
    QVERIFY(!clock.Running());
    QVERIFY(!clock.Timer().isActive());
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Stopped);
    QCOMPARE(clock.Text(), QStringLiteral("0:00:00"));
}

void TstRelojChess::lateTickTakesTheRealSeconds() {
    TRelojChess clock;
    clock.SetTimeSource([this] { return now_; });
    clock.Start();
    Drive(clock, 4200); // a busy GUI thread held the tick back
    QCOMPARE(clock.Remaining(), 896);
    Drive(clock, 800); // the 200 ms left over make this one a whole second
    QCOMPARE(clock.Remaining(), 895);

    // A stall longer than the time left stops at 0:00:00 without a time-out;
    // the next tick raises it.
    QVERIFY(clock.SetMinutos(0));
    QVERIFY(clock.SetSegundos(3));
    int timeouts = 0;
    clock.OnTimeout = [&](TRelojChess*) { ++timeouts; };
    Drive(clock, 10000);
    QCOMPARE(clock.Remaining(), 0);
    QCOMPARE(clock.Text(), QStringLiteral("0:00:00"));
    QCOMPARE(timeouts, 0);
    Drive(clock, 1000);
    QCOMPARE(timeouts, 1);
}

void TstRelojChess::partSecondsCarryOver() {
    TRelojChess clock;
    clock.SetTimeSource([this] { return now_; });
    clock.Start();
    Drive(clock, 990); // an early tick takes nothing yet
    QCOMPARE(clock.Remaining(), 900);
    Drive(clock, 1010);
    QCOMPARE(clock.Remaining(), 898);
    // A monotonic clock never runs back, but a bad source must not add time.
    Drive(clock, -5000);
    QCOMPARE(clock.Remaining(), 898);
}

void TstRelojChess::stopDropsThePartSecond() {
    TRelojChess clock;
    clock.SetTimeSource([this] { return now_; });
    clock.Start();
    Drive(clock, 1700);
    QCOMPARE(clock.Remaining(), 899);
    clock.Stop();
    now_ += 60000; // stopped time does not count
    clock.Start();
    Drive(clock, 1000);
    QCOMPARE(clock.Remaining(), 898);
}

void TstRelojChess::startingARunningClockKeepsItsSecond() {
    TRelojChess clock;
    clock.SetTimeSource([this] { return now_; });
    clock.Start();
    // A move received while this clock runs starts it again: no time is given back.
    for (int i = 0; i < 5; ++i) {
        now_ += 700;
        clock.Start();
        QVERIFY(clock.Running());
    }
    Drive(clock, 0); // 3500 ms since the first Start
    QCOMPARE(clock.Remaining(), 897);
    QVERIFY(clock.Timer().isActive());
}

void TstRelojChess::phases() {
    TRelojChess clock;
    clock.SetTimeSource([this] { return now_; });
    int changes = 0;
    clock.OnChange = [&changes](TRelojChess*) { ++changes; };
    QVERIFY(clock.SetMinutos(1)); // alert at 6 seconds
    QCOMPARE(clock.Alert(), 6);
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Stopped);
    clock.Start();
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Running);
    Drive(clock, 53000);
    QCOMPARE(clock.Remaining(), 7);
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Running);
    Drive(clock, 1000);
    QCOMPARE(clock.Remaining(), 6);
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Alert);
    clock.Stop();
    QCOMPARE(clock.Phase(), TRelojChess::TPhase::Stopped);
    QCOMPARE(clock.Text(), QStringLiteral("0:00:06"));
    QVERIFY(changes >= 5); // every display update is announced
}

// Setting from a move message's seconds keeps the hours (the message carries
// none) and refuses what does not fit; SetTime clears the hours.
void TstRelojChess::messageSeconds() {
    TRelojChess clock;
    clock.SetTime(90, 0);
    QCOMPARE(clock.Text(), QStringLiteral("1:30:00"));
    QCOMPARE(clock.MessageSeconds(), 1800);
    QVERIFY(clock.SetFromMessageSeconds(29 * 60 + 58));
    QCOMPARE(clock.Text(), QStringLiteral("1:29:58"));
    QVERIFY(!clock.SetFromMessageSeconds(-1));
    QVERIFY(!clock.SetFromMessageSeconds(86399));
    QCOMPARE(clock.Text(), QStringLiteral("1:29:58"));
    clock.SetTime(5, 7);
    QCOMPARE(clock.Text(), QStringLiteral("0:05:07"));
    QCOMPARE(clock.Alert(), 30);
    clock.SetTime(5000, 99); // clamped to the clock's range
    QCOMPARE(clock.Text(), QStringLiteral("23:59:59"));
}

QTEST_MAIN(TstRelojChess)
#include "tst_chessclock.moc"
