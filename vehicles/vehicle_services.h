// Connects the schedules (and later the vehicles) to the game: the world
// hooks through which a reset and a new game delete every schedule, a load
// repairs damaged routes and a period change rolls the incomes, and the
// saved game's "sch" section.
#pragma once

#include "transport/transport_world_hooks.h"

class Game;

class VehicleWorldHooks : public TransportWorldHooks {
public:
    void ResetWorld() override;
    void NewGameInit(uint32_t mapWidth, uint32_t mapHeight) override;
    void AfterLoad() override;
    void DeleteAllSchedules() override;
    void BroadcastPeriodChange() override;
    void UpdateMovingObjects(uint32_t t) override;
    void ResolveDeadlocks() override;
};

// Installs the vehicle class, the vehicle commands and the schedules'
// section for this game; UninstallVehicles removes them.
void InstallVehicles(Game& game);
void UninstallVehicles(Game& game);
