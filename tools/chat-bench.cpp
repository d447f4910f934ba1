// zugaret-chat-bench: the chat host's fan-out, measured from outside.
//
//   zugaret-chat-bench [clients] [lines] [rate] [blast] [soak]
//   (defaults 50 1000 200 20000 100000)
//
// Starts build/bin/zugaret-peer --host on a free loopback port (its output to
// a file), connects and registers `clients` plain sockets, then:
//  1. fan-out latency: one client sends `lines` chat lines (60 characters
//     each) at `rate` lines per second; for each line, the time until the last of the others has
//     it; p50, p99 and the worst;
//  2. relay rate: the same client sends `blast` lines as fast as the host
//     takes them; lines per second until every other client has all of them,
//     in order, none lost;
//  3. soak: `soak` more lines; the host's resident memory before and after;
//  4. SIGTERM to the host, which prints its longest event-loop stall.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct TClient {
    int fd = -1;
    std::string in;  // bytes not yet cut into messages
    std::string out; // bytes not yet taken by the socket
    std::vector<std::string> messages;
    long lastLine = -1; // the highest line number seen from the sender
    long lines = 0;     // lines of the current phase received
    bool inOrder = true;
};

std::vector<TClient> clients;
std::vector<Clock::time_point> sentAt, lastAt;
std::vector<int> arrivals;
bool keepMessages = true;

int ConnectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

// One message from a client: chat lines of the sender are counted.
void Message(TClient& c, const char* m, size_t n, Clock::time_point now) {
    static const char prefix[] = "/TXT\xFE"
                                 "c00 > L";
    const size_t p = sizeof prefix - 1;
    if (n > p && std::memcmp(m, prefix, p) == 0) {
        const long line = std::strtol(std::string(m + p, n - p).c_str(), nullptr, 10);
        if (line != c.lastLine + 1) c.inOrder = false;
        c.lastLine = line;
        ++c.lines;
        if (line >= 0 && size_t(line) < arrivals.size()) {
            ++arrivals[line];
            lastAt[line] = now;
        }
        return;
    }
    if (keepMessages) c.messages.emplace_back(m, n);
}

// Reads and writes whatever the sockets allow, waiting at most timeout.
void Pump(Clock::duration timeout) {
    std::vector<pollfd> fds(clients.size());
    for (size_t i = 0; i < clients.size(); ++i)
        fds[i] = {clients[i].fd, short(POLLIN | (clients[i].out.empty() ? 0 : POLLOUT)), 0};
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    const timespec wait{time_t(ns / 1000000000), long(ns % 1000000000)};
    if (ppoll(fds.data(), fds.size(), &wait, nullptr) <= 0) return;
    const auto now = Clock::now();
    char buffer[65536];
    for (size_t i = 0; i < clients.size(); ++i) {
        TClient& c = clients[i];
        if (fds[i].revents & POLLOUT) {
            const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
            if (n > 0) c.out.erase(0, size_t(n));
        }
        if (!(fds[i].revents & POLLIN)) continue;
        for (;;) {
            const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            c.in.append(buffer, size_t(n));
        }
        size_t start = 0;
        for (size_t end; (end = c.in.find('\xFF', start)) != std::string::npos; start = end + 1)
            Message(c, c.in.data() + start, end - start, now);
        c.in.erase(0, start);
    }
}

void Send(TClient& c, const std::string& bytes) {
    c.out += bytes;
    const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n > 0) c.out.erase(0, size_t(n));
}

bool WaitFor(TClient& c, const char* what, int ms = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        for (const std::string& m : c.messages)
            if (m.rfind(what, 0) == 0) return true;
        Pump(std::chrono::milliseconds(10));
    }
    return false;
}

// A typed chat line of 60 characters, numbered.
std::string Line(long i) {
    char text[61];
    const int n = std::snprintf(text, sizeof text, "L%ld ", i);
    std::memset(text + n, 'x', sizeof text - 1 - size_t(n));
    std::string line("/TXT\xFE");
    line.append(text, sizeof text - 1);
    line += '\xFF';
    return line;
}

long ResidentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QRegularExpressionMatch m =
        QRegularExpression("VmRSS:\\s+(\\d+) kB").match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

