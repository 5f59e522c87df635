#include "world/world_map.h"

#include "world/span_piece.h"
#include "world_fixture.h"

namespace {

class RouteTilesTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        RouteBuilderTable::Clear();
        for (int32_t row = 1; row <= 8; ++row)
            RouteBuilderTable::GetOrCreateRow(row)->CanCrossTrack = 1;
        RouteBuilderTable::GetOrCreateRow(6)->CanCrossTrack = 0;
    }
    void TearDown() override {
        RouteBuilderTable::Clear();
        WorldTest::TearDown();
    }
    void LayTrack(uint32_t x, uint32_t y, uint32_t dirs, uint32_t type = 1) {
        Map().SetRouteKindAndClear(x, y, 1);
        Map().SetRouteType(1, x, y, type);
        Map().SetTrackDirections(x, y, dirs);
    }
};

TEST_F(RouteTilesTest, CrossingRegistrationKeepsTheLaterTime) {
    Map().SetRouteKindAndClear(4, 4, 3);
    struct Case {
        uint32_t first, second, expected;
    };
    const Case cases[] = {{100, 50, 100}, {50, 100, 100}, {0xFFFFFFF0u, 5, 5}};
    for (const Case& c : cases) {
        Map().CrossingList().clear();
        EXPECT_TRUE(Map().RegisterCrossing(4, 4, c.first));
        EXPECT_TRUE(Map().RegisterCrossing(4, 4, c.second));
        uint32_t time = 0;
        ASSERT_TRUE(Map().LookupCrossing(4, 4, time));
        EXPECT_EQ(time, c.expected);
    }
    EXPECT_FALSE(Map().RegisterCrossing(5, 4, 1)) << "not a crossing";
}

TEST_F(RouteTilesTest, LookupAnswersOnlyItsOwnKey) {
    Map().SetRouteKind(4, 4, 3);
    Map().SetRouteKind(9, 4, 3);
    Map().RegisterCrossing(9, 4, 77);
    uint32_t time = 1234;
    EXPECT_FALSE(Map().LookupCrossing(4, 4, time)) << "the neighbour's pair is not this crossing's";
    EXPECT_EQ(time, 1234u);
    Map().RebuildCrossingList(5);
    ASSERT_TRUE(Map().LookupCrossing(4, 4, time));
    EXPECT_EQ(time, 5u);
    ASSERT_EQ(Map().CrossingList().size(), 2u);
    EXPECT_LT(Map().CrossingList()[0].key, Map().CrossingList()[1].key);
}

TEST_F(RouteTilesTest, TownRoadOverTrackKeepsTheTrackType) {
    LayTrack(10, 10, 10, 3);
    EXPECT_TRUE(Map().PlaceTownRoad(10, 10, 5));
    EXPECT_TRUE(Map().IsTrackRoadCrossing(10, 10));
    EXPECT_EQ(Map().GetRouteTypeAt(1, 10, 10), 3u);
    EXPECT_EQ(Map().GetRouteTypeAt(2, 10, 10), 8u);
    EXPECT_EQ(Map().GetRoadDirections(10, 10), 5u);
    uint32_t time;
    EXPECT_TRUE(Map().LookupCrossing(10, 10, time));
    EXPECT_TRUE(Map().PlaceTownRoad(200, 10, 5));
}

TEST_F(RouteTilesTest, LonelyRoadBecomesPlain) {
    Map().PlaceTownRoad(20, 20, 15);
    Map().UpdateRoadConnections(20, 20);
    EXPECT_EQ(Map().GetCellKind(20, 20), uint32_t(kCellPlain));
}

TEST_F(RouteTilesTest, RoadsJoinNeighbours) {
    Map().PlaceTownRoad(20, 20, 2);
    Map().PlaceTownRoad(21, 20, 4);
    Map().UpdateRoadConnections(20, 20);
    EXPECT_EQ(Map().GetRoadDirections(20, 20), 2u);
    EXPECT_EQ(Map().GetRoadDirections(21, 20), 12u);
}

TEST_F(RouteTilesTest, RoadAndTrackLeavingTogetherDoNotConnect) {
    // Road and track of one tile both leave to the right: the road does not
    // join the road tile there.
    Map().SetRouteKind(30, 30, 3);
    Map().SetRouteType(1, 30, 30, 1);
    Map().SetTrackDirections(30, 30, 10);
    Map().SetRoadDirections(30, 30, 2);
    Map().PlaceTownRoad(31, 30, 8);
    Map().PlaceTownRoad(29, 30, 2);
    Map().UpdateRoadConnections(31, 30);
    EXPECT_EQ(Map().GetRoadDirections(31, 30) & 8, 0u);
}

TEST_F(RouteTilesTest, TracksJoinWithHeightsAndTypes) {
    LayTrack(10, 10, 2);
    Map().SetEdgeHeights(10, 10, 3, 2);
    LayTrack(11, 10, 2);
    LayTrack(10, 11, 1, 6); // a type that cannot meet another
    Map().UpdateTrackConnections(10, 10);
    EXPECT_EQ(Map().GetTrackDirections(10, 10), 10u) << "a single direction becomes a straight";
    EXPECT_EQ(Map().GetTrackDirections(11, 10), 10u);
    EXPECT_EQ(Map().GetEdgeHeight(11, 10, 8, false), 3);
    EXPECT_EQ(Map().GetTrackDirections(10, 11), 1u) << "not joined across types";
}

TEST_F(RouteTilesTest, TrackEndingInCrossingIsLedThrough) {
    LayTrack(40, 40, 2);
    Map().SetRouteKind(41, 40, 3);
    Map().SetRouteType(1, 41, 40, 1);
    Map().SetTrackDirections(41, 40, 8);
    Map().SetRoadDirections(41, 40, 5);
    Map().UpdateTrackConnections(41, 40);
    EXPECT_EQ(Map().GetTrackDirections(41, 40), 10u);
    EXPECT_NE(Map().GetTrackDirections(42, 40) & 8, 0u) << "the tile behind got track";
    EXPECT_EQ(Map().GetRouteSubKind(42, 40), 1u);
}

TEST_F(RouteTilesTest, CrossingLosingItsRoadKeepsTrackType) {
    Map().SetRouteKind(50, 50, 3);
    Map().SetRouteType(1, 50, 50, 4);
    Map().SetTrackDirections(50, 50, 10);
    Map().SetRoadDirections(50, 50, 5);
    Map().UpdateRoadConnections(50, 50);
    EXPECT_EQ(Map().GetRouteSubKind(50, 50), 1u);
    EXPECT_EQ(Map().GetRouteTypeAt(1, 50, 50), 4u);
    EXPECT_EQ(Map().GetRoadDirections(50, 50), 0u);
}

TEST_F(RouteTilesTest, UpdatesLeaveOtherKindsAlone) {
    ASSERT_TRUE(Map().PlaceFootprint(5, 5, 0x80001, 1, 1, 2));
    Map().UpdateRoadConnections(5, 5);
    Map().UpdateTrackConnections(5, 5);
    EXPECT_EQ(Map().GetBuildingAt(5, 5), 0x80001u);
}

} // namespace
