// The companies of a game: the human company, up to three computer
// companies and the neutral player that owns what belongs to nobody, in
// five slots whose index is the player id everywhere. Money changes only
// through Pay, which books it in the statistics by category.
#pragma once

#include "world/player_statistics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t kPlayerSlotCount = 5;
// Slot of the neutral player; as an owner id it also means "nobody".
inline constexpr uint32_t kGodPlayerSlot = 4;

enum PlayerKind : uint32_t {
    kPlayerKindHuman = 1,
    kPlayerKindGod = 2,
    kPlayerKindComputer = 3,
};

class Player {
public:
    explicit Player(uint8_t playerNumber = 0);
    virtual ~Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    virtual bool IsValid() const { return true; }
    // Replaces the statistics with fresh, zeroed ones.
    virtual void ResetStatistics();
    virtual void OnNewYear();
    virtual void OnNewMonth() {}

    // Changes the money by a signed amount (negative for a charge) and
    // books it in row `category` (-1: not booked). The current player's
    // money stands still while unlimited money is on.
    void Pay(int64_t amount, int32_t category, uint32_t extra);
    virtual void Spend(int64_t amount, int32_t category, uint32_t extra);
    virtual void Earn(int64_t amount, int32_t category, uint32_t extra);
    virtual bool CanAfford(int64_t cost) const;

    const std::string& GetManagerName() const { return managerName_; }
    void SetManagerName(std::string name) { managerName_ = std::move(name); }
    const std::string& GetCompanyName() const { return companyName_; }
    void SetCompanyName(std::string name) { companyName_ = std::move(name); }

    // The player's chunks in the direction of the current stream.
    virtual bool Serialize();
    virtual void SerializeChunks();
    virtual uint32_t GetPlayerKind() const { return kPlayerKindHuman; }
    // Once per world tick while the game runs.
    virtual void Update() {}
    virtual bool IsHumanPlayer() const { return true; }

    int64_t GetMoney() const { return money_; }
    uint8_t GetPlayerNumber() const { return playerNumber_; }
    uint8_t GetGraphicNumber() const { return graphicNumber_; }
    void SetGraphicNumber(uint8_t number) { graphicNumber_ = number; }
    uint32_t GetColourIndex() const { return colourIndex_; }
    void SetColourIndex(uint32_t index) { colourIndex_ = index; }
    PlayerStatistics* GetStatistics() { return statistics_.get(); }
    const PlayerStatistics* GetStatistics() const { return statistics_.get(); }

protected:
    void DropStatistics() { statistics_.reset(); }

private:
    void SerializeMoneyBlock();

    int64_t money_ = 0;
    uint8_t playerNumber_ = 0;
    uint8_t graphicNumber_ = 0;
    uint32_t colourIndex_ = 0;
    std::string companyName_ = "Unnamed Company";
    std::string managerName_ = "Henrik";
    std::unique_ptr<PlayerStatistics> statistics_;
};

// The neutral player: no statistics, manager name "God Player".
class GodPlayer : public Player {
public:
    GodPlayer();
    void ResetStatistics() override {}
    uint32_t GetPlayerKind() const override { return kPlayerKindGod; }
};

// What the world knows of a computer company: its kind, that it is not
// human, and the index of its name in the company-name list (-1 when its
// names come from the AIPlayer table). The computer companies' subsystem
// derives from it and registers its factory.
class ComputerPlayerBase : public Player {
public:
    explicit ComputerPlayerBase(uint8_t playerNumber = 0) : Player(playerNumber) {}
    uint32_t GetPlayerKind() const override { return kPlayerKindComputer; }
    bool IsHumanPlayer() const override { return false; }
    int32_t GetNameIndex() const { return nameIndex_; }
    void SetNameIndex(int32_t index) { nameIndex_ = index; }

private:
    int32_t nameIndex_ = -1;
};

// Makes the computer companies that loading and CreateAIPlayer
// create; without one, a ComputerPlayerBase.
void SetComputerPlayerFactory(std::function<std::unique_ptr<ComputerPlayerBase>()> factory);

// Registry of the five slots.
Player* GetCurrentPlayer();
void SetCurrentPlayer(Player* player);
Player* GetPlayer(uint32_t slot);
// The slot of a player, 0 when it is in none.
uint32_t GetPlayerIndex(const Player* player);
// Occupied slots among 0-3.
uint32_t CountPlayers();
// Into the first empty slot; false (and the player deleted) when all are
// taken.
bool AddPlayer(std::unique_ptr<Player> player, bool makeCurrent);
void DeletePlayer(uint32_t slot);
void DeleteAllPlayers();
// New game: the human company in slot 0 (none in a network game) and the
// neutral player in slot 4.
void CreatePlayers();
// A computer company in the first free slot among 0-3 with the next free
// graphic and colour numbers, start money for the difficulty, and a name
// (excluding that name index). Null when no slot is free.
ComputerPlayerBase* CreateAIPlayer(int32_t excludedNameIndex, uint32_t difficulty);
void UpdatePlayers();
void NotifyPlayersNewMonth();
void NotifyPlayersNewYear();

// Company names from "AINames.txt": entry `index` split at its first ";"
// into manager and company (both empty past the list's end).
void PickAIName(uint32_t index, std::string& name, std::string& company);
void AssignAIName(ComputerPlayerBase& player, int32_t excludedIndex);
// Forgets the list, so that the next use reads the file again.
void ClearAINames();
const std::vector<std::string>& GetAINames();
// The entries of an "AINames.txt" text: lines cut to their most, empty lines
// and lines starting with "." left out.
std::vector<std::string> ParseAINames(std::string_view text);

// The section "plr" of a saved game.
void SavePlayers();
bool LoadPlayers();
