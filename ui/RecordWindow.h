#pragma once
// TFrmPartida: the record window ("Partida"), a small tool window beside the
// main window. It shows the record of the current game (FListaPNG, written by
// the main window move by move), the pieces captured so far (one column of
// small images: White's from the top, Black's from the bottom), and the
// commands to open, save, step and animate a game.
//
// What must stay true:
//  - the window cannot be closed by the user; it lives as long as the main
//    window, which owns it;
//  - bAtras, bAdelante and bAnimar are enabled only during a replay (the main
//    window's StartGame sets them);
//  - the caption holds the current move pair while a game is played; the main
//    window copies it into its own title.

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;
class QTimer;
class QToolButton;
class TFrmPrincipal;

class TFrmPartida : public QWidget {
    Q_OBJECT
public:
    explicit TFrmPartida(TFrmPrincipal& main, QWidget* parent = nullptr);

    // The game record, one line per full move ("1.Pe2e4 Pe7e5").
    QPlainTextEdit* FListaPNG = nullptr;
    QStringList Lines() const;
    void AddLine(const QString& line);
    void AppendToLastLine(const QString& text);
    void ClearRecord();

    QToolButton* bAbrir = nullptr;
    QToolButton* bGuardar = nullptr;
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
    // The fourteen images StartGame hides (pawns are never shown).
    QList<QLabel*> CapturedImages() const;

    // Replay: the moves of the opened game ("E2E4", "E7E8Q") and the number,
    // counted from 1, of the next one to play.
    QStringList ReplayMoves;
    int ReplayCursor = 1;

    void bAdelanteClick(bool byUser = true);
    void bAtrasClick(bool byUser = true);
    void bAnimarClick();
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* MakePieceImage(QChar glyph, bool white);

    TFrmPrincipal& Main;
};
