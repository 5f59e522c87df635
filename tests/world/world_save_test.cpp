#include "world/world_sections.h"

#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "world/building.h"
#include "world/game_clock.h"
#include "world/world_errors.h"
#include "world_fixture.h"

#include <bit>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes WriteStream(uint32_t version, const std::function<void()>& body) {
    Bytes bytes;
    std::string text(kSaveHeaderText);
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    body();
    EXPECT_TRUE(CloseStream());
    return bytes;
}

bool ReadStream(const Bytes& bytes, const std::function<bool()>& body) {
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version))
        return false;
    bool ok = body();
    CloseStream();
    return ok;
}

void Chunk(uint32_t tag, const std::function<void()>& body) {
    BeginChunk(tag);
    body();
    EndChunk();
}

void Words(std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        uint8_t b[4];
        plat::StoreLE32(b, w);
        TransferInChunk(b, 4);
    }
}

// A pool chunk: row count, free head, then the rows as words.
void Pool(uint32_t tag, uint32_t count, uint32_t freeHead, uint32_t rowSize,
          std::initializer_list<uint32_t> rows) {
    Chunk(tag, [&] {
        Chunk(ChunkTag("ind1"), [&] { Words({count}); });
        Chunk(ChunkTag("ind2"), [&] { Words({freeHead}); });
        Chunk(ChunkTag("ind3"), [&] {
            Words({count, rowSize});
            Words(rows);
        });
    });
}

void Header(uint32_t w, uint32_t h) {
    Chunk(ChunkTag("map1"), [&] { Words({16, w, h, 7, 0x01000100}); });
}

class WorldSaveTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        plat::Clock::UseFake(0);
        CreateGameClock(0);
        RouteBuilderTable::Clear();
        RouteBuilderTable::GetOrCreateRow(1)->CanCrossTrack = 1;
        RouteBuilderTable::GetOrCreateRow(8);
    }
    void TearDown() override {
        plat::Clock::UseReal();
        RouteBuilderTable::Clear();
        WorldTest::TearDown();
    }

    // Roads, a crossing, water, a decoration, buildings, a span and a few
    // free rows and slots.
    static void BuildSampleWorld() {
        WorldMap& map = Map();
        for (uint32_t x = 2; x < 12; ++x)
            map.PlaceTownRoad(x, 5, 10);
        for (uint32_t y = 2; y < 10; ++y) {
            map.SetRouteKindAndClear(7, y, y == 5 ? 3 : 1);
            map.SetRouteType(1, 7, y, 1);
            map.SetTrackDirections(7, y, 5);
        }
        map.RegisterCrossing(7, 5, 1234);
        for (uint32_t x = 20; x < 30; ++x) {
            SetTerrainOfCell(x, 20, kWater);
            map.SetRouteKindAndClear(x, 20, 4);
        }
        map.SetWaterwayValue(21, 20, 99);
        map.PlaceDecoration(40, 40, 3, 2);
        map.SetEdgeHeights(7, 3, 2, 5);
        for (int i = 0; i < 4; ++i) {
            auto* b = static_cast<Building*>(CreateMapObject(1, i == 3 ? 6 : 0));
            b->Place(30 + 3 * i, 30, b->GetSubtype(), 2, 2, 1);
            b->SetOwner(i);
        }
        DeleteMapObject(0x80002);
        MapObject* span = CreateMapObject(3, 0);
        map.AttachSpanToRect(7, 10, 7, 12, span->GetId());
        CreateMapObject(2, 3); // not saved
        CreateMapObject(2, 2);
        map.SetRouteKind(50, 50, 2);
        map.SetRouteKind(50, 50, 0); // a free route row
        GetGameClock()->AddTicks(123456);
    }

    static Bytes Save() {
        return WriteStream(kSaveStreamVersion, [] { EXPECT_TRUE(SaveWorldSections()); });
    }
    static bool Load(const Bytes& bytes) {
        return ReadStream(bytes, [] { return LoadWorldSections(); });
    }
    static bool LoadMap(const Bytes& bytes) {
        return ReadStream(bytes, [] {
            ResetWorldState();
            ClearWorldError();
            uint32_t tag = 0;
            BeginChunk(tag);
            bool ok = tag == ChunkTag("gmap") && GetWorldMap().LoadWorldMap();
            EndChunk();
            return ok;
        });
    }
    static Bytes GmapStream(uint32_t version, const std::function<void()>& body) {
        return WriteStream(version, [&] { Chunk(ChunkTag("gmap"), body); });
    }
};

