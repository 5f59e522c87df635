// Depacks arbitrary bytes as a bare aPLib-format stream into an output of a
// capacity the input chooses, and checks it against a depack with more room.
#include "files/aplib.h"

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
    std::optional<size_t> n = AplibDepack(stream, {tight.get(), capacity});

    constexpr size_t kRoomy = 1 << 18;
    auto wide = std::make_unique_for_overwrite<uint8_t[]>(kRoomy);
    std::optional<size_t> m = AplibDepack(stream, {wide.get(), kRoomy});
    if (n && (!m || *m != *n || std::memcmp(tight.get(), wide.get(), *n) != 0))
        __builtin_trap();
    if (m && *m <= capacity && !n)
        __builtin_trap();
    return 0;
}
