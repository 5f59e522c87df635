#include "ui/widgets/edit.h"

#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/dialog_manager.h"

#include <algorithm>

namespace {

Edit* focusedEdit = nullptr;

// The interface texts use a single-byte code page: no byte leads a pair.
bool IsLeadByte(char) {
    return false;
}

} // namespace

Edit* Edit::Focused() {
    return focusedEdit;
}

Edit::~Edit() {
    if (focusedEdit == this)
        focusedEdit = nullptr;
}

void Edit::Init(std::string className, std::string layoutName, Dialog* dialog) {
    Attach(std::move(className), std::move(layoutName), dialog);
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        record_.Caption = ResolveTextId(record_.Caption);
}

void Edit::SetText(const std::string& text) {
    text_ = text;
    if (maxLength_ != 0 && text_.size() > size_t(maxLength_))
        text_.resize(size_t(maxLength_));
    record_.Caption = text;
    caretIndex_ = std::min(caretIndex_, int32_t(text_.size()));
    visibleText_ = text_;
    if (scrolling_)
        Refit();
    UiPainter& painter = Manager().Painter();
    textHeight_ = painter.TextHeight(record_.Font);
    const int32_t width = painter.TextWidth(record_.Font, text);
    const UiRect& r = record_.Rect;
    const int32_t cx = r.left + r.Width() / 2, cy = r.top + r.Height() / 2;
    textRect_ = {cx - width / 2, cy - textHeight_ / 2, cx + width / 2, cy + textHeight_ / 2};
}

void Edit::Clear() {
    text_.clear();
    state_ = 0;
    blinkStamp_ = 0;
    caretIndex_ = 0;
    if (focusedEdit == this)
        focusedEdit = nullptr;
    editing_ = false;
    replaceAll_ = false;
    // The scrolling window would otherwise still show the old text.
    visibleText_.clear();
    firstVisible_ = 0;
}

void Edit::PlaceCaret(int32_t textHeight, const std::string& text) {
    const UiRect& r = record_.Rect;
    UiPainter& painter = Manager().Painter();
    int32_t y = r.top + r.Height() / 2 - textHeight / 2;
    const int32_t w = text.empty() ? 0 : painter.TextWidth(record_.Font, text);
    UiImageSize caret;
    if (!record_.Image2.empty() && painter.ImageSize(record_.Image2, 1, caret))
        y = r.top + r.Height() / 2 - caret.frameHeight / 2;
    caret_ = {r.left + w + record_.Value3, y, r.left + w + record_.Value3, y};
    caretIndex_ = int32_t(text.size());
    if (scrolling_) {
        // The window shows the end of the text, where the caret stands.
        firstVisible_ = 0;
        while (firstVisible_ < caretIndex_ &&
               !Fits(text_.substr(size_t(firstVisible_), size_t(caretIndex_ - firstVisible_))))
            ++firstVisible_;
        Refit();
        CaretFromVisible();
    }
}

void Edit::SetScrolling(bool on) {
    scrolling_ = on;
    firstVisible_ = 0;
    visibleText_ = text_;
    if (scrolling_) {
        Refit();
        CaretFromVisible();
    }
}

bool Edit::Fits(const std::string& text) const {
    return Manager().Painter().TextWidth(record_.Font, text) + record_.Value3 < record_.Rect.Width();
}

void Edit::Refit() {
    firstVisible_ = std::clamp(firstVisible_, 0, int32_t(text_.size()));
    visibleText_ = text_.substr(size_t(firstVisible_));
    while (!visibleText_.empty() && !Fits(visibleText_))
        visibleText_.pop_back();
}

void Edit::CaretFromVisible() {
    caretIndex_ = std::clamp(caretIndex_, firstVisible_, firstVisible_ + int32_t(visibleText_.size()));
    const std::string before = visibleText_.substr(0, size_t(caretIndex_ - firstVisible_));
    caret_.left = record_.Rect.left + Manager().Painter().TextWidth(record_.Font, before) + record_.Value3;
    caret_.right = caret_.left;
}

