#pragma once
// TClubGame: the room's games between participants, on both sides of the
// chat. On the host it owns the referee (TGameRelay): the room's words from
// the connections go to it, what it returns goes out to the nicks it names,
// and the host's own network game is mirrored in it so that it can be listed
// and watched. On a client it keeps what the host says of the room
// (TRoomDirectory), offers games to other participants, and turns the game
// it plays or watches through the host into the messages of a game with the
// host: a relayed "/GMOV" becomes the opponent's "/MOV" or an observed
// "/MOB", and the client's own "/MOV", "/DRAW", "/RESIGN" … become their
// relayed forms. So a relayed game is played by the same code as a game with
// the host.
//
// What must stay true:
//  - the room's words go only to peers that announced them, and a client
//    announces them only once registered;
//  - a client plays at most one relayed game and watches at most one; while
//    it watches through the room, the host's older observation messages
//    ("/MOB", "/END_GAME", "/GAMEPOS") are not acted on;
//  - only messages about the game this client plays or watches reach the
//    game; anything else from the room changes nothing;
//  - a game offer's question goes when its game can no longer start (another
//    game of this side starts, the connection goes).

#include "ChatSession.h"
#include "GameRelay.h"
#include "RoomDirectory.h"

#include <QObject>

#include <memory>

class TClubGame : public QObject {
    Q_OBJECT
public:
    TClubGame(TChatSession& chat, TGameController& game, QObject* parent = nullptr);
    ~TClubGame() override;

    // ---- the host ----
    void Hosting();
    void HostStopped();
    void ParticipantLeft(const QString& nick);
    void Renamed(const QString& from, const QString& to);
    // The host's own network game, as it is played.
    void HostMove(const TMovimiento& move);
    void HostGameEnded(const QString& result, const QString& panel);
    TGameRelay* Relay() const { return relay_.get(); }
    // "juega con Luis", "mira Ana – Luis", or nothing.
    QString StatusOf(const QString& nick) const;

    // ---- a client ----
    // Registered with a host: the room's words are announced.
    void Registered();
    void Disconnected();
    const TRoomDirectory& Directory() const { return directory_; }
    // "/GOFFER" to nick through the host; false when the host does not
    // relay games or nick is the host (a game with the host keeps its words).
    bool Offer(const QString& nick, int receiverPlaysWhite, int minutes, int elo);
    // "Observar" through the room: the host's list of the games in progress
    // is asked for, then they are offered to choose from (none: "Observar"
    // as with a host that relays nothing); false when the host does not
    // relay games.
    bool ChooseGame();
    // Watches game (0: stops watching).
    void Watch(int game);
    int Playing() const { return playing_; }
    int Watching() const { return watching_; }
    // A message this client sends its host, in its relayed form when it
    // belongs to the relayed game in progress.
    QByteArray Outgoing(const QByteArray& message) const;
    // The host's own observation message is not acted on while watching
    // through the room.
    bool Ignores(TChatWord word) const;
    // A room offer is being asked about.
    bool OfferQuestionOpen() const;

private:
    // host handlers
    void OnHostClub(const TIncomingMessage& m);
    void OnHostOffer(const TIncomingMessage& m);
    void OnHostAccept(const TIncomingMessage& m);
    void OnHostDecline(const TIncomingMessage& m);
    void OnHostMove(const TIncomingMessage& m);
    void OnHostGameWord(const TIncomingMessage& m);
    void OnHostObserve(const TIncomingMessage& m);
    void OnHostList(const TIncomingMessage& m);
    void Deliver(const TRelayOutput& out);
    // client handlers
    void OnClub(const TIncomingMessage& m);
    void OnOffer(const TIncomingMessage& m);
    void OnDecline(const TIncomingMessage& m);
    void OnStart(const TIncomingMessage& m);
    void OnMove(const TIncomingMessage& m);
    void OnGameWord(const TIncomingMessage& m);
    void OnEnd(const TIncomingMessage& m);
    void OnList(const TIncomingMessage& m);
    void OnWatch(const TIncomingMessage& m);
    // The game's number of a relayed message, or 0.
    static int GameNumber(const QString& data);
    void OfferChoice();
    void HostGameStarted();
    void GameEnded();
    void WithdrawOffer();

    TChatSession& chat_;
    TGameController& game_;
    std::unique_ptr<TGameRelay> relay_; // while hosting
    TRoomDirectory directory_;
    int playing_ = 0;
    int watching_ = 0;
    int watchAsked_ = 0;
    bool listAsked_ = false; // "Observar" waits for the host's list
    QString opponent_;
    TQuestionId offerQuestion_ = 0;
    TQuestionId watchQuestion_ = 0;
};
