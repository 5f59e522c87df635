#include "ui/widgets/button.h"

#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/dialog_manager.h"

#include <algorithm>

Button::Kind Button::KindOf(const std::string& k) {
    if (k == "Dialog")
        return Kind::Frame;
    if (k == "ButtonS")
        return Kind::PushSingle;
    if (k == "ButtonHI")
        return Kind::PushHover;
    if (k == "ButtonC" || k == "ButtonDialogMin")
        return Kind::Toggle;
    if (k == "ButtonCHI")
        return Kind::ToggleHover;
    if (k == "ButtonCheckBox")
        return Kind::CheckBox;
    if (k == "ButtonCheckBoxHI")
        return Kind::CheckBoxHover;
    if (k == "ButtonCheckBoxAuto")
        return Kind::AutoCheckBox;
    if (k == "ButtonCheckBoxAutoHI")
        return Kind::AutoCheckBoxHover;
    if (k == "ButtonClose")
        return Kind::Close;
    if (k == "ButtonMin")
        return Kind::Min;
    return Kind::Push;
}

bool Button::IsCheckBox() const {
    return kind_ == Kind::CheckBox || kind_ == Kind::CheckBoxHover || kind_ == Kind::AutoCheckBox ||
           kind_ == Kind::AutoCheckBoxHover;
}

void Button::Init(std::string className, std::string layoutName, Dialog* dialog, UifControl* partnerCombo) {
    Attach(std::move(className), std::move(layoutName), dialog);
    kind_ = KindOf(record_.Keyword);
    frames_ = (kind_ == Kind::Frame || kind_ == Kind::PushSingle) ? 1 : IsCheckBox() ? 8 : 4;
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        SetText(ResolveTextId(record_.Caption));
    combo_ = partnerCombo;
    for (uint32_t* colour : {&record_.Colour1, &record_.Colour2, &record_.Colour3, &record_.Colour4})
        *colour |= 0xFF000000u;
}

void Button::SetToolTipText(const std::string& text) {
    UifControl::SetToolTipText(text);
}

bool Button::FaceTakes(UiPoint point) {
    const UiRect& rect = record_.Rect;
    uint32_t pixel = 0;
    if (record_.Value2 != 0) {
        pixel = rect.Contains(point) ? 0xFFFFFFFF : 0;
    } else {
        UiImageSize size;
        UiPainter& painter = Manager().Painter();
        if (painter.ImageSize(record_.Image, frames_, size)) {
            const UiRect placed{rect.left + faceOffset_.x, rect.top + faceOffset_.y,
                                rect.left + faceOffset_.x + size.frameWidth,
                                rect.top + faceOffset_.y + size.frameHeight};
            pixel = painter.ImagePixel(record_.Image, frames_, state_, placed, point);
        }
    }
    return (pixel >> 24) != 0 && (rect.Contains(point) || InTextArea(point));
}

UifControl* Button::HitTest(UiPoint point) {
    const bool hasFace = !record_.Image.empty();
    if (visible_ && !disabled_ && (hasFace || toolTip_)) {
        if (!hasFace) {
            if (record_.Rect.Contains(point) || InTextArea(point)) {
                toolTip_->UpdateHover(true, point);
                return this;
            }
            toolTip_->UpdateHover(false, point);
            return nullptr;
        }
        if (FaceTakes(point)) {
            if (toolTip_)
                toolTip_->UpdateHover(true, point);
            if (dialog_ && dialog_->IsCovered(point, this))
                return nullptr;
            return this;
        }
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        return nullptr;
    }
    if (toolTip_ && visible_)
        toolTip_->UpdateHover(!Manager().Snapshot().leftHeld && record_.Rect.Contains(point), point);
    return nullptr;
}

UifControl* Button::HitTestQuiet(UiPoint point) {
    if (!visible_ || record_.Image.empty())
        return nullptr;
    return FaceTakes(point) ? this : nullptr;
}

