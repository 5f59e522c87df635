// The vehicle: the moving object a company buys to carry passengers, mail
// and products, a road vehicle, train, ship or aircraft by its type's
// transport mode. It keeps a 256-byte state block saved as it stands, its
// car list, its trail of occupied tiles, its cargo books, the route to its
// next stop and the schedule it runs. A train of several powered units is
// a leading vehicle with up to seven coupled ones (state -1).
#pragma once

#include "transport/waypoint_list.h"
#include "vehicles/moving_object.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class Station;
class VehicleSchedule;
struct VehicleRow;

inline constexpr int32_t kVehicleSubtype = 2;

enum VehicleState : int32_t {
    kStateIdle = -3,
    kStateHeld = -2,
    kStateCoupled = -1,
    kStateDead = 0,
    kStateWaitsPlacing = 1,
    kStateMoving = 2,
    kStateArrives = 3,
    kStateUnloading = 4,
    kStateReadyToGo = 5,
    kStateBlockedAtStation = 6,
    kStateBlockedOnTrack = 7,
    kStateEntering = 8,
    kStateWaitingInStation = 9,
    kStateWaitsPassing = 10,
    kStatePassing = 11,
    kStateTurning = 12,
    kStateBroken = 13,
    kStateReadyToBeRemoved = 14,
    kStateTankingWater = 16,
    kStateLoading = 17,
    kStateTankingWaterInStation = 18,
    kStateFlyToNewStation = 19,
};

// The state's name, "" for 15 and for values without a name.
const char* VehicleStateName(int32_t state);

struct CarRecord {
    int32_t product = -1;
    int32_t word1 = 0;
    int32_t amount = 0;
    int32_t word3 = -1;
    int32_t word4 = -1;
};

struct TrailPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct CargoRecord {
    uint32_t destination = 0;
    uint32_t time = 0;
    uint32_t amount = 0;
    int32_t boardX = 0;
    int32_t boardY = 0;
};

// Answers of the stop service and the loading calls.
inline constexpr uint32_t kServeDone = 0;
inline constexpr uint32_t kServeCarServed = 1;
inline constexpr uint32_t kServeWaitsForCargo = 2;
inline constexpr uint32_t kServeNotReady = 3;

struct CargoBook {
    std::map<uint32_t, std::vector<CargoRecord>> aboard;
    std::map<uint32_t, std::map<uint32_t, uint32_t>> boardings;
};

class Vehicle final : public MovingObject {
public:
    static constexpr uint32_t kBlockBytes = 256;
    static constexpr uint32_t kCars = 74;
    static constexpr uint32_t kTrail = 128;
    static constexpr uint32_t kUnits = 8;
    static constexpr uint32_t kMotionWords = 13;

    Vehicle() : MovingObject(kVehicleSubtype) {}
    ~Vehicle() override;

    // Set-up after creation: type row, owning company and the buy value.
    void Init(int32_t type, int32_t owner, uint32_t value);
    // Gives the vehicle a schedule (a listed one, or an unlisted one that is
    // copied into the list). Nothing while broken.
    void SetSchedule(VehicleSchedule* schedule);
    // Leaves the schedule of the index when it runs it: every reservation
    // goes, its units are uncoupled and it becomes idle.
    void RemoveFromSchedule(int32_t index);
    VehicleSchedule* GetSchedule() const { return schedule_; }
    // Before the vehicle is deleted (sold, say): gives up its station slot
    // and reservations, and its units go back to idle.
    void ReleaseForRemoval();
    int32_t GetScheduleIndex() const;

    void Update(uint32_t now) override;
    void Serialize() override;
    void GetInfoText(std::string& out) const override;
    bool IsReadyToBeRemoved() const override { return GetState() == kStateReadyToBeRemoved; }
    ObjectHandle GetBlockerId() const override { return U32(36); }
    int32_t GetVehicleType() const override;
    int32_t GetConnectionType() const override;
    int32_t GetMovingKind() const override { return kMovingKindVehicle; }
    uint32_t GetSpeed() const override { return U32(100); }
    void ReleaseReservations() override;
    void Step() override;
    void WakeNow() override;
    uint32_t GetCapacity() const;
    // Straight-line depreciation of the price in whole years.
    int64_t GetCurrentValue() const override;

