// The game data shipped in gamedata/ must stay complete and canonical, and
// must apply cleanly: the program reads it at every start.
#include "data/database.h"
#include "data/generated/economy_tables.h"
#include "data/generated/interface_tables.h"
#include "data/generated/tables.h"
#include "data/generated/vehicle_tables.h"
#include "data/number_format.h"
#include "data/schema.h"
#include "data/xlat_texts.h"
#include "platform/file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

constexpr const char* kDefaultDatabase = "gamedata/config/MDConfig.gen";

std::string ReadDefaultDatabase() {
    std::string text;
    EXPECT_TRUE(plat::ReadWholeFile(kDefaultDatabase, text)) << kDefaultDatabase;
    return text;
}

TEST(DefaultGameData, NamesEveryTableAndColumnOfTheSchemaWithItsType) {
    // A database without schema knows only what the file itself declares.
    Database bare;
    SchemaRow terminator{};
    bare.InitFromSchema(&terminator);
    std::ostringstream log;
    bare.SetLog(&log);
    ASSERT_TRUE(bare.Read(ReadDefaultDatabase())) << log.str();

    int columns = 0;
    for (const SchemaRow* row = RegisterAccessors(); row->table && row->column; ++row) {
        const DatabaseTable* table = bare.FindTable(row->table);
        ASSERT_NE(table, nullptr) << row->table;
        auto column = table->columns.find(row->column);
        ASSERT_NE(column, table->columns.end()) << row->table << "." << row->column;
        EXPECT_EQ(column->second.type, row->type) << row->table << "." << row->column;
        ++columns;
    }
    EXPECT_EQ(columns, kSchemaColumnCount);
    EXPECT_EQ(bare.Tables().size(), size_t(kSchemaTableCount));
}

TEST(DefaultGameData, IsInTheWritersCanonicalForm) {
    const std::string text = ReadDefaultDatabase();
    Database db;
    db.Init();
    ASSERT_TRUE(db.Read(text));
    std::string written;
    ASSERT_TRUE(db.Write(written, KindSelector::All));
    EXPECT_TRUE(written == text) << "run `make gamedata` to rewrite " << kDefaultDatabase;
}

TEST(DefaultGameData, AppliesWithoutFailureAndFormatsNumbers) {
    Database db;
    db.Init();
    std::ostringstream log;
    db.SetLog(&log);
    ASSERT_TRUE(db.Read(ReadDefaultDatabase()));
    EXPECT_TRUE(db.ApplyAllTables(KindSelector::All)) << log.str();

    EXPECT_EQ(FormatNumber(1234567890), "1,234,567,890");
    EXPECT_EQ(FormatNumber(-1000), "-1,000");
    EXPECT_EQ(FormatAmount(5000000000), "$5,000,000,000");
    EXPECT_EQ(FormatAmount(-999), "-$999");

    const GlobalConstantsRow* globals = GlobalConstantsTable::Find(0);
    ASSERT_NE(globals, nullptr);
    EXPECT_GT(globals->StartingMoney, 0);
}

TEST(DefaultGameData, ShippedTranslationsReachTheirCells) {
    std::string texts;
    ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/ingame.txt", texts));
    const struct {
        char letter;
        const char* number;
        const char* amount;
    } cases[] = {
        {kDefaultLanguageLetter, "-1,234,567", "$1,234,567"},
        {'f', "-1 234 567", "1 234 567 F"},
    };
    for (const auto& c : cases) {
        XlatTexts xlat;
        xlat.Load(texts);
        xlat.SetLetter(c.letter);
        Database db;
        db.Init();
        db.SetXlatTexts(&xlat);
        ASSERT_TRUE(db.Read(ReadDefaultDatabase()));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
        EXPECT_EQ(FormatNumber(-1234567), c.number) << c.letter;
        EXPECT_EQ(FormatAmount(1234567), c.amount) << c.letter;
    }
}

TEST(DefaultGameData, OffersAVehicleForEveryTransportMode) {
    Database db;
    db.Init();
    ASSERT_TRUE(db.Read(ReadDefaultDatabase()));
    ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));

    const char* const modes[] = {"road", "track", "water", "air"};
    for (int32_t mode = 0; mode < 4; ++mode) {
        int offered = 0;
        for (int32_t type = 0; type < VehicleTable::RowCount(); ++type) {
            const VehicleRow* row = VehicleTable::Find(type);
            if (!row || row->ConnectionType != mode)
                continue;
            EXPECT_GT(row->PurchasePrice, 0) << row->Name;
            EXPECT_GT(row->TravelTimeMsPerSquare, 0) << row->Name;
            EXPECT_LT(row->YearOfIntroduction, row->YearOfDiscard) << row->Name;
            // Rail engines carry nothing themselves: their waggons do.
            if (mode != 1) {
                EXPECT_GT(row->Capacity, 0) << row->Name;
            }
            // Speed and acceleration weigh the load against the tractive power.
            EXPECT_GT(row->TractivePower, 0) << row->Name;
            ++offered;
        }
        EXPECT_GT(offered, 0) << modes[mode];
    }

    ASSERT_GT(WaggonsTable::RowCount(), 0);
    for (int32_t type = 0; type < WaggonsTable::RowCount(); ++type) {
        const WaggonsRow* waggon = WaggonsTable::Find(type);
        ASSERT_NE(waggon, nullptr) << type;
        EXPECT_GT(waggon->Weight, 0.0f) << type;
    }
    // Every product travels in a waggon of the table.
    for (int32_t product = 0; product < ProductTable::RowCount(); ++product) {
        if (const ProductRow* row = ProductTable::Find(product)) {
            EXPECT_NE(WaggonsTable::Find(row->WaggonType), nullptr) << row->Name;
        }
    }
    EXPECT_GT(TruckTrailerTable::RowCount(), 0);
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    ASSERT_NE(constants, nullptr);
    EXPECT_GT(constants->DepreciationTime, 0);
    // The info text of a vehicle reads rows 0 to 11.
    EXPECT_EQ(ToolTip_VehicleTable::RowCount(), 12);
}

} // namespace
