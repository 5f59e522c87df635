// Hooks through which the world model reaches the subsystems above it (the
// game loop, the transport network, towns, rendering and presentation).
// Higher layers fill them at start-up; each one left empty falls back to the
// quiet behaviour written next to it, so the world runs alone in tests and
// tools.
#pragma once

#include <cstdint>
#include <functional>

class MapObject;

struct TileRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct WorldServices {
    // Game loop and session. Empty: a local game, date step at 0, and the
    // clock saves its own speed.
    std::function<bool()> isNetworkGame;
    std::function<uint32_t()> dateStepTime;
    std::function<float()> networkSpeed;
    // Hands the command that places a decoration again to the session.
    // Empty: the world keeps it in its own queue (TakePostedDecorations).
    std::function<void(uint32_t x, uint32_t y, uint32_t number, uint32_t frame)> postPlaceDecoration;

    // Transport network. Empty: no stations, signals are not tracked.
    std::function<void(uint32_t signalId)> deleteSignal;
    std::function<void()> markSignalBlocksDirty;
    std::function<MapObject*(uint32_t x, uint32_t y)> stationAtTile;
    std::function<uint32_t(MapObject* station, uint32_t x, uint32_t y)> stationConnectionMask;

    // Station layouts: the rectangle of a station kind placed at (x, y)
    // with a rotation. Empty: one tile.
    std::function<TileRect(int32_t kind, uint32_t directionMask, int32_t x, int32_t y)> stationLayoutArea;

    // Footprint sizes of a factory or storage hall about to be placed, for
    // the catchment previews. Empty: one tile.
    std::function<TileRect(int32_t factoryType, int32_t a, int32_t b)> factoryPreviewSize;
    std::function<TileRect(int32_t hallType)> hallPreviewSize;

    // Towns. Empty: no towns.
    std::function<int32_t()> cityCount;
    // Centre of town 1..count; false when it does not exist.
    std::function<bool(int32_t index, int32_t& x, int32_t& y)> cityCentre;
    // The id of the passenger-and-mail factory of a house's town, 0 none.
    std::function<uint32_t(const MapObject& house)> townFactoryOfHouse;

    // Rendering. Empty: every decoration graphic is one tile, and the display
    // has enough texture stages.
    std::function<uint32_t(uint32_t number, uint32_t frame)> decorationSize;
    std::function<bool()> textureStagesLimited;

    // Presentation. Empty: nothing is drawn.
    std::function<void(int32_t left, int32_t top, int32_t right, int32_t bottom)> invalidateMiniMapRect;
    std::function<void(int32_t x, int32_t y)> queueCatchmentMarker;
};

// The current world's hooks.
WorldServices& Services();
