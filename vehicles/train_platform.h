// Train cars at a platform: which cars of a stopping train stand on the
// platform and which wait behind it, and how the waiting cars are pulled
// into motion one after the other when the train leaves. Functions over the
// cars, so that the rail drive calls them where a train stops
// (PlaceCarsAtPlatform) and on each of its steps (AdvanceCars).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Quarter squares per square: cars up to this length are short.
inline constexpr int32_t kQuartersPerSquare = 4;
inline constexpr uint32_t kMaxTrainCars = 128;

enum PlatformCarMode : uint32_t {
    kCarFollowsTrail = 0, // stands on the platform, or runs with the train
    kCarMovesAlone = 1,   // takes over the tile of the car in front
    kCarWaits = 2,        // waits behind the platform
    kCarLongTransition = 3,
};

struct PlatformCar {
    int32_t length = kQuartersPerSquare; // quarter squares
    uint32_t mode = kCarFollowsTrail;
    uint32_t start = 0; // game ms of the current square
    uint32_t end = 0;
    int32_t x = 0;
    int32_t y = 0;
    float progress = 0.0f;
};

struct PlatformTile {
    int32_t x = 0;
    int32_t y = 0;
};

// The train's positions behind a head at (x, y) facing the direction (0
// north, 1 east, 2 south, 3 west): position i lies i squares back; from
// the platform's length on, or off the map, a position repeats the one
// before it.
std::array<PlatformTile, kMaxTrainCars> LayPlatformPositions(int32_t x, int32_t y, uint32_t direction,
                                                             uint32_t platformSquares, int32_t mapWidth,
                                                             int32_t mapHeight);

// The train position car i stands on while it follows the trail: the last
// square its own length and the cars ahead reach, never below 0.
uint32_t TrailPosition(const std::vector<PlatformCar>& cars, size_t i);

// Sets each car's mode for a platform of the given length in squares.
void SetPlatformCarModes(std::vector<PlatformCar>& cars, uint32_t platformSquares);

// Advances the cars of a moving train to game time now: every car whose
// square has ended finishes it, waiting cars are pulled in behind the car
// in front. lastUpdate is the time of the previous advance (0: none yet).
void AdvanceCars(std::vector<PlatformCar>& cars, const std::array<PlatformTile, kMaxTrainCars>& positions,
                 uint32_t& lastUpdate, uint32_t now, uint32_t timePerTile);

// Re-times every car's square after the time per square changed, keeping
// each car's share of its square done at the next wake time.
void RetimeCars(std::vector<PlatformCar>& cars, uint32_t nextWake, uint32_t timePerTile);
