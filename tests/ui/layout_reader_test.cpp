#include "ui/layout_files.h"
#include "ui/layout_reader.h"
#include "ui/layout_record.h"

#include "files/pack_archive.h"
#include "ui_fixture.h"

#include <gtest/gtest.h>

namespace {

TEST(LayoutLine, FillsEveryFieldInOrder) {
    const std::string line = "ListBoxText\t7  3 10 20 110 220 1 2 3 4294967295 11 -12 13 14 "
                             "21\t22 23 24   4000000000 31 32 0x 5";
    UifLayoutRecord record;
    std::string error;
    // "0x" is not a number: nothing may be filled.
    EXPECT_FALSE(ParseLayoutLine(line + R"( "a" "b" "c" "d" "e" "f" "g" "h")", record, error));
    EXPECT_EQ(record, UifLayoutRecord());

    const std::string good = "ListBoxText\t7  3 10 20 110 220 1 2 3 4294967295 11 -12 13 14 "
                             "21\t22 23 24   4000000000 31 32 -255 5 \"img\" \"\" \"tip bg\" \"1203\" "
                             "\"Okay\" \"FE_Next.uif\" \"img2\" \"s7\"\r";
    ASSERT_TRUE(ParseLayoutLine(good, record, error)) << error;
    EXPECT_EQ(record.Keyword, "ListBoxText");
    EXPECT_EQ(record.Id, 3);
    EXPECT_EQ(record.Rect, (UiRect{10, 20, 110, 220}));
    EXPECT_EQ(record.Colour1, 1u);
    EXPECT_EQ(record.Colour4, 4294967295u);
    EXPECT_EQ(record.Value1, 11);
    EXPECT_EQ(record.Value2, -12);
    EXPECT_EQ(record.Value3, 13);
    EXPECT_EQ(record.Value4, 14);
    EXPECT_EQ(record.Rect2, (UiRect{21, 22, 23, 24}));
    EXPECT_EQ(record.ToolTipValue, 4000000000u);
    EXPECT_EQ(record.Value5, 31);
    EXPECT_EQ(record.Value6, 32);
    EXPECT_EQ(record.Flag, 0x01); // low byte of -255
    EXPECT_EQ(record.Font, 5);
    EXPECT_EQ(record.Image, "img");
    EXPECT_EQ(record.ToolTipText, "");
    EXPECT_EQ(record.ToolTipImage, "tip bg");
    EXPECT_EQ(record.Caption, "1203");
    EXPECT_EQ(record.Handler, "Okay");
    EXPECT_EQ(record.OpenLayout, "FE_Next.uif");
    EXPECT_EQ(record.Image2, "img2");
    EXPECT_EQ(record.String7, "s7");
    EXPECT_EQ(record.Extra1, 0);
    EXPECT_EQ(record.UserValue, -1);
}

TEST(LayoutLine, RefusesDamagedLines) {
    const std::string numbers = " 0 1 0 0 10 10 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
    const std::string strings = R"( "" "" "" "" "" "" "" "")";
    struct Case {
        const char* name;
        std::string line;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "empty line"},
        {"blanks only", " \t\r", "empty line"},
        {"short numbers", "Button 0 1 2" + strings, "has 3 numbers"},
        {"no strings", "Button" + numbers, "has 0 quoted strings"},
        {"seven strings", "Button" + numbers + R"( "" "" "" "" "" "" "")", "has 7 quoted strings"},
        {"nine strings", "Button" + numbers + strings + R"( "")", "after the eighth"},
        {"open string", "Button" + numbers + R"( "" "" "" "" "" "" "" "abc)", "not closed"},
        {"text between", "Button" + numbers + R"( "" x "" "" "" "" "" "" "")", "between quoted"},
        {"extra number", "Button" + numbers + " 9" + strings, "has 24 numbers"},
        {"number too big", "Button 0 2147483648 0 0 10 10 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0" + strings,
         "number 2"},
        {"sign only", "Button 0 - 0 0 10 10 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0" + strings, "number 2"},
        {"long string",
         "Button" + numbers + " \"" + std::string(260, 'x') + "\"" + R"( "" "" "" "" "" "" "")",
         "longer than 259"},
        {"long keyword", std::string(260, 'B') + numbers + strings, "keyword longer"},
        {"long line", "Button" + numbers + strings + std::string(2000, ' '), "line longer than 1999"},
    };
    for (const Case& c : cases) {
        UifLayoutRecord record;
        std::string error;
        EXPECT_FALSE(ParseLayoutLine(c.line, record, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(record, UifLayoutRecord()) << c.name;
    }
    // The longest values are accepted.
    UifLayoutRecord record;
    std::string error;
    EXPECT_TRUE(ParseLayoutLine("Button" + numbers + " \"" + std::string(259, 'x') + "\"" +
                                    R"( "" "" "" "" "" "" "")",
                                record, error))
        << error;
    EXPECT_TRUE(ParseLayoutLine("END", record, error));
    EXPECT_EQ(record.Keyword, "END");
}

std::string Layout(std::initializer_list<LineSpec> lines, bool end = true) {
    std::string text;
    for (const LineSpec& line : lines)
        text += LayoutLine(line);
    if (end)
        text += "END\n";
    return text;
}

TEST(LayoutText, PlansWidgetsRowSlotsAndTheMinimiseButton) {
    const std::string text = Layout({
        {"Dialog", 0, 0, 0, 300, 200, "Init"},
        {"ButtonDialogMin", 0, 280, 0, 300, 20},
        {"ScrollBar", 5, 200, 10, 216, 100},
        {"ListBoxText", 5, 10, 10, 200, 100, "Pick"},
        {"ListBoxText", 5, 10, 10, 200, 30, "Row2"},
        {"ListBoxText", 5, 10, 30, 200, 50},
        {"ListBoxText", 6, 10, 110, 200, 150},
        {"ButtonOkay", 0, 10, 160, 90, 190, "Okay"},
        {"TextHI", 2, 100, 160, 200, 190},
    });
    LayoutPlan plan;
    std::string error;
    ASSERT_TRUE(ReadLayoutText(text + "Garbage after the end\n", plan, error)) << error;
    ASSERT_EQ(plan.widgets.size(), 6u);
    const WidgetKind kinds[] = {WidgetKind::Button,  WidgetKind::ScrollBar, WidgetKind::ListBox,
                                WidgetKind::ListBox, WidgetKind::Button,    WidgetKind::Text};
    for (size_t i = 0; i < plan.widgets.size(); ++i)
        EXPECT_EQ(plan.widgets[i].kind, kinds[i]) << i;
    ASSERT_EQ(plan.widgets[2].rowSlots.size(), 2u);
    EXPECT_EQ(plan.widgets[2].rowSlots[0].Handler, "Row2");
    EXPECT_TRUE(plan.widgets[3].rowSlots.empty());
    EXPECT_TRUE(plan.hasMinimiseButton);
    EXPECT_EQ(plan.minimiseButton.record.Rect.left, 280);
    EXPECT_EQ(plan.widgets[5].lineNumber, 9);
}

TEST(LayoutText, ListLinesExtendOnlyAListBox) {
    // A first list box with Id 0 is a list box of its own, and a later line
    // with the Id of a button is no row slot of anything.
    LayoutPlan plan;
    std::string error;
    ASSERT_TRUE(ReadLayoutText(Layout({
                                   {"Dialog", 0, 0, 0, 300, 200},
                                   {"Button", 4, 0, 0, 10, 10},
                                   {"ListBoxIcon", 0, 0, 0, 50, 50},
                                   {"ListBoxIcon", 0, 0, 0, 50, 10},
                                   {"ListBoxIcon", 4, 0, 0, 50, 50},
                               }),
                               plan, error))
        << error;
    ASSERT_EQ(plan.widgets.size(), 4u);
    EXPECT_EQ(plan.widgets[2].rowSlots.size(), 1u);
    EXPECT_EQ(plan.widgets[3].kind, WidgetKind::ListBox);
    EXPECT_EQ(plan.widgets[1].kind, WidgetKind::Button);
}

TEST(LayoutText, RefusesDamagedFilesWithTheLine) {
    const std::string dialog = LayoutLine({"Dialog", 0, 0, 0, 300, 200});
    struct Case {
        const char* name;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"empty file", "", "line 0: no \"END\""},
        {"no END", dialog + LayoutLine({"Button"}), "line 2: no \"END\""},
        {"END cut", dialog + "EN", "line 2: has 0 numbers"},
        {"blank line", dialog + "\n" + "END\n", "line 2: empty line"},
        {"first not Dialog", LayoutLine({"Button"}) + "END\n", "line 1: the first line is \"Button\""},
        {"only END", "END\n", "line 1: \"END\" before"},
        {"unknown keyword", dialog + LayoutLine({"Slider"}) + "END\n", "line 2: keyword \"Slider\""},
        {"zero byte", dialog + std::string(1, '\0') + "END\n", "zero byte"},
        {"two minimise", dialog + LayoutLine({"ButtonDialogMin"}) + LayoutLine({"ButtonDialogMin"}) + "END",
         "line 3: a second"},
        {"too large", dialog + std::string(kMaxLayoutFileSize, ' ') + "END", "larger than"},
    };
    for (const Case& c : cases) {
        LayoutPlan plan;
        plan.widgets.resize(1);
        std::string error;
        EXPECT_FALSE(ReadLayoutText(c.text, plan, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(plan.widgets.size(), 1u) << c.name << ": the plan must stay as it was";
    }
    // An END without a line feed, with CRLF line ends, ends the layout.
    LayoutPlan plan;
    std::string error;
    std::string crlf = dialog;
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_TRUE(ReadLayoutText(crlf + "END", plan, error)) << error;
}

TEST(LayoutKeywords, FollowTheLoadersOrder) {
    const std::pair<const char*, WidgetKind> cases[] = {
        {"Dialog", WidgetKind::Button},
        {"ButtonS", WidgetKind::Button},
        {"ButtonCheckBoxAuto", WidgetKind::Button},
        {"ScrollBtnButton", WidgetKind::Button},
        {"TreeListBoxHI", WidgetKind::TreeListBox},
        {"ListBoxADVTextHI", WidgetKind::ListBox},
        {"MyListBoxTab", WidgetKind::ListBox},
        {"ScrollBtnUp", WidgetKind::ScrollBtn},
        {"ScrollBar", WidgetKind::ScrollBar},
        {"ScrollBarX", WidgetKind::None},
        {"ComboBoxHI", WidgetKind::ComboBox},
        {"TabPage", WidgetKind::Tab},
        {"Table", WidgetKind::Tab},
        {"View", WidgetKind::View},
        {"User", WidgetKind::User},
        {"SpinHI", WidgetKind::Spin},
        {"Text", WidgetKind::Text},
        {"TextBig", WidgetKind::None},
        {"StatusBarP", WidgetKind::StatusBar},
        {"EditHI", WidgetKind::Edit},
        {"Menu", WidgetKind::Menu},
        {"Dialogue", WidgetKind::None},
        {"END", WidgetKind::None},
    };
    for (const auto& [keyword, kind] : cases)
        EXPECT_EQ(KindOfKeyword(keyword), kind) << keyword;
}

TEST(LayoutFiles, NamesStayInTheLayoutFolder) {
    EXPECT_EQ(LayoutBaseName("FE_Main.uif"), "FE_Main");
    EXPECT_EQ(LayoutBaseName("FE_Main.uif.bak"), "FE_Main");
    EXPECT_EQ(LayoutBaseName("FE_Main"), "FE_Main");
    for (const char* bad : {"", "..", "../x", "a/b", "a\\b", "c:x", "a\nb"})
        EXPECT_FALSE(IsSafeLayoutName(bad)) << bad;
    EXPECT_TRUE(IsSafeLayoutName("UIF_BuyVehicle"));
}

TEST(LayoutFiles, ReadsLooseAndPackedLayoutsAndLogsRefusals) {
    ScratchInstall install;
    const std::string good = Layout({{"Dialog", 0, 0, 0, 300, 200}, {"Button", 1, 10, 10, 50, 30}});
    install.Write("uif/Loose.uif", good);
    install.Write("uif/Broken.uif", Layout({{"Dialog", 0, 0, 0, 300, 200}}, false));
    install.Write("packing/uif/Packed.uif", good);
    PackArchive builder;
    builder.SetRootFolder(install.Path() + "/packing");
    ASSERT_TRUE(builder.ScanFolder());
    ASSERT_TRUE(builder.BuildPackArchive(install.Path() + "/uif.pkq"));
    ASSERT_TRUE(install.MountFolder());
    ASSERT_TRUE(VfsAddSource("pkq", install.Path() + "/uif.pkq"));

    LayoutPlan plan;
    EXPECT_TRUE(LoadLayoutPlan("Loose.uif", plan));
    EXPECT_EQ(plan.widgets.size(), 2u);
    plan = {};
    EXPECT_TRUE(LoadLayoutPlan("Packed", plan));
    EXPECT_EQ(plan.widgets.size(), 2u);

    ClearAssetProblem();
    EXPECT_FALSE(LoadLayoutPlan("Broken.uif", plan));
    EXPECT_EQ(LastAssetProblem(), "layout uif/Broken.uif: line 1: no \"END\" line");
    EXPECT_FALSE(LoadLayoutPlan("Missing", plan));
    EXPECT_EQ(LastAssetProblem(), "layout uif/Missing.uif: cannot be opened");
    EXPECT_FALSE(LoadLayoutPlan("../uif/Loose.uif", plan));
    EXPECT_NE(LastAssetProblem().find("not a name in the layout folder"), std::string::npos);
}

} // namespace
