#include "world/bridge_span.h"

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/money.h"
#include "world/object_manager.h"
#include "world/packed_field.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/world_map.h"
#include "world/world_services.h"
#include "world/world_warnings.h"

#include <algorithm>

namespace {

constexpr uint32_t kTagSpan = ChunkTag("brg1");
constexpr uint32_t kTags[] = {kTagSpan};
constexpr uint32_t kSpanBytes = 52;
// A run of at least this many tiles gets a ramp at both ends.
constexpr int32_t kTwoRampLength = 7;
// Graphic set of route pieces, and the frame of the long deck module.
constexpr int32_t kRouteGraphicSet = 8;
constexpr int32_t kLongDeckFrame = 2;

std::vector<BridgePiece> plannedPieces;

int32_t IsBridgeOf(int32_t row) {
    const RouteBuilderRow* record = RouteBuilderTable::Find(row);
    return record ? record->IsBridge : 0;
}

int32_t GfxIndexOf(int32_t row) {
    const RouteBuilderRow* record = RouteBuilderTable::Find(row);
    return record ? record->GfxIndex : 0;
}

int32_t RampRowOf(int32_t row) {
    const RouteBuilderRow* record = RouteBuilderTable::Find(row);
    return record ? record->RampIndex : 0;
}

// The extent along the run of a piece's image; ramps and one-tile deck
// pieces cover one tile and the long module none unless the graphics say.
int32_t PieceExtent(int32_t row, int32_t frame, int32_t nameField, bool alongX) {
    const auto& hook = StaticServices().pieceExtent;
    if (hook)
        return std::max(hook(row, frame, nameField, alongX), 0);
    return frame == kLongDeckFrame ? 0 : 1;
}

uint32_t OppositeMask(uint32_t mask) {
    switch (mask) {
    case 1:
        return 4;
    case 4:
        return 1;
    case 2:
        return 8;
    case 8:
        return 2;
    default:
        return mask;
    }
}

void InvalidateMiniMap(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (Services().invalidateMiniMapRect)
        Services().invalidateMiniMapRect(left, top, right, bottom);
}

void RequestObjectRedraw() {
    if (StaticServices().requestObjectRedraw)
        StaticServices().requestObjectRedraw();
}

} // namespace

BridgeSpan* GetBridgeSpan(ObjectHandle id) {
    if ((id >> kObjectIndexBits) != uint32_t(kCategorySpan))
        return nullptr;
    return dynamic_cast<BridgeSpan*>(MapObjectFromId(id));
}

void BridgeSpan::Serialize() {
    MapObject::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != kTagSpan)
            return;
        int32_t* const words[] = {&x0_,
                                  &x1_,
                                  &y0_,
                                  &y1_,
                                  reinterpret_cast<int32_t*>(&prev_),
                                  reinterpret_cast<int32_t*>(&next_),
                                  &routeType_,
                                  &orientation_,
                                  &pieceRow_,
                                  &frame_,
                                  &direction_,
                                  reinterpret_cast<int32_t*>(&flags_),
                                  &savedRouteType_};
        TransferPackedSized<kSpanBytes>(
            [&](uint8_t* bytes) {
                for (size_t i = 0; i < std::size(words); ++i)
                    plat::StoreLE32(bytes + 4 * i, uint32_t(*words[i]));
            },
            [&](const uint8_t* bytes) {
                for (size_t i = 0; i < std::size(words); ++i)
                    *words[i] = int32_t(plat::LoadLE32(bytes + 4 * i));
            });
    });
}

bool BridgeSpan::IsTunnel() const {
    return IsBridgeOf(pieceRow_) == 0;
}

bool BridgeSpan::IsTunnelEntranceAt(int32_t x, int32_t y) const {
    if (!IsTunnel())
        return false;
    const bool atEnd = x == x1_ && y == y1_;
    const bool atStart = x == x0_ && y == y0_;
    if (orientation_ == int32_t(kOrientationAlongY))
        return (atEnd && direction_ == 1) || (atStart && direction_ == 4);
    if (orientation_ == int32_t(kOrientationAlongX))
        return (atEnd && direction_ == 8) || (atStart && direction_ == 2);
    return false;
}

std::vector<BridgeSpan*> BridgeSpan::GetChain() {
    std::vector<BridgeSpan*> chain{this};
    auto seen = [&chain](const BridgeSpan* piece) {
        return std::find(chain.begin(), chain.end(), piece) != chain.end();
    };
    for (BridgeSpan* piece = GetBridgeSpan(prev_); piece && !seen(piece) && chain.size() < kMaxChainPieces;
         piece = GetBridgeSpan(piece->prev_))
        chain.push_back(piece);
    for (BridgeSpan* piece = GetBridgeSpan(next_); piece && !seen(piece) && chain.size() < kMaxChainPieces;
         piece = GetBridgeSpan(piece->next_))
        chain.push_back(piece);
    return chain;
}

