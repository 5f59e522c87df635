#include "ui/dialog.h"

#include "ui/dialog_manager.h"
#include "ui/ui_painter.h"
#include "ui/widgets/button.h"
#include "ui/widgets/combo_box.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/tab.h"
#include "ui/widgets/tree_list_box.h"
#include "ui/widgets/user_view.h"

namespace {

bool Contains(const std::string& keyword, std::string_view word) {
    return keyword.find(word) != std::string::npos;
}

bool IsAutoCheckBox(const std::string& keyword) {
    return keyword == "ButtonCheckBoxAuto" || keyword == "ButtonCheckBoxAutoHI";
}

} // namespace

void Dialog::SetModal(bool modal) {
    if (!modalNow_)
        modalNow_ = modal_ = modal;
}

void Dialog::AddControl(std::unique_ptr<UifControl> control) {
    if (control)
        controls_.push_back(std::move(control));
}

UifControl* Dialog::GetControl(int32_t n) const {
    if (n < 0 || size_t(n) >= controls_.size())
        return nullptr;
    return controls_[size_t(n)].get();
}

UiPoint Dialog::GetPosition() const {
    const UiRect r = GetRect();
    return {r.left, r.top};
}

UiRect Dialog::GetRect() const {
    return controls_.empty() ? UiRect() : controls_[0]->GetLayoutRecord().Rect;
}

void Dialog::MoveTo(int32_t x, int32_t y) {
    if (controls_.empty())
        return;
    const UiPoint frame = GetPosition();
    if (!bounds_.IsEmpty()) {
        const UiRect& work = manager_.GetUiWorkRect();
        UiRect b = bounds_;
        b.Offset(x, y);
        int32_t dx = b.left < work.left ? work.left - b.left : 0;
        int32_t dy = b.top < work.top ? work.top - b.top : 0;
        if (b.bottom + dy > work.bottom)
            dy = work.bottom - b.bottom;
        if (b.right + dx > work.right)
            dx = work.right - b.right;
        x += dx;
        y += dy;
    }
    for (auto& control : controls_)
        control->MoveBy(x - frame.x, y - frame.y);
}

void Dialog::MoveBy(int32_t dx, int32_t dy) {
    if (controls_.empty())
        return;
    if (!bounds_.IsEmpty()) {
        const UiRect& work = manager_.GetUiWorkRect();
        UiRect b = bounds_;
        const UiPoint frame = GetPosition();
        b.Offset(frame.x, frame.y);
        if (b.left + dx < work.left)
            dx = work.left - b.left;
        if (b.top + dy < work.top)
            dy = work.top - b.top;
        if (b.bottom + dy > work.bottom)
            dy = work.bottom - b.bottom;
        if (b.right + dx > work.right)
            dx = work.right - b.right;
    }
    for (auto& control : controls_)
        control->MoveBy(dx, dy);
}

void Dialog::Show() {
    for (auto& control : controls_)
        control->Show();
    visible_ = true;
}

void Dialog::Hide() {
    for (auto& control : controls_)
        control->Hide();
    visible_ = false;
}

void Dialog::Minimize() {
    for (auto& control : controls_)
        control->Hide();
    visible_ = false;
    manager_.DeactivateDialog(this);
}

void Dialog::SetActive(bool active) {
    active_ = active;
    if (active) {
        for (auto& control : controls_) {
            if (control->GetTypeName() == "Menu")
                control->SetDialogActive(true);
        }
        if (!controls_.empty())
            modalNow_ = modal_;
        if (!visible_)
            Show();
        return;
    }
    if (closing_)
        return;
    // By index: a tab may add widgets to the dialog while it is polled.
    for (size_t i = 0; i < controls_.size(); ++i) {
        UifControl* control = controls_[i].get();
        control->UpdateInput({-1, -1}, false);
        if (control->GetTypeName() == "Menu")
            control->SetDialogActive(false);
    }
    modalNow_ = false;
}

