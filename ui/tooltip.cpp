#include "ui/tooltip.h"

#include "platform/clock.h"
#include "ui/control.h"
#include "ui/dialog_manager.h"

#include <charconv>
#include <vector>

namespace {

bool IsDigitsOnly(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The lines of a text: split at line feeds, the last running to the end;
// an empty text has none.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

bool ParseFontSwitch(std::string_view line, int32_t& font, std::string_view& rest) {
    constexpr std::string_view kStart = "\font(";
    if (line.substr(0, kStart.size()) != kStart)
        return false;
    const size_t close = line.find(')', kStart.size());
    if (close == std::string_view::npos)
        return false;
    const std::string_view inside = line.substr(kStart.size(), close - kStart.size());
    const size_t comma = inside.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 >= inside.size())
        return false;
    int32_t value = 0;
    const std::string_view number = inside.substr(0, comma);
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || ptr != number.data() + number.size())
        return false;
    font = value;
    rest = line.substr(close + 1);
    return true;
}

void ToolTip::SetText(UifControl* owner, const std::string& text, const std::string* image,
                      uint32_t textColour) {
    owner_ = owner;
    if (image)
        image_ = *image;
    LayoutText(text);
    textColour_ = textColour;
}

ToolTip::Layout ToolTip::Measure(const std::string& text, int32_t& font, bool withSwitches) const {
    UiPainter& painter = manager_.Painter();
    Layout layout;
    layout.textWidth = painter.TextWidth(font, text);
    layout.lineHeight = painter.TextHeight(font);
    int32_t firstSwitched = -1;
    for (std::string_view line : SplitLines(text)) {
        int32_t lineFont = font;
        std::string_view rest;
        if (withSwitches && ParseFontSwitch(line, lineFont, rest)) {
            line = rest;
            font = lineFont;
            if (firstSwitched < 0)
                firstSwitched = lineFont;
        }
        const int32_t width = painter.TextWidth(font, line);
        layout.widest = std::max(layout.widest, width);
        layout.columns = std::max(layout.columns, width);
        layout.totalHeight += painter.TextHeight(font);
        ++layout.rows;
        ++layout.lines;
    }
    if (firstSwitched >= 0)
        font = firstSwitched;
    if (layout.columns > 0)
        layout.columns = (layout.columns + 2) / kCell;
    if (layout.rows > 1) {
        int32_t rows = layout.lineHeight * layout.rows / kCell;
        if (withSwitches && layout.totalHeight != 0)
            rows = layout.totalHeight / kCell;
        layout.rows = std::max(rows - 1, 0);
    }
    return layout;
}

void ToolTip::LayoutText(const std::string& text) {
    text_ = text;
    int32_t font = font_;
    const Layout layout = Measure(text, font, false);
    columns_ = layout.columns;
    rows_ = layout.rows;
    lineCount_ = layout.lines;
    textWidth_ = layout.textWidth;
    lineHeight_ = layout.lineHeight;
}

void ToolTip::UpdateHover(bool hovered, UiPoint point) {
    if (hovered && manager_.Mouse().IsLeftButtonDown())
        return;
    if (!hovered) {
        Hide();
        return;
    }
    if (state_ == kShown) {
        Position(point);
        return;
    }
    // Zero marks no wait running, so a wait never starts at time 0.
    const uint32_t now = plat::Clock::Millis() | 1u;
    if (hoverStamp_ == 0)
        hoverStamp_ = now;
    if (now - hoverStamp_ <= delay_)
        return;
    Position(point);
    hoverStamp_ = 0;
    state_ = kShown;
}

void ToolTip::Hide() {
    state_ = kHidden;
    hoverStamp_ = 0;
}

void ToolTip::Position(UiPoint point) {
    const UiRect& screen = manager_.GetUiScreenRect();
    const int32_t width = columns_ * kCell + 2 * kCell;
    const int32_t height = rows_ * kCell + 2 * kCell;
    const int32_t top = point.y + 20 <= screen.Height() - height ? point.y + 20 : point.y - height;
    const int32_t offset = manager_.Mouse().GetCursorOffset();
    const int32_t left =
        point.x + offset <= screen.Width() - width ? point.x + offset : screen.Width() - width;
    box_ = {left, top, left + width, top + height};
}

void ToolTip::GetPlacement(UiPoint& corner, UiPoint& centre) const {
    corner = {box_.left, box_.top};
    centre = {box_.left + box_.Width() / 2 - textWidth_ / 2, box_.top + box_.Height() / 2 - lineHeight_ / 2};
}

void ToolTip::Draw(int32_t layer) {
    if (state_ != kShown || text_.empty())
        return;
    UiPainter& painter = manager_.Painter();
    const std::string text = IsDigitsOnly(text_) ? ResolveToolTipId(text_) : text_;
    int32_t font = font_;
    const Layout layout = Measure(text, font, true);
    columns_ = layout.columns;
    rows_ = layout.rows;
    lineCount_ = layout.lines;
    textWidth_ = layout.textWidth;
    lineHeight_ = layout.lineHeight;
    const bool systemFonts = painter.UsesSystemFonts();
    const int32_t totalHeight = layout.totalHeight + (systemFonts ? 6 : 0);
    const uint32_t colour = owner_ ? owner_->GetColour() : 0xFFFFFFFF;

    if (!image_.empty()) {
        UiImageSize cell;
        if (painter.ImageSize(image_, 9, cell)) {
            int32_t y = box_.top;
            auto row = [&](int32_t first) {
                int32_t x = box_.left;
                painter.DrawImageFrame(layer, image_, 9, first,
                                       {x, y, x + cell.frameWidth, y + cell.frameHeight}, colour);
                x += kCell;
                for (int32_t c = 0; c < columns_; ++c, x += kCell)
                    painter.DrawImageFrame(layer, image_, 9, first + 1,
                                           {x, y, x + cell.frameWidth, y + cell.frameHeight}, colour);
                painter.DrawImageFrame(layer, image_, 9, first + 2,
                                       {x, y, x + cell.frameWidth, y + cell.frameHeight}, colour);
                y += kCell;
            };
            row(0);
            for (int32_t r = 0; r < rows_; ++r)
                row(3);
            row(6);
        }
    }

    const int32_t blockWidth = layout.widest;
    const int32_t blockHeight = totalHeight != 0 ? totalHeight : layout.lines * layout.lineHeight;
    const int32_t startX = box_.left + box_.Width() / 2 - blockWidth / 2;
    int32_t y = box_.top + box_.Height() / 2 - blockHeight / 2 - 1 + (systemFonts ? 4 : 0);
    const uint32_t textColour = (textColour_ & 0xFFFFFF) | (colour & 0xFF000000);
    int32_t lineFont = font_;
    for (std::string_view line : SplitLines(text)) {
        std::string_view rest;
        if (ParseFontSwitch(line, lineFont, rest))
            line = rest;
        painter.DrawText(layer, lineFont, {startX, y}, textColour, line);
        y += painter.TextHeight(lineFont);
    }
    font_ = font;
}
