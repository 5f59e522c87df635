#include "gameloop/building_commands.h"

#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "gameloop/game_log.h"
#include "world/catchment_parties.h"
#include "world/headquarter.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/small_static_objects.h"
#include "world/world_map.h"

namespace {

// Footprints beyond this many tiles a side come from damaged data.
constexpr uint32_t kMaxFactorySide = 32;
// The side of the square of a size step without a FactoryLayout row.
constexpr uint32_t kFallbackSide = 2;
// The headquarters' square footprint.
constexpr uint32_t kHeadquarterSide = 3;
// The account and detail that buildings of a company are booked in.
constexpr int32_t kAccountBuildings = 5;
constexpr uint32_t kHeadquarterDetail = 99;
constexpr int32_t kAccountDemolition = 4;

} // namespace

bool BuildFactoryCommand::Footprint(int32_t type, int32_t orientation, int32_t size, uint32_t& width,
                                    uint32_t& height) {
    const FactoryRow* factory = FactoryTable::Find(type);
    if (!factory || size < 0 || size > 2 || orientation < 0 || orientation > 1)
        return false;
    const FactoryLayoutRow* layout = FactoryLayoutTable::Find(factory->SizeIndexStart + size);
    int32_t w = layout ? layout->MapSize.IntCell(0, uint32_t(orientation)) : -1;
    int32_t h = layout ? layout->MapSize.IntCell(1, uint32_t(orientation)) : -1;
    if (w < 1 || h < 1 || uint32_t(w) > kMaxFactorySide || uint32_t(h) > kMaxFactorySide) {
        w = h = int32_t(kFallbackSide + uint32_t(size));
    }
    width = uint32_t(w);
    height = uint32_t(h);
    return true;
}

bool BuildFactoryCommand::CanPlace(const FactoryRequest& request, uint8_t player) {
    uint32_t width = 0, height = 0;
    if (player >= kCompanySlotCount || request.x < 0 || request.y < 0 ||
        !Footprint(request.type, request.orientation, request.size, width, height))
        return false;
    return GetWorldMap().IsAreaBuildable(uint32_t(request.x), uint32_t(request.y), width, height, 0);
}

void BuildFactoryCommand::Execute(Game&) {
    FactoryRequest request{int32_t(x), int32_t(y), int32_t(type), int32_t(layoutVariant),
                           int32_t(layoutOffset)};
    uint32_t width = 0, height = 0;
    if (x > INT32_MAX || y > INT32_MAX || type > INT32_MAX || !CanPlace(request, GetPlayerId()) ||
        !Footprint(request.type, request.orientation, request.size, width, height)) {
        GameLog("BuildFactoryCommand: factory type %u does not fit at (%u, %u)", type, x, y);
        return;
    }
    MapObject* object = CreateMapObject(kCategoryBuilding, kFactorySubtype);
    auto* factory = dynamic_cast<FactoryBase*>(object);
    if (!factory) {
        if (object)
            DeleteMapObject(object->GetId());
        GameLog("BuildFactoryCommand: no factory object can be made");
        return;
    }
    factory->SetTypeIndex(request.type);
    factory->SetOwner(GetPlayerId());
    factory->SetLayout(layoutVariant, FactoryTable::Find(request.type)->SizeIndexStart + request.size);
    if (!factory->Place(request.x, request.y, kFactorySubtype, int32_t(width), int32_t(height), 0)) {
        DeleteMapObject(factory->GetId());
        return;
    }
    factory->FinishSetup();
}

void GameCommand20::Execute(Game&) {
    RefuseUnavailable("buildings");
}

void BuildStorageHallCommand::Execute(Game&) {
    RefuseUnavailable("storage halls");
}

void GameCommand22::Execute(Game&) {
    RefuseUnavailable("water towers");
}

void DemolishWaterTowerCommand::Execute(Game&) {
    auto* tower = x <= 0xFFFF && y <= 0xFFFF
                      ? dynamic_cast<WaterTower*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)))
                      : nullptr;
    Player* player = GetPlayer(GetPlayerId());
    if (!tower || !player) {
        GameLog("DemolishWaterTowerCommand: no water tower at (%u, %u)", x, y);
        return;
    }
    const int64_t cost = tower->IsProvisional() ? 0 : GetWaterTowerDemolitionCost(0);
    if (!player->CanAfford(cost))
        return;
    DeleteMapObject(tower->GetId());
    player->Pay(-cost, kAccountDemolition, 0);
}

