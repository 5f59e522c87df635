#include "transport/signals.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "gameloop/game.h"
#include "platform/endian.h"
#include "transport/route_planner.h"
#include "transport/transport_log.h"
#include "world/game_clock.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>
#include <deque>

namespace {

constexpr uint32_t kGrowth = 100;
constexpr uint32_t kTagSlots = ChunkTag("sig1");
constexpr uint32_t kTagRecords = ChunkTag("sig2");
constexpr uint32_t kRecordBytes = 28;
// A registry never needs more slots than the largest map has tiles.
constexpr uint32_t kMaxSlots = kMaxMapSize * kMaxMapSize;

// The direction index of a one-direction mask, 4 for anything else.
uint32_t IndexOfMask(uint32_t mask) {
    return std::popcount(mask) == 1 && mask <= 8 ? uint32_t(std::countr_zero(mask)) : 4;
}

uint32_t Opposite(uint32_t d) {
    return (d + 2) & 3;
}

void Decrement(int32_t& counter) {
    if (counter > 0)
        --counter;
}

// One walk's findings.
struct WalkResult {
    std::vector<SignalLink> recorded;
    std::vector<uint32_t> collected;
    uint32_t vehicles = 0;
};

class BlockWalker {
public:
    explicit BlockWalker(SignalRegistry& registry) : registry_(registry), map_(GetWorldMap()) {
        const size_t tiles = size_t(map_.GetWidth()) * map_.GetHeight();
        if (registry_.visited.size() != tiles) {
            registry_.visited.assign(tiles, 0);
            registry_.stamp = 0;
        }
    }

    // The walk from a signal along direction d.
    WalkResult Walk(const Signal& from, uint32_t d, bool collect) {
        WalkResult result;
        lastCounted_ = 0;
        if (!(RouteTileUsable(from.x, from.y, kRouteModeTrack) & DirectionMask(d)))
            return result;
        NextStamp();
        CountVehicles(from.x, from.y, d, collect, result);
        uint32_t nx = 0, ny = 0;
        if (!NextTileAlong(from.x, from.y, d, nx, ny))
            return result;
        std::deque<std::pair<uint32_t, uint32_t>> open; // tile index, direction of travel
        Visit(nx, ny, d, open);
        const uint32_t width = map_.GetWidth();
        while (!open.empty()) {
            const auto [tile, td] = open.front();
            open.pop_front();
            const uint32_t x = tile % width, y = tile / width;
            if ((x == from.x && y == from.y) || !RouteTilePassable(x, y, kRouteModeTrack))
                continue;
            const uint32_t mask = RouteTileUsable(x, y, kRouteModeTrack);
            if (!(mask & OppositeDirectionMask(td)))
                continue;
            if (const Signal* signal = GetSignal(map_.GetRouteSignal(x, y)); signal && signal->preview == 0) {
                CountVehicles(x, y, td, collect, result);
                if (!collect || signal->kind == 0)
                    result.recorded.push_back({signal->id, Opposite(td)});
                if (!collect || signal->kind != 1)
                    continue;
            } else {
                CountVehicles(x, y, td, collect, result);
            }
            for (uint32_t nd = 0; nd < 4; ++nd) {
                if (nd == Opposite(td) || !(mask & DirectionMask(nd)))
                    continue;
                if (RouteStepPenalty(x, y, DirectionMask(td), DirectionMask(nd), kRouteModeTrack) >=
                    kRouteStepForbidden)
                    continue;
                uint32_t tx = 0, ty = 0;
                if (NextTileAlong(x, y, nd, tx, ty))
                    Visit(tx, ty, nd, open);
            }
        }
        return result;
    }

private:
    void NextStamp() {
        if (++registry_.stamp >= (1u << 28)) {
            std::fill(registry_.visited.begin(), registry_.visited.end(), 0u);
            registry_.stamp = 1;
        }
    }

