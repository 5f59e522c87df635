#include "files/xml.h"

#include "platform/file.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A node as one line: its name and its read attributes, "Font[name=Arial]".
std::string Describe(const XmlNode& node) {
    std::string text = node.GetName();
    if (node.ReadAttributes().empty())
        return text;
    text += '[';
    for (size_t i = 0; i < node.ReadAttributes().size(); ++i) {
        const XmlAttribute& a = node.ReadAttributes()[i];
        text += (i ? "," : "") + a.GetName() + "=" + a.GetValue();
    }
    return text + ']';
}

struct ParseResult {
    bool ok = false;
    std::vector<std::string> nodes;
};

ParseResult ParseText(const std::string& document) {
    ParseResult result;
    EXPECT_TRUE(XmlCreateParser());
    XmlSetTarget([&](const XmlNode& node) { result.nodes.push_back(Describe(node)); });
    result.ok = XmlParseBuffer(document.data(), document.size());
    XmlFreeParser();
    XmlSetTarget(nullptr);
    return result;
}

class XmlFileTest : public ::testing::Test {
protected:
    void TearDown() override { XmlCloseFile(); }

    std::string PathOf(const char* name) const { return folder_ / name; }

    std::string ReadBack(const std::string& path) const {
        std::string text;
        EXPECT_TRUE(plat::ReadWholeFile(path, text));
        return text;
    }

    ParseResult ParseFileAt(const std::string& path) {
        ParseResult result;
        EXPECT_TRUE(XmlCreateParser());
        XmlSetTarget([&](const XmlNode& node) { result.nodes.push_back(Describe(node)); });
        EXPECT_TRUE(XmlOpenFile(path));
        result.ok = XmlParseFile();
        XmlCloseFile();
        XmlFreeParser();
        XmlSetTarget(nullptr);
        return result;
    }

    ScratchFolder folder_;
};

TEST(XmlRead, DeliversNodesAsTheCallbackExpects) {
    struct Case {
        const char* name;
        const char* document;
        std::vector<std::string> nodes;
    };
    const Case cases[] = {
        {"attributes", R"(<Font name="Arial" size="12"/>)", {"Font[name=Arial,size=12]", "/Font"}},
        {"text", "<Player>Anna</Player>", {"Player[Player=Anna]", "/Player"}},
        {"empty element", "<Empty></Empty>", {"/Empty"}},
        {"indentation",
         "<?xml version=\"1.0\"?>\n<GameStatus>\n    <Display a=\"1\"/>\n\t<Name>Bo</Name>\n</GameStatus>\n",
         {"Display[a=1]", "/Display", "Name[Name=Bo]", "/Name", "/GameStatus"}},
        {"text of an element with attributes is dropped", R"(<A k="v">text</A>)", {"A[k=v]", "/A"}},
        {"entities join one text",
         "<N>Tom &amp; &quot;Jerry&quot; &lt;3</N>",
         {"N[N=Tom & \"Jerry\" <3]", "/N"}},
        {"text over lines", "<N>one\ntwo</N>", {"N[N=one\ntwo]", "/N"}},
        {"character references", "<N>&#233;t&#xE9;</N>", {"N[N=\xC3\xA9t\xC3\xA9]", "/N"}},
    };
    for (const Case& c : cases) {
        ParseResult result = ParseText(c.document);
        EXPECT_TRUE(result.ok) << c.name;
        EXPECT_EQ(result.nodes, c.nodes) << c.name;
    }
}

TEST(XmlRead, TextAcrossBlocksIsDeliveredWhole) {
    // expat hands over text in runs split at every 512-byte block and every
    // entity; the reader must join them rather than keep the first run.
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "line " + std::to_string(i) + " & more ";
    std::string escaped;
    for (char c : text)
        escaped += c == '&' ? std::string("&amp;") : std::string(1, c);
    ParseResult result = ParseText("<Notes>" + escaped + "</Notes>");
    EXPECT_TRUE(result.ok);
    ASSERT_EQ(result.nodes.size(), 2u);
    EXPECT_EQ(result.nodes[0], "Notes[Notes=" + text + "]");
}

