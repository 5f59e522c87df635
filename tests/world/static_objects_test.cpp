#include "data/number_format.h"
#include "tests/world/economy_fixture.h"
#include "tests/world/world_fixture.h"
#include "world/bridge_span.h"
#include "world/data_text.h"
#include "world/headquarter.h"
#include "world/living_building.h"
#include "world/mountain.h"
#include "world/product_quantity_map.h"
#include "world/small_static_objects.h"
#include "world/special_building.h"
#include "world/storage_hall.h"
#include "world/world_warnings.h"

using namespace economy_fixture;

namespace {

class StaticObjectsTest : public WorldTest {
protected:
    void SetUp() override {
        ResetEconomyState();
        WorldTest::SetUp();
        GlobalConstantsTable::GetOrCreateRow(0)->StartingMoney = 1000;
        CreatePlayers();
    }
    void TearDown() override {
        WorldTest::TearDown();
        ResetEconomyState();
    }

    template <typename T>
    static T* Create(int32_t subtype) {
        auto* object = dynamic_cast<T*>(CreateMapObject(kCategoryBuilding, subtype));
        EXPECT_NE(object, nullptr);
        return object;
    }

    // Saves every object, reloads into empty lists and saves again: both
    // stores must be the same bytes.
    static void ExpectObjectsRoundTrip() {
        const Bytes stored = StoreSection([] { SaveMapObjects(); });
        DeleteAllMapObjects();
        ResetHeadquarters();
        ASSERT_TRUE(LoadSection(stored, [] { EXPECT_TRUE(LoadMapObjects()); }));
        EXPECT_EQ(StoreSection([] { SaveMapObjects(); }), stored);
    }

    static Bytes Section(const std::function<void()>& body) { return StoreSection(body); }
};

} // namespace

TEST_F(StaticObjectsTest, HeadquarterPartsAreAddedOnce) {
    Headquarter* hq = Create<Headquarter>(Headquarter::kSubtype);
    EXPECT_TRUE(hq->HasFlag(0));
    EXPECT_FALSE(hq->HasFlag(1));
    EXPECT_EQ(hq->GetGraphic().number, 0);
    hq->AddPart(2);
    hq->AddPart(2);
    hq->AddPart(0);
    hq->AddPart(9);
    EXPECT_EQ(hq->GetParts(), 0b101u);
    EXPECT_EQ(hq->GetPartCount(), 1u);
    for (uint32_t bit : {1u, 3u, 4u})
        hq->AddPart(bit);
    EXPECT_TRUE(hq->IsComplete());
    EXPECT_EQ(hq->GetGraphic().number, 4);
}

TEST_F(StaticObjectsTest, HeadquarterRegistryForgetsDeletedBuildings) {
    Headquarter* hq = Create<Headquarter>(Headquarter::kSubtype);
    EXPECT_EQ(GetPlayerHeadquarter(0), nullptr);
    hq->SetOwner(uint8_t(0));
    EXPECT_EQ(GetPlayerHeadquarter(0), hq);
    hq->SetOwner(uint8_t(1));
    EXPECT_EQ(GetPlayerHeadquarter(0), nullptr);
    EXPECT_EQ(GetPlayerHeadquarter(1), hq);
    DeleteMapObject(hq->GetId());
    EXPECT_EQ(GetPlayerHeadquarter(1), nullptr);
}

TEST_F(StaticObjectsTest, HeadquarterChargesItsPartsMonthlyAndRoundTrips) {
    HeadquarterTable::GetOrCreateRow(0)->BaseCosts = 100;
    HeadquarterTable::GetOrCreateRow(3)->BaseCosts = 250;
    Headquarter* hq = Create<Headquarter>(Headquarter::kSubtype);
    hq->SetOwner(uint8_t(0));
    hq->AddPart(3);
    UpdateBuildingsMonth();
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 1000 - 350);
    EXPECT_EQ(GetPlayer(0)->GetStatistics()->GetValue(2, 0), 350);
    // Without its owner the building costs nobody anything.
    hq->SetOwner(uint8_t(2));
    UpdateBuildingsMonth();
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 1000 - 350);
    hq->SetOwner(uint8_t(0));

    ExpectObjectsRoundTrip();
    Headquarter* loaded = GetPlayerHeadquarter(0);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->HasFlag(3));
    EXPECT_EQ(loaded->GetPartCount(), 1u);
}

