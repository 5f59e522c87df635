#include "vehicles/moving_object.h"

#include "data/generated/vehicle_tables.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world.h"
#include "world/world_map.h"

#include <algorithm>
#include <memory>

uint32_t MovingObject::GetSpeed() const {
    const VehicleConstantsRow* row = VehicleConstantsTable::Find(0);
    return row && row->MinimumSpeed > 0 ? uint32_t(row->MinimumSpeed) : 0;
}

void MovingObject::WakeNow() {
    nextWake_ = CurrentGameTimeMs();
}

MovingObject* GetMovingObject(ObjectHandle id) {
    return dynamic_cast<MovingObject*>(MovingObjectFromId(id));
}

uint32_t MovingObjectSlotCount() {
    return MapObjectSlotCount(kCategoryMoving);
}

MovingObject* MovingObjectAtSlot(uint32_t slot) {
    return dynamic_cast<MovingObject*>(MovingObjectFromId(MakeObjectHandle(kCategoryMoving, slot)));
}

void UpdateMovingObjects(uint32_t now) {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot) {
        MovingObject* object = MovingObjectAtSlot(slot);
        if (object && object->IsAwake(now))
            object->Update(now);
    }
    RemoveFinishedMovingObjects();
}

void RemoveFinishedMovingObjects() {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot) {
        MovingObject* object = MovingObjectAtSlot(slot);
        if (object && object->IsReadyToBeRemoved()) {
            // Its lanes go with it: the slot may soon hold another object.
            object->ReleaseReservations();
            DeleteMapObject(object->GetId());
        }
    }
}

void DeleteAllMovingObjects() {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot)
        if (MovingObject* object = MovingObjectAtSlot(slot))
            DeleteMapObject(object->GetId());
    InvalidateLanes();
}

// ---- Lanes ----

namespace {

constexpr uint32_t kModes = 4;
constexpr uint32_t kLanes = 2;
// Links followed from an object in search of a cycle of blockers.
constexpr uint32_t kMaxBlockerLinks = 500;
// The lanes are kept in square blocks of tiles, made on the first holder
// in the block: a large map with few ways never touches most of its lanes.
constexpr uint32_t kBlockShift = 4;
constexpr uint32_t kBlockSide = 1u << kBlockShift;

struct LaneBlock {
    uint32_t lanes[kBlockSide * kBlockSide * kLanes] = {};
};

struct LaneGrid : WorldAttachment {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t blocksWide = 0;
    bool valid = false;
    bool rebuilding = false;
    std::vector<std::unique_ptr<LaneBlock>> blocks[kModes];
    uint32_t deadlockMode = 0;
    // Scratch of the deadlock search, kept to avoid allocations.
    std::vector<uint8_t> colour;
    std::vector<ObjectHandle> cycle;
};

LaneGrid& Lanes() {
    LaneGrid& grid = CurrentWorld().Attached<LaneGrid>();
    const WorldMap& map = GetWorldMap();
    if (grid.valid && grid.width == map.GetWidth() && grid.height == map.GetHeight())
        return grid;
    if (grid.rebuilding)
        return grid;
    grid.width = map.GetWidth();
    grid.height = map.GetHeight();
    grid.blocksWide = (grid.width + kBlockSide - 1) >> kBlockShift;
    const size_t blocks = size_t(grid.blocksWide) * ((grid.height + kBlockSide - 1) >> kBlockShift);
    for (auto& modeBlocks : grid.blocks) {
        modeBlocks.clear();
        modeBlocks.resize(blocks);
    }
    grid.valid = true;
    grid.rebuilding = true;
    ForEachMovingObject([](MovingObject& object) {
        object.ClaimLanes();
        return true;
    });
    grid.rebuilding = false;
    return grid;
}

// The lane of a tile; null off the map, and null for a block nobody has
// held yet unless `make` asks for the block to be made.
uint32_t* LaneAt(LaneGrid& grid, uint32_t mode, int32_t x, int32_t y, uint32_t lane, bool make = false) {
    if (mode >= kModes || lane >= kLanes || x < 0 || y < 0 || uint32_t(x) >= grid.width ||
        uint32_t(y) >= grid.height)
        return nullptr;
    const size_t block = size_t(uint32_t(y) >> kBlockShift) * grid.blocksWide + (uint32_t(x) >> kBlockShift);
    std::unique_ptr<LaneBlock>& at = grid.blocks[mode][block];
    if (!at) {
        if (!make)
            return nullptr;
        at = std::make_unique<LaneBlock>();
    }
    const uint32_t inX = uint32_t(x) & (kBlockSide - 1), inY = uint32_t(y) & (kBlockSide - 1);
    return &at->lanes[((inY << kBlockShift) + inX) * kLanes + lane];
}

// The slot of a moving object's id; past every slot for other ids.
uint32_t ObjectSlot(ObjectHandle id) {
    return (id >> kObjectIndexBits) == uint32_t(kCategoryMoving) && (id & kObjectIndexMask) != 0
               ? (id & kObjectIndexMask) - 1
               : UINT32_MAX;
}

// Direction index 0..3 of a single-side mask (1 N, 2 E, 4 S, 8 W).
uint32_t SideIndex(uint32_t mask) {
    return mask & 1 ? 0 : mask & 2 ? 1 : mask & 4 ? 2 : 3;
}

uint32_t OppositeSide(uint32_t mask) {
    return DirectionMask((SideIndex(mask) + 2) & 3);
}

} // namespace

