// The field machine of a crop farm: it drives once over the farm's footprint
// row by row, reports each tile it passes to the farm as harvested and then
// leaves. It holds no lanes and never blocks anybody; it is saved ("hvt1").
#pragma once

#include "vehicles/moving_object.h"

#include <cstdint>

inline constexpr int32_t kHarvesterSubtype = 4;
// The graphic-set kind of the machines' pictures.
inline constexpr int32_t kHarvesterGraphicKind = 18;
// The smallest footprint the sweep covers: its last four rows, four tiles
// shorter, need two tiles to turn in.
inline constexpr int32_t kHarvesterMinimumWidth = 6;
inline constexpr int32_t kHarvesterMinimumHeight = 5;

class Harvester : public MovingObject {
public:
    static constexpr uint32_t kChunkBytes = 60;
    static constexpr uint32_t kStepMs = 1000;
    static constexpr uint32_t kStartDelayMs = 500;

    enum State : int32_t { kDriving = 0, kFinishing = 1, kDone = 2 };

    Harvester() : MovingObject(kHarvesterSubtype) {}

    // Ties the machine to its farm and puts it on the tile (x, y), due to
    // start half a second after the current game time, heading for growing x.
    void Init(ObjectHandle factory, int32_t x, int32_t y);

    void Update(uint32_t now) override;
    void Serialize() override;
    bool IsReadyToBeRemoved() const override { return state_ == kDone; }
    uint8_t GetEntryDirection(uint32_t) const override { return previousDirection_; }
    uint8_t GetExitDirection(uint32_t) const override { return direction_; }
    ObjectHandle GetBlockerId() const override { return reserved_; }
    uint32_t GetStepTime() const override;
    uint32_t GetSpeedLimit() const override;
    int32_t GetMovingKind() const override { return kMovingKindHarvester; }
    void Step() override;
    void WakeNow() override;
    bool GetPose(MoverPose& pose) const override;

    void Finish() { state_ = kFinishing; }
    bool HasMoved() const { return moved_ != 0; }
    // The graphic number of the machine for the farm's type in the current
    // year, -1 when the type lists none.
    int32_t GetHarvesterId() const;

    ObjectHandle GetFactoryId() const { return factory_; }
    int32_t GetState() const { return state_; }
    uint32_t GetSteps() const { return steps_; }
    uint32_t GetNextStep() const { return nextStep_; }
    int32_t GetGraphicId() const { return harvesterId_; }
    uint8_t GetDirection() const { return direction_; }

private:
    void ChooseStartDirection();

    ObjectHandle factory_ = 0;
    uint32_t stepStart_ = 0;
    uint32_t nextStep_ = 0;
    int32_t tileX_ = 0, previousX_ = 0, tileY_ = 0, previousY_ = 0;
    uint8_t direction_ = 0, previousDirection_ = 0, directionBefore_ = 0;
    uint32_t reserved_ = 0;
    uint32_t moved_ = 0;
    int32_t state_ = kDriving;
    int32_t harvesterId_ = 0;
    uint8_t nextDirection_ = 0;
    uint32_t travelTime_ = 0;
    uint32_t steps_ = 0;
};

// The field index of tile (x, y) of a W x H footprint at (bx, by) whose far
// 4 x 4 corner is no field: rows above the last four count W tiles, the last
// four W - 4. -1 for a tile outside the field.
int32_t HarvestFieldIndex(int32_t bx, int32_t by, int32_t w, int32_t h, int32_t x, int32_t y);
