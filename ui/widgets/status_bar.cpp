#include "ui/widgets/status_bar.h"

#include "ui/dialog_manager.h"

#include <algorithm>

void StatusBar::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    vertical_ = record_.Rect.Width() < record_.Rect.Height();
    if (record_.Keyword == "StatusBarP")
        caption_ = "0%";
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        caption_ = ResolveTextId(record_.Caption);
}

void StatusBar::Layout() {
    layoutPending_ = false;
    bar_ = record_.Rect;
    scale_ = float(vertical_ ? bar_.Height() : bar_.Width()) / 100.0f;
    fill_ = vertical_ ? UiRect{bar_.left, bar_.top, bar_.right, bar_.top}
                      : UiRect{bar_.left, bar_.top, bar_.left, bar_.bottom};
}

void StatusBar::SetPercent(int32_t value) {
    if (layoutPending_)
        Layout();
    if (value > 100)
        return;
    value = std::max(value, 0);
    // The product in double precision, as the scale stands a little below
    // its decimal value: 113 pixels at 100 fill 112.
    const int32_t length = int32_t(double(value) * double(scale_));
    if (vertical_)
        fill_.bottom = std::min(fill_.top + length, bar_.bottom);
    else
        fill_.right = std::min(fill_.left + length, bar_.right);
    caption_ = std::to_string(value) + "%";
}

void StatusBar::SetText(const std::string& text) {
    caption_ = text;
    UiPainter& painter = Manager().Painter();
    const int32_t w = painter.TextWidth(record_.Font, text), h = painter.TextHeight(record_.Font);
    const UiRect& r = record_.Rect;
    const int32_t cx = r.left + r.Width() / 2, cy = r.top + r.Height() / 2;
    textRect_ = {cx - w / 2, cy - h / 2, cx - w / 2 + w, cy - h / 2 + h};
}

UifControl* StatusBar::HitTest(UiPoint point) {
    if (toolTip_) {
        UiImageSize size;
        UiPainter& painter = Manager().Painter();
        bool on = false;
        if (record_.Rect.Contains(point) && painter.ImageSize(record_.Image, 1, size)) {
            const UiRect placed{record_.Rect.left, record_.Rect.top, record_.Rect.left + size.frameWidth,
                                record_.Rect.top + size.frameHeight};
            on = (painter.ImagePixel(record_.Image, 1, 0, placed, point) >> 24) != 0;
        }
        toolTip_->UpdateHover(on, point);
    }
    return nullptr;
}

bool StatusBar::UpdateInput(UiPoint point, bool held) {
    if (layoutPending_)
        Layout();
    if (toolTip_ && held && record_.Rect.Contains(point))
        toolTip_->Hide();
    return visible_;
}

bool StatusBar::FireHandler(UiHandler handler) {
    if (handler)
        handler(this);
    return true;
}

void StatusBar::MoveBy(int32_t dx, int32_t dy) {
    record_.Rect.Offset(dx, dy);
    bar_.Offset(dx, dy);
    fill_.Offset(dx, dy);
}

void StatusBar::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    if (layoutPending_)
        Layout();
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    painter.DrawImageFrame(layer, record_.Image, 1, 0, bar_, colour_);
    const bool hasLength = vertical_ ? fill_.top != fill_.bottom : fill_.left != fill_.right;
    if (!record_.Image2.empty() && hasLength)
        painter.DrawImageFrame(layer, record_.Image2, 1, 0, fill_, colour_);
    if (record_.Keyword == "StatusBarP" && fill_.left != fill_.right) {
        const int32_t w = painter.TextWidth(record_.Font, caption_), h = painter.TextHeight(record_.Font);
        const UiPoint at{bar_.left + bar_.Width() / 2 - w / 2 + record_.Value3,
                         bar_.top + bar_.Height() / 2 - h / 2 + record_.Value4};
        painter.DrawText(layer, record_.Font, at, (record_.Colour1 & 0xFFFFFF) | (colour_ & 0xFF000000),
                         caption_);
    }
}
