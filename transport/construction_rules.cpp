#include "transport/construction_rules.h"

#include "data/generated/route_tables.h"
#include "transport/station.h"
#include "world/bridge_span.h"
#include "world/world_map.h"

namespace {

bool RowFlag(uint32_t row, uint8_t RouteBuilderRow::*flag) {
    const RouteBuilderRow* r = RouteBuilderTable::Find(int32_t(row));
    return r && r->*flag != 0;
}

// Whether the tile carries a way piece of the company in any direction of
// the layer.
bool OwnsAnyDirection(const WorldMap& map, uint32_t layer, uint32_t x, uint32_t y, int32_t player) {
    const uint32_t mask = map.GetRouteDirections(layer, x, y);
    return (map.GetEdgeHeightMatchMask(x, y, player) & mask) != 0;
}

bool StationNear(uint32_t x, uint32_t y) {
    return StationAtTile(int32_t(x), int32_t(y)) != nullptr;
}

// The attachment slots under a span plan: a tunnel may pass under a bridge
// at right angles and a bridge over a tunnel's hidden middle; nothing else
// shares a tile with another span.
bool SpanSlotsAllow(const WorldMap& map, uint32_t x, uint32_t y, uint32_t back, uint32_t spanKind) {
    const uint32_t first = map.GetLayer1Object(x, y);
    const uint32_t second = map.GetLayer2Object(x, y);
    if (first != 0) {
        const BridgeSpan* span = GetBridgeSpan(first);
        if (spanKind != 2 || !span || back == 0 || (span->GetOrientation() & StraightThrough(back)) != 0 ||
            SpanKindOf(uint32_t(span->GetRouteType())) == spanKind)
            return false;
    }
    if (second != 0) {
        const BridgeSpan* span = GetBridgeSpan(second);
        if (spanKind == 2 || !span || span->IsTunnel())
            return false;
    }
    return true;
}

// The tile check of a bridge or tunnel over a route cell: a tunnel passes
// under any way; a bridge crosses ways only at right angles.
bool SpanOverRouteAllowed(const WorldMap& map, uint32_t x, uint32_t y, uint32_t back,
                          const BuildSearchContext& context, uint32_t spanKind) {
    if (spanKind == 2)
        return true;
    if (map.GetRouteSubKind(x, y) > 3 || StationNear(x, y))
        return false;
    const uint32_t layer = context.routeType;
    const uint32_t own = map.GetRouteDirections(layer, x, y);
    const uint32_t other = map.GetRouteDirections(OtherRouteLayer(layer), x, y);
    if (back == 0 || (own & back) != 0)
        return false;
    if (other != 0 && other != (StraightThrough(back) ^ 15u))
        return false;
    if (layer == 1 && other != 0 && !RowFlag(map.GetRouteTypeAt(2, x, y), &RouteBuilderRow::CanCrossTrack))
        return false;
    return true;
}

} // namespace

uint32_t SpanKindOf(uint32_t row) {
    const RouteBuilderRow* r = row != 0 ? RouteBuilderTable::Find(int32_t(row)) : nullptr;
    return r && (r->IsBridge == 1 || r->IsBridge == 2) ? uint32_t(r->IsBridge) : 0;
}

bool IsFreeGround(uint32_t x, uint32_t y) {
    const WorldMap& map = GetWorldMap();
    const WorldCell* cell = map.FindCell(x, y);
    if (!cell || map.GetLayer1Object(x, y) != 0 || map.GetLayer2Object(x, y) != 0)
        return false;
    if (cell->Kind() == kCellDecoration)
        return true;
    if (cell->Kind() != kCellPlain)
        return false;
    const TerrainRow* terrain = map.TerrainAt(x, y);
    return terrain && !terrain->IsWater && terrain->CanBuildRoute && !StationNear(x, y);
}

bool TunnelEntranceAllowsStep(uint32_t x, uint32_t y, uint32_t back, uint32_t routeType) {
    const WorldMap& map = GetWorldMap();
    const uint32_t move = ReverseDirection(uint8_t(back & 15u));
    for (uint32_t d = 1; d <= 8; d <<= 1) {
        int32_t dx = 0, dy = 0;
        OffsetOfDirection(uint8_t(d), dx, dy);
        const int64_t nx = int64_t(x) + dx, ny = int64_t(y) + dy;
        if (nx < 0 || ny < 0 || !map.InMap(uint32_t(nx), uint32_t(ny)))
            continue;
        for (const uint32_t id : {map.GetLayer1Object(uint32_t(nx), uint32_t(ny)),
                                  map.GetLayer2Object(uint32_t(nx), uint32_t(ny))}) {
            const BridgeSpan* span = GetBridgeSpan(id);
            if (!span || !span->IsTunnel() || !span->IsTunnelEntranceAt(int32_t(nx), int32_t(ny)))
                continue;
            const RouteBuilderRow* row = RouteBuilderTable::Find(span->GetRouteType());
            if (row && uint32_t(row->RouteType) == routeType && (span->GetOrientation() & move) == 0)
                return false;
        }
    }
    return true;
}

