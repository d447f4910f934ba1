// The board's engine control with the real worker thread: starting and
// stopping searches, the engine's moves arriving through DoMove with the
// board's events, answers of searches that no longer count being dropped, the
// custom engine path, and tearing a board down while its engine works.
#include "ChessModel.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

const char* const kStart = "rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR";
// A middlegame in which a deep search takes many seconds.
const char* const kBusy = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

struct Played {
    Square from, to;
    bool onGuiThread;
};

// Records the board's move events in order.
struct EventLog {
    std::vector<Played> moves;
    QStringList events;
    void Attach(TChessModel& b) {
        QObject::connect(&b, &TChessModel::OnLegalMove, [this](Square f, Square t) {
            moves.push_back(
                {f, t, QThread::currentThread() == QCoreApplication::instance()->thread()});
            events << "legal:" + SquareToText(f) + SquareToText(t);
        });
        QObject::connect(&b, &TChessModel::OnPaint, [this] { events << "paint"; });
        QObject::connect(&b, &TChessModel::OnCheck, [this] { events << "check"; });
        QObject::connect(&b, &TChessModel::OnMate, [this] { events << "mate"; });
    }
};

} // namespace

class TestEngineControl : public QObject {
    Q_OBJECT
private slots:
    void searchDepthIsClamped_data();
    void searchDepthIsClamped();
    void replyArrivesAfterTheUsersMove();
    void engineFindsMateAtDepthOne();
    void hostsDoMoveIsTakenUpByTheMessageHook();
    void positionWithoutMoveIsNotSearchedAgain();
    void enginePlaysBothSidesUntilNoMoveRemains();
    void writingPositionStopsTheSearch_data();
    void writingPositionStopsTheSearch();
    void stopEndsEvenAnEndlessQuiescence();
    void stopInsideTheEnginesOwnMoveDoesNotWait();
    void answerOfAStaleSearchIsDropped_data();
    void answerOfAStaleSearchIsDropped();
    void switchingToTheCustomEngineStopsTheWorker();
    void promotionIsDecidedByTheBoard();
    void customEngineHostAnswers();
    void customEngineHostFails();
    void customEngineWaitsForTheStopMark();
    void thinkingPriorityIsKeptAndApplied();
    void twoBoardsSearchSideBySide();
    void destroyingWhileSearching();
    void destroyingWhileMovesFlow();
};

void TestEngineControl::searchDepthIsClamped_data() {
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("read");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("-3") << -3 << 1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("5") << 5 << 5;
    QTest::newRow("8") << 8 << 8;
    QTest::newRow("12") << 12 << 8;
}

void TestEngineControl::searchDepthIsClamped() {
    QFETCH(int, written);
    QFETCH(int, read);
    TChessModel board;
    QCOMPARE(board.SearchDepth(), 1);
    board.SetSearchDepth(written);
    QCOMPARE(board.SearchDepth(), read);
}

void TestEngineControl::replyArrivesAfterTheUsersMove() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    board.SetSearchDepth(3);
    board.SetComputerPlaysBlack(true);
    QVERIFY(!board.Thinking()); // White to move: nothing to do
    QVERIFY(board.Move(Square::E2, Square::E4));
    QVERIFY(board.Thinking());
    QTRY_COMPARE(log.moves.size(), size_t(2));
    QTRY_VERIFY(!board.Thinking());
    QCOMPARE(log.events.mid(0, 2), QStringList({"legal:e2e4", "paint"}));
    QCOMPARE(log.events.last(), QString("paint"));
    const Played reply = log.moves[1];
    QVERIFY(reply.onGuiThread);
    QVERIFY(board.WhiteToMove());
    QCOMPARE(board.PieceColor(reply.to), 0); // a Black piece arrived
    QCOMPARE(board.PieceAt(reply.from), ' ');
    // The engine waits for the user again.
    QVERIFY(board.Move(Square::D2, Square::D4));
    QTRY_COMPARE(log.moves.size(), size_t(4));
}

void TestEngineControl::engineFindsMateAtDepthOne() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    QVERIFY(board.SetFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
    board.SetComputerPlaysWhite(true);
    QTRY_COMPARE(log.moves.size(), size_t(1));
    QCOMPARE(log.moves[0].from, Square::A1);
    QCOMPARE(log.moves[0].to, Square::A8);
    QVERIFY(log.events.contains("mate"));
    QTRY_VERIFY(!board.Thinking());
}

