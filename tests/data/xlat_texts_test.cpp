#include "data/xlat_texts.h"

#include "platform/file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A small ingame.txt with the cases that matter: escapes, an empty text,
// a text without closing quote, CR-LF line ends, comments and malformed
// lines.
constexpr const char* kFixture = "// interface texts\r\n"
                                 "g\"belongs to the empty key\"\n"
                                 "\"123\"\r\n"
                                 "g\"Hallo\\nWelt\"\r\n"
                                 "e\"\"\n"
                                 "\"200\n"
                                 "G\"upper-case letters are not letters\"\n"
                                 "#\"alt \\\"quoted\\\" text\"\n"
                                 "\"7\"\n"
                                 "g\"open text\n"
                                 "$\"tab\\there\"\n"
                                 "\"7\"\n"
                                 "e\"seven\"\n"
                                 "g\"replaced open text\"";

class XlatTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts.Load(kFixture);
        texts.SetLetter('g');
    }
    void TearDown() override { SetShowXlatMarker(false); }

    XlatTexts texts;
};

TEST_F(XlatTextsTest, LooksUpByKeyAndLetter) {
    struct Case {
        const char* key;
        char letter;
        std::string expected;
    };
    const Case cases[] = {
        {"123", 'g', "Hallo\\nWelt"},
        {"123", 'e', std::string(kUntranslatedText)},
        {"123", 'f', std::string(kUnfoundText)},
        {"124", 'g', std::string(kUnfoundText)},
        {"123", '#', "alt 'quoted' text"},
        {"7", 'g', "replaced open text"},
        {"7", '$', "tab\\there"},
        {"7", 'e', "seven"},
        {"", 'g', ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(texts.GetTextFor(c.key, c.letter), c.expected) << c.key << " / " << c.letter;
    EXPECT_EQ(texts.GetText("123"), "Hallo\\nWelt");
}

TEST_F(XlatTextsTest, HasTextOnlyForNonEmptyTexts) {
    EXPECT_TRUE(texts.HasText("123", 'g'));
    EXPECT_FALSE(texts.HasText("123", 'e'));
    EXPECT_FALSE(texts.HasText("123", 'x'));
    EXPECT_FALSE(texts.HasText("999", 'g'));
    EXPECT_FALSE(texts.HasText("", 'g'));
}

TEST_F(XlatTextsTest, GrammarCornerCases) {
    // Text lines before the first key line belong to the empty key, which
    // no lookup reaches.
    EXPECT_EQ(texts.KeyCount(), 3u);
    // A key line without closing quote is ignored: the next text still
    // belongs to 123, and "200" never became a key.
    EXPECT_FALSE(texts.HasText("200", '#'));
    // Upper-case first letters are not text lines.
    EXPECT_FALSE(texts.HasText("123", 'G'));
}

TEST_F(XlatTextsTest, TextWithoutClosingQuoteKeepsItsLineBreak) {
    XlatTexts open;
    open.Load("\"1\"\ng\"no end\r\n");
    open.SetLetter('g');
    EXPECT_EQ(open.GetText("1"), "no end\r\\n");
}

TEST_F(XlatTextsTest, SwitchedOffHandsBackTheKey) {
    texts.SetLetter(' ');
    EXPECT_EQ(texts.GetText("123"), "123");
    EXPECT_EQ(texts.GetTextFor("123", 'g'), "123");
    EXPECT_EQ(texts.GetText(""), "");
    SetShowXlatMarker(true);
    EXPECT_EQ(texts.GetText("123"), "[XLAT]123");
    EXPECT_EQ(texts.GetText("unknown"), "[XLAT]unknown");
}

TEST_F(XlatTextsTest, LetterIsFoldedToLowerCase) {
    texts.SetLetter('G');
    EXPECT_EQ(texts.Letter(), 'g');
    EXPECT_EQ(texts.GetText("123"), "Hallo\\nWelt");
    texts.SetLetter('$');
    EXPECT_EQ(texts.Letter(), '$');
}

TEST_F(XlatTextsTest, LoadAddsAndClearEmpties) {
    texts.Load("\"123\"\nf\"Bonjour\"\n");
    EXPECT_EQ(texts.GetTextFor("123", 'f'), "Bonjour");
    EXPECT_EQ(texts.GetTextFor("123", 'g'), "Hallo\\nWelt");
    texts.Clear();
    EXPECT_EQ(texts.KeyCount(), 0u);
    EXPECT_EQ(texts.GetText("123"), kUnfoundText);
}

TEST(XlatTextsLoad, StopsAtTheFirstZeroByte) {
    XlatTexts texts;
    constexpr char kText[] = "\"1\"\ng\"one\"\n\0\"2\"\ng\"two\"\n";
    texts.Load(std::string_view(kText, sizeof kText - 1));
    texts.SetLetter('g');
    EXPECT_EQ(texts.GetText("1"), "one");
    EXPECT_EQ(texts.GetText("2"), kUnfoundText);
}

TEST(XlatTextsLoad, UnescapesAndStoresEscaped) {
    struct Case {
        const char* written;
        std::string stored;
    };
    const Case cases[] = {
        {R"(a\tb\fc)", R"(a\tb\fc)"},
        {R"(cr\rbs\bbell\aone\1)", "cr\rbs\bbell\aone\1"},
        {R"(single \' double \" back \\)", R"(single ' double ' back \)"},
        {R"(\xq and \xn)", "q and n"},
        {R"(unknown \q stays)", R"(unknown \q stays)"},
        {R"(trailing \)", "trailing "},
        {R"(cut at \x)", "cut at "},
        // An escaped backslash before t, a or b leaves a backslash before a
        // control character, which stays as it is.
        {R"(\\tab \\a \\b)", "\\\\tab \\\a \\\b"},
        {R"(\\n)", R"(\\n)"},
    };
    for (const Case& c : cases) {
        XlatTexts texts;
        texts.Load(std::string("\"k\"\ng\"") + c.written + "\"\n");
        texts.SetLetter('g');
        EXPECT_EQ(texts.GetText("k"), c.stored) << c.written;
    }
}

TEST(XlatTextsLoad, KeysAreUnescapedAndEscapedLikeTexts) {
    XlatTexts texts;
    texts.Load("\"a\\\"b\\tc\"\ng\"text\"\n");
    texts.SetLetter('g');
    EXPECT_EQ(texts.GetText("a'b\\tc"), "text");
}

TEST(XlatTextsLoad, LongLinesAreSplit) {
    // 'g', the quote and 19997 characters fill a line: the text has no
    // closing quote, and the rest of the line is read as a line of its own.
    const std::string full(19997, 'x');
    struct Case {
        std::string rest;
        std::string expected;
    };
    const Case cases[] = {
        {"\"", full},              // a lone quote: ignored
        {"yyy\"", full},           // no text line: ignored
        {"g\"rest\"", "rest"},     // a text line of its own
        {"\"2\"\ng\"two\"", full}, // a key line moves on
    };
    for (const Case& c : cases) {
        XlatTexts texts;
        texts.Load("\"1\"\ng\"" + full + c.rest + "\n");
        texts.SetLetter('g');
        EXPECT_EQ(texts.GetText("1"), c.expected) << c.rest;
    }
}

TEST(XlatTextsLoad, EmptyAndGarbageInputs) {
    const std::string inputs[] = {
        "", "\n\n\n", "\"", "g", "g\"", "\"\"", std::string(50000, '"'), std::string("\\\\\\\\\\")};
    for (const std::string& input : inputs) {
        XlatTexts texts;
        texts.Load(input);
        texts.SetLetter('g');
        EXPECT_EQ(texts.GetText("1"), kUnfoundText);
    }
}

TEST(XlatTextsGlobal, OneContainerForTheProcess) {
    EXPECT_EQ(&GetXlatTexts(), &GetXlatTexts());
}

} // namespace
