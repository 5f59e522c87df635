// Factories of every kind on small tables of their own: monthly production,
// acceptance and demand, attractions, passengers and mail, the saved form
// and its damaged variants, the factory events and the texts.
#include "data/generated/interface_tables.h"
#include "data/number_format.h"
#include "economy/factory_events.h"
#include "economy/factory_types.h"
#include "files/crc32.h"
#include "gameloop/building_commands.h"
#include "gameloop/saved_game.h"
#include "tests/economy/town_fixture.h"
#include "vehicles/building_walker.h"
#include "vehicles/moving_object.h"
#include "world/game_clock.h"
#include "world/world_warnings.h"

#include <cstring>

namespace {

class FactoryKindsTest : public TownTest {
protected:
    static constexpr int32_t kDeposit = 10, kPlant = 11, kConsumer = 12, kFarm = 13, kCrop = 14,
                             kAttraction = 15, kWood = 16;
    static constexpr int32_t kOre = 20, kMetal = 21, kMeat = 22, kWheat = 23, kLogs = 24;

    void SetUp() override {
        TownTest::SetUp();
        GlobalConstantsTable::Clear();
        ProductTable::Clear();
        FactoryEventsTable::Clear();
        ToolTip_FactoryTable::Clear();
        ToolTip_TownTable::Clear();
        for (int32_t p : {kOre, kMetal, kMeat, kWheat, kLogs, kPassengerProduct, kMailProduct}) {
            ProductRow* row = ProductTable::GetOrCreateRow(p);
            row->Name = "P" + std::to_string(p);
            row->MinimumInhabitants = 0;
        }
        ProductTable::GetOrCreateRow(kMetal)->ResourceNeeded = kOre;
        ProductTable::GetOrCreateRow(kMeat)->ResourceNeeded = kOre;
        ProductTable::GetOrCreateRow(kWheat)->GrowthMonthLength = 3;
        FactoryLayoutRow* layout = FactoryLayoutTable::GetOrCreateRow(0);
        layout->LayoutLeft = economy_fixture::MakeTable({{1, 2, -1}});
        layout->LayoutRight = economy_fixture::MakeTable({{1, -1}});
        Type(kDeposit, 0, {}, {{kOre, 0, 10, 25}});
        Type(kPlant, 1, {{kOre}}, {{kMetal, 2, 10}});
        Type(kConsumer, 2, {{kMetal}}, {{kMetal, 0, 10}});
        Type(kFarm, 4, {{kOre}}, {{kMeat, 3, 10}});
        Type(kCrop, 3, {}, {{kWheat, 5, 10}});
        Type(kAttraction, 6, {}, {{kPassengerProduct, 10, 40}});
        FactoryTable::GetOrCreateRow(kAttraction)->BuildingResources =
            economy_fixture::MakeTable({{kMetal, 2}});
        Type(kWood, 7, {}, {{kLogs, 0, 10, 0}});
        Type(kTownCentreFactoryType, 5, {{kPassengerProduct}, {kMailProduct}, {kMetal}},
             {{kPassengerProduct, 0, 10}, {kMailProduct, 0, 5}});
        SetFactoryDifficulty(1);
    }
    void TearDown() override {
        GlobalConstantsTable::Clear();
        ProductTable::Clear();
        FactoryEventsTable::Clear();
        ToolTip_FactoryTable::Clear();
        ToolTip_TownTable::Clear();
        TownTest::TearDown();
    }

    static void Type(int32_t type, int32_t kind, std::initializer_list<std::initializer_list<float>> accepts,
                     std::initializer_list<std::initializer_list<float>> makes) {
        FactoryRow* row = FactoryTable::GetOrCreateRow(type);
        row->Name = "T" + std::to_string(type);
        row->FactoryTyp = kind;
        row->AcceptProduct = economy_fixture::MakeTable(accepts);
        row->ProduceProduct = economy_fixture::MakeTable(makes);
        row->DifficultyProductionModifier = economy_fixture::MakeTable({{1}, {1}, {0.5f}});
    }

