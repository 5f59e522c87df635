// mdtool db: the game database and its text file: the schema's size, a
// file read and written back whole, and one cell as the file shows it.
#include "tools/mdtool/command.h"

#include "data/database.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>

namespace mdtool {
namespace {

constexpr const char* kDbUsage = "db schema | db roundtrip IN OUT | db get FILE TABLE ROW COLUMN";

constexpr std::array<TypeCode, 10> kTypeCodes = {
    type_code::kMasterFlag,     type_code::kMasterValue,  type_code::kMasterString, type_code::kMasterStrXlat,
    type_code::kMasterTable,    type_code::kMissionFlag,  type_code::kMissionValue, type_code::kMissionString,
    type_code::kMissionStrXlat, type_code::kMissionTable,
};

int Schema(const Args& args) {
    if (args.size() != 1)
        return Usage(kDbUsage);
    const Database& db = GetDatabase();
    size_t columns = 0;
    std::map<TypeCode, size_t> perType;
    for (const auto& [tableName, table] : db.Tables()) {
        columns += table.columns.size();
        for (const auto& [columnName, column] : table.columns)
            ++perType[column.type];
    }
    std::printf("tables %zu\ncolumns %zu\n", db.Tables().size(), columns);
    for (TypeCode code : kTypeCodes)
        std::printf("%.*s %zu\n", int(TypeName(code).size()), TypeName(code).data(), perType[code]);
    return 0;
}

// Reads a database file into the schema's database; on failure, reports
// the reason in one line and returns false.
bool ReadInto(Database& db, const std::string& path) {
    std::ostringstream log;
    db.SetLog(&log);
    bool read = db.ReadFile(path);
    db.SetLog(nullptr);
    if (read)
        return true;
    std::string reason = log.str();
    reason = reason.substr(0, reason.find("\nABORTING!"));
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    Fail(path + ": not a readable database file" + (reason.empty() ? "" : " (" + reason + ")"));
    return false;
}

int Roundtrip(const Args& args) {
    if (args.size() != 3)
        return Usage(kDbUsage);
    Database& db = GetDatabase();
    if (!ReadInto(db, args[1]))
        return 1;
    if (!db.WriteFile(args[2], KindSelector::All))
        return Fail(args[2] + ": cannot be written");
    return 0;
}

int Get(const Args& args) {
    if (args.size() != 5)
        return Usage(kDbUsage);
    const std::string& tableName = args[2];
    const std::string& columnName = args[4];
    int32_t row = 0;
    const std::string& rowText = args[3];
    auto [end, ec] = std::from_chars(rowText.data(), rowText.data() + rowText.size(), row);
    if (ec != std::errc() || end != rowText.data() + rowText.size())
        return Fail("not a row number: " + rowText);

    Database& db = GetDatabase();
    if (!ReadInto(db, args[1]))
        return 1;
    const DatabaseTable* table = db.FindTable(tableName);
    if (!table)
        return Fail("no table " + tableName);
    auto column = table->columns.find(columnName);
    if (column == table->columns.end())
        return Fail("no column " + columnName + " in table " + tableName);
    const DatabaseCell* cell = column->second.FindCell(row);
    if (!cell || !table->rows.contains(row))
        return Fail("no row " + rowText + " in table " + tableName);
    std::string text;
    WriteCell(text, cell);
    if (text.back() != '\n')
        text += '\n';
    std::fputs(text.c_str(), stdout);
    return 0;
}

int RunDb(const Args& args) {
    if (args.empty())
        return Usage(kDbUsage);
    if (args[0] == "schema")
        return Schema(args);
    if (args[0] == "roundtrip")
        return Roundtrip(args);
    if (args[0] == "get")
        return Get(args);
    return Usage(kDbUsage);
}

} // namespace

MDTOOL_COMMAND("db", kDbUsage, RunDb);

} // namespace mdtool
