#pragma once
// TFrmPrincipal: the main window, a view over a program (THeadlessProgram):
// it draws the program's rules keeper on its board (FBoard), shows the two
// clocks, the players' nicks and ratings, the turn panel and the command
// buttons, and turns the buttons, the board's pop-up menu and
// point-and-click input into the controller's operations.
//
// It takes its own settings (place, size, pictures, point-and-click) from
// the program's settings when it is created and puts them back when the
// program quits; its close quits the program. It keeps the chat and record
// windows docked beside itself. The other windows are reached only through
// their public operations. When the program goes first, the window goes
// with it.
//
// What must stay true:
//  - every control shows the controller's state as last announced: the
//    buttons, the board's input, the labels, the panel and the title change
//    only in the controller's events;
//  - a point-and-click selection never outlives a move, a new game or the
//    end of a game;
//  - the windows that call into this one (chat, record, new-game dialog)
//    are freed while it is still whole.
//
// Everything runs on the GUI thread. The window reaches the user only
// through the environment's dialogs and sound output, so a program can be
// built and played in a test without a display or an audio device.

#include "EngineConfig.h"
#include "GameController.h"
#include "Square.h"
#include "UiDialogs.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLayout;
class QMenu;
class QToolButton;
class QWidget;
class TChessBrd;
class TClockWidget;
class TFrmChat;
class TFrmConexion;
class TFrmPartida;
class TGameQuestions;
class THeadlessProgram;
class TProgramEnv;
class TPromotionChooser;
class TUiDialogs;

class TFrmPrincipal : public QMainWindow {
    Q_OBJECT
public:
    // The smallest square the window lets the board have, in pixels.
    static constexpr int MinSquareSize = 24;

    // Reads the settings and asks for a nick when none is stored: Started()
    // once there is one (OnStarted is raised then); when none is given,
    // Terminated() is true and the window closes itself.
    explicit TFrmPrincipal(THeadlessProgram& program, QWidget* parent = nullptr);
    ~TFrmPrincipal() override;

    THeadlessProgram& Program() const { return program_; }
    TGameController& Game() const { return game_; }
    TChessBrd& Board() const { return *FBoard; }

    // The chat and record windows, created after this one (see TZugaretProgram).
    void SetWindows(TFrmChat* chat, TFrmPartida* partida);
    TProgramEnv& Env() const { return env_; }

    // The program must end: no nick was given at start-up.
    bool Terminated() const { return terminated_; }
    // Start-up is over: the user has a nick.
    bool Started() const { return startupDone_; }
    void Terminate();
    // Closes without the question a close during a game asks (a signal, or
    // the host's "/KILL", ends the program at once).
    void CloseAtOnce();
    // The question a close asks while the user plays a game.
    static QString QuitQuestion();
    // The window has closed, or is closing (the program quits then).
    bool Closed() const { return closed_; }

    // ---- settings held (ZuzPlak.ini) besides the game's ----
    bool PointClick = true;
    bool ShowDestinations = true; // the board marks where the chosen piece may go
    QString PieceSetFile, LightSquareFile, DarkSquareFile;
    bool GameWindowVisible = true;
    int ChatHeight = 150;
    Square SelectedSquare = Square::None;

    // The main window's own content is enabled (disabled while the new-game
    // dialog is open; the chat and record windows stay usable).
    void SetMainEnabled(bool enabled);
    bool MainEnabled() const;
    // The turn panel's text.
    QString PanelText() const;
    // The point-and-click marker is shown.
    bool MarkerShown() const;
    QRect MarkerGeometry() const;

    // ---- commands ----
    void bNuevaPartidaClick();
    void bTablasClick();
    void bRendirClick();
    // Takes back the last move (Ctrl+Z) in games against the engine or at one board.
    void bDeshacerClick();
    // The board menu's FEN items: the position to the clipboard, and a game
    // from the position on the clipboard.
    void menuCopiarFenClick();
    void menuPegarFenClick();
    void bInvertirClick();
    void bPointAndClickClick();
    void menuPointClickClick();
    void menuDestinosClick();
    void bAplazarClick();
    void bConfiguracionClick();
    void bAyudaClick();
    void SpeedButton1Click();
    void MenuBoardPopup();
    void panelTableroResize();
    void FBoardMouseDown(Qt::MouseButton button, int x, int y);
    // The new-game dialog while it is open.
    TFrmConexion* FrmConexion() const;