UifControl* Dialog::FindControl(int32_t id, std::string_view keyword, const Tab* container) const {
    if (container)
        return container->FindChild(id, keyword);
    for (const auto& control : controls_) {
        const UifLayoutRecord& record = control->GetLayoutRecord();
        if (record.Id == id && record.Keyword == keyword)
            return control.get();
    }
    return nullptr;
}

UifControl* Dialog::FindControlAt(bool includeFrame, UiPoint point) const {
    for (size_t i = includeFrame ? 0 : 1; i < controls_.size(); ++i) {
        if (UifControl* hit = controls_[i]->HitTest(point))
            return hit;
    }
    return nullptr;
}

UifControl* Dialog::HitWalk(UiPoint point) const {
    for (const auto& control : controls_) {
        if (UifControl* hit = control->HitTestQuiet(point)) {
            hit->CallHoverCallback();
            return hit;
        }
    }
    return nullptr;
}

bool Dialog::IsCovered(UiPoint point, const UifControl* control) const {
    // A covering widget's own hit test may ask again (a tab asks its page,
    // whose widgets ask the dialog): the inner question counts nothing.
    if (!control || coverWalk_)
        return false;
    struct Walk {
        bool& flag;
        explicit Walk(bool& f) : flag(f) { flag = true; }
        ~Walk() { flag = false; }
    } walk(coverWalk_);
    const int32_t id = control->GetLayoutRecord().Id;
    for (size_t i = 1; i < controls_.size(); ++i) {
        UifControl* other = controls_[i].get();
        if (other == control || other->GetLayoutRecord().Id <= id || other->GetTypeName() == "View")
            continue;
        // A page's widgets lie on their own tab's page, not under it.
        if (auto* tab = dynamic_cast<Tab*>(other); tab && tab->Owns(control))
            continue;
        if (other->HitTest(point))
            return true;
    }
    return false;
}

bool Dialog::HasNoMenu() const {
    for (const auto& control : controls_) {
        if (control->GetTypeName() == "Menu")
            return false;
    }
    return true;
}

bool Dialog::IsEditing() const {
    for (size_t i = 1; i < controls_.size(); ++i) {
        const std::string& keyword = controls_[i]->GetTypeName();
        if (keyword != "Edit" && keyword != "EditHI")
            continue;
        if (auto* edit = dynamic_cast<Edit*>(controls_[i].get()); edit && edit->IsEditing())
            return true;
    }
    return false;
}

void Dialog::EndEditing() {
    for (size_t i = 1; i < controls_.size(); ++i) {
        if (!Contains(controls_[i]->GetTypeName(), "Edit"))
            continue;
        if (auto* edit = dynamic_cast<Edit*>(controls_[i].get()))
            edit->LoseFocus();
    }
}

void Dialog::UncheckRadioGroup(const UifControl* button) {
    if (!button)
        return;
    auto uncheck = [&](UifControl* control) {
        if (control == button || control->IsDisabled() || !IsAutoCheckBox(control->GetTypeName()) ||
            control->GetLayoutName() != button->GetLayoutName() ||
            control->GetLayoutRecord().Id != button->GetLayoutRecord().Id)
            return;
        if (auto* other = dynamic_cast<Button*>(control))
            other->Uncheck();
    };
    for (auto& control : controls_) {
        uncheck(control.get());
        if (auto* tab = dynamic_cast<Tab*>(control.get()); tab && Contains(tab->GetTypeName(), "Tab")) {
            for (const auto& child : tab->GetChildren())
                uncheck(child.get());
        }
    }
}

void Dialog::FindOpenLists(ListBox*& list, TreeListBox*& tree) const {
    list = nullptr;
    tree = nullptr;
    for (const auto& combo : controls_) {
        if (!Contains(combo->GetTypeName(), "ComboBox"))
            continue;
        for (const auto& control : controls_) {
            if (!control->IsVisible() || !Contains(control->GetTypeName(), "ListBox") ||
                control->GetLayoutRecord().Id != combo->GetLayoutRecord().Id)
                continue;
            if (Contains(control->GetTypeName(), "TreeListBox"))
                tree = dynamic_cast<TreeListBox*>(control.get());
            else
                list = dynamic_cast<ListBox*>(control.get());
            return;
        }
    }
}

