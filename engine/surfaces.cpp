#include "engine/surfaces.h"

#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/texture_atlas.h"
#include "platform/render_device.h"

#include <algorithm>

namespace {

uint32_t NextPow2(int32_t v) {
    uint32_t p = 1;
    while (p < uint32_t(v))
        p <<= 1;
    return p;
}

void Count(const MemoryRecord& r, int sign) {
    SurfaceMemory& m = Engine::State().memory;
    switch (r.kind) {
    case kMemoryVideo:
        m.videoBytes += sign * int64_t(r.size);
        m.videoCount += sign;
        break;
    case kMemorySystem:
        m.systemBytes += sign * int64_t(r.size);
        m.systemCount += sign;
        break;
    case kMemoryTexture:
        m.textureBytes += sign * int64_t(r.size);
        m.textureCount += sign;
        if (r.formatClass == kFormat4444)
            m.count4444 += sign;
        else if (r.formatClass == kFormat8888)
            m.count8888 += sign;
        else if (r.formatClass == kFormat565)
            m.count565 += sign;
        break;
    case kMemoryNone:
        break;
    }
}

void Forget(Surface* surface) {
    auto& live = Engine::State().liveSurfaces;
    int32_t i = surface->liveIndex;
    if (i >= 0 && size_t(i) < live.size() && live[size_t(i)] == surface) {
        live[size_t(i)] = live.back();
        live[size_t(i)]->liveIndex = i;
        live.pop_back();
    }
    surface->liveIndex = -1;
}

} // namespace

