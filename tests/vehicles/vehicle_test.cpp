#include "data/generated/vehicle_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "transport/station.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_services.h"
#include "world/object_manager.h"
#include "world/player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int32_t kBus = 1;
constexpr int32_t kTrain = 2;

// A started game with the vehicles installed, a bus and a train type and
// a rich company 0.
struct VehicleTest : testing::Test {
    VehicleTest() {
        previous = SetGameLogSink([this](const std::string& line) { log.push_back(line); });
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallVehicles(game);
        StartGame(game, 3);
        VehicleTable::Clear();
        VehicleRow* bus = VehicleTable::GetOrCreateRow(kBus);
        bus->Name = "Bus";
        bus->ConnectionType = 0;
        bus->PurchasePrice = 1000;
        bus->TravelTimeMsPerSquare = 400;
        bus->Capacity = 1;
        VehicleRow* train = VehicleTable::GetOrCreateRow(kTrain);
        train->Name = "Train";
        train->ConnectionType = 1;
        train->PurchasePrice = 5000;
        train->Capacity = 4;
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
    }
    ~VehicleTest() override {
        DeleteAllMapObjects();
        VehicleTable::Clear();
        SetGameLogSink(previous);
    }

    Vehicle* Buy(int32_t type, uint8_t player = 0) {
        const std::vector<Vehicle*> before = AllVehicles();
        BuyVehicleCommand buy(uint32_t(type), 0, 1, 0);
        buy.SetPlayerId(player);
        game.Post(buy);
        game.DrainCommands();
        for (Vehicle* v : AllVehicles())
            if (std::find(before.begin(), before.end(), v) == before.end())
                return v;
        return nullptr;
    }

    static std::vector<uint8_t> SaveObjects() {
        std::vector<uint8_t> bytes;
        std::string text = "test";
        uint32_t version = 1;
        SaveStreamScope scope;
        EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
        uint32_t tag = ChunkTag("obj");
        BeginChunk(tag);
        EXPECT_TRUE(SaveMapObjects());
        EndChunk();
        EXPECT_TRUE(CloseStream());
        return bytes;
    }
    static bool LoadObjects(const std::vector<uint8_t>& bytes) {
        std::string text;
        uint32_t version = 0;
        SaveStreamScope scope;
        if (!BeginSaveStream(OpenMemoryReadStream(bytes), text, version))
            return false;
        uint32_t tag = 0;
        BeginChunk(tag);
        const bool ok = tag == ChunkTag("obj") && LoadMapObjects();
        EndChunk();
        return CloseStream() && ok;
    }

    Game game;
    VehicleWorldHooks hooks;
    std::vector<std::string> log;
    GameLogSink previous;
};

TEST_F(VehicleTest, BuyingSetsUpAnIdleVehicleNumberedPerOwnerAndMode) {
    Vehicle* first = Buy(kBus);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetState(), kStateIdle);
    EXPECT_EQ(first->GetNumber(), 1u);
    EXPECT_EQ(first->Cars().size(), Vehicle::kCars);
    EXPECT_EQ(first->Trail().size(), Vehicle::kTrail);
    EXPECT_FLOAT_EQ(first->GetCondition(), 100.0f);
    Vehicle* second = Buy(kBus);
    Vehicle* third = Buy(kBus);
    EXPECT_EQ(third->GetNumber(), 3u);
    SellVehicleCommand sell(second->GetId(), 0);
    game.Post(sell);
    game.DrainCommands();
    EXPECT_EQ(Buy(kBus)->GetNumber(), 4u);
    EXPECT_EQ(Buy(kTrain)->GetNumber(), 1u);
    EXPECT_EQ(AllVehicles().size(), 4u);
}

TEST_F(VehicleTest, HostileCommandsChangeNothingAndSayWhy) {
    Vehicle* bus = Buy(kBus);
    const size_t count = AllVehicles().size();
    log.clear();
    BuyVehicleCommand unknown(77, 0, 1, 0);
    game.Post(unknown);
    SellVehicleCommand foreign(bus->GetId(), 1);
    foreign.SetPlayerId(1);
    game.Post(foreign);
    SellVehicleCommand nothing(0x12345, 1);
    game.Post(nothing);
    SetScheduleCommand damaged(bus->GetId(), {1, 2, 3});
    game.Post(damaged);
    game.DrainCommands();
    EXPECT_EQ(AllVehicles().size(), count);
    EXPECT_EQ(bus->GetSchedule(), nullptr);
    EXPECT_FALSE(log.empty());
}

