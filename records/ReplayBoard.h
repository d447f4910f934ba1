#pragma once
// TReplayBoard: a position that game files are read against and written from.
// It plays moves given in replay form ("E2E4", "E7E8Q") or in standard
// algebraic notation ("Nf3", "exd6", "O-O", "e8=Q+", also long forms such as
// "Ng1-f3" and "e2e4"), and names every move it plays in standard notation
// (disambiguation, captures, promotion, "+" for check, "#" for mate). The
// rules are the board's own, TChessModel's.
//
// What must stay true:
//  - a move that is not legal in the position, unreadable or ambiguous is
//    refused with a reason and changes nothing;
//  - the notation of a move is written from the position before it (which
//    other pieces could reach the same square) and the board's verdict after
//    it (check, mate);
//  - a game that goes on after a position occurred three times still plays:
//    the repetition rule ends games on the board, not in files;
//  - the cost of a move does not grow with the length of the game.

#include "Square.h"

#include <QChar>
#include <QString>

#include <memory>

class TChessModel;

class TReplayBoard {
public:
    TReplayBoard();
    ~TReplayBoard();
    TReplayBoard(const TReplayBoard&) = delete;
    TReplayBoard& operator=(const TReplayBoard&) = delete;

    // Back to the initial position, or to the position of fen when it is not
    // empty; false and why (the board unchanged) when fen cannot be read.
    bool Reset(const QString& fen = QString(), QString* error = nullptr);

    // Plays a move in replay form ("E2E4", either case, optional fifth
    // promotion letter; a pawn reaching the last rank without one becomes a
    // queen). san receives the move in standard notation.
    bool PlayReplayMove(const QString& move, QString* san = nullptr, QString* error = nullptr);

    // Reads a move in standard notation against the position and plays it.
    // replayMove receives its replay form, san its standard notation.
    bool PlaySan(const QString& text, QString* replayMove, QString* san, QString* error);

    bool WhiteToMove() const;
    int CurrentMove() const;
    QString Fen() const;

private:
    // promotedTo receives the upper-case letter a pawn became, 0 for other moves.
    bool Play(Square from, Square to, QChar promotion, QString* san, char* promotedTo);
    QString SanBefore(Square from, Square to, char promotion) const;
    // Called once before each move: restarts the history when it is long or
    // the position is repeated (which would forbid every move).
    void KeepHistoryShort();

    std::unique_ptr<TChessModel> model_;
    int sinceReset_ = 0;
};
