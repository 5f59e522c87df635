// The island file: a compressed chunk file of a header chunk, the cells
// ("map"), the mountains ("moun") and a closing chunk. The same routine
// stores and loads, for an island record or for the whole world.
#include "world/island_template.h"

#include "data/generated/terrain_tables.h"
#include "files/aplib.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/world_errors.h"
#include "world/world_map.h"
#include "world/world_sections.h"
#include "world/world_services.h"

#include <algorithm>
#include <string>

namespace {

constexpr uint32_t kTagMap = ChunkTag("map");
constexpr uint32_t kTagMountains = ChunkTag("moun");
constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kCellSize = 8;
constexpr uint32_t kRecordSize = 12;
// Cells move through a small buffer in batches.
constexpr uint32_t kBatchCells = 8192;

bool Refuse(const std::string& reason) {
    ReportWorldError("island refused: " + reason);
    return false;
}

// A cell as the island keeps it: without the map view's bits 29-31 and
// without any row index, since the file carries no row pools. Cells that
// need a row (routes, footprints) become plain cells; a waterway keeps its
// kind only on water.
void SettleCell(WorldCell& cell) {
    cell.word0 &= 0x1FFFFFFFu;
    switch (cell.Kind()) {
    case kCellDecoration:
        return;
    case kCellWaterway: {
        cell.ClearRowBits();
        const TerrainRow* terrain = TerrainTable::Find(int32_t(cell.TerrainIndex()));
        if (!terrain || !terrain->IsWater)
            cell.SetKindBits(kCellPlain);
        return;
    }
    default:
        cell.SetKindBits(kCellPlain);
        cell.ClearRowBits();
        return;
    }
}

void StoreCells(const std::vector<WorldCell>& cells) {
    uint32_t count = uint32_t(cells.size());
    TransferListHeader(count, kCellSize);
    std::vector<uint8_t> buffer(size_t(std::min(count, kBatchCells)) * kCellSize);
    for (uint32_t first = 0; first < count; first += kBatchCells) {
        uint32_t n = std::min(kBatchCells, count - first);
        for (uint32_t i = 0; i < n; ++i) {
            plat::StoreLE32(&buffer[i * kCellSize], cells[first + i].word0);
            plat::StoreLE32(&buffer[i * kCellSize + 4], cells[first + i].word1);
        }
        TransferInChunk(buffer.data(), n * kCellSize);
    }
}

// Reads exactly `expected` cells; the first 8 bytes of each stored element
// are the two words in every layout (older ones add slots, dropped here).
bool LoadCells(std::vector<WorldCell>& cells, uint32_t expected) {
    uint32_t count = 0;
    uint32_t stored = TransferListHeader(count, kCellSize);
    if (stored == 0 || StreamFailed())
        return Refuse("the cell list is missing or damaged");
    if (stored < kCellSize)
        return Refuse("cells of " + std::to_string(stored) + " bytes");
    if (count != expected)
        return Refuse(std::to_string(count) + " cells for " + std::to_string(expected) + " tiles");
    // The list header has checked that the elements lie in the chunk.
    cells.assign(count, WorldCell{});
    if (stored == kCellSize) {
        std::vector<uint8_t> buffer(size_t(std::min(count, kBatchCells)) * kCellSize);
        for (uint32_t first = 0; first < count; first += kBatchCells) {
            uint32_t n = std::min(kBatchCells, count - first);
            if (TransferInChunk(buffer.data(), n * kCellSize) != n * kCellSize)
                return Refuse("the cells are cut off");
            for (uint32_t i = 0; i < n; ++i) {
                cells[first + i].word0 = plat::LoadLE32(&buffer[i * kCellSize]);
                cells[first + i].word1 = plat::LoadLE32(&buffer[i * kCellSize + 4]);
            }
        }
    } else {
        for (WorldCell& cell : cells) {
            uint8_t bytes[kCellSize] = {};
            if (TransferListElement(bytes, kCellSize, stored) != kCellSize)
                return Refuse("the cells are cut off");
            cell.word0 = plat::LoadLE32(bytes);
            cell.word1 = plat::LoadLE32(bytes + 4);
        }
    }
    for (WorldCell& cell : cells)
        SettleCell(cell);
    return true;
}

bool TransferMapChunk(IslandTemplate* island) {
    WorldMap& map = GetWorldMap();
    uint8_t header[kHeaderSize] = {};
    if (StreamMode() == kStreamStore) {
        if (island) {
            plat::StoreLE32(header, island->width);
            plat::StoreLE32(header + 4, island->height);
            plat::StoreLE32(header + 8, island->headerWord2);
            plat::StoreLE32(header + 12, island->headerWord3);
        } else {
            // The world map's own header words: revision and change flags.
            plat::StoreLE32(header, map.GetWidth());
            plat::StoreLE32(header + 4, map.GetHeight());
            plat::StoreLE32(header + 8, map.GetRevision());
            plat::StoreLE32(header + 12, uint32_t(map.RoadNetworkChanged()) |
                                             uint32_t(map.TrackNetworkChanged()) << 8 |
                                             uint32_t(map.GetNetworkFlag3()) << 16);
        }
        TransferSized(header, kHeaderSize);
        StoreCells(island ? island->cells : map.GetGrid());
        return true;
    }

    uint32_t moved = TransferSized(header, kHeaderSize);
    if (moved < 4 + 8)
        return Refuse("the size header is missing");
    uint32_t w = plat::LoadLE32(header), h = plat::LoadLE32(header + 4);
    if (w == 0 || h == 0 || w > kMaxIslandSize || h > kMaxIslandSize)
        return Refuse("a size of " + std::to_string(w) + " x " + std::to_string(h) + " (1 to 2048 only)");
    if (!island) {
        if (w % 2 != 0 || h % 2 != 0)
            return Refuse("a world of " + std::to_string(w) + " x " + std::to_string(h) +
                          " (even sizes only)");
        std::vector<WorldCell> cells;
        if (!LoadCells(cells, w * h) || !map.SetMapSizeNoReset(w, h))
            return false;
        map.GetGrid() = std::move(cells);
        return true;
    }
    std::vector<WorldCell> cells;
    if (!LoadCells(cells, w * h))
        return false;
    island->width = w;
    island->height = h;
    island->headerWord2 = plat::LoadLE32(header + 8);
    island->headerWord3 = plat::LoadLE32(header + 12);
    island->cells = std::move(cells);
    return true;
}

struct MountainRecord {
    uint32_t handle = 0, category = 0, subtype = 0;
};

void TransferRecord(MountainRecord& record, uint32_t stored) {
    uint8_t bytes[kRecordSize];
    plat::StoreLE32(bytes, record.handle);
    plat::StoreLE32(bytes + 4, record.category);
    plat::StoreLE32(bytes + 8, record.subtype);
    TransferListElement(bytes, kRecordSize, stored);
    record.handle = plat::LoadLE32(bytes);
    record.category = plat::LoadLE32(bytes + 4);
    record.subtype = plat::LoadLE32(bytes + 8);
}

bool StoreMountains(IslandTemplate* island) {
    std::vector<MountainRecord> records;
    std::vector<MapObject*> objects;
    if (island) {
        for (size_t i = 0; i < island->mountains.size(); ++i) {
            if (!island->mountains[i])
                continue;
            // An island's mountains have no object id: the handle is their
            // place in the list.
            records.push_back({MakeObjectHandle(kCategoryBuilding, uint32_t(i)), uint32_t(kCategoryBuilding),
                               uint32_t(Mountain::kSubtype)});
            objects.push_back(island->mountains[i].get());
        }
    } else {
        GetMapObjects(objects, kSelectCategory | kSelectSubtype, kCategoryBuilding, Mountain::kSubtype, 0);
        for (MapObject* object : objects)
            records.push_back(
                {object->GetId(), uint32_t(object->GetCategory()), uint32_t(object->GetSubtype())});
    }
    uint32_t count = uint32_t(records.size());
    TransferListHeader(count, kRecordSize);
    for (MountainRecord& record : records)
        TransferRecord(record, kRecordSize);
    for (MapObject* object : objects)
        object->Save();
    return true;
}

bool LoadMountains(IslandTemplate* island) {
    uint32_t count = 0;
    uint32_t stored = TransferListHeader(count, kRecordSize);
    if (stored == 0 || StreamFailed())
        return Refuse("the mountain list is missing or damaged");
    if (stored < kRecordSize)
        return Refuse("mountain records of " + std::to_string(stored) + " bytes");
    std::vector<MountainRecord> records(count);
    std::vector<uint8_t> taken;
    uint32_t highest = 0;
    for (MountainRecord& record : records) {
        TransferRecord(record, stored);
        uint32_t index = record.handle & kObjectIndexMask;
        if (record.category != uint32_t(kCategoryBuilding) ||
            record.subtype != uint32_t(Mountain::kSubtype) ||
            (record.handle >> kObjectIndexBits) != uint32_t(kCategoryBuilding) || index == 0)
            return Refuse("a mountain record " + std::to_string(record.handle) + " of kind " +
                          std::to_string(record.category) + "/" + std::to_string(record.subtype));
        highest = std::max(highest, index);
    }
    if (StreamFailed())
        return Refuse("the mountain list is damaged: " + StreamError());
    // Bounded by the index field: at most 2^19 entries.
    taken.assign(highest, 0);
    for (const MountainRecord& record : records) {
        uint32_t index = record.handle & kObjectIndexMask;
        if (taken[index - 1])
            return Refuse("mountain " + std::to_string(index) + " is named twice");
        taken[index - 1] = 1;
    }
    if (island) {
        island->mountains.clear();
        island->mountains.resize(highest);
    }
    for (const MountainRecord& record : records) {
        if (ChunkBytesLeft() == 0)
            return Refuse("the data of mountain " + std::to_string(record.handle & kObjectIndexMask) +
                          " is missing");
        uint32_t index = record.handle & kObjectIndexMask;
        if (island) {
            // Never registered, so its id stays 0 and it never touches the
            // world map.
            auto mountain = std::make_unique<Mountain>();
            mountain->Load();
            island->mountains[index - 1] = std::move(mountain);
        } else {
            MapObject* object = CreateMapObject(kCategoryBuilding, Mountain::kSubtype, record.handle);
            if (!object)
                return Refuse("mountain " + std::to_string(index) + " cannot be created");
            object->Load();
        }
        if (StreamFailed())
            return Refuse("mountain " + std::to_string(index) + " is damaged: " + StreamError());
    }
    return true;
}

// Whether every mountain's tile lies on the island's map (one never placed
// keeps (-1, -1)) and its footprint is no larger than a map, as a loaded
// world's objects must; else refused, naming the first that does not.
bool MountainsOnTheMap(const IslandTemplate& island) {
    for (size_t i = 0; i < island.mountains.size(); ++i) {
        const Mountain* mountain = island.mountains[i].get();
        if (!mountain)
            continue;
        const int64_t x = mountain->GetX(), y = mountain->GetY();
        const int64_t width = mountain->GetWidth(), height = mountain->GetHeight();
        const std::string name = "mountain " + std::to_string(i + 1);
        if (width < 0 || height < 0 || width > int64_t(kMaxMapSize) || height > int64_t(kMaxMapSize))
            return Refuse(name + " has a footprint of " + std::to_string(width) + " x " +
                          std::to_string(height) + " tiles");
        if (!(x == -1 && y == -1) &&
            (x < 0 || y < 0 || x >= int64_t(island.width) || y >= int64_t(island.height)))
            return Refuse(name + " at (" + std::to_string(x) + ", " + std::to_string(y) + ") lies off the " +
                          std::to_string(island.width) + " x " + std::to_string(island.height) + " map");
    }
    return true;
}

bool StoreIsland(IslandTemplate* island) {
    uint32_t tag = kTagMap;
    BeginChunk(tag);
    TransferMapChunk(island);
    EndChunk();
    tag = kTagMountains;
    BeginChunk(tag);
    StoreMountains(island);
    EndChunk();
    tag = 0;
    BeginChunk(tag);
    EndChunk();
    return !StreamFailed();
}

bool LoadIslandChunks(IslandTemplate* island) {
    bool sawMap = false, sawMountains = false;
    for (;;) {
        uint32_t tag = 0;
        bool present = BeginChunk(tag) != 0;
        bool ok = true;
        if (present && tag == kTagMap) {
            ok = !sawMap ? TransferMapChunk(island) : Refuse("a second map chunk");
            sawMap = true;
        } else if (present && tag == kTagMountains) {
            ok = !sawMountains ? LoadMountains(island) : Refuse("a second mountain chunk");
            sawMountains = true;
        }
        EndChunk();
        if (StreamFailed())
            return Refuse("the file is damaged: " + StreamError());
        if (!ok)
            return false;
        if (!present)
            return Refuse("the file ends before its closing chunk");
        if (tag == 0)
            break;
    }
    if (!sawMap)
        return Refuse("the map chunk is missing");
    if (!sawMountains)
        return Refuse("the mountain chunk is missing");
    return true;
}

// Loads the plain chunk file once, in its own stream.
bool RunLoad(std::span<const uint8_t> plain, IslandTemplate* island) {
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    if (!BeginSaveStream(OpenMemoryReadStream(plain), text, version)) {
        Refuse("no island file header: " + StreamError());
        CloseStream();
        return false;
    }
    bool ok = SerializeIsland(island);
    if (!CloseStream() && ok)
        return Refuse("the file is damaged: " + StreamError());
    return ok;
}

} // namespace

