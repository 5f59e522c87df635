#include "engine/font_registry.h"

#include "engine/asset_log.h"
#include "files/host_path.h"
#include "files/xml.h"

#include <cstdlib>

namespace {

// Leading decimal digits with an optional sign; anything else reads as 0.
int32_t ParseDecimal(const std::string& text) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > INT32_MAX)
            return 0;
    }
    return int32_t(negative ? -value : value);
}

bool UsableName(const std::string& name) {
    return !name.empty() && name.find_first_of("*?/\\") == std::string::npos;
}

// Parses with the shared XML reader, collecting every "Font" element.
template <typename Parse>
bool Collect(std::vector<FontDefinition>& out, Parse parse) {
    out.clear();
    if (!XmlCreateParser())
        return false;
    XmlSetTarget([&out](const XmlNode& node) {
        if (node.GetName() != "Font")
            return;
        FontDefinition definition;
        for (const XmlAttribute& attribute : node.ReadAttributes()) {
            if (attribute.Name() == "name")
                definition.name = attribute.Value();
            else if (attribute.Name() == "size")
                definition.size = ParseDecimal(attribute.Value());
            else if (attribute.Name() == "family")
                definition.family = ParseDecimal(attribute.Value());
        }
        out.push_back(std::move(definition));
    });
    bool ok = parse();
    XmlSetTarget({});
    XmlFreeParser();
    if (!ok)
        out.clear();
    return ok;
}

} // namespace

bool FontRegistry::Load(std::string_view path) {
    definitions_.clear();
    std::string label(path);
    auto hostPath = ResolveHostPath(path);
    if (!hostPath) {
        LogAssetProblem("font file %s: not found", label.c_str());
        return false;
    }
    bool ok = Collect(definitions_, [&] {
        bool parsed = XmlOpenFile(*hostPath) && XmlParseFile();
        XmlCloseFile();
        return parsed;
    });
    if (!ok)
        LogAssetProblem("font file %s: cannot be read or is not well-formed XML", label.c_str());
    return ok;
}

bool FontRegistry::LoadFromMemory(const void* data, size_t size, std::string_view label) {
    bool ok = Collect(definitions_, [&] { return XmlParseBuffer(data, size); });
    if (!ok) {
        std::string text(label);
        LogAssetProblem("font file %s: not well-formed XML", text.c_str());
    }
    return ok;
}

bool FontRegistry::GetFont(int32_t n, FontDefinition& out) const {
    if (n < 0 || n >= Count() || !UsableName(definitions_[size_t(n)].name))
        return false;
    out = definitions_[size_t(n)];
    return true;
}

FontRegistry& GetFontRegistry() {
    static FontRegistry registry;
    return registry;
}
