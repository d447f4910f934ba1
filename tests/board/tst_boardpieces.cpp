// The built-in pieces drawn from their outlines at the square size: image
// sizes, masks and sharp edges at several sizes, the likeness to the 40-pixel
// bitmap, a custom set still cut from its bitmap unscaled, and outline texts
// that are refused whole.
#include "BoardWidget.h"
#include "PieceRenderer.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Pixels partly covered by the piece: the width of its anti-aliased edge
// times the length of its outline.
int EdgePixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(img.pixel(x, y));
            n += a > 0 && a < 255;
        }
    return n;
}

} // namespace

class TestBoardPieces : public QObject {
    Q_OBJECT
private slots:
    void sharpAtEverySize_data();
    void sharpAtEverySize();
    void outlinesMatchTheBitmap();
    void customSetIsNotScaled();
    void refusedOutlines_data();
    void refusedOutlines();
};

void TestBoardPieces::sharpAtEverySize_data() {
    QTest::addColumn<int>("square");
    QTest::newRow("small squares") << 24;
    QTest::newRow("60-pixel squares") << 60;
    QTest::newRow("large squares") << 110;
}

// An image drawn at its size has an edge about one pixel wide whatever the
// size; a 40-pixel bitmap blown up has one as wide as the magnification.
void TestBoardPieces::sharpAtEverySize() {
    QFETCH(int, square);
    TChessBrd b;
    b.SetSizeOfSquare(square);
    QVERIFY(b.DrawsOutlines());
    QCOMPARE(b.PieceImageSize(), square);
    QCOMPARE(b.BuiltInPieceSet().size(), QSize(240, 160)); // what the board reports stays
    const QImage small = TChessBrd().PieceImage('q').toImage();
    for (char letter : QByteArray("PNBRQKpnbrqk")) {
        const QImage img = b.PieceImage(letter).toImage();
        QCOMPARE(img.size(), QSize(square, square));
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);                         // transparent corner
        QCOMPARE(qAlpha(img.pixel(square / 2, square * 3 / 4)), 255); // opaque body
    }
    const QImage queen = b.PieceImage('q').toImage();
    const double perLength = EdgePixels(queen) / double(square);
    const double smallPerLength = EdgePixels(small) / 40.0;
    QVERIFY2(perLength < 1.35 * smallPerLength, qPrintable(QString::number(perLength)));
    // The measure tells a blown-up copy apart (not for shrinking, where both are thin).
    if (square > 40) {
        const QImage blown =
            small.scaled(square, square, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(EdgePixels(blown) / double(square) > 1.5 * smallPerLength);
    }
    // Drawn where the squares are: an animated piece sets off and lands without an inset.
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    QSignalSpy steps(&b, &TChessBrd::animationStepped);
    QVERIFY(b.Move(Square::E2, Square::E3));
    QCOMPARE(steps.first().at(0).toPoint(), b.SquareToPoint(Square::E2));
    QCOMPARE(steps.last().at(0).toPoint(), b.SquareToPoint(Square::E3));
}

// Drawn at 40 pixels the outlines give the bitmap's pieces.
void TestBoardPieces::outlinesMatchTheBitmap() {
    TChessBrd b;
    b.SetCustomPieceSet(TChessBrd::BuiltInPieceSet()); // cut from the bitmap
    QVERIFY(!b.DrawsOutlines());
    TPieceRenderer r;
    QVERIFY(r.LoadBuiltIn());
    for (int i = 0; i < 12; ++i) {
        const QImage bitmap = b.PieceImage("PNBRQKpnbrqk"[i]).toImage();
        const QImage drawn = r.Render(i, 40).convertToFormat(QImage::Format_ARGB32);
        long long diff = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                diff += std::abs(qAlpha(bitmap.pixel(x, y)) - qAlpha(drawn.pixel(x, y))) +
                        std::abs(qGray(bitmap.pixel(x, y)) - qGray(drawn.pixel(x, y))) *
                            qAlpha(drawn.pixel(x, y)) / 255;
        QVERIFY2(diff / 1600.0 < 8.0, qPrintable(QStringLiteral("piece %1 differs").arg(i)));
    }
    // The cache keeps only the last few sizes.
    for (int side = 20; side < 30; ++side)
        QCOMPARE(r.Pieces(side)[5].width(), side);
    QCOMPARE(r.Pieces(29)[0].height(), 29);
}

void TestBoardPieces::customSetIsNotScaled() {
    QImage set(300, 200, QImage::Format_RGB32); // 50-pixel cells on 70-pixel squares
    set.fill(Qt::black);
    TChessBrd b;
    b.SetSizeOfSquare(70);
    b.SetCustomPieceSet(set);
    QVERIFY(!b.DrawsOutlines());
    QCOMPARE(b.PieceImageSize(), 50);
    QCOMPARE(b.PieceImage('K').size(), QSize(50, 50));
    b.SetSizeOfSquare(30);
    QCOMPARE(b.PieceImageSize(), 50);
    b.SetCustomPieceSet(QImage()); // the built-in set comes back at the square size
    QVERIFY(b.DrawsOutlines());
    QCOMPARE(b.PieceImage('K').size(), QSize(30, 30));
}

void TestBoardPieces::refusedOutlines_data() {
    QTest::addColumn<QByteArray>("text");
    QByteArray all = "cell 100\n";
    for (char c : QByteArray("PNBRQKpnbrqk"))
        all += QByteArray("piece ") + c + "\nlayer ffffff 000000 2 winding\nM 10 10 L 90 90\n";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("a piece missing") << QByteArray(all).replace("piece k", "piece x");
    QTest::newRow("a piece twice") << QByteArray(all).replace("piece k", "piece K");
    QTest::newRow("no cell") << QByteArray(all).replace("cell 100", "");
    QTest::newRow("line before move") << QByteArray(all).replace("M 10 10 L", "L 10 10 L");
    QTest::newRow("short curve") << all + "C 1 2 3\n";
    QTest::newRow("huge coordinate") << all + "M 1e300 0\n";
    QTest::newRow("not a number") << all + "M nan 0\n";
    QTest::newRow("bad colour") << QByteArray(all).replace("layer ffffff", "layer fffgff");
    QTest::newRow("bad rule") << QByteArray(all).replace("winding", "nonzero");
    QTest::newRow("NUL letter") << QByteArray(all).replace("piece q", QByteArray("piece \0", 7));
    QTest::newRow("valid") << all;
}

// A refused text leaves the renderer as it was; only the last row is taken.
void TestBoardPieces::refusedOutlines() {
    QFETCH(QByteArray, text);
    TPieceRenderer r;
    QString error;
    const bool valid = QByteArray(QTest::currentDataTag()) == "valid";
    QCOMPARE(r.Parse(text, &error), valid);
    QCOMPARE(r.IsValid(), valid);
    QCOMPARE(error.isEmpty(), valid);
    QVERIFY(r.LoadBuiltIn());
    QCOMPARE(r.Parse(text), valid);
    QVERIFY(r.IsValid());
    QCOMPARE(r.Render(0, 16).size(), QSize(16, 16));
}

QTEST_MAIN(TestBoardPieces)
#include "tst_boardpieces.moc"
