// mdtool world: a small scripted world saved as chunks, a load and save
// again of such a file, and a summary of one.
#include "tools/mdtool/command.h"
#include "tools/mdtool/tool_game.h"
#include "tools/mdtool/world_economy.h"

#include "data/database.h"
#include "data/generated/terrain_tables.h"
#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "world/building.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_errors.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>

namespace mdtool {
namespace {

constexpr const char* kWorldUsage =
    "world demo --size W H --seed S --out FILE [--db FILE] | world resave IN OUT "
    "[--db FILE] | world info FILE [--db FILE] | world run FILE --months N --out FILE2 [--db FILE] "
    "(info and resave take world files and saved games)";
constexpr const char* kDefaultDatabase = "gamedata/config/MDConfig.gen";
constexpr uint32_t kLand = 1, kWater = 2, kRock = 3;

// The terrain rows the world reads: from the database when it can be read,
// else the same four rows as the default data.
void LoadTerrain(const std::string& path) {
    Database& db = GetDatabase();
    if (db.ReadFile(path) && db.ApplyAllTables(KindSelector::All) && TerrainTable::Find(kWater))
        return;
    std::fprintf(stderr, "mdtool: %s not usable, built-in terrain rows used\n", path.c_str());
    TerrainTable::GetOrCreateRow(0)->CanBuildBuilding = 0;
    TerrainTable::GetOrCreateRow(kLand);
    TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
    water->CanBuildBuilding = water->CanBuildRoute = 0;
    water->IsWater = water->IsNavigable = 1;
    TerrainTable::GetOrCreateRow(kRock)->CanBuildBuilding = 0;
}

// The tool's own generator, so that a seed gives the same world anywhere.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed) {}
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return bound ? (state_ >> 8) % bound : 0;
    }

private:
    uint32_t state_;
};

void BuildDemoWorld(uint32_t w, uint32_t h, uint32_t seed) {
    ResetWorldState();
    WorldMap& map = GetWorldMap();
    map.SetMapSize(w, h);
    Random rnd(seed);

    // A lake with a navigable channel, and rock.
    uint32_t lakeX = w / 8 + rnd.Next(w / 8), lakeY = h / 8 + rnd.Next(h / 8);
    for (uint32_t y = lakeY; y < lakeY + h / 4; ++y)
        for (uint32_t x = lakeX; x < lakeX + w / 5; ++x)
            map.SetTerrainAt(x, y, kWater);
    for (uint32_t y = lakeY; y < lakeY + h / 4; ++y)
        for (uint32_t x = lakeX; x < lakeX + w / 5; ++x)
            if (map.IsNavigable(x, y) && (x + y) % 3 == 0)
                map.SetRouteKindAndClear(x, y, 4);
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t x = rnd.Next(w), y = rnd.Next(h);
        map.SetTerrainAt(x, y, kRock);
    }

    // Two tracks, then roads across them: crossings where they meet.
    uint32_t roadY = h / 2 + rnd.Next(h / 8), trackX[2] = {w / 2 + rnd.Next(w / 8), w - 6};
    for (uint32_t tx : trackX) {
        for (uint32_t y = 2; y < h - 2; ++y) {
            if (map.IsWater(tx, y))
                continue;
            map.SetRouteKindAndClear(tx, y, 1);
            map.SetRouteType(1, tx, y, 1 + tx % 2);
            map.SetTrackDirections(tx, y, 5);
            map.SetEdgeHeights(tx, y, int32_t(y % 3), 5);
        }
    }
    for (uint32_t x = 1; x < w - 1; ++x)
        if (!map.IsWater(x, roadY))
            map.PlaceTownRoad(x, roadY, 10);
    uint32_t now = CurrentGameTimeMs();
    map.RebuildCrossingList(now);

    // A bridge span over part of the first track.
    MapObject* span = CreateMapObject(3, 0);
    span->SetPosition(int32_t(trackX[0]), 4);
    map.AttachSpanToRect(trackX[0], 4, trackX[0], 8, span->GetId());

    // Decorations on free land.
    for (uint32_t i = 0; i < w * h / 64; ++i) {
        uint32_t x = rnd.Next(w), y = rnd.Next(h);
        if (!map.IsWater(x, y))
            map.PlaceDecoration(x, y, rnd.Next(100), rnd.Next(8));
    }

    // Buildings of several classes, placed where the land is free.
    const int32_t subtypes[] = {0, 1, 2, 3, 3, 3, 5, 6, 7, 9, 10};
    for (int32_t subtype : subtypes) {
        auto* building = static_cast<Building*>(CreateMapObject(1, subtype));
        int32_t size = 1 + int32_t(rnd.Next(3));
        for (int attempt = 0; attempt < 50; ++attempt) {
            int32_t x = int32_t(rnd.Next(w)), y = int32_t(rnd.Next(h));
            if (building->Place(x, y, subtype, size, size, 0))
                break;
        }
        building->SetOwner(int32_t(rnd.Next(5)));
        building->SetTypeIndex(int32_t(rnd.Next(20)));
    }
    // A free slot among the buildings, and vehicles.
    DeleteMapObject(MakeObjectHandle(1, 2));
    for (int i = 0; i < 3; ++i)
        CreateMapObject(2, 2)->SetPosition(int32_t(trackX[0]), int32_t(10 + i));

    GameClock* clock = CreateGameClock(0);
    clock->SetYear(1880 + seed % 60);
    AddEconomyDemo(w, h, seed);
    clock->AddTicks(rnd.Next(9000));
    clock->AddTime(int32_t(rnd.Next(100000)));
    clock->GetTime();
}

