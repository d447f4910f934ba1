// The board's input and motion: drag and drop through synthesized mouse
// events (the drop rule, OnIllegalMove, NoMover), clicks, resizing by the
// corner, animated moves, and the events of the model a board draws
// reaching that model's host.
#include "BoardWidget.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QPoint CentreOf(const TChessBrd& b, Square s) {
    return b.SquareToPoint(s) + QPoint(b.SizeOfSquare() / 2, b.SizeOfSquare() / 2);
}

// Press on a square, pass the drag threshold, and release at a point.
void DragTo(TChessBrd& b, Square from, const QPoint& to) {
    const QPoint start = CentreOf(b, from);
    const int step = QApplication::startDragDistance() + 2;
    QTest::mousePress(&b, Qt::LeftButton, {}, start);
    QTest::mouseMove(&b, start + QPoint(step, step / 2));
    QTest::mouseMove(&b, to);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, to);
}

void DragTo(TChessBrd& b, Square from, Square to) {
    DragTo(b, from, CentreOf(b, to));
}

struct Recorder {
    QStringList events;
    QList<TChessBrd*> senders;
    void attach(TChessBrd& b) {
        QObject::connect(&b.Model(), &TChessModel::OnLegalMove, [this, &b](Square f, Square t) {
            senders << &b;
            events << "legal " + SquareToText(f) + SquareToText(t);
        });
        b.OnIllegalMove = [this](TChessBrd* s, Square sq) {
            senders << s;
            events << "illegal " + SquareToText(sq);
        };
    }
};

bool Exposed(QWidget& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

} // namespace

class TestBoardInput : public QObject {
    Q_OBJECT
private slots:
    void legalDropPlaysTheMove();
    void refusedDrops_data();
    void refusedDrops();
    void dropOnItsOwnSquareRaisesNothing();
    void draggedPieceLeavesItsSquare();
    void noMoverBlocksThePress();
    void clickIsNoDrag();
    void resizeByTheCorner();
    void moveCallIsAnimated_data();
    void moveCallIsAnimated();
    void animationShowsThePieceOnItsWay();
    void animationRunsAtThePieceInset();
    void noAnimationWhenOffOrHidden();
    void eventsReachTheModelsHost();
    void deletedByItsOwnEvent();
    void animatedMoveEndsTheUsersDrag();
    void dragThatLostItsButton();
    void engineReplyIsAnimated();
    void customEngineReplyIsAnimated();
};

void TestBoardInput::legalDropPlaysTheMove() {
    TChessModel bModel;
    TChessModel otherModel;
    TChessBrd b(bModel), other(otherModel);
    Recorder rec, otherRec;
    rec.attach(b);
    otherRec.attach(other);
    QVERIFY(Exposed(b));
    QSignalSpy steps(&b, &TChessBrd::animationStepped);

    DragTo(b, Square::E2, Square::E4);
    QCOMPARE(rec.events, QStringList{"legal e2e4"});
    QCOMPARE(rec.senders, QList<TChessBrd*>{&b});
    QCOMPARE(bModel.PieceAt(Square::E4), 'P');
    QCOMPARE(bModel.PieceAt(Square::E2), ' ');
    QVERIFY(!bModel.WhiteToMove());
    QCOMPARE(steps.count(), 0); // the user's own drop is not animated
    QVERIFY(!b.IsDragging());
    QCOMPARE(bModel.DragSource(), Square::None);
    // The other board saw nothing.
    QVERIFY(otherRec.events.isEmpty());
    QCOMPARE(otherModel.Position(), QString::fromLatin1(TChessModel::InitialPosition));

    // Flipped, the pixel under the pointer still decides the square.
    b.SetWhiteOnTop(true);
    DragTo(b, Square::E7, Square::E5);
    QCOMPARE(rec.events.last(), QStringLiteral("legal e7e5"));
    QCOMPARE(bModel.PieceAt(Square::E5), 'p');
}

void TestBoardInput::refusedDrops_data() {
    QTest::addColumn<Square>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QString>("raised");
    TChessModel geometryModel;
    TChessBrd geometry(geometryModel);
    QTest::newRow("Black piece, White to move")
        << Square::E7 << CentreOf(geometry, Square::E5) << "illegal e7";
    QTest::newRow("illegal White move")
        << Square::E2 << CentreOf(geometry, Square::E5) << "illegal e2";
    QTest::newRow("onto the border") << Square::E2 << QPoint(10, 200) << "illegal e2";
    QTest::newRow("out of the control") << Square::G1 << QPoint(500, 500) << "illegal g1";
}

