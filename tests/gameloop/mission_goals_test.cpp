#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "gameloop/game_log.h"
#include "gameloop/mission_goals.h"
#include "platform/endian.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FakeWorld : MissionWorld {
    uint32_t year = 1900;
    std::optional<int64_t> money = 0;
    std::optional<bool> towns;
    uint32_t CurrentYear() const override { return year; }
    std::optional<int64_t> LocalMoney() const override { return money; }
    std::optional<bool> TownConnected(uint32_t) const override { return towns; }
};

MissionGoal Goal(GoalKind kind, uint64_t value) {
    return {GoalState::Open, kind, value};
}

TEST(MissionGoals, DecideAsTheirGoalsAreReachedOrFail) {
    struct Case {
        const char* name;
        std::vector<MissionGoal> goals;
        uint32_t year;
        int64_t money;
        bool decided;
        MissionOutcome outcome;
    } cases[] = {
        {"money reached before the deadline",
         {Goal(GoalKind::Money, 500), Goal(GoalKind::Deadline, 1900)},
         1900,
         500,
         true,
         MissionOutcome::Won},
        {"money short in the deadline year",
         {Goal(GoalKind::Money, 500), Goal(GoalKind::Deadline, 1900)},
         1900,
         499,
         false,
         MissionOutcome::None},
        {"deadline passed",
         {Goal(GoalKind::Money, 500), Goal(GoalKind::Deadline, 1900)},
         1901,
         0,
         true,
         MissionOutcome::Lost},
        {"reached in the check the deadline passes",
         {Goal(GoalKind::Money, 500), Goal(GoalKind::Deadline, 1900)},
         1901,
         500,
         true,
         MissionOutcome::Won},
        {"only a deadline", {Goal(GoalKind::Deadline, 1900)}, 1900, 0, true, MissionOutcome::Won},
        // Without a deadline every goal must be reached, not all but one.
        {"two goals, one reached, no deadline",
         {Goal(GoalKind::Money, 500), Goal(GoalKind::Money, 900)},
         1900,
         600,
         false,
         MissionOutcome::None},
        {"two deadlines and a goal reached",
         {Goal(GoalKind::Deadline, 1950), Goal(GoalKind::Money, 5), Goal(GoalKind::Deadline, 1960)},
         1900,
         5,
         true,
         MissionOutcome::Won},
        {"negative money goal",
         {Goal(GoalKind::Money, uint64_t(-100)), Goal(GoalKind::Deadline, 1900)},
         1900,
         -50,
         true,
         MissionOutcome::Won},
        {"a town goal without an answer is not reached",
         {Goal(GoalKind::TownConnected, 3), Goal(GoalKind::Deadline, 1900)},
         1900,
         0,
         false,
         MissionOutcome::None},
    };
    for (const Case& c : cases) {
        MissionGoals goals;
        for (const MissionGoal& g : c.goals)
            ASSERT_TRUE(goals.Add(g));
        FakeWorld world;
        world.year = c.year;
        world.money = c.money;
        goals.Check(world);
        EXPECT_EQ(goals.Decided(), c.decided) << c.name;
        EXPECT_EQ(goals.Outcome(), c.outcome) << c.name;
    }
}

TEST(MissionGoals, ADecidedMissionStaysDecided) {
    MissionGoals goals;
    goals.Add(Goal(GoalKind::Money, 10));
    goals.Add(Goal(GoalKind::Deadline, 1900));
    FakeWorld world;
    world.money = 10;
    goals.Check(world);
    world.year = 2000;
    goals.Check(world);
    EXPECT_EQ(goals.Outcome(), MissionOutcome::Won);
    EXPECT_FALSE(goals.Add({GoalState::Open, GoalKind(7), 0}));
}

// Saves the goals inside a "WIN" chunk and returns the stream's bytes.
std::vector<uint8_t> Save(MissionGoals& goals) {
    std::vector<uint8_t> bytes;
    std::string header(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(std::make_unique<MemoryWriteStream>(bytes), header, version));
    uint32_t tag = ChunkTag("WIN");
    BeginChunk(tag);
    EXPECT_TRUE(goals.Serialize());
    EndChunk();
    EXPECT_TRUE(CloseStream());
    return bytes;
}

