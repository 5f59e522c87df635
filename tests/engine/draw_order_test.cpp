#include "engine/draw_item.h"
#include "engine/draw_layers.h"
#include "engine/state_blocks.h"
#include "tests/engine/depth_sort_reference.h"
#include "tests/engine/null_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

namespace {

DrawItem Item(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t flags = 0, uint32_t key = 0,
              int32_t top = 0) {
    DrawItem d;
    d.x1 = x1, d.y1 = y1, d.x2 = x2, d.y2 = y2;
    d.flags = flags;
    d.orderKey = key;
    d.dest.top = top;
    return d;
}

TEST(DrawOrderLess, RulesOnChosenPairs) {
    const struct {
        const char* name;
        DrawItem a, b;
        bool less;
    } cases[] = {
        // Rule 1: b starts where a ends in y.
        {"b's right edge off a's left edge", Item(2, 0, 4, 2), Item(0, 2, 1, 4), false},
        {"same left edge, a wider", Item(2, 0, 3, 2), Item(2, 2, 2, 4, 1), false},
        {"b with width, no 0x02: b without 0x01", Item(2, 0, 2, 2, 4), Item(0, 2, 2, 4, 0), true},
        {"b without width, b has 0x01", Item(2, 0, 3, 2, 0), Item(1, 2, 2, 4, 1), false},
        // Rule 2: a starts where b ends in y.
        {"flat pair, a further right", Item(0, 0, 4, 0), Item(0, 0, 2, 0), true},
        {"flat pair, a further left", Item(0, 0, 2, 0), Item(0, 0, 4, 0), false},
        {"a.x2 off b.x1 puts a first", Item(0, 2, 1, 4), Item(3, 0, 5, 2), true},
        {"a without width, a has 0x01", Item(3, 2, 3, 4, 1), Item(3, 0, 4, 2, 0), true},
        // Rules 3 and 4: touching along x.
        {"a's left on b's right, widths", Item(2, 0, 3, 1), Item(0, 3, 2, 4), true},
        {"a's left on b's right, no widths, equal depth", Item(2, 0, 2, 1), Item(2, 3, 2, 5), false},
        {"b's left on a's right, widths", Item(0, 0, 2, 1), Item(2, 2, 3, 3), false},
        // Rules 5 to 7.
        {"order key: higher key first", Item(0, 0, 1, 1, 0, 5), Item(10, 10, 11, 11, 0, 3), true},
        {"same diagonal sum, lower top first", Item(0, 0, 1, 1, 0, 0, 20), Item(10, 10, 1, 1, 0, 0, 10),
         true},
        {"larger x2 + y2 first", Item(5, 5, 6, 6), Item(10, 11, 1, 1), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Engine::DrawOrderLess(c.a, c.b), c.less) << c.name;
}

// A comparison that is not a strict weak order: the sort must still end,
// keep every index once and give the same answer every time.
TEST(SortDrawOrder, SafeWithAnyComparison) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> coord(0, 6);
    std::uniform_int_distribution<int32_t> flag(0, 0x3F);
    for (size_t n : {0u, 1u, 7u, 8u, 9u, 33u, 288u}) {
        std::vector<DrawItem> items;
        for (size_t i = 0; i < n; ++i) {
            int32_t x1 = coord(rng), y1 = coord(rng);
            items.push_back(Item(x1, y1, x1 + coord(rng) % 3, y1 + coord(rng) % 3, uint16_t(flag(rng))));
        }
        std::vector<uint32_t> first(n), second(n);
        std::iota(first.begin(), first.end(), 0u);
        std::iota(second.begin(), second.end(), 0u);
        Engine::SortDrawOrder(first.data(), n, items.data());
        Engine::SortDrawOrder(second.data(), n, items.data());
        EXPECT_EQ(first, second) << n;
        std::vector<uint32_t> sorted = first;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(sorted[i], i) << n;
    }
}

TEST(CheckDrawRect, RangeCoversTheLargestMaps) {
    EXPECT_TRUE(Engine::CheckDrawRect({-8, -8, 8200, 8200}));
    EXPECT_TRUE(Engine::CheckDrawRect({8188, 8188, 8192, 8192})); // the far corner of a 2048-tile map
    EXPECT_FALSE(Engine::CheckDrawRect({-9, 0, 0, 0}));
    EXPECT_FALSE(Engine::CheckDrawRect({0, 0, 8201, 0}));
    EXPECT_FALSE(Engine::CheckDrawRect({4, 0, 3, 0}));
    EXPECT_FALSE(Engine::CheckDrawRect({0, 4, 0, 3}));
}

class DepthSortTest : public NullEngineTest {};

TEST_F(DepthSortTest, ManyOverlappingSpritesEachOnceAndSameOrderEveryRun) {
    TextureHandle tex = MakeTexture(8, 8);
    auto fill = [&](uint32_t seed) {
        Engine::ResetLayer(0);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int32_t> pos(0, 8188), size(0, 12), screen(-50, 1100), flags(0, 0x3F);
        for (uint32_t i = 0; i < 20000; ++i) {
            int32_t x = pos(rng), y = pos(rng);
            EngineRect sort{x, y, std::min(x + size(rng), 8200), std::min(y + size(rng), 8200)};
            int32_t sx = screen(rng), sy = screen(rng);
            ASSERT_TRUE(Engine::QueueSprite(0, tex, {sx, sy, sx + 64, sy + 40}, sort, i + 1, 1, 0, i % 3,
                                            uint16_t(flags(rng))));
        }
    };
    fill(11);
    ASSERT_TRUE(Engine::SortLayer(0));
    std::vector<uint32_t> first = Engine::Layer(0)->order;
    // Every visible item once, none lost.
    const DrawLayer& l = *Engine::Layer(0);
    size_t visible = 0;
    for (const DrawItem& d : l.items)
        visible += d.dest.right > 0 && d.dest.bottom > 0 && d.dest.left < 1024 && d.dest.top < 768;
    std::vector<uint32_t> sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(first.size(), visible);
    fill(11);
    ASSERT_TRUE(Engine::SortLayer(0));
    EXPECT_EQ(Engine::Layer(0)->order, first);
}

// Random scenes of every shape the map produces: footprints far apart (a
// cheap order), crowded ones that touch along edges and corners, tiles on
// a grid, flat and zero-width ones, all flag combinations, shared order
// keys and screen tops, some sprites off the screen. The layer's order must
// be exactly the plain reference's.
TEST_F(DepthSortTest, SameOrderAsThePlainReference) {
    TextureHandle tex = MakeTexture(8, 8);
    struct Shape {
        const char* name;
        int32_t lo, hi;     // corner range
        int32_t maxSize;    // footprint extent
        int32_t grid;       // corners and extents on multiples of this
        int32_t keys, tops; // distinct order keys (0: any) and screen tops
    };
    const Shape shapes[] = {
        {"sparse, whole range", kSortMin, kSortMax - 12, 12, 1, 1, 1100},
        {"sparse, keys and tops shared", 0, 8188, 12, 1, 3, 4},
        {"crowded", 0, 40, 6, 1, 3, 6},
        {"tiles on a grid", 0, 200, 8, 4, 2, 50},
        {"one spot", 100, 103, 3, 1, 2, 2},
        {"long footprints", 0, 2000, 300, 1, 1, 1100},
        {"order keys of any size", 0, 8188, 12, 1, 0, 50},
    };
    std::mt19937 rng(2024);
    for (const Shape& shape : shapes) {
        for (int scene = 0; scene < 40; ++scene) {
            const uint32_t count = scene == 0   ? 0
                                   : scene == 1 ? 1
                                   : scene == 2 ? 6000
                                                : uint32_t(rng() % 2001);
            Engine::ResetLayer(0);
            std::uniform_int_distribution<int32_t> pos(shape.lo / shape.grid, shape.hi / shape.grid),
                size(0, shape.maxSize / shape.grid), screen(-80, 1100), flags(0, 0x3F);
            std::vector<SortKey> kept;
            for (uint32_t i = 0; i < count; ++i) {
                int32_t x = pos(rng) * shape.grid, y = pos(rng) * shape.grid;
                EngineRect sort{x, y, std::min(x + size(rng) * shape.grid, kSortMax),
                                std::min(y + size(rng) * shape.grid, kSortMax)};
                int32_t sx = screen(rng), sy = int32_t(rng() % uint32_t(shape.tops)) * 7 - 40;
                uint32_t key = shape.keys == 0 ? uint32_t(rng()) : rng() % uint32_t(shape.keys);
                uint16_t f = uint16_t(flags(rng));
                EngineRect dest{sx, sy, sx + 64, sy + 40};
                ASSERT_TRUE(Engine::QueueSprite(0, tex, dest, sort, i + 1, 1, 0, key, f));
                if (dest.right > 0 && dest.bottom > 0 && dest.left < 1024 && dest.top < 768)
                    kept.push_back({sort.left, sort.top, sort.right, sort.bottom, f, key, dest.top});
            }
            ASSERT_TRUE(Engine::SortLayer(0));
            std::vector<uint32_t> expected = DepthSortReference::Order(kept);
            std::vector<uint32_t> got;
            const DrawLayer& l = *Engine::Layer(0);
            // The reference numbers the kept sprites; map the layer's item
            // indices to the same numbers (param1 is the queue number + 1).
            std::vector<int32_t> keptNumber(count, -1);
            for (uint32_t i = 0, k = 0; i < count; ++i) {
                const EngineRect& d = l.items[i].dest;
                if (d.right > 0 && d.bottom > 0 && d.left < 1024 && d.top < 768)
                    keptNumber[i] = int32_t(k++);
            }
            for (uint32_t i : l.order) {
                ASSERT_LT(i, count);
                ASSERT_GE(keptNumber[i], 0) << shape.name << ": an off-screen sprite is drawn";
                got.push_back(uint32_t(keptNumber[i]));
            }
            ASSERT_EQ(got, expected) << shape.name << ", scene " << scene << ", " << count << " sprites";
        }
    }
}

TEST_F(DepthSortTest, SortsOncePerFrameAndCullsOffScreenSprites) {
    TextureHandle tex = MakeTexture(8, 8);
    ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, {0, 0, 1, 1}, 1, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::QueueSprite(0, tex, {2000, 0, 2010, 10}, {4, 4, 5, 5}, 2, 1, 0, 0, 0));
    EXPECT_TRUE(Engine::SortLayer(0));
    EXPECT_FALSE(Engine::SortLayer(0));
    EXPECT_EQ(Engine::Layer(0)->order, (std::vector<uint32_t>{0}));
    Engine::ResetLayer(0);
    ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, {0, 0, 1, 1}, 1, 1, 0, 0, 0));
    EXPECT_TRUE(Engine::SortLayer(0));
}

