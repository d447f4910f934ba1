#pragma once
// TPieceRenderer: the built-in piece set drawn from its outlines at any size.
//
// The outlines (ui/images/setmorven.outlines, written by zugaret-make-pieces
// from the same layers as the bitmap "SETMORVEN40") are a short text: a cell
// size, then for each piece letter its layers in painting order, each a
// filled path with an optional outline of a given width. The board draws the
// set at its square size from them, so the pieces stay sharp when the squares
// grow or shrink; the 240 x 160 bitmap stays the set the board reports.
//
// What must stay true:
//  - Parse takes bytes and either reads all twelve pieces or changes nothing:
//    a malformed or hostile text gives false and a reason, never a partial set;
//  - an image of side n is n x n pixels, transparent where no piece is, and
//    drawn from the outlines at that size (never a scaled copy of another size);
//  - the cache keeps the few sizes drawn last, so resizing never grows it;
//  - no global state: each board owns its renderer.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QString>

#include <array>
#include <vector>

class TPieceRenderer {
public:
    // The twelve pieces in the order "PNBRQKpnbrqk".
    using TPieceImages = std::array<QPixmap, 12>;

    // Reads the built-in outlines compiled into the program.
    bool LoadBuiltIn(QString* error = nullptr);
    // Reads outlines from text; on failure the renderer keeps what it had.
    bool Parse(const QByteArray& text, QString* error = nullptr);
    bool IsValid() const { return valid_; }

    // The piece of index 0..11 drawn into a side x side image (side at least 1);
    // a null image for another index or when no outlines are loaded.
    QImage Render(int index, int side) const;
    // All twelve at side x side, drawn once per size and kept for the last few sizes.
    const TPieceImages& Pieces(int side);

    static constexpr int CachedSizes = 4;

private:
    struct TLayer {
        QPainterPath path;
        QColor fill;
        QColor stroke; // invalid: no outline
        qreal width = 0;
    };
    struct TOutlineReader;

    bool valid_ = false;
    qreal cell_ = 1;
    std::array<std::vector<TLayer>, 12> pieces_;
    std::vector<std::pair<int, TPieceImages>> cache_; // most recently used first
    TPieceImages none_;
};
