#include "app/world_view.h"

#include "data/text_tables.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/engine_services.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/quad_draw.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "engine/view_hooks.h"
#include "engine/viewport.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/video/window.h"
#include "view/map_view_frame.h"
#include "view/map_view_state.h"
#include "view/minimap.h"
#include "view/view_sections.h"
#include "view/view_world_hooks.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t kFrameMs = 40;
constexpr int32_t kMiniMapSide = 192;

struct ScriptedInput {
    uint64_t frame = 0;
    std::string what;
    int32_t a = 0, b = 0;
};

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

int32_t KeyNamed(const std::string& name) {
    if (name == "left")
        return plat::vk::kLeft;
    if (name == "right")
        return plat::vk::kRight;
    if (name == "up")
        return plat::vk::kUp;
    if (name == "down")
        return plat::vk::kDown;
    return 0;
}

// The lines of a scripted input file, in frame order as written; false with
// the line's number for a line it does not know.
bool ReadScriptedInput(const std::string& path, std::vector<ScriptedInput>& out, std::string& error) {
    std::string text;
    if (!plat::ReadWholeFile(path, text, 1 << 20, &error))
        return false;
    std::istringstream lines(text);
    std::string line;
    for (int n = 1; std::getline(lines, line); ++n) {
        std::istringstream in(line);
        ScriptedInput e;
        if (!(in >> e.frame))
            continue; // blank lines
        in >> e.what;
        bool ok = true;
        if (e.what == "key") {
            std::string name;
            ok = bool(in >> name) && (e.a = KeyNamed(name)) != 0;
        } else if (e.what == "mouse") {
            ok = bool(in >> e.a >> e.b);
        } else if (e.what == "wheel") {
            ok = bool(in >> e.a);
        } else {
            ok = e.what == "quit";
        }
        if (!ok) {
            error = "line " + std::to_string(n) + " is not an input event: " + line;
            return false;
        }
        out.push_back(e);
    }
    return true;
}

bool ParseCount(const char* text, uint64_t& value) {
    const std::string_view s(text);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

// The minimap's small picture in the top right corner of the window.
void DrawMiniMap(int32_t width) {
    MiniMap& miniMap = MiniMapOf();
    miniMap.Update();
    const TextureHandle texture = miniMap.Texture(true);
    const Surface* surface = texture ? Engine::TextureSurface(texture) : nullptr;
    if (!surface || !Engine::BindAndApply(surface, Engine::SpriteStateBlock(1, 1, 0xFFFFFFFFu)))
        return;
    const float right = float(width - 8), left = right - kMiniMapSide, top = 8, bottom = top + kMiniMapSide;
    const PointF corners[4] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
    const PointF uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    Engine::DrawQuadCorners(corners, uv, 0xFFFFFFFFu);
    Engine::FlushQuads();
}

} // namespace

