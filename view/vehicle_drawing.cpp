#include "view/vehicle_drawing.h"

#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "engine/draw_layers.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "transport/special_track.h"
#include "transport/waypoint_list.h"
#include "vehicles/aircraft_routes.h"
#include "vehicles/vehicle.h"
#include "view/map_view_state.h"
#include "view/random_table.h"
#include "view/screen_effects.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>

namespace {

constexpr int32_t kVehicleKind = 11;
constexpr int32_t kBlendPlain = 1;
constexpr int32_t kBlendTinted = 17;
// The row of the special tracks that holds the arcs of plain-track curves.
constexpr int32_t kPlainCurveRow = 7;
constexpr float kDegree = 0.017453292f;
// Half the base tile, in pixels at zoom 1.
constexpr float kHalfTileW = 60.0f, kHalfTileH = 20.0f;

// Car motion record words.
enum MotionWord : uint32_t {
    kCarKind = 0,
    kSpriteNumber,
    kEmptyFrame,
    kLoadedFrame,
    kCarIndex,
    kCarLength,
    kCarMode,
    kStartTime,
    kEndTime,
    kTileX,
    kTileY,
    kProgress,
    kExtraFrame,
};

uint8_t BlockByte(const Vehicle& v, uint32_t at) {
    return v.Block()[at];
}

uint32_t BlockU32(const Vehicle& v, uint32_t at) {
    return plat::LoadLE32(v.Block().data() + at);
}

uint32_t DirectionIndex(uint32_t mask) {
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

bool Moving(int32_t state) {
    return state == kStateMoving || state == kStatePassing;
}

uint32_t OwnerColour(const Vehicle& v) {
    if (v.GetOwner() < 0)
        return 0xFFFFFFFFu;
    const int32_t c = GetPlayerDrawColour(uint32_t(v.GetOwner()), false);
    return c == -1 ? 0xFFFFFFFFu : uint32_t(c) | 0xFF000000u;
}

// A smoke puff: rises, grows and fades over its lifetime (real ms).
class SmokePuff final : public ScreenEffect {
public:
    SmokePuff(int32_t aX, int32_t aY, uint32_t aGrey, uint32_t aLife, uint32_t now)
        : x_(aX), y_(aY), grey_(aGrey), life_(std::max<uint32_t>(aLife, 1)), start_(now) {}
    void Update(uint32_t) override {}
    void Draw(uint32_t now) override {
        if (IsDone(now) || now < start_)
            return;
        const float age = float(now - start_) / float(life_);
        const float s = Viewport::GetZoomScale();
        const int32_t r = int32_t((3.0f + 6.0f * age) * s) + 1;
        const int32_t rise = int32_t(30.0f * age * s);
        const uint32_t alpha = uint32_t(200.0f * (1.0f - age));
        const EngineRect rect{x_ - r, y_ - rise - r, x_ + r, y_ - rise + r};
        Engine::QueueColourFill(2, rect, alpha << 24 | grey_ * 0x10101u);
    }
    bool IsDone(uint32_t now) const override { return now - start_ >= life_; }

private:
    int32_t x_, y_;
    uint32_t grey_, life_, start_;
};

} // namespace

VehicleDrawState& VehicleDrawStateOf(World& world) {
    return world.Attached<VehicleDrawState>();
}

float WakeFraction(uint32_t t, uint32_t previous, uint32_t next) {
    const uint32_t span = next - previous;
    if (span == 0)
        return 1.0f;
    return std::min(float(t - previous) / float(span), 1.0f);
}

float MaskHeading(uint32_t mask) {
    switch (mask) {
    case 1:
        return 0.0f;
    case 3:
        return 0.125f;
    case 2:
        return 0.25f;
    case 6:
        return 0.375f;
    case 4:
        return 0.5f;
    case 12:
        return 0.625f;
    case 8:
        return 0.75f;
    case 9:
        return 0.875f;
    default:
        return -1.0f;
    }
}

float CarHeading(float p, uint32_t k, uint32_t dPrev, uint32_t dMid, uint32_t dNext, uint8_t ownDirection) {
    const auto quarter = [](uint32_t mask) { return float(DirectionIndex(mask) & 3) * 0.25f; };
    const auto own = [&] {
        const float h = MaskHeading(ownDirection);
        return h < 0.0f ? 0.0f : h;
    };
    if (k != 0 && (dPrev == 0 || dMid == 0 || dNext == 0))
        return own();
    // Only the four straight directions turn by the rules below; a diagonal
    // step (or none) keeps the heading of the step it names.
    if (DirectionIndex(dMid) > 3 || DirectionIndex(dPrev) > 3 || DirectionIndex(dNext) > 3) {
        const float h = MaskHeading(dMid);
        return h < 0.0f ? own() : h;
    }
    if (dPrev == dMid && dMid == dNext)
        return quarter(dMid);
    const uint32_t mid = DirectionIndex(dMid), prev = DirectionIndex(dPrev);
    if (dMid != dNext && dNext != OppositeDirectionMask(mid) && p >= 0.5f) {
        if (dNext == DirectionMask((mid + 1) % 4))
            return (float(mid) + p - 0.5f) * 0.25f;
        if (dMid == 1)
            return 1.0f - (p - 0.5f) * 0.25f;
        return float(mid) * 0.25f - (p - 0.5f) * 0.25f;
    }
    if (dPrev != dMid && dMid != OppositeDirectionMask(prev) && p <= 0.5f) {
        if (dMid == DirectionMask((prev + 1) % 4))
            return (float(prev) + p + 0.5f) * 0.25f;
        if (dPrev == 1)
            return 1.0f - (p + 0.5f) * 0.25f;
        return float(prev) * 0.25f - (p + 0.5f) * 0.25f;
    }
    return quarter(dMid);
}

bool CurveOffset(const ValueTable& t, const ValueTable& m, float pathLength, uint32_t dIn, uint32_t dOut,
                 float u, float s, float& dx, float& dy) {
    if (dIn == dOut || pathLength <= 0.0f || DirectionIndex(dIn) > 3 || DirectionIndex(dOut) > 3)
        return false;
    const uint32_t r = DirectionIndex(dOut), g = DirectionIndex(dIn);
    const float start = t.Cell(4 * g, r), span = t.Cell(4 * g + 1, r);
    const float rx = t.Cell(4 * g + 2, r), ry = t.Cell(4 * g + 3, r);
    // A table without this arc answers -1: the car stays on its straight
    // line rather than jumping off the track.
    if (rx <= 0.0f || ry <= 0.0f || m.Cell(2 * g, r) == -1.0f)
        return false;
    const float theta = (start + span / pathLength * u) * kDegree;
    dx = float(m.IntCell(2 * g, r)) * s + rx * std::cos(theta) * s;
    dy = float(m.IntCell(2 * g + 1, r)) * s + ry * std::sin(theta) * s;
    return true;
}

int32_t RotationIndex(float h, int32_t rotations) {
    if (rotations <= 0)
        return 0;
    h += 0.5f;
    if (h >= 1.0f)
        h -= 1.0f;
    if (h < 0.0f)
        h += 1.0f;
    const int32_t r = int32_t(std::floor(h * float(rotations) + 0.5f));
    return r >= rotations ? 0 : r;
}

bool SmokeDue(const SmokeInputs& in) {
    static constexpr float kFactors[8] = {0.25f, 0.29f, 0.2f, 0.25f, 0.2f, 0.25f, 0.25f, 0.25f};
    if (in.kind == 2) {
        if (float(in.lastPuff) + 0.75f * float(in.tileTime) > float(in.now))
            return false;
    } else {
        const uint32_t wait = uint32_t(std::lround(float(in.tileTime) * kFactors[in.direction & 7]));
        if (uint64_t(in.lastPuff) + wait > in.now)
            return false;
    }
    if (in.condition < 90.0f) {
        const int32_t c = in.condition > 0.0f ? int32_t(in.condition) : 0;
        const int32_t p = std::min(c * c / 100, 50);
        if (int32_t(in.random) > p)
            return false;
    }
    switch (in.moveMask) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 8:
    case 9:
    case 12:
        return true;
    default:
        return false;
    }
}

