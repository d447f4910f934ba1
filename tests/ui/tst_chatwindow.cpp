// Two complete programs chatting from their windows over loopback: the
// buttons, the input line, the nick list, the titles, and "/kill" closing the
// other program through its main window (settings saved).

#include "tst_principal_fixture.h"

#include "ChatSession.h"
#include "QtDialogs.h"
#include "TcpSockets.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTextDocument>
#include <QTextEdit>

namespace {
const QByteArray QuietUrl = "[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n";

QStringList Items(QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}
} // namespace

class TestChatWindow : public QObject {
    Q_OBJECT
private slots:
    void twoWindowsChat();
    void nickClashAnsweredInTheRealDialogs();
    void nickListToolTipShowsMarkupAsText();
    void twelveLinesOfLog_data();
    void twelveLinesOfLog();
};

void TestChatWindow::twoWindowsChat() {
    TTestProgram luis("Luis", QuietUrl), ana("Ana", QuietUrl);
    luis.Chat().Session().ChatPort = "0";
    QTest::mouseClick(luis.Control<QPushButton>(luis.Chat(), "bCrear"), Qt::LeftButton);
    QCOMPARE(luis.Game().Role(), TRole::Server);
    QVERIFY(!luis.Chat().CreateEnabled() && !luis.Chat().ConnectEnabled());
    QVERIFY(luis.Control<QPushButton>(luis.Chat(), "bDesconectar")->isEnabled());
    QVERIFY(luis.Chat().windowTitle().endsWith("] Esperando conexiones"));

    TTCPServer& server = luis.Chat().Session().Server();
    ana.Chat().Session().ChatPort = server.LocalPort(server.SocketHandle());
    ana.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
    QTest::mouseClick(ana.Control<QPushButton>(ana.Chat(), "bConectar"), Qt::LeftButton);
    QListWidget* luisNicks = luis.Control<QListWidget>(luis.Chat(), "FListaNick");
    QTRY_COMPARE(Items(luisNicks), QStringList({"Ana", "Luis"}));
    QTRY_COMPARE(Items(ana.Control<QListWidget>(ana.Chat(), "FListaNick")),
                 QStringList({"Ana", "Luis"}));
    QVERIFY(ana.Chat().windowTitle().endsWith("] Conectado a 127.0.0.1"));
    QVERIFY(luis.Chat().windowTitle().endsWith("] 1 Cliente(s) conectado(s)"));
    QVERIFY(ana.Control<QPushButton>(ana.Chat(), "bObservar")->isEnabled());
    // "Observar" asks; the host answers with its board.
    ana.dialogs.AnswerYes(TQuestion::Observe);
    QTest::mouseClick(ana.Control<QPushButton>(ana.Chat(), "bObservar"), Qt::LeftButton);
    QTRY_COMPARE(ana.Game().Role(), TRole::Observer);
    QTRY_VERIFY(ana.Game().GameInProgress());

    QLineEdit* edit = ana.Control<QLineEdit>(ana.Chat(), "FMsgEdit");
    QTest::keyClicks(edit, QStringLiteral("¡hola!"));
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(ana.Chat().LogLines().last(), QStringLiteral("Ana > ¡hola!"));
    QTRY_COMPARE(luis.Chat().LogLines().last(), QStringLiteral("Ana > ¡hola!"));
    // A private message without a nick stays in the line for correction.
    QTest::keyClicks(edit, "/msg");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), QString("/msg"));

    QString kill = "/kill Ana";
    QVERIFY(luis.Chat().Session().FMsgEditKeyPress(kill, QChar(13)));
    QTRY_VERIFY(!ana.Main().isVisible());
    TZugaretSettings saved;
    QVERIFY(saved.Load(ana.env->IniFile()));
    QCOMPARE(saved.Nick, QString("Ana"));
    QCOMPARE(Items(luisNicks), QStringList({"Luis"}));
}

