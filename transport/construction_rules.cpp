#include "transport/construction_rules.h"

#include "data/generated/route_tables.h"
#include "transport/signal_commands.h"
#include "transport/special_track.h"
#include "transport/station.h"
#include "world/bridge_span.h"
#include "world/game_clock.h"
#include "world/world_map.h"

#include <algorithm>

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

// Whether the tile lies on the row or the column of the plan's start, as
// every tile of a plan must unless flag 8 frees the route.
bool OnStartAxis(uint32_t x, uint32_t y, const BuildSearchContext& context) {
    return (context.flags & kPlanFreeRoute) != 0 || int64_t(x) == context.start.x ||
           int64_t(y) == context.start.y;
}

const SpecialTrack* SpecialTrackOn(uint32_t x, uint32_t y) {
    return dynamic_cast<const SpecialTrack*>(GetWorldMap().FindSpecialTrack(x, y));
}

// A piece one tile large: its move rules look at the tile's own mask.
bool IsOneTilePiece(const SpecialTrack& piece) {
    uint32_t w = 0, h = 0;
    return SpecialTrackFootprint(piece.GetType(), piece.GetRotation(), w, h) && w == 1 && h == 1;
}

// The direction mask of the piece's origin cell, turned by its rotation:
// the line a switch's switch cell is entered along.
uint32_t PieceOriginDirections(const SpecialTrack& piece) {
    return SpecialTrackDirections(0, 0, piece.GetType(), piece.GetRotation()) & 15u;
}

bool Neighbour(uint32_t x, uint32_t y, uint32_t direction, uint32_t steps, uint32_t& nx, uint32_t& ny) {
    int32_t dx = 0, dy = 0;
    OffsetOfDirection(uint8_t(direction & 15u), dx, dy);
    const int64_t tx = int64_t(x) + int64_t(dx) * steps, ty = int64_t(y) + int64_t(dy) * steps;
    if (tx < 0 || ty < 0 || !GetWorldMap().InMap(uint32_t(tx), uint32_t(ty)))
        return false;
    nx = uint32_t(tx);
    ny = uint32_t(ty);
    return true;
}

// The mask of the layer on a route cell, 0 elsewhere.
uint32_t LayerMask(uint32_t layer, uint32_t x, uint32_t y) {
    const WorldMap& map = GetWorldMap();
    return map.GetCellKind(x, y) == kCellRoute ? map.GetRouteDirections(layer, x, y) : 0;
}

// The track station whose connection point on a neighbour faces the tile.
const Station* TrackStationFacing(uint32_t x, uint32_t y) {
    const WorldMap& map = GetWorldMap();
    for (uint32_t d = 1; d <= 8; d <<= 1) {
        uint32_t nx = 0, ny = 0;
        if (!Neighbour(x, y, d, 1, nx, ny))
            continue;
        const Station* station = GetStation(map.GetCellBuilding(nx, ny));
        if (station && station->GetMode() == kModeTrack &&
            (station->GetConnectionMaskAt(int32_t(nx), int32_t(ny)) & ReverseDirection(uint8_t(d))) != 0)
            return station;
    }
    return nullptr;
}

