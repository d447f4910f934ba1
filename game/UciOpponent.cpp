#include "UciOpponent.h"

#include "ChessModel.h"
#include "GameController.h"

#include <QTimer>

namespace {
const QString InitialFen =
    QStringLiteral("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
}

TUciOpponent::TUciOpponent(TGameController& game, const TEngineConfig& config, QObject* parent)
    : QObject(parent), game_(game), config_(config) {
    client_ = new TUciClient(this);
    for (const auto& [name, value] : config_.Options)
        client_->SetOption(name, value);
    if (config_.Strength && config_.Offered.Kind != TUciStrength::TKind::None)
        client_->SetStrength(config_.Offered.Kind, *config_.Strength);
    connect(client_, &TUciClient::BestMove, this, [this](const QByteArray& m) { Answer(m); });
    connect(client_, &TUciClient::Failed, this, [this](const QString& why) { Failure(why); });
    connect(&game_, &TGameController::OnMovePlayed, this,
            [this](Square from, Square to) { MovePlayed(from, to); });
}

TUciOpponent::~TUciOpponent() {
    client_->Quit();
}

int TUciOpponent::Elo() const {
    return config_.Strength && config_.Offered.Kind == TUciStrength::TKind::Elo
               ? qBound(config_.Offered.Min, *config_.Strength, config_.Offered.Max)
               : 0;
}

QString TUciOpponent::RecordNote() const {
    QString strength;
    if (config_.Strength && config_.Offered.Kind == TUciStrength::TKind::Elo)
        strength = QStringLiteral(": Elo ") + QString::number(Elo());
    else if (config_.Strength && config_.Offered.Kind == TUciStrength::TKind::Skill)
        strength =
            QStringLiteral(": nivel ") +
            QString::number(qBound(config_.Offered.Min, *config_.Strength, config_.Offered.Max));
    return QStringLiteral("{Motor ") + Name() + strength + u'}';
}

int TUciOpponent::Ply() const {
    const TChessModel& model = game_.Model();
    return (model.CurrentMove() - 1) * 2 + (model.WhiteToMove() ? 0 : 1);
}

void TUciOpponent::TakeSeat(bool white, bool newGame) {
    seated_ = true;
    white_ = white;
    asked_ = -1;
    if (!client_->Started()) client_->Start(config_.Path, config_.Arguments);
    if (newGame) {
        const QString fen = game_.Model().Fen();
        startFen_ = fen == InitialFen ? QByteArray() : fen.toLatin1();
        startPly_ = Ply();
        moves_.clear();
        promotions_.clear();
        failureReported_ = false;
        client_->NewGame();
    } else {
        // A take-back: the moves taken back go.
        const int played = qMax(0, Ply() - startPly_);
        if (moves_.size() > played) moves_.resize(played);
        promotions_.removeIf([played](int i) { return i >= played; });
    }
    if (failure_) {
        // It failed between games: this game learns it at once.
        QTimer::singleShot(0, this, [this] { Failure(*failure_); });
        return;
    }
    Sync();
}

void TUciOpponent::LeaveSeat() {
    seated_ = false;
    asked_ = -1;
    client_->Cancel();
}

void TUciOpponent::MovePlayed(Square from, Square to) {
    QByteArray move = (SquareToText(from) + SquareToText(to)).toLatin1();
    const char piece = game_.Model().LastMovedPiece();
    // The pawn's new piece is read once the move's events are over.
    if ((piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1))
        promotions_.append(int(moves_.size()));
    moves_.append(move);
    Sync();
}

void TUciOpponent::Sync() {
    if (syncQueued_) return;
    syncQueued_ = true;
    // From the event loop, once the move's own events are over.
    QTimer::singleShot(0, this, [this] {
        syncQueued_ = false;
        if (!seated_ || failure_) return;
        const TChessModel& model = game_.Model();
        for (const int i : std::as_const(promotions_)) {
            if (i >= moves_.size() || moves_.at(i).size() != 4) continue;
            const Square to = TextToSquare(QString::fromLatin1(moves_.at(i).mid(2, 2)));
            const char piece = char(QChar::fromLatin1(model.PieceAt(to)).toLower().toLatin1());
            if (QByteArray("qrbn").contains(piece)) moves_[i] += piece;
        }
        promotions_.clear();
        if (!game_.GameInProgress() || model.WhiteToMove() != white_) return;
        const int ply = Ply();
        if (asked_ == ply) return;
        if (moves_.size() != ply - startPly_) {
            // Moves this opponent did not see (a position set meanwhile):
            // the game goes on from the board as it is.
            startFen_ = model.Fen().toLatin1();
            startPly_ = ply;
            moves_.clear();
        }
        asked_ = ply;
        TUciGo go;
        go.wtime = qint64(game_.ClockW().Remaining()) * 1000;
        go.btime = qint64(game_.ClockB().Remaining()) * 1000;
        client_->Go(startFen_, moves_, go);
    });
}

void TUciOpponent::Answer(const QByteArray& move) {
    TChessModel& model = game_.Model();
    if (!seated_ || asked_ != Ply() || !game_.GameInProgress() || model.WhiteToMove() != white_)
        return;
    asked_ = -1;
    const std::optional<TMoveSquares> squares = ParseMoveText(QString::fromLatin1(move));
    const Square from = squares ? squares->From : Square::None;
    const Square to = squares ? squares->To : Square::None;
    // The engine's piece, whichever side the board thinks chose it; the
    // user's own letter is kept for the user's next promotion.
    const char usersLetter = model.PromotionLetter();
    if (move.size() == 5) {
        game_.SetPromotionPiece(QChar::fromLatin1(move.at(4)).toUpper());
        model.SetPromotionLetter(move.at(4));
    }
    const bool played = model.Move(from, to);
    model.SetPromotionLetter(usersLetter);
    if (!played)
        Failure(QString::fromUtf8("El tablero no admite la jugada %1 del motor %2")
                    .arg(QString::fromLatin1(move), Name()));
}

void TUciOpponent::Failure(const QString& reason) {
    failure_ = reason;
    if (!seated_ || failureReported_) return;
    failureReported_ = true;
    seated_ = false;
    QTimer::singleShot(0, this, [this, reason] {
        if (OnFailure) OnFailure(reason);
    });
}
