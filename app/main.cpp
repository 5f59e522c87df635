// marrowdale: the game program. Until the screens exist it runs headless: a
// new or loaded game runs a number of frames on a clock that advances a
// fixed amount of game time per frame, optionally driven by a command
// script, and is saved. `--engine-demo` opens the engine's test scene in a
// window instead.
#include "app/engine_demo.h"
#include "data/text_tables.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/command_script.h"
#include "gameloop/game.h"
#include "gameloop/map_import.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "view/view_sections.h"
#include "view/view_world_hooks.h"
#include "world/game_settings.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

const char kUsage[] =
    "usage: marrowdale --engine-demo [--data FOLDER] [--fullscreen] [--frames N]\n"
    "       marrowdale [--headless] (--new [--map FILE | --generate SIZE] [--seed S] | --load FILE)\n"
    "                  [--ticks N] [--frame-ms MS] [--script FILE.cmds] [--save FILE]\n"
    "                  [--autosave BASEFOLDER] [--data FOLDER] [-fe] [-host | -client]\n"
    "                  [-playername NAME] [-debug_msg_filter N]\n";

struct Options {
    bool newGame = false;
    std::string load;
    std::string map;
    uint32_t size = kNewGameMapSize;
    // --generate: the map comes from the map generator.
    bool generate = false;
    bool seeded = false;
    uint32_t seed = 0;
    uint64_t ticks = 0;
    uint32_t frameMs = 25;
    std::string script;
    std::string save;
    std::string autosaveBase;
    // The folder of the game's data: config/MDConfig.gen and config/ingame.txt.
    std::string data = "gamedata";
    // Start-up switches kept for the screens.
    bool frontEnd = false;
    bool multiplayer = false;
    std::string playerName;
};

template <typename T>
bool ParseNumber(const char* text, T& value) {
    std::string_view s(text);
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size();
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "marrowdale: %s needs a value\n", argv[i]);
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (a == "--headless") {
        } else if (a == "--new") {
            o.newGame = true;
        } else if (a == "--load") {
            if (!value(v))
                return false;
            o.load = v;
        } else if (a == "--map") {
            if (!value(v))
                return false;
            o.map = v;
        } else if (a == "--generate") {
            if (!value(v) || !ParseNumber(v, o.size) || o.size < 2 || o.size > kLargestMapSide ||
                o.size % 2) {
                std::fprintf(stderr, "marrowdale: --generate takes an even size from 2 to %u\n",
                             kLargestMapSide);
                return false;
            }
            o.generate = true;
        } else if (a == "--seed") {
            if (!value(v) || !ParseNumber(v, o.seed))
                return false;
            o.seeded = true;
        } else if (a == "--ticks") {
            if (!value(v) || !ParseNumber(v, o.ticks))
                return false;
        } else if (a == "--frame-ms") {
            if (!value(v) || !ParseNumber(v, o.frameMs) || o.frameMs == 0)
                return false;
        } else if (a == "--script") {
            if (!value(v))
                return false;
            o.script = v;
        } else if (a == "--save") {
            if (!value(v))
                return false;
            o.save = v;
        } else if (a == "--autosave") {
            if (!value(v))
                return false;
            o.autosaveBase = v;
        } else if (a == "--data") {
            if (!value(v))
                return false;
            o.data = v;
        } else if (a == "-fe") {
            o.frontEnd = true;
        } else if (a == "-host" || a == "-client") {
            o.multiplayer = true;
        } else if (a == "-playername") {
            if (!value(v))
                return false;
            o.playerName = v;
        } else if (a == "-debug_msg_filter") {
            uint32_t filter = 0;
            if (!value(v) || !ParseNumber(v, filter))
                return false;
        } else {
            std::fprintf(stderr, "marrowdale: unknown option '%s'\n", argv[i]);
            return false;
        }
    }
    if (o.newGame == !o.load.empty()) {
        std::fprintf(stderr, "marrowdale: give either --new or --load FILE\n");
        return false;
    }
    if (!o.map.empty() && (!o.newGame || o.generate)) {
        std::fprintf(stderr, "marrowdale: --map goes with --new and without --generate\n");
        return false;
    }
    return true;
}

