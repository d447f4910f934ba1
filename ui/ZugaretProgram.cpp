#include "ZugaretProgram.h"

#include "ChatWindow.h"
#include "RecordWindow.h"
#include "MainWindow.h"

TZugaretProgram::TZugaretProgram(TProgramEnv& env) : main_(std::make_unique<TFrmPrincipal>(env)) {
    main_->OnClosed = [this] {
        if (OnQuit) OnQuit();
    };
    if (main_->Terminated()) return;
    chat_ = new TFrmChat(*main_, env, main_.get());
    partida_ = new TFrmPartida(*main_, main_.get());
    main_->SetWindows(chat_, partida_);
}

TZugaretProgram::~TZugaretProgram() = default;

bool TZugaretProgram::Terminated() const {
    return main_->Terminated();
}

void TZugaretProgram::Show() {
    if (Terminated()) return;
    main_->show();
    chat_->show();
    if (main_->Terminated()) return; // the chat window's nick question was cancelled
    partida_->setVisible(main_->GameWindowVisible);
}
