#include "ChessModel.h"

#include "BoardIndex.h"

#include <QMetaMethod>
#include <QStringList>

#include <cstring>
#include <utility>

using namespace board_index;


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