TEST_F(WorldSaveTest, SaveLoadSaveIsByteIdentical) {
    BuildSampleWorld();
    Bytes first = Save();
    ResetWorld(8, 8);
    ASSERT_TRUE(Load(first)) << LastWorldError();
    Bytes second = Save();
    EXPECT_EQ(first, second);

    EXPECT_EQ(Map().GetWidth(), 64u);
    EXPECT_EQ(Map().GetRoadDirections(3, 5), 10u);
    EXPECT_TRUE(Map().IsTrackRoadCrossing(7, 5));
    uint32_t time = 0;
    ASSERT_TRUE(Map().LookupCrossing(7, 5, time));
    EXPECT_EQ(time, 1234u);
    EXPECT_EQ(Map().GetWaterwayValue(21, 20), 99u);
    EXPECT_EQ(Map().GetDecorationNumber(40, 40), 3u);
    EXPECT_EQ(Map().GetLayer2Object(7, 11), 0x180001u);
    EXPECT_EQ(Map().GetEdgeHeight(7, 3, 1, true), 2);
    EXPECT_EQ(GetGameClock()->GetTicks(), 123456u);
    EXPECT_EQ(Map().GetBuildingAt(30, 30), 0x80001u);
    EXPECT_EQ(MapObjectFromId(0x80002), nullptr);
    EXPECT_EQ(MapObjectFromId(0x80004)->GetSubtype(), 6);
    EXPECT_EQ(MapObjectFromId(0x80003)->GetOwner(), 2);
    EXPECT_EQ(MapObjectFromId(0x100001), nullptr) << "walkers are not saved";
    EXPECT_NE(MapObjectFromId(0x100002), nullptr);
    EXPECT_EQ(static_cast<Building*>(MapObjectFromId(0x80003))->GetWidth(), 2);
    EXPECT_EQ(CreateMapObject(1, 0)->GetId(), 0x80002u) << "the freed slot is taken first";
    EXPECT_EQ(CreateMapObject(2, 0)->GetId(), 0x100001u);
}

TEST_F(WorldSaveTest, LoadingClearsViewBitsButKeepsNodeIds) {
    Map().PlaceTownRoad(3, 3, 5);
    Map().SetTileNodeId(3, 3, 77);
    Map().SetMoverOccupancy(4, 4, 3);
    Map().SetFreeMoverMark(5, 5, true);
    SetTerrainOfCell(9, 9, kLand);
    Map().SetRouteKind(9, 9, 4);
    Map().SetWaterwayValue(9, 9, 5);
    Bytes bytes = Save();
    ASSERT_TRUE(Load(bytes));
    EXPECT_EQ(Map().GetTileNodeId(3, 3), 77u) << "the route planners take the numbers over";
    EXPECT_EQ(Map().GetMoverOccupancy(4, 4), 0u);
    EXPECT_FALSE(Map().HasFreeMoverMark(5, 5));
    EXPECT_EQ(Map().GetCellKind(9, 9), uint32_t(kCellPlain)) << "a waterway on land";
}

TEST_F(WorldSaveTest, HeaderAndCellCountOfASmallMap) {
    Map().SetMapSize(256, 256);
    Bytes bytes = WriteStream(4, [] { Chunk(ChunkTag("gmap"), [] { Map().SaveWorldMap(); }); });
    // The map1 chunk follows the gmap chunk's header.
    auto find = [&](const char* tag) {
        for (size_t i = 0; i + 4 <= bytes.size(); ++i)
            if (bytes[i] == uint8_t(tag[3]) && bytes[i + 1] == uint8_t(tag[2]) &&
                bytes[i + 2] == uint8_t(tag[1]) && bytes[i + 3] == uint8_t(tag[0]))
                return i;
        return size_t(0);
    };
    size_t map1 = find("map1");
    ASSERT_NE(map1, 0u);
    EXPECT_EQ(plat::LoadLE32(&bytes[map1 + 8]), 16u);
    EXPECT_EQ(plat::LoadLE32(&bytes[map1 + 12]), 256u);
    EXPECT_EQ(plat::LoadLE32(&bytes[map1 + 16]), 256u);
    size_t map2 = find("map2");
    EXPECT_EQ(plat::LoadLE32(&bytes[map2 + 8]), 65536u);
    EXPECT_EQ(plat::LoadLE32(&bytes[map2 + 12]), 8u);
}

