#include "vehicles/vehicle.h"

#include "data/generated/vehicle_tables.h"
#include "files/chunk_transfer.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule_list.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/prices.h"
#include "world/world_map.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t kTags[] = {ChunkTag("vec1"), ChunkTag("vec2"), ChunkTag("vec3"), ChunkTag("vec4"),
                              ChunkTag("vec5"), ChunkTag("vec6"), ChunkTag("vec7"), ChunkTag("vec8"),
                              ChunkTag("sch"),  ChunkTag("dat1"), ChunkTag("dat2"), 0};
constexpr uint32_t kDataTag = ChunkTag("data");
// A reserved slot names a platform or bay: at most 64 of them.
constexpr uint32_t kMaxSlot = 64;
// The slot numbers that have a reservation bit.
constexpr uint32_t kMaxReservedBit = 31;

const char* const kStateNames[20] = {
    "ST_VEHICLE_DEAD",
    "ST_VEHICLE_WAITS_PLACING",
    "ST_VEHICLE_MOVING",
    "ST_VEHICLE_ARRIVES_AT_STATION",
    "ST_VEHICLE_UNLOADING",
    "ST_VEHICLE_READY_TO_GO",
    "ST_VEHICLE_BLOCKED_AT_STATION",
    "ST_VEHICLE_BLOCKED_ON_TRACK",
    "ST_VEHICLE_ENTERING_STATION",
    "ST_VEHICLE_WAITING_IN_STATION",
    "ST_VEHICLE_WAITS_PASSING",
    "ST_VEHICLE_IS_PASSING",
    "ST_VEHICLE_IS_TURNING",
    "ST_VEHICLE_IS_BROKEN",
    "ST_VEHICLE_READY_TO_BE_REMOVED",
    "",
    "ST_VEHICLE_TANKING_WATER",
    "ST_VEHICLE_LOADING",
    "ST_VEHICLE_TANKING_WATER_IN_STATION",
    "ST_VEHICLE_AIR_FLY_TO_NEW_STATION",
};

uint32_t Now() {
    return CurrentGameTimeMs();
}

// A list of fixed-size records, field images made by the caller.
template <typename T, size_t N, typename ToBytes, typename FromBytes>
void TransferRecords(std::vector<T>& values, ToBytes toBytes, FromBytes fromBytes) {
    const bool loading = StreamMode() == kStreamLoad;
    if (loading && ChunkBytesLeft() == 0)
        return;
    uint32_t count = uint32_t(values.size());
    const uint32_t stored = TransferListHeader(count, uint32_t(N));
    if (StreamFailed() || (loading && stored == 0))
        return;
    if (loading)
        values.assign(count, T{});
    for (T& value : values) {
        uint8_t bytes[N];
        toBytes(value, bytes);
        TransferListElement(bytes, uint32_t(N), loading ? stored : uint32_t(N));
        if (loading)
            fromBytes(bytes, value);
    }
}

void TransferCargoBook(CargoBook& book) {
    const bool loading = StreamMode() == kStreamLoad;
    uint32_t count = uint32_t(book.aboard.size());
    if (Transfer(count) < 4)
        return;
    // An entry takes a sized key and a list header at least.
    if (loading && uint64_t(count) * 16 > ChunkBytesLeft()) {
        GameLog("vehicle: a cargo book announces %u destinations in %u bytes", count, ChunkBytesLeft());
        count = 0;
        book.aboard.clear();
        return;
    }
    auto aboard = book.aboard.begin();
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t key = loading ? 0 : aboard->first;
        std::vector<CargoRecord> empty;
        std::vector<CargoRecord>& records = loading ? empty : aboard->second;
        TransferSizedValue(key);
        TransferRecords<CargoRecord, 20>(
            records,
            [](const CargoRecord& r, uint8_t* b) {
                plat::StoreLE32(b, r.destination);
                plat::StoreLE32(b + 4, r.time);
                plat::StoreLE32(b + 8, r.amount);
                plat::StoreLE32(b + 12, uint32_t(r.boardX));
                plat::StoreLE32(b + 16, uint32_t(r.boardY));
            },
            [](const uint8_t* b, CargoRecord& r) {
                r.destination = plat::LoadLE32(b);
                r.time = plat::LoadLE32(b + 4);
                r.amount = plat::LoadLE32(b + 8);
                r.boardX = int32_t(plat::LoadLE32(b + 12));
                r.boardY = int32_t(plat::LoadLE32(b + 16));
            });
        if (loading)
            book.aboard[key] = std::move(records);
        else
            ++aboard;
    }
    uint32_t outer = uint32_t(book.boardings.size());
    if (Transfer(outer) < 4)
        return;
    if (loading && uint64_t(outer) * 12 > ChunkBytesLeft()) {
        GameLog("vehicle: a cargo book announces %u boarding lists in %u bytes", outer, ChunkBytesLeft());
        book.boardings.clear();
        return;
    }
    auto it = book.boardings.begin();
    for (uint32_t i = 0; i < outer; ++i) {
        uint32_t key = loading ? 0 : it->first;
        TransferSizedValue(key);
        std::map<uint32_t, uint32_t> empty;
        std::map<uint32_t, uint32_t>& inner = loading ? empty : it->second;
        uint32_t n = uint32_t(inner.size());
        Transfer(n);
        if (loading && uint64_t(n) * 16 > ChunkBytesLeft()) {
            GameLog("vehicle: a boarding list announces %u entries in %u bytes", n, ChunkBytesLeft());
            return;
        }
        auto entry = inner.begin();
        for (uint32_t k = 0; k < n; ++k) {
            uint32_t from = loading ? 0 : entry->first;
            uint32_t value = loading ? 0 : entry->second;
            TransferSizedValue(from);
            TransferSizedValue(value);
            if (loading)
                inner[from] = value;
            else
                ++entry;
        }
        if (loading)
            book.boardings[key] = std::move(inner);
        else
            ++it;
    }
}

} // namespace

