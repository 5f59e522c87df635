// The step costs and estimates shared by the searches over tiles, and the
// configurations of the pathfinder instances the game keeps.
#pragma once

#include "transport/pathfinder.h"

#include <cstdint>
#include <memory>

// A route cost of this or more marks a step as impossible.
inline constexpr uint32_t kRouteCostImpossible = 50001;

// Adds two tile costs, saturating at kRouteCostImpossible: a forbidden
// step stays forbidden however the costs of a chain are combined.
uint32_t AddRouteCosts(uint32_t a, uint32_t b);

// 1 for the first move and for a move that keeps the previous direction,
// 2 for a turn.
uint32_t TurnStepCost(const PathStep& to, const PathStep& from, void* context);
// |dx| + |dy| to the goal.
uint32_t ManhattanDistance(const PathStep& tile, PathPoint goal, void* context);

// Water routes: eight neighbours, each search run to its end in one call.
void ConfigureWaterPathfinder(Pathfinder& finder);
// The construction planner: four neighbours, a time budget of 10 ms a call.
void ConfigureConstructionPathfinder(Pathfinder& finder);
// Moving objects of the presentation: 128 expansions a call.
void ConfigurePresentationPathfinder(Pathfinder& finder);

// The instances the game keeps for its lifetime. Each owns its store
// (about 5 MiB); the step check and context are set by the user.
struct PathfinderInstances {
    PathfinderInstances();
    Pathfinder water;
    Pathfinder construction;
    Pathfinder presentation[2];
};
