// zugaret-uci through its pipes: the conversation a GUI holds with it,
// every form of "go", stops and questions during a search, malformed lines,
// mates found, a game against itself to its end; and the clock's budget.
#include "ChessModel.h"
#include "EngineLevel.h"
#include "UciEngine.h"
#include "UciPosition.h"
#include "UciText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {

// Generous: the sanitizer build on a busy machine is slow.
constexpr int kWaitMs = 60000;

// One zugaret-uci process; every line it wrote is kept.
class UciProcess {
public:
    UciProcess() {
        process_.start(QCoreApplication::applicationDirPath() + "/zugaret-uci", QStringList{});
        started_ = process_.waitForStarted(kWaitMs);
    }
    ~UciProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
        }
    }
    bool Started() const { return started_; }
    void Send(const QByteArray& line) {
        process_.write(line + '\n');
        process_.waitForBytesWritten(kWaitMs);
    }
    // Lines up to and including the first that starts with prefix; empty
    // when none came in time.
    QList<QByteArray> Until(const QByteArray& prefix, int waitMs = kWaitMs) {
        QList<QByteArray> lines;
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (process_.canReadLine()) {
                lines << process_.readLine().chopped(1);
                all_ << lines.last();
                if (lines.last().startsWith(prefix)) return lines;
            }
            if (timer.elapsed() > waitMs || process_.state() != QProcess::Running) return {};
            process_.waitForReadyRead(50);
        }
    }
    // Lines written so far that start with prefix.
    int Count(const QByteArray& prefix) const {
        return int(std::count_if(all_.begin(), all_.end(),
                                 [&](const QByteArray& l) { return l.startsWith(prefix); }));
    }
    // What the process has written and not yet been read.
    QByteArray Pending() {
        process_.waitForReadyRead(0);
        return process_.peek(1 << 20);
    }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
    bool started_ = false;
    QList<QByteArray> all_;
};

QByteArray BestMoveOf(const QList<QByteArray>& lines) {
    return lines.isEmpty() ? QByteArray() : ParseUciReply(lines.last()).bestMove;
}

} // namespace

class TestUciEngine : public QObject {
    Q_OBJECT
private slots:
    void handshake();
    void everyGoForm_data();
    void everyGoForm();
    void malformedLinesAreAnsweredAndSurvived_data();
    void malformedLinesAreAnsweredAndSurvived();
    void refusedPositionKeepsThePreviousOne();
    void stopDuringInfiniteAndIsReadyMeanwhile();
    void ponderHitStartsTheClock();
    void quitDuringASearchStillAnswers();
    void endOfInputLetsTheSearchFinish();
    void skillLevelsAnswer_data();
    void skillLevelsAnswer();
    void mateFound_data();
    void mateFound();
    void gameAgainstItselfToTheEnd();
    void timePlan_data();
    void timePlan();
};

void TestUciEngine::handshake() {
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("uci");
    const QList<QByteArray> lines = uci.Until("uciok");
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QByteArray("id name ZuzPlak"));
    QVERIFY(lines.contains("option name Skill type spin default 8 min 1 max 8"));
    bool elo = false;
    for (const QByteArray& l : lines) {
        const TUciReply r = ParseUciReply(l);
        QVERIFY2(r.kind != TUciReplyKind::Malformed && r.kind != TUciReplyKind::Unknown, l);
        elo = elo || (r.kind == TUciReplyKind::Option && r.option.name == "UCI_Elo");
    }
    QVERIFY(elo);
    uci.Send("isready");
    QCOMPARE(uci.Until("readyok").size(), 1);
}

