#include "gameloop/session.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"

#include <cstring>

NetSession::NetSession() : messageBuffer_(kMaxGameMessageSize) {}

bool NetSession::SendBytes(const uint8_t*, uint32_t) {
    // The network transport is not part of this build: nothing is carried.
    return false;
}

bool NetSession::StartSession() {
    return false;
}

bool NetSession::StopSession() {
    return false;
}

ReceiveCode NetSession::ReceiveMessage(uint8_t*, uint32_t, uint32_t& size) {
    size = 0;
    return ReceiveCode::Empty;
}

void NetSession::EndTick(uint32_t) {
    ++tickCounter_;
}

bool NetSession::CanRunTick() {
    // The pace of the network clock decides beyond these; without a
    // transport a network session never runs a tick.
    return false;
}

bool NetSession::IsDateStepDue(uint32_t) const {
    return IsGameStarted() && tickCounter_ >= lastDateStepTick_ + 4;
}

void NetSession::AdvanceDateStep() {
    lastDateStepTick_ = tickCounter_;
}

bool NetSession::SendGameMessage(uint8_t player, uint16_t type, const uint8_t* payload, uint32_t size) {
    if (size > kMaxPayloadSize) {
        GameLog("game message of type %u not sent: a payload of %u bytes is too large", type, size);
        return false;
    }
    uint8_t* message = messageBuffer_.data();
    plat::StoreLE32(message, kMessageKindCommand);
    message[4] = player;
    message[5] = 0;
    plat::StoreLE16(message + 6, type);
    if (size > 0)
        std::memcpy(message + kGameMessageHeaderSize, payload, size);
    return SendBytes(message, kGameMessageHeaderSize + size);
}

bool NetSession::SendCommand(const GameCommand& command) {
    std::vector<uint8_t> payload;
    if (!command.WritePayload(payload)) {
        GameLog("command %s not sent: its payload cannot be written", command.Name());
        return false;
    }
    return SendGameMessage(command.GetPlayerId(), command.GetTypeId(), payload.data(),
                           uint32_t(payload.size()));
}

std::unique_ptr<GameCommand> NetSession::NextReceivedCommand(const PlayerSlots& players) {
    for (;;) {
        uint32_t size = 0;
        ReceiveCode code = ReceiveMessage(messageBuffer_.data(), kMaxGameMessageSize, size);
        if (code == ReceiveCode::TooLarge) {
            // Left in place it would stop every message behind it for good.
            GameLog("game message dropped: larger than %u bytes", kMaxGameMessageSize);
            DiscardFront();
            return nullptr;
        }
        if (code != ReceiveCode::Message && code != ReceiveCode::Notice)
            return nullptr;
        uint32_t kind = size >= 4 ? plat::LoadLE32(messageBuffer_.data()) : 0;
        if (code == ReceiveCode::Notice) {
            if (kind == 2) {
                GameLog("the network session was lost");
                connected_ = false;
            } else if (kind == 1 && IsConnected()) {
                GameLog("a player left the network session");
            }
            continue;
        }
        if (kind == 5)
            continue;
        return CommandFromMessage(messageBuffer_.data(), size, players);
    }
}

bool LocalSession::SendBytes(const uint8_t* message, uint32_t size) {
    if (size > kMaxGameMessageSize) {
        GameLog("game message not queued: %u bytes is more than %u", size, kMaxGameMessageSize);
        return false;
    }
    queue_.emplace_back(message, message + size);
    return true;
}

bool LocalSession::SerializeSessionState() {
    uint32_t* fields[] = {&running_, &tickCounter_, &lastTickTime_, &lastDateStep_};
    for (uint32_t* field : fields)
        if (TransferSizedValue(*field) != 8)
            return false;
    return true;
}

bool LocalSession::StartSession() {
    running_ = 1;
    return true;
}

bool LocalSession::StopSession() {
    running_ = 0;
    return true;
}

ReceiveCode LocalSession::ReceiveMessage(uint8_t* buffer, uint32_t capacity, uint32_t& size) {
    size = 0;
    if (queue_.empty())
        return ReceiveCode::Empty;
    const std::vector<uint8_t>& front = queue_.front();
    if (front.size() > capacity)
        return ReceiveCode::TooLarge;
    size = uint32_t(front.size());
    if (size > 0)
        std::memcpy(buffer, front.data(), size);
    queue_.pop_front();
    return ReceiveCode::Message;
}

void LocalSession::DiscardFront() {
    if (!queue_.empty())
        queue_.pop_front();
}

void LocalSession::EndTick(uint32_t clockTime) {
    ++tickCounter_;
    lastTickTime_ = clockTime;
}

bool LocalSession::CanRunTick() {
    if (running_)
        tickRan_ = 1;
    return running_ != 0;
}

bool LocalSession::IsDateStepDue(uint32_t clockTime) const {
    return running_ != 0 && uint64_t(clockTime) >= uint64_t(lastDateStep_) + 100;
}

void LocalSession::AdvanceDateStep() {
    lastDateStep_ += 100;
}

bool PostGameCommand(NetSession& session, const GameCommand& command) {
    if (session.IsNetworkGame() && (!session.IsGameStarted() || !session.IsConnected()))
        return false;
    return session.SendCommand(command);
}
