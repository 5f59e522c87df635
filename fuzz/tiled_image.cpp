// Cuts arbitrary bytes, as a TGA picture, into a tiled image on the Null
// render device whose textures are at most 64 pixels a side, so that even
// small pictures make a grid; the first byte chooses the frames, the scale
// shift and the texture format. The cells cover the picture, every frame
// is drawn, blitted and read back, and the textures are released.
#include "engine/tiled_image.h"
#include "engine/draw_layers.h"
#include "engine/engine_state.h"
#include "engine/frame.h"
#include "engine/surfaces.h"
#include "engine/texture_atlas.h"
#include "engine/textures.h"
#include "platform/null_render_device.h"

#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void StartEngine() {
    static plat::NullRenderDevice device;
    EngineState& s = Engine::State();
    s.device = &device;
    s.errorCallback = nullptr;
    Engine::ResetPixelFormats();
    for (int32_t f = 0; f < 6; ++f)
        s.formats[size_t(f)].supported = 1;
    Engine::SetDisplayFormat(kFormat565);
    s.caps.maxTextureWidth = s.caps.maxTextureHeight = 64;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = (StartEngine(), true);
    (void)started;
    if (size < 1)
        return 0;
    const int32_t frames = 1 + (data[0] & 3);
    const int32_t shift = (data[0] >> 2) & 3;
    const int32_t format = (data[0] >> 4) & 7;
    {
        TiledImage image;
        if (image.LoadImage(data + 1, size - 1, format, frames, shift)) {
            Check(image.CellCount() > 0);
            for (size_t i = 0; i < image.CellCount(); ++i) {
                const EngineRect cell = image.CellRect(i);
                Check(cell.left >= 0 && cell.top >= 0 && cell.left < cell.right && cell.top < cell.bottom);
            }
            const EngineRect target{0, 0, 40, 30};
            for (int32_t n = 0; n < image.frameCount && n < 4; ++n) {
                image.DrawFrame(0, target, n, 0xFFFFFFFF, 0, 0);
                image.BlitFrame(0, 2, 3, n);
                uint32_t colour = 0;
                image.ReadPixelAt(target, 5, 7, &colour, n);
                image.ReadPixelAt(target, 39, 29, &colour, n);
            }
            image.DrawStretched(0, {-10, -10, 100, 50}, 33.0f, 0, 1);
            image.UpdateZoomMetrics();
        }
    }
    for (int32_t layer = 0; layer < kDrawLayerCount; ++layer)
        Engine::ResetLayer(layer);
    Engine::ResetFrameLists();
    // Atlas pages outlive the pictures packed into them, for the next ones.
    Engine::ReleaseSpriteAtlases();
    Check(Engine::State().liveSurfaces.empty());
    return 0;
}