TEST_F(VehicleTest, ASetScheduleCommandGivesAListedCopy) {
    Vehicle* bus = Buy(kBus);
    VehicleSchedule form(false, 0);
    form.InsertStationStop(0, 0x100001, 0, 1);
    form.InsertStationStop(1, 0x100002, 0, 1);
    std::vector<uint8_t> flat;
    ASSERT_TRUE(form.WriteFlat(flat, kMaxPayloadSize));
    SetScheduleCommand set(bus->GetId(), flat);
    game.Post(set);
    game.DrainCommands();
    ASSERT_NE(bus->GetSchedule(), nullptr);
    EXPECT_EQ(bus->GetSchedule()->GetId(), 0);
    EXPECT_EQ(bus->GetState(), kStateWaitsPlacing);
    EXPECT_EQ(bus->GetSchedule()->GetStationStopCount(), 2u);
    // Setting the vehicle up again lets go of the schedule but leaves it
    // to the list that owns it.
    bus->Init(kBus, 0, 0);
    EXPECT_EQ(bus->GetSchedule(), nullptr);
    ASSERT_NE(GetSchedule(0), nullptr);
    bus->SetSchedule(GetSchedule(0));
    // Deleting the schedule takes it off the vehicle first.
    DeleteScheduleCommand remove(0);
    game.Post(remove);
    game.DrainCommands();
    EXPECT_EQ(GetSchedule(0), nullptr);
    EXPECT_EQ(bus->GetSchedule(), nullptr);
    EXPECT_EQ(bus->GetState(), kStateIdle);
}

TEST_F(VehicleTest, UnitsOfATrainAreCoupledAndFreedOnSale) {
    Vehicle* lead = Buy(kTrain);
    Vehicle* unit = Buy(kTrain);
    Vehicle* foreign = Buy(kTrain, 1);
    VehicleSchedule* schedule = CreateSchedule(false, lead->GetId());
    schedule->InsertStationStop(0, 0x100001, 0, 1);
    std::array<uint32_t, VehicleSchedule::kSettingsWords> block{};
    block[0] = lead->GetId();
    block[1] = unit->GetId();
    if (foreign)
        block[2] = foreign->GetId();
    schedule->SetSettingsBlock(block);
    lead->SetSchedule(schedule);
    EXPECT_EQ(unit->GetState(), kStateCoupled);
    EXPECT_EQ(lead->GetUnit(1), unit->GetId());
    if (foreign) {
        EXPECT_EQ(lead->GetUnit(2), 0u);
        EXPECT_NE(foreign->GetState(), kStateCoupled);
    }
    const ObjectHandle leadId = lead->GetId();
    SellVehicleCommand sell(leadId, 0);
    game.Post(sell);
    game.DrainCommands();
    EXPECT_EQ(GetVehicle(leadId), nullptr);
    EXPECT_EQ(unit->GetState(), kStateIdle);
    // The schedule is the list's and stays.
    EXPECT_EQ(GetSchedule(0), schedule);
}

// Selling a vehicle, or giving it a schedule elsewhere, gives up the
// loading area and the place in the station's queue it held.
TEST_F(VehicleTest, SaleAndANewScheduleReleaseTheStationSlot) {
    InstallStations();
    auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
    auto* other = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
    ASSERT_NE(station, nullptr);
    ASSERT_NE(other, nullptr);
    auto hold = [&](Vehicle* v, VehicleSchedule* s) {
        v->SetSchedule(s);
        v->SetState(kStateLoading);
        v->SetReservedSlot(3);
        station->SetLoadAreaReserved(3, true);
        station->AddKey(v->GetId());
    };
    VehicleSchedule* first = CreateSchedule(false, 0);
    first->InsertStationStop(0, station->GetId(), 0, 1);
    first->InsertStationStop(1, other->GetId(), 0, 1);
    VehicleSchedule* second = CreateSchedule(false, 0);
    second->InsertStationStop(0, other->GetId(), 0, 1);

    Vehicle* bus = Buy(kBus);
    hold(bus, first);
    bus->SetSchedule(second);
    EXPECT_FALSE(station->IsLoadAreaReserved(3));
    EXPECT_FALSE(station->HasVehicle(bus->GetId()));
    EXPECT_EQ(bus->GetReservedSlot(), 0u);

    Vehicle* sold = Buy(kBus);
    hold(sold, first);
    const ObjectHandle id = sold->GetId();
    SellVehicleCommand sell(id, 0);
    game.Post(sell);
    game.DrainCommands();
    EXPECT_EQ(GetVehicle(id), nullptr);
    EXPECT_FALSE(station->IsLoadAreaReserved(3));
    EXPECT_FALSE(station->HasVehicle(id));
}

