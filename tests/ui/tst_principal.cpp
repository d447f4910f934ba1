// Whole games through the real windows: the record, the turn panel, the
// ratings, the sounds, promotions, captured pieces and received moves.

#include "tst_principal_fixture.h"

#include <QTextBlock>
#include <QTextEdit>

namespace {
// A network game of the user (Ana, a client, playing Black) against the host
// Bea, who moves first.
void StartNetworkGameAsBlack(TTestProgram& t) {
    TFrmPrincipal& m = t.Main();
    m.Role = TRole::Client;
    m.GameMode = TGameMode::Network;
    m.MyColour = TFrmPrincipal::Black;
    m.WhitePlayer = {"Bea", 1300};
    TFrmPrincipal::SetClockTime(*m.FClockW, 5, 0);
    TFrmPrincipal::SetClockTime(*m.FClockB, 5, 0);
    m.StartGame();
}
} // namespace

class TestPrincipal : public QObject {
    Q_OBJECT

private slots:
    void mates_data();
    void mates();
    void stalemateAndCapturedPieces();
    void capturedPairsFillInOrder();
    void repetition();
    void castlingIsRecordedAsOO();
    void promotionAnswers_data();
    void promotionAnswers();
    void engineTakesTheUsersLastPromotionLetter();
    void remoteMoves_data();
    void remoteMoves();
    void refusedRemoteMoveKeepsTheUserOffTheBoard();
    void errorLinesKeepTheLogToItsSize();
    void moveMessageFields();
    void engineSearchesFivePlies();
    void engineGameToItsEnd();
    void newGameOverAnEngineMoveOnItsWay();
};

void TestPrincipal::mates_data() {
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<QStringList>("record");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("whiteElo");
    QTest::addColumn<int>("blackElo");
    QTest::newRow("fool's mate: Black mates")
        << QStringList{"f2f3", "e7e5", "g2g4", "d8h4"}
        << QStringList{"1.Pf2f3 Pe7e5", "2.Pg2g4 Qd8h4++", "0-1"} << "Ganan Negras por  Jaque Mate"
        << 1085 << 1115;
    QTest::newRow("scholar's mate: White mates")
        << QStringList{"e2e4", "e7e5", "d1h5", "b8c6", "f1c4", "g8f6", "h5f7"}
        << QStringList{"1.Pe2e4 Pe7e5", "2.Qd1h5 Nb8c6", "3.Bf1c4 Ng8f6", "4.Qh5f7++ 1-0"}
        << "Ganan Blancas por  Jaque Mate" << 1115 << 1085;
}

void TestPrincipal::mates() {
    QFETCH(QStringList, moves);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true);
    QCOMPARE(m.GameMode, TGameMode::LocalTwoPlayers);
    QCOMPARE(m.BlackPlayer.Nick, QString("Ana 2"));
    QCOMPARE(m.TurnState, 1);
    QVERIFY(!m.bNuevaPartida->isEnabled());
    QCOMPARE(m.PanelText(), QString("Juegan Blancas"));
    t.sound.Clear();

    QVERIFY(t.PlayAll(moves));
    QTEST(t.Record(), "record");
    QTEST(m.PanelText(), "panel");
    QCOMPARE(m.TurnState, 0);
    QVERIFY(m.bNuevaPartida->isEnabled());
    QVERIFY(!m.bRendir->isEnabled());
    QTEST(m.WhitePlayer.Elo, "whiteElo");
    QTEST(m.BlackPlayer.Elo, "blackElo");
    QCOMPARE(m.FEloLabelW->toolTip(), QString("Elo anterior 1100"));
    QCOMPARE(m.FEloLabelW->text(), QString::number(m.WhitePlayer.Elo));
    // A game at one board changes neither stored rating.
    QCOMPARE(m.Elo, 1100);
    QCOMPARE(m.ComputerElo, 1200);
    QCOMPARE(m.windowTitle(), QString("Zugaret CHAT! 2.01 [Ana 1100 ELO]"));
    QCOMPARE(t.dialogs.Messages().last(), m.PanelText());
    const QStringList cues = t.sound.Cues();
    QCOMPARE(cues.mid(cues.size() - 3), (QStringList{"mover", "jaque", "mate"}));
    QCOMPARE(cues.count("mover"), moves.size());
}

