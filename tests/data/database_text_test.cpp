// The database text file: its exact layout, reading and merging, the
// round trip of every cell kind, and malformed files failing cleanly.
#include "database_fixture.h"

#include "platform/file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include <unistd.h>

namespace {

// Every cell kind, comments, a table column and an unknown table, which
// sorts before the others.
constexpr std::string_view kFile = R"(# database for the text tests
Alpha 0 4 2 1
Count Enabled Label Name
MASTER_VALUE MASTER_FLAG MASTER_STRING MASTER_STRXLAT
0 -1e37 1e37  1
2 3
"count comment" "flag comment"
0  12.5 1 "label zero" "name zero" "alt zero"
1  nan 0 "label
two lines" "name one" ""
Grid MASTER_TABLE
4 "grid comment"
0 2 3 1 2 3 4 5 6
1 0 0
# between blocks
Able 7 2 1 0
Extra Words
Mission_Flag Mission_StrXlat
0
1
""
3 1 "x"   "y"
)";

// kFile as the writer lays it out with W = 2.
constexpr std::string_view kWritten = "Able   2   2   1   0\n"
                                      "\tExtra\tWords\n"
                                      "          \tMission_Flag\tMission_StrXlat\n"
                                      "              \t0  \t1  \n"
                                      "              \t\"\"\t  \n"
                                      "\n"
                                      "3         \t1 \t\"x\"  \"y\"\n"
                                      "\n\n"
                                      "Alpha   0   4   2   1\n"
                                      "\tCount\tEnabled\tLabel\tName\n"
                                      "          \tMASTER_VALUE\tMASTER_FLAG\tMASTER_STRING\tMASTER_STRXLAT\n"
                                      "              \t0 -1e+37  1e+37\t1  \t2  \t3  \n"
                                      "              \t\"count comment\"\t\"flag comment\"\t  \t  \n"
                                      "\n"
                                      "0         \t12.5\t1 \t\"label zero\"\t\"name zero\"  \"alt zero\"\n"
                                      "1         \t0 \t0 \t\"label\ntwo lines\"\t\"name one\"  \"\"\n"
                                      "Grid\tMASTER_TABLE\n"
                                      "\t4  \n"
                                      "\t\"grid comment\"\n"
                                      "0\t2 3\n1    2    3    \n4    5    6    \n\n"
                                      "1\t0 0\n\n"
                                      "\n"
                                      "\n\n"
                                      "Beta   1   3   0   0\n"
                                      "\tLevel\tTotal\tNote\n"
                                      "          \tMission_Value\tMASTER_VALUE\tMission_String\n"
                                      "              \t0 -1e+37  1e+37\t2 -1e+37  1e+37\t1  \n"
                                      "              \t\"\"\t\"\"\t  \n"
                                      "\n"
                                      "\n\n";

std::string TextOf(Database& db) {
    std::string text;
    db.Write(text, KindSelector::All);
    return text;
}

class DatabaseTextTest : public DatabaseTestBase, public ::testing::Test {
protected:
    const DatabaseColumn& Column(std::string_view table, std::string_view column) {
        return db.FindTable(table)->columns.find(column)->second;
    }
    const DatabaseCell& Cell(std::string_view table, std::string_view column, int32_t row) {
        return *Column(table, column).FindCell(row);
    }
};

TEST_F(DatabaseTextTest, WritesTheFileLayout) {
    ASSERT_TRUE(db.Read(kFile));
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(WriteText(), kWritten);
}

