// The marks under the pieces: the last move however the position got there,
// the king in check, the destinations of a dragged or selected piece, and
// their pixels.
#include "BoardWidget.h"

#include <QtTest>

namespace {
void Play(TChessBrd& b, const QString& moves) {
    for (const QString& m : moves.split(u' ', Qt::SkipEmptyParts))
        QVERIFY2(b.Model().Move(TextToSquare(m.left(2)), TextToSquare(m.mid(2, 2))), qPrintable(m));
}
QString Squares(const std::bitset<65>& set) {
    QStringList out;
    for (int i = 1; i <= 64; ++i)
        if (set.test(i)) out << SquareToText(ToSquare(i));
    return out.join(u' ');
}
QPoint Centre(const TChessBrd& b, Square s) {
    return b.SquareToPoint(s) + QPoint(b.SizeOfSquare() / 2, b.SizeOfSquare() / 2);
}
} // namespace

class TestBoardMarks : public QObject {
    Q_OBJECT
private slots:
    void marks_data() {
        for (const char* column : {"fen", "moves", "then", "selected", "marked"})
            QTest::addColumn<QString>(column);
        // marked: last move | kings in check | destinations of the selected piece
        auto row = [](const char* name, QString fen, QString moves, QString then, QString sel,
                      QString marked) {
            QTest::newRow(name) << fen << moves << then << sel << marked;
        };
        const QString mate = "f2f3 e7e5 g2g4 d8h4";
        row("reply", "", "e2e4 e7e5", "", "", "e7e5||");
        row("mate", "", mate, "", "", "d8h4|e1|");
        row("take-back", "", mate, "takeback", "", "g2g4||");
        row("take-back to the start", "", "e2e4", "takeback", "", "----||");
        row("forward again", "", "e2e4 e7e5", "rewind", "", "e7e5||");
        row("new game", "", "e2e4", "newgame", "", "----||");
        row("position written", "", "e2e4", "position", "", "----|a8|");
        row("marks turned off", "", mate, "off", "", "----||");
        row("knight", "", "", "", "g1", "----||f3 h3");
        row("pinned knight", "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1", "", "", "e2", "----||");
        row("in check", "4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", "", "", "e1", "----|e1|d2 f1");
        row("en passant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "", "", "e5", "----||d6 e6");
        row("user may not move", "", "", "nomover", "g1", "----||");
    }
    void marks() {
        QFETCH(QString, fen);
        QFETCH(QString, moves);
        QFETCH(QString, then);
        QFETCH(QString, selected);
        QFETCH(QString, marked);
        TChessModel bModel;
        TChessBrd b(bModel);
        QVERIFY(fen.isEmpty() || bModel.SetFen(fen));
        Play(b, moves);
        if (then == "takeback") QVERIFY(bModel.TakeBack());
        if (then == "rewind")
            QVERIFY(bModel.TakeBack() && bModel.TakeBack() && bModel.GotoMove(2, true));
        if (then == "newgame") bModel.NewGame();
        if (then == "position") bModel.SetPosition(QString("k       R") + QString(54, u' ') + 'K');
        if (then == "off") b.SetHighlightLastMove(false), b.SetHighlightCheck(false);
        b.SetNoMover(then == "nomover");
        b.SetSelectedSquare(TextToSquare(selected));
        const TChessBrd::THighlights h = b.Highlights();
        QCOMPARE(SquareToText(h.lastFrom) + SquareToText(h.lastTo) + '|' + Squares(h.checked) +
                     '|' + Squares(h.destinations),
                 marked);
    }

    // Dots while a piece is dragged, none once turned off; a drop is a last move.
    void whileDragging() {
        TChessModel bModel;
        TChessBrd b(bModel);
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        const QPoint from = Centre(b, Square::B1);
        QTest::mousePress(&b, Qt::LeftButton, {}, from);
        QTest::mouseMove(&b, from + QPoint(0, -QApplication::startDragDistance() - 3));
        QCOMPARE(Squares(b.Highlights().destinations), QString("a3 c3"));
        b.SetShowLegalDestinations(false);
        QVERIFY(b.Highlights().destinations.none());
        QTest::mouseRelease(&b, Qt::LeftButton, {}, Centre(b, Square::C3));
        QCOMPARE(b.Highlights().lastTo, Square::C3);
    }

    // Marks change the squares they mark and nothing drawn on them. This board,
    // with every kind of mark, is saved when ZUGARET_HIGHLIGHTS_PNG names a file.
    void drawnUnderThePieces() {
        TChessModel bModel;
        TChessBrd b(bModel);
        b.SetSizeOfSquare(64);
        b.SetSquareLight(TChessBrd::BuiltInSquareLight());
        b.SetSquareDark(TChessBrd::BuiltInSquareDark());
        b.SetBorderColor(QColor(0x3b, 0x2a, 0x1d));
        b.SetDisplayCoords(West | South);
        b.SetAnimateMoves(false);
        Play(b, "e2e4 e7e5 g1f3 d7d6 f1c4 c8g4 c4f7"); // check: the king takes or steps aside
        b.SetSelectedSquare(Square::E8);
        const QImage on = b.grab().toImage();
        const QByteArray file = qgetenv("ZUGARET_HIGHLIGHTS_PNG");
        if (!file.isEmpty()) QVERIFY(on.save(QString::fromLocal8Bit(file)));
        b.SetHighlightLastMove(false), b.SetHighlightCheck(false),
            b.SetSelectedSquare(Square::None);
        const QImage off = b.grab().toImage();
        auto at = [&b](Square s, int x, int y) { return b.SquareToPoint(s) + QPoint(x, y); };
        // Tinted c4, the glow round e8, a dot on d7, corner marks on f7.
        for (QPoint p : {at(Square::C4, 3, 3), at(Square::E8, 12, 12), at(Square::D7, 32, 32),
                         at(Square::F7, 2, 2)})
            QVERIFY(on.pixel(p) != off.pixel(p));
        // A corner beside a dot, the bishop on f7, the king on e8.
        for (QPoint p : {at(Square::D7, 3, 3), at(Square::F7, 32, 44), at(Square::E8, 32, 40)})
            QCOMPARE(on.pixel(p), off.pixel(p));
    }
};

QTEST_MAIN(TestBoardMarks)
#include "tst_boardmarks.moc"
