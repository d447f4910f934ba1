// The board's drawing and geometry: pixel/square mapping both ways, the
// control kept square, piece-set acceptance, and the pixels of a grabbed
// image. Set ZUGARET_BOARD_PNG to a file name to save a rendered board.
#include "BoardWidget.h"

#include <QPainter>
#include <QtTest>

namespace {

// Mean colour of a small block of pixels.
QColor Mean(const QImage& img, const QRect& r) {
    long long red = 0, green = 0, blue = 0, n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb px = img.pixel(x, y);
            red += qRed(px), green += qGreen(px), blue += qBlue(px), ++n;
        }
    return QColor(int(red / n), int(green / n), int(blue / n));
}

// Pixels of a square's inner block that differ from the square's fill.
int PixelsUnlike(const QImage& img, const QRect& square, const QColor& fill) {
    int n = 0;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x)
            if (img.pixel(x, y) != fill.rgb()) ++n;
    return n;
}

QRect SquareRectOf(const TChessBrd& b, Square s) {
    return QRect(b.SquareToPoint(s), QSize(b.SizeOfSquare(), b.SizeOfSquare()));
}

QImage PieceSetOf(int width, int height) {
    QImage set(width, height, QImage::Format_RGB32);
    set.fill(Qt::white);
    return set;
}

} // namespace

class TestBoardView : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void squareAtPoint_data();
    void squareAtPoint();
    void roundTripEverySquare();
    void keepsItselfSquare_data();
    void keepsItselfSquare();
    void propertySizes();
    void pieceSetAcceptance_data();
    void pieceSetAcceptance();
    void builtInPictures();
    void renderedSquaresAndPieces();
    void renderedAfterMoveAndFlip();
    void coordinatesAndFrame();
    void labelCellsOnEachSide_data();
    void labelCellsOnEachSide();
    void tiledSquares();
    void saveScreenshot();
};

void TestBoardView::defaults() {
    TChessModel bModel;
    TChessBrd b(bModel);
    QCOMPARE(b.size(), QSize(368, 368));
    QCOMPARE(b.SizeOfSquare(), 40);
    QCOMPARE(b.SizeOfBorder(), 24);
    QVERIFY(b.AnimateMoves());
    QVERIFY(!b.BoardLines());
    QVERIFY(b.BorderBitmap().isNull());
    QCOMPARE(b.BorderColor(), QColor(0, 0, 0));
    QCOMPARE(b.CoordFont().family(), QStringLiteral("Arial"));
    QCOMPARE(b.CoordFont().pointSize(), 7);
    QCOMPARE(b.CoordFontColor(), QColor(255, 255, 255));
    QVERIFY(b.CustomPieceSet().isNull());
    QCOMPARE(b.DisplayCoords(), CoordSet(0));
    QCOMPARE(b.LineStyle().color(), QColor(0, 0, 0));
    QCOMPARE(b.LineStyle().width(), 1);
    QCOMPARE(b.LineStyle().style(), Qt::SolidLine);
    QVERIFY(!b.Resizable());
    QCOMPARE(b.ResizeMinSize(), 100);
    QCOMPARE(b.ResizeMaxSize(), 1000);
    QCOMPARE(b.SquareColorDark(), QColor(128, 128, 128));
    QCOMPARE(b.SquareColorLight(), QColor(192, 192, 192));
    QVERIFY(b.SquareDark().isNull() && b.SquareLight().isNull());
    QVERIFY(!b.WhiteOnTop());
    QVERIFY(!b.NoMover());
    QCOMPARE(b.PieceImageSize(), 40);
    QCOMPARE(bModel.Position(), QString::fromLatin1(TChessModel::InitialPosition));

    // The resize bounds never cross.
    b.SetResizeMaxSize(50);
    QCOMPARE(b.ResizeMaxSize(), 100);
    b.SetResizeMinSize(2000);
    QCOMPARE(b.ResizeMinSize(), 100);
}