bool SerializeIsland(IslandTemplate* island) {
    if (StreamMode() == kStreamStore)
        return StoreIsland(island);
    if (StreamMode() != kStreamLoad)
        return false;
    return LoadIslandChunks(island);
}

bool LoadIslandFromPlainBytes(std::span<const uint8_t> plain, IslandTemplate* island) {
    // Everything is checked on a scratch record first, so that a refused
    // file leaves the record empty and the world as it was.
    auto scratch = std::make_unique<IslandTemplate>();
    bool ok = RunLoad(plain, scratch.get()) && MountainsOnTheMap(*scratch);
    if (ok && !island && (scratch->width % 2 != 0 || scratch->height % 2 != 0))
        ok = Refuse("a world of " + std::to_string(scratch->width) + " x " + std::to_string(scratch->height) +
                    " (even sizes only)");
    if (island) {
        island->mountains.clear();
        island->cells.clear();
        island->width = island->height = island->headerWord2 = island->headerWord3 = 0;
        if (!ok)
            return false;
        island->mountains = std::move(scratch->mountains);
        island->cells = std::move(scratch->cells);
        island->width = scratch->width;
        island->height = scratch->height;
        island->headerWord2 = scratch->headerWord2;
        island->headerWord3 = scratch->headerWord3;
        return true;
    }
    if (!ok)
        return false;
    scratch.reset();
    ResetWorldState();
    ok = RunLoad(plain, nullptr);
    // The loaded mountains stamp their footprints again.
    ApplyMou1Templates();
    WorldMap& map = GetWorldMap();
    if (Services().invalidateMiniMapRect)
        Services().invalidateMiniMapRect(0, 0, int32_t(map.GetWidth()), int32_t(map.GetHeight()));
    return ok;
}