int RunWorldView(int argc, char** argv) {
    std::string data = "gamedata", load, inputPath;
    uint64_t size = 0, seed = 1, frames = 0;
    bool bounded = false;
    const auto usage = [] {
        std::fputs("usage: marrowdale --view (--load FILE | --generate SIZE [--seed S]) [--frames N] "
                   "[--data FOLDER] [--input FILE]\n",
                   stderr);
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--data" && more)
            data = argv[++i];
        else if (a == "--load" && more)
            load = argv[++i];
        else if (a == "--input" && more)
            inputPath = argv[++i];
        else if (a == "--generate" && more) {
            if (!ParseCount(argv[++i], size) || size < 16 || size > 4096 || size % 2 != 0)
                return usage();
        } else if (a == "--seed" && more) {
            if (!ParseCount(argv[++i], seed) || seed > 0xFFFFFFFFu)
                return usage();
        } else if (a == "--frames" && more) {
            if (!ParseCount(argv[++i], frames))
                return usage();
            bounded = true;
        } else {
            return usage();
        }
    }
    if (load.empty() == (size == 0))
        return usage();
    std::vector<ScriptedInput> input;
    std::string error;
    if (!inputPath.empty() && !ReadScriptedInput(inputPath, input, error)) {
        std::fprintf(stderr, "marrowdale: %s: %s\n", inputPath.c_str(), error.c_str());
        return 1;
    }

    if (!LoadGameTexts(data, false))
        std::fprintf(stderr, "marrowdale: the texts of %s cannot be read\n", data.c_str());
    plat::Clock::UseFake(0);
    InstallPath() = data;
    Game game;
    ViewWorldHooks hooks;
    ConnectWorldModel(game, hooks);
    InstallTownsAndIndustry(game);
    InstallViewSections(game);
    struct Uninstall {
        Game& game;
        ~Uninstall() {
            UninstallViewSections(game);
            UninstallTownsAndIndustry();
        }
    } uninstall{game};
    if (!load.empty()) {
        StartGame(game, 0);
        if (!LoadGame(game, load)) {
            std::fprintf(stderr, "marrowdale: %s: not a saved game this build can load\n", load.c_str());
            return 1;
        }
    } else {
        StartGame(game, uint32_t(seed));
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = uint32_t(size);
        options.seed = uint32_t(seed);
        if (!GenerateNewWorld(game, options))
            return 1;
    }
    if (!Engine::DemoScene::MountInstallation(data, error)) {
        std::fprintf(stderr, "marrowdale: %s\n", error.c_str());
        return 1;
    }

    const DisplayMode mode{1024, 768, 16, 60, 0};
    plat::Window window;
    if (!window.Open("Marrowdale", mode.width, mode.height, false, false)) {
        std::fprintf(stderr, "marrowdale: %s\n", window.Error().c_str());
        return 1;
    }
    std::unique_ptr<plat::RenderDevice> device = plat::MakeGlRenderDevice(window, &error);
    if (!device) {
        std::fprintf(stderr, "marrowdale: %s\n", error.c_str());
        return 1;
    }
    if (!Engine::EngineInit(device.get(), {}, mode)) {
        std::fprintf(stderr, "marrowdale: the engine did not start\n");
        return 1;
    }

    WorldScope scope(game.GetWorld());
    plat::DevicePoint mouse{mode.width / 2, mode.height / 2};
    bool rightDown = false, rightReleased = false;
    uint8_t arrowsHeld = 0;
    ViewHooks viewHooks;
    viewHooks.mapWidth = [] { return int32_t(GetWorldMap().GetWidth()); };
    viewHooks.mapHeight = [] { return int32_t(GetWorldMap().GetHeight()); };
    viewHooks.requestFullRedraw = [] { RequestFullRedraw(); };
    viewHooks.requestScroll = [](int32_t dx, int32_t dy) { RequestScroll(dx, dy); };
    viewHooks.mousePosition = [&](int32_t& x, int32_t& y) { x = mouse.x, y = mouse.y; };
    viewHooks.cursorPosition = viewHooks.mousePosition;
    viewHooks.isRightButtonDown = [&] { return rightDown; };
    viewHooks.isRightButtonReleased = [&] { return rightReleased; };
    SetViewHooks(viewHooks);
    const EngineRect rect{0, 0, mode.width, mode.height};
    Viewport::SetMainRect(rect);
    Viewport::SetActive(0, true, &rect);
    Viewport::Select(0);
    Viewport::SetZoomLevel(1);
    const WorldMap& map = GetWorldMap();
    Viewport::CenterOn(int32_t(map.GetWidth() / 2), int32_t(map.GetHeight() / 2));
    GraphicSets::ApplyZoom();
    // The placeholder terrain has no transition masks for every corner.
    MapViewOf().detailedTerrain = 0;
    RequestFullRedraw();

    const auto report = [](const char* why, uint64_t frame) {
        const ScreenPoint o = Viewport::GetOrigin();
        std::printf("frame %llu %s: origin %d %d, zoom %d\n", static_cast<unsigned long long>(frame), why,
                    o.x, o.y, Viewport::GetZoomLevel());
    };
    report("start", 0);
    size_t next = 0;
    bool running = true;
    uint64_t frame = 0;
    for (; running && (!bounded || frame < frames); ++frame) {
        rightReleased = false;
        plat::InputEvent e;
        std::vector<plat::InputEvent> events;
        while (window.Poll(e))
            events.push_back(e);
        // A scripted event counts as the platform's own.
        for (; next < input.size() && input[next].frame <= frame; ++next) {
            const ScriptedInput& s = input[next];
            plat::InputEvent made;
            if (s.what == "key") {
                made.type = plat::InputEvent::Type::KeyDown;
                made.key = s.a;
                events.push_back(made);
                made.type = plat::InputEvent::Type::KeyUp;
            } else if (s.what == "mouse") {
                made.type = plat::InputEvent::Type::MouseMove;
                made.x = s.a;
                made.y = s.b;
            } else if (s.what == "wheel") {
                made.type = plat::InputEvent::Type::Wheel;
                made.wheel = s.a;
            } else {
                made.type = plat::InputEvent::Type::Quit;
            }
            events.push_back(made);
        }
        for (const plat::InputEvent& ev : events) {
            switch (ev.type) {
            case plat::InputEvent::Type::Quit:
                running = false;
                break;
            case plat::InputEvent::Type::MouseMove:
                mouse = {ev.x, ev.y};
                if (next > 0 && input[next - 1].frame == frame && input[next - 1].what == "mouse")
                    report("mouse", frame);
                break;
            case plat::InputEvent::Type::MouseDown:
            case plat::InputEvent::Type::MouseUp:
                mouse = {ev.x, ev.y};
                if (ev.button == 3) {
                    rightReleased = rightDown && ev.type == plat::InputEvent::Type::MouseUp;
                    rightDown = ev.type == plat::InputEvent::Type::MouseDown;
                }
                break;
            case plat::InputEvent::Type::Wheel:
                Viewport::Zoom(ev.wheel > 0 ? 0 : 1);
                report("wheel", frame);
                break;
            case plat::InputEvent::Type::KeyDown:
                if (ev.key == plat::vk::kEscape)
                    running = false;
                else if (ev.key == plat::vk::kAdd || ev.key == plat::vk::kSubtract)
                    Viewport::Zoom(ev.key == plat::vk::kAdd ? 0 : 1);
                else if (const uint8_t arrow = ArrowOf(ev.key)) {
                    arrowsHeld |= arrow;
                    ScrollByArrowKey(arrow, arrowsHeld);
                    report("key", frame);
                }
                break;
            case plat::InputEvent::Type::KeyUp:
                arrowsHeld &= uint8_t(~ArrowOf(ev.key));
                break;
            case plat::InputEvent::Type::Focus:
                arrowsHeld = 0;
                break;
            default:
                break;
            }
        }
        Engine::SetMousePosition(mouse.x, mouse.y);
        ScrollViewByMouse();
        game.AdvanceFrame(kFrameMs);
        game.Step();
        Engine::BeginFrame();
        RenderMapFrame();
        DrawMiniMap(mode.width);
        Engine::PresentFrame();
        if (!bounded)
            plat::Clock::Sleep(kFrameMs / 2);
    }
    report("end", frame);
    GraphicSets::ReleaseAll();
    Engine::ReleaseEngine();
    device.reset();
    window.Close();
    return 0;
}
