// Game records through the controller: a game played here comes back from
// the database, a saved file and an exported file move for move; the
// database after several games, when too big and when it cannot be written;
// the files the open command reads, and those it must leave alone.

#include "GameFile.h"
#include "GameTestUtil.h"
#include "RecordFiles.h"

#include <QDir>
#include <QFile>

namespace {
// Pawn moves, captures, a promotion taking a rook, a check needing a
// disambiguated answer, both sides castling; then White resigns.
const QStringList Sample = {"e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "g8f6", "c6b7", "e7e6",
                            "b7a8", "f8c5", "f1b5", "b8d7", "g1f3", "e8g8", "e1g1", "c8b7"};
const char* const SampleSan = "1. e4 d5 2. exd5 c6 3. dxc6 Nf6 4. cxb7 e6 5. bxa8=Q Bc5 "
                              "6. Bb5+ Nbd7 7. Nf3 O-O 8. O-O Bb7 0-1";

void PlaySample(TTestGame& t) {
    t.Start(TGameMode::LocalTwoPlayers, TColour::White);
    t.dialogs.AnswerInput("D");
    QVERIFY(t.PlayAll(Sample));
    t.G().Resign();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool OpenFile(TTestGame& t, const QString& path) {
    t.dialogs.AnswerOpenFile(path);
    return TRecordFiles(t.G()).Open();
}

const QByteArray TwoGames =
    "[Event \"Zugaret CHAT!\"]\r\n[White \"Eva\"]\r\n[Black \"Leo\"]\r\n\r\n"
    "1.Pe2e4 1-0\r\n\r\n\r\n[Event \"Zugaret CHAT!\"]\r\n[White \"Eva\"]\r\n"
    "[Black \"Leo\"]\r\n\r\n1.Pd2d4 0-1\r\n\r\n\r\n";
enum TPrior { NoFile, NearLimit, FileForFolder };
enum TSetUp { Idle, PlayingAndKeepIt, ConnectedAsWhite };
} // namespace

class TestGameRecords : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void database_data();
    void database();
    void open_data();
    void open();
    void savedResult_data();
    void savedResult();
};

void TestGameRecords::roundTrip_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"auto-saved", "saved", "exported", "opened and saved again"})
        QTest::newRow(how) << how;
}

void TestGameRecords::roundTrip() {
    QFETCH(QString, how);
    TTestGame a;
    PlaySample(a);
    QString file = a.dir.path() + "/partida.gam";
    if (how == "auto-saved") {
        file = a.G().PgnFolder() + "Ana.pgn";
    } else {
        a.dialogs.AnswerSaveFile(file);
        QVERIFY(how == "exported" ? TRecordFiles(a.G()).ExportPgn() : TRecordFiles(a.G()).Save());
    }
    QVERIFY(a.dialogs.Messages().isEmpty());
    if (how == "exported")
        QVERIFY(QString::fromLatin1(ReadAll(file)).simplified().contains(SampleSan));
    TTestGame b("Bea");
    QVERIFY(OpenFile(b, file));
    if (how == "opened and saved again") {
        b.dialogs.AnswerSaveFile(b.dir.path() + "/otra.gam");
        QVERIFY(TRecordFiles(b.G()).Save());
        QCOMPARE(ReadAll(b.dir.path() + "/otra.gam"), ReadAll(file)); // one header
    }
    QCOMPARE(b.G().ReplayMoves.size(), Sample.size());
    while (b.G().ReplayCursor <= b.G().ReplayMoves.size())
        b.G().ReplayForward();
    QCOMPARE(b.model.Position(), a.model.Position());
    QCOMPARE(b.G().WhitePlayer().Nick + b.G().BlackPlayer().Nick, QString("AnaAna 2"));
    QCOMPARE(b.G().WhitePlayer().Elo + b.G().BlackPlayer().Elo, 0);
    QCOMPARE(b.G().ClockB().Horas() * 3600 + b.G().ClockB().Minutos() * 60 +
                 b.G().ClockB().Segundos(),
             86399);
    QVERIFY(!b.dialogs.HasUnexpected() && b.dialogs.Messages().isEmpty());
}

