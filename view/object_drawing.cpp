#include "view/object_drawing.h"
#include "view/object_drawing_parts.h"

#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "economy/factory.h"
#include "engine/draw_layers.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "view/map_view_state.h"
#include "view/sound_events.h"
#include "view/text_queue.h"
#include "world/bridge_span.h"
#include "world/building.h"
#include "world/headquarter.h"
#include "world/player.h"
#include "world/special_building.h"
#include "world/storage_hall.h"
#include "world/yearly_modifiers.h"

#include <algorithm>

namespace {

constexpr int32_t kFactoryKind = 3;
constexpr int32_t kSignKind = 5;
constexpr int32_t kFenceKind = 7;
constexpr int32_t kIconKind = 12;
constexpr int32_t kAnimalFarmFence = 2;
constexpr int32_t kAttractionFence = 7;
constexpr int32_t kCropFieldFrame = 93;
constexpr int32_t kAnimalFarm = 4;
constexpr int32_t kCropFarm = 3;
constexpr int32_t kAttraction = 6;
// Blend modes of the sprite drawer: plain, tinted, and the deck's second half.
constexpr int32_t kBlendPlain = 1;
constexpr int32_t kBlendFence = 16;
constexpr int32_t kBlendTinted = 17;
constexpr int32_t kBlendDeck = 20;

uint32_t DepthKey(ObjectHandle id, uint32_t low) {
    return id << 4 | low;
}

} // namespace

uint32_t ObjectDepthKey(ObjectHandle id, uint32_t low) {
    return DepthKey(id, low);
}

namespace {

uint32_t OwnerColour(const MapObject& object) {
    const int32_t c = GetObjectOwnerColour(object);
    return c == -1 ? 0xFFFFFFFFu : uint32_t(c);
}

} // namespace

// Queues a picture placed on the map at tile (x, y) with a footprint part.
bool QueueAt(const TiledImage* image, int32_t x, int32_t y, int32_t part, uint32_t colour, int32_t blend,
             uint32_t key, int32_t layer, uint32_t param1) {
    if (!image || image->textures.empty())
        return false;
    EngineRect screen, footprint;
    image->PlaceOnMap(x, y, screen, footprint, part);
    return Engine::QueueSpriteTinted(layer, TextureHandle(image->textures[0]), colour, screen, footprint,
                                     param1, blend, 1, key, 0);
}

namespace {

// A fence image on one side of a tile: moved by sixteenths of a tile from
// the tile's point, its footprint the matching edge.
bool QueueFence(const TiledImage* image, const FenceTile& t, uint32_t colour, int32_t blend, uint32_t key) {
    if (!image || image->textures.empty())
        return false;
    static constexpr int32_t kOffsets[4][2] = {{2, -6}, {1, 2}, {-6, 2}, {-7, -5}};
    static constexpr int32_t kParts[4] = {3, 2, 4, 1};
    int32_t tw = 0, th = 0;
    Viewport::GetTileSize(tw, th);
    const ScreenPoint p = MapToScreen(t.x, t.y);
    const int32_t left = p.x + kOffsets[t.side][0] * tw / 16 - image->zoomedHotspotX;
    const int32_t top = p.y + kOffsets[t.side][1] * th / 16 - image->zoomedHotspotY;
    const EngineRect screen{left, top, left + image->zoomedWidth, top + image->zoomedHeight};
    EngineRect footprint = image->FootprintRect(t.x, t.y, kParts[t.side]);
    if (t.side == 3)
        footprint.right = footprint.left;
    return Engine::QueueSpriteTinted(1, TextureHandle(image->textures[0]), colour, screen, footprint, 0,
                                     blend, 1, key, 0);
}

int32_t DrawFences(const std::vector<FenceTile>& tiles, int32_t number, uint32_t colour, int32_t blend,
                   uint32_t key) {
    int32_t n = 0;
    for (const FenceTile& t : tiles) {
        GraphicSets::SetFieldA(uint8_t(t.fieldA));
        n += QueueFence(SpriteFetch(kFenceKind, number, 0), t, colour, blend, key) ? 1 : 0;
    }
    return n;
}

} // namespace

// The name sign over a tile: the three sign pictures and the text on them.
int32_t DrawSign(int32_t x, int32_t y, const std::string& text, uint32_t key) {
    int32_t n = 0;
    for (int32_t frame : {0, 4, 5})
        n += QueueAt(SpriteFetch(kSignKind, 6, frame), x, y, 0, 0xFFFFFFFFu, kBlendPlain, key, 2) ? 1 : 0;
    if (!text.empty()) {
        const ScreenPoint p = MapToScreen(x, y);
        QueueScreenString(p.x, p.y, text, 1, 0xFFFFFFFFu);
    }
    return n;
}

