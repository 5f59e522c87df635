// Tile grids for the pathfinder's tests and benchmarks: blocked tiles and
// per-tile weights, seeded random fills and mazes, and the callbacks that
// search them with the game's turn costs.
#pragma once

#include "transport/path_costs.h"
#include "transport/pathfinder.h"

#include <cstdint>
#include <random>
#include <vector>

struct TestGrid {
    int32_t w = 0;
    int32_t h = 0;
    std::vector<uint8_t> blocked;
    // Added to the turn cost of every step onto the tile; none when empty.
    std::vector<uint8_t> weight;
    // Makes the step cost answer this for every step when non-zero.
    uint32_t fixedCost = 0;
    bool zeroCost = false;

    TestGrid(int32_t width, int32_t height)
        : w(width), h(height), blocked(size_t(width) * size_t(height), 0) {}
    size_t Index(int32_t x, int32_t y) const { return size_t(y) * size_t(w) + size_t(x); }
    bool Blocked(int32_t x, int32_t y) const { return blocked[Index(x, y)] != 0; }
    void Block(int32_t x, int32_t y, bool on = true) { blocked[Index(x, y)] = on ? 1 : 0; }
    PathRect Rect() const { return PathRect{0, 0, w - 1, h - 1}; }

    // Blocks about percent of the tiles, never the two given ones.
    void FillRandom(uint32_t seed, uint32_t percent, PathPoint keepA, PathPoint keepB) {
        std::mt19937 random(seed);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x)
                Block(x, y, random() % 100 < percent);
        }
        Block(keepA.x, keepA.y, false);
        Block(keepB.x, keepB.y, false);
    }

    // A maze of one-tile corridors on the odd tiles (a depth-first carve),
    // with a few extra openings so that it has loops.
    void FillMaze(uint32_t seed) {
        std::mt19937 random(seed);
        std::fill(blocked.begin(), blocked.end(), uint8_t(1));
        const int32_t cw = (w - 1) / 2;
        const int32_t ch = (h - 1) / 2;
        std::vector<uint8_t> seen(size_t(cw) * size_t(ch), 0);
        std::vector<std::pair<int32_t, int32_t>> stack{{0, 0}};
        seen[0] = 1;
        Block(1, 1, false);
        static constexpr int32_t kDx[] = {0, 1, 0, -1};
        static constexpr int32_t kDy[] = {-1, 0, 1, 0};
        while (!stack.empty()) {
            const auto [cx, cy] = stack.back();
            int32_t options[4];
            int32_t count = 0;
            for (int32_t d = 0; d < 4; ++d) {
                const int32_t nx = cx + kDx[d];
                const int32_t ny = cy + kDy[d];
                if (nx >= 0 && ny >= 0 && nx < cw && ny < ch && !seen[size_t(ny) * size_t(cw) + size_t(nx)])
                    options[count++] = d;
            }
            if (count == 0) {
                stack.pop_back();
                continue;
            }
            const int32_t d = options[random() % uint32_t(count)];
            const int32_t nx = cx + kDx[d];
            const int32_t ny = cy + kDy[d];
            seen[size_t(ny) * size_t(cw) + size_t(nx)] = 1;
            Block(2 * cx + 1 + kDx[d], 2 * cy + 1 + kDy[d], false);
            Block(2 * nx + 1, 2 * ny + 1, false);
            stack.emplace_back(nx, ny);
        }
        for (int32_t i = 0; i < w * h / 50; ++i)
            Block(1 + int32_t(random() % uint32_t(w - 2)), 1 + int32_t(random() % uint32_t(h - 2)), false);
    }
};

inline bool GridStepCheck(const PathStep& to, const PathStep*, void* context) {
    const auto& grid = *static_cast<const TestGrid*>(context);
    return !grid.Blocked(to.x, to.y);
}

inline uint32_t GridStepCost(const PathStep& to, const PathStep& from, void* context) {
    const auto& grid = *static_cast<const TestGrid*>(context);
    if (grid.zeroCost)
        return 0;
    if (grid.fixedCost)
        return grid.fixedCost;
    const uint32_t turn = TurnStepCost(to, from, nullptr);
    return grid.weight.empty() ? turn : turn + grid.weight[grid.Index(to.x, to.y)];
}

inline void AttachGrid(Pathfinder& finder, TestGrid& grid) {
    finder.SetStepCheck(GridStepCheck).SetStepCost(GridStepCost).SetHeuristic(ManhattanDistance);
    finder.SetContext(&grid);
}
