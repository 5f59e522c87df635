#include "platform/null_render_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plat {

namespace {

constexpr int32_t kMaxTextureSide = 16384;

std::string RectText(const DeviceRect& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "(%d,%d,%d,%d)", r.left, r.top, r.right, r.bottom);
    return buf;
}

const char* TargetName(RenderTarget t) {
    return t == RenderTarget::BackBuffer ? "back" : "spare";
}

const char* PrimitiveName(Primitive p) {
    switch (p) {
    case Primitive::TriangleList:
        return "tris";
    case Primitive::TriangleStrip:
        return "strip";
    case Primitive::PointList:
        return "points";
    case Primitive::LineList:
        return "lines";
    case Primitive::LineStrip:
        return "linestrip";
    }
    return "?";
}

} // namespace

std::unique_ptr<RenderDevice> MakeNullRenderDevice() {
    return std::make_unique<NullRenderDevice>();
}

NullRenderDevice::NullRenderDevice() {
    caps_.hasGamma = true;
}

void NullRenderDevice::Record(const char* method, const std::string& args) {
    calls_.push_back(args.empty() ? std::string(method) : std::string(method) + " " + args);
}

bool NullRenderDevice::TakeFailure(const char* method) {
    auto it = failures_.find(method);
    if (it == failures_.end() || it->second <= 0)
        return false;
    --it->second;
    Fail(std::string(method) + " failed (injected)");
    return true;
}

bool NullRenderDevice::Fail(const std::string& message) {
    lastError_ = message;
    return false;
}

NullRenderDevice::Texture* NullRenderDevice::Find(TextureId id) const {
    return id < textures_.size() ? textures_[id].get() : nullptr;
}

TextureId NullRenderDevice::BoundTexture(int stage) const {
    return stage >= 0 && stage < kTextureStages ? bound_[stage] : kNoTexture;
}

std::vector<uint32_t>& NullRenderDevice::Pixels(RenderTarget target) {
    return target == RenderTarget::BackBuffer ? back_ : spare_;
}

uint32_t NullRenderDevice::Quantise(uint32_t argb) const {
    const PixelFormat f = mode_.bitDepth == 16 ? PixelFormat::Rgb565 : PixelFormat::Xrgb8888;
    return NativeToArgb(f, ArgbToNative(f, argb));
}

bool NullRenderDevice::SetMode(const VideoMode& mode) {
    if (!Begin("SetMode", [&] {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%dx%dx%d%s", mode.width, mode.height, mode.bitDepth,
                          mode.fullScreen ? " full" : "");
            return std::string(buf);
        }))
        return false;
    if (mode.width < 1 || mode.height < 1 || mode.width > kMaxTextureSide || mode.height > kMaxTextureSide)
        return Fail("SetMode: bad size");
    if (mode.bitDepth != 16 && mode.bitDepth != 32)
        return Fail("SetMode: only 16 and 32 bits");
    mode_ = mode;
    hasMode_ = true;
    const size_t n = static_cast<size_t>(mode.width) * mode.height;
    back_.assign(n, 0xFF000000u);
    spare_.assign(n, 0xFF000000u);
    backUniform_ = spareUniform_ = {true, 0xFF000000u};
    clip_ = {0, 0, mode.width, mode.height};
    return true;
}

TextureId NullRenderDevice::CreateTexture(int32_t width, int32_t height, PixelFormat format) {
    if (!Begin("CreateTexture", [&] {
            char buf[48];
            std::snprintf(buf, sizeof buf, "%dx%d f%d", width, height, static_cast<int>(format));
            return std::string(buf);
        }))
        return kNoTexture;
    if (width < 1 || height < 1 || width > kMaxTextureSide || height > kMaxTextureSide ||
        static_cast<int>(format) >= kPixelFormatCount) {
        Fail("CreateTexture: bad size or format");
        return kNoTexture;
    }
    const TextureId id = nextId_++;
    if (textures_.size() <= id)
        textures_.resize(size_t(id) + 1);
    textures_[id] = std::make_unique<Texture>();
    ++textureCount_;
    Texture& t = *textures_[id];
    const int32_t pitch = width * BytesPerPixel(format);
    t.pixels.assign(static_cast<size_t>(pitch) * height, 0);
    t.view = {t.pixels.data(), width, height, pitch, format};
    return id;
}

void NullRenderDevice::DestroyTexture(TextureId id) {
    Begin("DestroyTexture", [&] { return std::to_string(id); });
    if (id < textures_.size() && textures_[id]) {
        textures_[id].reset();
        --textureCount_;
    }
    for (TextureId& b : bound_)
        if (b == id)
            b = kNoTexture;
}

bool NullRenderDevice::LockTexture(TextureId id, TextureLock& lock) {
    lock = {};
    if (!Begin("LockTexture", [&] { return std::to_string(id); }))
        return false;
    Texture* t = Find(id);
    if (t == nullptr)
        return Fail("LockTexture: unknown texture");
    t->locked = true;
    lock = t->view;
    return true;
}

