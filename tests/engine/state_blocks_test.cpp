#include "engine/device_setup.h"
#include "engine/engine_state.h"
#include "engine/state_blocks.h"
#include "engine/surface.h"
#include "platform/null_render_device.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plat::BlendFactor;
using plat::CompareFunc;

std::vector<std::pair<int32_t, int32_t>> gReports;
void Capture(int32_t result, int32_t line) {
    gReports.emplace_back(result, line);
}

class StateBlockTest : public ::testing::Test {
protected:
    void SetUp() override {
        gReports.clear();
        EngineState& s = Engine::State();
        saved = s.errorCallback;
        s.errorCallback = Capture;
        s.device = &dev;
        ASSERT_TRUE(dev.SetMode({64, 64, 16, 60, false}));
        ASSERT_TRUE(Engine::CreateDevice());
        dev.SetRecording(true);
    }
    void TearDown() override {
        Engine::ReleaseStateBlocks();
        EngineState& s = Engine::State();
        s.stageSurface = {};
        s.device = nullptr;
        s.errorCallback = saved;
    }
    int Applies() const {
        int n = 0;
        for (const std::string& c : dev.Calls())
            n += c.rfind("ApplyState", 0) == 0;
        return n;
    }
    plat::NullRenderDevice dev;
    EngineErrorCallbackFn saved = nullptr;
};

TEST(StateBlockResolve, ConfigurationsOfChosenIndices) {
    struct Case {
        int32_t index;
        bool blend;
        BlendFactor src, dst;
        CompareFunc alpha;
        uint8_t ref;
        bool linear;
        uint8_t mode;
        bool tint, add, wrap;
    };
    using enum BlendFactor;
    const Case cases[] = {
        // Untextured primitives and lines.
        {64, true, SrcAlpha, InvSrcAlpha, CompareFunc::Always, 0, false, 0, false, false, false},
        {80, true, SrcAlpha, InvSrcAlpha, CompareFunc::Always, 0, true, 0, false, false, false},
        // Opaque sprite with alpha test, one texture, tinted, wrapped.
        {Engine::StateBlockIndex(0, 1, 0, 1, 1, 1), false, One, Zero, CompareFunc::GreaterEqual, 1, false, 1,
         true, false, true},
        {Engine::StateBlockIndex(2, 1, 1, 2, 0, 0), true, One, InvSrcAlpha, CompareFunc::GreaterEqual, 1,
         true, 2, false, false, false},
        // Inverse alpha tests the other way.
        {Engine::StateBlockIndex(3, 1, 0, 3, 0, 0), true, InvSrcAlpha, SrcAlpha, CompareFunc::LessEqual, 254,
         false, 3, false, false, false},
        // Colour multiply switches blending on; its tint adds.
        {Engine::StateBlockIndex(4, 0, 0, 1, 1, 0), true, DestColor, Zero, CompareFunc::Always, 0, false, 1,
         true, true, false},
        {Engine::StateBlockIndex(4, 0, 0, 2, 1, 0), true, DestColor, Zero, CompareFunc::Always, 0, false, 2,
         true, false, false},
        {319, true, DestColor, Zero, CompareFunc::GreaterEqual, 1, true, 3, true, false, true},
    };
    const DeviceCaps caps;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        const plat::RenderState s = Engine::ResolveStateBlock(c.index, caps);
        EXPECT_EQ(s.blendEnable, c.blend);
        if (c.blend) {
            EXPECT_EQ(s.srcBlend, c.src);
            EXPECT_EQ(s.dstBlend, c.dst);
        }
        EXPECT_EQ(s.alphaTestEnable, c.alpha != CompareFunc::Always);
        EXPECT_EQ(s.alphaFunc, c.alpha);
        EXPECT_EQ(s.alphaRef, c.ref);
        EXPECT_EQ(s.linearFilter, c.linear);
        EXPECT_EQ(s.textureMode, c.mode);
        EXPECT_EQ(s.tint, c.tint);
        EXPECT_EQ(s.tintAdd, c.add);
        EXPECT_EQ(s.wrap, c.wrap);
    }
}

