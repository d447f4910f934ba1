// The windows as views over the game: every control shows what the
// controller announces (buttons, board input, labels, panel, title, clock
// faces, the record and the captured pieces).

#include "tst_principal_fixture.h"

#include "ConfigurationWindow.h"
#include "RecordText.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void gameThroughTheWindows();
    void configurationChangesTheBoardAndTheSounds();
    void resignationAsksFirst_data();
    void resignationAsksFirst();
    void takeBackButtonAndCtrlZ();
    void newGameDialogOffersTheEngineLevel();
    void fenCopiedAndPasted();
    void storedGeometryStaysOnScreen_data();
    void storedGeometryStaysOnScreen();
};

// The ini file is anyone's to edit: whatever size and place it stores, the
// windows open on the screen and no larger than it (a 100000 x 100000
// window once took 2.9 GB).
void TestMainWindow::storedGeometryStaysOnScreen_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::newRow("huge window") << QByteArray("[Config]\r\nWidth=100000\r\nHeight=100000\r\n");
    QTest::newRow("far off the screen") << QByteArray("[Config]\r\nLeft=-90000\r\nTop=90000\r\n");
    QTest::newRow("huge board") << QByteArray("[Board]\r\nWidth=100000\r\nHeight=100000\r\n");
    QTest::newRow("huge chat window") << QByteArray("[Chat]\r\nHeight=100000\r\n");
    QTest::newRow("negative size") << QByteArray("[Config]\r\nWidth=-5\r\nHeight=-70000\r\n");
}

void TestMainWindow::storedGeometryStaysOnScreen() {
    QFETCH(QByteArray, ini);
    TTestProgram t("Ana", ini);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (QWidget* w : {static_cast<QWidget*>(&t.Main()), static_cast<QWidget*>(&t.Chat()),
                       static_cast<QWidget*>(&t.Board())}) {
        QVERIFY2(
            w->width() <= screen.width() && w->height() <= screen.height(),
            qPrintable(QString("%1: %2x%3").arg(w->objectName()).arg(w->width()).arg(w->height())));
    }
    QVERIFY(screen.intersects(t.Main().geometry()));
}

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

// The configuration window opened from the main window changes the board's
// pictures, the stored file names and the controller's sound set at once.
void TestMainWindow::configurationChangesTheBoardAndTheSounds() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    QImage pieces(240, 160, QImage::Format_ARGB32);
    pieces.fill(Qt::red);
    const QString file = t.dir.filePath("piezas.png");
    QVERIFY(pieces.save(file));
    t.dialogs.AnswerFile(TQuestion::Picture, file);
    t.MainButton("bConfiguracion")->click();
    auto* window = m.findChild<TFrmConfiguracion*>();
    QVERIFY(window);
    QVERIFY(window->isModal());
    window->bCambiarPiezasClick();
    t.dialogs.Flush();
    QCOMPARE(t.Board().CustomPieceSet().size(), pieces.size());
    QCOMPARE(m.PieceSetFile, file);
    window->rbZelbovar->click();
    QCOMPARE(t.Game().SoundFolder(), QString("sonidos/zelbo/"));
    window->bPiezasNilClick();
    QVERIFY(t.Board().CustomPieceSet().isNull());
    QVERIFY(m.PieceSetFile.isEmpty());
    window->bCerrarClick();
    QTRY_VERIFY(!m.findChild<TFrmConfiguracion*>());
    // The sound set reaches the cues; the files reach the settings.
    t.sound.Clear();
    t.NewGameVia("Ana", true);
    QVERIFY(t.sound.Files.last().contains("sonidos/zelbo/nueva.wav"));
}

void TestMainWindow::resignationAsksFirst_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes: resigned") << true;
    QTest::newRow("no: the game goes on") << false;
}

