// Loads arbitrary bytes as a saved game's tile map ("gmap"). Whatever the
// bytes, the load either refuses them with a reason or leaves a map whose
// every row index is sound: each cell is read through every accessor and
// then turned back into a bare plain cell, which releases all of its rows.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/cell_rows.h"
#include "world/game_clock.h"
#include "world/world_errors.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void ExerciseMap() {
    WorldMap& map = GetWorldMap();
    for (uint32_t y = 0; y < map.GetHeight(); ++y) {
        for (uint32_t x = 0; x < map.GetWidth(); ++x) {
            WorldCell& cell = *map.CellAt(x, y);
            Check(cell.Kind() < kCellKindCount);
            (void)map.GetEdgeHeight(x, y, 1u << (x & 3), false);
            (void)map.GetRouteSlotValue(x, y, 0, 1 + (y & 1), 15);
            (void)map.GetLayer1Object(x, y);
            (void)map.GetCellBuilding(x, y);
            (void)map.GetWaterwayValue(x, y);
            (void)map.IsTrackRoadCrossing(x, y);
            if (cell.Kind() == kCellDecoration) {
                map.RemoveDecorationAt(x, y);
                continue;
            }
            ChangeKind(cell, kCellPlain);
            SetAttachment(cell, 0, 0);
            SetAttachment(cell, 0, 1);
            Check(cell.RowBits() == 0);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    uint32_t version = 0;
    // A header that is refused leaves its stream open: the scope drops it,
    // so that the next input is read at all.
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version))
        return 0;
    if (!GetGameClock())
        CreateGameClock(1);
    ResetWorldState();
    for (int i = 0; i < 8; ++i) {
        uint32_t tag = 0;
        BeginChunk(tag);
        bool loaded = false, ok = false;
        if (tag == ChunkTag("gmap")) {
            loaded = true;
            ok = GetWorldMap().LoadWorldMap();
            Check(ok || !LastWorldError().empty());
        }
        EndChunk();
        if (loaded && ok)
            ExerciseMap();
        if (tag == 0)
            break;
    }
    CloseStream();
    return 0;
}
