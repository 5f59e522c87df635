#include "ui/widgets/combo_box.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/scroll_bar.h"
#include "ui/widgets/tree_list_box.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui.painter.images["dlg"] = {300, 300};
        ui.painter.images["arrow"] = {16, 64};
        std::string text;
        for (const LineSpec& line : {LineSpec("Dialog", 0, 0, 0, 300, 300).Image("dlg"),
                                     LineSpec("ScrollBar", 3, 200, 10, 216, 90).Image("arrow"),
                                     LineSpec("TreeListBox", 3, 10, 10, 200, 30),
                                     LineSpec("ScrollBtnUp", 3, 200, 10, 216, 26).Image("arrow"),
                                     LineSpec("ScrollBtnDown", 3, 200, 74, 216, 90).Image("arrow")})
            text += LayoutLine(line);
        ui.WriteLayout("UIF_Tree", text + "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Tree")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Tree");
        dialog = ui.manager.FindDialog("UIF_Tree");
        tree = dialog->GetControlAs<TreeListBox>(2);
        ASSERT_TRUE(tree);
    }
    TreeListItem* Add(const std::string& text, TreeListItem* parent = nullptr, int32_t id = 0) {
        auto item = std::make_unique<TreeListItem>();
        item->text = text;
        item->id = id;
        item->parent = parent;
        item->backgroundCollapsed = item->backgroundExpanded = "row";
        item->iconExpanded = item->iconCollapsed = "icon";
        item->iconRect = {0, 0, 16, 16};
        return tree->AddItem(std::move(item));
    }
    UiPoint RowPoint(int32_t row, int32_t x = 100) const {
        const UiRect r = tree->GetLayoutRecord().Rect;
        return {r.left + x, r.top + (row - tree->GetFirstVisibleRow()) * 20 + 10};
    }

    UiDriver ui;
    Dialog* dialog = nullptr;
    TreeListBox* tree = nullptr;
};

TEST_F(TreeTest, RowsFollowExpandedItems) {
    EXPECT_EQ(tree->GetPageRows(), 4) << "from the first row to the lower button's bottom";
    TreeListItem* a = Add("a", nullptr, 1);
    TreeListItem* a1 = Add("a1", a, 11);
    Add("a2", a, 12);
    TreeListItem* b = Add("b", nullptr, 2);
    EXPECT_EQ(tree->GetSelectedItem(), a) << "the first item added to a fresh tree is selected";
    EXPECT_EQ(tree->GetRowCount(), 2);
    EXPECT_EQ(tree->GetRowOfItem(a1), -1) << "inside a collapsed item";
    EXPECT_EQ(tree->GetItemAtRow(1), b);
    EXPECT_EQ(tree->GetItemAtRow(7), nullptr);
    EXPECT_EQ(tree->FindItem(12), a->children[1].get());

    tree->SelectItem(a1);
    EXPECT_TRUE(a->expanded) << "selecting an item opens its parent";
    EXPECT_EQ(tree->GetRowOfItem(a1), 1);
    EXPECT_EQ(tree->GetRowCount(), 4);

    tree->Clear();
    EXPECT_EQ(tree->GetRowCount(), 0);
    Add("c");
    EXPECT_EQ(tree->GetSelectedItem(), nullptr) << "after a clear, adding selects nothing";
}

TEST_F(TreeTest, AClickOnTheIconTogglesItemsWithTwoDescendants) {
    TreeListItem* a = Add("a");
    Add("a1", a);
    Add("a2", a);
    TreeListItem* b = Add("b");
    Add("b1", b);
    ui.Frame();
    const UiPoint icon = RowPoint(0, 5);
    ui.Click(icon.x, icon.y);
    EXPECT_TRUE(a->expanded);
    EXPECT_EQ(tree->GetRowCount(), 4);
    const UiPoint bIcon = RowPoint(3, 5);
    ui.Click(bIcon.x, bIcon.y);
    EXPECT_FALSE(b->expanded) << "one descendant is not enough";
    EXPECT_EQ(tree->GetSelectedItem(), b);

    a->iconExpanded.clear();
    ui.Click(icon.x, icon.y);
    EXPECT_TRUE(a->expanded) << "no expanded icon: the icon does not toggle";
}

