// The two ends of a connection: the client that connects and the server that listens.
#include "TcpSockets.h"

#include "TextUtils.h"
#include "WinsockErrors.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

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
