#pragma once
// TRoomDirectory: what a participant knows of the room from its host: who
// speaks the room's words ("/CLUB"), which games are in progress ("/GLIST")
// and who watches which ("/GWATCH"). The new-game dialog offers the
// participants who are free, "Observar" lists the games, the nick list shows
// who plays whom and who watches.
//
// What must stay true:
//  - everything here comes from the host and is taken as untrusted: nicks are
//    checked, numbers read strictly, counts bounded (MostGames, MostSpeakers);
//    a malformed message changes nothing;
//  - a nick plays in at most one listed game and watches at most one.

#include "GameRelay.h"

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

class TRoomDirectory {
public:
    static constexpr int MostSpeakers = 512;

    // The host's "/CLUB" data: the level, the host's nick, each speaker.
    bool TakeClub(const QString& data);
    // "/GLIST": four fields a game (number, White, Black, plies).
    bool TakeList(const QString& data);
    // "/GWATCH": nick and the game watched (0: none).
    bool TakeWatch(const QString& data);
    void Rename(const QString& from, const QString& to);
    void Remove(const QString& nick);
    void Clear();

    // The host relays games between participants.
    bool HostSpeaks() const { return level_ > 0; }
    bool Speaks(const QString& nick) const;
    const std::vector<TRelayedGameInfo>& Games() const { return games_; }
    const TRelayedGameInfo* Game(int id) const;
    // The game nick plays (0: none).
    int GameOf(const QString& nick) const;
    int WatchedBy(const QString& nick) const;
    // What the nick list shows beside nick: "juega con Luis", "mira Ana –
    // Luis", or nothing.
    QString StatusOf(const QString& nick) const;
    // Of the nicks given, those who may be offered a game: speakers (or the
    // host) who are not playing; me excluded.
    QStringList FreeToPlay(const QStringList& nicks, const QString& me) const;

private:
    int level_ = 0;
    QString host_;
    QStringList speakers_;
    std::vector<TRelayedGameInfo> games_;
    std::map<QString, int> watching_; // folded nick -> game
};
