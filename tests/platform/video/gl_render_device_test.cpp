// Pixels drawn by the OpenGL device under SDL's off-screen video driver
// (Mesa's software rasteriser through EGL; no display needed).
#include "platform/null_render_device.h"
#include "platform/video/gl_render_device.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

// Memory the GL driver and its worker threads keep until exit is not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libEGL_mesa\nleak:libglapi\nleak:libSDL2\n";
}

namespace plat {
namespace {

constexpr int kW = 192, kH = 96;

class GlDeviceTest : public ::testing::Test {
protected:
    // One window for the whole run: the GL driver stays loaded until exit.
    static Window& SharedWindow() {
        static Window* window = new Window;
        return *window;
    }

    void SetUp() override {
        Window& window = SharedWindow();
        if (!window.IsOpen()) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            ASSERT_TRUE(window.Open("test", kW, kH, false, true)) << window.Error();
        }
        std::string error;
        auto d = MakeGlRenderDevice(window, &error);
        ASSERT_NE(d, nullptr) << error;
        dev.reset(static_cast<GlRenderDevice*>(d.release()));
        ASSERT_TRUE(dev->SetMode({kW, kH, 16, 60, false})) << dev->LastError();
    }
    void TearDown() override { dev.reset(); }

    uint32_t Pixel(int x, int y) {
        std::vector<uint32_t> px;
        EXPECT_TRUE(dev->ReadPixels(RenderTarget::BackBuffer, {x, y, x + 1, y + 1}, px)) << dev->LastError();
        return px.empty() ? 0 : px[0];
    }

    TextureId SolidTexture(uint32_t argb, int w = 4, int h = 4) {
        const TextureId id = dev->CreateTexture(w, h, PixelFormat::Argb8888);
        std::vector<uint32_t> px(static_cast<size_t>(w) * h, argb);
        EXPECT_TRUE(dev->UploadTexture(id, px.data(), w * 4));
        return id;
    }

    // A quad over the rectangle mapping the whole texture, in strip order.
    static std::array<RenderVertex, 4> Quad(float l, float t, float r, float b,
                                            uint32_t colour = 0xFFFFFFFF) {
        return {RenderVertex{l, t, 0, 1, colour, 0, 0, 0, 0}, RenderVertex{r, t, 0, 1, colour, 1, 0, 1, 0},
                RenderVertex{l, b, 0, 1, colour, 0, 1, 0, 1}, RenderVertex{r, b, 0, 1, colour, 1, 1, 1, 1}};
    }

    void DrawQuad(const std::array<RenderVertex, 4>& q) {
        ASSERT_TRUE(dev->Draw(Primitive::TriangleStrip, q.data(), 4, nullptr, 0)) << dev->LastError();
    }

    std::unique_ptr<GlRenderDevice> dev;
};

::testing::AssertionResult Near(uint32_t got, uint32_t want, int tolerance = 9) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int g = static_cast<int>((got >> shift) & 0xFF), w = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(g - w) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "got " << got << " want " << want;
    }
    return ::testing::AssertionSuccess();
}

RenderState Blend(int blend, bool alphaTest = true) {
    RenderState s;
    s.textureMode = 1;
    static const BlendFactor kSrc[5] = {BlendFactor::One, BlendFactor::SrcAlpha, BlendFactor::One,
                                        BlendFactor::InvSrcAlpha, BlendFactor::DestColor};
    static const BlendFactor kDst[5] = {BlendFactor::Zero, BlendFactor::InvSrcAlpha, BlendFactor::InvSrcAlpha,
                                        BlendFactor::SrcAlpha, BlendFactor::Zero};
    s.blendEnable = blend != 0;
    s.srcBlend = kSrc[blend];
    s.dstBlend = kDst[blend];
    s.alphaTestEnable = alphaTest;
    s.alphaFunc = blend == 3 ? CompareFunc::LessEqual : CompareFunc::GreaterEqual;
    s.alphaRef = blend == 3 ? 254 : 1;
    return s;
}

