// Saving and loading whole games on worlds generated from the default game
// data (islands, towns, factories), 512 and 2048 tiles a side, to and from
// a file in the temporary folder. Beside each, in the same run, the least
// the same file costs: its bytes stored (or loaded) through the chunk
// stream as one field and written to (or read from) the same file; the
// counter x_reference is the game's time over that reference's.
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "files/memory_stream.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "world/game_settings.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string SavePath(int64_t size, const char* what) {
    return (std::filesystem::temp_directory_path() /
            ("md-bench-game-" + std::to_string(size) + "-" + what + ".mds"))
        .string();
}

// The world lives once per process: the game of the size last asked for,
// generated from a fixed seed and run for a few seconds of game time.
struct BenchWorld {
    Game game;
    TownWorldHooks world;
    uint32_t size = 0;
    bool ready = false;

    BenchWorld() {
        SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        ready = LoadGameTexts("gamedata", false);
        ConnectWorldModel(game, world);
        InstallTownsAndIndustry(game);
        StartGame(game, 1);
    }

    bool MakeGame(uint32_t side) {
        if (!ready)
            return false;
        if (side == size)
            return true;
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = side;
        options.seed = 4242;
        size = 0;
        if (!GenerateNewWorld(game, options))
            return false;
        for (int i = 0; i < 100; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
        size = side;
        return true;
    }
};

BenchWorld& World() {
    static BenchWorld* world = new BenchWorld;
    return *world;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

constexpr uint32_t kReferenceTag = ChunkTag("data");

// The reference of a save: the bytes stored through the chunk stream as
// one chunk, then written to the file as the game's save writes them.
bool StoreReference(const std::vector<uint8_t>& image, const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string header(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    if (!BeginSaveStream(OpenMemoryWriteStream(bytes), header, version))
        return false;
    uint32_t tag = kReferenceTag;
    BeginChunk(tag);
    TransferInChunk(const_cast<uint8_t*>(image.data()), uint32_t(image.size()));
    EndChunk();
    if (!CloseStream())
        return false;
    plat::AtomicFileWriter writer(path);
    return writer.Open() && writer.Write(bytes.data(), bytes.size()) && writer.Commit();
}

// The reference of a load: the reference file of the same bytes read
// through the chunk stream into one buffer.
bool LoadReference(const std::string& path, std::vector<uint8_t>& buffer) {
    std::string header;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenFileReadStream(path), header, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool whole = tag == kReferenceTag &&
                       TransferInChunk(buffer.data(), uint32_t(buffer.size())) == uint32_t(buffer.size());
    EndChunk();
    return CloseStream() && whole;
}

void BM_SaveGame(benchmark::State& state) {
    BenchWorld& w = World();
    if (!w.MakeGame(uint32_t(state.range(0)))) {
        state.SkipWithError("the default game data cannot make a map");
        return;
    }
    const std::string path = SavePath(state.range(0), "save");
    const std::string referencePath = SavePath(state.range(0), "reference");
    std::vector<uint8_t> image;
    SaveGameToMemory(w.game, image);
    std::chrono::steady_clock::duration game{}, reference{};
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        const bool saved = SaveGame(w.game, path);
        game += std::chrono::steady_clock::now() - start;
        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        const bool stored = StoreReference(image, referencePath);
        reference += std::chrono::steady_clock::now() - start;
        if (!saved || !stored) {
            state.SkipWithError(saved ? "the reference failed" : "the save failed");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["MB"] = double(image.size()) / (1024.0 * 1024.0);
    state.counters["x_reference"] = Seconds(game) / Seconds(reference);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
    std::filesystem::remove(path);
    std::filesystem::remove(referencePath);
}
BENCHMARK(BM_SaveGame)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

// Loads of the world's saved game, each after prepare (untimed); when
// prepare is none, each replaces the running game of the same size, as a
// player's load does.
void MeasureLoads(benchmark::State& state, const std::function<void(Game&)>& prepare) {
    BenchWorld& w = World();
    if (!w.MakeGame(uint32_t(state.range(0)))) {
        state.SkipWithError("the default game data cannot make a map");
        return;
    }
    const std::string path = SavePath(state.range(0), "load");
    const std::string referencePath = SavePath(state.range(0), "load-reference");
    std::vector<uint8_t> image;
    if (!SaveGame(w.game, path) || !SaveGameToMemory(w.game, image) ||
        !StoreReference(image, referencePath)) {
        state.SkipWithError("the save failed");
        return;
    }
    std::vector<uint8_t> buffer(image.size());
    std::chrono::steady_clock::duration game{}, reference{};
    for (auto _ : state) {
        if (prepare) {
            state.PauseTiming();
            prepare(w.game);
            state.ResumeTiming();
        }
        auto start = std::chrono::steady_clock::now();
        const bool loaded = LoadGame(w.game, path);
        game += std::chrono::steady_clock::now() - start;
        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        const bool read = LoadReference(referencePath, buffer);
        reference += std::chrono::steady_clock::now() - start;
        if (!loaded || !read) {
            state.SkipWithError(loaded ? "the reference failed" : "the load failed");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["MB"] = double(buffer.size()) / (1024.0 * 1024.0);
    state.counters["x_reference"] = Seconds(game) / Seconds(reference);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buffer.size()));
    std::filesystem::remove(path);
    std::filesystem::remove(referencePath);
}

void BM_LoadGame(benchmark::State& state) {
    MeasureLoads(state, nullptr);
}
BENCHMARK(BM_LoadGame)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

// A load over the empty new game that the program starts with, as
// `marrowdale --load` does.
void BM_LoadGameAtStart(benchmark::State& state) {
    MeasureLoads(state, [](Game& game) { NewGameInit(game); });
}
BENCHMARK(BM_LoadGameAtStart)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

// A field of /proc/self/status in megabytes ("VmRSS", "VmHWM"); 0 when absent.
double StatusMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        unsigned long long kilobytes = 0;
        if (line.rfind(field + ":", 0) == 0 &&
            std::sscanf(line.c_str() + field.size() + 1, "%llu", &kilobytes) == 1)
            return double(kilobytes) / 1024.0;
    }
    return 0;
}

// Peak memory of loading a game over a running one of the same size: how
// far the process's resident peak rises above the running game while the
// load runs, against the saved game's size. The peak is reset before each
// load (Linux clear_refs), so each load is measured on its own.
void BM_LoadGamePeak(benchmark::State& state) {
    BenchWorld& w = World();
    if (!w.MakeGame(uint32_t(state.range(0)))) {
        state.SkipWithError("the default game data cannot make a map");
        return;
    }
    const std::string path = SavePath(state.range(0), "peak");
    if (!SaveGame(w.game, path)) {
        state.SkipWithError("the save failed");
        return;
    }
    const double fileMegabytes = double(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    double running = 0, peak = 0;
    for (auto _ : state) {
        running = StatusMegabytes("VmRSS");
        std::ofstream("/proc/self/clear_refs") << "5";
        if (!LoadGame(w.game, path))
            state.SkipWithError("the load failed");
        peak = StatusMegabytes("VmHWM");
    }
    state.counters["file_MB"] = fileMegabytes;
    state.counters["running_MB"] = running;
    state.counters["above_running_MB"] = peak - running;
    state.counters["above_per_file"] = fileMegabytes > 0 ? (peak - running) / fileMegabytes : 0;
    state.counters["process_per_file"] = fileMegabytes > 0 ? peak / fileMegabytes : 0;
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadGamePeak)->Arg(2048)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
