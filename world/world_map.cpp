#include "world/world_map.h"

#include "data/generated/terrain_tables.h"
#include "world/object_manager.h"
#include "world/span_piece.h"
#include "world/special_track.h"
#include "world/world_services.h"

#include <algorithm>

const DirectionStep kDirections[8] = {
    {1, 0, -1, 2, 4},  {2, 1, 0, 3, 8}, {4, 0, 1, 0, 1},   {8, -1, 0, 1, 2},
    {3, 1, -1, 7, 12}, {6, 1, 1, 6, 9}, {9, -1, -1, 5, 6}, {12, -1, 1, 4, 3},
};

uint32_t DirectionFromMask(uint32_t mask) {
    for (uint32_t d = 0; d < 8; ++d)
        if (kDirections[d].mask == mask)
            return d;
    return 0;
}

void WorldMap::MarkTrackNetworkChanged() {
    flags_[1] = 1;
    if (Services().markSignalBlocksDirty)
        Services().markSignalBlocksDirty();
}

void WorldMap::InvalidateMiniMap(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (Services().invalidateMiniMapRect)
        Services().invalidateMiniMapRect(left, top, right, bottom);
}

void WorldMap::ResizeGrid(uint32_t w, uint32_t h) {
    if (w != width_ || h != height_) {
        std::vector<WorldCell>().swap(cells_);
        width_ = w;
        height_ = h;
    }
    cells_.assign(size_t(w) * h, WorldCell{});
}

bool WorldMap::SetMapSize(uint32_t w, uint32_t h) {
    if (w <= kMaxMapSize && h <= kMaxMapSize && w % 2 == 0 && h % 2 == 0)
        ResizeGrid(w, h);
    ResetTerrain();
    return true;
}

bool WorldMap::SetMapSizeNoReset(uint32_t w, uint32_t h) {
    if (w > kMaxMapSize || h > kMaxMapSize || w % 2 != 0 || h % 2 != 0)
        return false;
    ResizeGrid(w, h);
    return true;
}

void WorldMap::ResetState() {
    revision_ = 0;
    std::fill(std::begin(flags_), std::end(flags_), uint8_t(0));
    changeLogs_.clear();
    marked_ = {};
    crossings_.clear();
}

const TerrainRow* WorldMap::TerrainAt(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell ? TerrainTable::Find(int32_t(cell->TerrainIndex())) : nullptr;
}

uint32_t WorldMap::GetCellKind(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell ? cell->Kind() : 0;
}

void WorldMap::SetCellKindAt(uint32_t x, uint32_t y, uint32_t kind) {
    if (WorldCell* cell = FindCell(x, y))
        ChangeKind(*cell, kind);
}

uint32_t WorldMap::GetTerrainIndex(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell ? cell->TerrainIndex() : 0;
}

uint32_t WorldMap::GetCellLowBits(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell ? cell->word1 & 7 : 0;
}

uint32_t WorldMap::GetWaterColourIndex(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell ? cell->WaterColour() : 0;
}

uint32_t WorldMap::GetDecorationNumber(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell ? (cell->word1 >> 17) & 127 : 0;
}

bool WorldMap::IsCellMarked(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell && (cell->word1 & decoration_bits::kMarkBit);
}

#define MD_CELL_GET(expr, none)                                                                              \
    const WorldCell* cell = FindCell(x, y);                                                                  \
    return cell ? (expr) : (none)
#define MD_CELL_SET(stmt)                                                                                    \
    if (WorldCell* cell = FindCell(x, y))                                                                    \
    stmt

