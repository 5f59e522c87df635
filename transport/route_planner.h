// The vehicles' route search over the road and track that already exist:
// each mode's network reduced to a graph of nodes (junctions, station
// connections) joined by the unbranched stretches between them, and a query
// answered by the cheapest of a direct walk, a route through one shared
// neighbour node and a full graph search (A* for road; for track a
// cheapest-first search over (node, arrival side) that obeys the turn
// rules). A mode's graph is rebuilt by the first query after the tile map
// marked that network changed.
#pragma once

#include "transport/waypoint_list.h"
#include "world/world.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The two modes with a graph.
inline constexpr uint32_t kRouteModeRoad = 0;
inline constexpr uint32_t kRouteModeTrack = 1;

// Node ids live in the 16-bit node field of route cells, 0 meaning none;
// a graph never holds more nodes than the field can name.
inline constexpr uint32_t kMaxRouteNodes = 65535;

// A step cost of this or more forbids the step (the same value as the
// tile searches' kRouteCostImpossible, whose header cannot sit beside the
// world's direction table).
inline constexpr uint32_t kRouteStepForbidden = 50001;

// A step cost for a tile entered through fromMask and left through toMask;
// kRouteStepForbidden or more forbids the step.
using RouteCostCallback = uint32_t (*)(uint32_t x, uint32_t y, uint32_t fromMask, uint32_t toMask,
                                       void* context, uint32_t mode);

struct RouteGraphNode {
    uint32_t x = 65535;
    uint32_t y = 65535;
    // Per direction 0-3: the node reached along that way (0 none), the
    // stretch's length and the direction of travel on arrival (255 none).
    uint32_t neighbour[4] = {0, 0, 0, 0};
    uint32_t length[4] = {0, 0, 0, 0};
    uint8_t arrival[4] = {255, 255, 255, 255};
    // Track: bit (side * 4 + d) set when a train in by that side may leave
    // in direction d, as of the last build; a switch is asked each time.
    uint16_t turns = 0;
    bool switchTile = false;
};

// Whether a connection mask makes a node. Without split: two directions or
// more. With split, nibble by nibble: one way layer needs three directions,
// two way layers make a node at once.
bool IsRouteNodeMask(uint32_t mask, uint32_t ignored, bool split);

// 0 when a vehicle of the mode may pass the tile entering through fromMask
// and leaving through toMask, else kRouteStepForbidden. Only track has
// rules: a four-way tile and a straight piece entered with a direction are
// passed straight on.
uint32_t RouteStepPenalty(uint32_t x, uint32_t y, uint32_t fromMask, uint32_t toMask, uint32_t mode);

// The next tile from (x, y) in direction 0-3; false when it leaves the map.
bool NextTileAlong(uint32_t x, uint32_t y, uint32_t direction, uint32_t& outX, uint32_t& outY);

// The directions the mode may use on a tile (0 none); whether it may use the
// tile at all. Spans and special tracks are not taken into account here.
uint32_t RouteTileUsable(uint32_t x, uint32_t y, uint32_t mode);
bool RouteTilePassable(uint32_t x, uint32_t y, uint32_t mode);

class RoutePlanner {
public:
    explicit RoutePlanner(uint32_t aMode);
    virtual ~RoutePlanner() = default;

    uint32_t Mode() const { return mode_; }

    // The cheapest route between two tiles: its cost (0 = no route), and,
    // when list is given, the route appended to it from the goal tile back
    // to the start tile with its direction bytes recomputed.
    virtual uint32_t FindRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY, WaypointList* list,
                               RouteCostCallback costCallback, void* context);

    // Rebuilds the graph of the planner's mode from the map; node ids still
    // valid keep their numbers.
    void BuildGraph(bool split = true);
    // A new node id, 0 when the graph holds kMaxRouteNodes already.
    uint32_t AddNode();

    // Directions the caller excludes at one tile for the next query: a
    // track route reaching a goal node at that tile does not arrive from
    // an excluded side (the caller travels the route backwards).
    void SetExcludedDirections(uint32_t mask, uint32_t x, uint32_t y);

    // Node count, edge count (directed), for tools and tests.
    uint32_t NodeCount() const;
    uint32_t EdgeCount() const;
    const RouteGraphNode* Node(uint32_t id) const {
        return id < nodes_.size() && nodes_[id] ? nodes_[id].get() : nullptr;
    }
    uint32_t NodeSlots() const { return uint32_t(nodes_.size()); }

