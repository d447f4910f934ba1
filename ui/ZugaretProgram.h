#pragma once
// TZugaretProgram: one complete program — the main window, the chat window
// and the record window, created in that order over one environment and wired
// to each other. The shipped program builds one in main(); tests build two or
// three side by side, each over its own folder, dialogs and sound.
//
// What must stay true: the main window owns the other two (they are its child
// windows), so destroying the program frees all three; nothing is shared
// between two programs.

#include <functional>
#include <memory>

class TFrmChat;
class TFrmPartida;
class TFrmPrincipal;
class TProgramEnv;

class TZugaretProgram {
public:
    // Creates the main window, and the other two once the user has a nick
    // (the main window asks for one when none is stored). When the user
    // gives none, Terminated() is true, only the main window exists and it
    // closes itself (OnQuit).
    explicit TZugaretProgram(TProgramEnv& env);
    ~TZugaretProgram();
    TZugaretProgram(const TZugaretProgram&) = delete;
    TZugaretProgram& operator=(const TZugaretProgram&) = delete;

    // Shows the main and chat windows, and the record window when the
    // settings say so; asked before the nick is known, once it is.
    void Show();
    bool Terminated() const;

    TFrmPrincipal& Main() const { return *main_; }

    // Raised when the main window has closed (settings written): the
    // program must end. main() quits its event loop here.
    std::function<void()> OnQuit;
    TFrmChat* Chat() const { return chat_; }
    TFrmPartida* Partida() const { return partida_; }

private:
    void BuildWindows();

    TProgramEnv& env_;
    std::unique_ptr<TFrmPrincipal> main_;
    TFrmChat* chat_ = nullptr;
    TFrmPartida* partida_ = nullptr;
    bool showAsked_ = false;
};
