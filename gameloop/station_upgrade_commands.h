// Commands of the station upgrade window: enlarging a station to a larger
// kind and bringing it to a newer graphic set.
#pragma once

#include "gameloop/game_command.h"

class StationUpgradeCommand final : public FixedPayloadCommand<StationUpgradeCommand, 28, 16> {
public:
    StationUpgradeCommand() = default;
    StationUpgradeCommand(uint32_t aStationId, uint32_t aTargetKind, uint32_t aOriginX, uint32_t aOriginY)
        : stationId(aStationId), targetKind(aTargetKind), originX(aOriginX), originY(aOriginY) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "StationUpgradeCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(stationId);
        io.U32(targetKind);
        io.U32(originX);
        io.U32(originY);
    }

    uint32_t stationId = 0;
    // The station table row that the station becomes.
    uint32_t targetKind = 0;
    uint32_t originX = 0;
    uint32_t originY = 0;
};

class StationRestyleCommand final : public FixedPayloadCommand<StationRestyleCommand, 30, 8> {
public:
    StationRestyleCommand() = default;
    StationRestyleCommand(uint32_t aStationId, uint32_t aGraphicSet)
        : stationId(aStationId), graphicSet(aGraphicSet) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "StationRestyleCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(stationId);
        io.U32(graphicSet);
    }

    uint32_t stationId = 0;
    uint32_t graphicSet = 0;
};
