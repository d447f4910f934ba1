// zugaret-uci: the built-in engine (ZuzPlak) as a UCI engine on standard
// input and output, for any chess GUI that loads UCI engines.
//
//   zugaret-uci            then: uci, isready, position startpos moves e2e4, go wtime 60000 ...
//
// Standard input is read as it becomes readable (never while waiting for a
// line), so "stop" and "isready" reach the engine during a search. Its end
// is "quit" after a search with limits has run to its end.
#include "UciEngine.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

// A line longer than this (no line end in sight) is dropped.
constexpr qsizetype kMaxPending = 1 << 20;

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zugaret-uci");
    if (QCoreApplication::arguments().contains("--help")) {
        std::fputs("zugaret-uci: the ZuzPlak engine of ZugaretCHAT for UCI chess programs.\n"
                   "Speaks UCI on standard input and output; option Skill 1-8 (the levels).\n",
                   stdout);
        return 0;
    }
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);

    TUciEngine engine([](const QByteArray& line) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    bool quit = false;
    engine.OnQuit = [&quit] {
        quit = true;
        QCoreApplication::exit(0);
    };

    QByteArray pending;
    bool ended = false;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[65536];
        // One read per notice: the descriptor is readable, so it does not block.
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            if (!pending.isEmpty()) engine.HandleLine(std::exchange(pending, {}));
            if (!quit && !ended) {
                ended = true;
                engine.EndOfInput();
            }
            return;
        }
        pending.append(buffer, n);
        qsizetype start = 0;
        for (qsizetype nl; !quit && (nl = pending.indexOf('\n', start)) >= 0; start = nl + 1)
            engine.HandleLine(QByteArrayView(pending).sliced(start, nl - start));
        pending.remove(0, start);
        if (pending.size() > kMaxPending) {
            pending.clear();
            engine.Inform("a line over 1 MiB was dropped");
        }
        if (quit) input.setEnabled(false);
    });
    if (quit) return 0;
    return app.exec();
}
