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
    QTest::newRow("main at the right edge: chat pulled on screen, record shortened")
        << QRect(1300, 50, 300, 480) << QRect(0, 0, 1600, 600) << true << true
        << QRect(1180, 50, 420, 300) << QRect(1180, 350, 200, 250);
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
}

QTEST_APPLESS_MAIN(TstWindowPlacement)
#include "tst_windowplacement.moc"