bool LoadIslandFromBytes(std::span<const uint8_t> file, IslandTemplate* island) {
    if (file.size() >= kPackedSaveHeaderSize && plat::LoadLE32(file.data() + 4) > kMaxIslandPlainSize)
        return Refuse("it claims " + std::to_string(plat::LoadLE32(file.data() + 4)) + " bytes of content");
    std::vector<uint8_t> plain;
    std::string error;
    if (!UnpackSaveImage(file, plain, &error))
        return Refuse(error);
    return LoadIslandFromPlainBytes(plain, island);
}

bool LoadIsland(const std::string& path, IslandTemplate* island) {
    ClearWorldError();
    if (island) {
        island->mountains.clear();
        island->cells.clear();
        island->width = island->height = 0;
    }
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read))
        return Refuse(path + " cannot be opened");
    uint64_t size = file.Size();
    if (size == UINT64_MAX || size > kPackedSaveHeaderSize + AplibMaxPackedSize(kMaxIslandPlainSize))
        return Refuse(path + " is too large for an island");
    std::vector<uint8_t> bytes(size_t(size), 0);
    if (!file.ReadExact(bytes.data(), bytes.size()))
        return Refuse(path + " cannot be read");
    if (!LoadIslandFromBytes(bytes, island)) {
        ReportWorldError(path + ": " + LastWorldError());
        return false;
    }
    return true;
}

bool SaveIslandToBytes(const IslandTemplate* island, std::vector<uint8_t>& file) {
    if (island &&
        (island->width == 0 || island->height == 0 || island->width > kMaxIslandSize ||
         island->height > kMaxIslandSize || island->cells.size() != size_t(island->width) * island->height))
        return Refuse("a record of " + std::to_string(island->width) + " x " +
                      std::to_string(island->height) + " with " + std::to_string(island->cells.size()) +
                      " cells is not saved");
    std::vector<uint8_t> plain;
    {
        SaveStreamScope scope;
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        bool ok = BeginSaveStream(std::make_unique<MemoryWriteStream>(plain), text, version);
        ok = ok && SerializeIsland(const_cast<IslandTemplate*>(island));
        if (!CloseStream() || !ok)
            return Refuse("the island could not be stored: " + StreamError());
    }
    if (!PackSaveImage(plain, file))
        return Refuse("the island could not be packed");
    return true;
}

bool SaveIsland(const std::string& path, const IslandTemplate* island) {
    std::vector<uint8_t> file;
    if (!SaveIslandToBytes(island, file))
        return false;
    std::string error;
    if (!plat::WriteFileAtomically(path, file.data(), file.size(), &error))
        return Refuse(error);
    return true;
}
