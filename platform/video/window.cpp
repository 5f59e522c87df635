#include "platform/video/window.h"

#include "platform/clock.h"
#include "platform/input_time.h"

#include <SDL.h>

#include <cstdlib>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>

namespace plat {
namespace {

// Mouse and keyboard events, whether or not they are passed on: the time
// of the last one is the user's last input.
bool IsUserInput(Uint32 type) {
    switch (type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
        return true;
    default:
        return false;
    }
}

} // namespace

void PreferOffscreenVideo() {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}

int32_t VirtualKeyOf(int32_t key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return key;
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return vk::kF1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return vk::kNumpad0 + 1 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_BACKSPACE:
        return vk::kBack;
    case SDLK_TAB:
        return vk::kTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return vk::kReturn;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return vk::kShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return vk::kControl;
    case SDLK_LALT:
    case SDLK_RALT:
        return vk::kMenu;
    case SDLK_PAUSE:
        return vk::kPause;
    case SDLK_ESCAPE:
        return vk::kEscape;
    case SDLK_SPACE:
        return vk::kSpace;
    case SDLK_PAGEUP:
        return vk::kPrior;
    case SDLK_PAGEDOWN:
        return vk::kNext;
    case SDLK_END:
        return vk::kEnd;
    case SDLK_HOME:
        return vk::kHome;
    case SDLK_LEFT:
        return vk::kLeft;
    case SDLK_UP:
        return vk::kUp;
    case SDLK_RIGHT:
        return vk::kRight;
    case SDLK_DOWN:
        return vk::kDown;
    case SDLK_INSERT:
        return vk::kInsert;
    case SDLK_DELETE:
        return vk::kDelete;
    case SDLK_KP_0:
        return vk::kNumpad0;
    case SDLK_KP_MULTIPLY:
        return vk::kMultiply;
    case SDLK_KP_PLUS:
        return vk::kAdd;
    case SDLK_KP_MINUS:
        return vk::kSubtract;
    case SDLK_KP_PERIOD:
        return vk::kDecimal;
    case SDLK_KP_DIVIDE:
        return vk::kDivide;
    default:
        return 0;
    }
}

namespace {

// Marks the loaded GL driver libraries as never to be unloaded. Closing the
// last window unloads them otherwise, and what they still hold then shows up
// in leak checks as memory of no module; some drivers also misbehave when
// loaded a second time in one process.
void KeepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            if (name == nullptr || name[0] == 0)
                return 0;
            for (const char* part : {"mesa", "_dri", "gallium", "libEGL", "libGL", "libLLVM", "libglapi"})
                if (std::strstr(name, part) != nullptr) {
                    dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
                    break;
                }
            return 0;
        },
        nullptr);
}

} // namespace

Window::~Window() {
    Close();
}

bool Window::Open(const std::string& title, int32_t width, int32_t height, bool fullScreen, bool hidden) {
    Close();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = std::string("video start failed: ") + SDL_GetError();
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
    flags |= hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    if (fullScreen)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (window_ == nullptr) {
        error_ = std::string("window creation failed: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
        error_ = std::string("OpenGL 3.3 context creation failed: ") + SDL_GetError();
        Close();
        return false;
    }
    SDL_GL_MakeCurrent(window_, context_);
    KeepGlDriverLoaded();
    logicalW_ = width;
    logicalH_ = height;
    return true;
}

void Window::Close() {
    if (context_ != nullptr) {
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
        context_ = nullptr;
    }
    if (window_ != nullptr) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

bool Window::SetMode(int32_t width, int32_t height, bool fullScreen) {
    if (window_ == nullptr)
        return false;
    if (SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        error_ = SDL_GetError();
        return false;
    }
    if (!fullScreen)
        SDL_SetWindowSize(window_, width, height);
    SetLogicalSize(width, height);
    return true;
}

void Window::SetLogicalSize(int32_t width, int32_t height) {
    logicalW_ = std::max(width, 1);
    logicalH_ = std::max(height, 1);
}

DeviceRect Window::PictureRect() const {
    int w = logicalW_, h = logicalH_;
    if (window_ != nullptr)
        SDL_GL_GetDrawableSize(window_, &w, &h);
    w = std::max(w, 1);
    h = std::max(h, 1);
    // The largest size of the picture's aspect that fits, centred.
    int32_t pw = w, ph = static_cast<int32_t>(static_cast<int64_t>(w) * logicalH_ / logicalW_);
    if (ph > h) {
        ph = h;
        pw = static_cast<int32_t>(static_cast<int64_t>(h) * logicalW_ / logicalH_);
    }
    const int32_t x = (w - pw) / 2, y = (h - ph) / 2;
    return {x, y, x + pw, y + ph};
}

DevicePoint Window::ToLogical(int32_t x, int32_t y) const {
    // Window coordinates can differ from drawable pixels on high-density screens.
    int ww = 1, wh = 1, dw = 1, dh = 1;
    if (window_ != nullptr) {
        SDL_GetWindowSize(window_, &ww, &wh);
        SDL_GL_GetDrawableSize(window_, &dw, &dh);
    }
    const int64_t px = ww > 0 ? static_cast<int64_t>(x) * dw / ww : x;
    const int64_t py = wh > 0 ? static_cast<int64_t>(y) * dh / wh : y;
    const DeviceRect pic = PictureRect();
    DevicePoint p;
    p.x = static_cast<int32_t>((px - pic.left) * logicalW_ / std::max(pic.Width(), 1));
    p.y = static_cast<int32_t>((py - pic.top) * logicalH_ / std::max(pic.Height(), 1));
    p.x = std::clamp(p.x, 0, logicalW_ - 1);
    p.y = std::clamp(p.y, 0, logicalH_ - 1);
    return p;
}

std::vector<uint32_t> DecodeUtf8(std::string_view text) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80             ? 1
                              : (lead & 0xE0) == 0xC0 ? 2
                              : (lead & 0xF0) == 0xE0 ? 3
                              : (lead & 0xF8) == 0xF0 ? 4
                                                      : 0;
        if (length == 0 || i + length > text.size()) {
            ++i;
            continue;
        }
        uint32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
        bool valid = true;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3Fu);
        }
        static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF))
            out.push_back(c);
        i += valid ? length : 1;
    }
    return out;
}

