#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/crc32.h"
#include "tests/files/codec_corpus.h"

namespace {

std::span<const uint8_t> AsBytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// One bit at a time, straight from the definition.
uint32_t BitwiseCrc32(std::span<const uint8_t> data) {
    uint32_t c = 0xFFFFFFFF;
    for (uint8_t b : data) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}

TEST(Crc32Test, KnownValues) {
    const struct {
        std::string text;
        uint32_t crc;
    } cases[] = {
        {"", 0x00000000},
        {"a", 0xE8B7BE43},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Crc32(AsBytes(c.text)), c.crc) << c.text;
}

// Every length and start alignment around the block size, whole and split.
TEST(Crc32Test, MatchesDefinitionForAnyLengthAndSplit) {
    std::vector<uint8_t> data = codec_corpus::Random(300, 7);
    for (size_t start = 0; start < 8; ++start)
        for (size_t n = 0; start + n <= 80; ++n) {
            std::span<const uint8_t> part = std::span(data).subspan(start, n);
            uint32_t expected = BitwiseCrc32(part);
            ASSERT_EQ(Crc32(part), expected) << start << "+" << n;
            for (size_t split = 0; split <= n; split += 7)
                ASSERT_EQ(Crc32(part.subspan(split), Crc32(part.first(split))), expected);
        }
    EXPECT_EQ(Crc32(data), BitwiseCrc32(data));
}

} // namespace
