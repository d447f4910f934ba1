// The record window's replay: forward and back steps, the animation, the
// arrow keys, and the auto-save check box; its file buttons and the board
// menu's export.

#include "tst_principal_fixture.h"

#include <QCheckBox>
#include <QSpinBox>

Q_DECLARE_METATYPE(Qt::Key)

namespace {
// A replay of three moves, as opening a file sets it up.
void OpenReplay(TTestProgram& t) {
    TOpenedGame game;
    game.ReplayMoves = {"E2E4", "E7E5", "G1F3"};
    game.Lines = {"1.Pe2e4 Pe7e5"};
    QVERIFY(t.Game().OpenReplay(game));
}
} // namespace

class TestPartida : public QObject {
    Q_OBJECT

private slots:
    void stepping();
    void backAtTheStart();
    void animationStopsAfterTheLastMove();
    void clickDuringAnimationStopsIt();
    void autoSaveCheckBox();
    void buttonsOnlyInAReplay();
    void arrowKeys_data();
    void arrowKeys();
    void fileButtons();
    void replayIsNoGame_data();
    void replayIsNoGame();
};

void TestPartida::stepping() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4 Pe7e5"}); // a replay keeps its record
    for (int i = 0; i < 3; ++i)
        p.bAdelanteClick();
    QCOMPARE(t.Model().PieceAt(Square::F3), 'N');
    QCOMPARE(t.Game().ReplayCursor, 4);
    const QString pos = t.Model().Position();
    p.bAdelanteClick();
    QCOMPARE(t.Model().Position(), pos);
    QCOMPARE(t.Game().ReplayCursor, 4);
    p.bAtrasClick();
    QCOMPARE(t.Model().PieceAt(Square::G1), 'N');
    p.bAdelanteClick();
    QCOMPARE(t.Model().PieceAt(Square::F3), 'N');
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4 Pe7e5"});
    QCOMPARE(p.windowTitle(), QString("2.Ng1f3"));
}

void TestPartida::backAtTheStart() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    const QString start = t.Model().Position();
    p.bAtrasClick();
    QCOMPARE(t.Game().ReplayCursor, 0);
    QCOMPARE(t.Model().Position(), start);
    p.bAdelanteClick();
    QCOMPARE(t.Model().PieceAt(Square::E4), 'P');
    QCOMPARE(t.Game().ReplayCursor, 2);
}

void TestPartida::animationStopsAfterTheLastMove() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    QCOMPARE(t.Control<QTimer>(p, "Timer1")->interval(), 700);
    t.Control<QSpinBox>(p, "SpinEdit1")->setValue(50);
    QCOMPARE(t.Control<QTimer>(p, "Timer1")->interval(), 50);
    t.Control<QToolButton>(p, "bAnimar")->click();
    QVERIFY(t.Control<QTimer>(p, "Timer1")->isActive());
    QTRY_VERIFY(!t.Control<QTimer>(p, "Timer1")->isActive());
    QCOMPARE(t.Game().ReplayCursor, 4);
    QVERIFY(t.Control<QToolButton>(p, "bAnimar")->isChecked()); // stays down until clicked
}

void TestPartida::clickDuringAnimationStopsIt() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    t.Control<QToolButton>(p, "bAnimar")->click();
    QVERIFY(t.Control<QTimer>(p, "Timer1")->isActive());
    t.Control<QToolButton>(p, "bAdelante")->click();
    QVERIFY(!t.Control<QTimer>(p, "Timer1")->isActive());
    QVERIFY(!t.Control<QToolButton>(p, "bAnimar")->isChecked());
    QCOMPARE(t.Game().ReplayCursor, 2);
}

void TestPartida::autoSaveCheckBox() {
    TTestProgram t;
    QVERIFY(t.Control<QCheckBox>(t.Partida(), "chAuto")->isChecked());
    QVERIFY(t.Game().AutoSavePgn());
    t.Control<QCheckBox>(t.Partida(), "chAuto")->click();
    QVERIFY(!t.Game().AutoSavePgn());
}

void TestPartida::buttonsOnlyInAReplay() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    QVERIFY(!t.Control<QToolButton>(p, "bAdelante")->isEnabled());
    OpenReplay(t);
    QVERIFY(t.Control<QToolButton>(p, "bAdelante")->isEnabled() &&
            t.Control<QToolButton>(p, "bAtras")->isEnabled() &&
            t.Control<QToolButton>(p, "bAnimar")->isEnabled());
    t.Game().EndGame(TEndReason::Abandoned);
    t.NewGameVia("Ana", true);
    QVERIFY(!t.Control<QToolButton>(p, "bAdelante")->isEnabled() &&
            !t.Control<QToolButton>(p, "bAtras")->isEnabled() &&
            !t.Control<QToolButton>(p, "bAnimar")->isEnabled());
    QCOMPARE(p.windowTitle(), QString("Partida"));
}
void TestPartida::arrowKeys_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<int>("cursor");
    QTest::newRow("Right on the record window") << "window" << Qt::Key_Right << 3;
    QTest::newRow("Left on the record") << "memo" << Qt::Key_Left << 1;
    QTest::newRow("Right on the board") << "board" << Qt::Key_Right << 3;
    QTest::newRow("Left on the board") << "board" << Qt::Key_Left << 1;
    QTest::newRow("Right on the board after the replay") << "board" << Qt::Key_Right << 1;
}

