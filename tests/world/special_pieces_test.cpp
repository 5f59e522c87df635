// The tile map's questions to bridge and tunnel pieces and to switches:
// spans over tiles, tunnel entrances, and route data kept in the object.
#include "world/span_piece.h"
#include "world/special_track.h"
#include "world_fixture.h"

namespace {

class TestSpan : public SpanPiece {
public:
    uint32_t orientation = 10;
    int32_t routeType = 0;
    bool tunnel = false;
    int32_t entranceX = -1, entranceY = -1;
    uint32_t GetOrientation() const override { return orientation; }
    int32_t GetEdgeHeight(uint32_t mask) const override { return mask == 2 ? 5 : 6; }
    int32_t GetRouteType() const override { return routeType; }
    bool IsTunnel() const override { return tunnel; }
    bool IsTunnelEntranceAt(int32_t x, int32_t y) const override { return x == entranceX && y == entranceY; }
};

class TestSwitch : public SpecialTrackBase {
public:
    uint32_t node = 0;
    int32_t GetRouteType() const override { return 4; }
    int32_t GetType() const override { return 7; }
    uint32_t GetNodeId(int32_t, int32_t) const override { return node; }
    void SetNodeId(int32_t, int32_t, uint32_t value) override { node = value; }
    int32_t GetEdgeHeight(uint32_t) const override { return 3; }
};

class SpecialPiecesTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        RegisterMapObjectClass(3, -1, [](int32_t) { return std::make_unique<TestSpan>(); });
        RegisterMapObjectClass(1, 8, [](int32_t) { return std::make_unique<TestSwitch>(); });
        RouteBuilderTable::Clear();
        RouteBuilderTable::GetOrCreateRow(10)->IsBridge = 1;
        RouteBuilderTable::GetOrCreateRow(11)->IsBridge = 2;
    }
    void TearDown() override {
        RouteBuilderTable::Clear();
        WorldTest::TearDown();
    }
    TestSpan* Span(int32_t routeType) {
        auto* span = static_cast<TestSpan*>(CreateMapObject(3, 0));
        span->routeType = routeType;
        return span;
    }
};

TEST_F(SpecialPiecesTest, SpansTakeTheirSlotByRouteKind) {
    TestSpan* bridge = Span(10);
    TestSpan* tunnel = Span(11);
    Map().PlaceDecoration(12, 5, 1, 0);
    Map().AttachSpanToRect(12, 5, 10, 5, bridge->GetId());
    Map().AttachSpanToRect(10, 6, 12, 6, tunnel->GetId());
    EXPECT_EQ(Map().GetCellKind(12, 5), uint32_t(kCellPlain)) << "the decoration under the span went";
    EXPECT_EQ(Map().GetLayer1Object(11, 5), bridge->GetId());
    EXPECT_EQ(Map().GetLayer2Object(11, 6), tunnel->GetId());
    EXPECT_EQ(Map().GetLayer1Object(11, 6), 0u);
    // The piece runs along mask 10 and answers the height for its edges.
    EXPECT_EQ(Map().GetEdgeHeight(11, 5, 2, false), 5);
    EXPECT_EQ(Map().GetEdgeHeight(11, 5, 1, false), -1);
    EXPECT_FALSE(Map().IsAreaBuildable(11, 5, 1, 1, 8));
    EXPECT_TRUE(Map().IsAreaBuildable(11, 5, 1, 1, 8 | 4));
    EXPECT_TRUE(Map().DetachSpanFromRect(10, 5, 12, 5, bridge->GetId()));
    EXPECT_EQ(Map().GetLayer1Object(11, 5), 0u);
    EXPECT_EQ(Map().CellAt(11, 5)->RowBits(), 0u) << "the emptied plain row is released";
}