TEST_F(DatabaseTextTest, ReadsEveryCellKind) {
    ASSERT_TRUE(db.Read(kFile));
    EXPECT_EQ(db.FindTable("Alpha")->rows, (std::set<int32_t>{0, 1}));
    EXPECT_EQ(Cell("Alpha", "Count", 0).Value(), 12.5f);
    EXPECT_FALSE(Cell("Alpha", "Count", 1).HasValue());
    EXPECT_EQ(Cell("Alpha", "Enabled", 0).Flag(), 1);
    EXPECT_EQ(Cell("Alpha", "Label", 1).Text(), "label\ntwo lines");
    EXPECT_EQ(Cell("Alpha", "Name", 0).Text(), "name zero");
    EXPECT_EQ(Cell("Alpha", "Name", 0).AltText(), "alt zero");
    const ValueTable& grid = Cell("Alpha", "Grid", 0).Table();
    ASSERT_EQ(grid.RowCount(), 2u);
    ASSERT_EQ(grid.ColumnCount(), 3u);
    EXPECT_EQ(grid.Cell(2, 1), 6.0f);
    EXPECT_EQ(Cell("Alpha", "Grid", 1).Table().RowCount(), 0u);
    EXPECT_EQ(Column("Alpha", "Count").comment, "count comment");
    EXPECT_EQ(Column("Alpha", "Grid").comment, "grid comment");
    EXPECT_EQ(Column("Alpha", "Grid").index, 4);

    // The unknown table and its columns are created, typed, without setters.
    const DatabaseColumn& words = Column("Able", "Words");
    EXPECT_EQ(words.type, type_code::kMissionStrXlat);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(words.setter));
    EXPECT_EQ(Cell("Able", "Words", 3).AltText(), "y");
}

TEST_F(DatabaseTextTest, RoundTripIsStable) {
    ASSERT_TRUE(db.Read(kFile));
    const std::string first = WriteText();
    for (int round = 0; round < 2; ++round) {
        Database again;
        again.InitFromSchema(schema.Rows());
        ASSERT_TRUE(again.Read(first));
        std::string text;
        ASSERT_TRUE(again.Write(text, KindSelector::All));
        EXPECT_EQ(text, first);
    }
}

TEST_F(DatabaseTextTest, RoundTripKeepsValuesTheSixDigitFormWouldChange) {
    const float values[] = {1234567.0f, 0.1f,    1.0f / 3.0f, 16777216.0f, -2.5e-7f,
                            1e-40f,     3.4e38f, -0.0f,       100000.0f};
    DatabaseTable& alpha = *db.FindTable("Alpha");
    DatabaseColumn& count = alpha.columns.at("Count");
    for (int32_t row = 0; row < int32_t(std::size(values)); ++row) {
        alpha.rows.insert(row);
        count.cells[row].SetType(count.type);
        count.cells[row].SetValue(values[row]);
    }
    count.minValue = 0.3f;
    for (auto& [name, column] : alpha.columns)
        column.SyncWithRows();
    const std::string text = WriteText();
    EXPECT_NE(text.find("\t1234567\t"), std::string::npos);
    EXPECT_NE(text.find("\t0.1\t"), std::string::npos);
    EXPECT_NE(text.find("\t100000\t"), std::string::npos);
    EXPECT_NE(text.find("\t3.4e+38\t"), std::string::npos);

    Database back;
    back.InitFromSchema(schema.Rows());
    back.SetLog(&log);
    ASSERT_TRUE(back.Read(text)) << log.str();
    const DatabaseColumn& read = back.FindTable("Alpha")->columns.at("Count");
    EXPECT_EQ(read.minValue, 0.3f);
    for (int32_t row = 0; row < int32_t(std::size(values)); ++row) {
        EXPECT_EQ(read.FindCell(row)->Value(), values[row]) << row;
        EXPECT_EQ(std::signbit(read.FindCell(row)->Value()), std::signbit(values[row])) << row;
    }
}

