#include "QuitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The pipe between the handler and the event loop: [0] written by the
// handler, [1] read by the notifier. -1 while no TQuitSignals lives.
int pipeEnds[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (pipeEnds[0] >= 0 && ::write(pipeEnds[0], &byte, 1) < 0) {
        // A full pipe already holds a quit request; nothing more to do.
    }
    errno = saved;
}

void SetHandler(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}
} // namespace

TQuitSignals::TQuitSignals(QObject* parent) : QObject(parent) {
    if (pipeEnds[0] >= 0) return;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return;
    for (int fd : ends)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    pipeEnds[0] = ends[0];
    pipeEnds[1] = ends[1];
    notifier_ = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
    SetHandler(SIGINT, OnSignal);
    SetHandler(SIGTERM, OnSignal);
}

TQuitSignals::~TQuitSignals() {
    if (!notifier_) return;
    SetHandler(SIGINT, SIG_DFL);
    SetHandler(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void TQuitSignals::Drain() {
    unsigned char bytes[16];
    ssize_t n;
    bool any = false;
    while ((n = ::read(pipeEnds[1], bytes, sizeof bytes)) > 0) {
        lastSignal_ = bytes[n - 1];
        any = true;
    }
    if (any && OnQuit) OnQuit();
}
