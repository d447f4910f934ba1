#include "ZugaretProgram.h"

#include "BoardWidget.h"
#include "ChatSession.h"
#include "ChatWindow.h"
#include "MainWindow.h"
#include "RecordWindow.h"

TZugaretProgram::TZugaretProgram(TProgramEnv& env)
    : env_(env), main_(std::make_unique<TFrmPrincipal>(env)) {
    main_->OnClosed = [this] {
        if (OnQuit) OnQuit();
    };
    if (main_->Started())
        BuildWindows();
    else
        main_->OnStarted = [this] {
            BuildWindows();
            if (showAsked_) Show();
        };
}

void TZugaretProgram::BuildWindows() {
    TGameController& game = main_->Game();
    chat_ = new TFrmChat(game, env_, main_.get());
    chat_->ChatHeight = main_->ChatHeight;
    chat_->OnNickRefused = [this] { main_->Terminate(); };
    TChessBrd& board = main_->Board();
    partida_ = new TFrmPartida(
        game, [&board](char piece) { return board.PieceImage(piece); }, main_.get());
    partida_->OnHelp = [this] { main_->bAyudaClick(); };
    game.SetNetwork(&chat_->Session());
    // "/KILL" from the host: the program ends through the main window's
    // close, which saves the settings.
    QObject::connect(&chat_->Session(), &TChatSession::OnQuitRequested, main_.get(),
                     [this] { main_->CloseAtOnce(); });
    main_->SetWindows(chat_, partida_);
}

TZugaretProgram::~TZugaretProgram() = default;

bool TZugaretProgram::Terminated() const {
    return main_->Terminated();
}

void TZugaretProgram::Show() {
    showAsked_ = true;
    if (Terminated() || !main_->Started()) return;
    main_->show();
    chat_->show();
    if (main_->Terminated()) return; // the chat window's nick question was cancelled
    partida_->setVisible(main_->GameWindowVisible);
}
