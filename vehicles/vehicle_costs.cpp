// A vehicle's economic and physical bookkeeping: acceleration for its
// weight, wear and water per square, breakdown risk, running costs,
// repairs, the loading wait, water towers, speed limits and the step timer.
#include "vehicles/vehicle_costs.h"

#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "platform/endian.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/small_static_objects.h"
#include "world/special_events.h"
#include "world/special_track.h"
#include "world/world_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Vehicle running and repair costs are booked in this category.
constexpr int32_t kAccountRunningCosts = 1;
// The VehicleType of steam engines, which take water.
constexpr int32_t kSteamEngine = 5;
constexpr int32_t kRoad = 0;
constexpr int32_t kRail = 1;
constexpr int32_t kAir = 3;
// The weight factor of a train that is far too heavy for its power.
constexpr float kCrawlFactor = 0.01f;

const VehicleConstantsRow* Constants() {
    return VehicleConstantsTable::Find(0);
}

// The units of the train that resolve to vehicles, in handle order.
template <typename Visit>
void ForEachUnit(const Vehicle& vehicle, uint32_t first, Visit&& visit) {
    for (uint32_t i = first; i < Vehicle::kUnits; ++i) {
        const ObjectHandle handle = vehicle.GetUnit(i);
        if (Vehicle* unit = handle ? GetVehicle(handle) : nullptr)
            visit(*unit);
    }
}

// The share of its power a train keeps for its weight: 1 up to its power,
// falling to kCrawlFactor at twice its power and beyond.
float WeightFactor(float weight, float power) {
    if (weight <= power)
        return 1.0f;
    // Zero power against any weight: the quotient is infinite.
    const float f = power > 0.0f ? 2.0f - weight / power : 0.0f;
    return f > 0.0f ? f : kCrawlFactor;
}

uint64_t CurrentTicks() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetTicks() : 0;
}

// A float cost as the whole amount booked: truncated, and held inside the
// range a booking can carry.
int64_t WholeAmount(float cost) {
    if (!std::isfinite(cost))
        return 0;
    const double clamped = std::clamp(double(cost), -9.0e18, 9.0e18);
    return int64_t(clamped);
}

void Charge(const Vehicle& vehicle, float cost, uint32_t mode) {
    if (Player* owner = vehicle.GetOwner() >= 0 ? GetPlayer(uint32_t(vehicle.GetOwner())) : nullptr)
        owner->Pay(-WholeAmount(cost), kAccountRunningCosts, mode);
}

bool IsFreeWaterTower(const WorldMap& map, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || uint32_t(x) >= map.GetWidth() || uint32_t(y) >= map.GetHeight())
        return false;
    const ObjectHandle id = map.GetBuildingAt(uint32_t(x), uint32_t(y));
    const auto* tower = id ? dynamic_cast<const WaterTower*>(BuildingFromId(id)) : nullptr;
    // A tower still being placed gives no water yet.
    return tower && tower->GetSubtype() == WaterTower::kSubtype && !tower->IsProvisional();
}

} // namespace

float SumTractivePower(const Vehicle& vehicle, bool weighted) {
    float sum = 0.0f;
    ForEachUnit(vehicle, 0, [&](const Vehicle& unit) {
        const VehicleRow* row = unit.Row();
        if (!row)
            return;
        const float power = float(row->TractivePower);
        sum += weighted ? power * unit.GetCondition() / 100.0f : power;
    });
    return sum;
}

bool IsWearEnabled() {
    const UiState& state = GetUiState();
    return state.VehicleWear != 0 && state.MissionDifficulty != 0;
}

float Vehicle::GetAccelerationFactor() const {
    const VehicleRow* row = VehicleTable::Find(GetAccelerationType());
    if (!row)
        row = Row();
    const float a = row ? float(row->Accelaration) : 0.0f;
    return a * WeightFactor(GetTrainWeight(), SumTractivePower(*this, true));
}

float Vehicle::GetWearPerSquare() const {
    const VehicleRow* row = Row();
    if (!row || !IsWearEnabled())
        return 0.0f;
    const float w = GetTrainWeight();
    const float p = SumTractivePower(*this, true);
    const float factor = w > p && p > 0.0f ? w / p : 1.0f;
    return row->DetoriationPerSquare * factor;
}

void Vehicle::OnSquareTravelled() {
    SetU32(76, U32(76) + 1);
    const float wear = GetWearPerSquare();
    SetCondition(std::max(0.0f, GetCondition() - (std::isfinite(wear) ? wear : 0.0f)));
    const VehicleRow* row = Row();
    const float demand = row && std::isfinite(row->WaterDemandPerSquare) ? row->WaterDemandPerSquare : 0.0f;
    SetWater(std::clamp(GetWater() - demand, 0.0f, 100.0f));
}

float Vehicle::GetBreakDownRisk() const {
    const float condition = GetCondition();
    if (condition < 1.0f)
        return 100.0f;
    const VehicleRow* row = Row();
    // A type that never breaks down carries no reliability divisor.
    if (!row || row->Reliability <= 0)
        return 0.0f;
    const float age = GetAgeYears();
    const float modifier = row->BreakDownAgeModifier;
    const float g = modifier > 0.0f && age > modifier ? age / modifier : 1.0f;
    return std::clamp((100.0f - condition) / float(row->Reliability) * g, 0.0f, 100.0f);
}

