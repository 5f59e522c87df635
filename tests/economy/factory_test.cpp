// Factories: the build command with its footprint and its test, the names
// after the nearest town, the placement tests of the generator, and the
// factories' own chunks in a saved game.
#include "data/generated/interface_tables.h"
#include "economy/factory_types.h"
#include "gameloop/building_commands.h"
#include "gameloop/saved_game.h"
#include "tests/economy/town_fixture.h"
#include "world/prices.h"

namespace {

// The town fixture with the endings of factory names in the data.
class FactoryTest : public TownTest {
protected:
    void SetUp() override {
        TownTest::SetUp();
        ToolTip_FactoryTable::Clear();
        const char* endings[] = {"Works", "Mill", "Yard", "Fields"};
        for (int32_t i = 0; i < 4; ++i)
            ToolTip_FactoryTable::GetOrCreateRow(kFactoryNameEndingRow + i)->Text = endings[i];
    }
    void TearDown() override {
        ToolTip_FactoryTable::Clear();
        TownTest::TearDown();
    }
};

std::vector<Factory*> Factories() {
    std::vector<MapObject*> objects;
    GetMapObjects(objects, kSelectCategory | kSelectSubtype, kCategoryBuilding, kFactorySubtype, 0);
    std::vector<Factory*> out;
    for (MapObject* object : objects)
        if (auto* factory = dynamic_cast<Factory*>(object); factory && factory->GetFactoryTyp() != 5)
            out.push_back(factory);
    return out;
}

TEST_F(FactoryTest, TheBuildCommandPlacesTheLayoutsFootprint) {
    struct Case {
        int32_t type, orientation, size;
        bool known;
        uint32_t width, height;
    } cases[] = {
        {kMill, 0, 0, true, 2, 2},  {kMill, 0, 1, true, 3, 2},
        {kMill, 1, 1, true, 2, 3},  {kMill, 0, 2, true, 4, 4}, // no FactoryLayout row 2: a square of 2 + size
        {kMill, 2, 0, false, 0, 0}, {7, 0, 0, false, 0, 0},    // no such type
    };
    for (const Case& c : cases) {
        uint32_t w = 0, h = 0;
        EXPECT_EQ(BuildFactoryCommand::Footprint(c.type, c.orientation, c.size, w, h), c.known);
        if (c.known) {
            EXPECT_EQ(w, c.width);
            EXPECT_EQ(h, c.height);
        }
    }

    BuildFactoryCommand command(10, 12, kMill, 1, 1);
    command.SetPlayerId(kNeutralPlayerSlot);
    ASSERT_TRUE(game_.Post(command));
    game_.DrainCommands();
    ASSERT_EQ(Factories().size(), 1u);
    Factory& factory = *Factories()[0];
    EXPECT_EQ(factory.GetWidth(), 2);
    EXPECT_EQ(factory.GetHeight(), 3);
    EXPECT_EQ(factory.GetSide(), 1); // the side is the layout's, kept as the link value
    EXPECT_EQ(factory.GetLayoutRow(), 1);
    EXPECT_EQ(Map().GetBuildingAt(11, 14), factory.GetId());
    EXPECT_EQ(factory.GetName(), "Mill 1");

    // The same place again is refused and changes nothing.
    game_.Post(command);
    game_.DrainCommands();
    EXPECT_EQ(Factories().size(), 1u);
}

TEST_F(FactoryTest, FactoriesDoNotFitOnWaterOrBesideIt) {
    Map().CellAt(20, 20)->SetTerrainIndex(kWater);
    struct Case {
        int32_t x, y;
        bool fits;
    } cases[] = {{30, 30, true}, {19, 19, false}, {21, 21, false}, {22, 22, true},
                 {62, 30, true}, {63, 30, false}, {-1, 5, false}};
    for (const Case& c : cases)
        EXPECT_EQ(BuildFactoryCommand::CanPlace({c.x, c.y, kMill, 0, 0}, kNeutralPlayerSlot), c.fits)
            << c.x << "," << c.y;
}

TEST_F(FactoryTest, FactoriesAreNamedAfterTheNearestTown) {
    CreateCity(10, 10, 5, 5, 0)->SetName("Ashgrove");
    for (int32_t x : {20, 30, 40}) {
        BuildFactoryCommand command(uint32_t(x), 10, kMill, 0, 0);
        game_.Post(command);
    }
    game_.DrainCommands();
    ASSERT_EQ(Factories().size(), 3u);
    EXPECT_EQ(Factories()[0]->GetName(), "Ashgrove Works");
    EXPECT_EQ(Factories()[1]->GetName(), "Ashgrove Mill");
    EXPECT_EQ(Factories()[2]->GetName(), "Ashgrove Yard");

    CreateCity(55, 10, 5, 5, 0)->SetName("Brinmoor");
    RenameAllFactories();
    EXPECT_EQ(Factories()[0]->GetName(), "Ashgrove Works");
    EXPECT_EQ(Factories()[1]->GetName(), "Ashgrove Mill");
    EXPECT_EQ(Factories()[2]->GetName(), "Brinmoor Works");
}

TEST_F(FactoryTest, PlacementTestsOfTheGenerator) {
    EXPECT_TRUE(FactoryFarEnoughFromTown(11, 10, kMill)); // no town yet
    CreateCity(10, 10, 3, 3, 0);
    struct Case {
        int32_t x, y;
        bool farEnough;
    } cases[] = {{19, 10, false}, {20, 10, true}, {18, 17, true}, {17, 17, false}};
    for (const Case& c : cases)
        EXPECT_EQ(FactoryFarEnoughFromTown(c.x, c.y, kMill), c.farEnough) << c.x << "," << c.y;

    BuildFactoryCommand command(40, 40, kMill, 0, 0);
    game_.Post(command);
    game_.DrainCommands();
    EXPECT_TRUE(FactoryOfTypeWithin(45, 40, kMill, 6));
    EXPECT_FALSE(FactoryOfTypeWithin(46, 40, kMill, 6));
    EXPECT_FALSE(FactoryOfTypeWithin(45, 40, 2, 6));
    EXPECT_TRUE(FactoryOfTypeWithin(45, 40, -1, 6));
    // The town's own factory counts for "any type" as well.
    EXPECT_TRUE(FactoryOfTypeWithin(11, 10, -1, 2));

    DeleteFactoriesButTownCentres();
    EXPECT_TRUE(Factories().empty());
    EXPECT_NE(BuildingFromId(GetCity(1)->GetCentreFactoryId()), nullptr);
}

TEST_F(FactoryTest, PlacingTypesAskForTerrainAndTrees) {
    FactoryPlacingTypesRow* fields = FactoryPlacingTypesTable::GetOrCreateRow(0);
    fields->NeedsTrees = -1;
    fields->NeedsTerrain = economy_fixture::MakeTable({{0}, {1}, {0}, {0}}); // land only
    FactoryPlacingTypesRow* forest = FactoryPlacingTypesTable::GetOrCreateRow(1);
    forest->NeedsTrees = 2;
    forest->TreeRadius = 2;
    Map().CellAt(5, 5)->SetTerrainIndex(kRock);
    ASSERT_TRUE(Map().PlaceDecoration(30, 30, 3, 0));
    ASSERT_TRUE(Map().PlaceDecoration(32, 31, 3, 0));
    struct Case {
        int32_t x, y, placing;
        bool suits;
    } cases[] = {
        {4, 5, 0, true},   {5, 5, 0, false},   {-3, 5, 0, true}, // off the map: no terrain to ask
        {31, 31, 1, true}, {34, 31, 1, false},                   // one tree in reach
        {31, 31, 9, true},                                       // no such row
    };
    for (const Case& c : cases)
        EXPECT_EQ(FactoryPlacingTest(c.x, c.y, c.placing), c.suits) << c.x << "," << c.y << " " << c.placing;
}

TEST_F(FactoryTest, ProductsInUseAreThoseOfStandingFactories) {
    FactoryTable::GetOrCreateRow(kMill)->ProduceProduct = economy_fixture::MakeTable({{4}, {7}, {-1}, {9}});
    UpdateProductsInUse();
    EXPECT_FALSE(TestProductFlag(4));
    BuildFactoryCommand command(40, 40, kMill, 0, 0);
    game_.Post(command);
    game_.DrainCommands();
    UpdateProductsInUse();
    EXPECT_TRUE(TestProductFlag(4));
    EXPECT_TRUE(TestProductFlag(7));
    EXPECT_FALSE(TestProductFlag(9)); // after the -1 that ends the list
}

TEST_F(FactoryTest, FactoriesAndTownsSurviveASavedGame) {
    CreateCity(10, 10, 9, 9, 0)->SetName("Caddow");
    Grow(*GetCity(1), 100);
    BuildFactoryCommand command(40, 40, kMill, 1, 1);
    game_.Post(command);
    game_.DrainCommands();
    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game_, saved));

    ASSERT_TRUE(LoadGameFromMemory(game_, saved));
    ASSERT_EQ(Factories().size(), 1u);
    EXPECT_EQ(Factories()[0]->GetName(), "Caddow Works");
    EXPECT_EQ(Factories()[0]->GetLayoutRow(), 1);
    ASSERT_NE(GetCity(1), nullptr);
    EXPECT_EQ(GetCity(1)->GetName(), "Caddow");
    EXPECT_NE(BuildingFromId(GetCity(1)->GetCentreFactoryId()), nullptr);
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game_, again));
    EXPECT_EQ(again, saved);
}

} // namespace
