// The row of parts a scheduled vehicle is made of: the powered units its
// schedule names, laid out by their types' layouts, and the waggons or
// trailers the products of a stop call for. The vehicle takes its car
// motion records from this row; the schedule dialogs show it as a preview.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class VehicleSchedule;

enum PartKind : int32_t {
    kPartUnit = 0,             // a powered unit, normal facing
    kPartUnitSecond = 1,       // a unit of the second layout kind
    kPartCar = 2,              // a waggon or trailer
    kPartUnitTurned = 3,       // a unit facing the other way
    kPartUnitSecondTurned = 4, // a second-kind unit facing the other way
};

struct CompositionPart {
    int32_t kind = kPartUnit;
    // Vehicle row of a unit; Waggons row (rail) or TruckTrailer row (road)
    // of a car.
    int32_t type = 0;
    int32_t variant = 0;
    int32_t shownVariant = 0;
    // The product slot of the stop the part carries, -1 for none.
    int32_t productSlot = -1;
    // Quarter squares; with idsOnly the handle of the unit's vehicle.
    int32_t length = 0;
    int32_t spare = 0;
};

// The parts of the schedule's train at station stop n, by the schedule's
// transport mode. idsOnly leaves out every car and gives each unit part
// the handle of its vehicle instead of its length.
void DispatchByMode(const VehicleSchedule& schedule, uint32_t stationStop, bool idsOnly,
                    std::vector<CompositionPart>& out);

// The same for the units named by handles (0 ends the list), built by the
// rules of the transport mode.
using UnitHandles = std::array<uint32_t, 8>;
void ComposeParts(uint32_t mode, const VehicleSchedule& schedule, const UnitHandles& handles,
                  uint32_t stationStop, bool idsOnly, std::vector<CompositionPart>& out);

// The weight the train of station stop n carries: the passengers and mail
// its parts seat, the products of its product slots, and the waggons' own
// weight (rail).
float CompositionLoad(const VehicleSchedule& schedule, uint32_t stationStop);

// The waggon row that carries a product behind a rail vehicle type: the
// type's own choice for the product, else the product's waggon type; -1
// when neither names a Waggons row.
int32_t WaggonTypeFor(int32_t vehicleType, int32_t product);
