#include "data/database_cell.h"

#include <cmath>

namespace {

const std::string kEmptyText;
const ValueTable kEmptyTable;

CellStorage StorageOfData(const std::variant<float, uint8_t, std::string, ValueTable>& data) {
    switch (data.index()) {
    case 1:
        return CellStorage::Flag;
    case 2:
        return CellStorage::String;
    case 3:
        return CellStorage::Table;
    default:
        return CellStorage::Value;
    }
}

} // namespace

void DatabaseCell::SetType(TypeCode type) {
    CellStorage storage = StorageOf(type);
    if (storage != StorageOfData(data_)) {
        switch (storage) {
        case CellStorage::Flag:
            data_ = uint8_t(0);
            break;
        case CellStorage::String:
            data_ = std::string();
            break;
        case CellStorage::Table:
            data_ = ValueTable();
            break;
        case CellStorage::Value:
        case CellStorage::None:
            data_ = kNoValue;
            break;
        }
    }
    type_ = type;
}

bool DatabaseCell::HasValue() const {
    const float* value = std::get_if<float>(&data_);
    return value == nullptr || !std::isnan(*value);
}

float DatabaseCell::Value() const {
    const float* value = std::get_if<float>(&data_);
    return value ? *value : kNoValue;
}

void DatabaseCell::SetValue(float value) {
    if (float* p = std::get_if<float>(&data_))
        *p = value;
}

uint8_t DatabaseCell::Flag() const {
    const uint8_t* flag = std::get_if<uint8_t>(&data_);
    return flag ? *flag : 0;
}

void DatabaseCell::SetFlag(uint8_t value) {
    if (uint8_t* p = std::get_if<uint8_t>(&data_))
        *p = value;
}

const std::string& DatabaseCell::Text() const {
    const std::string* text = std::get_if<std::string>(&data_);
    return text ? *text : kEmptyText;
}

void DatabaseCell::SetText(std::string_view text) {
    if (std::string* p = std::get_if<std::string>(&data_))
        p->assign(text);
}

const ValueTable& DatabaseCell::Table() const {
    const ValueTable* table = std::get_if<ValueTable>(&data_);
    return table ? *table : kEmptyTable;
}
