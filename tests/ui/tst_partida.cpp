// The record window's replay: forward and back steps, the animation, and
// the auto-save check box.

#include "tst_principal_fixture.h"

#include <QCheckBox>
#include <QSpinBox>

namespace {
// A replay of three moves, as opening a file sets it up.
void OpenReplay(TTestProgram& t) {
    TGameController& g = t.Game();
    g.ReplayMoves = {"E2E4", "E7E5", "G1F3"};
    g.ReplayCursor = 1;
    g.SetGameMode(TGameMode::Replay);
    g.SetMyColour(TColour::None);
    g.SetRecord({"1.Pe2e4 Pe7e5"});
    g.StartGame();
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
};

void TestPartida::stepping() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4 Pe7e5"}); // a replay keeps its record
    for (int i = 0; i < 3; ++i)
        p.bAdelanteClick();
    QCOMPARE(t.Board().PieceAt(Square::F3), 'N');
    QCOMPARE(t.Game().ReplayCursor, 4);
    const QString pos = t.Board().Position();
    p.bAdelanteClick();
    QCOMPARE(t.Board().Position(), pos);
    QCOMPARE(t.Game().ReplayCursor, 4);
    p.bAtrasClick();
    QCOMPARE(t.Board().PieceAt(Square::G1), 'N');
    p.bAdelanteClick();
    QCOMPARE(t.Board().PieceAt(Square::F3), 'N');
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4 Pe7e5"});
    QCOMPARE(p.windowTitle(), QString("2.Ng1f3"));
}

void TestPartida::backAtTheStart() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    const QString start = t.Board().Position();
    p.bAtrasClick();
    QCOMPARE(t.Game().ReplayCursor, 0);
    QCOMPARE(t.Board().Position(), start);
    p.bAdelanteClick();
    QCOMPARE(t.Board().PieceAt(Square::E4), 'P');
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
    QVERIFY(t.Control<QToolButton>(p, "bAdelante")->isEnabled() && t.Control<QToolButton>(p, "bAtras")->isEnabled() && t.Control<QToolButton>(p, "bAnimar")->isEnabled());
    t.Game().EndGame(TEndReason::Abandoned);
    t.NewGameVia("Ana", true);
    QVERIFY(!t.Control<QToolButton>(p, "bAdelante")->isEnabled() && !t.Control<QToolButton>(p, "bAtras")->isEnabled() && !t.Control<QToolButton>(p, "bAnimar")->isEnabled());
    QCOMPARE(p.windowTitle(), QString("Partida"));
}
QTEST_MAIN(TestPartida)
#include "tst_partida.moc"
