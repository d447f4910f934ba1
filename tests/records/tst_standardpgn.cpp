// Standard PGN: moves written in SAN from the board's rules, files of other
// programs read (comments, variations, NAGs), multi-game files cut into an
// index, and every reader fed random and truncated bytes.
#include "ChessModel.h"
#include "GameFile.h"
#include "RecordText.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QStringList Words(const QString& text) {
    return text.split(u' ', Qt::SkipEmptyParts);
}

QString WithFen(const QString& fen, const QString& movetext) {
    return fen.isEmpty() ? movetext
                         : QStringLiteral("[SetUp \"1\"]\n[FEN \"%1\"]\n\n%2").arg(fen, movetext);
}

// The written game's movetext on one line; fails the test on a line of 80 or more.
QString Movetext(const QStringList& written) {
    const qsizetype blank = written.indexOf(QString());
    QStringList moves = written.mid(blank + 1);
    moves.removeAll(QString());
    for (const QString& line : written)
        if (line.size() >= 80) return "too long: " + line;
    return moves.join(u' ');
}

QStringList Converted(const QString& text, QString* error = nullptr) {
    const TGameFile file = TGameFile::FromBytes(text.toLatin1(), "x.pgn");
    TReplayBoard board;
    TStandardGame game;
    if (file.Count() != 1 || !file.ToStandard(0, board, &game, error)) return {};
    return WriteStandardPgn(game);
}

} // namespace

