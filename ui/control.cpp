#include "ui/control.h"

#include "data/text_tables.h"
#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/dialog_manager.h"

#include <charconv>

namespace {

// The number the text starts with (0 without digits), as a 32-bit number.
int32_t LeadingNumber(const std::string& text) {
    int32_t value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (std::from_chars(begin, end, value).ec != std::errc())
        value = 0;
    return value;
}

} // namespace

void UifControl::Attach(std::string className, std::string layoutName, Dialog* dialog) {
    className_ = std::move(className);
    layoutName_ = std::move(layoutName);
    dialog_ = dialog;
}

DialogManager& UifControl::Manager() const {
    return dialog_->Manager();
}

bool UifControl::FireHandler(UiHandler handler) {
    if (disabled_ || !fire_)
        return false;
    if (handler)
        handler(this);
    OpenLayoutAndHideToolTip();
    return true;
}

void UifControl::OpenLayoutAndHideToolTip() {
    if (!record_.OpenLayout.empty() && dialog_) {
        UpdateInput({0, 0}, false);
        // Copied: loading may change the widget's record.
        const std::string layout = record_.OpenLayout;
        DialogManager& manager = Manager();
        if (manager.LoadLayout(layout))
            manager.OpenDialog(layout);
    }
    if (toolTip_)
        toolTip_->Hide();
}

void UifControl::DrawToolTip(int32_t layer) {
    if (toolTip_ && toolTip_->GetState() == ToolTip::kShown)
        toolTip_->Draw(layer);
}

void UifControl::SetToolTipText(const std::string& text) {
    record_.ToolTipText = text;
    if (text.empty()) {
        toolTip_.reset();
        return;
    }
    if (!dialog_)
        return;
    if (!toolTip_)
        toolTip_ = std::make_unique<ToolTip>(Manager());
    toolTip_->SetText(this, text, &record_.ToolTipImage, record_.ToolTipValue);
}

bool UifControl::GetToolTipPlacement(UiPoint& corner, UiPoint& centre) const {
    if (!toolTip_) {
        corner = centre = {};
        return false;
    }
    toolTip_->GetPlacement(corner, centre);
    return true;
}

void UifControl::ResetToolTip() {
    if (toolTip_)
        toolTip_->UpdateHover(false, {0, 0});
}

void UifControl::UpdateRepeatStart() {
    if (repeating_ || repeatDelay_ == 0 || repeatInterval_ == 0)
        return;
    const uint32_t now = plat::Clock::Millis();
    if (repeatStamp_ == 0) {
        repeatStamp_ = now;
        return;
    }
    if (now - repeatStamp_ > repeatDelay_) {
        repeating_ = true;
        repeatStamp_ = 0;
    }
}

std::string ResolveTextId(const std::string& caption) {
    if (caption.empty() || caption[0] < '0' || caption[0] > '9')
        return {};
    return TextTables::GetIT1(LeadingNumber(caption));
}

std::string ResolveToolTipId(const std::string& text) {
    std::string resolved = TextTables::GetTT(LeadingNumber(text));
    return resolved.empty() ? "???" : resolved;
}
