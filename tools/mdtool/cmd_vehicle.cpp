// mdtool vehicle, mdtool schedule: list the vehicles and the schedules of a
// saved game.
#include "tools/mdtool/command.h"
#include "tools/mdtool/tool_game.h"

#include "gameloop/new_game.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"

#include <cstdio>
#include <string>

namespace mdtool {
namespace {

constexpr const char* kVehicleUsage = "vehicle list FILE";
constexpr const char* kScheduleUsage = "schedule list FILE";

// One line per vehicle: id, type, mode, owner, state, head tile, schedule
// and the stop it heads for.
int RunVehicle(const Args& args) {
    if (args.size() != 2 || args[0] != "list")
        return Usage(kVehicleUsage);
    ToolGame tool;
    // The vehicle table tells each vehicle's transport mode.
    if (!LoadGameTexts("gamedata", false))
        return Fail("gamedata: the game data cannot be read");
    if (!LoadSavedGame(tool, args[1]))
        return 1;
    for (const Vehicle* v : AllVehicles()) {
        int32_t x = 0;
        int32_t y = 0;
        v->GetHeadPosition(x, y);
        std::printf("vehicle %u type %d mode %d owner %d state %d %s at %d %d schedule %d next stop %u\n",
                    v->GetId(), v->GetTypeIndex(), v->GetConnectionType(), v->GetOwner(), v->GetState(),
                    VehicleStateName(v->GetState()), x, y, v->GetScheduleIndex(), v->GetNextStop());
    }
    return 0;
}

// One line per schedule: id, mode, stops, station stops, frequency, total
// income and name; then its stops, one line each.
int RunSchedule(const Args& args) {
    if (args.size() != 2 || args[0] != "list")
        return Usage(kScheduleUsage);
    ToolGame tool;
    if (!LoadSavedGame(tool, args[1]))
        return 1;
    for (uint32_t id = 0; id < GetScheduleCount(); ++id) {
        const VehicleSchedule* s = GetSchedule(id);
        if (!s)
            continue;
        std::printf("schedule %u mode %u stops %u stations %u frequency %u income %lld %s\n", id,
                    s->GetMode(), s->GetStopCount(), s->GetStationStopCount(), s->GetFrequency(),
                    static_cast<long long>(s->GetTotalIncome()), Printable(s->GetName()).c_str());
        for (uint32_t i = 0; i < s->GetStopCount(); ++i)
            std::printf("  stop %u kind %u target %u load point %u products %u\n", i, s->GetStopKind(i),
                        s->GetStopTarget(i), s->GetStopLoadPoint(i), s->GetProducts(i, nullptr));
    }
    return 0;
}

} // namespace

MDTOOL_COMMAND("vehicle", kVehicleUsage, RunVehicle);
MDTOOL_COMMAND("schedule", kScheduleUsage, RunSchedule);

} // namespace mdtool