TEST(XmlRead, MalformedDocumentsFailAfterTheirGoodPart) {
    struct Case {
        const char* document;
        std::vector<std::string> nodes;
    };
    const Case cases[] = {
        {"", {}},
        {"not xml", {}},
        {"<A x=\"1\"/><B/>", {"A[x=1]", "/A"}},
        {"<A><B x=\"1\"></A>", {"B[x=1]"}},
        {"<A>unclosed", {"A[A=unclosed]"}},
        {"<A x=\"1>", {}},
        {"<A>&undefined;</A>", {}},
        {"<A x=\"1\" x=\"2\"/>", {}},
        {"<A>\x01</A>", {}},
    };
    for (const Case& c : cases) {
        ParseResult result = ParseText(c.document);
        EXPECT_FALSE(result.ok) << c.document;
        EXPECT_EQ(result.nodes, c.nodes) << c.document;
    }
}

TEST(XmlRead, DeepNesting) {
    const int depth = 50000;
    std::string document;
    for (int i = 0; i < depth; ++i)
        document += "<d>";
    std::string closed = document;
    for (int i = 0; i < depth; ++i)
        closed += "</d>";

    ParseResult result = ParseText(closed);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.nodes.size(), size_t(depth));
    EXPECT_FALSE(ParseText(document).ok);
}

TEST(XmlRead, NothingWithoutParser) {
    XmlFreeParser();
    EXPECT_FALSE(XmlParseBuffer("<A/>", 4));
    EXPECT_FALSE(XmlParseFile());
}

TEST_F(XmlFileTest, ReadsAFileByPath) {
    std::string path = PathOf("fonts.xml");
    ASSERT_TRUE(plat::WriteFileAtomically(path, "<?xml version=\"1.0\"?>\n<Font name=\"Sans\"/>\n"));
    ParseResult result = ParseFileAt(path);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.nodes, (std::vector<std::string>{"Font[name=Sans]", "/Font"}));
    EXPECT_FALSE(XmlOpenFile(PathOf("missing.xml")));
}

TEST_F(XmlFileTest, TruncatedFileOfWholeBlocksFails) {
    // Without a final block at the end of a file of exactly 512 bytes the
    // parser would never notice that the document stops in the middle.
    std::string document = "<A>" + std::string(512 - 3, 'x');
    std::string path = PathOf("cut.xml");
    ASSERT_TRUE(plat::WriteFileAtomically(path, document));
    EXPECT_FALSE(ParseFileAt(path).ok);

    std::string whole = "<A" + std::string(512 - 6, ' ') + "/>\n\n";
    ASSERT_EQ(whole.size(), 512u);
    ASSERT_TRUE(plat::WriteFileAtomically(path, whole));
    ParseResult result = ParseFileAt(path);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.nodes, (std::vector<std::string>{"/A"}));
}

TEST_F(XmlFileTest, WritesTagsAsTheCallerLaysThemOut) {
    std::string path = PathOf("GameStatus.xml");
    ASSERT_TRUE(XmlOpenFileForWrite(path));
    XmlWriteHeader();
    XmlNode root("GameStatus");
    WriteXmlNode(root);
    XmlWriteNewlines(1);
    XmlWriteIndent(1);
    XmlNode display("Display");
    display.AddAttribute(XmlAttribute("a", "1"));
    display.AddAttribute(XmlAttribute("b", "2"));
    WriteXmlNode(display);
    EXPECT_TRUE(display.Attributes().empty());
    XmlWriteNewlines(1);
    XmlWriteIndent(1);
    XmlNode wide("Wide");
    for (int i = 0; i < 6; ++i)
        wide.AddAttribute(XmlAttribute("v" + std::to_string(i), std::to_string(i)));
    WriteXmlNode(wide);
    XmlWriteNewlines(0);
    XmlWriteNewlines(-3);
    XmlWriteNewlines(1);
    XmlNode end("/GameStatus");
    WriteXmlNode(end);
    XmlWriteNewlines(1);
    EXPECT_TRUE(XmlCloseFile());

    EXPECT_EQ(ReadBack(path), "<?xml version=\"1.0\"?>\n"
                              "<GameStatus>\n"
                              "    <Display a=\"1\" b=\"2\"/>\n"
                              "    <Wide v0=\"0\" v1=\"1\" v2=\"2\" v3=\"3\" v4=\"4\"\n"
                              "        v5=\"5\"/>\n"
                              "</GameStatus>\n");
}

