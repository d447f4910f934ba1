#include "TcpSockets.h"

#include "TextUtils.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

namespace {

// Windows Sockets error numbers used by this module.
enum : int {
    WsaInvalidArgument = 10022,
    WsaNotSocket = 10038,
    WsaNetworkDown = 10050,
    WsaConnectionReset = 10054,
    WsaNoBufferSpace = 10055,
    WsaNotConnected = 10057,
    WsaHostNotFound = 11001,
};

struct ErrorRow {
    int code;
    const char* text;
};

constexpr ErrorRow ErrorTable[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references:can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name is too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory is not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {11001, "Host not found"},
    {11002, "Non authoritative - host not found"},
    {11003, "Non recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

} // namespace

int WinsockErrorOf(QAbstractSocket::SocketError error, const QString& message) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return WsaConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return WsaHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return WsaNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036;
    case QAbstractSocket::OperationError:
        return WsaInvalidArgument;
    case QAbstractSocket::NetworkError:
        if (message.contains(QLatin1String("timed out"), Qt::CaseInsensitive)) return 10060;
        if (message.contains(QLatin1String("Host unreachable"), Qt::CaseInsensitive)) return 10065;
        if (message.contains(QLatin1String("unreachable"), Qt::CaseInsensitive)) return 10051;
        return WsaNetworkDown;
    default:
        return WsaNetworkDown;
    }
}

namespace {

// How long a closed connection may keep flushing queued data to a peer.
constexpr int LingerMs = 10000;
// Bytes Qt may read ahead of the owner; beyond that TCP flow control holds the peer.
constexpr qint64 ReadAhead = 64 * 1024;
// Bytes a connection's sends may wait for the batch's write; beyond that they
// go to the system at once.
constexpr qint64 UnsentLimit = 64 * 1024;

// Hands the system as much of messages as it takes without waiting, up to
// IOV_MAX messages per call; the bytes it took.
qsizetype WriteNow(qintptr descriptor, const QList<QByteArray>& messages) {
    constexpr qsizetype Batch = IOV_MAX;
    iovec pieces[Batch];
    qsizetype taken = 0;
    for (qsizetype next = 0; next < messages.size();) {
        const qsizetype count = std::min(Batch, messages.size() - next);
        qsizetype batch = 0;
        for (qsizetype i = 0; i < count; ++i) {
            const QByteArray& m = messages.at(next + i);
            pieces[i] = {const_cast<char*>(m.constData()), size_t(m.size())};
            batch += m.size();
        }
        msghdr header{};
        header.msg_iov = pieces;
        header.msg_iovlen = size_t(count);
        ssize_t n;
        do
            n = ::sendmsg(int(descriptor), &header, MSG_NOSIGNAL | MSG_DONTWAIT);
        while (n < 0 && errno == EINTR);
        // Would block, or failed: the socket's own buffer takes the rest and
        // its next attempt reports any failure as it always has.
        if (n <= 0) break;
        taken += n;
        if (n < batch) break;
        next += count;
    }
    return taken;
}

// Lets go of a socket the component no longer watches: queued data is still
// flushed, then the socket closes and deletes itself from the event loop.
void ReleaseSocket(QTcpSocket* socket) {
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
        QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(LingerMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
        return;
    }
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->disconnectFromHost();
    else
        socket->abort();
    socket->deleteLater();
}

} // namespace

QString WinsockErrorText(int code) {
    for (const ErrorRow& row : ErrorTable)
        if (row.code == code) return QString::fromLatin1(row.text);
    return QStringLiteral("Not a Winsock error");
}

// ---------------------------------------------------------------- TClientList

bool TClientList::SetNick(int Index, const QString& Nick) {
    if (Index < 0 || Index >= nicks_.size() || nicks_.contains(Nick, Qt::CaseSensitive))
        return false;
    nicks_[Index] = Nick;
    return true;
}

bool TClientList::Add(int Socket) {
    sockets_.append(Socket);
    nicks_.append(QString::number(Socket));
    return true;
}

void TClientList::Remove(int Socket) {
    const qsizetype i = sockets_.indexOf(Socket);
    if (i < 0) return;
    sockets_.removeAt(i);
    nicks_.removeAt(i);
}

void TClientList::Clear() {
    sockets_.clear();
    nicks_.clear();
}

// ----------------------------------------------------------- TCustomWinSocket

