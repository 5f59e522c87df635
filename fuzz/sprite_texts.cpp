// Parses arbitrary bytes as a picture's companion text and as a cursor
// file name.
#include "engine/graphic_set_texts.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SpriteCompanionData companion;
    ParseSpriteCompanion(reinterpret_cast<const char*>(data), size, companion);
    int32_t hx = 0, hy = 0, columns = 0, rows = 0;
    if (ParseCursorName(std::string_view(reinterpret_cast<const char*>(data), size), hx, hy, columns, rows) &&
        (columns < 1 || rows < 1 || columns * rows > 16))
        __builtin_trap();
    return 0;
}
