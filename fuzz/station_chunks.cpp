// Loads arbitrary bytes as a saved game's object section ("obj") with the
// station class installed, on the shipped station layouts. Whatever the
// bytes, every station loaded keeps a name that fits its field and a
// rotation that is a direction, answers its lookups and texts, and saves
// and loads again to the same bytes.
#include "data/database.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/file.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world.h"

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

void LoadGameData() {
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    std::string text;
    if (plat::ReadWholeFile("gamedata/config/MDConfig.gen", text)) {
        GetDatabase().Init();
        GetDatabase().Read(text);
        GetDatabase().ApplyAllTables(KindSelector::All);
    }
    if (plat::ReadWholeFile("gamedata/station_config.txt", text))
        GetStationLayouts().Read(text, "station_config.txt");
}

std::vector<uint8_t> SaveStations() {
    std::vector<uint8_t> bytes;
    std::string text = "fuzz";
    uint32_t version = 1;
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryWriteStream(bytes), text, version))
        return {};
    uint32_t tag = ChunkTag("obj");
    BeginChunk(tag);
    SaveMapObjects();
    EndChunk();
    Check(CloseStream());
    return bytes;
}

bool LoadSection(std::span<const uint8_t> data) {
    std::string text;
    uint32_t version = 0;
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryReadStream(data), text, version))
        return false;
    bool loaded = false;
    for (int i = 0; i < 8 && !loaded; ++i) {
        uint32_t tag = 0;
        BeginChunk(tag);
        if (tag == ChunkTag("obj")) {
            LoadMapObjects();
            loaded = true;
        }
        EndChunk();
        if (tag == 0)
            break;
    }
    CloseStream();
    return loaded;
}

void ExerciseStations() {
    for (Station* station : AllStations()) {
        Check(station->GetName().size() < Station::kNameBytes);
        const uint32_t r = station->GetRotation();
        Check(r == 1 || r == 2 || r == 4 || r == 8);
        std::string text;
        station->GetInfoText(text);
        station->GetLinkedStationNames(text);
        station->CountFreeLoadAreas(true);
        station->GetConnectionMaskAt(station->GetOriginX(), station->GetOriginY());
        station->GetWayMaskAt(station->GetOriginX(), station->GetOriginY());
        station->CanAddExtension(4);
        station->GetRunningCost();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadGameData();
    World world;
    WorldScope scope(world);
    CreateGameClock(1);
    world.Map().SetMapSizeNoReset(64, 64);
    InstallStations();
    if (!LoadSection(std::span(data, size)))
        return 0;
    ExerciseStations();
    const std::vector<uint8_t> first = SaveStations();
    DeleteAllMapObjects();
    Check(LoadSection(first));
    Check(SaveStations() == first);
    DeleteAllMapObjects();
    return 0;
}
