// Runs the game on the world model: the world's clock drives the loop, its
// players fill the company slots and answer the mission goals, and the
// world's sections, resets and periodic updates are its own.
#pragma once

#include "gameloop/game.h"
#include "gameloop/world_hooks.h"

class WorldModelHooks : public WorldHooks, public MissionWorld {
public:
    std::unique_ptr<LoopClock> CreateClock() override;
    bool HasPlayer(uint8_t slot) const override;
    bool GetMapSize(uint32_t& width, uint32_t& height) const override;
    void ResetWorld() override;
    void NewGameInit(uint32_t mapWidth, uint32_t mapHeight) override;
    void AfterLoad() override;
    void RebuildDerivedState() override;
    void EndSpecialEvents() override;
    void BroadcastPeriodChange() override;
    void BroadcastMonthChange() override;
    void UpdateSpecialEvents() override;
    void UpdatePlayersMonthly() override;
    void BroadcastTimeUpdate(uint32_t t) override;
    void UpdatePlayers() override;
    void YearlyUpdates() override;

    uint32_t CurrentYear() const override;
    std::optional<int64_t> LocalMoney() const override;
    std::optional<int64_t> LocalStatistic(uint32_t row, uint32_t column) const override;
};

// Connects the game to the world model; the hooks must outlive the game.
void ConnectWorldModel(Game& game, WorldModelHooks& hooks);