void TestGameRecords::database_data() {
    QTest::addColumn<int>("prior");
    QTest::addColumn<int>("games");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("gamesInFile");
    QTest::newRow("first game") << int(NoFile) << 1 << "" << 1;
    QTest::newRow("two games") << int(NoFile) << 2 << "" << 2;
    QTest::newRow("past 5000 lines")
        << int(NearLimit) << 1 << QString::fromUtf8("         ¡¡ATENCION!!\n\rLa base de datos ")
        << 2;
    QTest::newRow("a file where the folder goes")
        << int(FileForFolder) << 1 << "No se pudo crear el directorio PNG" << 0;
}

void TestGameRecords::database() {
    QFETCH(int, prior);
    QFETCH(int, games);
    QFETCH(QString, message);
    QFETCH(int, gamesInFile);
    TTestGame t;
    const QString db = t.G().PgnFolder() + "Ana.pgn";
    QByteArray old;
    if (prior == NearLimit) {
        QVERIFY(QDir().mkpath(t.G().PgnFolder()));
        old = "[Event \"x\"]\r\n1.Pe2e4\r\n" + QByteArray("{ }\r\n").repeated(4990);
        Write(db, old);
    } else if (prior == FileForFolder) {
        Write(t.dir.path() + "/Png", "x");
    }
    for (int i = 0; i < games; ++i) {
        t.Start(TGameMode::LocalTwoPlayers, TColour::White);
        QVERIFY(t.Play("e2e4"));
        t.G().Resign();
    }
    QCOMPARE(t.G().ResultText(), QString("1-0"));
    QCOMPARE(t.G().WhitePlayer().Elo, NewElo(1100, 1100, 100));
    QCOMPARE(t.dialogs.Messages().size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) QVERIFY(t.dialogs.Messages().first().startsWith(message));
    const QByteArray now = ReadAll(db);
    QVERIFY(now.startsWith(old));
    QCOMPARE(TGameFile::FromBytes(now, db).Count(), gamesInFile);
    if (gamesInFile) QVERIFY(now.endsWith("1.Pe2e4 1-0 {Ana 2 abandona}\r\n\r\n\r\n"));
}

void TestGameRecords::open_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("setUp");
    QTest::addColumn<int>("choice");        // -1 none asked, -2 cancelled
    QTest::addColumn<QStringList>("moves"); // empty: not opened
    QTest::addColumn<bool>("blackToMove");
    const QStringList e4e5{"E2E4", "E7E5"};
    const QByteArray own = "[White \"Eva\"]\r\n[Black \"Leo\"]\r\n1.Pe2e4 Pe7e5\r\n";
    QTest::newRow("own file") << "a.gam" << own << int(Idle) << -1 << e4e5 << false;
    QTest::newRow("own file, connected as White")
        << "a.gam" << own << int(ConnectedAsWhite) << -1 << e4e5 << false;
    QTest::newRow("Kibraq file") << "k.icg" << QByteArray("2 \"Eva\" \"Leo\"\r\n 5254\r\n 5755\r\n")
                                 << int(Idle) << -1 << e4e5 << false;
    QTest::newRow("standard PGN from a FEN")
        << "f.pgn"
        << QByteArray(
               "[White \"Eva\"]\n[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\n\n1... Kd7 2. e4 *\n")
        << int(Idle) << -1 << QStringList{"E8D7", "E2E4"} << true;
    QTest::newRow("two games, first picked")
        << "db.pgn" << TwoGames << int(Idle) << 0 << QStringList{"E2E4"} << false;
    QTest::newRow("two games, last picked")
        << "db.pgn" << TwoGames << int(Idle) << 1 << QStringList{"D2D4"} << false;
    QTest::newRow("two games, none picked")
        << "db.pgn" << TwoGames << int(Idle) << -2 << QStringList() << false;
    QTest::newRow("missing file") << "" << QByteArray() << int(Idle) << -1 << QStringList()
                                  << false;
    QTest::newRow("blank file") << "b.gam" << QByteArray(" \r\n\r\n") << int(Idle) << -1
                                << QStringList() << false;
    QTest::newRow("illegal standard move") << "i.pgn" << QByteArray("1. e4 e5 2. Ke3 *\n")
                                           << int(Idle) << -1 << QStringList() << false;
    QTest::newRow("game in progress kept")
        << "a.gam" << own << int(PlayingAndKeepIt) << -1 << QStringList() << false;
}

