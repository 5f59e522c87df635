// A list of rows in a dialog, made from one or more layout lines with one
// Id: each line is a row slot with its own rectangle, images and colours;
// rows added beyond the slots continue at the slots' step. It draws the rows
// of its scroll window, selects rows (one, or several with Shift and Ctrl)
// and scrolls with its scroll bar, scroll buttons and the wheel.
#pragma once

#include "ui/control.h"

#include <vector>

class ComboBox;
class ScrollBar;

// The content of a row as dialogs hand it over and get it back.
struct ListRowTexts {
    std::string text;
    std::string image1; // background
    std::string image2; // icon
    std::string image3; // further image, drawn with the tint
    std::string text2;  // kept and returned, not drawn
    uint32_t tint = 0xFFFFFFFF;
    uint32_t unused = 0xFFFFFFFF;
    int32_t font = 0; // 0 keeps the slot's font
};

struct ListBoxRow {
    UifLayoutRecord record;
    uint32_t state = 0; // 0 normal, 1 selected, 2 hover, 3 disabled
    std::string text;
    std::string text2;
    uint32_t tint = 0xFFFFFFFF;
    std::string image1;
    std::string image2;
    std::string image3;

    bool HasContent() const { return !text.empty() || !image2.empty() || !image3.empty(); }
};

class ListBox : public UifControl {
public:
    // Once per layout line of the list: the first with the names and the
    // paired scroll bar, each further one adding a row slot.
    void InitFromLayout(bool first, std::string className, std::string layoutName, Dialog* dialog,
                        const UifLayoutRecord& record, ScrollBar* scrollBar);
    void AttachScrollControl(UifControl* button, ScrollBar* bar);

    const UifLayoutRecord& GetLayoutRecord() const override;

    void AddRow(const ListRowTexts& content);
    // Adds one row without wrapping, a copy of the last row with content
    // (the first slot when none has any): images the content leaves empty
    // come from that row.
    void AppendRow(const ListRowTexts& content);
    // Appends a row slot made of these (its font, colours and images beyond
    // these from the first slot); the list then runs in the given
    // direction and its window ends at lastVisibleRow.
    void AddSlot(const std::string& keyword, const std::string& handler, const UiRect& rect,
                 const std::string& text, const std::string& image1, const std::string& image2, bool vertical,
                 int32_t lastVisibleRow);
    // A row's background image; empty, or nothing, past the rows.
    std::string GetRowImage(int32_t index) const;
    void SetRowImage(int32_t index, const std::string& name);
    // Gives every row the background image and lays the rows out again at
    // its size, keeping the gap between them; nothing with fewer than two
    // rows or for an image that is not there.
    void SetAllRowImages(const std::string& name);
    // Inserts a copy of row index carrying the content; nothing for an
    // index past the rows.
    void InsertRow(int32_t index, const ListRowTexts& content);
    void SetRowTexts(int32_t index, const ListRowTexts& content);
    // Removes a row; the selection stays on the row it marked (none when
    // that row was removed). Nothing for an index past the rows.
    void RemoveRow(int32_t index);
    void Clear();
    // False, content untouched, for an index past the rows.
    bool GetRow(int32_t index, ListRowTexts& content) const;
    // Null for an index past the rows.
    ListBoxRow* RowAt(int32_t index);
    int32_t GetRowCount() const { return rowCount_; }
    int32_t GetPageRows() const { return pageRows_; }
    void SetPageRows(int32_t n);
    const std::vector<ListBoxRow>& GetRows() const { return rows_; }

    int32_t GetSelection() const { return selectedRow_; }
    // Selects row n (-1 for none); a row the list does not hold selects none.
    void SetSelection(int32_t n);
    int32_t GetHoverRow() const { return hoverRow_; }
    void SetHoverRow(int32_t n) { hoverRow_ = n; }
    const std::vector<int32_t>& GetSelectedRows();
    void SetSelectedRows(const std::vector<int32_t>& rows);
    void SetMultiSelect(bool on) { multiSelect_ = on; }
    int32_t GetAnchorRow() const { return anchorRow_; }

