#include "engine/graphic_set_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(SpriteCompanion, FirstLineMustBeANumber) {
    struct Case {
        const char* text;
        bool ok;
        size_t lines;
    };
    const Case cases[] = {
        {"", false, 0}, {"x\n1 2", false, 0}, {"-1\n", false, 0}, {" 12", true, 0}, {"5\n1 2\n3", true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SpriteCompanionData data;
        EXPECT_EQ(ParseSpriteCompanion(c.text, std::strlen(c.text), data), c.ok);
        EXPECT_EQ(data.lines.size(), c.lines);
    }
    // A line longer than 399 characters goes on in a new line.
    std::string longLine = "1\n" + std::string(398, ' ') + "12 34";
    SpriteCompanionData data;
    ASSERT_TRUE(ParseSpriteCompanion(longLine.data(), longLine.size(), data));
    ASSERT_EQ(data.lines.size(), 2u);
    EXPECT_TRUE(data.lines[0].empty()); // "1" ends the first 399 characters alone
    // Text after a NUL is not read.
    const char withNul[] = "2\n5 6\0 7 8";
    ASSERT_TRUE(ParseSpriteCompanion(withNul, sizeof withNul - 1, data));
    ASSERT_EQ(data.lines.size(), 1u);
    EXPECT_EQ(data.lines[0].size(), 1u);
}

TEST(CursorNames, NeedAHotspotAndAGridOfOneToSixteenFrames) {
    struct Case {
        const char* name;
        bool ok;
        int32_t hx, hy, columns, rows;
    };
    const Case cases[] = {
        {"cursor_00_15_00_03_02_up.tga", true, 15, 0, 3, 2},
        {"gfx_uif\\cursor_08_0_0_01_01_arrow.tga", true, 0, 0, 1, 1},
        {"cursor_01_04_04_04_04_x.tga", true, 4, 4, 4, 4},
        {"cursor_01_04_04_00_02_x.tga", false, 0, 0, 0, 0},
        {"cursor_01_04_04_03_00_x.tga", false, 0, 0, 0, 0},
        {"cursor_01_04_04_05_04_x.tga", false, 0, 0, 0, 0},
        {"cursor_01_04_04_17_01_x.tga", false, 0, 0, 0, 0},
        {"cursor_01_04_04_-2_-8_x.tga", false, 0, 0, 0, 0},
        {"cursor_01_04_04.tga", false, 0, 0, 0, 0},
        {"cursor_01.tga", false, 0, 0, 0, 0},
        {"arrow.tga", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t hx = -1, hy = -1, columns = -1, rows = -1;
        ASSERT_EQ(ParseCursorName(c.name, hx, hy, columns, rows), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(hx, c.hx);
        EXPECT_EQ(hy, c.hy);
        EXPECT_EQ(columns, c.columns);
        EXPECT_EQ(rows, c.rows);
    }
}

} // namespace
