// The object classes of the movers that are no company vehicles: the town
// cars, the farm animals and the field machines, registered with the object
// manager of the current world.
#pragma once

void RegisterMoverClasses();
void UnregisterMoverClasses();
