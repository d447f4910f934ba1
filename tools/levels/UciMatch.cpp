// Games between UCI engine processes.
#include "UciMatch.h"

#include "ChessModel.h"
#include "UciText.h"

#include <QThread>

#include <cmath>

TUciPipe::TUciPipe(QString program, QList<QPair<QByteArray, QByteArray>> options)
    : program_(std::move(program)), options_(std::move(options)) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

TUciPipe::~TUciPipe() {
    Stop();
}

void TUciPipe::Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    Send("quit");
    if (!process_.waitForFinished(2000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

bool TUciPipe::Ready(QString* error) {
    if (process_.state() != QProcess::Running) {
        process_.start(program_, {});
        if (!process_.waitForStarted(5000)) {
            *error = program_ + ": " + process_.errorString();
            return false;
        }
        QByteArray line;
        Send("uci");
        if (!ReadUntil("uciok", 10000, &line)) {
            *error = program_ + ": no uciok";
            return false;
        }
        for (const auto& [name, value] : options_)
            Send(FormatUciSetOption(name, value));
    }
    Send("ucinewgame");
    Send("isready");
    QByteArray line;
    if (!ReadUntil("readyok", 10000, &line)) {
        *error = program_ + ": no readyok";
        return false;
    }
    return true;
}

void TUciPipe::Send(const QByteArray& line) {
    if (process_.state() != QProcess::Running) return;
    process_.write(line + '\n');
    process_.waitForBytesWritten(1000);
}

bool TUciPipe::ReadUntil(const char* word, int timeoutMs, QByteArray* line) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        while (process_.canReadLine()) {
            *line = process_.readLine().trimmed();
            if (line->startsWith(word)) return true;
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || process_.state() != QProcess::Running) return false;
        process_.waitForReadyRead(int(left));
    }
}

QByteArray TUciPipe::BestMove(int timeoutMs) {
    QByteArray line;
    if (!ReadUntil("bestmove", timeoutMs, &line)) {
        // A late engine is not trusted again: the next game starts it anew.
        process_.kill();
        process_.waitForFinished(2000);
        return {};
    }
    const TUciReply reply = ParseUciReply(line);
    return reply.kind == TUciReplyKind::BestMove ? reply.bestMove : QByteArray();
}

namespace {

Square SquareOf(QByteArrayView s) {
    return ToSquare((s[0] - 'a') + 8 * ('8' - s[1]) + 1);
}

// Plays a move text on the model's rules; false when it is not legal there.
bool PlayText(TChessModel& model, const QByteArray& move, bool* irreversible, bool* noMaterial) {
    if (!IsUciMoveText(move) || move == "0000") return false;
    const Square from = SquareOf(QByteArrayView(move).first(2));
    const Square to = SquareOf(QByteArrayView(move).sliced(2, 2));
    if (!model.IsLegalMove(from, to)) return false;
    const char piece = model.PieceAt(from);
    const bool pawn = piece == 'P' || piece == 'p';
    const bool promotes = pawn && (RankOf(to) == 1 || RankOf(to) == 8);
    if (promotes != (move.size() == 5)) return false;
    *irreversible = pawn || model.PieceAt(to) != ' ';
    const std::optional<TMoveOutcome> played =
        model.ApplyMove(from, to, promotes ? move[4] : model.PromotionLetter());
    if (played && played->NoMatingMaterial) *noMaterial = true;
    return played.has_value();
}

} // namespace

