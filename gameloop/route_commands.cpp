#include "gameloop/route_commands.h"

void GameCommand34::Execute(Game&) {
    RefuseUnavailable("route records");
}

void TrackRouteCommand::Execute(Game&) {
    RefuseUnavailable("routes");
}

void BuildRouteCommand::Execute(Game&) {
    RefuseUnavailable("routes");
}

void GameCommand31::Execute(Game&) {
    RefuseUnavailable("routes");
}

void BuildSpecialTrackCommand::Execute(Game&) {
    RefuseUnavailable("special tracks");
}

void SignalCommand::Execute(Game&) {
    RefuseUnavailable("signals");
}

void RemoveSignalCommand::Execute(Game&) {
    RefuseUnavailable("signals");
}

void GameCommand37::Execute(Game&) {
    RefuseUnavailable("sprite cells");
}
