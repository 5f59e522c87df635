#include "engine/draw_layers.h"

#include "engine/bitmap_font.h"
#include "engine/quad_draw.h"
#include "engine/surfaces.h"

#include <cstring>

namespace {

// The checks every member makes; fills the common fields on success.
DrawLayer* Begin(int32_t layer, TextureHandle texture, const EngineRect& sort, DrawItem& item) {
    DrawLayer* l = Engine::Layer(layer);
    if (!l || !Engine::IsValidTexture(texture) || !Engine::CheckDrawRect(sort))
        return nullptr;
    item.texture = texture;
    item.x1 = sort.left, item.y1 = sort.top, item.x2 = sort.right, item.y2 = sort.bottom;
    return l;
}

bool Append(DrawLayer* l, const DrawItem& item) {
    l->items.push_back(item);
    return true;
}

// Fills the fields every sprite mode sets.
void SetSprite(DrawItem& item, uint32_t colour, bool tinted, uint8_t mode, const EngineRect& dest,
               uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags) {
    item.mode = mode;
    item.dest = dest;
    item.param1 = param1;
    item.colour = tinted ? colour : 0;
    item.stateBlock = uint16_t(Engine::SpriteStateBlock(blend, filter, tinted ? colour : 0xFFFFFFFF));
    item.orderKey = orderKey;
    item.flags = flags;
}

bool Sprite(int32_t layer, TextureHandle texture, uint32_t colour, bool tinted, uint8_t mode,
            const EngineRect& dest, const EngineRect& sort, uint32_t param1, int32_t blend, int32_t filter,
            uint32_t orderKey, uint16_t flags, DrawItem item) {
    DrawLayer* l = Begin(layer, texture, sort, item);
    if (!l)
        return false;
    SetSprite(item, colour, tinted, mode, dest, param1, blend, filter, orderKey, flags);
    return Append(l, item);
}

// A plain sprite, the most common item, is built in place in the list.
bool PlainSprite(int32_t layer, TextureHandle texture, uint32_t colour, bool tinted, const EngineRect& dest,
                 const EngineRect& sort, uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey,
                 uint16_t flags) {
    DrawLayer* l = Engine::Layer(layer);
    if (!l || !Engine::IsValidTexture(texture) || !Engine::CheckDrawRect(sort))
        return false;
    DrawItem& item = l->items.emplace_back();
    item.texture = texture;
    item.x1 = sort.left, item.y1 = sort.top, item.x2 = sort.right, item.y2 = sort.bottom;
    SetSprite(item, colour, tinted, kItemSprite, dest, param1, blend, filter, orderKey, flags);
    return true;
}

} // namespace