    Factory& Build(int32_t type, int32_t x, int32_t y) {
        BuildFactoryCommand command(uint32_t(x), uint32_t(y), uint32_t(type), 0, 0);
        command.SetPlayerId(kNeutralPlayerSlot);
        EXPECT_TRUE(game_.Post(command));
        game_.DrainCommands();
        Factory* factory = GetFactory(Map().GetBuildingAt(uint32_t(x), uint32_t(y)));
        EXPECT_NE(factory, nullptr);
        return *factory;
    }
    static void Give(Factory& f, int32_t product, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            f.ReceiveUnit(product);
    }
};

TEST_F(FactoryKindsTest, EachKindProducesByItsRuleOverTheMonths) {
    struct Case {
        const char* what;
        int32_t type;
        int32_t level;
        int32_t input; // units of the first accepted product delivered first
        int32_t months;
        int32_t product; // checked afterwards
        int32_t stock;
        int32_t inputLeft;
    } cases[] = {
        {"deposit fills to its maximum", kDeposit, 1, 0, 1, kOre, 10, 0},
        {"plant makes its base amount without input", kPlant, 1, 0, 2, kMetal, 4, 0},
        {"no base amount at the hardest level", kPlant, 2, 0, 2, kMetal, 0, 0},
        {"plant uses what lies between base and maximum", kPlant, 1, 5, 1, kMetal, 5, 0},
        {"plant uses at most its maximum", kPlant, 1, 30, 1, kMetal, 10, 20},
        {"input below the base amount is all used", kPlant, 1, 1, 1, kMetal, 2, 0},
        {"consumer uses up to its maximum", kConsumer, 1, 15, 1, kMetal, 5, 5},
        {"animal farm adds its base amount to the feed", kFarm, 1, 4, 1, kMeat, 7, 0},
        {"animal farm caps feed at maximum minus base", kFarm, 1, 20, 1, kMeat, 10, 13},
        {"animal farm without feed", kFarm, 1, 0, 1, kMeat, 3, 0},
    };
    int32_t x = 2;
    for (const Case& c : cases) {
        SetFactoryDifficulty(c.level);
        Factory& f = Build(c.type, x, 40);
        x += 4;
        const int32_t input = f.GetAcceptedProducts().empty() ? -1 : f.GetAcceptedProducts()[0];
        if (input >= 0)
            Give(f, input, c.input);
        for (int32_t m = 0; m < c.months; ++m)
            f.MonthlyUpdate();
        EXPECT_EQ(int32_t(f.GetStock(c.product)), c.stock) << c.what;
        if (input >= 0 && input != c.product) {
            EXPECT_EQ(int32_t(f.GetStock(input)), c.inputLeft) << c.what;
        }
    }
}

TEST_F(FactoryKindsTest, ADepositRunsOutOfItsReserve) {
    Factory& f = Build(kDeposit, 10, 40);
    const int32_t expected[] = {10, 10, 5, 0};
    for (int32_t month = 0; month < 4; ++month) {
        f.MonthlyUpdate();
        EXPECT_EQ(int32_t(f.GetStock(kOre)), expected[month]) << month;
        while (f.TakeUnit(kOre)) {
        }
        EXPECT_FALSE(f.TakeUnit(kOre));
    }
    EXPECT_EQ(f.GetOutputs().at(kOre).reserve, 0.0f);
    EXPECT_EQ(f.GetStore().GetOutCounter(kOre, 1), 5); // last month's units taken
}

TEST_F(FactoryKindsTest, AStoreAboveItsNewCapShrinksWithoutWrappingItsCounter) {
    Factory& f = Build(kPlant, 10, 40);
    Give(f, kOre, 30);
    f.MonthlyUpdate();
    ASSERT_EQ(f.GetStock(kMetal), 10u);
    // The maximum halves: the store is cut to it, the input still used.
    SetFactoryDifficulty(2);
    f.MonthlyUpdate();
    EXPECT_EQ(f.GetStock(kMetal), 5u);
    EXPECT_EQ(f.GetStore().GetInCounter(kMetal, 0), 0);
    EXPECT_EQ(f.GetStock(kOre), 15u);
}

TEST_F(FactoryKindsTest, AWoodCutterFellsTreesAndStopsWithoutThem) {
    GlobalConstantsRow* constants = GlobalConstantsTable::GetOrCreateRow(0);
    constants->WoodCuttingRadius = 2;
    constants->WoodAmountTable = economy_fixture::MakeTable({{3, 12}});
    ASSERT_TRUE(Map().PlaceDecoration(21, 41, 3, 0));
    Factory& f = Build(kWood, 22, 40);
    EXPECT_EQ(FactoryWoodInReach(f), 12);
    f.MonthlyUpdate();
    EXPECT_EQ(f.GetStock(kLogs), 10u);
    EXPECT_EQ(f.GetOutputs().at(kLogs).reserve, 2.0f);
    EXPECT_EQ(FactoryWoodInReach(f), 0); // the tree is gone
    while (f.TakeUnit(kLogs)) {
    }
    f.MonthlyUpdate();
    EXPECT_EQ(f.GetStock(kLogs), 2u);
    f.MonthlyUpdate();
    EXPECT_EQ(f.GetOutputs().at(kLogs).reserve, -1.0f);
    EXPECT_EQ(f.GetStock(kLogs), 2u);
}

TEST_F(FactoryKindsTest, ACropGrowsInThreeStagesAndIsHarvestedAtTheNextMonth) {
    Factory& f = Build(kCrop, 10, 40);
    ASSERT_EQ(f.GetFieldStages().size(), 3u); // the columns of the layout's list
    f.MonthlyUpdate();                        // month 0 is the start month
    ASSERT_EQ(f.GetGrowthState(), 1);
    const uint32_t start = CurrentGameTimeMs();
    for (uint32_t state = 2; state <= 4; ++state) {
        f.ProductionTick(start + 75000 * (state - 1) - 1);
        EXPECT_EQ(f.GetGrowthState(), state - 1);
        f.ProductionTick(start + 75000 * (state - 1) + 1);
        EXPECT_EQ(f.GetGrowthState(), state);
    }
    EXPECT_EQ(f.GetFieldStages()[0], 0u);
    EXPECT_EQ(f.GetStock(kWheat), 0u);
    f.MonthlyUpdate();
    EXPECT_EQ(f.GetGrowthState(), 0);
    EXPECT_EQ(f.GetStock(kWheat), 5u);

    // Without a growth length the fields never start.
    ProductTable::GetOrCreateRow(kWheat)->GrowthMonthLength = 0;
    Factory& idle = Build(kCrop, 20, 40);
    const uint32_t warnings = WorldWarningCount();
    idle.MonthlyUpdate();
    EXPECT_EQ(idle.GetGrowthState(), 0);
    EXPECT_GT(WorldWarningCount(), warnings);
}

TEST_F(FactoryKindsTest, DemandFallsWithTenMonthsInStore) {
    Factory& consumer = Build(kConsumer, 10, 40);
    Factory& plant = Build(kPlant, 20, 40);
    struct Case {
        Factory* f;
        int32_t product, stock, level;
        float maxAmount, factor;
    } cases[] = {
        {&consumer, kMetal, 9, 1, 10, 1.0f},
        {&consumer, kMetal, 99, 1, 10, 1.0f},
        {&consumer, kMetal, 100, 1, 10, 0.1f},
        {&consumer, kMetal, 100, 0, 10, 1.0f},
        {&consumer, kMetal, 100, 2, 10, 1.0f},
        {&consumer, kMetal, 1, 1, 0.5f, 0.1f}, // a maximum below one unit
        {&consumer, kMetal, 5, 7, 10, 0.0f},
        {&plant, kOre, 99, 1, 10, 1.0f},
        {&plant, kOre, 100, 1, 10, 0.1f},
        {&plant, kOre, 1, 1, 0.5f, 0.0f},
        {&plant, kMetal, 0, 1, 10, 0.0f}, // nothing made from it
    };
    for (const Case& c : cases) {
        SetFactoryDifficulty(c.level);
        FactoryRow* row = FactoryTable::GetOrCreateRow(c.f->GetTypeIndex());
        row->ProduceProduct.SetCell(2, 0, c.maxAmount);
        c.f->SetupProducts();
        while (c.f->GetStock(c.product) < uint32_t(c.stock))
            c.f->ReceiveUnit(c.product);
        EXPECT_FLOAT_EQ(c.f->GetDemandFactor(c.product), c.factor)
            << c.f->GetTypeIndex() << " stock " << c.stock << " level " << c.level;
        while (c.f->TakeUnit(c.product)) {
        }
        (void)c.f->GetStore();
    }
    // The demand event puts its factor on the product's base.
    SetFactoryDifficulty(1);
    plant.SetEvent(kOre, 1.5f);
    EXPECT_FLOAT_EQ(plant.GetDemandFactor(kOre), 1.5f);
}

TEST_F(FactoryKindsTest, AtTheHardestLevelAFactoryTakesUpToTwoMonthsOfItsMaximum) {
    SetFactoryDifficulty(2);
    Factory& plant = Build(kPlant, 20, 40); // maximum 5 at this level
    Give(plant, kOre, 9);
    EXPECT_TRUE(plant.AcceptsProduct(kOre));
    Give(plant, kOre, 1);
    EXPECT_FALSE(plant.AcceptsProduct(kOre));
    EXPECT_FALSE(plant.AcceptsProduct(kMeat));
    SetFactoryDifficulty(1);
    EXPECT_TRUE(plant.AcceptsProduct(kOre));
}

TEST_F(FactoryKindsTest, AnAttractionOpensWithItsLastUnitOfMaterial) {
    Factory& site = Build(kAttraction, 20, 40);
    EXPECT_TRUE(site.GetOutputs().empty());
    EXPECT_TRUE(site.AcceptsProduct(kMetal));
    EXPECT_FALSE(site.AcceptsProduct(kPassengerProduct));
    EXPECT_EQ(site.GetConstructionAlpha(), 127);
    site.ReceiveUnit(kOre); // not its material
    site.ReceiveUnit(kMetal);
    EXPECT_EQ(site.GetDeliveredBuildingUnits(), 1);
    EXPECT_FALSE(site.IsAttractionOpen());
    site.ReceiveUnit(kMetal);
    EXPECT_TRUE(site.IsAttractionOpen());
    EXPECT_TRUE(site.AcceptsProduct(kPassengerProduct));
    EXPECT_FALSE(site.AcceptsProduct(kMetal));
    EXPECT_TRUE(site.ProducesProduct(kPassengerProduct));
    site.MonthlyUpdate();
    EXPECT_EQ(site.GetStock(kPassengerProduct), 0u) << "no town to send visitors to: all are lost";
}

TEST_F(FactoryKindsTest, AnAttractionSiteWithoutMaterialIsRemovedInTime) {
    GlobalConstantsTable::GetOrCreateRow(0)->AttractionNoMaterialTimeLimit = 2;
    Factory& waiting = Build(kAttraction, 20, 40);
    Factory& started = Build(kAttraction, 30, 40);
    const ObjectHandle waitingId = waiting.GetId(), startedId = started.GetId();
    started.ReceiveUnit(kMetal);
    GetGameClock()->SetYear(kFirstYear + 2);
    CheckAttractionTimeouts();
    EXPECT_NE(GetFactory(waitingId), nullptr);
    GetGameClock()->SetYear(kFirstYear + 3);
    CheckAttractionTimeouts();
    EXPECT_EQ(GetFactory(waitingId), nullptr);
    EXPECT_NE(GetFactory(startedId), nullptr) << "one unit delivered keeps a site";
}

TEST_F(FactoryKindsTest, TownCentresWantWhatTheirTownsNeed) {
    City* city = CreateCity(10, 10, 9, 9, 0);
    Grow(*city, 300);
    Factory* centre = GetFactory(city->GetCentreFactoryId());
    ASSERT_NE(centre, nullptr);
    centre->InitTownCentre(city->GetIndex());
    const uint32_t h = city->GetPopulation();
    ASSERT_GE(h, 200u);
    ProductTable::GetOrCreateRow(kMetal)->InhabitantsPerUnit = 100;
    EXPECT_TRUE(centre->AcceptsProduct(kPassengerProduct));
    EXPECT_TRUE(centre->AcceptsProduct(kMetal));
    EXPECT_FALSE(centre->AcceptsProduct(kOre));
    for (uint32_t i = 0; i < h / 100; ++i)
        centre->ReceiveUnit(kMetal);
    EXPECT_FALSE(centre->AcceptsProduct(kMetal)) << "a month's need in store";
    EXPECT_EQ(centre->GetDemandFactor(kMetal), 0.0f);
    ProductTable::GetOrCreateRow(kMetal)->InhabitantsPerUnit = 0; // damaged data: never wanted
    EXPECT_FALSE(centre->AcceptsProduct(kMetal));
    EXPECT_EQ(centre->GetDemandFactor(kMetal), 0.0f);
    ProductTable::GetOrCreateRow(kMetal)->MinimumInhabitants = int32_t(h) + 1;
    ProductTable::GetOrCreateRow(kMetal)->InhabitantsPerUnit = 100;
    EXPECT_FALSE(centre->AcceptsProduct(kMetal));
    EXPECT_FLOAT_EQ(centre->GetBaseProduction(kPassengerProduct), 10.0f * float(h) / 100.0f);

    // A town centre whose town is missing has no inhabitants.
    auto* orphan = dynamic_cast<Factory*>(CreateMapObject(kCategoryBuilding, kFactorySubtype));
    ASSERT_NE(orphan, nullptr);
    orphan->SetTypeIndex(kTownCentreFactoryType);
    orphan->InitTownCentre(77);
    EXPECT_EQ(orphan->GetTownInhabitants(), 0u);
    EXPECT_EQ(orphan->GetBaseProduction(kPassengerProduct), 0.0f);
    EXPECT_FALSE(orphan->AcceptsProduct(kMetal));
    orphan->OnNewPeriod();
    orphan->MonthlyUpdate();
    std::string text;
    orphan->GetInfoText(text);
    orphan->GetDebugText(text);
}

TEST_F(FactoryKindsTest, PassengersAndMailAreSharedOutOverTheTowns) {
    std::vector<Factory*> centres;
    for (int32_t x : {8, 30, 52}) {
        City* city = CreateCity(x, 10, 9, 9, 0);
        Grow(*city, 200);
        centres.push_back(GetFactory(city->GetCentreFactoryId()));
        centres.back()->InitTownCentre(city->GetIndex());
    }
    Factory& alone = *centres[0];
    for (Factory* centre : centres)
        centre->OnNewPeriod();
    const uint32_t stock = alone.GetStock(kPassengerProduct);
    ASSERT_GT(stock, 0u);
    EXPECT_EQ(alone.GetPassengersWaiting().size(), 2u);
    EXPECT_EQ(alone.GetMailWaiting().size(), 2u);
    uint32_t waiting = 0;
    for (const auto& [id, count] : alone.GetPassengersWaiting())
        waiting += count;
    EXPECT_EQ(waiting, stock) << "what is not shared out is lost";

    const auto [destination, count] = *alone.GetPassengersWaiting().begin();
    alone.TakePassengers(destination, count + 50); // more than wait: only those
    EXPECT_EQ(alone.GetPassengersWaiting().at(destination), 0u);
    EXPECT_EQ(alone.GetStock(kPassengerProduct), stock - count);
    alone.TakePassengers(0x12345, 5); // no such destination
    EXPECT_EQ(alone.GetStock(kPassengerProduct), stock - count);

    // A destination at exactly the minimum rate is not chosen.
    GlobalConstantsTable::GetOrCreateRow(0)->MinimumPassengersForConnection = 1000000;
    alone.OnNewPeriod();
    EXPECT_TRUE(alone.GetPassengersWaiting().empty());
    EXPECT_EQ(alone.GetStock(kPassengerProduct), 0u);
    // The month empties a town centre's goods but keeps its passengers.
    alone.ReceiveUnit(kMetal);
    alone.MonthlyUpdate();
    EXPECT_EQ(alone.GetStock(kMetal), 0u);
}

TEST_F(FactoryKindsTest, OnlyAFactoryWithOthersOfItsTypeCloses) {
    Factory& only = Build(kDeposit, 10, 40);
    const ObjectHandle id = only.GetId();
    EXPECT_FALSE(CloseRandomFactory());
    EXPECT_NE(GetFactory(id), nullptr);
    Build(kDeposit, 20, 40);
    EXPECT_TRUE(CloseRandomFactory());
    EXPECT_EQ(GetFactoryCountOfType(kDeposit), 1u);
    EXPECT_TRUE(GetFactoryWorldState().factoryClosed);
}

TEST_F(FactoryKindsTest, ASavedFactoryLoadsAsItWas) {
    Factory& crop = Build(kCrop, 10, 40);
    crop.MonthlyUpdate();
    crop.SetFieldStage(1, 3);
    crop.SetEvent(kWheat, 0.75f);
    Factory& plant = Build(kPlant, 20, 40);
    Give(plant, kOre, 7);
    plant.MonthlyUpdate();
    const auto records = plant.GetStore().Records();
    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game_, saved));
    ASSERT_TRUE(LoadGameFromMemory(game_, saved));
    Factory* loaded = GetFactory(Map().GetBuildingAt(10, 40));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetGrowthState(), 1);
    EXPECT_EQ(loaded->GetFieldStages(), (std::vector<uint32_t>{1, 3, 1}));
    EXPECT_EQ(loaded->GetEventProduct(), kWheat);
    EXPECT_EQ(loaded->GetEventFactor(), 0.75f);
    Factory* plantAgain = GetFactory(Map().GetBuildingAt(20, 40));
    ASSERT_NE(plantAgain, nullptr);
    EXPECT_EQ(plantAgain->GetStore().Records(), records);
    EXPECT_EQ(plantAgain->GetOutputs().at(kMetal), (ProductionRecord{-1.0f, 2.0f, 10.0f}));
    EXPECT_EQ(plantAgain->GetAcceptedProducts(), (std::vector<int32_t>{kOre}));
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game_, again));
    EXPECT_EQ(again, saved);
}