void TestUciEngine::everyGoForm_data() {
    QTest::addColumn<QByteArray>("position");
    QTest::addColumn<QByteArray>("go");
    QTest::addColumn<QByteArray>("expect"); // a line that must come before bestmove, if any
    const QByteArray start = "position startpos moves e2e4 e7e5 g1f3";
    QTest::newRow("depth") << start << QByteArray("go depth 3") << QByteArray("info depth 3 ");
    QTest::newRow("nodes") << start << QByteArray("go nodes 3000") << QByteArray("info depth 1 ");
    QTest::newRow("movetime") << start << QByteArray("go movetime 100")
                              << QByteArray("info depth 1 ");
    QTest::newRow("clock") << start << QByteArray("go wtime 2000 btime 2000 winc 100 binc 100")
                           << QByteArray("info depth 1 ");
    QTest::newRow("clock and moves to go")
        << start << QByteArray("go wtime 1000 btime 1000 movestogo 1")
        << QByteArray("info depth 1 ");
    QTest::newRow("tiny clock") << start << QByteArray("go wtime 5 btime 5") << QByteArray();
    QTest::newRow("flag fallen") << start << QByteArray("go wtime -200 btime 1000") << QByteArray();
    QTest::newRow("movetime zero") << start << QByteArray("go movetime 0") << QByteArray();
    QTest::newRow("mate") << QByteArray("position fen 6k1/5ppp/8/8/8/8/8/R6K w - - 0 1")
                          << QByteArray("go mate 1") << QByteArray("info depth 1 score mate 1 ");
    QTest::newRow("debug tells the limits")
        << QByteArray("setoption name Skill value 2\ndebug on\n" + start) << QByteArray("go")
        << "info string level 2: depth " + QByteArray::number(EngineLevel(2).depth) + ", nodes " +
               QByteArray::number(qulonglong(EngineLevel(2).nodes)) + ", noise " +
               QByteArray::number(EngineLevel(2).rootNoise);
    QTest::newRow("searchmoves") << start << QByteArray("go depth 2 searchmoves b8c6")
                                 << QByteArray("info string searchmoves");
    QTest::newRow("no legal move")
        << QByteArray("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1") << QByteArray("go depth 3")
        << QByteArray("info string no legal move");
}

void TestUciEngine::everyGoForm() {
    QFETCH(QByteArray, position);
    QFETCH(QByteArray, go);
    QFETCH(QByteArray, expect);
    UciProcess uci;
    QVERIFY(uci.Started());
    for (const QByteArray& line : position.split('\n'))
        uci.Send(line);
    uci.Send(go);
    const QList<QByteArray> lines = uci.Until("bestmove");
    QVERIFY2(!lines.isEmpty(), "no bestmove");
    if (!expect.isEmpty())
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QByteArray& l) { return l.startsWith(expect); }),
                 lines.join('\n'));
    const QByteArray best = BestMoveOf(lines);
    if (go.contains("nodes")) {
        for (const QByteArray& l : lines)
            if (l.startsWith("info depth")) QVERIFY2(ParseUciReply(l).info.nodes <= 3000, l);
    }
    // The move is legal where it was asked, or 0000 where there is none.
    TUciPosition p;
    const TUciCommand c = ParseUciCommand(position.split('\n').last());
    if (!c.fen.isEmpty()) QVERIFY(p.SetFen(c.fen));
    for (const QByteArray& m : c.moves)
        QVERIFY(p.Play(m));
    if (best == "0000")
        QVERIFY(expect.contains("no legal move"));
    else
        QVERIFY2(p.Play(best), best);
    // Exactly one answer, and the engine listens afterwards.
    uci.Send("isready");
    QVERIFY(!uci.Until("readyok").isEmpty());
    QCOMPARE(uci.Count("bestmove"), 1);
}

void TestUciEngine::malformedLinesAreAnsweredAndSurvived_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("unknown") << QByteArray("hello engine")
                             << QByteArray("info string unknown command");
    QTest::newRow("bad go") << QByteArray("go depth many")
                            << QByteArray("info string bad or missing number");
    QTest::newRow("bad position") << QByteArray("position somewhere")
                                  << QByteArray("info string position needs");
    QTest::newRow("illegal move") << QByteArray("position startpos moves e2e5")
                                  << QByteArray(
                                         "info string position not taken: illegal move e2e5");
    QTest::newRow("unplayable fen") << QByteArray("position fen 8/8/8/8/8/8/8/8 w - - 0 1")
                                    << QByteArray("info string position not taken");
    QTest::newRow("broken fen") << QByteArray("position fen rnbqkbnr/ppp w KQkq - 0 1")
                                << QByteArray("info string position not taken");
    QTest::newRow("unknown option") << QByteArray("setoption name Hash value 64")
                                    << QByteArray("info string no such option: Hash");
    QTest::newRow("skill out of range")
        << QByteArray("setoption name Skill value 99")
        << QByteArray("info string option Skill takes a number from 1 to 8");
    QTest::newRow("bad check value") << QByteArray("setoption name UCI_LimitStrength value maybe")
                                     << QByteArray("info string option UCI_LimitStrength takes");
    QTest::newRow("control bytes")
        << QByteArray("\x01\x02\xff\xfe go?") << QByteArray("info string unknown command");
    QTest::newRow("a very long line")
        << QByteArray(200000, 'x') << QByteArray("info string unknown command");
    QTest::newRow("a line over a mebibyte")
        << QByteArray(3 << 20, 'y') << QByteArray("info string");
}

