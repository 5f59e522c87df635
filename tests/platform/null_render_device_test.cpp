#include "platform/null_render_device.h"

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(PixelConversion, RoundTripsAndWidens) {
    struct Case {
        PixelFormat format;
        uint32_t argb;
        uint32_t native;
        uint32_t back; // ARGB after the round trip
    };
    const Case cases[] = {
        {PixelFormat::Rgb565, 0xFFFF00FF, 0xF81F, 0xFFFF00FF},
        {PixelFormat::Rgb565, 0x00808080, 0x8410, 0xFF848284},
        {PixelFormat::Argb4444, 0x80FF0000, 0x8F00, 0x88FF0000},
        {PixelFormat::Argb1555, 0x7F00FF00, 0x03E0, 0x0000FF00},
        {PixelFormat::Argb1555, 0x80000000, 0x8000, 0xFF000000},
        {PixelFormat::Rgb555, 0x12FFFFFF, 0x7FFF, 0xFFFFFFFF},
        {PixelFormat::Argb8888, 0x12345678, 0x12345678, 0x12345678},
        {PixelFormat::Xrgb8888, 0x12345678, 0x00345678, 0xFF345678},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        EXPECT_EQ(ArgbToNative(c.format, c.argb), c.native);
        EXPECT_EQ(NativeToArgb(c.format, c.native), c.back);
    }
}

class NullDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.SetMode({64, 32, 16, 60, false})); }
    uint32_t Pixel(RenderTarget t, int x, int y) {
        std::vector<uint32_t> px;
        EXPECT_TRUE(dev.ReadPixels(t, {x, y, x + 1, y + 1}, px));
        return px.empty() ? 0 : px[0];
    }
    NullRenderDevice dev;
};

TEST_F(NullDeviceTest, TextureCopyIsKeptAndUploadChecksPitch) {
    const TextureId id = dev.CreateTexture(3, 2, PixelFormat::Rgb565);
    ASSERT_NE(id, kNoTexture);
    const uint16_t rows[2][4] = {{1, 2, 3, 99}, {4, 5, 6, 99}};
    ASSERT_TRUE(dev.UploadTexture(id, rows, 8));
    const TextureLock* view = dev.TexturePixels(id);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->pitch, 6);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(view->pixels + view->pitch)[2], 6);
    EXPECT_FALSE(dev.UploadTexture(id, rows, 4)); // pitch shorter than a row
    EXPECT_FALSE(dev.UnlockTexture(id));          // the failed upload left it unlocked
    dev.DestroyTexture(id);
    EXPECT_EQ(dev.TexturePixels(id), nullptr);
    EXPECT_FALSE(dev.BindTexture(0, id));
    EXPECT_EQ(dev.CreateTexture(0, 4, PixelFormat::Rgb565), kNoTexture);
}

TEST_F(NullDeviceTest, FillCopyAndKeyedBlitLandOnTheTargets) {
    ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {0, 0, 64, 32}, 0x00FF0000));
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 10, 10), 0xFFFF0000u);
    // The clip limits fills of the back buffer.
    ASSERT_TRUE(dev.SetClip({0, 0, 8, 8}));
    ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {0, 0, 64, 32}, 0x000000FF));
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 7, 7), 0xFF0000FFu);
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 8, 8), 0xFFFF0000u);
    ASSERT_TRUE(dev.SetClip({0, 0, 64, 32}));

    // Copy to the spare target and back with an offset, partly off the edge.
    ASSERT_TRUE(dev.Copy(RenderTarget::Spare, {0, 0}, RenderTarget::BackBuffer, {0, 0, 64, 32}));
    ASSERT_TRUE(dev.Copy(RenderTarget::BackBuffer, {60, 4}, RenderTarget::Spare, {0, 0, 8, 8}));
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 63, 11), 0xFF0000FFu);

    const TextureId id = dev.CreateTexture(2, 1, PixelFormat::Rgb565);
    const uint16_t px[2] = {0xF81F, 0x07E0};
    ASSERT_TRUE(dev.UploadTexture(id, px, 4));
    ASSERT_TRUE(dev.SetColorKey(id, true, 0xF81F));
    ASSERT_TRUE(dev.Blit(RenderTarget::BackBuffer, {20, 20}, id, {0, 0, 2, 1}, true));
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 20, 20), 0xFFFF0000u); // keyed: unchanged
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 21, 20), 0xFF00FF00u);
    ASSERT_TRUE(dev.Blit(RenderTarget::BackBuffer, {20, 20}, id, {0, 0, 2, 1}, false));
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 20, 20), 0xFFFF00FFu);
}