    // The head's tile (trail point 0).
    void GetHeadPosition(int32_t& x, int32_t& y) const {
        x = trail_[0].x;
        y = trail_[0].y;
    }

    int32_t GetState() const { return int32_t(U32(92)); }
    void SetState(int32_t state) { SetU32(92, uint32_t(state)); }
    uint32_t GetCurrentStop() const { return U32(0); }
    // The stop the vehicle heads for: the one after the current stop.
    uint32_t GetNextStop() const;
    uint32_t GetReservedSlot() const { return U32(16); }
    // The loading area held at the current stop, 1 to 64; 0 for none.
    void SetReservedSlot(uint32_t slot) { SetU32(16, slot <= 64 ? slot : 0); }
    uint32_t GetNumber() const { return U32(112); }
    uint32_t GetPurchaseYear() const { return U32(108); }
    float GetCondition() const { return F32(72); }
    uint32_t GetUnit(uint32_t i) const { return i < kUnits ? U32(128 + 4 * i) : 0; }
    void SetUnit(uint32_t i, ObjectHandle id) {
        if (i < kUnits)
            SetU32(128 + 4 * i, id);
    }
    uint32_t GetBuyValue() const { return U32(208); }
    void SetBuyValue(uint32_t v) { SetU32(208, v); }
    const std::array<uint8_t, kBlockBytes>& Block() const { return block_; }
    const WaypointList* GetRoute() const { return route_.get(); }
    void SetRoute(std::unique_ptr<WaypointList> route) { route_ = std::move(route); }
    uint32_t GetRoutePosition() const { return U32(12); }
    void SetRoutePosition(uint32_t p) { SetU32(12, p); }
    const std::vector<CarRecord>& Cars() const { return cars_; }
    const std::vector<TrailPoint>& Trail() const { return trail_; }
    // The car motion records and the trail flags, read by the drawing.
    const std::vector<std::array<uint32_t, kMotionWords>>& Motion() const { return motion_; }
    const std::vector<uint8_t>& TrailFlags() const { return trailFlags_; }
    const std::vector<uint32_t>& TrailObjects() const { return trailObjects_; }
    void SetHead(int32_t x, int32_t y);
    void ResetCargoBooks();

    // The type row, null when the type names none.
    const VehicleRow* Row() const;

