// One cell of the game database: a float, a flag byte, a text or a grid of
// floats, chosen by the cell's type code, which always matches its column's.
#pragma once

#include "data/type_code.h"
#include "data/value_table.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <variant>

// A value cell holding this quiet NaN has "no value".
inline constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// How a type code stores its cells: value, string, flag, table, tested in
// this order; None for codes without a storage bit.
enum class CellStorage { None, Value, String, Flag, Table };
constexpr CellStorage StorageOf(TypeCode type) {
    if (IsValueType(type))
        return CellStorage::Value;
    if (IsStringType(type))
        return CellStorage::String;
    if (IsFlagType(type))
        return CellStorage::Flag;
    if (IsTableType(type))
        return CellStorage::Table;
    return CellStorage::None;
}

class DatabaseCell {
public:
    // A new cell is a value cell without a value.
    DatabaseCell() = default;

    TypeCode Type() const { return type_; }
    // Gives the cell a new type. A change of storage drops the content and
    // starts afresh (flag 0, value NaN, empty text, empty grid); otherwise
    // the content stays.
    void SetType(TypeCode type);
    // False only for a value cell holding NaN.
    bool HasValue() const;

    // The accessors read and write the storage the type selects; the others
    // read as empty and ignore writes.
    float Value() const;
    void SetValue(float value);
    uint8_t Flag() const;
    void SetFlag(uint8_t value);
    const std::string& Text() const;
    void SetText(std::string_view text);
    std::string* MutableText() { return std::get_if<std::string>(&data_); }
    // The text of a translated cell's "#" entry.
    const std::string& AltText() const { return altText_; }
    void SetAltText(std::string_view text) { altText_.assign(text); }
    std::string& MutableAltText() { return altText_; }
    const ValueTable& Table() const;
    ValueTable* MutableTable() { return std::get_if<ValueTable>(&data_); }

private:
    std::variant<float, uint8_t, std::string, ValueTable> data_{kNoValue};
    std::string altText_;
    TypeCode type_ = 0;
};