// The owner's icon above a tile while the icons are switched on.
int32_t DrawOwnerIcon(const MapObject& object, int32_t x, int32_t y, uint32_t key) {
    if (!ObjectDrawSwitchesOf().playerIcons)
        return 0;
    const Player* player = GetPlayer(uint32_t(object.GetOwner()));
    if (!player)
        return 0;
    return QueueAt(SpriteFetch(kIconKind, player->GetGraphicNumber(), 0), x, y, 0, 0xFFFFFFFFu, kBlendPlain,
                   key, 2)
               ? 1
               : 0;
}

namespace {

int32_t DrawFactory(const Factory& f) {
    const int32_t x = f.GetX(), y = f.GetY();
    const int32_t kind = f.GetFactoryTyp();
    const uint32_t key = DepthKey(f.GetId(), 1);
    const uint32_t colour = OwnerColour(f);
    const TiledImage* main = FetchSpriteRef(f.GetGraphic());
    const int32_t iw = main ? main->footprintX : 1, ih = main ? main->footprintY : 1;
    if (kind == kAttraction) {
        if (f.GetLinkValue() <= 0)
            return 0; // open: drawn as its town's special building
        return DrawFences(AttractionFence(x, y, iw, ih), kAttractionFence, 0xFFFFFFFFu, kBlendFence, key);
    }
    const FactoryLayoutRow* layout = FactoryLayoutTable::Find(f.GetLayoutRow());
    const int32_t side = std::clamp(f.GetLinkValue(), 0, 1);
    const int32_t w = layout ? layout->MapSize.IntCell(0, uint32_t(side)) : f.GetWidth();
    const int32_t h = layout ? layout->MapSize.IntCell(1, uint32_t(side)) : f.GetHeight();
    if (kind == kAnimalFarm)
        return DrawFences(AnimalFarmFence(x, y, w, h), kAnimalFarmFence, colour, kBlendTinted, key);

    int32_t n = 0;
    if (layout) {
        const ValueTable& list = side == 0 ? layout->LayoutLeft : layout->LayoutRight;
        const uint32_t row = f.GetLayoutVariant();
        const int32_t mw = std::max(layout->ModulSize.IntCell(0, 0), 1);
        const int32_t mh = std::max(layout->ModulSize.IntCell(1, 0), 1);
        int32_t cx = x, cy = y;
        for (uint32_t k = 0; row < list.RowCount() && k < list.ColumnCount(); ++k) {
            const int32_t v = list.IntCell(k, row);
            if (v == -1)
                break;
            if (kind == kCropFarm)
                GraphicSets::SetFieldA(0);
            const TiledImage* module =
                SpriteFetch(kFactoryKind, f.GetTypeIndex(), kind == kCropFarm ? kCropFieldFrame : v);
            n += QueueAt(module, cx, cy, 0, colour, kBlendTinted, key) ? 1 : 0;
            cx += mw;
            // A new row at the right edge, or where the main building's
            // corner begins on the last rows.
            if (uint32_t(cx) >= uint32_t(x + w) ||
                (uint32_t(cx) >= uint32_t(x + w - iw) && uint32_t(cy) >= uint32_t(y + h - ih))) {
                cx = x;
                cy += mh;
            }
        }
    }
    const int32_t mx = layout ? x + std::max(w - iw, 0) : x, my = layout ? y + std::max(h - ih, 0) : y;
    n += QueueAt(main, mx, my, 0, colour, kBlendTinted, key) ? 1 : 0;
    return n;
}

} // namespace

std::vector<FenceTile> AnimalFarmFence(int32_t x, int32_t y, int32_t w, int32_t h) {
    std::vector<FenceTile> out;
    for (int32_t i = 0; i < w; ++i)
        out.push_back({x + i, y, 0, 0});
    // The gate leaves the last four tiles of the bottom and right edges
    // open; a signed bound so that a short edge has none rather than a
    // count that wraps.
    for (int32_t i = 0; i <= w - 5; ++i)
        out.push_back({x + i, y + h - 1, 2, 0});
    for (int32_t i = 0; i < h; ++i)
        out.push_back({x, y + i, 3, 1});
    for (int32_t i = 0; i <= h - 5; ++i)
        out.push_back({x + w - 1, y + i, 1, 1});
    return out;
}