const char* VehicleStateName(int32_t state) {
    return state >= 0 && state < 20 ? kStateNames[state] : "";
}

Vehicle* GetVehicle(ObjectHandle id) {
    return dynamic_cast<Vehicle*>(MovingObjectFromId(id));
}

std::vector<Vehicle*> AllVehicles() {
    std::vector<Vehicle*> out;
    ForEachMovingObject([&out](MovingObject& object) {
        if (auto* v = dynamic_cast<Vehicle*>(&object))
            out.push_back(v);
        return true;
    });
    return out;
}

std::vector<Vehicle*> VehiclesOf(int32_t owner, int32_t mode) {
    std::vector<Vehicle*> out;
    for (Vehicle* v : AllVehicles())
        if (v->GetOwner() == owner && v->GetConnectionType() == mode)
            out.push_back(v);
    return out;
}

Vehicle::~Vehicle() {
    // The schedule belongs to the list; the reservations of a running
    // vehicle are given up by its seller (see ReleaseForRemoval), since the
    // world's other objects may already be gone here.
    schedule_ = nullptr;
}

uint32_t Vehicle::U32(uint32_t at) const {
    return plat::LoadLE32(block_.data() + at);
}

void Vehicle::SetU32(uint32_t at, uint32_t v) {
    plat::StoreLE32(block_.data() + at, v);
}

float Vehicle::F32(uint32_t at) const {
    return std::bit_cast<float>(U32(at));
}

void Vehicle::SetF32(uint32_t at, float v) {
    SetU32(at, std::bit_cast<uint32_t>(v));
}

void Vehicle::SetWake(uint32_t previous, uint32_t next) {
    SetU32(20, previous);
    SetU32(24, next);
    SetNextWake(next);
}

const VehicleRow* Vehicle::Row() const {
    return VehicleTable::Find(GetTypeIndex());
}

int32_t Vehicle::GetVehicleType() const {
    const VehicleRow* row = Row();
    return row ? row->VehicleType : 0;
}

int32_t Vehicle::GetConnectionType() const {
    const VehicleRow* row = Row();
    return row && row->ConnectionType >= 0 && row->ConnectionType < 4 ? row->ConnectionType : 0;
}

uint32_t Vehicle::GetCapacity() const {
    const VehicleRow* row = Row();
    return row && row->Capacity > 0 ? uint32_t(row->Capacity) : 0;
}

int64_t Vehicle::GetCurrentValue() const {
    const GameClock* clock = GetGameClock();
    const uint32_t year = clock ? clock->GetCurrentYear() : kFirstYear;
    const uint32_t years = year >= GetPurchaseYear() ? year - GetPurchaseYear() : 0;
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const uint32_t lifetime =
        constants && constants->DepreciationTime > 0 ? uint32_t(constants->DepreciationTime) : 0;
    if (years >= lifetime)
        return 0;
    const uint32_t price = uint32_t(GetVehiclePrice(GetTypeIndex(), uint32_t(std::max(owner_, 0))));
    return int64_t(price - price / lifetime * years);
}

