// The row records of a database table: one process-wide vector per table,
// indexed by row number, whose slots may be empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

// Row numbers come from data files; no table grows beyond this many rows.
inline constexpr int32_t kMaxTableRows = 1 << 20;

template <class Row>
class RowTable {
public:
    using Slots = std::vector<std::unique_ptr<Row>>;

    // The record of a row, made with its initial values when the slot is
    // empty. Null for a negative row, a row at or beyond kMaxTableRows, or
    // when memory runs out (the slot then stays empty).
    static Row* GetOrCreateRow(int32_t row) {
        if (row < 0 || row >= kMaxTableRows)
            return nullptr;
        try {
            if (size_t(row) >= slots_.size())
                slots_.resize(size_t(row) + 1);
            std::unique_ptr<Row>& slot = slots_[size_t(row)];
            if (!slot)
                slot = std::make_unique<Row>();
            return slot.get();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    // The record of a row, or null when the row has none; never creates one.
    static const Row* Find(int32_t row) { return FindMutable(row); }
    static Row* FindMutable(int32_t row) {
        if (row < 0 || size_t(row) >= slots_.size())
            return nullptr;
        return slots_[size_t(row)].get();
    }

    // The number of slots, empty ones included.
    static int32_t RowCount() { return int32_t(slots_.size()); }
    static const Slots& Rows() { return slots_; }

    // Deletes every record and frees the vector.
    static void Clear() { Slots().swap(slots_); }

private:
    static inline Slots slots_;
};
