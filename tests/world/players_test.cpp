#include "files/chunk_transfer.h"
#include "platform/file.h"
#include "tests/files/scratch_folder.h"
#include "tests/world/economy_fixture.h"
#include "world/player.h"
#include "world/random_streams.h"
#include "world/world_warnings.h"

#include <filesystem>
#include <set>

using namespace economy_fixture;

namespace {

class PlayersTest : public EconomyTest {
protected:
    void SetUp() override {
        EconomyTest::SetUp();
        GlobalConstantsTable::GetOrCreateRow(0)->StartingMoney = 100000;
        for (int32_t row = 0; row < 3; ++row) {
            AIPlayerRow* ai = AIPlayerTable::GetOrCreateRow(row);
            ai->Name = "Table" + std::to_string(row);
            ai->CompanyName = "Table Co " + std::to_string(row);
        }
        InstallPath() = folder_.Path();
        ConfigFolderName() = "config";
    }
    void TearDown() override {
        InstallPath() = ".";
        EconomyTest::TearDown();
    }

    void WriteNames(const std::string& text) {
        std::filesystem::create_directories(folder_.Path() + "/config");
        ASSERT_TRUE(plat::WriteFileAtomically(folder_.Path() + "/config/AINames.txt", text));
    }

    void NetworkGame(bool network) {
        Services().isNetworkGame = [network] { return network; };
    }

    ScratchFolder folder_;
};

} // namespace

TEST_F(PlayersTest, NewLocalGameHasHumanAndNeutralPlayer) {
    CreatePlayers();
    ASSERT_NE(GetPlayer(0), nullptr);
    EXPECT_EQ(GetCurrentPlayer(), GetPlayer(0));
    EXPECT_EQ(GetPlayer(0)->GetPlayerKind(), uint32_t(kPlayerKindHuman));
    ASSERT_NE(GetPlayer(4), nullptr);
    EXPECT_EQ(GetPlayer(4)->GetPlayerKind(), uint32_t(kPlayerKindGod));
    EXPECT_EQ(GetPlayer(4)->GetManagerName(), "God Player");
    EXPECT_EQ(GetPlayer(4)->GetStatistics(), nullptr);
    EXPECT_EQ(CountPlayers(), 1u);
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 100000);

    NetworkGame(true);
    CreatePlayers();
    EXPECT_EQ(GetPlayer(0), nullptr);
    EXPECT_NE(GetPlayer(4), nullptr);
    EXPECT_EQ(CountPlayers(), 0u);
}

TEST_F(PlayersTest, PayBooksEachCategoryInItsRow) {
    struct Case {
        int64_t amount;
        int32_t category;
        int32_t bookedRow; // -1: nothing booked
    };
    const Case cases[] = {
        {-500, 2, 2},   {300, 8, 8},  {300, 3, -1}, {-200, 7, -1},
        {-100, -1, -1}, {50, -1, -1}, {70, 9, 9},   {-40, 0, 0},
    };
    for (const Case& c : cases) {
        CreatePlayers();
        Player& player = *GetPlayer(0);
        player.Pay(c.amount, c.category, 0);
        EXPECT_EQ(player.GetMoney(), 100000 + c.amount) << c.amount << " in " << c.category;
        for (uint32_t row = 0; row < PlayerStatistics::kRowCount; ++row) {
            const int64_t expected = int32_t(row) == c.bookedRow ? (c.amount < 0 ? -c.amount : c.amount) : 0;
            EXPECT_EQ(player.GetStatistics()->GetValue(row, 0), expected) << "row " << row;
            EXPECT_EQ(player.GetStatistics()->GetValue(row, 2), expected) << "row " << row;
        }
    }
}

TEST_F(PlayersTest, UnlimitedMoneyHoldsOnlyTheCurrentPlayersMoney) {
    NetworkGame(false);
    CreatePlayers();
    ComputerPlayerBase* computer = CreateAIPlayer(-1, 0);
    ASSERT_NE(computer, nullptr);
    GetUiState().UnlimitedMoney = 1;
    const int64_t before = computer->GetMoney();
    GetPlayer(0)->Pay(-1000000, 2, 0);
    computer->Pay(-1000, 2, 0);
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 100000);
    EXPECT_TRUE(GetPlayer(0)->CanAfford(INT64_MAX));
    EXPECT_EQ(computer->GetMoney(), before - 1000);
    GetUiState().UnlimitedMoney = 0;
    EXPECT_TRUE(GetPlayer(0)->CanAfford(100000));
    EXPECT_FALSE(GetPlayer(0)->CanAfford(100001));
}

