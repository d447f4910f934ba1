// Start-up and shut-down with the settings file, the about message, the
// buttons and the board menu, point-and-click, flipping and window placing.

#include "tst_principal_fixture.h"

#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

class TestPrincipalCommands : public QObject {
    Q_OBJECT

private slots:
    void firstStartAsksForTheNickAndWritesTheSettings();
    void noNickEndsTheProgram();
    void storedSettingsAreRead();
    void aboutMessage();
    void outdatedVersionWarnsAtEveryGame();
    void interruptQuestion();
    void newGameDialogListsTheOpponents();
    void pointAndClick();
    void pointAndClickToggle();
    void markerGoesWithEveryMoveAndGame();
    void smallWindowKeepsTheBoardAndToolBar();
    void destinationsFollowTheSelectionAndTheMenu();
    void flipMovesTheStrips();
    void boardMenuFollowsTheButtons();
    void notAvailableButtons();
    void chatAndRecordWindowsDockBesideTheMainWindow();
    void shutDownFreesTheOtherWindowsFirst();
    void clockSetForANewGameAlertsAtATenth();
};

void TestPrincipalCommands::firstStartAsksForTheNickAndWritesTheSettings() {
    TTestProgram t{QString()};
    t.dialogs.AnswerInput(TQuestion::Nick, "Pepe");
    t.Build();
    QVERIFY(!t.program->Terminated());
    QCOMPARE(t.dialogs.Log().first().Text, QString("Escriba su nombre"));
    TFrmPrincipal& m = t.Main();
    QCOMPARE(t.Game().Nick(), QString("Pepe"));
    QCOMPARE(m.windowTitle(), QString("Zugaret CHAT! 2.01 [Pepe 1100 ELO]"));
    // Later titles (a rename after a nick clash, the end of a game) start
    // from the controller's, which must hold the nick given here too.
    QCOMPARE(t.Game().Title(), m.windowTitle());
    QCOMPARE(t.Chat().windowTitle(), QString("Zugaret CHAT! 2.01  [Pepe]"));
    QVERIFY(m.PointClick);
    QVERIFY(t.Control<QAction>(m, "menuPointClick")->isChecked());
    TZugaretSettings rated;
    t.Game().SaveSettings(rated);
    rated.Elo = 1215;
    t.Game().LoadSettings(rated);
    m.close();
    TZugaretSettings s;
    QVERIFY(s.Load(t.env->IniFile()));
    QCOMPARE(s.Nick, QString("Pepe"));
    QCOMPARE(s.Elo, 1215);
    QCOMPARE(s.ComputerElo, 1200);
    QSettings raw(t.env->IniFile(), QSettings::IniFormat);
    for (const char* key : {"User/Nick", "User/Elo", "Plak/Elo", "Config/Left", "Config/Top",
                            "Config/Width", "Config/Height", "Board/Height", "Board/Width",
                            "Board/BmpBoard", "Board/BmpW", "Board/BmpB", "Board/PointClick",
                            "Game/Visible", "Chat/Height", "KorvenWEB/Url", "Sonidos/Carpeta"})
        QVERIFY2(raw.contains(key), key);
    QVERIFY(!raw.contains("Board/State"));
}

void TestPrincipalCommands::noNickEndsTheProgram() {
    TTestProgram blank{QString()};
    blank.dialogs.AnswerInput(TQuestion::Nick, "   ");
    blank.Build();
    QVERIFY(blank.program->Terminated());
    QVERIFY(blank.program->Chat() == nullptr);

    TTestProgram cancelled{QString()};
    cancelled.dialogs.Cancel(TQuestion::Nick);
    cancelled.Build();
    QVERIFY(cancelled.program->Terminated());
    // Nothing was agreed: no settings file is left behind.
    QVERIFY(!QFile::exists(cancelled.env->IniFile()));
}

