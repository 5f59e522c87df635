// One line of a ".uif" layout file and the record it becomes: a keyword, 23
// numbers and eight quoted strings. Every widget keeps the record it was made
// from for its whole life.
#pragma once

#include "ui/ui_types.h"

#include <cstdint>
#include <string>
#include <string_view>

struct UifLayoutRecord {
    std::string Keyword;
    int32_t Id = 0;
    UiRect Rect;
    uint32_t Colour1 = 0;
    uint32_t Colour2 = 0;
    uint32_t Colour3 = 0;
    uint32_t Colour4 = 0;
    int32_t Value1 = 0;
    int32_t Value2 = 0;
    int32_t Value3 = 0;
    int32_t Value4 = 0;
    UiRect Rect2;
    uint32_t ToolTipValue = 0;
    uint32_t Spare = 0;
    int32_t Value5 = 0;
    int32_t Value6 = 0;
    uint8_t Flag = 0;
    int32_t Font = 0;
    std::string Image;
    std::string ToolTipText;
    std::string ToolTipImage;
    std::string Caption;
    std::string Handler;
    std::string OpenLayout;
    std::string Image2;
    std::string String7;
    // Not in the file.
    int32_t Extra1 = 0;
    int32_t UserValue = -1;

    friend bool operator==(const UifLayoutRecord&, const UifLayoutRecord&) = default;
};

// Longest line (without its line feed) and longest keyword or quoted string.
inline constexpr size_t kMaxLayoutLineLength = 1999;
inline constexpr size_t kMaxLayoutStringLength = 259;

// Fills the record's file fields from one line (without its line feed; a
// trailing carriage return is ignored), leaving Extra1 and UserValue. The
// line "END" (keyword only) sets just the keyword. False with the reason in
// error, and the record unchanged, for a line that is too long, has fewer
// than 23 numbers, a number that is not one, a value too long, or not
// exactly eight quoted strings.
bool ParseLayoutLine(std::string_view line, UifLayoutRecord& record, std::string& error);
