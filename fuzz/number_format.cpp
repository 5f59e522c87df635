// Fills arbitrary grouping patterns with arbitrary values: the first eight
// bytes are the value, the rest the pattern.
#include "data/number_format.h"

#include "data/generated/tables.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    uint64_t value = 0;
    std::memcpy(&value, data, 8);
    std::string_view pattern(reinterpret_cast<const char*>(data + 8), size - 8);

    int index = NumberFormatIndex(int64_t(value));
    if (index < 0 || index >= kNumberFormatCount)
        std::abort();
    std::array<uint64_t, 4> groups{};
    SplitThousands(value, groups[0], groups[1], groups[2], groups[3]);
    if (groups[1] > 999 || groups[2] > 999 || groups[3] > 999)
        std::abort();
    for (size_t count = 0; count <= groups.size(); ++count)
        if (FillNumberPattern(pattern, std::span(groups.data(), count)).size() > kMaxFormattedNumberLength)
            std::abort();

    // The same pattern as the database's text for the value's number format.
    InterfaceTextContainerTable::SetText_(4000 + index, std::string(pattern).c_str());
    if (FormatNumber(int64_t(value)).size() > kMaxFormattedNumberLength)
        std::abort();
    InterfaceTextContainerTable::Clear();
    return 0;
}
