// Board, move generation, make/take back and perft of the built-in engine.
#include "EngineSearch.h"

#include <bit>
#include <cstring>

namespace {

// The 10 x 12 board: -1 on the two-wide border, engine squares inside.
// clang-format off
constexpr std::int8_t kMailbox[120] = {
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1,  0,  1,  2,  3,  4,  5,  6,  7, -1,
    -1,  8,  9, 10, 11, 12, 13, 14, 15, -1,
    -1, 16, 17, 18, 19, 20, 21, 22, 23, -1,
    -1, 24, 25, 26, 27, 28, 29, 30, 31, -1,
    -1, 32, 33, 34, 35, 36, 37, 38, 39, -1,
    -1, 40, 41, 42, 43, 44, 45, 46, 47, -1,
    -1, 48, 49, 50, 51, 52, 53, 54, 55, -1,
    -1, 56, 57, 58, 59, 60, 61, 62, 63, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
};
// clang-format on

// clang-format off
constexpr std::int8_t kMailbox64[64] = {
    21, 22, 23, 24, 25, 26, 27, 28,
    31, 32, 33, 34, 35, 36, 37, 38,
    41, 42, 43, 44, 45, 46, 47, 48,
    51, 52, 53, 54, 55, 56, 57, 58,
    61, 62, 63, 64, 65, 66, 67, 68,
    71, 72, 73, 74, 75, 76, 77, 78,
    81, 82, 83, 84, 85, 86, 87, 88,
    91, 92, 93, 94, 95, 96, 97, 98,
};
// clang-format on

constexpr bool kSlide[6] = {false, false, true, true, true, false};
constexpr int kDirections[6] = {0, 8, 4, 4, 8, 8};
// clang-format off
constexpr int kOffset[6][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-21, -19, -12, -8, 8, 12, 19, 21},
    {-11, -9, 9, 11, 0, 0, 0, 0},
    {-10, -1, 1, 10, 0, 0, 0, 0},
    {-11, -10, -9, -1, 1, 9, 10, 11},
    {-11, -10, -9, -1, 1, 9, 10, 11},
};
// clang-format on

// Castling rights kept when a move leaves or reaches a square.
// clang-format off
constexpr std::uint8_t kCastleMask[64] = {
     7, 15, 15, 15,  3, 15, 15, 11,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    13, 15, 15, 15, 12, 15, 15, 14,
};
// clang-format on

constexpr int kA8 = 0, kB8 = 1, kC8 = 2, kD8 = 3, kE8 = 4, kF8 = 5, kG8 = 6, kH8 = 7;
constexpr int kA1 = 56, kB1 = 57, kC1 = 58, kD1 = 59, kE1 = 60, kF1 = 61, kG1 = 62, kH1 = 63;

// kLineStep[a][b]: the mailbox step that leads from square a to square b
// along a rank, a file or a diagonal; 0 when no such line joins them.
struct LineSteps {
    std::int8_t step[64][64];
};
constexpr LineSteps MakeLineSteps() {
    LineSteps t{};
    for (int a = 0; a < 64; ++a) {
        for (int step : kOffset[TEngineSearch::Queen]) {
            int i = kMailbox64[a] + step;
            while (kMailbox[i] >= 0) {
                t.step[a][kMailbox[i]] = static_cast<std::int8_t>(step);
                i += step;
            }
        }
    }
    return t;
}
constexpr LineSteps kLineStep = MakeLineSteps();

// Squares from which a piece reaches a square in one step, per kind of
// attacker, and the squares on a diagonal or on a rank or file of it.
struct AttackMasks {
    std::uint64_t pawnFrom[2][64]; // [colour of the pawn][attacked square]
    std::uint64_t knight[64];
    std::uint64_t king[64];
    std::uint64_t diagonal[64];
    std::uint64_t straight[64];
};
constexpr AttackMasks MakeAttackMasks() {
    AttackMasks t{};
    for (int sq = 0; sq < 64; ++sq) {
        const int mb = kMailbox64[sq];
        auto bit = [](int n) { return std::uint64_t(1) << n; };
        // A White pawn attacks towards lower squares, so it stands below the target.
        for (int step : {9, 11}) {
            if (kMailbox[mb + step] >= 0) t.pawnFrom[0][sq] |= bit(kMailbox[mb + step]);
            if (kMailbox[mb - step] >= 0) t.pawnFrom[1][sq] |= bit(kMailbox[mb - step]);
        }
        for (int step : kOffset[TEngineSearch::Knight])
            if (kMailbox[mb + step] >= 0) t.knight[sq] |= bit(kMailbox[mb + step]);
        for (int step : kOffset[TEngineSearch::King])
            if (kMailbox[mb + step] >= 0) t.king[sq] |= bit(kMailbox[mb + step]);
        for (int other = 0; other < 64; ++other) {
            const int step = kLineStep.step[sq][other];
            if (step == -10 || step == -1 || step == 1 || step == 10)
                t.straight[sq] |= bit(other);
            else if (step != 0)
                t.diagonal[sq] |= bit(other);
        }
    }
    return t;
}
constexpr AttackMasks kAttack = MakeAttackMasks();

} // namespace

