#include "gameloop/station_commands.h"

void BuildStationCommand::Execute(Game&) {
    RefuseUnavailable("stations");
}

void DemolishStationCommand::Execute(Game&) {
    RefuseUnavailable("stations");
}

void BuildStationExtentionCommand::Execute(Game&) {
    RefuseUnavailable("stations");
}