void TestBoardInput::refusedDrops() {
    QFETCH(Square, from);
    QFETCH(QPoint, to);
    QFETCH(QString, raised);
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    QVERIFY(Exposed(b));
    DragTo(b, from, to);
    QCOMPARE(rec.events, QStringList{raised});
    QCOMPARE(rec.senders, QList<TChessBrd*>{&b});
    QCOMPARE(bModel.Position(), QString::fromLatin1(TChessModel::InitialPosition));
    QVERIFY(bModel.WhiteToMove());
    QVERIFY(!b.IsDragging());
    // The piece is drawn on its square again.
    const QImage img = b.grab().toImage();
    QVERIFY(qGray(img.pixel(CentreOf(b, from) + QPoint(0, 8))) !=
            qGray(img.pixel(b.SquareToPoint(from))));
}

void TestBoardInput::dropOnItsOwnSquareRaisesNothing() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    QVERIFY(Exposed(b));
    DragTo(b, Square::E7, Square::E7); // a Black piece, White to move
    DragTo(b, Square::G1, CentreOf(b, Square::G1) + QPoint(15, -15));
    QVERIFY(rec.events.isEmpty());
    QCOMPARE(bModel.Position(), QString::fromLatin1(TChessModel::InitialPosition));
}

void TestBoardInput::draggedPieceLeavesItsSquare() {
    TChessModel bModel;
    TChessBrd b(bModel);
    QVERIFY(Exposed(b));
    const QPoint start = CentreOf(b, Square::D2);
    const QPoint over = CentreOf(b, Square::E5) + QPoint(3, 2);
    QTest::mousePress(&b, Qt::LeftButton, {}, start);
    QTest::mouseMove(&b, start + QPoint(QApplication::startDragDistance() + 2, 0));
    QTest::mouseMove(&b, over);
    QVERIFY(b.IsDragging());
    QCOMPARE(bModel.DragSource(), Square::D2);
    const QImage img = b.grab().toImage();
    // d2 shows its bare square; the pawn floats centred under the pointer, on e5.
    const QRect d2(b.SquareToPoint(Square::D2), QSize(40, 40));
    for (int y = d2.top(); y <= d2.bottom(); ++y)
        for (int x = d2.left(); x <= d2.right(); ++x)
            QCOMPARE(QColor(img.pixel(x, y)), QColor(128, 128, 128));
    QVERIFY(qGray(img.pixel(over + QPoint(0, 10))) > 230); // the pawn's white base
    QTest::mouseRelease(&b, Qt::LeftButton, {}, over);
    QCOMPARE(bModel.PieceAt(Square::D2), 'P'); // d2-e5 is no move
}

void TestBoardInput::noMoverBlocksThePress() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    int downs = 0;
    b.OnMouseDown = [&downs](TChessBrd*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        ++downs;
    };
    b.SetNoMover(true);
    QVERIFY(Exposed(b));
    DragTo(b, Square::E2, Square::E4);
    QCOMPARE(downs, 0);
    QVERIFY(!b.IsDragging());
    QVERIFY(rec.events.isEmpty());
    QCOMPARE(bModel.PieceAt(Square::E2), 'P');

    b.SetNoMover(false);
    DragTo(b, Square::E2, Square::E4);
    QCOMPARE(downs, 1);
    QCOMPARE(rec.events, QStringList{"legal e2e4"});

    // Moves forbidden while a drag is under way (the host's turn ended):
    // the drag ends there and its drop plays nothing.
    const QPoint d7 = CentreOf(b, Square::D7);
    QTest::mousePress(&b, Qt::LeftButton, {}, d7);
    QTest::mouseMove(&b, d7 + QPoint(0, QApplication::startDragDistance() + 2));
    QVERIFY(b.IsDragging());
    b.SetNoMover(true);
    QVERIFY(!b.IsDragging());
    QTest::mouseMove(&b, CentreOf(b, Square::D5));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, CentreOf(b, Square::D5));
    QCOMPARE(bModel.PieceAt(Square::D7), 'p');
    QCOMPARE(rec.events, QStringList{"legal e2e4"});
}

