#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/quad_draw.h"
#include "engine/quad_geometry.h"
#include "engine/screen.h"
#include "engine/surfaces.h"
#include "tests/engine/null_engine.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

TEST(ErrorName, KnownCodesAliasesAndUnknown) {
    const struct {
        int32_t code;
        const char* name;
    } cases[] = {
        {0, "Unknown Error"},
        {1, "Unknown Error"},
        {EngineResult::kFail, "DDERR_GENERIC"},
        {EngineResult::kNoInterface, "E_NOINTERFACE"},
        {EngineResult::kInvalidArg, "DDERR_INVALIDPARAMS"},
        {EngineResult::kNotInitialized, "DDERR_NOTINITIALIZED"},
        {EngineResult::kSurfaceLost, "DDERR_SURFACELOST"},
        {EngineResult::kWrongMode, "DDERR_WRONGMODE"},
        {EngineResult::Display(2048), "D3DERR_INVALIDVERTEXFORMAT"},
        {EngineResult::Display(2102), "D3DERR_NOTINBEGINSTATEBLOCK"},
        {EngineResult::Display(5), "DDERR_ALREADYINITIALIZED"},
        {EngineResult::Display(6), "Unknown Error"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(Engine::ErrorName(c.code), c.name) << c.code;
}

TEST(ErrorReport, Format) {
    EXPECT_EQ(Engine::FormatEngineError(EngineResult::kSurfaceLost, 4582, "Mon Jan  1 00:00:00 2001\n"),
              "Engine Version: Thu Aug 12 10:43:43 2004\nMon Jan  1 00:00:00 2001\nError: -2005532222 "
              "DDERR_SURFACELOST Line: 4582\n");
}

// Timestamps are nanoseconds; microseconds between them stay exact past
// the 36 minutes a 32-bit count would hold.
TEST(EngineTime, ElapsedMicrosecondsDoNotWrap) {
    double factor = 0;
    Engine::CalibrateTimer(&factor);
    EXPECT_EQ(Engine::ElapsedTime(1500, 500), 1);
    const uint64_t hour = 3600ull * 1000 * 1000 * 1000;
    EXPECT_EQ(Engine::ElapsedTime(hour + 7000, 7000), int64_t(3600) * 1000 * 1000);
    EXPECT_EQ(Engine::ElapsedTime(0, 2000), -2);
}

// The temporary folder is shared with other programs: files there that
// look like old texture swap files are not the engine's to delete.
TEST(EngineStart, LeavesTheTemporaryFolderAlone) {
    ScratchFolder temp;
    temp.Write("SB2A1.TMP", "another program's");
    temp.Write("sb2b2.tmp", "another program's");
    const char* previous = std::getenv("TMPDIR");
    const std::string kept = previous ? previous : "";
    ::setenv("TMPDIR", temp.Path().c_str(), 1);
    plat::NullRenderDevice device;
    const bool started = Engine::EngineInit(&device, {}, DisplayMode{1024, 768, 16, 60, 0});
    Engine::ReleaseEngine();
    if (previous)
        ::setenv("TMPDIR", kept.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_TRUE(started);
    EXPECT_TRUE(std::filesystem::exists(temp / "SB2A1.TMP"));
    EXPECT_TRUE(std::filesystem::exists(temp / "sb2b2.tmp"));
}

class EngineCoreTest : public NullEngineTest {};

TEST_F(EngineCoreTest, LostSurfaceWithoutSurfaceIsReportedLikeAnyOther) {
    EXPECT_FALSE(Engine::CheckResult(EngineResult::kSurfaceLost, 77, nullptr));
    ASSERT_EQ(CapturedErrors().size(), 1u);
    EXPECT_EQ(CapturedErrors()[0], std::make_pair(EngineResult::kSurfaceLost, 77));
    CapturedErrors().clear();
    // A surface that restores and reloads reports nothing, and still fails.
    EXPECT_FALSE(
        Engine::CheckResult(EngineResult::kSurfaceLost, 78, Engine::TextureSurface(MakeTexture(4, 4))));
    EXPECT_TRUE(CapturedErrors().empty());
}

TEST_F(EngineCoreTest, FreedHandleComesBackFirstAndBadHandlesAreRefused) {
    TextureHandle a = MakeTexture(4, 4), b = MakeTexture(4, 4);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_TRUE(Engine::DeleteTexture(a));
    EXPECT_FALSE(Engine::DeleteTexture(a));
    EXPECT_EQ(MakeTexture(4, 4), a);
    for (TextureHandle bad : {0u, 3u, 8192u, 9000u}) {
        EXPECT_FALSE(Engine::IsValidTexture(bad)) << bad;
        EXPECT_FALSE(Engine::DeleteTexture(bad)) << bad;
        Engine::TextureLockInfo info;
        EXPECT_FALSE(Engine::LockTexture(bad, &info)) << bad;
        EXPECT_EQ(info.pixels, nullptr);
    }
}

TEST_F(EngineCoreTest, FullTableReleasesTheSurfaceAndGivesZero) {
    for (uint32_t i = 1; i < kTextureTableSize; ++i)
        ASSERT_NE(MakeTexture(1, 1), 0u) << i;
    const int32_t before = Engine::State().memory.textureCount;
    Surface* s = nullptr;
    ASSERT_EQ(Engine::CreateSurface(Engine::InitSurfaceDesc(1, 1, kSurfaceTexture, kFormat8888), &s), 0);
    EXPECT_EQ(Engine::StoreTextureHandle(s), 0u);
    EXPECT_EQ(Engine::State().memory.textureCount, before);
}

TEST_F(EngineCoreTest, TextureSizesFollowTheDeviceCaps) {
    DeviceCaps& caps = Engine::State().caps;
    const DeviceCaps saved = caps;
    const struct {
        bool pow2, square, nonPow2;
        int32_t w, h;
    } cases[] = {
        {true, true, false, 128, 128}, {true, false, false, 128, 32},  {false, true, true, 100, 100},
        {false, false, true, 100, 30}, {false, false, false, 128, 32},
    };
    for (const auto& c : cases) {
        caps.texturePow2 = c.pow2, caps.textureSquareOnly = c.square,
        caps.textureNonPow2Conditional = c.nonPow2;
        SurfaceDesc d = Engine::InitSurfaceDesc(100, 30, kSurfaceTexture, kFormat4444);
        EXPECT_EQ(d.width, c.w);
        EXPECT_EQ(d.height, c.h);
    }
    caps = saved;
    SurfaceDesc plain = Engine::InitSurfaceDesc(100, 30, kSurfaceSystemMemory, kFormat565);
    EXPECT_EQ(plain.width, 100);
}

TEST_F(EngineCoreTest, MemoryCountersFollowCreationAndRelease) {
    const SurfaceMemory before = Engine::State().memory;
    Surface* tex = nullptr;
    Surface* sys = nullptr;
    ASSERT_EQ(Engine::CreateSurface(Engine::InitSurfaceDesc(16, 16, kSurfaceTexture, kFormat4444), &tex), 0);
    ASSERT_EQ(Engine::CreateSurface(Engine::InitSurfaceDesc(10, 10, kSurfaceSystemMemory, kFormat565), &sys),
              0);
    const SurfaceMemory& m = Engine::State().memory;
    EXPECT_EQ(m.textureBytes - before.textureBytes, 16 * 16 * 2);
    EXPECT_EQ(m.count4444 - before.count4444, 1);
    EXPECT_EQ(m.systemBytes - before.systemBytes, 10 * 10 * 2);
    Engine::AddSurfaceRef(tex);
    EXPECT_EQ(m.count4444 - before.count4444, 2);
    Engine::ReleaseSurface(tex);
    Engine::ReleaseSurface(tex);
    Engine::ReleaseSurfaceField(&sys);
    EXPECT_EQ(sys, nullptr);
    EXPECT_TRUE(std::memcmp(&m, &before, sizeof m) == 0);
}

TEST_F(EngineCoreTest, ColourConversionsOfThe16BitFormats) {
    const struct {
        int32_t format;
        uint32_t argb, native, back;
    } cases[] = {
        {kFormat565, 0xFFFF8040, 0xFC08, 0xFFF88040},      {kFormat4444, 0x80FF8040, 0x8F84, 0x80F08040},
        {kFormat1555, 0x80FF8040, 0xFE08, 0x80F88040},     {kFormat555, 0x12FF8040, 0x7E08, 0xFFF88040},
        {kFormat8888, 0x12345678, 0x12345678, 0x12345678},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Engine::ConvertColour(c.argb, c.format), c.native) << c.format;
        EXPECT_EQ(Engine::FromNativeColour(c.native, c.format), c.back) << c.format;
    }
}

TEST_F(EngineCoreTest, ReadTexturePixelMapsThePointAndKeysTheColour) {
    TextureHandle h =
        MakeTexture(4, 2, [](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x + 10 * y); });
    uint32_t c = 0;
    // An 8 x 4 target over the 4 x 2 image: (5, 3) reads texel (2, 1).
    EXPECT_TRUE(Engine::ReadTexturePixel(h, {0, 0, 8, 4}, 5, 3, {0, 0, 4, 2}, &c));
    EXPECT_EQ(c, 0xFF00000Cu);
    EXPECT_FALSE(Engine::ReadTexturePixel(h, {0, 0, 8, 4}, 8, 0, {0, 0, 4, 2}, &c));
    EXPECT_EQ(c, 0u);
    Surface* s = Engine::TextureSurface(h);
    s->hasColourKey = true;
    s->colourKey = 0xFF00000C;
    EXPECT_TRUE(Engine::ReadTexturePixel(h, {0, 0, 4, 2}, 2, 1, {0, 0, 4, 2}, &c));
    EXPECT_EQ(c, 0x0000000Cu);
    EXPECT_TRUE(Engine::ReadTexturePixel(h, {0, 0, 4, 2}, 1, 1, {0, 0, 4, 2}, &c));
    EXPECT_EQ(c, 0xFF00000Bu);
}

TEST_F(EngineCoreTest, ClipRectangleIsCutToTheScreen) {
    const struct {
        EngineRect in, out;
    } cases[] = {
        {{-10, -10, 5000, 5000}, {0, 0, 1024, 768}},
        {{2000, 10, 2100, 20}, {1023, 10, 1024, 20}},
        {{10, 20, 5, 30}, {10, 20, 10, 30}},
        {{100, 100, 200, 150}, {100, 100, 200, 150}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Engine::SetClipRect(&c.in));
        EXPECT_EQ(Engine::State().clip, c.out);
    }
    EXPECT_TRUE(Engine::SetClipRect(nullptr));
    EXPECT_EQ(Engine::State().clip, (EngineRect{0, 0, 1024, 768}));
    EXPECT_EQ(device.Clip(), (plat::DeviceRect{0, 0, 1024, 768}));
}

TEST_F(EngineCoreTest, ClipToScreenCutsBlits) {
    const struct {
        PointI32 at;
        EngineRect source;
        bool visible;
        PointI32 atOut;
        EngineRect sourceOut;
    } cases[] = {
        {{-5, 10}, {0, 0, 20, 20}, true, {0, 10}, {5, 0, 20, 20}},
        {{1014, 760}, {0, 0, 20, 20}, true, {1014, 760}, {0, 0, 10, 8}},
        {{-20, 0}, {0, 0, 20, 20}, false, {}, {}},
        {{1024, 0}, {0, 0, 20, 20}, false, {}, {}},
        {{0, 0}, {0, 0, 0, 20}, false, {}, {}},
    };
    for (const auto& c : cases) {
        PointI32 at = c.at;
        EngineRect s = c.source;
        ASSERT_EQ(Engine::ClipToScreen(at, s), c.visible);
        if (c.visible) {
            EXPECT_EQ(at, c.atOut);
            EXPECT_EQ(s, c.sourceOut);
        }
    }
}

TEST_F(EngineCoreTest, ScrollMovesTheKeptPictureAndClearsTheStrips) {
    device.Fill(plat::RenderTarget::Spare, {0, 0, 1024, 768}, 0xFF0000FF);
    device.SetRecording(true);
    ASSERT_TRUE(Engine::ScrollScreen(16, -8));
    EXPECT_EQ(CallsStarting("Fill"), (std::vector<std::string>{"Fill back (0,0,16,768) FF000000",
                                                               "Fill back (16,760,1024,768) FF000000"}));
    EXPECT_EQ(CallsStarting("Copy"), (std::vector<std::string>{"Copy back (16,0) <- spare (0,8,1008,768)"}));
    EXPECT_TRUE(Engine::State().targetCleared);
    device.ClearCalls();
    ASSERT_TRUE(Engine::ScrollScreen(0, 0));
    EXPECT_TRUE(CallsStarting("Fill").empty());
}

TEST(QuadGeometry, OrientationSixMirrorsLeftToRight) {
    EngineState& s = Engine::State();
    s.stageRecord[0] = {};
    EngineVertex q[4] = {};
    Engine::QuadFromRect(q, {0, 0, 10, 10});
    Engine::SetOrientedUV(q, 0, 6);
    EXPECT_EQ(q[1].u1, 0.0f); // the texture's top-left corner on the top-right vertex
    EXPECT_EQ(q[1].v1, 0.0f);
    EXPECT_EQ(q[0].u1, 1.0f);
    EXPECT_EQ(q[3].u1, 0.0f);
    EXPECT_EQ(q[3].v1, 1.0f);
}

TEST(QuadGeometry, InterpolatePoint) {
    EXPECT_EQ(Engine::InterpolatePoint({0, 0}, {10, 20}, 0, 1), (PointI32{-666, -666}));
    EXPECT_EQ(Engine::InterpolatePoint({0, 0}, {10, 20}, 4, 1), (PointI32{8, 15}));
    EXPECT_EQ(Engine::InterpolatePoint({0, 0}, {10, 20}, 4, 4), (PointI32{0, 0}));
}

TEST(QuadGeometry, SourceRectangleSitsOneTexelInside) {
    EngineState& s = Engine::State();
    s.stageRecord[0] = {64, 32, 1 / 64.f, 1 / 32.f, 1.f, 1.f, 0.5f / 64, 0.5f / 32, kFormat8888, 0};
    EngineVertex q[4] = {};
    Engine::SetUVFromSourceRect(q, 0, {8, 0, 16, 32});
    EXPECT_FLOAT_EQ(q[0].u1, 9.0f / 64);
    EXPECT_FLOAT_EQ(q[1].u1, 15.0f / 64);
    EXPECT_FLOAT_EQ(q[2].v1, 31.0f / 32);
    s.stageRecord[0] = {};
}

TEST(TerrainPasses, SimpleTileCases) {
    const struct {
        int32_t c[4];
        std::vector<Engine::TerrainPass> passes;
    } cases[] = {
        {{2, 2, 2, 2}, {}},
        {{1, 2, 1, 1}, {{1, 1, 3, 1}}},
        {{1, 1, 0, 1}, {{2, 1, 6, 1}}},
        {{1, 2, 3, 1}, {{1, 1, 3, 1}, {2, 1, 1, 1}}},
        {{1, 2, 2, 1}, {{1, 4, 0, 1}}},
        {{1, 1, 1, 2}, {{3, 1, 0, 1}}},
        {{1, 0, 0, 2}, {{1, 3, 4, 1}, {3, 1, 0, 1}}},
        {{1, 2, 2, 2}, {{3, 3, 0, 1}}},
        {{1, 2, 3, 2}, {{2, 0, 0, 1}, {1, 0, 3, 1}}},
        {{1, 2, 1, 2}, {{1, 0, 3, 1}}},
        {{1, 0, 2, 2}, {{1, 0, 4, 1}, {2, 0, 0, 1}}},
        {{1, 1, 2, 2}, {{2, 0, 0, 1}}},
        {{1, 1, 2, 3}, {{2, 2, 0, 1}, {3, 1, 0, 1}}},
        {{1, 2, 1, 3}, {{1, 2, 4, 1}, {3, 1, 0, 1}}},
        {{1, 2, 3, 0}, {{1, 2, 4, 1}, {2, 2, 0, 1}, {3, 1, 4, 1}}},
    };
    for (const auto& c : cases) {
        Engine::TerrainPass out[3];
        int32_t n = Engine::SimpleTerrainPasses(c.c, out);
        EXPECT_EQ(std::vector<Engine::TerrainPass>(out, out + n), c.passes)
            << c.c[0] << c.c[1] << c.c[2] << c.c[3];
    }
}

TEST(TerrainPasses, FullTileComparesWordsAndColours) {
    const uint32_t white[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    const uint32_t same[4] = {0x10000010, 0x10000010, 0x10000010, 0x10000010};
    Engine::TerrainPass out[4];
    EXPECT_EQ(Engine::TerrainPasses(same, white, out), 0);
    // Equal classes but a different low word: a transition is drawn.
    const uint32_t words[4] = {0x10000010, 0x10000020, 0x10000010, 0x10000010};
    EXPECT_EQ(Engine::TerrainPasses(words, white, out), 1);
    // Equal words but a different colour also counts.
    const uint32_t tinted[4] = {0xFFFFFFFF, 0xFF808080, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(Engine::TerrainPasses(same, tinted, out), 1);
    // Bit 0 that disagrees moves to the shore masks, further with corner 3's bit.
    const uint32_t shore[4] = {0x10000010, 0x20000010, 0x10000011, 0x10000010};
    ASSERT_GE(Engine::TerrainPasses(shore, white, out), 1);
    EXPECT_GE(out[0].mask, 4);
}

} // namespace
