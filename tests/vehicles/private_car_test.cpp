// The towns' private cars: which types are on offer, the drive along a
// road to its end, waiting behind a holder, the speed rules, and the saved
// record with the town counts.
#include "data/generated/vehicle_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "tests/world/world_fixture.h"
#include "vehicles/movers.h"
#include "vehicles/private_car.h"
#include "world/static_object_services.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class PrivateCarTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        RegisterMoverClasses();
        CurrentRegion() = 1;
        VehicleConstantsRow* constants = VehicleConstantsTable::GetOrCreateRow(0);
        constants->MinimumSpeed = 2000;
        constants->MaxAcceleration = 300;
        PrivateCarTable::Clear();
        OfferType(0);
    }
    static PrivateCarRow* OfferType(int32_t row) {
        PrivateCarRow* car = PrivateCarTable::GetOrCreateRow(row);
        car->ConnectionType = kPrivateCarConnectionType;
        car->RegionCode = 1;
        car->YearOfIntroduction = 0;
        car->YearOfDiscard = 100000;
        car->TravelTimeMsPerSquare = 400;
        return car;
    }
    // A straight east-west road on row y from x0 to x1, dead ends at both
    // ends; the east end carries a town's route byte.
    static void Road(int32_t x0, int32_t x1, int32_t y) {
        for (int32_t x = x0; x <= x1; ++x)
            Map().PlaceTownRoad(uint32_t(x), uint32_t(y), x == x0 ? 2 : x == x1 ? 8 : 10);
        Map().SetRouteByte(uint32_t(x1), uint32_t(y), 1);
    }
    static PrivateCar* Car(int32_t x, int32_t y) {
        if (AvailablePrivateCarTypes() < 0) {
            EXPECT_TRUE(BeginPrivateCarPass(CurrentGameTimeMs() + 1000000));
        }
        return SpawnPrivateCar(1, x, y);
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
    // Replaces every object by those of the bytes, as loading a game does.
    static bool LoadObjects(const std::vector<uint8_t>& bytes) {
        DeleteAllMapObjects();
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
};

TEST_F(PrivateCarTest, OnlyTownCarsOfTheRegionAndYearAreOnOffer) {
    struct Case {
        int32_t connection, region, from, to;
        bool offered;
    } cases[] = {
        {5, 1, 0, 100000, true},  {5, 3, 0, 100000, true},      {2, 1, 0, 100000, false},
        {5, 2, 0, 100000, false}, {5, 1, 90000, 100000, false}, {5, 1, 0, 1, false},
    };
    for (const Case& c : cases) {
        PrivateCarTable::Clear();
        PrivateCarRow* row = OfferType(3);
        row->ConnectionType = c.connection;
        row->RegionCode = c.region;
        row->YearOfIntroduction = c.from;
        row->YearOfDiscard = c.to;
        ClearPrivateCarTable();
        EXPECT_EQ(BeginPrivateCarPass(1000), c.offered) << c.connection << " " << c.region << " " << c.from;
        EXPECT_EQ(AvailablePrivateCarTypes(), c.offered ? 1 : 0);
    }
    // One pass per 500 ms; the set is kept until it is marked for rebuilding.
    PrivateCarTable::Clear();
    OfferType(7);
    ClearPrivateCarTable();
    EXPECT_TRUE(BeginPrivateCarPass(1000));
    EXPECT_FALSE(BeginPrivateCarPass(1499));
    OfferType(8);
    EXPECT_TRUE(BeginPrivateCarPass(1500));
    EXPECT_EQ(AvailablePrivateCarTypes(), 1);
    RemoveAllPrivateCars();
    EXPECT_TRUE(BeginPrivateCarPass(2000));
    EXPECT_EQ(AvailablePrivateCarTypes(), 2);
}

TEST_F(PrivateCarTest, ACarDrivesToTheTownsDeadEndAndLeavesTheCount) {
    Road(5, 15, 10);
    PrivateCar* car = Car(10, 10);
    ASSERT_NE(car, nullptr);
    const ObjectHandle id = car->GetId();
    EXPECT_EQ(car->GetCarType(), 0);
    EXPECT_TRUE(car->HoldsLane());
    EXPECT_EQ(PrivateCarCount(1), 1u);
    EXPECT_TRUE(car->GetDirection() == 2 || car->GetDirection() == 8);
    // West it turns back at the plain dead end; east it leaves at the town's.
    uint32_t now = CurrentGameTimeMs();
    bool turned = car->GetDirection() == 2;
    uint32_t previous = 0;
    for (int i = 0; i < 200 && MovingObjectFromId(id); ++i) {
        now = car->GetNextStep();
        UpdateMovingObjects(now);
        if (!MovingObjectFromId(id))
            break;
        turned = turned || car->GetDirection() == 2;
        const uint32_t t = car->GetTravelTime();
        if (previous != 0 && t < previous) {
            EXPECT_GE(t + 300, previous) << "accelerates by at most MaxAcceleration per tile";
        }
        EXPECT_LE(t, 2000u) << "never slower than MinimumSpeed";
        previous = t;
        EXPECT_EQ(Map().GetRouteSlotValue(uint32_t(car->GetX()), uint32_t(car->GetY()), 0, 0, 15), id);
    }
    EXPECT_TRUE(turned);
    EXPECT_EQ(MovingObjectFromId(id), nullptr);
    EXPECT_EQ(PrivateCarCount(1), 0u);
    for (uint32_t x = 5; x <= 15; ++x)
        EXPECT_EQ(Map().GetRouteSlotValue(x, 10, 0, 0, 15), 0u) << "no lane left held at " << x;
}

TEST_F(PrivateCarTest, ACarWaitsBehindAHolderWithItsBlockerSet) {
    Road(5, 15, 10);
    PrivateCar* front = Car(9, 10);
    PrivateCar* back = Car(8, 10);
    ASSERT_TRUE(front && back);
    // Both head east; the front one is held up by a car parked beyond it.
    for (PrivateCar* c : {front, back})
        while (c->GetDirection() != 2) {
            c->ReleaseReservations();
            c->Init(1, c->GetX(), c->GetY());
            c->Reserve();
        }
    Map().SetRouteSlotValue(10, 10, 0, back->GetId() + 1000, 0, 15); // a stale holder is cleared
    front->Step();
    EXPECT_EQ(front->GetX(), 10);
    back->Step();
    EXPECT_EQ(back->GetX(), 9);
    back->Step();
    EXPECT_EQ(back->GetX(), 9) << "the front car holds tile 10";
    EXPECT_EQ(back->GetBlockerId(), front->GetId());
    const uint32_t due = back->GetNextStep();
    back->Step();
    EXPECT_EQ(back->GetNextStep(), due + 500) << "it tries again 500 ms later";
}

TEST_F(PrivateCarTest, ACarIsSavedWithItsTownCountAndABadRecordTakesItOff) {
    Road(5, 15, 10);
    PrivateCar* car = Car(10, 10);
    ASSERT_NE(car, nullptr);
    const ObjectHandle id = car->GetId();
    UpdateMovingObjects(car->GetNextStep());
    const std::vector<uint8_t> bytes = SaveObjects();
    ASSERT_TRUE(LoadObjects(bytes));
    EXPECT_EQ(PrivateCarCount(1), 1u) << "the old car left the count, the loaded one joined it";
    auto* loaded = dynamic_cast<PrivateCar*>(MovingObjectFromId(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(SaveObjects(), bytes);

    const uint8_t tag[4] = {'1', 'r', 'a', 'c'};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(tag), std::end(tag));
    ASSERT_NE(at, bytes.end());
    const size_t record = size_t(at - bytes.begin()) + 12;
    struct Damage {
        size_t offset;
        uint32_t value;
    } damages[] = {{0, 0}, {0, 101}, {12, 64}, {28, 0x80000000u}, {36, 6}, {48, 3}};
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = bytes;
        if (d.offset == 36)
            bad[record + 36] = uint8_t(d.value);
        else
            plat::StoreLE32(bad.data() + record + d.offset, d.value);
        ASSERT_TRUE(LoadObjects(bad)) << d.offset;
        auto* c = dynamic_cast<PrivateCar*>(MovingObjectFromId(id));
        ASSERT_NE(c, nullptr);
        EXPECT_TRUE(c->IsReadyToBeRemoved()) << d.offset;
        EXPECT_EQ(PrivateCarCount(1), 0u) << "a refused car does not count";
    }
}

} // namespace
