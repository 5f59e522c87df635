// Saving and loading the tile map: the header, the cells, the five row
// pools and the crossing list as nested chunks, with the older cell layouts
// converted and every index checked before the map is used.
#include "world/world_map.h"

#include "data/generated/terrain_tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "world/game_clock.h"
#include "world/map_object.h"
#include "world/world_errors.h"
#include "world/world_services.h"

#include <algorithm>
#include <string>

namespace {

constexpr uint32_t kTagMap1 = ChunkTag("map1");
constexpr uint32_t kTagMap2 = ChunkTag("map2");
constexpr uint32_t kTagMap3 = ChunkTag("map3");
constexpr uint32_t kTagMap4 = ChunkTag("map4");
constexpr uint32_t kTagRoute = ChunkTag("gmf1");
constexpr uint32_t kTagAttachment = ChunkTag("gmf3");
constexpr uint32_t kTagWaterway = ChunkTag("ilmh");
constexpr uint32_t kTagPlain = ChunkTag("brid");
constexpr uint32_t kTagFootprint = ChunkTag("buil");
constexpr uint32_t kTagCount = ChunkTag("ind1");
constexpr uint32_t kTagFreeHead = ChunkTag("ind2");
constexpr uint32_t kTagRows = ChunkTag("ind3");
constexpr uint32_t kTagCrossings = 0x474174;

constexpr uint32_t kCellSize = 8;
constexpr uint32_t kOldCellSize = 16;
// Cells move in batches through a small buffer.
constexpr uint32_t kBatchCells = 8192;

struct OldCell {
    uint32_t word0 = 0, word1 = 0, slot0 = 0, slot1 = 0;
};

// The grid as a counted array of 8-byte cells.
void TransferCells(std::vector<WorldCell>& cells, uint32_t limit) {
    uint32_t count = uint32_t(cells.size());
    uint32_t stored = TransferListHeader(count, kCellSize);
    if (stored == 0)
        return;
    bool loading = StreamMode() == kStreamLoad;
    if (loading && count > limit) {
        ReportWorldError("map cells: " + std::to_string(count) + " cells for a map of " +
                         std::to_string(limit));
        SkipInChunk(ChunkBytesLeft());
        return;
    }
    if (loading && stored != kCellSize) {
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t bytes[kCellSize] = {};
            plat::StoreLE32(bytes, cells[i].word0);
            plat::StoreLE32(bytes + 4, cells[i].word1);
            TransferListElement(bytes, kCellSize, stored);
            cells[i].word0 = plat::LoadLE32(bytes);
            cells[i].word1 = plat::LoadLE32(bytes + 4);
        }
        return;
    }
    std::vector<uint8_t> buffer(size_t(std::min(count, kBatchCells)) * kCellSize);
    for (uint32_t first = 0; first < count; first += kBatchCells) {
        uint32_t n = std::min(kBatchCells, count - first);
        if (!loading)
            for (uint32_t i = 0; i < n; ++i) {
                plat::StoreLE32(&buffer[i * kCellSize], cells[first + i].word0);
                plat::StoreLE32(&buffer[i * kCellSize + 4], cells[first + i].word1);
            }
        uint32_t moved = TransferInChunk(buffer.data(), n * kCellSize);
        if (loading)
            for (uint32_t i = 0; i < moved / kCellSize; ++i) {
                cells[first + i].word0 = plat::LoadLE32(&buffer[i * kCellSize]);
                cells[first + i].word1 = plat::LoadLE32(&buffer[i * kCellSize + 4]);
            }
        if (moved < n * kCellSize)
            return;
    }
}

void LoadOldCells(std::vector<OldCell>& cells, uint32_t limit) {
    uint32_t count = 0;
    uint32_t stored = TransferListHeader(count, kOldCellSize);
    if (stored == 0)
        return;
    if (count > limit) {
        ReportWorldError("map cells: " + std::to_string(count) + " cells for a map of " +
                         std::to_string(limit));
        SkipInChunk(ChunkBytesLeft());
        return;
    }
    cells.resize(count);
    for (OldCell& cell : cells) {
        uint8_t bytes[kOldCellSize] = {};
        if (TransferListElement(bytes, kOldCellSize, stored) == 0)
            break;
        cell.word0 = plat::LoadLE32(bytes);
        cell.word1 = plat::LoadLE32(bytes + 4);
        cell.slot0 = plat::LoadLE32(bytes + 8);
        cell.slot1 = plat::LoadLE32(bytes + 12);
    }
}

