#include "engine/device_setup.h"
#include "engine/display_devices.h"
#include "engine/display_mode.h"
#include "engine/engine_state.h"
#include "engine/surfaces.h"
#include "platform/null_render_device.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(DisplayModes, SortByDepthThenSize) {
    std::vector<DisplayMode> modes = {
        {640, 480, 32, 60, 1}, {1024, 768, 16, 75, 1}, {1024, 768, 16, 60, 1},
        {800, 600, 16, 60, 1}, {1024, 600, 16, 60, 1}, {640, 480, 16, 60, 1},
    };
    std::sort(modes.begin(), modes.end(), Engine::CompareDisplayModes);
    const std::vector<DisplayMode> want = {
        {640, 480, 16, 60, 1},  {800, 600, 16, 60, 1},  {1024, 600, 16, 60, 1},
        {1024, 768, 16, 60, 1}, {1024, 768, 16, 75, 1}, {640, 480, 32, 60, 1},
    };
    EXPECT_EQ(modes, want);
}

TEST(DisplayModes, DevicesKeepOnlyUsableModes) {
    OfferedDisplayDevice primary;
    primary.description = std::string(100, 'd');
    primary.renders32 = false;
    primary.desktopDepth = 16;
    primary.modes = {{1024, 768, 32, 60, 0}, {640, 480, 8, 60, 0},   {320, 240, 16, 60, 0},
                     {640, 400, 16, 60, 0},  {1024, 768, 16, 60, 0}, {640, 480, 16, 60, 0}};
    OfferedDisplayDevice no3D = primary;
    no3D.has3D = false;
    OfferedDisplayDevice software = primary;
    software.hardwareRasteriser = false;
    OfferedDisplayDevice second = primary;
    second.guid[3] = 7;
    second.renders32 = true;
    second.desktopDepth = 32;

    const auto list = Engine::BuildDisplayDevices({primary, no3D, software, second});
    ASSERT_EQ(list.size(), 2u);
    const std::vector<DisplayMode> want16 = {{640, 480, 16, 60, 1}, {1024, 768, 16, 60, 1}};
    EXPECT_EQ(list[0].modes, want16);
    EXPECT_EQ(list[0].description.size(), 79u);
    EXPECT_TRUE(list[0].canRenderWindowed);
    EXPECT_EQ(list[1].modes.size(), 3u);
    EXPECT_FALSE(list[1].canRenderWindowed); // only the primary display draws into windows

    // A desktop depth the device cannot render to rules out windows.
    primary.desktopDepth = 32;
    EXPECT_FALSE(Engine::BuildDisplayDevices({primary})[0].canRenderWindowed);
}

TEST(DisplayModes, EnumeratesOnce) {
    const auto& first = Engine::EnumerateDisplayDevices();
    ASSERT_FALSE(first.empty());
    const DisplayMode* modes = first[0].modes.data();
    EXPECT_EQ(&Engine::GetDisplayDevices(), &first);
    EXPECT_EQ(Engine::GetDisplayDevices()[0].modes.data(), modes);
    EXPECT_TRUE(std::is_sorted(first[0].modes.begin(), first[0].modes.end(), Engine::CompareDisplayModes));
}

std::vector<std::pair<int32_t, int32_t>> gReports;
void Capture(int32_t result, int32_t line) {
    gReports.emplace_back(result, line);
}

class SetDisplayModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gReports.clear();
        EngineState& s = Engine::State();
        savedCallback = s.errorCallback;
        s.errorCallback = Capture;
        s.device = &dev;
        memoryBefore = s.memory;
        dev.SetRecording(true);
    }
    void TearDown() override {
        EngineState& s = Engine::State();
        Engine::ReleaseSurfaceField(&s.cursorSave);
        Engine::ReleaseDisplayTargets();
        Engine::ReleaseStateBlocks();
        s.stageSurface = {};
        s.device = nullptr;
        s.errorCallback = savedCallback;
        EXPECT_EQ(s.memory.videoBytes, memoryBefore.videoBytes);
        EXPECT_EQ(s.memory.videoCount, memoryBefore.videoCount);
    }
    plat::NullRenderDevice dev;
    EngineErrorCallbackFn savedCallback = nullptr;
    SurfaceMemory memoryBefore;
};

TEST_F(SetDisplayModeTest, SwitchesTheDeviceFormatsAndClip) {
    struct Case {
        DisplayMode mode;
        int32_t displayFormat;
    };
    const Case cases[] = {
        {{1024, 768, 16, 60, 0}, kFormat565},
        {{800, 600, 32, 60, 1}, kFormatX888},
        {{1024, 768, 16, 60, 1}, kFormat565},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode.width);
        ASSERT_TRUE(Engine::SetDisplayMode(c.mode));
        const EngineState& s = Engine::State();
        EXPECT_EQ(s.mode, c.mode);
        EXPECT_EQ(dev.Mode().width, c.mode.width);
        EXPECT_EQ(dev.Mode().bitDepth, c.mode.bitsPerPixel);
        EXPECT_EQ(dev.Mode().fullScreen, c.mode.fullScreen != 0);
        EXPECT_EQ(s.displayFormat, c.displayFormat);
        EXPECT_TRUE(s.formats[kFormatDisplayVideo].SameLayout(s.formats[size_t(c.displayFormat)]));
        EXPECT_TRUE(s.formats[kFormat4444].supported);
        EXPECT_EQ(s.clip, (EngineRect{0, 0, c.mode.width, c.mode.height}));
        EXPECT_EQ(s.cachedStateBlock, -1);
        EXPECT_NE(s.cursorSave, nullptr);
        // Two targets and the cursor's save surface, counted once however
        // often the mode changes.
        EXPECT_EQ(s.memory.videoCount, memoryBefore.videoCount + 3);
        EXPECT_EQ(Engine::FallbackDisplayMode(), (DisplayMode{800, 600, 32, 60, c.mode.fullScreen}));
    }
    EXPECT_TRUE(gReports.empty());
}

TEST_F(SetDisplayModeTest, RefusesModesTheDeviceDoesNotOffer) {
    ASSERT_TRUE(Engine::SetDisplayMode({1024, 768, 16, 60, 0}));
    dev.ClearCalls();
    for (const DisplayMode& m : {DisplayMode{1000, 700, 16, 60, 0}, DisplayMode{1024, 768, 24, 60, 0},
                                 DisplayMode{1024, 768, 16, 85, 1}, DisplayMode{320, 200, 16, 60, 1}}) {
        EXPECT_FALSE(Engine::SetDisplayMode(m));
    }
    EXPECT_TRUE(dev.Calls().empty());
    EXPECT_EQ(Engine::State().mode, (DisplayMode{1024, 768, 16, 60, 0}));
    EXPECT_TRUE(gReports.empty());
}

TEST_F(SetDisplayModeTest, ADeviceFailureIsReported) {
    dev.FailNext("SetMode");
    EXPECT_FALSE(Engine::SetDisplayMode({800, 600, 16, 60, 0}));
    ASSERT_EQ(gReports.size(), 1u);
    EXPECT_TRUE(Engine::SetDisplayMode({800, 600, 16, 60, 0}));
}

} // namespace
