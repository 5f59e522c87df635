// The map generator on small maps: where islands land and what they leave,
// when the island pass takes and skips islands and when it ends, the name
// lists, and the town and factory passes through stand-in hooks.
#include "data/generated/economy_tables.h"
#include "data/generated/terrain_tables.h"
#include "data/generated/town_tables.h"
#include "tests/files/scratch_folder.h"
#include "tests/world/world_fixture.h"
#include "world/game_settings.h"
#include "world/island_template.h"
#include "world/map_check.h"
#include "world/map_generator.h"
#include "world/map_generator_services.h"
#include "world/random_streams.h"
#include "world/world_warnings.h"

#include <map>
#include <memory>

namespace {

using namespace decoration_bits;

class MapGeneratorTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        GetMapGeneratorSettings() = {};
        EditorTable::Clear();
        EditorRow* editor = EditorTable::GetOrCreateRow(0);
        editor->NrOfRetriesPerIsland = 200;
        editor->NrOfRetriesOfSelectedIslands = 3;
        SeedRuntimeRandom(5);
    }
    void TearDown() override {
        GetMapGeneratorSettings() = {};
        EditorTable::Clear();
        FactoryTable::Clear();
        FactoryLinesTable::Clear();
        CityGrowingConfigTable::Clear();
        InstallPath() = ".";
        WorldTest::TearDown();
    }

    // A map of w x h water tiles; the settings take its size.
    static void WaterMap(uint32_t w, uint32_t h) {
        ResetWorld(w, h);
        for (WorldCell& cell : Map().GetGrid())
            cell.SetTerrainIndex(kWater);
        GetMapGeneratorSettings().MapWidth = w;
        GetMapGeneratorSettings().MapHeight = h;
    }
    // An island of w x h land cells.
    static std::unique_ptr<IslandTemplate> LandIsland(uint32_t w, uint32_t h) {
        auto island = std::make_unique<IslandTemplate>();
        island->width = w;
        island->height = h;
        island->cells.resize(size_t(w) * h);
        for (WorldCell& cell : island->cells)
            cell.SetTerrainIndex(kLand);
        island->mountainKind = 1;
        island->fertilityKind = 1;
        return island;
    }
    static uint32_t LandTiles() {
        uint32_t land = 0;
        for (uint32_t y = 0; y < Map().GetHeight(); ++y)
            for (uint32_t x = 0; x < Map().GetWidth(); ++x)
                land += Map().IsWater(x, y) ? 0 : 1;
        return land;
    }
    static uint32_t TilesOfKind(uint32_t kind) {
        uint32_t n = 0;
        for (const WorldCell& cell : Map().GetGrid())
            n += cell.Kind() == kind ? 1 : 0;
        return n;
    }
};

TEST_F(MapGeneratorTest, IslandCornersComeFromTheDrawMadeEvenDownwards) {
    struct Case {
        uint32_t draw, mapSize, size;
        int32_t corner;
    } cases[] = {
        {1, 8, 4, -4},  // -3 is tried at -4
        {0, 8, 4, -4},  // as far over the left edge as the island is wide
        {2, 8, 4, -2},  // even values stay
        {7, 8, 4, 2},   // 3 becomes 2
        {15, 8, 4, 10}, // as far over the right edge
        {16, 8, 4, -4}, // the draw wraps at map + 2 x size
    };
    for (const Case& c : cases)
        EXPECT_EQ(IslandCornerFromDraw(c.draw, c.mapSize, c.size), c.corner) << c.draw;
}

TEST_F(MapGeneratorTest, EditorReadersAnswerMinusOneOutsideTheirTables) {
    EditorRow* editor = EditorTable::GetOrCreateRow(0);
    editor->TerrainTextureSize = 4;
    editor->InitialWaterColor.Resize(2, 9);
    editor->InitialWaterColor.SetCell(0, 5, 2.0f);
    editor->InitialWaterColor.SetCell(1, 5, 7.0f);
    // Region 4, climate 2: row 2 + 3 x 2 - 1 = 7; region 2, climate 1: 3.
    EXPECT_EQ(InitialWaterColorRow(4, 2), 7);
    EXPECT_EQ(InitialWaterColorRow(2, 1), 3);
    EXPECT_EQ(InitialWaterColorRow(3, 1), 0); // another code counts as region 1
    EXPECT_EQ(GetInitialWaterColor(0, 5, 0), 2);
    EXPECT_EQ(GetInitialWaterColor(0, 5, 1), 7);
    EXPECT_EQ(GetInitialWaterColor(0, 9, 0), -1);
    EXPECT_EQ(GetInitialWaterColor(0, 5, 2), -1);
    EXPECT_EQ(GetInitialWaterColor(0, -1, 0), -1);
    EXPECT_EQ(GetInitialWaterColor(1, 5, 0), -1);
    float size = 0;
    EXPECT_TRUE(GetTerrainTextureSize(0, size));
    EXPECT_EQ(size, 4.0f);
    EXPECT_FALSE(GetTerrainTextureSize(3, size));
}

