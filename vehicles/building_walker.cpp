#include "vehicles/building_walker.h"

#include "data/generated/vehicle_tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "vehicles/mover_steps.h"
#include "world/building.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The view's base tile, in pixels: the pixel offsets stay inside half of it.
constexpr uint32_t kTileWidth = 120;
constexpr uint32_t kTileHeight = 40;
// Draws of a spot before the footprint's origin tile is taken instead.
constexpr int32_t kPlacementDraws = 64;
// Steps one update may take; an animal that falls further behind rests.
constexpr int32_t kMaxStepsPerUpdate = 64;
// A spot is taken again now and then, after this many steps.
constexpr uint32_t kStepsBeforeMoving = 20;

int32_t AnimalSpeedLimit() {
    const VehicleConstantsRow* row = VehicleConstantsTable::Find(0);
    return row ? std::max(row->AnimalSpeedLimit, 0) : 0;
}

// The direction for each class of free sides (the sum of their masks) and
// each of the four draws.
uint8_t ChooseDirection(uint32_t freeSides, uint32_t draw) {
    static constexpr std::array<std::array<uint8_t, 4>, 16> kTable = {{
        {1, 1, 1, 1},
        {1, 1, 1, 1},
        {1, 1, 1, 1},
        {1, 2, 2, 2}, // 0-3
        {1, 1, 1, 1},
        {1, 1, 1, 1},
        {4, 2, 2, 2},
        {4, 2, 1, 1}, // 4-7
        {1, 1, 1, 1},
        {8, 1, 1, 1},
        {1, 1, 1, 1},
        {8, 2, 1, 1}, // 8-11
        {8, 4, 4, 4},
        {8, 4, 1, 1},
        {8, 4, 2, 2},
        {4, 2, 8, 1}, // 12-15
    }};
    return kTable[freeSides & 15][draw & 3];
}

} // namespace

bool BuildingWalker::Start(ObjectHandle building) {
    const uint32_t now = CurrentGameTimeMs();
    building_ = building;
    random_.Seed(id_ * 2654435761u ^ now);
    const MapObject* owner = BuildingFromId(building);
    graphicType_ = owner ? owner->GetTypeIndex() : -1;
    if (!PlaceAnew(now)) {
        state_ = kGone;
        return false;
    }
    return true;
}

void BuildingWalker::Serialize() {
    MovingObject::Serialize();
    static constexpr uint32_t kTags[] = {ChunkTag("wlk1"), 0};
    const bool loading = StreamMode() == kStreamLoad;
    if (loading)
        building_ = 0;
    TransferTagList(kTags, [&](uint32_t tag) {
        if (tag != ChunkTag("wlk1"))
            return;
        uint8_t b[4];
        plat::StoreLE32(b, building_);
        if (TransferSized(b, sizeof b) == 4 + sizeof b && loading)
            building_ = plat::LoadLE32(b);
    });
    if (loading) {
        tileX_ = GetX();
        tileY_ = GetY();
        state_ = kResting;
        // Nothing moves before the game restarts the animal.
        nextStep_ = 0xFFFFFFFFu;
        SetNextWake(nextStep_);
    }
}

bool BuildingWalker::Restart() {
    const WorldMap& map = GetWorldMap();
    if (!BuildingFromId(building_) && tileX_ >= 0 && tileY_ >= 0 &&
        map.InMap(uint32_t(tileX_), uint32_t(tileY_)))
        building_ = map.GetBuildingAt(uint32_t(tileX_), uint32_t(tileY_));
    if (!BuildingFromId(building_) || !Start(building_)) {
        state_ = kGone;
        return false;
    }
    return true;
}

void RestartBuildingWalkers() {
    ForEachMovingObject([](MovingObject& object) {
        if (auto* walker = dynamic_cast<BuildingWalker*>(&object))
            walker->Restart();
        return true;
    });
}

bool BuildingWalker::PlaceAnew(uint32_t now) {
    const auto* building = dynamic_cast<const Building*>(BuildingFromId(building_));
    if (!building)
        return false;
    const int32_t bx = building->GetX(), by = building->GetY();
    const int32_t w = building->GetWidth(), h = building->GetHeight();
    // Every spot of a footprint under 4 x 4 lies in its far corner.
    if (w <= 0 || h <= 0 || (w < 4 && h < 4))
        return false;
    stepStart_ = now;
    nextStep_ = now + (Random() % 100 + 10) * 100;
    int32_t x = bx, y = by;
    for (int32_t draw = 0; draw < kPlacementDraws; ++draw) {
        x = bx + int32_t(Random() % uint32_t(w));
        y = by + int32_t(Random() % uint32_t(h));
        if (!(x > bx + w - 4 && y > by + h - 4))
            break;
        x = bx;
        y = by;
    }
    tileX_ = previousX_ = x;
    tileY_ = previousY_ = y;
    direction_ = previousDirection_ = directionBefore_ = nextDirection_ = 0;
    moved_ = 0;
    state_ = kResting;
    travelTime_ = 0;
    steps_ = 0;
    offsetX_ = int8_t(int32_t(Random() % kTileWidth) / 2 - int32_t(kTileWidth / 4));
    offsetY_ = int8_t(int32_t(Random() % kTileHeight) / 2 - int32_t(kTileHeight / 4));
    ChooseStartDirection();
    SetPosition(tileX_, tileY_);
    SetNextWake(nextStep_);
    return true;
}

void BuildingWalker::ChooseStartDirection() {
    const uint8_t d = uint8_t(1u << (Random() % 4));
    direction_ = previousDirection_ = directionBefore_ = nextDirection_ = d;
    travelTime_ = 0;
}

