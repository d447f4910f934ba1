#include "ChessModel.h"

#include <QStringList>

#include <cstring>
#include <utility>

namespace {

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

// Order of history entries: (n, White) < (n, Black) < (n + 1, White).
constexpr long long EntryOrder(int moveNumber, bool whiteToMove) {
    return 2LL * moveNumber + (whiteToMove ? 0 : 1);
}

bool IsPieceLetter(char16_t c) {
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

constexpr int kE1 = Ord(Square::E1), kE8 = Ord(Square::E8);

} // namespace

const char* const TChessModel::InitialPosition =
    "rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR";

TChessModel::TChessModel(QObject* parent) : QObject(parent) {
    squares_.fill(' ');
    squares_[65] = '\0';
    ResetPosition();
}

TChessModel::~TChessModel() {
    // The engine worker goes first (see ChessEngineControl.cpp).
    ShutDownEngine();
}

// ---------------------------------------------------------------- position

QString TChessModel::Position() const {
    return QString::fromLatin1(squares_.data() + 1, 64);
}

void TChessModel::SetPosition(const QString& text) {
    StopThinking();
    std::fill(squares_.begin(), squares_.begin() + 65, ' ');
    const QString lower = text.toLower();
    if (lower == QLatin1String("init") || lower == QLatin1String("newgame")) {
        std::memcpy(squares_.data() + 1, InitialPosition, 64);
    } else {
        const qsizetype n = std::min<qsizetype>(text.size(), 64);
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c == 0) break;
            if (IsPieceLetter(c)) squares_[i + 1] = static_cast<char>(c);
        }
    }
    lastFrom_ = lastTo_ = Square::None; // no move led to a position written by hand
    if (view_) view_->RepaintAll();
}

void TChessModel::SetWhiteToMove(bool white) {
    StopThinking();
    whiteToMove_ = white;
}

void TChessModel::SetCastlingAllowed(CastleSet rights) {
    castling_ = rights & AllCastling;
}

void TChessModel::SetEnPassant(Square s) {
    if (!IsOnBoard(s) || (RankOf(s) != 6 && RankOf(s) != 3)) return;
    StopThinking();
    enPassant_ = s;
}

int TChessModel::PieceColor(Square s) const {
    return IsOnBoard(s) ? ColourOf(squares_[Ord(s)]) : -1;
}

void TChessModel::SetPromotionLetter(char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == 'q' || c == 'r' || c == 'b' || c == 'n') promotionLetter_ = c;
}

// ---------------------------------------------------------------- FEN

QString TChessModel::Fen() const {
    QString out;
    for (int rank = 8; rank >= 1; --rank) {
        int empty = 0;
        for (int file = 1; file <= 8; ++file) {
            const char c = squares_[IndexOf(file, rank)];
            if (c == ' ') {
                ++empty;
                continue;
            }
            if (empty) out += QChar(u'0' + empty);
            empty = 0;
            out += QLatin1Char(c);
        }
        if (empty) out += QChar(u'0' + empty);
        if (rank > 1) out += u'/';
    }
    out += WhiteToMove() ? QLatin1String(" w ") : QLatin1String(" b ");
    if (castling_ & WhiteKingSide) out += u'K';
    if (castling_ & WhiteQueenSide) out += u'Q';
    if (castling_ & BlackKingSide) out += u'k';
    if (castling_ & BlackQueenSide) out += u'q';
    if (!(castling_ & AllCastling)) out += u'-';
    out += u' ';
    out += IsOnBoard(enPassant_) ? SquareToText(enPassant_) : QStringLiteral("-");
    out += u' ' + QString::number(HalfMoveClock()) + u' ' + QString::number(currentMove_);
    return out;
}

int TChessModel::HalfMoveClock() const {
    int count = 0;
    int n = currentMove_;
    bool white = WhiteToMove();
    while (const MoveInfo* e = FindEntry(n, white)) {
        if (n == firstMove_ && white == firstWhite_) return count + startHalfMoves_;
        const int before = white ? n - 1 : n;
        const MoveInfo* p = FindEntry(before, !white);
        if (!p || !IsOnBoard(e->movedFrom) || !IsOnBoard(e->movedTo)) return count;
        const char mover = p->squares[Ord(e->movedFrom) - 1];
        if (mover == 'P' || mover == 'p' || p->squares[Ord(e->movedTo) - 1] != ' ') return count;
        ++count;
        n = before;
        white = !white;
    }
    return count;
}

