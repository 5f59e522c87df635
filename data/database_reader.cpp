// Reading the database's text file: table blocks merged into the database.
#include "data/database.h"
#include "data/text_scanner.h"

#include "platform/file.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class DatabaseReader {
public:
    DatabaseReader(Database& database, std::string_view text) : db_(database), in_(text) {}

    bool Run(const ProgressCallback& progress);

private:
    // The rows and columns a block added to its table.
    struct BlockAdditions {
        std::vector<int32_t> rows;
        std::vector<DatabaseColumns::iterator> columns;
    };

    bool ReadBlock(std::string_view tableName);
    bool ReadBlockBody(DatabaseTable& table, const std::vector<std::string_view>& names, int32_t r, int32_t k,
                       BlockAdditions& added);
    DatabaseColumn& TakeColumn(DatabaseTable& table, std::string_view name, BlockAdditions& added);
    // Reads the column's cell of the row; a cell that fails to read leaves
    // any former cell of the row as it was.
    bool ReadCell(DatabaseColumn& column, int32_t row);
    // Reads a cell of the type and drops it.
    bool SkipCell(TypeCode type);
    bool ReadCellContent(DatabaseCell& cell, TypeCode type);
    bool ReadRowNumber(int32_t& row);
    bool ReadColumnType(DatabaseTable& table, DatabaseColumn& column, std::string_view columnName);
    // Counts the table's cells toward kMaxCells and numbers its new columns;
    // a block that would exceed the limit loses the rows and columns it added.
    bool EndBlock(DatabaseTable& table, const BlockAdditions& added);
    void NumberNewTablesAndColumns();

    // Reports why the read stops, at the scanner's position.
    bool Fail(std::string_view reason);
    bool FailScan() { return Fail(in_.ErrorText()); }
    void LogAbort(const std::string& line);

    Database& db_;
    TextScanner in_;
    std::string tableName_;
    // Views of names that live as long as the read: for the log line.
    std::string_view columnName_;
    ValueTable scratchTable_;
    // Tables this read made: numbered after all others at its end.
    std::unordered_set<const DatabaseTable*> created_;
    // Every column gets one cell per row of its table at the end of the
    // table's first block, while its cells are at hand. A table read again
    // waits for the end of the read, so that a block costs no more than its
    // own cells however often a file repeats it.
    std::unordered_set<const DatabaseTable*> read_;
    std::unordered_set<DatabaseTable*> readAgain_;
    // Cells a table read again has appended since its columns were last
    // matched to its rows: matched early once they outnumber its cells, so
    // that a file repeating a block holds no more than twice its cells.
    std::unordered_map<const DatabaseTable*, uint64_t> appended_;
    // A column's type is set without visiting its cells; they take it when
    // the column is matched to its rows. A change of storage clears the
    // cells the column held then: the first this many, in append order.
    std::unordered_map<const DatabaseColumn*, size_t> clearBefore_;

    void MatchColumns(DatabaseTable& table);
};

namespace {

// Numbers the columns without an index on from the highest one.
void NumberColumns(DatabaseTable& table) {
    int32_t next = -1;
    for (const auto& [name, column] : table.columns)
        next = std::max(next, column.index);
    for (auto& [name, column] : table.columns)
        if (column.index == -1)
            column.index = ++next;
}

} // namespace

bool DatabaseReader::Run(const ProgressCallback& progress) {
    bool ok = true;
    for (;;) {
        if (progress)
            progress(in_.Size() == 0 ? 0 : int(uint64_t(in_.Position()) * 50 / in_.Size()));
        std::string_view name = in_.Token();
        if (name.empty())
            break;
        if (name.front() == '#') {
            in_.SkipLine();
            continue;
        }
        if (!ReadBlock(name)) {
            ok = false;
            break;
        }
    }
    for (DatabaseTable* table : readAgain_)
        MatchColumns(*table);
    NumberNewTablesAndColumns();
    return ok;
}

