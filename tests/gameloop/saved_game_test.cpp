#include "files/chunk_stream.h"
#include "files/crc32.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "tests/files/file_size_limit.h"
#include "tests/files/scratch_folder.h"
#include "world/game_clock.h"
#include "world/random_streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct SavedGame : testing::Test {
    SavedGame() {
        previous = SetGameLogSink([this](const std::string& line) { log.push_back(line); });
        StartGame(game, 1234);
        game.Goals().Add({GoalState::Open, GoalKind::Money, 1000});
        game.Goals().Add({GoalState::Open, GoalKind::Deadline, 1990});
        Run(game, 4000);
    }
    ~SavedGame() override { SetGameLogSink(previous); }

    static void Run(Game& g, int frames) {
        for (int i = 0; i < frames; ++i) {
            g.AdvanceFrame(25);
            g.Random().Next();
            g.Step();
        }
    }
    std::vector<uint8_t> Bytes(Game& g) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(g, bytes));
        return bytes;
    }

    Game game;
    std::vector<std::string> log;
    GameLogSink previous;
};

// The top-level chunks of a saved game: the header, then the sections.
std::vector<std::pair<uint32_t, size_t>> TopChunks(const std::vector<uint8_t>& bytes) {
    std::vector<std::pair<uint32_t, size_t>> chunks;
    for (size_t pos = 0; pos + 8 <= bytes.size();) {
        chunks.push_back({plat::LoadLE32(bytes.data() + pos), pos});
        pos += plat::LoadLE32(bytes.data() + pos + 4);
    }
    return chunks;
}

TEST_F(SavedGame, HoldsTheHeaderAndSixteenSectionsInOrder) {
    std::vector<uint8_t> bytes = Bytes(game);
    auto chunks = TopChunks(bytes);
    ASSERT_EQ(chunks.size(), 17u);
    EXPECT_EQ(chunks[0].first, kHeaderChunkTag);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(chunks[i + 1].first, kSaveSectionTags[i]) << i;
    EXPECT_EQ(plat::LoadLE32(bytes.data() + chunks[10].second), 0x00004743u); // "GC"
}

TEST_F(SavedGame, SaveLoadSaveIsByteIdentical) {
    std::vector<uint8_t> first = Bytes(game);
    Game other;
    ASSERT_TRUE(LoadGameFromMemory(other, first));
    EXPECT_EQ(Bytes(other), first);
    EXPECT_EQ(other.Goals().Goals().size(), 2u);
    EXPECT_EQ(other.Times().lastTownUpdate, game.Times().lastTownUpdate);
}

TEST_F(SavedGame, ALoadedGameContinuesExactlyAsTheOriginal) {
    Game loaded;
    ASSERT_TRUE(LoadGameFromMemory(loaded, Bytes(game)));
    Run(game, 3000);
    Run(loaded, 3000);
    EXPECT_EQ(loaded.Random().State(), game.Random().State());
    EXPECT_EQ(loaded.Clock().GetTickCount(), game.Clock().GetTickCount());
    uint32_t a = 0, b = 0;
    std::string reason;
    ASSERT_TRUE(HashSavedGame(Bytes(game), a, reason));
    ASSERT_TRUE(HashSavedGame(Bytes(loaded), b, reason));
    EXPECT_EQ(a, b);
}

// A town table of 100 places, as far as the saved game sees it.
struct TownCursor : WorldHooks {
    uint32_t cursor = 0;
    uint32_t GetTownCursor() const override { return cursor; }
    bool SetTownCursor(uint32_t value) override {
        if (value >= 100)
            return false;
        cursor = value;
        return true;
    }
};

// The session section's trailing chunk "cont": its offset in a saved game.
size_t ContinuationChunk(const std::vector<uint8_t>& bytes) {
    size_t section = TopChunks(bytes)[10].second;
    size_t end = section + plat::LoadLE32(bytes.data() + section + 4);
    // The section's header, then the session's four sized values.
    for (size_t pos = section + 8 + 4 * 8; pos + 8 <= end; pos += plat::LoadLE32(bytes.data() + pos + 4))
        if (plat::LoadLE32(bytes.data() + pos) == ChunkTag("cont"))
            return pos;
    ADD_FAILURE() << "no chunk cont";
    return 0;
}

void FixChecksum(std::vector<uint8_t>& bytes) {
    size_t head = plat::LoadLE32(bytes.data() + 4);
    plat::StoreLE32(bytes.data() + head - 4, Crc32(std::span<const uint8_t>(bytes).subspan(head)));
}

