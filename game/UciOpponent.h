#pragma once
// TUciOpponent: an external UCI engine as the opponent of a game, or as the
// player of this side of a network game (zugaret-peer --engine-cmd). It runs
// the engine through a TUciClient and, whenever its side is to move in the
// game in progress, asks for a move with the game's start and moves and both
// clocks, and plays the answer on the board like a move of the built-in
// engine.
//
// What must stay true:
//  - it asks only once its side is to move and the move before has finished
//    (its events, a promotion question), and once per position;
//  - an answer is played only when it still answers the position on the
//    board, with the game in progress and this opponent seated;
//  - a failure of the engine is reported once through OnFailure, from the
//    event loop; a failure while unseated is reported at the next TakeSeat;
//  - the moves sent are those played on the board since the game's start,
//    a promotion with the piece the pawn became.

#include "EngineConfig.h"
#include "EngineOpponent.h"
#include "Square.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class TGameController;

class TUciOpponent : public QObject, public TEngineOpponent {
    Q_OBJECT
public:
    TUciOpponent(TGameController& game, const TEngineConfig& config, QObject* parent = nullptr);
    ~TUciOpponent() override;

    QString Name() const override { return config_.ShownName(); }
    int Elo() const override;
    QString RecordNote() const override;
    bool KeepsRating() const override { return false; }
    void TakeSeat(bool white, bool newGame) override;
    void LeaveSeat() override;

    TUciClient& Client() { return *client_; }

private:
    void MovePlayed(Square from, Square to);
    void Sync();
    void Answer(const QByteArray& move);
    void Failure(const QString& reason);
    int Ply() const;

    TGameController& game_;
    TEngineConfig config_;
    TUciClient* client_ = nullptr;
    bool seated_ = false;
    bool white_ = false;
    bool syncQueued_ = false;
    int asked_ = -1; // the ply asked about, -1 for none
    QByteArray startFen_;
    int startPly_ = 0;
    QList<QByteArray> moves_;
    QList<int> promotions_; // moves_ entries whose promotion letter is not yet known
    std::optional<QString> failure_;
    bool failureReported_ = false;
};
