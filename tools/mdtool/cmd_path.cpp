// mdtool path: the route the game would search between two tiles of a
// saved game, in one transport mode.
#include "tools/mdtool/command.h"

#include "economy/town_services.h"
#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "transport/route_search.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <charconv>
#include <cstdio>

namespace mdtool {
namespace {

constexpr const char* kPathUsage = "path FILE X1 Y1 X2 Y2 --mode road|track|water|air [--data FOLDER]";

bool ParseCoordinate(const std::string& text, uint32_t& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= 0xFFFF;
}

bool ParseMode(const std::string& text, uint32_t& mode) {
    static constexpr const char* kNames[] = {"road", "track", "water", "air"};
    for (uint32_t m = 0; m < kTransportModeCount; ++m) {
        if (text == kNames[m]) {
            mode = m;
            return true;
        }
    }
    return false;
}

// A world saved by itself (the world's sections without a game around them).
bool LoadWorldFile(const std::string& path) {
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenFileReadStream(path), text, version)) {
        CloseStream();
        return false;
    }
    DeleteAllMapObjects();
    bool ok = LoadWorldSections();
    return CloseStream() && ok;
}

int RunPath(const Args& args) {
    if (args.size() != 7 && args.size() != 9)
        return Usage(kPathUsage);
    uint32_t coordinates[4];
    for (size_t i = 0; i < 4; ++i)
        if (!ParseCoordinate(args[1 + i], coordinates[i]))
            return Usage(kPathUsage);
    std::string data = "gamedata";
    uint32_t mode = 0;
    bool haveMode = false;
    for (size_t i = 5; i + 1 < args.size(); i += 2) {
        if (args[i] == "--mode" && !haveMode)
            haveMode = ParseMode(args[i + 1], mode);
        else if (args[i] == "--data")
            data = args[i + 1];
        else
            return Usage(kPathUsage);
    }
    if (!haveMode)
        return Usage(kPathUsage);

    plat::Clock::UseFake(0);
    Game game;
    TownWorldHooks hooks;
    ConnectWorldModel(game, hooks);
    InstallTownsAndIndustry(game);
    struct Uninstall {
        ~Uninstall() { UninstallTownsAndIndustry(); }
    } uninstall;
    if (!LoadGameTexts(data, false))
        return Fail(data + ": the game data cannot be read");
    StartGame(game, 0);
    if (!LoadGame(game, args[0]) && !LoadWorldFile(args[0]))
        return Fail(args[0] + ": not a saved game or world this build can load");
    // A loaded game redoes its open-water marking.
    MarkOpenWaterTiles();
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(coordinates[0], coordinates[1]) || !map.InMap(coordinates[2], coordinates[3]))
        return Fail("a point lies outside the " + std::to_string(map.GetWidth()) + " x " +
                    std::to_string(map.GetHeight()) + " map");

    WaypointList route;
    const uint32_t result = SearchRouteByMode(mode, coordinates[0], coordinates[1], coordinates[2],
                                              coordinates[3], &route, nullptr, -1, 0, nullptr, nullptr);
    if (result == 0) {
        std::printf("no path\n");
        return 1;
    }
    for (uint32_t i = 0; i < route.Count(); ++i)
        std::printf("%u %u\n", route.Get(i).x, route.Get(i).y);
    const RouteSearchReport& report = LastRouteSearch();
    std::printf("cost %u expansions %llu\n", report.cost, static_cast<unsigned long long>(report.expansions));
    return 0;
}

} // namespace

MDTOOL_COMMAND("path", kPathUsage, RunPath);

} // namespace mdtool
