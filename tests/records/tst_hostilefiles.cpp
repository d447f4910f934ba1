// Game files made to hurt: huge runs of blank lines and games without end
// read by zugaret-pgn (its peak memory must follow the games it reads, not
// the lines of the file), positions holding control characters, and a big
// PGN database that a finished game is appended to without reading it all.

#include "GameFile.h"
#include "GameFileIO.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

namespace {

QByteArray Repeated(const QByteArray& piece, qsizetype times) {
    QByteArray out;
    out.reserve(piece.size() * times);
    for (qsizetype i = 0; i < times; ++i)
        out += piece;
    return out;
}

// The largest peak memory of the children waited for so far, in MiB.
long ChildrenPeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024;
}

// Bytes this process has read from files so far, or -1 when unknown.
qint64 BytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
    return -1;
}

TRecordHeader Header() {
    return {"Ana", 1200, "Bea", 1100, "1-0", QDate(2024, 3, 25)};
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    void converter_data();
    void converter();
    void controlCharactersInPositions_data();
    void controlCharactersInPositions();
    void databaseNotReadWhole();
};

// Peak memory: the file's bytes, the index and one game's lines, with room
// for the program itself; the old reader kept a string for every line
// (60 MB of empty lines took 3 GB).
void TestHostileFiles::converter_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // on stdout, in part
    QTest::addColumn<QString>("err");    // on stderr, in part
    const QByteArray tags = "[Event \"Club\"]\n[White \"Ana\"]\n[Black \"Bea\"]\n";
    QTest::newRow("60 MB of empty lines")
        << QByteArray(60 * 1024 * 1024, '\n') << 1 << QByteArray() << "no contiene ninguna partida";
    QTest::newRow("a game padded with 20 MB of blank lines")
        << tags + QByteArray(20 * 1024 * 1024, '\n') + "1. e4 e5 *\n"
        << 0 << QByteArray("1. e4 e5 *") << "";
    QTest::newRow("a game of 150,000 lines")
        << tags + Repeated("{ nada }\n", 150000) + "1. e4 *\n"
        << 1 << QByteArray() << QString::fromUtf8("tiene más de 100000 líneas");
}

void TestHostileFiles::converter() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QString path = dir.filePath("x.pgn");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const qint64 size = bytes.size();
    bytes.clear();
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/zugaret-pgn", {path});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), status);
    QVERIFY(p.readAllStandardOutput().contains(out));
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(err));
    const long ceiling = 2 * size / (1024 * 1024) + 250;
    QVERIFY2(ChildrenPeakMiB() < ceiling,
             qPrintable(QString("%1 MiB for a file of %2 bytes").arg(ChildrenPeakMiB()).arg(size)));
}

// A position with a control character is refused when the game is read,
// so it is never written back as a tag no reader accepts.
void TestHostileFiles::controlCharactersInPositions_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray fen = "4k3/8/8/8/8/8/8/4K2R w K - 0 1";
    QTest::newRow("NUL at the end of a FEN tag")
        << "[Event \"x\"]\n[FEN \"" + fen + QByteArray(1, '\0') + "\"]\n\n1. O-O *\n";
    QTest::newRow("a control byte inside a FEN tag")
        << QByteArray("[Event \"x\"]\n[FEN \"4k3/8/8/8/8/8/8/4K2R\x01w K - 0 1\"]\n\n1. O-O *\n");
    QTest::newRow("a tab between the fields")
        << QByteArray("[Event \"x\"]\n[FEN \"4k3/8/8/8/8/8/8/4K2R\tw K - 0 1\"]\n\n1. O-O *\n");
    QTest::newRow("NUL in an own game's position")
        << "[Event \"ZugaretCHAT\"]\r\n\r\n{Posici\xF3n: " + fen + QByteArray(1, '\0') +
               "}\r\n1.Ke1g1 *\r\n";
}

void TestHostileFiles::controlCharactersInPositions() {
    QFETCH(QByteArray, bytes);
    const TGameFile file = TGameFile::FromBytes(bytes, "x.pgn");
    QCOMPARE(file.Count(), 1);
    const TOpenedGame game = file.Read(0);
    QVERIFY(!game.Opened());
    QVERIFY2(game.Error.contains("caracteres de control"), qPrintable(game.Error));
    TReplayBoard board;
    TStandardGame standard;
    QString error;
    QVERIFY(!file.ToStandard(0, board, &standard, &error));
}

// A database of 6,000 lines followed by 200 MB: appending a game reads its
// first lines (enough to know it passed the warning's size) and its last
// byte, not the rest.
void TestHostileFiles::databaseNotReadWhole() {
    if (BytesRead() < 0) QSKIP("this system does not count the bytes a process reads");
    QTemporaryDir dir;
    const QString folder = dir.filePath("Png/");
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "Ana.pgn";
    QFile db(path);
    QVERIFY(db.open(QIODevice::WriteOnly));
    db.write(Repeated("{ linea }\r\n", 6000));
    QVERIFY(db.resize(200LL * 1024 * 1024)); // the rest reads as zero bytes
    db.close();
    const qint64 before = BytesRead();
    const TDatabaseSave save = AppendToPgnDatabase(folder, "Ana", Header(), {"1.Pe2e4 1-0"});
    const qint64 read = BytesRead() - before;
    QVERIFY2(save.Saved, qPrintable(save.Error));
    QVERIFY(!save.Warning.isEmpty());
    QVERIFY2(read < 4 * 1024 * 1024, qPrintable(QString("%1 bytes read").arg(read)));
    QVERIFY(db.open(QIODevice::ReadOnly) && db.seek(200LL * 1024 * 1024));
    QCOMPARE(db.read(6), QByteArray("\r\n[Eve")); // the last line, open, was ended first
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
