// The built-in schema: its size, order and types, and that every accessor
// it registers moves a value into its own field and back.
#include "data/generated/tables.h"
#include "data/schema.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<const SchemaRow*> SchemaRows() {
    std::vector<const SchemaRow*> rows;
    for (const SchemaRow* row = RegisterAccessors(); row->table && row->column; ++row)
        rows.push_back(row);
    return rows;
}

bool HasSetter(const SchemaRow& row) {
    return !std::holds_alternative<std::monostate>(row.setter);
}
bool HasGetter(const SchemaRow& row) {
    return !std::holds_alternative<std::monostate>(row.getter);
}

TEST(Schema, HoldsEveryTableAndColumnOnce) {
    const auto rows = SchemaRows();
    std::set<std::string> tables;
    std::map<TypeCode, int> perType;
    for (const SchemaRow* row : rows) {
        tables.insert(row->table);
        ++perType[row->type];
    }
    EXPECT_EQ(rows.size(), size_t(kSchemaColumnCount));
    EXPECT_EQ(tables.size(), size_t(kSchemaTableCount));
    EXPECT_EQ(perType, (std::map<TypeCode, int>{{type_code::kMasterFlag, 24},
                                                {type_code::kMasterValue, 297},
                                                {type_code::kMasterString, 11},
                                                {type_code::kMasterStrXlat, 81},
                                                {type_code::kMasterTable, 94}}));
}

TEST(Schema, EndsWithAnAllEmptyRow) {
    const SchemaRow& end = RegisterAccessors()[kSchemaColumnCount];
    EXPECT_EQ(end.table, nullptr);
    EXPECT_EQ(end.column, nullptr);
    EXPECT_FALSE(HasSetter(end));
    EXPECT_FALSE(HasGetter(end));
    EXPECT_EQ(end.type, 0u);
}

TEST(Schema, IsSortedInByteOrderByTableThenColumn) {
    const auto rows = SchemaRows();
    for (size_t i = 1; i < rows.size(); ++i) {
        const int byTable = std::strcmp(rows[i - 1]->table, rows[i]->table);
        const bool ordered =
            byTable < 0 || (byTable == 0 && std::strcmp(rows[i - 1]->column, rows[i]->column) < 0);
        EXPECT_TRUE(ordered) << rows[i - 1]->table << "." << rows[i - 1]->column << " before "
                             << rows[i]->table << "." << rows[i]->column;
    }
    auto firstIndexOf = [&](std::string_view table) {
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i]->table == table)
                return i;
        return rows.size();
    };
    EXPECT_LT(firstIndexOf("FE_SelectCountryEndless"), firstIndexOf("Factory"));
    EXPECT_LT(firstIndexOf("FE_Main"), firstIndexOf("Factory"));
    EXPECT_GT(firstIndexOf("UIF_mission_difficulty"), firstIndexOf("UIF_UpdateStation"));
}

TEST(Schema, RegistersTheSameArrayEveryTime) {
    EXPECT_EQ(RegisterAccessors(), RegisterAccessors());
}

TEST(Schema, KeepsSameNamedColumnsApartWithTheirOwnTypes) {
    std::map<std::string, TypeCode> demolitionCost;
    int prices = 0;
    for (const SchemaRow* row : SchemaRows()) {
        if (std::string_view(row->column) == "DemolitionCost")
            demolitionCost[row->table] = row->type;
        if (std::string_view(row->column) == "Price")
            ++prices;
    }
    EXPECT_EQ(prices, 7);
    for (const char* table : {"Signal", "RouteBuilder", "StationExtention", "Factory"})
        EXPECT_EQ(demolitionCost[table], type_code::kMasterValue) << table;
    for (const char* table : {"Station", "LivingBuilding"})
        EXPECT_EQ(demolitionCost[table], type_code::kMasterTable) << table;
}

TEST(Schema, KeepsTheNamesLetterForLetter) {
    std::set<std::string> columns;
    for (const SchemaRow* row : SchemaRows())
        columns.insert(std::string(row->table) + "." + row->column);
    for (const char* name :
         {"GlobalConstants.BrigdeTunnelCostModifier", "Vehicle.Accelaration", "Vehicle.DetoriationPerSquare",
          "StoragePlace.DemolitionCosts", "WaterTower.DemolistionCosts", "StationExtention.Name",
          "FE_SelectCountryCampain.UIText", "CityStyle.PlaceReservationPropability",
          "VehicleConstants.BreakDownTreshold", "PrivateCar.MaxAminationsPerRotation",
          "VehicleConstants.LoadingTimePenaltyforOverlength", "FactoryLayout.ModulSize", "Factory.FactoryTyp",
          "SpecialEvents.EventTyp", "Terrain.TerrainMixtureTyp", "InterfaceTextContainer.Text_"})
        EXPECT_TRUE(columns.count(name)) << name;
}

