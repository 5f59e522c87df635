#include "world/cell_rows.h"

#include "data/generated/route_tables.h"
#include "files/chunk_transfer.h"
#include "world/object_manager.h"
#include "world/span_piece.h"
#include "world/special_track.h"
#include "world/world_map.h"
#include "world/world_services.h"

void PlainRow::Transfer() {
    ::Transfer(slot0);
    ::Transfer(slot1);
}
void FootprintRow::Transfer() {
    ::Transfer(building);
    ::Transfer(slot1);
    ::Transfer(slot0);
}
void WaterwayRow::Transfer() {
    ::Transfer(building);
    ::Transfer(value);
    ::Transfer(slot0);
    ::Transfer(slot1);
}
void AttachmentRow::Transfer() {
    ::Transfer(objectId);
    ::Transfer(slotValue[0]);
    ::Transfer(slotValue[1]);
}
void RouteCell::Transfer() {
    ::Transfer(bits);
    ::Transfer(extra);
    ::Transfer(edgeHeights);
    ::Transfer(saved);
    ::Transfer(nodeId);
    ::Transfer(slotValue[0]);
    ::Transfer(slotValue[1]);
    ::Transfer(slot[0]);
    ::Transfer(slot[1]);
    ::Transfer(signal);
}

void ResetCellRows() {
    CellRows& rows = Rows();
    rows.route.Reset();
    rows.attachment.Reset();
    rows.waterway.Reset();
    rows.plain.Reset();
    rows.footprint.Reset();
}

namespace {

bool IsRoadLayer(uint32_t layer) {
    return layer == 2 || layer == 8;
}

// The row of a kind whose cells store index + 1; null without one.
template <class Row>
Row* OptionalRow(CellRowPool<Row>& pool, const WorldCell& cell) {
    uint32_t bits = cell.RowBits();
    return bits != 0 && pool.Contains(bits - 1) ? &pool[bits - 1] : nullptr;
}

template <class Row>
Row& TakeOptionalRow(CellRowPool<Row>& pool, WorldCell& cell) {
    if (Row* row = OptionalRow(pool, cell))
        return *row;
    uint32_t index = pool.Alloc();
    pool[index] = Row{};
    cell.SetRowBits(index + 1);
    return pool[index];
}

template <class Row>
void ReleaseOptionalRow(CellRowPool<Row>& pool, WorldCell& cell) {
    uint32_t bits = cell.RowBits();
    if (bits != 0 && pool.Contains(bits - 1))
        pool.Release(bits - 1);
    cell.ClearRowBits();
}

void FreeRouteRow(uint32_t index) {
    CellRowPool<RouteCell>& pool = Rows().route;
    if (!pool.Contains(index))
        return;
    uint32_t signal = pool[index].signal;
    if (signal != 0 && Services().deleteSignal)
        Services().deleteSignal(signal);
    pool[index] = RouteCell{};
    pool.Release(index);
}

uint32_t* SlotField(WorldCell& cell, uint32_t slot) {
    CellRows& rows = Rows();
    switch (cell.Kind()) {
    case kCellPlain:
        if (PlainRow* row = OptionalRow(rows.plain, cell))
            return slot == 0 ? &row->slot0 : &row->slot1;
        return nullptr;
    case kCellFootprint:
        if (FootprintRow* row = OptionalRow(rows.footprint, cell))
            return slot == 0 ? &row->slot0 : &row->slot1;
        return nullptr;
    case kCellRoute:
        if (RouteCell* row = RouteRowOf(cell))
            return &row->slot[slot];
        return nullptr;
    case kCellWaterway:
        if (WaterwayRow* row = OptionalRow(rows.waterway, cell))
            return slot == 0 ? &row->slot0 : &row->slot1;
        return nullptr;
    default:
        return nullptr;
    }
}

int EdgeIndex(uint32_t mask) {
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
        return -1;
    }
}

int32_t EdgeHeightAt(const RouteCell& row, int edge) {
    int32_t v = (row.edgeHeights >> (4 * edge)) & 15;
    return v >= 8 ? v - 16 : v;
}