uint32_t WorldMap::GetRouteSubKind(uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetRouteSubKind(*cell), 0u);
}
uint32_t WorldMap::GetCellBuilding(uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetCellBuilding(*cell), 0u);
}
void WorldMap::SetCellBuilding(uint32_t x, uint32_t y, uint32_t id) {
    MD_CELL_SET(::SetCellBuilding(*cell, id));
}
uint32_t WorldMap::GetRouteDirections(uint32_t layer, uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetRouteDirections(*cell, layer), 0u);
}
void WorldMap::SetRouteDirections(uint32_t layer, uint32_t x, uint32_t y, uint32_t mask) {
    MD_CELL_SET(::SetRouteDirections(*cell, layer, mask));
}
void WorldMap::SetRouteType(uint32_t layer, uint32_t x, uint32_t y, uint32_t row) {
    MD_CELL_SET(::SetRouteType(*cell, layer, row));
}
uint32_t WorldMap::GetLayerTag(uint32_t layer, uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetLayerTag(*cell, layer), 0u);
}
void WorldMap::SetLayerTag(uint32_t layer, uint32_t x, uint32_t y, uint32_t v) {
    MD_CELL_SET(::SetLayerTag(*cell, layer, v));
}
bool WorldMap::GetRouteFlagA(uint32_t layer, uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetRouteFlagA(*cell, layer), false);
}
void WorldMap::SetRouteFlagA(uint32_t layer, uint32_t x, uint32_t y, bool b) {
    MD_CELL_SET(::SetRouteFlagA(*cell, layer, b));
}
bool WorldMap::GetRouteFlagB(uint32_t layer, uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetRouteFlagB(*cell, layer), false);
}
void WorldMap::SetRouteFlagB(uint32_t layer, uint32_t x, uint32_t y, bool b) {
    MD_CELL_SET(::SetRouteFlagB(*cell, layer, b));
}
int32_t WorldMap::GetSavedDirections(uint32_t layer, uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetSavedDirections(*cell, layer), 0);
}
void WorldMap::SetSavedDirections(uint32_t layer, uint32_t x, uint32_t y, uint32_t v) {
    MD_CELL_SET(::SetSavedDirections(*cell, layer, v));
}
uint32_t WorldMap::GetSavedRouteType(uint32_t layer, uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetSavedRouteType(*cell, layer), 0u);
}
void WorldMap::SetSavedRouteType(uint32_t layer, uint32_t x, uint32_t y, uint32_t v) {
    MD_CELL_SET(::SetSavedRouteType(*cell, layer, v));
}
uint32_t WorldMap::GetWaterwayValue(uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetWaterwayValue(*cell), 0u);
}
void WorldMap::SetWaterwayValue(uint32_t x, uint32_t y, uint32_t v) {
    MD_CELL_SET(::SetWaterwayValue(*cell, v));
}
uint32_t WorldMap::GetRouteSignal(uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetRouteSignal(*cell), 0u);
}
void WorldMap::SetRouteSignal(uint32_t x, uint32_t y, uint32_t id) {
    MD_CELL_SET(::SetRouteSignal(*cell, id));
}
uint32_t WorldMap::GetEdgeHeightMatchMask(uint32_t x, uint32_t y, int32_t h) const {
    MD_CELL_GET(::GetEdgeHeightMatchMask(*cell, h), 0u);
}
void WorldMap::SetEdgeHeights(uint32_t x, uint32_t y, int32_t h, uint32_t mask) {
    MD_CELL_SET(::SetEdgeHeights(*cell, h, mask));
}
uint32_t WorldMap::GetRouteByte(uint32_t x, uint32_t y) const {
    MD_CELL_GET(::GetRouteByte(*cell), 0u);
}
void WorldMap::SetRouteByte(uint32_t x, uint32_t y, uint32_t v) {
    MD_CELL_SET(::SetRouteByte(*cell, v));
}
uint32_t WorldMap::GetLayer1Object(uint32_t x, uint32_t y) const {
    MD_CELL_GET(GetSlotObject(*cell, 0), 0u);
}
uint32_t WorldMap::GetLayer2Object(uint32_t x, uint32_t y) const {
    MD_CELL_GET(GetSlotObject(*cell, 1), 0u);
}
uint32_t WorldMap::GetBuildingAt(uint32_t x, uint32_t y) const {
    MD_CELL_GET(GetFootprintBuilding(*cell), 0u);
}
bool WorldMap::IsSiteFlagClear(uint32_t x, uint32_t y) const {
    MD_CELL_GET((cell->word0 & (1u << 14)) == 0, false);
}
uint32_t WorldMap::GetMoverOccupancy(uint32_t x, uint32_t y) const {
    MD_CELL_GET((cell->word0 >> 29) & 3, 0u);
}
void WorldMap::SetMoverOccupancy(uint32_t x, uint32_t y, uint32_t v) {
    MD_CELL_SET(cell->word0 = (cell->word0 & ~(3u << 29)) | ((v & 3) << 29));
}
bool WorldMap::HasFreeMoverMark(uint32_t x, uint32_t y) const {
    MD_CELL_GET((cell->word0 >> 31) != 0, false);
}
void WorldMap::SetFreeMoverMark(uint32_t x, uint32_t y, bool b) {
    MD_CELL_SET(cell->word0 = b ? cell->word0 | (1u << 31) : cell->word0 & ~(1u << 31));
}