void TestPrincipal::stalemateAndCapturedPieces() {
    // Sam Loyd's ten-move stalemate; White's queen takes five black pieces.
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    TFrmPartida& p = t.Partida();
    t.NewGameVia("Ana", true);
    t.sound.Clear();
    QVERIFY(t.PlayAll({"e2e3", "a7a5", "d1h5", "a8a6", "h5a5", "h7h5", "h2h4", "a6h6", "a5c7",
                       "f7f6", "c7d7", "e8f7", "d7b7", "d8d3", "b7b8"}));
    // Pawns show nothing; the knight is the first black piece shown.
    QVERIFY(p.N_C_1->isVisible());
    QVERIFY(!p.N_C_2->isVisible());
    QVERIFY(!p.N_P->isVisible());
    QVERIFY(!p.N_A_1->isVisible());
    QVERIFY(t.PlayAll({"d3h7", "b8c8"}));
    QVERIFY(p.N_A_1->isVisible());
    QVERIFY(!p.N_A_2->isVisible());
    for (QLabel* img : {p.B_D, p.B_T_1, p.B_C_1, p.B_A_1, p.B_P})
        QVERIFY(!img->isVisible());
    QVERIFY(t.PlayAll({"f7g6", "c8e6"}));

    QCOMPARE(m.PanelText(), QString("Tablas por  rey ahogado"));
    QCOMPARE(m.ResultText, QString("1/2-1/2"));
    QCOMPARE(t.Record().at(5), QString("6.Qc7d7+ Ke8f7"));
    QCOMPARE(t.Record().last(), QString("10.Qc8e6 1/2-1/2"));
    QCOMPARE(t.Record().size(), 10);
    QCOMPARE(m.WhitePlayer.Elo, 1100);
    QCOMPARE(m.BlackPlayer.Elo, 1100);
    const QStringList cues = t.sound.Cues();
    QCOMPARE(cues.mid(cues.size() - 3), (QStringList{"mover", "ahogado", "tablas"}));
    QVERIFY(t.dialogs.Messages().isEmpty());

    // A new game hides the captured pieces again.
    t.NewGameVia("Ana", false);
    for (QLabel* img : p.CapturedImages())
        QVERIFY(img->isHidden());
}

void TestPrincipal::capturedPairsFillInOrder() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    TFrmPartida& p = t.Partida();
    m.FBoardCapture(Square::None, Square::None, 'R');
    QVERIFY(p.B_T_1->isVisible() && !p.B_T_2->isVisible());
    m.FBoardCapture(Square::None, Square::None, 'R');
    QVERIFY(p.B_T_2->isVisible());
    m.FBoardCapture(Square::None, Square::None, 'R'); // a third rook: nothing new
    m.FBoardCapture(Square::None, Square::None, 'q');
    m.FBoardCapture(Square::None, Square::None, 'p');
    m.FBoardCapture(Square::None, Square::None, 'P');
    int shown = 0;
    for (QLabel* img : p.CapturedImages())
        shown += img->isVisible();
    QCOMPARE(shown, 3);
    QVERIFY(p.N_D->isVisible());
    QVERIFY(!p.B_P->isVisible() && !p.N_P->isVisible());
}

void TestPrincipal::repetition() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true);
    t.sound.Clear();
    QVERIFY(t.PlayAll({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}));
    QCOMPARE(m.TurnState, 0);
    QCOMPARE(m.PanelText(), QString::fromUtf8("Tablas por  repetición de jugada"));
    QCOMPARE(t.Record().last(), QString("1/2-1/2"));
    QCOMPARE(t.Record().at(3), QString("4.Nf3g1 Nf6g8"));
    const QStringList cues = t.sound.Cues();
    QCOMPARE(cues.mid(cues.size() - 2), (QStringList{"repeticion", "tablas"}));
}

void TestPrincipal::castlingIsRecordedAsOO() {
    TTestProgram t;
    t.NewGameVia("Ana", true);
    QVERIFY(t.PlayAll(
        {"e2e4", "d7d5", "g1f3", "d8d6", "f1c4", "c8g4", "e1g1", "b8c6", "d2d3", "e8c8"}));
    QCOMPARE(t.Record().at(3), QString("4.O-O Nb8c6"));
    QCOMPARE(t.Record().at(4), QString("5.Pd2d3 O-O-O"));
    QVERIFY(t.sound.Cues().contains("enroque"));
}