TEST_F(SavedGame, TheLoopStateTravelsInTheSessionsTrailingChunk) {
    TownCursor towns;
    towns.cursor = 7;
    game.SetWorldHooks(&towns);
    game.Times() = {101, 202, 303, 404, 505};
    SeedRuntimeRandom(111);
    HouseRandomStream().Seed(222);
    std::vector<uint8_t> bytes = Bytes(game);

    SeedRuntimeRandom(1);
    HouseRandomStream().Seed(2);
    TownCursor loadedTowns;
    Game loaded;
    loaded.SetWorldHooks(&loadedTowns);
    ASSERT_TRUE(LoadGameFromMemory(loaded, bytes));
    const LoopTimes& t = loaded.Times();
    EXPECT_EQ(std::vector<uint32_t>(
                  {t.lastTownUpdate, t.tickTime, t.lastSecondPass, t.lastProduction, t.lastScript}),
              std::vector<uint32_t>({101, 202, 303, 404, 505}));
    EXPECT_EQ(loadedTowns.cursor, 7u);
    EXPECT_EQ(GetRuntimeRandomState(), 111u);
    EXPECT_EQ(HouseRandomStream().State(), 222u);
    EXPECT_EQ(Bytes(loaded), bytes);
}

// A file from before the chunk: the loop's times are those a load sets,
// the towns' timer at the clock's time, and the streams stay as they are.
TEST_F(SavedGame, AFileWithoutTheTrailingChunkLoadsWithTheTimesALoadSets) {
    game.Times() = {101, 202, 303, 404, 505};
    std::vector<uint8_t> bytes = Bytes(game);
    size_t chunk = ContinuationChunk(bytes);
    uint32_t chunkSize = plat::LoadLE32(bytes.data() + chunk + 4);
    bytes.erase(bytes.begin() + chunk, bytes.begin() + chunk + chunkSize);
    size_t section = TopChunks(bytes)[10].second;
    plat::StoreLE32(bytes.data() + section + 4, plat::LoadLE32(bytes.data() + section + 4) - chunkSize);
    FixChecksum(bytes);

    TownCursor towns;
    towns.cursor = 5;
    Game loaded;
    loaded.SetWorldHooks(&towns);
    // The loading game's own world is current: its streams are the ones kept.
    SeedRuntimeRandom(31);
    HouseRandomStream().Seed(32);
    ASSERT_TRUE(LoadGameFromMemory(loaded, bytes));
    const LoopTimes& t = loaded.Times();
    const uint32_t now = loaded.Clock().GetTime();
    EXPECT_EQ(now, game.Clock().GetTime());
    EXPECT_EQ(std::vector<uint32_t>(
                  {t.lastTownUpdate, t.tickTime, t.lastSecondPass, t.lastProduction, t.lastScript}),
              std::vector<uint32_t>({now, now, 0, 0, 0}));
    EXPECT_EQ(towns.cursor, 5u);
    EXPECT_EQ(GetRuntimeRandomState(), 31u);
    EXPECT_EQ(HouseRandomStream().State(), 32u);
}

TEST_F(SavedGame, ADamagedTrailingChunkIsRefusedAndLeavesTheRunningGame) {
    const std::vector<uint8_t> good = Bytes(game);
    const size_t chunk = ContinuationChunk(good);
    struct Case {
        const char* name;
        size_t offset; // from the chunk's start
        uint32_t value;
        const char* logged;
    };
    const Case cases[] = {
        {"a town time past the clock's largest", 12, kLargestGameTime + 1, "past the clock's largest"},
        {"a script time at the end of 32 bits", 28, 0xFFFFFFFFu, "past the clock's largest"},
        {"a town cursor outside the table", 32, 100, "town cursor 100"},
        {"a field cut short", 8, 28, "cut short"},
    };
    TownCursor towns;
    Game running;
    running.SetWorldHooks(&towns);
    StartGame(running, 77);
    Run(running, 300);
    const std::vector<uint8_t> before = Bytes(running);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        plat::StoreLE32(bytes.data() + chunk + c.offset, c.value);
        FixChecksum(bytes);
        log.clear();
        EXPECT_FALSE(LoadGameFromMemory(running, bytes));
        EXPECT_EQ(Bytes(running), before);
        bool logged = false;
        for (const std::string& line : log)
            logged = logged || line.find(c.logged) != std::string::npos;
        EXPECT_TRUE(logged) << (log.empty() ? "" : log.front());
    }
}