TEST_F(WorldSaveTest, OlderCellLayoutLoads) {
    // Version 2: 16-byte cells with their slots, a footprint holding its
    // building id and a waterway its building index in the cell.
    const uint32_t route = kCellRoute << 1 | (1 << 4), plain = 1 << 4,
                   footprint = kCellFootprint << 1 | (1 << 4);
    const uint32_t waterway = kCellWaterway << 1 | (kWater << 4);
    Bytes bytes = GmapStream(1, [&] {
        Header(2, 2);
        Chunk(ChunkTag("map2"), [&] {
            Words({4, 16});
            Words({route, 0 << 9, 1, 0});
            Words({plain, 0xFFFF0000u, 0, 2});
            Words({footprint, 0x80005u << 9, 0, 0});
            Words({waterway, 7u << 9, 0, 0});
        });
        Chunk(ChunkTag("map3"), [&] {
            Pool(ChunkTag("gmf1"), 1, 0xFFFFFFFF, 40, {0x1, 0, 0xFFFF, 0, 0, 0, 0, 0, 0, 0, 0xAAAAAAAA});
            Pool(ChunkTag("gmf3"), 2, 0xFFFFFFFF, 12, {0x180001, 0, 0, 0x180002, 0, 0});
        });
    });
    ASSERT_TRUE(LoadMap(bytes)) << LastWorldError();
    EXPECT_EQ(Map().GetRouteSubKind(0, 0), 1u);
    EXPECT_EQ(Map().GetLayer1Object(0, 0), 0x180001u);
    EXPECT_EQ(Map().GetRouteSignal(0, 0), 0u) << "the extra 4 bytes of each route row are skipped";
    EXPECT_EQ(Map().GetLayer2Object(1, 0), 0x180002u);
    EXPECT_EQ(Map().GetCellLowBits(1, 0), 0u);
    EXPECT_EQ(Map().GetBuildingAt(0, 1), 0x80005u);
    EXPECT_EQ(Map().GetCellBuilding(1, 1), 0x80007u);
}

