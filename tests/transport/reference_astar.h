// A plain A* over a whole grid, written to check and measure the
// pathfinder: one flat array per field instead of a keyed store, the same
// callbacks, neighbour order, heap tie-breaks and limits, so that both find
// the same path wherever the pathfinder's store has room.
#pragma once

#include "transport/pathfinder.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

class ReferenceAStar {
public:
    struct Result {
        bool found = false;
        uint32_t cost = 0;
        uint64_t expansions = 0;
        // Goal first, start last.
        std::vector<PathPoint> path;
    };

    ReferenceAStar(int32_t width, int32_t height)
        : w_(width), h_(height), g_(Cells()), hh_(Cells()), position_(Cells()), back_(Cells()),
          state_(Cells()), stamp_(Cells(), 0) {
        heap_.reserve(65537);
    }

    Result Run(PathPoint start, PathPoint goal, uint32_t neighbours, Pathfinder::StepCheckFn check,
               Pathfinder::StepCostFn cost, Pathfinder::HeuristicFn heuristic, void* context) {
        Result result;
        ++generation_;
        heap_.assign(1, 0);
        start_ = start;
        goal_ = goal;
        const uint32_t s = Cell(start.x, start.y);
        Visit(s);
        g_[s] = 0;
        hh_[s] = heuristic(Step(s), goal, context);
        back_[s] = 0;
        if (start.x == goal.x && start.y == goal.y) {
            result.found = true;
            result.path.push_back(start);
            return result;
        }
        Push(s);
        while (heap_.size() > 1) {
            const uint32_t c = Pop();
            if (Is(c, goal)) {
                result.found = true;
                result.cost = g_[c];
                for (uint32_t at = c;;) {
                    result.path.push_back(PathPoint{X(at), Y(at)});
                    if (g_[at] == 0)
                        break;
                    at = Toward(at, back_[at]);
                }
                return result;
            }
            ++result.expansions;
            const PathStep from = Step(c);
            uint8_t order[8];
            const uint32_t count = Order(from, neighbours, order);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t dir = order[i];
                if (dir == 0 || (from.g != 0 && dir == from.back))
                    continue;
                int32_t dx = 0;
                int32_t dy = 0;
                OffsetOfDirection(dir, dx, dy);
                const int32_t nx = X(c) + dx;
                const int32_t ny = Y(c) + dy;
                if (nx < 0 || ny < 0 || nx >= w_ || ny >= h_)
                    continue;
                PathStep candidate;
                candidate.x = uint16_t(nx);
                candidate.y = uint16_t(ny);
                candidate.back = ReverseDirection(dir);
                candidate.h = heuristic(candidate, goal, context);
                if (candidate.h > Pathfinder::kImpossible || !check(candidate, &from, context))
                    continue;
                uint32_t stepCost = cost(candidate, from, context);
                stepCost = stepCost == 0 ? 1 : stepCost;
                const uint64_t g = uint64_t(from.g) + stepCost;
                if (stepCost > Pathfinder::kImpossible || g > Pathfinder::kImpossible)
                    continue;
                const uint32_t n = Cell(nx, ny);
                if (stamp_[n] != generation_) {
                    Visit(n);
                    g_[n] = uint32_t(g);
                    hh_[n] = candidate.h;
                    back_[n] = candidate.back;
                    Push(n);
                } else if (g_[n] > g) {
                    g_[n] = uint32_t(g);
                    back_[n] = candidate.back;
                    if (state_[n] == Pathfinder::kStepOpen)
                        SiftUp(position_[n]);
                    else if (state_[n] == Pathfinder::kStepClosed)
                        Push(n);
                }
            }
            state_[c] = Pathfinder::kStepClosed;
        }
        return result;
    }