TEST_F(MapGeneratorTest, IslandTriesAreTakenByOverlapAndNewLand) {
    struct Case {
        uint8_t overlapMode;
        uint32_t overlap;
        float coverage;
        uint32_t newLand;
        bool taken;
    } cases[] = {
        {0, 10, 50, 5, true},   // at most 10 % on land
        {0, 11, 50, 5, false},  // 11 % is too much
        {1, 10, 50, 5, true},   // overlap mode: at least 10 %
        {1, 11, 50, 5, true},   //
        {1, 9, 30, 5, false},   // too little once the map has 25 % land
        {1, 9, 20, 5, true},    // while it has less, any island will do
        {1, 100, 50, 0, false}, // an island that adds no land never is
        {0, 0, 0, 0, false},    // nor one that lies wholly off the map
    };
    MapGeneratorSettings settings;
    settings.MaxIslandOverlap = 10;
    for (const Case& c : cases) {
        settings.OverlapIslands = c.overlapMode;
        EXPECT_EQ(AcceptIslandTry(settings, c.overlap, c.coverage, 25.0f, c.newLand), c.taken)
            << int(c.overlapMode) << " " << c.overlap << " " << c.coverage << " " << c.newLand;
    }
}

TEST_F(MapGeneratorTest, IslandsHangingOverTheEdgeLoseTheCellsOffTheMap) {
    struct Case {
        int32_t x, y;
        uint32_t land;
    } cases[] = {{-2, -2, 4}, {6, 6, 4}, {6, -2, 4}, {-4, 0, 0}, {2, 2, 16}, {-3, 7, 1}};
    auto island = LandIsland(4, 4);
    for (const Case& c : cases) {
        WaterMap(8, 8);
        GetMapGeneratorCounters() = {};
        uint32_t overlap = 99;
        EXPECT_TRUE(PlaceIsland(c.x, c.y, *island, false, overlap, true));
        EXPECT_EQ(overlap, 0u);
        EXPECT_EQ(LandTiles(), c.land) << c.x << "," << c.y;
        EXPECT_EQ(GetMapGeneratorCounters().placedLand, c.land);
    }
}

TEST_F(MapGeneratorTest, OverlapIsTheShareOfIslandCellsOnLand) {
    auto island = LandIsland(10, 10);
    for (uint32_t onLand : {10u, 11u}) {
        WaterMap(10, 10);
        for (uint32_t i = 0; i < onLand; ++i)
            SetTerrainOfCell(i % 10, i / 10, kLand);
        uint32_t overlap = 0;
        EXPECT_TRUE(PlaceIsland(0, 0, *island, true, overlap, true));
        EXPECT_EQ(overlap, onLand);
        // A test changes nothing.
        EXPECT_EQ(LandTiles(), onLand);
    }
}

TEST_F(MapGeneratorTest, ATestFailsOnAFootprintButPlacingDoesNot) {
    WaterMap(8, 8);
    SetTerrainOfCell(3, 3, kLand);
    ASSERT_TRUE(Map().PlaceFootprint(3, 3, MakeObjectHandle(1, 0), 1, 1, 2));
    auto island = LandIsland(4, 4);
    uint32_t overlap = 0;
    EXPECT_FALSE(PlaceIsland(2, 2, *island, true, overlap, true));
    EXPECT_TRUE(PlaceIsland(2, 2, *island, false, overlap, true));
    EXPECT_EQ(LandTiles(), 16u);
    // Without fillWater, water stays water.
    WaterMap(8, 8);
    EXPECT_TRUE(PlaceIsland(0, 0, *island, false, overlap, false));
    EXPECT_EQ(LandTiles(), 0u);
}

