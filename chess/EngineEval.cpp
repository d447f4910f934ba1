// Static evaluation of the built-in engine: material and piece-square values
// rebuilt once per search, pawn structure and rook files.
#include "EngineSearch.h"

#include <bit>

namespace {

// All tables from White's point of view, a8 first; Black reads them through Flip.
constexpr int Flip(int sq) {
    return sq ^ 56;
}

constexpr std::int32_t kPieceValue[6] = {100, 300, 300, 500, 900, 0};

// clang-format off
constexpr std::int32_t kPawnTable[64] = {
     0,  0,  0,   0,   0,  0,  0,  0,
     5, 10, 15,  20,  20, 15, 10,  5,
     4,  8, 12,  16,  16, 12,  8,  4,
     3,  6,  9,  12,  12,  9,  6,  3,
     2,  4,  6,   8,   8,  6,  4,  2,
     1,  2,  3,   4,   4,  3,  2,  1,
     0,  0,  0, -20, -20,  0,  0,  0,
     0,  0,  0,   0,   0,  0,  0,  0,
};
// clang-format on

// clang-format off
constexpr std::int32_t kKingSideShield[64] = {
    0, 0, 0, 0, 0,  0,  0,  0,
    0, 0, 0, 0, 0,  0,  0,  0,
    0, 0, 0, 0, 0,  0,  0,  0,
    0, 0, 0, 0, 0,  0,  0,  0,
    0, 0, 0, 0, 0,  5,  5,  5,
    0, 0, 0, 0, 0, 10, 10, 10,
    0, 0, 0, 0, 0, 20, 20, 20,
    0, 0, 0, 0, 0,  0,  0,  0,
};
// clang-format on

// clang-format off
constexpr std::int32_t kQueenSideShield[64] = {
     0,  0,  0, 0, 0, 0, 0, 0,
     0,  0,  0, 0, 0, 0, 0, 0,
     0,  0,  0, 0, 0, 0, 0, 0,
     0,  0,  0, 0, 0, 0, 0, 0,
     5,  5,  5, 0, 0, 0, 0, 0,
    10, 10, 10, 0, 0, 0, 0, 0,
    20, 20, 20, 0, 0, 0, 0, 0,
     0,  0,  0, 0, 0, 0, 0, 0,
};
// clang-format on

// clang-format off
constexpr std::int32_t kMinorTable[64] = {
    -10, -10, -10, -10, -10, -10, -10, -10,
    -10,   0,   0,   0,   0,   0,   0, -10,
    -10,   0,   5,   5,   5,   5,   0, -10,
    -10,   0,   5,  10,  10,   5,   0, -10,
    -10,   0,   5,  10,  10,   5,   0, -10,
    -10,   0,   5,   5,   5,   5,   0, -10,
    -10,   0,   0,   0,   0,   0,   0, -10,
    -20, -20, -20, -20, -20, -20, -20, -20,
};
// clang-format on

// clang-format off
constexpr std::int32_t kKingMiddleTable[64] = {
    -40, -40, -40, -40, -40, -40, -40, -40,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -20, -20, -20, -20, -20, -20, -20, -20,
    -10,   0,  10, -20,   0, -20,  10,   0,
};
// clang-format on

// clang-format off
constexpr std::int32_t kKingEndTable[64] = {
    -5, -5, -5, -5, -5, -5, -5, -5,
    -5,  0,  0,  0,  0,  0,  0, -5,
    -5,  0,  5,  5,  5,  5,  0, -5,
    -5,  0,  5, 10, 10,  5,  0, -5,
    -5,  0,  5, 10, 10,  5,  0, -5,
    -5,  0,  5,  5,  5,  5,  0, -5,
    -5,  0,  0,  0,  0,  0,  0, -5,
    -5, -5, -5, -5, -5, -5, -5, -5,
};
// clang-format on

constexpr std::int32_t kMiddleGameMaterial =
    1400; // pieces of the other side above this: middle game

} // namespace

void TEngineSearch::InitEvaluation() {
    std::int32_t material[2] = {0, 0}; // knights, bishops, rooks and queens per colour
    for (int sq = 0; sq < 64; ++sq) {
        const int p = piece_[sq];
        if (p >= Knight && p <= Queen) material[colour_[sq]] += kPieceValue[p];
    }
    for (int c = White; c <= Black; ++c) {
        const bool middleGame = material[c ^ 1] > kMiddleGameMaterial;
        const int king = KingSquare(c);
        const int kingFile = king >= 0 ? (king & 7) : -1;
        const std::int32_t* shield = nullptr;
        if (middleGame && kingFile >= 5) shield = kKingSideShield;
        if (middleGame && kingFile >= 0 && kingFile <= 2) shield = kQueenSideShield;
        for (int sq = 0; sq < 64; ++sq) {
            const int t = c == White ? sq : Flip(sq);
            pieceSquare_[c][Pawn][sq] =
                kPawnTable[t] + kPieceValue[Pawn] + (shield ? shield[t] : 0);
            pieceSquare_[c][Knight][sq] = kMinorTable[t] + kPieceValue[Knight];
            pieceSquare_[c][Bishop][sq] = kMinorTable[t] + kPieceValue[Bishop];
            pieceSquare_[c][Rook][sq] = kPieceValue[Rook];
            pieceSquare_[c][Queen][sq] = kPieceValue[Queen];
            pieceSquare_[c][King][sq] = middleGame ? kKingMiddleTable[t] : kKingEndTable[t];
            pieceSquare_[c][Empty][sq] = 0;
        }
    }
    RecountBoardTerms();
}

void TEngineSearch::RecountBoardTerms() {
    psq_[White] = psq_[Black] = 0;
    for (auto& bits : pieceBits_)
        for (auto& b : bits)
            b = 0;
    colourBits_[White] = colourBits_[Black] = 0;
    for (auto& files : pawnsOnFile_)
        for (auto& n : files)
            n = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const int c = colour_[sq];
        if (c == Empty) continue;
        const int p = piece_[sq];
        psq_[c] += pieceSquare_[c][p][sq];
        pieceBits_[c][p] |= std::uint64_t(1) << sq;
        colourBits_[c] |= std::uint64_t(1) << sq;
        if (p == Pawn) ++pawnsOnFile_[c][(sq & 7) + 1];
    }
}

int TEngineSearch::Evaluate() const {
    // Material and piece-square values are kept as running sums by the
    // moves; only the pawn-structure and rook-file terms are counted here.
    std::int32_t score[2] = {psq_[White], psq_[Black]};
    for (int c = White; c <= Black; ++c) {
        const std::int32_t* own = pawnsOnFile_[c];
        const std::int32_t* their = pawnsOnFile_[c ^ 1];
        std::int32_t s = 0;
        for (std::uint64_t bits = pieceBits_[c][Pawn]; bits; bits &= bits - 1) {
            const int sq = std::countr_zero(bits);
            const int f = (sq & 7) + 1;
            if (own[f] > 1) s -= 5;
            if (own[f - 1] == 0 && own[f + 1] == 0) {
                s -= 20;
                if (their[f] == 0) s -= 10;
            }
            if (their[f - 1] == 0 && their[f] == 0 && their[f + 1] == 0)
                s += 2 * pieceSquare_[c][Pawn][sq];
        }
        for (std::uint64_t bits = pieceBits_[c][Rook]; bits; bits &= bits - 1) {
            const int f = (std::countr_zero(bits) & 7) + 1;
            if (own[f] == 0) {
                s += 10;
                if (their[f] == 0) s += 5;
            }
        }
        score[c] += s;
    }
    return score[side_] - score[xside_];
}
