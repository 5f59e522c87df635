// The object manager: the one factory of map objects, their ids and four
// lists (one per category), lookup, filtering, deletion, the passes over all
// buildings, and saving and loading every object at its id.
#pragma once

#include "world/map_object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

using MapObjectConstructor = std::function<std::unique_ptr<MapObject>(int32_t subtype)>;

// Registers the class that CreateMapObject builds for a pair. Subtype -1
// stands for every subtype of the category (categories 0 and 3). A later
// registration replaces an earlier one.
void RegisterMapObjectClass(int32_t category, int32_t subtype, MapObjectConstructor constructor);
// Whether the pair is one the factory knows (whatever class is registered).
bool IsKnownObjectKind(int32_t category, int32_t subtype);

// Builds an object of the pair and registers it: with id 0xFFFFFFFF in the
// lowest free slot of its category, else in the slot the id names (which
// must be free). Null for an unknown pair or an unusable id.
MapObject* CreateMapObject(int32_t category, int32_t subtype, ObjectHandle id = 0xFFFFFFFFu);

MapObject* MapObjectFromId(ObjectHandle id);
MapObject* BuildingFromId(ObjectHandle id);
MapObject* MovingObjectFromId(ObjectHandle id);
void DeleteMapObject(ObjectHandle id);
void DeleteAllMapObjects();

inline constexpr uint32_t kSelectCategory = 1;
inline constexpr uint32_t kSelectSubtype = 2;
inline constexpr uint32_t kSelectOwner = 4;
// Objects of the category's list, in slot order, passing the tests mode
// selects.
void GetMapObjects(std::vector<MapObject*>& out, uint32_t mode, int32_t category, int32_t subtype,
                   int32_t owner);
// The buildings of a subtype that are of class T, in slot order.
template <class T>
std::vector<T*> BuildingsOf(int32_t subtype) {
    std::vector<MapObject*> objects;
    GetMapObjects(objects, kSelectCategory | kSelectSubtype, kCategoryBuilding, subtype, 0);
    std::vector<T*> out;
    for (MapObject* o : objects)
        if (T* t = dynamic_cast<T*>(o))
            out.push_back(t);
    return out;
}
// Slots of a category's list, free ones included.
uint32_t MapObjectSlotCount(int32_t category);

void UpdateBuildingsPeriod();
void UpdateBuildingsMonth();
void UpdateBuildingsYear();
void UpdateBuildings(uint32_t gameTimeMs);
void ClearAllBuildingHighlights();

// The object section's chunks ("anz", "objs", then every object's own).
// Loading expects empty lists; it skips records that are unusable (index 0,
// an id of another category, a taken slot, an unknown pair), logging each.
bool SaveMapObjects();
bool LoadMapObjects();
