// The rules of TChessModel: attacks on a king, the movement of each piece,
// castling, legality, whether a move is left, and the repetition rule.
#include "ChessModel.h"

#include "BoardIndex.h"

using namespace board_index;

bool TChessModel::KingAttacked(const char* sq, int colour) {
    if (colour != 0 && colour != 1) return false;
    const void* found = std::memchr(sq + 1, colour == 1 ? 'K' : 'k', 64);
    if (!found) return false;
    const int k = static_cast<int>(static_cast<const char*>(found) - sq);
    const int kf = FileOfIndex(k), kr = RankOfIndex(k);
    const bool white = colour == 1;
    const char pawn = white ? 'p' : 'P', knight = white ? 'n' : 'N', bishop = white ? 'b' : 'B',
               rook = white ? 'r' : 'R', queen = white ? 'q' : 'Q', king = white ? 'k' : 'K';

    const int pr = white ? kr + 1 : kr - 1;
    if (pr >= 1 && pr <= 8) {
        if (kf > 1 && sq[IndexOf(kf - 1, pr)] == pawn) return true;
        if (kf < 8 && sq[IndexOf(kf + 1, pr)] == pawn) return true;
    }
    static constexpr int jumps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                        {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    for (const auto& j : jumps) {
        const int f = kf + j[0], r = kr + j[1];
        if (OnBoard(f, r) && sq[IndexOf(f, r)] == knight) return true;
    }
    static constexpr int rays[8][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1},
                                       {1, 0}, {-1, 0}, {0, 1},  {0, -1}};
    for (int d = 0; d < 8; ++d) {
        const bool diagonal = d < 4;
        const char slider = diagonal ? bishop : rook;
        int f = kf + rays[d][0], r = kr + rays[d][1];
        for (int step = 1; OnBoard(f, r); ++step, f += rays[d][0], r += rays[d][1]) {
            const char c = sq[IndexOf(f, r)];
            if (c == ' ') continue;
            if (c == slider || c == queen || (step == 1 && c == king)) return true;
            break;
        }
    }
    return false;
}

bool TChessModel::KingAttackedAfter(int colour, Square oldSq, Square newSq) const {
    std::array<char, 66> b = squares_;
    if (IsOnBoard(oldSq) && IsOnBoard(newSq)) {
        const int from = Ord(oldSq), to = Ord(newSq);
        const char c = b[from];
        b[from] = ' ';
        b[to] = c;
        // An en passant capture also takes the pawn that made the double step.
        if ((c == 'P' || c == 'p') && newSq == enPassant_ && FileOfIndex(from) != FileOfIndex(to) &&
            squares_[to] == ' ') {
            const int taken = IndexOf(FileOfIndex(to), RankOfIndex(from));
            if (b[taken] == (c == 'P' ? 'p' : 'P')) b[taken] = ' ';
        }
    }
    return KingAttacked(b.data(), colour);
}

bool TChessModel::CastlingMayMove(int from, int to) const {
    const char* sq = squares_.data();
    auto safe = [this](int colour, Square king, Square x) {
        return !KingAttackedAfter(colour, king, x);
    };
    if (from == kE1 && sq[from] == 'K') {
        if (to == Ord(Square::G1))
            return (castling_ & WhiteKingSide) && sq[Ord(Square::H1)] == 'R' &&
                   sq[Ord(Square::F1)] == ' ' && sq[Ord(Square::G1)] == ' ' &&
                   safe(1, Square::E1, Square::E1) && safe(1, Square::E1, Square::F1) &&
                   safe(1, Square::E1, Square::G1);
        if (to == Ord(Square::C1))
            return (castling_ & WhiteQueenSide) && sq[Ord(Square::A1)] == 'R' &&
                   sq[Ord(Square::B1)] == ' ' && sq[Ord(Square::C1)] == ' ' &&
                   sq[Ord(Square::D1)] == ' ' && safe(1, Square::E1, Square::E1) &&
                   safe(1, Square::E1, Square::D1) && safe(1, Square::E1, Square::C1);
    } else if (from == kE8 && sq[from] == 'k') {
        if (to == Ord(Square::G8))
            return (castling_ & BlackKingSide) && sq[Ord(Square::H8)] == 'r' &&
                   sq[Ord(Square::F8)] == ' ' && sq[Ord(Square::G8)] == ' ' &&
                   safe(0, Square::E8, Square::E8) && safe(0, Square::E8, Square::F8) &&
                   safe(0, Square::E8, Square::G8);
        if (to == Ord(Square::C8))
            return (castling_ & BlackQueenSide) && sq[Ord(Square::A8)] == 'r' &&
                   sq[Ord(Square::B8)] == ' ' && sq[Ord(Square::C8)] == ' ' &&
                   sq[Ord(Square::D8)] == ' ' && safe(0, Square::E8, Square::E8) &&
                   safe(0, Square::E8, Square::D8) && safe(0, Square::E8, Square::C8);
    }
    return false;
}

