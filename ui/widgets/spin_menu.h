// Two small widgets: the spin, a slider whose knob snaps to whole steps
// along its track, and the menu, a dialog's title bar that drags the
// dialog, keeping it inside the work area.
#pragma once

#include "ui/control.h"

class Spin : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog);
    int32_t GetValue() const { return value_; }
    void SetValue(int32_t value);
    int32_t GetTrackLength() const;
    int32_t GetStep() const { return step_; }
    void SetStep(int32_t step) { step_ = step; }
    const UiRect& KnobRect() const { return knob_; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override {
        record_.Rect.Offset(dx, dy);
        if (!knob_.IsEmpty())
            knob_.Offset(dx, dy);
    }
    void Enable() override {
        disabled_ = false;
        trackFrame_ = knobFrame_ = 0;
    }
    void Disable() override {
        disabled_ = true;
        trackFrame_ = 1;
        knobFrame_ = 3;
    }

private:
    void PlaceKnob();
    bool InZone(UiPoint point) const;
    void DragStep(UiPoint point);
    // The value of the knob where it stands; 0 for a step of 0.
    void ValueFromKnob(int32_t offset);
    void SnapKnob();

    bool vertical_ = false;
    bool dragging_ = false;
    bool needsPlacing_ = true;
    bool grabbed_ = false;
    bool clicked_ = false;
    int32_t value_ = 0;
    int32_t step_ = 0;
    UiRect knob_;
    int32_t trackFrame_ = 0;
    int32_t knobFrame_ = 0;
};

class Menu : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog);
    void SetCaption(const std::string& caption);
    const std::string& GetCaption() const { return record_.Caption; }
    bool IsDragging() const { return !(anchor_ == UiPoint{-1, -1}); }
    const UiRect& GetCaptionRect() const { return captionRect_; }
    void SetCaptionRect(const UiRect& rect) { captionRect_ = rect; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;

private:
    bool FaceTakes(UiPoint point);

    int32_t state_ = 0;
    UiRect captionRect_;
    UiPoint anchor_{-1, -1};
};
