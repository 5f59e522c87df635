// Loads arbitrary bytes as the towns' section of a saved game ("city" with
// each town's cit1 to cit5 chunks) into a game on a 48 x 48 map. A load
// either fails or leaves towns that hold together: centres on the map, per
// tile data of the towns' sizes, and towns that go on growing.
#include "economy/city.h"
#include "economy/town_services.h"
#include "files/chunk_stream.h"
#include "files/crc32.h"
#include "files/memory_stream.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "world/world_map.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Setup {
    TownWorldHooks world;
    Game game;
    Setup() {
        SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        InstallTownsAndIndustry(game);
        ConnectWorldModel(game, world);
        StartGame(game, 5);
        NewGameInit(game, 48, 48);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept to the process's end: its world outlives every static.
    static Setup& setup = *new Setup;
    WorldScope scope(setup.game.GetWorld());
    // The stream's checksum is made to fit, so that the section is read.
    std::vector<uint8_t> bytes(data, data + size);
    if (bytes.size() >= 8) {
        const uint32_t head = plat::LoadLE32(bytes.data() + 4);
        if (head >= 16 && head <= bytes.size())
            plat::StoreLE32(bytes.data() + head - 4, Crc32(std::span<const uint8_t>(bytes).subspan(head)));
    }
    bool loaded = false;
    {
        SaveStreamScope stream;
        std::string text;
        uint32_t version = 0;
        if (BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(bytes)), text, version)) {
            uint32_t tag = 0;
            BeginChunk(tag);
            loaded = tag == ChunkTag("city") && LoadCities();
            EndChunk();
            CloseStream();
        }
    }
    if (loaded) {
        const WorldMap& map = GetWorldMap();
        for (int32_t i = 1; i <= GetCityCount(); ++i) {
            City* city = GetCity(i);
            if (!city)
                continue;
            Check(city->GetCentreX() >= 0 && uint32_t(city->GetCentreX()) < map.GetWidth());
            Check(city->GetCentreY() >= 0 && uint32_t(city->GetCentreY()) < map.GetHeight());
            Check(city->GetPlan().GetWidth() == uint32_t(city->GetWidth()));
            Check(city->GetGrid(kGridShape).GetHeight() == uint32_t(city->GetHeight()));
        }
        for (int32_t k = 0; k < 4 * GetCityCount(); ++k)
            UpdateCities(uint32_t(1000000 + 1000 * k));
    }
    DeleteAllCities(true);
    return 0;
}