TEST_F(PlayersTest, BookChoosesTheAccountByCategory) {
    const std::pair<int32_t, int32_t> cases[] = {{1, 0},  {5, 1},  {10, 1}, {17, 1},  {11, 2},
                                                 {13, 2}, {2, 3},  {4, 3},  {18, 3},  {16, 4},
                                                 {15, 5}, {14, 6}, {0, -1}, {19, -1}, {-1, -1}};
    for (const auto& [category, account] : cases) {
        PlayerStatistics statistics;
        statistics.Book(category, 25);
        for (uint32_t i = 0; i < PlayerStatistics::kAccountCount; ++i)
            EXPECT_EQ(statistics.GetAccount(i), int32_t(i) == account ? 25 : 0) << "category " << category;
    }
}

TEST_F(PlayersTest, YearRollOverMovesRowsAndFillsHistory) {
    SetYear(1900);
    CreatePlayers();
    Player& player = *GetPlayer(0);
    player.Pay(700, 8, 0);
    player.Pay(-300, 1, 0);
    SetYear(1901);
    NotifyPlayersNewYear();
    const PlayerStatistics& statistics = *player.GetStatistics();
    EXPECT_EQ(statistics.GetYearValue(1900, 0), 700);
    EXPECT_EQ(statistics.GetYearValue(1900, 1), 300);
    EXPECT_EQ(statistics.GetValue(8, 0), 0);
    EXPECT_EQ(statistics.GetValue(8, 1), 700);
    EXPECT_EQ(statistics.GetValue(8, 2), 700);
    EXPECT_EQ(statistics.YearHistory().size(), 100u);

    SetYear(1951);
    NotifyPlayersNewYear();
    EXPECT_EQ(statistics.YearHistory().size(), 150u);
    EXPECT_EQ(statistics.GetYearValue(1849, 0), 0);
    EXPECT_EQ(statistics.GetYearValue(2500, 0), 0);
}

TEST_F(PlayersTest, RollOverBeforeTheHistoryStartsStoresNothing) {
    PlayerStatistics statistics;
    statistics.AddToRow(8, 10);
    statistics.OnNewYear(1850);
    EXPECT_EQ(statistics.GetValue(8, 1), 10);
    EXPECT_EQ(statistics.YearHistory().size(), 100u);
    statistics.OnNewYear(4000000000u);
    EXPECT_LE(statistics.YearHistory().size(), PlayerStatistics::kMaxHistoryYears);
}

TEST_F(PlayersTest, SectionRoundTripsByteIdenticallyAcrossARollOver) {
    SetYear(1900);
    CreatePlayers();
    CreateAIPlayer(-1, 0);
    GetPlayer(0)->SetCompanyName("Marrow Freight");
    GetPlayer(0)->Pay(1234, 9, 0);
    GetPlayer(0)->GetStatistics()->Book(14, 99);
    SetYear(1901);
    NotifyPlayersNewYear();
    GetPlayer(0)->Pay(-55, 4, 0);

    const Bytes stored = StoreSection([] { SavePlayers(); });
    DeleteAllPlayers();
    ASSERT_TRUE(LoadSection(stored, [] { EXPECT_TRUE(LoadPlayers()); }));
    ASSERT_NE(GetPlayer(0), nullptr);
    EXPECT_EQ(GetCurrentPlayer(), GetPlayer(0));
    EXPECT_EQ(GetPlayer(0)->GetCompanyName(), "Marrow Freight");
    EXPECT_EQ(GetPlayer(0)->GetStatistics()->GetYearValue(1900, 0), 1234);
    EXPECT_EQ(GetPlayer(0)->GetStatistics()->GetValue(4, 0), 55);
    EXPECT_EQ(GetPlayer(0)->GetStatistics()->GetAccount(6), 99);
    ASSERT_NE(GetPlayer(1), nullptr);
    EXPECT_FALSE(GetPlayer(1)->IsHumanPlayer());
    EXPECT_EQ(StoreSection([] { SavePlayers(); }), stored);

    // The year after the load rolls over as it would have without it.
    SetYear(1902);
    NotifyPlayersNewYear();
    EXPECT_EQ(GetPlayer(0)->GetStatistics()->GetYearValue(1901, 1), 55);
}

