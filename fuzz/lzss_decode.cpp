// Decodes arbitrary bytes as an LZSS stream into an output of a capacity
// the input chooses, and checks it against a decode with room to spare.
#include "files/lzss.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t capacity = size_t(data[0]) | size_t(data[1]) << 8;
    std::span<const uint8_t> stream(data + 2, size - 2);
    // Exactly sized, so that a write past the capacity is caught.
    auto tight = std::make_unique<uint8_t[]>(capacity);
    std::optional<size_t> n = LzssDecode(stream, {tight.get(), capacity});

    // Each group of 17 stream bytes gives at most 144 output bytes.
    const size_t roomy = (stream.size() / 17 + 1) * 144;
    auto wide = std::make_unique<uint8_t[]>(roomy);
    std::optional<size_t> m = LzssDecode(stream, {wide.get(), roomy});
    if (!m) {
        if (n)
            __builtin_trap();
        return 0;
    }
    if (n.has_value() != (*m <= capacity))
        __builtin_trap();
    if (n && (*n != *m || std::memcmp(tight.get(), wide.get(), *n) != 0))
        __builtin_trap();
    return 0;
}