bool NullRenderDevice::UnlockTexture(TextureId id, const DeviceRect*) {
    if (!Begin("UnlockTexture", [&] { return std::to_string(id); }))
        return false;
    Texture* t = Find(id);
    if (t == nullptr || !t->locked)
        return Fail("UnlockTexture: texture not locked");
    t->locked = false;
    ++stats_.uploads;
    return true;
}

bool NullRenderDevice::SetColorKey(TextureId id, bool enabled, uint32_t nativeKey) {
    if (!Begin("SetColorKey", [&] { return std::to_string(id) + (enabled ? " on" : " off"); }))
        return false;
    Texture* t = Find(id);
    if (t == nullptr)
        return Fail("SetColorKey: unknown texture");
    t->keyed = enabled;
    t->key = nativeKey;
    return true;
}

const TextureLock* NullRenderDevice::TexturePixels(TextureId id) const {
    const Texture* t = Find(id);
    return t == nullptr ? nullptr : &t->view;
}

bool NullRenderDevice::BeginScene() {
    return Begin("BeginScene");
}
bool NullRenderDevice::EndScene() {
    return Begin("EndScene");
}

bool NullRenderDevice::ApplyState(const RenderState& s) {
    if (!Begin("ApplyState", [&] {
            char buf[96];
            std::snprintf(buf, sizeof buf, "blend=%d(%d,%d) at=%d(%d,%d) lin=%d mode=%d tint=%d%s wrap=%d",
                          s.blendEnable, static_cast<int>(s.srcBlend), static_cast<int>(s.dstBlend),
                          s.alphaTestEnable, static_cast<int>(s.alphaFunc), s.alphaRef, s.linearFilter,
                          s.textureMode, s.tint, s.tintAdd ? "+" : "", s.wrap);
            return std::string(buf);
        }))
        return false;
    if (s.textureMode > 3)
        return Fail("ApplyState: bad texture mode");
    state_ = s;
    ++stats_.stateChanges;
    return true;
}

bool NullRenderDevice::BindTexture(int stage, TextureId id) {
    if (!Begin("BindTexture", [&] { return std::to_string(stage) + " " + std::to_string(id); }))
        return false;
    if (stage < 0 || stage >= kTextureStages)
        return Fail("BindTexture: bad stage");
    if (id != kNoTexture && Find(id) == nullptr)
        return Fail("BindTexture: unknown texture");
    bound_[stage] = id;
    ++stats_.textureBinds;
    return true;
}

bool NullRenderDevice::SetClip(const DeviceRect& rect) {
    if (!Begin("SetClip", [&] { return RectText(rect); }))
        return false;
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

bool NullRenderDevice::Draw(Primitive prim, const RenderVertex* vertices, int32_t vertexCount,
                            const uint16_t* indices, int32_t indexCount) {
    if (!Begin("Draw", [&] {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%s v=%d i=%d", PrimitiveName(prim), vertexCount,
                          indices ? indexCount : 0);
            return std::string(buf);
        }))
        return false;
    if (!hasMode_)
        return Fail("Draw: no mode");
    if (vertices == nullptr || vertexCount < 1 || (indices != nullptr && indexCount < 1))
        return Fail("Draw: no vertices");
    if (indices != nullptr)
        for (int32_t i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount)
                return Fail("Draw: index past the vertices");
    ++stats_.drawCalls;
    stats_.verticesDrawn += static_cast<uint32_t>(vertexCount);
    return true;
}

bool NullRenderDevice::Fill(RenderTarget target, const DeviceRect& rect, uint32_t argb) {
    if (!Begin("Fill", [&] {
            char buf[96];
            std::snprintf(buf, sizeof buf, "%s %s %08X", TargetName(target), RectText(rect).c_str(), argb);
            return std::string(buf);
        }))
        return false;
    if (!hasMode_)
        return Fail("Fill: no mode");
    const DeviceRect lim =
        target == RenderTarget::BackBuffer ? clip_ : DeviceRect{0, 0, mode_.width, mode_.height};
    const int32_t l = std::max(rect.left, lim.left), t = std::max(rect.top, lim.top);
    const int32_t r = std::min(rect.right, lim.right), b = std::min(rect.bottom, lim.bottom);
    const uint32_t v = Quantise(argb | 0xFF000000u);
    if (l >= r || t >= b)
        return true;
    Uniform& u = UniformOf(target);
    const bool whole = l == 0 && t == 0 && r == mode_.width && b == mode_.height;
    if (whole && u.known && u.value == v)
        return true;
    u = {whole, v};
    if (!targetPixels_)
        return true;
    auto& px = Pixels(target);
    for (int32_t y = t; y < b; ++y) {
        uint32_t* row = px.data() + static_cast<size_t>(y) * mode_.width;
        std::fill(row + l, row + r, v);
    }
    return true;
}