bool DatabaseReader::ReadBlock(std::string_view name) {
    tableName_.assign(name);
    columnName_ = {};
    int32_t index = 0, n = 0, r = 0, k = 0;
    if (!in_.ReadInt(index) || !in_.ReadInt(n) || !in_.ReadInt(r) || !in_.ReadInt(k))
        return FailScan();
    // Every column, row and table column takes at least one character.
    for (int32_t count : {n, r, k})
        if (count < 0 || uint64_t(count) > in_.Remaining())
            return Fail("column or row count " + std::to_string(count) + " does not fit the file");
    // Refused before any of its cells is read: a block that alone holds
    // more cells than the database may.
    const uint64_t blockCells = uint64_t(r) * (uint64_t(n) + uint64_t(k));
    if (blockCells > kMaxCells)
        return Fail("a block of " + std::to_string(r) + " rows and " + std::to_string(uint64_t(n) + k) +
                    " columns would hold " + std::to_string(blockCells) + " cells, more than " +
                    std::to_string(kMaxCells));

    // A table this read made takes no index from a header: it is numbered
    // at the end.
    DatabaseTable* existing = db_.FindTable(name);
    if (existing && existing->index == -1 && !created_.contains(existing))
        existing->index = index;

    std::vector<std::string_view> names;
    for (int32_t i = 0; i < n; ++i) {
        names.push_back(in_.Token());
        if (names.back().empty())
            return Fail("unexpected end of file");
    }
    DatabaseTable& table = existing ? *existing : db_.tables_[tableName_];
    if (!existing)
        created_.insert(&table);

    BlockAdditions added;
    const bool read = ReadBlockBody(table, names, r, k, added);
    const bool counted = EndBlock(table, added);
    if (read_.insert(&table).second) {
        MatchColumns(table);
    } else {
        readAgain_.insert(&table);
        uint64_t& appended = appended_[&table];
        appended += blockCells;
        if (appended > std::max<uint64_t>(table.countedCells, 1 << 16))
            MatchColumns(table);
    }
    return counted && read;
}

void DatabaseReader::MatchColumns(DatabaseTable& table) {
    for (auto& [name, column] : table.columns) {
        auto clear = clearBefore_.find(&column);
        if (clear != clearBefore_.end()) {
            auto cell = column.cells.begin();
            for (size_t i = 0; i < clear->second && cell != column.cells.end(); ++i, ++cell)
                cell->second = DatabaseCell();
            clearBefore_.erase(clear);
        }
        column.SyncWithRows();
    }
    appended_.erase(&table);
}

