#include "ui/widgets/combo_box.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/scroll_bar.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

std::vector<int32_t> picked;
void Pick(UifControl* c) {
    auto* list = dynamic_cast<ListBox*>(c);
    picked.push_back(list ? list->GetSelection() : -99);
}

ListRowTexts Row(std::string text) {
    ListRowTexts row;
    row.text = std::move(text);
    return row;
}

class ListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        picked.clear();
        ui.painter.images["dlg"] = {400, 400};
        ui.painter.images["row"] = {100, 80}; // 4 frames of 100 x 20
        ui.painter.images["track"] = {16, 100};
        ui.painter.images["knob"] = {16, 192}; // 12 frames of 16 x 16
        ui.painter.images["arrow"] = {16, 64};
        ui.painter.images["combo"] = {100, 80};
        ui.registry.Register("UIF_Lists", "Pick", &Pick);
        std::string text;
        for (const LineSpec& line : {
                 LineSpec("Dialog", 0, 0, 0, 400, 400).Image("dlg"),
                 LineSpec("ScrollBar", 5, 110, 10, 126, 70).Image("track"),
                 LineSpec("ListBoxText", 5, 10, 10, 110, 30, "Pick").Image("row"),
                 LineSpec("ListBoxText", 5, 10, 30, 110, 50).Image("row"),
                 LineSpec("ListBoxText", 5, 10, 50, 110, 70).Image("row"),
                 LineSpec("ScrollBtnDown", 5, 110, 70, 126, 86).Image("arrow"),
                 LineSpec("ListBoxTextHI", 6, 200, 10, 300, 30, "Pick").Image("row"),
                 LineSpec("ListBoxTextHI", 6, 200, 30, 300, 50).Image("row"),
                 LineSpec("ComboBox", 6, 200, 100, 300, 120).Image("combo"),
             })
            text += LayoutLine(line);
        ui.WriteLayout("UIF_Lists", text + "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Lists")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Lists");
        dialog = ui.manager.FindDialog("UIF_Lists");
        bar = dialog->GetControlAs<ScrollBar>(1);
        list = dialog->GetControlAs<ListBox>(2);
        down = dialog->GetControlAs<ScrollBtn>(3);
        dropDown = dialog->GetControlAs<ListBox>(4);
        combo = dialog->GetControlAs<ComboBox>(5);
        ASSERT_TRUE(bar && list && down && dropDown && combo);
        origin = dialog->GetPosition();
        ui.Frame();
    }
    UiPoint RowCentre(ListBox* which, int32_t i) const {
        const UiRect r = which->RowScreenRect(i);
        return {r.left + r.Width() / 2, r.top + r.Height() / 2};
    }
    void Fill(int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            list->AddRow(Row("row" + std::to_string(i)));
    }

    UiDriver ui;
    Dialog* dialog = nullptr;
    ScrollBar* bar = nullptr;
    ListBox* list = nullptr;
    ScrollBtn* down = nullptr;
    ListBox* dropDown = nullptr;
    ComboBox* combo = nullptr;
    UiPoint origin;
};

TEST_F(ListBoxTest, RowsFillSlotsThenFollowAtTheirStep) {
    EXPECT_EQ(list->GetRows().size(), 3u);
    EXPECT_EQ(list->GetPageRows(), 3);
    Fill(5);
    ASSERT_EQ(list->GetRows().size(), 5u);
    EXPECT_EQ(list->GetRowCount(), 5);
    EXPECT_EQ(list->GetRows()[4].record.Rect.top, origin.y + 90) << "the step of the slots goes on";
    EXPECT_EQ(list->GetFirstVisibleRow(), 0) << "adding scrolls back to the top";
    ListRowTexts out;
    EXPECT_FALSE(list->GetRow(5, out));
    EXPECT_FALSE(list->GetRow(-1, out));
    EXPECT_EQ(list->RowAt(99), nullptr);
    list->SetSelection(42);
    EXPECT_EQ(list->GetSelection(), -1) << "a row the list lacks selects none";

    list->Clear();
    EXPECT_EQ(list->GetRowCount(), 0);
    EXPECT_EQ(list->GetRows().size(), 3u);
    EXPECT_EQ(list->GetRows()[2].image1, "row") << "the slots keep their images";
}

