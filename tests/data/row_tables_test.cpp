// Row records and the shared column accessors: how each kind of column
// stores and reads back, how tables grow, and the records' initial values.
#include "data/generated/tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class RowTables : public ::testing::Test {
protected:
    void SetUp() override { ResetAllTables(); }
    void TearDown() override { ResetAllTables(); }
};

struct WholeCase {
    float set;
    float expected;
};

// V columns keep whole numbers truncated toward zero; out-of-range floats
// saturate and NaN gives 0 instead of an undefined conversion.
TEST_F(RowTables, WholeNumberColumnsTruncateTowardZero) {
    const float inf = std::numeric_limits<float>::infinity();
    const WholeCase cases[] = {
        {2.9f, 2.0f},           {-2.9f, -2.0f},       {0.5f, 0.0f},
        {-0.5f, 0.0f},          {1850.0f, 1850.0f},   {std::nanf(""), 0.0f},
        {1e10f, 2147483647.0f}, {inf, 2147483647.0f}, {-1e10f, -2147483648.0f},
        {-inf, -2147483648.0f},
    };
    for (const WholeCase& c : cases) {
        ASSERT_TRUE(VehicleConstantsTable::SetMaxAcceleration(0, c.set));
        float out = 99.0f;
        ASSERT_TRUE(VehicleConstantsTable::GetMaxAcceleration(0, &out));
        EXPECT_EQ(out, c.expected) << "set " << c.set;
    }
    EXPECT_EQ(VehicleConstantsTable::Find(0)->MaxAcceleration, INT32_MIN);
}

TEST_F(RowTables, FloatColumnsKeepTheValueUnchanged) {
    for (float value : {2.9f, -2.9f, 1e-30f, 3.4e38f}) {
        ASSERT_TRUE(VehicleTable::SetTravellingCostPerSquare(1, value));
        float out = 0;
        ASSERT_TRUE(VehicleTable::GetTravellingCostPerSquare(1, &out));
        EXPECT_EQ(out, value);
    }
}

TEST_F(RowTables, ByteFlagsKeepTheByteAndWordFlagsReadBackAsOneOrZero) {
    struct FlagCase {
        uint8_t set;
        uint8_t byteFlag;
        uint8_t wordFlag;
    };
    for (const FlagCase& c :
         {FlagCase{0, 0, 0}, FlagCase{1, 1, 1}, FlagCase{2, 2, 1}, FlagCase{255, 255, 1}}) {
        ASSERT_TRUE(TerrainTable::SetIsWater(0, c.set));
        ASSERT_TRUE(GlobalConstantsTable::SetCanDemolishCityBuilding(0, c.set));
        uint8_t byteFlag = 7;
        uint8_t wordFlag = 7;
        ASSERT_TRUE(TerrainTable::GetIsWater(0, &byteFlag));
        ASSERT_TRUE(GlobalConstantsTable::GetCanDemolishCityBuilding(0, &wordFlag));
        EXPECT_EQ(byteFlag, c.byteFlag) << int(c.set);
        EXPECT_EQ(wordFlag, c.wordFlag) << int(c.set);
        EXPECT_EQ(GlobalConstantsTable::Find(0)->CanDemolishCityBuilding, c.set);
    }
}

TEST_F(RowTables, TextColumnsCopyTheTextAndNullMakesItEmpty) {
    std::string text = "Dampflok";
    ASSERT_TRUE(VehicleTable::SetName(2, text.c_str()));
    text[0] = 'X';
    std::string out;
    ASSERT_TRUE(VehicleTable::GetName(2, &out));
    EXPECT_EQ(out, "Dampflok");

    ASSERT_TRUE(PrivateCarTable::SetName(0, "Car"));
    ASSERT_TRUE(PrivateCarTable::SetName(0, nullptr));
    out = "unchanged";
    ASSERT_TRUE(PrivateCarTable::GetName(0, &out));
    EXPECT_EQ(out, "");
}

TEST_F(RowTables, TableColumnsStoreAndReturnCopies) {
    ValueTable table;
    table.Resize(2, 3);
    table.SetCell(1, 2, 42.5f);
    ASSERT_TRUE(StationTable::SetPurchasePrice(4, table));
    table.SetCell(1, 2, 0.0f);

    ValueTable out;
    ASSERT_TRUE(StationTable::GetPurchasePrice(4, &out));
    EXPECT_EQ(out.ColumnCount(), 2u);
    EXPECT_EQ(out.RowCount(), 3u);
    EXPECT_EQ(out.Cell(1, 2), 42.5f);
    EXPECT_EQ(StationTable::Find(4)->PurchasePrice.Cell(1, 2), 42.5f);
}

