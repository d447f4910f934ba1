// ZugaretCHAT: the program's main routine. It builds one program over the
// real environment (the folder of the program file, chat port 12121, the
// real dialogs and sound), gives it the flat look and the icon, and runs the
// event loop until the main window closes.

#include "FlatStyle.h"
#include "ProgramEnv.h"
#include "QtDialogs.h"
#include "QtSoundOutput.h"
#include "MainWindow.h"
#include "ZugaretProgram.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("ZugaretCHAT");
    const QIcon icon(":/app/zugaret.png");
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
    FlatStyle::Apply(app);

    TProgramEnv env;
    TQtDialogs dialogs;
    TQtSoundOutput sound;
    env.SetDialogs(&dialogs);
    env.SetSound(&sound);

    TZugaretProgram program(env);
    if (program.Terminated()) return 0;
    dialogs.SetParent(&program.Main());
    program.Show();
    if (program.Terminated()) return 0;
    return app.exec();
}
