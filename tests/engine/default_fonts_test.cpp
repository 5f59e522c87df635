// The default font sheets under gamedata/ cut into a glyph for every
// character of the sheet order, as the engine cuts them.
#include "engine/bitmap_font.h"
#include "engine/textures.h"
#include "engine/tga_texture.h"
#include "null_engine.h"
#include "platform/file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> SheetOrder() {
    std::vector<uint8_t> order;
    for (int b = 32; b <= 126; ++b)
        order.push_back(uint8_t(b));
    for (int b = 128; b <= 255; ++b)
        if (b != 129 && b != 141 && b != 143 && b != 144 && b != 157 && b != 160)
            order.push_back(uint8_t(b));
    for (int b : {129, 141, 143, 144, 157, 160})
        order.push_back(uint8_t(b));
    return order;
}

class DefaultFontsTest : public NullEngineTest {};

TEST_F(DefaultFontsTest, EverySheetCutsIntoEveryCharacter) {
    const std::vector<uint8_t> order = SheetOrder();
    ASSERT_EQ(order.size(), 223u);
    const struct {
        const char* file;
        int32_t size;
    } sheets[] = {{"Font00_10", 10}, {"Font02_14", 14}, {"Font05_28", 28}, {"Font11_28", 28}};
    for (const auto& sheet : sheets) {
        SCOPED_TRACE(sheet.file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(plat::ReadWholeFile(std::string(MD_SOURCE_DIR) + "/gamedata/fonts/" + sheet.file + ".tga",
                                        bytes));
        Engine::TextureSize info{};
        const TextureHandle tex = LoadTgaTextureFromMemory(bytes.data(), bytes.size(),
                                                           Engine::DefaultTextureFormat(), &info, true, 0);
        ASSERT_NE(tex, 0u);
        const int32_t n = Engine::CreateBitmapFont(tex, order.data(), int32_t(order.size()), sheet.size);
        ASSERT_GT(n, 0);
        const BitmapFont& font = Engine::BitmapFonts()[size_t(n) - 1];
        for (uint8_t c : order)
            EXPECT_GT(font.glyphs[0][c].advance, 0) << int(c);
        // Proportional: a capital W is wider than a small i.
        EXPECT_GT(font.glyphs[0]['W'].advance, font.glyphs[0]['i'].advance);
    }
}

} // namespace
