#include "vehicles/movers.h"

#include "vehicles/building_walker.h"
#include "vehicles/harvester.h"
#include "vehicles/private_car.h"
#include "world/object_manager.h"

#include <memory>

void RegisterMoverClasses() {
    RegisterMapObjectClass(kCategoryMoving, kPrivateCarSubtype,
                           [](int32_t) { return std::make_unique<PrivateCar>(); });
    RegisterMapObjectClass(kCategoryMoving, kBuildingWalkerSubtype,
                           [](int32_t) { return std::make_unique<BuildingWalker>(); });
    RegisterMapObjectClass(kCategoryMoving, kHarvesterSubtype,
                           [](int32_t) { return std::make_unique<Harvester>(); });
}

void UnregisterMoverClasses() {
    RegisterMapObjectClass(kCategoryMoving, kPrivateCarSubtype, nullptr);
    RegisterMapObjectClass(kCategoryMoving, kBuildingWalkerSubtype, nullptr);
    RegisterMapObjectClass(kCategoryMoving, kHarvesterSubtype, nullptr);
}
