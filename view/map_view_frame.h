// The map view's frame: once per frame every active viewport is drawn. The
// static picture (terrain blocks, water) is kept in the engine's spare
// surface between frames; a frame copies it back shifted by the scroll
// since the last one and draws again only the strips the scroll uncovered,
// or everything after a full-redraw request. Blocks of 4 x 4 tiles are
// walked in screen order; each fills the block lists that the per-frame
// passes (water, tile marks, the map overlay) draw from.
#pragma once

#include "engine/engine_state.h"
#include "engine/quad_geometry.h"
#include "engine/viewport.h"
#include "view/draw_lists.h"
#include "world/world.h"

#include <array>
#include <cstdint>
#include <vector>

class TiledImage;

// One 4 x 4 block of the last walk: its screen rectangle, origin tile and
// terrain image.
struct BlockRecord {
    EngineRect rect;
    int32_t x = 0, y = 0;
    const TiledImage* terrain = nullptr;
    int32_t terrainRow = 0;
    int32_t waterAnimation = 0; // the terrain's WaterAnimationType
};

// A mark on a tile, drawn in the frame it was queued in.
struct TileMark {
    TextureHandle texture = 0;
    EngineRect rect;
    EngineRect footprint;
    uint32_t colour = 0xFFFFFFFFu;
};

// A square of the map overlay, in tiles, and its texture span.
struct OverlaySquare {
    int32_t x = 0, y = 0, size = 0;
    float u1 = 1.0f, v1 = 1.0f; // texture coordinates at the far corners
    float u0 = 0.0f, v0 = 0.0f;
};

class MapViewFrame : public WorldAttachment {
public:
    // The scroll request: the sum of the frame's scrolls.
    uint8_t scrollPending = 0;
    int32_t scrollDx = 0, scrollDy = 0;

    // The dirty rectangles of the viewport being drawn: 0 means every block.
    int32_t dirtyCount = 0;
    std::array<EngineRect, 2> dirty{};

    // Values of the viewport being drawn.
    int32_t mapWidth = 0, mapHeight = 0;
    int32_t tileWidth = 0, tileHeight = 0;
    int32_t graphicsVariant = 0;
    float zoomScale = 1.0f;
    uint32_t drawStamp = 0;
    uint8_t smallTiles = 0;

    // The season blend: the last day seen, the blend colour (alpha in the
    // top byte, 0 when off) and this and next month's seasons.
    uint32_t lastDay = 0xFFFFFFFFu;
    uint32_t blendColour = 0;
    int32_t season = 0, nextSeason = 0;

    // 0, 1 or 2: the block outlines of the statistics overlay.
    uint8_t debugOverlay = 0;

    std::vector<BlockRecord> landBlocks, waterBlocks;
    // Water blocks with an animation, by animation type.
    std::vector<const BlockRecord*> waterList;
    std::vector<TileMark> tileMarks;
    // Routes, trees, buildings and cell objects of the visited blocks.
    DrawLists lists;
    // The water detail of the last water pass; -1 before the first.
    int32_t lastWaterDetail = -1;
    // Water timers: start stamps of the two texture layers and two waves
    // of each record.
    std::array<std::array<uint64_t, 4>, 8> waterTimers{};

    // The real time of the last check for the trees' ambient sound.
    uint32_t lastAmbientCheck = 0;

    // Which blocks of the map (by block row, blocksPerRow a row) the lists
    // hold, and the view they were walked for: a scroll of that view moves
    // the lists and visits only the blocks it brings in.
    std::vector<uint8_t> presentBlocks;
    int32_t blocksPerRow = 0;
    bool listsKept = false;
    ScreenPoint listedOrigin{};
    EngineRect listedView{};
    int32_t listedTileWidth = 0, listedTileHeight = 0;
    int32_t listedMapWidth = 0, listedMapHeight = 0;
    uint8_t listedTrees = 0;

    // Counters of the last frame, for statistics and tests.
    uint32_t blocksVisited = 0;
    uint32_t terrainBlocksDrawn = 0;
    uint32_t waterBlocksDrawn = 0;
    uint32_t overlaySquaresDrawn = 0;
};

MapViewFrame& MapViewFrameOf(World& world = CurrentWorld());

// The requests of the rest of the program; served by the next frame.
void RequestFullRedraw();
void RequestPartialRedraw();
void RequestObjectRedraw();
// Ignored unless viewport 0 is current and a delta is non-zero; the
// requests of one frame add up.
void RequestScroll(int32_t dx, int32_t dy);
// Queues a mark for this frame's tile marks.
void QueueTileMark(const TileMark& mark);

// The strips a scroll by (dx, dy) uncovers in a viewport rectangle, the
// horizontal one first; their count.
int32_t DirtyStrips(const EngineRect& view, int32_t dx, int32_t dy, std::array<EngineRect, 2>& out);
// The blend alpha of day `day` of a month of `days` days: day x 255 / days
// when the month's season differs from the next month's, else 0; 0 for a
// month of no days.
uint32_t SeasonBlendAlpha(uint32_t day, uint32_t days, int32_t season, int32_t nextSeason);
// The season of a month (the TreeColor table's Season of row month; 0 for
// a missing row).
int32_t SeasonOfMonth(uint32_t month);

// The block origins whose rectangles meet the current viewport's
// rectangle (or `area`), in screen order: rows of equal x + y from the top,
// each from left to right. Origins are multiples of 4 within the map.
std::vector<std::pair<int32_t, int32_t>> WalkBlocks(int32_t mapWidth, int32_t mapHeight);
std::vector<std::pair<int32_t, int32_t>> WalkBlocksIn(int32_t mapWidth, int32_t mapHeight,
                                                      const EngineRect& area);
// The screen rectangle of the block at origin (x, y) in the current viewport.
EngineRect BlockRect(int32_t x, int32_t y);

// The four corner words of a detailed terrain block at (x, y): variation
// bits 28..31 from the terrain variations, the terrain type + 1 at bit 21,
// the mixture and special-type bits and the water bit.
std::array<uint32_t, 4> TerrainCornerWords(int32_t x, int32_t y);

// The overlay squares of a map: n = min(256, width) tiles a side, and with
// n = 256 a second pass over the rows below the last whole square.
std::vector<OverlaySquare> OverlaySquares(int32_t mapWidth, int32_t mapHeight);

// The screen offset of a water vertex at map point (px, py): the first
// wave moves it across, the second up and down, at the wave phases a1, a2.
struct WaterAnimation;
PointF WaterVertexOffset(const WaterAnimation& w, float px, float py, float a1, float a2, float zoomScale);

// The cell under the mouse becomes the cursor cell (clamped to the map),
// the cursor marker is queued while it is switched on, and the screen text
// queue is drawn.
void UpdateCursorCell();
// The next frame shows no cursor marker.
void SkipCursorInfoOnce();

// Draws every active viewport for this frame and serves the requests.
void RenderMapFrame();
void RenderViewport(int32_t n);