TEST_F(MapGeneratorTest, IslandDecorationsNeverCrossTheMapEdge) {
    auto island = LandIsland(4, 4);
    // A 2 x 2 decoration (graphic 5, frame 1) starting at island cell (i, j).
    auto decorate = [&](uint32_t i, uint32_t j) {
        WorldCell& cell = island->cells[j * 4 + i];
        cell.SetKindBits(kCellDecoration);
        cell.word1 =
            (cell.word1 & 0x1FF) | (((5u << 8) + 1 + 1) << kGraphicShift) | kOriginBit | (2u << kColumnShift);
    };
    decorate(0, 0);
    decorate(3, 3);
    struct Case {
        int32_t x, y;
        uint32_t decorationCells;
    } cases[] = {
        {0, 0, 8},   // both squares inside
        {4, 4, 4},   // the second would cross the right and bottom edges
        {6, 6, 4},   // the first fits in the corner, the second lies off the map
        {-4, -4, 0}, // the first lies off the map, the second would cross
    };
    for (const Case& c : cases) {
        WaterMap(8, 8);
        Services().decorationSize = [](uint32_t, uint32_t) { return 2u; };
        uint32_t overlap = 0;
        ASSERT_TRUE(PlaceIsland(c.x, c.y, *island, false, overlap, true));
        EXPECT_EQ(TilesOfKind(kCellDecoration), c.decorationCells) << c.x << "," << c.y;
        EXPECT_TRUE(MapCheck::CheckCells()) << c.x << "," << c.y;
    }
}

TEST_F(MapGeneratorTest, TheIslandPassGoesOnWhileCoverageEqualsTheTarget) {
    // Four 2 x 2 quarters of a 4 x 4 map: each island covers one, 25 %.
    WaterMap(4, 4);
    MapGeneratorSettings& s = GetMapGeneratorSettings();
    s.OverlapIslands = 0;
    s.MaxIslandOverlap = 0;
    s.TargetLandCoverage = 50;
    auto island = LandIsland(2, 2);
    // Kinds the mix rules do not count.
    island->mountainKind = island->fertilityKind = 3;
    std::vector<float> seen;
    PlaceIslands({island.get()}, [&](int32_t phase, float value, float total) {
        EXPECT_EQ(phase, 0);
        EXPECT_EQ(total, 50.0f);
        seen.push_back(value);
    });
    EXPECT_EQ(GetMapGeneratorCounters().islandsPlaced, 3u);
    EXPECT_EQ(LandTiles(), 12u);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 75.0f);
}

TEST_F(MapGeneratorTest, MixSharesAreZeroBeforeAnyIslandIsPlaced) {
    struct Case {
        uint32_t mountainKind, fertilityKind;
        int32_t mountainShare, fertileShare;
        bool placed;
    } cases[] = {
        {2, 1, 0, 50, false}, // a mountain island needs a share above 0
        {2, 1, 5, 50, true},
        {1, 2, 5, 0, false}, // likewise a fertile one
        {1, 2, 5, 50, true},
        {1, 1, 100, 100, true}, // kind 1 goes while its share (0) is not above 100 - share
        {3, 3, 5, 50, true},    // other kinds are not counted
    };
    for (const Case& c : cases) {
        WaterMap(4, 4);
        MapGeneratorSettings& s = GetMapGeneratorSettings();
        s.MountainIslandShare = c.mountainShare;
        s.FertileIslandShare = c.fertileShare;
        s.TargetLandCoverage = 10;
        s.OverlapIslands = 0;
        auto island = LandIsland(2, 2);
        island->mountainKind = c.mountainKind;
        island->fertilityKind = c.fertilityKind;
        PlaceIslands({island.get()}, {});
        EXPECT_EQ(GetMapGeneratorCounters().islandsPlaced > 0, c.placed)
            << c.mountainKind << c.fertilityKind << " " << c.mountainShare << " " << c.fertileShare;
    }
}

TEST_F(MapGeneratorTest, TheIslandPassEndsWhenNoIslandAddsLand) {
    // Overlap mode would take an island lying wholly on land again and
    // again; the coverage never grows, so the pass must end by itself.
    WaterMap(8, 8);
    for (WorldCell& cell : Map().GetGrid())
        cell.SetTerrainIndex(kLand);
    MapGeneratorSettings& s = GetMapGeneratorSettings();
    s.OverlapIslands = 1;
    s.TargetLandCoverage = 45;
    auto a = LandIsland(2, 2), b = LandIsland(4, 2);
    PlaceIslands({a.get(), b.get()}, {});
    EXPECT_EQ(GetMapGeneratorCounters().islandsPlaced, 0u);
    EXPECT_LE(GetMapGeneratorCounters().cycles, 5u);
}