void TestBoardInput::clickIsNoDrag() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    QList<QPoint> downs;
    QList<Qt::MouseButton> buttons;
    int clicks = 0, ups = 0;
    b.OnMouseDown = [&](TChessBrd* s, Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        QCOMPARE(s, &b);
        downs << QPoint(x, y);
        buttons << button;
    };
    b.OnClick = [&](TChessBrd*) { ++clicks; };
    b.OnMouseUp = [&](TChessBrd*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++ups; };
    QVERIFY(Exposed(b));
    const QPoint e2 = CentreOf(b, Square::E2);
    QTest::mouseClick(&b, Qt::LeftButton, {}, e2);
    QTest::mouseClick(&b, Qt::RightButton, {}, CentreOf(b, Square::E7));
    QCOMPARE(downs, (QList<QPoint>{e2, CentreOf(b, Square::E7)}));
    QCOMPARE(buttons, (QList<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton}));
    QCOMPARE(clicks, 1);
    QCOMPARE(ups, 2);
    QVERIFY(rec.events.isEmpty()); // a press without a drag is no drop
    QVERIFY(!b.IsDragging());
    QCOMPARE(bModel.Position(), QString::fromLatin1(TChessModel::InitialPosition));

    // A move without a button does not start the drag of an earlier press.
    QTest::mouseMove(&b, e2 + QPoint(30, 0));
    QVERIFY(!b.IsDragging());
}

void TestBoardInput::resizeByTheCorner() {
    TChessModel model; // outlives the board, its parent's child
    QWidget parent;
    parent.resize(800, 800);
    TChessBrd* b = new TChessBrd(model, &parent);
    QVERIFY(Exposed(parent));
    // Not resizable: the corner does nothing.
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(364, 364));
    QTest::mouseMove(b, QPoint(365, 365));
    QTest::mouseMove(b, QPoint(420, 400));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(420, 400));
    QCOMPARE(b->size(), QSize(368, 368));

    b->SetResizable(true);
    QTest::mouseMove(b, QPoint(362, 366));
    QCOMPARE(b->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(b, QPoint(200, 200));
    QCOMPARE(b->cursor().shape(), Qt::ArrowCursor);

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(364, 364));
    QTest::mouseMove(b, QPoint(365, 365));
    QTest::mouseMove(b, QPoint(420, 400));
    // The larger of X and Y, then kept square: (420 - 48) div 8 = 46.
    QCOMPARE(b->SizeOfSquare(), 46);
    QCOMPARE(b->size(), QSize(416, 416));
    b->SetResizeMaxSize(300);
    QTest::mouseMove(b, QPoint(600, 500));
    QCOMPARE(b->size(), QSize(296, 296));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(600, 500));
    QTest::mouseMove(b, QPoint(250, 250));
    QCOMPARE(b->size(), QSize(296, 296));
    QCOMPARE(b->SquareAtPoint(24, 24), Square::A8);
    QCOMPARE(b->SquareAtPoint(24 + 8 * 31 - 1, 24 + 8 * 31 - 1), Square::H1);
}

void TestBoardInput::moveCallIsAnimated_data() {
    QTest::addColumn<QString>("position");
    QTest::addColumn<Square>("from");
    QTest::addColumn<Square>("to");
    QTest::addColumn<bool>("flipped");
    QTest::addColumn<bool>("knight");
    const QString init = QString::fromLatin1(TChessModel::InitialPosition);
    QTest::newRow("pawn e2-e4") << init << Square::E2 << Square::E4 << false << false;
    QTest::newRow("pawn e2-e4 flipped") << init << Square::E2 << Square::E4 << true << false;
    QTest::newRow("knight g1-f3") << init << Square::G1 << Square::F3 << false << true;
    QTest::newRow("knight b1-c3 flipped") << init << Square::B1 << Square::C3 << true << true;
    QString bishop(64, QLatin1Char(' '));
    bishop[Ord(Square::C1) - 1] = QLatin1Char('B');
    bishop[Ord(Square::E1) - 1] = QLatin1Char('K');
    bishop[Ord(Square::E8) - 1] = QLatin1Char('k');
    QTest::newRow("bishop c1-h6") << bishop << Square::C1 << Square::H6 << false << false;
    QString rook(bishop);
    rook[Ord(Square::C1) - 1] = QLatin1Char(' ');
    rook[Ord(Square::A1) - 1] = QLatin1Char('R');
    // Not quite a line: the shorter distance advances by truncated fractions.
    QTest::newRow("rook a1-a7") << rook << Square::A1 << Square::A7 << false << false;
}

