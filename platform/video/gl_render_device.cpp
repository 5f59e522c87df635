#include "platform/video/gl_render_device.h"

#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plat {

namespace {

// Screen-space vertices have their pixel centres on the integers; GL puts
// them half a pixel further, so positions move by +0.5. Row y of the picture
// is stored as framebuffer row y (top row first).
const char* kDrawVs = R"(#version 330 core
layout(location = 0) in vec4 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUv1;
layout(location = 3) in vec2 aUv2;
uniform vec2 uSize;
out vec4 vColor;
out vec2 vUv1;
out vec2 vUv2;
void main() {
    vec2 p = (aPos.xy + 0.5) / uSize * 2.0 - 1.0;
    gl_Position = vec4(p, 0.0, 1.0);
    vColor = aColor;
    vUv1 = aUv1;
    vUv2 = aUv2;
}
)";

const char* kDrawFs = R"(#version 330 core
in vec4 vColor;
in vec2 vUv1;
in vec2 vUv2;
uniform sampler2D uTex0;
uniform sampler2D uTex1;
uniform int uMode;
uniform bool uTint;
uniform bool uTintAdd;
uniform int uAlphaFunc;
uniform float uAlphaRef;
out vec4 oColor;
bool Passes(float alpha) {
    float a = floor(alpha * 255.0 + 0.5);
    if (uAlphaFunc == 0) return false;
    if (uAlphaFunc == 1) return a < uAlphaRef;
    if (uAlphaFunc == 2) return a == uAlphaRef;
    if (uAlphaFunc == 3) return a <= uAlphaRef;
    if (uAlphaFunc == 4) return a > uAlphaRef;
    if (uAlphaFunc == 5) return a != uAlphaRef;
    if (uAlphaFunc == 6) return a >= uAlphaRef;
    return true;
}
void main() {
    vec4 c;
    if (uMode == 0) {
        c = vColor;
    } else if (uMode == 1) {
        c = texture(uTex0, vUv1);
        if (uTint) {
            if (uTintAdd) c.rgb = min(c.rgb + vColor.rgb, vec3(1.0));
            else c *= vColor;
        }
    } else {
        vec4 t0 = texture(uTex0, vUv1);
        vec4 t1 = texture(uTex1, uMode == 2 ? vUv2 : vUv1);
        if (!uTint) c = vec4(t0.rgb, t1.a);
        else if (uMode == 2) c = t0 * vColor * t1;
        else c = vec4(t0.rgb * vColor.rgb, t1.a * vColor.a);
    }
    if (!Passes(c.a)) discard;
    oColor = c;
}
)";

// Copies texels one to one: u1, v1 carry texel positions.
const char* kBlitFs = R"(#version 330 core
in vec2 vUv1;
uniform sampler2D uTex0;
uniform bool uUseKey;
out vec4 oColor;
void main() {
    vec4 t = texelFetch(uTex0, ivec2(floor(vUv1)), 0);
    if (uUseKey && t.a == 0.0) discard;
    oColor = vec4(t.rgb, 1.0);
}
)";

const char* kPresentVs = R"(#version 330 core
out vec2 vUv;
void main() {
    vec2 p = vec2(gl_VertexID == 1 || gl_VertexID == 3 ? 1.0 : 0.0, gl_VertexID >= 2 ? 1.0 : 0.0);
    gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);
    vUv = vec2(p.x, 1.0 - p.y);
}
)";

const char* kPresentFs = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uBack;
uniform sampler2D uGamma;
out vec4 oColor;
float Ramp(float v, int channel) {
    vec4 g = texture(uGamma, vec2((floor(v * 255.0 + 0.5) + 0.5) / 256.0, 0.5));
    return channel == 0 ? g.r : channel == 1 ? g.g : g.b;
}
void main() {
    vec3 c = texture(uBack, vUv).rgb;
    oColor = vec4(Ramp(c.r, 0), Ramp(c.g, 1), Ramp(c.b, 2), 1.0);
}
)";

GLenum BlendOf(BlendFactor f) {
    switch (f) {
    case BlendFactor::Zero:
        return GL_ZERO;
    case BlendFactor::One:
        return GL_ONE;
    case BlendFactor::SrcAlpha:
        return GL_SRC_ALPHA;
    case BlendFactor::InvSrcAlpha:
        return GL_ONE_MINUS_SRC_ALPHA;
    case BlendFactor::DestColor:
        return GL_DST_COLOR;
    }
    return GL_ONE;
}

