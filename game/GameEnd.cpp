// The end of a game: the fixed steps of EndGame over the result as a value,
// and the commands and events that end a game.

#include "GameController.h"

#include "ChessModel.h"
#include "GameFileIO.h"
#include "ProgramEnv.h"
#include "UiDialogs.h"

#include <QDate>
#include <QMetaObject>

void TGameController::EndGame(TEndReason reason) {
    // The side to move when the game ended: the loser of a mate or a time-out.
    const bool whiteToMove = model_.WhiteToMove();
    StopPlay();
    if (turn_ == TTurn::None) return;
    turn_ = TTurn::None;
    SetCommands(true, false, false);
    SetLocalMayMove(false);
    const TGameResult result = GameResult(EndFacts(reason, whiteToMove));
    eloHintW_ = QStringLiteral("Elo anterior ") + QString::number(whitePlayer_.Elo);
    eloHintB_ = QStringLiteral("Elo anterior ") + QString::number(blackPlayer_.Elo);
    SetPanel(panel_.Text, TTurnPanel::TKind::Ended);
    if (!result.Ends) {
        OnGameEnded();
        return;
    }
    resultText_ = result.ResultText;
    whitePlayer_.Elo = result.NewWhiteElo;
    blackPlayer_.Elo = result.NewBlackElo;
    if (result.Cowardice) MeteRuido("cobarde2");
    RecordResult(result);
    SetPanel(result.PanelText, TTurnPanel::TKind::Ended);
    RecordEndComment(result);
    StoreRating(result);
    SetTitle(MainTitle());
    TellObservers(result);
    ShowPlayers();
    OnGameEnded();
    // The game is on disk before the announcement waits for the user.
    if (autoSavePgn_ && IsPlayed()) SavePgnDatabase();
    Announce(result.Announcement);
}

void TGameController::StopPlay() {
    SetCommands(true, drawAllowed_, resignAllowed_);
    SetBoardActive(false);
    model_.SetCustomEngine(false);
    // The engine has no game to play any more: a move it would still make
    // after a resignation or a time-out would change the finished record.
    // Stopping it drops whatever it still finds.
    if (model_.ComputerPlaysWhite()) model_.SetComputerPlaysWhite(false);
    if (model_.ComputerPlaysBlack()) model_.SetComputerPlaysBlack(false);
    opponent_->LeaveSeat();
    white_->Unseat();
    black_->Unseat();
    clockW_.Stop();
    clockB_.Stop();
}

TEndFacts TGameController::EndFacts(TEndReason reason, bool whiteToMove) const {
    TEndFacts f;
    f.Reason = reason;
    f.Kind = kind_;
    f.MyColour = myColour_;
    f.WhiteToMove = whiteToMove;
    f.White = whitePlayer_;
    f.Black = blackPlayer_;
    f.UserNick = nick_;
    f.OpponentName = opponent_->Name();
    f.EngineKeepsRating = opponent_->KeepsRating();
    f.EngineFailure = engineFailure_;
    f.AnnouncedPanel = announcedPanel_;
    f.AnnouncedResult = announcedResult_;
    return f;
}

void TGameController::RecordResult(const TGameResult& result) {
    if (!IsPlayed()) return;
    recordResult_ = result.ResultText;
    if (model_.WhiteToMove())
        AddRecordLine(result.ResultText);
    else
        AppendToLastRecordLine(u' ' + result.ResultText);
}

void TGameController::RecordEndComment(const TGameResult& result) {
    if (result.RecordComment && IsPlayed())
        AppendToLastRecordLine(QStringLiteral(" {") + result.PanelText + u'}');
}

void TGameController::StoreRating(const TGameResult& result) {
    if (result.Stored == TStoredRating::User)
        elo_ = result.StoredElo;
    else if (result.Stored == TStoredRating::Computer)
        computerElo_ = result.StoredElo;
}

void TGameController::TellObservers(const TGameResult& result) {
    white_->GameEnded(result.PanelText, result.ResultText);
    black_->GameEnded(result.PanelText, result.ResultText);
}

