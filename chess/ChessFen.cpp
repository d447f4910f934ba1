// TChessModel's Forsyth-Edwards Notation: the whole state written out, and
// set from a text that is checked field by field before anything changes.
#include "ChessModel.h"

#include "BoardIndex.h"

#include <QStringList>

using namespace board_index;

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

namespace {

// Each reader takes one field of a FEN and returns why it is malformed, or
// an empty text.

QString ReadFenBoard(const QString& field, std::array<char, 66>& board) {
    board.fill(' ');
    board[65] = '\0';
    const QStringList ranks = field.split(u'/');
    if (ranks.size() != 8)
        return QStringLiteral("the board needs 8 ranks separated by '/', found %1")
            .arg(ranks.size());
    for (int i = 0; i < 8; ++i) {
        const int rank = 8 - i;
        int file = 1;
        for (const QChar qc : ranks[i]) {
            const char16_t c = qc.unicode();
            if (c >= u'1' && c <= u'8') {
                file += c - u'0';
            } else if (IsPieceLetter(c)) {
                if (file > 8) return QStringLiteral("rank %1 holds more than 8 squares").arg(rank);
                if ((c == u'P' || c == u'p') && (rank == 1 || rank == 8))
                    return QStringLiteral("a pawn stands on rank %1").arg(rank);
                board[IndexOf(file, rank)] = static_cast<char>(c);
                ++file;
            } else {
                return QStringLiteral("unexpected character '%1' on rank %2").arg(qc).arg(rank);
            }
            if (file > 9) break;
        }
        if (file != 9) return QStringLiteral("rank %1 does not hold exactly 8 squares").arg(rank);
    }
    return {};
}

QString ReadFenCastling(const QString& field, CastleSet& castling) {
    castling = 0;
    if (field == QLatin1String("-")) return {};
    for (const QChar qc : field) {
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
            return QStringLiteral("castling rights '%1' are not a set of K, Q, k, q or '-'")
                .arg(field);
        castling |= bit;
    }
    return {};
}

QString ReadFenEnPassant(const QString& field, bool white, Square& ep) {
    ep = Square::None;
    if (field == QLatin1String("-")) return {};
    ep = TextToSquare(field);
    if (ep == Square::None || field.at(0).isUpper())
        return QStringLiteral("en passant square '%1' is not a square or '-'").arg(field);
    if (RankOf(ep) != (white ? 6 : 3))
        return QStringLiteral("en passant square %1 is on the wrong rank for the side to move")
            .arg(field);
    return {};
}

} // namespace

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
    if (const QString why = ReadFenBoard(fields[0], board); !why.isEmpty()) return fail(why);
    if (fields[1] != QLatin1String("w") && fields[1] != QLatin1String("b"))
        return fail(QStringLiteral("side to move must be 'w' or 'b', not '%1'").arg(fields[1]));
    const bool white = fields[1] == QLatin1String("w");
    CastleSet castling = 0;
    if (const QString why = ReadFenCastling(fields[2], castling); !why.isEmpty()) return fail(why);
    Square ep = Square::None;
    if (const QString why = ReadFenEnPassant(fields[3], white, ep); !why.isEmpty())
        return fail(why);
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
