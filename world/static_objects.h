// The world's own static object classes for the object factory: town
// houses, special town buildings, mountains, storage halls, water towers,
// headquarters, track end pieces and bridge spans.
#pragma once

#include <cstdint>
#include <memory>

class MapObject;

// The object of a pair this folder builds, null for any other pair.
std::unique_ptr<MapObject> ConstructStaticObject(int32_t category, int32_t subtype);