TEST_F(SpecialPiecesTest, TunnelPortals) {
    TestSpan* portal = Span(0);
    portal->tunnel = true;
    portal->entranceX = 20;
    portal->entranceY = 20;
    SetAttachment(*Map().CellAt(20, 20), portal->GetId(), 1);
    Map().PlaceTownRoad(21, 20, 10);
    Map().PlaceTownRoad(22, 20, 10);
    EXPECT_TRUE(Map().TouchesTunnelEntrance(21, 20));
    EXPECT_FALSE(Map().TouchesTunnelEntrance(22, 20));
    EXPECT_FALSE(Map().CanPlaceRouteTile(20, 20, 5));
    EXPECT_FALSE(Map().IsAreaBuildable(20, 20, 1, 1, 8));
    // Removing a portal without a next piece clears the two tiles beyond it.
    EXPECT_TRUE(Map().DetachSpanFromRect(19, 20, 20, 20, portal->GetId()));
    EXPECT_EQ(Map().GetCellKind(21, 20), uint32_t(kCellPlain));
    EXPECT_FALSE(Map().DetachSpanFromRect(19, 20, 20, 21, portal->GetId())) << "neither a row nor a column";
}

TEST_F(SpecialPiecesTest, SwitchesAnswerForTheirTiles) {
    auto* sw = static_cast<TestSwitch*>(CreateMapObject(1, 8));
    ASSERT_TRUE(sw->Place(30, 30, 8, 1, 1, 1));
    EXPECT_TRUE(Map().IsSpecialTrackAt(30, 30));
    EXPECT_EQ(Map().FindSpecialTrack(30, 30), sw);
    EXPECT_EQ(Map().GetRouteTypeAt(1, 30, 30), 4u);
    EXPECT_EQ(Map().GetRouteTypeAt(2, 30, 30), 0u);
    Map().SetTileNodeId(30, 30, 17);
    EXPECT_EQ(sw->node, 17u);
    EXPECT_EQ(Map().GetEdgeHeight(30, 30, 1, false), 3);
    EXPECT_EQ(Map().GetEdgeHeight(30, 30, 1, true), -1);
    EXPECT_TRUE(Map().IsNearSpecialTrackType7(31, 30));
    EXPECT_FALSE(Map().IsNearSpecialTrackType7(31, 31));
    // A plain building placed with subtype 8 is not taken for a switch.
    auto* pretender = static_cast<Building*>(CreateMapObject(1, 0));
    pretender->Place(40, 40, 8, 1, 1, 1);
    EXPECT_FALSE(Map().IsSpecialTrackAt(40, 40));
    EXPECT_FALSE(Map().IsSpecialTrackAt(30, 31));
    EXPECT_EQ(Map().FindSpecialTrack(30, 31), nullptr);
}

TEST_F(SpecialPiecesTest, SpanAndRouteTests) {
    SetTerrainOfCell(5, 5, kWater);
    SetTerrainOfCell(6, 5, kWater);
    struct SpanCase {
        uint32_t x0, y0, x1, y1;
        bool inside;
    };
    const SpanCase spans[] = {{1, 3, 9, 3, true},  {0, 3, 9, 3, false}, {1, 3, 63, 3, false},
                              {4, 1, 4, 62, true}, {4, 4, 5, 5, false}, {7, 7, 7, 7, true},
                              {64, 3, 5, 3, false}};
    for (const SpanCase& c : spans) {
        SCOPED_TRACE(c.x0 * 100 + c.y1);
        EXPECT_EQ(Map().IsStraightSpanInsideMap(c.x0, c.y0, c.x1, c.y1), c.inside);
    }
    EXPECT_EQ(Map().CountWaterTiles(10, 10, 0, 0), 2u);
    EXPECT_EQ(Map().CountWaterTiles(60, 60, 100, 100), 0u);
    Map().PlaceTownRoad(10, 10, 5);
    EXPECT_TRUE(Map().CanPlaceRouteTile(10, 10, 10)) << "a straight road is crossed at right angles";
    EXPECT_FALSE(Map().CanPlaceRouteTile(10, 10, 5));
    EXPECT_FALSE(Map().CanPlaceRouteTile(5, 5, 5)) << "water";
    EXPECT_TRUE(Map().CanPlaceRouteTile(11, 11, 0));
}

} // namespace
