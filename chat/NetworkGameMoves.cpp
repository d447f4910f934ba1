// A game with a peer over the chat: the opponent's moves, and observing the host's games.
#include "NetworkGame.h"

#include "ChatCodec.h"
#include "ChatSession.h"
#include "ChessModel.h"
#include "ProgramEnv.h"

#include <algorithm>
#include <optional>

namespace {

bool IsPositionText(const QString& position) {
    static const QString letters = QStringLiteral(" PNBRQKpnbrqk");
    return position.size() == 64 && std::all_of(position.begin(), position.end(),
                                                [](QChar c) { return letters.contains(c); });
}

bool IsResultText(const QString& result) {
    return result == u"1-0" || result == u"0-1" || result == u"1/2-1/2" || result == u"*";
}

} // namespace

// ---------------------------------------------------------------- moves

bool TNetworkGame::ReadMove(const TIncomingMessage& m, TMovimiento& move) const {
    TFieldReader fields(m.Data);
    const std::optional<int> number = NumberWithin(fields.Next(), 1, MostMoveNumber);
    const std::optional<int> side = NumberField(fields.Next());
    move.Move = fields.Next();
    const QString promotion = fields.Next();
    const std::optional<int> seconds = NumberWithin(fields.Next(), 0, MostSeconds);
    if (!number || !side || !seconds) {
        chat_.NoteMalformed(m);
        return false;
    }
    move.MoveNumber = *number;
    move.WhiteMoved = *side == 0;
    move.Promotion = promotion.isEmpty() ? QChar(u'*') : promotion.at(0);
    move.Seconds = *seconds;
    return true;
}

bool TNetworkGame::PlayableHere(const TMovimiento& move) const {
    const std::optional<TMoveSquares> squares = ParseMoveText(move.Move);
    const TChessModel& model = game_.Model();
    return squares && move.Move.size() == 4 && move.WhiteMoved == model.WhiteToMove() &&
           model.IsLegalMove(squares->From, squares->To);
}

void TNetworkGame::RefuseMove(const TIncomingMessage& m) {
    chat_.Log().Add("* Jugada descartada: " + TChatSession::Quoted(m));
}

void TNetworkGame::OnMov(const TIncomingMessage& m) {
    TMovimiento move;
    if (!ReadMove(m, move)) return;
    if (!FromOpponentInGame(m) || move.Move.size() != 4) {
        RefuseMove(m);
        return;
    }
    if (!ParseMoveText(move.Move)) {
        chat_.LogPlainLine("*Error 53: " + move.Move.toUpper() + "*");
        return;
    }
    if (!game_.ReceiveMove(move)) RefuseMove(m);
}

void TNetworkGame::ObserverOutOfStep(const TIncomingMessage& m) {
    if (outOfStepLogged_) return;
    outOfStepLogged_ = true;
    RefuseMove(m);
}

bool TNetworkGame::PlayObservedMove(const TMovimiento& move) {
    if (!NetworkGameInProgress() || !PlayableHere(move)) return false;
    ++expectedMove_;
    outOfStepLogged_ = false;
    game_.ApplyRemoteMove(move.Move + move.Promotion);
    return true;
}

void TNetworkGame::PlayPendingMoves() {
    while (!pendingMoves_.empty()) {
        // From the last entry to the first, the first one that is due.
        auto due = pendingMoves_.end();
        TMovimiento move;
        for (auto it = pendingMoves_.rbegin(); it != pendingMoves_.rend(); ++it) {
            TMovimiento candidate;
            if (TMovimiento::FromText(*it, candidate) && candidate.MoveNumber == expectedMove_) {
                move = candidate;
                due = std::prev(it.base());
                break;
            }
        }
        if (due == pendingMoves_.end()) return;
        pendingMoves_.erase(due);
        if (!PlayObservedMove(move)) {
            outOfStepLogged_ = true;
            chat_.Log().Add("* Jugada descartada: [/MOB " + move.ToText() + "]");
            return;
        }
    }
}

void TNetworkGame::OnMob(const TIncomingMessage& m) {
    // Only an observer follows the host's moves; everyone else lets them go.
    if (game_.Role() != TRole::Observer) return;
    TMovimiento move;
    if (!ReadMove(m, move)) return;
    const int n = move.MoveNumber;
    if (!NetworkGameInProgress() || n < expectedMove_ || n > expectedMove_ + MostPendingMoves) {
        ObserverOutOfStep(m);
        return;
    }
    if (n == expectedMove_) {
        if (!PlayObservedMove(move)) {
            ObserverOutOfStep(m);
            return;
        }
    } else {
        if (int(pendingMoves_.size()) >= MostPendingMoves) {
            ObserverOutOfStep(m);
            return;
        }
        pendingMoves_.insert(move.ToText());
    }
    PlayPendingMoves();
}

// ---------------------------------------------------------------- observing

