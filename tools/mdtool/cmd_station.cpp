// mdtool station: checks and lists a station layout file against the
// `Station` rows of the default game data.
#include "tools/mdtool/command.h"

#include "data/database.h"
#include "data/generated/route_tables.h"
#include "economy/town_services.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "transport/transport_log.h"

#include <cstdio>
#include <string>

namespace mdtool {
namespace {

constexpr const char* kStationUsage = "station layouts [FILE] | station list FILE [--data FOLDER] [--slots]";
constexpr const char* kGameData = "gamedata";
constexpr const char* kDefaultDatabase = "gamedata/config/MDConfig.gen";

void PrintLayout(uint32_t number, const StationLayout& layout) {
    auto count = [](const auto& table) {
        uint32_t used = 0;
        for (const auto& entry : table)
            used += entry.used ? 1 : 0;
        return used;
    };
    uint32_t routes = 0;
    for (const WaypointList& route : layout.routes)
        routes += route.Count() > 0 ? 1 : 0;
    std::printf("layout %u: areas %u, loading areas %u, points %u, load points %u, connection points %u, "
                "parts %u, routes %u\n",
                number, count(layout.areas), layout.LoadAreaCount(), count(layout.points),
                count(layout.loadPoints), count(layout.connPoints), count(layout.parts), routes);
}

int RunLayouts(const Args& args) {
    if (args.size() > 2)
        return Usage(kStationUsage);
    uint32_t warnings = 0;
    TransportWarningSink previous = SetTransportWarningSink([&warnings](const std::string& line) {
        std::fprintf(stderr, "mdtool: %s\n", Printable(line).c_str());
        ++warnings;
    });
    StationLayouts& layouts = GetStationLayouts();
    bool read = false;
    if (args.size() == 2) {
        std::string text;
        if (!plat::ReadWholeFile(args[1], text)) {
            SetTransportWarningSink(previous);
            return Fail("cannot read " + args[1]);
        }
        layouts.Clear();
        layouts.Read(text, args[1]);
        read = true;
    } else {
        VfsShutdown();
        RegisterStandardSourceTypes();
        read = VfsAddSource("file", kGameData) && LoadStationConfig();
    }
    SetTransportWarningSink(previous);
    if (!read)
        return Fail("no station layouts read");
    for (uint32_t n = 0; n < layouts.Size(); ++n) {
        if (const StationLayout* layout = layouts.Get(n))
            PrintLayout(n, *layout);
    }

    Database& database = GetDatabase();
    if (!database.ReadFile(kDefaultDatabase) || !database.ApplyAllTables(KindSelector::All))
        return Fail(std::string("cannot read the station kinds of ") + kDefaultDatabase);
    const std::vector<std::string> problems = CheckStationKinds(layouts);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "mdtool: %s\n", Printable(problem).c_str());
    for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
        if (const StationRow* row = StationTable::Find(kind))
            std::printf("kind %d %s: mode %d, %d x %d, layout %d, loading areas %u\n", kind,
                        Printable(row->Name).c_str(), row->ConnectionType, row->XSizeInMapSquares,
                        row->YSizeInMapSquares, row->LayoutIndex, GetLoadAreaCountForKind(kind));
    }
    if (warnings > 0 || !problems.empty()) {
        std::fprintf(stderr, "mdtool: %u warnings, %zu problems\n", warnings, problems.size());
        return 1;
    }
    return 0;
}

// The stations of a saved game, one line each: id, kind, position, owner
// and name.
int RunList(Args args) {
    // --slots adds what vehicles hold at each station: the vehicles keyed
    // to it, its reserved loading areas and its busy slot.
    const bool slots = args.size() > 2 && args.back() == "--slots";
    if (slots)
        args.pop_back();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--data"))
        return Usage(kStationUsage);
    const std::string data = args.size() == 4 ? args[3] : kGameData;
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
    if (!LoadGame(game, args[1]))
        return Fail(args[1] + ": not a saved game this build can load");
    for (const Station* station : AllStations()) {
        std::printf("station %u kind %d at %d %d owner %d %s", station->GetId(), station->GetKind(),
                    station->GetOriginX(), station->GetOriginY(), station->GetOwner(),
                    Printable(station->GetName()).c_str());
        if (slots) {
            uint32_t reserved = 0;
            for (uint32_t n = 0; n < 32; ++n)
                reserved |= station->IsLoadAreaReserved(n) ? 1u << n : 0u;
            std::printf(" vehicles %zu reserved %u busy %u", station->GetVehicles().size(), reserved,
                        unsigned(station->GetBusySlot()));
        }
        std::printf("\n");
    }
    return 0;
}

int RunStation(const Args& args) {
    if (!args.empty() && args[0] == "layouts")
        return RunLayouts(args);
    if (!args.empty() && args[0] == "list")
        return RunList(args);
    return Usage(kStationUsage);
}

} // namespace

MDTOOL_COMMAND("station", kStationUsage, RunStation);

} // namespace mdtool
