// What the client and the server share: connections, batched sends, delivery of
// data and closes to the owner, and the local and peer addresses.
#include "TcpSockets.h"

#include "TextUtils.h"
#include "WinsockErrors.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QPointer>
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
    // anywhere else it is posted.
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
