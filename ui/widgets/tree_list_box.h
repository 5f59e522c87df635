// A tree of items shown as a column of rows: the roots and, under an
// expanded item, its children. A click selects an item, a click on its icon
// or a double click expands or collapses it, the wheel and the scroll
// controls scroll it.
#pragma once

#include "ui/control.h"

#include <functional>
#include <memory>
#include <vector>

class ScrollBar;

struct TreeListItem {
    int32_t state = 0; // 0 normal, 1 selected, 2 hover, 3 disabled
    std::string text;
    int32_t id = 0;
    UiRect iconRect;  // relative to the row
    UiRect checkRect; // relative to the row; empty: no check box
    bool expanded = false;
    int32_t checkState = 0;
    bool hasChildren = false;
    int32_t rememberedFirstRow = 0;
    std::string backgroundCollapsed, backgroundExpanded;
    std::string iconExpanded, iconCollapsed;
    std::string check0, check2, check1;
    std::string marker;
    TreeListItem* parent = nullptr;
    std::vector<std::unique_ptr<TreeListItem>> children;
    uint32_t textColour = 0, selectedColour = 0;
    int32_t font = 0;
};

class TreeListBox : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog, ScrollBar* scrollBar);
    void BindScrollButton(UifControl* button, ScrollBar* bar);
    // Takes the item (its parent set by the caller, or null for a root).
    TreeListItem* AddItem(std::unique_ptr<TreeListItem> item);
    void RemoveItem(TreeListItem* item);
    void Clear();
    void SelectItem(TreeListItem* item);
    void ClearSelection();
    TreeListItem* GetSelectedItem() const { return selected_; }
    TreeListItem* FindItem(int32_t id, TreeListItem* start = nullptr) const;
    TreeListItem* GetItemAtRow(int32_t row) const;
    int32_t GetRowOfItem(const TreeListItem* item) const;
    int32_t GetRowCount() const { return rowCount_; }
    int32_t GetPageRows() const { return pageRows_; }
    int32_t GetFirstVisibleRow() const { return firstVisible_; }
    void SetFirstVisibleRow(int32_t row);
    void ScrollDown();
    void ScrollUp();
    bool ShowsAllRows() const { return rowCount_ <= pageRows_; }
    void SetCentredIcons(bool on) { centredIcons_ = on; }
    // The tree is a combo box's drop-down list.
    void SetDropDown(bool on) { dropDown_ = on; }
    bool IsDropDown() const { return dropDown_; }
    void SetExpandCallback(std::function<void(TreeListItem*)> callback) {
        expandCallback_ = std::move(callback);
    }
    // The names the screens use: the item drawing (centred icons, the
    // default) and the open-or-close callback.
    void SetDrawMode(uint8_t centred) { SetCentredIcons(centred != 0); }
    void SetOpenCloseCallback(std::function<void(TreeListItem*)> callback) {
        SetExpandCallback(std::move(callback));
    }
    bool IsCheckPending() const { return checkPending_; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void Show() override;
    void Hide() override;

private:
    int32_t RowHeight() const { return record_.Rect.Height(); }
    void CountRows();
    // Visits the shown items in row order; stops when visit returns false.
    void Walk(const std::function<bool(TreeListItem&, int32_t row)>& visit) const;
    int32_t DescendantCount(const TreeListItem& item, bool shownOnly) const;
    void Reveal(TreeListItem* item);
    void RefreshScrollBar();
    // The screen rectangle of a shown row.
    UiRect RowRect(int32_t row) const;
    TreeListItem* FindAt(UiPoint point, UiRect& rowRect) const;
    void ShowScrollControls(bool show);

    bool fresh_ = true;
    bool checkPending_ = false;
    bool centredIcons_ = true;
    bool clicked_ = false;
    bool dropDown_ = false;
    TreeListItem* remembered_ = nullptr;
    int32_t pageRows_ = 0;
    int32_t rowCount_ = 0;
    int32_t firstVisible_ = 0;
    int32_t lastRow_ = 0;
    UifControl* buttons_[2] = {nullptr, nullptr};
    ScrollBar* scrollBar_ = nullptr;
    TreeListItem* found_ = nullptr;
    TreeListItem* selected_ = nullptr;
    TreeListItem* highlighted_ = nullptr;
    TreeListItem* previous_ = nullptr;
    std::vector<std::unique_ptr<TreeListItem>> roots_;
    std::function<void(TreeListItem*)> expandCallback_;
};
