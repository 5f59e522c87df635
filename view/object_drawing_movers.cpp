// The movers on the map: town cars on their road lanes, farm animals on
// their farms and harvesters on their fields, each a picture turned to its
// heading between the tile it comes from and the one it is on.
#include "view/vehicle_drawing.h"

#include "data/generated/economy_tables.h"
#include "data/generated/vehicle_tables.h"
#include "engine/draw_layers.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "vehicles/moving_object.h"
#include "world/bridge_span.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kBlendPlain = 1;
constexpr float kHalfTileW = 60.0f, kHalfTileH = 20.0f;
// Layers of a town car on a bridge: along y (road mask 5) and along x (10).
constexpr int32_t kBridgeLayerAlongY = 2;
constexpr int32_t kBridgeLayerAlongX = 3;
constexpr uint32_t kRoadAlongY = 5, kRoadAlongX = 10;

uint32_t Quarter(uint32_t mask) {
    switch (mask) {
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return 0;
    }
}

bool SingleDirection(uint32_t mask) {
    return mask == 1 || mask == 2 || mask == 4 || mask == 8;
}

// The turn from `from` to `to` at fraction u (0.5 to 1 of the half it runs).
float Turn(uint32_t from, uint32_t to, float u) {
    const uint32_t d = Quarter(from);
    if (to == DirectionMask((d + 1) % 4))
        return (float(d) + u) * 0.25f;
    const float base = from == 1 ? 1.0f : float(d) * 0.25f;
    return base - u * 0.25f;
}

// Whether the tile's road runs over a bridge or a ramp.
bool OnSpan(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    for (uint32_t id :
         {map.GetLayer1Object(uint32_t(x), uint32_t(y)), map.GetLayer2Object(uint32_t(x), uint32_t(y))})
        if (id != 0 && dynamic_cast<const BridgeSpan*>(MapObjectFromId(id)))
            return true;
    return false;
}

struct MoverLook {
    int32_t kind = -1, number = -1, frame = 0;
    int32_t rotations = 1;
    int32_t animations = 0; // frames per rotation
    int32_t loops = 1;      // animation loops per tile
    int32_t depth = 1;      // of the sort rectangle
    bool roadLane = false;
};

MoverLook LookOf(const MovingObject& object, const MoverPose& pose) {
    MoverLook look;
    switch (object.GetMovingKind()) {
    case kMovingKindCar: {
        look.kind = kPrivateCarSpriteKind;
        look.number = pose.graphicNumber;
        look.depth = 4;
        look.roadLane = true;
        look.rotations = 8;
        if (const PrivateCarRow* row = PrivateCarTable::Find(pose.graphicNumber)) {
            if (row->NrOfRotations > 0)
                look.rotations = row->NrOfRotations;
            look.animations = row->MaxAminationsPerRotation;
            look.loops = std::max(row->AnimationLoopsPerSquare, 1);
        }
        break;
    }
    case kMovingKindWalker:
        look.kind = kAnimalSpriteKind;
        look.number = pose.graphicNumber;
        look.frame = kAnimalSpriteFrame;
        look.rotations = kMoverRotations;
        if (const FactoryRow* row = FactoryTable::Find(pose.graphicNumber))
            look.animations = row->NrOfAnimalFrames;
        break;
    case kMovingKindHarvester:
        look.kind = kHarvesterSpriteKind;
        look.number = pose.graphicNumber;
        look.rotations = kMoverRotations;
        break;
    default:
        break;
    }
    return look;
}

} // namespace

void RoadOffset(uint32_t entry, uint32_t exit, float s, int32_t& dx, int32_t& dy) {
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const uint32_t row = Quarter(entry), column = Quarter(exit);
    const float x = constants ? constants->RoadDispX.Cell(column, row) : -1.0f;
    const float y = constants ? constants->RoadDispY.Cell(column, row) : -1.0f;
    dx = int32_t(x * s);
    dy = int32_t(y * s);
}

