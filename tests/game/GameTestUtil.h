#pragma once
// One game without windows for the controller's tests: its own temporary
// folder, scripted dialogs, recording sound and network, a rules keeper and
// the controller over them.

#include "ChessModel.h"
#include "GameController.h"
#include "ProgramEnv.h"
#include "RecordFiles.h"
#include "Settings.h"
#include "SoundCues.h"
#include "UiDialogs.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <optional>

// What the controller sent to the network, in order.
struct TRecordingNetwork : TGameNetwork {
    struct TSent {
        TMovimiento Move;
        bool FromLocalPlayer = false;
    };
    QList<TSent> Moves;
    QStringList EndGames; // panel text + " | " + result
    QStringList Resigns, Timeouts, DrawOffers, LogLines;

    void SendMove(const TMovimiento& move, bool fromLocalPlayer) override {
        Moves.append({move, fromLocalPlayer});
    }
    void SendEndGame(const QString& panelText, const QString& resultText) override {
        EndGames << panelText + " | " + resultText;
    }
    void SendResign(const QString& reason) override { Resigns << reason; }
    void SendTimeout(const QString& reason) override { Timeouts << reason; }
    void SendDrawOffer(const QString& reason) override { DrawOffers << reason; }
    void LogPlainLine(const QString& line) override { LogLines << line; }
};

// Gives the engine's worker time to finish a shallow search and hand its
// move over, without handling events: the move then waits to be played.
// (Should the worker be slower, the move simply comes later and the checks
// after it hold all the same.)
inline void LetTheEngineHandItsMoveOver() {
    QThread::msleep(300);
}

// Runs a clock out with a test time source: one tick to 0:00:00, one to the time-out.
inline void RunOut(TRelojChess& clock) {
    qint64 now = 0;
    clock.SetTimeSource([&now] { return now; });
    clock.Stop();
    clock.Start();
    now += 86400000;
    clock.Tick();
    now += 1000;
    clock.Tick();
}

struct TTestGame {
    QTemporaryDir dir;
    TScriptedDialogs dialogs;
    TRecordingSound sound;
    TRecordingNetwork net;
    std::unique_ptr<TProgramEnv> env;
    TChessModel model; // before the controller, which plays on it and goes first
    std::unique_ptr<TGameController> game;

    explicit TTestGame(const QString& nick = "Ana") {
        const QString folder = dir.path() + "/";
        env = std::make_unique<TProgramEnv>(folder, folder);
        env->SetDialogs(&dialogs);
        env->SetSound(&sound);
        game = std::make_unique<TGameController>(model, *env);
        TZugaretSettings settings;
        settings.Nick = nick;
        game->LoadSettings(settings);
        game->SetNetwork(&net);
    }

    TGameController& G() { return *game; }
    QStringList Record() const { return game->Record(); }

    // Plays a move given as "e2e4" on the board, as a local drop would.
    bool Play(const QString& move) {
        return model.Move(TextToSquare(move.left(2)), TextToSquare(move.mid(2, 2)));
    }
    bool PlayAll(const QStringList& moves) {
        for (const QString& m : moves)
            if (!Play(m)) return false;
        return true;
    }

    // Starts a game as the new-game dialog does: the own nick means two at
    // this board, "ZuzPlak" the engine.
    void NewGameVia(const QString& opponent, bool white, int minutes = 15) {
        const TGameMode mode =
            opponent == game->Nick() ? TGameMode::LocalTwoPlayers : TGameMode::VsComputer;
        game->EndGame(TEndReason::Abandoned);
        game->StartLocalGame(mode, white, minutes);
    }

    // Sets up a game of the given kind with the user's colour, as the
    // dialog or an accepted offer does; the opponent is Bea (1300) on the
    // network (this side connected as a client unless it hosts), the engine
    // or the user's second self; the clocks at a minute.
    void Start(TGameMode mode, TColour colour) {
        TGameController& g = *game;
        const bool white = colour == TColour::White;
        if (mode == TGameMode::Network) {
            if (g.Role() == TRole::Offline) g.SetRole(TRole::Client);
            g.SetUpNetworkGame(white, {"Bea", 1300}, 1);
            return;
        }
        QVERIFY(mode == TGameMode::VsComputer || mode == TGameMode::LocalTwoPlayers);
        g.EndGame(TEndReason::Abandoned);
        g.StartLocalGame(mode, white, 1);
        // Keep the engine out: the tests end the game before it would move.
        model.SetComputerPlaysWhite(false);
        model.SetComputerPlaysBlack(false);
    }

    // Follows the host's game from its start as an observer does on "/GAMEPOS".
    void Observe(const TPlayer& white, const TPlayer& black, int seconds = 60) {
        TObservedGame observed;
        observed.White = white;
        observed.Black = black;
        observed.WhiteSeconds = observed.BlackSeconds = seconds;
        observed.Position = QString::fromLatin1(TChessModel::InitialPosition);
        observed.MoveSerial = 1;
        game->ObserveGame(observed);
    }

    // Replays a game as opening a file does: its moves ("E2E4") and record.
    void Replay(const QStringList& moves, const QStringList& record = {},
                const QString& white = "Bea", const QString& black = "Carla") {
        TOpenedGame opened;
        opened.ReplayMoves = moves;
        opened.Lines = record;
        opened.White = white;
        opened.Black = black;
        QVERIFY(game->OpenReplay(opened));
    }
};

// Runs one of the record window's file commands to its end, its questions
// answered as prepared: whether it wrote the file or opened the game.
template <typename TCommand> bool RunToTheEnd(TTestGame& t, TCommand command) {
    TRecordFiles files(t.G());
    std::optional<bool> done;
    (files.*command)([&done](bool ok) { done = ok; });
    while (!done && t.dialogs.Flush() > 0) {
    }
    return done.value_or(false);
}
