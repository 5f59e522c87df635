// marrowdale: the game program. Until the screens exist it runs headless: a
// new or loaded game runs a number of frames on a clock that advances a
// fixed amount of game time per frame, optionally driven by a command
// script, and is saved. `--engine-demo` opens the engine's test scene in a
// window instead, `--ui-demo` the interface's demonstration dialog, `--view`
// the world in a window.
#include "app/engine_demo.h"
#include "app/ui_demo.h"
#include "app/world_view.h"
#include "data/text_tables.h"
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/command_script.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/map_import.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "vehicles/vehicle.h"
#include "view/view_sections.h"
#include "view/view_world_hooks.h"
#include "world/game_settings.h"
#include "world/object_manager.h"
#include "world/player.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char kUsage[] =
    "usage: marrowdale --engine-demo [--data FOLDER] [--fullscreen] [--frames N]\n"
    "       marrowdale --ui-demo [--data FOLDER] [--fullscreen] [--frames N]\n"
    "       marrowdale --view (--load FILE | --generate SIZE [--seed S]) [--frames N] [--data FOLDER]\n"
    "       marrowdale [--headless] (--new [--map FILE | --generate SIZE] [--seed S] | --load FILE)\n"
    "                  [--ticks N] [--frame-ms MS] [--script FILE.cmds] [--save FILE]\n"
    "                  [--autosave BASEFOLDER] [--data FOLDER] [-fe] [-host | -client]\n"
    "                  [-playername NAME] [-debug_msg_filter N]\n";

// A frame moves the game time at most a minute on, so that the clock comes
// to its largest value only after many frames, the loop's catch-up of one
// frame stays short, and the platform's millisecond timer never wraps
// within one frame.
constexpr uint32_t kLargestFrameMs = 60000;

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

// Set when an option's value was refused with its own message, which the
// usage would only bury.
bool valueRefused = false;

