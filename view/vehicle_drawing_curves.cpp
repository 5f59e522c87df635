// The geometry of drawn vehicles off straight track: road vehicles along
// the arc of a turn, train cars along the arcs of special-track pieces and
// switches, and aircraft raised above the ground with a shadow beneath.
#include "data/value_table.h"
#include "transport/station.h"
#include "view/vehicle_drawing.h"
#include "world/world_map.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDegree = 0.017453292f;
constexpr float kHalfTileW = 60.0f, kHalfTileH = 20.0f;

// 0 to 3 for the masks 1, 2, 4, 8; 4 for any other.
uint32_t Side(uint32_t mask) {
    switch (mask) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return 4;
    }
}

// The tile corner, in half tiles, between the side of index g + 4r's first
// direction and its second: the centre of a turn's arc.
constexpr int8_t kCornerX[16] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, -1, 0, 0, -1, 0};
constexpr int8_t kCornerY[16] = {0, 0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0};

// The point at angle `degrees` of arc (r, g) of the curve table T about its
// centre in M; false when the table has no such arc.
bool ArcPoint(const PieceArcs& piece, uint32_t r, uint32_t g, float degrees, float s, float& dx, float& dy) {
    const ValueTable& t = *piece.curves;
    const ValueTable& m = *piece.middles;
    const float rx = t.Cell(4 * g + 2, r), ry = t.Cell(4 * g + 3, r);
    // A missing entry reads -1: the car keeps to the plain-track rules
    // rather than being thrown off its way.
    if (rx <= 0.0f || ry <= 0.0f || m.Cell(2 * g, r) == -1.0f || m.Cell(2 * g + 1, r) == -1.0f)
        return false;
    const float theta = degrees * kDegree;
    dx = float(m.IntCell(2 * g, r)) * s + rx * std::cos(theta) * s;
    dy = float(m.IntCell(2 * g + 1, r)) * s + ry * std::sin(theta) * s;
    return true;
}

bool Usable(const PieceArcs& piece) {
    return piece.curves && piece.middles && piece.points > 0 && piece.rotation >= 0 && piece.rotation <= 3;
}

// Forward along the piece's path: from a lower path point to a higher one,
// but not from off the piece onto its last point.
bool Forward(const PieceArcs& piece, int32_t a, int32_t b) {
    return a < b && !(a == -1 && b == piece.points - 1);
}

// The mask a one-point piece is driven forwards in, by rotation.
constexpr uint32_t kForwardMask[4] = {2, 4, 8, 1};

struct RowGroup {
    uint32_t r, g;
};
// Arcs of a piece by rotation, forwards and backwards.
constexpr RowGroup kPieceForward[4] = {{1, 2}, {2, 3}, {3, 0}, {0, 1}};
constexpr RowGroup kPieceBackward[4] = {{0, 3}, {1, 0}, {2, 1}, {3, 2}};
// Headings at the path's start and end by rotation, forwards and backwards.
constexpr float kPieceHeading[4][2][2] = {
    {{0.5f, 0.25f}, {0.75f, 1.0f}},
    {{0.75f, 0.5f}, {0.0f, 0.25f}},
    {{1.0f, 0.75f}, {0.25f, 0.5f}},
    {{0.25f, 0.0f}, {0.5f, 0.75f}},
};

// Arcs of a switch by switch type and rotation (0 or 1 each): forwards on
// the first branch, forwards on the second, backwards on the first,
// backwards on the second.
constexpr RowGroup kSwitchArcs[2][2][4] = {
    {{{2, 3}, {3, 2}, {0, 1}, {1, 0}}, {{3, 0}, {0, 3}, {1, 2}, {2, 1}}},
    {{{1, 2}, {2, 1}, {0, 3}, {3, 0}}, {{2, 3}, {3, 2}, {1, 0}, {0, 1}}},
};
// Headings (start, end) in the same order.
constexpr float kSwitchHeading[2][2][4][2] = {
    {{{0.5f, 0.5625f}, {0.5625f, 0.5f}, {0.0625f, 0.0f}, {0.0f, 0.0625f}},
     {{0.75f, 0.8125f}, {0.8125f, 0.75f}, {0.3125f, 0.25f}, {0.25f, 0.3125f}}},
    {{{0.5f, 0.4375f}, {0.4375f, 0.5f}, {0.9375f, 1.0f}, {1.0f, 0.9375f}},
     {{0.75f, 0.6875f}, {0.6875f, 0.75f}, {0.1875f, 0.25f}, {0.25f, 0.1875f}}},
};
// A switch's arcs span this many path points.
constexpr float kSwitchSpan = 2.5f;

