// The marks under the pieces: the last move's squares after moves made in
// every way and after the position is rewound or replaced, the king in check,
// and the destinations of a dragged or selected piece, with their pixels.
// Set ZUGARET_HIGHLIGHTS_PNG to a file name to save a board showing them all.
#include "BoardWidget.h"

#include <QtTest>

namespace {

void Play(TChessBrd& b, const QString& moves) {
    for (const QString& m : moves.split(u' ', Qt::SkipEmptyParts))
        QVERIFY2(b.Move(TextToSquare(m.left(2)), TextToSquare(m.mid(2, 2))), qPrintable(m));
}

QString Squares(const std::bitset<65>& set) {
    QStringList out;
    for (int i = 1; i <= 64; ++i)
        if (set.test(i)) out << SquareToText(ToSquare(i));
    out.sort();
    return out.join(u' ');
}

QPoint CentreOf(const TChessBrd& b, Square s) {
    return b.SquareToPoint(s) + QPoint(b.SizeOfSquare() / 2, b.SizeOfSquare() / 2);
}

QRgb PixelAt(TChessBrd& b, const QPoint& p) {
    return b.grab().toImage().pixel(p);
}

} // namespace

class TestBoardMarks : public QObject {
    Q_OBJECT
private slots:
    void lastMove_data();
    void lastMove();
    void lastMoveOfADrop();
    void check();
    void destinations_data();
    void destinations();
    void destinationsWhileDragging();
    void pixels();
    void saveScreenshot();
};

void TestBoardMarks::lastMove_data() {
    QTest::addColumn<QString>("moves");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("marked");
    QTest::newRow("one move") << "e2e4"
                              << ""
                              << "e2e4";
    QTest::newRow("reply") << "e2e4 e7e5"
                           << ""
                           << "e7e5";
    QTest::newRow("castling: the king's squares") << "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1"
                                                  << ""
                                                  << "e1g1";
    QTest::newRow("take-back shows the move now last") << "e2e4 e7e5"
                                                       << "takeback"
                                                       << "e2e4";
    QTest::newRow("take-back to the start") << "e2e4"
                                            << "takeback"
                                            << "";
    QTest::newRow("forward again") << "e2e4 e7e5"
                                   << "rewind"
                                   << "e7e5";
    QTest::newRow("new game") << "e2e4 e7e5"
                              << "newgame"
                              << "";
    QTest::newRow("FEN") << "e2e4"
                         << "fen"
                         << "";
    QTest::newRow("position written") << "e2e4"
                                      << "position"
                                      << "";
    QTest::newRow("turned off") << "e2e4"
                                << "off"
                                << "";
}

void TestBoardMarks::lastMove() {
    QFETCH(QString, moves);
    QFETCH(QString, then);
    QFETCH(QString, marked);
    TChessBrd b;
    Play(b, moves);
    if (then == "takeback") QVERIFY(b.TakeBack());
    if (then == "rewind") QVERIFY(b.TakeBack() && b.TakeBack() && b.GotoMove(2, true));
    if (then == "newgame") b.NewGame();
    if (then == "fen") QVERIFY(b.SetFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
    if (then == "position") b.SetPosition("init");
    if (then == "off") b.SetHighlightLastMove(false);
    const TChessBrd::THighlights h = b.Highlights();
    QCOMPARE(SquareToText(h.lastFrom) + SquareToText(h.lastTo),
             marked.isEmpty() ? QString("----") : marked);
}

void TestBoardMarks::lastMoveOfADrop() {
    TChessBrd b;
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    const QPoint from = CentreOf(b, Square::G1), to = CentreOf(b, Square::F3);
    QTest::mousePress(&b, Qt::LeftButton, {}, from);
    QTest::mouseMove(&b, from + QPoint(QApplication::startDragDistance() + 3, 0));
    QTest::mouseMove(&b, to);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, to);
    QCOMPARE(b.PieceAt(Square::F3), 'N');
    QCOMPARE(b.Highlights().lastFrom, Square::G1);
    QCOMPARE(b.Highlights().lastTo, Square::F3);
}

void TestBoardMarks::check() {
    TChessBrd b;
    b.SetAnimateMoves(false);
    Play(b, "f2f3 e7e5 g2g4 d8h4"); // mate
    QCOMPARE(Squares(b.Highlights().checked), QString("e1"));
    QVERIFY(b.TakeBack());
    QCOMPARE(Squares(b.Highlights().checked), QString());
    b.SetPosition("k       R                                                      K");
    QCOMPARE(Squares(b.Highlights().checked), QString("a8")); // written by hand, marked too
    b.SetHighlightCheck(false);
    QCOMPARE(Squares(b.Highlights().checked), QString());
}

