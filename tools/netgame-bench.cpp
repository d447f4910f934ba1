// zugaret-netgame-bench: how long a move takes from the board it is played on
// to the opponent's board and an observer's, over loopback.
//
//   zugaret-netgame-bench [moves] [seed]   (defaults 300 1)
//
// This process hosts the chat as a whole program without windows (the same
// session and controller as the windowed program). Two zugaret-peer
// processes (build/bin, beside this tool) join it: Ana, whose engine plays
// depth 1 and accepts every game, and Eva, who observes. The host offers Ana
// a game, plays White with random legal moves (from seed), and for each of
// its moves takes the time from just before the move is played on its board
// until each peer prints it ("move: ..." is printed when the move has been
// played on that peer's board). It waits until both have shown Ana's reply
// before the next move, and offers a new game when one ends, until `moves`
// moves are measured. Prints the median, p90, p99 and the worst per peer.
#include "ChatSession.h"
#include "ChessModel.h"
#include "GameController.h"
#include "HeadlessProgram.h"
#include "MoveTimes.h"
#include "ProgramEnv.h"
#include "TcpSockets.h"
#include "UiDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// One zugaret-peer process; the moments its "move:" lines were read.
struct TPeerRun {
    QProcess process;
    QByteArray pending;
    int moves = 0;             // "move:" lines so far
    bool observing = false;    // it has been asked to observe and said yes
    QString wanted;            // the move being timed
    qint64 startedAt = -1;     // ns, when it was played on the host
    std::vector<double> shown; // ms
    const QElapsedTimer* clock = nullptr;

    void Read() {
        pending += process.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            if (line.startsWith(QString::fromUtf8("box: ¿Observar"))) observing = true;
            if (!line.startsWith(QLatin1String("move: "))) continue;
            ++moves;
            if (startedAt >= 0 && line.mid(6) == wanted) {
                shown.push_back((clock->nsecsElapsed() - startedAt) / 1e6);
                startedAt = -1;
            }
        }
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int wanted = args.size() > 1 ? args.at(1).toInt() : 300;
    QRandomGenerator random(args.size() > 2 ? args.at(2).toUInt() : 1u);

    QTemporaryDir dir;
    QFile ini(dir.path() + "/ZuzPlak.ini");
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write("[User]\r\nNick=Luis\r\n[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n");
    ini.close();
    TProgramEnv env(dir.path(), dir.path(), 0);
    TScriptedDialogs dialogs; // the host is asked nothing; a promotion becomes a queen
    env.SetDialogs(&dialogs);
    THeadlessProgram host(env);
    TChatSession& chat = host.Chat();
    TGameController& game = host.Game();
    TChessModel& model = host.Model();
    chat.bCrearClick();
    if (game.Role() != TRole::Server) return 1;
    const QString port = chat.Server().LocalPort(chat.Server().SocketHandle());

    QElapsedTimer clock;
    clock.start();
    const QString peer = QCoreApplication::applicationDirPath() + "/zugaret-peer";
    auto start = [&](TPeerRun& run, const QStringList& options) {
        run.clock = &clock;
        QObject::connect(&run.process, &QProcess::readyReadStandardOutput, [&run] { run.Read(); });
        run.process.start(peer, QStringList{"--connect", "127.0.0.1", "--port", port} + options);
    };
    TPeerRun ana, eva;
    start(eva, {"--nick", "Eva", "--observe"});
    start(ana, {"--nick", "Ana", "--engine", "--depth", "1", "--accept-games", "yes"});
    if (!Until([&] { return chat.NickList().size() == 3 && eva.observing; }, 10000)) return 1;

    int played = 0; // moves on the host's board
    QObject::connect(&game, &TGameController::OnMovePlayed, &game,
                     [&](Square, Square) { ++played; });
    int games = 0;
    while (int(ana.shown.size()) < wanted) {
        if (!game.GameInProgress()) {
            chat.OfferGame("Ana", 0, 60, game.Elo());
            if (!Until([&] { return game.GameInProgress(); }, 5000)) return 1;
            ++games;
        }
        // Both peers have shown every move so far; then the host moves.
        if (!Until([&] { return ana.moves >= played && eva.moves >= played; }, 5000)) return 1;
        std::vector<std::pair<Square, Square>> legal;
        for (int from = 1; from <= 64; ++from)
            for (int to = 1; to <= 64; ++to)
                if (model.IsLegalMove(Square(from), Square(to)))
                    legal.emplace_back(Square(from), Square(to));
        if (legal.empty() || !model.WhiteToMove()) return 1;
        const auto [from, to] = legal[random.bounded(int(legal.size()))];
        const char piece = model.PieceAt(from);
        const QString text =
            SquareToText(from) + SquareToText(to) + (piece == 'P' && RankOf(to) == 8 ? "q" : "");
        for (TPeerRun* run : {&ana, &eva}) {
            run->wanted = text;
            run->startedAt = clock.nsecsElapsed();
        }
        model.Move(from, to);
        if (!Until([&] { return ana.startedAt < 0 && eva.startedAt < 0; }, 5000)) return 1;
        // Ana's reply, unless the move ended the game.
        Until([&] { return !game.GameInProgress() || model.WhiteToMove(); }, 5000);
    }
    std::printf("%d games, seed %u\n", games, args.size() > 2 ? args.at(2).toUInt() : 1u);
    Report("opponent", ana.shown);
    Report("observer", eva.shown);
    for (TPeerRun* run : {&ana, &eva}) {
        run->process.terminate();
        run->process.waitForFinished(5000);
    }
    return 0;
}
