#pragma once
// THeadlessProgram: one whole program: the rules keeper, the game controller
// and the chat session over one environment, with the settings read at the
// start and written at the end. zugaret-peer runs one as it is; the windowed
// program (TZugaretProgram) runs one under its windows, which are views
// holding references to it. Tests build several in one process, each over
// its own folder, port, dialogs and sound.
//
// The settings file is this object's alone: it is read once, here, and
// written once, by Quit. Views keep their own keys (the window's place, the
// pictures, point-and-click) in Settings() when OnQuitting asks for them.
//
// What must stay true:
//  - Quit raises OnQuitting, writes the settings once (the views' keys
//    included) and raises OnFinished, once; "/KILL" from the host ends the
//    program through Quit;
//  - OnDestroying is raised first when the program goes, while all of it is
//    still whole: a view still over it goes then;
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

    // The settings as read at the start; the views write their keys here
    // (OnQuitting).
    TZugaretSettings& Settings() { return settings_; }
    // Writes the settings (the game's keys taken from the controller) now; a
    // failure is shown as a message box.
    bool SaveSettings();
    // The normal shut-down: OnQuitting, the settings written (a failure is
    // shown as a message box), then OnFinished. Later calls do nothing.
    void Quit();
    bool Finished() const { return finished_; }

signals:
    // The program is about to write its settings and end: views put their
    // keys into Settings().
    void OnQuitting();
    void OnFinished();
    // The program is going; everything in it is still whole.
    void OnDestroying();

private:
    TProgramEnv& env_;
    TZugaretSettings settings_;
    std::unique_ptr<TChessModel> model_;
    std::unique_ptr<TGameController> game_;
    std::unique_ptr<TChatSession> chat_;
    bool finished_ = false;
};