namespace {

// A "plr" section with one player, written by hand.
Bytes CraftedSection(const std::vector<std::pair<uint32_t, uint32_t>>& directory,
                     const std::function<void(ChunkWriter&)>& players, bool withCount = true) {
    ChunkWriter w;
    if (withCount) {
        w.Begin(ChunkTag("anz"));
        w.U32(uint32_t(directory.size()));
        w.End();
    }
    w.Begin(ChunkTag("objs"));
    w.U32(uint32_t(directory.size()));
    w.U32(8);
    for (const auto& [slot, kind] : directory) {
        w.U32(slot);
        w.U32(kind);
    }
    w.End();
    players(w);
    return WrapSection(w.bytes);
}

void NeutralPlayerChunks(ChunkWriter& w, int64_t money, bool oldForm, const std::string& name = "") {
    w.Begin(ChunkTag("plr1"));
    w.U64(uint64_t(money));
    w.U8(0);
    if (oldForm) {
        for (size_t i = 0; i < 33; ++i)
            w.U8(i < name.size() ? uint8_t(name[i]) : 0);
    } else {
        w.U8(3);
        w.U32(7);
    }
    w.End();
    w.Begin(ChunkTag("plr2"));
    w.End();
    w.Empty();
}

} // namespace

TEST_F(PlayersTest, MoneyBlockFormFollowsItsStoredSize) {
    // The short form, as this game writes it.
    Bytes bytes =
        CraftedSection({{4, kPlayerKindGod}}, [](ChunkWriter& w) { NeutralPlayerChunks(w, 42, false); });
    ASSERT_TRUE(LoadSection(bytes, [] { LoadPlayers(); }));
    ASSERT_NE(GetPlayer(4), nullptr);
    EXPECT_EQ(GetPlayer(4)->GetMoney(), 42);
    EXPECT_EQ(GetPlayer(4)->GetGraphicNumber(), 3);
    EXPECT_EQ(GetPlayer(4)->GetColourIndex(), 7u);

    // The older, longer form carries the manager's name instead.
    bytes = CraftedSection({{4, kPlayerKindGod}},
                           [](ChunkWriter& w) { NeutralPlayerChunks(w, -9, true, "Old Name"); });
    ASSERT_TRUE(LoadSection(bytes, [] { LoadPlayers(); }));
    EXPECT_EQ(GetPlayer(4)->GetMoney(), -9);
    EXPECT_EQ(GetPlayer(4)->GetManagerName(), "Old Name");
    EXPECT_EQ(GetPlayer(4)->GetGraphicNumber(), 0);
}

TEST_F(PlayersTest, DirectoryWithoutItsCountStillReadsThePlayers) {
    Bytes bytes = CraftedSection(
        {{4, kPlayerKindGod}}, [](ChunkWriter& w) { NeutralPlayerChunks(w, 42, false); }, false);
    ASSERT_TRUE(LoadSection(bytes, [] { LoadPlayers(); }));
    ASSERT_NE(GetPlayer(4), nullptr);
    EXPECT_EQ(GetPlayer(4)->GetMoney(), 42);
}

TEST_F(PlayersTest, BadDirectoryEntriesAreSkippedAndLaterPlayersStillLoad) {
    const uint32_t warnings = WorldWarningCount();
    Bytes bytes = CraftedSection(
        {{9, kPlayerKindHuman}, {4, kPlayerKindGod}, {4, kPlayerKindGod}, {2, 77}, {1, kPlayerKindGod}},
        [](ChunkWriter& w) {
            NeutralPlayerChunks(w, 1, false);
            NeutralPlayerChunks(w, 2, false);
            NeutralPlayerChunks(w, 3, false);
            NeutralPlayerChunks(w, 4, false);
            NeutralPlayerChunks(w, 5, false);
        });
    ASSERT_TRUE(LoadSection(bytes, [] { LoadPlayers(); }));
    ASSERT_NE(GetPlayer(4), nullptr);
    EXPECT_EQ(GetPlayer(4)->GetMoney(), 2);
    ASSERT_NE(GetPlayer(1), nullptr);
    EXPECT_EQ(GetPlayer(1)->GetMoney(), 5);
    EXPECT_EQ(GetPlayer(2), nullptr);
    EXPECT_EQ(WorldWarningCount(), warnings + 3);
}

