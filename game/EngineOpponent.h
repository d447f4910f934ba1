#pragma once
// TEngineOpponent: an engine that plays one side of a game against the user
// (a TGamePlayer),
// whether the built-in one (ZuzPlak, on the board's own worker thread) or an
// external UCI engine run as a process (TUciOpponent). The game controller
// seats it when a game against it starts and unseats it when the game ends
// or a move is taken back; between the two it moves on the board by itself
// whenever its side is to move.
//
// What must stay true:
//  - after LeaveSeat no move of the engine reaches the board until the next
//    TakeSeat;
//  - an engine that cannot go on (its process ended, it fell silent, it
//    played an illegal move) reports it once through OnFailure, with a
//    Spanish reason, and moves no more; OnFailure is raised from the event
//    loop, never from inside a call of the controller.

#include "GamePlayer.h"

#include <QString>

#include <functional>

class TEngineOpponent : public TGamePlayer {
public:
    ~TEngineOpponent() override = default;
    // The opponent's name in the game: the record, the players, the PGN database.
    virtual QString Name() const = 0;
    // The rating the opponent plays with in the players' panel and the record.
    virtual int Elo() const = 0;
    // The record's first line: which engine at which strength.
    QString RecordNote() const override = 0;
    // Whether the opponent's rating follows its results (the built-in one's does).
    virtual bool KeepsRating() const = 0;
    // The game is set up on the board: from now on the engine plays white
    // (or black). newGame: a new game begins (not a take-back's return).
    virtual void TakeSeat(bool white, bool newGame) = 0;
    virtual void LeaveSeat() = 0;

    bool TakesBackMoves() const override { return true; }

    // As a player of the game: seated and unseated with it.
    void Seat(bool white, bool newGame) final { TakeSeat(white, newGame); }
    void Unseat() final { LeaveSeat(); }

    std::function<void(const QString& reason)> OnFailure;
};
