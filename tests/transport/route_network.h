// Road and track networks laid on the current world's map for the route
// graph's tests and benchmarks: straight runs between points, seeded
// lattices with random gaps, and plain breadth-first searches over the
// tiles that give the reference cost of a route.
#pragma once

#include "transport/route_planner.h"
#include "world/world.h"
#include "world/world_map.h"

#include <cstdint>
#include <deque>
#include <random>
#include <utility>
#include <vector>

class RouteNetwork {
public:
    RouteNetwork() : width_(GetWorldMap().GetWidth()), height_(GetWorldMap().GetHeight()) {
        masks_[0].assign(size_t(width_) * height_, 0);
        masks_[1].assign(size_t(width_) * height_, 0);
    }

    // A straight run from (x0, y0) to (x1, y1) on one row or column.
    void Run(uint32_t mode, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
        while (x0 != x1 || y0 != y1) {
            const uint32_t d = x1 > x0 ? 1 : x1 < x0 ? 3 : y1 > y0 ? 2 : 0;
            const uint32_t nx = x0 + uint32_t(kDirections[d].dx), ny = y0 + uint32_t(kDirections[d].dy);
            Mask(mode, x0, y0) |= DirectionMask(d);
            Mask(mode, nx, ny) |= OppositeDirectionMask(d);
            x0 = nx;
            y0 = ny;
        }
    }
    // Runs through a list of corner points.
    void Path(uint32_t mode, std::initializer_list<std::pair<uint32_t, uint32_t>> points) {
        const std::pair<uint32_t, uint32_t>* previous = nullptr;
        for (const auto& p : points) {
            if (previous)
                Run(mode, previous->first, previous->second, p.first, p.second);
            previous = &p;
        }
    }

    // A lattice of points every spacing tiles from (1, 1); each link to the
    // right and downwards is laid with the given percentage.
    void Lattice(uint32_t mode, uint32_t seed, uint32_t spacing, uint32_t percent) {
        std::mt19937 random(seed);
        for (uint32_t y = 1; y < height_ - 1; y += spacing) {
            for (uint32_t x = 1; x < width_ - 1; x += spacing) {
                if (x + spacing < width_ - 1 && random() % 100 < percent)
                    Run(mode, x, y, x + spacing, y);
                if (y + spacing < height_ - 1 && random() % 100 < percent)
                    Run(mode, x, y, x, y + spacing);
            }
        }
    }

    uint8_t& Mask(uint32_t mode, uint32_t x, uint32_t y) { return masks_[mode][size_t(y) * width_ + x]; }

    // Writes every laid tile into the map and marks both networks changed.
    void Apply() {
        WorldMap& map = GetWorldMap();
        for (uint32_t y = 0; y < height_; ++y) {
            for (uint32_t x = 0; x < width_; ++x) {
                const uint32_t road = masks_[0][size_t(y) * width_ + x];
                const uint32_t track = masks_[1][size_t(y) * width_ + x];
                if (!road && !track)
                    continue;
                const uint32_t sub = road && track ? 3 : road ? 2 : 1;
                if (map.GetCellKind(x, y) != kCellRoute || map.GetRouteSubKind(x, y) != sub)
                    map.SetRouteKind(x, y, sub);
                if (road)
                    map.SetRoadDirections(x, y, road);
                if (track)
                    map.SetTrackDirections(x, y, track);
            }
        }
        map.MarkRoadNetworkChanged();
        map.MarkTrackNetworkChanged();
    }

    // Tiles of the mode with three directions or more.
    std::vector<std::pair<uint32_t, uint32_t>> Junctions(uint32_t mode) const {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (uint32_t y = 0; y < height_; ++y)
            for (uint32_t x = 0; x < width_; ++x)
                if (std::popcount(uint32_t(masks_[mode][size_t(y) * width_ + x])) >= 3)
                    out.emplace_back(x, y);
        return out;
    }

private:
    uint32_t width_, height_;
    std::vector<uint8_t> masks_[2];
};

// The fewest steps from one tile to another over the map's ways of the
// mode (track obeying the turn rules at every tile, never reversing); 0
// when the goal cannot be reached or is the start.
inline uint32_t ReferenceRouteSteps(uint32_t mode, uint32_t fromX, uint32_t fromY, uint32_t toX,
                                    uint32_t toY) {
    const WorldMap& map = GetWorldMap();
    const uint32_t w = map.GetWidth();
    // State: tile and the direction of travel on arrival (4 = the start).
    std::vector<uint32_t> dist(size_t(w) * map.GetHeight() * 5, UINT32_MAX);
    std::deque<std::pair<uint32_t, uint32_t>> open;
    const auto index = [&](uint32_t x, uint32_t y, uint32_t d) { return (size_t(y) * w + x) * 5 + d; };
    dist[index(fromX, fromY, 4)] = 0;
    open.emplace_back(fromY * w + fromX, 4);
    while (!open.empty()) {
        const auto [tile, cd] = open.front();
        open.pop_front();
        const uint32_t x = tile % w, y = tile / w;
        const uint32_t steps = dist[index(x, y, cd)];
        if (x == toX && y == toY && cd != 4)
            return steps;
        const uint32_t mask = RouteTileUsable(x, y, mode);
        for (uint32_t d = 0; d < 4; ++d) {
            if (!(mask & DirectionMask(d)))
                continue;
            if (cd != 4) {
                if (d == kDirections[cd].opposite)
                    continue;
                if (RouteStepPenalty(x, y, DirectionMask(cd), DirectionMask(d), mode) >= kRouteStepForbidden)
                    continue;
            }
            uint32_t nx = 0, ny = 0;
            if (!NextTileAlong(x, y, d, nx, ny) ||
                !(RouteTileUsable(nx, ny, mode) & OppositeDirectionMask(d)))
                continue;
            uint32_t& nd = dist[index(nx, ny, d)];
            if (nd != UINT32_MAX)
                continue;
            nd = steps + 1;
            open.emplace_back(ny * w + nx, d);
        }
    }
    return 0;
}
