#include "transport/special_track.h"

#include "data/generated/route_tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "transport/signals.h"
#include "transport/transport_log.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint32_t kTagPiece = ChunkTag("spt1");
constexpr uint32_t kTagEntries = ChunkTag("spt2");
constexpr uint32_t kTagCaptured = ChunkTag("spt3");
constexpr uint32_t kTags[] = {kTagPiece, kTagEntries, kTagCaptured};

// Captured word layout.
constexpr uint32_t kRouteTypeShift = 4;
constexpr uint32_t kValueShift = 9;
constexpr uint32_t kSignalBit = 1u << 25;
constexpr uint32_t kSignalKindBit = 1u << 26;

// Reads a table cell as a whole number, -1 outside.
int32_t TableInt(const ValueTable& table, int32_t column, int32_t row) {
    if (column < 0 || row < 0)
        return -1;
    return table.IntCell(uint32_t(column), uint32_t(row));
}

// The (column, row) of the table that a local cell of a turned piece reads.
void TurnedCell(int32_t lx, int32_t ly, int32_t w, int32_t h, int32_t rotation, int32_t& column,
                int32_t& row) {
    switch (rotation & 3) {
    case 0:
        row = ly;
        column = lx;
        break;
    case 1:
        row = h - lx - 1;
        column = ly;
        break;
    case 2:
        row = h - ly - 1;
        column = w - lx - 1;
        break;
    default:
        row = lx;
        column = w - ly - 1;
        break;
    }
}

int32_t TurnedTableValue(const ValueTable& table, int32_t lx, int32_t ly, int32_t rotation) {
    int32_t column = 0, row = 0;
    TurnedCell(lx, ly, int32_t(table.ColumnCount()), int32_t(table.RowCount()), rotation, column, row);
    return TableInt(table, column, row);
}

uint32_t TurnMask(uint32_t mask, uint32_t rotation) {
    uint32_t out = 0;
    for (uint32_t i = 0; i < 4; ++i)
        if (mask & (1u << i))
            out |= 1u << ((i + rotation) % 4);
    return out;
}

} // namespace

int32_t SpecialTrackAreaCode(int32_t lx, int32_t ly, int32_t type, int32_t rotation) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(type);
    return row ? TurnedTableValue(row->AreaDescription, lx, ly, rotation) : -1;
}

uint32_t SpecialTrackDirections(int32_t lx, int32_t ly, int32_t type, int32_t rotation) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(type);
    const int32_t mask = row ? TurnedTableValue(row->Directions, lx, ly, rotation) : -1;
    return mask < 0 ? 0 : TurnMask(uint32_t(mask) & 15, uint32_t(rotation) & 3);
}

bool SpecialTrackFootprint(int32_t type, int32_t rotation, uint32_t& width, uint32_t& height) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(type);
    if (!row || row->AreaDescription.Empty() || rotation < 0 || rotation > 3)
        return false;
    const uint32_t w = row->AreaDescription.ColumnCount(), h = row->AreaDescription.RowCount();
    if (w > kSpecialTrackMaxSide || h > kSpecialTrackMaxSide ||
        row->PathTable.RowCount() > kSpecialTrackMaxPathPoints) {
        TransportWarning("special track %d: a %u x %u footprint with %u path points is beyond the piece's "
                         "limits; refused",
                         type, w, h, row->PathTable.RowCount());
        return false;
    }
    width = rotation % 2 == 0 ? w : h;
    height = rotation % 2 == 0 ? h : w;
    return true;
}

bool SpecialTrack::Local(int32_t x, int32_t y, uint32_t& lx, uint32_t& ly) const {
    const int64_t dx = int64_t(x) - x_, dy = int64_t(y) - y_;
    if (dx < 0 || dy < 0 || dx >= width_ || dy >= height_ || dx >= int64_t(kSpecialTrackMaxSide) ||
        dy >= int64_t(kSpecialTrackMaxSide))
        return false;
    lx = uint32_t(dx);
    ly = uint32_t(dy);
    return true;
}

