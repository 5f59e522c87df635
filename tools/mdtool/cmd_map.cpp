// mdtool map: a generated world saved as a game, and a small top-down
// picture of a saved game's map.
#include "tools/mdtool/command.h"
#include "tools/mdtool/png_encode.h"
#include "tools/mdtool/tool_game.h"

#include "data/generated/terrain_tables.h"
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "view/view_sections.h"
#include "world/game_settings.h"
#include "world/living_building.h"
#include "world/map_generator.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace mdtool {
namespace {

constexpr const char* kMapUsage =
    "map generate --size N --seed S [--region 1|2|4] [--climate 1|2] [--towns PCT] [--factories PCT] "
    "[--water PCT] [--mountains PCT] [--fertile PCT] [--overlap PCT] [--no-overlap] [--year Y] "
    "[--data FOLDER] --out FILE | map png FILE OUT.png [--data FOLDER]";
constexpr uint32_t kMaxPictureSide = 1024;

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

int Generate(const Args& args) {
    NewWorldOptions options;
    MapGeneratorSettings& s = options.settings;
    std::string out, data = "gamedata";
    bool sized = false, seeded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--no-overlap") {
            s.OverlapIslands = 0;
            continue;
        }
        if (i + 1 >= args.size())
            return Usage(kMapUsage);
        const std::string& v = args[++i];
        bool ok = true;
        int32_t percent = 0;
        if (a == "--size") {
            ok = ParseNumber(v, s.MapWidth);
            s.MapHeight = s.MapWidth;
            sized = true;
        } else if (a == "--seed") {
            ok = ParseNumber(v, options.seed);
            seeded = true;
        } else if (a == "--region") {
            ok =
                ParseNumber(v, s.RegionCode) && (s.RegionCode == 1 || s.RegionCode == 2 || s.RegionCode == 4);
        } else if (a == "--climate") {
            ok = ParseNumber(v, s.Climate) && (s.Climate == 1 || s.Climate == 2);
        } else if (a == "--towns") {
            ok = ParseNumber(v, s.TownDensity) && s.TownDensity >= 0 && s.TownDensity <= 200;
        } else if (a == "--factories") {
            ok = ParseNumber(v, s.FactoryDensity) && s.FactoryDensity >= 0 && s.FactoryDensity <= 200;
        } else if (a == "--water") {
            ok = ParseNumber(v, percent) && percent >= 10 && percent <= 100;
            s.TargetLandCoverage = 100 - percent;
        } else if (a == "--mountains") {
            ok = ParseNumber(v, s.MountainIslandShare) && s.MountainIslandShare >= 0 &&
                 s.MountainIslandShare <= 100;
        } else if (a == "--fertile") {
            ok = ParseNumber(v, s.FertileIslandShare) && s.FertileIslandShare >= 0 &&
                 s.FertileIslandShare <= 100;
        } else if (a == "--overlap") {
            ok = ParseNumber(v, s.MaxIslandOverlap) && s.MaxIslandOverlap >= 0 && s.MaxIslandOverlap <= 100;
        } else if (a == "--year") {
            ok = ParseNumber(v, options.startYear) && options.startYear >= 1850 && options.startYear <= 2100;
        } else if (a == "--data") {
            data = v;
        } else if (a == "--out") {
            out = v;
        } else {
            return Usage(kMapUsage);
        }
        if (!ok)
            return Fail(a + " " + v + ": not a usable value");
    }
    if (!sized || !seeded || out.empty())
        return Usage(kMapUsage);
    if (s.MapWidth < 2 || s.MapWidth > kMaxMapSize || s.MapWidth % 2)
        return Fail("--size takes an even number from 2 to " + std::to_string(kMaxMapSize));

    InstallPath() = data;
    ToolGame tool;
    if (!LoadGameTexts(data, false))
        return Fail(data + ": the game data cannot be read");
    StartGame(tool.game, options.seed);
    if (!GenerateNewWorld(tool.game, options))
        return Fail("the map cannot be generated");
    if (!SaveGame(tool.game, out))
        return Fail(out + ": the game cannot be saved");

    uint32_t towns = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        towns += GetCity(i) ? 1 : 0;
    std::vector<MapObject*> factories;
    GetMapObjects(factories, kSelectCategory | kSelectSubtype, kCategoryBuilding, kFactorySubtype, 0);
    const MapGeneratorCounters& counters = GetMapGeneratorCounters();
    std::printf(
        "map %u x %u, %u islands in %u cycles, land %.1f %%, %u towns, %zu factories (with town centres)\n",
        s.MapWidth, s.MapHeight, counters.islandsPlaced, counters.cycles,
        double(counters.placedLand) * 100.0 / (double(s.MapWidth) * s.MapHeight), towns, factories.size());
    std::printf("saved to %s\n", out.c_str());
    return 0;
}

