// Loads arbitrary bytes as a saved waypoint list ("rut1" and the end
// chunk). Whatever the bytes, the list keeps count <= capacity, its edits
// and walks stay inside it, and it saves and loads back to the same image.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "transport/waypoint_list.h"

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

std::vector<uint8_t> Save(WaypointList& list) {
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    Check(list.Transfer());
    Check(CloseStream());
    return bytes;
}

bool Load(std::span<const uint8_t> bytes, WaypointList& list) {
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(bytes), text, version))
        return false;
    const bool ok = list.Transfer();
    CloseStream();
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WaypointList list;
    list.Add(1, 2);
    Load(std::span(data, size), list);
    Check(list.Count() <= list.Capacity());
    Check(list.ByteSize() == WaypointList::kHeaderBytes + WaypointList::kEntryBytes * list.Capacity());
    // Walks only short routes: a segment may span four billion tiles.
    bool small = list.Count() < 256;
    for (uint32_t i = 0; i < list.Count() && small; ++i)
        small = list.Get(i).x < 1024 && list.Get(i).y < 1024;
    if (small) {
        list.VisitTiles(
            [&](uint32_t, uint32_t, uint8_t, uint8_t, uint32_t segment) { Check(segment < list.Count()); });
    }
    list.FindTile(3, 4);
    uint8_t arrival = 0;
    uint8_t leaving = 0;
    list.GetDirectionsAt(3, 4, list.Count() + 5, arrival, leaving);
    const std::vector<uint8_t> image = list.Image();
    const std::vector<uint8_t> saved = Save(list);
    WaypointList back;
    Check(Load(saved, back));
    Check(back.Image() == image);
    list.RemoveDuplicates();
    list.DropLast(list.Count() + 1);
    Check(list.Count() == 0);
    return 0;
}