    // ---- Movement: wake-up, step and placing (vehicle_motion.cpp), the
    // advance checks (vehicle_advance.cpp, aircraft_advance.cpp) and the
    // trail (vehicle_trail.cpp). ----
    // Puts the vehicle on its current stop's slot; false when it cannot.
    bool Place();
    // The way to the next stop; false when there is none.
    bool PlanRouteToNextStop(bool fromStop);
    // Whether the vehicle may enter (x, y) with the heading (a direction
    // mask); may reserve a slot or a signal and records the blocker.
    bool CanAdvanceTo(int32_t x, int32_t y, uint32_t heading);
    bool CanAdvanceRoad(int32_t x, int32_t y, uint32_t heading);
    bool CanAdvanceRail(int32_t x, int32_t y, uint32_t heading);
    bool CanAdvanceWater(int32_t x, int32_t y, uint32_t heading);
    bool CanAdvanceAir(int32_t x, int32_t y, uint32_t heading);
    // An aircraft's way to its next airport's approach, from its stand by
    // the stand's take-off route when it leaves a stop.
    bool PlanAirRoute(bool fromStop);
    // Trains close the level crossings on their next five squares.
    void CloseCrossingsAhead();
    // The first station on the tiles the vehicle occupies, null for none.
    Station* GetStationUnderVehicle() const;
    bool StandsInStation() const override { return GetStationUnderVehicle() != nullptr; }
    // Brings the car motion records of a moving train to the time.
    void AdvanceUnits(uint32_t now);
    // Gives up the signal block the train is in.
    void ReleaseSignalBlocks();
    // Tiles the vehicle occupies from its head, 1 to the trail's size.
    uint32_t GetOccupiedLength() const;
    void SetOccupiedLength(uint32_t tiles);
    uint32_t GetHeading() const { return block_[29]; }
    void SetBlocker(ObjectHandle id) { SetU32(36, id); }
    // The next wake-up comes delay ms after this one.
    void ScheduleStep(uint32_t delay);
    std::vector<std::array<uint32_t, kMotionWords>>& Motion() { return motion_; }
    void ClaimLanes() override;
    bool IsDeadForLanes() const override { return GetState() < 0; }
    uint32_t GetHeadingAt(int32_t x, int32_t y) const override;
    bool StartRouteCursor(RouteCursor& cursor) const override;
    bool NextRouteTile(RouteCursor& cursor) const override;
    // Economics, consist limits and stop queries (vehicle_costs.cpp,
    // vehicle_types.cpp, vehicle_accessors.cpp).
    float GetAccelerationFactor() const;
    float GetWearPerSquare() const;
    float GetBreakDownRisk() const;
    void OnSquareTravelled();
    float BookRunningCost();
    float BookConsistRunningCost();
    float Repair(bool singleUnit);
    void StartLoadingWait();
    void TakeWater();
    bool NeedsWaterAt(int32_t x, int32_t y) const;
    uint32_t GetSpeedLimit() const override;
    uint32_t GetStepTime() const override;
    float GetTrailSpeedLimit() const;
    uint32_t GetTimePerSquare() const;
    uint32_t ScheduleStep(uint32_t delay, bool moveCars);
    float GetAgeYears() const;
    void UpdateConsistLimits();
    // The type rows that set the train's limits, -1 for none.
    int32_t GetSpeedType() const { return int32_t(U32(192)); }
    int32_t GetAccelerationType() const { return int32_t(U32(196)); }
    int32_t GetCurveType() const { return int32_t(U32(200)); }
    int32_t GetStartType() const { return int32_t(U32(204)); }
    std::vector<ObjectHandle> FindSimilarVehicles() const;
    bool IsShipWithoutCars() const;
    uint32_t GetNextStopIndex() const { return GetNextStop(); }
    void RemoveStationFromSchedule(ObjectHandle station);
    void SetCondition(float c) { SetF32(72, c); }
    float GetWater() const { return F32(120); }
    void SetWater(float w) { SetF32(120, w); }
    float GetTrainWeight() const { return F32(252); }
    void SetTrainWeight(float w) { SetF32(252, w); }
    uint32_t GetTilesTravelled() const { return U32(76); }
    uint32_t GetRunningCostBookings() const { return U32(88); }
    uint64_t GetStartTick() const;
    uint64_t GetLastRepairTick() const;
    uint32_t GetPreviousWake() const { return U32(20); }
    uint32_t GetWakeTime() const { return U32(24); }
    uint32_t GetTimePerTile() const { return U32(100); }
    // The length of the train in trail tiles.
    uint32_t GetTrailLength() const { return block_[31]; }
    // Stops and cargo (vehicle_loading.cpp): the stop service, the town
    // cargo books, capacities, weight and the coupling of a train's units.
    // Answers of ServeStop and the loading calls are the kServe* values.
    uint32_t ServeStop(uint32_t stop);
    void UnloadPassengers(uint32_t stop, float& income) { UnloadTownCargo(stop, false, income); }
    void UnloadMail(uint32_t stop, float& income) { UnloadTownCargo(stop, true, income); }
    uint32_t LoadPassengers(uint32_t stop) { return LoadTownCargo(stop, false); }
    uint32_t LoadMail(uint32_t stop) { return LoadTownCargo(stop, true); }
    uint32_t GetCarPassengerCapacity(uint32_t record) const { return CarCapacity(record, false); }
    uint32_t GetCarMailCapacity(uint32_t record) const { return CarCapacity(record, true); }
    void UpdatePassengerCapacity() { SetU32(216, TrainCapacity(false)); }
    void UpdateMailCapacity() { SetU32(232, TrainCapacity(true)); }
    float ComputeTrainWeight();
    bool CoupleUnits(bool handOver);
    void HandOverToLead(Vehicle& lead, bool handOver);
    // One car motion record per unit the train holds, each with its car.
    void BuildMotionRecords();
    // Trains (train_composition.cpp, train_platform.cpp): the car motion
    // records of the current stop's composition, the whole consist from
    // the schedule, the train's length in trail tiles, the cars laid on
    // the platform with the head at (x, y), and each car's timing when the
    // head takes a step.
    uint32_t GetCurrentStationStop() const;
    void ComposeFromSchedule();
    void RebuildConsistFromSchedule();
    uint32_t GetTrainTiles() const;
    void PlaceAtPlatform(int32_t x, int32_t y, uint32_t heading);
    void TimeCarsForStep(uint32_t delay, bool departing);
    // After loading: the cargo totals from the books, the weight anew.
    void RecountCargo();
    uint32_t GetPassengersAboard() const { return U32(212); }
    uint32_t GetPassengerCapacity() const { return U32(216); }
    uint32_t GetMailAboard() const { return U32(228); }
    uint32_t GetMailCapacity() const { return U32(232); }
    float GetStopIncome() const { return F32(220); }
    float GetStopCosts() const { return F32(224); }
    void SetStopCosts(float v) { SetF32(224, v); }
    int32_t GetServedCar() const { return int32_t(U32(240)); }
    const CargoBook& PassengerBook() const { return passengers_; }
    const CargoBook& MailBook() const { return mail_; }
    void SetCar(uint32_t i, const CarRecord& car) {
        if (i < cars_.size())
            cars_[i] = car;
    }
    using MotionRecord = std::array<uint32_t, kMotionWords>;
    const std::vector<MotionRecord>& MotionRecords() const { return motion_; }
    void SetMotionRecords(std::vector<MotionRecord> records);
    // Breakdowns, scrapping and the arrival at a stop (vehicle_breakdown.cpp).
    bool CheckBreakdown();
    void Scrap();
    void OnArrival();
    // The developer text with raw values (vehicle_texts.cpp).
    void DebugDump(std::string& out) const override;

private:
    uint32_t U32(uint32_t at) const;
    void SetU32(uint32_t at, uint32_t v);
    float F32(uint32_t at) const;
    void SetF32(uint32_t at, float v);
    void SetWake(uint32_t previous, uint32_t next);
    // Gives up the station slot at the current stop and leaves the station.
    void ReleaseStationSlot();
    // An aircraft's stand, runway and queue place (aircraft_advance.cpp).
    void ReleaseAirSlot();
    // The airport at which an aircraft's stand is held.
    Station* AirSlotStation() const;
    // Takes the units the schedule names, coupling them.
    void TakeUnits();
    // Units held for or coupled into this vehicle become idle again.
    void ReleaseUnits(bool keepOwn);
    void SizeVectors();
    void RepairLoaded();
    // Movement helpers (vehicle_motion.cpp, vehicle_trail.cpp).
    void Movement(bool fromSecondPart);
    void StationStep();
    void FlyToNextStation();
    void MoveHeadTo(int32_t x, int32_t y, uint32_t heading);
    void ReleaseLanes();
    // Whether the vehicle stands on the map and holds lanes there.
    bool HoldsLanes() const;
    void LeaveDepartedStation();
    bool ReserveGoalSlot(Station& station, uint32_t area);
    bool RouteToLoadArea(Station& station, uint32_t area);
    uint32_t LoadTownCargo(uint32_t stop, bool mail);
    void UnloadTownCargo(uint32_t stop, bool mail, float& income);
    uint32_t CarCapacity(uint32_t record, bool mail) const;
    uint32_t TrainCapacity(bool mail) const;
    // Unloads the first car the stop does not keep: true when one was served.
    bool UnloadOneProductCar(uint32_t stop, bool& more);
    uint32_t LoadProducts(uint32_t stop);

    std::array<uint8_t, kBlockBytes> block_{};
    std::vector<CarRecord> cars_;
    std::vector<TrailPoint> trail_;
    std::vector<uint32_t> trailObjects_;
    std::vector<std::array<uint32_t, kMotionWords>> motion_;
    std::vector<uint8_t> trailFlags_;
    CargoBook passengers_;
    CargoBook mail_;
    std::unique_ptr<WaypointList> route_;
    VehicleSchedule* schedule_ = nullptr;
};

Vehicle* GetVehicle(ObjectHandle id);
// The owner's vehicles of a transport mode, in slot order.
std::vector<Vehicle*> VehiclesOf(int32_t owner, int32_t mode);
// Every vehicle, in slot order.
std::vector<Vehicle*> AllVehicles();