bool TChessModel::SetFen(const QString& fen, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QStringList fields = fen.simplified().split(u' ', Qt::SkipEmptyParts);
    if (fields.size() < 4 || fields.size() > 6)
        return fail(QStringLiteral("expected 4 to 6 fields separated by spaces, found %1")
                        .arg(fields.size()));

    std::array<char, 66> board;
    board.fill(' ');
    board[65] = '\0';
    const QStringList ranks = fields[0].split(u'/');
    if (ranks.size() != 8)
        return fail(
            QStringLiteral("the board needs 8 ranks separated by '/', found %1").arg(ranks.size()));
    for (int i = 0; i < 8; ++i) {
        const int rank = 8 - i;
        int file = 1;
        for (const QChar qc : ranks[i]) {
            const char16_t c = qc.unicode();
            if (c >= u'1' && c <= u'8') {
                file += c - u'0';
            } else if (IsPieceLetter(c)) {
                if (file > 8)
                    return fail(QStringLiteral("rank %1 holds more than 8 squares").arg(rank));
                if ((c == u'P' || c == u'p') && (rank == 1 || rank == 8))
                    return fail(QStringLiteral("a pawn stands on rank %1").arg(rank));
                board[IndexOf(file, rank)] = static_cast<char>(c);
                ++file;
            } else {
                return fail(
                    QStringLiteral("unexpected character '%1' on rank %2").arg(qc).arg(rank));
            }
            if (file > 9) break;
        }
        if (file != 9)
            return fail(QStringLiteral("rank %1 does not hold exactly 8 squares").arg(rank));
    }

    bool white;
    if (fields[1] == QLatin1String("w"))
        white = true;
    else if (fields[1] == QLatin1String("b"))
        white = false;
    else
        return fail(QStringLiteral("side to move must be 'w' or 'b', not '%1'").arg(fields[1]));

    CastleSet castling = 0;
    if (fields[2] != QLatin1String("-")) {
        for (const QChar qc : fields[2]) {
            CastleSet bit = 0;
            switch (qc.unicode()) {
            case u'K':
                bit = WhiteKingSide;
                break;
            case u'Q':
                bit = WhiteQueenSide;
                break;
            case u'k':
                bit = BlackKingSide;
                break;
            case u'q':
                bit = BlackQueenSide;
                break;
            default:
                break;
            }
            if (!bit || (castling & bit))
                return fail(
                    QStringLiteral("castling rights '%1' are not a set of K, Q, k, q or '-'")
                        .arg(fields[2]));
            castling |= bit;
        }
    }

    Square ep = Square::None;
    if (fields[3] != QLatin1String("-")) {
        ep = TextToSquare(fields[3]);
        if (ep == Square::None || fields[3].at(0).isUpper())
            return fail(
                QStringLiteral("en passant square '%1' is not a square or '-'").arg(fields[3]));
        if (RankOf(ep) != (white ? 6 : 3))
            return fail(
                QStringLiteral("en passant square %1 is on the wrong rank for the side to move")
                    .arg(fields[3]));
    }

    int halfMoves = 0;
    if (fields.size() >= 5) {
        bool ok = false;
        halfMoves = fields[4].toInt(&ok);
        if (!ok || halfMoves < 0)
            return fail(
                QStringLiteral("half-move clock '%1' is not a number of 0 or more").arg(fields[4]));
    }
    int moveNumber = 1;
    if (fields.size() == 6) {
        bool ok = false;
        moveNumber = fields[5].toInt(&ok);
        if (!ok || moveNumber < 1 || moveNumber > 1000000)
            return fail(QStringLiteral("move number '%1' is not a number from 1 to 1000000")
                            .arg(fields[5]));
    }

    StopThinking();
    squares_ = board;
    whiteToMove_ = white;
    castling_ = castling;
    enPassant_ = ep;
    currentMove_ = moveNumber;
    StartHistory();
    startHalfMoves_ = halfMoves;
    if (view_) view_->RepaintAll();
    if (error) error->clear();
    return true;
}

