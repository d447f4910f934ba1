#pragma once
// TChatSession: one participant of the chat, host or client, without any
// window. It owns the two socket components, opens, accepts, refuses and
// closes connections, registers nicks, keeps the nick list, relays chat lines
// and private messages, dispatches every received message by the catalogue
// (ChatCatalogue.h), runs the commands typed into the input line, and holds
// what the chat window shows: the log, the nick list, the title and which
// buttons may be pressed. It is the game's way to the network (TGameNetwork)
// and the update check's host; the game's own messages are handled by the
// TNetworkGame it owns.
//
// The two roles are apart: the host's handlers and commands live in
// ChatHost.cpp, the participant's in ChatClient.cpp; the catalogue row of a
// received word and the row of a typed command (TypedCommands, in
// ChatCommands.cpp) name the one that runs, so no handler asks for the role.
//
// The role is the game controller's (TGameController::Role); so are Nick,
// HostNick, Version, WebUrl and the sound cues. The user is reached only
// through the environment's dialogs.
//
// What must stay true:
//  - every message sent is framed by FrameMessage, and each connection's
//    bytes are cut into messages by its own TMessageAssembler, so a message
//    is handled only once it has arrived whole;
//  - on the host, a connection is a participant only once it has registered
//    a nick (Identified): before that it counts for nothing (not for "Max.
//    Clientes", not in a nick list), hears nothing of the chat, may say
//    nothing but "/IDENT", and is closed when it has not registered within
//    IdentTimeoutMs;
//  - every nick the host registers follows the nick rules (NickRules.h) and
//    differs from every other one, the host's own included, in more than
//    case; the host's nick list holds its own nick and every registered
//    client, nothing that has left or was removed; a client's list never
//    holds more than MostListedNicks;
//  - no message the host sends is longer than a client accepts: nicks,
//    chat lines and quoted texts are bounded (NickRules.h);
//  - what a client says reaches the host's log only with its nick;
//  - a message with a malformed number is dropped with a log line, and the
//    messages after it are still handled;
//  - a handler never waits for the user: its questions are answered later,
//    and a question whose reason has gone (the nick registered, the
//    session gone) is withdrawn; after each message the session checks that
//    the connection's assembler still exists;
//  - "/KILL" from the host ends the program only through OnQuitRequested,
//    raised from the event loop, so its normal shut-down runs.

#include "ChatCatalogue.h"
#include "ChatCodec.h"
#include "ChatLog.h"
#include "GameController.h"
#include "UiDialogs.h"
#include "UpdateCheck.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>

class QTimer;
class TCustomWinSocket;
class TClubGame;
class TNetworkGame;
class TProgramEnv;
class TTCPClient;
class TTCPServer;

// Which of the chat window's buttons may be pressed.
struct TChatButtons {
    bool Crear = true;
    bool Conectar = true;
    bool Desconectar = true;
    bool Observar = false;
    bool operator==(const TChatButtons&) const = default;
};

// One received message as its handler sees it.
struct TIncomingMessage {
    const TCatalogueRow* Row = nullptr;
    QString Data;    // everything after the word's 0xFE
    int Socket = -1; // the connection it came from (on the host)
    // A client's game relayed by its host: the participant the message is
    // from (empty otherwise).
    QString Sender;
};

class TChatSession : public QObject, public TGameNetwork, public TUpdateCheckHost {
    Q_OBJECT
public:
    using TMessageHandler = std::function<void(const TIncomingMessage&)>;

    static constexpr int DefaultMaxClients = 5;
    static constexpr int MostClients = 50;
    // Connections that have not registered yet, at most, at one time.
    static constexpr int MostWaitingConnections = MostClients;
    // The host and as many clients as a host may take.
    static constexpr int MostListedNicks = MostClients + 1;
    static constexpr int DefaultIdentTimeoutMs = 15000;

    TChatSession(TGameController& game, TProgramEnv& env, QObject* parent = nullptr);
    ~TChatSession() override;
    TChatSession(const TChatSession&) = delete;
    TChatSession& operator=(const TChatSession&) = delete;

    static QString ContactAddress();
    static QStringList GreetingLines(const QString& hostName, const QString& localIp);
    // The nine lines of the help text.
    static QStringList HelpLines();

