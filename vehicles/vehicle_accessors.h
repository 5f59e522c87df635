// Queries and changes that reach every vehicle at once: a demolished
// station leaves every schedule.
#pragma once

#include "world/map_object.h"

// Takes the station's stops out of every vehicle's schedule; an aircraft
// heading for it looks for another station.
void RemoveStopFromVehicles(ObjectHandle station);
