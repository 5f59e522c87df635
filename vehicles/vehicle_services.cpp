#include "vehicles/vehicle_services.h"

#include "files/chunk_stream.h"
#include "gameloop/game.h"
#include "gameloop/vehicle_commands.h"
#include "vehicles/building_walker.h"
#include "vehicles/movers.h"
#include "vehicles/moving_object.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
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

} // namespace

void VehicleWorldHooks::ResetWorld() {
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
    game.SetSectionSerializer(SaveSection::Schedules,
                              [] { return StreamMode() == kStreamLoad ? LoadSchedules() : SaveSchedules(); });
}

void UninstallVehicles(Game& game) {
    RegisterMapObjectClass(kCategoryMoving, kVehicleSubtype, nullptr);
    UnregisterMoverClasses();
    SetScheduleVehicleHooks({});
    SetVehicleCommandHandlers({});
    game.SetSectionSerializer(SaveSection::Schedules, nullptr);
}
