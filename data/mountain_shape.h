// The shape of a mountain, derived from a Mountains row's AreaDescription:
// a grid of whole numbers with the first and last cell of its core.
#pragma once

#include "data/value_table.h"

#include <cstdint>
#include <vector>

struct MountainShape {
    int32_t columns = 0;
    int32_t rows = 0;
    // Column and row of the first core cell, scanning rows from the top and
    // each row from the left, and of the last one, scanning from the bottom
    // right. A shape without core cells spans its whole grid: anchor (0, 0),
    // far corner (columns - 1, rows - 1).
    int32_t anchorX = 0;
    int32_t anchorY = 0;
    int32_t farX = 0;
    int32_t farY = 0;
    // The cells row after row, each rounded to the nearest whole number:
    // 0 outside the shape, 1 taken where the tile is free, 2 core (always
    // taken).
    std::vector<int32_t> grid;

    // The cell at (column, row); 0 outside the grid.
    int32_t Cell(int32_t column, int32_t row) const;

    // The shape of a table; an empty table gives an empty shape.
    static MountainShape FromTable(const ValueTable& table);
};