    // ---- what the window shows ----
    TChatLog& Log() { return log_; }
    const TChatLog& Log() const { return log_; }
    QString Title() const { return title_; }
    // Sorted; compared exactly (case counts).
    const QStringList& NickList() const { return nicks_; }
    TChatButtons Buttons() const { return buttons_; }
    int MaxClients() const { return maxClients_; }
    // eMaxClients: kept within 1..MostClients.
    void SetMaxClients(int count);
    // How long a new connection may take to register its nick.
    int IdentTimeoutMs() const { return identTimeoutMs_; }
    void SetIdentTimeoutMs(int ms) { identTimeoutMs_ = ms; }
    // The start title, "Zugaret CHAT! " + Version + "  [" + Nick + "]".
    void ShowStartTitle();

    // ---- the window's controls ----
    void bCrearClick();
    void bConectarClick();
    void bDesconectarClick();
    // "Observar" (TNetworkGame::bObservarClick).
    void bObservarClick();
    // A key on the input line whose text is Text. Enter (13) runs the line
    // as a chat line or a command; true when the key was used, and then Text
    // is cleared unless the line is to stay for correction.
    bool FMsgEditKeyPress(QString& Text, QChar Key);

    // How a typed command's words are read: the word, then A up to the next
    // blank, then the rest R. NickAndText needs A: without it the line stays.
    enum class TTypedArgs { None, Nick, NickAndText };
    struct TTypedLine;
    // One typed command for some roles: its word (upper case), who may type
    // it, what it reads and what runs (false: the line stays for correction).
    struct TTypedCommand {
        const char* Word;
        TRoleSet Roles;
        TTypedArgs Args;
        bool (TChatSession::*Run)(const TTypedLine& typed);
    };
    struct TTypedLine {
        const TTypedCommand* Row = nullptr;
        QString Word, Nick, Rest;
    };
    // Every typed command, in the table's order.
    static const TTypedCommand* TypedCommandsBegin();
    static const TTypedCommand* TypedCommandsEnd();

    // ---- connections and nicks ----
    void UpdateNickList(const QString& OldNick, const QString& NewNick);
    QString NickOfSocket(int Socket) const;
    // The registered connection whose nick is Nick in any case, or -1.
    int SocketOfNick(const QString& Nick) const;
    // The host: the connection has registered its nick.
    bool Identified(int Socket) const { return identified_.count(Socket) > 0; }
    int IdentifiedCount() const { return int(identified_.size()); }
    QString PeerAddressOfNick(const QString& Nick) const;
    void StartUpdateCheck();
    // A client has been welcomed with the host's "/LIST"; a host listens.
    bool Registered() const { return registered_; }

    QString ChatPort;
    QString LastHost;
    int OpponentSocket = -1;

    // ---- protocol ----
    void DispatchMessage(const QString& Command, const QString& Data, int Socket);
    // The log line of a message whose numbers are malformed or out of range:
    // the row's plain line, "Error 56" or "Error 67".
    void NoteMalformed(const TIncomingMessage& m);
    // "[" + word + " " + data + "]" for a log line, the data cut to
    // MostQuotedText characters.
    static QString Quoted(const TIncomingMessage& m);
    // Who sent a message: on the host the connection's nick, on a client its
    // host's nick.
    QString SenderNick(const TIncomingMessage& m) const;
    void RelayChatLine(const QString& Text, int Socket);
    // The handler run for a word's messages (the game words' are the
    // network game's); a word without one is dropped.
    void SetHandler(TChatWord word, TMessageHandler handler);
    // A message of a game the host relays, handled as the same message of a
    // game with the host (word "/MOV", "/MOB", "/DRAW" …) from sender.
    void DispatchRelayed(const char* word, const QString& data, const QString& sender);
    // Whom this side may offer a game: the host any participant; a client the
    // host, and in a room that relays games every participant who is free.
    QStringList Opponents() const;
    // What the nick list shows beside nick: the game it plays or watches.
    QString NickStatus(const QString& nick) const;
    void NickStatusChanged() { OnNickListChanged(); }

