#pragma once
// Games between two UCI engines run as processes, judged on the board's own
// rules: the driver of zugaret-levels-bench.
//
// What must stay true:
//  - a move is played only when the board finds it legal; an illegal,
//    missing or late move loses the game for its engine, and a dead engine
//    is started again for the next game;
//  - a game ends at mate, stalemate, threefold repetition, too little
//    material, fifty moves without a capture or pawn move, or MaxPlies
//    (a draw);
//  - under a clock, a side whose time runs out loses, and the time each
//    move took is what the engine's own clock is charged.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// One engine process and its side of the conversation.
class TUciPipe {
public:
    TUciPipe(QString program, QList<QPair<QByteArray, QByteArray>> options);
    ~TUciPipe();
    // Starts the process (again, if it died) and waits for uciok and readyok.
    bool Ready(QString* error);
    void Send(const QByteArray& line);
    // Lines until bestmove; its move, or empty after timeoutMs or the end of the process.
    QByteArray BestMove(int timeoutMs);
    void Stop();

private:
    bool ReadUntil(const char* word, int timeoutMs, QByteArray* line);

    QString program_;
    QList<QPair<QByteArray, QByteArray>> options_;
    QProcess process_;
};

// How a side chooses its moves: "go" words (movetime, depth, ...) or a clock.
struct TSideLimits {
    QByteArray go = "go";   // used when clockMs is 0
    qint64 clockMs = 0;     // a clock: base time
    qint64 incrementMs = 0; // and increment
};

enum class TGameEnd { WhiteWins, BlackWins, Draw };

struct TGameResult {
    TGameEnd end = TGameEnd::Draw;
    QString reason;
    int plies = 0;
    bool timeLoss = false;
    qint64 leastClockMs[2] = {-1, -1}; // White's, Black's smallest time left after a move
};

constexpr int MaxPlies = 400;

// Plays one game from the opening moves; white and black are the engines.
TGameResult PlayUciGame(TUciPipe& white, const TSideLimits& whiteLimits, TUciPipe& black,
                        const TSideLimits& blackLimits, const QList<QByteArray>& opening);

// The rating that best explains a set of game scores against opponents of
// known ratings (logistic model, draws half), and its standard error.
struct TRatingFit {
    double rating = 0;
    double error = 0;
};
TRatingFit FitRating(const QList<QPair<double, double>>& opponentAndScore);