TEST(DataText, FormatsFromTheDataNeverReadPastTheirValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"Owner: %s", "Owner: Acme"},
        {"%s and %s%n%d", "Acme and "},
        {"100%% by %-12s!", "100% by Acme!"},
        {"cut %", "cut %"},
        {"line\\nbreak %s", "line\\nbreak Acme"},
    };
    for (const auto& [format, expected] : cases)
        EXPECT_EQ(FillFormat(format, "Acme"), expected) << format;
    EXPECT_EQ(WithLineBreaks("a\\nb\\"), "a\nb\\");
}

TEST_F(StaticObjectsTest, InfoTextsNameThePartsAndTheOwner) {
    for (int32_t row = 0; row < 4; ++row)
        ToolTip_HeadquarterTable::GetOrCreateRow(row)->Text =
            std::vector<std::string>{"Seat\\nof", "Costs %s", "Firm %s", "Boss %s%s"}[size_t(row)];
    HeadquarterTable::GetOrCreateRow(0)->Name = "Base";
    HeadquarterTable::GetOrCreateRow(0)->BaseCosts = 1500;
    HeadquarterTable::GetOrCreateRow(2)->Name = "Shop";
    GetPlayer(0)->SetCompanyName("Acme");
    Headquarter* hq = Create<Headquarter>(Headquarter::kSubtype);
    hq->SetOwner(uint8_t(0));
    hq->AddPart(2);
    std::string text;
    hq->GetInfoText(text);
    EXPECT_EQ(text, "Seat\nof\n\nBase\nShop\n\nCosts " + FormatNumber(1500) + "\n\nFirm Acme\nBoss Henrik");
}

TEST_F(StaticObjectsTest, HouseHighlightIsTheTowns) {
    Building townObject;
    StaticServices().townLinkedObject = [&](uint32_t town) -> MapObject* {
        return town == 4 ? &townObject : nullptr;
    };
    LivingBuilding* house = Create<LivingBuilding>(LivingBuilding::kSubtype);
    house->Init(4, 0, 1, 0);
    house->SetHighlight(1);
    EXPECT_EQ(townObject.GetHighlight(), 1u);
    EXPECT_EQ(house->GetHighlight(), 1u);
    // Without its town the house keeps its own flag.
    house->Init(5, 0, 1, 0);
    EXPECT_EQ(house->GetHighlight(), 0u);

    LivingBuildingTable::GetOrCreateRow(0);
    LivingBuildingTable::GetOrCreateRow(1);
    StaticServices().hasFrameFile = [](const SpriteRef& sprite) {
        return sprite.set == 15 && sprite.frame < sprite.colourFolder + sprite.number + 1;
    };
    CountLivingBuildingVariants();
    EXPECT_EQ(GetLivingBuildingValue(0, 0, 0), 1);
    EXPECT_EQ(GetLivingBuildingValue(1, 0, 3), 5);
    EXPECT_EQ(GetLivingBuildingValue(9, 0, 0), 0);
}

TEST_F(StaticObjectsTest, HeadquarterGraphicsFollowRegionAndYear) {
    HeadquarterTable::GetOrCreateRow(0)->GrafikSet = MakeTable({{1850, 4}, {1900, 5}, {1950, 6}});
    struct Case {
        uint32_t region;
        uint32_t year;
        int32_t index;
    };
    const Case cases[] = {{1, 1850, 4}, {1, 1899, 4}, {1, 1900, 5}, {1, 2010, 6},
                          {2, 1920, 8}, {4, 1960, 9}, {3, 1960, 0}, {0, 1900, 0}};
    for (const Case& c : cases) {
        CurrentRegion() = c.region;
        SetYear(c.year);
        EXPECT_EQ(GetHeadquarterGfxIndex(), c.index) << c.region << " " << c.year;
    }
    EXPECT_EQ(GetHeadquarterGrafikSet(0, 2, 1), 6);
    EXPECT_EQ(GetHeadquarterGrafikSet(0, 3, 1), -1);
    EXPECT_EQ(GetHeadquarterGrafikSet(7, 0, 0), -1);
}

