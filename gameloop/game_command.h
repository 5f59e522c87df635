// Game commands: every change that a player or a computer company makes to
// the world. A command is posted as a game message (an 8-byte header and
// its payload), travels through the session, and is rebuilt by the factory
// and executed at the same point of the world loop on every machine.
#pragma once

#include "gameloop/payload_io.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class Game;

// A game message: u32 kind (0 for commands), u8 player, u8 spare, u16 type
// id, then the payload; all little-endian, at most 32768 bytes in all.
inline constexpr uint32_t kMaxGameMessageSize = 32768;
inline constexpr uint32_t kGameMessageHeaderSize = 8;
inline constexpr uint32_t kMaxPayloadSize = kMaxGameMessageSize - kGameMessageHeaderSize;
inline constexpr uint32_t kMessageKindCommand = 0;

inline constexpr uint8_t kCompanySlotCount = 5;
// The neutral player's slot; a command made without a local player carries it.
inline constexpr uint8_t kNeutralPlayerSlot = 4;
inline constexpr uint16_t kLastCommandTypeId = 43;

class GameCommand {
public:
    // The issuing player is the local player (SetLocalPlayerSlot).
    GameCommand();
    virtual ~GameCommand() = default;

    // Applies the command to the world. A check that fails leaves the world
    // as it was; nothing is reported to the issuer.
    virtual void Execute(Game& game) = 0;
    // The payload's bytes; false when the command cannot be written.
    virtual bool WritePayload(std::vector<uint8_t>& out) const = 0;
    // Fills the fields from a received payload; false when the bytes do not
    // form this command's payload (the message is then dropped).
    virtual bool ReadPayload(const uint8_t* bytes, uint32_t size) = 0;
    virtual uint16_t GetTypeId() const = 0;
    virtual const char* Name() const = 0;
    // Sets the payload's fields in order from numbers; false when they are
    // too few, too many or out of a field's range.
    virtual bool SetFields(const std::vector<int64_t>& numbers) = 0;

    uint8_t GetPlayerId() const { return player_; }
    void SetPlayerId(uint8_t player) { player_ = player; }

protected:
    // Logs that the command was refused because the part of the world that
    // it changes does not exist yet, and changes nothing.
    void RefuseUnavailable(const char* what) const;

private:
    uint8_t player_;
};

// The slot of this machine's player, which new commands carry; the neutral
// slot when there is none.
void SetLocalPlayerSlot(uint8_t slot);
uint8_t LocalPlayerSlot();

// A command whose payload has a fixed size, transferred by the derived
// class's Fields (PayloadIo&).
template <typename Derived, uint16_t Id, uint32_t Size>
class FixedPayloadCommand : public GameCommand {
public:
    static constexpr uint16_t kTypeId = Id;
    static constexpr uint32_t kPayloadSize = Size;

    bool WritePayload(std::vector<uint8_t>& out) const override {
        PayloadIo io(out);
        // Fields only reads the members while writing.
        const_cast<Derived&>(static_cast<const Derived&>(*this)).Fields(io);
        return out.size() == Size;
    }
    bool ReadPayload(const uint8_t* bytes, uint32_t size) override {
        if (size != Size)
            return false;
        Derived fresh;
        PayloadIo io(bytes, size);
        fresh.Fields(io);
        if (!io.Ok() || io.Position() != Size)
            return false;
        fresh.SetPlayerId(GetPlayerId());
        static_cast<Derived&>(*this) = fresh;
        return true;
    }
    uint16_t GetTypeId() const override { return Id; }
    bool SetFields(const std::vector<int64_t>& numbers) override {
        Derived fresh;
        PayloadIo io(numbers);
        fresh.Fields(io);
        if (!io.Ok() || io.Position() != numbers.size())
            return false;
        fresh.SetPlayerId(GetPlayerId());
        static_cast<Derived&>(*this) = fresh;
        return true;
    }
};

// Whether a player slot holds a company; the factory drops commands of
// slots that do not.
class PlayerSlots {
public:
    virtual ~PlayerSlots() = default;
    virtual bool IsOccupied(uint8_t slot) const = 0;
};

// A new command of the type with its fields at their defaults, or none for
// type ids that have no command (0, 9 to 19, 44 and above).
std::unique_ptr<GameCommand> CreateGameCommand(uint16_t typeId);

// The command of a type id with its payload read, issued by player; none
// when the type has no command or the payload does not fit it.
std::unique_ptr<GameCommand> CreateGameCommand(uint16_t typeId, const uint8_t* payload, uint32_t size,
                                               uint8_t player);

// Writes the command's message (header and payload) into message; false
// when the payload cannot be written or the message would be too large.
bool EncodeGameMessage(const GameCommand& command, std::vector<uint8_t>& message);

// The type id of a command's class name, or 0.
uint16_t CommandTypeIdByName(std::string_view name);

// Rebuilds the command of a command message. None, with a log line, for a
// message that is too short or too long, of another kind, from a player
// slot that is out of range or empty, of an unknown type, or whose payload
// does not fit its type.
std::unique_ptr<GameCommand> CommandFromMessage(const uint8_t* message, uint32_t size,
                                                const PlayerSlots& players);
