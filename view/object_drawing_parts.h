// The pieces the map objects' drawing shares between its files.
#pragma once

#include "world/map_object.h"

#include <cstdint>
#include <string>

class Building;
class TiledImage;

uint32_t ObjectDepthKey(ObjectHandle id, uint32_t low);
// Queues a picture placed on the map at tile (x, y) with a footprint part.
bool QueueAt(const TiledImage* image, int32_t x, int32_t y, int32_t part, uint32_t colour, int32_t blend,
             uint32_t key, int32_t layer = 1, uint32_t param1 = 0);
int32_t DrawSign(int32_t x, int32_t y, const std::string& text, uint32_t key);
int32_t DrawOwnerIcon(const MapObject& object, int32_t x, int32_t y, uint32_t key);
// A station's images; -1 when the building is no station.
int32_t DrawStationParts(const Building& building, uint32_t ownerColour, bool buildingsShown);
