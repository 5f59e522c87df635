#include "vehicles/vehicle_commands.h"

#include "data/generated/vehicle_tables.h"
#include "gameloop/game_log.h"
#include "gameloop/vehicle_commands.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"

namespace {

constexpr int32_t kAccountVehiclePurchase = 0;
constexpr int32_t kAccountVehicleSale = 9;
// One command buys at most this many vehicles.
constexpr int32_t kMaxBuyCount = 64;

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
        return;
    }
    ApplyScheduleCopy(schedule);
    listed->RebuildRoutes(vehicle->GetId());
    vehicle->SetSchedule(listed);
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

} // namespace

void InstallVehicleCommands() {
    VehicleCommandHandlers handlers;
    handlers.buy = ExecuteBuy;
    handlers.sell = ExecuteSell;
    handlers.setSchedule = ExecuteSetSchedule;
    handlers.deleteSchedule = ExecuteDeleteSchedule;
    SetVehicleCommandHandlers(handlers);
}
