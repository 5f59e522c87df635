// Loads arbitrary bytes as a factory's saved chunks ("fac1" to "fac9" after
// its building chunks) or as the factory events' section ("FSE"): the
// first byte chooses the factory's type, or the events. Whatever the bytes,
// the factory's product ids stay in range, its months, weeks, deliveries,
// texts and events run without fault, and it stores again.
#include "data/generated/tables.h"
#include "economy/factory.h"
#include "economy/factory_events.h"
#include "economy/factory_types.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

ValueTable Table(std::initializer_list<std::initializer_list<float>> rows) {
    ValueTable table;
    uint32_t columns = 0;
    for (const auto& row : rows)
        columns = std::max(columns, uint32_t(row.size()));
    table.Resize(columns, uint32_t(rows.size()));
    uint32_t r = 0;
    for (const auto& row : rows) {
        uint32_t c = 0;
        for (float value : row)
            table.SetCell(c++, r, value);
        ++r;
    }
    return table;
}

// One type of each kind; the first byte picks one (or the events).
constexpr int32_t kTypes[] = {0, 1, 2, 3, 4, 6, 7, 999};

void SetUpWorld() {
    if (!GetGameClock())
        CreateGameClock(1);
    ResetWorldState();
    GetWorldMap().SetMapSizeNoReset(32, 32);
    CreatePlayers();
    RegisterMapObjectClass(kCategoryBuilding, kFactorySubtype,
                           [](int32_t) { return std::make_unique<Factory>(); });
    if (FactoryTable::RowCount() > 0)
        return;
    for (int32_t p : {1, 2, 3, 998, 999}) {
        ProductRow* row = ProductTable::GetOrCreateRow(p);
        row->MinimumInhabitants = 0;
        row->GrowthMonthLength = 3;
    }
    ProductTable::GetOrCreateRow(2)->ResourceNeeded = 1;
    for (int32_t kind = 0; kind < 8; ++kind) {
        const int32_t type = kind == 5 ? 999 : kind;
        FactoryRow* row = FactoryTable::GetOrCreateRow(type);
        row->FactoryTyp = kind == 5 ? 5 : kind;
        row->AcceptProduct = Table({{1}, {998}});
        row->ProduceProduct = kind == 5 ? Table({{998, 0, 10}, {999, 0, 4}}) : Table({{2, 3, 10, 40}});
        row->DifficultyProductionModifier = Table({{1}, {1}, {0.5f}});
        row->BuildingResources = Table({{1, 3}});
        row->SmokePosition = Table({{0, 1, 2, 3, 50}});
        row->SizeMultiplier = Table({{1.5f}, {2}});
    }
    FactoryLayoutRow* layout = FactoryLayoutTable::GetOrCreateRow(0);
    layout->LayoutLeft = Table({{1, 2, -1}});
    layout->LayoutRight = Table({{1, -1}});
    layout->MapSize = Table({{2, 2}, {2, 2}});
    FactoryEventsRow* demand = FactoryEventsTable::GetOrCreateRow(0);
    demand->MaxEventsRatio = 50;
    demand->Probability = 100;
    demand->Modifier = Table({{0.5f, 2}});
    demand->RunTime = Table({{1, 3}});
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

void Exercise(Factory& f) {
    for (int32_t p : f.GetAcceptedProducts())
        Check(p >= 0 && uint32_t(p) < kProductSetSize);
    for (const auto& entry : f.GetOutputs())
        Check(entry.first >= 0 && uint32_t(entry.first) < kProductSetSize);
    Check(f.GetGrowthState() <= 4);
    std::string text;
    f.GetInfoText(text);
    f.GetDebugText(text);
    f.UpdateStationLinkSets();
    for (int32_t level = 0; level < 4; ++level) {
        SetFactoryDifficulty(level);
        for (int32_t p : {-1, 1, 2, 998, 999, 5000}) {
            f.AcceptsProduct(p);
            f.GetDemandFactor(p);
        }
    }
    SetFactoryDifficulty(1);
    for (int32_t i = 0; i < 4; ++i)
        f.ReceiveUnit(1);
    const auto waiting = f.GetPassengersWaiting();
    for (const auto& [id, count] : waiting)
        f.TakePassengers(id, count + 1);
    const auto mail = f.GetMailWaiting();
    for (const auto& [id, count] : mail)
        f.TakeMail(id, count + 1);
    f.OnNewPeriod();
    f.MonthlyUpdate();
    for (uint32_t t = 0; t < 5; ++t)
        f.ProductionTick(t * 100000u);
    f.TakeUnit(2);
    std::vector<int32_t> directions;
    f.CanExpand(directions);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    SetUpWorld();
    ResetFactoryEvents();
    const size_t choice = data[0] % (std::size(kTypes) + 1);
    std::string text;
    uint32_t version = 0;
    if (choice == std::size(kTypes)) {
        // Two factories for the events to name.
        for (int i = 0; i < 2; ++i) {
            auto* f = dynamic_cast<Factory*>(CreateMapObject(kCategoryBuilding, kFactorySubtype));
            Check(f != nullptr);
            f->SetTypeIndex(1);
            f->Place(2 + 4 * i, 2, kFactorySubtype, 2, 2, 1);
            f->Init();
        }
        {
            SaveStreamScope scope;
            if (BeginSaveStream(OpenMemoryReadStream(std::span(data + 1, size - 1)), text, version)) {
                for (int i = 0; i < 16; ++i) {
                    uint32_t tag = 0;
                    BeginChunk(tag);
                    const bool found = tag == ChunkTag("FSE");
                    if (found)
                        SerializeFactoryEvents();
                    EndChunk();
                    if (found || tag == 0)
                        break;
                }
                CloseStream();
            }
        }
        for (const FactoryEventRecord& e : GetFactoryEventState().events)
            Check(e.endMonth <= 11);
        for (int month = 0; month < 30; ++month) {
            GetGameClock()->AddTicks(750);
            UpdateFactoryEvents();
        }
        StoreAgain([] { SerializeFactoryEvents(); });
    } else {
        auto* factory = dynamic_cast<Factory*>(CreateMapObject(kCategoryBuilding, kFactorySubtype));
        Check(factory != nullptr);
        factory->SetTypeIndex(kTypes[choice]);
        {
            SaveStreamScope scope;
            if (BeginSaveStream(OpenMemoryReadStream(std::span(data + 1, size - 1)), text, version)) {
                factory->Serialize();
                CloseStream();
            }
        }
        Check(factory->GetCategory() == kCategoryBuilding && factory->GetSubtype() == kFactorySubtype);
        Exercise(*factory);
        StoreAgain([factory] { factory->Serialize(); });
    }
    ResetFactoryEvents();
    ResetWorldState();
    return 0;
}