// ---------------------------------------------------------------- history

void TChessModel::ResetPosition() {
    StopThinking();
    squares_[0] = ' ';
    std::memcpy(squares_.data() + 1, InitialPosition, 64);
    squares_[65] = '\0';
    whiteToMove_ = true;
    currentMove_ = 1;
    enPassant_ = Square::None;
    castling_ = AllCastling;
    StartHistory();
}

void TChessModel::StartHistory() {
    firstMove_ = lastMove_ = currentMove_;
    firstWhite_ = lastWhite_ = WhiteToMove();
    lastFrom_ = lastTo_ = Square::None;
    // Entries outside the recorded range are never read, so the old game can go.
    history_.clear();
    historyBase_ = currentMove_;
    startHalfMoves_ = 0;
    RecordPosition();
}

void TChessModel::NewGame() {
    ResetPosition();
    if (view_) view_->RepaintAll();
}

MoveInfo& TChessModel::Entry(int moveNumber, bool whiteToMove) {
    const std::size_t row = static_cast<std::size_t>(moveNumber - historyBase_);
    if (row >= history_.size()) history_.resize(row + 1);
    return history_[row][whiteToMove ? 0 : 1];
}

const MoveInfo* TChessModel::FindEntry(int moveNumber, bool whiteToMove) const {
    if (moveNumber < historyBase_) return nullptr;
    const std::size_t row = static_cast<std::size_t>(moveNumber - historyBase_);
    if (row >= history_.size()) return nullptr;
    const MoveInfo& e = history_[row][whiteToMove ? 0 : 1];
    return e.recorded ? &e : nullptr;
}

void TChessModel::RecordPosition() {
    if (currentMove_ < historyBase_)
        return; // cannot happen: the board never goes before its first entry
    MoveInfo& e = Entry(currentMove_, WhiteToMove());
    std::memcpy(e.squares.data(), squares_.data() + 1, 64);
    e.castling = castling_;
    e.enPassant = enPassant_;
    e.repetitionEp = CapturableEnPassant();
    e.movedFrom = lastFrom_;
    e.movedTo = lastTo_;
    e.recorded = true;
}

bool TChessModel::GotoMove(int moveNumber, bool whiteToMove) {
    StopThinking();
    const long long wanted = EntryOrder(moveNumber, whiteToMove);
    if (wanted > EntryOrder(lastMove_, lastWhite_) || wanted < EntryOrder(firstMove_, firstWhite_))
        return false;
    const MoveInfo* e = FindEntry(moveNumber, whiteToMove);
    if (!e) return false;
    currentMove_ = moveNumber;
    whiteToMove_ = whiteToMove;
    const std::array<char, 66> old = squares_;
    std::memcpy(squares_.data() + 1, e->squares.data(), 64);
    enPassant_ = e->enPassant;
    castling_ = e->castling;
    lastFrom_ = e->movedFrom;
    lastTo_ = e->movedTo;
    if (view_) {
        for (int s = 1; s <= 64; ++s)
            if (old[s] != squares_[s]) view_->RepaintSquare(ToSquare(s));
        view_->PaintGridLines();
    }
    return true;
}

bool TChessModel::TakeBack() {
    if (WhiteToMove()) return GotoMove(currentMove_ - 1, false);
    return GotoMove(currentMove_, true);
}

// ---------------------------------------------------------------- rules

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

// ---------------------------------------------------------------- playing a move

void TChessModel::RepaintSquare(Square s) {
    if (view_) view_->RepaintSquare(s);
}

void TChessModel::PaintGridLines() {
    if (view_) view_->PaintGridLines();
}

bool TChessModel::Move(Square oldSq, Square newSq) {
    StopThinking();
    const bool played = DoMove(oldSq, newSq);
    engineStopped_ = false;
    RequestComputerMove();
    return played;
}

