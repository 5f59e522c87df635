// Loads arbitrary bytes as a saved game's object section ("obj") with the
// special-track class installed and a switch and a crossing shape defined.
// Whatever the bytes, every piece loaded answers its queries over and
// around its footprint, saves and loads again to the same bytes, and gives
// back its tiles when removed.
#include "data/generated/route_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "transport/special_track.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world.h"
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

ValueTable Table(uint32_t columns, std::initializer_list<float> cells) {
    ValueTable t;
    t.Resize(columns, uint32_t(cells.size()) / columns);
    t.Cells().assign(cells);
    return t;
}

void DefineShapes() {
    static bool defined = false;
    if (defined)
        return;
    defined = true;
    SpecialTracksRow* sw = SpecialTracksTable::GetOrCreateRow(3);
    sw->AreaDescription = Table(2, {1, 2, 1, 2, 1, 0});
    sw->Directions = Table(2, {5, 6, 5, 9, 5, 0});
    sw->PathTable = Table(2, {0, 0, 0, 1, 0, 2});
    sw->IsSwitch = 1;
    SpecialTracksRow* crossing = SpecialTracksTable::GetOrCreateRow(4);
    crossing->AreaDescription = Table(1, {2});
    crossing->PathTable = Table(2, {0, 0});
}

std::vector<uint8_t> SavePieces() {
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

void ExercisePieces() {
    for (SpecialTrack* piece : BuildingsOf<SpecialTrack>(kSpecialTrackSubtype)) {
        Check(piece->GetRotation() < 4);
        std::string text;
        piece->GetInfoText(text);
        for (int32_t dy = -1; dy <= 7; ++dy) {
            for (int32_t dx = -1; dx <= 7; ++dx) {
                const int32_t x = piece->GetX() + dx, y = piece->GetY() + dy;
                piece->GetNodeId(x, y);
                piece->SetNodeId(x, y, 1);
                piece->GetCellSlot(x, y, 1, 0);
                piece->GetPathIndexAt(x, y);
                piece->GetUsableDirections(x, y);
                piece->CapturedWord(x, y);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DefineShapes();
    World world;
    WorldScope scope(world);
    CreateGameClock(1);
    world.Map().SetMapSizeNoReset(64, 64);
    InstallSpecialTracks();
    if (!LoadSection(std::span(data, size)))
        return 0;
    ExercisePieces();
    const std::vector<uint8_t> first = SavePieces();
    DeleteAllMapObjects();
    Check(LoadSection(first));
    Check(SavePieces() == first);
    for (SpecialTrack* piece : BuildingsOf<SpecialTrack>(kSpecialTrackSubtype))
        RemoveSpecialTrack(piece);
    DeleteAllMapObjects();
    return 0;
}