void TestEngineControl::hostsDoMoveIsTakenUpByTheMessageHook() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    board.SetComputerPlaysBlack(true);
    QVERIFY(board.DoMove(Square::E2, Square::E4)); // not through Move: nobody releases the engine
    QVERIFY(!board.Thinking());
    board.MessageHook();
    QVERIFY(board.Thinking());
    QTRY_COMPARE(log.moves.size(), size_t(2));
    // After a stop the hook leaves the engine alone.
    board.SetPosition("init");
    board.SetWhiteToMove(false);
    board.MessageHook();
    QVERIFY(!board.Thinking());
}

void TestEngineControl::positionWithoutMoveIsNotSearchedAgain() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    QVERIFY(board.SetFen("k7/2Q5/1K6/8/8/8/8/8 b - - 0 1")); // Black is stalemated
    board.SetComputerPlaysBlack(true);
    QVERIFY(board.Thinking());
    QTRY_VERIFY(!board.Thinking());
    board.MessageHook();
    QVERIFY(!board.Thinking());
    QVERIFY(log.moves.empty());
    // A changed position is searched again.
    board.SetCastlingAllowed(0);
    board.SetPosition("k7/8/1K6/8/8/8/8/2Q5");
    board.SetComputerPlaysBlack(true);
    QTRY_COMPARE(log.moves.size(), size_t(1));
}

void TestEngineControl::enginePlaysBothSidesUntilNoMoveRemains() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    // Rook and king against king: the game ends in mate or by repetition.
    QVERIFY(board.SetFen("8/8/3k4/8/8/8/8/R3K3 w - - 0 1"));
    board.SetSearchDepth(2);
    board.SetComputerPlaysWhite(true);
    board.SetComputerPlaysBlack(true);
    QTRY_VERIFY_WITH_TIMEOUT(!board.HasLegalMove(), 60000);
    QTRY_VERIFY(!board.Thinking());
    const size_t played = log.moves.size();
    QVERIFY(played >= 2);
    for (const Played& p : log.moves)
        QVERIFY(p.onGuiThread);
    // Nothing more is played once no legal move is left.
    QTest::qWait(300);
    QCOMPARE(log.moves.size(), played);
    QVERIFY(!board.Thinking());
}

void TestEngineControl::writingPositionStopsTheSearch_data() {
    QTest::addColumn<bool>("fromQueuedCall");
    QTest::newRow("direct") << false;
    // Inside the delivery of another posted event, as a network move comes.
    QTest::newRow("from a queued call") << true;
}

void TestEngineControl::writingPositionStopsTheSearch() {
    QFETCH(bool, fromQueuedCall);
    TChessModel board;
    EventLog log;
    log.Attach(board);
    QVERIFY(board.SetFen(kBusy));
    board.SetSearchDepth(8);
    board.SetComputerPlaysWhite(true);
    QVERIFY(board.Thinking());
    QTest::qWait(100); // let the search get going
    if (fromQueuedCall) {
        bool done = false;
        QMetaObject::invokeMethod(
            &board,
            [&] {
                board.SetPosition(kStart);
                done = true;
            },
            Qt::QueuedConnection);
        QTRY_VERIFY(done);
    } else {
        board.SetPosition(kStart);
    }
    QVERIFY(!board.Thinking());
    QVERIFY(board.EngineStopMark());
    QCOMPARE(board.Position(), QString(kStart));
    QTest::qWait(300);
    QVERIFY(log.moves.empty());
    QCOMPARE(board.Position(), QString(kStart));
    // The next request searches the new position.
    board.SetSearchDepth(1);
    board.RequestComputerMove();
    QTRY_COMPARE(log.moves.size(), size_t(1));
    QCOMPARE(RankOf(log.moves[0].from) <= 2, true);
}

void TestEngineControl::stopEndsEvenAnEndlessQuiescence() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    // Thirty-one queens: a single capture sequence search takes hours.
    QVERIFY(board.SetFen("QQQQQQQQ/8/QQQQQQQQ/8/qqqqqqqq/8/qqqqqqqk/8 w - - 0 1"));
    board.SetComputerPlaysWhite(true);
    QTest::qWait(100);
    QVERIFY(board.Thinking());
    board.SetPosition(kStart); // returns at once
    QVERIFY(!board.Thinking());
    // The worker has really stopped: the next search, queued behind the
    // stopped one, is answered.
    board.SetSearchDepth(1);
    board.RequestComputerMove();
    QTRY_COMPARE(log.moves.size(), size_t(1));
    // From the starting position (level 1 picks among its moves at random),
    // not from the queens' ranks.
    QVERIFY(RankOf(log.moves[0].from) <= 2);
}

