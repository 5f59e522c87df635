#include "engine/asset_log.h"
#include "engine/tga_reader.h"
#include "engine/tga_writer.h"
#include "platform/endian.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A 5 x 3 picture with distinct colours, some runs and a few alpha values.
std::vector<uint32_t> Sample() {
    return {
        0xFF102030, 0xFF102030, 0xFF102030, 0x80405060, 0x00FF00FF, // row 0
        0xFFAA0000, 0xFF00BB00, 0xFF0000CC, 0xFF0000CC, 0x7F123456, // row 1
        0x00000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, // row 2
    };
}

std::vector<uint32_t> Opaque(std::vector<uint32_t> pixels) {
    for (uint32_t& p : pixels)
        p |= 0xFF000000u;
    return pixels;
}

// A raw header for hand-made files.
std::vector<uint8_t> Header(uint8_t type, uint16_t w, uint16_t h, uint8_t depth, uint8_t descriptor = 0,
                            uint8_t idLength = 0, uint8_t colourMap = 0) {
    std::vector<uint8_t> out(18, 0);
    out[0] = idLength;
    out[1] = colourMap;
    out[2] = type;
    plat::StoreLE16(&out[12], w);
    plat::StoreLE16(&out[14], h);
    out[16] = depth;
    out[17] = descriptor;
    return out;
}

struct RoundTrip {
    const char* name;
    TgaWriteOptions options;
};

TEST(TgaReader, DecodesEveryWrittenLayoutToTheSamePicture) {
    const RoundTrip cases[] = {
        {"32 raw bottom-up", {32, false, false, {}}},
        {"32 raw top-down", {32, false, true, {}}},
        {"32 rle bottom-up", {32, true, false, {}}},
        {"32 rle top-down", {32, true, true, {}}},
        {"24 raw", {24, false, false, {}}},
        {"24 raw top-down", {24, false, true, {}}},
        {"24 rle", {24, true, false, {}}},
    };
    const auto picture = Sample();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = WriteTga(picture, 5, 3, c.options);
        ASSERT_FALSE(file.empty());
        int32_t w = 0, h = 0;
        auto decoded = ReadTga(file.data(), file.size(), w, h);
        EXPECT_EQ(w, 5);
        EXPECT_EQ(h, 3);
        EXPECT_EQ(decoded, c.options.bitsPerPixel == 24 ? Opaque(picture) : picture);
    }
}

TEST(TgaReader, GreyIsWhiteWithTheGreyAsAlphaAndAlwaysBottomUp) {
    // Two rows: bottom row stored first. Descriptor bit 5 must not flip grey.
    auto file = Header(3, 2, 2, 8, 0x20);
    file.insert(file.end(), {0x10, 0x20, 0x30, 0x40});
    int32_t w = 0, h = 0;
    auto decoded = ReadTga(file.data(), file.size(), w, h);
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0x30303030, 0x40404040, 0x10101010, 0x20202020}));
}

TEST(TgaReader, DescriptorBitFourReversesColumnsAndStoresRowsTopFirst) {
    // True colour: bit 4 alone makes the rows top-down and the columns right to left.
    auto file = Header(2, 2, 2, 24, 0x10);
    file.insert(file.end(), {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0});
    int32_t w = 0, h = 0;
    auto decoded = ReadTga(file.data(), file.size(), w, h);
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0xFF000002, 0xFF000001, 0xFF000004, 0xFF000003}));

    // Grey: bit 4 reverses the columns, the rows stay bottom-up.
    auto grey = Header(11, 3, 1, 8, 0x10);
    grey.insert(grey.end(), {0x02, 0x01, 0x02, 0x03});
    decoded = ReadTga(grey.data(), grey.size(), w, h);
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0x03030303, 0x02020202, 0x01010101}));
}

