// Executes arbitrary station commands: each record of the input is a type
// byte (picking ids 2, 3, 24, 25, 26 or 27), a player byte and the payload
// bytes, read as a received message would be. Whatever they hold, no
// command crashes, a refused build changes nothing, and once every station
// is removed no map cell names one.
#include "data/database.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "world/cell_rows.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world.h"

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
    WorldModelHooks hooks;
    Setting() {
        plat::Clock::UseFake(0);
        std::string text;
        if (plat::ReadWholeFile("gamedata/config/MDConfig.gen", text)) {
            GetDatabase().Init();
            GetDatabase().Read(text);
            GetDatabase().ApplyAllTables(KindSelector::All);
        }
        if (plat::ReadWholeFile("gamedata/station_config.txt", text))
            GetStationLayouts().Read(text, "station_config.txt");
        ConnectWorldModel(game, hooks);
        StartGame(game, 1);
        InstallStations();
        InstallStationCommands();
    }
};

constexpr uint16_t kTypes[] = {2, 3, 24, 25, 26, 27};
constexpr size_t kPayloadBytes = 24;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting* setting = new Setting;
    DeleteAllMapObjects();
    ResetCellRows();
    GetWorldMap().ResetState();
    GetWorldMap().SetMapSizeNoReset(64, 64);
    for (WorldCell& cell : GetWorldMap().GetGrid())
        cell = WorldCell{};
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
    for (Station* station : AllStations()) {
        Check(station->GetName().size() < Station::kNameBytes);
        RemoveStation(station->GetId());
    }
    Check(AllStations().empty());
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            Check(GetStation(GetWorldMap().GetCellBuilding(x, y)) == nullptr);
    return 0;
}
