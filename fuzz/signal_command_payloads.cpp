// Executes arbitrary signal and special-track commands over a short track:
// each record of the input is a type byte (picking ids 32, 40 or 41), a
// player byte and the payload bytes, read as a received message would be.
// Whatever they hold, no command crashes, every signal stands on a track
// tile that names it, and removing every piece gives the track back.
#include "data/database.h"
#include "data/generated/route_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/signal_commands.h"
#include "transport/signals.h"
#include "transport/special_track.h"
#include "world/cell_rows.h"
#include "world/object_manager.h"
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

ValueTable Table(uint32_t columns, std::initializer_list<float> cells) {
    ValueTable t;
    t.Resize(columns, uint32_t(cells.size()) / columns);
    t.Cells().assign(cells);
    return t;
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
        InstallSpecialTracks();
        InstallSignalCommands();
        SpecialTracksRow* sw = SpecialTracksTable::GetOrCreateRow(3);
        sw->AreaDescription = Table(2, {1, 2, 1, 2, 1, 0});
        sw->Directions = Table(2, {5, 6, 5, 9, 5, 0});
        sw->PathTable = Table(2, {0, 0, 0, 1, 0, 2});
        sw->IsSwitch = 1;
        sw->ConstructionCostMultiplier = 2;
        SpecialTracksRow* crossing = SpecialTracksTable::GetOrCreateRow(4);
        crossing->AreaDescription = Table(1, {2});
        crossing->PathTable = Table(2, {0, 0});
    }
};

constexpr uint16_t kTypes[] = {32, 40, 41};
constexpr size_t kPayloadBytes[] = {20, 20, 8};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting* setting = new Setting;
    DeleteAllMapObjects();
    DeleteAllSignals();
    ResetCellRows();
    WorldMap& map = GetWorldMap();
    map.ResetState();
    map.SetMapSizeNoReset(16, 16);
    for (WorldCell& cell : map.GetGrid())
        cell = WorldCell{};
    for (WorldCell& cell : map.GetGrid())
        cell.SetTerrainIndex(1);
    for (uint32_t y = 1; y < 15; ++y) {
        map.SetRouteKindAndClear(4, y, 1);
        map.SetRouteType(1, 4, y, 2);
        map.SetTrackDirections(4, y, 5);
    }
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
    for (uint32_t id = 1; id <= SignalSlotCount(); ++id)
        if (const Signal* signal = GetSignal(id))
            Check(map.GetRouteSignal(signal->x, signal->y) == id);
    for (SpecialTrack* piece : BuildingsOf<SpecialTrack>(kSpecialTrackSubtype))
        RemoveSpecialTrack(piece);
    for (uint32_t y = 1; y < 15; ++y)
        Check(map.GetTrackDirections(4, y) == 5);
    return 0;
}
