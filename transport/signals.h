// Signals on track tiles and the blocks between them. A signal looks along
// the track in each of the four directions; the track a walk reaches before
// it meets the next signals is its block that way. Trains reserve a block
// when they enter and release it when they leave; all blocks are recomputed
// together, at most once per world update, after a signal or the track
// network changed. The registry of a world numbers its signals from 1 and
// is saved in the game's "SIGL" section ("sig1", "sig2").
#pragma once

#include "world/world.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

class Game;

// A signal and the direction (0-3) in which it faces.
struct SignalLink {
    uint32_t id = 0;
    uint32_t direction = 0;
    friend bool operator==(const SignalLink&, const SignalLink&) = default;
};

class Signal {
public:
    // An empty signal outside the registry (for loading).
    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    struct Direction {
        // The signals at which the walk this way ended.
        std::vector<SignalLink> bounding;
        // The counting signals (kind 0) that the collecting walk met.
        std::vector<SignalLink> counted;
        // Vehicles seen while the blocks are recomputed.
        std::set<uint32_t> vehicles;
        uint8_t blocked = 0;
        // Vehicles in the block; never below 0.
        int32_t counter = 0;
    };

    uint32_t id = 0;
    uint32_t x = 0;
    uint32_t y = 0;
    // Set while a placement or change is only previewed; such a signal
    // takes no part in the blocks.
    uint8_t preview = 0;
    int32_t kind = 0;
    int32_t committedKind = 0;
    uint8_t style = 0;
    uint8_t committedStyle = 0;
    Direction directions[4];

    // Reserves the block ahead in a direction (mask 1, 2, 4 or 8): false,
    // changing nothing, when it is blocked or counted already.
    bool Reserve(uint32_t directionMask);
    void Release(uint32_t directionMask);
    // A vehicle leaves the block of that direction.
    void LeaveBlock(uint32_t directionMask);
    // Makes a previewed placement real.
    void Commit();

private:
    friend Signal* CreateSignal(uint32_t x, uint32_t y, int32_t kind);
    Signal(uint32_t aX, uint32_t aY, int32_t aKind);
};

// Registers a new signal on (x, y), owned by the registry, and notes its id
// in the tile's route cell; the blocks are recomputed at the next refresh.
// The lowest free id is taken.
Signal* CreateSignal(uint32_t x, uint32_t y, int32_t kind);

// Who stands on a tile, for counting the vehicles in a block: each rail
// vehicle's id and the direction mask it is heading in.
struct SignalVehicle {
    uint32_t id = 0;
    uint32_t heading = 0;
};

// The signals of a world.
struct SignalRegistry : WorldAttachment {
    std::vector<std::unique_ptr<Signal>> slots;
    bool dirty = false;
    // Fills the rail vehicles standing on a tile. Empty: none.
    std::function<void(uint32_t x, uint32_t y, std::vector<SignalVehicle>& out)> railVehiclesOnTile;

    // Scratch of the block walks: a stamp per tile and direction.
    std::vector<uint32_t> visited;
    uint32_t stamp = 0;
};

SignalRegistry& WorldSignals(World& world = CurrentWorld());

// The signal with the id, null for 0, an id beyond the registry or a free slot.
Signal* GetSignal(uint32_t id);
// Destroys the signal and frees its slot; the tile's route cell forgets it
// when it still names it.
void DeleteSignal(uint32_t id);
// Destroys every signal and frees the registry.
void DeleteAllSignals();
// Frees the registry's storage without destroying signals (after a reset
// emptied it).
void ClearSignals();
uint32_t SignalSlotCount();
// Whether a direction (0-3) of the signal is blocked or counted; false for
// an id that names no signal.
bool IsSignalBlocked(uint32_t id, uint32_t direction);
void MarkSignalsDirty();
// Recomputes every block when a signal or the track changed since.
void RefreshSignalsIfDirty();
// Recomputes every block now.
void RecomputeSignalBlocks();
// Whether the game clock's year is 1950 or later.
bool YearAtLeast1950();

// The "SIGL" section on the current chunk stream: "sig1" (the registry's
// slot count), "sig2" (a 28-byte record per signal) and the end chunk.
// Loading builds the registry apart and takes it over only when the
// section is whole; a damaged one leaves the signals as they were and
// answers false. An empty section (older games) holds no signals.
bool SerializeSignals();

// Installs the signals' hooks into the world and the section into the game.
void InstallSignals(Game& game);
