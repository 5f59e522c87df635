#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "gameloop/building_commands.h"
#include "gameloop/command_script.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/station_commands.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "world/catchment.h"
#include "world/cell_rows.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kLand = 1, kWater = 2;

// A started game on a 64 x 64 map of land with the shipped station kinds
// and layouts; the commands go through the game's session.
class StationCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string database;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", database));
        Database& db = GetDatabase();
        db.Init();
        ASSERT_TRUE(db.Read(database));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
        std::string layouts;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/station_config.txt", layouts));
        GetStationLayouts().Clear();
        ASSERT_EQ(GetStationLayouts().Read(layouts, "station_config.txt"), 0u);
    }

    void SetUp() override {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game_, hooks_);
        StartGame(game_, 1);
        GetStationHooks() = StationHooks{};
        InstallStations();
        InstallStationCommands();
        TerrainRow* land = TerrainTable::GetOrCreateRow(kLand);
        land->IsWater = land->IsNavigable = 0;
        land->CanBuildBuilding = land->CanBuildRoute = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
        water->IsWater = water->IsNavigable = 1;
        water->CanBuildBuilding = water->CanBuildRoute = 0;
        DeleteAllMapObjects();
        ResetCellRows();
        GetWorldMap().ResetState();
        GetWorldMap().SetMapSizeNoReset(64, 64);
        for (WorldCell& cell : GetWorldMap().GetGrid())
            cell = WorldCell{};
        for (WorldCell& cell : GetWorldMap().GetGrid())
            cell.SetTerrainIndex(kLand);
        ASSERT_NE(GetPlayer(0), nullptr);
        GetPlayer(0)->Pay(100000000 - GetPlayer(0)->GetMoney(), -1, 0);
    }
    void TearDown() override {
        SetStationCommandHandlers({});
        GetStationHooks() = StationHooks{};
    }

    void Run(const GameCommand& command) {
        ASSERT_TRUE(game_.Post(command));
        game_.DrainCommands();
    }
    static std::vector<WorldCell> Cells() { return GetWorldMap().GetGrid(); }
    static bool SameCells(const std::vector<WorldCell>& a, const std::vector<WorldCell>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].word0 != b[i].word0 || a[i].word1 != b[i].word1)
                return false;
        return true;
    }

    Game game_;
    WorldModelHooks hooks_;
};

// The water a water station's layout asks for (area 9) at its place.
void PaintStationWater(int32_t kind, uint32_t rotation, int32_t x, int32_t y) {
    LayoutRect rect;
    if (!GetLayoutArea(kind, 9, rotation, x, y, rect))
        return;
    for (int32_t ty = rect.y; ty < rect.y + rect.h; ++ty)
        for (int32_t tx = rect.x; tx < rect.x + rect.w; ++tx)
            GetWorldMap().CellAt(uint32_t(tx), uint32_t(ty))->SetTerrainIndex(kWater);
}

TEST_F(StationCommandTest, BuildAndRemoveLeaveCellsAndMoneyButForTheBookings) {
    // A road stop, a rail station, a landing stage and an airfield.
    for (int32_t kind : {0, 4, 7, 9}) {
        for (uint8_t rotation = 0; rotation < 4; ++rotation) {
            SCOPED_TRACE("kind " + std::to_string(kind) + " rotation " + std::to_string(rotation));
            const uint32_t bit = 1u << rotation;
            PaintStationWater(kind, bit, 20, 20);
            const std::vector<WorldCell> before = Cells();
            Player& player = *GetPlayer(0);
            const int64_t money = player.GetMoney();

            BuildStationCommand build(20, 20, rotation, uint32_t(kind), 0, 0);
            build.SetPlayerId(0);
            Run(build);
            const std::vector<Station*> stations = AllStations();
            ASSERT_EQ(stations.size(), 1u);
            Station& station = *stations[0];
            EXPECT_FALSE(station.IsPlanned());
            EXPECT_EQ(station.GetRotation(), bit);
            EXPECT_FALSE(SameCells(Cells(), before));
            const int32_t stage = std::max(GetCurrentGrafikSet(kind), 0);
            const int64_t price = GetStationPrice(kind, uint32_t(stage));
            EXPECT_EQ(player.GetMoney(), money - price);

            const int64_t demolition = station.GetDemolitionCost();
            EXPECT_GE(demolition, GetStationDemolitionCost(kind, uint32_t(stage)));
            DemolishStationCommand demolish(station.GetId());
            demolish.SetPlayerId(0);
            Run(demolish);
            EXPECT_TRUE(AllStations().empty());
            EXPECT_TRUE(SameCells(Cells(), before));
            EXPECT_EQ(player.GetMoney(), money - price - demolition);
            for (WorldCell& cell : GetWorldMap().GetGrid())
                cell.SetTerrainIndex(kLand);
        }
    }
}