TEST_F(XmlFileTest, WrittenValuesReadBackUnchanged) {
    const std::vector<std::string> values = {
        "say \"hi\"",
        "fish & chips",
        "a < b > c",
        "it's",
        "line\nbreak\ttab\r",
        std::string(2000, 'z') + "&<\"",
        "\xC3\xA4\xC3\xB6\xC3\xBC",
    };
    std::string path = PathOf("values.xml");
    ASSERT_TRUE(XmlOpenFileForWrite(path));
    XmlWriteHeader();
    for (const std::string& value : values) {
        XmlNode node("Item");
        node.AddAttribute(XmlAttribute("value", value));
        WriteXmlNode(node);
        XmlWriteNewlines(1);
    }
    ASSERT_TRUE(XmlCloseFile());

    // One document needs one root element.
    std::string document = ReadBack(path);
    document.insert(document.find('\n') + 1, "<Root>");
    document += "</Root>";
    ParseResult result = ParseText(document);
    EXPECT_TRUE(result.ok);
    std::vector<std::string> expected;
    for (const std::string& value : values) {
        expected.push_back("Item[value=" + value + "]");
        expected.push_back("/Item");
    }
    expected.push_back("/Root");
    EXPECT_EQ(result.nodes, expected);
}

TEST_F(XmlFileTest, ControlCharactersAreLeftOutSoTheFileStaysReadable) {
    std::string path = PathOf("control.xml");
    ASSERT_TRUE(XmlOpenFileForWrite(path));
    XmlNode node("Item");
    node.AddAttribute(XmlAttribute("value", std::string("a\x01"
                                                        "b\x1F"
                                                        "c")));
    WriteXmlNode(node);
    ASSERT_TRUE(XmlCloseFile());
    EXPECT_EQ(ReadBack(path), "<Item value=\"abc\"/>");
}

TEST_F(XmlFileTest, WriteReplacesTheFileOnlyWhenClosed) {
    std::string path = PathOf("GameStatus.xml");
    ASSERT_TRUE(plat::WriteFileAtomically(path, "<Old/>"));
    ASSERT_TRUE(XmlOpenFileForWrite(path));
    XmlNode node("New");
    WriteXmlNode(node);
    EXPECT_EQ(ReadBack(path), "<Old/>");
    EXPECT_TRUE(XmlCloseFile());
    EXPECT_EQ(ReadBack(path), "<New>");
}

TEST_F(XmlFileTest, WritingNeedsAnOpenFile) {
    EXPECT_FALSE(XmlOpenFileForWrite(PathOf("no/such/folder/x.xml")));
    XmlNode node("Lost");
    node.AddAttribute(XmlAttribute("a", "1"));
    XmlWriteHeader();
    XmlWriteIndent(2);
    WriteXmlNode(node);
    EXPECT_EQ(node.Attributes().size(), 1u);
    EXPECT_TRUE(XmlCloseFile());
    EXPECT_EQ(folder_.FileCount(), 0u);
}

// Each reader and writer is a document of its own: a reader inside another's
// callback (an included file), and two files written at once.
TEST_F(XmlFileTest, DocumentsKeepTheirOwnState) {
    const std::string inner = "<Font name=\"Serif\"/>";
    std::vector<std::string> outerNodes, innerNodes;
    XmlReader outer;
    ASSERT_TRUE(outer.CreateParser());
    outer.SetTarget([&](const XmlNode& node) {
        outerNodes.push_back(Describe(node));
        if (node.GetName() != "/Include")
            return;
        XmlReader included;
        ASSERT_TRUE(included.CreateParser());
        included.SetTarget([&](const XmlNode& n) { innerNodes.push_back(Describe(n)); });
        EXPECT_TRUE(included.ParseBuffer(inner.data(), inner.size()));
        // The default reader is a third document, left alone by both.
        EXPECT_FALSE(XmlParseBuffer("<A/>", 4));
    });
    const std::string document = "<Fonts><Name>Bo</Name><Include/><Name>Al</Name></Fonts>";
    ASSERT_TRUE(outer.ParseBuffer(document.data(), document.size()));
    EXPECT_EQ(outerNodes, (std::vector<std::string>{"Name[Name=Bo]", "/Name", "/Include", "Name[Name=Al]",
                                                    "/Name", "/Fonts"}));
    EXPECT_EQ(innerNodes, (std::vector<std::string>{"Font[name=Serif]", "/Font"}));

    XmlWriter first, second;
    ASSERT_TRUE(first.OpenFileForWrite(PathOf("first.xml")));
    ASSERT_TRUE(second.OpenFileForWrite(PathOf("second.xml")));
    first.WriteIndent(1);
    XmlNode a("A"), b("B");
    second.WriteNode(b);
    first.WriteNode(a);
    EXPECT_TRUE(second.CloseFile());
    EXPECT_TRUE(first.CloseFile());
    EXPECT_EQ(ReadBack(PathOf("first.xml")), "    <A>");
    EXPECT_EQ(ReadBack(PathOf("second.xml")), "<B>");
}

} // namespace
