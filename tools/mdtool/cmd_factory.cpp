// mdtool factory list: the factories of a saved game, one line each: id,
// type and kind, position, stock and this month's output of each product
// made, and the products taken.
#include "economy/factory.h"
#include "tools/mdtool/tool_game.h"
#include "world/game_settings.h"

#include <cstdio>
#include <string>

namespace mdtool {
namespace {

constexpr const char* kFactoryUsage = "factory list FILE [--data FOLDER]";

int RunFactory(const Args& args) {
    if (args.empty() || args[0] != "list" || !(args.size() == 2 || (args.size() == 4 && args[2] == "--data")))
        return Usage(kFactoryUsage);
    const std::string data = args.size() == 4 ? args[3] : "gamedata";
    InstallPath() = data;
    ToolGame tool;
    if (!LoadGameTexts(data, false))
        return Fail(data + ": the game data cannot be read");
    if (!LoadSavedGame(tool, args[1]))
        return 1;
    for (const Factory* f : AllFactories()) {
        std::string made, accepts;
        for (const auto& [p, record] : f->GetOutputs())
            made += " " + std::to_string(p) + ":" + std::to_string(f->GetStock(p)) + "/" +
                    std::to_string(f->GetStore().GetInCounter(p, 0));
        for (int32_t p : f->GetAcceptedProducts())
            accepts += " " + std::to_string(p) + ":" + std::to_string(f->GetStock(p));
        std::printf("factory %u type %d kind %d at %d %d makes%s accepts%s %s\n", f->GetId(),
                    f->GetTypeIndex(), f->GetFactoryTyp(), f->GetX(), f->GetY(),
                    made.empty() ? " -" : made.c_str(), accepts.empty() ? " -" : accepts.c_str(),
                    Printable(f->GetName()).c_str());
    }
    return 0;
}

} // namespace

MDTOOL_COMMAND("factory", kFactoryUsage, RunFactory);

} // namespace mdtool