void Edit::ScrollingKeyStep(uint32_t code, bool isChar, const std::string& character) {
    constexpr int32_t kStep = 8;
    const int32_t length = int32_t(text_.size());
    auto clearReplaceAll = [&] {
        if (replaceAll_) {
            text_.clear();
            caretIndex_ = firstVisible_ = 0;
            replaceAll_ = false;
        }
    };
    if (!isChar && code == kUiKeyLeft) {
        replaceAll_ = false;
        if (caretIndex_ > firstVisible_)
            --caretIndex_;
        else if (firstVisible_ > 0)
            firstVisible_ = std::max(0, firstVisible_ - kStep);
    } else if (!isChar && code == kUiKeyRight) {
        replaceAll_ = false;
        if (caretIndex_ < firstVisible_ + int32_t(visibleText_.size()))
            ++caretIndex_;
        else if (firstVisible_ + kStep < length)
            firstVisible_ += kStep;
        else
            firstVisible_ = length - caretIndex_ + firstVisible_;
    } else if (!isChar && code == kUiKeyDelete) {
        clearReplaceAll();
        if (caretIndex_ < int32_t(text_.size()))
            text_.erase(size_t(caretIndex_), 1);
    } else if (isChar && code == kUiCharBackspace) {
        clearReplaceAll();
        if (caretIndex_ > 0) {
            const int32_t at = caretIndex_ - 1;
            text_.erase(size_t(at), 1);
            if (at < firstVisible_)
                --firstVisible_;
            caretIndex_ = at;
            // At the window's left edge the window moves back a step.
            if (caretIndex_ <= firstVisible_ && caretIndex_ > 0)
                firstVisible_ = std::max(0, firstVisible_ - kStep);
        }
    } else if (!character.empty()) {
        const bool fits = Fits(visibleText_ + character);
        if (replaceAll_)
            clearReplaceAll();
        if (maxLength_ != 0 && text_.size() + character.size() > size_t(maxLength_))
            return;
        text_.insert(size_t(caretIndex_), character);
        caretIndex_ += int32_t(character.size());
        // A character that does not fit at the window's end pushes the
        // window on until the caret shows again.
        if (!fits) {
            while (firstVisible_ < caretIndex_ &&
                   !Fits(text_.substr(size_t(firstVisible_), size_t(caretIndex_ - firstVisible_))))
                ++firstVisible_;
        }
    }
    Refit();
    CaretFromVisible();
}

void Edit::TakeFocus() {
    state_ = 1;
    editing_ = true;
    replaceAll_ = true;
    std::string shown = text_;
    if (maxLength_ != 0 && shown.size() > size_t(maxLength_))
        shown.resize(size_t(maxLength_));
    PlaceCaret(textHeight_, shown);
    Manager().ClearUiKeyInput();
}

void Edit::LoseFocus() {
    if (keepFocus_)
        return;
    state_ = 0;
    if (focusedEdit == this)
        focusedEdit = nullptr;
    editing_ = false;
    replaceAll_ = false;
    blinkStamp_ = 0;
    if (!noFocusLossHandler_ && dialog_) {
        if (UiHandler handler = Manager().GetHandlerMap().Find(className_, record_.Handler))
            handler(nullptr);
    }
}

bool Edit::FaceTakes(UiPoint point) {
    UiPainter& painter = Manager().Painter();
    UiImageSize size;
    if (record_.Image.empty() || !painter.ImageSize(record_.Image, 4, size))
        return false;
    const UiRect& r = record_.Rect;
    const UiRect placed{r.left, r.top, r.left + size.frameWidth, r.top + size.frameHeight};
    return (painter.ImagePixel(record_.Image, 4, state_, placed, point) >> 24) != 0 && r.Contains(point);
}

