// The sprite cache on a graphics tree of 1000 number folders with 10
// pictures each: the first fetch of keys (folder searches, decoding and
// textures on the Null render device) and repeated fetches of cached keys.
#include <benchmark/benchmark.h>

#include "data/file_locations.h"
#include "engine/engine_state.h"
#include "engine/graphic_sets.h"
#include "engine/surfaces.h"
#include "engine/tga_writer.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "platform/null_render_device.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

constexpr int32_t kKind = 3;
constexpr int32_t kNumbers = 1000;
constexpr int32_t kFrames = 10;

struct Tree {
    Tree() {
        root = std::filesystem::temp_directory_path() / ("md_sprite_bench_" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        const std::vector<uint8_t> picture = WriteTga(std::vector<uint32_t>(64 * 32, 0xFF336699), 64, 32);
        for (int32_t n = 0; n < kNumbers; ++n) {
            char folder[64];
            std::snprintf(folder, sizeof folder, "gfx/%03d_set", n);
            std::filesystem::create_directories(root / folder);
            for (int32_t f = 0; f < kFrames; ++f) {
                char name[64];
                std::snprintf(name, sizeof name, "%03d_0_%02d_00_00_pic.tga", n, f);
                std::ofstream(root / folder / name, std::ios::binary)
                    .write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
            }
        }
        RegisterStandardSourceTypes();
        VfsAddSource("file", root.string());
        VfsAddVirtualDir("gfx", "gfx");
        TexturesTable::SetVirtualDirName(kKind, "gfx");
        EngineState& s = Engine::State();
        s.device = &device;
        s.errorCallback = nullptr;
        Engine::ResetPixelFormats();
        for (int32_t f = 0; f < 6; ++f)
            s.formats[size_t(f)].supported = 1;
        Engine::SetDisplayFormat(kFormat565);
    }
    ~Tree() {
        GraphicSets::ReleaseAll();
        Engine::ResetTextureTable();
        Engine::State().device = nullptr;
        VfsShutdown();
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root;
    plat::NullRenderDevice device;
};

Tree& GetTree() {
    static Tree tree;
    return tree;
}

// 1000 first fetches spread over the tree.
void BM_FirstFetch(benchmark::State& state) {
    GetTree();
    for (auto _ : state) {
        state.PauseTiming();
        GraphicSets::ReleaseAll();
        state.ResumeTiming();
        for (int32_t n = 0; n < kNumbers; ++n)
            benchmark::DoNotOptimize(SpriteFetch(kKind, n, n % kFrames));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kNumbers);
}
BENCHMARK(BM_FirstFetch)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CachedFetch(benchmark::State& state) {
    GetTree();
    for (int32_t n = 0; n < kNumbers; ++n)
        SpriteFetch(kKind, n, n % kFrames);
    int32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SpriteFetch(kKind, n, n % kFrames));
        n = (n + 7) % kNumbers;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CachedFetch);

} // namespace

BENCHMARK_MAIN();
