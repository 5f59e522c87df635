// Loads arbitrary bytes as a saved game's schedule section ("sch"). Whatever
// the bytes, a load that succeeds leaves schedules whose ids are their
// slots, that answer their lookups and flat form, and that save and load
// again to the same bytes.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "vehicles/schedule_list.h"
#include "world/game_clock.h"
#include "world/world.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

std::vector<uint8_t> SaveSection() {
    std::vector<uint8_t> bytes;
    std::string text = "fuzz";
    uint32_t version = 1;
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryWriteStream(bytes), text, version))
        return {};
    uint32_t tag = ChunkTag("sch");
    BeginChunk(tag);
    Check(SaveSchedules());
    EndChunk();
    Check(CloseStream());
    return bytes;
}

bool LoadSection(std::span<const uint8_t> data) {
    std::string text;
    uint32_t version = 0;
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryReadStream(data), text, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool loaded = tag == ChunkTag("sch") && LoadSchedules();
    EndChunk();
    CloseStream();
    return loaded;
}

void Exercise() {
    for (uint32_t i = 0; i < GetScheduleCount(); ++i) {
        VehicleSchedule* s = GetSchedule(i);
        if (!s)
            continue;
        Check(s->GetId() == int32_t(i));
        Check(s->GetMode() < 4);
        const uint32_t stations = s->GetStationStopCount();
        for (uint32_t n = 0; n <= stations; ++n) {
            s->GetProductCount(n);
            s->GetProduct(n, 3);
            s->GetStationOfStop(n);
        }
        std::vector<uint8_t> flat;
        if (s->GetName().size() <= 1024 && s->WriteFlat(flat, 1u << 20)) {
            VehicleSchedule copy(false, 0);
            Check(copy.ReadFlat(flat));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World world;
    WorldScope scope(world);
    CreateGameClock(1);
    if (!LoadSection(std::span(data, size)))
        return 0;
    Exercise();
    const std::vector<uint8_t> first = SaveSection();
    DeleteAllSchedules();
    Check(LoadSection(first));
    Check(SaveSection() == first);
    DeleteAllSchedules();
    return 0;
}
