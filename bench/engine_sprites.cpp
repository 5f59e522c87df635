// A busy frame of the map view on the Null device: 20000 sprites with
// random positions and overlapping footprints over a 2048 x 2048 map,
// drawn from 256 textures in several blend modes and tints. Measures the
// CPU side (queue, depth sort, batched draws) and counts the draw calls
// the device receives; the reference sends one draw per sprite. The same
// sprites with their textures packed into atlas pages are measured beside
// the frame on their own textures.
#include "engine/draw_layers.h"
#include "engine/frame.h"
#include "engine/quad_draw.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "engine/texture_atlas.h"
#include "platform/null_render_device.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <random>
#include <vector>

namespace {

constexpr int kSprites = 20000;
constexpr int kTextures = 256;

struct Sprite {
    TextureHandle texture;
    size_t textureIndex;
    EngineRect dest, sort;
    int32_t blend;
    uint32_t colour;
};

struct Scene {
    plat::NullRenderDevice device;
    std::vector<TextureHandle> textures;
    std::vector<Sprite> sprites;
    // The same textures again, packed into atlas pages, and the sprites on them.
    std::vector<TextureHandle> packed;
    std::vector<Sprite> packedSprites;

    Scene() {
        Engine::EngineInit(&device, {}, DisplayMode{1024, 768, 16, 60, 0});
        for (int i = 0; i < kTextures; ++i) {
            Surface* s = nullptr;
            Engine::CreateSurface(Engine::InitSurfaceDesc(64, 64, kSurfaceTexture, kFormat4444), &s);
            TextureRecord r{64, 64, 1 / 64.f, 1 / 64.f, 1, 1, 0.5f / 64, 0.5f / 64, kFormat4444, 0};
            Engine::SetTextureRecord(s, &r);
            textures.push_back(Engine::StoreTextureHandle(s));
        }
        // Sprites of one map area share few textures, as buildings of a
        // town or the trees of a forest do.
        std::mt19937 rng(1);
        std::uniform_int_distribution<int32_t> pos(0, 8180), size(0, 12), screen(-60, 1024), blend(1, 3);
        std::uniform_int_distribution<int32_t> tint(0, 7);
        for (int i = 0; i < kSprites; ++i) {
            int32_t x = pos(rng), y = pos(rng);
            int32_t sx = screen(rng) * 3 / 4 + (x % 256), sy = screen(rng) * 3 / 4;
            Sprite sp;
            sp.textureIndex = size_t((x / 32 + y / 32 * 7) % kTextures);
            sp.texture = textures[sp.textureIndex];
            sp.dest = {sx, sy, sx + 64, sy + 48};
            sp.sort = {x, y, x + size(rng), y + size(rng)};
            sp.blend = (x / 512) % 2 ? 1 : blend(rng);
            sp.colour = tint(rng) == 0 ? 0xFF80C0FF : 0xFFFFFFFF;
            sprites.push_back(sp);
        }
        for (TextureHandle t : textures) {
            Surface* s = nullptr;
            Engine::CreateSurface(Engine::InitSurfaceDesc(64, 64, kSurfaceTexture, kFormat4444), &s);
            Engine::SetTextureRecord(s, &Engine::TextureSurface(t)->texture);
            packed.push_back(Engine::StoreTextureHandle(s));
            Engine::PackIntoAtlas(packed.back());
        }
        packedSprites = sprites;
        for (Sprite& sp : packedSprites)
            sp.texture = packed[sp.textureIndex];
    }
    ~Scene() { Engine::ReleaseEngine(); }
};

Scene& GetScene() {
    static Scene scene;
    return scene;
}

// Queues the scene's sprites into layer 0, numbered from 1.
void QueueSprites(const std::vector<Sprite>& sprites) {
    for (uint32_t i = 0; i < sprites.size(); ++i) {
        const Sprite& s = sprites[i];
        Engine::QueueSpriteTinted(0, s.texture, s.colour, s.dest, s.sort, i + 1, s.blend, 0, 0, 0);
    }
}
void QueueScene(const Scene& scene) {
    QueueSprites(scene.sprites);
}

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// One frame of the sprites: queue, sort, draw; the device's counters.
plat::DeviceStats SpriteFrame(Scene& scene, const std::vector<Sprite>& sprites) {
    Engine::BeginFrame();
    Engine::ResetLayer(0);
    QueueSprites(sprites);
    scene.device.ResetStats();
    Engine::DrawSpriteLayer(0);
    return scene.device.Stats();
}

void QueueSortDraw(benchmark::State& state) {
    Scene& scene = GetScene();
    uint32_t draws = 0, binds = 0, states = 0;
    for (auto _ : state) {
        Engine::BeginFrame();
        Engine::ResetLayer(0);
        QueueScene(scene);
        scene.device.ResetStats();
        Engine::DrawSpriteLayer(0);
        draws = scene.device.Stats().drawCalls;
        binds = scene.device.Stats().textureBinds;
        states = scene.device.Stats().stateChanges;
    }
    // One draw per change of texture or configuration, not one per sprite.
    state.counters["sprites"] = double(Engine::Layer(0)->order.size());
    state.counters["drawCalls"] = draws;
    state.counters["textureBinds"] = binds;
    state.counters["stateChanges"] = states;
}
BENCHMARK(QueueSortDraw)->Unit(benchmark::kMillisecond);

// QueueSortDraw with the textures in atlas pages, beside the frame on the
// textures' own surfaces in the same iteration: the texture changes the
// depth order leaves fall from one per few sprites to those between
// pages, blend modes and tints. Draw calls never exceed the texture and
// state changes.
void QueueSortDrawAtlas(benchmark::State& state) {
    Scene& scene = GetScene();
    double atlas = 0, own = 0;
    plat::DeviceStats packed, unpacked;
    for (auto _ : state) {
        const double t0 = CpuSeconds();
        packed = SpriteFrame(scene, scene.packedSprites);
        const double t1 = CpuSeconds();
        unpacked = SpriteFrame(scene, scene.sprites);
        const double t2 = CpuSeconds();
        atlas += t1 - t0;
        own += t2 - t1;
    }
    if (packed.drawCalls > packed.textureBinds + packed.stateChanges)
        state.SkipWithError("more draw calls than texture and state changes");
    state.counters["pages"] = Engine::AtlasPageCount();
    state.counters["drawCalls"] = packed.drawCalls;
    state.counters["textureBinds"] = packed.textureBinds;
    state.counters["stateChanges"] = packed.stateChanges;
    state.counters["ownTextureDrawCalls"] = unpacked.drawCalls;
    state.counters["atlas_ms"] = benchmark::Counter(atlas * 1000, benchmark::Counter::kAvgIterations);
    state.counters["own_textures_ms"] = benchmark::Counter(own * 1000, benchmark::Counter::kAvgIterations);
    state.counters["vs_own_textures"] = own > 0 ? atlas / own : 0;
}
BENCHMARK(QueueSortDrawAtlas)->Unit(benchmark::kMillisecond);

// The two parts of QueueSortDraw around the sort: queueing the sprites
// into an emptied layer, and drawing the sorted layer in batches.
void QueueOnly(benchmark::State& state) {
    Scene& scene = GetScene();
    for (auto _ : state) {
        Engine::ResetLayer(0);
        QueueScene(scene);
        benchmark::DoNotOptimize(Engine::Layer(0)->items.data());
    }
}
BENCHMARK(QueueOnly)->Unit(benchmark::kMillisecond);

void DrawOnly(benchmark::State& state) {
    Scene& scene = GetScene();
    Engine::ResetLayer(0);
    QueueScene(scene);
    Engine::SortLayer(0);
    scene.device.ResetStats();
    for (auto _ : state) {
        Engine::BeginFrame();
        Engine::DrawSpriteLayer(0);
    }
    state.counters["drawCalls"] = scene.device.Stats().drawCalls / double(state.iterations());
}
BENCHMARK(DrawOnly)->Unit(benchmark::kMillisecond);

void SortOnly(benchmark::State& state) {
    Scene& scene = GetScene();
    Engine::ResetLayer(0);
    for (uint32_t i = 0; i < scene.sprites.size(); ++i) {
        const Sprite& s = scene.sprites[i];
        Engine::QueueSprite(0, s.texture, s.dest, s.sort, i + 1, s.blend, 0, 0, 0);
    }
    for (auto _ : state) {
        Engine::Layer(0)->sorted = 0;
        Engine::SortLayer(0);
        benchmark::DoNotOptimize(Engine::Layer(0)->order.data());
    }
}
BENCHMARK(SortOnly)->Unit(benchmark::kMillisecond);

// Sprites on whole tiles of a crowded town, 100 x 100 tiles: footprints
// share edges everywhere, so most diagonals need the full rules.
void SortOnlyTileGrid(benchmark::State& state) {
    Scene& scene = GetScene();
    Engine::ResetLayer(0);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> tile(0, 99), extent(0, 2), screen(0, 1000), flags(0, 3);
    for (uint32_t i = 0; i < uint32_t(kSprites); ++i) {
        int32_t x = 4 * tile(rng), y = 4 * tile(rng);
        EngineRect sort{x, y, x + 4 * extent(rng), y + 4 * extent(rng)};
        int32_t sx = screen(rng) * 3 / 4, sy = screen(rng) * 3 / 4;
        Engine::QueueSprite(0, scene.textures[i % kTextures], {sx, sy, sx + 64, sy + 48}, sort, i + 1, 1, 0,
                            0, uint16_t(flags(rng)));
    }
    for (auto _ : state) {
        Engine::Layer(0)->sorted = 0;
        Engine::SortLayer(0);
        benchmark::DoNotOptimize(Engine::Layer(0)->order.data());
    }
    state.counters["sprites"] = double(Engine::Layer(0)->order.size());
}
BENCHMARK(SortOnlyTileGrid)->Unit(benchmark::kMillisecond);

// The same sprites in the same order, one device draw each.
void ReferenceOneDrawPerSprite(benchmark::State& state) {
    Scene& scene = GetScene();
    Engine::ResetLayer(0);
    QueueScene(scene);
    Engine::SortLayer(0);
    const DrawLayer& layer = *Engine::Layer(0);
    uint32_t draws = 0;
    EngineVertex q[4]; // every field but the unused second coordinates is set per sprite
    for (auto _ : state) {
        Engine::BeginFrame();
        scene.device.ResetStats();
        for (uint32_t i : layer.order) {
            const DrawItem& it = layer.items[i];
            Engine::SetTextureAndStates(Engine::TextureSurface(it.texture), 0, it.stateBlock);
            Engine::RectQuad(q, it.dest, it.colour);
            static const uint16_t kIndices[6] = {0, 1, 2, 3, 2, 1};
            scene.device.Draw(plat::Primitive::TriangleList, q, 4, kIndices, 6);
        }
        draws = scene.device.Stats().drawCalls;
    }
    state.counters["drawCalls"] = draws;
}
BENCHMARK(ReferenceOneDrawPerSprite)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
