// mdtool company: the companies of a saved game with their money and this
// year's accounts by booking.
#include "tools/mdtool/command.h"
#include "tools/mdtool/tool_game.h"

#include "gameloop/new_game.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "world/player.h"
#include "world/player_statistics.h"

#include <array>
#include <cstdio>

namespace mdtool {
namespace {

constexpr const char* kCompanyUsage = "company FILE";

// The booking rows of a company's accounts: expenses 0 to 6, income 7 to 9.
constexpr std::array<const char*, 10> kRowNames = {
    "purchases", "running",   "expenses2", "routes",  "demolition",
    "stations",  "companies", "income",    "income8", "sales",
};
constexpr std::array<const char*, 4> kModeNames = {"road", "rail", "water", "air"};

// One line per company: slot, money and loan (the game lends nothing);
// then this year's bookings by row, the money they moved, and the results the
// company's schedules booked at their stops by transport mode.
int RunCompany(const Args& args) {
    if (args.size() != 1)
        return Usage(kCompanyUsage);
    ToolGame tool;
    // The vehicle table tells each vehicle's transport mode.
    if (!LoadGameTexts("gamedata", false))
        return Fail("gamedata: the game data cannot be read");
    if (!LoadSavedGame(tool, args[0]))
        return 1;
    for (uint32_t slot = 0; slot < 5; ++slot) {
        const Player* player = GetPlayer(slot);
        if (!player)
            continue;
        std::printf("player %u money %lld loan 0\n", slot, static_cast<long long>(player->GetMoney()));
        const PlayerStatistics* statistics = player->GetStatistics();
        if (!statistics)
            continue;
        // Expense rows hold positive amounts: the money moved by them is
        // income less expenses.
        int64_t sum = 0;
        for (uint32_t row = 0; row < kRowNames.size(); ++row) {
            const int64_t value = statistics->GetValue(row, 0);
            std::printf("  %s %lld\n", kRowNames[row], static_cast<long long>(value));
            sum += row >= 7 ? value : -value;
        }
        std::printf("  sum %lld\n", static_cast<long long>(sum));
        std::array<int64_t, 4> byMode{};
        for (uint32_t id = 0; id < GetScheduleCount(); ++id) {
            const VehicleSchedule* s = GetSchedule(id);
            const Vehicle* v = s ? GetVehicle(s->GetVehicleHandle()) : nullptr;
            if (v && v->GetOwner() == int32_t(slot))
                byMode[uint32_t(v->GetConnectionType()) & 3u] += s->GetTotalIncome();
        }
        std::printf("  stop results");
        for (uint32_t m = 0; m < 4; ++m)
            std::printf(" %s %lld", kModeNames[m], static_cast<long long>(byMode[m]));
        std::printf("\n");
    }
    return 0;
}

} // namespace

MDTOOL_COMMAND("company", kCompanyUsage, RunCompany);

} // namespace mdtool
