#include "world/player.h"

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "files/host_path.h"
#include "platform/file.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/money.h"
#include "world/random_streams.h"
#include "world/world.h"
#include "world/world_services.h"
#include "world/world_warnings.h"
#include "world/yearly_modifiers.h"

#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr uint32_t kTagCount = ChunkTag("anz");
constexpr uint32_t kTagDirectory = ChunkTag("objs");
constexpr uint32_t kTagMoney = ChunkTag("plr1");
constexpr uint32_t kTagStatistics = ChunkTag("plr2");
constexpr uint32_t kTagNames = ChunkTag("plr3");
constexpr uint32_t kPlayerTags[] = {kTagMoney, kTagStatistics, kTagNames};

// The money block is 14 bytes: i64 money, u8 number, u8 graphic, u32 colour.
// The older block: i64 money, u8 number, 33 bytes of the manager's name.
constexpr uint32_t kOldMoneyBlockSize = 42;
constexpr uint32_t kOldNameBytes = 33;

// A line of "AINames.txt" keeps at most this many characters.
constexpr size_t kMaxNameLineLength = 159;
// Draws before the name choice stops leaving it to chance.
constexpr uint32_t kMaxNameDraws = 1000;

struct DirectoryEntry {
    uint32_t slot = 0;
    uint32_t kind = 0;
};

// The current world's players.
struct PlayerRoster final : WorldPart {
    static constexpr WorldPartId kPartId = WorldPartId::Players;
    std::array<std::unique_ptr<Player>, kPlayerSlotCount> slots;
    Player* current = nullptr;
};

PlayerRoster& Roster() {
    return CurrentWorld().Part<PlayerRoster>();
}
std::vector<std::string> aiNames;
std::function<std::unique_ptr<ComputerPlayerBase>()> computerFactory;

std::unique_ptr<ComputerPlayerBase> MakeComputerPlayer() {
    if (computerFactory)
        return computerFactory();
    return std::make_unique<ComputerPlayerBase>();
}

int64_t StartingMoney() {
    const GlobalConstantsRow* row = GlobalConstantsTable::Find(0);
    return row ? int64_t(row->StartingMoney) : 0;
}

void SplitNameEntry(const std::string& entry, std::string& name, std::string& company) {
    const size_t split = entry.find(';');
    if (split == std::string::npos) {
        name.clear();
        company = entry;
        return;
    }
    name = entry.substr(0, split);
    company = entry.substr(split + 1);
}

void ReadAINamesFile() {
    const std::string path = InstallPath() + "/" + ConfigFolderName() + "/AINames.txt";
    std::optional<std::string> hostPath = ResolveHostPath(path);
    std::string text;
    if (!hostPath || !plat::ReadWholeFile(*hostPath, text))
        return;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kMaxNameLineLength)
            line.resize(kMaxNameLineLength);
        if (line.empty() || line[0] == '.')
            continue;
        aiNames.push_back(std::move(line));
    }
}

void LoadAINames() {
    if (!aiNames.empty())
        return;
    ReadAINamesFile();
    if (aiNames.size() >= 3)
        return;
    aiNames.clear();
    for (int32_t row = 0; row < 3; ++row) {
        const AIPlayerRow* record = AIPlayerTable::Find(row);
        aiNames.push_back(record ? record->Name + ";" + record->CompanyName : std::string(";"));
    }
}

bool NameIndexTaken(int32_t index) {
    for (const auto& player : Roster().slots) {
        if (player && player->GetPlayerKind() == kPlayerKindComputer &&
            static_cast<const ComputerPlayerBase&>(*player).GetNameIndex() == index)
            return true;
    }
    return false;
}

void NamesFromTable(ComputerPlayerBase& player) {
    const int32_t row = int32_t(GetPlayerIndex(&player)) - 1;
    player.SetNameIndex(-1);
    const AIPlayerRow* record = AIPlayerTable::Find(row);
    if (!record) {
        WorldWarning("no AIPlayer row %d for a computer company's names", row);
        return;
    }
    player.SetManagerName(record->Name);
    player.SetCompanyName(record->CompanyName);
}

// The directory of the section: "anz" with the number of players, "objs"
// with {slot, kind} per player.
void TransferDirectory(std::vector<DirectoryEntry>& entries) {
    const bool storing = StreamMode() == kStreamStore;
    for (uint32_t step = 0; step < 2; ++step) {
        uint32_t tag = step == 0 ? kTagCount : kTagDirectory;
        BeginChunk(tag);
        if (tag == kTagCount) {
            uint32_t count = uint32_t(entries.size());
            Transfer(count);
        } else if (tag == kTagDirectory) {
            TransferList(entries, 8, [](DirectoryEntry& entry) {
                Transfer(entry.slot);
                Transfer(entry.kind);
            });
        }
        EndChunk();
        // The players' own chunks follow the directory: a load stops at it.
        if (!storing && (tag == 0 || tag == kTagDirectory))
            break;
    }
}

