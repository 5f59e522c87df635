#include "vehicles/private_car.h"

#include "data/generated/vehicle_tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"
#include "transport/route_planner.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/mover_steps.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/random_streams.h"
#include "world/static_object_services.h"
#include "world/world.h"
#include "world/world_map.h"

#include <algorithm>
#include <bitset>
#include <vector>

namespace {

constexpr uint32_t kTags[] = {ChunkTag("car1"), 0};
// Draws of a direction at a junction or in a curve before the car gives up.
constexpr int32_t kTurnDraws = 10;
// Steps one update may take; a car that falls further behind waits.
constexpr int32_t kMaxStepsPerUpdate = 64;

struct PrivateCarState final : WorldAttachment {
    std::vector<uint32_t> counts;
    uint32_t lastSpawn = 0;
    std::bitset<kMaxPrivateCarTypes> available;
    int32_t availableCount = -1;
};

PrivateCarState& CarState() {
    return CurrentWorld().Attached<PrivateCarState>();
}

const VehicleConstantsRow* Constants() {
    return VehicleConstantsTable::Find(0);
}

bool TypeOnOffer(const PrivateCarRow& row) {
    const GameClock* clock = GetGameClock();
    const float year = clock ? float(clock->GetCurrentYear()) : 0.0f;
    return row.ConnectionType == kPrivateCarConnectionType &&
           (uint32_t(row.RegionCode) & CurrentRegion()) != 0 && float(row.YearOfIntroduction) <= year &&
           year < float(row.YearOfDiscard);
}

void RebuildAvailableTypes(PrivateCarState& s) {
    s.available.reset();
    int32_t count = 0;
    const auto& rows = PrivateCarTable::Rows();
    for (size_t r = 0; r < rows.size(); ++r) {
        if (!rows[r] || !TypeOnOffer(*rows[r]))
            continue;
        if (r >= kMaxPrivateCarTypes) {
            GameLog("private car type %zu is beyond the %u types that can be on offer; it is left out", r,
                    kMaxPrivateCarTypes);
            continue;
        }
        s.available.set(r);
        ++count;
    }
    s.availableCount = count;
}

bool OnMap(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y));
}

uint32_t RoadMaskAt(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    if (!OnMap(x, y) || map.GetRouteFlagA(2, uint32_t(x), uint32_t(y)))
        return 0;
    return map.GetRoadDirections(uint32_t(x), uint32_t(y)) & 15;
}

uint32_t Lane(int32_t x, int32_t y, uint32_t lane, uint32_t mask) {
    return OnMap(x, y) ? GetWorldMap().GetRouteSlotValue(uint32_t(x), uint32_t(y), lane, 0, mask) : 0;
}

void SetLane(int32_t x, int32_t y, uint32_t lane, uint32_t value, uint32_t mask) {
    if (OnMap(x, y))
        GetWorldMap().SetRouteSlotValue(uint32_t(x), uint32_t(y), lane, value, 0, mask);
}

uint32_t Opposite(uint32_t mask) {
    return mask == 1 ? 4 : mask == 4 ? 1 : mask == 2 ? 8 : mask == 8 ? 2 : 0;
}

bool HasRoadAndNoStation(int32_t x, int32_t y) {
    return OnMap(x, y) && GetWorldMap().HasRoad(uint32_t(x), uint32_t(y)) && !StationAtTile(x, y);
}

} // namespace

PrivateCar::~PrivateCar() {
    ReleaseReservations();
    Count(false);
}

void PrivateCar::Count(bool add) {
    if (town_ < 1 || town_ > kMaxCarTowns)
        return;
    PrivateCarState& s = CarState();
    if (add) {
        if (counted_)
            return;
        if (s.counts.size() < town_)
            s.counts.resize(town_, 0);
        ++s.counts[town_ - 1];
        counted_ = true;
    } else if (counted_) {
        if (town_ <= s.counts.size() && s.counts[town_ - 1] > 0)
            --s.counts[town_ - 1];
        counted_ = false;
    }
}

