// A vehicle schedule: the stops a vehicle drives in turn, what is loaded at
// each stop, the wait options, an income account and, for schedules that
// keep them, the routes between consecutive station stops with the load
// point chosen at each stop. Schedules live in the world's schedule list
// (schedule_list.h), where a schedule's index is its id.
#pragma once

#include "transport/waypoint_list.h"
#include "world/map_object.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class Station;

// One stop; 284 bytes in saved games and the flat form.
struct StopRecord {
    static constexpr uint32_t kBytes = 284;
    static constexpr uint32_t kProductSlots = 64;
    static constexpr uint32_t kStation = 0;
    static constexpr uint32_t kWaypoint = 1;

    StopRecord() { products.fill(-1); }

    // The used-slot count of a station stop: arg2's low byte, at most the
    // 64 slots there are.
    uint32_t UsedSlots() const { return std::min<uint32_t>(arg2 & 0xFFu, kProductSlots); }
    void Store(uint8_t* out) const;
    // Reads the first min(size, 284) bytes; the rest keep their defaults.
    void Load(const uint8_t* in, uint32_t size);

    uint32_t kind = kStation;
    uint32_t target = 0;
    uint32_t arg2 = 0;
    std::array<int32_t, kProductSlots> products{};
    uint32_t waitOption2 = 0;
    uint32_t waitOption1 = 0;
    uint32_t loadPoint = 1;
    uint32_t waitOption4 = 0;
};

class VehicleSchedule {
public:
    static constexpr uint32_t kSettingsWords = 16;
    static constexpr uint32_t kSettingsVehicles = 8;
    // IsDue answers true at most frequency times in this many milliseconds.
    static constexpr uint32_t kDuePeriodMs = 75000;
    // A route search cost counts as reachable when above 0 and at most this.
    static constexpr uint32_t kReachableCost = 50000;

    // Not in any list (id -1); CreateSchedule makes and registers one.
    VehicleSchedule(bool keepsRoutes, ObjectHandle vehicle);
    ~VehicleSchedule();
    VehicleSchedule(const VehicleSchedule&) = delete;
    VehicleSchedule& operator=(const VehicleSchedule&) = delete;

    ObjectHandle GetVehicleHandle() const { return vehicle_; }
    MapObject* GetVehicle() const;
    void SetVehicle(ObjectHandle handle);
    uint32_t GetMode() const { return mode_; }
    void SetMode(uint32_t mode) { mode_ = mode; }
    bool GetKeepsRoutes() const { return keepsRoutes_ != 0; }

    void AddIncome(int32_t amount);
    int64_t GetTotalIncome() const { return totalIncome_; }
    int64_t GetPeriodIncome(uint32_t k) const { return k < 2 ? periodIncome_[k] : 0; }
    // The running period becomes the one before; the running one starts at 0.
    void RollIncomePeriod();
    uint32_t GetAuxValue() const { return auxValue_; }
    void SetAuxValue(uint32_t v) { auxValue_ = v; }
    uint32_t GetCreated() const { return created_; }
    void SetCreated(uint32_t t) { created_ = t; }

    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    int32_t GetId() const { return id_; }
    void SetId(int32_t id) { id_ = id; }

    // Stops of either kind, by record index i.
    uint32_t GetStopCount() const { return uint32_t(stops_.size()); }
    const std::vector<StopRecord>& GetStops() const { return stops_; }
    // Out-of-range indexes read a default record and write nothing.
    uint32_t GetStopKind(uint32_t i) const { return Stop(i).kind; }
    uint32_t GetStopTarget(uint32_t i) const { return Stop(i).target; }
    uint32_t GetStopLoadPoint(uint32_t i) const { return Stop(i).loadPoint; }
    void SetStopLoadPoint(uint32_t i, uint32_t v);
    Station* GetStopStation(uint32_t i) const;
    void InsertStationStop(uint32_t i, ObjectHandle station, ObjectHandle vehicle, uint32_t loadPoint);
    void InsertWaypoint(uint32_t i, uint32_t a, uint32_t b);
    void RemoveStop(uint32_t i);
    // Removes the first station stop at the station.
    void RemoveStation(ObjectHandle station);
    void SetProducts(uint32_t i, uint32_t count,
                     const std::array<int32_t, StopRecord::kProductSlots>& values);
    // The used-slot count and the entries of stop i; 0 and null when out of range.
    uint32_t GetProducts(uint32_t i, const int32_t** out) const;
    uint32_t GetWaitOption1(uint32_t i) const { return Stop(i).waitOption1; }
    uint32_t GetWaitOption2(uint32_t i) const { return Stop(i).waitOption2; }
    uint32_t GetWaitOption4(uint32_t i) const { return Stop(i).waitOption4; }
    void SetWaitOption1(uint32_t i, uint32_t v);
    void SetWaitOption2(uint32_t i, uint32_t v);
    void SetWaitOption4(uint32_t i, uint32_t v);