TEngineSearch::TEngineSearch() {
    std::memset(pieceSquare_, 0, sizeof pieceSquare_);
    std::memset(history_, 0, sizeof history_);
    std::memset(pvLength_, 0, sizeof pvLength_);
    std::memset(firstMove_, 0, sizeof firstMove_);
    std::memset(checkCache_, -1, sizeof checkCache_);
    Load("rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR", true, 15, -1);
}

// ---------------------------------------------------------------- position

void TEngineSearch::Load(const char* squares64, bool whiteToMove, int castleRights, int epSquare) {
    for (int sq = 0; sq < 64; ++sq) {
        const char c = squares64[sq];
        int piece = Empty, colour = Empty;
        switch (c) {
        case 'P':
        case 'p':
            piece = Pawn;
            break;
        case 'N':
        case 'n':
            piece = Knight;
            break;
        case 'B':
        case 'b':
            piece = Bishop;
            break;
        case 'R':
        case 'r':
            piece = Rook;
            break;
        case 'Q':
        case 'q':
            piece = Queen;
            break;
        case 'K':
        case 'k':
            piece = King;
            break;
        default:
            break;
        }
        if (piece != Empty) colour = (c >= 'a') ? Black : White;
        colour_[sq] = static_cast<std::uint8_t>(colour);
        piece_[sq] = static_cast<std::uint8_t>(piece);
    }
    side_ = whiteToMove ? White : Black;
    xside_ = side_ ^ 1;

    auto holds = [this](int sq, int colour, int piece) {
        return colour_[sq] == colour && piece_[sq] == piece;
    };
    castle_ = castleRights & 15;
    if (!holds(kE1, White, King) || !holds(kH1, White, Rook)) castle_ &= ~1;
    if (!holds(kE1, White, King) || !holds(kA1, White, Rook)) castle_ &= ~2;
    if (!holds(kE8, Black, King) || !holds(kH8, Black, Rook)) castle_ &= ~4;
    if (!holds(kE8, Black, King) || !holds(kA8, Black, Rook)) castle_ &= ~8;

    ep_ = -1;
    if (side_ == White && epSquare >= 16 && epSquare <= 23 && colour_[epSquare] == Empty &&
        holds(epSquare + 8, Black, Pawn))
        ep_ = epSquare;
    if (side_ == Black && epSquare >= 40 && epSquare <= 47 && colour_[epSquare] == Empty &&
        holds(epSquare - 8, White, Pawn))
        ep_ = epSquare;

    ply_ = 0;
    firstMove_[0] = 0;
    firstMove_[1] = 0;
    checkCache_[0] = -1;
    FindKings();
    RecountBoardTerms();
}

void TEngineSearch::FindKings() {
    kingSq_[White] = kingSq_[Black] = -1;
    int count[2] = {0, 0};
    for (int sq = 0; sq < 64; ++sq) {
        if (piece_[sq] != King) continue;
        const int c = colour_[sq];
        if (count[c]++ == 0) kingSq_[c] = sq;
    }
    manyKings_ = count[White] > 1 || count[Black] > 1;
}

int TEngineSearch::KingSquare(int colour) const {
    if (!manyKings_) return kingSq_[colour];
    for (int sq = 0; sq < 64; ++sq)
        if (piece_[sq] == King && colour_[sq] == colour) return sq;
    return -1;
}

// ---------------------------------------------------------------- attacks

bool TEngineSearch::InCheck(int colour) const {
    const int k = KingSquare(colour);
    return k >= 0 && Attacked(k, colour ^ 1);
}

