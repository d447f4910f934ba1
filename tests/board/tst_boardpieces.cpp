// The built-in pieces drawn from their outlines at the square size, a custom
// set still cut from its bitmap unscaled, and outline texts refused whole.
#include "BoardWidget.h"

#include <QtTest>

namespace {
// Pixels on the anti-aliased edge: about one per pixel of outline when drawn
// at the size, as many more as the magnification for a blown-up bitmap.
double EdgePerPixelOfSide(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) % 255 != 0;
    return n / double(img.width());
}
} // namespace

class TestBoardPieces : public QObject {
    Q_OBJECT
private slots:
    void sharpAtEverySize_data() {
        QTest::addColumn<int>("square");
        for (int square : {24, 60, 110})
            QTest::newRow(QByteArray::number(square).constData()) << square;
    }
    void sharpAtEverySize() {
        QFETCH(int, square);
        TChessModel bModel;
        TChessBrd b(bModel);
        b.SetSizeOfSquare(square);
        QCOMPARE(b.PieceImageSize(), square);
        TChessModel cutModel;
        TChessBrd cut(cutModel);
        cut.SetCustomPieceSet(TChessBrd::BuiltInPieceSet());
        const QImage bitmap = cut.PieceImage('q').toImage(); // the 40-pixel bitmap's queen
        for (char letter : QByteArray("PNBRQKpnbrqk")) {
            const QImage img = b.PieceImage(letter).toImage();
            QCOMPARE(img.size(), QSize(square, square));
            QVERIFY(qAlpha(img.pixel(0, 0)) == 0 && qAlpha(img.pixel(square / 2, square * 3 / 4)));
        }
        const double edge = EdgePerPixelOfSide(b.PieceImage('q').toImage());
        QVERIFY2(edge < 1.35 * EdgePerPixelOfSide(bitmap), qPrintable(QString::number(edge)));
        const QImage blown = bitmap.scaled(110, 110, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QVERIFY(EdgePerPixelOfSide(blown) > 2 * EdgePerPixelOfSide(bitmap)); // the measure works
    }

    // A custom set is cut from its bitmap and drawn unscaled, as before.
    void customSetIsNotScaled() {
        QImage custom(300, 200, QImage::Format_RGB32); // 50-pixel cells
        custom.fill(Qt::black);
        TChessModel bModel;
        TChessBrd b(bModel);
        b.SetSizeOfSquare(70);
        b.SetCustomPieceSet(custom);
        QVERIFY(!b.DrawsOutlines());
        QCOMPARE(b.PieceImage('K').size(), QSize(50, 50));
        b.SetCustomPieceSet(QImage()); // the built-in set again, at the square size
        QCOMPARE(b.PieceImage('K').size(), QSize(70, 70));
    }

    // Outlines that do not read leave the renderer as it was.
    void refusedOutlines() {
        TPieceRenderer r;
        QVERIFY(r.LoadBuiltIn());
        QString error;
        QVERIFY(!r.Parse("cell 10\npiece K\nlayer ffffff - 0 winding\nM 1 1 L 1e300 0\n", &error));
        QVERIFY(error.startsWith("line 4"));
        QVERIFY(!r.Parse(QByteArray("cell 9\npiece \0\n", 15)) && r.IsValid());
        QCOMPARE(r.Render(11, 16).size(), QSize(16, 16));
    }
};

QTEST_MAIN(TestBoardPieces)
#include "tst_boardpieces.moc"