void BuildingWalker::Rest() {
    stepStart_ = nextStep_;
    moved_ = 0;
    state_ = kResting;
    nextStep_ += (Random() % 100 + 10) * 100;
}

void BuildingWalker::Update(uint32_t now) {
    int32_t steps = 0;
    for (; steps < kMaxStepsPerUpdate && state_ != kGone && now >= nextStep_; ++steps) {
        if (state_ == kWalking)
            Step();
        if (state_ == kResting && now >= nextStep_)
            state_ = kWalking;
        else if (state_ == kLeaving)
            state_ = kGone;
    }
    if (steps == kMaxStepsPerUpdate && now >= nextStep_) {
        nextStep_ = now;
        Rest();
    }
    SetNextWake(nextStep_);
}

void BuildingWalker::Step() {
    if (HasMoved()) {
        Rest();
        return;
    }
    const uint32_t now = CurrentGameTimeMs();
    const WorldMap& map = GetWorldMap();
    const bool onBuilding = tileX_ >= 0 && tileY_ >= 0 && map.InMap(uint32_t(tileX_), uint32_t(tileY_)) &&
                            map.GetBuildingAt(uint32_t(tileX_), uint32_t(tileY_)) != 0;
    if (!onBuilding) {
        if (!PlaceAnew(now)) {
            moved_ = 0;
            state_ = kGone;
        }
        return;
    }
    const uint32_t d = Random() % 4;
    const uint32_t r = Random() % 100;
    if (r < 10 && steps_ > kStepsBeforeMoving) {
        if (!PlaceAnew(now)) {
            moved_ = 0;
            state_ = kGone;
        }
        return;
    }
    const auto* building = dynamic_cast<const Building*>(BuildingFromId(building_));
    if (!building) {
        moved_ = 0;
        state_ = kGone;
        return;
    }
    const int32_t bx = building->GetX(), by = building->GetY();
    const int32_t w = building->GetWidth(), h = building->GetHeight();
    const int32_t x = tileX_, y = tileY_;
    uint32_t sides = 0;
    if (y - 1 >= by)
        sides |= 1;
    if (x + 1 < bx + w && (y < by + h - 4 || x + 1 < bx + w - 4))
        sides |= 2;
    if (y + 1 < by + h && (x < bx + w - 4 || y + 1 < by + h - 4))
        sides |= 4;
    if (x - 1 >= bx)
        sides |= 8;
    const uint8_t choice = ChooseDirection(sides, d);
    const int32_t nx = x + MaskDx(choice), ny = y + MaskDy(choice);
    if (nx < 0 || ny < 0 || !map.InMap(uint32_t(nx), uint32_t(ny))) {
        Rest();
        return;
    }
    previousX_ = tileX_;
    previousY_ = tileY_;
    tileX_ = nx;
    tileY_ = ny;
    direction_ = previousDirection_ = directionBefore_ = nextDirection_ = choice;
    travelTime_ = GetSpeedLimit();
    stepStart_ = nextStep_;
    nextStep_ += uint32_t(AnimalSpeedLimit());
    moved_ = 1;
    ++steps_;
    SetPosition(tileX_, tileY_);
}

void BuildingWalker::WakeNow() {
    nextStep_ = CurrentGameTimeMs();
    SetNextWake(nextStep_);
}

uint32_t BuildingWalker::GetStepTime() const {
    return HasMoved() ? nextStep_ - stepStart_ : GetSpeedLimit();
}

uint32_t BuildingWalker::GetSpeedLimit() const {
    return std::max(uint32_t(AnimalSpeedLimit()), kMoverSlowestLimitMs);
}

bool BuildingWalker::GetPose(MoverPose& pose) const {
    pose = {};
    pose.x = tileX_;
    pose.y = tileY_;
    pose.previousX = previousX_;
    pose.previousY = previousY_;
    pose.stepStart = stepStart_;
    pose.nextStep = nextStep_;
    pose.direction = direction_;
    pose.previousDirection = previousDirection_;
    pose.directionBefore = directionBefore_;
    pose.moved = HasMoved();
    pose.graphicKind = kBuildingWalkerGraphicKind;
    pose.graphicNumber = graphicType_;
    pose.offsetX = offsetX_;
    pose.offsetY = offsetY_;
    return true;
}

void RemoveBuildingWalkers(ObjectHandle building) {
    std::vector<ObjectHandle> doomed;
    ForEachMovingObject([&](MovingObject& object) {
        if (auto* walker = dynamic_cast<BuildingWalker*>(&object);
            walker && walker->GetBuildingId() == building)
            doomed.push_back(walker->GetId());
        return true;
    });
    for (ObjectHandle id : doomed) {
        if (auto* walker = dynamic_cast<BuildingWalker*>(MovingObjectFromId(id)))
            walker->Leave();
        DeleteMapObject(id);
    }
}

int32_t CreateBuildingWalkers(ObjectHandle building) {
    RemoveBuildingWalkers(building);
    int32_t started = 0;
    for (int32_t i = 0; i < kWalkersPerFarm; ++i) {
        MapObject* object = CreateMapObject(kCategoryMoving, kBuildingWalkerSubtype);
        auto* walker = dynamic_cast<BuildingWalker*>(object);
        if (!walker) {
            if (object)
                DeleteMapObject(object->GetId());
            break;
        }
        if (!walker->Start(building)) {
            DeleteMapObject(walker->GetId());
            break;
        }
        ++started;
    }
    return started;
}
