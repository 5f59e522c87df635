// mdtool town list: the towns of a saved game, one line each: index, name,
// centre, population (of the town's last census), houses (with reserved
// lots) and growth state.
#include "economy/city.h"
#include "tools/mdtool/command.h"
#include "tools/mdtool/tool_game.h"

#include <cstdio>

namespace mdtool {
namespace {

constexpr const char* kTownUsage = "town list FILE [--data FOLDER]";

int RunList(const Args& args) {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--data"))
        return Usage(kTownUsage);
    const std::string data = args.size() == 4 ? args[3] : "gamedata";
    ToolGame tool;
    // The houses' inhabitants come from the database.
    if (!LoadGameTexts(data, false))
        return Fail(data + ": the game data cannot be read");
    if (!LoadSavedGame(tool, args[1]))
        return 1;
    WorldScope scope(tool.game.GetWorld());
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        City* city = GetCity(i);
        if (!city)
            continue;
        // The population as the town's last census left it, as saved; the
        // houses counted now.
        const uint32_t population = city->GetPopulation();
        city->TakeCensus();
        std::printf("town %d %s at %d %d population %u houses %u state %u\n", i,
                    Printable(city->GetName()).c_str(), city->GetCentreX(), city->GetCentreY(), population,
                    city->GetHouseCount(), city->GetGrowthState());
    }
    return 0;
}

int RunTown(const Args& args) {
    if (!args.empty() && args[0] == "list")
        return RunList(args);
    return Usage(kTownUsage);
}

} // namespace

MDTOOL_COMMAND("town", kTownUsage, RunTown);

} // namespace mdtool
