// zugaret-make-pieces: draws the program's built-in pictures.
//
//   zugaret-make-pieces --images DIR [--icon FILE] [--preview FILE]
//
// DIR receives setmorven40.png (the piece set "SETMORVEN40": 240 x 160,
// 6 x 4 cells of 40 x 40: White pieces, their masks, Black pieces, their
// masks, each row pawn, knight, bishop, rook, queen, king), setmorven.outlines
// (the same twelve pieces as filled and outlined paths, from which the board
// draws the set at any square size), square-light.png and square-dark.png
// (tileable wood for the light and dark squares).
// --icon writes the 256 x 256 program icon (a knight on a square);
// --preview writes the piece set on a few backgrounds, magnified, to look at.
//
// The pieces are the chess glyphs U+2654..U+265F of DejaVu Sans, read from
// the font file itself so that no other font can stand in for it. A piece is
// drawn as a solid silhouette (the filled contours of the black glyph, holes
// included) with the glyph's detail lines over it. Each cell stores the
// piece's colour at full strength; its mask cell stores 255 - alpha, so a
// board that reads the mask as "black = piece, white = transparent" gets
// clean anti-aliased edges with no halo.
#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Cell = 40;
const char* const FontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Piece order of the set: pawn, knight, bishop, rook, queen, king.
constexpr std::array<char32_t, 6> WhiteGlyphs{0x2659, 0x2658, 0x2657, 0x2656, 0x2655, 0x2654};
constexpr std::array<char32_t, 6> BlackGlyphs{0x265F, 0x265E, 0x265D, 0x265C, 0x265B, 0x265A};

struct Glyphs {
    QRawFont font;
    QPainterPath path(char32_t cp) const {
        const QList<quint32> idx = font.glyphIndexesForString(QString::fromUcs4(&cp, 1));
        if (idx.isEmpty() || idx.first() == 0) {
            std::fprintf(stderr, "glyph U+%04X missing from %s\n", unsigned(cp), FontFile);
            std::exit(1);
        }
        return font.pathForGlyph(idx.first());
    }
};

// Every contour filled on its own: the glyph's outline with its holes closed.
QPainterPath Silhouette(const QPainterPath& glyph) {
    QPainterPath solid;
    solid.setFillRule(Qt::WindingFill);
    for (const QPolygonF& poly : glyph.toSubpathPolygons()) {
        QPainterPath one;
        one.addPolygon(poly);
        one.closeSubpath();
        solid = solid.united(one);
    }
    return solid;
}

// Maps glyph paths into a box of the given side: one scale for all six
// pieces (so their sizes keep the font's proportions), each centred
// horizontally and standing on a common base line.
struct Layout {
    double scale = 1;
    double baseline = 0; // y of the glyphs' bottom in the box
    double side = Cell;
    QTransform place(const QPainterPath& silhouette) const {
        const QRectF b = silhouette.boundingRect();
        QTransform t;
        t.translate(side / 2 - (b.center().x()) * scale, baseline - b.bottom() * scale);
        t.scale(scale, scale);
        return t;
    }
};

Layout MakeLayout(const Glyphs& g, double side, double kingHeight) {
    const QRectF king = Silhouette(g.path(BlackGlyphs[5])).boundingRect();
    Layout l;
    l.side = side;
    l.scale = kingHeight / king.height();
    l.baseline = (side + kingHeight) / 2.0; // the king sits centred; the others share its base
    return l;
}

// One piece as the layers it is painted from, in painting order: each layer
// fills its path and, when it has a stroke width, outlines it (round caps and
// joins). The bitmap and the outline file are both made from these layers.
struct Layer {
    QPainterPath path;
    QColor fill;
    QColor stroke;
    double width = 0;
};

