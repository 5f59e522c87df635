#include "transport/special_track.h"

#include "data/generated/route_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "tests/world/world_fixture.h"
#include "transport/signals.h"
#include "world/world_sections.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint8_t kSwitchType = 3;
constexpr uint8_t kCrossingType = 4;

// The state of one tile that a piece must give back.
struct TileState {
    uint32_t kind, routeType, directions, signalKind;
    int32_t values[4];
    bool signal;
    friend bool operator==(const TileState&, const TileState&) = default;
};

ValueTable Table(uint32_t columns, std::initializer_list<float> cells) {
    ValueTable t;
    t.Resize(columns, uint32_t(cells.size()) / columns);
    t.Cells().assign(cells);
    return t;
}

class SpecialTrackTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        InstallSpecialTracks();
        SpecialTracksTable::Clear();
        // A switch two wide and three high: the straight rails down column
        // 0, the diverging ones beside them.
        SpecialTracksRow* sw = SpecialTracksTable::GetOrCreateRow(kSwitchType);
        sw->AreaDescription = Table(2, {1, 2, 1, 2, 1, 0});
        sw->Directions = Table(2, {5, 6, 5, 9, 5, 0});
        sw->PathTable = Table(2, {0, 0, 0, 1, 0, 2});
        sw->IsSwitch = 1;
        SpecialTracksRow* crossing = SpecialTracksTable::GetOrCreateRow(kCrossingType);
        crossing->AreaDescription = Table(1, {2});
        crossing->PathTable = Table(2, {0, 0});
        // Track down column 10 from row 3 to row 12, owned by player 1, of
        // route type 2, with a signal of kind 1 at row 6.
        for (uint32_t y = 3; y <= 12; ++y) {
            Map().SetRouteKindAndClear(10, y, 1);
            Map().SetRouteType(1, 10, y, 2);
            Map().SetTrackDirections(10, y, y == 3 ? 4 : y == 12 ? 1 : 5);
            Map().SetEdgeHeights(10, y, 1, 5);
        }
        CreateSignal(10, 6, 1);
    }
    void TearDown() override {
        DeleteAllMapObjects();
        SpecialTracksTable::Clear();
        WorldTest::TearDown();
    }

    static TileState State(uint32_t x, uint32_t y) {
        TileState s{};
        s.kind = Map().GetCellKind(x, y);
        s.routeType = Map().GetRouteTypeAt(1, x, y);
        s.directions = Map().GetTrackDirections(x, y);
        for (uint32_t d = 0; d < 4; ++d)
            s.values[d] = Map().GetEdgeHeight(x, y, 1u << d, true);
        const Signal* signal = GetSignal(Map().GetRouteSignal(x, y));
        s.signal = signal != nullptr;
        s.signalKind = signal ? uint32_t(signal->kind) : 0;
        return s;
    }
    static std::vector<TileState> Area() {
        std::vector<TileState> out;
        for (uint32_t y = 2; y < 14; ++y)
            for (uint32_t x = 8; x < 14; ++x)
                out.push_back(State(x, y));
        return out;
    }
};

TEST_F(SpecialTrackTest, TurnedShapesFollowTheAreaTable) {
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(SpecialTrackFootprint(kSwitchType, 1, w, h));
    EXPECT_EQ(w, 3u);
    EXPECT_EQ(h, 2u);
    // Rotation 1 reads (row h - lx - 1, column ly).
    const int32_t expected[2][3] = {{1, 1, 1}, {0, 2, 2}};
    for (int32_t ly = 0; ly < 2; ++ly)
        for (int32_t lx = 0; lx < 3; ++lx)
            EXPECT_EQ(SpecialTrackAreaCode(lx, ly, kSwitchType, 1), expected[ly][lx]) << lx << "," << ly;
    EXPECT_EQ(SpecialTrackAreaCode(5, 0, kSwitchType, 0), -1);

    SpecialTrack* piece = CreateSpecialTrack(20, 20, 1, kSwitchType, 2, 1);
    ASSERT_NE(piece, nullptr);
    // Every path point lands on a covered cell, in order.
    EXPECT_EQ(piece->GetPathIndexAt(22, 20), 0);
    EXPECT_EQ(piece->GetPathIndexAt(21, 20), 1);
    EXPECT_EQ(piece->GetPathIndexAt(20, 20), 2);
    EXPECT_EQ(piece->GetPathIndexAt(20, 21), -1);
    EXPECT_EQ(Map().GetBuildingAt(20, 21), 0u);
    EXPECT_EQ(Map().GetBuildingAt(21, 21), piece->GetId());
    // Directions 5 turned a quarter: 10.
    EXPECT_EQ(piece->GetDirectionsAt(21, 20), 10u);

    SpecialTrack* crossing = CreateSpecialTrack(30, 30, 2, kCrossingType, 2, 1);
    ASSERT_NE(crossing, nullptr);
    EXPECT_EQ(crossing->GetUsableDirections(30, 30), 12u);
    crossing->SetNodeId(30, 30, 9);
    EXPECT_EQ(crossing->GetNodeId(30, 30), 0u);
    piece->SetNodeId(21, 20, 9);
    EXPECT_EQ(piece->GetNodeId(21, 20), 9u);
    EXPECT_EQ(piece->GetNodeId(19, 20), 0u);
}

