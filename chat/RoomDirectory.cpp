#include "RoomDirectory.h"

#include "ChatCodec.h"
#include "NickRules.h"

#include <algorithm>

namespace {

QStringList Fields(const QString& data) {
    return data.isEmpty() ? QStringList() : data.split(QChar(FieldSeparator));
}

bool AllNicks(const QStringList& nicks) {
    return std::all_of(nicks.begin(), nicks.end(), IsAcceptableNick);
}

} // namespace

bool TRoomDirectory::TakeClub(const QString& data) {
    QStringList fields = Fields(data);
    const std::optional<int> level = NumberField(fields.value(0));
    if (!level || *level < 1 || fields.size() < 2 || fields.size() - 2 > MostSpeakers) return false;
    fields.removeFirst();
    if (!AllNicks(fields)) return false;
    level_ = *level;
    host_ = fields.takeFirst();
    speakers_ = fields;
    return true;
}

bool TRoomDirectory::TakeList(const QString& data) {
    const QStringList fields = Fields(data);
    if (fields.size() % 4 != 0 || fields.size() / 4 > TGameRelay::MostGames) return false;
    std::vector<TRelayedGameInfo> games;
    for (qsizetype i = 0; i < fields.size(); i += 4) {
        const std::optional<int> id = NumberField(fields[i]);
        const std::optional<int> plies = NumberField(fields[i + 3]);
        const QString &white = fields[i + 1], &black = fields[i + 2];
        if (!id || *id < 1 || !plies || *plies < 0 || !IsAcceptableNick(white) ||
            !IsAcceptableNick(black) || SameNick(white, black))
            return false;
        for (const TRelayedGameInfo& seen : games)
            if (seen.Id == *id || SameNick(seen.White, white) || SameNick(seen.Black, black) ||
                SameNick(seen.White, black) || SameNick(seen.Black, white))
                return false;
        games.push_back({*id, white, black, *plies});
    }
    games_ = std::move(games);
    std::erase_if(watching_, [this](const auto& entry) { return !Game(entry.second); });
    return true;
}

bool TRoomDirectory::TakeWatch(const QString& data) {
    const QStringList fields = Fields(data);
    const std::optional<int> id = NumberField(fields.value(1));
    if (fields.size() != 2 || !IsAcceptableNick(fields[0]) || !id) return false;
    if (*id == 0) {
        watching_.erase(fields[0].toCaseFolded());
        return true;
    }
    if (!Game(*id) || watching_.size() >= size_t(MostSpeakers)) return false;
    watching_[fields[0].toCaseFolded()] = *id;
    return true;
}

void TRoomDirectory::Rename(const QString& from, const QString& to) {
    for (QString& nick : speakers_)
        if (SameNick(nick, from)) nick = to;
    if (SameNick(host_, from)) host_ = to;
    for (TRelayedGameInfo& game : games_) {
        if (SameNick(game.White, from)) game.White = to;
        if (SameNick(game.Black, from)) game.Black = to;
    }
    if (const auto it = watching_.find(from.toCaseFolded()); it != watching_.end()) {
        const int id = it->second;
        watching_.erase(it);
        watching_[to.toCaseFolded()] = id;
    }
}

void TRoomDirectory::Remove(const QString& nick) {
    speakers_.removeIf([&](const QString& s) { return SameNick(s, nick); });
    watching_.erase(nick.toCaseFolded());
}

void TRoomDirectory::Clear() {
    *this = TRoomDirectory();
}

bool TRoomDirectory::Speaks(const QString& nick) const {
    return std::any_of(speakers_.begin(), speakers_.end(),
                       [&](const QString& s) { return SameNick(s, nick); });
}

const TRelayedGameInfo* TRoomDirectory::Game(int id) const {
    const auto it = std::find_if(games_.begin(), games_.end(),
                                 [id](const TRelayedGameInfo& g) { return g.Id == id; });
    return it == games_.end() ? nullptr : &*it;
}

int TRoomDirectory::GameOf(const QString& nick) const {
    for (const TRelayedGameInfo& game : games_)
        if (SameNick(game.White, nick) || SameNick(game.Black, nick)) return game.Id;
    return 0;
}

int TRoomDirectory::WatchedBy(const QString& nick) const {
    const auto it = watching_.find(nick.toCaseFolded());
    return it == watching_.end() ? 0 : it->second;
}

QString TRoomDirectory::StatusOf(const QString& nick) const {
    return RoomStatusText(nick, Game(GameOf(nick)), Game(WatchedBy(nick)));
}

QStringList TRoomDirectory::FreeToPlay(const QStringList& nicks, const QString& me) const {
    QStringList free;
    for (const QString& nick : nicks)
        if (!SameNick(nick, me) && (SameNick(nick, host_) || Speaks(nick)) && !GameOf(nick))
            free << nick;
    return free;
}
