#include "gameloop/world_model.h"

#include "files/chunk_stream.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/map_check.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/player_statistics.h"
#include "world/special_events.h"
#include "world/world_map.h"
#include "world/world_sections.h"

namespace {

// The loop's view of one world's clock.
class WorldClock final : public LoopClock {
public:
    explicit WorldClock(World& world) : world_(world) {}
    uint32_t GetTime() const override { return Clock() ? Clock()->GetTime() : 0; }
    uint64_t GetTickCount() const override { return Clock() ? Clock()->GetTicks() : 0; }
    void AdvanceTick() override {
        if (Clock())
            Clock()->Tick();
    }
    float GetSpeed() const override { return Clock() ? Clock()->GetSpeed() : 0.0f; }
    void SetSpeed(float speed) override {
        if (Clock())
            Clock()->SetSpeed(speed);
    }
    bool Serialize() override {
        if (!Clock())
            return false;
        Clock()->Serialize();
        return !StreamFailed();
    }

private:
    GameClock* Clock() const { return world_.clock.get(); }

    World& world_;
};

bool Loading() {
    return StreamMode() == kStreamLoad;
}

} // namespace

std::unique_ptr<LoopClock> WorldModelHooks::CreateClock() {
    // The clock of the world current now: a game's, when it starts or loads.
    CreateGameClock(0);
    return std::make_unique<WorldClock>(CurrentWorld());
}

bool WorldModelHooks::HasPlayer(uint8_t slot) const {
    return GetPlayer(slot) != nullptr;
}

bool WorldModelHooks::GetMapSize(uint32_t& width, uint32_t& height) const {
    width = GetWorldMap().GetWidth();
    height = GetWorldMap().GetHeight();
    return true;
}

void WorldModelHooks::ResetWorld() {
    // Everything is emptied first; the players are created last, so that
    // the reset leaves the local company and the neutral player in place.
    SpecialEvents::EndAll();
    ResetWorldState();
    CreatePlayers();
}

void WorldModelHooks::NewGameInit(uint32_t mapWidth, uint32_t mapHeight) {
    SpecialEvents::Reset();
    DeleteAllMapObjects();
    GetWorldMap().SetMapSize(mapWidth, mapHeight);
    DeleteAllPlayers();
    CreatePlayers();
    SpecialEvents::Update();
}

void WorldModelHooks::AfterLoad() {
    // Terrain blocks that mix water and land are repaired on every load.
    MapCheck();
    // Mountains standing in open water go; the others get their shape
    // stamped again, whatever the saved map held under them.
    RemoveMountainsInOpenWater();
    ApplyMou1Templates();
    RebuildDerivedState();
}

void WorldModelHooks::RebuildDerivedState() {
    // Which stations serve which buildings and towns is derived, not saved.
    RunAllCatchmentPasses();
}

void WorldModelHooks::EndSpecialEvents() {
    SpecialEvents::EndAll();
}

void WorldModelHooks::BroadcastPeriodChange() {
    UpdateBuildingsPeriod();
}

void WorldModelHooks::BroadcastMonthChange() {
    UpdateBuildingsMonth();
}

void WorldModelHooks::UpdateSpecialEvents() {
    SpecialEvents::Update();
}

void WorldModelHooks::UpdatePlayersMonthly() {
    NotifyPlayersNewMonth();
}

void WorldModelHooks::BroadcastTimeUpdate(uint32_t t) {
    UpdateBuildings(t);
}

void WorldModelHooks::UpdatePlayers() {
    ::UpdatePlayers();
}

void WorldModelHooks::YearlyUpdates() {
    UpdateBuildingsYear();
    NotifyPlayersNewYear();
}

uint32_t WorldModelHooks::CurrentYear() const {
    GameClock* clock = GetGameClock();
    return clock ? clock->GetCurrentYear() : kFirstYear;
}

std::optional<int64_t> WorldModelHooks::LocalMoney() const {
    Player* player = GetCurrentPlayer();
    if (!player)
        return std::nullopt;
    return player->GetMoney();
}

std::optional<int64_t> WorldModelHooks::LocalStatistic(uint32_t row, uint32_t column) const {
    Player* player = GetCurrentPlayer();
    if (!player || !player->GetStatistics())
        return std::nullopt;
    return player->GetStatistics()->GetValue(row, column);
}

void ConnectWorldModel(Game& game, WorldModelHooks& hooks) {
    game.SetWorldHooks(&hooks);
    game.SetMissionWorld(&hooks);
    game.SetSectionSerializer(SaveSection::WorldMap, [] {
        // Route flags A and B are not kept in a game's save.
        return Loading() ? GetWorldMap().LoadWorldMap() : GetWorldMap().SaveWorldMap(true);
    });
    game.SetSectionSerializer(SaveSection::Objects,
                              [] { return Loading() ? LoadMapObjects() : SaveMapObjects(); });
    game.SetSectionSerializer(SaveSection::Players, [] {
        if (Loading())
            return LoadPlayers();
        SavePlayers();
        return !StreamFailed();
    });
    game.SetSectionSerializer(SaveSection::SpecialEvents, [] {
        if (Loading())
            SpecialEvents::Load();
        else
            SpecialEvents::Serialize();
        return !StreamFailed();
    });
}