void TestGameRecords::open() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, setUp);
    QFETCH(int, choice);
    QFETCH(QStringList, moves);
    QFETCH(bool, blackToMove);
    TTestGame t;
    TGameController& g = t.G();
    if (setUp == PlayingAndKeepIt) {
        t.Start(TGameMode::LocalTwoPlayers, TColour::White);
        QVERIFY(t.Play("e2e4"));
    } else if (setUp == ConnectedAsWhite) {
        g.SetRole(TRole::Client);
        g.SetMyColour(TColour::White);
    }
    const QString path = t.dir.path() + "/" + (name.isEmpty() ? "none.gam" : name);
    if (!name.isEmpty()) Write(path, bytes);
    t.dialogs.AnswerOpenFile(path);
    if (choice == -2) t.dialogs.CancelChoice();
    if (choice >= 0) t.dialogs.AnswerChoice(choice);
    if (setUp == PlayingAndKeepIt) t.dialogs.AnswerNo();
    const QStringList record = g.Record();
    const TGameMode mode = g.GameMode();
    QCOMPARE(TRecordFiles(g).Open(), !moves.isEmpty());
    QVERIFY(!t.dialogs.HasUnexpected() && t.dialogs.PendingAnswers() == 0);
    for (const TDialogRecord& r : t.dialogs.Log())
        if (r.Kind == TDialogKind::Choice) {
            QCOMPARE(r.Items.size(), 2); // the last game comes preselected
            QCOMPARE(r.DefaultText, QString("1"));
        }
    QCOMPARE(g.ReplayMoves, moves);
    if (moves.isEmpty()) {
        QCOMPARE(g.Record(), record);
        QCOMPARE(g.GameMode(), mode);
        QCOMPARE(t.dialogs.Messages().size(), setUp == Idle && choice == -1 ? 1 : 0);
        return;
    }
    QCOMPARE(g.GameMode(), TGameMode::Replay);
    QCOMPARE(g.WhitePlayer().Nick, QString("Eva"));
    QCOMPARE(g.TurnState(), blackToMove ? TTurn::Black : TTurn::White);
    g.ReplayForward();
    QVERIFY(t.model.PieceAt(TextToSquare(moves.first().mid(2, 2))) != ' ');
}

void TestGameRecords::savedResult_data() {
    QTest::addColumn<int>("end"); // 0 playing, 1 abandoned, 2 resigned, 3 saved to a missing folder
    QTest::addColumn<QString>("result");
    QTest::newRow("during the game") << 0 << "*";
    QTest::newRow("after abandoning") << 1 << "*";
    QTest::newRow("after resigning") << 2 << "1-0";
    QTest::newRow("to a missing folder") << 3 << "";
}

void TestGameRecords::savedResult() {
    QFETCH(int, end);
    QFETCH(QString, result);
    TTestGame t;
    t.Start(TGameMode::LocalTwoPlayers, TColour::White);
    QVERIFY(t.Play("e2e4"));
    if (end == 1) t.G().EndGame(TEndReason::Abandoned);
    if (end == 2) t.G().Resign();
    t.dialogs.ClearLog();
    const QString file = t.dir.path() + (end == 3 ? "/no/such/folder.gam" : "/p.gam");
    t.dialogs.AnswerSaveFile(file);
    QCOMPARE(TRecordFiles(t.G()).Save(), !result.isEmpty());
    QCOMPARE(t.dialogs.Messages().size(), result.isEmpty() ? 1 : 0);
    if (!result.isEmpty())
        QVERIFY(ReadAll(file).contains("\r\n[Result \"" + result.toLatin1() + "\"]\r\n"));
}

QTEST_GUILESS_MAIN(TestGameRecords)
#include "tst_gamerecords.moc"
