// The program's window with its OpenGL context, and the input events it
// delivers as plain records. The picture keeps a logical size (the display
// mode); mouse positions are mapped back into it however the window is
// scaled.
#pragma once

#include "platform/render_device.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

struct SDL_Window;

namespace plat {

struct InputEvent {
    enum class Type : uint8_t {
        None,
        Quit,
        KeyDown,
        KeyUp,
        Text,
        MouseMove,
        MouseDown,
        MouseUp,
        Wheel,
        Focus
    };
    Type type = Type::None;
    int32_t x = 0, y = 0;   // logical position for mouse events
    int32_t button = 0;     // 1 left, 2 middle, 3 right
    int32_t clicks = 0;     // 2 for the press of a double click
    int32_t key = 0;        // virtual-key code (letters and digits as their ASCII capitals)
    bool repeat = false;    // auto-repeated key
    uint16_t modifiers = 0; // kShift | kCtrl | kAlt
    int32_t wheel = 0;      // wheel steps, positive away from the user
    uint32_t text = 0;      // a typed character (Unicode) for Text events
    bool focused = false;   // for Focus events
};

inline constexpr uint16_t kShift = 1, kCtrl = 2, kAlt = 4;

// Virtual-key codes of the keys the program names.
namespace vk {
inline constexpr int32_t kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11,
                         kMenu = 0x12, kPause = 0x13, kEscape = 0x1B, kSpace = 0x20, kPrior = 0x21,
                         kNext = 0x22, kEnd = 0x23, kHome = 0x24, kLeft = 0x25, kUp = 0x26, kRight = 0x27,
                         kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E, kNumpad0 = 0x60, kMultiply = 0x6A,
                         kAdd = 0x6B, kSubtract = 0x6D, kDecimal = 0x6E, kDivide = 0x6F, kF1 = 0x70;
}
// The virtual-key code of an SDL key code, 0 for keys without one.
int32_t VirtualKeyOf(int32_t sdlKey);

// The characters of a UTF-8 text; a malformed or cut sequence is skipped.
std::vector<uint32_t> DecodeUtf8(std::string_view text);

// Makes windows opened from now on draw off-screen (SDL's off-screen video
// driver), unless the user chose a video driver in SDL_VIDEODRIVER.
void PreferOffscreenVideo();

class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Opens the window with an OpenGL 3.3 core context. Hidden windows serve
    // off-screen drawing (tests, screenshots). False with Error() set.
    bool Open(const std::string& title, int32_t width, int32_t height, bool fullScreen, bool hidden);
    void Close();
    bool IsOpen() const { return window_ != nullptr; }
    const std::string& Error() const { return error_; }

    // Resizes for a display mode: a window of the size, or the desktop.
    bool SetMode(int32_t width, int32_t height, bool fullScreen);
    // The picture size that mouse positions are reported in.
    void SetLogicalSize(int32_t width, int32_t height);

    // Takes the next pending event; false when there is none.
    bool Poll(InputEvent& event);
    // The last mouse position in logical pixels (kept from the events).
    DevicePoint Cursor() const { return cursor_; }
    void ShowSystemCursor(bool show);
    // Keeps the mouse inside a logical rectangle; null frees it.
    void ClipCursor(const DeviceRect* rect);
    void SetTitle(const std::string& title);

    // Where the picture lands in the window: scaled to fit, centred.
    DeviceRect PictureRect() const;
    SDL_Window* Handle() const { return window_; }
    void* GlContext() const { return context_; }

    // A window position in the picture's logical pixels, clamped to it.
    DevicePoint ToLogical(int32_t x, int32_t y) const;

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    std::string error_;
    int32_t logicalW_ = 1024, logicalH_ = 768;
    DevicePoint cursor_;
    // Characters of a text input (an input method may commit several at
    // once), handed out one event each.
    std::deque<uint32_t> pendingText_;
};

// The OpenGL device drawing into the window's context; null with the reason
// in `error` when the context lacks what it needs.
std::unique_ptr<RenderDevice> MakeGlRenderDevice(Window& window, std::string* error = nullptr);

} // namespace plat
