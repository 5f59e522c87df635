#include <gtest/gtest.h>

#include <bit>
#include <optional>
#include <string>
#include <vector>

#include "files/aplib.h"
#include "files/crc32.h"
#include "files/lzss.h"
#include "platform/endian.h"
#include "tests/files/codec_corpus.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromText(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Lays out a stream from raw token fields: control bits go into tag bytes
// that are placed where their first bit is needed and filled from the top.
class StreamBuilder {
public:
    explicit StreamBuilder(uint8_t first) { bytes_.push_back(first); }

    StreamBuilder& Literal(uint8_t b) { return Bits(0, 1).Byte(b); }
    StreamBuilder& Normal(uint32_t high, uint8_t low, uint32_t length) {
        return Bits(0b10, 2).Gamma(high).Byte(low).Gamma(length);
    }
    StreamBuilder& Repeat(uint32_t length) { return Bits(0b10, 2).Gamma(2).Gamma(length); }
    StreamBuilder& Short(uint8_t b) { return Bits(0b110, 3).Byte(b); }
    StreamBuilder& Near(uint32_t offset) { return Bits(0b111, 3).Bits(offset, 4); }
    StreamBuilder& End() { return Short(0); }

    StreamBuilder& Byte(uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    StreamBuilder& Bits(uint32_t value, int count) {
        while (count-- > 0)
            Bit((value >> count) & 1);
        return *this;
    }
    StreamBuilder& Gamma(uint32_t v) {
        for (int k = std::bit_width(v) - 2; k >= 0; --k)
            Bits((v >> k) & 1, 1).Bits(k > 0, 1);
        return *this;
    }

    Bytes Get() const { return bytes_; }

private:
    void Bit(uint32_t bit) {
        if (free_ == 0) {
            tag_ = bytes_.size();
            bytes_.push_back(0);
            free_ = 8;
        }
        --free_;
        bytes_[tag_] |= uint8_t(bit << free_);
    }

    Bytes bytes_;
    size_t tag_ = 0;
    int free_ = 0;
};

std::optional<Bytes> Depack(const Bytes& stream, size_t capacity = 1 << 20) {
    Bytes out(capacity);
    std::optional<size_t> n = AplibDepack(stream, out);
    if (!n)
        return std::nullopt;
    out.resize(*n);
    return out;
}

std::optional<Bytes> Pack(const Bytes& src) {
    Bytes out(AplibMaxPackedSize(src.size()));
    std::optional<size_t> n = AplibPack(src, out);
    if (!n)
        return std::nullopt;
    out.resize(*n);
    return out;
}

struct DepackCase {
    const char* name;
    Bytes stream;
    std::optional<std::string> output; // nothing: the stream is refused
};

TEST(AplibDepackTest, ReadsEachToken) {
    const DepackCase cases[] = {
        {"first byte, literal, end", {0x61, 0x60, 0x62, 0x00}, "ab"},
        {"one-byte match one back", {0x61, 0xE3, 0x80, 0x00}, "aa"},
        {"normal match after literals", {0x61, 0x29, 0x62, 0x63, 0x03, 0x30, 0x00}, "abcabcabc"},
        {"one-byte match of a zero", StreamBuilder('a').Near(0).End().Get(), std::string("a\0", 2)},
        {"short match", StreamBuilder('a').Literal('b').Short(2 << 1 | 1).End().Get(), "ababa"},
        {"repeat of the last offset after a literal",
         StreamBuilder('a').Literal('b').Literal('c').Normal(3, 3, 4).Literal('x').Repeat(2).End().Get(),
         "abcabcabcxbc"},
        // After a match the high part is one less: 2 means offset 0x0xx.
        {"normal match right after a match",
         StreamBuilder('a').Literal('b').Literal('c').Literal('d').Short(4 << 1).Normal(2, 3, 2).End().Get(),
         "abcdabdabd"},
        {"bytes after the end token are ignored", {0x61, 0x60, 0x62, 0x00, 0xFF, 0xFF}, "ab"},
        {"empty stream", {}, ""},
    };
    for (const DepackCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<Bytes> out = Depack(c.stream);
        ASSERT_EQ(out.has_value(), c.output.has_value());
        if (out) {
            EXPECT_EQ(std::string(out->begin(), out->end()), *c.output);
        }
    }
}

// A normal match stores its length less 2 below offset 128, as it is from
// 128, less 1 from 1280 and less 2 again from 32000.
TEST(AplibDepackTest, LengthBiasFollowsOffset) {
    const struct {
        uint32_t offset;
        size_t length; // for a stored length of 2
    } cases[] = {{127, 4}, {128, 2}, {1279, 2}, {1280, 3}, {31999, 3}, {32000, 4}, {40002, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        // "b", 40001 times "a", "c", then the match under test.
        Bytes stream = StreamBuilder('b')
                           .Literal('a')
                           .Normal(3, 1, 40000 - 2)
                           .Literal('c')
                           .Normal((c.offset >> 8) + 3, uint8_t(c.offset), 2)
                           .End()
                           .Get();
        Bytes expected(1, 'b');
        expected.insert(expected.end(), 40001, 'a');
        expected.push_back('c');
        for (size_t k = 0; k < c.length; ++k)
            expected.push_back(expected[expected.size() - c.offset]);
        EXPECT_EQ(Depack(stream), expected);
    }
}

TEST(AplibDepackTest, RefusesMalformedStreams) {
    const Bytes valid = {0x61, 0x29, 0x62, 0x63, 0x03, 0x30, 0x00};
    std::vector<std::pair<std::string, Bytes>> cases = {
        {"offset before the first byte", StreamBuilder('a').Normal(3, 5, 2).End().Get()},
        {"repeat before any match", StreamBuilder('a').Repeat(2).End().Get()},
        {"offset zero", StreamBuilder('a').Normal(3, 0, 2).End().Get()},
        {"one-byte match before the first byte", StreamBuilder('a').Near(2).End().Get()},
        {"no end token", StreamBuilder('a').Literal('b').Get()},
        {"endless gamma", StreamBuilder('a').Bits(0b10, 2).Bits(~0u, 32).Bits(~0u, 32).Byte(1).Get()},
    };
    for (size_t n = 1; n < valid.size(); ++n)
        cases.push_back(
            {"cut after " + std::to_string(n) + " bytes", Bytes(valid.begin(), valid.begin() + n)});
    for (const auto& [name, stream] : cases)
        EXPECT_FALSE(Depack(stream)) << name;
}

TEST(AplibDepackTest, StaysWithinCapacity) {
    const Bytes stream = {0x61, 0x29, 0x62, 0x63, 0x03, 0x30, 0x00}; // "abcabcabc"
    constexpr uint8_t kGuard = 0xA5;
    for (size_t capacity : {0, 1, 3, 4, 8, 9, 10}) {
        SCOPED_TRACE(capacity);
        Bytes out(capacity + 8, kGuard);
        std::optional<size_t> n = AplibDepack(stream, std::span(out).first(capacity));
        EXPECT_EQ(n, capacity < 9 ? std::nullopt : std::optional<size_t>(9));
        for (size_t i = capacity; i < out.size(); ++i)
            ASSERT_EQ(out[i], kGuard) << "written past the capacity at " << i;
    }
}

TEST(AplibDepackTest, GrowingOutputFollowsWhatTheStreamProduces) {
    const Bytes text = codec_corpus::Text(300000, 3);
    const Bytes stream = [&] {
        Bytes out(AplibMaxPackedSize(text.size()));
        out.resize(*AplibPack(text, out));
        return out;
    }();
    // A 12-byte stream whose one match claims 2^31 bytes.
    const Bytes bomb = StreamBuilder('a').Literal('b').Normal(3, 1, 1u << 31).End().Get();
    struct Case {
        const char* name;
        const Bytes& stream;
        size_t limit;
        bool ok;
    };
    const Case cases[] = {
        {"whole at its own size", stream, text.size(), true},
        {"whole below a roomy limit", stream, size_t(1) << 30, true},
        {"one byte over the limit", stream, text.size() - 1, false},
        {"a match beyond the limit", bomb, size_t(1) << 30, false},
        {"empty", Bytes{}, 0, true},
    };
    for (const Case& c : cases) {
        Bytes out = {1, 2, 3};
        std::optional<size_t> n = AplibDepackGrowing(c.stream, out, c.limit);
        EXPECT_EQ(n.has_value(), c.ok) << c.name;
        EXPECT_EQ(out.size(), n.value_or(0)) << c.name;
        if (c.ok && !c.stream.empty()) {
            EXPECT_EQ(out, text) << c.name;
        }
        // Never more room than twice what was produced, or the first step.
        EXPECT_LE(out.capacity(), std::max<size_t>(2 * text.size(), 1 << 16)) << c.name;
    }
}

TEST(AplibPackTest, TinyInputs) {
    EXPECT_EQ(Pack({}), Bytes{});
    // One byte is the first byte and the end token.
    EXPECT_EQ(Pack(FromText("x")), (Bytes{'x', 0xC0, 0x00}));
    std::optional<Bytes> two = Pack(FromText("xx"));
    ASSERT_TRUE(two);
    EXPECT_EQ((*two)[0], 'x');
    EXPECT_EQ(Depack(*two), FromText("xx"));
}

TEST(AplibPackTest, ZerosPackTightly) {
    Bytes zeros(1000, 0);
    std::optional<Bytes> packed = Pack(zeros);
    ASSERT_TRUE(packed);
    EXPECT_LT(packed->size(), 16u);
    EXPECT_EQ(Depack(*packed, 1000), zeros);
}

// The parser should find what LZSS finds and more: a parser that fell back
// to literals, or lost long matches, shows here.
TEST(AplibPackTest, BeatsLzssOnTextAndImages) {
    for (codec_corpus::Kind kind : {codec_corpus::Kind::Text, codec_corpus::Kind::Image}) {
        SCOPED_TRACE(codec_corpus::KindName(kind));
        Bytes src = codec_corpus::Make(kind, 1 << 16);
        Bytes lzss(LzssMaxPackedSize(src.size()));
        size_t lzssSize = *LzssEncode(src, lzss);
        std::optional<Bytes> packed = Pack(src);
        ASSERT_TRUE(packed);
        EXPECT_LT(packed->size(), lzssSize);
        EXPECT_EQ(Depack(*packed, src.size()), src);
    }
}

TEST(AplibPackTest, FindsRepeatsAcrossTheWindow) {
    const struct {
        size_t blockSize;
        bool withinReach;
    } cases[] = {{2000, true}, {40000, true}, {91000, true}, {100000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blockSize);
        Bytes src = codec_corpus::Random(c.blockSize, 11);
        src.insert(src.end(), src.begin(), src.end());
        std::optional<Bytes> packed = Pack(src);
        ASSERT_TRUE(packed);
        if (c.withinReach) {
            EXPECT_LT(packed->size(), c.blockSize + c.blockSize / 8 + 64);
        }
        EXPECT_EQ(Depack(*packed, src.size()), src);
    }
}

TEST(AplibPackTest, FailsWhenDestinationIsTooSmall) {
    Bytes src = codec_corpus::Random(1000, 5);
    Bytes out(2000, 0xA5);
    EXPECT_FALSE(AplibPack(src, std::span(out).first(1000)));
    EXPECT_FALSE(AplibPack(src, std::span(out).first(0)));
    for (size_t i = 1000; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0xA5) << "written past the destination at " << i;
}

Bytes PackContainer(const Bytes& src) {
    Bytes out(AplibMaxContainerSize(src.size()));
    out.resize(*AplibPackContainer(src, out));
    return out;
}

std::optional<Bytes> UnpackContainer(const Bytes& container, size_t capacity) {
    Bytes out(capacity);
    std::optional<size_t> n = AplibUnpackContainer(container, out);
    if (!n)
        return std::nullopt;
    out.resize(*n);
    return out;
}

TEST(AplibContainerTest, HeaderDescribesTheStream) {
    Bytes zeros(1000, 0);
    Bytes c = PackContainer(zeros);
    ASSERT_GE(c.size(), kAplibContainerHeaderSize + 3);
    std::span<const uint8_t> stream = std::span(c).subspan(kAplibContainerHeaderSize);
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 4), FromText("AP32"));
    EXPECT_EQ(plat::LoadLE32(&c[4]), 24u);
    EXPECT_EQ(plat::LoadLE32(&c[8]), stream.size());
    EXPECT_EQ(plat::LoadLE32(&c[12]), Crc32(stream));
    EXPECT_EQ(plat::LoadLE32(&c[16]), 1000u);
    EXPECT_EQ(plat::LoadLE32(&c[20]), Crc32(zeros));
    EXPECT_EQ(Depack(Bytes(stream.begin(), stream.end())), zeros);
    EXPECT_EQ(AplibContainerUnpackedSize(c), 1000u);
    EXPECT_EQ(UnpackContainer(c, 1000), zeros);
}

