// Route tiles on the tile map: laying and clearing track and road cells,
// town roads, keeping neighbouring route directions consistent, bridge and
// tunnel spans over tiles, and the list of level crossings.
#include "world/world_map.h"

#include "data/generated/route_tables.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/span_piece.h"
#include "world/world_services.h"

#include <algorithm>

namespace {

constexpr uint32_t kTownRoadType = 8;

uint32_t CrossingKey(uint32_t x, uint32_t y) {
    return (y << 16) + x;
}

MapObject* StationAt(uint32_t x, uint32_t y) {
    return Services().stationAtTile ? Services().stationAtTile(x, y) : nullptr;
}

uint32_t ConnectionMask(MapObject* station, uint32_t x, uint32_t y) {
    return Services().stationConnectionMask ? Services().stationConnectionMask(station, x, y) : 0;
}

bool CanCrossTrack(uint32_t type) {
    const RouteBuilderRow* row = RouteBuilderTable::Find(int32_t(type));
    return row && row->CanCrossTrack;
}

int32_t CarriedIsBridge(const SpanPiece& span) {
    const RouteBuilderRow* row = RouteBuilderTable::Find(span.GetRouteType());
    return row ? row->IsBridge : 0;
}

} // namespace

void WorldMap::SetRouteKind(uint32_t x, uint32_t y, uint32_t sub) {
    WorldCell* cell = FindCell(x, y);
    if (!cell)
        return;
    if (cell->Kind() == kCellDecoration)
        RemoveDecorationAt(x, y);
    switch (sub) {
    case 1:
    case 2:
    case 3:
    case 8:
        ChangeKind(*cell, kCellRoute);
        SetRouteSubKind(*cell, sub);
        if (sub == 2 || sub == 3)
            ::SetRouteType(*cell, 2, kTownRoadType);
        if (sub == 1 || sub == 3)
            ::SetRouteType(*cell, 1, 0);
        break;
    case 4:
        ChangeKind(*cell, kCellWaterway);
        break;
    case 0:
        ChangeKind(*cell, kCellPlain);
        break;
    default:
        return;
    }
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
}

void WorldMap::SetRouteKindAndClear(uint32_t x, uint32_t y, uint32_t sub) {
    SetRouteKind(x, y, sub);
    if (sub == 1)
        SetRoadDirections(x, y, 0);
    else if (sub == 2 || sub == 8)
        SetTrackDirections(x, y, 0);
    else if (sub == 3)
        RegisterCrossing(x, y, CurrentGameTimeMs());
}

bool WorldMap::PlaceTownRoad(uint32_t x, uint32_t y, uint32_t directions) {
    WorldCell* cell = FindCell(x, y);
    if (!cell)
        return true;
    if (::GetRouteDirections(*cell, 1) != 0) {
        // The crossed track keeps its type, so it stays connected.
        SetRouteSubKind(*cell, 3);
        ::SetRouteType(*cell, 2, kTownRoadType);
        InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
        RegisterCrossing(x, y, CurrentGameTimeMs());
        SetRoadDirections(x, y, directions);
        return true;
    }
    if (cell->Kind() == kCellDecoration)
        RemoveDecorationAt(x, y);
    ChangeKind(*cell, kCellRoute);
    SetRouteSubKind(*cell, 2);
    ::SetRouteType(*cell, 2, kTownRoadType);
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
    SetTrackDirections(x, y, 0);
    SetRoadDirections(x, y, directions);
    return true;
}

