// The world's schedules: one list whose index is a schedule's id (a null
// entry is a free id), the periodic income roll, the saved game's "sch"
// section and the load-point cost cache that the track schedules share.
#pragma once

#include "vehicles/schedule.h"

#include <cstdint>
#include <memory>

uint32_t GetScheduleCount();
// Entry i, null when free or out of range.
VehicleSchedule* GetSchedule(uint32_t i);
void DeleteSchedule(uint32_t i);
// Every schedule goes and the cost cache is emptied: at a reset and a new game.
void DeleteAllSchedules();
void RollIncomePeriod();
// A new schedule, registered in the first free entry (created = now).
VehicleSchedule* CreateSchedule(bool keepsRoutes, ObjectHandle vehicle);
// Puts a schedule into the first free entry and answers it.
VehicleSchedule* RegisterSchedule(std::unique_ptr<VehicleSchedule> schedule);
// An unregistered copy that keeps the source's id (vehicle 0: the source's).
std::unique_ptr<VehicleSchedule> CopySchedule(const VehicleSchedule& source, ObjectHandle vehicle);
// The listed schedule with the copy's id takes over the copy; false when
// there is none.
bool ApplyScheduleCopy(const VehicleSchedule& copy);
void RemoveStationFromAllSchedules(ObjectHandle station);
// A schedule still under its default name is named "<first> - <last>"
// after its first and last station stops' stations.
void NameFromStations(VehicleSchedule& schedule);
// Schedules whose routes failed to load get them computed again.
void RebuildDamagedRoutes();

// The "sch" section's content: "sdat", then each schedule. Loading fills an
// empty list; false, with a log line and the list as it was, when the
// content is damaged.
bool SaveSchedules();
bool LoadSchedules();

// The track schedules' load-point ratings, keyed by the stop's station,
// the previous and next station stops' stations and the load point.
bool LookupLoadPointCost(ObjectHandle station, ObjectHandle previous, ObjectHandle next, uint8_t j,
                         uint32_t& cost);
void StoreLoadPointCost(ObjectHandle station, ObjectHandle previous, ObjectHandle next, uint8_t j,
                        uint32_t cost);
void ClearLoadPointCostCache();
