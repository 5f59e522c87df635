#include "ui/widgets/tab.h"

#include "ui/dialog.h"
#include "ui/dialog_manager.h"
#include "ui/layout_files.h"

#include <algorithm>

void Tab::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    ownerName_ = dialog ? dialog->GetName() : std::string();
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        caption_ = ResolveTextId(record_.Caption);
}

void Tab::AddChild(std::unique_ptr<UifControl> child) {
    if (child)
        children_.push_back(std::move(child));
}

UifControl* Tab::GetChild(int32_t n) const {
    return n >= 0 && size_t(n) < children_.size() ? children_[size_t(n)].get() : nullptr;
}

UifControl* Tab::FindChild(int32_t id, std::string_view keyword) const {
    for (const auto& child : children_) {
        if (child->GetLayoutRecord().Id == id && child->GetLayoutRecord().Keyword == keyword)
            return child.get();
    }
    return nullptr;
}

bool Tab::Owns(const UifControl* control) const {
    for (const auto& child : children_) {
        if (child.get() == control)
            return true;
    }
    return false;
}

void Tab::SetLayoutName(const std::string& name) {
    layoutName_ = LayoutBaseName(name);
}

const UifLayoutRecord& Tab::HitInfo(UiPoint point) const {
    for (size_t i = 1; i < children_.size(); ++i) {
        if (children_[i]->HitTestQuiet(point))
            return children_[i]->GetLayoutRecord();
    }
    return record_;
}

std::string Tab::GetActiveHandler(UiPoint point) {
    HitTest(point);
    for (size_t i = 1; i < children_.size(); ++i) {
        if (children_[i]->IsFiring())
            return children_[i]->GetLayoutRecord().Handler;
    }
    return {};
}

void Tab::SetText(const std::string& text) {
    caption_ = text;
    UiPainter& painter = Manager().Painter();
    const int32_t w = painter.TextWidth(record_.Font, text), h = painter.TextHeight(record_.Font);
    const UiRect& r = record_.Rect;
    const int32_t left = r.left + r.Width() / 2 - w / 2, top = r.top + r.Height() / 2 - h / 2;
    textRect_ = {left, top, left + w, top + h};
}

void Tab::Select() {
    state_ = 1;
    for (auto& child : children_)
        child->Show();
}

void Tab::Deselect() {
    state_ = disabled_ ? 3 : 0;
    for (auto& child : children_)
        child->Hide();
}

bool Tab::FaceTakes(UiPoint point) {
    UiPainter& painter = Manager().Painter();
    UiImageSize size;
    const UiRect& r = record_.Rect;
    if (!r.Contains(point) || !painter.ImageSize(record_.Image, 4, size))
        return false;
    const UiRect placed{r.left, r.top, r.left + size.frameWidth, r.top + size.frameHeight};
    return (painter.ImagePixel(record_.Image, 4, state_, placed, point) >> 24) != 0;
}

bool Tab::PageTakes(UiPoint point, bool quiet) {
    // The page's widgets take their clicks through the tab that owns them.
    if (state_ != 1)
        return false;
    for (size_t i = 1; i < children_.size(); ++i) {
        if (quiet ? children_[i]->HitTestQuiet(point) : children_[i]->HitTest(point))
            return true;
    }
    return false;
}

UifControl* Tab::HitTest(UiPoint point) {
    const bool onFace = visible_ && !disabled_ && dialog_ && FaceTakes(point);
    if (toolTip_)
        toolTip_->UpdateHover(onFace, point);
    return onFace || (visible_ && !disabled_ && dialog_ && PageTakes(point, false)) ? this : nullptr;
}

UifControl* Tab::HitTestQuiet(UiPoint point) {
    return visible_ && dialog_ && (FaceTakes(point) || PageTakes(point, true)) ? this : nullptr;
}

