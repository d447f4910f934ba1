// Where the docked chat and record windows go: beside the main window, on
// its screen, never over each other.
#include "WindowPlacement.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<QRect>)

class TstWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void onScreen_data();
    void onScreen();
};

void TstWindowPlacement::placement_data() {
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<bool>("chatVisible");
    QTest::addColumn<bool>("recordVisible");
    QTest::addColumn<QRect>("chat");   // expected; null when not docked
    QTest::addColumn<QRect>("record"); // expected; null when not shown
    const QRect screen(0, 0, 1600, 1000);
    const QRect main(100, 50, 360, 480);
    // Chat 420 x 300, record 200 x 400 (minimum height 120).
    QTest::newRow("both, room under the chat")
        << main << screen << true << true << QRect(460, 50, 420, 300) << QRect(460, 350, 200, 400);
    QTest::newRow("chat only") << main << screen << true << false << QRect(460, 50, 420, 300)
                               << QRect();
    QTest::newRow("record only") << main << screen << false << true << QRect()
                                 << QRect(460, 50, 200, 400);
    QTest::newRow("short screen: record right of the chat")
        << main << QRect(0, 0, 1600, 600) << true << true << QRect(460, 50, 420, 300)
        << QRect(880, 50, 200, 400);
    QTest::newRow("main at the right edge: both to its left")
        << QRect(1300, 50, 300, 480) << QRect(0, 0, 1600, 600) << true << true
        << QRect(880, 50, 420, 300) << QRect(680, 50, 200, 400);
    QTest::newRow("main at the right edge, tall screen: record under the chat")
        << QRect(1300, 50, 300, 480) << screen << true << true << QRect(880, 50, 420, 300)
        << QRect(880, 350, 200, 400);
    QTest::newRow("main maximised: nothing docked")
        << screen << screen << true << true << QRect() << QRect();
    QTest::newRow("main enlarged, no room on either side")
        << QRect(100, 0, 1400, 900) << screen << true << true << QRect() << QRect();
    QTest::newRow("room for the record only")
        << QRect(0, 0, 1300, 900) << screen << true << true << QRect() << QRect(1300, 0, 200, 400);
    QTest::newRow("record left of main")
        << QRect(400, 50, 300, 480) << QRect(0, 0, 1200, 600) << true << true
        << QRect(700, 50, 420, 300) << QRect(200, 50, 200, 400);
    QTest::newRow("nowhere whole: record shortened under the chat")
        << QRect(0, 0, 360, 480) << QRect(0, 0, 800, 500) << true << true << QRect(360, 0, 420, 300)
        << QRect(360, 300, 200, 200);
    QTest::newRow("not even its minimum: off the foot, not over the chat")
        << QRect(0, 0, 360, 480) << QRect(0, 0, 800, 380) << true << true << QRect(360, 0, 420, 300)
        << QRect(360, 300, 200, 120);
    QTest::newRow("second screen to the right")
        << QRect(1700, 100, 360, 480) << QRect(1600, 0, 1280, 1024) << true << true
        << QRect(2060, 100, 420, 300) << QRect(2060, 400, 200, 400);
    QTest::newRow("main above the screen top")
        << QRect(100, -200, 360, 480) << screen << true << true << QRect(460, 0, 420, 300)
        << QRect(460, 300, 200, 400);
}

void TstWindowPlacement::placement() {
    QFETCH(QRect, main);
    QFETCH(QRect, screen);
    QFETCH(bool, chatVisible);
    QFETCH(bool, recordVisible);
    QFETCH(QRect, chat);
    QFETCH(QRect, record);
    TDockRequest r;
    r.Main = main;
    r.Screen = screen;
    r.ChatVisible = chatVisible;
    r.Chat = QSize(420, 300);
    r.RecordVisible = recordVisible;
    r.Record = QSize(200, 400);
    r.RecordMinHeight = 120;
    const TDockPlacement p = PlaceDockedWindows(r);
    QCOMPARE(p.Chat.value_or(QRect()), chat);
    QCOMPARE(p.Record.value_or(QRect()), record);
    if (p.Chat && p.Record) QVERIFY(!p.Chat->intersects(*p.Record));
    for (const std::optional<QRect>& docked : {p.Chat, p.Record})
        if (docked) QVERIFY(!docked->intersects(main));
}

void TstWindowPlacement::onScreen_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("placed");
    QTest::newRow("centred over a narrow main window")
        << QRect(-60, 100, 420, 300) << QPoint(0, 100);
    QTest::newRow("past the right and the foot") << QRect(1400, 900, 420, 300) << QPoint(1180, 700);
    QTest::newRow("already on screen") << QRect(10, 20, 100, 100) << QPoint(10, 20);
    QTest::newRow("larger than the screen") << QRect(-5, -5, 2000, 1200) << QPoint(0, 0);
}

void TstWindowPlacement::onScreen() {
    QFETCH(QRect, frame);
    QTEST(PlaceOnScreen(frame, QRect(0, 0, 1600, 1000)), "placed");
}

QTEST_APPLESS_MAIN(TstWindowPlacement)
#include "tst_windowplacement.moc"
