#include "engine/engine_services.h"

#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/surfaces.h"
#include "engine/texture_atlas.h"
#include "platform/render_device.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace {

SystemTextRenderer* textRenderer = nullptr;

struct CachedFrame {
    Surface* source = nullptr; // a system-memory surface holding the frame
    int32_t x = 0, y = 0;
};
using FrameGroup = std::vector<CachedFrame>;

// Keyed by texture handle so that the cache is walked in a fixed order.
std::map<TextureHandle, std::vector<FrameGroup>>& FrameCache() {
    static std::map<TextureHandle, std::vector<FrameGroup>> cache;
    return cache;
}

bool IsMagenta(uint32_t argb) {
    return (argb & 0xFFFFFF) == 0xFF00FF;
}

// Copies the whole source surface into the texture at (x, y).
bool CopyInto(Surface* texture, const CachedFrame& f) {
    plat::RenderDevice* d = Engine::State().device;
    if (!d || !f.source)
        return false;
    const plat::TextureLock* src = d->TexturePixels(f.source->deviceTexture);
    plat::TextureLock dst;
    if (!src || !d->LockTexture(texture->deviceTexture, dst))
        return false;
    if (src->format != dst.format || f.x < 0 || f.y < 0 || f.x + src->width > dst.width ||
        f.y + src->height > dst.height) {
        d->UnlockTexture(texture->deviceTexture, nullptr);
        return false;
    }
    const int32_t bpp = plat::BytesPerPixel(dst.format);
    for (int32_t row = 0; row < src->height; ++row)
        std::copy_n(src->pixels + size_t(row) * size_t(src->pitch), size_t(src->width * bpp),
                    dst.pixels + size_t(f.y + row) * size_t(dst.pitch) + size_t(f.x * bpp));
    plat::DeviceRect dirty{f.x, f.y, f.x + src->width, f.y + src->height};
    return d->UnlockTexture(texture->deviceTexture, &dirty);
}

} // namespace

