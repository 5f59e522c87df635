// XML documents without a tree, for the settings file and the font
// definitions: the reader hands each element to one callback as a
// short-lived node; the writer prints one node at a time as a tag while the
// caller decides order, line breaks and indentation. Each XmlReader and
// XmlWriter is one document with its own state; the Xml... calls act on the
// calling thread's default reader and writer.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class XmlAttribute {
public:
    XmlAttribute() = default;
    XmlAttribute(std::string name, std::string value) : name_(std::move(name)), value_(std::move(value)) {}

    std::string GetName() const { return name_; }
    std::string GetValue() const { return value_; }
    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }
    void SetName(std::string_view name) { name_ = name; }
    void SetValue(std::string_view value) { value_ = value; }

    friend bool operator==(const XmlAttribute&, const XmlAttribute&) = default;

private:
    std::string name_;
    std::string value_;
};

class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(std::string name) : name_(std::move(name)) {}

    const std::string& GetName() const { return name_; }
    void SetName(std::string_view name) { name_ = name; }

    // What the reader found: the element's attributes, or its text as one
    // attribute named like the element.
    const std::vector<XmlAttribute>& ReadAttributes() const { return readAttributes_; }
    void AddReadAttribute(XmlAttribute attribute) { readAttributes_.push_back(std::move(attribute)); }

    // What WriteXmlNode prints; it empties the list.
    const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
    void AddAttribute(const XmlAttribute& attribute) { attributes_.push_back(attribute); }
    void ClearAttributes() { attributes_.clear(); }

private:
    std::string name_;
    std::vector<XmlAttribute> readAttributes_;
    std::vector<XmlAttribute> attributes_;
};

// Receives every node the reader delivers; the node lives only for the call.
using XmlTarget = std::function<void(const XmlNode& node)>;

// Reading. The callback sees an element with attributes as one node
// carrying them; an element without attributes as one node once its text
// has arrived, carrying the text as an attribute named like the element
// (text beginning with a line feed or a tab is indentation and is never
// delivered); and every element's end as a node named "/" and the name.

// One document being read. Expat hands every callback its own reader, so
// documents can be read at once, even one from inside another's callback.
class XmlReader {
public:
    XmlReader();
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // As XmlCreateParser and the calls after it.
    bool CreateParser();
    void SetTarget(XmlTarget target);
    bool OpenFile(const std::string& path);
    bool ParseFile();
    bool ParseBuffer(const void* data, size_t size);
    void CloseFile();
    void FreeParser();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// One document being written, as the XmlOpenFileForWrite calls write it.
class XmlWriter {
public:
    XmlWriter();
    ~XmlWriter();
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;

    bool OpenFileForWrite(const std::string& path);
    void WriteHeader();
    void WriteNewlines(int count);
    void WriteIndent(int level);
    void WriteNode(XmlNode& node);
    // Replaces the target with the document; a writer destroyed without it
    // leaves the old file as it was.
    bool CloseFile();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Frees a parser still held and creates a new one; false when it cannot.
bool XmlCreateParser();
void XmlSetTarget(XmlTarget target);
// Opens a plain file on disk; false when it cannot be opened.
bool XmlOpenFile(const std::string& path);
// Parses the open file to its end. False on a read or parse error; the
// nodes before the error have been delivered.
bool XmlParseFile();
// Parses a whole document held in memory, as XmlParseFile does.
bool XmlParseBuffer(const void* data, size_t size);
// Closes the file opened for reading or writing. A written document
// replaces its target only here, in one step; false when that failed (the
// old file is then left as it was).
bool XmlCloseFile();
void XmlFreeParser();

// Writing; each call does nothing while no file is open for writing.

bool XmlOpenFileForWrite(const std::string& path);
void XmlWriteHeader();
void XmlWriteNewlines(int count);
// Sets the current indentation level and writes four spaces per level.
void XmlWriteIndent(int level);
// Writes the node as a tag: "<name>" without attributes (an end tag when the
// name begins with "/"), else "<name a="1" b="2"/>", going on in a new line one
// level deeper after the 5th, 9th, ... attribute. Names and values are
// escaped. Empties the node's attributes.
void WriteXmlNode(XmlNode& node);
