// Executes arbitrary building commands on a small map with a short track:
// each record of the input is a type byte (picking ids 1, 20, 21, 22, 23,
// 33, 35, 36, 42 or 43), a player byte and the payload bytes, read as a
// received message would be. Whatever they hold, no command crashes, none
// gives a company money, and every building stands on cells that name it.
#include "data/database.h"
#include "gameloop/building_commands.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "world/cell_rows.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Setting {
    Game game;
    WorldModelHooks hooks;
    Setting() {
        plat::Clock::UseFake(0);
        std::string text;
        if (plat::ReadWholeFile("gamedata/config/MDConfig.gen", text)) {
            GetDatabase().Init();
            GetDatabase().Read(text);
            GetDatabase().ApplyAllTables(KindSelector::All);
        }
        ConnectWorldModel(game, hooks);
        StartGame(game, 1);
    }
};

constexpr uint16_t kTypes[] = {1, 20, 21, 22, 23, 33, 35, 36, 42, 43};
constexpr size_t kPayloadBytes = 20;
constexpr uint32_t kSide = 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting* setting = new Setting;
    DeleteAllMapObjects();
    ResetHeadquarters();
    ResetCellRows();
    WorldMap& map = GetWorldMap();
    map.ResetState();
    map.SetMapSizeNoReset(kSide, kSide);
    for (WorldCell& cell : map.GetGrid())
        cell = WorldCell{};
    // A straight track down column 8, where water towers may stand.
    for (uint32_t y = 4; y < 20; ++y) {
        map.SetRouteKindAndClear(8, y, 1);
        map.SetRouteType(1, 8, y, 1);
        map.SetTrackDirections(8, y, 5);
    }
    int64_t money[kCompanySlotCount] = {};
    for (uint8_t slot = 0; slot < kCompanySlotCount; ++slot)
        if (Player* player = GetPlayer(slot))
            money[slot] = player->GetMoney();
    for (size_t pos = 0; pos + 2 <= size;) {
        const uint16_t type = kTypes[data[pos] % std::size(kTypes)];
        const uint8_t player = data[pos + 1];
        pos += 2;
        const size_t n = std::min(kPayloadBytes, size - pos);
        std::unique_ptr<GameCommand> command = CreateGameCommand(type);
        Check(command != nullptr);
        if (command->ReadPayload(data + pos, uint32_t(n))) {
            command->SetPlayerId(player);
            command->Execute(setting->game);
        }
        pos += n;
    }
    for (uint8_t slot = 0; slot < kCompanySlotCount; ++slot)
        if (Player* player = GetPlayer(slot))
            Check(player->GetMoney() <= money[slot]);
    std::vector<MapObject*> buildings;
    GetMapObjects(buildings, kSelectCategory, kCategoryBuilding, 0, 0);
    for (MapObject* building : buildings) {
        Check(building->GetX() >= 0 && building->GetY() >= 0);
        Check(map.GetBuildingAt(uint32_t(building->GetX()), uint32_t(building->GetY())) == building->GetId());
    }
    DeleteAllMapObjects();
    ResetHeadquarters();
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x)
            Check(map.GetBuildingAt(x, y) == 0);
    return 0;
}