void TestPrincipal::promotionAnswers_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QChar>("piece");
    QTest::newRow("D queen") << false << "D" << QChar('Q');
    QTest::newRow("T rook") << false << "T" << QChar('R');
    QTest::newRow("a bishop (lower case)") << false << "a" << QChar('B');
    QTest::newRow("C knight") << false << "C" << QChar('N');
    QTest::newRow("other letter: queen") << false << "X" << QChar('Q');
    QTest::newRow("cancelled: queen") << true << "" << QChar('Q');
}

void TestPrincipal::promotionAnswers() {
    QFETCH(bool, cancel);
    QFETCH(QString, answer);
    QFETCH(QChar, piece);
    TTestProgram t;
    t.NewGameVia("Ana", true);
    // Black's king stands where no promoted piece gives check.
    QVERIFY(t.Board().SetFen("8/P7/7k/8/8/8/7P/K7 w - - 0 1"));
    if (cancel)
        t.dialogs.CancelInput(QString::fromUtf8("Promoción peón"));
    else
        t.dialogs.AnswerInput(answer, QString::fromUtf8("Promoción peón"));
    QVERIFY(t.Play("a7a8"));
    QVERIFY(!t.dialogs.HasUnexpected());
    const TDialogRecord& asked = t.dialogs.Log().last();
    QCOMPARE(asked.Text, QString("Elije una pieza D-Dama T-Torre A-Alfil C-Caballo"));
    QCOMPARE(asked.DefaultText, QString("D"));
    QCOMPARE(QChar(t.Board().PieceAt(Square::A8)), piece);
    QCOMPARE(t.Record().last(), "1.Pa7a8=" + QString(piece));
    QCOMPARE(t.Main().PromotionPiece, piece); // kept outside network games
    // Two players share the board: Black may answer.
    QVERIFY(!t.Board().NoMover());
}

void TestPrincipal::engineTakesTheUsersLastPromotionLetter() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    // The engine's promotion (a promotion the user does not make) takes the
    // user's last letter, a queen before the user ever chose one.
    auto engineGame = [&] {
        m.EndGame(10);
        m.GameMode = TGameMode::VsComputer;
        m.MyColour = TFrmPrincipal::White;
        m.WhitePlayer.Nick = "Ana";
        m.BlackPlayer.Nick = "ZuzPlak";
        m.StartGame();
        QVERIFY(t.Board().ComputerPlaysBlack());
        t.Board().SetComputerPlaysBlack(false); // the test moves for the engine
        QVERIFY(t.Board().SetFen("4k3/7p/8/8/8/8/p7/4K3 b - - 0 1"));
        t.dialogs.ClearLog();
        QVERIFY(t.Play("a2a1"));
        QVERIFY(t.dialogs.Log().isEmpty());
    };
    engineGame();
    QCOMPARE(t.Board().PieceAt(Square::A1), 'q');
    QVERIFY2(t.Record().last().endsWith("Pa2a1=Q+"), qPrintable(t.Record().last()));

    t.dialogs.AnswerYes();
    t.NewGameVia("Ana", true);
    QVERIFY(t.Board().SetFen("8/P7/7k/8/8/8/7P/K7 w - - 0 1"));
    t.dialogs.AnswerInput("C");
    QVERIFY(t.Play("a7a8"));
    engineGame();
    QCOMPARE(t.Board().PieceAt(Square::A1), 'n');
    QVERIFY2(t.Record().last().endsWith("Pa2a1=N"), qPrintable(t.Record().last()));
}

void TestPrincipal::remoteMoves_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("played");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("good") << "e2e4" << true << "";
    QTest::newRow("upper case") << "E2E4" << true << "";
    QTest::newRow("short") << "e2e" << false << "";
    QTest::newRow("six characters") << "e2e4qq" << false << "";
    QTest::newRow("file outside a-h") << "i2e4" << false << "*Error 53: I2E4*";
    QTest::newRow("rank outside 1-8") << "e2e9" << false << "*Error 53: E2E9*";
    QTest::newRow("illegal but well formed") << "e2e5" << false << "";
}

