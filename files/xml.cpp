#include "files/xml.h"

#include "platform/file.h"

#include <expat.h>

#include <algorithm>
#include <optional>

constexpr size_t kReadBlockSize = 512;

struct XmlReader::State {
    XML_Parser parser = nullptr;
    XmlTarget target;
    // The element waiting for its text: an element without attributes is
    // delivered once the text runs up to the next markup have arrived
    // (expat splits text at line breaks, entities and block ends).
    std::optional<XmlNode> current;
    std::string text;
    plat::File file;
};

struct XmlWriter::State {
    std::optional<plat::AtomicFileWriter> file;
    std::string buffer;
    int indentLevel = 0;
};

namespace {

using ReaderState = XmlReader::State;

// Hands the current element over with its text, unless the text is empty or
// only indentation.
void FlushText(ReaderState& reader) {
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

void XMLCALL OnStartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
    ReaderState& reader = *static_cast<ReaderState*>(userData);
    FlushText(reader);
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

void XMLCALL OnEndElement(void* userData, const XML_Char* name) {
    ReaderState& reader = *static_cast<ReaderState*>(userData);
    FlushText(reader);
    reader.current.reset();
    if (reader.target)
        reader.target(XmlNode(std::string("/") + name));
}

void XMLCALL OnCharacterData(void* userData, const XML_Char* text, int length) {
    ReaderState& reader = *static_cast<ReaderState*>(userData);
    if (reader.current && length > 0)
        reader.text.append(text, size_t(length));
}

// Passes one block; the last one is marked final so that expat checks the
// document's end.
bool ParseBlock(ReaderState& reader, const char* data, size_t size, bool isFinal) {
    bool ok = XML_Parse(reader.parser, data, int(size), isFinal) == XML_STATUS_OK;
    if (!ok || isFinal)
        FlushText(reader);
    return ok;
}

// Writes a name or value so that the reader gives it back unchanged. XML
// cannot carry control characters other than tab, line feed and carriage
// return, so those are left out rather than making the file unreadable.
void WriteEscaped(std::string& out, std::string_view text) {
    auto WriteText = [&out](std::string_view part) { out += part; };
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

XmlReader::XmlReader() : state_(std::make_unique<State>()) {}

XmlReader::~XmlReader() {
    FreeParser();
}

bool XmlReader::CreateParser() {
    FreeParser();
    state_->parser = XML_ParserCreate(nullptr);
    if (!state_->parser)
        return false;
    XML_SetUserData(state_->parser, state_.get());
    XML_SetElementHandler(state_->parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(state_->parser, OnCharacterData);
    return true;
}

void XmlReader::SetTarget(XmlTarget target) {
    state_->target = std::move(target);
}

bool XmlReader::OpenFile(const std::string& path) {
    return state_->file.Open(path, plat::File::Mode::Read);
}

bool XmlReader::ParseFile() {
    State& reader = *state_;
    if (!reader.parser || !reader.file.IsOpen())
        return false;
    char block[kReadBlockSize];
    for (;;) {
        size_t size = reader.file.Read(block, sizeof block);
        // A file whose length is a multiple of the block size ends with an
        // empty final block.
        bool isFinal = size < sizeof block;
        if (!ParseBlock(reader, block, size, isFinal))
            return false;
        if (isFinal)
            return reader.file.Tell() == reader.file.Size();
    }
}

bool XmlReader::ParseBuffer(const void* data, size_t size) {
    State& reader = *state_;
    if (!reader.parser)
        return false;
    const char* bytes = static_cast<const char*>(data);
    size_t offset = 0;
    for (;;) {
        size_t block = std::min(kReadBlockSize, size - offset);
        bool isFinal = offset + block == size;
        if (!ParseBlock(reader, bytes + offset, block, isFinal))
            return false;
        if (isFinal)
            return true;
        offset += block;
    }
}

void XmlReader::CloseFile() {
    state_->file.Close();
}

void XmlReader::FreeParser() {
    if (state_->parser)
        XML_ParserFree(state_->parser);
    state_->parser = nullptr;
    state_->current.reset();
    state_->text.clear();
}

XmlWriter::XmlWriter() : state_(std::make_unique<State>()) {}

XmlWriter::~XmlWriter() = default;

bool XmlWriter::OpenFileForWrite(const std::string& path) {
    State& writer = *state_;
    writer.file.reset();
    writer.buffer.clear();
    writer.indentLevel = 0;
    writer.file.emplace(path);
    if (!writer.file->Open()) {
        writer.file.reset();
        return false;
    }
    return true;
}

bool XmlWriter::CloseFile() {
    State& writer = *state_;
    if (!writer.file)
        return true;
    bool ok = writer.file->Write(writer.buffer) && writer.file->Commit();
    writer.file.reset();
    writer.buffer.clear();
    return ok;
}

void XmlWriter::WriteHeader() {
    if (state_->file)
        state_->buffer += "<?xml version=\"1.0\"?>\n";
}

void XmlWriter::WriteNewlines(int count) {
    if (state_->file)
        state_->buffer.append(size_t(std::max(count, 0)), '\n');
}

void XmlWriter::WriteIndent(int level) {
    State& writer = *state_;
    if (!writer.file)
        return;
    writer.indentLevel = level;
    for (int i = 0; i < level; ++i)
        writer.buffer += "    ";
}

void XmlWriter::WriteNode(XmlNode& node) {
    State& writer = *state_;
    if (!writer.file)
        return;
    std::string& out = writer.buffer;
    out += "<";
    WriteEscaped(out, node.GetName());
    const std::vector<XmlAttribute>& attributes = node.Attributes();
    if (attributes.empty()) {
        out += ">";
        return;
    }
    out += " ";
    for (size_t i = 0; i < attributes.size(); ++i) {
        WriteEscaped(out, attributes[i].Name());
        out += "=\"";
        WriteEscaped(out, attributes[i].Value());
        out += "\"";
        if (i + 1 == attributes.size())
            break;
        if (i % 4 == 0 && i != 0) {
            out += "\n";
            WriteIndent(writer.indentLevel + 1);
        } else {
            out += " ";
        }
    }
    node.ClearAttributes();
    out += "/>";
}

namespace {

// The documents of the calls without a reader or writer: the calling
// thread's own.
XmlReader& DefaultReader() {
    thread_local XmlReader reader;
    return reader;
}

XmlWriter& DefaultWriter() {
    thread_local XmlWriter writer;
    return writer;
}

} // namespace

bool XmlCreateParser() {
    return DefaultReader().CreateParser();
}

void XmlSetTarget(XmlTarget target) {
    DefaultReader().SetTarget(std::move(target));
}

bool XmlOpenFile(const std::string& path) {
    return DefaultReader().OpenFile(path);
}

bool XmlParseFile() {
    return DefaultReader().ParseFile();
}

bool XmlParseBuffer(const void* data, size_t size) {
    return DefaultReader().ParseBuffer(data, size);
}

bool XmlCloseFile() {
    DefaultReader().CloseFile();
    return DefaultWriter().CloseFile();
}

void XmlFreeParser() {
    DefaultReader().FreeParser();
}

bool XmlOpenFileForWrite(const std::string& path) {
    return DefaultWriter().OpenFileForWrite(path);
}

void XmlWriteHeader() {
    DefaultWriter().WriteHeader();
}

void XmlWriteNewlines(int count) {
    DefaultWriter().WriteNewlines(count);
}

void XmlWriteIndent(int level) {
    DefaultWriter().WriteIndent(level);
}

void WriteXmlNode(XmlNode& node) {
    DefaultWriter().WriteNode(node);
}
