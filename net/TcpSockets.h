#pragma once
// Event-driven TCP transport over IPv4 for the chat window: TTCPClient (one
// outgoing connection), TTCPServer (a listening socket and the connections it
// has accepted) and TClientList (the server's connections with their nicks).
//
// Everything runs on the thread that owns the component, driven by its event
// loop; nothing blocks and no thread is started. The components move bytes and
// know nothing of the chat protocol.
//
// A connection is named by an integer handle in every event and operation.
// Handles are unique for the lifetime of a component and never reused, so a
// handle kept after its connection closed can never reach a newer connection.
// Failures reach the owner as OnError with a Windows Sockets error number and
// its English text, so logs and the chat's checks read as they always have.
//
// What must stay true:
// - OnConnect is raised while Status is still Connecting; Connected follows
//   once the handler returns.
// - OnClose is raised while the connection still exists (on the server, while
//   it is still in Clients), and only after every byte the peer sent before
//   closing has been offered through OnData.
// - Close and Disconnect raise no OnClose; Open does nothing unless Idle.
// - Each Receive returns at most 1024 bytes; while more is waiting after a read
//   a further OnData follows from the event loop, never from inside Receive.
// - Sends keep their order per connection and go out together: what a
//   handler of OnData sends is handed to the system once that handler has
//   returned, one call per connection for all of it (the bytes of a message
//   sent to many connections are shared, not copied); what is sent anywhere
//   else goes out on the event loop's next turn, just as batched. A
//   connection's waiting sends go out at once when they would pass 64 KiB.
// - Send never drops data on a busy connection: what the system does not take
//   at once is queued and flushed as the connection drains. A connection whose
//   queue would pass SendQueueLimit (the peer stopped reading) gets OnError
//   10055 and is then closed as if the peer had left (OnClose, then removed).
// - A handler may Close, Disconnect or destroy the component; sockets are
//   released with deleteLater and a destroyed component raises nothing more.
// - Every connection, accepted or made, sends at once (TCP_NODELAY): chat
//   lines and moves are small and must not wait for more data.

#include <QAbstractSocket>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTcpSocket;
class QTcpServer;
class TCustomWinSocket;

enum class TSocketStatus : quint8 {
    NotInitialized = 0, // the state before the socket library starts; Qt needs no start, so unused
    Idle = 1,
    Connected = 2,
    Listening = 3,
    Connecting = 4,
};

using TOnError = std::function<void(TCustomWinSocket* Sender, int Error, const QString& Msg)>;
using TOnData = std::function<void(TCustomWinSocket* Sender, int Socket)>;
using TOnAccept = std::function<void(TCustomWinSocket* Sender, int Socket)>;
using TOnConnect = std::function<void(TCustomWinSocket* Sender, int Socket)>;
using TOnClose = std::function<void(TCustomWinSocket* Sender, int Socket)>;

// English text of a Windows Sockets error number; "Not a Winsock error" for
// any number outside the table.
QString WinsockErrorText(int code);

// The Windows Sockets number for a failure Qt reports (Qt folds several system
// errors into NetworkError; its message tells them apart).
int WinsockErrorOf(QAbstractSocket::SocketError error, const QString& message);

// The server's connections in the order they were accepted. Sockets and Nicks
// always have the same length and the same index names the same connection.
class TClientList {
public:
    int Count() const { return static_cast<int>(sockets_.size()); }
    // Handle at Index, or -1 when Index is out of range.
    int Sockets(int Index) const { return sockets_.value(Index, -1); }
    int IndexOf(int Socket) const { return static_cast<int>(sockets_.indexOf(Socket)); }
    const QStringList& Nicks() const { return nicks_; }
    // Stores Nick at Index unless some entry (the one at Index included) equals
    // it exactly, case counting; false and no change otherwise, or when Index
    // is out of range.
    bool SetNick(int Index, const QString& Nick);
    // Appends the handle with its decimal text as nick.
    bool Add(int Socket);
    // Deletes the first entry with that handle; nothing if absent.
    void Remove(int Socket);
    void Clear();

private:
    QList<int> sockets_;
    QStringList nicks_;
};

// Base of both components: status, errors, address queries and the per
// connection machinery (reads, queued sends, closing).
class TCustomWinSocket : public QObject {
    Q_OBJECT
public:
    static constexpr int ReadChunk = 1024;
    static constexpr qint64 DefaultSendQueueLimit = 4 * 1024 * 1024;

    explicit TCustomWinSocket(QObject* parent = nullptr);
    ~TCustomWinSocket() override;

    TSocketStatus Status() const { return status_; }
    // The component's own socket: the connection (client) or the listening
    // socket (server); -1 when there is none.
    int SocketHandle() const { return handle_; }
    int LastError() const { return lastError_; }
    QString ErrorText() const { return WinsockErrorText(lastError_); }

