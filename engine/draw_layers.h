// The 16 draw layers of a frame. Each holds a sprite list (depth-sorted by
// map footprint before it is drawn), a scene list (textured rectangles,
// bitmap texts, quads with a source rectangle, lines, rotated rectangles,
// drawn in queue order) and a blit list (system-font texts, copies and
// fills, drawn before the scene list). All queues are free functions that
// take the layer number first; layers outside 0 to 15 are refused.
#pragma once

#include "engine/draw_item.h"
#include "engine/engine_services.h"
#include "engine/quad_geometry.h"
#include "engine/text_draw.h"

#include <array>
#include <cstdint>
#include <vector>

struct SceneRect {
    EngineRect rect;
    TextureHandle texture = 0;
    int32_t stateBlock = 0;
    uint32_t colour = 0;
};
struct SceneText {
    const char* chars = nullptr;
    int32_t count = 0;
    int32_t x = 0, y = 0;
    int32_t font = 0, size = 0;
    uint32_t colour = 0;
    int32_t spacing = 0;
    uint8_t table = 0;
};
struct SceneQuad {
    EngineRect dest, source;
    TextureHandle texture = 0;
    int32_t stateBlock = 0;
    uint32_t colour = 0;
    uint8_t mapping = 0; // 0 quarter-texel offset, 1 one-texel inset
};
struct SceneLine {
    uint32_t colour = 0;
    int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    int32_t width = 0;
};
struct SceneRotated {
    EngineRect rect;
    TextureHandle texture = 0, second = 0;
    int32_t stateBlock = 0;
    float angle = 0; // degrees
};
struct BlitText {
    const char16_t* chars = nullptr;
    int32_t count = 0;
    int32_t x = 0, y = 0;
    const SystemFont* font = nullptr;
    uint32_t colour = 0, background = 0; // 0x00BBGGRR
};
struct BlitRecord {
    EngineRect source;
    EngineRect dest; // a copy uses left, top
    TextureHandle texture = 0;
    uint32_t fill = 0; // in the display format
    uint32_t flags = 0;
    uint8_t kind = 0; // 0 copy, 2 fill
};
inline constexpr uint32_t kBlitUseKey = 1;

enum SceneKind : uint8_t { kSceneRect, kSceneText, kSceneQuad, kSceneLine, kSceneRotated };
enum BlitKind : uint8_t { kBlitText, kBlitCopy };

struct DrawLayer {
    std::vector<DrawItem> items;
    std::vector<uint32_t> order; // item indices, back to front
    uint32_t sorted = 0;
    std::vector<uint8_t> sceneOrder;
    std::vector<SceneRect> rects;
    std::vector<SceneText> texts;
    std::vector<SceneQuad> quads;
    std::vector<SceneLine> lines;
    std::vector<SceneRotated> rotated;
    std::vector<uint8_t> blitOrder;
    std::vector<BlitText> blitTexts;
    std::vector<BlitRecord> blits;
};

// A vertex list queued as a mesh.
struct MeshList {
    const EngineVertex* vertices = nullptr;
    int32_t count = 0;
};