TEST_F(StaticObjectsTest, HeadquarterFromADamagedSaveIsRepaired) {
    Headquarter* hq = Create<Headquarter>(Headquarter::kSubtype);
    hq->AddPart(1);
    hq->AddPart(2);
    // An owner outside the player slots, as a damaged file may hold.
    hq->MapObject::SetOwner(9);
    const Bytes stored = StoreSection([] { SaveMapObjects(); });
    DeleteAllMapObjects();
    const uint32_t warnings = WorldWarningCount();
    ASSERT_TRUE(LoadSection(stored, [] { EXPECT_TRUE(LoadMapObjects()); }));
    for (uint32_t slot = 0; slot < kPlayerSlotCount; ++slot)
        EXPECT_EQ(GetPlayerHeadquarter(slot), nullptr);
    EXPECT_GT(WorldWarningCount(), warnings);

    // A part count that disagrees with the parts follows the parts.
    ChunkWriter w;
    w.Empty();
    w.Empty();
    w.Begin(ChunkTag("hdq1"));
    w.U32(8);
    w.U32(0b11011);
    w.U32(77);
    w.End();
    w.Empty();
    Headquarter loose;
    ASSERT_TRUE(LoadSection(WrapSection(w.bytes), [&] { loose.Serialize(); }));
    EXPECT_EQ(loose.GetParts(), 0b11011u);
    EXPECT_EQ(loose.GetPartCount(), 3u);
}

TEST_F(StaticObjectsTest, StorageHallKeepsUnitsInArrivalOrderUpToItsCapacity) {
    ProductTable::GetOrCreateRow(0);
    ProductTable::GetOrCreateRow(1);
    ProductTable::GetOrCreateRow(2)->CanPlacedInStorageHall = 0;
    StoragePlaceTable::GetOrCreateRow(0)->Name = "Hall\\nsmall";
    StoragePlaceTable::GetOrCreateRow(1)->Capacity = 3;
    StorageHall* hall = Create<StorageHall>(StorageHall::kSubtype);
    hall->SetTypeIndex(1);
    EXPECT_FALSE(hall->CanStore(2));
    std::string debug;
    hall->GetDebugText(debug);
    EXPECT_EQ(debug, "");
    for (uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(hall->CanStore(i % 2));
        hall->AddUnit(int32_t(i % 2), i, 10 + i, 20 + i);
    }
    EXPECT_FALSE(hall->CanStore(0));
    EXPECT_FALSE(hall->CanStore(1));
    uint32_t first = 99, rest[2] = {99, 99};
    hall->TakeUnit(0, first, rest);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(rest[0], 10u);
    hall->TakeUnit(0, first, rest);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(rest[1], 22u);
    hall->TakeUnit(0, first, rest);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(hall->GetUnitCount(), 1);
    std::string name;
    GetStoragePlaceName(name, 0);
    EXPECT_EQ(name, "Hall\nsmall");

    hall->AddUnit(0, 7, 8, 9);
    ExpectObjectsRoundTrip();
    auto* loaded = dynamic_cast<StorageHall*>(BuildingFromId(MakeObjectHandle(1, 0)));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetUnitCount(), 2);
    EXPECT_EQ(loaded->GetStock(1), 1);
}

TEST_F(StaticObjectsTest, StorageChunksReadNoFurtherThanTheirBytes) {
    ProductTable::GetOrCreateRow(0);
    StorageHall hall;
    // Two products announced, one present; its units stored 16 bytes wide.
    // The base chunks' lists end at once; then the hall's own chunk.
    ChunkWriter w;
    w.Empty();
    w.Empty();
    w.Begin(ChunkTag("lag1"));
    w.U32(2);
    w.U32(4);
    w.U32(0);
    w.U32(2);
    w.U32(16);
    for (uint32_t i = 0; i < 8; ++i)
        w.U32(i);
    w.End();
    w.Empty();
    const uint32_t warnings = WorldWarningCount();
    ASSERT_TRUE(LoadSection(WrapSection(w.bytes), [&] { hall.Serialize(); }));
    EXPECT_EQ(hall.GetStock(0), 2);
    uint32_t first = 0, rest[2] = {0, 0};
    hall.TakeUnit(0, first, rest);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(rest[1], 2u);
    hall.TakeUnit(0, first, rest);
    EXPECT_EQ(first, 4u);
    EXPECT_GT(WorldWarningCount(), warnings);
}

