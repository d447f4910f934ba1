// Game files: writing a big PGN file of random legal games, opening it (the
// game index the record window shows) and reading single games of growing
// length (the cost per half-move must not grow with the game).
#include "bench.h"

#include "ChessModel.h"
#include "GameFile.h"
#include "GameFileIO.h"
#include "RecordText.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A random legal game in replay form, at most maxPlies half-moves. Quiet games
// avoid captures when they can, so they last long.
QStringList RandomGame(quint32 seed, int maxPlies, bool quiet) {
    QRandomGenerator rng(seed);
    TChessModel model;
    QStringList moves;
    for (int ply = 0; ply < maxPlies; ++ply) {
        std::vector<std::pair<Square, Square>> all, calm;
        const int side = model.WhiteToMove() ? 1 : 0;
        for (int f = 1; f <= 64; ++f) {
            if (model.PieceColor(ToSquare(f)) != side) continue;
            for (int t = 1; t <= 64; ++t) {
                if (!model.IsLegalMove(ToSquare(f), ToSquare(t))) continue;
                all.push_back({ToSquare(f), ToSquare(t)});
                if (model.PieceAt(ToSquare(t)) == ' ') calm.push_back(all.back());
            }
        }
        if (all.empty()) break;
        const auto& pool = quiet && !calm.empty() ? calm : all;
        const auto [from, to] = pool[rng.bounded(static_cast<quint32>(pool.size()))];
        QString move = (SquareToText(from) + SquareToText(to)).toUpper();
        const char piece = model.PieceAt(from);
        if ((piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1)) move += u'Q';
        model.SetPromotionLetter('q');
        model.DoMove(from, to);
        moves << move;
    }
    return moves;
}

TStandardGame GameOf(const QStringList& moves, int round) {
    TReplayBoard board;
    TStandardGame game;
    for (const QString& m : moves) {
        QString san;
        if (!board.PlayReplayMove(m, &san)) break;
        game.Sans << san;
    }
    game.Result = game.Sans.isEmpty() || !game.Sans.last().endsWith(u'#')
                      ? QStringLiteral("*")
                      : (game.Sans.size() % 2 ? QStringLiteral("1-0") : QStringLiteral("0-1"));
    game.Tags = {{"Event", "Bench"},
                 {"Site", "Madrid"},
                 {"Date", QStringLiteral("2024.%1.%2")
                              .arg(1 + round % 12, 2, 10, QChar(u'0'))
                              .arg(1 + round % 28, 2, 10, QChar(u'0'))},
                 {"Round", QString::number(round + 1)},
                 {"White", QStringLiteral("Jugador %1").arg(round % 97)},
                 {"Black", QStringLiteral("Rival %1").arg(round % 89)},
                 {"WhiteElo", QString::number(1500 + round % 700)}};
    return game;
}

double Ms(qint64 ns) {
    return static_cast<double>(ns) / 1e6;
}

bool ParseCount(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && *value >= low && *value <= high;
}

} // namespace

int RunPgnFile(const char* path, const char* gamesText) {
    long games = 0;
    if (!ParseCount(gamesText, 1, 1000000, &games)) {
        std::fprintf(stderr, "pgn-file: games must be a whole number from 1 to 1000000\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    // 200 different random games, repeated with other tags.
    std::vector<QStringList> pool;
    for (quint32 seed = 1; seed <= 200; ++seed)
        pool.push_back(RandomGame(seed, 80 + static_cast<int>(seed % 60), false));
    QStringList lines;
    for (long i = 0; i < games; ++i)
        lines << WriteStandardPgn(
            GameOf(pool[static_cast<std::size_t>(i) % pool.size()], static_cast<int>(i)));
    QString error;
    if (!SaveRecordLines(QString::fromLocal8Bit(path), lines, &error)) {
        std::fprintf(stderr, "pgn-file: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("games %ld lines %lld ms %.0f\n", games, static_cast<long long>(lines.size()),
                Ms(timer.nsecsElapsed()));
    return 0;
}

int RunPgnIndex(const char* path) {
    QElapsedTimer timer;
    timer.start();
    QByteArray bytes;
    QString error;
    if (!ReadGameFileBytes(QString::fromLocal8Bit(path), &bytes, &error)) {
        std::fprintf(stderr, "pgn-index: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 read = timer.nsecsElapsed();
    const TGameFile file = TGameFile::FromBytes(bytes, QString::fromLocal8Bit(path));
    const qint64 indexed = timer.nsecsElapsed();
    const TOpenedGame last = file.Read(file.Preselected());
    const qint64 opened = timer.nsecsElapsed();
    std::printf(
        "games %lld bytes %lld read ms %.1f index ms %.1f last game ms %.2f total ms %.1f\n",
        static_cast<long long>(file.Count()), static_cast<long long>(bytes.size()), Ms(read),
        Ms(indexed - read), Ms(opened - indexed), Ms(opened));
    return last.Opened() ? 0 : 1;
}

int RunPgnLength() {
    // Quiet random games, and knights going back and forth (every position
    // repeated again and again).
    QStringList longest;
    for (quint32 seed = 1; longest.size() < 800 && seed < 400; ++seed) {
        const QStringList g = RandomGame(seed, 800, true);
        if (g.size() > longest.size()) longest = g;
    }
    QStringList shuffle;
    for (int i = 0; i < 200; ++i)
        shuffle << QStringLiteral("G1F3 G8F6 F3G1 F6G8").split(u' ');
    for (const auto& [name, game] : {std::pair{"random", longest}, std::pair{"knights", shuffle}}) {
        for (qsizetype plies = 50; plies <= game.size(); plies *= 2) {
            const QByteArray text =
                WriteStandardPgn(GameOf(game.mid(0, plies), 0)).join(u'\n').toLatin1();
            std::vector<qint64> runs;
            for (int r = 0; r < 7; ++r) {
                QElapsedTimer timer;
                timer.start();
                const TOpenedGame g = TGameFile::FromBytes(text, "x.pgn").Read(0);
                runs.push_back(timer.nsecsElapsed());
                if (g.ReplayMoves.size() != plies) {
                    std::fprintf(stderr, "pgn-length: %s game of %lld plies not read: %s\n", name,
                                 static_cast<long long>(plies), qPrintable(g.Error));
                    return 1;
                }
            }
            std::sort(runs.begin(), runs.end());
            const double us = static_cast<double>(runs[runs.size() / 2]) / 1e3;
            std::printf("%s plies %lld read us %.0f us per ply %.2f\n", name,
                        static_cast<long long>(plies), us, us / static_cast<double>(plies));
        }
    }
    return 0;
}
