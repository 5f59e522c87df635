#include "data/database.h"
#include "data/generated/route_tables.h"
#include "platform/file.h"
#include "transport/station_layout.h"
#include "transport/transport_log.h"

#include <gtest/gtest.h>

#include <climits>

#include <string>

namespace {

struct Read {
    StationLayouts layouts;
    uint32_t warnings = 0;
    explicit Read(std::string_view text) { warnings = layouts.Read(text, "test.txt"); }
};

TEST(StationLayouts, ReadsBlocksAndReplacesRepeatedEntries) {
    Read r("a comment line\n"
           "AREA 1 9 9 9 9 15\n"
           "  STATION_DESC_BEGIN 3\n"
           "\n"
           "AREA 3 0 0 1 1 15\n"
           "AREA 3 0 0 2 1 5\n"
           "LOAD_AREA 1 0 0 0 1 5\n"
           "LOAD_AREA 2 1 0 1 1 5\n"
           "LOAD_AREA 5 2 0 2 1 5\n"
           "POINT 0 0 0 1\n"
           "CONN_POINT 1 0 -1 1\n"
           "PART 0 12 1 1 0\n"
           "PART 1 13 2 1 4 3\n"
           "ROUTE 2 3 0 0 4 7\n"
           "0 1 4 8\n"
           "1 1 2 9\n"
           "STATION_DESC_END\n"
           "STATION_DESC_BEGIN 1\n"
           "AREA 0 0 0 0 0 0\n"
           "STATION_DESC_END\n");
    EXPECT_EQ(r.warnings, 0u);
    EXPECT_EQ(r.layouts.Size(), 4u);
    EXPECT_EQ(r.layouts.Get(0), nullptr);
    EXPECT_EQ(r.layouts.Get(2), nullptr);
    EXPECT_EQ(r.layouts.Get(99), nullptr);
    ASSERT_NE(r.layouts.Get(1), nullptr);
    EXPECT_EQ(r.layouts.Get(1)->LoadAreaCount(), 0u);
    const StationLayout* layout = r.layouts.Get(3);
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->areas[3].x2, 2);
    EXPECT_EQ(layout->areas[3].mask, 5);
    EXPECT_EQ(layout->LoadAreaCount(), 5u);
    EXPECT_EQ(layout->connPoints[1].y, -1);
    EXPECT_EQ(layout->parts[0].v, 12);
    EXPECT_EQ(layout->parts[0].f, 0);
    EXPECT_EQ(layout->parts[1].c, 4);
    EXPECT_EQ(layout->parts[1].f, 3);
    const WaypointList& route = layout->routes[2];
    ASSERT_EQ(route.Count(), 3u);
    EXPECT_EQ(route.Get(1).y, 1u);
    EXPECT_EQ(route.Get(1).direction, 4);
    EXPECT_EQ(route.Get(2).value, 9u);
}

// Every damaged line is skipped with a warning and leaves what was read
// before it; a numbers from an earlier line never fill a later entry.
TEST(StationLayouts, DamagedLinesAreSkipped) {
    struct Case {
        const char* name;
        const char* lines;
    };
    const Case cases[] = {
        {"too few numbers", "POINT 3 1 1\n"},
        {"word for a number", "POINT 3 1 x 1\n"},
        {"number with trailing letters", "POINT 3 1 1x 1\n"},
        {"entry number past its table", "POINT 20 1 1 1\n"},
        {"negative entry number", "CONN_POINT -1 1 1 1\n"},
        {"load area past its table", "LOAD_AREA 65 0 0 0 0 1\n"},
        {"area past its table", "AREA 15 0 0 0 0 1\n"},
        {"huge coordinate", "POINT 3 99999999999 1 1\n"},
        {"mask beyond eight bits", "POINT 3 1 1 256\n"},
        {"part without class", "PART 3 1 1 1\n"},
        {"route past its table", "ROUTE 128 1 0 0 1 0\n"},
        {"route with a huge count", "ROUTE 3 4000000000 0 0 1 0\n"},
        {"route cut short", "ROUTE 3 2 0 0 1 0\n0 1\nPOINT 4 1 1 1\n"},
        {"unknown keyword", "BERTH 1 2 3\n"},
        {"overlong line", nullptr},
    };
    for (const Case& c : cases) {
        std::string text = "STATION_DESC_BEGIN 0\nAREA 0 0 0 1 1 15\nPOINT 3 5 6 2\n";
        text += c.lines ? c.lines : std::string(5000, '7') + "\n";
        text += "STATION_DESC_END\n";
        Read r(text);
        EXPECT_GE(r.warnings, 1u) << c.name;
        EXPECT_NE(LastTransportWarning().find("test.txt line"), std::string::npos) << c.name;
        const StationLayout* layout = r.layouts.Get(0);
        ASSERT_NE(layout, nullptr) << c.name;
        EXPECT_EQ(layout->points[3].x, 5) << c.name;
        EXPECT_EQ(layout->points[3].y, 6) << c.name;
        EXPECT_EQ(layout->routes[3].Count(), 0u) << c.name;
    }
}

