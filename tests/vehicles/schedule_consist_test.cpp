// A train made up from its schedule: the waggons of the stop it arrives at,
// the limits of its units, and the units a schedule may name.
#include "data/database.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "vehicles/schedule.h"
#include "vehicles/schedule_list.h"
#include "vehicles/train_composition.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_loading.h"
#include "vehicles/vehicle_services.h"
#include "vehicles/vehicle_trail.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int32_t kConsistEngine = 920;
constexpr int32_t kSlowConsistEngine = 921;

struct ScheduleConsistTest : testing::Test {
    static void SetUpTestSuite() {
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        GetDatabase().Init();
        ASSERT_TRUE(GetDatabase().Read(text));
        ASSERT_TRUE(GetDatabase().ApplyAllTables(KindSelector::All));
    }

    ScheduleConsistTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(32, 32);
        for (int32_t row : {kConsistEngine, kSlowConsistEngine}) {
            VehicleRow* r = VehicleTable::GetOrCreateRow(row);
            r->Name = "Consist engine";
            r->ConnectionType = 1;
            r->VehicleType = 6;
            r->PurchasePrice = 100;
            r->TravelTimeMsPerSquare = row == kConsistEngine ? 200 : 600;
            r->CanCarryProduct = 0;
            r->VehicleLayout.Resize(1, 1);
            r->VehicleLayout.SetCell(0, 0, 1.0f);
            r->VehicleLength.Resize(1, 1);
            r->VehicleLength.SetCell(0, 0, 4.0f);
        }
    }
    ~ScheduleConsistTest() override { DeleteAllMapObjects(); }

    static Vehicle* NewVehicle(int32_t type, int32_t owner) {
        auto* v = dynamic_cast<Vehicle*>(CreateMapObject(kCategoryMoving, kVehicleSubtype));
        if (v)
            v->Init(type, owner, 0);
        return v;
    }

    static uint32_t Waggons(const Vehicle& v) {
        uint32_t n = 0;
        for (const auto& m : v.MotionRecords())
            n += m[kCarKind] == uint32_t(kPartCar) ? 1 : 0;
        return n;
    }

    Game game;
    VehicleWorldHooks hooks;
};

TEST_F(ScheduleConsistTest, ATrainArrivingAtAStopIsMadeUpForItsProductsAndItsUnits) {
    Vehicle* train = NewVehicle(kConsistEngine, 0);
    Vehicle* slow = NewVehicle(kSlowConsistEngine, 0);
    Vehicle* stranger = NewVehicle(kSlowConsistEngine, 1);
    ASSERT_TRUE(train && slow && stranger);
    // Stop 0 carries one product, stop 1 three; the block names the
    // train, an idle engine of its owner and another company's engine.
    VehicleSchedule form(false, 0);
    form.SetMode(1);
    form.InsertStationStop(0, 0x100001, 0, 1);
    form.InsertStationStop(1, 0x100002, 0, 1);
    form.AddProduct(0, kPassengerCargo);
    for (int32_t p : {kPassengerCargo, kMailCargo, kPassengerCargo})
        form.AddProduct(1, p);
    std::array<uint32_t, VehicleSchedule::kSettingsWords> block{};
    block[0] = train->GetId();
    block[1] = slow->GetId();
    block[2] = stranger->GetId();
    form.SetSettingsBlock(block);
    train->SetSchedule(&form);
    ASSERT_NE(train->GetSchedule(), nullptr);

    struct Case {
        const char* what;
        uint32_t stopAfter;
        uint32_t waggons;
    };
    const Case cases[] = {
        {"arrives at stop 1: three waggons", 1, 3},
        {"back at stop 0: one waggon", 0, 1},
    };
    for (const Case& c : cases) {
        train->OnArrival();
        EXPECT_EQ(train->GetCurrentStop(), c.stopAfter) << c.what;
        EXPECT_EQ(Waggons(*train), c.waggons) << c.what;
        // The own engine is coupled, the stranger's never.
        EXPECT_EQ(train->GetUnit(0), train->GetId()) << c.what;
        EXPECT_EQ(train->GetUnit(1), slow->GetId()) << c.what;
        EXPECT_EQ(train->GetUnit(2), 0u) << c.what;
        EXPECT_NE(stranger->GetState(), kStateCoupled) << c.what;
        // The slowest unit sets the train's speed.
        EXPECT_EQ(train->GetSpeedType(), kSlowConsistEngine) << c.what;
    }
}

} // namespace
