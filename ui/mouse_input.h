// The mouse input state: the window's mouse messages are recorded here and
// the interface polls them during the frame; the frame step resets the
// one-frame events. Also the cursor: the platform's own, or the engine's
// cursor image.
#pragma once

#include "engine/engine_services.h"
#include "ui/ui_types.h"

#include <cstdint>

// The platform's stock cursors that the interface shows.
enum class StockCursor {
    SizeNorthSouth,
    SizeWestEast,
    SizeNorthWestSouthEast,
    SizeNorthEastSouthWest,
    Arrow
};

// What the platform layer does for the cursor; a null host for tests.
class CursorHost {
public:
    virtual ~CursorHost() = default;
    virtual void SetStockCursor(StockCursor cursor) = 0;
    virtual void ShowSystemCursor(bool show) = 0;
    // The engine's cursor image (texture 0: none).
    virtual void SetCursorImage(const CursorImage& image) = 0;
    // Cursor record n of the interface images.
    virtual CursorImage CursorImageOf(int32_t n) = 0;
    // Keeps the mouse inside the rectangle; null frees it.
    virtual void ClipCursor(const UiRect* /*rect*/) {}
};

class MouseInput {
public:
    enum ButtonState : int32_t { kIdle = 0, kDown = 1, kReleased = 2 };
    // The key flag of a held Shift key.
    static constexpr uint32_t kShiftFlag = 0x04;
    static constexpr uint32_t kControlFlag = 0x08;
    // Horizontal distance of a tooltip from the platform's cursor.
    static constexpr int32_t kSystemCursorOffset = 20;

    void SetMousePos(int32_t x, int32_t y) { position_ = {x, y}; }
    void SetKeyFlags(uint32_t flags) { keyFlags_ = flags; }
    void SetLeftButtonDown() { left_ = kDown; }
    void SetLeftButtonReleased() { left_ = kReleased; }
    void SetRightButtonDown() { right_ = kDown; }
    void SetRightButtonReleased() { right_ = kReleased; }
    void SetDoubleClick() { doubleClick_ = true; }
    void SetWheelDelta(int32_t delta) { wheel_ = delta; }

    UiPoint GetMousePos() const { return position_; }
    uint32_t KeyFlags() const { return keyFlags_; }
    bool IsLeftButtonDown() const { return left_ == kDown; }
    bool IsLeftButtonReleased() const { return left_ == kReleased; }
    bool IsRightButtonDown() const { return right_ == kDown; }
    bool IsRightButtonReleased() const { return right_ == kReleased; }
    bool IsDoubleClick() const { return doubleClick_; }
    int32_t GetWheelDelta() const { return wheel_; }

    // The window's messages, as the main window records them: presses and
    // releases only inside the game's screen rectangle.
    enum class Button { Left, Right };
    void RecordMove(UiPoint at, uint32_t keyFlags);
    void RecordPress(Button button, UiPoint at, uint32_t keyFlags, const UiRect& screen);
    void RecordRelease(Button button, UiPoint at, uint32_t keyFlags, const UiRect& screen);
    void RecordDoubleClick(UiPoint at, uint32_t keyFlags, const UiRect& screen);
    void RecordWheel(int32_t delta) { wheel_ = delta; }

    // The per-frame reset: released buttons become idle; the double click,
    // key flags and wheel clear. Held buttons stay held.
    int32_t ConsumeMouseEvents();

    void SetCursorHost(CursorHost* host) { host_ = host; }
    // Shows shape n: stock cursors 1-9 while the platform's cursor is shown,
    // else the engine's cursor image n.
    bool SetCursorShape(int32_t n);
    int32_t CursorShape() const { return shape_; }
    // Switches between the platform's cursor and the engine's image.
    bool ToggleCursorVisible();
    bool IsCursorVisible() const { return cursorVisible_; }
    int32_t GetCursorOffset() const;
    void ClipCursor(const UiRect& rect) {
        if (host_)
            host_->ClipCursor(&rect);
    }
    void ReleaseCursorClip() {
        if (host_)
            host_->ClipCursor(nullptr);
    }

    // The program's mouse state.
    static MouseInput& Program();

private:
    uint32_t keyFlags_ = 0;
    int32_t wheel_ = 0;
    int32_t right_ = kIdle;
    int32_t left_ = kIdle;
    bool doubleClick_ = false;
    int32_t shape_ = 0;
    UiPoint position_;
    bool cursorVisible_ = true;
    CursorImage engineCursor_;
    CursorHost* host_ = nullptr;
};