void TestBoardView::squareAtPoint_data() {
    QTest::addColumn<bool>("whiteOnTop");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<Square>("square");
    QTest::newRow("a8 corner") << false << 24 << 24 << Square::A8;
    QTest::newRow("h1 corner") << false << 343 << 343 << Square::H1;
    QTest::newRow("west border") << false << 23 << 100 << Square::None;
    QTest::newRow("east border") << false << 344 << 100 << Square::None;
    QTest::newRow("north border") << false << 100 << 23 << Square::None;
    QTest::newRow("south border") << false << 100 << 344 << Square::None;
    QTest::newRow("a8 last pixel") << false << 63 << 63 << Square::A8;
    QTest::newRow("b7 first pixel") << false << 64 << 64 << Square::B7;
    QTest::newRow("e4") << false << 24 + 4 * 40 + 5 << 24 + 4 * 40 + 5 << Square::E4;
    QTest::newRow("flipped h1 at top-left") << true << 24 << 24 << Square::H1;
    QTest::newRow("flipped a8 at bottom-right") << true << 343 << 343 << Square::A8;
    QTest::newRow("flipped a1 at top-right") << true << 343 << 24 << Square::A1;
    QTest::newRow("flipped border") << true << 344 << 24 << Square::None;
    QTest::newRow("flipped d5") << true << 24 + 4 * 40 << 24 + 4 * 40 << Square::D5;
}

void TestBoardView::squareAtPoint() {
    QFETCH(bool, whiteOnTop);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(Square, square);
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetWhiteOnTop(whiteOnTop);
    QCOMPARE(b.SquareAtPoint(x, y), square);
}

void TestBoardView::roundTripEverySquare() {
    for (bool flipped : {false, true}) {
        TChessModel bModel;
        TChessBrd b(bModel);
        b.SetSizeOfBorder(15);
        b.SetSizeOfSquare(37);
        b.SetWhiteOnTop(flipped);
        for (int i = 1; i <= 64; ++i) {
            const Square s = ToSquare(i);
            const QPoint p = b.SquareToPoint(s);
            QCOMPARE(b.SquareAtPoint(p.x(), p.y()), s);
            QCOMPARE(b.SquareAtPoint(p.x() + 36, p.y() + 36), s);
            // The pixel before the corner belongs to the neighbour or the border.
            QVERIFY(b.SquareAtPoint(p.x() - 1, p.y()) != s);
            QVERIFY(b.SquareAtPoint(p.x(), p.y() - 1) != s);
        }
        QCOMPARE(b.SquareToPoint(flipped ? Square::H1 : Square::A8), QPoint(15, 15));
        QCOMPARE(b.SquareToPoint(flipped ? Square::A8 : Square::H1),
                 QPoint(15 + 7 * 37, 15 + 7 * 37));
    }
}

void TestBoardView::keepsItselfSquare_data() {
    QTest::addColumn<int>("border");
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<int>("square");
    QTest::addColumn<int>("side");
    QTest::newRow("334 x 334, border 15") << 15 << QSize(334, 334) << 38 << 334;
    QTest::newRow("400 x 334, border 15") << 15 << QSize(400, 334) << 42 << 366;
    QTest::newRow("defaults") << 24 << QSize(368, 368) << 40 << 368;
    QTest::newRow("not a multiple") << 24 << QSize(375, 375) << 40 << 368;
    // Too small for the borders: squares of one pixel rather than none.
    QTest::newRow("smaller than the borders") << 24 << QSize(30, 30) << 1 << 56;
}

void TestBoardView::keepsItselfSquare() {
    QFETCH(int, border);
    QFETCH(QSize, requested);
    QFETCH(int, square);
    QFETCH(int, side);
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetSizeOfBorder(border);
    b.show();
    b.resize(requested);
    QCOMPARE(b.SizeOfSquare(), square);
    QCOMPARE(b.size(), QSize(side, side));
    // The mapping follows the new square size.
    QCOMPARE(b.SquareToPoint(Square::H1), QPoint(border + 7 * square, border + 7 * square));
}