// Colours of the picture, ARGB.
constexpr uint32_t kWaterColour = 0xFF2B5C9Eu;
constexpr uint32_t kLandColour = 0xFF6E9B4Au;
constexpr uint32_t kRockColour = 0xFF8C8C84u;
constexpr uint32_t kTreeColour = 0xFF3C6B2Eu;
constexpr uint32_t kRoadColour = 0xFF505050u;
constexpr uint32_t kTrackColour = 0xFF1E1E1Eu;
constexpr uint32_t kHouseColour = 0xFFD0623Au;
constexpr uint32_t kFactoryColour = 0xFF9B3FB5u;
constexpr uint32_t kMountainColour = 0xFF7A5A3Cu;
constexpr uint32_t kBuildingColour = 0xFFB0B0B0u;
constexpr uint32_t kTownCentreColour = 0xFFFFFFFFu;

// What a tile shows and how much it matters when tiles share a pixel.
uint32_t TileColour(const WorldMap& map, uint32_t x, uint32_t y, int32_t& priority) {
    priority = 0;
    uint32_t kind = map.GetCellKind(x, y);
    if (kind == kCellFootprint) {
        const MapObject* object = BuildingFromId(map.GetBuildingAt(x, y));
        if (dynamic_cast<const Factory*>(object)) {
            priority = 5;
            return kFactoryColour;
        }
        if (dynamic_cast<const LivingBuilding*>(object)) {
            priority = 4;
            return kHouseColour;
        }
        if (dynamic_cast<const Mountain*>(object)) {
            priority = 2;
            return kMountainColour;
        }
        priority = 3;
        return kBuildingColour;
    }
    if (kind == kCellRoute && (map.HasRoad(x, y) || map.HasTrack(x, y))) {
        priority = 3;
        return map.HasTrack(x, y) ? kTrackColour : kRoadColour;
    }
    if (map.IsWater(x, y))
        return kWaterColour;
    if (kind == kCellDecoration) {
        priority = 1;
        return kTreeColour;
    }
    const TerrainRow* row = map.TerrainAt(x, y);
    return row && !row->CanBuildBuilding ? kRockColour : kLandColour;
}

int Picture(const Args& args) {
    if (args.size() != 3 && !(args.size() == 5 && args[3] == "--data"))
        return Usage(kMapUsage);
    std::string data = args.size() == 5 ? args[4] : "gamedata";
    InstallPath() = data;
    ToolGame tool;
    if (!LoadGameTexts(data, false))
        return Fail(data + ": the game data cannot be read");
    if (!LoadSavedGame(tool, args[1]))
        return 1;
    const WorldMap& map = GetWorldMap();
    const uint32_t w = map.GetWidth(), h = map.GetHeight();
    if (w == 0 || h == 0)
        return Fail(args[1] + ": the map is empty");
    const uint32_t scale = (std::max(w, h) + kMaxPictureSide - 1) / kMaxPictureSide;
    const uint32_t pw = (w + scale - 1) / scale, ph = (h + scale - 1) / scale;
    std::vector<uint32_t> pixels(size_t(pw) * ph, kWaterColour);
    for (uint32_t py = 0; py < ph; ++py) {
        for (uint32_t px = 0; px < pw; ++px) {
            int32_t best = -1;
            for (uint32_t y = py * scale; y < std::min(h, (py + 1) * scale); ++y) {
                for (uint32_t x = px * scale; x < std::min(w, (px + 1) * scale); ++x) {
                    int32_t priority = 0;
                    uint32_t colour = TileColour(map, x, y, priority);
                    if (priority > best) {
                        best = priority;
                        pixels[size_t(py) * pw + px] = colour;
                    }
                }
            }
        }
    }
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (const City* city = GetCity(i))
            pixels[size_t(uint32_t(city->GetCentreY()) / scale) * pw + uint32_t(city->GetCentreX()) / scale] =
                kTownCentreColour;
    std::vector<uint8_t> png;
    if (!EncodePngImage(pixels, int32_t(pw), int32_t(ph), png))
        return Fail("the picture cannot be encoded");
    std::string error;
    if (!plat::WriteFileAtomically(args[2], png.data(), png.size(), &error))
        return Fail(args[2] + ": " + error);
    std::printf("%s: %u x %u pixels, %u tiles a pixel\n", args[2].c_str(), pw, ph, scale * scale);
    return 0;
}

int RunMap(const Args& args) {
    if (args.empty())
        return Usage(kMapUsage);
    if (args[0] == "generate")
        return Generate(args);
    if (args[0] == "png")
        return Picture(args);
    return Usage(kMapUsage);
}

} // namespace

MDTOOL_COMMAND("map", kMapUsage, RunMap);

} // namespace mdtool