void TestUciEngine::malformedLinesAreAnsweredAndSurvived() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send(line);
    const QList<QByteArray> lines = uci.Until("info string");
    QVERIFY2(!lines.isEmpty() && lines.last().startsWith(answer), lines.join('\n').left(300));
    QVERIFY(lines.last().size() < 300);
    uci.Send("isready");
    QVERIFY(!uci.Until("readyok").isEmpty());
    uci.Send("position startpos");
    uci.Send("go depth 2");
    QVERIFY(!uci.Until("bestmove").isEmpty());
}

void TestUciEngine::refusedPositionKeepsThePreviousOne() {
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("position fen 6k1/5ppp/8/8/8/8/8/R6K w - - 0 1");
    uci.Send("position fen 6k1/5ppp/8/8/8/8/8/R6K w - - 0 1 moves a1a9");
    uci.Send("go depth 2");
    QCOMPARE(BestMoveOf(uci.Until("bestmove")), QByteArray("a1a8"));
}

void TestUciEngine::stopDuringInfiniteAndIsReadyMeanwhile() {
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("position startpos moves d2d4");
    uci.Send("go infinite");
    QVERIFY(!uci.Until("info depth 3 ").isEmpty());
    // While it searches: questions are answered, the search goes on.
    uci.Send("isready");
    const QList<QByteArray> ready = uci.Until("readyok");
    QVERIFY(!ready.isEmpty());
    QCOMPARE(uci.Count("bestmove"), 0);
    uci.Send("stop");
    const QByteArray best = BestMoveOf(uci.Until("bestmove"));
    TUciPosition p;
    QVERIFY(p.Play("d2d4"));
    QVERIFY2(p.Play(best), best);
    // A search that ends by itself (a weak level) still waits for the stop.
    uci.Send("setoption name Skill value 1");
    uci.Send("go infinite");
    QVERIFY(!uci.Until("info depth 1 ").isEmpty());
    uci.Send("isready");
    QVERIFY(!uci.Until("readyok").isEmpty());
    QVERIFY(uci.Until("bestmove", 300).isEmpty());
    uci.Send("stop");
    QVERIFY(!uci.Until("bestmove").isEmpty());
    QCOMPARE(uci.Count("bestmove"), 2);
}

void TestUciEngine::ponderHitStartsTheClock() {
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("position startpos moves e2e4 e7e5");
    uci.Send("go ponder wtime 3000 btime 3000");
    QVERIFY(!uci.Until("info depth 2 ").isEmpty());
    QCOMPARE(uci.Count("bestmove"), 0);
    uci.Send("ponderhit");
    QVERIFY(!uci.Until("bestmove").isEmpty());
}

void TestUciEngine::quitDuringASearchStillAnswers() {
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("go infinite");
    QVERIFY(!uci.Until("info depth 1 ").isEmpty());
    uci.Send("quit");
    QVERIFY(uci.Process().waitForFinished(kWaitMs));
    QCOMPARE(uci.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(uci.Process().exitCode(), 0);
    QVERIFY(uci.Process().readAll().contains("bestmove "));
}

void TestUciEngine::endOfInputLetsTheSearchFinish() {
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("position startpos");
    uci.Send("go depth 4");
    uci.Process().closeWriteChannel();
    QVERIFY(uci.Process().waitForFinished(kWaitMs));
    QCOMPARE(uci.Process().exitCode(), 0);
    const QByteArray out = uci.Process().readAll();
    QVERIFY2(out.contains("info depth 4 ") && out.contains("bestmove "), out);
}

void TestUciEngine::skillLevelsAnswer_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("level"); // its depth is the deepest iteration a bare go reports
    QTest::newRow("Skill 1") << QByteArray("setoption name Skill value 1") << 1;
    QTest::newRow("Skill 3") << QByteArray("setoption name skill value 3") << 3;
    const QByteArray elo = "setoption name UCI_Elo value ";
    const QByteArray limit = "setoption name UCI_LimitStrength value true";
    QTest::newRow("Elo just under level 3")
        << limit + '\n' + elo + QByteArray::number(EngineLevel(3).elo - 1) << 2;
    QTest::newRow("Elo of level 1, set before the limit")
        << elo + QByteArray::number(EngineLevel(1).elo) + '\n' + limit << 1;
}