    void Visit(uint32_t x, uint32_t y, uint32_t d, std::deque<std::pair<uint32_t, uint32_t>>& open) {
        const uint32_t tile = y * map_.GetWidth() + x;
        uint32_t& word = registry_.visited[tile];
        if ((word >> 4) != registry_.stamp)
            word = registry_.stamp << 4;
        if (word & (1u << d))
            return;
        word |= 1u << d;
        open.emplace_back(tile, d);
    }

    void CountVehicles(uint32_t x, uint32_t y, uint32_t d, bool collect, WalkResult& result) {
        if (!registry_.railVehiclesOnTile)
            return;
        vehicles_.clear();
        registry_.railVehiclesOnTile(x, y, vehicles_);
        for (const SignalVehicle& v : vehicles_) {
            if (v.id == 0 || v.id == lastCounted_)
                continue;
            if (collect && v.heading != DirectionMask(d))
                continue;
            lastCounted_ = v.id;
            ++result.vehicles;
            if (collect)
                result.collected.push_back(v.id);
        }
    }

    SignalRegistry& registry_;
    const WorldMap& map_;
    std::vector<SignalVehicle> vehicles_;
    uint32_t lastCounted_ = 0;
};

void StoreRecord(const Signal& s, uint8_t (&b)[kRecordBytes]) {
    std::fill(std::begin(b), std::end(b), uint8_t(0));
    plat::StoreLE32(b, s.id);
    plat::StoreLE32(b + 4, s.x);
    plat::StoreLE32(b + 8, s.y);
    b[12] = s.preview;
    plat::StoreLE32(b + 16, uint32_t(s.kind));
    plat::StoreLE32(b + 20, uint32_t(s.committedKind));
    b[24] = s.style;
    b[25] = s.committedStyle;
}

std::unique_ptr<Signal> LoadRecord(const uint8_t (&b)[kRecordBytes]) {
    auto s = std::make_unique<Signal>();
    s->id = plat::LoadLE32(b);
    s->x = plat::LoadLE32(b + 4);
    s->y = plat::LoadLE32(b + 8);
    // A preview does not outlive the game that made it.
    s->preview = 0;
    s->kind = int32_t(plat::LoadLE32(b + 16));
    s->committedKind = int32_t(plat::LoadLE32(b + 20));
    s->style = b[24];
    s->committedStyle = b[25];
    return s;
}

bool SaveSignals() {
    SignalRegistry& registry = WorldSignals();
    bool ok = true;
    const uint32_t tags[] = {kTagSlots, kTagRecords};
    TransferTagList(tags, [&](uint32_t tag) {
        if (tag == kTagSlots) {
            uint32_t slots = uint32_t(registry.slots.size());
            ok = TransferSizedValue(slots) == 8 && ok;
            return;
        }
        for (const auto& signal : registry.slots) {
            if (!signal)
                continue;
            uint8_t b[kRecordBytes];
            StoreRecord(*signal, b);
            ok = TransferSized(b, kRecordBytes) == 4 + kRecordBytes && ok;
        }
    });
    return ok && !StreamFailed();
}

bool LoadSignals() {
    SignalRegistry& registry = WorldSignals();
    // Older games saved an empty section: no signals.
    if (ChunkBytesLeft() == 0) {
        DeleteAllSignals();
        registry.dirty = true;
        return true;
    }
    std::vector<std::unique_ptr<Signal>> slots;
    bool ok = true;
    const uint32_t tags[] = {kTagSlots, kTagRecords};
    TransferTagList(tags, [&](uint32_t tag) {
        if (!ok)
            return;
        if (tag == kTagSlots) {
            uint32_t count = 0;
            if (TransferSizedValue(count) != 8 || count > kMaxSlots) {
                TransportWarning("signals: the slot count of \"sig1\" is damaged or above %u", kMaxSlots);
                ok = false;
                return;
            }
            if (count > slots.size())
                slots.resize(count);
            return;
        }
        if (tag != kTagRecords)
            return;
        const WorldMap& map = GetWorldMap();
        while (ChunkBytesLeft() > 0) {
            uint8_t b[kRecordBytes] = {};
            if (ChunkBytesLeft() < 4 + kRecordBytes || TransferSized(b, kRecordBytes) != 4 + kRecordBytes) {
                TransportWarning("signals: a record of \"sig2\" is cut short");
                ok = false;
                return;
            }
            std::unique_ptr<Signal> signal = LoadRecord(b);
            if (signal->id == 0 || signal->id > slots.size() || slots[signal->id - 1]) {
                TransportWarning("signals: record of signal %u skipped: no free slot of that id", signal->id);
                continue;
            }
            if (!map.InMap(signal->x, signal->y)) {
                TransportWarning("signals: signal %u at (%u, %u) lies off the map; skipped", signal->id,
                                 signal->x, signal->y);
                continue;
            }
            slots[signal->id - 1] = std::move(signal);
        }
    });
    if (!ok || StreamFailed())
        return false;
    registry.slots = std::move(slots);
    registry.dirty = true;
    return true;
}

} // namespace