bool SaveTo(const std::string& path) {
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    if (!BeginSaveStream(OpenFileWriteStream(path), text, version))
        return false;
    bool ok = SaveWorldSections();
    return CloseStream() && ok;
}

bool LoadFrom(const std::string& path) {
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenFileReadStream(path), text, version)) {
        ReportWorldError("not a chunk file: " + StreamError());
        return false;
    }
    CreateGameClock(0);
    bool ok = LoadWorldSections();
    bool closed = CloseStream();
    return ok && closed;
}

// Pulls "--db FILE" out of the arguments.
std::string TakeDatabaseOption(Args& args) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--db") {
            std::string path = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            return path;
        }
    }
    return kDefaultDatabase;
}

bool ParseU32(const std::string& text, uint32_t& out) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value > 0xFFFFFFFFul)
        return false;
    out = uint32_t(value);
    return true;
}

int Demo(const Args& args) {
    uint32_t w = 0, h = 0, seed = 0;
    std::string out;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 2 < args.size()) {
            if (!ParseU32(args[i + 1], w) || !ParseU32(args[i + 2], h))
                return Usage(kWorldUsage);
            i += 2;
        } else if (args[i] == "--seed" && i + 1 < args.size()) {
            if (!ParseU32(args[++i], seed))
                return Usage(kWorldUsage);
        } else if (args[i] == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else {
            return Usage(kWorldUsage);
        }
    }
    if (out.empty() || w < 16 || h < 16 || w > kMaxMapSize || h > kMaxMapSize || w % 2 || h % 2)
        return Fail("the demo world needs --out and an even size from 16 to 2048");
    BuildDemoWorld(w, h, seed);
    if (!SaveTo(out))
        return Fail("cannot write " + out + ": " + StreamError());
    std::printf("%s: %u x %u world, seed %u\n", out.c_str(), w, h, seed);
    return 0;
}

int Resave(const Args& args) {
    if (args.size() != 3)
        return Usage(kWorldUsage);
    if (LooksLikeSavedGame(args[1])) {
        // A saved game is written again as a saved game.
        ToolGame tool;
        if (!LoadSavedGame(tool, args[1]))
            return 1;
        if (!SaveGame(tool.game, args[2]))
            return Fail("cannot write " + args[2] + " as a saved game");
        return 0;
    }
    if (!LoadFrom(args[1]))
        return Fail(args[1] + ": " + LastWorldError());
    if (!SaveTo(args[2]))
        return Fail("cannot write " + args[2] + ": " + StreamError());
    return 0;
}