void TestPartida::arrowKeys() {
    QFETCH(QString, target);
    QFETCH(Qt::Key, key);
    QFETCH(int, cursor);
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    p.bAdelanteClick();
    const bool after = QString(QTest::currentDataTag()).endsWith("after the replay");
    if (after) {
        t.Game().EndGame(TEndReason::Abandoned);
        t.NewGameVia("Ana", true); // the replay's moves stay, but no more steps
        t.Game().ReplayCursor = 1;
    }
    QWidget* memo = t.Control<QPlainTextEdit>(p, "FListaPNG");
    QTest::keyClick(target == "board" ? &t.Board() : target == "memo" ? memo : &p, key);
    QCOMPARE(t.Game().ReplayCursor, cursor);
    QCOMPARE(t.Model().PieceAt(Square::E4), cursor == 3 ? 'P' : ' ');
}

void TestPartida::fileButtons() {
    TTestProgram t;
    const QString dir = t.dir.path() + "/";
    auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    t.NewGameVia("Ana", true);
    QVERIFY(t.PlayAll({"f2f3", "e7e5", "g2g4", "d8h4"}));
    t.dialogs.AnswerFile(TQuestion::ExportGame, dir + "mate.pgn");
    t.Main().findChild<QAction*>("menuExportarPGN")->trigger();
    t.dialogs.Flush();
    QVERIFY(read(dir + "mate.pgn").simplified().endsWith("1. f3 e5 2. g4 Qh4# 0-1"));
    // A file of as many lines as the record shown replaces it all the same.
    for (const QByteArray bytes :
         {"1.Pe2e4 Pe7e5\r\n2.Ng1f3\r\n", "1.Pd2d4 Pd7d5\r\n2.Pc2c4\r\n"}) {
        QFile f(dir + "a.gam");
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        t.dialogs.AnswerFile(TQuestion::OpenGame, dir + "a.gam");
        t.Control<QToolButton>(t.Partida(), "bAbrir")->click();
        t.dialogs.Flush();
        QCOMPARE(t.Record().join("\r\n") + "\r\n", QString::fromLatin1(bytes));
    }
    QVERIFY(!t.dialogs.HasUnexpected());
}

void TestPartida::replayIsNoGame_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("steps");
    QTest::newRow("own game") << QByteArray("1.Pe2e4 Pe7e5\r\n2.Ng1f3 Nb8c6\r\n") << 3;
    QTest::newRow("to mate") << QByteArray("1. f3 e5 2. g4 Qh4# 0-1\r\n") << 4;
    QTest::newRow("from a position, Black to move")
        << QByteArray("[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\r\n\r\n1... Kd7 2. e4 *\r\n") << 2;
}

// An opened game is stepped through, not played: nothing that acts on a
// game is enabled, the clocks stand still, no rating changes, and a new game
// may begin at once.
void TestPartida::replayIsNoGame() {
    QFETCH(QByteArray, file);
    QFETCH(int, steps);
    TTestProgram t;
    const QString path = t.dir.path() + "/replay.pgn";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    t.dialogs.AnswerFile(TQuestion::OpenGame, path);
    t.Control<QToolButton>(t.Partida(), "bAbrir")->click();
    t.dialogs.Flush();
    QCOMPARE(t.Game().GameMode(), TGameMode::Replay);
    const int elo = t.Game().Elo();
    const QString white = t.Control<QLabel>(t.Main(), "FEloLabelW")->text();
    const QString black = t.Control<QLabel>(t.Main(), "FEloLabelB")->text();
    auto idle = [&] {
        return t.MainButton("bNuevaPartida")->isEnabled() &&
               !t.MainButton("bTablas")->isEnabled() && !t.MainButton("bRendir")->isEnabled() &&
               !t.Game().ClockW().Running() && !t.Game().ClockB().Running();
    };
    QVERIFY(idle());
    for (int i = 0; i < steps; ++i) {
        t.Partida().bAdelanteClick();
        QVERIFY2(idle(), qPrintable(QString::number(i)));
    }
    t.Game().Resign(); // what the flag would do, were it pressed
    t.Game().OfferDraw();
    QVERIFY(idle());
    QCOMPARE(t.Game().Elo(), elo);
    QCOMPARE(t.Control<QLabel>(t.Main(), "FEloLabelW")->text(), white);
    QCOMPARE(t.Control<QLabel>(t.Main(), "FEloLabelB")->text(), black);
    QTRY_COMPARE(t.dialogs.Log().size(), steps == 4 ? 2 : 1); // the file dialog, a mate's message
    t.NewGameVia("ZuzPlak", true);                            // no question: the replay simply ends
    QCOMPARE(t.Game().GameMode(), TGameMode::VsComputer);
    QVERIFY(!t.dialogs.HasUnexpected());
}

QTEST_MAIN(TestPartida)
#include "tst_partida.moc"
