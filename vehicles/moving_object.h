// The base of everything that moves on the map (category 2): private cars,
// vehicles, building walkers and harvesters, with the walks over the
// world's list of moving objects that the loop runs each tick.
#pragma once

#include "world/map_object.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int32_t kMovingKindCar = 1;
inline constexpr int32_t kMovingKindVehicle = 2;
inline constexpr int32_t kMovingKindWalker = 3;
inline constexpr int32_t kMovingKindHarvester = 4;

// A walk along an object's route, tile by tile: the tile, the heading
// with which it is entered and the route entry it heads for.
struct RouteCursor {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t heading = 0;
    uint32_t position = 0;
};

// While the deadlock resolution steps the members of a blocking cycle:
// 1 steps each member, 2 lets only holders that cross the way block, 3
// lets nobody block. 0 otherwise.
uint32_t GetDeadlockMode();

// Whether an object entering a tile with entry p and leaving with q passes
// by a holder that enters with a and leaves with b.
bool PassesBy(uint32_t a, uint32_t b, uint32_t p, uint32_t q);

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
    // Writes the object's id into the lanes of the tiles it stands on.
    virtual void ClaimLanes() {}
    // Whether the lanes the object holds are stale: a vehicle that is
    // coupled, held or idle.
    virtual bool IsDeadForLanes() const { return false; }
    // Whether the object stands on a station's ground.
    virtual bool StandsInStation() const { return false; }
    virtual void Step() {}
    virtual void WakeNow();
    virtual int64_t GetCurrentValue() const { return 0; }
    // The pose to draw; false for a mover that draws itself otherwise.
    virtual bool GetPose(MoverPose& pose) const { return (void)pose, false; }

    // The wake test the loop makes before the timed update, kept out of the
    // virtual call: whether the object has a step due at now.
    bool IsAwake(uint32_t now) const { return now >= nextWake_; }
    uint32_t GetNextWake() const { return nextWake_; }

    // The heading (direction mask) with which the object stands on its
    // occupied tile (x, y); 0 when it does not stand there.
    virtual uint32_t GetHeadingAt(int32_t x, int32_t y) const { return (void)x, (void)y, 0; }
    // Moves the cursor to the next tile of the object's route ahead; false
    // when the route has no further tile. A cursor starts at the head.
    virtual bool NextRouteTile(RouteCursor& cursor) const { return (void)cursor, false; }
    // Starts a cursor at the head; false without a route.
    virtual bool StartRouteCursor(RouteCursor& cursor) const { return (void)cursor, false; }

    // The holder of a lane of (x, y) in the object's transport mode that
    // this object, entering with the heading, would hit; 0 for none. Lanes
    // of objects that are gone or dead are cleared on the way.
    ObjectHandle FindVehicleAt(int32_t x, int32_t y, uint32_t heading);
    // The first object on the route ahead that blocks this one: every
    // junction tile ahead and then `extra` further tiles are looked at.
    ObjectHandle CheckWayAhead(uint32_t extra);

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

// Finds the first object (slot order) in a cycle of blockers and makes the
// cycle move: members step with the blocking tests eased, by where they
// stand. The world loop runs it once per second of game time.
void ResolveDeadlocks();

// The lanes of the tiles that moving objects hold, per transport mode (0
// road, 1 rail, 2 water, 3 air): two lanes per tile, each the id of its
// holder or 0. They follow from where the objects stand, so a loaded game
// builds them anew on first use.
uint32_t GetLaneHolder(uint32_t mode, int32_t x, int32_t y, uint32_t lane);
void SetLaneHolder(uint32_t mode, int32_t x, int32_t y, uint32_t lane, ObjectHandle id);
// Forgets the lanes; the next use rebuilds them from the objects' tiles.
void InvalidateLanes();
// How many tiles' lanes of the mode are kept: the lanes are made block by
// block where objects hold them.
size_t KeptLaneTiles(uint32_t mode);
// The lane an object heading that way holds on a tile of the mode: road
// traffic keeps to one side by direction, others use lane 0.
uint32_t LaneForHeading(uint32_t mode, uint32_t heading);

uint32_t MovingObjectSlotCount();
MovingObject* MovingObjectAtSlot(uint32_t slot);

template <typename Visit>
void ForEachMovingObject(Visit&& visit) {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot)
        if (MovingObject* object = MovingObjectAtSlot(slot))
            if (!visit(*object))
                return;
}