void TestEngineControl::stopInsideTheEnginesOwnMoveDoesNotWait() {
    TChessModel board;
    int mates = 0;
    // The host starts a new game from its mate handler, inside the engine's move.
    QObject::connect(&board, &TChessModel::OnMate, [&] {
        ++mates;
        board.NewGame();
    });
    QVERIFY(board.SetFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
    board.SetComputerPlaysWhite(true);
    QTRY_COMPARE(mates, 1);
    QTRY_VERIFY(!board.Thinking());
    // The stop was honoured: the engine does not open the new game on its own.
    QTest::qWait(200);
    QCOMPARE(board.Position(), QString(kStart));
    QVERIFY(board.WhiteToMove());
}

void TestEngineControl::answerOfAStaleSearchIsDropped_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("blackMoves"); // played after the change
    QTest::newRow("new game") << 0 << 0;
    QTest::newRow("take-back") << 1 << 0;
    // d7d5, say, is legal there too: only the search's id tells it is stale.
    QTest::newRow("another position with Black to move") << 2 << 0;
    QTest::newRow("engine's side switched off") << 3 << 0;
    QTest::newRow("search started again: one answer counts") << 4 << 1;
}

void TestEngineControl::answerOfAStaleSearchIsDropped() {
    QFETCH(int, change);
    QFETCH(int, blackMoves);
    TChessModel board;
    EventLog log;
    log.Attach(board);
    board.SetComputerPlaysBlack(true);
    QVERIFY(board.Move(Square::E2, Square::E4));
    QVERIFY(board.Thinking());
    // A one-ply search answers meanwhile; its answer waits in the event queue.
    QThread::msleep(300);
    switch (change) {
    case 0:
        board.NewGame();
        break;
    case 1:
        QVERIFY(board.TakeBack());
        break;
    case 2:
        QVERIFY(board.SetFen("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - 0 1"));
        break;
    case 3:
        board.SetComputerPlaysBlack(false);
        break;
    case 4:
        board.SetComputerPlaysBlack(true);
        break;
    }
    const QString position = board.Position();
    QCOMPARE(board.Thinking(), blackMoves > 0);
    QTest::qWait(300);
    QTRY_VERIFY(!board.Thinking());
    QCOMPARE(log.moves.size(), size_t(1 + blackMoves));
    if (blackMoves == 0) QCOMPARE(board.Position(), position);
}

void TestEngineControl::switchingToTheCustomEngineStopsTheWorker() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    QVERIFY(board.SetFen(kBusy));
    board.SetSearchDepth(8);
    board.SetComputerPlaysWhite(true);
    QTest::qWait(50);
    board.SetCustomEngine(true);
    board.SetPosition(kStart);
    QVERIFY(!board.Thinking());
    QTest::qWait(200);
    QVERIFY(log.moves.empty());
}

void TestEngineControl::promotionIsDecidedByTheBoard() {
    TChessModel board;
    QVERIFY(board.SetFen("k7/2P5/1K6/8/8/8/8/8 w - - 0 1"));
    int asked = 0;
    board.PromotionChoice = [&](Square, Square, char& piece) {
        ++asked;
        piece = 'r';
    };
    board.SetComputerPlaysWhite(true);
    QTRY_COMPARE(asked, 1);
    QCOMPARE(board.PieceAt(Square::C8), 'R');
}

void TestEngineControl::customEngineHostAnswers() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    board.SetCustomEngine(true);
    board.SetComputerPlaysBlack(true);
    int asked = 0;
    board.OnCalculateMove = [&](Square& from, Square& to) {
        ++asked;
        QCOMPARE(from, Square::None);
        QCOMPARE(to, Square::None);
        from = Square::E7;
        to = Square::E5;
    };
    QVERIFY(board.Move(Square::E2, Square::E4));
    QCOMPARE(asked, 1);
    QCOMPARE(log.events, QStringList({"legal:e2e4", "paint", "legal:e7e5", "paint"}));
    QCOMPARE(board.PieceAt(Square::E5), 'p');
    QVERIFY(board.WhiteToMove());
    QVERIFY(!board.Thinking());
    // White to move: the poll does not ask.
    board.MessageHook();
    QCOMPARE(asked, 1);
}

void TestEngineControl::customEngineHostFails() {
    TChessModel board;
    board.SetCustomEngine(true);
    board.SetComputerPlaysBlack(true);
    int asked = 0;
    std::vector<std::pair<Square, Square>> failed;
    board.OnCalculateMove = [&](Square&, Square&) { ++asked; };
    QObject::connect(&board, &TChessModel::OnCalculationFailed, [&](Square f, Square t) {
        failed.push_back({f, t});
    });
    QVERIFY(board.Move(Square::E2, Square::E4));
    QCOMPARE(asked, 1);
    QCOMPARE(failed.size(), size_t(1));
    QCOMPARE(failed[0].first, Square::None);
    QCOMPARE(failed[0].second, Square::None);
    // Asked again at each message the board handles, and only then.
    board.MessageHook();
    QCOMPARE(asked, 2);
    board.MessageHook();
    QCOMPARE(asked, 3);
    QTest::qWait(100);
    QCOMPARE(asked, 3);
    QCOMPARE(failed.size(), size_t(asked));
    QVERIFY(!board.WhiteToMove());
}