bool TChessModel::DoMove(Square oldSq, Square newSq) {
    gameOver_ = false;
    if (!IsLegalMove(oldSq, newSq)) return false;
    const int from = Ord(oldSq), to = Ord(newSq);
    RecordPosition();
    const char piece = squares_[from];
    if (view_) view_->EraseSquare(oldSq);

    const char captured = squares_[to];
    squares_[to] = piece;
    squares_[from] = ' ';
    lastFrom_ = oldSq;
    lastTo_ = newSq;
    RepaintSquare(newSq);
    PaintGridLines();
    // The piece is shown travelling once it stands on its new square: the
    // move is whole before anything else can happen.
    if (view_ && view_->AnimateMovesEnabled() && (oldSq != dragSource_ || newSq != dropTarget_))
        view_->AnimateMove(oldSq, newSq);

    const Square epBefore = enPassant_;
    const bool blackMoved = !WhiteToMove();
    if (blackMoved) ++currentMove_;
    whiteToMove_ = blackMoved;
    lastMove_ = currentMove_;
    lastWhite_ = blackMoved;

    if (OnLegalMove) OnLegalMove(oldSq, newSq);
    if (captured != ' ' && OnCapture) OnCapture(oldSq, newSq, captured);

    // Promotion.
    const char arrived = squares_[to];
    const int toRank = RankOfIndex(to);
    if ((arrived == 'P' || arrived == 'p') && (toRank == 8 || toRank == 1)) {
        char newPiece = promotionLetter_;
        if (OnPromotion) OnPromotion(oldSq, newSq, newPiece);
        SetPromotionLetter(newPiece); // letters other than q, r, b, n are not taken
        const char letter = promotionLetter_;
        squares_[to] = toRank == 8 ? static_cast<char>(letter - 'a' + 'A') : letter;
        RepaintSquare(newSq);
        PaintGridLines();
    }

    // En passant capture.
    const char mover = squares_[to];
    if (newSq == epBefore && FileOfIndex(from) != FileOfIndex(to) &&
        ((mover == 'P' && toRank == 6) || (mover == 'p' && toRank == 3))) {
        const int taken = IndexOf(FileOfIndex(to), mover == 'P' ? 5 : 4);
        if (OnCapture) OnCapture(oldSq, newSq, squares_[taken]);
        squares_[taken] = ' ';
        RepaintSquare(ToSquare(taken));
        PaintGridLines();
    }

    // New en passant square.
    if ((piece == 'P' && RankOfIndex(from) == 2 && toRank == 4) ||
        (piece == 'p' && RankOfIndex(from) == 7 && toRank == 5))
        enPassant_ = ToSquare((from + to) / 2);
    else
        enPassant_ = Square::None;

    // Castling: the rook follows the king.
    if ((piece == 'K' && from == kE1) || (piece == 'k' && from == kE8)) {
        int rookFrom = 0, rookTo = 0;
        if (to == from + 2)
            rookFrom = from + 3, rookTo = from + 1;
        else if (to == from - 2)
            rookFrom = from - 4, rookTo = from - 1;
        if (rookFrom) {
            squares_[rookTo] = squares_[rookFrom];
            squares_[rookFrom] = ' ';
            RepaintSquare(ToSquare(rookFrom));
            RepaintSquare(ToSquare(rookTo));
            PaintGridLines();
            if (OnCastle) OnCastle(oldSq, newSq);
        }
    }

    // Castling rights: a king or rook leaving its square, or anything landing on a corner.
    auto rightsLost = [](int s) -> CastleSet {
        switch (static_cast<Square>(s)) {
        case Square::A1:
            return WhiteQueenSide;
        case Square::E1:
            return WhiteKingSide | WhiteQueenSide;
        case Square::H1:
            return WhiteKingSide;
        case Square::A8:
            return BlackQueenSide;
        case Square::E8:
            return BlackKingSide | BlackQueenSide;
        case Square::H8:
            return BlackKingSide;
        default:
            return 0;
        }
    };
    castling_ &= static_cast<CastleSet>(~rightsLost(from));
    if (to != kE1 && to != kE8) castling_ &= static_cast<CastleSet>(~rightsLost(to));

    const bool check = KingAttacked(squares_.data(), 1) || KingAttacked(squares_.data(), 0);
    const bool canMove = AnyLegalMove();
    bool draw = false;
    if (check) {
        if (OnCheck) OnCheck(oldSq, newSq);
        if (!canMove && OnMate) {
            gameOver_ = true;
            OnMate(oldSq, newSq);
        }
    } else if (!canMove) {
        if (OnStaleMate) OnStaleMate(oldSq, newSq);
        draw = true;
    }

    int white = 0, black = 0;
    for (int s = 1; s <= 64; ++s) {
        switch (squares_[s]) {
        case 'P':
        case 'R':
        case 'Q':
            white += 5;
            break;
        case 'B':
            white += 3;
            break;
        case 'N':
            white += 2;
            break;
        case 'p':
        case 'r':
        case 'q':
            black += 5;
            break;
        case 'b':
            black += 3;
            break;
        case 'n':
            black += 2;
            break;
        default:
            break;
        }
    }
    if (white < 5 && black < 5) {
        if (OnNoMatingMaterial) OnNoMatingMaterial();
        draw = true;
    }

    RecordPosition();
    lastMove_ = currentMove_;
    lastWhite_ = WhiteToMove();
    if (IsThreefoldRepetition()) {
        if (OnThreefoldPosition) OnThreefoldPosition();
        draw = true;
    }
    if (draw && OnDraw) {
        gameOver_ = true;
        OnDraw();
    }
    if (OnPaint) OnPaint();
    return true;
}