TEST_F(StaticObjectsTest, WaterTowerCostsOnlyOnceFinal) {
    WaterTowerTable::GetOrCreateRow(0)->BaseCosts = 40;
    WaterTower* tower = Create<WaterTower>(WaterTower::kSubtype);
    EXPECT_EQ(tower->GetTypeIndex(), 99);
    tower->SetOwner(0);
    tower->SetProvisional(true);
    UpdateBuildingsMonth();
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 1000);
    ExpectObjectsRoundTrip();
    UpdateBuildingsMonth();
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 960);
    DeletePlayer(0);
    UpdateBuildingsMonth();
}

TEST_F(StaticObjectsTest, TrackEndPieceCarriesItsFields) {
    TrackEndPiece* piece = Create<TrackEndPiece>(TrackEndPiece::kSubtype);
    piece->SetNameFields(12, 34);
    piece->SetProvisional(true);
    ExpectObjectsRoundTrip();
    auto* loaded = dynamic_cast<TrackEndPiece*>(BuildingFromId(MakeObjectHandle(1, 0)));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetNameFieldA(), 12u);
    EXPECT_EQ(loaded->GetNameFieldB(), 34u);
    EXPECT_TRUE(loaded->IsProvisional());
    EXPECT_EQ(loaded->GetGraphic().number, 400);
}

TEST_F(StaticObjectsTest, ProductStockCountsAndRoundTrips) {
    ProductQuantityMap stock;
    EXPECT_FALSE(stock.AddQuantity(5, 10));
    EXPECT_FALSE(stock.Contains(5));
    stock.AddProduct(5);
    stock.AddProduct(998);
    EXPECT_TRUE(stock.AddQuantity(5, 10));
    EXPECT_TRUE(stock.AddQuantity(998, 4));
    EXPECT_TRUE(stock.TakeQuantity(5, 15));
    EXPECT_EQ(stock.GetQuantity(5), -5);
    stock.StartNewPeriod();
    EXPECT_EQ(stock.GetInCounter(5, 1), 10);
    EXPECT_EQ(stock.GetOutCounter(5, 1), 15);
    EXPECT_EQ(stock.GetOutCounter(5, 0), 0);
    const Bytes stored = Section([&] { stock.Serialize(); });
    stock.ClearQuantities();
    EXPECT_EQ(stock.GetQuantity(5), 0);
    EXPECT_EQ(stock.GetQuantity(998), 4);

    ProductQuantityMap loaded;
    loaded.AddProduct(1);
    ASSERT_TRUE(LoadSection(stored, [&] { loaded.Serialize(); }));
    EXPECT_FALSE(loaded.Contains(1));
    EXPECT_EQ(loaded.GetQuantity(5), -5);
    EXPECT_EQ(Section([&] { loaded.Serialize(); }), stored);

    ProductQuantityMap empty;
    const Bytes none = Section([&] { empty.Serialize(); });
    ASSERT_TRUE(LoadSection(none, [&] { loaded.Serialize(); }));
    EXPECT_TRUE(loaded.Records().empty());

    // A count far beyond the chunk stops where the chunk ends.
    ChunkWriter w;
    w.Begin(ChunkTag("ist1"));
    w.U32(1000000);
    w.End();
    const uint32_t warnings = WorldWarningCount();
    ASSERT_TRUE(LoadSection(WrapSection(w.bytes), [&] { loaded.Serialize(); }));
    EXPECT_TRUE(loaded.Records().empty());
    EXPECT_EQ(WorldWarningCount(), warnings + 1);
}