void TestPrincipal::remoteMoves() {
    QFETCH(QString, text);
    QFETCH(bool, played);
    QFETCH(QString, logLine);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    StartNetworkGameAsBlack(t);
    t.Chat().AddChatLine("* Ha entrado Bea *"); // a coloured line before
    const QString before = t.Board().Position();
    const QStringList logBefore = t.Chat().LogLines();
    m.ApplyRemoteMove(text);
    QCOMPARE(t.Board().Position() != before, played);
    QCOMPARE(t.Record(), played ? QStringList{"1.Pe2e4"} : QStringList{});
    const QStringList log = t.Chat().LogLines();
    if (logLine.isEmpty()) {
        QCOMPARE(log, logBefore);
    } else {
        QCOMPARE(log.size(), logBefore.size() + 1);
        QCOMPARE(log.last(), logLine);
        QTextCursor c(t.Chat().FMemoChat->document()->lastBlock());
        c.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 0));
    }
}

void TestPrincipal::errorLinesKeepTheLogToItsSize() {
    // A peer sending malformed moves again and again: the log stays at its
    // 101 lines, one line per error, however the text is made.
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    StartNetworkGameAsBlack(t);
    for (int i = 0; i < 150; ++i)
        m.ApplyRemoteMove(QString("z%1e4").arg(i % 10));
    QStringList log = t.Chat().LogLines();
    QCOMPARE(log.size(), 101);
    QCOMPARE(log.last(), QString("*Error 53: Z9E4*"));
    QCOMPARE(log.at(99), QString("*Error 53: Z8E4*"));
    m.ApplyRemoteMove(QString("e\ne4"));
    m.ApplyRemoteMove(QString("e2") + QChar(QChar::ParagraphSeparator) + "4");
    log = t.Chat().LogLines();
    QCOMPARE(log.size(), 101);
    QCOMPARE(log.at(99), QString("*Error 53: E E4*"));
    QCOMPARE(log.last(), QString("*Error 53: E2 4*"));
    t.Chat().AddChatLine("* Ha entrado Bea *");
    QCOMPARE(t.Chat().LogLines().size(), 101);
    QVERIFY(t.Board().WhiteToMove());
}

void TestPrincipal::refusedRemoteMoveKeepsTheUserOffTheBoard() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    StartNetworkGameAsBlack(t);
    QVERIFY(t.Board().NoMover()); // White (the opponent) moves first
    m.ApplyRemoteMove("e2e5");
    QVERIFY(t.Board().NoMover());
    m.ApplyRemoteMove("e2e4");
    QVERIFY(!t.Board().NoMover());
    QCOMPARE(m.BlackPlayer.Nick, QString("Ana"));
    QVERIFY(m.bTablas->isEnabled());
}

void TestPrincipal::moveMessageFields() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.Role = TRole::Server;
    m.GameMode = TGameMode::Network;
    m.MyColour = TFrmPrincipal::White;
    m.BlackPlayer = {"Bea", 1300};
    TFrmPrincipal::SetClockTime(*m.FClockW, 15, 0);
    TFrmPrincipal::SetClockTime(*m.FClockB, 15, 0);
    m.StartGame();
    QCOMPARE(m.MoveSerial, 1);
    QVERIFY(!t.Board().NoMover());
    QVERIFY(t.Play("e2e4"));
    // The user moved: the opponent is to move, the serial went up.
    QVERIFY(t.Board().NoMover());
    QCOMPARE(m.MoveSerial, 2);
    QVERIFY(!m.bTablas->isEnabled());
    const QChar sep(0xFE);
    m.MoveSerial = 1; // the fields of the move just sent
    QCOMPARE(m.MoveMessage("/MOV", Square::E2, Square::E4), "/MOV" + QString(sep) + "1" + sep +
                                                                "0" + sep + "e2e4" + sep + "*" +
                                                                sep + "900" + QChar(0xFF));
}