void TestEngineControl::customEngineWaitsForTheStopMark() {
    TChessModel board;
    board.SetCustomEngine(true);
    int asked = 0;
    board.OnCalculateMove = [&](Square& from, Square& to) {
        ++asked;
        from = Square::E2;
        to = Square::E4;
    };
    QVERIFY(board.EngineStopMark()); // set at creation
    board.SetComputerPlaysWhite(true);
    board.MessageHook();
    QCOMPARE(asked, 0);

    // Writing the position sets the mark again after a Move has cleared it.
    TChessModel other;
    other.SetCustomEngine(true);
    other.SetComputerPlaysBlack(true);
    int refused = 0;
    other.OnCalculateMove = [&](Square&, Square&) { ++refused; }; // leaves both squares at None
    QVERIFY(other.Move(Square::E2, Square::E4));
    QVERIFY(!other.EngineStopMark());
    QCOMPARE(refused, 1);
    other.MessageHook();
    QCOMPARE(refused, 2);
    other.SetPosition("init");
    QVERIFY(other.EngineStopMark());
    other.MessageHook();
    QCOMPARE(refused, 2);
}

void TestEngineControl::thinkingPriorityIsKeptAndApplied() {
    TChessModel board;
    EventLog log;
    log.Attach(board);
    QCOMPARE(board.ThinkingPriority(), TThreadPriority::tpNormal);
    board.SetThinkingPriority(TThreadPriority::tpIdle);
    QCOMPARE(board.ThinkingPriority(), TThreadPriority::tpIdle);
    board.SetSearchDepth(2);
    board.SetComputerPlaysWhite(true);
    board.SetComputerPlaysBlack(true);
    // Changed while the worker runs, and searching on at every priority.
    for (TThreadPriority p :
         {TThreadPriority::tpLowest, TThreadPriority::tpNormal, TThreadPriority::tpHighest,
          TThreadPriority::tpTimeCritical, TThreadPriority::tpLower}) {
        const size_t before = log.moves.size();
        board.SetThinkingPriority(p);
        QCOMPARE(board.ThinkingPriority(), p);
        QTRY_VERIFY(log.moves.size() >= before + 2);
    }
    board.SetComputerPlaysWhite(false);
    board.SetComputerPlaysBlack(false);
    QVERIFY(!board.Thinking());
}

void TestEngineControl::twoBoardsSearchSideBySide() {
    TChessModel a, b;
    EventLog logA, logB;
    logA.Attach(a);
    logB.Attach(b);
    a.SetSearchDepth(3);
    b.SetSearchDepth(4);
    QVERIFY(b.SetFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
    a.SetComputerPlaysWhite(true);
    b.SetComputerPlaysWhite(true);
    QTRY_COMPARE(logA.moves.size(), size_t(1));
    QTRY_COMPARE(logB.moves.size(), size_t(1));
    QCOMPARE(logB.moves[0].to, Square::A8);
    QCOMPARE(a.PieceColor(logA.moves[0].to), 1);
}

void TestEngineControl::destroyingWhileSearching() {
    for (int i = 0; i < 3; ++i) {
        auto board = std::make_unique<TChessModel>();
        int moves = 0;
        QObject::connect(board.get(), &TChessModel::OnLegalMove, [&] { ++moves; });
        QVERIFY(board->SetFen(kBusy));
        board->SetSearchDepth(8);
        board->SetComputerPlaysWhite(true);
        QTest::qWait(20 * i);
        QVERIFY(board->Thinking());
        board.reset();
        QCOMPARE(moves, 0);
    }
    // Answers of the destroyed boards' workers reach nothing afterwards.
    QTest::qWait(50);
}

void TestEngineControl::destroyingWhileMovesFlow() {
    // Searches and answers cross all the time; the board goes away at
    // arbitrary points of that cycle.
    for (int i = 0; i < 6; ++i) {
        auto board = std::make_unique<TChessModel>();
        int moves = 0;
        QObject::connect(board.get(), &TChessModel::OnLegalMove, [&] { ++moves; });
        board->SetComputerPlaysWhite(true);
        board->SetComputerPlaysBlack(true);
        QTRY_VERIFY(moves >= i);
        board.reset();
        QTest::qWait(5);
    }
}

QTEST_GUILESS_MAIN(TestEngineControl)
#include "tst_enginecontrol.moc"
