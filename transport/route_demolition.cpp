#include "transport/route_demolition.h"

#include "transport/build_route_planner.h"
#include "transport/route_construction.h"
#include "transport/signals.h"
#include "world/bridge_span.h"
#include "world/cell_rows.h"
#include "world/prices.h"
#include "world/world_map.h"

#include "data/generated/route_tables.h"

#include <algorithm>
#include <bit>
#include <set>

namespace {

uint32_t LayerOf(uint32_t mode) {
    return mode == 1 ? 1u : 2u;
}

bool Owns(const WorldMap& map, uint32_t x, uint32_t y, uint32_t mask, uint32_t player) {
    return (map.GetEdgeHeightMatchMask(x, y, int32_t(player)) & mask) == mask;
}

// A moving object holds a lane of the tile.
bool HoldsVehicle(const WorldMap& map, uint32_t x, uint32_t y) {
    return map.GetRouteSlotValue(x, y, 0, 0, 0) != 0 || map.GetRouteSlotValue(x, y, 1, 0, 0) != 0;
}

// The tile's own way that a demolition of the mode may take: a route cell
// without a building or span, of the mode's layer.
bool CarriesWay(const WorldMap& map, uint32_t x, uint32_t y, uint32_t mode) {
    if (map.GetCellKind(x, y) != kCellRoute || map.GetLayer1Object(x, y) != 0 ||
        map.GetLayer2Object(x, y) != 0)
        return false;
    if (mode == 2 && map.GetRouteByte(x, y) != 0)
        return false;
    return map.GetRouteDirections(LayerOf(mode), x, y) != 0;
}

bool IsCrossing(const WorldMap& map, uint32_t x, uint32_t y) {
    return map.GetCellKind(x, y) == kCellRoute && map.GetRouteSubKind(x, y) == 3;
}

// Whether the arm of the company's way leaving (x, y) along d may be taken
// with the tile: it runs through the company's crossings to a piece of the
// company facing back, or ends on open ground.
bool ArmFollowed(const WorldMap& map, uint32_t x, uint32_t y, uint32_t d, uint32_t mode, uint32_t player) {
    int32_t dx = 0, dy = 0;
    OffsetOfDirection(uint8_t(d), dx, dy);
    const uint32_t straight = StraightThrough(d);
    const uint32_t back = ReverseDirection(uint8_t(d));
    uint32_t cx = x, cy = y;
    // A crossing chain cannot be longer than the map.
    for (uint32_t guard = 0; guard < kMaxMapSize; ++guard) {
        cx = uint32_t(int32_t(cx) + dx);
        cy = uint32_t(int32_t(cy) + dy);
        if (!map.InMap(cx, cy) || HoldsVehicle(map, cx, cy))
            return false;
        const uint32_t kind = map.GetCellKind(cx, cy);
        if (kind == kCellPlain || kind == kCellDecoration)
            return map.GetLayer1Object(cx, cy) == 0 || map.GetLayer2Object(cx, cy) == 0;
        if (kind != kCellRoute)
            return false;
        if (IsCrossing(map, cx, cy)) {
            if ((mode == 2 && map.GetRouteByte(cx, cy) != 0) || !Owns(map, cx, cy, straight, player) ||
                map.GetRouteDirections(LayerOf(mode), cx, cy) != straight)
                return false;
            continue;
        }
        return CarriesWay(map, cx, cy, mode) && (map.GetRouteDirections(LayerOf(mode), cx, cy) & back) &&
               Owns(map, cx, cy, back, player);
    }
    return false;
}

// Takes the arm away: the mode's layer out of every crossing passed, the
// direction back out of the piece at its end.
int64_t RemoveArm(uint32_t x, uint32_t y, uint32_t d, uint32_t mode, uint32_t row, bool priceOnly) {
    WorldMap& map = GetWorldMap();
    int32_t dx = 0, dy = 0;
    OffsetOfDirection(uint8_t(d), dx, dy);
    const uint32_t back = ReverseDirection(uint8_t(d));
    const uint32_t layer = LayerOf(mode);
    int64_t cost = 0;
    uint32_t cx = x, cy = y;
    for (uint32_t guard = 0; guard < kMaxMapSize; ++guard) {
        cx = uint32_t(int32_t(cx) + dx);
        cy = uint32_t(int32_t(cy) + dy);
        if (!map.InMap(cx, cy) || map.GetCellKind(cx, cy) != kCellRoute || HoldsVehicle(map, cx, cy))
            return cost;
        TileEditRecord record = ReadTileEdit(cx, cy, mode);
        cost += GetRouteDemolitionCost(int32_t(map.GetRouteTypeAt(layer, cx, cy)));
        if (record.sub == 3) {
            if (!priceOnly) {
                record.owner[std::countr_zero(d)] = kNoDirectionOwner;
                record.owner[std::countr_zero(back)] = kNoDirectionOwner;
                record.mask = 0;
                record.sub = mode == 1 ? 2 : 1;
                WriteTileBack(record, mode, row, false, 0);
            }
            continue;
        }
        if (!priceOnly) {
            record.mask &= ~back;
            record.owner[std::countr_zero(back)] = kNoDirectionOwner;
            if (mode == 1) {
                // A track keeps a shape it can be driven on.
                if (record.mask == 1 || record.mask == 4)
                    record.mask = 5;
                else if (record.mask == 2 || record.mask == 8)
                    record.mask = 10;
                else if (std::popcount(record.mask) == 3)
                    record.mask = 15;
                // The directions the reshaping adds belong to the piece's
                // owner: an unowned direction would leave track that nobody
                // may take away once its last owned direction goes.
                uint32_t keeper = kNoDirectionOwner;
                for (uint32_t k = 0; k < 4; ++k)
                    if ((record.mask & (1u << k)) && record.owner[k] != kNoDirectionOwner)
                        keeper = record.owner[k];
                for (uint32_t k = 0; k < 4; ++k)
                    if ((record.mask & (1u << k)) && record.owner[k] == kNoDirectionOwner)
                        record.owner[k] = keeper;
            }
            if (record.mask == 0)
                record.sub = 0;
            WriteTileBack(record, mode, row, false, 0);
        }
        return cost;
    }
    return cost;
}

} // namespace