// A copy within one target, as a scroll of the kept picture does, moves
// the picture whichever way it overlaps itself.
TEST_F(NullDeviceTest, OverlappingCopyWithinATargetMovesThePicture) {
    const std::pair<int, int> shifts[] = {{3, 0}, {-3, 0}, {0, 2}, {0, -2}, {5, 7}, {-5, -7}, {4, -1}};
    for (auto [dx, dy] : shifts) {
        SCOPED_TRACE(testing::Message() << dx << "," << dy);
        // Every pixel its own colour: x in green, y in red.
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {x, y, x + 1, y + 1},
                                     uint32_t(y << 3) << 16 | uint32_t(x << 2) << 8));
        std::vector<uint32_t> before, after;
        ASSERT_TRUE(dev.ReadPixels(RenderTarget::BackBuffer, {0, 0, 64, 32}, before));
        ASSERT_TRUE(
            dev.Copy(RenderTarget::BackBuffer, {std::max(dx, 0), std::max(dy, 0)}, RenderTarget::BackBuffer,
                     {std::max(-dx, 0), std::max(-dy, 0), 64 - std::max(dx, 0), 32 - std::max(dy, 0)}));
        ASSERT_TRUE(dev.ReadPixels(RenderTarget::BackBuffer, {0, 0, 64, 32}, after));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const int sx = x - dx, sy = y - dy;
                const bool moved = sx >= 0 && sx < 64 && sy >= 0 && sy < 32;
                ASSERT_EQ(after[size_t(y * 64 + x)], before[size_t(moved ? sy * 64 + sx : y * 64 + x)])
                    << x << "," << y;
            }
    }
}

// A whole-target fill of the colour already there is skipped: each kind
// of write in between must make the next such fill land again.
TEST_F(NullDeviceTest, RepeatedWholeFillsRepaintAfterAnyWrite) {
    const TextureId id = dev.CreateTexture(2, 2, PixelFormat::Rgb565);
    const uint16_t px[4] = {0x07E0, 0x07E0, 0x07E0, 0x07E0};
    ASSERT_TRUE(dev.UploadTexture(id, px, 4));
    const std::vector<std::function<bool()>> writes = {
        [&] {
            return dev.Fill(RenderTarget::BackBuffer, {1, 1, 3, 3}, 0x0000FF00);
        },
        [&] {
            return dev.Blit(RenderTarget::BackBuffer, {1, 1}, id, {0, 0, 2, 2}, false);
        },
        [&] {
            return dev.Copy(RenderTarget::BackBuffer, {1, 1}, RenderTarget::Spare, {0, 0, 2, 2});
        },
    };
    ASSERT_TRUE(dev.Fill(RenderTarget::Spare, {0, 0, 64, 32}, 0x0000FF00));
    for (size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {0, 0, 64, 32}, 0x00FF0000));
        ASSERT_TRUE(writes[i]());
        EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 2, 2), 0xFF00FF00u);
        ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {0, 0, 64, 32}, 0x00FF0000));
        EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 2, 2), 0xFFFF0000u);
    }
    // A fill limited by the clip covers only part of the target.
    ASSERT_TRUE(dev.SetClip({0, 0, 8, 8}));
    ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {0, 0, 64, 32}, 0x000000FF));
    ASSERT_TRUE(dev.SetClip({0, 0, 64, 32}));
    ASSERT_TRUE(dev.Fill(RenderTarget::BackBuffer, {0, 0, 64, 32}, 0x000000FF));
    EXPECT_EQ(Pixel(RenderTarget::BackBuffer, 40, 20), 0xFF0000FFu);
}

TEST_F(NullDeviceTest, RecordsCallsInOrderAndInjectsFailures) {
    dev.SetRecording(true);
    RenderState s;
    s.blendEnable = true;
    s.srcBlend = BlendFactor::SrcAlpha;
    s.dstBlend = BlendFactor::InvSrcAlpha;
    s.textureMode = 1;
    const RenderVertex quad[4] = {};
    const uint16_t idx[6] = {0, 1, 2, 3, 2, 1};
    dev.BeginScene();
    dev.ApplyState(s);
    dev.Draw(Primitive::TriangleList, quad, 4, idx, 6);
    dev.EndScene();
    const std::vector<std::string> want = {
        "BeginScene",
        "ApplyState blend=1(2,3) at=0(7,0) lin=0 mode=1 tint=0 wrap=0",
        "Draw tris v=4 i=6",
        "EndScene",
    };
    EXPECT_EQ(dev.Calls(), want);
    EXPECT_EQ(dev.Stats().drawCalls, 1u);

    dev.FailNext("Draw");
    EXPECT_FALSE(dev.Draw(Primitive::TriangleStrip, quad, 4, nullptr, 0));
    EXPECT_FALSE(dev.LastError().empty());
    EXPECT_TRUE(dev.Draw(Primitive::TriangleStrip, quad, 4, nullptr, 0));
    const uint16_t bad[3] = {0, 1, 4};
    EXPECT_FALSE(dev.Draw(Primitive::TriangleList, quad, 4, bad, 3));
}

TEST_F(NullDeviceTest, ReadPixelsRefusesRectanglesOutsideTheTarget) {
    std::vector<uint32_t> px;
    EXPECT_FALSE(dev.ReadPixels(RenderTarget::BackBuffer, {-1, 0, 4, 4}, px));
    EXPECT_FALSE(dev.ReadPixels(RenderTarget::BackBuffer, {0, 0, 65, 4}, px));
    EXPECT_FALSE(dev.ReadPixels(RenderTarget::BackBuffer, {4, 4, 4, 8}, px));
    EXPECT_FALSE(dev.SetMode({0, 10, 16, 60, false}));
    EXPECT_FALSE(dev.SetMode({64, 32, 8, 60, false}));
    EXPECT_EQ(dev.Mode().width, 64); // the failed calls kept the mode
}

} // namespace
} // namespace plat