TEST(TgaReader, SkipsTheImageId) {
    auto file = Header(2, 1, 1, 32, 0, 3);
    file.insert(file.end(), {'a', 'b', 'c', 0x11, 0x22, 0x33, 0x44});
    int32_t w = 0, h = 0;
    EXPECT_EQ(ReadTga(file.data(), file.size(), w, h), (std::vector<uint32_t>{0x44332211}));
}

struct Refusal {
    const char* name;
    std::vector<uint8_t> file;
    const char* reason;
};

TEST(TgaReader, RefusesMalformedFilesWithAClearLogLine) {
    auto withPixels = [](std::vector<uint8_t> header, std::initializer_list<uint8_t> body) {
        header.insert(header.end(), body);
        return header;
    };
    const Refusal cases[] = {
        {"empty", {}, "too short"},
        {"17 bytes", std::vector<uint8_t>(17, 0), "too short"},
        {"colour map", withPixels(Header(2, 1, 1, 24, 0, 0, 1), {0, 0, 0}), "colour-mapped"},
        {"type 1", withPixels(Header(1, 1, 1, 8), {0}), "image type"},
        {"type 9", withPixels(Header(9, 1, 1, 8), {0}), "image type"},
        {"type 130", withPixels(Header(130, 1, 1, 24), {0, 0, 0}), "image type"},
        {"16 bits", withPixels(Header(2, 1, 1, 16), {0, 0}), "24 or 32"},
        {"15 bits rle", withPixels(Header(10, 1, 1, 15), {0, 0, 0}), "24 or 32"},
        {"grey 16 bits", withPixels(Header(3, 1, 1, 16), {0, 0}), "grey"},
        {"zero width", Header(2, 0, 4, 24), "empty"},
        {"zero height", Header(2, 4, 0, 24), "empty"},
        {"too large", withPixels(Header(10, 65535, 65535, 24), {0xFF, 0, 0, 0}), "too large"},
        {"id past end", withPixels(Header(2, 1, 1, 24, 0, 200), {0, 0, 0}), "image ID"},
        {"raw short", withPixels(Header(2, 2, 1, 24), {0, 0, 0, 0, 0}), "ends early"},
        {"rle packet crosses row", withPixels(Header(10, 2, 2, 24), {0x83, 1, 2, 3, 0x00, 1, 2, 3}), "row"},
        {"rle literal crosses row", withPixels(Header(10, 1, 2, 24), {0x01, 1, 2, 3, 4, 5, 6, 7}), "row"},
        {"rle ends in a packet", withPixels(Header(10, 2, 1, 24), {0x01, 1, 2, 3, 4}), "ends early"},
        {"rle header only", Header(10, 1, 1, 24), "ends early"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearAssetProblem();
        int32_t w = -1, h = -1;
        auto decoded = ReadTga(c.file.data(), c.file.size(), w, h, "case.tga");
        EXPECT_TRUE(decoded.empty());
        EXPECT_EQ(w, -1);
        EXPECT_EQ(h, -1);
        EXPECT_NE(LastAssetProblem().find("case.tga"), std::string::npos) << LastAssetProblem();
        EXPECT_NE(LastAssetProblem().find(c.reason), std::string::npos) << LastAssetProblem();
    }
}

TEST(TgaReader, EveryTruncationOfAValidFileIsRefused) {
    std::vector<uint32_t> picture(37 * 5);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = 0xFF000000u | uint32_t(i / 3 * 0x010305);
    for (bool rle : {false, true}) {
        for (int bpp : {8, 24, 32}) {
            SCOPED_TRACE(std::to_string(bpp) + (rle ? " rle" : " raw"));
            auto file = WriteTga(picture, 37, 5, {bpp, rle, false, {}});
            int32_t w = 0, h = 0;
            ASSERT_FALSE(ReadTga(file.data(), file.size(), w, h).empty());
            for (size_t length = 0; length < file.size(); ++length) {
                // A copy of exactly `length` bytes, so that the sanitizers see any read past it.
                std::vector<uint8_t> cut(file.begin(), file.begin() + length);
                EXPECT_TRUE(ReadTga(cut.data(), cut.size(), w, h).empty()) << "length " << length;
            }
        }
    }
}

TEST(TgaReader, FooterHoldsTheDeveloperValues) {
    TgaWriteOptions options;
    options.footer = TgaFooterValues{240, 100, -3, 7};
    auto file = WriteTga(Sample(), 5, 3, options);
    TgaFooterValues values;
    ASSERT_TRUE(ReadTgaFooter(file.data(), file.size(), values));
    EXPECT_EQ(values.displayWidth, 240);
    EXPECT_EQ(values.displayHeight, 100);
    EXPECT_EQ(values.offsetX, -3);
    EXPECT_EQ(values.offsetY, 7);
    int32_t w = 0, h = 0;
    EXPECT_EQ(ReadTga(file.data(), file.size(), w, h), Sample());

    struct Case {
        const char* name;
        void (*damage)(std::vector<uint8_t>&);
    };
    const Case damaged[] = {
        {"no signature", [](std::vector<uint8_t>& f) { f[f.size() - 10] = 'x'; }},
        {"offset 0", [](std::vector<uint8_t>& f) { plat::StoreLE32(&f[f.size() - 22], 0); }},
        {"offset into the footer",
         [](std::vector<uint8_t>& f) { plat::StoreLE32(&f[f.size() - 22], uint32_t(f.size() - 30)); }},
        {"offset past the end",
         [](std::vector<uint8_t>& f) { plat::StoreLE32(&f[f.size() - 22], 0xFFFFFFF0); }},
        {"too short", [](std::vector<uint8_t>& f) { f.erase(f.begin(), f.end() - 30); }},
    };
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.name);
        auto copy = file;
        c.damage(copy);
        EXPECT_FALSE(ReadTgaFooter(copy.data(), copy.size(), values));
    }
    auto plain = WriteTga(Sample(), 5, 3);
    EXPECT_FALSE(ReadTgaFooter(plain.data(), plain.size(), values));
}

