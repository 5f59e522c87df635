#include "transport/signal_commands.h"

#include "data/generated/route_tables.h"
#include "gameloop/game_log.h"
#include "gameloop/route_commands.h"
#include "transport/signals.h"
#include "transport/special_track.h"
#include "transport/station_construction.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/world_map.h"

#include <algorithm>

namespace {

constexpr uint32_t kSignalDetail = 1;

uint8_t CurrentStyle() {
    return YearAtLeast1950() ? 1 : 0;
}

// A track-only route cell whose pieces belong to the player.
bool PlayersTrackCell(uint32_t x, uint32_t y, int32_t player) {
    const WorldMap& map = GetWorldMap();
    if (map.GetCellKind(x, y) != kCellRoute || map.HasRoad(x, y) || !map.HasTrack(x, y))
        return false;
    for (uint32_t d = 0; d < 4; ++d) {
        const uint32_t mask = 1u << d;
        if (!(map.GetTrackDirections(x, y) & mask))
            continue;
        const int32_t owner = map.GetEdgeHeight(x, y, mask, true);
        if (owner >= 0 && owner != player)
            return false;
    }
    return true;
}

void ExecuteSignal(const SignalCommand& command) {
    WorldMap& map = GetWorldMap();
    if (!map.InMap(command.x, command.y)) {
        GameLog("%s: (%u, %u) is off the map", command.Name(), command.x, command.y);
        return;
    }
    const int32_t kind = int32_t(command.kind);
    Signal* signal = GetSignal(map.GetRouteSignal(command.x, command.y));
    if (command.preview) {
        if (CanPlaceSignal(command.x, command.y, kind)) {
            if (signal) {
                signal->style = CurrentStyle();
                signal->kind = kind;
            } else {
                signal = CreateSignal(command.x, command.y, kind);
            }
            signal->preview = 1;
        }
        ConstructionChanged() = true;
        return;
    }
    // A commit needs the signal it commits.
    if (!signal)
        return;
    signal->Commit();
    // Booked for the issuer on every machine, so that their money agrees.
    if (Player* player = GetPlayer(command.GetPlayerId()))
        player->Pay(-GetSignalPrice(0), kAccountConstruction, kSignalDetail);
    ConstructionChanged() = true;
}

void ExecuteRemoveSignal(const RemoveSignalCommand& command) {
    WorldMap& map = GetWorldMap();
    if (!map.InMap(command.x, command.y))
        return;
    Signal* signal = GetSignal(map.GetRouteSignal(command.x, command.y));
    if (!signal)
        return;
    if (!signal->preview) {
        // A committed signal is paid for and taken away.
        if (Player* player = GetPlayer(command.GetPlayerId()))
            player->Pay(-GetSignalDemolitionCost(0), kAccountDemolition, kSignalDetail);
        DeleteSignal(signal->id);
    } else if (signal->kind == signal->committedKind && signal->style == signal->committedStyle) {
        DeleteSignal(signal->id);
    } else {
        signal->kind = signal->committedKind;
        signal->style = signal->committedStyle;
        signal->preview = 0;
    }
    ConstructionChanged() = true;
}

void ExecuteSpecialTrack(const BuildSpecialTrackCommand& command) {
    const int32_t player = command.GetPlayerId();
    const int32_t routeType = int32_t(std::min<uint32_t>(command.routeType, 0x7FFFFF));
    if (command.x > 0xFFFF || command.y > 0xFFFF || !RouteBuilderTable::Find(routeType)) {
        GameLog("%s: no route type %u or (%u, %u) off the map", command.Name(), command.routeType, command.x,
                command.y);
        return;
    }
    const int32_t x = int32_t(command.x), y = int32_t(command.y);
    SpecialTrack* own = FindSpecialTrackPiece(x, y, command.rotation, command.pieceType, player);
    SpecialTrack* any = own ? own : FindSpecialTrackPiece(x, y, command.rotation, command.pieceType);
    if (!any && !CanPlaceSpecialTrack(x, y, command.rotation, command.pieceType, player)) {
        GameLog("%s: piece %u with rotation %u does not fit at (%d, %d)", command.Name(), command.pieceType,
                command.rotation, x, y);
        if (command.mode == 1)
            ConstructionChanged() = true;
        return;
    }
    if (command.mode == 1) {
        if (own)
            return;
        SpecialTrack* piece = any;
        if (piece)
            piece->SetRouteType(uint32_t(routeType));
        else
            piece =
                CreateSpecialTrack(x, y, command.rotation, command.pieceType, uint32_t(routeType), player);
        if (!piece)
            return;
        piece->SetCount(true);
        piece->SetPositionFlag(true);
        ConstructionChanged() = true;
        return;
    }
    Player* payer = GetPlayer(uint32_t(player));
    int64_t cost = GetSpecialTrackConstructionCost(command.pieceType, routeType);
    if (!payer)
        return;
    SpecialTrack* piece = any;
    if (!piece) {
        piece = CreateSpecialTrack(x, y, command.rotation, command.pieceType, uint32_t(routeType), player);
        if (!piece)
            return;
        piece->SetCount(false);
    } else {
        // Replacing a piece charges the difference to what it carried.
        const int64_t before = GetSpecialTrackConstructionCost(command.pieceType, piece->GetRouteType());
        if (before <= cost)
            cost -= before;
        piece->SetCount(true);
        piece->SetRouteType(uint32_t(routeType));
    }
    piece->SetPositionFlag(command.mode != 0);
    if (piece->IsSwitch())
        GetWorldMap().MarkTrackNetworkChanged();
    payer->Pay(-cost, kAccountConstruction, uint32_t(routeType));
    ConstructionChanged() = true;
}

} // namespace

