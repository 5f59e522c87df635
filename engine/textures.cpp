#include "engine/textures.h"

#include "engine/bitmap_font.h"
#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/engine_state.h"
#include "engine/surfaces.h"
#include "engine/texture_atlas.h"
#include "platform/render_device.h"

#include <cstring>

namespace {

// Source lines of the error reports.
constexpr int32_t kLineCreateSurface = 1204;
constexpr int32_t kLineLockNew = 1241;
constexpr int32_t kLineUnlockNew = 1288;
constexpr int32_t kLineUnlockTexture = 1322;
constexpr int32_t kLineBackupCopy = 1338;
constexpr int32_t kLineFontTexture = 1417;
constexpr int32_t kLineFontLock = 1425;

// The ARGB value packed into a format: 16-bit formats channel by channel,
// 32-bit formats unchanged.
inline uint32_t Pack(uint32_t argb, const PixelFormat& f) {
    if (f.kind != 2)
        return argb;
    return ((argb >> f.bShift) & f.bMask) | ((argb >> f.aShift) & f.aMask) | ((argb >> f.gShift) & f.gMask) |
           ((argb >> f.rShift) & f.rMask);
}

// Averages each channel of the (2^shift)^2 block of source pixels that the
// destination pixel (x, y) covers.
uint32_t BoxAverage(const uint8_t* source, int32_t pitch, int32_t x, int32_t y, int32_t shift) {
    const int32_t side = 1 << shift;
    uint64_t a = 0, r = 0, g = 0, b = 0;
    for (int32_t dy = 0; dy < side; ++dy) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(source + size_t((y << shift) + dy) * size_t(pitch));
        for (int32_t dx = 0; dx < side; ++dx) {
            const uint32_t p = row[(x << shift) + dx];
            a += p >> 24;
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
        }
    }
    const uint64_t n = uint64_t(side) * uint64_t(side);
    return uint32_t(a / n) << 24 | uint32_t(r / n) << 16 | uint32_t(g / n) << 8 | uint32_t(b / n);
}

// Converts the source picture into the locked texture.
void FillPixels(const plat::TextureLock& lock, const PixelFormat& format, const uint32_t* pixels,
                int32_t pitch, int32_t width, int32_t height, int32_t shift) {
    const auto* source = reinterpret_cast<const uint8_t*>(pixels);
    const bool wide = format.kind != 2;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* out = lock.pixels + size_t(y) * size_t(lock.pitch);
        if (shift == 0) {
            const auto* in = reinterpret_cast<const uint32_t*>(source + size_t(y) * size_t(pitch));
            if (wide) {
                std::memcpy(out, in, size_t(width) * 4);
            } else {
                auto* out16 = reinterpret_cast<uint16_t*>(out);
                for (int32_t x = 0; x < width; ++x)
                    out16[x] = uint16_t(Pack(in[x], format));
            }
            continue;
        }
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t value = Pack(BoxAverage(source, pitch, x, y, shift), format);
            if (wide)
                reinterpret_cast<uint32_t*>(out)[x] = value;
            else
                reinterpret_cast<uint16_t*>(out)[x] = uint16_t(value);
        }
    }
}

// Writes the texture record for the used size on the allocated surface.
void AttachTextureRecord(Surface* surface, int32_t width, int32_t height, int32_t format, int32_t shift) {
    TextureRecord record;
    record.width = width;
    record.height = height;
    record.invWidth = 1.0f / float(width);
    record.invHeight = 1.0f / float(height);
    record.usedU = float(width) / float(surface->width);
    record.usedV = float(height) / float(surface->height);
    record.halfU = 0.5f / float(surface->width);
    record.halfV = 0.5f / float(surface->height);
    record.format = format;
    record.shift = shift;
    Engine::SetTextureRecord(surface, &record);
}

} // namespace

