#include "ui/dialog_manager.h"
#include "ui/widgets/button.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the handlers saw: "<name>:<widget keyword or null>".
std::vector<std::string> calls;
UiDriver* driver = nullptr;

std::string Who(UifControl* control) {
    return control ? control->GetTypeName() : "null";
}
void Init(UifControl* c) {
    calls.push_back("Init:" + Who(c));
}
void Okay(UifControl* c) {
    calls.push_back("Okay:" + Who(c));
}
void Cancel(UifControl* c) {
    calls.push_back("Cancel:" + Who(c));
    // Closing twice while the dialog's own input runs must not destroy it
    // under its feet.
    driver->manager.CloseDialog("UIF_Test");
    driver->manager.CloseDialog("UIF_Test.uif");
}
void Pick(UifControl* c) {
    calls.push_back("Pick:" + Who(c));
}
void LoadSelf(UifControl*) {
    calls.push_back("LoadSelf");
    calls.push_back(driver->manager.LoadLayout("UIF_Self") ? "loaded" : "refused");
}

class DialogManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = &ui;
        calls.clear();
        const HandlerEntry table[] = {{"Init", &Init}, {"Okay", &Okay}, {"Cancel", &Cancel}, {"Pick", &Pick}};
        ui.registry.RegisterTable("UIF_Test", table);
        ui.registry.Register("UIF_Other", "Okay", &Okay);
        ui.registry.Register("UIF_Self", "Init", &LoadSelf);
        ui.painter.images["dlg"] = {300, 200};
        ui.painter.images["btn"] = {80, 120}; // 4 frames of 80 x 30
        ui.painter.images["box"] = {20, 160}; // 8 frames of 20 x 20
        ui.painter.images["clear"] = {80, 120, false};
        ui.WriteLayout("UIF_Test",
                       Layout({
                           LineSpec("Dialog", 0, 0, 0, 300, 201, "Init").Image("dlg"),
                           LineSpec("ButtonOkay", 1, 10, 20, 90, 50, "Okay").Image("btn"),
                           LineSpec("ButtonCancel", 2, 100, 20, 180, 50, "Cancel").Image("btn"),
                           LineSpec("ButtonCheckBoxAuto", 7, 10, 60, 30, 80, "Pick").Image("box"),
                           LineSpec("ButtonCheckBoxAuto", 7, 10, 90, 30, 110, "Pick").Image("box"),
                           LineSpec("ButtonCheckBox", 8, 10, 120, 30, 140).Image("box"),
                           LineSpec("Button", 9, 200, 60, 280, 90).Image("clear"),
                           LineSpec("ButtonClose", 3, 270, 0, 300, 20, "Pick").Image("btn"),
                       }));
        ui.WriteLayout("UIF_Other", Layout({LineSpec("Dialog", 0, 0, 0, 100, 100).Image("dlg").Values(0, 1),
                                            LineSpec("Button", 1, 10, 10, 90, 40, "Okay").Image("btn")}));
        ui.WriteLayout("UIF_Self", Layout({LineSpec("Dialog", 0, 0, 0, 100, 100, "Init").Image("dlg")}));
    }

    static std::string Layout(std::initializer_list<LineSpec> lines) {
        std::string text;
        for (const LineSpec& line : lines)
            text += LayoutLine(line);
        return text + "END\n";
    }

    Dialog* Open(const char* name) {
        EXPECT_TRUE(ui.manager.LoadLayout(name));
        ui.manager.OpenDialog(name);
        return ui.manager.FindDialog(name);
    }
    // The centre of widget n of the dialog.
    static UiPoint At(Dialog* dialog, int32_t n) {
        const UiRect r = dialog->GetControl(n)->GetLayoutRecord().Rect;
        return {r.left + r.Width() / 2, r.top + r.Height() / 2};
    }
    void Click(Dialog* dialog, int32_t n) {
        const UiPoint p = At(dialog, n);
        ui.Click(p.x, p.y);
    }

    UiDriver ui;
};