TEST_F(MapGeneratorTest, UnusableOrMissingIslandsLeaveTheMapWater) {
    WaterMap(8, 8);
    auto empty = std::make_unique<IslandTemplate>();
    auto torn = LandIsland(4, 4);
    torn->cells.resize(3);
    for (const std::vector<const IslandTemplate*>& islands :
         {std::vector<const IslandTemplate*>{}, {empty.get()}, {empty.get(), torn.get()}}) {
        uint32_t warnings = WorldWarningCount();
        PlaceIslands(islands, {});
        EXPECT_GT(WorldWarningCount(), warnings);
        EXPECT_EQ(LandTiles(), 0u);
        EXPECT_EQ(GetMapGeneratorCounters().islandsPlaced, 0u);
    }
}

TEST_F(MapGeneratorTest, CityNamesAreReadLineByLineWithinBounds) {
    ScratchFolder folder;
    InstallPath() = folder.Path();
    std::string longName(5000, 'x');
    folder.Write("config/3_citynames.txt",
                 "  Alder Rise\r\n\n\t Bramblecote  \r\n\r\n" + longName + "\nCorriwen");
    std::vector<std::string> names = LoadCityNames(3);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "Alder Rise");
    EXPECT_EQ(names[1], "Bramblecote");
    EXPECT_EQ(names[2], std::string(kMaxCityNameLength, 'x'));
    EXPECT_EQ(names[3], "Corriwen");

    uint32_t warnings = WorldWarningCount();
    EXPECT_TRUE(LoadCityNames(4).empty());
    EXPECT_EQ(WorldWarningCount(), warnings + 1);
}

// The town and factory passes against stand-in towns and factories.
class GeneratorPassesTest : public MapGeneratorTest {
protected:
    struct Town {
        int32_t x, y;
        uint32_t population = 0;
        std::string name;
    };

    void SetUp() override {
        MapGeneratorTest::SetUp();
        InstallPath() = folder_.Path();
        MapGeneratorSettings& s = GetMapGeneratorSettings();
        s.MapWidth = s.MapHeight = 64;
        s.GenerateIslands = 0;
        s.RegionCode = 1;
        EditorRow* editor = EditorTable::GetOrCreateRow(0);
        editor->NrOfRetriesPerCity = 50;
        editor->NrOfRetriesPerLine = 50;
        editor->NrOfFactoryLines = 800; // 64 x 800 / 512 = 100 lines at density 100
        editor->NrOfFactoryLineTypes = 2;
        editor->NrOfCities.Resize(1, 3);
        editor->NrOfCities.SetCell(0, 0, 8.0f); // 64 x 100 x 8 / 51200: one town of class 0
        CityGrowingConfigTable::GetOrCreateRow(0)->CityPopulationSizeLimit.Resize(1, 6);
        for (uint32_t r = 0; r < 6; ++r)
            CityGrowingConfigTable::GetOrCreateRow(0)->CityPopulationSizeLimit.SetCell(0, r, float(r * 1000));

        MapGeneratorServices& g = GeneratorServices();
        g.createTown = [this](int32_t x, int32_t y, int32_t, int32_t, int32_t) {
            towns_[++nextTown_] = Town{x, y, 0, {}};
            return nextTown_;
        };
        g.growTown = [this](int32_t t) {
            towns_[t].population += 100;
            return true;
        };
        g.townPopulation = [this](int32_t t) { return towns_[t].population; };
        g.setTownName = [this](int32_t t, const std::string& name) { towns_[t].name = name; };
        g.removeTown = [this](int32_t t) { towns_.erase(t); };
        g.canPlaceFactory = [](const FactoryRequest&) { return true; };
        g.postBuildFactory = [this](const FactoryRequest& r) { posted_.push_back(r); };
    }

    static void AddFactoryType(int32_t type, int32_t startingYear) {
        FactoryTable::GetOrCreateRow(type)->StartingYear = startingYear;
    }
    static void AddLine(int32_t row, std::vector<int32_t> members, int32_t region) {
        FactoryLinesRow* line = FactoryLinesTable::GetOrCreateRow(row);
        line->RegionCode = region;
        line->MinimumDistance = 0;
        line->MaximumDistance = 1000;
        line->Members.Resize(1, uint32_t(members.size()));
        for (uint32_t i = 0; i < members.size(); ++i)
            line->Members.SetCell(0, i, float(members[i]));
    }

    ScratchFolder folder_;
    std::map<int32_t, Town> towns_;
    int32_t nextTown_ = 0;
    std::vector<FactoryRequest> posted_;
};

