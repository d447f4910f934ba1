#include "Players.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    // Worked out in wide arithmetic, so that no input, however absurd (a
    // rating from a hostile peer, a score far outside 0..100), can overflow.
    const long long own = Own;
    long long opponent = Opponent;
    if (own - opponent > 250) opponent = own - 250;
    int k;
    if (own < 2000)
        k = 30;
    else if (own >= 2400)
        k = 20;
    else
        k = 130 - static_cast<int>(RoundHalfEven(own / 20.0));
    const double expected = 1.0 / (1.0 + std::pow(10.0, double(opponent - own) / 400.0));
    const double change = k * (Score / 100.0 - expected);
    const double result = double(own) + double(RoundHalfEven(change));
    if (result <= 0) return 0;
    if (result >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(result);
}

int BoundedElo(long long elo) {
    return static_cast<int>(std::clamp<long long>(elo, MinElo, MaxElo));
}