Signal::Signal(uint32_t aX, uint32_t aY, int32_t aKind)
    : x(aX), y(aY), kind(aKind), committedKind(aKind), style(YearAtLeast1950() ? 1 : 0),
      committedStyle(style) {}

Signal* CreateSignal(uint32_t x, uint32_t y, int32_t kind) {
    std::unique_ptr<Signal> signal(new Signal(x, y, kind));
    SignalRegistry& registry = WorldSignals();
    auto free = std::find(registry.slots.begin(), registry.slots.end(), nullptr);
    if (free == registry.slots.end()) {
        const size_t old = registry.slots.size();
        registry.slots.resize(old + kGrowth);
        free = registry.slots.begin() + std::ptrdiff_t(old);
    }
    signal->id = uint32_t(free - registry.slots.begin()) + 1;
    GetWorldMap().SetRouteSignal(x, y, signal->id);
    registry.dirty = true;
    *free = std::move(signal);
    return free->get();
}

bool Signal::Reserve(uint32_t directionMask) {
    const uint32_t d = IndexOfMask(directionMask);
    if (d > 3)
        return false;
    Direction& dir = directions[d];
    if (dir.blocked != 0 || dir.counter != 0)
        return false;
    dir.blocked = 1;
    if (kind == 0)
        ++dir.counter;
    for (const SignalLink& link : dir.bounding)
        if (Signal* other = GetSignal(link.id))
            other->directions[link.direction & 3].blocked = 1;
    for (const SignalLink& link : dir.counted)
        if (Signal* other = GetSignal(link.id); other && other->kind == 0)
            ++other->directions[link.direction & 3].counter;
    return true;
}

void Signal::Release(uint32_t directionMask) {
    const uint32_t d = IndexOfMask(directionMask);
    if (d > 3)
        return;
    Direction& dir = directions[d];
    dir.blocked = 0;
    if (kind == 0)
        Decrement(dir.counter);
    for (const SignalLink& link : dir.bounding) {
        if (Signal* other = GetSignal(link.id)) {
            Direction& paired = other->directions[link.direction & 3];
            paired.blocked = 0;
            if (other->kind == 0)
                Decrement(paired.counter);
        }
    }
}

void Signal::LeaveBlock(uint32_t directionMask) {
    const uint32_t d = IndexOfMask(directionMask);
    if (d > 3)
        return;
    if (kind == 0)
        Decrement(directions[d].counter);
    for (const SignalLink& link : directions[d].counted)
        if (Signal* other = GetSignal(link.id); other && other->kind == 0)
            Decrement(other->directions[link.direction & 3].counter);
}

void Signal::Commit() {
    preview = 0;
    committedKind = kind;
    committedStyle = style;
    MarkSignalsDirty();
}

SignalRegistry& WorldSignals(World& world) {
    return world.Attached<SignalRegistry>();
}

Signal* GetSignal(uint32_t id) {
    SignalRegistry& registry = WorldSignals();
    return id == 0 || id > registry.slots.size() ? nullptr : registry.slots[id - 1].get();
}

