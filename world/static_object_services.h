// Hooks through which the world's static objects (headquarters, halls,
// water towers, houses, special buildings, bridges) reach the towns,
// graphics and presentation above them. Each hook left empty falls back to
// the quiet behaviour written beside it.
#pragma once

#include <cstdint>
#include <functional>

class MapObject;

// A sprite request: graphic set, number and frame, with the colour
// sub-folder and the two name fields where the set uses them (-1: none).
struct SpriteRef {
    int32_t set = 0;
    int32_t number = 0;
    int32_t frame = 0;
    int32_t colourFolder = -1;
    int32_t nameFieldA = -1;
    int32_t nameFieldB = -1;
    friend bool operator==(const SpriteRef&, const SpriteRef&) = default;
};

struct StaticObjectServices {
    // A rising amount at a tile. Empty: not shown.
    std::function<void(int32_t x, int32_t y, int64_t amount)> showAmountAtTile;
    // The map view rebuilds its object lists. Empty: nothing.
    std::function<void()> requestObjectRedraw;
    // A town's count of special buildings of a type, null when the town
    // does not exist. Empty: no towns.
    std::function<uint8_t*(uint32_t town, uint32_t type)> specialBuildingCount;
    // The town's linked map object (its highlight), null without one.
    std::function<MapObject*(uint32_t town)> townLinkedObject;
    // Whether a sprite frame exists. Empty: no frames.
    std::function<bool(const SpriteRef& sprite)> hasFrameFile;
    // The extent in tiles along the run of a bridge piece's image (set 8,
    // the row, frame and name field). Empty: one tile for frame 0 and the
    // ramps, none for the long deck module.
    std::function<int32_t(int32_t row, int32_t frame, int32_t nameField, bool alongX)> pieceExtent;
    // An image queued over the map for this frame, anchored at a tile (the
    // bridge preview). Empty: nothing shown.
    std::function<void(const SpriteRef& sprite, int32_t x, int32_t y, uint32_t colour, uint32_t value)>
        queueOverlayImage;
    // Hands a building that plays a sound over its rectangle to the sound
    // system, with its sound value. Empty: no sound system.
    std::function<void(class MapSoundSource& source, int32_t& soundValue)> offerSoundSource;
    // The demolition animation at a removed bridge piece. Empty: none.
    std::function<void(int32_t x, int32_t y)> demolitionEffect;
};

StaticObjectServices& StaticServices();

// The region of the running game (1, 2 or 4 for the regions with their own
// graphics); 1 by default.
uint32_t& CurrentRegion();
