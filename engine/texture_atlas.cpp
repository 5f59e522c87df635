#include "engine/texture_atlas.h"

#include "engine/engine_state.h"
#include "engine/surfaces.h"
#include "platform/render_device.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A row of copies of at most `height` texels, filled from the left.
struct Shelf {
    int32_t y = 0, height = 0, x = 0;
};

struct Page {
    Surface* surface = nullptr;
    int32_t format = 0;
    int32_t users = 0;
    int32_t nextShelfY = 0;
    std::vector<Shelf> shelves;
};

struct AtlasState {
    bool on = true;
    std::vector<Page> pages;
    // The device the pages were made on.
    const plat::RenderDevice* device = nullptr;
};

// Never destroyed: textures may be freed by other objects' destructors at exit.
AtlasState& Atlas() {
    static AtlasState* const state = new AtlasState;
    return *state;
}

// A free place of w x h texels on the page (padding included), or false.
// The shelf that wastes the least height is taken; a new shelf opens below
// the last one when none fits.
bool Place(Page& page, int32_t w, int32_t h, int32_t& x, int32_t& y) {
    const int32_t side = page.surface->width, bottom = page.surface->height;
    Shelf* best = nullptr;
    for (Shelf& shelf : page.shelves)
        if (shelf.height >= h && side - shelf.x >= w && (!best || shelf.height < best->height))
            best = &shelf;
    // A much taller shelf would waste most of its height on this copy.
    if (best && best->height > h + h / 2 && bottom - page.nextShelfY >= h)
        best = nullptr;
    if (!best) {
        if (bottom - page.nextShelfY < h || w > side)
            return false;
        page.shelves.push_back({page.nextShelfY, h, 0});
        page.nextShelfY += h;
        best = &page.shelves.back();
    }
    x = best->x;
    y = best->y;
    best->x += w;
    return true;
}

Page* NewPage(int32_t format) {
    const EngineState& s = Engine::State();
    const int32_t side = std::min({Engine::kAtlasPageSide, s.caps.maxTextureWidth, s.caps.maxTextureHeight});
    if (side < 2 * Engine::kAtlasPadding + 1)
        return nullptr;
    Surface* surface = nullptr;
    if (Engine::CreateSurface(Engine::InitSurfaceDesc(side, side, kSurfaceTexture, format), &surface) != 0 ||
        !surface)
        return nullptr;
    TextureRecord record;
    record.width = surface->width;
    record.height = surface->height;
    record.invWidth = 1.0f / float(surface->width);
    record.invHeight = 1.0f / float(surface->height);
    record.usedU = record.usedV = 1.0f;
    record.halfU = 0.5f / float(surface->width);
    record.halfV = 0.5f / float(surface->height);
    record.format = format;
    Engine::SetTextureRecord(surface, &record);
    Page page;
    page.surface = surface;
    page.format = format;
    Atlas().pages.push_back(std::move(page));
    return &Atlas().pages.back();
}

// Copies the w x h texels at `from` into the page at (x, y), each edge
// repeated kAtlasPadding times round it.
void CopyPadded(const plat::TextureLock& from, int32_t w, int32_t h, const plat::TextureLock& to, int32_t x,
                int32_t y) {
    constexpr int32_t pad = Engine::kAtlasPadding;
    const size_t bpp = size_t(plat::BytesPerPixel(to.format));
    for (int32_t row = -pad; row < h + pad; ++row) {
        const uint8_t* in = from.pixels + size_t(std::clamp(row, 0, h - 1)) * size_t(from.pitch);
        uint8_t* out = to.pixels + size_t(y + row) * size_t(to.pitch) + size_t(x) * bpp;
        std::memcpy(out, in, size_t(w) * bpp);
        for (int32_t k = 1; k <= pad; ++k) {
            std::memcpy(out - size_t(k) * bpp, in, bpp);
            std::memcpy(out + size_t(w - 1 + k) * bpp, in + size_t(w - 1) * bpp, bpp);
        }
    }
}

} // namespace