uint32_t GetDeadlockMode() {
    return CurrentWorld().Attached<LaneGrid>().deadlockMode;
}

uint32_t GetLaneHolder(uint32_t mode, int32_t x, int32_t y, uint32_t lane) {
    const uint32_t* at = LaneAt(Lanes(), mode, x, y, lane);
    return at ? *at : 0;
}

void SetLaneHolder(uint32_t mode, int32_t x, int32_t y, uint32_t lane, ObjectHandle id) {
    if (uint32_t* at = LaneAt(Lanes(), mode, x, y, lane, id != 0))
        *at = id;
}

size_t KeptLaneTiles(uint32_t mode) {
    if (mode >= kModes)
        return 0;
    const LaneGrid& grid = Lanes();
    return size_t(std::count_if(grid.blocks[mode].begin(), grid.blocks[mode].end(),
                                [](const auto& block) { return block != nullptr; })) *
           kBlockSide * kBlockSide;
}

void InvalidateLanes() {
    CurrentWorld().Attached<LaneGrid>().valid = false;
}

uint32_t LaneForHeading(uint32_t mode, uint32_t heading) {
    return mode == 0 && (heading == 4 || heading == 8) ? 1 : 0;
}

bool PassesBy(uint32_t a, uint32_t b, uint32_t p, uint32_t q) {
    if (a == 0 || b == 0 || p == 0 || q == 0)
        return false;
    if (a == OppositeSide(q) && b == OppositeSide(p))
        return true;
    if (a == b) {
        if (a != OppositeSide(p) && (SideIndex(a) + 1) % 4 != SideIndex(p))
            return false;
        return b == OppositeSide(q) || (SideIndex(b) + 3) % 4 == SideIndex(q);
    }
    return (SideIndex(a) + 1) % 4 == SideIndex(b) && a != p && b != q;
}

ObjectHandle MovingObject::FindVehicleAt(int32_t x, int32_t y, uint32_t heading) {
    LaneGrid& grid = Lanes();
    const uint32_t mode = uint32_t(GetConnectionType());
    ObjectHandle result = 0;
    uint32_t held = 0;
    for (uint32_t lane = 0; lane < kLanes; ++lane) {
        uint32_t* at = LaneAt(grid, mode, x, y, lane);
        if (!at || *at == 0)
            continue;
        const ObjectHandle id = *at;
        MovingObject* holder = GetMovingObject(id);
        if (!holder) {
            *at = 0;
            continue;
        }
        ++held;
        if (holder == this)
            continue;
        // The lane's own holder is the answer (not the other lane's).
        const uint32_t h = holder->GetHeadingAt(x, y);
        if (!PassesBy(h, h, heading, heading) || mode != 0)
            result = id;
        if (holder->GetMovingKind() == kMovingKindVehicle && holder->IsDeadForLanes()) {
            *at = 0;
            result = 0;
            --held;
        } else if (holder->GetConnectionType() != GetConnectionType()) {
            result = id;
        }
    }
    switch (grid.deadlockMode) {
    case 3:
        return 0;
    case 2:
        if (result) {
            MovingObject* holder = GetMovingObject(result);
            const uint32_t h = holder ? holder->GetHeadingAt(x, y) : 0;
            // Only a holder that crosses this object's way still blocks.
            return h == heading || h == OppositeSide(heading) ? 0 : result;
        }
        return 0;
    default:
        (void)held;
        return result;
    }
}