uint32_t SmokeGrey(float condition) {
    const float c = condition > 0.0f ? condition : 0.0f;
    return uint32_t(std::clamp<long>(std::lround(c * c * 0.0255f), 0, 255));
}

namespace {

struct CarPlace {
    int32_t x = 0, y = 0;     // the screen point the car's sprite centres on, less the half tile
    float heading = 0.0f;     // a fraction of a turn
    float mapX = 0, mapY = 0; // the map point, for the sort rectangle
    uint32_t moveMask = 0;
};

TrailPoint TrailAt(const std::vector<TrailPoint>& trail, uint32_t k) {
    // A trail of no or one point: the car stands on its head's tile.
    if (trail.empty())
        return {};
    return trail[std::min<size_t>(k, trail.size() - 1)];
}

uint32_t DirectionOf(const TrailPoint& from, const TrailPoint& to) {
    return DirectionBetween(uint32_t(from.x), uint32_t(from.y), uint32_t(to.x), uint32_t(to.y));
}

// The straight place of a car at trail index k, fraction p.
CarPlace StraightPlace(const std::vector<TrailPoint>& trail, uint32_t k, float p) {
    const TrailPoint a1 = TrailAt(trail, k + 1), a0 = TrailAt(trail, k);
    const ScreenPoint s1 = Viewport::GetTileAnchor(a1.x, a1.y), s0 = Viewport::GetTileAnchor(a0.x, a0.y);
    CarPlace c;
    c.x = int32_t(float(s1.x) + float(s0.x - s1.x) * p);
    c.y = int32_t(float(s1.y) + float(s0.y - s1.y) * p);
    c.mapX = float(a1.x) + float(a0.x - a1.x) * p;
    c.mapY = float(a1.y) + float(a0.y - a1.y) * p;
    c.moveMask = DirectionOf(a1, a0);
    return c;
}

// The plain-track curve of a car: the arc of tile k + 1 before the middle
// of the square, of tile k after it.
void ApplyCurve(const std::vector<TrailPoint>& trail, uint32_t k, float p, uint32_t dPrev, uint32_t dMid,
                uint32_t dNext, CarPlace& c) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(kPlainCurveRow);
    if (!row)
        return;
    const float s = Viewport::GetZoomScale();
    float dx = 0, dy = 0;
    if (p <= 0.5f) {
        const TrailPoint a = TrailAt(trail, k + 1);
        if (CurveOffset(row->TrainCurveTable, row->CurveMiddlePoint, row->PathLength, dPrev, dMid, p + 0.5f,
                        s, dx, dy)) {
            const ScreenPoint anchor = Viewport::GetTileAnchor(a.x, a.y);
            c.x = int32_t(float(anchor.x) + dx);
            c.y = int32_t(float(anchor.y) + dy);
        }
    } else {
        const TrailPoint a = TrailAt(trail, k);
        if (CurveOffset(row->TrainCurveTable, row->CurveMiddlePoint, row->PathLength, dMid, dNext, p - 0.5f,
                        s, dx, dy)) {
            const ScreenPoint anchor = Viewport::GetTileAnchor(a.x, a.y);
            c.x = int32_t(float(anchor.x) + dx);
            c.y = int32_t(float(anchor.y) + dy);
        }
    }
}

