// The vehicle's info text for the interface and its developer text with raw
// values. The info text is made of the rows of the `ToolTip_Vehicle` table.
#include "data/generated/interface_tables.h"
#include "data/generated/vehicle_tables.h"
#include "data/number_format.h"
#include "platform/endian.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/data_text.h"
#include "world/game_clock.h"
#include "world/player.h"
#include "world/static_object_services.h"

#include <cinttypes>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace {

// The region whose speeds are shown in the European unit.
constexpr uint32_t kEuropeanRegion = 1;

// A row text with its "%s" places filled in order and "%%" made "%". The
// texts are data: any other "%" sequence stands as it is, and places
// beyond the arguments stay empty.
std::string Fill(const std::string& format, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                if (next != args.end())
                    out += *next++;
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::string TipRow(int32_t row) {
    const ToolTip_VehicleRow* r = ToolTip_VehicleTable::Find(row);
    return r ? WithLineBreaks(r->Text) : std::string();
}

std::string TypeName(int32_t type) {
    const VehicleRow* row = VehicleTable::Find(type);
    return row ? WithLineBreaks(row->Name) : std::string();
}

std::string SpeedText(float msPerSquare) {
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const bool european = CurrentRegion() == kEuropeanRegion;
    const float scale = european ? 51677.0f : 31000.0f;
    const int64_t number = msPerSquare > 0.0f ? int64_t(scale / msPerSquare) : 0;
    const std::string unit =
        constants ? (european ? constants->EuropeanSpeedUnit : constants->USSpeedUnit) : "";
    return FormatNumber(number) + " " + WithLineBreaks(unit);
}

uint32_t AgeYears(const Vehicle& v) {
    const GameClock* clock = GetGameClock();
    const uint64_t now = clock ? clock->GetTicks() : 0;
    const uint64_t bought = plat::LoadLE64(v.Block().data() + 48);
    return uint32_t((now >= bought ? now - bought : 0) / kTicksPerYear);
}

float TractivePower(const Vehicle& v) {
    float sum = 0.0f;
    for (uint32_t i = 0; i < Vehicle::kUnits; ++i) {
        const ObjectHandle handle = v.GetUnit(i);
        const Vehicle* unit = handle == v.GetId() ? &v : handle ? GetVehicle(handle) : nullptr;
        if (const VehicleRow* row = unit ? unit->Row() : nullptr)
            sum += float(row->TractivePower) * unit->GetCondition() / 100.0f;
    }
    return sum;
}

std::string StopName(const VehicleSchedule& schedule, uint32_t stop) {
    const Station* station = stop < schedule.GetStopCount() ? schedule.GetStopStation(stop) : nullptr;
    return station ? station->GetName() : std::string();
}

} // namespace

void Vehicle::GetInfoText(std::string& out) const {
    out.clear();
    if (!schedule_)
        return;
    const VehicleSchedule& s = *schedule_;
    out += s.GetName() + "\n\n";
    out += Fill(TipRow(0), {StopName(s, GetCurrentStop())}) + "\n";
    const uint32_t count = s.GetStopCount();
    out += Fill(TipRow(1), {count ? StopName(s, GetNextStop()) : std::string()}) + "\n\n";
    const bool moving = GetState() == kStateMoving || GetState() == kStatePassing;
    out += Fill(TipRow(2), {SpeedText(moving ? float(U32(100)) : 0.0f)}) + "\n";
    const VehicleRow* row = Row();
    out += Fill(TipRow(3), {SpeedText(row ? float(row->TravelTimeMsPerSquare) : 0.0f)}) + "\n";
    // A train without tractive power shows a load of 0.
    const float power = TractivePower(*this);
    const int64_t load = power > 0.0f ? int64_t(GetTrainWeight() * 100.0f / power) : 0;
    out += Fill(TipRow(4), {FormatNumber(load) + " %"}) + "\n";
    out += Fill(TipRow(11), {FormatAmount(s.GetPeriodIncome(0)), FormatAmount(s.GetPeriodIncome(1)),
                             FormatAmount(s.GetTotalIncome())}) +
           "\n";
    for (uint32_t i = 0; i < kUnits; ++i) {
        const ObjectHandle handle = GetUnit(i);
        if (handle == 0)
            continue;
        out += "\n";
        const Vehicle* unit = handle == id_ ? this : GetVehicle(handle);
        if (!unit)
            continue;
        out += TypeName(unit->GetTypeIndex()) + "\n";
        out += Fill(TipRow(5), {FormatNumber(AgeYears(*unit))}) + "\n";
        out += Fill(TipRow(6), {FormatNumber(int64_t(unit->GetCondition()))}) + "\n";
        const std::string water =
            unit->GetVehicleType() == 5 ? FormatNumber(int64_t(unit->GetWater())) : TipRow(8);
        out += Fill(TipRow(7), {water}) + "\n";
    }
    const Player* owner = GetPlayer(uint32_t(owner_));
    out += "\n" + Fill(TipRow(9), {owner ? owner->GetManagerName() : std::string()}) + "\n";
    out += Fill(TipRow(10), {owner ? owner->GetCompanyName() : std::string()});
}

void Vehicle::DebugDump(std::string& out) const {
    char line[160];
    out = TypeName(GetTypeIndex()) + "\n";
    std::snprintf(line, sizeof line, "Zustand: %f\n", double(GetCondition()));
    out += line;
    std::snprintf(line, sizeof line, "Aktuelles Zuggewicht: %f\n", double(GetTrainWeight()));
    out += line;
    std::snprintf(line, sizeof line, "Wasserbeladung: %f\n", double(GetWater()));
    out += line;
    const VehicleRow* row = Row();
    std::snprintf(line, sizeof line, "Geschwindigkeit ist:  %" PRIu32 " - Max %" PRId32 "\n", U32(100),
                  row ? row->TravelTimeMsPerSquare : 0);
    out += line;
    std::snprintf(line, sizeof line, "ID %" PRIu32 "\n", id_);
    out += line;
    if (route_) {
        const uint32_t n = route_->Count();
        for (uint32_t i = 0; i < n; ++i) {
            const Waypoint& w = route_->Get(i);
            std::snprintf(line, sizeof line, "Route %" PRIu32 ":  %" PRIu32 " -  %" PRIu32 " (%u)", i,
                          uint32_t(w.x), uint32_t(w.y), unsigned(w.direction));
            out += line;
            if (i % 5 == 0)
                out += "\n";
        }
        out += "\n";
    }
    for (uint32_t i = 1; i < kUnits; ++i) {
        std::snprintf(line, sizeof line, "Loks %" PRIu32 ": %" PRIu32 "\n", i, GetUnit(i));
        out += line;
    }
}
