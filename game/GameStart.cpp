// Starting games: choosing the players of each kind of game, then the
// start every game shares.

#include "GameController.h"

#include "ChessModel.h"
#include "PositionCheck.h"
#include "RecordText.h"
#include "UiDialogs.h"

namespace {
const QString OutdatedWarning = QString::fromUtf8(
    "¡¡ ATENCION !! \n\rEsta versión de ZugaretChat es demasiado antigua\n\r"
    "Le recomiendo que se actualize a la última versión\n\r"
    "para evitar problemas de incompatibilidad al jugar con\n\rotros jugadores.\n\r");
} // namespace

QString TObservedGame::Fen() const {
    if (Position.size() != 64) return QString();
    static const QString initial = QString::fromLatin1(TChessModel::InitialPosition);
    if (!BlackToMove && Position == initial) return QString();
    QString fen;
    for (int rank = 0; rank < 8; ++rank) {
        int empty = 0;
        for (const QChar c : Position.mid(rank * 8, 8)) {
            if (c == u' ') {
                ++empty;
                continue;
            }
            if (empty) fen += QString::number(empty);
            empty = 0;
            fen += c;
        }
        if (empty) fen += QString::number(empty);
        if (rank < 7) fen += u'/';
    }
    auto at = [this](int index, char piece) { return Position.at(index) == QLatin1Char(piece); };
    QString castling;
    if (at(60, 'K') && at(63, 'R')) castling += u'K';
    if (at(60, 'K') && at(56, 'R')) castling += u'Q';
    if (at(4, 'k') && at(7, 'r')) castling += u'k';
    if (at(4, 'k') && at(0, 'r')) castling += u'q';
    const int halfMovesPlayed = qMax(0, MoveSerial - 1);
    return fen + (BlackToMove ? QStringLiteral(" b ") : QStringLiteral(" w ")) +
           (castling.isEmpty() ? QStringLiteral("-") : castling) + QStringLiteral(" - 0 ") +
           QString::number(halfMovesPlayed / 2 + 1);
}

// ---------------------------------------------------------------- choosing the players

void TGameController::StartLocalGame(TGameMode mode, bool userPlaysWhite, int minutes) {
    StartLocalGameWith(builtIn_, mode, userPlaysWhite, minutes);
}

void TGameController::StartEngineGame(std::shared_ptr<TEngineOpponent> engine, bool userPlaysWhite,
                                      int minutes) {
    StartLocalGameWith(engine ? std::move(engine) : builtIn_, TGameMode::VsComputer, userPlaysWhite,
                       minutes);
}

void TGameController::StartLocalGameWith(std::shared_ptr<TEngineOpponent> engine, TGameMode mode,
                                         bool userPlaysWhite, int minutes) {
    const bool computer = mode == TGameMode::VsComputer;
    if (computer && engine != opponent_) {
        // The last engine leaves with its game.
        if (turn_ != TTurn::None) EndGame(TEndReason::Abandoned);
        opponent_->LeaveSeat();
        opponent_->OnFailure = nullptr;
        opponent_ = engine;
        opponent_->OnFailure = [this](const QString& reason) { EngineFailed(reason); };
    }
    const TSeat own{{nick_, elo_}, std::make_shared<TUserPlayer>(true)};
    const TSeat other = computer ? TSeat{{opponent_->Name(), opponent_->Elo()}, opponent_}
                                 : TSeat{{nick_ + QStringLiteral(" 2"), elo_},
                                         std::make_shared<TUserPlayer>(false)};
    ChoosePlayers(computer ? TMatchKind::Engine : TMatchKind::OneBoard,
                  userPlaysWhite ? TColour::White : TColour::Black, userPlaysWhite ? own : other,
                  userPlaysWhite ? other : own);
    clockW_.SetTime(minutes, 0);
    clockB_.SetTime(minutes, 0);
    BeginGame();
}

void TGameController::SetUpNetworkGame(bool userPlaysWhite, const TPlayer& opponent, int minutes) {
    const TSeat own{{nick_, elo_}, std::make_shared<TUserPlayer>(true)};
    // The host tells its observers how each of its games ends.
    const TSeat other{opponent, std::make_shared<TNetworkPlayer>(network_, role_ == TRole::Server)};
    ChoosePlayers(TMatchKind::Network, userPlaysWhite ? TColour::White : TColour::Black,
                  userPlaysWhite ? own : other, userPlaysWhite ? other : own);
    clockW_.SetTime(minutes, 0);
    clockB_.SetTime(minutes, 0);
    BeginGame();
}

void TGameController::ObserveGame(const TObservedGame& game) {
    ChoosePlayers(TMatchKind::Observed, TColour::None,
                  {game.White, std::make_shared<TObservedPlayer>()},
                  {game.Black, std::make_shared<TObservedPlayer>()});
    // A new game clears the clocks' hours: a move message carries none.
    clockW_.SetTime(game.WhiteSeconds / 60, game.WhiteSeconds % 60);
    clockB_.SetTime(game.BlackSeconds / 60, game.BlackSeconds % 60);
    // A game joined after its start goes on from the host's position and
    // move number; its record names that position, so it replays.
    const QString fen = game.Fen();
    startFen_ = !fen.isEmpty() && IsPlayableFen(fen) ? fen : QString();
    BeginGame();
    startFen_.clear();
    moveSerial_ = game.MoveSerial;
    if (!fen.isEmpty() && model_.Fen() != fen) {
        // A position no game can reach is shown as it came, unrecorded.
        model_.SetPosition(game.Position);
        model_.SetWhiteToMove(!game.BlackToMove);
    }
    const bool white = !game.BlackToMove;
    (white ? clockW_ : clockB_).Start();
    (white ? clockB_ : clockW_).Stop();
    turn_ = white ? TTurn::White : TTurn::Black;
    SetTurnPanel(turn_);
}

