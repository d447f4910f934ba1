// zugaret-chat-bench: the chat host's fan-out, measured from outside, alone
// or side by side with an IRC server doing the same work.
//
//   zugaret-chat-bench [clients] [lines] [rate] [blast] [soak]
//   (defaults 50 1000 200 20000 100000)
//   zugaret-chat-bench --ngircd /usr/sbin/ngircd [--rounds 3] [clients] [lines] [rate] [blast]
//
// Starts build/bin/zugaret-peer --host on a free loopback port (its output to
// a file), connects and registers `clients` plain sockets, then:
//  1. fan-out latency: one client sends `lines` chat lines (60 characters
//     each) at `rate` lines per second; for each line and each of the others,
//     the time from just before the send until the receiver's kernel stamped
//     the segment that completed the line (SO_TIMESTAMPNS, read with recvmsg,
//     so the figure does not include how late this process got to read it);
//     p50, p99 and the worst over every delivery, and the same per line for
//     the last receiver;
//  2. relay rate: the same client sends `blast` lines as fast as the server
//     takes them, never more than Window lines ahead of the slowest receiver;
//     lines per second until every other client has all of them, in order,
//     none lost;
//  3. soak (alone only): `soak` more lines; the host's resident memory before
//     and after;
//  4. SIGTERM to the host, which prints its longest event-loop stall.
//
// With --ngircd the same workload runs against that IRC server too (started
// here on its own free loopback port with a configuration file in a
// temporary folder; the clients speak NICK, USER, JOIN and PRIVMSG to one
// channel), in alternating rounds: host, IRC server, host, ... Each round
// starts its server afresh. The best of the rounds for each figure is
// printed for both, with the ratio host / IRC server.
#include <QCommandLineParser>
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
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Lines the sender of the relay run may be ahead of the slowest receiver:
// enough that neither server waits for the clients, few enough that no
// server's per-client buffer limit is reached.
constexpr long Window = 2000;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

qint64 RealNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
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

// The server under test: how it starts, how a client joins the chat, how a
// chat line is sent and recognised.
class TServer {
public:
    virtual ~TServer() = default;
    virtual const char* Name() const = 0;
    // Starts the server on a free loopback port and returns it; 0 on failure.
    virtual int Start(int clients) = 0;
    virtual bool Register(TClient& c, int index) = 0;
    virtual char MessageEnd() const = 0;
    // The bytes of chat line i sent by client 0.
    virtual std::string Line(long i) const = 0;
    // The number of client 0's chat line in a received message, else -1.
    virtual long LineNumber(const std::string& message) const = 0;
    // Answers what the server asks of a client outside the chat (nothing by default).
    virtual void Answer(TClient&, const std::string&) {}
    virtual qint64 Pid() const = 0;
    // Ends the server; what it printed at the end, if anything.
    virtual std::string Stop() = 0;
};

std::vector<TClient> clients;
TServer* server = nullptr;
bool keepMessages = true;

// Per line of the latency run: the send, and the receivers' kernel stamps.
std::vector<qint64> sentNs, lastNs;
std::vector<int> arrivals;
std::vector<double> deliveries; // ms, one per line and receiver
bool timing = false;

int ConnectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// One message a client received, completed by a segment stamped at stampNs.
void Message(TClient& c, const std::string& m, qint64 stampNs) {
    const long line = server->LineNumber(m);
    if (line < 0) {
        server->Answer(c, m);
        if (keepMessages) c.messages.push_back(m);
        return;
    }
    if (line != c.lastLine + 1) c.inOrder = false;
    c.lastLine = line;
    ++c.lines;
    if (!timing || size_t(line) >= arrivals.size()) return;
    ++arrivals[size_t(line)];
    lastNs[size_t(line)] = std::max(lastNs[size_t(line)], stampNs);
    deliveries.push_back((stampNs - sentNs[size_t(line)]) / 1e6);
}

// Reads what the socket holds, cutting messages after every read with that
// read's kernel stamp.
void ReadAll(TClient& c) {
    char buffer[65536];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    for (;;) {
        iovec v{buffer, sizeof buffer};
        msghdr h{};
        h.msg_iov = &v;
        h.msg_iovlen = 1;
        h.msg_control = control;
        h.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(c.fd, &h, 0);
        if (n <= 0) return;
        qint64 stamp = 0;
        for (cmsghdr* m = CMSG_FIRSTHDR(&h); m; m = CMSG_NXTHDR(&h, m))
            if (m->cmsg_level == SOL_SOCKET && m->cmsg_type == SCM_TIMESTAMPNS) {
                timespec t{};
                std::memcpy(&t, CMSG_DATA(m), sizeof t);
                stamp = qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
            }
        if (stamp == 0) stamp = RealNs();
        c.in.append(buffer, size_t(n));
        const char end = server->MessageEnd();
        size_t start = 0;
        for (size_t e; (e = c.in.find(end, start)) != std::string::npos; start = e + 1) {
            size_t length = e - start;
            if (end == '\n' && length > 0 && c.in[e - 1] == '\r') --length;
            Message(c, c.in.substr(start, length), stamp);
        }
        c.in.erase(0, start);
    }
}