bool SwitchTabled(const PieceArcs& piece) {
    return (piece.switchType == 0 || piece.switchType == 1) && (piece.rotation == 0 || piece.rotation == 1);
}

uint32_t SwitchColumn(bool forward, int32_t b) {
    return (forward ? 0u : 2u) + (b >= 2 ? 1u : 0u);
}

} // namespace

bool RoadCurveOffset(const ValueTable& t, uint32_t dIn, uint32_t dOut, float u, float s, float& dx,
                     float& dy) {
    const uint32_t g = Side(dIn), r = Side(dOut);
    // Straight on, turning about, or a step that is not one of the four
    // sides: no arc.
    if (g > 3 || r > 3 || g == r || (g + 2) % 4 == r)
        return false;
    const float start = t.Cell(4 * g, r), span = t.Cell(4 * g + 1, r);
    const float rx = t.Cell(4 * g + 2, r), ry = t.Cell(4 * g + 3, r);
    if (rx <= 0.0f || ry <= 0.0f)
        return false;
    // The arc turns about the corner between the side the vehicle comes in
    // by (opposite its direction of travel) and the side it leaves by.
    const uint32_t corner = (g + 2) % 4 + 4 * r;
    const float theta = (start + span * u) * kDegree;
    dx = float(kCornerX[corner]) * kHalfTileW * s + rx * std::cos(theta) * s;
    dy = float(kCornerY[corner]) * kHalfTileH * s + ry * std::sin(theta) * s;
    return true;
}

bool PieceCarOffset(const PieceArcs& piece, int32_t a, int32_t b, float p, uint32_t d, float s, float& dx,
                    float& dy) {
    // A path length out of reason reads as none.
    if (!Usable(piece) || !(piece.pathLength > 0.0f) || piece.pathLength > 1.0e6f)
        return false;
    const int32_t n = piece.points;
    const uint32_t rotation = uint32_t(piece.rotation);
    const bool forward = Forward(piece, a, b) || (n == 1 && d == kForwardMask[rotation]);
    const RowGroup rg = forward ? kPieceForward[rotation] : kPieceBackward[rotation];
    int32_t i1 = a, i2 = b;
    if (!forward) {
        const float last = rotation == 0 ? piece.pathLength - 1.0f : float(n - 1);
        i1 = a == -1 ? -1 : int32_t(last - float(a));
        i2 = int32_t(last - float(b));
    }
    const float start = piece.curves->Cell(4 * rg.g, rg.r);
    const float step = piece.curves->Cell(4 * rg.g + 1, rg.r) / piece.pathLength;
    float degrees = 0.0f;
    if (p > 0.5f)
        degrees = start + step * float(i2) + step * (p - 0.5f);
    else if (i1 == -1)
        return false;
    else
        degrees = start + step * float(i1) + step * (p + 0.5f);
    return ArcPoint(piece, rg.r, rg.g, degrees, s, dx, dy);
}

bool PieceCarHeading(const PieceArcs& piece, int32_t a, int32_t b, float p, uint32_t d, float& heading) {
    if (!Usable(piece))
        return false;
    const int32_t n = piece.points;
    const uint32_t rotation = uint32_t(piece.rotation);
    const bool forward = Forward(piece, a, b) || (n == 1 && d == kForwardMask[rotation]);
    int32_t i1 = a, i2 = b;
    if (!forward) {
        i1 = a == -1 ? -1 : n - 1 - a;
        i2 = n - 1 - b;
    }
    const float h0 = kPieceHeading[rotation][forward ? 0 : 1][0];
    const float h1 = kPieceHeading[rotation][forward ? 0 : 1][1];
    const float per = (h1 - h0) / float(n);
    if (p > 0.5f)
        heading = (float(i2) + p - 0.5f) * per + h0;
    else if (i1 == -1)
        return false;
    else
        heading = (float(i1) + p + 0.5f) * per + h0;
    return true;
}