// Tries to accept a straight move onto (x, y) as the first ramp tile of a
// bridge or tunnel; on success the span is remembered in the context.
bool TrySpan(const PathStep& to, const PathStep& from, BuildSearchContext& context) {
    const uint32_t b = to.back & 15u;
    const uint32_t move = ReverseDirection(uint8_t(b));
    const uint32_t layer = context.routeType;
    if ((from.back & 15u) != b)
        return false;
    const uint32_t fromMask = LayerMask(layer, from.x, from.y);
    if (fromMask != 0 && fromMask != move)
        return false;
    uint32_t fx = 0, fy = 0;
    if (!Neighbour(to.x, to.y, move, 4, fx, fy))
        return false;
    uint32_t bridgeRow = 0, tunnelRow = 0;
    const World& world = CurrentWorld();
    ChooseSpanRows(context.wayRow, world.clock ? world.clock->GetCurrentYear() : 0, bridgeRow, tunnelRow);
    uint32_t spanRow = 0;
    SpanTileTest middle = nullptr;
    if ((context.flags & kPlanBridges) && bridgeRow != 0 && CanBridgeOver(fx, fy, context)) {
        spanRow = bridgeRow;
        middle = CanBridgeOver;
    } else if ((context.flags & kPlanTunnels) && tunnelRow != 0) {
        BuildSearchContext tunnel = context;
        tunnel.spanRow = tunnelRow;
        if (CanTunnelUnder(fx, fy, tunnel)) {
            spanRow = tunnelRow;
            middle = CanTunnelUnder;
        }
    }
    if (!middle)
        return false;
    BuildSearchContext measuring = context;
    measuring.spanRow = spanRow;
    SpanSegment segment;
    const uint32_t length = MeasureSpan(
        to.x, to.y, b, middle,
        [](uint32_t x, uint32_t y, const BuildSearchContext&) { return IsFreeGround(x, y); }, measuring,
        segment);
    const RouteBuilderRow* row = RouteBuilderTable::Find(int32_t(spanRow));
    if (length == 0 || !row || (row->MaxLength > 0 && length > uint32_t(row->MaxLength)))
        return false;
    // The far end piece: the tile after the far ramp.
    uint32_t ex = 0, ey = 0;
    if (!Neighbour(to.x, to.y, move, length, ex, ey))
        return false;
    uint32_t rx = 0, ry = 0;
    if (!Neighbour(ex, ey, b, 1, rx, ry) ||
        GetBridgeSpanCost(int32_t(to.x), int32_t(to.y), int32_t(rx), int32_t(ry), int32_t(spanRow)) == 0)
        return false;
    uint32_t beyond[2] = {0, 0};
    const bool hasBeyond = Neighbour(to.x, to.y, move, 5, beyond[0], beyond[1]);
    if ((hasBeyond && StationNear(beyond[0], beyond[1])) || StationNear(from.x, from.y) ||
        StationNear(segment.x0, segment.y0) || StationNear(segment.x1, segment.y1))
        return false;
    // The far end piece joins the span straight on.
    const uint32_t farMask = LayerMask(layer, ex, ey);
    if (farMask != 0 && (farMask & ~StraightThrough(move)) != 0)
        return false;
    context.lastSpanLength = length;
    context.segments.push_back(segment);
    return true;
}

} // namespace

uint32_t CurveRotation(uint32_t curveMask) {
    switch (curveMask & 15u) {
    case 3:
        return 0;
    case 6:
        return 1;
    case 12:
        return 2;
    case 9:
        return 3;
    default:
        return 255;
    }
}

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

int32_t GetFixedWayMask(uint32_t x, uint32_t y, uint32_t routeType, const BuildSearchContext* context) {
    if (context && SpanKindOf(context->spanRow) == 2)
        return -1;
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return -1;
    Station* station = StationAtTile(int32_t(x), int32_t(y));
    if (routeType == 1) {
        // Beside a track station's connection point that faces the tile:
        // the way runs on along the platforms.
        if (const Station* beside = TrackStationFacing(x, y)) {
            const uint32_t rotation = beside->GetRotation();
            return rotation == 2 || rotation == 8 ? 10 : 5;
        }
        if (const SpecialTrack* piece = SpecialTrackOn(x, y);
            piece && piece->CoversTile(int32_t(x), int32_t(y)))
            return int32_t(piece->GetDirectionsAt(int32_t(x), int32_t(y)) & 0xFFu);
    }
    if (station) {
        if (routeType == 1)
            return station->GetMode() != kModeTrack
                       ? 0
                       : int32_t(station->GetWayMaskAt(int32_t(x), int32_t(y)) & 0xFFu);
        // A road stop's own road cells (which name the stop) stay open to
        // the road that serves it.
        if (station->GetMode() == kModeTrack)
            return 0;
    }
    if (context && (context->flags & (kPlanBridges | kPlanTunnels)) != 0)
        for (const SpanSegment& segment : context->segments)
            if (segment.Holds(x, y))
                return segment.x0 == segment.x1 ? 5 : 10;
    return -1;
}

