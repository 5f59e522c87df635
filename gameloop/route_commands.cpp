#include "gameloop/route_commands.h"

#include "gameloop/game_log.h"
#include "world/world_map.h"

namespace {

RouteCommandHandlers gHandlers;

} // namespace

void SetRouteCommandHandlers(const RouteCommandHandlers& handlers) {
    gHandlers = handlers;
}

RouteCommandHandlers& GetRouteCommandHandlers() {
    return gHandlers;
}

void GameCommand34::Execute(Game&) {
    // The tile map keeps no cache of route records that removals could
    // leave stale: there is nothing to rebuild.
}

void TrackRouteCommand::Execute(Game&) {
    if (gHandlers.trackRoute)
        gHandlers.trackRoute(*this);
    else
        RefuseUnavailable("routes");
}

void BuildRouteCommand::Execute(Game&) {
    if (gHandlers.removeRoute)
        gHandlers.removeRoute(*this);
    else
        RefuseUnavailable("routes");
}

void GameCommand31::Execute(Game&) {
    if (gHandlers.computerRoute)
        gHandlers.computerRoute(*this);
    else
        RefuseUnavailable("routes");
}

void BuildSpecialTrackCommand::Execute(Game&) {
    if (gHandlers.specialTrack)
        gHandlers.specialTrack(*this);
    else
        RefuseUnavailable("special tracks");
}

void SignalCommand::Execute(Game&) {
    if (gHandlers.signal)
        gHandlers.signal(*this);
    else
        RefuseUnavailable("signals");
}

void RemoveSignalCommand::Execute(Game&) {
    if (gHandlers.removeSignal)
        gHandlers.removeSignal(*this);
    else
        RefuseUnavailable("signals");
}

void GameCommand37::Execute(Game&) {
    if (gHandlers.spriteCells) {
        gHandlers.spriteCells(*this);
        return;
    }
    // The cells of a decoration graphic, as construction took them away.
    if (x > 0xFFFF || y > 0xFFFF || !GetWorldMap().PlaceDecoration(x, y, sprite, frame))
        GameLog("GameCommand37: graphic %u frame %u does not fit at (%u, %u)", sprite, frame, x, y);
}