TEST_F(VehicleTest, StateNamesAreBounded) {
    EXPECT_STREQ(VehicleStateName(1), "ST_VEHICLE_WAITS_PLACING");
    EXPECT_STREQ(VehicleStateName(15), "");
    EXPECT_STREQ(VehicleStateName(-1), "");
    EXPECT_STREQ(VehicleStateName(20), "");
}

TEST_F(VehicleTest, VehiclesSaveAndLoadByteIdentically) {
    Vehicle* bus = Buy(kBus);
    Buy(kTrain);
    VehicleSchedule* schedule = CreateSchedule(false, bus->GetId());
    schedule->InsertStationStop(0, 0x100001, 0, 1);
    bus->SetSchedule(schedule);
    bus->SetHead(5, 6);
    auto route = std::make_unique<WaypointList>();
    route->Add(5, 6);
    route->Add(9, 6);
    bus->SetRoute(std::move(route));
    const ObjectHandle id = bus->GetId();
    const std::vector<uint8_t> first = SaveObjects();
    DeleteAllMapObjects();
    ASSERT_TRUE(LoadObjects(first));
    Vehicle* loaded = GetVehicle(id);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetSchedule(), schedule);
    ASSERT_NE(loaded->GetRoute(), nullptr);
    EXPECT_EQ(loaded->GetRoute()->Count(), 2u);
    EXPECT_EQ(loaded->Trail()[0].x, 5);
    EXPECT_EQ(SaveObjects(), first);
}

TEST_F(VehicleTest, DamagedVehicleChunksAreRepairedOrRefused) {
    Vehicle* bus = Buy(kBus);
    bus->SetState(kStateMoving);
    const ObjectHandle id = bus->GetId();
    const std::vector<uint8_t> good = SaveObjects();
    auto find = [&](const char* tag) {
        uint8_t bytes[4];
        uint32_t t = 0;
        for (int i = 0; i < 4 && tag[i]; ++i)
            t = (t << 8) | uint8_t(tag[i]);
        plat::StoreLE32(bytes, t);
        for (size_t i = 0; i + 4 <= good.size(); ++i)
            if (std::equal(bytes, bytes + 4, good.begin() + long(i)))
                return i;
        return good.size();
    };
    const size_t vec1 = find("vec1");
    const size_t vec3 = find("vec3");
    const size_t dat1 = find("dat1");
    ASSERT_LT(dat1, good.size());
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        int32_t state;
    };
    // vec1: tag, size, sized length, block; the state at 92, the slot at 16.
    const Case cases[] = {
        {"unknown state", vec1 + 12 + 92, 99, kStateBlockedOnTrack},
        {"huge trail", vec3 + 8, 0x40000000u, kStateMoving},
        {"huge route", dat1 + 12, 0x7FFFFFFFu, kStateMoving},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        plat::StoreLE32(bytes.data() + c.offset, c.value);
        DeleteAllMapObjects();
        log.clear();
        const bool loaded = LoadObjects(bytes);
        Vehicle* v = GetVehicle(id);
        if (loaded && v) {
            EXPECT_EQ(v->GetState(), c.state) << c.what;
            EXPECT_EQ(v->Trail().size(), Vehicle::kTrail) << c.what;
            EXPECT_EQ(v->Cars().size(), Vehicle::kCars) << c.what;
        }
        // Refused as a whole, or repaired with a line that says why.
        EXPECT_TRUE(!loaded || !log.empty()) << c.what;
    }
}

} // namespace
