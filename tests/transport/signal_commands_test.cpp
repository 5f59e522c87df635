#include "transport/signal_commands.h"

#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/route_commands.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/signals.h"
#include "transport/special_track.h"
#include "transport/station_construction.h"
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
constexpr uint8_t kSwitchType = 3;
constexpr int64_t kMoney = 100000000;

ValueTable Table(uint32_t columns, std::initializer_list<float> cells) {
    ValueTable t;
    t.Resize(columns, uint32_t(cells.size()) / columns);
    t.Cells().assign(cells);
    return t;
}

// A started game on a 64 x 64 map of land with track of player 0 down
// column 10 and a road across it at row 20; the commands go through the
// game's session.
class SignalCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string database;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", database));
        Database& db = GetDatabase();
        db.Init();
        ASSERT_TRUE(db.Read(database));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
    }

    void SetUp() override {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game_, hooks_);
        StartGame(game_, 1);
        InstallSpecialTracks();
        InstallSignalCommands();
        TerrainRow* land = TerrainTable::GetOrCreateRow(kLand);
        land->IsWater = land->IsNavigable = 0;
        land->CanBuildBuilding = land->CanBuildRoute = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
        water->IsWater = water->IsNavigable = 1;
        water->CanBuildBuilding = water->CanBuildRoute = 0;
        SpecialTracksRow* sw = SpecialTracksTable::GetOrCreateRow(kSwitchType);
        sw->AreaDescription = Table(2, {1, 2, 1, 2, 1, 0});
        sw->Directions = Table(2, {5, 6, 5, 9, 5, 0});
        sw->PathTable = Table(2, {0, 0, 0, 1, 0, 2});
        sw->IsSwitch = 1;
        sw->ConstructionCostMultiplier = 3;
        DeleteAllMapObjects();
        DeleteAllSignals();
        ResetCellRows();
        WorldMap& map = GetWorldMap();
        map.ResetState();
        map.SetMapSizeNoReset(64, 64);
        for (WorldCell& cell : map.GetGrid())
            cell = WorldCell{};
        for (WorldCell& cell : map.GetGrid())
            cell.SetTerrainIndex(kLand);
        for (uint32_t y = 3; y <= 30; ++y) {
            map.SetRouteKindAndClear(10, y, 1);
            map.SetRouteType(1, 10, y, 2);
            map.SetTrackDirections(10, y, 5);
            map.SetEdgeHeights(10, y, 0, 5);
        }
        map.PlaceTownRoad(10, 20, 10);
        ASSERT_NE(GetPlayer(0), nullptr);
        GetPlayer(0)->Pay(kMoney - GetPlayer(0)->GetMoney(), -1, 0);
    }
    void TearDown() override {
        SetRouteCommandHandlers({});
        DeleteAllMapObjects();
    }

    void Run(const GameCommand& command) {
        ASSERT_TRUE(game_.Post(command));
        game_.DrainCommands();
    }
    static Signal* SignalAt(uint32_t x, uint32_t y) { return GetSignal(GetWorldMap().GetRouteSignal(x, y)); }
    static int64_t Spent() { return kMoney - GetPlayer(0)->GetMoney(); }
    // What the track layer shows around the track, tile by tile.
    static std::vector<int64_t> Snapshot() {
        const WorldMap& map = GetWorldMap();
        std::vector<int64_t> out;
        for (uint32_t y = 2; y < 33; ++y) {
            for (uint32_t x = 8; x < 14; ++x) {
                out.push_back(map.GetCellKind(x, y));
                out.push_back(map.GetRouteTypeAt(1, x, y));
                out.push_back(map.GetTrackDirections(x, y));
                out.push_back(map.GetRoadDirections(x, y));
                for (uint32_t d = 0; d < 4; ++d)
                    out.push_back(map.GetEdgeHeight(x, y, 1u << d, true));
            }
        }
        return out;
    }

    Game game_;
    WorldModelHooks hooks_;
};

TEST_F(SignalCommandTest, PreviewThenCommitPlacesAndCharges) {
    Run(SignalCommand(10, 8, 1, 0, 1));
    Signal* signal = SignalAt(10, 8);
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(signal->preview, 1);
    EXPECT_EQ(Spent(), 0);
    Run(SignalCommand(10, 8, 0, 0, 1));
    EXPECT_EQ(signal->preview, 0);
    EXPECT_EQ(signal->committedKind, 1);
    EXPECT_EQ(Spent(), GetSignalPrice(0));
    EXPECT_GT(GetSignalPrice(0), 0);
    // A commit where no signal stands, or off the map, changes and charges nothing.
    for (const SignalCommand& command : {SignalCommand(10, 9, 0, 0, 1), SignalCommand(900, 9, 0, 0, 1)})
        Run(command);
    EXPECT_EQ(SignalAt(10, 9), nullptr);
    EXPECT_EQ(Spent(), GetSignalPrice(0));
}