TEST_F(DatabaseTextTest, HeaderNumbersStaySeparable) {
    DatabaseTable& alpha = *db.FindTable("Alpha");
    alpha.index = 1234;
    for (int32_t row = 0; row < 1000; ++row)
        alpha.rows.insert(row);
    for (auto& [name, column] : alpha.columns)
        column.SyncWithRows();
    db.FindTable("Beta")->index = 12;
    const std::string text = WriteText();
    EXPECT_EQ(text.substr(0, text.find('\n')), "Alpha 1234   4 1000   1");
    EXPECT_NE(text.find("\nBeta  12   3   0   0\n"), std::string::npos);

    Database back;
    back.InitFromSchema(schema.Rows());
    ASSERT_TRUE(back.Read(text)) << log.str();
    EXPECT_EQ(back.FindTable("Alpha")->index, 1234);
    EXPECT_EQ(back.FindTable("Alpha")->rows.size(), 1000u);
}

TEST_F(DatabaseTextTest, FieldWidthComesFromTheStream) {
    ASSERT_TRUE(db.Read(kFile));
    std::ostringstream out;
    out.width(12);
    ASSERT_TRUE(db.Write(out, KindSelector::All));
    const std::string text = out.str();
    EXPECT_NE(text.find("\nAlpha          0   4   2   1\n"), std::string::npos);
    EXPECT_NE(text.find("\n\tCount       \tEnabled     \tLabel       \tName        \n"), std::string::npos);
    EXPECT_NE(text.find("\t0 -1e+37  1e+37\t1            \t2            \t3            \n"),
              std::string::npos);
    EXPECT_NE(text.find("\n     0              \t12.5        \t1           \t\"label zero\"\t\"name zero\"   "
                        "\"alt zero\"\n"),
              std::string::npos);
    Database back;
    back.InitFromSchema(schema.Rows());
    ASSERT_TRUE(back.Read(text));
    EXPECT_EQ(TextOf(back), TextOf(db));
}

TEST_F(DatabaseTextTest, KindSelectsTheColumnsWritten) {
    ASSERT_TRUE(db.Read(kFile));
    const std::string master = WriteText(KindSelector::Master);
    // Able has no master column: its header only, and an empty table's index.
    EXPECT_NE(master.find("Able  -1   0   0   0\n\n"), std::string::npos);
    EXPECT_NE(master.find("\nBeta   1   1   0   0\n\tTotal\n"), std::string::npos);
    EXPECT_NE(master.find("Alpha   0   4   2   1\n"), std::string::npos);

    const std::string mission = WriteText(KindSelector::Mission);
    EXPECT_NE(mission.find("Alpha  -1   0   0   0\n"), std::string::npos);
    EXPECT_NE(mission.find("\nBeta   1   2   0   0\n\tLevel\tNote\n"), std::string::npos);
    EXPECT_NE(mission.find("Able   2   2   1   0\n"), std::string::npos);
}

TEST_F(DatabaseTextTest, CommentsAndEmptyBlocks) {
    EXPECT_TRUE(db.Read("# only a comment\n  #another one\n#"));
    EXPECT_EQ(db.FindTable("Alpha")->index, 0);
    EXPECT_EQ(db.Tables().size(), 2u);
    EXPECT_TRUE(db.FindTable("Alpha")->rows.empty());

    // A "#" inside a block is the token the block expects, not a comment.
    EXPECT_TRUE(db.Read("New 3 2 0 0 # Other MASTER_VALUE MASTER_FLAG 5 -1 1 6 \"\" \"\""));
    const DatabaseTable& created = *db.FindTable("New");
    EXPECT_EQ(created.index, 2);
    EXPECT_TRUE(created.rows.empty());
    EXPECT_EQ(created.columns.at("#").index, 5);
    EXPECT_EQ(created.columns.at("Other").type, type_code::kMasterFlag);
}

TEST_F(DatabaseTextTest, UnknownTablesAreNumberedAfterAllOthers) {
    ASSERT_TRUE(db.Read("Beta 5 0 0 0\nAaa 0 0 0 0\nZzz -1 0 0 0\nZzz 9 0 0 0\n"));
    // A known table at -1 takes its index from the header; a table the
    // schema lacks never does.
    EXPECT_EQ(db.FindTable("Beta")->index, 5);
    EXPECT_EQ(db.FindTable("Alpha")->index, 6);
    EXPECT_EQ(db.FindTable("Aaa")->index, 7);
    EXPECT_EQ(db.FindTable("Zzz")->index, 8);
}