void TestPrincipalCommands::storedSettingsAreRead() {
    const QByteArray ini = "[User]\r\nNick=Luis\r\nElo=" + TZugaretSettings::StoredElo(1543) +
                           "\r\n[Plak]\r\nElo=1333\r\n[Board]\r\nPointClick=0\r\nState=2\r\n"
                           "[KorvenWEB]\r\nUrl=ftp://old.example\r\n[Game]\r\nVisible=0\r\n";
    TTestProgram t(QString(), ini);
    t.Build();
    TFrmPrincipal& m = t.Main();
    QCOMPARE(t.Game().Nick(), QString("Luis"));
    QCOMPARE(t.Game().Elo(), 1543);
    QCOMPARE(t.Game().ComputerElo(), 1333);
    QVERIFY(!m.PointClick);
    QVERIFY(!t.Control<QAction>(m, "menuPointClick")->isChecked());
    QVERIFY(!t.MainButton("bPointAndClick")->isChecked());
    QCOMPARE(t.Game().VersionState(), 2);
    QCOMPARE(t.Game().WebUrl(), QString(TZugaretSettings::DefaultWebUrl));
    QVERIFY(!t.Partida().isVisible());
    QVERIFY(t.Chat().isVisible());
    QVERIFY(t.dialogs.Log().isEmpty());
}

void TestPrincipalCommands::aboutMessage() {
    TTestProgram t;
    t.Main().bAyudaClick();
    t.Control<QToolButton>(t.Partida(), "SpeedButton1")->click();
    const QString about = TZugaretSettings::AboutText(t.env->DataFolder());
    QCOMPARE(t.dialogs.Messages(), (QStringList{about, about}));
    QVERIFY(about.contains("2.01"));
}

void TestPrincipalCommands::outdatedVersionWarnsAtEveryGame() {
    TTestProgram t("Ana", "[Board]\r\nState=2\r\n");
    t.NewGameVia("Ana", true);
    t.Main().bNuevaPartidaClick(); // the interrupt question is not prepared: Cancel
    t.dialogs.Flush();
    QVERIFY(t.Main().FrmConexion() == nullptr);
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.NewGameVia("Ana", true);
    const QStringList msgs = t.dialogs.Messages();
    QCOMPARE(msgs.size(), 2);
    QVERIFY(msgs.first().startsWith(QString::fromUtf8(
        "¡¡ ATENCION !! \n\rEsta versión de ZugaretChat es demasiado antigua\n\r")));
    QCOMPARE(t.sound.Cues().mid(0, 2), (QStringList{"entrar", "nueva"}));
}

void TestPrincipalCommands::interruptQuestion() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true);
    QVERIFY(t.Play("e2e4"));
    t.dialogs.AnswerNo(TQuestion::InterruptGame);
    m.bNuevaPartidaClick();
    t.dialogs.Flush();
    QCOMPARE(t.dialogs.Log().last().Text, QString::fromUtf8("¿Interrumpir la partida actual?"));
    QCOMPARE(t.dialogs.Log().last().Buttons, TQuestionButtons::OkCancel);
    QCOMPARE(int(t.Game().TurnState()), 2);
    QVERIFY(m.FrmConexion() == nullptr);
    QVERIFY(t.Game().ClockB().Running());
    QVERIFY(m.MainEnabled());

    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    m.bNuevaPartidaClick();
    t.dialogs.Flush();
    QCOMPARE(int(t.Game().TurnState()), 0);
    QVERIFY(m.FrmConexion());
    QVERIFY(!m.MainEnabled());
    QCOMPARE(t.Record(), QStringList{"1.Pe2e4"}); // abandoned: no result line
    // The last game was White's: Black is proposed.
    QVERIFY(!m.FrmConexion()->WhiteChosen());
    m.FrmConexion()->SpeedButton1Click();
    QVERIFY(m.MainEnabled());
    QTRY_VERIFY(m.FrmConexion() == nullptr);
}

void TestPrincipalCommands::newGameDialogListsTheOpponents() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    auto offered = [&m] {
        m.bNuevaPartidaClick();
        TFrmConexion* dlg = m.FrmConexion();
        QStringList items;
        if (!dlg) return QStringList{"<no dialog>"};
        items = dlg->Opponents();
        items << "text:" + dlg->Opponent();
        dlg->SpeedButton1Click();
        return items;
    };
    QCOMPARE(offered(), (QStringList{"ZuzPlak", "Ana", "text:ZuzPlak"}));
    // The host's list holds the own nick anywhere, even twice.
    t.Game().SetRole(TRole::Server);
    for (const char* n : {"Bea", "Ana", "Carla"})
        t.Chat().UpdateNickList(QString(), n);
    QCOMPARE(offered(), (QStringList{"Bea", "Carla", "ZuzPlak", "Ana", "text:Bea"}));
    t.Game().SetRole(TRole::Client);
    // Before the host's greeting its nick is not known, and not offered.
    QCOMPARE(offered(), (QStringList{"ZuzPlak", "Ana", "text:ZuzPlak"}));
    t.Game().SetHostNick("Bea");
    QCOMPARE(offered(), (QStringList{"Bea", "ZuzPlak", "Ana", "text:Bea"}));
}

