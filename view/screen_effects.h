// Timed map effects: sprite animations over an area of tiles (the
// "Explosion" table, with their sound tried once) and money amounts that
// rise and fade above a tile. Each lives in its world's effect list until
// it reports itself done; the world update advances them and the map view
// draws them. Their times are the presentation's real milliseconds; none is
// saved.
#pragma once

#include "engine/engine_state.h"
#include "world/world.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ScreenEffect {
public:
    virtual ~ScreenEffect() = default;
    virtual void Update(uint32_t now) = 0;
    virtual void Draw(uint32_t now) = 0;
    virtual bool IsDone(uint32_t now) const = 0;
    virtual bool DrawsInViewport() const { return true; }
};

class AnimationEffect final : public ScreenEffect {
public:
    // An animation of `type` over w x h tiles from (x, y), starting `delay`
    // ms after now.
    AnimationEffect(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight, int32_t aType, uint32_t delay,
                    uint32_t now);
    void Update(uint32_t now) override;
    void Draw(uint32_t now) override;
    bool IsDone(uint32_t now) const override;
    // The frame at now, or -1 when none shows (before the start, after the
    // last frame, a type without frames or time).
    int32_t FrameAt(uint32_t now) const;
    bool SoundTried() const { return soundTried_ != 0; }
    // Images queued by the last Draw.
    uint32_t ImagesDrawn() const { return imagesDrawn_; }

private:
    int32_t x_, y_, width_, height_, type_;
    uint32_t start_;
    uint8_t soundTried_ = 0;
    uint32_t imagesDrawn_ = 0;
};

// What an amount text looks like e ms after it was shown.
struct AmountLook {
    uint32_t colour = 0; // alpha over red (below 0) or green
    int32_t rise = 0;    // screen units before zoom, upwards negative
    std::string text;
};
AmountLook LookOfAmount(int32_t amount, uint32_t elapsed, int32_t verticalOffset);

class AmountText final : public ScreenEffect {
public:
    static constexpr uint32_t kLifeMs = 5000;
    AmountText(int32_t aX, int32_t aY, int32_t aAmount, int32_t horizontal, int32_t vertical, uint32_t now);
    void Update(uint32_t) override {}
    void Draw(uint32_t now) override;
    bool IsDone(uint32_t now) const override { return now - start_ > kLifeMs; }

private:
    int32_t x_, y_, amount_, horizontal_, vertical_;
    uint32_t start_;
};

class ScreenEffects : public WorldAttachment {
public:
    std::vector<std::unique_ptr<ScreenEffect>> effects;
};

ScreenEffects& ScreenEffectsOf(World& world = CurrentWorld());

// Adds an effect to the current world's list; returns it.
ScreenEffect& AddScreenEffect(std::unique_ptr<ScreenEffect> effect);
// Shows an amount above a tile (a cost negated, an income as it is).
void ShowAmountAtTile(int32_t x, int32_t y, int32_t amount, int32_t horizontal, int32_t vertical,
                      uint32_t now);
// Updates every effect in order and deletes the done ones.
void UpdateScreenEffects(uint32_t now);
void DrawScreenEffects(uint32_t now);
void DeleteAllScreenEffects();
