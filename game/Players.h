#pragma once
// Player records and the rating rule.

#include <QChar>
#include <QString>

// The nick and rating shown for one side of the board.
class TPlayer {
public:
    QString Nick;
    int Elo = 0;
};

// A player's rating after a game. Own and Opponent are both ratings before the
// game, Score the player's result in percent (100 win, 50 draw, 0 loss). The
// opponent counts as at most 250 points weaker; K is 30 below 2000, 20 from
// 2400, and 130 - [Own / 20] in between; [x] rounds halves to the even
// neighbour. The result is never below 0, and every input gives a defined
// result (the arithmetic cannot overflow; a result beyond the range of int
// is the largest int).
int NewElo(int Own, int Opponent, int Score);

// The ratings the program keeps and accepts: 0 to 4000. A stored or received
// rating outside is brought to the nearest end.
inline constexpr int MinElo = 0;
inline constexpr int MaxElo = 4000;
int BoundedElo(long long elo);

// x rounded to the nearest integer, halves to the even neighbour.
long long RoundHalfEven(double x);