bool DatabaseReader::ReadBlockBody(DatabaseTable& table, const std::vector<std::string_view>& names,
                                   int32_t r, int32_t k, BlockAdditions& added) {
    std::vector<DatabaseColumn*> listed;
    listed.reserve(names.size());
    for (std::string_view columnName : names) {
        DatabaseColumn& column = TakeColumn(table, columnName, added);
        if (!ReadColumnType(table, column, columnName))
            return false;
        listed.push_back(&column);
    }
    columnName_ = {};

    for (DatabaseColumn* column : listed) {
        if (IsValueType(column->type)) {
            if (!in_.ReadInt(column->index) || !in_.ReadFloat(column->minValue) ||
                !in_.ReadFloat(column->maxValue))
                return FailScan();
        } else if (IsFlagType(column->type)) {
            if (!in_.ReadInt(column->index))
                return FailScan();
        }
    }
    for (DatabaseColumn* column : listed)
        if (IsStringType(column->type) && !in_.ReadInt(column->index))
            return FailScan();
    std::string_view raw;
    for (DatabaseColumn* column : listed) {
        if (IsValueType(column->type) || IsFlagType(column->type)) {
            if (!in_.ReadQuoted(raw))
                return FailScan();
            AssignQuotedText(column->comment, raw);
        }
    }

    // Rows come in ascending order as a rule: each insertion starts its
    // search just after the previous one.
    auto rowHint = table.rows.end();
    for (int32_t i = 0; i < r; ++i) {
        int32_t row = 0;
        if (!ReadRowNumber(row))
            return false;
        const size_t rowsBefore = table.rows.size();
        rowHint = std::next(table.rows.insert(rowHint, row));
        if (table.rows.size() != rowsBefore)
            added.rows.push_back(row);
        for (size_t c = 0; c < listed.size(); ++c) {
            columnName_ = names[c];
            if (!ReadCell(*listed[c], row))
                return false;
        }
    }

    for (int32_t i = 0; i < k; ++i) {
        std::string_view columnName = in_.Token();
        if (columnName.empty())
            return Fail("unexpected end of file");
        DatabaseColumn& column = TakeColumn(table, columnName, added);
        if (!ReadColumnType(table, column, columnName))
            return false;
        if (!in_.ReadInt(column.index) || !in_.ReadQuoted(raw))
            return FailScan();
        AssignQuotedText(column.comment, raw);
        // The rows of a table column's cells are no rows of the table: a
        // cell of a row the table lacks is dropped. They come in the table's
        // order as a rule.
        auto expected = table.rows.begin();
        for (int32_t j = 0; j < r; ++j) {
            int32_t row = 0;
            if (!ReadRowNumber(row))
                return false;
            const bool inOrder = expected != table.rows.end() && *expected == row;
            if (inOrder)
                ++expected;
            const bool known = inOrder || table.rows.contains(row);
            if (!(known ? ReadCell(column, row) : SkipCell(column.type)))
                return false;
        }
        columnName_ = {};
    }
    return true;
}

DatabaseColumn& DatabaseReader::TakeColumn(DatabaseTable& table, std::string_view name,
                                           BlockAdditions& added) {
    auto [column, inserted] = table.columns.try_emplace(std::string(name));
    if (inserted)
        added.columns.push_back(column);
    return column->second;
}

bool DatabaseReader::SkipCell(TypeCode type) {
    DatabaseCell cell;
    cell.SetType(type);
    return ReadCellContent(cell, type);
}

bool DatabaseReader::ReadColumnType(DatabaseTable& table, DatabaseColumn& column,
                                    std::string_view columnName) {
    columnName_ = columnName;
    column.table = &table;
    std::string_view typeName = in_.Token();
    if (typeName.empty())
        return Fail("unexpected end of file");
    TypeCode type = TypeFromName(typeName);
    if (!IsKnownType(type)) {
        LogAbort("WRONG TYPE - " + tableName_ + " :: " + std::string(columnName_));
        return false;
    }
    if (StorageOf(type) != StorageOf(column.type) && !column.cells.empty())
        clearBefore_[&column] = column.cells.size();
    column.type = type;
    return true;
}

bool DatabaseReader::ReadRowNumber(int32_t& row) {
    if (!in_.ReadInt(row))
        return FailScan();
    if (row > kMaxRowNumber)
        return Fail("row " + std::to_string(row) + " beyond the last row " + std::to_string(kMaxRowNumber));
    return true;
}

bool DatabaseReader::ReadCell(DatabaseColumn& column, int32_t row) {
    DatabaseCell& cell = column.cells.Append(row);
    cell.SetType(column.type);
    if (ReadCellContent(cell, column.type))
        return true;
    column.cells.DropLast();
    return false;
}

