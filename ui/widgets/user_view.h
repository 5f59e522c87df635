// Two plain widgets: "User", an area its owner draws (the image is only its
// hit mask; while mouse-active it keeps the mouse and fires every frame it
// is held), and "View", a background image with one further image fitted
// over it; a disabled view still swallows clicks on itself.
#pragma once

#include "ui/control.h"
#include "ui/ui_painter.h"

#include <functional>

class User : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog);
    void SetMouseActive(bool on) { mouseActive_ = on; }
    void SetDrawHandler(std::function<void(int32_t layer)> handler) { drawHandler_ = std::move(handler); }
    const std::string& GetImageName() const { return record_.Image; }
    void SetImageName(std::string name) { record_.Image = std::move(name); }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    void Draw(int32_t layer) override;
    void Enable() override {
        disabled_ = false;
        state_ = 0;
    }

private:
    bool mouseActive_ = false;
    int32_t state_ = 0;
    std::function<void(int32_t)> drawHandler_;
};

class View : public UifControl {
public:
    void Init(std::string className, std::string layoutName, Dialog* dialog);
    const std::string& GetBackgroundImage() const { return record_.Image; }
    void SetBackgroundImage(std::string name) { record_.Image = std::move(name); }
    // Also sizes the rectangle to the image, when it exists.
    void SetBackgroundImageSized(std::string name);
    void SetTint(uint32_t tint) { tint_ = tint; }
    uint32_t GetTint() const { return tint_; }
    // The overlay image, its rectangle fitted into the view and centred.
    void SetImage(bool scaled, const UiRect& rect, std::string name, int32_t value);
    void ClearImage() {
        overlay_ = {};
        overlayImage_.clear();
    }
    const UiRect& OverlayRect() const { return overlay_; }
    void SetAlwaysHitTested(bool on) { alwaysHitTested_ = on; }
    bool IsAlwaysHitTested() const { return alwaysHitTested_; }
    void SetImageLayer(int32_t layer) { overlayLayer_ = layer; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    void Draw(int32_t layer) override;
    void MoveBy(int32_t dx, int32_t dy) override {
        record_.Rect.Offset(dx, dy);
        overlay_.Offset(dx, dy);
    }
    void Enable() override {
        disabled_ = false;
        state_ = 0;
    }

private:
    bool PixelTest(UiPoint point);

    bool overlayScaled_ = false;
    bool alwaysHitTested_ = false;
    int32_t state_ = 0;
    UiRect overlay_;
    uint32_t tint_ = 0xFFFFFFFF;
    int32_t overlayValue_ = -1;
    std::string overlayImage_;
    int32_t overlayLayer_ = 0;
};

// The pixel test of the plain widgets: the image placed at the rectangle's
// top-left with its own size; true on a pixel with alpha inside the rectangle.
bool ImageTakes(UiPainter& painter, const std::string& image, int32_t frame, const UiRect& rect,
                UiPoint point);