TEST_F(StationCommandTest, PreviewsCostNothingAndTurnReal) {
    Player& player = *GetPlayer(0);
    const int64_t money = player.GetMoney();
    GetWorldMap().ClearTrackNetworkChanged();
    BuildStationCommand preview(10, 10, 1, 4, 1, 0);
    preview.SetPlayerId(0);
    Run(preview);
    ASSERT_EQ(AllStations().size(), 1u);
    EXPECT_TRUE(AllStations()[0]->IsPlanned());
    EXPECT_EQ(player.GetMoney(), money);
    EXPECT_TRUE(ConstructionChanged());
    EXPECT_FALSE(GetWorldMap().TrackNetworkChanged());

    // The same command for real turns the preview into the station.
    BuildStationCommand real(10, 10, 1, 4, 0, 0);
    real.SetPlayerId(0);
    Run(real);
    ASSERT_EQ(AllStations().size(), 1u);
    EXPECT_FALSE(AllStations()[0]->IsPlanned());
    EXPECT_LT(player.GetMoney(), money);
    EXPECT_TRUE(GetWorldMap().TrackNetworkChanged());

    // A preview elsewhere is removed free of charge.
    Run(preview);
    BuildStationCommand other(30, 30, 0, 0, 1, 0);
    other.SetPlayerId(0);
    Run(other);
    ASSERT_EQ(AllStations().size(), 2u);
    const int64_t afterBuild = player.GetMoney();
    DemolishStationCommand demolish(AllStations()[1]->GetId());
    demolish.SetPlayerId(0);
    Run(demolish);
    EXPECT_EQ(player.GetMoney(), afterBuild);
    EXPECT_EQ(AllStations().size(), 1u);
}

TEST_F(StationCommandTest, RefusalsChangeNothing) {
    Player& player = *GetPlayer(0);
    BuildStationCommand first(10, 10, 0, 0, 0, 0);
    first.SetPlayerId(0);
    Run(first);
    ASSERT_EQ(AllStations().size(), 1u);
    const std::vector<WorldCell> cells = Cells();
    const int64_t money = player.GetMoney();
    struct Case {
        uint32_t x, y;
        uint8_t rotation;
        uint32_t kind;
    };
    const Case refused[] = {
        {10, 10, 0, 0},         // taken
        {63, 63, 0, 4},         // off the map's edge
        {20, 20, 7, 0},         // no such rotation
        {20, 20, 0, 999},       // no such kind
        {0xFFFFFFF0u, 5, 0, 0}, // far off the map
        {0x7FFFFFFFu, 5, 2, 4}, // turned from the end of the coordinate range
        {20, 20, 0, 7},         // a landing stage on dry land
    };
    for (const Case& c : refused) {
        BuildStationCommand command(c.x, c.y, c.rotation, c.kind, 0, 0);
        command.SetPlayerId(0);
        Run(command);
    }
    EXPECT_EQ(AllStations().size(), 1u);
    EXPECT_TRUE(SameCells(Cells(), cells));
    EXPECT_EQ(player.GetMoney(), money);

    // Too little money: nothing changes.
    player.Pay(-player.GetMoney() + 10, -1, 0);
    BuildStationCommand poor(30, 30, 0, 4, 0, 0);
    poor.SetPlayerId(0);
    Run(poor);
    EXPECT_EQ(AllStations().size(), 1u);
    EXPECT_EQ(player.GetMoney(), 10);

    // A given price is charged as it stands, without a money check.
    BuildStationCommand priced(30, 30, 0, 4, 0, 500);
    priced.SetPlayerId(0);
    Run(priced);
    EXPECT_EQ(AllStations().size(), 2u);
    EXPECT_EQ(player.GetMoney(), -490);
}

