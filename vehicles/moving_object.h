// The base of everything that moves on the map (category 2): private cars,
// vehicles, building walkers and harvesters, with the walks over the
// world's list of moving objects that the loop runs each tick.
#pragma once

#include "world/map_object.h"

#include <cstdint>

inline constexpr int32_t kMovingKindCar = 1;
inline constexpr int32_t kMovingKindVehicle = 2;
inline constexpr int32_t kMovingKindWalker = 3;
inline constexpr int32_t kMovingKindHarvester = 4;

// What the view needs to draw a mover: the tile it comes from and the one it
// is on, the times of the step between them, its directions, and the
// graphic-set kind and number of its picture.
struct MoverPose {
    int32_t x = 0, y = 0, previousX = 0, previousY = 0;
    uint32_t stepStart = 0, nextStep = 0;
    uint8_t direction = 0, previousDirection = 0, directionBefore = 0;
    bool moved = false;
    int32_t graphicKind = -1, graphicNumber = -1;
    // A pixel offset inside the tile, at the view's base zoom.
    int32_t offsetX = 0, offsetY = 0;
};

class MovingObject : public MapObject {
public:
    explicit MovingObject(int32_t subtype = 0) : MapObject(kCategoryMoving, subtype) {}

    virtual void DebugDump(std::string& out) const { (void)out; }
    virtual void Draw(uint32_t now) { (void)now; }
    virtual bool IsReadyToBeRemoved() const { return false; }
    virtual uint8_t GetEntryDirection(uint32_t i) const { return (void)i, 0; }
    virtual uint8_t GetExitDirection(uint32_t i) const { return (void)i, 0; }
    virtual uint32_t FindRoutePoint(int32_t x, int32_t y) const { return (void)x, (void)y, 0; }
    virtual ObjectHandle GetBlockerId() const { return 0; }
    virtual int32_t GetVehicleType() const { return 0; }
    virtual uint32_t GetStepTime() const { return 0; }
    virtual uint32_t GetSpeedLimit() const { return 0; }
    virtual uint32_t GetSpeed() const;
    virtual int32_t GetConnectionType() const { return 0; }
    virtual int32_t GetMovingKind() const { return GetSubtype(); }
    virtual void ReleaseReservations() {}
    virtual void Step() {}
    virtual void WakeNow();
    virtual int64_t GetCurrentValue() const { return 0; }
    // The pose to draw; false for a mover that draws itself otherwise.
    virtual bool GetPose(MoverPose& pose) const { return (void)pose, false; }

    // The wake test the loop makes before the timed update, kept out of the
    // virtual call: whether the object has a step due at now.
    bool IsAwake(uint32_t now) const { return now >= nextWake_; }
    uint32_t GetNextWake() const { return nextWake_; }

protected:
    void SetNextWake(uint32_t t) { nextWake_ = t; }

private:
    uint32_t nextWake_ = 0;
};

// The moving object of a handle, null when the handle names none.
MovingObject* GetMovingObject(ObjectHandle id);
// Calls visit(object) for each moving object in slot order until it answers
// false; the list is looked up again after each call, so a visit may delete
// objects.
template <typename Visit>
void ForEachMovingObject(Visit&& visit);
// Every moving object that is awake at now gets its timed update; then the
// finished ones are deleted. Allocates nothing.
void UpdateMovingObjects(uint32_t now);
void RemoveFinishedMovingObjects();
void DeleteAllMovingObjects();

uint32_t MovingObjectSlotCount();
MovingObject* MovingObjectAtSlot(uint32_t slot);

template <typename Visit>
void ForEachMovingObject(Visit&& visit) {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot)
        if (MovingObject* object = MovingObjectAtSlot(slot))
            if (!visit(*object))
                return;
}
