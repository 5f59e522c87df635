// Two small buildings placed by the construction dialogs: the water tower,
// which costs its owner every month, and the track end piece, one image of
// route furniture. Both may stand provisionally while the player is still
// constructing and become final when the construction is committed.
#pragma once

#include "world/building.h"
#include "world/static_object_services.h"

#include <cstdint>

class WaterTower : public Building {
public:
    static constexpr int32_t kSubtype = 7;
    static constexpr int32_t kGraphicNumber = 99;

    WaterTower() : Building(kSubtype) { typeIndex_ = kGraphicNumber; }

    // Charges the running cost of WaterTower row 0 to a final tower's owner.
    void OnNewMonth() override;
    // Only the base chunks: a loaded tower is final.
    void Serialize() override { Building::Serialize(); }
    SpriteRef GetGraphic() const override { return {10, typeIndex_, 0}; }

    bool IsProvisional() const { return provisional_ != 0; }
    void SetProvisional(bool provisional) { provisional_ = provisional ? 1 : 0; }

private:
    uint8_t provisional_ = 0;
};

class TrackEndPiece : public Building {
public:
    static constexpr int32_t kSubtype = 10;
    static constexpr int32_t kGraphicNumber = 400;

    TrackEndPiece() : Building(kSubtype) { typeIndex_ = kGraphicNumber; }

    void Serialize() override;
    SpriteRef GetGraphic() const override;

    uint32_t GetNameFieldA() const { return nameFieldA_; }
    uint32_t GetNameFieldB() const { return nameFieldB_; }
    void SetNameFields(uint8_t a, uint32_t b) {
        nameFieldA_ = a;
        nameFieldB_ = b;
    }
    bool IsProvisional() const { return provisional_ != 0; }
    void SetProvisional(bool provisional) { provisional_ = provisional ? 1 : 0; }

private:
    // The first name field is a byte kept in a whole word, saved as such.
    uint32_t nameFieldA_ = 0;
    uint32_t nameFieldB_ = 0;
    uint32_t provisional_ = 0;
};

void ClearWaterTowerTable();
