// Loading and unloading at a stop: passengers and mail boarding at the town
// factories, their fares on arrival, the income booked to the company, and
// the capacities and weight that follow from the cars.
#include "tests/vehicles/cargo_fixture.h"

#include "data/generated/economy_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "world/player_statistics.h"

#include <algorithm>

namespace {

using LoadingTest = CargoFixture;

constexpr int32_t P = kPassengerCargo;
constexpr int32_t M = kMailCargo;

uint32_t Aboard(const CargoBook& book, ObjectHandle destination) {
    auto it = book.aboard.find(destination);
    uint32_t n = 0;
    if (it != book.aboard.end())
        for (const CargoRecord& r : it->second)
            n += r.amount;
    return n;
}

// Two motion records of the bus type, each with its own car.
void TwoCars(Vehicle& v, int32_t first, int32_t second) {
    Vehicle::MotionRecord record{};
    record[0] = 1;
    record[1] = uint32_t(v.GetTypeIndex());
    std::vector<Vehicle::MotionRecord> records(2, record);
    records[1][4] = 1;
    v.SetMotionRecords(records);
    v.SetCar(0, CarRecord{first, 0, 0, -1, -1});
    v.SetCar(1, CarRecord{second, 0, 0, -1, -1});
}

TEST_F(LoadingTest, PassengersBoardOnePerDestinationAndPass) {
    Vehicle* bus = Line({P}, {P});
    ASSERT_NE(bus, nullptr);
    const ObjectHandle t1 = Town(12, 24), t2 = Town(42, 24), t3 = Town(44, 24);
    a->LinkBuilding(t1);
    b->LinkBuilding(t2);
    b->LinkBuilding(t3);
    passengersWaiting[t1] = {{t2, 5}, {t3, 1}};
    EXPECT_EQ(bus->LoadPassengers(0), kServeDone);
    EXPECT_EQ(bus->GetPassengersAboard(), 4u);
    EXPECT_EQ(bus->GetPassengerCapacity(), 4u);
    ASSERT_EQ(bus->PassengerBook().aboard.size(), 2u);
    ASSERT_EQ(bus->PassengerBook().aboard.at(t2).size(), 1u);
    EXPECT_EQ(bus->PassengerBook().aboard.at(t2)[0].amount, 3u);
    EXPECT_EQ(bus->PassengerBook().aboard.at(t3)[0].amount, 1u);
    EXPECT_TRUE(bus->PassengerBook().boardings.empty());
    EXPECT_EQ(passengersWaiting[t1][t2], 2u);
    EXPECT_EQ(passengersWaiting[t1][t3], 0u);
    EXPECT_EQ(bus->Cars()[0].amount, 4);
    // The record's boarding tile is the centre of the boarding factory.
    EXPECT_EQ(bus->PassengerBook().aboard.at(t2)[0].boardX, 13);
    EXPECT_EQ(bus->PassengerBook().aboard.at(t2)[0].boardY, 25);
    // Full: the next call answers at once.
    EXPECT_EQ(bus->LoadPassengers(0), kServeDone);
    EXPECT_EQ(passengersWaiting[t1][t2], 2u);
}

TEST_F(LoadingTest, AFullCarEndsTheCallAndTheNextCarGoesOn) {
    VehicleTable::GetOrCreateRow(kBus)->PassengerCapacity = 2;
    Vehicle* bus = Line({P, P}, {P, P});
    ASSERT_NE(bus, nullptr);
    TwoCars(*bus, P, P);
    const ObjectHandle t1 = Town(12, 24), t2 = Town(42, 24);
    a->LinkBuilding(t1);
    b->LinkBuilding(t2);
    passengersWaiting[t1] = {{t2, 9}};
    EXPECT_EQ(bus->LoadPassengers(0), kServeCarServed);
    EXPECT_EQ(bus->GetServedCar(), P);
    EXPECT_EQ(bus->GetPassengersAboard(), 2u);
    EXPECT_TRUE(bus->PassengerBook().aboard.empty()) << "boardings stay open until loading ends";
    EXPECT_EQ(bus->LoadPassengers(0), kServeDone);
    EXPECT_EQ(bus->GetPassengersAboard(), 4u);
    EXPECT_EQ(Aboard(bus->PassengerBook(), t2), 4u);
    EXPECT_EQ(bus->PassengerBook().aboard.at(t2).size(), 1u);
    EXPECT_EQ(bus->Cars()[0].amount, 2);
    EXPECT_EQ(bus->Cars()[1].amount, 2);
}

TEST_F(LoadingTest, NothingWaitingFinishesOrWaitsByTheStopsSetting) {
    Vehicle* bus = Line({P}, {P});
    ASSERT_NE(bus, nullptr);
    const ObjectHandle t1 = Town(12, 24), t2 = Town(42, 24);
    a->LinkBuilding(t1);
    b->LinkBuilding(t2);
    passengersWaiting[t1] = {{t2, 0}};
    EXPECT_EQ(bus->LoadPassengers(0), kServeDone);
    bus->GetSchedule()->SetWaitOption1(0, 1);
    EXPECT_EQ(bus->LoadPassengers(0), kServeWaitsForCargo);
    EXPECT_EQ(bus->GetServedCar(), P);
    passengersWaiting[t1][t2] = 1;
    EXPECT_EQ(bus->LoadPassengers(0), kServeWaitsForCargo) << "one boarded, then nothing: it waits on";
    EXPECT_EQ(bus->GetPassengersAboard(), 1u);
    EXPECT_TRUE(bus->PassengerBook().aboard.empty());
    EXPECT_EQ(bus->PassengerBook().boardings.at(t2).at(t1), 1u);
}

TEST_F(LoadingTest, SurplusCarsOfACargoAreEmptiedBeforeLoading) {
    Vehicle* bus = Line({P}, {P});
    ASSERT_NE(bus, nullptr);
    TwoCars(*bus, P, P);
    bus->SetCar(1, CarRecord{P, 0, 3, -1, -1});
    // A car past the motion records that still holds passengers.
    bus->SetCar(40, CarRecord{P, 0, 7, -1, -1});
    EXPECT_EQ(bus->LoadPassengers(0), kServeDone);
    EXPECT_EQ(bus->Cars()[0].product, P);
    EXPECT_EQ(bus->Cars()[1].product, -1);
    EXPECT_EQ(bus->Cars()[40].product, -1);
    EXPECT_EQ(bus->GetPassengerCapacity(), 4u);
}

TEST_F(LoadingTest, ArrivalsPayAndCargoForTownsNoLongerServedIsDropped) {
    struct Case {
        const char* what;
        bool mail;
    };
    for (const Case c : {Case{"passengers", false}, Case{"mail", true}}) {
        SCOPED_TRACE(c.what);
        const int32_t cargo = c.mail ? M : P;
        Vehicle* bus = Line({cargo}, {cargo});
        ASSERT_NE(bus, nullptr);
        const ObjectHandle t1 = Town(12, 24), t2 = Town(42, 24), t4 = Town(46, 24);
        a->LinkBuilding(t1);
        b->LinkBuilding(t2);
        b->LinkBuilding(t4);
        (c.mail ? mailWaiting : passengersWaiting)[t1] = {{t2, 1}, {t4, 1}};
        EXPECT_EQ(c.mail ? bus->LoadMail(0) : bus->LoadPassengers(0), kServeDone);
        ASSERT_EQ(c.mail ? bus->GetMailAboard() : bus->GetPassengersAboard(), 2u);
        b->UnlinkBuilding(t4);
        PlayerStatistics* stats = GetPlayer(0)->GetStatistics();
        const int64_t delivered = stats->GetValue(10, 0);
        game.AdvanceFrame(5000);
        float income = 0.0f;
        if (c.mail)
            bus->UnloadMail(1, income);
        else
            bus->UnloadPassengers(1, income);
        EXPECT_GT(income, 0.0f);
        EXPECT_EQ(c.mail ? bus->GetMailAboard() : bus->GetPassengersAboard(), 0u);
        EXPECT_TRUE((c.mail ? bus->MailBook() : bus->PassengerBook()).aboard.empty());
        // Only passengers count as delivered.
        EXPECT_EQ(stats->GetValue(10, 0) - delivered, c.mail ? 0 : 1);
        DeleteAllMapObjects();
        passengersWaiting.clear();
        mailWaiting.clear();
    }
}

TEST_F(LoadingTest, TheStopServiceBooksTheIncomeToTheCompany) {
    Vehicle* bus = Line({P}, {P});
    ASSERT_NE(bus, nullptr);
    const ObjectHandle t1 = Town(12, 24), t2 = Town(42, 24);
    a->LinkBuilding(t1);
    b->LinkBuilding(t2);
    passengersWaiting[t1] = {{t2, 3}};
    bus->SetState(kStateLoading);
    EXPECT_EQ(bus->ServeStop(0), kServeDone);
    ASSERT_EQ(bus->GetPassengersAboard(), 3u);
    Player* owner = GetPlayer(0);
    const int64_t money = owner->GetMoney();
    const int64_t income = owner->GetStatistics()->GetValue(7, 0);
    game.AdvanceFrame(20000);
    bus->OnArrival();
    EXPECT_EQ(bus->GetCurrentStop(), 1u);
    bus->SetState(kStateUnloading);
    EXPECT_EQ(bus->ServeStop(1), kServeDone);
    EXPECT_EQ(bus->GetState(), kStateLoading);
    const int64_t earned = owner->GetMoney() - money;
    EXPECT_GT(earned, 0);
    EXPECT_EQ(owner->GetStatistics()->GetValue(7, 0) - income, earned) << "booked as a stop's income";
    EXPECT_EQ(bus->GetSchedule()->GetTotalIncome(), earned);
    EXPECT_EQ(bus->GetStopIncome(), 0.0f);
    EXPECT_EQ(bus->GetPassengersAboard(), 0u);
}

TEST_F(LoadingTest, BrokenCarRecordsGiveNoCapacityAndNoCrash) {
    Vehicle* bus = Line({P}, {P});
    ASSERT_NE(bus, nullptr);
    // Records naming cars past the car list, types past the table, and more
    // records than a train may have.
    Vehicle::MotionRecord record{};
    record[0] = 2;
    record[1] = 99999;
    record[4] = 500;
    bus->SetMotionRecords(std::vector<Vehicle::MotionRecord>(300, record));
    EXPECT_EQ(bus->MotionRecords().size(), Vehicle::kTrail);
    EXPECT_EQ(bus->LoadPassengers(0), kServeDone);
    EXPECT_EQ(bus->GetPassengerCapacity(), 0u);
    EXPECT_EQ(bus->GetCarPassengerCapacity(9999), 0u);
    // A type that claims more cars than a vehicle has: unloading walks only
    // the cars there are.
    VehicleTable::GetOrCreateRow(kBus)->Capacity = 100000;
    bus->SetState(kStateUnloading);
    EXPECT_EQ(bus->ServeStop(0), kServeDone);
    bus->SetMotionRecords({});
    EXPECT_EQ(bus->ComputeTrainWeight(), 0.0f);
}

TEST_F(LoadingTest, TrainWeightIsTheCargoAndTheWaggons) {
    VehicleRow* loco = VehicleTable::GetOrCreateRow(kBus);
    loco->ConnectionType = 1;
    WaggonsRow* w1 = WaggonsTable::GetOrCreateRow(0);
    WaggonsRow* w2 = WaggonsTable::GetOrCreateRow(1);
    const float saved1 = w1->Weight, saved2 = w2->Weight;
    w1->Weight = 10.0f;
    w2->Weight = 15.0f;
    Vehicle* train = Line({}, {});
    ASSERT_NE(train, nullptr);
    std::vector<Vehicle::MotionRecord> records(3, Vehicle::MotionRecord{});
    records[0][0] = 1;
    records[0][1] = uint32_t(kBus);
    records[1][0] = 2;
    records[1][1] = 0;
    records[1][4] = 1;
    records[2][0] = 2;
    records[2][1] = 1;
    records[2][4] = 2;
    train->SetMotionRecords(records);
    EXPECT_EQ(train->ComputeTrainWeight(), 25.0f) << "empty waggons; the locomotive adds nothing";
    int32_t product = -1;
    for (int32_t p = 0; p < ProductTable::RowCount() && product < 0; ++p)
        if (ProductTable::Find(p))
            product = p;
    ASSERT_GE(product, 0);
    train->SetCar(1, CarRecord{product, 0, 3, -1, -1});
    EXPECT_FLOAT_EQ(train->ComputeTrainWeight(), 25.0f + 3.0f * ProductTable::Find(product)->ProductWeight);
    EXPECT_FLOAT_EQ(train->GetTrainWeight(), train->ComputeTrainWeight());
    w1->Weight = saved1;
    w2->Weight = saved2;
    loco->ConnectionType = 0;
}

} // namespace

