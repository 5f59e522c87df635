// Loads arbitrary bytes as the signals' section of a saved game ("sig1",
// "sig2" and the end chunk) into a world with a small track network. A
// refused section leaves the signals as they were; an accepted one holds
// only signals on the map with ids that match their slots, its blocks can
// be recomputed and reserved, and it saves and loads back to the same bytes.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "transport/route_planner.h"
#include "transport/signals.h"
#include "world/game_clock.h"
#include "world/world.h"
#include "world/world_map.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSectionTag = ChunkTag("SIGL");

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

std::vector<uint8_t> Save() {
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint32_t tag = kSectionTag;
    BeginChunk(tag);
    Check(SerializeSignals());
    EndChunk();
    Check(CloseStream());
    return bytes;
}

// The bytes as the content of a "SIGL" section.
bool Load(std::span<const uint8_t> section) {
    std::vector<uint8_t> bytes;
    {
        SaveStreamScope scope;
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
        uint32_t tag = kSectionTag;
        BeginChunk(tag);
        std::vector<uint8_t> copy(section.begin(), section.end());
        TransferInChunk(copy.data(), uint32_t(copy.size()));
        EndChunk();
        Check(CloseStream());
    }
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    Check(BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(bytes)), text, version));
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool ok = SerializeSignals();
    EndChunk();
    return CloseStream() && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World world;
    WorldScope worldScope(world);
    CreateGameClock(0);
    WorldMap& map = GetWorldMap();
    map.SetMapSize(16, 16);
    for (uint32_t x = 1; x < 15; ++x) {
        map.SetRouteKind(x, 5, 1);
        map.SetTrackDirections(x, 5, x == 1 ? 2 : x == 14 ? 8 : 10);
    }
    CreateSignal(3, 5, 0);
    const std::vector<uint8_t> before = Save();

    if (!Load(std::span(data, size))) {
        Check(Save() == before);
        return 0;
    }
    Check(SignalSlotCount() <= kMaxMapSize * kMaxMapSize);
    for (uint32_t id = 1; id <= SignalSlotCount(); ++id) {
        if (const Signal* signal = GetSignal(id)) {
            Check(signal->id == id);
            Check(map.InMap(signal->x, signal->y));
            Check(signal->preview == 0);
        }
    }
    if (SignalSlotCount() <= 4096) {
        RefreshSignalsIfDirty();
        for (uint32_t id = 1; id <= SignalSlotCount(); ++id) {
            if (Signal* signal = GetSignal(id)) {
                signal->Reserve(2);
                signal->Release(2);
                signal->LeaveBlock(8);
                for (const auto& direction : signal->directions)
                    Check(direction.counter >= 0);
            }
        }
        const std::vector<uint8_t> saved = Save();
        DeleteAllSignals();
        std::string text;
        uint32_t version = 0;
        SaveStreamScope scope;
        Check(BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(saved)), text, version));
        uint32_t tag = 0;
        BeginChunk(tag);
        Check(SerializeSignals());
        EndChunk();
        Check(CloseStream());
        Check(Save() == saved);
    }
    return 0;
}