bool CanPlaceSignal(uint32_t x, uint32_t y, int32_t kind) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return false;
    const Signal* signal = GetSignal(map.GetRouteSignal(x, y));
    if (signal && (signal->preview || (signal->kind == kind && signal->style == CurrentStyle())))
        return false;
    if (map.GetCellKind(x, y) == kCellFootprint)
        return signal && kind == 0;
    return map.HasTrack(x, y) && !map.HasRoad(x, y);
}

bool CanPlaceSpecialTrack(int32_t x, int32_t y, uint8_t rotation, uint8_t type, int32_t player) {
    uint32_t w = 0, h = 0;
    const WorldMap& map = GetWorldMap();
    if (!SpecialTrackFootprint(type, rotation, w, h) || x < 0 || y < 0 ||
        !map.InMap(uint32_t(x) + w - 1, uint32_t(y) + h - 1))
        return false;
    const SpecialTracksRow* row = SpecialTracksTable::Find(type);
    for (uint32_t ly = 0; ly < h; ++ly) {
        for (uint32_t lx = 0; lx < w; ++lx) {
            const uint32_t tx = uint32_t(x) + lx, ty = uint32_t(y) + ly;
            const int32_t code = SpecialTrackAreaCode(int32_t(lx), int32_t(ly), type, rotation);
            if (code != 1 && code != 2)
                continue;
            if (map.IsWater(tx, ty) || map.TouchesTunnelEntrance(tx, ty) ||
                map.GetLayer1Object(tx, ty) != 0 || map.GetLayer2Object(tx, ty) != 0)
                return false;
            if (map.IsAreaBuildable(tx, ty, 1, 1, 4))
                continue;
            if (!PlayersTrackCell(tx, ty, player))
                return false;
            if (code == 2 && !row->IsSwitch)
                return false;
            // Rails keep the directions of the track they are laid on.
            if (code == 1 && map.GetTrackDirections(tx, ty) !=
                                 SpecialTrackDirections(int32_t(lx), int32_t(ly), type, rotation))
                return false;
        }
    }
    return true;
}

void InstallSignalCommands() {
    RouteCommandHandlers& handlers = GetRouteCommandHandlers();
    handlers.signal = ExecuteSignal;
    handlers.removeSignal = ExecuteRemoveSignal;
    handlers.specialTrack = ExecuteSpecialTrack;
}