bool TEngineSearch::Attacked(int sq, int by) const {
    const std::uint64_t* mine = pieceBits_[by];
    if ((kAttack.pawnFrom[by][sq] & mine[Pawn]) || (kAttack.knight[sq] & mine[Knight]) ||
        (kAttack.king[sq] & mine[King]))
        return true;
    // Sliders on a line through the square: attacked when nothing stands between.
    std::uint64_t sliders = ((mine[Bishop] | mine[Queen]) & kAttack.diagonal[sq]) |
                            ((mine[Rook] | mine[Queen]) & kAttack.straight[sq]);
    const int mb = kMailbox64[sq];
    for (; sliders; sliders &= sliders - 1) {
        const int s = std::countr_zero(sliders);
        const int step = kLineStep.step[sq][s];
        int i = mb + step;
        int n = kMailbox[i];
        while (n != s && colour_[n] == Empty) {
            i += step;
            n = kMailbox[i];
        }
        if (n == s) return true;
    }
    return false;
}

bool TEngineSearch::LineOpened(int king, int from, int by) const {
    const int step = kLineStep.step[king][from];
    if (step == 0) return false;
    int i = kMailbox64[king];
    int n;
    do {
        i += step;
        n = kMailbox[i];
        if (n < 0) return false;
    } while (colour_[n] == Empty);
    if (colour_[n] != by) return false;
    const int p = piece_[n];
    const bool straight = (step == -10 || step == -1 || step == 1 || step == 10);
    return p == Queen || (straight ? p == Rook : p == Bishop);
}

// ---------------------------------------------------------------- generation

void TEngineSearch::AddMove(int from, int to, int bits) {
    if ((bits & FlagPawn) && (to <= 7 || to >= 56)) {
        AddPromotions(from, to, bits);
        return;
    }
    int& end = firstMove_[ply_ + 1];
    if (end >= MoveStack) return;
    TEngineMoveEntry& e = moveList_[end++];
    e.m.from = static_cast<std::uint8_t>(from);
    e.m.to = static_cast<std::uint8_t>(to);
    e.m.promote = 0;
    e.m.bits = static_cast<std::uint8_t>(bits);
    if (bits & FlagCapture)
        e.score = 1000000 + 10 * piece_[to] - piece_[from];
    else
        e.score = history_[from][to];
}

void TEngineSearch::AddPromotions(int from, int to, int bits) {
    int& end = firstMove_[ply_ + 1];
    for (int promote = Knight; promote <= Queen; ++promote) {
        if (end >= MoveStack) return;
        TEngineMoveEntry& e = moveList_[end++];
        e.m.from = static_cast<std::uint8_t>(from);
        e.m.to = static_cast<std::uint8_t>(to);
        e.m.promote = static_cast<std::uint8_t>(promote);
        e.m.bits = static_cast<std::uint8_t>(bits | FlagPromote);
        e.score = 1000000 + 10 * promote;
    }
}

inline void TEngineSearch::GeneratePieceMoves(int sq, int piece, bool capturesOnly) {
    const int mb = kMailbox64[sq];
    const int dirs = kDirections[piece];
    const bool slide = kSlide[piece];
    for (int d = 0; d < dirs; ++d) {
        const int step = kOffset[piece][d];
        int i = mb;
        for (;;) {
            i += step;
            const int n = kMailbox[i];
            if (n < 0) break;
            if (colour_[n] != Empty) {
                if (colour_[n] == xside_) AddMove(sq, n, FlagCapture);
                break;
            }
            if (!capturesOnly) AddMove(sq, n, 0);
            if (!slide) break;
        }
    }
}

void TEngineSearch::GenerateEnPassant() {
    if (ep_ < 0) return;
    const int file = ep_ & 7;
    if (side_ == White) {
        if (file != 0 && ep_ + 7 < 64 && colour_[ep_ + 7] == White && piece_[ep_ + 7] == Pawn)
            AddMove(ep_ + 7, ep_, FlagPawn | FlagEnPassant | FlagCapture);
        if (file != 7 && ep_ + 9 < 64 && colour_[ep_ + 9] == White && piece_[ep_ + 9] == Pawn)
            AddMove(ep_ + 9, ep_, FlagPawn | FlagEnPassant | FlagCapture);
    } else {
        if (file != 0 && ep_ - 9 >= 0 && colour_[ep_ - 9] == Black && piece_[ep_ - 9] == Pawn)
            AddMove(ep_ - 9, ep_, FlagPawn | FlagEnPassant | FlagCapture);
        if (file != 7 && ep_ - 7 >= 0 && colour_[ep_ - 7] == Black && piece_[ep_ - 7] == Pawn)
            AddMove(ep_ - 7, ep_, FlagPawn | FlagEnPassant | FlagCapture);
    }
}

