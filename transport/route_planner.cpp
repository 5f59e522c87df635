#include "transport/route_planner.h"

#include "transport/route_search.h"
#include "transport/transport_log.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <queue>
#include <tuple>

namespace {

constexpr uint32_t kNoRoute = 0;
constexpr int64_t kUnreached = -500000;
// An edge whose tiles cost more than this to the track search is left out.
constexpr uint32_t kTrackEdgeCostLimit = 2000;
constexpr uint32_t kDirectWalkLimit = 100000;

uint32_t LayerOf(uint32_t mode) {
    return mode == kRouteModeRoad ? 2 : 1;
}

bool HasLayer(uint32_t sub, uint32_t mode) {
    if (mode == kRouteModeRoad)
        return sub == 2 || sub == 3 || sub == 8;
    return sub == 1 || sub == 3;
}

uint32_t DirIndex(uint32_t mask) {
    return uint32_t(std::countr_zero(mask & 15));
}

uint32_t Opposite(uint32_t d) {
    return (d + 2) & 3;
}

uint32_t NibbleDirections(uint32_t nibble) {
    return uint32_t(std::popcount(nibble & 15));
}

// Notes of a graph build per tile besides the usable directions (bits 0-3).
constexpr uint8_t kWalkNode = 16;
constexpr uint8_t kWalkCrossing = 32;

// The turns a node allows (bit side * 4 + d), for a tile of the given track
// directions: on a four-way tile and a straight piece only straight on,
// anywhere else every turn but back out (RouteStepPenalty's rule).
uint16_t TurnsOf(uint32_t trackDirections) {
    uint16_t turns = 0;
    const bool straightOnly = trackDirections == 15 || trackDirections == 5 || trackDirections == 10;
    for (uint32_t a = 0; a < 4; ++a)
        for (uint32_t d = 0; d < 4; ++d)
            if (a != d && (!straightOnly || d == Opposite(a)))
                turns = uint16_t(turns | (1u << (a * 4 + d)));
    return turns;
}

// The bits of a tile's route row, false on any other tile.
bool RouteBits(const WorldMap& map, uint32_t x, uint32_t y, uint32_t& bits) {
    const WorldCell* cell = map.FindCell(x, y);
    if (!cell || cell->Kind() != kCellRoute || cell->RowBits() >= map.Rows().route.Size())
        return false;
    bits = map.Rows().route[cell->RowBits()].bits;
    return true;
}

// Whether the mode's layer of a route row is under construction (flag A).
bool UnderConstruction(uint32_t bits, uint32_t mode) {
    return ((bits >> (mode == kRouteModeRoad ? 28 : 29)) & 1) != 0;
}

uint32_t LayerDirections(uint32_t bits, uint32_t mode) {
    return (bits >> (mode == kRouteModeRoad ? 14 : 18)) & 15;
}

// The node number kept on a tile: a route cell's own field read directly,
// a special track's through the map.
uint32_t TileNodeId(const WorldMap& map, uint32_t x, uint32_t y) {
    const WorldCell* cell = map.FindCell(x, y);
    if (!cell)
        return 0;
    if (cell->Kind() == kCellRoute)
        return cell->RowBits() < map.Rows().route.Size() ? map.Rows().route[cell->RowBits()].nodeId : 0;
    return map.GetTileNodeId(x, y);
}

} // namespace

uint32_t RouteTileUsable(uint32_t x, uint32_t y, uint32_t mode) {
    const WorldMap& map = GetWorldMap();
    uint32_t bits = 0;
    if (mode > kRouteModeTrack || !RouteBits(map, x, y, bits) || !HasLayer(bits & 15, mode))
        return 0;
    if (!UnderConstruction(bits, mode))
        return LayerDirections(bits, mode);
    if (!HasLayer(map.GetRouteSubKind(x, y), mode))
        return 0;
    const uint32_t layer = LayerOf(mode);
    if (!map.GetRouteFlagA(layer, x, y))
        return map.GetRouteDirections(layer, x, y);
    // A way under construction offers what it had before the build.
    const int32_t saved = map.GetSavedDirections(layer, x, y);
    if (map.GetSavedRouteType(layer, x, y) != 0 && map.GetRouteFlagB(layer, x, y) && saved > 0)
        return uint32_t(saved) & 15;
    return 0;
}

bool RouteTilePassable(uint32_t x, uint32_t y, uint32_t mode) {
    const WorldMap& map = GetWorldMap();
    uint32_t bits = 0;
    if (mode > kRouteModeTrack || !RouteBits(map, x, y, bits) || !HasLayer(bits & 15, mode))
        return false;
    if (!UnderConstruction(bits, mode))
        return LayerDirections(bits, mode) != 0;
    if (!HasLayer(map.GetRouteSubKind(x, y), mode))
        return false;
    const uint32_t layer = LayerOf(mode);
    if (map.GetRouteFlagA(layer, x, y)) {
        const bool savedType = map.GetSavedRouteType(layer, x, y) != 0;
        const bool flagB = map.GetRouteFlagB(layer, x, y);
        if (mode == kRouteModeRoad) {
            if (savedType && flagB)
                return map.GetRouteDirections(layer, x, y) != 0;
            if (flagB)
                return false;
            return map.GetSavedDirections(layer, x, y) > 0;
        }
        if (!savedType || !flagB)
            return false;
    }
    return map.GetRouteDirections(layer, x, y) != 0;
}