GLenum PrimitiveOf(Primitive p) {
    switch (p) {
    case Primitive::TriangleList:
        return GL_TRIANGLES;
    case Primitive::TriangleStrip:
        return GL_TRIANGLE_STRIP;
    case Primitive::PointList:
        return GL_POINTS;
    case Primitive::LineList:
        return GL_LINES;
    case Primitive::LineStrip:
        return GL_LINE_STRIP;
    }
    return GL_TRIANGLES;
}

constexpr int32_t kMaxSide = 16384;
// Streaming buffers: about 58000 vertices and 256000 indices.
constexpr size_t kVertexBytes = 2u << 20;
constexpr size_t kIndexBytes = 512u << 10;

} // namespace

std::unique_ptr<RenderDevice> MakeGlRenderDevice(Window& window, std::string* error) {
    auto dev = std::make_unique<GlRenderDevice>(window);
    if (!dev->Init()) {
        if (error != nullptr)
            *error = dev->LastError();
        return nullptr;
    }
    return dev;
}

GLint GlRenderDevice::Program::U(const char* n) {
    auto it = uniforms.find(n);
    if (it != uniforms.end())
        return it->second;
    const GLint loc = glGetUniformLocation(name, n);
    uniforms.emplace(n, loc);
    return loc;
}

GlRenderDevice::GlRenderDevice(Window& window) : window_(window) {}

GlRenderDevice::~GlRenderDevice() {
    if (window_.GlContext() == nullptr)
        return;
    for (auto& [id, t] : textures_)
        glDeleteTextures(1, &t.name);
    DeleteTargets();
    for (Program* p : {&draw_, &blit_, &present_})
        if (p->name != 0)
            glDeleteProgram(p->name);
    glDeleteSamplers(4, samplers_);
    glDeleteSamplers(1, &pointSampler_);
    glDeleteTextures(1, &gammaTex_);
    glDeleteBuffers(1, &vbo_);
    glDeleteBuffers(1, &ibo_);
    glDeleteVertexArrays(1, &vao_);
}

bool GlRenderDevice::Fail(const std::string& message) {
    lastError_ = message;
    return false;
}

bool GlRenderDevice::CheckGl(const char* what) {
    const GLenum e = glGetError();
    if (e == GL_NO_ERROR)
        return true;
    while (glGetError() != GL_NO_ERROR) {
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, " (GL error 0x%04X)", e);
    return Fail(std::string(what) + buf);
}

std::string GlRenderDevice::Renderer() const {
    const auto* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return r != nullptr ? r : "";
}

bool GlRenderDevice::BuildProgram(Program& p, const char* vs, const char* fs) {
    auto compile = [&](GLenum kind, const char* src, GLuint& out) {
        out = glCreateShader(kind);
        glShaderSource(out, 1, &src, nullptr);
        glCompileShader(out);
        GLint ok = 0;
        glGetShaderiv(out, GL_COMPILE_STATUS, &ok);
        if (ok == 0) {
            char log[1024] = {};
            glGetShaderInfoLog(out, sizeof log, nullptr, log);
            return Fail(std::string("shader compilation failed: ") + log);
        }
        return true;
    };
    GLuint v = 0, f = 0;
    const bool built = compile(GL_VERTEX_SHADER, vs, v) && compile(GL_FRAGMENT_SHADER, fs, f);
    if (built) {
        p.name = glCreateProgram();
        glAttachShader(p.name, v);
        glAttachShader(p.name, f);
        glLinkProgram(p.name);
    }
    glDeleteShader(v);
    glDeleteShader(f);
    if (!built)
        return false;
    GLint ok = 0;
    glGetProgramiv(p.name, GL_LINK_STATUS, &ok);
    if (ok == 0) {
        char log[1024] = {};
        glGetProgramInfoLog(p.name, sizeof log, nullptr, log);
        return Fail(std::string("shader link failed: ") + log);
    }
    return true;
}

