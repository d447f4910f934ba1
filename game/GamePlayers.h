#pragma once
// The players that need no engine: the user at this board, a network
// opponent, a remote player of an observed game, a replayed game's side.
// Each is a TGamePlayer; the engines are TEngineOpponent.
//
// What must stay true:
//  - a network opponent sends each move once: "/MOV" to the opponent when
//    the user made it, "/MOB" to the observers for every move; and only it
//    sends the user's resignation, time-out and draw offer;
//  - the host's observers hear of the end of a game only from the network
//    opponent of a game this program hosts;
//  - remote players and replays keep no time here and take their moves
//    from outside: an observed or network game's only while it is in
//    progress, a replay's at any time.

#include "GameNetwork.h"
#include "GamePlayer.h"

// The user, moving one side's pieces on this board.
class TUserPlayer final : public TGamePlayer {
public:
    // ownSeat: the side under the user's nick (at one board the other side
    // is the user's second self).
    explicit TUserPlayer(bool ownSeat) : ownSeat_(ownSeat) {}
    bool AtThisBoard() const override { return true; }
    bool OwnSeat() const override { return ownSeat_; }
    bool TakesBackMoves() const override { return true; }

private:
    bool ownSeat_;
};

// The opponent of a network game: its moves come as messages, the user's go
// to it through the network.
class TNetworkPlayer final : public TGamePlayer {
public:
    // network may be null (a program not connected); tellsObservers: this
    // program hosts the game and tells its observers of the end.
    TNetworkPlayer(TGameNetwork* network, bool tellsObservers)
        : network_(network), tellsObservers_(tellsObservers) {}
    bool TakesOutsideMoves(bool gameInProgress) const override { return gameInProgress; }
    bool PlaysOverNetwork() const override { return true; }
    bool KeepsItsTime() const override { return false; }
    void MovePlayed(const TMovimiento& move, bool byThisSide) override;
    void OpponentResigned() override;
    void OpponentTimedOut() override;
    void DrawOffered() override;
    void GameEnded(const QString& panelText, const QString& resultText) override;

private:
    TGameNetwork* network_;
    bool tellsObservers_;
};

// One of the two remote players of a game this program observes.
class TObservedPlayer final : public TGamePlayer {
public:
    bool TakesOutsideMoves(bool gameInProgress) const override { return gameInProgress; }
    bool NumbersMoves() const override { return true; }
    bool KeepsItsTime() const override { return false; }
};

// A side of a game opened from a file: its moves are the file's, stepped
// forward and back at any time.
class TReplayPlayer final : public TGamePlayer {
public:
    bool TakesOutsideMoves(bool) const override { return true; }
    bool KeepsItsTime() const override { return false; }
};