bool IsRouteNodeMask(uint32_t mask, uint32_t ignored, bool split) {
    (void)ignored;
    if (!split)
        return NibbleDirections(mask) + NibbleDirections(mask >> 4) >= 2;
    const uint32_t low = mask & 15;
    const uint32_t high = (mask >> 4) & 15;
    if (high == 0)
        return NibbleDirections(low) >= 3;
    if (low != 0)
        return true;
    return NibbleDirections(high) >= 3;
}

uint32_t RouteStepPenalty(uint32_t x, uint32_t y, uint32_t fromMask, uint32_t toMask, uint32_t mode) {
    if (mode != kRouteModeTrack)
        return 0;
    const uint32_t t = GetWorldMap().GetTrackDirections(x, y);
    if (t == 15 || (fromMask != 0 && (t == 5 || t == 10)))
        return fromMask == toMask ? 0 : kRouteStepForbidden;
    return 0;
}

bool NextTileAlong(uint32_t x, uint32_t y, uint32_t direction, uint32_t& outX, uint32_t& outY) {
    const DirectionStep& step = kDirections[direction & 3];
    outX = x + uint32_t(step.dx);
    outY = y + uint32_t(step.dy);
    return GetWorldMap().InMap(outX, outY);
}

RoutePlanner::RoutePlanner(uint32_t aMode) : mode_(aMode), nodes_(100) {}

uint32_t RoutePlanner::NodeCount() const {
    uint32_t n = 0;
    for (const auto& node : nodes_)
        n += node ? 1 : 0;
    return n;
}

uint32_t RoutePlanner::EdgeCount() const {
    uint32_t n = 0;
    for (const auto& node : nodes_)
        if (node)
            for (uint32_t neighbour : node->neighbour)
                n += neighbour != 0 ? 1 : 0;
    return n;
}

void RoutePlanner::SetExcludedDirections(uint32_t mask, uint32_t x, uint32_t y) {
    excludedMask_ = mask & 15;
    excludedX_ = x;
    excludedY_ = y;
}

uint32_t RoutePlanner::AddNode() {
    uint32_t id = freeHint_ == 0 ? 1 : freeHint_;
    while (id < nodes_.size() && nodes_[id])
        ++id;
    if (id > kMaxRouteNodes)
        return 0;
    if (id >= nodes_.size()) {
        // Grow by half at least, so that a large network is not copied over
        // and over; ids do not depend on the capacity.
        const size_t grown = std::max<size_t>(nodes_.size() + 500, nodes_.size() + nodes_.size() / 2);
        nodes_.resize(std::min<size_t>(grown, size_t(kMaxRouteNodes) + 1));
    }
    nodes_[id] = std::make_unique<RouteGraphNode>();
    freeHint_ = id + 1;
    return id;
}

void RoutePlanner::FreeNode(uint32_t id) {
    if (id < nodes_.size() && nodes_[id]) {
        nodes_[id].reset();
        freeHint_ = std::min(freeHint_ == 0 ? id : freeHint_, id);
    }
}

bool RoutePlanner::TakeNodeId(uint32_t id) {
    if (id == 0 || id > kMaxRouteNodes)
        return false;
    if (id >= nodes_.size())
        nodes_.resize(std::min<size_t>(std::max<size_t>(size_t(id) + 1, nodes_.size() + 500),
                                       size_t(kMaxRouteNodes) + 1));
    if (nodes_[id])
        return false;
    nodes_[id] = std::make_unique<RouteGraphNode>();
    return true;
}

uint32_t RoutePlanner::NodeAt(uint32_t x, uint32_t y) const {
    const uint32_t id = TileNodeId(GetWorldMap(), x, y);
    const RouteGraphNode* node = Node(id);
    return node && node->x == x && node->y == y ? id : 0;
}

bool RoutePlanner::IsNodeTile(uint32_t x, uint32_t y, bool split) const {
    if (!RouteTilePassable(x, y, mode_))
        return false;
    const uint32_t usable = RouteTileUsable(x, y, mode_);
    if (IsRouteNodeMask(usable, 0, split))
        return true;
    return usable != 0 && StationConnects(x, y);
}