TEST_F(StationCommandTest, ScriptsBuildExtendAndRemoveByName) {
    StationExtentionTable::GetOrCreateRow(6)->Type = 8;
    StationExtentionTable::GetOrCreateRow(6)->Price = 300;
    std::vector<ScriptedCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseCommandScript("0 BuildStationCommand26 12 12 2 4 0 0\n"
                                   "0 BuildStationCommand27 30 12 0 0 1 0\n",
                                   commands, error))
        << error;
    for (const ScriptedCommand& scripted : commands)
        Run(*scripted.command);
    ASSERT_EQ(AllStations().size(), 2u);
    Station& rail = *AllStations()[0];
    EXPECT_EQ(rail.GetRotation(), 4u);
    EXPECT_TRUE(AllStations()[1]->IsPlanned());

    Player& player = *GetPlayer(0);
    const int64_t money = player.GetMoney();
    ASSERT_TRUE(ParseCommandScript("0 BuildStationExtentionCommand " + std::to_string(rail.GetId()) +
                                       " 6\n0 BuildStationExtentionCommand " + std::to_string(rail.GetId()) +
                                       " 6\n",
                                   commands, error));
    for (const ScriptedCommand& scripted : commands)
        Run(*scripted.command);
    // The second time there is no room left for it: refused, not charged.
    EXPECT_TRUE(rail.HasExtension(6));
    EXPECT_EQ(player.GetMoney(), money - GetStationExtentionPrice(6));

    ASSERT_TRUE(ParseCommandScript("0 DemolishStationCommand " + std::to_string(rail.GetId()) + "\n",
                                   commands, error));
    Run(*commands[0].command);
    EXPECT_EQ(AllStations().size(), 1u);
}