int32_t BridgeSpan::GetChainLength() {
    int64_t tiles = 0;
    for (const BridgeSpan* piece : GetChain())
        tiles += piece->TileCount();
    return SaturateToInt32(double(tiles));
}

void BridgeSpan::FindChainEnd(int32_t x, int32_t y, uint32_t entry, int32_t& outX, int32_t& outY) {
    const bool alongX = orientation_ == int32_t(kOrientationAlongX);
    auto walk = [this](bool forward) {
        BridgeSpan* last = this;
        for (size_t steps = 0; steps < kMaxChainPieces; ++steps) {
            BridgeSpan* following = GetBridgeSpan(forward ? last->next_ : last->prev_);
            if (!following || following == this)
                break;
            last = following;
        }
        return last;
    };
    if (x == x0_ && y == y0_ && entry != (alongX ? 3u : 0u)) {
        if (next_ == 0)
            return;
        const BridgeSpan* last = walk(true);
        outX = last->x1_;
        outY = last->y1_;
    } else if (x == x1_ && y == y1_ && entry != (alongX ? 1u : 2u)) {
        if (prev_ == 0)
            return;
        const BridgeSpan* first = walk(false);
        outX = first->x0_;
        outY = first->y0_;
    }
}

bool CanUpgradeRouteType(int32_t oldRow, int32_t newRow) {
    if (oldRow == 0 || newRow == 0)
        return true;
    const RouteBuilderRow* from = RouteBuilderTable::Find(oldRow);
    const RouteBuilderRow* to = RouteBuilderTable::Find(newRow);
    if (!from || !to)
        return false;
    if (from->StartYear > to->StartYear)
        return false;
    return !(from->OverheadLine && !to->OverheadLine);
}

bool BridgeSpan::CanRetypeChain(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t newType) {
    const std::vector<BridgeSpan*> chain = GetChain();
    const BridgeSpan* last = chain.back();
    if (x1_ != std::max(xa, xb) || y1_ != std::max(ya, yb))
        return false;
    if (last->x0_ != std::min(xa, xb) || last->y0_ != std::min(ya, yb))
        return false;
    const int32_t oldRamp = RampRowOf(routeType_);
    const int32_t newRamp = RampRowOf(newType);
    if (!CanUpgradeRouteType(oldRamp, newRamp))
        return false;
    if (oldRamp != newRamp && oldRamp >= 1 &&
        !(GetRouteCanCrossTrack(oldRamp) && GetRouteCanCrossTrack(newRamp)))
        return false;
    return (IsBridgeOf(routeType_) == 2) == (IsBridgeOf(newType) == 2);
}

void BridgeSpan::SetChainRouteType(int32_t newType) {
    const int32_t middleRow = GfxIndexOf(newType);
    const int32_t endRow = GfxIndexOf(RampRowOf(newType));
    for (BridgeSpan* piece : GetChain()) {
        piece->routeType_ = newType;
        piece->pieceRow_ = IsBridgeOf(piece->pieceRow_) != 0 ? middleRow : endRow;
    }
}

void BridgeSpan::SaveChainRouteType() {
    for (BridgeSpan* piece : GetChain())
        piece->savedRouteType_ = piece->routeType_;
}

void BridgeSpan::SetChainFlag(uint32_t bit, bool on) {
    for (BridgeSpan* piece : GetChain()) {
        if (on)
            piece->flags_ |= 1u << bit;
        else
            piece->flags_ &= ~(1u << bit);
    }
}

uint32_t BridgeSpan::SlotSource() const {
    // Source 2 is the tunnel slot, 1 the bridge slot.
    return IsBridgeOf(routeType_) == 2 ? 2 : 1;
}

namespace {

// Calls visit(x, y) for every tile of the piece that lies on the map.
template <typename Visit>
void ForEachPieceTile(const BridgeSpan& piece, Visit&& visit) {
    const WorldMap& map = GetWorldMap();
    const int64_t xEnd = std::min<int64_t>(int64_t(piece.X1()) + 1, map.GetWidth());
    const int64_t yEnd = std::min<int64_t>(int64_t(piece.Y1()) + 1, map.GetHeight());
    for (int64_t y = std::max<int64_t>(piece.Y0(), 0); y < yEnd; ++y) {
        for (int64_t x = std::max<int64_t>(piece.X0(), 0); x < xEnd; ++x)
            visit(uint32_t(x), uint32_t(y));
    }
}

} // namespace