void TestPrincipalCommands::pointAndClick() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    TChessBrd& b = t.Board();
    t.NewGameVia("Ana", true);
    QVERIFY(m.PointClick);
    auto centre = [&b](Square s) {
        return b.SquareToPoint(s) + QPoint(b.SizeOfSquare() / 2, b.SizeOfSquare() / 2);
    };
    auto click = [&](Square s) {
        const QPoint p = centre(s);
        m.FBoardMouseDown(Qt::LeftButton, p.x(), p.y());
    };
    click(Square::E2);
    QCOMPARE(m.SelectedSquare, Square::E2);
    QCOMPARE(m.MarkerGeometry().x(), b.x() + b.SquareToPoint(Square::E2).x() + 1);
    QCOMPARE(m.MarkerGeometry().width(), b.SizeOfSquare() - 2);
    // An illegal target picks the clicked square instead.
    click(Square::G1);
    QCOMPARE(m.SelectedSquare, Square::G1);
    QCOMPARE(t.Model().PieceAt(Square::G1), 'N');
    QCOMPARE(m.MarkerGeometry().y(), b.y() + b.SquareToPoint(Square::G1).y() + 1);
    click(Square::F3);
    QCOMPARE(t.Model().PieceAt(Square::F3), 'N');
    QCOMPARE(m.SelectedSquare, Square::None);
    QVERIFY(!m.MarkerShown());
    QCOMPARE(t.Record(), QStringList{"1.Ng1f3"});
    // An empty square hides the marker.
    click(Square::E5);
    QVERIFY(!m.MarkerShown());
    // The right button opens the board menu and moves nothing.
    const QPoint p = centre(Square::E7);
    m.FBoardMouseDown(Qt::RightButton, p.x(), p.y());
    QTRY_VERIFY(t.Control<QMenu>(m, "MenuBoard")->isVisible());
    t.Control<QMenu>(m, "MenuBoard")->close();
    QCOMPARE(m.SelectedSquare, Square::E5);
    // A flipped board takes the marker along with its square.
    click(Square::B1);
    const QPoint before = m.MarkerGeometry().topLeft();
    m.bInvertirClick();
    QCOMPARE(m.SelectedSquare, Square::B1);
    QCOMPARE(m.MarkerGeometry().topLeft(), b.pos() + b.SquareToPoint(Square::B1) + QPoint(1, 1));
    QVERIFY(m.MarkerGeometry().topLeft() != before);
    m.bInvertirClick();
    QCOMPARE(m.MarkerGeometry().topLeft(), before);
    // With point-and-click off clicks do nothing.
    m.bPointAndClickClick();
    QVERIFY(!m.PointClick);
    click(Square::E7);
    QCOMPARE(m.SelectedSquare, Square::None);
}

// A square picked for point-and-click is dropped by any move (a drag, the
// opponent's), by a new game and by the end of a game.
void TestPrincipalCommands::markerGoesWithEveryMoveAndGame() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    TChessBrd& b = t.Board();
    auto click = [&](Square s) {
        const QPoint p = b.SquareToPoint(s) + QPoint(b.SizeOfSquare() / 2, b.SizeOfSquare() / 2);
        m.FBoardMouseDown(Qt::LeftButton, p.x(), p.y());
    };
    auto selected = [&] { return m.SelectedSquare != Square::None || m.MarkerShown(); };
    t.NewGameVia("Ana", true);
    click(Square::E2);
    QVERIFY(selected());
    QVERIFY(t.Play("d2d4")); // dragged instead
    QVERIFY(!selected());
    click(Square::E7);
    QVERIFY(selected());
    QVERIFY(t.Play("e7e5")); // the other player's move, at the same board
    QVERIFY(!selected());
    click(Square::G1);
    QVERIFY(selected());
    t.dialogs.AnswerYes(TQuestion::Resign); // "¿Seguro que quiere abandonar?"
    m.bRendirClick();                       // the end of the game, once answered
    t.dialogs.Flush();
    QVERIFY(!selected());
    click(Square::G1); // no move possible: nothing to pick, but picking is harmless
    t.Game().EndGame(TEndReason::Abandoned);
    t.NewGameVia("Ana", true);
    QVERIFY(!selected());
    click(Square::B1);
    QVERIFY(selected());
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.NewGameVia("Ana", true);
    QVERIFY(!selected());
}

