#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "transport/transport_log.h"
#include "transport/waypoint_list.h"

#include "tests/transport/waypoint_tiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

WaypointList Make(std::initializer_list<std::pair<uint32_t, uint32_t>> tiles, uint32_t capacity = 5) {
    WaypointList list(capacity);
    for (auto [x, y] : tiles)
        list.Add(x, y);
    return list;
}

std::vector<uint8_t> Save(WaypointList& list) {
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    EXPECT_TRUE(list.Transfer());
    EXPECT_TRUE(CloseStream());
    return bytes;
}

bool Load(const std::vector<uint8_t>& bytes, WaypointList& list) {
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version))
        return false;
    const bool ok = list.Transfer();
    CloseStream();
    return ok;
}

// Where the "rut1" chunk's payload begins in a saved stream.
size_t RoutePayload(const std::vector<uint8_t>& bytes) {
    const uint8_t tag[4] = {'1', 't', 'u', 'r'};
    auto at = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
    EXPECT_NE(at, bytes.end());
    return size_t(at - bytes.begin()) + 8;
}

TEST(WaypointList, GrowsByFiveAndSavesItsByteSize) {
    WaypointList list = Make({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
    EXPECT_EQ(list.ByteSize(), 92u);
    list.Add(6, 6);
    EXPECT_EQ(list.Capacity(), 10u);
    EXPECT_EQ(list.ByteSize(), 172u);
    WaypointList other = Make({{7, 7}, {8, 8}, {9, 9}, {10, 10}, {11, 11}});
    list.Append(other);
    EXPECT_EQ(list.Count(), 11u);
    EXPECT_EQ(list.Capacity(), 11u);
}

TEST(WaypointList, FindTileOnRowsAndColumns) {
    const WaypointList list = Make({{0, 0}, {0, 5}, {3, 5}});
    const std::tuple<uint32_t, uint32_t, uint32_t> cases[] = {
        {0, 3, 1}, {0, 5, 2}, {2, 5, 2}, {3, 5, 3}, {1, 1, 0}, {0, 0, 1}, {4, 5, 0},
    };
    for (auto [x, y, position] : cases)
        EXPECT_EQ(list.FindTile(x, y), position) << x << "," << y;
    EXPECT_EQ(Make({{4, 4}}).FindTile(4, 4), 1u);
    EXPECT_EQ(WaypointList().FindTile(0, 0), 0u);

    auto nodeAt = [](uint32_t x, uint32_t y) { return x == 3 && y == 5; };
    EXPECT_EQ(list.FindNextNode(0, 3, nodeAt), 2u);
    EXPECT_EQ(list.FindNextNode(2, 5, nodeAt), 2u);
    // The last waypoint has no entry after it.
    EXPECT_EQ(list.FindNextNode(3, 5, nodeAt), 0u);
}

TEST(WaypointList, EditsKeepOrderAndIgnoreBadIndexes) {
    WaypointList list = Make({{1, 1}, {1, 1}, {1, 1}, {2, 2}});
    list.RemoveDuplicates();
    EXPECT_EQ(Tiles(list), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {2, 2}}));
    list.InsertAfter(0, 5, 5);
    list.RemoveAt(2);
    list.RemoveAt(9);
    EXPECT_EQ(Tiles(list), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {5, 5}}));
    list.SetValue(7, 3);
    EXPECT_EQ(list.GetValue(7), 0u);
    list.DropLast(10);
    EXPECT_EQ(list.Count(), 0u);

    WaypointList route = Make({{0, 0}, {2, 0}, {2, 3}});
    route.SetValue(1, 9);
    route.Reverse();
    EXPECT_EQ(Tiles(route), (std::vector<std::pair<uint32_t, uint32_t>>{{2, 3}, {2, 0}, {0, 0}}));
    EXPECT_EQ(route.GetValue(1), 9u);
    EXPECT_EQ(route.Capacity(), 3u);
    WaypointList back(2);
    back.AppendReversed(route);
    EXPECT_EQ(Tiles(back), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}, {2, 0}, {2, 3}}));
    EXPECT_EQ(back.GetValue(1), 0u);
}

TEST(WaypointList, VisitTilesWalksEverySegment) {
    const WaypointList list = Make({{0, 0}, {2, 2}, {2, 4}});
    std::vector<std::tuple<uint32_t, uint32_t, uint8_t, uint8_t, uint32_t>> visited;
    list.VisitTiles([&](uint32_t x, uint32_t y, uint8_t previous, uint8_t mask, uint32_t segment) {
        visited.emplace_back(x, y, previous, mask, segment);
    });
    const std::vector<std::tuple<uint32_t, uint32_t, uint8_t, uint8_t, uint32_t>> expected = {
        {0, 0, 0, 6, 0}, {1, 1, 0, 6, 0}, {2, 2, 6, 4, 1}, {2, 3, 6, 4, 1}, {2, 4, 4, 0, 2},
    };
    EXPECT_EQ(visited, expected);
}