void TestBoardView::propertySizes() {
    TChessModel bModel;
    TChessBrd b(bModel);
    b.show();
    b.SetSizeOfSquare(50);
    QCOMPARE(b.SizeOfSquare(), 50);
    QCOMPARE(b.size(), QSize(448, 448));
    b.SetSizeOfBorder(10);
    QCOMPARE(b.BoardOrigin(), QPoint(10, 10));
    QCOMPARE(b.SizeOfSquare(), 50);
    QCOMPARE(b.size(), QSize(420, 420));
    b.Paint();
    QCOMPARE(b.SizeOfSquare(), 50);
}

void TestBoardView::pieceSetAcceptance_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("cell");
    QTest::newRow("300 x 200") << QSize(300, 200) << true << 50;
    QTest::newRow("240 x 160") << QSize(240, 160) << true << 40;
    QTest::newRow("240 x 240") << QSize(240, 240) << false << 40;
    QTest::newRow("160 x 240") << QSize(160, 240) << false << 40;
    QTest::newRow("no cell at all") << QSize(3, 2) << false << 40;
}

void TestBoardView::pieceSetAcceptance() {
    QFETCH(QSize, size);
    QFETCH(bool, accepted);
    QFETCH(int, cell);
    TChessModel bModel;
    TChessBrd b(bModel);
    QCOMPARE(TChessBrd::IsValidPieceSet(PieceSetOf(size.width(), size.height())), accepted);
    b.SetCustomPieceSet(PieceSetOf(size.width(), size.height()));
    QCOMPARE(b.CustomPieceSet().isNull(), !accepted);
    QCOMPARE(b.PieceImageSize(), cell);
    QCOMPARE(b.PieceImage('q').width(), cell);

    // A refused set leaves the previous one in place; no set at all brings the built-in set back.
    b.SetCustomPieceSet(PieceSetOf(300, 200));
    b.SetCustomPieceSet(PieceSetOf(240, 240));
    QCOMPARE(b.CustomPieceSet().size(), QSize(300, 200));
    QCOMPARE(b.PieceImageSize(), 50);
    b.SetCustomPieceSet(QImage());
    QVERIFY(b.CustomPieceSet().isNull());
    QCOMPARE(b.PieceImageSize(), 40);
}

void TestBoardView::builtInPictures() {
    const QImage set = TChessBrd::BuiltInPieceSet();
    QCOMPARE(set.size(), QSize(240, 160));
    QVERIFY(TChessBrd::IsValidPieceSet(set));
    QVERIFY(!TChessBrd::BuiltInSquareLight().isNull());
    QVERIFY(!TChessBrd::BuiltInSquareDark().isNull());

    TChessModel bModel;

    TChessBrd b(bModel);
    // Masks: the cell's corner is transparent, the piece's middle opaque, for all twelve pieces.
    for (char letter : QByteArray("PNBRQKpnbrqk")) {
        const QImage img = b.PieceImage(letter).toImage();
        QCOMPARE(img.size(), QSize(40, 40));
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(img.pixel(20, 30)), 255);
    }
    // White pieces are light inside, Black ones dark.
    QVERIFY(qGray(b.PieceImage('R').toImage().pixel(20, 22)) > 200);
    QVERIFY(qGray(b.PieceImage('r').toImage().pixel(20, 22)) < 60);
    QVERIFY(b.PieceImage('x').isNull());
    QVERIFY(b.PieceImage(' ').isNull());

    // A custom set's mask decides what is drawn: black marks the piece.
    QImage custom(300, 200, QImage::Format_RGB32);
    custom.fill(Qt::white);
    QPainter p(&custom);
    p.fillRect(QRect(50, 0, 50, 50), QColor(200, 0, 0)); // White knight, red
    p.fillRect(QRect(60, 60, 30, 30), Qt::black);        // its mask: a 30 x 30 block
    p.end();
    b.SetCustomPieceSet(custom);
    const QImage knight = b.PieceImage('N').toImage();
    QCOMPARE(qAlpha(knight.pixel(5, 5)), 0);
    QCOMPARE(knight.pixel(25, 25), qRgb(200, 0, 0));
}

