// The town plan rules of "city_config.txt": numbered block-size sets (the
// street blocks a town style may lay) and building-size sets (the target
// shares of the four house levels per town size class).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint32_t kCityConfigSets = 100;
inline constexpr uint32_t kMaxBlockSizesInFile = 21;
inline constexpr uint32_t kMaxBlockSizes = 25;

// Target percentages [size class 0..5][house level - 1].
using BuildingSizeSet = std::array<std::array<uint32_t, 4>, 6>;

struct BlockSizeSet {
    struct Size {
        uint32_t width = 0, height = 0;
    };
    std::array<Size, kMaxBlockSizes> sizes{};
    uint32_t count = 0;
};

// Clears every set, then reads the rules from text; a set number outside
// 0..99, a block set of more than 21 sizes or a building set short of its
// 24 numbers is left out with a log line naming the source. True when the
// text held nothing that was left out.
bool ParseCityConfig(std::string_view text, const std::string& source);
// Clears every set and reads "city_config.txt" of the configuration
// folder; a missing file is logged and leaves the sets empty.
bool LoadCityConfig();
// Empties every set.
void ClearCityConfig();
// Whether the rules were read (or tried) since the process started.
bool CityConfigLoaded();

// The set of a number; an empty one out of 0..99.
const BuildingSizeSet& GetBuildingSizeSet(uint32_t set);
// With the fixed sizes: the sizes as read followed by 3x3, 4x4, 3x4, 4x3.
const BlockSizeSet& GetBlockSizeSet(uint32_t set, bool withFixedSizes);
