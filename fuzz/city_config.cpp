// Reads arbitrary text as the towns' plan rules: the reader keeps every set
// within its bounds (set numbers 0..99, at most 25 block sizes with the
// fixed ones) and never reads past the text.
#include "economy/city_config.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseCityConfig(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
    for (uint32_t set = 0; set < kCityConfigSets; ++set)
        if (GetBlockSizeSet(set, false).count > kMaxBlockSizesInFile ||
            GetBlockSizeSet(set, true).count > kMaxBlockSizes)
            __builtin_trap();
    return 0;
}
