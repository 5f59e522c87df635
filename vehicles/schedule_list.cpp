#include "vehicles/schedule_list.h"

#include "files/chunk_transfer.h"
#include "gameloop/game_log.h"
#include "transport/station.h"
#include "world/game_clock.h"
#include "world/world.h"

#include <map>
#include <tuple>

namespace {

constexpr uint32_t kTagSdat = ChunkTag("sdat");
// Ids beyond this cannot come from a game: the list would hold more
// schedules than a map has room for vehicles.
constexpr uint32_t kMaxScheduleId = 1u << 16;

using CostKey = std::tuple<ObjectHandle, ObjectHandle, ObjectHandle, uint8_t>;

struct ScheduleList : WorldAttachment {
    std::vector<std::unique_ptr<VehicleSchedule>> entries;
    std::map<CostKey, uint32_t> costs;
};

ScheduleList& List() {
    return CurrentWorld().Attached<ScheduleList>();
}

} // namespace

uint32_t GetScheduleCount() {
    return uint32_t(List().entries.size());
}

VehicleSchedule* GetSchedule(uint32_t i) {
    ScheduleList& list = List();
    return i < list.entries.size() ? list.entries[i].get() : nullptr;
}

void DeleteSchedule(uint32_t i) {
    ScheduleList& list = List();
    if (i < list.entries.size())
        list.entries[i].reset();
}

void DeleteAllSchedules() {
    ScheduleList& list = List();
    list.entries.clear();
    list.costs.clear();
}

void RollIncomePeriod() {
    for (auto& schedule : List().entries)
        if (schedule)
            schedule->RollIncomePeriod();
}

VehicleSchedule* RegisterSchedule(std::unique_ptr<VehicleSchedule> schedule) {
    if (!schedule)
        return nullptr;
    ScheduleList& list = List();
    size_t slot = 0;
    while (slot < list.entries.size() && list.entries[slot])
        ++slot;
    if (slot == list.entries.size())
        list.entries.emplace_back();
    schedule->SetId(int32_t(slot));
    list.entries[slot] = std::move(schedule);
    return list.entries[slot].get();
}

VehicleSchedule* CreateSchedule(bool keepsRoutes, ObjectHandle vehicle) {
    auto schedule = std::make_unique<VehicleSchedule>(keepsRoutes, vehicle);
    schedule->SetCreated(CurrentGameTimeMs());
    return RegisterSchedule(std::move(schedule));
}

std::unique_ptr<VehicleSchedule> CopySchedule(const VehicleSchedule& source, ObjectHandle vehicle) {
    return source.Clone(vehicle);
}

bool ApplyScheduleCopy(const VehicleSchedule& copy) {
    if (copy.GetId() < 0)
        return false;
    VehicleSchedule* target = GetSchedule(uint32_t(copy.GetId()));
    if (!target)
        return false;
    target->TakeOver(copy);
    return true;
}

void RemoveStationFromAllSchedules(ObjectHandle station) {
    for (auto& schedule : List().entries)
        if (schedule)
            schedule->RemoveStation(station);
}

void NameFromStations(VehicleSchedule& schedule) {
    if (schedule.GetName() != DefaultScheduleName())
        return;
    const uint32_t count = schedule.GetStationStopCount();
    const Station* first = count ? schedule.GetStationOfStop(0) : nullptr;
    const Station* last = count ? schedule.GetStationOfStop(count - 1) : nullptr;
    if (!first || !last)
        return;
    schedule.SetName(first->GetName() + " - " + last->GetName());
}

void RebuildDamagedRoutes() {
    for (auto& schedule : List().entries) {
        if (schedule && schedule->NeedsRouteRebuild()) {
            schedule->RebuildRoutes(schedule->GetVehicleHandle());
            schedule->ClearNeedsRouteRebuild();
        }
    }
}

bool SaveSchedules() {
    ScheduleList& list = List();
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < list.entries.size(); ++i)
        if (list.entries[i])
            ids.push_back(uint32_t(i));
    uint32_t tag = kTagSdat;
    BeginChunk(tag);
    TransferVector(ids);
    EndChunk();
    for (uint32_t id : ids)
        if (!list.entries[id]->Transfer())
            return false;
    return !StreamFailed();
}

bool LoadSchedules() {
    uint32_t tag = 0;
    BeginChunk(tag);
    std::vector<uint32_t> ids;
    bool listed = false;
    if (tag == kTagSdat)
        listed = TransferVector(ids) >= 8;
    EndChunk();
    if (tag == 0 && !StreamFailed() && ChunkBytesLeft() == 0) {
        // An empty section: a game without schedules.
        DeleteAllSchedules();
        return true;
    }
    if (!listed || StreamFailed()) {
        GameLog("saved game: the schedules' \"sdat\" chunk is missing or damaged");
        return false;
    }
    std::vector<std::unique_ptr<VehicleSchedule>> entries;
    for (size_t i = 0; i < ids.size(); ++i) {
        const uint32_t id = ids[i];
        if (id >= kMaxScheduleId || (i > 0 && id <= ids[i - 1])) {
            GameLog("saved game: schedule id %u is out of order or beyond %u", id, kMaxScheduleId);
            return false;
        }
        if (entries.size() <= id)
            entries.resize(size_t(id) + 1);
        auto schedule = std::make_unique<VehicleSchedule>(false, 0);
        if (!schedule->Transfer()) {
            GameLog("saved game: schedule %u cannot be read", id);
            return false;
        }
        // The slot is the id, whatever the record says.
        schedule->SetId(int32_t(id));
        entries[id] = std::move(schedule);
    }
    ScheduleList& list = List();
    list.entries = std::move(entries);
    list.costs.clear();
    return true;
}

bool LookupLoadPointCost(ObjectHandle station, ObjectHandle previous, ObjectHandle next, uint8_t j,
                         uint32_t& cost) {
    const ScheduleList& list = List();
    auto it = list.costs.find(CostKey(station, previous, next, j));
    if (it == list.costs.end())
        return false;
    cost = it->second;
    return true;
}

void StoreLoadPointCost(ObjectHandle station, ObjectHandle previous, ObjectHandle next, uint8_t j,
                        uint32_t cost) {
    List().costs[CostKey(station, previous, next, j)] = cost;
}

void ClearLoadPointCostCache() {
    List().costs.clear();
}
