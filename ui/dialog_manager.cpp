#include "ui/dialog_manager.h"

#include "engine/asset_log.h"
#include "ui/layout_files.h"
#include "ui/tooltip.h"
#include "ui/widgets/button.h"

#include <algorithm>

DialogManager::DialogManager() : enginePainter_(std::make_unique<EngineUiPainter>()) {
    painter_ = enginePainter_.get();
    sounds_ = &noSounds_;
    mouse_ = &MouseInput::Program();
    registry_ = &HandlerRegistry::Program();
}

DialogManager::~DialogManager() = default;

DialogManager& DialogManager::Program() {
    static DialogManager manager;
    return manager;
}

void DialogManager::Init(std::string punctuation, std::string skinName, const UiRect& screen,
                         const UiRect& work) {
    // The database writes line feeds as backslash-n.
    std::string expanded;
    for (size_t i = 0; i < punctuation.size(); ++i) {
        if (punctuation[i] == '\\' && i + 1 < punctuation.size() && punctuation[i + 1] == 'n') {
            expanded += '\n';
            ++i;
        } else {
            expanded += punctuation[i];
        }
    }
    punctuation_ = std::move(expanded);
    skinName_ = std::move(skinName);
    screen_ = screen;
    work_ = work;
}

void DialogManager::SetScreenSize(int32_t width, int32_t height) {
    screen_ = {0, 0, width, height};
    work_ = {0, 0, width, height - kUiBarHeight};
}

void DialogManager::TakeInputSnapshot() {
    snapshot_.cursor = mouse_->GetMousePos();
    snapshot_.leftHeld = mouse_->IsLeftButtonDown();
    snapshot_.leftReleased = mouse_->IsLeftButtonReleased();
    snapshot_.rightHeld = mouse_->IsRightButtonDown();
    snapshot_.rightReleased = mouse_->IsRightButtonReleased();
    snapshot_.doubleClick = mouse_->IsDoubleClick();
    snapshot_.wheel = mouse_->GetWheelDelta();
    if (!snapshot_.leftHeld)
        snapshot_.pressPoint = {-1, -1};
    else if (snapshot_.pressPoint == UiPoint{-1, -1})
        snapshot_.pressPoint = snapshot_.cursor;
}

bool DialogManager::IsTabDialog(const std::string& name) {
    return name == "ControlBar" || name == "MiniMap_S_Dlg" || name == "MiniMap_L_Dlg";
}

Dialog* DialogManager::FindDialog(std::string_view name) const {
    const std::string base = LayoutBaseName(name);
    for (const auto& dialog : dialogs_) {
        if (!dialog->IsClosing() && dialog->GetName() == base)
            return dialog.get();
    }
    return nullptr;
}

Dialog* DialogManager::FindDialogAny(std::string_view name) const {
    const std::string base = LayoutBaseName(name);
    for (const auto& dialog : dialogs_) {
        if (dialog->GetName() == base)
            return dialog.get();
    }
    return nullptr;
}

bool DialogManager::MoveDialog(std::string_view name, int32_t x, int32_t y) {
    Dialog* dialog = FindDialogAny(name);
    if (!dialog)
        return false;
    dialog->MoveTo(x, y);
    return true;
}

std::vector<Dialog*> DialogManager::GetOpenDialogs() const {
    std::vector<Dialog*> open;
    for (const auto& dialog : dialogs_)
        open.push_back(dialog.get());
    return open;
}

bool DialogManager::IsOpen(const Dialog* dialog) const {
    return std::any_of(dialogs_.begin(), dialogs_.end(), [&](const auto& d) { return d.get() == dialog; });
}

void DialogManager::OpenDialog(std::string_view name) {
    const std::string base = LayoutBaseName(name);
    for (const auto& dialog : dialogs_) {
        if (!(dialog->GetPressPoint() == UiPoint{0, 0}))
            return;
    }
    Dialog* raised = nullptr;
    for (const auto& dialog : dialogs_) {
        if (!dialog->IsVisible())
            continue;
        if (dialog->GetName() == base && !raised) {
            raised = dialog.get();
            continue;
        }
        dialog->SetActive(false);
        dialog->CloseListsOnOutsideClick();
        dialog->EndEditing();
    }
    if (!raised)
        return;
    raised->SetActive(true);
    auto it =
        std::find_if(dialogs_.begin(), dialogs_.end(), [&](const auto& d) { return d.get() == raised; });
    std::rotate(it, it + 1, dialogs_.end());
}

void DialogManager::CloseDialog(std::string_view name) {
    const std::string base = LayoutBaseName(name);
    pressed_ = nullptr;
    // Phase one only: a dialog is destroyed at the start of the next frame,
    // never while its own input or a handler of it may still run.
    for (const auto& dialog : dialogs_) {
        if (dialog->GetName() == base && !dialog->IsClosing()) {
            dialog->SetClosing();
            return;
        }
    }
    Dialog* last = GetTopDialog();
    if (last && !last->IsClosing() && last->IsVisible())
        OpenDialog(last->GetName());
}

