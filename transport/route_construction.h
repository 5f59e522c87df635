// The route construction queue: building a planned route changes the map
// cells at once and, when the way type has a construction worker in the
// current year, queues one step per tile. The worker completes the queued
// steps at its pace, and only when the last step of a build is done is the
// network marked changed for the route search. Saved in the game's route
// section as "rbl1" (the queues) and "rbl2" (build counter, pending builds).
#pragma once

#include "transport/build_route_planner.h"
#include "world/world.h"

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

struct ConstructionStep {
    uint32_t x = 0;
    uint32_t y = 0;
    // 0 a way piece, 1 and 2 the span in the first or second attachment
    // slot, 3 a special track (by handle).
    uint32_t kind = 0;
    uint32_t handle = 0;
    uint32_t value = 0;
    uint32_t buildId = 0;
    uint32_t spare = 0;
    bool operator==(const ConstructionStep&) const = default;
};

struct ConstructionRowRecord {
    std::deque<std::vector<ConstructionStep>> jobs;
    // The front job's next step.
    uint32_t index = 0;
    uint32_t lastWork = 0;
    // A worker is at work on the front job.
    uint8_t busy = 0;
};

struct PendingBuild {
    uint32_t steps = 0;
    uint8_t trackChanged = 0;
    uint8_t roadChanged = 0;
};

class ConstructionQueue final : public WorldAttachment {
public:
    // Per player, per route builder row.
    std::vector<std::vector<ConstructionRowRecord>> players;
    uint32_t buildCounter = 0;
    std::map<uint32_t, PendingBuild> pending;

    void Clear() {
        players.clear();
        buildCounter = 0;
        pending.clear();
    }
};

// The current world's queue.
ConstructionQueue& GetConstructionQueue();

void AddConstructionStep(uint32_t x, uint32_t y, uint32_t player, uint32_t row, uint32_t kind,
                         uint32_t handle, uint32_t value, bool newJob);
void AdvanceRoutePlannerCounter();
bool IsConstructionPending(uint32_t player, uint32_t row);
// Whether any row of the player with this route type (1 track, 2 road)
// still has a job.
bool RblEntryHasRouteType(uint32_t player, uint32_t routeType);

// The worker of a route builder row in the current year: its type, the
// milliseconds between its rounds (at least 1) and the steps per round.
bool GetConstructionWorker(uint32_t row, uint32_t player, uint32_t& type, uint32_t& interval,
                           uint32_t& fieldsPerBuild);

// Writes the record to its tile: layer rows, direction mask and owners,
// and the construction marks (queued: the worker will complete the piece;
// flagWord 1: a tentative piece, whose former state is kept for a revert).
void WriteTileBack(const TileEditRecord& record, uint32_t routeType, uint32_t wayRow, bool queued,
                   uint32_t flagWord);

// Builds the planned route: the tiles are written at once and, with a
// worker, queued. The cost of what was built; 0 when nothing could be
// (built is then false). Always leaves nothing planned.
int64_t BuildPlannedRoute(bool* built = nullptr);

// The worker's round at game time now (milliseconds).
void StepRouteConstruction(uint32_t now);

// "rbl1" and "rbl2" on the current chunk stream. Loading checks every
// count, coordinate and kind against the chunk and the map, drops bad
// steps with a log line and rebuilds the pending counts from the queue; a
// damaged structure fails with the queue left as it was.
bool SerializeRoutePlannerState();