void PrivateCar::Init(uint32_t town, int32_t x, int32_t y) {
    const uint32_t now = CurrentGameTimeMs();
    town_ = town;
    stepStart_ = now;
    nextStep_ = now + kWaitMs;
    for (int i = 0; i < 3; ++i) {
        xs_[i] = x;
        ys_[i] = y;
        directions_[i] = 0;
    }
    blocker_ = 0;
    nextDirection_ = 0;
    moved_ = 0;
    state_ = kDriving;
    // A random type on offer: the r-th of the set.
    PrivateCarState& s = CarState();
    carType_ = -1;
    if (s.availableCount > 0) {
        uint32_t r = GameRandom() % uint32_t(s.availableCount);
        for (uint32_t t = 0; t < kMaxPrivateCarTypes; ++t)
            if (s.available.test(t) && r-- == 0) {
                carType_ = int32_t(t);
                break;
            }
    }
    SetTypeIndex(carType_);
    travelTime_ = 0;
    ChooseStartDirection();
    Count(true);
    SetPosition(x, y);
    SetNextWake(nextStep_);
}

void PrivateCar::ChooseStartDirection() {
    const uint32_t m = RoadMaskAt(xs_[0], ys_[0]);
    const uint32_t d = GameRandom() % 4;
    for (uint32_t i = 0; i < 4; ++i) {
        const uint32_t mask = 1u << ((d + i) % 4);
        if ((m & mask) && HasRoadAndNoStation(xs_[0] + MaskDx(mask), ys_[0] + MaskDy(mask))) {
            directions_[0] = directions_[1] = directions_[2] = nextDirection_ = uint8_t(mask);
            return;
        }
    }
}

void PrivateCar::Update(uint32_t now) {
    int32_t steps = 0;
    for (; steps < kMaxStepsPerUpdate && state_ != kDone && now >= nextStep_; ++steps) {
        if (state_ == kDriving)
            Step();
        else
            state_ = kDone;
    }
    if (steps == kMaxStepsPerUpdate && state_ != kDone && now >= nextStep_)
        nextStep_ = now + kWaitMs;
    SetNextWake(nextStep_);
}

void PrivateCar::Step() {
    moved_ = 0;
    const uint8_t current = directions_[0];
    const int32_t nx = xs_[0] + MaskDx(current), ny = ys_[0] + MaskDy(current);
    if (!OnMap(nx, ny) || current == 0) {
        Finish();
        return;
    }
    const uint32_t m = RoadMaskAt(nx, ny);
    if (m == 0 || !(m & Opposite(current))) {
        Finish();
        return;
    }
    const uint32_t back = Opposite(current);
    uint8_t choice = current;
    if (IsSingleDirection(m)) {
        if (GetWorldMap().GetRouteByte(uint32_t(nx), uint32_t(ny)) != 0) {
            Finish();
            stepStart_ = nextStep_;
            nextStep_ += kWaitMs;
            return;
        }
        choice = uint8_t(m);
    } else if (IsRouteNodeMask(m, 0, false) || !(m & current)) {
        const bool junction = IsRouteNodeMask(m, 0, false);
        bool found = false;
        for (int32_t draw = 0; draw < kTurnDraws && !found; ++draw) {
            const uint32_t d = 1u << (GameRandom() % 4);
            if (!(m & d) || d == back)
                continue;
            const int32_t bx = nx + MaskDx(d), by = ny + MaskDy(d);
            bool good = HasRoadAndNoStation(bx, by);
            if (good && junction) {
                const uint32_t beyond = RoadMaskAt(bx, by);
                good = beyond != 0 && !IsSingleDirection(beyond);
            }
            if (good || (junction && d == current)) {
                choice = uint8_t(d);
                found = true;
            }
        }
        if (!found) {
            Finish();
            return;
        }
    }
    if (TilePassableForMode(uint32_t(nx), uint32_t(ny), kModeRoad, choice, 0) == 0) {
        directions_[0] = directions_[1] = directions_[2] = 0;
        stepStart_ = nextStep_;
        nextStep_ += kWaitMs;
        travelTime_ = 2 * GetSpeedLimit();
        return;
    }
    if (const Station* station = StationAtTile(nx, ny)) {
        int32_t ex = 0, ey = 0;
        if (!station->GetEntryPoint(ex, ey) || ex != nx || ey != ny) {
            Finish();
            stepStart_ = nextStep_;
            nextStep_ += kWaitMs;
            return;
        }
    }
    nextDirection_ = choice;
    blocker_ = FindBlocker(nx, ny, current, choice);
    if (blocker_ != 0) {
        stepStart_ = nextStep_;
        nextStep_ += kWaitMs;
        return;
    }
    ReleaseReservations();
    for (int i = 2; i > 0; --i) {
        xs_[i] = xs_[i - 1];
        ys_[i] = ys_[i - 1];
    }
    xs_[0] = nx;
    ys_[0] = ny;
    directions_[2] = directions_[1];
    directions_[1] = directions_[0];
    directions_[0] = choice;
    Reserve();
    SetPosition(nx, ny);

    const VehicleConstantsRow* constants = Constants();
    const uint32_t old = travelTime_;
    uint32_t speed = GetAllowedSpeed();
    const int64_t accel = constants ? std::max(constants->MaxAcceleration, 0) : 0;
    if (speed < old && int64_t(speed) + accel < int64_t(old))
        speed = uint32_t(int64_t(old) - accel);
    if (constants && constants->MinimumSpeed > 0 && speed > uint32_t(constants->MinimumSpeed))
        speed = uint32_t(constants->MinimumSpeed);
    // A step always takes time, so that an update ends.
    travelTime_ = std::max<uint32_t>(speed, 1);
    stepStart_ = nextStep_;
    nextStep_ += travelTime_;
    moved_ = 1;
}

