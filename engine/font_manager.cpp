#include "engine/font_manager.h"

#include "engine/asset_log.h"
#include "engine/bitmap_font.h"
#include "engine/draw_layers.h"
#include "engine/engine_services.h"
#include "engine/font_registry.h"
#include "engine/surfaces.h"
#include "engine/textures.h"
#include "engine/tga_reader.h"
#include "engine/tga_texture.h"
#include "files/host_path.h"
#include "files/virtual_file_system.h"

#include <cmath>
#include <cstdio>
#include <deque>

namespace {

// The one font file whose glyphs stand in an order of their own.
constexpr std::string_view kShortOrderFont = "FEArialBlack_29.tga";

// Layers below this draw system-font texts one layer higher.
constexpr int32_t kSystemTextLayerLimit = 10;

struct FontModule {
    std::deque<FontEntry> fonts; // entries stay where they are as fonts are added
    FontEntry none;
    bool gdiFonts = false;
    uint8_t glyphSet = 0;
    bool colourTable = false;
    std::array<uint32_t, kTextColourCount> colours{};
    uint32_t codePage = 1252;
    uint8_t charSet = 1;
    std::string face, alternativeFace;
    std::string definitionFile = "config/fonts.xml";
    bool definitionsPending = true;
    std::function<bool(const std::string&)> faceQuery;
};

FontModule& Module() {
    static FontModule module;
    return module;
}

// Loads the definitions once; a failed load is not tried again.
bool EnsureDefinitions() {
    FontModule& m = Module();
    if (m.definitionsPending) {
        m.definitionsPending = false;
        if (GetFontRegistry().Count() == 0)
            GetFontRegistry().Load(m.definitionFile);
    }
    return GetFontRegistry().Count() > 0;
}

bool FaceExists(const std::string& face) {
    const FontModule& m = Module();
    return !face.empty() && (!m.faceQuery || m.faceQuery(face));
}

// The decimal number after the name's last "_", up to the extension; -1
// when there is none.
int32_t SizeFromFileName(std::string_view name) {
    size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos)
        return -1;
    int64_t value = 0;
    size_t i = underscore + 1;
    if (i >= name.size() || name[i] < '0' || name[i] > '9')
        return -1;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        value = value * 10 + (name[i] - '0');
        if (value > 4096)
            return -1;
    }
    return int32_t(value);
}

void ReadColourTable() {
    FontModule& m = Module();
    std::vector<FindRecord> files;
    VfsFindAll(files, "gfx_uif/textcolor_*.tga", kFindFiles);
    for (const FindRecord& file : files) {
        if (file.name.find('_') == std::string::npos)
            continue;
        const int32_t index = SizeFromFileName(file.name);
        if (index < 0 || index >= kTextColourCount) {
            LogAssetProblem("text colour %s: the index must be 0 to 15", file.name.c_str());
            continue;
        }
        int32_t w = 0, h = 0;
        std::vector<uint32_t> pixels = ReadTgaFile(file.fullPath, w, h);
        if (!pixels.empty())
            m.colours[size_t(index)] = pixels[0];
    }
}

} // namespace

int32_t FontHeightFromSize(int32_t size) {
    return -int32_t(float(size) * 1.3333f + 0.5f);
}

const std::vector<uint8_t>& GlyphOrderFor(std::string_view fileName) {
    static const std::vector<uint8_t> shortOrder = [] {
        std::vector<uint8_t> v = {32, 45, 46, 47};
        for (int c = 48; c <= 57; ++c)
            v.push_back(uint8_t(c));
        for (int c = 65; c <= 90; ++c)
            v.push_back(uint8_t(c));
        for (int c : {96, 138, 140, 142, 159})
            v.push_back(uint8_t(c));
        for (int c = 192; c <= 222; ++c)
            v.push_back(uint8_t(c));
        for (int c :
             {128, 129, 141, 143, 144, 162, 163, 165, 168, 170, 175, 178, 184, 185, 186, 188, 190, 191, 223})
            v.push_back(uint8_t(c));
        return v;
    }();
    static const std::vector<uint8_t> common = [] {
        std::vector<uint8_t> v;
        for (int c = 32; c <= 126; ++c)
            v.push_back(uint8_t(c));
        auto late = [](int c) {
            return c == 129 || c == 141 || c == 143 || c == 144 || c == 157 || c == 160;
        };
        for (int c = 128; c <= 255; ++c)
            if (!late(c))
                v.push_back(uint8_t(c));
        for (int c : {129, 141, 143, 144, 157, 160})
            v.push_back(uint8_t(c));
        return v;
    }();
    return EqualsFolded(fileName, kShortOrderFont) ? shortOrder : common;
}

