#pragma once
// TFrmPrincipal: the main window and game controller of the program. It owns
// the board (FBoard), the two clocks, the players' nick and rating labels,
// the turn panel and the command buttons, and keeps the state of the game:
// who plays which colour, what kind of game runs, whose turn it is, the
// ratings. After every move it writes the game record in the record window,
// switches clocks and turn, and hands the move message to the chat window;
// EndGame is the single way a game finishes.
//
// It also reads the settings ("ZuzPlak.ini") when it is created, writes them
// when it closes, and keeps the chat and record windows docked beside itself.
//
// What must stay true:
//  - TurnState is 0 exactly when no game is in progress; EndGame with a
//    reason 0..9 on a running game sets it to 0, a second EndGame only
//    repeats its first step;
//  - bNuevaPartida is disabled from StartGame to EndGame;
//  - the record is written in every mode but Replay;
//  - MoveSerial numbers the move messages this program sends, one per move;
//  - a finished game stays finished: no move received afterwards, no engine
//    move and no promotion answered afterwards reopens it or is sent on;
//  - the windows that call into this one (chat, record, new-game dialog) are
//    freed while it is still whole.
//
// Everything runs on the GUI thread. The windows reach the user only through
// the environment's dialogs and sound output, so a program can be built and
// played in a test without a display or an audio device.

#include "Settings.h"
#include "Square.h"
#include "Players.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;
class TChessBrd;
class TFrmChat;
class TFrmConexion;
class TFrmPartida;
class TProgramEnv;
class TClockWidget;
class TRelojChess;
class TUiDialogs;

enum class TRole { Server = 0, Client = 1, Observer = 2, Offline = 3 };
enum class TGameMode { Network = 0, VsComputer = 1, LocalTwoPlayers = 2, Replay = 3 };

class TFrmPrincipal : public QMainWindow {
    Q_OBJECT
public:
    // Colours of MyColour.
    static constexpr int White = 0;
    static constexpr int Black = 1;
    static constexpr int NoColour = 2;
    static constexpr const char* ComputerName = "ZuzPlak";
    // Plies the built-in engine searches.
    static constexpr int EngineSearchDepth = 5;
    // The smallest square the window lets the board have, in pixels.
    static constexpr int MinSquareSize = 24;

    // Reads the settings and asks for a nick when none is stored; when none
    // is given, Terminated() is true and the program must end.
    explicit TFrmPrincipal(TProgramEnv& env, QWidget* parent = nullptr);
    ~TFrmPrincipal() override;

    // The chat and record windows, created after this one (see TZugaretProgram).
    void SetWindows(TFrmChat* chat, TFrmPartida* partida);
    TFrmChat* FrmChat() const { return chat_; }
    TFrmPartida* FrmPartida() const { return partida_; }
    TProgramEnv& Env() const { return env_; }

    // The program must end: no nick was given at start-up.
    bool Terminated() const { return terminated_; }
    void Terminate();

    // Raised once the window has closed and written the settings: the
    // program ends (the chat and record windows never close on their own).
    std::function<void()> OnClosed;

    // ---- game state ----
    QString Nick;
    QString HostNick;
    int Elo = TZugaretSettings::DefaultElo;
    int ComputerElo = TZugaretSettings::DefaultComputerElo;
    TRole Role = TRole::Offline;
    int MyColour = NoColour;
    TGameMode GameMode = TGameMode::Network;
    int TurnState = 0; // 0 no game, 1 White to move, 2 Black to move
    TPlayer WhitePlayer;
    TPlayer BlackPlayer;
    QString ResultText;
    int MoveSerial = 0;
    bool PendingPromotion = false;
    QChar PromotionPiece = '*';
    bool CheckPending = false;
    Square CheckSquare = Square::None;
    bool AutoSavePgn = true;
    QString PgnFolder;

    // ---- settings held (ZuzPlak.ini) ----
    bool PointClick = true;
    QString WebUrl;
    QString SoundFolder;
    QString Version;
    QString PieceSetFile, LightSquareFile, DarkSquareFile;
    int VersionState = 1;
    bool GameWindowVisible = true;
    int ChatHeight = 150;
    Square SelectedSquare = Square::None;