TEST_F(DialogManagerTest, LoadsCentresAndCallsInit) {
    ui.WriteLayout("UIF_Offset", Layout({LineSpec("Dialog", 0, 5, 7, 305, 208).Image("dlg")}));
    Dialog* dialog = Open("UIF_Test.uif");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(calls, std::vector<std::string>{"Init:null"});
    EXPECT_EQ(dialog->GetRect(), (UiRect{362, 284, 662, 484})) << "the odd height loses a pixel";
    EXPECT_EQ(dialog->GetControl(1)->GetLayoutRecord().Rect, (UiRect{372, 304, 452, 334}));
    EXPECT_EQ(dialog->GetControlCount(), 8);
    EXPECT_EQ(dialog->GetControl(8), nullptr);
    EXPECT_EQ(dialog->GetControl(-1), nullptr);
    EXPECT_TRUE(dialog->IsActive());

    ASSERT_TRUE(ui.manager.LoadLayout("UIF_Offset"));
    auto* frame = ui.manager.FindDialog("UIF_Offset")->GetControlAs<Button>(0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->GetFaceOffset(), (UiPoint{5, 7}));
}

TEST_F(DialogManagerTest, RefusedLayoutsAddNothing) {
    ui.WriteLayout("UIF_Bad", "Dialog 0 0\nEND\n");
    ui.WriteLayout("UIF_Unbuilt", Layout({LineSpec("Dialog", 0, 0, 0, 10, 10), LineSpec("Dialogue", 1)}));
    ClearAssetProblem();
    for (const char* name : {"UIF_Bad", "UIF_Missing", "UIF_Unbuilt", "../UIF_Test"})
        EXPECT_FALSE(ui.manager.LoadLayout(name)) << name;
    EXPECT_TRUE(ui.manager.GetOpenDialogs().empty());

    // A layout whose Init handler loads the layout again is refused the
    // second time instead of loading without end.
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_Self"));
    EXPECT_EQ(calls, (std::vector<std::string>{"LoadSelf", "refused"}));
    EXPECT_NE(LastAssetProblem().find("opens itself"), std::string::npos);
    EXPECT_EQ(ui.manager.GetOpenDialogs().size(), 1u);
}

TEST_F(DialogManagerTest, AClickFiresOnReleaseWithItsSounds) {
    Dialog* dialog = Open("UIF_Test");
    calls.clear();
    ui.Frame();
    Click(dialog, 1);
    EXPECT_EQ(calls, std::vector<std::string>{"Okay:ButtonOkay"});
    EXPECT_EQ(ui.sounds.rows, (std::vector<int32_t>{kUiSoundClick, kUiSoundOkay}));

    // A press that leaves the button before the release fires nothing.
    calls.clear();
    const UiPoint p = At(dialog, 1);
    ui.Move(p.x, p.y);
    ui.Press();
    ui.Frame();
    ui.Move(p.x, p.y + 200);
    ui.Frame();
    ui.Release();
    ui.Frame();
    EXPECT_TRUE(calls.empty());

    // A face without opaque pixels is never hit.
    Click(dialog, 6);
    EXPECT_TRUE(calls.empty());
}

TEST_F(DialogManagerTest, EscapeAndEnterRunCancelAndOkayWithoutAWidget) {
    Open("UIF_Test");
    calls.clear();
    ui.Key(kUiKeyEnter);
    ui.Frame();
    EXPECT_EQ(calls, std::vector<std::string>{"Okay:null"});
    calls.clear();
    ui.Key(kUiKeyEscape);
    ui.Frame();
    EXPECT_EQ(calls, std::vector<std::string>{"Cancel:null"});
    EXPECT_EQ(ui.manager.FindDialog("UIF_Test"), nullptr) << "closing in the same frame hides it from finds";
    EXPECT_EQ(ui.manager.GetOpenDialogs().size(), 1u) << "and keeps it until the next frame";
    ui.Frame();
    EXPECT_TRUE(ui.manager.GetOpenDialogs().empty());
}