TEST_F(ListBoxTest, AppendedRowsCopyTheLastRowWithContent) {
    ListRowTexts first = Row("first");
    first.image2 = "icon";
    first.image3 = "badge";
    list->AddRow(first);
    list->AppendRow(Row("second"));
    list->AppendRow(Row("third"));
    ListRowTexts fourth = Row("fourth");
    fourth.image2 = "other";
    list->AppendRow(fourth);
    ASSERT_EQ(list->GetRowCount(), 4);
    ASSERT_EQ(list->GetRows().size(), 4u);
    const auto& rows = list->GetRows();
    EXPECT_EQ(rows[1].text, "second");
    EXPECT_EQ(rows[1].image2, "icon") << "an image the content leaves empty comes from the copied row";
    EXPECT_EQ(rows[2].image3, "badge");
    EXPECT_EQ(rows[2].record.Rect.top, origin.y + 50) << "a slot keeps its place";
    EXPECT_EQ(rows[3].record.Rect.top, origin.y + 70) << "beyond the slots, one step on";
    EXPECT_EQ(rows[3].image2, "other");
    EXPECT_EQ(rows[3].image3, "badge");
}

TEST_F(ListBoxTest, RowGapAndRowImagesLayTheRowsOut) {
    list->SetRowGap(5);
    EXPECT_EQ(list->GetRowGap(), 5);
    const auto& rows = list->GetRows();
    EXPECT_EQ(rows[1].record.Rect.top, origin.y + 35);
    EXPECT_EQ(rows[2].record.Rect.top, origin.y + 60);
    EXPECT_EQ(rows[2].record.Rect.Height(), 20);
    EXPECT_EQ(rows[2].record.Rect.left, origin.x + 10) << "across the list nothing moves";

    ui.painter.images["tall"] = {120, 120}; // 4 frames of 120 x 30
    list->SetAllRowImages("missing");
    EXPECT_EQ(list->GetRowImage(1), "row") << "an image that is not there changes nothing";
    list->SetAllRowImages("tall");
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list->GetRowImage(i), "tall") << i;
        EXPECT_EQ(rows[size_t(i)].record.Rect.Width(), 120) << i;
        EXPECT_EQ(rows[size_t(i)].record.Rect.top, origin.y + 10 + i * 35) << "30 high, the gap of 5 kept";
    }
    list->SetRowImage(9, "none");
    EXPECT_EQ(list->GetRowImage(9), "");
    list->SetRowImage(0, "top");
    EXPECT_EQ(list->GetRowImage(0), "top");
}

TEST_F(ListBoxTest, AddedSlotsGrowThePage) {
    Fill(4); // one row beyond the three slots
    list->SetSelection(3);
    list->AddSlot("ListBoxText", "Pick", {10, 200, 110, 220}, "slot", "row", "", true, 4);
    EXPECT_EQ(list->GetPageRows(), 4);
    EXPECT_EQ(list->GetLastVisibleRow(), 4);
    ASSERT_EQ(list->GetRows().size(), 5u);
    EXPECT_EQ(list->GetRows()[3].text, "slot") << "slots stand before the rows beyond them";
    EXPECT_EQ(list->GetRows()[3].record.Handler, "Pick");
    EXPECT_EQ(list->GetRows()[4].text, "row3");
    EXPECT_EQ(list->GetRowCount(), 5);
    EXPECT_EQ(list->GetSelection(), 4) << "the selection stays on its row";
    list->Clear();
    EXPECT_EQ(list->GetRows().size(), 4u) << "the added slot stays a slot";
}