    int32_t GetFirstVisibleRow() const { return firstVisible_; }
    int32_t GetLastVisibleRow() const { return lastVisible_; }
    void SetFirstVisibleRow(int32_t n);
    void ScrollTo(int32_t n);
    void ScrollDown();
    void ScrollUp();
    // True when every row fits in the window.
    bool ShowsAllRows() const { return rowCount_ <= pageRows_; }
    int32_t GetRowGap() const { return rowGap_; }
    // Places each row after the previous one with this gap, at the first
    // row's size along the list's direction.
    void SetRowGap(int32_t gap);
    void SetAnchorRow(int32_t n) { anchorRow_ = n; }
    void SetAlignment(int32_t alignment) { alignment_ = alignment; }
    void SetVerticalAlignment(int32_t alignment) { verticalAlignment_ = alignment; }
    const UiRect& GetInputRect() const { return inputRect_; }
    void SetWrapText(bool on) { wrapText_ = on; }
    void SetFixedIcons(bool on) { fixedIcons_ = on; }
    void SetInputRect(const UiRect& rect) { inputRect_ = rect; }
    void SetRowRectHit(bool on) { rowRectHit_ = on; }
    void SetPerRowColours(bool on) { perRowColours_ = on; }
    void SetNoPixelHit(bool on) { noPixelHit_ = on; }
    bool IsTextAndIcon() const { return textAndIcon_; }
    bool IsVertical() const { return vertical_; }
    bool IsComboOwned() const { return comboOwned_; }
    void SetComboOwner(ComboBox* combo);
    ComboBox* GetComboOwner() const { return comboOwner_; }
    // The control under the point among the list, its scroll controls and
    // its partner button.
    UifControl* WidgetAt(UiPoint point);
    // Where row i stands on the screen, moved by the scroll.
    UiRect RowScreenRect(int32_t i) const;

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override;
    void Enable() override;
    void Disable() override;
    void Show() override;
    void Hide() override;
    void SetToolTipText(const std::string& text) override;
    void DrawToolTip(int32_t layer) override;

private:
    // Where the next row beyond the last one stands: one row and one gap on.
    UiRect NextRowRect() const;
    bool FindRow(UiPoint point, bool quiet);
    void RefreshScrollBar();
    void ShowScrollControls(bool show);
    bool IsHoverKind(const ListBoxRow& row) const;
    // The next wrapped line of the text for a row of the given width.
    std::string TakeLine(std::string& rest, int32_t width, int32_t font);
    void DrawRowText(int32_t layer, const ListBoxRow& row, const UiRect& at, int32_t x, int32_t y,
                     uint32_t colour, int32_t font);

    bool vertical_ = true;
    bool comboOwned_ = false;
    bool rowRectHit_ = false;
    bool textAndIcon_ = false;
    bool fixedIcons_ = false;
    bool perRowColours_ = false;
    bool noPixelHit_ = false;
    int32_t textHeight_ = 0;
    int32_t hoverRow_ = -1;
    int32_t selectedRow_ = -1;
    int32_t anchorRow_ = -1;
    int32_t rowGap_ = 0;
    bool multiSelect_ = false;
    bool wrapText_ = false;
    UiRect inputRect_;
    int32_t slotRows_ = 0;
    int32_t pageRows_ = 0;
    int32_t rowCount_ = 0;
    int32_t imageSetParam_ = 4;
    int32_t lineSpacing_ = 0;
    int32_t firstVisible_ = 0;
    int32_t lastVisible_ = 0;
    int32_t alignment_ = 0;
    int32_t verticalAlignment_ = 4;
    ComboBox* comboOwner_ = nullptr;
    UifControl* scrollButtons_[2] = {nullptr, nullptr};
    ScrollBar* scrollBar_ = nullptr;
    std::vector<int32_t> selectedRows_;
    std::vector<ListBoxRow> rows_;
};
