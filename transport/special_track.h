// Switches and crossings: prefabricated track pieces over a small rectangle
// of tiles, shaped by a SpecialTracks row and turned by 0-3 quarter turns.
// While a piece stands its tiles are building cells of the piece, which
// answers the track questions there; it keeps what the track layer held
// under it (signals included) and puts that back when it is removed. The
// kept grid is saved in an extra chunk ("spt3") so that a loaded game can
// still restore the track; a file without it restores nothing.
#pragma once

#include "world/special_track.h"

#include <cstdint>
#include <map>

class WaypointList;

// A piece's footprint is never larger than this many tiles a side.
inline constexpr uint32_t kSpecialTrackMaxSide = 6;
// Path point indexes are 8-bit with 255 meaning none.
inline constexpr uint32_t kSpecialTrackMaxPathPoints = 254;

// The area code of a footprint cell of a piece type turned by rotation: 0
// not covered, 1 a switch cell, 2 a track cell; -1 outside the table.
int32_t SpecialTrackAreaCode(int32_t lx, int32_t ly, int32_t type, int32_t rotation);
// The direction mask of a footprint cell of a turned piece, 0 none.
uint32_t SpecialTrackDirections(int32_t lx, int32_t ly, int32_t type, int32_t rotation);
// The footprint of a type turned by rotation; false when the type has no
// row, an empty area table, a side over kSpecialTrackMaxSide, or more path
// points than kSpecialTrackMaxPathPoints (such data is refused).
bool SpecialTrackFootprint(int32_t type, int32_t rotation, uint32_t& width, uint32_t& height);

class SpecialTrack final : public SpecialTrackBase {
public:
    struct CellEntry {
        uint32_t slot[2] = {0, 0};
        uint16_t nodeId = 0;
        uint8_t pathIndex = 255;
    };

    SpecialTrack() = default;

    // Stores the fields, captures the track layer under the footprint and
    // makes the covered tiles building cells of the piece. False, placing
    // nothing, for a shape SpecialTrackFootprint refuses, a rotation over 3
    // or a footprint leaving the map.
    bool PlacePiece(int32_t x, int32_t y, uint8_t rotation, uint8_t type, uint32_t routeType);
    // Gives the tiles back and rewrites the captured track layer and
    // signals; the object itself stays for the caller to delete.
    void RestoreCaptured();

    int32_t GetType() const override { return type_; }
    int32_t GetRouteType() const override { return int32_t(state_ >> 9); }
    void SetRouteType(uint32_t routeType) { state_ = (state_ & 0x1FF) | (routeType << 9); }
    uint8_t GetRotation() const { return rotation_; }
    int32_t GetCount() const { return int8_t(state_ & 0xFF); }
    void DecrementCount();
    // On: the number of path points; off: 0.
    void SetCount(bool on);
    bool GetPositionFlag() const { return (state_ & 0x100) != 0; }
    void SetPositionFlag(bool on) { state_ = on ? state_ | 0x100 : state_ & ~0x100u; }
    bool IsSwitch() const;
    uint32_t GetStateWord() const { return state_; }
    int32_t GetSwitchWord() const { return switchWord_; }

    uint32_t GetNodeId(int32_t x, int32_t y) const override;
    void SetNodeId(int32_t x, int32_t y, uint32_t value) override;
    uint32_t GetCellSlot(int32_t x, int32_t y, uint32_t i, uint32_t mask) const override;
    void SetCellSlot(int32_t x, int32_t y, uint32_t i, uint32_t value, uint32_t mask) override;
    int32_t GetPathIndexAt(int32_t x, int32_t y) const;
    bool CoversTile(int32_t x, int32_t y) const;
    bool IsSwitchTile(int32_t x, int32_t y) const;
    // The turned direction mask of a tile, 0 outside.
    uint32_t GetDirectionsAt(int32_t x, int32_t y) const;
    uint32_t GetUsableDirections(int32_t x, int32_t y) const;
    // The track layer word captured under a tile (0 outside or none).
    uint32_t CapturedWord(int32_t x, int32_t y) const;
    const std::map<uint32_t, CellEntry>& Entries() const { return entries_; }

    void Serialize() override;
    void GetInfoText(std::string& out) const override;

private:
    // The local cell of a tile, false outside the footprint.
    bool Local(int32_t x, int32_t y, uint32_t& lx, uint32_t& ly) const;
    const CellEntry* EntryAt(int32_t x, int32_t y) const;
    // The local cell of a point of the type's path table.
    bool TableToLocal(int32_t a, int32_t b, int32_t& lx, int32_t& ly) const;
    void Capture();
    void SerializePieceChunks();

    uint8_t type_ = 0;
    uint8_t rotation_ = 0;
    uint32_t state_ = 1u << 9;
    int32_t switchWord_ = -1;
    std::map<uint32_t, CellEntry> entries_;
    // The captured track layer per local tile, and the full kind of the
    // signal that stood there.
    uint32_t captured_[kSpecialTrackMaxSide][kSpecialTrackMaxSide] = {};
    int32_t capturedKind_[kSpecialTrackMaxSide][kSpecialTrackMaxSide] = {};
};

// A new piece of the owner at (x, y); null when the shape or place is
// refused (nothing changes then).
SpecialTrack* CreateSpecialTrack(int32_t x, int32_t y, uint8_t rotation, uint8_t type, uint32_t routeType,
                                 int32_t owner);
// Restores what lay under the piece and deletes it.
void RemoveSpecialTrack(SpecialTrack* piece);
// The piece of that rotation and type whose origin is (x, y); with owner >=
// 0 only one of that owner.
SpecialTrack* FindSpecialTrackPiece(int32_t x, int32_t y, uint8_t rotation, uint8_t type, int32_t owner = -1);

// Registers the piece class with the object factory.
void InstallSpecialTracks();
