#include "world/building.h"

#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/world_map.h"

#include <algorithm>
#include <cmath>

Building::~Building() {
    if (id_ == 0 || width_ <= 0 || height_ <= 0)
        return;
    // Only the part on the map: a loaded size may be anything.
    WorldMap& map = GetWorldMap();
    int64_t x0 = std::max<int64_t>(x_, 0), y0 = std::max<int64_t>(y_, 0);
    int64_t x1 = std::min<int64_t>(int64_t(x_) + width_, map.GetWidth());
    int64_t y1 = std::min<int64_t>(int64_t(y_) + height_, map.GetHeight());
    for (int64_t ty = y0; ty < y1; ++ty)
        for (int64_t tx = x0; tx < x1; ++tx)
            if (map.GetBuildingAt(uint32_t(tx), uint32_t(ty)) == id_)
                map.ResetCell(uint32_t(tx), uint32_t(ty));
}

void Building::Serialize() {
    MapObject::SerializeOwnChunk();
    if (StreamFailed())
        return;
    SerializeBuildingChunk();
}

void Building::SerializeBuildingChunk() {
    static constexpr uint32_t kTags[] = {ChunkTag("bld1")};
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != ChunkTag("bld1") && tag != ChunkTag("data"))
            return;
        uint8_t bytes[8];
        plat::StoreLE32(bytes, uint32_t(width_));
        plat::StoreLE32(bytes + 4, uint32_t(height_));
        TransferSized(bytes, sizeof bytes);
        if (StreamMode() == kStreamLoad) {
            width_ = int32_t(plat::LoadLE32(bytes));
            height_ = int32_t(plat::LoadLE32(bytes + 4));
        }
    });
}

bool Building::Place(int32_t x, int32_t y, int32_t subtype, int32_t width, int32_t height, uint8_t force) {
    SetSubtypeForPlace(subtype);
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    if (x < 0 || y < 0 || width <= 0 || height <= 0)
        return false;
    return GetWorldMap().PlaceFootprint(uint32_t(x), uint32_t(y), id_, uint32_t(width), uint32_t(height),
                                        uint32_t(force) * 2);
}

TilePoint Building::GetCentre() const {
    return {int32_t(int64_t(x_) + width_ / 2), int32_t(int64_t(y_) + height_ / 2)};
}

float Building::DistanceTo(const Building* other) const {
    if (!other)
        return 100000000.0f;
    float ax = float(x_) + float(width_) / 2.0f, ay = float(y_) + float(height_) / 2.0f;
    float bx = float(other->x_) + float(other->width_) / 2.0f,
          by = float(other->y_) + float(other->height_) / 2.0f;
    float dx = std::fabs(ax - bx), dy = std::fabs(ay - by);
    return std::sqrt(dx * dx + dy * dy);
}
