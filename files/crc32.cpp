#include "files/crc32.h"

#include <array>

#include "platform/endian.h"

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;
constexpr int kSlices = 16;

using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

// Table k advances the CRC over a byte followed by k zero bytes, so that a
// block of sixteen bytes is folded in with sixteen independent lookups.
constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        t[0][i] = c;
    }
    for (int k = 1; k < kSlices; ++k)
        for (uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();

// The lookups for one 32-bit word whose first byte lies `ahead` bytes
// before the end of the block.
inline uint32_t Fold(uint32_t word, int ahead) {
    return kTables[ahead][word & 0xFF] ^ kTables[ahead - 1][(word >> 8) & 0xFF] ^
           kTables[ahead - 2][(word >> 16) & 0xFF] ^ kTables[ahead - 3][word >> 24];
}

} // namespace

uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc) {
    const uint8_t* p = data.data();
    size_t n = data.size();
    uint32_t c = ~crc;
    while (n >= kSlices) {
        c = Fold(plat::LoadLE32(p) ^ c, 15) ^ Fold(plat::LoadLE32(p + 4), 11) ^
            Fold(plat::LoadLE32(p + 8), 7) ^ Fold(plat::LoadLE32(p + 12), 3);
        p += kSlices;
        n -= kSlices;
    }
    while (n-- > 0)
        c = (c >> 8) ^ kTables[0][(c ^ *p++) & 0xFF];
    return ~c;
}