// An item put into the list directly with a sort rectangle the queue
// refuses is left out; the others are drawn.
TEST_F(DepthSortTest, ItemWithBadSortRectangleIsLeftOut) {
    TextureHandle tex = MakeTexture(8, 8);
    const DrawItem bad[] = {Item(10, 10, 2, 2), Item(0, 0, 1, 9000), Item(-100, 0, 1, 1)};
    for (const DrawItem& b : bad) {
        Engine::ResetLayer(0);
        ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, {0, 0, 1, 1}, 1, 1, 0, 0, 0));
        DrawItem d = Engine::Layer(0)->items[0];
        d.x1 = b.x1, d.y1 = b.y1, d.x2 = b.x2, d.y2 = b.y2;
        Engine::Layer(0)->items.push_back(d);
        ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, {4, 4, 5, 5}, 3, 1, 0, 0, 0));
        ASSERT_TRUE(Engine::SortLayer(0));
        // Both good ones start on the first diagonal: the first queued leads.
        EXPECT_EQ(Engine::Layer(0)->order, (std::vector<uint32_t>{0, 2})) << b.x1 << "," << b.y2;
    }
}

// Two sprites on the same diagonals that touch nowhere are ordered by
// their far corners, the larger x2 + y2 first, whatever the queue order,
// once the order has started on an earlier diagonal.
TEST_F(DepthSortTest, SeparateSpritesOrderedByFarCorner) {
    TextureHandle tex = MakeTexture(8, 8);
    for (bool nearFirst : {false, true}) {
        Engine::ResetLayer(0);
        EngineRect farSort{0, 0, 4, 4}, nearSort{8, 8, 12, 12};
        ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, {0, 20, 1, 21}, 3, 1, 0, 0, 0));
        ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, nearFirst ? nearSort : farSort,
                                        nearFirst ? 2 : 1, 1, 0, 0, 0));
        ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, nearFirst ? farSort : nearSort,
                                        nearFirst ? 1 : 2, 1, 0, 0, 0));
        ASSERT_TRUE(Engine::SortLayer(0));
        const DrawLayer& l = *Engine::Layer(0);
        ASSERT_EQ(l.order.size(), 3u);
        EXPECT_EQ(l.items[l.order[0]].param1, 3u) << nearFirst;
        EXPECT_EQ(l.items[l.order[1]].param1, 2u) << nearFirst;
        EXPECT_EQ(l.items[l.order[2]].param1, 1u) << nearFirst;
    }
}

