// The main window around the end of a game: the board's menu opens after
// every kind of end, the titles show the game on the board (not the last
// one), and closing during a game asks first, unless a signal or the host
// ends the program.

#include "tst_principal_fixture.h"

#include <QClipboard>
#include <QGuiApplication>

class TestPrincipalEnds : public QObject {
    Q_OBJECT

private slots:
    void boardMenuAfterTheEnd_data();
    void boardMenuAfterTheEnd();
    void titlesFollowTheGameShown();
    void closingDuringAGame_data();
    void closingDuringAGame();
};

void TestPrincipalEnds::boardMenuAfterTheEnd_data() {
    QTest::addColumn<QString>("opponent");
    QTest::addColumn<QString>("fen"); // empty: the initial position
    QTest::addColumn<QString>("moves");
    QTest::addColumn<bool>("resign");
    QTest::newRow("mate at one board") << "Ana"
                                       << ""
                                       << "f2f3 e7e5 g2g4 d8h4" << false;
    QTest::newRow("stalemate at one board") << "Ana"
                                            << "k7/8/1K6/8/8/8/8/2Q5 w - - 0 1"
                                            << "c1c7" << false;
    QTest::newRow("resignation against the engine") << "ZuzPlak"
                                                    << ""
                                                    << "" << true;
    QTest::newRow("resignation at one board") << "Ana"
                                              << ""
                                              << "e2e4" << true;
    QTest::newRow("the engine to move") << "ZuzPlak"
                                        << ""
                                        << "" << false;
}

// A right click on the board opens its menu after the game ended, and
// while the other side is to move.
void TestPrincipalEnds::boardMenuAfterTheEnd() {
    QFETCH(QString, opponent);
    QFETCH(QString, fen);
    QFETCH(QString, moves);
    QFETCH(bool, resign);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    if (fen.isEmpty()) {
        t.NewGameVia(opponent, opponent != "ZuzPlak");
    } else {
        QGuiApplication::clipboard()->setText(fen);
        m.menuPegarFenClick();
    }
    QVERIFY(t.PlayAll(moves.split(' ', Qt::SkipEmptyParts)));
    if (resign) {
        t.dialogs.AnswerYes(TQuestion::Resign);
        m.bRendirClick();
        t.dialogs.Flush();
    }
    if (!resign && moves.isEmpty()) {
        QVERIFY(t.Game().GameInProgress());
    } else {
        QVERIFY(!t.Game().GameInProgress());
    }
    QMenu* menu = t.Control<QMenu>(m, "MenuBoard");
    QVERIFY(!menu->isVisible());
    QTest::mouseClick(&t.Board(), Qt::RightButton, {}, t.Board().rect().center());
    QTRY_VERIFY(menu->isVisible());
    menu->close();
    if (t.Game().GameMode() == TGameMode::VsComputer) t.Game().EndGame(TEndReason::Abandoned);
}

// After a pasted position or another file opened, no title names a move
// of the game shown before.
void TestPrincipalEnds::titlesFollowTheGameShown() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true);
    QVERIFY(t.PlayAll({"e2e4", "e7e5", "g1f3"}));
    QCOMPARE(m.windowTitle(), QString("2.Ng1f3"));
    QGuiApplication::clipboard()->setText("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    m.menuPegarFenClick();
    t.dialogs.Flush();
    QCOMPARE(m.windowTitle(), t.Game().MainTitle());
    QCOMPARE(t.Partida().windowTitle(), QString("Partida"));
    QVERIFY(t.Play("e2e4"));
    QCOMPARE(m.windowTitle(), QString("1.Pe2e4"));
    const QString path = t.dir.path() + "/other.pgn";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("1. d4 d5 *\n") > 0);
    f.close();
    t.dialogs.AnswerFile(TQuestion::OpenGame, path);
    t.dialogs.AnswerYes(TQuestion::InterruptGame); // the game at the board is left
    t.Control<QToolButton>(t.Partida(), "bAbrir")->click();
    while (t.dialogs.Flush() > 0) {
    }
    QCOMPARE(t.Game().GameMode(), TGameMode::Replay);
    QCOMPARE(m.windowTitle(), t.Game().MainTitle());
    QVERIFY(!t.dialogs.HasUnexpected());
}

void TestPrincipalEnds::closingDuringAGame_data() {
    QTest::addColumn<QString>("game"); // "" none, an opponent, or "replay"
    QTest::addColumn<bool>("atOnce");  // closed as a signal or the host's "/KILL" does
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no game") << "" << false << "" << true;
    QTest::newRow("against the engine, stay") << "ZuzPlak" << false << "no" << false;
    QTest::newRow("against the engine, quit") << "ZuzPlak" << false << "yes" << true;
    QTest::newRow("at one board, stay") << "Ana" << false << "no" << false;
    QTest::newRow("a replay") << "replay" << false << "" << true;
    QTest::newRow("a signal during a game") << "ZuzPlak" << true << "" << true;
}

void TestPrincipalEnds::closingDuringAGame() {
    QFETCH(QString, game);
    QFETCH(bool, atOnce);
    QFETCH(QString, answer);
    QFETCH(bool, closed);
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    if (game == "replay") {
        QVERIFY(t.Game().OpenReplay(TOpenedGame()));
    } else if (!game.isEmpty()) {
        t.NewGameVia(game, false);
    }
    if (answer == "yes") t.dialogs.AnswerYes(TQuestion::QuitDuringGame);
    if (answer == "no") t.dialogs.AnswerNo(TQuestion::QuitDuringGame);
    int ended = 0;
    QObject::connect(&m, &TFrmPrincipal::OnClosed, &m, [&ended] { ++ended; });
    if (atOnce)
        m.CloseAtOnce();
    else
        m.close();
    t.dialogs.Flush(); // the question, if asked, is answered
    QCOMPARE(ended, closed ? 1 : 0);
    QCOMPARE(m.isVisible(), !closed);
    QStringList asked;
    for (const TDialogRecord& r : t.dialogs.Log())
        if (r.Kind == TDialogKind::Question) asked << r.Text;
    QCOMPARE(asked, answer.isEmpty() ? QStringList() : QStringList{TFrmPrincipal::QuitQuestion()});
    QVERIFY(!t.dialogs.HasUnexpected());
    if (!closed) t.Game().EndGame(TEndReason::Abandoned);
}

QTEST_MAIN(TestPrincipalEnds)
#include "tst_principal_ends.moc"
