#include "transport/route_command_handlers.h"

#include "data/generated/route_tables.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/route_commands.h"
#include "transport/build_route_planner.h"
#include "transport/route_construction.h"
#include "transport/route_demolition.h"
#include "transport/signal_commands.h"
#include "transport/signals.h"
#include "transport/station_construction.h"
#include "world/bridge_span.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <bit>
#include <vector>

namespace {

// The player of a command, or null (logged) for a slot without a company.
Player* IssuingPlayer(const GameCommand& command) {
    Player* player = command.GetPlayerId() < kCompanySlotCount ? GetPlayer(command.GetPlayerId()) : nullptr;
    if (!player)
        GameLog("%s: player slot %u has no company", command.Name(), unsigned(command.GetPlayerId()));
    return player;
}

bool EndsInMap(const char* name, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const WorldMap& map = GetWorldMap();
    const bool in = x1 >= 0 && y1 >= 0 && x2 >= 0 && y2 >= 0 && map.InMap(uint32_t(x1), uint32_t(y1)) &&
                    map.InMap(uint32_t(x2), uint32_t(y2));
    if (!in)
        GameLog("%s: (%d, %d) to (%d, %d) leaves the map", name, x1, y1, x2, y2);
    return in;
}

// The route type (1 track, 2 road) of a row that lays a way, a bridge or
// a tunnel, else 0 (logged).
uint32_t WayType(const char* name, uint32_t row) {
    const RouteBuilderRow* r = RouteBuilderTable::Find(int32_t(row));
    if (!r || r->IsBridge < 0 || r->IsBridge > 2 || (r->RouteType != 1 && r->RouteType != 2)) {
        GameLog("%s: route builder row %u lays no road or track", name, row);
        return 0;
    }
    return uint32_t(r->RouteType);
}

// Plans to the end (never by the clock, so that every machine builds the
// same) and builds; the cost of what was built.
int64_t PlanAndBuild(uint32_t player, uint32_t flagWord, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     uint32_t row, uint32_t flags, bool& built) {
    SetRoutePlannerPlayer(player);
    SetRoutePlannerFlag(flagWord);
    PlanRouteToCompletion(x1, y1, x2, y2, row, flags);
    const int64_t cost = BuildPlannedRoute(&built);
    SetRoutePlannerFlag(0);
    return cost;
}

void ExecuteTrackRoute(const TrackRouteCommand& command) {
    Player* player = IssuingPlayer(command);
    if (!player || !EndsInMap(command.Name(), command.startX, command.startY, command.endX, command.endY) ||
        WayType(command.Name(), command.routeType) == 0)
        return;
    bool built = false;
    const int64_t cost =
        PlanAndBuild(command.GetPlayerId(), command.mode == 1 ? 1 : 0, command.startX, command.startY,
                     command.endX, command.endY, command.routeType, 0, built);
    ConstructionChanged() = true;
    if (!built) {
        GameLog("%s: no way can be laid from (%d, %d) to (%d, %d)", command.Name(), command.startX,
                command.startY, command.endX, command.endY);
        return;
    }
    // Only what was laid is paid for.
    if (command.mode == 0)
        player->Pay(-(command.price != 0 ? int64_t(command.price) : cost), kAccountConstruction,
                    command.routeType);
}

void ExecuteRemoveRoute(const BuildRouteCommand& command) {
    Player* player = IssuingPlayer(command);
    if (!player || !EndsInMap(command.Name(), command.startX, command.startY, command.endX, command.endY))
        return;
    const RouteBuilderRow* row = RouteBuilderTable::Find(int32_t(command.routeType));
    if (!row || (row->RouteType != 1 && row->RouteType != 2)) {
        GameLog("%s: route builder row %u is no road or track", command.Name(), unsigned(command.routeType));
        return;
    }
    const uint32_t mode = uint32_t(row->RouteType);
    const uint32_t slot = command.GetPlayerId();
    ConstructionChanged() = true;
    if (command.plannerFlag == 1) {
        RevertRouteLine(command.startX, command.startY, command.endX, command.endY, mode, slot);
        return;
    }
    const int64_t price =
        DemolishRouteRect(command.startX, command.startY, command.endX, command.endY, mode, slot, true);
    if (price == 0 || !player->CanAfford(price))
        return;
    const int64_t cost =
        DemolishRouteRect(command.startX, command.startY, command.endX, command.endY, mode, slot, false);
    if (cost != 0)
        player->Pay(-cost, kAccountDemolition, command.routeType);
}

void ExecuteComputerRoute(const GameCommand31& command) {
    Player* player = IssuingPlayer(command);
    if (!player || !EndsInMap(command.Name(), command.startX, command.startY, command.endX, command.endY) ||
        WayType(command.Name(), command.routeType) == 0)
        return;
    bool built = false;
    const int64_t cost = PlanAndBuild(command.GetPlayerId(), 0, command.startX, command.startY, command.endX,
                                      command.endY, command.routeType, command.plannerOption, built);
    if (built && cost != 0)
        player->Pay(-cost, kAccountConstruction, command.routeType);
}

} // namespace