TEST_F(DatabaseTextTest, ReadingTwiceEqualsReadingOnce) {
    ASSERT_TRUE(db.Read(kFile));
    const std::string once = WriteText();
    ASSERT_TRUE(db.Read(kFile));
    EXPECT_EQ(WriteText(), once);
}

TEST_F(DatabaseTextTest, MergingTakesLaterCellsAndKeepsTheFirstIndex) {
    ASSERT_TRUE(db.Read(kFile));
    ASSERT_TRUE(db.Read("Alpha 9 1 1 0\nCount\nMASTER_VALUE\n8 0 100\n\"new\"\n1 42\n"
                        "Alpha 9 0 1 0\n5\n"));
    const DatabaseTable& alpha = *db.FindTable("Alpha");
    EXPECT_EQ(alpha.index, 0);
    EXPECT_EQ(alpha.rows, (std::set<int32_t>{0, 1, 5}));
    EXPECT_EQ(Cell("Alpha", "Count", 0).Value(), 12.5f);
    EXPECT_EQ(Cell("Alpha", "Count", 1).Value(), 42.0f);
    EXPECT_FALSE(Cell("Alpha", "Count", 5).HasValue());
    EXPECT_EQ(Cell("Alpha", "Label", 5).Text(), "");
    EXPECT_EQ(Column("Alpha", "Count").index, 8);
    EXPECT_EQ(Column("Alpha", "Count").maxValue, 100.0f);
    EXPECT_EQ(Column("Alpha", "Count").comment, "new");
    EXPECT_EQ(Cell("Alpha", "Name", 1).Text(), "name one");
}

TEST_F(DatabaseTextTest, RowsInAnyOrderAndRepeatedRows) {
    ASSERT_TRUE(db.Read("Alpha 0 1 4 0 Count MASTER_VALUE 0 0 1 \"\" 5 1 3 2 5 3 -2 4"));
    EXPECT_EQ(db.FindTable("Alpha")->rows, (std::set<int32_t>{-2, 3, 5}));
    EXPECT_EQ(Cell("Alpha", "Count", 5).Value(), 3.0f);
    EXPECT_EQ(Cell("Alpha", "Count", 3).Value(), 2.0f);
    EXPECT_EQ(Cell("Alpha", "Count", -2).Value(), 4.0f);
    EXPECT_EQ(Column("Alpha", "Label").cells.size(), 3u);
}

TEST_F(DatabaseTextTest, FileTypesRetypeSchemaColumns) {
    ASSERT_TRUE(db.Read(kFile));
    ASSERT_TRUE(db.Read("Alpha 0 1 1 0\nCount\nMASTER_STRING\n0\n0 \"now a text\"\n"));
    EXPECT_EQ(Cell("Alpha", "Count", 0).Text(), "now a text");
    EXPECT_EQ(Cell("Alpha", "Count", 1).Type(), type_code::kMasterString);
    EXPECT_EQ(Cell("Alpha", "Count", 1).Text(), "");
}

TEST_F(DatabaseTextTest, AcceptsWhatStreamInputAccepts) {
    ASSERT_TRUE(db.Read("Alpha 0 2 3 0 Count Enabled MASTER_VALUE MASTER_FLAG\n"
                        "+0 -5e-1 .5e2 +1 \"\" \"\"\n"
                        "0 +2.5 +1\n1 1E3 -0\n\t2\t1e-50\t01\r\n"));
    EXPECT_EQ(Column("Alpha", "Count").minValue, -0.5f);
    EXPECT_EQ(Column("Alpha", "Count").maxValue, 50.0f);
    EXPECT_EQ(Column("Alpha", "Enabled").index, 1);
    EXPECT_EQ(Cell("Alpha", "Count", 0).Value(), 2.5f);
    EXPECT_EQ(Cell("Alpha", "Count", 1).Value(), 1000.0f);
    EXPECT_EQ(Cell("Alpha", "Count", 2).Value(), 0.0f);
    EXPECT_EQ(Cell("Alpha", "Enabled", 1).Flag(), 0);
    EXPECT_EQ(Cell("Alpha", "Enabled", 2).Flag(), 1);
}

