#pragma once
// The built-in engine's levels ("Nivel" 1 to 8): what each one searches and
// about how strong it plays.
//
// A level is a depth, a node limit for the deep ones (so a move never takes
// minutes) and, for the weak ones, a random bonus added to each root move's
// score, which makes them choose among moves nearly as good as the best (a
// player of that strength misjudges too). The ratings are measured against a
// strength-limited engine by zugaret-levels-bench (see BENCHMARKS.md).
//
// What must stay true:
//  - the default level searches exactly the plies it always did, with no
//    node limit and no noise: its moves and the suite's "Bench" count stay;
//  - levels climb: depth never falls, noise never grows and a node limit
//    only ever loosens from one level to the next; so does the rating;
//  - any integer names a level: below 1 is level 1, above 8 is level 8.

#include "EngineSearch.h"

#include <cstdint>

struct TEngineLevel {
    int depth;           // plies of the deepest iteration
    std::uint64_t nodes; // node limit of one move; 0 none
    int rootNoise;       // largest random bonus of a root move, centipawns
    int elo;             // approximate rating (see BENCHMARKS.md)
};

constexpr int MinEngineLevel = 1;
constexpr int MaxEngineLevel = 8;
constexpr int DefaultEngineLevel = 5;

// The level, clamped to 1 .. 8.
const TEngineLevel& EngineLevel(int level);
// What one move of that level may search; the seed chooses the noise.
TSearchLimits EngineLevelLimits(int level, std::uint32_t noiseSeed);