    // First IPv4 address of an interface that is up and running, loopback only
    // when there is nothing else; empty when there is no address at all.
    QString LocalIP();
    QString LocalHostName();
    // Empty (and no event) when Socket is -1 or unknown.
    QString PeerIP(int Socket) const;
    QString PeerPort(int Socket) const;
    virtual QString LocalPort(int Socket) const;
    // The connection sends without waiting to fill a segment (no Nagle):
    // every connection is set so once it is made.
    bool LowDelay(int Socket) const;

    // Bytes a connection may hold unsent before it is given up.
    qint64 SendQueueLimit = DefaultSendQueueLimit;

    TOnError OnError;

protected:
    struct Connection;

    // Stores the code as LastError and raises OnError. False when a handler
    // destroyed the component (the caller must return at once).
    bool ReportError(int code);
    // Port text: a service name or a decimal number 0..65535; reports 10022
    // for anything else.
    bool ResolvePort(const QString& text, quint16& port);

    int NewHandle() { return nextHandle_++; }
    // Takes over a socket: gives it a handle and watches it.
    int Attach(QTcpSocket* socket);
    Connection* Find(int handle) const;
    void RememberAddresses(int handle);
    // Releases the connection (queued data is still flushed); false when the
    // handle is unknown.
    bool CloseConnection(int handle);
    void CloseAllConnections();

    void SendText(int handle, const QByteArray& text);
    QByteArray ReceiveText(int handle);

    // Raises an event unless it is unassigned. False when a handler destroyed
    // the component.
    bool Raise(const std::function<void(TCustomWinSocket*, int)>& event, int socket);

    // Hooks for the components.
    virtual bool RaiseData(int handle) = 0;
    virtual bool PeerClosed(int handle) = 0;
    virtual bool InConnectPhase(int handle) const;
    virtual bool ConnectFailed(int handle, int code);

    TSocketStatus status_ = TSocketStatus::Idle;
    int handle_ = -1;

private:
    void SocketReadyRead(int handle);
    void SocketDisconnected(int handle);
    void SocketError(int handle, int qtError);
    bool Deliver(int handle);
    bool DeliverOnce(int handle);
    void PostDeliver(int handle);
    void GiveUp(int handle);
    void Flush(int handle);
    void FlushAll();

    std::map<int, std::unique_ptr<Connection>> connections_;
    std::vector<int> toFlush_; // connections with unsent messages, in the order they got them
    int deliverLevel_ = -1;    // the event-loop level of the delivery under way
    bool flushPosted_ = false;
    int deferredReads_ = 0;
    int lastError_ = 0;
    int nextHandle_ = 1;
};

// One outgoing connection to Host:Port.
class TTCPClient : public TCustomWinSocket {
    Q_OBJECT
public:
    explicit TTCPClient(QObject* parent = nullptr);
    ~TTCPClient() override;

    QString Host; // dotted IPv4 address or host name
    QString Port; // decimal port or service name

    TOnData OnData;
    TOnConnect OnConnect;
    TOnClose OnClose;

    // Starts connecting; the outcome arrives as OnConnect or OnError. Status
    // is Connecting right after, or Idle when the attempt failed at once. A
    // host name is looked up without blocking; when the lookup fails OnError
    // 11001 follows and Status returns to Idle. Any other failed attempt leaves
    // Status at Connecting until Close.
    void Open();
    // Closes the connection (queued data is still delivered); no OnClose.
    void Close();
    // Text is sent as Latin-1 bytes.
    void Send(const QString& Text);
    void SendBytes(const QByteArray& Bytes);
    // At most 1024 bytes, as Latin-1 text (every byte value survives).
    QString Receive();
    QByteArray ReceiveBytes();

protected:
    bool RaiseData(int handle) override;
    bool PeerClosed(int handle) override;
    bool InConnectPhase(int handle) const override;
    bool ConnectFailed(int handle, int code) override;

private:
    bool CheckConnection();
    void SocketConnected(int handle);
};

// A listening socket on Port (every local IPv4 address) and its connections.
class TTCPServer : public TCustomWinSocket {
    Q_OBJECT
public:
    explicit TTCPServer(QObject* parent = nullptr);
    ~TTCPServer() override;

    QString Port; // decimal port ("0" picks a free one) or service name
    TClientList Clients;

    TOnData OnData;
    TOnAccept OnAccept;
    TOnClose OnClose;

    // Status becomes Listening, or stays Idle after OnError.
    void Open();
    // Closes every connection and the listening socket; no OnClose.
    void Close();
    void Send(int Socket, const QString& Text);
    void SendBytes(int Socket, const QByteArray& Bytes);
    QString Receive(int Socket);
    QByteArray ReceiveBytes(int Socket);
    // Removes the connection from Clients and closes it; no OnClose. A handle
    // that names no connection gives OnError 10038 (-1 is ignored).
    void Disconnect(int Socket);

    QString LocalPort(int Socket) const override;

protected:
    bool RaiseData(int handle) override;
    bool PeerClosed(int handle) override;

private:
    void NewConnections();

    QTcpServer* server_ = nullptr;
};
