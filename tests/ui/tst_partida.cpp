// The record window's replay: forward and back steps, the animation, and
// the auto-save check box.

#include "tst_principal_fixture.h"

#include <QCheckBox>

namespace {
// A replay of three moves, as opening a file sets it up.
void OpenReplay(TTestProgram& t) {
    TFrmPrincipal& m = t.Main();
    TFrmPartida& p = t.Partida();
    p.ReplayMoves = {"E2E4", "E7E5", "G1F3"};
    p.ReplayCursor = 1;
    m.GameMode = TGameMode::Replay;
    m.MyColour = TFrmPrincipal::NoColour;
    p.ClearRecord();
    p.AddLine("1.Pe2e4 Pe7e5");
    m.StartGame();
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
    QCOMPARE(p.ReplayCursor, 4);
    const QString pos = t.Board().Position();
    p.bAdelanteClick();
    QCOMPARE(t.Board().Position(), pos);
    QCOMPARE(p.ReplayCursor, 4);
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
    QCOMPARE(p.ReplayCursor, 0);
    QCOMPARE(t.Board().Position(), start);
    p.bAdelanteClick();
    QCOMPARE(t.Board().PieceAt(Square::E4), 'P');
    QCOMPARE(p.ReplayCursor, 2);
}

void TestPartida::animationStopsAfterTheLastMove() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    QCOMPARE(p.Timer1->interval(), 700);
    p.SpinEdit1->setValue(50);
    QCOMPARE(p.Timer1->interval(), 50);
    p.bAnimar->click();
    QVERIFY(p.Timer1->isActive());
    QTRY_VERIFY(!p.Timer1->isActive());
    QCOMPARE(p.ReplayCursor, 4);
    QVERIFY(p.bAnimar->isChecked()); // stays down until clicked
}

void TestPartida::clickDuringAnimationStopsIt() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    OpenReplay(t);
    p.bAnimar->click();
    QVERIFY(p.Timer1->isActive());
    p.bAdelante->click();
    QVERIFY(!p.Timer1->isActive());
    QVERIFY(!p.bAnimar->isChecked());
    QCOMPARE(p.ReplayCursor, 2);
}

void TestPartida::autoSaveCheckBox() {
    TTestProgram t;
    QVERIFY(t.Partida().chAuto->isChecked());
    QVERIFY(t.Main().AutoSavePgn);
    t.Partida().chAuto->click();
    QVERIFY(!t.Main().AutoSavePgn);
}

void TestPartida::buttonsOnlyInAReplay() {
    TTestProgram t;
    TFrmPartida& p = t.Partida();
    QVERIFY(!p.bAdelante->isEnabled());
    OpenReplay(t);
    QVERIFY(p.bAdelante->isEnabled() && p.bAtras->isEnabled() && p.bAnimar->isEnabled());
    t.Main().EndGame(10);
    t.NewGameVia("Ana", true);
    QVERIFY(!p.bAdelante->isEnabled() && !p.bAtras->isEnabled() && !p.bAnimar->isEnabled());
    QCOMPARE(p.windowTitle(), QString("Partida"));
}
QTEST_MAIN(TestPartida)
#include "tst_partida.moc"