struct TCustomWinSocket::Connection {
    QTcpSocket* socket = nullptr;
    QString peerIP;
    quint16 peerPort = 0;
    quint16 localPort = 0;
    bool awaitingRead = false;  // OnData raised, no Receive since
    bool deliverPosted = false; // a Deliver waits in the event loop
    bool peerClosed = false;    // the peer has gone; OnClose once drained
    bool givenUp = false;       // send queue overflowed; closing is under way
    // Messages sent since the last flush, in order. Each shares its bytes
    // with every other connection it was sent to.
    QList<QByteArray> unsent;
    qsizetype unsentBytes = 0;
    bool flushListed = false; // in toFlush_
};

TCustomWinSocket::TCustomWinSocket(QObject* parent) : QObject(parent) {}

TCustomWinSocket::~TCustomWinSocket() {
    CloseAllConnections();
}

bool TCustomWinSocket::ReportError(int code) {
    lastError_ = code;
    if (!OnError) return true;
    QPointer<TCustomWinSocket> alive(this);
    const TOnError event = OnError;
    event(this, code, WinsockErrorText(code));
    return !alive.isNull();
}

bool TCustomWinSocket::Raise(const std::function<void(TCustomWinSocket*, int)>& event, int socket) {
    if (!event) return true;
    QPointer<TCustomWinSocket> alive(this);
    const auto copy = event; // the handler may reassign or destroy the original
    copy(this, socket);
    return !alive.isNull();
}

bool TCustomWinSocket::ResolvePort(const QString& text, quint16& port) {
    const QByteArray name = text.trimmed().toLatin1();
    if (!name.isEmpty()) {
        if (const servent* entry = getservbyname(name.constData(), "tcp")) {
            port = ntohs(static_cast<quint16>(entry->s_port));
            return true;
        }
    }
    bool ok = false;
    const uint value = name.toUInt(&ok, 10);
    if (ok && value <= 65535) {
        port = static_cast<quint16>(value);
        return true;
    }
    ReportError(WsaInvalidArgument);
    return false;
}

QString TCustomWinSocket::LocalHostName() {
    const QString name = QHostInfo::localHostName().left(128);
    if (name.isEmpty()) ReportError(WsaNetworkDown);
    return name;
}

QString TCustomWinSocket::LocalIP() {
    QString loopback;
    QString linkLocal;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)) continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() != QAbstractSocket::IPv4Protocol) continue;
            if (address.isLoopback() || (flags & QNetworkInterface::IsLoopBack)) {
                if (loopback.isEmpty()) loopback = address.toString();
            } else if (address.isLinkLocal()) {
                if (linkLocal.isEmpty()) linkLocal = address.toString();
            } else {
                return address.toString();
            }
        }
    }
    return !linkLocal.isEmpty() ? linkLocal : loopback;
}

QString TCustomWinSocket::PeerIP(int Socket) const {
    const Connection* c = Find(Socket);
    return c ? c->peerIP : QString();
}

QString TCustomWinSocket::PeerPort(int Socket) const {
    const Connection* c = Find(Socket);
    return c && c->peerPort ? QString::number(c->peerPort) : QString();
}

QString TCustomWinSocket::LocalPort(int Socket) const {
    const Connection* c = Find(Socket);
    if (!c) return QString();
    const quint16 port = c->localPort ? c->localPort : c->socket->localPort();
    return port ? QString::number(port) : QString();
}

bool TCustomWinSocket::LowDelay(int Socket) const {
    const Connection* c = Find(Socket);
    return c && c->socket->socketOption(QAbstractSocket::LowDelayOption).toInt() != 0;
}

TCustomWinSocket::Connection* TCustomWinSocket::Find(int handle) const {
    const auto it = connections_.find(handle);
    return it == connections_.end() ? nullptr : it->second.get();
}

int TCustomWinSocket::Attach(QTcpSocket* socket) {
    const int handle = NewHandle();
    auto c = std::make_unique<Connection>();
    c->socket = socket;
    socket->setParent(nullptr);
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setReadBufferSize(ReadAhead);
    connect(socket, &QIODevice::readyRead, this, [this, handle] { SocketReadyRead(handle); });
    connect(socket, &QAbstractSocket::disconnected, this,
            [this, handle] { SocketDisconnected(handle); });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, handle](QAbstractSocket::SocketError e) { SocketError(handle, e); });
    connections_.emplace(handle, std::move(c));
    return handle;
}

