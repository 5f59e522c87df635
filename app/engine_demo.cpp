// The engine demo window: the engine's test scene on the GL device in a
// window, scrolled with the arrow keys, the screen border or by dragging
// with the right button, and zoomed about the mouse with the wheel or the
// + and - keys, until the window is closed or Escape is pressed.
#include "app/engine_demo.h"
#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/engine_services.h"
#include "engine/frame.h"
#include "engine/platform_text_renderer.h"
#include "engine/view_hooks.h"
#include "engine/viewport.h"
#include "platform/clock.h"
#include "platform/video/ttf_text_renderer.h"
#include "platform/video/window.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

uint8_t ArrowOf(int32_t key) {
    switch (key) {
    case plat::vk::kLeft:
        return kArrowLeft;
    case plat::vk::kRight:
        return kArrowRight;
    case plat::vk::kUp:
        return kArrowUp;
    case plat::vk::kDown:
        return kArrowDown;
    default:
        return 0;
    }
}

} // namespace

int RunEngineDemo(int argc, char** argv) {
    std::string data = "gamedata";
    bool fullScreen = false;
    int32_t frames = -1; // run until closed
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc)
            data = argv[++i];
        else if (std::strcmp(argv[i], "--fullscreen") == 0)
            fullScreen = true;
        else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
    }
    std::string error;
    if (!Engine::DemoScene::MountInstallation(data, error)) {
        std::fprintf(stderr, "engine demo: %s\n", error.c_str());
        return 1;
    }
    const DisplayMode mode{1024, 768, 16, 60, uint8_t(fullScreen ? 1 : 0)};
    plat::Window window;
    if (!window.Open("Marrowdale engine demo", mode.width, mode.height, fullScreen, false)) {
        std::fprintf(stderr, "engine demo: %s\n", window.Error().c_str());
        return 1;
    }
    std::unique_ptr<plat::RenderDevice> device = plat::MakeGlRenderDevice(window, &error);
    if (!device) {
        std::fprintf(stderr, "engine demo: %s\n", error.c_str());
        return 1;
    }
    if (!Engine::EngineInit(device.get(), {}, mode)) {
        std::fprintf(stderr, "engine demo: the engine did not start\n");
        return 1;
    }
    window.ShowSystemCursor(false);
    // System-font texts (a text code page, the overlay without bitmap fonts)
    // in the installation's own copy of the free font, else the system's.
    std::unique_ptr<plat::TextRenderer> fonts =
        plat::MakeTtfTextRenderer({data + "/fonts", plat::kDejaVuFontFolder}, &error);
    std::unique_ptr<PlatformTextRenderer> systemText;
    if (fonts) {
        systemText = std::make_unique<PlatformTextRenderer>(*fonts);
        Engine::SetSystemTextRenderer(systemText.get());
    } else {
        std::fprintf(stderr, "engine demo: texts in system fonts are not drawn: %s\n", error.c_str());
        error.clear();
    }

    // The viewports ask the demo for the map size and the mouse.
    plat::DevicePoint mouse{mode.width / 2, mode.height / 2};
    bool rightDown = false, rightReleased = false;
    uint8_t arrowsHeld = 0;
    ViewHooks hooks;
    hooks.mapWidth = [] { return Engine::DemoScene::kMapSize; };
    hooks.mapHeight = [] { return Engine::DemoScene::kMapSize; };
    hooks.mousePosition = [&](int32_t& x, int32_t& y) { x = mouse.x, y = mouse.y; };
    hooks.cursorPosition = hooks.mousePosition;
    hooks.isRightButtonDown = [&] { return rightDown; };
    hooks.isRightButtonReleased = [&] { return rightReleased; };
    SetViewHooks(hooks);
    Viewport::SetMainRect({0, 0, mode.width, mode.height});
    Engine::DemoScene::CentreView();
    *Engine::StatsOverlayFlag() = 1;

    Engine::DemoScene scene;
    if (!scene.Load(error)) {
        std::fprintf(stderr, "engine demo: %s\n", error.c_str());
        Engine::SetSystemTextRenderer(nullptr);
        Engine::ReleaseEngine();
        return 1;
    }
    bool running = true;
    while (running && frames != 0) {
        rightReleased = false;
        plat::InputEvent e;
        while (window.Poll(e)) {
            switch (e.type) {
            case plat::InputEvent::Type::Quit:
                running = false;
                break;
            case plat::InputEvent::Type::MouseMove:
                mouse = {e.x, e.y};
                break;
            case plat::InputEvent::Type::MouseDown:
            case plat::InputEvent::Type::MouseUp:
                mouse = {e.x, e.y};
                if (e.button == 3) {
                    rightReleased = rightDown && e.type == plat::InputEvent::Type::MouseUp;
                    rightDown = e.type == plat::InputEvent::Type::MouseDown;
                }
                break;
            case plat::InputEvent::Type::Wheel:
                Viewport::Zoom(e.wheel > 0 ? 0 : 1);
                break;
            case plat::InputEvent::Type::KeyDown:
                if (e.key == plat::vk::kEscape)
                    running = false;
                else if (e.key == plat::vk::kAdd || e.key == plat::vk::kSubtract)
                    Viewport::Zoom(e.key == plat::vk::kAdd ? 0 : 1);
                else if (const uint8_t arrow = ArrowOf(e.key)) {
                    arrowsHeld |= arrow;
                    ScrollByArrowKey(arrow, arrowsHeld);
                }
                break;
            case plat::InputEvent::Type::KeyUp:
                arrowsHeld &= uint8_t(~ArrowOf(e.key));
                break;
            case plat::InputEvent::Type::Focus:
                arrowsHeld = 0; // keys let go elsewhere send no key-up here
                break;
            default:
                break;
            }
        }
        Engine::SetMousePosition(mouse.x, mouse.y);
        ScrollViewByMouse();
        Engine::BeginFrame();
        scene.Draw();
        Engine::PresentFrame();
        if (frames > 0)
            --frames;
        plat::Clock::Sleep(1);
    }
    scene.Release();
    Engine::SetSystemTextRenderer(nullptr);
    Engine::ReleaseEngine();
    device.reset();
    window.Close();
    return 0;
}