// The order starts with the first queued sprite of the most negative
// diagonal, not with the one the rules put first there; the others of that
// diagonal follow it in the rules' order from the start sprite on, then
// those the rules put before it.
TEST_F(DepthSortTest, FirstDiagonalStartsWithTheFirstQueuedSprite) {
    TextureHandle tex = MakeTexture(8, 8);
    // All start on diagonal -4 and touch nowhere; the rules order them
    // C, B, A (the larger x2 + y2 first).
    const EngineRect sorts[] = {{0, 0, 4, 4}, {8, 8, 12, 12}, {16, 16, 20, 20}};
    const struct {
        std::vector<uint32_t> queued, drawn; // 1 = A, 2 = B, 3 = C
    } cases[] = {
        {{1, 2}, {1, 2}},       {{2, 1}, {2, 1}},       {{2, 1, 3}, {2, 1, 3}},
        {{1, 2, 3}, {1, 3, 2}}, {{3, 1, 2}, {3, 2, 1}},
    };
    for (const auto& c : cases) {
        Engine::ResetLayer(0);
        for (uint32_t id : c.queued)
            ASSERT_TRUE(Engine::QueueSprite(0, tex, {0, 0, 10, 10}, sorts[id - 1], id, 1, 0, 0, 0));
        ASSERT_TRUE(Engine::SortLayer(0));
        const DrawLayer& l = *Engine::Layer(0);
        std::vector<uint32_t> drawn;
        for (uint32_t i : l.order)
            drawn.push_back(l.items[i].param1);
        EXPECT_EQ(drawn, c.drawn) << "first queued " << c.queued[0];
    }
}