bool BridgeSpan::PieceInUse() const {
    WorldMap& map = GetWorldMap();
    bool inUse = false;
    ForEachPieceTile(*this, [&](uint32_t x, uint32_t y) {
        for (uint32_t i = 0; i < 2 && !inUse; ++i)
            inUse = map.GetRouteSlotValue(x, y, i, SlotSource(), uint32_t(orientation_)) != 0;
    });
    return inUse;
}

bool BridgeSpan::IsChainInUse() {
    for (const BridgeSpan* piece : GetChain()) {
        if (piece->PieceInUse())
            return true;
    }
    return false;
}

std::set<uint32_t> BridgeSpan::CollectChainOccupants() {
    std::set<uint32_t> occupants;
    WorldMap& map = GetWorldMap();
    for (const BridgeSpan* piece : GetChain()) {
        ForEachPieceTile(*piece, [&](uint32_t x, uint32_t y) {
            const uint32_t value =
                map.GetRouteSlotValue(x, y, 0, piece->SlotSource(), uint32_t(piece->orientation_));
            if (value != 0)
                occupants.insert(value);
        });
    }
    return occupants;
}

int32_t BridgeSpan::GetChainDemolitionCost() {
    WorldMap& map = GetWorldMap();
    double cost = 0;
    for (const BridgeSpan* piece : GetChain()) {
        if (piece->PieceInUse())
            return 0;
        if (piece->IsTunnel()) {
            // A portal with a vehicle on the tile in front of its entrance
            // is in use as well.
            int64_t fx = 0, fy = 0;
            bool front = true;
            if (piece->IsTunnelEntranceAt(piece->x1_, piece->y1_)) {
                fx = int64_t(piece->x1_) + (piece->direction_ == 8 ? 1 : 0);
                fy = int64_t(piece->y1_) + (piece->direction_ == 1 ? 1 : 0);
            } else if (piece->IsTunnelEntranceAt(piece->x0_, piece->y0_)) {
                fx = int64_t(piece->x0_) - (piece->direction_ == 2 ? 1 : 0);
                fy = int64_t(piece->y0_) - (piece->direction_ == 4 ? 1 : 0);
            } else {
                front = false;
            }
            if (front && fx >= 0 && fy >= 0 && map.InMap(uint32_t(fx), uint32_t(fy))) {
                for (uint32_t i = 0; i < 2; ++i) {
                    if (map.GetRouteSlotValue(uint32_t(fx), uint32_t(fy), i, 0,
                                              uint32_t(piece->orientation_)) != 0)
                        return 0;
                }
            }
        }
        cost += double(GetRouteDemolitionCost(piece->routeType_)) * double(piece->TileCount());
    }
    const int32_t total = SaturateToInt32(cost);
    // Without an owner nobody can pay.
    const Player* owner = GetPlayer(uint32_t(owner_));
    return owner && owner->CanAfford(total) ? total : 0;
}

std::vector<SpriteRef> BridgeSpan::GetDrawImages() const {
    const int32_t carried = IsBridgeOf(routeType_);
    const int32_t own = IsBridgeOf(pieceRow_);
    if (carried == 2 && own != 0)
        return {};
    SpriteRef first{kRouteGraphicSet, pieceRow_, frame_};
    first.nameFieldA = direction_;
    if (own != 0 || (carried == 2 && own == 0)) {
        SpriteRef second = first;
        second.frame = int32_t(uint32_t(frame_) + 1u);
        return {first, second};
    }
    return {first};
}

void BridgeSpan::SetRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0_ = std::min(x0, x1);
    x1_ = std::max(x0, x1);
    y0_ = std::min(y0, y1);
    y1_ = std::max(y0, y1);
}

void BridgeSpan::SetPieceGraphics(int32_t orientation, int32_t pieceRow, int32_t frame, int32_t direction) {
    orientation_ = orientation;
    pieceRow_ = pieceRow;
    frame_ = frame;
    direction_ = direction;
}

