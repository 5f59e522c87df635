// Steps of 1000 road vehicles driving round a lattice of roads: the
// moving-object update with its per-tile lanes and incremental look-ahead,
// beside a plain reference that finds the vehicle ahead by scanning every
// vehicle's tiles. Reported as ns per vehicle-step and as their ratio.
#include "data/database.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/route_planner.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_motion.h"
#include "vehicles/vehicle_services.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t kType = 900;
constexpr uint32_t kSide = 128;
constexpr uint32_t kSpacing = 8;
constexpr uint32_t kTileMs = 200;

// Every vehicle's tiles looked at to find who stands on the tile ahead.
ObjectHandle NaiveVehicleAhead(const std::vector<Vehicle*>& all, const Vehicle& self) {
    RouteCursor cursor;
    if (!self.StartRouteCursor(cursor) || !self.NextRouteTile(cursor))
        return 0;
    for (const Vehicle* other : all) {
        if (other == &self)
            continue;
        const auto& trail = other->Trail();
        for (uint32_t i = 0; i < other->GetOccupiedLength(); ++i)
            if (trail[i].x == cursor.x && trail[i].y == cursor.y)
                return other->GetId();
    }
    return 0;
}

struct Scene {
    Game game;
    VehicleWorldHooks hooks;
    std::vector<Vehicle*> vehicles;
    uint32_t now = 0;

    explicit Scene(uint32_t count) {
        std::string text;
        plat::ReadWholeFile("gamedata/config/MDConfig.gen", text);
        GetDatabase().Init();
        GetDatabase().Read(text);
        GetDatabase().ApplyAllTables(KindSelector::All);
        plat::ReadWholeFile("gamedata/station_config.txt", text);
        GetStationLayouts().Clear();
        GetStationLayouts().Read(text, "station_config.txt");
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        WorldMap& map = GetWorldMap();
        map.SetMapSizeNoReset(kSide, kSide);
        VehicleRow* row = VehicleTable::GetOrCreateRow(kType);
        row->Name = "Bench bus";
        row->ConnectionType = 0;
        row->VehicleType = 1;
        row->TravelTimeMsPerSquare = kTileMs;
        // A lattice of roads every kSpacing tiles.
        for (uint32_t y = 1; y < kSide - 1; ++y)
            for (uint32_t x = 1; x < kSide - 1; ++x) {
                const bool onRow = (y - 1) % kSpacing == 0, onColumn = (x - 1) % kSpacing == 0;
                if (!onRow && !onColumn)
                    continue;
                uint32_t mask = 0;
                if (onColumn && y > 1)
                    mask |= 1;
                if (onColumn && y + 2 < kSide)
                    mask |= 4;
                if (onRow && x > 1)
                    mask |= 8;
                if (onRow && x + 2 < kSide)
                    mask |= 2;
                map.SetRouteKind(x, y, 2);
                map.SetRoadDirections(x, y, mask);
            }
        // One schedule between two stops keeps the vehicles running; they
        // are put straight onto the lattice, each on its own loop.
        auto* a = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
        auto* b = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
        a->SetUp(0, 1, 0, 2, 2);
        b->SetUp(0, 1, 0, 20, 2);
        VehicleSchedule form(false, 0);
        form.InsertStationStop(0, a->GetId(), 0, 1);
        form.InsertStationStop(1, b->GetId(), 0, 1);
        const uint32_t cells = (kSide - 2) / kSpacing;
        for (uint32_t i = 0; i < count; ++i) {
            auto* v = dynamic_cast<Vehicle*>(CreateMapObject(kCategoryMoving, kVehicleSubtype));
            v->Init(kType, 0, 0);
            v->SetSchedule(&form);
            const uint32_t cx = i % cells, cy = (i / cells) % cells;
            const int32_t x0 = int32_t(1 + cx * kSpacing), y0 = int32_t(1 + cy * kSpacing);
            const int32_t x1 = x0 + int32_t(kSpacing), y1 = y0 + int32_t(kSpacing);
            // A long way round the cell's block, clockwise.
            auto route = std::make_unique<WaypointList>();
            for (uint32_t lap = 0; lap < 64; ++lap) {
                route->Add(uint32_t(x1), uint32_t(y0));
                route->Add(uint32_t(x1), uint32_t(y1));
                route->Add(uint32_t(x0), uint32_t(y1));
                route->Add(uint32_t(x0), uint32_t(y0));
            }
            const int32_t start = int32_t(i / (cells * cells)) % int32_t(kSpacing);
            v->SetState(kStateMoving);
            v->SetHead(x0 + start, y0);
            v->SetRoute(std::move(route));
            v->SetRoutePosition(0);
            v->ClaimLanes();
            v->WakeNow();
            vehicles.push_back(v);
        }
    }
};

void VehicleSteps(benchmark::State& state) {
    Scene scene(uint32_t(state.range(0)));
    double stepped = 0, reference = 0;
    uint64_t steps = 0, blocked = 0;
    for (auto _ : state) {
        scene.now += kTileMs;
        const auto t0 = std::chrono::steady_clock::now();
        UpdateMovingObjects(scene.now);
        const auto t1 = std::chrono::steady_clock::now();
        for (Vehicle* v : scene.vehicles)
            blocked += NaiveVehicleAhead(scene.vehicles, *v) != 0;
        const auto t2 = std::chrono::steady_clock::now();
        stepped += std::chrono::duration<double, std::nano>(t1 - t0).count();
        reference += std::chrono::duration<double, std::nano>(t2 - t1).count();
        steps += scene.vehicles.size();
    }
    benchmark::DoNotOptimize(blocked);
    // Per vehicle and update round (a round of one tile's time, in which
    // each vehicle that is due takes its step).
    const double n = double(std::max<uint64_t>(steps, 1));
    state.counters["step_ns"] = stepped / n;
    state.counters["scan_all_ns"] = reference / n;
    state.counters["vs_reference"] = reference > 0 ? stepped / reference : 0;
}

BENCHMARK(VehicleSteps)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
