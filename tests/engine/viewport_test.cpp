#include "engine/view_hooks.h"
#include "engine/viewport.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Records what the viewports ask of the layers above and plays the mouse.
class ViewportTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Clock::UseFake(1000);
        Viewport::ResetAll();
        ViewHooks hooks;
        hooks.mapWidth = [this] { return mapWidth; };
        hooks.mapHeight = [this] { return mapHeight; };
        hooks.requestFullRedraw = [this] { ++redraws; };
        hooks.requestScroll = [this](int32_t dx, int32_t dy) { scrolls.push_back({dx, dy}); };
        hooks.mousePosition = [this](int32_t& x, int32_t& y) {
            x = mouse.x;
            y = mouse.y;
        };
        hooks.isRightButtonDown = [this] { return rightDown; };
        hooks.setMouseCursorShape = [this](int32_t shape) { shapes.push_back(shape); };
        SetViewHooks(hooks);
        EngineRect rect{0, 0, 1024, 768};
        Viewport::SetActive(0, true, &rect);
        Viewport::Select(0);
    }
    void TearDown() override {
        SetViewHooks({});
        Viewport::ResetAll();
        plat::Clock::UseReal();
    }

    // Puts map cell (x, y) under the centre of the screen.
    void CentreOn(int32_t x, int32_t y) {
        Viewport::CenterOn(x, y);
        redraws = 0;
    }

    int32_t mapWidth = 256, mapHeight = 256;
    int32_t redraws = 0;
    std::vector<ScreenPoint> scrolls;
    std::vector<int32_t> shapes;
    ScreenPoint mouse{512, 384};
    bool rightDown = false;
};

TEST_F(ViewportTest, ZoomTableSizesAndNativeLevel) {
    const std::pair<int32_t, int32_t> sizes[] = {{0, 22}, {3, 30}, {7, 40}, {9, 50}, {10, 54}, {14, 80}};
    for (auto [level, height] : sizes) {
        SCOPED_TRACE(level);
        Viewport::SetZoomLevel(level);
        int32_t w = 0, h = 0;
        Viewport::GetTileSize(w, h);
        EXPECT_EQ(h, height);
        EXPECT_EQ(w, 3 * height);
        EXPECT_EQ(GetZoomLevelEntry(level).tileWidth, w);
        Viewport::GetBlockSize(w, h);
        EXPECT_EQ(h, 4 * height);
        EXPECT_FLOAT_EQ(Viewport::GetZoomScale(), height / 40.0f);
    }
    Viewport::SetZoomLevel(7);
    EXPECT_EQ(Viewport::GetZoomScaledFlag(), 0);
    EXPECT_EQ(Viewport::ScaleByZoom(100), 100);
    Viewport::SetZoomLevel(0);
    EXPECT_EQ(Viewport::ScaleByZoom(100), 55);
    EXPECT_FLOAT_EQ(Viewport::GetZoomVolume(), 0.5f);
    for (int32_t bad : {15, 20, -1}) {
        Viewport::SetZoomLevel(bad);
        EXPECT_EQ(Viewport::GetZoomLevel(), 9) << bad;
    }
}

TEST_F(ViewportTest, ProjectionRoundTripsAtEveryLevel) {
    const MapCell cells[] = {{0, 0},  {1, 0},  {0, 1},   {17, 3},     {3, 200},
                             {-1, 0}, {0, -1}, {-5, -7}, {2047, 2047}};
    for (int32_t level = 0; level < kZoomLevelCount; ++level) {
        Viewport::SetZoomLevel(level);
        Viewport::SetOrigin({333, -41});
        int32_t w = 0, h = 0;
        Viewport::GetTileSize(w, h);
        for (MapCell c : cells) {
            SCOPED_TRACE(testing::Message() << "level " << level << " cell " << c.x << "," << c.y);
            ScreenPoint top = MapToScreen(c.x, c.y);
            EXPECT_EQ(top, Viewport::ProjectWithOrigin({333, -41}, c, h));
            // The tile's diamond holds the points a little below its top corner.
            EXPECT_EQ(Viewport::ScreenToCell({top.x, top.y + 2}), c);
            EXPECT_EQ(Viewport::ScreenToCell({top.x, top.y + h - 2}), c);
            EXPECT_EQ(Viewport::PointToCell(top.x, top.y + h / 2), c);
            EngineRect bounds = Viewport::TileBounds(c.x, c.y);
            EXPECT_EQ(bounds.left + w / 2, top.x);
            EXPECT_EQ(bounds.top, top.y);
            EXPECT_EQ(Viewport::GetTileAnchor(c.x, c.y), (ScreenPoint{bounds.left, bounds.top + h}));
        }
    }
}