TEST_F(WorldSaveTest, BadMapSectionsAreRefused) {
    const uint32_t route = kCellRoute << 1 | (1 << 4), plain = 1 << 4;
    struct Case {
        const char* name;
        std::function<void()> body;
    };
    auto cells = [](std::initializer_list<uint32_t> words) {
        Chunk(ChunkTag("map2"), [&] {
            Words({uint32_t(words.size() / 2), 8});
            Words(words);
        });
    };
    const Case cases[] = {
        {"odd width", [] { Header(255, 256); }},
        {"too wide", [] { Header(2050, 2048); }},
        {"more cells than the map",
         [&] {
             Header(2, 2);
             cells({plain, 0, plain, 0, plain, 0, plain, 0, plain, 0});
         }},
        {"cells beyond the chunk",
         [&] {
             Header(2, 2);
             Chunk(ChunkTag("map2"), [] { Words({4, 8, plain, 0}); });
         }},
        {"route row past the pool",
         [&] {
             Header(2, 2);
             cells({route | (5u << 9), 5u << 9, plain, 0, plain, 0, plain, 0});
         }},
        {"shared route row",
         [&] {
             Header(2, 2);
             cells({route, 0, route, 0, plain, 0, plain, 0});
         }},
        {"route row on the free list",
         [&] {
             Header(2, 2);
             cells({route, 0, plain, 0, plain, 0, plain, 0});
             Chunk(ChunkTag("map3"), [] {
                 Pool(ChunkTag("gmf1"), 1, 0, 36, {0xFFFFFFFF, 0, 0xFFFF, 0, 0, 0, 0, 0, 0});
             });
         }},
        {"looping free list",
         [&] {
             Header(2, 2);
             Chunk(ChunkTag("map3"), [] { Pool(ChunkTag("brid"), 2, 0, 8, {1, 0, 0, 0}); });
         }},
        {"cell kind 6",
         [&] {
             Header(2, 2);
             cells({6 << 1, 0, plain, 0, plain, 0, plain, 0});
         }},
        {"pool claims too many rows",
         [&] {
             Header(2, 2);
             Chunk(ChunkTag("map3"), [] {
                 Chunk(ChunkTag("gmf1"), [] { Chunk(ChunkTag("ind1"), [] { Words({0x7FFFFFFF}); }); });
             });
         }},
        {"attachment past the pool",
         [&] {
             Header(2, 2);
             cells({plain | 0, 1u << 9, plain, 0, plain, 0, plain, 0});
             Chunk(ChunkTag("map3"), [] { Pool(ChunkTag("brid"), 1, 0xFFFFFFFF, 8, {9, 0}); });
         }},
        {"no header",
         [&] {
             cells({plain, 0});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetWorld(8, 8);
        Bytes bytes = GmapStream(4, c.body);
        EXPECT_FALSE(LoadMap(bytes));
        EXPECT_FALSE(LastWorldError().empty());
        // Whatever was read, the pools are usable again.
        EXPECT_EQ(Rows().route.FreeHead(), 0u);
    }
}

TEST_F(WorldSaveTest, BadObjectSectionsAreRefused) {
    struct Case {
        const char* name;
        std::vector<uint32_t> records; // id, category, subtype
        uint32_t count = 0;            // the stored record count when not 0
        uint32_t buildingSlots = 1;
    };
    const Case cases[] = {
        {"index 0", {0x80000, 1, 0}},
        {"category differs from id", {0x80001, 2, 0}},
        {"unknown subtype", {0x80001, 1, 11}},
        {"duplicate id", {0x80001, 1, 0, 0x80001, 1, 0}},
        {"category 5", {0x280001, 5, 0}},
        {"more records than the chunk holds", {0x80001, 1, 0}, 0x10000000},
        {"slots past the largest index", {0x80001, 1, 0}, 0, 0x80000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetWorld(8, 8);
        Bytes bytes = WriteStream(4, [&] {
            Chunk(ChunkTag("obj"), [&] {
                Chunk(ChunkTag("anz"), [&] { Words({16, 0, c.buildingSlots, 0, 0}); });
                Chunk(ChunkTag("objs"), [&] {
                    Words({c.count ? c.count : uint32_t(c.records.size() / 3), 12});
                    for (uint32_t w : c.records)
                        Words({w});
                });
            });
            Chunk(0, [] {});
        });
        EXPECT_FALSE(Load(bytes));
        EXPECT_FALSE(LastWorldError().empty());
        EXPECT_EQ(MapObjectSlotCount(1), 0u);
    }
}

// Slot counts below the objects' ids, or none at all: every object past
// the counted slots grows the list, which must grow in amortised steps (it
// once grew by half per object and ran out of memory).
TEST_F(WorldSaveTest, ObjectsPastTheirSlotCountsLoad) {
    for (const bool withCounts : {true, false}) {
        SCOPED_TRACE(withCounts ? "a count of 1" : "no counts");
        ResetWorld(8, 8);
        constexpr uint32_t kObjects = 300;
        Bytes bytes = WriteStream(4, [&] {
            Chunk(ChunkTag("obj"), [&] {
                if (withCounts)
                    Chunk(ChunkTag("anz"), [] { Words({16, 0, 1, 0, 0}); });
                Chunk(ChunkTag("objs"), [&] {
                    Words({kObjects, 12});
                    for (uint32_t i = 1; i <= kObjects; ++i)
                        Words({0x80000 + i, 1, 0});
                });
                for (uint32_t i = 1; i <= kObjects; ++i) {
                    Chunk(ChunkTag("gob1"), [&] {
                        Words({32, 0x80000 + i, 1, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 4, 0});
                    });
                    Chunk(0, [] {});
                    Chunk(ChunkTag("bld1"), [] { Words({8, 0, 0}); });
                    Chunk(0, [] {});
                }
            });
            Chunk(0, [] {});
        });
        ASSERT_TRUE(Load(bytes)) << LastWorldError();
        EXPECT_EQ(MapObjectSlotCount(1), kObjects);
        EXPECT_NE(MapObjectFromId(0x80000 + kObjects), nullptr);
    }
}

TEST_F(WorldSaveTest, ObjectChunksKeepTheClassIdentity) {
    // A building whose "gob1" (written as "data") claims another id,
    // category and subtype keeps its own; the rest is taken.
    Bytes bytes = WriteStream(4, [&] {
        Chunk(ChunkTag("obj"), [&] {
            Chunk(ChunkTag("anz"), [] { Words({16, 0, 1, 0, 0}); });
            Chunk(ChunkTag("objs"), [] { Words({1, 12, 0x80001, 1, 0}); });
            Chunk(ChunkTag("data"), [] { Words({32, 0x80005, 2, 8, 3, 4, 17, 2, 1}); });
            Chunk(0, [] {});
            Chunk(ChunkTag("bld1"), [] { Words({8, 2, 3}); });
            Chunk(0, [] {});
        });
        Chunk(0, [] {});
    });
    ASSERT_TRUE(Load(bytes)) << LastWorldError();
    auto* b = static_cast<Building*>(MapObjectFromId(0x80001));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetId(), 0x80001u);
    EXPECT_EQ(b->GetCategory(), 1);
    EXPECT_EQ(b->GetSubtype(), 0);
    EXPECT_EQ(b->GetX(), 3);
    EXPECT_EQ(b->GetTypeIndex(), 17);
    EXPECT_EQ(b->GetOwner(), 2);
    EXPECT_EQ(b->GetHeight(), 3);
}

// Positions read from a file must lie on the map, and footprints be no
// larger than a map (so that no sum over them nears 2^31): else the load
// is refused whole.
TEST_F(WorldSaveTest, ObjectsOffTheMapAreRefused) {
    struct Case {
        const char* what;
        uint32_t category, subtype, x, y, width, height;
        const char* refusal; // null when it loads
    } cases[] = {
        {"a house on the map", 1, 0, 60, 60, 4, 4, nullptr},
        {"a house at the map's far corner", 1, 0, 63, 63, 1, 1, nullptr},
        {"a house never placed", 1, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, nullptr},
        {"a house reaching past the map's edge", 1, 0, 62, 62, 3, 2, nullptr},
        {"a house one past the last column", 1, 0, 64, 3, 1, 1, "at (64, 3) lies off the 64 x 64 map"},
        {"a house near 2^31", 1, 0, 0x7FFFFFF0, 3, 1, 1, "lies off the 64 x 64 map"},
        {"a house at a negative tile", 1, 0, 0xFFFFFFFE, 3, 1, 1, "at (-2, 3) lies off"},
        {"a footprint near 2^31", 1, 0, 3, 3, 0x7FFFFFFF, 0x7FFFFFFF, "a footprint of 2147483647 x"},
        {"a footprint of negative width", 1, 0, 3, 3, 0xFFFFFFFF, 1, "a footprint of -1 x 1"},
        {"a span off the map", 3, 0, 64, 0, 0, 0, "lies off the 64 x 64 map"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t id = (c.category << 19) | 1;
        Bytes bytes = WriteStream(4, [&] {
            Chunk(ChunkTag("obj"), [&] {
                Chunk(ChunkTag("objs"), [&] { Words({1, 12, id, c.category, c.subtype}); });
                Chunk(ChunkTag("gob1"), [&] { Words({32, id, c.category, c.subtype, c.x, c.y, 0, 4, 0}); });
                Chunk(0, [] {});
                if (c.category == 1) {
                    Chunk(ChunkTag("bld1"), [&] { Words({8, c.width, c.height}); });
                    Chunk(0, [] {});
                }
            });
            Chunk(0, [] {});
        });
        ClearWorldError();
        const bool loaded = ReadStream(bytes, [] {
            uint32_t tag = 0;
            BeginChunk(tag);
            bool ok = LoadMapObjects();
            EndChunk();
            return ok;
        });
        EXPECT_EQ(loaded, c.refusal == nullptr) << LastWorldError();
        if (c.refusal) {
            EXPECT_NE(LastWorldError().find(c.refusal), std::string::npos) << LastWorldError();
            EXPECT_EQ(MapObjectFromId(id), nullptr);
        }
        DeleteAllMapObjects();
    }
}

TEST_F(WorldSaveTest, BuildingOfAnySizeDiesQuickly) {
    // A footprint claimed far beyond the map: deleting the building looks
    // only at the tiles on the map, and resets only those naming it.
    ASSERT_TRUE(Map().PlaceFootprint(60, 60, 0x80001, 2, 2, 2));
    ASSERT_TRUE(Map().PlaceFootprint(62, 62, 0x80009, 1, 1, 2));
    auto* b = static_cast<Building*>(CreateMapObject(1, 0, 0x80001));
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->Place(0x7FFFFFF0, 0x7FFFFFF0, 0, 0x7FFFFFFF, 0x7FFFFFFF, 0));
    b->GetCentre();
    b->SetPosition(-5, -5);
    DeleteMapObject(0x80001);
    EXPECT_EQ(Map().GetCellKind(60, 60), uint32_t(kCellPlain));
    EXPECT_EQ(Map().GetBuildingAt(62, 62), 0x80009u);
}

TEST_F(WorldSaveTest, ClockLoadsNoNegativeOrUndefinedSpeed) {
    // "tim1": ticks (u64), speed (f32), game time (u32).
    const float speeds[] = {-2.0f, std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::infinity()};
    for (float speed : speeds) {
        SCOPED_TRACE(speed);
        Bytes bytes = WriteStream(4, [&] {
            Chunk(ChunkTag("time"), [&] {
                Chunk(ChunkTag("tim1"), [&] { Words({90000, 0, std::bit_cast<uint32_t>(speed), 4000}); });
            });
            Chunk(0, [] {});
        });
        CreateGameClock(0);
        Load(bytes);
        GameClock* clock = GetGameClock();
        EXPECT_EQ(clock->GetSpeed(), 0.0f);
        EXPECT_EQ(clock->GetCurrentYear(), 1860u);
        plat::Clock::Advance(1000);
        EXPECT_EQ(clock->GetTime(), 4000u) << "the game time stands still";
    }
}

TEST_F(WorldSaveTest, AClockPastItsLargestTimeIsRefused) {
    for (uint32_t time : {kLargestGameTime + 1, 0xFFFFFFFFu, kLargestGameTime}) {
        SCOPED_TRACE(time);
        Bytes bytes = WriteStream(4, [&] {
            Chunk(ChunkTag("time"), [&] {
                Chunk(ChunkTag("tim1"), [&] { Words({90000, 0, std::bit_cast<uint32_t>(1.0f), time}); });
            });
            Chunk(0, [] {});
        });
        GameClock* clock = CreateGameClock(0);
        clock->AddTicks(5);
        const bool good = time <= kLargestGameTime;
        EXPECT_EQ(Load(bytes), good);
        if (good) {
            EXPECT_EQ(clock->GetTime(), time);
        } else {
            EXPECT_NE(LastWorldError().find("past its largest"), std::string::npos) << LastWorldError();
            EXPECT_EQ(clock->GetTicks(), 5u) << "the clock is left as it was";
        }
    }
}

TEST_F(WorldSaveTest, ClockContinuesFromSavedTime) {
    GameClock* clock = GetGameClock();
    plat::Clock::Advance(5000);
    clock->SetSpeed(2.0f);
    plat::Clock::Advance(1000);
    clock->GetTime();
    Bytes bytes = Save();
    plat::Clock::Advance(60000);
    CreateGameClock(0);
    ASSERT_TRUE(Load(bytes));
    EXPECT_EQ(GetGameClock()->GetTime(), 7000u);
    EXPECT_EQ(GetGameClock()->GetSpeed(), 2.0f);
}

} // namespace
