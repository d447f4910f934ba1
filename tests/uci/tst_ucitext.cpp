// The UCI protocol's text: commands a GUI sends and replies an engine sends,
// parsed from hostile lines and formatted back; moves of a UCI position.
#include "EngineSearch.h"
#include "UciPosition.h"
#include "UciText.h"

#include <QTest>

Q_DECLARE_METATYPE(TUciCommandKind)
Q_DECLARE_METATYPE(TUciReplyKind)

class TestUciText : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void goFields_data();
    void goFields();
    void replies_data();
    void replies();
    void infoFields();
    void optionFields_data();
    void optionFields();
    void formatsParseBack();
    void infoStringIsOneSafeLine();
    void moves_data();
    void moves();
    void positionMoves_data();
    void positionMoves();
};

void TestUciText::commands_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<TUciCommandKind>("kind");
    QTest::addColumn<QByteArray>("fen");
    QTest::addColumn<QByteArray>("moves"); // joined by spaces
    using K = TUciCommandKind;
    QTest::newRow("empty") << QByteArray("  \t\r") << K::Empty << QByteArray() << QByteArray();
    QTest::newRow("uci") << QByteArray("uci") << K::Uci << QByteArray() << QByteArray();
    QTest::newRow("junk before a word")
        << QByteArray("joho isready") << K::IsReady << QByteArray() << QByteArray();
    QTest::newRow("unknown") << QByteArray("hello world") << K::Unknown << QByteArray()
                             << QByteArray();
    QTest::newRow("crlf and tabs")
        << QByteArray("\tstop \r") << K::Stop << QByteArray() << QByteArray();
    QTest::newRow("debug without on/off")
        << QByteArray("debug maybe") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("startpos") << QByteArray("position startpos") << K::Position << QByteArray()
                              << QByteArray();
    QTest::newRow("startpos moves") << QByteArray("position   startpos moves e2e4  e7e5 e1e2")
                                    << K::Position << QByteArray() << QByteArray("e2e4 e7e5 e1e2");
    QTest::newRow("fen six fields")
        << QByteArray("position fen 8/8/8/8/8/8/k7/K7 w - - 0 1 moves a1b1") << K::Position
        << QByteArray("8/8/8/8/8/8/k7/K7 w - - 0 1") << QByteArray("a1b1");
    QTest::newRow("fen four fields")
        << QByteArray("position fen 8/8/8/8/8/8/k7/K7 b - -") << K::Position
        << QByteArray("8/8/8/8/8/8/k7/K7 b - -") << QByteArray();
    QTest::newRow("promotion move") << QByteArray("position startpos moves a7a8q h2h1n")
                                    << K::Position << QByteArray() << QByteArray("a7a8q h2h1n");
    QTest::newRow("neither startpos nor fen")
        << QByteArray("position e2e4") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("nothing after position")
        << QByteArray("position") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("words after startpos")
        << QByteArray("position startpos e2e4") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("fen of seven fields")
        << QByteArray("position fen a b c d e f g") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("fen without fields")
        << QByteArray("position fen moves e2e4") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("bad move") << QByteArray("position startpos moves e2e4 e9e5") << K::Malformed
                              << QByteArray() << QByteArray();
    QTest::newRow("bad promotion letter") << QByteArray("position startpos moves a7a8k")
                                          << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("setoption without name")
        << QByteArray("setoption value 3") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("go with a bad number")
        << QByteArray("go depth x") << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("go with a number out of range") << QByteArray("go nodes 99999999999999999999999")
                                                   << K::Malformed << QByteArray() << QByteArray();
    QTest::newRow("go missing its number")
        << QByteArray("go movetime") << K::Malformed << QByteArray() << QByteArray();
}

void TestUciText::commands() {
    QFETCH(QByteArray, line);
    QFETCH(TUciCommandKind, kind);
    QFETCH(QByteArray, fen);
    QFETCH(QByteArray, moves);
    const TUciCommand c = ParseUciCommand(line);
    QCOMPARE(c.kind, kind);
    if (kind == TUciCommandKind::Malformed) QVERIFY(!c.error.isEmpty());
    QCOMPARE(c.fen, fen);
    QCOMPARE(c.moves.join(' '), moves);
}

