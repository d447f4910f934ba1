#include "ChatSession.h"

#include "ClubGame.h"
#include "NetworkGame.h"
#include "NickRules.h"
#include "ProgramEnv.h"
#include "Settings.h"
#include "TcpSockets.h"
#include "TextUtils.h"
#include "UiDialogs.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace {

using W = TChatWord;

bool Blank(const QString& text) {
    return text.trimmed().isEmpty();
}

QString Separator() {
    return QString(QChar(FieldSeparator));
}

// What a socket error number means, in the user's words.
QString SocketFailure(int error) {
    switch (error) {
    case 10061:
        return QString::fromUtf8("conexión rechazada (nadie espera conexiones ahí)");
    case 10060:
        return QString::fromUtf8("no contesta (tiempo agotado)");
    case 11001:
        return QString::fromUtf8("no se encuentra esa dirección");
    case 10065:
        return QString::fromUtf8("no hay ruta hasta ese equipo");
    case 10051:
        return QString::fromUtf8("la red no llega hasta ese equipo");
    case 10050:
        return QString::fromUtf8("la red no está disponible");
    case 10054:
        return QString::fromUtf8("el otro extremo cortó la conexión");
    case 10055:
        return QString::fromUtf8("el otro extremo no lee lo que se le envía");
    case 10048:
        return QString::fromUtf8("el puerto ya está en uso");
    case 10013:
        return QString::fromUtf8("permiso denegado");
    case 10022:
        return QString::fromUtf8("dirección o puerto no válidos");
    default:
        return QString::fromUtf8("error de red %1").arg(error);
    }
}

} // namespace

TChatSession::TChatSession(TGameController& game, TProgramEnv& env, QObject* parent)
    : QObject(parent), game_(game), env_(env) {
    server_ = new TTCPServer(this);
    client_ = new TTCPClient(this);
    updateCheck_ = new TUpdateCheck(*this, TGameController::Version(), this);

    server_->OnAccept = [this](TCustomWinSocket*, int s) { TCPServer1Accept(s); };
    server_->OnClose = [this](TCustomWinSocket*, int s) { TCPServer1Close(s); };
    client_->OnConnect = [this](TCustomWinSocket*, int) { TCPClient1Connect(); };
    client_->OnClose = [this](TCustomWinSocket*, int) { TCPClient1Close(); };
    const TOnError onError = [this](TCustomWinSocket* sender, int e, const QString&) {
        TCPClient1Error(sender, e);
    };
    server_->OnError = onError;
    client_->OnError = onError;
    const TOnData onData = [this](TCustomWinSocket* sender, int s) { TCPClient1Data(sender, s); };
    server_->OnData = onData;
    client_->OnData = onData;

    const std::pair<TChatWord, void (TChatSession::*)(const TIncomingMessage&)> own[] = {
        {W::Txt, &TChatSession::OnTxt},         {W::Hola, &TChatSession::OnHola},
        {W::Ident, &TChatSession::OnIdent},     {W::NickError, &TChatSession::OnNickError},
        {W::AddNick, &TChatSession::OnAddNick}, {W::List, &TChatSession::OnList},
        {W::Nick, &TChatSession::OnNick},       {W::NickUsed, &TChatSession::OnNickUsed},
        {W::DelNick, &TChatSession::OnDelNick}, {W::Kill, &TChatSession::OnKill},
        {W::Help, &TChatSession::OnHelp},       {W::Version, &TChatSession::OnVersion},
        {W::Ver, &TChatSession::OnVer},         {W::Msg, &TChatSession::OnMsg},
        {W::Dns, &TChatSession::OnDns},
    };
    for (const auto& [word, handler] : own)
        SetHandler(word,
                   [this, handler = handler](const TIncomingMessage& m) { (this->*handler)(m); });
    networkGame_ = std::make_unique<TNetworkGame>(*this, game_);
    club_ = std::make_unique<TClubGame>(*this, game_);

    // FormCreate
    ShowStartTitle();
    ChatPort = QString::number(env_.ChatPort());
    for (const QString& line : GreetingLines(server_->LocalHostName(), server_->LocalIP()))
        log_.Add(line);
}

TChatSession::~TChatSession() {
    // Nothing the components or the fetch still do may reach a session
    // that is going away.
    club_.reset();
    networkGame_.reset();
    delete updateCheck_;
    delete server_;
    delete client_;
}