TEST(AplibContainerTest, RefusesDamage) {
    const Bytes src = codec_corpus::Text(3000, 2);
    const Bytes good = PackContainer(src);
    auto patched = [&good](size_t at, uint32_t value) {
        Bytes c = good;
        plat::StoreLE32(&c[at], value);
        return c;
    };
    auto flipped = [&good](size_t at) {
        Bytes c = good;
        c[at] ^= 0x10;
        return c;
    };
    const uint32_t packedSize = plat::LoadLE32(&good[8]);
    const std::pair<const char*, Bytes> cases[] = {
        {"wrong tag", patched(0, 0x32335042)},
        {"header size 23", patched(4, 23)},
        {"header size past the end", patched(4, uint32_t(good.size()) + 1)},
        {"packed size past the end", patched(8, packedSize + 1)},
        {"packed size short", patched(8, packedSize - 1)},
        {"packed crc", patched(12, plat::LoadLE32(&good[12]) ^ 1)},
        {"unpacked size larger", patched(16, uint32_t(src.size()) + 1)},
        {"unpacked size smaller", patched(16, uint32_t(src.size()) - 1)},
        {"unpacked crc", patched(20, plat::LoadLE32(&good[20]) ^ 1)},
        {"packed byte", flipped(kAplibContainerHeaderSize + 10)},
        {"cut short", Bytes(good.begin(), good.end() - 1)},
        {"header only", Bytes(good.begin(), good.begin() + 20)},
    };
    ASSERT_EQ(UnpackContainer(good, src.size()), src);
    for (const auto& [name, container] : cases)
        EXPECT_FALSE(UnpackContainer(container, src.size() + 16)) << name;
    EXPECT_FALSE(UnpackContainer(good, src.size() - 1)) << "destination too small";
    EXPECT_FALSE(AplibContainerUnpackedSize(patched(4, 23)));
    EXPECT_FALSE(AplibContainerUnpackedSize(Bytes(good.begin(), good.begin() + 23)));
}

// The stream starts where the header size says, so a longer header is read.
TEST(AplibContainerTest, AnnouncedSizesCostNothingUntilTheStreamProducesThem) {
    const Bytes text = FromText("announced sizes are claims, not bytes");
    Bytes container = PackContainer(text);
    std::vector<uint8_t> out;
    ASSERT_TRUE(AplibUnpackContainerGrowing(container, out));
    EXPECT_EQ(out, text);

    // The same stream announcing 1 GiB: refused after a few bytes of work.
    plat::StoreLE32(container.data() + 16, 1u << 30);
    EXPECT_FALSE(AplibUnpackContainerGrowing(container, out));
    EXPECT_TRUE(out.empty());
    EXPECT_LE(out.capacity(), size_t(1) << 16);
}

TEST(AplibContainerTest, LongerHeaderIsSkipped) {
    const Bytes src = FromText("a longer header, a longer header");
    Bytes c = PackContainer(src);
    c.insert(c.begin() + kAplibContainerHeaderSize, 4, 0xEE);
    plat::StoreLE32(&c[4], kAplibContainerHeaderSize + 4);
    EXPECT_EQ(UnpackContainer(c, src.size()), src);
}

} // namespace
