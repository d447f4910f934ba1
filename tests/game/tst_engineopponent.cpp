// An external UCI engine as the opponent, played through the scripted
// engine: a game to its end with the engine's name in the record and the
// database, every way the engine can fail ending the game as its loss with
// the reason and the game kept, a take-back, and a promotion it is told of.
#include "GameFileIO.h"
#include "GameTestUtil.h"
#include "UciOpponent.h"

#include <QCoreApplication>
#include <QFile>

namespace {

constexpr int kWaitMs = 30000; // the sanitizer build on a busy machine is slow

QString FakeEngine() {
    return QCoreApplication::applicationDirPath() + "/zugaret-fake-uci";
}

// The first legal move on the board, scanning the squares in order.
QString FirstLegalMove(const TChessModel& model) {
    for (int from = 1; from <= 64; ++from)
        for (int to = 1; to <= 64; ++to)
            if (model.IsLegalMove(ToSquare(from), ToSquare(to)))
                return SquareToText(ToSquare(from)) + SquareToText(ToSquare(to));
    return {};
}

int Plies(const TChessModel& model) {
    return (model.CurrentMove() - 1) * 2 + (model.WhiteToMove() ? 0 : 1);
}

QByteArray Database(TTestGame& t) {
    QFile file(PgnDatabaseFile(t.G().PgnFolder(), t.G().Nick()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::shared_ptr<TUciOpponent> Engine(TTestGame& t, const QString& path, const QStringList& script,
                                     std::optional<int> elo = std::nullopt) {
    TEngineConfig config;
    config.Path = path;
    config.Name = "Fake";
    config.Arguments = script;
    config.Offered = {TUciStrength::TKind::Elo, 1000, 2800};
    config.Strength = elo;
    auto engine = std::make_shared<TUciOpponent>(t.G(), config);
    TUciClient::TLimits limits;
    limits.HandshakeMs = 4000;
    limits.MarginMs = 1500;
    engine->Client().SetLimits(limits);
    return engine;
}

// The user plays the first legal move whenever it is its turn, until the
// game ends or plies moves were played.
void PlayOn(TTestGame& t, bool userWhite, int plies) {
    for (int i = 0; i < plies && t.G().GameInProgress(); ++i) {
        if (t.model.WhiteToMove() == userWhite) {
            QVERIFY(t.Play(FirstLegalMove(t.model)));
        } else {
            const bool white = t.model.WhiteToMove();
            QTRY_VERIFY_WITH_TIMEOUT(!t.G().GameInProgress() || t.model.WhiteToMove() != white,
                                     kWaitMs);
        }
    }
}

} // namespace

class TstEngineOpponent : public QObject {
    Q_OBJECT
private slots:
    void playsToTheEnd();
    void engineFaultsLoseTheGame_data();
    void engineFaultsLoseTheGame();
    void takeBackAsksAgain();
    void promotionReachesTheEngine();
};

void TstEngineOpponent::playsToTheEnd() {
    TTestGame t;
    TGameController& g = t.G();
    const int computerElo = g.ComputerElo();
    g.StartEngineGame(Engine(t, FakeEngine(), {}, 1500), false, 15);
    QCOMPARE(g.BlackPlayer().Nick, QString("Ana"));
    QCOMPARE(g.WhitePlayer().Nick, QString("Fake"));
    QCOMPARE(g.WhitePlayer().Elo, 1500);
    QCOMPARE(t.Record().first(), QString("{Motor Fake: Elo 1500}"));
    PlayOn(t, false, 400);
    if (g.GameInProgress()) g.Resign();
    QVERIFY(!g.GameInProgress());
    QVERIFY(Plies(t.model) > 4); // both sides moved
    const QString result = g.RecordHeader().ResultText;
    QVERIFY2(QStringList({"1-0", "0-1", "1/2-1/2"}).contains(result), qPrintable(result));
    QVERIFY(t.Record().last().contains(result));
    const QByteArray db = Database(t);
    QVERIFY2(db.contains("[White \"Fake\"]"), db.constData());
    QVERIFY(db.contains("[Black \"Ana\"]"));
    // Only the built-in engine's rating follows its games; the players keep
    // the ratings they played with.
    QCOMPARE(g.ComputerElo(), computerElo);
    QCOMPARE(g.WhitePlayer().Elo, 1500);
    QCOMPARE(g.BlackPlayer().Elo, g.Elo());
    QVERIFY(g.LastEndAnnouncement().endsWith("Tu ELO no cambia en las partidas contra Fake"));
}

void TstEngineOpponent::engineFaultsLoseTheGame_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<bool>("userWhite");
    QTest::addColumn<int>("engineSeconds"); // 0: the game's minutes
    QTest::addColumn<QString>("reason");
    const QString fake = FakeEngine();
    QTest::newRow("missing program")
        << fake + "-missing" << QStringList{} << true << 0 << "No se pudo arrancar el motor";
    QTest::newRow("silent at the greeting")
        << fake << QStringList{"--silent"} << true << 0 << "no ha contestado al saludo UCI";
    QTest::newRow("crashes at its second move")
        << fake << QStringList{"--crash-at", "2"} << true << 0 << "se ha caído";
    QTest::newRow("illegal first move as White")
        << fake << QStringList{"--illegal-at", "1"} << false << 0 << "jugada ilegal: e2e5";
    QTest::newRow("no move at all")
        << fake << QStringList{"--garbage-at", "2"} << false << 0 << "jugada mal escrita";
    QTest::newRow("stalls until its flag falls")
        << fake << QStringList{"--stall-at", "2"} << true << 2 << "tiempo";
}

void TstEngineOpponent::engineFaultsLoseTheGame() {
    QFETCH(QString, program);
    QFETCH(QStringList, script);
    QFETCH(bool, userWhite);
    QFETCH(int, engineSeconds);
    QFETCH(QString, reason);
    TTestGame t;
    TGameController& g = t.G();
    const int elo = g.Elo();
    g.StartEngineGame(Engine(t, program, script), userWhite, 15);
    if (engineSeconds > 0)
        (userWhite ? g.ClockB() : g.ClockW()).SetFromMessageSeconds(engineSeconds);
    PlayOn(t, userWhite, 6);
    QTRY_VERIFY_WITH_TIMEOUT(!g.GameInProgress(), kWaitMs);
    const QString result = userWhite ? "1-0" : "0-1";
    QCOMPARE(g.RecordHeader().ResultText, result);
    QVERIFY2(g.Panel().Text.contains(reason), qPrintable(g.Panel().Text));
    QVERIFY(t.Record().last().contains(result));
    QVERIFY2(t.Record().join('\n').contains(reason), qPrintable(t.Record().join('\n')));
    // The game is kept, and the user's rating does not move.
    QVERIFY(Database(t).contains(("[Result \"" + result + "\"]").toLatin1()));
    QCOMPARE(g.Elo(), elo);
    QTRY_VERIFY(g.LastEndAnnouncement().contains(reason));
    // Nothing more comes from the engine.
    const int plies = Plies(t.model);
    QTest::qWait(300);
    QCOMPARE(Plies(t.model), plies);
}

void TstEngineOpponent::takeBackAsksAgain() {
    TTestGame t;
    TGameController& g = t.G();
    g.StartEngineGame(Engine(t, FakeEngine(), {"--delay-ms", "200"}), true, 15);
    QVERIFY(t.Play("e2e4"));
    QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove(), kWaitMs);
    QVERIFY(t.Play("d2d4"));
    QTest::qWait(50); // asked; its answer comes 200 ms later
    // Taken back while the engine thinks: only the user's move goes, and
    // the engine's late answer is dropped.
    QVERIFY(!t.model.WhiteToMove());
    QVERIFY(g.TakeBack());
    QVERIFY(t.model.WhiteToMove());
    QTest::qWait(600);
    QVERIFY(t.model.WhiteToMove());
    QCOMPARE(t.Record().size(), 2);
    // Taken back after its answer: its reply and the user's move go.
    QVERIFY(t.Play("g1f3"));
    QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove(), kWaitMs);
    QVERIFY(g.TakeBack());
    QVERIFY(t.model.WhiteToMove());
    QCOMPARE(t.Record().size(), 2);
    // The game goes on: the engine answers the position as it now is.
    QVERIFY(t.Play("b1c3"));
    QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove(), kWaitMs);
    QVERIFY(g.GameInProgress());
    QVERIFY(t.Record().last().startsWith("2.Nb1c3 "));
}

void TstEngineOpponent::promotionReachesTheEngine() {
    TTestGame t;
    TGameController& g = t.G();
    g.StartEngineGame(Engine(t, FakeEngine(), {}), true, 15);
    QVERIFY(g.StartFromPosition("7k/P7/8/8/8/8/8/K7 w - - 0 1", 15));
    QCOMPARE(g.WhitePlayer().Nick, QString("Ana"));
    QCOMPARE(g.BlackPlayer().Nick, QString("Fake"));
    t.model.SetPromotionLetter('r'); // the user's choice: a rook
    QVERIFY(t.Play("a7a8"));
    // Told "a7a8r", the engine answers; were the letter lost its position
    // would be refused and the game would end.
    QTRY_VERIFY_WITH_TIMEOUT(t.model.WhiteToMove() || !g.GameInProgress(), kWaitMs);
    QVERIFY2(g.GameInProgress(), qPrintable(g.Panel().Text));
    QVERIFY(t.Record().join(' ').contains("=R"));
}

QTEST_MAIN(TstEngineOpponent)
#include "tst_engineopponent.moc"