void TCustomWinSocket::RememberAddresses(int handle) {
    Connection* c = Find(handle);
    if (!c) return;
    const QHostAddress peer = c->socket->peerAddress();
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    c->peerIP = isV4 ? QHostAddress(v4).toString() : peer.toString();
    c->peerPort = c->socket->peerPort();
    c->localPort = c->socket->localPort();
    c->socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Data or a close may have come in before anyone watched the socket.
    if (c->socket->bytesAvailable() > 0 || c->socket->state() != QAbstractSocket::ConnectedState) {
        if (c->socket->state() != QAbstractSocket::ConnectedState) c->peerClosed = true;
        PostDeliver(handle);
    }
}

bool TCustomWinSocket::CloseConnection(int handle) {
    const auto it = connections_.find(handle);
    if (it == connections_.end()) return false;
    Flush(handle); // what was sent before the close still goes out
    std::unique_ptr<Connection> c = std::move(it->second);
    connections_.erase(it);
    c->socket->disconnect(this);
    ReleaseSocket(c->socket);
    return true;
}

void TCustomWinSocket::CloseAllConnections() {
    while (!connections_.empty())
        CloseConnection(connections_.begin()->first);
}

void TCustomWinSocket::SendText(int handle, const QByteArray& text) {
    if (text.isEmpty()) return;
    Connection* c = Find(handle);
    if (!c) {
        ReportError(WsaNotSocket);
        return;
    }
    if (c->givenUp) return; // already reported; the close is on its way
    QTcpSocket* s = c->socket;
    if (s->state() != QAbstractSocket::ConnectedState) {
        // The peer has gone and the close is being delivered.
        ReportError(WsaNotConnected);
        return;
    }
    // The bound is on what the system has not taken: hand it what is
    // waiting before judging, and never let much wait for the next flush.
    if (c->unsentBytes > 0 && (c->unsentBytes + text.size() > UnsentLimit ||
                               c->unsentBytes + s->bytesToWrite() + text.size() > SendQueueLimit))
        Flush(handle);
    if (s->bytesToWrite() + text.size() > SendQueueLimit) {
        GiveUp(handle);
        return;
    }
    c->unsent.append(text);
    c->unsentBytes += text.size();
    if (!c->flushListed) {
        c->flushListed = true;
        toFlush_.push_back(handle);
    }
    // Inside a delivery the flush follows when the owner's handler returns;
    // anywhere else (a nested event loop included) it is posted.
    if (deliverLevel_ != thread()->loopLevel() && !flushPosted_) {
        flushPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                flushPosted_ = false;
                FlushAll();
            },
            Qt::QueuedConnection);
    }
}

void TCustomWinSocket::FlushAll() {
    const std::vector<int> handles = std::exchange(toFlush_, {});
    for (const int handle : handles)
        Flush(handle);
}

void TCustomWinSocket::Flush(int handle) {
    Connection* c = Find(handle);
    if (!c) return;
    c->flushListed = false;
    if (c->unsent.isEmpty()) return;
    QTcpSocket* s = c->socket;
    // Its close is on its way when it is no longer connected.
    if (s->state() == QAbstractSocket::ConnectedState) {
        // Straight to the system unless the socket's own buffer still holds
        // bytes that must go first.
        qsizetype skip = s->bytesToWrite() == 0 ? WriteNow(s->socketDescriptor(), c->unsent) : 0;
        for (const QByteArray& m : std::as_const(c->unsent)) {
            if (skip >= m.size()) {
                skip -= m.size();
                continue;
            }
            s->write(m.constData() + skip, m.size() - skip);
            skip = 0;
        }
    }
    c->unsent.clear(); // keeps its capacity for the next messages
    c->unsentBytes = 0;
}

QByteArray TCustomWinSocket::ReceiveText(int handle) {
    Connection* c = Find(handle);
    if (!c) {
        ReportError(WsaNotSocket);
        return QByteArray();
    }
    if (c->givenUp) return QByteArray();
    const QByteArray data = c->socket->read(ReadChunk);
    c->awaitingRead = false;
    if (c->socket->bytesAvailable() > 0 || c->peerClosed) PostDeliver(handle);
    return data;
}

void TCustomWinSocket::GiveUp(int handle) {
    Connection* c = Find(handle);
    if (!c || c->givenUp) return;
    // The peer has stopped reading: drop what is queued and report it from
    // the event loop, away from whatever loop of sends the caller is in.
    c->givenUp = true;
    c->unsent.clear();
    c->unsentBytes = 0;
    c->socket->disconnect(this);
    c->socket->abort();
    QMetaObject::invokeMethod(
        this,
        [this, handle] {
            if (!Find(handle)) return;
            if (!ReportError(WsaNoBufferSpace)) return;
            if (Find(handle)) PeerClosed(handle);
        },
        Qt::QueuedConnection);
}

