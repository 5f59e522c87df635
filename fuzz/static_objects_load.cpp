// Loads arbitrary bytes as the saved chunks of one of the world's static
// object classes: the first byte chooses the class, the rest is a chunk
// stream holding the object's chunks. Whatever the bytes, the object keeps
// its class's identity, its queries and calendar hooks run, a bridge chain
// walk ends, and the object stores again.
#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/bridge_span.h"
#include "world/game_clock.h"
#include "world/headquarter.h"
#include "world/headquarter_registry.h"
#include "world/living_building.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/product_quantity_map.h"
#include "world/small_static_objects.h"
#include "world/special_building.h"
#include "world/storage_hall.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Kind {
    int32_t category;
    int32_t subtype;
};
constexpr Kind kKinds[] = {{3, 0}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7}, {1, 9}, {1, 10}, {-1, -1}};

void SetUpWorld() {
    if (!GetGameClock())
        CreateGameClock(1);
    ResetWorldState();
    GetWorldMap().SetMapSizeNoReset(32, 32);
    CreatePlayers();
    if (MountainsTable::RowCount() == 0) {
        ValueTable shape;
        shape.Resize(3, 2);
        shape.SetCell(1, 0, 2.0f);
        shape.SetCell(0, 1, 1.0f);
        MountainsTable::SetAreaDescription(0, shape);
        ProductTable::GetOrCreateRow(0);
        ProductTable::GetOrCreateRow(1);
        StoragePlaceTable::GetOrCreateRow(0);
        SpecialBuildingTownTable::GetOrCreateRow(0);
        RouteBuilderTable::GetOrCreateRow(1)->IsBridge = 1;
        RouteBuilderTable::GetOrCreateRow(2)->IsBridge = 2;
    }
}

void Exercise(MapObject& object) {
    std::string text;
    object.GetInfoText(text);
    object.GetDebugText(text);
    object.OnNewMonth();
    object.Update(123456);
    if (auto* span = dynamic_cast<BridgeSpan*>(&object)) {
        Check(span->GetChain().size() <= BridgeSpan::kMaxChainPieces);
        span->GetChainLength();
        int32_t x = 0, y = 0;
        span->FindChainEnd(span->X0(), span->Y0(), 0, x, y);
        span->FindChainEnd(span->X1(), span->Y1(), 1, x, y);
        span->IsChainInUse();
        span->GetChainDemolitionCost();
        ValidateBridgeChains();
        Check(span->GetPrev() == 0 && span->GetNext() == 0);
    } else if (auto* mountain = dynamic_cast<Mountain*>(&object)) {
        mountain->LiesInOpenWater();
        ApplyMou1Templates();
    } else if (auto* hall = dynamic_cast<StorageHall*>(&object)) {
        Check(hall->GetUnitCount() >= 0);
        uint32_t first = 0, rest[2] = {};
        hall->TakeUnit(0, first, rest);
    } else if (auto* hq = dynamic_cast<Headquarter*>(&object)) {
        Check(hq->GetPartCount() <= 4);
        hq->GetGraphic();
    } else if (auto* house = dynamic_cast<LivingBuilding*>(&object)) {
        house->GetGraphic();
        house->GetHousePopulation();
    }
}

void StoreAgain(const std::function<void()>& body) {
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    body();
    Check(CloseStream());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    SetUpWorld();
    const Kind kind = kKinds[data[0] % std::size(kKinds)];
    MapObject* object = nullptr;
    ProductQuantityMap stock;
    if (kind.category >= 0) {
        object = CreateMapObject(kind.category, kind.subtype);
        Check(object != nullptr);
    }
    std::string text;
    uint32_t version = 0;
    {
        SaveStreamScope scope;
        if (BeginSaveStream(OpenMemoryReadStream(std::span(data + 1, size - 1)), text, version)) {
            if (object)
                object->Serialize();
            else
                stock.Serialize();
            CloseStream();
        }
    }
    if (object) {
        Check(object->GetCategory() == kind.category && object->GetSubtype() == kind.subtype);
        Check(MapObjectFromId(object->GetId()) == object);
        Exercise(*object);
        StoreAgain([object] { object->Serialize(); });
    } else {
        stock.StartNewPeriod();
        stock.ClearQuantities();
        StoreAgain([&stock] { stock.Serialize(); });
    }
    ResetWorldState();
    ResetHeadquarters();
    return 0;
}
