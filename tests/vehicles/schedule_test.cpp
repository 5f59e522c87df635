#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A started game with the schedules installed; its world is current.
struct ScheduleTest : testing::Test {
    ScheduleTest() {
        previous = SetGameLogSink([this](const std::string& line) { log.push_back(line); });
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallVehicles(game);
        StartGame(game, 7);
    }
    ~ScheduleTest() override { SetGameLogSink(previous); }

    // Two schedules with a free id between them, stops of both kinds,
    // products, income and settings.
    void MakeSchedules() {
        VehicleSchedule* a = CreateSchedule(false, 0);
        VehicleSchedule* gap = CreateSchedule(false, 0);
        VehicleSchedule* b = CreateSchedule(true, 0);
        a->InsertStationStop(0, 0x100001, 0, 1);
        a->InsertWaypoint(1, 5, 6);
        a->InsertStationStop(2, 0x100002, 0, 1);
        a->AddProduct(0, 7);
        a->AddProduct(1, 998);
        a->SetWaitOption2(0, 2);
        a->SetFrequency(3);
        a->AddIncome(-500);
        a->RollIncomePeriod();
        a->AddIncome(1200);
        a->SetAuxValue(9);
        a->SetName("East line");
        std::array<uint32_t, VehicleSchedule::kSettingsWords> block{};
        block[0] = 0x100005;
        block[15] = 77;
        a->SetSettingsBlock(block);
        b->InsertStationStop(0, 0x100003, 0, 1);
        DeleteSchedule(uint32_t(gap->GetId()));
    }

    std::vector<uint8_t> Save(Game& g) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(g, bytes));
        return bytes;
    }

    // The "sch" section's content alone, on a stream of its own.
    static std::vector<uint8_t> SectionBytes() {
        std::vector<uint8_t> bytes;
        std::string text = "test";
        uint32_t version = 1;
        SaveStreamScope scope;
        EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
        uint32_t tag = ChunkTag("sch");
        BeginChunk(tag);
        EXPECT_TRUE(SaveSchedules());
        EndChunk();
        EXPECT_TRUE(CloseStream());
        return bytes;
    }
    static bool LoadSection(const std::vector<uint8_t>& bytes) {
        std::string text;
        uint32_t version = 0;
        SaveStreamScope scope;
        if (!BeginSaveStream(OpenMemoryReadStream(bytes), text, version))
            return false;
        uint32_t tag = 0;
        BeginChunk(tag);
        const bool ok = tag == ChunkTag("sch") && LoadSchedules();
        EndChunk();
        CloseStream();
        return ok;
    }

    Game game;
    VehicleWorldHooks hooks;
    std::vector<std::string> log;
    GameLogSink previous;
};

TEST_F(ScheduleTest, RegistersInTheFirstFreeEntry) {
    VehicleSchedule* a = CreateSchedule(false, 0);
    VehicleSchedule* b = CreateSchedule(false, 0);
    EXPECT_EQ(a->GetId(), 0);
    EXPECT_EQ(b->GetId(), 1);
    DeleteSchedule(0);
    EXPECT_EQ(GetSchedule(0), nullptr);
    EXPECT_EQ(CreateSchedule(false, 0)->GetId(), 0);
    EXPECT_EQ(GetScheduleCount(), 2u);
    EXPECT_EQ(GetSchedule(99), nullptr);
    VehicleSchedule loose(false, 0);
    EXPECT_EQ(loose.GetId(), -1);
}

TEST_F(ScheduleTest, ProductsCountOnlyTheUsedSlots) {
    VehicleSchedule s(false, 0);
    s.InsertStationStop(0, 0x100001, 0, 1);
    std::array<int32_t, StopRecord::kProductSlots> values;
    values.fill(-1);
    values[0] = 7;
    values[2] = 9;
    s.SetProducts(0, 3, values);
    EXPECT_EQ(s.GetProduct(0, 0), 7);
    EXPECT_EQ(s.GetProduct(0, 1), 9);
    EXPECT_EQ(s.GetProduct(0, 2), -1);
    EXPECT_EQ(s.GetProductCount(0), 2u);
    s.SetProducts(0, 2, values);
    EXPECT_EQ(s.GetProduct(0, 1), -1);
    // A used-slot byte past 64 reads as 64.
    s.SetProducts(0, 200, values);
    const int32_t* entries = nullptr;
    EXPECT_EQ(s.GetProducts(0, &entries), 64u);
    EXPECT_EQ(s.GetProducts(5, &entries), 0u);
    EXPECT_EQ(entries, nullptr);
}