const SpecialTrack::CellEntry* SpecialTrack::EntryAt(int32_t x, int32_t y) const {
    uint32_t lx = 0, ly = 0;
    if (!Local(x, y, lx, ly))
        return nullptr;
    auto it = entries_.find(ly * uint32_t(width_) + lx);
    return it == entries_.end() ? nullptr : &it->second;
}

bool SpecialTrack::TableToLocal(int32_t a, int32_t b, int32_t& lx, int32_t& ly) const {
    const SpecialTracksRow* row = SpecialTracksTable::Find(type_);
    if (!row)
        return false;
    const int32_t w = int32_t(row->AreaDescription.ColumnCount()),
                  h = int32_t(row->AreaDescription.RowCount());
    switch (rotation_ & 3) {
    case 0:
        lx = a;
        ly = b;
        break;
    case 1:
        lx = h - b - 1;
        ly = a;
        break;
    case 2:
        lx = w - a - 1;
        ly = h - b - 1;
        break;
    default:
        lx = b;
        ly = w - a - 1;
        break;
    }
    return lx >= 0 && ly >= 0 && lx < width_ && ly < height_;
}

void SpecialTrack::Capture() {
    WorldMap& map = GetWorldMap();
    for (uint32_t ly = 0; ly < uint32_t(height_); ++ly) {
        for (uint32_t lx = 0; lx < uint32_t(width_); ++lx) {
            const uint32_t tx = uint32_t(x_) + lx, ty = uint32_t(y_) + ly;
            captured_[ly][lx] = 0;
            capturedKind_[ly][lx] = 0;
            if (map.GetBuildingAt(tx, ty) != 0 || map.GetCellKind(tx, ty) == kCellFootprint)
                continue;
            uint32_t word = map.GetTrackDirections(tx, ty) & 15;
            word |= (map.GetRouteTypeAt(1, tx, ty) & 31) << kRouteTypeShift;
            for (uint32_t d = 0; d < 4; ++d) {
                const int32_t value = map.GetEdgeHeight(tx, ty, 1u << d, true);
                word |= (uint32_t(value) & 15) << (kValueShift + 4 * d);
            }
            if (const Signal* signal = GetSignal(map.GetRouteSignal(tx, ty))) {
                word |= kSignalBit;
                if (signal->kind != 0)
                    word |= kSignalKindBit;
                capturedKind_[ly][lx] = signal->kind;
                // The tile stops being a route cell: its signal goes with it.
                DeleteSignal(signal->id);
            }
            captured_[ly][lx] = word;
        }
    }
}

bool SpecialTrack::PlacePiece(int32_t x, int32_t y, uint8_t rotation, uint8_t type, uint32_t routeType) {
    uint32_t w = 0, h = 0;
    if (!SpecialTrackFootprint(type, rotation, w, h))
        return false;
    WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)) ||
        !map.InMap(uint32_t(x) + w - 1, uint32_t(y) + h - 1))
        return false;
    SetSubtypeForPlace(kSpecialTrackSubtype);
    x_ = x;
    y_ = y;
    width_ = int32_t(w);
    height_ = int32_t(h);
    type_ = type;
    typeIndex_ = type;
    rotation_ = rotation;
    state_ = routeType << 9;
    switchWord_ = -1;
    Capture();

    entries_.clear();
    for (uint32_t ly = 0; ly < h; ++ly) {
        for (uint32_t lx = 0; lx < w; ++lx) {
            const int32_t code = SpecialTrackAreaCode(int32_t(lx), int32_t(ly), type, rotation);
            if (code == 1 || code == 2)
                entries_[ly * w + lx] = CellEntry{};
            const uint32_t tx = uint32_t(x) + lx, ty = uint32_t(y) + ly;
            if (code == 2 || (code == 1 && map.GetBuildingAt(tx, ty) == 0))
                map.PlaceFootprint(tx, ty, id_, 1, 1, 2);
        }
    }
    const ValueTable& path = SpecialTracksTable::Find(type)->PathTable;
    for (uint32_t p = 0; p < path.RowCount(); ++p) {
        int32_t lx = 0, ly = 0;
        if (!TableToLocal(path.IntCell(0, p), path.IntCell(1, p), lx, ly))
            continue;
        auto it = entries_.find(uint32_t(ly) * w + uint32_t(lx));
        if (it != entries_.end())
            it->second.pathIndex = uint8_t(p);
    }
    return true;
}

