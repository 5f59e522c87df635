// mdtool view shot: draws a saved game's world as the game window would,
// off-screen on the GL device (or on the recording Null device), and writes
// the picture as a PNG.
#include "tools/mdtool/command.h"
#include "tools/mdtool/png_encode.h"

#include "economy/town_services.h"
#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/texture_atlas.h"
#include "engine/viewport.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/null_render_device.h"
#include "platform/video/gl_render_device.h"
#include "platform/video/window.h"
#include "vehicles/vehicle.h"
#include "view/map_view_frame.h"
#include "view/map_view_state.h"
#include "view/vehicle_drawing.h"
#include "view/view_sections.h"
#include "view/view_world_hooks.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <cstdio>
#include <memory>

namespace mdtool {
namespace {

constexpr const char* kViewUsage = "view shot FILE --out F.png [--at X Y] [--zoom Z] [--size WxH] "
                                   "[--gl|--null] [--data DIR] [--objects] [--no-atlas]";

struct ShotOptions {
    std::string save, out, data = "gamedata";
    int32_t x = -1, y = -1, zoom = 0;
    int32_t width = 1024, height = 768;
    bool gl = true;
    bool objects = false; // list what was drawn where, by tile
    bool atlas = true;    // sprites packed into atlas pages
};

bool ParseShot(const Args& args, ShotOptions& o) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool more = i + 1 < args.size();
        if (a == "--gl" || a == "--null")
            o.gl = a == "--gl";
        else if (a == "--objects")
            o.objects = true;
        else if (a == "--no-atlas")
            o.atlas = false;
        else if (a == "--out" && more)
            o.out = args[++i];
        else if (a == "--data" && more)
            o.data = args[++i];
        else if (a == "--zoom" && more) {
            if (std::sscanf(args[++i].c_str(), "%d", &o.zoom) != 1 || o.zoom < 0 ||
                o.zoom >= Viewport::ZoomLevelCount())
                return false;
        } else if (a == "--size" && more) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &o.width, &o.height) != 2)
                return false;
        } else if (a == "--at" && i + 2 < args.size()) {
            if (std::sscanf(args[i + 1].c_str(), "%d", &o.x) != 1 ||
                std::sscanf(args[i + 2].c_str(), "%d", &o.y) != 1)
                return false;
            i += 2;
        } else if (o.save.empty() && a.rfind("--", 0) != 0)
            o.save = a;
        else
            return false;
    }
    return !o.save.empty() && !o.out.empty();
}