#undef MD_CELL_GET
#undef MD_CELL_SET

int32_t WorldMap::GetTerrainType(uint32_t x, uint32_t y) const {
    const TerrainRow* row = TerrainAt(x, y);
    return row ? row->TerrainType : 0;
}
int32_t WorldMap::GetTerrainMixtureType(uint32_t x, uint32_t y) const {
    const TerrainRow* row = TerrainAt(x, y);
    return row ? row->TerrainMixtureTyp : 0;
}
bool WorldMap::IsWater(uint32_t x, uint32_t y) const {
    const TerrainRow* row = TerrainAt(x, y);
    return row && row->IsWater;
}
bool WorldMap::IsNavigable(uint32_t x, uint32_t y) const {
    const TerrainRow* row = TerrainAt(x, y);
    return row && row->IsNavigable;
}
bool WorldMap::CanBuildRouteAt(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() == kCellFootprint)
        return false;
    const TerrainRow* row = TerrainTable::Find(int32_t(cell->TerrainIndex()));
    return row && row->CanBuildRoute;
}

SpecialTrackBase* WorldMap::FindSpecialTrack(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() != kCellFootprint)
        return nullptr;
    MapObject* object = MapObjectFromId(GetFootprintBuilding(*cell));
    if (!object || object->GetSubtype() != kSpecialTrackSubtype)
        return nullptr;
    return dynamic_cast<SpecialTrackBase*>(object);
}

uint32_t WorldMap::GetRouteTypeAt(uint32_t layer, uint32_t x, uint32_t y) const {
    if (const SpecialTrackBase* track = FindSpecialTrack(x, y))
        return layer == 1 ? uint32_t(track->GetRouteType()) : 0;
    const WorldCell* cell = FindCell(x, y);
    return cell ? ::GetRouteType(*cell, layer) : 0;
}

uint32_t WorldMap::GetTileNodeId(uint32_t x, uint32_t y) const {
    if (const SpecialTrackBase* track = FindSpecialTrack(x, y))
        return track->GetNodeId(int32_t(x), int32_t(y));
    const WorldCell* cell = FindCell(x, y);
    return cell ? ::GetTileNodeId(*cell) : 0;
}

void WorldMap::SetTileNodeId(uint32_t x, uint32_t y, uint32_t v) {
    if (SpecialTrackBase* track = FindSpecialTrack(x, y))
        track->SetNodeId(int32_t(x), int32_t(y), v);
    else if (WorldCell* cell = FindCell(x, y))
        ::SetTileNodeId(*cell, v);
}

uint32_t WorldMap::GetRouteSlotValue(uint32_t x, uint32_t y, uint32_t i, uint32_t source,
                                     uint32_t mask) const {
    if (source == 0)
        if (const SpecialTrackBase* track = FindSpecialTrack(x, y))
            return track->GetCellSlot(int32_t(x), int32_t(y), i, mask);
    const WorldCell* cell = FindCell(x, y);
    return cell ? ::GetRouteSlotValue(*cell, i, source, mask) : 0;
}

void WorldMap::SetRouteSlotValue(uint32_t x, uint32_t y, uint32_t i, uint32_t v, uint32_t source,
                                 uint32_t mask) {
    SpecialTrackBase* track = source == 0 ? FindSpecialTrack(x, y) : nullptr;
    if (track)
        track->SetCellSlot(int32_t(x), int32_t(y), i, v, mask);
    else if (WorldCell* cell = FindCell(x, y))
        ::SetRouteSlotValue(*cell, i, v, source, mask);
}

