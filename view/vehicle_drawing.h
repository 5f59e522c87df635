// The drawing of the vehicles on the map: each vehicle is placed between
// two points of its trail by the share of its step that has passed, turned
// to its heading, and queued in its owner's colour; trains car by car from
// their car motion records, along the arcs of curve tiles. Engines puff
// smoke while they move. The drawing reads the vehicles only: what it keeps
// (the revision last drawn, the last puff of each unit) is its own, per
// world. Main thread only.
#pragma once

#include "engine/engine_state.h"
#include "world/map_object.h"
#include "world/world.h"

#include <cstdint>
#include <map>

class MovingObject;
class Vehicle;
class ValueTable;
struct MoverPose;

class VehicleDrawState : public WorldAttachment {
public:
    // The map revision each vehicle was last drawn in.
    std::map<ObjectHandle, uint32_t> drawnRevision;
    // The game time of the last smoke puff, per vehicle and unit.
    std::map<ObjectHandle, uint32_t> lastPuff;
    // Engines smoke while this is on.
    bool smoke = true;
    // Counts the units handled while one vehicle is drawn (-1 before it).
    int32_t unitCounter = -1;
    // Images and puffs of the last DrawMovingObjects, for statistics and tests.
    uint32_t imagesDrawn = 0;
    uint32_t puffsMade = 0;
};
VehicleDrawState& VehicleDrawStateOf(World& world = CurrentWorld());

// The share of a step that has passed at t: (t - previous) / (next -
// previous) on unsigned differences, at most 1; 1 when the two wake times
// are equal (a vehicle just woken stands on its new tile).
float WakeFraction(uint32_t t, uint32_t previous, uint32_t next);

// The heading of a direction mask as a fraction of a full turn: 0 for 1
// (north), 0.25 for 2, 0.5 for 4, 0.75 for 8, the diagonals between; -1
// for a mask that names no direction.
float MaskHeading(uint32_t mask);

// The heading of a train car at fraction p of trail index k on plain track,
// from the directions of travel before, on and after its square; the
// vehicle's own direction byte stands in where the trail gives none. A
// quarter turn is spread over the curve tile, an eighth before its centre
// and an eighth after it.
float CarHeading(float p, uint32_t k, uint32_t dPrev, uint32_t dMid, uint32_t dNext, uint8_t ownDirection);

// The arc of a curve tile: whether (dIn, dOut) turn there, and when they do
// the point at arc parameter u (0 to 1) relative to the tile's anchor at
// zoom scale s, from the curve table T, the middle points M and the path
// length of the plain-track row. False (the car keeps its straight place)
// on straight track, for a missing arc or a path length that is not
// positive.
bool CurveOffset(const ValueTable& t, const ValueTable& m, float pathLength, uint32_t dIn, uint32_t dOut,
                 float u, float s, float& dx, float& dy);

// The arc a road vehicle follows on a tile it enters moving dIn and leaves
// moving dOut, at arc parameter u (0 to 1): the point relative to the
// tile's anchor at zoom scale s, from the truck curve table T (row D(dOut),
// group D(dIn): start angle, span, x and y radius) about the tile's corner
// between the side it comes in by and the side it leaves by. False (the
// vehicle keeps its straight place) when it does not turn there or the
// table holds no arc for the turn.
bool RoadCurveOffset(const ValueTable& t, uint32_t dIn, uint32_t dOut, float u, float s, float& dx,
                     float& dy);

// A special-track piece as the cars on it are placed: its type's arcs
// (TrainCurveTable), their centres (CurveMiddlePoint), its path length and
// number of path points, its switch type, and the piece's rotation.
struct PieceArcs {
    const ValueTable* curves = nullptr;
    const ValueTable* middles = nullptr;
    float pathLength = 0.0f;
    int32_t points = 0;
    int32_t rotation = 0;
    int32_t switchType = 0;
};

// A car on a piece that is not a switch, between path points a (behind it)
// and b (ahead; -1 for a tile off the piece) at fraction p, travelling d:
// its point relative to the anchor of the piece's origin tile. False when
// the piece does not place it (the car then follows the plain-track rules):
// no path point behind it before the middle of its square, or no arc.
bool PieceCarOffset(const PieceArcs& piece, int32_t a, int32_t b, float p, uint32_t d, float s, float& dx,
                    float& dy);
// Its heading on such a piece; false where PieceCarOffset gives no place.
bool PieceCarHeading(const PieceArcs& piece, int32_t a, int32_t b, float p, uint32_t d, float& heading);

