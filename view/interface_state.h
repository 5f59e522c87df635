// The interface state a saved game carries besides the world (section
// "gsta"): five byte blocks saved as chunks of their own, "gUI1" (window
// state, dialog positions, the view's origin and zoom), "gIc1" (the control
// bar's toggles), "gST1" (game set-up values), "gmm1" (the minimap dialog
// and its owner flags) and "gSFX" (the sound switches); plus unsaved working
// values reset with them. Blocks are little-endian byte images, padding
// kept as it stands; the named accessors read and write their fields.
#pragma once

#include "world/world.h"

#include <array>
#include <cstdint>

class InterfaceState : public WorldAttachment {
public:
    static constexpr uint32_t kWindowBytes = 104, kControlBarBytes = 64, kSetupBytes = 24, kMiniMapBytes = 32,
                              kSoundBytes = 12;
    static constexpr uint32_t kDialogPositionCount = 10;
    static constexpr uint32_t kOwnerFlagCount = 5;
    static constexpr uint32_t kWorkingValueCount = 28;

    InterfaceState() { Reset(); }

    std::array<uint8_t, kWindowBytes> window{};
    std::array<uint8_t, kControlBarBytes> controlBar{};
    std::array<uint8_t, kSetupBytes> setup{};
    std::array<uint8_t, kMiniMapBytes> miniMap{};
    std::array<uint8_t, kSoundBytes> sound{};

    // Unsaved values.
    std::array<uint8_t, 6> vehicleGroups{};
    std::array<uint32_t, 4> dialogSizes{};
    std::array<uint32_t, 4> dialogModes{};
    std::array<uint32_t, kWorkingValueCount> workingValues{};

    // Every block and unsaved value to its default.
    void Reset();
    // The same without the set-up block.
    void ResetKeepingSetup();

    // Stores or loads the five chunks on the current chunk stream, each
    // block chosen by the tag read, in any order; a short block fills only
    // its first bytes, a long one is cut. Loading then sets player 4's
    // owner flag. False when the stream failed.
    bool Serialize();

    // "gUI1".
    uint32_t KeepMiniMapPosition() const { return U32(window, 4); }
    int32_t DialogX(uint32_t i) const { return i < kDialogPositionCount ? I32(window, 8 + 8 * i) : -1; }
    int32_t DialogY(uint32_t i) const { return i < kDialogPositionCount ? I32(window, 12 + 8 * i) : -1; }
    int32_t ViewOriginX() const { return I32(window, 88); }
    int32_t ViewOriginY() const { return I32(window, 92); }
    // The saved zoom level as stored; ViewZoomLevel clamps it to 0..14.
    uint32_t StoredZoomLevel() const { return U32(window, 96); }
    int32_t ViewZoomLevel() const;
    void SetView(int32_t x, int32_t y, uint32_t zoom);

    // "gIc1".
    uint32_t OverlaySetting() const { return U32(controlBar, 4); }
    void SetOverlaySetting(uint32_t v) { SetU32(controlBar, 4, v); }
    uint32_t ShowTrees() const { return U32(controlBar, 24); }
    uint32_t SeasonSetting() const { return U32(controlBar, 36); }
    uint32_t ShowBuildings() const { return U32(controlBar, 44); }
    uint32_t CompanyColours() const { return U32(controlBar, 48); }
    uint32_t WaterSetting() const { return U32(controlBar, 56); }

    // "gST1".
    uint32_t FactoryDemandMode() const { return U32(setup, 0); }
    uint32_t SetupYear() const { return U32(setup, 4); }
    uint32_t UnitSystem() const { return U32(setup, 8); }

    // "gmm1".
    int32_t MiniMapX() const { return I32(miniMap, 0); }
    int32_t MiniMapY() const { return I32(miniMap, 4); }
    void SetMiniMapPosition(int32_t x, int32_t y) {
        SetU32(miniMap, 0, uint32_t(x));
        SetU32(miniMap, 4, uint32_t(y));
    }
    uint8_t MiniMapOpen() const { return miniMap[8]; }
    void SetMiniMapOpen(bool open) { miniMap[8] = open ? 1 : 0; }
    uint8_t MiniMapSmall() const { return miniMap[9]; }
    void SetMiniMapSmall(bool small) { miniMap[9] = small ? 1 : 0; }
    // 0 for a player id outside 0..4.
    uint32_t OwnerFlag(uint32_t p) const { return p < kOwnerFlagCount ? U32(miniMap, 12 + 4 * p) : 0; }
    void SetOwnerFlag(uint32_t p, uint32_t v) {
        if (p < kOwnerFlagCount)
            SetU32(miniMap, 12 + 4 * p, v);
    }

    // "gSFX".
    uint32_t MusicOn() const { return U32(sound, 0); }
    uint32_t AmbientEffectsOn() const { return U32(sound, 4); }
    uint32_t VehicleEffectsOn() const { return U32(sound, 8); }
    void SetSoundSwitches(uint32_t music, uint32_t ambient, uint32_t vehicles);

    template <size_t N>
    static uint32_t U32(const std::array<uint8_t, N>& block, size_t offset) {
        return uint32_t(block[offset]) | uint32_t(block[offset + 1]) << 8 |
               uint32_t(block[offset + 2]) << 16 | uint32_t(block[offset + 3]) << 24;
    }
    template <size_t N>
    static int32_t I32(const std::array<uint8_t, N>& block, size_t offset) {
        return int32_t(U32(block, offset));
    }
    template <size_t N>
    static void SetU32(std::array<uint8_t, N>& block, size_t offset, uint32_t v) {
        for (size_t i = 0; i < 4; ++i)
            block[offset + i] = uint8_t(v >> (8 * i));
    }

private:
    void ResetWindow();
    void ResetControlBar();
    void ResetSetup();
    void ResetMiniMap();
};

// The interface state of the world (the current one by default).
InterfaceState& InterfaceStateOf(World& world = CurrentWorld());

// Copies the control bar's view toggles into the world's map view: the
// overlay, show trees, show buildings, the company colours and the water
// detail (twice the water toggle). The music switch is the game's to apply
// once a load has succeeded.
void ApplyInterfaceState(World& world = CurrentWorld());

// The index of a region code: 1 gives 0, 2 gives 1, 4 gives 2, anything
// else 0.
uint32_t RegionCodeToIndex(uint32_t code);

// The control bar's overlay toggle: the map overlay alternates between 0
// and 1 (an odd value becomes 0, an even one 1) in the map view and the
// interface state alike.
void ToggleMapOverlay(World& world = CurrentWorld());