int Info(const Args& args) {
    if (args.size() != 2)
        return Usage(kWorldUsage);
    std::unique_ptr<ToolGame> tool;
    if (LooksLikeSavedGame(args[1])) {
        tool = std::make_unique<ToolGame>();
        if (!LoadSavedGame(*tool, args[1]))
            return 1;
        std::printf("kind saved game\n");
    } else {
        if (!LoadFrom(args[1]))
            return Fail(args[1] + ": " + LastWorldError());
        std::printf("kind world file\n");
    }
    WorldMap& map = GetWorldMap();
    std::printf("size %u x %u, revision %u\n", map.GetWidth(), map.GetHeight(), map.GetRevision());
    static const char* kKinds[] = {"plain", "footprint", "route", "decoration", "waterway"};
    uint64_t kinds[kCellKindCount] = {};
    for (const WorldCell& cell : map.GetGrid())
        if (cell.Kind() < kCellKindCount)
            ++kinds[cell.Kind()];
    for (uint32_t k = 0; k < kCellKindCount; ++k)
        std::printf("cells %-10s %llu\n", kKinds[k], static_cast<unsigned long long>(kinds[k]));
    std::printf("crossings %zu\n", map.CrossingList().size());
    for (int32_t category = 0; category < kObjectCategoryCount; ++category) {
        std::vector<MapObject*> objects;
        GetMapObjects(objects, 0, category, 0, 0);
        std::map<int32_t, uint32_t> bySubtype;
        for (MapObject* o : objects)
            ++bySubtype[o->GetSubtype()];
        std::printf("objects category %d: %zu in %u slots", category, objects.size(),
                    MapObjectSlotCount(category));
        for (const auto& [subtype, count] : bySubtype)
            std::printf(", subtype %d: %u", subtype, count);
        std::printf("\n");
    }
    PrintEconomyInfo();
    if (GameClock* clock = GetGameClock()) {
        GameDate date = clock->GetDate();
        std::printf("date %u-%02u-%02u, tick %llu, game time %u ms\n", date.year, date.month + 1, date.day,
                    static_cast<unsigned long long>(clock->GetTicks()), clock->GetCurrentTime());
    }
    return 0;
}

int Run(const Args& args) {
    uint32_t months = 0;
    std::string out;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--months" && i + 1 < args.size()) {
            if (!ParseU32(args[++i], months))
                return Usage(kWorldUsage);
        } else if (args[i] == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else {
            return Usage(kWorldUsage);
        }
    }
    if (args.size() < 2 || out.empty())
        return Usage(kWorldUsage);
    if (LooksLikeSavedGame(args[1]))
        return Fail(args[1] + ": a saved game; world run takes world files (a saved game runs in the game)");
    if (!LoadFrom(args[1]))
        return Fail(args[1] + ": " + LastWorldError());
    RunCalendarMonths(months);
    if (!SaveTo(out))
        return Fail("cannot write " + out + ": " + StreamError());
    return 0;
}

int World(const Args& input) {
    Args args = input;
    std::string db = TakeDatabaseOption(args);
    if (args.empty())
        return Usage(kWorldUsage);
    // Game time must not run while a file is read and written again.
    plat::Clock::UseFake(0);
    LoadTerrain(db);
    UseInstallFolderOf(db);
    if (args[0] == "demo")
        return Demo(args);
    if (args[0] == "resave")
        return Resave(args);
    if (args[0] == "info")
        return Info(args);
    if (args[0] == "run")
        return Run(args);
    return Usage(kWorldUsage);
}

} // namespace

MDTOOL_COMMAND("world", kWorldUsage, World);

} // namespace mdtool