int32_t WorldMap::GetEdgeHeight(uint32_t x, uint32_t y, uint32_t mask, bool ignoreSpecialTrack) const {
    const WorldCell* cell = FindCell(x, y);
    if (!cell)
        return -1;
    if (!ignoreSpecialTrack)
        if (const SpecialTrackBase* track = FindSpecialTrack(x, y))
            return track->GetEdgeHeight(mask);
    return ::GetEdgeHeight(*cell, mask);
}

bool WorldMap::IsNearSpecialTrackType7(uint32_t x, uint32_t y) const {
    for (uint32_t d = 0; d < 4; ++d) {
        uint32_t nx = x + uint32_t(kDirections[d].dx), ny = y + uint32_t(kDirections[d].dy);
        const SpecialTrackBase* track = FindSpecialTrack(nx, ny);
        if (track && track->GetType() == 7)
            return true;
    }
    return false;
}

bool WorldMap::IsTrackRoadCrossing(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    return cell && cell->Kind() == kCellRoute && (::GetRouteSubKind(*cell) & 3) == 3;
}

bool WorldMap::TouchesTunnelEntrance(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() != kCellRoute)
        return false;
    for (uint32_t d = 0; d < 4; ++d) {
        uint32_t nx = x + uint32_t(kDirections[d].dx), ny = y + uint32_t(kDirections[d].dy);
        const WorldCell* neighbour = FindCell(nx, ny);
        if (!neighbour)
            continue;
        for (uint32_t slot = 0; slot < 2; ++slot) {
            auto* piece = dynamic_cast<const SpanPiece*>(MapObjectFromId(GetSlotObject(*neighbour, slot)));
            if (piece && piece->IsTunnel() && piece->IsTunnelEntranceAt(int32_t(nx), int32_t(ny)))
                return true;
        }
    }
    return false;
}

void WorldMap::SetTerrainAt(uint32_t x, uint32_t y, uint32_t t) {
    if (!InMap(x, y))
        return;
    uint32_t a = x >= 2 ? x - 2 : 0, b = y >= 2 ? y - 2 : 0;
    t &= 0x3FF;
    if (x >= width_ - 2) {
        CellAt(x, b)->SetTerrainIndex(t);
        if (y >= height_ - 2) {
            CellAt(x, y)->SetTerrainIndex(t);
            CellAt(a, y)->SetTerrainIndex(t);
        }
    } else if (y >= height_ - 2) {
        CellAt(a, y)->SetTerrainIndex(t);
    }
    CellAt(a, b)->SetTerrainIndex(t);
}

void WorldMap::SetWaterColourOfCell(uint32_t x, uint32_t y, uint32_t c) {
    if (c != 0 && CellAt(x, y)->Kind() == kCellDecoration)
        RemoveDecorationAt(x, y);
    CellAt(x, y)->SetWaterColour(c);
}

void WorldMap::SetWaterColourAt(uint32_t x, uint32_t y, uint32_t c) {
    if (!InMap(x, y))
        return;
    uint32_t a = x >= 2 ? x - 2 : 0, b = y >= 2 ? y - 2 : 0;
    c &= 63;
    if (x >= width_ - 2) {
        SetWaterColourOfCell(x, b, c);
        if (y >= height_ - 2) {
            SetWaterColourOfCell(x, y, c);
            SetWaterColourOfCell(a, y, c);
        }
    } else if (y >= height_ - 2) {
        SetWaterColourOfCell(a, y, c);
    }
    SetWaterColourOfCell(a, b, c);
}

void WorldMap::ResetTerrain() {
    for (uint32_t y = 0; y < height_; ++y)
        for (uint32_t x = 0; x < width_; ++x)
            SetTerrainAt(x, y, 1);
}

bool WorldMap::RectInMap(uint32_t x, uint32_t y, uint32_t w, uint32_t h) const {
    return x < width_ && y < height_ && w >= 1 && h >= 1 && w <= width_ - x && h <= height_ - y;
}

