// The external-engine client against the scripted engine: a move asked and
// answered, every way an engine can fail, the options and strength it is
// given, and a cancelled search whose late answer is dropped.
#include "UciClient.h"
#include "UciPosition.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 30000; // the sanitizer build on a busy machine is slow

QString FakeEngine() {
    return QCoreApplication::applicationDirPath() + "/zugaret-fake-uci";
}

TUciGo MoveTime(qint64 ms) {
    TUciGo go;
    go.movetime = ms;
    return go;
}

// Quick deadlines so that a silent engine is caught within the test.
TUciClient::TLimits QuickLimits() {
    TUciClient::TLimits l;
    l.HandshakeMs = 4000;
    l.MarginMs = 1500;
    l.MaxLinesPerMove = 2000;
    return l;
}

} // namespace

class TstUciClient : public QObject {
    Q_OBJECT
private slots:
    void answersOrFails_data();
    void answersOrFails();
    void optionsAndStrength_data();
    void optionsAndStrength();
    void cancelledSearchIsDropped();
};

void TstUciClient::answersOrFails_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("goes");      // moves asked, one after the other
    QTest::addColumn<QString>("fault"); // empty: every move answered
    const QString fake = FakeEngine();
    QTest::newRow("plays") << fake << QStringList{} << 3 << "";
    QTest::newRow("missing program")
        << fake + "-missing" << QStringList{} << 1 << "No se pudo arrancar el motor";
    QTest::newRow("silent at the greeting")
        << fake << QStringList{"--silent"} << 1 << "no ha contestado al saludo UCI";
    QTest::newRow("crashes in the second move")
        << fake << QStringList{"--crash-at", "2"} << 2 << "se ha caído";
    QTest::newRow("exits in the first move")
        << fake << QStringList{"--exit-at", "1"} << 1 << "se ha cerrado (código 3)";
    QTest::newRow("stalls") << fake << QStringList{"--stall-at", "1"} << 1
                            << "no ha dado su jugada a tiempo";
    QTest::newRow("illegal move") << fake << QStringList{"--illegal-at", "3"} << 3
                                  << "ha dado una jugada ilegal: e2e5";
    QTest::newRow("no move at all")
        << fake << QStringList{"--garbage-at", "1"} << 1 << "jugada mal escrita";
    QTest::newRow("endless line") << fake << QStringList{"--long-line-at", "1"} << 1
                                  << "línea demasiado larga";
    QTest::newRow("endless info") << fake << QStringList{"--flood-at", "1"} << 1
                                  << "escribe demasiado";
}

void TstUciClient::answersOrFails() {
    QFETCH(QString, program);
    QFETCH(QStringList, script);
    QFETCH(int, goes);
    QFETCH(QString, fault);
    TUciClient client;
    client.SetLimits(QuickLimits());
    QSignalSpy moves(&client, &TUciClient::BestMove);
    QSignalSpy failed(&client, &TUciClient::Failed);
    client.Start(program, script);
    // The moves played so far, each the engine's answer to the last.
    QList<QByteArray> played;
    TUciPosition position;
    for (int i = 0; i < goes && failed.isEmpty(); ++i) {
        client.Go({}, played, MoveTime(50));
        QTRY_VERIFY_WITH_TIMEOUT(moves.size() == i + 1 || !failed.isEmpty(), kWaitMs);
        if (!failed.isEmpty()) break;
        const QByteArray move = moves.last().first().toByteArray();
        QVERIFY2(position.Play(move), move.constData()); // legal where it was asked
        played << move;
    }
    if (fault.isEmpty()) {
        QCOMPARE(failed.size(), 0);
        QCOMPARE(moves.size(), goes);
        QVERIFY(client.IsReady());
        QCOMPARE(client.EngineName(), QByteArray("Fake"));
    } else {
        QCOMPARE(failed.size(), 1);
        const QString reason = failed.first().first().toString();
        QVERIFY2(reason.contains(fault), qPrintable(reason));
        QCOMPARE(moves.size(), goes - 1); // the failing move was never handed on
        QVERIFY(client.HasFailed());
        // Nothing more comes once it has failed.
        client.Go({}, played, MoveTime(50));
        QTest::qWait(200);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(moves.size(), goes - 1);
    }
}

