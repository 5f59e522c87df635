#include "transport/waypoint_list.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "transport/transport_log.h"

#include <algorithm>

namespace {

constexpr uint32_t kRouteTag = ChunkTag("rut1");

bool StrictlyBetween(uint32_t v, uint32_t a, uint32_t b) {
    return (a < v && v < b) || (b < v && v < a);
}

// Whether (x, y) lies strictly inside the row or column segment a-b.
bool InsideStraightSegment(const Waypoint& a, const Waypoint& b, uint32_t x, uint32_t y) {
    return (a.x == b.x && x == a.x && StrictlyBetween(y, a.y, b.y)) ||
           (a.y == b.y && y == a.y && StrictlyBetween(x, a.x, b.x));
}

uint8_t ReverseMask(uint8_t mask) {
    return uint8_t(((mask >> 2) | (mask << 2)) & 15);
}

const Waypoint kNoWaypoint{};

} // namespace

uint8_t DirectionBetween(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
    uint8_t mask = 0;
    if (x1 > x0)
        mask |= 2;
    else if (x1 < x0)
        mask |= 8;
    if (y1 > y0)
        mask |= 4;
    else if (y1 < y0)
        mask |= 1;
    return mask;
}

WaypointList::WaypointList(uint32_t capacity) : entries_(capacity) {}

std::optional<WaypointList> WaypointList::FromImage(std::span<const uint8_t> image) {
    if (image.size() < kHeaderBytes || (image.size() - kHeaderBytes) % kEntryBytes != 0 ||
        image.size() > UINT32_MAX)
        return std::nullopt;
    const uint32_t byteSize = plat::LoadLE32(image.data());
    const uint32_t count = plat::LoadLE32(image.data() + 4);
    const uint32_t capacity = plat::LoadLE32(image.data() + 8);
    const uint32_t entries = uint32_t((image.size() - kHeaderBytes) / kEntryBytes);
    if (byteSize != image.size() || capacity != entries || count > capacity)
        return std::nullopt;
    WaypointList list(capacity);
    for (uint32_t i = 0; i < capacity; ++i) {
        const uint8_t* p = image.data() + kHeaderBytes + kEntryBytes * i;
        Waypoint& w = list.entries_[i];
        w.x = plat::LoadLE32(p);
        w.y = plat::LoadLE32(p + 4);
        w.value = plat::LoadLE32(p + 8);
        w.direction = p[12];
    }
    list.count_ = count;
    return list;
}

std::vector<uint8_t> WaypointList::Image() const {
    std::vector<uint8_t> image(ByteSize(), 0);
    plat::StoreLE32(image.data(), ByteSize());
    plat::StoreLE32(image.data() + 4, count_);
    plat::StoreLE32(image.data() + 8, Capacity());
    // Entries past the count are written as zeros: what a list once held
    // there is not part of it.
    for (uint32_t i = 0; i < count_; ++i) {
        uint8_t* p = image.data() + kHeaderBytes + kEntryBytes * i;
        const Waypoint& w = entries_[i];
        plat::StoreLE32(p, w.x);
        plat::StoreLE32(p + 4, w.y);
        plat::StoreLE32(p + 8, w.value);
        p[12] = w.direction;
    }
    return image;
}

void WaypointList::Reserve(uint32_t capacity) {
    if (capacity > Capacity())
        entries_.resize(capacity);
}

void WaypointList::MakeRoom() {
    if (count_ == Capacity())
        Reserve(Capacity() + kGrowth);
}

void WaypointList::Add(uint32_t x, uint32_t y) {
    MakeRoom();
    entries_[count_++] = Waypoint{x, y, 0, 0};
}

void WaypointList::InsertAfter(uint32_t index, uint32_t x, uint32_t y) {
    const uint32_t at = std::min(index + 1, count_);
    MakeRoom();
    std::move_backward(entries_.begin() + at, entries_.begin() + count_, entries_.begin() + count_ + 1);
    entries_[at] = Waypoint{x, y, 0, 0};
    ++count_;
}

const Waypoint& WaypointList::Get(uint32_t index) const {
    return index < count_ ? entries_[index] : kNoWaypoint;
}

void WaypointList::Set(uint32_t index, uint32_t x, uint32_t y) {
    if (index < count_) {
        entries_[index].x = x;
        entries_[index].y = y;
    }
}

void WaypointList::SetValue(uint32_t index, uint32_t value) {
    if (index < count_)
        entries_[index].value = value;
}

void WaypointList::SetDirection(uint32_t index, uint8_t direction) {
    if (index < count_)
        entries_[index].direction = direction;
}

void WaypointList::DropLast(uint32_t n) {
    count_ -= std::min(n, count_);
}