ListBox* Dialog::FindOpenList() const {
    ListBox* list = nullptr;
    TreeListBox* tree = nullptr;
    FindOpenLists(list, tree);
    return list;
}

namespace {

// The combo box a hidden drop-down belonged to no longer counts as open.
void ClearComboOpen(const std::vector<std::unique_ptr<UifControl>>& controls, int32_t id) {
    for (const auto& control : controls) {
        if (auto* combo = dynamic_cast<ComboBox*>(control.get());
            combo && control->GetLayoutRecord().Id == id)
            combo->ClearOpen();
    }
}

} // namespace

void Dialog::CloseOtherLists(const UifControl* control) {
    ListBox* list = nullptr;
    TreeListBox* tree = nullptr;
    FindOpenLists(list, tree);
    if (list && control && list->GetLayoutRecord().Id != control->GetLayoutRecord().Id) {
        list->Hide();
        if (ComboBox* combo = list->GetComboOwner())
            combo->ClearOpen();
    }
    // An open tree closes whichever widget was pressed.
    if (tree) {
        tree->Hide();
        ClearComboOpen(controls_, tree->GetLayoutRecord().Id);
    }
}

void Dialog::CloseListsOnOutsideClick() {
    ListBox* list = nullptr;
    TreeListBox* tree = nullptr;
    FindOpenLists(list, tree);
    const UiInputSnapshot& snapshot = manager_.Snapshot();
    const UiPoint cursor = snapshot.cursor;
    if (tree && !tree->HitTest(cursor)) {
        const UifControl* under = nullptr;
        for (size_t i = 1; i < controls_.size() && !under; ++i) {
            if (controls_[i]->HitTest(cursor))
                under = controls_[i].get();
        }
        const int32_t id = tree->GetLayoutRecord().Id;
        if (!under || (under->GetLayoutRecord().Id != id && !tree->HitTest(snapshot.pressPoint))) {
            tree->Hide();
            ClearComboOpen(controls_, id);
        }
    }
    if (!list)
        return;
    ComboBox* combo = list->GetComboOwner();
    if (!list->WidgetAt(cursor) && combo && !combo->HitTest(cursor)) {
        list->Hide();
        combo->ClearOpen();
    }
}

UiHandler Dialog::HandlerOf(const UifControl& control, HandlerMap& handlers) const {
    const std::string& name = control.GetLayoutRecord().Handler;
    if (name.empty())
        return nullptr;
    return handlers.Find(control.GetClassName(), name);
}

bool Dialog::UpdateInput(UiPoint point, bool held, HandlerMap& handlers) {
    const UiInputSnapshot& snapshot = manager_.Snapshot();
    if (!snapshot.leftHeld && !snapshot.leftReleased)
        held = false;
    if (!visible_)
        return false;
    if (manager_.IsTabHeld() &&
        !(name_ == "ControlBar" || name_ == "MiniMap_S_Dlg" || name_ == "MiniMap_L_Dlg"))
        return true;
    if (!active_) {
        Dialog* top = manager_.GetTopDialog();
        const bool covered = top && top != this && top->HitWalk(point) != nullptr;
        for (size_t i = 1; i < controls_.size(); ++i)
            controls_[i]->UpdateInput(covered ? UiPoint{-1, -1} : point, false);
        return false;
    }
    if (frameHandler_) {
        frameHandler_();
        if (!active_)
            return true;
    }
    const uint32_t key = manager_.KeyWord();
    if (key == kUiKeyEscape || (key == kUiKeyEnter && !IsEditing())) {
        if (key == kUiKeyEscape)
            manager_.ClearUiKeyInput();
        if (UiHandler handler = handlers.Entry(name_, key == kUiKeyEscape ? "Cancel" : "Okay"))
            handler(nullptr);
        if (closing_)
            return true;
    }
    if (!held)
        pressPoint_ = {0, 0};
    for (size_t i = 1; i < controls_.size(); ++i) {
        UifControl& control = *controls_[i];
        if (Contains(control.GetTypeName(), "StatusBar")) {
            if (UiHandler handler = HandlerOf(control, handlers))
                control.FireHandler(handler);
        }
    }
    if (Dialog* modal = manager_.GetModalDialog(); modal && modal != this)
        return true;
    if (active_ || HasNoMenu()) {
        if (held) {
            if (pressPoint_ == UiPoint{0, 0})
                pressPoint_ = point;
            bool onWidget = false;
            for (size_t i = 1; i < controls_.size() && !onWidget; ++i)
                onWidget = controls_[i]->HitTest(pressPoint_) != nullptr;
            if (!onWidget)
                return true;
        }
        if (DispatchMouse(point, held, handlers))
            return true;
    }
    return false;
}