// The offset of the first chunk with the tag in a saved game.
size_t FindTag(const std::vector<uint8_t>& bytes, uint32_t tag, size_t from = 0) {
    for (size_t i = from; i + 8 <= bytes.size(); ++i)
        if (plat::LoadLE32(bytes.data() + i) == tag)
            return i;
    return std::string::npos;
}

TEST_F(FactoryKindsTest, DamagedFactoryChunksAreRefusedOrRepairedWithALine) {
    Factory& plant = Build(kPlant, 20, 40);
    plant.SetEvent(kOre, 1.25f);
    Give(plant, kOre, 3);
    GetFactoryEventState().events.push_back({4, 1852, plant.GetId()});
    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game_, saved));
    struct Case {
        const char* what;
        uint32_t tag;
        uint32_t offset; // into the payload
        uint32_t value;
        bool loads;
    } cases[] = {
        {"huge count of made products", ChunkTag("fac3"), 0, 0xFFFFFFF0u, true},
        {"huge count of passenger destinations", ChunkTag("fac5"), 0, 0x7FFFFFFFu, true},
        {"huge count of linked factories", ChunkTag("fac6"), 0, 0x10000000u, true},
        {"huge list of accepted products", ChunkTag("fac2"), 0, 0x40000000u, false},
        {"made product id out of range", ChunkTag("fac3"), 8, 5000u, true},
        {"event product out of range", ChunkTag("fac4"), 4 + 28, 4096u, true},
        {"growth state out of range", ChunkTag("fac4"), 4 + 20, 9u, true},
        {"event month out of range", ChunkTag("fse"), 8, 13u, true},
        {"event list of a wrong element size", ChunkTag("fse"), 4, 3u, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = saved;
        const size_t at = FindTag(bytes, c.tag);
        ASSERT_NE(at, std::string::npos) << c.what;
        plat::StoreLE32(bytes.data() + at + 8 + c.offset, c.value);
        const uint32_t headSize = plat::LoadLE32(bytes.data() + 4);
        plat::StoreLE32(bytes.data() + headSize - 4,
                        Crc32(std::span<const uint8_t>(bytes).subspan(headSize)));
        const uint32_t warnings = WorldWarningCount();
        const bool loaded = LoadGameFromMemory(game_, bytes);
        EXPECT_EQ(loaded, c.loads) << c.what;
        if (loaded) {
            EXPECT_GT(WorldWarningCount(), warnings) << c.what;
        }
        for (Factory* f : AllFactories()) {
            for (int32_t p : f->GetAcceptedProducts())
                EXPECT_LT(uint32_t(p), kProductSetSize) << c.what;
            EXPECT_LE(f->GetGrowthState(), 4) << c.what;
            f->MonthlyUpdate();
        }
        UpdateFactoryEvents();
    }
}