ObjectHandle MovingObject::CheckWayAhead(uint32_t extra) {
    RouteCursor cursor;
    if (!StartRouteCursor(cursor) || !NextRouteTile(cursor))
        return 0;
    if (GetDeadlockMode() != 0)
        return FindVehicleAt(cursor.x, cursor.y, cursor.heading);
    const uint32_t mode = uint32_t(GetConnectionType());
    const WorldMap& map = GetWorldMap();
    uint32_t budget = 1;
    bool extended = false;
    for (uint32_t k = 1;; ++k) {
        const bool onMap = cursor.x >= 0 && cursor.y >= 0 && uint32_t(cursor.x) < map.GetWidth() &&
                           uint32_t(cursor.y) < map.GetHeight();
        const bool crossing = onMap && map.IsTrackRoadCrossing(uint32_t(cursor.x), uint32_t(cursor.y));
        const bool junction =
            onMap && (crossing || (mode < 3 && GetRouteNodeId(uint32_t(cursor.x), uint32_t(cursor.y), mode)));
        const ObjectHandle blocker = FindVehicleAt(cursor.x, cursor.y, cursor.heading);
        if (extended || !junction) {
            if (blocker)
                return blocker;
            if (--budget == 0)
                return 0;
            extended = true;
        } else {
            budget = std::max<uint32_t>(extra, 1);
            if (blocker) {
                MovingObject* other = GetMovingObject(blocker);
                if (k == 1 || (other && other->GetBlockerId() != 0))
                    return blocker;
            }
        }
        if (!NextRouteTile(cursor))
            return 0;
    }
}

// ---- Deadlocks ----

namespace {

class DeadlockModeScope {
public:
    DeadlockModeScope(LaneGrid& grid, uint32_t mode) : grid_(grid) { grid_.deadlockMode = mode; }
    ~DeadlockModeScope() { grid_.deadlockMode = 0; }
    DeadlockModeScope(const DeadlockModeScope&) = delete;
    DeadlockModeScope& operator=(const DeadlockModeScope&) = delete;

private:
    LaneGrid& grid_;
};

bool CanBeInCycle(const MovingObject& object) {
    const int32_t kind = object.GetMovingKind();
    return kind != kMovingKindWalker && kind != kMovingKindHarvester && !object.IsDeadForLanes();
}

// The first object in slot order that lies on a cycle of blockers; its
// cycle in `cycle`, its blocker first and the object last. Each object is
// visited once: 0 unseen, 1 on the current chain, 2 done. The first cycle
// member in slot order is the one a walk from each object in turn finds.
ObjectHandle FindBlockerCycle(LaneGrid& grid) {
    const uint32_t slots = MovingObjectSlotCount();
    grid.colour.assign(slots, 0);
    ObjectHandle best = 0;
    uint32_t bestSlot = slots;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        if (grid.colour[slot] != 0)
            continue;
        // Walks the chain from here, marking it.
        ObjectHandle id = MakeObjectHandle(kCategoryMoving, slot);
        uint32_t links = 0;
        while (links++ <= kMaxBlockerLinks) {
            MovingObject* object = GetMovingObject(id);
            const uint32_t s = ObjectSlot(id);
            if (!object || s >= slots || !CanBeInCycle(*object) || grid.colour[s] == 2)
                break;
            if (grid.colour[s] == 1) {
                // A cycle through s: its lowest slot is the first member.
                uint32_t lowest = s;
                ObjectHandle walk = id;
                for (uint32_t n = 0; n < kMaxBlockerLinks; ++n) {
                    walk = GetMovingObject(walk)->GetBlockerId();
                    if (ObjectSlot(walk) == s)
                        break;
                    lowest = std::min(lowest, ObjectSlot(walk));
                }
                if (lowest < bestSlot) {
                    bestSlot = lowest;
                    best = MakeObjectHandle(kCategoryMoving, lowest);
                }
                break;
            }
            grid.colour[s] = 1;
            id = object->GetBlockerId();
        }
        // Everything marked on this chain is done.
        ObjectHandle walk = MakeObjectHandle(kCategoryMoving, slot);
        for (uint32_t n = 0; n <= kMaxBlockerLinks; ++n) {
            const uint32_t s = ObjectSlot(walk);
            if (s >= slots || grid.colour[s] != 1)
                break;
            grid.colour[s] = 2;
            MovingObject* object = GetMovingObject(walk);
            walk = object ? object->GetBlockerId() : 0;
        }
    }
    grid.cycle.clear();
    if (!best)
        return 0;
    ObjectHandle walk = best;
    for (uint32_t n = 0; n < kMaxBlockerLinks; ++n) {
        walk = GetMovingObject(walk)->GetBlockerId();
        grid.cycle.push_back(walk);
        if (walk == best)
            break;
    }
    return best;
}