int32_t Vehicle::GetScheduleIndex() const {
    return schedule_ ? schedule_->GetId() : -1;
}

uint32_t Vehicle::GetNextStop() const {
    const uint32_t count = schedule_ ? schedule_->GetStopCount() : 0;
    return count ? (GetCurrentStop() + 1) % count : 0;
}

void Vehicle::SizeVectors() {
    trail_.resize(kTrail);
    trailObjects_.resize(kTrail);
    trailFlags_.resize(kTrail);
    if (motion_.size() > kTrail)
        motion_.resize(kTrail);
    cars_.resize(kCars);
}

void Vehicle::ResetCargoBooks() {
    passengers_ = {};
    mail_ = {};
    SetU32(212, 0);
    SetU32(216, 0);
    SetU32(228, 0);
    SetU32(232, 0);
}

void Vehicle::Init(int32_t type, int32_t owner, uint32_t value) {
    block_.fill(0);
    SetU32(96, value);
    SetState(kStateIdle);
    ResetCargoBooks();
    SetTypeIndex(type);
    SetOwner(owner);
    route_.reset();
    // The schedule is the list's: only the pointer goes.
    schedule_ = nullptr;
    cars_.assign(kCars, CarRecord{});
    trail_.assign(kTrail, TrailPoint{});
    trailObjects_.assign(kTrail, 0);
    trailFlags_.assign(kTrail, 0);
    motion_.clear();
    SetF32(72, 100.0f);
    SetF32(120, 100.0f);
    block_[31] = 1;
    block_[32] = 1;
    const GameClock* clock = GetGameClock();
    const uint64_t ticks = clock ? clock->GetTicks() : 0;
    plat::StoreLE64(block_.data() + 48, ticks);
    plat::StoreLE64(block_.data() + 56, ticks);
    SetU32(88, 1);
    SetU32(8, 1000000);
    SetU32(108, clock ? clock->GetCurrentYear() : kFirstYear);
    uint32_t highest = 0;
    const int32_t mode = GetConnectionType();
    for (Vehicle* other : VehiclesOf(owner, mode))
        if (other != this)
            highest = std::max(highest, other->GetNumber());
    SetU32(112, highest + 1);
}

void Vehicle::SetHead(int32_t x, int32_t y) {
    std::move_backward(trail_.begin(), trail_.end() - 1, trail_.end());
    std::move_backward(trailObjects_.begin(), trailObjects_.end() - 1, trailObjects_.end());
    std::move_backward(trailFlags_.begin(), trailFlags_.end() - 1, trailFlags_.end());
    trail_[0] = {x, y};
    trailObjects_[0] = 0;
    trailFlags_[0] = 0;
    SetPosition(x, y);
}

void Vehicle::ReleaseStationSlot() {
    if (GetConnectionType() == kModeAir) {
        ReleaseAirSlot();
        return;
    }
    if (!schedule_)
        return;
    const uint32_t slot = GetReservedSlot();
    const int32_t mode = GetConnectionType();
    // The slot is held at the current stop's station; the next stop's
    // station may have promised one too (its vehicle set holds the id).
    const uint32_t current = GetCurrentStop();
    const uint32_t next = GetNextStop();
    for (uint32_t stop : {current, next}) {
        Station* station = schedule_->GetStopStation(stop);
        if (!station || (stop != current && !station->HasVehicle(id_)))
            continue;
        if (slot != 0 && (mode == kModeWater || mode == kModeAir) && station->GetBusySlot() == slot)
            station->SetBusySlot(0);
        if (slot >= 1 && slot <= kMaxReservedBit)
            station->SetLoadAreaReserved(slot, false);
        station->EraseKey(id_);
        if (next == current)
            break;
    }
    SetU32(16, 0);
}

void Vehicle::ReleaseReservations() {
    ReleaseLanes();
}

void Vehicle::TakeUnits() {
    if (!schedule_)
        return;
    const auto block = schedule_->GetSettingsBlock();
    for (uint32_t i = 0; i < kUnits; ++i) {
        const ObjectHandle unit = i < VehicleSchedule::kSettingsVehicles ? block[i] : 0;
        Vehicle* other = unit && unit != id_ ? GetVehicle(unit) : nullptr;
        // Only idle or held vehicles of the same owner can be coupled.
        if (!other || other->GetOwner() != owner_ ||
            (other->GetState() != kStateIdle && other->GetState() != kStateHeld)) {
            SetUnit(i, i == 0 ? id_ : 0);
            continue;
        }
        SetUnit(i, unit);
        other->SetState(kStateCoupled);
        for (uint32_t k = 0; k < kUnits; ++k)
            other->SetUnit(k, 0);
        other->ResetCargoBooks();
    }
    if (GetUnit(0) == 0)
        SetUnit(0, id_);
}

