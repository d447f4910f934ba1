#include "ChatCatalogue.h"

#include "ChatCodec.h"

namespace {

constexpr unsigned Fields(std::initializer_list<int> indexes) {
    unsigned bits = 0;
    for (int i : indexes)
        bits |= 1u << i;
    return bits;
}

using W = TChatWord;
using N = TMalformedNote;

constexpr TCatalogueRow Rows[] = {
    {"/TXT", W::HostTxt, OnHost},
    {"/TXT", W::Txt, OnClients},
    {"/HOLA", W::Hola, OnClients},
    {"/IDENT", W::HostIdent, OnHost},
    {"/IDENT", W::Ident, OnClients},
    {"/NICKERROR", W::NickError, OnClients},
    {"/ADDNICK", W::AddNick, OnClients},
    {"/LIST", W::HostList, OnHost},
    {"/LIST", W::List, OnClients},
    {"/NICK", W::HostNick, OnHost},
    {"/NICK", W::Nick, OnClients},
    {"/NICKUSED", W::NickUsed, OnClients},
    {"/DELNICK", W::DelNick, OnClients},
    {"/KILL", W::Kill, OnClients},
    {"/HELP", W::Help, OnHost},
    {"/VERSION", W::HostVersion, OnHost},
    {"/VERSION", W::Version, OnClients},
    {"/VER", W::HostVer, OnHost},
    {"/VER", W::Ver, OnClients},
    {"/MSG", W::HostMsg, OnHost},
    {"/MSG", W::Msg, OnClients},
    {"/DNS", W::Dns, OnHost},
    {"/MIRAR", W::Mirar, OnHost},
    {"/GAMEPOS", W::GamePos, OnObservers, Fields({1, 3, 4, 5, 6, 7}), N::Error67},
    {"/MOV", W::Mov, Connected, Fields({0, 1, 4})},
    {"/MOB", W::Mob, Connected, Fields({0, 1, 4})},
    {"/END_GAME", W::EndGame, OnObservers},
    {"/NEW_GAME", W::NewGame, Connected, Fields({0, 1, 3}), N::Error56},
    {"/ACCEPT_GAME", W::AcceptGame, Connected, Fields({0, 1, 3}), N::Error56},
    {"/DECLINE_GAME", W::DeclineGame, Connected},
    {"/DRAW", W::Draw, Connected},
    {"/ACCEPT_DRAW", W::AcceptDraw, Connected},
    {"/RESIGN", W::Resign, Connected},
    {"/TIMEOUT", W::Timeout, Connected},
    {"/CLUB", W::Club, Connected, Fields({0})},
    {"/GOFFER", W::GOffer, Connected, Fields({1, 2, 3})},
    {"/GACCEPT", W::GAccept, OnHost, Fields({1})},
    {"/GDECLINE", W::GDecline, Connected},
    {"/GSTART", W::GStart, OnClients, Fields({0, 1, 3, 5, 6, 7})},
    {"/GMOV", W::GMov, Connected, Fields({0, 1, 2, 5})},
    {"/GDRAW", W::GDraw, Connected, Fields({0})},
    {"/GACCEPT_DRAW", W::GAcceptDraw, Connected, Fields({0})},
    {"/GDECLINE_DRAW", W::GDeclineDraw, Connected, Fields({0})},
    {"/GRESIGN", W::GResign, Connected, Fields({0})},
    {"/GTIMEOUT", W::GTimeout, Connected, Fields({0})},
    {"/GEND", W::GEnd, OnClients, Fields({0})},
    {"/GOBSERVE", W::GObserve, OnHost, Fields({0})},
    {"/GLIST", W::GList, Connected},
    {"/GWATCH", W::GWatch, OnClients, Fields({1})},
    {"/WHOIS", W::Dropped, Nowhere},
    {"/DECLINE_DRAW", W::DeclineDraw, Connected},
    {"/MOVOBS", W::Dropped, Nowhere},
    {"/PORT", W::Dropped, Nowhere},
    {"/OP", W::Dropped, Nowhere},
    {"/DEOP", W::Dropped, Nowhere},
    {"/OPME", W::Dropped, Nowhere},
    {"/BAN", W::Dropped, Nowhere},
    {"/UNBAN", W::Dropped, Nowhere},
    {"/CLEARBANS", W::Dropped, Nowhere},
    {"/KICK", W::Dropped, Nowhere},
    {"/PING", W::Dropped, Nowhere},
    {"/PONG", W::Dropped, Nowhere},
    {"/IDENTIFY", W::Dropped, Nowhere},
    {"/PASSWORD", W::Dropped, Nowhere},
    {"/IGNORE", W::Dropped, Nowhere},
    {"/SND", W::Dropped, Nowhere},
    {"/FILE", W::Dropped, Nowhere},
    {"/URL", W::Dropped, Nowhere},
};

} // namespace

const TCatalogueRow* FindCatalogueRow(const QString& word, TRole role) {
    for (const TCatalogueRow& row : Rows)
        if ((row.Roles & RoleBit(role)) && word == QLatin1String(row.Word)) return &row;
    return nullptr;
}

const TCatalogueRow* CatalogueBegin() {
    return std::begin(Rows);
}

const TCatalogueRow* CatalogueEnd() {
    return std::end(Rows);
}

int MalformedField(const TCatalogueRow& row, const QString& data) {
    if (!row.NumericFields) return -1;
    TFieldReader fields(data);
    for (int i = 0; (row.NumericFields >> i) != 0; ++i) {
        const QString field = fields.Next();
        if ((row.NumericFields >> i & 1u) && !NumberField(field)) return i;
    }
    return -1;
}
