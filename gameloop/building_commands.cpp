#include "gameloop/building_commands.h"

void BuildFactoryCommand::Execute(Game&) {
    RefuseUnavailable("factories");
}

void GameCommand20::Execute(Game&) {
    RefuseUnavailable("buildings");
}

void BuildStorageHallCommand::Execute(Game&) {
    RefuseUnavailable("storage halls");
}

void GameCommand22::Execute(Game&) {
    RefuseUnavailable("water towers");
}

void DemolishWaterTowerCommand::Execute(Game&) {
    RefuseUnavailable("water towers");
}

void GameCommand33::Execute(Game&) {
    RefuseUnavailable("storage halls");
}

void BuildHeadquarterCommand::Execute(Game&) {
    RefuseUnavailable("headquarters");
}

void UpdateStationCommand::Execute(Game&) {
    RefuseUnavailable("headquarters");
}

void GameCommand42::Execute(Game&) {
    RefuseUnavailable("decorations");
}

void GameCommand43::Execute(Game&) {
    RefuseUnavailable("decorations");
}