// The special-track piece a car at trail index k is on: the trail's object
// there, or the piece whose footprint holds the tile.
const SpecialTrack* PieceAt(const Vehicle& v, uint32_t k, const TrailPoint& tile) {
    const auto& objects = v.TrailObjects();
    ObjectHandle id = k < objects.size() ? objects[k] : 0;
    if (id == 0 && tile.x >= 0 && tile.y >= 0)
        id = GetWorldMap().GetBuildingAt(uint32_t(tile.x), uint32_t(tile.y));
    return id ? dynamic_cast<const SpecialTrack*>(BuildingFromId(id)) : nullptr;
}

// A tile's path point on the piece, -1 for none.
int32_t PathIndex(const SpecialTrack& piece, const TrailPoint& tile) {
    const int32_t i = piece.GetPathIndexAt(tile.x, tile.y);
    return i < 0 || i >= int32_t(kSpecialTrackMaxPathPoints) ? -1 : i;
}

PieceArcs ArcsOf(const SpecialTrack& piece) {
    PieceArcs arcs;
    const SpecialTracksRow* row = SpecialTracksTable::Find(piece.GetType());
    if (!row)
        return arcs;
    arcs.curves = &row->TrainCurveTable;
    arcs.middles = &row->CurveMiddlePoint;
    arcs.pathLength = row->PathLength;
    arcs.points = int32_t(row->PathTable.RowCount());
    arcs.rotation = piece.GetRotation();
    arcs.switchType = row->SwitchType;
    return arcs;
}

