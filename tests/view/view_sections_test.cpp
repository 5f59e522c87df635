#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/endian.h"
#include "tests/view/view_state_fixture.h"
#include "view/interface_state.h"
#include "view/map_view_state.h"
#include "view/minimap.h"
#include "view/view_sections.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

namespace {

struct ViewSections : testing::Test {
    ViewSections() {
        previous = SetGameLogSink([](const std::string&) {});
        StartGame(game, 99);
        InstallViewSections(game);
        InstallViewSections(other);
    }
    ~ViewSections() override {
        UninstallViewSections(game);
        UninstallViewSections(other);
        SetGameLogSink(previous);
    }
    std::vector<uint8_t> Bytes(Game& g) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(g, bytes));
        return bytes;
    }
    // The payload of a top-level section: where it starts and its size.
    static std::pair<size_t, uint32_t> Section(const std::vector<uint8_t>& bytes, uint32_t tag) {
        size_t pos = plat::LoadLE32(bytes.data() + 4);
        while (pos + 8 <= bytes.size()) {
            const uint32_t size = plat::LoadLE32(bytes.data() + pos + 4);
            if (plat::LoadLE32(bytes.data() + pos) == tag)
                return {pos + 8, size - 8};
            pos += size;
        }
        return {0, 0};
    }
    Game game;
    Game other;
    GameLogSink previous;
};

TEST_F(ViewSections, TheGameSavesAndLoadsTheViewState) {
    {
        WorldScope scope(game.GetWorld());
        GetWorldMap().SetMapSize(64, 64);
        MapViewOf().overlayFrame = 12;
        MapViewOf().water[2].colour = 0x80FFFFFFu;
        InterfaceState& ui = InterfaceStateOf();
        ui.SetMiniMapPosition(40, 50);
        InterfaceState::SetU32(ui.controlBar, 24, 0); // trees off
        MiniMapOf().smallSize = 0;
    }
    const std::vector<uint8_t> bytes = Bytes(game);
    {
        // The images are painted for the save when no frame painted them.
        WorldScope scope(game.GetWorld());
        EXPECT_TRUE(MiniMapOf().Painted());
        EXPECT_TRUE(MiniMapOf().Pending().empty());
    }
    EXPECT_EQ(Section(bytes, ChunkTag("mmap")).second, 8u + 0x20000u + 0x80000u);
    EXPECT_EQ(Section(bytes, ChunkTag("WoP")).second, 24u + 588u + 8u);
    EXPECT_EQ(Section(bytes, ChunkTag("gsta")).second, 116u + 76u + 36u + 44u + 24u + 8u);

    ASSERT_TRUE(LoadGameFromMemory(other, bytes));
    WorldScope scope(other.GetWorld());
    EXPECT_EQ(MapViewOf().overlayFrame, 12u);
    EXPECT_EQ(MapViewOf().water[2].colour, 0x80FFFFFFu);
    EXPECT_EQ(InterfaceStateOf().MiniMapX(), 40);
    EXPECT_EQ(MapViewOf().showTrees, 0);
    EXPECT_EQ(MiniMapOf().smallSize, 0);
    // The minimap is painted again from the loaded map, when it has one.
    EXPECT_EQ(MiniMapOf().Pending().size(), GetWorldMap().GetWidth() ? 1u : 0u);
    EXPECT_EQ(Bytes(other), bytes);
}

// A load that fails leaves the running game's view state as it was.
TEST_F(ViewSections, AFailedLoadKeepsTheRunningViewState) {
    std::vector<uint8_t> bytes = Bytes(game);
    {
        WorldScope scope(other.GetWorld());
        MapViewOf().overlaySet = 5;
        InterfaceStateOf().SetOwnerFlag(1, 0);
    }
    // Cut the file inside its last section.
    bytes.resize(bytes.size() - 4);
    EXPECT_FALSE(LoadGameFromMemory(other, bytes));
    WorldScope scope(other.GetWorld());
    EXPECT_EQ(MapViewOf().overlaySet, 5u);
    EXPECT_EQ(InterfaceStateOf().OwnerFlag(1), 0u);
}

} // namespace
