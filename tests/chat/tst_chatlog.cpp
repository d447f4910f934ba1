// The chat window's log: the greeting, the colour of each line's leading
// segment, the 101-line limit, and the window that will not close.

#include "../game/tst_principal_fixture.h"

#include <QTextBlock>
#include <QTextEdit>

namespace {
// Colour of character i of the log's last line.
QColor ColourAt(QTextEdit* log, int i) {
    QTextBlock b = log->document()->lastBlock();
    QTextCursor c(b);
    c.setPosition(b.position() + i + 1);
    return c.charFormat().foreground().color();
}
} // namespace

class TestChatLog : public QObject {
    Q_OBJECT

private slots:
    void greeting();
    void colours_data();
    void colours();
    void blankLinesAreNotShown();
    void logKeepsAtMost101Lines();
    void windowRefusesToClose();
};

void TestChatLog::greeting() {
    TTestProgram t;
    const QStringList log = t.Chat().LogLines();
    QCOMPARE(log.size(), 11);
    QVERIFY(log.at(0).startsWith("* Host: "));
    QVERIFY(log.at(1).startsWith(QString::fromUtf8("* Dirección IP: ")));
    const QStringList greeting = TFrmChat::GreetingLines("h", "1.2.3.4");
    QCOMPARE(log.mid(2), greeting.mid(2));
    QCOMPARE(log.at(2),
             QString::fromUtf8(
                 "Zuz Plak > ¡Hola, soy Zuz Plak, el 'celebro artificial' de ZugaretChat!"));
    QVERIFY(log.last().startsWith("Zuz Plak > Si quieres saber mas mandame un mail a "));
    QCOMPARE(t.Chat().ChatPort, QString("12121"));
}

void TestChatLog::colours_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("segment");
    QTest::addColumn<QColor>("colour");
    const QColor green(0, 128, 0), purple(128, 0, 128), blue(0, 0, 255), red(255, 0, 0),
        darkRed(236, 0, 0), black(0, 0, 0);
    QTest::newRow("assistant line") << "* ZugaretCHAT > Buscando" << 15 << green;
    QTest::newRow("private message") << "Mensaje de Bea: hola" << 20 << green;
    QTest::newRow("command help") << "*  /KICK (echa a un nick)" << 9 << purple;
    QTest::newRow("command without paren") << "*  /HELP" << 0 << purple;
    QTest::newRow("notice") << "* Ha entrado Bea" << 16 << blue;
    QTest::newRow("at sign") << "@Bea te saluda" << 14 << purple;
    QTest::newRow("hash") << "# aviso" << 7 << red;
    QTest::newRow("nick line") << "Bea > hola > que tal" << 5 << darkRed;
    QTest::newRow("plain") << "hola" << 4 << black;
}

void TestChatLog::colours() {
    QFETCH(QString, line);
    QFETCH(int, segment);
    QFETCH(QColor, colour);
    TTestProgram t;
    t.Chat().AddChatLine(line);
    QCOMPARE(t.Chat().LogLines().last(), line);
    if (segment > 0) QCOMPARE(ColourAt(t.Chat().FMemoChat, segment - 1), colour);
    if (segment < line.size()) QCOMPARE(ColourAt(t.Chat().FMemoChat, segment), QColor(0, 0, 0));
    QVERIFY(t.Chat().FMemoChat->isEnabled());
}

void TestChatLog::blankLinesAreNotShown() {
    TTestProgram t;
    const int before = t.Chat().LogLines().size();
    t.Chat().AddChatLine("   ");
    t.Chat().AddChatLine("");
    QCOMPARE(t.Chat().LogLines().size(), before);
    t.Chat().AddChatLine("  sangria ");
    QCOMPARE(t.Chat().LogLines().last(), QString("  sangria "));
}

void TestChatLog::logKeepsAtMost101Lines() {
    TTestProgram t;
    for (int i = 0; i < 150; ++i)
        t.Chat().AddChatLine("linea " + QString::number(i));
    const QStringList log = t.Chat().LogLines();
    QCOMPARE(log.size(), 101);
    QCOMPARE(log.first(), QString("linea 49"));
    QCOMPARE(log.last(), QString("linea 149"));
}

void TestChatLog::windowRefusesToClose() {
    TTestProgram t;
    QVERIFY(!t.Chat().close());
    QVERIFY(t.Chat().isVisible());
    QVERIFY(!t.Partida().close());
    QVERIFY(t.Partida().isVisible());
}

QTEST_MAIN(TestChatLog)
#include "tst_chatlog.moc"
