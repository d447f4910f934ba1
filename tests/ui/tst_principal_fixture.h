#pragma once
// One complete program for a window test: its own temporary folder, scripted
// dialogs and recording sound, and the three windows built over them.

#include "BoardWidget.h"
#include "ChatWindow.h"
#include "ChessClock.h"
#include "ClockWidget.h"
#include "GameController.h"
#include "HeadlessProgram.h"
#include "MainWindow.h"
#include "NewGameDialog.h"
#include "ProgramEnv.h"
#include "RecordWindow.h"
#include "Settings.h"
#include "SoundCues.h"
#include "UiDialogs.h"
#include "ZugaretProgram.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <memory>

// Gives the engine's worker time to finish a shallow search and answer,
// without handling events: its answer then waits in the event queue.
inline void LetTheEngineHandItsMoveOver() {
    QThread::msleep(300);
}

struct TTestProgram {
    QTemporaryDir dir;
    TScriptedDialogs dialogs;
    TRecordingSound sound;
    std::unique_ptr<TProgramEnv> env;
    std::unique_ptr<TZugaretProgram> program;

    // A program whose ini file already names the user (no nick question),
    // unless nick is empty; extraIni is appended to the ini file.
    explicit TTestProgram(const QString& nick = "Ana", const QByteArray& extraIni = QByteArray(),
                          bool show = true) {
        const QString folder = dir.path() + "/";
        if (!nick.isEmpty() || !extraIni.isEmpty()) {
            QFile ini(folder + "ZuzPlak.ini");
            ini.open(QIODevice::WriteOnly);
            if (!nick.isEmpty()) ini.write("[User]\r\nNick=" + nick.toLatin1() + "\r\n");
            ini.write(extraIni);
        }
        env = std::make_unique<TProgramEnv>(folder, folder);
        env->SetDialogs(&dialogs);
        env->SetSound(&sound);
        if (!nick.isEmpty()) Build(show);
    }

    // Builds the program; the nick question, if asked, is answered as prepared.
    void Build(bool show = true) {
        program = std::make_unique<TZugaretProgram>(*env);
        if (show) program->Show();
        dialogs.Flush();
        if (program->Main().Started()) Board().SetAnimateMoves(false);
    }

    TFrmPrincipal& Main() { return program->Main(); }
    TFrmChat& Chat() { return *program->Chat(); }
    TFrmPartida& Partida() { return *program->Partida(); }
    TChessBrd& Board() { return Main().Board(); }
    TChessModel& Model() { return Main().Program().Model(); }
    TGameController& Game() { return Main().Game(); }

    // A control of a window, found by its name.
    template <typename T> T* Control(QWidget& window, const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* MainButton(const char* name) { return Control<QToolButton>(Main(), name); }

    QStringList Record() { return Partida().Lines(); }

    // Plays a move given as "e2e4" on the board, as a local drop would.
    bool Play(const QString& move) {
        return Model().Move(TextToSquare(move.left(2)), TextToSquare(move.mid(2, 2)));
    }
    bool PlayAll(const QStringList& moves) {
        for (const QString& m : moves)
            if (!Play(m)) return false;
        return true;
    }

    // Starts a game through the new-game dialog against opponent.
    void NewGameVia(const QString& opponent, bool white, int minutes = 15) {
        Main().bNuevaPartidaClick();
        dialogs.Flush(); // "¿Interrumpir la partida actual?", if asked
        TFrmConexion* dlg = Main().FrmConexion();
        QVERIFY(dlg);
        QVERIFY2(dlg->Opponents().contains(opponent), qPrintable(opponent));
        dlg->Choose(opponent, white, minutes);
        dlg->bCrearClick();
    }
};
