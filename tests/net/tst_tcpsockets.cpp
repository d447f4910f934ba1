// TCP components on loopback: the order of events and states the chat relies
// on, failures and their numbers, reads in 1024-byte slices, queued sends and
// their order wherever they are made, what a read's handlers send leaving in
// one write, slow and stalled peers, handlers that close or destroy the
// component, and many clients coming and going.

#include "TcpSockets.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <linux/tcp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using S = TSocketStatus;

namespace {

QString FreePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return QString();
    return QString::number(probe.serverPort());
}

QByteArray RandomBytes(QRandomGenerator& rng, int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(rng.bounded(256));
    return bytes;
}

// Piece number n of a stream: its number, then filler up to size bytes.
QByteArray Piece(int n, int size) {
    QByteArray piece = QByteArray::number(n) + ':';
    piece.append(qMax(0, size - int(piece.size())), char('a' + n % 26));
    return piece;
}

// Data segments the kernel has received on a socket so far.
quint32 DataSegmentsIn(qintptr socket) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(int(socket), IPPROTO_TCP, TCP_INFO, &info, &size) != 0) return 0;
    return info.tcpi_data_segs_in;
}

// A listening server and a client aimed at it, with every event written to
// one log ("s:accept", "c:connect", "s:close", "c:error 10061" …).
struct Pair {
    TTCPServer server;
    TTCPClient client;
    QStringList log;
    QList<int> accepted;
    QByteArray serverGot;
    QByteArray clientGot;
    bool serverReads = true;
    bool clientReads = true;
    S statusInConnect = S::Idle;
    bool inClientsAtClose = false;
    QString peerAtClose;

    Pair() {
        server.OnError = [this](TCustomWinSocket*, int e, const QString&) {
            log << QStringLiteral("s:error %1").arg(e);
        };
        server.OnAccept = [this](TCustomWinSocket*, int s) {
            log << QStringLiteral("s:accept");
            accepted << s;
        };
        server.OnData = [this](TCustomWinSocket*, int s) {
            if (serverReads) serverGot += server.ReceiveBytes(s);
        };
        server.OnClose = [this](TCustomWinSocket*, int s) {
            log << QStringLiteral("s:close");
            inClientsAtClose = server.Clients.IndexOf(s) >= 0;
            peerAtClose = server.PeerIP(s);
        };
        client.OnError = [this](TCustomWinSocket*, int e, const QString&) {
            log << QStringLiteral("c:error %1").arg(e);
        };
        client.OnConnect = [this](TCustomWinSocket*, int) {
            log << QStringLiteral("c:connect");
            statusInConnect = client.Status();
        };
        client.OnData = [this](TCustomWinSocket*, int) {
            if (clientReads) clientGot += client.ReceiveBytes();
        };
        client.OnClose = [this](TCustomWinSocket*, int) {
            log << QStringLiteral("c:close");
            statusInConnect = client.Status();
        };
        server.Port = QStringLiteral("0");
        server.Open();
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = server.LocalPort(server.SocketHandle());
    }

    bool Connect() {
        client.Open();
        return QTest::qWaitFor(
            [&] { return client.Status() == S::Connected && !accepted.isEmpty(); }, 10000);
    }
};

} // namespace

class TstWSockets : public QObject {
    Q_OBJECT

private slots:
    void errorText_data();
    void errorText();
    void qtFailures_data();
    void qtFailures();
    void clientList();
    void clientClosesServerSeesClose();
    void serverDisconnectsClientSeesClose();
    void serverCloseEndsEveryConnection();
    void openOnlyWhenIdle();
    void refusedConnectStaysConnecting();
    void unknownHostFailsToIdle();
    void badPortText_data();
    void badPortText();
    void serviceNameAsPort();
    void addressInUse();
    void readsInSlicesOf1024();
    void dataBeforeCloseIsDelivered();
    void disconnectUnknownHandle();
    void sendAndReceiveOnClosedSocket();
    void addresses();
    void bigSendToSlowReader();
    void sendsKeepTheirOrder_data();
    void sendsKeepTheirOrder();
    void lateReaderGetsEverythingInOrder();
    void sendsOfOneReadLeaveTogether_data();
    void sendsOfOneReadLeaveTogether();
    void queueBoundCountsWhatTheSystemHolds_data();
    void queueBoundCountsWhatTheSystemHolds();
    void stalledPeerIsDropped();
    void handlersMayCloseOrDestroy();
    void fiftyClientsComeAndGo();
    void everyConnectionSendsAtOnce();
};