void SpecialTrack::RestoreCaptured() {
    WorldMap& map = GetWorldMap();
    const uint32_t w = std::min<uint32_t>(uint32_t(std::max(width_, 0)), kSpecialTrackMaxSide);
    const uint32_t h = std::min<uint32_t>(uint32_t(std::max(height_, 0)), kSpecialTrackMaxSide);
    if (x_ < 0 || y_ < 0)
        return;
    for (uint32_t ly = 0; ly < h; ++ly) {
        for (uint32_t lx = 0; lx < w; ++lx) {
            const uint32_t tx = uint32_t(x_) + lx, ty = uint32_t(y_) + ly;
            if (!map.InMap(tx, ty))
                continue;
            if (map.GetBuildingAt(tx, ty) == id_)
                map.ResetCell(tx, ty);
            const uint32_t word = captured_[ly][lx];
            const uint32_t routeType = (word >> kRouteTypeShift) & 31;
            if (routeType == 0)
                continue;
            map.SetRouteKindAndClear(tx, ty, 1);
            map.SetRouteType(1, tx, ty, routeType);
            map.SetTrackDirections(tx, ty, word & 15);
            for (uint32_t d = 0; d < 4; ++d) {
                const int32_t value = int32_t((word >> (kValueShift + 4 * d)) & 15);
                map.SetEdgeHeights(tx, ty, value >= 8 ? value - 16 : value, 1u << d);
            }
            if (word & kSignalBit) {
                const int32_t kind =
                    capturedKind_[ly][lx] != 0 || !(word & kSignalKindBit) ? capturedKind_[ly][lx] : -1;
                if (Signal* signal = CreateSignal(tx, ty, kind))
                    signal->committedKind = kind;
            }
            captured_[ly][lx] = 0;
            capturedKind_[ly][lx] = 0;
        }
    }
    map.MarkTrackNetworkChanged();
}

void SpecialTrack::DecrementCount() {
    if (GetCount() > 0)
        state_ = (state_ & ~0xFFu) | uint32_t(GetCount() - 1);
}

void SpecialTrack::SetCount(bool on) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(type_);
    const uint32_t count = on && row ? row->PathTable.RowCount() & 0xFF : 0;
    state_ = (state_ & ~0xFFu) | count;
}

bool SpecialTrack::IsSwitch() const {
    const SpecialTracksRow* row = SpecialTracksTable::Find(type_);
    return row && row->IsSwitch;
}

uint32_t SpecialTrack::GetNodeId(int32_t x, int32_t y) const {
    if (!IsSwitch() || (GetPositionFlag() && switchWord_ == -1))
        return 0;
    const CellEntry* entry = EntryAt(x, y);
    return entry ? entry->nodeId : 0;
}

void SpecialTrack::SetNodeId(int32_t x, int32_t y, uint32_t value) {
    if (!IsSwitch())
        return;
    if (CellEntry* entry = const_cast<CellEntry*>(EntryAt(x, y)))
        entry->nodeId = uint16_t(value);
}

uint32_t SpecialTrack::GetCellSlot(int32_t x, int32_t y, uint32_t i, uint32_t) const {
    const CellEntry* entry = EntryAt(x, y);
    return entry && i < 2 ? entry->slot[i] : 0;
}

void SpecialTrack::SetCellSlot(int32_t x, int32_t y, uint32_t i, uint32_t value, uint32_t) {
    CellEntry* entry = const_cast<CellEntry*>(EntryAt(x, y));
    if (entry && i < 2)
        entry->slot[i] = value;
}

int32_t SpecialTrack::GetPathIndexAt(int32_t x, int32_t y) const {
    const CellEntry* entry = EntryAt(x, y);
    return entry ? entry->pathIndex : -1;
}