TEST_F(StaticObjectsTest, HousesGrowStageByStage) {
    CityGrowingConfigTable::GetOrCreateRow(0)->OneLevelBuildingTime = 100;
    struct Case {
        uint8_t level;
        std::vector<uint8_t> stages;
    };
    const Case cases[] = {{3, {0, 1, 2, 3}}, {6, {0, 1, 2, 3, 4, 6}}};
    for (const Case& c : cases) {
        LivingBuilding* house = Create<LivingBuilding>(LivingBuilding::kSubtype);
        house->Init(7, 0, c.level, 0);
        std::vector<uint8_t> seen{house->GetShownLevel()};
        for (uint32_t now = 0; now < 2000; now += 50) {
            house->Update(now);
            if (house->GetShownLevel() != seen.back())
                seen.push_back(house->GetShownLevel());
        }
        EXPECT_EQ(seen, c.stages) << int(c.level);
        DeleteMapObject(house->GetId());
    }
    SetMapGeneratorFlag(false);
    LivingBuilding* finished = Create<LivingBuilding>(LivingBuilding::kSubtype);
    finished->Init(7, 0, 5, 2);
    SetMapGeneratorFlag(true);
    EXPECT_EQ(finished->GetShownLevel(), 5);
    EXPECT_EQ(finished->GetGraphic(), (SpriteRef{15, 4, 2, 0}));
}

TEST_F(StaticObjectsTest, HousesRoundTripAndReadTheirStyle) {
    LivingBuildingRow* style = LivingBuildingTable::GetOrCreateRow(2);
    style->Population = MakeTable({{10}, {20}, {30}});
    style->DemolitionCost = MakeTable({{1}, {2}, {3}, {4}, {5}, {6}, {7}});
    LivingBuilding* house = Create<LivingBuilding>(LivingBuilding::kSubtype);
    house->Init(9, 2, 3, 1);
    EXPECT_EQ(house->GetHousePopulation(), 30);
    EXPECT_EQ(house->GetHouseDemolitionCost(), 3);
    house->SetLevel(7);
    EXPECT_EQ(house->GetHouseDemolitionCost(), 0);
    EXPECT_EQ(house->GetHousePopulation(), -1);
    house->Update(5000);
    ExpectObjectsRoundTrip();
    auto* loaded = dynamic_cast<LivingBuilding*>(BuildingFromId(MakeObjectHandle(1, 0)));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetTown(), 9);
    EXPECT_EQ(loaded->GetLevel(), 7);
    EXPECT_EQ(loaded->GetStyle(), 2);
    EXPECT_EQ(loaded->GetShownLevel(), 1);
}

TEST_F(StaticObjectsTest, SpecialBuildingsKeepTheirTownsCounts) {
    SpecialBuildingTownTable::GetOrCreateRow(3);
    std::array<uint8_t, 8> counts{};
    bool townExists = true;
    StaticServices().specialBuildingCount = [&](uint32_t town, uint32_t type) -> uint8_t* {
        return town == 7 && townExists && type < counts.size() ? &counts[type] : nullptr;
    };
    auto* building = Create<SpecialBuilding>(SpecialBuilding::kSubtype);
    building->Init(7, 3);
    EXPECT_EQ(counts[3], 1);
    DeleteMapObject(building->GetId());
    EXPECT_EQ(counts[3], 0);

    building = Create<SpecialBuilding>(SpecialBuilding::kSubtype);
    building->Init(7, 3);
    townExists = false;
    DeleteMapObject(building->GetId());
    townExists = true;
    EXPECT_EQ(counts[3], 1);

    // A loaded building its town never counted leaves the count at 0.
    counts[3] = 0;
    building = Create<SpecialBuilding>(SpecialBuilding::kSubtype);
    building->Init(7, 3);
    counts[3] = 0;
    DeleteMapObject(building->GetId());
    EXPECT_EQ(counts[3], 0);
}