namespace Engine {

void SetSystemTextRenderer(SystemTextRenderer* renderer) {
    textRenderer = renderer;
}

SystemTextRenderer* GetSystemTextRenderer() {
    return textRenderer;
}

void GdiTextExtent(const SystemFont* font, const char16_t* text, int32_t count, int32_t* width,
                   int32_t* height) {
    *width = *height = 65535;
    if (!font || !text || !textRenderer)
        return;
    uint64_t start = ReadTimestamp();
    int32_t w = 0, h = 0;
    if (textRenderer->Measure(font, text, count, &w, &h))
        *width = w, *height = h;
    State().gdiTimeUs += uint64_t(std::max<int64_t>(0, ElapsedTime(ReadTimestamp(), start)));
}

bool DrawGdiText(const SystemFont* font, const char16_t* text, int32_t count, int32_t x, int32_t y,
                 uint32_t colour, uint32_t background) {
    if (count <= 0)
        return true;
    EngineState& s = State();
    int32_t w = 0, h = 0;
    GdiTextExtent(font, text, count, &w, &h);
    // The text must fit the strip the screen offers: screen width x 48.
    if (w > s.mode.width || h > 48 || !textRenderer || !s.device) {
        ReportError(EngineResult::kTooBigSize, 4324);
        return false;
    }
    std::vector<uint32_t> argb;
    uint64_t start = ReadTimestamp();
    bool rendered = textRenderer->Render(font, text, count, colour, background, w, h, argb) &&
                    argb.size() == size_t(w) * size_t(h);
    s.gdiTimeUs += uint64_t(std::max<int64_t>(0, ElapsedTime(ReadTimestamp(), start)));
    if (!rendered)
        return CheckResult(EngineResult::kFail, 4280, nullptr);
    PointI32 at{x, y};
    EngineRect source{0, 0, w, h};
    if (w == 0 || h == 0 || !ClipToScreen(at, source))
        return true;
    plat::TextureId tex = s.device->CreateTexture(w, h, plat::PixelFormat::Argb8888);
    bool ok = tex != plat::kNoTexture && s.device->UploadTexture(tex, argb.data(), w * 4) &&
              s.device->SetColorKey(tex, (background & 0xFFFFFF) == 0xFF00FF, 0xFFFF00FF);
    FlushQuads();
    ok = ok && s.device->Blit(plat::RenderTarget::BackBuffer, {at.x, at.y}, tex,
                              {source.left, source.top, source.right, source.bottom}, true);
    if (tex != plat::kNoTexture)
        s.device->DestroyTexture(tex);
    if (!ok)
        return CheckResult(EngineResult::kFail, 4375, nullptr);
    return true;
}

bool SetCursorImage(const CursorImage& image) {
    EngineState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    CursorState& c = s.cursor;
    if (image.texture == c.texture && image.texture != 0)
        return true;
    c = CursorState{};
    c.texture = image.texture;
    c.hotspotX = image.hotspotX, c.hotspotY = image.hotspotY;
    c.columns = image.columns, c.rows = image.rows;
    if (image.texture == 0)
        return true;
    Surface* surface = TextureSurface(image.texture);
    // Frames are cut from the picture, not from the padding a texture may
    // have past it.
    int32_t w = surface && surface->hasTextureRecord ? surface->texture.width : surface ? surface->width : 0;
    int32_t h = surface && surface->hasTextureRecord ? surface->texture.height
                : surface                            ? surface->height
                                                     : 0;
    if (image.columns < 1 || image.rows < 1 || image.columns * image.rows > 16 || !surface ||
        w / image.columns > 64 || h / image.rows > 64 || w / image.columns < 1 || h / image.rows < 1) {
        c = CursorState{};
        return false;
    }
    c.frameCount = image.columns * image.rows;
    c.frameWidth = w / image.columns;
    c.frameHeight = h / image.rows;
    for (int32_t r = 0, n = 0; r < image.rows; ++r)
        for (int32_t col = 0; col < image.columns; ++col, ++n)
            c.frames[size_t(n)] = {col * c.frameWidth, r * c.frameHeight, (col + 1) * c.frameWidth,
                                   (r + 1) * c.frameHeight};
    c.lastFrameChange = ReadTimestamp();
    return true;
}

bool GetCursorState(int32_t out[7]) {
    const CursorState& c = State().cursor;
    const int32_t v[7] = {int32_t(c.texture), c.hotspotX,   c.hotspotY, c.columns, c.rows,
                          c.frameWidth,       c.frameHeight};
    std::copy(v, v + 7, out);
    return true;
}

uint16_t GammaRampEntry(int32_t i, float gamma) {
    double v = std::pow(double(i) * (1.0 / 255.0), 1.0 / double(gamma)) * 65535.0;
    return uint16_t(std::clamp(std::lround(v), 0L, 65535L));
}

bool SetGamma(float red, float green, float blue) {
    EngineState& s = State();
    if (!s.device || !s.device->Caps().hasGamma)
        return false;
    auto fix = [](float g) { return g > 0.0f ? g : 1.0f; };
    red = fix(red), green = fix(green), blue = fix(blue);
    plat::GammaRamp ramp;
    for (int32_t i = 0; i < 256; ++i) {
        ramp.red[size_t(i)] = GammaRampEntry(i, red);
        ramp.green[size_t(i)] = GammaRampEntry(i, green);
        ramp.blue[size_t(i)] = GammaRampEntry(i, blue);
    }
    if (!s.device->SetGamma(ramp)) {
        ReportError(EngineResult::kFail, 13565);
        return false;
    }
    s.gammaRed = red, s.gammaGreen = green, s.gammaBlue = blue;
    return true;
}

bool GetGamma(float* red, float* green, float* blue) {
    const EngineState& s = State();
    if (!s.device || !s.device->Caps().hasGamma) {
        *red = *green = *blue = 1.0f;
        return false;
    }
    *red = s.gammaRed, *green = s.gammaGreen, *blue = s.gammaBlue;
    return true;
}

std::vector<EngineRect> FindOutlinedFrames(std::vector<uint32_t>& argb, int32_t width, int32_t height) {
    std::vector<EngineRect> frames;
    auto at = [&](int32_t x, int32_t y) -> uint32_t& { return argb[size_t(y) * size_t(width) + size_t(x)]; };
    for (int32_t y = 0; y + 2 < height; ++y) {
        for (int32_t x = 0; x + 2 < width; ++x) {
            if (!IsMagenta(at(x, y)))
                continue;
            int32_t right = x;
            while (right + 1 < width && IsMagenta(at(right + 1, y)))
                ++right;
            int32_t bottom = y;
            while (bottom + 1 < height && IsMagenta(at(x, bottom + 1)))
                ++bottom;
            bool closed = right - x >= 2 && bottom - y >= 2;
            for (int32_t i = x; closed && i <= right; ++i)
                closed = IsMagenta(at(i, bottom));
            for (int32_t j = y; closed && j <= bottom; ++j)
                closed = IsMagenta(at(right, j));
            if (!closed)
                continue;
            frames.push_back({x + 1, y + 1, right, bottom});
            // Taken outline pixels stop being magenta.
            for (int32_t i = x; i <= right; ++i)
                ++at(i, y), ++at(i, bottom);
            for (int32_t j = y + 1; j < bottom; ++j)
                ++at(x, j), ++at(right, j);
            x = right;
        }
    }
    return frames;
}

bool CacheTextureFrames(TextureHandle texture, const uint32_t* argb, int32_t width, int32_t height) {
    Surface* surface = TextureSurface(texture);
    if (!surface || !argb || !surface->hasTextureRecord || surface->texture.shift != 0 ||
        surface->texture.format < 0 || surface->texture.format >= kPixelFormatCount ||
        width != surface->texture.width || height != surface->texture.height)
        return false;
    auto& groups = FrameCache()[texture];
    std::vector<EngineRect> rects;
    std::vector<uint32_t> copy(argb, argb + size_t(width) * size_t(height));
    if (groups.empty()) {
        rects = FindOutlinedFrames(copy, width, height);
    } else {
        for (const CachedFrame& f : groups.front())
            rects.push_back({f.x, f.y, f.x + f.source->width, f.y + f.source->height});
    }
    FrameGroup group;
    for (const EngineRect& r : rects) {
        Surface* s = nullptr;
        SurfaceDesc d{r.right - r.left, r.bottom - r.top, kSurfaceSystemMemory, surface->texture.format};
        if (CreateSurface(d, &s) != EngineResult::kOk)
            break;
        plat::TextureLock lock;
        if (State().device->LockTexture(s->deviceTexture, lock)) {
            TextureLockInfo info{
                lock.pixels, lock.width, lock.height, lock.pitch, plat::BytesPerPixel(lock.format) * 8,
                s->format};
            for (int32_t y = 0; y < d.height; ++y)
                for (int32_t x = 0; x < d.width; ++x)
                    WritePixel(info, s->format, argb[size_t(r.top + y) * size_t(width) + size_t(r.left + x)],
                               x, y);
            State().device->UnlockTexture(s->deviceTexture, nullptr);
        }
        group.push_back({s, r.left, r.top});
    }
    if (group.size() != rects.size()) {
        for (CachedFrame& f : group)
            ReleaseSurface(f.source);
        return false;
    }
    groups.push_back(std::move(group));
    return true;
}

bool ComposeTextureFrames(TextureHandle texture, const uint8_t* pairs, int32_t count) {
    Surface* surface = TextureSurface(texture);
    if (!surface) {
        ReportError(EngineResult::kFail, 12229);
        return false;
    }
    LeaveAtlas(surface); // its frames change in place
    auto& cache = FrameCache();
    auto entry = cache.find(texture);
    if (!pairs) {
        if (entry == cache.end() || entry->second.empty())
            return true;
        bool ok = true;
        for (const CachedFrame& f : entry->second.front())
            if (!CopyInto(surface, f))
                ok = CheckResult(EngineResult::kFail, 12260, surface) && ok;
        return ok;
    }
    if (count < 1) {
        ReportError(EngineResult::kFail, 12269);
        return false;
    }
    if (entry == cache.end()) {
        ReportError(EngineResult::kFail, 12276);
        return false;
    }
    const auto& groups = entry->second;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t g = pairs[2 * i], f = pairs[2 * i + 1];
        if (g >= groups.size()) {
            ReportError(EngineResult::kFail, 12290);
            return false;
        }
        if (f >= groups[g].size()) {
            ReportError(EngineResult::kFail, 12300);
            return false;
        }
        if (!CopyInto(surface, groups[g][f]))
            return CheckResult(EngineResult::kFail, 12317, surface);
    }
    return true;
}

bool ClearFrameCache() {
    for (auto& [handle, groups] : FrameCache())
        for (FrameGroup& g : groups)
            for (CachedFrame& f : g)
                ReleaseSurface(f.source);
    FrameCache().clear();
    return true;
}

} // namespace Engine
