#include "gameloop/vehicle_commands.h"

namespace {

VehicleCommandHandlers gHandlers;
CompanyPurchaseTest gPurchaseTest = nullptr;

} // namespace

void SetVehicleCommandHandlers(const VehicleCommandHandlers& handlers) {
    gHandlers = handlers;
}

void SetCompanyPurchaseTest(CompanyPurchaseTest test) {
    gPurchaseTest = test;
}

CompanyPurchaseTest GetCompanyPurchaseTest() {
    return gPurchaseTest;
}

bool SetScheduleCommand::WritePayload(std::vector<uint8_t>& out) const {
    PayloadIo io(out);
    uint32_t id = vehicleId;
    io.U32(id);
    std::vector<uint8_t> bytes = schedule;
    io.Rest(bytes);
    return out.size() <= kMaxPayloadSize;
}

bool SetScheduleCommand::ReadPayload(const uint8_t* bytes, uint32_t size) {
    if (size < 4)
        return false;
    PayloadIo io(bytes, size);
    io.U32(vehicleId);
    io.Rest(schedule);
    return io.Ok();
}

bool SetScheduleCommand::SetFields(const std::vector<int64_t>& numbers) {
    PayloadIo io(numbers);
    uint32_t id = 0;
    std::vector<uint8_t> record;
    io.U32(id);
    io.Rest(record);
    if (!io.Ok())
        return false;
    vehicleId = id;
    schedule = std::move(record);
    return true;
}

void SetScheduleCommand::Execute(Game&) {
    if (gHandlers.setSchedule)
        gHandlers.setSchedule(*this);
    else
        RefuseUnavailable("schedules");
}

void BuyVehicleCommand::Execute(Game&) {
    if (gHandlers.buy)
        gHandlers.buy(*this);
    else
        RefuseUnavailable("vehicles");
}

void SellVehicleCommand::Execute(Game&) {
    if (gHandlers.sell)
        gHandlers.sell(*this);
    else
        RefuseUnavailable("vehicles");
}

void DeleteScheduleCommand::Execute(Game&) {
    if (gHandlers.deleteSchedule)
        gHandlers.deleteSchedule(*this);
    else
        RefuseUnavailable("schedules");
}

void BuyPlayerCommand::Execute(Game& game) {
    if (gHandlers.buyPlayer)
        gHandlers.buyPlayer(game, *this);
    else
        RefuseUnavailable("companies");
}

void GameCommand39::Execute(Game& game) {
    if (gHandlers.replacePlayer)
        gHandlers.replacePlayer(game, *this);
    else
        RefuseUnavailable("companies");
}