void WorldMap::UpdateRoadConnections(uint32_t x, uint32_t y) {
    WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() != kCellRoute)
        return;
    uint32_t m = GetRoadDirections(x, y);
    MapObject* s1 = StationAt(x, y);
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t bit = DirectionMask(i), opposite = OppositeDirectionMask(i);
        uint32_t nx = x + uint32_t(kDirections[i].dx), ny = y + uint32_t(kDirections[i].dy);
        uint32_t neighbourRoad = GetRoadDirections(nx, ny);
        if (!InMap(nx, ny) || neighbourRoad == 0) {
            m &= ~bit;
            continue;
        }
        if (TouchesTunnelEntrance(nx, ny) && !(neighbourRoad & bit)) {
            m &= ~bit;
            continue;
        }
        if (!(m & bit) && !(neighbourRoad & opposite))
            continue;
        MapObject* s2 = StationAt(nx, ny);
        bool connectable = true;
        if (s1 && s2)
            connectable = s1 == s2;
        else if (s1)
            connectable = (ConnectionMask(s1, x, y) & opposite) != 0;
        else if (s2)
            connectable = (ConnectionMask(s2, nx, ny) & bit) != 0;
        if (connectable) {
            if ((GetTrackDirections(x, y) & bit) || (GetTrackDirections(nx, ny) & opposite)) {
                m &= ~bit;
            } else {
                SetRoadDirections(nx, ny, neighbourRoad | opposite);
                m |= bit;
            }
        } else if (!(neighbourRoad & opposite)) {
            m &= ~bit;
        }
    }
    if (m != 0) {
        if (::GetRouteSubKind(*cell) != 3)
            SetRoadDirections(x, y, m);
        return;
    }
    if (GetTrackDirections(x, y) != 0) {
        if (IsTrackRoadCrossing(x, y)) {
            uint32_t type = GetRouteTypeAt(1, x, y);
            SetRouteSubKind(*cell, 1);
            ::SetRouteType(*cell, 1, 0);
            InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
            SetRoadDirections(x, y, 0);
            ::SetRouteType(*cell, 1, type);
        }
        return;
    }
    ChangeKind(*cell, kCellPlain);
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
}

void WorldMap::UpdateTrackConnections(uint32_t x, uint32_t y) {
    WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() != kCellRoute)
        return;
    uint32_t m = GetTrackDirections(x, y);
    uint32_t t0 = m != 0 ? GetRouteTypeAt(1, x, y) : 0;
    MapObject* s1 = ::GetCellBuilding(*cell) != 0 ? StationAt(x, y) : nullptr;
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t bit = DirectionMask(i), opposite = OppositeDirectionMask(i);
        uint32_t nx = x + uint32_t(kDirections[i].dx), ny = y + uint32_t(kDirections[i].dy);
        uint32_t neighbourTrack = GetTrackDirections(nx, ny);
        uint32_t tn = neighbourTrack != 0 ? GetRouteTypeAt(1, nx, ny) : 0;
        if (!InMap(nx, ny) || neighbourTrack == 0 || tn == 0) {
            m &= ~bit;
            continue;
        }
        if (TouchesTunnelEntrance(nx, ny) && !(neighbourTrack & bit)) {
            m &= ~bit;
            continue;
        }
        if (!(m & bit) && !(neighbourTrack & opposite))
            continue;
        bool connectable = true;
        if (t0 != tn && (!CanCrossTrack(t0) || !CanCrossTrack(tn)))
            connectable = false;
        MapObject* s2 = GetCellBuilding(nx, ny) != 0 ? StationAt(nx, ny) : nullptr;
        if (s1 && s2 && s1 != s2)
            connectable =
                connectable && (ConnectionMask(s2, nx, ny) & bit) && (ConnectionMask(s1, x, y) & opposite);
        else if (s1 && !s2)
            connectable = connectable && (ConnectionMask(s1, x, y) & opposite);
        else if (s2 && !s1)
            connectable = connectable && (ConnectionMask(s2, nx, ny) & bit);
        if ((GetRoadDirections(x, y) & bit) || (GetRoadDirections(nx, ny) & opposite))
            connectable = false;
        if (!connectable) {
            m &= ~bit;
            continue;
        }
        SetTrackDirections(nx, ny, neighbourTrack | opposite);
        m |= bit;
        int32_t h = GetEdgeHeight(x, y, bit, false);
        if (h > -1) {
            SetEdgeHeights(nx, ny, h, opposite);
        } else {
            int32_t hn = GetEdgeHeight(nx, ny, opposite, false);
            if (hn > -1)
                SetEdgeHeights(x, y, hn, bit);
        }
    }
    bool single = m == 1 || m == 2 || m == 4 || m == 8;
    if (single && ::GetRouteSubKind(*cell) == 3) {
        // The track ends in the crossing: lead it on through the road.
        uint32_t bx = x, by = y;
        if (m == 1)
            by = y + 1;
        else if (m == 2)
            bx = x - 1;
        else if (m == 4)
            by = y - 1;
        else
            bx = x + 1;
        if (InMap(bx, by)) {
            if (GetTrackDirections(bx, by) == 0)
                SetRouteKindAndClear(bx, by, 1);
            SetTrackDirections(bx, by, GetTrackDirections(bx, by) | m);
            int32_t h = GetEdgeHeight(x, y, m, false);
            if (h > -1)
                SetEdgeHeights(bx, by, h, m);
        }
    }
    if (m == 1 || m == 4)
        m = 5;
    else if (m == 2 || m == 8)
        m = 10;
    if (m != 0) {
        SetTrackDirections(x, y, m);
        return;
    }
    if (GetRoadDirections(x, y) != 0) {
        if (IsTrackRoadCrossing(x, y)) {
            SetRouteSubKind(*cell, 2);
            ::SetRouteType(*cell, 2, kTownRoadType);
            InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
            SetTrackDirections(x, y, 0);
        }
        return;
    }
    ChangeKind(*cell, kCellPlain);
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
}

