// The map view's frames on the Null render device over a 512 x 512 world of
// land, lakes, roads and towns of small buildings, in a 1024 x 768 view at
// the nearest and the farthest zoom: a full redraw
// (the block walk, terrain, the draw lists), a scroll frame that redraws
// only the uncovered strips, and a steady frame over the kept picture;
// beside a plain reference that draws the same terrain quads from a
// prepared list. Compare FullFrame with PlainReference of the same zoom.
// ScrollVsFull times scroll frames and full frames in turns and reports
// the scroll frame as a ratio of the full one; every frame benchmark
// reports its draw calls beside the texture and state changes.
#include <benchmark/benchmark.h>

#include "data/file_locations.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "engine/engine_state.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/tga_writer.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "platform/null_render_device.h"
#include "view/map_view_frame.h"
#include "view/map_view_state.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/storage_hall.h"
#include "world/world.h"
#include "world/world_map.h"

#include <unistd.h>

#include <ctime>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace {

struct Scene {
    Scene() {
        root = std::filesystem::temp_directory_path() / ("md_view_bench_" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        for (const char* folder : {"terrain", "routes", "halls"})
            std::filesystem::create_directories(root / folder);
        const std::vector<uint8_t> picture = WriteTga(std::vector<uint32_t>(64 * 64, 0xFF40A040u), 64, 64);
        for (const char* name : {"terrain/001_0_00_00_00_land.tga", "terrain/002_0_00_00_00_water.tga",
                                 "routes/005_0_00_00_00_road.tga", "halls/dummy.tga"})
            std::ofstream(root / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
        RegisterStandardSourceTypes();
        VfsAddSource("file", root.string());
        for (auto [kind, folder] :
             {std::pair{1, "terrain"}, std::pair{8, "routes"}, std::pair{19, "halls"}}) {
            VfsAddVirtualDir(folder, folder);
            TexturesTable::SetVirtualDirName(kind, folder);
        }
        // The device's copies of the picture stand for the graphics card's
        // work, not the frame's: left out of the measure.
        device.SetTargetPixels(false);
        Engine::EngineInit(&device, {}, DisplayMode{1024, 768, 16, 60, 0});
        scope.emplace(world);
        CreateGameClock(0);
        TerrainTable::GetOrCreateRow(1)->TerrainType = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(2);
        water->IsWater = 1;
        water->WaterAnimationType = 1;
        RouteBuilderTable::GetOrCreateRow(2)->GfxIndex = 5;
        WorldMap& map = GetWorldMap();
        map.SetMapSize(kSide, kSide);
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x)
                if (((x / 16) * 7 + (y / 16) * 3) % 5 == 0)
                    map.CellAt(x, y)->SetTerrainIndex(2);
        for (uint32_t i = 8; i < kSide - 8; i += 8)
            for (uint32_t x = 8; x < kSide - 8; ++x)
                if (!map.IsWater(x, i)) {
                    map.SetRouteKindAndClear(x, i, 2);
                    map.SetRouteType(2, x, i, 2);
                    map.SetRoadDirections(x, i, 10);
                }
        // Towns: a one-tile building on every other tile beside the streets.
        RegisterMapObjectClass(kCategoryBuilding, 6, [](int32_t) { return std::make_unique<StorageHall>(); });
        for (uint32_t i = 8; i < kSide - 8; i += 8)
            for (uint32_t x = 8; x < kSide - 8; x += 2)
                if (!map.IsWater(x, i + 1) && !map.IsWater(x, i)) {
                    auto* house = dynamic_cast<StorageHall*>(CreateMapObject(kCategoryBuilding, 6));
                    if (!house)
                        continue;
                    house->SetTypeIndex(0);
                    house->Place(int32_t(x), int32_t(i + 1), 6, 1, 1, 1);
                    ++houses;
                }
        MapViewOf().detailedTerrain = 0;
        EngineRect rect{0, 0, 1024, 768};
        Viewport::SetActive(0, true, &rect);
        Viewport::Select(0);
    }
    ~Scene() {
        scope.reset();
        GraphicSets::ReleaseAll();
        Engine::ReleaseEngine();
        VfsShutdown();
        TerrainTable::Clear();
        RouteBuilderTable::Clear();
        std::filesystem::remove_all(root);
    }
    void Zoom(int32_t level) {
        Viewport::SetZoomLevel(level);
        Viewport::CenterOn(int32_t(kSide / 2), int32_t(kSide / 2));
        RequestFullRedraw();
        RenderMapFrame();
    }

    static constexpr uint32_t kSide = 512;
    std::filesystem::path root;
    int32_t houses = 0;
    plat::NullRenderDevice device;
    World world;
    std::optional<WorldScope> scope;
};

// Scrolls the view as the keys and the mouse do: the origin moves and the
// map view is told by how much.
void ScrollBy(int32_t dx, int32_t dy) {
    const ScreenPoint o = Viewport::GetOrigin();
    Viewport::SetOrigin({o.x + dx, o.y + dy});
    RequestScroll(dx, dy);
}

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void Report(benchmark::State& state, Scene& s, uint64_t drawCalls) {
    const plat::DeviceStats& d = s.device.Stats();
    state.counters["draw_calls"] = benchmark::Counter(double(drawCalls), benchmark::Counter::kAvgIterations);
    state.counters["texture_and_state_changes"] =
        benchmark::Counter(double(d.textureBinds + d.stateChanges), benchmark::Counter::kAvgIterations);
    state.counters["blocks"] = double(MapViewFrameOf().terrainBlocksDrawn);
    state.counters["buildings"] = double(MapViewFrameOf().lists.buildings.size());
    (void)s;
}

void BM_FullFrame(benchmark::State& state) {
    Scene& s = TheScene();
    s.Zoom(int32_t(state.range(0)));
    s.device.ResetStats();
    for (auto _ : state) {
        RequestFullRedraw();
        RenderMapFrame();
    }
    Report(state, s, s.device.Stats().drawCalls);
}

void BM_ScrollFrame(benchmark::State& state) {
    Scene& s = TheScene();
    s.Zoom(int32_t(state.range(0)));
    s.device.ResetStats();
    int32_t sign = 1;
    for (auto _ : state) {
        ScrollBy(8 * sign, 0);
        sign = -sign;
        RenderMapFrame();
    }
    Report(state, s, s.device.Stats().drawCalls);
}

void BM_SteadyFrame(benchmark::State& state) {
    Scene& s = TheScene();
    s.Zoom(int32_t(state.range(0)));
    s.device.ResetStats();
    for (auto _ : state)
        RenderMapFrame();
    Report(state, s, s.device.Stats().drawCalls);
}

// The same terrain quads drawn straight from a prepared list of rectangles
// and the picture kept, as a full redraw does without walking the map.
void BM_PlainReference(benchmark::State& state) {
    Scene& s = TheScene();
    s.Zoom(int32_t(state.range(0)));
    std::vector<std::pair<TextureHandle, EngineRect>> quads;
    const MapViewFrame& f = MapViewFrameOf();
    for (const auto* list : {&f.landBlocks, &f.waterBlocks})
        for (const BlockRecord& b : *list)
            if (b.terrain && !b.terrain->textures.empty())
                quads.emplace_back(TextureHandle(b.terrain->textures[0]), b.rect);
    s.device.ResetStats();
    for (auto _ : state) {
        Engine::BeginFrame();
        for (const auto& [texture, rect] : quads)
            Engine::DrawQuadSimple(texture, rect, 1);
        Engine::SaveBackBuffer();
    }
    state.counters["blocks"] = double(quads.size());
    state.counters["draw_calls"] =
        benchmark::Counter(double(s.device.Stats().drawCalls), benchmark::Counter::kAvgIterations);
}

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// A scroll frame (only the uncovered strips redrawn over the kept picture)
// and a full redraw in each iteration, each timed apart.
void BM_ScrollVsFull(benchmark::State& state) {
    Scene& s = TheScene();
    s.Zoom(int32_t(state.range(0)));
    double scroll = 0, full = 0;
    int32_t sign = 1;
    for (auto _ : state) {
        const double t0 = CpuSeconds();
        ScrollBy(8 * sign, 8 * sign);
        sign = -sign;
        RenderMapFrame();
        const double t1 = CpuSeconds();
        RequestFullRedraw();
        RenderMapFrame();
        const double t2 = CpuSeconds();
        scroll += t1 - t0;
        full += t2 - t1;
    }
    state.counters["scroll_ms"] = benchmark::Counter(scroll * 1000, benchmark::Counter::kAvgIterations);
    state.counters["full_ms"] = benchmark::Counter(full * 1000, benchmark::Counter::kAvgIterations);
    state.counters["vs_full_frame"] = full > 0 ? scroll / full : 0;
}

// Zoom level 0 is the farthest, 14 the nearest.
BENCHMARK(BM_FullFrame)->Arg(0)->Arg(14);
BENCHMARK(BM_ScrollFrame)->Arg(0)->Arg(14);
BENCHMARK(BM_SteadyFrame)->Arg(0)->Arg(14);
BENCHMARK(BM_PlainReference)->Arg(0)->Arg(14);
BENCHMARK(BM_ScrollVsFull)->Arg(0)->Arg(14);

} // namespace

BENCHMARK_MAIN();