TEST_F(DatabaseTextTest, QuotedTextsSkipToTheirQuotesAndDropCarriageReturns) {
    ASSERT_TRUE(db.Read("Alpha 0 1 1 0\r\nName\r\nMASTER_STRXLAT\r\n3\r\n"
                        "0 \"first\r\nline\r\r\n\r\" junk \n\n \"second\"\r\n"));
    EXPECT_EQ(Cell("Alpha", "Name", 0).Text(), "first\nline\n\r");
    EXPECT_EQ(Cell("Alpha", "Name", 0).AltText(), "second");
}

TEST_F(DatabaseTextTest, EmptyTablesMayBeWide) {
    ASSERT_TRUE(db.Read("Alpha 0 0 1 1 0 Grid MASTER_TABLE 4 \"\" 0 0 100000"));
    EXPECT_EQ(Cell("Alpha", "Grid", 0).Table().ColumnCount(), 100000u);
    EXPECT_NE(WriteText().find("\n0\t0 100000\n\n"), std::string::npos);
}

TEST_F(DatabaseTextTest, TheLongestTextReadsBack) {
    const std::string longest(9998, 'x');
    ASSERT_TRUE(db.Read("Alpha 0 1 1 0 Label MASTER_STRING 2 0 \"" + longest + "\""));
    EXPECT_EQ(Cell("Alpha", "Label", 0).Text(), longest);
}

struct Malformed {
    const char* name;
    std::string text;
    std::string logged;
};

class MalformedFileTest : public DatabaseTestBase, public ::testing::TestWithParam<Malformed> {};

// Each malformed file starts with a good block, which stays read.
constexpr std::string_view kGood = "Beta 1 1 1 0 Total MASTER_VALUE 0 0 9 \"\" 4 8\n";

TEST_P(MalformedFileTest, FailsWithALogLineAndKeepsWhatWasRead) {
    const Malformed& c = GetParam();
    EXPECT_FALSE(db.Read(std::string(kGood) + c.text));
    EXPECT_NE(log.str().find(c.logged), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("ABORTING!  \n"), std::string::npos) << log.str();
    const DatabaseTable& beta = *db.FindTable("Beta");
    EXPECT_EQ(beta.columns.at("Total").FindCell(4)->Value(), 8.0f);
    // Every table stays whole: one cell per row in every column.
    for (const auto& [tableName, table] : db.Tables())
        for (const auto& [columnName, column] : table.columns)
            EXPECT_EQ(column.cells.size(), table.rows.size()) << tableName << "." << columnName;
}

