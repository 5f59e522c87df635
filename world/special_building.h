// Special town buildings: attractions and public buildings that towns place
// when their population allows. Each has a type (SpecialBuildingTown row,
// kept as the type index) and a town, which counts its special buildings
// per type. The sound system sees each as a sound source with a rectangle.
#pragma once

#include "world/building.h"
#include "world/static_object_services.h"

#include <cstdint>

struct SoundRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A thing on the map that plays a sound over its rectangle.
class MapSoundSource {
public:
    virtual ~MapSoundSource() = default;
    virtual int32_t GetSoundIndex() const = 0;
    // {left, top, right, bottom}, right and bottom exclusive.
    virtual SoundRect GetRect() const = 0;
};

class SpecialBuilding : public Building, public MapSoundSource {
public:
    static constexpr int32_t kSubtype = 4;

    SpecialBuilding() : Building(kSubtype) {}
    // Takes the building off its town's count while the town exists.
    ~SpecialBuilding() override;

    void Serialize() override;
    SpriteRef GetGraphic() const override { return {16, typeIndex_, 0}; }
    // While the sound system is on, it gets the building as a source.
    void OfferSound(int32_t a) override;

    // Stores town and type and counts the building in its town.
    void Init(uint8_t town, int32_t type);
    uint8_t GetTown() const { return town_; }
    int32_t GetType() const { return typeIndex_; }
    int32_t GetAttractivity() const;
    int32_t GetSoundValue() const { return soundValue_; }
    void SetSoundValue(int32_t value) { soundValue_ = value; }

    int32_t GetSoundIndex() const override;
    SoundRect GetRect() const override;

private:
    int32_t soundValue_ = -1;
    uint8_t town_ = 0;
};

// Whether the first row of the type's AllowedInCityStyle list names the
// style, or holds -1 (any style) before it.
bool IsSpecialBuildingAllowedInStyle(int32_t type, int32_t style);
