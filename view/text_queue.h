// The screen text queue: marker images, highlights, quads and texts that
// any code queues over the map for the current frame. The map view draws
// the queue once a frame, in queue order, and empties it; a pulse that runs
// 64 to 192 and back in steps of 2, one a frame, gives blinking markers
// their alpha.
#pragma once

#include "engine/engine_state.h"
#include "world/world.h"

#include <cstdint>
#include <string>
#include <vector>

class TiledImage;

struct TextQueueItem {
    EngineRect rect;
    EngineRect textureRect;
    const TiledImage* image = nullptr;
    uint32_t quad = 0;
    uint32_t order = 0;
    uint32_t mode = 0; // 0..3
    uint32_t colour = 0;
    uint32_t alpha = 0; // in bits 24..31
    std::string text;
    int32_t font = -1;
};

class TextQueue : public WorldAttachment {
public:
    std::vector<TextQueueItem> items;
    int32_t pulse = 64;
    uint8_t falling = 0;
    // Items the last drawing queued to the engine.
    uint32_t drawn = 0;
};

TextQueue& TextQueueOf(World& world = CurrentWorld());

// The layer the queue draws on.
inline constexpr int32_t kTextQueueLayer = 7;

void QueueScreenText(const EngineRect& rect, const TiledImage* image, uint32_t order, uint32_t mode,
                     uint32_t colour, uint32_t alpha);
void QueueScreenQuad(const EngineRect& rect, const EngineRect& textureRect, const TiledImage* image,
                     uint32_t quad, uint32_t order, uint32_t mode, uint32_t colour, uint32_t alpha);
void QueueScreenString(int32_t x, int32_t y, const std::string& text, int32_t font, uint32_t colour);
// The cursor marker over tile (x + 1, y + 1).
void QueueCursorMarker(int32_t x, int32_t y);
// The pulse as an alpha: pulse << 24.
uint32_t GetTextAlpha();
void ClearTextQueue();
void DrawTextQueue();