template <class Row>
void TransferRows(std::vector<Row>& rows, uint32_t limit) {
    bool loading = StreamMode() == kStreamLoad;
    size_t claimed = rows.size();
    TransferList(rows, Row::kSize, [](Row& row) { row.Transfer(); });
    if (!loading)
        return;
    if (rows.size() > limit) {
        ReportWorldError("map rows: " + std::to_string(rows.size()) + " rows, at most " +
                         std::to_string(limit));
        return;
    }
    // Rows the count claimed beyond the stored ones stay as fresh rows.
    if (rows.size() < claimed)
        rows.resize(claimed);
}

// The most rows a pool may claim: two for every cell, and the spare row.
uint32_t RowLimit(const WorldMap& map) {
    return uint32_t(std::min<uint64_t>(uint64_t(map.GetWidth()) * map.GetHeight() * 2 + 1, 0xFFFFFFFEu));
}

template <class Row>
void TransferPool(CellRowPool<Row>& pool, uint32_t limit) {
    static constexpr uint32_t kTags[] = {kTagCount, kTagFreeHead, kTagRows};
    bool loading = StreamMode() == kStreamLoad;
    for (uint32_t expected : kTags) {
        uint32_t tag = loading ? 0 : expected;
        BeginChunk(tag);
        if (tag == kTagCount) {
            uint32_t count = pool.Size();
            if (Transfer(count) == 4 && loading) {
                if (count > limit)
                    ReportWorldError("map rows: a pool claims " + std::to_string(count) + " rows");
                else
                    pool.RowsForLoad().resize(count);
            }
        } else if (tag == kTagFreeHead) {
            uint32_t head = pool.FreeHead();
            if (Transfer(head) == 4 && loading)
                pool.SetFreeHead(head);
        } else if (tag == kTagRows) {
            TransferRows(pool.RowsForLoad(), limit);
        }
        EndChunk();
        if (tag == 0)
            break;
    }
}

bool TransferPools(WorldMap& map) {
    CellRows& rows = map.Rows();
    uint32_t limit = RowLimit(map);
    static constexpr uint32_t kTags[] = {kTagRoute, kTagAttachment, kTagWaterway, kTagPlain, kTagFootprint};
    bool loading = StreamMode() == kStreamLoad;
    for (uint32_t expected : kTags) {
        uint32_t tag = loading ? 0 : expected;
        BeginChunk(tag);
        switch (tag) {
        case kTagRoute:
            TransferPool(rows.route, limit);
            break;
        case kTagAttachment:
            TransferPool(rows.attachment, limit);
            break;
        case kTagWaterway:
            TransferPool(rows.waterway, limit);
            break;
        case kTagPlain:
            TransferPool(rows.plain, limit);
            break;
        case kTagFootprint:
            TransferPool(rows.footprint, limit);
            break;
        default:
            break;
        }
        EndChunk();
        if (tag == 0)
            break;
    }
    return true;
}

void TransferCrossings(std::vector<CrossingEntry>& list, uint32_t limit) {
    uint32_t tag = kTagCrossings;
    BeginChunk(tag);
    if (tag == kTagCrossings) {
        uint32_t count = uint32_t(list.size());
        uint32_t stored = TransferListHeader(count, 8);
        bool loading = StreamMode() == kStreamLoad;
        if (stored != 0 && (!loading || count <= limit)) {
            if (loading && count > list.size())
                list.resize(count);
            for (uint32_t i = 0; i < count; ++i) {
                uint8_t bytes[8];
                plat::StoreLE32(bytes, list[i].key);
                plat::StoreLE32(bytes + 4, list[i].time);
                if (TransferListElement(bytes, 8, stored) == 0)
                    break;
                list[i].key = plat::LoadLE32(bytes);
                list[i].time = plat::LoadLE32(bytes + 4);
            }
        }
    }
    EndChunk();
}

// The save's direction of the transfers above, reading only.

void SaveCells(const std::vector<WorldCell>& cells) {
    uint32_t count = uint32_t(cells.size());
    if (TransferListHeader(count, kCellSize) == 0)
        return;
    std::vector<uint8_t> buffer(size_t(std::min(count, kBatchCells)) * kCellSize);
    for (uint32_t first = 0; first < count; first += kBatchCells) {
        const uint32_t n = std::min(kBatchCells, count - first);
        for (uint32_t i = 0; i < n; ++i) {
            plat::StoreLE32(&buffer[i * kCellSize], cells[first + i].word0);
            plat::StoreLE32(&buffer[i * kCellSize + 4], cells[first + i].word1);
        }
        if (TransferInChunk(buffer.data(), n * kCellSize) < n * kCellSize)
            return;
    }
}

