#include "ui/widgets/text.h"

#include "engine/asset_log.h"
#include "platform/file.h"
#include "ui/dialog_manager.h"

#include <filesystem>
#include <vector>

bool IsSafeTextFileName(std::string_view name) {
    if (name.empty() || name.find("..") != std::string_view::npos)
        return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

void Text::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    UiPainter& painter = Manager().Painter();
    if (!record_.Caption.empty()) {
        record_.Caption = ResolveTextId(record_.Caption);
        text_ = record_.Caption;
        textWidth_ = painter.TextWidth(record_.Font, record_.Caption);
        textHeight_ = painter.TextHeight(record_.Font);
    }
    if (!record_.Image2.empty()) {
        // The skin's text folder, joined rather than entered; the name is
        // from the layout file and may not leave it.
        const std::string& skin = Manager().GetUiSkinName();
        if (!IsSafeTextFileName(record_.Image2) || (!skin.empty() && !IsSafeTextFileName(skin))) {
            LogAssetProblem("text file \"%.80s\" of layout %s: not a name in the text folder",
                            record_.Image2.c_str(), layoutName_.c_str());
        } else {
            const std::string path = (skin.empty() ? std::string() : skin + "/") + "txt/" + record_.Image2;
            std::error_code error;
            const auto size = std::filesystem::file_size(path, error);
            std::string contents;
            if (!error && size <= kMaxTextFileSize && plat::ReadWholeFile(path, contents))
                text_ = contents.substr(0, contents.find('\0'));
        }
    }
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (record_.Value2 != 0)
        lineHeight_ = record_.Value2;
}

bool Text::HasImage() const {
    UiImageSize size;
    return !record_.Image.empty() && Manager().Painter().ImageSize(record_.Image, 1, size);
}

UifControl* Text::HitTest(UiPoint point) {
    const bool inside = record_.Rect.Contains(point);
    if (IsHover()) {
        const bool hit = visible_ && !disabled_ && inside;
        if (toolTip_)
            toolTip_->UpdateHover(hit, point);
        return hit ? this : nullptr;
    }
    if (toolTip_ && visible_) {
        toolTip_->UpdateHover(!Manager().Snapshot().leftHeld && inside, point);
        return nullptr;
    }
    return visible_ && !disabled_ && HasImage() && inside ? this : nullptr;
}

UifControl* Text::HitTestQuiet(UiPoint point) {
    if (!visible_ || !record_.Rect.Contains(point))
        return nullptr;
    return IsHover() || HasImage() ? this : nullptr;
}

bool Text::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_)
        return false;
    if (held) {
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        wasPressed_ = true;
        if (IsHover())
            state_ = HitTest(point) ? 1 : 0;
        return true;
    }
    if (IsHover()) {
        if (HitTest(point)) {
            state_ = 2;
            fire_ = wasPressed_;
            wasPressed_ = false;
        } else {
            state_ = 0;
            wasPressed_ = fire_ = false;
        }
    }
    return true;
}

void Text::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    nothingDrawn_ = true;
    if (HasImage())
        painter.DrawImageFrame(layer, record_.Image, 1, state_, record_.Rect, colour_);
    textWidth_ = painter.TextWidth(record_.Font, text_);
    textHeight_ = painter.TextHeight(record_.Font);
    const uint32_t colours[] = {record_.Colour1, record_.Colour2, record_.Colour3, record_.Colour4};
    const uint32_t colour = (colours[state_ & 3] & 0xFFFFFF) | (colour_ & 0xFF000000);
    if (text_.find("\\tc") != std::string::npos)
        DrawFormatted(layer, colour);
    else
        DrawPlain(layer, colour);
}