EngineRect SubTileRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, float t, uint32_t mask,
                       int32_t depth) {
    const float back = 1.0f - t;
    const int32_t x = int32_t(4.0f * float(x1) - 4.0f * float(x1 - x0) * back);
    const int32_t y =
        t >= 0.0f && t <= 1.0f ? int32_t(4.0f * float(y1) - 4.0f * float(y1 - y0) * back) : 4 * y1;
    switch (mask) {
    case 1:
        return {x + 2, y, x + 3, y + depth};
    case 2:
        return {x, y + 2, x + depth, y + 3};
    case 4:
        return {x + 1, y, x + 2, y + depth};
    case 8:
        return {x, y + 1, x + depth, y + 2};
    default:
        return {x, y, x + 1, y + 1};
    }
}

float MoverRotation(const MoverPose& pose, float t) {
    const uint32_t current = pose.direction, previous = pose.previousDirection, before = pose.directionBefore;
    if (current == previous && previous == before)
        return float(Quarter(current)) * 0.25f;
    if (t >= 0.5f && previous != current && previous != 0)
        return Turn(previous, current, t - 0.5f);
    if (t < 0.5f && before != previous && before != 0)
        return Turn(before, previous, t + 0.5f);
    return float(Quarter(previous)) * 0.25f;
}

int32_t DrawMover(const MovingObject& object, uint32_t t) {
    MoverPose pose;
    if (!object.GetPose(pose))
        return 0;
    const MoverLook look = LookOf(object, pose);
    if (look.kind < 0 || look.number < 0)
        return 0;
    int32_t layer = 1;
    if (look.roadLane && OnSpan(pose.x, pose.y)) {
        const uint32_t road = GetWorldMap().GetRoadDirections(uint32_t(pose.x), uint32_t(pose.y));
        if (road != kRoadAlongY && road != kRoadAlongX)
            return 0; // crossing beneath the deck: hidden by it
        layer = road == kRoadAlongY ? kBridgeLayerAlongY : kBridgeLayerAlongX;
    }
    const float f = pose.moved ? WakeFraction(t, pose.stepStart, pose.nextStep) : 1.0f;
    const float s = Viewport::GetZoomScale();
    const ScreenPoint from = Viewport::GetTileAnchor(pose.previousX, pose.previousY);
    const ScreenPoint to = Viewport::GetTileAnchor(pose.x, pose.y);
    int32_t x = int32_t(float(from.x) + float(to.x - from.x) * f);
    int32_t y = int32_t(float(from.y) + float(to.y - from.y) * f);
    if (look.roadLane) {
        int32_t dx = 0, dy = 0;
        RoadOffset(pose.previousDirection, pose.direction, s, dx, dy);
        x += dx;
        y += dy;
    } else {
        x += int32_t(float(pose.offsetX) * s);
        y += int32_t(float(pose.offsetY) * s);
    }

    const float heading = MoverRotation(pose, f);
    const int32_t rotation = RotationIndex(heading, look.rotations);
    int32_t animation = 0;
    if (look.animations > 1 && pose.moved) {
        animation = int32_t(std::floor(float(look.loops * look.animations) * f)) % look.animations;
        animation = std::max(animation, 0);
    }
    GraphicSets::SetFieldA(uint8_t(rotation));
    GraphicSets::SetFieldB(uint8_t(animation));
    const TiledImage* image = SpriteFetch(look.kind, look.number, look.frame);
    if (!image || image->textures.empty())
        return 0;
    const float w = float(image->zoomedWidth), h = float(image->zoomedHeight);
    const int32_t left = int32_t(float(x) - w / 2 + kHalfTileW * s);
    const int32_t top = int32_t(float(y) - h / 2 - kHalfTileH * s);
    const EngineRect screen{left, top, left + int32_t(w), top + int32_t(h)};
    const uint32_t mask = SingleDirection(pose.previousDirection) ? pose.previousDirection : 0;
    const EngineRect sort = SubTileRect(pose.previousX, pose.previousY, pose.x, pose.y, f, mask, look.depth);
    return Engine::QueueSprite(layer, TextureHandle(image->textures[0]), screen, sort, 0, kBlendPlain, 1,
                               object.GetId() << 4 | 3u, 0)
               ? 1
               : 0;
}