// The entry and exit masks of the route tile `steps` tiles ahead of the
// head; false when the route does not reach so far.
bool RouteTileAhead(const Vehicle& v, uint32_t steps, uint32_t& entry, uint32_t& exit) {
    const WaypointList* route = v.GetRoute();
    if (!route || route->Count() == 0 || v.Trail().empty())
        return false;
    const TrailPoint head = v.Trail()[0];
    const uint32_t from = v.GetRoutePosition() > 0 ? v.GetRoutePosition() - 1 : 0;
    int64_t found = -1, index = 0;
    bool done = false;
    route->VisitTiles([&](uint32_t x, uint32_t y, uint8_t previous, uint8_t mask, uint32_t segment) {
        if (done)
            return;
        if (found < 0) {
            if (segment >= from && int32_t(x) == head.x && int32_t(y) == head.y)
                found = index;
        } else if (index == found + int64_t(steps)) {
            const Waypoint& w = route->Get(segment);
            entry = w.x == x && w.y == y ? previous : mask;
            exit = mask ? mask : entry;
            done = true;
        }
        ++index;
    });
    return done;
}

// A car on a special-track piece follows the piece's arcs: its place and
// heading where the piece gives them; placed / turned say which it gave.
void ApplyPiece(const Vehicle& v, const SpecialTrack& piece, const std::vector<TrailPoint>& trail, uint32_t k,
                float p, uint32_t dPrev, uint32_t dMid, uint32_t dNext, CarPlace& c, bool& placed,
                bool& turned) {
    const PieceArcs arcs = ArcsOf(piece);
    const int32_t a = PathIndex(piece, TrailAt(trail, k + 1)), b = PathIndex(piece, TrailAt(trail, k));
    const ScreenPoint origin = Viewport::GetTileAnchor(piece.GetX(), piece.GetY());
    const float s = Viewport::GetZoomScale();
    float dx = 0, dy = 0, h = 0;
    if (!piece.IsSwitch()) {
        placed = PieceCarOffset(arcs, a, b, p, dNext, s, dx, dy);
        turned = PieceCarHeading(arcs, a, b, p, dNext, h);
    } else {
        SwitchCar car;
        car.a = a;
        car.b = b;
        car.p = p;
        car.dPrev = dPrev;
        car.dMid = dMid;
        car.dNext = dNext;
        RouteTileAhead(v, 2, car.entry, car.exit);
        placed = SwitchCarOffset(arcs, car, s, dx, dy);
        turned = placed && SwitchCarHeading(arcs, a, b, p, h);
    }
    if (placed) {
        c.x = int32_t(float(origin.x) + dx);
        c.y = int32_t(float(origin.y) + dy);
    }
    if (turned)
        c.heading = h;
}

// The picture of a car: its kind's rotations and animation, the loaded or
// empty frame, in the owner's colour set; null when there is none.
const TiledImage* CarSprite(const Vehicle& v, int32_t spriteNumber, int32_t kind, int32_t frame,
                            float heading, float p, int32_t animation = -1) {
    if (kind == 2)
        return nullptr; // cars of private kinds have their own drawing
    const VehicleRow* row = VehicleTable::Find(spriteNumber);
    const VehicleRow* own = v.Row();
    if (!row)
        return nullptr;
    if (BlockU32(v, 40) == 1) {
        heading += 0.5f;
        if (heading > 1.0f)
            heading -= 1.0f;
    }
    if (v.GetState() == kStateBroken) {
        heading += 0.125f;
        if (heading > 1.0f)
            heading -= 1.0f;
    }
    if (!(Moving(v.GetState()) && own && own->MaxAminationsPerRotation >= 2))
        p = 0.0f;
    const int32_t rotations = std::max(row->NrOfRotations, 1);
    int32_t r = RotationIndex(heading, rotations);
    if (kind == 3 || kind == 4)
        r = (r + rotations / 2) % rotations;
    const int32_t a = row->MaxAminationsPerRotation;
    int32_t anim = 0;
    if (a > 0) {
        anim = int32_t(std::floor(float(row->AnimationLoopsPerSquare * a) * p + 0.5f)) % a;
        if (anim < 0)
            anim += a;
    }
    if (animation >= 0)
        anim = animation;
    GraphicSets::SetFieldA(uint8_t(r));
    if (kind == 0 || kind == 3)
        GraphicSets::SetFieldB(uint8_t(anim));
    return SpriteFetch(kVehicleKind, spriteNumber, frame);
}

