// The tiles of a waypoint list in order, for comparing found routes.
#pragma once

#include "transport/waypoint_list.h"

#include <cstdint>
#include <utility>
#include <vector>

inline std::vector<std::pair<uint32_t, uint32_t>> Tiles(const WaypointList& list) {
    std::vector<std::pair<uint32_t, uint32_t>> tiles;
    for (uint32_t i = 0; i < list.Count(); ++i)
        tiles.emplace_back(list.Get(i).x, list.Get(i).y);
    return tiles;
}
