// zugaret-make-icons: the program's desktop icons, drawn from the built-in
// piece outlines (ui/images/setmorven.outlines): the white knight on a
// corner of the board, as a scalable SVG and as PNGs of the usual sizes.
//
//   zugaret-make-icons OUTLINES DIR
//
// writes DIR/zugaret.svg and DIR/zugaret-SIZE.png for 48, 64, 128 and 256.
#include "PieceRenderer.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr int kSizes[] = {48, 64, 128, 256};
const char* const kLight = "#f0d9b5";
const char* const kDark = "#b58863";
const char* const kFrame = "#4a3422";

// The knight's layers of the outlines text, as SVG paths in its 1000 unit cell.
QByteArray KnightPaths(const QByteArray& outlines, bool* ok) {
    QByteArray svg;
    bool inKnight = false;
    for (const QByteArray& raw : outlines.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("piece ")) {
            inKnight = line == "piece N";
            continue;
        }
        if (!inKnight || line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith("layer ")) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() < 5) break;
            if (!svg.isEmpty()) svg += "\"/>\n";
            svg += "    <path fill=\"#" + f[1] + "\" fill-rule=\"" +
                   (f[4] == "oddeven" ? "evenodd" : "nonzero") + "\"";
            if (f[3].toDouble() > 0)
                svg += " stroke=\"#" + f[2] + "\" stroke-width=\"" + f[3] +
                       "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"";
            svg += " d=\"";
        } else {
            svg += line + ' ';
        }
    }
    *ok = !svg.isEmpty();
    return svg + "\"/>\n";
}

QByteArray Svg(const QByteArray& knight) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 "
           "256 256\">\n"
           "  <clipPath id=\"frame\"><rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" "
           "rx=\"36\"/></clipPath>\n"
           "  <g clip-path=\"url(#frame)\">\n"
           "    <rect x=\"0\" y=\"0\" width=\"128\" height=\"128\" fill=\"" +
           QByteArray(kLight) +
           "\"/>\n"
           "    <rect x=\"128\" y=\"0\" width=\"128\" height=\"128\" fill=\"" +
           kDark +
           "\"/>\n"
           "    <rect x=\"0\" y=\"128\" width=\"128\" height=\"128\" fill=\"" +
           kDark +
           "\"/>\n"
           "    <rect x=\"128\" y=\"128\" width=\"128\" height=\"128\" fill=\"" +
           kLight +
           "\"/>\n"
           "  </g>\n"
           "  <rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"36\" fill=\"none\" "
           "stroke=\"" +
           kFrame +
           "\" stroke-width=\"6\"/>\n"
           "  <g transform=\"translate(28 28) scale(0.2)\">\n" +
           knight + "  </g>\n</svg>\n";
}

QImage Png(const TPieceRenderer& pieces, int side) {
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 256.0, side / 256.0);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(8, 8, 240, 240), 36, 36);
    p.setClipPath(frame);
    p.fillRect(QRectF(0, 0, 128, 128), QColor(kLight));
    p.fillRect(QRectF(128, 0, 128, 128), QColor(kDark));
    p.fillRect(QRectF(0, 128, 128, 128), QColor(kDark));
    p.fillRect(QRectF(128, 128, 128, 128), QColor(kLight));
    p.setClipping(false);
    p.setPen(QPen(QColor(kFrame), 6));
    p.drawPath(frame);
    p.resetTransform();
    // The knight drawn at its own size, not scaled from another.
    const int knight = side * 200 / 256;
    p.drawImage(QPoint(side * 28 / 256, side * 28 / 256), pieces.Render(1, knight));
    p.end();
    return img;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: zugaret-make-icons OUTLINES DIR\n", stderr);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zugaret-make-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray outlines = in.readAll();
    TPieceRenderer pieces;
    QString error;
    bool ok = false;
    const QByteArray knight = KnightPaths(outlines, &ok);
    if (!ok || !pieces.Parse(outlines, &error)) {
        std::fprintf(stderr, "zugaret-make-icons: bad outlines %s\n", qPrintable(error));
        return 1;
    }
    QFile svg(dir + "/zugaret.svg");
    if (!svg.open(QIODevice::WriteOnly) || svg.write(Svg(knight)) < 0) return 1;
    for (int side : kSizes)
        if (!Png(pieces, side).save(dir + QString("/zugaret-%1.png").arg(side))) return 1;
    return 0;
}