void TGameController::Announce(const QString& text) {
    endAnnouncement_ = text;
    // Shown from the event loop: the end may come from inside a socket's
    // read (a received move, a resignation), where a message box's own loop
    // could free that very socket.
    QMetaObject::invokeMethod(
        this, [this, text] { ShowMessage(text); }, Qt::QueuedConnection);
}

bool TGameController::IsPlayed() const {
    return kind_ != TMatchKind::Replay;
}

TRecordHeader TGameController::RecordHeader() const {
    TRecordHeader h;
    h.WhiteNick = whitePlayer_.Nick;
    h.WhiteElo = whitePlayer_.Elo;
    h.BlackNick = blackPlayer_.Nick;
    h.BlackElo = blackPlayer_.Elo;
    h.ResultText = recordResult_.isEmpty() ? QStringLiteral("*") : recordResult_;
    h.Date = QDate::currentDate();
    return h;
}

void TGameController::SavePgnDatabase() {
    const TDatabaseSave save = AppendToPgnDatabase(pgnFolder_, nick_, RecordHeader(), record_);
    TUiDialogs* d = env_.Dialogs();
    if (!d) return;
    if (!save.Saved)
        d->ShowMessage(save.Error, QString(), TMessageKind::Error);
    else if (!save.Warning.isEmpty())
        d->ShowMessage(save.Warning, QString(), TMessageKind::Warning);
}

QString TGameController::InterruptedText() {
    return QString::fromUtf8("Partida interrumpida: se perdió la conexión");
}

bool TGameController::InterruptNetworkGame() {
    if (!PlaysNetworkGame()) return false;
    // Like an abandon, but the panel (already when the game's end is
    // raised), the record and the observers learn why.
    const QString panel = InterruptedText();
    SetPanel(panel, TTurnPanel::TKind::Ended);
    EndGame(TEndReason::Abandoned);
    AppendToLastRecordLine(QStringLiteral(" * {") + panel + u'}');
    white_->GameEnded(panel, QStringLiteral("*"));
    black_->GameEnded(panel, QStringLiteral("*"));
    return true;
}

void TGameController::EndObservedGame(const QString& panelText, const QString& resultText) {
    SetPanel(panelText, TTurnPanel::TKind::Ended);
    announcedPanel_ = panelText;
    announcedResult_ = resultText;
    clockW_.Stop();
    clockB_.Stop();
    EndGame(TEndReason::ObservedEnd);
}

void TGameController::Resign() {
    // Only a side the user plays at this board resigns; its opponent learns it.
    if (turn_ == TTurn::None || !(white_->AtThisBoard() || black_->AtThisBoard())) return;
    for (TGamePlayer* player : {white_.get(), black_.get()})
        if (!player->AtThisBoard()) player->OpponentResigned();
    EndGame(TEndReason::OwnResignation);
}

bool TGameController::PlaysNetworkGame() const {
    return turn_ != TTurn::None && (white_->PlaysOverNetwork() || black_->PlaysOverNetwork());
}

void TGameController::AbandonGame() {
    if (PlaysNetworkGame())
        Resign();
    else
        EndGame(TEndReason::Abandoned);
}

void TGameController::OfferDraw() {
    if (turn_ == TTurn::None) return;
    for (TGamePlayer* player : {white_.get(), black_.get()})
        if (!player->AtThisBoard()) player->DrawOffered();
}

void TGameController::EngineFailed(const QString& reason) {
    const TGamePlayer* engine = opponent_.get();
    if (turn_ == TTurn::None || (white_.get() != engine && black_.get() != engine)) return;
    engineFailure_ = reason;
    EndGame(TEndReason::EngineFailure);
}

void TGameController::FClockWTimeout() {
    SideRanOut(true);
}

void TGameController::FClockBTimeout() {
    SideRanOut(false);
}

void TGameController::SideRanOut(bool white) {
    // A remote side's time-out is reported by its owner.
    if (!PlayerOf(white).KeepsItsTime()) return;
    PlayerOf(!white).OpponentTimedOut();
    EndGame(TEndReason::Time);
}