TEST_F(ListBoxTest, RemovingRowsKeepsTheSelectionOnItsRow) {
    struct Case {
        int32_t selected;
        int32_t removed;
        int32_t after;
    };
    const Case cases[] = {{3, 3, -1}, {3, 1, 2}, {3, 4, 3}, {0, 2, 0}, {0, 0, -1}, {-1, 2, -1}, {2, 9, 2}};
    for (const Case& c : cases) {
        list->Clear();
        Fill(5);
        list->SetSelection(c.selected);
        const std::string marked = c.selected >= 0 ? list->GetRows()[size_t(c.selected)].text : "";
        list->RemoveRow(c.removed);
        EXPECT_EQ(list->GetSelection(), c.after) << c.selected << " minus " << c.removed;
        if (c.after >= 0) {
            EXPECT_EQ(list->GetRows()[size_t(c.after)].text, marked) << "the selection marks the same row";
            EXPECT_EQ(list->GetRows()[size_t(c.after)].state, 1u);
        }
    }
}

TEST_F(ListBoxTest, WrappedTextsAlwaysMakeProgress) {
    list->SetWrapText(true);
    list->AddRow(Row("one\ntwo\\nthree"));
    EXPECT_EQ(list->GetRowCount(), 3);
    list->Clear();
    // Rows of 100 pixels have 68 usable: eleven characters a row.
    list->AddRow(Row(std::string(30, 'x')));
    EXPECT_EQ(list->GetRows()[0].text, std::string(11, 'x'));
    EXPECT_EQ(list->GetRowCount(), 3);
    // A row narrower than the margin still takes a character at a time.
    list->Clear();
    for (ListBox* l : {list})
        for (int32_t i = 0; i < 3; ++i)
            l->RowAt(i)->record.Rect.right = l->RowAt(i)->record.Rect.left + 20;
    list->AddRow(Row("abc"));
    EXPECT_EQ(list->GetRowCount(), 3);
}

TEST_F(ListBoxTest, AClickSelectsAndFiresOnce) {
    Fill(3);
    ui.Frame();
    const UiPoint p = RowCentre(list, 1);
    ui.Click(p.x, p.y);
    EXPECT_EQ(list->GetSelection(), 1);
    EXPECT_EQ(picked, std::vector<int32_t>{1});

    // A press on an empty row keeps the selection and fires nothing.
    list->RemoveRow(2);
    picked.clear();
    const UiPoint empty = RowCentre(list, 2);
    ui.Click(empty.x, empty.y);
    EXPECT_EQ(list->GetSelection(), 1);
    EXPECT_TRUE(picked.empty());

    // Pressing on a row and releasing elsewhere selects nothing new.
    const UiPoint first = RowCentre(list, 0);
    ui.Move(first.x, first.y);
    ui.Press();
    ui.Frame();
    ui.Move(390, 390);
    ui.Release();
    ui.Frame();
    EXPECT_TRUE(picked.empty());
}

TEST_F(ListBoxTest, ShiftSelectsARangeInAMultiSelectionList) {
    list->SetMultiSelect(true);
    Fill(3);
    ui.Frame();
    const UiPoint a = RowCentre(list, 0);
    ui.Click(a.x, a.y);
    const UiPoint c = RowCentre(list, 2);
    ui.mouse.RecordMove(c, MouseInput::kShiftFlag);
    ui.mouse.RecordPress(MouseInput::Button::Left, c, MouseInput::kShiftFlag, UiDriver::kScreen);
    ui.Frame();
    ui.mouse.RecordRelease(MouseInput::Button::Left, c, MouseInput::kShiftFlag, UiDriver::kScreen);
    ui.Frame();
    EXPECT_EQ(list->GetSelectedRows(), (std::vector<int32_t>{0, 1, 2}));
}