// A pool's three chunks; keep(index, row) gives the row as it is stored.
template <class Row, class Keep>
void SavePool(const CellRowPool<Row>& pool, Keep&& keep) {
    uint32_t tag = kTagCount;
    BeginChunk(tag);
    uint32_t count = pool.Size();
    Transfer(count);
    EndChunk();
    tag = kTagFreeHead;
    BeginChunk(tag);
    uint32_t head = pool.FreeHead();
    Transfer(head);
    EndChunk();
    tag = kTagRows;
    BeginChunk(tag);
    const uint32_t storedSize = TransferListHeader(count, Row::kSize);
    for (uint32_t i = 0; i < count && !StreamFailed(); ++i) {
        Row row = keep(i, pool[i]);
        BeginListRecord(storedSize);
        row.Transfer();
        EndListRecord();
    }
    EndChunk();
}

// Route flags A and B: bits 28-31 of a route row.
constexpr uint32_t kRouteFlagBits = 0xF0000000u;

// With clearRouteFlags, the rows of route cells are stored with route
// flags A and B clear.
void SavePools(const WorldMap& map, bool clearRouteFlags) {
    const CellRows& rows = map.Rows();
    std::vector<bool> routeCellRows;
    if (clearRouteFlags) {
        routeCellRows.assign(rows.route.Size(), false);
        for (const WorldCell& cell : map.GetGrid())
            if (cell.Kind() == kCellRoute && cell.RowBits() < routeCellRows.size())
                routeCellRows[cell.RowBits()] = true;
    }
    const auto asIs = [](uint32_t, const auto& row) { return row; };
    uint32_t tag = kTagRoute;
    BeginChunk(tag);
    SavePool(rows.route, [&routeCellRows](uint32_t index, RouteCell row) {
        if (index < routeCellRows.size() && routeCellRows[index])
            row.bits &= ~kRouteFlagBits;
        return row;
    });
    EndChunk();
    tag = kTagAttachment;
    BeginChunk(tag);
    SavePool(rows.attachment, asIs);
    EndChunk();
    tag = kTagWaterway;
    BeginChunk(tag);
    SavePool(rows.waterway, asIs);
    EndChunk();
    tag = kTagPlain;
    BeginChunk(tag);
    SavePool(rows.plain, asIs);
    EndChunk();
    tag = kTagFootprint;
    BeginChunk(tag);
    SavePool(rows.footprint, asIs);
    EndChunk();
}

void SaveCrossings(const std::vector<CrossingEntry>& list) {
    uint32_t tag = kTagCrossings;
    BeginChunk(tag);
    uint32_t count = uint32_t(list.size());
    const uint32_t stored = TransferListHeader(count, 8);
    for (uint32_t i = 0; i < count && stored != 0; ++i) {
        uint8_t bytes[8];
        plat::StoreLE32(bytes, list[i].key);
        plat::StoreLE32(bytes + 4, list[i].time);
        if (TransferListElement(bytes, 8, stored) == 0)
            break;
    }
    EndChunk();
}

// Marks a row of a pool as used by one holder; false when the index names
// no row, a free row, or a row another holder already uses.
class RowUse {
public:
    template <class Row>
    bool Init(const CellRowPool<Row>& pool, const char* name, std::string& error) {
        const auto& rows = const_cast<CellRowPool<Row>&>(pool).RowsForLoad();
        used_.assign(rows.size(), 0);
        name_ = name;
        uint32_t steps = 0;
        for (uint32_t i = pool.FreeHead(); i != kNoRow; i = const_cast<CellRowPool<Row>&>(pool)[i].Link()) {
            if (i >= rows.size() || used_[i] || ++steps > rows.size()) {
                error = std::string("the free list of the ") + name + " rows is broken";
                return false;
            }
            used_[i] = 2;
        }
        return true;
    }
    bool Take(uint32_t index, std::string& error) {
        if (index >= used_.size() || used_[index] != 0) {
            error = std::string("a ") + name_ + " row index " + std::to_string(index) +
                    (index >= used_.size() ? " lies past the pool" : " is free or shared");
            return false;
        }
        used_[index] = 1;
        return true;
    }

private:
    std::vector<uint8_t> used_;
    const char* name_ = "";
};

bool TakeSlots(RowUse& attachments, uint32_t slot0, uint32_t slot1, std::string& error) {
    return (slot0 == 0 || attachments.Take(slot0 - 1, error)) &&
           (slot1 == 0 || attachments.Take(slot1 - 1, error));
}

