#include "gameloop/building_commands.h"

#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "gameloop/game_log.h"
#include "world/catchment.h"
#include "world/catchment_parties.h"
#include "world/headquarter.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/small_static_objects.h"
#include "world/storage_hall.h"
#include "world/world_map.h"

#include <bit>

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
// The square footprint of a storage hall.
constexpr uint32_t kStorageHallSide = 2;
// The detail that water towers are booked under.
constexpr uint32_t kWaterTowerDetail = 99;
// Water towers stand only beside these track route types.
constexpr uint32_t kFirstWaterTrackType = 1;
constexpr uint32_t kLastWaterTrackType = 3;

// Whether a tower may stand at (x, y) for the player: a free tile beside
// straight track of a plain track type, with no junction around it and no
// curve turning into a corner between two straight neighbours.
bool CanPlaceWaterTower(uint32_t x, uint32_t y, Player& player) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y) || !map.IsAreaBuildable(x, y, 1, 1, 0))
        return false;
    bool straight[4] = {};
    bool any = false;
    for (uint32_t d = 0; d < 4; ++d) {
        const uint32_t nx = x + uint32_t(kDirections[d].dx), ny = y + uint32_t(kDirections[d].dy);
        const uint32_t mask = map.GetTrackDirections(nx, ny);
        if (mask == 0)
            continue;
        if (std::popcount(mask & 15u) >= 3)
            return false;
        const uint32_t type = map.GetRouteTypeAt(1, nx, ny);
        straight[d] =
            (mask == 5 || mask == 10) && type >= kFirstWaterTrackType && type <= kLastWaterTrackType;
        any = any || straight[d];
    }
    if (!any)
        return false;
    for (uint32_t d = 0; d < 4; ++d) {
        const uint32_t e = (d + 1) & 3;
        if (!straight[d] || !straight[e])
            continue;
        const uint32_t cx = x + uint32_t(kDirections[d].dx + kDirections[e].dx);
        const uint32_t cy = y + uint32_t(kDirections[d].dy + kDirections[e].dy);
        const uint32_t corner = OppositeDirectionMask(d) | OppositeDirectionMask(e);
        if ((map.GetTrackDirections(cx, cy) & corner) == corner)
            return false;
    }
    return player.CanAfford(GetWaterTowerPrice(0));
}

// Whether a building belongs to a company other than the issuer (a
// neutral building belongs to none).
bool OwnedByAnother(const MapObject& building, uint8_t slot) {
    return building.GetOwner() != int32_t(slot) && building.GetOwner() != kNeutralOwner;
}

// Takes a building out of every station's catchment.
void UnlinkFromStations(ObjectHandle id) {
    for (Building* station : BuildingsOf<Building>(kStationSubtype))
        station->RemoveCatchmentLink(id);
}

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
    MapObject* building = BuildingFromId(buildingId);
    if (!building || building->GetOwner() != int32_t(GetPlayerId())) {
        GameLog("GameCommand20: player %u has no building %u", GetPlayerId(), buildingId);
        return;
    }
    building->SetCatchmentLinkValue(first, second);
}

void BuildStorageHallCommand::Execute(Game&) {
    const uint8_t slot = GetPlayerId();
    Player* player = GetPlayer(slot);
    const WorldMap& map = GetWorldMap();
    if (!player || storageType > INT32_MAX || !StoragePlaceTable::Find(int32_t(storageType)) || x > 0xFFFF ||
        y > 0xFFFF || !map.IsAreaBuildable(x, y, kStorageHallSide, kStorageHallSide, 0)) {
        GameLog("BuildStorageHallCommand: player %u may not build storage type %u at (%u, %u)", slot,
                storageType, x, y);
        return;
    }
    const int64_t price = GetStoragePlacePrice(int32_t(storageType));
    if (!player->CanAfford(price))
        return;
    auto* hall = dynamic_cast<StorageHall*>(CreateMapObject(kCategoryBuilding, StorageHall::kSubtype));
    if (!hall)
        return;
    hall->SetTypeIndex(int32_t(storageType));
    if (!hall->Place(int32_t(x), int32_t(y), StorageHall::kSubtype, int32_t(kStorageHallSide),
                     int32_t(kStorageHallSide), 0)) {
        DeleteMapObject(hall->GetId());
        return;
    }
    hall->SetOwner(slot);
    player->Pay(-price, kAccountBuildings, storageType);
    LinkStorageHallsToStations();
    RefreshStations();
}

