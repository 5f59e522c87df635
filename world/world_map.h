// The world's tile map: its size, the grid of cells in row-major order, the
// network change flags, and every bounds-checked read and edit of a tile,
// together with the decorations, the change logs, the marked rectangle and
// the list of level crossings that hang off the grid.
#pragma once

#include "world/cell_rows.h"
#include "world/world_cell.h"

#include <cstdint>
#include <memory>
#include <vector>

inline constexpr uint32_t kMaxMapSize = 2048;

struct DirectionStep {
    uint32_t mask;
    int32_t dx, dy;
    uint32_t opposite;
    uint32_t oppositeMask;
};
// Directions 0-7: the four straight ones (0 up, 1 right, 2 down, 3 left),
// then the diagonals.
extern const DirectionStep kDirections[8];
inline uint32_t DirectionMask(uint32_t d) {
    return kDirections[d & 7].mask;
}
inline uint32_t OppositeDirectionMask(uint32_t d) {
    return kDirections[d & 7].oppositeMask;
}
uint32_t DirectionFromMask(uint32_t mask);

struct CrossingEntry {
    uint32_t key = 0; // (y << 16) + x
    uint32_t time = 0;
};

struct DecorationRecord {
    uint32_t x = 0, y = 0, number = 0, frame = 0;
};

// Collects the decorations removed while it is open; deleting it places
// them again through game commands.
class MapChangeLog {
public:
    const std::vector<DecorationRecord>& Records() const { return records_; }

private:
    friend class WorldMap;
    std::vector<DecorationRecord> records_;
};

class SpecialTrackBase;
struct TerrainRow;