ObjectHandle PrivateCar::FindHolder(int32_t x, int32_t y, uint8_t entry, uint8_t exit) {
    ObjectHandle result = 0;
    for (uint32_t lane = 0; lane < 2; ++lane) {
        const uint32_t id = Lane(x, y, lane, entry);
        if (id == 0 || id == id_)
            continue;
        MovingObject* holder = GetMovingObject(id);
        if (!holder) {
            SetLane(x, y, lane, 0, entry);
            continue;
        }
        const uint32_t i = holder->FindRoutePoint(x, y);
        if (!PassesBy(holder->GetEntryDirection(i), holder->GetExitDirection(i), entry, exit) ||
            holder->GetConnectionType() != GetConnectionType())
            result = id;
    }
    return result;
}

ObjectHandle PrivateCar::FindBlocker(int32_t x, int32_t y, uint8_t direction, uint8_t nextDirection) {
    if (StationAtTile(x, y)) {
        const uint32_t lane0 = Lane(x, y, 0, direction);
        if (lane0 != 0 && lane0 != id_ && GetMovingObject(lane0))
            return lane0;
    } else {
        const uint32_t lane1 = Lane(x, y, 1, direction);
        if (lane1 != 0 && lane1 != id_ && GetMovingObject(lane1))
            return lane1;
    }
    // The tile ahead, and past it when it is a junction: a car does not
    // stop on a junction whose way out is held.
    if (ObjectHandle holder = FindHolder(x, y, direction, nextDirection))
        return holder;
    const uint32_t m = RoadMaskAt(x, y);
    const bool crossing = GetWorldMap().IsTrackRoadCrossing(uint32_t(x), uint32_t(y));
    if (!IsRouteNodeMask(m, 0, false) && !crossing)
        return 0;
    const int32_t bx = x + MaskDx(nextDirection), by = y + MaskDy(nextDirection);
    if (!OnMap(bx, by))
        return 0;
    const ObjectHandle beyond = FindHolder(bx, by, nextDirection, nextDirection);
    if (beyond == 0)
        return 0;
    if (crossing)
        return beyond;
    const MovingObject* other = GetMovingObject(beyond);
    return other && other->GetBlockerId() != 0 ? beyond : 0;
}

uint32_t PrivateCar::GetAllowedSpeed() {
    uint32_t speed = GetSpeedLimit();
    int32_t x, y;
    uint8_t entry, exit;
    if (GetRouteStep(1, x, y, entry, exit) && OnMap(x, y))
        if (const ObjectHandle holder = FindHolder(x, y, entry, exit))
            if (const MovingObject* other = GetMovingObject(holder);
                other && other->GetConnectionType() == GetConnectionType() && other->GetSpeed() > speed)
                speed = other->GetSpeed();
    return speed;
}

bool PrivateCar::GetRouteStep(uint32_t k, int32_t& x, int32_t& y, uint8_t& entry, uint8_t& exit) const {
    if (k > 2)
        return false;
    x = xs_[0];
    y = ys_[0];
    entry = directions_[1];
    exit = directions_[0];
    if (k >= 1) {
        x += MaskDx(directions_[0]);
        y += MaskDy(directions_[0]);
        entry = directions_[0];
        exit = nextDirection_;
    }
    if (k == 2) {
        x += MaskDx(nextDirection_);
        y += MaskDy(nextDirection_);
        entry = nextDirection_;
        exit = nextDirection_;
    }
    return true;
}

