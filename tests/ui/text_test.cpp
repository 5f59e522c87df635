#include "ui/widgets/text.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

int clicks = 0;
void Clicked(UifControl*) {
    ++clicks;
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        clicks = 0;
        ui.painter.images["dlg"] = {400, 300};
        ui.registry.Register("UIF_Texts", "Clicked", &Clicked);
        ui.manager.Init("!,", "", {0, 0, 400, 300}, {0, 0, 400, 276});
        std::string text;
        for (const LineSpec& line : {
                 LineSpec("Dialog", 0, 0, 0, 400, 300).Image("dlg"),
                 LineSpec("Text", 1, 10, 10, 70, 60), // 60 wide: ten characters a row
                 LineSpec("TextHI", 2, 10, 100, 110, 120, "Clicked"),
                 LineSpec("Text", 3, 10, 200, 110, 300).Values(1, 0), // centred
             })
            text += LayoutLine(line);
        ui.WriteLayout("UIF_Texts", text + "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Texts")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Texts");
        dialog = ui.manager.FindDialog("UIF_Texts");
        plain = dialog->GetControlAs<Text>(1);
        ASSERT_TRUE(plain);
    }
    // The texts drawn in the last frame with their top-left corners.
    std::vector<std::pair<std::string, UiPoint>> Drawn() const {
        std::vector<std::pair<std::string, UiPoint>> texts;
        for (const auto& d : ui.painter.drawn) {
            if (d.frame == -1)
                texts.emplace_back(d.what, UiPoint{d.target.left, d.target.top});
        }
        return texts;
    }
    using Texts = std::vector<std::pair<std::string, UiPoint>>;

    UiDriver ui;
    Dialog* dialog = nullptr;
    Text* plain = nullptr;
};

TEST_F(TextTest, PlainLayoutBreaksWrapsAndClips) {
    struct Case {
        const char* text;
        Texts drawn;
    };
    const Case cases[] = {
        {"", {}},
        {"one\ntwo", {{"one", {10, 10}}, {"two", {10, 20}}}},
        {"one\\ntwo", {{"one", {10, 10}}, {"two", {10, 20}}}},
        // Words flow, a space apart, and wrap when one would reach the right edge.
        {"aa bb cccccc", {{"aa", {10, 10}}, {"bb", {28, 10}}, {"cccccc", {10, 20}}}},
        // Rows that start at or below the bottom are not drawn.
        {"1\n2\n3\n4\n5\n6",
         {{"1", {10, 10}}, {"2", {10, 20}}, {"3", {10, 30}}, {"4", {10, 40}}, {"5", {10, 50}}}},
        // A character that may not begin a line joins the word before it.
        {"aaaa bbbb !ccc", {{"aaaa", {10, 10}}, {"bbbb", {40, 10}}, {"bbbb!", {40, 10}}, {"ccc", {10, 20}}}},
        {"!x", {{"!x", {10, 10}}}},
    };
    for (const Case& c : cases) {
        plain->SetText(c.text);
        ui.Frame();
        EXPECT_EQ(Drawn(), c.drawn) << c.text;
    }
}

TEST_F(TextTest, FormattedLayoutCentresAndSwitchesFonts) {
    auto* centred = dialog->GetControlAs<Text>(3);
    centred->SetText("\\tc word \\tc");
    ui.Frame();
    EXPECT_EQ(Drawn(), (Texts{{"word", {60 - 12, 200}}}));
    EXPECT_FALSE(centred->WasNothingDrawn());
    centred->SetText("\\ft 03 word \\tc");
    ui.Frame();
    EXPECT_EQ(Drawn(), (Texts{{"word ", {10, 200}}}));
    centred->SetText("\\tc \\ft 03 word");
    ui.Frame();
    EXPECT_EQ(Drawn(), (Texts{{"03 word", {60 - 21, 200}}}));
    // Damaged markup draws what it can.
    centred->SetText("\\tc \\ft");
    ui.Frame();
    EXPECT_TRUE(centred->WasNothingDrawn());
    centred->SetText("\\ft x\\tc");
    ui.Frame();
}

TEST_F(TextTest, HoverTextsFireAndPlainTextsOnlyShowTooltips) {
    ui.Click(50, 110);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(dialog->GetControlAs<Text>(2)->GetState(), 2);
    plain->SetToolTipText("tip");
    EXPECT_EQ(plain->HitTest({20, 20}), nullptr);
}

TEST_F(TextTest, TextFilesStayInTheTextFolder) {
    for (const char* bad : {"../secret", "a/b", "..", "c:\\x", ""})
        EXPECT_FALSE(IsSafeTextFileName(bad)) << bad;
    EXPECT_TRUE(IsSafeTextFileName("credits.txt"));
    ui.WriteLayout("UIF_File",
                   LayoutLine(LineSpec("Dialog", 0, 0, 0, 10, 10)) +
                       "Text 0 1 0 0 10 10 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 \"\" \"\" \"\" \"\" \"\" "
                       "\"\" \"../../etc/passwd\" \"\"\nEND\n");
    ClearAssetProblem();
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_File"));
    EXPECT_NE(LastAssetProblem().find("not a name in the text folder"), std::string::npos);
    EXPECT_EQ(ui.manager.FindDialog("UIF_File")->GetControlAs<Text>(1)->GetText(), "");
}

} // namespace