void TstWSockets::errorText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("refused") << 10061 << "Connection refused";
    QTest::newRow("host not found") << 11001 << "Host not found";
    QTest::newRow("nonsocket") << 10038 << "Socket operation on nonsocket";
    QTest::newRow("splice") << 10059 << "Too many references:can't splice";
    QTest::newRow("last") << 11004 << "Valid name, no data record of requested type";
    QTest::newRow("zero") << 0 << "Not a Winsock error";
    QTest::newRow("gap") << 10080 << "Not a Winsock error";
}

void TstWSockets::errorText() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(WinsockErrorText(code), text);
}

void TstWSockets::qtFailures_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");
    using E = QAbstractSocket;
    QTest::newRow("refused") << int(E::ConnectionRefusedError) << "Connection refused" << 10061;
    QTest::newRow("host not found") << int(E::HostNotFoundError) << "Host not found" << 11001;
    QTest::newRow("reset") << int(E::RemoteHostClosedError) << "" << 10054;
    QTest::newRow("in use") << int(E::AddressInUseError) << "Address in use" << 10048;
    QTest::newRow("access") << int(E::SocketAccessError) << "" << 10013;
    QTest::newRow("timed out") << int(E::NetworkError) << "Connection timed out" << 10060;
    QTest::newRow("timeout") << int(E::SocketTimeoutError) << "" << 10060;
    QTest::newRow("network unreachable") << int(E::NetworkError) << "Network unreachable" << 10051;
    QTest::newRow("host unreachable") << int(E::NetworkError) << "Host unreachable" << 10065;
    QTest::newRow("other network") << int(E::NetworkError) << "Temporary error" << 10050;
    QTest::newRow("resources") << int(E::SocketResourceError) << "" << 10055;
}

void TstWSockets::qtFailures() {
    QFETCH(int, error);
    QFETCH(QString, message);
    QFETCH(int, code);
    QCOMPARE(WinsockErrorOf(QAbstractSocket::SocketError(error), message), code);
    QVERIFY(WinsockErrorText(code) != QStringLiteral("Not a Winsock error"));
}

void TstWSockets::clientList() {
    TClientList list;
    QVERIFY(list.Add(5));
    QVERIFY(list.Add(7));
    QCOMPARE(list.Nicks(), QStringList({"5", "7"}));
    QVERIFY(list.SetNick(0, "Ana"));
    QVERIFY(!list.SetNick(1, "Ana")); // taken by another entry
    QVERIFY(!list.SetNick(0, "Ana")); // equal to itself counts too
    QVERIFY(list.SetNick(1, "ana"));  // case counts
    QVERIFY(!list.SetNick(2, "Eva")); // no such index
    QVERIFY(!list.SetNick(-1, "Eva"));
    QCOMPARE(list.Nicks(), QStringList({"Ana", "ana"}));
    QCOMPARE(list.IndexOf(7), 1);
    list.Remove(5);
    list.Remove(42);
    QCOMPARE(list.Count(), 1);
    QCOMPARE(list.Sockets(0), 7);
    QCOMPARE(list.Sockets(1), -1);
    QCOMPARE(list.Nicks(), QStringList({"ana"}));
    list.Clear();
    QCOMPARE(list.Count(), 0);
    QVERIFY(list.Nicks().isEmpty());
}