bool SwitchCarOffset(const PieceArcs& piece, const SwitchCar& car, float s, float& dx, float& dy) {
    if (!Usable(piece) || !SwitchTabled(piece))
        return false;
    if (car.p > 0.5f && car.a == -1 && (car.b == 0 || car.b == 3)) {
        // Coming onto the switch at one of its ends: it goes straight on
        // when the route ahead does.
        if (car.entry == car.exit)
            return false;
    } else if ((car.dPrev == car.dMid && car.dMid == car.dNext) ||
               (car.dPrev != car.dMid && car.dMid == car.dNext && car.a == -1 && car.b == -1)) {
        return false;
    }
    const int32_t n = piece.points;
    const bool forward = Forward(piece, car.a, car.b);
    const RowGroup rg = kSwitchArcs[piece.switchType][piece.rotation][SwitchColumn(forward, car.b)];
    int32_t i1 = car.a, i2 = car.b;
    if (!forward) {
        i1 = car.a == -1 ? -1 : n - 1 - car.a;
        i2 = n - 1 - car.b;
    }
    const float start = piece.curves->Cell(4 * rg.g, rg.r);
    const float step = piece.curves->Cell(4 * rg.g + 1, rg.r) / kSwitchSpan;
    const float degrees = car.p > 0.5f ? start + step * float(i2) + step * (car.p - 0.5f)
                                       : start + step * float(i1) + step * (car.p + 0.5f);
    return ArcPoint(piece, rg.r, rg.g, degrees, s, dx, dy);
}

bool SwitchCarHeading(const PieceArcs& piece, int32_t a, int32_t b, float p, float& heading) {
    if (!Usable(piece) || !SwitchTabled(piece))
        return false;
    const int32_t n = piece.points;
    const bool forward = Forward(piece, a, b);
    int32_t i1 = a, i2 = b;
    if (forward) {
        if (b >= 2) {
            i1 = a - 2;
            i2 = b - 2;
        }
    } else {
        i1 = a == -1 ? -1 : n - 1 - a;
        i2 = n - 1 - b;
        if (b < 2) {
            i1 -= 2;
            i2 -= 2;
        }
    }
    const float* h = kSwitchHeading[piece.switchType][piece.rotation][SwitchColumn(forward, b)];
    const float per = (h[1] - h[0]) / kSwitchSpan;
    heading = p <= 0.5f ? (float(i1) + p + 0.5f) * per + h[0] : (float(i2) + p - 0.5f) * per + h[0];
    return true;
}

float AircraftLift(bool fromGround, bool toGround, float f, int32_t tileHeight) {
    const float cruise = kAircraftCruiseTiles * float(std::max(tileHeight, 0));
    f = std::clamp(f, 0.0f, 1.0f);
    const float from = fromGround ? 0.0f : cruise, to = toGround ? 0.0f : cruise;
    return from + (to - from) * f;
}

uint32_t AircraftShadowAlpha(float lift, int32_t tileHeight) {
    const float cruise = kAircraftCruiseTiles * float(tileHeight);
    if (!(lift > 0.0f) || !(cruise > 0.0f))
        return 0;
    // Dark close to the ground, about half as dark at cruising height.
    const float share = std::min(lift / cruise, 1.0f);
    return uint32_t(160.0f - 80.0f * share);
}

int32_t RotorFrame(uint32_t t, float rotationTime, int32_t frames) {
    if (!(rotationTime > 0.0f) || frames <= 0)
        return 0;
    const double perFrame = double(rotationTime) / double(frames);
    if (!(perFrame > 0.0))
        return 0;
    return int32_t(uint64_t(double(t) / perFrame) % uint64_t(frames));
}

bool AircraftOnGround(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return false;
    return GetStation(map.GetCellBuilding(uint32_t(x), uint32_t(y))) != nullptr;
}
