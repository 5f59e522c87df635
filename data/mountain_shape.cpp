#include "data/mountain_shape.h"

#include <cmath>

namespace {

constexpr int32_t kCoreCell = 2;

} // namespace

int32_t MountainShape::Cell(int32_t column, int32_t row) const {
    if (column < 0 || row < 0 || column >= columns || row >= rows)
        return 0;
    return grid[size_t(row) * size_t(columns) + size_t(column)];
}

MountainShape MountainShape::FromTable(const ValueTable& table) {
    MountainShape shape;
    if (table.Empty())
        return shape;
    shape.columns = int32_t(table.ColumnCount());
    shape.rows = int32_t(table.RowCount());
    shape.grid.reserve(table.Cells().size());
    for (float cell : table.Cells())
        shape.grid.push_back(TruncateToInt(std::round(cell)));

    shape.farX = shape.columns - 1;
    shape.farY = shape.rows - 1;
    bool foundCore = false;
    for (int32_t row = 0; row < shape.rows && !foundCore; ++row)
        for (int32_t column = 0; column < shape.columns && !foundCore; ++column)
            if (shape.Cell(column, row) == kCoreCell) {
                shape.anchorX = column;
                shape.anchorY = row;
                foundCore = true;
            }
    if (!foundCore)
        return shape;
    for (int32_t row = shape.rows - 1; row >= 0; --row)
        for (int32_t column = shape.columns - 1; column >= 0; --column)
            if (shape.Cell(column, row) == kCoreCell) {
                shape.farX = column;
                shape.farY = row;
                return shape;
            }
    return shape;
}