void RoutePlanner::BuildGraph(bool split) {
    WorldMap& map = GetWorldMap();
    RoutePlanners& planners = WorldRoutePlanners();
    if (mode_ == kRouteModeTrack && planners.clearCachedTrackRoutes)
        planners.clearCachedTrackRoutes();

    // Nodes whose tile is no node any more go; the others keep their ids.
    for (uint32_t id = 1; id < nodes_.size(); ++id) {
        RouteGraphNode* node = nodes_[id].get();
        if (!node)
            continue;
        const bool holdsId = map.GetTileNodeId(node->x, node->y) == id;
        if (holdsId && IsNodeTile(node->x, node->y, split))
            continue;
        if (holdsId)
            map.SetTileNodeId(node->x, node->y, 0);
        FreeNode(id);
    }

    // Every node tile of the map; ids the cells hold (a loaded game) are
    // taken over first, so that a load keeps its numbering. The scan also
    // notes each tile's usable directions for the edge walks below.
    std::vector<std::pair<uint32_t, uint32_t>> tiles;
    std::vector<std::pair<uint32_t, uint32_t>> fresh;
    const uint32_t width = map.GetWidth();
    const uint32_t height = map.GetHeight();
    const std::vector<WorldCell>& grid = map.GetGrid();
    const auto& routeRows = map.Rows().route;
    walkMap_.assign(size_t(width) * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t index = size_t(y) * width + x;
            const WorldCell& cell = grid[index];
            if (cell.Kind() != kCellRoute)
                continue;
            uint32_t usable = 0;
            bool passable = false;
            uint32_t id = 0;
            if (cell.RowBits() < routeRows.Size()) {
                const uint32_t bits = routeRows[cell.RowBits()].bits;
                id = routeRows[cell.RowBits()].nodeId;
                if (!HasLayer(bits & 15, mode_)) {
                } else if (!UnderConstruction(bits, mode_)) {
                    usable = LayerDirections(bits, mode_);
                    passable = usable != 0;
                } else {
                    usable = RouteTileUsable(x, y, mode_);
                    passable = RouteTilePassable(x, y, mode_);
                }
                if (mode_ == kRouteModeTrack && (bits & 3) == 3)
                    walkMap_[index] = kWalkCrossing;
            }
            walkMap_[index] = uint8_t(walkMap_[index] | usable);
            const bool isNode =
                passable && (IsRouteNodeMask(usable, 0, split) || (usable != 0 && StationConnects(x, y)));
            if (!isNode) {
                // A number left on a tile of this mode only (the other
                // mode's planner owns those it shares) is stale.
                if (id != 0 && map.GetRouteSubKind(x, y) != 3 && HasLayer(map.GetRouteSubKind(x, y), mode_) &&
                    !(Node(id) && Node(id)->x == x && Node(id)->y == y))
                    map.SetTileNodeId(x, y, 0);
                continue;
            }
            const RouteGraphNode* node = Node(id);
            if (node && node->x == x && node->y == y) {
                tiles.emplace_back(x, y);
            } else if (!node && TakeNodeId(id)) {
                nodes_[id]->x = x;
                nodes_[id]->y = y;
                tiles.emplace_back(x, y);
            } else {
                fresh.emplace_back(x, y);
                continue;
            }
            walkMap_[index] = uint8_t(walkMap_[index] | kWalkNode);
        }
    }
    uint32_t dropped = 0;
    for (const auto& [x, y] : fresh) {
        const uint32_t id = AddNode();
        if (id == 0) {
            // The cells cannot name more nodes; the tile stays a plain way.
            map.SetTileNodeId(x, y, 0);
            ++dropped;
            continue;
        }
        map.SetTileNodeId(x, y, id);
        nodes_[id]->x = x;
        nodes_[id]->y = y;
        tiles.emplace_back(x, y);
        walkMap_[size_t(y) * width + x] |= kWalkNode;
    }
    if (dropped != 0)
        TransportWarning(
            "route graph (mode %u): %u junctions beyond the %u nodes a map can number are left out", mode_,
            dropped, kMaxRouteNodes);

    for (const auto& [x, y] : tiles) {
        RouteGraphNode& node = *nodes_[routeRows[grid[size_t(y) * width + x].RowBits()].nodeId];
        std::fill(std::begin(node.neighbour), std::end(node.neighbour), 0u);
        std::fill(std::begin(node.length), std::end(node.length), 0u);
        std::fill(std::begin(node.arrival), std::end(node.arrival), uint8_t(255));
        const uint32_t usable = walkMap_[size_t(y) * width + x] & 15u;
        node.turns = TurnsOf(mode_ == kRouteModeTrack ? map.GetTrackDirections(x, y) : 0);
        node.switchTile = map.IsSpecialTrackAt(x, y);
        for (uint32_t d = 0; d < 4; ++d) {
            if (!(usable & DirectionMask(d)))
                continue;
            const WalkResult walk = BuildWalk(x, y, d);
            if (walk.cost == kNoRoute)
                continue;
            node.neighbour[d] = walk.node;
            node.length[d] = walk.cost;
            node.arrival[d] = uint8_t(walk.arrival);
        }
    }
    graph_.assign(nodes_.size(), SearchNode{});
    for (uint32_t id = 1; id < nodes_.size(); ++id) {
        if (const RouteGraphNode* node = nodes_[id].get()) {
            SearchNode& flat = graph_[id];
            std::copy(std::begin(node->neighbour), std::end(node->neighbour), flat.neighbour);
            std::copy(std::begin(node->length), std::end(node->length), flat.length);
            std::copy(std::begin(node->arrival), std::end(node->arrival), flat.arrival);
            flat.turns = node->turns;
            flat.switchTile = node->switchTile;
        }
    }
    if (mode_ == kRouteModeRoad)
        map.ClearRoadNetworkChanged();
    else
        map.ClearTrackNetworkChanged();
    built_ = true;
}

bool RoutePlanner::StationConnects(uint32_t x, uint32_t y) const {
    const RoutePlanners& planners = WorldRoutePlanners();
    if (planners.stationConnection)
        return planners.stationConnection(x, y, mode_) != 0;
    return StationConnectionForMode(x, y, mode_) != 0;
}

