// The game database: named tables of typed columns holding every balance
// value, rule table and interface text. It is built from the schema, filled
// from its text file, pushed cell by cell into the row records through the
// schema's setters, and written back by the update installer.
#pragma once

#include "data/cell_map.h"
#include "data/database_cell.h"
#include "data/schema.h"
#include "data/type_code.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <string_view>

class XlatTexts;
struct DatabaseTable;

// Row numbers the text file may use. The row is the low 16 bits of a
// translated cell's key, and the row records are vectors indexed by it.
inline constexpr int32_t kMaxRowNumber = 65535;
// The most cells the database holds: every column of a table has one cell
// per row of the table, so a file naming many columns and many rows could
// otherwise ask for far more memory than its own size.
inline constexpr uint64_t kMaxCells = uint64_t(1) << 22;
// The largest database or text-table file read.
inline constexpr uint64_t kMaxDatabaseFileSize = uint64_t(64) << 20;

struct DatabaseColumn {
    CellMap cells;
    DatabaseTable* table = nullptr;
    ColumnSetter setter;
    // Kept with the column for callers; the database never calls it.
    ColumnGetter getter;
    float minValue = -1e37f;
    float maxValue = 1e37f;
    int32_t index = -1;
    std::string comment;
    TypeCode type = 0;

    // Sets the type of the column and of every cell it has.
    void SetType(TypeCode newType);
    // Pushes the row's cell through the setter; translated cells are first
    // replaced by their translation, when the texts have one. False without
    // a setter of the column's storage, without a cell or value, or when the
    // setter refuses.
    bool ApplyCell(int32_t tableIndex, int32_t row, XlatTexts& texts);
    bool ApplyCell(int32_t tableIndex, int32_t row);
    // Leaves exactly one cell, of the column's type, per row of the table.
    void SyncWithRows();
    DatabaseCell* FindCell(int32_t row);
    const DatabaseCell* FindCell(int32_t row) const;
};

using DatabaseColumns = std::map<std::string, DatabaseColumn, std::less<>>;

struct DatabaseTable {
    std::set<int32_t> rows;
    DatabaseColumns columns;
    int32_t index = -1;
    // rows x columns when the reader last counted the table toward
    // kMaxCells.
    uint64_t countedCells = 0;
};

using DatabaseTables = std::map<std::string, DatabaseTable, std::less<>>;

// Called while reading with the share read so far, 0 to 50.
using ProgressCallback = std::function<void(int percentOf50)>;

class Database {
public:
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Drops everything and rebuilds the empty tables of the built-in schema.
    void Init();
    // The same from a schema array ending in a row without names.
    void InitFromSchema(const SchemaRow* schema);

    // Merges a text of the database file form into the database. False when
    // the stream has already failed, or the text is malformed (a bad type
    // name, number, flag or quoted text, a block cut short, a dimension or
    // row beyond the limits); the blocks read before stay.
    bool Read(std::istream& in, const ProgressCallback& progress = {});
    bool Read(std::string_view text, const ProgressCallback& progress = {});
    bool ReadFile(const std::string& path, const ProgressCallback& progress = {});

    // Writes the selected columns of every table in the file form; the
    // stream's field width, at least 2, sets the layout's widths. False,
    // writing nothing, when the stream has failed or a text cannot be
    // written (a double quote or more than 9998 characters); false too when
    // the stream fails while writing.
    bool Write(std::ostream& out, KindSelector kind);
    bool Write(std::string& out, KindSelector kind, int width = 0);
    // Writes through a temporary file renamed over path, so that path is
    // either the old file or the whole new one.
    bool WriteFile(const std::string& path, KindSelector kind);

    bool ApplyTable(const char* name, KindSelector kind);
    bool ApplyAllTables(KindSelector kind);
    // Pushes one cell and reports a failure to the log.
    bool SetColumnValue(const char* tableName, const char* columnName, DatabaseColumn* column, int32_t row);

    // The named table when it has a column of the kind (any column for
    // All); otherwise a shared empty table.
    const DatabaseTable& GetTable(std::string_view name, KindSelector kind) const;
    DatabaseTable* FindTable(std::string_view name);
    const DatabaseTable* FindTable(std::string_view name) const;
    // The stored index, or the next free one; -1 when the table is missing.
    int32_t NextTableIndex(std::string_view name) const;
    // The stored index, or the next free one in its table; -1 for an empty
    // name or a missing table or column.
    int32_t NextColumnIndex(std::string_view table, std::string_view column) const;

    const DatabaseTables& Tables() const { return tables_; }
    DatabaseTables& Tables() { return tables_; }

    // Diagnostic lines go to this stream when one is attached (none by default).
    void SetLog(std::ostream* log) { log_ = log; }
    std::ostream* Log() const { return log_; }
    // Writes one diagnostic line of what is given (a null name or row -1 is
    // left out); the cell only when it is not a table cell.
    void LogLine(std::string_view prefix, const char* table, const char* operation, const char* column,
                 int32_t row, const DatabaseCell* cell) const;

    // The texts whose translations ApplyCell uses; the process-wide ones
    // unless set.
    void SetXlatTexts(XlatTexts* texts) { texts_ = texts; }

private:
    friend class DatabaseReader;

    bool ApplyColumnCell(const std::string& tableName, const DatabaseTable& table,
                         const std::string& columnName, DatabaseColumn& column, int32_t row);
    XlatTexts& Texts();

    DatabaseTables tables_;
    std::ostream* log_ = nullptr;
    XlatTexts* texts_ = nullptr;
    uint64_t cellCount_ = 0;
};

// The one database of the process, built from the schema on first use.
Database& GetDatabase();

int32_t CountColumns(const DatabaseColumns& columns, KindSelector kind);
int32_t CountColumnsWithBits(const DatabaseColumns& columns, KindSelector kind, TypeCode mask);

// The key of a translated cell's texts: the decimal of
// tableIndex * 2^24 + columnIndex * 2^16 + row, wrapping at 32 bits.
std::string XlatKey(int32_t tableIndex, int32_t columnIndex, int32_t row);

// Appends a cell as the text file shows it, its first item left-aligned in
// a field of width; "????????" for a missing cell or one of no storage.
void WriteCell(std::string& out, const DatabaseCell* cell, int width = 0);