bool HasEdgeHeights(const RouteCell& row) {
    uint32_t sub = row.bits & 15;
    return sub >= 1 && sub <= 3;
}

const SpanPiece* AttachedPiece(const WorldCell& cell, uint32_t slot) {
    return dynamic_cast<const SpanPiece*>(MapObjectFromId(GetSlotObject(cell, slot)));
}

// The attachment row of a slot when its piece runs along the mask.
AttachmentRow* SlotRowFor(const WorldCell& cell, uint32_t source, uint32_t mask) {
    if (source != 1 && source != 2)
        return nullptr;
    uint32_t slot = source - 1;
    const SpanPiece* piece = AttachedPiece(cell, slot);
    if (!piece || (piece->GetOrientation() & mask) == 0)
        return nullptr;
    uint32_t a = GetSlotAttachment(cell, slot);
    return Rows().attachment.Contains(a - 1) ? &Rows().attachment[a - 1] : nullptr;
}

void MarkLayerChanged(uint32_t layer) {
    if (layer == 1)
        GetWorldMap().MarkTrackNetworkChanged();
    else
        GetWorldMap().MarkRoadNetworkChanged();
}

} // namespace

RouteCell* RouteRowOf(const WorldCell& cell) {
    if (cell.Kind() != kCellRoute)
        return nullptr;
    uint32_t index = cell.RowBits();
    CellRowPool<RouteCell>& pool = Rows().route;
    return pool.Contains(index) ? &pool[index] : nullptr;
}

void StripRouteCell(WorldCell& cell) {
    cell.SetKindBits(kCellPlain);
    cell.ClearRowBits();
}

void ChangeKind(WorldCell& cell, uint32_t kind) {
    uint32_t old = cell.Kind();
    if (old == kind || kind >= kCellKindCount)
        return;
    uint32_t objects[2] = {GetSlotObject(cell, 0), GetSlotObject(cell, 1)};
    SetAttachment(cell, 0, 0);
    SetAttachment(cell, 0, 1);

    // The old kind's row always goes, so that no index is ever read from
    // another kind's pool.
    CellRows& rows = Rows();
    switch (old) {
    case kCellFootprint:
        ReleaseOptionalRow(rows.footprint, cell);
        break;
    case kCellRoute:
        FreeRouteRow(cell.RowBits());
        cell.ClearRowBits();
        break;
    case kCellWaterway:
        ReleaseOptionalRow(rows.waterway, cell);
        break;
    case kCellPlain:
        ReleaseOptionalRow(rows.plain, cell);
        break;
    default:
        cell.ClearRowBits();
        break;
    }
    if (kind == kCellRoute) {
        uint32_t index = rows.route.Alloc();
        rows.route[index] = RouteCell{};
        cell.SetRowBits(index);
    }
    cell.SetKindBits(kind);
    if (objects[0] != 0)
        SetAttachment(cell, objects[0], 0);
    if (objects[1] != 0)
        SetAttachment(cell, objects[1], 1);
}

uint32_t GetFootprintBuilding(const WorldCell& cell) {
    if (cell.Kind() != kCellFootprint)
        return 0;
    const FootprintRow* row = OptionalRow(Rows().footprint, cell);
    return row ? row->building : 0;
}

void SetFootprintBuilding(WorldCell& cell, uint32_t id) {
    if (cell.Kind() != kCellFootprint)
        return;
    CellRowPool<FootprintRow>& pool = Rows().footprint;
    if (id != 0) {
        TakeOptionalRow(pool, cell).building = id;
        return;
    }
    FootprintRow* row = OptionalRow(pool, cell);
    if (!row)
        return;
    if (row->slot0 == 0 && row->slot1 == 0)
        ReleaseOptionalRow(pool, cell);
    else
        row->building = 0;
}

uint32_t GetCellBuilding(const WorldCell& cell) {
    if (const RouteCell* row = RouteRowOf(cell)) {
        uint32_t index = row->extra & kObjectIndexMask;
        return index != 0 ? (uint32_t(kCategoryBuilding) << kObjectIndexBits) + index : 0;
    }
    if (cell.Kind() == kCellWaterway) {
        const WaterwayRow* row = OptionalRow(Rows().waterway, cell);
        return row ? row->building : 0;
    }
    return 0;
}