namespace Engine {

namespace detail {
extern constinit std::array<DrawLayer, kDrawLayerCount> gLayers;
} // namespace detail

// Layer n, or null outside 0 to 15.
inline DrawLayer* Layer(int32_t n) {
    return n >= 0 && n < kDrawLayerCount ? &detail::gLayers[size_t(n)] : nullptr;
}

// The frame's text store: 65536 bytes, emptied with the frame lists. A
// copy that would pass the end gives null and count 0.
bool StoreText(const char** out, const char* text, int32_t* count);
bool StoreWideText(const char16_t** out, const char16_t* text, int32_t* count);
void ClearTextStore();
size_t TextStoreUsed();

bool QueueTexturedRect(int32_t layer, TextureHandle texture, const EngineRect& rect, uint32_t colour,
                       int32_t blend, int32_t filter);
bool QueueBitmapTextDirect(int32_t layer, int32_t font, PointI32 at, int32_t size, uint8_t table,
                           const char* chars, int32_t count, uint32_t colour, int32_t spacing);
bool QueueTexturedQuad(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& source,
                       uint32_t colour, uint8_t mapping, int32_t blend, int32_t filter);
bool QueueLine(int32_t layer, uint32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width);
bool QueueRotatedRect(int32_t layer, TextureHandle texture, TextureHandle second, const EngineRect& rect,
                      float degrees, int32_t blend, int32_t filter);
bool QueueGdiTextBlit(int32_t layer, const SystemFont* font, PointI32 at, const char16_t* chars,
                      int32_t count, uint32_t colour, uint32_t background);
bool QueueBlit(int32_t layer, TextureHandle texture, PointI32 at, const EngineRect& source);
bool QueueColourFill(int32_t layer, const EngineRect& rect, uint32_t colour);

// The sprite family. Each checks the layer, the texture (or font) and the
// sort rectangle and appends one item; the state block is the blend, alpha
// test, the filter, one texture, tint for any colour but 0xFFFFFFFF, clamp.
bool QueueSprite(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& sort,
                 uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags);
bool QueueSpriteTinted(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                       const EngineRect& sort, uint32_t param1, int32_t blend, int32_t filter,
                       uint32_t orderKey, uint16_t flags);
bool QueueSpriteTwoTextures(int32_t layer, TextureHandle texture, TextureHandle second, uint32_t colour,
                            uint32_t secondColour, const EngineRect& dest, const EngineRect& sort,
                            uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey,
                            uint16_t flags);
bool QueueSpriteF(int32_t layer, TextureHandle texture, const RectF& dest, const EngineRect& sort,
                  uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags);
bool QueueSpriteFTinted(int32_t layer, TextureHandle texture, uint32_t colour, const RectF& dest,
                        const EngineRect& sort, uint32_t param1, int32_t blend, int32_t filter,
                        uint32_t orderKey, uint16_t flags);
bool QueueMesh(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& sort,
               uint32_t param1, uint32_t param2, const MeshList* mesh, int32_t blend, int32_t filter,
               uint32_t orderKey, uint16_t flags);
bool QueueMeshTinted(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                     const EngineRect& sort, uint32_t param1, uint32_t param2, const MeshList* mesh,
                     int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags);
bool QueueSpriteRefresh(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& sort,
                        uint32_t param1, const uint8_t* framePairs, int32_t frameCount, int32_t blend,
                        int32_t filter, uint32_t orderKey);
bool QueueSpriteRefreshTinted(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                              const EngineRect& sort, uint32_t param1, const uint8_t* framePairs,
                              int32_t frameCount, int32_t blend, int32_t filter, uint32_t orderKey);
bool QueueBitmapText(int32_t layer, int32_t font, uint32_t colour, PointI32 at, int32_t size,
                     const EngineRect& sort, uint8_t table, const char* chars, int32_t count,
                     uint32_t orderKey);
bool QueueGdiText(int32_t layer, const SystemFont* font, uint32_t colour, const EngineRect& dest,
                  const EngineRect& sort, const char16_t* chars, int32_t count, uint32_t orderKey);
bool QueueSpriteRotated(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                        const EngineRect& sort, uint32_t param1, float degrees, int32_t blend, int32_t filter,
                        uint32_t orderKey, uint16_t flags);
bool QueueSpriteUV(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                   const EngineRect& sort, uint32_t param1, const EngineRect& source, int32_t blend,
                   int32_t filter, uint32_t orderKey, uint16_t flags);

// Depth-sorts the layer's sprite list once; false when already sorted.
bool SortLayer(int32_t layer);
bool EnsureLayerSorted(int32_t layer);
// Draws the sorted sprite list; false when any item failed (the rest are
// still drawn).
bool DrawSpriteLayer(int32_t layer);
// Draws the layer's blit list, then its scene list (frame presentation).
bool DrawLayerBlits(int32_t layer);
bool DrawLayerScene(int32_t layer);

bool ResetLayer(int32_t layer);
// Empties every layer's scene and blit lists and the text store.
bool ResetFrameLists();
// Frees every layer's storage (engine release).
void FreeLayers();

// The object id of the front-most sprite of mode 0, 4 or 10 whose texel
// under the point is nearly opaque; 0 when none.
uint32_t PickItemAt(int32_t layer, PointI32 at);

} // namespace Engine

// The request record through which callers hand an image draw to the
// tiled-image drawer.
struct DrawImageParams {
    int32_t layer = 0;
    EngineRect target;
    EngineRect sort;
    uint32_t orderKey = 0;
    uint32_t param1 = 0;
    int32_t blend = 0;
    int32_t filter = 0;
    uint16_t flags = 0;
    uint32_t colour = 0xFFFFFFFF;
    int32_t modeParam1 = 0, modeParam2 = 0;
    int32_t spare = 0;
    uint32_t requestFlags = 0;
    // What the mesh, refresh and rotated modes need besides the numbers:
    // the vertex list, the frame pairs (modeParam1 of them) and the angle in degrees.
    const MeshList* mesh = nullptr;
    const uint8_t* framePairs = nullptr;
    float angle = 0;

    // Bit 4 of the request flags: queue the image on the layer.
    static constexpr uint32_t kQueue = 16;

    // Sets target, blend and filter and clears the request flags.
    DrawImageParams& SetTarget(const EngineRect& target, int32_t blend, int32_t filter);
    // Sets the queueing words and the queue bit.
    DrawImageParams& SetSource(int32_t layer, const EngineRect& sort, uint32_t param1, uint32_t orderKey,
                               uint16_t flags);
};

// The one process-wide request.
DrawImageParams& GetDrawImageParams();