bool DatabaseReader::ReadCellContent(DatabaseCell& cell, TypeCode type) {
    switch (StorageOf(type)) {
    case CellStorage::Value: {
        float value = 0.0f;
        if (!in_.ReadFloat(value))
            return FailScan();
        cell.SetValue(value);
        return true;
    }
    case CellStorage::String: {
        std::string_view text, alt;
        if (!in_.ReadQuoted(text) || (IsTranslatedType(type) && !in_.ReadQuoted(alt)))
            return FailScan();
        AssignQuotedText(*cell.MutableText(), text);
        if (IsTranslatedType(type))
            AssignQuotedText(cell.MutableAltText(), alt);
        return true;
    }
    case CellStorage::Flag: {
        uint8_t flag = 0;
        if (!in_.ReadFlag(flag))
            return FailScan();
        cell.SetFlag(flag);
        return true;
    }
    case CellStorage::Table: {
        uint32_t rows = 0, columns = 0;
        if (!in_.ReadUnsigned(rows) || !in_.ReadUnsigned(columns))
            return FailScan();
        // The values must follow in the file, and the writer puts each
        // row on a line of its own.
        uint64_t left = in_.Remaining();
        if (rows > left || uint64_t(rows) * columns > left)
            return Fail("table of " + std::to_string(rows) + " x " + std::to_string(columns) +
                        " values does not fit the file");
        scratchTable_.Resize(columns, rows);
        for (float& value : scratchTable_.Cells())
            if (!in_.ReadFloat(value))
                return FailScan();
        std::swap(*cell.MutableTable(), scratchTable_);
        return true;
    }
    case CellStorage::None:
        break;
    }
    return true;
}

bool DatabaseReader::EndBlock(DatabaseTable& table, const BlockAdditions& added) {
    const uint64_t cells = uint64_t(table.rows.size()) * table.columns.size();
    const uint64_t total = db_.cellCount_ - table.countedCells + cells;
    if (total > kMaxCells) {
        for (int32_t row : added.rows)
            table.rows.erase(row);
        for (DatabaseColumns::iterator column : added.columns) {
            clearBefore_.erase(&column->second);
            table.columns.erase(column);
        }
        columnName_ = {};
        return Fail("the database would hold " + std::to_string(total) + " cells, more than " +
                    std::to_string(kMaxCells));
    }
    db_.cellCount_ = total;
    table.countedCells = cells;
    // Only a column the block added can lack its number.
    if (std::any_of(added.columns.begin(), added.columns.end(),
                    [](DatabaseColumns::iterator column) { return column->second.index == -1; }))
        NumberColumns(table);
    return true;
}

void DatabaseReader::NumberNewTablesAndColumns() {
    int32_t next = -1;
    for (const auto& [name, table] : db_.tables_)
        next = std::max(next, table.index);
    // Tables the file brought follow all others, so that a file written from
    // the database reads back with the same numbers.
    for (bool created : {false, true})
        for (auto& [name, table] : db_.tables_)
            if (table.index == -1 && created_.contains(&table) == created)
                table.index = ++next;
    // Columns that no file has numbered yet get numbers too, for the same
    // reason.
    for (auto& [name, table] : db_.tables_)
        NumberColumns(table);
}

bool DatabaseReader::Fail(std::string_view reason) {
    std::string line = "FAILED - " + tableName_;
    if (!columnName_.empty()) {
        line += " :: ";
        line += columnName_;
    }
    line += ", line " + std::to_string(in_.Line()) + ": ";
    line += reason;
    LogAbort(line);
    return false;
}

void DatabaseReader::LogAbort(const std::string& line) {
    if (std::ostream* log = db_.Log()) {
        *log << line << std::endl;
        *log << "ABORTING!  " << std::endl;
    }
}

bool Database::Read(std::string_view text, const ProgressCallback& progress) {
    return DatabaseReader(*this, text).Run(progress);
}

bool Database::Read(std::istream& in, const ProgressCallback& progress) {
    if (in.fail())
        return false;
    std::string text;
    char buffer[1 << 16];
    std::streamsize got = 0;
    while ((got = in.rdbuf()->sgetn(buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(got));
    in.setstate(std::ios::eofbit);
    return Read(text, progress);
}

bool Database::ReadFile(const std::string& path, const ProgressCallback& progress) {
    std::string text;
    std::string error;
    if (!plat::ReadWholeFile(path, text, kMaxDatabaseFileSize, &error)) {
        if (log_)
            *log_ << "NOT FOUND - " << path << ": " << error << std::endl;
        return false;
    }
    return Read(text, progress);
}