TEST(StationLayouts, DamagedBlocksAreBounded) {
    // Entries before the first AREA have no record to go to.
    Read early("STATION_DESC_BEGIN 2\nPOINT 0 1 1 1\nPART 0 1 1 1 0\nAREA 0 0 0 1 1 15\nSTATION_DESC_END\n");
    EXPECT_EQ(early.warnings, 2u);
    ASSERT_NE(early.layouts.Get(2), nullptr);
    EXPECT_EQ(early.layouts.Get(2)->points[0].used, 0u);

    // A huge layout number does not grow the table.
    Read huge("STATION_DESC_BEGIN 4000000000\nAREA 0 0 0 1 1 15\nSTATION_DESC_END\n");
    EXPECT_EQ(huge.warnings, 1u);
    EXPECT_EQ(huge.layouts.Size(), 0u);
    Read word("STATION_DESC_BEGIN two\nAREA 0 0 0 1 1 15\nSTATION_DESC_END\n");
    EXPECT_EQ(word.layouts.Size(), 0u);

    // An unclosed block ends at the next begin or at the end of the file.
    Read open("STATION_DESC_BEGIN 1\nAREA 0 0 0 1 1 15\nSTATION_DESC_BEGIN 2\nAREA 0 0 0 2 2 15\n");
    EXPECT_EQ(open.warnings, 2u);
    ASSERT_NE(open.layouts.Get(1), nullptr);
    ASSERT_NE(open.layouts.Get(2), nullptr);
    EXPECT_EQ(open.layouts.Get(2)->areas[0].x2, 2);
}

// Reservations exist for 31 loading areas: a layout with more is refused.
TEST(StationLayouts, LayoutsWithMoreThan31LoadingAreasAreRefused) {
    Read r("STATION_DESC_BEGIN 0\nLOAD_AREA 31 0 0 0 0 5\nSTATION_DESC_END\n"
           "STATION_DESC_BEGIN 1\nLOAD_AREA 32 0 0 0 0 5\nSTATION_DESC_END\n");
    EXPECT_EQ(r.warnings, 1u);
    ASSERT_NE(r.layouts.Get(0), nullptr);
    EXPECT_EQ(r.layouts.Get(0)->LoadAreaCount(), 31u);
    EXPECT_EQ(r.layouts.Get(1), nullptr);
    EXPECT_NE(LastTransportWarning().find("layout 1 has 32 loading areas"), std::string::npos);
}

TEST(StationLayouts, TurningPointsAreasAndMasks) {
    struct Case {
        uint32_t rotation;
        int32_t x;
        int32_t y;
    };
    // A kind 3 x 2 tiles at (10, 20): the layout point (0, 0).
    const Case cases[] = {{1, 10, 20}, {2, 11, 20}, {4, 12, 21}, {8, 10, 22}};
    for (const Case& c : cases) {
        LayoutTile tile;
        ASSERT_TRUE(TurnLayoutPoint(0, 0, 1, 3, 2, c.rotation, 10, 20, tile));
        EXPECT_EQ(tile.x, c.x) << c.rotation;
        EXPECT_EQ(tile.y, c.y) << c.rotation;
    }
    LayoutTile tile;
    EXPECT_FALSE(TurnLayoutPoint(0, 0, 1, 3, 2, 3, 10, 20, tile));
    EXPECT_EQ(TurnMask(1, 3), 8);
    EXPECT_EQ(TurnMask(8, 1), 1);
    EXPECT_EQ(TurnMask(5, 1), 10);

    // The whole 3 x 2 rectangle turns onto 2 x 3 tiles at the origin.
    const LayoutArea all{0, 0, 2, 1, 5, 1};
    for (uint32_t rotation : {1u, 2u, 4u, 8u}) {
        LayoutRect rect;
        ASSERT_TRUE(TurnLayoutArea(all, 3, 2, rotation, 10, 20, rect));
        EXPECT_EQ(rect.x, 10) << rotation;
        EXPECT_EQ(rect.y, 20) << rotation;
        EXPECT_EQ(rect.w, rotation == 2 || rotation == 8 ? 2 : 3) << rotation;
        EXPECT_EQ(rect.h, rotation == 2 || rotation == 8 ? 3 : 2) << rotation;
    }
    // A single tile's rectangle lies where its point does.
    const LayoutArea corner{2, 0, 2, 0, 1, 1};
    for (uint32_t rotation : {1u, 2u, 4u, 8u}) {
        LayoutRect rect;
        LayoutTile point;
        TurnLayoutArea(corner, 3, 2, rotation, 10, 20, rect);
        TurnLayoutPoint(2, 0, 1, 3, 2, rotation, 10, 20, point);
        EXPECT_EQ(rect.x, point.x) << rotation;
        EXPECT_EQ(rect.y, point.y) << rotation;
    }
    // A point turned past the end of the coordinate range is refused, not
    // wrapped.
    EXPECT_FALSE(TurnLayoutPoint(0, 0, 1, 3, 2, 4, INT32_MAX, 20, tile));
    LayoutRect edge;
    EXPECT_FALSE(TurnLayoutArea(all, 3, 2, 2, INT32_MAX - 1, 20, edge));
    EXPECT_TRUE(TurnLayoutArea(all, 3, 2, 2, INT32_MAX - 2, 20, edge));
    EXPECT_TRUE(TurnLayoutPoint(0, 0, 1, 3, 2, 1, INT32_MAX, 20, tile));
}

} // namespace

