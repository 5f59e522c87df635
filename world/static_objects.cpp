#include "world/static_objects.h"

#include "world/bridge_span.h"
#include "world/headquarter.h"
#include "world/living_building.h"
#include "world/mountain.h"
#include "world/small_static_objects.h"
#include "world/special_building.h"
#include "world/storage_hall.h"

std::unique_ptr<MapObject> ConstructStaticObject(int32_t category, int32_t subtype) {
    if (category == kCategorySpan)
        return std::make_unique<BridgeSpan>();
    if (category != kCategoryBuilding)
        return nullptr;
    switch (subtype) {
    case LivingBuilding::kSubtype:
        return std::make_unique<LivingBuilding>();
    case SpecialBuilding::kSubtype:
        return std::make_unique<SpecialBuilding>();
    case Mountain::kSubtype:
        return std::make_unique<Mountain>();
    case StorageHall::kSubtype:
        return std::make_unique<StorageHall>();
    case WaterTower::kSubtype:
        return std::make_unique<WaterTower>();
    case Headquarter::kSubtype:
        return std::make_unique<Headquarter>();
    case TrackEndPiece::kSubtype:
        return std::make_unique<TrackEndPiece>();
    default:
        return nullptr;
    }
}
