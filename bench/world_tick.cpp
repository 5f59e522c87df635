// Milliseconds per tick of a headless game on a generated 512 x 512 map with
// its towns and factories and, on schedules, 500 road vehicles alone or the
// whole mix: 500 road vehicles, 100 trains on signalled lines, 30 ships and
// 30 aircraft. The lines are laid on free lots of the map; the vehicles are
// bought and scheduled by the game's commands. The reference is the same
// world before its vehicles are bought, ticked as long in the same run.
// Reported: p50 and p99 of the ms per tick, their ratios to the reference,
// per mode the vehicles bought, placed and moving in the measured ticks, and
// a hash of the world at the end (always after the same ticks).
#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "economy/city.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/vehicle_commands.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/transport/route_network.h"
#include "transport/route_planner.h"
#include "transport/route_search.h"
#include "transport/signals.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/game_settings.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMapSize = 512;
constexpr uint32_t kSeed = 4242;
// The bench's own vehicle types, one per mode, past the shipped rows.
constexpr int32_t kFirstType = 900;
// A lot: two stations apart by its width less 12 tiles and the way between
// them; road lines take smaller lots than the others.
struct LotSize {
    uint32_t width, height;
};
constexpr LotSize kLot = {36, 12};
constexpr LotSize kRoadLot = {24, 8};
constexpr uint32_t kFrameMs = 25;
// Ticks before the measurement (the vehicles are placed and set off), and
// the measured ticks; the same for the reference.
constexpr uint32_t kWarmUpTicks = 400;
constexpr uint32_t kMeasuredTicks = 12000;

struct Mix {
    const char* name;
    // Lines per mode (road, rail, water, air) and vehicles per line.
    uint32_t lines[4];
    uint32_t perLine[4];
};

// Few vehicles per line, so that every one finds a free bay to be placed
// in and room to run.
const Mix kMixes[] = {
    {"road", {100, 0, 0, 0}, {5, 0, 0, 0}},
    {"all", {100, 20, 5, 5}, {5, 5, 6, 6}},
};

// The world hash of the mix after its ticks, as the straightforward code
// gives it (with the shipped game data); 0 where none is written down.
constexpr uint32_t kExpectedHash[] = {2481521111u, 2854760687u};

struct Line {
    int32_t mode = 0;
    Station* a = nullptr;
    Station* b = nullptr;
};

// The first station kind of the mode that has a load point, set up at
// (x, y); null when the data has none.
Station* StationOf(int32_t mode, int32_t x, int32_t y) {
    for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
        const StationRow* row = StationTable::Find(kind);
        if (!row || row->ConnectionType != mode)
            continue;
        auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
        station->SetUp(0, 1, kind, x, y);
        LayoutTile tile;
        if (station->GetLoadPoint(1, tile))
            return station;
        DeleteMapObject(station->GetId());
    }
    return nullptr;
}

