#include "ChessModel.h"

#include <QMetaMethod>
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
    lastPiece_ = ' ';
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
    lastPiece_ = ' ';
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
    e.movedPiece = lastPiece_;
    e.recorded = true;
}

bool TChessModel::GotoMove(int moveNumber, bool whiteToMove) {
    StopThinking();
    const std::array<char, 66> old = squares_;
    if (!RestoreEntry(moveNumber, whiteToMove)) return false;
    if (view_) {
        for (int s = 1; s <= 64; ++s)
            if (old[s] != squares_[s]) view_->RepaintSquare(ToSquare(s));
        view_->PaintGridLines();
    }
    return true;
}

bool TChessModel::RestoreEntry(int moveNumber, bool whiteToMove) {
    const long long wanted = EntryOrder(moveNumber, whiteToMove);
    if (wanted > EntryOrder(lastMove_, lastWhite_) || wanted < EntryOrder(firstMove_, firstWhite_))
        return false;
    const MoveInfo* e = FindEntry(moveNumber, whiteToMove);
    if (!e) return false;
    currentMove_ = moveNumber;
    whiteToMove_ = whiteToMove;
    std::memcpy(squares_.data() + 1, e->squares.data(), 64);
    enPassant_ = e->enPassant;
    castling_ = e->castling;
    lastFrom_ = e->movedFrom;
    lastTo_ = e->movedTo;
    lastPiece_ = e->movedPiece;
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
    const char letter = ChosenPromotion(oldSq, newSq);
    const TMoveOutcome move = ApplyLegalMove(Ord(oldSq), Ord(newSq), letter);
    ShowMove(move);
    AnnounceMove(move);
    return true;
}

std::optional<TMoveOutcome> TChessModel::ApplyMove(Square oldSq, Square newSq, char letter) {
    if (!IsLegalMove(oldSq, newSq)) return std::nullopt;
    return ApplyLegalMove(Ord(oldSq), Ord(newSq), letter);
}

char TChessModel::ChosenPromotion(Square oldSq, Square newSq) {
    const char piece = squares_[Ord(oldSq)];
    const bool promotes =
        (piece == 'P' && RankOf(newSq) == 8) || (piece == 'p' && RankOf(newSq) == 1);
    if (promotes && PromotionChoice) {
        char newPiece = promotionLetter_;
        PromotionChoice(oldSq, newSq, newPiece);
        SetPromotionLetter(newPiece); // letters other than q, r, b, n are not taken
    }
    return promotionLetter_;
}

namespace {

// The castling rights a move from or onto s takes away: a king or rook
// leaving its square, or anything landing on a corner.
CastleSet RightsLost(int s) {
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
}

// Pawns, rooks and queens count 5, bishops 3, knights 2, kings nothing.
int MaterialOf(const char* squares, int colour) {
    int total = 0;
    for (int s = 1; s <= 64; ++s) {
        const char c = squares[s];
        if (ColourOf(c) != colour) continue;
        switch (c | 0x20) {
        case 'p':
        case 'r':
        case 'q':
            total += 5;
            break;
        case 'b':
            total += 3;
            break;
        case 'n':
            total += 2;
            break;
        default:
            break;
        }
    }
    return total;
}

} // namespace