private:
    // A node's edges as the track search reads them, in one flat array
    // filled by the graph build.
    struct SearchNode {
        uint32_t neighbour[4] = {0, 0, 0, 0};
        uint32_t length[4] = {0, 0, 0, 0};
        uint8_t arrival[4] = {255, 255, 255, 255};
        uint16_t turns = 0;
        bool switchTile = false;
    };
    struct SearchSlot {
        int64_t estimate = -500000;
        uint32_t cost = 0;
        uint32_t parent = 0;
        int8_t via = -1;
        uint8_t parentSlot = 0;
        bool done = false;
    };
    struct SearchRecord {
        uint32_t stamp = 0;
        SearchSlot slot[4];
    };
    // One end of a query: up to two adjacent nodes with the walk to each.
    struct EndAdjacency {
        uint32_t count = 0;
        uint32_t node[2] = {0, 0};
        uint32_t cost[2] = {0, 0};
        uint32_t arrival[2] = {0, 0};
        WaypointList walk[2];
        bool reachable = false;
        bool isNode = false;
    };
    struct WalkResult {
        uint32_t cost = 0;
        uint32_t node = 0;
        uint32_t arrival = 0;
    };
    struct Query {
        uint32_t fromX, fromY, toX, toY;
        RouteCostCallback callback;
        void* context;
        // Whether the caller wants the route's tiles, not only its cost.
        bool wantList;
    };

    // The stretch from a tile in direction d up to the next node; cost 0
    // when it leads nowhere. Tiles where the way turns go into list.
    // chargeStart asks the callback for the starting tile too.
    WalkResult EdgeWalk(uint32_t x, uint32_t y, uint32_t d, RouteCostCallback callback, void* context,
                        WaypointList* list, bool hasOther, uint32_t otherX, uint32_t otherY,
                        bool chargeStart) const;
    // What the callback adds along the stretch from a node in direction d
    // (its tiles between the two nodes); kRouteStepForbidden when a step
    // is forbidden.
    uint32_t EdgeCallbackCost(uint32_t node, uint32_t d, RouteCostCallback callback, void* context) const;
    // EdgeWalk for the graph build, over the tile notes the build keeps.
    WalkResult BuildWalk(uint32_t x, uint32_t y, uint32_t d) const;
    // Whether a station of the mode connects at the tile.
    bool StationConnects(uint32_t x, uint32_t y) const;
    void FindAdjacentNodes(uint32_t x, uint32_t y, const Query& q, uint32_t otherX, uint32_t otherY,
                           EndAdjacency& end) const;
    uint32_t DirectWalk(const Query& q, WaypointList& list) const;
    uint32_t SharedNeighbour(const Query& q, WaypointList& list);
    uint32_t GraphSearch(const Query& q, WaypointList& list);
    void PushOpen(uint64_t key);
    uint64_t PopOpen();
    void SearchRoad(const Query& q);
    void SearchTrack(const Query& q);
    // The node chain from a start node to a goal node, start first, each
    // with the direction its predecessor left by; empty when there is none.
    std::vector<std::pair<uint32_t, uint32_t>> TraceRoad(uint32_t goal) const;
    // The track trace arrives at goal node j in a way that lets the train
    // go on to the goal tile.
    std::vector<std::pair<uint32_t, uint32_t>> TraceTrack(uint32_t goal, uint32_t j) const;
    // Whether a track route may end at goal node j arriving by side b.
    bool GoalSlotUsable(uint32_t j, uint32_t b) const;
    // Whether a train walking in by start walk k may leave by goal walk j
    // at their shared node.
    bool TurnAllowedAtShared(uint32_t k, uint32_t j) const;
    uint32_t RoadEstimate(uint32_t node) const;
    void ResetRecords();
    // A node's record slot of the current search.
    SearchSlot& Slot(uint32_t node, uint32_t slot);
    const SearchSlot& Peek(uint32_t node, uint32_t slot) const;
    bool IsStartNode(uint32_t node) const {
        return node != 0 && (node == start_.node[0] || node == start_.node[1]);
    }
    bool IsGoalNode(uint32_t node) const {
        return node != 0 && (node == goal_.node[0] || node == goal_.node[1]);
    }
    void FreeNode(uint32_t id);
    // Takes a given free id (one a loaded map's cells hold).
    bool TakeNodeId(uint32_t id);
    // The node of this planner standing on the tile, 0 none.
    uint32_t NodeAt(uint32_t x, uint32_t y) const;
    bool IsNodeTile(uint32_t x, uint32_t y, bool split) const;

    uint32_t mode_;
    std::vector<std::unique_ptr<RouteGraphNode>> nodes_;
    std::vector<SearchRecord> records_;
    // The open list of a search as a 4-ary min-heap of packed keys, kept
    // between searches so that a query allocates nothing: road (estimate
    // << 16 | node), track (cost << 32 | node << 2 | arrival side); the
    // keys sort as the (estimate, node) and (cost, node, side) tuples.
    std::vector<uint64_t> open_;
    // Copies of the nodes' edges by id as of the last graph build.
    std::vector<SearchNode> graph_;
    // Per tile during a graph build: the usable directions, whether a node
    // stands there, whether track crosses road there.
    std::vector<uint8_t> walkMap_;
    uint32_t searchStamp_ = 0;
    uint32_t excludedMask_ = 0;
    uint32_t excludedX_ = 0;
    uint32_t excludedY_ = 0;
    EndAdjacency start_;
    EndAdjacency goal_;
    // The lowest id that may be free.
    uint32_t freeHint_ = 1;
    // Whether the graph was built since the planner was made.
    bool built_ = false;
};

// The two planners of a world and the hooks the planners ask.
struct RoutePlanners : WorldAttachment {
    std::unique_ptr<RoutePlanner> planner[2];
    // The connection mask at (x, y) of a station serving the mode there, 0
    // none. Empty: the stations that the route search's hooks know.
    std::function<uint32_t(uint32_t x, uint32_t y, uint32_t mode)> stationConnection;
    // Forgets the routes the schedules keep for track; called before the
    // track graph is rebuilt. Empty: nothing is kept.
    std::function<void()> clearCachedTrackRoutes;
};

RoutePlanners& WorldRoutePlanners(World& world = CurrentWorld());
// Both planners anew with empty graphs (a loaded or new game).
void CreateRoutePlanners();
// Both planners gone (the world's reset).
void DeleteRoutePlanners();
// The current world's planner of mode 0 or 1; null for other modes or
// before CreateRoutePlanners.
RoutePlanner* GetRoutePlanner(uint32_t mode);
// The current world's planner of mode 0 or 1, both planners made first
// when the world has none yet.
RoutePlanner& EnsureRoutePlanner(uint32_t mode);
// Replaces the planner of mode 0 or 1 (a probe in tests).
void SetRoutePlanner(uint32_t mode, std::unique_ptr<RoutePlanner> planner);
// Rebuilds the graph of mode 0 or 1; other modes do nothing.
void RebuildRoutePlannerGraph(uint32_t mode);