// Reads over one player's run of chunks, up to its closing chunk.
void SkipPlayerChunks() {
    TransferTagList(std::span<const uint32_t>{}, [](uint32_t) {});
}

void ChooseCurrentPlayerAfterLoad() {
    if (Services().isNetworkGame && Services().isNetworkGame())
        return;
    Roster().current = Roster().slots[0].get();
    if (Roster().current && Roster().current->IsHumanPlayer())
        return;
    for (const auto& player : Roster().slots) {
        if (player && player->IsHumanPlayer()) {
            Roster().current = player.get();
            return;
        }
    }
}

} // namespace

Player::Player(uint8_t playerNumber) : money_(StartingMoney()), playerNumber_(playerNumber) {
    Player::ResetStatistics();
}

void Player::ResetStatistics() {
    statistics_ = std::make_unique<PlayerStatistics>();
}

void Player::OnNewYear() {
    if (statistics_) {
        const GameClock* clock = GetGameClock();
        statistics_->OnNewYear(clock ? clock->GetCurrentYear() : kFirstYear);
    }
}

void Player::Pay(int64_t amount, int32_t category, uint32_t extra) {
    if (this == Roster().current && GetUiState().UnlimitedMoney)
        return;
    if (amount >= 0)
        Earn(amount, category, extra);
    else
        Spend(amount, category, extra);
}

void Player::Spend(int64_t amount, int32_t category, uint32_t) {
    money_ = WrappingAdd(money_, amount);
    if (statistics_ && uint32_t(category) <= 6)
        statistics_->AddToRow(uint32_t(category), WrappingNegate(amount));
}

void Player::Earn(int64_t amount, int32_t category, uint32_t) {
    money_ = WrappingAdd(money_, amount);
    if (statistics_ && uint32_t(category) - 7u <= 2u)
        statistics_->AddToRow(uint32_t(category), amount);
}

bool Player::CanAfford(int64_t cost) const {
    if (this == Roster().current && GetUiState().UnlimitedMoney)
        return true;
    return money_ >= cost;
}

bool Player::Serialize() {
    SerializeChunks();
    return true;
}

void Player::SerializeMoneyBlock() {
    if (StreamMode() == kStreamStore || ChunkBytesLeft() < kOldMoneyBlockSize) {
        Transfer(money_);
        Transfer(playerNumber_);
        Transfer(graphicNumber_);
        Transfer(colourIndex_);
        return;
    }
    // The older form: the manager's name in place of graphic and colour.
    Transfer(money_);
    Transfer(playerNumber_);
    char name[kOldNameBytes] = {};
    TransferInChunk(name, kOldNameBytes);
    managerName_.assign(name, strnlen(name, kOldNameBytes));
    graphicNumber_ = 0;
    colourIndex_ = 0;
}

void Player::SerializeChunks() {
    TransferTagList(kPlayerTags, [this](uint32_t tag) {
        if (tag == kTagMoney) {
            SerializeMoneyBlock();
        } else if (tag == kTagStatistics) {
            if (statistics_)
                statistics_->Serialize();
        } else if (tag == kTagNames) {
            Transfer(managerName_);
            Transfer(companyName_);
        }
    });
}

GodPlayer::GodPlayer() : Player(0) {
    SetManagerName("God Player");
    DropStatistics();
}

void SetComputerPlayerFactory(std::function<std::unique_ptr<ComputerPlayerBase>()> factory) {
    computerFactory = std::move(factory);
}

Player* GetCurrentPlayer() {
    return Roster().current;
}

void SetCurrentPlayer(Player* player) {
    Roster().current = player;
}

Player* GetPlayer(uint32_t slot) {
    return slot < kPlayerSlotCount ? Roster().slots[slot].get() : nullptr;
}

uint32_t GetPlayerIndex(const Player* player) {
    for (uint32_t slot = 0; slot < kPlayerSlotCount; ++slot) {
        if (player && Roster().slots[slot].get() == player)
            return slot;
    }
    return 0;
}

uint32_t CountPlayers() {
    uint32_t count = 0;
    for (uint32_t slot = 0; slot < 4; ++slot)
        count += Roster().slots[slot] ? 1 : 0;
    return count;
}

bool AddPlayer(std::unique_ptr<Player> player, bool makeCurrent) {
    for (auto& slot : Roster().slots) {
        if (!slot) {
            slot = std::move(player);
            if (makeCurrent)
                Roster().current = slot.get();
            return true;
        }
    }
    return false;
}

void DeletePlayer(uint32_t slot) {
    if (slot >= kPlayerSlotCount)
        return;
    if (Roster().current == Roster().slots[slot].get())
        Roster().current = nullptr;
    Roster().slots[slot].reset();
}

void DeleteAllPlayers() {
    for (auto& slot : Roster().slots)
        slot.reset();
    Roster().current = nullptr;
}

void CreatePlayers() {
    ClearAINames();
    // The players of a previous game are deleted, not just forgotten.
    DeleteAllPlayers();
    if (!(Services().isNetworkGame && Services().isNetworkGame())) {
        Roster().slots[0] = std::make_unique<Player>(0);
        Roster().current = Roster().slots[0].get();
    }
    Roster().slots[kGodPlayerSlot] = std::make_unique<GodPlayer>();
}

