#include "engine/tiled_image.h"

#include "engine/draw_layers.h"
#include "engine/engine_services.h"
#include "engine/quad_draw.h"
#include "engine/surfaces.h"
#include "engine/texture_atlas.h"
#include "engine/textures.h"
#include "engine/tga_reader.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kMarker = 0x00FF00FF;
constexpr int32_t kBaseTileWidthHalf = 60;

bool footprintOutlines = false;
// Larger footprints get only their outline in the debug drawing.
constexpr int64_t kMaxOutlinedCells = 1024;

bool IsPowerOfTwo(int32_t v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Intersection of two rectangles; false when they do not overlap.
bool Intersect(const EngineRect& a, const EngineRect& b, EngineRect& out) {
    out = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return out.left < out.right && out.top < out.bottom;
}

} // namespace

TiledImage::~TiledImage() {
    FreeTextures();
}

void TiledImage::FreeTextures() {
    for (uint32_t handle : textures)
        Engine::DeleteTexture(handle);
    textures.clear();
    columns_ = rows_ = 0;
}

void TiledImage::Release() {
    if (--refCount < 1)
        delete this;
}

bool TiledImage::LoadImage(const void* data, size_t size, int32_t format, int32_t frames,
                           int32_t resolutionShift) {
    FreeTextures();
    shift = std::clamp(resolutionShift, 0, Engine::kMaxScaleShift);
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels = ReadTga(data, size, width, height);
    if (!pixels.empty()) {
        const bool keyed = format == kFormatDisplayVideo || format == kFormatDisplaySystem;
        const EngineState& s = Engine::State();
        // Grid cells are at most the device's texture size once scaled down.
        const int32_t maxWidth = std::max(1, s.caps.maxTextureWidth) << shift;
        const int32_t maxHeight = std::max(1, s.caps.maxTextureHeight) << shift;
        if (keyed || (width <= maxWidth && height <= maxHeight)) {
            uint32_t key = 0;
            const bool hasKey = keyed && FindKeyColour(pixels.data(), width, height, width * 4, format, key);
            uint32_t handle = Engine::CreateTexture(width, height, format, shift, pixels.data(), width * 4,
                                                    hasKey ? &key : nullptr, nullptr);
            if (handle) {
                if (!keyed)
                    Engine::PackIntoAtlas(handle);
                textures.push_back(handle);
                columns_ = rows_ = 1;
                cellWidth_ = width;
                cellHeight_ = height;
            }
        } else {
            columns_ = (width + maxWidth - 1) / maxWidth;
            rows_ = (height + maxHeight - 1) / maxHeight;
            cellWidth_ = maxWidth;
            cellHeight_ = maxHeight;
            for (int32_t row = 0; row < rows_ && (textures.size() == size_t(row * columns_)); ++row) {
                for (int32_t column = 0; column < columns_; ++column) {
                    const int32_t x = column * maxWidth, y = row * maxHeight;
                    const int32_t w = std::min(maxWidth, width - x), h = std::min(maxHeight, height - y);
                    const uint32_t* first = pixels.data() + size_t(y) * size_t(width) + size_t(x);
                    uint32_t handle =
                        Engine::CreateTexture(w, h, format, shift, first, width * 4, nullptr, nullptr);
                    if (!handle)
                        break;
                    textures.push_back(handle);
                }
            }
            // A grid with a missing cell would draw with a hole: none at all.
            if (textures.size() != size_t(columns_) * size_t(rows_))
                FreeTextures();
        }
        if (!textures.empty()) {
            pictureWidth_ = width;
            pictureHeight_ = height;
            imageWidth = displayWidth = width >> shift;
            imageHeight = displayHeight = height >> shift;
            TgaFooterValues footer;
            if (ReadTgaFooter(data, size, footer)) {
                // A box of no size would divide by zero when drawn.
                if (footer.displayWidth >= 1 && footer.displayHeight >= 1) {
                    displayWidth = footer.displayWidth;
                    displayHeight = footer.displayHeight;
                }
                offsetX = footer.offsetX;
                offsetY = footer.offsetY;
            }
            hotspotX = displayWidth / 2 - 1;
            hotspotY = displayHeight - 1;
            int32_t rightExtent = displayWidth;
            if (!keyed) {
                for (int32_t y = height - 1; y >= 0; --y) {
                    if (pixels[size_t(y) * size_t(width)] == kMarker) {
                        hotspotY = y + offsetY;
                        break;
                    }
                }
                for (int32_t x0 = 0; x0 < width; ++x0) {
                    if (pixels[size_t(x0)] != kMarker)
                        continue;
                    hotspotX = x0 + offsetX;
                    if (IsPowerOfTwo(x0 + 1) && !IsPowerOfTwo(width))
                        rightExtent = hotspotX + 1;
                    for (int32_t x1 = x0 + 1; x1 < width; ++x1) {
                        if (pixels[size_t(x1)] == kMarker) {
                            rightExtent = x1 + offsetX + 1;
                            break;
                        }
                    }
                    break;
                }
            }
            footprintX = std::max(1, (hotspotX + 29) / kBaseTileWidthHalf);
            footprintY = std::max(1, (rightExtent - hotspotX + 29) / kBaseTileWidthHalf);
        }
    }
    frameCount = std::max(1, frames);
    displayHeight /= frameCount;
    imageHeight /= frameCount;
    // After the division, so that the zoomed box is one frame's.
    if (!textures.empty())
        UpdateZoomMetrics();
    return !textures.empty();
}

