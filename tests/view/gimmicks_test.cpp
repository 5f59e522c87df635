#include "data/generated/terrain_tables.h"
#include "tests/engine/null_engine.h"
#include "tests/world/world_fixture.h"
#include "view/gimmicks.h"

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

namespace {

// A 64 x 64 land world with extras of four kinds: a land walker (type 0,
// category 0), a free mover crossing the map (type 1, category 1), a screen
// figure (type 2, category 2) and a water swimmer (type 3, category 3).
class GimmicksTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        GimmickTable::Clear();
        GimmickCategoryTable::Clear();
        GimmickAppearances().clear();
        for (int32_t c = 0; c < 4; ++c) {
            GimmickCategoryRow* category = GimmickCategoryTable::GetOrCreateRow(c);
            category->AppearanceFactor = 1.0f;
            category->Movement = c == 0 ? 0 : c == 1 ? 3 : c == 2 ? 4 : 1;
            GimmickRow* row = GimmickTable::GetOrCreateRow(c);
            row->Category = c;
            row->ChanceToAppear = 1.0f;
            row->RegionCode = 0xFF;
            row->OneSquareTravelTime = 100;
            row->AnimationTime = 50;
            row->NrOfAnimPerRot = 1;
            row->NrOfRotations = 4;
        }
        GimmickTable::FindMutable(1)->MovingMethod = 2;
        GimmickTable::FindMutable(2)->MovingMethod = 4;
        InitGimmickTileLists();
    }
    void TearDown() override {
        DeleteAllGimmicks();
        GimmickTable::Clear();
        GimmickCategoryTable::Clear();
        GimmickAppearances().clear();
        WorldTest::TearDown();
    }
    static GimmickInputs Inputs() {
        GimmickInputs in;
        in.year = 1900;
        in.day = 15;
        in.month = 5;
        in.idleSeconds = 1000;
        return in;
    }
    // Only the given type may appear.
    static void OnlyType(int32_t type) {
        for (int32_t t = 0; t < GimmickTable::RowCount(); ++t)
            if (t != type)
                GimmickTable::FindMutable(t)->RegionCode = 0;
    }
    static std::vector<Gimmick*> Live() {
        std::vector<Gimmick*> out;
        for (auto& g : GimmicksOf().list)
            out.push_back(g.get());
        return out;
    }
};

TEST_F(GimmicksTest, SpawnRules) {
    GimmickInputs in = Inputs();
    EXPECT_TRUE(CanSpawnGimmick(0, in));
    struct Case {
        const char* what;
        void (*change)(GimmickRow&, GimmickCategoryRow&, GimmickInputs&);
    };
    const Case cases[] = {
        {"region", [](GimmickRow& r, GimmickCategoryRow&, GimmickInputs&) { r.RegionCode = 2; }},
        {"factor 0", [](GimmickRow&, GimmickCategoryRow& c, GimmickInputs&) { c.AppearanceFactor = 0; }},
        {"factor NaN", [](GimmickRow&, GimmickCategoryRow& c,
                          GimmickInputs&) { c.AppearanceFactor = std::numeric_limits<float>::quiet_NaN(); }},
        {"chance NaN", [](GimmickRow& r, GimmickCategoryRow&,
                          GimmickInputs&) { r.ChanceToAppear = std::numeric_limits<float>::quiet_NaN(); }},
        {"chance negative",
         [](GimmickRow& r, GimmickCategoryRow&, GimmickInputs&) { r.ChanceToAppear = -5; }},
        {"year before",
         [](GimmickRow& r, GimmickCategoryRow&, GimmickInputs&) { r.AppearanceYearStart = 1901; }},
        {"year after",
         [](GimmickRow& r, GimmickCategoryRow&, GimmickInputs&) { r.AppearanceYearEnd = 1899; }},
        {"only December", [](GimmickRow& r, GimmickCategoryRow&,
                             GimmickInputs&) { r.AppearanceMonthStart = r.AppearanceMonthEnd = 12; }},
        {"day window", [](GimmickRow& r, GimmickCategoryRow&, GimmickInputs&) { r.AppearanceDayEnd = 14; }},
        {"not idle",
         [](GimmickRow& r, GimmickCategoryRow&, GimmickInputs& i) {
             r.MovingMethod = 4;
             r.IdleTime = 60;
             i.idleSeconds = 59;
         }},
    };
    for (const Case& c : cases) {
        GimmickRow keepRow = *GimmickTable::Find(0);
        GimmickCategoryRow keepCategory = *GimmickCategoryTable::Find(0);
        GimmickInputs changed = in;
        c.change(*GimmickTable::FindMutable(0), *GimmickCategoryTable::FindMutable(0), changed);
        for (int i = 0; i < 20; ++i)
            EXPECT_FALSE(CanSpawnGimmick(0, changed)) << c.what;
        *GimmickTable::FindMutable(0) = keepRow;
        *GimmickCategoryTable::FindMutable(0) = keepCategory;
    }
    GimmickInputs december = in;
    december.month = 11;
    GimmickTable::FindMutable(0)->AppearanceMonthStart = GimmickTable::FindMutable(0)->AppearanceMonthEnd =
        12;
    EXPECT_TRUE(CanSpawnGimmick(0, december));
}

