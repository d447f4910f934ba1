#include "BoardWidget.h"

#include <QApplication>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

// The pictures live in this static library; registering them by hand keeps
// the linker from dropping them.
static void InitBoardResources() {
    Q_INIT_RESOURCE(board);
}

namespace {

const char PieceLetters[] = "PNBRQKpnbrqk";

int PieceIndex(char letter) {
    if (letter == '\0') return -1;
    const char* p = std::strchr(PieceLetters, letter);
    return p ? int(p - PieceLetters) : -1;
}

QImage LoadResource(const char* name) {
    InitBoardResources();
    return QImage(QString::fromLatin1(name));
}

// Marks under the pieces: translucent, so that they read on both square
// colours and on any texture.
const QColor LastMoveTint(250, 210, 40, 110);
const QColor CheckTint(225, 25, 20);
const QColor DestinationMark(20, 85, 30, 125);

} // namespace

TChessBrd::TChessBrd(TChessModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    InitBoardResources();
    coordFont_ = QFont(QStringLiteral("Arial"));
    coordFont_.setPointSize(7);
    coordFont_.setStyleHint(QFont::SansSerif);
    lineStyle_ = QPen(QColor(0, 0, 0), 1, Qt::SolidLine);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(8 * sizeOfSquare_ + 2 * sizeOfBorder_, 8 * sizeOfSquare_ + 2 * sizeOfBorder_);
    outlines_.LoadBuiltIn(); // if it failed, the built-in bitmap is drawn as it is
    LoadPieceImages();
    model_.SetViewHooks(this);
}

TChessBrd::~TChessBrd() {
    // The model lives on: nothing of it may reach this view any more.
    destroying_ = true;
    model_.SetViewHooks(nullptr);
}

// ---------------------------------------------------------------- properties

void TChessBrd::SetBoardLines(bool on) {
    boardLines_ = on;
    update();
}

void TChessBrd::SetBorderBitmap(const QImage& bitmap) {
    borderBitmap_ = bitmap;
    borderTile_ = bitmap.isNull() ? QPixmap() : QPixmap::fromImage(bitmap);
    update();
}

void TChessBrd::SetBorderColor(const QColor& colour) {
    borderColor_ = colour;
    update();
}

void TChessBrd::SetCoordFont(const QFont& font) {
    coordFont_ = font;
    update();
}

void TChessBrd::SetCoordFontColor(const QColor& colour) {
    coordColor_ = colour;
    update();
}

void TChessBrd::SetCustomPieceSet(const QImage& bitmap) {
    if (!bitmap.isNull() && !IsValidPieceSet(bitmap)) return; // the previous set stays
    customPieceSet_ = bitmap;
    LoadPieceImages();
    update();
}

void TChessBrd::SetDisplayCoords(CoordSet sides) {
    displayCoords_ = sides;
    update();
}

void TChessBrd::SetLineStyle(const QPen& pen) {
    lineStyle_ = pen;
    update();
}

void TChessBrd::SetResizeMinSize(int size) {
    resizeMinSize_ = std::min(size, resizeMaxSize_);
}

void TChessBrd::SetResizeMaxSize(int size) {
    resizeMaxSize_ = std::max(size, resizeMinSize_);
}

void TChessBrd::SetSizeOfBorder(int pixels) {
    sizeOfBorder_ = std::max(0, pixels);
    const int side = 8 * sizeOfSquare_ + 2 * sizeOfBorder_;
    resize(side, side);
    updateGeometry();
    update();
}

void TChessBrd::SetSizeOfSquare(int pixels) {
    sizeOfSquare_ = std::max(1, pixels);
    FollowSquareSize();
    const int side = 8 * sizeOfSquare_ + 2 * sizeOfBorder_;
    resize(side, side);
    updateGeometry();
    update();
}

void TChessBrd::SetNoMover(bool on) {
    noMover_ = on;
    // A drag begun while the user could move must not play once he no longer may.
    if (on && (dragShown_ || pressed_)) CancelDrag();
    SyncHighlights();
}

void TChessBrd::SetSquareColorDark(const QColor& colour) {
    squareColorDark_ = colour;
    update();
}

void TChessBrd::SetSquareColorLight(const QColor& colour) {
    squareColorLight_ = colour;
    update();
}

void TChessBrd::SetSquareDark(const QImage& bitmap) {
    squareDark_ = bitmap;
    darkTile_ = bitmap.isNull() ? QPixmap() : QPixmap::fromImage(bitmap);
    update();
}

void TChessBrd::SetSquareLight(const QImage& bitmap) {
    squareLight_ = bitmap;
    lightTile_ = bitmap.isNull() ? QPixmap() : QPixmap::fromImage(bitmap);
    update();
}