void TestBoardInput::moveCallIsAnimated() {
    QFETCH(QString, position);
    QFETCH(Square, from);
    QFETCH(Square, to);
    QFETCH(bool, flipped);
    QFETCH(bool, knight);
    TChessModel bModel;
    TChessBrd b(bModel);
    bModel.SetPosition(position);
    b.SetWhiteOnTop(flipped);
    QVERIFY(Exposed(b));
    QSignalSpy steps(&b, &TChessBrd::animationStepped);
    QVERIFY(bModel.Move(from, to));
    // The move is made before the piece is shown travelling.
    QCOMPARE(bModel.PieceAt(to), position.at(Ord(from) - 1).toLatin1());
    QVERIFY(b.IsAnimating());
    QTRY_VERIFY(!b.IsAnimating());

    const QPoint start = b.SquareToPoint(from),
                 end = b.SquareToPoint(to); // inset is 0 at 40 pixels
    QList<QPoint> path;
    for (const QList<QVariant>& s : steps)
        path << s.at(0).toPoint();
    QVERIFY(!path.isEmpty());
    QCOMPARE(path.first(), start);
    QCOMPARE(path.last(), end);
    const int dx = end.x() - start.x(), dy = end.y() - start.y();
    // Frames come as time allows; each lies on the path, further along.
    QVERIFY(path.size() >= 2);
    auto along = [&](QPoint p) {
        return std::abs(p.x() - start.x()) + std::abs(p.y() - start.y());
    };
    for (int i = 1; i < path.size(); ++i)
        QVERIFY(along(path.at(i)) > along(path.at(i - 1)));
    const int major = std::max(std::abs(dx), std::abs(dy));
    for (const QPoint& p : path) {
        if (knight) {
            // Along the rank first, at the start's height, then along the file.
            QVERIFY(p.y() == start.y() || p.x() == end.x());
        } else {
            const int i = std::abs(dx) >= std::abs(dy) ? std::abs(p.x() - start.x())
                                                       : std::abs(p.y() - start.y());
            const QPoint expect(start.x() + (major ? i * dx / major : 0),
                                start.y() + (major ? i * dy / major : 0));
            QCOMPARE(p, expect);
        }
    }
}

void TestBoardInput::animationShowsThePieceOnItsWay() {
    TChessModel bModel;
    TChessBrd b(bModel);
    QVERIFY(Exposed(b));
    QImage middle;
    QPoint at;
    int n = 0;
    const QPoint d2At = b.SquareToPoint(Square::D2), d4At = b.SquareToPoint(Square::D4);
    connect(&b, &TChessBrd::animationStepped, &b, [&](QPoint p) {
        // The first frame on the way, the piece's top below d4's centre.
        if (middle.isNull() && p.y() < d2At.y() && p.y() > d4At.y() + 20)
            middle = b.grab().toImage(), at = p, ++n;
    });
    QVERIFY(bModel.Move(Square::D2, Square::D4));
    QTRY_VERIFY(!b.IsAnimating());
    QVERIFY(!middle.isNull());
    QCOMPARE(n, 1);
    // On its way: d2 is as bare as after the move where the floating pawn
    // is not, which is drawn at the frame's point.
    const QImage after = b.grab().toImage();
    const QRect d2(d2At, QSize(40, 40)), floating(at, QSize(40, 40));
    QCOMPARE(at.x(), d2At.x());
    for (int y = d2.top(); y <= d2.bottom(); ++y)
        for (int x = d2.left(); x <= d2.right(); ++x)
            if (!floating.contains(x, y)) QCOMPARE(middle.pixel(x, y), after.pixel(x, y));
    QVERIFY(qGray(middle.pixel(at + QPoint(20, 30))) > 230);
    // The moving piece is not also drawn on d4 yet.
    const QRect d4(b.SquareToPoint(Square::D4), QSize(40, 40));
    QVERIFY(qGray(middle.pixel(d4.center() + QPoint(0, 10))) < 230);

    // After the move: the pawn stands on d4, nothing floats any more.
    QVERIFY(qGray(after.pixel(d4.center() + QPoint(0, 10))) > 230);
    QCOMPARE(QColor(after.pixel(b.SquareToPoint(Square::D3) + QPoint(20, 30))),
             QColor(192, 192, 192));
}