class WorldMap {
public:
    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }
    bool InMap(uint32_t x, uint32_t y) const { return x < width_ && y < height_; }
    uint32_t GetRevision() const { return revision_; }
    void IncrementRevision() { ++revision_; }

    bool RoadNetworkChanged() const { return flags_[0] != 0; }
    void MarkRoadNetworkChanged() { flags_[0] = 1; }
    void ClearRoadNetworkChanged() { flags_[0] = 0; }
    bool TrackNetworkChanged() const { return flags_[1] != 0; }
    void MarkTrackNetworkChanged();
    void ClearTrackNetworkChanged() { flags_[1] = 0; }
    uint8_t GetNetworkFlag3() const { return flags_[2]; }
    void ClearNetworkFlag3() { flags_[2] = 0; }

    // The per-kind row pools behind the cells.
    CellRows& Rows() { return rows_; }
    const CellRows& Rows() const { return rows_; }

    std::vector<WorldCell>& GetGrid() { return cells_; }
    const std::vector<WorldCell>& GetGrid() const { return cells_; }

    // Sizes the map when w and h are even and at most 2048 (else the size
    // stays), then paints terrain 1 everywhere. Always true.
    bool SetMapSize(uint32_t w, uint32_t h);
    // Sizes the map without painting; an odd or oversized request changes
    // nothing. True when the size was taken.
    bool SetMapSizeNoReset(uint32_t w, uint32_t h);
    // Clears flags, revision, crossings, change logs and the marked
    // rectangle; the grid keeps its size and cells.
    void ResetState();

    // The cell of a tile inside the map; no bounds test.
    WorldCell* CellAt(uint32_t x, uint32_t y) { return &cells_[size_t(y) * width_ + x]; }
    // The cell of a tile, null outside the map.
    WorldCell* FindCell(uint32_t x, uint32_t y) { return InMap(x, y) ? CellAt(x, y) : nullptr; }
    const WorldCell* FindCell(uint32_t x, uint32_t y) const {
        return InMap(x, y) ? &cells_[size_t(y) * width_ + x] : nullptr;
    }

    // Per-tile reads and edits: 0 or nothing outside the map.
    uint32_t GetCellKind(uint32_t x, uint32_t y) const;
    void SetCellKindAt(uint32_t x, uint32_t y, uint32_t kind);
    uint32_t GetTerrainIndex(uint32_t x, uint32_t y) const;
    uint32_t GetCellLowBits(uint32_t x, uint32_t y) const;
    uint32_t GetWaterColourIndex(uint32_t x, uint32_t y) const;
    uint32_t GetDecorationNumber(uint32_t x, uint32_t y) const;
    bool IsCellMarked(uint32_t x, uint32_t y) const;
    uint32_t GetRouteSubKind(uint32_t x, uint32_t y) const;
    uint32_t GetCellBuilding(uint32_t x, uint32_t y) const;
    void SetCellBuilding(uint32_t x, uint32_t y, uint32_t id);
    uint32_t GetRoadDirections(uint32_t x, uint32_t y) const { return GetRouteDirections(2, x, y); }
    void SetRoadDirections(uint32_t x, uint32_t y, uint32_t mask) { SetRouteDirections(2, x, y, mask); }
    uint32_t GetTrackDirections(uint32_t x, uint32_t y) const { return GetRouteDirections(1, x, y); }
    void SetTrackDirections(uint32_t x, uint32_t y, uint32_t mask) { SetRouteDirections(1, x, y, mask); }
    uint32_t GetRouteDirections(uint32_t layer, uint32_t x, uint32_t y) const;
    void SetRouteDirections(uint32_t layer, uint32_t x, uint32_t y, uint32_t mask);
    void SetRouteType(uint32_t layer, uint32_t x, uint32_t y, uint32_t row);
    uint32_t GetLayerTag(uint32_t layer, uint32_t x, uint32_t y) const;
    void SetLayerTag(uint32_t layer, uint32_t x, uint32_t y, uint32_t v);
    bool GetRouteFlagA(uint32_t layer, uint32_t x, uint32_t y) const;
    void SetRouteFlagA(uint32_t layer, uint32_t x, uint32_t y, bool b);
    bool GetRouteFlagB(uint32_t layer, uint32_t x, uint32_t y) const;
    void SetRouteFlagB(uint32_t layer, uint32_t x, uint32_t y, bool b);
    int32_t GetSavedDirections(uint32_t layer, uint32_t x, uint32_t y) const;
    void SetSavedDirections(uint32_t layer, uint32_t x, uint32_t y, uint32_t v);
    uint32_t GetSavedRouteType(uint32_t layer, uint32_t x, uint32_t y) const;
    void SetSavedRouteType(uint32_t layer, uint32_t x, uint32_t y, uint32_t v);
    uint32_t GetWaterwayValue(uint32_t x, uint32_t y) const;
    void SetWaterwayValue(uint32_t x, uint32_t y, uint32_t v);
    uint32_t GetRouteSignal(uint32_t x, uint32_t y) const;
    void SetRouteSignal(uint32_t x, uint32_t y, uint32_t id);
    uint32_t GetEdgeHeightMatchMask(uint32_t x, uint32_t y, int32_t h) const;
    void SetEdgeHeights(uint32_t x, uint32_t y, int32_t h, uint32_t mask);
    uint32_t GetRouteByte(uint32_t x, uint32_t y) const;
    void SetRouteByte(uint32_t x, uint32_t y, uint32_t v);
    bool HasRoad(uint32_t x, uint32_t y) const { return GetRoadDirections(x, y) != 0; }
    bool HasTrack(uint32_t x, uint32_t y) const { return GetTrackDirections(x, y) != 0; }
    uint32_t GetLayer1Object(uint32_t x, uint32_t y) const;
    uint32_t GetLayer2Object(uint32_t x, uint32_t y) const;
    uint32_t GetBuildingAt(uint32_t x, uint32_t y) const;
    // Word 0 bit 14, the site flag: kept as loaded, set by no operation of
    // the map; a town's site search takes only tiles where it is clear.
    bool IsSiteFlagClear(uint32_t x, uint32_t y) const;
    // Word 0 bits 29-30, the movers' occupancy of the tile: 1 a walker, 2 a
    // path traveller, 0 none. Cleared on load.
    uint32_t GetMoverOccupancy(uint32_t x, uint32_t y) const;
    void SetMoverOccupancy(uint32_t x, uint32_t y, uint32_t v);
    // Word 0 bit 31, the mark of a free mover on the tile. Cleared on load.
    bool HasFreeMoverMark(uint32_t x, uint32_t y) const;
    void SetFreeMoverMark(uint32_t x, uint32_t y, bool b);
    int32_t GetTerrainType(uint32_t x, uint32_t y) const;
    int32_t GetTerrainMixtureType(uint32_t x, uint32_t y) const;
    bool IsWater(uint32_t x, uint32_t y) const;
    bool IsNavigable(uint32_t x, uint32_t y) const;
    bool CanBuildRouteAt(uint32_t x, uint32_t y) const;

    // Special tracks keep their route data in the object. The reads keep
    // no state, so that a search may run them beside other readers.
    // The special track standing on the tile, or null.
    SpecialTrackBase* FindSpecialTrack(uint32_t x, uint32_t y) const;
    bool IsSpecialTrackAt(uint32_t x, uint32_t y) const { return FindSpecialTrack(x, y) != nullptr; }
    uint32_t GetRouteTypeAt(uint32_t layer, uint32_t x, uint32_t y) const;
    uint32_t GetTileNodeId(uint32_t x, uint32_t y) const;
    void SetTileNodeId(uint32_t x, uint32_t y, uint32_t v);
    uint32_t GetRouteSlotValue(uint32_t x, uint32_t y, uint32_t i, uint32_t source, uint32_t mask) const;
    void SetRouteSlotValue(uint32_t x, uint32_t y, uint32_t i, uint32_t v, uint32_t source, uint32_t mask);
    int32_t GetEdgeHeight(uint32_t x, uint32_t y, uint32_t mask, bool ignoreSpecialTrack) const;
    bool IsNearSpecialTrackType7(uint32_t x, uint32_t y) const;
    bool IsTrackRoadCrossing(uint32_t x, uint32_t y) const;
    bool TouchesTunnelEntrance(uint32_t x, uint32_t y) const;

    // Terrain painting, on the terrain-block grid.
    void SetTerrainAt(uint32_t x, uint32_t y, uint32_t t);
    void SetWaterColourAt(uint32_t x, uint32_t y, uint32_t c);
    void ResetTerrain();

    // Area tests and footprints. Flags of IsAreaBuildable: 1 footprints
    // allowed, 2 routes allowed, 4 a bridge overhead allowed, 8 no water
    // ring test.
    bool IsAreaBuildable(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t flags) const;
    uint32_t CountWaterTiles(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const;
    bool IsStraightSpanInsideMap(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const;
    bool CanPlaceRouteTile(uint32_t x, uint32_t y, uint32_t straight) const;
    // Mode 1 tests only, mode 2 places untested, any other places when the
    // area is free.
    bool PlaceFootprint(uint32_t x, uint32_t y, uint32_t buildingId, uint32_t w, uint32_t h, uint32_t mode);
    void ResetCell(uint32_t x, uint32_t y);

    // Decorations: n x n squares (n 1-7) of one graphic (number 0-127,
    // frame 0-126). A square that leaves the map, an occupied tile or a
    // graphic beyond the fields places nothing.
    bool PlaceDecoration(uint32_t x, uint32_t y, uint32_t number, uint32_t frame);
    bool IsDecorationFree(uint32_t x, uint32_t y) const;
    // The origin cell of the decoration at (x, y), moving x and y to it.
    WorldCell* FindDecorationOrigin(uint32_t& x, uint32_t& y);
    void RemoveDecorationAt(uint32_t x, uint32_t y);
    MapChangeLog* CreateMapChangeLog();
    void DeleteMapChangeLog(MapChangeLog* log);
    void SetMarkedRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

    // Route tiles.
    void SetRouteKind(uint32_t x, uint32_t y, uint32_t sub);
    void SetRouteKindAndClear(uint32_t x, uint32_t y, uint32_t sub);
    bool PlaceTownRoad(uint32_t x, uint32_t y, uint32_t directions);
    void UpdateRoadConnections(uint32_t x, uint32_t y);
    void UpdateTrackConnections(uint32_t x, uint32_t y);
    void AttachSpanToRect(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t spanId);
    bool DetachSpanFromRect(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t spanId);

    // Level crossings, sorted by (y << 16) + x.
    bool RegisterCrossing(uint32_t x, uint32_t y, uint32_t time);
    bool RebuildCrossingList(uint32_t time);
    bool LookupCrossing(uint32_t x, uint32_t y, uint32_t& time) const;
    std::vector<CrossingEntry>& CrossingList() { return crossings_; }

    // The "gmap" chunks. Saving reads only; a game's save stores route
    // flags A and B clear (clearRouteFlags). Loading refuses (false, with a
    // logged reason) a header, grid or pool that does not hold together.
    bool SaveWorldMap(bool clearRouteFlags = false) const;
    bool LoadWorldMap();

    const TerrainRow* TerrainAt(uint32_t x, uint32_t y) const;

private:
    void ResizeGrid(uint32_t w, uint32_t h);
    bool RectInMap(uint32_t x, uint32_t y, uint32_t w, uint32_t h) const;
    void InvalidateMiniMap(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void SetWaterColourOfCell(uint32_t x, uint32_t y, uint32_t c);

    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t revision_ = 0;
    uint8_t flags_[4] = {0, 0, 0, 0};
    std::vector<WorldCell> cells_;
    CellRows rows_;
    std::vector<std::unique_ptr<MapChangeLog>> changeLogs_;
    struct {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
        bool set = false;
    } marked_;
    std::vector<CrossingEntry> crossings_;
};

// The current world's tile map (GetWorldMap) comes with the world.
#include "world/world.h"

// Decoration commands posted while no session listens, oldest first.
std::vector<DecorationRecord> TakePostedDecorations();
