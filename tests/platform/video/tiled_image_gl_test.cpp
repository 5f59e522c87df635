// A picture wider than the device's texture size, cut into a grid of
// textures by the engine and drawn 1:1 on the OpenGL device: every column
// lands on its own pixel, with nothing blurred or missing at the cells' seam.
#include "engine/draw_layers.h"
#include "engine/engine_state.h"
#include "engine/frame.h"
#include "engine/tga_writer.h"
#include "engine/tiled_image.h"
#include "platform/video/gl_render_device.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

// Two-pixel stripes of two colours that survive the 16-bit back buffer.
uint32_t Stripe(int32_t x) {
    return (x / 2) % 2 ? 0xFFFF0000u : 0xFF0000FFu;
}

TEST(TiledImageOnGl, CellsMeetWithoutASeamAtOneToOne) {
    // Kept until exit, as the GL driver stays loaded until then.
    static plat::Window* shared = new plat::Window;
    plat::Window& window = *shared;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (!window.IsOpen()) {
        ASSERT_TRUE(window.Open("tiled", 320, 240, false, true)) << window.Error();
    }
    std::string error;
    auto device = plat::MakeGlRenderDevice(window, &error);
    ASSERT_NE(device, nullptr) << error;
    ASSERT_TRUE(Engine::EngineInit(device.get(), {}, DisplayMode{1024, 768, 16, 60, 0}));
    Engine::State().caps.maxTextureWidth = 256;
    Engine::State().caps.maxTextureHeight = 256;

    const int32_t w = 300, h = 40;
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            pixels[size_t(y) * w + size_t(x)] = Stripe(x);
    const std::vector<uint8_t> file = WriteTga(pixels, w, h);
    auto* image = new TiledImage;
    ASSERT_TRUE(image->LoadImage(file.data(), file.size(), kFormat8888, 1, 0));
    ASSERT_EQ(image->CellCount(), 2u);

    ASSERT_TRUE(Engine::BeginFrame());
    GetDrawImageParams() = DrawImageParams();
    GetDrawImageParams().SetTarget({100, 50, 100 + w, 50 + h}, 0, 0);
    ASSERT_TRUE(DrawImage(image));
    ASSERT_TRUE(Engine::PresentFrame());
    std::vector<uint32_t> shot;
    ASSERT_TRUE(device->ReadPixels(plat::RenderTarget::BackBuffer, {100, 70, 100 + w, 71}, shot));
    ASSERT_EQ(shot.size(), size_t(w));
    for (int32_t x = 0; x < w; ++x) {
        const uint32_t got = shot[size_t(x)] & 0xFFFFFF;
        const uint32_t want = Stripe(x) & 0xFFFFFF;
        EXPECT_EQ(got, want) << "column " << x;
        if (got != want)
            break;
    }
    delete image;
    Engine::ReleaseEngine();
    device.reset();
}

} // namespace
