#include "files/xml.h"

#include "platform/file.h"

#include <expat.h>

#include <algorithm>
#include <optional>

namespace {

constexpr size_t kReadBlockSize = 512;

struct XmlReaderState {
    XML_Parser parser = nullptr;
    XmlTarget target;
    // The element waiting for its text: an element without attributes is
    // delivered once the text runs up to the next markup have arrived
    // (expat splits text at line breaks, entities and block ends).
    std::optional<XmlNode> current;
    std::string text;
    plat::File file;
};

struct XmlWriterState {
    std::optional<plat::AtomicFileWriter> file;
    std::string buffer;
    int indentLevel = 0;
};

XmlReaderState reader;
XmlWriterState writer;

// Hands the current element over with its text, unless the text is empty or
// only indentation.
void FlushText() {
    std::string text = std::move(reader.text);
    reader.text.clear();
    if (!reader.current || text.empty() || text[0] == '\n' || text[0] == '\t')
        return;
    reader.current->AddReadAttribute(XmlAttribute(reader.current->GetName(), std::move(text)));
    if (reader.target) {
        XmlNode node = std::move(*reader.current);
        reader.current.reset();
        reader.target(node);
    }
}

void XMLCALL OnStartElement(void*, const XML_Char* name, const XML_Char** attributes) {
    FlushText();
    XmlNode node(name);
    for (const XML_Char** pair = attributes; pair[0] && pair[1]; pair += 2)
        node.AddReadAttribute(XmlAttribute(pair[0], pair[1]));
    if (reader.target && !node.ReadAttributes().empty()) {
        reader.current.reset();
        reader.target(node);
    } else {
        reader.current = std::move(node);
    }
}

void XMLCALL OnEndElement(void*, const XML_Char* name) {
    FlushText();
    reader.current.reset();
    if (reader.target)
        reader.target(XmlNode(std::string("/") + name));
}

void XMLCALL OnCharacterData(void*, const XML_Char* text, int length) {
    if (reader.current && length > 0)
        reader.text.append(text, size_t(length));
}

// Passes one block; the last one is marked final so that expat checks the
// document's end.
bool ParseBlock(const char* data, size_t size, bool isFinal) {
    bool ok = XML_Parse(reader.parser, data, int(size), isFinal) == XML_STATUS_OK;
    if (!ok || isFinal)
        FlushText();
    return ok;
}

void WriteText(std::string_view text) {
    if (writer.file)
        writer.buffer += text;
}

// Writes a name or value so that the reader gives it back unchanged. XML
// cannot carry control characters other than tab, line feed and carriage
// return, so those are left out rather than making the file unreadable.
void WriteEscaped(std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            WriteText("&amp;");
            break;
        case '<':
            WriteText("&lt;");
            break;
        case '>':
            WriteText("&gt;");
            break;
        case '"':
            WriteText("&quot;");
            break;
        case '\'':
            WriteText("&apos;");
            break;
        case '\t':
            WriteText("&#9;");
            break;
        case '\n':
            WriteText("&#10;");
            break;
        case '\r':
            WriteText("&#13;");
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20)
                WriteText(std::string_view(&c, 1));
        }
    }
}

} // namespace

bool XmlCreateParser() {
    XmlFreeParser();
    reader.parser = XML_ParserCreate(nullptr);
    if (!reader.parser)
        return false;
    XML_SetElementHandler(reader.parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(reader.parser, OnCharacterData);
    return true;
}

void XmlSetTarget(XmlTarget target) {
    reader.target = std::move(target);
}

bool XmlOpenFile(const std::string& path) {
    return reader.file.Open(path, plat::File::Mode::Read);
}

bool XmlParseFile() {
    if (!reader.parser || !reader.file.IsOpen())
        return false;
    char block[kReadBlockSize];
    for (;;) {
        size_t size = reader.file.Read(block, sizeof block);
        // A file whose length is a multiple of the block size ends with an
        // empty final block.
        bool isFinal = size < sizeof block;
        if (!ParseBlock(block, size, isFinal))
            return false;
        if (isFinal)
            return reader.file.Tell() == reader.file.Size();
    }
}

bool XmlParseBuffer(const void* data, size_t size) {
    if (!reader.parser)
        return false;
    const char* bytes = static_cast<const char*>(data);
    size_t offset = 0;
    for (;;) {
        size_t block = std::min(kReadBlockSize, size - offset);
        bool isFinal = offset + block == size;
        if (!ParseBlock(bytes + offset, block, isFinal))
            return false;
        if (isFinal)
            return true;
        offset += block;
    }
}

bool XmlCloseFile() {
    reader.file.Close();
    if (!writer.file)
        return true;
    bool ok = writer.file->Write(writer.buffer) && writer.file->Commit();
    writer.file.reset();
    writer.buffer.clear();
    return ok;
}

void XmlFreeParser() {
    if (reader.parser)
        XML_ParserFree(reader.parser);
    reader.parser = nullptr;
    reader.current.reset();
    reader.text.clear();
}

bool XmlOpenFileForWrite(const std::string& path) {
    writer.file.reset();
    writer.buffer.clear();
    writer.file.emplace(path);
    if (!writer.file->Open()) {
        writer.file.reset();
        return false;
    }
    return true;
}

void XmlWriteHeader() {
    WriteText("<?xml version=\"1.0\"?>\n");
}

void XmlWriteNewlines(int count) {
    for (int i = 0; i < count; ++i)
        WriteText("\n");
}

void XmlWriteIndent(int level) {
    if (!writer.file)
        return;
    writer.indentLevel = level;
    for (int i = 0; i < level; ++i)
        WriteText("    ");
}

void WriteXmlNode(XmlNode& node) {
    if (!writer.file)
        return;
    WriteText("<");
    WriteEscaped(node.GetName());
    const std::vector<XmlAttribute>& attributes = node.Attributes();
    if (attributes.empty()) {
        WriteText(">");
        return;
    }
    WriteText(" ");
    for (size_t i = 0; i < attributes.size(); ++i) {
        WriteEscaped(attributes[i].Name());
        WriteText("=\"");
        WriteEscaped(attributes[i].Value());
        WriteText("\"");
        if (i + 1 == attributes.size())
            break;
        if (i % 4 == 0 && i != 0) {
            WriteText("\n");
            XmlWriteIndent(writer.indentLevel + 1);
        } else {
            WriteText(" ");
        }
    }
    node.ClearAttributes();
    WriteText("/>");
}