const Malformed kMalformed[] = {
    {"BadNumber", "Alpha 0 1 1 0 Count MASTER_VALUE 0 0 1 \"\" 0 12x5",
     "FAILED - Alpha :: Count, line 2: malformed number"},
    {"BadCellKeepsTheFormerOne", "Beta 1 1 1 0 Total MASTER_VALUE 0 0 9 \"\" 4 8x", "malformed number"},
    {"BadHeader", "Alpha zero 1 1 0", "FAILED - Alpha, line 2: malformed number"},
    {"BadFlag", "Alpha 0 1 1 0 Enabled MASTER_FLAG 0 \"\" 0 2", "malformed flag"},
    {"NumberOutOfRange", "Alpha 0 1 1 0 Count MASTER_VALUE 0 0 1 \"\" 0 1e39", "malformed number"},
    {"IntOutOfRange", "Alpha 3000000000 0 0 0", "number out of range"},
    {"BadTypeName", "Alpha 0 2 0 0 Count Label MASTER_VALUE master_string", "WRONG TYPE - Alpha :: Label\n"},
    {"BadTableColumnType", "Alpha 0 0 0 1 Grid MASTER_GRID 4 \"\"", "WRONG TYPE - Alpha :: Grid\n"},
    {"TruncatedHeader", "Alpha 0 1", "unexpected end of file"},
    {"TruncatedAfterName", "Alpha", "unexpected end of file"},
    {"TruncatedInRows", "Alpha 0 1 2 0 Count MASTER_VALUE 0 0 1 \"\" 0 1 1", "unexpected end of file"},
    {"TruncatedTable", "Alpha 0 0 1 1 0 Grid MASTER_TABLE 4 \"\" 0 2 2 1 2 3", "unexpected end of file"},
    {"UnterminatedText", "Alpha 0 1 1 0 Label MASTER_STRING 2 0 \"never closed", "without closing quote"},
    {"TextTooLong", "Alpha 0 1 1 0 Label MASTER_STRING 2 0 \"" + std::string(9999, 'x') + "\"",
     "longer than 9998"},
    {"MissingText", "Alpha 0 1 1 0 Label MASTER_STRING 2 0 ", "unexpected end of file"},
    {"HugeColumnCount", "Alpha 0 2000000000 0 0 Count", "column or row count 2000000000 does not fit"},
    {"NegativeRowCount", "Alpha 0 0 -1 0", "column or row count -1 does not fit"},
    {"HugeTable", "Alpha 0 0 1 1 0 Grid MASTER_TABLE 4 \"\" 0 100000 100000 1", "table of 100000 x 100000"},
    {"HugeTableRows", "Alpha 0 0 1 1 0 Grid MASTER_TABLE 4 \"\" 0 4000000000 0", "table of 4000000000 x 0"},
    {"NegativeTableSize", "Alpha 0 0 1 1 0 Grid MASTER_TABLE 4 \"\" 0 -1 1 5", "table of 4294967295 x 1"},
    {"RowBeyondTheLast", "Alpha 0 0 1 0 70000", "row 70000 beyond the last row 65535"},
};

INSTANTIATE_TEST_SUITE_P(DatabaseText, MalformedFileTest, ::testing::ValuesIn(kMalformed),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DatabaseTextTest, EveryCutOfAFileReadsWithoutHarm) {
    const std::string text(kFile);
    for (size_t length = 0; length < text.size(); ++length) {
        Database cut;
        cut.InitFromSchema(schema.Rows());
        cut.Read(std::string_view(text).substr(0, length));
        std::string written;
        EXPECT_TRUE(cut.Write(written, KindSelector::All)) << length;
    }
}

// The names, types, indexes and comments of flag columns c<first> to
// c<last - 1> in a block's header.
std::string FlagColumns(int first, int last) {
    std::string text;
    for (int c = first; c < last; ++c)
        text += " c" + std::to_string(c);
    for (int c = first; c < last; ++c)
        text += " MASTER_FLAG";
    for (int c = first; c < last; ++c)
        text += " 0";
    for (int c = first; c < last; ++c)
        text += " \"\"";
    return text;
}