    // ---- controls ----
    TChessBrd* FBoard = nullptr;
    TRelojChess* FClockW = nullptr;
    TRelojChess* FClockB = nullptr;
    TClockWidget* FClockFaceW = nullptr;
    TClockWidget* FClockFaceB = nullptr;
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
    QToolButton* bPointAndClick = nullptr;
    QToolButton* bAplazar = nullptr;
    QToolButton* bReanudar = nullptr;
    QToolButton* bConfiguracion = nullptr;
    QToolButton* bAyuda = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QMenu* MenuBoard = nullptr;
    QAction* menuInvertir = nullptr;
    QAction* menuPointClick = nullptr;
    QAction* menuTablas = nullptr;
    QAction* menuRendir = nullptr;
    QAction* menuCrear = nullptr;
    QAction* menuConectar = nullptr;

    // ---- operations offered to the chat and record windows ----
    void StartGame();
    void EndGame(int reason);
    void ApplyRemoteMove(const QString& text);
    void SetLocalMayMove(bool allowed);
    void MeteRuido(const QString& name);
    // Takes back one half-move on the board (replay's back step).
    void TakeBackOneMove();
    // Sets a clock to minutes:seconds with no hours, whatever it held before.
    static void SetClockTime(TRelojChess& clock, int minutes, int seconds);
    // The main window's own content is enabled (disabled while the new-game
    // dialog is open; the chat and record windows stay usable).
    void SetMainEnabled(bool enabled);
    bool MainEnabled() const;
    // The five fields of the move message for the move just played, after
    // the command word: serial, side flag, move, promotion, mover's seconds.
    QString MoveMessage(const QString& word, Square oldSq, Square newSq) const;

    // ---- board events ----
    void FBoardLegalMove(Square oldSq, Square newSq);
    void FBoardCapture(Square oldSq, Square newSq, char captured);
    void FBoardPromotion(Square oldSq, Square newSq, char& newPiece);
    void FBoardCastle();
    void FBoardCheck(Square oldSq, Square newSq);
    void FBoardMate();
    void FBoardStaleMate();
    void FBoardNoMatingMaterial();
    void FBoardThreefoldPosition();
    void FBoardDraw();
    void FBoardMouseDown(Qt::MouseButton button, int x, int y);
    void FClockWTimeout();
    void FClockBTimeout();

    // ---- commands ----
    void bNuevaPartidaClick();
    void bTablasClick();
    void bRendirClick();
    void bInvertirClick();
    void bPointAndClickClick();
    void menuPointClickClick();
    void bAplazarClick();
    void bConfiguracionClick();
    void bAyudaClick();
    void SpeedButton1Click();
    void MenuBoardPopup();
    void panelTableroResize();
    // The new-game dialog while it is open.
    TFrmConexion* FrmConexion() const;

    // ---- settings, start-up, shut-down ----
    void FormCreate();
    void FormClose();
    void ApplicationEvents1Idle();
    QString MainTitle() const;
    QString PanelText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void WireBoard();
    void SetTurnPanel(int turn); // 1 White to move, 2 Black to move
    void ShowPlayers();
    void PlaceStrips();
    void PlaceMarker(); // the point-and-click marker over SelectedSquare
    void ClearSelection(); // hides the marker, no square selected
    void UpdateTitleFromCaption();
    void SavePgnDatabase();
    void ScheduleIdle();
    void ShowMessage(const QString& text);
    TUiDialogs* Dialogs() const;

    TProgramEnv& env_;
    TFrmChat* chat_ = nullptr;
    TFrmPartida* partida_ = nullptr;
    QPointer<TFrmConexion> conexion_;
    QWidget* central_ = nullptr;
    bool terminated_ = false;
    bool startupDone_ = false;
    bool idleScheduled_ = false;
    bool closed_ = false;
    // Counts the starts and ends of games: a handler that waited for the
    // user (the promotion question) learns whether its game is still the
    // one being played.
    int gameEpoch_ = 0;
};
