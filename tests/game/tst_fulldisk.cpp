// Saving when the disk will not take it: every file the program replaces
// (the settings, a saved game, an export) and the PGN database it appends
// to, on a full file system (a small tmpfs, when this process may mount one)
// and past the process's file-size limit (in a child process, where a write
// that passes the limit raises SIGXFSZ). Each save must fail with the
// system's reason, leave the old file byte for byte, leave no stray file
// beside it, and never end the process.

#include "GameFileIO.h"
#include "Settings.h"
#include "StandardPgn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>

namespace {

// The old contents of each file, short enough to fit under the limit.
const QByteArray OldIni = "[User]\r\nNick=Ana\r\nElo=30313233\r\n[Config]\r\nWidth=352\r\n";
const QByteArray OldGame = "1.Pe2e4 Pe7e5\r\n";
const QByteArray OldDatabase = "[Event \"Zugaret CHAT!\"]\r\n1.Pe2e4 1-0\r\n\r\n\r\n";

// What is written over them: more than the limit allows, and more than the
// page the old bytes share on a tmpfs.
QStringList LongRecord() {
    QStringList record;
    for (int i = 1; i <= 400; ++i)
        record << QStringLiteral("%1.Ng1f3 Ng8f6").arg(i);
    return record;
}

QString FileOf(const QString& what) {
    if (what == "settings") return QStringLiteral("ZuzPlak.ini");
    if (what == "saved game") return QStringLiteral("partida.gam");
    if (what == "export") return QStringLiteral("partida.pgn");
    return QStringLiteral("Png/Ana.pgn");
}

QByteArray OldOf(const QString& what) {
    if (what == "settings") return OldIni;
    if (what == "database") return OldDatabase;
    return OldGame;
}

// Tries the save; an empty text when it worked, else the reason reported.
QString Attempt(const QString& what, const QString& dir) {
    const QString path = dir + "/" + FileOf(what);
    QString error;
    TRecordHeader header{"Ana", 1200, "Bea", 1100, "1-0", QDate(2024, 3, 25)};
    bool saved = false;
    if (what == "settings") {
        TZugaretSettings s;
        s.Nick = QString(300, u'n');
        saved = s.Save(path, &error);
    } else if (what == "saved game") {
        saved = SaveOwnGameFile(path, header, LongRecord(), &error);
    } else if (what == "export") {
        saved = SaveRecordLines(path, LongRecord(), &error);
    } else {
        const TDatabaseSave save = AppendToPgnDatabase(dir + "/Png/", "Ana", header, LongRecord());
        saved = save.Saved;
        error = save.Error;
    }
    return saved ? QString() : (error.isEmpty() ? QStringLiteral("<no reason>") : error);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// Fills the file system of dir until it takes no more.
void Fill(const QString& dir) {
    QFile filler(dir + "/relleno");
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
    const QByteArray block(512, 'x');
    while (filler.write(block) > 0) {
    }
    while (filler.write(block.left(1)) > 0) {
    }
}

} // namespace

class TestFullDisk : public QObject {
    Q_OBJECT
private slots:
    void save_data();
    void save();
};

void TestFullDisk::save_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason"); // the system's words for it
    for (const char* what : {"settings", "saved game", "export", "database"}) {
        QTest::addRow("%s, full tmpfs", what) << what << "tmpfs"
                                              << "No space left on device";
        QTest::addRow("%s, file-size limit", what) << what << "limit"
                                                   << "File too large";
    }
}

void TestFullDisk::save() {
    QFETCH(QString, what);
    QFETCH(QString, how);
    QFETCH(QString, reason);
    QTemporaryDir temp;
    const QString dir = temp.path() + "/disco";
    QVERIFY(QDir().mkpath(dir));
    bool mounted = false;
    auto unmount = qScopeGuard([&] {
        if (mounted) QProcess::execute("umount", {dir});
    });
    if (how == "tmpfs") {
        mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir}) == 0;
        if (!mounted) QSKIP("this process may not mount a tmpfs");
    }
    QVERIFY(QDir(dir).mkpath("Png"));
    const QString path = dir + "/" + FileOf(what);
    QVERIFY(WriteFile(path, OldOf(what)));
    QString got;
    if (how == "tmpfs") {
        Fill(dir);
        got = Attempt(what, dir);
        QFile::remove(dir + "/relleno");
    } else {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--child", what, dir, QString::number(OldOf(what).size() + 16)});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit); // not ended by SIGXFSZ
        got = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    }
    QVERIFY2(got.contains(reason), qPrintable(got));
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), OldOf(what));
    const QStringList left =
        QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList{QFileInfo(path).fileName()});
}

// "--child WHAT DIR LIMIT": tries the save with the file-size limit set
// and prints the outcome.
int main(int argc, char** argv) {
    if (argc == 5 && QByteArray(argv[1]) == "--child") {
        QCoreApplication app(argc, argv);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(QByteArray(argv[4]).toULongLong());
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        const QString outcome =
            Attempt(QString::fromUtf8(argv[2]), QString::fromLocal8Bit(argv[3]));
        std::printf("%s\n", outcome.isEmpty() ? "saved" : outcome.toUtf8().constData());
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestFullDisk test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fulldisk.moc"