RoutePlanner::WalkResult RoutePlanner::BuildWalk(uint32_t x, uint32_t y, uint32_t d) const {
    // EdgeWalk without callback or list, reading the tile notes of the
    // build in progress: every node tile of the planner is marked there,
    // and each node tile is a route cell holding its node's id.
    const WorldMap& map = GetWorldMap();
    const uint32_t width = map.GetWidth();
    const uint32_t height = map.GetHeight();
    uint32_t cost = 1;
    uint32_t cx = x + uint32_t(kDirections[d].dx);
    uint32_t cy = y + uint32_t(kDirections[d].dy);
    if (cx >= width || cy >= height)
        return {};
    uint32_t cd = d;
    const bool track = mode_ == kRouteModeTrack;
    const uint64_t limit = uint64_t(width) * height;
    for (uint64_t steps = 0; steps <= limit; ++steps) {
        const size_t index = size_t(cy) * width + cx;
        const uint32_t note = walkMap_[index];
        if ((note & kWalkNode) && !(track && (note & kWalkCrossing))) {
            if ((note & 15) == 0)
                return {};
            const WorldCell& cell = map.GetGrid()[index];
            return {cost, map.Rows().route[cell.RowBits()].nodeId, cd};
        }
        if (cx == x && cy == y)
            return {};
        const uint32_t mask = note & 15;
        const uint32_t back = OppositeDirectionMask(cd);
        if (!(mask & back))
            return {};
        const uint32_t onward = mask & ~back & 15;
        if (onward == 0 || (track && NibbleDirections(onward) != 1))
            return {};
        cost += 1;
        cd = DirIndex(onward);
        cx += uint32_t(kDirections[cd].dx);
        cy += uint32_t(kDirections[cd].dy);
        if (cx >= width || cy >= height)
            return {};
    }
    return {};
}

RoutePlanner::WalkResult RoutePlanner::EdgeWalk(uint32_t x, uint32_t y, uint32_t d,
                                                RouteCostCallback callback, void* context, WaypointList* list,
                                                bool hasOther, uint32_t otherX, uint32_t otherY,
                                                bool chargeStart) const {
    const WorldMap& map = GetWorldMap();
    const uint32_t startMask = DirectionMask(d);
    if (!(RouteTileUsable(x, y, mode_) & startMask))
        return {};
    uint32_t cost = 1;
    if (callback && chargeStart) {
        const uint32_t c = callback(x, y, startMask, startMask, context, mode_);
        if (c >= kRouteStepForbidden)
            return {};
        cost += c;
    }
    uint32_t cx = 0, cy = 0;
    if (!NextTileAlong(x, y, d, cx, cy))
        return {};
    uint32_t cd = d;
    // No stretch is longer than the map has tiles; one that goes on runs in
    // a loop without a node.
    const uint64_t limit = uint64_t(map.GetWidth()) * map.GetHeight();
    for (uint64_t steps = 0; steps <= limit; ++steps) {
        const bool crossing = mode_ == kRouteModeTrack && map.IsTrackRoadCrossing(cx, cy);
        if (!crossing) {
            if (const uint32_t id = NodeAt(cx, cy)) {
                if (RouteTileUsable(cx, cy, mode_) == 0)
                    return {};
                return {cost, id, cd};
            }
        }
        if ((hasOther && cx == otherX && cy == otherY) || (cx == x && cy == y))
            return {};
        const uint32_t mask = RouteTileUsable(cx, cy, mode_);
        const uint32_t back = OppositeDirectionMask(cd);
        if (!(mask & back))
            return {};
        const uint32_t onward = mask & ~back & 15;
        if (onward == 0 || (mode_ == kRouteModeTrack && NibbleDirections(onward) != 1))
            return {};
        const uint32_t nd = DirIndex(onward);
        if (nd != cd && list)
            list->Add(cx, cy);
        if (callback) {
            const uint32_t c = callback(cx, cy, DirectionMask(cd), DirectionMask(cd), context, mode_);
            if (c >= kRouteStepForbidden)
                return {};
            cost += c;
        }
        cost += 1;
        cd = nd;
        if (!NextTileAlong(cx, cy, cd, cx, cy))
            return {};
    }
    return {};
}

void RoutePlanner::FindAdjacentNodes(uint32_t x, uint32_t y, const Query& q, uint32_t otherX, uint32_t otherY,
                                     EndAdjacency& end) const {
    end.count = 0;
    end.reachable = false;
    end.isNode = false;
    for (uint32_t k = 0; k < 2; ++k) {
        end.node[k] = 0;
        end.cost[k] = 0;
        end.arrival[k] = 0;
        end.walk[k].Clear();
    }
    if (const uint32_t id = NodeAt(x, y)) {
        end.isNode = true;
        end.node[0] = end.node[1] = id;
        end.count = 1;
        end.reachable = true;
        return;
    }
    const uint32_t dirs = RouteTileUsable(x, y, mode_);
    for (uint32_t d = 0; d < 4 && end.count < 2; ++d) {
        if (!(dirs & DirectionMask(d)))
            continue;
        WaypointList& walkList = end.walk[end.count];
        walkList.Clear();
        const WalkResult walk =
            EdgeWalk(x, y, d, q.callback, q.context, &walkList, true, otherX, otherY, true);
        if (walk.cost == kNoRoute) {
            walkList.Clear();
            continue;
        }
        end.node[end.count] = walk.node;
        end.cost[end.count] = walk.cost;
        end.arrival[end.count] = walk.arrival;
        ++end.count;
    }
    if (end.count == 1) {
        end.node[1] = end.node[0];
        end.cost[1] = end.cost[0];
        end.arrival[1] = end.arrival[0];
        end.walk[1].Clear();
        end.walk[1].Append(end.walk[0]);
    }
    end.reachable = end.count > 0;
}

