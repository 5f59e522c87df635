// Factories: buildings of a factory type (a Factory row) with a layout side
// and size, a founding year and a name made from the nearest town. The
// placement tests that the map generator asks before it builds them, and
// the set of products that existing factories make.
#pragma once

#include "world/catchment_parties.h"

#include <cstdint>
#include <string>

class Factory : public FactoryBase {
public:
    Factory();

    // The type's FactoryTyp; the town centre counts as kind 5 even without
    // its row.
    int32_t GetFactoryTyp() const override;
    void SetLayout(uint32_t layoutVariant, int32_t layoutRow) override;
    // Takes the founding year and a name.
    void FinishSetup() override;
    void Serialize() override;
    void GetDebugText(std::string& out) const override;

    // The type's main building image.
    SpriteRef GetGraphic() const override { return {3, typeIndex_, 0}; }
    uint32_t GetLayoutVariant() const { return layoutVariant_; }
    // The layout side, a town centre's town or an attraction's missing units.
    int32_t GetLinkValue() const { return linkValue_; }
    int32_t GetLayoutRow() const { return size_; }
    uint32_t GetFoundingYear() const { return foundingYear_; }
    const std::string& GetName() const { return name_; }
    void ClearName() { name_.clear(); }
    void MakeName();
    // Sets the footprint's size without placing it (the town centre's).
    void SetExtent(int32_t width, int32_t height) {
        width_ = width;
        height_ = height;
    }

private:
    uint32_t layoutVariant_ = 0;
    int32_t linkValue_ = 0;
    int32_t size_ = 0;
    uint32_t stageStart_ = 0;
    uint32_t stageCheckTime_ = 0;
    uint8_t growthState_ = 0;
    uint8_t animFrame_ = 0;
    float eventFactor_ = 1.0f;
    int32_t eventProduct_ = -1;
    uint32_t foundingYear_ = 0;
    std::string name_;
};

// The factory kind of the towns' own factories, which the generator keeps.
inline constexpr int32_t kTownCentreFactoryKind = 5;

// Every factory gets its name again (after the towns exist).
void RenameAllFactories();
// Whether the tile suits a FactoryPlacingTypes row: enough trees around
// when the row asks for them, and a terrain type the row allows. A missing
// row or entry allows it.
bool FactoryPlacingTest(int32_t x, int32_t y, int32_t placingType);
// True without towns, else whether the nearest town's centre lies at least
// the type's MinimumDistanceToCity away.
bool FactoryFarEnoughFromTown(int32_t x, int32_t y, int32_t factoryType);
// Whether a factory of the type (any for -1) stands closer than distance.
bool FactoryOfTypeWithin(int32_t x, int32_t y, int32_t factoryType, int32_t distance);
// Deletes every factory but the towns' own.
void DeleteFactoriesButTownCentres();
// Clears the products-in-use flags and sets those of every product an
// existing factory type makes.
void UpdateProductsInUse();