TEST_F(GlDeviceTest, BlendModesTintAndAlphaTestOnKnownPixels) {
    struct Case {
        const char* name;
        RenderState state;
        uint32_t texel;
        uint32_t vertexColour;
        uint32_t want; // over a background of 0x404040
    };
    RenderState tinted = Blend(1);
    tinted.tint = true;
    RenderState added = Blend(4);
    added.tint = true;
    added.tintAdd = true;
    RenderState untextured = Blend(1);
    untextured.textureMode = 0;
    const Case cases[] = {
        {"none replaces", Blend(0), 0x80C08000, 0xFFFFFFFF, 0xC08000},
        {"alpha over", Blend(1), 0x80FF0000, 0xFFFFFFFF, 0x9F2020},
        {"premultiplied", Blend(2), 0x80800000, 0xFFFFFFFF, 0xA02020},
        {"inverse alpha", Blend(3), 0x40FF0000, 0xFFFFFFFF, 0xCF1010},
        {"multiply", Blend(4), 0xFF808080, 0xFFFFFFFF, 0x202020},
        {"alpha test drops 0", Blend(0), 0x00FFFFFF, 0xFFFFFFFF, 0x404040},
        {"blend 3 test drops 255", Blend(3), 0xFFFFFFFF, 0xFFFFFFFF, 0x404040},
        {"no test keeps 0", Blend(0, false), 0x00FFFFFF, 0xFFFFFFFF, 0xFFFFFF},
        {"tint modulates", tinted, 0xFFFFFFFF, 0xFF00FF00, 0x00FF00},
        {"tint adds under multiply", added, 0xFF404040, 0xFF404040, 0x202020},
        {"vertex colour only", untextured, 0xFF000000, 0x800000FF, 0x20209F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0x404040));
        const TextureId tex = SolidTexture(c.texel);
        ASSERT_TRUE(dev->ApplyState(c.state));
        ASSERT_TRUE(dev->BindTexture(0, tex));
        DrawQuad(Quad(8, 8, 24, 24, c.vertexColour));
        EXPECT_TRUE(Near(Pixel(16, 16), c.want));
        EXPECT_TRUE(Near(Pixel(30, 16), 0x404040)); // outside the quad
        dev->DestroyTexture(tex);
    }
}

TEST_F(GlDeviceTest, TwoTextureModesTakeAlphaFromTheSecondTexture) {
    // Texture 1 is opaque on its left half, clear on its right half.
    const TextureId colour = SolidTexture(0xFF20C020);
    const TextureId mask = dev->CreateTexture(2, 1, PixelFormat::Argb8888);
    const uint32_t maskPx[2] = {0xFFFFFFFF, 0x00FFFFFF};
    ASSERT_TRUE(dev->UploadTexture(mask, maskPx, 8));
    for (int mode : {2, 3}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0x000000));
        RenderState s = Blend(1);
        s.textureMode = static_cast<uint8_t>(mode);
        ASSERT_TRUE(dev->ApplyState(s));
        ASSERT_TRUE(dev->BindTexture(0, colour));
        ASSERT_TRUE(dev->BindTexture(1, mask));
        auto q = Quad(0, 0, 64, 32);
        if (mode == 2) // the mask's coordinates are the second set: mirror them
            for (RenderVertex& v : q)
                v.u2 = 1.0f - v.u2;
        DrawQuad(q);
        const uint32_t left = Pixel(8, 16), right = Pixel(56, 16);
        EXPECT_TRUE(Near(mode == 2 ? right : left, 0x20C020));
        EXPECT_TRUE(Near(mode == 2 ? left : right, 0x000000));
    }
}

TEST_F(GlDeviceTest, OneToOneSpriteLandsOnWholePixels) {
    // A 4 x 4 texture of distinct texels drawn 1:1 at (10, 20) with the
    // engine's quarter-texel offset and point filtering.
    const TextureId tex = dev->CreateTexture(4, 4, PixelFormat::Rgb565);
    uint16_t px[16];
    for (int i = 0; i < 16; ++i)
        px[i] =
            static_cast<uint16_t>(ArgbToNative(PixelFormat::Rgb565, 0xFF000000u | (i * 16u) << 16 | 0x80u));
    ASSERT_TRUE(dev->UploadTexture(tex, px, 8));
    RenderState s = Blend(1);
    ASSERT_TRUE(dev->ApplyState(s));
    ASSERT_TRUE(dev->BindTexture(0, tex));
    const float q = 0.25f / 4;
    auto quad = Quad(10, 20, 14, 24);
    for (RenderVertex& v : quad) {
        v.u1 += q;
        v.v1 += q;
    }
    ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0));
    DrawQuad(quad);
    for (int y = 19; y <= 24; ++y)
        for (int x = 9; x <= 14; ++x) {
            const bool inside = x >= 10 && x < 14 && y >= 20 && y < 24;
            const uint32_t want =
                inside ? NativeToArgb(PixelFormat::Rgb565, px[(y - 20) * 4 + (x - 10)]) : 0xFF000000u;
            EXPECT_EQ(Pixel(x, y), want) << x << "," << y;
        }
    // Pixel centres lie on the integers: a quad at a quarter-pixel offset
    // covers the pixels whose integer centre it contains.
    RenderState flat = Blend(0);
    flat.textureMode = 0;
    ASSERT_TRUE(dev->ApplyState(flat));
    DrawQuad(Quad(30.25f, 20.25f, 34.25f, 24.25f));
    for (int y = 19; y <= 26; ++y)
        for (int x = 29; x <= 36; ++x) {
            const bool inside = x >= 31 && x <= 34 && y >= 21 && y <= 24;
            EXPECT_EQ(Pixel(x, y), inside ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }
}

