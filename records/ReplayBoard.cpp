#include "ReplayBoard.h"

#include "ChessModel.h"
#include "RecordText.h"

#include <cstdlib>

namespace {

// Moves between two restarts of the board's history: the repetition test
// walks the history, so a short one keeps every move's cost the same.
constexpr int HistoryLength = 32;

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
QChar FileChar(Square s) {
    return QChar(u'a' + FileOf(s) - 1);
}
QChar RankChar(Square s) {
    return QChar(u'0' + RankOf(s));
}
bool IsPromotionLetter(QChar c) {
    return QStringLiteral("QRBNqrbn").contains(c);
}

QString Quote(const QString& text) {
    return QStringLiteral("«%1»").arg(text);
}

} // namespace

TReplayBoard::TReplayBoard() : model_(std::make_unique<TChessModel>()) {}

TReplayBoard::~TReplayBoard() = default;

bool TReplayBoard::Reset(const QString& fen, QString* error) {
    sinceReset_ = 0;
    if (fen.trimmed().isEmpty()) {
        model_->ResetPosition();
        return true;
    }
    // A control character would be written back as a blank, splitting a field.
    if (HasControlCharacter(fen)) {
        if (error)
            *error = QStringLiteral("posición inicial no válida: contiene caracteres de control");
        return false;
    }
    QString why;
    if (model_->SetFen(fen, &why)) return true;
    if (error) *error = QStringLiteral("posición inicial %1 no válida: %2").arg(Quote(fen), why);
    return false;
}

bool TReplayBoard::WhiteToMove() const {
    return model_->WhiteToMove();
}

int TReplayBoard::CurrentMove() const {
    return model_->CurrentMove();
}

QString TReplayBoard::Fen() const {
    return model_->Fen();
}

void TReplayBoard::KeepHistoryShort() {
    // A fresh history holds only the current position: nothing earlier can
    // repeat, and the repetition test has little to walk.
    if (++sinceReset_ >= HistoryLength || model_->IsThreefoldRepetition()) {
        model_->SetFen(model_->Fen());
        sinceReset_ = 0;
    }
}

QString TReplayBoard::SanBefore(Square from, Square to, char promotion) const {
    const char piece = model_->PieceAt(from);
    const char kind = Upper(piece);
    const int fileStep = FileOf(to) - FileOf(from);
    if (kind == 'K' && std::abs(fileStep) == 2)
        return QLatin1String(fileStep > 0 ? "O-O" : "O-O-O");
    const bool capture = model_->PieceAt(to) != ' ' || (kind == 'P' && fileStep != 0);
    QString san;
    if (kind == 'P') {
        if (capture) san += FileChar(from) + QStringLiteral("x");
        san += SquareToText(to);
        if (promotion) san += u'=' + QChar(QLatin1Char(Upper(promotion)));
        return san;
    }
    san += QLatin1Char(kind);
    bool rival = false, sameFile = false, sameRank = false;
    for (int s = 1; s <= 64; ++s) {
        const Square other = ToSquare(s);
        if (other == from || model_->PieceAt(other) != piece || !model_->IsLegalMove(other, to))
            continue;
        rival = true;
        sameFile = sameFile || FileOf(other) == FileOf(from);
        sameRank = sameRank || RankOf(other) == RankOf(from);
    }
    if (rival) {
        if (!sameFile)
            san += FileChar(from);
        else if (!sameRank)
            san += RankChar(from);
        else
            san += SquareToText(from);
    }
    if (capture) san += u'x';
    san += SquareToText(to);
    return san;
}

bool TReplayBoard::Play(Square from, Square to, QChar promotion, QString* san, char* promotedTo) {
    if (!model_->IsLegalMove(from, to)) return false;
    const char piece = model_->PieceAt(from);
    char letter = 0;
    if ((piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1))
        letter = IsPromotionLetter(promotion) ? Lower(promotion.toLatin1()) : 'q';
    QString text = SanBefore(from, to, letter);
    const std::optional<TMoveOutcome> played = model_->ApplyMove(from, to, letter);
    if (!played) return false;
    if (played->Mate())
        text += u'#';
    else if (played->Check)
        text += u'+';
    if (san) *san = text;
    if (promotedTo) *promotedTo = Upper(letter);
    return true;
}

bool TReplayBoard::PlayReplayMove(const QString& move, QString* san, QString* error) {
    const std::optional<TMoveSquares> squares = ParseMoveText(move);
    const Square from = squares ? squares->From : Square::None;
    const Square to = squares ? squares->To : Square::None;
    const QChar promotion = squares ? squares->Promotion : QChar();
    bool ok = squares.has_value();
    if (ok && !promotion.isNull() && !IsPromotionLetter(promotion) && promotion != u'*') ok = false;
    if (!ok) {
        if (error) *error = QStringLiteral("%1 no es una jugada").arg(Quote(move));
        return false;
    }
    KeepHistoryShort();
    if (!Play(from, to, promotion, san, nullptr)) {
        if (error) *error = QStringLiteral("%1 no es legal en esta posición").arg(Quote(move));
        return false;
    }
    return true;
}