void TCustomWinSocket::PostDeliver(int handle) {
    Connection* c = Find(handle);
    if (!c || c->deliverPosted) return;
    c->deliverPosted = true;
    QMetaObject::invokeMethod(
        this, [this, handle] { Deliver(handle); }, Qt::QueuedConnection);
}

bool TCustomWinSocket::Deliver(int handle) {
    const int outerLevel = std::exchange(deliverLevel_, thread()->loopLevel());
    if (!DeliverOnce(handle)) return false;
    deliverLevel_ = outerLevel;
    const Connection* c = Find(handle);
    if (c && c->deliverPosted && ++deferredReads_ < 64) return true;
    deferredReads_ = 0;
    // One write per connection for everything the handlers sent.
    FlushAll();
    return true;
}

bool TCustomWinSocket::DeliverOnce(int handle) {
    Connection* c = Find(handle);
    if (!c) return true;
    c->deliverPosted = false;
    if (c->givenUp) return true;
    if (c->socket->bytesAvailable() > 0) {
        c->awaitingRead = true;
        if (!RaiseData(handle)) return false;
        c = Find(handle);
        if (!c || !c->awaitingRead)
            return true; // closed, or read: Receive has scheduled what follows
        // The owner did not read; the rest waits for its next Receive.
    }
    if (c->peerClosed) return PeerClosed(handle);
    return true;
}

void TCustomWinSocket::SocketReadyRead(int handle) {
    const Connection* c = Find(handle);
    if (!c || c->awaitingRead || c->deliverPosted || c->givenUp) return;
    Deliver(handle);
}

void TCustomWinSocket::SocketDisconnected(int handle) {
    Connection* c = Find(handle);
    if (!c || c->givenUp) return;
    c->peerClosed = true;
    // Hand out what the peer sent before it left, then report the close. An
    // owner that still does not read when offered the rest loses it.
    if (c->socket->bytesAvailable() > 0)
        PostDeliver(handle);
    else if (!c->deliverPosted)
        PeerClosed(handle);
}

void TCustomWinSocket::SocketError(int handle, int qtError) {
    Connection* c = Find(handle);
    if (!c || c->givenUp) return;
    const auto error = static_cast<QAbstractSocket::SocketError>(qtError);
    const int code = WinsockErrorOf(error, c->socket->errorString());
    if (InConnectPhase(handle)) {
        ConnectFailed(handle, code);
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // A plain close unless data we queued for the peer is lost with it;
        // the close itself follows as OnClose.
        if (c->socket->bytesToWrite() > 0 || c->unsentBytes > 0) ReportError(WsaConnectionReset);
        return;
    }
    ReportError(code);
}

bool TCustomWinSocket::InConnectPhase(int) const {
    return false;
}

bool TCustomWinSocket::ConnectFailed(int, int code) {
    return ReportError(code);
}

// ----------------------------------------------------------------- TTCPClient

TTCPClient::TTCPClient(QObject* parent) : TCustomWinSocket(parent) {}

TTCPClient::~TTCPClient() {
    Close();
}

void TTCPClient::Open() {
    if (status_ != TSocketStatus::Idle) return;
    quint16 port = 0;
    if (!ResolvePort(Port, port)) return;
    auto* socket = new QTcpSocket;
    const int handle = Attach(socket);
    connect(socket, &QAbstractSocket::connected, this, [this, handle] { SocketConnected(handle); });
    handle_ = handle;
    status_ = TSocketStatus::Connecting;
    // Names are looked up in the background; a dotted address is used as it is.
    socket->connectToHost(Host.trimmed(), port, QIODevice::ReadWrite,
                          QAbstractSocket::IPv4Protocol);
}

void TTCPClient::Close() {
    if (status_ == TSocketStatus::Idle) return;
    CloseConnection(handle_);
    handle_ = -1;
    status_ = TSocketStatus::Idle;
}

bool TTCPClient::CheckConnection() {
    if (handle_ == -1 || !Find(handle_)) {
        ReportError(WsaNotSocket);
        return false;
    }
    if (status_ != TSocketStatus::Connected) {
        ReportError(WsaNotConnected);
        return false;
    }
    return true;
}

void TTCPClient::Send(const QString& Text) {
    SendBytes(ToLatin1Bytes(Text));
}