void TestBoardView::renderedSquaresAndPieces() {
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetAnimateMoves(false);
    const QImage img = b.grab().toImage();
    QCOMPARE(img.size(), QSize(368, 368));
    // An empty light square and an empty dark one.
    QVERIFY(IsLightSquare(Square::E4) && !IsLightSquare(Square::D4));
    QCOMPARE(Mean(img, SquareRectOf(b, Square::E4)), QColor(192, 192, 192));
    QCOMPARE(Mean(img, SquareRectOf(b, Square::D4)), QColor(128, 128, 128));
    // Pieces stand on their squares, centred: the Black king on e8 mostly dark,
    // the White queen on d1 white inside a dark outline, the squares' corners untouched.
    const QRect e8 = SquareRectOf(b, Square::E8), d1 = SquareRectOf(b, Square::D1);
    auto count = [&img](const QRect& r, auto test) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += test(qGray(img.pixel(x, y)));
        return n;
    };
    QVERIFY(count(e8, [](int g) { return g < 60; }) > 300);
    QVERIFY(count(d1, [](int g) { return g > 230; }) > 60);
    QVERIFY(count(d1, [](int g) { return g < 60; }) > 100);
    QVERIFY(qGray(img.pixel(e8.center())) < 80);
    // Centred: as much piece left of the middle as right of it.
    const int left = count(QRect(e8.left(), e8.top(), 20, 40), [](int g) { return g < 60; });
    const int right = count(QRect(e8.left() + 20, e8.top(), 20, 40), [](int g) { return g < 60; });
    QVERIFY2(std::abs(left - right) < (left + right) / 10, "king not centred");
    QCOMPARE(QColor(img.pixel(e8.topLeft())), QColor(192, 192, 192)); // e8 is light
    QCOMPARE(QColor(img.pixel(d1.topLeft())), QColor(192, 192, 192)); // d1 is light
    // The border is black.
    QCOMPARE(QColor(img.pixel(5, 5)), QColor(0, 0, 0));
}

void TestBoardView::renderedAfterMoveAndFlip() {
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetAnimateMoves(false);
    b.SetHighlightLastMove(false); // plain squares: the tint has its own tests
    QVERIFY(bModel.Move(Square::G1, Square::F3));
    QImage img = b.grab().toImage();
    // Nothing is left on the square the knight left; the knight stands on f3.
    QCOMPARE(PixelsUnlike(img, SquareRectOf(b, Square::G1), QColor(128, 128, 128)), 0);
    QVERIFY(PixelsUnlike(img, SquareRectOf(b, Square::F3), QColor(128, 128, 128)) > 200);

    b.SetWhiteOnTop(true);
    img = b.grab().toImage();
    QCOMPARE(b.SquareToPoint(Square::H1), QPoint(24, 24));
    QCOMPARE(PixelsUnlike(img, SquareRectOf(b, Square::G1), QColor(128, 128, 128)), 0);
    QVERIFY(PixelsUnlike(img, SquareRectOf(b, Square::F3), QColor(128, 128, 128)) > 200);
    // The top-left square is light flipped or not (h1 is light).
    QCOMPARE(QColor(img.pixel(25, 25)), QColor(192, 192, 192));
}