bool NullRenderDevice::Copy(RenderTarget dst, DevicePoint at, RenderTarget src, const DeviceRect& from) {
    if (!Begin("Copy", [&] {
            char buf[128];
            std::snprintf(buf, sizeof buf, "%s (%d,%d) <- %s %s", TargetName(dst), at.x, at.y,
                          TargetName(src), RectText(from).c_str());
            return std::string(buf);
        }))
        return false;
    if (!hasMode_)
        return Fail("Copy: no mode");
    DeviceRect f = from;
    const DeviceRect lim =
        dst == RenderTarget::BackBuffer ? clip_ : DeviceRect{0, 0, mode_.width, mode_.height};
    if (!ClipCopyRect(at, f, mode_.width, mode_.height, lim))
        return true;
    // Row by row; within one target the rows go in the order that reads
    // each source row before it is overwritten, and memmove takes care of
    // overlap inside a row.
    UniformOf(dst).known = false;
    if (!targetPixels_)
        return true;
    const uint32_t* s = Pixels(src).data();
    uint32_t* d = Pixels(dst).data();
    const size_t w = static_cast<size_t>(mode_.width), bytes = static_cast<size_t>(f.Width()) * 4;
    const bool upward = at.y <= f.top;
    for (int32_t k = 0; k < f.Height(); ++k) {
        const int32_t row = upward ? k : f.Height() - 1 - k;
        std::memmove(d + static_cast<size_t>(at.y + row) * w + static_cast<size_t>(at.x),
                     s + static_cast<size_t>(f.top + row) * w + static_cast<size_t>(f.left), bytes);
    }
    return true;
}

bool NullRenderDevice::Blit(RenderTarget dst, DevicePoint at, TextureId src, const DeviceRect& from,
                            bool useKey) {
    if (!Begin("Blit", [&] {
            char buf[128];
            std::snprintf(buf, sizeof buf, "%s (%d,%d) <- tex %u %s%s", TargetName(dst), at.x, at.y, src,
                          RectText(from).c_str(), useKey ? " key" : "");
            return std::string(buf);
        }))
        return false;
    if (!hasMode_)
        return Fail("Blit: no mode");
    Texture* t = Find(src);
    if (t == nullptr)
        return Fail("Blit: unknown texture");
    DeviceRect f = from;
    const DeviceRect lim =
        dst == RenderTarget::BackBuffer ? clip_ : DeviceRect{0, 0, mode_.width, mode_.height};
    if (!ClipCopyRect(at, f, t->view.width, t->view.height, lim))
        return true;
    const int bpp = BytesPerPixel(t->view.format);
    UniformOf(dst).known = false;
    if (!targetPixels_)
        return true;
    auto& d = Pixels(dst);
    for (int32_t y = 0; y < f.Height(); ++y) {
        const uint8_t* row = t->pixels.data() + static_cast<size_t>(f.top + y) * t->view.pitch;
        for (int32_t x = 0; x < f.Width(); ++x) {
            uint32_t p = 0;
            std::memcpy(&p, row + static_cast<size_t>(f.left + x) * bpp, static_cast<size_t>(bpp));
            if (useKey && t->keyed && p == t->key)
                continue;
            d[static_cast<size_t>(at.y + y) * mode_.width + at.x + x] =
                Quantise(NativeToArgb(t->view.format, p) | 0xFF000000u);
        }
    }
    return true;
}

bool NullRenderDevice::Finish() {
    return Begin("Finish");
}

bool NullRenderDevice::Present(bool vsync) {
    if (!Begin("Present", [&] { return std::string(vsync ? "vsync" : ""); }))
        return false;
    return hasMode_ ? true : Fail("Present: no mode");
}

bool NullRenderDevice::SetGamma(const GammaRamp& ramp) {
    if (!Begin("SetGamma"))
        return false;
    gamma_ = ramp;
    return true;
}

bool NullRenderDevice::ReadPixels(RenderTarget target, const DeviceRect& rect, std::vector<uint32_t>& argb) {
    if (!Begin("ReadPixels", [&] { return std::string(TargetName(target)) + " " + RectText(rect); }))
        return false;
    if (!hasMode_)
        return Fail("ReadPixels: no mode");
    if (rect.left < 0 || rect.top < 0 || rect.right > mode_.width || rect.bottom > mode_.height ||
        rect.Width() < 1 || rect.Height() < 1)
        return Fail("ReadPixels: rectangle outside the target");
    const auto& px = Pixels(target);
    argb.clear();
    argb.reserve(static_cast<size_t>(rect.Width()) * rect.Height());
    for (int32_t y = rect.top; y < rect.bottom; ++y)
        for (int32_t x = rect.left; x < rect.right; ++x)
            argb.push_back(px[static_cast<size_t>(y) * mode_.width + x]);
    return true;
}

} // namespace plat
