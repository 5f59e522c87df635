#include "ui/widgets/spin_menu.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

class ClipRecorder : public CursorHost {
public:
    void SetStockCursor(StockCursor) override {}
    void ShowSystemCursor(bool) override {}
    void SetCursorImage(const CursorImage&) override {}
    CursorImage CursorImageOf(int32_t) override { return {}; }
    void ClipCursor(const UiRect* rect) override { clips.push_back(rect ? *rect : UiRect{-1, -1, -1, -1}); }
    std::vector<UiRect> clips;
};

class SpinMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui.painter.images["dlg"] = {300, 200};
        ui.painter.images["track"] = {200, 40}; // 2 frames of 200 x 20
        ui.painter.images["knob"] = {10, 40};   // 4 frames of 10 x 10
        ui.painter.images["title"] = {300, 40};
        ui.mouse.SetCursorHost(&clips);
        std::string text;
        LineSpec spin("Spin", 1, 50, 50, 250, 70);
        spin.Image("track").Values(0, 10);
        for (const LineSpec& line : {LineSpec("Dialog", 0, 0, 0, 300, 200).Image("dlg"), spin,
                                     LineSpec("Menu", 2, 0, 0, 300, 20).Image("title")}) {
            std::string l = LayoutLine(line);
            if (line.keyword == "Spin") // track from x 0 to 200, knob image
                l = "Spin 0 1 50 50 250 70 0 0 0 0 0 10 0 0 0 0 200 20 0 0 0 0 0 \"track\" \"\" \"\" \"\" "
                    "\"\" \"\" "
                    "\"knob\" \"\"\n";
            text += l;
        }
        ui.WriteLayout("UIF_Spin", text + "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Spin")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Spin");
        dialog = ui.manager.FindDialog("UIF_Spin");
        spinner = dialog->GetControlAs<Spin>(1);
        menu = dialog->GetControlAs<Menu>(2);
        ASSERT_TRUE(spinner && menu);
        ui.Frame();
    }

    UiDriver ui;
    ClipRecorder clips;
    Dialog* dialog = nullptr;
    Spin* spinner = nullptr;
    Menu* menu = nullptr;
};

TEST_F(SpinMenuTest, APressOnTheTrackMovesTheKnobAndSnapsToSteps) {
    const UiRect r = spinner->GetLayoutRecord().Rect;
    EXPECT_EQ(spinner->GetValue(), 0);
    EXPECT_EQ(spinner->GetTrackLength(), 200);
    ui.Click(r.left + 73, r.top + 10);
    EXPECT_EQ(spinner->GetValue(), 7) << "73 pixels at 10 a step";
    EXPECT_EQ(spinner->KnobRect().left + 5, r.left + 70);

    // Dragging to the end stops at the track's end; leaving the zone above
    // the spin stops the knob.
    ui.Move(r.left + 75, r.top + 10);
    ui.Press();
    ui.Frame();
    ui.Move(r.left + 199, r.top + 10);
    ui.Frame();
    ui.Move(r.left + 20, r.top - 40);
    ui.Frame();
    ui.Release();
    ui.Frame();
    ui.Frame();
    EXPECT_EQ(spinner->GetValue(), 20);

    // Without a step the value stays 0 rather than dividing by it.
    spinner->SetStep(0);
    ui.Click(r.left + 120, r.top + 10);
    EXPECT_EQ(spinner->GetValue(), 0);
}

TEST_F(SpinMenuTest, TheTitleBarDragsItsDialogInsideTheWorkArea) {
    dialog->SetBounds({0, 0, 300, 200});
    const UiPoint start = dialog->GetPosition();
    ui.Move(start.x + 100, start.y + 10);
    ui.Press();
    ui.Frame();
    ASSERT_FALSE(clips.clips.empty());
    EXPECT_EQ(clips.clips.back(), (UiRect{100, 10, 1024 - 200, 768 - 24 - 190}));
    EXPECT_TRUE(dialog->IsHeld());
    ui.Move(start.x + 130, start.y + 25);
    ui.Frame();
    EXPECT_EQ(dialog->GetPosition(), (UiPoint{start.x + 30, start.y + 15}));
    ui.Release();
    ui.Frame();
    ui.Frame();
    EXPECT_FALSE(dialog->IsHeld());
    EXPECT_EQ(clips.clips.back(), (UiRect{-1, -1, -1, -1})) << "the cursor is freed";
}

} // namespace
