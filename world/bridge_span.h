// Bridges and tunnels: chains of straight pieces, each a map object that
// covers a run of tiles in one row or column and lies on those tiles. The
// chain carries one route type; its end pieces are ramps or portals, its
// middle pieces the deck or the tunnel's hidden inside.
#pragma once

#include "world/span_piece.h"
#include "world/static_object_services.h"

#include <cstdint>
#include <set>
#include <vector>

// One planned piece: its tiles, the route it carries and its graphics.
struct BridgePiece {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int32_t routeType = 0;
    int32_t pieceRow = 0;
    int32_t frame = 0;
    int32_t direction = 0;
    friend bool operator==(const BridgePiece&, const BridgePiece&) = default;
};

class BridgeSpan : public SpanPiece {
public:
    static constexpr uint32_t kOrientationAlongY = 5;
    static constexpr uint32_t kOrientationAlongX = 10;
    // No chain is longer than this many pieces (a map row of one-tile
    // pieces); a walk that goes on is a damaged chain.
    static constexpr size_t kMaxChainPieces = 4096;

    BridgeSpan() = default;

    void Serialize() override;

    uint32_t GetOrientation() const override { return uint32_t(orientation_); }
    int32_t GetRouteType() const override { return routeType_; }
    bool IsTunnel() const override;
    bool IsTunnelEntranceAt(int32_t x, int32_t y) const override;
    bool HasNext() const override { return next_ != 0; }

    void GetStart(int32_t& x, int32_t& y) const {
        x = x0_;
        y = y0_;
    }
    void GetEnd(int32_t& x, int32_t& y) const {
        x = x1_;
        y = y1_;
    }
    // This piece, then the pieces through prev one by one, then those
    // through next. Links that name no span or lead back are not followed.
    std::vector<BridgeSpan*> GetChain();
    int32_t GetChainLength();
    // For a vehicle entering this piece at (x, y) with entry direction
    // 0-3: the far end of the chain; nothing written where it ends here.
    void FindChainEnd(int32_t x, int32_t y, uint32_t entry, int32_t& outX, int32_t& outY);
    bool CanRetypeChain(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t newType);
    void SetChainRouteType(int32_t newType);
    void SaveChainRouteType();
    void SetChainFlag0(bool on) { SetChainFlag(0, on); }
    void SetChainFlag1(bool on) { SetChainFlag(1, on); }
    void SetChainFlag2(bool on) { SetChainFlag(2, on); }
    bool IsChainInUse();
    std::set<uint32_t> CollectChainOccupants();
    // What demolishing the chain costs; 0 while it is in use or when the
    // owner cannot pay.
    int32_t GetChainDemolitionCost();
    // The images the map view draws for the piece (none for the hidden
    // middle of a tunnel).
    std::vector<SpriteRef> GetDrawImages() const;

    // Field access for building and loading.
    void SetRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void SetRouteTypeField(int32_t routeType) { routeType_ = routeType; }
    void SetPieceGraphics(int32_t orientation, int32_t pieceRow, int32_t frame, int32_t direction);
    ObjectHandle GetPrev() const { return prev_; }
    ObjectHandle GetNext() const { return next_; }
    void SetPrev(ObjectHandle id) { prev_ = id; }
    void SetNext(ObjectHandle id) { next_ = id; }
    int32_t GetPieceRow() const { return pieceRow_; }
    int32_t GetFrame() const { return frame_; }
    int32_t GetDirection() const { return direction_; }
    uint32_t GetFlags() const { return flags_; }
    void ClearFlags() { flags_ &= ~7u; }
    int32_t GetSavedRouteType() const { return savedRouteType_; }
    // Tiles the piece covers (64 bits: loaded corners may be anything).
    int64_t TileCount() const { return (int64_t(x1_) - x0_) + (int64_t(y1_) - y0_) + 1; }
    int32_t X0() const { return x0_; }
    int32_t Y0() const { return y0_; }
    int32_t X1() const { return x1_; }
    int32_t Y1() const { return y1_; }

private:
    void SetChainFlag(uint32_t bit, bool on);
    bool PieceInUse() const;
    uint32_t SlotSource() const;

    int32_t x0_ = 0, x1_ = 0, y0_ = 0, y1_ = 0;
    ObjectHandle prev_ = 0;
    ObjectHandle next_ = 0;
    int32_t routeType_ = 0;
    int32_t orientation_ = 0;
    int32_t pieceRow_ = 0;
    int32_t frame_ = 0;
    int32_t direction_ = 0;
    uint32_t flags_ = 0;
    int32_t savedRouteType_ = -1;
};

// The pieces of a bridge or tunnel from a to b (valid until the next call).
const std::vector<BridgePiece>& PlanBridgePieces(int32_t xa, int32_t ya, int32_t xb, int32_t yb,
                                                 int32_t routeType);
// The price of a straight run, 0 when the run cannot be built.
int32_t GetBridgeSpanCost(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType);
// Builds the chain; its price, or 0 when refused (nothing built).
int32_t BuildBridge(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType, int32_t owner);
BridgeSpan* CreateBridgeSpan(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType,
                             int32_t owner);
// The span an id names, null for anything else.
BridgeSpan* GetBridgeSpan(ObjectHandle id);
// Detaches and deletes every piece of the chain.
int32_t RemoveBridgeChain(BridgeSpan* span, uint8_t withEffect);
uint8_t GetRouteCanCrossTrack(int32_t row);
// Shows the planned pieces over the map for this frame; the hidden middle
// of a tunnel is not shown.
void PreviewBridge(int32_t xa, int32_t ya, int32_t xb, int32_t yb, int32_t routeType, uint32_t colour,
                   uint32_t value);
// The route rows' rule for replacing one route type by another.
bool CanUpgradeRouteType(int32_t oldRow, int32_t newRow);
// After loading: every prev/next link must name a span that links back,
// and no chain may close on itself; other links are cut. The number cut.
uint32_t ValidateBridgeChains();