void DialogManager::DestroyDialog(Dialog* dialog) {
    if ((pressed_ && pressed_->GetDialog() == dialog))
        pressed_ = nullptr;
    if (clickedByUi_ && clickedByUi_->GetDialog() == dialog)
        clickedByUi_ = nullptr;
    std::erase_if(toolTips_, [&](ToolTip* toolTip) {
        for (int32_t i = 0; i < dialog->GetControlCount(); ++i) {
            if (dialog->GetControl(i)->GetToolTip() == toolTip)
                return true;
        }
        return false;
    });
    std::erase_if(dialogs_, [&](const auto& d) { return d.get() == dialog; });
    // The cursor clip of a dragged title ends with its dialog.
    mouse_->ReleaseCursorClip();
    Dialog* last = GetTopDialog();
    if (last && !last->IsClosing() && last->IsVisible())
        OpenDialog(last->GetName());
}

void DialogManager::UpdateDialogs() {
    for (;;) {
        auto closing =
            std::find_if(dialogs_.begin(), dialogs_.end(), [](const auto& d) { return d->IsClosing(); });
        if (closing == dialogs_.end())
            break;
        DestroyDialog(closing->get());
    }
    if (noLayoutYet_)
        return;
    DialogStep();
}

void DialogManager::DialogStep() {
    const UiPoint cursor = snapshot_.cursor;
    if (!snapshot_.leftHeld) {
        if (snapshot_.leftReleased) {
            UifControl* under = FindControlAt(false, cursor);
            UifControl* ended = pressed_ ? pressed_ : clickedByUi_;
            if (under != pressed_) {
                if (ended)
                    ended->UpdateInput(cursor, false);
                pressed_ = nullptr;
                clickedByUi_ = nullptr;
                mouse_->ConsumeMouseEvents();
                return;
            }
        }
        pressed_ = nullptr;
    } else if (!pressed_ && FindControlAt(false, snapshot_.pressPoint)) {
        pressed_ = FindControlAt(false, cursor);
    }

    if (snapshot_.leftHeld && !IsAnyDialogHeld() && !GetModalDialog()) {
        for (auto it = dialogs_.rbegin(); it != dialogs_.rend(); ++it) {
            if ((*it)->HitWalk(cursor)) {
                OpenDialog((*it)->GetName());
                break;
            }
        }
    }

    inputConsumed_ = false;
    Dialog* modal = GetModalDialog();
    // Handlers may load, raise or close dialogs during the walk: walk a copy
    // and skip dialogs that left the list (none is destroyed before the
    // next frame).
    for (Dialog* dialog : GetOpenDialogs()) {
        if (!IsOpen(dialog) || (modal && dialog != modal))
            continue;
        if (dialog->UpdateInput(cursor, snapshot_.leftHeld, handlers_) || inputConsumed_)
            break;
    }

    if (!(snapshot_.pressPoint == UiPoint{-1, -1}) && FindControlAt(true, snapshot_.pressPoint))
        mouse_->ConsumeMouseEvents();
    clickedByUi_ = nullptr;
}

UifControl* DialogManager::FindControlAt(bool includeFrames, UiPoint point) const {
    for (const auto& dialog : dialogs_) {
        if (tabHeld_ && !IsTabDialog(dialog->GetName()))
            return nullptr;
        if (UifControl* hit = dialog->FindControlAt(includeFrames, point))
            return hit;
    }
    return clickTaken_ ? clickedByUi_ : nullptr;
}

bool DialogManager::IsMouseOverDialog() {
    for (const auto& dialog : dialogs_) {
        if (dialog->HitWalk(snapshot_.cursor)) {
            if (tabHeld_ && !IsTabDialog(dialog->GetName()))
                return false;
            clickTaken_ = false;
            return true;
        }
    }
    if (clickTaken_) {
        clickTaken_ = false;
        return true;
    }
    return false;
}

void DialogManager::DrawDialogs() {
    Dialog* modal = GetModalDialog();
    int32_t index = 0;
    for (Dialog* dialog : GetOpenDialogs()) {
        dialog->Draw(index);
        if (!modal || dialog == modal)
            dialog->DrawToolTips(9);
        ++index;
    }
    if (modal)
        return;
    for (ToolTip* toolTip : toolTips_)
        toolTip->Draw(9);
    toolTips_.clear();
}

void DialogManager::DestroyAllDialogs() {
    pressed_ = nullptr;
    clickedByUi_ = nullptr;
    toolTips_.clear();
    dialogs_.clear();
}

Dialog* DialogManager::GetModalDialog() const {
    for (const auto& dialog : dialogs_) {
        if (dialog->IsVisible() && dialog->IsModalNow())
            return dialog.get();
    }
    return nullptr;
}

bool DialogManager::IsAnyDialogHeld() const {
    return std::any_of(dialogs_.begin(), dialogs_.end(), [](const auto& d) { return d->IsHeld(); });
}

void DialogManager::RunDialogCallbacks() {
    for (Dialog* dialog : GetOpenDialogs())
        dialog->RunCallback();
}

void DialogManager::DeactivateDialog(Dialog* dialog) {
    if (IsOpen(dialog))
        dialog->SetActive(false);
}