const std::vector<BridgePiece>& PlanBridgePieces(int32_t xa, int32_t ya, int32_t xb, int32_t yb,
                                                 int32_t routeType) {
    plannedPieces.clear();
    if (xa > xb)
        std::swap(xa, xb);
    if (ya > yb)
        std::swap(ya, yb);
    // A run along y keeps x; a single tile counts as a run along x.
    const bool alongX = !(xa == xb && ya != yb);
    const int32_t mask = alongX ? 2 : 4;
    const int32_t orientation =
        alongX ? int32_t(BridgeSpan::kOrientationAlongX) : int32_t(BridgeSpan::kOrientationAlongY);
    const RouteBuilderRow* row = RouteBuilderTable::Find(routeType);
    const int32_t deckRow = row ? row->GfxIndex : 0;
    const int32_t rampRow = GfxIndexOf(row ? row->RampIndex : 0);
    const int32_t rampFrame = row ? row->RampModule : 0;
    const int32_t length = (xb - xa) + (yb - ya) + 1;

    int32_t cursor = alongX ? xa : ya;
    auto append = [&](int32_t pieceRow, int32_t frame, int32_t direction, int32_t tiles) {
        BridgePiece piece;
        piece.routeType = routeType;
        piece.pieceRow = pieceRow;
        piece.frame = frame;
        piece.direction = direction;
        const int32_t last = cursor + std::max(tiles, 1) - 1;
        if (alongX) {
            piece.x0 = cursor;
            piece.x1 = std::min(last, xb);
            piece.y0 = piece.y1 = ya;
        } else {
            piece.y0 = cursor;
            piece.y1 = std::min(last, yb);
            piece.x0 = piece.x1 = xa;
        }
        cursor = last + 1;
        plannedPieces.push_back(piece);
    };

    const int32_t rampTiles = std::max(PieceExtent(rampRow, rampFrame, mask, alongX), 1);
    append(rampRow, rampFrame, mask, rampTiles);
    int32_t remaining = length - rampTiles;
    if (length >= kTwoRampLength)
        remaining -= rampTiles;
    remaining = std::max(remaining, 0);
    const int32_t module = PieceExtent(deckRow, kLongDeckFrame, orientation, alongX);
    const int32_t longCount = module > 0 ? std::max(remaining / module - 1, 0) : 0;
    remaining -= longCount * module;
    const int32_t before = remaining / 2;
    const int32_t after = remaining - before;
    for (int32_t i = 0; i < before; ++i)
        append(deckRow, 0, orientation, 1);
    for (int32_t i = 0; i < longCount; ++i)
        append(deckRow, kLongDeckFrame, orientation, module);
    for (int32_t i = 0; i < after; ++i)
        append(deckRow, 0, orientation, 1);
    if (length >= kTwoRampLength)
        append(rampRow, rampFrame, int32_t(OppositeMask(uint32_t(mask))), rampTiles);
    return plannedPieces;
}

int32_t GetBridgeSpanCost(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType) {
    if (!GetWorldMap().IsStraightSpanInsideMap(uint32_t(xa), uint32_t(ya), uint32_t(xb), uint32_t(yb)))
        return 0;
    const int64_t length = std::abs(int64_t(xb) - xa) + std::abs(int64_t(yb) - ya) + 1;
    const RouteBuilderRow* row = RouteBuilderTable::Find(routeType);
    if (!row)
        return 0;
    if (row->MaxLength != 0 && length > row->MaxLength)
        return 0;
    return SaturateToInt32(double(int64_t(GetRouteConstructionCost(routeType)) * length));
}

BridgeSpan* CreateBridgeSpan(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType,
                             int32_t owner) {
    if (!GetWorldMap().IsStraightSpanInsideMap(uint32_t(xa), uint32_t(ya), uint32_t(xb), uint32_t(yb)))
        return nullptr;
    MapObject* object = CreateMapObject(kCategorySpan, 0);
    auto* span = dynamic_cast<BridgeSpan*>(object);
    if (!span) {
        if (object)
            DeleteMapObject(object->GetId());
        return nullptr;
    }
    span->SetOwner(owner);
    span->SetRouteTypeField(routeType);
    span->SetRect(xa, ya, xb, yb);
    span->ClearFlags();
    GetWorldMap().AttachSpanToRect(uint32_t(span->X0()), uint32_t(span->Y0()), uint32_t(span->X1()),
                                   uint32_t(span->Y1()), span->GetId());
    RequestObjectRedraw();
    return span;
}