private:
    size_t Cells() const { return size_t(w_) * size_t(h_); }
    uint32_t Cell(int32_t x, int32_t y) const { return uint32_t(y) * uint32_t(w_) + uint32_t(x); }
    int32_t X(uint32_t c) const { return int32_t(c % uint32_t(w_)); }
    int32_t Y(uint32_t c) const { return int32_t(c / uint32_t(w_)); }
    bool Is(uint32_t c, PathPoint p) const { return X(c) == p.x && Y(c) == p.y; }
    uint32_t F(uint32_t c) const { return g_[c] + hh_[c]; }
    void Visit(uint32_t c) {
        stamp_[c] = generation_;
        state_[c] = Pathfinder::kStepNew;
    }
    uint32_t Toward(uint32_t c, uint8_t dir) const {
        int32_t dx = 0;
        int32_t dy = 0;
        OffsetOfDirection(dir, dx, dy);
        return Cell(X(c) + dx, Y(c) + dy);
    }
    PathStep Step(uint32_t c) const {
        PathStep step;
        step.x = uint16_t(X(c));
        step.y = uint16_t(Y(c));
        step.g = g_[c];
        step.h = hh_[c];
        step.back = back_[c];
        return step;
    }

    static uint8_t Clockwise(uint8_t m) {
        static constexpr uint8_t kNext[16] = {0, 3, 6, 2, 12, 0, 4, 0, 9, 1, 0, 0, 8, 0, 0, 0};
        return kNext[m & 15];
    }
    static uint8_t CounterClockwise(uint8_t m) {
        static constexpr uint8_t kPrevious[16] = {0, 9, 3, 1, 6, 0, 2, 0, 12, 8, 0, 0, 4, 0, 0, 0};
        return kPrevious[m & 15];
    }

    uint32_t Order(const PathStep& from, uint32_t neighbours, uint8_t* order) const {
        if (neighbours == 8) {
            uint8_t d = ReverseDirection(from.back);
            if (from.g == 0)
                d = uint8_t((start_.x > goal_.x   ? 8
                             : start_.x < goal_.x ? 2
                                                  : 0) |
                            (start_.y > goal_.y   ? 1
                             : start_.y < goal_.y ? 4
                                                  : 0));
            order[0] = d;
            order[1] = Clockwise(d);
            order[2] = CounterClockwise(d);
            order[3] = Clockwise(order[1]);
            order[4] = CounterClockwise(order[2]);
            order[5] = CounterClockwise(order[4]);
            order[6] = Clockwise(order[3]);
            order[7] = ReverseDirection(d);
            return 8;
        }
        if (from.g == 0) {
            const uint8_t xDir = start_.x >= goal_.x ? 8 : 2;
            const uint8_t yDir = start_.y >= goal_.y ? 1 : 4;
            const bool alongX = std::abs(start_.x - goal_.x) >= std::abs(start_.y - goal_.y);
            order[0] = alongX ? xDir : yDir;
            order[1] = alongX ? yDir : xDir;
            order[2] = ReverseDirection(order[1]);
            order[3] = ReverseDirection(order[0]);
            return 4;
        }
        const uint8_t straight = ReverseDirection(from.back);
        const uint8_t side =
            (straight == 2 || straight == 8) ? (start_.y >= goal_.y ? 1 : 4) : (start_.x >= goal_.x ? 8 : 2);
        order[0] = straight;
        order[1] = side;
        order[2] = ReverseDirection(side);
        order[3] = from.back;
        return 4;
    }

    void Place(uint32_t position, uint32_t c) {
        heap_[position] = c;
        position_[c] = position;
    }
    void SiftUp(uint32_t position) {
        const uint32_t c = heap_[position];
        while (position > 1 && F(heap_[position / 2]) >= F(c)) {
            Place(position, heap_[position / 2]);
            position /= 2;
        }
        Place(position, c);
    }
    void Push(uint32_t c) {
        state_[c] = Pathfinder::kStepOpen;
        heap_.push_back(c);
        SiftUp(uint32_t(heap_.size()) - 1);
    }
    uint32_t Pop() {
        const uint32_t top = heap_[1];
        const uint32_t last = heap_.back();
        heap_.pop_back();
        const uint32_t count = uint32_t(heap_.size()) - 1;
        if (count > 0) {
            uint32_t position = 1;
            for (;;) {
                uint32_t child = position * 2;
                if (child > count)
                    break;
                if (child + 1 <= count && F(heap_[child]) >= F(heap_[child + 1]))
                    ++child;
                if (F(last) < F(heap_[child]))
                    break;
                Place(position, heap_[child]);
                position = child;
            }
            Place(position, last);
        }
        return top;
    }

    int32_t w_;
    int32_t h_;
    PathPoint start_;
    PathPoint goal_;
    std::vector<uint32_t> g_;
    std::vector<uint32_t> hh_;
    std::vector<uint32_t> position_;
    std::vector<uint8_t> back_;
    std::vector<uint8_t> state_;
    std::vector<uint32_t> stamp_;
    std::vector<uint32_t> heap_;
    uint32_t generation_ = 0;
};
