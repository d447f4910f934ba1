// ZugaretCHAT: the program's main routine. It builds one program over the
// real environment (the folder of the program file, chat port 12121, the
// real dialogs and sound), gives it the flat look and the icon, and runs the
// event loop until the main window closes.

#include "EngineConfig.h"
#include "FlatStyle.h"
#include "MainWindow.h"
#include "ProgramEnv.h"
#include "QtDialogs.h"
#include "QtSoundOutput.h"
#include "QuitSignals.h"
#include "SafeFile.h"
#include "Translations.h"
#include "ZugaretProgram.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // First of all: a SIGINT or SIGTERM from now on ends the program through
    // the main window's close, which saves the settings.
    TQuitSignals quitSignals;
    // A write past the process's file-size limit fails and is reported; it
    // never ends the program.
    IgnoreFileSizeSignal();
    QApplication::setApplicationName("ZugaretCHAT");
    const QIcon icon(":/app/zugaret.png");
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
    FlatStyle::Apply(app);
    InstallSpanishToolkitTexts(app);

    TProgramEnv env;
    TQtDialogs dialogs;
    TQtSoundOutput sound;
    env.SetDialogs(&dialogs);
    env.SetSound(&sound);
    env.SetEngineSearchPaths(EngineSearchPaths());

    TZugaretProgram program(env);
    if (program.Terminated()) return 0;
    // The chat and record windows never close on their own: the program ends
    // when the main window has closed.
    bool quitting = false;
    program.OnQuit = [&quitting] {
        quitting = true;
        // exit, not quit: quit asks every window to close, and the chat and
        // record windows refuse.
        QCoreApplication::exit(0);
    };
    quitSignals.OnQuit = [&program] { program.Main().CloseAtOnce(); };
    dialogs.SetParent(&program.Main());
    program.Show();
    if (program.Terminated()) return 0;
    // A signal that came while the program was starting.
    if (quitSignals.LastSignal() != 0 && !quitting) program.Main().CloseAtOnce();
    if (quitting) return 0;
    return app.exec();
}
