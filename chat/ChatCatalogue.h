#pragma once
// The catalogue of the chat's command words: which words exist, in which
// roles a received word is acted upon, and which of its fields must be
// whole numbers. The session's dispatcher looks a received word up here and
// runs the handler it keeps for the row's TChatWord; a word that is not here,
// or not for the receiver's role, is dropped without notice.
//
// What must stay true:
//  - for one word and one role at most one row matches (a word means
//    different things to the host and to its clients, so it may have one row
//    for each, each with its own handler: the host's are the Host* ones);
//  - the reserved words are known but act nowhere: they are dropped, and so
//    are "/WHOIS" and "/DECLINE_DRAW";
//  - a message whose numeric fields do not all read as numbers (NumberField)
//    never reaches its handler.

#include "GameController.h"

#include <QString>

// What a word does, one value per handler.
enum class TChatWord {
    Txt,
    Hola,
    Ident,
    NickError,
    AddNick,
    List,
    Nick,
    NickUsed,
    DelNick,
    Kill,
    Help,
    Version,
    Ver,
    Msg,
    Dns,
    Mirar,
    GamePos,
    Mov,
    Mob,
    EndGame,
    NewGame,
    AcceptGame,
    DeclineGame,
    Draw,
    AcceptDraw,
    Resign,
    Timeout,
    DeclineDraw,
    // the host's handlers of words its clients handle otherwise
    HostTxt,
    HostIdent,
    HostList,
    HostNick,
    HostVersion,
    HostVer,
    HostMsg,
    // the room's words: games between participants, relayed by the host
    Club,
    GOffer,
    GAccept,
    GDecline,
    GStart,
    GMov,
    GDraw,
    GAcceptDraw,
    GDeclineDraw,
    GResign,
    GTimeout,
    GEnd,
    GObserve,
    GList,
    GWatch,
    Dropped, // known, never acted upon
    Count
};

// A set of roles, one bit per TRole.
using TRoleSet = unsigned;
constexpr TRoleSet RoleBit(TRole role) {
    return 1u << static_cast<unsigned>(role);
}
inline constexpr TRoleSet OnHost = RoleBit(TRole::Server);
inline constexpr TRoleSet OnClients = RoleBit(TRole::Client) | RoleBit(TRole::Observer);
inline constexpr TRoleSet OnObservers = RoleBit(TRole::Observer);
inline constexpr TRoleSet Connected = OnHost | OnClients;
inline constexpr TRoleSet Nowhere = 0;

// How a message with a malformed number is reported in the log.
enum class TMalformedNote {
    Plain,   // "* Mensaje descartado, número no válido: [" + word + " " + data + "]"
    Error56, // "Error 56 : [" + word + " " + data + "]"
    Error67  // "Error 67: Notificalo a " + contact address + ", plis ;-)"
};

struct TCatalogueRow {
    const char* Word;
    TChatWord Id;
    TRoleSet Roles;
    unsigned NumericFields = 0; // bit i: field i (from 0) is a whole number
    TMalformedNote Note = TMalformedNote::Plain;
};

// The row for a received word (already upper-cased) in role, or null when
// the message is to be dropped.
const TCatalogueRow* FindCatalogueRow(const QString& word, TRole role);

// Every row, in the catalogue's order.
const TCatalogueRow* CatalogueBegin();
const TCatalogueRow* CatalogueEnd();

// The first field of data that must be a number and is not, or -1.
int MalformedField(const TCatalogueRow& row, const QString& data);
