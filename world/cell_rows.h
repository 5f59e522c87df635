// The per-kind row pools behind the map cells, and the cell operations that
// read and change a cell together with its row: kind changes, attachments of
// bridge and tunnel pieces, footprint and waterway rows, route rows.
#pragma once

#include "world/world_cell.h"

#include <cstdint>
#include <vector>

inline constexpr uint32_t kNoRow = 0xFFFFFFFFu;

struct PlainRow {
    static constexpr uint32_t kSize = 8;
    uint32_t slot0 = 0, slot1 = 0;
    uint32_t& Link() { return slot0; }
    // The row's fields through the current stream, in their stored order.
    void Transfer();
};

struct FootprintRow {
    static constexpr uint32_t kSize = 12;
    uint32_t building = 0, slot1 = 0, slot0 = 0;
    uint32_t& Link() { return building; }
    // The row's fields through the current stream, in their stored order.
    void Transfer();
};

struct WaterwayRow {
    static constexpr uint32_t kSize = 16;
    uint32_t building = 0, value = 0, slot0 = 0, slot1 = 0;
    uint32_t& Link() { return building; }
    // The row's fields through the current stream, in their stored order.
    void Transfer();
};

struct AttachmentRow {
    static constexpr uint32_t kSize = 12;
    uint32_t objectId = 0;
    uint32_t slotValue[2] = {0, 0};
    uint32_t& Link() { return objectId; }
    // The row's fields through the current stream, in their stored order.
    void Transfer();
};

// Track (layer 1) and road (layer 2) of one tile.
struct RouteCell {
    static constexpr uint32_t kSize = 36;
    uint32_t bits = 0;  // sub-kind, types, directions, tags, flags
    uint32_t extra = 0; // building index (19 bits), route byte
    uint16_t edgeHeights = 0xFFFF;
    uint32_t saved = 0; // saved directions and route types
    uint16_t nodeId = 0;
    uint32_t slotValue[2] = {0, 0};
    uint32_t slot[2] = {0, 0};
    uint32_t signal = 0;
    uint32_t& Link() { return bits; }
    // The row's fields through the current stream, in their stored order.
    void Transfer();
};

// Rows of one kind with a free list threaded through each free row's first
// word. Rows are handed out in constant time, released rows first.
template <class Row>
class CellRowPool {
public:
    CellRowPool() { Reset(); }

    uint32_t Alloc() {
        if (freeHead_ == kNoRow) {
            rows_.emplace_back();
            rows_.back().Link() = kNoRow;
            freeHead_ = uint32_t(rows_.size() - 1);
        }
        uint32_t index = freeHead_;
        freeHead_ = rows_[index].Link();
        return index;
    }
    void Release(uint32_t index) {
        rows_[index].Link() = freeHead_;
        freeHead_ = index;
    }
    // One free row 0, as after a world reset.
    void Reset() {
        rows_.assign(1, Row{});
        rows_[0].Link() = kNoRow;
        freeHead_ = 0;
    }
    bool Contains(uint32_t index) const { return index < rows_.size(); }
    Row& operator[](uint32_t index) { return rows_[index]; }
    const Row& operator[](uint32_t index) const { return rows_[index]; }
    uint32_t Size() const { return uint32_t(rows_.size()); }
    uint32_t FreeHead() const { return freeHead_; }
    std::vector<Row>& RowsForLoad() { return rows_; }
    void SetFreeHead(uint32_t head) { freeHead_ = head; }

private:
    std::vector<Row> rows_;
    uint32_t freeHead_ = kNoRow;
};

struct CellRows {
    CellRowPool<RouteCell> route;
    CellRowPool<AttachmentRow> attachment;
    CellRowPool<WaterwayRow> waterway;
    CellRowPool<PlainRow> plain;
    CellRowPool<FootprintRow> footprint;
    // Which edge heights 0-3 carry a track, as of the last snapshot.
    bool heightsInUse[4] = {false, false, false, false};
};

