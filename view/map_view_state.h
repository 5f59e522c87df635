// The map view's state: the settings that decide what is drawn, the
// company and water colours it draws with, the overlay values and water
// animation records a saved game carries (section "WoP"), the three redraw
// requests, and the tables built once at start-up (terrain variations,
// sine, the route atlas layout). Settings and saved values belong to the
// world (MapViewOf); the colour caches follow the database.
#pragma once

#include "world/world.h"

#include <array>
#include <cstdint>

// One water animation record; record i serves water animation type i + 1.
// Kept as loaded; Sanitised() gives the values the drawing may use.
struct WaterAnimation {
    uint32_t periodA = 19; // seconds
    uint32_t periodB = 17;
    float shiftAU = 0.0f, shiftAV = -1.0f; // texture shift per period A
    float shiftBU = -1.0f, shiftBV = -1.0f;
    float waveAStepX = 0.19f, waveAStepY = 0.21f; // phase step per tile
    float waveBStepX = 0.0f, waveBStepY = 0.33f;
    float amplitudeX = 12.0f, amplitudeY = 21.0f; // pixels at zoom scale 1
    float turnsA = 3.22f, turnsB = 4.89f;         // full turns per period A
    uint32_t colour = 0xFFFFFFFFu;
    uint32_t textureA = 0, textureB = 0, textureC = 0; // graphic set 300 + n

    static constexpr uint32_t kBytes = 72;
    void Encode(uint8_t* out) const;
    void Decode(const uint8_t* in);
    // Periods of 0 become 1 and floats that are not finite become 0.
    WaterAnimation Sanitised() const;
};

class MapObject;

inline constexpr uint32_t kWaterAnimationCount = 8;
inline constexpr uint32_t kPlayerColourCount = 5;

class MapViewState : public WorldAttachment {
public:
    // Settings.
    uint8_t detailedTerrain = 1;
    uint8_t showBuildings = 1;
    uint8_t showTrees = 1;
    uint8_t waterDetail = 2;
    uint32_t viewToggle = 1; // the map overlay
    std::array<uint8_t, kPlayerColourCount> colourShown{};
    uint8_t textureStagesLimit = 0;
    uint8_t cursorInfoArmed = 1;
    // The main window's cell-info switch: the cursor marker shows while on.
    uint8_t cursorMarkerShown = 0;

    // Redraw requests, served and cleared by the next frame.
    uint8_t fullRedraw = 1;
    uint8_t partialRedraw = 1;
    uint8_t objectRedraw = 1;

    // Saved values.
    uint32_t overlayFrame = 0;
    uint32_t overlaySet = 0; // the overlay is graphic set 200 + overlaySet
    std::array<WaterAnimation, kWaterAnimationCount> water{};

    void RequestFullRedraw() { fullRedraw = 1; }
    void RequestPartialRedraw() { partialRedraw = 1; }
    void RequestObjectRedraw() { objectRedraw = 1; }

    // Sets whether company p's (0..4) colour marks show; a change requests
    // a partial redraw. False for another p.
    bool SetPlayerColourShown(uint32_t p, bool on);
    // The control bar's overlay toggle: 0 and 1 alternate.
    void ToggleOverlay() { viewToggle = (viewToggle + 1) % 2; }

    // Stores or loads the "WoP" section on the current chunk stream.
    bool Serialize();
};

// The map view state of the world (the current one by default).
MapViewState& MapViewOf(World& world = CurrentWorld());

// The company colour of p: -1 when its colour byte is clear and force is
// false, or when the slot holds no player; player 4 takes colour 4.
int32_t GetPlayerDrawColour(uint32_t p, bool force, World& world = CurrentWorld());
// The colour of a map object's owner marks, by its kind (the building
// subtype): its highlight colour while highlighted; else the owner's
// company colour (-1 while the company's colour is hidden) for kinds 0, 1,
// 2, 6, 7, 8, 9 and 10 (kind 1 over an opaque alpha), -1 for the others.
int32_t GetObjectOwnerColour(const MapObject& object, World& world = CurrentWorld());

// Colour caches built from PlayerColor and WaterColor on first use. Player
// colours outside 0..4 and water indices outside the table give -1 and
// opaque black.
uint32_t GetPlayerColour(uint32_t index);
uint32_t GetWaterColour(uint32_t index);
// Marks the company colours as not built (a PlayerColor colour changed).
void InvalidatePlayerColours();

// Tables built once at start-up: resets the water colour cache and draws
// the terrain variations from the shared random table.
void InitMapViewTables();
// 2048 words of terrain variations.
const std::array<uint32_t, 2048>& TerrainVariations();
// sin(k / K) for k = 0..255, one period, K = 256 / 2 pi.
const std::array<float, 256>& SineTable();

// The route atlas cells of a zoom graphics variant (0..2, clamped): a 4 x 4
// grid of cells of 64 >> v pixels, entries 1..16, entry 0 repeats 16,
// 17..25 zero.
struct LayoutRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
const std::array<LayoutRect, 26>& GetZoomLayoutRecord(int32_t variant);