bool Button::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_) {
        if (toolTip_) {
            if (!held)
                HitTest(point);
            else
                toolTip_->Hide();
        }
        return false;
    }
    if (held) {
        const bool on = HitTest(point) != nullptr;
        if (on) {
            UpdateRepeatStart();
            if (dialog_)
                dialog_->CloseOtherLists(this);
        }
        if (toolTip_)
            toolTip_->Hide();
        if (kind_ == Kind::CheckBox || kind_ == Kind::CheckBoxHover)
            state_ = checked_ ? 1 : 5;
        else if (kind_ == Kind::AutoCheckBox || kind_ == Kind::AutoCheckBoxHover)
            state_ = 5;
        else
            state_ = 1;
        fire_ = on && fireWhileHeld_;
        wasPressed_ = true;
        return true;
    }

    StopRepeat();
    if (combo_ && fire_)
        combo_->ToggleList();
    if (!HitTest(point)) {
        fire_ = false;
        wasPressed_ = false;
        if (IsCheckBox())
            state_ = checked_ ? 4 : 0;
        else if (!checked_)
            state_ = 0;
        return true;
    }
    fire_ = Manager().Snapshot().leftReleased;
    if (fire_)
        Manager().PlayUiSound(kUiSoundClick, nullptr);
    wasPressed_ = false;
    if (fire_) {
        if (kind_ == Kind::Close) {
            if (dialog_)
                Manager().CloseDialog(dialog_->GetName());
            return false;
        }
        if (kind_ == Kind::Min && dialog_)
            dialog_->Minimize();
        if ((kind_ == Kind::AutoCheckBox || kind_ == Kind::AutoCheckBoxHover) && dialog_)
            dialog_->UncheckRadioGroup(this);
    }
    if (state_ == 2)
        state_ = 0;
    else if (state_ == 6)
        state_ = 4;

    const bool toggles = kind_ == Kind::Toggle || kind_ == Kind::ToggleHover || IsCheckBox();
    if (kind_ == Kind::PushHover) {
        if (!textRect_.Contains(point))
            state_ = 2;
    } else if (toggles) {
        if (!fire_) {
            switch (kind_) {
            case Kind::Toggle:
                state_ = checked_ ? 1 : 0;
                break;
            case Kind::CheckBox:
            case Kind::AutoCheckBox:
                state_ = checked_ ? 4 : 0;
                break;
            case Kind::CheckBoxHover:
            case Kind::AutoCheckBoxHover:
                state_ = checked_ ? 6 : 2;
                break;
            case Kind::ToggleHover:
                state_ = checked_ ? 1 : 2;
                break;
            default:
                break;
            }
        } else if (!checked_) {
            if (kind_ == Kind::AutoCheckBoxHover && !textRect_.Contains(point))
                state_ = 6;
            checked_ = true;
        } else {
            if (kind_ == Kind::Toggle)
                state_ = 1;
            else if (kind_ == Kind::ToggleHover)
                state_ = 2;
            checked_ = kind_ == Kind::AutoCheckBox || kind_ == Kind::AutoCheckBoxHover;
        }
    } else {
        state_ = 0;
    }
    return true;
}

bool Button::FireHandler(UiHandler handler) {
    if (disabled_)
        return false;
    if (alwaysFire_ || repeating_)
        fire_ = true;
    if (!fire_)
        return false;
    if (repeating_) {
        const uint32_t now = plat::Clock::Millis() | 1u;
        if (repeatStamp_ == 0)
            repeatStamp_ = now;
        if (now - repeatStamp_ <= repeatInterval_)
            return true;
        repeatStamp_ = 0;
    }
    if (handler)
        handler(this);
    if (!dialog_)
        return true;
    Dialog* owner = Manager().FindDialog(className_);
    if (!owner)
        return true;
    OpenLayoutAndHideToolTip();
    return true;
}

void Button::MoveBy(int32_t dx, int32_t dy) {
    record_.Rect.Offset(dx, dy);
    if (!iconRect_.IsEmpty())
        iconRect_.Offset(dx, dy);
    // The caption's area goes with the button.
    textRect_.Offset(dx, dy);
}

void Button::Enable() {
    disabled_ = false;
    state_ = 0;
}

void Button::Disable() {
    disabled_ = true;
    state_ = IsCheckBox() && state_ != 0 ? 7 : 3;
}

void Button::SetText(const std::string& text) {
    caption_ = text;
    UiPainter& painter = Manager().Painter();
    textHeight_ = painter.TextHeight(record_.Font);
    textWidth_ = painter.TextWidth(record_.Font, caption_);
    const UiRect& r = record_.Rect;
    const int32_t cy = r.top + r.Height() / 2;
    if (IsCheckBox()) {
        textRect_ = {r.right + 5, cy - textHeight_ / 2, r.right + textWidth_ + 5, cy + textHeight_ / 2};
    } else {
        const int32_t cx = r.left + r.Width() / 2;
        textRect_ = {cx - textWidth_ / 2, cy - textHeight_ / 2, cx + textWidth_ / 2, cy + textHeight_ / 2};
    }
}

