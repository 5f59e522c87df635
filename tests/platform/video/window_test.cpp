// Input events through the window under SDL's off-screen video driver.
#include "platform/clock.h"
#include "platform/input_time.h"
#include "platform/video/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace plat {
namespace {

TEST(VirtualKeys, MapTheKeysTheProgramNames) {
    const std::pair<int32_t, int32_t> cases[] = {
        {SDLK_a, 'A'},
        {SDLK_z, 'Z'},
        {SDLK_0, '0'},
        {SDLK_9, '9'},
        {SDLK_F1, vk::kF1},
        {SDLK_F12, vk::kF1 + 11},
        {SDLK_KP_0, vk::kNumpad0},
        {SDLK_KP_9, vk::kNumpad0 + 9},
        {SDLK_RETURN, vk::kReturn},
        {SDLK_KP_ENTER, vk::kReturn},
        {SDLK_ESCAPE, vk::kEscape},
        {SDLK_LEFT, vk::kLeft},
        {SDLK_PAGEDOWN, vk::kNext},
        {SDLK_KP_PLUS, vk::kAdd},
        {SDLK_RSHIFT, vk::kShift},
        {SDLK_CAPSLOCK, 0},
    };
    for (const auto& [sdl, want] : cases)
        EXPECT_EQ(VirtualKeyOf(sdl), want) << sdl;
}

class WindowTest : public ::testing::Test {
protected:
    static Window& Shared() {
        static Window* window = new Window; // kept open: the driver stays loaded until exit
        return *window;
    }
    void SetUp() override {
        if (!Shared().IsOpen()) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            ASSERT_TRUE(Shared().Open("test", 400, 300, false, true)) << Shared().Error();
        }
        InputEvent e;
        while (Shared().Poll(e)) {
        }
    }
    static void PushMouse(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1) {
        SDL_Event ev{};
        ev.type = type;
        ev.button.windowID = SDL_GetWindowID(Shared().Handle());
        if (type == SDL_MOUSEMOTION) {
            ev.motion.x = x;
            ev.motion.y = y;
        } else {
            ev.button.x = x;
            ev.button.y = y;
            ev.button.button = button;
            ev.button.clicks = clicks;
        }
        ASSERT_EQ(SDL_PushEvent(&ev), 1) << SDL_GetError();
    }
};

TEST_F(WindowTest, MousePositionsAreMappedIntoThePicture) {
    Window& w = Shared();
    struct Case {
        int32_t logicalW, logicalH;
        DeviceRect picture;
        DevicePoint window, logical;
    };
    const Case cases[] = {
        // A 400 x 300 window showing an 800 x 600 picture: everything doubles.
        {800, 600, {0, 0, 400, 300}, {100, 150}, {200, 300}},
        {800, 600, {0, 0, 400, 300}, {399, 299}, {798, 598}},
        // A wider picture is letterboxed; positions on the bars clamp.
        {800, 300, {0, 75, 400, 225}, {200, 10}, {400, 0}},
        {800, 300, {0, 75, 400, 225}, {200, 150}, {400, 150}},
        // A taller one gets bars left and right.
        {300, 600, {125, 0, 275, 300}, {399, 0}, {299, 0}},
    };
    for (const Case& c : cases) {
        w.SetLogicalSize(c.logicalW, c.logicalH);
        EXPECT_EQ(w.PictureRect(), c.picture);
        EXPECT_EQ(w.ToLogical(c.window.x, c.window.y), c.logical) << c.window.x << "," << c.window.y;
    }
    // Through an event: the position is mapped and kept as the cursor.
    w.SetLogicalSize(800, 600);
    PushMouse(SDL_MOUSEBUTTONDOWN, 100, 150, SDL_BUTTON_RIGHT);
    InputEvent e;
    ASSERT_TRUE(w.Poll(e));
    EXPECT_EQ(e.type, InputEvent::Type::MouseDown);
    EXPECT_EQ(e.button, 3);
    EXPECT_EQ((DevicePoint{e.x, e.y}), (DevicePoint{200, 300}));
    EXPECT_EQ(w.Cursor(), (DevicePoint{200, 300}));
    EXPECT_EQ(e.clicks, 1);
}

