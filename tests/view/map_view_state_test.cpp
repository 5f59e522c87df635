#include "tests/view/view_state_fixture.h"
#include "tests/world/world_fixture.h"
#include "view/map_view_state.h"
#include "world/building.h"
#include "world/player.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

class MapViewStateTest : public WorldTest {};

TEST_F(MapViewStateTest, DefaultsAndTables) {
    MapViewState& v = MapViewOf();
    EXPECT_EQ(v.detailedTerrain, 1);
    EXPECT_EQ(v.showBuildings, 1);
    EXPECT_EQ(v.showTrees, 1);
    EXPECT_EQ(v.waterDetail, 2);
    EXPECT_EQ(v.viewToggle, 1u);
    for (uint8_t shown : v.colourShown)
        EXPECT_EQ(shown, 0);
    EXPECT_EQ(v.water[7].periodA, 19u);
    EXPECT_EQ(v.water[7].colour, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(v.water[3].turnsB, 4.89f);

    const auto& sine = SineTable();
    EXPECT_NEAR(sine[64], 1.0f, 1e-5f);
    EXPECT_NEAR(sine[128], 0.0f, 1e-5f);
    EXPECT_NEAR(sine[192], -1.0f, 1e-5f);

    for (int32_t variant : {0, 1, 2}) {
        const auto& r = GetZoomLayoutRecord(variant);
        const int32_t c = 64 >> variant;
        EXPECT_EQ(r[1].left, 0);
        EXPECT_EQ(r[6].left, c);
        EXPECT_EQ(r[6].top, c);
        EXPECT_EQ(r[16].right, 4 * c);
        EXPECT_EQ(r[16].bottom, 4 * c);
        EXPECT_EQ(r[0].left, r[16].left);
        EXPECT_EQ(r[25].right, 0);
    }
    // Variants outside 0..2 are clamped.
    EXPECT_EQ(GetZoomLayoutRecord(7)[1].right, 16);
    EXPECT_EQ(GetZoomLayoutRecord(-1)[1].right, 64);
}

TEST_F(MapViewStateTest, ColourShownRequestsRedrawOnlyOnChange) {
    MapViewState& v = MapViewOf();
    v.partialRedraw = 0;
    EXPECT_TRUE(v.SetPlayerColourShown(2, false));
    EXPECT_EQ(v.partialRedraw, 0);
    EXPECT_TRUE(v.SetPlayerColourShown(2, true));
    EXPECT_EQ(v.partialRedraw, 1);
    EXPECT_FALSE(v.SetPlayerColourShown(5, true));

    for (uint32_t start : {0u, 1u, 2u, 7u}) {
        v.viewToggle = start;
        v.ToggleOverlay();
        EXPECT_EQ(v.viewToggle, (start + 1) % 2) << start;
    }
}

TEST_F(MapViewStateTest, PlayerDrawColour) {
    InvalidatePlayerColours();
    // The neutral company takes colour 4; a slot without a player none.
    EXPECT_EQ(GetPlayerDrawColour(4, false), -1);
    EXPECT_EQ(uint32_t(GetPlayerDrawColour(4, true)), 0xFFFF00FFu);
    EXPECT_EQ(GetPlayerDrawColour(1, true), -1);
    EXPECT_EQ(GetPlayerDrawColour(9, true), -1);
    MapViewOf().SetPlayerColourShown(4, true);
    EXPECT_EQ(uint32_t(GetPlayerDrawColour(4, false)), 0xFFFF00FFu);
    EXPECT_EQ(GetPlayerColour(5), 0xFFFFFFFFu);
}

TEST_F(MapViewStateTest, WaterColoursFromTheTable) {
    WaterColorTable::Clear();
    ValueTable colour;
    colour.Resize(3, 1);
    colour.SetCell(0, 0, 10);
    colour.SetCell(1, 0, 20);
    colour.SetCell(2, 0, 30);
    WaterColorTable::GetOrCreateRow(1)->Color = colour;
    InitMapViewTables();
    EXPECT_EQ(GetWaterColour(1), 0xFF0A141Eu);
    // A row without a record, and indices beyond the rows, are black.
    EXPECT_EQ(GetWaterColour(0), 0xFF000000u);
    EXPECT_EQ(GetWaterColour(2), 0xFF000000u);
    EXPECT_EQ(GetWaterColour(1000), 0xFF000000u);
    WaterColorTable::Clear();
    InitMapViewTables();
}

TEST_F(MapViewStateTest, SectionHoldsTheThreeChunks) {
    MapViewState& v = MapViewOf();
    v.overlayFrame = 7;
    v.overlaySet = 3;
    v.water[5].periodB = 41;
    v.water[5].amplitudeY = 2.5f;
    v.water[0].textureC = 9;
    const std::vector<uint8_t> bytes = StoreStream([&] { EXPECT_TRUE(v.Serialize()); });
    const auto chunks = TopChunks(bytes);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], std::make_pair(ChunkTag("WP1"), 8u + 16u));
    EXPECT_EQ(chunks[0].first, 0x00575031u);
    EXPECT_EQ(chunks[1], std::make_pair(ChunkTag("WP2"), 8u + 580u));
    EXPECT_EQ(chunks[2], std::make_pair(0u, 8u));

    MapViewState loaded;
    ASSERT_TRUE(LoadStream(bytes, [&] { EXPECT_TRUE(loaded.Serialize()); }));
    EXPECT_EQ(loaded.overlayFrame, 7u);
    EXPECT_EQ(loaded.overlaySet, 3u);
    EXPECT_EQ(loaded.water[5].periodB, 41u);
    EXPECT_EQ(loaded.water[5].amplitudeY, 2.5f);
    EXPECT_EQ(loaded.water[0].textureC, 9u);
}