bool Dialog::DispatchMouse(UiPoint point, bool held, HandlerMap& handlers) {
    if (controls_.empty())
        return false;
    const UiInputSnapshot& snapshot = manager_.Snapshot();
    if (!held || (!snapshot.leftHeld && !snapshot.leftReleased))
        captured_ = nullptr;
    // Widgets are owned until phase two of closing, which runs only at the
    // start of a frame, so handlers may close this dialog safely.
    for (size_t i = 1; i < controls_.size(); ++i) {
        UifControl* control = controls_[i].get();
        if (!control->HitTest(point)) {
            if (control->IsAlwaysFire()) {
                control->SetAlwaysFire(false);
                if (control->FireHandler(HandlerOf(*control, handlers))) {
                    manager_.Mouse().ConsumeMouseEvents();
                    return true;
                }
            }
            control->UpdateInput(point, false);
            continue;
        }
        if (auto* view = dynamic_cast<View*>(control); view && view->IsAlwaysHitTested())
            continue;
        if (held) {
            // While a drop-down tree is open, a press only reaches the widgets
            // of its own combo.
            ListBox* openList = nullptr;
            TreeListBox* openTree = nullptr;
            FindOpenLists(openList, openTree);
            if (openTree && openTree->GetLayoutRecord().Id != control->GetLayoutRecord().Id)
                continue;
            if (captured_ && captured_ != control) {
                captured_->UpdateInput(point, false);
                continue;
            }
            captured_ = control;
        }
        if (!control->UpdateInput(point, held)) {
            if (Dialog* owner = manager_.FindDialogAny(control->GetClassName()); owner && owner->IsClosing())
                control->FireHandler(HandlerOf(*control, handlers));
            return true;
        }
        if (control->IsFiring()) {
            UiHandler handler = HandlerOf(*control, handlers);
            if (auto* tab = dynamic_cast<Tab*>(control); tab && Contains(control->GetTypeName(), "Tab")) {
                const std::string active = tab->GetActiveHandler(point);
                if (!active.empty())
                    handler = handlers.Find(tab->GetOwnerDialogName(), active);
            }
            const std::string& name = control->GetLayoutRecord().Handler;
            if (name == "Okay")
                manager_.PlayUiSound(kUiSoundOkay, nullptr);
            else if (name == "Cancel")
                manager_.PlayUiSound(kUiSoundCancel, nullptr);
            const bool fired = control->FireHandler(handler);
            manager_.Mouse().ConsumeMouseEvents();
            if (fired)
                return true;
        }
    }
    return false;
}

void Dialog::Draw(int32_t index) {
    if (manager_.IsTabHeld() &&
        !(name_ == "ControlBar" || name_ == "MiniMap_S_Dlg" || name_ == "MiniMap_L_Dlg"))
        return;
    if (closing_)
        return;
    for (auto& control : controls_) {
        control->SetAlpha(alpha_);
        control->Draw(index);
    }
}

void Dialog::DrawToolTips(int32_t layer) {
    if (closing_)
        return;
    for (auto& control : controls_)
        control->DrawToolTip(layer);
}