bool GlRenderDevice::Init() {
    if (window_.GlContext() == nullptr)
        return Fail("no OpenGL context");
    if (epoxy_gl_version() < 33)
        return Fail("OpenGL 3.3 is needed, the context offers " + std::to_string(epoxy_gl_version()));
    if (!BuildProgram(draw_, kDrawVs, kDrawFs) || !BuildProgram(blit_, kDrawVs, kBlitFs) ||
        !BuildProgram(present_, kPresentVs, kPresentFs))
        return false;

    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &vbo_);
    glGenBuffers(1, &ibo_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, kVertexBytes, nullptr, GL_STREAM_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexBytes, nullptr, GL_STREAM_DRAW);
    const GLsizei stride = sizeof(RenderVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<void*>(offsetof(RenderVertex, x)));
    glEnableVertexAttribArray(1);
    // ARGB words are B, G, R, A bytes in memory.
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<void*>(offsetof(RenderVertex, color)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<void*>(offsetof(RenderVertex, u1)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<void*>(offsetof(RenderVertex, u2)));

    glGenSamplers(4, samplers_);
    for (int i = 0; i < 4; ++i) {
        const GLint filter = (i & 2) ? GL_LINEAR : GL_NEAREST;
        const GLint wrap = (i & 1) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
        glSamplerParameteri(samplers_[i], GL_TEXTURE_MIN_FILTER, filter);
        glSamplerParameteri(samplers_[i], GL_TEXTURE_MAG_FILTER, filter);
        glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_S, wrap);
        glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_T, wrap);
    }
    glGenSamplers(1, &pointSampler_);
    glSamplerParameteri(pointSampler_, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(pointSampler_, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(pointSampler_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(pointSampler_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    glGenTextures(1, &gammaTex_);
    glBindTexture(GL_TEXTURE_2D, gammaTex_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16, 256, 1, 0, GL_RGBA, GL_UNSIGNED_SHORT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

    glUseProgram(draw_.name);
    glUniform1i(draw_.U("uTex0"), 0);
    glUniform1i(draw_.U("uTex1"), 1);
    glUseProgram(blit_.name);
    glUniform1i(blit_.U("uTex0"), 0);
    glUseProgram(present_.name);
    glUniform1i(present_.U("uBack"), 0);
    glUniform1i(present_.U("uGamma"), 2);

    glDisable(GL_DITHER);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    GLint maxSize = 2048;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    caps_.maxTextureWidth = caps_.maxTextureHeight = std::min<GLint>(maxSize, 2048);
    caps_.alphaCompares = kAllAlphaCompares;
    caps_.hasGamma = true;
    if (!SetGamma(GammaRamp::Identity()))
        return false;
    return CheckGl("device set-up");
}

void GlRenderDevice::DeleteTargets() {
    GLuint fbos[3] = {backFbo_, spareFbo_, tempFbo_};
    GLuint texs[3] = {backTex_, spareTex_, tempTex_};
    glDeleteFramebuffers(3, fbos);
    glDeleteTextures(3, texs);
    backFbo_ = spareFbo_ = tempFbo_ = backTex_ = spareTex_ = tempTex_ = 0;
}

bool GlRenderDevice::SetMode(const VideoMode& mode) {
    if (mode.width < 1 || mode.height < 1 || mode.width > kMaxSide || mode.height > kMaxSide)
        return Fail("SetMode: bad size");
    if (mode.bitDepth != 16 && mode.bitDepth != 32)
        return Fail("SetMode: only 16 and 32 bits");
    if (!window_.SetMode(mode.width, mode.height, mode.fullScreen))
        return Fail("SetMode: " + window_.Error());
    DeleteTargets();
    const GLenum internal = mode.bitDepth == 16 ? GL_RGB565 : GL_RGBA8;
    GLuint* fbos[3] = {&backFbo_, &spareFbo_, &tempFbo_};
    GLuint* texs[3] = {&backTex_, &spareTex_, &tempTex_};
    for (int i = 0; i < 3; ++i) {
        glGenTextures(1, texs[i]);
        glBindTexture(GL_TEXTURE_2D, *texs[i]);
        glTexStorage2D(GL_TEXTURE_2D, 1, internal, mode.width, mode.height);
        glGenFramebuffers(1, fbos[i]);
        glBindFramebuffer(GL_FRAMEBUFFER, *fbos[i]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, *texs[i], 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            DeleteTargets();
            hasMode_ = false;
            return Fail("SetMode: the render target is not complete");
        }
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    mode_ = mode;
    hasMode_ = true;
    clip_ = {0, 0, mode.width, mode.height};
    stateDirty_ = true;
    return CheckGl("SetMode");
}

GlRenderDevice::Texture* GlRenderDevice::Find(TextureId id) {
    auto it = textures_.find(id);
    return it == textures_.end() ? nullptr : &it->second;
}

TextureId GlRenderDevice::CreateTexture(int32_t width, int32_t height, PixelFormat format) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        static_cast<int>(format) >= kPixelFormatCount) {
        Fail("CreateTexture: bad size or format");
        return kNoTexture;
    }
    Texture t;
    const int32_t pitch = width * BytesPerPixel(format);
    t.pixels.assign(static_cast<size_t>(pitch) * height, 0);
    glGenTextures(1, &t.name);
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
    if (!CheckGl("CreateTexture")) {
        glDeleteTextures(1, &t.name);
        return kNoTexture;
    }
    const TextureId id = nextId_++;
    Texture& stored = textures_[id] = std::move(t);
    stored.view = {stored.pixels.data(), width, height, pitch, format};
    Upload(stored, 0, height);
    return id;
}

void GlRenderDevice::DestroyTexture(TextureId id) {
    Texture* t = Find(id);
    if (t == nullptr)
        return;
    glDeleteTextures(1, &t->name);
    textures_.erase(id);
    for (TextureId& b : bound_)
        if (b == id)
            b = kNoTexture;
}

void GlRenderDevice::Upload(Texture& t, int32_t top, int32_t bottom) {
    const int32_t w = t.view.width;
    const int bpp = BytesPerPixel(t.view.format);
    std::vector<uint32_t> rows(static_cast<size_t>(w) * (bottom - top));
    size_t i = 0;
    for (int32_t y = top; y < bottom; ++y) {
        const uint8_t* row = t.pixels.data() + static_cast<size_t>(y) * t.view.pitch;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t p = 0;
            std::memcpy(&p, row + static_cast<size_t>(x) * bpp, static_cast<size_t>(bpp));
            uint32_t argb = NativeToArgb(t.view.format, p);
            if (t.keyed && p == t.key)
                argb &= 0x00FFFFFFu;
            rows[i++] = argb;
        }
    }
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, top, w, bottom - top, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                    rows.data());
    ++stats_.uploads;
}

bool GlRenderDevice::LockTexture(TextureId id, TextureLock& lock) {
    lock = {};
    Texture* t = Find(id);
    if (t == nullptr)
        return Fail("LockTexture: unknown texture");
    t->locked = true;
    lock = t->view;
    return true;
}

bool GlRenderDevice::UnlockTexture(TextureId id, const DeviceRect* dirty) {
    Texture* t = Find(id);
    if (t == nullptr || !t->locked)
        return Fail("UnlockTexture: texture not locked");
    t->locked = false;
    int32_t top = 0, bottom = t->view.height;
    if (dirty != nullptr) {
        top = std::clamp(dirty->top, 0, t->view.height);
        bottom = std::clamp(dirty->bottom, top, t->view.height);
    }
    if (bottom > top)
        Upload(*t, top, bottom);
    return CheckGl("UnlockTexture");
}

bool GlRenderDevice::SetColorKey(TextureId id, bool enabled, uint32_t nativeKey) {
    Texture* t = Find(id);
    if (t == nullptr)
        return Fail("SetColorKey: unknown texture");
    if (t->keyed == enabled && t->key == nativeKey)
        return true;
    t->keyed = enabled;
    t->key = nativeKey;
    Upload(*t, 0, t->view.height);
    return CheckGl("SetColorKey");
}

const TextureLock* GlRenderDevice::TexturePixels(TextureId id) const {
    auto it = textures_.find(id);
    return it == textures_.end() ? nullptr : &it->second.view;
}

bool GlRenderDevice::ApplyState(const RenderState& s) {
    if (s.textureMode > 3)
        return Fail("ApplyState: bad texture mode");
    state_ = s;
    stateDirty_ = true;
    ++stats_.stateChanges;
    return true;
}

bool GlRenderDevice::BindTexture(int stage, TextureId id) {
    if (stage < 0 || stage >= kTextureStages)
        return Fail("BindTexture: bad stage");
    if (id != kNoTexture && Find(id) == nullptr)
        return Fail("BindTexture: unknown texture");
    bound_[stage] = id;
    ++stats_.textureBinds;
    return true;
}

bool GlRenderDevice::SetClip(const DeviceRect& rect) {
    if (!hasMode_)
        return Fail("SetClip: no mode");
    DeviceRect r;
    r.left = std::clamp(rect.left, 0, mode_.width);
    r.top = std::clamp(rect.top, 0, mode_.height);
    r.right = std::clamp(rect.right, r.left, mode_.width);
    r.bottom = std::clamp(rect.bottom, r.top, mode_.height);
    clip_ = r;
    return true;
}

DeviceRect GlRenderDevice::Limit(RenderTarget t) const {
    return t == RenderTarget::BackBuffer ? clip_ : DeviceRect{0, 0, mode_.width, mode_.height};
}

void GlRenderDevice::BindTarget(RenderTarget target) {
    glBindFramebuffer(GL_FRAMEBUFFER, TargetFbo(target));
    glViewport(0, 0, mode_.width, mode_.height);
}

void GlRenderDevice::ApplyGlState() {
    glUseProgram(draw_.name);
    glUniform2f(draw_.U("uSize"), static_cast<float>(mode_.width), static_cast<float>(mode_.height));
    const RenderState& s = state_;
    if (s.blendEnable) {
        glEnable(GL_BLEND);
        glBlendFuncSeparate(BlendOf(s.srcBlend), BlendOf(s.dstBlend), GL_ZERO, GL_ONE);
    } else {
        glDisable(GL_BLEND);
    }
    glUniform1i(draw_.U("uMode"), s.textureMode);
    glUniform1i(draw_.U("uTint"), s.tint ? 1 : 0);
    glUniform1i(draw_.U("uTintAdd"), s.tintAdd ? 1 : 0);
    glUniform1i(draw_.U("uAlphaFunc"),
                s.alphaTestEnable ? static_cast<int>(s.alphaFunc) : static_cast<int>(CompareFunc::Always));
    glUniform1f(draw_.U("uAlphaRef"), static_cast<float>(s.alphaRef));
    const GLuint sampler = samplers_[(s.linearFilter ? 2 : 0) + (s.wrap ? 1 : 0)];
    glBindSampler(0, sampler);
    glBindSampler(1, sampler);
    stateDirty_ = false;
}

bool GlRenderDevice::Draw(Primitive prim, const RenderVertex* vertices, int32_t vertexCount,
                          const uint16_t* indices, int32_t indexCount) {
    if (!hasMode_)
        return Fail("Draw: no mode");
    if (vertices == nullptr || vertexCount < 1 || (indices != nullptr && indexCount < 1))
        return Fail("Draw: no vertices");
    if (indices != nullptr)
        for (int32_t i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount)
                return Fail("Draw: index past the vertices");
    BindTarget(RenderTarget::BackBuffer);
    // Blits and presenting switch programs and blending; they mark the
    // state dirty so it is set again here.
    if (stateDirty_)
        ApplyGlState();
    for (int stage = 0; stage < 2; ++stage) {
        glActiveTexture(GL_TEXTURE0 + stage);
        const Texture* t = bound_[stage] != kNoTexture ? Find(bound_[stage]) : nullptr;
        glBindTexture(GL_TEXTURE_2D, t != nullptr ? t->name : 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_SCISSOR_TEST);
    glScissor(clip_.left, clip_.top, clip_.Width(), clip_.Height());
    glBindVertexArray(vao_);
    const GLint first = StreamVertices(vertices, vertexCount);
    if (first < 0)
        return Fail("Draw: too many vertices");
    if (indices != nullptr) {
        const size_t offset = StreamIndices(indices, indexCount);
        if (offset == SIZE_MAX)
            return Fail("Draw: too many indices");
        glDrawElementsBaseVertex(PrimitiveOf(prim), indexCount, GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(offset), first);
    } else {
        glDrawArrays(PrimitiveOf(prim), first, vertexCount);
    }
    ++stats_.drawCalls;
    stats_.verticesDrawn += static_cast<uint32_t>(vertexCount);
    return CheckGl("Draw");
}

GLint GlRenderDevice::StreamVertices(const RenderVertex* vertices, int32_t count) {
    const size_t bytes = size_t(count) * sizeof(RenderVertex);
    if (bytes > kVertexBytes)
        return -1;
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    if (vboUsed_ + bytes > kVertexBytes) {
        glBufferData(GL_ARRAY_BUFFER, kVertexBytes, nullptr, GL_STREAM_DRAW);
        vboUsed_ = 0;
    }
    // Earlier draws never read this range again, so no waiting for them.
    void* p = glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(vboUsed_), GLsizeiptr(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (p == nullptr)
        return -1;
    std::memcpy(p, vertices, bytes);
    glUnmapBuffer(GL_ARRAY_BUFFER);
    const auto first = GLint(vboUsed_ / sizeof(RenderVertex));
    vboUsed_ += bytes;
    return first;
}

size_t GlRenderDevice::StreamIndices(const uint16_t* indices, int32_t count) {
    const size_t bytes = size_t(count) * sizeof(uint16_t);
    if (bytes > kIndexBytes)
        return SIZE_MAX;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
    if (iboUsed_ + bytes > kIndexBytes) {
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexBytes, nullptr, GL_STREAM_DRAW);
        iboUsed_ = 0;
    }
    void* p = glMapBufferRange(GL_ELEMENT_ARRAY_BUFFER, GLintptr(iboUsed_), GLsizeiptr(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (p == nullptr)
        return SIZE_MAX;
    std::memcpy(p, indices, bytes);
    glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER);
    const size_t offset = iboUsed_;
    // Keep the next start 4-byte aligned.
    iboUsed_ += (bytes + 3) & ~size_t(3);
    return offset;
}

bool GlRenderDevice::Fill(RenderTarget target, const DeviceRect& rect, uint32_t argb) {
    if (!hasMode_)
        return Fail("Fill: no mode");
    const DeviceRect lim = Limit(target);
    const int32_t l = std::max(rect.left, lim.left), t = std::max(rect.top, lim.top);
    const int32_t r = std::min(rect.right, lim.right), b = std::min(rect.bottom, lim.bottom);
    if (r <= l || b <= t)
        return true;
    // Quantise first: a value the target holds exactly clears the same
    // whichever way the driver rounds.
    if (mode_.bitDepth == 16)
        argb = NativeToArgb(PixelFormat::Rgb565, ArgbToNative(PixelFormat::Rgb565, argb));
    BindTarget(target);
    glEnable(GL_SCISSOR_TEST);
    glScissor(l, t, r - l, b - t);
    glClearColor(static_cast<float>((argb >> 16) & 0xFF) / 255.0f,
                 static_cast<float>((argb >> 8) & 0xFF) / 255.0f, static_cast<float>(argb & 0xFF) / 255.0f,
                 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    return CheckGl("Fill");
}

bool GlRenderDevice::Copy(RenderTarget dst, DevicePoint at, RenderTarget src, const DeviceRect& from) {
    if (!hasMode_)
        return Fail("Copy: no mode");
    DeviceRect f = from;
    if (!ClipCopyRect(at, f, mode_.width, mode_.height, Limit(dst)))
        return true;
    glDisable(GL_SCISSOR_TEST);
    GLuint readFbo = TargetFbo(src);
    DevicePoint readAt{f.left, f.top};
    if (src == dst) {
        // Overlapping copies go through the temporary target.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, tempFbo_);
        glBlitFramebuffer(f.left, f.top, f.right, f.bottom, f.left, f.top, f.right, f.bottom,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        readFbo = tempFbo_;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, TargetFbo(dst));
    glBlitFramebuffer(readAt.x, readAt.y, readAt.x + f.Width(), readAt.y + f.Height(), at.x, at.y,
                      at.x + f.Width(), at.y + f.Height(), GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return CheckGl("Copy");
}

bool GlRenderDevice::Blit(RenderTarget dst, DevicePoint at, TextureId src, const DeviceRect& from,
                          bool useKey) {
    if (!hasMode_)
        return Fail("Blit: no mode");
    Texture* t = Find(src);
    if (t == nullptr)
        return Fail("Blit: unknown texture");
    DeviceRect f = from;
    if (!ClipCopyRect(at, f, t->view.width, t->view.height, Limit(dst)))
        return true;
    const float x0 = static_cast<float>(at.x), y0 = static_cast<float>(at.y);
    const float x1 = x0 + static_cast<float>(f.Width()), y1 = y0 + static_cast<float>(f.Height());
    // Positions on pixel corners: -0.5 undoes the shift of the vertex shader.
    auto v = [](float x, float y, float u, float vv) {
        return RenderVertex{x - 0.5f, y - 0.5f, 0, 1, 0xFFFFFFFFu, u, vv, 0, 0};
    };
    const float u0 = static_cast<float>(f.left), v0 = static_cast<float>(f.top);
    const float u1 = static_cast<float>(f.right), v1 = static_cast<float>(f.bottom);
    const RenderVertex quad[4] = {v(x0, y0, u0, v0), v(x1, y0, u1, v0), v(x0, y1, u0, v1), v(x1, y1, u1, v1)};
    BindTarget(dst);
    glUseProgram(blit_.name);
    glUniform2f(blit_.U("uSize"), static_cast<float>(mode_.width), static_cast<float>(mode_.height));
    glUniform1i(blit_.U("uUseKey"), useKey && t->keyed ? 1 : 0);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, t->name);
    glBindSampler(0, pointSampler_);
    glBindVertexArray(vao_);
    glDrawArrays(GL_TRIANGLE_STRIP, StreamVertices(quad, 4), 4);
    stateDirty_ = true;
    return CheckGl("Blit");
}

bool GlRenderDevice::Finish() {
    glFinish();
    return CheckGl("Finish");
}

bool GlRenderDevice::Present(bool vsync) {
    if (!hasMode_)
        return Fail("Present: no mode");
    SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_.Handle(), &w, &h);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const DeviceRect pic = window_.PictureRect();
    // The window's rows count from the bottom.
    glViewport(pic.left, h - pic.bottom, pic.Width(), pic.Height());
    glUseProgram(present_.name);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, gammaTex_);
    glBindSampler(2, pointSampler_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, backTex_);
    const bool exact = pic.Width() == mode_.width && pic.Height() == mode_.height;
    glBindSampler(0, exact ? pointSampler_ : samplers_[2]);
    glBindVertexArray(vao_);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    SDL_GL_SwapWindow(window_.Handle());
    stateDirty_ = true;
    return CheckGl("Present");
}

bool GlRenderDevice::SetGamma(const GammaRamp& ramp) {
    std::vector<uint16_t> texels(256 * 4);
    for (int i = 0; i < 256; ++i) {
        texels[i * 4 + 0] = ramp.red[i];
        texels[i * 4 + 1] = ramp.green[i];
        texels[i * 4 + 2] = ramp.blue[i];
        texels[i * 4 + 3] = 0xFFFF;
    }
    glBindTexture(GL_TEXTURE_2D, gammaTex_);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    return CheckGl("SetGamma");
}

bool GlRenderDevice::ReadPixels(RenderTarget target, const DeviceRect& rect, std::vector<uint32_t>& argb) {
    if (!hasMode_)
        return Fail("ReadPixels: no mode");
    if (rect.left < 0 || rect.top < 0 || rect.right > mode_.width || rect.bottom > mode_.height ||
        rect.Width() < 1 || rect.Height() < 1)
        return Fail("ReadPixels: rectangle outside the target");
    const size_t n = static_cast<size_t>(rect.Width()) * rect.Height();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, TargetFbo(target));
    argb.assign(n, 0);
    if (mode_.bitDepth == 16) {
        std::vector<uint16_t> px(n);
        glReadPixels(rect.left, rect.top, rect.Width(), rect.Height(), GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                     px.data());
        for (size_t i = 0; i < n; ++i)
            argb[i] = NativeToArgb(PixelFormat::Rgb565, px[i]);
    } else {
        glReadPixels(rect.left, rect.top, rect.Width(), rect.Height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     argb.data());
        for (uint32_t& p : argb)
            p |= 0xFF000000u;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return CheckGl("ReadPixels");
}

} // namespace plat
