#pragma once
// The position of a UCI "position" command: a start (the initial position or
// a FEN) and the moves played from it, each checked against the rules of the
// built-in engine's move generator.
//
// What must stay true:
//  - only a playable position is taken (one king a side, the side not to move
//    not in check, ... as the board asks of a pasted position); a refused FEN
//    or an illegal move leaves the position as it was;
//  - a move is taken only as the generator would play it: castling as the
//    king's two-square step, a promotion only with its letter;
//  - any number of moves may be played (nothing grows with them).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

class TEngineSearch;

class TUciPosition {
public:
    TUciPosition();
    ~TUciPosition();
    TUciPosition(const TUciPosition&) = delete;
    TUciPosition& operator=(const TUciPosition&) = delete;
    TUciPosition(TUciPosition&&) noexcept;
    TUciPosition& operator=(TUciPosition&&) noexcept;

    void SetStart();
    // False, with a reason, for a malformed FEN or an unplayable position.
    bool SetFen(const QByteArray& fen, QString* reason = nullptr);
    // Plays a move in long algebraic form; false when it is no legal move here.
    bool Play(QByteArrayView move);
    // Loads the position into an engine (ply 0, ready to search).
    void LoadInto(TEngineSearch& engine) const;

    bool WhiteToMove() const { return white_; }
    // The 64 board characters, a8 ... h1, blanks for empty squares.
    QByteArray Squares() const { return QByteArray(squares_, 64); }

private:
    void ReadBack();

    char squares_[64];
    bool white_ = true;
    int castle_ = 15;
    int ep_ = -1;
    std::unique_ptr<TEngineSearch> scratch_;
};
