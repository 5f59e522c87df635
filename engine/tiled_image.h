// One loaded picture: a TGA cut into a grid of textures no larger than the
// device allows, with what places it on the isometric map (hotspot, display
// box, footprint in tiles), stacked frames and sub-images, and a reference
// count shared by the sprite caches.
#pragma once

#include "engine/engine_state.h"
#include "engine/viewport.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TiledImage {
public:
    TiledImage() = default;
    ~TiledImage();
    TiledImage(const TiledImage&) = delete;
    TiledImage& operator=(const TiledImage&) = delete;

    // Decodes the TGA and makes its textures; true when at least one was
    // made. Formats 6 and 7 give one keyed texture of the whole picture.
    // `frames` stacked frames share the picture's height (at least 1).
    bool LoadImage(const void* data, size_t size, int32_t format, int32_t frames, int32_t shift);

    void AddRef() { ++refCount; }
    // Drops a reference; the last one deletes the image and its textures.
    void Release();

    // Hands a picture whose frames are outlined in magenta to the frame
    // cache of the first texture.
    bool AddSubImage(const uint32_t* pixels, int32_t width, int32_t height);
    // The zoomed size and hotspot at viewport 0's zoom.
    void UpdateZoomMetrics();

    // Screen rectangle of the image standing on a map point (its hotspot at
    // the point's projection).
    EngineRect ScreenRectAt(MapCell point) const;
    // The screen rectangle with the hotspot at the bottom corner of the
    // footprint placed at (x, y), and the footprint part's rectangle.
    void PlaceOnMap(int32_t x, int32_t y, EngineRect& screen, EngineRect& footprint, int32_t part) const;
    void PlaceOnMapScaled(int32_t x, int32_t y, float scale, EngineRect& screen, EngineRect& footprint,
                          int32_t part) const;
    // The footprint, or a strip or corner of it, in quarter tiles.
    EngineRect FootprintRect(int32_t x, int32_t y, int32_t part) const;

    // Queues frame n (0 for Draw) into the target on a layer's scene list.
    bool Draw(int32_t layer, const EngineRect& target, uint32_t colour, int32_t blend, int32_t filter) const;
    bool DrawFrame(int32_t layer, const EngineRect& target, int32_t n, uint32_t colour, int32_t blend,
                   int32_t filter) const;
    // Queues the part of the picture under a source rectangle into the target.
    bool DrawRegion(int32_t layer, const EngineRect& target, const EngineRect& source, uint32_t colour,
                    int32_t blend, int32_t filter) const;
    // Queues the image stretched into the destination and turned by an angle.
    bool DrawStretched(int32_t layer, const EngineRect& destination, float degrees, int32_t blend,
                       int32_t filter) const;
    // The colour of frame n under a point of the target rectangle, read as
    // the drawing would place it; false when no texture lies under it.
    bool ReadPixelAt(const EngineRect& target, int32_t x, int32_t y, uint32_t* colour, int32_t n) const;
    // Blits of the first texture at (x, y): the display box, frame n, or a
    // rectangle within frame n.
    bool Blit(int32_t layer, int32_t x, int32_t y) const;
    bool BlitFrame(int32_t layer, int32_t x, int32_t y, int32_t n) const;
    bool BlitFrameRegion(int32_t layer, int32_t x, int32_t y, const EngineRect& rect, int32_t n) const;

    // The grid cell (column, row) in picture pixels and its texture.
    size_t CellCount() const { return textures.size(); }
    EngineRect CellRect(size_t index) const;

    std::vector<uint32_t> textures; // row-major
    int32_t hotspotX = 0, hotspotY = 0;
    int32_t shift = 0;
    int32_t imageWidth = 0, imageHeight = 0;
    int32_t offsetX = 0, offsetY = 0;
    int32_t zoomedWidth = 0, zoomedHeight = 0, zoomedHotspotX = 0, zoomedHotspotY = 0;
    float zoomedWidthF = 0, zoomedHeightF = 0, zoomedHotspotXF = 0, zoomedHotspotYF = 0;
    int32_t refCount = 0;
    bool hasSubImages = false;
    int32_t displayWidth = 1, displayHeight = 1;
    int32_t frameCount = 1;
    int32_t footprintX = 1, footprintY = 1;

private:
    void FreeTextures();
    // The target rectangle for the picture inside a box drawn into `target`.
    EngineRect PictureTarget(const EngineRect& target) const;

    int32_t columns_ = 0, rows_ = 0;
    int32_t cellWidth_ = 0, cellHeight_ = 0; // picture pixels per grid cell
    int32_t pictureWidth_ = 0, pictureHeight_ = 0;
};

// A footprint part for a footprint of fx x fy tiles at (x, y), in quarter
// tiles: 0 the whole, 1 to 4 its left, right, top and bottom strips, 5 to 8
// its corners; anything else an empty rectangle.
EngineRect FootprintRectOf(int32_t x, int32_t y, int32_t part, int32_t fx, int32_t fy);
// The screen point of a quarter-tile position in the current viewport.
ScreenPoint QuarterTileToScreen(int32_t a, int32_t b);

// Draws (or queues) the whole image as the draw request says.
bool DrawImage(const TiledImage* image);

// The debug outline of a footprint given in quarter tiles, queued as lines
// on a layer while footprint outlines are switched on.
void DrawFootprintOutline(int32_t layer, const EngineRect& rect, int32_t mode, uint32_t flags,
                          uint32_t colour);
void SetFootprintOutlines(bool on);