TEST_F(TreeTest, ScrollsWithinItsRowsAndNeverDividesByAZeroRowHeight) {
    for (int i = 0; i < 10; ++i)
        Add("item" + std::to_string(i));
    for (int i = 0; i < 20; ++i)
        tree->ScrollDown();
    EXPECT_EQ(tree->GetFirstVisibleRow(), 6);
    tree->SetFirstVisibleRow(50);
    EXPECT_EQ(tree->GetFirstVisibleRow(), 6);

    tree->Record().Rect.bottom = tree->Record().Rect.top; // rows of no height
    tree->Clear();
    EXPECT_EQ(tree->GetPageRows(), 0);
    TreeListItem* a = Add("a");
    tree->SelectItem(a);
    ui.Frame();
}

} // namespace

namespace {

TEST(TreeDropDown, AComboOpensItsTreeAndAClickChoosesAnItem) {
    UiDriver ui;
    ui.painter.images["dlg"] = {300, 300};
    ui.painter.images["combo"] = {100, 80};
    std::string text;
    for (const LineSpec& line :
         {LineSpec("Dialog", 0, 0, 0, 300, 300).Image("dlg"), LineSpec("TreeListBox", 4, 10, 40, 200, 60),
          LineSpec("ComboBox", 4, 10, 10, 110, 30).Image("combo")})
        text += LayoutLine(line);
    ui.WriteLayout("UIF_TreeCombo", text + "END\n");
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_TreeCombo")) << LastAssetProblem();
    ui.manager.OpenDialog("UIF_TreeCombo");
    Dialog* dialog = ui.manager.FindDialog("UIF_TreeCombo");
    auto* tree = dialog->GetControlAs<TreeListBox>(1);
    auto* combo = dialog->GetControlAs<ComboBox>(2);
    ASSERT_TRUE(tree && combo);
    EXPECT_TRUE(tree->IsDropDown());
    EXPECT_FALSE(tree->IsVisible());
    for (const char* name : {"first", "second"}) {
        auto item = std::make_unique<TreeListItem>();
        item->text = name;
        item->backgroundCollapsed = "row";
        tree->AddItem(std::move(item));
    }
    ui.Frame();
    const UiRect face = combo->GetLayoutRecord().Rect;
    ui.Click(face.left + 20, face.top + 10);
    EXPECT_TRUE(tree->IsVisible());
    const UiRect first = tree->GetLayoutRecord().Rect;
    ui.Click(first.left + 20, first.top + 20 + 10);
    EXPECT_FALSE(tree->IsVisible()) << "the choosing click closes the tree";
    ASSERT_TRUE(tree->GetSelectedItem());
    EXPECT_EQ(tree->GetSelectedItem()->text, "second");
    ui.Frame();
    EXPECT_TRUE(ui.painter.Find("second")) << "the combo shows the choice";
}

// A dialog with a drop-down tree (Id 4), a drop-down list (Id 6) and a
// plain button (Id 7).
class TreeAndListDropDowns : public ::testing::Test {
protected:
    void SetUp() override {
        ui.painter.images["dlg"] = {400, 300};
        ui.painter.images["combo"] = {100, 80};
        std::string text;
        for (const LineSpec& line :
             {LineSpec("Dialog", 0, 0, 0, 400, 300).Image("dlg"), LineSpec("TreeListBox", 4, 10, 40, 200, 60),
              LineSpec("ComboBox", 4, 10, 10, 110, 30).Image("combo"),
              LineSpec("ListBoxText", 6, 210, 40, 300, 60).Image("combo"),
              LineSpec("ComboBox", 6, 210, 10, 310, 30).Image("combo"),
              LineSpec("Button", 7, 10, 250, 110, 270, "Pressed").Image("combo")})
            text += LayoutLine(line);
        ui.WriteLayout("UIF_DropDowns", text + "END\n");
        const HandlerEntry handlers[] = {{"Pressed", [](UifControl*) { ++presses; }}};
        ui.registry.RegisterTable("UIF_DropDowns", handlers);
        presses = 0;
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_DropDowns")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_DropDowns");
        dialog = ui.manager.FindDialog("UIF_DropDowns");
        tree = dialog->GetControlAs<TreeListBox>(1);
        treeCombo = dialog->GetControlAs<ComboBox>(2);
        list = dialog->GetControlAs<ListBox>(3);
        listCombo = dialog->GetControlAs<ComboBox>(4);
        button = dialog->GetControl(5);
        ASSERT_TRUE(tree && treeCombo && list && listCombo && button);
        auto item = std::make_unique<TreeListItem>();
        item->text = "only";
        item->backgroundCollapsed = "row";
        tree->AddItem(std::move(item));
        ui.Frame();
    }