float Vehicle::BookRunningCost() {
    const VehicleRow* row = Row();
    const uint32_t squares = U32(76) - U32(84);
    SetU32(84, U32(76));
    if (!row)
        return 0.0f;
    const float cost =
        float(squares) * row->TravellingCostPerSquare * GetEventVehicleTravellingCostFactor(row->FuelTypeID);
    Charge(*this, cost, 0);
    return float(WholeAmount(cost));
}

float Vehicle::BookConsistRunningCost() {
    float sum = BookRunningCost();
    if (GetState() > kStateDead) {
        ForEachUnit(*this, 1, [&](Vehicle& unit) {
            if (&unit != this)
                sum += unit.BookRunningCost();
        });
    }
    SetU32(88, U32(88) + 1);
    return sum;
}

float Vehicle::Repair(bool singleUnit) {
    const VehicleRow* row = Row();
    float base = row ? float(row->RepairCostPerPercentage) : 0.0f;
    const uint32_t owner = uint32_t(std::max(GetOwner(), 0));
    if (PlayerHeadquarterHasPart(owner, 2))
        base *= GetHeadquarterModifier(0) * GetHeadquarterModifier(2);
    const float missing = 100.0f - GetCondition();
    const float growth = row ? row->RepairCostGrowingPerYear : 0.0f;
    const float cost = (growth * GetAgeYears() + 1.0f) * base * missing;
    Charge(*this, cost, row ? uint32_t(std::max(row->ConnectionType, 0)) : 0);
    float total = float(WholeAmount(cost));
    SetU32(80, U32(76));
    SetCondition(100.0f);
    plat::StoreLE64(block_.data() + 56, CurrentTicks());
    if (GetState() == kStateDead || singleUnit)
        return total;
    float missingSum = missing;
    ForEachUnit(*this, 1, [&](Vehicle& unit) {
        if (&unit == this)
            return;
        missingSum += 100.0f - unit.GetCondition();
        total += unit.Repair(true);
    });
    const VehicleConstantsRow* constants = Constants();
    const float wait = constants ? float(constants->RepairTimePerPercent) * missingSum : 0.0f;
    ScheduleStep(wait > 0.0f && wait < 4.0e9f ? uint32_t(wait) : 0, false);
    return total;
}

void Vehicle::StartLoadingWait() {
    const VehicleConstantsRow* constants = Constants();
    float t = constants ? float(std::max(constants->LoadingTimePerOneCar, 0)) : 0.0f;
    Station* station = schedule_ ? schedule_->GetStopStation(GetCurrentStop()) : nullptr;
    if (station) {
        const uint32_t area = station->GetLoadAreaLength();
        const uint32_t occupied = GetTrailLength();
        if (area < occupied && constants)
            t += float(occupied - area) * float(std::max(constants->LoadingTimePenaltyforOverlength, 0));
        const int32_t product = int32_t(U32(240));
        const ProductRow* p = product >= 0 ? ProductTable::Find(product) : nullptr;
        // Only extension bits the station can have shift in.
        if (p && p->LoadingTimeBonusRequirement >= 0 && p->LoadingTimeBonusRequirement < 32)
            t *= station->GetExtensionFactor(1u << p->LoadingTimeBonusRequirement, 0);
    }
    if (PlayerHeadquarterHasPart(uint32_t(std::max(GetOwner(), 0)), 0))
        t *= GetHeadquarterModifier(0);
    ScheduleStep(t > 0.0f && t < 4.0e9f ? uint32_t(t) : 0, false);
}

void Vehicle::TakeWater() {
    if (GetVehicleType() != kSteamEngine)
        return;
    const VehicleConstantsRow* constants = Constants();
    const float amount = constants ? constants->WaterLoadingAmount : 0.0f;
    SetWater(std::clamp(GetWater() + (std::isfinite(amount) ? amount : 0.0f), 0.0f, 100.0f));
}

bool Vehicle::NeedsWaterAt(int32_t x, int32_t y) const {
    const VehicleConstantsRow* constants = Constants();
    const float limit = constants ? constants->WaterRefuelLimit : 0.0f;
    bool thirsty = false;
    ForEachUnit(*this, 0, [&](const Vehicle& unit) {
        thirsty = thirsty || (unit.GetVehicleType() == kSteamEngine && unit.GetWater() < limit);
    });
    // The leader counts even before its units are taken.
    thirsty = thirsty || (GetUnit(0) == 0 && GetVehicleType() == kSteamEngine && GetWater() < limit);
    if (!thirsty)
        return false;
    const WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || uint32_t(x) >= map.GetWidth() || uint32_t(y) >= map.GetHeight())
        return false;
    const uint32_t dirs = map.GetRouteDirections(1, uint32_t(x), uint32_t(y));
    if (dirs == 5)
        return IsFreeWaterTower(map, x - 1, y) || IsFreeWaterTower(map, x + 1, y);
    if (dirs == 10)
        return IsFreeWaterTower(map, x, y - 1) || IsFreeWaterTower(map, x, y + 1);
    return false;
}