uint32_t RoutePlanner::DirectWalk(const Query& q, WaypointList& list) const {
    const WorldMap& map = GetWorldMap();
    if (NodeAt(q.fromX, q.fromY))
        return kNoRoute;
    const uint32_t usable = RouteTileUsable(q.fromX, q.fromY, mode_);
    const uint64_t limit = uint64_t(map.GetWidth()) * map.GetHeight();
    uint32_t best = kDirectWalkLimit;
    WaypointList bestTurns;
    for (uint32_t d = 0; d < 4; ++d) {
        if (!(usable & DirectionMask(d)))
            continue;
        WaypointList turns;
        uint32_t count = 1;
        uint32_t cx = 0, cy = 0, cd = d;
        bool found = false;
        if (!NextTileAlong(q.fromX, q.fromY, d, cx, cy))
            continue;
        for (uint64_t steps = 0; steps <= limit && count < best; ++steps) {
            ++count;
            if (cx == q.toX && cy == q.toY) {
                found = true;
                break;
            }
            if (cx == q.fromX && cy == q.fromY)
                break;
            if (NodeAt(cx, cy) && !(mode_ == kRouteModeTrack && map.IsTrackRoadCrossing(cx, cy)))
                break;
            const uint32_t mask = RouteTileUsable(cx, cy, mode_);
            const uint32_t back = OppositeDirectionMask(cd);
            const uint32_t onward = mask & ~back & 15;
            if (!(mask & back) || onward == 0 || (mode_ == kRouteModeTrack && NibbleDirections(onward) != 1))
                break;
            const uint32_t nd = DirIndex(onward);
            if (nd != cd)
                turns.Add(cx, cy);
            cd = nd;
            if (!NextTileAlong(cx, cy, cd, cx, cy))
                break;
        }
        if (found && count < best) {
            best = count;
            bestTurns.Clear();
            bestTurns.Append(turns);
        }
    }
    if (best == kDirectWalkLimit)
        return kNoRoute;
    list.Add(q.fromX, q.fromY);
    list.Append(bestTurns);
    list.Add(q.toX, q.toY);
    return best;
}

uint32_t RoutePlanner::SharedNeighbour(const Query& q, WaypointList& list) {
    FindAdjacentNodes(q.fromX, q.fromY, q, q.toX, q.toY, start_);
    FindAdjacentNodes(q.toX, q.toY, q, q.fromX, q.fromY, goal_);
    if (!start_.reachable || !goal_.reachable)
        return kNoRoute;
    uint32_t best = 0;
    uint32_t bestK = 0, bestJ = 0;
    for (uint32_t k = 0; k < 2; ++k) {
        for (uint32_t j = 0; j < 2; ++j) {
            if (start_.node[k] != goal_.node[j] || !TurnAllowedAtShared(k, j))
                continue;
            const uint32_t cost = start_.cost[k] + goal_.cost[j];
            if (cost != 0 && (best == 0 || cost < best)) {
                best = cost;
                bestK = k;
                bestJ = j;
            }
        }
    }
    if (best == 0)
        return kNoRoute;
    const RouteGraphNode& shared = *nodes_[start_.node[bestK]];
    if (!start_.isNode) {
        list.Add(q.fromX, q.fromY);
        list.Append(start_.walk[bestK]);
    }
    list.Add(shared.x, shared.y);
    if (!goal_.isNode) {
        list.AppendReversed(goal_.walk[bestJ]);
        list.Add(q.toX, q.toY);
    }
    return best;
}

bool RoutePlanner::TurnAllowedAtShared(uint32_t k, uint32_t j) const {
    if (mode_ != kRouteModeTrack || start_.isNode || goal_.isNode)
        return true;
    const RouteGraphNode& n = *nodes_[start_.node[k]];
    const uint32_t in = start_.arrival[k] & 3;
    const uint32_t out = Opposite(goal_.arrival[j] & 3);
    return out != Opposite(in) &&
           RouteStepPenalty(n.x, n.y, DirectionMask(in), DirectionMask(out), mode_) < kRouteStepForbidden;
}

void RoutePlanner::ResetRecords() {
    // Records of an older search count as unreached; a search touches only
    // the records of the nodes it reaches.
    if (records_.size() != nodes_.size())
        records_.resize(nodes_.size());
    if (++searchStamp_ == 0) {
        std::fill(records_.begin(), records_.end(), SearchRecord{});
        searchStamp_ = 1;
    }
}

RoutePlanner::SearchSlot& RoutePlanner::Slot(uint32_t node, uint32_t slot) {
    SearchRecord& record = records_[node];
    if (record.stamp != searchStamp_) {
        std::fill(std::begin(record.slot), std::end(record.slot), SearchSlot{});
        record.stamp = searchStamp_;
    }
    return record.slot[slot & 3];
}

const RoutePlanner::SearchSlot& RoutePlanner::Peek(uint32_t node, uint32_t slot) const {
    static const SearchSlot kUnreachedSlot{};
    const SearchRecord& record = records_[node];
    return record.stamp == searchStamp_ ? record.slot[slot & 3] : kUnreachedSlot;
}