void Vehicle::ReleaseUnits(bool keepOwn) {
    for (uint32_t i = 0; i < kUnits; ++i) {
        const ObjectHandle unit = GetUnit(i);
        Vehicle* other = unit && unit != id_ ? GetVehicle(unit) : nullptr;
        if (other && (other->GetState() == kStateCoupled || other->GetState() == kStateHeld)) {
            other->SetState(kStateIdle);
            other->schedule_ = nullptr;
            for (uint32_t k = 0; k < kUnits; ++k)
                other->SetUnit(k, 0);
            other->ResetCargoBooks();
        }
        if (!keepOwn || unit != id_)
            SetUnit(i, 0);
    }
}

void Vehicle::SetSchedule(VehicleSchedule* schedule) {
    if (!schedule || GetState() == kStateBroken)
        return;
    VehicleSchedule* listed = schedule;
    if (schedule->GetId() < 0 || ::GetSchedule(uint32_t(schedule->GetId())) != schedule)
        listed = RegisterSchedule(CopySchedule(*schedule, id_));
    const uint32_t now = Now();
    if (GetState() == kStateIdle || !schedule_) {
        schedule_ = listed;
        SetU32(0, 0);
        SetState(kStateWaitsPlacing);
        SetWake(now, now);
        SetU32(244, 0);
        TakeUnits();
        return;
    }
    // The old stops are still the schedule's: give up their slot first.
    const ObjectHandle oldNext = schedule_->GetStopTarget(GetNextStop());
    ReleaseStationSlot();
    ReleaseUnits(true);
    schedule_ = listed;
    if (GetCurrentStop() >= schedule_->GetStopCount())
        SetU32(0, 0);
    TakeUnits();
    if (schedule_->LacksStations(true) || schedule_->GetStopTarget(GetNextStop()) != oldNext) {
        route_.reset();
        SetRoutePosition(1);
        SetState(kStateBlockedOnTrack);
    } else if (GetState() == kStateUnloading) {
        SetState(kStateBlockedAtStation);
    }
    SetWake(now, now);
}

void Vehicle::RemoveFromSchedule(int32_t index) {
    if (!schedule_ || schedule_->GetId() != index)
        return;
    ReleaseStationSlot();
    ReleaseSignalBlocks();
    ReleaseReservations();
    ReleaseUnits(true);
    schedule_ = nullptr;
    route_.reset();
    SetState(kStateIdle);
    ResetCargoBooks();
}

void Vehicle::ReleaseForRemoval() {
    // Everything it holds goes: the slot and queue place at its stops, its
    // signal block and its lanes.
    if (GetState() > kStateDead && GetState() != kStateReadyToBeRemoved) {
        ReleaseStationSlot();
        ReleaseSignalBlocks();
    }
    ReleaseReservations();
    ReleaseUnits(false);
    schedule_ = nullptr;
}

void Vehicle::WakeNow() {
    SetWake(U32(20), Now());
}

void Vehicle::RepairLoaded() {
    SizeVectors();
    const int32_t state = GetState();
    if (state < kStateIdle || state > kStateFlyToNewStation || state == 15) {
        GameLog("vehicle %u: state %d is unknown; it waits blocked", id_, state);
        SetState(kStateBlockedOnTrack);
    }
    if (GetReservedSlot() > kMaxSlot) {
        GameLog("vehicle %u: reserved slot %u is beyond %u; none is held", id_, GetReservedSlot(), kMaxSlot);
        SetU32(16, 0);
    }
    RecountCargo();
    SetNextWake(U32(24));
    if (GetOccupiedLength() > kTrail)
        SetOccupiedLength(kTrail);
    InvalidateLanes();
}