void GameCommand33::Execute(Game&) {
    RefuseUnavailable("storage halls");
}

void BuildHeadquarterCommand::Execute(Game&) {
    const uint8_t slot = GetPlayerId();
    Player* player = GetPlayer(slot);
    const WorldMap& map = GetWorldMap();
    if (!player || GetPlayerHeadquarter(slot) || !HeadquarterTable::Find(0) || x > 0xFFFF || y > 0xFFFF ||
        !map.IsAreaBuildable(x, y, kHeadquarterSide, kHeadquarterSide, 0)) {
        GameLog("BuildHeadquarterCommand: player %u may not build headquarters at (%u, %u)", slot, x, y);
        return;
    }
    const int64_t price = GetHeadquarterPrice(0);
    if (!player->CanAfford(price))
        return;
    auto* headquarter = dynamic_cast<Headquarter*>(CreateMapObject(kCategoryBuilding, Headquarter::kSubtype));
    if (!headquarter)
        return;
    if (!headquarter->Place(int32_t(x), int32_t(y), Headquarter::kSubtype, int32_t(kHeadquarterSide),
                            int32_t(kHeadquarterSide), 0)) {
        DeleteMapObject(headquarter->GetId());
        return;
    }
    headquarter->SetOwner(slot);
    player->Pay(-price, kAccountBuildings, kHeadquarterDetail);
}

void UpdateStationCommand::Execute(Game&) {
    const uint8_t slot = GetPlayerId();
    Player* player = GetPlayer(slot);
    Headquarter* headquarter = GetPlayerHeadquarter(slot);
    // Only the parts the building has, each bought once.
    if (!player || !headquarter || upgrade >= Headquarter::kPartCount ||
        !HeadquarterTable::Find(int32_t(upgrade)) || headquarter->HasFlag(upgrade)) {
        GameLog("UpdateStationCommand: player %u may not add part %u to headquarters", slot, upgrade);
        return;
    }
    const int64_t price = GetHeadquarterPrice(int32_t(upgrade));
    if (!player->CanAfford(price))
        return;
    headquarter->AddPart(upgrade);
    player->Pay(-price, kAccountBuildings, kHeadquarterDetail);
}

void GameCommand42::Execute(Game&) {
    const WorldMap& map = GetWorldMap();
    if (x > 0xFFFF || y > 0xFFFF || !map.InMap(x, y)) {
        GameLog("GameCommand42: (%u, %u) is off the map", x, y);
        return;
    }
    if (!map.IsAreaBuildable(x, y, 1, 1, 0)) {
        // A provisional piece standing there becomes final.
        auto* piece = dynamic_cast<TrackEndPiece*>(BuildingFromId(map.GetBuildingAt(x, y)));
        if (!preview && piece && piece->IsProvisional())
            piece->SetProvisional(false);
        else
            GameLog("GameCommand42: no room at (%u, %u)", x, y);
        return;
    }
    auto* piece = dynamic_cast<TrackEndPiece*>(CreateMapObject(kCategoryBuilding, TrackEndPiece::kSubtype));
    if (!piece)
        return;
    if (!piece->Place(int32_t(x), int32_t(y), TrackEndPiece::kSubtype, 1, 1, 0)) {
        DeleteMapObject(piece->GetId());
        return;
    }
    piece->SetOwner(GetPlayerId());
    piece->SetNameFields(variant, second);
    piece->SetProvisional(preview != 0);
}

void GameCommand43::Execute(Game&) {
    auto* piece = x <= 0xFFFF && y <= 0xFFFF
                      ? dynamic_cast<TrackEndPiece*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)))
                      : nullptr;
    if (!piece) {
        GameLog("GameCommand43: no decoration at (%u, %u)", x, y);
        return;
    }
    DeleteMapObject(piece->GetId());
}
