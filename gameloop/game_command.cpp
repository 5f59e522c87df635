#include "gameloop/game_command.h"

#include "gameloop/building_commands.h"
#include "gameloop/game_log.h"
#include "gameloop/route_commands.h"
#include "gameloop/station_commands.h"
#include "gameloop/station_upgrade_commands.h"
#include "gameloop/vehicle_commands.h"
#include "platform/endian.h"

namespace {

uint8_t localPlayerSlot = kNeutralPlayerSlot;

template <typename T>
std::unique_ptr<GameCommand> Make() {
    return std::make_unique<T>();
}

using Maker = std::unique_ptr<GameCommand> (*)();

// The factory's table by type id; empty entries have no command.
constexpr Maker kMakers[kLastCommandTypeId + 1] = {
    nullptr,
    Make<BuildFactoryCommand>,
    Make<BuildStationCommand>,
    Make<DemolishStationCommand>,
    Make<BuyVehicleCommand>,
    Make<SetScheduleCommand>,
    Make<SellVehicleCommand>,
    Make<TrackRouteCommand>,
    Make<BuildRouteCommand>,
    nullptr, // 9
    nullptr, // 10
    nullptr, // 11
    nullptr, // 12: the consistency check, judged by the transport
    nullptr, // 13
    nullptr, // 14
    nullptr, // 15 to 19: transport messages
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Make<GameCommand20>,
    Make<BuildStorageHallCommand>,
    Make<GameCommand22>,
    Make<DemolishWaterTowerCommand>,
    Make<BuildStationExtentionCommand>,
    Make<BuildStationCommand25>,
    Make<BuildStationCommand26>,
    Make<BuildStationCommand27>,
    Make<StationUpgradeCommand>,
    Make<DeleteScheduleCommand>,
    Make<StationRestyleCommand>,
    Make<GameCommand31>,
    Make<BuildSpecialTrackCommand>,
    Make<GameCommand33>,
    Make<GameCommand34>,
    Make<BuildHeadquarterCommand>,
    Make<UpdateStationCommand>,
    Make<GameCommand37>,
    Make<BuyPlayerCommand>,
    Make<GameCommand39>,
    Make<SignalCommand>,
    Make<RemoveSignalCommand>,
    Make<GameCommand42>,
    Make<GameCommand43>,
};

} // namespace

GameCommand::GameCommand() : player_(localPlayerSlot) {}

void GameCommand::RefuseUnavailable(const char* what) const {
    GameLog("command %s (type %u) of player %u refused: %s cannot be changed yet", Name(), GetTypeId(),
            GetPlayerId(), what);
}

void SetLocalPlayerSlot(uint8_t slot) {
    localPlayerSlot = slot < kCompanySlotCount ? slot : kNeutralPlayerSlot;
}

uint8_t LocalPlayerSlot() {
    return localPlayerSlot;
}

std::unique_ptr<GameCommand> CreateGameCommand(uint16_t typeId) {
    if (typeId > kLastCommandTypeId || kMakers[typeId] == nullptr)
        return nullptr;
    return kMakers[typeId]();
}

std::unique_ptr<GameCommand> CreateGameCommand(uint16_t typeId, const uint8_t* payload, uint32_t size,
                                               uint8_t player) {
    std::unique_ptr<GameCommand> command = CreateGameCommand(typeId);
    if (!command)
        return nullptr;
    command->SetPlayerId(player);
    if (!command->ReadPayload(payload, size))
        return nullptr;
    return command;
}

uint16_t CommandTypeIdByName(std::string_view name) {
    for (uint16_t type = 1; type <= kLastCommandTypeId; ++type)
        if (std::unique_ptr<GameCommand> command = CreateGameCommand(type);
            command && name == command->Name())
            return type;
    return 0;
}

bool EncodeGameMessage(const GameCommand& command, std::vector<uint8_t>& message) {
    std::vector<uint8_t> payload;
    if (!command.WritePayload(payload) || payload.size() > kMaxPayloadSize)
        return false;
    message.resize(kGameMessageHeaderSize);
    plat::StoreLE32(message.data(), kMessageKindCommand);
    message[4] = command.GetPlayerId();
    message[5] = 0;
    plat::StoreLE16(message.data() + 6, command.GetTypeId());
    message.insert(message.end(), payload.begin(), payload.end());
    return true;
}

std::unique_ptr<GameCommand> CommandFromMessage(const uint8_t* message, uint32_t size,
                                                const PlayerSlots& players) {
    if (size < kGameMessageHeaderSize || size > kMaxGameMessageSize) {
        GameLog("game message dropped: %u bytes", size);
        return nullptr;
    }
    uint32_t kind = plat::LoadLE32(message);
    uint8_t player = message[4];
    uint16_t type = plat::LoadLE16(message + 6);
    if (kind != kMessageKindCommand) {
        GameLog("game message dropped: kind %u is not a command", kind);
        return nullptr;
    }
    // A command of a missing company must not be run as another one.
    if (player >= kCompanySlotCount || !players.IsOccupied(player)) {
        GameLog("game message of type %u dropped: player slot %u holds no company", type, player);
        return nullptr;
    }
    std::unique_ptr<GameCommand> command = CreateGameCommand(type);
    if (!command) {
        GameLog("game message dropped: type %u has no command", type);
        return nullptr;
    }
    command->SetPlayerId(player);
    if (!command->ReadPayload(message + kGameMessageHeaderSize, size - kGameMessageHeaderSize)) {
        GameLog("game message of type %u (%s) dropped: a payload of %u bytes does not fit", type,
                command->Name(), size - kGameMessageHeaderSize);
        return nullptr;
    }
    return command;
}