void WorldMap::AttachSpanToRect(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t spanId) {
    auto* span = dynamic_cast<const SpanPiece*>(MapObjectFromId(spanId));
    uint32_t slot = span && CarriedIsBridge(*span) == 1 ? 0 : 1;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    for (uint32_t y = y0; y <= y1 && y < height_; ++y) {
        for (uint32_t x = x0; x <= x1 && x < width_; ++x) {
            if (CellAt(x, y)->Kind() == kCellDecoration)
                RemoveDecorationAt(x, y);
            SetAttachment(*CellAt(x, y), spanId, slot);
        }
    }
}

bool WorldMap::DetachSpanFromRect(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t spanId) {
    auto* span = dynamic_cast<const SpanPiece*>(MapObjectFromId(spanId));
    uint32_t slot = span && CarriedIsBridge(*span) == 2 ? 1 : 0;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    for (uint32_t y = y0; y <= y1 && y < height_; ++y)
        for (uint32_t x = x0; x <= x1 && x < width_; ++x)
            SetAttachment(*CellAt(x, y), 0, slot);
    if (!span || !span->IsTunnel())
        return true;
    // A portal also clears the tile in front of its entrance.
    uint32_t fx, fy, sx, sy;
    if (y0 == y1) {
        fy = sy = y0;
        fx = span->HasNext() ? x0 - 1 : x1 + 1;
        sx = span->HasNext() ? x0 - 2 : x1 + 2;
    } else if (x0 == x1) {
        fx = sx = x0;
        fy = span->HasNext() ? y0 - 1 : y1 + 1;
        sy = span->HasNext() ? y0 - 2 : y1 + 2;
    } else {
        return false;
    }
    if (!InMap(fx, fy) || IsWater(fx, fy))
        return true;
    ResetCell(fx, fy);
    if (InMap(sx, sy) && HasRoad(sx, sy))
        UpdateRoadConnections(sx, sy);
    return true;
}

bool WorldMap::RegisterCrossing(uint32_t x, uint32_t y, uint32_t time) {
    if (!IsTrackRoadCrossing(x, y))
        return false;
    uint32_t key = CrossingKey(x, y);
    auto it = std::lower_bound(crossings_.begin(), crossings_.end(), key,
                               [](const CrossingEntry& e, uint32_t k) { return e.key < k; });
    if (it == crossings_.end() || it->key != key)
        crossings_.insert(it, CrossingEntry{key, time});
    else if (int32_t(time - it->time) > 0)
        it->time = time;
    return true;
}

bool WorldMap::RebuildCrossingList(uint32_t time) {
    std::vector<CrossingEntry>().swap(crossings_);
    for (uint32_t y = 0; y < height_; ++y)
        for (uint32_t x = 0; x < width_; ++x)
            RegisterCrossing(x, y, time);
    return true;
}

bool WorldMap::LookupCrossing(uint32_t x, uint32_t y, uint32_t& time) const {
    if (!IsTrackRoadCrossing(x, y))
        return false;
    uint32_t key = CrossingKey(x, y);
    auto it = std::lower_bound(crossings_.begin(), crossings_.end(), key,
                               [](const CrossingEntry& e, uint32_t k) { return e.key < k; });
    if (it == crossings_.end() || it->key != key)
        return false;
    time = it->time;
    return true;
}