TEST_F(SpecialTrackTest, OversizedOrBadShapesAreRefused) {
    SpecialTracksRow* big = SpecialTracksTable::GetOrCreateRow(9);
    big->AreaDescription.Resize(7, 2);
    ValueTable longPath;
    longPath.Resize(2, 300);
    SpecialTracksRow* longer = SpecialTracksTable::GetOrCreateRow(10);
    longer->AreaDescription = Table(1, {2});
    longer->PathTable = longPath;
    uint32_t w = 0, h = 0;
    for (int32_t type : {9, 10, 11})
        EXPECT_FALSE(SpecialTrackFootprint(type, 0, w, h)) << type;
    EXPECT_FALSE(SpecialTrackFootprint(kSwitchType, 4, w, h));
    const std::vector<TileState> before = Area();
    EXPECT_EQ(CreateSpecialTrack(10, 5, 0, 9, 2, 1), nullptr);
    EXPECT_EQ(CreateSpecialTrack(63, 63, 0, kSwitchType, 2, 1), nullptr);
    EXPECT_EQ(CreateSpecialTrack(-1, 5, 0, kSwitchType, 2, 1), nullptr);
    EXPECT_EQ(Area(), before);
}

TEST_F(SpecialTrackTest, RemovingRestoresTheTrackAndSignalUnderneath) {
    const std::vector<TileState> before = Area();
    SpecialTrack* piece = CreateSpecialTrack(10, 5, 0, kSwitchType, 3, 1);
    ASSERT_NE(piece, nullptr);
    for (uint32_t y = 5; y < 8; ++y)
        EXPECT_EQ(Map().GetBuildingAt(10, y), piece->GetId());
    EXPECT_EQ(Map().GetBuildingAt(11, 7), 0u);
    EXPECT_EQ(Map().GetRouteTypeAt(1, 10, 6), 3u);
    EXPECT_EQ(GetSignal(1), nullptr);
    RemoveSpecialTrack(piece);
    EXPECT_EQ(Area(), before);
    EXPECT_TRUE(Map().TrackNetworkChanged());
}

// The track under a piece survives a save and load of the world: removing
// the piece afterwards gives back the same cells, signal kind included.
TEST_F(SpecialTrackTest, RemovingAfterALoadRestoresTheTrack) {
    const std::vector<TileState> before = Area();
    ASSERT_NE(CreateSpecialTrack(10, 5, 0, kSwitchType, 3, 1), nullptr);
    std::vector<uint8_t> bytes;
    {
        SaveStreamScope scope;
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
        ASSERT_TRUE(SaveWorldSections());
        ASSERT_TRUE(CloseStream());
    }
    DeleteAllSignals();
    ResetWorld(64, 64);
    InstallSpecialTracks();
    {
        SaveStreamScope scope;
        std::string text;
        uint32_t version = 0;
        ASSERT_TRUE(BeginSaveStream(OpenMemoryReadStream(bytes), text, version));
        ResetWorldState();
        ASSERT_TRUE(LoadWorldSections());
        ASSERT_TRUE(CloseStream());
    }
    SpecialTrack* piece = FindSpecialTrackPiece(10, 5, 0, kSwitchType);
    ASSERT_NE(piece, nullptr);
    EXPECT_EQ(piece->GetRouteType(), 3);
    EXPECT_EQ(piece->Entries().size(), 5u);
    EXPECT_EQ(piece->GetPathIndexAt(10, 7), 2);
    RemoveSpecialTrack(piece);
    EXPECT_EQ(Area(), before);
}

} // namespace
