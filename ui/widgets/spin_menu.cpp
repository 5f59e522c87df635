#include "ui/widgets/spin_menu.h"

#include "ui/dialog.h"
#include "ui/dialog_manager.h"

#include <algorithm>

namespace {

bool FrameTakes(UifControl& control, const std::string& image, int32_t frames, int32_t frame, UiPoint point) {
    UiPainter& painter = control.Manager().Painter();
    UiImageSize size;
    const UiRect& r = control.GetLayoutRecord().Rect;
    if (image.empty() || !r.Contains(point) || !painter.ImageSize(image, frames, size))
        return false;
    const UiRect placed{r.left, r.top, r.left + size.frameWidth, r.top + size.frameHeight};
    return (painter.ImagePixel(image, frames, frame, placed, point) >> 24) != 0;
}

} // namespace

void Spin::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    vertical_ = record_.Rect.Width() < record_.Rect.Height();
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        record_.Caption = ResolveTextId(record_.Caption);
    PlaceKnob();
}

void Spin::PlaceKnob() {
    step_ = record_.Value2;
    UiImageSize size;
    if (!Manager().Painter().ImageSize(record_.Image2, 4, size))
        size = {};
    const int32_t left = record_.Rect.left + record_.Rect2.left - size.frameWidth / 2;
    const int32_t top = record_.Rect.top + record_.Rect2.top;
    knob_ = {left, top, left + size.frameWidth, top + size.frameHeight};
}

void Spin::SetValue(int32_t value) {
    value_ = value;
    const int32_t w = knob_.Width(), h = knob_.Height();
    int32_t left = 0, top = 0;
    if (vertical_) {
        left = record_.Rect.left;
        top = record_.Rect.top + value * step_;
    } else {
        left = record_.Rect.left + record_.Rect2.left + value * step_ - w / 2;
        top = record_.Rect.top + 2 * record_.Rect2.top;
    }
    knob_ = {left, top, left + w, top + h};
}

int32_t Spin::GetTrackLength() const {
    return vertical_ ? record_.Rect2.bottom - record_.Rect2.top : record_.Rect2.right - record_.Rect2.left;
}

bool Spin::InZone(UiPoint point) const {
    UiRect zone = record_.Rect;
    zone.top -= 20;
    zone.bottom += 20;
    return zone.Contains(point);
}

UifControl* Spin::HitTestQuiet(UiPoint point) {
    UiImageSize size;
    if (!visible_ || !Manager().Painter().ImageSize(record_.Image, 2, size))
        return nullptr;
    if (!record_.Rect.Contains(point) && !dragging_)
        return nullptr;
    return dialog_ && dialog_->IsCovered(point, this) ? nullptr : this;
}

UifControl* Spin::HitTest(UiPoint point) {
    UifControl* hit = HitTestQuiet(point);
    if (toolTip_)
        toolTip_->UpdateHover(hit != nullptr, point);
    return hit;
}

void Spin::ValueFromKnob(int32_t offset) {
    // A spin without a step stays at 0.
    value_ = step_ == 0 ? 0 : int32_t(float(offset) / float(step_) + 0.5f);
    value_ = std::max(value_, 0);
}

void Spin::SnapKnob() {
    const int32_t w = knob_.Width(), h = knob_.Height();
    if (vertical_) {
        ValueFromKnob(knob_.top - record_.Rect.top);
        knob_.top = record_.Rect.top + value_ * step_;
        knob_.bottom = knob_.top + h;
    } else {
        ValueFromKnob(knob_.left + w / 2 - (record_.Rect.left + record_.Rect2.left));
        knob_.left = record_.Rect.left + record_.Rect2.left + value_ * step_ - w / 2;
        knob_.right = knob_.left + w;
    }
}

void Spin::DragStep(UiPoint point) {
    if (!InZone(point)) {
        dragging_ = false;
        return;
    }
    dragging_ = true;
    const int32_t w = knob_.Width(), h = knob_.Height();
    if (vertical_) {
        int32_t top = std::max(point.y - h / 2, record_.Rect.top);
        if (top + h >= record_.Rect.bottom)
            top = record_.Rect.bottom - h;
        knob_.top = top;
        knob_.bottom = top + h;
        ValueFromKnob(knob_.top - record_.Rect.top);
    } else {
        const int32_t start = record_.Rect.left + record_.Rect2.left;
        const int32_t end = record_.Rect.left + record_.Rect2.right;
        const int32_t centre = std::clamp(point.x, start, std::max(start, end));
        knob_.left = centre - w / 2;
        knob_.right = knob_.left + w;
        ValueFromKnob(centre - start);
    }
}

