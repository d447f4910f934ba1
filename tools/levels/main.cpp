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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString engine = "/usr/games/stockfish";
    QString uci = QCoreApplication::applicationDirPath() + "/zugaret-uci";
    QList<int> levels;
    std::multimap<int, int> anchors;
    int openings = 10;
    int movetime = 100;
    qint64 clockBase = 0, clockInc = 0;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--engine" && !next.isEmpty())
            engine = next, ++i;
        else if (a == "--uci" && !next.isEmpty())
            uci = next, ++i;
        else if (a == "--levels" && !next.isEmpty()) {
            for (const QString& l : next.split(','))
                levels << l.toInt();
            ++i;
        } else if (a == "--anchor" && next.contains(':')) {
            anchors.insert({next.section(':', 0, 0).toInt(), next.section(':', 1).toInt()});
            ++i;
        } else if (a == "--openings" && !next.isEmpty())
            openings = std::clamp(next.toInt(), 1, 10), ++i;
        else if (a == "--movetime" && !next.isEmpty())
            movetime = std::max(1, next.toInt()), ++i;
        else if (a == "--clock" && next.contains('+')) {
            clockBase = next.section('+', 0, 0).toLongLong();
            clockInc = next.section('+', 1).toLongLong();
            ++i;
        } else
            return Usage();
    }
    if (!QFileInfo(engine).isExecutable()) {
        std::fprintf(stderr, "zugaret-levels-bench: no engine at %s (apt-get install stockfish)\n",
                     qPrintable(engine));
        return 1;
    }
    if (levels.isEmpty()) {
        if (clockBase > 0)
            levels << MaxEngineLevel;
        else
            for (int l = MinEngineLevel; l <= MaxEngineLevel; ++l)
                levels << l;
    }
    std::printf(
        "opponent %s, %d openings x 2 colours, %s\n", qPrintable(engine), openings,
        clockBase > 0
            ? qPrintable(QString("both on a clock of %1 ms + %2 ms").arg(clockBase).arg(clockInc))
            : qPrintable(
                  QString("opponent %1 ms a move, ZuzPlak its level's limits").arg(movetime)));
    std::fflush(stdout);

    int status = 0;
    for (int level : levels) {
        QList<int> elos;
        for (auto [it, end] = anchors.equal_range(level); it != end; ++it)
            elos << it->second;
        if (elos.isEmpty()) elos << std::clamp(EngineLevel(level).elo, 1350, 2850);
        QList<QPair<double, double>> all;
        for (int elo : elos) {
            TUciPipe zuz(uci, {{"Skill", QByteArray::number(level)}});
            QList<QPair<QByteArray, QByteArray>> options{{"Threads", "1"},
                                                         {"Hash", "16"},
                                                         {"UCI_LimitStrength", "true"},
                                                         {"UCI_Elo", QByteArray::number(elo)}};
            // On a clock a busy machine delays every answer: Stockfish is told so.
            if (clockBase > 0 && engine.endsWith("stockfish"))
                options.append(qMakePair(QByteArray("Move Overhead"), QByteArray("100")));
            TUciPipe opponent(engine, options);
            TSideLimits zuzLimits, opponentLimits;
            opponentLimits.go = "go movetime " + QByteArray::number(movetime);
            if (clockBase > 0) {
                zuzLimits.clockMs = opponentLimits.clockMs = clockBase;
                zuzLimits.incrementMs = opponentLimits.incrementMs = clockInc;
            }
            int wins = 0, draws = 0, losses = 0, timeLosses = 0;
            qint64 leastClock = -1;
            for (int g = 0; g < 2 * openings; ++g) {
                const bool zuzWhite = g % 2 == 0;
                QString error;
                if (!zuz.Ready(&error) || !opponent.Ready(&error)) {
                    std::fprintf(stderr, "zugaret-levels-bench: %s\n", qPrintable(error));
                    return 1;
                }
                const TGameResult r = zuzWhite
                                          ? PlayUciGame(zuz, zuzLimits, opponent, opponentLimits,
                                                        QByteArray(kOpenings[g / 2]).split(' '))
                                          : PlayUciGame(opponent, opponentLimits, zuz, zuzLimits,
                                                        QByteArray(kOpenings[g / 2]).split(' '));
                const bool zuzWon = r.end == (zuzWhite ? TGameEnd::WhiteWins : TGameEnd::BlackWins);
                const bool zuzLost =
                    r.end == (zuzWhite ? TGameEnd::BlackWins : TGameEnd::WhiteWins);
                wins += zuzWon;
                losses += zuzLost;
                draws += !zuzWon && !zuzLost;
                if (r.timeLoss && zuzLost) ++timeLosses;
                const qint64 zuzLeast = r.leastClockMs[zuzWhite ? 0 : 1];
                if (clockBase > 0 && zuzLeast >= 0 && (leastClock < 0 || zuzLeast < leastClock))
                    leastClock = zuzLeast;
                all.append({double(elo), zuzWon ? 1.0 : zuzLost ? 0.0 : 0.5});
                std::printf("  level %d vs %d game %2d (%s): %s, %s after %d plies\n", level, elo,
                            g + 1, zuzWhite ? "white" : "black",
                            zuzWon    ? "won"
                            : zuzLost ? "lost"
                                      : "drawn",
                            qPrintable(r.reason), r.plies);
                std::fflush(stdout);
                if (r.reason.startsWith("illegal") && zuzLost) status = 1;
            }
            std::printf("level %d vs %d: +%d =%d -%d, %.1f/%d", level, elo, wins, draws, losses,
                        wins + draws / 2.0, wins + draws + losses);
            if (clockBase > 0)
                std::printf(", ZuzPlak time losses %d, least time left %lld ms", timeLosses,
                            static_cast<long long>(leastClock));
            std::printf("\n");
            std::fflush(stdout);
        }
        const TRatingFit fit = FitRating(all);
        std::printf("level %d: rating %.0f +- %.0f (one standard error; %lld games)\n", level,
                    fit.rating, fit.error, static_cast<long long>(all.size()));
        std::fflush(stdout);
    }
    return status;
}
