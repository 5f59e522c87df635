// Loads arbitrary bytes as a whole saved game into a running game that has
// towns and factories installed, so that the towns' section and the
// factories among the objects are read: once as they are and once with the
// checksum made to fit. A load either succeeds, with every town's centre
// on the map, or leaves the running game exactly as it was.
#include "economy/city.h"
#include "economy/town_services.h"
#include "files/crc32.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "world/world_map.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void LoadInto(std::span<const uint8_t> bytes) {
    static TownWorldHooks world;
    Game game;
    InstallTownsAndIndustry(game);
    ConnectWorldModel(game, world);
    StartGame(game, 77);
    NewGameInit(game, 16, 16);
    std::vector<uint8_t> before;
    Check(SaveGameToMemory(game, before));
    if (LoadGameFromMemory(game, bytes)) {
        const WorldMap& map = GetWorldMap();
        for (int32_t i = 1; i <= GetCityCount(); ++i)
            if (const City* city = GetCity(i))
                Check(city->GetCentreX() >= 0 && uint32_t(city->GetCentreX()) < map.GetWidth() &&
                      city->GetCentreY() >= 0 && uint32_t(city->GetCentreY()) < map.GetHeight());
        // A loaded game runs on.
        for (int frame = 0; frame < 40; ++frame) {
            game.AdvanceFrame(25);
            game.Step();
        }
    } else {
        std::vector<uint8_t> after;
        Check(SaveGameToMemory(game, after));
        Check(after == before);
    }
    DeleteAllCities();
    UninstallTownsAndIndustry();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool setUp = (SetGameLogSink([](const std::string&) {}), plat::Clock::UseFake(0), true);
    (void)setUp;
    std::vector<uint8_t> bytes(data, data + size);
    LoadInto(bytes);
    if (bytes.size() >= 8) {
        uint32_t head = plat::LoadLE32(bytes.data() + 4);
        if (head >= 16 && head <= bytes.size()) {
            plat::StoreLE32(bytes.data() + head - 4, Crc32(std::span<const uint8_t>(bytes).subspan(head)));
            LoadInto(bytes);
        }
    }
    return 0;
}
