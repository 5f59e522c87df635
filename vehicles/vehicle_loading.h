// What loading and unloading ask of the towns and factories above the
// vehicles: the passengers and mail waiting at a town factory, their taking,
// a factory's demand, and a product unit from a station's factories. The
// economy installs these hooks; without them nothing waits and nothing is
// taken.
#pragma once

#include "world/map_object.h"

#include <cstdint>
#include <functional>
#include <map>

class Station;

inline constexpr int32_t kPassengerCargo = 998;
inline constexpr int32_t kMailCargo = 999;

struct VehicleCargoHooks {
    // The waiting passengers (or mail) of a town factory by destination
    // town factory; null when the id names no town factory.
    std::function<const std::map<ObjectHandle, uint32_t>*(ObjectHandle factory, bool mail)> waiting;
    // Takes n of them bound for the destination.
    std::function<void(ObjectHandle factory, ObjectHandle destination, bool mail, uint32_t n)> take;
    // A factory's demand factor for a product; 1.0 when empty.
    std::function<float(ObjectHandle factory, int32_t product)> demand;
    // One unit of the product from the factories around a station's
    // group: true when one came.
    std::function<bool(const Station& station, int32_t product)> takeProduct;
};

VehicleCargoHooks& GetVehicleCargoHooks();
