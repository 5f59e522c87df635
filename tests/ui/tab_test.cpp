#include "ui/widgets/button.h"
#include "ui/widgets/tab.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> pressed;
void PageButton(UifControl* c) {
    pressed.push_back(c ? c->GetLayoutName() : "null");
}

class TabTest : public ::testing::Test {
protected:
    void SetUp() override {
        pressed.clear();
        ui.painter.images["dlg"] = {400, 300};
        ui.painter.images["tab"] = {80, 80}; // 4 frames of 80 x 20
        ui.painter.images["btn"] = {60, 80};
        ui.registry.Register("UIF_Tabs", "PageButton", &PageButton);
        std::string text;
        for (const LineSpec& line : {LineSpec("Dialog", 0, 0, 0, 400, 300).Image("dlg"),
                                     LineSpec("Tab", 1, 0, 0, 80, 20).Image("tab").Open("UIF_PageA"),
                                     LineSpec("Tab", 1, 80, 0, 160, 20).Image("tab").Open("UIF_PageB"),
                                     LineSpec("Tab", 2, 200, 0, 280, 20).Image("tab")})
            text += LayoutLine(line);
        ui.WriteLayout("UIF_Tabs", text + "END\n");
        for (const char* page : {"UIF_PageA", "UIF_PageB"})
            ui.WriteLayout(page,
                           LayoutLine(LineSpec("Dialog", 0, 0, 0, 400, 280)) +
                               LayoutLine(LineSpec("Button", 5, 10, 10, 70, 30, "PageButton").Image("btn")) +
                               "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Tabs")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Tabs");
        dialog = ui.manager.FindDialog("UIF_Tabs");
        a = dialog->GetControlAs<Tab>(1);
        b = dialog->GetControlAs<Tab>(2);
        lone = dialog->GetControlAs<Tab>(3);
        ASSERT_TRUE(a && b && lone);
        ui.Frame();
        ui.Frame();
    }
    void ClickAt(const UiRect& r) { ui.Click(r.left + 10, r.top + 10); }

    UiDriver ui;
    Dialog* dialog = nullptr;
    Tab* a = nullptr;
    Tab* b = nullptr;
    Tab* lone = nullptr;
};

TEST_F(TabTest, HitInfoNamesThePageWidgetUnderThePoint) {
    const UifLayoutRecord& button = a->GetChild(1)->GetLayoutRecord();
    EXPECT_EQ(a->HitInfo({button.Rect.left + 5, button.Rect.top + 5}).Handler, "PageButton");
    EXPECT_EQ(&a->HitInfo({a->GetLayoutRecord().Rect.left + 5, a->GetLayoutRecord().Rect.top + 5}),
              &a->GetLayoutRecord())
        << "off the page: the tab's own record";
    EXPECT_EQ(&lone->HitInfo({button.Rect.left + 5, button.Rect.top + 5}), &lone->GetLayoutRecord())
        << "an empty page";
    EXPECT_EQ(dialog->FindControl(5, "Button", a), a->GetChild(1)) << "found on the page";
    EXPECT_EQ(dialog->FindControl(5, "Button"), nullptr) << "the dialog's own widgets hold no such button";
}

TEST_F(TabTest, TheFirstTabOfEachGroupStartsSelected) {
    EXPECT_TRUE(a->IsSelected());
    EXPECT_FALSE(b->IsSelected());
    EXPECT_TRUE(lone->IsSelected()) << "a group of its own, with an empty page";
    ASSERT_EQ(a->GetChildren().size(), 2u);
    EXPECT_TRUE(a->GetChild(1)->IsVisible());
    EXPECT_FALSE(b->GetChild(1)->IsVisible());
    const UiPoint origin = dialog->GetPosition();
    EXPECT_EQ(a->GetChild(1)->GetPosition(), (UiPoint{origin.x + 10, origin.y + 20 + 10}))
        << "the page stands below the tabs, from the dialog's left";
}

TEST_F(TabTest, PressingATabShowsItsPageAndItsWidgetsFire) {
    ClickAt(b->GetLayoutRecord().Rect);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->GetChild(1)->IsVisible());
    EXPECT_FALSE(a->GetChild(1)->IsVisible());
    ClickAt(b->GetLayoutRecord().Rect);
    EXPECT_TRUE(b->IsSelected()) << "pressing the selected tab keeps it";

    ClickAt(b->GetChild(1)->GetLayoutRecord().Rect);
    EXPECT_EQ(pressed, std::vector<std::string>{"UIF_PageB"}) << "bound under the tab's dialog";
}

TEST_F(TabTest, PageWidgetsAreNotCoveredByTheirOwnTab) {
    // Page widgets numbered below their tab: asking whether they are
    // covered must neither recurse through the tab nor find the tab.
    UifControl* button = a->GetChild(1);
    button->Record().Id = 0;
    const UiRect r = button->GetLayoutRecord().Rect;
    EXPECT_EQ(button->HitTest({r.left + 5, r.top + 5}), button);
    ClickAt(r);
    EXPECT_EQ(pressed, std::vector<std::string>{"UIF_PageA"});
}

} // namespace
