#include "data/value_table.h"

#include <cmath>

int32_t TruncateToInt(float value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (value <= -2147483648.0f)
        return INT32_MIN;
    return int32_t(value);
}

int32_t ValueTable::IntCell(uint32_t column, uint32_t row) const {
    return TruncateToInt(Cell(column, row));
}
