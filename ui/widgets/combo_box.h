// A closed field that shows the choice of its drop-down list and opens or
// closes the list when clicked. The list is a widget of the same dialog with
// the combo's Id; the combo forwards the common list operations to it.
#pragma once

#include "ui/control.h"

class ListBox;
class TreeListBox;
struct ListRowTexts;

class ComboBox : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog, ListBox* list,
              TreeListBox* tree = nullptr);
    void Toggle();
    void ToggleList() override { Toggle(); }
    bool IsOpen() const { return open_; }
    void ClearOpen() { open_ = false; }
    void SetText(const std::string& text);
    ListBox* GetList() const { return list_; }
    int32_t GetState() const { return state_; }

    // Forwarded to the list; nothing, or -1, without one.
    void AddRow(const ListRowTexts& content);
    void Clear();
    int32_t GetSelection() const;
    void SetSelection(int32_t n);

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void Enable() override {
        disabled_ = false;
        state_ = 0;
    }
    void Disable() override {
        disabled_ = true;
        state_ = 3;
    }

private:
    bool FaceTakes(UiPoint point);

    int32_t state_ = 0;
    UiRect textRect_;
    bool open_ = false;
    bool clicked_ = false;
    ListBox* list_ = nullptr;
    TreeListBox* tree_ = nullptr;
    std::string caption_;
};
