// The level table.
#include "EngineLevel.h"

namespace {

// clang-format off
constexpr TEngineLevel kLevels[MaxEngineLevel] = {
    // depth  nodes        noise  elo
    {2,       0,           200,   1000},
    {3,       0,           100,   1200},
    {4,       0,            40,   1400},
    {5,       150000,        0,   1700},
    {5,       0,             0,   1950},
    {6,       1500000,       0,   2100},
    {7,       4000000,       0,   2200},
    {8,       10000000,      0,   2300},
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
