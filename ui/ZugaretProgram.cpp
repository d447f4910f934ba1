#include "ZugaretProgram.h"

#include "BoardWidget.h"
#include "ChatWindow.h"
#include "HeadlessProgram.h"
#include "MainWindow.h"
#include "RecordWindow.h"

TZugaretProgram::TZugaretProgram(TProgramEnv& env)
    : program_(std::make_unique<THeadlessProgram>(env)),
      main_(std::make_unique<TFrmPrincipal>(*program_)) {
    QObject::connect(main_.get(), &TFrmPrincipal::OnClosed, main_.get(), [this] {
        if (OnQuit) OnQuit();
    });
    // However the program quits ("/KILL" from the host included), the main
    // window closes after it; its own close quits the program first.
    QObject::connect(program_.get(), &THeadlessProgram::OnFinished, main_.get(), [this] {
        if (!main_->Closed()) main_->CloseAtOnce();
    });
    if (main_->Started())
        BuildWindows();
    else
        QObject::connect(main_.get(), &TFrmPrincipal::OnStarted, main_.get(), [this] {
            BuildWindows();
            if (showAsked_) Show();
        });
}

void TZugaretProgram::BuildWindows() {
    chat_ = new TFrmChat(*program_, main_.get());
    chat_->ChatHeight = main_->ChatHeight;
    QObject::connect(chat_, &TFrmChat::OnNickRefused, main_.get(), [this] { main_->Terminate(); });
    TChessBrd& board = main_->Board();
    partida_ = new TFrmPartida(
        *program_, [&board](char piece) { return board.PieceImage(piece); }, main_.get());
    QObject::connect(partida_, &TFrmPartida::OnHelp, main_.get(), [this] { main_->bAyudaClick(); });
    main_->SetWindows(chat_, partida_);
}

TZugaretProgram::~TZugaretProgram() {
    main_.reset();
}

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