TEST_F(StaticObjectsTest, SpecialBuildingStyleLists) {
    SpecialBuildingTownTable::GetOrCreateRow(0)->AllowedInCityStyle = MakeTable({{2, -1, 5}});
    SpecialBuildingTownTable::GetOrCreateRow(1)->AllowedInCityStyle = MakeTable({{2, 5}});
    SpecialBuildingTownTable::GetOrCreateRow(2);
    for (int32_t style : {2, 3, 5, 9})
        EXPECT_TRUE(IsSpecialBuildingAllowedInStyle(0, style)) << style;
    EXPECT_TRUE(IsSpecialBuildingAllowedInStyle(1, 5));
    EXPECT_FALSE(IsSpecialBuildingAllowedInStyle(1, 3));
    EXPECT_FALSE(IsSpecialBuildingAllowedInStyle(2, 2));
    EXPECT_FALSE(IsSpecialBuildingAllowedInStyle(9, 2));

    auto* building = Create<SpecialBuilding>(SpecialBuilding::kSubtype);
    building->Init(12, 1);
    ExpectObjectsRoundTrip();
    auto* loaded = dynamic_cast<SpecialBuilding*>(BuildingFromId(MakeObjectHandle(1, 0)));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetTown(), 12);
    EXPECT_EQ(loaded->GetType(), 1);
}

TEST_F(StaticObjectsTest, MountainsTakeTheirShape) {
    // A core cell only in the top-left corner, shape cells around it.
    MountainsTable::SetAreaDescription(0, MakeTable({{2, 1}, {1, 1}}));
    MountainsTable::SetAreaDescription(1, MakeTable({{1, 2, 2}, {1, 2, 2}}));
    Mountain* first = Create<Mountain>(Mountain::kSubtype);
    ASSERT_TRUE(CanPlaceMountainTemplate(0, 10, 10));
    first->Place(10, 10, 3, 0, 0, 0, true);
    EXPECT_EQ(first->GetWidth(), 1);
    EXPECT_EQ(first->GetHeight(), 1);
    EXPECT_EQ(Map().GetBuildingAt(11, 11), first->GetId());

    // A second shape may share the first's loose cells but not its core.
    EXPECT_TRUE(CanPlaceMountainTemplate(1, 12, 10));
    EXPECT_TRUE(CanPlaceMountainTemplate(1, 11, 10));
    EXPECT_FALSE(CanPlaceMountainTemplate(1, 10, 10));
    EXPECT_FALSE(CanPlaceMountainTemplate(0, 63, 63));
    EXPECT_FALSE(CanPlaceMountainTemplate(5, 20, 20));
    SetTerrainOfCell(31, 30, kRock);
    EXPECT_FALSE(CanPlaceMountainTemplate(0, 30, 30));

    Mountain* lost = Create<Mountain>(Mountain::kSubtype);
    lost->Place(40, 40, 3, 0, 0, 0, true);
    lost->SetTemplateIndex(17);
    const uint32_t warnings = WorldWarningCount();
    EXPECT_FALSE(ApplyMou1Templates());
    EXPECT_EQ(WorldWarningCount(), warnings + 1) << "the mountain without template is reported";
    const ObjectHandle firstId = first->GetId();
    ExpectObjectsRoundTrip();
    DeleteMapObject(firstId);
    EXPECT_EQ(Map().GetBuildingAt(11, 11), 0u);
}

TEST_F(StaticObjectsTest, MountainsInOpenWaterAreRemoved) {
    MountainsTable::SetAreaDescription(0, MakeTable({{2}}));
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 20; ++x)
            SetTerrainOfCell(x, y, kWater);
    Mountain* wet = Create<Mountain>(Mountain::kSubtype);
    wet->Place(10, 10, 0, 0, 0, 0, true);
    Mountain* dry = Create<Mountain>(Mountain::kSubtype);
    dry->Place(40, 40, 0, 0, 0, 0, true);
    const ObjectHandle dryId = dry->GetId();
    RemoveMountainsInOpenWater();
    EXPECT_EQ(BuildingFromId(MakeObjectHandle(1, 0)), nullptr);
    EXPECT_NE(BuildingFromId(dryId), nullptr);
}

