#include "engine/draw_layers.h"
#include "engine/frame.h"
#include "engine/state_blocks.h"
#include "engine/texture_atlas.h"
#include "engine/textures.h"
#include "tests/engine/null_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

class TextureAtlasTest : public NullEngineTest {
protected:
    void TearDown() override {
        Engine::SetSpriteAtlases(true);
        NullEngineTest::TearDown();
    }

    // A texel of a 32-bit texture, as stored.
    uint32_t Texel(const Surface* s, int32_t x, int32_t y) const {
        const plat::TextureLock* lock = device.TexturePixels(s->deviceTexture);
        uint32_t v = 0;
        std::memcpy(&v, lock->pixels + size_t(y) * size_t(lock->pitch) + size_t(x) * 4, 4);
        return v;
    }

    // The page texel a coordinate pair falls in.
    static int32_t PageTexel(float uv, int32_t side) { return int32_t(std::floor(uv * float(side))); }
};

uint32_t Pattern(int32_t x, int32_t y) {
    return 0xFF000000u | uint32_t(x) << 12 | uint32_t(y);
}

// Every texel of a packed texture is found in the page where its sprite
// coordinates point, the border repeats the edge texels, and no two
// copies (with their borders) overlap.
TEST_F(TextureAtlasTest, CopiesLieWhereTheirCoordinatesPointWithEdgeBorders) {
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 5}, {64, 64}, {100, 30}, {7, 200}, {512, 17}};
    std::vector<Surface*> packed;
    for (auto [w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        TextureHandle t = MakeTexture(w, h, Pattern);
        ASSERT_TRUE(Engine::PackIntoAtlas(t));
        const Surface* s = Engine::TextureSurface(t);
        const Surface* page = s->atlasPage;
        ASSERT_NE(page, nullptr);
        const QuadUV uv = Engine::AtlasWholeUV(*s);
        // Texel centres through the whole-image coordinates.
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const float u = uv.u0 + (float(x) + 0.5f) / float(w) * (uv.u1 - uv.u0);
                const float v = uv.v0 + (float(y) + 0.5f) / float(h) * (uv.v1 - uv.v0);
                ASSERT_EQ(Texel(page, PageTexel(u, page->width), PageTexel(v, page->height)), Pattern(x, y))
                    << x << "," << y;
            }
        // A source rectangle maps onto the same texels as in the texture.
        const QuadUV part = Engine::AtlasSourceUV(*s, {w / 2, h / 2, w, h});
        EXPECT_EQ(Texel(page, PageTexel(part.u0, page->width), PageTexel(part.v0, page->height)),
                  Pattern(w / 2, h / 2));
        // The border: two texels of each edge, corners included.
        for (int32_t k = 1; k <= Engine::kAtlasPadding; ++k) {
            EXPECT_EQ(Texel(page, s->atlasX - k, s->atlasY), Pattern(0, 0));
            EXPECT_EQ(Texel(page, s->atlasX + w - 1 + k, s->atlasY + h - 1), Pattern(w - 1, h - 1));
            EXPECT_EQ(Texel(page, s->atlasX + w / 2, s->atlasY - k), Pattern(w / 2, 0));
            EXPECT_EQ(Texel(page, s->atlasX, s->atlasY + h - 1 + k), Pattern(0, h - 1));
            EXPECT_EQ(Texel(page, s->atlasX - k, s->atlasY - k), Pattern(0, 0));
        }
        packed.push_back(Engine::TextureSurface(t));
    }
    EXPECT_EQ(Engine::AtlasPageCount(), 1);
    EXPECT_EQ(Engine::AtlasSpriteCount(), int32_t(std::size(sizes)));
    constexpr int32_t p = Engine::kAtlasPadding;
    for (size_t i = 0; i < packed.size(); ++i)
        for (size_t j = i + 1; j < packed.size(); ++j) {
            const Surface& a = *packed[i];
            const Surface& b = *packed[j];
            const bool apart = a.atlasX + a.texture.width + p <= b.atlasX - p ||
                               b.atlasX + b.texture.width + p <= a.atlasX - p ||
                               a.atlasY + a.texture.height + p <= b.atlasY - p ||
                               b.atlasY + b.texture.height + p <= a.atlasY - p;
            EXPECT_TRUE(apart) << i << " and " << j;
        }
}

// What stays out of the atlas, and pages per pixel format.
TEST_F(TextureAtlasTest, RefusesWhatCannotShareAPage) {
    const uint32_t white = 0xFFFFFFFF;
    const uint32_t pixels[4] = {white, white, white, 0xFF000000};
    const uint32_t key = 0xFF000000;
    const TextureHandle keyed = Engine::CreateTexture(2, 2, kFormat8888, 0, pixels, 8, &key, nullptr);
    ASSERT_NE(keyed, 0u);
    EXPECT_FALSE(Engine::PackIntoAtlas(keyed));
    EXPECT_FALSE(Engine::PackIntoAtlas(MakeTexture(Engine::kAtlasMaxSprite + 1, 4)));
    EXPECT_FALSE(Engine::PackIntoAtlas(MakeTexture(4, Engine::kAtlasMaxSprite + 1)));
    EXPECT_FALSE(Engine::PackIntoAtlas(0));
    EXPECT_FALSE(Engine::PackIntoAtlas(4000));
    Engine::SetSpriteAtlases(false);
    EXPECT_FALSE(Engine::PackIntoAtlas(MakeTexture(8, 8)));
    EXPECT_EQ(Engine::AtlasPageCount(), 0);
    Engine::SetSpriteAtlases(true);

    const TextureHandle wide = MakeTexture(8, 8);
    ASSERT_TRUE(Engine::PackIntoAtlas(wide));
    EXPECT_FALSE(Engine::PackIntoAtlas(wide)); // already packed
    const TextureHandle narrow = Engine::CreateTexture(2, 2, kFormat4444, 0, pixels, 8, nullptr, nullptr);
    ASSERT_TRUE(Engine::PackIntoAtlas(narrow));
    EXPECT_EQ(Engine::AtlasPageCount(), 2);
    EXPECT_NE(Engine::TextureSurface(wide)->atlasPage, Engine::TextureSurface(narrow)->atlasPage);
}

