// The container of the widgets made from one layout: widget 0 is the
// dialog's frame, whose rectangle is the dialog's place and size. It shows,
// hides and moves them as a group, dispatches the frame's mouse input to the
// widget under the mouse, runs the bound handlers, the Enter and Escape
// keys and the radio groups of automatic check boxes.
#pragma once

#include "ui/control.h"
#include "ui/handler_registry.h"
#include "ui/ui_types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class DialogManager;
class ListBox;
class Tab;
class TreeListBox;

class Dialog {
public:
    explicit Dialog(DialogManager& manager) : manager_(manager) {}
    ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    DialogManager& Manager() const { return manager_; }
    bool IsClosing() const { return closing_; }
    void SetClosing() { closing_ = true; }
    bool IsActive() const { return active_; }
    bool IsVisible() const { return visible_; }
    bool IsHeld() const { return held_; }
    void SetHeld(bool held) { held_ = held; }
    bool IsModalNow() const { return modalNow_; }
    bool IsModal() const { return modal_; }
    // Only while the dialog is not modal now.
    void SetModal(bool modal);
    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const UiRect& GetBounds() const { return bounds_; }
    void SetBounds(const UiRect& bounds) { bounds_ = bounds; }
    UiPoint GetPressPoint() const { return pressPoint_; }
    void SetFrameHandler(std::function<void()> handler) { frameHandler_ = std::move(handler); }
    void SetCallback(std::function<void(Dialog*)> callback) { callback_ = std::move(callback); }
    void RunCallback() {
        if (callback_)
            callback_(this);
    }
    void SetAlpha(uint8_t alpha) { alpha_ = alpha; }

    void AddControl(std::unique_ptr<UifControl> control);
    int32_t GetControlCount() const { return int32_t(controls_.size()); }
    // Widget n, null for a number the dialog does not have.
    UifControl* GetControl(int32_t n) const;
    template <class T>
    T* GetControlAs(int32_t n) const {
        return dynamic_cast<T*>(GetControl(n));
    }
    void SetMinimizeButton(std::unique_ptr<UifControl> button) { minimize_ = std::move(button); }
    UifControl* GetMinimizeButton() const { return minimize_.get(); }

    UiPoint GetPosition() const;
    UiRect GetRect() const;
    // Moves the frame's top-left to (x, y), or by (dx, dy), keeping the
    // bounds (when set) inside the work rectangle.
    void MoveTo(int32_t x, int32_t y);
    void MoveBy(int32_t dx, int32_t dy);
    void Show();
    void Hide();
    void Minimize();
    void SetActive(bool active);

    // The first widget with this Id and exactly this keyword, among the
    // widgets of the tab's page when a tab is given; null when none.
    UifControl* FindControl(int32_t id, std::string_view keyword, const Tab* container = nullptr) const;
    // The first widget under the point (the frame only when asked).
    UifControl* FindControlAt(bool includeFrame, UiPoint point) const;
    // The first widget (frame included) under the point, quietly; calls its
    // hover callback.
    UifControl* HitWalk(UiPoint point) const;
    // True when a widget with a greater Id than the given one's, other than
    // a "View", takes the point.
    bool IsCovered(UiPoint point, const UifControl* control) const;
    bool HasNoMenu() const;
    bool IsEditing() const;
    void EndEditing();
    void UncheckRadioGroup(const UifControl* button);
    // Drop-down lists of combo boxes close when another widget is pressed
    // or a click lands outside them.
    void CloseOtherLists(const UifControl* control);
    // The drop-down list of a combo box that is open, or null.
    ListBox* FindOpenList() const;
    // The open drop-down of the first combo box that has one shown: a list
    // or a tree (the other null; both null when none is open).
    void FindOpenLists(ListBox*& list, TreeListBox*& tree) const;
    void CloseListsOnOutsideClick();

    // The per-frame input step; true when the dialog used the input.
    bool UpdateInput(UiPoint point, bool held, HandlerMap& handlers);
    bool DispatchMouse(UiPoint point, bool held, HandlerMap& handlers);
    void Draw(int32_t index);
    void DrawToolTips(int32_t layer);

    // The widget's handler: the entry of its class and its record's Handler.
    UiHandler HandlerOf(const UifControl& control, HandlerMap& handlers) const;

private:
    DialogManager& manager_;
    bool closing_ = false;
    bool active_ = false;
    bool visible_ = true;
    bool held_ = false;
    bool modalNow_ = false;
    bool modal_ = false;
    std::string name_;
    UiRect bounds_;
    UiPoint pressPoint_;
    UifControl* captured_ = nullptr;
    std::unique_ptr<UifControl> minimize_;
    std::vector<std::unique_ptr<UifControl>> controls_;
    std::function<void()> frameHandler_;
    std::function<void(Dialog*)> callback_;
    uint8_t alpha_ = 255;
    mutable bool coverWalk_ = false;
};