// Made very small, the window stops at a size that keeps squares of 24
// pixels and every tool bar caption whole.
void TestPrincipalCommands::smallWindowKeepsTheBoardAndToolBar() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.resize(100, 100);
    QCoreApplication::processEvents();
    QVERIFY2(t.Board().SizeOfSquare() >= TFrmPrincipal::MinSquareSize,
             qPrintable(QString::number(t.Board().SizeOfSquare())));
    for (QToolButton* button : m.findChildren<QToolButton*>())
        if (button->isVisible())
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->toolTip()));
    // Squares stay apart: the board is eight squares and its border wide.
    QCOMPARE(t.Board().width(), 8 * t.Board().SizeOfSquare() + 2 * t.Board().SizeOfBorder());
    QVERIFY(t.Control<QWidget>(m, "panelTablero")->width() >= t.Board().width());
}

void TestPrincipalCommands::pointAndClickToggle() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.Control<QAction>(m, "menuPointClick")->trigger();
    QVERIFY(!m.PointClick);
    QVERIFY(!t.MainButton("bPointAndClick")->isChecked());
    t.MainButton("bPointAndClick")->click();
    QVERIFY(m.PointClick);
    QVERIFY(t.Control<QAction>(m, "menuPointClick")->isChecked());
    QVERIFY(t.MainButton("bPointAndClick")->isChecked());
}

// The board marks where the selected piece may go until the menu item turns it off.
void TestPrincipalCommands::destinationsFollowTheSelectionAndTheMenu() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    t.NewGameVia("Ana", true);
    const QPoint g1 = t.Board().SquareToPoint(Square::G1) + QPoint(5, 5);
    m.FBoardMouseDown(Qt::LeftButton, g1.x(), g1.y());
    QCOMPARE(t.Board().SelectedSquare(), Square::G1);
    QAction* item = t.Control<QAction>(m, "menuDestinos");
    QVERIFY(item->isChecked() && t.Board().Highlights().destinations.any());
    item->trigger();
    QVERIFY(!t.Board().ShowLegalDestinations() && t.Board().Highlights().destinations.none());
    m.close();
    const QSettings ini(t.env->IniFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("Board/ShowDestinations").toInt(), 0);
    TTestProgram again("Ana", "[Board]\r\nShowDestinations=0\r\n");
    QVERIFY(!again.Control<QAction>(again.Main(), "menuDestinos")->isChecked());
    QVERIFY(!again.Board().ShowLegalDestinations());
}

void TestPrincipalCommands::flipMovesTheStrips() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    auto* layout = static_cast<QVBoxLayout*>(m.centralWidget()->layout());
    const int board = layout->indexOf(t.Control<QWidget>(m, "panelTablero"));
    QCOMPARE(layout->indexOf(t.Control<QWidget>(m, "PanelPiezasBlancas")),
             board - 1); // Black's strip on top
    m.bInvertirClick();
    QVERIFY(t.Board().WhiteOnTop());
    const int board2 = layout->indexOf(t.Control<QWidget>(m, "panelTablero"));
    QCOMPARE(layout->indexOf(t.Control<QWidget>(m, "PanelPiezasNegras")), board2 - 1);
    QCOMPARE(layout->indexOf(t.Control<QWidget>(m, "PanelPiezasBlancas")), board2 + 1);
    // A game as Black keeps Black at the bottom; as White flips back.
    t.NewGameVia("ZuzPlak", true);
    QVERIFY(!t.Board().WhiteOnTop());
    t.Game().EndGame(TEndReason::Abandoned);
    t.Game().StartLocalGame(TGameMode::LocalTwoPlayers, false, 1);
    QVERIFY(t.Board().WhiteOnTop());
    // The board stays square inside its panel.
    m.resize(500, 700);
    QTRY_COMPARE(t.Board().width(), t.Board().height());
    QVERIFY(t.Board().width() <= t.Control<QWidget>(m, "panelTablero")->width());
}

