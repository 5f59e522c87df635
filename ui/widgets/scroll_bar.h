// The scroll bar, a track with a draggable knob that shows and sets the
// first visible row of its list (or its own position), and the scroll
// buttons that scroll a list by a row, repeating while held, or open and
// close a combo box's list.
#pragma once

#include "ui/control.h"

class ListBox;
class TreeListBox;

class ScrollBar : public UifControl {
public:
    // The shortest knob.
    static constexpr int32_t kMinKnob = 13;
    // How far across the track a drag still moves the knob.
    static constexpr int32_t kDragZone = 20;

    void Init(std::string className, std::string layoutName, Dialog* dialog, ListBox* list);
    void Bind(ListBox* list);
    // A tree takes the place of a list: its rows, page and first row.
    void BindTree(TreeListBox* tree);
    // Recomputes the knob from the list.
    void Refresh() { Bind(list_); }
    void SetRange(int32_t page, int32_t total) {
        page_ = page;
        total_ = total;
    }
    void SyncKnob();
    void FollowForward() { Follow(true, true); }
    void FollowBack() { Follow(false, true); }
    void FollowForwardH() { Follow(true, false); }
    void FollowBackH() { Follow(false, false); }
    void PageDown() { Page(true); }
    void PageUp() { Page(false); }
    void PageRight() { Page(true); }
    void PageLeft() { Page(false); }
    int32_t GetPosition() const { return position_; }
    const UiRect& KnobRect() const { return knob_; }
    int32_t KnobLength() const { return knobLength_; }
    bool IsVertical() const { return vertical_; }
    bool IsDragging() const { return dragging_; }
    ListBox* GetList() const { return list_; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override {
        record_.Rect.Offset(dx, dy);
        knob_.Offset(dx, dy);
    }
    void Show() override;
    void Enable() override {
        disabled_ = false;
        SetFrames(0);
    }
    void Disable() override {
        disabled_ = true;
        SetFrames(3);
    }

private:
    void SetFrames(int32_t base) {
        frames_[0] = base;
        frames_[1] = base + 4;
        frames_[2] = base + 8;
    }
    void RefreshRange();
    int32_t TrackStart() const { return vertical_ ? record_.Rect.top : record_.Rect.left; }
    int32_t TrackLength() const { return vertical_ ? record_.Rect.Height() : record_.Rect.Width(); }
    int32_t KnobStart() const { return vertical_ ? knob_.top : knob_.left; }
    void SetKnobStart(int32_t start);
    int32_t FirstVisible() const;
    void Follow(bool forward, bool verticalPair);
    void Page(bool forward);
    bool InDragZone(UiPoint point) const;
    bool OnKnob(UiPoint point) const { return !knob_.IsEmpty() && knob_.Contains(point); }

    bool vertical_ = false;
    bool dragging_ = false;
    int32_t page_ = 0;
    int32_t total_ = 0;
    int32_t position_ = 0;
    int32_t frames_[3] = {0, 4, 8};
    UiRect knob_;
    int32_t middleCount_ = 0;
    int32_t grabOffset_ = 0;
    int32_t knobLength_ = 0;
    ListBox* list_ = nullptr;
    TreeListBox* tree_ = nullptr;
};

class ScrollBtn : public UifControl {
public:
    enum class Role { Up, Down, Left, Right, ComboBox };

    ScrollBtn() {
        repeatDelay_ = 250;
        repeatInterval_ = 125;
    }
    void Init(std::string className, std::string layoutName, Dialog* dialog, ScrollBar* bar, ListBox* list,
              TreeListBox* tree = nullptr);
    Role GetRole() const { return role_; }
    // Performs the role once.
    void Fire();
    int32_t GetState() const { return state_; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void Show() override;
    void Enable() override {
        disabled_ = false;
        state_ = 0;
    }
    void Disable() override {
        disabled_ = true;
        state_ = 3;
    }

private:
    int32_t state_ = 0;
    bool clicked_ = false;
    Role role_ = Role::Up;
    ScrollBar* bar_ = nullptr;
    ListBox* list_ = nullptr;
    TreeListBox* tree_ = nullptr;
};