// A category at its maximum spawns no more; a limited type appears as often
// as its limit in the whole run, also in another world.
TEST_F(GimmicksTest, CategoryMaximumAndAppearanceLimit) {
    OnlyType(0);
    GimmickCategoryTable::FindMutable(0)->AppearanceFactor = 3.0f / 128.0f; // 3 on a 64 x 64 map
    for (int frame = 0; frame < 50; ++frame)
        UpdateGimmicks(uint32_t(frame), Inputs());
    EXPECT_EQ(GimmicksOf().list.size(), 3u);
    EXPECT_EQ(GimmicksOf().categoryLive[0], 3);
    DeleteAllGimmicks();

    GimmickTable::FindMutable(0)->NrOfAppearances = 2;
    GimmickCategoryTable::FindMutable(0)->AppearanceFactor = 1.0f;
    for (int frame = 0; frame < 50; ++frame)
        UpdateGimmicks(uint32_t(frame), Inputs());
    EXPECT_EQ(GimmicksOf().list.size(), 2u);
    ResetWorld(64, 64);
    InitGimmickTileLists();
    for (int frame = 0; frame < 50; ++frame)
        UpdateGimmicks(uint32_t(frame), Inputs());
    EXPECT_TRUE(GimmicksOf().list.empty());
}

TEST_F(GimmicksTest, WalkersMarkTheirTilesAndTurnBackWhenBoxedIn) {
    OnlyType(0);
    GimmickState& s = GimmicksOf();
    s.list.push_back(std::make_unique<WalkerGimmick>(s, 0, 0, 10, 10, 0));
    auto* walker = static_cast<WalkerGimmick*>(s.list.back().get());
    EXPECT_EQ(Map().GetMoverOccupancy(10, 10), 1u);
    // Walls of water around (10, 11): the only way on from there is back.
    for (auto [x, y] : {std::pair{9, 11}, {11, 11}, {10, 12}})
        SetTerrainOfCell(uint32_t(x), uint32_t(y), kRock);
    for (auto [x, y] : {std::pair{9, 11}, {11, 11}, {10, 12}}) {
        Map().SetMoverOccupancy(uint32_t(x), uint32_t(y), 1);
    }
    GimmickInputs in = Inputs();
    GimmickCategoryTable::FindMutable(0)->AppearanceFactor = 0; // no spawns
    UpdateGimmicks(100, in);
    ASSERT_FALSE(walker->IsDead());
    EXPECT_EQ(walker->X(), 10);
    EXPECT_EQ(walker->Y(), 11);
    EXPECT_EQ(walker->Direction(), 2); // back up
    EXPECT_EQ(Map().GetMoverOccupancy(10, 10), 0u);
    EXPECT_EQ(Map().GetMoverOccupancy(10, 11), 1u);
    EXPECT_EQ(walker->Frame(), 0);
    EXPECT_FALSE(walker->Stopped());
    // Boxed in with even the way back refused: it dies and leaves no mark.
    Map().SetMoverOccupancy(10, 10, 2);
    SetTerrainOfCell(10, 10, kWater);
    UpdateGimmicks(200, in);
    UpdateGimmicks(300, in);
    EXPECT_TRUE(GimmicksOf().list.empty());
    EXPECT_EQ(Map().GetMoverOccupancy(10, 11), 0u);
}