TEST_F(FactoryKindsTest, DemandEventsRunUntilTheirDateIsReached) {
    FactoryEventsRow* demand = FactoryEventsTable::GetOrCreateRow(0);
    demand->MaxEventsRatio = 100;
    demand->Probability = 0;
    Factory& plant = Build(kPlant, 20, 40);
    plant.SetEvent(kOre, 2.0f);
    FactoryEventState& state = GetFactoryEventState();
    state.events = {{4, 1851, plant.GetId()}, {7, 1850, 0x4242}};
    UpdateFactoryEvents(); // January 1850: neither is over
    EXPECT_EQ(state.events.size(), 2u);
    EXPECT_EQ(state.limit, 1u);
    GetGameClock()->SetYear(1853); // a date passed unseen ends its event all the same
    UpdateFactoryEvents();
    EXPECT_TRUE(state.events.empty());
    EXPECT_EQ(plant.GetEventProduct(), -1);
    EXPECT_EQ(plant.GetEventFactor(), 1.0f);

    // A run time without a span starts no event (and draws nothing by zero).
    demand->Modifier = economy_fixture::MakeTable({{0.5f, 2.0f}});
    demand->RunTime = economy_fixture::MakeTable({{3, 3}});
    const uint32_t warnings = WorldWarningCount();
    GlobalConstantsTable::GetOrCreateRow(0)->FactoryEventRadius = 1000;
    // Without a station near, no event either way.
    EXPECT_FALSE(StartDemandEvent(0, 1853));
    EXPECT_EQ(WorldWarningCount(), warnings);
    EXPECT_EQ(GetEventProducts(plant), (std::vector<int32_t>{kOre}));

    const ObjectHandle plantId = plant.GetId();
    state.events = {{2, 1860, plantId}};
    state.newLine = 1;
    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game_, saved));
    ResetFactoryEvents();
    ASSERT_TRUE(LoadGameFromMemory(game_, saved));
    ASSERT_EQ(GetFactoryEventState().events.size(), 1u);
    EXPECT_EQ(GetFactoryEventState().events[0], (FactoryEventRecord{2, 1860, plantId}));
    EXPECT_EQ(GetFactoryEventState().newLine, 1);
    EXPECT_EQ(GetFactoryEventState().limit, 0u);
}

