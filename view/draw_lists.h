// The map view's static draw lists, filled block by block when the frame
// redraws (every 4 x 4 block of the visible area is visited cell by cell):
// route quads from the route atlas, sorted by texture; trees from the
// decoration cells with their season; buildings and the objects standing
// on cells, each listed once per rebuild. The per-frame passes draw them.
#pragma once

#include "engine/engine_state.h"
#include "world/map_object.h"

#include <cstdint>
#include <vector>

class TiledImage;
class MapViewFrame;

struct RouteQuad {
    EngineRect rect;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    TextureHandle texture = 0;
    uint32_t colour = 0xFFFFFFFFu;
};

struct TreeRecord {
    EngineRect rect;
    EngineRect footprint; // quarter tiles
    const TiledImage* image = nullptr;
    const TiledImage* second = nullptr; // next season's, for the blend
};

struct BuildingRecord {
    ObjectHandle building = 0;
    EngineRect footprint; // quarter tiles
    EngineRect rect;      // on screen; empty without an image
    const TiledImage* image = nullptr;
};

struct DrawLists {
    std::vector<RouteQuad> routes;
    std::vector<TreeRecord> trees;
    std::vector<BuildingRecord> buildings;
    std::vector<ObjectHandle> cellObjects;
    // Handles listed since the last rebuild, kept sorted.
    std::vector<ObjectHandle> listed;

    void Clear();
};

// Visits the 16 cells of the block at (x, y), row by row, into the lists.
void VisitBlockCells(MapViewFrame& frame, DrawLists& lists, int32_t x, int32_t y);
// Sorts the route quads by texture (and trees by image with small tiles).
void SortDrawLists(DrawLists& lists, bool smallTiles);
// The per-frame drawing of the lists: route quads at once over the kept
// picture, trees as sprites (with the season cross-fade by the blend
// colour's alpha).
void DrawRouteQuads(const DrawLists& lists);
void DrawTrees(const MapViewFrame& frame, const DrawLists& lists);
// The trees' ambient sound: at most once a second (real time), while
// effects are on and more than 230 trees are listed, a random tree plays a
// random category of the TreeSoundIndexTable (none when the table is
// empty), the next tree trying when it does not play. The tree it played
// at, or -1.
inline constexpr size_t kTreesForAmbientSound = 230;
int32_t PlayTreeAmbientSound(const DrawLists& lists, uint32_t nowMs, uint32_t& lastCheckMs, bool soundOn);

// Queues the images of every listed building and cell object (bridge and
// tunnel pieces) as each draws itself; the number of images queued.
int32_t DrawBuildings(const DrawLists& lists);

// The atlas cell of a layout entry as texture coordinates of the 4 x 4 atlas.
void AtlasCell(int32_t variant, int32_t entry, float& u0, float& v0, float& u1, float& v1);
