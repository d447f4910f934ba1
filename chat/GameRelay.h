#pragma once
// TGameRelay: the host's referee for the games of its room. Two participants
// who announced the room's words ("/CLUB") play each other through the host:
// their offer, its answer and every message of their game reach the host,
// which keeps a board for the game and passes on only what is legal, in turn
// and from one of the game's two players — to the opponent and to the
// participants who watch that game. The host's own game (played with the
// older words, with any peer) is mirrored here too, so that every game of the
// room can be listed and watched from its start.
//
// The relay knows participants by nick and sends nothing itself: each call
// returns the messages to send (to a nick) and the lines to log; the chat
// session's host part delivers them.
//
// What must stay true:
//  - a participant plays at most one game and watches at most one, never the
//    one it plays;
//  - a message about a game from someone who is not one of its players
//    changes nothing; it is logged once per sender, never answered;
//  - a watcher receives the game's start and every move so far in order
//    before any later move, so its record is complete;
//  - a game, its watchers and its offers go with either player;
//  - games, offers and moves per game are bounded (MostGames, MostPlies).

#include "GameResult.h"
#include "MoveMessage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <set>
#include <vector>

class TChessModel;
struct TMoveOutcome;

// The words of the room, all additive: a peer that does not know them drops
// them without notice, so they are sent only to participants that announced
// them.
namespace ClubWords {
inline constexpr const char* Club = "/CLUB";
inline constexpr const char* Offer = "/GOFFER";
inline constexpr const char* Accept = "/GACCEPT";
inline constexpr const char* Decline = "/GDECLINE";
inline constexpr const char* Start = "/GSTART";
inline constexpr const char* Move = "/GMOV";
inline constexpr const char* Draw = "/GDRAW";
inline constexpr const char* AcceptDraw = "/GACCEPT_DRAW";
inline constexpr const char* DeclineDraw = "/GDECLINE_DRAW";
inline constexpr const char* Resign = "/GRESIGN";
inline constexpr const char* Timeout = "/GTIMEOUT";
inline constexpr const char* End = "/GEND";
inline constexpr const char* Observe = "/GOBSERVE";
inline constexpr const char* List = "/GLIST";
inline constexpr const char* Watch = "/GWATCH";
// The level of the room's words this program speaks.
inline constexpr int Level = 1;
} // namespace ClubWords

struct TRelayedMessage {
    QString To; // a nick
    QByteArray Bytes;
    bool operator==(const TRelayedMessage&) const = default;
};

struct TRelayOutput {
    std::vector<TRelayedMessage> Messages;
    QStringList Log;
    void Send(const QString& to, QByteArray bytes) { Messages.push_back({to, std::move(bytes)}); }
    void Append(TRelayOutput other);
};

// One game as the room lists it: "Ana – Luis, 23 jugadas".
struct TRelayedGameInfo {
    int Id = 0;
    QString White, Black;
    int Plies = 0;
    bool operator==(const TRelayedGameInfo&) const = default;
};

// The list's line for a game.
QString GameListText(const TRelayedGameInfo& game);
// Beside a nick in the nick list: "juega con …" for a player of played,
// "mira Ana – Luis" for a watcher of watched; empty for neither.
QString RoomStatusText(const QString& nick, const TRelayedGameInfo* played,
                       const TRelayedGameInfo* watched);

class TGameRelay {
public:
    static constexpr int MostGames = 64;
    static constexpr int MostPlies = 6000;

    explicit TGameRelay(QString hostNick);
    ~TGameRelay();
    TGameRelay(const TGameRelay&) = delete;
    TGameRelay& operator=(const TGameRelay&) = delete;

    // ---- participants ----
    // A registered participant announced the room's words: everyone who
    // speaks them hears the new list of those who do ("/CLUB": the level, the
    // host, then each of them), and the newcomer the list of games. A
    // second announcement changes nothing and sends nothing.
    TRelayOutput Announce(const QString& nick);
    bool Speaks(const QString& nick) const;
    // Everyone's nick changes are announced by "/NICK"; the relay only follows.
    void Rename(const QString& from, const QString& to);
    // The participant left: its games end for their other player and
    // watchers, its offers go.
    TRelayOutput Leave(const QString& nick);

    // ---- between two participants ----
    TRelayOutput Offer(const QString& from, const QString& to, int minutes, bool receiverPlaysWhite,
                       int elo);
    TRelayOutput Accept(const QString& from, const QString& offerer, int elo);
    TRelayOutput Decline(const QString& from, const QString& offerer);
    TRelayOutput Move(const QString& from, int game, const QString& body);
    TRelayOutput Draw(const QString& from, int game);
    TRelayOutput AcceptDraw(const QString& from, int game);
    TRelayOutput DeclineDraw(const QString& from, int game);
    TRelayOutput Resign(const QString& from, int game);
    TRelayOutput Timeout(const QString& from, int game);
    // Watch game (0: stop watching).
    TRelayOutput Observe(const QString& from, int game);
    TRelayOutput List(const QString& to) const;

    // ---- the host's own game, mirrored for the watchers ----
    TRelayOutput HostGameStarted(const QString& white, int whiteElo, const QString& black,
                                 int blackElo, int minutes);
    TRelayOutput HostMove(const TMovimiento& move);
    TRelayOutput HostGameEnded(const QString& result, const QString& text);

    // ---- what the room shows ----
    std::vector<TRelayedGameInfo> Games() const;
    // The game nick plays or watches (0: none).
    int GameOf(const QString& nick) const;
    int WatchedBy(const QString& nick) const;
    // The game's moves as received, in order.
    QStringList MovesOf(int game) const;
    bool Busy(const QString& nick) const { return GameOf(nick) != 0; }

private:
    struct TGame;
    struct TOffer {
        QString To;
        int Minutes = 0;
        bool ReceiverPlaysWhite = false;
        int Elo = 0;
    };

    TGame* Find(int id) const;
    // The game id names if from plays it; otherwise the drop is logged.
    TGame* PlayedBy(const QString& from, int id, const char* word, TRelayOutput& out);
    TRelayOutput Begin(const QString& white, int whiteElo, const QString& black, int blackElo,
                       int minutes, bool hosts);
    // The game ends: its watchers (and, when told, its players) hear why.
    void Finish(TGame& game, const QString& result, const QString& text, bool tellPlayers,
                TRelayOutput& out);
    // Ends it for a reason the players' own boards know, with their texts;
    // whiteToBlame: the side that was mated, resigned or ran out of time.
    void FinishFor(TGame& game, TEndReason reason, bool whiteToBlame, TRelayOutput& out);
    // nick watches no game any more (it may not have watched one); the game it watched.
    int StopWatching(const QString& nick);
    void ToWatchers(const TGame& game, const QByteArray& bytes, TRelayOutput& out) const;
    void ToEveryoneListening(const QByteArray& bytes, TRelayOutput& out) const;
    QByteArray StartMessage(const TGame& game) const;
    QByteArray ClubMessage() const;
    QByteArray ListMessage() const;
    void DropLogged(const QString& from, const QString& what, TRelayOutput& out);
    // Applies body on game's board; the reason it is refused, or empty.
    QString Play(TGame& game, const QString& from, const TMovimiento& move);

    QString hostNick_;
    std::map<QString, QString> speakers_; // folded nick -> nick, of those who announced the words
    std::map<QString, TOffer> offers_;    // by the offerer's folded nick
    std::map<QString, int> watching_;     // folded nick -> game
    std::vector<std::unique_ptr<TGame>> games_;
    std::set<QString> loggedDrops_; // folded nicks whose forgery was logged
    int lastId_ = 0;
    int hostGame_ = 0;
};