// Queues one car's picture centred on its place, in the colour (its alpha
// byte included) and layer given; true when queued.
bool QueueCarTinted(const Vehicle& v, const TiledImage* image, const CarPlace& c, uint32_t colour,
                    float scale, int32_t lengthQuarters, int32_t layer) {
    if (!image || image->textures.empty())
        return false;
    const float s = Viewport::GetZoomScale();
    const float w = float(image->zoomedWidth) * scale, h = float(image->zoomedHeight) * scale;
    const int32_t left = int32_t(float(c.x) - w / 2 + kHalfTileW * s);
    const int32_t top = int32_t(float(c.y) - h / 2 - kHalfTileH * s);
    const EngineRect screen{left, top, left + int32_t(w), top + int32_t(h)};
    // The sort rectangle: the quarter tiles about the car's map point.
    const int32_t qx = int32_t(std::floor(c.mapX * 4.0f + 2.0f)),
                  qy = int32_t(std::floor(c.mapY * 4.0f + 2.0f));
    const int32_t half = std::max(lengthQuarters / 2, 1);
    const EngineRect sort{qx - half, qy - half, qx + half, qy + half};
    const int32_t blend = colour == 0xFFFFFFFFu ? kBlendPlain : kBlendTinted;
    return Engine::QueueSpriteTinted(layer, TextureHandle(image->textures[0]), colour, screen, sort, 0, blend,
                                     1, v.GetId() << 4 | 3u, 0);
}

// In the owner's colour with the alpha given, on the ground layer.
bool QueueCar(const Vehicle& v, const TiledImage* image, const CarPlace& c, uint32_t alpha, float scale,
              int32_t lengthQuarters) {
    return QueueCarTinted(v, image, c, (OwnerColour(v) & 0x00FFFFFFu) | alpha << 24, scale, lengthQuarters,
                          1);
}