    // Station stops, counted n = 0, 1, ... over the records of kind 0; an n
    // past them means station stop 0.
    uint32_t GetStationStopCount() const;
    // The record index of station stop n; -1 without station stops.
    int32_t StationStopIndex(uint32_t n) const;
    Station* GetStationOfStop(uint32_t n) const;
    ObjectHandle GetStationIdOfStop(uint32_t n) const;
    uint32_t GetProductCount(uint32_t n) const;
    // The k-th used product of station stop n; -1 when there is none.
    int32_t GetProduct(uint32_t n, uint32_t k) const;
    void AddProduct(uint32_t n, int32_t product);
    void RemoveProduct(uint32_t n, int32_t product);
    uint32_t CountProductAtStop(uint32_t n, int32_t product) const;
    // True without station stops; with checkAll also when a stop's station is gone.
    bool LacksStations(bool checkAll) const;

    uint32_t GetFrequency() const { return frequency_; }
    void SetFrequency(uint32_t f) { frequency_ = f; }
    uint32_t GetLastDue() const { return lastDue_; }
    // The rate limiter: true at most frequency times per 75000 ms (always
    // with frequency 0); a true answer remembers now.
    bool IsDue(uint32_t now);

    std::array<uint32_t, kSettingsWords> GetSettingsBlock() const { return settings_; }
    void SetSettingsBlock(const std::array<uint32_t, kSettingsWords>& block) { settings_ = block; }
    uint32_t ClearSettingsHead();

    // Routes: element k leads from station stop k to station stop k + 1 (the
    // last one back to stop 0).
    uint32_t GetRouteCount() const { return uint32_t(routes_.size()); }
    // Route k when the schedule keeps routes and it holds a point, else null.
    const WaypointList* GetRoute(uint32_t k) const;
    // Chooses the load points and computes every route again.
    void RebuildRoutes(ObjectHandle vehicle);
    // Fills list with the route from station stop a to station stop b.
    bool ComputeSegment(uint32_t a, uint32_t b, WaypointList& list, uint8_t flags);
    void ChooseLoadPoint(uint32_t n, ObjectHandle vehicle);
    // 0 when load point j of station stop n is unusable or a neighbouring
    // station stop cannot be reached; else the summed route costs.
    uint32_t RateLoadPoint(uint32_t n, uint32_t j, ObjectHandle vehicle);
    // Station stop n's route cost from load point j of its station to
    // load point (or any point when 0) of station stop m; 0 for none.
    uint32_t CostBetween(uint32_t n, uint32_t j, uint32_t m, uint32_t targetPoint) const;

    // Paths for the vehicles that follow the schedule. The path from station
    // stop a to station stop b into the vehicle's list: it starts at the
    // list's last point (taken off) or at stop a's load point. useStored
    // leads it along the stored route of segment a, force computes that
    // route anew first. False, with the list as it was, when none is found.
    bool PlanVehiclePath(uint32_t a, uint32_t b, WaypointList& path, uint8_t flags, bool useStored,
                         bool force);
    // A new path for a vehicle that left or lost its route on segment n;
    // tries the target station's other load points, and takes the first
    // that can be reached.
    bool Repath(uint32_t n, WaypointList& path);
    // For a vehicle at (x, y) on segment k that cannot go on: a path to a
    // later point of the stored route, else to another load point of the
    // target station (which the stop then takes). False, with the list as
    // it was, when there is none.
    bool Detour(uint32_t k, uint32_t x, uint32_t y, WaypointList& path);
    // Whether the stored route of segment k still holds: the stop's load
    // point is kept and every step of the route is a usable way. Otherwise
    // it is computed anew; false when no route can be made, and while the
    // owner of a train has track construction pending.
    bool ValidateRoute(uint32_t k);
    // ValidateRoute for every segment from k on, wrapping, k first and last.
    bool ValidateRoutesFrom(uint32_t k);
    // Whether route k passes (x, y) before it reaches the stop tile: a tile
    // a new path from the stop tile must not use, since it leads back.
    bool IsOnOwnRoute(uint32_t k, uint32_t x, uint32_t y, uint32_t stopX, uint32_t stopY) const;