namespace Engine {

int32_t DefaultTextureFormat() {
    const EngineState& s = State();
    return s.formats[kFormat4444].supported && !s.formats[kFormat8888].supported ? kFormat4444 : kFormat8888;
}

Surface* CreateSurfaceFromPixels(int32_t width, int32_t height, int32_t format, int32_t shift,
                                 const uint32_t* pixels, int32_t pitch, const uint32_t* colourKey,
                                 TextureSize* sizeOut, uint32_t caps) {
    EngineState& s = State();
    if (width < 1 || height < 1 || shift < 0 || shift > kMaxScaleShift || format < 0 ||
        format >= kPixelFormatCount)
        return nullptr;
    const int32_t usedWidth = width >> shift;
    const int32_t usedHeight = height >> shift;
    if (usedWidth == 0 || usedHeight == 0 || !s.formats[size_t(format)].supported)
        return nullptr;
    if (pixels && pitch < width * 4)
        return nullptr;

    SurfaceDesc desc = InitSurfaceDesc(usedWidth, usedHeight, caps, format);
    if (colourKey) {
        desc.hasColourKey = true;
        desc.colourKey = ConvertColour(*colourKey, format);
    }
    Surface* surface = nullptr;
    int32_t result = CreateSurface(desc, &surface);
    if (result == EngineResult::kOutOfVideoMemory && (caps & kSurfaceVideoMemory)) {
        // Out of video memory: the display format in system memory instead.
        result = CreateSurface(desc, &surface);
        if (result == EngineResult::kOutOfVideoMemory) {
            desc = InitSurfaceDesc(usedWidth, usedHeight, kSurfaceSystemMemory, kFormatDisplaySystem);
            if (colourKey) {
                desc.hasColourKey = true;
                desc.colourKey = ConvertColour(*colourKey, kFormatDisplaySystem);
            }
            format = kFormatDisplaySystem;
            result = CreateSurface(desc, &surface);
        }
    }
    if (result != EngineResult::kOk || !surface) {
        ReportError(result, kLineCreateSurface);
        return nullptr;
    }

    if (pixels) {
        plat::TextureLock lock;
        if (!s.device->LockTexture(surface->deviceTexture, lock)) {
            CheckResult(EngineResult::kFail, kLineLockNew, surface);
            ReleaseSurface(surface);
            return nullptr;
        }
        FillPixels(lock, s.formats[size_t(format)], pixels, pitch, usedWidth, usedHeight, shift);
        if (!s.device->UnlockTexture(surface->deviceTexture)) {
            CheckResult(EngineResult::kFail, kLineUnlockNew, surface);
            ReleaseSurface(surface);
            return nullptr;
        }
    }
    if (format == kFormatDisplayVideo && !SaveSurfaceToSwapFile(surface)) {
        ReleaseSurface(surface);
        return nullptr;
    }
    AttachTextureRecord(surface, usedWidth, usedHeight, format, shift);
    if (sizeOut)
        *sizeOut = {usedWidth, usedHeight, shift};
    return surface;
}

TextureHandle CreateTexture(int32_t width, int32_t height, int32_t format, int32_t shift,
                            const uint32_t* pixels, int32_t pitch, const uint32_t* colourKey,
                            TextureSize* sizeOut) {
    uint32_t caps = kSurfaceTexture;
    if (format == kFormatDisplayVideo)
        caps = kSurfaceVideoMemory;
    else if (format == kFormatDisplaySystem)
        caps = kSurfaceSystemMemory;
    Surface* surface =
        CreateSurfaceFromPixels(width, height, format, shift, pixels, pitch, colourKey, sizeOut, caps);
    if (!surface)
        return 0;
    return StoreTextureHandle(surface);
}

bool UnlockTexture(TextureHandle handle) {
    Surface* surface = TextureSurface(handle);
    EngineState& s = State();
    if (!surface || !s.device)
        return false;
    LeaveAtlas(surface); // the atlas copy would show the pixels from before
    if (!s.device->UnlockTexture(surface->deviceTexture))
        return CheckResult(EngineResult::kFail, kLineUnlockTexture, surface);
    BackupRecord backup;
    if (GetBackupRecord(surface, &backup) && backup.systemCopy) {
        const plat::TextureLock* pixels = s.device->TexturePixels(surface->deviceTexture);
        if (!pixels ||
            !s.device->UploadTexture(backup.systemCopy->deviceTexture, pixels->pixels, pixels->pitch))
            return CheckResult(EngineResult::kFail, kLineBackupCopy, surface);
        return true;
    }
    return SaveSurfaceToSwapFile(surface);
}

bool SaveSurfaceToSwapFile(Surface* surface) {
    EngineState& s = State();
    return surface && s.device && s.device->TexturePixels(surface->deviceTexture) != nullptr;
}

int32_t CreateBitmapFont(TextureHandle fontTexture, const uint8_t* chars, int32_t charCount,
                         int32_t cellHeight) {
    EngineState& s = State();
    Surface* surface = TextureSurface(fontTexture);
    TextureRecord record;
    if (!surface || !GetTextureRecord(surface, &record) || !s.device || cellHeight < 1) {
        ReportError(EngineResult::kFail, kLineFontTexture);
        return 0;
    }
    const plat::TextureLock* lock = s.device->TexturePixels(surface->deviceTexture);
    if (!lock || record.format < 0 || record.format >= kPixelFormatCount) {
        CheckResult(EngineResult::kFail, kLineFontLock, surface);
        return 0;
    }
    const PixelFormat& format = s.formats[size_t(record.format)];
    const int32_t bytes = int32_t(format.BytesPerPixel());
    auto texel = [&](int32_t x, int32_t y) {
        const uint8_t* p = lock->pixels + size_t(y) * size_t(lock->pitch) + size_t(x) * size_t(bytes);
        uint32_t value = 0;
        std::memcpy(&value, p, size_t(bytes));
        return bytes == 2 ? value & 0xFFFF & ~format.aMask : value & ~format.aMask;
    };

    BitmapFont font;
    AddSurfaceRef(surface);
    InitBitmapFont(font, surface, cellHeight);
    const uint32_t marker = texel(0, 0);
    const float texelU = 1.0f / float(surface->width);
    const float texelV = 1.0f / float(surface->height);
    int32_t next = 0;
    // Rows lie wholly inside the used picture; a row without markers gives no glyphs.
    for (int32_t top = 1; top + cellHeight <= record.height && next < charCount; top += cellHeight + 1) {
        int32_t start = 1;
        for (int32_t x = 1; x < record.width && next < charCount; ++x) {
            if (texel(x, top) != marker)
                continue;
            const uint8_t c = chars[next++];
            const float vTop = float(top) * texelV + record.halfV;
            const float vBottom = float(top + cellHeight) * texelV + record.halfV;
            const float uLeft = float(start) * texelU + record.halfU;
            font.glyphs[0][c] = {float(x - start + 1), uLeft, vTop, float(x + 1) * texelU + record.halfU,
                                 vBottom};
            font.glyphs[1][c] = {float(x - start), uLeft, vTop, float(x) * texelU + record.halfU, vBottom};
            start = x + 1;
        }
    }
    FreeTextureHandle(fontTexture, nullptr, false);
    BitmapFonts().push_back(font);
    return int32_t(BitmapFonts().size());
}

} // namespace Engine