void TChessBrd::SetWhiteOnTop(bool on) {
    whiteOnTop_ = on;
    update();
}

void TChessBrd::SetHighlightLastMove(bool on) {
    highlightLastMove_ = on;
    SyncHighlights();
}

void TChessBrd::SetHighlightCheck(bool on) {
    highlightCheck_ = on;
    SyncHighlights();
}

void TChessBrd::SetShowLegalDestinations(bool on) {
    showLegalDestinations_ = on;
    SyncHighlights();
}

void TChessBrd::SetSelectedSquare(Square s) {
    selectedSquare_ = IsOnBoard(s) ? s : Square::None;
    SyncHighlights();
}

// ---------------------------------------------------------------- pictures

bool TChessBrd::IsValidPieceSet(const QImage& bitmap) {
    return !bitmap.isNull() && bitmap.width() * 2 == bitmap.height() * 3 && bitmap.height() >= 4;
}

QImage TChessBrd::BuiltInPieceSet() {
    return LoadResource(":/chess/SETMORVEN40");
}
QImage TChessBrd::BuiltInSquareLight() {
    return LoadResource(":/chess/square-light");
}
QImage TChessBrd::BuiltInSquareDark() {
    return LoadResource(":/chess/square-dark");
}

void TChessBrd::LoadPieceImages() {
    outlinesInUse_ = false;
    if (IsValidPieceSet(customPieceSet_)) {
        CutPieceSet(customPieceSet_);
    } else if (outlines_.IsValid()) {
        outlinesInUse_ = true;
        pieceImages_ = outlines_.Pieces(sizeOfSquare_);
        pieceImageSize_ = sizeOfSquare_;
    } else {
        CutPieceSet(BuiltInPieceSet());
    }
}

void TChessBrd::FollowSquareSize() {
    if (outlinesInUse_ && pieceImageSize_ != sizeOfSquare_) LoadPieceImages();
}

void TChessBrd::CutPieceSet(const QImage& bitmap) {
    for (QPixmap& image : pieceImages_)
        image = QPixmap();
    if (!IsValidPieceSet(bitmap)) return;
    const QImage set = bitmap.convertToFormat(QImage::Format_RGB32);
    const int c = set.height() / 4;
    pieceImageSize_ = c;
    // Row 2r holds the pieces of colour r, row 2r + 1 their masks: black is
    // the piece, white is transparent, greys are partly covered edges.
    for (int r = 0; r < 2; ++r)
        for (int j = 0; j < 6; ++j) {
            QImage image(c, c, QImage::Format_ARGB32);
            for (int y = 0; y < c; ++y) {
                const QRgb* colour =
                    reinterpret_cast<const QRgb*>(set.constScanLine(2 * r * c + y));
                const QRgb* mask =
                    reinterpret_cast<const QRgb*>(set.constScanLine((2 * r + 1) * c + y));
                QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < c; ++x) {
                    const QRgb px = colour[j * c + x];
                    const int alpha = 255 - qGray(mask[j * c + x]);
                    out[x] = qRgba(qRed(px), qGreen(px), qBlue(px), alpha);
                }
            }
            pieceImages_[r * 6 + j] = QPixmap::fromImage(image);
        }
}

QPixmap TChessBrd::PieceImage(char letter) const {
    const int i = PieceIndex(letter);
    return i < 0 ? QPixmap() : pieceImages_[i];
}

// ---------------------------------------------------------------- geometry

Square TChessBrd::SquareAtPoint(int X, int Y) const {
    const int S = sizeOfSquare_;
    const int x = X - sizeOfBorder_, y = Y - sizeOfBorder_;
    if (x < 0 || y < 0 || x >= 8 * S || y >= 8 * S) return Square::None;
    int column = std::min(x / S, 7), row = std::min(y / S, 7);
    if (whiteOnTop_) column = 7 - column, row = 7 - row;
    return ToSquare(row * 8 + column + 1);
}

QPoint TChessBrd::SquareToPoint(Square s) const {
    int column = FileOf(s) - 1, row = 8 - RankOf(s);
    if (whiteOnTop_) column = 8 - FileOf(s), row = RankOf(s) - 1;
    return QPoint(column * sizeOfSquare_ + sizeOfBorder_, row * sizeOfSquare_ + sizeOfBorder_);
}

QRect TChessBrd::SquareRect(Square s) const {
    return QRect(SquareToPoint(s), QSize(sizeOfSquare_, sizeOfSquare_));
}

QRect TChessBrd::PieceRect(Square s) const {
    const int inset = (sizeOfSquare_ - pieceImageSize_) / 2;
    return QRect(SquareToPoint(s) + QPoint(inset, inset), QSize(pieceImageSize_, pieceImageSize_));
}

