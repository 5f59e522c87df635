// The tile map and the object manager at full size: random and sequential
// cell reads on a 2048 x 2048 map beside the same reads of a plain array,
// saving and loading that map, and creating and deleting objects by the
// hundred thousand.
#include "world/world_map.h"
#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_sections.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSize = 2048;

// A full map: land with bands of water, every sixteenth row a track, every
// sixteenth column a road, their meeting points crossings, decorations
// between.
void BuildMap() {
    ResetWorldState();
    TerrainTable::GetOrCreateRow(1);
    TerrainRow* water = TerrainTable::GetOrCreateRow(2);
    water->IsWater = water->IsNavigable = 1;
    WorldMap& map = GetWorldMap();
    map.SetMapSize(kSize, kSize);
    // A lake in every sixty-fourth block of rows.
    for (uint32_t y = 40; y < kSize; y += 64)
        for (uint32_t dy = 0; dy < 8; ++dy)
            for (uint32_t x = 0; x < kSize; ++x)
                map.CellAt(x, y + dy)->SetTerrainIndex(2);
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

// What the three reads answer, kept as a plain array of 8-byte cells would
// keep it: the reference the map's reads are measured beside.
struct PlainCell {
    uint8_t water = 0;
    uint8_t trackDirections = 0;
    int8_t edgeHeight = 0;
    uint8_t unused[5] = {};
};
static_assert(sizeof(PlainCell) == 8);

// Reads water, track directions and an edge height at each cell of a batch,
// first through the map and then from a plain array with the same
// coordinates, timing each; reports the time of one cell's three reads
// both ways and their ratio.
void CellReadsBesidePlainArray(benchmark::State& state, bool sequential) {
    BuildMap();
    const WorldMap& map = GetWorldMap();
    std::vector<PlainCell> plain(size_t(kSize) * kSize);
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x) {
            PlainCell& cell = plain[size_t(y) * kSize + x];
            cell.water = map.IsWater(x, y) ? 1 : 0;
            cell.trackDirections = uint8_t(map.GetTrackDirections(x, y));
            cell.edgeHeight = int8_t(map.GetEdgeHeight(x, y, 2, true));
        }
    std::vector<uint32_t> coords(1 << 20);
    uint32_t s = 12345;
    for (size_t i = 0; i < coords.size(); ++i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        // x in bits 0-10, y in bits 11-21.
        coords[i] = sequential ? uint32_t(i) : s;
    }
    constexpr size_t kBatch = 4096;
    using Clock = std::chrono::steady_clock;
    Clock::duration mapTime{}, plainTime{};
    uint64_t mapSum = 0, plainSum = 0, cells = 0;
    size_t next = 0;
    for (auto _ : state) {
        const size_t first = next;
        next = (next + kBatch) & (coords.size() - 1);
        const Clock::time_point t0 = Clock::now();
        uint64_t sum = 0;
        for (size_t i = first; i < first + kBatch; ++i) {
            const uint32_t c = coords[i];
            const uint32_t x = c & (kSize - 1), y = (c >> 11) & (kSize - 1);
            sum +=
                map.IsWater(x, y) + map.GetTrackDirections(x, y) + uint32_t(map.GetEdgeHeight(x, y, 2, true));
        }
        mapSum += sum;
        const Clock::time_point t1 = Clock::now();
        sum = 0;
        for (size_t i = first; i < first + kBatch; ++i) {
            const uint32_t c = coords[i];
            const uint32_t x = c & (kSize - 1), y = (c >> 11) & (kSize - 1);
            const PlainCell& cell = plain[size_t(y) * kSize + x];
            sum += cell.water + cell.trackDirections + uint32_t(int32_t(cell.edgeHeight));
        }
        plainSum += sum;
        const Clock::time_point t2 = Clock::now();
        mapTime += t1 - t0;
        plainTime += t2 - t1;
        cells += kBatch;
    }
    benchmark::DoNotOptimize(mapSum);
    benchmark::DoNotOptimize(plainSum);
    if (mapSum != plainSum)
        state.SkipWithError("the map and the plain array disagree");
    const double mapNs = std::chrono::duration<double, std::nano>(mapTime).count();
    const double plainNs = std::chrono::duration<double, std::nano>(plainTime).count();
    state.SetItemsProcessed(int64_t(cells) * 3);
    state.counters["map_ns_per_cell"] = cells ? mapNs / double(cells) : 0.0;
    state.counters["plain_ns_per_cell"] = cells ? plainNs / double(cells) : 0.0;
    state.counters["map_to_plain"] = plainNs > 0 ? mapNs / plainNs : 0.0;
}

void BM_RandomCellReads(benchmark::State& state) {
    CellReadsBesidePlainArray(state, false);
}
BENCHMARK(BM_RandomCellReads);

void BM_SequentialCellReads(benchmark::State& state) {
    CellReadsBesidePlainArray(state, true);
}
BENCHMARK(BM_SequentialCellReads);

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