TEST(WaypointList, DirectionsAtWaypointsAndReversals) {
    WaypointList list = Make({{0, 0}, {0, 4}, {0, 2}});
    list.ComputeDirections();
    EXPECT_EQ(list.GetDirection(0), 4);
    EXPECT_EQ(list.GetDirection(1), 1);
    uint8_t arrival = 0;
    uint8_t leaving = 0;
    list.GetDirectionsAt(0, 4, 2, arrival, leaving);
    EXPECT_EQ(arrival, 4);
    EXPECT_EQ(leaving, 4);
    list.GetDirectionsAt(0, 3, 1, arrival, leaving);
    EXPECT_EQ(arrival, 4);
    list.GetDirectionsAt(9, 9, 50, arrival, leaving);
    EXPECT_EQ(arrival, 4);
}

// The saved form: a sized field with the byte size, a sized field with the
// image, the end chunk; pad bytes and entries past the count are zero
// whatever the list held there before.
TEST(WaypointList, SavesTheImageWithZeroPadding) {
    WaypointList list = Make({{1, 2}, {3, 4}, {9, 9}});
    list.SetValue(0, 0x11223344);
    list.SetDirection(1, 6);
    list.DropLast(1);
    const std::vector<uint8_t> bytes = Save(list);
    const size_t p = RoutePayload(bytes);
    ASSERT_GE(bytes.size(), p + 24 + 5 * 16 + 8);
    EXPECT_EQ(plat::LoadLE32(&bytes[p]), 4u);
    EXPECT_EQ(plat::LoadLE32(&bytes[p + 4]), 92u);
    EXPECT_EQ(plat::LoadLE32(&bytes[p + 8]), 92u);
    EXPECT_EQ(plat::LoadLE32(&bytes[p + 12]), 92u);
    EXPECT_EQ(plat::LoadLE32(&bytes[p + 16]), 2u);
    EXPECT_EQ(plat::LoadLE32(&bytes[p + 20]), 5u);
    const uint8_t first[16] = {1, 0, 0, 0, 2, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(first, first + 16, &bytes[p + 24]));
    EXPECT_EQ(bytes[p + 24 + 16 + 12], 6);
    EXPECT_TRUE(std::all_of(&bytes[p + 24 + 32], &bytes[p + 24 + 80], [](uint8_t b) { return b == 0; }));
    const uint8_t end[8] = {0, 0, 0, 0, 8, 0, 0, 0};
    EXPECT_TRUE(std::equal(end, end + 8, &bytes[p + 24 + 80]));

    WaypointList loaded;
    ASSERT_TRUE(Load(bytes, loaded));
    EXPECT_EQ(Tiles(loaded), Tiles(list));
    EXPECT_EQ(loaded.GetValue(0), 0x11223344u);
    EXPECT_EQ(loaded.Capacity(), 5u);
    EXPECT_EQ(Save(loaded), bytes);
}

// Damaged counts and sizes fail the load with a warning and keep the list.
TEST(WaypointList, DamagedImagesAreRefused) {
    WaypointList saved = Make({{1, 2}, {3, 4}});
    const std::vector<uint8_t> good = Save(saved);
    const size_t p = RoutePayload(good);
    struct Case {
        const char* name;
        size_t offset;
        uint32_t value;
    };
    const Case cases[] = {
        {"first field not four bytes", p, 8},         {"image length differs from the size", p + 8, 76},
        {"size beyond the chunk", p + 4, 0x7FFFFFF0}, {"header size disagrees", p + 12, 60},
        {"count above capacity", p + 16, 6},          {"capacity disagrees with the size", p + 20, 4},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        plat::StoreLE32(&bytes[c.offset], c.value);
        WaypointList list = Make({{7, 7}});
        const uint32_t warnings = TransportWarningCount();
        EXPECT_FALSE(Load(bytes, list)) << c.name;
        EXPECT_GT(TransportWarningCount(), warnings) << c.name;
        EXPECT_EQ(Tiles(list), (std::vector<std::pair<uint32_t, uint32_t>>{{7, 7}})) << c.name;
    }
    for (size_t cut = p; cut < good.size(); cut += 7) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + long(cut));
        WaypointList list = Make({{7, 7}});
        Load(bytes, list);
        EXPECT_TRUE(list.Count() == 1 || Tiles(list) == Tiles(saved)) << cut;
    }
}

} // namespace
