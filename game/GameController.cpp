#include "GameController.h"

#include "BuiltInOpponent.h"
#include "ChessModel.h"
#include "ProgramEnv.h"
#include "Settings.h"
#include "TextUtils.h"
#include "UiDialogs.h"

#include <utility>

TGameController::TGameController(TChessModel& model, TProgramEnv& env, QObject* parent)
    : QObject(parent), model_(model), env_(env) {
    pgnFolder_ = env_.PgnFolder();
    soundFolder_ = TZugaretSettings().SoundFolder;
    webUrl_ = TZugaretSettings().WebUrl;
    clockW_.SetMinutos(1);
    clockW_.SetAlert(6);
    clockB_.SetMinutos(1);
    clockB_.SetAlert(6);
    clockW_.OnTimeout = [this](TRelojChess*) { FClockWTimeout(); };
    clockB_.OnTimeout = [this](TRelojChess*) { FClockBTimeout(); };
    // The engine's strength: five plies, with the quiescence search after them.
    model_.SetSearchDepth(EngineSearchDepth);
    builtIn_ = std::make_shared<TBuiltInOpponent>(*this);
    opponent_ = builtIn_;

    model_.PromotionChoice = [this](Square, Square, char& p) { p = ChoosePromotion(p); };
    connect(&model_, &TChessModel::OnLegalMove, this, &TGameController::FBoardLegalMove);
    connect(&model_, &TChessModel::OnCapture, this, &TGameController::FBoardCapture);
    connect(&model_, &TChessModel::OnPromotion, this, &TGameController::FBoardPromotion);
    connect(&model_, &TChessModel::OnCastle, this, &TGameController::FBoardCastle);
    connect(&model_, &TChessModel::OnCheck, this, &TGameController::FBoardCheck);
    connect(&model_, &TChessModel::OnMate, this, &TGameController::FBoardMate);
    connect(&model_, &TChessModel::OnStaleMate, this, &TGameController::FBoardStaleMate);
    connect(&model_, &TChessModel::OnNoMatingMaterial, this,
            &TGameController::FBoardNoMatingMaterial);
    connect(&model_, &TChessModel::OnThreefoldPosition, this,
            &TGameController::FBoardThreefoldPosition);
    connect(&model_, &TChessModel::OnDraw, this, &TGameController::FBoardDraw);

    title_ = MainTitle();
}

TGameController::~TGameController() {
    // No move of the engine may reach a controller that is going away:
    // its events are cut first, then the engine is stopped.
    disconnect(&model_, nullptr, this, nullptr);
    model_.PromotionChoice = nullptr;
    clockW_.OnTimeout = nullptr;
    clockB_.OnTimeout = nullptr;
    opponent_->OnFailure = nullptr;
    opponent_->LeaveSeat();
    model_.SetComputerPlaysWhite(false);
    model_.SetComputerPlaysBlack(false);
    model_.StopThinking();
}

QString TGameController::Version() {
    return QString::fromLatin1(ZugaretVersion);
}

QString TGameController::MainTitle() const {
    return TZugaretSettings::MainTitle(nick_, elo_);
}

void TGameController::ReplaceInTitle(const QString& oldText, const QString& newText) {
    SetTitle(ReplaceAll(title_, oldText, newText));
}

// ---------------------------------------------------------------- settings

void TGameController::LoadSettings(const TZugaretSettings& settings) {
    nick_ = settings.Nick;
    elo_ = settings.Elo;
    computerElo_ = settings.ComputerElo;
    engineDepth_ = qBound(1, settings.EngineDepth, 8);
    versionState_ = settings.VersionState;
    soundFolder_ = settings.SoundFolder;
    webUrl_ = TZugaretSettings::CheckedWebUrl(settings.WebUrl);
    pgnFolder_ = env_.PgnFolder();
    SetTitle(MainTitle());
}

void TGameController::SaveSettings(TZugaretSettings& settings) const {
    settings.Nick = nick_;
    settings.Elo = elo_;
    settings.ComputerElo = computerElo_;
    settings.EngineDepth = engineDepth_;
    settings.SoundFolder = soundFolder_;
    settings.WebUrl = webUrl_;
}

void TGameController::SetNick(const QString& nick) {
    const bool showsMainTitle = title_ == MainTitle();
    nick_ = nick;
    if (showsMainTitle) SetTitle(MainTitle());
}

// ---------------------------------------------------------------- view state

void TGameController::SetPanel(const QString& text, TTurnPanel::TKind kind) {
    panel_.Text = text;
    panel_.Kind = kind;
    OnPanelChanged();
}

void TGameController::SetTurnPanel(TTurn turn) {
    if (turn == TTurn::White)
        SetPanel(QStringLiteral("Juegan Blancas"), TTurnPanel::TKind::WhiteToMove);
    else
        SetPanel(QStringLiteral("Juegan Negras"), TTurnPanel::TKind::BlackToMove);
}

void TGameController::SetTitle(const QString& title) {
    title_ = title;
    OnTitleChanged();
}

void TGameController::SetCaption(const QString& caption) {
    // The main window's title takes the record's caption.
    caption_ = caption;
    SetTitle(caption_);
}

void TGameController::AddRecordLine(const QString& line) {
    record_.append(line);
    OnRecordChanged();
}

void TGameController::AppendToLastRecordLine(const QString& text) {
    // An empty record has no last line yet: the text starts one.
    if (record_.isEmpty())
        record_.append(text);
    else
        record_.last() += text;
    OnRecordChanged();
}

void TGameController::SetRecord(const QStringList& lines) {
    record_ = lines;
    OnRecordChanged();
}

void TGameController::SetCommands(bool newGame, bool draw, bool resign) {
    newGameAllowed_ = newGame;
    drawAllowed_ = draw;
    resignAllowed_ = resign;
    OnCommandsChanged();
}

void TGameController::SetBoardActive(bool active) {
    boardActive_ = active;
    OnCommandsChanged();
}

void TGameController::SetLocalMayMove(bool allowed) {
    localMayMove_ = allowed;
    OnCommandsChanged();
}

void TGameController::ShowPlayers() {
    OnPlayersChanged();
}

void TGameController::ClearCaptured() {
    captured_ = TCapturedPieces();
    OnCapturedChanged();
}

void TGameController::MeteRuido(const QString& name) const {
    env_.PlayCue(soundFolder_, name);
}

void TGameController::ShowMessage(const QString& text) const {
    if (TUiDialogs* d = env_.Dialogs()) d->ShowMessage(text);
}