QString TChatSession::ContactAddress() {
    return QStringLiteral("zugaret@korvenweb.example.org");
}

QStringList TChatSession::GreetingLines(const QString& hostName, const QString& localIp) {
    return {
        "* Host: " + hostName,
        QStringLiteral("* Dirección IP: ") + localIp,
        QStringLiteral("Zuz Plak > ¡Hola, soy Zuz Plak, el 'celebro artificial' de ZugaretChat!"),
        QStringLiteral(
            "Zuz Plak > Pulsa el botón CREAR para esperar que alguien se conecte contigo"),
        QStringLiteral("Zuz Plak > o pulsa CONECTAR para conectarte con alguien"),
        QStringLiteral("Zuz Plak > Una vez hayas conectado con alguien ya puedes empezar a jugar"),
        QStringLiteral("Zuz Plak > dándole a PARTIDA (encima del tablero, a la izquierda)"),
        QStringLiteral("Zuz Plak > o a OBSERVAR (en esta misma ventana)"),
        QStringLiteral("Zuz Plak > Deja el ratón quieto unos segundos sobre cualquier parte del"),
        QStringLiteral("Zuz Plak > programa y te saldrá un letrero explicando su significado"),
        "Zuz Plak > Si quieres saber más, mándame un correo a " + ContactAddress(),
    };
}

QStringList TChatSession::HelpLines() {
    return {
        QStringLiteral("* Comandos disponibles"),
        QStringLiteral("/help (muestra este listado)"),
        QStringLiteral("/version [nick] (muestra version del programa)"),
        QStringLiteral("/nick nuevoNick (Cambiar el nick a nuevoNick)"),
        QStringLiteral("/dns  Nick  (Ver la Ip de Nick)"),
        QStringLiteral("/msg nick mensaje (Enviar mensaje a Nick)"),
        QStringLiteral("/kick nick [motivo] (Patear a Nick)"),
        QStringLiteral("/kill nick [mensaje] (hacer un kill a Nick)"),
        QStringLiteral("/list (Ver nick's conectados)"),
    };
}

// ---------------------------------------------------------------- view state

void TChatSession::SetTitle(const QString& title) {
    title_ = title;
    OnTitleChanged();
}

void TChatSession::ShowStartTitle() {
    SetTitle("Zugaret CHAT! " + TGameController::Version() + "  [" + Nick() + "]");
}

void TChatSession::SetButtons(bool crear, bool conectar, bool desconectar, bool observar) {
    const TChatButtons next{crear, conectar, desconectar, observar};
    if (next == buttons_) return;
    buttons_ = next;
    OnButtonsChanged();
}

void TChatSession::SetMaxClients(int count) {
    maxClients_ = std::clamp(count, 1, MostClients);
}

QString TChatSession::LocalIP() const {
    return server_->LocalIP();
}

void TChatSession::Play(const char* cue) const {
    game_.MeteRuido(QString::fromLatin1(cue));
}

// ---------------------------------------------------------------- nick list

void TChatSession::UpdateNickList(const QString& OldNick, const QString& NewNick) {
    if (Blank(NewNick)) return;
    if (!OldNick.isEmpty() && OldNick == game_.HostNick()) game_.SetHostNick(NewNick);
    if (!OldNick.isEmpty()) club_->Renamed(OldNick, NewNick);
    for (QString& entry : nicks_) {
        if (entry == NewNick) return;
        if (!OldNick.isEmpty() && entry == OldNick) {
            entry = NewNick;
            std::sort(nicks_.begin(), nicks_.end());
            OnNickListChanged();
            return;
        }
    }
    if (nicks_.size() >= MostListedNicks) return;
    nicks_.append(NewNick);
    std::sort(nicks_.begin(), nicks_.end());
    OnNickListChanged();
}

void TChatSession::RemoveNick(const QString& nick) {
    club_->ParticipantLeft(nick);
    const qsizetype i = nicks_.indexOf(nick);
    if (i < 0) return;
    nicks_.removeAt(i);
    OnNickListChanged();
}

void TChatSession::ClearNickList() {
    if (nicks_.isEmpty()) return;
    nicks_.clear();
    OnNickListChanged();
}