uint32_t RoutePlanner::RoadEstimate(uint32_t node) const {
    // The cheapest goal node's distance plus its walk to the goal tile:
    // never above the true rest of the way, so the first goal found is the
    // cheapest.
    const RouteGraphNode& n = *nodes_[node];
    uint32_t best = UINT32_MAX;
    for (uint32_t j = 0; j < 2; ++j) {
        const RouteGraphNode* g = Node(goal_.node[j]);
        if (!g)
            continue;
        const uint32_t dx = n.x > g->x ? n.x - g->x : g->x - n.x;
        const uint32_t dy = n.y > g->y ? n.y - g->y : g->y - n.y;
        best = std::min(best, dx + dy + goal_.cost[j]);
    }
    return best == UINT32_MAX ? 0 : best;
}

bool RoutePlanner::GoalSlotUsable(uint32_t j, uint32_t b) const {
    const RouteGraphNode* g = Node(goal_.node[j]);
    if (!g)
        return false;
    if (g->x == excludedX_ && g->y == excludedY_ && (DirectionMask(b) & excludedMask_))
        return false;
    if (goal_.isNode)
        return true;
    // Leaving towards the goal tile must be a turn the node allows.
    const uint32_t leave = Opposite(goal_.arrival[j] & 3);
    return leave != b && RouteStepPenalty(g->x, g->y, DirectionMask(Opposite(b)), DirectionMask(leave),
                                          mode_) < kRouteStepForbidden;
}

uint32_t RoutePlanner::EdgeCallbackCost(uint32_t node, uint32_t d, RouteCostCallback callback,
                                        void* context) const {
    const RouteGraphNode& n = *nodes_[node];
    const WalkResult walk = EdgeWalk(n.x, n.y, d, callback, context, nullptr, false, 0, 0, false);
    if (walk.cost == kNoRoute || walk.cost < n.length[d])
        return kRouteStepForbidden;
    return walk.cost - n.length[d];
}

void RoutePlanner::PushOpen(uint64_t key) {
    size_t i = open_.size();
    open_.push_back(key);
    while (i > 0) {
        const size_t parent = (i - 1) / 4;
        if (open_[parent] <= key)
            break;
        open_[i] = open_[parent];
        i = parent;
    }
    open_[i] = key;
}

uint64_t RoutePlanner::PopOpen() {
    const uint64_t top = open_.front();
    const uint64_t last = open_.back();
    open_.pop_back();
    const size_t count = open_.size();
    if (count == 0)
        return top;
    size_t i = 0;
    for (;;) {
        const size_t first = i * 4 + 1;
        if (first >= count)
            break;
        size_t least = first;
        const size_t end = std::min(first + 4, count);
        for (size_t c = first + 1; c < end; ++c)
            if (open_[c] < open_[least])
                least = c;
        if (open_[least] >= last)
            break;
        open_[i] = open_[least];
        i = least;
    }
    open_[i] = last;
    return top;
}

void RoutePlanner::SearchRoad(const Query& q) {
    ResetRecords();
    open_.clear();
    int64_t best = int64_t(UINT32_MAX);
    for (uint32_t k = 0; k < 2; ++k) {
        const uint32_t s = start_.node[k];
        if (!Node(s))
            continue;
        SearchSlot& slot = Slot(s, 0);
        const int64_t estimate = int64_t(RoadEstimate(s)) + start_.cost[k];
        if (slot.estimate != kUnreached && slot.cost <= start_.cost[k])
            continue;
        slot = SearchSlot{estimate, start_.cost[k], 0, -1, 0, false};
        PushOpen(uint64_t(estimate) << 16 | s);
    }
    while (!open_.empty()) {
        const uint64_t key = PopOpen();
        const int64_t estimate = int64_t(key >> 16);
        const uint32_t n = uint32_t(key & 0xFFFF);
        if (estimate > best)
            break;
        SearchSlot& from = Slot(n, 0);
        if (from.done || estimate != from.estimate)
            continue;
        from.done = true;
        const RouteGraphNode& node = *nodes_[n];
        for (uint32_t d = 0; d < 4; ++d) {
            const uint32_t m = node.neighbour[d];
            if (!Node(m) || IsStartNode(m))
                continue;
            uint64_t c = uint64_t(from.cost) + node.length[d];
            if (q.callback) {
                uint32_t turn = 0;
                if (from.parent != 0 && from.via >= 0) {
                    const uint8_t arrival = nodes_[from.parent]->arrival[uint32_t(from.via)];
                    turn = q.callback(node.x, node.y, DirectionMask(arrival), DirectionMask(d), q.context,
                                      mode_);
                }
                const uint32_t edge = EdgeCallbackCost(n, d, q.callback, q.context);
                if (uint64_t(turn) + edge >= kRouteStepForbidden)
                    continue;
                c += uint64_t(turn) + edge;
            }
            if (c >= UINT32_MAX)
                continue;
            SearchSlot& to = Slot(m, 0);
            if (IsGoalNode(m)) {
                const uint32_t j = goal_.node[0] == m ? 0 : 1;
                const int64_t total = int64_t(c) + goal_.cost[j];
                if (to.estimate != kUnreached && to.cost <= c)
                    continue;
                to = SearchSlot{int64_t(c), uint32_t(c), n, int8_t(d), 0, true};
                best = std::min(best, total);
                continue;
            }
            const int64_t e = int64_t(c) + RoadEstimate(m);
            if (to.estimate != kUnreached && to.estimate <= e)
                continue;
            if (e < best) {
                to = SearchSlot{e, uint32_t(c), n, int8_t(d), 0, false};
                PushOpen(uint64_t(e) << 16 | m);
            }
        }
    }
}

