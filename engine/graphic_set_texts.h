// The small texts of the graphic sets: the companion text beside a
// picture (its first number and pairs of numbers per line) and the fields
// a cursor picture carries in its file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// What a picture's companion text holds: its first number and, per further
// line, the pairs of numbers on it (each wrapped into a byte).
struct SpriteCompanionData {
    uint32_t loadTime = 0;
    uint32_t count = 0;
    std::vector<std::vector<std::pair<uint8_t, uint8_t>>> lines;
};

// Parses a companion text; false (nothing stored) when its first line is
// not an unsigned number.
bool ParseSpriteCompanion(const char* text, size_t size, SpriteCompanionData& out);

// Reads hotspot x, hotspot y, columns and rows from a cursor file name
// ("cursor_NN_hx_hy_cols_rows_tag.tga"); false unless all four are there
// and the grid has between 1 and 16 frames.
bool ParseCursorName(std::string_view name, int32_t& hotspotX, int32_t& hotspotY, int32_t& columns,
                     int32_t& rows);