void TestUciText::goFields_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected"); // the go as formatted
    QTest::newRow("bare") << QByteArray("go") << QByteArray("go");
    QTest::newRow("clock")
        << QByteArray("go wtime 60000 btime 59000 winc 1000 binc 900 movestogo 20")
        << QByteArray("go wtime 60000 btime 59000 winc 1000 binc 900 movestogo 20");
    QTest::newRow("negative time")
        << QByteArray("go wtime -50 btime 100") << QByteArray("go wtime -50 btime 100");
    QTest::newRow("depth nodes mate")
        << QByteArray("go mate 3 nodes 5000 depth 7") << QByteArray("go depth 7 nodes 5000 mate 3");
    QTest::newRow("movetime") << QByteArray("go movetime 250") << QByteArray("go movetime 250");
    QTest::newRow("infinite") << QByteArray("go infinite") << QByteArray("go infinite");
    QTest::newRow("ponder with clock") << QByteArray("go ponder wtime 1000 btime 1000")
                                       << QByteArray("go ponder wtime 1000 btime 1000");
    QTest::newRow("searchmoves then a word") << QByteArray("go searchmoves e2e4 d2d4 depth 3")
                                             << QByteArray("go depth 3 searchmoves e2e4 d2d4");
    QTest::newRow("unknown words passed over")
        << QByteArray("go fast depth 2 please") << QByteArray("go depth 2");
}

void TestUciText::goFields() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    const TUciCommand c = ParseUciCommand(line);
    QCOMPARE(c.kind, TUciCommandKind::Go);
    QCOMPARE(FormatUciGo(c.go), expected);
    QCOMPARE(ParseUciCommand(expected).go, c.go);
}

void TestUciText::replies_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<TUciReplyKind>("kind");
    QTest::addColumn<QByteArray>("text"); // id value, bestmove/ponder
    using K = TUciReplyKind;
    QTest::newRow("id name") << QByteArray("id name Stock fish 15") << K::Id
                             << QByteArray("Stock fish 15");
    QTest::newRow("id other") << QByteArray("id colour red") << K::Malformed << QByteArray();
    QTest::newRow("uciok") << QByteArray("uciok") << K::UciOk << QByteArray();
    QTest::newRow("readyok after junk") << QByteArray("xx readyok") << K::ReadyOk << QByteArray();
    QTest::newRow("bestmove") << QByteArray("bestmove e7e8q") << K::BestMove
                              << QByteArray("e7e8q/");
    QTest::newRow("bestmove ponder")
        << QByteArray("bestmove e2e4 ponder e7e5") << K::BestMove << QByteArray("e2e4/e7e5");
    QTest::newRow("bestmove none")
        << QByteArray("bestmove 0000") << K::BestMove << QByteArray("0000/");
    QTest::newRow("bestmove bad ponder")
        << QByteArray("bestmove e2e4 ponder zz") << K::BestMove << QByteArray("e2e4/");
    QTest::newRow("bestmove garbage") << QByteArray("bestmove e2e") << K::Malformed << QByteArray();
    QTest::newRow("bestmove alone") << QByteArray("bestmove") << K::Malformed << QByteArray();
    QTest::newRow("info bad score") << QByteArray("info score 12") << K::Malformed << QByteArray();
    QTest::newRow("info bad depth") << QByteArray("info depth -3") << K::Malformed << QByteArray();
    QTest::newRow("option bad spin") << QByteArray("option name X type spin default 1 min 5 max 2")
                                     << K::Malformed << QByteArray();
    QTest::newRow("option unknown type")
        << QByteArray("option name X type colour") << K::Malformed << QByteArray();
    QTest::newRow("option without type")
        << QByteArray("option name X") << K::Malformed << QByteArray();
    QTest::newRow("nonsense") << QByteArray("Stockfish 15.1 by the Stockfish developers")
                              << K::Unknown << QByteArray();
}

void TestUciText::replies() {
    QFETCH(QByteArray, line);
    QFETCH(TUciReplyKind, kind);
    QFETCH(QByteArray, text);
    const TUciReply r = ParseUciReply(line);
    QCOMPARE(r.kind, kind);
    if (kind == TUciReplyKind::Id) QCOMPARE(r.text, text);
    if (kind == TUciReplyKind::BestMove) QCOMPARE(r.bestMove + '/' + r.ponderMove, text);
    if (kind == TUciReplyKind::Malformed) QVERIFY(!r.error.isEmpty());
}