TEST_F(ListBoxTest, TheScrollBarFollowsAndDrags) {
    EXPECT_EQ(bar->KnobLength(), 0) << "no knob while every row fits";
    Fill(12);
    ui.Frame();
    EXPECT_EQ(bar->KnobLength(), 15) << "60 pixels of track for 12 rows of 3";
    EXPECT_TRUE(bar->IsVertical());

    // The down button scrolls a row and the knob follows.
    const UiRect arrow = down->GetLayoutRecord().Rect;
    ui.Click(arrow.left + 8, arrow.top + 8);
    EXPECT_EQ(list->GetFirstVisibleRow(), 1);
    EXPECT_EQ(bar->KnobRect().top, bar->GetLayoutRecord().Rect.top + 1 * 45 / 9);

    // Dragging the knob to the end shows the last page, and past the end
    // stops there.
    const UiRect knob = bar->KnobRect();
    ui.Move(knob.left + 8, knob.top + 2);
    ui.Press();
    ui.Frame();
    ui.Move(knob.left + 8, knob.top + 500);
    ui.Frame();
    EXPECT_EQ(list->GetFirstVisibleRow(), 9);
    ui.Release();
    ui.Frame();
    EXPECT_FALSE(bar->IsDragging());

    // A very long list keeps a knob of 13 pixels.
    Fill(300);
    bar->Refresh();
    EXPECT_EQ(bar->KnobLength(), ScrollBar::kMinKnob);
}

TEST_F(ListBoxTest, AShortTrackNeverDividesByZero) {
    Fill(12);
    UifLayoutRecord& r = bar->Record();
    r.Rect.bottom = r.Rect.top + 10; // shorter than the shortest knob
    bar->Refresh();
    const UiRect knob = bar->KnobRect();
    ui.Move(knob.left + 8, knob.top + 1);
    ui.Press();
    ui.Frame();
    ui.Move(knob.left + 8, knob.top + 6);
    ui.Frame();
    ui.Release();
    ui.Frame();
    EXPECT_EQ(list->GetFirstVisibleRow(), 0);
}

TEST_F(ListBoxTest, HeldScrollButtonsRepeatAfterTheDelay) {
    Fill(40);
    ui.Frame();
    const UiRect arrow = down->GetLayoutRecord().Rect;
    ui.Move(arrow.left + 8, arrow.top + 8);
    ui.Press();
    for (int32_t ms = 0; ms < 352; ms += 16)
        ui.Frame();
    EXPECT_EQ(list->GetFirstVisibleRow(), 0) << "nothing fires before 375 ms";
    for (int32_t ms = 0; ms < 400; ms += 16)
        ui.Frame();
    EXPECT_GE(list->GetFirstVisibleRow(), 2);
    const int32_t held = list->GetFirstVisibleRow();
    ui.Release();
    ui.Frame();
    EXPECT_EQ(list->GetFirstVisibleRow(), held) << "the release after a repeat fires nothing";
}

TEST_F(ListBoxTest, AComboOpensItsListAndAPressChooses) {
    EXPECT_FALSE(dropDown->IsVisible());
    EXPECT_TRUE(dropDown->IsComboOwned());
    dropDown->AddRow(Row("red"));
    dropDown->AddRow(Row("blue"));
    const UiRect face = combo->GetLayoutRecord().Rect;
    ui.Click(face.left + 50, face.top + 10);
    EXPECT_TRUE(combo->IsOpen());
    EXPECT_TRUE(dropDown->IsVisible());
    const UiPoint blue = RowCentre(dropDown, 1);
    ui.Click(blue.x, blue.y);
    EXPECT_EQ(combo->GetSelection(), 1);
    EXPECT_FALSE(dropDown->IsVisible());
    EXPECT_FALSE(combo->IsOpen());
    ui.Frame();
    EXPECT_TRUE(ui.painter.Find("blue")) << "the combo shows the choice";
}

TEST_F(ListBoxTest, DrawsTheWindowsRowsAndColumns) {
    Fill(2);
    list->AddRow(Row("name \\tr 80 12"));
    ui.Frame();
    const RecordingPainter::Drawn* first = ui.painter.Find("row0");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->target.left, origin.x + 10 + 5);
    EXPECT_EQ(first->target.top, origin.y + 10 + 5);
    const RecordingPainter::Drawn* amount = ui.painter.Find("12");
    ASSERT_TRUE(amount);
    EXPECT_EQ(amount->target.right, origin.x + 10 + 80) << "right-aligned at the column";
    EXPECT_FALSE(ui.painter.Find("80"));
    int backgrounds = 0;
    for (const auto& d : ui.painter.drawn)
        backgrounds += d.what == "row" && d.target.left == origin.x + 10;
    EXPECT_EQ(backgrounds, 3);
}

} // namespace
