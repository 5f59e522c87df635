#include "view/minimap.h"

#include "data/generated/interface_tables.h"
#include "engine/engine_state.h"
#include "engine/surfaces.h"
#include "engine/textures.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "view/interface_state.h"
#include "view/map_view_state.h"
#include "world/cell_rows.h"
#include "world/living_building.h"
#include "world/map_object.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

namespace {

constexpr int32_t kPaletteRows = 300;
constexpr int32_t kTerrainRow = 100;
constexpr int32_t kMountainRow = 13;
constexpr int32_t kTrackRow = 22;
constexpr int32_t kSpriteCellRow = 26;
constexpr int32_t kOtherBuildingRow = 27;
constexpr int32_t kHouseRow = 40;
constexpr int32_t kSpecialBuildingRow = 46;
constexpr int32_t kFactoryRow = 47;
constexpr uint32_t kSpriteCellKind = 3;

struct Palette {
    std::array<uint32_t, kPaletteRows> raw{};
    std::array<uint16_t, kPaletteRows> pixel{};
    bool built = false;
};

Palette& ThePalette() {
    static Palette palette;
    return palette;
}

const Palette& BuiltPalette() {
    Palette& p = ThePalette();
    if (!p.built) {
        for (int32_t i = 0; i < kPaletteRows; ++i) {
            const MiniMap_S_DlgRow* row = MiniMap_S_DlgTable::Find(i);
            const uint32_t c = row ? uint32_t(row->ColorRed & 0xFF) << 16 |
                                         uint32_t(row->ColorGreen & 0xFF) << 8 |
                                         uint32_t(row->ColorBlue & 0xFF)
                                   : 0;
            p.raw[size_t(i)] = c;
            p.pixel[size_t(i)] = ToMiniMapPixel(0xFF000000u | c);
        }
        p.built = true;
    }
    return p;
}

uint16_t RowPixel(int32_t row) {
    return row >= 0 && row < kPaletteRows ? BuiltPalette().pixel[size_t(row)] : 0;
}

uint16_t OwnerPixel(int32_t owner) {
    return ToMiniMapPixel(uint32_t(GetPlayerDrawColour(uint32_t(owner), true)));
}

// The owner flag of a player id; 0 outside 0..4.
bool OwnerShown(int32_t owner) {
    return owner >= 0 && InterfaceStateOf().OwnerFlag(uint32_t(owner)) == 1;
}

} // namespace

uint16_t ToMiniMapPixel(uint32_t argb) {
    return uint16_t(((argb >> 19) & 0x1F) << 11 | ((argb >> 10) & 0x3F) << 5 | ((argb >> 3) & 0x1F));
}

uint32_t GetMiniMapColour(int32_t row) {
    return row >= 0 && row < kPaletteRows ? BuiltPalette().raw[size_t(row)] : 0;
}

void InvalidateMiniMapColours() {
    ThePalette().built = false;
}

MiniMap::MiniMap()
    : small_(size_t(kSmallSide) * kSmallSide, 0), large_(size_t(kLargeSide) * kLargeSide, 0),
      smallMarks_(small_.size(), 0), largeMarks_(large_.size(), 0) {}

MiniMap::~MiniMap() {
    ReleaseTextures();
}

void MiniMap::Invalidate(const MiniMapRect& rect) {
    const WorldMap& map = GetWorldMap();
    const int32_t w = int32_t(map.GetWidth()), h = int32_t(map.GetHeight());
    MiniMapRect r{std::max(rect.x0, 0), std::max(rect.y0, 0), std::min(rect.x1, w), std::min(rect.y1, h)};
    if (r.x0 >= r.x1 || r.y0 >= r.y1)
        return;
    pending_.push_back(r);
}

void MiniMap::InvalidateAll() {
    const WorldMap& map = GetWorldMap();
    Invalidate({0, 0, int32_t(map.GetWidth()), int32_t(map.GetHeight())});
}