    // The summed cheapest route costs from load point j of the station to
    // every station stop at another station; 0 when j does not suit the
    // vehicle (any point suits vehicle 0) or a stop cannot be reached.
    uint32_t RouteCostFromStation(const Station& station, uint32_t j, ObjectHandle vehicle) const;
    // False when no load point of the station reaches every station stop;
    // else true, and a point of 0 or one that reaches none is replaced by
    // the cheapest (the first of equal ones).
    bool ChooseLoadPointForStation(const Station& station, uint32_t& point, ObjectHandle vehicle) const;

    // Whether both schedules hold the same stops, routes and vehicles.
    bool IsEqual(const VehicleSchedule* other) const;
    // A copy: stops, routes, frequency, name, mode, aux value and settings;
    // id as given.
    std::unique_ptr<VehicleSchedule> Clone(ObjectHandle vehicle) const;
    // Takes over the copy's stops, routes, frequency, name, mode, aux value
    // and settings.
    void TakeOver(const VehicleSchedule& copy);

    // The flat form of commands: false when it would pass capacity bytes.
    bool WriteFlat(std::vector<uint8_t>& out, uint32_t capacity) const;
    // Reads a flat form; false, with a log line and the schedule as it was,
    // for a damaged one.
    bool ReadFlat(std::span<const uint8_t> bytes);

    // The schedule's chunks and routes on the current chunk stream; loading
    // answers false, with a log line, for damaged content. A route that
    // fails to load is logged and left empty, and the schedule marked for
    // RebuildRoutes once the stations are back.
    bool Transfer();
    bool NeedsRouteRebuild() const { return needsRebuild_; }
    void ClearNeedsRouteRebuild() { needsRebuild_ = false; }

private:
    const StopRecord& Stop(uint32_t i) const;
    StopRecord* MutableStop(uint32_t i) { return i < stops_.size() ? &stops_[i] : nullptr; }
    // Repairs what a load or a flat form may hold that the schedule cannot use.
    void Repair(const char* where);

    std::vector<StopRecord> stops_;
    std::vector<std::unique_ptr<WaypointList>> routes_;
    uint8_t keepsRoutes_ = 0;
    ObjectHandle vehicle_ = 0;
    uint32_t mode_ = 0;
    uint32_t lastDue_ = 0;
    uint32_t frequency_ = 0;
    uint32_t auxValue_ = 0;
    uint32_t created_ = 0;
    int64_t totalIncome_ = 0;
    std::array<int64_t, 2> periodIncome_{};
    std::array<uint32_t, kSettingsWords> settings_{};
    int32_t id_ = -1;
    std::string name_;
    bool needsRebuild_ = false;
    // What a saved schedule without routes stored as its route count.
    uint32_t idleRouteCount_ = 0;
};

// The name a schedule has until it is named: the schedule dialog's text 2.
std::string DefaultScheduleName();

// What a schedule asks of the vehicles; the vehicles install it. Without
// it every handle names no vehicle.
struct ScheduleVehicleHooks {
    // The vehicle's transport mode, -1 when the handle names none.
    int32_t (*mode)(ObjectHandle vehicle) = nullptr;
    // Its type and graphic variant as one key, -1 when the handle names none.
    int64_t (*kind)(ObjectHandle vehicle) = nullptr;
};
void SetScheduleVehicleHooks(const ScheduleVehicleHooks& hooks);
int32_t ScheduleVehicleMode(ObjectHandle vehicle);
int64_t ScheduleVehicleKind(ObjectHandle vehicle);
