// The host's part of the chat: opening the room, taking, counting and
// dropping connections, registering nicks, and what it does with each word
// a client sends and each command its user types. Every connection it
// speaks to is one of its own (SendTo, SendToEveryConnection), so a message
// relayed between two clients passes through here.
#include "ChatSession.h"
#include "ClubGame.h"

#include "NetworkGame.h"
#include "NickRules.h"
#include "TcpSockets.h"
#include "TextUtils.h"

#include <QTimer>

namespace {
using W = TChatWord;
} // namespace

void TChatSession::InstallHostHandlers() {
    InstallHandlers({
        {W::HostTxt, &TChatSession::HostTxt},
        {W::HostIdent, &TChatSession::HostIdent},
        {W::HostList, &TChatSession::HostList},
        {W::HostNick, &TChatSession::HostNick},
        {W::Help, &TChatSession::OnHelp},
        {W::HostVersion, &TChatSession::HostVersion},
        {W::HostVer, &TChatSession::HostVer},
        {W::HostMsg, &TChatSession::HostMsg},
        {W::Dns, &TChatSession::OnDns},
    });
}

// ---------------------------------------------------------------- the room

void TChatSession::bCrearClick() {
    if (game_.Role() != TRole::Offline) return;
    const QString safeNick = SaneNick(Nick());
    if (!safeNick.isEmpty() && safeNick != Nick()) RenameSelf(Nick(), safeNick);
    const QString ip = LocalIP();
    log_.Add("Host: " + server_->LocalHostName());
    log_.Add(QStringLiteral("Dirección IP: ") + ip);
    log_.Add(QStringLiteral("servidor OK"));
    server_->Port = ChatPort;
    server_->Open();
    if (server_->Status() != TSocketStatus::Listening) {
        log_.Add(QStringLiteral("No se ha podido abrir el servidor"));
        return;
    }
    log_.Clear();
    ClearNickList();
    SetTitle(Nick() + " [" + ip + "] Esperando conexiones");
    SetButtons(false, false, true, false);
    UpdateNickList(QString(), Nick());
    SetRole(TRole::Server);
    club_->Hosting();
    // The port listened on: ChatPort, or the one the system chose for "0".
    log_.Add("Servidor abierto en " + ip + ":" + server_->LocalPort(server_->SocketHandle()));
    StartUpdateCheck();
    SetRegistered();
}

void TChatSession::TCPServer1Accept(int Socket) {
    const TClientList& clients = server_->Clients;
    // Only registered clients fill the room; those still to register are
    // bounded on their own.
    const int waiting = clients.Count() - IdentifiedCount();
    if (IdentifiedCount() >= maxClients_ || waiting > MostWaitingConnections) {
        RefuseFull(Socket);
        return;
    }
    AwaitIdent(Socket);
    SendTo(Socket, FrameMessage("/HOLA", {Nick()}));
    SendTo(Socket, FrameMessage(
                       "/TXT", {Nick() + " > Escriba /HELP para listar los comandos disponibles"}));
    SendTo(Socket, FrameMessage("/IDENT"));
    ShowClientCount();
    Play("entrar");
}

void TChatSession::ShowClientCount(int leaving) {
    // Only registered participants count; one leaving is still registered
    // while its departure is handled.
    const int count = IdentifiedCount() - (Identified(leaving) ? 1 : 0);
    SetTitle(Nick() + " [" + LocalIP() + "] " + QString::number(count) +
             " Cliente(s) conectado(s)");
}

void TChatSession::TCPServer1Close(int Socket) {
    Departure(Socket);
    ShowClientCount(Socket);
    networkGame_->HostConnectionLost(Socket);
    ForgetConnection(Socket);
}

void TChatSession::RefuseFull(int socket) {
    SendTo(socket, FrameMessage("/TXT", {QStringLiteral("Lo siento, No se admiten mas mirones")}));
    log_.Add(QStringLiteral("Conexión rechazada [") + server_->PeerIP(socket) + ":" +
             server_->PeerPort(socket) + "]");
    HostDrops(socket);
}

void TChatSession::AwaitIdent(int socket) {
    auto* deadline = new QTimer(this);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, socket] { IdentTimedOut(socket); });
    waitingIdent_[socket] = deadline;
    deadline->start(identTimeoutMs_);
}

void TChatSession::IdentTimedOut(int socket) {
    if (Identified(socket) || server_->Clients.IndexOf(socket) < 0) return;
    log_.Add(QStringLiteral("Conexión cerrada [") + server_->PeerIP(socket) + ":" +
             server_->PeerPort(socket) + QStringLiteral("]: no se identificó"));
    HostDrops(socket);
}

void TChatSession::StopIdentDeadline(int socket) {
    if (const auto it = waitingIdent_.find(socket); it != waitingIdent_.end()) {
        it->second->stop();
        it->second->deleteLater();
        waitingIdent_.erase(it);
    }
}