// The current world's pools: Rows() in world/world.h.
// Empties every pool down to its single free row 0.
void ResetCellRows();

// Kind changes and row-holding fields.
void ChangeKind(WorldCell& cell, uint32_t kind);
void StripRouteCell(WorldCell& cell);
uint32_t GetFootprintBuilding(const WorldCell& cell);
void SetFootprintBuilding(WorldCell& cell, uint32_t id);
uint32_t GetCellBuilding(const WorldCell& cell);
void SetCellBuilding(WorldCell& cell, uint32_t id);
uint32_t GetWaterwayValue(const WorldCell& cell);
void SetWaterwayValue(WorldCell& cell, uint32_t value);

// Route rows. Layer 1 is the track, layer 2 the road; 8 counts as 2 for the
// direction masks, tags and flag A.
RouteCell* RouteRowOf(const WorldCell& cell);
uint32_t GetRouteSubKind(const WorldCell& cell);
void SetRouteSubKind(WorldCell& cell, uint32_t sub);
uint32_t GetRouteType(const WorldCell& cell, uint32_t layer);
void SetRouteType(WorldCell& cell, uint32_t layer, uint32_t row);
uint32_t GetRouteDirections(const WorldCell& cell, uint32_t layer);
void SetRouteDirections(WorldCell& cell, uint32_t layer, uint32_t mask);
uint32_t GetLayerTag(const WorldCell& cell, uint32_t layer);
void SetLayerTag(WorldCell& cell, uint32_t layer, uint32_t value);
bool GetRouteFlagA(const WorldCell& cell, uint32_t layer);
void SetRouteFlagA(WorldCell& cell, uint32_t layer, bool on);
bool GetRouteFlagB(const WorldCell& cell, uint32_t layer);
void SetRouteFlagB(WorldCell& cell, uint32_t layer, bool on);
int32_t GetSavedDirections(const WorldCell& cell, uint32_t layer);
void SetSavedDirections(WorldCell& cell, uint32_t layer, uint32_t value);
uint32_t GetSavedRouteType(const WorldCell& cell, uint32_t layer);
void SetSavedRouteType(WorldCell& cell, uint32_t layer, uint32_t value);
uint32_t GetTileNodeId(const WorldCell& cell);
void SetTileNodeId(WorldCell& cell, uint32_t value);
uint32_t GetRouteSignal(const WorldCell& cell);
void SetRouteSignal(WorldCell& cell, uint32_t id);
uint32_t GetRouteByte(const WorldCell& cell);
void SetRouteByte(WorldCell& cell, uint32_t value);
bool GetEdgeHeights(const WorldCell& cell, int32_t out[4]);
uint32_t GetEdgeHeightMatchMask(const WorldCell& cell, int32_t height);
bool GetCommonEdgeHeight(const WorldCell& cell, int32_t& out);
void SetEdgeHeights(WorldCell& cell, int32_t height, uint32_t mask);
// The height at the edge of a straight direction mask: an attached piece
// running that way answers first, then the route row; -1 for none.
int32_t GetEdgeHeight(const WorldCell& cell, uint32_t mask);

// Attachments: slot 0 holds a bridge piece, slot 1 a tunnel piece.
uint32_t GetSlotAttachment(const WorldCell& cell, uint32_t slot);
uint32_t GetSlotObject(const WorldCell& cell, uint32_t slot);
void SetAttachment(WorldCell& cell, uint32_t id, uint32_t slot);
uint32_t GetRouteSlotValue(const WorldCell& cell, uint32_t i, uint32_t source, uint32_t mask);
void SetRouteSlotValue(WorldCell& cell, uint32_t i, uint32_t value, uint32_t source, uint32_t mask);

// Copies the live directions and types of every route row into its saved
// fields and notes which edge heights tracks use.
void SnapshotRouteRows();
// Whether edge height 0-3 carries a track, as of the last snapshot.
bool HeightInUse(uint32_t height);
