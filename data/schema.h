// The built-in schema of the game database: one row per column, sorted by
// table name and then column name in byte order, each with its type code
// and the accessors that move a cell between the database and the table's
// row records.
#pragma once

#include "data/type_code.h"
#include "data/value_table.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

// Setters store a cell's value into the row record of a row, creating the
// record on demand. The value arrives by the column's storage: a float for
// value columns, a byte for flags, a zero-terminated text (valid only
// during the call; null means empty) for strings, a grid for tables.
using ValueSetter = std::function<bool(int32_t row, float value)>;
using FlagSetter = std::function<bool(int32_t row, uint8_t value)>;
using TextSetter = std::function<bool(int32_t row, const char* value)>;
using TableSetter = std::function<bool(int32_t row, const ValueTable& value)>;
using ColumnSetter = std::variant<std::monostate, ValueSetter, FlagSetter, TextSetter, TableSetter>;

// Getters read a row record's field back; false (out untouched) when the
// row has no record.
using ValueGetter = std::function<bool(int32_t row, float* out)>;
using FlagGetter = std::function<bool(int32_t row, uint8_t* out)>;
using TextGetter = std::function<bool(int32_t row, std::string* out)>;
using TableGetter = std::function<bool(int32_t row, ValueTable* out)>;
using ColumnGetter = std::variant<std::monostate, ValueGetter, FlagGetter, TextGetter, TableGetter>;

struct SchemaRow {
    const char* table = nullptr;
    const char* column = nullptr;
    ColumnSetter setter;
    ColumnGetter getter;
    TypeCode type = 0;
};

// Fills the setter and getter of every schema row that has accessors and
// returns the first row; the array ends with a row whose names are null.
SchemaRow* RegisterAccessors();

inline constexpr int kSchemaTableCount = 97;
inline constexpr int kSchemaColumnCount = 507;