// A car on a switch: path points a and b as above, the directions of travel
// before, on and after its square, and the entry and exit masks of the
// second route tile ahead of the train (which branch it takes).
struct SwitchCar {
    int32_t a = -1, b = -1;
    float p = 0.0f;
    uint32_t dPrev = 0, dMid = 0, dNext = 0;
    uint32_t entry = 0, exit = 0;
};
// Its point relative to the piece's origin anchor; false (plain-track
// rules) on the switch's straight way, for switch types and rotations that
// have no arcs, or a missing arc.
bool SwitchCarOffset(const PieceArcs& piece, const SwitchCar& car, float s, float& dx, float& dy);
// Its heading on the switch, for a car SwitchCarOffset placed.
bool SwitchCarHeading(const PieceArcs& piece, int32_t a, int32_t b, float p, float& heading);

// The height of an aircraft above the ground in pixels, between a tile
// it comes from and the one it flies to at fraction f: it climbs over the
// tile after leaving the ground and comes down over the tile before it
// lands; cruising it flies kAircraftCruiseTiles tile heights up.
inline constexpr float kAircraftCruiseTiles = 1.5f;
float AircraftLift(bool fromGround, bool toGround, float f, int32_t tileHeight);
// The alpha of an aircraft's shadow: fainter the higher it flies, none on
// the ground.
uint32_t AircraftShadowAlpha(float lift, int32_t tileHeight);
// Whether an aircraft on the tile is on the ground: a station's tile.
bool AircraftOnGround(int32_t x, int32_t y);
// The rotor picture of a helicopter at game time t: `frames` pictures per
// rotation time; 0 without a rotation time or frames.
int32_t RotorFrame(uint32_t t, float rotationTime, int32_t frames);

// The rotation picture of heading h among `rotations`: h is turned by half
// a turn (the pictures start facing south), rounded half up, 0 when it
// comes to `rotations`; 0 without rotations.
int32_t RotationIndex(float h, int32_t rotations);

// Whether an engine with these values puffs at now (the interval, the
// worn engine's chance, the direction); `random` is a number 0 to 99 of the
// presentation's random table.
struct SmokeInputs {
    uint32_t now = 0;
    uint32_t lastPuff = 0;
    uint32_t tileTime = 0; // the vehicle's time per tile
    uint8_t direction = 0; // the unit's direction byte, 0 to 7
    uint32_t moveMask = 0; // its direction of travel on the map
    float condition = 100.0f;
    int32_t kind = 0; // 2: the slower interval
    uint32_t random = 0;
};
bool SmokeDue(const SmokeInputs& in);
// The grey of a puff for an engine's condition: 255 when new, darker worn.
uint32_t SmokeGrey(float condition);

// The lane displacement of a road tile entered with `entry` and left with
// `exit` (direction masks): the constant lists RoadDispX and RoadDispY at
// row D(entry), column D(exit), times the zoom scale s, truncated; a missing
// entry reads -1.
void RoadOffset(uint32_t entry, uint32_t exit, float s, int32_t& dx, int32_t& dy);

// The sort rectangle in quarter tiles of an object between tile (x0, y0)
// and (x1, y1) at fraction t, moving in `mask` (a single direction gives a
// strip `depth` quarters deep across its way, any other mask one quarter).
EngineRect SubTileRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, float t, uint32_t mask, int32_t depth);

// The heading of a mover at fraction t of its step, a fraction of a turn,
// from its current, previous and earlier direction masks: a quarter turn is
// spread over the step, the half before its middle turning from the earlier
// direction, the half after it towards the current one.
float MoverRotation(const MoverPose& pose, float t);

// The graphic-set kinds and frames of the movers' pictures.
inline constexpr int32_t kPrivateCarSpriteKind = 14;
inline constexpr int32_t kAnimalSpriteKind = 3;
// The farm's own pictures use frame 0 of the same numbers: its animals
// have a frame of their own.
inline constexpr int32_t kAnimalSpriteFrame = 80;
inline constexpr int32_t kHarvesterSpriteKind = 18;
// Rotations of the animals' and the harvesters' pictures (they walk the
// four sides only).
inline constexpr int32_t kMoverRotations = 4;

// Queues the picture of a private car, farm animal or harvester for game
// time t; the number queued (0 for a mover that is not to be seen, such as
// a car that holds no lane or stands on a bridge across its way).
int32_t DrawMover(const MovingObject& object, uint32_t t);

// Queues the images of one vehicle for game time t; the number queued.
// Nothing when it is not on the map (states 0, 1, below 0) or was drawn in
// this map revision already.
int32_t DrawVehicle(Vehicle& vehicle, uint32_t t);
// Every moving object of the current world that can be drawn, vehicles and
// movers; images queued.
int32_t DrawMovingObjects(uint32_t t);
