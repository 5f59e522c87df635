#include "world/world_map.h"

#include "world_fixture.h"

#include <set>
#include <utility>

namespace {

class WorldMapTest : public WorldTest {};

TEST_F(WorldMapTest, SizeRequests) {
    struct Case {
        uint32_t w, h, expectW, expectH;
    };
    const Case cases[] = {
        {256, 256, 256, 256}, {2049, 2048, 256, 256}, {255, 256, 256, 256}, {2048, 2048, 2048, 2048}};
    Map().SetMapSize(256, 256);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        Map().CellAt(0, 0)->SetTerrainIndex(9);
        EXPECT_TRUE(Map().SetMapSize(c.w, c.h));
        EXPECT_EQ(Map().GetWidth(), c.expectW);
        EXPECT_EQ(Map().GetHeight(), c.expectH);
        EXPECT_EQ(Map().GetTerrainIndex(0, 0), 1u) << "terrain is reset in every case";
        EXPECT_EQ(Map().GetTerrainIndex(c.expectW - 1, c.expectH - 1), 1u);
    }
    EXPECT_FALSE(Map().SetMapSizeNoReset(100, 101));
    EXPECT_EQ(Map().GetWidth(), 2048u);
}

TEST_F(WorldMapTest, TerrainPaintsUpAndLeft) {
    Map().SetMapSize(256, 256);
    auto paintedCells = [&](uint32_t x, uint32_t y) {
        Map().ResetTerrain();
        Map().SetTerrainAt(x, y, 7);
        std::set<std::pair<uint32_t, uint32_t>> cells;
        for (uint32_t ty = 0; ty < 256; ++ty)
            for (uint32_t tx = 0; tx < 256; ++tx)
                if (Map().GetTerrainIndex(tx, ty) == 7)
                    cells.insert({tx, ty});
        return cells;
    };
    using Cells = std::set<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(paintedCells(0, 0), (Cells{{0, 0}}));
    EXPECT_EQ(paintedCells(5, 5), (Cells{{3, 3}}));
    EXPECT_EQ(paintedCells(255, 255), (Cells{{255, 253}, {255, 255}, {253, 255}, {253, 253}}));
    EXPECT_EQ(paintedCells(100, 255), (Cells{{98, 255}, {98, 253}}));
    EXPECT_EQ(paintedCells(256, 3), Cells{});
}

TEST_F(WorldMapTest, ReadsOutsideTheMapAnswerNothing) {
    const uint32_t minusOne = uint32_t(-1);
    EXPECT_FALSE(Map().InMap(minusOne, 0));
    EXPECT_EQ(Map().GetTerrainIndex(minusOne, 5), 0u);
    EXPECT_EQ(Map().GetEdgeHeight(64, 0, 1, false), -1);
    EXPECT_EQ(Map().GetSavedDirections(1, 64, 64), 0);
    Map().SetRouteDirections(1, 64, 0, 5); // ignored
    Map().SetFreeMoverMark(0, 64, true);
    EXPECT_FALSE(Map().HasFreeMoverMark(0, 63));
}

TEST_F(WorldMapTest, AreaBuildableTests) {
    SetTerrainOfCell(9, 9, kWater); // diagonal to the corner of (10, 10)
    SetTerrainOfCell(20, 20, kRock);
    struct Case {
        uint32_t x, y, w, h, flags;
        bool expected;
    };
    const Case cases[] = {
        {10, 10, 2, 2, 0, false}, {10, 10, 2, 2, 8, true},         {30, 30, 2, 2, 0, true},
        {19, 19, 2, 2, 8, false}, {63, 63, 1, 1, 0, true},         {63, 63, 2, 1, 0, false},
        {0, 0, 0, 1, 0, false},   {5, 5, 0xFFFFFFFF, 1, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x * 1000 + c.y);
        EXPECT_EQ(Map().IsAreaBuildable(c.x, c.y, c.w, c.h, c.flags), c.expected);
    }
    Map().SetRouteKind(40, 40, 2);
    EXPECT_FALSE(Map().IsAreaBuildable(40, 40, 1, 1, 0));
    EXPECT_TRUE(Map().IsAreaBuildable(40, 40, 1, 1, 2));
}

TEST_F(WorldMapTest, FootprintModes) {
    EXPECT_TRUE(Map().PlaceFootprint(4, 4, 0x80001, 2, 2, 1));
    EXPECT_EQ(Map().GetCellKind(4, 4), uint32_t(kCellPlain)) << "mode 1 only tests";
    EXPECT_TRUE(Map().PlaceFootprint(4, 4, 0x80001, 2, 2, 0));
    EXPECT_EQ(Map().GetBuildingAt(5, 5), 0x80001u);
    EXPECT_FALSE(Map().PlaceFootprint(5, 5, 0x80002, 2, 2, 0));
    EXPECT_TRUE(Map().PlaceFootprint(5, 5, 0x80002, 2, 2, 2));
    EXPECT_EQ(Map().GetBuildingAt(5, 5), 0x80002u);
    EXPECT_EQ(Map().GetBuildingAt(4, 4), 0x80001u);
    EXPECT_FALSE(Map().PlaceFootprint(63, 63, 0x80003, 2, 2, 2));
    Map().ResetCell(4, 4);
    EXPECT_EQ(Map().GetCellKind(4, 4), uint32_t(kCellPlain));
}