void RoutePlanner::SearchTrack(const Query& q) {
    ResetRecords();
    open_.clear();
    for (uint32_t k = 0; k < 2; ++k) {
        const uint32_t s = start_.node[k];
        if (!Node(s))
            continue;
        for (uint32_t a = 0; a < 4; ++a) {
            // A train walking in from the start tile stands at the node on
            // the side it came in by.
            if (!start_.isNode && a != Opposite(start_.arrival[k] & 3))
                continue;
            SearchSlot& slot = Slot(s, a);
            if (slot.estimate != kUnreached && slot.cost <= start_.cost[k])
                continue;
            slot = SearchSlot{int64_t(start_.cost[k]), start_.cost[k], 0, -1, 0, false};
            PushOpen(uint64_t(start_.cost[k]) << 32 | s << 2 | a);
        }
    }
    // The cheapest goal reached in a usable way so far: nothing popped at
    // that cost or more can better it.
    uint64_t best = UINT64_MAX;
    while (!open_.empty()) {
        const uint64_t key = PopOpen();
        const uint32_t cost = uint32_t(key >> 32);
        const uint32_t n = uint32_t(key >> 2) & 0xFFFF;
        const uint32_t a = uint32_t(key) & 3;
        if (cost >= best)
            break;
        SearchSlot& from = Slot(n, a);
        if (from.done || cost != from.cost)
            continue;
        from.done = true;
        // A node made after the last build has no edges yet.
        if (n >= graph_.size())
            continue;
        const SearchNode& node = graph_[n];
        for (uint32_t d = 0; d < 4; ++d) {
            const uint32_t m = node.neighbour[d];
            // Never back out through the side the train came in by.
            if (m == 0 || d == a || IsStartNode(m))
                continue;
            const bool allowed =
                node.switchTile ? RouteStepPenalty(nodes_[n]->x, nodes_[n]->y, DirectionMask(Opposite(a)),
                                                   DirectionMask(d), mode_) < kRouteStepForbidden
                                : (node.turns & (1u << (a * 4 + d))) != 0;
            if (!allowed)
                continue;
            const uint32_t b = Opposite(node.arrival[d] & 3);
            uint64_t c = uint64_t(cost) + node.length[d];
            if (q.callback) {
                const uint32_t edge = EdgeCallbackCost(n, d, q.callback, q.context);
                if (edge > kTrackEdgeCostLimit)
                    continue;
                c += edge;
            }
            if (c >= UINT32_MAX)
                continue;
            SearchSlot& to = Slot(m, b);
            if (to.estimate != kUnreached && to.cost <= c)
                continue;
            const bool goal = IsGoalNode(m);
            to = SearchSlot{int64_t(c), uint32_t(c), n, int8_t(d), uint8_t(a), goal};
            if (!goal) {
                PushOpen(c << 32 | m << 2 | b);
                continue;
            }
            for (uint32_t j = 0; j < 2; ++j)
                if (goal_.node[j] == m && GoalSlotUsable(j, b))
                    best = std::min(best, c + goal_.cost[j]);
        }
    }
}

std::vector<std::pair<uint32_t, uint32_t>> RoutePlanner::TraceRoad(uint32_t goal) const {
    std::vector<std::pair<uint32_t, uint32_t>> chain;
    if (!Node(goal) || Peek(goal, 0).estimate == kUnreached)
        return chain;
    uint32_t n = goal;
    // A chain never holds more nodes than the graph; one that does runs in
    // a loop of parent links.
    for (size_t guard = 0; guard <= nodes_.size(); ++guard) {
        const SearchSlot& slot = Peek(n, 0);
        chain.emplace_back(n, uint32_t(slot.via));
        if (slot.parent == 0) {
            if (chain.size() < 2 || !IsStartNode(n))
                return {};
            std::reverse(chain.begin(), chain.end());
            return chain;
        }
        n = slot.parent;
    }
    return {};
}

std::vector<std::pair<uint32_t, uint32_t>> RoutePlanner::TraceTrack(uint32_t goal, uint32_t j) const {
    std::vector<std::pair<uint32_t, uint32_t>> chain;
    const RouteGraphNode* g = Node(goal);
    if (!g)
        return chain;
    int32_t bestSlot = -1;
    for (uint32_t b = 0; b < 4; ++b) {
        const SearchSlot& slot = Peek(goal, b);
        if (slot.estimate == kUnreached || slot.parent == 0)
            continue;
        if (!GoalSlotUsable(j, b))
            continue;
        if (bestSlot < 0 || slot.estimate < Peek(goal, bestSlot).estimate)
            bestSlot = int32_t(b);
    }
    if (bestSlot < 0)
        return chain;
    uint32_t n = goal;
    uint32_t s = uint32_t(bestSlot);
    for (size_t guard = 0; guard <= nodes_.size(); ++guard) {
        const SearchSlot& slot = Peek(n, s);
        chain.emplace_back(n, uint32_t(slot.via));
        if (slot.parent == 0) {
            if (chain.size() < 2 || !IsStartNode(n))
                return {};
            std::reverse(chain.begin(), chain.end());
            return chain;
        }
        s = slot.parentSlot;
        n = slot.parent;
    }
    return {};
}

