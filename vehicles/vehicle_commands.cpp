#include "vehicles/vehicle_commands.h"

#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/vehicle_commands.h"
#include "gameloop/world_hooks.h"
#include "transport/route_command_handlers.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_accessors.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"

namespace {

constexpr int32_t kAccountVehiclePurchase = 0;
constexpr int32_t kAccountVehicleSale = 9;
constexpr int32_t kAccountCompanyPurchase = 6;
// News of a company that gave up and of the company that took its place.
constexpr uint32_t kNewsCompanyGone = 14;
constexpr uint32_t kNewsCompanyNew = 13;
// Slots of the companies that can be bought or replaced.
constexpr uint32_t kCompanySlots = 4;
// One command buys at most this many vehicles.
constexpr int32_t kMaxBuyCount = 64;

// The vehicle counts of a company's statistics go by the vehicle's kind.
void CountVehicle(Player* player, const Vehicle& vehicle, int64_t delta) {
    if (PlayerStatistics* statistics = player ? player->GetStatistics() : nullptr)
        statistics->Book(vehicle.GetVehicleType(), delta);
}

void ExecuteBuy(const BuyVehicleCommand& command) {
    const VehicleRow* row = VehicleTable::Find(int32_t(command.type));
    Player* player = GetPlayer(command.GetPlayerId());
    if (!row || command.type > INT32_MAX || !player) {
        GameLog("%s: vehicle type %u cannot be bought by player %u", command.Name(), command.type,
                command.GetPlayerId());
        return;
    }
    const int32_t count = std::min(command.count, kMaxBuyCount);
    for (int32_t i = 0; i < count; ++i) {
        const int64_t price = GetVehiclePrice(int32_t(command.type), command.GetPlayerId());
        if (!player->CanAfford(price))
            return;
        auto* vehicle = dynamic_cast<Vehicle*>(CreateMapObject(kCategoryMoving, kVehicleSubtype));
        if (!vehicle)
            return;
        vehicle->Init(int32_t(command.type), command.GetPlayerId(), command.setup);
        vehicle->SetBuyValue(command.line);
        player->Pay(-price, kAccountVehiclePurchase, uint32_t(std::max(row->ConnectionType, 0)));
        CountVehicle(player, *vehicle, 1);
    }
}

void ExecuteSell(const SellVehicleCommand& command) {
    Vehicle* vehicle = GetVehicle(command.vehicleId);
    // Only the owner sells a vehicle; a coupled unit goes with its train.
    if (!vehicle || vehicle->GetOwner() != int32_t(command.GetPlayerId()) ||
        vehicle->GetState() == kStateCoupled) {
        GameLog("%s: vehicle %u is not one player %u can sell", command.Name(), command.vehicleId,
                command.GetPlayerId());
        return;
    }
    Player* owner = GetPlayer(uint32_t(vehicle->GetOwner()));
    if (owner) {
        if (command.fullRefund)
            owner->Pay(GetVehiclePrice(vehicle->GetTypeIndex(), command.GetPlayerId()), -1, 0);
        else
            owner->Pay(vehicle->GetCurrentValue(), kAccountVehicleSale, 0);
        CountVehicle(owner, *vehicle, -1);
    }
    vehicle->ReleaseForRemoval();
    DeleteMapObject(vehicle->GetId());
}

void ExecuteSetSchedule(const SetScheduleCommand& command) {
    Vehicle* vehicle = GetVehicle(command.vehicleId);
    if (!vehicle || vehicle->GetOwner() != int32_t(command.GetPlayerId())) {
        GameLog("%s: vehicle %u is not one player %u can schedule", command.Name(), command.vehicleId,
                command.GetPlayerId());
        return;
    }
    VehicleSchedule schedule(false, 0);
    if (!schedule.ReadFlat(command.schedule)) {
        GameLog("%s: the schedule for vehicle %u is damaged", command.Name(), command.vehicleId);
        return;
    }
    // The form names its schedule by id: a listed schedule of another
    // company is not the issuer's to change, and an unknown id is a new one.
    VehicleSchedule* listed = schedule.GetId() >= 0 ? GetSchedule(uint32_t(schedule.GetId())) : nullptr;
    Vehicle* user = listed ? GetVehicle(listed->GetVehicleHandle()) : nullptr;
    if (listed && user && user->GetOwner() != vehicle->GetOwner()) {
        GameLog("%s: schedule %d belongs to another company", command.Name(), schedule.GetId());
        return;
    }
    const auto block = schedule.GetSettingsBlock();
    for (uint32_t i = 0; i < VehicleSchedule::kSettingsVehicles; ++i) {
        Vehicle* unit = GetVehicle(block[i]);
        if (unit && unit != vehicle && unit->GetOwner() == vehicle->GetOwner() &&
            unit->GetState() == kStateIdle)
            unit->SetState(kStateHeld);
    }
    if (!listed) {
        schedule.SetId(-1);
        schedule.SetVehicle(vehicle->GetId());
        vehicle->SetSchedule(&schedule);
        if (VehicleSchedule* own = vehicle->GetSchedule()) {
            own->SetCreated(CurrentGameTimeMs());
            own->RebuildRoutes(vehicle->GetId());
        }
    } else {
        ApplyScheduleCopy(schedule);
        listed->RebuildRoutes(vehicle->GetId());
        vehicle->SetSchedule(listed);
    }
    // A running train takes the consist its new schedule names at once; one
    // still to be placed is made up when it is placed.
    if (vehicle->GetSchedule() && vehicle->GetConnectionType() == int32_t(kModeTrack) &&
        vehicle->GetState() != kStateWaitsPlacing)
        vehicle->RebuildConsistFromSchedule();
}

void ExecuteDeleteSchedule(const DeleteScheduleCommand& command) {
    VehicleSchedule* schedule = GetSchedule(command.schedule);
    if (!schedule)
        return;
    for (Vehicle* vehicle : AllVehicles())
        if (vehicle->GetOwner() == int32_t(command.GetPlayerId()))
            vehicle->RemoveFromSchedule(int32_t(command.schedule));
    // Other companies' vehicles may still run it: only an unused schedule goes.
    for (Vehicle* vehicle : AllVehicles()) {
        if (vehicle->GetSchedule() == schedule) {
            GameLog("%s: schedule %u is still run by vehicle %u of another company", command.Name(),
                    command.schedule, vehicle->GetId());
            return;
        }
    }
    DeleteSchedule(command.schedule);
}

std::vector<MapObject*> ObjectsOf(int32_t category, uint32_t owner) {
    std::vector<MapObject*> out;
    GetMapObjects(out, kSelectCategory | kSelectOwner, category, 0, int32_t(owner));
    return out;
}

void RelinkStations() {
    LinkFactoriesToStations();
    LinkStorageHallsToStations();
    RefreshStations();
}

void ExecuteBuyPlayer(Game&, const BuyPlayerCommand& command) {
    Player* buyer = GetPlayer(command.buyer);
    Player* bought = GetPlayer(command.bought);
    // Only a company buys for itself, and only another company.
    if (command.buyer != command.GetPlayerId() || command.buyer >= kCompanySlots ||
        command.bought >= kCompanySlots || command.buyer == command.bought || !buyer || !bought) {
        GameLog("%s: player %u cannot buy company %u for company %u", command.Name(), command.GetPlayerId(),
                command.bought, command.buyer);
        return;
    }
    int64_t price = 0;
    const CompanyPurchaseTest test = GetCompanyPurchaseTest();
    if (!test || !test(command.buyer, command.bought, price)) {
        GameLog("%s: company %u may not buy company %u", command.Name(), command.buyer, command.bought);
        return;
    }
    PlayerStatistics* statistics = buyer->GetStatistics();
    for (MapObject* building : ObjectsOf(kCategoryBuilding, command.bought)) {
        building->SetOwner(int32_t(command.buyer));
        if (statistics && dynamic_cast<Station*>(building))
            statistics->AddToAccount(kStationCounter, 1);
    }
    for (MapObject* span : ObjectsOf(kCategorySpan, command.bought))
        span->SetOwner(int32_t(command.buyer));
    for (MapObject* object : ObjectsOf(kCategoryMoving, command.bought)) {
        object->SetOwner(int32_t(command.buyer));
        if (auto* vehicle = dynamic_cast<Vehicle*>(object))
            CountVehicle(buyer, *vehicle, 1);
    }
    HandOverRouteDirections(command.bought, command.buyer);
    DeletePlayer(command.bought);
    RelinkStations();
    buyer->Pay(-price, kAccountCompanyPurchase, 0);
}

void ExecuteReplacePlayer(Game& game, const GameCommand39& command) {
    auto* company = dynamic_cast<ComputerPlayerBase*>(GetPlayer(command.replaced));
    // Only a computer company gives up; a human company is never wiped.
    if (command.replaced >= kCompanySlots || !company) {
        GameLog("%s: slot %u holds no computer company to replace", command.Name(), command.replaced);
        return;
    }
    const int32_t nameIndex = company->GetNameIndex();
    for (MapObject* object : ObjectsOf(kCategoryMoving, command.replaced)) {
        auto* vehicle = dynamic_cast<Vehicle*>(object);
        if (!vehicle)
            continue;
        const int32_t schedule = vehicle->GetScheduleIndex();
        vehicle->ReleaseForRemoval();
        DeleteMapObject(vehicle->GetId());
        // Other vehicles may share the schedule: it goes once none runs it.
        bool used = false;
        for (Vehicle* other : AllVehicles())
            used = used || other->GetScheduleIndex() == schedule;
        if (schedule >= 0 && !used)
            DeleteSchedule(uint32_t(schedule));
    }
    for (MapObject* building : ObjectsOf(kCategoryBuilding, command.replaced)) {
        if (dynamic_cast<Station*>(building)) {
            // No vehicle may keep a stop at a station that is gone.
            RemoveStopFromVehicles(building->GetId());
            RemoveStation(building->GetId());
        } else {
            DeleteMapObject(building->GetId());
        }
    }
    ReleaseCompanyRoutes(command.replaced);
    game.Hooks().AddNews(kNewsCompanyGone);
    DeletePlayer(command.replaced);
    const uint32_t difficulty =
        GetUiState().MissionDifficulty == 0xFFFFFFFFu ? 0 : GetUiState().MissionDifficulty;
    CreateAIPlayer(nameIndex, difficulty);
    RelinkStations();
    game.Hooks().AddNews(kNewsCompanyNew);
}

} // namespace

void InstallVehicleCommands() {
    VehicleCommandHandlers handlers;
    handlers.buy = ExecuteBuy;
    handlers.sell = ExecuteSell;
    handlers.setSchedule = ExecuteSetSchedule;
    handlers.deleteSchedule = ExecuteDeleteSchedule;
    handlers.buyPlayer = ExecuteBuyPlayer;
    handlers.replacePlayer = ExecuteReplacePlayer;
    SetVehicleCommandHandlers(handlers);
}
