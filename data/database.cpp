#include "data/database.h"

#include "data/xlat_texts.h"

#include <algorithm>
#include <charconv>
#include <ostream>
#include <variant>

namespace {

// Calls the setter when it is of the kind that takes the value.
template <typename Setter, typename Value>
bool CallSetter(const ColumnSetter& setter, int32_t row, const Value& value) {
    const Setter* fn = std::get_if<Setter>(&setter);
    return fn && *fn && (*fn)(row, value);
}

} // namespace

// ---------------------------------------------------------------- columns

void DatabaseColumn::SetType(TypeCode newType) {
    type = newType;
    for (auto& [row, cell] : cells)
        cell.SetType(newType);
}

bool DatabaseColumn::ApplyCell(int32_t tableIndex, int32_t row) {
    return ApplyCell(tableIndex, row, GetXlatTexts());
}

bool DatabaseColumn::ApplyCell(int32_t tableIndex, int32_t row, XlatTexts& texts) {
    if (!IsKnownType(type) || std::holds_alternative<std::monostate>(setter))
        return false;
    DatabaseCell* cell = FindCell(row);
    if (!cell || !cell->HasValue())
        return false;
    switch (StorageOf(type)) {
    case CellStorage::Value:
        return CallSetter<ValueSetter>(setter, row, cell->Value());
    case CellStorage::String:
        if (IsTranslatedType(type)) {
            std::string key = XlatKey(tableIndex, index, row);
            if (texts.HasText(key, texts.Letter())) {
                cell->SetText(texts.GetText(key));
                std::string alt = texts.GetTextFor(key, '#');
                if (alt != kUntranslatedText)
                    cell->SetAltText(alt);
            }
        }
        return CallSetter<TextSetter>(setter, row, cell->Text().c_str());
    case CellStorage::Flag:
        return CallSetter<FlagSetter>(setter, row, cell->Flag());
    case CellStorage::Table:
        return CallSetter<TableSetter>(setter, row, cell->Table());
    case CellStorage::None:
        break;
    }
    return false;
}

void DatabaseColumn::SyncWithRows() {
    cells.Normalize();
    cells.MatchRows(table->rows);
    for (auto& [row, cell] : cells)
        cell.SetType(type);
}

DatabaseCell* DatabaseColumn::FindCell(int32_t row) {
    auto it = cells.find(row);
    return it == cells.end() ? nullptr : &it->second;
}

const DatabaseCell* DatabaseColumn::FindCell(int32_t row) const {
    auto it = cells.find(row);
    return it == cells.end() ? nullptr : &it->second;
}

// ---------------------------------------------------------------- database

Database& GetDatabase() {
    static Database* database = [] {
        static Database instance;
        instance.Init();
        return &instance;
    }();
    return *database;
}

void Database::Init() {
    InitFromSchema(RegisterAccessors());
}

void Database::InitFromSchema(const SchemaRow* schema) {
    tables_.clear();
    cellCount_ = 0;
    for (const SchemaRow* row = schema; row && row->table && row->column; ++row) {
        if (!*row->table || !*row->column)
            continue;
        DatabaseTable& table = tables_[row->table];
        DatabaseColumn& column = table.columns[row->column];
        column.table = &table;
        column.SetType(row->type);
        column.setter = row->setter;
        column.getter = row->getter;
    }
}

XlatTexts& Database::Texts() {
    return texts_ ? *texts_ : GetXlatTexts();
}

DatabaseTable* Database::FindTable(std::string_view name) {
    auto it = tables_.find(name);
    return it == tables_.end() ? nullptr : &it->second;
}

const DatabaseTable* Database::FindTable(std::string_view name) const {
    auto it = tables_.find(name);
    return it == tables_.end() ? nullptr : &it->second;
}

const DatabaseTable& Database::GetTable(std::string_view name, KindSelector kind) const {
    static const DatabaseTable kEmptyTable;
    const DatabaseTable* table = FindTable(name);
    if (!table)
        return kEmptyTable;
    if (kind == KindSelector::All)
        return *table;
    if (kind == KindSelector::Master || kind == KindSelector::Mission)
        for (const auto& [columnName, column] : table->columns)
            if (KindSelects(kind, column.type))
                return *table;
    return kEmptyTable;
}

int32_t Database::NextTableIndex(std::string_view name) const {
    const DatabaseTable* table = FindTable(name);
    if (!table)
        return -1;
    if (table->index != -1)
        return table->index;
    int32_t highest = -1;
    for (const auto& [tableName, other] : tables_)
        highest = std::max(highest, other.index);
    return highest + 1;
}