bool BuildingAllowsStep(uint32_t x, uint32_t y, uint32_t back, uint32_t routeType) {
    const WorldMap& map = GetWorldMap();
    if (map.GetCellKind(x, y) != kCellFootprint)
        return true;
    const SpecialTrack* piece = routeType == 1 ? SpecialTrackOn(x, y) : nullptr;
    if (!piece)
        return false;
    if (piece->IsSwitch())
        return true;
    if (!piece->CoversTile(int32_t(x), int32_t(y)))
        return false;
    const uint32_t directions = piece->GetDirectionsAt(int32_t(x), int32_t(y));
    const uint32_t wanted = IsOneTilePiece(*piece) ? back : ReverseDirection(uint8_t(back & 15u));
    return (directions & wanted) != 0;
}

bool CarriesOnlyOtherWay(uint32_t x, uint32_t y, uint32_t routeType) {
    if (routeType != 1 && routeType != 2)
        return false;
    return LayerMask(OtherRouteLayer(routeType), x, y) != 0 && LayerMask(routeType, x, y) == 0;
}

bool CanBridgeOver(uint32_t x, uint32_t y, const BuildSearchContext& context) {
    const WorldMap& map = GetWorldMap();
    const uint32_t kind = map.GetCellKind(x, y);
    if (!map.InMap(x, y) || kind == kCellFootprint || map.TouchesTunnelEntrance(x, y) ||
        map.GetLayer1Object(x, y) != 0 || StationNear(x, y))
        return false;
    if (map.IsWater(x, y) || kind == kCellWaterway)
        return true;
    const uint32_t track = LayerMask(1, x, y);
    if (track == 0)
        return false;
    if (context.routeType == 1)
        return (map.GetEdgeHeightMatchMask(x, y, context.player) & track) == 0;
    return context.routeType == 2 && !RowFlag(map.GetRouteTypeAt(1, x, y), &RouteBuilderRow::CanCrossStreet);
}

bool CanTunnelUnder(uint32_t x, uint32_t y, const BuildSearchContext& context) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return false;
    if (map.GetLayer2Object(x, y) != 0 && SpanKindOf(context.spanRow) == 2)
        return false;
    const uint32_t kind = map.GetCellKind(x, y);
    if (map.IsWater(x, y) || kind == kCellFootprint || kind == kCellWaterway)
        return true;
    if (kind == kCellRoute) {
        const uint32_t ways = LayerMask(1, x, y) | LayerMask(2, x, y);
        return (map.GetEdgeHeightMatchMask(x, y, context.player) & ways) == 0;
    }
    return false;
}

uint32_t MeasureSpan(uint32_t x, uint32_t y, uint32_t back, SpanTileTest middle, SpanTileTest ramp,
                     const BuildSearchContext& context, SpanSegment& out) {
    const uint32_t move = ReverseDirection(uint8_t(back & 15u));
    if (move == 0 || !GetWorldMap().InMap(x, y))
        return 0;
    // steps: how far the front edge has moved from (x, y).
    uint32_t steps = 0;
    const auto rampOf4 = [&]() {
        for (uint32_t i = 0; i < 4; ++i) {
            uint32_t tx = 0, ty = 0;
            if (!Neighbour(x, y, move, steps + i, tx, ty) || !ramp(tx, ty, context))
                return false;
        }
        steps += 4;
        return true;
    };
    if (!rampOf4())
        return 0;
    for (;;) {
        uint32_t tx = 0, ty = 0;
        if (!Neighbour(x, y, move, steps, tx, ty) || !middle(tx, ty, context))
            break;
        ++steps;
    }
    if (steps == 4 || !rampOf4())
        return 0;
    uint32_t ex = 0, ey = 0;
    if (!Neighbour(x, y, move, steps, ex, ey))
        return 0;
    out.length = steps;
    out.x0 = std::min(x, ex);
    out.y0 = std::min(y, ey);
    out.x1 = std::max(x, ex);
    out.y1 = std::max(y, ey);
    return steps;
}

