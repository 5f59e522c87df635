#include "view/text_queue.h"

#include "engine/draw_layers.h"
#include "engine/font_manager.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"

namespace {

constexpr uint32_t kHalfWhite = 0x80FFFFFFu;

TextureHandle FirstTexture(const TiledImage* image) {
    return image && !image->textures.empty() ? TextureHandle(image->textures[0]) : TextureHandle(0);
}

bool DrawQueueItem(const TextQueueItem& item) {
    const uint32_t tinted = item.alpha | item.colour;
    if (item.image && item.quad) {
        const TextureHandle texture = FirstTexture(item.image);
        if (!texture)
            return false;
        switch (item.mode) {
        case 0:
            return Engine::QueueTexturedQuad(kTextQueueLayer, texture, item.rect, item.textureRect,
                                             0xFFFFFFFFu, 0, 1, 1);
        case 1:
            return Engine::QueueTexturedQuad(kTextQueueLayer, texture, item.rect, item.textureRect, tinted, 0,
                                             1, 1);
        case 3:
            return Engine::QueueTexturedRect(kTextQueueLayer, texture, item.rect, item.colour, 1, 1);
        default:
            return false;
        }
    }
    if (item.image) {
        switch (item.mode) {
        case 0:
            return item.image->Draw(kTextQueueLayer, item.rect, 0xFFFFFFFFu, 1, 1);
        case 1:
            return item.image->Draw(kTextQueueLayer, item.rect, tinted, 1, 1);
        case 2:
            return Engine::QueueTexturedRect(kTextQueueLayer, FirstTexture(item.image), item.rect, kHalfWhite,
                                             1, 1);
        case 3:
            return Engine::QueueTexturedRect(kTextQueueLayer, FirstTexture(item.image), item.rect, tinted, 1,
                                             1);
        default:
            return false;
        }
    }
    if (item.text.empty())
        return false;
    return FontManager::DrawText(kTextQueueLayer, item.font < 0 ? 0 : item.font, item.rect, tinted, item.text,
                                 0);
}

} // namespace

TextQueue& TextQueueOf(World& world) {
    return world.Attached<TextQueue>();
}

void QueueScreenText(const EngineRect& rect, const TiledImage* image, uint32_t order, uint32_t mode,
                     uint32_t colour, uint32_t alpha) {
    TextQueueItem item;
    item.rect = rect;
    item.image = image;
    item.order = order;
    item.mode = mode;
    item.colour = colour;
    item.alpha = alpha;
    TextQueueOf().items.push_back(std::move(item));
}

void QueueScreenQuad(const EngineRect& rect, const EngineRect& textureRect, const TiledImage* image,
                     uint32_t quad, uint32_t order, uint32_t mode, uint32_t colour, uint32_t alpha) {
    TextQueueItem item;
    item.rect = rect;
    item.textureRect = textureRect;
    item.image = image;
    item.quad = quad;
    item.order = order;
    item.mode = mode;
    item.colour = colour;
    item.alpha = alpha;
    TextQueueOf().items.push_back(std::move(item));
}

void QueueScreenString(int32_t x, int32_t y, const std::string& text, int32_t font, uint32_t colour) {
    TextQueueItem item;
    item.rect = {x, y, x, y};
    item.text = text;
    item.font = font;
    item.colour = colour;
    TextQueueOf().items.push_back(std::move(item));
}

void QueueCursorMarker(int32_t x, int32_t y) {
    GraphicSets::SetFallbackLoader(nullptr);
    const TiledImage* marker = GraphicSets::FetchByName("cursor_sb2_cursor.tga", 1);
    if (!marker)
        return;
    QueueScreenText(marker->ScreenRectAt({x + 1, y + 1}), marker, 0, 0, 0, 0);
}

uint32_t GetTextAlpha() {
    return uint32_t(TextQueueOf().pulse) << 24;
}

void ClearTextQueue() {
    std::vector<TextQueueItem>().swap(TextQueueOf().items);
}

void DrawTextQueue() {
    TextQueue& q = TextQueueOf();
    q.drawn = 0;
    for (const TextQueueItem& item : q.items)
        q.drawn += DrawQueueItem(item) ? 1 : 0;
    if (!q.falling) {
        q.pulse += 2;
        if (q.pulse >= 192)
            q.falling = 1;
    } else {
        q.pulse -= 2;
        if (q.pulse <= 64)
            q.falling = 0;
    }
    std::vector<TextQueueItem>().swap(q.items);
}