TEST(StateBlockResolve, AlphaTestFallsBackWithTheDeviceCompares) {
    DeviceCaps caps;
    caps.alphaGreaterEqual = false;
    caps.alphaLessEqual = false;
    plat::RenderState s = Engine::ResolveStateBlock(Engine::StateBlockIndex(1, 1, 0, 1, 0, 0), caps);
    EXPECT_EQ(s.alphaFunc, CompareFunc::Greater);
    EXPECT_EQ(s.alphaRef, 0);
    s = Engine::ResolveStateBlock(Engine::StateBlockIndex(3, 1, 0, 1, 0, 0), caps);
    EXPECT_EQ(s.alphaFunc, CompareFunc::Less);
    EXPECT_EQ(s.alphaRef, 255);
    caps.alphaGreater = caps.alphaLess = false;
    for (int blend : {0, 1, 3}) {
        s = Engine::ResolveStateBlock(Engine::StateBlockIndex(blend, 1, 0, 1, 0, 0), caps);
        EXPECT_FALSE(s.alphaTestEnable) << blend;
    }
}

TEST_F(StateBlockTest, AppliesReachTheDeviceOnlyWhenTheBlockChanges) {
    EXPECT_TRUE(Engine::ApplyStateBlock(64));
    EXPECT_TRUE(Engine::ApplyStateBlock(64));
    EXPECT_EQ(Applies(), 1);
    EXPECT_TRUE(Engine::EndScene());
    EXPECT_TRUE(Engine::ApplyStateBlock(64));
    EXPECT_EQ(Applies(), 2);
    EXPECT_EQ(dev.State(), Engine::RecordedStateBlock(64));
    EXPECT_TRUE(gReports.empty());
}

TEST_F(StateBlockTest, RefusedAndFailedAppliesReportAndKeepTheCache) {
    ASSERT_TRUE(Engine::ApplyStateBlock(5));
    EXPECT_FALSE(Engine::ApplyStateBlock(320));
    EXPECT_FALSE(Engine::ApplyStateBlock(-7));
    dev.FailNext("ApplyState");
    EXPECT_FALSE(Engine::ApplyStateBlock(6));
    ASSERT_EQ(gReports.size(), 3u);
    for (const auto& r : gReports)
        EXPECT_EQ(r.second, 3416);
    EXPECT_EQ(Engine::State().cachedStateBlock, 5);
    EXPECT_TRUE(Engine::ApplyStateBlock(6)); // the failure did not stick
}

TEST_F(StateBlockTest, StageTexturesBindOnceAndCarryTheirRecord) {
    Surface a, b;
    a.deviceTexture = dev.CreateTexture(4, 4, plat::PixelFormat::Rgb565);
    b.deviceTexture = dev.CreateTexture(4, 4, plat::PixelFormat::Rgb565);
    a.hasTextureRecord = true;
    a.texture.width = 3;
    a.texture.halfU = 0.125f;
    const uint32_t changes = Engine::State().textureChanges;
    EXPECT_TRUE(Engine::SetStageTexture(&a, 0));
    EXPECT_TRUE(Engine::SetStageTexture(&a, 0));
    EXPECT_TRUE(Engine::SetTextureAndStates(&b, 1, 64));
    EXPECT_EQ(Engine::State().textureChanges, changes + 2);
    EXPECT_EQ(Engine::State().stageRecord[0].width, 3);
    EXPECT_EQ(dev.BoundTexture(0), a.deviceTexture);
    EXPECT_EQ(dev.BoundTexture(1), b.deviceTexture);
    EXPECT_TRUE(Engine::SetStageTexture(nullptr, 0));
    EXPECT_EQ(dev.BoundTexture(0), plat::kNoTexture);
    EXPECT_FALSE(Engine::SetStageTexture(&a, 3));
    // A texture the device no longer knows is refused and not remembered.
    dev.DestroyTexture(a.deviceTexture);
    EXPECT_FALSE(Engine::SetStageTexture(&a, 0));
    EXPECT_EQ(Engine::State().stageSurface[0], nullptr);
}

} // namespace