    static inline int presses = 0;
    UiDriver ui;
    Dialog* dialog = nullptr;
    TreeListBox* tree = nullptr;
    ComboBox* treeCombo = nullptr;
    ListBox* list = nullptr;
    ComboBox* listCombo = nullptr;
    UifControl* button = nullptr;
};

TEST_F(TreeAndListDropDowns, AnOpenTreeClosesWhateverWidgetIsPressed) {
    for (UifControl* widget : {static_cast<UifControl*>(treeCombo), button}) {
        treeCombo->Toggle();
        ASSERT_TRUE(tree->IsVisible());
        ListBox* openList = nullptr;
        TreeListBox* openTree = nullptr;
        dialog->FindOpenLists(openList, openTree);
        EXPECT_EQ(openTree, tree);
        EXPECT_EQ(openList, nullptr);
        dialog->CloseOtherLists(widget);
        EXPECT_FALSE(tree->IsVisible()) << widget->GetTypeName();
        EXPECT_FALSE(treeCombo->IsOpen()) << widget->GetTypeName();
    }
}

TEST_F(TreeAndListDropDowns, AnOpenListClosesOnlyForAnotherId) {
    listCombo->Toggle();
    ASSERT_TRUE(list->IsVisible());
    dialog->CloseOtherLists(listCombo);
    EXPECT_TRUE(list->IsVisible()) << "its own combo keeps it";
    dialog->CloseOtherLists(button);
    EXPECT_FALSE(list->IsVisible());
    EXPECT_FALSE(listCombo->IsOpen());
}

TEST_F(TreeAndListDropDowns, AnOpenTreeKeepsThePressFromWidgetsOfOtherIds) {
    const UiRect face = button->GetLayoutRecord().Rect;
    ui.Click(face.left + 5, face.top + 5);
    EXPECT_EQ(presses, 1);
    treeCombo->Toggle();
    ui.Move(face.left + 5, face.top + 5);
    ui.Press();
    ui.Frame();
    EXPECT_TRUE(tree->IsVisible()) << "the press is not given to the button, which would close the tree";
    ui.Release();
    ui.Frame();
    EXPECT_EQ(presses, 2) << "the release still reaches the button";
}

TEST_F(TreeAndListDropDowns, ADeactivatedDialogClosesATreeTheCursorIsNotOn) {
    treeCombo->Toggle();
    ui.Move(300, 200); // on the frame only
    ui.Frame();
    dialog->CloseListsOnOutsideClick();
    EXPECT_FALSE(tree->IsVisible());
    EXPECT_FALSE(treeCombo->IsOpen());
    treeCombo->Toggle();
    const UiRect row = tree->GetLayoutRecord().Rect;
    ui.Move(row.left + 5, row.top + 5);
    ui.Frame();
    dialog->CloseListsOnOutsideClick();
    EXPECT_TRUE(tree->IsVisible()) << "the cursor is on the tree";
}

} // namespace
