// Executes arbitrary route commands on a small map with a pond and a town
// road: each record of the input is a type byte (picking ids 7, 8, 31 or
// 34), a player byte and the payload bytes, read as a received message
// would be. Whatever they hold, no command crashes, the queue's pending
// counts match its steps, the workers finish, and demolishing every
// company's way afterwards runs through.
#include "data/database.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/route_command_handlers.h"
#include "transport/route_construction.h"
#include "transport/route_demolition.h"
#include "transport/transport_world_hooks.h"
#include "world/cell_rows.h"
#include "world/object_manager.h"
#include "world/world.h"
#include "world/world_map.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Setting {
    Game game;
    TransportWorldHooks hooks;
    Setting() {
        plat::Clock::UseFake(0);
        std::string text;
        if (plat::ReadWholeFile("gamedata/config/MDConfig.gen", text) ||
            plat::ReadWholeFile(MD_SOURCE_DIR "/gamedata/config/MDConfig.gen", text)) {
            GetDatabase().Init();
            GetDatabase().Read(text);
            GetDatabase().ApplyAllTables(KindSelector::All);
        }
        ConnectWorldModel(game, hooks);
        StartGame(game, 1);
        InstallRouteCommands(game);
        TerrainTable::GetOrCreateRow(1)->CanBuildRoute = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(2);
        water->IsWater = 1;
        water->CanBuildRoute = 0;
    }
};

constexpr uint16_t kTypes[] = {7, 8, 31, 34};
constexpr size_t kPayloadBytes[] = {20, 16, 12, 0};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting* setting = new Setting;
    DeleteAllMapObjects();
    ResetCellRows();
    GetConstructionQueue().Clear();
    WorldMap& map = GetWorldMap();
    map.ResetState();
    map.SetMapSizeNoReset(24, 24);
    for (WorldCell& cell : map.GetGrid())
        cell = WorldCell{};
    for (WorldCell& cell : map.GetGrid())
        cell.SetTerrainIndex(1);
    for (uint32_t y = 2; y < 12; ++y)
        map.CellAt(8, y)->SetTerrainIndex(2);
    for (uint32_t y = 0; y < 24; ++y)
        map.PlaceTownRoad(16, y, y == 0 ? 4 : y == 23 ? 1 : 5);
    for (size_t pos = 0; pos + 2 <= size;) {
        const size_t pick = data[pos] % std::size(kTypes);
        const uint8_t player = data[pos + 1];
        pos += 2;
        const size_t n = std::min(kPayloadBytes[pick], size - pos);
        std::unique_ptr<GameCommand> command = CreateGameCommand(kTypes[pick]);
        Check(command != nullptr);
        if (command->ReadPayload(data + pos, uint32_t(n))) {
            command->SetPlayerId(player % 5);
            command->Execute(setting->game);
        }
        pos += n;
    }
    ConstructionQueue& queue = GetConstructionQueue();
    uint64_t queued = 0, pending = 0;
    for (const auto& rows : queue.players)
        for (const ConstructionRowRecord& record : rows)
            for (size_t j = 0; j < record.jobs.size(); ++j)
                queued += record.jobs[j].size() - (j == 0 ? record.index : 0);
    for (const auto& [id, build] : queue.pending)
        pending += build.steps;
    Check(pending == queued);
    // Rounds far apart: each finishes whatever its worker has queued.
    for (uint32_t t = 1; t < 20 && !queue.pending.empty(); ++t)
        StepRouteConstruction(t * 100000000u);
    Check(queue.pending.empty());
    // Demolishing every company's way runs on whatever the commands left.
    for (uint32_t player = 0; player < 5; ++player)
        for (uint32_t mode = 1; mode <= 2; ++mode)
            DemolishRouteRect(0, 0, 23, 23, mode, player, false);
    for (const WorldCell& cell : map.GetGrid())
        Check(cell.Kind() < kCellKindCount);
    return 0;
}
