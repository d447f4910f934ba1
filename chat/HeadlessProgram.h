#pragma once
// THeadlessProgram: one whole program without windows: the rules keeper,
// the game controller and the chat session over one environment, with the
// settings read at the start and written at the end, as the windowed program
// does. zugaret-peer runs one; tests build several in one process, each over
// its own folder, port, dialogs and sound.
//
// What must stay true:
//  - Quit writes the settings (nick, rating, web address) once and raises
//    OnFinished once; "/KILL" from the host ends the program through Quit;
//  - the session goes before the controller, the controller before the rules
//    keeper it plays on.

#include "Settings.h"

#include <QObject>

#include <functional>
#include <memory>

class TChatSession;
class TChessModel;
class TGameController;
class TProgramEnv;

class THeadlessProgram : public QObject {
    Q_OBJECT
public:
    // Reads the settings through env (env.IniFileToRead()); env is not owned
    // and must outlive the program.
    explicit THeadlessProgram(TProgramEnv& env, QObject* parent = nullptr);
    ~THeadlessProgram() override;

    TProgramEnv& Env() const { return env_; }
    TChessModel& Model() const { return *model_; }
    TGameController& Game() const { return *game_; }
    TChatSession& Chat() const { return *chat_; }

    // Types a line into the chat's input line and presses Enter. False when
    // the line stays (a command that wants correcting).
    bool Type(const QString& line);

    // Writes the settings (nick, rating, web address) now; a failure is
    // shown as a message box.
    bool SaveSettings();
    // The normal shut-down: the settings are written (a failure is shown as
    // a message box), then OnFinished. Later calls do nothing.
    void Quit();
    bool Finished() const { return finished_; }

signals:
    void OnFinished();

private:
    TProgramEnv& env_;
    TZugaretSettings settings_;
    std::unique_ptr<TChessModel> model_;
    std::unique_ptr<TGameController> game_;
    std::unique_ptr<TChatSession> chat_;
    bool finished_ = false;
};
