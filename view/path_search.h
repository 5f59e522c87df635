// A time-sliced tile search for the landscape extras' travellers, over the
// transport layer's path search: four neighbours, a fixed number of tiles
// expanded per slice (so that it gives the same way on every machine), the
// walkable test and the turn cost given by the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class Pathfinder;

class PathSearch {
public:
    static constexpr int32_t kIdle = -5;
    static constexpr int32_t kFound = 3;

    // Whether a tile may be walked on.
    using WalkableFn = bool (*)(int32_t x, int32_t y, void* context);
    // The cost of a step that keeps (or changes) the direction of the last.
    using TurnCostFn = uint32_t (*)(bool turning, void* context);

    PathSearch(WalkableFn walkable, TurnCostFn turnCost, void* context);
    ~PathSearch();
    PathSearch(const PathSearch&) = delete;
    PathSearch& operator=(const PathSearch&) = delete;

    // Starts a search inside (0, 0)..(width - 1, height - 1); false when it
    // cannot start (the search is then idle).
    bool Start(int32_t startX, int32_t startY, int32_t goalX, int32_t goalY, int32_t width, int32_t height);
    // One slice; the state: below 0 failed or idle, 0 or 1 searching,
    // kFound done.
    int32_t Step();
    int32_t State() const;
    void Stop();
    // The way found, from the goal to the start.
    std::vector<std::pair<int32_t, int32_t>> Path() const;

private:
    std::unique_ptr<Pathfinder> search_;
    WalkableFn walkable_;
    TurnCostFn turnCost_;
    void* context_;
};