TMoveOutcome TChessModel::ApplyLegalMove(int from, int to, char letter) {
    TMoveOutcome move;
    move.From = ToSquare(from);
    move.To = ToSquare(to);
    RecordPosition();
    const char piece = squares_[from];
    move.Piece = piece;
    move.Captured = squares_[to];
    squares_[to] = piece;
    squares_[from] = ' ';
    lastFrom_ = move.From;
    lastTo_ = move.To;
    lastPiece_ = piece;

    const Square epBefore = enPassant_;
    const bool blackMoved = !WhiteToMove();
    if (blackMoved) ++currentMove_;
    whiteToMove_ = blackMoved;
    lastMove_ = currentMove_;
    lastWhite_ = blackMoved;

    const int toRank = RankOfIndex(to);
    if ((piece == 'P' || piece == 'p') && (toRank == 8 || toRank == 1)) {
        if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
        if (letter != 'r' && letter != 'b' && letter != 'n') letter = 'q';
        move.Promoted = letter;
        squares_[to] = toRank == 8 ? static_cast<char>(letter - 'a' + 'A') : letter;
    }

    if (move.To == epBefore && FileOfIndex(from) != FileOfIndex(to) &&
        ((piece == 'P' && toRank == 6) || (piece == 'p' && toRank == 3))) {
        const int taken = IndexOf(FileOfIndex(to), piece == 'P' ? 5 : 4);
        move.EnPassantPawn = squares_[taken];
        move.EnPassantTaken = ToSquare(taken);
        squares_[taken] = ' ';
    }

    if ((piece == 'P' && RankOfIndex(from) == 2 && toRank == 4) ||
        (piece == 'p' && RankOfIndex(from) == 7 && toRank == 5))
        enPassant_ = ToSquare((from + to) / 2);
    else
        enPassant_ = Square::None;

    if ((piece == 'K' && from == kE1) || (piece == 'k' && from == kE8)) {
        int rookFrom = 0, rookTo = 0;
        if (to == from + 2)
            rookFrom = from + 3, rookTo = from + 1;
        else if (to == from - 2)
            rookFrom = from - 4, rookTo = from - 1;
        if (rookFrom) {
            squares_[rookTo] = squares_[rookFrom];
            squares_[rookFrom] = ' ';
            move.RookFrom = ToSquare(rookFrom);
            move.RookTo = ToSquare(rookTo);
        }
    }

    castling_ &= static_cast<CastleSet>(~RightsLost(from));
    if (to != kE1 && to != kE8) castling_ &= static_cast<CastleSet>(~RightsLost(to));

    move.Check = KingAttacked(squares_.data(), 1) || KingAttacked(squares_.data(), 0);
    move.CanMove = AnyLegalMove();
    move.NoMatingMaterial =
        MaterialOf(squares_.data(), 1) < 5 && MaterialOf(squares_.data(), 0) < 5;

    RecordPosition();
    lastMove_ = currentMove_;
    lastWhite_ = WhiteToMove();
    move.Threefold = IsThreefoldRepetition();
    return move;
}

void TChessModel::ShowMove(const TMoveOutcome& move) {
    if (!view_) return;
    view_->EraseSquare(move.From);
    view_->RepaintSquare(move.To);
    view_->PaintGridLines();
    // The piece is shown travelling once the whole move stands on the board.
    if (view_->AnimateMovesEnabled() && (move.From != dragSource_ || move.To != dropTarget_))
        view_->AnimateMove(move.From, move.To);
    if (move.Promoted) {
        view_->RepaintSquare(move.To);
        view_->PaintGridLines();
    }
    if (move.EnPassantPawn) {
        view_->RepaintSquare(move.EnPassantTaken);
        view_->PaintGridLines();
    }
    if (move.Castled()) {
        view_->RepaintSquare(move.RookFrom);
        view_->RepaintSquare(move.RookTo);
        view_->PaintGridLines();
    }
}

void TChessModel::AnnounceMove(const TMoveOutcome& move) {
    const Square from = move.From, to = move.To;
    emit OnLegalMove(from, to);
    if (move.Captured != ' ') emit OnCapture(from, to, move.Captured);
    if (move.Promoted) emit OnPromotion(from, to, move.Promoted);
    if (move.EnPassantPawn) emit OnCapture(from, to, move.EnPassantPawn);
    if (move.Castled()) emit OnCastle(from, to);
    if (move.Check) {
        emit OnCheck(from, to);
        if (move.Mate() && isSignalConnected(QMetaMethod::fromSignal(&TChessModel::OnMate))) {
            gameOver_ = true;
            emit OnMate(from, to);
        }
    } else if (move.StaleMate()) {
        emit OnStaleMate(from, to);
    }
    if (move.NoMatingMaterial) emit OnNoMatingMaterial();
    if (move.Threefold) emit OnThreefoldPosition();
    if (move.Draw() && isSignalConnected(QMetaMethod::fromSignal(&TChessModel::OnDraw))) {
        gameOver_ = true;
        emit OnDraw();
    }
    emit OnPaint();
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
    const int moveNumber = currentMove_;
    const bool white = whiteToMove_;
    std::uint64_t nodes = 0;
    for (int i = 0; i < count; ++i) {
        const int from = moves[i] >> 8, to = moves[i] & 0xff;
        const char piece = squares_[from];
        const bool promotes =
            (piece == 'P' && RankOfIndex(to) == 8) || (piece == 'p' && RankOfIndex(to) == 1);
        for (const char letter : {'q', 'r', 'b', 'n'}) {
            ApplyLegalMove(from, to, letter);
            nodes += PerftFrom(depth - 1);
            RestoreEntry(moveNumber, white);
            if (!promotes) break;
        }
    }
    return nodes;
}

std::uint64_t TChessModel::Perft(int depth) {
    if (depth < 0) return 0;
    StopThinking();
    const auto history = history_;
    const int lastMove = lastMove_;
    const bool lastWhite = lastWhite_;

    const std::uint64_t nodes = PerftFrom(depth);

    history_ = history;
    lastMove_ = lastMove;
    lastWhite_ = lastWhite;
    return nodes;
}
