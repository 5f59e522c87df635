// A started engine on the Null render device for the asset tests: every
// texture format available, 16-bit display format, errors recorded.
#pragma once

#include "engine/bitmap_font.h"
#include "engine/engine_state.h"
#include "engine/surfaces.h"
#include "platform/null_render_device.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

class AssetEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = std::make_unique<plat::NullRenderDevice>();
        device->SetMode(plat::VideoMode{});
        EngineState& s = Engine::State();
        s.device = device.get();
        s.caps = DeviceCaps{};
        Engine::ResetPixelFormats();
        for (int32_t f = 0; f < 6; ++f)
            s.formats[size_t(f)].supported = 1;
        Engine::SetDisplayFormat(kFormat565);
        errors().clear();
        previousCallback = s.errorCallback;
        s.errorCallback = [](int32_t result, int32_t line) { errors().push_back({result, line}); };
    }
    void TearDown() override {
        Engine::FreeFontList();
        Engine::ResetTextureTable();
        EngineState& s = Engine::State();
        s.errorCallback = previousCallback;
        s.device = nullptr;
    }

    static std::vector<std::pair<int32_t, int32_t>>& errors() {
        static std::vector<std::pair<int32_t, int32_t>> list;
        return list;
    }

    std::unique_ptr<plat::NullRenderDevice> device;
    EngineErrorCallbackFn previousCallback = nullptr;
};