inline void TEngineSearch::GenerateOwnMoves(bool capturesOnly) {
    firstMove_[ply_ + 1] = firstMove_[ply_];
    for (std::uint64_t own = colourBits_[side_]; own; own &= own - 1) {
        const int sq = std::countr_zero(own);
        const int piece = piece_[sq];
        if (piece != Pawn) {
            GeneratePieceMoves(sq, piece, capturesOnly);
            continue;
        }
        // A pawn's step counts as a capture only when it promotes.
        const int file = sq & 7;
        if (side_ == White) {
            if (sq < 8) continue; // a pawn on its last rank has no move
            if (file != 0 && colour_[sq - 9] == Black) AddMove(sq, sq - 9, FlagPawn | FlagCapture);
            if (file != 7 && colour_[sq - 7] == Black) AddMove(sq, sq - 7, FlagPawn | FlagCapture);
            if (colour_[sq - 8] == Empty) {
                if (!capturesOnly || sq <= 15) AddMove(sq, sq - 8, FlagPawn);
                if (!capturesOnly && sq >= 48 && sq <= 55 && colour_[sq - 16] == Empty)
                    AddMove(sq, sq - 16, FlagPawn | FlagPawnDouble);
            }
        } else {
            if (sq >= 56) continue;
            if (file != 0 && colour_[sq + 7] == White) AddMove(sq, sq + 7, FlagPawn | FlagCapture);
            if (file != 7 && colour_[sq + 9] == White) AddMove(sq, sq + 9, FlagPawn | FlagCapture);
            if (colour_[sq + 8] == Empty) {
                if (!capturesOnly || sq >= 48) AddMove(sq, sq + 8, FlagPawn);
                if (!capturesOnly && sq >= 8 && sq <= 15 && colour_[sq + 16] == Empty)
                    AddMove(sq, sq + 16, FlagPawn | FlagPawnDouble);
            }
        }
    }
}

void TEngineSearch::Generate() {
    GenerateOwnMoves(false);
    if (side_ == White) {
        if (castle_ & 1) AddMove(kE1, kG1, FlagCastle);
        if (castle_ & 2) AddMove(kE1, kC1, FlagCastle);
    } else {
        if (castle_ & 4) AddMove(kE8, kG8, FlagCastle);
        if (castle_ & 8) AddMove(kE8, kC8, FlagCastle);
    }
    GenerateEnPassant();
}

void TEngineSearch::GenerateCaptures() {
    GenerateOwnMoves(true);
    GenerateEnPassant();
}

// ---------------------------------------------------------------- make / take back

// The board changes only through Put and Clear, which keep the running
// evaluation terms (piece-square sums, pawns per file, pawn and rook sets) in step.
inline void TEngineSearch::Put(int sq, int colour, int piece) {
    colour_[sq] = static_cast<std::uint8_t>(colour);
    piece_[sq] = static_cast<std::uint8_t>(piece);
    psq_[colour] += pieceSquare_[colour][piece][sq];
    const std::uint64_t bit = std::uint64_t(1) << sq;
    if (piece < Empty) pieceBits_[colour][piece] |= bit;
    colourBits_[colour] |= bit;
    if (piece == Pawn) ++pawnsOnFile_[colour][(sq & 7) + 1];
}

inline void TEngineSearch::Clear(int sq) {
    const int colour = colour_[sq], piece = piece_[sq];
    if (colour == Empty) return;
    psq_[colour] -= pieceSquare_[colour][piece][sq];
    const std::uint64_t bit = std::uint64_t(1) << sq;
    if (piece < Empty) pieceBits_[colour][piece] &= ~bit;
    colourBits_[colour] &= ~bit;
    if (piece == Pawn) --pawnsOnFile_[colour][(sq & 7) + 1];
    colour_[sq] = Empty;
    piece_[sq] = Empty;
}

inline void TEngineSearch::MovePiece(int from, int to) {
    if (colour_[from] == Empty) return;
    const int colour = colour_[from], piece = piece_[from];
    Clear(from);
    Put(to, colour, piece);
}

