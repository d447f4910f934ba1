// A participant's part of the chat: joining a host, leaving it, and what
// it does with each word the host sends and each command its user types
// (most of which it asks of the host).
#include "ChatSession.h"
#include "ClubGame.h"

#include "NetworkGame.h"
#include "NickRules.h"
#include "ProgramEnv.h"
#include "TcpSockets.h"
#include "TextUtils.h"
#include "UiDialogs.h"

#include <QMetaObject>

namespace {
using W = TChatWord;
} // namespace

void TChatSession::InstallClientHandlers() {
    InstallHandlers({
        {W::Txt, &TChatSession::OnTxt},
        {W::Hola, &TChatSession::OnHola},
        {W::Ident, &TChatSession::OnIdent},
        {W::NickError, &TChatSession::OnNickError},
        {W::AddNick, &TChatSession::OnAddNick},
        {W::List, &TChatSession::OnList},
        {W::Nick, &TChatSession::OnNick},
        {W::NickUsed, &TChatSession::OnNickUsed},
        {W::DelNick, &TChatSession::OnDelNick},
        {W::Kill, &TChatSession::OnKill},
        {W::Version, &TChatSession::OnVersion},
        {W::Ver, &TChatSession::OnVer},
        {W::Msg, &TChatSession::OnMsg},
    });
}

// ---------------------------------------------------------------- joining and leaving

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
    SetButtons(true, true, false, false);
    SetRole(TRole::Offline);
    if (client_->Status() != TSocketStatus::Idle) client_->Close();
    log_.Add("No se ha podido conectar con " + address);
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
    SetButtons(true, true, false, false);
    SetTitle(Nick() + " [" + LocalIP() + "] desconectado");
    SetRole(TRole::Offline);
    ClearNickList();
    Play("desconectar");
}

// ---------------------------------------------------------------- words from the host

void TChatSession::OnTxt(const TIncomingMessage& m) {
    log_.Add(m.Data);
}

void TChatSession::OnHola(const TIncomingMessage& m) {
    const QString host = TFieldReader(m.Data).Next();
    game_.SetHostNick(host);
    log_.Add(QStringLiteral("* ¡Hola! Conexión aceptada por ") + host + " *");
}

void TChatSession::OnIdent(const TIncomingMessage&) {
    SendToHost(FrameMessage("/IDENT", {Nick()}));
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
    if (nick.trimmed().isEmpty()) return;
    UpdateNickList(QString(), nick);
    log_.Add("* Ha entrado " + nick + " *");
    Play("entrar");
}

void TChatSession::OnList(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    do
        UpdateNickList(QString(), fields.Next());
    while (!fields.Rest().isEmpty() && nicks_.size() < MostListedNicks);
    if (!registered_) SetRegistered();
}

void TChatSession::OnNick(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString oldNick = fields.Next();
    const QString newNick = fields.Next();
    if (newNick.trimmed().isEmpty()) return;
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

void TChatSession::OnVersion(const TIncomingMessage&) {
    SendToHost(VersionReply());
}

void TChatSession::OnVer(const TIncomingMessage& m) {
    log_.Add(m.Data);
}

void TChatSession::OnMsg(const TIncomingMessage& m) {
    log_.Add(m.Data);
    Play("msg");
}

// ---------------------------------------------------------------- typed by the participant

void TChatSession::ClientChatLine(const QString& line) {
    log_.Add(Nick() + " > " + line);
    SendToHost(FrameMessage("/TXT", {line}));
}

bool TChatSession::ClientTypedMsg(const TTypedLine& typed) {
    SendToHost(FrameMessage("/MSG", {typed.Nick, typed.Rest}));
    log_.Add("* Mensaje enviado a " + typed.Nick + " [" + typed.Rest + "]");
    return true;
}

bool TChatSession::ClientTypedNick(const TTypedLine& typed) {
    if (typed.Nick.trimmed().isEmpty()) {
        log_.Add("* El nick " + typed.Nick + " está en uso*");
        return false;
    }
    // The own nick changes when the host's "/NICK" comes back.
    SendToHost(FrameMessage("/NICK", {typed.Nick}));
    return true;
}

bool TChatSession::ClientAsksHost(const TTypedLine& typed) {
    const char* word = typed.Row->Word;
    if (typed.Row->Args == TTypedArgs::None)
        SendToHost(FrameMessage(word));
    else
        SendToHost(FrameMessage(word, {typed.Nick}));
    return true;
}