namespace {

// The company's bridge or tunnel of the mode hanging at the tile, or null.
BridgeSpan* OwnSpanAt(uint32_t x, uint32_t y, uint32_t mode, uint32_t player) {
    BridgeSpan* span = SpanOnTile(x, y);
    if (!span || span->GetOwner() != int32_t(player))
        return nullptr;
    const RouteBuilderRow* row = RouteBuilderTable::Find(span->GetRouteType());
    return row && uint32_t(row->RouteType) == mode ? span : nullptr;
}

// The lowest id of a chain: one key for all its pieces.
uint32_t ChainKey(BridgeSpan& span) {
    uint32_t key = span.GetId();
    for (const BridgeSpan* piece : span.GetChain())
        key = std::min(key, piece->GetId());
    return key;
}

int64_t DemolishTile(uint32_t x, uint32_t y, uint32_t mode, uint32_t player, bool priceOnly,
                     std::set<uint32_t>* pricedChains) {
    WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y) || (mode != 1 && mode != 2))
        return 0;
    if (BridgeSpan* span = OwnSpanAt(x, y, mode, player)) {
        // A chain is priced once however many of its tiles the area holds.
        if (pricedChains && !pricedChains->insert(ChainKey(*span)).second)
            return 0;
        const int64_t cost = span->GetChainDemolitionCost();
        if (cost != 0 && !priceOnly)
            RemoveBridgeChain(span, 1);
        return cost;
    }
    const uint32_t layer = LayerOf(mode);
    if (mode == 1 && map.GetCellKind(x, y) == kCellRoute && map.GetRouteSignal(x, y) != 0) {
        if ((map.GetEdgeHeightMatchMask(x, y, int32_t(player)) & map.GetTrackDirections(x, y)) == 0)
            return 0;
        if (!priceOnly) {
            DeleteSignal(map.GetRouteSignal(x, y));
            map.SetRouteSignal(x, y, 0);
        }
        return GetSignalDemolitionCost(0);
    }
    if (!CarriesWay(map, x, y, mode) || HoldsVehicle(map, x, y))
        return 0;
    const uint32_t mask = map.GetRouteDirections(layer, x, y);
    const uint32_t owned = map.GetEdgeHeightMatchMask(x, y, int32_t(player)) & mask;
    if (owned == 0)
        return 0;
    if (IsCrossing(map, x, y) && ((mask != 5 && mask != 10) || owned != mask))
        return 0;
    const uint32_t row = map.GetRouteTypeAt(layer, x, y);
    uint32_t followed = 0;
    for (uint32_t d = 1; d <= 8; d <<= 1)
        if ((owned & d) && ArmFollowed(map, x, y, d, mode, player))
            followed |= d;
    int64_t cost = 0;
    for (uint32_t d = 1; d <= 8; d <<= 1)
        if (followed & d)
            cost += RemoveArm(x, y, d, mode, row, priceOnly);
    TileEditRecord record = ReadTileEdit(x, y, mode);
    record.mask &= ~followed;
    for (uint32_t d = 0; d < 4; ++d)
        if (followed & (1u << d))
            record.owner[d] = kNoDirectionOwner;
    if (mode == 1 || record.mask == 0) {
        cost += GetRouteDemolitionCost(int32_t(row));
        if (!priceOnly) {
            for (uint32_t d = 0; d < 4; ++d)
                if (record.mask & (1u << d))
                    record.owner[d] = kNoDirectionOwner;
            record.mask = 0;
            record.sub = record.sub == 3 ? (mode == 1 ? 2 : 1) : 0;
            WriteTileBack(record, mode, row, false, 0);
        }
    } else if (followed != 0) {
        cost += GetRouteDemolitionCost(int32_t(row));
        if (!priceOnly)
            WriteTileBack(record, mode, row, false, 0);
    }
    return cost;
}

} // namespace