bool StepAndMoved(ObjectHandle id) {
    MovingObject* object = GetMovingObject(id);
    if (!object)
        return false;
    const int32_t x = object->GetX(), y = object->GetY();
    object->WakeNow();
    object->Step();
    object = GetMovingObject(id);
    return object && (object->GetX() != x || object->GetY() != y);
}

bool AtStation(ObjectHandle id) {
    MovingObject* object = GetMovingObject(id);
    return object && object->StandsInStation();
}

} // namespace

void ResolveDeadlocks() {
    LaneGrid& grid = Lanes();
    if (!FindBlockerCycle(grid))
        return;
    std::vector<ObjectHandle>& members = grid.cycle;
    // Private cars in the cycle are theirs to remove (they have no lanes
    // here); the vehicles of the cycle try to step one by one first.
    uint32_t passes = 0;
    {
        DeadlockModeScope scope(grid, 1);
        bool dropped = true;
        while (dropped && !members.empty()) {
            dropped = false;
            ++passes;
            for (size_t i = 0; i < members.size();) {
                MovingObject* object = GetMovingObject(members[i]);
                if (!object || (object->GetConnectionType() == 1 && object->IsDeadForLanes()) ||
                    StepAndMoved(members[i])) {
                    members.erase(members.begin() + std::ptrdiff_t(i));
                    dropped = true;
                } else {
                    ++i;
                }
            }
        }
    }
    if (passes > 1 || members.empty())
        return;
    uint32_t atStation = 0;
    for (ObjectHandle id : members)
        atStation += AtStation(id) ? 1 : 0;
    if (atStation == 0) {
        DeadlockModeScope scope(grid, 3);
        for (ObjectHandle id : members)
            if (MovingObject* object = GetMovingObject(id))
                object->ReleaseReservations();
        for (ObjectHandle id : members)
            StepAndMoved(id);
        return;
    }
    if (atStation == members.size()) {
        for (ObjectHandle id : members)
            if (MovingObject* object = GetMovingObject(id))
                object->ReleaseReservations();
        for (ObjectHandle id : members)
            if (MovingObject* object = GetMovingObject(id)) {
                object->WakeNow();
                object->Step();
            }
        return;
    }
    // Some stand at a station: they let the others by, one at a time.
    for (ObjectHandle stander : members) {
        if (!AtStation(stander))
            continue;
        for (ObjectHandle member : members) {
            MovingObject* blocked = GetMovingObject(member);
            if (!blocked || blocked->GetBlockerId() != stander)
                continue;
            if (MovingObject* s = GetMovingObject(stander))
                s->ReleaseReservations();
            const bool moved = StepAndMoved(member);
            if (MovingObject* s = GetMovingObject(stander)) {
                s->WakeNow();
                s->Step();
            }
            if (moved)
                return;
        }
    }
    DeadlockModeScope scope(grid, 2);
    bool dropped = true;
    while (dropped && !members.empty()) {
        dropped = false;
        for (size_t i = 0; i < members.size();) {
            if (StepAndMoved(members[i])) {
                members.erase(members.begin() + std::ptrdiff_t(i));
                dropped = true;
            } else {
                ++i;
            }
        }
    }
}