// Free lots of the map, found in row order: plain land without water,
// buildings or ways, apart from each other by a tile.
// `used` marks the tiles of lots found before.
std::vector<std::pair<uint32_t, uint32_t>> FindLots(uint32_t wanted, LotSize size,
                                                    std::vector<uint8_t>& used) {
    const uint32_t kLotWidth = size.width, kLotHeight = size.height;
    const WorldMap& map = GetWorldMap();
    const uint32_t w = map.GetWidth(), h = map.GetHeight();
    // Counts of taken cells above and left of each corner.
    std::vector<uint32_t> sum(size_t(w + 1) * (h + 1), 0);
    auto at = [&](uint32_t x, uint32_t y) -> uint32_t& { return sum[size_t(y) * (w + 1) + x]; };
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t kind = map.GetCellKind(x, y);
            // Landscape decorations (trees, rocks) give way to the lines.
            const bool taken = (kind != kCellPlain && kind != kCellDecoration) || map.IsWater(x, y);
            at(x + 1, y + 1) = at(x, y + 1) + at(x + 1, y) - at(x, y) + (taken ? 1 : 0);
        }
    auto takenIn = [&](uint32_t x, uint32_t y, uint32_t rw, uint32_t rh) {
        return at(x + rw, y + rh) - at(x, y + rh) - at(x + rw, y) + at(x, y);
    };
    used.resize(size_t(w) * h, 0);
    std::vector<std::pair<uint32_t, uint32_t>> lots;
    for (uint32_t y = 2; y + kLotHeight + 2 < h && lots.size() < wanted; ++y)
        for (uint32_t x = 2; x + kLotWidth + 2 < w && lots.size() < wanted; ++x) {
            if (used[size_t(y) * w + x] || used[size_t(y) * w + x + kLotWidth - 1] ||
                used[size_t(y + kLotHeight - 1) * w + x] ||
                used[size_t(y + kLotHeight - 1) * w + x + kLotWidth - 1])
                continue;
            if (takenIn(x - 1, y - 1, kLotWidth + 2, kLotHeight + 2) != 0)
                continue;
            bool overlaps = false;
            for (uint32_t ty = y - 1; ty < y + kLotHeight + 1 && !overlaps; ++ty)
                for (uint32_t tx = x - 1; tx < x + kLotWidth + 1 && !overlaps; ++tx)
                    overlaps = used[size_t(ty) * w + tx] != 0;
            if (overlaps)
                continue;
            lots.push_back({x, y});
            for (uint32_t ty = y - 1; ty < y + kLotHeight + 1; ++ty)
                for (uint32_t tx = x - 1; tx < x + kLotWidth + 1; ++tx)
                    used[size_t(ty) * w + tx] = 1;
        }
    return lots;
}

struct Scene {
    Game game;
    TownWorldHooks world;
    std::vector<Line> lines;
    std::string error;

    explicit Scene(const Mix& mix) {
        SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        if (!LoadGameTexts("gamedata", false)) {
            error = "the default game data cannot be read";
            return;
        }
        std::string text;
        plat::ReadWholeFile("gamedata/station_config.txt", text);
        GetStationLayouts().Clear();
        GetStationLayouts().Read(text, "station_config.txt");
        ConnectWorldModel(game, world);
        InstallTownsAndIndustry(game);
        StartGame(game, 1);
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = kMapSize;
        options.seed = kSeed;
        if (!GenerateNewWorld(game, options)) {
            error = "the default game data cannot make a map";
            return;
        }
        for (int32_t mode = 0; mode < 4; ++mode) {
            VehicleRow* row = VehicleTable::GetOrCreateRow(kFirstType + mode);
            row->Name = "Bench vehicle " + std::to_string(mode);
            row->ConnectionType = mode;
            row->VehicleType = mode == 1 ? 6 : mode == 3 ? 14 : 1;
            row->PurchasePrice = 100;
            row->TravelTimeMsPerSquare = 200;
            row->PassengerCapacity = 20;
            row->Reliability = 1;
        }
        if (Player* player = GetPlayer(0))
            player->Pay(1000000000, -1, 0);
        LayLines(mix);
    }

    ~Scene() {
        ResetWorld(game);
        UninstallTownsAndIndustry();
    }