TEST_F(ScheduleTest, AddAndRemoveProducts) {
    VehicleSchedule s(false, 0);
    s.InsertStationStop(0, 0x100001, 0, 1);
    for (int32_t p = 0; p < 64; ++p)
        s.AddProduct(0, p % 2 ? 5 : 6);
    s.AddProduct(0, 11);
    EXPECT_EQ(s.CountProductAtStop(0, 11), 0u);
    const int32_t* entries = nullptr;
    EXPECT_EQ(s.GetProducts(0, &entries), 64u);
    s.RemoveProduct(0, 5);
    EXPECT_EQ(entries[63], -1);
    EXPECT_EQ(entries[61], 5);
    EXPECT_EQ(s.GetProducts(0, &entries), 63u);
    s.RemoveProduct(0, 42);
    EXPECT_EQ(s.GetProducts(0, &entries), 63u);
}

TEST_F(ScheduleTest, StationStopsCountOverWaypoints) {
    VehicleSchedule s(false, 0);
    EXPECT_TRUE(s.LacksStations(false));
    EXPECT_EQ(s.StationStopIndex(0), -1);
    EXPECT_EQ(s.GetProduct(0, 0), -1);
    s.AddProduct(0, 3); // no station stop: nothing happens
    s.InsertWaypoint(0, 1, 2);
    s.InsertStationStop(1, 0x100001, 0, 1);
    s.InsertStationStop(2, 0x100002, 0, 1);
    EXPECT_EQ(s.GetStationStopCount(), 2u);
    EXPECT_EQ(s.GetStationIdOfStop(1), 0x100002u);
    // Past the station stops means station stop 0.
    EXPECT_EQ(s.GetStationIdOfStop(5), 0x100001u);
    EXPECT_FALSE(s.LacksStations(false));
    EXPECT_TRUE(s.LacksStations(true)); // the stations do not exist
    s.RemoveStation(0x100001);
    EXPECT_EQ(s.GetStopCount(), 2u);
    EXPECT_EQ(s.GetStationIdOfStop(0), 0x100002u);
}

TEST_F(ScheduleTest, RemovingAWaypointLeavesTheRoutes) {
    VehicleSchedule s(true, 0);
    s.InsertStationStop(0, 0x100001, 0, 1);
    EXPECT_EQ(s.GetRouteCount(), 1u);
    s.InsertWaypoint(0, 1, 2);
    s.InsertStationStop(2, 0x100002, 0, 1);
    EXPECT_EQ(s.GetRouteCount(), 2u);
    s.RemoveStop(0);
    EXPECT_EQ(s.GetRouteCount(), 2u);
    s.RemoveStop(1);
    EXPECT_EQ(s.GetRouteCount(), 1u);
    s.RemoveStop(0);
    EXPECT_EQ(s.GetRouteCount(), 0u);
    s.RemoveStop(0);
}

TEST_F(ScheduleTest, IsDueLimitsTheRate) {
    VehicleSchedule s(false, 0);
    EXPECT_TRUE(s.IsDue(10));
    EXPECT_TRUE(s.IsDue(10));
    s.SetFrequency(3);
    EXPECT_FALSE(s.IsDue(25010));
    EXPECT_TRUE(s.IsDue(25011));
    EXPECT_FALSE(s.IsDue(30000));
}

TEST_F(ScheduleTest, IncomeRollsOver) {
    VehicleSchedule s(false, 0);
    s.AddIncome(100);
    s.AddIncome(-30);
    s.RollIncomePeriod();
    EXPECT_EQ(s.GetPeriodIncome(1), 70);
    s.RollIncomePeriod();
    EXPECT_EQ(s.GetPeriodIncome(0), 0);
    EXPECT_EQ(s.GetPeriodIncome(1), 0);
    EXPECT_EQ(s.GetTotalIncome(), 70);
}

TEST_F(ScheduleTest, CopiesKeepTheSourceIdAndApplyBack) {
    MakeSchedules();
    VehicleSchedule* a = GetSchedule(0);
    std::unique_ptr<VehicleSchedule> copy = CopySchedule(*a, 0);
    EXPECT_EQ(copy->GetId(), 0);
    EXPECT_TRUE(copy->IsEqual(a));
    EXPECT_EQ(copy->GetTotalIncome(), 0);
    copy->InsertWaypoint(0, 3, 4);
    EXPECT_FALSE(copy->IsEqual(a));
    ASSERT_TRUE(ApplyScheduleCopy(*copy));
    EXPECT_EQ(a->GetStopCount(), 4u);
    copy->SetId(1); // a free entry
    EXPECT_FALSE(ApplyScheduleCopy(*copy));
}

TEST_F(ScheduleTest, FlatFormRoundTrips) {
    MakeSchedules();
    for (uint32_t id : {0u, 2u}) {
        const VehicleSchedule& source = *GetSchedule(id);
        std::vector<uint8_t> flat;
        ASSERT_TRUE(source.WriteFlat(flat, 32768));
        VehicleSchedule read(false, 0);
        ASSERT_TRUE(read.ReadFlat(flat));
        EXPECT_TRUE(read.IsEqual(&source));
        EXPECT_EQ(read.GetName(), source.GetName());
        EXPECT_EQ(read.GetId(), source.GetId());
        std::vector<uint8_t> again;
        ASSERT_TRUE(read.WriteFlat(again, 32768));
        EXPECT_EQ(again, flat);
        EXPECT_FALSE(source.WriteFlat(flat, 100));
    }
}