bool Spin::UpdateInput(UiPoint point, bool held) {
    if (!visible_)
        return false;
    if (needsPlacing_) {
        if (value_ == 0)
            PlaceKnob();
        needsPlacing_ = false;
    }
    DialogManager& manager = Manager();
    const UiInputSnapshot& snapshot = manager.Snapshot();
    if (!snapshot.leftHeld && !snapshot.leftReleased)
        dragging_ = false;
    if (disabled_)
        return false;
    const bool onKnob = knob_.Contains(point);
    if (!held) {
        if (dragging_) {
            if (snapshot.leftReleased) {
                manager.PlayUiSound(kUiSoundClick, nullptr);
                dragging_ = grabbed_ = false;
                manager.Mouse().ConsumeMouseEvents();
            } else {
                DragStep(point);
            }
        } else if (grabbed_) {
            if (InZone(point)) {
                DragStep(point);
            } else if (snapshot.leftReleased) {
                grabbed_ = false;
                manager.Mouse().ConsumeMouseEvents();
            }
        }
        knobFrame_ = onKnob && record_.Keyword == "SpinHI" ? 2 : 0;
        if (wasPressed_)
            SnapKnob();
        fire_ = clicked_ && wasPressed_;
        wasPressed_ = clicked_ = false;
        return true;
    }
    if (HitTest(point) && dialog_)
        dialog_->CloseOtherLists(this);
    if (toolTip_)
        toolTip_->Hide();
    wasPressed_ = clicked_ = true;
    if (onKnob && !grabbed_) {
        knobFrame_ = 1;
        dragging_ = grabbed_ = true;
    }
    DragStep(point);
    return true;
}

bool Spin::FireHandler(UiHandler handler) {
    if (disabled_ || !fire_)
        return false;
    if (handler)
        handler(this);
    OpenLayoutAndHideToolTip();
    return true;
}

void Spin::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    painter.DrawImageFrame(layer, record_.Image, 2, trackFrame_, record_.Rect, colour_);
    if (!needsPlacing_)
        painter.DrawImageFrame(layer, record_.Image2, 4, knobFrame_, knob_, colour_);
}

void Menu::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        record_.Caption = ResolveTextId(record_.Caption);
}

void Menu::SetCaption(const std::string& caption) {
    record_.Caption = caption;
    UiPainter& painter = Manager().Painter();
    const int32_t w = painter.TextWidth(record_.Font, caption), h = painter.TextHeight(record_.Font);
    const UiRect& r = record_.Rect;
    const int32_t left = r.left + r.Width() / 2 - w / 2, top = r.top + r.Height() / 2 - h / 2;
    captionRect_ = {left, top, left + w, top + h};
}

bool Menu::FaceTakes(UiPoint point) {
    return FrameTakes(*this, record_.Image, 2, state_, point);
}

UifControl* Menu::HitTest(UiPoint point) {
    UiImageSize size;
    if (!visible_ || disabled_ || !Manager().Painter().ImageSize(record_.Image, 2, size))
        return nullptr;
    if (FaceTakes(point)) {
        if (toolTip_)
            toolTip_->UpdateHover(true, point);
        return this;
    }
    if (toolTip_)
        toolTip_->UpdateHover(false, point);
    // The bar keeps the mouse while it drags its dialog.
    return IsDragging() ? this : nullptr;
}

UifControl* Menu::HitTestQuiet(UiPoint point) {
    UiImageSize size;
    if (!visible_ || !Manager().Painter().ImageSize(record_.Image, 2, size))
        return nullptr;
    return FaceTakes(point) || IsDragging() ? this : nullptr;
}

bool Menu::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || !dialog_)
        return false;
    DialogManager& manager = Manager();
    if (!held) {
        if (dialog_->IsHeld() && !manager.Mouse().IsLeftButtonDown()) {
            dialog_->SetHeld(false);
            anchor_ = {-1, -1};
            manager.Mouse().ReleaseCursorClip();
        }
        return true;
    }
    if (toolTip_)
        toolTip_->UpdateHover(false, point);
    dialog_->SetHeld(true);
    if (!IsDragging()) {
        const UiRect d = dialog_->GetBounds();
        anchor_ = point;
        const UiPoint p = dialog_->GetPosition();
        const UiPoint g{anchor_.x - p.x, anchor_.y - p.y};
        const UiRect& w = manager.GetUiWorkRect();
        manager.Mouse().ClipCursor({w.left + g.x - d.left, w.top + g.y - d.top, w.right - (d.right - g.x),
                                    w.bottom - (d.bottom - g.y)});
        return true;
    }
    dialog_->MoveBy(point.x - anchor_.x, point.y - anchor_.y);
    anchor_ = point;
    return true;
}

bool Menu::FireHandler(UiHandler handler) {
    if (disabled_)
        return false;
    if (handler)
        handler(this);
    if (toolTip_)
        toolTip_->UpdateHover(false, {0, 0});
    if (!record_.OpenLayout.empty() && dialog_) {
        const std::string layout = record_.OpenLayout;
        UpdateInput({0, 0}, false);
        if (Manager().LoadLayout(layout))
            Manager().OpenDialog(layout);
    }
    return false;
}

void Menu::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    state_ = dialogActive_ ? 0 : 1;
    painter.DrawImageFrame(layer, record_.Image, 2, state_, record_.Rect, colour_);
    if (record_.Caption.empty())
        return;
    const int32_t h = painter.TextHeight(record_.Font);
    const uint32_t colour =
        ((dialogActive_ ? record_.Colour1 : record_.Colour4) & 0xFFFFFF) | (colour_ & 0xFF000000);
    const UiRect& r = record_.Rect;
    painter.DrawText(layer, record_.Font,
                     {r.left + record_.Value3 + 10, (r.top + r.bottom) / 2 + record_.Value4 - h / 2}, colour,
                     record_.Caption);
}
