#pragma once
// Whether a game can be set up from a position: the test a pasted or typed
// position passes before the board takes it.
//
// What must stay true:
//  - a FEN is read with TChessModel::SetFen's own rules, so whatever the board
//    would refuse is refused here, with SetFen's reason after "FEN no válido: ";
//  - a playable position has exactly one king a side, at most 16 pieces and 8
//    pawns a side, no pawn on the first or last rank, and the side not to move
//    is not in check;
//  - a refusal always comes with a short Spanish reason; an accepted position
//    leaves the reason empty. Nothing here changes the model it is given.

#include <QString>

class TChessModel;

// The position on a model (squares and side to move) is playable.
bool IsPlayablePosition(const TChessModel& model, QString* reason = nullptr);
// The FEN is well formed and its position playable.
bool IsPlayableFen(const QString& fen, QString* reason = nullptr);