TEST_F(SignalCommandTest, PlacementIsRefusedOffPlainTrack) {
    struct Case {
        uint32_t x, y;
        const char* what;
    } cases[] = {{11, 8, "no track"}, {10, 20, "a road crossing"}, {70, 8, "off the map"}};
    for (const Case& c : cases) {
        Run(SignalCommand(c.x, c.y, 1, 0, 0));
        EXPECT_EQ(SignalAt(c.x, c.y), nullptr) << c.what;
    }
    // The same kind again is no change; a preview is not previewed twice.
    Run(SignalCommand(10, 8, 1, 0, 0));
    Run(SignalCommand(10, 8, 0, 0, 0));
    EXPECT_FALSE(CanPlaceSignal(10, 8, 0));
    Run(SignalCommand(10, 8, 1, 0, 1));
    EXPECT_FALSE(CanPlaceSignal(10, 8, 0));
}

TEST_F(SignalCommandTest, RemovalUndoesPreviewsAndTakesCommittedSignals) {
    // A new preview goes, and its cell forgets it.
    Run(SignalCommand(10, 8, 1, 0, 0));
    Run(RemoveSignalCommand(10, 8));
    EXPECT_EQ(GetWorldMap().GetRouteSignal(10, 8), 0u);
    EXPECT_EQ(Spent(), 0);
    // A previewed change of a committed signal is undone.
    Run(SignalCommand(10, 8, 1, 0, 0));
    Run(SignalCommand(10, 8, 0, 0, 0));
    Run(SignalCommand(10, 8, 1, 0, 1));
    Run(RemoveSignalCommand(10, 8));
    Signal* signal = SignalAt(10, 8);
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(signal->kind, 0);
    EXPECT_EQ(signal->preview, 0);
    // A committed signal is taken away and its demolition paid.
    const int64_t before = Spent();
    Run(RemoveSignalCommand(10, 8));
    EXPECT_EQ(SignalAt(10, 8), nullptr);
    EXPECT_EQ(Spent() - before, GetSignalDemolitionCost(0));
    Run(RemoveSignalCommand(10, 8));
    EXPECT_EQ(Spent() - before, GetSignalDemolitionCost(0));
}

TEST_F(SignalCommandTest, SpecialTrackIsLaidOverOwnTrackAndCharged) {
    const std::vector<int64_t> before = Snapshot();
    const int64_t cost = GetSpecialTrackConstructionCost(kSwitchType, 2);
    ASSERT_GT(cost, 0);
    Run(BuildSpecialTrackCommand(10, 5, 0, kSwitchType, 2, 0));
    SpecialTrack* piece = FindSpecialTrackPiece(10, 5, 0, kSwitchType);
    ASSERT_NE(piece, nullptr);
    EXPECT_EQ(piece->GetOwner(), 0);
    EXPECT_EQ(Spent(), cost);
    EXPECT_EQ(GetWorldMap().GetBuildingAt(10, 6), piece->GetId());
    // Laid again with the same route type it costs nothing more.
    Run(BuildSpecialTrackCommand(10, 5, 0, kSwitchType, 2, 0));
    EXPECT_EQ(Spent(), cost);
    RemoveSpecialTrack(piece);
    EXPECT_EQ(Snapshot(), before);

    // Refused: across the road, on water, off the map, a shape that does
    // not exist, track whose directions the piece would change.
    GetWorldMap().CellAt(30, 30)->SetTerrainIndex(kWater);
    for (const BuildSpecialTrackCommand& command : {BuildSpecialTrackCommand(10, 18, 0, kSwitchType, 2, 0),
                                                    BuildSpecialTrackCommand(29, 29, 0, kSwitchType, 2, 0),
                                                    BuildSpecialTrackCommand(63, 10, 0, kSwitchType, 2, 0),
                                                    BuildSpecialTrackCommand(20, 10, 0, 60, 2, 0),
                                                    BuildSpecialTrackCommand(9, 5, 1, kSwitchType, 2, 0)})
        Run(command);
    EXPECT_EQ(BuildingsOf<SpecialTrack>(kSpecialTrackSubtype).size(), 0u);
    EXPECT_EQ(Spent(), cost);
}

} // namespace

namespace {

// The shipped switch and crossing fit the piece's limits in every rotation.
TEST_F(SignalCommandTest, ShippedPiecesAreUsable) {
    for (int32_t type : {0, 1}) {
        for (int32_t rotation = 0; rotation < 4; ++rotation) {
            uint32_t w = 0, h = 0;
            EXPECT_TRUE(SpecialTrackFootprint(type, rotation, w, h)) << type << " " << rotation;
        }
    }
    EXPECT_GT(GetSpecialTrackConstructionCost(0, 2), 0);
}

} // namespace