// A full page opens another; pages emptied by deleted textures are used
// again instead of growing the list.
TEST_F(TextureAtlasTest, FullPagesOpenNewOnesAndEmptiedPagesAreReused) {
    std::vector<TextureHandle> textures;
    for (int i = 0; i < 150; ++i) {
        textures.push_back(MakeTexture(200, 200));
        ASSERT_TRUE(Engine::PackIntoAtlas(textures.back())) << i;
    }
    // 204-texel boxes: ten to a shelf, ten shelves to a 2048 page.
    EXPECT_EQ(Engine::AtlasPageCount(), 2);
    EXPECT_EQ(Engine::AtlasSpriteCount(), 150);
    for (TextureHandle t : textures)
        Engine::DeleteTexture(t);
    EXPECT_EQ(Engine::AtlasSpriteCount(), 0);
    for (int i = 0; i < 150; ++i)
        ASSERT_TRUE(Engine::PackIntoAtlas(MakeTexture(200, 200))) << i;
    EXPECT_EQ(Engine::AtlasPageCount(), 2);
}

// A texture edited after packing leaves its page, so sprites show the new
// pixels; releasing the engine frees the pages with no leak reported.
TEST_F(TextureAtlasTest, EditedTextureLeavesItsPageAndPagesAreFreedWithTheEngine) {
    const TextureHandle t = MakeTexture(16, 16);
    ASSERT_TRUE(Engine::PackIntoAtlas(t));
    Engine::TextureLockInfo lock;
    ASSERT_TRUE(Engine::LockTexture(t, &lock));
    ASSERT_TRUE(Engine::UnlockTexture(t));
    EXPECT_EQ(Engine::TextureSurface(t)->atlasPage, nullptr);
    EXPECT_EQ(Engine::AtlasSpriteCount(), 0);

    ASSERT_TRUE(Engine::PackIntoAtlas(MakeTexture(16, 16)));
    Engine::ReleaseEngine();
    EXPECT_EQ(Engine::AtlasPageCount(), 0);
    EXPECT_TRUE(messages.empty()) << messages.front();
    ASSERT_TRUE(Engine::EngineInit(&device, {}, DisplayMode{1024, 768, 16, 60, 0}));
}

// A small scene of sprites from four textures taken in turns, in two blend
// modes: the layer sends one draw per change of bound texture or states
// that its order leaves, no more; packed into one page, a run of one blend
// mode is one draw whatever its textures.
TEST_F(TextureAtlasTest, DrawsFollowTheTextureAndStateChangesOfTheOrder) {
    for (const bool atlases : {false, true}) {
        SCOPED_TRACE(atlases ? "atlases" : "own textures");
        std::vector<TextureHandle> textures;
        for (int i = 0; i < 4; ++i) {
            textures.push_back(MakeTexture(16, 16));
            if (atlases) {
                ASSERT_TRUE(Engine::PackIntoAtlas(textures.back()));
            }
        }
        ASSERT_TRUE(Engine::BeginFrame());
        Engine::ResetLayer(0);
        // Sixteen sprites along a row of map cells: the blend mode changes
        // after the eighth.
        for (int32_t i = 0; i < 16; ++i)
            ASSERT_TRUE(Engine::QueueSprite(0, textures[size_t(i % 4)], {20 * i, 0, 20 * i + 16, 16},
                                            {4 * i, 0, 4 * i + 1, 1}, uint32_t(i + 1), i < 8 ? 1 : 2, 0, 0,
                                            0));
        device.ResetStats();
        ASSERT_TRUE(Engine::DrawSpriteLayer(0));
        const DrawLayer& layer = *Engine::Layer(0);
        ASSERT_EQ(layer.order.size(), 16u);
        uint32_t changes = 0;
        const Surface* bound = nullptr;
        uint16_t state = 0xFFFF;
        for (uint32_t i : layer.order) {
            const DrawItem& it = layer.items[i];
            const Surface* s = Engine::SpriteBindSurface(Engine::TextureSurface(it.texture));
            changes += s != bound || it.stateBlock != state;
            bound = s, state = it.stateBlock;
        }
        EXPECT_EQ(changes, atlases ? 2u : 16u);
        EXPECT_EQ(device.Stats().drawCalls, changes);
        EXPECT_LE(device.Stats().textureBinds, changes);
        EXPECT_LE(device.Stats().stateChanges, changes);
        Engine::EndScene();
        for (TextureHandle t : textures)
            Engine::DeleteTexture(t);
    }
}

} // namespace