bool PrivateCar::Reserve() {
    const uint8_t mask = directions_[1];
    const uint32_t lane0 = Lane(xs_[0], ys_[0], 0, mask);
    if (lane0 == id_)
        return true;
    if (lane0 == 0) {
        SetLane(xs_[0], ys_[0], 0, id_, mask);
        return Lane(xs_[0], ys_[0], 0, mask) == id_;
    }
    const uint32_t lane1 = Lane(xs_[0], ys_[0], 1, mask);
    if (lane1 == id_)
        return true;
    if (lane1 == 0) {
        SetLane(xs_[0], ys_[0], 1, id_, mask);
        return Lane(xs_[0], ys_[0], 1, mask) == id_;
    }
    return false;
}

bool PrivateCar::HoldsLane() const {
    const uint8_t mask = directions_[1];
    return Lane(xs_[0], ys_[0], 0, mask) == id_ || Lane(xs_[0], ys_[0], 1, mask) == id_;
}

void PrivateCar::ReleaseReservations() {
    const uint8_t mask = directions_[1];
    for (uint32_t lane = 0; lane < 2; ++lane)
        if (Lane(xs_[0], ys_[0], lane, mask) == id_)
            SetLane(xs_[0], ys_[0], lane, 0, mask);
}

void PrivateCar::WakeNow() {
    nextStep_ = CurrentGameTimeMs();
    SetNextWake(nextStep_);
}

uint32_t PrivateCar::GetStepTime() const {
    return HasMoved() ? nextStep_ - stepStart_ : GetSpeedLimit();
}

uint32_t PrivateCar::GetSpeedLimit() const {
    const PrivateCarRow* row = PrivateCarTable::Find(carType_);
    const uint32_t own = row && row->TravelTimeMsPerSquare > 0 ? uint32_t(row->TravelTimeMsPerSquare) : 0;
    return std::max(RoadSpeedLimitAt(xs_[0], ys_[0]), own);
}

bool PrivateCar::GetPose(MoverPose& pose) const {
    pose = {};
    if (!HoldsLane())
        return false;
    pose.x = xs_[0];
    pose.y = ys_[0];
    pose.previousX = xs_[1];
    pose.previousY = ys_[1];
    pose.stepStart = stepStart_;
    pose.nextStep = nextStep_;
    pose.direction = directions_[0];
    pose.previousDirection = directions_[1];
    pose.directionBefore = directions_[2];
    pose.moved = HasMoved();
    pose.graphicKind = kPrivateCarGraphicKind;
    pose.graphicNumber = carType_;
    return true;
}

void PrivateCar::Serialize() {
    MovingObject::Serialize();
    const bool loading = StreamMode() == kStreamLoad;
    TransferTagList(kTags, [&](uint32_t tag) {
        if (tag != ChunkTag("car1"))
            return;
        uint8_t b[kChunkBytes] = {};
        plat::StoreLE32(b, town_);
        plat::StoreLE32(b + 4, stepStart_);
        plat::StoreLE32(b + 8, nextStep_);
        for (int i = 0; i < 3; ++i) {
            plat::StoreLE32(b + 12 + 4 * i, uint32_t(xs_[i]));
            plat::StoreLE32(b + 24 + 4 * i, uint32_t(ys_[i]));
            b[36 + i] = directions_[i];
        }
        plat::StoreLE32(b + 40, blocker_);
        plat::StoreLE32(b + 44, moved_);
        plat::StoreLE32(b + 48, uint32_t(state_));
        plat::StoreLE32(b + 52, uint32_t(carType_));
        b[56] = nextDirection_;
        plat::StoreLE32(b + 60, travelTime_);
        const uint32_t moved = TransferSized(b, kChunkBytes);
        if (!loading)
            return;
        MoverRecord r;
        r.x = int32_t(plat::LoadLE32(b + 12));
        r.previousX = int32_t(plat::LoadLE32(b + 16));
        r.beforeX = int32_t(plat::LoadLE32(b + 20));
        r.y = int32_t(plat::LoadLE32(b + 24));
        r.previousY = int32_t(plat::LoadLE32(b + 28));
        r.beforeY = int32_t(plat::LoadLE32(b + 32));
        r.directions = {b[36], b[37], b[38], b[56]};
        const uint32_t town = plat::LoadLE32(b);
        const int32_t state = int32_t(plat::LoadLE32(b + 48));
        if (moved < 4 + kChunkBytes || !LoadedMoverFits(r) || town < 1 || town > kMaxCarTowns ||
            state < kDriving || state > kDone) {
            GameLog(
                "private car %u: its record is short or has a tile off the map, a bad direction, town %u or "
                "state %d; it is taken off the road",
                id_, town, state);
            state_ = kDone;
            return;
        }
        town_ = town;
        stepStart_ = plat::LoadLE32(b + 4);
        nextStep_ = plat::LoadLE32(b + 8);
        xs_[0] = r.x;
        xs_[1] = r.previousX;
        xs_[2] = r.beforeX;
        ys_[0] = r.y;
        ys_[1] = r.previousY;
        ys_[2] = r.beforeY;
        for (int i = 0; i < 3; ++i)
            directions_[i] = b[36 + i];
        blocker_ = plat::LoadLE32(b + 40);
        moved_ = plat::LoadLE32(b + 44) != 0 ? 1 : 0;
        state_ = state;
        carType_ = int32_t(plat::LoadLE32(b + 52));
        nextDirection_ = b[56];
        travelTime_ = plat::LoadLE32(b + 60);
        Count(true);
    });
    if (loading) {
        SetTypeIndex(carType_);
        SetPosition(xs_[0], ys_[0]);
        SetNextWake(nextStep_);
    }
}