    void LayLines(const Mix& mix) {
        // The large lots first, then the road lots in what is left.
        std::vector<uint8_t> used;
        const uint32_t wanted = mix.lines[1] + mix.lines[2] + mix.lines[3];
        const auto lots = FindLots(wanted, kLot, used);
        const auto roadLots = FindLots(mix.lines[0], kRoadLot, used);
        if (lots.size() < wanted || roadLots.size() < mix.lines[0]) {
            error = "the map has room for " + std::to_string(lots.size()) + " of " + std::to_string(wanted) +
                    " lines and " + std::to_string(roadLots.size()) + " of " + std::to_string(mix.lines[0]) +
                    " road lines";
            return;
        }
        CreateRoutePlanners();
        RouteNetwork net;
        size_t lot = 0;
        for (int32_t mode = 0; mode < 4; ++mode)
            for (uint32_t i = 0; i < mix.lines[mode]; ++i) {
                const auto [x0, y0] = mode == 0 ? roadLots[i] : lots[lot++];
                const LotSize size = mode == 0 ? kRoadLot : kLot;
                Line line{mode, StationOf(mode, int32_t(x0 + 2), int32_t(y0 + 2)),
                          StationOf(mode, int32_t(x0 + size.width - 10), int32_t(y0 + 2))};
                LayoutTile pa, pb;
                if (!line.a || !line.b || !line.a->GetLoadPoint(1, pa) || !line.b->GetLoadPoint(1, pb)) {
                    error = "no station of mode " + std::to_string(mode);
                    return;
                }
                const uint32_t bend = y0 + size.height - 2;
                const std::initializer_list<std::pair<uint32_t, uint32_t>> points = {
                    {uint32_t(pa.x), uint32_t(pa.y)},
                    {uint32_t(pa.x), bend},
                    {uint32_t(pb.x), bend},
                    {uint32_t(pb.x), uint32_t(pb.y)}};
                if (mode == 0) {
                    net.Path(0, points);
                } else if (mode == 1) {
                    net.Path(1, {{uint32_t(pa.x), uint32_t(pa.y)}, {uint32_t(pb.x), uint32_t(pb.y)}});
                } else if (mode == 2) {
                    const std::pair<uint32_t, uint32_t>* previous = nullptr;
                    for (const auto& p : points) {
                        if (previous)
                            for (uint32_t y = std::min(previous->second, p.second);
                                 y <= std::max(previous->second, p.second); ++y)
                                for (uint32_t x = std::min(previous->first, p.first);
                                     x <= std::max(previous->first, p.first); ++x)
                                    GetWorldMap().SetRouteKind(x, y, 4);
                        previous = &p;
                    }
                }
                lines.push_back(line);
            }
        net.Apply();
        for (const Line& line : lines)
            for (Station* station : {line.a, line.b}) {
                UpdateMapTiles(*station);
                station->PlaceFootprint(false);
            }
        RebuildRoutePlannerGraph(0);
        RebuildRoutePlannerGraph(1);
        NoteWaterNetworkChanged();
        // A signal halfway along each rail line.
        for (const Line& line : lines) {
            LayoutTile pa, pb;
            if (line.mode != 1 || !line.a->GetLoadPoint(1, pa) || !line.b->GetLoadPoint(1, pb))
                continue;
            CreateSignal(uint32_t(pa.x + pb.x) / 2, uint32_t(pa.y), 0);
        }
        RefreshSignalsIfDirty();
    }

    // Buys the mix's vehicles by command and schedules each on its line,
    // every second one the other way round.
    void BuyVehicles(const Mix& mix) {
        for (const Line& line : lines)
            for (uint32_t k = 0; k < mix.perLine[line.mode]; ++k) {
                const size_t before = AllVehicles().size();
                BuyVehicleCommand buy(uint32_t(kFirstType + line.mode), 0, 1, 0);
                game.Post(buy);
                game.DrainCommands();
                if (AllVehicles().size() != before + 1) {
                    error = "a vehicle cannot be bought";
                    return;
                }
                Vehicle* vehicle = AllVehicles().back();
                VehicleSchedule form(false, 0);
                form.InsertStationStop(0, (k % 2 ? line.b : line.a)->GetId(), 0, 1);
                form.InsertStationStop(1, (k % 2 ? line.a : line.b)->GetId(), 0, 1);
                std::vector<uint8_t> flat;
                form.WriteFlat(flat, kMaxPayloadSize);
                SetScheduleCommand set(vehicle->GetId(), flat);
                game.Post(set);
                game.DrainCommands();
                if (!vehicle->GetSchedule()) {
                    error = "a vehicle cannot be scheduled";
                    return;
                }
            }
    }

