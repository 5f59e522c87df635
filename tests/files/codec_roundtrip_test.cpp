#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

#include "files/aplib.h"
#include "files/lzss.h"
#include "tests/files/codec_corpus.h"

namespace {

using Bytes = std::vector<uint8_t>;

enum class Codec { Lzss, Aplib, AplibContainer };

const char* CodecName(Codec codec) {
    switch (codec) {
    case Codec::Lzss:
        return "Lzss";
    case Codec::Aplib:
        return "Aplib";
    case Codec::AplibContainer:
        return "AplibContainer";
    }
    return "?";
}

size_t WorstCase(Codec codec, size_t n) {
    switch (codec) {
    case Codec::Lzss:
        return LzssMaxPackedSize(n);
    case Codec::Aplib:
        return AplibMaxPackedSize(n);
    case Codec::AplibContainer:
        return AplibMaxContainerSize(n);
    }
    return 0;
}

std::optional<size_t> Pack(Codec codec, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    switch (codec) {
    case Codec::Lzss:
        return LzssEncode(src, dst);
    case Codec::Aplib:
        return AplibPack(src, dst);
    case Codec::AplibContainer:
        return AplibPackContainer(src, dst);
    }
    return std::nullopt;
}

std::optional<size_t> Unpack(Codec codec, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    switch (codec) {
    case Codec::Lzss:
        return LzssDecode(src, dst);
    case Codec::Aplib:
        return AplibDepack(src, dst);
    case Codec::AplibContainer:
        return AplibUnpackContainer(src, dst);
    }
    return std::nullopt;
}

using RoundTripParam = std::tuple<Codec, codec_corpus::Kind, size_t>;

class CodecRoundTripTest : public ::testing::TestWithParam<RoundTripParam> {};

// Packs into exactly the worst case, unpacks into exactly the input's size,
// and one byte less must be refused.
TEST_P(CodecRoundTripTest, GivesTheInputBack) {
    const auto [codec, kind, size] = GetParam();
    const Bytes src = codec_corpus::Make(kind, size);
    Bytes packed(WorstCase(codec, size));
    std::optional<size_t> packedSize = Pack(codec, src, packed);
    ASSERT_TRUE(packedSize);
    packed.resize(*packedSize);

    Bytes out(size);
    EXPECT_EQ(Unpack(codec, packed, out), size);
    EXPECT_TRUE(out == src);
    if (size > 0) {
        EXPECT_FALSE(Unpack(codec, packed, std::span(out).first(size - 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CodecRoundTripTest,
    ::testing::Combine(::testing::Values(Codec::Lzss, Codec::Aplib, Codec::AplibContainer),
                       ::testing::Values(codec_corpus::Kind::Text, codec_corpus::Kind::Image,
                                         codec_corpus::Kind::Zeros, codec_corpus::Kind::Random),
                       ::testing::Values(0, 1, 2, 3, 4095, 4096, 4097, 1000000)),
    [](const ::testing::TestParamInfo<RoundTripParam>& p) {
        return std::string(CodecName(std::get<0>(p.param))) + "_" +
               codec_corpus::KindName(std::get<1>(p.param)) + "_" + std::to_string(std::get<2>(p.param));
    });

} // namespace