// The engine's smoke for unit `unit` of the vehicle at the screen point.
void EmitSmoke(const Vehicle& v, uint32_t t, int32_t spriteNumber, int32_t carMode, const CarPlace& c,
               int32_t kind) {
    VehicleDrawState& d = VehicleDrawStateOf();
    if (carMode != 0 && carMode != 3)
        return;
    ++d.unitCounter;
    if (!d.smoke)
        return;
    const VehicleRow* row = VehicleTable::Find(spriteNumber);
    if (!row)
        return;
    static constexpr int32_t kEngines[] = {5, 6, 12, 13, 14};
    if (std::find(std::begin(kEngines), std::end(kEngines), row->VehicleType) == std::end(kEngines) ||
        row->SmokePosition.RowCount() == 0 || row->SmokePosition.ColumnCount() < 2)
        return;
    const int32_t state = v.GetState();
    const uint8_t headDirection = BlockByte(v, 124) ? BlockByte(v, 124) : uint8_t(c.moveMask);
    if (!Moving(state) || headDirection == 0)
        return;
    // Units are drawn by the lead vehicle: each keeps its own puff time.
    const ObjectHandle unit = d.unitCounter > 0 ? v.GetUnit(uint32_t(d.unitCounter)) : v.GetId();
    if (unit == 0)
        return;
    uint32_t& last = d.lastPuff[unit];
    SmokeInputs in;
    in.now = t;
    in.lastPuff = last;
    in.tileTime = BlockU32(v, 100);
    in.direction = uint8_t(DirectionIndex(c.moveMask) & 7);
    in.moveMask = c.moveMask;
    in.condition = v.GetCondition();
    in.kind = kind;
    in.random = RandomTable() % 100;
    if (!SmokeDue(in))
        return;
    last = t;
    const uint32_t grey = SmokeGrey(v.GetCondition());
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const uint32_t limit = in.tileTime > 0 ? in.tileTime : 500;
    const float s = Viewport::GetZoomScale();
    const uint32_t smokeRow =
        std::min<uint32_t>(DirectionIndex(c.moveMask), row->SmokePosition.RowCount() - 1);
    for (uint32_t k = 0; k < row->SmokePosition.ColumnCount() / 2; ++k) {
        const uint32_t times = kind == 2 ? (RandomTable() & 3) + 25 : (RandomTable() & 3) + 2;
        uint32_t life = limit * times;
        if (constants && constants->MinimumSpeed > 0)
            life = std::min(life, uint32_t(constants->MinimumSpeed) * times);
        const float ox = row->SmokePosition.Cell(2 * k, smokeRow),
                    oy = row->SmokePosition.Cell(2 * k + 1, smokeRow);
        const int32_t px = int32_t(float(c.x) + kHalfTileW * s + ox * s);
        const int32_t py = int32_t(float(c.y) - kHalfTileH * s + oy * s);
        AddScreenEffect(
            std::make_unique<SmokePuff>(px, py, grey, std::min<uint32_t>(life, 4000), plat::Clock::Millis()));
        ++d.puffsMade;
    }
}

// A road vehicle between its head's last two trail points at fraction f:
// along the arc of a turn, on the tile behind before the middle of its
// square and on the tile ahead after it, and shifted to its lane by the
// displacements of those two tiles, blended along the square so that the
// vehicle never jumps. `entry` and `exit` are the directions into and out
// of the tile ahead.
void PlaceOnRoad(const std::vector<TrailPoint>& trail, float f, uint32_t entry, uint32_t exit,
                 const VehicleConstantsRow* constants, CarPlace& c) {
    const float s = Viewport::GetZoomScale();
    uint32_t before = trail.size() >= 3 ? DirectionOf(TrailAt(trail, 2), TrailAt(trail, 1)) : entry;
    // No single step behind (a trail not laid that far): as if straight on.
    if (before != 1 && before != 2 && before != 4 && before != 8)
        before = entry;
    if (constants) {
        const bool firstHalf = f <= 0.5f;
        const TrailPoint tile = TrailAt(trail, firstHalf ? 1 : 0);
        float dx = 0, dy = 0;
        if (RoadCurveOffset(constants->TruckCurveTable, firstHalf ? before : entry, firstHalf ? entry : exit,
                            firstHalf ? f + 0.5f : f - 0.5f, s, dx, dy)) {
            const ScreenPoint anchor = Viewport::GetTileAnchor(tile.x, tile.y);
            c.x = int32_t(float(anchor.x) + dx);
            c.y = int32_t(float(anchor.y) + dy);
        }
    }
    int32_t bx = 0, by = 0, ax = 0, ay = 0;
    RoadOffset(before, entry, s, bx, by);
    RoadOffset(entry, exit, s, ax, ay);
    c.x += int32_t(float(bx) + float(ax - bx) * f);
    c.y += int32_t(float(by) + float(ay - by) * f);
}

// Flying aircraft are drawn above spans and buildings.
constexpr int32_t kFlyingLayer = 3;

