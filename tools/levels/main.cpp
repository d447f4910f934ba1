// zugaret-levels-bench: plays ZuzPlak's levels (zugaret-uci, option Skill)
// against a UCI engine of known strength (Stockfish with UCI_LimitStrength
// and UCI_Elo, when installed) over a fixed set of openings with both
// colours, and prints each level's score and estimated rating.
//
//   zugaret-levels-bench [--engine /usr/games/stockfish] [--uci PATH]
//       [--levels 1,2,3] [--anchor LEVEL:ELO]... [--openings N] [--movetime MS]
//   zugaret-levels-bench --clock 1000+100 [--openings N] [--anchor 8:2000]
//       ZuzPlak at full strength on a clock against the same engine on the
//       same clock: time losses, and the least time ZuzPlak had left.
#include "EngineLevel.h"
#include "UciMatch.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <map>

namespace {

// Ten openings of the main families, played from both sides.
const char* const kOpenings[] = {
    "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",           // Ruy Lopez
    "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6", // Sicilian
    "e2e4 e7e6 d2d4 d7d5",                     // French
    "e2e4 c7c6 d2d4 d7d5",                     // Caro-Kann
    "d2d4 d7d5 c2c4 e7e6 b1c3 g8f6",           // Queen's Gambit Declined
    "d2d4 g8f6 c2c4 g7g6 b1c3 f8g7",           // King's Indian
    "c2c4 e7e5 b1c3 g8f6",                     // English
    "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5",           // Italian
    "d2d4 d7d5 c2c4 c7c6",                     // Slav
    "g1f3 d7d5 g2g3 g8f6 f1g2",                // Reti
};

int Usage() {
    std::fputs("usage: zugaret-levels-bench [--engine PATH] [--uci PATH] [--levels 1,2,...]\n"
               "       [--anchor LEVEL:ELO]... [--openings 1-10] [--movetime MS]\n"
               "       [--clock BASE+INC (milliseconds)]\n",
               stderr);
    return 2;
}

struct TBenchOptions {
    QString engine = "/usr/games/stockfish";
    QString uci = QCoreApplication::applicationDirPath() + "/zugaret-uci";
    QList<int> levels;
    std::multimap<int, int> anchors; // level, the opponent's Elo
    int openings = 10;
    int movetime = 100;
    qint64 clockBase = 0, clockInc = 0; // no clock while clockBase is 0
};

// ZuzPlak's games against one opponent rating.
struct TTally {
    int wins = 0, draws = 0, losses = 0, timeLosses = 0;
    qint64 leastClock = -1;              // the least time ZuzPlak had left
    QList<QPair<double, double>> scores; // the opponent's Elo, ZuzPlak's score
    bool illegalLoss = false;            // ZuzPlak lost by an illegal move
};

// Reads the words after the program's name; false on one it does not know.
bool ReadOptions(const QStringList& args, TBenchOptions& o) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--engine" && !next.isEmpty())
            o.engine = next, ++i;
        else if (a == "--uci" && !next.isEmpty())
            o.uci = next, ++i;
        else if (a == "--levels" && !next.isEmpty()) {
            for (const QString& l : next.split(','))
                o.levels << l.toInt();
            ++i;
        } else if (a == "--anchor" && next.contains(':')) {
            o.anchors.insert({next.section(':', 0, 0).toInt(), next.section(':', 1).toInt()});
            ++i;
        } else if (a == "--openings" && !next.isEmpty())
            o.openings = std::clamp(next.toInt(), 1, 10), ++i;
        else if (a == "--movetime" && !next.isEmpty())
            o.movetime = std::max(1, next.toInt()), ++i;
        else if (a == "--clock" && next.contains('+')) {
            o.clockBase = next.section('+', 0, 0).toLongLong();
            o.clockInc = next.section('+', 1).toLongLong();
            ++i;
        } else
            return false;
    }
    return true;
}

// Without --levels: full strength on a clock, else every level.
QList<int> DefaultLevels(const TBenchOptions& o) {
    if (o.clockBase > 0) return {MaxEngineLevel};
    QList<int> levels;
    for (int l = MinEngineLevel; l <= MaxEngineLevel; ++l)
        levels << l;
    return levels;
}

// The opponent ratings for a level: its anchors, else the level's own estimate.
QList<int> OpponentElos(const TBenchOptions& o, int level) {
    QList<int> elos;
    for (auto [it, end] = o.anchors.equal_range(level); it != end; ++it)
        elos << it->second;
    if (elos.isEmpty()) elos << std::clamp(EngineLevel(level).elo, 1350, 2850);
    return elos;
}

QList<QPair<QByteArray, QByteArray>> OpponentOptions(const TBenchOptions& o, int elo) {
    QList<QPair<QByteArray, QByteArray>> options{{"Threads", "1"},
                                                 {"Hash", "16"},
                                                 {"UCI_LimitStrength", "true"},
                                                 {"UCI_Elo", QByteArray::number(elo)}};
    // On a clock a busy machine delays every answer: Stockfish is told so.
    if (o.clockBase > 0 && o.engine.endsWith("stockfish"))
        options.append(qMakePair(QByteArray("Move Overhead"), QByteArray("100")));
    return options;
}

