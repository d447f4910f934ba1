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
#include "ChatClients.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Lines the sender of the relay run may be ahead of the slowest receiver:
// enough that neither server waits for the clients, few enough that no
// server's per-client buffer limit is reached.
constexpr long Window = 2000;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
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

    bool Register(TBenchClients& clients, TClient& c, int index) override {
        if (!clients.WaitFor(c, "/IDENT")) return false;
        clients.Send(c, "/IDENT\xFE" + Nick(index) + "\xFF");
        return clients.WaitFor(c, "/LIST");
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

    bool Register(TBenchClients& clients, TClient& c, int index) override {
        const std::string nick = Nick(index);
        clients.Send(c,
                     "NICK " + nick + "\r\nUSER " + nick + " 0 * :" + nick + "\r\nJOIN #bench\r\n");
        return clients.WaitFor(c, " 366 " + nick + " #bench ");
    }

    char MessageEnd() const override { return '\n'; }
    std::string Line(long i) const override { return "PRIVMSG #bench :" + Text(i) + "\r\n"; }
    long LineNumber(const std::string& m) const override {
        if (m.compare(0, 5, ":c00!") != 0) return -1;
        const size_t at = m.find(" PRIVMSG #bench :L");
        return at == std::string::npos ? -1 : NumberAfter(m, at, " PRIVMSG #bench :L");
    }
    void Answer(TBenchClients& clients, TClient& c, const std::string& m) override {
        if (m.compare(0, 5, "PING ") == 0) clients.Send(c, "PONG " + m.substr(5) + "\r\n");
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

double Percentile(const std::vector<double>& sorted, double p) {
    return sorted.empty() ? -1.0 : sorted[size_t(p * double(sorted.size() - 1))];
}

struct TLatency {
    double p50 = -1, p99 = -1, worst = -1; // every delivery
    double lastP50 = -1, lastP99 = -1;     // the last receiver of each line
    long lost = 0;                         // lines some receiver never had
};

// Client 0 sends count lines at rate lines per second, stamping each send
// into times; returns once every receiver has them all (or 10 s after the last).
void SendTimed(TBenchClients& clients, TServer& server, int count, int rate, TLineTimes& times) {
    const long receivers = long(clients.Size()) - 1;
    const auto t0 = Clock::now();
    const auto period = std::chrono::nanoseconds(1000000000LL / rate);
    long next = 0;
    long complete = 0;
    while (true) {
        const auto now = Clock::now();
        if (next < count && now >= t0 + next * period) {
            times.sentNs[size_t(next)] = RealNs();
            clients.Send(clients[0], server.Line(next));
            ++next;
        }
        while (complete < next && times.arrivals[size_t(complete)] == receivers)
            ++complete;
        if (complete == count || now - t0 > period * count + std::chrono::seconds(10)) break;
        clients.Pump(next < count ? t0 + next * period - Clock::now()
                                  : std::chrono::milliseconds(1));
    }
}

TLatency Summarise(TLineTimes& times, long receivers) {
    TLatency r;
    std::vector<double> last;
    for (size_t i = 0; i < times.arrivals.size(); ++i) {
        if (times.arrivals[i] != receivers)
            ++r.lost;
        else
            last.push_back((times.lastNs[i] - times.sentNs[i]) / 1e6);
    }
    std::vector<double>& deliveries = times.deliveries;
    std::sort(last.begin(), last.end());
    std::sort(deliveries.begin(), deliveries.end());
    r.p50 = Percentile(deliveries, 0.5);
    r.p99 = Percentile(deliveries, 0.99);
    r.worst = deliveries.empty() ? -1 : deliveries.back();
    r.lastP50 = Percentile(last, 0.5);
    r.lastP99 = Percentile(last, 0.99);
    return r;
}

// Client 0 sends count lines at rate lines per second.
TLatency Latency(TBenchClients& clients, TServer& server, int count, int rate) {
    const long receivers = long(clients.Size()) - 1;
    clients.ResetCounts();
    TLineTimes times;
    times.arrivals.assign(size_t(count), 0);
    times.lastNs.assign(size_t(count), 0);
    times.sentNs.assign(size_t(count), 0);
    times.deliveries.reserve(size_t(count * receivers));
    clients.Record(&times);
    SendTimed(clients, server, count, rate, times);
    clients.Record(nullptr);
    return Summarise(times, receivers);
}

struct TRelay {
    double ms = 0;
    double linesPerSecond = 0;
    long complete = 0; // receivers with every line
    bool ordered = true;
};

// Sends count lines (numbered from 0) as fast as the server takes them and
// returns once every receiver has them all (or nothing moved for 10 s).
TRelay Blast(TBenchClients& clients, TServer& server, long count) {
    clients.ResetCounts();
    const long receivers = long(clients.Size()) - 1;
    const auto start = Clock::now();
    long next = 0;
    auto lastProgress = start;
    long done = 0;
    while (done < count * receivers) {
        long slowest = count;
        for (size_t i = 1; i < clients.Size(); ++i)
            slowest = std::min(slowest, clients[i].lines);
        while (next < count && next - slowest < Window && clients[0].out.size() < 65536)
            clients[0].out += server.Line(next++);
        clients.Flush(clients[0]);
        clients.Pump(std::chrono::milliseconds(1));
        long now = 0;
        for (size_t i = 1; i < clients.Size(); ++i)
            now += clients[i].lines;
        if (now != done) lastProgress = Clock::now();
        done = now;
        if (Clock::now() - lastProgress > std::chrono::seconds(10)) break;
    }
    TRelay r;
    r.ms = Ms(Clock::now() - start);
    r.linesPerSecond = count * 1000.0 / r.ms;
    for (size_t i = 1; i < clients.Size(); ++i) {
        r.complete += clients[i].lines == count;
        r.ordered = r.ordered && clients[i].inOrder;
    }
    return r;
}

// What a round asks of a server.
struct TWorkload {
    int clients = 50;
    int lines = 1000;
    int rate = 200;
    long blast = 20000;
    long soak = 100000;
};

struct TRound {
    TLatency latency;
    TRelay relay;
    double latencyCpuMs = 0, relayCpuMs = 0; // the server's
    std::string end;
};

void Print(const char* name, const TWorkload& w, const TLatency& l, const TRelay& r) {
    const long receivers = w.clients - 1;
    std::printf("  %-12s fan-out to %ld at %d lines/s over %d lines: each receiver p50 %.3f ms, "
                "p99 %.3f ms, worst %.3f ms; last receiver p50 %.3f ms, p99 %.3f ms; lost %ld\n",
                name, receivers, w.rate, w.lines, l.p50, l.p99, l.worst, l.lastP50, l.lastP99,
                l.lost);
    std::printf(
        "  %-12s relay: %ld lines to each of %ld in %.0f ms = %.0f lines/s (%.0f messages/s "
        "out); %ld of %ld receivers complete, %s\n",
        name, w.blast, receivers, r.ms, r.linesPerSecond, r.linesPerSecond * receivers, r.complete,
        receivers, r.ordered ? "in order" : "OUT OF ORDER");
}

// The fan-out and relay runs with the server's CPU time for each, printed.
TRound Measure(TBenchClients& clients, TServer& s, const TWorkload& w) {
    TRound out;
    const double cpu0 = CpuMs(s.Pid());
    out.latency = Latency(clients, s, w.lines, w.rate);
    const double cpu1 = CpuMs(s.Pid());
    out.relay = Blast(clients, s, w.blast);
    out.latencyCpuMs = cpu1 - cpu0;
    out.relayCpuMs = CpuMs(s.Pid()) - cpu1;
    Print(s.Name(), w, out.latency, out.relay);
    std::printf("  %-12s CPU time: %.0f ms in the fan-out run (%.1f us per line), %.0f ms in the "
                "relay run (%.1f us per line)\n",
                s.Name(), out.latencyCpuMs, out.latencyCpuMs * 1000 / w.lines, out.relayCpuMs,
                w.blast > 0 ? out.relayCpuMs * 1000 / double(w.blast) : 0.0);
    return out;
}

void Soak(TBenchClients& clients, TServer& s, long lines) {
    const long before = ResidentKiB(s.Pid());
    Blast(clients, s, lines);
    const long after = ResidentKiB(s.Pid());
    std::printf("  %-12s soak: %ld more lines; resident memory %ld KiB before, %ld KiB after\n",
                s.Name(), lines, before, after);
}

// One round against one server; false when it could not be set up.
bool Round(TServer& s, const TWorkload& w, TRound& out) {
    TBenchClients clients(s);
    const int port = s.Start(w.clients);
    if (!port || !clients.Connect(port, w.clients)) {
        std::fprintf(stderr, "%s: cannot start or register %d clients\n", s.Name(), w.clients);
        clients.Close();
        s.Stop();
        return false;
    }
    out = Measure(clients, s, w);
    if (w.soak > 0) Soak(clients, s, w.soak);
    clients.Close();
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

void PrintComparison(const TServer& host, const TServer& irc, const TWorkload& w, int nRounds,
                     const std::vector<TRound>& ours, const std::vector<TRound>& theirs) {
    const TRound o = Best(ours), t = Best(theirs);
    std::printf("best of %d rounds:\n", nRounds);
    Print(host.Name(), w, o.latency, o.relay);
    Print(irc.Name(), w, t.latency, t.relay);
    std::printf("ratio %s / %s: each receiver p50 %.2f, p99 %.2f; last receiver p50 %.2f, "
                "p99 %.2f; relay rate %.2f\n",
                host.Name(), irc.Name(), o.latency.p50 / t.latency.p50,
                o.latency.p99 / t.latency.p99, o.latency.lastP50 / t.latency.lastP50,
                o.latency.lastP99 / t.latency.lastP99,
                o.relay.linesPerSecond / t.relay.linesPerSecond);
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
    const bool versus = parser.isSet("ngircd");
    TWorkload w;
    w.clients = std::max(2, a.value(0, "50").toInt());
    w.lines = std::max(1, a.value(1, "1000").toInt());
    w.rate = std::max(1, a.value(2, "200").toInt());
    w.blast = a.value(3, "20000").toLong();
    w.soak = versus ? 0 : a.value(4, "100000").toLong();
    const int nRounds = versus ? std::max(1, parser.value("rounds").toInt()) : 1;

    TZugaretHost host;
    std::unique_ptr<TIrcServer> irc;
    if (versus) irc = std::make_unique<TIrcServer>(parser.value("ngircd"));
    std::printf("%d clients, %d lines at %d lines/s, relay of %ld lines; load average %s\n",
                w.clients, w.lines, w.rate, w.blast, qPrintable(LoadAverage()));
    std::vector<TRound> ours, theirs;
    for (int round = 1; round <= nRounds; ++round) {
        if (versus) std::printf("round %d\n", round);
        TRound r;
        if (!Round(host, w, r)) return 1;
        ours.push_back(r);
        if (!versus) continue;
        if (!Round(*irc, w, r)) return 1;
        theirs.push_back(r);
    }
    if (versus) PrintComparison(host, *irc, w, nRounds, ours, theirs);
    std::printf("load average %s\n", qPrintable(LoadAverage()));
    return 0;
}
