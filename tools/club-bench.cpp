// zugaret-club-bench: a full room under load. One host (a zugaret-peer
// process, so that its CPU and memory are its own), ten games at once
// between twenty participants playing random legal moves, and twenty more
// participants each watching one of the games.
//
//   zugaret-club-bench [moves] [seed] [pause]   (defaults 10000 1 20)
//
// The forty participants are whole programs without windows in this
// process. Each move is timed from just before it is played on the mover's
// board until it has been played on the opponent's board and on each
// watcher's board; every arrival is checked against the move sent for that
// place in that game (nothing lost, nothing out of order). A player answers
// pause ms after the opponent's move has reached its board (0: at once, so
// that the ten games' moves queue up behind each other). A game that ends
// is offered again by the same pair and its watchers follow the new one.
// Prints the medians and p99 for opponents and watchers, the host's CPU
// time and its resident memory every tenth of the run.

#include "ChatSession.h"
#include "ChessModel.h"
#include "ClubGame.h"
#include "GameController.h"
#include "HeadlessProgram.h"
#include "MoveTimes.h"
#include "ProgramEnv.h"
#include "UiDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Games = 10;
constexpr int WatchersPerGame = 2;

struct TMember {
    QTemporaryDir dir;
    TScriptedDialogs dialogs;
    std::unique_ptr<TProgramEnv> env;
    std::unique_ptr<THeadlessProgram> program;
    int pair = 0; // the game slot it plays or watches
    bool plays = false;
    int seen = 0;   // moves of the current game played on its board
    int joined = 0; // moves the game had when a watcher took it over

    TMember(const QString& nick, int slot, bool player) : pair(slot), plays(player) {
        QFile ini(dir.path() + "/ZuzPlak.ini");
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[User]\r\nNick=" + nick.toLatin1() +
                      "\r\n[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n");
        ini.close();
        env = std::make_unique<TProgramEnv>(dir.path(), dir.path(), 0);
        env->SetDialogs(&dialogs);
        program = std::make_unique<THeadlessProgram>(*env);
    }
    TChatSession& Chat() const { return program->Chat(); }
    TGameController& Game() const { return program->Game(); }
    TChessModel& Model() const { return program->Model(); }
};

// One game slot: its two players, what was sent and when.
struct TSlot {
    TMember* white = nullptr;
    TMember* black = nullptr;
    std::vector<TMember*> watchers;
    std::vector<QString> sent;  // the moves of the current game
    std::vector<qint64> sentAt; // ns
    int generation = 0;         // games played in this slot
};

// utime + stime of a process, in seconds.
double CpuSeconds(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> f = stat.readAll().split(' ');
    return f.size() > 15 ? double(f[13].toLongLong() + f[14].toLongLong()) / sysconf(_SC_CLK_TCK)
                         : 0;
}

