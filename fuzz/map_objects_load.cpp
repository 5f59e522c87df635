// Loads arbitrary bytes as a saved game's object section ("obj"). Whatever
// the bytes, every object sits in the slot its id names, keeps the category
// and subtype of its class, and can be found, listed and deleted.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_errors.h"
#include "world/world_map.h"
#include "world/world_sections.h"

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

void ExerciseObjects() {
    for (int32_t category = 0; category < kObjectCategoryCount; ++category) {
        std::vector<MapObject*> objects;
        GetMapObjects(objects, 0, category, 0, 0);
        for (MapObject* object : objects) {
            Check(object->GetCategory() == category);
            Check(IsKnownObjectKind(category, object->GetSubtype()) || category == 0 || category == 3);
            Check(MapObjectFromId(object->GetId()) == object);
            Check(object->GetId() >> 19 == uint32_t(category));
        }
    }
    MapObject* fresh = CreateMapObject(1, 0);
    Check(fresh && MapObjectFromId(fresh->GetId()) == fresh);
    UpdateBuildingsMonth();
    DeleteAllMapObjects();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    uint32_t version = 0;
    // A header that is refused leaves its stream open: the scope drops it,
    // so that the next input is read at all.
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version))
        return 0;
    if (!GetGameClock())
        CreateGameClock(1);
    ResetWorldState();
    GetWorldMap().SetMapSizeNoReset(64, 64);
    for (int i = 0; i < 8; ++i) {
        uint32_t tag = 0;
        BeginChunk(tag);
        bool done = false;
        if (tag == ChunkTag("obj")) {
            bool ok = LoadMapObjects();
            Check(ok || !LastWorldError().empty());
            done = true;
        }
        EndChunk();
        if (done) {
            ExerciseObjects();
            break;
        }
        if (tag == 0)
            break;
    }
    CloseStream();
    DeleteAllMapObjects();
    return 0;
}