bool Load(const std::vector<uint8_t>& bytes, MissionGoals& goals) {
    std::string header;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(bytes), header, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    bool ok = goals.Serialize();
    EndChunk();
    return CloseStream() && ok;
}

// The offset of the first goal record: after the header chunk, the section
// header, "win1" (8 + 12 bytes), the "win2" header and the list header.
size_t FirstRecord(const std::vector<uint8_t>& bytes) {
    size_t head = plat::LoadLE32(bytes.data() + 4);
    return head + 8 + 20 + 8 + 8;
}

TEST(MissionGoals, SaveAndLoadKeepGoalsAndOutcome) {
    MissionGoals goals;
    goals.Add(Goal(GoalKind::StatisticSumColumn2, 0x1122334455667788));
    goals.Add(Goal(GoalKind::Deadline, 1999));
    FakeWorld world;
    world.year = 2000;
    goals.Check(world);
    MissionGoals loaded;
    ASSERT_TRUE(Load(Save(goals), loaded));
    EXPECT_TRUE(loaded.Decided());
    EXPECT_EQ(loaded.Outcome(), MissionOutcome::Lost);
    ASSERT_EQ(loaded.Goals().size(), 2u);
    EXPECT_EQ(loaded.Goals()[0].value, 0x1122334455667788u);
    EXPECT_EQ(loaded.Goals()[1].state, GoalState::Failed);
}

TEST(MissionGoals, LoadsRecordsOfAnotherSize) {
    // Records of 20 bytes (4 extra) and of 8 bytes (no value) both load.
    for (uint32_t size : {20u, 8u}) {
        MissionGoals goals;
        goals.Add(Goal(GoalKind::Money, 77));
        std::vector<uint8_t> bytes = Save(goals);
        size_t record = FirstRecord(bytes);
        std::vector<uint8_t> changed(bytes.begin(), bytes.begin() + record);
        plat::StoreLE32(changed.data() + record - 4, size);
        std::vector<uint8_t> stored(bytes.begin() + record, bytes.begin() + record + 16);
        stored.resize(size, 0xAB);
        changed.insert(changed.end(), stored.begin(), stored.end());
        changed.insert(changed.end(), bytes.begin() + record + 16, bytes.end());
        int32_t delta = int32_t(size) - 16;
        size_t head = plat::LoadLE32(bytes.data() + 4);
        for (size_t at : {head + 4, head + 8 + 20 + 4})
            plat::StoreLE32(changed.data() + at, plat::LoadLE32(changed.data() + at) + delta);

        MissionGoals loaded;
        ASSERT_TRUE(Load(changed, loaded)) << size;
        ASSERT_EQ(loaded.Goals().size(), 1u);
        EXPECT_EQ(loaded.Goals()[0].kind, GoalKind::Money);
        EXPECT_EQ(loaded.Goals()[0].value, size == 20 ? 77u : 0u);
    }
}

TEST(MissionGoals, DamagedRecordsFailTheLoad) {
    auto quiet = SetGameLogSink([](const std::string&) {});
    MissionGoals goals;
    goals.Add(Goal(GoalKind::Money, 1));
    std::vector<uint8_t> bytes = Save(goals);
    size_t record = FirstRecord(bytes);
    // Offsets from the first record: its state, its kind, and the list's count
    // 8 bytes before it.
    for (auto [offset, value] : {std::pair<int32_t, uint32_t>{0, 3}, {4, 7}, {-8, 1000000}}) {
        std::vector<uint8_t> damaged = bytes;
        plat::StoreLE32(damaged.data() + ptrdiff_t(record) + offset, value);
        MissionGoals loaded;
        loaded.Add(Goal(GoalKind::Money, 5));
        EXPECT_FALSE(Load(damaged, loaded));
        EXPECT_TRUE(loaded.Goals().empty());
    }
    SetGameLogSink(quiet);
}

} // namespace
