#include "world/mountain.h"

#include "data/generated/tables.h"
#include "data/mountain_shape.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/object_manager.h"
#include "world/packed_field.h"
#include "world/world_cell.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <vector>

namespace {

constexpr uint32_t kTagMountain = ChunkTag("mou1");
// Older saves name the chunk "data".
constexpr uint32_t kTagMountainOld = ChunkTag("data");
constexpr uint32_t kTags[] = {kTagMountain};

bool ShapeUsable(const MountainShape* shape) {
    return shape && shape->rows > 0 && shape->columns > 0 &&
           shape->grid.size() == size_t(shape->rows) * size_t(shape->columns);
}

// Calls visit(tile x, tile y, cell value) for every non-zero cell.
template <typename Visit>
void ForEachShapeTile(const MountainShape& shape, int32_t x, int32_t y, Visit&& visit) {
    for (int32_t r = 0; r < shape.rows; ++r) {
        for (int32_t c = 0; c < shape.columns; ++c) {
            const int32_t value = shape.Cell(c, r);
            if (value != 0)
                visit(int64_t(x) - shape.anchorX + c, int64_t(y) - shape.anchorY + r, value);
        }
    }
}

bool OnMap(int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y));
}

bool CornersOnMap(const MountainShape& shape, int32_t x, int32_t y) {
    const int64_t originX = int64_t(x) - shape.anchorX;
    const int64_t originY = int64_t(y) - shape.anchorY;
    return OnMap(originX, originY) && OnMap(originX + shape.columns - 1, originY + shape.rows - 1);
}

} // namespace

const MountainShape* GetMountainTemplate(int32_t templateIndex) {
    const MountainsRow* row = MountainsTable::Find(templateIndex);
    return row ? &row->Shape : nullptr;
}

Mountain::~Mountain() {
    const MountainShape* shape = GetMountainTemplate(templateIndex_);
    if (!ShapeUsable(shape) || id_ == 0)
        return;
    WorldMap& map = GetWorldMap();
    ForEachShapeTile(*shape, x_, y_, [&](int64_t tx, int64_t ty, int32_t) {
        if (OnMap(tx, ty) && map.GetCellKind(uint32_t(tx), uint32_t(ty)) == kCellFootprint &&
            map.GetBuildingAt(uint32_t(tx), uint32_t(ty)) == id_)
            map.ResetCell(uint32_t(tx), uint32_t(ty));
    });
}

void Mountain::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != kTagMountain && tag != kTagMountainOld)
            return;
        TransferPackedSized<8>(
            [this](uint8_t* bytes) {
                plat::StoreLE32(bytes, uint32_t(graphicNumber_));
                plat::StoreLE32(bytes + 4, uint32_t(templateIndex_));
            },
            [this](const uint8_t* bytes) {
                graphicNumber_ = int32_t(plat::LoadLE32(bytes));
                templateIndex_ = int32_t(plat::LoadLE32(bytes + 4));
            });
    });
}

void Mountain::Place(int32_t x, int32_t y, int32_t graphicNumber, int32_t templateIndex, int32_t, int32_t,
                     bool stamp) {
    graphicNumber_ = graphicNumber;
    templateIndex_ = templateIndex;
    const MountainShape* shape = GetMountainTemplate(templateIndex);
    if (ShapeUsable(shape)) {
        width_ = shape->farX - shape->anchorX + 1;
        height_ = shape->farY - shape->anchorY + 1;
    } else {
        width_ = 0;
        height_ = 0;
    }
    x_ = x;
    y_ = y;
    category_ = kCategoryBuilding;
    subtype_ = kSubtype;
    StampMountainTemplate(templateIndex, id_, x, y, stamp ? 2 : 0);
}

bool Mountain::LiesInOpenWater() const {
    const MountainShape* shape = GetMountainTemplate(templateIndex_);
    if (!ShapeUsable(shape) || !CornersOnMap(*shape, x_, y_))
        return false;
    const WorldMap& map = GetWorldMap();
    bool inWater = false;
    ForEachShapeTile(*shape, x_, y_, [&](int64_t tx, int64_t ty, int32_t) {
        if (inWater || !OnMap(tx, ty))
            return;
        const uint32_t ux = uint32_t(tx), uy = uint32_t(ty);
        inWater = map.IsWater(ux, uy) && map.IsNavigable(ux, uy) && IsOpenWater(int32_t(tx), int32_t(ty));
    });
    return inWater;
}

