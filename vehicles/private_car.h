// The towns' own road traffic: small cars that appear on town roads, wander
// the road network at random, hold lanes like company road vehicles (so
// that each queues behind the other), and go when they reach a dead end of
// a town, the map edge or a tile they cannot enter. Their number per town
// is bounded; their counts, the time of the last spawning pass and the set
// of car types on offer are kept per world. Saved as "car1".
#pragma once

#include "vehicles/moving_object.h"

#include <cstdint>

inline constexpr int32_t kPrivateCarSubtype = 1;
// The graphic-set kind of the cars' pictures (the private-car set).
inline constexpr int32_t kPrivateCarGraphicKind = 14;
// The connection type of the car rows that are town cars.
inline constexpr int32_t kPrivateCarConnectionType = 5;
// Rows of the PrivateCar table that can be on offer.
inline constexpr uint32_t kMaxPrivateCarTypes = 1024;
inline constexpr uint32_t kMaxCarTowns = 100;

class PrivateCar : public MovingObject {
public:
    static constexpr uint32_t kChunkBytes = 64;
    static constexpr uint32_t kWaitMs = 500;

    enum State : int32_t { kDriving = 0, kFinishing = 1, kDone = 2 };

    PrivateCar() : MovingObject(kPrivateCarSubtype) {}
    // Releases its lanes and leaves its town's count.
    ~PrivateCar() override;

    // Puts a new car of the town on the tile with a random type and start
    // direction, due to move half a second from now; counts it for the town.
    void Init(uint32_t town, int32_t x, int32_t y);

    void Update(uint32_t now) override;
    void Serialize() override;
    bool IsReadyToBeRemoved() const override { return state_ == kDone; }
    uint8_t GetEntryDirection(uint32_t) const override { return directions_[1]; }
    uint8_t GetExitDirection(uint32_t) const override { return directions_[0]; }
    ObjectHandle GetBlockerId() const override { return blocker_; }
    uint32_t GetStepTime() const override;
    uint32_t GetSpeedLimit() const override;
    int32_t GetMovingKind() const override { return kMovingKindCar; }
    void ReleaseReservations() override;
    void Step() override;
    void WakeNow() override;
    bool GetPose(MoverPose& pose) const override;

    // The k-th tile ahead (0 the car's own, at most 2) with the masks it is
    // entered and left with; false beyond.
    bool GetRouteStep(uint32_t k, int32_t& x, int32_t& y, uint8_t& entry, uint8_t& exit) const;
    // Holds a lane of its tile: lane 0, else lane 1 when lane 0 is taken and
    // lane 1 free; false when both are held by others.
    bool Reserve();
    bool HoldsLane() const;
    void Finish() { state_ = kFinishing; }
    bool HasMoved() const { return moved_ != 0; }

    uint32_t GetTown() const { return town_; }
    int32_t GetState() const { return state_; }
    int32_t GetCarType() const { return carType_; }
    uint32_t GetTravelTime() const { return travelTime_; }
    uint32_t GetNextStep() const { return nextStep_; }
    uint8_t GetDirection() const { return directions_[0]; }

private:
    void ChooseStartDirection();
    // Whoever holds the tile ahead, or waits beyond a junction there.
    ObjectHandle FindBlocker(int32_t x, int32_t y, uint8_t direction, uint8_t nextDirection);
    // The holder of a lane of (x, y) that does not let this car pass,
    // entering with entry and leaving with exit; 0 for none.
    ObjectHandle FindHolder(int32_t x, int32_t y, uint8_t entry, uint8_t exit);
    uint32_t GetAllowedSpeed();
    void Count(bool add);

    uint32_t town_ = 0;
    uint32_t stepStart_ = 0;
    uint32_t nextStep_ = 0;
    // Current tile, the previous one and the one before it.
    int32_t xs_[3] = {0, 0, 0};
    int32_t ys_[3] = {0, 0, 0};
    // Current, previous and earlier direction masks.
    uint8_t directions_[3] = {0, 0, 0};
    ObjectHandle blocker_ = 0;
    uint32_t moved_ = 0;
    int32_t state_ = kDriving;
    int32_t carType_ = 0;
    uint8_t nextDirection_ = 0;
    uint32_t travelTime_ = 0;
    // Whether the car counts towards its town (a refused record does not).
    bool counted_ = false;
};

// The cars counted for the town (1-based).
uint32_t PrivateCarCount(uint32_t town);
// Empties the counts and the last spawning time; the car types on offer are
// looked up again.
void ClearPrivateCarTable();
// The spawning pass's clock and the car types on offer, written with the
// towns so that a loaded game spawns its cars as the saved one would have;
// a game saved without them starts the table afresh.
void SerializePrivateCarTable();
// Deletes every car and looks the types on offer up again.
void RemoveAllPrivateCars();
// Whether a spawning pass is due at now (one per 500 ms): rebuilds the set
// of types on offer when needed and, with one, notes now as the pass's time
// and answers true.
bool BeginPrivateCarPass(uint32_t now);
// How many car types are on offer (after a pass has looked them up).
int32_t AvailablePrivateCarTypes();
// Whether a car may appear on the tile: neither lane of it nor of its four
// neighbours on the map is held.
bool PrivateCarSpawnTileFree(int32_t x, int32_t y);
// Makes a car of the town on the tile and has it hold the tile's lane; null
// when the object could not be made.
PrivateCar* SpawnPrivateCar(uint32_t town, int32_t x, int32_t y);
