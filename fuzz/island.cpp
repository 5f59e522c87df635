// Loads arbitrary bytes as an island file, both as the compressed
// container and as the plain chunk file inside it, into a record and as the
// whole world. Whatever the bytes, a load either refuses them with a
// reason or gives a record whose size matches its cells and whose cells
// hold no row index; a refused world load leaves the world as it was.
#include "world/cell_rows.h"
#include "world/game_clock.h"
#include "world/island_template.h"
#include "world/map_check.h"
#include "world/mountain.h"
#include "world/world_errors.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void CheckRecord(bool loaded, const IslandTemplate& island) {
    Check(loaded || !LastWorldError().empty());
    if (!loaded) {
        Check(island.cells.empty() && island.mountains.empty() && island.width == 0);
        return;
    }
    Check(island.width > 0 && island.height > 0 && island.width <= kMaxIslandSize &&
          island.height <= kMaxIslandSize);
    Check(island.cells.size() == size_t(island.width) * island.height);
    for (const WorldCell& cell : island.cells) {
        Check(cell.Kind() == kCellPlain || cell.Kind() == kCellDecoration || cell.Kind() == kCellWaterway);
        Check(cell.Kind() == kCellDecoration || cell.RowBits() == 0);
        Check(cell.word0 >> 29 == 0);
    }
    for (const auto& mountain : island.mountains)
        Check(!mountain || mountain->GetId() == 0);
}

void LoadAsWorld(std::span<const uint8_t> plain) {
    ResetWorldState();
    GetWorldMap().SetMapSize(4, 4);
    if (!LoadIslandFromPlainBytes(plain, nullptr)) {
        Check(GetWorldMap().GetWidth() == 4);
        return;
    }
    // Row pools stay as the reset left them.
    Check(Rows().route.Size() == 1 && Rows().footprint.Size() <= 1 + GetWorldMap().GetGrid().size());
    MapCheck::CheckCells();
    MapCheck();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!GetGameClock())
        CreateGameClock(1);
    std::span<const uint8_t> bytes(data, size);
    {
        IslandTemplate island;
        CheckRecord(LoadIslandFromBytes(bytes, &island), island);
    }
    {
        IslandTemplate island;
        CheckRecord(LoadIslandFromPlainBytes(bytes, &island), island);
    }
    // The whole world only for small maps, to keep runs short.
    if (size < 4096)
        LoadAsWorld(bytes);
    return 0;
}