UifControl* Edit::HitTest(UiPoint point) {
    UiImageSize size;
    if (!visible_ || disabled_ || record_.Image.empty() ||
        !Manager().Painter().ImageSize(record_.Image, 4, size))
        return nullptr;
    const bool hit = FaceTakes(point);
    if (toolTip_)
        toolTip_->UpdateHover(hit, point);
    return hit ? this : nullptr;
}

UifControl* Edit::HitTestQuiet(UiPoint point) {
    return visible_ && FaceTakes(point) ? this : nullptr;
}

bool Edit::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_)
        return false;
    if (held) {
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        fire_ = false;
        wasPressed_ = true;
        return true;
    }
    if (editing_) {
        // The click that took the focus has fired once; a focused edit
        // under a resting mouse does not fire again every frame.
        fire_ = false;
        KeyStep();
        return true;
    }
    if (!HitTest(point)) {
        state_ = 0;
        fire_ = wasPressed_ = false;
        return true;
    }
    fire_ = wasPressed_;
    wasPressed_ = false;
    if (record_.Keyword == "EditHI")
        state_ = 2;
    if (fire_) {
        state_ = 1;
        editing_ = true;
        replaceAll_ = true;
        if (focusedEdit && focusedEdit != this)
            focusedEdit->LoseFocus();
        focusedEdit = this;
        textHeight_ = 16;
        PlaceCaret(16, text_);
        Manager().ClearUiKeyInput();
    }
    return true;
}

int32_t Edit::CharLengthAt(size_t i) const {
    return i + 1 < text_.size() && IsLeadByte(text_[i]) ? 2 : 1;
}

int32_t Edit::PreviousCharLength() const {
    int32_t length = 0;
    for (size_t i = 0; i < size_t(caretIndex_);) {
        length = CharLengthAt(i);
        i += size_t(length);
    }
    return length;
}

void Edit::RunHandler() {
    if (UiHandler handler = Manager().GetHandlerMap().Find(className_, record_.Handler))
        handler(nullptr);
}

