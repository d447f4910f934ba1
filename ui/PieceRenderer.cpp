#include "PieceRenderer.h"

#include <QFile>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

static void InitPieceOutlines() {
    Q_INIT_RESOURCE(board);
}

namespace {

const char PieceLetters[] = "PNBRQKpnbrqk";
constexpr qsizetype MaxOutlineBytes = 8 * 1024 * 1024;

bool ReadColour(const QByteArray& token, QColor& colour) {
    if (token.size() != 6) return false;
    bool ok = false;
    const uint rgb = token.toUInt(&ok, 16);
    if (!ok) return false;
    colour = QColor::fromRgb(QRgb(rgb | 0xff000000u));
    return true;
}

bool ReadNumber(const QByteArray& token, qreal low, qreal high, qreal& value) {
    bool ok = false;
    value = token.toDouble(&ok);
    return ok && std::isfinite(value) && value >= low && value <= high;
}

} // namespace

bool TPieceRenderer::LoadBuiltIn(QString* error) {
    InitPieceOutlines();
    QFile file(QStringLiteral(":/chess/SETMORVEN-outlines"));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("the built-in piece outlines are missing");
        return false;
    }
    return Parse(file.readAll(), error);
}

// The outline text read line by line into a set of pieces. Each step gives
// the reason a line is wrong, or null; the pieces are only complete once
// Missing() gives null.
struct TPieceRenderer::TOutlineReader {
    qreal cell = 0;
    std::array<std::vector<TLayer>, 12> pieces;
    std::array<bool, 12> seen{};
    int piece = -1;
    TLayer* layer = nullptr;
    bool subpathOpen = false;

    const char* Read(const QList<QByteArray>& t) {
        const QByteArray& word = t.first();
        if (word == "cell") return Cell(t);
        if (word == "piece") return Piece(t);
        if (word == "layer") return Layer(t);
        return Path(t);
    }

    const char* Cell(const QList<QByteArray>& t) {
        if (cell > 0 || t.size() != 2 || !ReadNumber(t[1], 1, 100000, cell))
            return "expected one \"cell\" line with a size from 1 to 100000";
        return nullptr;
    }

    const char* Piece(const QList<QByteArray>& t) {
        const char* at = t.size() == 2 && t[1].size() == 1 && t[1][0] != '\0'
                             ? std::strchr(PieceLetters, t[1][0])
                             : nullptr;
        if (cell <= 0) return "\"piece\" before \"cell\"";
        if (!at) return "expected a piece letter of PNBRQKpnbrqk";
        piece = int(at - PieceLetters);
        if (seen[piece]) return "a piece is given twice";
        seen[piece] = true;
        layer = nullptr;
        return nullptr;
    }

    const char* Layer(const QList<QByteArray>& t) {
        if (piece < 0) return "\"layer\" outside a piece";
        TLayer next;
        const bool rule = t.size() == 5 && (t[4] == "winding" || t[4] == "oddeven");
        if (!rule || !ReadColour(t[1], next.fill) ||
            (t[2] != "-" && !ReadColour(t[2], next.stroke)) ||
            !ReadNumber(t[3], 0, cell, next.width))
            return "expected \"layer FILL STROKE WIDTH winding|oddeven\"";
        if (t[2] == "-") next.width = 0;
        next.path.setFillRule(t[4] == "winding" ? Qt::WindingFill : Qt::OddEvenFill);
        pieces[piece].push_back(std::move(next));
        layer = &pieces[piece].back();
        subpathOpen = false;
        return nullptr;
    }

    // A line of path commands: M x y, L x y, C x1 y1 x2 y2 x y.
    const char* Path(const QList<QByteArray>& t) {
        if (!layer) return "a path outside a layer";
        // Coordinates may reach a little past the cell (outlines stick out).
        const qreal low = -cell, high = 2 * cell;
        for (qsizetype i = 0; i < t.size();) {
            const QByteArray& op = t[i];
            const int count = op == "M" || op == "L" ? 2 : op == "C" ? 6 : 0;
            if (count == 0) return "expected M, L or C";
            if (i + count >= t.size()) return "too few coordinates";
            qreal v[6];
            for (int k = 0; k < count; ++k)
                if (!ReadNumber(t[i + 1 + k], low, high, v[k]))
                    return "a coordinate is not a number within range";
            if (const char* why = Draw(op, v)) return why;
            i += 1 + count;
        }
        return nullptr;
    }

    const char* Draw(const QByteArray& op, const qreal (&v)[6]) {
        if (op == "M") {
            layer->path.moveTo(v[0], v[1]);
            subpathOpen = true;
        } else if (!subpathOpen) {
            return "a path must start with M";
        } else if (op == "L") {
            layer->path.lineTo(v[0], v[1]);
        } else {
            layer->path.cubicTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        }
        return nullptr;
    }

    const char* Missing() const {
        for (int i = 0; i < 12; ++i)
            if (!seen[i] || pieces[i].empty()) return "a piece or its layers are missing";
        return nullptr;
    }
};

bool TPieceRenderer::Parse(const QByteArray& text, QString* error) {
    int lineNo = 0;
    auto fail = [&](const char* why) {
        if (error) *error = QStringLiteral("line %1: %2").arg(lineNo).arg(QLatin1String(why));
        return false;
    };
    if (text.size() > MaxOutlineBytes) return fail("the text is too long");

    TOutlineReader reader;
    for (const QByteArray& rawLine : text.split('\n')) {
        ++lineNo;
        const QByteArray line = rawLine.simplified();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (const char* why = reader.Read(line.split(' '))) return fail(why);
    }
    lineNo = 0;
    if (const char* why = reader.Missing()) return fail(why);

    pieces_ = std::move(reader.pieces);
    cell_ = reader.cell;
    valid_ = true;
    cache_.clear();
    if (error) error->clear();
    return true;
}

QImage TPieceRenderer::Render(int index, int side) const {
    if (!valid_ || index < 0 || index >= 12) return QImage();
    side = std::max(1, side);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / cell_, side / cell_);
    for (const TLayer& layer : pieces_[index]) {
        if (layer.width > 0)
            p.setPen(QPen(layer.stroke, layer.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        else
            p.setPen(Qt::NoPen);
        p.setBrush(layer.fill);
        p.drawPath(layer.path);
    }
    p.end();
    return image;
}

const TPieceRenderer::TPieceImages& TPieceRenderer::Pieces(int side) {
    if (!valid_) return none_;
    side = std::max(1, side);
    for (std::size_t i = 0; i < cache_.size(); ++i)
        if (cache_[i].first == side) {
            if (i > 0) std::rotate(cache_.begin(), cache_.begin() + i, cache_.begin() + i + 1);
            return cache_.front().second;
        }
    TPieceImages images;
    for (int i = 0; i < 12; ++i)
        images[i] = QPixmap::fromImage(Render(i, side));
    if (cache_.size() >= CachedSizes) cache_.pop_back();
    cache_.insert(cache_.begin(), {side, std::move(images)});
    return cache_.front().second;
}