TEST_F(ViewportTest, InverseProjectionsBelowTheOriginAndWithoutATileSize) {
    Viewport::SetOrigin({100, 100});
    EXPECT_EQ(Viewport::ScreenToCell({99, 99}), (MapCell{-1, -1}));
    EXPECT_EQ(ScreenToMap({0, 0}, {5, 5}, 0), (MapCell{kNoCell, kNoCell}));
    Viewport::Get(0).tileWidth = 0;
    EXPECT_EQ(Viewport::PointToCell(5, 5), (MapCell{kNoCell, kNoCell}));
}

TEST_F(ViewportTest, SwitchingViewportsCountsThemAndPlacesTheOrigin) {
    EXPECT_EQ(Viewport::GetActiveCount(), 1);
    EngineRect rect{100, 200, 301, 400};
    Viewport::SetActive(3, true, &rect);
    Viewport::SetActive(3, true, nullptr);
    EXPECT_EQ(Viewport::GetActiveCount(), 2);
    Viewport::Select(3);
    EXPECT_EQ(Viewport::GetCurrent(), 3);
    EXPECT_EQ(Viewport::GetOrigin(), (ScreenPoint{200, 250}));
    EXPECT_EQ(Viewport::GetInnerRect().bottom, 368);
    Viewport::Select(4); // inactive: ignored
    EXPECT_EQ(Viewport::GetCurrent(), 3);
    EXPECT_EQ(redraws, 0);
    Viewport::SetActive(3, false, nullptr);
    Viewport::SetActive(3, false, nullptr);
    EXPECT_EQ(Viewport::GetActiveCount(), 1);
    EXPECT_EQ(redraws, 1);
    Viewport::SetActive(16, true, &rect);
    Viewport::SetActive(-1, true, &rect);
    EXPECT_EQ(Viewport::GetActiveCount(), 1);
}

TEST_F(ViewportTest, ZoomAtTheEndsChangesNothing) {
    Viewport::SetZoomLevel(14);
    ScreenPoint origin = Viewport::GetOrigin();
    EXPECT_TRUE(Viewport::Zoom(0));
    Viewport::SetZoomLevel(0);
    EXPECT_TRUE(Viewport::Zoom(1));
    EXPECT_EQ(Viewport::GetZoomLevel(), 0);
    EXPECT_EQ(Viewport::GetOrigin(), origin);
    EXPECT_EQ(redraws, 0);
    mouse = {2000, 10};
    EXPECT_FALSE(Viewport::Zoom(0));
    EXPECT_FALSE(Viewport::Zoom(7));
}

TEST_F(ViewportTest, ZoomKeepsTheMapPointUnderTheMouse) {
    mapWidth = mapHeight = 2048;
    CentreOn(1000, 1000);
    const ScreenPoint mice[] = {{512, 384}, {100, 90}, {1000, 700}};
    for (ScreenPoint m : mice) {
        mouse = m;
        for (int32_t command : {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 4, 3, 2}) {
            SCOPED_TRACE(testing::Message() << "mouse " << m.x << "," << m.y << " command " << command);
            MapCell before = Viewport::ScreenToCell(m);
            int32_t levelBefore = Viewport::GetZoomLevel();
            redraws = 0;
            ASSERT_TRUE(Viewport::Zoom(command));
            EXPECT_NE(Viewport::GetZoomLevel(), levelBefore);
            EXPECT_EQ(redraws, 1);
            MapCell after = Viewport::ScreenToCell(m);
            // Truncation may move the point by a pixel, never by more than a tile.
            EXPECT_LE(std::abs(after.x - before.x), 1);
            EXPECT_LE(std::abs(after.y - before.y), 1);
        }
        EXPECT_EQ(Viewport::GetZoomLevel(), 7);
    }
}

