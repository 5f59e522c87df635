#include "data/generated/economy_tables.h"
#include "tests/view/sound_fixture.h"
#include "view/draw_lists.h"
#include "view/interface_state.h"
#include "world/world.h"

#include <memory>
#include <optional>

namespace {

// Trees on tile (10, 5), in the middle of the test view.
class TreeSoundTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        world_ = std::make_unique<World>();
        scope_.emplace(*world_);
        AddRow(3, "sfx/short.wav");
        SetVoices(0, 4);
        RefreshSoundPositions(); // makes the voices and reads the view
        ValueTable sounds;
        sounds.Resize(1, 1);
        sounds.SetCell(0, 0, 3.0f);
        GlobalConstantsTable::GetOrCreateRow(0)->TreeSoundIndexTable = sounds;
    }
    void TearDown() override {
        GlobalConstantsTable::Clear();
        scope_.reset();
        world_.reset();
        SoundTest::TearDown();
    }
    static DrawLists Trees(size_t count) {
        DrawLists lists;
        lists.trees.assign(count, TreeRecord{{}, {40, 20, 43, 23}, nullptr, nullptr});
        return lists;
    }
    std::unique_ptr<World> world_;
    std::optional<WorldScope> scope_;
};

TEST_F(TreeSoundTest, MoreThan230TreesOnceASecond) {
    uint32_t last = 0;
    EXPECT_EQ(PlayTreeAmbientSound(Trees(230), 2000, last, true), -1);
    EXPECT_EQ(last, 2000u);
    EXPECT_EQ(PlayTreeAmbientSound(Trees(231), 2500, last, true), -1) << "within a second of the last check";
    EXPECT_GE(PlayTreeAmbientSound(Trees(231), 3001, last, true), 0);
    EXPECT_EQ(PlayTreeAmbientSound(Trees(231), 5000, last, false), -1) << "effects off";
    InterfaceStateOf().SetSoundSwitches(1, 0, 1);
    EXPECT_EQ(PlayTreeAmbientSound(Trees(231), 7000, last, true), -1) << "ambient switch off";
}

// An empty table plays nothing rather than dividing by its size.
TEST_F(TreeSoundTest, EmptyTableMeansNoSound) {
    GlobalConstantsTable::GetOrCreateRow(0)->TreeSoundIndexTable = ValueTable();
    uint32_t last = 0;
    EXPECT_EQ(PlayTreeAmbientSound(Trees(500), 2000, last, true), -1);
    GlobalConstantsTable::Clear();
    EXPECT_EQ(PlayTreeAmbientSound(Trees(500), 4000, last, true), -1);
}

} // namespace
