// A tile position on the map, in whole tiles.
#pragma once

#include <cstdint>

struct TilePoint {
    int32_t x = 0, y = 0;
};
