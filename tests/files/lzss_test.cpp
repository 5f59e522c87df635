#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "files/crc32.h"
#include "files/lzss.h"
#include "tests/files/codec_corpus.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromText(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::optional<Bytes> Encode(const Bytes& src) {
    Bytes out(LzssMaxPackedSize(src.size()));
    std::optional<size_t> n = LzssEncode(src, out);
    if (!n)
        return std::nullopt;
    out.resize(*n);
    return out;
}

struct EncodeCase {
    const char* name;
    std::string input;
    Bytes stream;
};

TEST(LzssTest, EncodesKnownStreams) {
    const EncodeCase cases[] = {
        {"empty", "", {}},
        {"three literals", "abc", {0x07, 'a', 'b', 'c'}},
        // One match against the spaces the window starts with: position 4060.
        {"eighteen spaces", std::string(18, ' '), {0x00, 0xDC, 0xFF}},
        {"nine literals make two groups",
         "abcdefghi",
         {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'}},
        // A literal, then a match that overlaps the bytes it produces.
        {"run", "aaaaaaaaaa", {0x01, 'a', 0xEE, 0xF6}},
        {"period three", "abcabcabcabc", {0x07, 'a', 'b', 'c', 0xEE, 0xF6}},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Encode(FromText(c.input)), c.stream);
    }
}

// Archives and saves depend on the exact stream, so any change of the
// encoder's choices on a varied input must show. (The value follows the
// sample corpus: a change there changes it too.)
TEST(LzssTest, StreamOfMixedCorpusIsStable) {
    Bytes stream = *Encode(codec_corpus::Mixed(1 << 16));
    EXPECT_EQ(stream.size(), 33212u);
    EXPECT_EQ(Crc32(stream), 0xB8D86D12u);
}

struct DecodeCase {
    const char* name;
    Bytes stream;
    std::optional<std::string> output; // nothing: the stream is refused
};

TEST(LzssTest, DecodesEdgeStreams) {
    const DecodeCase cases[] = {
        {"empty", {}, ""},
        {"lone flag byte of a match", {0x00}, ""},
        {"lone flag byte of literals", {0xFF}, ""},
        {"match into the initial spaces", {0x00, 0xDC, 0xFF}, std::string(18, ' ')},
        // The window past the spaces has not been written yet: zeros.
        {"match past the initial spaces", {0x00, 0xEE, 0xF0}, std::string(3, '\0')},
        {"match ending at the first output byte", {0x01, 'x', 0xEC, 0xF0}, "x  x"},
        {"half a match", {0x00, 0xDC}, std::nullopt},
        {"half a match after a literal", {0x01, 'a', 0x12}, std::nullopt},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(64);
        std::optional<size_t> n = LzssDecode(c.stream, out);
        ASSERT_EQ(n.has_value(), c.output.has_value());
        if (n) {
            EXPECT_EQ(std::string(out.begin(), out.begin() + *n), *c.output);
        }
    }
}

TEST(LzssTest, DecoderStaysWithinCapacity) {
    const Bytes stream = {0x01, 'a', 0xEE, 0xF6}; // ten bytes of 'a'
    constexpr uint8_t kGuard = 0xA5;
    for (size_t capacity : {0, 1, 5, 9, 10, 11}) {
        SCOPED_TRACE(capacity);
        Bytes out(capacity + 8, kGuard);
        std::optional<size_t> n = LzssDecode(stream, std::span(out).first(capacity));
        EXPECT_EQ(n, capacity < 10 ? std::nullopt : std::optional<size_t>(10));
        for (size_t i = capacity; i < out.size(); ++i)
            ASSERT_EQ(out[i], kGuard) << "written past the capacity at " << i;
    }
}

TEST(LzssTest, EncoderFailsWhenDestinationIsTooSmall) {
    Bytes src = codec_corpus::Random(1000, 3);
    Bytes out(LzssMaxPackedSize(src.size()) + 8, 0xA5);
    // Random bytes are all literals: exactly the worst case.
    EXPECT_EQ(LzssEncode(src, std::span(out).first(LzssMaxPackedSize(src.size()))),
              LzssMaxPackedSize(src.size()));
    EXPECT_FALSE(LzssEncode(src, std::span(out).first(LzssMaxPackedSize(src.size()) - 1)));
    EXPECT_FALSE(LzssEncode(FromText("abc"), std::span(out).first(3)));
    EXPECT_EQ(out[LzssMaxPackedSize(src.size())], 0xA5);
}

} // namespace
