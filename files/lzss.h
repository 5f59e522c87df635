// LZSS codec (compression method 6): a 4096-byte window, matches of 3 to 18
// bytes, flag bits least significant first. Archives and saves made with it
// depend on its output bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The largest encoding of n bytes: every byte a literal, one flag byte per eight.
constexpr size_t LzssMaxPackedSize(size_t n) {
    return n + (n + 7) / 8;
}

// Encodes src into dst; the packed length, or nothing when dst is too small.
// Any length is accepted: empty input gives an empty stream, and inputs too
// short for a match come out as literals.
std::optional<size_t> LzssEncode(std::span<const uint8_t> src, std::span<uint8_t> dst);

// Decodes the whole of src into dst; the number of bytes written, or nothing
// when the output would not fit into dst or the stream ends inside a match.
// A stream that ends after a flag byte is complete. Never reads or writes
// out of bounds; on failure dst holds what was decoded before the fault.
std::optional<size_t> LzssDecode(std::span<const uint8_t> src, std::span<uint8_t> dst);
