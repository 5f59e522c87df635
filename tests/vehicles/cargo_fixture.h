// A started game with the shipped data, two road stops, town factories of
// a test kind linked to them with passengers and mail waiting, and a bus
// bought and scheduled between the stops by commands.
#pragma once

#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_loading.h"
#include "vehicles/vehicle_services.h"
#include "world/building.h"
#include "world/object_manager.h"
#include "world/player.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// A town factory: a building of the factory subtype that the station hooks
// take for kind 5.
struct TestTownFactory : Building {
    TestTownFactory() : Building(1) {}
};

struct CargoFixture : testing::Test {
    static void SetUpTestSuite() {
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        GetDatabase().Init();
        ASSERT_TRUE(GetDatabase().Read(text));
        ASSERT_TRUE(GetDatabase().ApplyAllTables(KindSelector::All));
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/station_config.txt", text));
        GetStationLayouts().Clear();
        GetStationLayouts().Read(text, "station_config.txt");
    }

    CargoFixture() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
        RegisterMapObjectClass(kCategoryBuilding, 1,
                               [](int32_t) { return std::make_unique<TestTownFactory>(); });
        savedStationHooks = GetStationHooks();
        GetStationHooks().factoryType = [](const MapObject& building) {
            return dynamic_cast<const TestTownFactory*>(&building) ? 5 : -1;
        };
        VehicleCargoHooks& cargo = GetVehicleCargoHooks();
        cargo.waiting = [this](ObjectHandle f, bool mail) -> const std::map<ObjectHandle, uint32_t>* {
            auto& table = mail ? mailWaiting : passengersWaiting;
            auto it = table.find(f);
            return it == table.end() ? nullptr : &it->second;
        };
        cargo.take = [this](ObjectHandle f, ObjectHandle d, bool mail, uint32_t n) {
            uint32_t& count = (mail ? mailWaiting : passengersWaiting)[f][d];
            count -= std::min(count, n);
        };
        cargo.demand = [](ObjectHandle, int32_t) { return 1.0f; };
        VehicleRow* bus = VehicleTable::GetOrCreateRow(kBus);
        bus->Name = "Cargo bus";
        bus->ConnectionType = 0;
        bus->VehicleType = 1;
        bus->PurchasePrice = 100;
        bus->TravelTimeMsPerSquare = 200;
        bus->PassengerCapacity = 4;
        bus->MailCapacity = 2;
        bus->TractivePower = 100;
        bus->Reliability = 1;
        bus->RepairCostPerPercentage = 10;
        bus->RepairCostGrowingPerYear = 0.0f;
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
    }
    ~CargoFixture() override {
        DeleteAllMapObjects();
        RegisterMapObjectClass(kCategoryBuilding, 1, nullptr);
        GetStationHooks() = savedStationHooks;
        GetVehicleCargoHooks() = VehicleCargoHooks{};
    }

    static Station* RoadStop(int32_t x, int32_t y) {
        for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
            const StationRow* row = StationTable::Find(kind);
            if (!row || row->ConnectionType != 0)
                continue;
            auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
            station->SetUp(0, 1, kind, x, y);
            LayoutTile tile;
            if (station->GetLoadPoint(1, tile))
                return station;
            DeleteMapObject(station->GetId());
        }
        return nullptr;
    }

    static ObjectHandle Town(int32_t x, int32_t y) {
        auto* town = dynamic_cast<TestTownFactory*>(CreateMapObject(kCategoryBuilding, 1));
        if (!town)
            return 0;
        town->Place(x, y, 1, 2, 2, 1);
        return town->GetId();
    }

    // Stops a and b, a bus scheduled between them carrying the cargo of
    // the lists at each stop, with its cars laid out for the first stop.
    Vehicle* Line(std::vector<int32_t> atA, std::vector<int32_t> atB, int32_t type = kBus) {
        a = RoadStop(10, 20);
        b = RoadStop(40, 20);
        if (!a || !b)
            return nullptr;
        BuyVehicleCommand buy(uint32_t(type), 0, 1, 0);
        game.Post(buy);
        game.DrainCommands();
        if (AllVehicles().empty())
            return nullptr;
        Vehicle* bus = AllVehicles().back();
        VehicleSchedule form(false, 0);
        form.InsertStationStop(0, a->GetId(), 0, 1);
        form.InsertStationStop(1, b->GetId(), 0, 1);
        for (uint32_t stop = 0; stop < 2; ++stop) {
            const std::vector<int32_t>& list = stop == 0 ? atA : atB;
            std::array<int32_t, StopRecord::kProductSlots> values;
            values.fill(-1);
            std::copy(list.begin(), list.end(), values.begin());
            form.SetProducts(stop, uint32_t(list.size()), values);
        }
        std::vector<uint8_t> flat;
        EXPECT_TRUE(form.WriteFlat(flat, kMaxPayloadSize));
        SetScheduleCommand set(bus->GetId(), flat);
        game.Post(set);
        game.DrainCommands();
        if (!bus->GetSchedule())
            return nullptr;
        bus->BuildMotionRecords();
        for (uint32_t i = 0; i < atA.size(); ++i)
            bus->SetCar(i, CarRecord{atA[i], 0, 0, -1, -1});
        return bus;
    }

    static constexpr int32_t kBus = 5;
    Game game;
    VehicleWorldHooks hooks;
    StationHooks savedStationHooks;
    Station* a = nullptr;
    Station* b = nullptr;
    std::map<ObjectHandle, std::map<ObjectHandle, uint32_t>> passengersWaiting;
    std::map<ObjectHandle, std::map<ObjectHandle, uint32_t>> mailWaiting;
};