namespace Engine {

void SetSpriteAtlases(bool on) {
    Atlas().on = on;
}

bool SpriteAtlasesOn() {
    return Atlas().on;
}

bool PackIntoAtlas(TextureHandle handle) {
    AtlasState& a = Atlas();
    EngineState& s = State();
    Surface* surface = TextureSurface(handle);
    if (!a.on || !surface || !s.device || surface->atlasPage || surface->hasColourKey ||
        !surface->hasTextureRecord)
        return false;
    const int32_t w = surface->texture.width, h = surface->texture.height;
    if (w < 1 || h < 1 || w > kAtlasMaxSprite || h > kAtlasMaxSprite)
        return false;
    if (a.device != s.device) {
        // Pages of a device that is gone: their textures are not this
        // device's to write or destroy.
        for (Surface* live : s.liveSurfaces)
            live->atlasPage = nullptr;
        std::vector<Page> pages = std::move(a.pages);
        a.pages.clear();
        for (Page& p : pages) {
            p.surface->deviceTexture = plat::kNoTexture;
            ReleaseSurface(p.surface);
        }
        a.device = s.device;
    }
    const plat::TextureLock* pixels = s.device->TexturePixels(surface->deviceTexture);
    if (!pixels || pixels->width < w || pixels->height < h)
        return false;

    const int32_t boxW = w + 2 * kAtlasPadding, boxH = h + 2 * kAtlasPadding;
    Page* page = nullptr;
    int32_t x = 0, y = 0;
    for (Page& p : a.pages)
        if (p.format == surface->format && Place(p, boxW, boxH, x, y)) {
            page = &p;
            break;
        }
    if (!page) {
        page = NewPage(surface->format);
        if (!page || !Place(*page, boxW, boxH, x, y))
            return false;
    }
    x += kAtlasPadding;
    y += kAtlasPadding;
    plat::TextureLock lock;
    if (!s.device->LockTexture(page->surface->deviceTexture, lock))
        return false;
    if (lock.format != pixels->format) {
        s.device->UnlockTexture(page->surface->deviceTexture, nullptr);
        return false;
    }
    CopyPadded(*pixels, w, h, lock, x, y);
    const plat::DeviceRect dirty{x - kAtlasPadding, y - kAtlasPadding, x + w + kAtlasPadding,
                                 y + h + kAtlasPadding};
    if (!s.device->UnlockTexture(page->surface->deviceTexture, &dirty))
        return false;

    const float iu = 1.0f / float(page->surface->width), iv = 1.0f / float(page->surface->height);
    surface->atlasPage = page->surface;
    surface->atlasX = x;
    surface->atlasY = y;
    surface->atlasU0 = (float(x) + 0.25f) * iu;
    surface->atlasV0 = (float(y) + 0.25f) * iv;
    surface->atlasU1 = (float(x + w) + 0.25f) * iu;
    surface->atlasV1 = (float(y + h) + 0.25f) * iv;
    ++page->users;
    return true;
}

void LeaveAtlas(Surface* surface) {
    if (!surface || !surface->atlasPage)
        return;
    for (Page& p : Atlas().pages) {
        if (p.surface != surface->atlasPage)
            continue;
        if (--p.users <= 0) {
            p.users = 0;
            p.shelves.clear();
            p.nextShelfY = 0;
        }
        break;
    }
    surface->atlasPage = nullptr;
}

int32_t AtlasPageCount() {
    return int32_t(Atlas().pages.size());
}

int32_t AtlasSpriteCount() {
    int32_t n = 0;
    for (const Page& p : Atlas().pages)
        n += p.users;
    return n;
}

void ReleaseSpriteAtlases() {
    AtlasState& a = Atlas();
    EngineState& s = State();
    if (a.pages.empty())
        return;
    for (Surface* live : s.liveSurfaces)
        live->atlasPage = nullptr;
    for (auto& stage : s.stageSurface)
        for (const Page& p : a.pages)
            if (stage == p.surface)
                stage = nullptr;
    std::vector<Page> pages = std::move(a.pages);
    a.pages.clear();
    for (Page& p : pages) {
        if (a.device != s.device)
            p.surface->deviceTexture = plat::kNoTexture;
        ReleaseSurface(p.surface);
    }
}

QuadUV AtlasSourceUV(const Surface& s, const EngineRect& source) {
    const float iu = 1.0f / float(s.atlasPage->width), iv = 1.0f / float(s.atlasPage->height);
    return {(float(s.atlasX + source.left) + 0.25f) * iu, (float(s.atlasY + source.top) + 0.25f) * iv,
            (float(s.atlasX + source.right) + 0.25f) * iu, (float(s.atlasY + source.bottom) + 0.25f) * iv};
}

} // namespace Engine