TEST_F(DialogManagerTest, ACancelButtonClosingItsDialogRunsSafely) {
    Dialog* dialog = Open("UIF_Test");
    calls.clear();
    Click(dialog, 2);
    EXPECT_EQ(calls, std::vector<std::string>{"Cancel:ButtonCancel"});
    ui.Frame();
    EXPECT_TRUE(ui.manager.GetOpenDialogs().empty());
}

TEST_F(DialogManagerTest, TheCloseButtonClosesAndRunsItsHandlerThroughTheDialog) {
    Dialog* dialog = Open("UIF_Test");
    calls.clear();
    Click(dialog, 7);
    EXPECT_EQ(calls, std::vector<std::string>{"Pick:ButtonClose"});
    EXPECT_EQ(ui.manager.FindDialog("UIF_Test"), nullptr);
}

TEST_F(DialogManagerTest, ClosingTheTopRaisesTheOneBelowAndModalDialogsTakeAllInput) {
    Dialog* first = Open("UIF_Test");
    Dialog* modal = Open("UIF_Other");
    ASSERT_TRUE(modal);
    EXPECT_TRUE(modal->IsModalNow());
    EXPECT_FALSE(first->IsActive());
    EXPECT_EQ(ui.manager.GetModalDialog(), modal);
    calls.clear();
    Click(first, 1);
    EXPECT_TRUE(calls.empty()) << "a modal dialog keeps clicks from the others";
    EXPECT_EQ(ui.manager.GetTopDialog(), modal);

    ui.manager.CloseDialog("UIF_Other");
    ui.Frame();
    EXPECT_EQ(ui.manager.GetTopDialog(), first);
    EXPECT_TRUE(first->IsActive());
    Click(first, 1);
    EXPECT_EQ(calls, std::vector<std::string>{"Okay:ButtonOkay"});
}

TEST_F(DialogManagerTest, DuplicateNamesCloseOneDialogEach) {
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_Test"));
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_Test"));
    std::vector<Dialog*> open = ui.manager.GetOpenDialogs();
    ui.manager.CloseDialog("UIF_Test");
    ui.manager.CloseDialog("UIF_Test");
    ui.Frame();
    EXPECT_TRUE(ui.manager.GetOpenDialogs().empty());
}

TEST_F(DialogManagerTest, CheckBoxesAndRadioGroups) {
    Dialog* dialog = Open("UIF_Test");
    auto* box = dialog->GetControlAs<Button>(5);
    auto* radioA = dialog->GetControlAs<Button>(3);
    auto* radioB = dialog->GetControlAs<Button>(4);
    ASSERT_TRUE(box && radioA && radioB);
    ui.Frame();

    const UiPoint p = At(dialog, 5);
    ui.Move(p.x, p.y);
    ui.Press();
    ui.Frame();
    EXPECT_EQ(box->GetState(), 5) << "held while unchecked";
    ui.Release();
    ui.Frame();
    EXPECT_TRUE(box->IsChecked());
    ui.Frame();
    EXPECT_EQ(box->GetState(), 4);
    box->Disable();
    EXPECT_EQ(box->GetState(), 7);
    box->Enable();
    EXPECT_EQ(box->GetState(), 0);

    Click(dialog, 3);
    EXPECT_TRUE(radioA->IsChecked());
    Click(dialog, 4);
    EXPECT_TRUE(radioB->IsChecked());
    EXPECT_FALSE(radioA->IsChecked()) << "one of a group is checked";
    Click(dialog, 4);
    EXPECT_TRUE(radioB->IsChecked()) << "a click on a checked one keeps it";

    radioA->Check();
    radioA->Disable();
    Click(dialog, 4);
    EXPECT_TRUE(radioA->IsChecked()) << "a disabled one keeps its check";
}

TEST_F(DialogManagerTest, MovesKeepTheBoundsInsideTheWorkArea) {
    Dialog* dialog = Open("UIF_Test");
    dialog->MoveTo(10, 10);
    EXPECT_EQ(dialog->GetPosition(), (UiPoint{10, 10}));
    EXPECT_EQ(dialog->GetControl(1)->GetPosition(), (UiPoint{20, 30}));
    dialog->SetBounds({0, 0, 300, 201});
    dialog->MoveTo(5000, 5000);
    EXPECT_EQ(dialog->GetPosition(), (UiPoint{1024 - 300, 768 - kUiBarHeight - 201}));
    dialog->MoveBy(-5000, -5000);
    EXPECT_EQ(dialog->GetPosition(), (UiPoint{0, 0}));
}

