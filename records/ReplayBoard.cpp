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

bool TReplayBoard::PlaySan(const QString& text, QString* replayMove, QString* san, QString* error) {
    auto fail = [&](const char* why) {
        if (error) *error = Quote(text) + QString::fromUtf8(why);
        return false;
    };
    QString t = text.trimmed();
    while (!t.isEmpty() && QStringLiteral("+#!?").contains(t.back()))
        t.chop(1);
    if (t.endsWith(QLatin1String("e.p."))) t.chop(4);
    if (t.isEmpty()) return fail(" no es una jugada");

    KeepHistoryShort();
    const bool white = model_->WhiteToMove();
    Square from = Square::None, to = Square::None;
    QChar promotion;
    QString castle = t;
    castle.replace(u'0', u'O').replace(u'o', u'O');
    if (castle == QLatin1String("O-O") || castle == QLatin1String("O-O-O")) {
        from = white ? Square::E1 : Square::E8;
        const int file = castle.size() == 3 ? 7 : 3;
        to = SquareOf(file, white ? 1 : 8);
        if (model_->PieceAt(from) != (white ? 'K' : 'k'))
            return fail(" no es legal en esta posición");
    } else {
        const qsizetype eq = t.indexOf(u'=');
        if (eq >= 0) {
            if (eq + 2 != t.size()) return fail(" no es una jugada");
            promotion = t[eq + 1];
            t.truncate(eq);
        } else if (t.size() >= 3 && IsPromotionLetter(t.back()) &&
                   (t[t.size() - 2] == u'8' || t[t.size() - 2] == u'1')) {
            promotion = t.back();
            t.chop(1);
        }
        if (!promotion.isNull() && !IsPromotionLetter(promotion)) return fail(" no es una jugada");
        char kind = 'P';
        if (!t.isEmpty() && QStringLiteral("KQRBNP").contains(t[0])) {
            kind = t[0].toLatin1();
            t.remove(0, 1);
        }
        t.remove(u'x').remove(u':').remove(u'-');
        if (t.size() < 2 || t.size() > 4) return fail(" no es una jugada");
        const QString target = t.right(2);
        if (target[0] < u'a' || target[0] > u'h' || target[1] < u'1' || target[1] > u'8')
            return fail(" no es una jugada");
        to = TextToSquare(target);
        int fromFile = 0, fromRank = 0;
        const QString hints = t.left(t.size() - 2);
        for (qsizetype i = 0; i < hints.size(); ++i) {
            const QChar c = hints[i];
            if (c >= u'a' && c <= u'h' && fromFile == 0 && fromRank == 0)
                fromFile = c.unicode() - u'a' + 1;
            else if (c >= u'1' && c <= u'8' && fromRank == 0)
                fromRank = c.unicode() - u'0';
            else
                return fail(" no es una jugada");
        }
        // A pawn named without its file moves straight ahead.
        if (kind == 'P' && fromFile == 0) fromFile = FileOf(to);
        const char letter = white ? kind : Lower(kind);
        int found = 0;
        for (int s = 1; s <= 64; ++s) {
            const Square sq = ToSquare(s);
            if (model_->PieceAt(sq) != letter) continue;
            if ((fromFile && FileOf(sq) != fromFile) || (fromRank && RankOf(sq) != fromRank))
                continue;
            if (!model_->IsLegalMove(sq, to)) continue;
            from = sq;
            ++found;
        }
        if (found == 0) return fail(" no es legal en esta posición");
        if (found > 1) return fail(" es ambigua en esta posición");
        const bool promotes = kind == 'P' && (RankOf(to) == 8 || RankOf(to) == 1);
        if (!promotion.isNull() && !promotes) return fail(" no es una jugada");
    }

    QString played;
    char promotedTo = 0;
    if (!Play(from, to, promotion, &played, &promotedTo))
        return fail(" no es legal en esta posición");
    if (replayMove) {
        *replayMove = (SquareToText(from) + SquareToText(to)).toUpper();
        if (promotedTo) *replayMove += QLatin1Char(promotedTo);
    }
    if (san) *san = played;
    return true;
}