int32_t Database::NextColumnIndex(std::string_view tableName, std::string_view columnName) const {
    if (tableName.empty() || columnName.empty())
        return -1;
    const DatabaseTable* table = FindTable(tableName);
    if (!table)
        return -1;
    auto it = table->columns.find(columnName);
    if (it == table->columns.end())
        return -1;
    if (it->second.index != -1)
        return it->second.index;
    int32_t highest = -1;
    for (const auto& [name, column] : table->columns)
        highest = std::max(highest, column.index);
    return highest + 1;
}

// ---------------------------------------------------------------- applying

bool Database::ApplyAllTables(KindSelector kind) {
    bool ok = true;
    for (auto& [name, table] : tables_)
        ok = ApplyTable(name.c_str(), kind) && ok;
    return ok;
}

bool Database::ApplyTable(const char* name, KindSelector kind) {
    auto it = name ? tables_.find(std::string_view(name)) : tables_.end();
    if (it == tables_.end()) {
        if (log_)
            *log_ << "NOT FOUND - " << (name ? name : "") << std::endl;
        return false;
    }
    bool ok = true;
    DatabaseTable& table = it->second;
    for (auto& [columnName, column] : table.columns) {
        if (!KindSelects(kind, column.type))
            continue;
        for (int32_t row : table.rows)
            ok = ApplyColumnCell(it->first, table, columnName, column, row) && ok;
    }
    return ok;
}

bool Database::SetColumnValue(const char* tableName, const char* columnName, DatabaseColumn* column,
                              int32_t row) {
    const DatabaseTable* table = tableName ? FindTable(tableName) : nullptr;
    if (column) {
        static const DatabaseTable kNoTable;
        return ApplyColumnCell(tableName ? tableName : "", table ? *table : kNoTable,
                               columnName ? columnName : "", *column, row);
    }
    LogLine("NOT FOUND - ", tableName, "Set", columnName, row, nullptr);
    return false;
}

bool Database::ApplyColumnCell(const std::string& tableName, const DatabaseTable& table,
                               const std::string& columnName, DatabaseColumn& column, int32_t row) {
    if (!IsKnownType(column.type)) {
        LogLine("WRONG TYPE - ", tableName.c_str(), "Set", columnName.c_str(), row, nullptr);
        return false;
    }
    std::string_view prefix = "NO METHOD - ";
    if (!std::holds_alternative<std::monostate>(column.setter)) {
        if (column.ApplyCell(table.index, row, Texts()))
            return true;
        prefix = "FAILED - ";
    }
    if (log_) {
        std::string line(prefix);
        line += tableName;
        line += " :: Set";
        line += columnName;
        line += " ( ";
        line += std::to_string(row);
        line += ", ";
        WriteCell(line, column.FindCell(row));
        line += " )";
        *log_ << line << std::endl;
    }
    return false;
}

void Database::LogLine(std::string_view prefix, const char* table, const char* operation, const char* column,
                       int32_t row, const DatabaseCell* cell) const {
    if (!log_)
        return;
    std::string line(prefix);
    if (table)
        line += table;
    if (operation && column) {
        line += " :: ";
        line += operation;
        line += column;
    } else if (operation) {
        line += operation;
    } else if (column) {
        line += " :: ";
        line += column;
    }
    if (row != -1) {
        line += "( ";
        line += std::to_string(row);
    }
    if (cell && !IsTableType(cell->Type())) {
        line += ", ";
        WriteCell(line, cell);
    }
    if (row != -1)
        line += " )";
    *log_ << line << std::endl;
}

// ---------------------------------------------------------------- helpers

int32_t CountColumns(const DatabaseColumns& columns, KindSelector kind) {
    int32_t count = 0;
    for (const auto& [name, column] : columns)
        count += KindSelects(kind, column.type);
    return count;
}

int32_t CountColumnsWithBits(const DatabaseColumns& columns, KindSelector kind, TypeCode mask) {
    int32_t count = 0;
    for (const auto& [name, column] : columns)
        count += KindSelects(kind, column.type) && (column.type & mask) != 0;
    return count;
}

std::string XlatKey(int32_t tableIndex, int32_t columnIndex, int32_t row) {
    uint32_t sum = uint32_t(tableIndex) * 16777216u + uint32_t(columnIndex) * 65536u + uint32_t(row);
    char text[16];
    auto end = std::to_chars(text, text + sizeof text, int32_t(sum)).ptr;
    return std::string(text, end);
}
