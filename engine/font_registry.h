// The font definitions of the font file (fonts.xml): one per "Font" element,
// numbered from 0 in file order, each a name (the start of a bitmap font's
// file name, or a system font's face), a size and a family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FontDefinition {
    std::string name;
    int32_t size = 0;
    int32_t family = 0;
};

class FontRegistry {
public:
    virtual ~FontRegistry() = default;

    // Reads the font file at a host path (either separator, any case). The
    // definitions are replaced; a file that cannot be read or parsed leaves
    // none and gives false with a log line.
    virtual bool Load(std::string_view path);
    // The same for a document in memory.
    bool LoadFromMemory(const void* data, size_t size, std::string_view label = "fonts.xml");
    virtual void Reserved() {}
    // False for n outside the definitions and for a definition whose name
    // cannot name a font file (empty, or holding a wildcard or a separator);
    // such a definition keeps its number but defines no font.
    virtual bool GetFont(int32_t n, FontDefinition& out) const;
    virtual int32_t Count() const { return int32_t(definitions_.size()); }

    void Clear() { definitions_.clear(); }

private:
    std::vector<FontDefinition> definitions_;
};

// The process-wide registry.
FontRegistry& GetFontRegistry();