TEST_F(RowTables, SettingARowGrowsTheTableWithEmptySlots) {
    ASSERT_TRUE(ProductTable::SetFreightPrice(5, 7.0f));
    EXPECT_EQ(ProductTable::RowCount(), 6);
    for (int32_t row = 0; row < 5; ++row) {
        EXPECT_EQ(ProductTable::Find(row), nullptr) << row;
        float out = 123.0f;
        EXPECT_FALSE(ProductTable::GetFreightPrice(row, &out)) << row;
        EXPECT_EQ(out, 123.0f);
    }
    ASSERT_NE(ProductTable::Find(5), nullptr);
    EXPECT_EQ(ProductTable::Find(5)->FreightPrice, 7);
}

TEST_F(RowTables, GettersRefuseRowsWithoutRecordAndLeaveTheOutputAlone) {
    ASSERT_TRUE(SignalTable::SetPrice(1, 500.0f));
    for (int32_t row : {-1, 0, 2, 1000, INT32_MIN, INT32_MAX}) {
        float value = 5.5f;
        EXPECT_FALSE(SignalTable::GetPrice(row, &value)) << row;
        EXPECT_EQ(value, 5.5f) << row;
        std::string text = "kept";
        EXPECT_FALSE(StationTable::GetName(row, &text)) << row;
        EXPECT_EQ(text, "kept");
        ValueTable table;
        table.Resize(1, 1);
        EXPECT_FALSE(StationTable::GetPurchasePrice(row, &table)) << row;
        EXPECT_EQ(table.RowCount(), 1u);
    }
    EXPECT_EQ(SignalTable::RowCount(), 2);
}

TEST_F(RowTables, GetOrCreateRowRefusesNegativeAndAbsurdRows) {
    for (int32_t row : {-1, INT32_MIN, kMaxTableRows, INT32_MAX}) {
        EXPECT_EQ(CheatsTable::GetOrCreateRow(row), nullptr) << row;
        EXPECT_FALSE(CheatsTable::SetVehicleNeverBreaksDown(row, 1.0f)) << row;
        EXPECT_FALSE(FE_MainTable::SetUIText(row, "x")) << row;
    }
    EXPECT_EQ(CheatsTable::RowCount(), 0);
    EXPECT_EQ(FE_MainTable::RowCount(), 0);
}

TEST_F(RowTables, GetOrCreateRowReachesTheLastAllowedRowAndKeepsRecords) {
    CheatsRow* first = CheatsTable::GetOrCreateRow(3);
    ASSERT_NE(first, nullptr);
    first->VehicleNeverBreaksDown = 1;
    ASSERT_NE(CheatsTable::GetOrCreateRow(kMaxTableRows - 1), nullptr);
    EXPECT_EQ(CheatsTable::RowCount(), kMaxTableRows);
    EXPECT_EQ(CheatsTable::GetOrCreateRow(3), first);
    EXPECT_EQ(first->VehicleNeverBreaksDown, 1);
}

TEST_F(RowTables, FindNeverCreatesAndClearEmptiesTheTable) {
    EXPECT_EQ(InterfaceTextContainerTable::Find(0), nullptr);
    EXPECT_EQ(InterfaceTextContainerTable::RowCount(), 0);
    ASSERT_TRUE(InterfaceTextContainerTable::SetText_(2, "Hello"));
    ASSERT_NE(InterfaceTextContainerTable::Find(2), nullptr);
    EXPECT_EQ(InterfaceTextContainerTable::Find(2)->Text_, "Hello");

    ASSERT_TRUE(CityStyleTable::SetStyleName(0, "Alpine"));
    CityStyleTable::Clear();
    EXPECT_EQ(CityStyleTable::RowCount(), 0);
    EXPECT_EQ(CityStyleTable::Find(0), nullptr);
}