TEST_F(DialogManagerTest, DrawsFramesFacesAndCaptionsInOrder) {
    ui.WriteLayout("UIF_Caption", Layout({LineSpec("Dialog", 0, 0, 0, 300, 201).Image("dlg"),
                                          LineSpec("ButtonOkay", 1, 10, 20, 90, 50).Image("btn")}));
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_Caption"));
    Dialog* dialog = ui.manager.FindDialog("UIF_Caption");
    auto* button = dialog->GetControlAs<Button>(1);
    button->SetText("Go");
    ui.Frame();
    const RecordingPainter::Drawn* frame = ui.painter.Find("dlg");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->target, (UiRect{362, 284, 662, 484}));
    const RecordingPainter::Drawn* face = ui.painter.Find("btn");
    ASSERT_TRUE(face);
    EXPECT_EQ(face->frame, 0);
    EXPECT_EQ(face->target, (UiRect{372, 304, 452, 334}));
    const RecordingPainter::Drawn* caption = ui.painter.Find("Go");
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->target.left, 372) << "alignment 0 starts at the left";
    EXPECT_EQ(caption->target.top, 304 + 15 - 5);
}

TEST_F(DialogManagerTest, ToolTipsShowAfterTheDelayBesideTheCursor) {
    ui.WriteLayout("UIF_Tip", Layout({LineSpec("Dialog", 0, 0, 0, 300, 201).Image("dlg"),
                                      LineSpec("Button", 1, 10, 20, 90, 50).Image("btn")}));
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_Tip"));
    Dialog* dialog = ui.manager.FindDialog("UIF_Tip");
    UifControl* button = dialog->GetControl(1);
    button->SetToolTipText("abcdefgh");
    ASSERT_TRUE(button->HasToolTip());
    ToolTip* tip = button->GetToolTip();
    EXPECT_EQ(tip->GetColumns(), 8);
    EXPECT_EQ(tip->GetRows(), 1);

    const UiPoint p = At(dialog, 1);
    ui.Move(p.x, p.y);
    ui.Frame();
    EXPECT_EQ(tip->GetState(), ToolTip::kHidden) << "the first hovered frame only starts the wait";
    ui.Frame();
    EXPECT_EQ(tip->GetState(), ToolTip::kShown);
    EXPECT_EQ(tip->Box(), (UiRect{p.x + 20, p.y + 20, p.x + 80, p.y + 38}));
    EXPECT_TRUE(ui.painter.Find("abcdefgh"));

    tip->Position({1020, 760});
    EXPECT_EQ(tip->Box(), (UiRect{1024 - 60, 760 - 18, 1024, 760})) << "above the cursor, touching the edge";
    ui.Move(0, 0);
    ui.Frame();
    EXPECT_EQ(tip->GetState(), ToolTip::kHidden);

    button->SetToolTipText("");
    EXPECT_FALSE(button->HasToolTip());
    UiPoint corner{1, 1}, centre{1, 1};
    EXPECT_FALSE(button->GetToolTipPlacement(corner, centre));
    EXPECT_EQ(button->GetToolTipColumns(), 0);
    EXPECT_EQ(button->GetToolTipImage(), "");
}

TEST(FontSwitch, ParsesOnlyWholeSwitches) {
    int32_t font = 0;
    std::string_view rest;
    EXPECT_TRUE(ParseFontSwitch("\font(3,1)Title", font, rest));
    EXPECT_EQ(font, 3);
    EXPECT_EQ(rest, "Title");
    for (const char* bad :
         {"\font(3,1", "\font(,1)x", "\font(3,)x", "\font(x,1)y", "\font(", "\f", "font(1,1)"})
        EXPECT_FALSE(ParseFontSwitch(bad, font, rest)) << bad;
}

} // namespace