// With pieces larger than the squares the piece is drawn at a negative inset;
// the animated piece travels at that same inset, so it neither jumps away
// from its square when it sets off nor jumps again when it lands.
void TestBoardInput::animationRunsAtThePieceInset() {
    QImage set(300, 200, QImage::Format_RGB32); // cells of 50 pixels on 40-pixel squares
    set.fill(Qt::black);
    TChessModel bModel;
    TChessBrd b(bModel);
    b.SetCustomPieceSet(set);
    QCOMPARE(b.PieceImageSize(), 50);
    QVERIFY(Exposed(b));
    QSignalSpy steps(&b, &TChessBrd::animationStepped);
    QVERIFY(bModel.Move(Square::G1, Square::F3));
    QTRY_VERIFY(!b.IsAnimating());
    QVERIFY(!steps.isEmpty());
    const QPoint inset(-5, -5); // (40 - 50) div 2
    QCOMPARE(steps.first().at(0).toPoint(), b.SquareToPoint(Square::G1) + inset);
    QCOMPARE(steps.last().at(0).toPoint(), b.SquareToPoint(Square::F3) + inset);
    // Knight: along the rank first, at the inset.
    for (const QList<QVariant>& s : steps) {
        const QPoint p = s.at(0).toPoint();
        QVERIFY(p.y() == b.SquareToPoint(Square::G1).y() + inset.y() ||
                p.x() == b.SquareToPoint(Square::F3).x() + inset.x());
    }
}

void TestBoardInput::noAnimationWhenOffOrHidden() {
    TChessModel bModel;
    TChessBrd b(bModel);
    QSignalSpy steps(&b, &TChessBrd::animationStepped);
    QVERIFY(bModel.Move(Square::E2, Square::E4)); // never shown
    QVERIFY(Exposed(b));
    b.SetAnimateMoves(false);
    QVERIFY(bModel.Move(Square::E7, Square::E5));
    QCOMPARE(steps.count(), 0);

    // A dropped move is not animated, but the same squares played later by Move are.
    b.SetAnimateMoves(true);
    DragTo(b, Square::G1, Square::F3);
    QCOMPARE(steps.count(), 0);
    QVERIFY(bModel.TakeBack());
    QVERIFY(bModel.Move(Square::G1, Square::F3));
    QVERIFY(steps.count() > 0);
    QTRY_VERIFY(!b.IsAnimating());
}

void TestBoardInput::eventsReachTheModelsHost() {
    TChessModel bModel;
    auto* b = new TChessBrd(bModel);
    QStringList seen;
    QObject::connect(&bModel, &TChessModel::OnLegalMove, [&] { seen << "legal"; });
    QObject::connect(&bModel, &TChessModel::OnCapture,
                     [&](Square, Square, char c) { seen << QString("capture ") + c; });
    QObject::connect(&bModel, &TChessModel::OnPromotion,
                     [&](Square, Square, char piece) { seen << QString("promotion ") + piece; });
    bModel.PromotionChoice = [&](Square, Square, char& piece) {
        seen << QString("choice ") + piece;
        piece = 'n';
    };
    QObject::connect(&bModel, &TChessModel::OnPaint, [&] { seen << "paint"; });
    b->SetAnimateMoves(false);
    QString pos(64, QLatin1Char(' '));
    pos[Ord(Square::B7) - 1] = QLatin1Char('P');
    pos[Ord(Square::A8) - 1] = QLatin1Char('r');
    pos[Ord(Square::E1) - 1] = QLatin1Char('K');
    pos[Ord(Square::H8) - 1] = QLatin1Char('k');
    bModel.SetPosition(pos);
    seen.clear();
    QVERIFY(bModel.Move(Square::B7, Square::A8));
    QCOMPARE(seen, (QStringList{"choice q", "legal", "capture r", "promotion n", "paint"}));
    QCOMPARE(bModel.PieceAt(Square::A8), 'N'); // the chosen letter, on rank 8 in upper case

    // OnPaint also starts every paint of the control.
    seen.clear();
    b->grab();
    QCOMPARE(seen, QStringList{"paint"});

    // The board goes, the model and its host's events stay (a sanitizer
    // build tells if the model still reached for its view).
    delete b;
    seen.clear();
    QVERIFY(bModel.Move(Square::H8, Square::G7));
    QCOMPARE(seen, (QStringList{"legal", "paint"}));
}

void TestBoardInput::deletedByItsOwnEvent() {
    // The board looks at itself after each event; deleteLater's event must
    // find it gone, not touch freed memory (a sanitizer build tells).
    TChessModel model;
    QPointer<TChessBrd> b = new TChessBrd(model);
    QVERIFY(Exposed(*b));
    b->OnMouseDown = [&b](TChessBrd* s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        s->deleteLater();
        QCOMPARE(s, b.data());
    };
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(100, 100));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(b.isNull());
}

