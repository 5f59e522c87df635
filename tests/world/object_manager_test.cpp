#include "world/object_manager.h"

#include "world/building.h"
#include "world_fixture.h"

#include <vector>

namespace {

class ObjectManagerTest : public WorldTest {};

TEST_F(ObjectManagerTest, LowestFreeSlotIsReused) {
    std::vector<ObjectHandle> ids;
    for (int i = 0; i < 25; ++i)
        ids.push_back(CreateMapObject(1, 0)->GetId());
    EXPECT_EQ(ids[0], 0x80001u);
    EXPECT_EQ(ids[24], 0x80019u);
    EXPECT_EQ(MapObjectSlotCount(1), 30u) << "lists grow by ten";
    DeleteMapObject(ids[20]);
    DeleteMapObject(ids[3]);
    DeleteMapObject(ids[11]);
    EXPECT_EQ(CreateMapObject(1, 5)->GetId(), ids[3]);
    EXPECT_EQ(CreateMapObject(1, 5)->GetId(), ids[11]);
    EXPECT_EQ(CreateMapObject(1, 5)->GetId(), ids[20]);
    EXPECT_EQ(CreateMapObject(1, 5)->GetId(), 0x8001Au);
    for (ObjectHandle id : ids)
        EXPECT_EQ(MapObjectFromId(id)->GetId(), id);
    EXPECT_EQ(CreateMapObject(2, 0)->GetId(), 0x100001u);
}

TEST_F(ObjectManagerTest, FactoryTable) {
    struct Case {
        int32_t category, subtype;
        bool made;
        int32_t subtypeAfter;
    };
    const Case cases[] = {{0, 0, true, 0},   {0, 9, true, 0},   {1, 0, true, 0},   {1, 8, true, 8},
                          {1, 10, true, 10}, {1, 11, false, 0}, {1, -1, false, 0}, {2, 4, true, 4},
                          {2, 5, false, 0},  {3, 7, true, 0},   {4, 0, false, 0},  {-1, 0, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.category * 100 + c.subtype);
        MapObject* object = CreateMapObject(c.category, c.subtype);
        ASSERT_EQ(object != nullptr, c.made);
        if (object) {
            EXPECT_EQ(object->GetCategory(), c.category);
            EXPECT_EQ(object->GetSubtype(), c.subtypeAfter);
            EXPECT_EQ(object->GetId() >> 19, uint32_t(c.category));
        }
    }
    EXPECT_FALSE(CreateMapObject(2, 3)->IsSaved());
}

TEST_F(ObjectManagerTest, LookupsByCategory) {
    ObjectHandle building = CreateMapObject(1, 0)->GetId();
    ObjectHandle moving = CreateMapObject(2, 2)->GetId();
    ObjectHandle span = CreateMapObject(3, 0)->GetId();
    EXPECT_EQ(MapObjectFromId(0), nullptr);
    EXPECT_NE(BuildingFromId(building), nullptr);
    EXPECT_EQ(BuildingFromId(moving), nullptr);
    EXPECT_EQ(BuildingFromId(span), nullptr);
    EXPECT_EQ(BuildingFromId(0x100001), nullptr);
    EXPECT_NE(MovingObjectFromId(moving), nullptr);
    EXPECT_NE(MapObjectFromId(span), nullptr);
    EXPECT_EQ(MapObjectFromId(0x200001), nullptr) << "category 4";
    EXPECT_EQ(MapObjectFromId(building + 100), nullptr);
}

TEST_F(ObjectManagerTest, CreationAtAGivenId) {
    EXPECT_EQ(CreateMapObject(1, 0, 0x80000), nullptr) << "index 0";
    EXPECT_EQ(CreateMapObject(1, 0, 0x100005), nullptr) << "another category";
    MapObject* object = CreateMapObject(1, 0, 0x80000 + 40);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetId(), 0x80000u + 40);
    EXPECT_EQ(CreateMapObject(1, 0, 0x80000 + 40), nullptr) << "slot taken";
    EXPECT_EQ(CreateMapObject(1, 0)->GetId(), 0x80001u);
}

TEST_F(ObjectManagerTest, ExplicitIdsPastTheEndGrowTheListInAmortisedSteps) {
    // Each id lies past the list's end, as when a file without slot counts
    // is loaded; growing by half each time would need terabytes.
    for (uint32_t slot = 0; slot < 5000; ++slot)
        ASSERT_NE(CreateMapObject(1, 0, MakeObjectHandle(1, slot)), nullptr) << slot;
    EXPECT_EQ(MapObjectSlotCount(1), 5000u);
    ASSERT_NE(CreateMapObject(1, 0, MakeObjectHandle(1, kObjectIndexMask - 1)), nullptr) << "the last id";
    EXPECT_EQ(MapObjectSlotCount(1), kObjectIndexMask);
    EXPECT_EQ(CreateMapObject(1, 0)->GetId(), MakeObjectHandle(1, 5000));
}

