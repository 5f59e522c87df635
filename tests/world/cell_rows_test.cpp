#include "world/cell_rows.h"

#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/span_piece.h"
#include "world_fixture.h"

namespace {

class CellRowsTest : public WorldTest {};

TEST_F(CellRowsTest, PoolsHandOutReleasedRowsFirst) {
    CellRowPool<PlainRow>& pool = Rows().plain;
    EXPECT_EQ(pool.Alloc(), 0u);
    EXPECT_EQ(pool.Alloc(), 1u);
    EXPECT_EQ(pool.Alloc(), 2u);
    pool.Release(1);
    pool.Release(0);
    EXPECT_EQ(pool.Alloc(), 0u);
    EXPECT_EQ(pool.Alloc(), 1u);
    EXPECT_EQ(pool.Alloc(), 3u);
    ResetCellRows();
    EXPECT_EQ(pool.Size(), 1u);
    EXPECT_EQ(pool.Alloc(), 0u);
}

TEST_F(CellRowsTest, AttachingToPlainCellTakesAndReleasesRow) {
    WorldCell cell;
    SetAttachment(cell, 0x180001, 0);
    EXPECT_NE(cell.RowBits(), 0u);
    EXPECT_EQ(GetSlotObject(cell, 0), 0x180001u);
    SetAttachment(cell, 0, 0);
    EXPECT_EQ(cell.RowBits(), 0u);
    EXPECT_EQ(Rows().plain.FreeHead(), 0u);
    EXPECT_EQ(Rows().attachment.FreeHead(), 0u);
}

TEST_F(CellRowsTest, KindChangesCarryAttachmentsAndFreeRows) {
    uint32_t signalsDeleted = 0;
    Services().deleteSignal = [&](uint32_t id) { signalsDeleted += id; };
    WorldCell cell;
    cell.word1 = 0x1FF; // bits that survive every change
    SetAttachment(cell, 0x180005, 1);
    ChangeKind(cell, kCellRoute);
    EXPECT_EQ(GetSlotObject(cell, 1), 0x180005u);
    EXPECT_EQ(Rows().plain.FreeHead(), 0u) << "the plain row was released";
    SetRouteSignal(cell, 9);
    ChangeKind(cell, kCellPlain);
    EXPECT_EQ(signalsDeleted, 9u);
    EXPECT_EQ(GetSlotObject(cell, 1), 0x180005u);
    EXPECT_EQ(cell.word1 & 0x1FF, 0x1FFu);
}

TEST_F(CellRowsTest, ChangeBetweenRowKindsReleasesOldRow) {
    // A footprint that still names a building becomes a waterway: the
    // footprint row is released rather than read from the waterway pool.
    WorldCell cell;
    ChangeKind(cell, kCellFootprint);
    SetFootprintBuilding(cell, 0x80007);
    uint32_t footprintRow = cell.RowBits() - 1;
    ChangeKind(cell, kCellWaterway);
    EXPECT_EQ(cell.RowBits(), 0u);
    EXPECT_EQ(Rows().footprint.FreeHead(), footprintRow);
    EXPECT_EQ(GetCellBuilding(cell), 0u);
    SetWaterwayValue(cell, 3);
    ChangeKind(cell, kCellDecoration);
    EXPECT_EQ(cell.RowBits(), 0u);
    EXPECT_EQ(GetWaterwayValue(cell), 0u);
}

TEST_F(CellRowsTest, DecorationTakesNoAttachmentRow) {
    WorldCell cell;
    ChangeKind(cell, kCellDecoration);
    uint32_t before = Rows().attachment.Size();
    SetAttachment(cell, 0x180001, 0);
    SetAttachment(cell, 0x180001, 0);
    EXPECT_EQ(Rows().attachment.Size(), before);
    EXPECT_EQ(Rows().attachment.FreeHead(), 0u);
}

TEST_F(CellRowsTest, FootprintRowLivesWhileItHoldsSomething) {
    WorldCell cell;
    ChangeKind(cell, kCellFootprint);
    SetFootprintBuilding(cell, 0x80002);
    SetAttachment(cell, 0x180001, 0);
    SetFootprintBuilding(cell, 0);
    EXPECT_NE(cell.RowBits(), 0u);
    SetAttachment(cell, 0, 0);
    EXPECT_EQ(cell.RowBits(), 0u);
}

TEST_F(CellRowsTest, TrackTypeOnlyMovesForward) {
    RouteBuilderTable::Clear();
    auto addRow = [](int32_t row, int32_t year, bool line) {
        RouteBuilderRow* r = RouteBuilderTable::GetOrCreateRow(row);
        r->StartYear = year;
        r->OverheadLine = line;
    };
    addRow(1, 1850, false);
    addRow(2, 1900, false);
    addRow(3, 1920, true);
    addRow(4, 1950, false);
    WorldCell cell;
    ChangeKind(cell, kCellRoute);
    struct Step {
        uint32_t to, expected;
        bool flag;
    };
    const Step steps[] = {{2, 2, true}, {1, 2, false}, {3, 3, false}, {4, 3, false}, {0, 0, true}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.to);
        Map().ClearTrackNetworkChanged();
        SetRouteType(cell, 1, s.to);
        EXPECT_EQ(GetRouteType(cell, 1), s.expected);
        EXPECT_EQ(Map().TrackNetworkChanged(), s.flag);
    }
    RouteBuilderTable::Clear();
}