uint16_t MiniMap::TileColour(uint32_t x, uint32_t y) const {
    WorldMap& map = GetWorldMap();
    uint16_t c = RowPixel(kTerrainRow + map.GetTerrainType(x & ~1u, y & ~1u));
    MapObject* building = BuildingFromId(map.GetBuildingAt(x, y));
    if (const uint32_t id = map.GetCellBuilding(x, y))
        building = BuildingFromId(id);
    if (!building) {
        if (map.GetCellKind(x, y) == kSpriteCellKind)
            c = RowPixel(kSpriteCellRow);
    } else {
        bool ownerRule = true;
        switch (building->GetSubtype()) {
        case 1:
            c = RowPixel(kFactoryRow);
            ownerRule = false;
            break;
        case LivingBuilding::kSubtype: {
            const auto* house = dynamic_cast<const LivingBuilding*>(building);
            if (house && house->GetLevel() <= 5) {
                c = RowPixel(kHouseRow);
                ownerRule = false;
            }
            break;
        }
        case 4:
            c = RowPixel(kSpecialBuildingRow);
            break;
        case 5:
            c = RowPixel(kMountainRow);
            ownerRule = false;
            break;
        default:
            c = RowPixel(kOtherBuildingRow);
            break;
        }
        if (ownerRule && OwnerShown(building->GetOwner()))
            c = OwnerPixel(building->GetOwner());
    }
    const WorldCell* cell = map.FindCell(x, y);
    int32_t common = -1;
    const bool hasCommon = cell && GetCommonEdgeHeight(*cell, common);
    if (map.HasTrack(x, y)) {
        c = RowPixel(kTrackRow);
        if (map.GetRouteSubKind(x, y) == 1 && hasCommon && OwnerShown(common))
            c = OwnerPixel(common);
    } else if (map.HasRoad(x, y)) {
        if (map.GetRouteByte(x, y) == 0) {
            if (hasCommon && OwnerShown(common))
                c = OwnerPixel(common);
        } else {
            c = RowPixel(kHouseRow);
        }
    }
    for (uint32_t id : {map.GetLayer1Object(x, y), map.GetLayer2Object(x, y)}) {
        const MapObject* object = id ? MapObjectFromId(id) : nullptr;
        if (object && OwnerShown(object->GetOwner()))
            c = OwnerPixel(object->GetOwner());
    }
    return c;
}

void MiniMap::Paint(const MiniMapRect& rect) {
    WorldMap& map = GetWorldMap();
    const int32_t w = int32_t(map.GetWidth()), h = int32_t(map.GetHeight());
    if (w <= 0 || h <= 0)
        return;
    const bool partial = rect.x1 - rect.x0 < w && rect.y1 - rect.y0 < h;
    struct Target {
        std::vector<uint16_t>& image;
        std::vector<uint8_t>& marks;
        int32_t side;
    };
    Target targets[2] = {{small_, smallMarks_, kSmallSide}, {large_, largeMarks_, kLargeSide}};
    for (int32_t y = rect.y0; y < rect.y1; ++y)
        for (int32_t x = rect.x0; x < rect.x1; ++x) {
            const uint16_t c = TileColour(uint32_t(x), uint32_t(y));
            const bool road = map.HasRoad(uint32_t(x), uint32_t(y));
            const bool track = map.HasTrack(uint32_t(x), uint32_t(y));
            for (Target& t : targets) {
                const float sx = float(t.side) / float(w), sy = float(t.side) / float(h);
                for (float j = 0.0f; j < sy; j += 1.0f) {
                    const int32_t row = std::min(int32_t(float(y) * sy + j), t.side - 1);
                    for (float i = 0.0f; i < sx; i += 1.0f) {
                        const int32_t column = std::min(int32_t(float(x) * sx + i), t.side - 1);
                        const size_t at = size_t(row) * size_t(t.side) + size_t(column);
                        if (partial && !(road && track))
                            t.marks[at] = 0;
                        if (t.marks[at] == 0) {
                            t.image[at] = c;
                            if (road || track)
                                t.marks[at] = 1;
                        }
                    }
                }
            }
        }
}

void MiniMap::Update() {
    if (pending_.empty())
        return;
    for (const MiniMapRect& rect : pending_)
        Paint(rect);
    pending_.clear();
    imagesMissing_ = false;
    SendToTextures();
}

void MiniMap::PrepareForGame() {
    ClearUpdates();
    InvalidateAll();
    std::fill(smallMarks_.begin(), smallMarks_.end(), 0);
    std::fill(largeMarks_.begin(), largeMarks_.end(), 0);
}

void MiniMap::Reset() {
    if (imagesMissing_) {
        InvalidateAll();
        Update();
        imagesMissing_ = false;
    }
    std::fill(smallMarks_.begin(), smallMarks_.end(), 0);
    std::fill(largeMarks_.begin(), largeMarks_.end(), 0);
}

TextureHandle MiniMap::Texture(bool smallImage) {
    TextureHandle& handle = smallImage ? smallTexture_ : largeTexture_;
    if (!Engine::State().started)
        return 0;
    if (!Engine::IsValidTexture(handle)) {
        const int32_t side = smallImage ? kSmallSide : kLargeSide;
        handle = Engine::CreateTexture(side, side, kFormat565, 0, nullptr, 0, nullptr, nullptr);
        if (handle)
            SendToTextures();
    }
    return handle;
}

