#include "gameloop/station_commands.h"

namespace {

StationCommandHandlers gHandlers;

} // namespace

void SetStationCommandHandlers(const StationCommandHandlers& handlers) {
    gHandlers = handlers;
}

void BuildStationCommand::Execute(Game&) {
    if (gHandlers.build)
        gHandlers.build(*this);
    else
        RefuseUnavailable("stations");
}

void DemolishStationCommand::Execute(Game&) {
    if (gHandlers.demolish)
        gHandlers.demolish(*this);
    else
        RefuseUnavailable("stations");
}

void BuildStationExtentionCommand::Execute(Game&) {
    if (gHandlers.extend)
        gHandlers.extend(*this);
    else
        RefuseUnavailable("stations");
}
