#include "transport/construction_rules.h"

#include "data/generated/route_tables.h"
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

} // namespace

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