TGameResult PlayUciGame(TUciPipe& white, const TSideLimits& whiteLimits, TUciPipe& black,
                        const TSideLimits& blackLimits, const QList<QByteArray>& opening) {
    TGameResult result;
    TChessModel model;
    bool noMaterial = false;
    QList<QByteArray> moves;
    int quiet = 0;
    for (const QByteArray& m : opening) {
        bool irreversible = false;
        if (!PlayText(model, m, &irreversible, &noMaterial)) {
            result.reason = "bad opening move " + QString::fromLatin1(m);
            return result;
        }
        moves << m;
    }
    qint64 clock[2] = {whiteLimits.clockMs, blackLimits.clockMs};
    auto finish = [&](TGameEnd end, const QString& why) {
        result.end = end;
        result.reason = why;
        result.plies = int(moves.size());
        return result;
    };
    for (;;) {
        const bool whiteMoves = model.WhiteToMove();
        if (!model.HasLegalMove()) {
            if (model.IsThreefoldRepetition()) return finish(TGameEnd::Draw, "repetition");
            if (model.KingAttackedAfter(whiteMoves ? 1 : 0, Square::A8, Square::A8))
                return finish(whiteMoves ? TGameEnd::BlackWins : TGameEnd::WhiteWins, "mate");
            return finish(TGameEnd::Draw, "stalemate");
        }
        if (noMaterial) return finish(TGameEnd::Draw, "material");
        if (quiet >= 100) return finish(TGameEnd::Draw, "fifty moves");
        if (moves.size() >= MaxPlies) return finish(TGameEnd::Draw, "length");

        TUciPipe& engine = whiteMoves ? white : black;
        const TSideLimits& limits = whiteMoves ? whiteLimits : blackLimits;
        const TGameEnd loss = whiteMoves ? TGameEnd::BlackWins : TGameEnd::WhiteWins;
        engine.Send(FormatUciPosition({}, moves));
        QByteArray go = limits.go;
        int timeout = 600000;
        if (limits.clockMs > 0) {
            TUciGo g;
            g.wtime = clock[0];
            g.btime = clock[1];
            g.winc = whiteLimits.incrementMs;
            g.binc = blackLimits.incrementMs;
            go = FormatUciGo(g);
            timeout = int(clock[whiteMoves ? 0 : 1]) + 2000;
        }
        QElapsedTimer timer;
        timer.start();
        engine.Send(go);
        const QByteArray move = engine.BestMove(timeout);
        const qint64 used = timer.elapsed();
        if (limits.clockMs > 0) {
            qint64& left = clock[whiteMoves ? 0 : 1];
            left -= used;
            if (left < 0) {
                result.timeLoss = true;
                return finish(loss, "time");
            }
            qint64& least = result.leastClockMs[whiteMoves ? 0 : 1];
            if (least < 0 || left < least) least = left;
            left += limits.incrementMs;
        }
        bool irreversible = false;
        if (move.isEmpty()) return finish(loss, "no move");
        if (!PlayText(model, move, &irreversible, &noMaterial))
            return finish(loss, "illegal move " + QString::fromLatin1(move));
        moves << move;
        quiet = irreversible ? 0 : quiet + 1;
    }
}

TRatingFit FitRating(const QList<QPair<double, double>>& games) {
    TRatingFit fit;
    if (games.isEmpty()) return fit;
    auto expected = [](double r, double opponent) {
        return 1.0 / (1.0 + std::pow(10.0, (opponent - r) / 400.0));
    };
    double lo = 1e9, hi = -1e9, total = 0;
    for (const auto& [opponent, score] : games) {
        lo = std::min(lo, opponent - 1200);
        hi = std::max(hi, opponent + 1200);
        total += score;
    }
    // Every game won or lost: the rating sits beyond any opponent; the fit
    // stays at the edge of what the games can tell (half a point given).
    const double n = double(games.size());
    const double target = std::clamp(total, 0.5, n - 0.5);
    for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2;
        double sum = 0;
        for (const auto& g : games)
            sum += expected(mid, g.first);
        (sum < target ? lo : hi) = mid;
    }
    fit.rating = (lo + hi) / 2;
    double information = 0;
    const double k = std::log(10.0) / 400.0;
    for (const auto& g : games) {
        const double e = expected(fit.rating, g.first);
        information += k * k * e * (1 - e);
    }
    fit.error = information > 0 ? 1.0 / std::sqrt(information) : 0;
    return fit;
}
