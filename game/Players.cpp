#include "Players.h"

#include <cmath>

long long RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    double r;
    if (diff < 0.5)
        r = lower;
    else if (diff > 0.5)
        r = lower + 1.0;
    else
        r = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    return static_cast<long long>(r);
}

int NewElo(int Own, int Opponent, int Score) {
    if (Own - Opponent > 250) Opponent = Own - 250;
    int k;
    if (Own < 2000)
        k = 30;
    else if (Own >= 2400)
        k = 20;
    else
        k = 130 - static_cast<int>(RoundHalfEven(Own / 20.0));
    const double expected = 1.0 / (1.0 + std::pow(10.0, (Opponent - Own) / 400.0));
    const long long result = Own + RoundHalfEven(k * (Score / 100.0 - expected));
    return result < 0 ? 0 : static_cast<int>(result);
}
