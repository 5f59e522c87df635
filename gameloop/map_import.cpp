#include "gameloop/map_import.h"

#include "data/generated/terrain_tables.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "world/island_template.h"
#include "world/map_check.h"
#include "world/player.h"
#include "world/world_errors.h"
#include "world/world_map.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

constexpr int32_t kClassCount = 200000;
constexpr int32_t kNoTerrain = -1;

// The lookup key of a classification, or -1 when it has none.
int32_t ClassKey(int32_t c, int32_t a, int32_t b) {
    if (c < 0 || a < 0 || b < 0 || a >= 100 || b >= 100)
        return -1;
    const int64_t key = (int64_t(c) * 100 + a) * 100 + b;
    return key < kClassCount ? int32_t(key) : -1;
}

// One sampled source cell: its terrain index and water colour.
struct SampledCell {
    uint16_t terrain = 0;
    uint16_t water = 0;
};

bool Refuse(const std::string& path, const std::string& reason) {
    GameLog("%s: map not imported: %s", path.c_str(), reason.c_str());
    return false;
}

} // namespace

bool ImportSiblingMap(Game& game, const std::string& path, const TerrainSpriteExists& spriteExists) {
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read))
        return Refuse(path, "the file cannot be opened");
    const uint64_t fileSize = file.Size();
    uint8_t header[kSiblingHeaderSize];
    if (fileSize == UINT64_MAX || !file.ReadExact(header, sizeof header))
        return Refuse(path, "the header is cut short");
    const uint64_t blockOffset = plat::LoadLE32(header + kSiblingSizeBlockField);
    uint8_t block[kSiblingSizeBlockSize];
    if (blockOffset > fileSize || fileSize - blockOffset < sizeof block || !file.Seek(blockOffset) ||
        !file.ReadExact(block, sizeof block))
        return Refuse(path, "the size block lies past the end of the file");
    const uint32_t width = plat::LoadLE32(block);
    const uint32_t height = plat::LoadLE32(block + 4);
    const uint32_t mapWidth = width / 2, mapHeight = height / 2;
    if (width % 2 || height % 2 || mapWidth < 2 || mapHeight < 2 || mapWidth % 2 || mapHeight % 2 ||
        mapWidth > kMaxMapSize || mapHeight > kMaxMapSize)
        return Refuse(path, "a source of " + std::to_string(width) + " x " + std::to_string(height) +
                                " cells makes no map of even sides up to " + std::to_string(kMaxMapSize));
    const uint64_t records = uint64_t(width) * height * kSiblingRecordSize;
    const uint64_t recordsAt = blockOffset + sizeof block;
    if (fileSize - recordsAt < records)
        return Refuse(path, "the file ends inside its cell records");

    // Only the cells of even row and column that fall on the map are used:
    // each paints the 2 x 2 tiles at its own place.
    const uint32_t columns = mapWidth / 2, rows = mapHeight / 2;
    std::vector<SampledCell> cells(size_t(columns) * rows);
    std::vector<uint8_t> line(size_t(mapWidth) * kSiblingRecordSize);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint64_t at = recordsAt + uint64_t(2 * r) * width * kSiblingRecordSize;
        if (!file.Seek(at) || !file.ReadExact(line.data(), line.size()))
            return Refuse(path, "the cell records cannot be read");
        for (uint32_t c = 0; c < columns; ++c) {
            const uint8_t* record = line.data() + size_t(2 * c) * kSiblingRecordSize;
            SampledCell& cell = cells[size_t(r) * columns + c];
            cell.terrain = uint16_t((plat::LoadLE16(record) >> 4) & 0x1FF);
            cell.water = uint16_t((plat::LoadLE16(record + 4) >> 7) & 0x3F);
        }
    }
    file.Close();

    ResetWorld(game);
    // Which Terrain row draws each classification; a later row wins.
    std::vector<int32_t> lookup(kClassCount, kNoTerrain);
    for (int32_t i = 0; i < TerrainTable::RowCount(); ++i) {
        const TerrainRow* row = TerrainTable::Find(i);
        if (!row || (spriteExists && !spriteExists(i)))
            continue;
        const int32_t key = ClassKey(row->TerrainType, row->TerrainMixtureTyp, row->BaseType);
        if (key >= 0)
            lookup[size_t(key)] = i;
    }
    WorldMap& map = GetWorldMap();
    map.SetMapSize(mapWidth, mapHeight);
    game.SetMapSize(mapWidth, mapHeight);
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            const SampledCell& cell = cells[size_t(r) * columns + c];
            const TerrainSB2Row* source = TerrainSB2Table::Find(cell.terrain);
            const int32_t kind = source ? source->TerrainType : 0;
            const int32_t key = source ? ClassKey(kind, source->TerrainMixtureTyp, source->BaseType) : -1;
            int32_t terrain = key >= 0 ? lookup[size_t(key)] : kNoTerrain;
            if (terrain == kNoTerrain)
                terrain = kind == 3 ? 900 : 0;
            const uint32_t x = 2 * c, y = 2 * r;
            for (uint32_t dy = 0; dy < 2; ++dy) {
                for (uint32_t dx = 0; dx < 2; ++dx) {
                    map.SetTerrainAt(x + dx, y + dy, uint32_t(terrain));
                    if (kind == 3)
                        map.SetWaterColourAt(x + dx, y + dy, cell.water);
                }
            }
        }
    }
    return true;
}

bool ImportIslandAsWorld(Game& game, const std::string& path) {
    // The file is checked whole before the running world is touched.
    {
        IslandTemplate check;
        if (!LoadIsland(path, &check))
            return Refuse(path, LastWorldError());
        if (check.width % 2 || check.height % 2)
            return Refuse(path, "an island of odd sides cannot be a world");
    }
    ResetWorld(game);
    if (!LoadIsland(path, nullptr)) {
        // The file changed under us; the world is left reset and empty.
        ResetWorld(game);
        return Refuse(path, LastWorldError());
    }
    // The island's load empties the companies with the rest of the world.
    CreatePlayers();
    MapCheck::CheckCells();
    MapCheck();
    WorldMap& map = GetWorldMap();
    game.SetMapSize(map.GetWidth(), map.GetHeight());
    return true;
}

bool ImportMapFile(Game& game, const std::string& path) {
    WorldScope scope(game.GetWorld());
    std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    return extension == ".mdi" ? ImportIslandAsWorld(game, path) : ImportSiblingMap(game, path);
}