void Flush(TClient& c) {
    if (c.out.empty()) return;
    const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n > 0) c.out.erase(0, size_t(n));
}

// Reads and writes whatever the sockets allow, waiting at most timeout.
void Pump(Clock::duration timeout) {
    std::vector<pollfd> fds(clients.size());
    for (size_t i = 0; i < clients.size(); ++i)
        fds[i] = {clients[i].fd, short(POLLIN | (clients[i].out.empty() ? 0 : POLLOUT)), 0};
    const auto ns =
        std::max<qint64>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count());
    const timespec wait{time_t(ns / 1000000000), long(ns % 1000000000)};
    if (ppoll(fds.data(), fds.size(), &wait, nullptr) <= 0) return;
    for (size_t i = 0; i < clients.size(); ++i) {
        if (fds[i].revents & POLLOUT) Flush(clients[i]);
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ReadAll(clients[i]);
    }
}

void Send(TClient& c, const std::string& bytes) {
    c.out += bytes;
    Flush(c);
}

bool WaitFor(TClient& c, const std::string& what, int ms = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        for (const std::string& m : c.messages)
            if (m.find(what) != std::string::npos) return true;
        Pump(std::chrono::milliseconds(10));
    }
    return false;
}

// A typed chat line of 60 characters, numbered.
std::string Text(long i) {
    char text[61];
    const int n = std::snprintf(text, sizeof text, "L%ld ", i);
    std::memset(text + n, 'x', sizeof text - 1 - size_t(n));
    return std::string(text, sizeof text - 1);
}

std::string Nick(int index) {
    char nick[16];
    std::snprintf(nick, sizeof nick, "c%02d", index);
    return nick;
}

// The number after prefix at the start of m (at position at), else -1.
long NumberAfter(const std::string& m, size_t at, const char* prefix) {
    const size_t p = std::strlen(prefix);
    if (m.size() <= at + p || m.compare(at, p, prefix) != 0) return -1;
    return std::strtol(m.c_str() + at + p, nullptr, 10);
}

long ResidentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QRegularExpressionMatch m =
        QRegularExpression("VmRSS:\\s+(\\d+) kB").match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

