#pragma once
// TFrmPartida: the record window ("Partida"), a small tool window beside the
// main window and a view over a program's game controller. It shows the record of
// the current game (FListaPNG), the pieces captured so far (one column of
// small images: White's from the top, Black's from the bottom), and the
// commands to open, save, export, step and animate a game. The Left and
// Right arrow keys step a replay back and forward.
//
// What must stay true:
//  - the memo and the captured pieces show the controller's record and
//    captured pieces as last announced, whatever record replaced the shown
//    one;
//  - the window cannot be closed by the user; it lives as long as the main
//    window, which owns it, and goes when its program goes;
//  - bAtras, bAdelante and bAnimar are enabled only during a replay;
//  - the caption holds the current move pair while a game is played.

#include "RecordFiles.h"

#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;
class QTimer;
class QToolButton;
class TGameController;
class THeadlessProgram;

class TFrmPartida : public QWidget {
    Q_OBJECT
public:
    // pieceImage gives the picture of a piece letter ("QRNBP", "qrnbp") for
    // the captured pieces, or a null pixmap for a drawn glyph.
    TFrmPartida(THeadlessProgram& program, std::function<QPixmap(char)> pieceImage,
                QWidget* parent = nullptr);
    ~TFrmPartida() override;

    // The record as shown, one line per full move ("1.Pe2e4 Pe7e5").
    QStringList Lines() const;
    // The names of the captured-piece images shown ("B_D", "N_T_1" ...).
    QStringList VisibleCapturedImages() const;

    void bAbrirClick();
    void bGuardarClick();
    void bExportarClick();
    void bAdelanteClick(bool byUser = true);
    void bAtrasClick(bool byUser = true);
    void bAnimarClick();
    void Timer1Timer();
    // Stops the animation of a replay, if it runs.
    void StopAnimation();
    // During a replay, Left steps back and Right forward, as the buttons
    // do; true when the key was used. The main window routes the board's
    // keys here.
    bool ReplayKeyPress(int key);

signals:
    // Raised by the window's help button.
    void OnHelp();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, in this order.
    void BuildControls();
    void BuildLayout();
    void BindGame();
    QLabel* MakePieceImage(QChar glyph, bool white, const QString& name);
    void ShowRecord();
    void ShowCaptured();
    void GameStarted();

    TGameController& game_;
    std::function<QPixmap(char)> pieceImage_;
    TRecordFiles files_;
    QStringList shown_; // the record lines the memo holds

    QPlainTextEdit* FListaPNG = nullptr;
    QToolButton* bAbrir = nullptr;
    QToolButton* bGuardar = nullptr;
    QToolButton* bExportar = nullptr; // "Exportar PGN"
    QToolButton* bAtras = nullptr;
    QToolButton* bAdelante = nullptr;
    QToolButton* bAnimar = nullptr;      // toggle: stays down while animating
    QToolButton* SpeedButton1 = nullptr; // about message
    QCheckBox* chAuto = nullptr;         // "Autoguardar PGN"
    QSpinBox* SpinEdit1 = nullptr;       // milliseconds between animation steps
    QTimer* Timer1 = nullptr;            // animation clock, 700 ms, stopped

    // Captured-piece images (D queen, T rook, C knight, A bishop, P pawn).
    QLabel *B_D, *B_T_1, *B_T_2, *B_C_1, *B_C_2, *B_A_1, *B_A_2, *B_P;
    QLabel *N_D, *N_T_1, *N_T_2, *N_C_1, *N_C_2, *N_A_1, *N_A_2, *N_P;
};
