// The drawing of the map objects: each building and bridge or tunnel piece
// that the map view lists puts its images into the frame's draw layers.
// Most buildings are one picture (their GetGraphic); factories lay out
// their modules or fences, stations their parts, decorations and signs,
// storage halls and headquarters add their signs and labels, bridge
// pieces their deck halves. Main thread only.
#pragma once

#include "engine/engine_state.h"
#include "world/map_object.h"
#include "world/static_object_services.h"

#include <cstdint>
#include <vector>

class Building;
class BridgeSpan;
class TiledImage;

// One fence image of a factory: its tile, the side of the tile (0 top,
// 1 right, 2 bottom, 3 left) and the name field it is fetched with.
struct FenceTile {
    int32_t x = 0, y = 0;
    int32_t side = 0;
    int32_t fieldA = 0;
    friend bool operator==(const FenceTile&, const FenceTile&) = default;
};

// The fence of an animal farm of w x h tiles at (x, y): the top and left
// edges whole, the bottom and right edges without their last four tiles
// (the farm's gate); an edge shorter than five tiles has no part of it
// there.
std::vector<FenceTile> AnimalFarmFence(int32_t x, int32_t y, int32_t w, int32_t h);
// The fence of an attraction's building site: all four edges whole.
std::vector<FenceTile> AttractionFence(int32_t x, int32_t y, int32_t w, int32_t h);

// The switches of the control bar the drawing reads: the owners' icons
// over halls and stations, and the name signs.
struct ObjectDrawSwitches {
    bool playerIcons = false;
    bool signs = false;
};
ObjectDrawSwitches& ObjectDrawSwitchesOf();

// Fetches a sprite request's picture (null when missing).
const TiledImage* FetchSpriteRef(const SpriteRef& sprite);

// Queues every image of a building or a bridge piece; the number queued.
int32_t DrawMapBuilding(const Building& building);
int32_t DrawBridgeSpan(const BridgeSpan& span);
// Either of the above for any listed object; 0 for other objects.
int32_t DrawMapObject(const MapObject& object);

// The sound system takes special buildings as sources while it is on.
void InstallObjectSoundHandOver();