void TestUciText::infoFields() {
    const TUciReply r =
        ParseUciReply("info depth 12 seldepth 20 multipv 1 score mate -3 upperbound "
                      "nodes 123456 nps 999 time 77 hashfull 5 currmove g1f3 "
                      "currmovenumber 2 pv e2e4 e7e5 g1f3 frob");
    QCOMPARE(r.kind, TUciReplyKind::Info);
    const TUciInfo& i = r.info;
    QCOMPARE(i.depth, 12);
    QCOMPARE(i.seldepth, 20);
    QVERIFY(i.hasScore && i.mate);
    QCOMPARE(i.score, -3);
    QCOMPARE(i.bound, TUciBound::Upper);
    QCOMPARE(i.nodes, 123456);
    QCOMPARE(i.time, 77);
    QCOMPARE(i.currmove, QByteArray("g1f3"));
    QCOMPARE(i.pv, (QList<QByteArray>{"e2e4", "e7e5", "g1f3"}));
    const TUciReply s = ParseUciReply("info depth 3 string hello   there pv e2e4");
    QCOMPARE(s.info.depth, 3);
    QCOMPARE(s.info.string, QByteArray("hello there pv e2e4"));
    // A pv of more moves than the bound is refused, not cut into memory.
    QByteArray longPv = "info pv";
    for (int n = 0; n <= UciMaxListItems; ++n)
        longPv += " e2e4";
    QCOMPARE(ParseUciReply(longPv).kind, TUciReplyKind::Malformed);
}

void TestUciText::optionFields_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("defaultValue");
    QTest::addColumn<qint64>("min");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<int>("vars");
    QTest::newRow("spin with spaces in the name")
        << QByteArray("option name Skill Level type spin default 20 min 0 max 20")
        << QByteArray("Skill Level") << QByteArray("20") << qint64(0) << qint64(20) << 0;
    QTest::newRow("check") << QByteArray("option name UCI_LimitStrength type check default false")
                           << QByteArray("UCI_LimitStrength") << QByteArray("false") << qint64(0)
                           << qint64(0) << 0;
    QTest::newRow("empty string") << QByteArray(
                                         "option name SyzygyPath type string default <empty>")
                                  << QByteArray("SyzygyPath") << QByteArray() << qint64(0)
                                  << qint64(0) << 0;
    QTest::newRow("combo") << QByteArray(
                                  "option name Style type combo default Normal var Solid var "
                                  "Normal var Risky play")
                           << QByteArray("Style") << QByteArray("Normal") << qint64(0) << qint64(0)
                           << 3;
    QTest::newRow("button") << QByteArray("option name Clear Hash type button")
                            << QByteArray("Clear Hash") << QByteArray() << qint64(0) << qint64(0)
                            << 0;
}

void TestUciText::optionFields() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, defaultValue);
    QFETCH(qint64, min);
    QFETCH(qint64, max);
    QFETCH(int, vars);
    const TUciReply r = ParseUciReply(line);
    QCOMPARE(r.kind, TUciReplyKind::Option);
    QCOMPARE(r.option.name, name);
    QCOMPARE(r.option.defaultValue, defaultValue);
    QCOMPARE(r.option.min, min);
    QCOMPARE(r.option.max, max);
    QCOMPARE(r.option.vars.size(), vars);
    // Formatted again, the option reads the same.
    QCOMPARE(ParseUciReply(FormatUciOption(r.option)).option, r.option);
}

void TestUciText::formatsParseBack() {
    TUciInfo info;
    info.depth = 9;
    info.hasScore = true;
    info.score = -250;
    info.bound = TUciBound::Lower;
    info.nodes = 1 << 20;
    info.nps = 5000000;
    info.time = 210;
    info.pv = {"e2e4", "e7e8q"};
    QCOMPARE(ParseUciReply(FormatUciInfo(info)).info, info);
    info.mate = true;
    info.score = 4;
    QCOMPARE(ParseUciReply(FormatUciInfo(info)).info, info);

    const QList<QByteArray> moves{"e2e4", "e7e5"};
    const TUciCommand p = ParseUciCommand(FormatUciPosition("8/8/8/8/8/8/k7/K7 w - - 0 1", moves));
    QCOMPARE(p.fen, QByteArray("8/8/8/8/8/8/k7/K7 w - - 0 1"));
    QCOMPARE(p.moves, moves);
    const TUciCommand o = ParseUciCommand(FormatUciSetOption("Skill Level", "3"));
    QCOMPARE(o.name, QByteArray("Skill Level"));
    QCOMPARE(o.value, QByteArray("3"));
    const TUciReply b = ParseUciReply(FormatUciBestMove("", ""));
    QCOMPARE(b.bestMove, QByteArray("0000"));
}

