#include "view/path_search.h"

#include "transport/pathfinder.h"

#include <cstdlib>

namespace {

struct Callbacks {
    PathSearch::WalkableFn walkable;
    PathSearch::TurnCostFn turnCost;
    void* context;
};

} // namespace

PathSearch::PathSearch(WalkableFn walkable, TurnCostFn turnCost, void* context)
    : search_(std::make_unique<Pathfinder>()), walkable_(walkable), turnCost_(turnCost), context_(context) {
    search_->SetStepCheck([](const PathStep& to, const PathStep*, void* c) {
        const PathSearch* self = static_cast<const PathSearch*>(c);
        return self->walkable_(to.x, to.y, self->context_);
    });
    search_->SetStepCost([](const PathStep& to, const PathStep& from, void* c) {
        const PathSearch* self = static_cast<const PathSearch*>(c);
        return self->turnCost_(from.back != 0 && to.back != from.back, self->context_);
    });
    search_->SetHeuristic([](const PathStep& tile, PathPoint goal, void*) {
        return uint32_t(std::abs(int32_t(tile.x) - goal.x) + std::abs(int32_t(tile.y) - goal.y));
    });
    search_->SetFlags(Pathfinder::kOptionNodeLimit);
    search_->SetNodesPerCall(128);
    search_->SetContext(this);
}

PathSearch::~PathSearch() = default;

bool PathSearch::Start(int32_t startX, int32_t startY, int32_t goalX, int32_t goalY, int32_t width,
                       int32_t height) {
    if (width <= 0 || height <= 0 ||
        search_->Setup({startX, startY}, {goalX, goalY}, {0, 0, width - 1, height - 1}, 4) !=
            Pathfinder::kReady) {
        Stop();
        return false;
    }
    return true;
}

int32_t PathSearch::Step() {
    const int32_t state = search_->GetState();
    if (state == Pathfinder::kReady || state == Pathfinder::kSearching)
        return search_->Search(false);
    return state;
}

int32_t PathSearch::State() const {
    return search_->GetState();
}

void PathSearch::Stop() {
    search_->SetState(Pathfinder::kIdle);
    search_->ClearPath();
}

std::vector<std::pair<int32_t, int32_t>> PathSearch::Path() const {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const PathStep& step : search_->GetPath())
        out.emplace_back(step.x, step.y);
    return out;
}