TEST_F(StationCommandTest, AWaterStationOpensNewWaterRoutes) {
    // A channel of water-route cells along x = 21 with a gap at the
    // landing stage's berth (21, 31): the kept "no route" must not outlive
    // the station that closes it.
    for (uint32_t y = 20; y <= 40; ++y) {
        GetWorldMap().CellAt(21, y)->SetTerrainIndex(kWater);
        if (y != 31)
            GetWorldMap().SetRouteKind(21, y, 4);
    }
    EXPECT_EQ(SearchRouteByMode(kModeWater, 21, 20, 21, 40, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
    BuildStationCommand build(20, 30, 0, 7, 0, 0);
    build.SetPlayerId(0);
    Run(build);
    ASSERT_EQ(AllStations().size(), 1u);
    EXPECT_EQ(GetWorldMap().GetCellKind(21, 31), uint32_t(kCellWaterway));
    EXPECT_EQ(SearchRouteByMode(kModeWater, 21, 20, 21, 40, nullptr, nullptr, -1, 0, nullptr, nullptr), 2u);
}

TEST_F(StationCommandTest, AnUpgradeKeepsTheStationAndCentresItsStrip) {
    StationExtentionTable::GetOrCreateRow(6)->Type = 8;
    BuildStationCommand build(20, 20, 0, 4, 0, 0);
    build.SetPlayerId(0);
    Run(build);
    ASSERT_EQ(AllStations().size(), 1u);
    Station& station = *AllStations()[0];
    const ObjectHandle id = station.GetId();
    station.AddExtension(6);
    const std::vector<uint32_t> before = station.GetExtensions();
    ASSERT_EQ(before.size(), 6u);
    // Station (6 long) to central station (8 long): one slot more each end.
    station.UpgradeTo(20, 19, 5);
    EXPECT_EQ(station.GetId(), id);
    EXPECT_EQ(station.GetKind(), 5);
    std::vector<uint32_t> expected{89};
    expected.insert(expected.end(), before.begin(), before.end());
    expected.push_back(89);
    EXPECT_EQ(station.GetExtensions(), expected);
    EXPECT_EQ(station.GetDecorations().size(), station.LoadAreaCount());
    LayoutRect platform;
    ASSERT_TRUE(station.GetLoadAreaRect(station.LoadAreaCount(), platform));
    EXPECT_EQ(GetWorldMap().GetCellBuilding(uint32_t(platform.x), uint32_t(platform.y)), id);
}

TEST_F(StationCommandTest, AnEntranceWithoutAMaskGetsARoadAcrossTheStation) {
    // A one-tile stop whose entrance point has no direction of its own.
    GetStationLayouts().Read("STATION_DESC_BEGIN 99\nAREA 3 0 0 0 0 0\nAREA 5 0 0 0 0 0\nAREA 0 0 0 0 0 0\n"
                             "POINT 0 0 0 0\nSTATION_DESC_END\n",
                             "test");
    StationRow* row = StationTable::GetOrCreateRow(40);
    row->ConnectionType = 0;
    row->XSizeInMapSquares = row->YSizeInMapSquares = 1;
    row->LayoutIndex = 99;
    for (uint8_t rotation = 0; rotation < 4; ++rotation) {
        BuildStationCommand build(uint32_t(10 + 4 * rotation), 10, rotation, 40, 0, 0);
        build.SetPlayerId(0);
        Run(build);
    }
    // The rotation turned by one step: 1 gives 2, 2 gives 4, 4 gives 8, 8 gives 1.
    ASSERT_EQ(AllStations().size(), 4u);
    for (Station* station : AllStations()) {
        const uint32_t r = station->GetRotation();
        EXPECT_EQ(GetWorldMap().GetRoadDirections(uint32_t(station->GetOriginX()), 10), r == 8 ? 1u : r << 1)
            << r;
    }
    // The shipped kinds and layouts again, without the test's own.
    StationTable::Clear();
    GetDatabase().ApplyAllTables(KindSelector::All);
    GetStationLayouts().Clear();
    std::string layouts;
    ASSERT_TRUE(plat::ReadWholeFile("gamedata/station_config.txt", layouts));
    GetStationLayouts().Read(layouts, "station_config.txt");
}

// A storage hall's link value is set only on a link the station has, and
// demolishing the hall takes the link away.
TEST_F(StationCommandTest, StorageHallLinksFollowTheHall) {
    BuildStationCommand build(20, 20, 0, 0, 0, 0);
    build.SetPlayerId(0);
    Run(build);
    ASSERT_EQ(AllStations().size(), 1u);
    Station& station = *AllStations()[0];
    BuildStorageHallCommand hall(24, 20, 0);
    hall.SetPlayerId(0);
    Run(hall);
    const ObjectHandle hallId = GetWorldMap().GetBuildingAt(24, 20);
    ASSERT_NE(hallId, 0u);
    // The link the catchment pass makes for a hall in reach.
    station.LinkBuilding(hallId);

    GameCommand20 value(station.GetId(), hallId, 5);
    value.SetPlayerId(0);
    Run(value);
    EXPECT_EQ(station.GetLinkValue(hallId), 5u);
    // A building the station does not serve gets no link.
    GameCommand20 stray(station.GetId(), 0x12345u, 5);
    stray.SetPlayerId(0);
    Run(stray);
    EXPECT_EQ(station.GetLinkedBuildings().count(0x12345u), 0u);

    GameCommand33 demolish(24, 20);
    demolish.SetPlayerId(0);
    Run(demolish);
    EXPECT_EQ(GetWorldMap().GetBuildingAt(24, 20), 0u);
    EXPECT_EQ(station.GetLinkedBuildings().count(hallId), 0u);
}

// Stations built by commands take part in the catchment passes: two stops
// side by side form one group, and a hall in reach is linked, serves and
// fills the group's product set without any link made by hand.
TEST_F(StationCommandTest, TheCatchmentPassesReachBuiltStations) {
    for (uint32_t x : {20u, 22u}) {
        BuildStationCommand build(x, 20, 0, 0, 0, 0);
        build.SetPlayerId(0);
        Run(build);
    }
    ASSERT_EQ(AllStations().size(), 2u);
    Station& a = *AllStations()[0];
    Station& b = *AllStations()[1];
    EXPECT_EQ(a.GetLinkedStations().count(b.GetId()), 1u);
    EXPECT_EQ(b.GetLinkedStations().count(a.GetId()), 1u);

    BuildStorageHallCommand hall(25, 20, 0);
    hall.SetPlayerId(0);
    Run(hall);
    const ObjectHandle hallId = GetWorldMap().GetBuildingAt(25, 20);
    ASSERT_NE(hallId, 0u);
    EXPECT_EQ(b.GetLinkValue(hallId), Station::kLinkMade);
    EXPECT_TRUE(b.GetProductSet().all());
    EXPECT_TRUE(a.GetProductSet().all()) << "the group shares its products";
    EXPECT_TRUE(CollectServedBuildings().count(hallId));
}

} // namespace