TEST_F(ScheduleTest, DamagedFlatFormsAreRefused) {
    MakeSchedules();
    std::vector<uint8_t> flat;
    ASSERT_TRUE(GetSchedule(0)->WriteFlat(flat, 32768));
    VehicleSchedule target(false, 0);
    target.InsertWaypoint(0, 1, 1);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"cut short", std::vector<uint8_t>(flat.begin(), flat.end() - 1)});
    cases.push_back({"trailing", flat});
    cases.back().bytes.push_back(0);
    cases.push_back({"huge stop count", flat});
    plat::StoreLE32(cases.back().bytes.data(), 0xFFFFFFFFu);
    cases.push_back({"bad mode", flat});
    plat::StoreLE32(cases.back().bytes.data() + flat.size() - 8, 9);
    cases.push_back({"huge name", flat});
    plat::StoreLE32(cases.back().bytes.data() + flat.size() - 12 - 9, 0x7FFFFFFFu);
    for (const Case& c : cases) {
        log.clear();
        EXPECT_FALSE(target.ReadFlat(c.bytes)) << c.what;
        EXPECT_EQ(target.GetStopCount(), 1u) << c.what;
        EXPECT_FALSE(log.empty()) << c.what;
    }
}

TEST_F(ScheduleTest, SectionRoundTripsByteIdentically) {
    MakeSchedules();
    const std::vector<uint8_t> first = SectionBytes();
    DeleteAllSchedules();
    ASSERT_TRUE(LoadSection(first));
    EXPECT_EQ(GetScheduleCount(), 3u);
    EXPECT_EQ(GetSchedule(1), nullptr);
    ASSERT_NE(GetSchedule(0), nullptr);
    EXPECT_EQ(GetSchedule(0)->GetName(), "East line");
    EXPECT_EQ(GetSchedule(0)->GetPeriodIncome(1), -500);
    EXPECT_EQ(GetSchedule(2)->GetRouteCount(), 1u);
    EXPECT_EQ(SectionBytes(), first);
    // The freed id is taken first again.
    EXPECT_EQ(CreateSchedule(false, 0)->GetId(), 1);
}

TEST_F(ScheduleTest, SavedGameRoundTripsAndResetDeletes) {
    MakeSchedules();
    const std::vector<uint8_t> first = Save(game);
    DeleteAllSchedules();
    ASSERT_TRUE(LoadGameFromMemory(game, first));
    EXPECT_EQ(GetScheduleCount(), 3u);
    EXPECT_EQ(Save(game), first);
    hooks.ResetWorld();
    EXPECT_EQ(GetScheduleCount(), 0u);
    MakeSchedules();
    hooks.NewGameInit(64, 64);
    EXPECT_EQ(GetScheduleCount(), 0u);
}

TEST_F(ScheduleTest, DamagedSectionsAreRefusedAndKeepTheList) {
    MakeSchedules();
    const std::vector<uint8_t> good = SectionBytes();
    // The section's content starts after the header chunk and the "sch" header.
    const size_t header = plat::LoadLE32(good.data() + 4);
    const size_t content = header + 8;
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
    };
    // sdat: tag, size, count, element size, ids.
    const Case cases[] = {
        {"sdat tag", content, 0x12345678u},
        {"sdat count", content + 8, 1000000u},
        {"id beyond any list", content + 16, 0x7FFFFFFFu},
        {"ids out of order", content + 20, 0u},
        {"first schedule's size", content + 24 + 4, 3u},
        {"stop count", content + 24 + 8 + 8 + 8, 50000u},
        {"stop size", content + 24 + 8 + 8 + 8 + 4, 50000u},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        ASSERT_LT(c.offset + 4, bytes.size()) << c.what;
        plat::StoreLE32(bytes.data() + c.offset, c.value);
        log.clear();
        EXPECT_FALSE(LoadSection(bytes)) << c.what;
        EXPECT_FALSE(log.empty()) << c.what;
        EXPECT_EQ(GetScheduleCount(), 3u) << c.what;
        EXPECT_EQ(GetSchedule(0)->GetName(), "East line") << c.what;
    }
}

TEST_F(ScheduleTest, AnOutOfRangeModeIsRepairedOnLoad) {
    VehicleSchedule* s = CreateSchedule(false, 0);
    s->SetMode(9);
    const std::vector<uint8_t> bytes = SectionBytes();
    DeleteAllSchedules();
    ASSERT_TRUE(LoadSection(bytes));
    EXPECT_EQ(GetSchedule(0)->GetMode(), 0u);
    EXPECT_FALSE(log.empty());
}

} // namespace