// A train drawn car by car from its motion records.
int32_t DrawCars(Vehicle& v, uint32_t t) {
    const auto& motion = v.Motion();
    const auto& trail = v.Trail();
    const auto& flags = v.TrailFlags();
    const int32_t state = v.GetState();
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const int32_t divisor =
        constants && constants->VehicleFieldDivisor > 0 ? constants->VehicleFieldDivisor : 4;
    const uint8_t own = BlockByte(v, 124);
    const uint32_t alpha = state == kStateWaitsPassing || state == kStatePassing ? 160 : 255;
    int32_t drawn = 0;
    int32_t lengthBefore = 0;
    for (size_t i = 0; i < motion.size(); ++i) {
        const auto& m = motion[i];
        // The car's trail index: from the lengths before it, on to its tile.
        int32_t kk = std::max(lengthBefore / divisor - 1, 0);
        lengthBefore += int32_t(m[kCarLength]);
        while (size_t(kk) < trail.size() &&
               (trail[size_t(kk)].x != int32_t(m[kTileX]) || trail[size_t(kk)].y != int32_t(m[kTileY])))
            ++kk;
        uint32_t k = size_t(kk) < trail.size() ? uint32_t(kk) : 0;
        float p =
            Moving(state) ? WakeFraction(t, m[kStartTime], m[kEndTime]) : std::bit_cast<float>(m[kProgress]);
        const float p0 = p;
        if (!(p == p))
            p = 1.0f;
        if (p < 0.0f)
            p += std::floor(1.0f - p);
        if (p > 1.0f) {
            const float whole = std::floor(p);
            p -= whole;
            k = whole >= float(k) ? 0 : k - uint32_t(whole);
            if (i == 0)
                p = 1.0f;
        }
        const uint32_t dMid = DirectionOf(TrailAt(trail, k + 1), TrailAt(trail, k));
        uint32_t dPrev = DirectionOf(TrailAt(trail, k + 2), TrailAt(trail, k + 1));
        uint32_t dNext = dMid;
        uint32_t mid = dMid;
        if (Moving(state) || state == kStateBlockedOnTrack) {
            dNext = k == 0 ? (BlockByte(v, 29) ? BlockByte(v, 29) : dMid)
                           : DirectionOf(TrailAt(trail, k), TrailAt(trail, k - 1));
            if (k != 0 && (dNext == 0 || mid == 0 || dPrev == 0))
                dNext = mid = dPrev = own;
        } else if (mid == 0 || dPrev == 0) {
            dNext = mid = dPrev = own;
        }
        if (k < flags.size() && flags[k] == 2)
            continue;
        CarPlace c = StraightPlace(trail, k, p);
        bool placed = false, turned = false;
        if (k < Vehicle::kTrail)
            if (const SpecialTrack* piece = PieceAt(v, k, TrailAt(trail, k)))
                ApplyPiece(v, *piece, trail, k, p, dPrev, mid, dNext, c, placed, turned);
        if (!placed)
            ApplyCurve(trail, k, p, dPrev, mid, dNext, c);
        if (!turned)
            c.heading = CarHeading(p, k, dPrev, mid, dNext, own);
        if (c.moveMask == 0)
            c.moveMask = own;
        const int32_t kind = int32_t(m[kCarKind]);
        const int32_t number = int32_t(m[kSpriteNumber]);
        const int32_t carIndex = int32_t(m[kCarIndex]);
        const bool loaded =
            carIndex >= 0 && size_t(carIndex) < v.Cars().size() && v.Cars()[size_t(carIndex)].amount > 0;
        const TiledImage* image =
            CarSprite(v, number, kind, int32_t(loaded ? m[kLoadedFrame] : m[kEmptyFrame]), c.heading, p);
        if (!image)
            break; // a car without its picture ends the train's drawing
        uint32_t carAlpha = alpha;
        const int32_t mode = int32_t(m[kCarMode]);
        if (i > 0 && mode == 1)
            carAlpha = std::min<uint32_t>(carAlpha, uint32_t(std::clamp(p0, 0.0f, 1.0f) * 255.0f));
        if (mode != 2 && mode != 3)
            drawn += QueueCar(v, image, c, carAlpha, 1.0f, int32_t(m[kCarLength])) ? 1 : 0;
        if (kind == 0 || kind == 3)
            EmitSmoke(v, t, number, mode, c, 0);
    }
    return drawn;
}

} // namespace