TEST_F(CellRowsTest, DirectionChangesRaiseFlags) {
    WorldCell cell;
    ChangeKind(cell, kCellRoute);
    SetRouteDirections(cell, 2, 5);
    EXPECT_TRUE(Map().RoadNetworkChanged());
    Map().ClearRoadNetworkChanged();
    SetRouteDirections(cell, 8, 5);
    EXPECT_FALSE(Map().RoadNetworkChanged());
    SetRouteDirections(cell, 2, 0);
    EXPECT_TRUE(Map().RoadNetworkChanged());
    EXPECT_FALSE(Map().TrackNetworkChanged());
}

TEST_F(CellRowsTest, EdgeHeights) {
    WorldCell cell;
    ChangeKind(cell, kCellRoute);
    int32_t heights[4];
    EXPECT_TRUE(GetEdgeHeights(cell, heights));
    EXPECT_EQ(heights[0], -1);
    int32_t common = 42;
    EXPECT_FALSE(GetCommonEdgeHeight(cell, common));
    SetEdgeHeights(cell, 2, 5);
    EXPECT_EQ(GetEdgeHeight(cell, 4), -1) << "sub-kind 0 carries no heights";
    SetRouteSubKind(cell, 1);
    SetEdgeHeights(cell, 2, 5);
    EXPECT_EQ(GetEdgeHeight(cell, 1), 2);
    EXPECT_EQ(GetEdgeHeight(cell, 4), 2);
    EXPECT_EQ(GetEdgeHeight(cell, 2), -1);
    EXPECT_EQ(GetEdgeHeightMatchMask(cell, 2), 5u);
    EXPECT_TRUE(GetCommonEdgeHeight(cell, common));
    EXPECT_EQ(common, 2);
    SetEdgeHeights(cell, 3, 2);
    EXPECT_FALSE(GetCommonEdgeHeight(cell, common));
}

TEST_F(CellRowsTest, RouteFieldsStayInTheirBits) {
    WorldCell cell;
    ChangeKind(cell, kCellRoute);
    SetRouteSubKind(cell, 3);
    SetRouteDirections(cell, 1, 15);
    SetRouteDirections(cell, 2, 10);
    SetLayerTag(cell, 1, 7);
    SetLayerTag(cell, 2, 0);
    SetRouteFlagA(cell, 1, true);
    SetRouteFlagB(cell, 2, true);
    SetRouteByte(cell, 0x1FF);
    SetCellBuilding(cell, 0x80000 + 77);
    SetTileNodeId(cell, 0x12345);
    EXPECT_EQ(GetRouteSubKind(cell), 3u);
    EXPECT_EQ(GetRouteDirections(cell, 1), 15u);
    EXPECT_EQ(GetRouteDirections(cell, 2), 10u);
    EXPECT_EQ(GetLayerTag(cell, 1), 7u);
    EXPECT_EQ(GetLayerTag(cell, 2), 0u);
    EXPECT_TRUE(GetRouteFlagA(cell, 1));
    EXPECT_FALSE(GetRouteFlagA(cell, 2));
    EXPECT_TRUE(GetRouteFlagB(cell, 2));
    EXPECT_FALSE(GetRouteFlagB(cell, 1));
    EXPECT_EQ(GetRouteByte(cell), 0xFFu);
    EXPECT_EQ(GetCellBuilding(cell), 0x80000u + 77);
    EXPECT_EQ(GetTileNodeId(cell), 0x2345u);
    EXPECT_EQ(GetSavedDirections(cell, 3), -1);
    SnapshotRouteRows();
    EXPECT_EQ(GetSavedDirections(cell, 1), 15);
    EXPECT_EQ(GetSavedDirections(cell, 2), 10);
}

TEST_F(CellRowsTest, RouteRowBytesLayout) {
    RouteCell row;
    row.bits = 0x11223344;
    row.edgeHeights = 0xABCD;
    row.saved = 0x55667788;
    row.nodeId = 0x99AA;
    row.signal = 0x01020304;
    std::vector<uint8_t> bytes;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint32_t tag = ChunkTag("row");
    BeginChunk(tag);
    row.Transfer();
    EndChunk();
    ASSERT_TRUE(CloseStream());
    ASSERT_GE(bytes.size(), size_t(RouteCell::kSize));
    const uint8_t* p = bytes.data() + bytes.size() - RouteCell::kSize;
    EXPECT_EQ(p[0], 0x44);
    EXPECT_EQ(p[8], 0xCD);
    EXPECT_EQ(p[10], 0x88) << "the saved word sits unaligned at +10";
    EXPECT_EQ(p[14], 0xAA);
    EXPECT_EQ(p[32], 0x04);
}

} // namespace