void TestMainWindow::resignationAsksFirst() {
    QFETCH(bool, yes);
    TTestProgram t;
    t.NewGameVia("Ana", true);
    QVERIFY(t.Play("e2e4"));
    yes ? t.dialogs.AnswerYes(TQuestion::Resign) : t.dialogs.AnswerNo(TQuestion::Resign);
    t.MainButton("bRendir")->click();
    QVERIFY(t.Game().GameInProgress()); // until the answer comes
    t.dialogs.Flush();
    QCOMPARE(t.dialogs.Log().at(0).Text, QString::fromUtf8("¿Seguro que quiere abandonar?"));
    QCOMPARE(t.dialogs.Log().at(0).Buttons, TQuestionButtons::YesNo);
    QTRY_COMPARE(t.dialogs.Log().size(), yes ? 2 : 1); // then the end's announcement
    QCOMPARE(t.Game().GameInProgress(), !yes);
    QCOMPARE(t.Game().ResultText(), yes ? QString("1-0") : QString());
}

void TestMainWindow::takeBackButtonAndCtrlZ() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    QToolButton* undo = t.MainButton("bDeshacer");
    t.NewGameVia("Ana", true);
    QVERIFY(!undo->isEnabled());
    QVERIFY(t.PlayAll({"e2e4", "e7e5"}));
    QVERIFY(undo->isEnabled());
    undo->click();
    QCOMPARE(t.Partida().Lines(), QStringList{"1.Pe2e4"});
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    QTest::keyClick(&m, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(t.Partida().Lines().isEmpty());
    QVERIFY(!undo->isEnabled());
    QCOMPARE(t.Model().Position().left(16), QString("rnbqkbnrpppppppp"));
}

void TestMainWindow::newGameDialogOffersTheEngineLevel() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.bNuevaPartidaClick();
    TFrmConexion* dlg = m.FrmConexion();
    QCOMPARE(dlg->Opponent(), QString("ZuzPlak"));
    QVERIFY(dlg->DepthOffered());
    QCOMPARE(dlg->Depth(), 5);
    dlg->Choose("Ana", true, 5);
    QVERIFY(!dlg->DepthOffered());
    dlg->Choose("ZuzPlak", true, 5);
    dlg->ChooseDepth(2);
    dlg->bCrearClick();
    QCOMPARE(t.Model().SearchDepth(), 2);
    QCOMPARE(t.Game().EngineDepth(), 2);
    QCOMPARE(t.Partida().Lines().first(), QString("{Nivel de ZuzPlak: 2}"));
    // Remembered in the settings file.
    t.Game().EndGame(TEndReason::Abandoned);
    m.close();
    TZugaretSettings saved;
    QVERIFY(saved.Load(t.env->IniFile()));
    QCOMPARE(saved.EngineDepth, 2);
}

// The board menu copies the position as FEN and sets up a game from a
// pasted one; a bad one is refused with a message and changes nothing.
void TestMainWindow::fenCopiedAndPasted() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true);
    QVERIFY(t.PlayAll({"e2e4", "c7c5", "g1f3"}));
    const QString fen = t.Model().Fen();
    t.Control<QAction>(m, "menuCopiarFen")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), fen);
    QGuiApplication::clipboard()->setText("8/8/8/8/8/8/8/8 w - - 0 1");
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.Control<QAction>(m, "menuPegarFen")->trigger();
    t.dialogs.Flush();
    QVERIFY(t.dialogs.Messages().last().startsWith(
        QString::fromUtf8("No se puede poner esa posición")));
    QCOMPARE(t.Model().Fen(), fen);
    QGuiApplication::clipboard()->setText(fen);
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.Control<QAction>(m, "menuPegarFen")->trigger();
    t.dialogs.Flush();
    QCOMPARE(t.Model().Fen(), fen);
    QCOMPARE(t.Game().MyColour(), TColour::Black);
    QCOMPARE(t.Partida().Lines(), QStringList{PositionLine(fen)});
    QVERIFY(t.Board().WhiteOnTop()); // the user's colour at the bottom
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