TEST_F(PlayersTest, CountsBeyondTheChunkNeitherCrashNorAllocate) {
    ChunkWriter w;
    w.Begin(ChunkTag("anz"));
    w.U32(5);
    w.End();
    w.Begin(ChunkTag("objs"));
    w.U32(0x7FFFFFFF);
    w.U32(8);
    w.End();
    ASSERT_FALSE(LoadSection(WrapSection(w.bytes), [] { LoadPlayers(); }));
    EXPECT_EQ(GetPlayer(0), nullptr);
}

TEST_F(PlayersTest, ComputerCompaniesDrawDistinctNamesAndNeverHang) {
    WriteNames(". comment line\r\nAnna;Anna Cargo\r\nBert;Bert Lines\n\nCora;Cora Rail\nDirk;Dirk Ships");
    NetworkGame(true);
    CreatePlayers();
    SeedRuntimeRandom(7);
    std::set<std::string> companies;
    for (int i = 0; i < 4; ++i) {
        ComputerPlayerBase* player = CreateAIPlayer(-1, 0);
        ASSERT_NE(player, nullptr);
        EXPECT_GE(player->GetNameIndex(), 0);
        companies.insert(player->GetCompanyName());
    }
    EXPECT_EQ(companies, (std::set<std::string>{"Anna Cargo", "Bert Lines", "Cora Rail", "Dirk Ships"}));
    EXPECT_EQ(CreateAIPlayer(-1, 0), nullptr);
}

TEST_F(PlayersTest, EveryNameExcludedFallsBackToTheTable) {
    WriteNames("A;A Co\nB;B Co\nC;C Co\nD;D Co\n");
    NetworkGame(true);
    CreatePlayers();
    for (int i = 0; i < 3; ++i)
        CreateAIPlayer(-1, 0);
    // The last free name is the excluded one.
    std::set<int32_t> used;
    for (uint32_t slot = 0; slot < 3; ++slot)
        used.insert(static_cast<ComputerPlayerBase*>(GetPlayer(slot))->GetNameIndex());
    int32_t last = 0;
    while (used.count(last))
        ++last;
    ComputerPlayerBase* player = CreateAIPlayer(last, 0);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->GetNameIndex(), -1);
    EXPECT_EQ(player->GetCompanyName(), "Table Co 2");
}

TEST_F(PlayersTest, ShortOrMissingNameFileUsesTheTable) {
    const std::vector<std::string> table{"Table0;Table Co 0", "Table1;Table Co 1", "Table2;Table Co 2"};
    const char* files[] = {nullptr, "", "One;One Co\nTwo;Two Co\n.Three;no\n"};
    for (const char* text : files) {
        ClearAINames();
        if (text)
            WriteNames(text);
        EXPECT_EQ(GetAINames(), table);
    }
    // Three usable lines stay the list, but a choice needs four.
    ClearAINames();
    WriteNames("One;One Co\nTwo;Two Co\nThree;Three Co\n");
    EXPECT_EQ(GetAINames().size(), 3u);
    CreatePlayers();
    ComputerPlayerBase* player = CreateAIPlayer(-1, 0);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->GetManagerName(), "Table0");
    EXPECT_EQ(player->GetNameIndex(), -1);
}

TEST_F(PlayersTest, ComputerCompanyInTheFirstSlotKeepsItsNamesWithoutATableRow) {
    // A network game has no human company, so a computer company may take
    // slot 0, for which the table fallback names no row.
    NetworkGame(true);
    CreatePlayers();
    ComputerPlayerBase* player = CreateAIPlayer(-1, 0);
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(GetPlayerIndex(player), 0u);
    EXPECT_EQ(player->GetNameIndex(), -1);
    EXPECT_EQ(player->GetManagerName(), "Henrik");
    EXPECT_EQ(player->GetCompanyName(), "Unnamed Company");
}

TEST_F(PlayersTest, NameEntriesSplitAtTheFirstSemicolonAndLongLinesAreCut) {
    WriteNames("NoSplit\nA;B;C\n" + std::string(400, 'x') + "\nD;E\n");
    std::string name, company;
    PickAIName(0, name, company);
    EXPECT_EQ(name, "");
    EXPECT_EQ(company, "NoSplit");
    PickAIName(1, name, company);
    EXPECT_EQ(name, "A");
    EXPECT_EQ(company, "B;C");
    PickAIName(2, name, company);
    EXPECT_EQ(company.size(), 159u);
    PickAIName(99, name, company);
    EXPECT_EQ(name, "");
    EXPECT_EQ(company, "");
}