namespace Engine {

bool QueueSprite(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& sort,
                 uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags) {
    return PlainSprite(layer, texture, 0xFFFFFFFF, false, dest, sort, param1, blend, filter, orderKey, flags);
}

bool QueueSpriteTinted(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                       const EngineRect& sort, uint32_t param1, int32_t blend, int32_t filter,
                       uint32_t orderKey, uint16_t flags) {
    return PlainSprite(layer, texture, colour, true, dest, sort, param1, blend, filter, orderKey, flags);
}

bool QueueSpriteTwoTextures(int32_t layer, TextureHandle texture, TextureHandle second, uint32_t colour,
                            uint32_t secondColour, const EngineRect& dest, const EngineRect& sort,
                            uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey,
                            uint16_t flags) {
    if (!IsValidTexture(second))
        return false;
    DrawItem item;
    item.params[0] = second;
    item.params[1] = secondColour;
    return Sprite(layer, texture, colour, true, kItemTwoTextures, dest, sort, param1, blend, filter, orderKey,
                  flags, item);
}

bool QueueSpriteF(int32_t layer, TextureHandle texture, const RectF& dest, const EngineRect& sort,
                  uint32_t param1, int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags) {
    return QueueSpriteFTinted(layer, texture, 0xFFFFFFFF, dest, sort, param1, blend, filter, orderKey, flags);
}

bool QueueSpriteFTinted(int32_t layer, TextureHandle texture, uint32_t colour, const RectF& dest,
                        const EngineRect& sort, uint32_t param1, int32_t blend, int32_t filter,
                        uint32_t orderKey, uint16_t flags) {
    DrawItem item;
    item.destF = {dest.left, dest.top, dest.right, dest.bottom};
    EngineRect whole{int32_t(dest.left), int32_t(dest.top), int32_t(dest.right), int32_t(dest.bottom)};
    return Sprite(layer, texture, colour, colour != 0xFFFFFFFF, kItemSpriteF, whole, sort, param1, blend,
                  filter, orderKey, flags, item);
}

bool QueueMesh(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& sort,
               uint32_t param1, uint32_t param2, const MeshList* mesh, int32_t blend, int32_t filter,
               uint32_t orderKey, uint16_t flags) {
    return QueueMeshTinted(layer, texture, 0xFFFFFFFF, dest, sort, param1, param2, mesh, blend, filter,
                           orderKey, flags);
}

bool QueueMeshTinted(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                     const EngineRect& sort, uint32_t param1, uint32_t param2, const MeshList* mesh,
                     int32_t blend, int32_t filter, uint32_t orderKey, uint16_t flags) {
    DrawItem item;
    item.params[0] = param2;
    item.data = mesh;
    return Sprite(layer, texture, colour, colour != 0xFFFFFFFF, kItemMesh, dest, sort, param1, blend, filter,
                  orderKey, flags, item);
}

bool QueueSpriteRefresh(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& sort,
                        uint32_t param1, const uint8_t* framePairs, int32_t frameCount, int32_t blend,
                        int32_t filter, uint32_t orderKey) {
    return QueueSpriteRefreshTinted(layer, texture, 0xFFFFFFFF, dest, sort, param1, framePairs, frameCount,
                                    blend, filter, orderKey);
}

bool QueueSpriteRefreshTinted(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                              const EngineRect& sort, uint32_t param1, const uint8_t* framePairs,
                              int32_t frameCount, int32_t blend, int32_t filter, uint32_t orderKey) {
    DrawItem item;
    item.params[0] = frameCount > 0 ? uint32_t(frameCount) : 0;
    item.data = framePairs;
    return Sprite(layer, texture, colour, colour != 0xFFFFFFFF, kItemRefresh, dest, sort, param1, blend,
                  filter, orderKey, 0, item);
}

bool QueueBitmapText(int32_t layer, int32_t font, uint32_t colour, PointI32 at, int32_t size,
                     const EngineRect& sort, uint8_t table, const char* chars, int32_t count,
                     uint32_t orderKey) {
    DrawLayer* l = Layer(layer);
    if (!l || !CheckDrawRect(sort) || !chars || count <= 0 || !chars[0] || !GetBitmapFont(font))
        return false;
    const char* copy = nullptr;
    if (!StoreText(&copy, chars, &count))
        return false;
    DrawItem item;
    item.mode = kItemBitmapText;
    item.texture = TextureHandle(font);
    item.colour = colour;
    item.x1 = sort.left, item.y1 = sort.top, item.x2 = sort.right, item.y2 = sort.bottom;
    item.orderKey = orderKey;
    item.data = copy;
    item.params[0] = uint32_t(count);
    item.params[1] = uint32_t(size & 0xFF) | (uint32_t(table) << 8);
    int32_t width = BitmapTextWidth(font, size, table, copy, count, 0);
    item.dest = {at.x, at.y, at.x + width, at.y + size};
    item.stateBlock = uint16_t(SpriteStateBlock(1, 0, colour));
    return Append(l, item);
}

bool QueueGdiText(int32_t layer, const SystemFont* font, uint32_t colour, const EngineRect& dest,
                  const EngineRect& sort, const char16_t* chars, int32_t count, uint32_t orderKey) {
    DrawLayer* l = Layer(layer);
    if (!l || !font || !CheckDrawRect(sort) || !chars || count <= 0 || !chars[0])
        return false;
    const char16_t* copy = nullptr;
    if (!StoreWideText(&copy, chars, &count))
        return false;
    DrawItem item;
    item.mode = kItemGdiText;
    item.systemFont = font;
    item.colour = colour;
    item.dest = dest;
    item.x1 = sort.left, item.y1 = sort.top, item.x2 = sort.right, item.y2 = sort.bottom;
    item.orderKey = orderKey;
    item.data = copy;
    item.params[0] = uint32_t(count);
    return Append(l, item);
}

bool QueueSpriteRotated(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                        const EngineRect& sort, uint32_t param1, float degrees, int32_t blend, int32_t filter,
                        uint32_t orderKey, uint16_t flags) {
    DrawItem item;
    float radians = degrees * 0.017453292f;
    std::memcpy(&item.params[0], &radians, sizeof radians);
    return Sprite(layer, texture, colour, colour != 0xFFFFFFFF, kItemRotated, dest, sort, param1, blend,
                  filter, orderKey, flags, item);
}

bool QueueSpriteUV(int32_t layer, TextureHandle texture, uint32_t colour, const EngineRect& dest,
                   const EngineRect& sort, uint32_t param1, const EngineRect& source, int32_t blend,
                   int32_t filter, uint32_t orderKey, uint16_t flags) {
    DrawItem item;
    item.params = {uint32_t(source.left), uint32_t(source.top), uint32_t(source.right),
                   uint32_t(source.bottom), 0};
    return Sprite(layer, texture, colour, colour != 0xFFFFFFFF, kItemSpriteUV, dest, sort, param1, blend,
                  filter, orderKey, flags, item);
}

} // namespace Engine

DrawImageParams& DrawImageParams::SetTarget(const EngineRect& t, int32_t b, int32_t f) {
    target = t;
    blend = b;
    filter = f;
    requestFlags = 0;
    return *this;
}

DrawImageParams& DrawImageParams::SetSource(int32_t l, const EngineRect& s, uint32_t p1, uint32_t key,
                                            uint16_t fl) {
    layer = l;
    sort = s;
    param1 = p1;
    orderKey = key;
    flags = fl;
    requestFlags |= kQueue;
    return *this;
}

DrawImageParams& GetDrawImageParams() {
    static DrawImageParams params;
    return params;
}