TEST_F(GimmicksTest, FreeMoverCrossesToTheFarEdge) {
    GimmickState& s = GimmicksOf();
    GimmickCategoryTable::FindMutable(1)->AppearanceFactor = 0;
    s.list.push_back(std::make_unique<FreeGimmick>(s, 1, 0, 20, 0, 0));
    auto* mover = static_cast<FreeGimmick*>(s.list.back().get());
    EXPECT_TRUE(Map().HasFreeMoverMark(20, 0));
    GimmickInputs in = Inputs();
    OnlyType(-1);
    uint32_t now = 0;
    while (!s.list.empty() && now < 100000) {
        now += 100;
        if (!s.list.empty()) {
            EXPECT_EQ(mover->X(), 20);
        }
        UpdateGimmicks(now, in);
    }
    EXPECT_TRUE(s.list.empty());
    EXPECT_EQ(now, 6300u); // 63 squares down, dead on reaching row 63
    for (uint32_t y = 0; y < 64; ++y)
        EXPECT_FALSE(Map().HasFreeMoverMark(20, y));
}

TEST_F(GimmicksTest, ScreenFiguresFallAndVanishOnInput) {
    GimmickState& s = GimmicksOf();
    OnlyType(-1);
    GimmickInputs in = Inputs();
    in.screenWidth = 256;
    in.screenHeight = 0;
    s.inputs = in;
    s.list.push_back(std::make_unique<ScreenGimmick>(s, 2, 0, 256));
    auto* figure = static_cast<ScreenGimmick*>(s.list.back().get());
    EXPECT_EQ(figure->ScreenX(), 64); // a narrow screen leaves no choice
    EXPECT_EQ(figure->ScreenY(), -128);
    in.realMs = 100;
    UpdateGimmicks(0, in);
    EXPECT_EQ(figure->ScreenY(), -88);
    for (uint32_t t = 200; t <= 300; t += 100) {
        in.realMs = t;
        UpdateGimmicks(0, in);
    }
    EXPECT_EQ(figure->ScreenY(), -8);
    // The next step takes it below a screen of height 0: gone.
    in.realMs = 400;
    UpdateGimmicks(0, in);
    EXPECT_TRUE(s.list.empty());
    s.list.push_back(std::make_unique<ScreenGimmick>(s, 2, 0, 1024));
    GimmickTable::FindMutable(2)->IdleTime = 30;
    in.idleSeconds = 5;
    UpdateGimmicks(0, in);
    EXPECT_TRUE(s.list.empty());
}

TEST_F(GimmicksTest, LifeTimeAndPause) {
    GimmickState& s = GimmicksOf();
    OnlyType(-1);
    GimmickTable::FindMutable(0)->LifeTime = 1000;
    s.list.push_back(std::make_unique<WalkerGimmick>(s, 0, 0, 30, 30, 1));
    GimmickInputs in = Inputs();
    in.paused = true;
    UpdateGimmicks(5000, in);
    EXPECT_EQ(s.list.size(), 1u);
    in.paused = false;
    UpdateGimmicks(999, in);
    EXPECT_EQ(s.list.size(), 1u);
    UpdateGimmicks(1000, in);
    EXPECT_TRUE(s.list.empty());
}

