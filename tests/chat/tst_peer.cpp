// zugaret-peer: its options, and whole processes chatting over loopback,
// ended by a signal or by the host's "/kill", always through the normal
// shut-down (status 0, settings written).

#include "ChatTestUtil.h"
#include "PeerProgram.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

namespace {

// One zugaret-peer process over a folder of its own; its output collected.
struct TPeerProcess {
    QTemporaryDir dir;
    QProcess process;
    QString out;

    explicit TPeerProcess(const QStringList& arguments) {
        QFile ini(dir.path() + "/ZuzPlak.ini");
        ini.open(QIODevice::WriteOnly);
        ini.write(QuietIni);
        ini.close();
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += QString::fromUtf8(process.readAllStandardOutput()); });
        process.start(QCoreApplication::applicationDirPath() + "/zugaret-peer",
                      arguments + QStringList{"--dir", dir.path()});
    }
    ~TPeerProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool Prints(const QString& line) {
        return QTest::qWaitFor([&] { return out.contains(line + "\n"); }, 10000);
    }
    // Ends with SIGTERM; true when it ended normally with status 0.
    bool EndsCleanly(bool terminate = true) {
        if (terminate) process.terminate();
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
            return false;
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    TZugaretSettings Saved() const {
        TZugaretSettings s;
        s.Load(dir.path() + "/ZuzPlak.ini");
        return s;
    }
};

} // namespace

class TestPeer : public QObject {
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void twoProcessesChat();
    void killFromTheHostEndsCleanly();
};

void TestPeer::options_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::addColumn<QString>("summary");
    QTest::newRow("host") << QStringList{"--nick", "Luis",          "--host", "--port",
                                         "0",      "--max-clients", "50"}
                          << ""
                          << "Luis host 0 50";
    QTest::newRow("client saying twice")
        << QStringList{"--connect=10.0.0.1", "--nick", "Ana", "--say", "hola", "--say", "/list"}
        << ""
        << "Ana 10.0.0.1 12121 hola|/list";
    QTest::newRow("no nick") << QStringList{"--host"} << "--nick NICK is required"
                             << "";
    QTest::newRow("both roles") << QStringList{"--nick", "A", "--host", "--connect", "x"}
                                << "give either --host or --connect ADDR"
                                << "";
    QTest::newRow("port out of range") << QStringList{"--nick", "A", "--host", "--port", "70000"}
                                       << "not a valid N for --port: 70000"
                                       << "";
    QTest::newRow("missing value")
        << QStringList{"--nick", "A", "--host", "--quit-after"} << "--quit-after needs SECONDS"
        << "";
    QTest::newRow("unknown") << QStringList{"--nick", "A", "--host", "--observe"}
                             << "unknown option --observe"
                             << "";
}

void TestPeer::options() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(QString, summary);
    TPeerOptions o;
    QCOMPARE(ParsePeerOptions(arguments, o), error);
    if (!error.isEmpty()) return;
    QStringList got{o.Nick, o.Host ? "host" : o.Connect, QString::number(o.Port)};
    if (o.MaxClients) got << QString::number(*o.MaxClients);
    if (!o.Say.isEmpty()) got << o.Say.join('|');
    QCOMPARE(got.join(' '), summary);
    QVERIFY(PeerUsage().contains("--say TEXT"));
}

void TestPeer::twoProcessesChat() {
    TPeerProcess luis({"--nick", "Luis", "--host", "--port", "0"});
    QVERIFY(luis.Prints("nicks: Luis"));
    QVERIFY(QTest::qWaitFor([&] { return luis.out.contains("log: Servidor abierto en "); }, 10000));
    const QString port =
        QRegularExpression("Servidor abierto en [^:]*:(\\d+)\n").match(luis.out).captured(1);
    QVERIFY(!port.isEmpty());
    TPeerProcess ana({"--nick", "Ana", "--connect", "127.0.0.1", "--port", port, "--say", "hola",
                      "--say", "/msg Luis ¿qué tal?"});
    QVERIFY(luis.Prints("nicks: Ana,Luis"));
    QVERIFY(luis.Prints("log: Ana > hola"));
    QVERIFY(luis.Prints(QStringLiteral("log: Mensaje de Ana > ¿qué tal?")));
    QVERIFY(ana.Prints(QStringLiteral("log: * Mensaje enviado a Luis [¿qué tal?]")));
    QVERIFY(ana.EndsCleanly());
    QVERIFY(luis.Prints("log: * Ana abandona el chat *"));
    QVERIFY(luis.EndsCleanly());
    QCOMPARE(ana.Saved().Nick, QString("Ana"));
    QCOMPARE(luis.Saved().Nick, QString("Luis"));
}

void TestPeer::killFromTheHostEndsCleanly() {
    TPeer luis("Luis");
    QVERIFY(luis.Host());
    TPeerProcess ana({"--nick", "Ana", "--connect", "127.0.0.1", "--port", luis.Port()});
    QTRY_COMPARE_WITH_TIMEOUT(luis.Chat().NickList(), QStringList({"Ana", "Luis"}), 10000);
    QVERIFY(luis.Type("/kill Ana"));
    QVERIFY(ana.EndsCleanly(false));
    QVERIFY(ana.out.contains("log: * Ana abandona el chat [KILL por Luis]*\n"));
    QCOMPARE(ana.Saved().Nick, QString("Ana"));
    QCOMPARE(luis.Chat().NickList(), QStringList({"Luis"}));
}

QTEST_GUILESS_MAIN(TestPeer)
#include "tst_peer.moc"