namespace {
void ReleaseEmptyWaterwayRow(WorldCell& cell) {
    WaterwayRow* row = OptionalRow(Rows().waterway, cell);
    if (row && row->building == 0 && row->value == 0 && row->slot0 == 0 && row->slot1 == 0)
        ReleaseOptionalRow(Rows().waterway, cell);
}
} // namespace

void SetCellBuilding(WorldCell& cell, uint32_t id) {
    if (RouteCell* row = RouteRowOf(cell)) {
        row->extra = (row->extra & ~kObjectIndexMask) | (id & kObjectIndexMask);
        return;
    }
    if (cell.Kind() != kCellWaterway)
        return;
    if (id != 0) {
        TakeOptionalRow(Rows().waterway, cell).building = id;
    } else if (WaterwayRow* row = OptionalRow(Rows().waterway, cell)) {
        row->building = 0;
        ReleaseEmptyWaterwayRow(cell);
    }
}

uint32_t GetWaterwayValue(const WorldCell& cell) {
    if (cell.Kind() != kCellWaterway)
        return 0;
    const WaterwayRow* row = OptionalRow(Rows().waterway, cell);
    return row ? row->value : 0;
}

void SetWaterwayValue(WorldCell& cell, uint32_t value) {
    if (cell.Kind() != kCellWaterway)
        return;
    if (value != 0) {
        TakeOptionalRow(Rows().waterway, cell).value = value;
    } else if (WaterwayRow* row = OptionalRow(Rows().waterway, cell)) {
        row->value = 0;
        ReleaseEmptyWaterwayRow(cell);
    }
}

uint32_t GetRouteSubKind(const WorldCell& cell) {
    if (const RouteCell* row = RouteRowOf(cell))
        return row->bits & 15;
    return cell.Kind() == kCellWaterway ? 4 : 0;
}

void SetRouteSubKind(WorldCell& cell, uint32_t sub) {
    if (RouteCell* row = RouteRowOf(cell))
        row->bits = (row->bits & ~15u) | (sub & 15);
}

uint32_t GetRouteType(const WorldCell& cell, uint32_t layer) {
    const RouteCell* row = RouteRowOf(cell);
    if (!row)
        return 0;
    if (layer == 1)
        return (row->bits >> 9) & 31;
    return IsRoadLayer(layer) ? (row->bits >> 4) & 31 : 0;
}

void SetRouteType(WorldCell& cell, uint32_t layer, uint32_t type) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || (layer != 1 && !IsRoadLayer(layer)))
        return;
    uint32_t shift = layer == 1 ? 9 : 4;
    uint32_t present = (row->bits >> shift) & 31;
    if (layer == 1 && present != 0 && type != 0) {
        // A track only moves to a type of the same or a later year and
        // never loses its overhead line.
        const RouteBuilderRow* from = RouteBuilderTable::Find(int32_t(present));
        const RouteBuilderRow* to = RouteBuilderTable::Find(int32_t(type));
        int32_t fromYear = from ? from->StartYear : 0, toYear = to ? to->StartYear : 0;
        bool fromLine = from && from->OverheadLine, toLine = to && to->OverheadLine;
        if (fromYear > toYear || (fromLine && !toLine))
            return;
    }
    if ((present == 0) != ((type & 31) == 0))
        MarkLayerChanged(layer);
    row->bits = (row->bits & ~(31u << shift)) | ((type & 31) << shift);
}

uint32_t GetRouteDirections(const WorldCell& cell, uint32_t layer) {
    const RouteCell* row = RouteRowOf(cell);
    if (!row)
        return 0;
    if (layer == 1)
        return (row->bits >> 18) & 15;
    return IsRoadLayer(layer) ? (row->bits >> 14) & 15 : 0;
}