TEST_F(GeneratorPassesTest, TownsTakeNamesFromTheRegionsList) {
    folder_.Write("config/1_citynames.txt", "Quillmarsh\n");
    GenerateMap({});
    ASSERT_EQ(towns_.size(), 1u);
    const Town& town = towns_.begin()->second;
    EXPECT_EQ(town.name, "Quillmarsh");
    // Grown past the limit of class 0, and no further.
    EXPECT_EQ(town.population, 1000u);
}

TEST_F(GeneratorPassesTest, ATownWithoutANameLeftIsNamedAfterItsIndex) {
    uint32_t warnings = WorldWarningCount();
    GenerateMap({});
    ASSERT_EQ(towns_.size(), 1u);
    EXPECT_EQ(towns_.begin()->second.name, "Town " + std::to_string(towns_.begin()->first));
    EXPECT_GT(WorldWarningCount(), warnings);
}

TEST_F(GeneratorPassesTest, ATownThatCannotGrowIsRemoved) {
    GeneratorServices().growTown = [](int32_t) { return false; };
    GenerateMap({});
    EXPECT_TRUE(towns_.empty());
    EXPECT_GT(nextTown_, 1);
}

TEST_F(GeneratorPassesTest, FactoryLinesOfTheRegionArePosted) {
    GetMapGeneratorSettings().GenerateTowns = 0;
    AddFactoryType(1, 1850);
    AddFactoryType(2, 3000); // not yet available: left out of its line
    AddFactoryType(3, 1850);
    AddLine(0, {2, 1, 3}, 1);
    AddLine(1, {3}, 4); // another region's
    GenerateMap({});
    ASSERT_EQ(posted_.size(), 200u);
    for (size_t i = 0; i < posted_.size(); i += 2) {
        EXPECT_EQ(posted_[i].type, 1);
        EXPECT_EQ(posted_[i + 1].type, 3);
    }
}

TEST_F(GeneratorPassesTest, NoFactoryLinesWithoutLinesOrDensity) {
    GetMapGeneratorSettings().GenerateTowns = 0;
    AddFactoryType(1, 1850);
    struct Case {
        int32_t region, density;
    } cases[] = {{2, 100}, {1, 0}};
    for (const Case& c : cases) {
        FactoryLinesTable::Clear();
        AddLine(0, {1}, c.region);
        GetMapGeneratorSettings().FactoryDensity = c.density;
        uint32_t warnings = WorldWarningCount();
        GenerateMap({});
        EXPECT_TRUE(posted_.empty()) << c.region << " " << c.density;
        EXPECT_GT(WorldWarningCount(), warnings);
    }
}

TEST_F(GeneratorPassesTest, WithoutIslandFilesTheMapStaysWater) {
    // The installation has no island folder, and the Editor row names no
    // water terrain: the first water row stands in.
    MapGeneratorSettings& s = GetMapGeneratorSettings();
    s.GenerateIslands = 1;
    s.GenerateTowns = 0;
    s.MapWidth = 32;
    s.MapHeight = 16;
    int32_t resets = 0;
    GeneratorServices().resetWorld = [&] { ++resets; };
    uint32_t warnings = WorldWarningCount();
    GenerateMap({});
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(Map().GetWidth(), 32u);
    EXPECT_EQ(Map().GetHeight(), 16u);
    EXPECT_EQ(LandTiles(), 0u);
    EXPECT_GE(WorldWarningCount(), warnings + 2);
    EXPECT_TRUE(posted_.empty());

    // A size the map cannot take changes nothing.
    s.MapWidth = 33;
    GenerateMap({});
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(Map().GetWidth(), 32u);
}

TEST_F(GeneratorPassesTest, TheSameSeedDrawsTheSameTownsAndFactories) {
    GetMapGeneratorSettings().TownDensity = 200;
    AddFactoryType(1, 1850);
    AddLine(0, {1, 1}, 1);
    std::vector<std::pair<int32_t, int32_t>> first;
    for (int run = 0; run < 2; ++run) {
        towns_.clear();
        posted_.clear();
        SeedRuntimeRandom(77);
        GenerateMap({});
        std::vector<std::pair<int32_t, int32_t>> sites;
        for (const auto& [index, town] : towns_)
            sites.push_back({town.x, town.y});
        for (const FactoryRequest& r : posted_)
            sites.push_back({r.x, r.y * 1000 + r.size * 10 + r.orientation});
        if (run == 0)
            first = sites;
        else
            EXPECT_EQ(sites, first);
    }
    EXPECT_FALSE(first.empty());
}

} // namespace