    // ---- settings, start-up, shut-down ----
    void FormCreate();
    void FormClose();
    void ApplicationEvents1Idle();

signals:
    // Start-up is over: the user has a nick.
    void OnStarted();
    // The window has closed and the program has written the settings: the
    // program ends (the chat and record windows never close on their own).
    void OnClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The arrow keys the board does not use step a replay (the record window's).
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Construction, in this order (MainWindowLayout.cpp).
    void CreateActions();
    QLayout* BuildToolBar();
    void BuildStrips();
    void BuildBoardPanel();
    void BuildTurnPanel();
    void BuildLayout(QLayout* tools);
    void BuildBoardMenu();
    void ConnectCommands();
    void BindGame();
    void ShowPanel();
    void ShowPlayers();
    void ShowCommands();
    // The menu's "Crear" and "Conectar" as the chat window's buttons.
    void ShowChatCommands();
    void PlaceStrips();
    void PlaceMarker();    // the point-and-click marker over SelectedSquare
    void ClearSelection(); // hides the marker, no square selected
    void OpenPromotionChooser(bool white);
    // Closes an open chooser; the promotion it was asked for is not played.
    void ClosePromotionChooser();
    void ScheduleIdle();
    void ShowMessage(const QString& text);
    TUiDialogs* Dialogs() const;
    // The rest of FormCreate, once the nick is known.
    void FormCreated();
    // Puts this window's keys into the program's settings.
    void WriteSettings();
    void OpenNewGameDialog();
    // "¿Interrumpir la partida actual?"; then runs on OK, unless that game
    // ended first.
    void AskToInterrupt(std::function<void()> then);
    // Where a window of that frame opens wholly on the screen that holds it.
    QPoint OnScreen(const QRect& frame) const;

    THeadlessProgram& program_;
    TProgramEnv& env_;
    TGameController& game_;
    TChessBrd* FBoard = nullptr;
    std::unique_ptr<TGameQuestions> gameQuestions_;
    TQuestionId quitQuestion_ = 0;
    // Null once gone (a view may be destroyed before this window).
    TFrmChat* chat_ = nullptr;
    TFrmPartida* partida_ = nullptr;
    QPointer<TFrmConexion> conexion_;
    QPointer<TPromotionChooser> promotionChooser_;

    TClockWidget* FClockW = nullptr;
    TClockWidget* FClockB = nullptr;
    QLabel* FPanelTurno = nullptr;
    QLabel* FNickLabelW = nullptr;
    QLabel* FNickLabelB = nullptr;
    QLabel* FEloLabelW = nullptr;
    QLabel* FEloLabelB = nullptr;
    QWidget* PanelPiezasBlancas = nullptr; // Black's nick, rating and clock
    QWidget* PanelPiezasNegras = nullptr;  // White's nick, rating and clock
    QWidget* panelTablero = nullptr;
    QWidget* marca = nullptr;
    QToolButton* bNuevaPartida = nullptr;
    QToolButton* bTablas = nullptr;
    QToolButton* bRendir = nullptr;
    QToolButton* bInvertir = nullptr;
    QToolButton* bDeshacer = nullptr;
    QToolButton* bPointAndClick = nullptr;
    QToolButton* bAplazar = nullptr;
    QToolButton* bReanudar = nullptr;
    QToolButton* bConfiguracion = nullptr;
    QToolButton* bAyuda = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QMenu* MenuBoard = nullptr;
    // One action per command: its tool button and its menu item show it, so
    // both are enabled (and checked) together. Named after the menu item
    // where there is one.
    QAction* actNuevaPartida = nullptr;
    QAction* menuTablas = nullptr;
    QAction* menuRendir = nullptr;
    QAction* actDeshacer = nullptr;
    QAction* menuInvertir = nullptr;
    QAction* menuPointClick = nullptr;
    QAction* actAplazar = nullptr;
    QAction* actReanudar = nullptr;
    QAction* actConfiguracion = nullptr;
    QAction* actAyuda = nullptr;
    QAction* actSpeedButton1 = nullptr;
    QAction* menuDestinos = nullptr;
    QAction* menuCrear = nullptr;
    QAction* menuConectar = nullptr;
    QAction* menuCopiarFen = nullptr;
    QAction* menuPegarFen = nullptr;
    QAction* menuExportarPGN = nullptr; // the record window's "Exportar PGN"

    QWidget* central_ = nullptr;
    bool terminated_ = false;
    bool startupDone_ = false;
    bool idleScheduled_ = false;
    bool closed_ = false;
    bool askBeforeClosing_ = true;
    bool framePlaced_ = false;
    // What the new-game dialog proposes: the last opponent and minutes chosen.
    QString lastOpponent_;
    // The external engines: the settings' list with those found on the system.
    QList<TEngineConfig> engines_;
    void ProbeEngines();
    int lastMinutes_ = 15;
};
