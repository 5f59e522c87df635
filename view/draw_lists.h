// The map view's static draw lists, filled block by block when the frame
// redraws (every 4 x 4 block of the visible area is visited cell by cell):
// route quads from the route atlas, sorted by texture; trees from the
// decoration cells with their season; buildings and the objects standing
// on cells, each listed once per rebuild. The per-frame passes draw them.
#pragma once

#include "engine/engine_state.h"
#include "world/map_object.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class TiledImage;
class MapViewFrame;

// Where a record stands in the order of a whole walk: its block's screen
// row (x + y), the block's x, the cell within the block (row by row) and
// which of the cell's objects it is. A scroll keeps the lists in this order,
// so that they equal the lists of a whole walk over the same view.
uint64_t WalkOrderKey(int32_t blockX, int32_t blockY, int32_t cell = 0, int32_t sub = 0);
// The origin of the block a walk order key was made for.
void BlockOfKey(uint64_t key, int32_t& blockX, int32_t& blockY);

struct RouteQuad {
    EngineRect rect;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    TextureHandle texture = 0;
    uint32_t colour = 0xFFFFFFFFu;
    uint64_t order = 0;
};

struct TreeRecord {
    EngineRect rect;
    EngineRect footprint; // quarter tiles
    const TiledImage* image = nullptr;
    const TiledImage* second = nullptr; // next season's, for the blend
    uint64_t order = 0;
};

struct BuildingRecord {
    ObjectHandle building = 0;
    EngineRect footprint; // quarter tiles
    EngineRect rect;      // on screen; empty without an image
    const TiledImage* image = nullptr;
    uint64_t order = 0;
};

struct CellObjectRecord {
    ObjectHandle object = 0;
    uint64_t order = 0;
};

// An object listed once for the many cells it covers: the cells it was met
// on (inclusive) and the cell and slot it was first met at.
struct ListedObject {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    uint8_t building = 0; // listed as a building, else as a cell object
    uint8_t sub = 0;
};

struct DrawLists {
    std::vector<RouteQuad> routes;
    std::vector<TreeRecord> trees;
    std::vector<BuildingRecord> buildings;
    std::vector<CellObjectRecord> cellObjects;
    // The objects listed since the last rebuild (looked up, never walked).
    std::unordered_map<ObjectHandle, ListedObject> listed;
    // The records already in order when a scroll's new blocks are visited.
    size_t keptRoutes = 0, keptTrees = 0;

    void Clear();
};

// Visits the 16 cells of the block at (x, y), row by row, into the lists.
void VisitBlockCells(MapViewFrame& frame, DrawLists& lists, int32_t x, int32_t y);

// After a scroll by (dx, dy): moves every record on screen, drops what only
// the blocks that left the view (present says which blocks of the map are
// still walked, by block row) held, gives the objects of many cells the
// order of their first walked block, and puts the lists back in the order
// a whole walk gives them (the new blocks' records having been appended).
void ShiftDrawLists(DrawLists& lists, int32_t dx, int32_t dy);
void PruneDrawLists(DrawLists& lists, const std::vector<uint8_t>& present, int32_t blocksPerRow,
                    bool smallTiles);
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
