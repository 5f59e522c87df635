// Spray: short splashes that grow, move and fade along the curves of their
// kind (the "Gischt" table) at fixed sources on the map. The update removes
// finished instances and creates new ones at the sources, by each kind's
// creation interval and a chance that rises over its wait interval, drawn
// from the spray's own stream; the map view draws the live instances. Times
// are the presentation's real milliseconds.
#pragma once

#include "engine/engine_state.h"
#include "view/spline_curve.h"
#include "world/world.h"

#include <array>
#include <cstdint>
#include <vector>

struct SpraySource {
    int32_t x = 0, y = 0;
    uint32_t lastCreation = 0;
    uint8_t kind = 0;
    uint8_t direction = 0; // 0..3
};

struct SprayInstance {
    int32_t x = 0, y = 0;
    uint32_t start = 0;
    uint8_t kind = 0;
    uint8_t direction = 0;
    uint8_t soundPlayed = 0;
};

// The four corners of a drawn pass in screen pixels, and its alpha.
struct SprayQuad {
    std::array<float, 4> x{}, y{};
    EngineRect box; // rounded bounds, for the visibility test
    uint32_t alpha = 0;
};

class SprayState : public WorldAttachment {
public:
    SprayState() { sources.reserve(1024); }

    std::vector<SpraySource> sources;
    std::vector<SprayInstance> instances;
    uint32_t seed = 1234567;
    uint8_t enabled = 1;
    // Passes drawn by the last DrawSpray.
    uint32_t quadsDrawn = 0;

    // The stream: seed = seed x 1664525 + 1013904223, the seed its output.
    uint32_t NextRandom() {
        seed = seed * 1664525u + 1013904223u;
        return seed;
    }
};

SprayState& SprayOf(World& world = CurrentWorld());

inline constexpr uint32_t kSprayCurveCount = 8;
// The curves of a spray kind (0..15) from the table: Position, XExtent,
// YExtent and Alpha of the first image, then of the second.
const std::array<SplineCurve, kSprayCurveCount>& SprayKindCurves(int32_t kind);
// The curves follow the table again (a curve was set).
void InvalidateSprayCurves();

// A source on a tile; false for a kind outside 0..15 or a direction
// outside 0..3.
bool AddSpraySource(int32_t x, int32_t y, uint8_t kind, uint8_t direction);
// Removes finished instances, then (while spray is on) creates new ones.
void UpdateSpray(uint32_t now);
// Draws every live instance at `now` while spray is on.
void DrawSpray(uint32_t now);
// The corners of pass 0 or 1 of an instance at `now` projected from its
// tile's screen point (px, py) at zoom scale z, for an image w x h; false
// when nothing is drawn (a life of 0, after its life, a bad kind).
bool SprayPassQuad(const SprayInstance& s, uint32_t now, int pass, float px, float py, float z, float w,
                   float h, SprayQuad& out);