// Only the columns of the two crash-report tables lack accessors, and every
// accessor takes the value the column's type passes.
TEST(Schema, GivesEveryOtherColumnAccessorsOfItsType) {
    int withoutAccessors = 0;
    for (const SchemaRow* row : SchemaRows()) {
        const std::string_view table = row->table;
        if (table == "BugReportDlg" || table == "MiniDump") {
            EXPECT_FALSE(HasSetter(*row) || HasGetter(*row)) << table << "." << row->column;
            ++withoutAccessors;
            continue;
        }
        const std::string name = std::string(table) + "." + row->column;
        switch (row->type) {
        case type_code::kMasterValue:
            EXPECT_TRUE(std::holds_alternative<ValueSetter>(row->setter)) << name;
            EXPECT_TRUE(std::holds_alternative<ValueGetter>(row->getter)) << name;
            break;
        case type_code::kMasterFlag:
            EXPECT_TRUE(std::holds_alternative<FlagSetter>(row->setter)) << name;
            EXPECT_TRUE(std::holds_alternative<FlagGetter>(row->getter)) << name;
            break;
        case type_code::kMasterString:
        case type_code::kMasterStrXlat:
            EXPECT_TRUE(std::holds_alternative<TextSetter>(row->setter)) << name;
            EXPECT_TRUE(std::holds_alternative<TextGetter>(row->getter)) << name;
            break;
        case type_code::kMasterTable:
            EXPECT_TRUE(std::holds_alternative<TableSetter>(row->setter)) << name;
            EXPECT_TRUE(std::holds_alternative<TableGetter>(row->getter)) << name;
            break;
        default:
            ADD_FAILURE() << name << " has type " << row->type;
        }
    }
    EXPECT_EQ(withoutAccessors, 8);
}

// Sets every column of a row to a value of its own through the schema, then
// reads all of them back: a setter that writes another column's field, or a
// getter that reads one, shows up as a wrong value.
class SchemaRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ResetAllTables(); }
    void TearDown() override { ResetAllTables(); }

    // A text each column accepts; the file-location tables want their own forms.
    static std::string TextFor(std::string_view table, int index) {
        const std::string text = "text " + std::to_string(index);
        if (table == "Root")
            return "file://" + text;
        if (table == "RootVirtualDirs")
            return "folder -> " + text;
        return text;
    }

    static ValueTable TableFor(int index) {
        ValueTable table;
        table.Resize(3, 2);
        for (uint32_t r = 0; r < 2; ++r)
            for (uint32_t c = 0; c < 3; ++c)
                table.SetCell(c, r, float(index * 10 + int(r * 3 + c)));
        return table;
    }
};

TEST_F(SchemaRoundTrip, EveryAccessorReachesItsOwnField) {
    constexpr int32_t kRow = 3;
    const auto rows = SchemaRows();
    // Records first, so that SpecialWaggonTypes, which never creates one, has its row.
    ASSERT_NE(VehicleTable::GetOrCreateRow(kRow), nullptr);

    for (size_t i = 0; i < rows.size(); ++i) {
        const SchemaRow& row = *rows[i];
        const int index = int(i) + 1;
        const std::string text = TextFor(row.table, index);
        bool stored = true;
        if (auto* setValue = std::get_if<ValueSetter>(&row.setter))
            stored = (*setValue)(kRow, float(index));
        else if (auto* setFlag = std::get_if<FlagSetter>(&row.setter))
            stored = (*setFlag)(kRow, uint8_t(index % 2));
        else if (auto* setText = std::get_if<TextSetter>(&row.setter))
            stored = (*setText)(kRow, text.c_str());
        else if (auto* setTable = std::get_if<TableSetter>(&row.setter))
            stored = (*setTable)(kRow, TableFor(index));
        EXPECT_TRUE(stored) << row.table << "." << row.column;
    }

    for (size_t i = 0; i < rows.size(); ++i) {
        const SchemaRow& row = *rows[i];
        const std::string name = std::string(row.table) + "." + row.column;
        const int index = int(i) + 1;
        if (auto* getValue = std::get_if<ValueGetter>(&row.getter)) {
            float value = -1;
            ASSERT_TRUE((*getValue)(kRow, &value)) << name;
            EXPECT_EQ(value, float(index)) << name;
        } else if (auto* getFlag = std::get_if<FlagGetter>(&row.getter)) {
            uint8_t value = 2;
            ASSERT_TRUE((*getFlag)(kRow, &value)) << name;
            EXPECT_EQ(value, index % 2) << name;
        } else if (auto* getText = std::get_if<TextGetter>(&row.getter)) {
            std::string value;
            ASSERT_TRUE((*getText)(kRow, &value)) << name;
            EXPECT_EQ(value, TextFor(row.table, index)) << name;
        } else if (auto* getTable = std::get_if<TableGetter>(&row.getter)) {
            ValueTable value;
            ASSERT_TRUE((*getTable)(kRow, &value)) << name;
            if (name == "Vehicle.SpecialWaggonTypes") {
                // Kept as a map of (column 0 -> column 1) pairs.
                ASSERT_EQ(value.RowCount(), 2u);
                EXPECT_EQ(value.Cell(0, 1), float(index * 10 + 3)) << name;
                EXPECT_EQ(value.Cell(1, 1), float(index * 10 + 4)) << name;
            } else {
                EXPECT_EQ(value, TableFor(index)) << name;
            }
        }
    }
}

} // namespace