void TestBoardInput::animatedMoveEndsTheUsersDrag() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    QVERIFY(Exposed(b));
    const QPoint g1 = CentreOf(b, Square::G1);
    QTest::mousePress(&b, Qt::LeftButton, {}, g1);
    QTest::mouseMove(&b, g1 + QPoint(0, -(QApplication::startDragDistance() + 2)));
    QVERIFY(b.IsDragging());
    // A move arrives from elsewhere (the network, the engine) while the user drags.
    QVERIFY(bModel.Move(Square::E2, Square::E4));
    QVERIFY(!b.IsDragging());
    QTest::mouseMove(&b, CentreOf(b, Square::F3));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, CentreOf(b, Square::F3));
    QCOMPARE(rec.events, QStringList{"legal e2e4"});
    QCOMPARE(bModel.PieceAt(Square::G1), 'N');
    // The knight is drawn on its square again.
    const QImage img = b.grab().toImage();
    QVERIFY(qGray(img.pixel(g1 + QPoint(0, 10))) > 230);
}

void TestBoardInput::dragThatLostItsButton() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    QVERIFY(Exposed(b));
    const QPoint d2 = CentreOf(b, Square::D2), d4 = CentreOf(b, Square::D4);
    QTest::mousePress(&b, Qt::LeftButton, {}, d2);
    QTest::mouseMove(&b, d2 + QPoint(0, -(QApplication::startDragDistance() + 2)));
    QVERIFY(b.IsDragging());
    // The release went to a window that took the mouse; the pointer comes
    // back over d4 with no button held. That is no drop on d4.
    QMouseEvent hover(QEvent::MouseMove, QPointF(d4), QPointF(b.mapToGlobal(d4)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&b, &hover);
    QVERIFY(!b.IsDragging());
    QCOMPARE(rec.events, QStringList{"illegal d2"});
    QCOMPARE(bModel.PieceAt(Square::D2), 'P');
    QTest::mouseRelease(&b, Qt::LeftButton, {}, d4);
    QCOMPARE(bModel.PieceAt(Square::D4), ' ');
}

void TestBoardInput::engineReplyIsAnimated() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    bModel.SetSearchDepth(1);
    bModel.SetComputerPlaysBlack(true);
    QVERIFY(Exposed(b));
    QSignalSpy steps(&b, &TChessBrd::animationStepped);
    DragTo(b, Square::E2, Square::E4);
    QCOMPARE(rec.events.value(0), QStringLiteral("legal e2e4"));
    QCOMPARE(steps.count(), 0);
    // The engine's reply arrives through the event loop, animated from its square.
    QTRY_VERIFY(bModel.WhiteToMove());
    QCOMPARE(rec.events.size(), 2);
    QTRY_VERIFY(!b.IsAnimating());
    QVERIFY(steps.count() > 0);
    const Square from = TextToSquare(rec.events.at(1).mid(6, 2));
    const Square to = TextToSquare(rec.events.at(1).mid(8, 2));
    QCOMPARE(steps.first().at(0).toPoint(), b.SquareToPoint(from));
    QCOMPARE(steps.last().at(0).toPoint(), b.SquareToPoint(to));
    QVERIFY(bModel.PieceColor(to) == 0);
    bModel.SetComputerPlaysBlack(false);
}

void TestBoardInput::customEngineReplyIsAnimated() {
    TChessModel bModel;
    TChessBrd b(bModel);
    Recorder rec;
    rec.attach(b);
    int asked = 0;
    bModel.OnCalculateMove = [&](Square& from, Square& to) {
        ++asked;
        from = Square::E7;
        to = Square::E5;
    };
    bModel.SetCustomEngine(true);
    bModel.SetComputerPlaysBlack(true);
    QVERIFY(Exposed(b));
    QSignalSpy steps(&b, &TChessBrd::animationStepped);
    DragTo(b, Square::E2, Square::E4);
    QCOMPARE(asked, 1);
    QCOMPARE(rec.events, (QStringList{"legal e2e4", "legal e7e5"}));
    // The host's reply only, from its start to its end.
    QTRY_VERIFY(!b.IsAnimating());
    QCOMPARE(steps.first().at(0).toPoint(), b.SquareToPoint(Square::E7));
    QCOMPARE(steps.last().at(0).toPoint(), b.SquareToPoint(Square::E5));
}

QTEST_MAIN(TestBoardInput)
#include "tst_boardinput.moc"
