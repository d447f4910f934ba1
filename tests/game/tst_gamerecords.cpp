// Game records through the controller: a game played here comes back move
// for move from the database, a saved and an exported file; the database
// when too big or unwritable; what opening sets up, and what it leaves alone.

#include "GameFile.h"
#include "GameTestUtil.h"
#include "RecordFiles.h"

#include <QDir>
#include <QFile>

namespace {
// Pawn moves, captures, a promotion taking a rook, a check, a knight move
// that needs its file, both sides castling; then White resigns.
const QStringList Sample = {"e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "g8f6", "c6b7", "e7e6",
                            "b7a8", "f8c5", "f1b5", "b8d7", "g1f3", "e8g8", "e1g1", "c8b7"};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void PlayAndResign(TTestGame& t, const QStringList& moves) {
    t.Start(TGameMode::LocalTwoPlayers, TColour::White);
    t.model.SetPromotionLetter('q'); // the promotion
    QVERIFY(t.PlayAll(moves));
    t.G().Resign();
}
} // namespace

namespace {
// The messages shown but the announcements of the games' ends.
QStringList OtherMessages(TTestGame& t) {
    QStringList messages = t.dialogs.Messages();
    messages.removeIf([](const QString& m) {
        const QString rating = m.section("\n\r", 1);
        return rating.contains(QString::fromUtf8(" → ")) || rating.startsWith("Tu ELO no cambia");
    });
    return messages;
}
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
};

void TestGameRecords::roundTrip_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"auto-saved", "saved", "exported", "opened and saved again",
                            "two games auto-saved, the first picked"})
        QTest::newRow(how) << how;
}

void TestGameRecords::roundTrip() {
    QFETCH(QString, how);
    TTestGame a, b("Bea");
    // Connected, and the last game played as White: a replay still shows
    // the file's players.
    b.G().SetRole(TRole::Client);
    b.Start(TGameMode::LocalTwoPlayers, TColour::White);
    b.G().EndGame(TEndReason::Abandoned);
    PlayAndResign(a, Sample);
    const QString end = a.model.Position();
    QString file = a.G().PgnFolder() + "Ana.pgn";
    if (how.startsWith("two")) {
        PlayAndResign(a, {"e2e4"});
    } else if (how != "auto-saved") {
        file = a.dir.path() + "/partida.gam";
        a.dialogs.AnswerFile(how == "exported" ? TQuestion::ExportGame : TQuestion::SaveGame, file);
        QVERIFY(how == "exported" ? RunToTheEnd(a, &TRecordFiles::ExportPgn)
                                  : RunToTheEnd(a, &TRecordFiles::Save));
    }
    QVERIFY(OtherMessages(a).isEmpty());
    QVERIFY(ReadAll(file).contains("[Result \"0-1\"]"));
    if (how == "exported")
        QVERIFY(ReadAll(file).simplified().contains(
            "1. e4 d5 2. exd5 c6 3. dxc6 Nf6 4. cxb7 e6 "
            "5. bxa8=Q Bc5 6. Bb5+ Nbd7 7. Nf3 O-O 8. O-O Bb7 0-1"));
    b.dialogs.AnswerFile(TQuestion::OpenGame, file);
    if (how.startsWith("two")) b.dialogs.AnswerChoice(TQuestion::PickGame, 0);
    QVERIFY(RunToTheEnd(b, &TRecordFiles::Open));
    if (how.startsWith("opened")) {
        b.dialogs.AnswerFile(TQuestion::SaveGame, b.dir.path() + "/otra.gam");
        QVERIFY(RunToTheEnd(b, &TRecordFiles::Save));
        QCOMPARE(ReadAll(b.dir.path() + "/otra.gam"), ReadAll(file)); // no second header
    }
    for (const TDialogRecord& r : b.dialogs.Log())
        if (r.Kind == TDialogKind::Choice) QCOMPARE(r.DefaultText, QString("1")); // the last game
    QCOMPARE(b.G().ReplayMoves.size(), Sample.size());
    while (b.G().ReplayCursor <= b.G().ReplayMoves.size())
        b.G().ReplayForward();
    QCOMPARE(b.model.Position(), end);
    QCOMPARE(b.G().WhitePlayer().Nick + "/" + b.G().BlackPlayer().Nick, QString("Ana/Ana 2"));
    QCOMPARE(b.G().ClockB().Horas() * 60 + b.G().ClockB().Minutos(), 23 * 60 + 59);
    QVERIFY(!b.dialogs.HasUnexpected() && b.dialogs.Messages().isEmpty());
}