void TstWSockets::clientClosesServerSeesClose() {
    Pair p;
    QCOMPARE(p.server.Status(), S::Listening);
    p.client.Open();
    QCOMPARE(p.client.Status(), S::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(p.client.Status(), S::Connected, 10000);
    QCOMPARE(p.statusInConnect, S::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(p.server.Clients.Count(), 1, 10000);
    const int h = p.accepted.value(0);
    QCOMPARE(p.server.Clients.Sockets(0), h);
    QCOMPARE(p.server.Clients.Nicks().at(0), QString::number(h));

    p.client.Close();
    QCOMPARE(p.client.Status(), S::Idle);
    QCOMPARE(p.client.SocketHandle(), -1);
    QTRY_COMPARE_WITH_TIMEOUT(p.server.Clients.Count(), 0, 10000);
    QVERIFY(p.inClientsAtClose);
    QCOMPARE(p.peerAtClose, QStringLiteral("127.0.0.1"));
    // Connect and accept come in either order; the close comes once, last,
    // and only on the side that did not close.
    QCOMPARE(p.log.size(), 3);
    QVERIFY(p.log.contains("c:connect") && p.log.contains("s:accept"));
    QCOMPARE(p.log.last(), QStringLiteral("s:close"));
}

void TstWSockets::serverDisconnectsClientSeesClose() {
    Pair p;
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    p.server.Disconnect(h);
    QCOMPARE(p.server.Clients.Count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(p.client.Status(), S::Idle, 10000);
    QCOMPARE(p.statusInConnect, S::Connected); // OnClose came while still connected
    QCOMPARE(p.log.count("c:close"), 1);
    QVERIFY(!p.log.contains("s:close"));
    QVERIFY(p.log.filter("error").isEmpty());
    // The server keeps listening and takes the client back.
    p.accepted.clear();
    QVERIFY(p.Connect());
    QVERIFY(p.accepted.value(0) != h); // handles are never reused
}

void TstWSockets::serverCloseEndsEveryConnection() {
    Pair p;
    QVERIFY(p.Connect());
    TTCPClient second;
    int secondClosed = 0;
    second.OnClose = [&](TCustomWinSocket*, int) { ++secondClosed; };
    second.Host = p.client.Host;
    second.Port = p.client.Port;
    second.Open();
    QTRY_COMPARE_WITH_TIMEOUT(p.server.Clients.Count(), 2, 10000);
    p.server.Close();
    QCOMPARE(p.server.Status(), S::Idle);
    QCOMPARE(p.server.SocketHandle(), -1);
    QCOMPARE(p.server.Clients.Count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(p.client.Status(), S::Idle, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(secondClosed, 1, 10000);
    QVERIFY(!p.log.contains("s:close"));
    p.server.Close(); // nothing left to do
    QCOMPARE(p.server.Status(), S::Idle);
}

void TstWSockets::openOnlyWhenIdle() {
    Pair p;
    const int listening = p.server.SocketHandle();
    p.server.Open();
    QCOMPARE(p.server.SocketHandle(), listening);
    p.client.Open();
    const int handle = p.client.SocketHandle();
    p.client.Open(); // while Connecting
    QCOMPARE(p.client.SocketHandle(), handle);
    QTRY_COMPARE_WITH_TIMEOUT(p.client.Status(), S::Connected, 10000);
    p.client.Open(); // while Connected
    QCOMPARE(p.client.SocketHandle(), handle);
    QCOMPARE(p.client.Status(), S::Connected);
    QTest::qWait(50);
    QCOMPARE(p.log.count("c:connect"), 1);
    QTRY_COMPARE_WITH_TIMEOUT(p.server.Clients.Count(), 1, 10000);
    QVERIFY(p.log.filter("error").isEmpty());
}

void TstWSockets::refusedConnectStaysConnecting() {
    TTCPClient client;
    QList<int> errors;
    QStringList texts;
    client.OnError = [&](TCustomWinSocket* sender, int e, const QString& msg) {
        QCOMPARE(sender, &client);
        errors << e;
        texts << msg;
    };
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = FreePort();
    client.Open();
    QTRY_COMPARE_WITH_TIMEOUT(errors, QList<int>({10061}), 10000);
    QCOMPARE(texts, QStringList({"Connection refused"}));
    QCOMPARE(client.LastError(), 10061);
    QCOMPARE(client.ErrorText(), QStringLiteral("Connection refused"));
    QCOMPARE(client.Status(), S::Connecting);
    client.Close();
    QCOMPARE(client.Status(), S::Idle);
    // It can try again; closing from inside OnError, as the chat does on
    // "refused", leaves it Idle.
    client.OnError = [&](TCustomWinSocket*, int e, const QString&) {
        errors << e;
        client.Close();
    };
    client.Open();
    QCOMPARE(client.Status(), S::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 2, 10000);
    QCOMPARE(errors.last(), 10061);
    QCOMPARE(client.Status(), S::Idle);
    QCOMPARE(client.SocketHandle(), -1);
}

void TstWSockets::unknownHostFailsToIdle() {
    TTCPClient client;
    QList<int> errors;
    S statusAtError = S::Connected;
    client.OnError = [&](TCustomWinSocket*, int e, const QString& msg) {
        errors << e;
        statusAtError = client.Status();
        QCOMPARE(msg, QStringLiteral("Host not found"));
    };
    client.Host = QStringLiteral("zugaret-no-such-host.invalid");
    client.Port = QStringLiteral("12");
    client.Open();
    QTRY_COMPARE_WITH_TIMEOUT(errors, QList<int>({11001}), 30000);
    QCOMPARE(statusAtError, S::Idle);
    QCOMPARE(client.Status(), S::Idle);
    QCOMPARE(client.SocketHandle(), -1);
}

void TstWSockets::badPortText_data() {
    QTest::addColumn<QString>("port");
    QTest::newRow("neither number nor service") << "zugaret-no-such-service";
    QTest::newRow("out of range") << "70000";
    QTest::newRow("negative") << "-1";
    QTest::newRow("empty") << "";
}

void TstWSockets::badPortText() {
    QFETCH(QString, port);
    QList<int> clientErrors, serverErrors;
    TTCPClient client;
    client.OnError = [&](TCustomWinSocket*, int e, const QString&) { clientErrors << e; };
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = port;
    client.Open();
    QCOMPARE(clientErrors, QList<int>({10022}));
    QCOMPARE(client.Status(), S::Idle);

    TTCPServer server;
    server.OnError = [&](TCustomWinSocket*, int e, const QString&) { serverErrors << e; };
    server.Port = port;
    server.Open();
    QCOMPARE(serverErrors, QList<int>({10022}));
    QCOMPARE(server.Status(), S::Idle);
}

void TstWSockets::serviceNameAsPort() {
    const servent* echo = getservbyname("echo", "tcp");
    if (!echo) QSKIP("no services database here");
    // A known service resolves to its port: the attempt gets under way instead
    // of failing on the port text.
    TTCPClient client;
    QList<int> errors;
    client.OnError = [&](TCustomWinSocket*, int e, const QString&) { errors << e; };
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = QStringLiteral("echo");
    client.Open();
    QCOMPARE(client.Status(), S::Connecting);
    QVERIFY(!errors.contains(10022));
    client.Close();
}

void TstWSockets::addressInUse() {
    Pair p;
    TTCPServer second;
    QList<int> errors;
    second.OnError = [&](TCustomWinSocket*, int e, const QString&) { errors << e; };
    second.Port = p.client.Port;
    second.Open();
    QCOMPARE(errors, QList<int>({10048}));
    QCOMPARE(second.Status(), S::Idle);
    QCOMPARE(second.SocketHandle(), -1);
}

void TstWSockets::readsInSlicesOf1024() {
    Pair p;
    QVERIFY(p.Connect());
    QByteArray sent;
    for (int i = 0; i < 3000; ++i)
        sent.append(char(i % 256)); // every byte value, 0xFE and 0xFF included
    QList<int> sizes;
    QString text;
    int depth = 0, deepest = 0;
    p.client.OnData = [&](TCustomWinSocket*, int) {
        deepest = qMax(deepest, ++depth);
        const QString slice = p.client.Receive();
        sizes << int(slice.size());
        text += slice;
        --depth;
    };
    p.server.SendBytes(p.accepted.value(0), sent);
    QTRY_COMPARE_WITH_TIMEOUT(text.size(), sent.size(), 10000);
    QCOMPARE(text.toLatin1(), sent);
    QVERIFY(sizes.size() >= 3);
    for (int n : sizes)
        QVERIFY(n > 0 && n <= 1024);
    QCOMPARE(deepest, 1); // each further OnData came from the event loop

    // Nothing waiting: an empty text and no event; an empty send sends nothing.
    const qsizetype events = sizes.size();
    QVERIFY(p.client.Receive().isEmpty());
    p.server.Send(p.accepted.value(0), QString());
    QTest::qWait(50);
    QCOMPARE(sizes.size(), events);
    QVERIFY(p.log.filter("error").isEmpty());
}

void TstWSockets::dataBeforeCloseIsDelivered() {
    Pair p;
    QVERIFY(p.Connect());
    QStringList order;
    p.server.OnData = [&](TCustomWinSocket*, int s) {
        p.serverGot += p.server.ReceiveBytes(s);
        order << "data";
    };
    p.server.OnClose = [&](TCustomWinSocket*, int) { order << "close"; };
    const QByteArray sent(3000, 'x');
    p.client.SendBytes(sent);
    p.client.Close(); // at once, with the data still queued
    QTRY_VERIFY_WITH_TIMEOUT(order.contains("close"), 10000);
    QCOMPARE(p.serverGot, sent);
    QCOMPARE(order.last(), QStringLiteral("close"));
    QCOMPARE(order.count("close"), 1);
    QCOMPARE(p.server.Clients.Count(), 0);
}

void TstWSockets::disconnectUnknownHandle() {
    Pair p;
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    p.server.Disconnect(h + 1000);
    QCOMPARE(p.log.filter("s:error"), QStringList({"s:error 10038"}));
    QCOMPARE(p.server.Clients.Count(), 1);
    p.server.Disconnect(-1);
    QCOMPARE(p.log.filter("s:error").size(), 1);

    // A connection the owner took out of Clients itself is still closed.
    p.server.Clients.Remove(h);
    p.server.Disconnect(h);
    QCOMPARE(p.log.filter("s:error").size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(p.client.Status(), S::Idle, 10000);
    QCOMPARE(p.log.count("c:close"), 1);
}

void TstWSockets::sendAndReceiveOnClosedSocket() {
    TTCPClient client;
    QList<int> errors;
    QStringList texts;
    client.OnError = [&](TCustomWinSocket*, int e, const QString& msg) {
        errors << e;
        texts << msg;
    };
    QCOMPARE(client.SocketHandle(), -1);
    client.Send(QStringLiteral("hola"));
    QCOMPARE(client.Receive(), QString());
    QCOMPARE(errors, QList<int>({10038, 10038}));
    QCOMPARE(texts.value(0), QStringLiteral("Socket operation on nonsocket"));
    client.Send(QString()); // nothing to send, nothing to report
    QCOMPARE(errors.size(), 2);

    Pair p;
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    p.server.Disconnect(h);
    p.server.Send(h, QStringLiteral("tarde"));
    QCOMPARE(p.server.Receive(h), QString());
    QCOMPARE(p.log.filter("s:error"), QStringList({"s:error 10038", "s:error 10038"}));
}

void TstWSockets::addresses() {
    Pair p;
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    QCOMPARE(p.server.PeerIP(h), QStringLiteral("127.0.0.1"));
    QCOMPARE(p.server.PeerPort(h), p.client.LocalPort(p.client.SocketHandle()));
    QCOMPARE(p.server.LocalPort(h), p.client.Port);
    QCOMPARE(p.client.PeerPort(p.client.SocketHandle()), p.client.Port);
    QCOMPARE(p.client.PeerIP(p.client.SocketHandle()), QStringLiteral("127.0.0.1"));
    QVERIFY(p.server.PeerIP(-1).isEmpty());
    QVERIFY(p.server.PeerPort(h + 1000).isEmpty());
    QVERIFY(p.client.LocalPort(-1).isEmpty());

    QVERIFY(!p.server.LocalHostName().isEmpty());
    const QString ip = p.server.LocalIP();
    QHostAddress address;
    QVERIFY2(address.setAddress(ip), qPrintable(ip));
    QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
    QVERIFY(ip != QStringLiteral("127.0.1.1"));
    QVERIFY(p.log.filter("error").isEmpty());
}

void TstWSockets::bigSendToSlowReader() {
    Pair p;
    QVERIFY(p.Connect());
    QRandomGenerator rng(2026);
    const QByteArray sent = RandomBytes(rng, 2 * 1024 * 1024);
    p.clientReads = false;
    // The reader takes a few slices every millisecond, whatever OnData says.
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        for (int i = 0; i < 16; ++i)
            p.clientGot += p.client.ReceiveBytes();
    });
    reader.start(1);
    const int h = p.accepted.value(0);
    for (qsizetype at = 0; at < sent.size(); at += 65536)
        p.server.SendBytes(h, sent.mid(at, 65536));
    QTRY_COMPARE_WITH_TIMEOUT(p.clientGot.size(), sent.size(), 60000);
    QVERIFY(p.clientGot == sent);
    QVERIFY(p.log.filter("error").isEmpty());
}

namespace {
enum class SendFrom { Handler, Timer, NestedLoop, ThenDisconnect };
}

void TstWSockets::sendsKeepTheirOrder_data() {
    QTest::addColumn<int>("from");
    QTest::newRow("OnData answers every read") << int(SendFrom::Handler);
    QTest::newRow("timers, outside any handler") << int(SendFrom::Timer);
    QTest::newRow("a nested event loop inside OnData") << int(SendFrom::NestedLoop);
    QTest::newRow("OnData, then the connection closed") << int(SendFrom::ThenDisconnect);
}

void TstWSockets::sendsKeepTheirOrder() {
    QFETCH(int, from);
    const auto where = SendFrom(from);
    Pair p;
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    QRandomGenerator rng(77);
    QByteArray expected;
    int n = 0;
    auto send = [&](int size) {
        const QByteArray piece = Piece(n++, size);
        expected += piece;
        p.server.SendBytes(h, piece);
    };
    bool nestedSawFirstTwo = false;
    p.server.OnData = [&](TCustomWinSocket*, int s) {
        const QByteArray got = p.server.ReceiveBytes(s);
        switch (where) {
        case SendFrom::Handler:
            for (int i = 0; i < got.size(); ++i) {
                send(10);
                send(int(rng.bounded(1, 3000)));
            }
            break;
        case SendFrom::NestedLoop: {
            // What is sent inside the nested loop goes out while it runs,
            // after what the handler sent before it.
            send(20);
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&] { send(30); });
            QTimer check;
            QObject::connect(&check, &QTimer::timeout, &loop, [&] {
                if (p.clientGot.size() == expected.size()) loop.quit();
            });
            check.start(1);
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
            nestedSawFirstTwo = p.clientGot == expected;
            send(40);
            break;
        }
        case SendFrom::ThenDisconnect:
            for (int i = 0; i < 40; ++i)
                send(5000);
            p.server.Disconnect(s);
            break;
        case SendFrom::Timer:
            break;
        }
    };
    switch (where) {
    case SendFrom::Handler:
    case SendFrom::NestedLoop:
    case SendFrom::ThenDisconnect:
        for (int i = 0; i < 30; ++i) {
            p.client.SendBytes("x");
            QTest::qWait(1);
            if (where != SendFrom::Handler) break;
        }
        break;
    case SendFrom::Timer: {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (n < 300) send(int(rng.bounded(1, 5000)));
        });
        timer.start(0);
        QTRY_VERIFY_WITH_TIMEOUT(n == 300, 10000);
        break;
    }
    }
    QTRY_COMPARE_WITH_TIMEOUT(p.clientGot.size(), expected.size(), 10000);
    QVERIFY(p.clientGot == expected);
    if (where == SendFrom::NestedLoop) QVERIFY(nestedSawFirstTwo);
    if (where == SendFrom::ThenDisconnect)
        QTRY_VERIFY_WITH_TIMEOUT(p.log.contains("c:close"), 10000);
    QVERIFY2(p.log.filter("error").isEmpty(), qPrintable(p.log.join(' ')));
}

