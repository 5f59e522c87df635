// The isometric projection and the viewports the map is shown through: up to
// 16 screen rectangles, each with a scroll origin and one of 15 zoom levels;
// exactly one is current and every projection and query works on it.
// Scrolling by keys, at the screen border and by dragging, and zooming that
// keeps the map point under the mouse in place. Main thread only.
#pragma once

#include "engine/engine_state.h"

#include <cstdint>

struct ScreenPoint {
    int32_t x = 0, y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

struct MapCell {
    int32_t x = 0, y = 0;
    bool operator==(const MapCell&) const = default;
};

// One of the fixed zoom levels. Tile sizes are 120 x 40 scaled by k / 20.
struct ZoomLevel {
    int32_t tileWidth;
    int32_t tileHeight;
    int32_t graphicsVariant; // handed to the sprite cache with every key
    int32_t scrollStep;      // pixels per scroll step
    int32_t scaled;          // 0 only at the graphics' native size
    uint32_t colour;         // kept with the level; nothing reads it
    float factor;            // scales the map sounds' volume
};

inline constexpr int32_t kViewportCount = 16;
inline constexpr int32_t kZoomLevelCount = 15;
inline constexpr int32_t kNativeZoomLevel = 7;
inline constexpr int32_t kBaseTileWidth = 120;
inline constexpr int32_t kBaseTileHeight = 40;
// What the inverse projections answer when they cannot divide.
inline constexpr int32_t kNoCell = -666;

const ZoomLevel& GetZoomLevelEntry(int32_t level);

struct Viewport {
    int32_t tileWidth = 0; // always 3 x tileHeight
    int32_t tileHeight = 0;
    int32_t blockWidth = 0; // a block is 4 x 4 tiles
    int32_t blockHeight = 0;
    EngineRect rect; // right and bottom exclusive
    // The screen position of the top corner of map cell (0, 0).
    int32_t originX = 0, originY = 0;
    float zoomScale = 1.0f; // tile height / 40
    int32_t zoomLevel = 0;
    uint8_t active = 0;

    // Table and selection.
    static Viewport& Get(int32_t n); // n is clamped to 0..15
    static int32_t GetCurrent();
    static int32_t MaxCount() { return kViewportCount; }
    static int32_t GetActiveCount();
    static bool IsActive(int32_t n);
    // Switching on counts the viewport; switching off requests a full redraw.
    // A rectangle also places map cell (0, 0) at its top centre, 50 pixels down.
    static void SetActive(int32_t n, bool active, const EngineRect* rect);
    // Makes an active viewport current and clips drawing to it.
    static void Select(int32_t n);
    // Puts every viewport back to its start: inactive, level 7, no rectangle.
    static void ResetAll();

    // Queries and setters of the current viewport.
    static EngineRect GetRect();
    static EngineRect GetInnerRect(); // 32 pixels off the bottom
    static void SetMainRect(const EngineRect& rect);
    static void GetTileSize(int32_t& w, int32_t& h);
    static void GetBlockSize(int32_t& w, int32_t& h);
    static void SetBlockSize(int32_t w, int32_t h);
    static ScreenPoint GetOrigin();
    static bool SetOrigin(ScreenPoint origin);
    static int32_t GetZoomLevel();
    static int32_t ZoomLevelCount() { return kZoomLevelCount; }
    static float GetZoomScale();
    static int32_t ScaleByZoom(int32_t n);
    static int32_t GetZoomScaledFlag();
    static int32_t GetZoomGraphicsVariant();
    static float GetZoomVolume();

    // Projections on the current viewport.
    static ScreenPoint ProjectWithOrigin(ScreenPoint origin, MapCell cell, int32_t tileHeight);
    static EngineRect CellRect(int32_t x, int32_t y);
    static EngineRect TileBounds(int32_t x, int32_t y);
    static EngineRect GetTileBounds(int32_t x, int32_t y) { return TileBounds(x, y); }
    static ScreenPoint GetTileAnchor(int32_t x, int32_t y);
    static MapCell ScreenToCell(ScreenPoint point);
    static MapCell PointToCell(int32_t px, int32_t py);

    // A level of 15 or more becomes 9.
    static void SetZoomLevel(int32_t level);
    // 0 in, 1 out, 2 the default level, 3 the smallest, 4 the largest; false
    // when the mouse is outside the current viewport.
    static bool Zoom(int32_t command);
    // Moves the origin so that `fixed` keeps its map point at the new tile
    // height, then pulls the view centre back onto the map.
    static void ZoomAround(ScreenPoint fixed, int32_t newTileHeight);
    // Directions 0 to 7; false above 7.
    static bool ScrollStep(uint32_t direction, bool immediate);
    static void CenterOn(int32_t x, int32_t y);

    // The map cell under the mouse, set by the map view once per frame.
    static void SetCursorCell(int32_t x, int32_t y);
    static MapCell GetCursorCell();
    static void ClearCursorCell();
};

// The screen point of the top corner of tile (x, y) in the current viewport.
ScreenPoint MapToScreen(int32_t x, int32_t y);
// The map cell under a screen point for an origin and tile height;
// (-666, -666) for a tile height of 0.
MapCell ScreenToMap(ScreenPoint origin, ScreenPoint point, int32_t tileHeight);

// Border and drag scrolling, once per frame.
void ScrollViewByMouse();

// The arrow keys, as bits of the set of held ones.
enum ArrowKey : uint8_t { kArrowLeft = 1, kArrowRight = 2, kArrowUp = 4, kArrowDown = 8 };
// The scroll direction of a pressed arrow key, diagonal when another arrow
// key across it is held (Up shows more of the map's upper part, Left of its
// left part); -1 when `pressed` is not one arrow key.
int32_t ArrowKeyScrollDirection(uint8_t pressed, uint8_t held);
// Scrolls one full step for a pressed arrow key at once, without the
// border's ramp; false when `pressed` is not one arrow key.
bool ScrollByArrowKey(uint8_t pressed, uint8_t held);

void SetScreenRect(const EngineRect& rect);
EngineRect GetScreenRect();
void GetBaseTileSize(int32_t& w, int32_t& h);
void GetBaseBlockSize(int32_t& w, int32_t& h);
void SetBaseBlockSize(int32_t w, int32_t h);
inline int32_t RectWidth(const EngineRect& r) {
    return r.right - r.left;
}
