// A whole frame of 20000 sprites on the GL device under Mesa's software
// rasteriser (SDL's off-screen driver): the engine's queued, sorted and
// batched path beside two reference loops that draw the same quads with one
// draw call per sprite: in queue order with plain states, and in the sorted
// order with the engine's state blocks. Counters: draw calls a frame.
#include "engine/draw_layers.h"
#include "engine/frame.h"
#include "engine/quad_draw.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "platform/video/gl_render_device.h"
#include "platform/video/window.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libEGL_mesa\nleak:libglapi\nleak:libSDL2\n";
}

namespace {

constexpr int kSprites = 20000;
constexpr int kTextures = 256;

struct Sprite {
    TextureHandle texture;
    EngineRect dest, sort;
    int32_t blend;
    uint32_t colour;
};

struct GlScene {
    plat::Window window;
    std::unique_ptr<plat::RenderDevice> device;
    std::vector<TextureHandle> textures;
    std::vector<Sprite> sprites;
    bool ready = false;

    GlScene() {
        plat::PreferOffscreenVideo();
        if (!window.Open("bench", 1024, 768, false, true) || !(device = plat::MakeGlRenderDevice(window)))
            return;
        if (!Engine::EngineInit(device.get(), {}, DisplayMode{1024, 768, 16, 60, 0}))
            return;
        for (int i = 0; i < kTextures; ++i) {
            Surface* s = nullptr;
            Engine::CreateSurface(Engine::InitSurfaceDesc(64, 64, kSurfaceTexture, kFormat4444), &s);
            TextureRecord r{64, 64, 1 / 64.f, 1 / 64.f, 1, 1, 0.5f / 64, 0.5f / 64, kFormat4444, 0};
            Engine::SetTextureRecord(s, &r);
            textures.push_back(Engine::StoreTextureHandle(s));
        }
        std::mt19937 rng(1);
        std::uniform_int_distribution<int32_t> pos(0, 8180), size(0, 12), screen(-60, 1024), blend(1, 3);
        std::uniform_int_distribution<int32_t> tint(0, 7);
        for (int i = 0; i < kSprites; ++i) {
            const int32_t x = pos(rng), y = pos(rng);
            const int32_t sx = screen(rng) * 3 / 4 + (x % 256), sy = screen(rng) * 3 / 4;
            Sprite sp;
            sp.texture = textures[size_t((x / 32 + y / 32 * 7) % kTextures)];
            sp.dest = {sx, sy, sx + 64, sy + 48};
            sp.sort = {x, y, x + size(rng), y + size(rng)};
            sp.blend = (x / 512) % 2 ? 1 : blend(rng);
            sp.colour = tint(rng) == 0 ? 0xFF80C0FF : 0xFFFFFFFF;
            sprites.push_back(sp);
        }
        // One frame before any timing: the driver compiles its shader
        // variants and allocates its buffers on first use, which would
        // otherwise be charged to whichever benchmark runs first.
        Engine::BeginFrame();
        Engine::ResetLayer(0);
        for (uint32_t i = 0; i < sprites.size(); ++i) {
            const Sprite& s = sprites[i];
            Engine::QueueSpriteTinted(0, s.texture, s.colour, s.dest, s.sort, i + 1, s.blend, 0, 0, 0);
        }
        Engine::DrawSpriteLayer(0);
        Engine::PresentFrame();
        device->Finish();
        ready = true;
    }
};

GlScene& Scene() {
    static GlScene* scene = new GlScene; // kept: the GL driver stays until exit
    return *scene;
}

void EngineFrame(benchmark::State& state) {
    GlScene& scene = Scene();
    if (!scene.ready) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    uint32_t draws = 0;
    for (auto _ : state) {
        Engine::BeginFrame();
        Engine::ResetLayer(0);
        for (uint32_t i = 0; i < scene.sprites.size(); ++i) {
            const Sprite& s = scene.sprites[i];
            Engine::QueueSpriteTinted(0, s.texture, s.colour, s.dest, s.sort, i + 1, s.blend, 0, 0, 0);
        }
        scene.device->ResetStats();
        Engine::DrawSpriteLayer(0);
        Engine::FlushQuads();
        draws = scene.device->Stats().drawCalls;
        Engine::PresentFrame();
        scene.device->Finish();
    }
    state.counters["draw_calls"] = draws;
}

// The same quads with one draw call (and its texture and state) per sprite.
void ReferenceOneDrawPerSprite(benchmark::State& state) {
    GlScene& scene = Scene();
    if (!scene.ready) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    plat::RenderDevice& dev = *scene.device;
    uint32_t draws = 0;
    for (auto _ : state) {
        dev.ResetStats();
        dev.Fill(plat::RenderTarget::BackBuffer, {0, 0, 1024, 768}, 0);
        for (const Sprite& s : scene.sprites) {
            const Surface* surface = Engine::TextureSurface(s.texture);
            plat::RenderState rs;
            rs.blendEnable = true;
            rs.srcBlend = s.blend == 2 ? plat::BlendFactor::One : plat::BlendFactor::SrcAlpha;
            rs.dstBlend = plat::BlendFactor::InvSrcAlpha;
            rs.alphaTestEnable = true;
            rs.alphaFunc = plat::CompareFunc::GreaterEqual;
            rs.alphaRef = 1;
            rs.textureMode = 1;
            rs.tint = s.colour != 0xFFFFFFFF;
            dev.ApplyState(rs);
            dev.BindTexture(0, surface->deviceTexture);
            const float l = float(s.dest.left), t = float(s.dest.top), r = float(s.dest.right),
                        b = float(s.dest.bottom);
            const plat::RenderVertex q[4] = {{l, t, 0, 1, s.colour, 0, 0, 0, 0},
                                             {r, t, 0, 1, s.colour, 1, 0, 0, 0},
                                             {l, b, 0, 1, s.colour, 0, 1, 0, 0},
                                             {r, b, 0, 1, s.colour, 1, 1, 0, 0}};
            dev.Draw(plat::Primitive::TriangleStrip, q, 4, nullptr, 0);
        }
        draws = dev.Stats().drawCalls;
        dev.Present(false);
        dev.Finish();
    }
    state.counters["draw_calls"] = draws;
}

// The engine's own frame with its batching taken out: the sorted sprites
// with their state blocks and quads, one draw call each.
void SortedOneDrawPerSprite(benchmark::State& state) {
    GlScene& scene = Scene();
    if (!scene.ready) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    Engine::ResetLayer(0);
    for (uint32_t i = 0; i < scene.sprites.size(); ++i) {
        const Sprite& s = scene.sprites[i];
        Engine::QueueSpriteTinted(0, s.texture, s.colour, s.dest, s.sort, i + 1, s.blend, 0, 0, 0);
    }
    Engine::SortLayer(0);
    const DrawLayer& layer = *Engine::Layer(0);
    plat::RenderDevice& dev = *scene.device;
    uint32_t draws = 0;
    EngineVertex q[4]; // every field but the unused second coordinates is set per sprite
    for (auto _ : state) {
        Engine::BeginFrame();
        dev.ResetStats();
        for (uint32_t i : layer.order) {
            const DrawItem& it = layer.items[i];
            Engine::SetTextureAndStates(Engine::TextureSurface(it.texture), 0, it.stateBlock);
            Engine::RectQuad(q, it.dest, it.colour);
            static const uint16_t kIndices[6] = {0, 1, 2, 3, 2, 1};
            dev.Draw(plat::Primitive::TriangleList, q, 4, kIndices, 6);
        }
        draws = dev.Stats().drawCalls;
        Engine::PresentFrame();
        dev.Finish();
    }
    state.counters["draw_calls"] = draws;
}

BENCHMARK(EngineFrame)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ReferenceOneDrawPerSprite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(SortedOneDrawPerSprite)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

// The engine (and its cursor thread) is taken down before exit; the window
// stays, so the GL driver is never unloaded.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Engine::ReleaseEngine();
    return 0;
}
