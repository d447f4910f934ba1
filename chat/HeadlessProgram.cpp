#include "HeadlessProgram.h"

#include "ChatSession.h"
#include "ChessModel.h"
#include "GameController.h"
#include "ProgramEnv.h"
#include "UiDialogs.h"

THeadlessProgram::THeadlessProgram(TProgramEnv& env, QObject* parent)
    : QObject(parent), env_(env), model_(std::make_unique<TChessModel>()) {
    settings_.Load(env_.IniFileToRead());
    game_ = std::make_unique<TGameController>(*model_, env_);
    game_->LoadSettings(settings_);
    chat_ = std::make_unique<TChatSession>(*game_, env_);
    game_->SetNetwork(chat_.get());
    connect(chat_.get(), &TChatSession::OnQuitRequested, this, [this] { Quit(); });
}

THeadlessProgram::~THeadlessProgram() {
    OnDestroying();
    game_->SetNetwork(nullptr);
    chat_.reset();
    game_.reset();
}

bool THeadlessProgram::Type(const QString& line) {
    QString text = line;
    return chat_->FMsgEditKeyPress(text, QChar(13));
}

bool THeadlessProgram::SaveSettings() {
    game_->SaveSettings(settings_);
    QString error;
    if (settings_.Save(env_.IniFile(), &error)) return true;
    if (TUiDialogs* dialogs = env_.Dialogs())
        dialogs->ShowMessage(QStringLiteral("Error al guardar el ELO") +
                             (error.isEmpty() ? QString() : "\n\r" + error));
    return false;
}

void THeadlessProgram::Quit() {
    if (finished_) return;
    finished_ = true;
    OnQuitting();
    SaveSettings();
    OnFinished();
}
