// Buttons and check boxes: every layout line whose keyword contains
// "Button", and the "Dialog" line, whose button is the dialog's frame. The
// exact keyword chooses the kind: push, toggle, check box, automatic check
// box (radio group), close and minimise buttons, with or without hover look.
#pragma once

#include "ui/control.h"

#include <string>

class Button : public UifControl {
public:
    enum class Kind {
        Frame,       // "Dialog"
        Push,        // "Button" and any other keyword with "Button"
        PushSingle,  // "ButtonS"
        PushHover,   // "ButtonHI"
        Toggle,      // "ButtonC", "ButtonDialogMin"
        ToggleHover, // "ButtonCHI"
        CheckBox,
        CheckBoxHover,
        AutoCheckBox,
        AutoCheckBoxHover,
        Close, // "ButtonClose"
        Min,   // "ButtonMin"
    };
    static Kind KindOf(const std::string& keyword);

    // Names, frame count, tooltip, caption text and opaque caption colours;
    // the partner combo box (null when none) toggles its list on a click.
    void Init(std::string className, std::string layoutName, Dialog* dialog, UifControl* partnerCombo);

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override;
    void Enable() override;
    void Disable() override;
    void SetToolTipText(const std::string& text) override;

    Kind GetKind() const { return kind_; }
    bool IsChecked() const { return checked_; }
    void SetChecked(bool checked) {
        checked_ = checked;
        state_ = checked ? 1 : 0;
    }
    void Check() { SetChecked(true); }
    void Uncheck() { SetChecked(false); }
    void CheckQuiet() {
        checked_ = true;
        state_ = 4;
    }
    int32_t GetState() const { return state_; }
    void SetState(int32_t state) { state_ = state; }
    void SetFireWhileHeld(bool on) { fireWhileHeld_ = on; }
    void SetText(const std::string& text);
    const std::string& GetCaption() const { return caption_; }
    void SetIcon(std::string name, int32_t frames) {
        icon_ = std::move(name);
        iconFrames_ = frames;
    }
    void PlaceIcon(UiPoint at);
    void ShowIcon() { iconShown_ = true; }
    void HideIcon() { iconShown_ = false; }
    const std::string& GetFaceImage() const { return record_.Image; }
    void SetFaceImage(std::string name) { record_.Image = std::move(name); }
    const std::string& GetIconImage() const { return icon_; }
    const UiRect& GetTextRect() const { return textRect_; }
    void SetTextRect(const UiRect& rect) { textRect_ = rect; }
    uint32_t GetColourMask() const { return colourMask_; }
    void SetColourMask(uint32_t mask) { colourMask_ = mask; }
    // Caption colour n (0 to 3); 0 for another n.
    uint32_t GetTextColour(int32_t n) const;
    void SetTextColour(int32_t n, uint32_t colour);
    UiPoint GetFaceOffset() const { return faceOffset_; }
    void SetFaceOffset(UiPoint offset) { faceOffset_ = offset; }
    int32_t GetUserValue() const { return record_.UserValue; }
    void SetUserValue(int32_t value) { record_.UserValue = value; }
    int32_t FrameCount() const { return frames_; }
    // A word kept for the dialogs; the button does not read it.
    int32_t GetSpare() const { return spare_; }
    void SetSpare(int32_t value) { spare_ = value; }

private:
    bool IsCheckBox() const;
    bool HasHoverLook() const;
    // The face pixel test; ignores the tooltip.
    bool FaceTakes(UiPoint point);
    bool InTextArea(UiPoint point) const { return !caption_.empty() && textRect_.Contains(point); }
    uint32_t CaptionColour() const;

    Kind kind_ = Kind::Push;
    bool checked_ = false;
    bool fireWhileHeld_ = false;
    int32_t state_ = 0;
    int32_t frames_ = 4;
    int32_t spare_ = 0;
    uint32_t colourMask_ = 0xFFFFFFFF;
    UiPoint faceOffset_;
    int32_t textWidth_ = 0;
    int32_t textHeight_ = 0;
    UiRect iconRect_;
    bool iconShown_ = true;
    UiRect textRect_;
    UifControl* combo_ = nullptr;
    std::string icon_;
    int32_t iconFrames_ = 0;
    std::string caption_;
};
