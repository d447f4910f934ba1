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

// The room under load: the host process, the forty participants in this
// process, and what their boards saw. Every move sent is recorded in its
// slot before it is played, so each arrival can be checked and timed.
class TClubBench {
public:
    TClubBench(int wanted, quint32 seed, int pause)
        : wanted_(wanted), random_(seed), pause_(pause) {}
    ~TClubBench() {
        members_.clear();
        host_.terminate();
        host_.waitForFinished(5000);
    }

    // Starts the host and has every participant join; false (and why on
    // stderr) when that fails.
    bool Start() {
        if (!StartHost()) {
            std::fprintf(stderr, "the host did not start\n");
            return false;
        }
        CreateMembers();
        if (!JoinAll()) {
            std::fprintf(stderr, "a participant did not join\n");
            return false;
        }
        for (auto& m : members_)
            Follow(m.get());
        clock_.start();
        return true;
    }

    // Plays until wanted moves were made; the run's seconds and the host's CPU seconds.
    std::pair<double, double> Run() {
        const double cpuBefore = CpuSeconds(host_.processId());
        rss_.push_back(RssKb(host_.processId()));
        const qint64 startedNs = clock_.nsecsElapsed();
        for (TSlot& slot : tables_)
            Offer(slot);
        Until([&] { return played_ >= wanted_; }, 30 * 60 * 1000);
        Until([] { return false; }, 500); // the last moves arrive
        return {(clock_.nsecsElapsed() - startedNs) / 1e9,
                CpuSeconds(host_.processId()) - cpuBefore};
    }

    void PrintReport(quint32 seed, double seconds, double cpu) const {
        std::printf("%d moves in %d games (%d at once), %zu watchers, seed %u, pause %d ms, "
                    "%.1f s\n",
                    played_, gamesPlayed_, Games, size_t(Games * WatchersPerGame), seed, pause_,
                    seconds);
        Report("opponent", toOpponent_);
        Report("watcher", toWatcher_);
        std::printf("lost %d, out of place %d\n", lost_, misplaced_);
        std::printf("host CPU %.2f s (%.1f%% of one core)\n", cpu, 100 * cpu / seconds);
        std::printf("host resident memory, kB:");
        for (const long kb : rss_)
            std::printf(" %ld", kb);
        std::printf("\n");
    }

private:
    bool StartHost() {
        QObject::connect(&host_, &QProcess::readyReadStandardOutput,
                         [this] { hostOut_ += host_.readAllStandardOutput(); });
        host_.start(QCoreApplication::applicationDirPath() + "/zugaret-peer",
                    {"--nick", "Host", "--host", "--port", "0", "--max-clients", "50", "--dir",
                     hostDir_.path()});
        const bool open = Until(
            [&] {
                port_ = QRegularExpression("Servidor abierto en [^:]*:(\\d+)\n")
                            .match(QString::fromUtf8(hostOut_))
                            .captured(1);
                return !port_.isEmpty();
            },
            10000);
        // The host's log grows with every line; only its start is wanted.
        QObject::disconnect(&host_, &QProcess::readyReadStandardOutput, nullptr, nullptr);
        QObject::connect(&host_, &QProcess::readyReadStandardOutput,
                         [this] { host_.readAllStandardOutput(); });
        return open;
    }

    void CreateMembers() {
        for (int g = 0; g < Games; ++g) {
            members_.push_back(std::make_unique<TMember>(QString("B%1").arg(2 * g), g, true));
            tables_[g].white = members_.back().get();
            members_.push_back(std::make_unique<TMember>(QString("N%1").arg(2 * g + 1), g, true));
            tables_[g].black = members_.back().get();
        }
        for (int w = 0; w < Games * WatchersPerGame; ++w) {
            members_.push_back(std::make_unique<TMember>(QString("M%1").arg(w), w % Games, false));
            tables_[w % Games].watchers.push_back(members_.back().get());
        }
    }

    bool JoinAll() {
        for (auto& m : members_) {
            m->Chat().ChatPort = port_;
            m->dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
            m->Chat().bConectarClick();
            m->dialogs.Flush();
            if (!Until([&] { return m->Chat().ClubGame().Directory().HostSpeaks(); }, 10000))
                return false;
        }
        return true;
    }

    void Follow(TMember* member) {
        QObject::connect(&member->Game(), &TGameController::OnGameStarted,
                         [this, member] { GameStarted(member); });
        QObject::connect(&member->Game(), &TGameController::OnMovePlayed,
                         [this, member](Square from, Square to) { MovePlayed(member, from, to); });
        QObject::connect(&member->Game(), &TGameController::OnGameEnded,
                         [this, member] { GameEnded(member); });
        if (!member->plays)
            QObject::connect(&member->Chat(), &TChatSession::OnNickListChanged,
                             [this, member] { WatchSlot(member); });
    }

