#include "vehicles/vehicle_services.h"

#include "files/chunk_stream.h"
#include "gameloop/game.h"
#include "gameloop/vehicle_commands.h"
#include "transport/signals.h"
#include "vehicles/building_walker.h"
#include "vehicles/movers.h"
#include "vehicles/moving_object.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_breakdown.h"
#include "vehicles/vehicle_commands.h"
#include "world/object_manager.h"

namespace {

int32_t ModeOfVehicle(ObjectHandle id) {
    const Vehicle* vehicle = GetVehicle(id);
    return vehicle ? vehicle->GetConnectionType() : -1;
}

int64_t KindOfVehicle(ObjectHandle id) {
    const Vehicle* vehicle = GetVehicle(id);
    return vehicle ? int64_t(uint32_t(vehicle->GetTypeIndex())) << 32 | 0 : -1;
}

// The trains standing on a tile, for the signal blocks: the holders of the
// tile's rail lanes that still stand there, each once.
void RailVehiclesOnTile(uint32_t x, uint32_t y, std::vector<SignalVehicle>& out) {
    constexpr uint32_t kRail = 1;
    for (uint32_t lane = 0; lane < 2; ++lane) {
        const ObjectHandle holder = GetLaneHolder(kRail, int32_t(x), int32_t(y), lane);
        const MovingObject* object = holder ? GetMovingObject(holder) : nullptr;
        if (!object || object->GetConnectionType() != int32_t(kRail) || object->IsDeadForLanes())
            continue;
        const uint32_t heading = object->GetHeadingAt(int32_t(x), int32_t(y));
        if (heading == 0 || (!out.empty() && out.back().id == holder))
            continue;
        out.push_back({holder, heading});
    }
}

// The signal registry is per world and a load starts a fresh one.
void InstallRailVehicleCount() {
    WorldSignals().railVehiclesOnTile = RailVehiclesOnTile;
}

} // namespace

void VehicleWorldHooks::ResetWorld() {
    InstallRailVehicleCount();
    ::DeleteAllSchedules();
    InvalidateLanes();
    TransportWorldHooks::ResetWorld();
}

void VehicleWorldHooks::NewGameInit(uint32_t mapWidth, uint32_t mapHeight) {
    ::DeleteAllSchedules();
    TransportWorldHooks::NewGameInit(mapWidth, mapHeight);
}

void VehicleWorldHooks::AfterLoad() {
    TransportWorldHooks::AfterLoad();
    InstallRailVehicleCount();
    RebuildDamagedRoutes();
    RestartBuildingWalkers();
}

void VehicleWorldHooks::DeleteAllSchedules() {
    ::DeleteAllSchedules();
}

void VehicleWorldHooks::UpdateMovingObjects(uint32_t t) {
    ::UpdateMovingObjects(t);
}

void VehicleWorldHooks::ResolveDeadlocks() {
    ::ResolveDeadlocks();
}

void VehicleWorldHooks::BroadcastPeriodChange() {
    TransportWorldHooks::BroadcastPeriodChange();
    RollIncomePeriod();
}

void InstallVehicles(Game& game) {
    WorldScope scope(game.GetWorld());
    RegisterMapObjectClass(kCategoryMoving, kVehicleSubtype,
                           [](int32_t) { return std::make_unique<Vehicle>(); });
    RegisterMoverClasses();
    ScheduleVehicleHooks hooks;
    hooks.mode = ModeOfVehicle;
    hooks.kind = KindOfVehicle;
    SetScheduleVehicleHooks(hooks);
    InstallVehicleCommands();
    InstallRailVehicleCount();
    SetBreakdownNewsHook([&game](int32_t x, int32_t y, int32_t type) {
        game.Hooks().AddNewsAt(kNewsVehicleBrokeDown, x, y, type);
    });
    game.SetSectionSerializer(SaveSection::Schedules,
                              [] { return StreamMode() == kStreamLoad ? LoadSchedules() : SaveSchedules(); });
}

void UninstallVehicles(Game& game) {
    RegisterMapObjectClass(kCategoryMoving, kVehicleSubtype, nullptr);
    UnregisterMoverClasses();
    SetScheduleVehicleHooks({});
    SetVehicleCommandHandlers({});
    SetBreakdownNewsHook(nullptr);
    WorldSignals(game.GetWorld()).railVehiclesOnTile = nullptr;
    game.SetSectionSerializer(SaveSection::Schedules, nullptr);
}
