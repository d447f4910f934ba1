#pragma once
// TChessBrd: the chess board widget. It draws the rules keeper (TChessModel)
// it is given, which its callers use directly; it draws the board (border with coordinates,
// light and dark squares from colours or tiled bitmaps, optional grid lines,
// pieces from a piece-set bitmap), lets the user move pieces by drag and
// drop, animates moves made by other means, flips (WhiteOnTop) and resizes
// by its lower-right corner. The built-in set is drawn from its outlines at
// the square size (TPieceRenderer); a user's set is drawn as its bitmap cells.
// Under the pieces it tints the last move's squares and a king in check, and
// marks where the dragged or point-and-click-selected piece may go.
//
// What must stay true:
//  - the rules decide, the view only draws and forwards: every move the user
//    drops goes through the model's Move(), and every square is painted from the
//    model's state (plus the view's own "erased" marks while a move is on
//    its way and the floating piece of a drag or an animation);
//  - SquareAtPoint() and SquareToPoint() use the same origin and square
//    size as the drawing, so a pixel maps to the square drawn under it;
//  - the control stays square: 8 x SizeOfSquare + 2 x SizeOfBorder wide and high;
//  - the piece-set properties report bitmaps: BuiltInPieceSet() stays the
//    240 x 160 "SETMORVEN40" and CustomPieceSet() the user's bitmap, whose
//    cells are drawn unscaled; only the built-in set's drawing follows the
//    square size;
//  - the marks under the pieces (last move, check, destinations) are worked
//    out from the model at each paint, so they can never lag behind a move,
//    a take-back or a new position, however the model was changed;
//  - the board is its model's view from its construction to its end, and
//    never outlives the model;
//  - the model's signals (a move's events) are its host's to connect to;
//    the board connects to none of them, since the model behaves
//    differently when OnMate or OnDraw has no listener; it raises the
//    model's OnPaint at the start of every paint;
//  - no global state: several boards live side by side in one process.

#include "ChessModel.h"
#include "PieceRenderer.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <array>
#include <bitset>
#include <functional>
#include <utility>
#include <vector>

class QVariantAnimation;
class TChessBrd;

// Events of the view: the board comes first, as Sender.
using TBrdNotifyEvent = std::function<void(TChessBrd* Sender)>;
using TOneSquareEvent = std::function<void(TChessBrd* Sender, Square square)>;
using TBrdMouseEvent = std::function<void(TChessBrd* Sender, Qt::MouseButton Button,
                                          Qt::KeyboardModifiers Shift, int X, int Y)>;
using TBrdMouseMoveEvent = std::function<void(TChessBrd* Sender, Qt::MouseButtons Buttons,
                                              Qt::KeyboardModifiers Shift, int X, int Y)>;

class TChessBrd : public QWidget, private TBoardViewHooks {
    Q_OBJECT

public:
    // Draws model, which must outlive the board (the board is its view
    // until the board goes).
    explicit TChessBrd(TChessModel& model, QWidget* parent = nullptr);
    ~TChessBrd() override;

    TChessBrd(const TChessBrd&) = delete;
    TChessBrd& operator=(const TChessBrd&) = delete;

    // The rules keeper this board draws.
    TChessModel& Model() const { return model_; }

    // ---- view properties (defaults in brackets) ----
    bool AnimateMoves() const { return animateMoves_; } // [true]
    void SetAnimateMoves(bool on) { animateMoves_ = on; }
    bool BoardLines() const { return boardLines_; } // [false]
    void SetBoardLines(bool on);
    QImage BorderBitmap() const { return borderBitmap_; } // [empty] tiled over the border
    void SetBorderBitmap(const QImage& bitmap);
    QColor BorderColor() const { return borderColor_; } // [black] when BorderBitmap is empty
    void SetBorderColor(const QColor& colour);
    QFont CoordFont() const { return coordFont_; } // ["Arial", 7 points]
    void SetCoordFont(const QFont& font);
    QColor CoordFontColor() const { return coordColor_; } // [white]
    void SetCoordFontColor(const QColor& colour);
    // The user's piece set, empty when the built-in set is used.
    QImage CustomPieceSet() const { return customPieceSet_; }
    // A non-empty image that is not a valid set is ignored; an empty one
    // brings the built-in set back.
    void SetCustomPieceSet(const QImage& bitmap);
    CoordSet DisplayCoords() const { return displayCoords_; } // [none] West|North|East|South
    void SetDisplayCoords(CoordSet sides);
    QPen LineStyle() const { return lineStyle_; } // [solid black, 1 pixel] frames and grid
    void SetLineStyle(const QPen& pen);
    bool Resizable() const { return resizable_; } // [false]
    void SetResizable(bool on) { resizable_ = on; }
    int ResizeMinSize() const { return resizeMinSize_; } // [100]
    void SetResizeMinSize(int size);
    int ResizeMaxSize() const { return resizeMaxSize_; } // [1000]
    void SetResizeMaxSize(int size);
    int SizeOfBorder() const { return sizeOfBorder_; } // [24]
    void SetSizeOfBorder(int pixels);
    int SizeOfSquare() const { return sizeOfSquare_; } // [40]
    void SetSizeOfSquare(int pixels);
    QColor SquareColorDark() const { return squareColorDark_; } // [grey 808080]
    void SetSquareColorDark(const QColor& colour);
    QColor SquareColorLight() const { return squareColorLight_; } // [silver C0C0C0]
    void SetSquareColorLight(const QColor& colour);
    QImage SquareDark() const { return squareDark_; } // [empty] tiled over the dark squares
    void SetSquareDark(const QImage& bitmap);
    QImage SquareLight() const { return squareLight_; } // [empty] tiled over the light squares
    void SetSquareLight(const QImage& bitmap);
    bool WhiteOnTop() const { return whiteOnTop_; } // [false]
    void SetWhiteOnTop(bool on);
    bool NoMover() const { return noMover_; } // [false] the user may not press or drag
    // Setting it also ends a drag under way, without a move and without OnIllegalMove.
    void SetNoMover(bool on);