TEST_F(ObjectManagerTest, Filtering) {
    MapObject* a = CreateMapObject(1, 2);
    MapObject* b = CreateMapObject(1, 2);
    MapObject* c = CreateMapObject(1, 3);
    b->SetOwner(1);
    std::vector<MapObject*> out{a};
    GetMapObjects(out, 0, 1, 0, 0);
    EXPECT_EQ(out.size(), 3u);
    GetMapObjects(out, 3, 1, 2, 0);
    EXPECT_EQ(out, (std::vector<MapObject*>{a, b}));
    GetMapObjects(out, 7, 1, 2, 1);
    EXPECT_EQ(out, (std::vector<MapObject*>{b}));
    GetMapObjects(out, 5, 1, 0, 4);
    EXPECT_EQ(out, (std::vector<MapObject*>{a, c}));
    GetMapObjects(out, 0, 2, 0, 0);
    EXPECT_TRUE(out.empty());
}

// A building that deletes another when it dies.
class ChainBuilding : public Building {
public:
    ObjectHandle next = 0;
    ~ChainBuilding() override { DeleteMapObject(next); }
};

TEST_F(ObjectManagerTest, DestructorsMayDeleteOthers) {
    RegisterMapObjectClass(1, 7, [](int32_t) { return std::make_unique<ChainBuilding>(); });
    auto* first = static_cast<ChainBuilding*>(CreateMapObject(1, 7));
    auto* second = static_cast<ChainBuilding*>(CreateMapObject(1, 7));
    first->next = second->GetId();
    second->next = first->GetId();
    DeleteMapObject(first->GetId());
    EXPECT_EQ(MapObjectSlotCount(1), 10u);
    EXPECT_EQ(MapObjectFromId(0x80002), nullptr);
    auto* third = static_cast<ChainBuilding*>(CreateMapObject(1, 7));
    third->next = 0x80001;
    DeleteAllMapObjects();
    EXPECT_EQ(MapObjectSlotCount(1), 0u);
    RegisterMapObjectClass(1, 7, nullptr);
}

TEST_F(ObjectManagerTest, PassesSeeEveryBuilding) {
    for (int i = 0; i < 3; ++i)
        CreateMapObject(1, 0)->SetHighlight(1);
    CreateMapObject(2, 0)->SetHighlight(1);
    ClearAllBuildingHighlights();
    std::vector<MapObject*> out;
    GetMapObjects(out, 0, 1, 0, 0);
    for (MapObject* o : out)
        EXPECT_EQ(o->GetHighlight(), 0u);
    EXPECT_EQ(MapObjectFromId(0x100001)->GetHighlight(), 1u);
}

TEST_F(ObjectManagerTest, BuildingFootprint) {
    auto* b = static_cast<Building*>(CreateMapObject(1, 0));
    EXPECT_EQ(b->GetWidth(), 0);
    EXPECT_EQ(b->GetX(), -1);
    EXPECT_TRUE(b->Place(3, 4, 6, 2, 2, 1));
    EXPECT_EQ(b->GetSubtype(), 6);
    for (uint32_t y = 4; y < 6; ++y)
        for (uint32_t x = 3; x < 5; ++x)
            EXPECT_EQ(Map().GetBuildingAt(x, y), b->GetId());
    auto* other = static_cast<Building*>(CreateMapObject(1, 0));
    EXPECT_FALSE(other->Place(4, 5, 0, 2, 2, 0)) << "a refused footprint is reported";
    EXPECT_EQ(other->GetX(), 4);
    EXPECT_TRUE(other->Place(4, 5, 0, 1, 1, 1));
    DeleteMapObject(b->GetId());
    EXPECT_EQ(Map().GetCellKind(3, 4), uint32_t(kCellPlain));
    EXPECT_EQ(Map().GetBuildingAt(4, 5), other->GetId()) << "overwritten tiles stay";
}

TEST_F(ObjectManagerTest, BuildingGeometry) {
    auto* a = static_cast<Building*>(CreateMapObject(1, 0));
    auto* b = static_cast<Building*>(CreateMapObject(1, 0));
    a->Place(0, 0, 0, 1, 1, 1);
    b->Place(3, 4, 0, 1, 1, 1);
    EXPECT_FLOAT_EQ(a->DistanceTo(b), 5.0f);
    EXPECT_FLOAT_EQ(a->DistanceTo(nullptr), 100000000.0f);
    a->Place(10, 10, 0, 3, 3, 1);
    EXPECT_EQ(a->GetCentre().x, 11);
    b->Place(20, 20, 0, 2, 2, 1);
    EXPECT_EQ(b->GetCentre().y, 21);
}

} // namespace