TEST_F(GlDeviceTest, AdjacentDiamondTilesLeaveNoSeamAndNoOverlap) {
    // Half-transparent white over black: a gap shows black, an overlap
    // shows three quarters.
    const TextureId tex = SolidTexture(0x80FFFFFF);
    ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0));
    ASSERT_TRUE(dev->ApplyState(Blend(1)));
    ASSERT_TRUE(dev->BindTexture(0, tex));
    auto diamond = [](float l, float t, float r, float b) {
        const float cx = (l + r) / 2, cy = (t + b) / 2;
        return std::array<RenderVertex, 4>{RenderVertex{cx, t, 0, 1, 0xFFFFFFFF, 0, 0, 0, 0},
                                           RenderVertex{r, cy, 0, 1, 0xFFFFFFFF, 1, 0, 0, 0},
                                           RenderVertex{l, cy, 0, 1, 0xFFFFFFFF, 0, 1, 0, 0},
                                           RenderVertex{cx, b, 0, 1, 0xFFFFFFFF, 1, 1, 0, 0}};
    };
    DrawQuad(diamond(0, 0, 120, 40));
    DrawQuad(diamond(60, 20, 180, 60));
    DrawQuad(diamond(60, -20, 180, 20)); // the neighbour to the north-east
    const uint32_t half = Pixel(60, 20);
    EXPECT_TRUE(Near(half, 0x808080));
    // Along the shared edges every pixel is covered exactly once.
    for (int y = 21; y < 40; ++y) {
        const int x = 120 - (y - 20) * 3;
        for (int dx = -3; dx <= 3; ++dx)
            EXPECT_EQ(Pixel(x + dx, y), half) << x + dx << "," << y;
    }
    for (int y = 1; y < 20; ++y) {
        const int x = 60 + y * 3;
        for (int dx = -3; dx <= 3; ++dx)
            EXPECT_EQ(Pixel(x + dx, y), half) << x + dx << "," << y;
    }
}

TEST_F(GlDeviceTest, FillsCopiesAndKeyedBlitsAgreeWithTheNullDevice) {
    NullRenderDevice null;
    ASSERT_TRUE(null.SetMode(dev->Mode()));
    const uint16_t sprite[6] = {0xF81F, 0x07E0, 0x001F, 0xFFFF, 0xF81F, 0x8410};
    for (RenderDevice* d : {static_cast<RenderDevice*>(dev.get()), static_cast<RenderDevice*>(&null)}) {
        SCOPED_TRACE(d->Name());
        ASSERT_TRUE(d->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0x123456));
        ASSERT_TRUE(d->Fill(RenderTarget::BackBuffer, {10, 10, 50, 30}, 0xFFC080));
        ASSERT_TRUE(d->Copy(RenderTarget::Spare, {0, 0}, RenderTarget::BackBuffer, {0, 0, kW, kH}));
        ASSERT_TRUE(d->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0));
        ASSERT_TRUE(d->Copy(RenderTarget::BackBuffer, {16, -8}, RenderTarget::Spare, {0, 0, kW, kH}));
        ASSERT_TRUE(d->Copy(RenderTarget::BackBuffer, {5, 5}, RenderTarget::BackBuffer, {0, 0, 40, 40}));
        const TextureId tex = d->CreateTexture(3, 2, PixelFormat::Rgb565);
        ASSERT_TRUE(d->UploadTexture(tex, sprite, 6));
        ASSERT_TRUE(d->SetColorKey(tex, true, 0xF81F));
        ASSERT_TRUE(d->Blit(RenderTarget::BackBuffer, {60, 40}, tex, {0, 0, 3, 2}, true));
        ASSERT_TRUE(d->Blit(RenderTarget::BackBuffer, {70, 40}, tex, {0, 0, 3, 2}, false));
        ASSERT_TRUE(d->Blit(RenderTarget::BackBuffer, {kW - 2, kH - 1}, tex, {0, 0, 3, 2}, false));
        ASSERT_TRUE(d->SetClip({0, 0, 100, 50}));
        ASSERT_TRUE(d->Fill(RenderTarget::BackBuffer, {90, 45, 120, 60}, 0xFFFFFF));
    }
    std::vector<uint32_t> gl, nul;
    ASSERT_TRUE(dev->ReadPixels(RenderTarget::BackBuffer, {0, 0, kW, kH}, gl));
    ASSERT_TRUE(null.ReadPixels(RenderTarget::BackBuffer, {0, 0, kW, kH}, nul));
    int differ = 0;
    for (size_t i = 0; i < gl.size(); ++i)
        if (gl[i] != nul[i] && differ++ < 5)
            ADD_FAILURE() << "pixel " << i % kW << "," << i / kW << std::hex << " gl " << gl[i] << " null "
                          << nul[i];
    EXPECT_EQ(differ, 0);
}