bool SpecialTrack::CoversTile(int32_t x, int32_t y) const {
    uint32_t lx = 0, ly = 0;
    return Local(x, y, lx, ly) && SpecialTrackAreaCode(int32_t(lx), int32_t(ly), type_, rotation_) == 2;
}

bool SpecialTrack::IsSwitchTile(int32_t x, int32_t y) const {
    uint32_t lx = 0, ly = 0;
    return IsSwitch() && Local(x, y, lx, ly) &&
           SpecialTrackAreaCode(int32_t(lx), int32_t(ly), type_, rotation_) == 1;
}

uint32_t SpecialTrack::GetDirectionsAt(int32_t x, int32_t y) const {
    uint32_t lx = 0, ly = 0;
    return Local(x, y, lx, ly) ? SpecialTrackDirections(int32_t(lx), int32_t(ly), type_, rotation_) : 0;
}

uint32_t SpecialTrack::GetUsableDirections(int32_t x, int32_t y) const {
    if (IsSwitch())
        return GetDirectionsAt(x, y);
    return (1u << ((rotation_ + 1) % 4)) + (1u << rotation_);
}

uint32_t SpecialTrack::CapturedWord(int32_t x, int32_t y) const {
    uint32_t lx = 0, ly = 0;
    return Local(x, y, lx, ly) ? captured_[ly][lx] : 0;
}

void SpecialTrack::Serialize() {
    Building::Serialize();
    if (StreamFailed())
        return;
    SerializePieceChunks();
    // The piece's type is the one its own chunk gives.
    if (StreamMode() == kStreamLoad)
        typeIndex_ = type_;
}

void SpecialTrack::SerializePieceChunks() {
    TransferTagList(kTags, [this](uint32_t tag) {
        const bool loading = StreamMode() == kStreamLoad;
        if (tag == kTagPiece) {
            uint8_t bytes[12] = {type_, rotation_, 0, 0};
            plat::StoreLE32(bytes + 4, state_);
            plat::StoreLE32(bytes + 8, uint32_t(switchWord_));
            if (TransferSized(bytes, sizeof bytes) < 4 + sizeof bytes || !loading)
                return;
            type_ = bytes[0];
            rotation_ = bytes[1] & 3;
            state_ = plat::LoadLE32(bytes + 4);
            switchWord_ = int32_t(plat::LoadLE32(bytes + 8));
            if (bytes[1] > 3)
                TransportWarning("special track %u: rotation %u read as %u", id_, bytes[1], rotation_);
        } else if (tag == kTagEntries) {
            uint32_t count = uint32_t(entries_.size());
            if (Transfer(count) < 4)
                return;
            if (!loading) {
                for (auto& [index, entry] : entries_) {
                    uint32_t key = index;
                    TransferSizedValue(key);
                    uint8_t bytes[12] = {};
                    plat::StoreLE32(bytes, entry.slot[0]);
                    plat::StoreLE32(bytes + 4, entry.slot[1]);
                    plat::StoreLE16(bytes + 8, entry.nodeId);
                    bytes[10] = entry.pathIndex;
                    TransferSized(bytes, sizeof bytes);
                }
                return;
            }
            entries_.clear();
            // Each entry takes 24 bytes: two lengths, the index and 12 bytes.
            if (uint64_t(count) * 24 > ChunkBytesLeft()) {
                TransportWarning("special track %u: \"spt2\" announces %u entries in %u bytes", id_, count,
                                 ChunkBytesLeft());
                count = ChunkBytesLeft() / 24;
            }
            const uint32_t cells = kSpecialTrackMaxSide * kSpecialTrackMaxSide;
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t key = 0;
                uint8_t bytes[12] = {};
                if (TransferSizedValue(key) < 8 || TransferSized(bytes, sizeof bytes) < 4 + sizeof bytes)
                    break;
                if (key >= cells) {
                    TransportWarning("special track %u: entry index %u dropped", id_, key);
                    continue;
                }
                CellEntry& entry = entries_[key];
                entry.slot[0] = plat::LoadLE32(bytes);
                entry.slot[1] = plat::LoadLE32(bytes + 4);
                entry.nodeId = plat::LoadLE16(bytes + 8);
                entry.pathIndex = bytes[10];
            }
        } else if (tag == kTagCaptured) {
            // The captured grid: side length, then per cell the word and the
            // signal's full kind.
            uint32_t side = kSpecialTrackMaxSide;
            if (Transfer(side) < 4)
                return;
            if (loading && (side != kSpecialTrackMaxSide ||
                            ChunkBytesLeft() < kSpecialTrackMaxSide * kSpecialTrackMaxSide * 8)) {
                TransportWarning("special track %u: \"spt3\" is damaged; the track under it is not kept",
                                 id_);
                return;
            }
            for (uint32_t ly = 0; ly < kSpecialTrackMaxSide; ++ly) {
                for (uint32_t lx = 0; lx < kSpecialTrackMaxSide; ++lx) {
                    Transfer(captured_[ly][lx]);
                    Transfer(capturedKind_[ly][lx]);
                }
            }
        }
    });
}

