// Breakdowns, scrapping, repairs and the booking on arrival at a stop. A
// vehicle is not repaired after a breakdown: the whole train is scrapped.
// Repairs happen on arrival at a station with a repair extension.
#include "vehicles/vehicle_breakdown.h"
#include "data/generated/ai_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/game_clock.h"
#include "world/headquarter_registry.h"
#include "world/player.h"
#include "world/player_statistics.h"
#include "world/random_streams.h"

#include <algorithm>

namespace {

// The station extension type that repairs arriving vehicles.
constexpr uint32_t kRepairExtension = 8;

BreakdownNewsHook& NewsHook() {
    static BreakdownNewsHook hook;
    return hook;
}

} // namespace

void SetBreakdownNewsHook(BreakdownNewsHook hook) {
    NewsHook() = std::move(hook);
}

bool Vehicle::CheckBreakdown() {
    Player* owner = GetPlayer(uint32_t(owner_));
    // Computer companies' vehicles never break down.
    if (!owner || !owner->IsHumanPlayer())
        return false;
    const CheatsRow* cheats = CheatsTable::Find(0);
    if (cheats && cheats->VehicleNeverBreaksDown != 0)
        return false;
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const float threshold = constants ? float(constants->BreakDownTreshold) : 0.0f;
    bool broken = false;
    for (uint32_t i = 0; i < kUnits && !broken; ++i) {
        const ObjectHandle handle = i == 0 ? id_ : GetUnit(i);
        const Vehicle* unit = handle == id_ ? this : handle ? GetVehicle(handle) : nullptr;
        if (!unit)
            continue;
        const float risk = unit->GetBreakDownRisk();
        if (risk < threshold)
            continue;
        const uint32_t n = GameRandom() % 100;
        // A unit without any risk (new, or just repaired) never breaks down.
        broken = risk > 0.0f && float(n) <= risk;
    }
    if (!broken)
        return false;
    int32_t x = 0, y = 0;
    GetHeadPosition(x, y);
    GameLog("vehicle %u of company %d broke down at %d,%d", id_, owner_, x, y);
    SetState(kStateBroken);
    const uint32_t wake = U32(24);
    const uint32_t shown = constants && constants->BrokenVehicleDisplayTime > 0
                               ? uint32_t(constants->BrokenVehicleDisplayTime)
                               : 0;
    SetWake(wake, wake + shown);
    if (NewsHook())
        NewsHook()(x, y, GetTypeIndex());
    for (uint32_t i = 1; i < kUnits; ++i)
        if (Vehicle* unit = GetUnit(i) && GetUnit(i) != id_ ? GetVehicle(GetUnit(i)) : nullptr)
            unit->SetState(kStateBroken);
    Scrap();
    return true;
}

void Vehicle::Scrap() {
    ReleaseStationSlot();
    // A train leaves the signal block it holds.
    if (GetState() > kStateDead && GetState() != kStateReadyToBeRemoved)
        ReleaseSignalBlocks();
    if (schedule_) {
        const auto block = schedule_->GetSettingsBlock();
        for (uint32_t i = 0; i < VehicleSchedule::kSettingsVehicles; ++i) {
            Vehicle* unit = block[i] && block[i] != id_ ? GetVehicle(block[i]) : nullptr;
            if (!unit || unit->GetState() != kStateHeld)
                continue;
            unit->SetState(kStateIdle);
            for (uint32_t k = 0; k < kUnits; ++k)
                unit->SetUnit(k, 0);
            unit->schedule_ = nullptr;
            unit->ResetCargoBooks();
        }
        if (schedule_->GetVehicleHandle() == id_)
            schedule_->SetVehicle(0);
    }
    Player* owner = GetPlayer(uint32_t(std::max(owner_, 0)));
    PlayerStatistics* statistics = owner ? owner->GetStatistics() : nullptr;
    for (uint32_t i = 1; i < kUnits; ++i) {
        Vehicle* unit = GetUnit(i) && GetUnit(i) != id_ ? GetVehicle(GetUnit(i)) : nullptr;
        // Only the units coupled into this train go with it.
        if (unit && (unit->GetState() == kStateCoupled || unit->GetState() == kStateBroken)) {
            unit->schedule_ = nullptr;
            unit->SetState(kStateReadyToBeRemoved);
            // The company's count of vehicles of that kind goes down.
            if (statistics)
                statistics->Book(unit->GetVehicleType(), -1);
        }
    }
    if (statistics && GetState() != kStateReadyToBeRemoved)
        statistics->Book(GetVehicleType(), -1);
    SetState(kStateReadyToBeRemoved);
    ReleaseReservations();
    schedule_ = nullptr;
    route_.reset();
}

void Vehicle::OnArrival() {
    const uint32_t count = schedule_ ? schedule_->GetStopCount() : 0;
    uint32_t stop = count == 0 ? 0 : (GetCurrentStop() + 1) % count;
    if (count > 0) {
        int32_t x = 0, y = 0;
        GetHeadPosition(x, y);
        const Station* here = StationAtTile(x, y);
        const Station* next = schedule_->GetStopStation((stop + 1) % count);
        if (here && here == next)
            stop = (stop + 1) % count;
    }
    SetU32(0, stop);
    // A train is made anew for the stop it now serves: its waggons follow
    // the stop's products, its limits and weight its units.
    if (GetConnectionType() == int32_t(kModeTrack))
        RebuildConsistFromSchedule();
    // The way since the last booking is paid on arrival; it is the stop's
    // cost, with a repair where the station offers one.
    const float running = BookConsistRunningCost();
    SetF32(220, 0.0f);
    SetF32(224, running);
    passengers_.boardings.clear();
    mail_.boardings.clear();
    Station* station = schedule_ ? schedule_->GetStopStation(stop) : nullptr;
    if (station && station->HasExtensionType(kRepairExtension))
        SetF32(224, running + Repair(false));
}