TEST_F(GimmicksTest, TravellersFollowAFoundWayAndStopShortOfItsEnd) {
    OnlyType(-1);
    GimmickRow* row = GimmickTable::GetOrCreateRow(4);
    *row = *GimmickTable::Find(0);
    row->MovingMethod = 1;
    row->RegionCode = 0xFF;
    row->Category = 0;
    GimmickInputs in = Inputs();
    uint32_t now = 0;
    GimmickState& s = GimmicksOf();
    while (s.list.empty() && now < 100000) {
        now += 10;
        UpdateGimmicks(now, in);
    }
    ASSERT_EQ(s.list.size(), 1u);
    auto* traveller = dynamic_cast<PathGimmick*>(s.list[0].get());
    ASSERT_NE(traveller, nullptr);
    ASSERT_GE(traveller->Index(), 1u);
    EXPECT_TRUE(s.SearchesIdle());
    // It walks node by node towards the front, marking where it stands.
    GimmickTable::FindMutable(4)->RegionCode = 0;
    size_t index = traveller->Index();
    while (!s.list.empty()) {
        const TilePoint p = traveller->Position();
        EXPECT_EQ(Map().GetMoverOccupancy(uint32_t(p.x), uint32_t(p.y)), 2u);
        EXPECT_GE(traveller->Index(), 1u);
        EXPECT_LE(traveller->Index(), index);
        index = traveller->Index();
        now += 100;
        UpdateGimmicks(now, in);
    }
    EXPECT_EQ(index, 1u);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            ASSERT_EQ(Map().GetMoverOccupancy(x, y), 0u);
    // A way of fewer than two nodes makes no traveller.
    EXPECT_EQ(PathGimmick::Create(s, 4, 0, {{3, 3}}), nullptr);
    EXPECT_EQ(PathGimmick::Create(s, 4, 0, {}), nullptr);
}

// Block and edge lists hold whole coordinates on maps wider than 1024
// tiles; an empty list spawns nothing.
TEST_F(GimmicksTest, TileListsOnLargeMaps) {
    ResetWorld(1200, 8);
    SetTerrainOfCell(1100, 0, kWater);
    InitGimmickTileLists();
    const GimmickState& s = GimmicksOf();
    ASSERT_EQ(s.waterBlocks.size(), 1u);
    EXPECT_EQ(s.waterBlocks[0].x, 275);
    EXPECT_EQ(s.landBlocks.size(), 300u * 2 - 1);
    EXPECT_EQ(s.landBlocks.back().x, 299);
    bool farEdge = false;
    for (const EdgePoint& e : s.landEdges)
        farEdge = farEdge || e.x == 1199;
    EXPECT_TRUE(farEdge);

    GimmicksOf().landBlocks.clear();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(SpawnGimmick(0, 0));
}

} // namespace

namespace {

// With the engine running, an extra that is not drawn on screen (its
// rectangle empty, as at its start or after a drawing off screen) still
// dies when its life has passed.
class GimmicksOnScreenTest : public NullEngineTest {
protected:
    void SetUp() override {
        NullEngineTest::SetUp();
        world_ = std::make_unique<World>();
        scope_.emplace(*world_);
        CreateGameClock(0);
        GetWorldMap().SetMapSize(64, 64);
        GimmickTable::Clear();
        GimmickCategoryTable::Clear();
        GimmickCategoryTable::GetOrCreateRow(0)->Movement = 0;
        GimmickRow* row = GimmickTable::GetOrCreateRow(0);
        row->LifeTime = 1000;
        row->OneSquareTravelTime = 100000;
    }
    void TearDown() override {
        DeleteAllGimmicks();
        GimmickTable::Clear();
        GimmickCategoryTable::Clear();
        GimmickAppearances().clear();
        scope_.reset();
        world_.reset();
        NullEngineTest::TearDown();
    }
    std::unique_ptr<World> world_;
    std::optional<WorldScope> scope_;
};

TEST_F(GimmicksOnScreenTest, UndrawnExtrasStillDie) {
    GimmickState& s = GimmicksOf();
    s.list.push_back(std::make_unique<WalkerGimmick>(s, 0, 0, 10, 10, 0));
    DrawGimmicks(500); // no picture: nothing drawn
    EXPECT_EQ(s.list[0]->ScreenRect(), (EngineRect{1, 1, 1, 1}));
    UpdateGimmicks(999, GimmickInputs{});
    EXPECT_EQ(s.list.size(), 1u);
    UpdateGimmicks(1000, GimmickInputs{});
    EXPECT_TRUE(s.list.empty());
}

} // namespace