bool TiledImage::AddSubImage(const uint32_t* pixels, int32_t width, int32_t height) {
    hasSubImages = true;
    if (textures.empty())
        return false;
    return Engine::CacheTextureFrames(textures[0], pixels, width, height);
}

void TiledImage::UpdateZoomMetrics() {
    const Viewport& vp = Viewport::Get(0);
    const int32_t h = vp.tileHeight;
    const float scale = vp.zoomScale;
    const int32_t w = displayWidth << shift;
    const int32_t hh = displayHeight << shift;
    const int32_t x = (hotspotX << shift) + 1;
    const int32_t y = (hotspotY << shift) + 1;
    zoomedWidth = w * h / 40;
    zoomedHeight = hh * h / 40;
    zoomedHotspotX = x * h / 40;
    zoomedHotspotY = y * h / 40;
    zoomedWidthF = float(w) * scale;
    zoomedHeightF = float(hh) * scale;
    zoomedHotspotXF = float(x) * scale;
    zoomedHotspotYF = float(y) * scale;
}

EngineRect TiledImage::ScreenRectAt(MapCell point) const {
    const ScreenPoint p = MapToScreen(point.x, point.y);
    if (Viewport::GetCurrent() == 0)
        return {p.x - zoomedHotspotX, p.y - zoomedHotspotY, p.x - zoomedHotspotX + zoomedWidth,
                p.y - zoomedHotspotY + zoomedHeight};
    const float scale = Viewport::GetZoomScale();
    const int32_t left = p.x - int32_t(float((hotspotX << shift) + 1) * scale);
    const int32_t top = p.y - int32_t(float((hotspotY << shift) + 1) * scale);
    return {left, top, left + int32_t(float(displayWidth << shift) * scale),
            top + int32_t(float(displayHeight << shift) * scale)};
}

void TiledImage::PlaceOnMap(int32_t x, int32_t y, EngineRect& screen, EngineRect& footprint,
                            int32_t part) const {
    if (Viewport::GetCurrent() != 0) {
        PlaceOnMapScaled(x, y, Viewport::GetZoomScale(), screen, footprint, part);
        return;
    }
    const ScreenPoint p = MapToScreen(x + footprintX, y + footprintY);
    const float left = float(p.x) - zoomedHotspotXF;
    const float top = float(p.y) - zoomedHotspotYF;
    screen = {int32_t(left), int32_t(top), int32_t(left + zoomedWidthF), int32_t(top + zoomedHeightF)};
    footprint = FootprintRect(x, y, part);
}

void TiledImage::PlaceOnMapScaled(int32_t x, int32_t y, float scale, EngineRect& screen,
                                  EngineRect& footprint, int32_t part) const {
    const ScreenPoint p = MapToScreen(x + footprintX, y + footprintY);
    const float left = float(p.x) - float((hotspotX << shift) + 1) * scale;
    const float top = float(p.y) - float((hotspotY << shift) + 1) * scale;
    screen = {int32_t(left), int32_t(top), int32_t(left + float(displayWidth << shift) * scale),
              int32_t(top + float(displayHeight << shift) * scale)};
    footprint = FootprintRect(x, y, part);
}

EngineRect TiledImage::FootprintRect(int32_t x, int32_t y, int32_t part) const {
    return FootprintRectOf(x, y, part, footprintX, footprintY);
}