TEST_F(ViewportTest, ZoomPullsAViewCentreOffTheMapBack) {
    mapWidth = mapHeight = 64;
    CentreOn(-40, 32);
    ASSERT_LT(Viewport::ScreenToCell(mouse).x, 0);
    Viewport::SetCursorCell(10, 10);
    ScreenPoint origin = Viewport::GetOrigin();
    ASSERT_TRUE(Viewport::Zoom(1));
    EXPECT_LT(Viewport::GetOrigin().x, origin.x);
}

TEST_F(ViewportTest, BorderScrollRampsUpOverOneAndAHalfSeconds) {
    Viewport::SetZoomLevel(7); // step 41
    CentreOn(128, 128);
    const int32_t step = GetZoomLevelEntry(7).scrollStep;
    mouse = {512, 2}; // top edge: direction 0
    struct Frame {
        uint32_t advanceMs;
        int32_t dy;
    };
    const Frame frames[] = {{0, 0}, {750, step / 2}, {375, step * 3 / 4}, {375, step}, {1000, step}};
    for (const Frame& f : frames) {
        plat::Clock::Advance(f.advanceMs);
        scrolls.clear();
        ScrollViewByMouse();
        ASSERT_EQ(scrolls.size(), 1u);
        EXPECT_EQ(scrolls[0], (ScreenPoint{0, f.dy}));
        EXPECT_EQ(shapes.back(), 1);
    }
    // Leaving the border and coming back starts from 0 again.
    mouse = {512, 384};
    ScrollViewByMouse();
    mouse = {512, 2};
    scrolls.clear();
    ScrollViewByMouse();
    EXPECT_EQ(scrolls[0], (ScreenPoint{0, 0}));
}