void SpecialTrack::GetInfoText(std::string& out) const {
    char line[128];
    std::snprintf(line, sizeof line, "TrackID: %d\n", int32_t(type_));
    out += line;
    for (const auto& [index, entry] : entries_) {
        std::snprintf(line, sizeof line, "Index: %d slot0: %d slot1: %d\n", int32_t(index),
                      int32_t(entry.slot[0]), int32_t(entry.slot[1]));
        out += line;
    }
    for (int32_t ly = 0; ly < height_ && ly < int32_t(kSpecialTrackMaxSide); ++ly) {
        for (int32_t lx = 0; lx < width_ && lx < int32_t(kSpecialTrackMaxSide); ++lx) {
            const int32_t tx = x_ + lx, ty = y_ + ly;
            if (SpecialTrackAreaCode(lx, ly, type_, rotation_) <= 0) {
                std::snprintf(line, sizeof line, "Index: %s (%d,%d) \n", "No entry at", tx, ty);
            } else {
                std::snprintf(line, sizeof line, "Index: %d (%d,%d) slot0: %d slot1: %d\n", ly * width_ + lx,
                              tx, ty, int32_t(GetCellSlot(tx, ty, 0, 0)), int32_t(GetCellSlot(tx, ty, 1, 0)));
            }
            out += line;
        }
    }
}

SpecialTrack* CreateSpecialTrack(int32_t x, int32_t y, uint8_t rotation, uint8_t type, uint32_t routeType,
                                 int32_t owner) {
    uint32_t w = 0, h = 0;
    const WorldMap& map = GetWorldMap();
    if (!SpecialTrackFootprint(type, rotation, w, h) || x < 0 || y < 0 ||
        !map.InMap(uint32_t(x) + w - 1, uint32_t(y) + h - 1))
        return nullptr;
    auto* piece = dynamic_cast<SpecialTrack*>(CreateMapObject(kCategoryBuilding, kSpecialTrackSubtype));
    if (!piece)
        return nullptr;
    piece->SetOwner(owner);
    if (!piece->PlacePiece(x, y, rotation, type, routeType)) {
        DeleteMapObject(piece->GetId());
        return nullptr;
    }
    return piece;
}

void RemoveSpecialTrack(SpecialTrack* piece) {
    if (!piece)
        return;
    piece->RestoreCaptured();
    DeleteMapObject(piece->GetId());
}

SpecialTrack* FindSpecialTrackPiece(int32_t x, int32_t y, uint8_t rotation, uint8_t type, int32_t owner) {
    for (SpecialTrack* piece : BuildingsOf<SpecialTrack>(kSpecialTrackSubtype)) {
        if (piece->GetX() == x && piece->GetY() == y && piece->GetRotation() == rotation &&
            piece->GetType() == type && (owner < 0 || piece->GetOwner() == owner))
            return piece;
    }
    return nullptr;
}

void InstallSpecialTracks() {
    RegisterMapObjectClass(kCategoryBuilding, kSpecialTrackSubtype,
                           [](int32_t) { return std::make_unique<SpecialTrack>(); });
}