void TstWSockets::lateReaderGetsEverythingInOrder() {
    TTCPServer server;
    int h = -1;
    QStringList errors;
    server.OnAccept = [&](TCustomWinSocket*, int s) { h = s; };
    server.OnError = [&](TCustomWinSocket*, int e, const QString&) {
        errors << QString::number(e);
    };
    server.Port = "0";
    server.Open();
    // A peer with a small receive buffer that reads nothing for a while: the
    // kernel soon holds all it will take, the rest waits in the socket's own
    // buffer.
    const int peer = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.LocalPort(server.SocketHandle()).toUShort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QTRY_VERIFY_WITH_TIMEOUT(h != -1, 10000);
    QByteArray expected;
    int n = 0;
    auto send = [&](int size) {
        expected += Piece(n, size);
        server.SendBytes(h, Piece(n++, size));
    };
    // More than the kernel will hold for it, whatever its send buffer grows to.
    QFile wmem("/proc/sys/net/ipv4/tcp_wmem");
    QVERIFY(wmem.open(QIODevice::ReadOnly));
    const qint64 kernelHolds = wmem.readAll().simplified().split(' ').value(2).toLongLong();
    QVERIFY(kernelHolds > 0);
    server.SendQueueLimit = 4 * kernelHolds;
    while (expected.size() < 2 * kernelHolds) {
        send(64 * 1024);
        QCoreApplication::processEvents();
    }
    // The peer reads again, a little at a time, while more is sent: what is
    // sent now goes after what the socket still holds, whatever the kernel
    // would take at once.
    QByteArray got;
    char buffer[16384];
    QElapsedTimer clock;
    clock.start();
    const int last = n + 300;
    while (got.size() < expected.size() + (n < last ? 1 : 0) && clock.elapsed() < 30000) {
        if (n < last) send(int(1 + n % 50));
        const ssize_t r = ::recv(peer, buffer, sizeof buffer, MSG_DONTWAIT);
        if (r > 0) got.append(buffer, r);
        QCoreApplication::processEvents();
    }
    ::close(peer);
    QVERIFY(got == expected);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(' ')));
}