void DeleteSignal(uint32_t id) {
    SignalRegistry& registry = WorldSignals();
    Signal* signal = GetSignal(id);
    if (!signal)
        return;
    // The cell would otherwise name the slot's next signal.
    WorldMap& map = GetWorldMap();
    if (map.GetRouteSignal(signal->x, signal->y) == id)
        map.SetRouteSignal(signal->x, signal->y, 0);
    registry.slots[id - 1].reset();
    registry.dirty = true;
}

void DeleteAllSignals() {
    SignalRegistry& registry = WorldSignals();
    registry.slots.clear();
    registry.slots.shrink_to_fit();
    registry.dirty = true;
}

void ClearSignals() {
    SignalRegistry& registry = WorldSignals();
    std::vector<std::unique_ptr<Signal>>().swap(registry.slots);
}

uint32_t SignalSlotCount() {
    return uint32_t(WorldSignals().slots.size());
}

bool IsSignalBlocked(uint32_t id, uint32_t direction) {
    const Signal* signal = GetSignal(id);
    if (!signal || direction > 3)
        return false;
    return signal->directions[direction].blocked != 0 || signal->directions[direction].counter != 0;
}

void MarkSignalsDirty() {
    WorldSignals().dirty = true;
}

void RefreshSignalsIfDirty() {
    SignalRegistry& registry = WorldSignals();
    if (!registry.dirty)
        return;
    RecomputeSignalBlocks();
    registry.dirty = false;
}

void RecomputeSignalBlocks() {
    SignalRegistry& registry = WorldSignals();
    if (registry.slots.empty())
        return;
    BlockWalker walker(registry);
    // The collecting walks serve twice: for the counted signals, and to
    // hand their vehicles to the signals they met.
    std::vector<std::vector<uint32_t>> collected(registry.slots.size() * 4);
    for (size_t slot = 0; slot < registry.slots.size(); ++slot) {
        Signal* signal = registry.slots[slot].get();
        if (!signal || signal->preview != 0)
            continue;
        for (uint32_t d = 0; d < 4; ++d) {
            Signal::Direction& dir = signal->directions[d];
            dir = Signal::Direction{};
            WalkResult walk = walker.Walk(*signal, d, false);
            dir.bounding = std::move(walk.recorded);
            dir.blocked = walk.vehicles > 0 ? 1 : 0;
            if (signal->kind == 0) {
                WalkResult collecting = walker.Walk(*signal, d, true);
                dir.counted = std::move(collecting.recorded);
                collected[slot * 4 + d] = std::move(collecting.collected);
            }
        }
    }
    for (size_t slot = 0; slot < registry.slots.size(); ++slot) {
        const Signal* signal = registry.slots[slot].get();
        if (!signal || signal->preview != 0 || signal->kind != 0)
            continue;
        for (uint32_t d = 0; d < 4; ++d) {
            const std::vector<uint32_t>& vehicles = collected[slot * 4 + d];
            if (vehicles.empty())
                continue;
            for (const SignalLink& link : signal->directions[d].counted)
                if (Signal* other = GetSignal(link.id))
                    other->directions[link.direction & 3].vehicles.insert(vehicles.begin(), vehicles.end());
        }
    }
    for (const auto& signal : registry.slots) {
        if (!signal || signal->preview != 0 || signal->kind != 0)
            continue;
        for (Signal::Direction& dir : signal->directions) {
            dir.counter = int32_t(dir.vehicles.size());
            dir.vehicles.clear();
        }
    }
}

bool YearAtLeast1950() {
    const World& world = CurrentWorld();
    return world.clock && world.clock->GetCurrentYear() >= 1950;
}

bool SerializeSignals() {
    return StreamMode() == kStreamLoad ? LoadSignals() : SaveSignals();
}

void InstallSignals(Game& game) {
    WorldServices& services = Services();
    services.deleteSignal = [](uint32_t id) { DeleteSignal(id); };
    services.markSignalBlocksDirty = [] { MarkSignalsDirty(); };
    game.SetSectionSerializer(SaveSection::Signals, [] { return SerializeSignals(); });
}
