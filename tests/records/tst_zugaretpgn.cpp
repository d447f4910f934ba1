// zugaret-pgn run as a process: every game of every file on stdout as
// standard PGN, unreadable games named on stderr, the exit status.
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Files = QList<std::pair<QString, QByteArray>>;

const QByteArray OwnGame = "[Event \"ZugaretCHAT\"]\r\n[Date \"25/03/2024\"]\r\n"
                           "[White \"peon7\"]\r\n[Black \"ZuzPlak\"]\r\n[Result \"1-0\"]\r\n\r\n"
                           "{ Blancas:peon7 Elo:1215 }\r\n{ Negras:ZuzPlak Elo:1190 }\r\n"
                           "1.Pe2e4 Pe7e5\r\n2.Bf1c4 Nb8c6\r\n3.Qd1h5 Ng8f6\r\n4.Qh5f7++ 1-0\r\n";

const QByteArray OwnGameAsPgn = "[Event \"ZugaretCHAT\"]\n[Site \"?\"]\n[Date \"2024.03.25\"]\n"
                                "[Round \"?\"]\n[White \"peon7\"]\n[Black \"ZuzPlak\"]\n"
                                "[Result \"1-0\"]\n[WhiteElo \"1215\"]\n[BlackElo \"1190\"]\n\n"
                                "1. e4 e5 2. Bc4 Nc6 3. Qh5 Nf6 4. Qxf7# 1-0\n\n";

} // namespace

class TstZugaretPgn : public QObject {
    Q_OBJECT
private slots:
    // Files named "" stand for a file that does not exist.
    void convert_data() {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QList<QByteArray>>("out"); // in this order on stdout
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("status");
        QTest::newRow("own game") << Files{{"a.gam", OwnGame}} << QList<QByteArray>{OwnGameAsPgn}
                                  << QByteArray() << 0;
        QTest::newRow("Kibraq and standard, in file order")
            << Files{{"k.icg", "2 \"Ana\" \"Luis\"\n 5254\n 5755\n"},
                     {"s.pgn", "[Event \"Club\"]\n[ECO \"C20\"]\n[Date \"1999.01.??\"]\n\n"
                               "1. e4 {x} e5 (1... c5) 2. Nf3 $1 1/2-1/2\n"}}
            << QList<QByteArray>{"[Event \"Kibraq Match\"]\n[Site \"?\"]\n[Date \"????.??.??\"]\n"
                                 "[Round \"?\"]\n[White \"Ana\"]\n[Black \"Luis\"]\n"
                                 "[Result \"0-1\"]\n\n1. e4 e5 0-1\n\n",
                                 "[Date \"1999.01.??\"]", "[ECO \"C20\"]",
                                 "1. e4 {x} 1... e5 (1... c5) 2. Nf3 $1 1/2-1/2\n"}
            << QByteArray() << 0;
        QTest::newRow("database with an unreadable game")
            << Files{{"peon7.pgn",
                      QByteArray(OwnGame).replace("Pe7e5", "Pe7e4") + "\r\n\r\n" + OwnGame}}
            << QList<QByteArray>{OwnGameAsPgn}
            << QByteArray("peon7.pgn: partida 1 (peon7 \xe2\x80\x93 ZuzPlak, 1-0, 25/03/2024): "
                          "jugada 1... \xc2\xab"
                          "E7E4\xc2\xbb no es legal")
            << 1;
        // UTF-8 from today's programs is read as UTF-8 and written as Latin-1,
        // like every game this program writes; its messages name the players right.
        QTest::newRow("UTF-8 names")
            << Files{{"u.pgn", "[White \"P\xc3\xa9rez, Jos\xc3\xa9\"]\n[Black \"Ruiz\"]\n\n"
                               "1. e4 e5 *\n\n[White \"P\xc3\xa9rez, Jos\xc3\xa9\"]\n\n1. Ke3 *\n"}}
            << QList<QByteArray>{"[White \"P\xe9rez, Jos\xe9\"]", "1. e4 e5 *"}
            << QByteArray("u.pgn: partida 2 (P\xc3\xa9rez, Jos\xc3\xa9 \xe2\x80\x93 ?") << 1;
        QTest::newRow("empty and missing files")
            << Files{{"empty.pgn", "\r\n  \r\n"}, {"", ""}} << QList<QByteArray>{}
            << QByteArray("empty.pgn: no contiene ninguna partida") << 1;
    }
    void convert() {
        QFETCH(Files, files);
        QFETCH(QList<QByteArray>, out);
        QFETCH(QByteArray, err);
        QFETCH(int, status);
        QTemporaryDir dir;
        QStringList args;
        for (const auto& [name, bytes] : files) {
            if (name.isEmpty()) {
                args << "missing.pgn";
                continue;
            }
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            args << name;
        }
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QCoreApplication::applicationDirPath() + "/zugaret-pgn", args);
        QVERIFY(p.waitForFinished(30000));
        const QByteArray stdoutBytes = p.readAllStandardOutput();
        const QByteArray stderrBytes = p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        qsizetype at = 0;
        for (const QByteArray& part : out) {
            const qsizetype found = stdoutBytes.indexOf(part, at);
            QVERIFY2(found >= at, part.constData());
            at = found + part.size();
        }
        if (out.size() == 1) QCOMPARE(stdoutBytes, out.first());
        if (err.isEmpty())
            QCOMPARE(stderrBytes, QByteArray());
        else
            QVERIFY2(stderrBytes.startsWith(err), stderrBytes.constData());
        if (args.contains("missing.pgn")) QVERIFY(stderrBytes.contains("No se pudo leer"));
    }
};

QTEST_GUILESS_MAIN(TstZugaretPgn)
#include "tst_zugaretpgn.moc"
