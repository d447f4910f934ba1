// The chat window's log: the greeting, the colour of each line's leading
// segment, the 101-line limit, and the window that will not close.

#include "tst_principal_fixture.h"

#include "ChatSession.h"
#include "TcpSockets.h"

#include <QScrollBar>
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
    void lineBreaksStayInOneLine();
    void newestLineStaysInView();
    void windowRefusesToClose();
};

void TestChatLog::greeting() {
    TTestProgram t;
    const QStringList log = t.Chat().LogLines();
    QCOMPARE(log.size(), 11);
    // The machine and the address the chat's sockets use, so the address a
    // user reads out to a friend is the one the host listens on.
    TTCPServer server;
    QCOMPARE(log.at(0), "* Host: " + server.LocalHostName());
    QCOMPARE(log.at(1), QString::fromUtf8("* Dirección IP: ") + server.LocalIP());
    const QStringList assistant = {
        QString::fromUtf8(
            "Zuz Plak > ¡Hola, soy Zuz Plak, el 'celebro artificial' de ZugaretChat!"),
        "Zuz Plak > Pulsa el botón CREAR para esperar que alguien se conecte contigo",
        QString::fromUtf8("Zuz Plak > o pulsa CONECTAR para conectarte con alguien"),
        "Zuz Plak > Una vez hayas conectado con alguien ya puedes empezar a jugar",
        "Zuz Plak > dándole a PARTIDA (encima del tablero, a la izquierda)",
        "Zuz Plak > o a OBSERVAR (en esta misma ventana)",
        "Zuz Plak > Deja el ratón quieto unos segundos sobre cualquier parte del",
        QString::fromUtf8("Zuz Plak > programa y te saldrá un letrero explicando su significado"),
        "Zuz Plak > Si quieres saber más, mándame un correo a " + TFrmChat::ContactAddress(),
    };
    QCOMPARE(log.mid(2), assistant);
    QVERIFY(TFrmChat::ContactAddress().contains('@'));
    QCOMPARE(TFrmChat::GreetingLines("h", "1.2.3.4").mid(2), assistant);
    QCOMPARE(t.Chat().windowTitle(), QString("Zugaret CHAT! 2.01  [Ana]"));
    QCOMPARE(t.Chat().Session().ChatPort, QString("12121"));
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
    if (segment > 0)
        QCOMPARE(ColourAt(t.Control<QTextEdit>(t.Chat(), "FMemoChat"), segment - 1), colour);
    if (segment < line.size())
        QCOMPARE(ColourAt(t.Control<QTextEdit>(t.Chat(), "FMemoChat"), segment), QColor(0, 0, 0));
    QVERIFY(t.Control<QTextEdit>(t.Chat(), "FMemoChat")->isEnabled());
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

void TestChatLog::lineBreaksStayInOneLine() {
    TTestProgram t;
    TFrmChat& chat = t.Chat();
    const int before = chat.LogLines().size();
    // A peer's text cannot add lines of its own (a notice look-alike here).
    chat.AddChatLine("Bea > hola\r\n* Ha entrado Eva\n\r");
    QCOMPARE(chat.LogLines().size(), before + 1);
    QCOMPARE(chat.LogLines().last(), QString("Bea > hola  * Ha entrado Eva  "));
    QCOMPARE(ColourAt(t.Control<QTextEdit>(chat, "FMemoChat"), 4), QColor(236, 0, 0));
    QCOMPARE(ColourAt(t.Control<QTextEdit>(chat, "FMemoChat"), 12), QColor(0, 0, 0));
    chat.AddChatLine(QString("x") + QChar(0x2029) + "y" + QChar(0x2028) + "z");
    QCOMPARE(chat.LogLines().last(), QString("x y z"));
    // Many such lines still leave at most 101.
    for (int i = 0; i < 150; ++i)
        chat.AddChatLine("Bea > " + QString::number(i) + "\n\n\n");
    const QStringList log = chat.LogLines();
    QCOMPARE(log.size(), 101);
    QCOMPARE(log.last(), QString("Bea > 149   "));
    for (const QString& line : log)
        QVERIFY(!line.trimmed().isEmpty());
}

void TestChatLog::newestLineStaysInView() {
    TTestProgram t;
    TFrmChat& chat = t.Chat();
    QScrollBar* scroll = t.Control<QTextEdit>(chat, "FMemoChat")->verticalScrollBar();
    // The greeting was written before the window was shown; its last line
    // is in view all the same.
    QTRY_VERIFY(scroll->maximum() > 0);
    QTRY_COMPARE(scroll->value(), scroll->maximum());
    // A smaller window keeps the newest line in view.
    chat.resize(chat.width() - 60, chat.height() - 40);
    QTRY_COMPARE(scroll->value(), scroll->maximum());
    // A user who scrolled back keeps the place until a line arrives.
    scroll->setValue(0);
    chat.resize(chat.width() + 30, chat.height() + 20);
    QTRY_VERIFY(scroll->maximum() > 0);
    QCOMPARE(scroll->value(), 0);
    chat.AddChatLine("Bea > hola");
    QCOMPARE(scroll->value(), scroll->maximum());
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