void TestBoardView::coordinatesAndFrame() {
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetBorderColor(QColor(0, 0, 80));
    b.SetLineStyle(QPen(QColor(255, 0, 0), 1));
    QImage img = b.grab().toImage();
    // Outer frame on the control's edge, inner frame just outside the squares.
    QCOMPARE(QColor(img.pixel(0, 100)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(367, 100)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(100, 367)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(23, 100)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(344, 100)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(100, 23)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(10, 100)), QColor(0, 0, 80));
    const QRect westOfRank8(1, 24, 21, 40), northOfFileA(24, 1, 40, 21);
    QCOMPARE(PixelsUnlike(img, westOfRank8, QColor(0, 0, 80)), 0); // no labels by default

    b.SetDisplayCoords(West | North | East | South);
    img = b.grab().toImage();
    // Each label is drawn inside its side's border strip, level with its square.
    for (const QRect& strip :
         {westOfRank8, northOfFileA, QRect(345, 24, 21, 40), QRect(24, 345, 40, 21)})
        QVERIFY2(PixelsUnlike(img, strip, QColor(0, 0, 80)) > 5, "label missing");
    // Between two labels the border stays plain.
    QCOMPARE(PixelsUnlike(img, QRect(1, 62, 21, 4), QColor(0, 0, 80)), 0);

    // Grid lines: seven lines each way in the line colour.
    b.SetBoardLines(true);
    img = b.grab().toImage();
    QCOMPARE(QColor(img.pixel(24 + 40, 200)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(200, 24 + 7 * 40)), QColor(255, 0, 0));
    QVERIFY(QColor(img.pixel(24 + 41, 200)) != QColor(255, 0, 0));

    // Flipped, the labels run the other way: the top West label is the
    // unflipped bottom one ("1"), the first North label the unflipped last ("H").
    b.SetBoardLines(false);
    const QImage plain = b.grab().toImage();
    b.SetWhiteOnTop(true);
    const QImage flipped = b.grab().toImage();
    const QRect westTop(1, 24, 22, 40), westBottom(1, 24 + 7 * 40, 22, 40);
    const QRect northFirst(24, 1, 40, 22), northLast(24 + 7 * 40, 1, 40, 22);
    QCOMPARE(flipped.copy(westTop), plain.copy(westBottom));
    QCOMPARE(flipped.copy(westBottom), plain.copy(westTop));
    QCOMPARE(flipped.copy(northFirst), plain.copy(northLast));
    QVERIFY(flipped.copy(westTop) != plain.copy(westTop));
}

void TestBoardView::labelCellsOnEachSide_data() {
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("border");
    QTest::addColumn<int>("square");
    QTest::newRow("West") << int(West) << 24 << 40;
    QTest::newRow("North") << int(North) << 24 << 40;
    QTest::newRow("East") << int(East) << 24 << 40;
    QTest::newRow("South") << int(South) << 24 << 40;
    QTest::newRow("West, border 30, square 50") << int(West) << 30 << 50;
    QTest::newRow("North, border 30, square 50") << int(North) << 30 << 50;
    QTest::newRow("East, border 30, square 50") << int(East) << 30 << 50;
    QTest::newRow("South, border 30, square 50") << int(South) << 30 << 50;
}