void TstWSockets::sendsOfOneReadLeaveTogether_data() {
    QTest::addColumn<int>("burst");       // bytes the peer sends at once
    QTest::addColumn<int>("perRead");     // messages the server sends per read
    QTest::addColumn<int>("connections"); // peers each read's messages go to
    // Written message by message, each would be a segment of its own.
    QTest::newRow("twenty messages answering one read") << 1 << 20 << 1;
    QTest::newRow("one message for each of 24 reads of one burst") << 24 * 1024 << 1 << 1;
    QTest::newRow("ten messages of one read to each of three peers") << 1 << 10 << 3;
}

void TstWSockets::sendsOfOneReadLeaveTogether() {
    QFETCH(int, burst);
    QFETCH(int, perRead);
    QFETCH(int, connections);
    TTCPServer server;
    server.Port = "0";
    server.Open();
    const quint16 port = server.LocalPort(server.SocketHandle()).toUShort();
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < connections; ++i) {
        peers.push_back(std::make_unique<QTcpSocket>());
        peers.back()->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(peers.back()->waitForConnected(10000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(server.Clients.Count(), connections, 10000);
    int reads = 0;
    server.OnData = [&](TCustomWinSocket*, int s) {
        server.ReceiveBytes(s);
        ++reads;
        for (int i = 0; i < perRead; ++i)
            for (int c = 0; c < server.Clients.Count(); ++c)
                server.SendBytes(server.Clients.Sockets(c), "/TXT\xFEmensaje\xFF");
    };
    std::vector<quint32> before;
    for (const auto& peer : peers)
        before.push_back(DataSegmentsIn(peer->socketDescriptor()));
    peers[0]->write(QByteArray(burst, 'x'));
    peers[0]->flush();
    const int expected = burst == 1 ? perRead : burst / 1024 * perRead;
    for (size_t i = 0; i < peers.size(); ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(peers[i]->bytesAvailable(), qint64(expected) * 13, 10000);
        const quint32 segments = DataSegmentsIn(peers[i]->socketDescriptor()) - before[i];
        QVERIFY2(segments >= 1 && segments <= 2,
                 qPrintable(QString("%1 segments for %2 messages").arg(segments).arg(expected)));
    }
    QCOMPARE(reads, burst == 1 ? 1 : burst / 1024);
}

void TstWSockets::queueBoundCountsWhatTheSystemHolds_data() {
    QTest::addColumn<bool>("inHandler"); // else from a timer
    QTest::addColumn<int>("message");    // bytes per send
    QTest::addColumn<int>("total");      // bytes sent in one go
    // The bound is 64 KiB here; the kernel takes some MiB on loopback, so a
    // reading peer is never dropped, however much is sent at once.
    QTest::newRow("one read's answer, 16 times the bound") << true << 100 << 1024 * 1024;
    QTest::newRow("a timer's sends, 16 times the bound") << false << 100 << 1024 * 1024;
    QTest::newRow("messages near the batch size") << true << 60000 << 1000000;
}

void TstWSockets::queueBoundCountsWhatTheSystemHolds() {
    QFETCH(bool, inHandler);
    QFETCH(int, message);
    QFETCH(int, total);
    Pair p;
    p.server.SendQueueLimit = 64 * 1024;
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    QByteArray expected;
    auto sendAll = [&] {
        for (int n = 0; expected.size() < total; ++n) {
            const QByteArray piece = Piece(n, message);
            expected += piece;
            p.server.SendBytes(h, piece);
        }
    };
    if (inHandler) {
        p.server.OnData = [&](TCustomWinSocket*, int s) {
            p.server.ReceiveBytes(s);
            sendAll();
        };
        p.client.SendBytes("x");
    } else {
        QTimer::singleShot(0, sendAll);
    }
    QTRY_VERIFY_WITH_TIMEOUT(expected.size() >= total, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        p.clientGot.size() >= expected.size() || !p.log.filter("error").isEmpty(), 20000);
    QVERIFY2(p.log.filter("error").isEmpty(), qPrintable(p.log.join(' ')));
    QCOMPARE(p.clientGot.size(), expected.size());
    QVERIFY(p.clientGot == expected);
}

void TstWSockets::stalledPeerIsDropped() {
    Pair p;
    p.clientReads = false; // the peer never reads
    QVERIFY(p.Connect());
    const int h = p.accepted.value(0);
    const QByteArray chunk(64 * 1024, 'z');
    qint64 sent = 0;
    while (!p.log.contains("s:error 10055") && sent < 512LL * 1024 * 1024) {
        p.server.SendBytes(h, chunk);
        sent += chunk.size();
        QCoreApplication::processEvents();
    }
    QVERIFY(p.log.contains("s:error 10055"));
    QVERIFY(sent > TCustomWinSocket::DefaultSendQueueLimit);
    QTRY_COMPARE_WITH_TIMEOUT(p.server.Clients.Count(), 0, 10000);
    QCOMPARE(p.log.count("s:error 10055"), 1);
    QCOMPARE(p.log.count("s:close"), 1);
    QVERIFY(p.log.indexOf("s:error 10055") < p.log.indexOf("s:close"));
    QVERIFY(p.inClientsAtClose);
    // Once the stalled peer reads again it learns that it was dropped.
    p.clientReads = true;
    p.client.ReceiveBytes();
    QTRY_COMPARE_WITH_TIMEOUT(p.client.Status(), S::Idle, 30000);
    QCOMPARE(p.log.count("c:close"), 1);
}

void TstWSockets::handlersMayCloseOrDestroy() {
    // The client closes itself inside OnConnect: it stays Idle.
    {
        Pair p;
        p.client.OnConnect = [&](TCustomWinSocket*, int) {
            p.log << "c:connect";
            p.client.Close();
        };
        p.client.Open();
        QTRY_VERIFY_WITH_TIMEOUT(p.log.contains("s:close"), 10000);
        QCOMPARE(p.server.Clients.Count(), 0);
        QCOMPARE(p.client.Status(), S::Idle);
        QCOMPARE(p.log.count("c:connect"), 1);
    }
    // A server destroyed inside OnData, OnAccept and OnClose; a client
    // destroyed inside OnData and OnClose.
    for (int where = 0; where < 5; ++where) {
        auto server = std::make_unique<TTCPServer>();
        auto client = std::make_unique<TTCPClient>();
        bool fired = false;
        server->Port = "0";
        server->Open();
        client->Host = "127.0.0.1";
        client->Port = server->LocalPort(server->SocketHandle());
        auto kill = [&](auto& owner) {
            return [&fired, &owner](TCustomWinSocket*, int) {
                fired = true;
                owner.reset();
            };
        };
        int accepted = -1;
        server->OnAccept = [&](TCustomWinSocket*, int s) { accepted = s; };
        switch (where) {
        case 0:
            server->OnData = kill(server);
            break;
        case 1:
            server->OnAccept = kill(server);
            break;
        case 2:
            server->OnClose = kill(server);
            break;
        case 3:
            client->OnData = kill(client);
            break;
        case 4:
            client->OnClose = kill(client);
            break;
        }
        client->Open();
        QTRY_VERIFY_WITH_TIMEOUT(fired || (client && client->Status() == S::Connected), 10000);
        if (where == 0) client->SendBytes(QByteArray(5000, 'a'));
        if (where == 2) client->Close();
        if (where == 3 || where == 4) {
            QTRY_VERIFY_WITH_TIMEOUT(accepted != -1, 10000);
            if (where == 3)
                server->SendBytes(accepted, QByteArray(5000, 'b'));
            else
                server->Disconnect(accepted);
        }
        QTRY_VERIFY_WITH_TIMEOUT(fired, 10000);
        QTest::qWait(20); // let the posted deliveries and deletions run
        QVERIFY(!(where <= 2 ? bool(server) : bool(client)));
    }
}

void TstWSockets::fiftyClientsComeAndGo() {
    TTCPServer server;
    std::map<int, QByteArray> streams;  // handle -> bytes so far
    std::map<int, QByteArray> finished; // peer number -> everything it sent
    QStringList errors;
    server.OnError = [&](TCustomWinSocket*, int e, const QString&) {
        errors << QString::number(e);
    };
    server.OnAccept = [&](TCustomWinSocket*, int s) { streams[s]; };
    server.OnData = [&](TCustomWinSocket*, int s) { streams[s] += server.ReceiveBytes(s); };
    server.OnClose = [&](TCustomWinSocket*, int s) {
        QVERIFY(server.Clients.IndexOf(s) >= 0);
        const QByteArray all = streams[s];
        streams.erase(s);
        finished[all.left(4).toInt()] = all.mid(4);
    };
    server.Port = "0";
    server.Open();
    QCOMPARE(server.Status(), S::Listening);
    const QString port = server.LocalPort(server.SocketHandle());

    struct Peer {
        std::unique_ptr<TTCPClient> client;
        QByteArray sent;
        int sendsLeft = 0;
        bool opened = false;
        bool greeted = false;
        bool left = false;
    };
    QRandomGenerator rng(12345);
    std::vector<Peer> peers(50);
    for (Peer& peer : peers) {
        peer.client = std::make_unique<TTCPClient>();
        peer.client->Host = "127.0.0.1";
        peer.client->Port = port;
        peer.client->OnError = [&](TCustomWinSocket*, int e, const QString&) {
            errors << QString::number(e);
        };
        peer.sendsLeft = int(rng.bounded(8));
    }
    int leftCount = 0;
    int steps = 0;
    while (leftCount < 50 && steps < 1000000) {
        ++steps;
        const int n = int(rng.bounded(50));
        Peer& peer = peers[n];
        if (!peer.opened) {
            peer.client->Open();
            peer.opened = true;
        } else if (!peer.left && peer.client->Status() == S::Connected) {
            if (!peer.greeted) {
                peer.client->SendBytes(QByteArray::number(1000 + n));
                peer.greeted = true;
            } else if (peer.sendsLeft > 0) {
                const QByteArray chunk = RandomBytes(rng, 1 + int(rng.bounded(6000)));
                peer.client->SendBytes(chunk);
                peer.sent += chunk;
                --peer.sendsLeft;
            } else {
                peer.client->Close();
                peer.left = true;
                ++leftCount;
            }
        }
        QCoreApplication::processEvents();
    }
    QCOMPARE(leftCount, 50);
    QTRY_COMPARE_WITH_TIMEOUT(int(finished.size()), 50, 30000);
    QCOMPARE(server.Clients.Count(), 0);
    QVERIFY(streams.empty());
    for (int n = 0; n < 50; ++n) {
        QVERIFY2(finished.count(1000 + n), qPrintable(QString::number(n)));
        QVERIFY2(finished[1000 + n] == peers[n].sent, qPrintable(QString::number(n)));
    }
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(' ')));
}

void TstWSockets::everyConnectionSendsAtOnce() {
    // Small messages must not wait for more data (no Nagle) on either side.
    Pair p;
    QVERIFY(!p.server.LowDelay(-1));
    QVERIFY(p.Connect());
    QVERIFY(p.client.LowDelay(p.client.SocketHandle()));
    QVERIFY(p.server.LowDelay(p.accepted.value(0)));
}

QTEST_GUILESS_MAIN(TstWSockets)
#include "tst_tcpsockets.moc"
