#include "vehicles/train_composition.h"

#include "data/generated/economy_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game_log.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/train_platform.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_loading.h"
#include "vehicles/vehicle_trail.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>
#include <map>

namespace {

constexpr uint32_t kModeRoadComposition = 0;
constexpr uint32_t kModeRailComposition = 1;
constexpr uint32_t kModeWaterComposition = 2;
// Shown variants: ships show 50, a loaded road unit its variant + 50.
constexpr int32_t kShipShownVariant = 50;
// Road trailer rows by the last unit's VehicleType.
constexpr int32_t kNoTrailersKind = 2;
constexpr int32_t kHorseKind = 1;
constexpr int32_t kPaddedKind = 18;
constexpr int32_t kTrailerOffsets[][2] = {{3, 100}, {4, 200}, {kPaddedKind, 300}};
// The unit of a layout entry without a length.
constexpr int32_t kDefaultPartLength = int32_t(kQuarterSquares);

// The layout codes of a type; a type without a layout is one unit.
std::vector<int32_t> LayoutOf(const VehicleRow& row) {
    std::vector<int32_t> codes;
    const ValueTable& t = row.VehicleLayout;
    for (uint32_t c = 0; c < t.ColumnCount(); ++c)
        codes.push_back(t.IntCell(c, 0));
    if (codes.empty())
        codes.push_back(1);
    return codes;
}

int32_t LengthEntry(const VehicleRow& row, uint32_t k) {
    const ValueTable& t = row.VehicleLength;
    const int32_t v = k < t.ColumnCount() && t.RowCount() > 0 ? t.IntCell(k, 0) : 0;
    return v > 0 ? v : kDefaultPartLength;
}

int32_t WaggonLength(int32_t waggon) {
    const WaggonsRow* w = WaggonsTable::Find(waggon);
    if (!w)
        return kDefaultPartLength;
    const int32_t fromTable = w->VehicleLengthTable.IntCell(0, 0);
    if (fromTable > 0)
        return fromTable;
    return w->VehicleLength > 0 ? w->VehicleLength : kDefaultPartLength;
}

// The station stop that decides the cars: n, or the nearest earlier one
// with a product, at most count + 3 steps back.
uint32_t DecidingStop(const VehicleSchedule& schedule, uint32_t n) {
    const uint32_t count = schedule.GetStationStopCount();
    if (count == 0)
        return n;
    uint32_t d = n % count;
    for (uint32_t steps = 0; steps < count + 3 && schedule.GetProductCount(d) == 0; ++steps)
        d = d == 0 ? count - 1 : d - 1;
    return d;
}

// The product of a slot for a horse trailer: that of the nearest earlier
// stop whose same slot holds one when this stop's is empty.
int32_t HorseProduct(const VehicleSchedule& schedule, uint32_t d, uint32_t slot) {
    const uint32_t count = std::max<uint32_t>(schedule.GetStationStopCount(), 1);
    for (uint32_t steps = 0; steps <= count + 2; ++steps) {
        const int32_t p = schedule.GetProduct(d, slot);
        if (p != -1)
            return p;
        d = d == 0 ? count - 1 : d - 1;
    }
    return -1;
}

CompositionPart CarPart(uint32_t mode, int32_t unitType, int32_t lastKind, const VehicleSchedule& schedule,
                        uint32_t d, int32_t slot) {
    CompositionPart part;
    part.kind = kPartCar;
    part.productSlot = slot;
    const int32_t product = slot >= 0 ? schedule.GetProduct(d, uint32_t(slot)) : -1;
    if (mode == kModeRailComposition) {
        part.type = std::max(WaggonTypeFor(unitType, product), 0);
        const WaggonsRow* w = WaggonsTable::Find(part.type);
        part.shownVariant = product != -1 && w && w->ShowsLoadedState ? 1 : 0;
        part.length = WaggonLength(part.type);
        return part;
    }
    if (mode == kModeRoadComposition) {
        int32_t type = 0;
        for (const auto& [kind, offset] : kTrailerOffsets)
            if (lastKind == kind)
                type += offset;
        if (lastKind == kHorseKind && slot >= 0) {
            const ProductRow* p = ProductTable::Find(HorseProduct(schedule, d, uint32_t(slot)));
            type = p ? p->HorseTrailerType : 0;
        }
        part.type = type;
        const TruckTrailerRow* t = TruckTrailerTable::Find(type);
        part.shownVariant = product != -1 && t && t->ShowsLoadedState ? 1 : 0;
        part.length = t && t->VehicleLength > 0 ? t->VehicleLength : kDefaultPartLength;
        return part;
    }
    part.type = unitType;
    return part;
}

} // namespace