    // Sends, with the reach of each role (Server / Client / Observer /
    // Offline): to one connection of the host; to the host;
    // SendToOpponent: OpponentSocket / host / nothing / nothing;
    // SendToPeer: OpponentSocket / host / host / nothing;
    // SendToAll: every connection / host / host / "No esta conectado";
    // SendToObservers: every connection but OpponentSocket / nothing /
    // nothing / "No esta conectado".
    void SendTo(int Socket, const QByteArray& Message);
    void SendToHost(const QByteArray& Message);
    void SendToOpponent(const QByteArray& Message);
    void SendToPeer(const QByteArray& Message);
    void SendToAll(const QByteArray& Message);
    void SendToObservers(const QByteArray& Message);
    // "/NEW_GAME" to nick (the host) or to the host (a client)
    // (TNetworkGame::OfferGame).
    void OfferGame(const QString& Nick, int ReceiverPlaysWhite, int Minutes, int Elo);

    // ---- TGameNetwork ----
    void SendMove(const TMovimiento& move, bool fromLocalPlayer) override;
    void SendEndGame(const QString& panelText, const QString& resultText) override;
    void SendResign(const QString& reason) override;
    void SendTimeout(const QString& reason) override;
    void SendDrawOffer(const QString& reason) override;
    void LogPlainLine(const QString& line) override;

    // ---- TUpdateCheckHost ----
    void AddChatLine(const QString& line) override;
    void PlayCue(const QString& cue) override;
    void ShowMessage(const QString& text, std::function<void()> onClosed) override;
    void OpenUrl(const QString& url) override;
    void WriteVersionState(int state) override;
    QString WebUrl() const override;
    void SetWebUrl(const QString& url) override;

    // The shell that opens a web page (the windows hand in OpenWithShell).
    std::function<void(const QString& url)> OnOpenUrl;

    TTCPServer& Server() { return *server_; }
    TTCPClient& Client() { return *client_; }
    TUpdateCheck& UpdateCheck() { return *updateCheck_; }
    TGameController& Game() { return game_; }
    TNetworkGame& NetworkGame() { return *networkGame_; }
    TClubGame& ClubGame() { return *club_; }

signals:
    void OnTitleChanged();
    void OnButtonsChanged();
    void OnNickListChanged();
    void OnRegistered();
    // The host sent "/KILL": the program must end through its shut-down.
    void OnQuitRequested();

private:
    // socket events
    void TCPServer1Accept(int Socket);
    void TCPServer1Close(int Socket);
    void TCPClient1Connect();
    void TCPClient1Close();
    // A failed "Conectar" brings the buttons back; other errors are logged.
    void TCPClient1Error(TCustomWinSocket* Sender, int Error);
    void TCPClient1Data(TCustomWinSocket* Sender, int Socket);

    void HandleBytes(bool onHost, int socket, const QByteArray& bytes);
    void HostDrops(int socket);
    void HostCloses();
    // The connection to the host is gone: the client closed, buttons, title,
    // role and nick list as when offline, the cue "desconectar".
    void ClientDisconnected();
    void ClientCloses();
    void Departure(int socket);
    void DropTooLong(bool onHost, int socket);
    // A connection that has not registered: refused when the room is full,
    // closed when it stays silent.
    void AwaitIdent(int socket);
    void IdentTimedOut(int socket);
    void StopIdentDeadline(int socket);
    void ForgetConnection(int socket);
    void RefuseFull(int socket);
    bool NickTaken(const QString& nick, int except) const;
    // The host's nick, then every registered client's in order of acceptance.
    QStringList ListedNicks() const;

    using TOwnHandler = void (TChatSession::*)(const TIncomingMessage&);
    void InstallHandlers(std::initializer_list<std::pair<TChatWord, TOwnHandler>> own);
    // The host's part (ChatHost.cpp): the words clients send it.
    void InstallHostHandlers();
    void HostTxt(const TIncomingMessage& m);
    void HostIdent(const TIncomingMessage& m);
    void HostList(const TIncomingMessage& m);
    void HostNick(const TIncomingMessage& m);
    void HostVersion(const TIncomingMessage& m);
    void HostVer(const TIncomingMessage& m);
    void HostMsg(const TIncomingMessage& m);
    void OnHelp(const TIncomingMessage& m);
    void OnDns(const TIncomingMessage& m);
    // "* IP de <nick>: <address>", or that no one goes by that nick.
    QString AddressReply(const QString& nick) const;
    // ... and what its user types.
    void HostChatLine(const QString& line);
    bool HostTypedMsg(const TTypedLine& typed);
    bool HostTypedNick(const TTypedLine& typed);
    bool HostTypedList(const TTypedLine& typed);
    bool HostTypedKick(const TTypedLine& typed);
    bool HostTypedKill(const TTypedLine& typed);
    bool HostTypedHelp(const TTypedLine& typed);
    bool HostTypedVersion(const TTypedLine& typed);
    bool HostTypedDns(const TTypedLine& typed);
    void TypedRemoval(const QString& nick, const char* what);