TEST_F(DatabaseTextTest, ManyColumnsTimesManyRowsHitTheCellLimit) {
    // 2100 columns and 2100 rows would make 4.4 million cells from 30 kB of
    // text. The block that crosses the limit loses what it added; the table
    // stays whole.
    std::string rows;
    for (int r = 0; r < 2100; ++r)
        rows += " " + std::to_string(r);
    std::string rowsWithFlags;
    for (int r = 0; r < 2100; ++r)
        rowsWithFlags += " " + std::to_string(r) + " 1";
    struct Case {
        const char* name;
        std::string text;
        size_t rows;
        size_t columns;
    };
    const Case cases[] = {
        {"rows after columns", "Wide 0 2100 0 0" + FlagColumns(0, 2100) + "\nWide 0 0 2100 0" + rows, 0,
         2100},
        {"columns after rows",
         "Wide 0 1 2100 0" + FlagColumns(0, 1) + rowsWithFlags + "\nWide 0 2099 0 0" + FlagColumns(1, 2100),
         2100, 1},
    };
    for (const Case& c : cases) {
        Database wide;
        wide.InitFromSchema(schema.Rows());
        log.str("");
        wide.SetLog(&log);
        EXPECT_FALSE(wide.Read(c.text)) << c.name;
        EXPECT_NE(log.str().find("cells, more than 4194304"), std::string::npos)
            << c.name << ": " << log.str();
        const DatabaseTable& table = *wide.FindTable("Wide");
        EXPECT_EQ(table.rows.size(), c.rows) << c.name;
        ASSERT_EQ(table.columns.size(), c.columns) << c.name;
        for (const auto& [name, column] : table.columns)
            ASSERT_EQ(column.cells.size(), c.rows) << c.name << ": " << name;
    }
}

TEST_F(DatabaseTextTest, ABlockBeyondTheCellLimitIsRefusedBeforeItsCellsAreRead) {
    // 2100 x 2100 cells announced; the header alone decides, so the rows
    // need not be there.
    ASSERT_TRUE(db.Read(kFile));
    const std::string before = WriteText();
    log.str("");
    EXPECT_FALSE(db.Read("Wide 0 2100 2100 0" + FlagColumns(0, 2100)));
    EXPECT_NE(log.str().find("a block of 2100 rows and 2100 columns would hold 4410000 cells"),
              std::string::npos)
        << log.str();
    EXPECT_EQ(db.FindTable("Wide"), nullptr);
    EXPECT_EQ(WriteText(), before);
}

TEST_F(DatabaseTextTest, AColumnRetypedTwiceInOneReadEndsAsIfRetypedInTurn) {
    // Value, then text, then value again: the first value went with the
    // text, as it would had the file been read in three reads.
    ASSERT_TRUE(db.Read("Alpha 0 1 1 0\nCount\nMASTER_VALUE\n0 0 1\n\"\"\n0 7\n"
                        "Alpha 0 1 1 0\nCount\nMASTER_STRING\n0\n1 \"t\"\n"
                        "Alpha 0 1 1 0\nCount\nMASTER_VALUE\n0 0 1\n\"\"\n2 9\n"));
    Database inTurn;
    inTurn.InitFromSchema(schema.Rows());
    ASSERT_TRUE(inTurn.Read("Alpha 0 1 1 0\nCount\nMASTER_VALUE\n0 0 1\n\"\"\n0 7\n"));
    ASSERT_TRUE(inTurn.Read("Alpha 0 1 1 0\nCount\nMASTER_STRING\n0\n1 \"t\"\n"));
    ASSERT_TRUE(inTurn.Read("Alpha 0 1 1 0\nCount\nMASTER_VALUE\n0 0 1\n\"\"\n2 9\n"));
    EXPECT_FALSE(Cell("Alpha", "Count", 0).HasValue());
    EXPECT_FALSE(Cell("Alpha", "Count", 1).HasValue());
    EXPECT_EQ(Cell("Alpha", "Count", 2).Value(), 9.0f);
    std::string text;
    inTurn.Write(text, KindSelector::All);
    EXPECT_EQ(WriteText(), text);
}