void TTCPClient::SendBytes(const QByteArray& Bytes) {
    if (Bytes.isEmpty() || !CheckConnection()) return;
    SendText(handle_, Bytes);
}

QString TTCPClient::Receive() {
    return FromLatin1Bytes(ReceiveBytes());
}

QByteArray TTCPClient::ReceiveBytes() {
    if (!CheckConnection()) return QByteArray();
    return ReceiveText(handle_);
}

bool TTCPClient::InConnectPhase(int handle) const {
    return handle == handle_ && status_ == TSocketStatus::Connecting;
}

bool TTCPClient::ConnectFailed(int handle, int code) {
    if (code == WsaHostNotFound) {
        // Nothing was ever connected: the attempt is over.
        CloseConnection(handle);
        handle_ = -1;
        status_ = TSocketStatus::Idle;
    }
    // Any other failure leaves the attempt Connecting until the owner closes it.
    return ReportError(code);
}

void TTCPClient::SocketConnected(int handle) {
    if (handle != handle_ || status_ != TSocketStatus::Connecting) return;
    RememberAddresses(handle);
    if (!Raise(OnConnect, handle)) return;
    if (handle == handle_ && status_ == TSocketStatus::Connecting)
        status_ = TSocketStatus::Connected;
}

bool TTCPClient::RaiseData(int handle) {
    return Raise(OnData, handle);
}

bool TTCPClient::PeerClosed(int handle) {
    if (!Raise(OnClose, handle)) return false;
    if (handle == handle_) Close();
    return true;
}

// ----------------------------------------------------------------- TTCPServer

TTCPServer::TTCPServer(QObject* parent) : TCustomWinSocket(parent) {}

TTCPServer::~TTCPServer() {
    Close();
}

void TTCPServer::Open() {
    if (status_ != TSocketStatus::Idle) return;
    quint16 port = 0;
    if (!ResolvePort(Port, port)) return;
    auto* server = new QTcpServer;
    server->setProxy(QNetworkProxy::NoProxy);
    server->setMaxPendingConnections(1024);
    if (!server->listen(QHostAddress::AnyIPv4, port)) {
        const int code = WinsockErrorOf(server->serverError(), server->errorString());
        delete server;
        ReportError(code);
        return;
    }
    connect(server, &QTcpServer::newConnection, this, [this] { NewConnections(); });
    server_ = server;
    handle_ = NewHandle();
    status_ = TSocketStatus::Listening;
}

void TTCPServer::Close() {
    if (status_ == TSocketStatus::Idle) return;
    for (int i = 0; i < Clients.Count(); ++i)
        CloseConnection(Clients.Sockets(i));
    Clients.Clear();
    CloseAllConnections(); // any the owner took out of Clients itself
    if (server_) {
        server_->disconnect(this);
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    handle_ = -1;
    status_ = TSocketStatus::Idle;
}

void TTCPServer::NewConnections() {
    QPointer<QTcpServer> server = server_;
    while (server && server == server_ && server->hasPendingConnections()) {
        QTcpSocket* socket = server->nextPendingConnection();
        if (!socket) break;
        const int handle = Attach(socket);
        Clients.Add(handle);
        RememberAddresses(handle);
        if (!Raise(OnAccept, handle)) return;
    }
}

void TTCPServer::Send(int Socket, const QString& Text) {
    SendBytes(Socket, ToLatin1Bytes(Text));
}

void TTCPServer::SendBytes(int Socket, const QByteArray& Bytes) {
    SendText(Socket, Bytes);
}

QString TTCPServer::Receive(int Socket) {
    return FromLatin1Bytes(ReceiveBytes(Socket));
}

QByteArray TTCPServer::ReceiveBytes(int Socket) {
    return ReceiveText(Socket);
}

void TTCPServer::Disconnect(int Socket) {
    Clients.Remove(Socket);
    if (Socket == -1) return;
    if (!CloseConnection(Socket)) ReportError(WsaNotSocket);
}

QString TTCPServer::LocalPort(int Socket) const {
    if (Socket != -1 && Socket == handle_ && server_) return QString::number(server_->serverPort());
    return TCustomWinSocket::LocalPort(Socket);
}

bool TTCPServer::RaiseData(int handle) {
    return Raise(OnData, handle);
}

bool TTCPServer::PeerClosed(int handle) {
    if (!Raise(OnClose, handle)) return false;
    if (Find(handle)) Disconnect(handle);
    return true;
}
