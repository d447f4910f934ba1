#include "ChatSession.h"

#include "ClubGame.h"
#include "NetworkGame.h"
#include "NickRules.h"
#include "ProgramEnv.h"
#include "Settings.h"
#include "TcpSockets.h"
#include "TextUtils.h"
#include "UiDialogs.h"
#include "WinsockErrors.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace {

bool Blank(const QString& text) {
    return text.trimmed().isEmpty();
}

QString Separator() {
    return QString(QChar(FieldSeparator));
}

// What a socket error number means, in the user's words.
QString SocketFailure(int error) {
    switch (error) {
    case WsaConnectionRefused:
        return QString::fromUtf8("conexión rechazada (nadie espera conexiones ahí)");
    case WsaTimedOut:
        return QString::fromUtf8("no contesta (tiempo agotado)");
    case WsaHostNotFound:
        return QString::fromUtf8("no se encuentra esa dirección");
    case WsaHostUnreachable:
        return QString::fromUtf8("no hay ruta hasta ese equipo");
    case WsaNetworkUnreachable:
        return QString::fromUtf8("la red no llega hasta ese equipo");
    case WsaNetworkDown:
        return QString::fromUtf8("la red no está disponible");
    case WsaConnectionReset:
        return QString::fromUtf8("el otro extremo cortó la conexión");
    case WsaNoBufferSpace:
        return QString::fromUtf8("el otro extremo no lee lo que se le envía");
    case WsaAddressInUse:
        return QString::fromUtf8("el puerto ya está en uso");
    case WsaPermissionDenied:
        return QString::fromUtf8("permiso denegado");
    case WsaInvalidArgument:
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

    InstallHostHandlers();
    InstallClientHandlers();
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

QByteArray TChatSession::VersionReply() const {
    return FrameMessage(
        "/VER", {"* " + Nick() + " esta usando ZugaretChat! " + TGameController::Version()});
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

void TChatSession::InstallHandlers(std::initializer_list<std::pair<TChatWord, TOwnHandler>> own) {
    for (const auto& [word, handler] : own)
        SetHandler(word,
                   [this, handler = handler](const TIncomingMessage& m) { (this->*handler)(m); });
}

void TChatSession::SetHandler(TChatWord word, TMessageHandler handler) {
    handlers_[static_cast<size_t>(word)] = std::move(handler);
}

void TChatSession::DispatchMessage(const QString& Command, const QString& Data, int Socket) {
    const TCatalogueRow* row = FindCatalogueRow(Command, game_.Role());
    if (!row) return;
    // A connection says nothing before it has a nick.
    if (game_.Role() == TRole::Server && row->Id != TChatWord::HostIdent && !Identified(Socket))
        return;
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

// ---------------------------------------------------------------- handlers

// ---------------------------------------------------------------- typed lines

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