TEST_F(SavedGame, AClockPastItsLargestTimeIsRefused) {
    std::vector<uint8_t> bytes = Bytes(game);
    // The "time" section: its header, then the frame clock's sized field
    // whose first word is the game time.
    const size_t time = TopChunks(bytes)[1].second + 8 + 4;
    for (uint32_t value : {kLargestGameTime + 1, 0xFFFFFFFFu}) {
        plat::StoreLE32(bytes.data() + time, value);
        FixChecksum(bytes);
        Game loaded;
        log.clear();
        EXPECT_FALSE(LoadGameFromMemory(loaded, bytes)) << value;
        ASSERT_FALSE(log.empty());
        EXPECT_NE(log.front().find("past its largest"), std::string::npos) << log.front();
    }
    plat::StoreLE32(bytes.data() + time, kLargestGameTime);
    FixChecksum(bytes);
    Game loaded;
    EXPECT_TRUE(LoadGameFromMemory(loaded, bytes));
    // The clock stops at its largest time.
    loaded.AdvanceFrame(1000);
    EXPECT_EQ(loaded.Clock().GetTime(), kLargestGameTime);
}

TEST_F(SavedGame, ATruncatedFileFailsAndLeavesTheRunningGame) {
    std::vector<uint8_t> bytes = Bytes(game);
    Game other;
    StartGame(other, 99);
    Run(other, 10);
    std::vector<uint8_t> before = Bytes(other);
    // Every chunk boundary, nested ones included, and a few bytes inside.
    for (size_t cut = 0; cut < bytes.size(); cut += (cut < 200 ? 1 : 7)) {
        std::vector<uint8_t> cutFile(bytes.begin(), bytes.begin() + cut);
        ASSERT_FALSE(LoadGameFromMemory(other, cutFile)) << cut;
    }
    EXPECT_EQ(Bytes(other), before);
}

TEST_F(SavedGame, FlippedBytesFailTheLoadAndLeaveTheRunningGame) {
    std::vector<uint8_t> bytes = Bytes(game);
    Game other;
    StartGame(other, 99);
    std::vector<uint8_t> before = Bytes(other);
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::vector<uint8_t> flipped = bytes;
        flipped[at] ^= 0x40;
        EXPECT_FALSE(LoadGameFromMemory(other, flipped)) << at;
    }
    EXPECT_EQ(Bytes(other), before);
}

TEST_F(SavedGame, ADamagedSectionBehindACorrectChecksumRestoresTheWorld) {
    std::vector<uint8_t> bytes = Bytes(game);
    // Damage the stored map size, then make the checksum fit again.
    auto chunks = TopChunks(bytes);
    size_t map = chunks[3].second;
    plat::StoreLE32(bytes.data() + map + 12, 4097);
    size_t head = plat::LoadLE32(bytes.data() + 4);
    plat::StoreLE32(bytes.data() + head - 4, Crc32(std::span<const uint8_t>(bytes).subspan(head)));
    Game other;
    StartGame(other, 5);
    other.SetMapSize(64, 32);
    std::vector<uint8_t> before = Bytes(other);
    EXPECT_FALSE(LoadGameFromMemory(other, bytes));
    EXPECT_EQ(Bytes(other), before);
    EXPECT_TRUE(other.IsStarted());
}

TEST_F(SavedGame, FilesAreReplacedWholeOrNotAtAll) {
    ScratchFolder folder;
    std::string path = folder / "game.mds";
    ASSERT_TRUE(SaveGame(game, path));
    Game loaded;
    EXPECT_FALSE(LoadGame(loaded, folder / "missing.mds"));
    EXPECT_FALSE(loaded.IsStarted());
    ASSERT_TRUE(LoadGame(loaded, path));
    EXPECT_EQ(Bytes(loaded), Bytes(game));
    // A file that cannot be opened leaves a running game as it was.
    std::vector<uint8_t> running = Bytes(game);
    EXPECT_FALSE(LoadGame(game, folder / "missing.mds"));
    EXPECT_TRUE(game.IsStarted());
    EXPECT_EQ(Bytes(game), running);
    // A save into a folder that does not exist fails and writes nothing.
    EXPECT_FALSE(SaveGame(game, folder / "no/such/folder.mds"));
    // The packed variant round-trips too.
    ASSERT_TRUE(SaveGame(game, folder / "game.mdp", true));
    Game unpacked;
    ASSERT_TRUE(LoadGame(unpacked, folder / "game.mdp", true));
    EXPECT_EQ(Bytes(unpacked), Bytes(game));
}

// A failed save says why, in the writer's words: the folder that is
// missing, the device in the way, the disk that is full.
TEST_F(SavedGame, AFailedSaveSaysWhy) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "a-folder.mds");
    struct Case {
        std::string path;
        const char* reason;
        rlim_t fileSizeLimit;
    } cases[] = {
        {folder / "no/such/folder.mds", "No such file or directory", RLIM_INFINITY},
        {"/dev/null", "a character device, not a regular file", RLIM_INFINITY},
        {folder / "a-folder.mds", "a folder, not a regular file", RLIM_INFINITY},
        {folder / "full.mds", "File too large", 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        log.clear();
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.fileSizeLimit != RLIM_INFINITY)
                limit = std::make_unique<FileSizeLimit>(c.fileSizeLimit);
            EXPECT_FALSE(SaveGame(game, c.path));
        }
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find("cannot be written"), std::string::npos) << log[0];
        EXPECT_NE(log[0].find(c.reason), std::string::npos) << log[0];
    }
}