void TestGameRecords::database_data() {
    QTest::addColumn<QByteArray>("before"); // the database, or "folder" for a file named Png
    QTest::addColumn<QString>("message");
    QTest::newRow("new") << QByteArray() << "";
    QTest::newRow("past 5000 lines")
        << "[Event \"x\"]\r\n1.Pe2e4\r\n" + QByteArray("{ }\r\n").repeated(4990)
        << QString::fromUtf8("         ¡¡ATENCION!!\n\rLa base de datos ");
    QTest::newRow("a file where the folder goes")
        << QByteArray("folder") << "No se pudo crear el directorio PNG";
}

void TestGameRecords::database() {
    QFETCH(QByteArray, before);
    QFETCH(QString, message);
    TTestGame t;
    const QString db = t.G().PgnFolder() + "Ana.pgn";
    if (before == "folder")
        QVERIFY(Write(t.dir.path() + "/Png", before));
    else if (!before.isEmpty())
        QVERIFY(QDir().mkpath(t.G().PgnFolder()) && Write(db, before));
    PlayAndResign(t, {"e2e4"});
    QCOMPARE(t.G().ResultText(), QString("1-0"));
    QCOMPARE(t.G().WhitePlayer().Elo, NewElo(1100, 1100, 100));
    QCOMPARE(OtherMessages(t).size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) QVERIFY(OtherMessages(t).first().startsWith(message));
    if (before == "folder") return;
    const QByteArray block = "1.Pe2e4 1-0 {Ana 2 abandona}\r\n\r\n\r\n";
    QVERIFY(ReadAll(db).startsWith(before) && ReadAll(db).endsWith(block));
    QCOMPARE(TGameFile::FromBytes(ReadAll(db), db).Count(), before.isEmpty() ? 1 : 2);
}

void TestGameRecords::open_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray own = "[White \"Eva\"]\r\n1.Pe2e4 Pe7e5\r\n";
    QTest::newRow("a FEN, Black to move")
        << "f.pgn" << QByteArray("[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\n1... Kd7 *\n");
    QTest::newRow("illegal standard move") << "i.pgn" << QByteArray("1. e4 e5 2. Ke3 *\n");
    QTest::newRow("game in progress kept") << "a.gam" << own;
}

void TestGameRecords::open() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    TTestGame t;
    const bool playing = name == "a.gam", opens = name == "f.pgn";
    if (playing) {
        t.Start(TGameMode::LocalTwoPlayers, TColour::White);
        QVERIFY(t.Play("e2e4"));
    }
    QVERIFY(Write(t.dir.path() + "/" + name, bytes));
    t.dialogs.AnswerFile(TQuestion::OpenGame, t.dir.path() + "/" + name);
    if (playing) t.dialogs.AnswerNo(TQuestion::InterruptGame);
    const QStringList record = t.Record();
    QCOMPARE(RunToTheEnd(t, &TRecordFiles::Open), opens);
    QCOMPARE(t.G().ReplayMoves, opens ? QStringList{"E8D7"} : QStringList());
    QCOMPARE(t.G().TurnState(), opens || playing ? TTurn::Black : TTurn::None);
    QCOMPARE(t.model.PieceAt(Square::D1), opens ? ' ' : 'Q');
    QCOMPARE(t.dialogs.Messages().size(), int(name == "i.pgn"));
    QVERIFY(!t.dialogs.HasUnexpected());
    if (opens) return;
    QCOMPARE(t.Record(), record);
    if (!playing) return;
    t.dialogs.AnswerFile(TQuestion::SaveGame, t.dir.path() + "/p.gam");
    QVERIFY(RunToTheEnd(t, &TRecordFiles::Save)); // a game being played has no result yet
    QVERIFY(ReadAll(t.dir.path() + "/p.gam").contains("[Result \"*\"]"));
}

QTEST_GUILESS_MAIN(TestGameRecords)
#include "tst_gamerecords.moc"
