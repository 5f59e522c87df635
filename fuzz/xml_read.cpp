// Parses arbitrary bytes as an XML document and walks every delivered node.
#include "files/xml.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!XmlCreateParser())
        return 0;
    size_t total = 0;
    XmlSetTarget([&](const XmlNode& node) {
        total += node.GetName().size();
        for (const XmlAttribute& a : node.ReadAttributes())
            total += a.Name().size() + a.Value().size();
    });
    XmlParseBuffer(data, size);
    XmlFreeParser();
    XmlSetTarget(nullptr);
    return 0;
}