std::vector<FenceTile> AttractionFence(int32_t x, int32_t y, int32_t w, int32_t h) {
    std::vector<FenceTile> out;
    for (int32_t i = 0; i < w; ++i) {
        out.push_back({x + i, y, 0, 0});
        out.push_back({x + i, y + h - 1, 2, 2});
    }
    for (int32_t i = 0; i < h; ++i) {
        out.push_back({x + w - 1, y + i, 1, 1});
        out.push_back({x, y + i, 3, 3});
    }
    return out;
}

ObjectDrawSwitches& ObjectDrawSwitchesOf() {
    static ObjectDrawSwitches switches;
    return switches;
}

const TiledImage* FetchSpriteRef(const SpriteRef& sprite) {
    if (sprite.set < 0)
        return nullptr;
    if (sprite.colourFolder >= 0)
        GraphicSets::SelectColour(uint8_t(sprite.colourFolder));
    if (sprite.nameFieldA >= 0)
        GraphicSets::SetFieldA(uint8_t(sprite.nameFieldA));
    if (sprite.nameFieldB >= 0)
        GraphicSets::SetFieldB(uint8_t(sprite.nameFieldB));
    return SpriteFetch(sprite.set, sprite.number, sprite.frame);
}

int32_t DrawMapBuilding(const Building& building) {
    if (const auto* factory = dynamic_cast<const Factory*>(&building))
        return DrawFactory(*factory);
    if (building.GetSubtype() == kStationSubtype) {
        const int32_t n = DrawStationParts(building, OwnerColour(building), MapViewOf().showBuildings != 0);
        if (n >= 0)
            return n;
    }
    const int32_t x = building.GetX(), y = building.GetY();
    const uint32_t key = DepthKey(building.GetId(), 1);
    int32_t n = 0;
    if (MapViewOf().showBuildings)
        n += QueueAt(FetchSpriteRef(building.GetGraphic()), x, y, 0, OwnerColour(building), kBlendTinted, key)
                 ? 1
                 : 0;
    if (dynamic_cast<const StorageHall*>(&building)) {
        n += DrawOwnerIcon(building, x, y, key);
        if (ObjectDrawSwitchesOf().signs) {
            std::string name;
            GetStoragePlaceName(name, 0);
            n += DrawSign(x, y, name, key);
        }
    } else if (dynamic_cast<const Headquarter*>(&building)) {
        n += DrawSign(x, y, GetHeadquarterToolTip(0), key);
    } else if (auto* special = dynamic_cast<const SpecialBuilding*>(&building)) {
        const_cast<SpecialBuilding*>(special)->OfferSound(0);
    }
    return n;
}

int32_t DrawBridgeSpan(const BridgeSpan& span) {
    const std::vector<SpriteRef> images = span.GetDrawImages();
    if (images.empty())
        return 0;
    const bool alongX = span.GetOrientation() == BridgeSpan::kOrientationAlongX;
    const uint32_t colour =
        (span.GetFlags() & 3u) != 0 ? GetRouteUnderConstructionColor() : OwnerColour(span);
    const uint32_t key = span.GetId() * 16 + 2;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    span.GetStart(x0, y0);
    span.GetEnd(x1, y1);
    // Near and far edges of the piece's footprint: 3 and 4 along x, 1 and 2 along y.
    const int32_t nearPart = alongX ? 3 : 1, farPart = alongX ? 4 : 2;
    const RouteBuilderRow* own = RouteBuilderTable::Find(span.GetPieceRow());
    const bool deck = images.size() == 2 && own && own->IsBridge != 0;
    const uint32_t param = deck ? (alongX ? 320u : 192u) : 0u;
    int32_t n = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        const TiledImage* image = FetchSpriteRef(images[i]);
        const int32_t blend = deck && i == 1 ? kBlendDeck : kBlendPlain;
        n += QueueAt(image, x0, y0, i == 0 ? nearPart : farPart, colour, blend, key, 1, param) ? 1 : 0;
    }
    (void)x1, (void)y1;
    return n;
}

int32_t DrawMapObject(const MapObject& object) {
    if (const auto* building = dynamic_cast<const Building*>(&object))
        return DrawMapBuilding(*building);
    if (const auto* span = dynamic_cast<const BridgeSpan*>(&object))
        return DrawBridgeSpan(*span);
    return 0;
}

void InstallObjectSoundHandOver() {
    StaticServices().offerSoundSource = [](MapSoundSource& source, int32_t& soundValue) {
        if (!IsSoundEnabled())
            return;
        const int32_t row = source.GetSoundIndex();
        if (row <= 0)
            return;
        const SoundRect r = source.GetRect();
        const EngineRect area{r.left, r.top, r.right, r.bottom};
        soundValue = PlaySoundEvent(uint32_t(row), &area, 1);
    };
}