void WaypointList::RemoveAt(uint32_t index) {
    if (index >= count_)
        return;
    std::move(entries_.begin() + index + 1, entries_.begin() + count_, entries_.begin() + index);
    --count_;
    entries_[count_] = Waypoint{};
}

void WaypointList::ClearDirections() {
    for (uint32_t i = 0; i < count_; ++i)
        entries_[i].direction = 0;
}

void WaypointList::ComputeDirections() {
    for (uint32_t i = 0; i + 1 < count_; ++i) {
        Waypoint& w = entries_[i];
        if (w.direction == 0)
            w.direction = DirectionBetween(w.x, w.y, entries_[i + 1].x, entries_[i + 1].y);
    }
}

void WaypointList::RemoveDuplicates() {
    if (count_ < 2)
        return;
    uint32_t kept = 1;
    for (uint32_t i = 1; i < count_; ++i) {
        if (entries_[i].x == entries_[kept - 1].x && entries_[i].y == entries_[kept - 1].y)
            continue;
        entries_[kept++] = entries_[i];
    }
    std::fill(entries_.begin() + kept, entries_.begin() + count_, Waypoint{});
    count_ = kept;
}

uint32_t WaypointList::FindTile(uint32_t x, uint32_t y) const {
    for (uint32_t i = 1; i < count_; ++i) {
        if (Is(i, x, y))
            return i + 1;
        if (InsideStraightSegment(entries_[i - 1], entries_[i], x, y))
            return i;
    }
    return count_ > 0 && Is(0, x, y) ? 1 : 0;
}

void WaypointList::GetDirectionsAt(uint32_t x, uint32_t y, uint32_t startIndex, uint8_t& arrival,
                                   uint8_t& leaving) const {
    if (count_ > 0) {
        for (uint32_t i = std::min(startIndex, count_ - 1); i >= 1; --i) {
            if (Is(i, x, y)) {
                arrival = entries_[i - 1].direction;
                leaving = entries_[i].direction;
                if (leaving == ReverseMask(arrival))
                    leaving = arrival;
                return;
            }
            if (InsideStraightSegment(entries_[i - 1], entries_[i], x, y)) {
                arrival = leaving = entries_[i - 1].direction;
                return;
            }
        }
    }
    arrival = leaving = Get(0).direction;
}

void WaypointList::Append(const WaypointList& other) {
    const uint32_t n = other.count_;
    // A copy first: the other list may be this one.
    std::vector<Waypoint> added(other.entries_.begin(), other.entries_.begin() + n);
    if (uint64_t(count_) + n > Capacity())
        Reserve(count_ + n);
    std::copy(added.begin(), added.end(), entries_.begin() + count_);
    count_ += n;
}

void WaypointList::AppendReversed(const WaypointList& other) {
    std::vector<Waypoint> added(other.entries_.begin(), other.entries_.begin() + other.count_);
    for (auto it = added.rbegin(); it != added.rend(); ++it)
        Add(it->x, it->y);
}

void WaypointList::Reverse() {
    entries_.resize(count_);
    std::reverse(entries_.begin(), entries_.end());
}

bool WaypointList::TransferImage() {
    if (StreamMode() != kStreamLoad) {
        uint32_t size = ByteSize();
        std::vector<uint8_t> image = Image();
        TransferSizedValue(size);
        TransferSized(image.data(), size);
        return !StreamFailed();
    }
    uint32_t sizeLength = 0;
    uint32_t size = 0;
    uint32_t imageLength = 0;
    if (::Transfer(sizeLength) != 4 || sizeLength != 4 || ::Transfer(size) != 4 ||
        ::Transfer(imageLength) != 4) {
        TransportWarning("waypoint list: the route chunk's size fields are damaged");
        return false;
    }
    if (imageLength != size || size > ChunkBytesLeft()) {
        TransportWarning(
            "waypoint list: the route image of %u bytes does not fit its chunk (%u stored, %u left)", size,
            imageLength, ChunkBytesLeft());
        return false;
    }
    std::vector<uint8_t> image(size);
    if (TransferInChunk(image.data(), size) != size) {
        TransportWarning("waypoint list: the route image is cut short");
        return false;
    }
    std::optional<WaypointList> loaded = FromImage(image);
    if (!loaded) {
        TransportWarning("waypoint list: the route image of %u bytes disagrees with its header", size);
        return false;
    }
    *this = std::move(*loaded);
    return true;
}

bool WaypointList::Transfer() {
    static constexpr uint32_t kTags[] = {kRouteTag};
    bool ok = true;
    TransferTagList(kTags, [&](uint32_t tag) {
        if (tag == kRouteTag)
            ok = TransferImage() && ok;
    });
    return ok && !StreamFailed();
}