void TstUciClient::optionsAndStrength_data() {
    QTest::addColumn<QString>("strength"); // what the engine offers
    QTest::addColumn<int>("kind");         // the limit asked for
    QTest::addColumn<int>("value");
    QTest::addColumn<QStringList>("expected"); // setoption lines, in order
    const QString hash = "setoption name Hash value 32";
    const int elo = int(TUciStrength::TKind::Elo), skill = int(TUciStrength::TKind::Skill);
    QTest::newRow("Elo") << "elo" << elo << 1500
                         << QStringList{hash, "setoption name UCI_LimitStrength value true",
                                        "setoption name UCI_Elo value 1500"};
    QTest::newRow("Elo below its range")
        << "elo" << elo << 200
        << QStringList{hash, "setoption name UCI_LimitStrength value true",
                       "setoption name UCI_Elo value 1000"};
    QTest::newRow("skill where Elo is offered too")
        << "elo" << skill << 7 << QStringList{hash, "setoption name Skill Level value 7"};
    QTest::newRow("skill only") << "skill" << skill << 7
                                << QStringList{hash, "setoption name Skill Level value 7"};
    QTest::newRow("skill above its range")
        << "skill" << skill << 99 << QStringList{hash, "setoption name Skill Level value 20"};
    QTest::newRow("no strength") << "none" << elo << 1500 << QStringList{hash};
    QTest::newRow("Elo asked, skill offered") << "skill" << elo << 1500 << QStringList{hash};
}

void TstUciClient::optionsAndStrength() {
    QFETCH(QString, strength);
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString log = dir.filePath("received.txt");
    TUciClient client;
    client.SetLimits(QuickLimits());
    client.SetOption("Hash", "32");
    client.SetOption("Threads", "2"); // not offered: never sent
    client.SetStrength(TUciStrength::TKind(kind), value);
    QSignalSpy moves(&client, &TUciClient::BestMove);
    QSignalSpy failed(&client, &TUciClient::Failed);
    client.Start(FakeEngine(), {"--strength", strength, "--log", log});
    client.NewGame();
    TUciGo go;
    go.wtime = 60000;
    go.btime = 50000;
    client.Go("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", {"e2e4", "e8d7"}, go);
    QTRY_VERIFY_WITH_TIMEOUT(moves.size() == 1 || !failed.isEmpty(), kWaitMs);
    QCOMPARE(failed.size(), 0);
    client.Quit();
    QTRY_VERIFY_WITH_TIMEOUT(QFile(log).size() > 0, kWaitMs);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QStringList setoptions;
    for (const QString& line : lines)
        if (line.startsWith("setoption")) setoptions << line;
    QCOMPARE(setoptions, expected);
    // The conversation's order: greeting, options, new game, position, go.
    const int newGame = lines.indexOf("ucinewgame");
    const int position =
        lines.indexOf("position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1 moves e2e4 e8d7");
    const int goAt = lines.indexOf("go wtime 60000 btime 50000");
    QCOMPARE(lines.first(), QString("uci"));
    QVERIFY(lines.indexOf(expected.last()) < newGame);
    QVERIFY(newGame >= 0 && newGame < position && position < goAt);
}

void TstUciClient::cancelledSearchIsDropped() {
    TUciClient client;
    client.SetLimits(QuickLimits());
    QSignalSpy moves(&client, &TUciClient::BestMove);
    QSignalSpy failed(&client, &TUciClient::Failed);
    client.Start(FakeEngine(), {"--delay-ms", "300"});
    client.Go({}, {}, MoveTime(50)); // waits for the handshake
    QTRY_VERIFY_WITH_TIMEOUT(client.IsReady(), kWaitMs);
    client.Cancel(); // its answer is on its way and must not count
    client.Go({}, {"e2e4"}, MoveTime(50));
    QTRY_VERIFY_WITH_TIMEOUT(moves.size() == 1 || !failed.isEmpty(), kWaitMs);
    QTest::qWait(500);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(moves.size(), 1);
    TUciPosition position;
    QVERIFY(position.Play("e2e4"));
    QVERIFY(position.Play(moves.first().first().toByteArray())); // a move of Black's
}

QTEST_GUILESS_MAIN(TstUciClient)
#include "tst_uciclient.moc"
