#include "gameloop/station_upgrade_commands.h"

void StationUpgradeCommand::Execute(Game&) {
    RefuseUnavailable("stations");
}

void StationRestyleCommand::Execute(Game&) {
    RefuseUnavailable("stations");
}