TEST_F(DepthSortTest, QueueRefusals) {
    TextureHandle tex = MakeTexture(8, 8);
    const EngineRect dest{0, 0, 8, 8}, sort{0, 0, 1, 1};
    EXPECT_FALSE(Engine::QueueSprite(-1, tex, dest, sort, 0, 1, 0, 0, 0));
    EXPECT_FALSE(Engine::QueueSprite(16, tex, dest, sort, 0, 1, 0, 0, 0));
    EXPECT_FALSE(Engine::QueueSprite(0, 0, dest, sort, 0, 1, 0, 0, 0));
    EXPECT_FALSE(Engine::QueueSprite(0, 8192, dest, sort, 0, 1, 0, 0, 0));
    EXPECT_FALSE(Engine::QueueSprite(0, tex + 1, dest, sort, 0, 1, 0, 0, 0)); // a free slot
    EXPECT_FALSE(Engine::QueueSprite(0, tex, dest, {0, 0, 8201, 1}, 0, 1, 0, 0, 0));
    EXPECT_FALSE(Engine::QueueSprite(0, tex, dest, {2, 0, 1, 1}, 0, 1, 0, 0, 0));
    EXPECT_TRUE(Engine::Layer(0)->items.empty());
    EXPECT_FALSE(Engine::QueueBitmapTextDirect(0, 1, {0, 0}, 12, 0, "", 0, 0xFFFFFFFF, 0));
    EXPECT_TRUE(Engine::QueueGdiTextBlit(0, reinterpret_cast<const SystemFont*>(this), {0, 0}, u"", 0, 0, 0));
    EXPECT_TRUE(Engine::Layer(0)->blitOrder.empty());
}

TEST_F(DepthSortTest, TintSelectsTheStateBlock) {
    TextureHandle tex = MakeTexture(8, 8);
    ASSERT_TRUE(Engine::QueueSpriteTinted(0, tex, 0xFFFFFFFF, {0, 0, 8, 8}, {0, 0, 1, 1}, 0, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::QueueSpriteTinted(0, tex, 0x80FF0000, {0, 0, 8, 8}, {0, 0, 1, 1}, 0, 1, 0, 0, 0));
    const auto& items = Engine::Layer(0)->items;
    EXPECT_EQ(items[0].stateBlock, Engine::StateBlockIndex(1, 1, 0, 1, 0, 0));
    EXPECT_EQ(items[1].stateBlock, Engine::StateBlockIndex(1, 1, 0, 1, 1, 0));
}

TEST(DrawImageParams, TargetClearsTheQueueBit) {
    DrawImageParams p;
    p.SetSource(3, {0, 0, 1, 1}, 7, 9, 2);
    EXPECT_EQ(p.requestFlags & DrawImageParams::kQueue, DrawImageParams::kQueue);
    p.SetTarget({0, 0, 10, 10}, 1, 0);
    EXPECT_EQ(p.requestFlags, 0u);
}

} // namespace