void MiniMap::SendToTextures() {
    if (!Engine::State().started)
        return;
    for (int k = 0; k < 2; ++k) {
        const bool isSmall = k == 0;
        const TextureHandle handle = isSmall ? smallTexture_ : largeTexture_;
        if (!Engine::IsValidTexture(handle))
            continue;
        Engine::TextureLockInfo lock;
        if (!Engine::LockTexture(handle, &lock) || !lock.pixels)
            continue;
        const std::vector<uint16_t>& image = Image(isSmall);
        const int32_t side = isSmall ? kSmallSide : kLargeSide;
        const int32_t rows = std::min(side, lock.height), columns = std::min(side, lock.width);
        for (int32_t y = 0; y < rows; ++y)
            for (int32_t x = 0; x < columns; ++x) {
                const uint32_t argb =
                    Engine::FromNativeColour(image[size_t(y) * size_t(side) + size_t(x)], kFormat565);
                Engine::WritePixel(lock, lock.format, argb, x, y);
            }
        Engine::UnlockTexture(handle);
    }
}

void MiniMap::ReleaseTextures() {
    if (!Engine::State().started)
        return;
    for (TextureHandle handle : {smallTexture_, largeTexture_})
        if (Engine::IsValidTexture(handle))
            Engine::DeleteTexture(handle);
    smallTexture_ = largeTexture_ = 0;
}

bool MiniMap::Save() {
    for (int k = 0; k < 2; ++k) {
        const std::vector<uint16_t>& image = Image(k == 0);
        std::vector<uint8_t> bytes(image.size() * 2);
        for (size_t i = 0; i < image.size(); ++i)
            plat::StoreLE16(bytes.data() + 2 * i, image[i]);
        TransferSized(bytes.data(), uint32_t(bytes.size()));
    }
    return !StreamFailed();
}

MiniMap& MiniMapOf(World& world) {
    return world.Attached<MiniMap>();
}

bool MiniMapPointToTile(const EngineRect& control, const EngineRect& source, int32_t side, int32_t mapWidth,
                        int32_t mapHeight, int32_t mx, int32_t my, int32_t& tileX, int32_t& tileY) {
    const int64_t h = int64_t(control.bottom) - control.top;
    if (h == 0 || side <= 0)
        return false;
    const int64_t u = (int64_t(mx) - (int64_t(control.left) + control.right) / 2) / 2;
    const int64_t v = int64_t(my) - control.top;
    const int64_t ix = (int64_t(source.right) - source.left) * (v + u) / h + source.left;
    const int64_t iy = (int64_t(source.bottom) - source.top) * (v - u) / h + source.top;
    tileX = int32_t(double(ix) * mapWidth / side);
    tileY = int32_t(double(iy) * mapHeight / side);
    return true;
}

void MiniMapTileToPoint(const EngineRect& control, int32_t mapWidth, int32_t mapHeight, int32_t cellX,
                        int32_t cellY, int32_t& px, int32_t& py) {
    const int64_t h = int64_t(control.bottom) - control.top;
    // Fractions of the map along each axis, then the diamond's halves.
    const double fx = mapWidth > 0 ? double(cellX) / mapWidth : 0.0;
    const double fy = mapHeight > 0 ? double(cellY) / mapHeight : 0.0;
    const double u = (fx - fy) * double(h) / 2.0, v = (fx + fy) * double(h) / 2.0;
    px = int32_t((int64_t(control.left) + control.right) / 2 + int64_t(2.0 * u));
    py = int32_t(control.top + int64_t(v));
}

std::vector<MiniMapLine> MiniMapViewOutline(const EngineRect& control, int32_t mapWidth, int32_t mapHeight,
                                            const int32_t cellX[4], const int32_t cellY[4]) {
    std::vector<MiniMapLine> lines;
    int32_t left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
    for (int i = 0; i < 4; ++i) {
        int32_t px = 0, py = 0;
        MiniMapTileToPoint(control, mapWidth, mapHeight, cellX[i], cellY[i], px, py);
        left = std::min(left, px);
        right = std::max(right, px);
        top = std::min(top, py);
        bottom = std::max(bottom, py);
    }
    const int32_t centre = (control.left + control.right) / 2, middle = (control.top + control.bottom) / 2;
    // A horizontal edge at y spans the diamond from left + 2e to right - 2e.
    const auto horizontal = [&](int32_t y) {
        const int32_t e = std::abs(y - middle);
        const int32_t x1 = std::max(left, control.left + 2 * e), x2 = std::min(right, control.right - 2 * e);
        if (x1 < x2 && y >= control.top && y <= control.bottom)
            lines.push_back({x1, y, x2, y});
    };
    // A vertical edge at x spans it from top + d / 2 to bottom - d / 2.
    const auto vertical = [&](int32_t x) {
        const int32_t d = std::abs(x - centre);
        const int32_t y1 = std::max(top, control.top + d / 2), y2 = std::min(bottom, control.bottom - d / 2);
        if (y1 < y2)
            lines.push_back({x, y1, x, y2});
    };
    if (left >= control.left)
        vertical(left);
    if (right <= control.right)
        vertical(right);
    if (top >= control.top)
        horizontal(top);
    horizontal(bottom);
    return lines;
}
