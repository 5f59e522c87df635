// The interface's numbered fonts: font n is the n-th definition of the font
// file, made on first use either as a bitmap font cut from "fonts/<name>*.tga"
// or, when a text code page is set, as a system font. Measures texts and
// queues them on the draw layers; optionally maps colour indexes to the 16
// text colours of "gfx_uif/textcolor_NN.tga". Main thread only.
#pragma once

#include "engine/engine_state.h"
#include "engine/system_font.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The description a font was made from.
struct LogFont {
    int32_t height = 0;
    int32_t weight = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::string faceName;

    bool SameFont(const LogFont& o) const {
        return height == o.height && weight == o.weight && outPrecision == o.outPrecision &&
               clipPrecision == o.clipPrecision && quality == o.quality &&
               pitchAndFamily == o.pitchAndFamily && faceName == o.faceName;
    }
};

struct FontEntry {
    int32_t bitmapFont = 0; // engine bitmap font number, 0 for system fonts
    std::shared_ptr<SystemFont> systemFont;
    LogFont logFont; // for bitmap fonts only the height (pixel size) and face
};

inline constexpr int32_t kTextColourCount = 16;

// The LOGFONT height for a point size: -trunc(size * 1.3333 + 0.5) in single precision.
int32_t FontHeightFromSize(int32_t size);

// Loads "fonts/<name>*.tga" (the first match) as a bitmap font; its pixel
// size is the number after the file name's last "_". 0 (with a log line)
// when there is no such file, the size is missing, below 1 or leaves no
// room in the picture, or the picture cannot be read.
int32_t LoadBitmapFont(std::string_view name, int32_t& size);

// The glyph order of a bitmap font file.
const std::vector<uint8_t>& GlyphOrderFor(std::string_view fileName);

// Turns 8-bit text into UTF-16 in a code page (1252, otherwise Latin-1),
// at most `limit` characters.
std::u16string WidenText(std::string_view text, uint32_t codePage, size_t limit = 3999);

class FontManager {
public:
    static const FontEntry& GetFont(int32_t n);
    static int32_t GetTextHeight(int32_t n);
    static int32_t GetTextWidth(int32_t n, std::string_view text);
    static bool DrawText(int32_t layer, int32_t n, const EngineRect& rect, uint32_t colour,
                         std::string_view text, uint32_t flags);

    // Empties the font list and switches system fonts on or off.
    static void SetGdiFonts(bool on);
    static bool UsesGdiFonts();
    static uint8_t GetGlyphSet();
    static uint32_t GetTextColour(int32_t i);

    // Reads the text colours (when asked) and, unless already there, the
    // font definitions.
    static void Init(bool useColourTable);
    // The font file's host path (default "config/fonts.xml").
    static void SetDefinitionFile(std::string path);
    // The face override and the alternative face of the settings.
    static void SetFaces(std::string face, std::string alternative);
    // Whether the platform has a face; by default every face is taken as there.
    static void SetFaceQuery(std::function<bool(const std::string& face)> query);

    // Forgets fonts, definitions, colours and settings (tests, engine release).
    static void Reset();
    static size_t FontCount();
};

void SetTextCodePage(uint32_t codePage);
uint32_t GetTextCodePage();
void SetTextCharSet(uint8_t charSet);