namespace {

std::vector<uint8_t> SaveObjects() {
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

bool LoadObjects(const std::vector<uint8_t>& bytes) {
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

TEST_F(LoadingTest, ASavedCountOfCargoAboardYieldsToTheBooks) {
    Vehicle* bus = Line({P}, {P});
    ASSERT_NE(bus, nullptr);
    const ObjectHandle t1 = Town(12, 24), t2 = Town(42, 24);
    a->LinkBuilding(t1);
    b->LinkBuilding(t2);
    passengersWaiting[t1] = {{t2, 3}};
    ASSERT_EQ(bus->LoadPassengers(0), kServeDone);
    const ObjectHandle id = bus->GetId();
    const auto block = bus->Block();
    std::vector<uint8_t> bytes = SaveObjects();
    // The saved block says 1000 passengers are aboard.
    auto at = std::search(bytes.begin(), bytes.end(), block.begin(), block.end());
    ASSERT_NE(at, bytes.end());
    plat::StoreLE32(&*at + 212, 1000);
    DeleteAllMapObjects();
    ASSERT_TRUE(LoadObjects(bytes));
    Vehicle* loaded = GetVehicle(id);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetPassengersAboard(), 3u);
    EXPECT_EQ(Aboard(loaded->PassengerBook(), t2), 3u);
}

} // namespace