// The engine plays at the depth the main window sets: from the initial
// position it opens e2e4 at five plies (d2d4 at one).
void TestPrincipal::engineSearchesFivePlies() {
    TTestProgram t;
    QCOMPARE(t.Board().SearchDepth(), TFrmPrincipal::EngineSearchDepth);
    QCOMPARE(TFrmPrincipal::EngineSearchDepth, 5);
    t.NewGameVia("ZuzPlak", false); // the engine plays White and opens
    QTRY_COMPARE_WITH_TIMEOUT(t.Record().size(), 1, 30000);
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"});
}

void TestPrincipal::engineGameToItsEnd() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Board().SetSearchDepth(1);
    t.NewGameVia("ZuzPlak", false); // the engine plays White and opens
    QVERIFY(t.Board().ComputerPlaysWhite());
    QCOMPARE(m.WhitePlayer.Nick, QString("ZuzPlak"));
    QCOMPARE(m.WhitePlayer.Elo, 1200);
    QTRY_VERIFY_WITH_TIMEOUT(t.Record().size() == 1, 20000);
    // The user shuffles a knight; the engine plays on until the game ends.
    const QStringList shuffle{"b8c6", "c6b8", "g8f6", "f6g8", "b8a6", "a6b8"};
    int half = 0;
    while (m.TurnState != 0 && half < 400) {
        QTRY_VERIFY_WITH_TIMEOUT(
            m.TurnState == 0 || (!t.Board().WhiteToMove() && !t.Board().NoMover()), 20000);
        if (m.TurnState == 0) break;
        bool moved = false;
        for (const QString& mv : shuffle)
            if ((moved = t.Play(mv))) break;
        for (int from = 1; !moved && from <= 64; ++from)
            for (int to = 1; !moved && to <= 64; ++to)
                if (t.Board().IsLegalMove(ToSquare(from), ToSquare(to)))
                    moved = t.Board().Move(ToSquare(from), ToSquare(to));
        QVERIFY(moved || m.TurnState == 0);
        ++half;
    }
    QCOMPARE(m.TurnState, 0);
    QVERIFY(!m.ResultText.isEmpty());
    QVERIFY(m.bNuevaPartida->isEnabled());
    // Only the engine's rating moves after a game against it.
    QCOMPARE(m.Elo, 1100);
    QCOMPARE(m.ComputerElo, m.WhitePlayer.Elo);
    QVERIFY(t.Record().last().endsWith(m.ResultText));
    // One line per full move, numbered from 1, whoever moved.
    const QStringList record = t.Record();
    for (int i = 0; i + 1 < record.size(); ++i)
        QVERIFY2(record.at(i).startsWith(QString::number(i + 1) + "."), qPrintable(record.at(i)));
    QVERIFY(!record.join(' ').contains("=*"));
}

void TestPrincipal::newGameOverAnEngineMoveOnItsWay() {
    // A game set up straight over a running one (an accepted network offer
    // does so) while the engine's opening move waits to be played.
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Board().SetSearchDepth(1);
    t.NewGameVia("ZuzPlak", false); // the engine plays White and thinks at once
    LetTheEngineHandItsMoveOver();  // no event handled yet
    m.GameMode = TGameMode::LocalTwoPlayers;
    m.MyColour = TFrmPrincipal::White;
    m.WhitePlayer = {"Ana", 1100};
    m.BlackPlayer = {"Ana 2", 1100};
    TFrmPrincipal::SetClockTime(*m.FClockW, 5, 0);
    TFrmPrincipal::SetClockTime(*m.FClockB, 5, 0);
    m.StartGame();
    const QString start = "rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR";
    auto freshGame = [&] {
        QCOMPARE(m.TurnState, 1);
        QVERIFY(t.Board().WhiteToMove());
        QCOMPARE(t.Board().Position(), start);
        QVERIFY(t.Record().isEmpty());
        QVERIFY(m.FClockW->Running());
        QVERIFY(!m.FClockB->Running());
        QCOMPARE(m.PanelText(), QString("Juegan Blancas"));
        QVERIFY(!t.Board().ComputerPlaysWhite());
    };
    freshGame();
    QTRY_VERIFY(!t.Board().Thinking());
    QCoreApplication::processEvents();
    freshGame();
    QVERIFY(t.Play("e2e4"));
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"});
}

QTEST_MAIN(TestPrincipal)
#include "tst_principal.moc"