TEST_F(WorldMapTest, DecorationSquaresAndLogs) {
    Services().decorationSize = [](uint32_t number, uint32_t) { return number == 5 ? 2u : 1u; };
    ASSERT_TRUE(Map().PlaceDecoration(10, 10, 5, 3));
    for (uint32_t y = 10; y < 12; ++y)
        for (uint32_t x = 10; x < 12; ++x)
            EXPECT_EQ(Map().GetCellKind(x, y), uint32_t(kCellDecoration));
    EXPECT_EQ(Map().GetDecorationNumber(11, 11), 5u);
    EXPECT_FALSE(Map().PlaceDecoration(11, 11, 1, 0)) << "occupied";

    MapChangeLog* first = Map().CreateMapChangeLog();
    MapChangeLog* second = Map().CreateMapChangeLog();
    Map().RemoveDecorationAt(11, 11);
    MapChangeLog* late = Map().CreateMapChangeLog();
    for (uint32_t y = 10; y < 12; ++y)
        for (uint32_t x = 10; x < 12; ++x)
            EXPECT_EQ(Map().GetCellKind(x, y), uint32_t(kCellPlain));
    ASSERT_EQ(first->Records().size(), 1u);
    EXPECT_EQ(second->Records().size(), 1u);
    EXPECT_TRUE(late->Records().empty());
    const DecorationRecord& r = first->Records()[0];
    EXPECT_EQ(r.x, 10u);
    EXPECT_EQ(r.y, 10u);
    EXPECT_EQ(r.number, 5u);
    EXPECT_EQ(r.frame, 3u);

    Map().DeleteMapChangeLog(first);
    Map().DeleteMapChangeLog(second);
    Map().DeleteMapChangeLog(late);
    std::vector<DecorationRecord> posted = TakePostedDecorations();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].frame, 3u);
    EXPECT_TRUE(Map().PlaceDecoration(posted[0].x, posted[0].y, posted[0].number, posted[0].frame));
}

TEST_F(WorldMapTest, DecorationsThatDoNotFitAreRefused) {
    Services().decorationSize = [](uint32_t number, uint32_t) { return number == 9 ? 8u : 3u; };
    struct Case {
        uint32_t x, y, number, frame;
    };
    // Past the edge, a size beyond three bits, a number or frame beyond
    // their bits: nothing is written.
    const Case cases[] = {{62, 10, 1, 0}, {10, 62, 1, 0}, {10, 10, 9, 0}, {10, 10, 128, 0}, {10, 10, 1, 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number * 1000 + c.frame);
        EXPECT_FALSE(Map().PlaceDecoration(c.x, c.y, c.number, c.frame));
    }
    for (const auto& cell : Map().GetGrid())
        ASSERT_EQ(cell.Kind(), uint32_t(kCellPlain));
    ASSERT_TRUE(Map().PlaceDecoration(61, 61, 127, 126));
    uint32_t x = 63, y = 63;
    Map().FindDecorationOrigin(x, y);
    EXPECT_EQ(x, 61u);
    MapChangeLog* log = Map().CreateMapChangeLog();
    Map().RemoveDecorationAt(63, 63);
    ASSERT_EQ(log->Records().size(), 1u);
    EXPECT_EQ(log->Records()[0].number, 127u);
    EXPECT_EQ(log->Records()[0].frame, 126u);
}

TEST_F(WorldMapTest, MarkedRectMovesMarks) {
    Map().PlaceDecoration(5, 5, 1, 0);
    Map().PlaceDecoration(20, 20, 1, 0);
    Map().SetMarkedRect(0, 0, 10, 10);
    Map().SetMarkedRect(0, 0, 10, 10);
    EXPECT_TRUE(Map().IsCellMarked(5, 5));
    Map().SetMarkedRect(15, 15, 30, 30);
    EXPECT_FALSE(Map().IsCellMarked(5, 5));
    EXPECT_TRUE(Map().IsCellMarked(20, 20));
    Map().SetMarkedRect(-100, -100, 1000, 1000);
    EXPECT_TRUE(Map().IsCellMarked(5, 5));
}

TEST_F(WorldMapTest, WaterColourRemovesDecorations) {
    Map().PlaceDecoration(3, 3, 1, 0);
    Map().SetWaterColourAt(5, 5, 4);
    EXPECT_EQ(Map().GetCellKind(3, 3), uint32_t(kCellPlain));
    EXPECT_EQ(Map().GetWaterColourIndex(3, 3), 4u);
}

} // namespace
