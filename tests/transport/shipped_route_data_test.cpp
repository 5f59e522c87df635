// The shipped game data's track rows against the route rules: the plain
// track types join each other and carry steam engines, the special kinds
// keep to themselves, and the routing penalties are set.
#include "tests/world/world_fixture.h"
#include "transport/route_planner.h"
#include "transport/route_search.h"

#include "data/database.h"
#include "data/generated/vehicle_tables.h"
#include "platform/file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ShippedRouteDataTest : public WorldTest {
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
        WorldTest::SetUp();
        CreateRoutePlanners();
    }
    static void Lay(uint32_t x, uint32_t y, uint32_t directions, uint32_t type) {
        Map().SetRouteKindAndClear(x, y, 1);
        Map().SetRouteType(1, x, y, type);
        Map().SetTrackDirections(x, y, directions);
    }
    // A line along row 10 with a spur south at x 6 and x 18, so that the
    // route between the two junctions is searched over the graph.
    static void LayLine(uint32_t type) {
        for (uint32_t x = 4; x <= 20; ++x)
            Lay(x, 10, x == 4 ? 2 : x == 20 ? 8 : x == 6 || x == 18 ? 14 : 10, type);
        for (uint32_t x : {6u, 18u})
            for (uint32_t y = 11; y <= 14; ++y)
                Lay(x, y, y == 14 ? 1 : 5, type);
        Map().MarkTrackNetworkChanged();
    }
};

// The VehicleType of the first shipped vehicle of a kind, -1 when none.
int32_t FirstVehicleOfKind(int32_t kind) {
    for (int32_t row = 0; row < 256; ++row)
        if (const VehicleRow* vehicle = VehicleTable::Find(row); vehicle && vehicle->VehicleType == kind)
            return row;
    return -1;
}

TEST_F(ShippedRouteDataTest, SteamEnginesRouteOnEveryPlainTrackType) {
    constexpr int32_t kSteam = 5;
    ASSERT_GE(FirstVehicleOfKind(kSteam), 0) << "no steam engine is shipped";
    const RouteVehicle steam{kSteam, 0, 0};
    for (uint32_t type = 1; type <= 4; ++type) {
        ResetWorld(32, 32);
        CreateRoutePlanners();
        LayLine(type);
        const uint32_t cost =
            SearchRouteByMode(kModeTrack, 6, 10, 18, 10, nullptr, &steam, 0, 0, nullptr, nullptr);
        EXPECT_GT(cost, 0u) << "track type " << type;
    }
    // Monorail carries no steam engine.
    ResetWorld(32, 32);
    CreateRoutePlanners();
    LayLine(5);
    EXPECT_EQ(SearchRouteByMode(kModeTrack, 6, 10, 18, 10, nullptr, &steam, 0, 0, nullptr, nullptr), 0u);
}

TEST_F(ShippedRouteDataTest, PlainTrackTypesJoinAndSpecialKindsStayApart) {
    struct Case {
        uint32_t left, right;
        bool joined;
    };
    const Case cases[] = {
        {1, 2, true}, {2, 3, true}, {3, 4, true}, {1, 1, true}, {2, 5, false}, {6, 3, false}, {7, 1, false},
    };
    for (const Case& c : cases) {
        // A curve of the left type, joined on its west side to the same
        // type, asks whether its south side joins the right type.
        ResetWorld(16, 16);
        Lay(4, 5, 10, c.left);
        Lay(5, 5, 12, c.left);
        Lay(5, 6, 5, c.right);
        Map().UpdateTrackConnections(5, 5);
        EXPECT_EQ((Map().GetTrackDirections(5, 5) & 4) != 0, c.joined) << c.left << " beside " << c.right;
    }
}

TEST_F(ShippedRouteDataTest, RoutingPenaltiesAreSet) {
    const VehicleConstantsRow* row = VehicleConstantsTable::Find(0);
    ASSERT_NE(row, nullptr);
    EXPECT_GT(row->RoutingTurnLeftPenalty, 0);
    EXPECT_GT(row->RoutingPassThroughStationPenalty, 0);
    EXPECT_GT(row->RoutingWrongStationExitPenalty, 0);
    // A penalty is far below the cost that forbids a step.
    EXPECT_LT(row->RoutingPassThroughStationPenalty, 2000);
}

} // namespace
