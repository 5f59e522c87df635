// The column accessors that every table shares, one pair per way a column
// is stored in its row record.
#pragma once

#include "data/value_table.h"

#include <cstdint>
#include <string>

namespace column_access {

template <class Row>
bool SetWhole(Row* row, int32_t Row::*field, float value) {
    if (!row)
        return false;
    row->*field = TruncateToInt(value);
    return true;
}

template <class Row>
bool GetWhole(const Row* row, int32_t Row::*field, float* out) {
    if (!row || !out)
        return false;
    *out = float(row->*field);
    return true;
}

template <class Row>
bool SetFloat(Row* row, float Row::*field, float value) {
    if (!row)
        return false;
    row->*field = value;
    return true;
}

template <class Row>
bool GetFloat(const Row* row, float Row::*field, float* out) {
    if (!row || !out)
        return false;
    *out = row->*field;
    return true;
}

template <class Row>
bool SetFlag(Row* row, uint8_t Row::*field, uint8_t value) {
    if (!row)
        return false;
    row->*field = value;
    return true;
}

template <class Row>
bool GetFlag(const Row* row, uint8_t Row::*field, uint8_t* out) {
    if (!row || !out)
        return false;
    *out = row->*field;
    return true;
}

// A flag kept in a 32-bit word; it reads back as 1 for any non-zero word.
template <class Row>
bool SetWideFlag(Row* row, uint32_t Row::*field, uint8_t value) {
    if (!row)
        return false;
    row->*field = value;
    return true;
}

template <class Row>
bool GetWideFlag(const Row* row, uint32_t Row::*field, uint8_t* out) {
    if (!row || !out)
        return false;
    *out = row->*field != 0 ? 1 : 0;
    return true;
}

// A null text stores the empty string.
template <class Row>
bool SetText(Row* row, std::string Row::*field, const char* value) {
    if (!row)
        return false;
    (row->*field).assign(value ? value : "");
    return true;
}

template <class Row>
bool GetText(const Row* row, std::string Row::*field, std::string* out) {
    if (!row || !out)
        return false;
    *out = row->*field;
    return true;
}

template <class Row>
bool SetTable(Row* row, ValueTable Row::*field, const ValueTable& value) {
    if (!row)
        return false;
    row->*field = value;
    return true;
}

template <class Row>
bool GetTable(const Row* row, ValueTable Row::*field, ValueTable* out) {
    if (!row || !out)
        return false;
    *out = row->*field;
    return true;
}

} // namespace column_access
