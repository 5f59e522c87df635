#include "vehicles/vehicle_services.h"

#include "files/chunk_stream.h"
#include "gameloop/game.h"
#include "vehicles/schedule_list.h"

void VehicleWorldHooks::ResetWorld() {
    ::DeleteAllSchedules();
    WorldModelHooks::ResetWorld();
}

void VehicleWorldHooks::NewGameInit(uint32_t mapWidth, uint32_t mapHeight) {
    ::DeleteAllSchedules();
    WorldModelHooks::NewGameInit(mapWidth, mapHeight);
}

void VehicleWorldHooks::AfterLoad() {
    WorldModelHooks::AfterLoad();
    RebuildDamagedRoutes();
}

void VehicleWorldHooks::DeleteAllSchedules() {
    ::DeleteAllSchedules();
}

void VehicleWorldHooks::BroadcastPeriodChange() {
    WorldModelHooks::BroadcastPeriodChange();
    RollIncomePeriod();
}

void InstallVehicles(Game& game) {
    game.SetSectionSerializer(SaveSection::Schedules,
                              [] { return StreamMode() == kStreamLoad ? LoadSchedules() : SaveSchedules(); });
}

void UninstallVehicles(Game& game) {
    game.SetSectionSerializer(SaveSection::Schedules, nullptr);
}