    // Runs the ticks, one per frame, and gives each one's time in ms.
    std::vector<double> Run(uint32_t ticks) {
        std::vector<double> times;
        times.reserve(ticks);
        for (uint32_t i = 0; i < ticks; ++i) {
            game.AdvanceFrame(kFrameMs);
            const auto t0 = std::chrono::steady_clock::now();
            game.Step();
            const auto t1 = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        return times;
    }

    uint32_t Hash() {
        std::vector<uint8_t> bytes;
        uint32_t hash = 0;
        std::string reason;
        if (!SaveGameToMemory(game, bytes) || !HashSavedGame(bytes, hash, reason))
            return 0;
        return hash;
    }
};

double Percentile(std::vector<double> times, double p) {
    if (times.empty())
        return 0;
    std::sort(times.begin(), times.end());
    const size_t at = std::min(times.size() - 1, size_t(p * double(times.size() - 1) + 0.5));
    return times[at];
}

void BM_WorldTick(benchmark::State& state) {
    const size_t index = size_t(state.range(0));
    const Mix& mix = kMixes[index];
    state.SetLabel(mix.name);
    for (auto _ : state) {
        Scene scene(mix);
        if (!scene.error.empty()) {
            state.SkipWithError(scene.error.c_str());
            return;
        }
        // The reference: the same world with its lines and no vehicles.
        scene.Run(kWarmUpTicks);
        const std::vector<double> reference = scene.Run(kMeasuredTicks);
        scene.BuyVehicles(mix);
        if (!scene.error.empty()) {
            state.SkipWithError(scene.error.c_str());
            return;
        }
        scene.Run(kWarmUpTicks);
        std::map<ObjectHandle, uint32_t> travelled;
        for (Vehicle* vehicle : AllVehicles())
            travelled[vehicle->GetId()] = vehicle->GetTilesTravelled();
        const std::vector<double> ticks = scene.Run(kMeasuredTicks);
        const uint32_t hash = scene.Hash();
        const double p50 = Percentile(ticks, 0.5), p99 = Percentile(ticks, 0.99);
        const double r50 = Percentile(reference, 0.5), r99 = Percentile(reference, 0.99);
        // Per mode: bought, placed (on the map, in a running state) and
        // moved during the measured ticks.
        uint32_t bought[4] = {}, placed[4] = {}, moved[4] = {};
        for (Vehicle* vehicle : AllVehicles()) {
            const uint32_t mode = uint32_t(vehicle->GetConnectionType()) & 3;
            ++bought[mode];
            placed[mode] += vehicle->GetState() > 1 ? 1 : 0;
            auto it = travelled.find(vehicle->GetId());
            moved[mode] += it != travelled.end() && vehicle->GetTilesTravelled() > it->second ? 1 : 0;
        }
        static const char* const kModeNames[4] = {"road", "rail", "water", "air"};
        for (uint32_t mode = 0; mode < 4; ++mode) {
            if (bought[mode] == 0)
                continue;
            const std::string name = kModeNames[mode];
            state.counters[name] = double(bought[mode]);
            state.counters[name + "_placed"] = double(placed[mode]);
            state.counters[name + "_moved"] = double(moved[mode]);
        }
        state.counters["p50_ms"] = p50;
        state.counters["p99_ms"] = p99;
        state.counters["ref_p50_ms"] = r50;
        state.counters["ref_p99_ms"] = r99;
        state.counters["p50_vs_ref"] = r50 > 0 ? p50 / r50 : 0;
        state.counters["p99_vs_ref"] = r99 > 0 ? p99 / r99 : 0;
        state.counters["end_hash"] = double(hash);
        // Optimised code must end in the hash that the plain code gave.
        if (kExpectedHash[index] != 0 && hash != kExpectedHash[index])
            std::fprintf(stderr, "world_tick %s: end hash %u differs from the recorded %u\n", mix.name, hash,
                         kExpectedHash[index]);
        state.counters["hash_as_recorded"] = kExpectedHash[index] == hash ? 1 : 0;
    }
}
// One run each: the scene is built and ticked once, so that the end hash
// always comes after the same ticks.
BENCHMARK(BM_WorldTick)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