// CPU time (user and system) the process has used so far, in ms.
double CpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses.
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13) return -1;
    return (f[11].toDouble() + f[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

QString LoadAverage() {
    QFile f("/proc/loadavg");
    if (!f.open(QIODevice::ReadOnly)) return "?";
    return QString::fromLatin1(f.readAll()).section(' ', 0, 2);
}

// zugaret-peer --host, from the folder of this tool.
class TZugaretHost final : public TServer {
public:
    const char* Name() const override { return "zugaret-peer"; }

    int Start(int count) override {
        dir_ = std::make_unique<QTemporaryDir>();
        QFile ini(dir_->filePath("ZuzPlak.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n");
        ini.close();
        process_.setStandardOutputFile(dir_->filePath("host.out"));
        process_.start(QCoreApplication::applicationDirPath() + "/zugaret-peer",
                       {"--nick", "Bench", "--host", "--port", "0", "--max-clients",
                        QString::number(count), "--stats", "--dir", dir_->path()});
        if (!process_.waitForStarted()) return 0;
        for (int i = 0; i < 500; ++i) {
            QThread::msleep(10);
            const auto m = QRegularExpression("Servidor abierto en [^:]*:(\\d+)").match(Output());
            if (m.hasMatch()) return m.captured(1).toInt();
        }
        return 0;
    }

    bool Register(TClient& c, int index) override {
        if (!WaitFor(c, "/IDENT")) return false;
        Send(c, "/IDENT\xFE" + Nick(index) + "\xFF");
        return WaitFor(c, "/LIST");
    }

    char MessageEnd() const override { return '\xFF'; }
    std::string Line(long i) const override { return "/TXT\xFE" + Text(i) + "\xFF"; }
    long LineNumber(const std::string& m) const override {
        return NumberAfter(m, 0,
                           "/TXT\xFE"
                           "c00 > L");
    }
    qint64 Pid() const override { return process_.processId(); }

    std::string Stop() override {
        process_.terminate();
        process_.waitForFinished(10000);
        const QString text = Output();
        const qsizetype at = text.lastIndexOf("stats: ");
        return (at < 0 ? QString("printed no stats") : text.mid(at).section('\n', 0, 0))
                   .toStdString() +
               "; exit status " + std::to_string(process_.exitCode());
    }

private:
    QString Output() const {
        QFile out(dir_->filePath("host.out"));
        out.open(QIODevice::ReadOnly);
        return QString::fromUtf8(out.readAll());
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess process_;
};

// An IRC server (ngircd) with every client in one channel.
class TIrcServer final : public TServer {
public:
    explicit TIrcServer(QString program) : program_(std::move(program)) {}
    const char* Name() const override { return "ngircd"; }

    int Start(int) override {
        dir_ = std::make_unique<QTemporaryDir>();
        const int port = FreePort();
        QFile conf(dir_->filePath("ngircd.conf"));
        conf.open(QIODevice::WriteOnly);
        // No look-ups, no limits on connections per address, no penalties
        // for clients that send fast, no pings during a run.
        conf.write(QStringLiteral("[Global]\nName = bench.invalid\nInfo = chat bench\n"
                                  "Listen = 127.0.0.1\nPorts = %1\nMotdPhrase = bench\n"
                                  "[Limits]\nMaxConnections = 0\nMaxConnectionsIP = 0\n"
                                  "MaxJoins = 0\nMaxPenaltyTime = 0\nPingTimeout = 3600\n"
                                  "PongTimeout = 3600\n"
                                  "[Options]\nDNS = no\nIdent = no\nPAM = no\n")
                       .arg(port)
                       .toLatin1());
        conf.close();
        process_.setStandardOutputFile(dir_->filePath("ngircd.out"));
        process_.setStandardErrorFile(dir_->filePath("ngircd.err"));
        process_.start(program_, {"--nodaemon", "--config", conf.fileName()});
        if (!process_.waitForStarted()) return 0;
        for (int i = 0; i < 500; ++i) {
            QThread::msleep(10);
            if (const int fd = ConnectTo(port); fd >= 0) {
                close(fd);
                return port;
            }
        }
        return 0;
    }

    bool Register(TClient& c, int index) override {
        const std::string nick = Nick(index);
        Send(c, "NICK " + nick + "\r\nUSER " + nick + " 0 * :" + nick + "\r\nJOIN #bench\r\n");
        return WaitFor(c, " 366 " + nick + " #bench ");
    }

    char MessageEnd() const override { return '\n'; }
    std::string Line(long i) const override { return "PRIVMSG #bench :" + Text(i) + "\r\n"; }
    long LineNumber(const std::string& m) const override {
        if (m.compare(0, 5, ":c00!") != 0) return -1;
        const size_t at = m.find(" PRIVMSG #bench :L");
        return at == std::string::npos ? -1 : NumberAfter(m, at, " PRIVMSG #bench :L");
    }
    void Answer(TClient& c, const std::string& m) override {
        if (m.compare(0, 5, "PING ") == 0) Send(c, "PONG " + m.substr(5) + "\r\n");
    }
    qint64 Pid() const override { return process_.processId(); }

    std::string Stop() override {
        process_.terminate();
        process_.waitForFinished(10000);
        return "exit status " + std::to_string(process_.exitCode());
    }

private:
    QString program_;
    std::unique_ptr<QTemporaryDir> dir_;
    QProcess process_;
};

bool ConnectClients(int port, int count) {
    for (int i = 0; i < count; ++i) {
        clients.push_back(TClient{});
        clients.back().fd = ConnectTo(port);
        if (clients.back().fd < 0 || !server->Register(clients.back(), i)) return false;
    }
    for (int i = 0; i < 50; ++i)
        Pump(std::chrono::milliseconds(2));
    keepMessages = false;
    for (TClient& c : clients)
        c.messages.clear();
    return true;
}

void CloseClients() {
    for (TClient& c : clients)
        close(c.fd);
    clients.clear();
    keepMessages = true;
}

void ResetCounts() {
    for (TClient& c : clients) {
        c.lastLine = -1;
        c.lines = 0;
        c.inOrder = true;
    }
}

double Percentile(const std::vector<double>& sorted, double p) {
    return sorted.empty() ? -1.0 : sorted[size_t(p * double(sorted.size() - 1))];
}

struct TLatency {
    double p50 = -1, p99 = -1, worst = -1; // every delivery
    double lastP50 = -1, lastP99 = -1;     // the last receiver of each line
    long lost = 0;                         // lines some receiver never had
};

// Client 0 sends count lines at rate lines per second.
TLatency Latency(int count, int rate) {
    const long receivers = long(clients.size()) - 1;
    ResetCounts();
    arrivals.assign(size_t(count), 0);
    lastNs.assign(size_t(count), 0);
    sentNs.assign(size_t(count), 0);
    deliveries.clear();
    deliveries.reserve(size_t(count * receivers));
    timing = true;
    const auto t0 = Clock::now();
    const auto period = std::chrono::nanoseconds(1000000000LL / rate);
    long next = 0;
    long complete = 0;
    while (true) {
        const auto now = Clock::now();
        if (next < count && now >= t0 + next * period) {
            sentNs[size_t(next)] = RealNs();
            Send(clients[0], server->Line(next));
            ++next;
        }
        while (complete < next && arrivals[size_t(complete)] == receivers)
            ++complete;
        if (complete == count || now - t0 > period * count + std::chrono::seconds(10)) break;
        Pump(next < count ? t0 + next * period - Clock::now() : std::chrono::milliseconds(1));
    }
    timing = false;
    TLatency r;
    std::vector<double> last;
    for (long i = 0; i < count; ++i) {
        if (arrivals[size_t(i)] != receivers)
            ++r.lost;
        else
            last.push_back((lastNs[size_t(i)] - sentNs[size_t(i)]) / 1e6);
    }
    std::sort(last.begin(), last.end());
    std::sort(deliveries.begin(), deliveries.end());
    r.p50 = Percentile(deliveries, 0.5);
    r.p99 = Percentile(deliveries, 0.99);
    r.worst = deliveries.empty() ? -1 : deliveries.back();
    r.lastP50 = Percentile(last, 0.5);
    r.lastP99 = Percentile(last, 0.99);
    return r;
}

struct TRelay {
    double ms = 0;
    double linesPerSecond = 0;
    long complete = 0; // receivers with every line
    bool ordered = true;
};

// Sends count lines (numbered from 0) as fast as the server takes them and
// returns once every receiver has them all (or nothing moved for 10 s).
TRelay Blast(long count) {
    ResetCounts();
    const long receivers = long(clients.size()) - 1;
    const auto start = Clock::now();
    long next = 0;
    auto lastProgress = start;
    long done = 0;
    while (done < count * receivers) {
        long slowest = count;
        for (size_t i = 1; i < clients.size(); ++i)
            slowest = std::min(slowest, clients[i].lines);
        while (next < count && next - slowest < Window && clients[0].out.size() < 65536)
            clients[0].out += server->Line(next++);
        Flush(clients[0]);
        Pump(std::chrono::milliseconds(1));
        long now = 0;
        for (size_t i = 1; i < clients.size(); ++i)
            now += clients[i].lines;
        if (now != done) lastProgress = Clock::now();
        done = now;
        if (Clock::now() - lastProgress > std::chrono::seconds(10)) break;
    }
    TRelay r;
    r.ms = Ms(Clock::now() - start);
    r.linesPerSecond = count * 1000.0 / r.ms;
    for (size_t i = 1; i < clients.size(); ++i) {
        r.complete += clients[i].lines == count;
        r.ordered = r.ordered && clients[i].inOrder;
    }
    return r;
}

struct TRound {
    TLatency latency;
    TRelay relay;
    double latencyCpuMs = 0, relayCpuMs = 0; // the server's
    std::string end;
};

void Print(const char* name, long receivers, int rate, int lines, const TLatency& l, long blast,
           const TRelay& r) {
    std::printf("  %-12s fan-out to %ld at %d lines/s over %d lines: each receiver p50 %.3f ms, "
                "p99 %.3f ms, worst %.3f ms; last receiver p50 %.3f ms, p99 %.3f ms; lost %ld\n",
                name, receivers, rate, lines, l.p50, l.p99, l.worst, l.lastP50, l.lastP99, l.lost);
    std::printf(
        "  %-12s relay: %ld lines to each of %ld in %.0f ms = %.0f lines/s (%.0f messages/s "
        "out); %ld of %ld receivers complete, %s\n",
        name, blast, receivers, r.ms, r.linesPerSecond, r.linesPerSecond * receivers, r.complete,
        receivers, r.ordered ? "in order" : "OUT OF ORDER");
}

// One round against one server; false when it could not be set up.
bool Round(TServer& s, int nClients, int nLines, int rate, long blast, long soak, TRound& out) {
    server = &s;
    const int port = s.Start(nClients);
    if (!port || !ConnectClients(port, nClients)) {
        std::fprintf(stderr, "%s: cannot start or register %d clients\n", s.Name(), nClients);
        CloseClients();
        s.Stop();
        return false;
    }
    const double cpu0 = CpuMs(s.Pid());
    out.latency = Latency(nLines, rate);
    const double cpu1 = CpuMs(s.Pid());
    out.relay = Blast(blast);
    out.latencyCpuMs = cpu1 - cpu0;
    out.relayCpuMs = CpuMs(s.Pid()) - cpu1;
    Print(s.Name(), nClients - 1, rate, nLines, out.latency, blast, out.relay);
    std::printf("  %-12s CPU time: %.0f ms in the fan-out run (%.1f us per line), %.0f ms in the "
                "relay run (%.1f us per line)\n",
                s.Name(), out.latencyCpuMs, out.latencyCpuMs * 1000 / nLines, out.relayCpuMs,
                blast > 0 ? out.relayCpuMs * 1000 / double(blast) : 0.0);
    if (soak > 0) {
        const long before = ResidentKiB(s.Pid());
        Blast(soak);
        const long after = ResidentKiB(s.Pid());
        std::printf("  %-12s soak: %ld more lines; resident memory %ld KiB before, %ld KiB after\n",
                    s.Name(), soak, before, after);
    }
    CloseClients();
    out.end = s.Stop();
    std::printf("  %-12s %s\n", s.Name(), out.end.c_str());
    std::fflush(stdout);
    return true;
}

TRound Best(const std::vector<TRound>& rounds) {
    TRound b = rounds.front();
    for (const TRound& r : rounds) {
        b.latency.p50 = std::min(b.latency.p50, r.latency.p50);
        b.latency.p99 = std::min(b.latency.p99, r.latency.p99);
        b.latency.worst = std::min(b.latency.worst, r.latency.worst);
        b.latency.lastP50 = std::min(b.latency.lastP50, r.latency.lastP50);
        b.latency.lastP99 = std::min(b.latency.lastP99, r.latency.lastP99);
        b.latency.lost = std::max(b.latency.lost, r.latency.lost);
        if (r.relay.linesPerSecond > b.relay.linesPerSecond) b.relay = r.relay;
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"ngircd", "Also run the workload against this IRC server.", "program"});
    parser.addOption({"rounds", "Alternating rounds with --ngircd (default 3).", "n", "3"});
    parser.addPositionalArgument("clients lines rate blast soak",
                                 "defaults 50 1000 200 20000 100000");
    parser.addHelpOption();
    parser.process(app);
    const QStringList a = parser.positionalArguments();
    const int nClients = std::max(2, a.value(0, "50").toInt());
    const int nLines = std::max(1, a.value(1, "1000").toInt());
    const int rate = std::max(1, a.value(2, "200").toInt());
    const long blast = a.value(3, "20000").toLong();
    const bool versus = parser.isSet("ngircd");
    const long soak = versus ? 0 : a.value(4, "100000").toLong();
    const int nRounds = versus ? std::max(1, parser.value("rounds").toInt()) : 1;

    TZugaretHost host;
    std::unique_ptr<TIrcServer> irc;
    if (versus) irc = std::make_unique<TIrcServer>(parser.value("ngircd"));
    std::printf("%d clients, %d lines at %d lines/s, relay of %ld lines; load average %s\n",
                nClients, nLines, rate, blast, qPrintable(LoadAverage()));
    std::vector<TRound> ours, theirs;
    for (int round = 1; round <= nRounds; ++round) {
        if (versus) std::printf("round %d\n", round);
        TRound r;
        if (!Round(host, nClients, nLines, rate, blast, soak, r)) return 1;
        ours.push_back(r);
        if (!versus) continue;
        if (!Round(*irc, nClients, nLines, rate, blast, 0, r)) return 1;
        theirs.push_back(r);
    }
    if (versus) {
        const TRound o = Best(ours), t = Best(theirs);
        std::printf("best of %d rounds:\n", nRounds);
        Print(host.Name(), nClients - 1, rate, nLines, o.latency, blast, o.relay);
        Print(irc->Name(), nClients - 1, rate, nLines, t.latency, blast, t.relay);
        std::printf("ratio %s / %s: each receiver p50 %.2f, p99 %.2f; last receiver p50 %.2f, "
                    "p99 %.2f; relay rate %.2f\n",
                    host.Name(), irc->Name(), o.latency.p50 / t.latency.p50,
                    o.latency.p99 / t.latency.p99, o.latency.lastP50 / t.latency.lastP50,
                    o.latency.lastP99 / t.latency.lastP99,
                    o.relay.linesPerSecond / t.relay.linesPerSecond);
    }
    std::printf("load average %s\n", qPrintable(LoadAverage()));
    return 0;
}