void Button::PlaceIcon(UiPoint at) {
    UiImageSize size;
    if (!dialog_ || !Manager().Painter().ImageSize(icon_, iconFrames_, size))
        return;
    const UiPoint origin = dialog_->GetPosition();
    iconRect_ = {origin.x + at.x, origin.y + at.y, origin.x + at.x + size.frameWidth,
                 origin.y + at.y + size.frameHeight};
    if (record_.Image.empty())
        record_.Rect = iconRect_;
}

uint32_t Button::GetTextColour(int32_t n) const {
    switch (n) {
    case 0:
        return record_.Colour1;
    case 1:
        return record_.Colour2;
    case 2:
        return record_.Colour3;
    case 3:
        return record_.Colour4;
    default:
        return 0;
    }
}

void Button::SetTextColour(int32_t n, uint32_t colour) {
    switch (n) {
    case 0:
        record_.Colour1 = colour;
        break;
    case 1:
        record_.Colour2 = colour;
        break;
    case 2:
        record_.Colour3 = colour;
        break;
    case 3:
        record_.Colour4 = colour;
        break;
    default:
        break;
    }
}

uint32_t Button::CaptionColour() const {
    switch (state_) {
    case 0:
        return record_.Colour1;
    case 1:
    case 5:
        return record_.Colour2;
    case 3:
        return record_.Colour4;
    default:
        return record_.Colour3;
    }
}

void Button::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    if ((kind_ == Kind::Close || kind_ == Kind::Min) && state_ != 1)
        state_ = dialogActive_ ? 0 : 2;
    const UiRect& r = record_.Rect;
    const uint32_t colour = colour_ & colourMask_;
    UiImageSize face;
    if (!record_.Image.empty() && painter.ImageSize(record_.Image, frames_, face)) {
        if (tileImage_ && face.frameWidth > 0 && face.frameHeight > 0 && face.frameWidth < r.Width() &&
            face.frameHeight < r.Height()) {
            for (int32_t y = r.top; y < r.bottom; y += face.frameHeight) {
                const int32_t h = std::min(face.frameHeight, r.bottom - y);
                for (int32_t x = r.left; x < r.right; x += face.frameWidth) {
                    const int32_t w = std::min(face.frameWidth, r.right - x);
                    painter.DrawImageRegion(layer, record_.Image, frames_, {x, y, x + w, y + h}, {0, 0, w, h},
                                            colour);
                }
            }
        } else {
            const int32_t left = r.left + faceOffset_.x, top = r.top + faceOffset_.y;
            const UiRect target = kind_ == Kind::Frame
                                      ? UiRect{left, top, left + face.frameWidth, top + face.frameHeight}
                                      : UiRect{left, top, left + r.Width(), top + r.Height()};
            painter.DrawImageFrame(layer, record_.Image, frames_, state_, target, colour);
        }
    }
    if (!icon_.empty() && iconShown_) {
        UiRect target = r;
        target.bottom = std::min(target.bottom, target.top + r.Width());
        painter.DrawImageFrame(layer, icon_, iconFrames_ < 1 ? 1 : iconFrames_, 0, target,
                               disabled_ ? colour_ & 0x40FFFFFF : colour_);
    }
    if (!caption_.empty()) {
        const int32_t width = painter.TextWidth(record_.Font, caption_);
        const int32_t height = painter.TextHeight(record_.Font);
        const int32_t top = r.top + r.Height() / 2 - height / 2;
        int32_t left = r.left + r.Width() / 2 - width / 2;
        if (record_.Rect2.left != 0)
            left = r.left + record_.Rect2.left + record_.Rect2.Width() + 5;
        if (record_.Value1 == 0)
            left = r.left;
        else if (record_.Value1 == 2)
            left = r.right - width;
        const int32_t x = record_.Value1 == 2 ? left - record_.Value3 : left + record_.Value3;
        painter.DrawText(layer, record_.Font, {x, top + record_.Value4}, CaptionColour() & colour_, caption_);
    }
}