// The user's own sequence, with the real dialogs: "Conectar" is refused for
// a nick in use, the new nick is typed while the refused connection is torn
// down, and "Conectar" again registers it. The program keeps running.
void TestChatWindow::nickClashAnsweredInTheRealDialogs() {
    TTestProgram luis("Luis", QuietUrl), late("luis", QuietUrl);
    luis.Chat().Session().ChatPort = "0";
    luis.Chat().Session().bCrearClick();
    TTCPServer& server = luis.Chat().Session().Server();
    late.Chat().Session().ChatPort = server.LocalPort(server.SocketHandle());
    TQtDialogs real(&late.Chat());
    late.env->SetDialogs(&real);
    // Types into the input box of the question of that kind, once it shows.
    auto type = [&real](TQuestion question, const QString& text) {
        QInputDialog* box = nullptr;
        if (!QTest::qWaitFor([&] {
                const QList<TQuestionId> open = real.OpenQuestions(question);
                box =
                    open.isEmpty() ? nullptr : qobject_cast<QInputDialog*>(real.DialogOf(open[0]));
                return box && box->isVisible();
            }))
            return false;
        auto* edit = box->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        return true;
    };
    auto* conectar = late.Control<QPushButton>(late.Chat(), "bConectar");
    QTest::mouseClick(conectar, Qt::LeftButton);
    QVERIFY(type(TQuestion::ConnectAddress, "127.0.0.1"));
    QVERIFY(type(TQuestion::NewNick, "Nuevo"));
    QTRY_VERIFY(conectar->isEnabled());
    QCOMPARE(late.Game().Nick(), QString("Nuevo"));
    QTest::mouseClick(conectar, Qt::LeftButton);
    QVERIFY(type(TQuestion::ConnectAddress, "127.0.0.1"));
    QTRY_VERIFY(late.Chat().Session().Registered());
    QTRY_COMPARE(Items(luis.Control<QListWidget>(luis.Chat(), "FListaNick")),
                 QStringList({"Luis", "Nuevo"}));
    QVERIFY(late.Chat().windowTitle().startsWith("Nuevo ["));
    QVERIFY(late.Main().isVisible() && late.Chat().isVisible());
    QCOMPARE(real.OpenCount(), 0);
    late.env->SetDialogs(&late.dialogs);
}

void TestChatWindow::nickListToolTipShowsMarkupAsText() {
    TTestProgram luis("<i>Luis</i>", QuietUrl);
    luis.Chat().Session().ChatPort = "0";
    QTest::mouseClick(luis.Control<QPushButton>(luis.Chat(), "bCrear"), Qt::LeftButton);
    QListWidget* nicks = luis.Control<QListWidget>(luis.Chat(), "FListaNick");
    QTRY_COMPARE(nicks->count(), 1);
    QTextDocument shown;
    shown.setHtml(nicks->item(0)->toolTip());
    QCOMPARE(shown.toPlainText(), QString("<i>Luis</i>"));
}

void TestChatWindow::twelveLinesOfLog_data() {
    QTest::addColumn<int>("stored"); // the height kept in the ini file
    QTest::newRow("the first start's height") << 150;
    QTest::newRow("a low height kept") << 100;
    QTest::newRow("a tall one") << 700;
}

void TestChatWindow::twelveLinesOfLog() {
    QFETCH(int, stored);
    TTestProgram t("Ana", QuietUrl + "[Chat]\r\nHeight=" + QByteArray::number(stored) + "\r\n");
    auto* log = t.Control<QTextEdit>(t.Chat(), "FMemoChat");
    QVERIFY(t.Chat().isVisible());
    const int line = QFontMetrics(log->font()).lineSpacing();
    QVERIFY2(log->viewport()->height() >= 12 * line,
             qPrintable(QString("%1 < 12 x %2").arg(log->viewport()->height()).arg(line)));
    QVERIFY(t.Chat().height() >=
            qMin(stored, t.Chat().screen()->availableGeometry().height() - 40));
}

QTEST_MAIN(TestChatWindow)
#include "tst_chatwindow.moc"
