// A render device without a screen: it keeps every texture's CPU copy and
// the two targets as plain pixel arrays (fills, copies and blits land there,
// draws are only counted), and can record each call as a line of text so
// tests can check what the engine sent, in order.
#pragma once

#include "platform/render_device.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class NullRenderDevice final : public RenderDevice {
public:
    NullRenderDevice();

    // Test controls.
    void SetCaps(const RenderCaps& caps) { caps_ = caps; }
    void SetRecording(bool on) { recording_ = on; }
    // Off: fills, copies and blits of the targets are checked and counted
    // but leave the pixels as they are, so that benchmarks measure the
    // caller rather than this device's stand-in for the graphics card.
    void SetTargetPixels(bool on) { targetPixels_ = on; }
    const std::vector<std::string>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // The next `count` calls of the named method (e.g. "ApplyState") fail.
    void FailNext(const std::string& method, int count = 1) { failures_[method] += count; }
    const GammaRamp& Gamma() const { return gamma_; }
    const RenderState& State() const { return state_; }
    TextureId BoundTexture(int stage) const;
    const DeviceRect& Clip() const { return clip_; }
    size_t TextureCount() const { return textureCount_; }

    const char* Name() const override { return "Null"; }
    const RenderCaps& Caps() const override { return caps_; }
    const std::string& LastError() const override { return lastError_; }

    bool SetMode(const VideoMode& mode) override;
    const VideoMode& Mode() const override { return mode_; }

    TextureId CreateTexture(int32_t width, int32_t height, PixelFormat format) override;
    void DestroyTexture(TextureId id) override;
    bool LockTexture(TextureId id, TextureLock& lock) override;
    bool UnlockTexture(TextureId id, const DeviceRect* dirty = nullptr) override;
    bool SetColorKey(TextureId id, bool enabled, uint32_t nativeKey) override;
    const TextureLock* TexturePixels(TextureId id) const override;

    bool BeginScene() override;
    bool EndScene() override;
    bool ApplyState(const RenderState& state) override;
    bool BindTexture(int stage, TextureId id) override;
    bool SetClip(const DeviceRect& rect) override;
    bool Draw(Primitive prim, const RenderVertex* vertices, int32_t vertexCount, const uint16_t* indices,
              int32_t indexCount) override;

    bool Fill(RenderTarget target, const DeviceRect& rect, uint32_t argb) override;
    bool Copy(RenderTarget dst, DevicePoint at, RenderTarget src, const DeviceRect& from) override;
    bool Blit(RenderTarget dst, DevicePoint at, TextureId src, const DeviceRect& from, bool useKey) override;

    bool Finish() override;
    bool Present(bool vsync) override;
    bool SetGamma(const GammaRamp& ramp) override;
    bool ReadPixels(RenderTarget target, const DeviceRect& rect, std::vector<uint32_t>& argb) override;

    const DeviceStats& Stats() const override { return stats_; }
    void ResetStats() override { stats_ = {}; }

private:
    struct Texture {
        std::vector<uint8_t> pixels;
        TextureLock view;
        bool locked = false;
        bool keyed = false;
        uint32_t key = 0;
    };

    // Records the call while recording (its arguments are formatted only
    // then) and takes one injected failure of the method.
    template <typename Describe>
    bool Begin(const char* method, Describe&& describe) {
        if (recording_)
            Record(method, describe());
        return failures_.empty() || !TakeFailure(method);
    }
    bool Begin(const char* method) {
        return Begin(method, [] { return std::string(); });
    }
    void Record(const char* method, const std::string& args);
    bool TakeFailure(const char* method);
    bool Fail(const std::string& message);
    Texture* Find(TextureId id) const;
    std::vector<uint32_t>& Pixels(RenderTarget target);
    // Whether every pixel of a target holds one value: filling the whole
    // target with that value again changes nothing and is skipped.
    struct Uniform {
        bool known = false;
        uint32_t value = 0;
    };
    Uniform& UniformOf(RenderTarget target) {
        return target == RenderTarget::BackBuffer ? backUniform_ : spareUniform_;
    }
    uint32_t Quantise(uint32_t argb) const;

    RenderCaps caps_;
    VideoMode mode_{};
    bool hasMode_ = false;
    std::string lastError_;
    bool recording_ = false;
    bool targetPixels_ = true;
    std::vector<std::string> calls_;
    std::map<std::string, int> failures_;
    // Indexed by id (ids are never reused), so a bind is one array read.
    std::vector<std::unique_ptr<Texture>> textures_;
    size_t textureCount_ = 0;
    TextureId nextId_ = 1;
    RenderState state_;
    TextureId bound_[kTextureStages] = {};
    DeviceRect clip_;
    GammaRamp gamma_ = GammaRamp::Identity();
    std::vector<uint32_t> back_, spare_;
    Uniform backUniform_, spareUniform_;
    DeviceStats stats_;
};

} // namespace plat
