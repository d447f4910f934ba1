// A promotion's piece is chosen before the move is played: the main window's
// chooser, its answers, the clocks while it is open, and a chooser whose
// reason went away.
#include "PromotionChooser.h"
#include "tst_principal_fixture.h"

#include <QAbstractButton>
#include <QPointer>

namespace {
// White to move; the pawn on a7 promotes, no promoted piece gives check.
const QString PromotionFen = "8/P7/7k/8/8/8/7P/K7 w - - 0 1";

QPoint CentreOf(const TChessBrd& b, Square s) {
    return b.SquareToPoint(s) + QPoint(b.SizeOfSquare() / 2, b.SizeOfSquare() / 2);
}

void DragTo(TChessBrd& b, Square from, Square to) {
    const QPoint start = CentreOf(b, from), end = CentreOf(b, to);
    const int step = QApplication::startDragDistance() + 2;
    QTest::mousePress(&b, Qt::LeftButton, {}, start);
    QTest::mouseMove(&b, start + QPoint(step, step / 2));
    QTest::mouseMove(&b, end);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, end);
}

// Two players at the board, the promotion ahead, the clocks on a clock of
// the test's own.
struct TPromotionGame {
    TTestProgram t;
    qint64 now = 1000000;

    TPromotionGame() {
        t.NewGameVia("Ana", true);
        for (TRelojChess* c : {&t.Game().ClockW(), &t.Game().ClockB()})
            c->SetTimeSource([this] { return now; });
        QVERIFY(t.Model().SetFen(PromotionFen));
        t.Game().ClockW().Start();
        t.Game().ClockB().Stop();
    }
    void Pass(int seconds) {
        now += seconds * 1000;
        // As the clocks' own timers would.
        for (TRelojChess* c : {&t.Game().ClockW(), &t.Game().ClockB()})
            if (c->Timer().isActive()) c->Tick();
    }
    TPromotionChooser* Chooser() {
        return t.Main().findChild<TPromotionChooser*>("promotionChooser");
    }
};
} // namespace

class TestPromotionChoice : public QObject {
    Q_OBJECT
private slots:
    void choiceComesBeforeTheMove_data();
    void choiceComesBeforeTheMove();
    void chooserWhoseReasonWentAway_data();
    void chooserWhoseReasonWentAway();
};

void TestPromotionChoice::choiceComesBeforeTheMove_data() {
    QTest::addColumn<QString>("answer"); // a button's name, or "escape"
    QTest::addColumn<QChar>("piece");    // null: nothing is played
    QTest::addColumn<bool>("clicked");   // the move picked by two clicks, not dragged
    QTest::newRow("queen") << "promote_q" << QChar('Q') << false;
    QTest::newRow("rook") << "promote_r" << QChar('R') << false;
    QTest::newRow("bishop") << "promote_b" << QChar('B') << false;
    QTest::newRow("knight") << "promote_n" << QChar('N') << false;
    QTest::newRow("Cancelar") << "cancel" << QChar() << false;
    QTest::newRow("Escape") << "escape" << QChar() << false;
    QTest::newRow("clicked, knight") << "promote_n" << QChar('N') << true;
    QTest::newRow("clicked, Cancelar") << "cancel" << QChar() << true;
}