// Sends count lines (numbered from 0) as fast as the host takes them and
// returns once every receiver has them all (or nothing moved for 10 s).
double Blast(long count) {
    arrivals.assign(size_t(count), 0);
    lastAt.assign(size_t(count), Clock::time_point());
    for (TClient& c : clients) {
        c.lastLine = -1;
        c.lines = 0;
        c.inOrder = true;
    }
    const long receivers = long(clients.size()) - 1;
    const auto start = Clock::now();
    long next = 0;
    auto lastProgress = start;
    long done = 0;
    while (done < count * receivers) {
        while (next < count && clients[0].out.size() < 65536)
            clients[0].out += Line(next++);
        Pump(std::chrono::milliseconds(1));
        long now = 0;
        for (size_t i = 1; i < clients.size(); ++i)
            now += clients[i].lines;
        if (now != done) lastProgress = Clock::now();
        done = now;
        if (Clock::now() - lastProgress > std::chrono::seconds(10)) break;
    }
    return Ms(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const int nClients = a.value(1, "50").toInt();
    const int nLines = a.value(2, "1000").toInt();
    const int rate = a.value(3, "200").toInt();
    const long blast = a.value(4, "20000").toLong();
    const long soak = a.value(5, "100000").toLong();

    QTemporaryDir dir;
    QFile ini(dir.filePath("ZuzPlak.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n");
    ini.close();
    QProcess host;
    host.setStandardOutputFile(dir.filePath("host.out"));
    host.start(QCoreApplication::applicationDirPath() + "/zugaret-peer",
               {"--nick", "Bench", "--host", "--port", "0", "--max-clients",
                QString::number(nClients), "--stats", "--dir", dir.path()});
    if (!host.waitForStarted()) {
        std::fprintf(stderr, "cannot start zugaret-peer\n");
        return 1;
    }
    int port = 0;
    for (int i = 0; i < 500 && !port; ++i) {
        QThread::msleep(10);
        QFile out(dir.filePath("host.out"));
        out.open(QIODevice::ReadOnly);
        const auto m = QRegularExpression("Servidor abierto en [^:]*:(\\d+)")
                           .match(QString::fromUtf8(out.readAll()));
        if (m.hasMatch()) port = m.captured(1).toInt();
    }
    if (!port) return 1;

    for (int i = 0; i < nClients; ++i) {
        TClient c;
        c.fd = ConnectTo(port);
        clients.push_back(c);
        char nick[16];
        std::snprintf(nick, sizeof nick, "c%02d", i);
        if (c.fd < 0 || !WaitFor(clients.back(), "/IDENT")) return 1;
        Send(clients.back(), std::string("/IDENT\xFE") + nick + "\xFF");
        if (!WaitFor(clients.back(), "/LIST")) return 1;
    }
    for (int i = 0; i < 50; ++i)
        Pump(std::chrono::milliseconds(2));
    keepMessages = false;
    for (TClient& c : clients)
        c.messages.clear();
    std::printf("%d clients registered on port %d\n", nClients, port);

    // 1. latency at a steady rate
    arrivals.assign(size_t(nLines), 0);
    lastAt.assign(size_t(nLines), Clock::time_point());
    sentAt.assign(size_t(nLines), Clock::time_point());
    const auto t0 = Clock::now();
    const auto period = std::chrono::nanoseconds(1000000000LL / rate);
    int next = 0;
    const long receivers = nClients - 1;
    while (true) {
        const auto now = Clock::now();
        if (next < nLines && now >= t0 + next * period) {
            sentAt[size_t(next)] = Clock::now();
            Send(clients[0], Line(next));
            ++next;
        }
        const bool all = next == nLines && std::all_of(arrivals.begin(), arrivals.end(),
                                                       [&](int n) { return n == receivers; });
        if (all || now - t0 > period * nLines + std::chrono::seconds(10)) break;
        Pump(next < nLines ? t0 + next * period - Clock::now() : std::chrono::milliseconds(1));
    }
    std::vector<double> latency;
    long lost = 0;
    for (int i = 0; i < nLines; ++i) {
        if (arrivals[size_t(i)] != receivers) {
            ++lost;
            continue;
        }
        latency.push_back(Ms(lastAt[size_t(i)] - sentAt[size_t(i)]));
    }
    std::sort(latency.begin(), latency.end());
    auto pct = [&](double p) {
        return latency.empty() ? -1.0 : latency[size_t(p * double(latency.size() - 1))];
    };
    std::printf("fan-out to %ld at %d lines/s over %d lines: p50 %.3f ms, p99 %.3f ms, worst %.3f "
                "ms, lost %ld\n",
                receivers, rate, nLines, pct(0.5), pct(0.99), latency.empty() ? -1 : latency.back(),
                lost);

    // 2. the most lines per second relayed
    const double ms = Blast(blast);
    long complete = 0;
    bool ordered = true;
    for (size_t i = 1; i < clients.size(); ++i) {
        complete += clients[i].lines == blast;
        ordered = ordered && clients[i].inOrder;
    }
    std::printf("relay: %ld lines to each of %ld in %.0f ms = %.0f lines/s (%.0f messages/s out); "
                "%ld of %ld receivers complete, %s\n",
                blast, receivers, ms, blast * 1000.0 / ms, blast * receivers * 1000.0 / ms,
                complete, receivers, ordered ? "in order" : "OUT OF ORDER");

    // 3. soak
    const long before = ResidentKiB(host.processId());
    Blast(soak);
    const long after = ResidentKiB(host.processId());
    std::printf("soak: %ld more lines; host resident memory %ld KiB before, %ld KiB after\n", soak,
                before, after);

    host.terminate();
    host.waitForFinished(10000);
    QFile out(dir.filePath("host.out"));
    out.open(QIODevice::ReadOnly);
    const QString text = QString::fromUtf8(out.readAll());
    const qsizetype at = text.lastIndexOf("stats: ");
    std::printf("host %s; exit status %d\n",
                at < 0 ? "printed no stats" : qPrintable(text.mid(at).trimmed()), host.exitCode());
    for (TClient& c : clients)
        close(c.fd);
    return 0;
}
