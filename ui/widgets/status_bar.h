// A gauge: a background image with a fill image whose length shows a value
// from 0 to 100 along the bar's long side. "StatusBarP" also shows the value
// as a caption ("40%"). Takes no clicks; its handler runs every frame.
#pragma once

#include "ui/control.h"

class StatusBar : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog);
    // Ignores values above 100; a negative value shows an empty bar.
    void SetPercent(int32_t value);
    void SetText(const std::string& text);
    const std::string& GetCaption() const { return caption_; }
    const UiRect& FillRect() const { return fill_; }
    bool IsVertical() const { return vertical_; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint) override { return nullptr; }
    bool UpdateInput(UiPoint point, bool held) override;
    bool FireHandler(UiHandler handler) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override;

private:
    void Layout();

    bool layoutPending_ = true;
    bool vertical_ = false;
    float scale_ = 0.0f;
    UiRect bar_;
    UiRect fill_;
    UiRect textRect_;
    std::string caption_;
};