void TestPrincipalCommands::boardMenuFollowsTheButtons() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.MenuBoardPopup();
    QVERIFY(!t.Control<QAction>(m, "menuTablas")->isEnabled());
    QVERIFY(!t.Control<QAction>(m, "menuRendir")->isEnabled());
    QCOMPARE(t.Control<QAction>(m, "menuCrear")->isEnabled(), t.Chat().CreateEnabled());
    t.NewGameVia("Ana", true);
    m.MenuBoardPopup();
    QVERIFY(t.Control<QAction>(m, "menuRendir")->isEnabled());
    QCOMPARE(t.Control<QAction>(m, "menuTablas")->isEnabled(),
             t.MainButton("bTablas")->isEnabled());
    t.Control<QPushButton>(t.Chat(), "bCrear")->setEnabled(false);
    m.MenuBoardPopup();
    QVERIFY(!t.Control<QAction>(m, "menuCrear")->isEnabled());
    QVERIFY(t.Control<QAction>(m, "menuConectar")->isEnabled());
    t.dialogs.AnswerYes(TQuestion::Resign);
    t.Control<QAction>(m, "menuRendir")->trigger();
    t.dialogs.Flush();
    QCOMPARE(int(t.Game().TurnState()), 0);
}

void TestPrincipalCommands::notAvailableButtons() {
    TTestProgram t;
    t.MainButton("bAplazar")->click();
    t.MainButton("bReanudar")->click();
    QCOMPARE(t.dialogs.Messages(), (QStringList{"Opción no disponible, de momento...",
                                                "Opción no disponible, de momento..."}));
}

void TestPrincipalCommands::chatAndRecordWindowsDockBesideTheMainWindow() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    // All of it on the (small) test screen.
    m.move(0, 0);
    t.Chat().resize(200, 200);
    t.Partida().resize(120, 200);
    m.ApplicationEvents1Idle();
    const QRect g = m.frameGeometry();
    QCOMPARE(t.Chat().frameGeometry().left(), g.left() + g.width());
    QCOMPARE(t.Chat().frameGeometry().top(), g.top());
    QCOMPARE(t.Partida().frameGeometry().top(), t.Chat().frameGeometry().bottom() + 1);
    QVERIFY(!t.Partida().frameGeometry().intersects(t.Chat().frameGeometry()));
    // A taller chat window pushes the record window down with it.
    t.Chat().resize(t.Chat().width(), t.Chat().height() + 20);
    QTRY_COMPARE(t.Partida().frameGeometry().top(), t.Chat().frameGeometry().bottom() + 1);
    // Undocked: nothing moves.
    t.Chat().SetDocked(false);
    t.Chat().move(700, 10);
    m.ApplicationEvents1Idle();
    QCOMPARE(t.Chat().frameGeometry().left(), 700);
}

void TestPrincipalCommands::shutDownFreesTheOtherWindowsFirst() {
    // The chat, record and new-game windows call into the main window; they
    // are freed while it is still whole, even with an engine move on its way.
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    m.bNuevaPartidaClick(); // the new-game dialog is open
    QVERIFY(m.FrmConexion());
    // The engine plays White and has its move ready.
    t.Game().SetEngineDepth(1);
    t.Game().StartLocalGame(TGameMode::VsComputer, false, 15);
    QVERIFY(t.Model().ComputerPlaysWhite());
    LetTheEngineHandItsMoveOver();
    QObject* main = &m;
    QStringList freedWithMainWhole;
    for (QObject* w : {static_cast<QObject*>(&t.Chat()), static_cast<QObject*>(&t.Partida()),
                       static_cast<QObject*>(t.Main().FrmConexion())}) {
        const QString name = w->metaObject()->className();
        QObject::connect(w, &QObject::destroyed, [&freedWithMainWhole, main, name] {
            if (dynamic_cast<TFrmPrincipal*>(main)) freedWithMainWhole << name;
        });
    }
    t.program.reset();
    freedWithMainWhole.sort();
    QCOMPARE(freedWithMainWhole, (QStringList{"TFrmChat", "TFrmConexion", "TFrmPartida"}));
}

void TestPrincipalCommands::clockSetForANewGameAlertsAtATenth() {
    TTestProgram t;
    TFrmPrincipal& m = t.Main();
    // What a ten-minute game leaves when White's clock ran down to 1:00.
    TRelojChess& clock = t.Game().ClockW();
    clock.SetTime(1, 0);
    clock.SetAlert(60);
    // A new one-minute game sets the same parts: the threshold follows all the same.
    t.NewGameVia("Ana", true, 1);
    QCOMPARE(clock.Remaining(), 60);
    QCOMPARE(clock.Alert(), 6);
    t.dialogs.AnswerYes(TQuestion::InterruptGame);
    t.NewGameVia("Ana", true, 90);
    QCOMPARE(clock.Remaining(), 5400);
    QCOMPARE(clock.Alert(), 540);
    Q_UNUSED(m);
}

QTEST_MAIN(TestPrincipalCommands)
#include "tst_principal_commands.moc"