TEST_F(WindowTest, ThePressOfADoubleClickSaysSo) {
    PushMouse(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_BUTTON_LEFT, 2);
    InputEvent e;
    ASSERT_TRUE(Shared().Poll(e));
    EXPECT_EQ(e.type, InputEvent::Type::MouseDown);
    EXPECT_EQ(e.clicks, 2);
}

TEST_F(WindowTest, KeysWithoutAVirtualCodeAreSkipped) {
    SDL_Event ev{};
    ev.type = SDL_KEYDOWN;
    ev.key.keysym.sym = SDLK_CAPSLOCK;
    SDL_PushEvent(&ev);
    ev.key.keysym.sym = SDLK_q;
    ev.key.repeat = 1;
    SDL_PushEvent(&ev);
    InputEvent e;
    ASSERT_TRUE(Shared().Poll(e));
    EXPECT_EQ(e.type, InputEvent::Type::KeyDown);
    EXPECT_EQ(e.key, 'Q');
    EXPECT_TRUE(e.repeat);
    EXPECT_FALSE(Shared().Poll(e));
}

// Every mouse and keyboard event the pump meets is the user's last input,
// also one it does not pass on; other events are not.
TEST_F(WindowTest, MouseAndKeyboardEventsAreTheLastInput) {
    auto push = [](Uint32 type, SDL_Keycode key = SDLK_UNKNOWN) {
        SDL_Event ev{};
        ev.type = type;
        ev.key.keysym.sym = key;
        ev.window.windowID = SDL_GetWindowID(Shared().Handle());
        ASSERT_EQ(SDL_PushEvent(&ev), 1) << SDL_GetError();
    };
    const struct {
        const char* name;
        Uint32 type;
        SDL_Keycode key;
        bool input;
    } cases[] = {
        {"key down", SDL_KEYDOWN, SDLK_LEFT, true},
        {"key up", SDL_KEYUP, SDLK_LEFT, true},
        {"key without a virtual code", SDL_KEYDOWN, SDLK_CAPSLOCK, true},
        {"mouse move", SDL_MOUSEMOTION, SDLK_UNKNOWN, true},
        {"button", SDL_MOUSEBUTTONDOWN, SDLK_UNKNOWN, true},
        {"wheel", SDL_MOUSEWHEEL, SDLK_UNKNOWN, true},
        {"quit", SDL_QUIT, SDLK_UNKNOWN, false},
        {"user event", SDL_USEREVENT, SDLK_UNKNOWN, false},
    };
    for (const auto& c : cases) {
        NoteInput(1);
        push(c.type, c.key);
        const uint64_t before = Clock::Timestamp();
        InputEvent e;
        while (Shared().Poll(e)) {
        }
        if (c.input)
            EXPECT_GE(LastInputTimestamp(), before) << c.name;
        else
            EXPECT_EQ(LastInputTimestamp(), 1u) << c.name;
    }
}

TEST(Utf8, DecodesEveryCharacterAndSkipsDamage) {
    const std::pair<std::string, std::vector<uint32_t>> cases[] = {
        {"ab", {'a', 'b'}},
        {"\xC3\xA9\xE2\x82\xAC", {0xE9, 0x20AC}}, // e acute, euro
        {"\xF0\x9F\x98\x80x", {0x1F600, 'x'}},    // four bytes
        {"\xC3", {}},                             // cut
        {"\xC0\x80"
         "a",
         {'a'}},              // overlong
        {"\xED\xA0\x80", {}}, // surrogate
        {"\x80\xFFz", {'z'}},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(DecodeUtf8(text), want) << text;
}

TEST_F(WindowTest, EveryCharacterOfATextInputIsDelivered) {
    SDL_Event ev{};
    ev.type = SDL_TEXTINPUT;
    std::strcpy(ev.text.text, "\xC3\xA4\xC3\xB6x");
    SDL_PushEvent(&ev);
    std::vector<uint32_t> typed;
    InputEvent e;
    while (Shared().Poll(e)) {
        if (e.type == InputEvent::Type::Text)
            typed.push_back(e.text);
    }
    EXPECT_EQ(typed, (std::vector<uint32_t>{0xE4, 0xF6, 'x'}));
}

} // namespace
} // namespace plat