int64_t DemolishRouteTile(uint32_t x, uint32_t y, uint32_t mode, uint32_t player, bool priceOnly) {
    return DemolishTile(x, y, mode, player, priceOnly, nullptr);
}

int64_t DemolishRouteRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t mode, uint32_t player,
                          bool priceOnly) {
    const WorldMap& map = GetWorldMap();
    if (x1 < 0 || y1 < 0 || x2 < 0 || y2 < 0 || !map.InMap(uint32_t(x1), uint32_t(y1)) ||
        !map.InMap(uint32_t(x2), uint32_t(y2)))
        return 0;
    const uint32_t x0 = uint32_t(std::min(x1, x2)), xe = uint32_t(std::max(x1, x2));
    const uint32_t y0 = uint32_t(std::min(y1, y2)), ye = uint32_t(std::max(y1, y2));
    int64_t cost = 0;
    std::set<uint32_t> pricedChains;
    for (uint32_t y = y0; y <= ye; ++y)
        for (uint32_t x = x0; x <= xe; ++x)
            cost += DemolishTile(x, y, mode, player, priceOnly, &pricedChains);
    return cost;
}

void RevertRouteLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t mode, uint32_t player) {
    WorldMap& map = GetWorldMap();
    if ((mode != 1 && mode != 2) || x1 < 0 || y1 < 0 || x2 < 0 || y2 < 0 ||
        !map.InMap(uint32_t(x1), uint32_t(y1)) || !map.InMap(uint32_t(x2), uint32_t(y2)))
        return;
    const uint32_t layer = LayerOf(mode);
    const uint32_t x0 = uint32_t(std::min(x1, x2)), xe = uint32_t(std::max(x1, x2));
    const uint32_t y0 = uint32_t(std::min(y1, y2)), ye = uint32_t(std::max(y1, y2));
    const bool alongX = x0 != xe;
    // A tentative bridge or tunnel along the line goes first: removed, or
    // given back the row it had before.
    for (uint32_t y = y0; y <= ye; ++y) {
        for (uint32_t x = x0; x <= xe; ++x) {
            BridgeSpan* span = OwnSpanAt(x, y, mode, player);
            if (!span || (span->GetFlags() & 2u) == 0 ||
                span->GetOrientation() !=
                    (alongX ? BridgeSpan::kOrientationAlongX : BridgeSpan::kOrientationAlongY))
                continue;
            if (span->GetSavedRouteType() < 0) {
                RemoveBridgeChain(span, 0);
            } else {
                span->SetChainRouteType(span->GetSavedRouteType());
                span->SetChainFlag0(false);
                span->SetChainFlag1(false);
            }
        }
    }
    for (uint32_t y = y0; y <= ye; ++y) {
        for (uint32_t x = x0; x <= xe; ++x) {
            if (map.GetCellKind(x, y) != kCellRoute || map.GetLayer1Object(x, y) != 0 ||
                map.GetLayer2Object(x, y) != 0)
                continue;
            uint32_t line = alongX ? 10u : 5u;
            if (x == x0 && y == y0)
                line = alongX ? 2u : 4u;
            if (x == xe && y == ye)
                line = alongX ? 8u : 1u;
            const TileEditRecord read = ReadTileEdit(x, y, mode);
            // Only the company's own pieces are taken back.
            if ((map.GetEdgeHeightMatchMask(x, y, int32_t(player)) & read.mask & line) == 0)
                continue;
            TileEditRecord record = read;
            for (uint32_t d = 0; d < 4; ++d)
                if (line & (1u << d))
                    record.owner[d] = kNoDirectionOwner;
            record.mask &= ~(line & record.mask);
            const uint32_t keptMask = uint32_t(std::max(0, map.GetSavedDirections(layer, x, y)));
            if (map.GetRouteFlagA(layer, x, y) && keptMask != 0) {
                record.mask = keptMask;
                (mode == 1 ? record.trackRow : record.roadRow) = map.GetSavedRouteType(layer, x, y);
                for (uint32_t d = 0; d < 4; ++d)
                    record.owner[d] = read.owner[d];
            }
            if (record.mask == 0)
                record.sub = read.sub == 3 ? (mode == 1 ? 2 : 1) : 0;
            WriteTileBack(record, mode, mode == 1 ? record.trackRow : record.roadRow, false, 0);
        }
    }
}
