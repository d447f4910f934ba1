#pragma once
// TZugaretProgram: one complete windowed program — a THeadlessProgram (the
// rules keeper, the game controller and the chat session over one
// environment) and the views over it: the main window, the chat window and
// the record window, created in that order. The shipped program builds one
// in main(); tests build two or three side by side, each over its own
// folder, dialogs and sound.
//
// What must stay true: the windows go before the program they show (the
// main window owns the other two, its child windows); the settings file is
// the program's, written once when it quits; nothing is shared between two
// programs.

#include <functional>
#include <memory>

class TFrmChat;
class TFrmPartida;
class TFrmPrincipal;
class THeadlessProgram;
class TProgramEnv;

class TZugaretProgram {
public:
    // Creates the program and the main window, and the other two once the
    // user has a nick (the main window asks for one when none is stored).
    // When the user gives none, Terminated() is true, only the main window
    // exists and it closes itself (OnQuit).
    explicit TZugaretProgram(TProgramEnv& env);
    ~TZugaretProgram();
    TZugaretProgram(const TZugaretProgram&) = delete;
    TZugaretProgram& operator=(const TZugaretProgram&) = delete;

    // Shows the main and chat windows, and the record window when the
    // settings say so; asked before the nick is known, once it is.
    void Show();
    bool Terminated() const;

    THeadlessProgram& Program() const { return *program_; }
    TFrmPrincipal& Main() const { return *main_; }
    TFrmChat* Chat() const { return chat_; }
    TFrmPartida* Partida() const { return partida_; }

    // Raised when the main window has closed (settings written): the
    // program must end. main() quits its event loop here.
    std::function<void()> OnQuit;

private:
    void BuildWindows();

    std::unique_ptr<THeadlessProgram> program_; // first: it goes last
    std::unique_ptr<TFrmPrincipal> main_;
    TFrmChat* chat_ = nullptr;
    TFrmPartida* partida_ = nullptr;
    bool showAsked_ = false;
};
