// The font definitions file ("fonts.xml") read from a file, and the text
// colour table read through the virtual file system, from arbitrary bytes:
// a 16-bit length, the definitions of that length, one byte naming the
// colour file's index, then the colour picture (TGA). The file gives the
// definitions that the same document gives from memory, and every colour
// index answers.
#include "engine/font_manager.h"
#include "engine/font_registry.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "platform/endian.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool Same(const FontRegistry& a, const FontRegistry& b) {
    if (a.Count() != b.Count())
        return false;
    for (int32_t n = 0; n < a.Count(); ++n) {
        FontDefinition x, y;
        const bool hasX = a.GetFont(n, x), hasY = b.GetFont(n, y);
        if (hasX != hasY || x.name != y.name || x.size != y.size || x.family != y.family)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzScratch scratch;
    static const bool mounted = [] {
        scratch.Write("gfx_uif/.keep", nullptr, 0);
        RegisterStandardSourceTypes();
        return VfsAddSource("file", scratch.Folder()) && VfsAddVirtualDir("gfx_uif", "gfx_uif");
    }();
    Check(mounted);
    if (size < 3)
        return 0;
    const size_t xmlSize = std::min<size_t>(plat::LoadLE16(data), size - 3);
    const uint8_t* xml = data + 2;
    const uint32_t index = xml[xmlSize] % 20;
    const uint8_t* picture = xml + xmlSize + 1;
    const size_t pictureSize = size - 3 - xmlSize;

    const std::string definitions = scratch.Write("config/fonts.xml", xml, xmlSize);
    FontRegistry fromFile, fromMemory;
    const bool read = fromFile.Load(definitions);
    Check(read == fromMemory.LoadFromMemory(xml, xmlSize));
    Check(Same(fromFile, fromMemory));

    // One colour file at a time: the one of this input.
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(scratch.Folder()) / "gfx_uif", error);
    scratch.Write("gfx_uif/textcolor_" + std::to_string(index) + ".tga", picture, pictureSize);
    FontManager::Reset();
    FontManager::SetDefinitionFile(definitions);
    FontManager::Init(true);
    for (int32_t i = -1; i <= kTextColourCount; ++i)
        FontManager::GetTextColour(i);
    Check(FontManager::FontCount() <= 1024);
    return 0;
}