EngineRect TiledImage::CellRect(size_t index) const {
    if (columns_ < 1 || index >= textures.size())
        return {};
    const int32_t column = int32_t(index % size_t(columns_));
    const int32_t row = int32_t(index / size_t(columns_));
    const int32_t x = (column * cellWidth_) >> shift;
    const int32_t y = (row * cellHeight_) >> shift;
    const int32_t right = std::min((column + 1) * cellWidth_, pictureWidth_) >> shift;
    const int32_t bottom = std::min((row + 1) * cellHeight_, pictureHeight_) >> shift;
    return {x, y, right, bottom};
}

EngineRect TiledImage::PictureTarget(const EngineRect& target) const {
    if (imageWidth == displayWidth && imageHeight == displayHeight)
        return target;
    const float sx = float(target.right - target.left) / float(displayWidth);
    const float sy = float(target.bottom - target.top) / float(displayHeight);
    const int32_t left = target.left + int32_t(float(offsetX) * sx);
    const int32_t top = target.top + int32_t(float(offsetY) * sy);
    return {left, top, left + int32_t(float(imageWidth) * sx), top + int32_t(float(imageHeight) * sy)};
}

bool TiledImage::Draw(int32_t layer, const EngineRect& target, uint32_t colour, int32_t blend,
                      int32_t filter) const {
    return DrawFrame(layer, target, 0, colour, blend, filter);
}

bool TiledImage::DrawFrame(int32_t layer, const EngineRect& target, int32_t n, uint32_t colour, int32_t blend,
                           int32_t filter) const {
    return DrawRegion(layer, target, {0, n * displayHeight, displayWidth, (n + 1) * displayHeight}, colour,
                      blend, filter);
}

bool TiledImage::DrawRegion(int32_t layer, const EngineRect& target, const EngineRect& source,
                            uint32_t colour, int32_t blend, int32_t filter) const {
    const int32_t sw = source.right - source.left, sh = source.bottom - source.top;
    if (textures.empty() || sw <= 0 || sh <= 0)
        return false;
    const int64_t tw = target.right - target.left, th = target.bottom - target.top;
    bool ok = true;
    for (size_t i = 0; i < textures.size(); ++i) {
        const EngineRect cell = CellRect(i);
        EngineRect overlap;
        if (!Intersect(cell, source, overlap))
            continue;
        const EngineRect dest{target.left + int32_t((overlap.left - source.left) * tw / sw),
                              target.top + int32_t((overlap.top - source.top) * th / sh),
                              target.left + int32_t((overlap.right - source.left) * tw / sw),
                              target.top + int32_t((overlap.bottom - source.top) * th / sh)};
        const EngineRect inCell{overlap.left - cell.left, overlap.top - cell.top, overlap.right - cell.left,
                                overlap.bottom - cell.top};
        ok &= Engine::QueueTexturedQuad(layer, textures[i], dest, inCell, colour, 0, blend, filter);
    }
    return ok;
}

bool TiledImage::DrawStretched(int32_t layer, const EngineRect& destination, float degrees, int32_t blend,
                               int32_t filter) const {
    if (textures.empty() || displayWidth < 1 || displayHeight < 1)
        return false;
    const EngineRect picture = PictureTarget(destination);
    const float sx = float(picture.right - picture.left) / float(imageWidth);
    const float sy = float(picture.bottom - picture.top) / float(imageHeight);
    bool ok = true;
    for (size_t i = 0; i < textures.size(); ++i) {
        const EngineRect cell = CellRect(i);
        const EngineRect dest{
            picture.left + int32_t(float(cell.left) * sx), picture.top + int32_t(float(cell.top) * sy),
            picture.left + int32_t(float(cell.right) * sx), picture.top + int32_t(float(cell.bottom) * sy)};
        ok &= Engine::QueueRotatedRect(layer, textures[i], 0, dest, degrees, blend, filter);
    }
    return ok;
}

bool TiledImage::ReadPixelAt(const EngineRect& target, int32_t x, int32_t y, uint32_t* colour,
                             int32_t n) const {
    *colour = 0;
    const int32_t tw = target.right - target.left, th = target.bottom - target.top;
    if (textures.empty() || tw <= 0 || th <= 0)
        return false;
    // Where the point falls in the frame, in picture pixels.
    const int32_t px = int32_t(int64_t(x - target.left) * displayWidth / tw);
    const int32_t py = int32_t(int64_t(y - target.top) * displayHeight / th) + n * displayHeight;
    if (x < target.left || y < target.top || px >= displayWidth || py >= (n + 1) * displayHeight)
        return false;
    for (size_t i = 0; i < textures.size(); ++i) {
        const EngineRect cell = CellRect(i);
        if (px < cell.left || px >= cell.right || py < cell.top || py >= cell.bottom)
            continue;
        const EngineRect local{0, 0, cell.right - cell.left, cell.bottom - cell.top};
        return Engine::ReadTexturePixel(textures[i], local, px - cell.left, py - cell.top, local, colour);
    }
    return false;
}