TEST_F(ViewportTest, BordersPickTheirDirectionAndCursorShape) {
    CentreOn(128, 128);
    struct Case {
        ScreenPoint at;
        ScreenPoint unit; // the step's sign per axis
        int32_t shape;
    };
    const Case cases[] = {
        {{3, 3}, {1, 1}, 5},        {{3, 760}, {1, -1}, 7},   {{1015, 5}, {-1, 1}, 6},
        {{1020, 766}, {-1, -1}, 8}, {{2, 384}, {1, 0}, 3},    {{512, 0}, {0, 1}, 1},
        {{1023, 384}, {-1, 0}, 4},  {{512, 767}, {0, -1}, 2}, {{512, 384}, {0, 0}, 0},
        {{13, 384}, {0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x << "," << c.at.y);
        mouse = c.at;
        ScrollViewByMouse(); // the first frame of a ramp moves 0
        plat::Clock::Advance(2000);
        scrolls.clear();
        shapes.clear();
        ScrollViewByMouse();
        if (c.shape == 0) {
            EXPECT_TRUE(scrolls.empty());
            continue;
        }
        ASSERT_EQ(scrolls.size(), 1u);
        EXPECT_EQ(scrolls[0].x > 0, c.unit.x > 0);
        EXPECT_EQ(scrolls[0].x < 0, c.unit.x < 0);
        EXPECT_EQ(scrolls[0].y > 0, c.unit.y > 0);
        EXPECT_EQ(scrolls[0].y < 0, c.unit.y < 0);
        EXPECT_EQ(shapes, std::vector<int32_t>{c.shape});
        mouse = {512, 384};
        ScrollViewByMouse(); // back inside: the ramp starts again
    }
    mouse = {2000, 2000};
    shapes.clear();
    ScrollViewByMouse();
    EXPECT_EQ(shapes, std::vector<int32_t>{9});
}

TEST_F(ViewportTest, StepsThatWouldLeaveTheMapAreDropped) {
    CentreOn(-3, 100);
    ASSERT_LT(Viewport::ScreenToCell({512, 384}).x, 0);
    ScreenPoint origin = Viewport::GetOrigin();
    EXPECT_TRUE(Viewport::ScrollStep(2, true)); // dx > 0: dropped
    EXPECT_EQ(Viewport::GetOrigin(), origin);
    EXPECT_TRUE(scrolls.empty());
    EXPECT_TRUE(Viewport::ScrollStep(3, true)); // dx < 0: brings the centre back
    const int32_t s = GetZoomLevelEntry(Viewport::GetZoomLevel()).scrollStep;
    EXPECT_EQ(Viewport::GetOrigin(), (ScreenPoint{origin.x - s, origin.y}));
    EXPECT_EQ(scrolls, (std::vector<ScreenPoint>{{-s, 0}}));
    EXPECT_FALSE(Viewport::ScrollStep(8, true));
}

TEST_F(ViewportTest, AnImmediateStepSkipsTheNextBorderScroll) {
    CentreOn(128, 128);
    EXPECT_TRUE(Viewport::ScrollStep(4, true));
    const int32_t s = GetZoomLevelEntry(7).scrollStep;
    EXPECT_EQ(scrolls, (std::vector<ScreenPoint>{{s, s / 2}}));
    mouse = {0, 384};
    plat::Clock::Advance(5000);
    ScrollViewByMouse();
    EXPECT_EQ(scrolls.size(), 1u);
}

TEST(ArrowKeys, PickTheirDirectionDiagonalWithAKeyAcross) {
    const struct {
        uint8_t pressed, held;
        int32_t direction;
    } cases[] = {
        {kArrowUp, 0, 0},
        {kArrowDown, 0, 1},
        {kArrowLeft, 0, 2},
        {kArrowRight, 0, 3},
        {kArrowUp, kArrowLeft, 4},
        {kArrowUp, kArrowRight, 5},
        {kArrowDown, kArrowLeft, 6},
        {kArrowDown, kArrowRight, 7},
        {kArrowLeft, kArrowUp, 4},
        {kArrowLeft, kArrowDown, 6},
        {kArrowRight, kArrowUp, 5},
        {kArrowRight, kArrowDown, 7},
        // The held set may hold the pressed key; keys along it change nothing.
        {kArrowUp, kArrowUp | kArrowDown, 0},
        {kArrowLeft, kArrowLeft | kArrowRight, 2},
        {kArrowDown, kArrowDown | kArrowLeft | kArrowRight, 6},
        {0, 0, -1},
        {kArrowUp | kArrowLeft, 0, -1},
        {16, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArrowKeyScrollDirection(c.pressed, c.held), c.direction)
            << int(c.pressed) << " with " << int(c.held);
}

// A frame of the demo window: the key's step, then the frame's mouse
// scroll with the mouse resting inside the view (which stops any ramp).
// Each press moves a full step at once.
TEST_F(ViewportTest, ArrowKeysScrollAFullStepEachPress) {
    CentreOn(128, 128);
    const int32_t s = GetZoomLevelEntry(Viewport::GetZoomLevel()).scrollStep;
    const struct {
        uint8_t pressed, held;
        ScreenPoint step;
    } presses[] = {
        {kArrowUp, kArrowUp, {0, s}},
        {kArrowUp, kArrowUp, {0, s}},
        {kArrowLeft, kArrowLeft, {s, 0}},
        {kArrowRight, kArrowRight | kArrowDown, {-s, -(s / 2)}},
    };
    for (const auto& p : presses) {
        const ScreenPoint origin = Viewport::GetOrigin();
        scrolls.clear();
        EXPECT_TRUE(ScrollByArrowKey(p.pressed, p.held));
        ScrollViewByMouse();
        plat::Clock::Advance(20);
        EXPECT_EQ(scrolls, std::vector<ScreenPoint>{p.step});
        EXPECT_EQ(Viewport::GetOrigin(), (ScreenPoint{origin.x + p.step.x, origin.y + p.step.y}));
    }
    EXPECT_FALSE(ScrollByArrowKey(0, 0));
}

TEST_F(ViewportTest, DraggingWithTheRightButtonMovesTheOrigin) {
    CentreOn(128, 128);
    ScreenPoint origin = Viewport::GetOrigin();
    rightDown = true;
    mouse = {500, 300};
    ScrollViewByMouse(); // sets the anchor
    mouse = {520, 290};
    ScrollViewByMouse();
    mouse = {530, 290};
    ScrollViewByMouse();
    EXPECT_EQ(Viewport::GetOrigin(), (ScreenPoint{origin.x + 30, origin.y - 10}));
    EXPECT_EQ(scrolls, (std::vector<ScreenPoint>{{20, -10}, {10, 0}}));
    rightDown = false;
    ScrollViewByMouse();
    rightDown = true;
    mouse = {600, 300};
    ScrollViewByMouse(); // a new drag anchors again
    EXPECT_EQ(scrolls.size(), 2u);
}

} // namespace