void TestUciText::infoStringIsOneSafeLine() {
    const QByteArray s = FormatUciInfoString(QByteArray("a\nb\rc\x01") + QByteArray(500, 'x'));
    QVERIFY(s.startsWith("info string a b c"));
    QVERIFY(!s.contains('\n') && !s.contains('\r') && !s.contains('\x01'));
    QVERIFY(s.size() <= 220);
}

void TestUciText::moves_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<char>("promotion");
    QTest::newRow("a8 to h1") << QByteArray("a8h1") << 0 << 63 << '\0';
    QTest::newRow("e2e4") << QByteArray("e2e4") << 52 << 36 << '\0';
    QTest::newRow("promotion") << QByteArray("b7b8n") << 9 << 1 << 'n';
    QTest::newRow("capital promotion") << QByteArray("b7b8N") << -1 << -1 << '\0';
    QTest::newRow("null move") << QByteArray("0000") << -1 << -1 << '\0';
    QTest::newRow("off the board") << QByteArray("i2i4") << -1 << -1 << '\0';
    QTest::newRow("too long") << QByteArray("e2e4qq") << -1 << -1 << '\0';
}

void TestUciText::moves() {
    QFETCH(QByteArray, text);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(char, promotion);
    int f = -1, t = -1;
    char p = '\0';
    QCOMPARE(SplitUciMove(text, &f, &t, &p), from >= 0);
    if (from < 0) return;
    QCOMPARE(f, from);
    QCOMPARE(t, to);
    QCOMPARE(p, promotion);
    QCOMPARE(UciMoveText(f, t, p), text);
}

void TestUciText::positionMoves_data() {
    QTest::addColumn<QByteArray>("fen"); // empty: start position
    QTest::addColumn<QByteArray>("moves");
    QTest::addColumn<bool>("legal");
    QTest::addColumn<QByteArray>("squares"); // the board after them, where it matters
    QTest::newRow("opening") << QByteArray() << QByteArray("e2e4 e7e5 g1f3") << true
                             << QByteArray();
    QTest::newRow("castling as the king's step")
        << QByteArray("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1") << QByteArray("e1g1 e8c8") << true
        << QByteArray("  kr   r") + QByteArray(48, ' ') + "R    RK ";
    QTest::newRow("castling without the right") << QByteArray("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1")
                                                << QByteArray("e1g1") << false << QByteArray();
    QTest::newRow("en passant") << QByteArray() << QByteArray("e2e4 a7a6 e4e5 d7d5 e5d6") << true
                                << QByteArray();
    QTest::newRow("promotion with its letter")
        << QByteArray("8/P6k/8/8/8/8/8/K7 w - - 0 1") << QByteArray("a7a8n") << true
        << QByteArray("N              k") + QByteArray(40, ' ') + "K       ";
    QTest::newRow("promotion without a letter") << QByteArray("8/P6k/8/8/8/8/8/K7 w - - 0 1")
                                                << QByteArray("a7a8") << false << QByteArray();
    QTest::newRow("a letter on no promotion")
        << QByteArray() << QByteArray("e2e4q") << false << QByteArray();
    QTest::newRow("wrong side") << QByteArray() << QByteArray("e7e5") << false << QByteArray();
    QTest::newRow("into check") << QByteArray("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1")
                                << QByteArray("e1d2") << false << QByteArray();
    QTest::newRow("a long shuffle")
        << QByteArray() << QByteArray("g1f3 g8f6 f3g1 f6g8 ").repeated(60).trimmed() << true
        << QByteArray("rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR");
}

void TestUciText::positionMoves() {
    QFETCH(QByteArray, fen);
    QFETCH(QByteArray, moves);
    QFETCH(bool, legal);
    QFETCH(QByteArray, squares);
    TUciPosition p;
    if (!fen.isEmpty()) QVERIFY(p.SetFen(fen));
    bool all = true;
    for (const QByteArray& m : moves.split(' '))
        if (!m.isEmpty()) all = all && p.Play(m);
    QCOMPARE(all, legal);
    if (!squares.isEmpty()) QCOMPARE(p.Squares(), squares);
}

QTEST_GUILESS_MAIN(TestUciText)
#include "tst_ucitext.moc"
