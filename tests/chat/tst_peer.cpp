// zugaret-peer: its options, and whole processes chatting over loopback,
// ended by a signal or by the host's "/kill", always through the normal
// shut-down (status 0, settings written); two engines playing each other to
// the end while a third process observes; an engine host as a practice
// partner, game after game; an external UCI engine (the scripted one) as the
// host's player, to the end or until it crashes and the host resigns.

#include "ChatTestUtil.h"
#include "PeerProgram.h"
#include "Players.h"

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
    // The chat port of a host started with --port 0.
    QString Port() {
        if (!QTest::qWaitFor([&] { return out.contains("log: Servidor abierto en "); }, 10000))
            return QString();
        return QRegularExpression("Servidor abierto en [^:]*:(\\d+)\n").match(out).captured(1);
    }
    QStringList Lines(const QString& prefix) const {
        return out.split('\n').filter(QRegularExpression("^" + prefix));
    }
    QByteArray File(const QString& name) const {
        QFile file(dir.path() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    void enginesPlayToTheEndObserved();
    void clientsPlayThroughTheHostWatched();
    void engineHostPlaysGameAfterGame();
    void externalEngineHosts_data();
    void externalEngineHosts();
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
    QTest::newRow("unknown") << QStringList{"--nick", "A", "--host", "--fly"}
                             << "unknown option --fly"
                             << "";
    // clang-format off
    QTest::newRow("engine host") << QStringList{"--nick", "Zuz", "--host", "--engine", "--depth", "3", "--accept-games", "yes", "--accept-draws", "no"} << "" << "Zuz host 12121 engine3 games";
    QTest::newRow("offering observer") << QStringList{"--nick", "Ana", "--connect", "h", "--offer", "a:b:10:black", "--observe"} << "" << "Ana h 12121 a:b/10/black observe";
    QTest::newRow("offer in another colour") << QStringList{"--nick", "A", "--host", "--offer", "Luis:5:red"} << "not a valid NICK:MINUTES:white|black for --offer: Luis:5:red" << "";
    QTest::newRow("observing host") << QStringList{"--nick", "A", "--host", "--observe"} << "--observe needs --connect ADDR" << "";
    QTest::newRow("external engine") << QStringList{"--nick", "Zuz", "--host", "--engine-cmd", "/x/e", "--engine-option", "Hash=32", "--engine-option=Skill Level = 3"} << "" << "Zuz host 12121 cmd /x/e Hash=32|Skill Level=3";
    QTest::newRow("both engines") << QStringList{"--nick", "Zuz", "--host", "--engine", "--engine-cmd", "/x/e"} << "give either --engine or --engine-cmd PATH" << "";
    QTest::newRow("option without engine") << QStringList{"--nick", "Zuz", "--host", "--engine-option", "Hash=1"} << "--engine-option needs --engine-cmd PATH" << "";
    QTest::newRow("option without value") << QStringList{"--nick", "Zuz", "--host", "--engine-cmd", "/x/e", "--engine-option", "Hash"} << "not a valid NAME=VALUE for --engine-option: Hash" << "";
    QTest::newRow("observing the room's second game") << QStringList{"--nick", "Eva", "--connect", "h", "--observe", "2", "--accept-draws", "no"} << "" << "Eva h 12121 observe2";
    QTest::newRow("observing game 3, written with =") << QStringList{"--nick", "Eva", "--connect", "h", "--observe=3"} << "" << "Eva h 12121 observe3";
    QTest::newRow("no game 0") << QStringList{"--nick", "Eva", "--connect", "h", "--observe", "0"} << "not a valid [GAME] for --observe: 0" << "";
    // clang-format on
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
    if (o.Engine) got << "engine" + QString::number(o.Depth);
    if (!o.EngineCmd.isEmpty()) {
        QStringList options;
        for (const auto& [name, value] : o.EngineOptions)
            options << QString::fromUtf8(name + "=" + value);
        got << "cmd" << o.EngineCmd << options.join('|');
    }
    if (o.AcceptGames) got << "games";
    if (o.AcceptDraws) got << "draws";
    if (o.Offer)
        got << o.Offer->Nick + "/" + QString::number(o.Offer->Minutes) + "/" +
                   (o.Offer->White ? "white" : "black");
    if (o.Observe) got << "observe" + (o.ObserveGame ? QString::number(o.ObserveGame) : QString());
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
    QVERIFY(ana.out.contains("log: * Te han echado del chat [KILL por Luis]*\n"));
    QCOMPARE(ana.Saved().Nick, QString("Ana"));
    QCOMPARE(luis.Chat().NickList(), QStringList({"Luis"}));
}

void TestPeer::enginesPlayToTheEndObserved() {
    const QStringList engine{"--engine", "--depth", "1", "--port"};
    TPeerProcess luis(QStringList{"--nick", "Luis", "--host", "--accept-games", "yes"} + engine +
                      QStringList{"0"});
    const QString port = luis.Port();
    TPeerProcess eva({"--nick", "Eva", "--connect", "127.0.0.1", "--port", port, "--observe"});
    QVERIFY(eva.Prints(QStringLiteral("box: ¿Observar una partida?")));
    TPeerProcess ana(
        QStringList{"--nick", "Ana", "--connect", "127.0.0.1", "--offer", "Luis:5:white"} + engine +
        QStringList{port});
    for (TPeerProcess* p : {&luis, &ana, &eva})
        QVERIFY(QTest::qWaitFor([p] { return p->out.contains("end: "); }, 60000));
    const QStringList played = luis.Lines("(move|end): ");
    QVERIFY(played.size() > 10);
    QCOMPARE(ana.Lines("(move|end): "), played);
    QCOMPARE(eva.Lines("(move|end): "), played);
    // Each program appends the game to its database after printing its end.
    QTRY_VERIFY_WITH_TIMEOUT(luis.File("Png/Luis.pgn").endsWith("\r\n\r\n\r\n"), 10000);
    const QByteArray record = luis.File("Png/Luis.pgn");
    QVERIFY(record.contains("[White \"Ana\"]"));
    QTRY_COMPARE_WITH_TIMEOUT(ana.File("Png/Ana.pgn"), record, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(eva.File("Png/Eva.pgn"), record, 10000);
    for (TPeerProcess* p : {&ana, &eva, &luis})
        QVERIFY(p->EndsCleanly());
}

void TestPeer::clientsPlayThroughTheHostWatched() {
    const QStringList engine{"--engine", "--depth", "1", "--port"};
    TPeerProcess luis({"--nick", "Luis", "--host", "--port", "0"});
    const QString port = luis.Port();
    TPeerProcess bea(
        QStringList{"--nick", "Bea", "--connect", "127.0.0.1", "--accept-games", "yes"} + engine +
        QStringList{port});
    QVERIFY(luis.Prints("nicks: Bea,Luis"));
    // Eva is in the room before the game can start: a game between two quick
    // engines may otherwise be over before a slow machine lets her join.
    TPeerProcess eva({"--nick", "Eva", "--connect", "127.0.0.1", "--port", port, "--observe", "1"});
    QVERIFY(luis.Prints("nicks: Bea,Eva,Luis"));
    TPeerProcess ana(
        QStringList{"--nick", "Ana", "--connect", "127.0.0.1", "--offer", "Bea:5:white"} + engine +
        QStringList{port});
    for (TPeerProcess* p : {&ana, &bea, &eva})
        QVERIFY2(QTest::qWaitFor([p] { return p->out.contains("end: "); }, 60000),
                 qPrintable(p->out.right(2000)));
    const QStringList played = ana.Lines("(move|end): ");
    QVERIFY(played.size() > 10);
    QCOMPARE(bea.Lines("(move|end): "), played);
    // Eva chose the game once it was listed: she sees it from its first move.
    QCOMPARE(eva.Lines("(move|end): "), played);
    QVERIFY(luis.Lines("(move|end): ").isEmpty());
    for (TPeerProcess* p : {&ana, &bea, &eva, &luis})
        QVERIFY(p->EndsCleanly());
}

void TestPeer::engineHostPlaysGameAfterGame() {
    TPeerProcess zuz({"--nick", "Zuz", "--host", "--engine", "--depth", "1", "--accept-games",
                      "yes", "--accept-draws", "yes", "--port", "0"});
    TPeer ana("Ana");
    ana.Chat().ChatPort = zuz.Port();
    ana.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
    ana.Chat().bConectarClick();
    QVERIFY(WaitFor([&] { return ana.Chat().Registered(); }, 10000));
    int zuzElo = 1100, anaElo = 1100;
    // Ana, playing Black, resigns the first game and offers a draw in the second.
    const QStringList ends{"end: 1-0 | Ana abandona", "end: 1/2-1/2 | Tablas por  acuerdo"};
    for (int game = 1; game <= 2; ++game) {
        ana.Chat().OfferGame("Zuz", 1, 5, ana.Game().Elo());
        QVERIFY(WaitFor(
            [&] { return ana.Game().GameInProgress() && !ana.Game().Record().isEmpty(); }, 10000));
        if (game == 1)
            ana.Game().Resign();
        else
            ana.Game().OfferDraw();
        QVERIFY(WaitFor([&] { return zuz.Lines("end: ").size() == game; }, 10000));
        QCOMPARE(zuz.Lines("end: ").last(), ends.at(game - 1));
        const int zuzScore = game == 1 ? 100 : 50, before = zuzElo;
        zuzElo = NewElo(zuzElo, anaElo, zuzScore);
        anaElo = NewElo(anaElo, before, 100 - zuzScore);
        QVERIFY(WaitFor([&] { return !ana.Game().GameInProgress(); }));
        QCOMPARE(ana.Game().Elo(), anaElo);
        QCOMPARE(zuz.Saved().Elo, zuzElo); // kept after each game
    }
    QVERIFY(zuz.EndsCleanly());
}

void TestPeer::externalEngineHosts_data() {
    QTest::addColumn<QString>("script"); // the scripted engine's
    QTest::addColumn<QString>("end");    // how the host's game ends; empty: any result
    QTest::addColumn<QString>("said");   // an "engine: " line the host prints
    QTest::newRow("to the end") << "--name Guion"
                                << ""
                                << "engine: Guion ready";
    QTest::newRow("crashes: the host resigns")
        << "--crash-at 3"
        << "end: 1-0 | Zuz abandona" << QString::fromUtf8("se ha caído");
}

void TestPeer::externalEngineHosts() {
    QFETCH(QString, script);
    QFETCH(QString, end);
    QFETCH(QString, said);
    qputenv("ZUGARET_FAKE_UCI", script.toLatin1());
    TPeerProcess zuz({"--nick", "Zuz", "--host", "--accept-games", "yes", "--port", "0",
                      "--engine-cmd", QCoreApplication::applicationDirPath() + "/zugaret-fake-uci",
                      "--engine-option", "Hash=8"});
    const QString port = zuz.Port();
    TPeerProcess ana({"--nick", "Ana", "--connect", "127.0.0.1", "--port", port, "--offer",
                      "Zuz:5:white", "--engine", "--depth", "1"});
    for (TPeerProcess* p : {&zuz, &ana})
        QVERIFY(QTest::qWaitFor([p] { return p->out.contains("end: "); }, 60000));
    QVERIFY2(zuz.out.contains(said), qPrintable(zuz.out.right(2000)));
    const QStringList ends = zuz.Lines("end: ");
    if (!end.isEmpty()) QCOMPARE(ends.first(), end);
    QVERIFY(zuz.Lines("move: ").size() >= 4); // the engine's moves reached the game
    QCOMPARE(ana.Lines("(move|end): "), zuz.Lines("(move|end): "));
    QTRY_VERIFY_WITH_TIMEOUT(zuz.File("Png/Zuz.pgn").contains("[Black \"Zuz\"]"), 10000);
    for (TPeerProcess* p : {&ana, &zuz})
        QVERIFY(p->EndsCleanly());
}

QTEST_GUILESS_MAIN(TestPeer)
#include "tst_peer.moc"
