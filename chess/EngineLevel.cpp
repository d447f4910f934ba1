// The level table.
#include "EngineLevel.h"

namespace {

// clang-format off
// Measured against Stockfish 15.1 limited by UCI_Elo at 100 ms a move; level
// 8 only guessed from four games (see BENCHMARKS.md).
constexpr TEngineLevel kLevels[MaxEngineLevel] = {
    // depth  nodes        noise  elo
    {2,       0,           200,   1000},
    {3,       0,           100,   1250},
    {4,       0,            40,   1450},
    {5,       150000,        0,   1550},
    {5,       0,             0,   1600},
    {6,       1500000,       0,   1750},
    {7,       4000000,       0,   1800},
    {8,       10000000,      0,   1850},
};
// clang-format on

} // namespace

const TEngineLevel& EngineLevel(int level) {
    if (level < MinEngineLevel) level = MinEngineLevel;
    if (level > MaxEngineLevel) level = MaxEngineLevel;
    return kLevels[level - 1];
}

TSearchLimits EngineLevelLimits(int level, std::uint32_t noiseSeed) {
    const TEngineLevel& l = EngineLevel(level);
    TSearchLimits limits;
    limits.depth = l.depth;
    limits.nodes = l.nodes;
    limits.rootNoise = l.rootNoise;
    limits.noiseSeed = noiseSeed;
    return limits;
}