TEST(FactoryTextRows, OnlyPlainConversionsAreFilledIn) {
    struct Case {
        const char* row;
        std::vector<std::string> args;
        const char* text;
    } cases[] = {
        {"Output: %s a month", {"1,200"}, "Output: 1,200 a month"},
        {"%s of %s (100%%)", {"3", "Coal"}, "3 of Coal (100%)"},
        {"Stock %d", {"5"}, "Stock %d 5"}, // a conversion other than %s
        {"%s %s %s", {"a"}, "%s %s %s a"}, // too few arguments
        {"Plain", {"x"}, "Plain x"},       // too many
        {"%n%s%s%s", {"a", "b", "c"}, "%n%s%s%s a b c"},
        {"", {}, ""},
        {"trailing %", {}, "trailing %"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillTextRow(c.row, c.args), c.text) << c.row;
}

TEST_F(FactoryKindsTest, InfoTextsFollowTheTooltipRows) {
    const char* rows[] = {"Makes %s", "Base %s",    "Most %s", "Taken %s", "Takes %s",
                          "Up to %s", "Brought %s", "Store:",  "%s x %s",  "any"};
    for (int32_t i = 0; i < 10; ++i)
        ToolTip_FactoryTable::GetOrCreateRow(i)->Text = rows[i];
    SetFactoryDifficulty(2);
    Factory& plant = Build(kPlant, 20, 40);
    Give(plant, kOre, 3);
    std::string text;
    plant.GetInfoText(text);
    auto n = [](int64_t v) { return FormatNumber(v); };
    EXPECT_EQ(text, "T11\nT11 1\n\nMakes P21\nBase " + n(1) + "\nMost " + n(5) + "\nTaken " + n(0) +
                        "\n\nTakes P20\nUp to " + n(10) + "\nBrought " + n(3) + "\n\nStore:\n" + n(0) +
                        " x P21\n" + n(3) + " x P20\n");
    SetFactoryDifficulty(0);
    plant.GetInfoText(text);
    EXPECT_NE(text.find("Up to any\n"), std::string::npos);
    plant.GetDebugText(text);
    const std::string tail = "\nObjectID:" + std::to_string(plant.GetId()) + " ";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

} // namespace

namespace {

TEST_F(FactoryKindsTest, TheFactoriesServedGoalAsksForTheCompanysAttractions) {
    EXPECT_EQ(world_.AllKind6FactoriesServed(), std::optional<bool>(true)); // none at all
    Build(kAttraction, 20, 40);                                             // the neutral player's
    EXPECT_EQ(world_.AllKind6FactoriesServed(), std::optional<bool>(true));
    BuildFactoryCommand command(30, 40, uint32_t(kAttraction), 0, 0);
    command.SetPlayerId(0);
    ASSERT_TRUE(game_.Post(command));
    game_.DrainCommands();
    EXPECT_EQ(world_.AllKind6FactoriesServed(), std::optional<bool>(false)); // no station serves it
}

} // namespace

namespace {

TEST_F(FactoryKindsTest, AFactoryGrowsOntoFreeLandBesideIt) {
    Factory& plant = Build(kPlant, 20, 40);
    ASSERT_EQ(plant.GetWidth(), 2);
    std::vector<int32_t> directions;
    ASSERT_TRUE(plant.CanExpand(directions));
    EXPECT_EQ(directions, (std::vector<int32_t>{0, 1, 2, 3}));
    plant.Expand(3); // towards higher x and y, on side 1: 2 x 3
    EXPECT_EQ(plant.GetSize(), 1);
    EXPECT_EQ(plant.GetSide(), 1);
    EXPECT_EQ(plant.GetWidth(), 2);
    EXPECT_EQ(plant.GetHeight(), 3);
    EXPECT_EQ(Map().GetBuildingAt(21, 42), plant.GetId());
    EXPECT_FALSE(plant.CanExpand(directions)) << "no FactoryLayout row 2";

    // A neighbour on the side it would grow to keeps that direction shut.
    Factory& other = Build(kPlant, 40, 40);
    Build(kDeposit, 42, 40);
    ASSERT_TRUE(other.CanExpand(directions));
    EXPECT_EQ(directions, (std::vector<int32_t>{1, 2, 3}))
        << "direction 0 grows to the right, onto the deposit";
}

} // namespace

namespace {

TEST_F(FactoryKindsTest, ATownCentresTextListsItsGoodsThreeToALine) {
    const char* rows[] = {"Centre",
                          "People %s",
                          "Goods:",
                          "3[%s %s %s|%s %s %s|%s %s %s]",
                          "2[%s %s %s|%s %s %s]",
                          "1[%s %s %s]",
                          "Sent:",
                          "%s %s %s",
                          "Passengers:",
                          "%s=%s",
                          "Mail:"};
    for (int32_t i = 0; i < 11; ++i)
        ToolTip_TownTable::GetOrCreateRow(i)->Text = rows[i];
    Type(kTownCentreFactoryType, 5, {{kPassengerProduct}, {kMailProduct}, {kOre}, {kMetal}, {kMeat}, {kLogs}},
         {{kPassengerProduct, 0, 10}, {kMailProduct, 0, 5}});
    Build(kDeposit, 40, 40);
    Build(kPlant, 44, 40);
    Build(kFarm, 48, 40);
    Build(kWood, 52, 40);
    UpdateProductsInUse();
    City* city = CreateCity(10, 10, 9, 9, 0);
    city->SetName("Oxley");
    Factory* centre = GetFactory(city->GetCentreFactoryId());
    ASSERT_NE(centre, nullptr);
    centre->InitTownCentre(city->GetIndex());
    std::string text;
    centre->GetInfoText(text);
    const std::string zero = FormatNumber(0);
    EXPECT_EQ(text.substr(0, text.find("Sent:")),
              "Centre\nOxley\nPeople " + FormatNumber(city->GetPopulation()) + "\n\nGoods:\n3[P20 " + zero +
                  " " + zero + "|P21 " + zero + " " + zero + "|P22 " + zero + " " + zero + "]\n1[P24 " +
                  zero + " " + zero + "]\n\n");
    EXPECT_NE(text.find("Passengers:\nMail:\n"), std::string::npos) << "no destinations: headings alone";
}

} // namespace

namespace {

int32_t CountMovers(int32_t kind) {
    int32_t n = 0;
    ForEachMovingObject([&](MovingObject& o) { return n += o.GetMovingKind() == kind ? 1 : 0, true; });
    return n;
}

TEST_F(FactoryKindsTest, AnimalFarmsKeepTheirAnimalsAndRipeFieldsGetAMachine) {
    FactoryLayoutTable::GetOrCreateRow(0)->MapSize = economy_fixture::MakeTable({{6, 6}, {6, 6}});
    Factory& farm = Build(kFarm, 10, 40);
    EXPECT_EQ(CountMovers(kMovingKindWalker), kWalkersPerFarm);
    DeleteMapObject(farm.GetId());
    EXPECT_EQ(CountMovers(kMovingKindWalker), 0) << "the animals go with their farm";

    Factory& crop = Build(kCrop, 20, 40);
    EXPECT_EQ(CountMovers(kMovingKindHarvester), 0);
    crop.MonthlyUpdate();
    const uint32_t start = CurrentGameTimeMs();
    for (uint32_t stage = 1; stage <= 3; ++stage)
        crop.ProductionTick(start + 75000 * stage + 1);
    ASSERT_EQ(crop.GetGrowthState(), 4);
    EXPECT_EQ(CountMovers(kMovingKindHarvester), 1) << "a ripe field gets its machine";
    EXPECT_EQ(crop.GetFieldStages(), std::vector<uint32_t>({0u, 3u, 3u}));
    for (uint32_t s = 0; s < 40; ++s)
        UpdateMovingObjects(CurrentGameTimeMs() + 1000 * s);
    EXPECT_EQ(CountMovers(kMovingKindHarvester), 0) << "it leaves when the field is done";
    EXPECT_EQ(crop.GetFieldStages(), std::vector<uint32_t>({0u, 0u, 0u})) << "fields 1 and 2 harvested";
}

} // namespace
