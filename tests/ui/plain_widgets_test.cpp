#include "ui/widgets/status_bar.h"
#include "ui/widgets/user_view.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

int fired = 0;
void Count(UifControl*) {
    ++fired;
}

class PlainWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fired = 0;
        ui.painter.images["dlg"] = {400, 300};
        ui.painter.images["mask"] = {100, 100};
        ui.painter.images["bar"] = {150, 10};
        ui.painter.images["fill"] = {150, 10};
        ui.registry.Register("UIF_Plain", "Count", &Count);
        std::string text;
        for (const LineSpec& line : {
                 LineSpec("Dialog", 0, 0, 0, 400, 300).Image("dlg"),
                 LineSpec("StatusBar", 1, 10, 10, 160, 20).Image("bar"),
                 LineSpec("StatusBarP", 2, 10, 30, 123, 40).Image("bar"),
                 LineSpec("StatusBar", 3, 380, 10, 390, 110).Image("bar"),
                 LineSpec("User", 4, 10, 150, 110, 250, "Count").Image("mask"),
                 LineSpec("View", 5, 200, 150, 300, 250, "Count").Image("mask"),
                 LineSpec("User", 6, 300, 10, 350, 60, "Count"),
             })
            text += LayoutLine(line);
        ui.WriteLayout("UIF_Plain", text + "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Plain")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Plain");
        dialog = ui.manager.FindDialog("UIF_Plain");
        ASSERT_TRUE(dialog);
    }
    UiPoint Centre(int32_t n) {
        const UiRect r = dialog->GetControl(n)->GetLayoutRecord().Rect;
        return {r.left + r.Width() / 2, r.top + r.Height() / 2};
    }

    UiDriver ui;
    Dialog* dialog = nullptr;
};

TEST_F(PlainWidgetsTest, StatusBarsFillByPercent) {
    auto* bar = dialog->GetControlAs<StatusBar>(1);
    auto* percent = dialog->GetControlAs<StatusBar>(2);
    auto* tall = dialog->GetControlAs<StatusBar>(3);
    ASSERT_TRUE(bar && percent && tall);
    EXPECT_EQ(percent->GetCaption(), "0%");
    struct Case {
        StatusBar* bar;
        int32_t value;
        int32_t length;
    };
    const Case cases[] = {
        {bar, 33, 49},       // 33 x 1.5 = 49.5, truncated
        {bar, 100, 150},     //
        {bar, 101, 150},     // ignored
        {bar, -5, 0},        // an empty bar
        {percent, 100, 112}, // 113 / 100 in single precision falls short
        {tall, 50, 50},
    };
    for (const Case& c : cases) {
        c.bar->SetPercent(c.value);
        const UiRect fill = c.bar->FillRect();
        EXPECT_EQ(c.bar->IsVertical() ? fill.Height() : fill.Width(), c.length) << c.value;
    }
    EXPECT_EQ(percent->GetCaption(), "100%");
    ui.Frame();
    const RecordingPainter::Drawn* caption = ui.painter.Find("100%");
    ASSERT_TRUE(caption) << "a percentage bar shows its value";
    percent->SetPercent(0);
    ui.Frame();
    EXPECT_FALSE(ui.painter.Find("0%")) << "an empty horizontal bar shows no caption";
}

TEST_F(PlainWidgetsTest, StatusBarsFireEveryFrameAndTakeNoClicks) {
    ui.registry.Register("UIF_Plain", "Tick", &Count);
    dialog->GetControl(1)->Record().Handler = "Tick";
    ui.manager.GetHandlerMap().Entry("UIF_Plain", "Tick") = &Count;
    ui.Frame();
    ui.Frame();
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(dialog->GetControl(1)->HitTest(Centre(1)), nullptr);
}

TEST_F(PlainWidgetsTest, UserAreasFireWhileHeldAndViewsOnRelease) {
    ui.manager.GetHandlerMap().Entry("UIF_Plain", "Count") = &Count;
    const UiPoint user = Centre(4);
    ui.Move(user.x, user.y);
    ui.Press();
    ui.Frame();
    ui.Frame();
    ui.Frame();
    EXPECT_GE(fired, 3) << "a held user area fires every frame";
    ui.Release();
    ui.Frame();

    fired = 0;
    const UiPoint view = Centre(5);
    ui.Move(view.x, view.y);
    ui.Press();
    ui.Frame();
    ui.Frame();
    EXPECT_EQ(fired, 0);
    ui.Release();
    ui.Frame();
    EXPECT_EQ(fired, 1) << "a view fires once, on the release";

    // A user area without a mask is never hit, even while mouse-active.
    auto* bare = dialog->GetControlAs<User>(6);
    bare->SetMouseActive(true);
    EXPECT_EQ(bare->HitTest(Centre(6)), nullptr);
    auto* masked = dialog->GetControlAs<User>(4);
    masked->SetMouseActive(true);
    EXPECT_EQ(masked->HitTest({1000, 700}), masked) << "a mouse-active area keeps the mouse anywhere";
}

TEST_F(PlainWidgetsTest, ViewsFitTheirOverlayAndADisabledViewTakesTheClick) {
    auto* view = dialog->GetControlAs<View>(5);
    ASSERT_TRUE(view);
    const UiRect r = view->GetLayoutRecord().Rect;
    view->SetImage(true, {0, 0, 200, 100}, "mask", 3);
    EXPECT_EQ(view->OverlayRect(), (UiRect{r.left, r.top + 25, r.left + 100, r.top + 75}));
    ui.Frame();
    int masks = 0;
    for (const auto& d : ui.painter.drawn)
        masks += d.what == "mask";
    EXPECT_EQ(masks, 2) << "background and overlay";

    view->Disable();
    EXPECT_EQ(view->HitTest(Centre(5)), nullptr);
    ui.manager.MutableSnapshot().cursor = {5000, 5000};
    EXPECT_TRUE(ui.manager.IsMouseOverDialog()) << "the disabled view took the click for the interface";
}

} // namespace
