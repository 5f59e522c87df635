#include "data/generated/terrain_tables.h"
#include "engine/draw_layers.h"
#include "engine/tiled_image.h"
#include "tests/engine/null_engine.h"
#include "tests/world/world_fixture.h"
#include "view/interface_state.h"
#include "view/screen_effects.h"
#include "view/text_queue.h"

namespace {

TEST(AmountTextTest, LookOverItsLife) {
    struct Case {
        int32_t amount;
        uint32_t elapsed;
        uint32_t alpha;
        int32_t rise;
        const char* text;
        uint32_t rgb;
    };
    const Case cases[] = {
        {-1500, 0, 255, 0, "-1500", 0xFF0000}, {0, 2500, 255, -37, "0", 0x00FF00},
        {42, 4000, 255, -60, "42", 0x00FF00},  {42, 4500, 128, -67, "42", 0x00FF00},
        {42, 5000, 0, -75, "42", 0x00FF00},    {-2147483647 - 1, 4999, 1, -74, "-2147483648", 0xFF0000},
    };
    for (const Case& c : cases) {
        const AmountLook look = LookOfAmount(c.amount, c.elapsed, 0);
        EXPECT_EQ(look.colour >> 24, c.alpha) << c.elapsed;
        EXPECT_EQ(look.colour & 0xFFFFFF, c.rgb) << c.amount;
        EXPECT_EQ(look.rise, c.rise) << c.elapsed;
        EXPECT_EQ(look.text, c.text);
    }
    EXPECT_EQ(LookOfAmount(1, 0, -10).rise, -10);
}

class ScreenEffectsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ExplosionTable::Clear();
        *ExplosionTable::GetOrCreateRow(1) = {100, 5, 0};
        *ExplosionTable::GetOrCreateRow(2) = {0, 5, 0};
    }
    void TearDown() override {
        ExplosionTable::Clear();
        WorldTest::TearDown();
    }
};

TEST_F(ScreenEffectsTest, AmountTextsLastFiveSeconds) {
    ShowAmountAtTile(3, 4, -50, 0, 0, 1000);
    UpdateScreenEffects(6000);
    EXPECT_EQ(ScreenEffectsOf().effects.size(), 1u);
    UpdateScreenEffects(6001);
    EXPECT_TRUE(ScreenEffectsOf().effects.empty());
}

TEST_F(ScreenEffectsTest, AnimationsWaitForTheirStartAndEnd) {
    auto& a = static_cast<AnimationEffect&>(
        AddScreenEffect(std::make_unique<AnimationEffect>(2, 2, 1, 1, 1, 2000, 1000)));
    EXPECT_EQ(a.FrameAt(2999), -1);
    UpdateScreenEffects(2999);
    EXPECT_FALSE(a.SoundTried());
    EXPECT_EQ(a.FrameAt(3000), 0);
    EXPECT_EQ(a.FrameAt(3250), 2);
    EXPECT_EQ(a.FrameAt(3500), -1);
    // With the ambient switch off the sound is not tried again later.
    InterfaceStateOf().SetSoundSwitches(1, 0, 1);
    UpdateScreenEffects(3000);
    EXPECT_TRUE(a.SoundTried());
    UpdateScreenEffects(3500);
    EXPECT_EQ(ScreenEffectsOf().effects.size(), 1u);
    UpdateScreenEffects(3501);
    EXPECT_TRUE(ScreenEffectsOf().effects.empty());

    // A type without time or without a row is done once started and never draws.
    for (int32_t type : {2, 9}) {
        AnimationEffect none(0, 0, 1, 1, type, 0, 100);
        EXPECT_EQ(none.FrameAt(100), -1);
        EXPECT_FALSE(none.IsDone(99));
        EXPECT_TRUE(none.IsDone(101));
    }
    AddScreenEffect(std::make_unique<AnimationEffect>(0, 0, 1, 1, 1, 0, 0));
    DeleteAllScreenEffects();
    EXPECT_TRUE(ScreenEffectsOf().effects.empty());
}

class TextQueueTest : public NullEngineTest {
protected:
    void SetUp() override {
        NullEngineTest::SetUp();
        world_ = std::make_unique<World>();
        scope_.emplace(*world_);
    }
    void TearDown() override {
        scope_.reset();
        world_.reset();
        NullEngineTest::TearDown();
    }
    std::unique_ptr<World> world_;
    std::optional<WorldScope> scope_;
};

TEST_F(TextQueueTest, PulseRunsUpAndDown) {
    std::vector<uint32_t> seen;
    for (int i = 0; i < 130; ++i) {
        seen.push_back(GetTextAlpha() >> 24);
        DrawTextQueue();
    }
    EXPECT_EQ(seen[0], 64u);
    EXPECT_EQ(seen[1], 66u);
    EXPECT_EQ(seen[64], 192u);
    EXPECT_EQ(seen[65], 190u);
    EXPECT_EQ(seen[128], 64u);
    EXPECT_EQ(seen[129], 66u);
}

TEST_F(TextQueueTest, ItemsLastOneDrawingAndModesChooseTheLook) {
    const TextureHandle texture = MakeTexture(8, 8);
    TiledImage image;
    image.textures.push_back(texture);
    image.imageWidth = image.imageHeight = 8;
    const EngineRect r{10, 10, 50, 30};
    Engine::ResetFrameLists();
    QueueScreenText(r, &image, 0, 2, 0x123456, 0x40000000);  // half-transparent white
    QueueScreenQuad(r, {0, 0, 8, 8}, &image, 1, 0, 2, 0, 0); // a quad in mode 2 draws nothing
    QueueScreenQuad(r, {0, 0, 8, 8}, &image, 1, 0, 1, 0x00FF00, 0x80000000);
    QueueScreenString(0, 0, "", 0, 0); // empty text: nothing
    DrawTextQueue();
    EXPECT_EQ(TextQueueOf().drawn, 2u);
    EXPECT_TRUE(TextQueueOf().items.empty());
    const DrawLayer* layer = Engine::Layer(kTextQueueLayer);
    ASSERT_EQ(layer->rects.size(), 1u);
    EXPECT_EQ(layer->rects[0].colour, 0x80FFFFFFu);
    ASSERT_EQ(layer->quads.size(), 1u);
    EXPECT_EQ(layer->quads[0].colour, 0x8000FF00u);
    DrawTextQueue();
    EXPECT_EQ(TextQueueOf().drawn, 0u);

    QueueScreenText(r, &image, 0, 0, 0, 0);
    ClearTextQueue();
    DrawTextQueue();
    EXPECT_EQ(TextQueueOf().drawn, 0u);
}

} // namespace