namespace {

class BridgeTest : public StaticObjectsTest {
protected:
    void SetUp() override {
        StaticObjectsTest::SetUp();
        RouteBuilderRow* bridge = RouteBuilderTable::GetOrCreateRow(20);
        bridge->ConstructionCost = 100;
        bridge->DemolitionCost = 10;
        bridge->IsBridge = 1;
        bridge->GfxIndex = 20;
        bridge->RampIndex = 21;
        bridge->RampModule = 4;
        bridge->MaxLength = 10;
        bridge->RouteType = 1;
        RouteBuilderRow* ramp = RouteBuilderTable::GetOrCreateRow(21);
        ramp->GfxIndex = 21;
        RouteBuilderRow* stone = RouteBuilderTable::GetOrCreateRow(22);
        *stone = *bridge;
        stone->GfxIndex = 22;
        stone->RampIndex = 23;
        RouteBuilderTable::GetOrCreateRow(23)->GfxIndex = 23;
        ramp->CanCrossTrack = 1;
        RouteBuilderTable::FindMutable(23)->CanCrossTrack = 1;
        RouteBuilderRow* tunnel = RouteBuilderTable::GetOrCreateRow(24);
        *tunnel = *RouteBuilderTable::Find(20);
        tunnel->IsBridge = 2;
    }
};

} // namespace

TEST_F(BridgeTest, PlansRampsAndDeckByLength) {
    struct Case {
        int32_t length;
        int32_t deckModule;
        std::vector<int32_t> frames; // frame per piece, in order
    };
    const Case cases[] = {
        {6, 0, {4, 0, 0, 0, 0, 0}},
        {7, 0, {4, 0, 0, 0, 0, 0, 4}},
        // R = 8 with a module of 3: one long piece, one tile before, two after.
        {10, 3, {4, 0, 0, 2, 0, 0, 0, 4}},
        // R = 7: the long piece leaves four one-tile pieces, two on each side.
        {9, 3, {4, 0, 0, 2, 0, 0, 4}},
    };
    for (const Case& c : cases) {
        StaticServices().pieceExtent = [&](int32_t, int32_t frame, int32_t, bool) {
            return frame == 2 ? c.deckModule : 1;
        };
        const auto& pieces = PlanBridgePieces(5, 8, 5 + c.length - 1, 8, 20);
        std::vector<int32_t> frames;
        int32_t tiles = 0;
        for (const BridgePiece& piece : pieces) {
            frames.push_back(piece.frame);
            tiles += piece.x1 - piece.x0 + 1;
        }
        EXPECT_EQ(frames, c.frames) << c.length;
        EXPECT_EQ(tiles, c.length) << c.length;
        EXPECT_EQ(pieces.front().direction, 2);
        if (c.length >= 7) {
            EXPECT_EQ(pieces.back().direction, 8);
        }
    }
}

TEST_F(BridgeTest, PreviewHidesTheInsideOfATunnel) {
    std::vector<SpriteRef> shown;
    StaticServices().queueOverlayImage = [&](const SpriteRef& sprite, int32_t, int32_t, uint32_t, uint32_t) {
        shown.push_back(sprite);
    };
    RouteBuilderTable::GetOrCreateRow(25)->GfxIndex = 25; // a portal row: not a bridge piece
    RouteBuilderTable::FindMutable(24)->RampIndex = 25;
    PreviewBridge(5, 8, 12, 8, 24, 0, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].number, 25);
    EXPECT_EQ(shown[1].nameFieldA, 8);
    shown.clear();
    PreviewBridge(5, 8, 12, 8, 20, 0, 0);
    EXPECT_EQ(shown.size(), 8u);
}

TEST_F(BridgeTest, PricesOnlyBuildableRuns) {
    struct Case {
        int32_t xa, ya, xb, yb;
        int32_t price;
    };
    const Case cases[] = {
        {5, 8, 14, 8, 1000}, // MaxLength tiles
        {5, 8, 15, 8, 0},    // one more
        {0, 8, 5, 8, 0},     // starts on column 0
        {8, 5, 8, 9, 500},   // along y
        {5, 5, 8, 8, 0},     // not in one line
        {60, 8, 64, 8, 0},   // off the map
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetBridgeSpanCost(c.xa, c.ya, c.xb, c.yb, 20), c.price) << c.xa << "," << c.ya;
    RouteBuilderTable::FindMutable(20)->MaxLength = 0;
    EXPECT_EQ(GetBridgeSpanCost(1, 8, 40, 8, 20), 4000);
}