std::vector<Layer> PieceLayers(const Glyphs& g, const Layout& l, int piece, bool white) {
    const double k = l.side / Cell; // line widths scale with the cell
    const QPainterPath blackGlyph = g.path(BlackGlyphs[piece]);
    const QPainterPath sil = Silhouette(blackGlyph);
    const QTransform t = l.place(sil);
    const QPainterPath silT = t.map(sil);
    if (white) {
        const QColor outline(0x1c, 0x1a, 0x18);
        // The outline glyph draws the piece's details in the same dark ink.
        return {{silT, QColor(0xfb, 0xf8, 0xf1), outline, 1.6 * k},
                {t.map(g.path(WhiteGlyphs[piece])), outline, QColor(), 0}};
    }
    // A light rim around a dark body: the piece reads on dark squares too.
    // The filled glyph in the body colour; its cut-outs show the rim colour as details.
    const QColor rim(0xe6, 0xe2, 0xda);
    return {{silT, rim, rim, 2.2 * k}, {t.map(blackGlyph), QColor(0x24, 0x22, 0x20), QColor(), 0}};
}

// One piece rendered with straight alpha into a side x side image.
QImage RenderPiece(const Glyphs& g, const Layout& l, int piece, bool white) {
    const int px = int(l.side);
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (const Layer& layer : PieceLayers(g, l, piece, white)) {
        if (layer.width > 0)
            p.setPen(QPen(layer.stroke, layer.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        else
            p.setPen(Qt::NoPen);
        p.setBrush(layer.fill);
        p.drawPath(layer.path);
    }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

// Colour cell (straight colour, white where nothing is drawn) and mask cell.
void StoreCell(QImage& set, int col, int row, const QImage& piece) {
    for (int y = 0; y < Cell; ++y)
        for (int x = 0; x < Cell; ++x) {
            const QRgb px = piece.pixel(x, y);
            const int a = qAlpha(px);
            const QRgb colour =
                a == 0 ? qRgb(255, 255, 255) : qRgb(qRed(px), qGreen(px), qBlue(px));
            set.setPixel(col * Cell + x, row * Cell + y, colour);
            const int m = 255 - a;
            set.setPixel(col * Cell + x, (row + 1) * Cell + y, qRgb(m, m, m));
        }
}

QImage MakePieceSet(const Glyphs& g) {
    const Layout l = MakeLayout(g, Cell, 34.0);
    QImage set(6 * Cell, 4 * Cell, QImage::Format_RGB32);
    set.fill(Qt::white);
    for (int piece = 0; piece < 6; ++piece) {
        StoreCell(set, piece, 0, RenderPiece(g, l, piece, true));
        StoreCell(set, piece, 2, RenderPiece(g, l, piece, false));
    }
    return set;
}

// ---- piece outlines: the same layers as text, for drawing the set at any size

constexpr int OutlineCell = 1000; // units per cell side in the outline file

QString Hex(const QColor& c) {
    return QString::asprintf("%02x%02x%02x", c.red(), c.green(), c.blue());
}

// One path as "M x y", "L x y" and "C x1 y1 x2 y2 x y" elements, one
// subpath per line, coordinates rounded to a tenth of a unit.
QString PathText(const QPainterPath& path) {
    QString out;
    auto num = [](double v) {
        QString t = QString::number(std::round(v * 10) / 10, 'f', 1);
        if (t.endsWith(QLatin1String(".0"))) t.chop(2);
        return t == QLatin1String("-0") ? QStringLiteral("0") : t;
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            if (i > 0) out += u'\n';
            out += "M " + num(e.x) + ' ' + num(e.y);
        } else if (e.isLineTo()) {
            out += " L " + num(e.x) + ' ' + num(e.y);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            out += " C " + num(e.x) + ' ' + num(e.y) + ' ' + num(c2.x) + ' ' + num(c2.y) + ' ' +
                   num(end.x) + ' ' + num(end.y);
            i += 2;
        }
    }
    return out + u'\n';
}

QByteArray MakeOutlines(const Glyphs& g) {
    const Layout l = MakeLayout(g, OutlineCell, OutlineCell * 34.0 / Cell);
    QString out =
        QStringLiteral(
            "# Outlines of the built-in piece set \"SETMORVEN40\", written by zugaret-make-pieces\n"
            "# from the chess glyphs of DejaVu Sans. A cell is %1 x %1 units, y downwards.\n"
            "# Each piece (\"PNBRQKpnbrqk\" order) lists its layers in painting order:\n"
            "# \"layer FILL STROKE WIDTH RULE\" fills the path below it with FILL and, when\n"
            "# WIDTH > 0, outlines it in STROKE (round caps and joins); RULE is winding or\n"
            "# oddeven. Paths: M x y (new subpath), L x y, C x1 y1 x2 y2 x y (cubic).\n")
            .arg(OutlineCell);
    out += QStringLiteral("cell %1\n").arg(OutlineCell);
    const char* letters = "PNBRQKpnbrqk";
    for (int i = 0; i < 12; ++i) {
        out += QStringLiteral("piece %1\n").arg(QLatin1Char(letters[i]));
        for (const Layer& layer : PieceLayers(g, l, i % 6, i < 6)) {
            out += "layer " + Hex(layer.fill) + ' ' +
                   (layer.width > 0 ? Hex(layer.stroke) : QStringLiteral("-")) + ' ' +
                   QString::number(layer.width, 'g', 4) + ' ' +
                   (layer.path.fillRule() == Qt::WindingFill ? "winding" : "oddeven") + '\n';
            out += PathText(layer.path);
        }
    }
    return out.toLatin1();
}

// ---- square textures: periodic value noise, so the tile repeats without seams

struct PeriodicNoise {
    int period; // lattice cells per tile side
    std::array<float, 64 * 64> lattice{};
    PeriodicNoise(int periodCells, unsigned seed) : period(periodCells) {
        unsigned s = seed;
        for (float& v : lattice) {
            s = s * 1664525u + 1013904223u;
            v = float((s >> 8) & 0xffff) / 65535.0f;
        }
    }
    float at(int i, int j) const {
        i = ((i % period) + period) % period;
        j = ((j % period) + period) % period;
        return lattice[j * 64 + i];
    }
    // u, v in tile units [0, 1)
    float sample(double u, double v) const {
        const double x = u * period, y = v * period;
        const int i = int(std::floor(x)), j = int(std::floor(y));
        const double fx = x - i, fy = y - j;
        const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
        const double a = at(i, j) + (at(i + 1, j) - at(i, j)) * sx;
        const double b = at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * sx;
        return float(a + (b - a) * sy);
    }
};

// Wood seen from above: long grain along x, bent by low-frequency noise,
// with fine fibres; contrast is the given fraction of the base colour.
QImage MakeWood(QColor base, double contrast, unsigned seed) {
    constexpr int T = 160;
    const PeriodicNoise warp(4, seed), warp2(8, seed + 7), fibre(32, seed + 13),
        fleck(64, seed + 29);
    QImage img(T, T, QImage::Format_RGB32);
    constexpr double Pi = 3.14159265358979323846;
    for (int y = 0; y < T; ++y)
        for (int x = 0; x < T; ++x) {
            const double u = double(x) / T, v = double(y) / T;
            const double w = 0.55 * warp.sample(u, v) + 0.25 * warp2.sample(u, v);
            const double rings = 0.5 + 0.5 * std::sin(2 * Pi * (7 * v + 1.6 * w));
            const double grain = std::pow(rings, 3.0);
            const double fib = fibre.sample(u * 0.25, v) - 0.5;
            const double fl = fleck.sample(u, v) - 0.5;
            const double f = 1.0 - contrast * (0.55 * grain + 0.35 * fib + 0.15 * fl);
            auto ch = [f](int c) { return std::clamp(int(std::lround(c * f)), 0, 255); };
            img.setPixel(x, y, qRgb(ch(base.red()), ch(base.green()), ch(base.blue())));
        }
    return img;
}

// ---- program icon: a knight on a board corner

QImage MakeIcon(const Glyphs& g) {
    constexpr int S = 256;
    QImage img(S, S, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(8, 8, S - 16, S - 16), 36, 36);
    p.setClipPath(frame);
    const QImage light = MakeWood(QColor(0xf0, 0xd9, 0xb5), 0.10, 11);
    const QImage dark = MakeWood(QColor(0xb5, 0x88, 0x63), 0.16, 23);
    const int h = S / 2;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            p.drawImage(QRect(c * h, r * h, h, h), (r + c) % 2 ? dark : light,
                        QRect(0, 0, 160, 160));
    p.setClipping(false);
    p.setPen(QPen(QColor(0x4a, 0x34, 0x22), 6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(frame);

    // The knight, drawn as the white piece at icon size with a soft shadow.
    const Layout l = MakeLayout(g, S, 200.0);
    QImage knight = RenderPiece(g, l, 1, true);
    QImage shadow = knight;
    {
        QPainter sp(&shadow);
        sp.setCompositionMode(QPainter::CompositionMode_SourceIn);
        sp.fillRect(shadow.rect(), QColor(0, 0, 0, 90));
    }
    p.drawImage(QPoint(6, 8), shadow);
    p.drawImage(QPoint(0, 0), knight);
    p.end();
    return img;
}

// The set over light, dark and mid backgrounds, magnified, to inspect the masks.
QImage MakePreview(const QImage& set) {
    const QColor backs[] = {QColor(0xf0, 0xd9, 0xb5), QColor(0xb5, 0x88, 0x63),
                            QColor(0x80, 0x80, 0x80), QColor(0x30, 0x30, 0x30)};
    constexpr int Z = 4;
    QImage out(6 * Cell * Z, 8 * Cell * Z, QImage::Format_RGB32);
    QPainter p(&out);
    for (int b = 0; b < 4; ++b)
        for (int colour = 0; colour < 2; ++colour) {
            const int row = b * 2 + colour;
            for (int j = 0; j < 6; ++j) {
                QImage piece(Cell, Cell, QImage::Format_ARGB32);
                for (int y = 0; y < Cell; ++y)
                    for (int x = 0; x < Cell; ++x) {
                        const QRgb c = set.pixel(j * Cell + x, colour * 2 * Cell + y);
                        const int a =
                            255 - qGray(set.pixel(j * Cell + x, (colour * 2 + 1) * Cell + y));
                        piece.setPixel(x, y, qRgba(qRed(c), qGreen(c), qBlue(c), a));
                    }
                QImage cell(Cell, Cell, QImage::Format_RGB32);
                cell.fill(backs[b]);
                QPainter cp(&cell);
                cp.drawImage(0, 0, piece);
                cp.end();
                p.drawImage(QRect(j * Cell * Z, row * Cell * Z, Cell * Z, Cell * Z), cell);
            }
        }
    return out;
}

bool SaveText(const QByteArray& text, const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("wrote %s (%lld bytes)\n", qPrintable(file), static_cast<long long>(text.size()));
    return true;
}

bool Save(const QImage& img, const QString& file) {
    if (!img.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", qPrintable(file), img.width(), img.height());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QCommandLineParser cl;
    cl.setApplicationDescription("Draws the built-in piece set, square textures and program icon.");
    cl.addHelpOption();
    cl.addOption(
        {"images",
         "Folder for setmorven40.png, setmorven.outlines, square-light.png, square-dark.png.",
         "dir"});
    cl.addOption({"icon", "File for the 256 x 256 program icon.", "file"});
    cl.addOption({"preview", "File for a magnified preview of the piece set.", "file"});
    cl.process(app);

    Glyphs g;
    g.font = QRawFont(QString::fromLatin1(FontFile), 100.0);
    if (!g.font.isValid()) {
        std::fprintf(stderr, "cannot read %s (Debian package fonts-dejavu-core)\n", FontFile);
        return 1;
    }
    // The outlines are flattened from a larger copy of the font, so that the
    // set stays smooth when it is drawn large.
    Glyphs fine;
    fine.font = QRawFont(QString::fromLatin1(FontFile), 1000.0);
    bool ok = true;
    const QImage set = MakePieceSet(g);
    if (cl.isSet("images")) {
        const QString dir = cl.value("images");
        ok &= Save(set, dir + "/setmorven40.png");
        ok &= SaveText(MakeOutlines(fine), dir + "/setmorven.outlines");
        ok &= Save(MakeWood(QColor(0xf0, 0xd9, 0xb5), 0.07, 11), dir + "/square-light.png");
        ok &= Save(MakeWood(QColor(0xb5, 0x88, 0x63), 0.12, 23), dir + "/square-dark.png");
    }
    if (cl.isSet("icon")) ok &= Save(MakeIcon(g), cl.value("icon"));
    if (cl.isSet("preview")) ok &= Save(MakePreview(set), cl.value("preview"));
    return ok ? 0 : 1;
}