// Each side's labels, and only that side's, stand in their text cells: the
// cell's top-left is given by a = (B - font size) div 2 + 1, centre =
// (S - font size) div 2 and q = text height div 4.
void TestBoardView::labelCellsOnEachSide() {
    QFETCH(int, side);
    QFETCH(int, border);
    QFETCH(int, square);
    const QColor fill(0, 0, 80);
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetSizeOfBorder(border);
    b.SetSizeOfSquare(square);
    b.SetBorderColor(fill);
    b.SetLineStyle(QPen(fill, 1)); // frames vanish into the border
    b.SetDisplayCoords(CoordSet(side));
    const QImage img = b.grab().toImage();
    const int B = border, S = square, W = img.width();
    QCOMPARE(W, 8 * S + 2 * B);

    const QFontMetrics fm(b.CoordFont(), &b);
    const int fontSize = b.CoordFont().pointSize();
    const int a = (B - fontSize) / 2 + 1, centre = (S - fontSize) / 2, q = fm.height() / 4;
    QList<QRect> cells;
    for (int i = 0; i < 8; ++i) {
        const QString number = QString::number(8 - i), letter(QLatin1Char("ABCDEFGH"[i]));
        const int along = i * S + B + centre;
        if (side == West) cells << QRect(a, along, fm.horizontalAdvance(number), fm.height());
        if (side == East)
            cells << QRect(W - B + a, along, fm.horizontalAdvance(number), fm.height());
        if (side == North) cells << QRect(along, a - q, fm.horizontalAdvance(letter), fm.height());
        if (side == South)
            cells << QRect(along, W - B + a - q, fm.horizontalAdvance(letter), fm.height());
    }
    QVector<int> inCell(8, 0);
    const QRect playing(B, B, 8 * S, 8 * S);
    for (int y = 0; y < W; ++y)
        for (int x = 0; x < W; ++x) {
            if (playing.contains(x, y) || img.pixel(x, y) == fill.rgb()) continue;
            int found = -1;
            for (int i = 0; i < 8 && found < 0; ++i)
                if (cells.at(i).adjusted(-1, -1, 1, 1).contains(x, y)) found = i;
            QVERIFY2(found >= 0,
                     qPrintable(
                         QStringLiteral("label pixel outside every cell at %1, %2").arg(x).arg(y)));
            ++inCell[found];
        }
    for (int i = 0; i < 8; ++i)
        QVERIFY2(inCell.at(i) > 3, qPrintable(QStringLiteral("label %1 missing").arg(i)));
}

void TestBoardView::tiledSquares() {
    TChessModel bModel;
    TChessBrd b(bModel);
    bModel.SetPosition(QString(64, QLatin1Char(' ')));
    QImage light(7, 7, QImage::Format_RGB32), dark(7, 7, QImage::Format_RGB32);
    light.fill(QColor(250, 240, 200));
    light.setPixel(0, 0, qRgb(255, 0, 0)); // marks where each tile starts
    dark.fill(QColor(90, 60, 30));
    b.SetSquareLight(light);
    b.SetSquareDark(dark);
    const QImage img = b.grab().toImage();
    QCOMPARE(QColor(img.pixel(30, 30)), QColor(250, 240, 200));
    QCOMPARE(QColor(img.pixel(24 + 45, 30)), QColor(90, 60, 30));
    // Tiles start at the control's top-left corner, not at each square's.
    QCOMPARE(QColor(img.pixel(28, 28)), QColor(255, 0, 0));
    QVERIFY(QColor(img.pixel(24, 24)) != QColor(255, 0, 0));
    // An empty bitmap brings the colour back.
    b.SetSquareLight(QImage());
    QCOMPARE(QColor(b.grab().toImage().pixel(30, 30)), QColor(192, 192, 192));
}

void TestBoardView::saveScreenshot() {
    const QByteArray file = qgetenv("ZUGARET_BOARD_PNG");
    if (file.isEmpty()) QSKIP("set ZUGARET_BOARD_PNG to save a rendered board");
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetSquareLight(TChessBrd::BuiltInSquareLight());
    b.SetSquareDark(TChessBrd::BuiltInSquareDark());
    b.SetBorderColor(QColor(0x3b, 0x2a, 0x1d));
    b.SetLineStyle(QPen(QColor(0x1e, 0x14, 0x0c), 1));
    b.SetCoordFontColor(QColor(0xf0, 0xd9, 0xb5));
    b.SetDisplayCoords(West | South);
    b.SetAnimateMoves(false);
    for (const char* m :
         {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6", "e1g1", "f8e7"})
        QVERIFY(bModel.Move(TextToSquare(QString::fromLatin1(m, 2)),
                            TextToSquare(QString::fromLatin1(m + 2, 2))));
    QVERIFY(b.grab().save(QString::fromLocal8Bit(file)));
}

QTEST_MAIN(TestBoardView)
#include "tst_boardview.moc"