// A word from the command line as a message shows it: bytes outside
// printable ASCII as \xNN, cut to a line.
std::string Shown(std::string_view word) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < word.size() && i < 60; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c >= 0x20 && c < 0x7F)
            out += char(c);
        else
            out += std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
    return word.size() > 60 ? out + "..." : out;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "marrowdale: %s needs a value\n", argv[i]);
                valueRefused = true;
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        // A value that is not a number of the option's kind: one line naming
        // both (a missing value is reported by value()).
        auto badNumber = [&](const char* option, const char* kind) {
            if (v)
                std::fprintf(stderr, "marrowdale: %s takes %s, not '%s'\n", option, kind, Shown(v).c_str());
            valueRefused = true;
            return false;
        };
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
                valueRefused = true;
                return false;
            }
            o.generate = true;
        } else if (a == "--seed") {
            if (!value(v) || !ParseNumber(v, o.seed))
                return badNumber("--seed", "a whole number from 0 to 4294967295");
            o.seeded = true;
        } else if (a == "--ticks") {
            if (!value(v) || !ParseNumber(v, o.ticks))
                return badNumber("--ticks", "a whole number of frames");
        } else if (a == "--frame-ms") {
            if (!value(v))
                return false;
            if (!ParseNumber(v, o.frameMs) || o.frameMs == 0 || o.frameMs > kLargestFrameMs) {
                std::fprintf(stderr, "marrowdale: --frame-ms takes 1 to %u ms of game time\n",
                             kLargestFrameMs);
                return false;
            }
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
                return badNumber("-debug_msg_filter", "a whole number");
        } else {
            std::fprintf(stderr, "marrowdale: unknown option '%s'\n", Shown(argv[i]).c_str());
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

// The game's log on stderr, its flood held back: a script of a million
// refused commands shows the first lines and then how many more there were.
class LogFloodGate {
public:
    LogFloodGate() {
        previous_ = SetGameLogSink([this](const std::string& line) {
            if (++lines_ <= kShownLines)
                std::fprintf(stderr, "%s\n", Escaped(line).c_str());
        });
    }
    ~LogFloodGate() {
        SetGameLogSink(previous_);
        if (lines_ > kShownLines)
            std::fprintf(stderr, "marrowdale: %llu more log lines not shown\n",
                         static_cast<unsigned long long>(lines_ - kShownLines));
    }
    LogFloodGate(const LogFloodGate&) = delete;
    LogFloodGate& operator=(const LogFloodGate&) = delete;

private:
    static constexpr uint64_t kShownLines = 100;

    // A line as the terminal should see it: control bytes, which a file's
    // name or content may bring, as \xNN; characters beyond ASCII kept.
    static std::string Escaped(const std::string& line) {
        static const char kHex[] = "0123456789ABCDEF";
        std::string out;
        for (char ch : line) {
            const unsigned char c = static_cast<unsigned char>(ch);
            if (c < 0x20 || c == 0x7F)
                out += std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            else
                out += ch;
        }
        return out;
    }
    uint64_t lines_ = 0;
    GameLogSink previous_;
};

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
    uint32_t towns = 0;
    uint64_t inhabitants = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        if (const City* city = GetCity(i)) {
            ++towns;
            inhabitants += city->GetPopulation();
        }
    }
    std::vector<MapObject*> factories;
    GetMapObjects(factories, kSelectCategory | kSelectSubtype, kCategoryBuilding, kFactorySubtype, 0);
    std::printf("%u towns, %zu factories (with town centres), %llu inhabitants in the towns\n", towns,
                factories.size(), static_cast<unsigned long long>(inhabitants));
    uint64_t made = 0, madeLast = 0;
    for (const Factory* factory : AllFactories()) {
        made += factory->GetMonthOutput();
        for (const auto& entry : factory->GetOutputs())
            madeLast += uint32_t(factory->GetStore().GetInCounter(entry.first, 1));
    }
    std::printf("factories made %llu units this month, %llu last month\n",
                static_cast<unsigned long long>(made), static_cast<unsigned long long>(madeLast));
    std::printf("%zu vehicles\n", AllVehicles().size());
    if (const Player* local = GetCurrentPlayer())
        std::printf("local company money %lld\n", static_cast<long long>(local->GetMoney()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--engine-demo") == 0)
        return RunEngineDemo(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "--ui-demo") == 0)
        return RunUiDemo(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "--view") == 0)
        return RunWorldView(argc - 1, argv + 1);
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        if (!valueRefused)
            std::fputs(kUsage, stderr);
        return 2;
    }
    if (o.multiplayer) {
        std::fprintf(stderr, "marrowdale: network games are not available in this build\n");
        return 1;
    }
    LogFloodGate logGate;
    // The save's place is tried before the run, so that a long run does not
    // end in a save that cannot be written.
    if (!o.save.empty()) {
        std::error_code error;
        std::filesystem::path folder = std::filesystem::path(o.save).parent_path();
        if (!folder.empty())
            std::filesystem::create_directories(folder, error);
        plat::AtomicFileWriter probe(o.save);
        if (!probe.Open()) {
            std::fprintf(stderr, "marrowdale: the game could not be saved: %s\n", probe.Error().c_str());
            return 1;
        }
        probe.Abandon();
    }
    std::vector<ScriptedCommand> script;
    if (!o.script.empty()) {
        std::string text, error;
        if (!plat::ReadWholeFile(o.script, text, kMaxCommandScriptSize, &error)) {
            std::fprintf(stderr, "marrowdale: %s: %s\n", Shown(o.script).c_str(), error.c_str());
            return 1;
        }
        if (!ParseCommandScript(text, script, error)) {
            std::fprintf(stderr, "marrowdale: %s: %s\n", Shown(o.script).c_str(), error.c_str());
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
        if (!SaveGame(game, o.save))
            return 1;
        std::printf("saved to %s\n", o.save.c_str());
    }
    return 0;
}
