// The game database: building from the schema, pushing cells through the
// setters by kind, translated cells, indexes and the diagnostic lines.
#include "database_fixture.h"

#include "data/xlat_texts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Two rows of Alpha and one of Beta, with every kind of cell.
constexpr std::string_view kFixture = R"(Alpha 0 4 2 1
Count Enabled Label Name
MASTER_VALUE MASTER_FLAG MASTER_STRING MASTER_STRXLAT
0 -1e37 1e37  1
2 3
"count" "enabled"
0  12.5 1 "label zero" "name zero" "alt zero"
1  7 0 "label one" "name one" "alt one"
Grid MASTER_TABLE
4 "grid"
0 2 3 1 2 3 4 5 6
1 0 0
Beta 1 3 1 0
Level Total Note
Mission_Value MASTER_VALUE Mission_String
0 0 9  1 0 9
2
"" ""
4 3 8 "note"
)";

class DatabaseTest : public DatabaseTestBase, public ::testing::Test {};

TEST_F(DatabaseTest, InitBuildsTheSchemaSkeleton) {
    ASSERT_EQ(db.Tables().size(), 2u);
    const DatabaseTable* alpha = db.FindTable("Alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->columns.size(), 5u);
    EXPECT_EQ(alpha->index, -1);
    EXPECT_EQ(alpha->columns.at("Name").type, type_code::kMasterStrXlat);
    EXPECT_EQ(alpha->columns.at("Name").table, alpha);
    EXPECT_EQ(alpha->columns.at("Count").minValue, -1e37f);
    EXPECT_EQ(alpha->columns.at("Count").maxValue, 1e37f);
    EXPECT_EQ(db.FindTable(""), nullptr);

    // Init drops what was read and returns to the skeleton.
    ASSERT_TRUE(db.Read(kFixture));
    db.InitFromSchema(schema.Rows());
    alpha = db.FindTable("Alpha");
    EXPECT_TRUE(alpha->rows.empty());
    EXPECT_TRUE(alpha->columns.at("Count").cells.empty());
    EXPECT_EQ(alpha->index, -1);
    EXPECT_EQ(alpha->columns.at("Count").index, -1);
}

TEST_F(DatabaseTest, ApplyingAnEmptyDatabaseCallsNoSetter) {
    for (int kind : {0, 1, 2, 3, 4})
        EXPECT_TRUE(db.ApplyAllTables(KindSelector(kind)));
    EXPECT_TRUE(schema.calls.empty());
}

TEST_F(DatabaseTest, ApplyTablePushesTheColumnsOfItsKind) {
    ASSERT_TRUE(db.Read(kFixture));
    // Beta's mission string column has no setter.
    const std::string noMethod = "NO METHOD - Beta :: SetNote ( 4, \"note\" )\n";
    struct Case {
        int kind;
        bool result;
        std::vector<std::string> calls;
        std::string log;
    };
    const Case cases[] = {
        {1, true, {"Beta.Total[4]=8"}, ""},
        {2, false, {"Beta.Level[4]=3"}, noMethod},
        {3, false, {"Beta.Level[4]=3", "Beta.Total[4]=8"}, noMethod},
        {0, true, {}, ""},
        {4, true, {}, ""},
    };
    for (const Case& c : cases) {
        schema.calls.clear();
        log.str("");
        EXPECT_EQ(db.ApplyTable("Beta", KindSelector(c.kind)), c.result) << c.kind;
        EXPECT_EQ(schema.calls, c.calls) << c.kind;
        EXPECT_EQ(log.str(), c.log) << c.kind;
    }
}

TEST_F(DatabaseTest, ApplyTablePushesEveryCellInColumnAndRowOrder) {
    ASSERT_TRUE(db.Read(kFixture));
    EXPECT_TRUE(db.ApplyTable("Alpha", KindSelector::All));
    EXPECT_EQ(schema.calls,
              (std::vector<std::string>{"Alpha.Count[0]=12.5", "Alpha.Count[1]=7", "Alpha.Enabled[0]=1",
                                        "Alpha.Enabled[1]=0", "Alpha.Grid[0]=2x3", "Alpha.Grid[1]=0x0",
                                        "Alpha.Label[0]=label zero", "Alpha.Label[1]=label one",
                                        "Alpha.Name[0]=name zero", "Alpha.Name[1]=name one"}));
    EXPECT_EQ(log.str(), "");
}

TEST_F(DatabaseTest, ApplyTableOfAMissingTableFails) {
    ASSERT_TRUE(db.Read(kFixture));
    EXPECT_FALSE(db.ApplyTable("Gamma", KindSelector::All));
    EXPECT_FALSE(db.ApplyTable(nullptr, KindSelector::All));
    EXPECT_EQ(log.str(), "NOT FOUND - Gamma\nNOT FOUND - \n");
    EXPECT_TRUE(schema.calls.empty());
}

TEST_F(DatabaseTest, FailedCellsAreReportedAndTheRestStillPushed) {
    ASSERT_TRUE(db.Read(kFixture));
    DatabaseTable& alpha = *db.FindTable("Alpha");
    alpha.columns.at("Count").FindCell(0)->SetValue(kNoValue);

    EXPECT_FALSE(db.ApplyAllTables(KindSelector::All));
    EXPECT_NE(std::find(schema.calls.begin(), schema.calls.end(), "Alpha.Count[1]=7"), schema.calls.end());
    EXPECT_NE(std::find(schema.calls.begin(), schema.calls.end(), "Beta.Total[4]=8"), schema.calls.end());
    EXPECT_EQ(log.str(), "FAILED - Alpha :: SetCount ( 0, 0 )\n"
                         "NO METHOD - Beta :: SetNote ( 4, \"note\" )\n");

    // A refusing setter counts as a failure too.
    log.str("");
    schema.accept = false;
    EXPECT_FALSE(db.SetColumnValue("Alpha", "Enabled", &alpha.columns.at("Enabled"), 1));
    EXPECT_EQ(log.str(), "FAILED - Alpha :: SetEnabled ( 1, 0 )\n");
}

TEST_F(DatabaseTest, SetColumnValueReportsMissingColumnsAndBadTypes) {
    ASSERT_TRUE(db.Read(kFixture));
    EXPECT_FALSE(db.SetColumnValue("Alpha", "Missing", nullptr, 3));
    DatabaseColumn& count = db.FindTable("Alpha")->columns.at("Count");
    count.SetType(type_code::kMaster);
    EXPECT_FALSE(db.SetColumnValue("Alpha", "Count", &count, 0));
    EXPECT_EQ(log.str(), "NOT FOUND - Alpha :: SetMissing( 3 )\nWRONG TYPE - Alpha :: SetCount( 0 )\n");

    // A setter of another storage than the column's is never called.
    count.SetType(type_code::kMasterString);
    log.str("");
    EXPECT_FALSE(db.SetColumnValue("Alpha", "Count", &count, 0));
    EXPECT_EQ(log.str(), "FAILED - Alpha :: SetCount ( 0, \"\" )\n");
    EXPECT_TRUE(schema.calls.empty());
}

TEST_F(DatabaseTest, WithoutALogFailuresAreSilent) {
    // The same failures write lines while a log is set, and nothing at all,
    // on any stream, once it is taken away.
    auto fail = [&] {
        EXPECT_FALSE(db.ApplyTable("Gamma", KindSelector::All));
        EXPECT_FALSE(db.SetColumnValue("Alpha", "Missing", nullptr, 3));
        EXPECT_FALSE(db.Read("Alpha 0 1 1 0 Count MASTER_VALUE 0 0 1 \"\" 0 x"));
        EXPECT_FALSE(db.ReadFile("no/such/file.gen"));
    };
    fail();
    EXPECT_NE(log.str(), "");
    log.str("");
    db.SetLog(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    fail();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(log.str(), "");
}

TEST_F(DatabaseTest, LogLineWritesOnlyTheGivenParts) {
    DatabaseCell value;
    value.SetType(type_code::kMasterValue);
    value.SetValue(2.5f);
    DatabaseCell grid;
    grid.SetType(type_code::kMasterTable);
    struct Case {
        const char* table;
        const char* operation;
        const char* column;
        int32_t row;
        const DatabaseCell* cell;
        std::string line;
    };
    const Case cases[] = {
        {"T", "Set", "C", 4, &value, "P - T :: SetC( 4, 2.5 )\n"},
        {"T", "Set", nullptr, -1, nullptr, "P - TSet\n"},
        {"T", nullptr, "C", -1, nullptr, "P - T :: C\n"},
        {nullptr, nullptr, nullptr, 7, &grid, "P - ( 7 )\n"},
        {nullptr, nullptr, nullptr, -1, nullptr, "P - \n"},
    };
    for (const Case& c : cases) {
        log.str("");
        db.LogLine("P - ", c.table, c.operation, c.column, c.row, c.cell);
        EXPECT_EQ(log.str(), c.line);
    }
}

class TranslationTest : public DatabaseTest {
protected:
    TranslationTest() { db.SetXlatTexts(&texts); }
    XlatTexts texts;
};

TEST_F(TranslationTest, TranslatedCellsTakeTheirTranslation) {
    ASSERT_TRUE(db.Read(kFixture));
    // Alpha has table index 0 and Name column index 3.
    const std::string key0 = XlatKey(0, 3, 0);
    const std::string key1 = XlatKey(0, 3, 1);
    texts.Load("\"" + key0 + "\"\ng\"Hallo\"\n#\"Hash\"\n\"" + key1 + "\"\ng\"Welt\"\n#\"\"\n");
    texts.SetLetter('g');

    EXPECT_TRUE(db.ApplyTable("Alpha", KindSelector::All));
    const DatabaseColumn& name = db.FindTable("Alpha")->columns.at("Name");
    EXPECT_EQ(name.FindCell(0)->Text(), "Hallo");
    EXPECT_EQ(name.FindCell(0)->AltText(), "Hash");
    // An empty "#" entry is the untranslated marker and leaves altText alone.
    EXPECT_EQ(name.FindCell(1)->Text(), "Welt");
    EXPECT_EQ(name.FindCell(1)->AltText(), "alt one");
    EXPECT_NE(std::find(schema.calls.begin(), schema.calls.end(), "Alpha.Name[0]=Hallo"), schema.calls.end());
    // Untranslated string columns keep their text.
    EXPECT_EQ(db.FindTable("Alpha")->columns.at("Label").FindCell(0)->Text(), "label zero");
}

TEST_F(TranslationTest, WithoutTranslationTheCellKeepsItsOwnText) {
    ASSERT_TRUE(db.Read(kFixture));
    texts.Load("\"" + XlatKey(0, 3, 0) + "\"\nf\"Bonjour\"\n");
    texts.SetLetter('g');
    EXPECT_TRUE(db.ApplyTable("Alpha", KindSelector::All));
    const DatabaseCell& cell = *db.FindTable("Alpha")->columns.at("Name").FindCell(0);
    EXPECT_EQ(cell.Text(), "name zero");
    EXPECT_EQ(cell.AltText(), "alt zero");
    EXPECT_NE(std::find(schema.calls.begin(), schema.calls.end(), "Alpha.Name[0]=name zero"),
              schema.calls.end());
}

TEST(XlatKey, PacksTableColumnAndRowWrapping) {
    EXPECT_EQ(XlatKey(2, 3, 5), std::to_string((2 * 256 + 3) * 65536 + 5));
    EXPECT_EQ(XlatKey(0, 0, 0), "0");
    EXPECT_EQ(XlatKey(128, 0, 0), "-2147483648");
    EXPECT_EQ(XlatKey(255, 255, 65535), "-1");
    EXPECT_EQ(XlatKey(-1, 0, 0), "-16777216");
}

TEST(DatabaseCell, SetTypeKeepsContentOnlyWithinOneStorage) {
    DatabaseCell cell;
    EXPECT_FALSE(cell.HasValue());
    EXPECT_TRUE(std::isnan(cell.Value()));

    cell.SetType(type_code::kMasterValue);
    cell.SetValue(4.5f);
    cell.SetType(type_code::kMissionValue);
    EXPECT_EQ(cell.Value(), 4.5f);
    EXPECT_TRUE(cell.HasValue());

    cell.SetType(type_code::kMasterString);
    EXPECT_EQ(cell.Text(), "");
    cell.SetText("kept");
    cell.SetType(type_code::kMissionStrXlat);
    EXPECT_EQ(cell.Text(), "kept");

    cell.SetType(type_code::kMasterTable);
    EXPECT_EQ(cell.Table().RowCount(), 0u);
    cell.MutableTable()->Resize(2, 2);
    cell.SetType(type_code::kMasterFlag);
    EXPECT_EQ(cell.Flag(), 0);
    EXPECT_TRUE(cell.HasValue());

    cell.SetType(type_code::kMasterValue);
    EXPECT_FALSE(cell.HasValue());
}

TEST_F(DatabaseTest, SyncWithRowsLeavesOneCellPerRow) {
    DatabaseTable& alpha = *db.FindTable("Alpha");
    DatabaseColumn& count = alpha.columns.at("Count");
    alpha.rows = {1, 3, 5};
    for (int32_t row : {0, 3, 4, 9}) {
        count.cells[row].SetType(type_code::kMasterValue);
        count.cells[row].SetValue(float(row));
    }
    count.SyncWithRows();
    ASSERT_EQ(count.cells.size(), 3u);
    EXPECT_FALSE(count.FindCell(1)->HasValue());
    EXPECT_EQ(count.FindCell(3)->Value(), 3.0f);
    EXPECT_EQ(count.FindCell(5)->Type(), type_code::kMasterValue);
    EXPECT_EQ(count.FindCell(0), nullptr);
    EXPECT_EQ(count.FindCell(9), nullptr);
}

TEST_F(DatabaseTest, NextIndexesNumberOnFromTheHighest) {
    EXPECT_EQ(db.NextTableIndex("Alpha"), 0);
    EXPECT_EQ(db.NextTableIndex("Gamma"), -1);
    EXPECT_EQ(db.NextColumnIndex("Alpha", "Count"), 0);
    EXPECT_EQ(db.NextColumnIndex("Alpha", ""), -1);
    EXPECT_EQ(db.NextColumnIndex("", "Count"), -1);
    EXPECT_EQ(db.NextColumnIndex("Alpha", "Missing"), -1);
    EXPECT_EQ(db.NextColumnIndex("Gamma", "Count"), -1);

    db.FindTable("Beta")->index = 6;
    db.FindTable("Alpha")->columns.at("Grid").index = 4;
    EXPECT_EQ(db.NextTableIndex("Alpha"), 7);
    EXPECT_EQ(db.NextTableIndex("Beta"), 6);
    EXPECT_EQ(db.NextColumnIndex("Alpha", "Count"), 5);
    EXPECT_EQ(db.NextColumnIndex("Alpha", "Grid"), 4);
    // Nothing is stored.
    EXPECT_EQ(db.FindTable("Alpha")->index, -1);
}

TEST_F(DatabaseTest, GetTableGivesTheTableOnlyForItsKinds) {
    ASSERT_TRUE(db.Read(kFixture));
    const DatabaseTable& alpha = *db.FindTable("Alpha");
    EXPECT_EQ(&db.GetTable("Alpha", KindSelector::All), &alpha);
    EXPECT_EQ(&db.GetTable("Alpha", KindSelector::Master), &alpha);
    EXPECT_TRUE(db.GetTable("Alpha", KindSelector::Mission).columns.empty());
    EXPECT_TRUE(db.GetTable("Alpha", KindSelector(0)).rows.empty());
    EXPECT_EQ(&db.GetTable("Beta", KindSelector::Mission), db.FindTable("Beta"));
    EXPECT_TRUE(db.GetTable("Gamma", KindSelector::All).columns.empty());
}

TEST(ColumnCounts, SelectByKindAndBits) {
    DatabaseColumns columns;
    for (TypeCode type : {5u, 9u, 19u, 33u, 32u, 18u, 0u, 1u})
        columns["c" + std::to_string(type)].type = type;
    EXPECT_EQ(CountColumns(columns, KindSelector::Master), 4);
    EXPECT_EQ(CountColumns(columns, KindSelector::Mission), 2);
    EXPECT_EQ(CountColumns(columns, KindSelector::All), 6);
    EXPECT_EQ(CountColumns(columns, KindSelector(4)), 0);
    EXPECT_EQ(CountColumnsWithBits(columns, KindSelector::All, type_code::kTable), 2);
    EXPECT_EQ(CountColumnsWithBits(columns, KindSelector::Mission, type_code::kTable), 1);
}

TEST(TypeNames, AreExactAndCaseSensitive) {
    EXPECT_EQ(TypeFromName("MASTER_STRXLAT"), type_code::kMasterStrXlat);
    EXPECT_EQ(TypeFromName("Mission_Table"), type_code::kMissionTable);
    EXPECT_EQ(TypeFromName("master_value"), 0u);
    EXPECT_EQ(TypeFromName("MISSION_TABLE"), 0u);
    EXPECT_EQ(TypeFromName(""), 0u);
    for (TypeCode code : {0u, 1u, 2u, 3u, 6u})
        EXPECT_EQ(TypeName(code), "") << code;
}

TEST(GetDatabase, IsOneDatabaseBuiltFromTheSchema) {
    Database& first = GetDatabase();
    EXPECT_EQ(&first, &GetDatabase());
    EXPECT_EQ(first.Tables().size(), size_t(kSchemaTableCount));
    size_t columns = 0;
    for (const auto& [name, table] : first.Tables())
        columns += table.columns.size();
    EXPECT_EQ(columns, size_t(kSchemaColumnCount));
}

} // namespace