class TstStandardPgn : public QObject {
    Q_OBJECT
private slots:
    void knownGames_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Opera game")
            << QString() << QString()
            << "1. e4 e5 2. Nf3 d6 3. d4 Bg4 4. dxe5 Bxf3 5. Qxf3 dxe5 6. Bc4 Nf6 7. Qb3 Qe7 "
               "8. Nc3 c6 9. Bg5 b5 10. Nxb5 cxb5 11. Bxb5+ Nbd7 12. O-O-O Rd8 13. Rxd7 Rxd7 "
               "14. Rd1 Qe6 15. Bxd7+ Nxd7 16. Qb8+ Nxb8 17. Rd8# 1-0";
        QTest::newRow("Legal's mate")
            << QString() << QString()
            << "1. e4 e5 2. Nf3 d6 3. Bc4 Bg4 4. Nc3 g6 5. Nxe5 Bxd1 6. Bxf7+ Ke7 7. Nd5# 1-0";
        QTest::newRow("Scholar's mate") << QString() << "1.e4 e5 2.Bc4 Nc6 3.Qh5 Nf6?? 4.Qxf7 1-0"
                                        << "1. e4 e5 2. Bc4 Nc6 3. Qh5 Nf6 $4 4. Qxf7# 1-0";
        QTest::newRow("Fool's mate") << QString() << QString() << "1. f3 e5 2. g4 Qh4# 0-1";
        QTest::newRow("both castlings")
            << QString()
            << "1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. 0-0 d6 5. d3 Bg4 6. Nc3 Qd7 7. Be3 0-0-0 *"
            << "1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. O-O d6 5. d3 Bg4 6. Nc3 Qd7 7. Be3 O-O-O *";
        QTest::newRow("en passant") << QString() << "1. e4 Nf6 2. e5 d5 3. exd6 e.p. exd6 *"
                                    << "1. e4 Nf6 2. e5 d5 3. exd6 exd6 *";
        QTest::newRow("knight by file") << QString() << "1. d4 d5 2. Nf3 Nf6 3. Nb1d2 *"
                                        << "1. d4 d5 2. Nf3 Nf6 3. Nbd2 *";
        QTest::newRow("rook by rank") << "4k3/8/8/R7/8/8/8/R3K3 w - - 0 1"
                                      << "1. Ra1a3 *"
                                      << "1. R1a3 *";
        QTest::newRow("queen by square") << "4k3/8/8/8/8/Q7/8/Q1Q1K3 w - - 0 1"
                                         << "1. Qa1-b2 *"
                                         << "1. Qa1b2 *";
        QTest::newRow("promotion with check") << "7k/4P3/8/8/8/8/8/4K3 w - - 0 1"
                                              << "1. e8Q *"
                                              << "1. e8=Q+ *";
        QTest::newRow("underpromotion capture") << "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1"
                                                << "1. axb8=N *"
                                                << "1. axb8=N *";
        QTest::newRow("castling with check") << "5k2/8/8/8/8/8/8/4K2R w K - 0 1"
                                             << "1. O-O *"
                                             << "1. O-O+ *";
        QTest::newRow("black first")
            << "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"
            << "1... e5 2. Nf3 *"
            << "1... e5 2. Nf3 *";
    }
    void knownGames() {
        QFETCH(QString, fen);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QString error;
        const QStringList written =
            Converted(WithFen(fen, input.isEmpty() ? expected : input), &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        QCOMPARE(Movetext(written), expected);
        // What is written reads back to the same text.
        QCOMPARE(Converted(written.join(u'\n')), written);
    }

    // Comments, variations and NAGs stay after the move they follow, and
    // what is written reads back the same.
    void annotationsKept_data() {
        QTest::addColumn<QString>("movetext");
        QTest::addColumn<QString>("written");
        QTest::newRow("comment before the first move") << "{Partida del club} 1. e4 e5 *"
                                                       << "{Partida del club} 1. e4 e5 *";
        QTest::newRow("a comment over two lines") << "1. e4 {la mejor\n  jugada} e5 *"
                                                  << "1. e4 {la mejor jugada} 1... e5 *";
        QTest::newRow("nested variation with a comment")
            << "1. e4 e5 (1... c5 {siciliana} 2. Nf3 (2. c3) d6) 2. Nf3 *"
            << "1. e4 e5 (1... c5 {siciliana} 2. Nf3 (2. c3) d6) 2. Nf3 *";
        QTest::newRow("marks and NAGs") << "1. e4! e5?! 2. Nf3 $14 Nc6 !? *"
                                        << "1. e4 $1 e5 $6 2. Nf3 $14 Nc6 $5 *";
        QTest::newRow("rest-of-line comment") << "1. e4 ; abre el centro\ne5 *"
                                              << "1. e4 {abre el centro} 1... e5 *";
        QTest::newRow("a variation across lines") << "1. d4 (1. e4\ne5) d5 *"
                                                  << "1. d4 (1. e4 e5) 1... d5 *";
        QTest::newRow("a comment left open") << "1. e4 e5 {sin cerrar"
                                             << "1. e4 e5 {sin cerrar} *";
        QTest::newRow("a long comment breaks between words")
            << "1. e4 {" + QString("palabra ").repeated(20) + "} e5 *"
            << "1. e4 {" + QString("palabra ").repeated(19) + "palabra} 1... e5 *";
    }
    void annotationsKept() {
        QFETCH(QString, movetext);
        QString error;
        const QStringList written = Converted("[Event \"a\"]\n\n" + movetext + "\n", &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        QTEST(Movetext(written), "written");
        QCOMPARE(Converted(written.join(u'\n')), written);
    }

    // A file that is valid UTF-8 (and not plain ASCII) reads as UTF-8; any
    // other, the program's own files among them, as Latin-1.
    void textEncoding_data() {
        QTest::addColumn<QByteArray>("white");
        QTest::addColumn<QString>("read");
        const QString perez = QString::fromUtf8("P\u00e9rez, Jos\u00e9");
        QTest::newRow("UTF-8") << QByteArray("P\xc3\xa9rez, Jos\xc3\xa9") << perez;
        QTest::newRow("UTF-8 with a byte order mark")
            << QByteArray("\xef\xbb\xbfP\xc3\xa9rez, Jos\xc3\xa9") << perez;
        QTest::newRow("Latin-1") << QByteArray("P\xe9rez, Jos\xe9") << perez;
        QTest::newRow("Latin-1 that looks like UTF-8 in part")
            << QByteArray("P\xc3\xa9rez \xe9") << QString::fromUtf8("P\u00c3\u00a9rez \u00e9");
        QTest::newRow("ASCII") << QByteArray("Perez") << "Perez";
    }
    void textEncoding() {
        QFETCH(QByteArray, white);
        QFETCH(QString, read);
        const bool bom = white.startsWith("\xef\xbb\xbf");
        const QByteArray name = bom ? white.mid(3) : white;
        for (const QByteArray& text :
             {QByteArray("[White \"") + name + "\"]\n\n1. e4 e5 *\n",
              QByteArray("[White \"") + name + "\"]\r\n1.Pe2e4 Pe7e5\r\n"}) {
            const TGameFile file = TGameFile::FromBytes(
                (bom ? QByteArray("\xef\xbb\xbf") : QByteArray()) + text, "x.pgn");
            QCOMPARE(file.Count(), 1);
            QCOMPARE(file.Index().first().White, read);
            const TOpenedGame g = file.Read(0);
            QVERIFY2(g.Opened(), qPrintable(g.Error));
            QCOMPARE(g.White.value_or(QString()), read);
            QVERIFY(g.Lines.first().contains(read));
        }
    }

    void layout() {
        const QString text = "[White \"Paul \\\"Morphy\\\"\"]\n[Black \"Duke\"]\n[Opening \"x\"]\n"
                             "[Event \"Paris\"]\n[WhiteElo \"2690\"]\n\n1. e4 {ok} e5 1/2-1/2\n";
        const QString expected = "[Event \"Paris\"]\n[Site \"?\"]\n[Date \"????.??.??\"]\n"
                                 "[Round \"?\"]\n[White \"Paul \\\"Morphy\\\"\"]\n"
                                 "[Black \"Duke\"]\n[Result \"1/2-1/2\"]\n[Opening \"x\"]\n"
                                 "[WhiteElo \"2690\"]\n\n1. e4 {ok} 1... e5 1/2-1/2\n";
        QCOMPARE(Converted(text).join(u'\n'), expected);
    }

    // What other programs put around the moves is skipped.
    void readsImportFormat() {
        const QString text =
            "% escaped line 1. h4\n[Event \"t\"]\n\n"
            "1. e4 $1 {best {by test} e5 (1... c5 2. Nf3 (2. c3) d6) 2. Nf3!? ; a) Nc3\n"
            "{ a comment\n[Event \"inside\"]\n} 2... Nc6 3.Bb5 a6 4. Ba4 Nf6 5. 0-0 Be7 *\n";
        const TGameFile file = TGameFile::FromBytes(text.toLatin1(), "x.pgn");
        QCOMPARE(file.Count(), 1);
        const TOpenedGame g = file.Read(0);
        QVERIFY2(g.Opened(), qPrintable(g.Error));
        QCOMPARE(g.ReplayMoves, Words("E2E4 E7E5 G1F3 B8C6 F1B5 A7A6 B5A4 G8F6 E1G1 F8E7"));
        QCOMPARE(g.Lines.size(), 7);
        QCOMPARE(g.Result, "*");
    }

    void unreadableMoves_data() {
        QTest::addColumn<QString>("movetext");
        QTest::addColumn<QString>("error");
        QTest::newRow("illegal") << "1. e4 e5 2. Ke3"
                                 << u"jugada 2. \u00abKe3\u00bb no es legal"_qs;
        QTest::newRow("ambiguous")
            << "1. d4 e6 2. Nf3 b6 3. Nd2" << u"jugada 3. \u00abNd2\u00bb es ambigua"_qs;
        QTest::newRow("no move") << "1. e4 hello" << u"jugada 1... \u00abhello\u00bb no es una"_qs;
        QTest::newRow("castling after the rook moved")
            << "1. e4 e5 2. Nf3 Bc5 3. Bc4 Nf6 4. Rg1 Nxe4 5. O-O"
            << u"jugada 5. \u00abO-O\u00bb no es legal"_qs;
        QTest::newRow("bad FEN") << "[FEN \"8/8 w\"]\n1. e4" << u"posici\u00f3n inicial"_qs;
    }
    void unreadableMoves() {
        QFETCH(QString, movetext);
        QFETCH(QString, error);
        const TGameFile file = TGameFile::FromBytes(movetext.toLatin1(), "x.pgn");
        const TOpenedGame g = file.Read(0);
        QVERIFY2(g.Error.startsWith(error), qPrintable(g.Error));
        QVERIFY(g.Lines.isEmpty() && g.ReplayMoves.isEmpty());
    }

    void multiGameIndex_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("index");
        QTest::addColumn<QList<int>>("kinds");
        QTest::newRow("standard games")
            << "[White \"a\"]\n[Black \"b\"]\n[Result \"1-0\"]\n[Date \"2001.02.03\"]\n\n"
               "1. e4 1-0\n\n[White \"c\"]\n[Black \"d\"]\n\n1. d4 d5 0-1\n"
            << QStringList{u"a \u2013 b, 1-0, 2001.02.03"_qs, u"c \u2013 d, 0-1, ?"_qs}
            << QList<int>{1, 1};
        QTest::newRow("without tags")
            << "1. e4 e5 1/2-1/2\n{after}\n1. d4 *\n"
            << QStringList{u"? \u2013 ?, 1/2-1/2, ?"_qs, u"? \u2013 ?, *, ?"_qs}
            << QList<int>{1, 1};
        QTest::newRow("own and standard")
            << "[Event \"ZugaretCHAT\"]\n[Result \"*\"]\n\n1.Pe2e4 Pe7e5\n2.Qd1h5 1-0 {x}\n"
               "[Event \"Zugaret CHAT!\"]\n\n{ Blancas:a Elo:1 }\n"
               "[White \"z\"]\n[FEN \"4k3/8/8/8/8/8/8/4K3 w - - 0 1\"]\n\n1. Kd2 *\n"
            << QStringList{u"? \u2013 ?, 1-0, ?"_qs, u"? \u2013 ?, *, ?"_qs, u"z \u2013 ?, *, ?"_qs}
            << QList<int>{0, 0, 1};
    }
    void multiGameIndex() {
        QFETCH(QString, text);
        QFETCH(QStringList, index);
        QFETCH(QList<int>, kinds);
        const TGameFile file = TGameFile::FromBytes(text.toLatin1(), "x.pgn");
        QCOMPARE(file.Count(), index.size());
        QCOMPARE(file.Preselected(), index.size() - 1);
        for (qsizetype i = 0; i < file.Count(); ++i) {
            QCOMPARE(file.Index()[i].Text(), index[i]);
            QCOMPARE(int(file.Index()[i].Kind), kinds[i]);
            QVERIFY2(file.Read(i).Opened(), qPrintable(file.Read(i).Error));
        }
    }

    void currentGame() {
        TRecordHeader h;
        h.WhiteNick = "peon7";
        h.WhiteElo = 1215;
        h.BlackNick = "ZuzPlak";
        h.ResultText = "1-0";
        h.Date = QDate(2024, 3, 25);
        TReplayBoard board;
        TStandardGame game;
        QString error;
        QVERIFY(StandardGameOfRecord(
            h, {"1.Pe2e4 Pe7e5", "2.Bf1c4 Nb8c6", "3.Qd1h5 Ng8f6", "4.Qh5f7++ 1-0"}, board, &game,
            &error));
        const QStringList text = WriteStandardPgn(game);
        QCOMPARE(text.mid(0, 8).join(u' '),
                 "[Event \"ZugaretCHAT\"] [Site \"?\"] [Date \"2024.03.25\"] [Round \"?\"] "
                 "[White \"peon7\"] [Black \"ZuzPlak\"] [Result \"1-0\"] [WhiteElo \"1215\"]");
        QCOMPARE(Movetext(text), "1. e4 e5 2. Bc4 Nc6 3. Qh5 Nf6 4. Qxf7# 1-0");
        QVERIFY(!StandardGameOfRecord(h, {"1.Pe2e5"}, board, &game, &error));
        QVERIFY2(error.startsWith(u"jugada 1. \u00abE2E5\u00bb"_qs), qPrintable(error));
    }

    // Random legal games written in SAN read back to the same moves.
    void randomGamesRoundTrip() {
        QRandomGenerator rng(20240325);
        for (int game = 0; game < 12; ++game) {
            TChessModel model;
            TReplayBoard writer;
            QStringList moves, sans;
            for (int ply = 0; ply < 160; ++ply) {
                QList<std::pair<Square, Square>> legal;
                for (int f = 1; f <= 64; ++f)
                    if (model.PieceColor(ToSquare(f)) == (model.WhiteToMove() ? 1 : 0))
                        for (int t = 1; t <= 64; ++t)
                            if (model.IsLegalMove(ToSquare(f), ToSquare(t)))
                                legal.append({ToSquare(f), ToSquare(t)});
                if (legal.isEmpty()) break;
                const auto [from, to] = legal[rng.bounded(int(legal.size()))];
                const char letter = "qrbn"[rng.bounded(4)];
                QString move = (SquareToText(from) + SquareToText(to)).toUpper();
                const char piece = model.PieceAt(from);
                if ((piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1))
                    move += QChar(QLatin1Char(letter)).toUpper();
                model.SetPromotionLetter(letter);
                QVERIFY(model.DoMove(from, to));
                QString san;
                QVERIFY2(writer.PlayReplayMove(move, &san), qPrintable(move));
                moves << move;
                sans << san;
            }
            TStandardGame g;
            g.Sans = sans;
            const TGameFile file =
                TGameFile::FromBytes(WriteStandardPgn(g).join(u'\n').toLatin1(), "r.pgn");
            const TOpenedGame read = file.Read(0);
            QVERIFY2(read.Opened(), qPrintable(read.Error));
            QCOMPARE(read.ReplayMoves, moves);
        }
    }

    // Any bytes: no reader crashes or reads out of range (the sanitizer
    // builds watch the second part).
    void hostileBytes() {
        const QByteArray samples[] = {
            "[Event \"ZugaretCHAT\"]\r\n[White \"a\r\n{ Blancas:a Elo:9 }\r\n1.Pe2e4 Pe7e5\r\n"
            "2.O-O+ Pa7a8=\r\n3.=\r\n",
            "[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\"]\n1. e4 (e5 {x) "
            "2. Nf3 $3 e5!? 2. Nf3 Nc6 3. Bb5 a6 1-0\n[White \"b",
            "1 \"x\" \"y\"\n15254\n25755\n35758Q+\n4\n"};
        QRandomGenerator rng(77);
        for (int round = 0; round < 400; ++round) {
            QByteArray bytes = samples[round % 3];
            if (round % 4 == 0) {
                bytes.resize(rng.bounded(bytes.size() + 1));
            } else {
                const int changes = 1 + rng.bounded(6);
                for (int i = 0; i < changes; ++i)
                    bytes[rng.bounded(bytes.size())] = char(rng.bounded(256));
                if (round % 7 == 0)
                    for (int i = 0; i < 40; ++i)
                        bytes += char(rng.bounded(256));
            }
            TReplayBoard board;
            for (const bool kibraq : {false, true}) {
                const TGameFile file = TGameFile::FromBytes(bytes, kibraq ? "k.ICG" : "x.gam");
                for (qsizetype i = 0; i < file.Count(); ++i) {
                    (void)file.Read(i);
                    TStandardGame g;
                    if (file.ToStandard(i, board, &g, nullptr)) (void)WriteStandardPgn(g);
                }
            }
            for (const QString& line : SplitRecordLines(bytes)) {
                ReadTagLine(line, nullptr);
                (void)StandardDateOf(line);
                board.PlaySan(line, nullptr, nullptr, nullptr);
            }
        }
        QVERIFY(true);
    }
};

QTEST_GUILESS_MAIN(TstStandardPgn)
#include "tst_standardpgn.moc"