TEST_F(BridgeTest, BuildsALinkedChainAndRemovesItWhole) {
    EXPECT_EQ(BuildBridge(14, 8, 5, 8, 20, 0), 1000);
    std::vector<MapObject*> spans;
    GetMapObjects(spans, 0, kCategorySpan, 0, 0);
    ASSERT_EQ(spans.size(), 10u);
    auto* first = GetBridgeSpan(spans.front()->GetId());
    auto* last = GetBridgeSpan(spans.back()->GetId());
    EXPECT_EQ(first->GetPrev(), 0u);
    EXPECT_EQ(last->GetNext(), 0u);
    EXPECT_EQ(first->GetChain().size(), 10u);
    EXPECT_EQ(last->GetChainLength(), 10);
    int32_t x = -1, y = -1;
    first->FindChainEnd(5, 8, 0, x, y);
    EXPECT_EQ(x, 14);
    EXPECT_EQ(y, 8);
    x = y = -1;
    first->FindChainEnd(5, 8, 3, x, y);
    EXPECT_EQ(x, -1);

    last->SetChainRouteType(22);
    EXPECT_EQ(first->GetPieceRow(), 23);
    EXPECT_EQ(GetBridgeSpan(spans[4]->GetId())->GetPieceRow(), 22);
    EXPECT_TRUE(last->CanRetypeChain(5, 8, 14, 8, 20));
    EXPECT_FALSE(last->CanRetypeChain(5, 8, 14, 8, 24));
    EXPECT_FALSE(last->CanRetypeChain(5, 8, 13, 8, 20));
    EXPECT_FALSE(first->CanRetypeChain(5, 8, 14, 8, 20));

    last->SetChainFlag1(true);
    EXPECT_EQ(first->GetFlags() & 2u, 2u);
    EXPECT_EQ(GetBridgeSpan(spans[3]->GetId())->GetFlags() & 2u, 2u);
    ExpectObjectsRoundTrip();

    GetPlayer(0)->Pay(1000000, -1, 0);
    auto* loaded = GetBridgeSpan(MakeObjectHandle(kCategorySpan, 0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetChainDemolitionCost(), 100);
    RemoveBridgeChain(loaded, 1);
    GetMapObjects(spans, 0, kCategorySpan, 0, 0);
    EXPECT_TRUE(spans.empty());
}

TEST_F(BridgeTest, LoopingOrForeignLinksAreCut) {
    BuildBridge(5, 8, 10, 8, 20, 0);
    std::vector<MapObject*> spans;
    GetMapObjects(spans, 0, kCategorySpan, 0, 0);
    ASSERT_EQ(spans.size(), 6u);
    std::vector<ObjectHandle> ids;
    for (MapObject* object : spans)
        ids.push_back(object->GetId());
    auto* first = GetBridgeSpan(ids.front());
    auto* last = GetBridgeSpan(ids.back());
    // Close the chain into a ring, and let a middle piece name a building.
    first->SetPrev(last->GetId());
    last->SetNext(first->GetId());
    EXPECT_LE(first->GetChain().size(), 6u);
    int32_t x = 0, y = 0;
    first->FindChainEnd(5, 8, 0, x, y);
    const Bytes stored = StoreSection([] { SaveMapObjects(); });
    DeleteAllMapObjects();
    ASSERT_TRUE(LoadSection(stored, [] { LoadMapObjects(); }));
    EXPECT_EQ(ValidateBridgeChains(), 2u);
    GetBridgeSpan(ids[2])->SetNext(MakeObjectHandle(1, 0));
    EXPECT_EQ(ValidateBridgeChains(), 2u);
    for (ObjectHandle id : ids) {
        auto* span = GetBridgeSpan(id);
        ASSERT_NE(span, nullptr);
        EXPECT_LE(span->GetChain().size(), 6u);
    }
    EXPECT_EQ(ValidateBridgeChains(), 0u);
}
