// Commands that build, preview and remove stations and add station
// extensions.
#pragma once

#include "gameloop/game_command.h"

// Builds a station of a kind at a tile, or places or removes its preview.
class BuildStationCommand : public FixedPayloadCommand<BuildStationCommand, 2, 24> {
public:
    BuildStationCommand() = default;
    BuildStationCommand(uint32_t aX, uint32_t aY, uint8_t aRotation, uint32_t aKind, uint32_t aPreview,
                        uint32_t aPrice)
        : x(aX), y(aY), rotation(aRotation), kind(aKind), preview(aPreview), price(aPrice) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildStationCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U8(rotation);
        io.Pad(3);
        io.U32(kind);
        io.U32(preview);
        io.U32(price);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    // 0 to 3.
    uint8_t rotation = 0;
    // A row of the station table.
    uint32_t kind = 0;
    // Non-zero places or removes a preview.
    uint32_t preview = 0;
    // 0 takes the table's price; anything else is charged as it stands.
    uint32_t price = 0;
};

// The same station command, sent by other construction tools under their
// own type ids.
class BuildStationCommand25 final : public BuildStationCommand {
public:
    using BuildStationCommand::BuildStationCommand;
    uint16_t GetTypeId() const override { return 25; }
    const char* Name() const override { return "BuildStationCommand25"; }
};

class BuildStationCommand26 final : public BuildStationCommand {
public:
    using BuildStationCommand::BuildStationCommand;
    uint16_t GetTypeId() const override { return 26; }
    const char* Name() const override { return "BuildStationCommand26"; }
};

class BuildStationCommand27 final : public BuildStationCommand {
public:
    using BuildStationCommand::BuildStationCommand;
    uint16_t GetTypeId() const override { return 27; }
    const char* Name() const override { return "BuildStationCommand27"; }
};

class DemolishStationCommand final : public FixedPayloadCommand<DemolishStationCommand, 3, 4> {
public:
    DemolishStationCommand() = default;
    explicit DemolishStationCommand(uint32_t aStationId) : stationId(aStationId) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "DemolishStationCommand"; }
    void Fields(PayloadIo& io) { io.U32(stationId); }

    uint32_t stationId = 0;
};

class BuildStationExtentionCommand final : public FixedPayloadCommand<BuildStationExtentionCommand, 24, 8> {
public:
    BuildStationExtentionCommand() = default;
    BuildStationExtentionCommand(uint32_t aStationId, uint32_t aExtension)
        : stationId(aStationId), extension(aExtension) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildStationExtentionCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(stationId);
        io.U32(extension);
    }

    uint32_t stationId = 0;
    // A row of the station extension table.
    uint32_t extension = 0;
};

// The layer that keeps stations carries the commands out; until it installs
// its handlers the commands are refused.
struct StationCommandHandlers {
    void (*build)(const BuildStationCommand& command) = nullptr;
    void (*demolish)(const DemolishStationCommand& command) = nullptr;
    void (*extend)(const BuildStationExtentionCommand& command) = nullptr;
};
void SetStationCommandHandlers(const StationCommandHandlers& handlers);