namespace Engine {

std::atomic<EngineState*> detail::gState{nullptr};

EngineState& detail::CreateState() {
    static EngineState* state = [] {
        auto* s = new EngineState;
        s->errorCallback = ReportEngineError;
        for (uint32_t i = 0; i < kTextureTableSize; ++i)
            s->freeLink[i] = i + 1;
        gState.store(s, std::memory_order_release);
        return s;
    }();
    return *state;
}

bool GetSurfaceMemory(int64_t out[9]) {
    const EngineState& s = State();
    if (!s.started)
        return false;
    const SurfaceMemory& m = s.memory;
    const int64_t values[9] = {m.videoBytes,   m.systemBytes, m.textureBytes, m.videoCount, m.systemCount,
                               m.textureCount, m.count4444,   m.count565,     m.count8888};
    std::copy(values, values + 9, out);
    return true;
}

void ResetPixelFormats() {
    auto& f = State().formats;
    f = {};
    //                bits  aMask        rMask        gMask        bMask        aSh rSh gSh bSh kind
    f[kFormat4444] = {16, 0xF000, 0x0F00, 0x00F0, 0x000F, 16, 12, 8, 4, 2, 0};
    f[kFormat8888] = {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0, 0, 0, 4, 0};
    f[kFormat1555] = {16, 0x8000, 0x7C00, 0x03E0, 0x001F, 16, 9, 6, 3, 2, 0};
    f[kFormat565] = {16, 0, 0xF800, 0x07E0, 0x001F, 0, 8, 5, 3, 2, 0};
    f[kFormat555] = {16, 0, 0x7C00, 0x03E0, 0x001F, 0, 9, 6, 3, 2, 0};
    f[kFormatX888] = {32, 0, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0, 0, 0, 4, 0};
}

void SetDisplayFormat(int32_t n) {
    EngineState& s = State();
    if (n < 0 || n > kFormatX888)
        return;
    s.displayFormat = n;
    s.formats[kFormatDisplayVideo] = s.formats[size_t(n)];
    s.formats[kFormatDisplaySystem] = s.formats[size_t(n)];
    s.formats[kFormatDisplayVideo].supported = 1;
    s.formats[kFormatDisplaySystem].supported = 1;
}

int32_t DeviceFormatOf(int32_t format) {
    if (format == kFormatDisplayVideo || format == kFormatDisplaySystem)
        return State().displayFormat;
    return format;
}

SurfaceDesc InitSurfaceDesc(int32_t width, int32_t height, uint32_t caps, int32_t format) {
    SurfaceDesc d;
    d.width = width;
    d.height = height;
    d.caps = caps;
    d.format = format;
    if (caps & kSurfaceTexture) {
        const DeviceCaps& c = State().caps;
        if (c.texturePow2) {
            d.width = int32_t(NextPow2(d.width));
            d.height = int32_t(NextPow2(d.height));
        }
        if (c.textureSquareOnly)
            d.width = d.height = std::max(d.width, d.height);
        if (!c.textureNonPow2Conditional && !c.texturePow2 && !c.textureSquareOnly) {
            d.width = int32_t(NextPow2(d.width));
            d.height = int32_t(NextPow2(d.height));
        }
    }
    return d;
}

int32_t CreateSurface(const SurfaceDesc& desc, Surface** out) {
    *out = nullptr;
    EngineState& s = State();
    if (!s.device)
        return EngineResult::kNotInitialized;
    if (desc.width < 1 || desc.height < 1 || desc.format < 0 || desc.format >= kPixelFormatCount)
        return EngineResult::kInvalidArg;
    int32_t deviceFormat = DeviceFormatOf(desc.format);
    if (deviceFormat < 0 || deviceFormat >= plat::kPixelFormatCount)
        return EngineResult::kInvalidArg;
    auto pf = plat::PixelFormat(deviceFormat);
    plat::TextureId id = s.device->CreateTexture(desc.width, desc.height, pf);
    if (id == plat::kNoTexture)
        return EngineResult::kOutOfVideoMemory;
    auto* surface = new Surface;
    surface->width = desc.width;
    surface->height = desc.height;
    surface->format = desc.format;
    surface->caps = desc.caps;
    surface->deviceTexture = id;
    if (desc.hasColourKey) {
        surface->hasColourKey = true;
        surface->colourKey = desc.colourKey;
        s.device->SetColorKey(id, true, desc.colourKey);
    }
    surface->liveIndex = int32_t(s.liveSurfaces.size());
    s.liveSurfaces.push_back(surface);

    uint32_t size = uint32_t(desc.height) * uint32_t(desc.width) * uint32_t(plat::BytesPerPixel(pf));
    MemoryRecord record;
    if (desc.caps & kSurfaceVideoMemory) {
        record = {kMemoryVideo, size, kFormatClassOther};
    } else if (desc.caps & kSurfaceTexture) {
        record = {kMemoryTexture, size, kFormatClassOther};
        const PixelFormat& mine = s.formats[size_t(desc.format)];
        for (uint32_t n : {uint32_t(kFormat4444), uint32_t(kFormat8888), uint32_t(kFormat565)}) {
            if (mine.SameLayout(s.formats[n])) {
                record.formatClass = n;
                break;
            }
        }
    } else if (desc.caps & kSurfaceSystemMemory) {
        record = {kMemorySystem, size, kFormatClassOther};
    }
    if (record.kind != kMemoryNone) {
        SetSurfaceMemoryRecord(surface, record);
        Count(record, +1);
    }
    *out = surface;
    return EngineResult::kOk;
}

void AddSurfaceRef(Surface* surface) {
    if (!surface)
        return;
    ++surface->refs;
    if (surface->hasMemoryRecord)
        Count(surface->memory, +1);
}

void ReleaseSurface(Surface* surface) {
    if (!surface)
        return;
    if (surface->hasMemoryRecord)
        Count(surface->memory, -1);
    if (--surface->refs > 0)
        return;
    EngineState& s = State();
    if (s.device && surface->deviceTexture != plat::kNoTexture)
        s.device->DestroyTexture(surface->deviceTexture);
    LeaveAtlas(surface);
    Forget(surface);
    delete surface;
}

void ReleaseSurfaceField(Surface** field) {
    ReleaseSurface(*field);
    *field = nullptr;
}

bool SetSurfaceHandle(Surface* surface, TextureHandle handle) {
    if (!surface)
        return false;
    surface->hasHandle = true;
    surface->handle = handle;
    return true;
}

TextureHandle GetSurfaceHandle(const Surface* surface) {
    return surface && surface->hasHandle ? surface->handle : 0;
}

bool SetSurfaceMemoryRecord(Surface* surface, const MemoryRecord& record) {
    if (!surface)
        return false;
    surface->hasMemoryRecord = true;
    surface->memory = record;
    return true;
}

bool SetBackupRecord(Surface* surface, const BackupRecord* record) {
    if (!surface)
        return false;
    surface->hasBackup = record != nullptr;
    surface->backup = record ? *record : BackupRecord{};
    return true;
}

bool GetBackupRecord(const Surface* surface, BackupRecord* out) {
    if (!surface || !surface->hasBackup)
        return false;
    *out = surface->backup;
    return true;
}

bool SetTextureRecord(Surface* surface, const TextureRecord* record) {
    if (!surface)
        return false;
    surface->hasTextureRecord = record != nullptr;
    surface->texture = record ? *record : TextureRecord{};
    return true;
}

bool GetTextureRecord(const Surface* surface, TextureRecord* out) {
    if (!surface || !surface->hasTextureRecord)
        return false;
    *out = surface->texture;
    return true;
}

TextureHandle StoreTextureHandle(Surface* surface) {
    EngineState& s = State();
    uint32_t head = s.freeHead;
    if (head == 0 || head >= kTextureTableSize) {
        ReleaseSurface(surface);
        return 0;
    }
    s.freeHead = s.freeLink[head];
    s.textures[head] = surface;
    SetSurfaceHandle(surface, head);
    return head;
}

bool FreeTextureHandle(TextureHandle handle, Surface* replacement, bool /*deleteSwapFile*/) {
    EngineState& s = State();
    if (handle == 0 || handle >= kTextureTableSize)
        return false;
    if (Surface* surface = s.textures[handle]) {
        BackupRecord backup;
        if (GetBackupRecord(surface, &backup) && backup.systemCopy)
            ReleaseSurface(backup.systemCopy);
        s.textures[handle] = nullptr;
        ReleaseSurface(surface);
        for (auto& stage : s.stageSurface)
            if (stage == surface)
                stage = nullptr;
    }
    if (replacement) {
        s.textures[handle] = replacement;
    } else {
        s.freeLink[handle] = s.freeHead;
        s.freeHead = handle;
    }
    return true;
}

bool DeleteTexture(TextureHandle handle) {
    if (!IsValidTexture(handle))
        return false;
    return FreeTextureHandle(handle, nullptr, true);
}

void ResetTextureTable() {
    EngineState& s = State();
    for (uint32_t h = 1; h < kTextureTableSize; ++h)
        if (s.textures[h])
            FreeTextureHandle(h, nullptr, true);
    // No texture is left to hold a copy in a page.
    ReleaseSpriteAtlases();
    for (uint32_t i = 0; i < kTextureTableSize; ++i)
        s.freeLink[i] = i + 1;
    s.freeHead = 1;
}

bool ReloadSurface(Surface* surface) {
    // The devices keep every texture's pixels; a restored surface needs only
    // its system-memory copy sent again when it has one.
    BackupRecord backup;
    EngineState& s = State();
    if (!surface || !GetBackupRecord(surface, &backup) || !backup.systemCopy || !s.device)
        return true;
    const plat::TextureLock* copy = s.device->TexturePixels(backup.systemCopy->deviceTexture);
    if (!copy)
        return false;
    return s.device->UploadTexture(surface->deviceTexture, copy->pixels, copy->pitch);
}

bool ReadTexturePixel(TextureHandle handle, const EngineRect& target, int32_t x, int32_t y,
                      const EngineRect& source, uint32_t* colour) {
    *colour = 0;
    if (x < target.left || x >= target.right || y < target.top || y >= target.bottom)
        return false;
    Surface* surface = TextureSurface(handle);
    EngineState& s = State();
    if (!surface || !s.device)
        return false;
    const plat::TextureLock* lock = s.device->TexturePixels(surface->deviceTexture);
    if (!lock) {
        CheckResult(EngineResult::kFail, 11789, surface);
        return false;
    }
    int64_t tw = target.right - target.left, th = target.bottom - target.top;
    int32_t sx = source.left + int32_t(int64_t(source.right - source.left) * (x - target.left) / tw);
    int32_t sy = source.top + int32_t(int64_t(source.bottom - source.top) * (y - target.top) / th);
    if (sx < 0 || sy < 0 || sx >= lock->width || sy >= lock->height) {
        CheckResult(EngineResult::kInvalidRect, 11789, surface);
        return false;
    }
    TextureLockInfo info{
        lock->pixels,   lock->width, lock->height, lock->pitch, plat::BytesPerPixel(lock->format) * 8,
        surface->format};
    uint32_t argb = ReadPixel(info, surface->format, sx, sy);
    if (surface->hasColourKey) {
        uint32_t key = FromNativeColour(surface->colourKey, surface->format);
        argb = (argb & 0xFFFFFF) | ((argb & 0xFFFFFF) == (key & 0xFFFFFF) ? 0u : 0xFF000000u);
    }
    *colour = argb;
    return true;
}

bool LockTexture(TextureHandle handle, TextureLockInfo* out) {
    *out = {};
    Surface* surface = TextureSurface(handle);
    EngineState& s = State();
    if (!surface || !s.device)
        return false;
    plat::TextureLock lock;
    if (!s.device->LockTexture(surface->deviceTexture, lock))
        return CheckResult(EngineResult::kFail, 12399, surface);
    *out = {lock.pixels,
            lock.width,
            lock.height,
            lock.pitch,
            plat::BytesPerPixel(lock.format) * 8,
            surface->hasTextureRecord ? surface->texture.format : surface->format};
    return true;
}

uint32_t ConvertColour(uint32_t c, int32_t format) {
    if (format < 0 || format >= kPixelFormatCount)
        return c;
    const PixelFormat& f = State().formats[size_t(format)];
    if (f.kind != 2)
        return c;
    return ((c >> f.bShift) & f.bMask) | ((c >> f.aShift) & f.aMask) | ((c >> f.gShift) & f.gMask) |
           ((c >> f.rShift) & f.rMask);
}

uint32_t FromNativeColour(uint32_t p, int32_t format) {
    if (format < 0 || format >= kPixelFormatCount)
        return p;
    const PixelFormat& f = State().formats[size_t(format)];
    if (f.kind != 2)
        return p;
    uint32_t c = ((p & f.bMask) << f.bShift) | ((p & f.gMask) << f.gShift) | ((p & f.rMask) << f.rShift);
    c |= f.aMask ? (p & f.aMask) << f.aShift : 0xFF000000u;
    return c;
}

uint32_t ReadPixel(const TextureLockInfo& lock, int32_t format, int32_t x, int32_t y) {
    const uint8_t* row = lock.pixels + size_t(y) * size_t(lock.pitch);
    if (lock.bitsPerPixel == 16) {
        uint32_t p = uint32_t(row[x * 2]) | (uint32_t(row[x * 2 + 1]) << 8);
        return FromNativeColour(p, format);
    }
    const uint8_t* q = row + x * 4;
    return uint32_t(q[0]) | (uint32_t(q[1]) << 8) | (uint32_t(q[2]) << 16) | (uint32_t(q[3]) << 24);
}

void WritePixel(const TextureLockInfo& lock, int32_t format, uint32_t argb, int32_t x, int32_t y) {
    uint8_t* row = lock.pixels + size_t(y) * size_t(lock.pitch);
    if (lock.bitsPerPixel == 16) {
        uint32_t p = ConvertColour(argb, format);
        row[x * 2] = uint8_t(p);
        row[x * 2 + 1] = uint8_t(p >> 8);
        return;
    }
    uint8_t* q = row + x * 4;
    q[0] = uint8_t(argb);
    q[1] = uint8_t(argb >> 8);
    q[2] = uint8_t(argb >> 16);
    q[3] = uint8_t(argb >> 24);
}

} // namespace Engine
