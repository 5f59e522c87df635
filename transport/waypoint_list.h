// The route a vehicle follows and the answer of every route search: map
// tiles such that consecutive waypoints lie on one row, column or 45-degree
// diagonal, each with a 32-bit value and a direction byte for its users.
// Saved as one buffer image: header (byte size, count, capacity) and
// 16-byte entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct Waypoint {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t value = 0;
    // The direction mask of the segment to the next waypoint; 0 = not computed.
    uint8_t direction = 0;
};

// 2 when x1 > x0, 8 when x1 < x0, with 4 when y1 > y0 and 1 when y1 < y0.
uint8_t DirectionBetween(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1);

class WaypointList {
public:
    static constexpr uint32_t kGrowth = 5;
    static constexpr uint32_t kHeaderBytes = 12;
    static constexpr uint32_t kEntryBytes = 16;

    explicit WaypointList(uint32_t capacity = kGrowth);
    // A list from a buffer image; none when the image is inconsistent (byte
    // size, capacity and count must agree with each other and the image).
    static std::optional<WaypointList> FromImage(std::span<const uint8_t> image);

    uint32_t Count() const { return count_; }
    uint32_t Capacity() const { return uint32_t(entries_.size()); }
    // 12 + 16 x capacity.
    uint32_t ByteSize() const { return kHeaderBytes + kEntryBytes * Capacity(); }

    void Add(uint32_t x, uint32_t y);
    // Stores (x, y) at index + 1, moving the later entries up.
    void InsertAfter(uint32_t index, uint32_t x, uint32_t y);
    // Indexes at or past the count read a zero entry and write nothing.
    const Waypoint& Get(uint32_t index) const;
    void Set(uint32_t index, uint32_t x, uint32_t y);
    uint32_t GetValue(uint32_t index) const { return Get(index).value; }
    void SetValue(uint32_t index, uint32_t value);
    uint8_t GetDirection(uint32_t index) const { return Get(index).direction; }
    void SetDirection(uint32_t index, uint8_t direction);

    void Clear() { count_ = 0; }
    // Drops up to n entries from the end.
    void DropLast(uint32_t n);
    void RemoveAt(uint32_t index);
    void ClearDirections();
    // Fills every direction byte that is 0, but the last entry's.
    void ComputeDirections();
    // Removes every entry equal in x and y to its predecessor.
    void RemoveDuplicates();

    // The 1-based position of the tile: i + 1 for waypoint i, i for a tile
    // strictly inside the straight segment from waypoint i - 1 to i; 0 when
    // the tile is not on the route (tiles inside diagonal segments are not
    // found).
    uint32_t FindTile(uint32_t x, uint32_t y) const;
    // From the entry at FindTile's position on, the first waypoint that holds
    // a route node (hasNode): its index, or its index + 1 when it is the tile
    // itself; else 1 when the first entry is the tile and holds a node, else 0.
    template <typename HasNode>
    uint32_t FindNextNode(uint32_t x, uint32_t y, HasNode&& hasNode) const {
        for (uint32_t i = FindTile(x, y); i < count_; ++i) {
            const Waypoint& w = entries_[i];
            if (hasNode(w.x, w.y))
                return w.x == x && w.y == y ? i + 1 : i;
        }
        return count_ > 0 && Is(0, x, y) && hasNode(x, y) ? 1 : 0;
    }
    // The arrival and leaving directions at the tile, searching from the
    // start index down to 1; a reversal at a waypoint gives the arrival twice.
    void GetDirectionsAt(uint32_t x, uint32_t y, uint32_t startIndex, uint8_t& arrival,
                         uint8_t& leaving) const;

    // Appends the other list's entries with their values and directions.
    void Append(const WaypointList& other);
    // Appends the other list's tiles from its last to its first.
    void AppendReversed(const WaypointList& other);
    // Reverses the entries; the capacity becomes the count.
    void Reverse();

    // Calls visit(x, y, previousMask, mask, segment) for every tile of the
    // route: each waypoint and the tiles after it up to the next, then the
    // last waypoint with mask 0.
    template <typename Visit>
    void VisitTiles(Visit&& visit) const {
        if (count_ == 0)
            return;
        uint8_t previous = 0;
        for (uint32_t i = 0; i + 1 < count_; ++i) {
            const Waypoint& a = entries_[i];
            const Waypoint& b = entries_[i + 1];
            const uint8_t mask = DirectionBetween(a.x, a.y, b.x, b.y);
            uint32_t x = a.x;
            uint32_t y = a.y;
            // Each axis stops at the next waypoint, so a segment off the
            // row, column and diagonal still ends there.
            while (x != b.x || y != b.y) {
                visit(x, y, previous, mask, i);
                x = x < b.x ? x + 1 : x > b.x ? x - 1 : x;
                y = y < b.y ? y + 1 : y > b.y ? y - 1 : y;
            }
            previous = mask;
        }
        const Waypoint& last = entries_[count_ - 1];
        visit(last.x, last.y, previous, uint8_t(0), count_ - 1);
    }

    // The buffer image: header and every entry of the capacity, unused
    // entries and pad bytes zero.
    std::vector<uint8_t> Image() const;

    // Saves or loads the list on the current chunk stream: a "rut1" chunk
    // (a sized field holding the byte size N, then a sized field of the N
    // bytes of the image) and the end chunk. A damaged "rut1" leaves the
    // list as it was, logs why and answers false.
    bool Transfer();

private:
    bool Is(uint32_t index, uint32_t x, uint32_t y) const {
        return entries_[index].x == x && entries_[index].y == y;
    }
    bool TransferImage();
    void Reserve(uint32_t capacity);
    void MakeRoom();

    std::vector<Waypoint> entries_;
    uint32_t count_ = 0;
};
