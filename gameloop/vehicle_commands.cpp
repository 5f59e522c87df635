#include "gameloop/vehicle_commands.h"

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
    RefuseUnavailable("schedules");
}

void BuyVehicleCommand::Execute(Game&) {
    RefuseUnavailable("vehicles");
}

void SellVehicleCommand::Execute(Game&) {
    RefuseUnavailable("vehicles");
}

void DeleteScheduleCommand::Execute(Game&) {
    RefuseUnavailable("schedules");
}

void BuyPlayerCommand::Execute(Game&) {
    RefuseUnavailable("companies");
}

void GameCommand39::Execute(Game&) {
    RefuseUnavailable("companies");
}
