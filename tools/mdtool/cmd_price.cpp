// mdtool price: one price or cost of the game database as the game computes
// it, with the yearly modifiers of a chosen year.
#include "tools/mdtool/command.h"

#include "data/database.h"
#include "world/game_clock.h"
#include "world/prices.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace mdtool {
namespace {

constexpr const char* kPriceUsage =
    "price FILE KIND ROW [YEAR]  (KIND: route, route-demolition, station, station-demolition, station-costs, "
    "extension, extension-costs, extension-income, water-tower, water-tower-demolition, water-tower-costs, "
    "headquarters, headquarters-costs, storage, signal, signal-demolition, vehicle, freight)";

struct PriceKind {
    const char* name;
    int32_t (*price)(int32_t row);
};

const PriceKind kKinds[] = {
    {"route", GetRouteConstructionCost},
    {"route-demolition", GetRouteDemolitionCost},
    {"station", [](int32_t row) { return GetStationPrice(row, 0); }},
    {"station-demolition", [](int32_t row) { return GetStationDemolitionCost(row, 0); }},
    {"station-costs", [](int32_t row) { return GetStationBaseCosts(row, 0); }},
    {"extension", GetStationExtentionPrice},
    {"extension-costs", GetStationExtentionBaseCosts},
    {"extension-income", GetStationExtentionIncome},
    {"water-tower", GetWaterTowerPrice},
    {"water-tower-demolition", GetWaterTowerDemolitionCost},
    {"water-tower-costs", GetWaterTowerBaseCosts},
    {"headquarters", GetHeadquarterPrice},
    {"headquarters-costs", GetHeadquarterBaseCosts},
    {"storage", GetStoragePlacePrice},
    {"signal", GetSignalPrice},
    {"signal-demolition", GetSignalDemolitionCost},
    {"vehicle", [](int32_t row) { return GetVehiclePrice(row, 4); }},
};

bool ParseInt(const std::string& text, long& out) {
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

int RunPrice(const Args& args) {
    if (args.size() != 3 && args.size() != 4)
        return Usage(kPriceUsage);
    long row = 0, year = kFirstYear;
    if (!ParseInt(args[2], row) || (args.size() == 4 && !ParseInt(args[3], year)) ||
        year < long(kFirstYear) || year > 100000)
        return Usage(kPriceUsage);
    Database& db = GetDatabase();
    if (!db.ReadFile(args[0]) || !db.ApplyAllTables(KindSelector::All))
        return Fail("cannot read the game database " + args[0]);
    CreateGameClock(0)->SetYear(uint32_t(year));
    if (args[1] == "freight") {
        std::printf("%g\n", double(GetProductFreightPrice(int32_t(row))));
        return 0;
    }
    for (const PriceKind& kind : kKinds) {
        if (args[1] == kind.name) {
            std::printf("%d\n", kind.price(int32_t(row)));
            return 0;
        }
    }
    return Usage(kPriceUsage);
}

} // namespace

MDTOOL_COMMAND("price", kPriceUsage, RunPrice);

} // namespace mdtool