uint32_t RoutePlanner::GraphSearch(const Query& q, WaypointList& list) {
    if (!start_.reachable || !goal_.reachable)
        return kNoRoute;
    if (mode_ == kRouteModeRoad)
        SearchRoad(q);
    else
        SearchTrack(q);
    uint32_t best = 0;
    WaypointList bestList;
    for (uint32_t j = 0; j < 2; ++j) {
        if (j == 1 && goal_.node[1] == goal_.node[0] && goal_.cost[1] == goal_.cost[0])
            break;
        const auto chain = mode_ == kRouteModeRoad ? TraceRoad(goal_.node[j]) : TraceTrack(goal_.node[j], j);
        if (chain.empty())
            continue;
        // The start walk the chain begins with: the cheaper one when both
        // lead to the same node.
        uint32_t k = start_.node[0] == chain.front().first ? 0 : 1;
        if (start_.node[0] == start_.node[1] && start_.cost[1] < start_.cost[0])
            k = 1;
        WaypointList path;
        uint64_t cost = uint64_t(start_.cost[k]) + goal_.cost[j];
        if (!start_.isNode) {
            path.Add(q.fromX, q.fromY);
            path.Append(start_.walk[k]);
        }
        bool ok = true;
        for (size_t i = 0; i < chain.size() && ok; ++i) {
            if (i > 0 && !q.wantList && !q.callback) {
                // Without tiles or tile costs to collect, an edge walk
                // would give the length the graph build stored.
                const RouteGraphNode& prev = *nodes_[chain[i - 1].first];
                ok = prev.neighbour[chain[i].second & 3] == chain[i].first;
                cost += prev.length[chain[i].second & 3];
            } else if (i > 0) {
                const RouteGraphNode& prev = *nodes_[chain[i - 1].first];
                const WalkResult walk = EdgeWalk(prev.x, prev.y, chain[i].second, q.callback, q.context,
                                                 &path, false, 0, 0, true);
                ok = walk.node == chain[i].first && walk.cost != kNoRoute;
                cost += walk.cost;
            }
            const RouteGraphNode& n = *nodes_[chain[i].first];
            path.Add(n.x, n.y);
        }
        if (!ok || cost >= UINT32_MAX)
            continue;
        if (!goal_.isNode) {
            path.AppendReversed(goal_.walk[j]);
            path.Add(q.toX, q.toY);
        }
        if (cost != 0 && (best == 0 || cost < best)) {
            best = uint32_t(cost);
            bestList = std::move(path);
        }
    }
    if (best != 0)
        list.Append(bestList);
    return best;
}

uint32_t RoutePlanner::FindRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY,
                                 WaypointList* list, RouteCostCallback costCallback, void* context) {
    WorldMap& map = GetWorldMap();
    const bool changed = mode_ == kRouteModeRoad ? map.RoadNetworkChanged() : map.TrackNetworkChanged();
    if (changed || !built_)
        BuildGraph(true);
    if (!map.InMap(fromX, fromY) || !map.InMap(toX, toY))
        return kNoRoute;
    const Query q{fromX, fromY, toX, toY, costCallback, context, list != nullptr};
    WaypointList lists[3];
    const uint32_t costs[3] = {DirectWalk(q, lists[0]), SharedNeighbour(q, lists[1]),
                               GraphSearch(q, lists[2])};
    uint32_t best = 0;
    size_t winner = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (costs[i] != 0 && (best == 0 || costs[i] < best)) {
            best = costs[i];
            winner = i;
        }
    }
    if (best != 0 && list) {
        WaypointList& route = lists[winner];
        route.Reverse();
        route.ClearDirections();
        list->Append(route);
        list->ComputeDirections();
    }
    return best;
}

RoutePlanners& WorldRoutePlanners(World& world) {
    return world.Attached<RoutePlanners>();
}

void CreateRoutePlanners() {
    RoutePlanners& planners = WorldRoutePlanners();
    planners.planner[0] = std::make_unique<RoutePlanner>(kRouteModeRoad);
    planners.planner[1] = std::make_unique<RoutePlanner>(kRouteModeTrack);
}

void DeleteRoutePlanners() {
    RoutePlanners& planners = WorldRoutePlanners();
    planners.planner[0].reset();
    planners.planner[1].reset();
}

RoutePlanner* GetRoutePlanner(uint32_t mode) {
    return mode <= kRouteModeTrack ? WorldRoutePlanners().planner[mode].get() : nullptr;
}

RoutePlanner& EnsureRoutePlanner(uint32_t mode) {
    RoutePlanners& planners = WorldRoutePlanners();
    if (!planners.planner[0] || !planners.planner[1])
        CreateRoutePlanners();
    return *planners.planner[mode <= kRouteModeTrack ? mode : kRouteModeRoad];
}

void SetRoutePlanner(uint32_t mode, std::unique_ptr<RoutePlanner> planner) {
    if (mode <= kRouteModeTrack)
        WorldRoutePlanners().planner[mode] = std::move(planner);
}

void RebuildRoutePlannerGraph(uint32_t mode) {
    if (RoutePlanner* planner = GetRoutePlanner(mode))
        planner->BuildGraph(true);
}
