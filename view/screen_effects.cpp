#include "view/screen_effects.h"

#include "data/generated/terrain_tables.h"
#include "engine/draw_layers.h"
#include "engine/font_manager.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "view/interface_state.h"
#include "view/sound_events.h"
#include "view/sound_system.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int32_t kEffectSet = 7;
constexpr int32_t kAnimationNumber = 0;
constexpr int32_t kEffectLayer = 1;
constexpr int32_t kAmountFont = 1;

// Milliseconds of a whole animation; 0 for a missing row or bad values.
int64_t AnimationLength(int32_t type, int32_t& frames) {
    const ExplosionRow* row = ExplosionTable::Find(type);
    frames = row ? std::max(row->NrOfFrames, 0) : 0;
    const int64_t time = row ? std::max(row->AnimationTime, 0) : 0;
    return time * frames;
}

// The image's vertical offset by its height in pixels.
int32_t OffsetForHeight(int32_t imageHeight, int32_t tileHeight) {
    switch (imageHeight) {
    case 32:
        return -(tileHeight / 4);
    case 128:
        return tileHeight / 4;
    case 256:
        return 2 * tileHeight;
    default:
        return 0;
    }
}

} // namespace

AnimationEffect::AnimationEffect(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight, int32_t aType,
                                 uint32_t delay, uint32_t now)
    : x_(aX), y_(aY), width_(aWidth), height_(aHeight), type_(aType), start_(now + delay) {}

void AnimationEffect::Update(uint32_t now) {
    if (int32_t(now - start_) < 0 || soundTried_)
        return;
    soundTried_ = 1;
    const ExplosionRow* row = ExplosionTable::Find(type_);
    if (!row || row->SoundIndex <= 0 || !InterfaceStateOf().AmbientEffectsOn() || !IsSoundEnabled() ||
        !IsSoundAvailable())
        return;
    const EngineRect area{x_, y_, x_ + width_, y_ + height_};
    PlaySoundEvent(uint32_t(row->SoundIndex), &area, 1);
}

bool AnimationEffect::IsDone(uint32_t now) const {
    if (int32_t(now - start_) < 0)
        return false;
    int32_t frames = 0;
    return int64_t(now - start_) > AnimationLength(type_, frames);
}

int32_t AnimationEffect::FrameAt(uint32_t now) const {
    int32_t frames = 0;
    const int64_t length = AnimationLength(type_, frames);
    if (length <= 0 || int32_t(now - start_) < 0)
        return -1;
    const int64_t frame = int64_t(now - start_) * frames / length;
    return frame < frames ? int32_t(frame) : -1;
}

void AnimationEffect::Draw(uint32_t now) {
    imagesDrawn_ = 0;
    const int32_t frame = FrameAt(now);
    if (frame < 0)
        return;
    GraphicSets::SetFieldB(uint8_t(frame));
    const TiledImage* image = SpriteFetch(kEffectSet, kAnimationNumber, type_);
    if (!image || image->textures.empty())
        return;
    int32_t tw = 0, th = 0;
    Viewport::GetTileSize(tw, th);
    const int32_t offset = OffsetForHeight(image->imageHeight, th);
    const bool odd = (width_ & 1) || (height_ & 1);
    for (int32_t y = y_ - (height_ & 1) + 1; y <= y_ + height_; y += 2)
        for (int32_t x = x_ - (width_ & 1) + 1; x <= x_ + width_; x += 2) {
            EngineRect r = image->ScreenRectAt({x, y});
            const EngineRect clip = odd ? EngineRect{4 * x, 4 * y, 4 * x + 4, 4 * y + 4}
                                        : EngineRect{4 * x - 2, 4 * y - 2, 4 * x + 2, 4 * y + 2};
            const int32_t down = (odd ? th / 2 : 0) + offset;
            r.top += down;
            r.bottom += down;
            if (Engine::QueueSpriteTinted(kEffectLayer, TextureHandle(image->textures[0]), 0xFFFFFFFFu, r,
                                          clip, 0, 1, 1, 0, 0))
                ++imagesDrawn_;
        }
}

AmountLook LookOfAmount(int32_t amount, uint32_t elapsed, int32_t verticalOffset) {
    AmountLook look;
    const int64_t e = elapsed;
    look.rise = int32_t(verticalOffset - e * 75 / 5000);
    int64_t alpha = 255;
    if (e > 4000) {
        alpha = 255 - (e - 4000) * 255 / 1000;
        if (alpha < 1)
            alpha = 0;
    }
    look.colour = uint32_t(alpha) << 24 | (amount < 0 ? 0xFF0000u : 0x00FF00u);
    char text[16];
    std::snprintf(text, sizeof text, "%ld", long(amount));
    look.text = text;
    return look;
}

AmountText::AmountText(int32_t aX, int32_t aY, int32_t aAmount, int32_t horizontal, int32_t vertical,
                       uint32_t now)
    : x_(aX), y_(aY), amount_(aAmount), horizontal_(horizontal), vertical_(vertical), start_(now) {}

void AmountText::Draw(uint32_t now) {
    const AmountLook look = LookOfAmount(amount_, now - start_, vertical_);
    if ((look.colour >> 24) == 0)
        return;
    const float z = Viewport::GetZoomScale();
    const EngineRect tile = Viewport::GetTileBounds(x_, y_);
    const int32_t px = tile.left + int32_t(float(horizontal_) * z);
    const int32_t py = tile.top + int32_t(float(look.rise) * z);
    FontManager::DrawText(kEffectLayer, kAmountFont, {px, py - 2, px, py - 2}, look.colour, look.text, 2);
}

ScreenEffects& ScreenEffectsOf(World& world) {
    return world.Attached<ScreenEffects>();
}

ScreenEffect& AddScreenEffect(std::unique_ptr<ScreenEffect> effect) {
    auto& list = ScreenEffectsOf().effects;
    list.push_back(std::move(effect));
    return *list.back();
}

void ShowAmountAtTile(int32_t x, int32_t y, int32_t amount, int32_t horizontal, int32_t vertical,
                      uint32_t now) {
    AddScreenEffect(std::make_unique<AmountText>(x, y, amount, horizontal, vertical, now));
}

void UpdateScreenEffects(uint32_t now) {
    auto& list = ScreenEffectsOf().effects;
    // Effects added by an update wait for the next one.
    const size_t count = list.size();
    for (size_t i = 0; i < count; ++i)
        list[i]->Update(now);
    std::erase_if(list, [now](const std::unique_ptr<ScreenEffect>& e) { return e->IsDone(now); });
}

void DrawScreenEffects(uint32_t now) {
    for (const auto& e : ScreenEffectsOf().effects)
        if (e->DrawsInViewport())
            e->Draw(now);
}

void DeleteAllScreenEffects() {
    ScreenEffectsOf().effects.clear();
}