void GameCommand22::Execute(Game&) {
    const uint8_t slot = GetPlayerId();
    Player* player = GetPlayer(slot);
    if (!player || x > 0xFFFF || y > 0xFFFF) {
        GameLog("GameCommand22: player %u may not build a water tower at (%u, %u)", slot, x, y);
        return;
    }
    if (!CanPlaceWaterTower(x, y, *player)) {
        // Committing a construction makes its own preview real at the price
        // it was offered for.
        auto* tower = dynamic_cast<WaterTower*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)));
        if (!preview && tower && tower->IsProvisional() && tower->GetOwner() == int32_t(slot)) {
            player->Pay(-int64_t(price), kAccountBuildings, kWaterTowerDetail);
            tower->SetProvisional(false);
        } else {
            GameLog("GameCommand22: no room for a water tower at (%u, %u)", x, y);
        }
        return;
    }
    auto* tower = dynamic_cast<WaterTower*>(CreateMapObject(kCategoryBuilding, WaterTower::kSubtype));
    if (!tower)
        return;
    if (!tower->Place(int32_t(x), int32_t(y), WaterTower::kSubtype, 1, 1, 0)) {
        DeleteMapObject(tower->GetId());
        return;
    }
    tower->SetOwner(slot);
    tower->SetProvisional(preview != 0);
    if (!preview)
        player->Pay(-int64_t(GetWaterTowerPrice(0)), kAccountBuildings, kWaterTowerDetail);
}

void DemolishWaterTowerCommand::Execute(Game&) {
    auto* tower = x <= 0xFFFF && y <= 0xFFFF
                      ? dynamic_cast<WaterTower*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)))
                      : nullptr;
    Player* player = GetPlayer(GetPlayerId());
    if (!tower || !player || OwnedByAnother(*tower, GetPlayerId())) {
        GameLog("DemolishWaterTowerCommand: player %u has no water tower at (%u, %u)", GetPlayerId(), x, y);
        return;
    }
    const int64_t cost = tower->IsProvisional() ? 0 : GetWaterTowerDemolitionCost(0);
    if (!player->CanAfford(cost))
        return;
    DeleteMapObject(tower->GetId());
    player->Pay(-cost, kAccountDemolition, 0);
}

void GameCommand33::Execute(Game&) {
    const uint8_t slot = GetPlayerId();
    auto* hall = x <= 0xFFFF && y <= 0xFFFF
                     ? dynamic_cast<StorageHall*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)))
                     : nullptr;
    Player* player = GetPlayer(slot);
    if (!hall || !player || hall->GetOwner() != int32_t(slot)) {
        GameLog("GameCommand33: player %u has no storage hall at (%u, %u)", slot, x, y);
    } else {
        const StoragePlaceRow* row = StoragePlaceTable::Find(hall->GetTypeIndex());
        const int64_t cost = row ? row->DemolitionCosts : 0;
        UnlinkFromStations(hall->GetId());
        DeleteMapObject(hall->GetId());
        player->Pay(-cost, kAccountDemolition, 0);
    }
    LinkStorageHallsToStations();
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
    if (!piece || OwnedByAnother(*piece, GetPlayerId())) {
        GameLog("GameCommand43: player %u has no decoration at (%u, %u)", GetPlayerId(), x, y);
        return;
    }
    DeleteMapObject(piece->GetId());
}
