// The ways an airport's layout gives its aircraft: the approach, the
// landing and taxi to each stand, the take-off from each stand and the
// holding circuit, turned with the station and kept on the map.
#pragma once

#include "transport/waypoint_list.h"

#include <cstdint>

class Station;

// ROUTE n - 1 lands and taxis to stand n; ROUTE n + 63 leaves stand n.
inline constexpr uint32_t kAirportFirstStandRoute = 0;
inline constexpr uint32_t kAirportExitRouteOffset = 63;
// The circuit flown while the runway or every stand is taken.
inline constexpr uint32_t kAirportHoldingRoute = 100;
// Aircraft types that fly straight onto a pad.
inline constexpr int32_t kAirshipType = 15;
inline constexpr int32_t kHelicopterType = 16;

bool IsPadAircraftType(int32_t vehicleType);
// Appends ROUTE n of the station's layout, turned and moved with the
// station, points off the map moved onto its edge; false when the layout
// has no such route.
bool AppendAirportRoute(const Station& station, uint32_t n, WaypointList& list);
// The point a flight to the airport ends at before it may come down: the
// first point of its first landing route (its first load point when the
// layout has none).
bool GetAirportApproach(const Station& station, int32_t& x, int32_t& y);
