#include "ui/widgets/user_view.h"

#include "ui/dialog_manager.h"

#include <algorithm>

bool ImageTakes(UiPainter& painter, const std::string& image, int32_t frame, const UiRect& rect,
                UiPoint point) {
    UiImageSize size;
    if (image.empty() || !painter.ImageSize(image, 1, size))
        return false;
    const UiRect placed{rect.left, rect.top, rect.left + size.frameWidth, rect.top + size.frameHeight};
    return (painter.ImagePixel(image, 1, frame, placed, point) >> 24) != 0 && rect.Contains(point);
}

namespace {

bool HasImage(UiPainter& painter, const std::string& image) {
    UiImageSize size;
    return !image.empty() && painter.ImageSize(image, 1, size);
}

} // namespace

void User::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
}

UifControl* User::HitTest(UiPoint point) {
    UiPainter& painter = Manager().Painter();
    if (visible_ && !disabled_ && HasImage(painter, record_.Image)) {
        if (ImageTakes(painter, record_.Image, state_, record_.Rect, point)) {
            if (toolTip_)
                toolTip_->UpdateHover(true, point);
            return this;
        }
        if (mouseActive_)
            return this;
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        return nullptr;
    }
    if (toolTip_)
        toolTip_->UpdateHover(!Manager().Snapshot().leftHeld && record_.Rect.Contains(point), point);
    return nullptr;
}

UifControl* User::HitTestQuiet(UiPoint point) {
    UiPainter& painter = Manager().Painter();
    if (!visible_ || !HasImage(painter, record_.Image))
        return nullptr;
    return ImageTakes(painter, record_.Image, state_, record_.Rect, point) || mouseActive_ ? this : nullptr;
}

bool User::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_) {
        if (held && toolTip_)
            toolTip_->UpdateHover(false, point);
        return false;
    }
    if (held) {
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        fire_ = true;
        wasPressed_ = true;
    } else if (HitTest(point)) {
        fire_ = wasPressed_;
        wasPressed_ = false;
    } else {
        fire_ = wasPressed_ = false;
    }
    return true;
}

void User::Draw(int32_t layer) {
    if (visible_ && drawHandler_)
        drawHandler_(LayerFor(layer));
}

void View::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
}

void View::SetBackgroundImageSized(std::string name) {
    record_.Image = std::move(name);
    UiImageSize size;
    if (dialog_ && Manager().Painter().ImageSize(record_.Image, 1, size)) {
        record_.Rect.right = record_.Rect.left + size.frameWidth;
        record_.Rect.bottom = record_.Rect.top + size.frameHeight;
    }
}

void View::SetImage(bool scaled, const UiRect& rect, std::string name, int32_t value) {
    overlayScaled_ = scaled;
    overlayImage_ = std::move(name);
    overlayValue_ = value;
    int32_t w = rect.Width(), h = rect.Height();
    const UiRect& r = record_.Rect;
    if (r.Width() < w && w != 0) {
        const float s = float(r.Width()) / float(w);
        w = int32_t(float(w) * s);
        h = int32_t(float(h) * s);
    }
    if (r.Height() < h && h != 0) {
        const float s = float(r.Height()) / float(h);
        w = int32_t(float(w) * s);
        h = int32_t(float(h) * s);
    }
    const int32_t cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    overlay_ = {cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
}

bool View::PixelTest(UiPoint point) {
    return ImageTakes(Manager().Painter(), record_.Image, state_, record_.Rect, point);
}

UifControl* View::HitTest(UiPoint point) {
    UiPainter& painter = Manager().Painter();
    const bool hasImage = HasImage(painter, record_.Image);
    if (!alwaysHitTested_ && (!visible_ || disabled_ || !hasImage)) {
        if (visible_ && disabled_ && hasImage && record_.Rect.Contains(point)) {
            Manager().SetUiClickTaken(true);
            Manager().SetUiClickedControl(this);
        }
        return nullptr;
    }
    const bool hit = PixelTest(point);
    if (toolTip_)
        toolTip_->UpdateHover(hit, point);
    return hit ? this : nullptr;
}

UifControl* View::HitTestQuiet(UiPoint point) {
    if (!alwaysHitTested_ && (!visible_ || !HasImage(Manager().Painter(), record_.Image)))
        return nullptr;
    return PixelTest(point) ? this : nullptr;
}

bool View::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_)
        return false;
    if (held) {
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        fire_ = false;
        wasPressed_ = true;
    } else {
        fire_ = HitTest(point) ? wasPressed_ : false;
        wasPressed_ = false;
    }
    return true;
}

void View::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    const uint32_t colour = colour_ & tint_;
    const UiRect& r = record_.Rect;
    UiImageSize size;
    if (!record_.Image.empty() && painter.ImageSize(record_.Image, 1, size)) {
        if (tileImage_ && size.frameWidth > 0 && size.frameHeight > 0 && size.frameWidth < r.Width() &&
            size.frameHeight < r.Height()) {
            for (int32_t y = r.top; y < r.bottom; y += size.frameHeight) {
                const int32_t th = std::min(size.frameHeight, r.bottom - y);
                for (int32_t x = r.left; x < r.right; x += size.frameWidth) {
                    const int32_t tw = std::min(size.frameWidth, r.right - x);
                    painter.DrawImageRegion(layer, record_.Image, 1, {x, y, x + tw, y + th}, {0, 0, tw, th},
                                            colour);
                }
            }
        } else {
            painter.DrawImageFrame(layer, record_.Image, 1, state_, r, colour);
        }
    }
    UiImageSize overlay;
    if (!overlayImage_.empty() && painter.ImageSize(overlayImage_, 1, overlay)) {
        const int32_t overlayLayer = overlayLayer_ != 0 ? overlayLayer_ : layer;
        if (overlayScaled_)
            painter.DrawImageFrame(overlayLayer, overlayImage_, 1, 0, overlay_, colour_);
        else
            painter.DrawImageFrame(overlayLayer, overlayImage_, 1, state_,
                                   {overlay_.left, overlay_.top, overlay_.left + overlay.frameWidth,
                                    overlay_.top + overlay.frameHeight},
                                   colour_);
    }
}