void TestPromotionChoice::choiceComesBeforeTheMove() {
    QFETCH(QString, answer);
    QFETCH(QChar, piece);
    QFETCH(bool, clicked);
    TPromotionGame g;
    TTestProgram& t = g.t;
    const QString position = t.Model().Position();
    const QStringList record = t.Record();
    const int white = t.Game().ClockW().Remaining(), black = t.Game().ClockB().Remaining();

    if (clicked) {
        for (const Square s : {Square::A7, Square::A8}) {
            const QPoint p = CentreOf(t.Board(), s);
            t.Main().FBoardMouseDown(Qt::LeftButton, p.x(), p.y());
        }
    } else {
        DragTo(t.Board(), Square::A7, Square::A8);
    }
    QPointer<TPromotionChooser> chooser = g.Chooser();
    QVERIFY(chooser);
    QTRY_VERIFY(chooser->isVisible());
    QCOMPARE(chooser->windowTitle(), QString::fromUtf8("Promoción peón"));
    // Nothing is played yet: the mover's clock runs, the opponent's does not.
    QCOMPARE(t.Model().Position(), position);
    QCOMPARE(t.Record(), record);
    g.Pass(5);
    QCOMPARE(t.Game().ClockW().Remaining(), white - 5);
    QCOMPARE(t.Game().ClockB().Remaining(), black);
    QVERIFY(t.Game().ClockW().Running());
    QVERIFY(!t.Game().ClockB().Running());

    if (answer == "escape")
        QTest::keyClick(chooser, Qt::Key_Escape);
    else
        QTest::mouseClick(chooser->findChild<QAbstractButton*>(answer), Qt::LeftButton);
    QTRY_VERIFY(!chooser || !chooser->isVisible());
    // Played or not, no square stays picked.
    QCOMPARE(t.Main().SelectedSquare, Square::None);
    QVERIFY(!t.Main().MarkerShown());

    if (piece.isNull()) {
        // The pawn is back where it was; the record and the turn too.
        QCOMPARE(t.Model().Position(), position);
        QCOMPARE(t.Record(), record);
        QVERIFY(t.Model().WhiteToMove());
        QVERIFY(t.Game().ClockW().Running());
        QVERIFY(!t.Game().ClockB().Running());
        // The same move may be tried again.
        DragTo(t.Board(), Square::A7, Square::A8);
        QTRY_VERIFY(g.Chooser() && g.Chooser()->isVisible());
        QTest::mouseClick(g.Chooser()->findChild<QAbstractButton*>("promote_q"), Qt::LeftButton);
        QCOMPARE(t.Model().PieceAt(Square::A8), 'Q');
    } else {
        QCOMPARE(QChar(t.Model().PieceAt(Square::A8)), piece);
        QCOMPARE(t.Record().last(), "1.Pa7a8=" + QString(piece));
        QVERIFY(!t.Game().ClockW().Running());
        QVERIFY(t.Game().ClockB().Running());
        QCOMPARE(t.Game().ClockW().Remaining(), white - 5);
    }
}

void TestPromotionChoice::chooserWhoseReasonWentAway_data() {
    QTest::addColumn<int>("reason");
    QTest::newRow("the game ends") << 0;
    QTest::newRow("a new game starts") << 1;
    QTest::newRow("the position is replaced") << 2;
}

void TestPromotionChoice::chooserWhoseReasonWentAway() {
    QFETCH(int, reason);
    TPromotionGame g;
    TTestProgram& t = g.t;
    DragTo(t.Board(), Square::A7, Square::A8);
    QPointer<TPromotionChooser> chooser = g.Chooser();
    QVERIFY(chooser);
    QPointer<QAbstractButton> rook = chooser->findChild<QAbstractButton*>("promote_r");
    switch (reason) {
    case 0:
        t.Game().EndGame(TEndReason(6));
        break;
    case 1:
        t.Game().StartLocalGame(TGameMode::LocalTwoPlayers, true, 15);
        break;
    case 2:
        QVERIFY(t.Model().SetFen("8/P7/6k1/8/8/8/7P/K7 w - - 0 1"));
        break;
    }
    const QString position = t.Model().Position();
    const QStringList record = t.Record();
    if (reason != 2) QTRY_VERIFY(!chooser || !chooser->isVisible());
    // An answer that comes all the same plays nothing.
    if (rook) rook->click();
    t.Board().AnswerPromotion('r');
    QCOMPARE(t.Model().Position(), position);
    QCOMPARE(t.Record(), record);
    QVERIFY(!t.Board().PromotionChoiceOpen());
}

QTEST_MAIN(TestPromotionChoice)
#include "tst_promotionchoice.moc"