bool TiledImage::Blit(int32_t layer, int32_t x, int32_t y) const {
    if (textures.empty())
        return false;
    return Engine::QueueBlit(layer, textures[0], {x, y}, {0, 0, displayWidth, displayHeight});
}

bool TiledImage::BlitFrame(int32_t layer, int32_t x, int32_t y, int32_t n) const {
    if (textures.empty())
        return false;
    return Engine::QueueBlit(layer, textures[0], {x, y},
                             {0, n * displayHeight, displayWidth, (n + 1) * displayHeight});
}

bool TiledImage::BlitFrameRegion(int32_t layer, int32_t x, int32_t y, const EngineRect& rect,
                                 int32_t n) const {
    if (textures.empty())
        return false;
    const int32_t top = n * displayHeight;
    return Engine::QueueBlit(layer, textures[0], {x, y},
                             {rect.left, top + rect.top, rect.right, top + rect.bottom});
}

EngineRect FootprintRectOf(int32_t x, int32_t y, int32_t part, int32_t fx, int32_t fy) {
    const int32_t l = 4 * x, t = 4 * y, r = 4 * (x + fx), b = 4 * (y + fy);
    switch (part) {
    case 0:
        return {l, t, r, b};
    case 1:
        return {l, t, l + 1, b};
    case 2:
        return {r - 1, t, r, b};
    case 3:
        return {l, t, r, t + 1};
    case 4:
        return {l, b - 1, r, b};
    case 5:
        return {l, t, l + 1, t + 1};
    case 6:
        return {r - 1, t, r, t + 1};
    case 7:
        return {l, b - 1, l + 1, b};
    case 8:
        return {r - 1, b - 1, r, b};
    default:
        return {0, 0, 0, 0};
    }
}

ScreenPoint QuarterTileToScreen(int32_t a, int32_t b) {
    int32_t w = 0, h = 0;
    Viewport::GetTileSize(w, h);
    ScreenPoint p = Viewport::ProjectWithOrigin(Viewport::GetOrigin(), {a >> 2, b >> 2}, h);
    if (a & 1)
        p = {p.x + (w >> 3), p.y + (h >> 3)};
    if (b & 1)
        p = {p.x - (w >> 3), p.y + (h >> 3)};
    if (a & 2)
        p = {p.x + (w >> 2), p.y + (h >> 2)};
    if (b & 2)
        p = {p.x - (w >> 2), p.y + (h >> 2)};
    return p;
}

