#pragma once
// TBuiltInOpponent: ZuzPlak, the built-in engine, as an engine opponent. Its
// moves come from the board's own worker thread, released by the board
// whenever the side it plays is to move; seating it gives it that side at
// the controller's level.
//
// What must stay true: seated, the board's computer plays exactly the side
// given; unseated, it plays neither.

#include "EngineOpponent.h"

class TGameController;

class TBuiltInOpponent final : public TEngineOpponent {
public:
    explicit TBuiltInOpponent(TGameController& game) : game_(game) {}

    QString Name() const override;
    int Elo() const override;
    QString RecordNote() const override;
    bool KeepsRating() const override { return true; }
    void TakeSeat(bool white, bool newGame) override;
    void LeaveSeat() override;

private:
    TGameController& game_;
};