TEST(TgaReader, KeyColourIsTheFirstAlphaZeroPixelInRowOrder) {
    // Only the last row holds alpha-0 pixels.
    std::vector<uint32_t> pixels = {0xFF000001, 0x01000002, 0xFF000003, 0x00FF00FF, 0x00000005, 0x00ABCDEF};
    uint32_t key = 0;
    ASSERT_TRUE(FindKeyColour(pixels.data(), 3, 2, 12, 1, key));
    EXPECT_EQ(key, 0x00FF00FFu);
    // A pitch wider than the row skips the pixels between rows.
    ASSERT_TRUE(FindKeyColour(pixels.data(), 2, 2, 12, 1, key));
    EXPECT_EQ(key, 0x00FF00FFu);
    EXPECT_FALSE(FindKeyColour(pixels.data(), 3, 1, 12, 1, key));
    EXPECT_FALSE(FindKeyColour(pixels.data(), 3, 2, 12, 8, key));
    EXPECT_FALSE(FindKeyColour(pixels.data(), 3, 2, 12, -1, key));
    EXPECT_FALSE(FindKeyColour(pixels.data(), 3, 2, 8, 1, key));
}

TEST(TgaWriter, RunLengthPacketsNeverCrossARow) {
    // One colour everywhere: each row must still get its own packets.
    std::vector<uint32_t> picture(300 * 2, 0xFF336699);
    auto file = WriteTga(picture, 300, 2, {24, true, false, {}});
    // 300 pixels = 128 + 128 + 44: three run packets of 4 bytes per row.
    EXPECT_EQ(file.size(), 18u + 2 * 3 * 4);
    int32_t w = 0, h = 0;
    EXPECT_EQ(ReadTga(file.data(), file.size(), w, h), picture);
}

} // namespace
