// The program's own game files, the PGN database and Kibraq files: lines in
// and out, the own reader's move lines, saving and reading back, and saves
// that fail without harming what was there.
#include "GameFile.h"
#include "GameFileIO.h"
#include "OwnGameFormat.h"
#include "RecordText.h"
#include "ReplayBoard.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QStringList Words(const char* text) {
    return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
}

TRecordHeader Header(const char* result = "1-0") {
    return {"peon7", 1215, "ZuzPlak", 1190, QLatin1String(result), QDate(2024, 3, 25)};
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

const QStringList LegalMate = {"1.Pe2e4 Pe7e5", "2.Ng1f3 Pd7d6",  "3.Bf1c4 Bc8g4", "4.Nb1c3 Pg7g6",
                               "5.Nf3e5 Bg4d1", "6.Bc4f7+ Ke8e7", "7.Nc3d5++ 1-0"};

} // namespace

class TstRecordFiles : public QObject {
    Q_OBJECT
private slots:
    void splitLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c"};
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nx") << QStringList{"", "", "x"};
        QTest::newRow("Latin-1") << QByteArray("Pe\xf1\x61") << QStringList{u"Pe\u00f1a"_qs};
        QTest::newRow("nothing") << QByteArray() << QStringList{};
    }
    void splitLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(SplitRecordLines(bytes), lines);
        QCOMPARE(CountRecordLines(bytes), lines.size());
        QCOMPARE(SplitRecordLines(JoinRecordLines(lines)), lines);
    }

    void ownMoveLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("moves");
        QTest::newRow("pawn moves") << "1.Pe2e4 Pe7e5" << Words("E2E4 E7E5");
        QTest::newRow("rook and king") << "12.Ra1a8 Kh8g7" << Words("A1A8 H8G7");
        QTest::newRow("check") << "2.Ng1f3+" << Words("G1F3");
        QTest::newRow("promotion") << "3.Pe7e8=Q" << Words("E7E8Q");
        QTest::newRow("promotion with check") << "30.Pb7a8=N+ Kc7b6" << Words("B7A8N C7B6");
        QTest::newRow("castling") << "9.O-O O-O-O" << Words("E1G1 E8C8");
        QTest::newRow("castling with check") << "9.O-O+ O-O-O+" << Words("E1G1 E8C8");
        QTest::newRow("castling with mate") << "20.Pa2a3 O-O-O++" << Words("A2A3 E8C8");
        QTest::newRow("mate and result") << "4.Qh5f7++ 1-0" << Words("H5F7");
        QTest::newRow("result and comment")
            << "12.Pe2e4 Pe7e5 {Ganan=x abandona}" << Words("E2E4 E7E5");
        QTest::newRow("long coordinates") << "1.e2e4 e7e5" << Words("E2E4 E7E5");
        QTest::newRow("result line") << "1-0" << QStringList{};
        QTest::newRow("rating comment") << "{ Blancas:peon7 Elo:1200 }" << QStringList{};
        QTest::newRow("dot too late") << "1234.Pe2e4" << QStringList{};
        QTest::newRow("no number") << "ab.Pe2e4" << QStringList{};
        QTest::newRow("token without move") << "5.xyz 1/2-1/2" << QStringList{};
        QTest::newRow("short token") << "5.Pe2" << Words("E2");
    }
    void ownMoveLines() {
        QFETCH(QString, line);
        QFETCH(QStringList, moves);
        QStringList got;
        OwnMoveLineMoves(line, &got);
        QCOMPARE(got, moves);
    }

    // Lines as the controller writes them, saved and opened again, replay
    // every move on the board.
    void saveAndReopen_data() {
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QStringList>("moves");
        QTest::newRow("checks, captures, mate") << LegalMate
                                                << Words("E2E4 E7E5 G1F3 D7D6 F1C4 C8G4 B1C3 G7G6 "
                                                         "F3E5 G4D1 C4F7 E8E7 C3D5");
        QTest::newRow("castling with check")
            << QStringList{"1.Pf2f4 Pe7e5", "2.Pf4e5 Pf7f6", "3.Pe5f6 Ng8f6", "4.Pe2e3 Ke8f7",
                           "5.Ng1h3 Nf6g4", "6.Bf1e2 Pd7d6", "7.O-O+ Kf7e8"}
            << Words("F2F4 E7E5 F4E5 F7F6 E5F6 G8F6 E2E3 E8F7 G1H3 F6G4 F1E2 D7D6 E1G1 F7E8");
        QTest::newRow("promotion and castling")
            << QStringList{"1.Pe2e4 Pd7d5",   "2.Pe4d5 Pc7c6", "3.Pd5c6 Ng8f6", "4.Pc6b7 Pe7e6",
                           "5.Pb7a8=Q Bf8c5", "6.Ng1f3 O-O",   "7.Bf1e2 Pa7a6", "8.O-O"}
            << Words("E2E4 D7D5 E4D5 C7C6 D5C6 G8F6 C6B7 E7E6 B7A8Q F8C5 G1F3 E8G8 F1E2 A7A6 "
                     "E1G1");
    }
    void saveAndReopen() {
        QFETCH(QStringList, record);
        QFETCH(QStringList, moves);
        QTemporaryDir dir;
        const QString path = dir.filePath("partida.gam");
        QString error;
        QVERIFY2(SaveOwnGameFile(path, Header(), record, &error), qPrintable(error));
        const QByteArray bytes = FileBytes(path);
        QVERIFY(bytes.startsWith("[Event \"ZugaretCHAT\"]\r\n[Date \"25/03/2024\"]\r\n"));
        QVERIFY(
            bytes.contains("\r\n{ Blancas:peon7 Elo:1215 }\r\n{ Negras:ZuzPlak Elo:1190 }\r\n"));

        const TGameFile file = TGameFile::FromBytes(bytes, path);
        QCOMPARE(file.Count(), 1);
        const TOpenedGame game = file.Read(0);
        QVERIFY(game.Opened());
        QCOMPARE(game.ReplayMoves, moves);
        QCOMPARE(game.White, std::optional<QString>("peon7"));
        QCOMPARE(game.Black, std::optional<QString>("ZuzPlak"));
        QCOMPARE(game.Lines.mid(8), record);
        TReplayBoard board;
        for (const QString& m : game.ReplayMoves)
            QVERIFY2(board.PlayReplayMove(m), qPrintable(m));

        // Saved again as opened: the header is not written twice.
        QVERIFY(SaveOwnGameFile(path, Header("0-1"), game.Lines, &error));
        QCOMPARE(FileBytes(path), bytes);
    }

    void ownReaderNicks_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("white");
        QTest::addColumn<QString>("black");
        QTest::newRow("no quotes") << QStringList{"[White peon7]", "[Black \"x"} << "-"
                                   << "-";
        QTest::newRow("rating tag first")
            << QStringList{"[WhiteElo \"1200\"]", "[White \"w\"]"} << "w"
            << "-";
    }
    void ownReaderNicks() {
        QFETCH(QStringList, lines);
        QFETCH(QString, white);
        QFETCH(QString, black);
        const TOpenedGame g = ReadOwnGame(QStringList{"", " "} + lines);
        QCOMPARE(g.White.value_or("-"), white);
        QCOMPARE(g.Black.value_or("-"), black);
        QCOMPARE(g.Lines, lines);
        QVERIFY(!ReadOwnGame({"", "  \t"}).Opened());
    }

    void kibraq_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QStringList>("record");
        const QString head = "[Event \"Kibraq" + QString(QChar(0xA0)) + "Match\"]";
        QTest::newRow("black wins, promotion")
            << QStringList{"2 \"Ana\" \"Luis\"", "x5254", "x5755", "x5758Qx"}
            << Words("E2E4 E7E5 E7E8Q")
            << QStringList{head,
                           "[Date \"01/02/2024\"]",
                           "[White \"Ana\"]",
                           "[Black \"Luis\"]",
                           "[Result \"0-1\"]",
                           "",
                           "1.e2e4 e7e5",
                           "2.e7e8=Q 0-1",
                           ""};
        QTest::newRow("short lines, no quotes")
            << QStringList{"", "0 sin nombres", "x52", "", "x7163", "x2836"} << Words("G1F3 B8C6")
            << QStringList{head,
                           "[Date \"01/02/2024\"]",
                           "[White \"?\"]",
                           "[Black \"?\"]",
                           "[Result \"1/2-1/2\"]",
                           "",
                           "1.g1f3 b8c6 1/2-1/2",
                           ""};
    }
    void kibraq() {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, moves);
        QFETCH(QStringList, record);
        const TOpenedGame g = ReadKibraqGame(lines, QDate(2024, 2, 1));
        QCOMPARE(g.ReplayMoves, moves);
        QCOMPARE(g.Lines, record);
        // The record opened from it reads back to the same moves.
        QCOMPARE(ReadOwnGame(g.Lines).ReplayMoves, moves);
    }

    void database() {
        QTemporaryDir dir;
        const QString folder = dir.filePath("Png/");
        const TDatabaseSave first = AppendToPgnDatabase(folder, "peon7", Header(), LegalMate);
        QVERIFY2(first.Saved, qPrintable(first.Error));
        QCOMPARE(first.FileName, folder + "peon7.pgn");
        QCOMPARE(first.LineCount, 8 + LegalMate.size() + 2);
        const QStringList two = {"1.Pe2e4 Pe7e5", "2.Pd2d4 1/2-1/2 { Tablas por  acuerdo}"};
        const TDatabaseSave second = AppendToPgnDatabase(folder, "peon7", Header("1/2-1/2"), two);
        QVERIFY(second.Saved);
        QVERIFY(second.Warning.isEmpty());
        const QByteArray bytes = FileBytes(first.FileName);
        QVERIFY(bytes.startsWith("[Event \"Zugaret CHAT!\"]\r\n"));
        QVERIFY(bytes.endsWith("acuerdo}\r\n\r\n\r\n"));
        QCOMPARE(bytes.count("[Event"), 2);

        const TGameFile file = TGameFile::FromBytes(bytes, first.FileName);
        QCOMPARE(file.Count(), 2);
        QCOMPARE(file.Preselected(), 1);
        QCOMPARE(file.Index()[0].Text(), u"peon7 \u2013 ZuzPlak, 1-0, 25/03/2024"_qs);
        QCOMPARE(file.Index()[1].Result, "1/2-1/2");
        QCOMPARE(file.Read(1).ReplayMoves, Words("E2E4 E7E5 D2D4"));
        QCOMPARE(file.Read(0).ReplayMoves.size(), 13);
    }

    void databaseWarnsWhenBig() {
        QTemporaryDir dir;
        const QString folder = dir.filePath("Png/");
        QStringList many;
        for (int i = 0; i < 4980; ++i)
            many << QStringLiteral("{ linea %1 }").arg(i);
        const TDatabaseSave below = AppendToPgnDatabase(folder, "x", Header(), many);
        QCOMPARE(below.LineCount, 4990);
        QVERIFY(below.Warning.isEmpty());
        const TDatabaseSave above = AppendToPgnDatabase(folder, "x", Header(), {"1.Pe2e4"});
        QVERIFY(above.Saved);
        QCOMPARE(above.LineCount, 4990 + 11);
        QCOMPARE(above.Warning, u"         \u00a1\u00a1ATENCION!!\n\rLa base de datos "_qs +
                                    folder +
                                    u"x.pgn\n\rya es demasiado grande. Deberia considerar la\n\r"
                                    u"posibilidad de guardarla en otra carpeta para\n\r"
                                    u"facilitar la funci\u00f3n de autoguardado"_qs);
    }

    // A save that cannot be done is reported and harms nothing already there.
    void failedSavesKeepOldBytes() {
        QTemporaryDir dir;
        // The folder's place is taken by a file.
        const QString notAFolder = dir.filePath("Png");
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old bytes");
        f.close();
        TDatabaseSave s = AppendToPgnDatabase(notAFolder + "/", "peon7", Header(), LegalMate);
        QVERIFY(!s.Saved);
        QCOMPARE(s.Error, "No se pudo crear el directorio PNG");
        QCOMPARE(FileBytes(notAFolder), QByteArray("old bytes"));

        // The database's place is taken by a folder.
        const QString folder = dir.filePath("db/");
        QVERIFY(QDir().mkpath(folder + "peon7.pgn"));
        s = AppendToPgnDatabase(folder, "peon7", Header(), LegalMate);
        QVERIFY(!s.Saved);
        QVERIFY(s.Error.startsWith("No se pudo guardar la partida en la base de datos"));

        // A game file under a regular file.
        QString error;
        QVERIFY(!SaveOwnGameFile(notAFolder + "/x.gam", Header(), LegalMate, &error));
        QVERIFY(error.startsWith("No se pudo guardar la partida en"));
        QVERIFY(!ReadGameFileBytes(dir.filePath("missing.gam"), nullptr, &error));
        QVERIFY(error.startsWith("No se pudo leer"));

        // The disk fills up in the middle of the block: the file is cut back.
        const QString good = dir.filePath("full/");
        QVERIFY(AppendToPgnDatabase(good, "peon7", Header(), LegalMate).Saved);
        const QByteArray before = FileBytes(good + "peon7.pgn");
        struct rlimit old;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit small = old;
        small.rlim_cur = static_cast<rlim_t>(before.size() + 40);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        s = AppendToPgnDatabase(good, "peon7", Header(), LegalMate);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!s.Saved);
        QVERIFY(s.Error.startsWith("No se pudo guardar la partida en la base de datos"));
        QCOMPARE(FileBytes(good + "peon7.pgn"), before);
    }

    void databaseFileName_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << "peon7"
                               << "/p/Png/peon7.pgn";
        QTest::newRow("path") << "../../etc/x"
                              << "/p/Png/.._.._etc_x.pgn";
        QTest::newRow("windows") << "a:b*c?"
                                 << "/p/Png/a_b_c_.pgn";
    }
    void databaseFileName() {
        QFETCH(QString, nick);
        QFETCH(QString, file);
        QCOMPARE(PgnDatabaseFile("/p/Png/", nick), file);
    }

    void dates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("standard");
        QTest::newRow("own") << "25/03/2024"
                             << "2024.03.25";
        QTest::newRow("short year") << "5/3/24"
                                    << "2024.03.05";
        QTest::newRow("last century") << "31.12.99"
                                      << "1999.12.31";
        QTest::newRow("month first") << "12/31/2023"
                                     << "2023.12.31";
        QTest::newRow("iso") << "2024-03-25"
                             << "2024.03.25";
        QTest::newRow("standard part known") << "1858.??.??"
                                             << "1858.??.??";
        QTest::newRow("no such day") << "31/02/2024"
                                     << "????.??.??";
        QTest::newRow("words") << "ayer"
                               << "????.??.??";
        QTest::newRow("empty") << ""
                               << "????.??.??";
    }
    void dates() {
        QFETCH(QString, text);
        QFETCH(QString, standard);
        QCOMPARE(StandardDateOf(text), standard);
    }
};

QTEST_GUILESS_MAIN(TstRecordFiles)
#include "tst_recordfiles.moc"