// Game g of a match: opening g / 2, ZuzPlak White in the even games.
void CountGame(const TBenchOptions& o, int level, int elo, int g, const TGameResult& r, TTally& t) {
    const bool zuzWhite = g % 2 == 0;
    const bool zuzWon = r.end == (zuzWhite ? TGameEnd::WhiteWins : TGameEnd::BlackWins);
    const bool zuzLost = r.end == (zuzWhite ? TGameEnd::BlackWins : TGameEnd::WhiteWins);
    t.wins += zuzWon;
    t.losses += zuzLost;
    t.draws += !zuzWon && !zuzLost;
    if (r.timeLoss && zuzLost) ++t.timeLosses;
    const qint64 zuzLeast = r.leastClockMs[zuzWhite ? 0 : 1];
    if (o.clockBase > 0 && zuzLeast >= 0 && (t.leastClock < 0 || zuzLeast < t.leastClock))
        t.leastClock = zuzLeast;
    t.scores.append({double(elo), zuzWon ? 1.0 : zuzLost ? 0.0 : 0.5});
    std::printf("  level %d vs %d game %2d (%s): %s, %s after %d plies\n", level, elo, g + 1,
                zuzWhite ? "white" : "black",
                zuzWon    ? "won"
                : zuzLost ? "lost"
                          : "drawn",
                qPrintable(r.reason), r.plies);
    std::fflush(stdout);
    if (r.reason.startsWith("illegal") && zuzLost) t.illegalLoss = true;
}

void PrintTally(const TBenchOptions& o, int level, int elo, const TTally& t) {
    std::printf("level %d vs %d: +%d =%d -%d, %.1f/%d", level, elo, t.wins, t.draws, t.losses,
                t.wins + t.draws / 2.0, t.wins + t.draws + t.losses);
    if (o.clockBase > 0)
        std::printf(", ZuzPlak time losses %d, least time left %lld ms", t.timeLosses,
                    static_cast<long long>(t.leastClock));
    std::printf("\n");
    std::fflush(stdout);
}

// Level against an opponent of elo over every opening with both colours;
// false when an engine cannot be started.
bool PlayMatch(const TBenchOptions& o, int level, int elo, TTally& t) {
    TUciPipe zuz(o.uci, {{"Skill", QByteArray::number(level)}});
    TUciPipe opponent(o.engine, OpponentOptions(o, elo));
    TSideLimits zuzLimits, opponentLimits;
    opponentLimits.go = "go movetime " + QByteArray::number(o.movetime);
    if (o.clockBase > 0) {
        zuzLimits.clockMs = opponentLimits.clockMs = o.clockBase;
        zuzLimits.incrementMs = opponentLimits.incrementMs = o.clockInc;
    }
    for (int g = 0; g < 2 * o.openings; ++g) {
        QString error;
        if (!zuz.Ready(&error) || !opponent.Ready(&error)) {
            std::fprintf(stderr, "zugaret-levels-bench: %s\n", qPrintable(error));
            return false;
        }
        const QList<QByteArray> opening = QByteArray(kOpenings[g / 2]).split(' ');
        const TGameResult r = g % 2 == 0
                                  ? PlayUciGame(zuz, zuzLimits, opponent, opponentLimits, opening)
                                  : PlayUciGame(opponent, opponentLimits, zuz, zuzLimits, opening);
        CountGame(o, level, elo, g, r, t);
    }
    PrintTally(o, level, elo, t);
    return true;
}

void PrintSetting(const TBenchOptions& o) {
    std::printf(
        "opponent %s, %d openings x 2 colours, %s\n", qPrintable(o.engine), o.openings,
        o.clockBase > 0
            ? qPrintable(
                  QString("both on a clock of %1 ms + %2 ms").arg(o.clockBase).arg(o.clockInc))
            : qPrintable(QString("opponent %1 ms a move, ZuzPlak its level's "
                                 "limits")
                             .arg(o.movetime)));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    TBenchOptions o;
    if (!ReadOptions(QCoreApplication::arguments().mid(1), o)) return Usage();
    if (!QFileInfo(o.engine).isExecutable()) {
        std::fprintf(stderr, "zugaret-levels-bench: no engine at %s (apt-get install stockfish)\n",
                     qPrintable(o.engine));
        return 1;
    }
    if (o.levels.isEmpty()) o.levels = DefaultLevels(o);
    PrintSetting(o);

    int status = 0;
    for (int level : o.levels) {
        QList<QPair<double, double>> all;
        for (int elo : OpponentElos(o, level)) {
            TTally t;
            if (!PlayMatch(o, level, elo, t)) return 1;
            all += t.scores;
            if (t.illegalLoss) status = 1;
        }
        const TRatingFit fit = FitRating(all);
        std::printf("level %d: rating %.0f +- %.0f (one standard error; %lld games)\n", level,
                    fit.rating, fit.error, static_cast<long long>(all.size()));
        std::fflush(stdout);
    }
    return status;
}