void Text::DrawPlain(int32_t layer, uint32_t colour) {
    UiPainter& painter = Manager().Painter();
    const UiRect& r = record_.Rect;
    const int32_t font = record_.Font;
    const int32_t margin = record_.Value3;
    const int32_t align = record_.Value1;
    const int32_t advance = lineHeight_ != 0 ? lineHeight_ : painter.TextHeight(font);
    const int32_t space = painter.TextWidth(font, " ");
    const std::string& punctuation = Manager().GetUiPunctuation();
    int32_t x = r.left + margin;
    int32_t y = r.top + record_.Value4;
    std::string previous;
    UiPoint previousAt;
    bool drewChunk = false;

    size_t p = 0;
    for (;;) {
        size_t sepAt = text_.find('\n', p);
        size_t sepLength = 1;
        if (sepAt == std::string::npos) {
            sepAt = text_.find("\\n", p);
            sepLength = 2;
        }
        const bool last = sepAt == std::string::npos;
        const std::string paragraph = text_.substr(p, last ? std::string::npos : sepAt - p);
        size_t o = 0;
        for (;;) {
            const int32_t whole = painter.TextWidth(font, paragraph);
            bool overflow = false;
            if (align == 0) {
                overflow = r.right <= x + whole;
            } else if (align == 1) {
                x = r.left + r.Width() / 2 - whole / 2;
                overflow = r.right <= x + whole;
            } else if (align == 2) {
                x = (r.right - margin) - whole;
                overflow = (r.right - margin) - r.left <= whole;
            }
            const size_t nextSpace = paragraph.find(' ', o);
            const bool lastChunk = !wrap_ || !overflow || nextSpace == std::string::npos;
            std::string chunk = paragraph.substr(o, lastChunk ? std::string::npos : nextSpace - o);
            const int32_t w = painter.TextWidth(font, chunk);
            if ((align == 0 || align == 1) && r.right <= x + w) {
                x = r.left + margin;
                y += advance;
            } else if (align == 2 && (r.right - margin) - r.left <= w) {
                x = (r.right - margin) - w;
                y += advance;
            }
            if (y >= r.bottom)
                return;
            if (last && align == 1)
                x = r.left + r.Width() / 2 - w / 2;
            else if (last && align == 2)
                x = (r.right - margin) - w;
            // A character that may not begin a line joins the word before it.
            if (!chunk.empty() && drewChunk && punctuation.find(chunk[0]) != std::string::npos) {
                previous += chunk[0];
                chunk.erase(0, 1);
                painter.DrawText(layer, font, previousAt, colour, previous);
            }
            if (!chunk.empty())
                painter.DrawText(layer, font, {x, y}, colour, chunk);
            drewChunk = true;
            previous = chunk;
            previousAt = {x, y};
            x += space + w;
            o += chunk.size() + 1;
            if (lastChunk || o > paragraph.size())
                break;
        }
        if (last)
            return;
        x = r.left + margin;
        y += advance;
        p = sepAt + sepLength;
    }
}

void Text::DrawFormatted(int32_t layer, uint32_t colour) {
    UiPainter& painter = Manager().Painter();
    const UiRect& r = record_.Rect;
    int32_t x = r.left + record_.Value3;
    int32_t y = r.top + record_.Value4;
    int32_t fontOverride = -1;
    bool centrePending = false;
    bool centreWaiting = false;
    bool fontNext = false;
    std::string run;

    auto flush = [&](bool lineFeeds) {
        if (run.empty())
            return;
        const int32_t font = fontOverride >= 0 ? fontOverride : record_.Font;
        bool hadLineFeeds = false;
        if (lineFeeds && run.find('\n') != std::string::npos) {
            std::erase(run, '\n');
            hadLineFeeds = true;
        }
        if (centrePending) {
            if (!run.empty() && run.back() == ' ')
                run.pop_back();
            x = (r.left + r.right) / 2 - painter.TextWidth(font, run) / 2;
            centrePending = false;
        }
        const int32_t height = painter.TextHeight(font);
        if (y + height >= r.top && y <= r.bottom) {
            painter.DrawText(layer, font, {x, y}, colour, run);
            nothingDrawn_ = false;
        }
        if (hadLineFeeds)
            y += height;
        run.clear();
    };

    size_t start = 0;
    while (start <= text_.size()) {
        size_t end = text_.find(' ', start);
        if (end == std::string::npos)
            end = text_.size();
        const std::string token = text_.substr(start, end - start);
        start = end + 1;
        if (fontNext) {
            fontNext = false;
            // The font is the token's last two characters, in decimal.
            const std::string digits = token.size() >= 2 ? token.substr(token.size() - 2) : token;
            int32_t value = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                ok = ok && c >= '0' && c <= '9';
                value = value * 10 + (c - '0');
            }
            if (ok)
                fontOverride = value;
            if (!centreWaiting)
                continue;
        }
        if (token.find("\\ft") != std::string::npos) {
            flush(false);
            fontNext = true;
        } else if (token.find("\\tl") != std::string::npos) {
        } else if (token.find("\\tc") != std::string::npos) {
            flush(true);
            centreWaiting = true;
        } else if (token.find("\\tr") != std::string::npos) {
        } else {
            if (centreWaiting) {
                x = r.left;
                centrePending = true;
                centreWaiting = false;
            }
            run += token + " ";
        }
        if (end == text_.size())
            break;
    }
    flush(false);
}