void SetRouteDirections(WorldCell& cell, uint32_t layer, uint32_t mask) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || (layer != 1 && !IsRoadLayer(layer)))
        return;
    uint32_t shift = layer == 1 ? 18 : 14;
    if (((row->bits >> shift) & 15) != (mask & 15))
        MarkLayerChanged(layer);
    row->bits = (row->bits & ~(15u << shift)) | ((mask & 15) << shift);
}

uint32_t GetLayerTag(const WorldCell& cell, uint32_t layer) {
    const RouteCell* row = RouteRowOf(cell);
    if (!row)
        return 0;
    if (layer == 1)
        return (row->bits >> 25) & 7;
    return IsRoadLayer(layer) ? (row->bits >> 22) & 7 : 0;
}

void SetLayerTag(WorldCell& cell, uint32_t layer, uint32_t value) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || (layer != 1 && !IsRoadLayer(layer)))
        return;
    uint32_t shift = layer == 1 ? 25 : 22;
    row->bits = (row->bits & ~(7u << shift)) | ((value & 7) << shift);
}

namespace {
int FlagABit(uint32_t layer) {
    return layer == 1 ? 29 : IsRoadLayer(layer) ? 28 : -1;
}
int FlagBBit(uint32_t layer) {
    return layer == 1 ? 30 : layer == 2 ? 31 : -1;
}
bool GetBit(const WorldCell& cell, int bit) {
    const RouteCell* row = RouteRowOf(cell);
    return row && bit >= 0 && ((row->bits >> bit) & 1);
}
void SetBit(WorldCell& cell, int bit, bool on) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || bit < 0)
        return;
    row->bits = on ? row->bits | (1u << bit) : row->bits & ~(1u << bit);
}
} // namespace

bool GetRouteFlagA(const WorldCell& cell, uint32_t layer) {
    return GetBit(cell, FlagABit(layer));
}
void SetRouteFlagA(WorldCell& cell, uint32_t layer, bool on) {
    SetBit(cell, FlagABit(layer), on);
}
bool GetRouteFlagB(const WorldCell& cell, uint32_t layer) {
    return GetBit(cell, FlagBBit(layer));
}
void SetRouteFlagB(WorldCell& cell, uint32_t layer, bool on) {
    SetBit(cell, FlagBBit(layer), on);
}

int32_t GetSavedDirections(const WorldCell& cell, uint32_t layer) {
    const RouteCell* row = RouteRowOf(cell);
    if (!row)
        return -1;
    if (layer == 1)
        return int32_t(row->saved & 15);
    return IsRoadLayer(layer) ? int32_t((row->saved >> 4) & 15) : -1;
}

void SetSavedDirections(WorldCell& cell, uint32_t layer, uint32_t value) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || (layer != 1 && !IsRoadLayer(layer)))
        return;
    uint32_t shift = layer == 1 ? 0 : 4;
    row->saved = (row->saved & ~(15u << shift)) | ((value & 15) << shift);
}

uint32_t GetSavedRouteType(const WorldCell& cell, uint32_t layer) {
    const RouteCell* row = RouteRowOf(cell);
    if (!row)
        return 0;
    if (layer == 1)
        return (row->saved >> 13) & 31;
    return IsRoadLayer(layer) ? (row->saved >> 8) & 31 : 0;
}

void SetSavedRouteType(WorldCell& cell, uint32_t layer, uint32_t value) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || (layer != 1 && !IsRoadLayer(layer)))
        return;
    uint32_t shift = layer == 1 ? 13 : 8;
    row->saved = (row->saved & ~(31u << shift)) | ((value & 31) << shift);
}