int32_t WaggonTypeFor(int32_t vehicleType, int32_t product) {
    if (const VehicleRow* row = VehicleTable::Find(vehicleType)) {
        const auto it = row->SpecialWaggonTypes.find(product);
        if (it != row->SpecialWaggonTypes.end() && WaggonsTable::Find(it->second))
            return it->second;
    }
    const ProductRow* p = ProductTable::Find(product);
    return p && WaggonsTable::Find(p->WaggonType) ? p->WaggonType : -1;
}

void DispatchByMode(const VehicleSchedule& schedule, uint32_t stationStop, bool idsOnly,
                    std::vector<CompositionPart>& out) {
    const auto block = schedule.GetSettingsBlock();
    UnitHandles handles{};
    std::copy_n(block.begin(), handles.size(), handles.begin());
    ComposeParts(schedule.GetMode(), schedule, handles, stationStop, idsOnly, out);
}

void ComposeParts(uint32_t mode, const VehicleSchedule& schedule, const UnitHandles& handles,
                  uint32_t stationStop, bool idsOnly, std::vector<CompositionPart>& out) {
    out.clear();
    if (mode == kModeRoadComposition && handles[0] == 0)
        return;
    const uint32_t d = DecidingStop(schedule, stationStop);
    int32_t counter = 0;
    int32_t firstType = -1;
    int32_t lastKind = -1;
    int32_t lastLayoutSize = 0;
    std::map<int32_t, uint32_t> seenOfType;
    for (uint32_t i = 0; i < handles.size() && handles[i] != 0; ++i) {
        const Vehicle* unit = GetVehicle(handles[i]);
        const VehicleRow* row = unit ? unit->Row() : nullptr;
        if (!row)
            continue;
        const int32_t type = unit->GetTypeIndex();
        if (firstType < 0)
            firstType = type;
        lastKind = row->VehicleType;
        const std::vector<int32_t> codes = LayoutOf(*row);
        lastLayoutSize = int32_t(codes.size());
        // Every second unit of a type that can be mirrored is laid the
        // other way round.
        const bool mirrored =
            mode == kModeRailComposition && row->CanBeMirrored && ++seenOfType[type] % 2 == 0;
        for (uint32_t e = 0; e < codes.size(); ++e) {
            const uint32_t k = mirrored ? uint32_t(codes.size()) - 1 - e : e;
            const int32_t code = codes[k];
            if (code == 0) {
                if (mode != kModeRailComposition || idsOnly)
                    continue;
                for (int32_t w = 0; w < row->NrOfWaggonsPerBlock; ++w)
                    out.push_back(CarPart(mode, type, lastKind, schedule, d, counter++));
                continue;
            }
            CompositionPart part;
            if (mode == kModeRailComposition) {
                switch (code) {
                case 1:
                    part.kind = mirrored ? kPartUnitTurned : kPartUnit;
                    break;
                case 2:
                    part.kind = mirrored ? kPartUnitSecondTurned : kPartUnitSecond;
                    break;
                case -1:
                    part.kind = mirrored ? kPartUnit : kPartUnitTurned;
                    break;
                case -2:
                    part.kind = mirrored ? kPartUnitSecond : kPartUnitSecondTurned;
                    break;
                default:
                    continue;
                }
                part.variant = code == 2 || code == -2 ? 1 : 0;
                part.shownVariant = part.variant;
            } else {
                if (code != 1)
                    continue;
                part.kind = kPartUnit;
                part.shownVariant = mode == kModeWaterComposition ? kShipShownVariant : 0;
            }
            part.type = type;
            part.productSlot = row->CanCarryProduct ? counter++ : -1;
            part.length = idsOnly ? int32_t(handles[i]) : LengthEntry(*row, k);
            out.push_back(part);
        }
    }
    if (idsOnly)
        return;
    const int32_t products = int32_t(schedule.GetProductCount(d));
    if (mode == kModeRoadComposition) {
        if (lastKind == kNoTrailersKind)
            return;
        if (products == 0 && lastKind != kPaddedKind) {
            out.push_back(CarPart(mode, firstType, lastKind, schedule, d, -1));
            return;
        }
    }
    for (int32_t slot = counter; slot < products; ++slot)
        out.push_back(CarPart(mode, firstType, lastKind, schedule, d, slot));
    if (mode == kModeRoadComposition && lastKind == kPaddedKind)
        while (int32_t(out.size()) < lastLayoutSize)
            out.push_back(CarPart(mode, firstType, lastKind, schedule, d, -1));
}

