// The cells of one database column, by row: one vector kept sorted by row.
// The reader appends cells as rows come, mostly in ascending order; the
// vector is put in order when the column is matched to its table's rows.
#pragma once

#include "data/database_cell.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

class CellMap {
public:
    using value_type = std::pair<int32_t, DatabaseCell>;
    using iterator = std::vector<value_type>::iterator;
    using const_iterator = std::vector<value_type>::const_iterator;

    iterator begin() { return cells_.begin(); }
    iterator end() { return cells_.end(); }
    const_iterator begin() const { return cells_.begin(); }
    const_iterator end() const { return cells_.end(); }
    size_t size() const { return cells_.size(); }
    bool empty() const { return cells_.empty(); }
    void clear() { cells_.clear(); }

    iterator find(int32_t row) {
        auto it = LowerBound(row);
        return it != cells_.end() && it->first == row ? it : cells_.end();
    }
    const_iterator find(int32_t row) const {
        auto it = std::lower_bound(cells_.begin(), cells_.end(), row, RowLess);
        return it != cells_.end() && it->first == row ? it : cells_.end();
    }
    // The cell of the row, a new one when missing.
    DatabaseCell& operator[](int32_t row) {
        auto it = LowerBound(row);
        if (it == cells_.end() || it->first != row)
            it = cells_.emplace(it, row, DatabaseCell());
        return it->second;
    }

    // Adds a cell for the row after all others, replacing any former cell
    // of the row once Normalize runs; until then lookups may miss.
    DatabaseCell& Append(int32_t row) {
        if (!cells_.empty() && row <= cells_.back().first)
            sorted_ = false;
        return cells_.emplace_back(row, DatabaseCell()).second;
    }
    // Takes back the cell appended last.
    void DropLast() { cells_.pop_back(); }
    // Sorts appended cells in; of several cells of one row the last stays.
    void Normalize() {
        if (sorted_)
            return;
        std::stable_sort(cells_.begin(), cells_.end(),
                         [](const value_type& a, const value_type& b) { return a.first < b.first; });
        auto out = cells_.begin();
        for (auto it = cells_.begin(); it != cells_.end(); ++out) {
            auto last = it;
            while (++it != cells_.end() && it->first == last->first)
                last = it;
            if (out != last)
                *out = std::move(*last);
        }
        cells_.erase(out, cells_.end());
        sorted_ = true;
    }

    // Keeps the cells of the given rows and adds empty ones where missing.
    void MatchRows(const std::set<int32_t>& rows) {
        if (cells_.size() == rows.size() &&
            std::equal(rows.begin(), rows.end(), cells_.begin(),
                       [](int32_t row, const value_type& cell) { return row == cell.first; }))
            return;
        std::vector<value_type> matched;
        matched.reserve(rows.size());
        auto cell = cells_.begin();
        for (int32_t row : rows) {
            while (cell != cells_.end() && cell->first < row)
                ++cell;
            if (cell != cells_.end() && cell->first == row)
                matched.push_back(std::move(*cell++));
            else
                matched.emplace_back(row, DatabaseCell());
        }
        cells_.swap(matched);
    }

private:
    static bool RowLess(const value_type& cell, int32_t row) { return cell.first < row; }
    iterator LowerBound(int32_t row) { return std::lower_bound(cells_.begin(), cells_.end(), row, RowLess); }

    std::vector<value_type> cells_;
    bool sorted_ = true;
};
