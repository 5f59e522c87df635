// mdtool route: the route the graph of road or track gives between two
// tiles of a saved game, and the size of each mode's graph.
#include "tools/mdtool/command.h"
#include "tools/mdtool/tool_game.h"

#include "economy/town_services.h"
#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "transport/route_planner.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <charconv>
#include <cstdio>

namespace mdtool {
namespace {

constexpr const char* kRouteUsage =
    "route FILE X1 Y1 X2 Y2 --mode road|track [--data FOLDER] | route graph FILE [--data FOLDER]";

bool ParseCoordinate(const std::string& text, uint32_t& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= 0xFFFF;
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

struct RouteTool {
    Game game;
    TownWorldHooks hooks;
    RouteTool() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallTownsAndIndustry(game);
    }
    ~RouteTool() { UninstallTownsAndIndustry(); }
    RouteTool(const RouteTool&) = delete;
    RouteTool& operator=(const RouteTool&) = delete;

    // Loads the file and builds both graphs afresh; false after a line
    // saying why.
    bool Load(const std::string& data, const std::string& path) {
        if (!LoadGameTexts(data, false)) {
            Fail(data + ": the game data cannot be read");
            return false;
        }
        StartGame(game, 0);
        const bool loaded = LooksLikeSavedGame(path) ? LoadGame(game, path) : LoadWorldFile(path);
        if (!loaded) {
            Fail(path + ": not a saved game or world this build can load");
            return false;
        }
        for (uint32_t mode : {kRouteModeRoad, kRouteModeTrack})
            EnsureRoutePlanner(mode).BuildGraph(true);
        return true;
    }
};

int RunGraph(const Args& args) {
    std::string data = "gamedata";
    if (args.size() == 4 && args[2] == "--data")
        data = args[3];
    else if (args.size() != 2)
        return Usage(kRouteUsage);
    RouteTool tool;
    if (!tool.Load(data, args[1]))
        return 1;
    static constexpr const char* kNames[] = {"road", "track"};
    for (uint32_t mode : {kRouteModeRoad, kRouteModeTrack}) {
        const RoutePlanner& planner = EnsureRoutePlanner(mode);
        std::printf("%s nodes %u edges %u\n", kNames[mode], planner.NodeCount(), planner.EdgeCount());
    }
    return 0;
}

int RunRoute(const Args& args) {
    if (!args.empty() && args[0] == "graph")
        return RunGraph(args);
    if (args.size() != 7 && args.size() != 9)
        return Usage(kRouteUsage);
    uint32_t coordinates[4];
    for (size_t i = 0; i < 4; ++i)
        if (!ParseCoordinate(args[1 + i], coordinates[i]))
            return Usage(kRouteUsage);
    std::string data = "gamedata";
    uint32_t mode = 0;
    bool haveMode = false;
    for (size_t i = 5; i + 1 < args.size(); i += 2) {
        if (args[i] == "--mode" && !haveMode && (args[i + 1] == "road" || args[i + 1] == "track")) {
            mode = args[i + 1] == "road" ? kRouteModeRoad : kRouteModeTrack;
            haveMode = true;
        } else if (args[i] == "--data") {
            data = args[i + 1];
        } else {
            return Usage(kRouteUsage);
        }
    }
    if (!haveMode)
        return Usage(kRouteUsage);

    RouteTool tool;
    if (!tool.Load(data, args[0]))
        return 1;
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(coordinates[0], coordinates[1]) || !map.InMap(coordinates[2], coordinates[3]))
        return Fail("a point lies outside the " + std::to_string(map.GetWidth()) + " x " +
                    std::to_string(map.GetHeight()) + " map");

    WaypointList route;
    const uint32_t cost = EnsureRoutePlanner(mode).FindRoute(coordinates[0], coordinates[1], coordinates[2],
                                                             coordinates[3], &route, nullptr, nullptr);
    if (cost == 0) {
        std::printf("no route\n");
        return 1;
    }
    // The list runs from the goal back to the start.
    for (uint32_t i = route.Count(); i-- > 0;)
        std::printf("%u %u\n", route.Get(i).x, route.Get(i).y);
    std::printf("cost %u\n", cost);
    return 0;
}

} // namespace

MDTOOL_COMMAND("route", kRouteUsage, RunRoute);

} // namespace mdtool
