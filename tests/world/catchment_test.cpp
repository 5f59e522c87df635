#include "world/catchment.h"

#include "data/generated/economy_tables.h"
#include "world/catchment_parties.h"
#include "world_fixture.h"

#include <set>

namespace {

class RecordingStation : public StationBase {
public:
    std::set<ObjectHandle> links, neighbours;
    void AddCatchmentLink(ObjectHandle id) override { links.insert(id); }
    void LinkNeighbourStation(ObjectHandle id) override { neighbours.insert(id); }
    void CollectCatchmentLinks(std::set<ObjectHandle>& out) const override {
        out.insert(links.begin(), links.end());
    }
};

class CatchmentTest : public WorldTest {
protected:
    void SetUp() override {
        ResetWorld(256, 256);
        GlobalConstantsTable::GetOrCreateRow(0)->StationRadius = 3;
        RegisterMapObjectClass(1, 2, [](int32_t) { return std::make_unique<RecordingStation>(); });
    }
    void TearDown() override {
        RegisterMapObjectClass(1, 2, nullptr);
        GlobalConstantsTable::Clear();
        WorldTest::TearDown();
    }
    RecordingStation* Station(int32_t x, int32_t y, int32_t owner) {
        auto* s = static_cast<RecordingStation*>(CreateMapObject(1, 2));
        s->SetOwner(owner);
        EXPECT_TRUE(s->Place(x, y, 2, 1, 1, 1));
        return s;
    }
    Building* Place(int32_t subtype, int32_t x, int32_t y, int32_t w, int32_t h, int32_t owner) {
        auto* b = static_cast<Building*>(CreateMapObject(1, subtype));
        b->SetOwner(owner);
        EXPECT_TRUE(b->Place(x, y, subtype, w, h, 1));
        return b;
    }
};

TEST_F(CatchmentTest, FactoriesAndHallsReachStationsByOwner) {
    Building* neutral = Place(1, 10, 10, 2, 2, kNeutralOwner);
    Building* hall = Place(6, 40, 40, 2, 2, 0);
    RecordingStation* near = Station(14, 10, 1); // 3 tiles right of the factory
    RecordingStation* far = Station(15, 10, 1);  // 4 tiles: out of reach
    RecordingStation* ownHall = Station(42, 43, 0);
    RecordingStation* otherHall = Station(38, 40, 1);
    LinkFactoriesToStations();
    LinkStorageHallsToStations();
    EXPECT_EQ(near->links, std::set<ObjectHandle>{neutral->GetId()});
    EXPECT_TRUE(far->links.empty());
    EXPECT_EQ(ownHall->links, std::set<ObjectHandle>{hall->GetId()});
    EXPECT_TRUE(otherHall->links.empty());
}

TEST_F(CatchmentTest, LargeFootprintsAreWalkedToTheEnd) {
    // 130 x 130 grown by 3 is far more than one walking budget.
    Building* factory = Place(1, 0, 0, 130, 130, kNeutralOwner);
    RecordingStation* corner = Station(132, 132, 0);
    LinkFactoriesToStations();
    EXPECT_EQ(corner->links, std::set<ObjectHandle>{factory->GetId()});
    EXPECT_EQ(ListUnservedFactories().size(), 0u);
}

TEST_F(CatchmentTest, NeighbourStationsOfOneOwner) {
    RecordingStation* a = Station(50, 50, 0);
    RecordingStation* b = Station(51, 50, 0);
    RecordingStation* c = Station(50, 51, 1);
    LinkNeighbourStations();
    EXPECT_EQ(a->neighbours, (std::set<ObjectHandle>{a->GetId(), b->GetId()}));
    EXPECT_EQ(c->neighbours, std::set<ObjectHandle>{c->GetId()});
}

TEST_F(CatchmentTest, PreviewsAndCollection) {
    Services().townFactoryOfHouse = [](const MapObject&) { return 0x80000u + 200; };
    CreateMapObject(1, 1, 0x80000 + 200);
    Building* factory = Place(1, 100, 100, 1, 1, kNeutralOwner);
    Place(3, 97, 100, 1, 1, kNeutralOwner);
    Place(3, 98, 101, 1, 1, kNeutralOwner);
    std::vector<MapObject*> reached = CollectBuildingsInCatchment(99, 99, 0, 0);
    ASSERT_EQ(reached.size(), 2u);
    EXPECT_EQ(reached[0], factory);
    EXPECT_EQ(reached[1]->GetId(), 0x80000u + 200) << "the town's factory once";
    int marks = 0;
    Services().queueCatchmentMarker = [&](int32_t, int32_t) { ++marks; };
    ShowCatchmentMarks(100, 50, 0, 0);
    EXPECT_EQ(marks, 7 * 7 - 1);
    GlobalConstantsTable::GetOrCreateRow(0)->StationRadius = 0;
    marks = 0;
    ShowCatchmentMarks(100, 50, 0, 0);
    MarkBuildingsInCatchment(101, 100, 0, 0);
    EXPECT_EQ(marks, 0);
    EXPECT_EQ(factory->GetHighlight(), 0u);
}

TEST_F(CatchmentTest, WalkerStepsThroughItsBudget) {
    struct Counter : FootprintVisitor {
        int visits = 0;
        void Visit(int32_t, int32_t) override { ++visits; }
    } counter;
    FootprintWalker walker;
    EXPECT_FALSE(walker.Step(5)) << "a fresh walker is done";
    walker.Set(0, 0, 9, 9);
    walker.Start(&counter);
    EXPECT_TRUE(walker.Step(60));
    EXPECT_FALSE(walker.Step(60));
    EXPECT_EQ(counter.visits, 100);
    EXPECT_EQ(TileDistance({0, 0}, {3, 4}), 5);
}

} // namespace