    // A participant's part (ChatClient.cpp): the words its host sends it.
    void InstallClientHandlers();
    void OnTxt(const TIncomingMessage& m);
    void OnHola(const TIncomingMessage& m);
    void OnIdent(const TIncomingMessage& m);
    void OnNickError(const TIncomingMessage& m);
    // The question after a refused nick; its answer renames only while
    // this program is unregistered and still goes by that nick.
    void AskNewNick(const QString& refused);
    void ConnectTo(const QString& address);
    // Registered with the host (or listening): the questions of "Conectar"
    // and of a new nick go.
    void SetRegistered();
    void OnAddNick(const TIncomingMessage& m);
    void OnList(const TIncomingMessage& m);
    void OnNick(const TIncomingMessage& m);
    void OnNickUsed(const TIncomingMessage& m);
    void OnDelNick(const TIncomingMessage& m);
    void OnKill(const TIncomingMessage& m);
    void OnVersion(const TIncomingMessage& m);
    void OnVer(const TIncomingMessage& m);
    void OnMsg(const TIncomingMessage& m);
    // ... and what its user types.
    void ClientChatLine(const QString& line);
    bool ClientTypedMsg(const TTypedLine& typed);
    bool ClientTypedNick(const TTypedLine& typed);
    // The command's word to the host, with A unless the row reads nothing.
    bool ClientAsksHost(const TTypedLine& typed);

    // The host's title: how many connections it has, one that is leaving not counted.
    void ShowClientCount(int leaving = -1);
    // "/VER" with this program's version, the answer to "/VERSION".
    QByteArray VersionReply() const;

    // The input line (ChatCommands.cpp); each false when the line is to stay.
    static const TTypedCommand TypedCommands[];
    void TypedChatLine(const QString& line);
    bool TypedCommand(const QString& line);
    bool TypedNothing(const TTypedLine& typed);
    bool OfflineTypedNick(const TTypedLine& typed);
    bool OwnVersion(const TTypedLine& typed);

    void SetTitle(const QString& title);
    void SetButtons(bool crear, bool conectar, bool desconectar, bool observar);
    void SetRole(TRole role) { game_.SetRole(role); }
    void ClearNickList();
    void RemoveNick(const QString& nick);
    void RenameSelf(const QString& oldNick, const QString& newNick);
    QString Nick() const { return game_.Nick(); }
    QString LocalIP() const;
    void Play(const char* cue) const;
    // To every registered connection but except.
    void SendToEveryConnection(const QByteArray& message, int except = -1);

    TGameController& game_;
    TProgramEnv& env_;
    TTCPServer* server_ = nullptr;
    TTCPClient* client_ = nullptr;
    TUpdateCheck* updateCheck_ = nullptr;
    TChatLog log_;
    QString title_;
    QStringList nicks_;
    TChatButtons buttons_;
    int maxClients_ = DefaultMaxClients;
    int identTimeoutMs_ = DefaultIdentTimeoutMs;
    bool registered_ = false;
    std::set<int> identified_;            // the host's registered connections
    std::map<int, QTimer*> waitingIdent_; // the others, each with its deadline
    std::array<TMessageHandler, static_cast<size_t>(TChatWord::Count)> handlers_;
    std::map<int, TMessageAssembler> hostAssemblers_;
    TMessageAssembler clientAssembler_;
    TQuestionId connectQuestion_ = 0;
    TQuestionId newNickQuestion_ = 0;
    TQuestionId killMessage_ = 0;
    QString removal_; // why the host removed this participant ("[KICK por …]")
    std::unique_ptr<TNetworkGame> networkGame_;
    std::unique_ptr<TClubGame> club_;
};
