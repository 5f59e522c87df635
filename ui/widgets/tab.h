// A tab button that owns a page: the widgets of a second layout, loaded the
// first time the tab is polled and placed below the row of tabs. Tabs with
// one Id form a group: pressing one shows its page and hides the others'.
#pragma once

#include "ui/control.h"

#include <memory>
#include <vector>

class Tab : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog);
    void AddChild(std::unique_ptr<UifControl> child);
    const std::vector<std::unique_ptr<UifControl>>& GetChildren() const { return children_; }
    UifControl* GetChild(int32_t n) const;
    const std::string& GetOwnerDialogName() const { return ownerName_; }
    // The page's layout name, without ".uif", as the tab's layout name.
    void SetLayoutName(const std::string& name);
    UifControl* FindChild(int32_t id, std::string_view keyword) const;
    bool Owns(const UifControl* control) const;
    // The layout record of the first page widget (after the page's frame)
    // under the point, else the tab's own.
    const UifLayoutRecord& HitInfo(UiPoint point) const;
    // The Handler of the first page widget (after the page's frame) that
    // fires, or empty.
    std::string GetActiveHandler(UiPoint point);
    void SetText(const std::string& text);
    int32_t GetState() const { return state_; }
    bool IsSelected() const { return state_ == 1; }
    void Select();
    void Deselect();
    void SetSelectOnLoad(bool on) { selectOnLoad_ = on; }
    void SetDeselectOnLoad(bool on) { deselectOnLoad_ = on; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void DrawToolTip(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override;
    // For a tab, hiding deselects and showing selects; the tab stays shown.
    void Hide() override { Deselect(); }
    void Show() override { Select(); }
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
    bool PageTakes(UiPoint point, bool quiet);

    bool loadPending_ = true;
    bool placePending_ = true;
    bool selectOnLoad_ = true;
    bool deselectOnLoad_ = true;
    bool clicked_ = false;
    int32_t state_ = 0;
    UiRect textRect_;
    std::string ownerName_;
    std::string caption_;
    std::vector<std::unique_ptr<UifControl>> children_;
};
