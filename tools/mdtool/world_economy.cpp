#include "tools/mdtool/world_economy.h"

#include "data/generated/tables.h"
#include "world/bridge_span.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/headquarter.h"
#include "world/headquarter_registry.h"
#include "world/living_building.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/random_streams.h"
#include "world/small_static_objects.h"
#include "world/special_building.h"
#include "world/special_events.h"
#include "world/storage_hall.h"
#include "world/world_map.h"

#include <cstdio>
#include <filesystem>

namespace mdtool {
namespace {

// The first route row of a kind in the data (IsBridge 1 bridge, 2 tunnel)
// carrying that layer, or -1.
int32_t FindSpanRoute(int32_t isBridge, int32_t layer) {
    for (int32_t row = 0; row < RouteBuilderTable::RowCount(); ++row) {
        const RouteBuilderRow* record = RouteBuilderTable::Find(row);
        if (record && record->IsBridge == isBridge && record->RouteType == layer)
            return row;
    }
    return -1;
}

// Places a building of the class on the first free square of the size.
template <typename T>
T* PlaceFree(int32_t subtype, uint32_t w, uint32_t h, uint32_t size, uint32_t& cursor) {
    auto* building = dynamic_cast<T*>(CreateMapObject(kCategoryBuilding, subtype));
    if (!building)
        return nullptr;
    WorldMap& map = GetWorldMap();
    for (; cursor < w * h; cursor += 7) {
        const uint32_t x = cursor % w, y = cursor / w;
        if (x + size < w && y + size < h && map.IsAreaBuildable(x, y, size, size, 1) &&
            building->Place(int32_t(x), int32_t(y), subtype, int32_t(size), int32_t(size), 0)) {
            cursor += size * 3;
            return building;
        }
    }
    DeleteMapObject(building->GetId());
    return nullptr;
}

} // namespace

void UseInstallFolderOf(const std::string& databasePath) {
    const std::filesystem::path config = std::filesystem::path(databasePath).parent_path();
    ConfigFolderName() = config.filename().string();
    InstallPath() = config.has_parent_path() ? config.parent_path().string() : std::string(".");
}

void AddEconomyDemo(uint32_t w, uint32_t h, uint32_t seed) {
    DeleteAllPlayers();
    SpecialEvents::EndAll();
    ResetHeadquarters();
    CreatePlayers();
    SeedRuntimeRandom(seed);
    ComputerPlayerBase* rival = CreateAIPlayer(-1, 1);
    Player* human = GetPlayer(0);
    human->Pay(250000, -1, 0);
    human->Pay(-42000, 2, 0);
    human->Pay(18500, 8, 0);
    human->GetStatistics()->Book(5, 18500);
    if (rival) {
        rival->Pay(-9000, 4, 0);
        rival->Pay(12000, 7, 0);
    }

    // A bridge and a tunnel, each along a row of the map's lower half.
    const int32_t bridgeRoute = FindSpanRoute(1, 1), tunnelRoute = FindSpanRoute(2, 1);
    const int32_t spanY = int32_t(h) * 3 / 4;
    if (bridgeRoute >= 0)
        BuildBridge(4, spanY, 12, spanY, bridgeRoute, 0);
    if (tunnelRoute >= 0)
        BuildBridge(4, spanY + 3, 9, spanY + 3, tunnelRoute, 1);

    uint32_t cursor = w * 2 + 2;
    if (StorageHall* hall = PlaceFree<StorageHall>(StorageHall::kSubtype, w, h, 2, cursor)) {
        hall->SetOwner(0);
        hall->SetTypeIndex(0);
        for (uint32_t i = 0; i < 5; ++i)
            hall->AddUnit(int32_t(2 + i % 2), i, 100 + i, 200 + i);
    }
    if (WaterTower* tower = PlaceFree<WaterTower>(WaterTower::kSubtype, w, h, 1, cursor))
        tower->SetOwner(0);
    if (Headquarter* hq = PlaceFree<Headquarter>(Headquarter::kSubtype, w, h, 2, cursor)) {
        hq->SetOwner(uint8_t(0));
        hq->AddPart(1);
    }
    for (uint8_t i = 0; i < 3; ++i) {
        if (LivingBuilding* house = PlaceFree<LivingBuilding>(LivingBuilding::kSubtype, w, h, 1, cursor))
            house->Init(1, uint8_t(i % 2), uint8_t(1 + i), 0);
    }
    if (SpecialBuilding* special = PlaceFree<SpecialBuilding>(SpecialBuilding::kSubtype, w, h, 2, cursor))
        special->Init(1, 0);
    for (uint32_t tries = 0; tries < 200; ++tries, cursor += 11) {
        const int32_t x = int32_t(cursor % w), y = int32_t((cursor / w) % h);
        if (!CanPlaceMountainTemplate(0, x, y))
            continue;
        if (auto* mountain = dynamic_cast<Mountain*>(CreateMapObject(kCategoryBuilding, Mountain::kSubtype)))
            mountain->Place(x, y, 0, 0, 0, 0, true);
        break;
    }
    SpecialEvents::Update();
}

void PrintEconomyInfo() {
    for (uint32_t slot = 0; slot < kPlayerSlotCount; ++slot) {
        const Player* player = GetPlayer(slot);
        if (!player)
            continue;
        std::printf("player %u kind %u money %lld: %s, %s\n", slot, player->GetPlayerKind(),
                    static_cast<long long>(player->GetMoney()), player->GetManagerName().c_str(),
                    player->GetCompanyName().c_str());
    }
    for (uint32_t kind = 0; kind < SpecialEvents::kKindCount; ++kind) {
        if (SpecialEvents::RunningEvent(kind) != -1)
            std::printf("event kind %u: row %d until %u\n", kind, SpecialEvents::RunningEvent(kind),
                        SpecialEvents::EventEndYear(kind));
    }
}

void RunCalendarMonths(uint32_t months) {
    GameClock* clock = GetGameClock();
    if (!clock)
        return;
    for (uint32_t i = 0; i < months; ++i) {
        // Step to the last tick of the month, run the month's hooks as the
        // next tick starts it, then the year's when the year changed.
        clock->AddTicks(uint32_t(749 - clock->GetTicks() % 750));
        const uint32_t year = clock->GetCurrentYear();
        UpdateBuildingsMonth();
        SpecialEvents::Update();
        NotifyPlayersNewMonth();
        clock->Tick();
        if (clock->GetCurrentYear() != year) {
            UpdateBuildingsYear();
            NotifyPlayersNewYear();
        }
    }
}

} // namespace mdtool