int32_t DrawVehicle(Vehicle& v, uint32_t t) {
    const int32_t state = v.GetState();
    if (state <= kStateWaitsPlacing || state == kStateReadyToBeRemoved)
        return 0;
    VehicleDrawState& d = VehicleDrawStateOf();
    const uint32_t revision = GetWorldMap().GetRevision();
    auto [at, fresh] = d.drawnRevision.try_emplace(v.GetId(), revision);
    if (!fresh && at->second == revision)
        return 0;
    at->second = revision;
    d.unitCounter = -1;
    const float f = WakeFraction(t, BlockU32(v, 20), BlockU32(v, 24));
    const int32_t mode = v.GetConnectionType();
    if (mode == 1 && !v.Motion().empty())
        return DrawCars(v, t);
    // One unit between the head's last two trail points.
    const auto& trail = v.Trail();
    const float share = Moving(state) ? f : 1.0f;
    CarPlace c = StraightPlace(trail, 0, share);
    const uint32_t entry = c.moveMask;
    uint32_t direction = c.moveMask;
    if ((Moving(state) || (mode == 2 && state == kStateBlockedOnTrack)) && BlockByte(v, 29) != 0)
        direction = BlockByte(v, 29);
    if (direction == 0)
        direction = BlockByte(v, 124);
    c.heading = std::max(MaskHeading(direction), 0.0f);
    c.moveMask = direction;
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    if (mode == 0)
        PlaceOnRoad(trail, share, entry ? entry : direction, direction, constants, c);
    int32_t animation = -1;
    float lift = 0.0f;
    int32_t tileW = 0, tileH = 0;
    if (mode == 3) {
        // Aircraft fly above the ground between airports: lifted by their
        // height, their shadow left on the ground beneath.
        Viewport::GetTileSize(tileW, tileH);
        const TrailPoint from = TrailAt(trail, 1), to = TrailAt(trail, 0);
        lift = AircraftLift(AircraftOnGround(from.x, from.y), AircraftOnGround(to.x, to.y), share, tileH);
        const VehicleRow* row = v.Row();
        if (row && row->VehicleType == kHelicopterType && constants && Moving(state))
            animation =
                RotorFrame(t, constants->HelicopterPropellerRotationTime, row->MaxAminationsPerRotation);
    }
    const TiledImage* image =
        CarSprite(v, v.GetVehicleType(), 0, 0, c.heading, Moving(state) ? f : 0.0f, animation);
    float scale = 1.0f;
    if (mode == 2 && constants && constants->ShipScaleFactor > 0.0f)
        scale = constants->ShipScaleFactor;
    const uint32_t alpha = state == kStateWaitsPassing || state == kStatePassing ? 160 : 255;
    int32_t drawn = 0;
    if (lift > 0.0f) {
        CarPlace raised = c;
        raised.y = int32_t(float(c.y) - lift);
        drawn += QueueCarTinted(v, image, raised, (OwnerColour(v) & 0x00FFFFFFu) | alpha << 24, scale, 4,
                                kFlyingLayer)
                     ? 1
                     : 0;
        const uint32_t shadow = AircraftShadowAlpha(lift, tileH);
        if (drawn && shadow > 0)
            drawn += QueueCarTinted(v, image, c, shadow << 24, scale, 4, 1) ? 1 : 0;
    } else {
        drawn += QueueCar(v, image, c, alpha, scale, 4) ? 1 : 0;
    }
    EmitSmoke(v, t, v.GetVehicleType(), 0, c, mode == 2 ? 2 : 0);
    return drawn;
}

int32_t DrawMovingObjects(uint32_t t) {
    VehicleDrawState& d = VehicleDrawStateOf();
    d.imagesDrawn = 0;
    const EngineRect view = Viewport::GetRect();
    int32_t tw = 0, th = 0;
    Viewport::GetTileSize(tw, th);
    ForEachMovingObject([&](MovingObject& object) {
        // Off-screen objects are left out early: the tile and a margin.
        const EngineRect tile = Viewport::TileBounds(object.GetX(), object.GetY());
        if (tile.right + 2 * tw < view.left || tile.left - 2 * tw > view.right ||
            tile.bottom + 4 * th < view.top || tile.top - 4 * th > view.bottom)
            return true;
        if (object.GetMovingKind() != kMovingKindVehicle)
            d.imagesDrawn += uint32_t(DrawMover(object, t));
        else if (auto* vehicle = dynamic_cast<Vehicle*>(&object))
            d.imagesDrawn += uint32_t(DrawVehicle(*vehicle, t));
        return true;
    });
    return int32_t(d.imagesDrawn);
}