void InstallRouteCommands(Game& game) {
    RouteCommandHandlers& handlers = GetRouteCommandHandlers();
    handlers.trackRoute = ExecuteTrackRoute;
    handlers.removeRoute = ExecuteRemoveRoute;
    handlers.computerRoute = ExecuteComputerRoute;
    game.SetSectionSerializer(SaveSection::RoutePlanner, [] { return SerializeRoutePlannerState(); });
}

namespace {

// Calls visit(x, y, mask) for every road or track tile with the
// directions of it that the company owns.
template <class Visit>
void ForEachOwnedTile(uint32_t company, Visit&& visit) {
    WorldMap& map = GetWorldMap();
    for (uint32_t y = 0; y < map.GetHeight(); ++y) {
        for (uint32_t x = 0; x < map.GetWidth(); ++x) {
            if (map.GetCellKind(x, y) != kCellRoute)
                continue;
            const uint32_t sub = map.GetRouteSubKind(x, y);
            if (sub < 1 || sub > 3)
                continue;
            const uint32_t mask = map.GetEdgeHeightMatchMask(x, y, int32_t(company));
            if (mask != 0)
                visit(map, x, y, mask);
        }
    }
}

} // namespace

uint32_t HandOverRouteDirections(uint32_t from, uint32_t to) {
    uint32_t changed = 0;
    if (from == to || from > kNeutralOwner || to > kNeutralOwner)
        return 0;
    ForEachOwnedTile(from, [&](WorldMap& map, uint32_t x, uint32_t y, uint32_t mask) {
        map.SetEdgeHeights(x, y, int32_t(to), mask);
        changed += uint32_t(std::popcount(mask));
    });
    // Who owns a way decides who may drive on it.
    if (changed != 0) {
        GetWorldMap().MarkTrackNetworkChanged();
        GetWorldMap().MarkRoadNetworkChanged();
    }
    return changed;
}

void ReleaseCompanyRoutes(uint32_t company) {
    if (company >= kNeutralOwner)
        return;
    // Spans first: removing one takes its whole chain, whose other pieces
    // may be on the list too.
    std::vector<MapObject*> spans;
    GetMapObjects(spans, kSelectCategory | kSelectOwner, kCategorySpan, 0, int32_t(company));
    std::vector<ObjectHandle> ids;
    for (MapObject* span : spans)
        ids.push_back(span->GetId());
    for (ObjectHandle id : ids)
        if (BridgeSpan* span = GetBridgeSpan(id))
            RemoveBridgeChain(span, 0);
    // Only the signals on the company's own track go; another company's
    // signals stay where they are.
    ForEachOwnedTile(company, [&](WorldMap& map, uint32_t x, uint32_t y, uint32_t mask) {
        if ((mask & map.GetTrackDirections(x, y)) != 0 && map.GetRouteSignal(x, y) != 0) {
            DeleteSignal(map.GetRouteSignal(x, y));
            map.SetRouteSignal(x, y, 0);
        }
        map.SetEdgeHeights(x, y, int32_t(kNeutralOwner), mask);
    });
    GetWorldMap().MarkTrackNetworkChanged();
    GetWorldMap().MarkRoadNetworkChanged();
}
