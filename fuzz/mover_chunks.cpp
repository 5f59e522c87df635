// Loads arbitrary bytes as the own chunk of a mover: the first byte picks a
// field machine ("hvt1"), a farm animal ("wlk1") or a town car ("car1"), the
// rest is the chunk's payload. Whatever the bytes, a loaded machine or car
// either stands on the map with sound directions or is ready to be removed,
// the movers update without fault beside a farm and a road, and they store
// again.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "vehicles/building_walker.h"
#include "vehicles/harvester.h"
#include "vehicles/mover_steps.h"
#include "vehicles/movers.h"
#include "vehicles/private_car.h"
#include "world/building.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
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

// The object's chunks: a plain "gob1" on tile (3, 3), the closing chunk,
// then the fuzzed chunk and its closing chunk.
std::vector<uint8_t> Stream(uint32_t tag, std::span<const uint8_t> payload) {
    std::vector<uint8_t> bytes;
    std::string text = "fuzz";
    uint32_t version = 1;
    SaveStreamScope scope;
    BeginSaveStream(OpenMemoryWriteStream(bytes), text, version);
    uint32_t t = ChunkTag("gob1");
    BeginChunk(t);
    uint8_t base[32] = {};
    plat::StoreLE32(base + 12, 3);
    plat::StoreLE32(base + 16, 3);
    TransferSized(base, sizeof base);
    EndChunk();
    for (uint32_t next : {0u, tag, 0u}) {
        BeginChunk(next);
        if (next != 0)
            TransferInChunk(const_cast<uint8_t*>(payload.data()), uint32_t(payload.size()));
        EndChunk();
    }
    CloseStream();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096)
        return 0;
    if (!GetGameClock())
        CreateGameClock(1);
    ResetWorldState();
    GetWorldMap().SetMapSizeNoReset(32, 32);
    RegisterMoverClasses();
    const uint32_t pick = data[0] % 3;
    const bool machine = pick == 0;
    for (uint32_t x = 1; x < 20; ++x)
        GetWorldMap().PlaceTownRoad(x, 12, x == 1 ? 2 : x == 19 ? 8 : 10);
    auto* farm = dynamic_cast<Building*>(CreateMapObject(kCategoryBuilding, 0));
    Check(farm != nullptr);
    farm->Place(2, 2, 0, 7, 6, 1);
    MapObject* object =
        CreateMapObject(kCategoryMoving, machine ? kHarvesterSubtype : kBuildingWalkerSubtype);
    Check(object != nullptr);
    const std::vector<uint8_t> bytes =
        Stream(machine ? ChunkTag("hvt1") : ChunkTag("wlk1"), std::span(data + 1, size - 1));
    {
        std::string text;
        uint32_t version = 0;
        SaveStreamScope scope;
        if (BeginSaveStream(OpenMemoryReadStream(bytes), text, version)) {
            object->Load();
            CloseStream();
        }
    }
    if (auto* harvester = dynamic_cast<Harvester*>(object); harvester && !harvester->IsReadyToBeRemoved()) {
        MoverPose pose;
        Check(harvester->GetPose(pose));
        Check(GetWorldMap().InMap(uint32_t(pose.x), uint32_t(pose.y)));
        Check(pose.direction == 0 || IsSingleDirection(pose.direction));
    }
    if (auto* car = dynamic_cast<PrivateCar*>(object); car && !car->IsReadyToBeRemoved()) {
        Check(GetWorldMap().InMap(uint32_t(car->GetX()), uint32_t(car->GetY())));
        Check(PrivateCarCount(car->GetTown()) == 1);
    }
    (void)machine;
    RestartBuildingWalkers();
    const ObjectHandle id = object->GetId();
    for (uint32_t t = 0; t < 40000 && MovingObjectFromId(id); t += 997)
        UpdateMovingObjects(t);
    if (MapObject* still = MovingObjectFromId(id)) {
        std::vector<uint8_t> out;
        std::string text = "again";
        uint32_t version = 1;
        SaveStreamScope scope;
        Check(BeginSaveStream(OpenMemoryWriteStream(out), text, version));
        still->Save();
        Check(CloseStream());
    }
    DeleteAllMapObjects();
    return 0;
}