TEST_F(DatabaseTextTest, TableColumnCellsOfRowsTheTableLacksAreDropped) {
    // Row 7 joins the table only in the last block: its grid from the block
    // before is gone by then.
    ASSERT_TRUE(db.Read("Alpha 0 0 0 0\n"
                        "Alpha 0 0 1 1 5 Grid MASTER_TABLE 4 \"\" 7 1 1 9\n"
                        "Alpha 0 1 1 0 Count MASTER_VALUE 0 0 1 \"\" 7 3\n"));
    EXPECT_EQ(db.FindTable("Alpha")->rows, (std::set<int32_t>{5, 7}));
    EXPECT_TRUE(Cell("Alpha", "Grid", 7).Table().Empty());
    EXPECT_TRUE(Cell("Alpha", "Grid", 5).Table().Empty());
    EXPECT_EQ(Cell("Alpha", "Count", 7).Value(), 3.0f);
}

TEST_F(DatabaseTextTest, FailedStreamsAreRefused) {
    std::istringstream in{std::string(kFile)};
    in.setstate(std::ios::failbit);
    EXPECT_FALSE(db.Read(in));
    EXPECT_TRUE(db.FindTable("Alpha")->rows.empty());

    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(db.Write(out, KindSelector::All));

    std::istringstream good{std::string(kFile)};
    EXPECT_TRUE(db.Read(good));
    EXPECT_EQ(db.FindTable("Alpha")->rows.size(), 2u);
}

TEST_F(DatabaseTextTest, ProgressRunsFromZeroUpToFifty) {
    std::vector<int> seen;
    auto progress = [&](int value) { seen.push_back(value); };
    ASSERT_TRUE(db.Read(kFile, progress));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LE(seen.back(), 50);

    seen.clear();
    std::istringstream empty;
    EXPECT_TRUE(db.Read(empty, progress));
    EXPECT_EQ(seen, std::vector<int>{0});
}

TEST_F(DatabaseTextTest, TextsTheFileCannotHoldAreNotWritten) {
    ASSERT_TRUE(db.Read(kFile));
    db.FindTable("Alpha")->columns.at("Name").FindCell(1)->SetAltText("say \"hi\"");
    std::ostringstream out;
    EXPECT_FALSE(db.Write(out, KindSelector::All));
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(log.str().find("FAILED - Alpha :: Name: the text of row 1 holds a double quote"),
              std::string::npos);

    db.FindTable("Alpha")->columns.at("Name").FindCell(1)->SetAltText("");
    db.FindTable("Alpha")->columns.at("Count").comment = std::string(9999, 'c');
    EXPECT_FALSE(db.Write(out, KindSelector::All));
}

class DatabaseFileTest : public DatabaseTextTest {
protected:
    DatabaseFileTest() {
        char pattern[] = "/tmp/md-database-XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/MDConfig.gen";
    }
    ~DatabaseFileTest() override {
        plat::RemoveFile(path_);
        rmdir(dir_.c_str());
    }
    std::string dir_;
    std::string path_;
};

TEST_F(DatabaseFileTest, WriteFileReplacesTheFileWholeOrNotAtAll) {
    ASSERT_TRUE(plat::WriteFileAtomically(path_, std::string_view("old contents")));
    ASSERT_TRUE(db.Read(kFile));
    ASSERT_TRUE(db.WriteFile(path_, KindSelector::All));
    std::string onDisk;
    ASSERT_TRUE(plat::ReadWholeFile(path_, onDisk));
    EXPECT_EQ(onDisk, kWritten);

    Database back;
    back.InitFromSchema(schema.Rows());
    ASSERT_TRUE(back.ReadFile(path_));
    EXPECT_EQ(TextOf(back), kWritten);

    // A database that cannot be written leaves the file as it was.
    db.FindTable("Alpha")->columns.at("Label").FindCell(0)->SetText("\"");
    EXPECT_FALSE(db.WriteFile(path_, KindSelector::All));
    ASSERT_TRUE(plat::ReadWholeFile(path_, onDisk));
    EXPECT_EQ(onDisk, kWritten);

    EXPECT_FALSE(db.ReadFile(dir_ + "/missing.gen"));
    EXPECT_NE(log.str().find("NOT FOUND - " + dir_ + "/missing.gen"), std::string::npos);
}

} // namespace