std::u16string WidenText(std::string_view text, uint32_t codePage, size_t limit) {
    // Code page 1252 differs from Latin-1 in 0x80 to 0x9F.
    static constexpr char16_t kWindows1252[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::u16string out;
    for (char ch : text) {
        if (out.size() >= limit)
            break;
        const uint8_t c = uint8_t(ch);
        out += codePage == 1252 && c >= 0x80 && c < 0xA0 ? kWindows1252[c - 0x80] : char16_t(c);
    }
    return out;
}

int32_t LoadBitmapFont(std::string_view name, int32_t& size) {
    size = 0;
    std::string nameText(name);
    std::string pattern = "fonts/" + nameText + "*.tga";
    FindRecord record;
    std::string path, fileName;
    if (VfsFindFirst(record, pattern, kFindFiles)) {
        path = record.fullPath;
        fileName = record.name;
    }
    VfsFindClose();
    if (path.empty()) {
        LogAssetProblem("font %s: no file matches %s", nameText.c_str(), pattern.c_str());
        return 0;
    }
    const int32_t pixels = SizeFromFileName(fileName);
    if (pixels < 1) {
        LogAssetProblem("font %s: the name of %s gives no size of 1 or more after its last \"_\"",
                        nameText.c_str(), fileName.c_str());
        return 0;
    }
    Engine::TextureSize info;
    ClearAssetProblem();
    TextureHandle texture = LoadTgaTexture(path, Engine::DefaultTextureFormat(), &info, true, 0);
    if (!texture) {
        const std::string reason = LastAssetProblem();
        LogAssetProblem("font %s: %s", fileName.c_str(),
                        reason.empty() ? "the picture gives no texture" : reason.c_str());
        return 0;
    }
    // The marker line above the first row and a row of glyphs must fit.
    if (pixels > info.height - 2) {
        LogAssetProblem("font %s: size %d leaves no glyph row in a picture %d high", fileName.c_str(), pixels,
                        info.height);
        Engine::DeleteTexture(texture);
        return 0;
    }
    const std::vector<uint8_t>& order = GlyphOrderFor(fileName);
    const int32_t font = Engine::CreateBitmapFont(texture, order.data(), int32_t(order.size()), pixels);
    if (!font) {
        Engine::DeleteTexture(texture);
        return 0;
    }
    size = pixels;
    return font;
}

const FontEntry& FontManager::GetFont(int32_t n) {
    FontModule& m = Module();
    if (!EnsureDefinitions())
        return m.none;
    FontDefinition definition;
    if (!GetFontRegistry().GetFont(n, definition))
        return m.none;

    LogFont wanted;
    wanted.height = FontHeightFromSize(definition.size);
    wanted.weight = 400;
    wanted.charSet = m.charSet;
    wanted.faceName = m.face.empty() ? definition.name : m.face;
    for (const FontEntry& entry : m.fonts) {
        if (m.gdiFonts ? entry.logFont.SameFont(wanted) : entry.logFont.faceName == definition.name)
            return entry;
    }

    FontEntry entry;
    if (m.gdiFonts) {
        entry.logFont = wanted;
        auto font = std::make_shared<SystemFont>();
        font->height = wanted.height;
        font->weight = wanted.weight;
        font->charSet = wanted.charSet;
        if (FaceExists(wanted.faceName))
            font->face = wanted.faceName;
        else if (FaceExists(m.alternativeFace))
            font->face = m.alternativeFace;
        entry.systemFont = std::move(font);
    } else {
        int32_t size = 0;
        entry.bitmapFont = LoadBitmapFont(definition.name, size);
        entry.logFont.height = size;
        entry.logFont.faceName = definition.name;
    }
    m.fonts.push_back(std::move(entry));
    return m.fonts.back();
}

int32_t FontManager::GetTextHeight(int32_t n) {
    if (!EnsureDefinitions() || n < 0 || n >= GetFontRegistry().Count())
        return 0;
    const FontEntry& entry = GetFont(n);
    if (entry.systemFont) {
        int32_t w = 0, h = 0;
        const char16_t sample[] = u"Ag";
        Engine::GdiTextExtent(entry.systemFont.get(), sample, 2, &w, &h);
        return h;
    }
    return entry.bitmapFont ? Engine::GetFontSize(entry.bitmapFont) : 0;
}

int32_t FontManager::GetTextWidth(int32_t n, std::string_view text) {
    if (!EnsureDefinitions() || n < 0 || n >= GetFontRegistry().Count())
        return 0;
    const FontEntry& entry = GetFont(n);
    if (entry.systemFont) {
        std::u16string wide = WidenText(text, Module().codePage);
        if (wide.empty())
            return 0;
        int32_t w = 0, h = 0;
        Engine::GdiTextExtent(entry.systemFont.get(), wide.data(), int32_t(wide.size()), &w, &h);
        return w;
    }
    if (!entry.bitmapFont)
        return 0;
    return Engine::BitmapTextWidth(entry.bitmapFont, entry.logFont.height, Module().glyphSet, text.data(),
                                   int32_t(text.size()), 0);
}

bool FontManager::DrawText(int32_t layer, int32_t n, const EngineRect& rect, uint32_t colour,
                           std::string_view text, uint32_t flags) {
    FontModule& m = Module();
    if (!EnsureDefinitions() || n < 0 || n >= GetFontRegistry().Count())
        return false;
    if (m.colourTable) {
        const uint32_t index = colour & 0xFFFFFF;
        // An index past the table keeps the caller's colour.
        if (index < uint32_t(kTextColourCount))
            colour = (colour & 0xFF000000u) | (m.colours[index] & 0xFFFFFFu);
    }
    const FontEntry& entry = GetFont(n);
    if (entry.systemFont) {
        std::u16string wide = WidenText(text, m.codePage);
        if (wide.empty())
            return false;
        const int32_t target = layer < kSystemTextLayerLimit ? layer + 1 : layer;
        return Engine::QueueGdiText(target, entry.systemFont.get(), colour, rect, {0, 0, 0, 0}, wide.data(),
                                    int32_t(wide.size()), flags);
    }
    if (!entry.bitmapFont)
        return false;
    return Engine::QueueBitmapText(layer, entry.bitmapFont, colour, {rect.left, rect.top},
                                   entry.logFont.height, {0, 0, 0, 0}, m.glyphSet, text.data(),
                                   int32_t(text.size()), flags);
}

void FontManager::SetGdiFonts(bool on) {
    Module().fonts.clear();
    Module().gdiFonts = on;
}

bool FontManager::UsesGdiFonts() {
    return Module().gdiFonts;
}

uint8_t FontManager::GetGlyphSet() {
    return Module().glyphSet;
}

uint32_t FontManager::GetTextColour(int32_t i) {
    return i >= 0 && i < kTextColourCount ? Module().colours[size_t(i)] : 0;
}

void FontManager::Init(bool useColourTable) {
    Module().colourTable = useColourTable;
    ReadColourTable();
    if (GetFontRegistry().Count() == 0)
        EnsureDefinitions();
}

void FontManager::SetDefinitionFile(std::string path) {
    Module().definitionFile = std::move(path);
    Module().definitionsPending = true;
}

void FontManager::SetFaces(std::string face, std::string alternative) {
    Module().face = std::move(face);
    Module().alternativeFace = std::move(alternative);
}

void FontManager::SetFaceQuery(std::function<bool(const std::string&)> query) {
    Module().faceQuery = std::move(query);
}

void FontManager::Reset() {
    Module() = FontModule();
    GetFontRegistry().Clear();
}

size_t FontManager::FontCount() {
    return Module().fonts.size();
}

void SetTextCodePage(uint32_t codePage) {
    Module().codePage = codePage;
}

uint32_t GetTextCodePage() {
    return Module().codePage;
}

void SetTextCharSet(uint8_t charSet) {
    Module().charSet = charSet;
}
