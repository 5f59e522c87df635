// Sessions: every game message passes through the session, which decides
// when the world may run a tick and a date step and which received message
// is due. The local session keeps the messages in a queue on this machine;
// the network session (built on the transport) schedules them by turns.
#pragma once

#include "gameloop/game_command.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

// Results of receiving a message.
enum class ReceiveCode : uint32_t {
    Message = 0,
    // A notice of the transport: the session was lost or a peer left.
    Notice = 1,
    // The message at the front is larger than the buffer.
    TooLarge = 2,
    Empty = 4,
};

// The transport under a network session; a local session never connects.
class GameCommunication {
public:
    virtual ~GameCommunication() = default;
    virtual bool IsConnected() const { return connected_; }

protected:
    bool connected_ = false;
};

class NetSession : public GameCommunication {
public:
    NetSession();

    virtual bool IsNetworkGame() const { return true; }
    // Hands a whole message to the session's carrier; true when it was taken.
    virtual bool SendBytes(const uint8_t* message, uint32_t size);
    // The session's values of the "GC" section of a saved game.
    virtual bool SerializeSessionState() { return true; }
    virtual bool StartSession();
    virtual bool StopSession();
    virtual ReceiveCode ReceiveMessage(uint8_t* buffer, uint32_t capacity, uint32_t& size);
    // Drops the message at the front of the queue (one too large to take).
    virtual void DiscardFront() {}
    virtual void EndTick(uint32_t clockTime);
    virtual bool CanRunTick();
    virtual bool IsDateStepDue(uint32_t clockTime) const;
    virtual void AdvanceDateStep();
    virtual bool GetTickRan() const { return true; }
    // Messages received and not yet handed out.
    virtual size_t QueuedMessages() const { return 0; }

    bool IsGameStarted() const { return gameStarted_ != 0; }
    void SetGameStarted(bool started) { gameStarted_ = started ? 1 : 0; }
    uint16_t GetSessionPlayerCount() const { return playerCount_; }
    uint16_t GetLocalPlayerNumber() const { return localPlayerNumber_; }
    uint32_t GetTickCounter() const { return tickCounter_; }
    void SetTickCounter(uint32_t ticks) { tickCounter_ = ticks; }
    uint32_t GetHostTime() const { return hostTime_; }
    uint32_t GetNetTime() const { return netTime_; }
    void SetNetTime(uint32_t time) { netTime_ = time; }

    // Writes the header and payload into the message buffer and sends them;
    // false (and nothing sent) when the message would be too large.
    bool SendGameMessage(uint8_t player, uint16_t type, const uint8_t* payload, uint32_t size);
    bool SendCommand(const GameCommand& command);
    // The next received command that is due, or none. A message that is
    // too large for the buffer or does not form a command is dropped with
    // a log line and ends this drain.
    std::unique_ptr<GameCommand> NextReceivedCommand(const PlayerSlots& players);

protected:
    uint16_t playerCount_ = 1;
    uint16_t localPlayerNumber_ = 0;
    uint32_t gameStarted_ = 0;
    uint32_t tickCounter_ = 1;
    uint32_t hostTime_ = 0;
    uint32_t netTime_ = 0;
    uint32_t lastDateStepTick_ = 0;
    std::vector<uint8_t> messageBuffer_;
};

class LocalSession final : public NetSession {
public:
    bool IsNetworkGame() const override { return false; }
    bool SendBytes(const uint8_t* message, uint32_t size) override;
    bool SerializeSessionState() override;
    bool StartSession() override;
    bool StopSession() override;
    ReceiveCode ReceiveMessage(uint8_t* buffer, uint32_t capacity, uint32_t& size) override;
    void DiscardFront() override;
    void EndTick(uint32_t clockTime) override;
    bool CanRunTick() override;
    bool IsDateStepDue(uint32_t clockTime) const override;
    void AdvanceDateStep() override;
    bool GetTickRan() const override { return running_ ? tickRan_ != 0 : true; }

    bool IsRunning() const { return running_ != 0; }
    uint32_t GetLastDateStep() const { return lastDateStep_; }
    void SetLastDateStepNow(uint32_t clockTime) { lastDateStep_ = clockTime; }
    uint32_t GetLastTickTime() const { return lastTickTime_; }
    size_t QueuedMessages() const override { return queue_.size(); }

private:
    std::deque<std::vector<uint8_t>> queue_;
    uint32_t running_ = 0;
    uint32_t lastTickTime_ = 0;
    uint32_t lastDateStep_ = 0;
    uint32_t tickRan_ = 0;
};

// Posts a command: its message goes to the session, and the world executes
// it at the next drain. A network session drops it before its game has
// started or while it is not connected. True when the message was sent.
bool PostGameCommand(NetSession& session, const GameCommand& command);