    // ---- marks under the pieces (defaults in brackets) ----
    // [true] Tints the two squares of the move that reached the position.
    bool HighlightLastMove() const { return highlightLastMove_; }
    void SetHighlightLastMove(bool on);
    // [true] Tints the square of a king that is attacked.
    bool HighlightCheck() const { return highlightCheck_; }
    void SetHighlightCheck(bool on);
    // [true] While a piece is dragged, or selected by point-and-click, marks
    // the squares it may move to now: a dot on an empty square, corner marks
    // on a piece it would take. Nothing while the engine thinks or NoMover is on.
    bool ShowLegalDestinations() const { return showLegalDestinations_; }
    void SetShowLegalDestinations(bool on);
    // The square point-and-click has selected; None clears it. Only marks:
    // moving is still the host's business.
    Square SelectedSquare() const { return selectedSquare_; }
    void SetSelectedSquare(Square s);

    // What the marks show for the board as it stands now.
    struct THighlights {
        Square lastFrom = Square::None, lastTo = Square::None;
        std::bitset<65> checked;      // squares of kings that are attacked
        std::bitset<65> destinations; // where the dragged or selected piece may go
        bool operator==(const THighlights&) const = default;
    };
    THighlights Highlights() const;

    // ---- geometry ----
    // The square under a control pixel, None outside the playing area.
    Square SquareAtPoint(int X, int Y) const;
    // Top-left pixel of a square in control coordinates.
    QPoint SquareToPoint(Square s) const;
    QPoint BoardOrigin() const { return QPoint(sizeOfBorder_, sizeOfBorder_); }
    // Side of the piece images: a custom set's cell, else the square size.
    int PieceImageSize() const { return pieceImageSize_; }

    // ---- drawing ----
    // Full repaint; first makes the control square again from its current
    // width and height (SizeOfSquare is recomputed).
    void Paint();
    // Repaint one square with its content.
    void DrawSquare(Square s);
    // Rebuild the piece images from CustomPieceSet when valid, else draw the
    // built-in set at the square size (its bitmap if the outlines are missing).
    void LoadPieceImages();
    // The image of a piece letter ("PNBRQKpnbrqk") as it is drawn now; a null
    // pixmap for anything else.
    QPixmap PieceImage(char letter) const;
    // The built-in set is drawn from its outlines (not from its bitmap).
    bool DrawsOutlines() const { return outlinesInUse_; }

    // width x 2 = height x 3, and cells of at least one pixel.
    static bool IsValidPieceSet(const QImage& bitmap);
    // Pictures compiled into the program: the piece set "SETMORVEN40"
    // (240 x 160) and the light and dark square textures.
    static QImage BuiltInPieceSet();
    static QImage BuiltInSquareLight();
    static QImage BuiltInSquareDark();

    // ---- drag, drop and animation state ----
    bool IsDragging() const { return dragShown_; }
    bool IsAnimating() const { return animating_; }

    QSize sizeHint() const override { return size(); }

    // ---- events of the view ----
    TOneSquareEvent OnIllegalMove; // a drag ended without an accepted drop: its source square
    TBrdMouseEvent OnMouseDown;
    TBrdMouseMoveEvent OnMouseMove;
    TBrdMouseEvent OnMouseUp;
    TBrdNotifyEvent OnClick;
    TBrdNotifyEvent OnDblClick;

    // A move of the local user (a drop, a click): played at once, or, for a
    // promotion, once its piece has been chosen (promotionChoiceNeeded).
    // False when the move is refused.
    bool UserMove(Square from, Square to);
    // The answer to promotionChoiceNeeded: the piece's letter ("qrbn"), or 0
    // when the choice was cancelled. The move is played only if the board
    // still stands as it did at the drop and the user may still move; else
    // (and after a cancel) the pawn simply stays where it was.
    void AnswerPromotion(char letter);
    bool PromotionChoiceOpen() const { return IsOnBoard(promotion_.From); }

signals:
    // One frame of an animated move: the floating piece's top-left in
    // control coordinates, from the start square's to the target's, the move
    // having been made before the first.
    void animationStepped(QPoint topLeft);
    // The user dropped a pawn on its last rank: nothing is played until the
    // piece is chosen (AnswerPromotion). Without a receiver the board plays
    // the move at once with PromotionLetter.
    void promotionChoiceNeeded(Square from, Square to);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