// Every row index of the grid and the pools must name a live row of the
// right pool, each used once.
bool ValidateRows(const std::vector<WorldCell>& cells, std::string& error) {
    CellRows& rows = Rows();
    RowUse route, attachment, waterway, plain, footprint;
    if (!route.Init(rows.route, "route", error) || !attachment.Init(rows.attachment, "attachment", error) ||
        !waterway.Init(rows.waterway, "waterway", error) || !plain.Init(rows.plain, "plain", error) ||
        !footprint.Init(rows.footprint, "footprint", error))
        return false;
    for (const WorldCell& cell : cells) {
        uint32_t bits = cell.RowBits();
        switch (cell.Kind()) {
        case kCellPlain:
            if (bits != 0 &&
                (!plain.Take(bits - 1, error) ||
                 !TakeSlots(attachment, rows.plain[bits - 1].slot0, rows.plain[bits - 1].slot1, error)))
                return false;
            break;
        case kCellFootprint:
            if (bits != 0 &&
                (!footprint.Take(bits - 1, error) || !TakeSlots(attachment, rows.footprint[bits - 1].slot0,
                                                                rows.footprint[bits - 1].slot1, error)))
                return false;
            break;
        case kCellRoute:
            if (!route.Take(bits, error) ||
                !TakeSlots(attachment, rows.route[bits].slot[0], rows.route[bits].slot[1], error))
                return false;
            break;
        case kCellWaterway:
            if (bits != 0 &&
                (!waterway.Take(bits - 1, error) ||
                 !TakeSlots(attachment, rows.waterway[bits - 1].slot0, rows.waterway[bits - 1].slot1, error)))
                return false;
            break;
        case kCellDecoration:
            break;
        default:
            error = "a cell of kind " + std::to_string(cell.Kind());
            return false;
        }
    }
    return true;
}

bool FailLoad(WorldMap& map, const std::string& reason) {
    ReportWorldError("map refused: " + reason);
    map.GetGrid().assign(map.GetGrid().size(), WorldCell{});
    ResetCellRows();
    map.CrossingList().clear();
    return false;
}

} // namespace

bool WorldMap::SaveWorldMap(bool clearRouteFlags) const {
    uint32_t tag = kTagMap1;
    BeginChunk(tag);
    uint8_t header[16];
    plat::StoreLE32(header, width_);
    plat::StoreLE32(header + 4, height_);
    plat::StoreLE32(header + 8, revision_);
    std::copy(std::begin(flags_), std::end(flags_), header + 12);
    TransferSized(header, sizeof header);
    EndChunk();

    tag = kTagMap2;
    BeginChunk(tag);
    SaveCells(cells_);
    EndChunk();

    tag = kTagMap3;
    BeginChunk(tag);
    SavePools(*this, clearRouteFlags);
    EndChunk();

    tag = kTagMap4;
    BeginChunk(tag);
    SaveCrossings(crossings_);
    EndChunk();
    return true;
}