TEST_F(GlDeviceTest, LongDrawsWrapTheStreamingBuffers) {
    // Each list is 30000 degenerate vertices and then one quad of two
    // triangles; three of them pass the end of the vertex buffer.
    RenderState flat = Blend(0, false);
    flat.textureMode = 0;
    ASSERT_TRUE(dev->ApplyState(flat));
    const uint32_t colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int round = 0; round < 3; ++round) {
        std::vector<RenderVertex> list(30000, RenderVertex{0, 0, 0, 1, 0, 0, 0, 0, 0});
        const auto q = Quad(float(10 + round * 20), 10, float(20 + round * 20), 20, colours[round]);
        for (int i : {0, 1, 2, 3, 2, 1})
            list.push_back(q[size_t(i)]);
        std::vector<uint16_t> idx(list.size());
        for (size_t i = 0; i < idx.size(); ++i)
            idx[i] = uint16_t(i % 65536);
        if (round == 1) // the middle one indexed
            ASSERT_TRUE(dev->Draw(Primitive::TriangleList, list.data(), int32_t(list.size()), idx.data(),
                                  int32_t(idx.size())));
        else
            ASSERT_TRUE(dev->Draw(Primitive::TriangleList, list.data(), int32_t(list.size()), nullptr, 0));
    }
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(Pixel(15 + round * 20, 15), colours[round]) << round;
    // A list larger than the whole buffer is refused.
    std::vector<RenderVertex> huge(70000, RenderVertex{0, 0, 0, 1, 0, 0, 0, 0, 0});
    EXPECT_FALSE(dev->Draw(Primitive::TriangleList, huge.data(), int32_t(huge.size()), nullptr, 0));
}

TEST_F(GlDeviceTest, PresentShowsThePictureThroughTheGammaRamp) {
    // The off-screen driver draws into a single-buffered surface, so the
    // presented picture can be read back from the window's framebuffer.
    auto windowPixel = [](int x, int y) {
        uint8_t px[4] = {};
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadPixels(x, kH - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return 0xFF000000u | uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2];
    };
    ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0x000000));
    ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, 10, 10}, 0xFF8000));
    ASSERT_TRUE(dev->Present(false));
    EXPECT_TRUE(Near(windowPixel(5, 5), 0xFF8000, 3));
    EXPECT_TRUE(Near(windowPixel(15, 15), 0x000000, 3));

    GammaRamp inverted;
    for (int i = 0; i < 256; ++i) {
        inverted.red[size_t(i)] = inverted.green[size_t(i)] = uint16_t((255 - i) * 257);
        inverted.blue[size_t(i)] = uint16_t(i * 257 / 2);
    }
    ASSERT_TRUE(dev->SetGamma(inverted));
    ASSERT_TRUE(dev->Present(false));
    EXPECT_TRUE(Near(windowPixel(5, 5), 0x007F00, 3));
    EXPECT_TRUE(Near(windowPixel(15, 15), 0xFFFF00, 3));
}

TEST_F(GlDeviceTest, ClipLimitsDrawsAndRefusedCallsReportWhy) {
    const TextureId tex = SolidTexture(0xFFFFFFFF);
    ASSERT_TRUE(dev->Fill(RenderTarget::BackBuffer, {0, 0, kW, kH}, 0));
    ASSERT_TRUE(dev->ApplyState(Blend(0)));
    ASSERT_TRUE(dev->BindTexture(0, tex));
    ASSERT_TRUE(dev->SetClip({20, 20, 30, 30}));
    DrawQuad(Quad(0, 0, 64, 64));
    EXPECT_EQ(Pixel(25, 25), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(19, 25), 0xFF000000u);
    EXPECT_EQ(Pixel(30, 29), 0xFF000000u);

    const uint16_t bad[3] = {0, 1, 9};
    const auto q = Quad(0, 0, 4, 4);
    EXPECT_FALSE(dev->Draw(Primitive::TriangleList, q.data(), 4, bad, 3));
    EXPECT_FALSE(dev->LastError().empty());
    EXPECT_FALSE(dev->BindTexture(0, 999));
    EXPECT_EQ(dev->CreateTexture(0, 1, PixelFormat::Rgb565), kNoTexture);
    EXPECT_TRUE(dev->Present(false));
}

} // namespace
} // namespace plat
