// zugaret-peer: one participant of the chat without windows, on
// QCoreApplication, built from the program's own libraries. Its questions
// are answered by options (see PeerUsage); it prints one line per event,
// "log: …", "box: …", "nicks: …", "move: …" or "end: …", in UTF-8, flushed
// on the event loop's next turn (so a chat line a host relays reaches the
// other participants before the host's output). SIGINT and SIGTERM end it
// through its normal shut-down, with status 0.
//
//   zugaret-peer --nick Luis --host --port 12121
//   zugaret-peer --nick Ana --connect 127.0.0.1 --say hola --say "/msg Luis hi"
//   zugaret-peer --nick ZuzHost --host --engine --accept-games yes
//   zugaret-peer --nick Ana --connect 127.0.0.1 --engine --offer ZuzHost:5:white
//   zugaret-peer --nick Eva --connect 127.0.0.1 --observe
#include "PeerProgram.h"
#include "QuitSignals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>

int main(int argc, char* argv[]) {
    // Without windows nothing needs GLib's main loop, and Qt's own Unix event
    // dispatcher does less per turn of the loop (the chat host's fan-out
    // measures it). QT_NO_GLIB set in the environment, even empty, decides
    // instead; the choice is not passed on to programs started from here.
    const bool chooseDispatcher = !qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (chooseDispatcher) qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (chooseDispatcher) qunsetenv("QT_NO_GLIB");
    TQuitSignals quitSignals;
    QCoreApplication::setApplicationName("zugaret-peer");

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.contains("--help") || arguments.contains("-h")) {
        std::fputs(PeerUsage().toUtf8().constData(), stdout);
        return 0;
    }
    TPeerOptions options;
    if (const QString error = ParsePeerOptions(arguments, options); !error.isEmpty()) {
        std::fprintf(stderr, "zugaret-peer: %s\n%s", error.toUtf8().constData(),
                     PeerUsage().toUtf8().constData());
        return 2;
    }

    bool flushPosted = false;
    TPeerProgram peer(options, [&app, &flushPosted](const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        if (flushPosted) return;
        flushPosted = true;
        QMetaObject::invokeMethod(
            &app,
            [&flushPosted] {
                flushPosted = false;
                std::fflush(stdout);
            },
            Qt::QueuedConnection);
    });
    bool finished = false;
    int status = 0;
    peer.OnFinished = [&](int code) {
        finished = true;
        status = code;
        QCoreApplication::exit(code);
    };
    quitSignals.OnQuit = [&peer] { peer.Quit(0); };
    peer.Start();
    // A signal that came while the program was starting.
    if (!finished && quitSignals.LastSignal() != 0) peer.Quit(0);
    if (finished) return status;
    return app.exec();
}