void ChooseSpanRows(uint32_t wayRow, int64_t year, uint32_t& bridgeRow, uint32_t& tunnelRow) {
    bridgeRow = 0;
    tunnelRow = 0;
    if (wayRow == 0)
        return;
    for (int32_t i = 0; i < RouteBuilderTable::RowCount(); ++i) {
        const RouteBuilderRow* row = RouteBuilderTable::Find(i);
        if (!row || row->RampIndex != int32_t(wayRow) || row->StartYear > year)
            continue;
        if (row->IsBridge == 1)
            bridgeRow = uint32_t(i);
        else if (row->IsBridge == 2)
            tunnelRow = uint32_t(i);
    }
}

bool RouteTileAllowed(uint32_t x, uint32_t y, uint32_t back, const BuildSearchContext& context, bool atEnd) {
    const WorldMap& map = GetWorldMap();
    const WorldCell* cell = map.FindCell(x, y);
    if (!cell)
        return false;
    const TerrainRow* terrain = map.TerrainAt(x, y);
    const uint32_t spanKind = SpanKindOf(context.spanRow);
    const uint32_t kind = cell->Kind();
    if ((kind == kCellPlain || kind == kCellRoute || kind == kCellDecoration) && !OnStartAxis(x, y, context))
        return false;
    if (spanKind != 0) {
        // The middle of a bridge or tunnel.
        if (!SpanSlotsAllow(map, x, y, back, spanKind))
            return false;
        switch (kind) {
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
    switch (kind) {
    case kCellPlain:
    case kCellDecoration:
        // Bridges and tunnels hang in the attachment slots; nothing is laid
        // under or over them here.
        return terrain && terrain->CanBuildRoute && !terrain->IsWater && map.GetLayer1Object(x, y) == 0 &&
               map.GetLayer2Object(x, y) == 0 && (kind == kCellDecoration || !StationNear(x, y));
    case kCellFootprint: {
        // A special track: along its rails, or into its switch cell along
        // the line of its origin cell.
        const SpecialTrack* piece = context.routeType == 1 ? SpecialTrackOn(x, y) : nullptr;
        if (!piece)
            return false;
        if (piece->CoversTile(int32_t(x), int32_t(y)))
            return true;
        if (!piece->IsSwitchTile(int32_t(x), int32_t(y)))
            return false;
        return back == 0 || StraightThrough(back) == PieceOriginDirections(*piece);
    }
    case kCellRoute:
        break;
    default:
        return false;
    }
    const uint32_t layer = context.routeType;
    int32_t fixed = -1;
    if (!atEnd) {
        // Something fixes the way's directions here: it runs on only along them.
        fixed = GetFixedWayMask(x, y, layer, nullptr);
        if (fixed != -1)
            return (uint32_t(fixed) & back) != 0;
    } else {
        // A way does not end on a tile of the other way type alone.
        if (CarriesOnlyOtherWay(x, y, layer))
            return false;
        fixed = GetFixedWayMask(x, y, layer, nullptr);
    }
    if (fixed != -1)
        return fixed != 0 && map.GetRouteDirections(layer, x, y) != 0;
    if (map.GetLayer1Object(x, y) != 0 || map.GetLayer2Object(x, y) != 0)
        return false;
    const uint32_t sub = map.GetRouteSubKind(x, y);
    if (sub == 0 || sub > 3)
        return false;
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
    BuildSearchContext& plan = *static_cast<BuildSearchContext*>(context);
    if (!from || (from->x == to.x && from->y == to.y))
        return RouteTileAllowed(to.x, to.y, 0, plan, true);
    const WorldMap& map = GetWorldMap();
    const uint32_t b = to.back & 15u;
    const uint32_t move = ReverseDirection(uint8_t(b));
    const uint32_t layer = plan.routeType;
    const uint32_t other = OtherRouteLayer(layer);
    const bool atStart = from->g == 0;
    const bool atGoal = to.h == 0;
    const bool turn = !atStart && (from->back & 15u) != b;
    const bool spans = (plan.flags & (kPlanBridges | kPlanTunnels)) != 0;
    // Once a search has accepted a span, its tiles are passed straight on.
    if (spans)
        for (const SpanSegment& segment : plan.segments)
            if (segment.Holds(to.x, to.y)) {
                if (segment.x0 != segment.x1 && segment.y0 == segment.y1)
                    return b == 2 || b == 8;
                if (segment.x0 == segment.x1 && segment.y0 != segment.y1)
                    return b == 1 || b == 4;
                return segment.x0 != segment.x1;
            }
    const int32_t fromFixed = GetFixedWayMask(from->x, from->y, layer, &plan);
    const int32_t toFixed = GetFixedWayMask(to.x, to.y, layer, &plan);
    if (atStart) {
        // Out of the start along what fixes its directions.
        if (fromFixed != -1 && (uint32_t(fromFixed) & (b | move)) == 0)
            return false;
        if (toFixed != -1 && (uint32_t(toFixed) & move) == 0)
            return false;
    } else {
        // No turn on a tile whose directions are fixed.
        if (turn && fromFixed != -1)
            return false;
        if (atGoal && toFixed != -1 && (uint32_t(toFixed) & b) == 0)
            return false;
    }
    const uint32_t fromOther = map.GetRouteDirections(other, from->x, from->y);
    // A way leaves a crossing only straight on, and out of the start only
    // across the crossed way.
    if (fromOther != 0 && (turn || (fromOther & move) != 0))
        return false;
    // Track turns only on its own new ground: existing track keeps its shape.
    if (turn && layer == 1 && map.GetRouteDirections(1, from->x, from->y) != 0)
        return false;
    if (!atStart && !atGoal && turn) {
        if (layer == 1 &&
            (plan.flags & (kPlanFreeRoute | kPlanCurvePieces)) == (kPlanFreeRoute | kPlanCurvePieces)) {
            // The bend gets a curve piece: it must fit on the turning tile.
            const uint32_t rotation = CurveRotation((from->back & 15u) | move);
            if (rotation > 3 ||
                !CanPlaceSpecialTrack(from->x, from->y, uint8_t(rotation), kCurvePieceType, plan.player))
                return false;
        }
        // A road does not turn beside a tunnel's portal.
        if (layer == 2 && (plan.flags & kPlanFreeRoute) && map.TouchesTunnelEntrance(to.x, to.y))
            return false;
    }
    if (!atStart && !atGoal && map.GetCellKind(to.x, to.y) == kCellFootprint) {
        // Into a special track only through a switch, along its line.
        const SpecialTrack* piece = SpecialTrackOn(to.x, to.y);
        if (piece && piece->CoversTile(to.x, to.y))
            return layer == 1 && piece->IsSwitch() &&
                   StraightThrough(from->back & 15u) == PieceOriginDirections(*piece);
    }
    if (atStart || atGoal) {
        if (!BuildingAllowsStep(from->x, from->y, b, layer) || !BuildingAllowsStep(to.x, to.y, b, layer))
            return false;
        if (!TunnelEntranceAllowsStep(from->x, from->y, b, layer))
            return false;
    }
    // Past a tunnel's portal only along the tunnel.
    if (!TunnelEntranceAllowsStep(to.x, to.y, b, layer))
        return false;
    if (!atStart && !atGoal && spans) {
        // Onto a bridge or tunnel of the route type that runs this way.
        const BridgeSpan* span = GetBridgeSpan(map.GetLayer1Object(to.x, to.y));
        if (span) {
            const RouteBuilderRow* row = RouteBuilderTable::Find(span->GetRouteType());
            if (row && uint32_t(row->RouteType) == layer && (span->GetOrientation() & move) != 0)
                return true;
        }
    }
    if (spans && !atGoal && TrySpan(to, *from, plan))
        return true;
    return RouteTileAllowed(to.x, to.y, b, plan, atStart || atGoal);
}
