// The animals of a livestock farm: small movers that roam inside their
// building's footprint, a tile at a time with rests between, and show up
// elsewhere now and then. They hold no lanes and block nobody. A saved game
// keeps only their places in the list of movers and their building
// ("wlk1"), so that the movers made after a load take the same ids; each
// starts afresh when loaded. Their draws come from a stream of their own,
// so that they never touch the simulation's.
#pragma once

#include "vehicles/moving_object.h"
#include "world/random_streams.h"

#include <cstdint>

inline constexpr int32_t kBuildingWalkerSubtype = 3;
// The graphic-set kind of the animals' pictures.
inline constexpr int32_t kBuildingWalkerGraphicKind = 3;
// How many animals a livestock farm keeps.
inline constexpr int32_t kWalkersPerFarm = 25;

class BuildingWalker : public MovingObject {
public:
    enum State : int32_t { kWalking = 0, kResting = 1, kLeaving = 2, kGone = 3 };

    BuildingWalker() : MovingObject(kBuildingWalkerSubtype) {}

    // Ties the animal to the building and places it on a random tile of the
    // footprint, resting 1 to 10.9 s of game time. False (and the animal
    // leaves) when the building is missing or has no tile outside its far
    // 4 x 4 corner.
    bool Start(ObjectHandle building);
    // The animal leaves; the next update makes it ready to be removed.
    void Leave() { state_ = kLeaving; }

    void Update(uint32_t now) override;
    void Serialize() override;
    // A loaded animal starts afresh on its building; false when that is
    // gone (the animal is then ready to be removed).
    bool Restart();
    bool IsReadyToBeRemoved() const override { return state_ == kGone; }
    uint8_t GetEntryDirection(uint32_t) const override { return previousDirection_; }
    uint8_t GetExitDirection(uint32_t) const override { return direction_; }
    ObjectHandle GetBlockerId() const override { return 0; }
    uint32_t GetStepTime() const override;
    uint32_t GetSpeedLimit() const override;
    int32_t GetMovingKind() const override { return kMovingKindWalker; }
    void Step() override;
    void WakeNow() override;
    bool GetPose(MoverPose& pose) const override;

    bool HasMoved() const { return moved_ != 0; }
    ObjectHandle GetBuildingId() const { return building_; }
    int32_t GetState() const { return state_; }
    uint32_t GetNextStep() const { return nextStep_; }
    uint32_t GetStepStart() const { return stepStart_; }
    uint8_t GetDirection() const { return direction_; }
    int32_t GetOffsetX() const { return offsetX_; }
    int32_t GetOffsetY() const { return offsetY_; }
    // Seeds the animal's stream (Start seeds it from the id and the time).
    void SeedRandom(uint32_t seed) { random_.Seed(seed); }

private:
    uint32_t Random() { return random_.Next(); }
    // A new spot in the footprint with a rest before the first step; false
    // when the building is gone or has no spot.
    bool PlaceAnew(uint32_t now);
    void Rest();
    void ChooseStartDirection();

    ObjectHandle building_ = 0;
    uint32_t stepStart_ = 0;
    uint32_t nextStep_ = 0;
    int32_t tileX_ = 0, previousX_ = 0, tileY_ = 0, previousY_ = 0;
    uint8_t direction_ = 0, previousDirection_ = 0, directionBefore_ = 0;
    uint32_t moved_ = 0;
    int32_t state_ = kLeaving;
    int32_t graphicType_ = 0;
    uint8_t nextDirection_ = 0;
    uint32_t travelTime_ = 0;
    int8_t offsetX_ = 0, offsetY_ = 0;
    uint32_t steps_ = 0;
    RuntimeRandomStream random_;
};

// Deletes every animal tied to the building.
void RemoveBuildingWalkers(ObjectHandle building);
// Makes kWalkersPerFarm animals for the building (after removing any it
// had); answers how many started.
int32_t CreateBuildingWalkers(ObjectHandle building);
// Restarts every loaded animal on its building (those whose building is
// gone become ready to be removed).
void RestartBuildingWalkers();