// Resident memory of a process, in kB.
long RssKb(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    const QRegularExpressionMatch m =
        QRegularExpression("VmRSS:\\s+(\\d+)").match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int wanted = args.size() > 1 ? args.at(1).toInt() : 10000;
    const quint32 seed = args.size() > 2 ? args.at(2).toUInt() : 1u;
    QRandomGenerator random(seed);
    const int pause = args.size() > 3 ? args.at(3).toInt() : 20;

    QProcess host;
    QByteArray hostOut;
    QObject::connect(&host, &QProcess::readyReadStandardOutput,
                     [&] { hostOut += host.readAllStandardOutput(); });
    QTemporaryDir hostDir;
    host.start(QCoreApplication::applicationDirPath() + "/zugaret-peer",
               {"--nick", "Host", "--host", "--port", "0", "--max-clients", "50", "--dir",
                hostDir.path()});
    QString port;
    if (!Until(
            [&] {
                port = QRegularExpression("Servidor abierto en [^:]*:(\\d+)\n")
                           .match(QString::fromUtf8(hostOut))
                           .captured(1);
                return !port.isEmpty();
            },
            10000)) {
        std::fprintf(stderr, "the host did not start\n");
        return 1;
    }
    // The host's log grows with every line; only its start is wanted.
    QObject::disconnect(&host, &QProcess::readyReadStandardOutput, nullptr, nullptr);
    QObject::connect(&host, &QProcess::readyReadStandardOutput,
                     [&] { host.readAllStandardOutput(); });

    std::vector<std::unique_ptr<TMember>> members;
    std::vector<TSlot> tables(Games);
    for (int g = 0; g < Games; ++g) {
        members.push_back(std::make_unique<TMember>(QString("B%1").arg(2 * g), g, true));
        tables[g].white = members.back().get();
        members.push_back(std::make_unique<TMember>(QString("N%1").arg(2 * g + 1), g, true));
        tables[g].black = members.back().get();
    }
    for (int w = 0; w < Games * WatchersPerGame; ++w) {
        members.push_back(std::make_unique<TMember>(QString("M%1").arg(w), w % Games, false));
        tables[w % Games].watchers.push_back(members.back().get());
    }
    for (auto& m : members) {
        m->Chat().ChatPort = port;
        m->dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
        m->Chat().bConectarClick();
        m->dialogs.Flush();
        if (!Until([&] { return m->Chat().ClubGame().Directory().HostSpeaks(); }, 10000)) {
            std::fprintf(stderr, "a participant did not join\n");
            return 1;
        }
    }

    QElapsedTimer clock;
    clock.start();
    std::vector<double> toOpponent, toWatcher;
    int played = 0, lost = 0, misplaced = 0, gamesPlayed = 0;
    std::vector<long> rss;

    // A random legal move for the side to move on member's board.
    const auto move = [&](TMember* mover) {
        TSlot& slot = tables[mover->pair];
        TChessModel& model = mover->Model();
        if (!mover->Game().PlaysNetworkGame() || played >= wanted) return;
        std::vector<std::pair<Square, Square>> legal;
        for (int from = 1; from <= 64; ++from)
            for (int to = 1; to <= 64; ++to)
                if (model.IsLegalMove(Square(from), Square(to)))
                    legal.emplace_back(Square(from), Square(to));
        if (legal.empty()) return;
        const auto [from, to] = legal[random.bounded(int(legal.size()))];
        slot.sent.push_back(SquareToText(from) + SquareToText(to));
        slot.sentAt.push_back(clock.nsecsElapsed());
        ++played;
        if (played % std::max(1, wanted / 10) == 0) rss.push_back(RssKb(host.processId()));
        model.Move(from, to);
    };
    const auto offer = [&](TSlot& slot) {
        slot.sent.clear();
        slot.sentAt.clear();
        slot.black->dialogs.AnswerYes(TQuestion::GameOffer);
        slot.white->Chat().OfferGame(slot.black->Game().Nick(), 0, 600, 1200);
    };
    for (auto& m : members) {
        TMember* member = m.get();
        QObject::connect(&member->Game(), &TGameController::OnGameStarted, [&, member] {
            member->seen = 0;
            TSlot& slot = tables[member->pair];
            member->joined = int(slot.sent.size());
            if (member == slot.white && member->Game().PlaysNetworkGame()) {
                ++gamesPlayed;
                QTimer::singleShot(0, [&, member] { move(member); });
            }
        });
        QObject::connect(&member->Game(), &TGameController::OnMovePlayed,
                         [&, member](Square from, Square to) {
                             TSlot& slot = tables[member->pair];
                             const int n = member->seen++;
                             const bool mine = member->plays && n < int(slot.sent.size()) &&
                                               (n % 2 == 0) == (member == slot.white);
                             if (mine) return; // its own move
                             if (n >= int(slot.sent.size()) ||
                                 slot.sent[n] != SquareToText(from) + SquareToText(to)) {
                                 ++misplaced;
                                 return;
                             }
                             // A watcher's first moves catch up with the game: checked, not timed.
                             const double ms = (clock.nsecsElapsed() - slot.sentAt[n]) / 1e6;
                             if (member->plays || n >= member->joined)
                                 (member->plays ? toOpponent : toWatcher).push_back(ms);
                             if (member->plays)
                                 QTimer::singleShot(pause, [&, member] { move(member); });
                         });
        QObject::connect(&member->Game(), &TGameController::OnGameEnded, [&, member] {
            TSlot& slot = tables[member->pair];
            if (!member->plays) {
                lost += std::max(0, int(slot.sent.size()) - member->seen);
                return;
            }
            if (member == slot.white && played < wanted)
                QTimer::singleShot(50, [&, member] { offer(tables[member->pair]); });
        });
        if (!member->plays)
            QObject::connect(&member->Chat(), &TChatSession::OnNickListChanged, [&, member] {
                // Follows its slot's game, the new one once it is listed.
                const TRoomDirectory& room = member->Chat().ClubGame().Directory();
                const TSlot& slot = tables[member->pair];
                const int game = room.GameOf(slot.white->Game().Nick());
                if (game && member->Chat().ClubGame().Watching() != game &&
                    !member->Game().GameInProgress())
                    QTimer::singleShot(0,
                                       [member, game] { member->Chat().ClubGame().Watch(game); });
            });
    }

    const double cpuBefore = CpuSeconds(host.processId());
    rss.push_back(RssKb(host.processId()));
    const qint64 startedNs = clock.nsecsElapsed();
    for (TSlot& slot : tables)
        offer(slot);
    Until([&] { return played >= wanted; }, 30 * 60 * 1000);
    Until([] { return false; }, 500); // the last moves arrive
    const double seconds = (clock.nsecsElapsed() - startedNs) / 1e9;
    const double cpu = CpuSeconds(host.processId()) - cpuBefore;

    std::printf("%d moves in %d games (%d at once), %zu watchers, seed %u, pause %d ms, %.1f s\n",
                played, gamesPlayed, Games, size_t(Games * WatchersPerGame), seed, pause, seconds);
    Report("opponent", toOpponent);
    Report("watcher", toWatcher);
    std::printf("lost %d, out of place %d\n", lost, misplaced);
    std::printf("host CPU %.2f s (%.1f%% of one core)\n", cpu, 100 * cpu / seconds);
    std::printf("host resident memory, kB:");
    for (const long kb : rss)
        std::printf(" %ld", kb);
    std::printf("\n");
    members.clear();
    host.terminate();
    host.waitForFinished(5000);
    return 0;
}