namespace {

constexpr const char* NotAMove = " no es una jugada";
constexpr const char* NotLegal = " no es legal en esta posición";

// What a move in algebraic notation names: the kind of piece, the file and
// rank it leaves when given, the square it reaches and the promotion.
struct TSanMove {
    char kind = 'P';
    int fromFile = 0, fromRank = 0;
    Square to = Square::None;
    QChar promotion;
};

// The move's text without check and annotation marks or "e.p.".
QString SanWithoutMarks(const QString& text) {
    QString t = text.trimmed();
    while (!t.isEmpty() && QStringLiteral("+#!?").contains(t.back()))
        t.chop(1);
    if (t.endsWith(QLatin1String("e.p."))) t.chop(4);
    return t;
}

// "O-O" or "O-O-O", written with letters O or o or digits 0: the king's two squares.
bool ReadCastling(QString t, bool white, Square& from, Square& to) {
    t.replace(u'0', u'O').replace(u'o', u'O');
    if (t != QLatin1String("O-O") && t != QLatin1String("O-O-O")) return false;
    from = white ? Square::E1 : Square::E8;
    to = SquareOf(t.size() == 3 ? 7 : 3, white ? 1 : 8);
    return true;
}

// Reads "Nbd7", "exd8=Q", "e8Q", "R1a3"…; null, or why it is no move.
const char* ReadPieceMove(QString t, TSanMove& m) {
    const qsizetype eq = t.indexOf(u'=');
    if (eq >= 0) {
        if (eq + 2 != t.size()) return NotAMove;
        m.promotion = t[eq + 1];
        t.truncate(eq);
    } else if (t.size() >= 3 && IsPromotionLetter(t.back()) &&
               (t[t.size() - 2] == u'8' || t[t.size() - 2] == u'1')) {
        m.promotion = t.back();
        t.chop(1);
    }
    if (!m.promotion.isNull() && !IsPromotionLetter(m.promotion)) return NotAMove;
    if (!t.isEmpty() && QStringLiteral("KQRBNP").contains(t[0])) {
        m.kind = t[0].toLatin1();
        t.remove(0, 1);
    }
    t.remove(u'x').remove(u':').remove(u'-');
    if (t.size() < 2 || t.size() > 4) return NotAMove;
    const QString target = t.right(2);
    if (target[0] < u'a' || target[0] > u'h' || target[1] < u'1' || target[1] > u'8')
        return NotAMove;
    m.to = TextToSquare(target);
    const QString hints = t.left(t.size() - 2);
    for (const QChar c : hints) {
        if (c >= u'a' && c <= u'h' && m.fromFile == 0 && m.fromRank == 0)
            m.fromFile = c.unicode() - u'a' + 1;
        else if (c >= u'1' && c <= u'8' && m.fromRank == 0)
            m.fromRank = c.unicode() - u'0';
        else
            return NotAMove;
    }
    // A pawn named without its file moves straight ahead.
    if (m.kind == 'P' && m.fromFile == 0) m.fromFile = FileOf(m.to);
    return nullptr;
}

// The square of the one piece of the side to move that can play m; null, or
// why there is none or more than one.
const char* FindMover(const TChessModel& model, const TSanMove& m, Square& from) {
    const char letter = model.WhiteToMove() ? m.kind : Lower(m.kind);
    int found = 0;
    for (int s = 1; s <= 64; ++s) {
        const Square sq = ToSquare(s);
        if (model.PieceAt(sq) != letter) continue;
        if ((m.fromFile && FileOf(sq) != m.fromFile) || (m.fromRank && RankOf(sq) != m.fromRank))
            continue;
        if (!model.IsLegalMove(sq, m.to)) continue;
        from = sq;
        ++found;
    }
    if (found == 0) return NotLegal;
    if (found > 1) return " es ambigua en esta posición";
    const bool promotes = m.kind == 'P' && (RankOf(m.to) == 8 || RankOf(m.to) == 1);
    if (!m.promotion.isNull() && !promotes) return NotAMove;
    return nullptr;
}

} // namespace

bool TReplayBoard::PlaySan(const QString& text, QString* replayMove, QString* san, QString* error) {
    auto fail = [&](const char* why) {
        if (error) *error = Quote(text) + QString::fromUtf8(why);
        return false;
    };
    const QString t = SanWithoutMarks(text);
    if (t.isEmpty()) return fail(NotAMove);

    KeepHistoryShort();
    const bool white = model_->WhiteToMove();
    Square from = Square::None, to = Square::None;
    QChar promotion;
    if (ReadCastling(t, white, from, to)) {
        if (model_->PieceAt(from) != (white ? 'K' : 'k')) return fail(NotLegal);
    } else {
        TSanMove m;
        if (const char* why = ReadPieceMove(t, m)) return fail(why);
        if (const char* why = FindMover(*model_, m, from)) return fail(why);
        to = m.to;
        promotion = m.promotion;
    }

    QString played;
    char promotedTo = 0;
    if (!Play(from, to, promotion, &played, &promotedTo)) return fail(NotLegal);
    if (replayMove) {
        *replayMove = (SquareToText(from) + SquareToText(to)).toUpper();
        if (promotedTo) *replayMove += QLatin1Char(promotedTo);
    }
    if (san) *san = played;
    return true;
}
