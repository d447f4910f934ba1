#pragma once
// TGamePlayer: whoever moves for one side of a game: the user at this
// board, an engine (TEngineOpponent), a network opponent, a remote player
// of a game this program observes, a game file replayed. The controller
// seats one player per side when a game starts and then runs every game
// the same way: it tells both players of each whole move, of the user's
// resignation, draw offer and time-out, and of the end; a player answers
// with a move on the board (the user's drop, an engine's move) or through
// the controller's operations (a received move, a resignation, a draw, a
// time-out). What differs between games lives in the players.
//
// What must stay true:
//  - a player moves only while seated: Unseat ends every move of its;
//  - a side's moves come either from this board (AtThisBoard) or from
//    outside the program (TakesOutsideMoves), never both;
//  - a side whose clock is kept elsewhere (a remote player's) never ends
//    the game by its time-out here: its owner reports it.

#include <QString>

class TMovimiento;

class TGamePlayer {
public:
    virtual ~TGamePlayer() = default;

    // The user moves this side's pieces on this board.
    virtual bool AtThisBoard() const { return false; }
    // The user's own seat, under the user's nick: the user may offer a draw
    // when it is to move.
    virtual bool OwnSeat() const { return false; }
    // A move for this side may come from outside this program now (a
    // message, the host's game, a file's next move).
    virtual bool TakesOutsideMoves(bool gameInProgress) const {
        (void)gameInProgress;
        return false;
    }
    // This side plays over the network: its moves are numbered and sent.
    virtual bool PlaysOverNetwork() const { return false; }
    // Moves of this game carry serial numbers (a game with a remote side).
    virtual bool NumbersMoves() const { return PlaysOverNetwork(); }
    // This side's moves may be taken back (the user's at this board, an
    // engine's): a game whose two sides both allow it may go back a move.
    virtual bool TakesBackMoves() const { return false; }
    // This side's time is kept here: its clock running out ends the game.
    virtual bool KeepsItsTime() const { return true; }
    // The record's first line names this player (an engine at its level).
    virtual QString RecordNote() const { return QString(); }

    // ---- what the controller tells it ----
    // The game is set up on the board with this player on the side given.
    // newGame: a new game begins (not a take-back's return).
    virtual void Seat(bool white, bool newGame) {
        (void)white;
        (void)newGame;
    }
    // The game ended or was given up: no move of this player may follow.
    virtual void Unseat() {}
    // A whole move (its promotion piece included) was played, by this
    // player's side when byThisSide.
    virtual void MovePlayed(const TMovimiento& move, bool byThisSide) {
        (void)move;
        (void)byThisSide;
    }
    // The user, this player's opponent, resigned / ran out of time /
    // offers a draw.
    virtual void OpponentResigned() {}
    virtual void OpponentTimedOut() {}
    virtual void DrawOffered() {}
    // The game ended with these texts ("*" for an interrupted game).
    virtual void GameEnded(const QString& panelText, const QString& resultText) {
        (void)panelText;
        (void)resultText;
    }
};