bool IsOpenWater(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    static constexpr int32_t kAxes[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& axis : kAxes) {
        for (int32_t step = 1; step <= 4; ++step) {
            const int64_t tx = int64_t(x) + axis[0] * step;
            const int64_t ty = int64_t(y) + axis[1] * step;
            if (OnMap(tx, ty) && !map.IsWater(uint32_t(tx), uint32_t(ty)))
                return false;
        }
    }
    return true;
}

bool CanPlaceMountainTemplate(int32_t templateIndex, int32_t x, int32_t y) {
    const MountainShape* shape = GetMountainTemplate(templateIndex);
    if (!shape)
        return false;
    if (!CornersOnMap(*shape, x, y))
        return false;
    if (shape->rows == 0)
        return true;
    const WorldMap& map = GetWorldMap();
    bool fits = true;
    ForEachShapeTile(*shape, x, y, [&](int64_t tx, int64_t ty, int32_t value) {
        if (!fits)
            return;
        if (!OnMap(tx, ty)) {
            fits = false;
            return;
        }
        const uint32_t ux = uint32_t(tx), uy = uint32_t(ty);
        const uint32_t kind = map.GetCellKind(ux, uy);
        if (kind == kCellFootprint) {
            const MapObject* other = BuildingFromId(map.GetBuildingAt(ux, uy));
            if (!other || other->GetSubtype() != Mountain::kSubtype) {
                fits = false;
                return;
            }
            if (value == 2) {
                const auto* mountain = dynamic_cast<const Mountain*>(other);
                if (!mountain)
                    return;
                if (tx >= mountain->GetX() && tx < mountain->GetX() + mountain->GetWidth() &&
                    ty >= mountain->GetY() && ty < mountain->GetY() + mountain->GetHeight()) {
                    fits = false;
                    return;
                }
            }
        }
        if (kind == kCellRoute) {
            fits = false;
            return;
        }
        const TerrainRow* terrain = map.TerrainAt(ux, uy);
        if (terrain && terrain->CanBuildBuilding == 0)
            fits = false;
    });
    return fits;
}

void StampMountainTemplate(int32_t templateIndex, uint32_t handle, int32_t x, int32_t y, uint32_t mode) {
    const MountainShape* shape = GetMountainTemplate(templateIndex);
    if (!ShapeUsable(shape))
        return;
    WorldMap& map = GetWorldMap();
    ForEachShapeTile(*shape, x, y, [&](int64_t tx, int64_t ty, int32_t value) {
        if (!OnMap(tx, ty))
            return;
        const uint32_t ux = uint32_t(tx), uy = uint32_t(ty);
        if (value == 2 || (value == 1 && map.GetCellKind(ux, uy) != kCellFootprint))
            map.PlaceFootprint(ux, uy, handle, 1, 1, mode);
    });
}

bool ApplyMou1Templates() {
    std::vector<MapObject*> mountains;
    GetMapObjects(mountains, kSelectCategory | kSelectSubtype, kCategoryBuilding, Mountain::kSubtype, 0);
    bool allFound = true;
    for (MapObject* object : mountains) {
        auto* mountain = dynamic_cast<Mountain*>(object);
        if (!mountain)
            continue;
        if (!ShapeUsable(GetMountainTemplate(mountain->GetTemplateIndex()))) {
            WorldWarning("mountain %u: no shape template %d, left without footprint", mountain->GetId(),
                         mountain->GetTemplateIndex());
            allFound = false;
            continue;
        }
        StampMountainTemplate(mountain->GetTemplateIndex(), mountain->GetId(), mountain->GetX(),
                              mountain->GetY(), 2);
    }
    return allFound;
}

void RemoveMountainsInOpenWater() {
    std::vector<MapObject*> mountains;
    GetMapObjects(mountains, kSelectCategory | kSelectSubtype, kCategoryBuilding, Mountain::kSubtype, 0);
    std::vector<ObjectHandle> doomed;
    for (MapObject* object : mountains) {
        if (const auto* mountain = dynamic_cast<Mountain*>(object); mountain && mountain->LiesInOpenWater())
            doomed.push_back(object->GetId());
    }
    for (ObjectHandle id : doomed)
        DeleteMapObject(id);
}
