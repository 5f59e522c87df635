// Connects the towns and factories to the game: the factory class of the
// object manager, the world's and the static objects' town hooks, the map
// generator's hooks, the towns' section of a saved game, and the world
// hooks through which the loop updates towns and the reset deletes them.
#pragma once

#include "vehicles/vehicle_services.h"

class Game;

// The world model's hooks with the towns added: the reset and a new game
// delete every town first, and the loop's town update grows them.
class TownWorldHooks : public VehicleWorldHooks {
public:
    void ResetWorld() override;
    void NewGameInit(uint32_t mapWidth, uint32_t mapHeight) override;
    void UpdateCities(uint32_t t) override;
    // The towns' new private cars.
    void UpdatePrivateCars(uint32_t t) override;
    uint32_t GetTownCursor() const override;
    bool SetTownCursor(uint32_t cursor) override;
    // The world model's links, then the products that the factories make.
    void RebuildDerivedState() override;
    // The special events, then the factory events.
    void UpdateSpecialEvents() override;
    // The yearly updates, then the removal of attraction sites that got no
    // material in time.
    void YearlyUpdates() override;
    // The mission goal "factories served": every attraction of the local
    // company is served by a station.
    std::optional<bool> AllKind6FactoriesServed() const override;
    // The mission goal "town connected": the local company's service flag
    // of the town, or of every existing town for kAllTowns.
    std::optional<bool> TownConnected(uint32_t town) const override;
};

// Installs every hook for this game; the game must outlive them or
// UninstallTownsAndIndustry must run first.
void InstallTownsAndIndustry(Game& game);
// Empties the hooks that InstallTownsAndIndustry filled.
void UninstallTownsAndIndustry();