void SerializePrivateCarTable() {
    static constexpr uint32_t kTags[] = {ChunkTag("pcar")};
    constexpr uint32_t kBytes = 8 + kMaxPrivateCarTypes / 8;
    PrivateCarState& s = CarState();
    TransferTagList(kTags, [&](uint32_t tag) {
        if (tag != ChunkTag("pcar"))
            return;
        uint8_t b[kBytes] = {};
        plat::StoreLE32(b, s.lastSpawn);
        plat::StoreLE32(b + 4, uint32_t(s.availableCount));
        for (uint32_t r = 0; r < kMaxPrivateCarTypes; ++r)
            if (s.available.test(r))
                b[8 + r / 8] |= uint8_t(1u << (r % 8));
        const uint32_t moved = TransferSized(b, kBytes);
        if (StreamMode() != kStreamLoad)
            return;
        const int32_t count = int32_t(plat::LoadLE32(b + 4));
        std::bitset<kMaxPrivateCarTypes> available;
        for (uint32_t r = 0; r < kMaxPrivateCarTypes; ++r)
            if (b[8 + r / 8] & (1u << (r % 8)))
                available.set(r);
        if (moved < 4 + kBytes || count < -1 || (count >= 0 && size_t(count) != available.count())) {
            GameLog(
                "private cars: the spawning record is short or its type count %d does not match; the types "
                "are chosen afresh",
                count);
            s.availableCount = -1;
            return;
        }
        s.lastSpawn = plat::LoadLE32(b);
        s.availableCount = count;
        s.available = available;
    });
}

uint32_t PrivateCarCount(uint32_t town) {
    const PrivateCarState& s = CarState();
    return town >= 1 && town <= s.counts.size() ? s.counts[town - 1] : 0;
}

void ClearPrivateCarTable() {
    PrivateCarState& s = CarState();
    s.counts.clear();
    s.lastSpawn = 0;
    s.availableCount = -1;
}

void RemoveAllPrivateCars() {
    std::vector<ObjectHandle> doomed;
    ForEachMovingObject([&](MovingObject& object) {
        if (object.GetMovingKind() == kMovingKindCar)
            doomed.push_back(object.GetId());
        return true;
    });
    for (ObjectHandle id : doomed)
        DeleteMapObject(id);
    PrivateCarState& s = CarState();
    s.counts.clear();
    s.availableCount = -1;
}

bool BeginPrivateCarPass(uint32_t now) {
    PrivateCarState& s = CarState();
    if (uint64_t(s.lastSpawn) + 500 > now)
        return false;
    if (s.availableCount < 0)
        RebuildAvailableTypes(s);
    if (s.availableCount <= 0)
        return false;
    s.lastSpawn = now;
    return true;
}

int32_t AvailablePrivateCarTypes() {
    return CarState().availableCount;
}

bool PrivateCarSpawnTileFree(int32_t x, int32_t y) {
    static constexpr int32_t kAround[5][2] = {{0, 0}, {0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    for (const auto& d : kAround) {
        const int32_t tx = x + d[0], ty = y + d[1];
        if (!OnMap(tx, ty))
            continue;
        for (uint32_t lane = 0; lane < 2; ++lane)
            if (Lane(tx, ty, lane, 15) != 0)
                return false;
    }
    return true;
}

PrivateCar* SpawnPrivateCar(uint32_t town, int32_t x, int32_t y) {
    MapObject* object = CreateMapObject(kCategoryMoving, kPrivateCarSubtype);
    auto* car = dynamic_cast<PrivateCar*>(object);
    if (!car) {
        if (object)
            DeleteMapObject(object->GetId());
        return nullptr;
    }
    car->Init(town, x, y);
    car->Reserve();
    return car;
}