bool TEngineSearch::MakeMove(TEngineMove m) {
    const int from = m.from, to = m.to;
    if (checkCache_[ply_] < 0) checkCache_[ply_] = InCheck(side_) ? 1 : 0;
    const bool wasInCheck = checkCache_[ply_] != 0;
    if (m.bits & FlagCastle) {
        if (wasInCheck) return false;
        int rookFrom, rookTo;
        switch (to) {
        case kG1:
            if (colour_[kF1] != Empty || colour_[kG1] != Empty || Attacked(kF1, xside_) ||
                Attacked(kG1, xside_))
                return false;
            rookFrom = kH1, rookTo = kF1;
            break;
        case kC1:
            if (colour_[kB1] != Empty || colour_[kC1] != Empty || colour_[kD1] != Empty ||
                Attacked(kC1, xside_) || Attacked(kD1, xside_))
                return false;
            rookFrom = kA1, rookTo = kD1;
            break;
        case kG8:
            if (colour_[kF8] != Empty || colour_[kG8] != Empty || Attacked(kF8, xside_) ||
                Attacked(kG8, xside_))
                return false;
            rookFrom = kH8, rookTo = kF8;
            break;
        case kC8:
            if (colour_[kB8] != Empty || colour_[kC8] != Empty || colour_[kD8] != Empty ||
                Attacked(kC8, xside_) || Attacked(kD8, xside_))
                return false;
            rookFrom = kA8, rookTo = kD8;
            break;
        default:
            return false;
        }
        MovePiece(rookFrom, rookTo);
    }

    Undo& u = undo_[ply_];
    u.m = m;
    u.capture = piece_[to];
    u.castle = static_cast<std::uint8_t>(castle_);
    u.ep = static_cast<std::int8_t>(ep_);
    ++ply_;
    checkCache_[ply_] = -1;

    castle_ &= kCastleMask[from] & kCastleMask[to];
    ep_ = (m.bits & FlagPawnDouble) ? (side_ == White ? to + 8 : to - 8) : -1;

    const int mover = piece_[from];
    if (u.capture != Empty) Clear(to);
    Clear(from);
    Put(to, side_, (m.bits & FlagPromote) ? m.promote : mover);

    if (m.bits & FlagEnPassant) {
        const int taken = side_ == White ? to + 8 : to - 8;
        if (colour_[taken] != Empty) Clear(taken);
    }
    if (mover == King) kingSq_[side_] = to;
    if (u.capture == King) kingSq_[xside_] = -1;

    xside_ = side_;
    side_ ^= 1;
    // Not in check before and not moving the king: only a line through the
    // square just left can have opened onto the king.
    bool illegal;
    if (wasInCheck || mover == King || (m.bits & FlagEnPassant) || manyKings_) {
        illegal = InCheck(xside_);
    } else {
        const int king = kingSq_[xside_];
        illegal = king >= 0 && LineOpened(king, from, side_);
    }
    if (illegal) {
        TakeBackMove();
        return false;
    }
    return true;
}

void TEngineSearch::TakeBackMove() {
    xside_ = side_;
    side_ ^= 1;
    --ply_;
    const Undo& u = undo_[ply_];
    const TEngineMove m = u.m;
    const int from = m.from, to = m.to;
    castle_ = u.castle;
    ep_ = u.ep;

    const int mover = (m.bits & FlagPromote) ? static_cast<int>(Pawn) : piece_[to];
    Clear(to);
    Put(from, side_, mover);
    if (u.capture != Empty) Put(to, xside_, u.capture);
    if (mover == King) kingSq_[side_] = from;
    if (u.capture == King) kingSq_[xside_] = to;

    if (m.bits & FlagCastle) {
        int rookFrom, rookTo;
        switch (to) {
        case kG1:
            rookFrom = kF1, rookTo = kH1;
            break;
        case kC1:
            rookFrom = kD1, rookTo = kA1;
            break;
        case kG8:
            rookFrom = kF8, rookTo = kH8;
            break;
        default:
            rookFrom = kD8, rookTo = kA8;
            break;
        }
        MovePiece(rookFrom, rookTo);
    }
    if (m.bits & FlagEnPassant) Put(side_ == White ? to + 8 : to - 8, xside_, Pawn);
}

// ---------------------------------------------------------------- perft

std::uint64_t TEngineSearch::Perft(int depth) {
    if (depth <= 0) return 1;
    if (ply_ >= MaxPly - 2 || firstMove_[ply_] > MoveStack - MoveRoom) return 0;
    Generate();
    std::uint64_t nodes = 0;
    const int end = firstMove_[ply_ + 1];
    for (int i = firstMove_[ply_]; i < end; ++i) {
        if (!MakeMove(moveList_[i].m)) continue;
        nodes += depth == 1 ? 1 : Perft(depth - 1);
        TakeBackMove();
    }
    return nodes;
}