void TestBoardMarks::destinations_data() {
    QTest::addColumn<QString>("fen");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("marked");
    const QString start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    QTest::newRow("pawn") << start << "e2"
                          << "e3 e4";
    QTest::newRow("knight") << start << "g1"
                            << "f3 h3";
    QTest::newRow("blocked rook") << start << "a1"
                                  << "";
    QTest::newRow("opponent's piece") << start << "g8"
                                      << "";
    QTest::newRow("empty square") << start << "e4"
                                  << "";
    QTest::newRow("pinned knight") << "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1"
                                   << "e2"
                                   << "";
    QTest::newRow("king in check, captures included") << "4k3/8/8/8/8/8/3q4/4K3 w - - 0 1"
                                                      << "e1"
                                                      << "d2 f1";
    QTest::newRow("en passant") << "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2"
                                << "e5"
                                << "d6 e6";
    QTest::newRow("castling") << "4k3/8/8/8/8/8/8/4K2R w K - 0 1"
                              << "e1"
                              << "d1 d2 e2 f1 f2 g1";
}

void TestBoardMarks::destinations() {
    QFETCH(QString, fen);
    QFETCH(QString, selected);
    QFETCH(QString, marked);
    TChessBrd b;
    QVERIFY(b.SetFen(fen));
    b.SetSelectedSquare(TextToSquare(selected));
    QCOMPARE(Squares(b.Highlights().destinations), marked);
    // Turned off, or the user may not move: nothing is marked.
    b.SetShowLegalDestinations(false);
    QCOMPARE(Squares(b.Highlights().destinations), QString());
    b.SetShowLegalDestinations(true);
    b.SetNoMover(true);
    QCOMPARE(Squares(b.Highlights().destinations), QString());
    b.SetNoMover(false);
    b.SetSelectedSquare(Square::None);
    QCOMPARE(Squares(b.Highlights().destinations), QString());
}

void TestBoardMarks::destinationsWhileDragging() {
    TChessBrd b;
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    const QPoint from = CentreOf(b, Square::B1);
    QTest::mousePress(&b, Qt::LeftButton, {}, from);
    QCOMPARE(Squares(b.Highlights().destinations), QString()); // a press is no drag yet
    QTest::mouseMove(&b, from + QPoint(0, -QApplication::startDragDistance() - 3));
    QVERIFY(b.IsDragging());
    QCOMPARE(Squares(b.Highlights().destinations), QString("a3 c3"));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, CentreOf(b, Square::B5)); // refused
    QCOMPARE(Squares(b.Highlights().destinations), QString());
}

// Marks are drawn over the squares and under the pieces.
void TestBoardMarks::pixels() {
    TChessBrd b;
    b.SetAnimateMoves(false);
    const QPoint corner(3, 3);
    const QPoint d5Corner = b.SquareToPoint(Square::D5) + corner;
    const QRgb plain = PixelAt(b, d5Corner);
    Play(b, "e2e4 d7d5");
    const QRgb tinted = PixelAt(b, d5Corner);
    QVERIFY(tinted != plain && qAlpha(tinted) == 255);
    b.SetHighlightLastMove(false);
    QCOMPARE(PixelAt(b, d5Corner), plain);
    b.SetHighlightLastMove(true);
    // The White pawn on e4 may go to e5 (a dot in the middle) or take d5 (corners).
    const QRgb e5Centre = PixelAt(b, CentreOf(b, Square::E5));
    const QRgb e5Corner = PixelAt(b, b.SquareToPoint(Square::E5) + corner);
    b.SetSelectedSquare(Square::E4);
    QVERIFY(PixelAt(b, CentreOf(b, Square::E5)) != e5Centre);
    QCOMPARE(PixelAt(b, b.SquareToPoint(Square::E5) + corner), e5Corner);
    QVERIFY(PixelAt(b, d5Corner) != tinted);
    // The Black pawn on d5 is drawn over the marks.
    QVERIFY(qGray(PixelAt(b, CentreOf(b, Square::D5) + QPoint(0, 10))) < 60);
}

void TestBoardMarks::saveScreenshot() {
    const QByteArray file = qgetenv("ZUGARET_HIGHLIGHTS_PNG");
    if (file.isEmpty()) QSKIP("set ZUGARET_HIGHLIGHTS_PNG to save a board with its marks");
    TChessBrd b;
    b.SetSizeOfSquare(64);
    b.SetSquareLight(TChessBrd::BuiltInSquareLight());
    b.SetSquareDark(TChessBrd::BuiltInSquareDark());
    b.SetBorderColor(QColor(0x3b, 0x2a, 0x1d));
    b.SetLineStyle(QPen(QColor(0x1e, 0x14, 0x0c), 1));
    b.SetCoordFontColor(QColor(0xf0, 0xd9, 0xb5));
    b.SetDisplayCoords(West | South);
    b.SetAnimateMoves(false);
    Play(b, "e2e4 e7e5 g1f3 d7d6 f1c4 c8g4 c4f7"); // check: the king may take or step aside
    b.SetSelectedSquare(Square::E8);
    QVERIFY(b.grab().save(QString::fromLocal8Bit(file)));
}

QTEST_MAIN(TestBoardMarks)
#include "tst_boardmarks.moc"
