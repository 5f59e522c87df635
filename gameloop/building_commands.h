// Commands that build and remove factories, storage halls, water towers,
// headquarters and decorations.
#pragma once

#include "gameloop/game_command.h"
#include "world/map_generator.h"

// Builds a factory of a type.
class BuildFactoryCommand final : public FixedPayloadCommand<BuildFactoryCommand, 1, 20> {
public:
    BuildFactoryCommand() = default;
    BuildFactoryCommand(uint32_t aX, uint32_t aY, uint32_t aType, uint32_t aLayoutOffset,
                        uint32_t aLayoutVariant)
        : x(aX), y(aY), type(aType), layoutVariant(aLayoutVariant), layoutOffset(aLayoutOffset) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildFactoryCommand"; }
    // The footprint in tiles of a factory type built with a size step and a
    // side: the MapSize of its FactoryLayout row, or a small square when the
    // data gives none. False for a type without a Factory row.
    static bool Footprint(int32_t type, int32_t orientation, int32_t size, uint32_t& width, uint32_t& height);
    // Whether the factory fits at the tile for the player.
    static bool CanPlace(const FactoryRequest& request, uint8_t player);
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U32(type);
        io.U32(layoutVariant);
        io.U32(layoutOffset);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    // A row of the factory type table.
    uint32_t type = 0;
    uint32_t layoutVariant = 0;
    // Added to the type's first layout row.
    uint32_t layoutOffset = 0;
};

// Sets a link value of a building.
class GameCommand20 final : public FixedPayloadCommand<GameCommand20, 20, 12> {
public:
    GameCommand20() = default;
    GameCommand20(uint32_t aBuildingId, uint32_t aFirst, uint32_t aSecond)
        : buildingId(aBuildingId), first(aFirst), second(aSecond) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand20"; }
    void Fields(PayloadIo& io) {
        io.U32(buildingId);
        io.U32(first);
        io.U32(second);
    }

    uint32_t buildingId = 0;
    uint32_t first = 0;
    uint32_t second = 0;
};

// Builds a storage hall.
class BuildStorageHallCommand final : public FixedPayloadCommand<BuildStorageHallCommand, 21, 12> {
public:
    BuildStorageHallCommand() = default;
    BuildStorageHallCommand(uint32_t aX, uint32_t aY, uint32_t aStorageType)
        : x(aX), y(aY), storageType(aStorageType) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildStorageHallCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U32(storageType);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t storageType = 0;
};

// Builds a water tower or places its preview.
class GameCommand22 final : public FixedPayloadCommand<GameCommand22, 22, 16> {
public:
    GameCommand22() = default;
    GameCommand22(uint32_t aX, uint32_t aY, uint32_t aPreview, uint32_t aPrice)
        : x(aX), y(aY), preview(aPreview), price(aPrice) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand22"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U32(preview);
        io.U32(price);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t preview = 0;
    uint32_t price = 0;
};

// Removes the water tower at a tile.
class DemolishWaterTowerCommand final : public FixedPayloadCommand<DemolishWaterTowerCommand, 23, 8> {
public:
    DemolishWaterTowerCommand() = default;
    DemolishWaterTowerCommand(uint32_t aX, uint32_t aY) : x(aX), y(aY) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "DemolishWaterTowerCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
    }

    uint32_t x = 0;
    uint32_t y = 0;
};

// Removes the storage hall at a tile.
class GameCommand33 final : public FixedPayloadCommand<GameCommand33, 33, 8> {
public:
    GameCommand33() = default;
    GameCommand33(uint32_t aX, uint32_t aY) : x(aX), y(aY) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand33"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
    }

    uint32_t x = 0;
    uint32_t y = 0;
};

// Builds the issuer's headquarters.
class BuildHeadquarterCommand final : public FixedPayloadCommand<BuildHeadquarterCommand, 35, 8> {
public:
    BuildHeadquarterCommand() = default;
    BuildHeadquarterCommand(uint32_t aX, uint32_t aY) : x(aX), y(aY) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "BuildHeadquarterCommand"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
    }

    uint32_t x = 0;
    uint32_t y = 0;
};

// Adds an upgrade to the issuer's headquarters.
class UpdateStationCommand final : public FixedPayloadCommand<UpdateStationCommand, 36, 4> {
public:
    UpdateStationCommand() = default;
    explicit UpdateStationCommand(uint32_t aUpgrade) : upgrade(aUpgrade) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "UpdateStationCommand"; }
    void Fields(PayloadIo& io) { io.U32(upgrade); }

    // A row of the headquarters table and a bit of its upgrade word.
    uint32_t upgrade = 0;
};

// Places a decoration or its preview.
class GameCommand42 final : public FixedPayloadCommand<GameCommand42, 42, 20> {
public:
    GameCommand42() = default;
    GameCommand42(uint32_t aX, uint32_t aY, uint32_t aPreview, uint32_t aSecond, uint8_t aVariant)
        : x(aX), y(aY), preview(aPreview), variant(aVariant), second(aSecond) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand42"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
        io.U32(preview);
        io.U8(variant);
        io.Pad(3);
        io.U32(second);
    }

    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t preview = 0;
    uint8_t variant = 0;
    uint32_t second = 0;
};

// Removes the decoration at a tile.
class GameCommand43 final : public FixedPayloadCommand<GameCommand43, 43, 8> {
public:
    GameCommand43() = default;
    GameCommand43(uint32_t aX, uint32_t aY) : x(aX), y(aY) {}

    void Execute(Game& game) override;
    const char* Name() const override { return "GameCommand43"; }
    void Fields(PayloadIo& io) {
        io.U32(x);
        io.U32(y);
    }

    uint32_t x = 0;
    uint32_t y = 0;
};