void TestUciEngine::skillLevelsAnswer() {
    QFETCH(QByteArray, setting);
    QFETCH(int, level);
    const int depth = EngineLevel(level).depth;
    UciProcess uci;
    QVERIFY(uci.Started());
    for (const QByteArray& line : setting.split('\n'))
        uci.Send(line);
    uci.Send("position startpos moves e2e4");
    uci.Send("go");
    const QList<QByteArray> lines = uci.Until("bestmove");
    QVERIFY(!lines.isEmpty());
    int deepest = 0;
    for (const QByteArray& l : lines)
        if (l.startsWith("info depth")) deepest = std::max(deepest, ParseUciReply(l).info.depth);
    QCOMPARE(deepest, depth);
}

void TestUciEngine::mateFound_data() {
    QTest::addColumn<QByteArray>("fen");
    QTest::addColumn<int>("moves");
    QTest::addColumn<QByteArray>("first");
    QTest::newRow("back rank, in 1")
        << QByteArray("6k1/5ppp/8/8/8/8/8/R6K w - - 0 1") << 1 << QByteArray("a1a8");
    QTest::newRow("rooks, in 2, Black")
        << QByteArray("6k1/pp4p1/2p5/2bp4/8/P5Pb/1P3rrP/2BRRN1K b - - 0 1") << 2
        << QByteArray("g2g1");
    QTest::newRow("king hunt, in 3, Black")
        << QByteArray("r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1") << 3
        << QByteArray("f8c5");
    QTest::newRow("queen and rook, in 3, Black")
        << QByteArray("2r3k1/p4p2/3Rp2p/1p2P1pK/8/1P4P1/P3Q2P/1q6 b - - 0 1") << 3
        << QByteArray("b1g6");
}

void TestUciEngine::mateFound() {
    QFETCH(QByteArray, fen);
    QFETCH(int, moves);
    QFETCH(QByteArray, first);
    UciProcess uci;
    QVERIFY(uci.Started());
    uci.Send("position fen " + fen);
    uci.Send("go mate " + QByteArray::number(moves));
    const QList<QByteArray> lines = uci.Until("bestmove");
    QVERIFY(!lines.isEmpty());
    QCOMPARE(BestMoveOf(lines), first);
    const TUciReply last = ParseUciReply(lines.at(lines.size() - 2));
    QVERIFY(last.info.mate);
    QCOMPARE(last.info.score, moves);
    // The line it gives is the mate: played out, the side to move has no move.
    TUciPosition p;
    QVERIFY(p.SetFen(fen));
    TChessModel board;
    QVERIFY(board.SetFen(QString::fromLatin1(fen)));
    for (const QByteArray& m : last.info.pv.mid(0, 2 * moves - 1)) {
        QVERIFY2(p.Play(m), m);
        const Square from = ToSquare((m[0] - 'a') + 8 * ('8' - m[1]) + 1);
        const Square to = ToSquare((m[2] - 'a') + 8 * ('8' - m[3]) + 1);
        QVERIFY(board.DoMove(from, to));
    }
    QVERIFY(!board.HasLegalMove());
    QVERIFY(board.KingAttackedAfter(board.WhiteToMove() ? 1 : 0, Square::A8, Square::A8));
}