// Chunks in another order, short and long blocks and unknown tags: each
// block goes where its tag says and keeps what the file does not cover.
TEST_F(MapViewStateTest, LoadTakesChunksByTagAndKeepsUncoveredBytes) {
    std::vector<uint8_t> records(576, 0);
    WaterAnimation changed;
    changed.periodA = 5;
    changed.Encode(records.data());
    records.resize(100); // the first record and a little of the second
    std::vector<uint8_t> frame(8, 0);
    frame[0] = 4;
    const std::vector<uint8_t> bytes = StoreStream([&] {
        StoreSizedChunk(ChunkTag("xyz"), {1, 2, 3});
        StoreSizedChunk(ChunkTag("WP2"), records);
        uint32_t tag = ChunkTag("WP1");
        BeginChunk(tag);
        TransferSized(frame.data(), 8); // longer than the field
        EndChunk();
        StoreEndChunk();
    });
    MapViewState loaded;
    loaded.water[1].periodA = 77;
    ASSERT_TRUE(LoadStream(bytes, [&] { EXPECT_TRUE(loaded.Serialize()); }));
    EXPECT_EQ(loaded.water[0].periodA, 5u);
    EXPECT_EQ(loaded.water[1].periodA, 0u);         // covered by the short block
    EXPECT_FLOAT_EQ(loaded.water[1].turnsA, 3.22f); // not covered
    EXPECT_EQ(loaded.water[7].periodA, 19u);
    EXPECT_EQ(loaded.overlayFrame, 4u);
    EXPECT_EQ(loaded.overlaySet, 0u);
}

TEST_F(MapViewStateTest, LoadedWaterIsSanitisedWhereUsed) {
    WaterAnimation w;
    w.periodA = 0;
    w.periodB = 0;
    w.shiftAU = std::numeric_limits<float>::quiet_NaN();
    w.amplitudeX = std::numeric_limits<float>::infinity();
    uint8_t bytes[WaterAnimation::kBytes];
    w.Encode(bytes);
    WaterAnimation loaded;
    loaded.Decode(bytes);
    // The bytes are kept as they are...
    EXPECT_EQ(loaded.periodA, 0u);
    EXPECT_TRUE(std::isnan(loaded.shiftAU));
    // ...and the values used are safe.
    const WaterAnimation s = loaded.Sanitised();
    EXPECT_EQ(s.periodA, 1u);
    EXPECT_EQ(s.periodB, 1u);
    EXPECT_EQ(s.shiftAU, 0.0f);
    EXPECT_EQ(s.amplitudeX, 0.0f);
    EXPECT_FLOAT_EQ(s.amplitudeY, 21.0f);
}

} // namespace

namespace {

TEST_F(MapViewStateTest, ObjectOwnerColourByKind) {
    InvalidatePlayerColours();
    MapViewOf().SetPlayerColourShown(4, true);
    struct Case {
        int32_t subtype;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 0xFFFF00FFu}, {1, 0xFFFF00FFu}, {2, 0xFFFF00FFu}, {3, 0xFFFFFFFFu},  {4, 0xFFFFFFFFu},
        {5, 0xFFFFFFFFu}, {6, 0xFFFF00FFu}, {8, 0xFFFF00FFu}, {11, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        Building building(c.subtype);
        building.SetOwner(4);
        EXPECT_EQ(uint32_t(GetObjectOwnerColour(building)), c.expected) << c.subtype;
    }
    // A hidden owner: nothing, but white under the factory's alpha.
    MapViewOf().SetPlayerColourShown(4, false);
    Building factory(1), storage(6);
    factory.SetOwner(4);
    storage.SetOwner(4);
    EXPECT_EQ(GetObjectOwnerColour(storage), -1);
    EXPECT_EQ(uint32_t(GetObjectOwnerColour(factory)), 0xFFFFFFFFu);
    // An owner outside the companies has no colour.
    storage.SetOwner(-1);
    EXPECT_EQ(GetObjectOwnerColour(storage), -1);
}

} // namespace
