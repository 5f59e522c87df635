// Town houses: the living buildings towns place on their sites. A house has
// a style (LivingBuilding row), a level and a graphic variant; a new or
// raised house grows visibly, one stage per OneLevelBuildingTime.
#pragma once

#include "world/building.h"
#include "world/static_object_services.h"

#include <cstdint>

class LivingBuilding : public Building {
public:
    static constexpr int32_t kSubtype = 3;
    // The colour sub-folder of the construction stages.
    static constexpr int32_t kStageFolder = 127;

    // Draws randomPick from the houses' own stream.
    LivingBuilding();

    void Update(uint32_t gameTimeMs) override;
    void Serialize() override;
    // The highlight is the town's: forwarded to its linked object.
    uint32_t GetHighlight() const override;
    void SetHighlight(uint32_t value) override;
    SpriteRef GetGraphic() const override;

    void Init(uint8_t town, uint8_t style, uint8_t level, uint8_t variant);
    void SetLevel(uint8_t level);
    void Rebuild(uint8_t variant);
    // The tile set (LivingBuilding row) a town restyles its house to.
    void SetStyle(uint8_t style) { style_ = style; }
    uint8_t GetLevel() const { return level_; }
    uint8_t GetTown() const { return town_; }
    uint8_t GetStyle() const { return style_; }
    uint8_t GetVariant() const { return variant_; }
    uint8_t GetShownLevel() const { return shownLevel_; }
    uint32_t GetStageTime() const { return stageTime_; }
    uint16_t GetBuiltYear() const { return builtYear_; }
    uint8_t GetRandomPick() const { return randomPick_; }
    void SetRandomPick(uint8_t pick) { randomPick_ = pick; }
    // Population[level - 1] of the style, -1 outside.
    int32_t GetHousePopulation() const;
    // DemolitionCost[level - 1] of the style for levels 1-6, else 0.
    int32_t GetHouseDemolitionCost() const;

private:
    void DrawRandomPick();
    uint8_t StartingShownLevel(uint8_t level) const;

    uint8_t level_ = 0;
    uint8_t variant_ = 0;
    uint8_t style_ = 0;
    uint8_t town_ = 0;
    uint32_t stageTime_ = 0;
    uint8_t shownLevel_ = 0;
    uint16_t builtYear_ = 0;
    uint8_t randomPick_ = 1;
};

// While set, new and raised houses start growing from stage 0; while clear
// (map generation, towns' pre-growth) they are shown finished. Set at start.
void SetMapGeneratorFlag(bool growing);
bool GetMapGeneratorFlag();

// Entry [i][j] of a LivingBuilding row's counters, 0 for a missing row.
int32_t GetLivingBuildingValue(int32_t row, uint32_t i, uint32_t j);
// Counts the graphic variants of levels 1-4 of every style.
void CountLivingBuildingVariants();