uint32_t GetTileNodeId(const WorldCell& cell) {
    const RouteCell* row = RouteRowOf(cell);
    return row ? row->nodeId : 0;
}
void SetTileNodeId(WorldCell& cell, uint32_t value) {
    if (RouteCell* row = RouteRowOf(cell))
        row->nodeId = uint16_t(value);
}
uint32_t GetRouteSignal(const WorldCell& cell) {
    const RouteCell* row = RouteRowOf(cell);
    return row ? row->signal : 0;
}
void SetRouteSignal(WorldCell& cell, uint32_t id) {
    if (RouteCell* row = RouteRowOf(cell))
        row->signal = id;
}
uint32_t GetRouteByte(const WorldCell& cell) {
    const RouteCell* row = RouteRowOf(cell);
    return row ? (row->extra >> 19) & 255 : 0;
}
void SetRouteByte(WorldCell& cell, uint32_t value) {
    if (RouteCell* row = RouteRowOf(cell))
        row->extra = (row->extra & ~(255u << 19)) | ((value & 255) << 19);
}

bool GetEdgeHeights(const WorldCell& cell, int32_t out[4]) {
    const RouteCell* row = RouteRowOf(cell);
    for (int i = 0; i < 4; ++i)
        out[i] = row ? EdgeHeightAt(*row, i) : -1;
    return row != nullptr;
}

uint32_t GetEdgeHeightMatchMask(const WorldCell& cell, int32_t height) {
    const RouteCell* row = RouteRowOf(cell);
    if (!row)
        return 0;
    uint32_t mask = 0;
    for (int i = 0; i < 4; ++i)
        if (EdgeHeightAt(*row, i) == height)
            mask |= 1u << i;
    return mask;
}

bool GetCommonEdgeHeight(const WorldCell& cell, int32_t& out) {
    int32_t heights[4];
    if (!GetEdgeHeights(cell, heights))
        return false;
    bool found = false;
    int32_t common = -1;
    for (int32_t h : heights) {
        if (h == -1)
            continue;
        if (found && h != common)
            return false;
        found = true;
        common = h;
    }
    if (found)
        out = common;
    return found;
}

void SetEdgeHeights(WorldCell& cell, int32_t height, uint32_t mask) {
    RouteCell* row = RouteRowOf(cell);
    if (!row || !HasEdgeHeights(*row))
        return;
    for (int i = 0; i < 4; ++i) {
        if (mask & (1u << i))
            row->edgeHeights =
                uint16_t((row->edgeHeights & ~(15u << (4 * i))) | ((uint32_t(height) & 15) << (4 * i)));
    }
}

int32_t GetEdgeHeight(const WorldCell& cell, uint32_t mask) {
    for (uint32_t slot = 0; slot < 2; ++slot) {
        const SpanPiece* piece = AttachedPiece(cell, slot);
        if (piece && (piece->GetOrientation() & mask) != 0)
            return piece->GetEdgeHeight(mask);
    }
    const RouteCell* row = RouteRowOf(cell);
    int edge = EdgeIndex(mask);
    if (!row || !HasEdgeHeights(*row) || edge < 0)
        return -1;
    return EdgeHeightAt(*row, edge);
}

uint32_t GetSlotAttachment(const WorldCell& cell, uint32_t slot) {
    if (slot > 1)
        return 0;
    const uint32_t* field = SlotField(const_cast<WorldCell&>(cell), slot);
    return field ? *field : 0;
}

uint32_t GetSlotObject(const WorldCell& cell, uint32_t slot) {
    uint32_t a = GetSlotAttachment(cell, slot);
    CellRowPool<AttachmentRow>& pool = Rows().attachment;
    return a != 0 && pool.Contains(a - 1) ? pool[a - 1].objectId : 0;
}