bool WorldMap::LoadWorldMap() {
    uint32_t version = GetStreamVersion();
    std::vector<OldCell> oldCells;
    bool sized = false;
    ClearWorldError();
    for (int step = 0; step < 4; ++step) {
        uint32_t tag = 0;
        BeginChunk(tag);
        if (tag == kTagMap1) {
            uint8_t header[16] = {};
            uint32_t moved = TransferSized(header, sizeof header);
            uint32_t w = plat::LoadLE32(header), h = plat::LoadLE32(header + 4);
            if (moved < 4 + 8 || w > kMaxMapSize || h > kMaxMapSize || w % 2 != 0 || h % 2 != 0) {
                EndChunk();
                ReportWorldError("map refused: a map of " + std::to_string(w) + " x " + std::to_string(h) +
                                 " (even sizes up to 2048 only)");
                return false;
            }
            revision_ = plat::LoadLE32(header + 8);
            std::copy(header + 12, header + 16, flags_);
            ResizeGrid(w, h);
            oldCells.clear();
            sized = true;
        } else if (tag == kTagMap2 && sized) {
            if (version > 2)
                TransferCells(cells_, uint32_t(cells_.size()));
            else
                LoadOldCells(oldCells, uint32_t(cells_.size()));
        } else if (tag == kTagMap3) {
            TransferPools(*this);
        } else if (tag == kTagMap4) {
            RebuildCrossingList(CurrentGameTimeMs());
            TransferCrossings(crossings_, uint32_t(cells_.size()));
            std::stable_sort(crossings_.begin(), crossings_.end(),
                             [](const CrossingEntry& a, const CrossingEntry& b) { return a.key < b.key; });
        }
        EndChunk();
        if (tag == 0)
            break;
    }
    if (StreamFailed())
        return FailLoad(*this, "the map section is damaged: " + StreamError());
    if (!LastWorldError().empty())
        return FailLoad(*this, LastWorldError());
    if (!sized)
        return FailLoad(*this, "the map header is missing");

    // Older layouts keep a footprint's building id and a waterway's
    // building index in the cell itself; take them out before the indices
    // are checked.
    std::vector<std::pair<size_t, uint32_t>> footprintIds, waterwayIndices;
    if (oldCells.size() > cells_.size())
        return FailLoad(*this, "more cells than the map holds");
    for (size_t i = 0; i < oldCells.size(); ++i) {
        cells_[i].word0 = oldCells[i].word0;
        cells_[i].word1 = oldCells[i].word1;
    }
    for (size_t i = 0; i < cells_.size(); ++i) {
        WorldCell& cell = cells_[i];
        if (version < 4 && cell.Kind() == kCellFootprint) {
            footprintIds.push_back({i, cell.RowBits()});
            cell.ClearRowBits();
        } else if (version < 2 && cell.Kind() == kCellWaterway) {
            waterwayIndices.push_back({i, cell.RowBits()});
            cell.ClearRowBits();
        } else if (version <= 2 && cell.Kind() == kCellPlain) {
            cell.ClearRowBits();
        }
    }
    std::string error;
    if (!ValidateRows(cells_, error))
        return FailLoad(*this, error);

    CellRows& rows = rows_;
    for (size_t i = 0; i < oldCells.size(); ++i) {
        const OldCell& old = oldCells[i];
        if (old.slot0 == 0 && old.slot1 == 0)
            continue;
        WorldCell& cell = cells_[i];
        if (old.slot0 > rows.attachment.Size() || old.slot1 > rows.attachment.Size())
            return FailLoad(*this, "an old cell names an attachment row past the pool");
        switch (cell.Kind()) {
        case kCellRoute:
            rows.route[cell.RowBits()].slot[0] = old.slot0;
            rows.route[cell.RowBits()].slot[1] = old.slot1;
            break;
        case kCellWaterway:
        case kCellPlain: {
            // Through SetAttachment would take new attachment rows; the old
            // ones stay, so the row is filled directly.
            if (cell.Kind() == kCellPlain) {
                uint32_t index = rows.plain.Alloc();
                rows.plain[index] = PlainRow{old.slot0, old.slot1};
                cell.SetRowBits(index + 1);
            } else {
                uint32_t bits = cell.RowBits();
                if (bits == 0) {
                    uint32_t index = rows.waterway.Alloc();
                    rows.waterway[index] = WaterwayRow{};
                    cell.SetRowBits(index + 1);
                    bits = index + 1;
                }
                rows.waterway[bits - 1].slot0 = old.slot0;
                rows.waterway[bits - 1].slot1 = old.slot1;
            }
            break;
        }
        default:
            break;
        }
    }
    for (const auto& [i, id] : footprintIds)
        SetFootprintBuilding(cells_[i], id);
    for (const auto& [i, index] : waterwayIndices)
        if (index != 0)
            ::SetCellBuilding(cells_[i], 0x80000u + (index & kObjectIndexMask));
    if (!oldCells.empty() && !ValidateRows(cells_, error))
        return FailLoad(*this, error);

    for (uint32_t y = 0; y < height_; ++y) {
        for (uint32_t x = 0; x < width_; ++x) {
            WorldCell& cell = *CellAt(x, y);
            cell.word0 &= 0x1FFFFFFFu;
            // Route cells keep their graph node numbers: the route planners
            // take them over, so a loaded game numbers its junctions as the
            // saved one did and its searches break ties alike.
            if (cell.Kind() == kCellWaterway) {
                const TerrainRow* terrain = TerrainTable::Find(int32_t(cell.TerrainIndex()));
                if (!terrain || !terrain->IsWater)
                    ChangeKind(cell, kCellPlain);
            }
        }
    }
    if (Services().textureStagesLimited && Services().textureStagesLimited()) {
        for (uint32_t y = 0; y < height_; y += 4) {
            for (uint32_t x = 0; x < width_; x += 4) {
                WorldCell& cell = *CellAt(x, y);
                uint32_t c = cell.WaterColour();
                if (c == 0)
                    continue;
                const WaterColorRow* row = WaterColorTable::Find(int32_t(c));
                cell.SetWaterColour(0);
                cell.SetTerrainIndex(uint32_t(row ? row->TerrainIndexMapping : 0));
            }
        }
    }
    return true;
}