// A plain file is checked and loaded a piece at a time: the same damage
// that a load from memory refuses is refused from disk, and the running
// game stays as it was.
TEST_F(SavedGame, DamagedFilesOnDiskLeaveTheRunningGame) {
    ScratchFolder folder;
    std::vector<uint8_t> good = Bytes(game);
    auto chunks = TopChunks(good);
    ASSERT_EQ(chunks.size(), 17u);
    std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
    for (auto [tag, at] : chunks) {
        cases.push_back({"cut before " + ChunkTagName(tag), {good.begin(), good.begin() + at}});
        cases.push_back({"cut inside " + ChunkTagName(tag), {good.begin(), good.begin() + at + 5}});
    }
    cases.push_back({"cut at the last byte", {good.begin(), good.end() - 1}});
    std::vector<uint8_t> flipped = good;
    flipped[chunks[3].second + 9] ^= 0x40;
    cases.push_back({"a flipped byte", flipped});
    std::vector<uint8_t> bigHead = good;
    plat::StoreLE32(bigHead.data() + 4, 1u << 20);
    cases.push_back({"a header larger than the file", bigHead});
    cases.push_back({"an empty file", {}});

    Game running;
    StartGame(running, 77);
    Run(running, 300);
    const std::vector<uint8_t> before = Bytes(running);
    for (const auto& [name, bytes] : cases) {
        const std::string path = folder / "damaged.mds";
        ASSERT_TRUE(plat::WriteFileAtomically(path, bytes.data(), bytes.size()));
        EXPECT_FALSE(LoadGame(running, path)) << name;
        EXPECT_EQ(Bytes(running), before) << name;
    }
    const std::string path = folder / "good.mds";
    ASSERT_TRUE(plat::WriteFileAtomically(path, good.data(), good.size()));
    ASSERT_TRUE(LoadGame(running, path));
    EXPECT_EQ(Bytes(running), good);
}

struct Autosave : SavedGame {
    Autosave() {
        game.Autosave().enabled = true;
        game.Autosave().baseFolder = folder.Path();
        game.Autosave().name = "Game";
    }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::directory_iterator(folder / "save"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Runs the game to the first date step of the next year.
    void RunToNextYear() {
        uint64_t next = (game.Clock().GetTickCount() / kCalendarTicksPerYear + 1) * kCalendarTicksPerYear;
        game.GetFrameClock()->SetTickCount(next - 1);
        Run(game, 4);
    }
    ScratchFolder folder;
};

TEST_F(Autosave, KeepsExactlyOneFilePerGame) {
    folder.Write("save/Other_map_1850.mds", "a user's save");
    folder.Write("save/Game_final.mds", "not an autosave");
    RunToNextYear();
    RunToNextYear();
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"Game_final.mds", "Game_map_1852.mds", "Other_map_1850.mds"}));
    Game loaded;
    EXPECT_TRUE(LoadGame(loaded, folder / "save/Game_map_1852.mds"));
}

TEST_F(Autosave, AFailedWriteKeepsThePreviousFile) {
    RunToNextYear();
    ASSERT_EQ(Files(), (std::vector<std::string>{"Game_map_1851.mds"}));
    // A folder in the way of the next year's file makes its save fail.
    std::filesystem::create_directories(folder / "save/Game_map_1852.mds");
    RunToNextYear();
    EXPECT_TRUE(plat::FileExists(folder / "save/Game_map_1851.mds"));
}

TEST_F(Autosave, AReadOnlyAutosaveIsKeptAndNoneIsWritten) {
    RunToNextYear();
    std::filesystem::permissions(folder / "save/Game_map_1851.mds", std::filesystem::perms::owner_read);
    RunToNextYear();
    EXPECT_EQ(Files(), (std::vector<std::string>{"Game_map_1851.mds"}));
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("\"Game_map_1851.mds\""), std::string::npos);
}

TEST_F(Autosave, OffStillRunsTheYearlyUpdates) {
    struct Years : WorldHooks {
        int years = 0;
        void YearlyUpdates() override { ++years; }
    } world;
    game.SetWorldHooks(&world);
    game.Autosave().enabled = false;
    RunToNextYear();
    EXPECT_EQ(world.years, 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "save"));
}

} // namespace
