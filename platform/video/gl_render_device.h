// The OpenGL 3.3 render device: the back buffer and the spare picture are
// framebuffer textures of the mode's size (RGB 565 at 16 bits), stored top
// row first; one shader program covers every render state, another copies
// textures for blits, a third presents the back buffer scaled into the
// window through the gamma ramp.
#pragma once

#include "platform/render_device.h"
#include "platform/video/window.h"

#include <epoxy/gl.h>

#include <map>
#include <string>
#include <vector>

namespace plat {

class GlRenderDevice final : public RenderDevice {
public:
    explicit GlRenderDevice(Window& window);
    ~GlRenderDevice() override;
    GlRenderDevice(const GlRenderDevice&) = delete;
    GlRenderDevice& operator=(const GlRenderDevice&) = delete;

    // Compiles the programs and makes the buffers; false with LastError().
    bool Init();
    void SetCaps(const RenderCaps& caps) { caps_ = caps; }
    // The GL renderer's name, for logs.
    std::string Renderer() const;

    const char* Name() const override { return "OpenGL"; }
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

    bool BeginScene() override { return true; }
    bool EndScene() override { return true; }
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
        GLuint name = 0;
        std::vector<uint8_t> pixels;
        TextureLock view;
        bool locked = false;
        bool keyed = false;
        uint32_t key = 0;
    };
    struct Program {
        GLuint name = 0;
        std::map<std::string, GLint> uniforms;
        GLint U(const char* n);
    };

    bool Fail(const std::string& message);
    bool CheckGl(const char* what);
    Texture* Find(TextureId id);
    void Upload(Texture& t, int32_t top, int32_t bottom);
    bool BuildProgram(Program& p, const char* vs, const char* fs);
    void DeleteTargets();
    void BindTarget(RenderTarget target);
    void ApplyGlState();
    GLuint TargetFbo(RenderTarget t) const { return t == RenderTarget::BackBuffer ? backFbo_ : spareFbo_; }
    GLuint TargetTex(RenderTarget t) const { return t == RenderTarget::BackBuffer ? backTex_ : spareTex_; }
    DeviceRect Limit(RenderTarget t) const;
    // Appends to the streaming buffers; the first vertex, or the byte
    // offset of the first index. A full buffer is orphaned and refilled.
    GLint StreamVertices(const RenderVertex* vertices, int32_t count);
    size_t StreamIndices(const uint16_t* indices, int32_t count);

    Window& window_;
    RenderCaps caps_;
    VideoMode mode_{};
    bool hasMode_ = false;
    std::string lastError_;
    std::map<TextureId, Texture> textures_;
    TextureId nextId_ = 1;

    Program draw_, blit_, present_;
    GLuint vao_ = 0, vbo_ = 0, ibo_ = 0;
    size_t vboUsed_ = 0, iboUsed_ = 0;
    GLuint samplers_[4] = {}; // [linear * 2 + wrap]
    GLuint pointSampler_ = 0;
    GLuint gammaTex_ = 0;
    GLuint backFbo_ = 0, spareFbo_ = 0, tempFbo_ = 0;
    GLuint backTex_ = 0, spareTex_ = 0, tempTex_ = 0;

    RenderState state_;
    bool stateDirty_ = true;
    TextureId bound_[kTextureStages] = {};
    DeviceRect clip_;
    DeviceStats stats_;
};

} // namespace plat