float CompositionLoad(const VehicleSchedule& schedule, uint32_t stationStop) {
    std::vector<CompositionPart> parts;
    DispatchByMode(schedule, stationStop, false, parts);
    const uint32_t mode = schedule.GetMode();
    auto weightOf = [](int32_t product) {
        const ProductRow* p = ProductTable::Find(product);
        return p ? p->ProductWeight : 0.0f;
    };
    float load = 0.0f;
    for (const CompositionPart& part : parts) {
        const int32_t product =
            part.productSlot >= 0 ? schedule.GetProduct(stationStop, uint32_t(part.productSlot)) : -1;
        if (product == kPassengerCargo || product == kMailCargo) {
            const bool mail = product == kMailCargo;
            int32_t seats = 0;
            if (part.kind == kPartCar && mode == kModeRoadComposition) {
                if (const TruckTrailerRow* t = TruckTrailerTable::Find(part.type))
                    seats = mail ? t->MailCapacity : t->PassengerCapacity;
            } else if (part.kind == kPartCar && mode == kModeRailComposition) {
                if (const WaggonsRow* w = WaggonsTable::Find(part.type))
                    seats = mail ? w->MailCapacity : w->PassengerCapacity;
            } else if (const VehicleRow* v = VehicleTable::Find(part.type)) {
                seats = mail ? v->MailCapacity : v->PassengerCapacity;
            }
            load += float(std::max(seats, 0)) * weightOf(product);
        } else if (product != -1 && mode == kModeRailComposition) {
            load += weightOf(product);
        }
    }
    if (mode == kModeRailComposition) {
        for (const CompositionPart& part : parts)
            if (part.kind == kPartCar)
                if (const WaggonsRow* w = WaggonsTable::Find(part.type))
                    load += w->Weight;
    } else {
        const int32_t* list = nullptr;
        const int32_t at = schedule.StationStopIndex(stationStop);
        const uint32_t used = at < 0 ? 0 : schedule.GetProducts(uint32_t(at), &list);
        for (uint32_t k = 0; k < used; ++k)
            if (list[k] != -1 && list[k] != kPassengerCargo && list[k] != kMailCargo)
                load += weightOf(list[k]);
    }
    return load;
}

// ---- The vehicle's side: its car motion records from the schedule. ----

uint32_t Vehicle::GetCurrentStationStop() const {
    if (!schedule_)
        return 0;
    uint32_t n = 0;
    const uint32_t stop = std::min(GetCurrentStop(), schedule_->GetStopCount());
    for (uint32_t i = 0; i < stop; ++i)
        n += schedule_->GetStopKind(i) == StopRecord::kStation ? 1 : 0;
    return n;
}