namespace {

// The cells of an image drawn into a target: each cell's texture, its
// destination and the picture pixels it covers.
template <typename Visit>
bool ForEachCell(const TiledImage& image, const EngineRect& target, Visit visit) {
    const EngineRect picture = [&] {
        if (image.imageWidth == image.displayWidth && image.imageHeight == image.displayHeight)
            return target;
        const float sx = float(target.right - target.left) / float(image.displayWidth);
        const float sy = float(target.bottom - target.top) / float(image.displayHeight);
        const int32_t left = target.left + int32_t(float(image.offsetX) * sx);
        const int32_t top = target.top + int32_t(float(image.offsetY) * sy);
        return EngineRect{left, top, left + int32_t(float(image.imageWidth) * sx),
                          top + int32_t(float(image.imageHeight) * sy)};
    }();
    if (image.textures.size() == 1)
        return visit(image.textures[0], picture, image.CellRect(0));
    const float sx = float(picture.right - picture.left) / float(image.imageWidth);
    const float sy = float(picture.bottom - picture.top) / float(image.imageHeight);
    bool ok = true;
    for (size_t i = 0; i < image.textures.size(); ++i) {
        const EngineRect cell = image.CellRect(i);
        // Only the first frame's rows are drawn.
        if (cell.top >= image.imageHeight)
            continue;
        const EngineRect dest{picture.left + int32_t(std::lround(float(cell.left) * sx)),
                              picture.top + int32_t(std::lround(float(cell.top) * sy)),
                              picture.left + int32_t(std::lround(float(cell.right) * sx)),
                              picture.top + int32_t(std::lround(float(cell.bottom) * sy))};
        ok &= visit(image.textures[i], dest, cell);
    }
    return ok;
}

// Splits a sprite standing on a footprint (in quarter tiles) into vertical
// strips, one per footprint tile along its two front edges, each with its
// own sort rectangle, so that each part sorts by the map it covers.
bool QueueFootprintSplit(const DrawImageParams& p, uint32_t texture, const EngineRect& dest,
                         const EngineRect& cell) {
    const EngineRect& f = p.sort;
    struct Strip {
        int32_t screenLeft, screenRight;
        EngineRect sort;
    };
    std::vector<Strip> strips;
    for (int32_t a = f.left; a < f.right; a += 4) {
        const int32_t a2 = std::min(a + 4, f.right);
        strips.push_back({QuarterTileToScreen(a, f.bottom).x,
                          QuarterTileToScreen(a2, f.bottom).x,
                          {a, f.top, a2, f.bottom}});
    }
    for (int32_t b = f.bottom; b > f.top; b -= 4) {
        const int32_t b2 = std::max(b - 4, f.top);
        strips.push_back({QuarterTileToScreen(f.right, b).x,
                          QuarterTileToScreen(f.right, b2).x,
                          {f.left, b2, f.right, b}});
    }
    if (strips.empty())
        return Engine::QueueSpriteUV(p.layer, texture, p.colour, dest, f, p.param1,
                                     {0, 0, cell.right - cell.left, cell.bottom - cell.top}, p.blend,
                                     p.filter, p.orderKey, p.flags);
    // The picture left of the footprint goes with the first strip, right of it with the last.
    strips.front().screenLeft = std::min(strips.front().screenLeft, dest.left);
    strips.back().screenRight = std::max(strips.back().screenRight, dest.right);
    const int32_t dw = dest.right - dest.left;
    const int32_t cw = cell.right - cell.left, ch = cell.bottom - cell.top;
    if (dw <= 0)
        return false;
    bool ok = true;
    for (const Strip& s : strips) {
        const int32_t left = std::max(s.screenLeft, dest.left), right = std::min(s.screenRight, dest.right);
        if (left >= right)
            continue;
        const EngineRect part{left, dest.top, right, dest.bottom};
        const EngineRect source{int32_t(int64_t(left - dest.left) * cw / dw), 0,
                                int32_t(int64_t(right - dest.left) * cw / dw), ch};
        ok &= Engine::QueueSpriteUV(p.layer, texture, p.colour, part, s.sort, p.param1, source, p.blend,
                                    p.filter, p.orderKey, p.flags);
    }
    return ok;
}

} // namespace