void TChatSession::ForgetConnection(int socket) {
    identified_.erase(socket);
    hostAssemblers_.erase(socket);
    StopIdentDeadline(socket);
}

void TChatSession::Departure(int socket) {
    // A connection that never registered was nobody in the chat.
    if (!Identified(socket)) return;
    // The departing connection is gone: the notice goes to the others only.
    const QString nick = NickOfSocket(socket);
    RemoveNick(nick);
    log_.Add("* " + nick + " abandona el chat *");
    SendToEveryConnection(FrameMessage("/DELNICK", {nick, QStringLiteral("*")}), socket);
    Play("salir");
}

void TChatSession::HostDrops(int socket) {
    networkGame_->HostConnectionLost(socket);
    const bool counted = Identified(socket);
    ForgetConnection(socket);
    server_->Disconnect(socket);
    if (counted && game_.Role() == TRole::Server) ShowClientCount();
}

void TChatSession::HostCloses() {
    networkGame_->HostClosing();
    club_->HostStopped();
    server_->Close();
    for (const auto& [socket, deadline] : waitingIdent_)
        deadline->deleteLater();
    waitingIdent_.clear();
    identified_.clear();
    hostAssemblers_.clear();
}

bool TChatSession::NickTaken(const QString& nick, int except) const {
    const int holder = SocketOfNick(nick);
    return SameNick(nick, Nick()) || (holder != -1 && holder != except);
}

QStringList TChatSession::ListedNicks() const {
    QStringList nicks{Nick()};
    const TClientList& clients = server_->Clients;
    for (int i = 0; i < clients.Count(); ++i)
        if (Identified(clients.Sockets(i))) nicks << clients.Nicks().at(i);
    return nicks;
}

// ---------------------------------------------------------------- words from clients

void TChatSession::RelayChatLine(const QString& Text, int Socket) {
    const QString line = NickOfSocket(Socket) + " > " + Clipped(Text, MostChatText);
    log_.Add(line);
    SendToEveryConnection(FrameMessage("/TXT", {line}), Socket);
}

void TChatSession::HostTxt(const TIncomingMessage& m) {
    RelayChatLine(m.Data, m.Socket);
}

void TChatSession::HostIdent(const TIncomingMessage& m) {
    const QString nick = TFieldReader(m.Data).Next();
    TClientList& clients = server_->Clients;
    const int index = clients.IndexOf(m.Socket);
    // Registration happens once per connection; a rename is "/NICK".
    if (index < 0 || Identified(m.Socket)) return;
    if (IdentifiedCount() >= maxClients_) {
        RefuseFull(m.Socket);
        return;
    }
    if (!IsAcceptableNick(nick) || NickTaken(nick, m.Socket) || !clients.SetNick(index, nick)) {
        SendTo(m.Socket, FrameMessage("/NICKERROR", {Clipped(nick, MostNickLength)}));
        HostDrops(m.Socket);
        return;
    }
    SendToEveryConnection(FrameMessage("/ADDNICK", {nick}), m.Socket);
    identified_.insert(m.Socket);
    StopIdentDeadline(m.Socket);
    ShowClientCount();
    SendTo(m.Socket, FrameMessage("/LIST", ListedNicks()));
    UpdateNickList(QString(), nick);
    log_.Add("* Ha entrado " + nick);
}

void TChatSession::HostList(const TIncomingMessage& m) {
    SendTo(m.Socket, FrameMessage("/TXT", {"* Usuarios conectados: " +
                                           ListedNicks().join(QStringLiteral(", "))}));
}

void TChatSession::HostNick(const TIncomingMessage& m) {
    const QString newNick = TFieldReader(m.Data).Next();
    const QString oldNick = NickOfSocket(m.Socket);
    TClientList& clients = server_->Clients;
    if (!IsAcceptableNick(newNick) || NickTaken(newNick, m.Socket) ||
        !clients.SetNick(clients.IndexOf(m.Socket), newNick)) {
        SendTo(m.Socket, FrameMessage("/NICKUSED", {Clipped(newNick, MostNickLength)}));
        return;
    }
    SendToEveryConnection(FrameMessage("/NICK", {oldNick, newNick}));
    log_.Add("* " + oldNick + " es ahora " + newNick);
    UpdateNickList(oldNick, newNick);
}

void TChatSession::OnHelp(const TIncomingMessage& m) {
    QByteArray reply;
    for (const QString& line : HelpLines())
        reply += FrameMessage("/TXT", {line});
    SendTo(m.Socket, reply);
}

void TChatSession::HostVersion(const TIncomingMessage& m) {
    SendTo(m.Socket, VersionReply());
}