void TNetworkGame::bObservarClick() {
    const QByteArray ask = FrameMessage("/MIRAR", {game_.Nick()});
    const TRole role = game_.Role();
    if (role == TRole::Observer) {
        chat_.SendToHost(ask);
        return;
    }
    if (role != TRole::Client) return;
    // A player in its own game stays a player; the host tells it why it
    // cannot watch.
    if (NetworkGameInProgress()) {
        chat_.SendToHost(ask);
        return;
    }
    TUiDialogs* dialogs = game_.Env().Dialogs();
    if (!dialogs || dialogs->IsOpen(observeQuestion_)) return;
    // Withdrawn when the connection goes or a game of this side begins.
    observeQuestion_ =
        dialogs->Ask(TQuestion::Observe, this, QString::fromUtf8("¿Observar una partida?"),
                     [this, ask](bool yes) {
                         observeQuestion_ = 0;
                         if (!yes || game_.Role() != TRole::Client) return;
                         game_.SetRole(TRole::Observer);
                         chat_.SendToHost(ask);
                     });
}

void TNetworkGame::OnMirar(const TIncomingMessage& m) {
    if (!NamesSender(m, TFieldReader(m.Data).Next())) return;
    if (!NetworkGameInProgress()) {
        // The asker sees the host's board now and each of its games from the start.
        chat_.SendTo(m.Socket,
                     FrameMessage("/TXT", {"* " + game_.Nick() +
                                           QString::fromUtf8(" no está jugando ninguna partida "
                                                             "en red; verás la próxima desde "
                                                             "su comienzo *")}));
    } else if (m.Socket == chat_.OpponentSocket) {
        chat_.SendTo(m.Socket,
                     FrameMessage("/TXT", {QStringLiteral("Ya estas jugando, no hace falta que le "
                                                          "des a mirar")}));
        return;
    }
    chat_.SendTo(m.Socket, GamePosition());
}

void TNetworkGame::OnGamePos(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    TObservedGame game;
    game.White.Nick = fields.Next();
    const std::optional<int> whiteElo = NumberWithin(fields.Next(), MinElo, MaxElo);
    game.Black.Nick = fields.Next();
    const std::optional<int> blackElo = NumberWithin(fields.Next(), MinElo, MaxElo);
    const std::optional<int> whiteSeconds = NumberWithin(fields.Next(), 0, MostSeconds);
    const std::optional<int> blackSeconds = NumberWithin(fields.Next(), 0, MostSeconds);
    // Before the host's first game its move serial is 0.
    const std::optional<int> serial = NumberWithin(fields.Next(), 0, MostMoveNumber);
    const std::optional<int> blackToMove = NumberField(fields.Next());
    game.Position = fields.Rest();
    if (!whiteElo || !blackElo || !whiteSeconds || !blackSeconds || !serial || !blackToMove ||
        !IsPositionText(game.Position)) {
        chat_.NoteMalformed(m);
        return;
    }
    game.White.Elo = *whiteElo;
    game.Black.Elo = *blackElo;
    game.WhiteSeconds = *whiteSeconds;
    game.BlackSeconds = *blackSeconds;
    game.BlackToMove = *blackToMove != 0;
    game.MoveSerial = *serial;
    TakeOverObservedGame(game);
}

void TNetworkGame::TakeOverObservedGame(const TObservedGame& game) {
    expectedMove_ = game.MoveSerial;
    pendingMoves_.clear();
    outOfStepLogged_ = false;
    if (game_.GameInProgress()) game_.EndGame(TEndReason::Abandoned);
    game_.ObserveGame(game);
}

void TNetworkGame::StartRelayedGame(bool white, const TPlayer& opponent, int minutes) {
    StartAgreedGame(-1);
    game_.SetUpNetworkGame(white, opponent, minutes);
}

void TNetworkGame::OnEndGame(const TIncomingMessage& m) {
    if (!NetworkGameInProgress()) return;
    TFieldReader fields(m.Data);
    const QString panel = fields.Next();
    const QString result = fields.Next();
    pendingMoves_.clear();
    game_.EndObservedGame(panel, IsResultText(result) ? result : QStringLiteral("*"));
}

void TNetworkGame::GameStarted() {
    drawOffered_ = false;
    Withdraw(drawQuestion_);
    if (game_.GameMode() == TGameMode::Network && game_.MyColour() != TColour::None) {
        Withdraw(observeQuestion_);
        // An offer of anyone but the new opponent is declined, as those
        // that come during the game will be.
        const TUiDialogs* dialogs = game_.Env().Dialogs();
        if (dialogs && dialogs->IsOpen(offerQuestion_) && game_.Role() == TRole::Server &&
            offer_.Socket != chat_.OpponentSocket) {
            Withdraw(offerQuestion_);
            DeclineUnasked(offer_, chat_.NickOfSocket(offer_.Socket),
                           "ya se está jugando otra partida");
        }
    }
    // The host's observers follow each of its games from its first move.
    if (game_.Role() == TRole::Server && game_.GameMode() == TGameMode::Network)
        chat_.SendToObservers(GamePosition());
}

void TNetworkGame::GameEnded() {
    Withdraw(drawQuestion_);
}