TEST_F(RowTables, NewRecordsStartFromTheirInitialValues) {
    const ProductRow& product = *ProductTable::GetOrCreateRow(0);
    EXPECT_EQ(product.ResourceNeeded, -1);
    EXPECT_EQ(product.ProductGroup, -1);
    EXPECT_EQ(product.FactoryID, -1);
    EXPECT_EQ(product.FreightPrice, 100);
    EXPECT_EQ(product.StartYear, 1850);
    EXPECT_EQ(product.ProductWeight, 1.5f);
    EXPECT_EQ(product.CanPlacedInStorageHall, 1);
    EXPECT_EQ(product.MinimumInhabitants, 1000);
    EXPECT_EQ(product.InhabitantsPerUnit, 200);
    EXPECT_EQ(product.WaggonType, 0);
    EXPECT_EQ(product.NeedsColdStorage, 0);
    EXPECT_TRUE(product.FreightPriceModifier.Empty());
    EXPECT_EQ(product.Name, "");

    const StoragePlaceRow& storage = *StoragePlaceTable::GetOrCreateRow(0);
    EXPECT_EQ(storage.Capacity, 5000);
    EXPECT_EQ(storage.Price, 50000);
    EXPECT_EQ(storage.DemolitionCosts, 25000);

    const WaterTowerRow& tower = *WaterTowerTable::GetOrCreateRow(0);
    EXPECT_EQ(tower.Price, 5000);
    EXPECT_EQ(tower.DemolistionCosts, 500);
    EXPECT_EQ(tower.BaseCosts, 50);

    const TerrainRow& terrain = *TerrainTable::GetOrCreateRow(0);
    EXPECT_EQ(terrain.CanBuildBuilding, 1);
    EXPECT_EQ(terrain.CanBuildRoute, 1);
    EXPECT_EQ(terrain.IsWater, 0);

    const VehicleConstantsRow& constants = *VehicleConstantsTable::GetOrCreateRow(0);
    EXPECT_EQ(constants.AnimalSpeedLimit, 4000);
    EXPECT_EQ(constants.UseSetPlatformWhenRouteBroken, 0);
    EXPECT_EQ(constants.EuropeanSpeedUnit, "");
    EXPECT_TRUE(constants.RoadDispX.Empty());
    EXPECT_EQ(constants.ResolveDeadlocksAutomatically, 0u);

    // Reading a fresh row through a getter gives the same initial value.
    float freightPrice = 0;
    ASSERT_TRUE(ProductTable::GetFreightPrice(0, &freightPrice));
    EXPECT_EQ(freightPrice, 100.0f);
}

TEST_F(RowTables, FieldsThatNoColumnSetsStartAtZero) {
    // Fresh memory is mostly zero anyway: fill records with other values
    // and remove them first, so that the memory handed to the new records
    // (often the same) shows any field left uninitialised.
    for (int round = 0; round < 2; ++round) {
        LivingBuildingRow& house = *LivingBuildingTable::GetOrCreateRow(0);
        StationRow& station = *StationTable::GetOrCreateRow(0);
        SoundFilesRow& sound = *SoundFilesTable::GetOrCreateRow(0);
        HeadquarterRow& headquarter = *HeadquarterTable::GetOrCreateRow(0);
        if (round == 1) {
            for (const auto& counters : house.Counters)
                for (int32_t counter : counters)
                    EXPECT_EQ(counter, 0);
            EXPECT_EQ(station.Reserved0, 0u);
            EXPECT_EQ(station.Reserved1, 0u);
            EXPECT_EQ(sound.PlayCount, 0u);
            EXPECT_EQ(sound.LastStartTime, 0u);
            EXPECT_EQ(headquarter.Reserved, 0u);
            return;
        }
        for (auto& counters : house.Counters)
            for (int32_t& counter : counters)
                counter = 0x5A5A5A5A;
        station.Reserved0 = station.Reserved1 = 0xA5A5A5A5u;
        sound.PlayCount = sound.LastStartTime = 0xA5A5A5A5u;
        headquarter.Reserved = 0xA5A5A5A5u;
        ResetAllTables();
    }
}

TEST(ValueTableReads, OutsideTheGridGiveMinusOne) {
    ValueTable empty;
    EXPECT_EQ(empty.Cell(0, 0), -1.0f);

    ValueTable table;
    table.Resize(2, 3);
    table.SetCell(1, 2, 8.0f);
    EXPECT_EQ(table.Cell(1, 2), 8.0f);
    EXPECT_EQ(table.Cell(2, 0), -1.0f);
    EXPECT_EQ(table.Cell(0, 3), -1.0f);
    EXPECT_EQ(table.Cell(UINT32_MAX, UINT32_MAX), -1.0f);
    EXPECT_EQ(table.IntCell(2, 0), -1);
}

} // namespace
