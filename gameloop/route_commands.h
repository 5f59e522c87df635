// Commands that lay and remove roads and tracks, place and remove signals
// and special track pieces, and two small changes of the tile map.
#pragma once

#include "gameloop/game_command.h"

// Posted after route removals, to rebuild a cache of route records that the
// tile map does not keep; it has no payload and accepts whatever bytes a
// message brings.
class GameCommand34 final : public GameCommand {
public:
    void Execute(Game& game) override;
    bool WritePayload(std::vector<uint8_t>& out) const override {
        out.clear();
        return true;
    }
    bool ReadPayload(const uint8_t*, uint32_t) override { return true; }
    bool SetFields(const std::vector<int64_t>& numbers) override { return numbers.empty(); }
    uint16_t GetTypeId() const override { return 34; }
    const char* Name() const override { return "GameCommand34"; }
};

// Lays a road or track between two tiles.
class TrackRouteCommand final : public FixedPayloadCommand<TrackRouteCommand, 7, 20> {
public:
    TrackRouteCommand() = default;
    TrackRouteCommand(int16_t aStartX, int16_t aStartY, int16_t aEndX, int16_t aEndY, uint16_t aRouteType,
                      uint32_t aMode, uint32_t aPrice)
        : startX(aStartX), startY(aStartY), endX(aEndX), endY(aEndY), routeType(aRouteType), mode(aMode),
          price(aPrice) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "TrackRouteCommand"; }
    void Fields(PayloadIo& io) {
        io.I16(startX);
        io.I16(startY);
        io.I16(endX);
        io.I16(endY);
        io.U16(routeType);
        io.Pad(2);
        io.U32(mode);
        io.U32(price);
    }

    int16_t startX = 0;
    int16_t startY = 0;
    int16_t endX = 0;
    int16_t endY = 0;
    // A row of the route builder table.
    uint16_t routeType = 0;
    // 0 builds and charges, 1 previews, anything else builds free of charge.
    uint32_t mode = 0;
    // 0 charges the planned cost; anything else is charged as it stands.
    uint32_t price = 0;
};

// Removes the road or track between two tiles.
class BuildRouteCommand final : public FixedPayloadCommand<BuildRouteCommand, 8, 16> {
public:
    BuildRouteCommand() = default;
    BuildRouteCommand(int16_t aStartX, int16_t aStartY, int16_t aEndX, int16_t aEndY, uint16_t aRouteType,
                      uint32_t aPlannerFlag)
        : startX(aStartX), startY(aStartY), endX(aEndX), endY(aEndY), routeType(aRouteType),
          plannerFlag(aPlannerFlag) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildRouteCommand"; }
    void Fields(PayloadIo& io) {
        io.I16(startX);
        io.I16(startY);
        io.I16(endX);
        io.I16(endY);
        io.U16(routeType);
        io.Pad(2);
        io.U32(plannerFlag);
    }

    int16_t startX = 0;
    int16_t startY = 0;
    int16_t endX = 0;
    int16_t endY = 0;
    uint16_t routeType = 0;
    // Handed to the planner's flag word.
    uint32_t plannerFlag = 0;
};

// A computer company's route between two tiles.
class GameCommand31 final : public FixedPayloadCommand<GameCommand31, 31, 12> {
public:
    GameCommand31() = default;
    GameCommand31(int16_t aStartX, int16_t aStartY, int16_t aEndX, int16_t aEndY, uint16_t aRouteType,
                  uint16_t aPlannerOption)
        : startX(aStartX), startY(aStartY), endX(aEndX), endY(aEndY), routeType(aRouteType),
          plannerOption(aPlannerOption) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand31"; }
    void Fields(PayloadIo& io) {
        io.I16(startX);
        io.I16(startY);
        io.I16(endX);
        io.I16(endY);
        io.U16(routeType);
        io.U16(plannerOption);
    }

    int16_t startX = 0;
    int16_t startY = 0;
    int16_t endX = 0;
    int16_t endY = 0;
    uint16_t routeType = 0;
    uint16_t plannerOption = 0;
};

// Places a switch or crossing.
class BuildSpecialTrackCommand final : public FixedPayloadCommand<BuildSpecialTrackCommand, 32, 20> {
public:
    BuildSpecialTrackCommand() = default;
    BuildSpecialTrackCommand(uint32_t aX, uint32_t aY, uint8_t aRotation, uint8_t aPieceType,
                             uint32_t aRouteType, uint32_t aMode)
        : x(aX), y(aY), rotation(aRotation), pieceType(aPieceType), routeType(aRouteType), mode(aMode) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildSpecialTrackCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U8(rotation);
        io.U8(pieceType);
        io.Pad(2);
        io.U32(routeType);
        io.U32(mode);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    uint8_t rotation = 0;
    // A row of the special track table.
    uint8_t pieceType = 0;
    uint32_t routeType = 0;
    // 1 previews, 0 builds, anything else builds and keeps the piece marked.
    uint32_t mode = 0;
};

// Places or changes a signal.
class SignalCommand final : public FixedPayloadCommand<SignalCommand, 40, 20> {
public:
    SignalCommand() = default;
    SignalCommand(uint32_t aX, uint32_t aY, uint32_t aPreview, uint32_t aUnused, uint32_t aKind)
        : x(aX), y(aY), preview(aPreview), unused(aUnused), kind(aKind) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "SignalCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U32(preview);
        io.U32(unused);
        io.U32(kind);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t preview = 0;
    // Carried but not read.
    uint32_t unused = 0;
    uint32_t kind = 0;
};

// Removes the signal at a tile.
class RemoveSignalCommand final : public FixedPayloadCommand<RemoveSignalCommand, 41, 8> {
public:
    RemoveSignalCommand() = default;
    RemoveSignalCommand(uint32_t aX, uint32_t aY) : x(aX), y(aY) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "RemoveSignalCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
    }

    uint32_t x = 0;
    uint32_t y = 0;
};

// Places the cells of a sprite on the tile map.
class GameCommand37 final : public FixedPayloadCommand<GameCommand37, 37, 16> {
public:
    GameCommand37() = default;
    GameCommand37(uint32_t aX, uint32_t aY, uint32_t aSprite, uint32_t aFrame)
        : x(aX), y(aY), sprite(aSprite), frame(aFrame) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand37"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U32(sprite);
        io.U32(frame);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t sprite = 0;
    uint32_t frame = 0;
};

// The transport network's execution of these commands; a command whose
// handler is unset is refused as unavailable.
struct RouteCommandHandlers {
    void (*trackRoute)(const TrackRouteCommand& command) = nullptr;
    void (*removeRoute)(const BuildRouteCommand& command) = nullptr;
    void (*computerRoute)(const GameCommand31& command) = nullptr;
    void (*specialTrack)(const BuildSpecialTrackCommand& command) = nullptr;
    void (*signal)(const SignalCommand& command) = nullptr;
    void (*removeSignal)(const RemoveSignalCommand& command) = nullptr;
    void (*spriteCells)(const GameCommand37& command) = nullptr;
};
void SetRouteCommandHandlers(const RouteCommandHandlers& handlers);
RouteCommandHandlers& GetRouteCommandHandlers();
