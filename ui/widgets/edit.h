// The one-line text entry: a click takes the keyboard focus (one edit at a
// time); while focused it reads the frame's key input, edits its text at a
// blinking caret and runs its handler on Enter or when it loses the focus.
// The first character typed after taking the focus replaces the text.
#pragma once

#include "ui/control.h"

class Edit : public UifControl {
public:
    static constexpr uint32_t kBlinkMs = 350;

    ~Edit() override;
    void Init(std::string className, std::string layoutName, Dialog* dialog);

    // Stores the text, cut to the maximum length; the caret stays where it
    // was, within the text.
    void SetText(const std::string& text);
    const std::string& GetText() const { return text_; }
    void SetMaxLength(int32_t bytes) { maxLength_ = bytes < 0 ? 0 : bytes; }
    int32_t GetMaxLength() const { return maxLength_; }
    void Clear();
    bool IsEditing() const { return editing_; }
    void TakeFocus();
    void LoseFocus();
    bool IsRunningEnterHandler() const { return enterHandlerRunning_; }
    void SetNoFocusLossHandler(bool on) { noFocusLossHandler_ = on; }
    void SetKeepFocus(bool on) { keepFocus_ = on; }
    // Scrolling mode: the edit shows a window of the text that moves
    // sideways with the caret, so that a text wider than the box can be
    // typed (single-byte characters).
    void SetScrolling(bool on);
    bool IsScrolling() const { return scrolling_; }
    const std::string& GetVisibleText() const { return visibleText_; }
    int32_t GetFirstVisible() const { return firstVisible_; }
    void ShowCaret() { caretVisible_ = true; }
    void HideCaret() { caretVisible_ = false; }
    bool IsCaretVisible() const { return caretVisible_; }
    int32_t CaretIndex() const { return caretIndex_; }
    UiPoint CaretPosition() const { return {caret_.left, caret_.top}; }
    bool IsReplacingAll() const { return replaceAll_; }
    int32_t GetState() const { return state_; }
    void SetHighlightColourIndex(int32_t index) { highlight_ = index; }
    const UiRect& GetTextRect() const { return textRect_; }

    // The edit that holds the keyboard focus, null when none.
    static Edit* Focused();

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override {
        record_.Rect.Offset(dx, dy);
        caret_.Offset(dx, dy);
    }
    void Enable() override {
        disabled_ = false;
        state_ = 0;
    }
    void Disable() override {
        disabled_ = true;
        state_ = 3;
    }

private:
    bool FaceTakes(UiPoint point);
    void PlaceCaret(int32_t textHeight, const std::string& text);
    void KeyStep();
    // The scrolling mode's key step for the key or character.
    void ScrollingKeyStep(uint32_t code, bool isChar, const std::string& character);
    // The visible text: the text from the first visible byte on, cut where
    // it no longer fits the box.
    void Refit();
    // The caret's x from its place in the visible text, the caret kept in
    // the window.
    void CaretFromVisible();
    bool Fits(const std::string& text) const;
    void RunHandler();
    // The length of the character at byte i (1; 2 for a lead byte).
    int32_t CharLengthAt(size_t i) const;
    int32_t PreviousCharLength() const;

    int32_t state_ = 0;
    int32_t maxLength_ = 0;
    int32_t textHeight_ = 0;
    bool caretVisible_ = false;
    UiRect caret_;
    int32_t caretIndex_ = 0;
    bool editing_ = false;
    bool replaceAll_ = false;
    bool keepFocus_ = false;
    bool enterHandlerRunning_ = false;
    bool noFocusLossHandler_ = false;
    UiRect textRect_;
    int32_t highlight_ = 1;
    std::string text_;
    uint32_t blinkStamp_ = 0;
    bool scrolling_ = false;
    int32_t firstVisible_ = 0;
    std::string visibleText_;
};

// The second word of the key input: what the key word holds.
inline constexpr uint32_t kUiKeyKindKey = 0;
inline constexpr uint32_t kUiKeyKindCharacter = 1;
// Set with a character: the key word holds a lead byte (bits 8-15) and a
// trail byte (bits 0-7).
inline constexpr uint32_t kUiKeyDoubleByte = 0x10000;
inline constexpr uint32_t kUiCharBackspace = 8;