void Vehicle::ComposeFromSchedule() {
    if (!schedule_)
        return;
    // The units as coupled, this vehicle first, by its own transport mode.
    UnitHandles handles{};
    for (uint32_t i = 0; i < kUnits; ++i)
        handles[i] = GetUnit(i);
    if (handles[0] == 0)
        handles[0] = id_;
    std::vector<CompositionPart> parts;
    ComposeParts(uint32_t(GetConnectionType()), *schedule_, handles, GetCurrentStationStop(), false, parts);
    if (parts.size() > kTrail) {
        GameLog("vehicle %u: %zu parts, a train has at most %u", id_, parts.size(), kTrail);
        parts.resize(kTrail);
    }
    const uint32_t wake = U32(24);
    std::vector<MotionRecord> records;
    for (const CompositionPart& part : parts) {
        MotionRecord m{};
        m[kCarKind] = uint32_t(part.kind);
        m[kCarSprite] = uint32_t(part.type);
        m[kCarEmptyFrame] = uint32_t(part.variant);
        m[kCarLoadedFrame] = uint32_t(part.shownVariant);
        m[kCarIndex] = uint32_t(part.productSlot);
        m[kCarLength] = uint32_t(std::max(part.length, 0));
        m[kCarMode] = kCarFollowsTrail;
        m[kCarStart] = wake;
        m[kCarEnd] = wake;
        m[kCarX] = uint32_t(trail_[0].x);
        m[kCarY] = uint32_t(trail_[0].y);
        m[kCarProgress] = std::bit_cast<uint32_t>(1.0f);
        records.push_back(m);
    }
    motion_ = std::move(records);
    SetOccupiedLength(GetTrainTiles());
}

uint32_t Vehicle::GetTrainTiles() const {
    uint64_t quarters = 0;
    for (const MotionRecord& m : motion_)
        quarters += std::min<uint32_t>(m[kCarLength], 4 * kTrail);
    return uint32_t(std::max<uint64_t>((quarters + kQuarterSquares - 1) / kQuarterSquares, 1));
}

void Vehicle::RebuildConsistFromSchedule() {
    if (!schedule_)
        return;
    const auto block = schedule_->GetSettingsBlock();
    // This vehicle first, then the block's units in its order. Coupling
    // is the stop's business (it checks owner and state): only units
    // already coupled to this vehicle are taken, so a block naming a
    // stranger's or a running vehicle couples nothing. A block that names
    // no vehicle leaves the vehicle its own units.
    if (block[0] != 0) {
        std::array<ObjectHandle, kUnits> coupled{};
        for (uint32_t i = 0; i < kUnits; ++i)
            coupled[i] = GetUnit(i);
        std::array<ObjectHandle, kUnits> units{};
        units[0] = id_;
        uint32_t n = 1;
        for (uint32_t i = 0; i < VehicleSchedule::kSettingsVehicles && n < kUnits; ++i) {
            const ObjectHandle h = block[i];
            if (h == 0 || h == id_ || std::find(coupled.begin(), coupled.end(), h) == coupled.end() ||
                std::find(units.begin(), units.begin() + n, h) != units.begin() + n)
                continue;
            units[n++] = h;
        }
        // A coupled unit the block no longer names stays on until the
        // stop releases it, never left coupled to nothing.
        for (const ObjectHandle h : coupled)
            if (h != 0 && h != id_ && n < kUnits &&
                std::find(units.begin(), units.begin() + n, h) == units.begin() + n)
                units[n++] = h;
        for (uint32_t i = 0; i < kUnits; ++i)
            SetUnit(i, units[i]);
    }
    ComposeFromSchedule();
    SetOccupiedLength(GetTrainTiles());
    UpdateConsistLimits();
    UpdatePassengerCapacity();
    UpdateMailCapacity();
    ComputeTrainWeight();
}