QRect TChessBrd::PlayingArea() const {
    return QRect(sizeOfBorder_, sizeOfBorder_, 8 * sizeOfSquare_, 8 * sizeOfSquare_);
}

QRect TChessBrd::FloatingRect() const {
    return QRect(floatPos_, floatImage_.size());
}

void TChessBrd::KeepSquare() {
    const int B = sizeOfBorder_;
    // A control smaller than its two borders still gets squares of one pixel.
    const int S = std::max(1, (((width() + height()) / 2) - 2 * B) / 8);
    sizeOfSquare_ = S;
    FollowSquareSize();
    const int side = 8 * S + 2 * B;
    if (width() != side || height() != side) {
        resize(side, side);
        updateGeometry();
    }
}

// ---------------------------------------------------------------- drawing

void TChessBrd::Paint() {
    KeepSquare();
    update();
}

void TChessBrd::DrawSquare(Square s) {
    if (!IsOnBoard(s)) return;
    erased_.reset(Ord(s));
    update(SquareRect(s).united(PieceRect(s)));
}

void TChessBrd::paintEvent(QPaintEvent*) {
    emit model_.OnPaint();
    SyncHighlights();
    painting_ = true;
    QPainter p(this);
    PaintBorder(p);
    PaintSquares(p);
    for (int i = 1; i <= 64; ++i) {
        const Square s = ToSquare(i);
        const char letter = model_.PieceAt(s);
        if (letter == ' ' || erased_.test(i) || (dragShown_ && s == model_.DragSource()) ||
            (animating_ && s == animatedTo_))
            continue;
        DrawPiece(p, s, letter);
    }
    if ((dragShown_ || animating_) && !floatImage_.isNull()) p.drawPixmap(floatPos_, floatImage_);
    p.end();
    painting_ = false;
}

void TChessBrd::FillTiled(QPainter& p, const QRect& r, const QPixmap& tile, const QColor& colour) {
    if (tile.isNull() || tile.width() == 0 || tile.height() == 0) {
        p.fillRect(r, colour);
        return;
    }
    // Tiles start at the control's top-left corner whatever the rectangle.
    p.drawTiledPixmap(r, tile, QPoint(r.x() % tile.width(), r.y() % tile.height()));
}

void TChessBrd::PaintBorder(QPainter& p) {
    p.save();
    const int B = sizeOfBorder_, S = sizeOfSquare_, W = width(), H = height();
    p.setClipRegion(QRegion(rect()).subtracted(QRegion(PlayingArea())));
    FillTiled(p, rect(), borderTile_, borderColor_);

    if (displayCoords_ != 0) {
        p.setFont(coordFont_);
        p.setPen(coordColor_);
        p.setBackgroundMode(Qt::TransparentMode);
        const QFontMetrics fm = p.fontMetrics();
        const int fontSize =
            coordFont_.pointSize() > 0 ? coordFont_.pointSize() : coordFont_.pixelSize();
        const int a = ((B - fontSize) / 2) + 1;
        const int centre = (S - fontSize) / 2;
        const int q = fm.height() / 4;
        const char* letters = whiteOnTop_ ? "HGFEDCBA" : "ABCDEFGH";
        // Text is placed by its top-left corner.
        auto text = [&](int x, int y, const QString& t) { p.drawText(x, y + fm.ascent(), t); };
        for (int i = 0; i < 8; ++i) {
            const QString number = QString::number(whiteOnTop_ ? i + 1 : 8 - i);
            const QString letter = QString(QLatin1Char(letters[i]));
            if (displayCoords_ & West) text(a, i * S + B + centre, number);
            if (displayCoords_ & East) text(W - B + a, i * S + B + centre, number);
            if (displayCoords_ & North) text(i * S + B + centre, a - q, letter);
            if (displayCoords_ & South) text(i * S + B + centre, H - B + a - q, letter);
        }
    }

    p.setPen(lineStyle_);
    p.setBrush(Qt::NoBrush);
    const QPoint outer[] = {{0, 0}, {W - 1, 0}, {W - 1, W - 1}, {0, W - 1}, {0, 0}};
    p.drawPolyline(outer, 5);
    const QPoint inner[] = {
        {B - 1, B - 1}, {W - B, B - 1}, {W - B, W - B}, {B - 1, W - B}, {B - 1, B - 1}};
    p.drawPolyline(inner, 5);
    p.restore();
}

void TChessBrd::PaintSquares(QPainter& p) {
    p.save();
    p.setClipRect(PlayingArea());
    for (int i = 1; i <= 64; ++i)
        DrawSquare(p, ToSquare(i));
    PaintHighlights(p);
    PaintGridLines(p);
    p.restore();
}