int32_t BuildBridge(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType, int32_t owner) {
    if (xa > xb || (xa == xb && ya > yb)) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    const int32_t price = GetBridgeSpanCost(xa, ya, xb, yb, routeType);
    if (price == 0)
        return 0;
    const std::vector<BridgePiece> pieces = PlanBridgePieces(xa, ya, xb, yb, routeType);
    const int32_t orientation = xa == xb && ya != yb ? int32_t(BridgeSpan::kOrientationAlongY)
                                                     : int32_t(BridgeSpan::kOrientationAlongX);
    BridgeSpan* previous = nullptr;
    for (const BridgePiece& piece : pieces) {
        BridgeSpan* span = CreateBridgeSpan(piece.x0, piece.y0, piece.x1, piece.y1, piece.routeType, owner);
        if (!span)
            break;
        span->SetPieceGraphics(orientation, piece.pieceRow, piece.frame, piece.direction);
        span->SetPrev(previous ? previous->GetId() : 0);
        if (previous)
            previous->SetNext(span->GetId());
        previous = span;
    }
    InvalidateMiniMap(std::min(xa, xb), std::min(ya, yb), std::max(xa, xb) + 1, std::max(ya, yb) + 1);
    return price;
}

int32_t RemoveBridgeChain(BridgeSpan* span, uint8_t withEffect) {
    if (!span)
        return 0;
    WorldMap& map = GetWorldMap();
    const RouteBuilderRow* carried = RouteBuilderTable::Find(span->GetRouteType());
    if (carried && carried->RouteType == 1)
        map.MarkTrackNetworkChanged();
    else if (carried && carried->RouteType == 2)
        map.MarkRoadNetworkChanged();
    std::vector<ObjectHandle> ids;
    for (BridgeSpan* piece : span->GetChain())
        ids.push_back(piece->GetId());
    for (ObjectHandle id : ids) {
        BridgeSpan* piece = GetBridgeSpan(id);
        if (!piece)
            continue;
        map.DetachSpanFromRect(uint32_t(piece->X0()), uint32_t(piece->Y0()), uint32_t(piece->X1()),
                               uint32_t(piece->Y1()), id);
        if (withEffect && StaticServices().demolitionEffect)
            StaticServices().demolitionEffect(piece->X0(), piece->Y0());
        InvalidateMiniMap(piece->X0(), piece->Y0(), SaturateToInt32(double(piece->X1()) + 1),
                          SaturateToInt32(double(piece->Y1()) + 1));
        DeleteMapObject(id);
    }
    RequestObjectRedraw();
    return 0;
}

void PreviewBridge(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType, uint32_t colour,
                   uint32_t value) {
    const auto& queue = StaticServices().queueOverlayImage;
    const bool tunnel = IsBridgeOf(routeType) == 2;
    for (const BridgePiece& piece : PlanBridgePieces(xa, ya, xb, yb, routeType)) {
        if (tunnel && IsBridgeOf(piece.pieceRow) != 0)
            continue;
        SpriteRef sprite{kRouteGraphicSet, piece.pieceRow, piece.frame};
        sprite.nameFieldA = piece.direction;
        if (queue)
            queue(sprite, piece.x1 + 1, piece.y1 + 1, colour, value);
    }
}

uint8_t GetRouteCanCrossTrack(int32_t row) {
    const RouteBuilderRow* record = RouteBuilderTable::Find(row);
    return record ? record->CanCrossTrack : 0;
}

uint32_t ValidateBridgeChains() {
    std::vector<MapObject*> spans;
    GetMapObjects(spans, 0, kCategorySpan, 0, 0);
    uint32_t cut = 0;
    // Links must be mutual and lead to spans.
    for (MapObject* object : spans) {
        auto* span = dynamic_cast<BridgeSpan*>(object);
        if (!span)
            continue;
        const BridgeSpan* prev = GetBridgeSpan(span->GetPrev());
        if (span->GetPrev() != 0 && (!prev || prev == span || prev->GetNext() != span->GetId())) {
            span->SetPrev(0);
            ++cut;
        }
        const BridgeSpan* next = GetBridgeSpan(span->GetNext());
        if (span->GetNext() != 0 && (!next || next == span || next->GetPrev() != span->GetId())) {
            span->SetNext(0);
            ++cut;
        }
    }
    // Mutual links can still close a ring; open each ring once.
    for (MapObject* object : spans) {
        auto* span = dynamic_cast<BridgeSpan*>(object);
        if (!span)
            continue;
        std::vector<BridgeSpan*> visited{span};
        for (BridgeSpan* piece = span; piece->GetPrev() != 0;) {
            BridgeSpan* prev = GetBridgeSpan(piece->GetPrev());
            if (std::find(visited.begin(), visited.end(), prev) != visited.end()) {
                piece->SetPrev(0);
                prev->SetNext(0);
                cut += 2;
                break;
            }
            visited.push_back(prev);
            piece = prev;
        }
    }
    if (cut != 0)
        WorldWarning("bridge chains: %u links that looped or named no span were cut", cut);
    return cut;
}
