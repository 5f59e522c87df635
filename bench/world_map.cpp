// The tile map and the object manager at full size: random cell reads on a
// 2048 x 2048 map, saving and loading that map, and creating and deleting
// objects by the hundred thousand.
#include "world/world_map.h"
#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_sections.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSize = 2048;

// A full map: every sixteenth row a track, every sixteenth column a road,
// their meeting points crossings, decorations between.
void BuildMap() {
    ResetWorldState();
    WorldMap& map = GetWorldMap();
    map.SetMapSize(kSize, kSize);
    for (uint32_t y = 0; y < kSize; y += 16)
        for (uint32_t x = 0; x < kSize; ++x) {
            map.SetRouteKindAndClear(x, y, 1);
            map.SetTrackDirections(x, y, 10);
        }
    for (uint32_t x = 0; x < kSize; x += 16)
        for (uint32_t y = 0; y < kSize; ++y)
            map.PlaceTownRoad(x, y, 5);
    for (uint32_t y = 3; y < kSize; y += 8)
        for (uint32_t x = 3; x < kSize; x += 4)
            map.PlaceDecoration(x, y, x % 100, 0);
}

uint64_t PeakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return uint64_t(usage.ru_maxrss) * 1024;
}

void BM_RandomCellReads(benchmark::State& state) {
    BuildMap();
    WorldMap& map = GetWorldMap();
    std::vector<uint32_t> coords(1 << 20);
    uint32_t s = 12345;
    for (uint32_t& c : coords) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        c = s;
    }
    size_t i = 0;
    uint64_t sum = 0;
    for (auto _ : state) {
        uint32_t c = coords[i++ & (coords.size() - 1)];
        uint32_t x = c & (kSize - 1), y = (c >> 11) & (kSize - 1);
        sum += map.IsWater(x, y) + map.GetTrackDirections(x, y) + uint32_t(map.GetEdgeHeight(x, y, 2, true));
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(int64_t(state.iterations()) * 3);
    // Shown in seconds with an SI prefix: "n" per access.
    state.counters["time_per_access"] = benchmark::Counter(
        double(state.iterations()) * 3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RandomCellReads);

void BM_SaveLoadFullMap(benchmark::State& state) {
    BuildMap();
    CreateGameClock(1);
    // Through a file, as the game saves: the stream's buffer is all the
    // memory it adds to the world's.
    std::string path = (std::filesystem::temp_directory_path() / "md_bench_world.mds").string();
    uint64_t moved = 0, fileSize = 0;
    for (auto _ : state) {
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        BeginSaveStream(OpenFileWriteStream(path), text, version);
        SaveWorldSections();
        if (!CloseStream())
            state.SkipWithError("save failed");
        BeginSaveStream(OpenFileReadStream(path), text, version);
        if (!LoadWorldSections())
            state.SkipWithError("load failed");
        CloseStream();
        fileSize = std::filesystem::file_size(path);
        moved += 2 * fileSize;
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(int64_t(moved));
    state.counters["file_MB"] = double(fileSize) / (1 << 20);
    state.counters["grid_MB"] = double(kSize) * kSize * sizeof(WorldCell) / (1 << 20);
    state.counters["peak_rss_MB"] = double(PeakRssBytes()) / (1 << 20);
}
BENCHMARK(BM_SaveLoadFullMap)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ObjectChurn(benchmark::State& state) {
    ResetWorldState();
    for (auto _ : state) {
        std::vector<ObjectHandle> ids;
        ids.reserve(200000);
        for (int i = 0; i < 200000; ++i)
            ids.push_back(CreateMapObject(1, 0)->GetId());
        for (size_t i = 0; i < ids.size(); i += 2)
            DeleteMapObject(ids[i]);
        for (int i = 0; i < 100000; ++i)
            benchmark::DoNotOptimize(CreateMapObject(1, 0));
        state.PauseTiming();
        DeleteAllMapObjects();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ObjectChurn)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