namespace {

// The shipped layouts fit the shipped station kinds in every rotation.
class DefaultLayouts : public ::testing::Test {
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
        EXPECT_EQ(GetStationLayouts().Read(layouts, "station_config.txt"), 0u);
    }
};

TEST_F(DefaultLayouts, FitEveryKindInEveryRotation) {
    EXPECT_EQ(CheckStationKinds(GetStationLayouts()), std::vector<std::string>{});
    bool modes[4] = {};
    for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
        const StationRow* row = StationTable::Find(kind);
        if (!row)
            continue;
        ASSERT_GE(row->ConnectionType, 0);
        ASSERT_LE(row->ConnectionType, 3);
        modes[row->ConnectionType] = true;
        const uint32_t loadAreas = GetLoadAreaCountForKind(kind);
        EXPECT_GE(loadAreas, 1u) << kind;
        for (int32_t r = 0; r < 4; ++r) {
            int32_t w = 0;
            int32_t h = 0;
            ASSERT_TRUE(GetStationSize(kind, r, w, h));
            LayoutRect whole;
            ASSERT_TRUE(GetLayoutArea(kind, 3, 1u << r, 10, 20, whole)) << kind;
            EXPECT_EQ(whole.x, 10);
            EXPECT_EQ(whole.y, 20);
            EXPECT_EQ(whole.w, w);
            EXPECT_EQ(whole.h, h);
            for (uint32_t n = 1; n <= loadAreas; ++n) {
                LayoutRect area;
                LayoutTile point;
                ASSERT_TRUE(GetLayoutLoadArea(kind, n, 1u << r, 10, 20, area)) << kind << " " << n;
                ASSERT_TRUE(GetLayoutLoadPoint(kind, n, 1u << r, 10, 20, point)) << kind << " " << n;
                EXPECT_TRUE(area.x >= 10 && area.y >= 20 && area.x + area.w <= 10 + w &&
                            area.y + area.h <= 20 + h)
                    << kind << " rotation " << r;
                EXPECT_TRUE(point.x >= 10 && point.y >= 20 && point.x < 10 + w && point.y < 20 + h)
                    << kind << " rotation " << r;
            }
        }
    }
    EXPECT_TRUE(modes[0] && modes[1] && modes[2] && modes[3]);
}

TEST_F(DefaultLayouts, RoutesTurnWithTheStation) {
    // The airfield's landing route runs down its runway at x = 0 (the points
    // of value 2): turned by rotation 2 it runs along y = 0 from the east.
    int32_t airfield = -1;
    for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
        if (const StationRow* row = StationTable::Find(kind); row && row->SupportedVehicleType == 14)
            airfield = kind;
    }
    ASSERT_GE(airfield, 0);
    WaypointList straight;
    WaypointList turned;
    ASSERT_TRUE(AppendLayoutRoute(airfield, 0, 1, 10, 20, straight));
    ASSERT_TRUE(AppendLayoutRoute(airfield, 0, 2, 10, 20, turned));
    EXPECT_FALSE(AppendLayoutRoute(airfield, 99, 1, 10, 20, turned));
    ASSERT_EQ(straight.Count(), turned.Count());
    uint32_t runway = 0;
    for (uint32_t i = 0; i < straight.Count(); ++i) {
        EXPECT_EQ(turned.GetValue(i), straight.GetValue(i));
        EXPECT_EQ(turned.GetDirection(i), TurnMask(straight.GetDirection(i), 1));
        if (straight.GetValue(i) != 2)
            continue;
        ++runway;
        EXPECT_EQ(straight.Get(i).x, 10u);
        EXPECT_EQ(turned.Get(i).y, 20u);
    }
    EXPECT_GE(runway, 2u);
    EXPECT_FALSE(AppendLayoutRoute(9999, 0, 1, 10, 20, turned));
}

} // namespace