    // A random legal move for the side to move on mover's board.
    void Move(TMember* mover) {
        TSlot& slot = tables_[mover->pair];
        TChessModel& model = mover->Model();
        if (!mover->Game().PlaysNetworkGame() || played_ >= wanted_) return;
        std::vector<std::pair<Square, Square>> legal;
        for (int from = 1; from <= 64; ++from)
            for (int to = 1; to <= 64; ++to)
                if (model.IsLegalMove(Square(from), Square(to)))
                    legal.emplace_back(Square(from), Square(to));
        if (legal.empty()) return;
        const auto [from, to] = legal[random_.bounded(int(legal.size()))];
        slot.sent.push_back(SquareToText(from) + SquareToText(to));
        slot.sentAt.push_back(clock_.nsecsElapsed());
        ++played_;
        if (played_ % std::max(1, wanted_ / 10) == 0) rss_.push_back(RssKb(host_.processId()));
        model.Move(from, to);
    }

    void Offer(TSlot& slot) {
        slot.sent.clear();
        slot.sentAt.clear();
        slot.black->dialogs.AnswerYes(TQuestion::GameOffer);
        slot.white->Chat().OfferGame(slot.black->Game().Nick(), 0, 600, 1200);
    }

    void GameStarted(TMember* member) {
        member->seen = 0;
        TSlot& slot = tables_[member->pair];
        member->joined = int(slot.sent.size());
        if (member == slot.white && member->Game().PlaysNetworkGame()) {
            ++gamesPlayed_;
            QTimer::singleShot(0, [this, member] { Move(member); });
        }
    }

    void MovePlayed(TMember* member, Square from, Square to) {
        TSlot& slot = tables_[member->pair];
        const int n = member->seen++;
        const bool mine =
            member->plays && n < int(slot.sent.size()) && (n % 2 == 0) == (member == slot.white);
        if (mine) return; // its own move
        if (n >= int(slot.sent.size()) || slot.sent[n] != SquareToText(from) + SquareToText(to)) {
            ++misplaced_;
            return;
        }
        // A watcher's first moves catch up with the game: checked, not timed.
        const double ms = (clock_.nsecsElapsed() - slot.sentAt[n]) / 1e6;
        if (member->plays || n >= member->joined)
            (member->plays ? toOpponent_ : toWatcher_).push_back(ms);
        if (member->plays) QTimer::singleShot(pause_, [this, member] { Move(member); });
    }

    void GameEnded(TMember* member) {
        TSlot& slot = tables_[member->pair];
        if (!member->plays) {
            lost_ += std::max(0, int(slot.sent.size()) - member->seen);
            return;
        }
        if (member == slot.white && played_ < wanted_)
            QTimer::singleShot(50, [this, member] { Offer(tables_[member->pair]); });
    }

    // A watcher follows its slot's game, the new one once it is listed.
    void WatchSlot(TMember* member) {
        const TRoomDirectory& room = member->Chat().ClubGame().Directory();
        const TSlot& slot = tables_[member->pair];
        const int game = room.GameOf(slot.white->Game().Nick());
        if (game && member->Chat().ClubGame().Watching() != game &&
            !member->Game().GameInProgress())
            QTimer::singleShot(0, [member, game] { member->Chat().ClubGame().Watch(game); });
    }

    const int wanted_;
    QRandomGenerator random_;
    const int pause_;
    QProcess host_;
    QByteArray hostOut_;
    QTemporaryDir hostDir_;
    QString port_;
    std::vector<std::unique_ptr<TMember>> members_;
    std::vector<TSlot> tables_ = std::vector<TSlot>(Games);
    QElapsedTimer clock_;
    std::vector<double> toOpponent_, toWatcher_;
    int played_ = 0, lost_ = 0, misplaced_ = 0, gamesPlayed_ = 0;
    std::vector<long> rss_;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int wanted = args.size() > 1 ? args.at(1).toInt() : 10000;
    const quint32 seed = args.size() > 2 ? args.at(2).toUInt() : 1u;
    const int pause = args.size() > 3 ? args.at(3).toInt() : 20;

    TClubBench bench(wanted, seed, pause);
    if (!bench.Start()) return 1;
    const auto [seconds, cpu] = bench.Run();
    bench.PrintReport(seed, seconds, cpu);
    return 0;
}
