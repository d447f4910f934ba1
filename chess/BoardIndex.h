#pragma once
// Squares as indexes into the model's board array (1 = a8 ... 64 = h1) and
// piece letters: the small arithmetic the model's files share. Internal to
// the chess library.
//
// What must stay true: every function here is total on its stated range
// and touches no state.

#include "Square.h"

namespace board_index {

// 1 White (upper case), 0 Black (lower case), -1 blank.
constexpr int ColourOf(char c) {
    return (c >= 'A' && c <= 'Z') ? 1 : (c >= 'a' && c <= 'z') ? 0 : -1;
}
constexpr int FileOfIndex(int s) {
    return ((s - 1) & 7) + 1;
}
constexpr int RankOfIndex(int s) {
    return 8 - ((s - 1) >> 3);
}
constexpr int IndexOf(int file, int rank) {
    return file + 8 * (8 - rank);
}
constexpr bool OnBoard(int file, int rank) {
    return file >= 1 && file <= 8 && rank >= 1 && rank <= 8;
}
constexpr int Sign(int v) {
    return (v > 0) - (v < 0);
}
constexpr int Abs(int v) {
    return v < 0 ? -v : v;
}

inline bool IsPieceLetter(char16_t c) {
    switch (c) {
    case u'P':
    case u'N':
    case u'B':
    case u'R':
    case u'Q':
    case u'K':
    case u'p':
    case u'n':
    case u'b':
    case u'r':
    case u'q':
    case u'k':
        return true;
    default:
        return false;
    }
}

// Order of history entries: (n, White) < (n, Black) < (n + 1, White).
constexpr long long EntryOrder(int moveNumber, bool whiteToMove) {
    return 2LL * moveNumber + (whiteToMove ? 0 : 1);
}

constexpr int kE1 = Ord(Square::E1), kE8 = Ord(Square::E8);

} // namespace board_index