ComputerPlayerBase* CreateAIPlayer(int32_t excludedNameIndex, uint32_t difficulty) {
    uint32_t freeSlot = 4;
    for (uint32_t slot = 0; slot < 4 && freeSlot == 4; ++slot) {
        if (!Roster().slots[slot])
            freeSlot = slot;
    }
    if (freeSlot == 4)
        return nullptr;
    std::unique_ptr<ComputerPlayerBase> made = MakeComputerPlayer();
    // The first graphic and colour numbers no other company uses.
    auto used = [](auto getter, uint32_t value) {
        for (uint32_t slot = 0; slot < 4; ++slot) {
            if (Roster().slots[slot] && getter(*Roster().slots[slot]) == value)
                return true;
        }
        return false;
    };
    uint32_t graphic = 0;
    while (used([](const Player& p) { return uint32_t(p.GetGraphicNumber()); }, graphic))
        ++graphic;
    uint32_t colour = 0;
    while (used([](const Player& p) { return p.GetColourIndex(); }, colour))
        ++colour;
    made->SetGraphicNumber(uint8_t(graphic));
    made->SetColourIndex(colour);
    made->Pay(WrappingAdd(GetStartMoneyForDifficulty(difficulty), WrappingNegate(made->GetMoney())), -1, 0);
    ComputerPlayerBase* player = made.get();
    Roster().slots[freeSlot] = std::move(made);
    AssignAIName(*player, excludedNameIndex);
    return player;
}

void UpdatePlayers() {
    for (const auto& player : Roster().slots) {
        if (player)
            player->Update();
    }
}

void NotifyPlayersNewMonth() {
    for (const auto& player : Roster().slots) {
        if (player)
            player->OnNewMonth();
    }
}

void NotifyPlayersNewYear() {
    for (const auto& player : Roster().slots) {
        if (player)
            player->OnNewYear();
    }
}

void PickAIName(uint32_t index, std::string& name, std::string& company) {
    LoadAINames();
    name.clear();
    company.clear();
    if (index < aiNames.size())
        SplitNameEntry(aiNames[index], name, company);
}

void AssignAIName(ComputerPlayerBase& player, int32_t excludedIndex) {
    std::string name, company;
    PickAIName(0, name, company);
    if (aiNames.size() < 4) {
        NamesFromTable(player);
        return;
    }
    const uint32_t size = uint32_t(aiNames.size());
    auto allowed = [&](uint32_t r) { return int32_t(r) != excludedIndex && !NameIndexTaken(int32_t(r)); };
    std::vector<uint32_t> candidates;
    for (uint32_t r = 0; r < size; ++r) {
        if (allowed(r))
            candidates.push_back(r);
    }
    if (candidates.empty()) {
        // Every name is in use: the table's names serve.
        NamesFromTable(player);
        return;
    }
    uint32_t r = RuntimeRandom() % size;
    for (uint32_t draws = 1; !allowed(r); ++draws) {
        r = draws < kMaxNameDraws ? RuntimeRandom() % size : candidates[RuntimeRandom() % candidates.size()];
    }
    SplitNameEntry(aiNames[r], name, company);
    player.SetManagerName(name);
    player.SetCompanyName(company);
    player.SetNameIndex(int32_t(r));
}

void ClearAINames() {
    aiNames.clear();
}

const std::vector<std::string>& GetAINames() {
    LoadAINames();
    return aiNames;
}

void SavePlayers() {
    std::vector<DirectoryEntry> entries;
    for (uint32_t slot = 0; slot < kPlayerSlotCount; ++slot) {
        if (Roster().slots[slot])
            entries.push_back({slot, Roster().slots[slot]->GetPlayerKind()});
    }
    TransferDirectory(entries);
    for (const auto& player : Roster().slots) {
        if (player)
            player->Serialize();
    }
}

bool LoadPlayers() {
    std::vector<DirectoryEntry> entries;
    TransferDirectory(entries);
    DeleteAllPlayers();
    for (const DirectoryEntry& entry : entries) {
        std::unique_ptr<Player> player;
        if (entry.slot >= kPlayerSlotCount || Roster().slots[entry.slot]) {
            WorldWarning("players: entry for slot %u skipped (outside or taken twice)", entry.slot);
        } else if (entry.kind == kPlayerKindHuman) {
            player = std::make_unique<Player>(0);
        } else if (entry.kind == kPlayerKindGod) {
            player = std::make_unique<GodPlayer>();
        } else if (entry.kind == kPlayerKindComputer) {
            player = MakeComputerPlayer();
        } else {
            WorldWarning("players: unknown kind %u in slot %u skipped", entry.kind, entry.slot);
        }
        if (!player) {
            SkipPlayerChunks();
            continue;
        }
        player->Serialize();
        Roster().slots[entry.slot] = std::move(player);
    }
    ChooseCurrentPlayerAfterLoad();
    return !StreamFailed();
}
