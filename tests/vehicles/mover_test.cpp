// The farm animals and the field machines: the sweep of a harvester over
// its farm, its graphic by year, its saved record, and the animals' walks
// inside their building's footprint.
#include "data/generated/economy_tables.h"
#include "data/generated/vehicle_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "tests/world/world_fixture.h"
#include "vehicles/building_walker.h"
#include "vehicles/harvester.h"
#include "vehicles/movers.h"
#include "world/catchment_parties.h"
#include "world/world_errors.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace {

// A farm that writes down the fields reported to it.
class RecordingFarm : public FactoryBase {
public:
    void SetFieldStage(uint32_t index, uint32_t value) override { reports.push_back({index, value}); }
    std::vector<std::pair<uint32_t, uint32_t>> reports;
};

class MoverTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        RegisterMoverClasses();
        RegisterMapObjectClass(kCategoryBuilding, kFactorySubtype,
                               [](int32_t) { return std::make_unique<RecordingFarm>(); });
        VehicleConstantsTable::GetOrCreateRow(0)->AnimalSpeedLimit = 200;
    }

    static RecordingFarm& Farm(int32_t x, int32_t y, int32_t w, int32_t h, int32_t type = 0) {
        auto* farm = dynamic_cast<RecordingFarm*>(CreateMapObject(kCategoryBuilding, kFactorySubtype));
        EXPECT_NE(farm, nullptr);
        farm->SetTypeIndex(type);
        farm->Place(x, y, kFactorySubtype, w, h, 1);
        return *farm;
    }
    static Harvester& NewHarvester(const RecordingFarm& farm) {
        auto* h = dynamic_cast<Harvester*>(CreateMapObject(kCategoryMoving, kHarvesterSubtype));
        EXPECT_NE(h, nullptr);
        h->Init(farm.GetId(), farm.GetX(), farm.GetY());
        return *h;
    }
    // Runs the movers' updates a second at a time until the harvester is
    // gone or the time is up; answers the tiles it stood on.
    static std::vector<std::pair<int32_t, int32_t>> Drive(ObjectHandle id, uint32_t seconds) {
        std::vector<std::pair<int32_t, int32_t>> tiles;
        for (uint32_t s = 0; s <= seconds && MovingObjectFromId(id); ++s) {
            UpdateMovingObjects(CurrentGameTimeMs() + 500 + 1000 * s);
            if (const MapObject* h = MovingObjectFromId(id))
                tiles.push_back({h->GetX(), h->GetY()});
        }
        return tiles;
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

TEST_F(MoverTest, TheFieldIndexSkipsTheFarCornerAndCountsShortRows) {
    struct Case {
        int32_t x, y, index;
    } cases[] = {
        {10, 20, 0},  {15, 20, 5},  {10, 21, 6},  {15, 21, 11}, // full rows of 6
        {10, 22, 12}, {11, 22, 13}, {12, 22, -1},               // short rows of 2
        {11, 25, 19}, {12, 25, -1}, {9, 20, -1},  {10, 26, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HarvestFieldIndex(10, 20, 6, 6, c.x, c.y), c.index) << c.x << "," << c.y;
}

TEST_F(MoverTest, AHarvesterReportsEveryFieldOnceAndNeverStopsInTheCorner) {
    // Even and odd row counts: with an odd one the sweep crosses the corner.
    const std::pair<int32_t, int32_t> sizes[] = {{6, 6}, {6, 5}, {7, 5}, {7, 9}, {9, 8}};
    for (auto [w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        RecordingFarm& farm = Farm(10, 10, w, h);
        Harvester& harvester = NewHarvester(farm);
        const ObjectHandle id = harvester.GetId();
        const auto tiles = Drive(id, uint32_t(w * h) + 5);
        EXPECT_EQ(MovingObjectFromId(id), nullptr) << "the machine left";
        std::set<uint32_t> seen;
        for (auto [index, value] : farm.reports) {
            EXPECT_TRUE(seen.insert(index).second) << "field " << index << " twice";
            EXPECT_EQ(value, 0u);
        }
        // Field 0 is the start tile, which the farm cleared itself.
        EXPECT_EQ(seen.size(), size_t(w * h - 17));
        EXPECT_EQ(*seen.begin(), 1u);
        EXPECT_EQ(*seen.rbegin(), uint32_t(w * h - 17));
        for (auto [x, y] : tiles) {
            EXPECT_TRUE(x >= 10 && y >= 10 && x < 10 + w && y < 10 + h) << x << "," << y;
        }
        auto [lastX, lastY] = tiles.back();
        EXPECT_GE(HarvestFieldIndex(10, 10, w, h, lastX, lastY), 0) << "it ends on a field";
        DeleteMapObject(farm.GetId());
    }
}

TEST_F(MoverTest, AHarvesterStepsOncePerSecondAndStopsWhenItsFarmIsGone) {
    RecordingFarm& farm = Farm(4, 4, 6, 6);
    Harvester& harvester = NewHarvester(farm);
    const ObjectHandle id = harvester.GetId();
    const uint32_t start = CurrentGameTimeMs();
    UpdateMovingObjects(start + 499);
    EXPECT_EQ(harvester.GetX(), 4);
    UpdateMovingObjects(start + 500);
    EXPECT_EQ(harvester.GetX(), 5);
    EXPECT_EQ(harvester.GetStepTime(), 1000u);
    UpdateMovingObjects(start + 1499);
    EXPECT_EQ(harvester.GetX(), 5);
    UpdateMovingObjects(start + 2500); // two steps due
    EXPECT_EQ(harvester.GetX(), 7);
    DeleteMapObject(farm.GetId());
    UpdateMovingObjects(start + 3500);
    EXPECT_EQ(MovingObjectFromId(id), nullptr);

    // A field too small for a sweep ends the machine at its first step: the
    // short rows of a farm 5 wide hold one tile, too few to turn in.
    RecordingFarm& small = Farm(20, 20, 5, 8);
    Harvester& idle = NewHarvester(small);
    const ObjectHandle idleId = idle.GetId();
    UpdateMovingObjects(start + 5000);
    EXPECT_EQ(MovingObjectFromId(idleId), nullptr);
    EXPECT_TRUE(small.reports.empty());
}

TEST_F(MoverTest, TheMachinesGraphicFollowsTheYearsOfItsFarmsList) {
    FactoryRow* listed = FactoryTable::GetOrCreateRow(1);
    listed->HarvesterIDTable.Resize(2, 3);
    const float rows[3][2] = {{0, 7}, {1, 8}, {2000000, 9}};
    for (uint32_t r = 0; r < 3; ++r)
        for (uint32_t c = 0; c < 2; ++c)
            listed->HarvesterIDTable.SetCell(c, r, rows[r][c]);
    FactoryTable::GetOrCreateRow(2)->HarvesterIDTable = {};
    EXPECT_EQ(NewHarvester(Farm(2, 2, 6, 6, 1)).GetHarvesterId(), 8) << "the latest row not after this year";
    EXPECT_EQ(NewHarvester(Farm(10, 2, 6, 6, 2)).GetHarvesterId(), -1) << "no list";
    EXPECT_EQ(NewHarvester(Farm(20, 2, 6, 6, 77)).GetHarvesterId(), -1) << "no type row";
}

TEST_F(MoverTest, AHarvesterIsSavedWithItsRecordAndABadRecordEndsIt) {
    RecordingFarm& farm = Farm(4, 4, 6, 6);
    Harvester& harvester = NewHarvester(farm);
    const ObjectHandle id = harvester.GetId();
    UpdateMovingObjects(CurrentGameTimeMs() + 2500);
    const ObjectHandle farmId = farm.GetId();
    const uint32_t nextStep = harvester.GetNextStep();
    const std::vector<uint8_t> bytes = SaveObjects();
    ASSERT_TRUE(LoadObjects(bytes)) << LastWorldError();
    auto* loaded = dynamic_cast<Harvester*>(MovingObjectFromId(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetX(), 7);
    EXPECT_EQ(loaded->GetSteps(), 3u);
    EXPECT_EQ(loaded->GetFactoryId(), farmId);
    EXPECT_EQ(loaded->GetNextStep(), nextStep);
    EXPECT_EQ(SaveObjects(), bytes) << "stores again unchanged";

    // Find the record ("hvt1", u32 chunk size, u32 field size, 60 bytes).
    const uint8_t tag[4] = {'1', 't', 'v', 'h'};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(tag), std::end(tag));
    ASSERT_NE(at, bytes.end());
    const size_t record = size_t(at - bytes.begin()) + 12;
    struct Damage {
        size_t offset;
        uint32_t value;
    } damages[] = {{12, 5000}, {20, 0xFFFFFFFFu}, {28, 3}, {40, 7}};
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = bytes;
        if (d.offset == 28)
            bad[record + 28] = uint8_t(d.value);
        else
            plat::StoreLE32(bad.data() + record + d.offset, d.value);
        ASSERT_TRUE(LoadObjects(bad)) << d.offset;
        auto* h = dynamic_cast<Harvester*>(MovingObjectFromId(id));
        ASSERT_NE(h, nullptr);
        EXPECT_TRUE(h->IsReadyToBeRemoved()) << d.offset;
    }
}

TEST_F(MoverTest, AnimalsStayOutOfTheFarCornerRestAndWalkAtTheirPace) {
    RecordingFarm& farm = Farm(10, 10, 8, 7);
    // The fixture's clock may move on while the animals are made.
    const uint32_t madeFrom = CurrentGameTimeMs();
    ASSERT_EQ(CreateBuildingWalkers(farm.GetId()), kWalkersPerFarm);
    const uint32_t madeUntil = CurrentGameTimeMs();
    std::vector<BuildingWalker*> walkers;
    ForEachMovingObject([&](MovingObject& o) {
        walkers.push_back(dynamic_cast<BuildingWalker*>(&o));
        return true;
    });
    ASSERT_EQ(walkers.size(), size_t(kWalkersPerFarm));
    auto inCorner = [](int32_t x, int32_t y) { return x > 10 + 8 - 4 && y > 10 + 7 - 4; };
    for (BuildingWalker* w : walkers) {
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(inCorner(w->GetX(), w->GetY())) << w->GetX() << "," << w->GetY();
        EXPECT_EQ(w->GetSpeedLimit(), 350u) << "never below 350 ms per tile";
        EXPECT_GE(w->GetNextStep() - madeFrom, 1000u);
        EXPECT_LE(w->GetNextStep() - madeUntil, 10900u);
    }
    // A minute of game time, in steps of 50 ms.
    const uint32_t start = CurrentGameTimeMs();
    for (uint32_t t = start; t < start + 60000; t += 50) {
        std::vector<std::pair<uint32_t, bool>> before;
        for (BuildingWalker* w : walkers)
            before.push_back({w->GetNextStep(), w->HasMoved()});
        UpdateMovingObjects(t);
        for (size_t i = 0; i < walkers.size(); ++i) {
            BuildingWalker* w = walkers[i];
            if (w->GetStepStart() != before[i].first)
                continue; // no step this tick
            if (w->HasMoved())
                EXPECT_EQ(w->GetNextStep() - w->GetStepStart(), 200u) << "a step takes AnimalSpeedLimit";
            else if (before[i].second) {
                const uint32_t rest = w->GetNextStep() - w->GetStepStart();
                EXPECT_TRUE(rest >= 1000 && rest <= 10900) << rest;
            }
            EXPECT_TRUE(w->GetX() >= 10 && w->GetY() >= 10 && w->GetX() < 18 && w->GetY() < 17);
        }
    }
}

TEST_F(MoverTest, RemovingAFarmTakesItsAnimalsAndSmallFootprintsGetNone) {
    RecordingFarm& farm = Farm(10, 10, 5, 5);
    RecordingFarm& other = Farm(30, 30, 5, 5);
    ASSERT_EQ(CreateBuildingWalkers(farm.GetId()), kWalkersPerFarm);
    ASSERT_EQ(CreateBuildingWalkers(other.GetId()), kWalkersPerFarm);
    RemoveBuildingWalkers(farm.GetId());
    int32_t left = 0;
    ForEachMovingObject([&](MovingObject& o) {
        auto* w = dynamic_cast<BuildingWalker*>(&o);
        left += w && w->GetBuildingId() == other.GetId() ? 1 : 0;
        return true;
    });
    EXPECT_EQ(left, kWalkersPerFarm);
    EXPECT_EQ(MovingObjectSlotCount() > 0, true);

    RecordingFarm& tiny = Farm(50, 50, 3, 3);
    EXPECT_EQ(CreateBuildingWalkers(tiny.GetId()), 0) << "every tile lies in the corner";
    // An animal whose building went away leaves at its next step.
    DeleteMapObject(other.GetId());
    UpdateMovingObjects(CurrentGameTimeMs() + 20000);
    int32_t remaining = 0;
    ForEachMovingObject([&](MovingObject&) { return ++remaining, true; });
    EXPECT_EQ(remaining, 0);
}

TEST_F(MoverTest, LoadedAnimalsKeepTheirIdsAndStartAgainOnTheirBuilding) {
    RecordingFarm& farm = Farm(10, 10, 6, 6);
    ASSERT_EQ(CreateBuildingWalkers(farm.GetId()), kWalkersPerFarm);
    const ObjectHandle farmId = farm.GetId();
    std::vector<ObjectHandle> ids;
    ForEachMovingObject([&](MovingObject& o) { return ids.push_back(o.GetId()), true; });
    ASSERT_TRUE(LoadObjects(SaveObjects()));
    RestartBuildingWalkers();
    for (ObjectHandle id : ids) {
        auto* w = dynamic_cast<BuildingWalker*>(MovingObjectFromId(id));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->GetBuildingId(), farmId);
        EXPECT_EQ(w->GetState(), BuildingWalker::kResting);
    }
}

} // namespace
