#include "tests/view/view_state_fixture.h"
#include "tests/world/world_fixture.h"
#include "view/interface_state.h"
#include "view/map_view_state.h"

namespace {

class InterfaceStateTest : public WorldTest {};

TEST_F(InterfaceStateTest, Defaults) {
    InterfaceState& ui = InterfaceStateOf();
    EXPECT_EQ(ui.KeepMiniMapPosition(), 1u);
    for (uint32_t i = 0; i < InterfaceState::kDialogPositionCount; ++i) {
        EXPECT_EQ(ui.DialogX(i), -1);
        EXPECT_EQ(ui.DialogY(i), -1);
    }
    EXPECT_EQ(ui.StoredZoomLevel(), 9u);
    EXPECT_EQ(ui.window[100] + ui.window[101] + ui.window[102], 3);
    EXPECT_EQ(ui.window[103], 0);
    struct Field {
        size_t offset;
        uint32_t value;
    };
    for (Field f : {Field{4, 1},
                    {8, 0},
                    {16, 0},
                    {20, 0},
                    {24, 1},
                    {28, 1},
                    {32, 0},
                    {36, 1},
                    {40, 1},
                    {44, 1},
                    {48, 0},
                    {52, 0},
                    {56, 1},
                    {60, 1}})
        EXPECT_EQ(InterfaceState::U32(ui.controlBar, f.offset), f.value) << f.offset;
    EXPECT_EQ(ui.controlBar[0], 1);
    EXPECT_EQ(ui.controlBar[12], 1);
    EXPECT_EQ(ui.controlBar[13], 1);
    EXPECT_EQ(ui.SetupYear(), 1850u);
    EXPECT_EQ(ui.UnitSystem(), 1u);
    EXPECT_EQ(InterfaceState::I32(ui.setup, 12), -1);
    EXPECT_EQ(ui.MiniMapX(), -1);
    EXPECT_EQ(ui.MiniMapOpen(), 1);
    EXPECT_EQ(ui.MiniMapSmall(), 1);
    for (uint32_t p = 0; p < 5; ++p)
        EXPECT_EQ(ui.OwnerFlag(p), 1u);
    EXPECT_EQ(ui.MusicOn() + ui.AmbientEffectsOn() + ui.VehicleEffectsOn(), 3u);
    EXPECT_EQ(ui.dialogSizes[3], 400u);
    EXPECT_EQ(ui.workingValues[5], 3u);
    EXPECT_EQ(ui.workingValues[27], 0xFFFFFFFFu);

    // The reset without set-up keeps the set-up block.
    InterfaceState::SetU32(ui.setup, 4, 1900);
    InterfaceState::SetU32(ui.controlBar, 24, 0);
    ui.ResetKeepingSetup();
    EXPECT_EQ(ui.SetupYear(), 1900u);
    EXPECT_EQ(ui.ShowTrees(), 1u);
    ui.Reset();
    EXPECT_EQ(ui.SetupYear(), 1850u);
}

TEST_F(InterfaceStateTest, StoresTheFiveChunksAndLoadsThemBack) {
    InterfaceState& ui = InterfaceStateOf();
    ui.SetView(-300, 1200, 4);
    ui.SetMiniMapPosition(20, 30);
    ui.SetOwnerFlag(2, 0);
    ui.SetOwnerFlag(4, 0);
    ui.SetSoundSwitches(0, 1, 0);
    ui.window[103] = 0xAB; // padding is kept as it stands
    const std::vector<uint8_t> bytes = StoreStream([&] { EXPECT_TRUE(ui.Serialize()); });
    const auto chunks = TopChunks(bytes);
    ASSERT_EQ(chunks.size(), 6u);
    const std::pair<uint32_t, uint32_t> expected[] = {{ChunkTag("gUI1"), 8 + 108}, {ChunkTag("gIc1"), 8 + 68},
                                                      {ChunkTag("gST1"), 8 + 28},  {ChunkTag("gmm1"), 8 + 36},
                                                      {ChunkTag("gSFX"), 8 + 16},  {0, 8}};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(chunks[i], expected[i]) << i;

    InterfaceState loaded;
    ASSERT_TRUE(LoadStream(bytes, [&] { EXPECT_TRUE(loaded.Serialize()); }));
    EXPECT_EQ(loaded.window, ui.window);
    EXPECT_EQ(loaded.controlBar, ui.controlBar);
    EXPECT_EQ(loaded.ViewOriginX(), -300);
    EXPECT_EQ(loaded.MiniMapY(), 30);
    EXPECT_EQ(loaded.OwnerFlag(2), 0u);
    // Loading always shows the neutral player's property.
    EXPECT_EQ(loaded.OwnerFlag(4), 1u);
    EXPECT_EQ(loaded.MusicOn(), 0u);
    EXPECT_EQ(loaded.AmbientEffectsOn(), 1u);
}

// Blocks are chosen by the tag read, in any order; a short block fills
// its first bytes, a long one is cut, a missing one keeps its default.
TEST_F(InterfaceStateTest, LoadIsDrivenByTheTagsRead) {
    std::vector<uint8_t> sound(12, 0);
    std::vector<uint8_t> setup(40, 0xFF); // longer than the block
    setup[4] = 0x6C;                      // 1900 = 0x076C
    setup[5] = 0x07;
    setup[6] = setup[7] = 0;
    std::vector<uint8_t> window(2, 0); // shorter: only the first word's low bytes
    const std::vector<uint8_t> bytes = StoreStream([&] {
        StoreSizedChunk(ChunkTag("gSFX"), sound);
        StoreSizedChunk(ChunkTag("gST1"), setup);
        StoreSizedChunk(ChunkTag("junk"), {9, 9, 9, 9});
        StoreSizedChunk(ChunkTag("gUI1"), window);
        StoreEndChunk();
        // Behind the end: never read.
        StoreSizedChunk(ChunkTag("gIc1"), std::vector<uint8_t>(64, 0));
    });
    InterfaceState loaded;
    ASSERT_TRUE(LoadStream(bytes, [&] { EXPECT_TRUE(loaded.Serialize()); }));
    EXPECT_EQ(loaded.MusicOn(), 0u);
    EXPECT_EQ(loaded.SetupYear(), 1900u);
    EXPECT_EQ(loaded.FactoryDemandMode(), 0xFFFFFFFFu);
    EXPECT_EQ(loaded.setup[23], 0xFF);
    EXPECT_EQ(InterfaceState::U32(loaded.window, 0), 0u);
    EXPECT_EQ(loaded.KeepMiniMapPosition(), 1u);
    EXPECT_EQ(loaded.StoredZoomLevel(), 9u);
    EXPECT_EQ(loaded.ShowTrees(), 1u); // "gIc1" stood behind the end
}

TEST_F(InterfaceStateTest, AppliedToTheMapViewWithAClampedZoom) {
    InterfaceState& ui = InterfaceStateOf();
    InterfaceState::SetU32(ui.controlBar, 4, 0);  // overlay
    InterfaceState::SetU32(ui.controlBar, 24, 0); // trees
    InterfaceState::SetU32(ui.controlBar, 44, 5); // buildings: any non-zero
    InterfaceState::SetU32(ui.controlBar, 48, 1); // company colours
    InterfaceState::SetU32(ui.controlBar, 56, 0); // water
    ApplyInterfaceState();
    const MapViewState& v = MapViewOf();
    EXPECT_EQ(v.viewToggle, 0u);
    EXPECT_EQ(v.showTrees, 0);
    EXPECT_EQ(v.showBuildings, 1);
    EXPECT_EQ(v.colourShown[0] + v.colourShown[4], 2);
    EXPECT_EQ(v.waterDetail, 0);

    for (auto [stored, used] : {std::pair{0u, 0}, {14u, 14}, {15u, 14}, {0xFFFFFFFFu, 14}}) {
        ui.SetView(0, 0, stored);
        EXPECT_EQ(ui.ViewZoomLevel(), used) << stored;
    }
    EXPECT_EQ(ui.OwnerFlag(5), 0u);
    EXPECT_EQ(ui.DialogX(10), -1);
}

TEST_F(InterfaceStateTest, RegionIndexAndOverlayToggle) {
    for (auto [code, index] : {std::pair{1u, 0u}, {2u, 1u}, {4u, 2u}, {3u, 0u}, {0u, 0u}, {8u, 0u}})
        EXPECT_EQ(RegionCodeToIndex(code), index) << code;
    for (uint32_t start : {0u, 1u, 6u, 7u}) {
        MapViewOf().viewToggle = start;
        ToggleMapOverlay();
        EXPECT_EQ(MapViewOf().viewToggle, (start + 1) % 2);
        EXPECT_EQ(InterfaceStateOf().OverlaySetting(), (start + 1) % 2);
    }
}

} // namespace