void Vehicle::Serialize() {
    MapObject::Serialize();
    const bool loading = StreamMode() == kStreamLoad;
    if (loading)
        SizeVectors();
    uint32_t routeCount = route_ ? route_->Count() : 0;
    bool haveCount = false;
    TransferTagList(kTags, [&](uint32_t tag) {
        switch (tag) {
        case ChunkTag("vec1"):
            TransferSized(block_.data(), kBlockBytes);
            return;
        case ChunkTag("vec2"):
            TransferRecords<CarRecord, 20>(
                cars_,
                [](const CarRecord& c, uint8_t* b) {
                    plat::StoreLE32(b, uint32_t(c.product));
                    plat::StoreLE32(b + 4, uint32_t(c.word1));
                    plat::StoreLE32(b + 8, uint32_t(c.amount));
                    plat::StoreLE32(b + 12, uint32_t(c.word3));
                    plat::StoreLE32(b + 16, uint32_t(c.word4));
                },
                [](const uint8_t* b, CarRecord& c) {
                    c.product = int32_t(plat::LoadLE32(b));
                    c.word1 = int32_t(plat::LoadLE32(b + 4));
                    c.amount = int32_t(plat::LoadLE32(b + 8));
                    c.word3 = int32_t(plat::LoadLE32(b + 12));
                    c.word4 = int32_t(plat::LoadLE32(b + 16));
                });
            return;
        case ChunkTag("vec3"):
            TransferRecords<TrailPoint, 8>(
                trail_,
                [](const TrailPoint& p, uint8_t* b) {
                    plat::StoreLE32(b, uint32_t(p.x));
                    plat::StoreLE32(b + 4, uint32_t(p.y));
                },
                [](const uint8_t* b, TrailPoint& p) {
                    p.x = int32_t(plat::LoadLE32(b));
                    p.y = int32_t(plat::LoadLE32(b + 4));
                });
            return;
        case ChunkTag("vec4"):
            TransferRecords<std::array<uint32_t, kMotionWords>, 4 * kMotionWords>(
                motion_,
                [](const std::array<uint32_t, kMotionWords>& m, uint8_t* b) {
                    for (uint32_t w = 0; w < kMotionWords; ++w)
                        plat::StoreLE32(b + 4 * w, m[w]);
                },
                [](const uint8_t* b, std::array<uint32_t, kMotionWords>& m) {
                    for (uint32_t w = 0; w < kMotionWords; ++w)
                        m[w] = plat::LoadLE32(b + 4 * w);
                });
            return;
        case ChunkTag("vec5"):
            TransferCargoBook(passengers_);
            return;
        case ChunkTag("vec6"):
            TransferCargoBook(mail_);
            return;
        case ChunkTag("vec7"):
            TransferVector(trailObjects_);
            return;
        case ChunkTag("vec8"): {
            uint32_t data = kDataTag;
            BeginChunk(data);
            if (data == kDataTag)
                TransferVector(trailFlags_);
            EndChunk();
            return;
        }
        case ChunkTag("sch"): {
            int32_t index = GetScheduleIndex();
            TransferSizedValue(index);
            if (loading)
                schedule_ = index >= 0 ? ::GetSchedule(uint32_t(index)) : nullptr;
            return;
        }
        case ChunkTag("dat1"):
            TransferSizedValue(routeCount);
            haveCount = true;
            return;
        case ChunkTag("dat2"): {
            if (!loading) {
                for (uint32_t i = 0; i < routeCount; ++i) {
                    Waypoint w = route_->Get(i);
                    TransferSizedValue(w.x);
                    TransferSizedValue(w.y);
                    TransferSizedValue(w.value);
                    TransferSizedValue(w.direction);
                }
                return;
            }
            if (!haveCount)
                return;
            // Each entry takes four sized fields, 29 bytes.
            if (uint64_t(routeCount) * 29 > ChunkBytesLeft()) {
                GameLog("vehicle %u: its route announces %u entries in %u bytes; it plans anew", id_,
                        routeCount, ChunkBytesLeft());
                return;
            }
            auto route = std::make_unique<WaypointList>(std::max<uint32_t>(routeCount, 1));
            const WorldMap& map = GetWorldMap();
            bool onMap = true;
            for (uint32_t i = 0; i < routeCount; ++i) {
                Waypoint w;
                TransferSizedValue(w.x);
                TransferSizedValue(w.y);
                TransferSizedValue(w.value);
                TransferSizedValue(w.direction);
                onMap = onMap && w.x < map.GetWidth() && w.y < map.GetHeight();
                route->Add(w.x, w.y);
                route->SetValue(i, w.value);
                route->SetDirection(i, w.direction);
            }
            if (!onMap) {
                GameLog("vehicle %u: its route leaves the map; it plans anew", id_);
                return;
            }
            route_ = std::move(route);
            return;
        }
        default:
            return;
        }
    });
    if (loading)
        RepairLoaded();
}