bool TChessModel::PieceMayMove(int from, int to) const {
    const char* sq = squares_.data();
    const char piece = sq[from];
    const int df = FileOfIndex(to) - FileOfIndex(from), dr = RankOfIndex(to) - RankOfIndex(from);
    const int adf = Abs(df), adr = Abs(dr);
    auto pathClear = [&] {
        const int step = Sign(df) - 8 * Sign(dr);
        for (int s = from + step; s != to; s += step)
            if (sq[s] != ' ') return false;
        return true;
    };
    switch (piece) {
    case 'N':
    case 'n':
        return (adf == 2 && adr == 1) || (adf == 1 && adr == 2);
    case 'B':
    case 'b':
        return adf == adr && adf > 0 && pathClear();
    case 'R':
    case 'r':
        return (df == 0) != (dr == 0) && pathClear();
    case 'Q':
    case 'q':
        return ((adf == adr && adf > 0) || ((df == 0) != (dr == 0))) && pathClear();
    case 'K':
    case 'k':
        return (adf <= 1 && adr <= 1) || CastlingMayMove(from, to);
    case 'P':
    case 'p': {
        const bool white = piece == 'P';
        const int forward = white ? 1 : -1;
        if (dr == forward && df == 0) return sq[to] == ' ';
        if (dr == forward && adf == 1) {
            if (ColourOf(sq[to]) == (white ? 0 : 1)) return true;
            // En passant: onto the square skipped, past the pawn that skipped it.
            return to == Ord(enPassant_) && sq[to] == ' ' && RankOfIndex(to) == (white ? 6 : 3) &&
                   sq[IndexOf(FileOfIndex(to), RankOfIndex(from))] == (white ? 'p' : 'P');
        }
        if (df == 0 && dr == 2 * forward && RankOfIndex(from) == (white ? 2 : 7))
            return sq[to] == ' ' && sq[(from + to) / 2] == ' ';
        return false;
    }
    default:
        return false;
    }
}

bool TChessModel::MoveAllowed(int from, int to) const {
    const int colour = ColourOf(squares_[from]);
    if (colour < 0 || ColourOf(squares_[to]) == colour) return false;
    return PieceMayMove(from, to) && !KingAttackedAfter(colour, ToSquare(from), ToSquare(to));
}

bool TChessModel::IsLegalMove(Square oldSq, Square newSq) const {
    if (!IsOnBoard(oldSq) || !IsOnBoard(newSq)) return false;
    const int from = Ord(oldSq), to = Ord(newSq);
    const int side = WhiteToMove() ? 1 : 0;
    // The cheap tests come first; they decide nothing that depends on the order.
    if (ColourOf(squares_[from]) != side || ColourOf(squares_[to]) == side) return false;
    if (!PieceMayMove(from, to)) return false;
    if (IsThreefoldRepetition()) return false;
    return !KingAttackedAfter(side, oldSq, newSq);
}

bool TChessModel::AnyLegalMove() const {
    const int side = WhiteToMove() ? 1 : 0;
    for (int from = 1; from <= 64; ++from) {
        if (ColourOf(squares_[from]) != side) continue;
        for (int to = 1; to <= 64; ++to) {
            if (ColourOf(squares_[to]) == side) continue;
            if (PieceMayMove(from, to) && !KingAttackedAfter(side, ToSquare(from), ToSquare(to)))
                return true;
        }
    }
    return false;
}

bool TChessModel::HasLegalMove() const {
    return !IsThreefoldRepetition() && AnyLegalMove();
}

Square TChessModel::CapturableEnPassant() const {
    if (!IsOnBoard(enPassant_)) return Square::None;
    const bool white = WhiteToMove();
    const int ep = Ord(enPassant_);
    if (RankOfIndex(ep) != (white ? 6 : 3)) return Square::None;
    const int rank = white ? 5 : 4;
    for (int df : {-1, 1}) {
        const int file = FileOfIndex(ep) + df;
        if (file < 1 || file > 8) continue;
        const int from = IndexOf(file, rank);
        if (squares_[from] == (white ? 'P' : 'p') && MoveAllowed(from, ep)) return enPassant_;
    }
    return Square::None;
}

bool TChessModel::SameEntry(const MoveInfo& a, const MoveInfo& b) {
    return a.castling == b.castling && a.repetitionEp == b.repetitionEp &&
           std::memcmp(a.squares.data(), b.squares.data(), 64) == 0;
}

bool TChessModel::IsThreefoldRepetition() const {
    const int n = currentMove_;
    const bool white = WhiteToMove();
    const long long first = EntryOrder(firstMove_, firstWhite_);
    const long long here = EntryOrder(n, white);
    if (here < first || here > EntryOrder(lastMove_, lastWhite_)) return false;
    const MoveInfo* e = FindEntry(n, white);
    if (!e) return false;
    // Only entries with the same side to move can be the same position.
    int count = 0;
    for (int m = n - 1; EntryOrder(m, white) >= first; --m) {
        const MoveInfo* o = FindEntry(m, white);
        if (o && SameEntry(*e, *o) && ++count >= 2) return true;
    }
    return false;
}
