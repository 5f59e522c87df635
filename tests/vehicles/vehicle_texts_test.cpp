// The vehicle's info text from the tooltip rows and its developer text.
#include "tests/vehicles/cargo_fixture.h"

#include "data/generated/interface_tables.h"

#include <memory>

namespace {

using VehicleTextsTest = CargoFixture;

TEST_F(VehicleTextsTest, InfoTextFollowsTheTooltipRows) {
    Vehicle* bus = Line({kPassengerCargo}, {kPassengerCargo});
    ASSERT_NE(bus, nullptr);
    std::string text;
    bus->GetInfoText(text);
    const std::string name = bus->GetSchedule()->GetName();
    EXPECT_EQ(
        text.rfind(name + "\n\nCurrent stop: " + a->GetName() + "\nNext stop: " + b->GetName() + "\n\n", 0),
        0u)
        << text;
    EXPECT_NE(text.find("Speed: 0 "), std::string::npos) << "a standing vehicle shows speed 0";
    EXPECT_NE(text.find("\nCargo bus\nAge: 0 years\nCondition: 100\nWater: not needed\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nLoad: 0 %\n"), std::string::npos) << text;
    const Player* owner = GetPlayer(0);
    EXPECT_EQ(text.substr(text.size() - std::string("Company: " + owner->GetCompanyName()).size()),
              "Company: " + owner->GetCompanyName());
}

TEST_F(VehicleTextsTest, EdgesOfTheInfoText) {
    Vehicle* bus = Line({kPassengerCargo}, {kPassengerCargo});
    ASSERT_NE(bus, nullptr);
    // A vanished unit adds only a line break; empty places add nothing.
    std::string before;
    bus->GetInfoText(before);
    bus->SetUnit(3, 0xDEAD);
    std::string after;
    bus->GetInfoText(after);
    EXPECT_EQ(after.size(), before.size() + 1);
    // A tooltip row holding other printf places prints them as they stand.
    ToolTip_VehicleRow* row = ToolTip_VehicleTable::GetOrCreateRow(0);
    const std::string saved = row->Text;
    row->Text = "%d %n %s %%";
    bus->GetInfoText(after);
    EXPECT_NE(after.find("\n\n%d %n " + a->GetName() + " %\n"), std::string::npos) << after;
    row->Text = saved;
    // A train without tractive power shows no load rather than dividing by 0.
    VehicleTable::GetOrCreateRow(kBus)->TractivePower = 0;
    bus->SetCar(0, CarRecord{0, 0, 5, -1, -1});
    ASSERT_GT(bus->ComputeTrainWeight(), 0.0f);
    bus->GetInfoText(after);
    EXPECT_NE(after.find("\nLoad: 0 %\n"), std::string::npos) << after;
    // Without a schedule the text is empty.
    bus->RemoveFromSchedule(bus->GetScheduleIndex());
    bus->GetInfoText(after);
    EXPECT_EQ(after, "");
}

TEST_F(VehicleTextsTest, DebugTextListsTheRouteFiveToALine) {
    Vehicle* bus = Line({}, {});
    ASSERT_NE(bus, nullptr);
    auto route = std::make_unique<WaypointList>();
    for (uint32_t i = 0; i < 12; ++i)
        route->Add(i, 7);
    bus->SetRoute(std::move(route));
    std::string text;
    bus->DebugDump(text);
    EXPECT_EQ(text.rfind("Cargo bus\nZustand: 100.000000\n", 0), 0u) << text;
    EXPECT_NE(text.find("ID " + std::to_string(bus->GetId()) + "\n"), std::string::npos);
    EXPECT_NE(text.find("Route 0:  0 -  7 (0)\nRoute 1:"), std::string::npos) << text;
    EXPECT_NE(text.find("Route 4:  4 -  7 (0)Route 5:  5 -  7 (0)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Route 10:  10 -  7 (0)\nRoute 11:  11 -  7 (0)\nLoks 1: 0\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Loks 7: 0\n"), std::string::npos);
}

} // namespace