void PrintSummary(Game& game, uint64_t frames) {
    LoopClock& clock = game.Clock();
    uint64_t ticks = clock.GetTickCount();
    uint32_t dayOfYear = uint32_t(ticks % kCalendarTicksPerYear * 365 / kCalendarTicksPerYear);
    std::printf("date %u, month %u, day %u of the year\n", clock.GetCurrentYear(), clock.GetMonth() + 1,
                dayOfYear + 1);
    std::printf("%llu frames, game time %u ms, %llu date steps, map %u x %u, random state %u\n",
                static_cast<unsigned long long>(frames), clock.GetTime(),
                static_cast<unsigned long long>(ticks), game.MapWidth(), game.MapHeight(),
                game.Random().State());
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--engine-demo") == 0)
        return RunEngineDemo(argc - 1, argv + 1);
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (o.multiplayer) {
        std::fprintf(stderr, "marrowdale: network games are not available in this build\n");
        return 1;
    }
    std::vector<ScriptedCommand> script;
    if (!o.script.empty()) {
        std::string text, error;
        if (!plat::ReadWholeFile(o.script, text)) {
            std::fprintf(stderr, "marrowdale: %s cannot be read\n", o.script.c_str());
            return 1;
        }
        if (!ParseCommandScript(text, script, error)) {
            std::fprintf(stderr, "marrowdale: %s: %s\n", o.script.c_str(), error.c_str());
            return 1;
        }
    }

    // The headless game runs without the texts, so a failure is only reported.
    bool texts = LoadGameTexts(o.data, false);

    // Game time moves only as the frames advance it, so that a run depends on
    // nothing but its inputs.
    plat::Clock::UseFake(0);
    // Islands and town names are looked for in the data folder.
    InstallPath() = o.data;
    Game game;
    ViewWorldHooks world;
    ConnectWorldModel(game, world);
    InstallTownsAndIndustry(game);
    InstallViewSections(game);
    if (o.newGame) {
        // Without a seed the game starts from the moment, as a player expects.
        uint32_t seed = o.seeded ? o.seed : uint32_t(plat::Clock::Timestamp() % 12345);
        StartGame(game, seed);
        if (o.generate) {
            NewWorldOptions options;
            options.settings.MapWidth = options.settings.MapHeight = o.size;
            options.seed = seed;
            if (!GenerateNewWorld(game, options)) {
                UninstallTownsAndIndustry();
                return 1;
            }
            std::printf("generated a map of %u x %u tiles from seed %u\n", o.size, o.size, seed);
        } else if (!o.map.empty()) {
            if (!ImportMapFile(game, o.map)) {
                std::fprintf(stderr, "marrowdale: %s: the map cannot be loaded\n", o.map.c_str());
                UninstallTownsAndIndustry();
                return 1;
            }
            std::printf("a new game on the map %s of %u x %u tiles\n", o.map.c_str(), game.MapWidth(),
                        game.MapHeight());
        } else if (o.size != kNewGameMapSize) {
            NewGameInit(game, o.size, o.size);
        }
    } else {
        // A load replaces a running game, as the front end's does.
        StartGame(game, 0);
        if (!LoadGame(game, o.load))
            return 1;
    }
    if (!o.autosaveBase.empty()) {
        game.Autosave().enabled = true;
        game.Autosave().baseFolder = o.autosaveBase;
        // The autosaves are named after the save folder's name.
        std::string name = texts ? TextTables::GetFE(10) : std::string();
        if (!name.empty() && name != kMissingInterfaceText && name.find_first_of("/\\") == std::string::npos)
            game.Autosave().name = name;
    }

    size_t next = 0;
    for (uint64_t frame = 0; frame < o.ticks; ++frame) {
        for (; next < script.size() && script[next].tick <= frame; ++next)
            game.Post(*script[next].command);
        game.AdvanceFrame(o.frameMs);
        game.Step();
    }
    PrintSummary(game, o.ticks);

    if (!o.save.empty()) {
        std::error_code error;
        std::filesystem::path folder = std::filesystem::path(o.save).parent_path();
        if (!folder.empty())
            std::filesystem::create_directories(folder, error);
        if (!SaveGame(game, o.save))
            return 1;
        std::printf("saved to %s\n", o.save.c_str());
    }
    return 0;
}
