// The minimap: a picture of the whole map kept in two images, 256 x 256 and
// 512 x 512 pixels in the 16-bit 565 format, painted tile by tile from the
// map (terrain, buildings by kind, tracks and roads, and in their owner's
// colour the property of players whose owner flag is on). Changes queue
// rectangles of tiles; UpdateMiniMap repaints them once per frame and sends
// the images to their engine textures while the engine runs. A saved game
// carries both images (section "mmap"), which no load reads back.
#pragma once

#include "engine/engine_state.h"
#include "engine/surface.h"
#include "world/world.h"

#include <cstdint>
#include <vector>

// A rectangle of tiles; x1 and y1 exclusive.
struct MiniMapRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

class MiniMap : public WorldAttachment {
public:
    static constexpr int32_t kSmallSide = 256, kLargeSide = 512;

    MiniMap();
    ~MiniMap() override;

    // Queues a rectangle, clipped to the map; an empty one queues nothing.
    void Invalidate(const MiniMapRect& rect);
    void InvalidateAll();
    void ClearUpdates() { pending_.clear(); }
    const std::vector<MiniMapRect>& Pending() const { return pending_; }

    // Paints the queued rectangles in their order and empties the queue;
    // the textures follow when the engine runs.
    void Update();
    // A game starts or was loaded: the whole map is queued and the route
    // marks cleared.
    void PrepareForGame();
    // The first time, paints the whole map; always clears the route marks.
    void Reset();

    // Whether the images were ever painted.
    bool Painted() const { return !imagesMissing_; }

    // The 565 colour of a tile as the minimap paints it.
    uint16_t TileColour(uint32_t x, uint32_t y) const;

    // The image of a size (small: 256), rows top to bottom.
    const std::vector<uint16_t>& Image(bool smallImage) const { return smallImage ? small_ : large_; }
    const std::vector<uint8_t>& Marks(bool smallImage) const {
        return smallImage ? smallMarks_ : largeMarks_;
    }
    // The engine texture of a size, made on first use; 0 without engine.
    TextureHandle Texture(bool small);

    // Stores the "mmap" section: the small image as a sized block of
    // 0x20000 bytes, the large one of 0x80000 bytes. False when the stream
    // failed.
    bool Save();

    // The dialog's size: 1 the small one.
    uint8_t smallSize = 1;

private:
    void Paint(const MiniMapRect& rect);
    void SendToTextures();
    void ReleaseTextures();

    std::vector<MiniMapRect> pending_;
    std::vector<uint16_t> small_, large_;
    std::vector<uint8_t> smallMarks_, largeMarks_;
    TextureHandle smallTexture_ = 0, largeTexture_ = 0;
    bool imagesMissing_ = true;
};

MiniMap& MiniMapOf(World& world = CurrentWorld());

// The minimap's picture is a diamond in its control rectangle: map (0, 0)
// at the top centre, (W, 0) at the right corner, (W, H) at the bottom
// centre, (0, H) at the left corner.
// The tile under a point of the control rectangle showing the source part
// of an image of side `side`; false for a control of no height.
bool MiniMapPointToTile(const EngineRect& control, const EngineRect& source, int32_t side, int32_t mapWidth,
                        int32_t mapHeight, int32_t mx, int32_t my, int32_t& tileX, int32_t& tileY);
// A map cell's point on the diamond.
void MiniMapTileToPoint(const EngineRect& control, int32_t mapWidth, int32_t mapHeight, int32_t cellX,
                        int32_t cellY, int32_t& px, int32_t& py);
struct MiniMapLine {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
// The outline of the main view (its four corner cells) on the diamond: the
// rectangle they span, each edge clipped to the diamond, an edge left out
// when nothing of it remains or when it lies outside the control on the
// left, the right or the top.
std::vector<MiniMapLine> MiniMapViewOutline(const EngineRect& control, int32_t mapWidth, int32_t mapHeight,
                                            const int32_t cellX[4], const int32_t cellY[4]);

// The raw 0xRRGGBB colour of a MiniMap_S_Dlg row; 0 for a row without a
// record or beyond the 300 the palette holds.
uint32_t GetMiniMapColour(int32_t row);
// The palette is rebuilt on next use (a row's colour changed).
void InvalidateMiniMapColours();
// A 0xAARRGGBB colour in the 565 format.
uint16_t ToMiniMapPixel(uint32_t argb);