QString TChatSession::NickOfSocket(int Socket) const {
    const int i = server_->Clients.IndexOf(Socket);
    return i < 0 ? QString() : server_->Clients.Nicks().at(i);
}

int TChatSession::SocketOfNick(const QString& Nick) const {
    const TClientList& clients = server_->Clients;
    for (int i = clients.Count() - 1; i >= 0; --i)
        if (Identified(clients.Sockets(i)) && SameNick(clients.Nicks().at(i), Nick))
            return clients.Sockets(i);
    return -1;
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

QString TChatSession::PeerAddressOfNick(const QString& Nick) const {
    if (Blank(Nick)) return QStringLiteral("0.0.0.0");
    return server_->PeerIP(SocketOfNick(Nick));
}

void TChatSession::RenameSelf(const QString& oldNick, const QString& newNick) {
    SetTitle(ReplaceAll(title_, oldNick, newNick));
    game_.ReplaceInTitle(oldNick, newNick);
    game_.SetNick(newNick);
}

// ---------------------------------------------------------------- buttons

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

void TChatSession::SetRegistered() {
    registered_ = true;
    // Neither "Conectar" nor another nick applies any more.
    if (TUiDialogs* dialogs = env_.Dialogs()) {
        dialogs->Withdraw(connectQuestion_);
        dialogs->Withdraw(newNickQuestion_);
    }
    club_->Registered();
    OnRegistered();
}

void TChatSession::bConectarClick() {
    if (client_->Status() == TSocketStatus::Connecting || !buttons_.Conectar) return;
    TUiDialogs* dialogs = env_.Dialogs();
    if (!dialogs || dialogs->IsOpen(connectQuestion_)) return;
    connectQuestion_ = dialogs->AskText(
        TQuestion::ConnectAddress, this, QStringLiteral("Unirse a una partida"),
        QStringLiteral("Escriba la IP del host remoto"), LastHost,
        [this](std::optional<QString> answer) {
            // Only while "Conectar" could still be pressed.
            if (answer && buttons_.Conectar && client_->Status() == TSocketStatus::Idle)
                ConnectTo(*answer);
        });
}

void TChatSession::ConnectTo(const QString& address) {
    const QString safeNick = SaneNick(Nick());
    if (!safeNick.isEmpty() && safeNick != Nick()) RenameSelf(Nick(), safeNick);
    LastHost = address;
    client_->Host = address;
    client_->Port = ChatPort;
    log_.Add(QStringLiteral("Cliente OK"));
    log_.Add("Intentando conectar con " + client_->Host + ":" + client_->Port);
    clientAssembler_.Clear();
    registered_ = false;
    removal_.clear();
    client_->Open();
    if (client_->Status() == TSocketStatus::Connecting) {
        log_.Clear();
        SetRole(TRole::Client);
        SetButtons(false, false, true, false);
        log_.Add(QStringLiteral("Cliente conectado"));
        StartUpdateCheck();
        return;
    }
    SetButtons(true, true, false, buttons_.Observar);
    SetRole(TRole::Offline);
    if (client_->Status() != TSocketStatus::Idle) client_->Close();
    log_.Add("No se ha podido conectar con " + address);
}

void TChatSession::bDesconectarClick() {
    const TRole role = game_.Role();
    if (role == TRole::Server) {
        HostCloses();
    } else if (role == TRole::Client || role == TRole::Observer) {
        client_->Close();
        ClientCloses();
    }
    SetRole(TRole::Offline);
    registered_ = false;
    ClearNickList();
    SetTitle(Nick() + " [" + LocalIP() + "] desconectado");
    SetButtons(true, true, false, false);
    log_.Add(QStringLiteral("Desconectado"));
    log_.Add(QStringLiteral("------------"));
}

void TChatSession::bObservarClick() {
    if (club_->ChooseGame()) return;
    networkGame_->bObservarClick();
}

void TChatSession::StartUpdateCheck() {
    if (!updateCheck_->Started()) updateCheck_->Start();
}

// ---------------------------------------------------------------- connections

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

void TChatSession::TCPClient1Connect() {
    log_.Add("Conectado por el puerto local " + client_->LocalPort(client_->SocketHandle()));
    SetTitle(Nick() + " [" + LocalIP() + "] Conectado a " + LastHost);
    SetRole(TRole::Client);
    SetButtons(buttons_.Crear, buttons_.Conectar, true, true);
    Play("conectar");
}

void TChatSession::ClientCloses() {
    networkGame_->ClientConnectionLost();
    club_->Disconnected();
    game_.SetHostNick(QString()); // the next host greets with its own
    clientAssembler_.Clear();
    registered_ = false;
}

void TChatSession::TCPClient1Close() {
    ClientDisconnected();
    log_.Add(QStringLiteral("Conexión cerrada por el servidor!"));
    log_.Add(QStringLiteral("------------"));
}

void TChatSession::ClientDisconnected() {
    client_->Close();
    ClientCloses();
    SetButtons(true, true, false, buttons_.Observar);
    SetTitle(Nick() + " [" + LocalIP() + "] desconectado");
    SetRole(TRole::Offline);
    ClearNickList();
    Play("desconectar");
}

void TChatSession::TCPClient1Error(TCustomWinSocket* Sender, int Error) {
    const bool connecting = Sender == client_ && client_->Status() != TSocketStatus::Connected &&
                            game_.Role() == TRole::Client;
    if (!connecting) {
        log_.Add("* Error de red: " + SocketFailure(Error) + " *");
        return;
    }
    // The attempt is over: back to where "Conectar" can be pressed again.
    log_.Add("No se pudo conectar con " + client_->Host + ": " + SocketFailure(Error));
    ClientDisconnected();
    log_.Add(QStringLiteral("------------"));
}

void TChatSession::TCPClient1Data(TCustomWinSocket* Sender, int Socket) {
    const TRole role = game_.Role();
    if (Sender == server_) {
        const QByteArray bytes = server_->ReceiveBytes(Socket);
        if (role == TRole::Server) HandleBytes(true, Socket, bytes);
    } else {
        const QByteArray bytes = client_->ReceiveBytes();
        if (role == TRole::Client || role == TRole::Observer) HandleBytes(false, Socket, bytes);
    }
}

void TChatSession::HandleBytes(bool onHost, int socket, const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    // A message may close its own connection (a refused nick, a message
    // too long): its assembler is looked up again after each one.
    auto assembler = [&]() -> TMessageAssembler* {
        if (!onHost) return &clientAssembler_;
        const auto it = hostAssemblers_.find(socket);
        return it == hostAssemblers_.end() ? nullptr : &it->second;
    };
    if (onHost) hostAssemblers_.try_emplace(socket);
    if (!assembler()->Feed(bytes)) {
        DropTooLong(onHost, socket);
        return;
    }
    while (TMessageAssembler* a = assembler()) {
        const std::optional<QByteArray> message = a->Take();
        if (!message) return;
        const TChatMessage m = CutMessage(*message);
        DispatchMessage(m.Word, m.Data, socket);
    }
}

void TChatSession::DropTooLong(bool onHost, int socket) {
    if (onHost) {
        const QString who = Identified(socket)
                                ? NickOfSocket(socket)
                                : server_->PeerIP(socket) + ":" + server_->PeerPort(socket);
        log_.Add("* Conexión cerrada con " + who + ": mensaje demasiado largo *");
        Departure(socket);
        HostDrops(socket);
        return;
    }
    log_.Add("* Conexión cerrada con " + LastHost + ": mensaje demasiado largo *");
    ClientDisconnected();
    log_.Add(QStringLiteral("------------"));
}

// ---------------------------------------------------------------- sending

void TChatSession::SendTo(int Socket, const QByteArray& Message) {
    if (Socket != -1) server_->SendBytes(Socket, Message);
}

void TChatSession::SendToHost(const QByteArray& Message) {
    client_->SendBytes(club_->Outgoing(Message));
}

void TChatSession::SendToEveryConnection(const QByteArray& message, int except) {
    const TClientList& clients = server_->Clients;
    QList<int> sockets;
    sockets.reserve(clients.Count());
    for (int i = 0; i < clients.Count(); ++i)
        if (clients.Sockets(i) != except && Identified(clients.Sockets(i)))
            sockets << clients.Sockets(i);
    for (const int s : sockets)
        server_->SendBytes(s, message);
}

void TChatSession::SendToOpponent(const QByteArray& Message) {
    switch (game_.Role()) {
    case TRole::Server:
        SendTo(OpponentSocket, Message);
        break;
    case TRole::Client:
        SendToHost(Message);
        break;
    default:
        break;
    }
}

void TChatSession::SendToPeer(const QByteArray& Message) {
    switch (game_.Role()) {
    case TRole::Server:
        SendTo(OpponentSocket, Message);
        break;
    case TRole::Client:
    case TRole::Observer:
        SendToHost(Message);
        break;
    case TRole::Offline:
        break;
    }
}

void TChatSession::SendToAll(const QByteArray& Message) {
    switch (game_.Role()) {
    case TRole::Server:
        SendToEveryConnection(Message);
        break;
    case TRole::Client:
    case TRole::Observer:
        SendToHost(Message);
        break;
    case TRole::Offline:
        log_.Add(QStringLiteral("No está conectado"));
        break;
    }
}

void TChatSession::SendToObservers(const QByteArray& Message) {
    if (game_.Role() == TRole::Server)
        SendToEveryConnection(Message, OpponentSocket);
    else if (game_.Role() == TRole::Offline)
        log_.Add(QStringLiteral("No está conectado"));
}

void TChatSession::OfferGame(const QString& Nick, int ReceiverPlaysWhite, int Minutes, int Elo) {
    if (club_->Offer(Nick, ReceiverPlaysWhite, Minutes, Elo)) return;
    networkGame_->OfferGame(Nick, ReceiverPlaysWhite, Minutes, Elo);
}

void TChatSession::SendMove(const TMovimiento& move, bool fromLocalPlayer) {
    const QStringList fields = move.ToText().split(Separator());
    if (fromLocalPlayer) SendToOpponent(FrameMessage("/MOV", fields));
    if (game_.Role() == TRole::Server) club_->HostMove(move);
    SendToObservers(FrameMessage("/MOB", fields));
}

void TChatSession::SendEndGame(const QString& panelText, const QString& resultText) {
    SendToObservers(FrameMessage("/END_GAME", {panelText, resultText}));
}

void TChatSession::SendResign(const QString& reason) {
    SendToOpponent(FrameMessage("/RESIGN", {Nick(), reason}));
}

void TChatSession::SendTimeout(const QString& reason) {
    SendToOpponent(FrameMessage("/TIMEOUT", {Nick(), reason}));
}

void TChatSession::SendDrawOffer(const QString& reason) {
    SendToOpponent(FrameMessage("/DRAW", {Nick(), reason}));
    networkGame_->NoteDrawOffered();
}

void TChatSession::LogPlainLine(const QString& line) {
    log_.AddPlain(line);
}

// ---------------------------------------------------------------- dispatch

void TChatSession::SetHandler(TChatWord word, TMessageHandler handler) {
    handlers_[static_cast<size_t>(word)] = std::move(handler);
}

void TChatSession::DispatchMessage(const QString& Command, const QString& Data, int Socket) {
    const TCatalogueRow* row = FindCatalogueRow(Command, game_.Role());
    if (!row) return;
    // A connection says nothing before it has a nick.
    if (game_.Role() == TRole::Server && row->Id != TChatWord::Ident && !Identified(Socket)) return;
    // Watching a game through the room, the host's own game is not followed.
    if (club_->Ignores(row->Id)) return;
    if (MalformedField(*row, Data) >= 0) {
        NoteMalformed({row, Data, Socket, {}});
        return;
    }
    const TMessageHandler handler = handlers_[static_cast<size_t>(row->Id)];
    if (handler) handler({row, Data, Socket, {}});
}

void TChatSession::DispatchRelayed(const char* word, const QString& data, const QString& sender) {
    const TCatalogueRow* row = FindCatalogueRow(QString::fromLatin1(word), game_.Role());
    if (!row) return;
    if (MalformedField(*row, data) >= 0) {
        NoteMalformed({row, data, -1, sender});
        return;
    }
    const TMessageHandler handler = handlers_[static_cast<size_t>(row->Id)];
    if (handler) handler({row, data, -1, sender});
}

QStringList TChatSession::Opponents() const {
    QStringList opponents;
    switch (game_.Role()) {
    case TRole::Server:
        for (const QString& n : nicks_)
            if (n != Nick() && !(club_->Relay() && club_->Relay()->Busy(n))) opponents << n;
        break;
    case TRole::Client:
    case TRole::Observer:
        if (club_->Directory().HostSpeaks())
            opponents = club_->Directory().FreeToPlay(nicks_, Nick());
        else if (!game_.HostNick().trimmed().isEmpty())
            opponents << game_.HostNick(); // known once the host has greeted
        break;
    case TRole::Offline:
        break;
    }
    return opponents;
}

QString TChatSession::NickStatus(const QString& nick) const {
    return club_->StatusOf(nick);
}

QString TChatSession::Quoted(const TIncomingMessage& m) {
    return "[" + QLatin1String(m.Row->Word) + " " + Clipped(m.Data, MostQuotedText) + "]";
}

QString TChatSession::SenderNick(const TIncomingMessage& m) const {
    if (!m.Sender.isEmpty()) return m.Sender;
    return game_.Role() == TRole::Server ? NickOfSocket(m.Socket) : game_.HostNick();
}

void TChatSession::NoteMalformed(const TIncomingMessage& m) {
    switch (m.Row->Note) {
    case TMalformedNote::Plain:
        log_.Add(QStringLiteral("* Mensaje descartado, número no válido: ") + Quoted(m));
        break;
    case TMalformedNote::Error56:
        log_.Add("Error 56 : " + Quoted(m));
        break;
    case TMalformedNote::Error67:
        log_.Add("Error 67: Notificalo a " + ContactAddress() + ", plis ;-)");
        break;
    }
}

void TChatSession::RelayChatLine(const QString& Text, int Socket) {
    const QString line = NickOfSocket(Socket) + " > " + Clipped(Text, MostChatText);
    log_.Add(line);
    SendToEveryConnection(FrameMessage("/TXT", {line}), Socket);
}

// ---------------------------------------------------------------- handlers

void TChatSession::OnTxt(const TIncomingMessage& m) {
    if (game_.Role() == TRole::Server)
        RelayChatLine(m.Data, m.Socket);
    else
        log_.Add(m.Data);
}

void TChatSession::OnHola(const TIncomingMessage& m) {
    const QString host = TFieldReader(m.Data).Next();
    game_.SetHostNick(host);
    log_.Add(QStringLiteral("* ¡Hola! Conexión aceptada por ") + host + " *");
}

void TChatSession::OnIdent(const TIncomingMessage& m) {
    if (game_.Role() != TRole::Server) {
        SendToHost(FrameMessage("/IDENT", {Nick()}));
        return;
    }
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

void TChatSession::OnNickError(const TIncomingMessage& m) {
    const QString nick = TFieldReader(m.Data).Next();
    log_.Add("* El nick " + nick + " está en uso, cámbialo y prueba de nuevo*");
    AskNewNick(nick);
}

void TChatSession::AskNewNick(const QString& refused) {
    TUiDialogs* dialogs = env_.Dialogs();
    if (!dialogs || registered_ || Nick() != refused || dialogs->IsOpen(newNickQuestion_)) return;
    newNickQuestion_ = dialogs->AskText(TQuestion::NewNick, this, QStringLiteral("Nick"),
                                        QStringLiteral("Escriba el nuevo nick"), Nick(),
                                        [this, refused](std::optional<QString> text) {
                                            const QString answer = SaneNick(text.value_or(refused));
                                            if (registered_ || Nick() != refused) return;
                                            if (!answer.isEmpty() && answer != Nick())
                                                RenameSelf(Nick(), answer);
                                        });
}

void TChatSession::OnAddNick(const TIncomingMessage& m) {
    const QString nick = TFieldReader(m.Data).Next();
    if (Blank(nick)) return;
    UpdateNickList(QString(), nick);
    log_.Add("* Ha entrado " + nick + " *");
    Play("entrar");
}

void TChatSession::OnList(const TIncomingMessage& m) {
    if (game_.Role() == TRole::Server) {
        SendTo(m.Socket, FrameMessage("/TXT", {"* Usuarios conectados: " +
                                               ListedNicks().join(QStringLiteral(", "))}));
        return;
    }
    TFieldReader fields(m.Data);
    do
        UpdateNickList(QString(), fields.Next());
    while (!fields.Rest().isEmpty() && nicks_.size() < MostListedNicks);
    if (!registered_) SetRegistered();
}

void TChatSession::OnNick(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    if (game_.Role() == TRole::Server) {
        const QString newNick = fields.Next();
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
        return;
    }
    const QString oldNick = fields.Next();
    const QString newNick = fields.Next();
    if (Blank(newNick)) return;
    UpdateNickList(oldNick, newNick);
    if (oldNick == Nick()) RenameSelf(oldNick, newNick);
    log_.Add("* " + oldNick + " es ahora " + newNick + " *");
}

void TChatSession::OnNickUsed(const TIncomingMessage& m) {
    log_.Add("* El nick " + TFieldReader(m.Data).Next() + " está en uso*");
}

void TChatSession::OnDelNick(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString nick = fields.Next();
    const QString reason = fields.Rest();
    if (nick == Nick()) {
        // This participant is the one removed: it is told so, and why.
        removal_ = reason;
        log_.Add(QString::fromUtf8("* Te han echado del chat ") + reason + "*");
        Play("salir");
        return;
    }
    RemoveNick(nick);
    log_.Add("* " + nick + " abandona el chat " + reason + "*");
    Play("salir");
}

void TChatSession::OnKill(const TIncomingMessage&) {
    // The program ends once the user has read why; never from inside the
    // socket's event, as the shut-down may free the session.
    TUiDialogs* dialogs = env_.Dialogs();
    if (!dialogs) {
        QMetaObject::invokeMethod(
            this, [this] { OnQuitRequested(); }, Qt::QueuedConnection);
        return;
    }
    if (dialogs->IsOpen(killMessage_)) return;
    killMessage_ = dialogs->ShowMessage(
        QString::fromUtf8("Te han echado del chat %1: el programa se cerrará.")
            .arg(removal_.trimmed()),
        QString(), TMessageKind::Information, this, [this] { OnQuitRequested(); });
}

void TChatSession::OnHelp(const TIncomingMessage& m) {
    QByteArray reply;
    for (const QString& line : HelpLines())
        reply += FrameMessage("/TXT", {line});
    SendTo(m.Socket, reply);
}

void TChatSession::OnVersion(const TIncomingMessage& m) {
    const QByteArray reply = FrameMessage(
        "/VER", {"* " + Nick() + " esta usando ZugaretChat! " + TGameController::Version()});
    if (game_.Role() == TRole::Server)
        SendTo(m.Socket, reply);
    else
        SendToHost(reply);
}

void TChatSession::OnVer(const TIncomingMessage& m) {
    if (game_.Role() != TRole::Server) {
        log_.Add(m.Data);
        return;
    }
    // A client's answer is shown as its own: the line names its nick first.
    const QString nick = NickOfSocket(m.Socket);
    const QString own = "* " + nick + " esta usando ZugaretChat! ";
    const QString text = Clipped(m.Data, MostQuotedText);
    log_.Add(text.startsWith(own) ? text : nick + " > " + text);
}

void TChatSession::OnMsg(const TIncomingMessage& m) {
    if (game_.Role() != TRole::Server) {
        log_.Add(m.Data);
        Play("msg");
        return;
    }
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

// ---------------------------------------------------------------- typed lines

bool TChatSession::FMsgEditKeyPress(QString& Text, QChar Key) {
    if (Key != QChar(13) || Text.isEmpty()) return false;
    const QString line = Clipped(WireSafeText(Text), MostChatText);
    const bool used = line.startsWith(u'/') ? TypedCommand(line) : (TypedChatLine(line), true);
    if (used) Text.clear();
    return used;
}

void TChatSession::TypedChatLine(const QString& line) {
    switch (game_.Role()) {
    case TRole::Server:
        log_.Add(Nick() + " > " + line);
        SendToEveryConnection(FrameMessage("/TXT", {Nick() + " > " + line}));
        break;
    case TRole::Client:
    case TRole::Observer:
        log_.Add(Nick() + " > " + line);
        SendToHost(FrameMessage("/TXT", {line}));
        break;
    case TRole::Offline:
        log_.Add(QStringLiteral("* No está conectado*"));
        break;
    }
}

bool TChatSession::TypedCommand(const QString& line) {
    QString rest = line;
    QString word, a;
    SplitFirst(rest, QStringLiteral(" "), word);
    SplitFirst(rest, QStringLiteral(" "), a);
    const QString& r = rest;
    word = word.toUpper();
    const TRole role = game_.Role();
    const bool host = role == TRole::Server;
    const bool client = role == TRole::Client || role == TRole::Observer;
    const QString version = TGameController::Version();

    if (word == u"/MSG") {
        if (Blank(a)) return false;
        if (host) {
            const int to = SocketOfNick(a);
            if (to == -1) {
                log_.Add("* No se encuentra " + a + " *");
                return true;
            }
            SendTo(to, FrameMessage("/TXT", {"Mensaje de " + Nick() + " > " + r}));
        } else if (client) {
            SendToHost(FrameMessage("/MSG", {a, r}));
        } else {
            return true;
        }
        log_.Add("* Mensaje enviado a " + a + " [" + r + "]");
    } else if (word == u"/NICK") {
        return TypedNick(a);
    } else if (word == u"/LIST") {
        if (host)
            log_.Add("* Usuarios conectados: " + ListedNicks().join(QStringLiteral(", ")));
        else if (client)
            SendToHost(FrameMessage("/LIST"));
    } else if (word == u"/KICK" || word == u"/KILL") {
        if (host) TypedRemoval(a, word == u"/KICK" ? "KICK" : "KILL");
    } else if (word == u"/HELP") {
        if (host)
            for (const QString& help : HelpLines())
                log_.Add(help);
        else if (client)
            SendToHost(FrameMessage("/HELP"));
    } else if (word == u"/VERSION") {
        if (client) {
            SendToHost(FrameMessage("/VERSION"));
        } else if (!host || a.isEmpty() || a == Nick()) {
            log_.Add("* Estas usando ZugaretChat! " + version);
        } else if (const int to = SocketOfNick(a); to == -1) {
            log_.Add("* No se encuentra " + a + " *");
        } else {
            SendTo(to, FrameMessage("/VERSION"));
        }
    } else if (word == u"/DNS" || word == u"/WHOIS") {
        if (client)
            SendToHost(FrameMessage(word == u"/DNS" ? "/DNS" : "/WHOIS", {a}));
        else if (host && word == u"/DNS")
            log_.Add(AddressReply(a));
    } else {
        log_.Add("* Comando desconocido: " + word.toLower() +
                 " (escribe /help para ver los comandos)");
    }
    return true;
}

bool TChatSession::TypedNick(const QString& nick) {
    const TRole role = game_.Role();
    const bool client = role == TRole::Client || role == TRole::Observer;
    if (client) {
        if (Blank(nick)) {
            log_.Add("* El nick " + nick + " está en uso*");
            return false;
        }
        // The own nick changes when the host's "/NICK" comes back.
        SendToHost(FrameMessage("/NICK", {nick}));
        return true;
    }
    const bool taken = role == TRole::Server && SocketOfNick(nick) != -1;
    if (Blank(nick) || taken) {
        log_.Add("* El nick" + nick + " ya existe *");
        return false;
    }
    if (!IsAcceptableNick(nick)) {
        log_.Add("* El nick " + nick + " no es válido *");
        return false;
    }
    if (role == TRole::Server) {
        UpdateNickList(Nick(), nick);
        SendToEveryConnection(FrameMessage("/NICK", {Nick(), nick}));
    } else {
        log_.Add("* Nick es ahora " + nick + " *");
    }
    RenameSelf(Nick(), nick);
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

// ---------------------------------------------------------------- update check host

void TChatSession::AddChatLine(const QString& line) {
    log_.Add(line);
}

void TChatSession::PlayCue(const QString& cue) {
    game_.MeteRuido(cue);
}

void TChatSession::ShowMessage(const QString& text, std::function<void()> onClosed) {
    if (TUiDialogs* dialogs = env_.Dialogs())
        dialogs->ShowMessage(text, QString(), TMessageKind::Information, this, std::move(onClosed));
}

void TChatSession::OpenUrl(const QString& url) {
    if (OnOpenUrl) OnOpenUrl(url);
}

void TChatSession::WriteVersionState(int state) {
    QString error;
    if (!TZugaretSettings::WriteVersionState(env_.IniFile(), state, &error))
        log_.Add("* ZugaretCHAT > No se ha podido guardar el estado de la versión: " + error);
}

QString TChatSession::WebUrl() const {
    return game_.WebUrl();
}

void TChatSession::SetWebUrl(const QString& url) {
    game_.SetWebUrl(url);
}
