#pragma once
// The chat benchmark's clients: plain non-blocking loopback sockets driven
// from one thread, and the description of the server under test they talk to.
//
// What must stay true:
//  - a message is cut at the server's end byte and stamped with the kernel's
//    receive time of the read that completed it (SO_TIMESTAMPNS), so a figure
//    never includes how late this process got round to reading;
//  - each client counts the sender's lines it received and notes whether they
//    came in order; other messages are answered as the server asks and kept
//    only while the clients register;
//  - while a TLineTimes is being recorded, every arrival of one of its lines
//    is stamped into it, and nothing else is.

#include <QtGlobal>

#include <chrono>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

// The wall clock in ns, the clock of the kernel's receive stamps.
qint64 RealNs();
// A non-blocking loopback connection with Nagle off and receive stamps on; -1 on failure.
int ConnectTo(int port);
// A loopback port free at the time of asking.
int FreePort();

struct TClient {
    int fd = -1;
    std::string in;  // bytes not yet cut into messages
    std::string out; // bytes not yet taken by the socket
    std::vector<std::string> messages;
    long lastLine = -1; // the highest line number seen from the sender
    long lines = 0;     // lines of the current phase received
    bool inOrder = true;
};

class TBenchClients;

// The server under test: how it starts, how a client joins the chat, how a
// chat line is sent and recognised.
class TServer {
public:
    virtual ~TServer() = default;
    virtual const char* Name() const = 0;
    // Starts the server on a free loopback port and returns it; 0 on failure.
    virtual int Start(int clients) = 0;
    virtual bool Register(TBenchClients& clients, TClient& c, int index) = 0;
    virtual char MessageEnd() const = 0;
    // The bytes of chat line i sent by client 0.
    virtual std::string Line(long i) const = 0;
    // The number of client 0's chat line in a received message, else -1.
    virtual long LineNumber(const std::string& message) const = 0;
    // Answers what the server asks of a client outside the chat (nothing by default).
    virtual void Answer(TBenchClients&, TClient&, const std::string&) {}
    virtual qint64 Pid() const = 0;
    // Ends the server; what it printed at the end, if anything.
    virtual std::string Stop() = 0;
};

// Per line of a latency run: the send, and the receivers' kernel stamps.
struct TLineTimes {
    std::vector<qint64> sentNs, lastNs;
    std::vector<int> arrivals;
    std::vector<double> deliveries; // ms, one per line and receiver
};

class TBenchClients {
public:
    explicit TBenchClients(TServer& server) : server_(server) {}
    ~TBenchClients() { Close(); }
    TBenchClients(const TBenchClients&) = delete;
    TBenchClients& operator=(const TBenchClients&) = delete;

    // Connects and registers count clients; false when one of them fails.
    bool Connect(int port, int count);
    void Close();
    size_t Size() const { return clients_.size(); }
    TClient& operator[](size_t i) { return clients_[i]; }

    void Send(TClient& c, const std::string& bytes);
    void Flush(TClient& c);
    // Pumps until a message of c contains what, at most ms.
    bool WaitFor(TClient& c, const std::string& what, int ms = 5000);
    // Reads and writes whatever the sockets allow, waiting at most timeout.
    void Pump(Clock::duration timeout);
    // Starts a new phase: no lines received, in order.
    void ResetCounts();
    // Stamps the sender's lines into times from now on; null stops.
    void Record(TLineTimes* times) { times_ = times; }

private:
    void ReadAll(TClient& c);
    void Message(TClient& c, const std::string& m, qint64 stampNs);

    TServer& server_;
    std::vector<TClient> clients_;
    bool keepMessages_ = true;
    TLineTimes* times_ = nullptr;
};
