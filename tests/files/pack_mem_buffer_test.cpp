#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/aplib.h"
#include "files/lzss.h"
#include "files/pack_mem_buffer.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "tests/files/codec_corpus.h"
#include "tests/files/scratch_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::optional<Bytes> ExpandBuffer(const PackMemBuffer& buffer, uint8_t method, uint32_t packedSize,
                                  size_t capacity) {
    Bytes out(capacity);
    std::optional<size_t> n = buffer.Expand(out, method, packedSize);
    if (!n)
        return std::nullopt;
    out.resize(*n);
    return out;
}

TEST(PackMemBufferTest, BothMethodsRoundTripThroughTheBuffer) {
    const Bytes src = codec_corpus::Text(5000, 4);
    for (uint8_t method : {kMethodLzss, kMethodAplib}) {
        SCOPED_TRACE(int(method));
        PackMemBuffer buffer;
        uint32_t packed = buffer.Compress(src, method);
        ASSERT_GT(packed, 0u);
        EXPECT_EQ(buffer.PackedLength(), packed);
        EXPECT_EQ(ExpandBuffer(buffer, method, packed, src.size()), src);
        EXPECT_FALSE(ExpandBuffer(buffer, method, packed, src.size() - 1)) << "destination too small";
    }
}

// An archive entry of one or two bytes must come back: the method-6 buffer
// takes any non-empty input.
TEST(PackMemBufferTest, LzssTakesInputsOfAnyLength) {
    for (size_t n : {1, 2, 3}) {
        SCOPED_TRACE(n);
        Bytes src(n, 'q');
        PackMemBuffer buffer;
        uint32_t packed = buffer.Compress(src, kMethodLzss);
        EXPECT_EQ(packed, n + 1);
        EXPECT_EQ(buffer.Capacity(), 3 * n);
        EXPECT_EQ(ExpandBuffer(buffer, kMethodLzss, packed, n), src);
    }
    PackMemBuffer buffer;
    EXPECT_EQ(buffer.Compress({}, kMethodLzss), 0u);
}

TEST(PackMemBufferTest, AplibKeepsItsLargeBuffer) {
    const Bytes src = codec_corpus::Image(10000, 1);
    PackMemBuffer buffer;
    uint32_t first = buffer.Compress(src, kMethodAplib);
    EXPECT_EQ(buffer.Capacity(), kPackMemBufDefaultSize);
    const uint8_t* storage = buffer.Buffer();
    uint32_t second = buffer.Compress(src, kMethodAplib);
    EXPECT_EQ(buffer.Buffer(), storage) << "the buffer was set anew";
    EXPECT_EQ(second, first);
    // The container header counts in the packed length.
    EXPECT_EQ(plat::LoadLE32(buffer.Buffer()), kAplibContainerTag);
    EXPECT_EQ(plat::LoadLE32(buffer.Buffer() + 8) + kAplibContainerHeaderSize, first);
}

// A buffer left small by an earlier SetPACKMemBuf (as the archive reader
// leaves it) is replaced rather than overrun.
TEST(PackMemBufferTest, AplibReplacesABufferTooSmallForTheWorstCase) {
    const Bytes src = codec_corpus::Random(1000, 8);
    PackMemBuffer buffer;
    ASSERT_TRUE(buffer.SetPACKMemBuf(100));
    uint32_t packed = buffer.Compress(src, kMethodAplib);
    ASSERT_GT(packed, 0u);
    EXPECT_GE(buffer.Capacity(), AplibMaxContainerSize(src.size()));
    EXPECT_EQ(ExpandBuffer(buffer, kMethodAplib, packed, src.size()), src);
}