void TChatSession::HostVer(const TIncomingMessage& m) {
    // A client's answer is shown as its own: the line names its nick first.
    const QString nick = NickOfSocket(m.Socket);
    const QString own = "* " + nick + " esta usando ZugaretChat! ";
    const QString text = Clipped(m.Data, MostQuotedText);
    log_.Add(text.startsWith(own) ? text : nick + " > " + text);
}

void TChatSession::HostMsg(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString target = fields.Next();
    const QString text = Clipped(fields.Next(), MostChatText);
    const QString line = "Mensaje de " + NickOfSocket(m.Socket) + " > " + text;
    if (SameNick(target, Nick())) {
        log_.Add(line);
    } else if (const int to = SocketOfNick(target); to == -1) {
        SendTo(m.Socket,
               FrameMessage("/TXT", {"* No se encuentra " + Clipped(target, MostNickLength)}));
    } else {
        SendTo(to, FrameMessage("/MSG", {line}));
    }
    Play("msg");
}

void TChatSession::OnDns(const TIncomingMessage& m) {
    SendTo(
        m.Socket,
        FrameMessage("/TXT", {AddressReply(Clipped(TFieldReader(m.Data).Next(), MostNickLength))}));
}

QString TChatSession::AddressReply(const QString& nick) const {
    if (SameNick(nick, Nick())) return "* IP de " + nick + ": " + LocalIP();
    if (SocketOfNick(nick) == -1) return "* No se encuentra " + nick + " *";
    return "* IP de " + nick + ": " + PeerAddressOfNick(nick);
}

// ---------------------------------------------------------------- typed by the host's user

void TChatSession::HostChatLine(const QString& line) {
    log_.Add(Nick() + " > " + line);
    SendToEveryConnection(FrameMessage("/TXT", {Nick() + " > " + line}));
}

bool TChatSession::HostTypedMsg(const TTypedLine& typed) {
    const int to = SocketOfNick(typed.Nick);
    if (to == -1) {
        log_.Add("* No se encuentra " + typed.Nick + " *");
        return true;
    }
    SendTo(to, FrameMessage("/TXT", {"Mensaje de " + Nick() + " > " + typed.Rest}));
    log_.Add("* Mensaje enviado a " + typed.Nick + " [" + typed.Rest + "]");
    return true;
}

bool TChatSession::HostTypedNick(const TTypedLine& typed) {
    const QString& nick = typed.Nick;
    if (nick.trimmed().isEmpty() || SocketOfNick(nick) != -1) {
        log_.Add("* El nick" + nick + " ya existe *");
        return false;
    }
    if (!IsAcceptableNick(nick)) {
        log_.Add("* El nick " + nick + " no es válido *");
        return false;
    }
    UpdateNickList(Nick(), nick);
    SendToEveryConnection(FrameMessage("/NICK", {Nick(), nick}));
    RenameSelf(Nick(), nick);
    return true;
}

bool TChatSession::HostTypedList(const TTypedLine&) {
    log_.Add("* Usuarios conectados: " + ListedNicks().join(QStringLiteral(", ")));
    return true;
}

bool TChatSession::HostTypedKick(const TTypedLine& typed) {
    TypedRemoval(typed.Nick, "KICK");
    return true;
}

bool TChatSession::HostTypedKill(const TTypedLine& typed) {
    TypedRemoval(typed.Nick, "KILL");
    return true;
}

void TChatSession::TypedRemoval(const QString& nick, const char* what) {
    const int target = SocketOfNick(nick);
    if (target == -1) {
        log_.Add("* No se encuentra " + nick + " *");
        return;
    }
    // The notice names the nick as registered, so every list loses it
    // whatever case the host typed it in.
    const QString registered = NickOfSocket(target);
    const QString reason = "[" + QLatin1String(what) + " por " + Nick() + "]";
    SendToEveryConnection(FrameMessage("/DELNICK", {registered, reason}));
    if (qstrcmp(what, "KILL") == 0) SendTo(target, FrameMessage("/KILL", {QStringLiteral("*")}));
    RemoveNick(registered);
    log_.Add("* " + registered + " abandona el chat " + reason + "*");
    HostDrops(target);
}

bool TChatSession::HostTypedHelp(const TTypedLine&) {
    for (const QString& help : HelpLines())
        log_.Add(help);
    return true;
}

bool TChatSession::HostTypedVersion(const TTypedLine& typed) {
    if (typed.Nick.isEmpty() || typed.Nick == Nick()) return OwnVersion(typed);
    if (const int to = SocketOfNick(typed.Nick); to == -1)
        log_.Add("* No se encuentra " + typed.Nick + " *");
    else
        SendTo(to, FrameMessage("/VERSION"));
    return true;
}

bool TChatSession::HostTypedDns(const TTypedLine& typed) {
    log_.Add(AddressReply(typed.Nick));
    return true;
}
