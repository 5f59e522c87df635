// The catchment passes: walks over the tiles around stations, factories and
// storage halls that tell each station which buildings and towns it serves
// and which stations stand next to it, and the previews that mark what a
// station, factory or hall about to be placed would reach.
#pragma once

#include "world/building.h"

#include <cstdint>
#include <set>
#include <vector>

// A visitor of the tiles of a rectangle.
class FootprintVisitor {
public:
    virtual ~FootprintVisitor() = default;
    virtual void Visit(int32_t x, int32_t y) = 0;
};

// A cursor over an inclusive rectangle, stepped a budget of tiles at a time.
class FootprintWalker {
public:
    void Set(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void Start(FootprintVisitor* visitor);
    // Visits up to budget tiles; false (and done) once the last was visited.
    bool Step(uint32_t budget);
    bool Done() const { return done_ != 0; }

private:
    int32_t x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, cx_ = 0, cy_ = 0;
    uint32_t done_ = 1;
    FootprintVisitor* visitor_ = nullptr;
};

// Euclidean distance of two tiles, truncated.
int32_t TileDistance(TilePoint a, TilePoint b);
bool IsNearAnyTown(int32_t x, int32_t y, int32_t radius);
bool IsBuildingOfSubtypeNear(int32_t x, int32_t y, int32_t subtype, int32_t radius);
bool CompareBuildingsBySubtype(ObjectHandle a, ObjectHandle b);
// GlobalConstants.StationRadius, 0 when the row is missing or negative.
int32_t StationRadius();

void LinkNeighbourStations();
void LinkFactoriesToStations();
void LinkStorageHallsToStations();
void LinkStationsToTowns();
void RefreshStations();
void LinkSpecialFactories();
// The six passes in their order.
void RunAllCatchmentPasses();

void ShowCatchmentMarks(int32_t x, int32_t y, int32_t stationType, int32_t rotation);
void MarkBuildingsInCatchment(int32_t x, int32_t y, int32_t stationType, int32_t rotation);
void MarkStationsNearFactory(int32_t x, int32_t y, int32_t factoryType, int32_t a, int32_t b);
void MarkStationsNearStorageHall(int32_t x, int32_t y, int32_t hallType);

std::vector<MapObject*> CollectBuildingsInCatchment(int32_t x, int32_t y, int32_t stationType,
                                                    int32_t rotation);
std::set<ObjectHandle> CollectServedBuildings();
std::vector<MapObject*> ListUnservedFactories();