bool TGameController::StartFromPosition(const QString& fen, int minutes, QString* reason) {
    auto refuse = [reason](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    if (role_ == TRole::Observer || (GameMode() == TGameMode::Network && turn_ != TTurn::None))
        return refuse(
            QString::fromUtf8("No se puede poner una posición durante una partida en red"));
    QString why;
    if (!IsPlayableFen(fen, &why)) return refuse(why);
    const TGameMode mode =
        kind_ == TMatchKind::Engine ? TGameMode::VsComputer : TGameMode::LocalTwoPlayers;
    // The FEN is well formed: its second field names the side to move.
    const bool whiteToMove = fen.simplified().section(u' ', 1, 1) != u"b";
    EndGame(TEndReason::Abandoned);
    startFen_ = fen.trimmed();
    StartLocalGameWith(opponent_, mode, whiteToMove, minutes);
    startFen_.clear();
    if (reason) reason->clear();
    return true;
}

bool TGameController::OpenReplay(const TOpenedGame& game) {
    if (!game.Opened()) return false;
    if (turn_ != TTurn::None) EndGame(TEndReason::Abandoned);
    // The players are those the file names (a nick it does not name stays).
    ChoosePlayers(TMatchKind::Replay, TColour::None,
                  {{game.White.value_or(whitePlayer_.Nick), 0}, std::make_shared<TReplayPlayer>()},
                  {{game.Black.value_or(blackPlayer_.Nick), 0}, std::make_shared<TReplayPlayer>()});
    record_ = game.Lines;
    OnRecordChanged();
    recordResult_ = game.Result;
    for (TRelojChess* clock : {&clockW_, &clockB_}) {
        clock->SetTime(59, 59);
        clock->SetHoras(23);
    }
    ReplayMoves = game.ReplayMoves;
    ReplayCursor = 1;
    BeginGame();
    if (!game.StartFen.isEmpty() && model_.SetFen(game.StartFen) && !model_.WhiteToMove()) {
        turn_ = TTurn::Black;
        SetTurnPanel(TTurn::Black);
    }
    return true;
}

void TGameController::ChoosePlayers(TMatchKind kind, TColour myColour, const TSeat& white,
                                    const TSeat& black) {
    kind_ = kind;
    myColour_ = myColour;
    whitePlayer_ = white.Shown;
    blackPlayer_ = black.Shown;
    white_ = white.Player;
    black_ = black.Player;
}

// ---------------------------------------------------------------- starting

void TGameController::BeginGame() {
    if (versionState_ == 2) {
        MeteRuido("entrar");
        ShowMessage(OutdatedWarning);
    }
    // The engine of the game shown so far is switched off before anything of
    // the new game is set: a move it still finds for the old game is dropped.
    model_.SetComputerPlaysWhite(false);
    model_.SetComputerPlaysBlack(false);
    opponent_->LeaveSeat();
    SetCommands(false, drawAllowed_, resignAllowed_);
    MeteRuido("nueva");
    ClearCaptured();
    // Nothing of the last game's moves stays in the titles.
    caption_.clear();
    SetTitle(MainTitle());
    // The callers set the clocks with SetTime, which clears the hours before
    // the minutes; clearing them again here would cut a game of 60 minutes
    // or more down to its minutes past the hour.
    SetBoardActive(false); // a drag under way is dropped
    SetBoardActive(true);
    turn_ = TTurn::White;
    if (myColour_ != TColour::None) OnShowColourAtBottom(myColour_);
    moveSerial_ = 1;
    // A replay is no game: nothing acts on it, the clocks stand still, and
    // a new game may begin at any time.
    const bool atThisBoard = white_->AtThisBoard() || black_->AtThisBoard();
    SetCommands(!IsPlayed(), white_->OwnSeat() && IsPlayed(), atThisBoard && IsPlayed());
    clockB_.Stop();
    if (IsPlayed()) clockW_.Start();
    beforeMoves_.clear();
    StartRecord();
    ShowPlayers();
    SetUpBoard();
    const bool whiteFirst = model_.WhiteToMove();
    if (!whiteFirst) {
        clockW_.Stop();
        if (IsPlayed()) clockB_.Start();
        turn_ = TTurn::Black;
    }
    SetTurnPanel(turn_);
    SetLocalMayMove(PlayerOf(whiteFirst).AtThisBoard());
    white_->Seat(true, true);
    black_->Seat(false, true);
    OnGameStarted();
    if (whiteFirst ? model_.ComputerPlaysWhite() : model_.ComputerPlaysBlack())
        model_.RequestComputerMove();
}

void TGameController::StartRecord() {
    if (!IsPlayed()) return;
    record_.clear();
    // The record names the engine's level it was played against.
    for (const TGamePlayer* player : {white_.get(), black_.get()})
        if (!player->RecordNote().isEmpty()) record_.append(player->RecordNote());
    recordResult_.clear();
    OnRecordChanged();
}

void TGameController::SetUpBoard() {
    // The new position comes before the engine is given a side, so that its
    // first search is of the new game. A game begun from a position starts
    // there, with its side to move.
    if (startFen_.isEmpty()) {
        model_.NewGame();
    } else {
        model_.SetFen(startFen_);
        record_.append(PositionLine(startFen_));
        OnRecordChanged();
    }
}
