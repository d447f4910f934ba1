#pragma once
// The promotion chooser: a small window with the four pieces a pawn may
// become, shown before a promotion is played.
//
// What must stay true:
//  - it never waits: it is opened with open() and answers once, by chosen()
//    with the piece's lower-case letter ('q', 'r', 'b', 'n'), or by
//    cancelled() ("Cancelar", Escape or the window's close button);
//  - it knows nothing of the board or the game: its owner decides whether
//    an answer still counts.

#include <QDialog>

#include <functional>

class QPixmap;

class TPromotionChooser final : public QDialog {
    Q_OBJECT
public:
    // picture gives the image of a piece letter ("QRBN" for White, "qrbn" for Black).
    TPromotionChooser(bool white, const std::function<QPixmap(char)>& picture,
                      QWidget* parent = nullptr);

signals:
    void chosen(char letter);
    void cancelled();

private:
    char letter_ = 0;
};