TChessBrd::THighlights TChessBrd::Highlights() const {
    THighlights h;
    if (highlightLastMove_) {
        h.lastFrom = model_.LastMoveFrom();
        h.lastTo = model_.LastMoveTo();
    }
    if (highlightCheck_)
        for (int colour : {0, 1}) {
            const char king = colour == 1 ? 'K' : 'k';
            for (int i = 1; i <= 64; ++i)
                if (model_.PieceAt(ToSquare(i)) == king) {
                    // The first king of a colour is the one the rules look at.
                    if (model_.KingAttackedAfter(colour, ToSquare(i), ToSquare(i)))
                        h.checked.set(i);
                    break;
                }
        }
    const Square source = dragShown_ ? model_.DragSource() : selectedSquare_;
    if (showLegalDestinations_ && IsOnBoard(source) && !noMover_ && !model_.Thinking())
        for (int i = 1; i <= 64; ++i)
            if (ToSquare(i) != source && model_.IsLegalMove(source, ToSquare(i)))
                h.destinations.set(i);
    return h;
}

void TChessBrd::SyncHighlights() {
    const THighlights now = Highlights();
    if (now == shownHighlights_) return;
    QRegion changed;
    auto mark = [&](Square s) {
        if (IsOnBoard(s)) changed += SquareRect(s);
    };
    const THighlights& was = shownHighlights_;
    if (now.lastFrom != was.lastFrom || now.lastTo != was.lastTo)
        mark(was.lastFrom), mark(was.lastTo), mark(now.lastFrom), mark(now.lastTo);
    const std::bitset<65> differ =
        (now.checked ^ was.checked) | (now.destinations ^ was.destinations);
    for (int i = 1; i <= 64; ++i)
        if (differ.test(i)) mark(ToSquare(i));
    shownHighlights_ = now;
    update(changed);
}

void TChessBrd::PaintHighlights(QPainter& p) {
    const THighlights& h = shownHighlights_;
    const int S = sizeOfSquare_;
    p.save();
    p.setPen(Qt::NoPen);
    p.setRenderHint(QPainter::Antialiasing);
    for (Square s : {h.lastFrom, h.lastTo})
        if (IsOnBoard(s)) p.fillRect(SquareRect(s), LastMoveTint);
    for (int i = 1; i <= 64; ++i) {
        const Square s = ToSquare(i);
        const QRectF r = SquareRect(s);
        if (h.checked.test(i)) {
            // Strongest round the king's foot, fading before the corners.
            QRadialGradient glow(r.center(), S * 0.7);
            QColor c = CheckTint;
            c.setAlpha(215);
            glow.setColorAt(0.0, c);
            c.setAlpha(140);
            glow.setColorAt(0.45, c);
            c.setAlpha(0);
            glow.setColorAt(1.0, c);
            p.fillRect(r, glow);
        }
        if (!h.destinations.test(i)) continue;
        p.setBrush(DestinationMark);
        if (model_.PieceAt(s) == ' ') {
            const qreal radius = std::max(2.0, S * 0.15);
            p.drawEllipse(r.center(), radius, radius);
        } else {
            // A piece to take: a triangle in each corner, seen around the piece.
            const qreal leg = std::max(3.0, S * 0.27);
            const QPointF corners[4] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
            for (int c = 0; c < 4; ++c) {
                const QPointF at = corners[c];
                const qreal dx = c == 0 || c == 3 ? leg : -leg, dy = c < 2 ? leg : -leg;
                const QPointF tri[3] = {at, at + QPointF(dx, 0), at + QPointF(0, dy)};
                p.drawPolygon(tri, 3);
            }
        }
    }
    p.restore();
}

void TChessBrd::DrawSquare(QPainter& p, Square s) {
    if (IsLightSquare(s))
        FillTiled(p, SquareRect(s), lightTile_, squareColorLight_);
    else
        FillTiled(p, SquareRect(s), darkTile_, squareColorDark_);
}

void TChessBrd::DrawPiece(QPainter& p, Square s, char letter) {
    const QPixmap image = PieceImage(letter);
    if (!image.isNull()) p.drawPixmap(PieceRect(s).topLeft(), image);
}

void TChessBrd::PaintGridLines(QPainter& p) {
    if (!boardLines_) return;
    p.save();
    p.setPen(QPen(lineStyle_.color(), 1));
    const int S = sizeOfSquare_, ox = sizeOfBorder_, oy = sizeOfBorder_;
    for (int i = 1; i <= 7; ++i) {
        p.drawLine(i * S + ox, oy, i * S + ox, height() - oy);
        p.drawLine(ox, i * S + oy, width() - ox, i * S + oy);
    }
    p.restore();
}