bool DrawImage(const TiledImage* image) {
    if (!image || image->textures.empty() || image->displayWidth < 1 || image->displayHeight < 1)
        return false;
    const DrawImageParams& p = GetDrawImageParams();
    const uint32_t flags = p.requestFlags;
    if (flags & 8) {
        // Corners in floating point, so that scaled cells meet without gaps.
        const float sx = float(p.target.right - p.target.left) / float(image->displayWidth);
        const float sy = float(p.target.bottom - p.target.top) / float(image->displayHeight);
        bool ok = true;
        for (size_t i = 0; i < image->textures.size(); ++i) {
            const EngineRect cell = image->CellRect(i);
            const RectF dest{float(p.target.left) + float(cell.left + image->offsetX) * sx,
                             float(p.target.top) + float(cell.top + image->offsetY) * sy,
                             float(p.target.left) + float(cell.right + image->offsetX) * sx,
                             float(p.target.top) + float(cell.bottom + image->offsetY) * sy};
            if ((flags & ~uint32_t(DrawImageParams::kQueue)) == 9)
                ok &= Engine::QueueSpriteFTinted(p.layer, image->textures[i], p.colour, dest, p.sort,
                                                 p.param1, p.blend, p.filter, p.orderKey, p.flags);
            else
                ok &= Engine::QueueSpriteF(p.layer, image->textures[i], dest, p.sort, p.param1, p.blend,
                                           p.filter, p.orderKey, p.flags);
        }
        return ok;
    }
    if (flags & DrawImageParams::kQueue) {
        const uint32_t mode = flags & ~uint32_t(DrawImageParams::kQueue);
        return ForEachCell(
            *image, p.target, [&](uint32_t texture, const EngineRect& dest, const EngineRect& cell) {
                switch (mode) {
                case 0:
                    return Engine::QueueSprite(p.layer, texture, dest, p.sort, p.param1, p.blend, p.filter,
                                               p.orderKey, p.flags);
                case 1:
                    return Engine::QueueSpriteTinted(p.layer, texture, p.colour, dest, p.sort, p.param1,
                                                     p.blend, p.filter, p.orderKey, p.flags);
                case 2:
                case 3:
                    return Engine::QueueMeshTinted(p.layer, texture, mode == 3 ? p.colour : 0xFFFFFFFFu, dest,
                                                   p.sort, p.param1, uint32_t(p.modeParam1), p.mesh, p.blend,
                                                   p.filter, p.orderKey, p.flags);
                case 4:
                case 5:
                    return Engine::QueueSpriteRefreshTinted(
                        p.layer, texture, mode == 5 ? p.colour : 0xFFFFFFFFu, dest, p.sort, p.param1,
                        p.framePairs, p.modeParam1, p.blend, p.filter, p.orderKey);
                case 65:
                    return Engine::QueueSpriteRotated(p.layer, texture, p.colour, dest, p.sort, p.param1,
                                                      p.angle, p.blend, p.filter, p.orderKey, p.flags);
                case 129: {
                    bool ok = QueueFootprintSplit(p, texture, dest, cell);
                    if (p.flags & 64)
                        DrawFootprintOutline(p.layer, p.sort, 0, 0, 0);
                    return ok;
                }
                default:
                    return false;
                }
            });
    }
    return ForEachCell(*image, p.target, [&](uint32_t texture, const EngineRect& dest, const EngineRect&) {
        const int32_t frame = p.spare;
        switch (flags) {
        case 1:
            return Engine::DrawSpriteNowTinted(texture, p.colour, dest, p.blend, p.filter);
        case 32:
        case 33: {
            if (frame < 2 && flags == 33)
                return Engine::DrawSpriteNowTinted(texture, p.colour, dest, p.blend, p.filter);
            if (frame < 2)
                return Engine::DrawSpriteNow(texture, dest, p.blend, p.filter);
            const EngineRect source{0, frame * image->imageHeight, image->imageWidth,
                                    (frame + 1) * image->imageHeight};
            if (flags == 33)
                return Engine::DrawSpriteForImageTinted(texture, p.colour, dest, source, p.blend, p.filter);
            return Engine::DrawSpriteForImage(texture, dest, source, p.blend, p.filter);
        }
        default:
            return Engine::DrawSpriteNow(texture, dest, p.blend, p.filter);
        }
    });
}

void SetFootprintOutlines(bool on) {
    footprintOutlines = on;
}

void DrawFootprintOutline(int32_t layer, const EngineRect& rect, int32_t mode, uint32_t flags,
                          uint32_t colour) {
    if (!footprintOutlines)
        return;
    uint32_t c = mode == 0 ? 0xFFFF0000u : mode == 1 ? 0xFFFFAAAAu : 0xFFFFCCCCu;
    if (flags & 1)
        c = 0xFFFFFFFFu;
    if (flags & 16)
        c = 0xFF7FFF00u;
    if (colour)
        c = colour;
    auto line = [&](ScreenPoint a, ScreenPoint b) { Engine::QueueLine(layer, c, a.x, a.y, b.x, b.y, 1); };
    const int64_t cells = int64_t(rect.right - rect.left) * int64_t(rect.bottom - rect.top);
    if (rect.right - rect.left <= 1 || rect.bottom - rect.top <= 1 || cells > kMaxOutlinedCells) {
        // A single quarter cell or a line of them (or a footprint too large to
        // draw cell by cell): its outline.
        const ScreenPoint a = QuarterTileToScreen(rect.left, rect.top),
                          b = QuarterTileToScreen(rect.right, rect.top);
        const ScreenPoint c2 = QuarterTileToScreen(rect.right, rect.bottom),
                          d = QuarterTileToScreen(rect.left, rect.bottom);
        line(a, b);
        line(b, c2);
        line(c2, d);
        line(d, a);
        return;
    }
    for (int32_t a = rect.left; a < rect.right; ++a) {
        for (int32_t b = rect.top; b < rect.bottom; ++b) {
            const ScreenPoint p0 = QuarterTileToScreen(a, b), p1 = QuarterTileToScreen(a + 1, b);
            const ScreenPoint p2 = QuarterTileToScreen(a + 1, b + 1), p3 = QuarterTileToScreen(a, b + 1);
            line(p0, p1);
            line(p1, p2);
            line(p2, p3);
            line(p3, p0);
        }
    }
}