// ---------------------------------------------------------------- perft

std::uint64_t TChessModel::PerftFrom(int depth) {
    if (depth == 0) return 1;
    std::array<std::uint16_t, 256> moves;
    int count = 0;
    const int side = WhiteToMove() ? 1 : 0;
    for (int from = 1; from <= 64; ++from) {
        if (ColourOf(squares_[from]) != side) continue;
        for (int to = 1; to <= 64 && count < 256; ++to)
            if (IsLegalMove(ToSquare(from), ToSquare(to)))
                moves[count++] = static_cast<std::uint16_t>(from << 8 | to);
    }
    std::uint64_t nodes = 0;
    for (int i = 0; i < count; ++i) {
        const Square from = ToSquare(moves[i] >> 8), to = ToSquare(moves[i] & 0xff);
        const char piece = squares_[Ord(from)];
        const bool promotes =
            (piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1);
        for (const char letter : {'q', 'r', 'b', 'n'}) {
            promotionLetter_ = letter;
            if (!DoMove(from, to)) break;
            nodes += PerftFrom(depth - 1);
            TakeBack();
            if (!promotes) break;
        }
    }
    return nodes;
}

std::uint64_t TChessModel::Perft(int depth) {
    if (depth < 0) return 0;
    StopThinking();
    // Hold back everything that would notice the moves tried.
    TMoveEvent legal = std::exchange(OnLegalMove, nullptr),
               castle = std::exchange(OnCastle, nullptr), check = std::exchange(OnCheck, nullptr),
               mate = std::exchange(OnMate, nullptr), stale = std::exchange(OnStaleMate, nullptr);
    TCaptureEvent capture = std::exchange(OnCapture, nullptr);
    TPromotionEvent promotion = std::exchange(OnPromotion, nullptr);
    TNotifyEvent material = std::exchange(OnNoMatingMaterial, nullptr),
                 threefold = std::exchange(OnThreefoldPosition, nullptr),
                 draw = std::exchange(OnDraw, nullptr), paint = std::exchange(OnPaint, nullptr);
    TBoardViewHooks* view = std::exchange(view_, nullptr);
    const auto history = history_;
    const int lastMove = lastMove_;
    const bool lastWhite = lastWhite_, gameOver = gameOver_;
    const char letter = promotionLetter_;

    const std::uint64_t nodes = PerftFrom(depth);

    OnLegalMove = std::move(legal), OnCastle = std::move(castle), OnCheck = std::move(check);
    OnMate = std::move(mate), OnStaleMate = std::move(stale), OnCapture = std::move(capture);
    OnPromotion = std::move(promotion), OnNoMatingMaterial = std::move(material);
    OnThreefoldPosition = std::move(threefold), OnDraw = std::move(draw),
    OnPaint = std::move(paint);
    view_ = view;
    history_ = history;
    lastMove_ = lastMove;
    lastWhite_ = lastWhite;
    gameOver_ = gameOver;
    promotionLetter_ = letter;
    return nodes;
}
