// Commands that buy and sell vehicles, set and delete schedules, and buy or
// replace companies.
#pragma once

#include "gameloop/game_command.h"

#include <utility>

// Gives a vehicle a schedule: the vehicle's id, then the schedule in its
// own message form, which the command carries as it came.
class SetScheduleCommand final : public GameCommand {
public:
    SetScheduleCommand() = default;
    SetScheduleCommand(uint32_t aVehicleId, std::vector<uint8_t> aSchedule)
        : vehicleId(aVehicleId), schedule(std::move(aSchedule)) {}

    void Execute(Game& game) override;
    bool WritePayload(std::vector<uint8_t>& out) const override;
    bool ReadPayload(const uint8_t* bytes, uint32_t size) override;
    // The vehicle's id, then the schedule record's bytes.
    bool SetFields(const std::vector<int64_t>& numbers) override;
    uint16_t GetTypeId() const override { return 5; }
    const char* Name() const override { return "SetScheduleCommand"; }

    uint32_t vehicleId = 0;
    std::vector<uint8_t> schedule;
};

// Buys vehicles of a type.
class BuyVehicleCommand final : public FixedPayloadCommand<BuyVehicleCommand, 4, 16> {
public:
    BuyVehicleCommand() = default;
    BuyVehicleCommand(uint32_t aType, uint32_t aLine, int32_t aCount, uint32_t aSetup)
        : type(aType), line(aLine), setup(aSetup), count(aCount) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuyVehicleCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(type);
        io.U32(line);
        io.U32(setup);
        io.I32(count);
    }

    // A row of the vehicle table.
    uint32_t type = 0;
    // Stored in the new vehicles' line field.
    uint32_t line = 0;
    // Handed to the vehicles' set-up.
    uint32_t setup = 0;
    int32_t count = 0;
};

// Sells a vehicle.
class SellVehicleCommand final : public FixedPayloadCommand<SellVehicleCommand, 6, 8> {
public:
    SellVehicleCommand() = default;
    SellVehicleCommand(uint32_t aVehicleId, uint8_t aFullRefund)
        : vehicleId(aVehicleId), fullRefund(aFullRefund) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "SellVehicleCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(vehicleId);
        io.U8(fullRefund);
        io.Pad(3);
    }

    uint32_t vehicleId = 0;
    uint8_t fullRefund = 0;
};

// Deletes a schedule by its index.
class DeleteScheduleCommand final : public FixedPayloadCommand<DeleteScheduleCommand, 29, 4> {
public:
    DeleteScheduleCommand() = default;
    explicit DeleteScheduleCommand(uint32_t aSchedule) : schedule(aSchedule) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "DeleteScheduleCommand"; }
    void Fields(PayloadIo& io) { io.U32(schedule); }

    uint32_t schedule = 0;
};

// One company buys another.
class BuyPlayerCommand final : public FixedPayloadCommand<BuyPlayerCommand, 38, 8> {
public:
    BuyPlayerCommand() = default;
    BuyPlayerCommand(uint32_t aBuyer, uint32_t aBought) : bought(aBought), buyer(aBuyer) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuyPlayerCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(bought);
        io.U32(buyer);
    }

    uint32_t bought = 0;
    uint32_t buyer = 0;
};

// Replaces a computer company.
class GameCommand39 final : public FixedPayloadCommand<GameCommand39, 39, 4> {
public:
    GameCommand39() = default;
    explicit GameCommand39(uint32_t aReplaced) : replaced(aReplaced) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand39"; }
    void Fields(PayloadIo& io) { io.U32(replaced); }

    uint32_t replaced = 0;
};

// The layer that keeps vehicles and schedules carries the commands out;
// until it installs its handlers the commands are refused.
struct VehicleCommandHandlers {
    void (*buy)(const BuyVehicleCommand& command) = nullptr;
    void (*sell)(const SellVehicleCommand& command) = nullptr;
    void (*setSchedule)(const SetScheduleCommand& command) = nullptr;
    void (*deleteSchedule)(const DeleteScheduleCommand& command) = nullptr;
    void (*buyPlayer)(Game& game, const BuyPlayerCommand& command) = nullptr;
    void (*replacePlayer)(Game& game, const GameCommand39& command) = nullptr;
};
void SetVehicleCommandHandlers(const VehicleCommandHandlers& handlers);

// Whether a company may buy another, and at what price; the company window
// installs it. Without it every purchase is refused.
using CompanyPurchaseTest = bool (*)(uint32_t buyer, uint32_t bought, int64_t& price);
void SetCompanyPurchaseTest(CompanyPurchaseTest test);
CompanyPurchaseTest GetCompanyPurchaseTest();