bool Tab::UpdateInput(UiPoint point, bool held) {
    if (!dialog_)
        return false;
    DialogManager& manager = Manager();
    int32_t& activeGroup = manager.TabActiveGroup();
    if (loadPending_) {
        loadPending_ = false;
        if (!record_.OpenLayout.empty()) {
            SetLayoutName(record_.OpenLayout);
            manager.LoadLayoutInto(record_.OpenLayout, this);
        }
        if (activeGroup != record_.Id) {
            activeGroup = record_.Id;
            if (selectOnLoad_)
                Select();
        } else if (deselectOnLoad_) {
            Deselect();
        }
    } else {
        activeGroup = -1;
    }
    if (disabled_)
        return false;
    for (size_t i = 1; i < children_.size(); ++i) {
        UifControl& child = *children_[i];
        child.UpdateInput(point, held && child.HitTest(point) != nullptr);
    }
    if (!held) {
        if (record_.Keyword == "TabHI" && state_ != 1)
            state_ = HitTest(point) ? 2 : 0;
        bool childFires = false;
        for (size_t i = 1; i < children_.size() && !childFires; ++i)
            childFires = children_[i]->IsFiring();
        fire_ = childFires || (clicked_ && wasPressed_ && FaceTakes(point));
        clicked_ = fire_;
        wasPressed_ = false;
        return true;
    }
    if (toolTip_)
        toolTip_->Hide();
    wasPressed_ = true;
    if (!FaceTakes(point))
        return true;
    clicked_ = true;
    Select();
    for (int32_t i = 0; i < dialog_->GetControlCount(); ++i) {
        UifControl* other = dialog_->GetControl(i);
        if (other != this && other->GetLayoutRecord().Id == record_.Id &&
            other->GetTypeName().find("Tab") != std::string::npos)
            other->Hide();
    }
    return true;
}

bool Tab::FireHandler(UiHandler handler) {
    if (disabled_)
        return false;
    // A page widget fires with its own handler, once; the tab's handler runs
    // for a press on the tab itself.
    HandlerMap& handlers = Manager().GetHandlerMap();
    for (size_t i = 1; i < children_.size(); ++i) {
        UifControl& child = *children_[i];
        if (child.IsFiring())
            return child.FireHandler(handlers.Find(ownerName_, child.GetLayoutRecord().Handler));
    }
    if (clicked_ && handler) {
        handler(this);
        return true;
    }
    return false;
}

void Tab::MoveBy(int32_t dx, int32_t dy) {
    record_.Rect.Offset(dx, dy);
    for (auto& child : children_)
        child->MoveBy(dx, dy);
}

void Tab::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    painter.DrawImageFrame(layer, record_.Image, 4, state_, record_.Rect, colour_);
    if (!caption_.empty()) {
        const int32_t w = painter.TextWidth(record_.Font, caption_), h = painter.TextHeight(record_.Font);
        const UiRect& r = record_.Rect;
        const uint32_t colours[] = {record_.Colour1, record_.Colour2, record_.Colour3, record_.Colour4};
        painter.DrawText(layer, record_.Font,
                         {r.left + r.Width() / 2 - w / 2 + record_.Value3,
                          r.top + r.Height() / 2 - h / 2 + record_.Value4},
                         (colours[state_ & 3] & 0xFFFFFF) | (colour_ & 0xFF000000), caption_);
    }
    if (placePending_) {
        placePending_ = false;
        // The page counts from the dialog's left and from below the tabs.
        int32_t bottom = 0;
        for (int32_t i = 0; i < dialog_->GetControlCount(); ++i) {
            UifControl* other = dialog_->GetControl(i);
            if (other->GetTypeName().find("Tab") != std::string::npos)
                bottom = std::max(bottom, other->GetLayoutRecord().Rect.bottom);
        }
        const int32_t left = dialog_->GetPosition().x;
        for (auto& child : children_)
            child->MoveBy(left, bottom);
    }
    for (auto& child : children_)
        child->Draw(layer);
}

void Tab::DrawToolTip(int32_t layer) {
    UifControl::DrawToolTip(layer);
    for (auto& child : children_)
        child->DrawToolTip(layer);
}
