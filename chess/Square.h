#pragma once
// Squares of the board and the small sets that travel with a position.
//
// Squares are numbered as the position string is written: None = 0, A8 = 1,
// B8 = 2 ... H8 = 8, A7 = 9 ... H1 = 64. The engine's squares are the same
// order counted from 0 (engine square n is Square n + 1).

#include <QString>

#include <cstdint>
#include <optional>

enum class Square : std::uint8_t {
    None = 0,
    A8,
    B8,
    C8,
    D8,
    E8,
    F8,
    G8,
    H8,
    A7,
    B7,
    C7,
    D7,
    E7,
    F7,
    G7,
    H7,
    A6,
    B6,
    C6,
    D6,
    E6,
    F6,
    G6,
    H6,
    A5,
    B5,
    C5,
    D5,
    E5,
    F5,
    G5,
    H5,
    A4,
    B4,
    C4,
    D4,
    E4,
    F4,
    G4,
    H4,
    A3,
    B3,
    C3,
    D3,
    E3,
    F3,
    G3,
    H3,
    A2,
    B2,
    C2,
    D2,
    E2,
    F2,
    G2,
    H2,
    A1,
    B1,
    C1,
    D1,
    E1,
    F1,
    G1,
    H1,
};

// Castling rights, as bits of a CastleSet.
using CastleSet = std::uint8_t;
enum CastleRight : CastleSet {
    WhiteKingSide = 1,
    WhiteQueenSide = 2,
    BlackKingSide = 4,
    BlackQueenSide = 8,
    AllCastling = 15,
};

// Sides of the board on which the coordinates are drawn, as bits of a CoordSet.
using CoordSet = std::uint8_t;
enum CoordSide : CoordSet { West = 1, North = 2, East = 4, South = 8 };

constexpr int Ord(Square s) {
    return static_cast<int>(s);
}
// Any integer outside 0..64 gives None.
constexpr Square ToSquare(int n) {
    return (n >= 1 && n <= 64) ? static_cast<Square>(n) : Square::None;
}
constexpr bool IsOnBoard(Square s) {
    return Ord(s) >= 1 && Ord(s) <= 64;
}
// 1 for the a-file ... 8 for the h-file (square must be on the board).
constexpr int FileOf(Square s) {
    return ((Ord(s) - 1) % 8) + 1;
}
// 8 for A8..H8 down to 1 for A1..H1 (square must be on the board).
constexpr int RankOf(Square s) {
    return 8 - ((Ord(s) - 1) / 8);
}
// None when file or rank lies outside 1..8.
constexpr Square SquareOf(int file, int rank) {
    return (file >= 1 && file <= 8 && rank >= 1 && rank <= 8)
               ? static_cast<Square>(file + 8 * (8 - rank))
               : Square::None;
}
constexpr bool IsLightSquare(Square s) {
    return (Ord(s) % 2) != (((Ord(s) - 1) / 8) % 2);
}

// "e4" or "E4" -> E4; anything that is not exactly a file letter and a rank
// digit gives None.
Square TextToSquare(const QString& text);
// A8 -> "a8"; None -> "--".
QString SquareToText(Square s);

// A move as its text gives it: "e2e4", either case, with an optional fifth
// character (the promotion letter, or "*" for none), as moves arrive from a
// peer, a record or an engine.
struct TMoveSquares {
    Square From = Square::None;
    Square To = Square::None;
    QChar Promotion; // the fifth character, or null
};
// The move of a 4- or 5-character text whose first four name two squares;
// nothing for any other text.
std::optional<TMoveSquares> ParseMoveText(const QString& text);