int RunShot(const Args& args) {
    ShotOptions o;
    if (!ParseShot(args, o))
        return Usage(kViewUsage);

    plat::Clock::UseFake(0);
    Engine::SetSpriteAtlases(o.atlas);
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
    if (!LoadGameTexts(o.data, false))
        return Fail(o.data + ": the game data cannot be read");
    StartGame(game, 0);
    if (!LoadGame(game, o.save))
        return Fail(o.save + ": not a saved game this build can load");
    std::string error;
    if (!Engine::DemoScene::MountInstallation(o.data, error))
        return Fail(error);

    plat::Window window;
    std::unique_ptr<plat::RenderDevice> device;
    if (o.gl) {
        plat::PreferOffscreenVideo();
        if (!window.Open("Marrowdale view", o.width, o.height, false, true))
            return Fail(window.Error());
        device = plat::MakeGlRenderDevice(window, &error);
        if (!device)
            return Fail(error);
    } else {
        device = plat::MakeNullRenderDevice();
    }
    const DisplayMode mode{o.width, o.height, 16, 60, 0};
    if (!Engine::EngineInit(device.get(), {}, mode))
        return Fail("the engine does not start in " + std::to_string(o.width) + "x" +
                    std::to_string(o.height));

    WorldScope scope(game.GetWorld());
    const WorldMap& map = GetWorldMap();
    const int32_t cx = o.x >= 0 ? o.x : int32_t(map.GetWidth() / 2);
    const int32_t cy = o.y >= 0 ? o.y : int32_t(map.GetHeight() / 2);
    EngineRect rect{0, 0, o.width, o.height};
    Viewport::SetMainRect(rect);
    Viewport::SetActive(0, true, &rect);
    Viewport::Select(0);
    Viewport::SetZoomLevel(o.zoom);
    Viewport::CenterOn(cx, cy);
    GraphicSets::ApplyZoom();
    // The placeholder terrain has no transition masks for every corner.
    MapViewOf().detailedTerrain = 0;
    RequestFullRedraw();

    bool drawn = Engine::BeginFrame();
    if (drawn) {
        RenderMapFrame();
        drawn = Engine::PresentFrame();
    }
    std::vector<uint32_t> pixels;
    const bool read =
        drawn && device->ReadPixels(plat::RenderTarget::BackBuffer, {0, 0, o.width, o.height}, pixels);
    const plat::DeviceStats stats = device->Stats();
    const MapViewFrame& frame = MapViewFrameOf();
    const size_t buildings = frame.lists.buildings.size(), routes = frame.lists.routes.size();
    const uint32_t movingImages = VehicleDrawStateOf().imagesDrawn;
    // With --objects: the drawn buildings, vehicles and movers and the route tiles
    // of the picture, one a line, for checks of what stands where.
    std::vector<std::string> listed;
    if (o.objects) {
        char line[96];
        for (const BuildingRecord& b : frame.lists.buildings)
            if (const MapObject* object = MapObjectFromId(b.building)) {
                std::snprintf(line, sizeof line, "building %d %d at %d %d", object->GetCategory(),
                              object->GetSubtype(), object->GetX(), object->GetY());
                listed.emplace_back(line);
            }
        for (const Vehicle* v : AllVehicles()) {
            int32_t vx = 0, vy = 0;
            v->GetHeadPosition(vx, vy);
            std::snprintf(line, sizeof line, "vehicle %u state %d at %d %d", v->GetId(), v->GetState(), vx,
                          vy);
            listed.emplace_back(line);
        }
        const EngineRect view = Viewport::GetRect();
        // The movers in the picture that show: kind, tile.
        ForEachMovingObject([&](MovingObject& object) {
            MoverPose pose;
            const ScreenPoint p = MapToScreen(object.GetX(), object.GetY());
            if (object.GetMovingKind() != kMovingKindVehicle && object.GetPose(pose) && p.x >= view.left &&
                p.x < view.right && p.y >= view.top && p.y < view.bottom) {
                std::snprintf(line, sizeof line, "mover %d at %d %d", object.GetMovingKind(), pose.x, pose.y);
                listed.emplace_back(line);
            }
            return true;
        });
        for (uint32_t y = 0; y < map.GetHeight(); ++y)
            for (uint32_t x = 0; x < map.GetWidth(); ++x) {
                if (map.GetCellKind(x, y) != kCellRoute || map.GetRoadDirections(x, y) == 0)
                    continue;
                const ScreenPoint p = MapToScreen(int32_t(x), int32_t(y));
                if (p.x < view.left || p.x >= view.right || p.y < view.top || p.y >= view.bottom)
                    continue;
                std::snprintf(line, sizeof line, "road at %u %u", x, y);
                listed.emplace_back(line);
            }
    }
    GraphicSets::ReleaseAll();
    Engine::ReleaseEngine();
    device.reset();
    window.Close();
    if (!drawn)
        return Fail("the frame could not be drawn");
    if (!read)
        return Fail("cannot read the back buffer");
    std::vector<uint8_t> png;
    if (!EncodePngImage(pixels, o.width, o.height, png) ||
        !plat::WriteFileAtomically(o.out, png.data(), png.size()))
        return Fail("cannot write " + o.out);
    std::printf(
        "%s: %dx%d at %d %d zoom %d, %zu buildings, %zu route tiles, %u moving images; on %s, %u draw "
        "calls, %u state changes, %u texture binds\n",
        o.out.c_str(), o.width, o.height, cx, cy, o.zoom, buildings, routes, movingImages,
        o.gl ? "OpenGL" : "Null", stats.drawCalls, stats.stateChanges, stats.textureBinds);
    for (const std::string& line : listed)
        std::printf("%s\n", line.c_str());
    return 0;
}

int RunView(const Args& args) {
    if (!args.empty() && args[0] == "shot")
        return RunShot(args);
    return Usage(kViewUsage);
}

MDTOOL_COMMAND("view", kViewUsage, RunView);

} // namespace
} // namespace mdtool
