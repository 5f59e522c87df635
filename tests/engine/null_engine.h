// A started engine on the Null render device for tests: 1024 x 768 at 16
// bits, errors captured instead of logged, messages recorded.
#pragma once

#include "engine/engine_state.h"
#include "engine/frame.h"
#include "engine/surfaces.h"
#include "platform/message.h"
#include "platform/null_render_device.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

inline std::vector<std::pair<int32_t, int32_t>>& CapturedErrors() {
    static std::vector<std::pair<int32_t, int32_t>> errors;
    return errors;
}

inline void CaptureError(int32_t result, int32_t line) {
    CapturedErrors().emplace_back(result, line);
}

class NullEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        CapturedErrors().clear();
        messages.clear();
        previousSink = plat::SetMessageSink([this](const std::string& text, const std::string& caption) {
            messages.push_back(caption + ": " + text);
        });
        EngineState& s = Engine::State();
        previousCallback = s.errorCallback;
        s.errorCallback = CaptureError;
        ASSERT_TRUE(Engine::EngineInit(&device, {}, DisplayMode{1024, 768, 16, 60, 0}));
    }
    void TearDown() override {
        Engine::ReleaseEngine();
        Engine::State().errorCallback = previousCallback;
        plat::SetMessageSink(previousSink);
    }

    // A texture of w x h ARGB 8888 texels filled by f(x, y), with a
    // texture record for the whole image.
    template <typename F>
    TextureHandle MakeTexture(int32_t w, int32_t h, F f) {
        Surface* s = nullptr;
        SurfaceDesc d = Engine::InitSurfaceDesc(w, h, kSurfaceTexture, kFormat8888);
        EXPECT_EQ(Engine::CreateSurface(d, &s), 0);
        TextureRecord r;
        r.width = w, r.height = h;
        r.invWidth = 1.0f / float(w), r.invHeight = 1.0f / float(h);
        r.usedU = float(w) / float(d.width), r.usedV = float(h) / float(d.height);
        r.halfU = 0.5f / float(d.width), r.halfV = 0.5f / float(d.height);
        r.format = kFormat8888;
        Engine::SetTextureRecord(s, &r);
        plat::TextureLock lock;
        device.LockTexture(s->deviceTexture, lock);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint32_t v = f(x, y);
                uint8_t* p = lock.pixels + y * lock.pitch + x * 4;
                p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
            }
        device.UnlockTexture(s->deviceTexture);
        return Engine::StoreTextureHandle(s);
    }
    TextureHandle MakeTexture(int32_t w, int32_t h) {
        return MakeTexture(w, h, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    }

    // The recorded calls whose text starts with the prefix.
    std::vector<std::string> CallsStarting(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& c : device.Calls())
            if (c.rfind(prefix, 0) == 0)
                out.push_back(c);
        return out;
    }

    plat::NullRenderDevice device;
    std::vector<std::string> messages;
    plat::MessageSink previousSink;
    EngineErrorCallbackFn previousCallback = nullptr;
};