bool Window::Poll(InputEvent& e) {
    if (!pendingText_.empty()) {
        e = InputEvent{};
        e.type = InputEvent::Type::Text;
        e.text = pendingText_.front();
        pendingText_.pop_front();
        return true;
    }
    SDL_Event ev;
    while (SDL_PollEvent(&ev) != 0) {
        e = InputEvent{};
        const SDL_Keymod mod = SDL_GetModState();
        e.modifiers = static_cast<uint16_t>(((mod & KMOD_SHIFT) ? kShift : 0) |
                                            ((mod & KMOD_CTRL) ? kCtrl : 0) | ((mod & KMOD_ALT) ? kAlt : 0));
        if (IsUserInput(ev.type))
            NoteInput(Clock::Timestamp());
        switch (ev.type) {
        case SDL_QUIT:
            e.type = InputEvent::Type::Quit;
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            e.type = ev.type == SDL_KEYDOWN ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
            e.key = VirtualKeyOf(ev.key.keysym.sym);
            e.repeat = ev.key.repeat != 0;
            if (e.key == 0)
                continue;
            e.x = cursor_.x;
            e.y = cursor_.y;
            return true;
        case SDL_TEXTINPUT: {
            for (uint32_t c : DecodeUtf8(ev.text.text))
                pendingText_.push_back(c);
            if (pendingText_.empty())
                continue;
            e.type = InputEvent::Type::Text;
            e.text = pendingText_.front();
            pendingText_.pop_front();
            return true;
        }
        case SDL_MOUSEMOTION:
            cursor_ = ToLogical(ev.motion.x, ev.motion.y);
            e.type = InputEvent::Type::MouseMove;
            e.x = cursor_.x;
            e.y = cursor_.y;
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            cursor_ = ToLogical(ev.button.x, ev.button.y);
            e.type = ev.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Type::MouseDown : InputEvent::Type::MouseUp;
            e.button = ev.button.button == SDL_BUTTON_LEFT     ? 1
                       : ev.button.button == SDL_BUTTON_MIDDLE ? 2
                                                               : 3;
            e.clicks = ev.button.clicks;
            e.x = cursor_.x;
            e.y = cursor_.y;
            return true;
        case SDL_MOUSEWHEEL:
            e.type = InputEvent::Type::Wheel;
            e.wheel = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
            e.x = cursor_.x;
            e.y = cursor_.y;
            if (e.wheel == 0)
                continue;
            return true;
        case SDL_WINDOWEVENT:
            if (ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                e.type = InputEvent::Type::Focus;
                e.focused = ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
                return true;
            }
            continue;
        default:
            continue;
        }
    }
    return false;
}

void Window::ShowSystemCursor(bool show) {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void Window::ClipCursor(const DeviceRect* rect) {
    if (window_ == nullptr)
        return;
    if (rect == nullptr) {
        SDL_SetWindowMouseRect(window_, nullptr);
        return;
    }
    // Logical to window coordinates.
    int ww = 1, wh = 1, dw = 1, dh = 1;
    SDL_GetWindowSize(window_, &ww, &wh);
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    const DeviceRect pic = PictureRect();
    auto tx = [&](int32_t x) { return (pic.left + x * pic.Width() / logicalW_) * ww / std::max(dw, 1); };
    auto ty = [&](int32_t y) { return (pic.top + y * pic.Height() / logicalH_) * wh / std::max(dh, 1); };
    SDL_Rect r{tx(rect->left), ty(rect->top), tx(rect->right) - tx(rect->left),
               ty(rect->bottom) - ty(rect->top)};
    SDL_SetWindowMouseRect(window_, &r);
}

void Window::SetTitle(const std::string& title) {
    if (window_ != nullptr)
        SDL_SetWindowTitle(window_, title.c_str());
}

} // namespace plat