void SetAttachment(WorldCell& cell, uint32_t id, uint32_t slot) {
    if (slot > 1)
        return;
    CellRows& rows = Rows();
    uint32_t kind = cell.Kind();
    if (id != 0) {
        // A decoration (or a damaged kind) has nowhere to keep the piece:
        // test before taking a row that nothing would hold.
        if (kind == kCellDecoration || kind >= kCellKindCount)
            return;
        if (GetSlotAttachment(cell, slot) != 0)
            SetAttachment(cell, 0, slot);
        uint32_t index = rows.attachment.Alloc();
        rows.attachment[index] = AttachmentRow{};
        rows.attachment[index].objectId = id;
        uint32_t a = index + 1;
        switch (kind) {
        case kCellPlain: {
            PlainRow& row = TakeOptionalRow(rows.plain, cell);
            (slot == 0 ? row.slot0 : row.slot1) = a;
            break;
        }
        case kCellFootprint: {
            FootprintRow& row = TakeOptionalRow(rows.footprint, cell);
            (slot == 0 ? row.slot0 : row.slot1) = a;
            break;
        }
        case kCellRoute:
            if (RouteCell* row = RouteRowOf(cell))
                row->slot[slot] = a;
            else
                rows.attachment.Release(index);
            break;
        case kCellWaterway: {
            WaterwayRow& row = TakeOptionalRow(rows.waterway, cell);
            (slot == 0 ? row.slot0 : row.slot1) = a;
            break;
        }
        }
        return;
    }
    uint32_t* field = SlotField(cell, slot);
    if (!field)
        return;
    uint32_t a = *field;
    *field = 0;
    switch (kind) {
    case kCellPlain: {
        PlainRow* row = OptionalRow(rows.plain, cell);
        if (row && row->slot0 == 0 && row->slot1 == 0)
            ReleaseOptionalRow(rows.plain, cell);
        break;
    }
    case kCellFootprint: {
        FootprintRow* row = OptionalRow(rows.footprint, cell);
        if (row && row->building == 0 && row->slot0 == 0 && row->slot1 == 0)
            ReleaseOptionalRow(rows.footprint, cell);
        break;
    }
    case kCellWaterway:
        ReleaseEmptyWaterwayRow(cell);
        break;
    default:
        break;
    }
    if (a != 0 && rows.attachment.Contains(a - 1))
        rows.attachment.Release(a - 1);
}

uint32_t GetRouteSlotValue(const WorldCell& cell, uint32_t i, uint32_t source, uint32_t mask) {
    if (i > 1)
        return 0;
    if (source == 0) {
        const RouteCell* row = RouteRowOf(cell);
        return row ? row->slotValue[i] : 0;
    }
    const AttachmentRow* row = SlotRowFor(cell, source, mask);
    return row ? row->slotValue[i] : 0;
}

void SetRouteSlotValue(WorldCell& cell, uint32_t i, uint32_t value, uint32_t source, uint32_t mask) {
    if (i > 1)
        return;
    if (source == 0) {
        if (RouteCell* row = RouteRowOf(cell))
            row->slotValue[i] = value;
        return;
    }
    if (AttachmentRow* row = SlotRowFor(cell, source, mask))
        row->slotValue[i] = value;
}

void SnapshotRouteRows() {
    for (bool& flag : Rows().heightsInUse)
        flag = false;
    CellRowPool<RouteCell>& pool = Rows().route;
    std::vector<bool> isFree(pool.Size(), false);
    for (uint32_t i = pool.FreeHead(); i < pool.Size() && !isFree[i]; i = pool[i].Link())
        isFree[i] = true;
    for (uint32_t i = 0; i < pool.Size(); ++i) {
        if (isFree[i])
            continue;
        RouteCell& row = pool[i];
        uint32_t trackDirs = (row.bits >> 18) & 15, roadDirs = (row.bits >> 14) & 15;
        uint32_t trackType = (row.bits >> 9) & 31, roadType = (row.bits >> 4) & 31;
        row.saved =
            (row.saved & ~0x3FFFFu) | trackDirs | (roadDirs << 4) | (roadType << 8) | (trackType << 13);
        if (trackType == 0)
            continue;
        for (int d = 0; d < 4; ++d) {
            int32_t h = EdgeHeightAt(row, d);
            if ((trackDirs & (1u << d)) && h >= 0 && h <= 3)
                Rows().heightsInUse[h] = true;
        }
    }
    std::vector<MapObject*> tracks;
    GetMapObjects(tracks, kSelectCategory | kSelectSubtype, kCategoryBuilding, kSpecialTrackSubtype, 0);
    for (MapObject* object : tracks)
        if (auto* track = dynamic_cast<SpecialTrackBase*>(object))
            track->RecomputeDerivedState();
}

bool HeightInUse(uint32_t height) {
    return height < 4 && Rows().heightsInUse[height];
}