bool CanUpgradeRouteType(uint32_t existingRow, uint32_t newRow) {
    if (existingRow == 0 || newRow == 0)
        return true;
    const RouteBuilderRow* existing = RouteBuilderTable::Find(int32_t(existingRow));
    const RouteBuilderRow* fresh = RouteBuilderTable::Find(int32_t(newRow));
    if (!existing || !fresh)
        return false;
    if (existing->StartYear > fresh->StartYear)
        return false;
    return !(existing->OverheadLine && !fresh->OverheadLine);
}

bool RouteTileAllowed(uint32_t x, uint32_t y, uint32_t back, const BuildSearchContext& context) {
    const WorldMap& map = GetWorldMap();
    const WorldCell* cell = map.FindCell(x, y);
    if (!cell)
        return false;
    const TerrainRow* terrain = map.TerrainAt(x, y);
    const uint32_t spanKind = SpanKindOf(context.spanRow);
    if (spanKind != 0) {
        // The middle of a bridge or tunnel.
        if (!SpanSlotsAllow(map, x, y, back, spanKind))
            return false;
        switch (cell->Kind()) {
        case kCellPlain:
        case kCellDecoration:
        case kCellWaterway:
            return spanKind == 2 || !StationNear(x, y);
        case kCellFootprint:
            return spanKind == 2;
        case kCellRoute:
            return SpanOverRouteAllowed(map, x, y, back, context, spanKind);
        default:
            return false;
        }
    }
    switch (cell->Kind()) {
    case kCellPlain:
    case kCellDecoration:
        // Bridges and tunnels hang in the attachment slots; nothing is laid
        // under or over them here.
        return terrain && terrain->CanBuildRoute && !terrain->IsWater && map.GetLayer1Object(x, y) == 0 &&
               map.GetLayer2Object(x, y) == 0;
    case kCellRoute:
        break;
    default:
        return false;
    }
    if (map.GetLayer1Object(x, y) != 0 || map.GetLayer2Object(x, y) != 0)
        return false;
    const uint32_t sub = map.GetRouteSubKind(x, y);
    if (sub == 0 || sub > 3)
        return false;
    const uint32_t layer = context.routeType;
    const uint32_t own = map.GetRouteDirections(layer, x, y);
    const uint32_t other = map.GetRouteDirections(OtherRouteLayer(layer), x, y);
    const uint32_t straight = StraightThrough(back);
    if (layer == 2 && map.GetRouteSignal(x, y) != 0)
        return false;
    if (other != 0) {
        // A level crossing: at right angles, over a straight way, with both
        // rows agreeing.
        if (other != 5 && other != 10)
            return false;
        if (back != 0 && other != (straight ^ 15u))
            return false;
        if (own != 0 && (own | (other ^ 15u)) != (other ^ 15u))
            return false;
        const uint32_t otherRow = map.GetRouteTypeAt(OtherRouteLayer(layer), x, y);
        if (layer == 1)
            return RowFlag(context.wayRow, &RouteBuilderRow::CanCrossStreet) &&
                   RowFlag(otherRow, &RouteBuilderRow::CanCrossTrack);
        return RowFlag(context.wayRow, &RouteBuilderRow::CanCrossTrack) &&
               RowFlag(otherRow, &RouteBuilderRow::CanCrossStreet);
    }
    if (own == 0)
        return true;
    const uint32_t existingRow = map.GetRouteTypeAt(layer, x, y);
    if (layer == 1) {
        // Another company's track is never joined.
        if (!OwnsAnyDirection(map, 1, x, y, context.player))
            return false;
        if (existingRow >= 1 && existingRow != context.wayRow)
            return RowFlag(existingRow, &RouteBuilderRow::CanCrossTrack) &&
                   RowFlag(context.wayRow, &RouteBuilderRow::CanCrossTrack) &&
                   CanUpgradeRouteType(existingRow, context.wayRow);
        return true;
    }
    if (existingRow >= 1 && existingRow != context.wayRow)
        return RowFlag(existingRow, &RouteBuilderRow::CanCrossStreet) &&
               RowFlag(context.wayRow, &RouteBuilderRow::CanCrossStreet);
    return true;
}

bool RouteStepAllowed(const PathStep& to, const PathStep* from, void* context) {
    const BuildSearchContext& plan = *static_cast<const BuildSearchContext*>(context);
    if (!from || (from->x == to.x && from->y == to.y))
        return RouteTileAllowed(to.x, to.y, 0, plan);
    const WorldMap& map = GetWorldMap();
    const uint32_t b = to.back & 15u;
    const uint32_t move = ReverseDirection(uint8_t(b));
    const uint32_t layer = plan.routeType;
    const uint32_t other = OtherRouteLayer(layer);
    const bool atStart = from->g == 0;
    const bool turn = !atStart && (from->back & 15u) != b;
    const uint32_t fromOther = map.GetRouteDirections(other, from->x, from->y);
    // A way leaves a crossing only straight on, and out of the start only
    // across the crossed way.
    if (fromOther != 0 && (turn || (fromOther & move) != 0))
        return false;
    // Track turns only on its own new ground: existing track keeps its shape.
    if (turn && layer == 1 && map.GetRouteDirections(1, from->x, from->y) != 0)
        return false;
    return RouteTileAllowed(to.x, to.y, b, plan);
}