float Vehicle::GetAgeYears() const {
    const uint64_t now = CurrentTicks();
    const uint64_t start = GetStartTick();
    const uint64_t years = now > start ? (now - start) / kTicksPerYear : 0;
    return static_cast<float>(years);
}

uint64_t Vehicle::GetStartTick() const {
    return plat::LoadLE64(block_.data() + 48);
}

uint64_t Vehicle::GetLastRepairTick() const {
    return plat::LoadLE64(block_.data() + 56);
}

float Vehicle::GetTrailSpeedLimit() const {
    const int32_t mode = GetConnectionType();
    if (mode != kRoad && mode != kRail)
        return 0.0f;
    const WorldMap& map = GetWorldMap();
    const uint32_t layer = mode == kRail ? 1 : 2;
    float limit = 0.0f;
    const uint32_t last = std::min<uint32_t>(GetTrailLength(), kTrail - 1);
    for (uint32_t i = 0; i <= last; ++i) {
        if (i < trailFlags_.size() && trailFlags_[i] != 0)
            continue;
        const TrailPoint& p = trail_[i];
        if (p.x < 0 || p.y < 0 || uint32_t(p.x) >= map.GetWidth() || uint32_t(p.y) >= map.GetHeight())
            continue;
        const RouteBuilderRow* row =
            RouteBuilderTable::Find(int32_t(map.GetRouteTypeAt(layer, uint32_t(p.x), uint32_t(p.y))));
        if (row)
            limit = std::max(limit, float(row->SpeedLimit));
    }
    return limit;
}

uint32_t Vehicle::GetSpeedLimit() const {
    const int32_t mode = GetConnectionType();
    const VehicleRow* speedRow = VehicleTable::Find(GetSpeedType());
    if (!speedRow)
        speedRow = Row();
    float t = speedRow ? float(std::max(speedRow->TravelTimeMsPerSquare, 0)) : 0.0f;
    if (mode == kAir)
        return route_ ? uint32_t(t) : 1000;
    t /= WeightFactor(GetTrainWeight(), SumTractivePower(*this, true));
    if (mode == kRoad) {
        const WorldMap& map = GetWorldMap();
        const TrailPoint& head = trail_[0];
        if (head.x >= 0 && head.y >= 0 && uint32_t(head.x) < map.GetWidth() &&
            uint32_t(head.y) < map.GetHeight()) {
            const RouteBuilderRow* row =
                RouteBuilderTable::Find(int32_t(map.GetRouteTypeAt(2, uint32_t(head.x), uint32_t(head.y))));
            if (row && float(row->SpeedLimit) > t)
                t = float(row->SpeedLimit);
        }
    } else if (mode == kRail) {
        const float r = GetTrailSpeedLimit();
        if (t <= r)
            t = r;
    }
    return t > 0.0f && t < 4.0e9f ? uint32_t(t) : 0;
}

uint32_t Vehicle::GetStepTime() const {
    if (GetState() == kStateMoving || GetState() == kStatePassing)
        return U32(24) - U32(20);
    return GetSpeedLimit();
}

uint32_t Vehicle::GetTimePerSquare() const {
    const VehicleRow* speedRow = VehicleTable::Find(GetSpeedType());
    if (!speedRow)
        speedRow = Row();
    const float t = speedRow ? float(std::max(speedRow->TravelTimeMsPerSquare, 0)) : 0.0f;
    if (GetConnectionType() != kRail)
        return uint32_t(t);
    float f = 1.0f;
    const WorldMap& map = GetWorldMap();
    const uint32_t last = std::min<uint32_t>(GetTrailLength(), kTrail - 1);
    for (uint32_t i = 0; i <= last; ++i) {
        const TrailPoint& p = trail_[i];
        if (p.x < 0 || p.y < 0)
            continue;
        const SpecialTrackBase* piece = map.FindSpecialTrack(uint32_t(p.x), uint32_t(p.y));
        const SpecialTracksRow* pieceRow = piece ? SpecialTracksTable::Find(piece->GetType()) : nullptr;
        if (!pieceRow || pieceRow->IsSwitch)
            continue;
        // The piece's row serves as its curve class.
        const uint32_t curveClass = uint32_t(piece->GetType());
        ForEachUnit(*this, 0, [&](const Vehicle& unit) {
            const VehicleRow* unitRow = unit.Row();
            if (!unitRow)
                return;
            const float m = unitRow->CurveSpeedModifierTable.Cell(0, curveClass);
            if (m > f && std::isfinite(m))
                f = m;
        });
    }
    const float result = t * f;
    return result > 0.0f && result < 4.0e9f ? uint32_t(result) : 0;
}

uint32_t Vehicle::ScheduleStep(uint32_t delay, bool moveCars) {
    (void)moveCars;
    const uint32_t previous = U32(24);
    const uint32_t next = previous + delay;
    SetWake(previous, next);
    if (GetConnectionType() != kRail) {
        SetU32(100, next - previous);
        return next - previous;
    }
    SetU32(100, delay);
    return previous;
}
