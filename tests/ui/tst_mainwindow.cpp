// The windows as views over the game: every control shows what the
// controller announces (buttons, board input, labels, panel, title, clock
// faces, the record and the captured pieces).

#include "tst_principal_fixture.h"

#include <QLabel>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void gameThroughTheWindows();
};

void TestMainWindow::gameThroughTheWindows() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    TGameController& g = t.Game();
    auto label = [&](const char* name) { return t.Control<QLabel>(m, name)->text(); };
    t.NewGameVia("Ana", true, 5);
    QVERIFY(!t.MainButton("bNuevaPartida")->isEnabled());
    QVERIFY(t.MainButton("bRendir")->isEnabled());
    QVERIFY(t.MainButton("bTablas")->isEnabled());
    QCOMPARE(label("FNickLabelB"), QString("Ana 2"));
    QCOMPARE(label("FEloLabelW"), QString("1100"));
    QCOMPARE(m.PanelText(), QString("Juegan Blancas"));
    QCOMPARE(t.Control<TClockWidget>(m, "FClockW")->text(), QString("0:05:00"));
    QCOMPARE(t.Control<TClockWidget>(m, "FClockW")->BackgroundColor(),
             t.Control<TClockWidget>(m, "FClockW")->ActiveColor());
    QVERIFY(!t.Board().NoMover());

    // Scholar's mate, with a capture on the way.
    QVERIFY(t.PlayAll({"e2e4", "e7e5", "d1h5", "b8c6", "f1c4", "g8f6"}));
    QCOMPARE(m.windowTitle(), QString("3.Bf1c4 Ng8f6"));
    QCOMPARE(t.Partida().windowTitle(), QString("3.Bf1c4 Ng8f6"));
    QCOMPARE(m.PanelText(), QString("Juegan Blancas"));
    QVERIFY(t.Play("h5f7"));
    QCOMPARE(t.Partida().Lines(), g.Record());
    QCOMPARE(t.Partida().Lines().last(), QString("4.Qh5f7++ 1-0"));
    QCOMPARE(t.Partida().VisibleCapturedImages(), QStringList{}); // a pawn shows nothing
    QCOMPARE(m.PanelText(), QString("Ganan Blancas por  Jaque Mate"));
    QVERIFY(t.Control<QLabel>(m, "FPanelTurno")->styleSheet().contains("#c0c0c0"));
    QCOMPARE(label("FEloLabelW"), QString::number(g.WhitePlayer().Elo));
    QCOMPARE(t.Control<QLabel>(m, "FEloLabelW")->toolTip(), QString("Elo anterior 1100"));
    QCOMPARE(m.windowTitle(), QString("Zugaret CHAT! 2.01 [Ana 1100 ELO]"));
    QVERIFY(t.MainButton("bNuevaPartida")->isEnabled());
    QVERIFY(!t.MainButton("bRendir")->isEnabled());
    QVERIFY(t.Board().NoMover());
    QVERIFY(!t.Board().isEnabled());

    // Captured pieces fill the record window's strip.
    t.NewGameVia("Ana", true, 5);
    QVERIFY(t.Partida().Lines().isEmpty());
    QVERIFY(t.PlayAll({"e2e4", "d7d5", "e4d5", "d8d5", "b1c3", "d5a2", "a1a2"}));
    QCOMPARE(t.Partida().VisibleCapturedImages(), QStringList{"N_D"});
    QVERIFY(t.Board().isEnabled());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
