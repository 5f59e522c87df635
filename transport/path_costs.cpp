#include "transport/path_costs.h"

#include <algorithm>

uint32_t AddRouteCosts(uint32_t a, uint32_t b) {
    return uint32_t(std::min<uint64_t>(uint64_t(a) + b, kRouteCostImpossible));
}

uint32_t TurnStepCost(const PathStep& to, const PathStep& from, void*) {
    return from.g == 0 || to.back == from.back ? 1 : 2;
}

uint32_t ManhattanDistance(const PathStep& tile, PathPoint goal, void*) {
    const int32_t dx = int32_t(tile.x) - goal.x;
    const int32_t dy = int32_t(tile.y) - goal.y;
    return uint32_t(dx < 0 ? -dx : dx) + uint32_t(dy < 0 ? -dy : dy);
}

void ConfigureWaterPathfinder(Pathfinder& finder) {
    finder.SetStepCost(TurnStepCost).SetHeuristic(ManhattanDistance).SetFlags(0);
}

void ConfigureConstructionPathfinder(Pathfinder& finder) {
    finder.SetFlags(Pathfinder::kOptionTimeBudget);
    finder.SetTimeBudget(10000);
}

void ConfigurePresentationPathfinder(Pathfinder& finder) {
    finder.SetFlags(Pathfinder::kOptionNodeLimit);
    finder.SetNodesPerCall(128);
}

PathfinderInstances::PathfinderInstances() {
    ConfigureWaterPathfinder(water);
    ConfigureConstructionPathfinder(construction);
    for (Pathfinder& finder : presentation)
        ConfigurePresentationPathfinder(finder);
}