    // Painting primitives, run inside paintEvent.
    void PaintBorder(QPainter& p);
    void PaintSquares(QPainter& p);
    void DrawSquare(QPainter& p, Square s);
    void DrawPiece(QPainter& p, Square s, char letter);
    void PaintGridLines(QPainter& p);
    void PaintHighlights(QPainter& p);

private:
    // TBoardViewHooks: what the model asks of its view.
    void RepaintSquare(Square s) override;
    void EraseSquare(Square s) override;
    void RepaintAll() override;
    void PaintGridLines() override;
    bool AnimateMovesEnabled() const override { return animateMoves_; }
    void AnimateMove(Square from, Square to) override;

    // Makes the control square from its width and height; SizeOfSquare follows.
    void KeepSquare();
    // Redraws the built-in pieces when the square size changed.
    void FollowSquareSize();
    void CutPieceSet(const QImage& set);
    // Compares the marks with those last drawn and repaints the squares that differ.
    void SyncHighlights();
    // The move animation's frames, and its end (also when cut short).
    void StepAnimation(int step);
    void FinishAnimation();
    static constexpr int AnimationMsPerPixel = 1;
    static constexpr int AnimationShortestMs = 80, AnimationLongestMs = 300;
    QRect SquareRect(Square s) const;
    QRect PieceRect(Square s) const; // where a piece of s is drawn (may overflow a small square)
    QRect PlayingArea() const;
    QRect FloatingRect() const;
    void FillTiled(QPainter& p, const QRect& r, const QPixmap& tile, const QColor& colour);
    // The drop rule: the engine is not thinking and the target is the
    // source square or a legal move from it.
    bool DropAccepted(Square target) const;
    void StartDrag(const QPoint& pos);
    void MoveDrag(const QPoint& pos);
    void EndDragDisplay();
    void FinishDrag(const QPoint& pos); // a drop: a move, or OnIllegalMove
    void AbandonDrag();                 // ends a drag without a drop: OnIllegalMove
    void CancelDrag();                  // ends a drag silently

    TChessModel& model_;

    // view properties
    bool animateMoves_ = true;
    bool boardLines_ = false;
    QImage borderBitmap_;
    QPixmap borderTile_;
    QColor borderColor_{0, 0, 0};
    QFont coordFont_;
    QColor coordColor_{255, 255, 255};
    QImage customPieceSet_;
    CoordSet displayCoords_ = 0;
    QPen lineStyle_;
    bool resizable_ = false;
    int resizeMinSize_ = 100;
    int resizeMaxSize_ = 1000;
    int sizeOfBorder_ = 24;
    int sizeOfSquare_ = 40;
    QColor squareColorDark_{128, 128, 128};
    QColor squareColorLight_{192, 192, 192};
    QImage squareDark_, squareLight_;
    QPixmap darkTile_, lightTile_;
    bool whiteOnTop_ = false;
    bool noMover_ = false;

    // piece images: "PNBRQKpnbrqk" order
    std::array<QPixmap, 12> pieceImages_;
    int pieceImageSize_ = 40;
    TPieceRenderer outlines_;
    bool outlinesInUse_ = false;

    // marks under the pieces
    bool highlightLastMove_ = true;
    bool highlightCheck_ = true;
    bool showLegalDestinations_ = true;
    Square selectedSquare_ = Square::None;
    THighlights shownHighlights_; // as last drawn

    // view state
    std::bitset<65> erased_; // squares drawn empty while their piece is on its way
    bool pressed_ = false;   // a press on a piece; no drag began yet
    Square pressSquare_ = Square::None;
    QPoint pressPos_;
    bool clickCandidate_ = false; // a left press that may still become a click
    bool dragShown_ = false;      // a drag is running; its image floats at floatPos_
    // A move shown travelling after it was made: its piece floats along
    // animationPath_ instead of standing on animatedTo_.
    bool animating_ = false;
    Square animatedTo_ = Square::None;
    int animationStep_ = -1; // the frame shown, an index of animationPath_
    std::vector<QPoint> animationPath_;
    QVariantAnimation* animation_ = nullptr;
    QPixmap floatImage_;
    QPoint floatPos_; // top-left of the floating image
    bool resizing_ = false;
    bool cursorSaved_ = false;
    QCursor savedCursor_;
    bool painting_ = false;
    bool destroying_ = false;
    // A promotion dropped by the user, waiting for its piece.
    struct TPendingPromotion {
        Square From = Square::None, To = Square::None;
        QString Position;
        bool WhiteToMove = true;
        int MoveNumber = 0;
    } promotion_;
    int eventDepth_ = 0;
};
