// The parts of the world that the game steps in each tick and date step,
// resets between games and sets up for a new one. Each subsystem overrides
// what it owns; what is not built yet does nothing.
#pragma once

#include "gameloop/loop_clock.h"

#include <cstdint>
#include <memory>

class WorldHooks {
public:
    virtual ~WorldHooks() = default;

    // The clock of a new game (the world's own clock when it exists).
    virtual std::unique_ptr<LoopClock> CreateClock() { return std::make_unique<FrameClock>(); }
    // Whether a company slot (0 to 4) holds a player. Without a world model:
    // the local company in slot 0 and the neutral player in slot 4.
    virtual bool HasPlayer(uint8_t slot) const { return slot == 0 || slot == 4; }
    // The world map's size in tiles; false without a world map.
    virtual bool GetMapSize(uint32_t& /*width*/, uint32_t& /*height*/) const { return false; }

    // Empties every part of the world, in the reset's fixed order, and
    // creates the players again.
    virtual void ResetWorld() {}
    // Sets up an empty world of the map size for a new game.
    virtual void NewGameInit(uint32_t /*mapWidth*/, uint32_t /*mapHeight*/) {}
    // Repairs a loaded world and rebuilds what is derived from it: route
    // graphs, links between stations, factories and buildings, running
    // events.
    virtual void AfterLoad() {}
    // Only the derived part, not saved with the game: run when a failed
    // load has put the running game back from its copy.
    virtual void RebuildDerivedState() {}
    virtual void EndSpecialEvents() {}
    virtual void DeleteAllSchedules() {}

    // Towns, for the game time t (called once per 200 ms of game time).
    virtual void UpdateCities(uint32_t) {}
    // The town update's cursor, which a saved game keeps so that a loaded
    // game serves its towns in the same turn; setting refuses (false) a
    // cursor the town table cannot hold. Without towns there is none.
    virtual uint32_t GetTownCursor() const { return 0; }
    virtual bool SetTownCursor(uint32_t) { return true; }
    virtual void RefreshSignalsIfDirty() {}
    // The construction workers' round at game time t.
    virtual void StepConstruction(uint32_t) {}
    virtual void SetSignalsDirty() {}
    virtual void UpdateMovingObjects(uint32_t) {}
    virtual void ResolveDeadlocks() {}
    virtual void UpdatePrivateCars(uint32_t) {}
    virtual void BroadcastPeriodChange() {}
    virtual void BroadcastMonthChange() {}
    virtual void UpdateSpecialEvents() {}
    virtual void UpdatePlayersMonthly() {}
    // Production and every other map object's time update.
    virtual void BroadcastTimeUpdate(uint32_t) {}
    // The companies' turn, computer companies included.
    virtual void UpdatePlayers() {}
    // The yearly updates of map objects, players and schedules.
    virtual void YearlyUpdates() {}
    virtual void AddNews(uint32_t /*kind*/) {}
    // A news item that points at a tile and carries a value (a type index,
    // an object id); without a news list of its own it is told by kind.
    virtual void AddNewsAt(uint32_t kind, int32_t /*x*/, int32_t /*y*/, int32_t /*value*/) { AddNews(kind); }
    // Visual effects after the ticks.
    virtual void UpdateEffects(uint32_t) {}
    virtual void UpdateGimmicks(uint32_t) {}
    virtual void UpdateSurf() {}
};
