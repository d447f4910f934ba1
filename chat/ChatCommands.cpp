// The input line: chat lines and the typed commands, one table of who may
// type what. The host's and the client's own parts are in ChatHost.cpp and
// ChatClient.cpp.
#include "ChatSession.h"

#include "ChatCodec.h"
#include "NickRules.h"
#include "TextUtils.h"

namespace {

inline constexpr TRoleSet WhenOffline = RoleBit(TRole::Offline);

} // namespace

// For one word and one role at most one row; a word with no row for the
// role does nothing there, a word with no row at all is unknown.
const TChatSession::TTypedCommand TChatSession::TypedCommands[] = {
    {"/MSG", OnHost, TTypedArgs::NickAndText, &TChatSession::HostTypedMsg},
    {"/MSG", OnClients, TTypedArgs::NickAndText, &TChatSession::ClientTypedMsg},
    {"/MSG", WhenOffline, TTypedArgs::NickAndText, &TChatSession::TypedNothing},
    {"/NICK", OnHost, TTypedArgs::Nick, &TChatSession::HostTypedNick},
    {"/NICK", OnClients, TTypedArgs::Nick, &TChatSession::ClientTypedNick},
    {"/NICK", WhenOffline, TTypedArgs::Nick, &TChatSession::OfflineTypedNick},
    {"/LIST", OnHost, TTypedArgs::None, &TChatSession::HostTypedList},
    {"/LIST", OnClients, TTypedArgs::None, &TChatSession::ClientAsksHost},
    {"/KICK", OnHost, TTypedArgs::Nick, &TChatSession::HostTypedKick},
    {"/KILL", OnHost, TTypedArgs::Nick, &TChatSession::HostTypedKill},
    {"/HELP", OnHost, TTypedArgs::None, &TChatSession::HostTypedHelp},
    {"/HELP", OnClients, TTypedArgs::None, &TChatSession::ClientAsksHost},
    {"/VERSION", OnHost, TTypedArgs::Nick, &TChatSession::HostTypedVersion},
    {"/VERSION", OnClients, TTypedArgs::None, &TChatSession::ClientAsksHost},
    {"/VERSION", WhenOffline, TTypedArgs::None, &TChatSession::OwnVersion},
    {"/DNS", OnHost, TTypedArgs::Nick, &TChatSession::HostTypedDns},
    {"/DNS", OnClients, TTypedArgs::Nick, &TChatSession::ClientAsksHost},
    {"/WHOIS", OnClients, TTypedArgs::Nick, &TChatSession::ClientAsksHost},
};

const TChatSession::TTypedCommand* TChatSession::TypedCommandsBegin() {
    return std::begin(TypedCommands);
}

const TChatSession::TTypedCommand* TChatSession::TypedCommandsEnd() {
    return std::end(TypedCommands);
}

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
        HostChatLine(line);
        break;
    case TRole::Client:
    case TRole::Observer:
        ClientChatLine(line);
        break;
    case TRole::Offline:
        log_.Add(QStringLiteral("* No está conectado*"));
        break;
    }
}

bool TChatSession::TypedCommand(const QString& line) {
    TTypedLine typed;
    typed.Rest = line;
    SplitFirst(typed.Rest, QStringLiteral(" "), typed.Word);
    SplitFirst(typed.Rest, QStringLiteral(" "), typed.Nick);
    typed.Word = typed.Word.toUpper();
    bool known = false;
    for (const TTypedCommand& row : TypedCommands) {
        if (typed.Word != QLatin1String(row.Word)) continue;
        known = true;
        if (!(row.Roles & RoleBit(game_.Role()))) continue;
        // A message needs someone to go to: the line stays for correction.
        if (row.Args == TTypedArgs::NickAndText && typed.Nick.trimmed().isEmpty()) return false;
        typed.Row = &row;
        return (this->*row.Run)(typed);
    }
    if (!known)
        log_.Add("* Comando desconocido: " + typed.Word.toLower() +
                 " (escribe /help para ver los comandos)");
    return true;
}

bool TChatSession::TypedNothing(const TTypedLine&) {
    return true;
}

bool TChatSession::OfflineTypedNick(const TTypedLine& typed) {
    const QString& nick = typed.Nick;
    if (nick.trimmed().isEmpty()) {
        log_.Add("* El nick" + nick + " ya existe *");
        return false;
    }
    if (!IsAcceptableNick(nick)) {
        log_.Add("* El nick " + nick + " no es válido *");
        return false;
    }
    log_.Add("* Nick es ahora " + nick + " *");
    RenameSelf(Nick(), nick);
    return true;
}

bool TChatSession::OwnVersion(const TTypedLine&) {
    log_.Add("* Estas usando ZugaretChat! " + TGameController::Version());
    return true;
}