TEST(PackMemBufferTest, ExpandRefusesWhatItCannotTrust) {
    const Bytes src = codec_corpus::Text(2000, 9);
    PackMemBuffer buffer;
    EXPECT_FALSE(ExpandBuffer(buffer, kMethodAplib, 0, src.size())) << "no buffer yet";
    uint32_t packed = buffer.Compress(src, kMethodAplib);
    EXPECT_FALSE(ExpandBuffer(buffer, kMethodAplib, buffer.Capacity() + 1, src.size())) << "past the buffer";
    EXPECT_FALSE(ExpandBuffer(buffer, kMethodAplib, packed - 1, src.size())) << "cut short";
    EXPECT_FALSE(ExpandBuffer(buffer, 5, packed, src.size())) << "unknown method";
    buffer.Buffer()[kAplibContainerHeaderSize + 40] ^= 1;
    EXPECT_FALSE(ExpandBuffer(buffer, kMethodAplib, packed, src.size())) << "damaged";
}

// The archive reader's path: set the buffer to the packed size, copy the
// packed bytes in, expand.
TEST(PackMemBufferTest, ExpandsBytesCopiedIntoASetBuffer) {
    const Bytes src = codec_corpus::Text(3000, 6);
    for (uint8_t method : {kMethodLzss, kMethodAplib}) {
        SCOPED_TRACE(int(method));
        PackMemBuffer writer;
        uint32_t packed = writer.Compress(src, method);
        PackMemBuffer reader;
        ASSERT_TRUE(reader.SetPACKMemBuf(packed));
        std::copy(writer.Buffer(), writer.Buffer() + packed, reader.Buffer());
        EXPECT_EQ(ExpandBuffer(reader, method, packed, src.size()), src);
    }
}

TEST(PackMemBufferTest, UnknownMethodDoesNothing) {
    const Bytes src(100, 'z');
    Bytes out(1000);
    PackMemBuffer buffer;
    EXPECT_EQ(buffer.Compress(src, 5), 0u);
    EXPECT_EQ(buffer.Buffer(), nullptr);
    EXPECT_FALSE(PackMemBuffer::CompressBlock(src, out, 0));
    EXPECT_FALSE(PackMemBuffer::ExpandBlock(src, out, 8));
}

TEST(PackMemBufferTest, BlockFormsUseTheBareStreams) {
    const Bytes src = codec_corpus::Image(20000, 3);
    for (uint8_t method : {kMethodLzss, kMethodAplib}) {
        SCOPED_TRACE(int(method));
        Bytes packed(AplibMaxPackedSize(src.size()));
        std::optional<size_t> n = PackMemBuffer::CompressBlock(src, packed, method);
        ASSERT_TRUE(n);
        packed.resize(*n);
        Bytes bare(AplibMaxPackedSize(src.size()));
        std::optional<size_t> direct = method == kMethodLzss ? LzssEncode(src, bare) : AplibPack(src, bare);
        bare.resize(*direct);
        EXPECT_EQ(packed, bare);
        Bytes out(src.size());
        EXPECT_EQ(PackMemBuffer::ExpandBlock(packed, out, method), src.size());
        EXPECT_EQ(out, src);
    }
}

TEST(PackMemBufferTest, WritesTheLastCompression) {
    ScratchFolder folder;
    const Bytes src = codec_corpus::Text(4000, 1);
    PackMemBuffer buffer;
    uint32_t packed = buffer.Compress(src, kMethodLzss);

    plat::File closed;
    EXPECT_EQ(buffer.WriteBuffer(closed), 0u);

    plat::File file;
    ASSERT_TRUE(file.Open(folder / "data", plat::File::Mode::Write));
    ASSERT_TRUE(file.WriteExact("head", 4));
    EXPECT_EQ(buffer.WriteBuffer(file), packed);
    file.Close();
    Bytes written;
    ASSERT_TRUE(plat::ReadWholeFile(folder / "data", written));
    ASSERT_EQ(written.size(), 4 + packed);
    EXPECT_TRUE(std::equal(written.begin() + 4, written.end(), buffer.Buffer()));

    // Setting the buffer anew forgets the packed bytes.
    ASSERT_TRUE(buffer.SetPACKMemBuf(10));
    EXPECT_EQ(buffer.PackedLength(), 0u);
    ASSERT_TRUE(file.Open(folder / "more", plat::File::Mode::Write));
    EXPECT_EQ(buffer.WriteBuffer(file), 0u);
}

} // namespace
