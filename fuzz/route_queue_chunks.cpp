// Loads arbitrary bytes as the route section of a saved game ("rbl1",
// "rbl2", the marks of "rbl3" and the end chunk). A refused section leaves the construction
// queue as it was; an accepted one holds only steps on the map of a known
// kind, pending counts that match the queued steps, lets the worker run,
// and saves and loads back to the same bytes.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "transport/route_construction.h"
#include "world/game_clock.h"
#include "world/world.h"
#include "world/world_map.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSectionTag = ChunkTag("ROUT");

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
    Check(SerializeRoutePlannerState());
    EndChunk();
    Check(CloseStream());
    return bytes;
}

bool LoadSaved(std::span<const uint8_t> bytes) {
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    Check(BeginSaveStream(OpenMemoryReadStream(bytes), text, version));
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool ok = SerializeRoutePlannerState();
    EndChunk();
    return CloseStream() && ok;
}

// The bytes as the content of a route section.
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
    return LoadSaved(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World world;
    WorldScope worldScope(world);
    CreateGameClock(0);
    WorldMap& map = GetWorldMap();
    map.SetMapSize(16, 16);
    // A way for saved marks to land on.
    map.PlaceTownRoad(3, 4, 10);
    AddConstructionStep(3, 4, 0, 8, 0, 0, 0, true);
    AddConstructionStep(4, 4, 0, 8, 0, 0, 0, false);
    const std::vector<uint8_t> before = Save();

    if (!Load(std::span(data, size))) {
        Check(Save() == before);
        return 0;
    }
    ConstructionQueue& queue = GetConstructionQueue();
    uint64_t queued = 0;
    for (const auto& rows : queue.players) {
        for (const ConstructionRowRecord& record : rows) {
            Check(record.jobs.empty() || record.index <= record.jobs.front().size());
            for (size_t j = 0; j < record.jobs.size(); ++j) {
                for (size_t s = 0; s < record.jobs[j].size(); ++s) {
                    const ConstructionStep& step = record.jobs[j][s];
                    Check(map.InMap(step.x, step.y) && step.kind <= 3);
                    queued += j > 0 || s >= record.index ? 1 : 0;
                }
            }
        }
    }
    uint64_t pending = 0;
    for (const auto& [id, build] : queue.pending)
        pending += build.steps;
    Check(pending == queued);
    const std::vector<uint8_t> saved = Save();
    Check(LoadSaved(saved));
    Check(Save() == saved);
    if (queued <= 4096) {
        for (uint32_t t = 0; t < 8; ++t)
            StepRouteConstruction(t * 100000);
    }
    return 0;
}
