// zugaret-bench-board: how long the board takes to draw its pieces and itself.
//
//   QT_QPA_PLATFORM=offscreen zugaret-bench-board
//
// Prints, each as the median of several runs: reading the built-in piece
// outlines; drawing the twelve pieces at several square sizes (what a resize
// to a new size costs once; sizes drawn before come from the cache); a full
// paint of the board at two square sizes with the marks under the pieces off
// and on (last move, check, and the destinations of a selected piece); and
// working out the marks alone.
#include "BoardWidget.h"
#include "PieceRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Median time of one call, in microseconds.
double MedianMicros(int runs, const std::function<void()>& work) {
    std::vector<qint64> ns;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ns.push_back(t.nsecsElapsed());
    }
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2] / 1000.0;
}

void Play(TChessBrd& b, const char* moves) {
    for (const QString& m : QString::fromLatin1(moves).split(u' '))
        b.Model().Move(TextToSquare(m.left(2)), TextToSquare(m.mid(2, 2)));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TPieceRenderer outlines;
    std::printf("read outlines            %8.1f us\n",
                MedianMicros(21, [&] { outlines.LoadBuiltIn(); }));
    for (int side : {24, 40, 64, 90, 120}) {
        const double us = MedianMicros(11, [&] {
            for (int i = 0; i < 12; ++i)
                outlines.Render(i, side);
        });
        std::printf("draw 12 pieces at %3d px %8.1f us\n", side, us);
    }
    for (int square : {40, 64}) {
        TChessModel bModel;
        TChessBrd b(bModel);
        b.SetSizeOfSquare(square);
        b.SetSquareLight(TChessBrd::BuiltInSquareLight());
        b.SetSquareDark(TChessBrd::BuiltInSquareDark());
        b.SetAnimateMoves(false);
        Play(b, "e2e4 e7e5 g1f3 d7d6 f1c4 c8g4 c4f7");
        QPixmap target(b.size());
        auto paint = [&] { b.render(&target); };
        b.SetHighlightLastMove(false), b.SetHighlightCheck(false);
        const double plain = MedianMicros(51, paint);
        b.SetHighlightLastMove(true), b.SetHighlightCheck(true), b.SetSelectedSquare(Square::E8);
        const double marked = MedianMicros(51, paint);
        const double marks = MedianMicros(1001, [&] { (void)b.Highlights(); });
        std::printf("paint at %2d px squares   %8.1f us plain, %8.1f us with marks (marks alone "
                    "%.1f us)\n",
                    square, plain, marked, marks);
    }
    return 0;
}
