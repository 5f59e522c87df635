// ValueTable: the grid of 32-bit floats held by a table-typed cell of the
// game database and by the T fields of the row records. A read outside the
// grid yields -1.0, which callers treat as "none".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ValueTable {
public:
    ValueTable() = default;

    uint32_t ColumnCount() const { return columnCount_; }
    uint32_t RowCount() const { return rowCount_; }
    bool Empty() const { return rowCount_ == 0 || columnCount_ == 0; }

    // Makes rows x columns cells; every cell becomes 0.0.
    void Resize(uint32_t columns, uint32_t rows) {
        columnCount_ = columns;
        rowCount_ = rows;
        cells_.assign(size_t(columns) * rows, 0.0f);
    }

    // The float at (column, row), or -1.0 outside the grid.
    float Cell(uint32_t column, uint32_t row) const {
        if (column >= columnCount_ || row >= rowCount_)
            return -1.0f;
        return cells_[size_t(row) * columnCount_ + column];
    }
    // The cell truncated toward zero, for readers that need whole numbers.
    int32_t IntCell(uint32_t column, uint32_t row) const;

    // Writes a cell; false outside the grid.
    bool SetCell(uint32_t column, uint32_t row, float value) {
        if (column >= columnCount_ || row >= rowCount_)
            return false;
        cells_[size_t(row) * columnCount_ + column] = value;
        return true;
    }

    // The cells row after row.
    const std::vector<float>& Cells() const { return cells_; }
    std::vector<float>& Cells() { return cells_; }

    friend bool operator==(const ValueTable& a, const ValueTable& b) = default;

private:
    std::vector<float> cells_;
    uint32_t columnCount_ = 0;
    uint32_t rowCount_ = 0;
};

// Converts a float to a 32-bit integer by truncation toward zero. Values
// outside the range saturate at its ends and NaN gives 0, so that data can
// never cause an undefined conversion.
int32_t TruncateToInt(float value);