void Edit::KeyStep() {
    DialogManager& manager = Manager();
    UiPainter& painter = manager.Painter();
    const uint32_t now = plat::Clock::Millis() | 1u;
    if (blinkStamp_ == 0)
        blinkStamp_ = now;
    if (now - blinkStamp_ > kBlinkMs) {
        caretVisible_ = !caretVisible_;
        blinkStamp_ = 0;
    }
    // The text may have been replaced since the caret was placed.
    caretIndex_ = std::clamp(caretIndex_, 0, int32_t(text_.size()));
    const uint64_t input = manager.GetUiKeyInput();
    const uint32_t code = uint32_t(input);
    const uint32_t second = uint32_t(input >> 32);
    const bool isChar = (second & 0xFFFF) == kUiKeyKindCharacter;
    const int32_t font = record_.Font;
    const UiRect& r = record_.Rect;
    auto clearReplaceAll = [&] {
        if (replaceAll_) {
            text_.clear();
            caret_.left = caret_.right = r.left + record_.Value3;
            caretIndex_ = 0;
            replaceAll_ = false;
        }
    };

    if (scrolling_ && !(isChar && code == kUiKeyEnter)) {
        std::string character;
        if (isChar && code >= 0x20 && code != 0x7F && code <= 0xFF && !(second & kUiKeyDoubleByte))
            character += char(code);
        if (isChar && code != kUiCharBackspace && character.empty())
            return; // double-byte characters are not typed in this mode
        if (!isChar && code != kUiKeyLeft && code != kUiKeyRight && code != kUiKeyDelete)
            return;
        ScrollingKeyStep(code, isChar, character);
        return;
    }

    if (!isChar && code == kUiKeyLeft) {
        replaceAll_ = false;
        if (caretIndex_ > 0) {
            const int32_t n = PreviousCharLength();
            caret_.left -= painter.TextWidth(font, text_.substr(size_t(caretIndex_ - n), size_t(n)));
            caretIndex_ -= n;
        }
    } else if (!isChar && code == kUiKeyRight) {
        replaceAll_ = false;
        if (caretIndex_ < int32_t(text_.size())) {
            const int32_t n = CharLengthAt(size_t(caretIndex_));
            caret_.left += painter.TextWidth(font, text_.substr(size_t(caretIndex_), size_t(n)));
            caretIndex_ += n;
        }
    } else if (!isChar && code == kUiKeyDelete) {
        clearReplaceAll();
        if (caretIndex_ < int32_t(text_.size()))
            text_.erase(size_t(caretIndex_), size_t(CharLengthAt(size_t(caretIndex_))));
    } else if (isChar && code == kUiCharBackspace) {
        clearReplaceAll();
        if (!text_.empty() && caretIndex_ > 0) {
            const int32_t n = PreviousCharLength();
            caret_.left -= painter.TextWidth(font, text_.substr(size_t(caretIndex_ - n), size_t(n)));
            text_.erase(size_t(caretIndex_ - n), size_t(n));
            caretIndex_ -= n;
        }
    } else if (isChar && code == kUiKeyEnter) {
        state_ = 0;
        blinkStamp_ = 0;
        editing_ = false;
        replaceAll_ = false;
        if (focusedEdit == this)
            focusedEdit = nullptr;
        enterHandlerRunning_ = true;
        RunHandler();
        enterHandlerRunning_ = false;
        if (dialog_ && !dialog_->IsActive()) {
            manager.SetUiInputConsumed();
            return;
        }
    } else if (isChar && code >= 0x20 && code != 0x7F) {
        std::string character;
        if (second & kUiKeyDoubleByte) {
            character += char((code >> 8) & 0xFF);
            character += char(code & 0xFF);
        } else if (code <= 0xFF) {
            character += char(code);
        }
        if (!character.empty()) {
            const std::string measured = text_;
            bool taken = false;
            if (replaceAll_) {
                clearReplaceAll();
                taken = true;
            } else {
                taken =
                    painter.TextWidth(font, measured) + painter.TextWidth(font, character) + record_.Value3 <
                    r.Width();
            }
            if (taken && maxLength_ != 0 && text_.size() + character.size() > size_t(maxLength_))
                taken = false;
            if (taken) {
                text_.insert(size_t(caretIndex_), character);
                caret_.left += painter.TextWidth(font, character);
                caretIndex_ += int32_t(character.size());
            }
        }
    }
    caret_.right = caret_.left;
}

void Edit::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    painter.DrawImageFrame(layer, record_.Image, 4, state_, record_.Rect, colour_);
    UiImageSize caret;
    if (editing_ && caretVisible_ && !record_.Image2.empty() && painter.ImageSize(record_.Image2, 1, caret))
        painter.DrawImageFrame(
            layer, record_.Image2, 1, 0,
            {caret_.left, caret_.top, caret_.left + caret.frameWidth, caret_.top + caret.frameHeight},
            colour_);
    textHeight_ = painter.TextHeight(record_.Font);
    uint32_t colour = ((editing_ ? record_.Colour2 : record_.Colour1) & 0xFFFFFF) | (colour_ & 0xFF000000);
    std::string shown = scrolling_ ? visibleText_ : text_;
    if (!scrolling_ && maxLength_ != 0 && shown.size() > size_t(maxLength_))
        shown.resize(size_t(maxLength_));
    const UiRect& r = record_.Rect;
    const int32_t x = r.left + record_.Value3;
    const int32_t y = r.top + record_.Value4 + r.Height() / 2 - textHeight_ / 2;
    if (replaceAll_) {
        painter.FillRect(layer,
                         {x, y, x + painter.TextWidth(record_.Font, shown),
                          r.top + record_.Value4 + r.Height() / 2 + textHeight_ / 2},
                         painter.FontColour(highlight_));
        colour &= 0xFF000000;
    }
    painter.DrawText(layer, record_.Font, {x, y}, colour, shown);
}