void TestUciEngine::gameAgainstItselfToTheEnd() {
    // Two processes, weak levels (their noise makes every game another),
    // judged on the board's rules; every move must be legal there.
    UciProcess white, black;
    QVERIFY(white.Started() && black.Started());
    white.Send("setoption name Skill value 1");
    black.Send("setoption name Skill value 2");
    TChessModel board;
    bool noMaterial = false;
    QList<QByteArray> moves;
    int quiet = 0;
    QString end;
    while (end.isEmpty()) {
        UciProcess& side = board.WhiteToMove() ? white : black;
        side.Send(FormatUciPosition({}, moves));
        side.Send("go nodes 4000");
        const QByteArray move = BestMoveOf(side.Until("bestmove"));
        QVERIFY2(IsUciMoveText(move) && move != "0000", move);
        const Square from = ToSquare((move[0] - 'a') + 8 * ('8' - move[1]) + 1);
        const Square to = ToSquare((move[2] - 'a') + 8 * ('8' - move[3]) + 1);
        QVERIFY2(board.IsLegalMove(from, to), move + " after " + moves.join(' '));
        const char piece = board.PieceAt(from);
        quiet = (piece == 'P' || piece == 'p' || board.PieceAt(to) != ' ') ? 0 : quiet + 1;
        const std::optional<TMoveOutcome> played =
            board.ApplyMove(from, to, move.size() == 5 ? move[4] : 'q');
        QVERIFY(played);
        noMaterial = played->NoMatingMaterial;
        moves << move;
        if (board.IsThreefoldRepetition())
            end = "repetition";
        else if (!board.HasLegalMove())
            end = "mate or stalemate";
        else if (noMaterial)
            end = "material";
        else if (quiet >= 100)
            end = "fifty moves";
        QVERIFY2(moves.size() < 1500, "the game does not end");
    }
    qInfo("%s after %lld plies", qPrintable(end), static_cast<long long>(moves.size()));
}

void TestUciEngine::timePlan_data() {
    QTest::addColumn<QByteArray>("go");
    QTest::addColumn<bool>("white");
    QTest::addColumn<qint64>("leastHard"); // -1: no limit expected
    const QByteArray game = "go wtime 1000 btime 50 winc 100 binc 100";
    QTest::newRow("1 s + 0.1 s, plenty") << game << true << qint64(100);
    QTest::newRow("1 s + 0.1 s, 50 ms left") << game << false << qint64(1);
    QTest::newRow("1 s + 0.1 s, drained to 300 ms")
        << QByteArray("go wtime 300 btime 300 winc 100 binc 100") << true << qint64(1);
    QTest::newRow("increment larger than the clock")
        << QByteArray("go wtime 40 btime 40 winc 1000") << true << qint64(1);
    QTest::newRow("flag fallen") << QByteArray("go wtime -10 btime 10") << true << qint64(1);
    QTest::newRow("one move to the control")
        << QByteArray("go wtime 10000 btime 1 movestogo 1") << true << qint64(5000);
    QTest::newRow("an hour") << QByteArray("go wtime 3600000 btime 3600000") << true
                             << qint64(60000);
    QTest::newRow("movetime") << QByteArray("go movetime 300") << true << qint64(290);
    QTest::newRow("no clock for this side") << QByteArray("go btime 1000") << true << qint64(-1);
    QTest::newRow("depth only") << QByteArray("go depth 5") << true << qint64(-1);
}

void TestUciEngine::timePlan() {
    QFETCH(QByteArray, go);
    QFETCH(bool, white);
    QFETCH(qint64, leastHard);
    const TUciGo g = ParseUciCommand(go).go;
    const TUciTimePlan plan = PlanUciTime(g, white);
    if (leastHard < 0) {
        QCOMPARE(plan.hardMs, -1);
        return;
    }
    QVERIFY2(plan.hardMs >= leastHard, qPrintable(QString::number(plan.hardMs)));
    QVERIFY(plan.softMs <= plan.hardMs);
    if (g.movetime) {
        QVERIFY(plan.hardMs <= *g.movetime);
        return;
    }
    // Never the whole clock: the move must be sent with time to spare.
    const qint64 left = *(white ? g.wtime : g.btime);
    QVERIFY(plan.softMs >= 1);
    QVERIFY2(plan.hardMs <= std::max<qint64>(1, left * 3 / 4),
             qPrintable(QString::number(plan.hardMs)));
    // A clock down to a few increments spends less than one a move, even to
    // its hard limit: answers that come late fill it up again.
    const qint64 inc = white ? g.winc : g.binc;
    if (inc > 0 && left < 5 * inc)
        QVERIFY2(plan.hardMs < inc, qPrintable(QString::number(plan.hardMs)));
}

QTEST_GUILESS_MAIN(TestUciEngine)
#include "tst_uciengine.moc"