bool WorldMap::IsAreaBuildable(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t flags) const {
    if (!RectInMap(x, y, w, h))
        return false;
    if (!(flags & 8)) {
        for (uint32_t ry = y - 1; ry != y + h + 1; ++ry) {
            bool edgeRow = ry == y - 1 || ry == y + h;
            for (uint32_t rx = x - 1; rx != x + w + 1; ++rx) {
                if (!edgeRow && rx != x - 1 && rx != x + w)
                    continue;
                if (IsWater(rx, ry))
                    return false;
            }
        }
    }
    for (uint32_t ty = y; ty < y + h; ++ty) {
        for (uint32_t tx = x; tx < x + w; ++tx) {
            const WorldCell& cell = cells_[size_t(ty) * width_ + tx];
            uint32_t kind = cell.Kind();
            if ((kind == kCellFootprint && !(flags & 1)) || (kind == kCellRoute && !(flags & 2)))
                return false;
            if (GetSlotObject(cell, 0) != 0 && !(flags & 4))
                return false;
            auto* tunnel = dynamic_cast<const SpanPiece*>(MapObjectFromId(GetSlotObject(cell, 1)));
            if (tunnel && tunnel->IsTunnel())
                return false;
            const TerrainRow* row = TerrainTable::Find(int32_t(cell.TerrainIndex()));
            if (!row || !row->CanBuildBuilding)
                return false;
        }
    }
    return true;
}

uint32_t WorldMap::CountWaterTiles(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const {
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    x1 = std::min(x1, width_ ? width_ - 1 : 0);
    y1 = std::min(y1, height_ ? height_ - 1 : 0);
    uint32_t count = 0;
    for (uint32_t y = y0; y <= y1 && y < height_; ++y)
        for (uint32_t x = x0; x <= x1 && x < width_; ++x)
            count += IsWater(x, y) ? 1 : 0;
    return count;
}

bool WorldMap::IsStraightSpanInsideMap(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const {
    if (!InMap(x0, y0) || !InMap(x1, y1))
        return false;
    if (x0 != x1 && y0 != y1)
        return false;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    if (x0 != x1)
        return x0 > 0 && x1 < width_ - 1;
    if (y0 != y1)
        return y0 > 0 && y1 < height_ - 1;
    return true;
}

bool WorldMap::CanPlaceRouteTile(uint32_t x, uint32_t y, uint32_t straight) const {
    const WorldCell* cell = FindCell(x, y);
    if (!cell)
        return false;
    const TerrainRow* terrain = TerrainTable::Find(int32_t(cell->TerrainIndex()));
    bool canBuild = terrain && terrain->CanBuildRoute;
    uint32_t road = ::GetRouteDirections(*cell, 2);
    if (road == 0) {
        for (uint32_t slot = 0; slot < 2; ++slot) {
            auto* piece = dynamic_cast<const SpanPiece*>(MapObjectFromId(GetSlotObject(*cell, slot)));
            if (piece && piece->IsTunnel())
                return false;
        }
        if (cell->Kind() == kCellFootprint)
            return false;
        return canBuild;
    }
    if (road != 5 && road != 10)
        return false;
    if (straight != (road ^ 15))
        return false;
    return canBuild;
}

bool WorldMap::PlaceFootprint(uint32_t x, uint32_t y, uint32_t buildingId, uint32_t w, uint32_t h,
                              uint32_t mode) {
    if (!RectInMap(x, y, w, h))
        return false;
    if (mode == 1)
        return IsAreaBuildable(x, y, w, h, 0);
    if (mode != 2 && !IsAreaBuildable(x, y, w, h, 0))
        return false;
    for (uint32_t ty = y; ty < y + h; ++ty) {
        for (uint32_t tx = x; tx < x + w; ++tx) {
            if (CellAt(tx, ty)->Kind() == kCellDecoration)
                RemoveDecorationAt(tx, ty);
            WorldCell& cell = *CellAt(tx, ty);
            ChangeKind(cell, kCellFootprint);
            SetFootprintBuilding(cell, buildingId);
        }
    }
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + w), int32_t(y + h));
    return true;
}

void WorldMap::ResetCell(uint32_t x, uint32_t y) {
    WorldCell* cell = FindCell(x, y);
    if (!cell)
        return;
    ChangeKind(*cell, kCellPlain);
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
}
