#include "files/chunk_transfer.h"
#include "tests/files/save_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace save_fixture;

enum class Kind : uint16_t { None = 0, Road = 0x0102, Rail = 0xFFFF };
enum Weather : int8_t { Dry = 1, Storm = -3 };

// Stores body inside one chunk "test" and returns the chunk's payload.
Bytes StoreInChunk(const std::function<void()>& body) {
    Bytes bytes = Store([&] {
        uint32_t tag = ChunkTag("test");
        BeginChunk(tag);
        body();
        EndChunk();
    });
    return Bytes(bytes.begin() + 39 + 8, bytes.end());
}

// Loads body from a chunk "test" that holds payload, followed by a chunk
// "next" that must still be found; the result of the load.
bool LoadFromChunk(const Bytes& payload, const std::function<void()>& body) {
    Bytes bytes = Store([&] {
        uint32_t tag = ChunkTag("test");
        BeginChunk(tag);
        TransferInChunk(const_cast<uint8_t*>(payload.data()), uint32_t(payload.size()));
        EndChunk();
        tag = ChunkTag("next");
        BeginChunk(tag);
        EndChunk();
    });
    uint32_t nextTag = 0;
    bool ok = Load(bytes, [&] {
        uint32_t tag = 0;
        BeginChunk(tag);
        body();
        EndChunk();
        BeginChunk(nextTag);
        EndChunk();
    });
    return ok && nextTag == ChunkTag("next");
}

TEST(ChunkTransfer, ValuesLieLittleEndian) {
    struct Case {
        const char* name;
        std::function<uint32_t()> store; // returns the bytes it reports moved
        Bytes expected;
    };
    const Case cases[] = {
        {"u8",
         [] {
             uint8_t v = 0xAB;
             return Transfer(v);
         },
         {0xAB}},
        {"i16",
         [] {
             int16_t v = -2;
             return Transfer(v);
         },
         {0xFE, 0xFF}},
        {"u32",
         [] {
             uint32_t v = 0x01020304;
             return Transfer(v);
         },
         {4, 3, 2, 1}},
        {"i64",
         [] {
             int64_t v = -0x0102030405060708;
             return Transfer(v);
         },
         {0xF8, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE}},
        {"bool",
         [] {
             bool v = true;
             return Transfer(v);
         },
         {1}},
        {"scoped enum",
         [] {
             Kind v = Kind::Road;
             return Transfer(v);
         },
         {2, 1}},
        {"plain enum",
         [] {
             Weather v = Storm;
             return Transfer(v);
         },
         {0xFD}},
        {"float",
         [] {
             float v = 1.0f;
             return Transfer(v);
         },
         {0, 0, 0x80, 0x3F}},
        {"double",
         [] {
             double v = -2.0;
             return Transfer(v);
         },
         {0, 0, 0, 0, 0, 0, 0, 0xC0}},
        {"sized u16",
         [] {
             uint16_t v = 0x0102;
             return TransferSizedValue(v);
         },
         {2, 0, 0, 0, 2, 1}},
        {"string",
         [] {
             std::string v = "ab";
             return Transfer(v);
         },
         {3, 0, 0, 0, 'a', 'b', 0}},
        {"vector of i16",
         [] {
             std::vector<int16_t> v = {1, -1};
             return TransferVector(v);
         },
         {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0xFF, 0xFF}},
        {"vector of double",
         [] {
             std::vector<double> v = {-2.0};
             return TransferVector(v);
         },
         {1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0}},
        {"empty vector",
         [] {
             std::vector<uint32_t> v;
             return TransferVector(v);
         },
         {0, 0, 0, 0, 4, 0, 0, 0}},
        {"records field by field",
         [] {
             std::vector<std::pair<uint16_t, uint8_t>> v = {{0x0102, 3}, {4, 5}};
             return TransferList(v, 3, [](std::pair<uint16_t, uint8_t>& r) {
                 Transfer(r.first);
                 Transfer(r.second);
             });
         },
         {2, 0, 0, 0, 3, 0, 0, 0, 2, 1, 3, 4, 0, 5}},
    };
    for (const Case& c : cases) {
        uint32_t moved = 0;
        Bytes payload = StoreInChunk([&] { moved = c.store(); });
        EXPECT_EQ(payload, c.expected) << c.name;
        // A string reports the bytes after its count, everything else all.
        EXPECT_EQ(moved, c.expected.size() - (std::string_view(c.name) == "string" ? 4 : 0)) << c.name;
    }
}

// Every kind of field at its extremes, one routine for both directions.
struct Record {
    uint8_t u8 = 0;
    int8_t i8 = 0;
    uint16_t u16 = 0;
    int16_t i16 = 0;
    uint32_t u32 = 0;
    int32_t i32 = 0;
    uint64_t u64 = 0;
    int64_t i64 = 0;
    bool flag = false;
    Kind kind = Kind::None;
    Weather weather = Dry;
    float f = 0;
    double d = 0;
    uint32_t sized = 0;
    std::string text;
    std::vector<int64_t> wide;
    std::vector<float> floats;
    std::vector<Kind> kinds;
    friend bool operator==(const Record&, const Record&) = default;

    void Serialize() {
        Transfer(u8), Transfer(i8), Transfer(u16), Transfer(i16), Transfer(u32), Transfer(i32);
        Transfer(u64), Transfer(i64), Transfer(flag), Transfer(kind), Transfer(weather);
        Transfer(f), Transfer(d), TransferSizedValue(sized), Transfer(text);
        TransferVector(wide), TransferVector(floats), TransferVector(kinds);
    }
};

TEST(ChunkTransfer, ExtremesRoundTrip) {
    Record max{0xFF,
               std::numeric_limits<int8_t>::min(),
               0xFFFF,
               std::numeric_limits<int16_t>::min(),
               0xFFFFFFFF,
               std::numeric_limits<int32_t>::min(),
               UINT64_MAX,
               std::numeric_limits<int64_t>::min(),
               true,
               Kind::Rail,
               Storm,
               -std::numeric_limits<float>::infinity(),
               std::numeric_limits<double>::denorm_min(),
               0x80000001,
               std::string("with\0zero", 9),
               {std::numeric_limits<int64_t>::max(), -1},
               {1.5f, -0.0f},
               {Kind::Road, Kind::None}};
    Bytes payload = StoreInChunk([&] { max.Serialize(); });
    Record loaded;
    ASSERT_TRUE(LoadFromChunk(payload, [&] { loaded.Serialize(); })) << StreamError();
    EXPECT_EQ(loaded, max);
    EXPECT_TRUE(std::signbit(loaded.floats[1]));
}

TEST(ChunkTransfer, AnyNonZeroByteLoadsAsTrue) {
    for (uint8_t stored : {1, 2, 0x80, 0xFF}) {
        bool flag = false;
        ASSERT_TRUE(LoadFromChunk({stored}, [&] { Transfer(flag); }));
        EXPECT_TRUE(flag) << int(stored);
    }
}

TEST(ChunkTransfer, ShortChunksKeepWhatTheyDoNotHold) {
    // Two bytes where a u32 is read: its low half comes from the file.
    uint32_t value = 0xAABBCCDD;
    uint32_t missing = 7;
    std::string text = "kept";
    std::vector<uint16_t> list = {9};
    Record record;
    record.text = "kept too";
    ASSERT_TRUE(LoadFromChunk({0x11, 0x22}, [&] {
        EXPECT_EQ(Transfer(value), 2u);
        EXPECT_EQ(Transfer(missing), 0u);
        EXPECT_EQ(TransferSizedValue(missing), 0u);
        EXPECT_EQ(Transfer(text), 0u);
        EXPECT_EQ(TransferVector(list), 0u);
        record.Serialize();
    })) << StreamError();
    EXPECT_EQ(value, 0xAABB2211u);
    EXPECT_EQ(missing, 7u);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(list, std::vector<uint16_t>{9});
    EXPECT_EQ(record.text, "kept too");
}

TEST(ChunkTransfer, StoredFieldsOfAnotherWidthKeepTheirNeighboursInPlace) {
    // Each stored first, then a u32 77 that must still load as 77.
    struct Case {
        const char* name;
        std::function<void()> store;
        std::function<void()> load;
        std::function<void()> check;
    };
    uint16_t narrow = 0;
    uint64_t wide = 0;
    std::vector<uint32_t> values;
    const Case cases[] = {
        {"a wider sized value loads its low bytes",
         [] {
             uint64_t v = 0x1122334455667788;
             TransferSizedValue(v);
         },
         [&] { TransferSizedValue(narrow); }, [&] { EXPECT_EQ(narrow, 0x7788); }},
        {"a narrower sized value leaves the high bytes alone",
         [] {
             uint16_t v = 0x0102;
             TransferSizedValue(v);
         },
         [&] {
             wide = 0xFFFFFFFFFFFFFFFF;
             TransferSizedValue(wide);
         },
         [&] { EXPECT_EQ(wide, 0xFFFFFFFFFFFF0102u); }},
        {"wider stored elements load their low bytes",
         [] {
             std::vector<uint64_t> v = {0x100000002, 0xFFFFFFFF00000003};
             TransferVector(v);
         },
         [&] { TransferVector(values); },
         [&] {
             EXPECT_EQ(values, (std::vector<uint32_t>{2, 3}));
         }},
        {"narrower stored elements load zero-extended",
         [] {
             std::vector<uint16_t> v = {0xFFFF, 4};
             TransferVector(v);
         },
         [&] {
             values = {0xEEEEEEEE, 0xEEEEEEEE, 0xEEEEEEEE};
             TransferVector(values);
         },
         [&] {
             EXPECT_EQ(values, (std::vector<uint32_t>{0xFFFF, 4}));
         }},
    };
    for (const Case& c : cases) {
        Bytes payload = StoreInChunk([&] {
            c.store();
            uint32_t after = 77;
            Transfer(after);
        });
        uint32_t after = 0;
        ASSERT_TRUE(LoadFromChunk(payload,
                                  [&] {
                                      c.load();
                                      Transfer(after);
                                  }))
            << c.name << ": " << StreamError();
        c.check();
        EXPECT_EQ(after, 77u) << c.name;
    }
}

// A record list written by an older and a newer program.
struct StopV1 {
    uint32_t id = 0;
    uint16_t x = 0;
    void Serialize() { Transfer(id), Transfer(x); }
};
struct StopV2 {
    uint32_t id = 0;
    uint16_t x = 0;
    uint32_t capacity = 50; // newer field; older files lack it
    void Serialize() { Transfer(id), Transfer(x), Transfer(capacity); }
};

TEST(ChunkTransfer, RecordListsReadAcrossVersions) {
    std::vector<StopV1> oldStops = {{1, 10}, {2, 20}};
    std::vector<StopV2> newStops = {{3, 30, 300}, {4, 40, 400}};
    auto storeBoth = [&] {
        TransferList(oldStops, 6, [](StopV1& s) { s.Serialize(); });
        TransferList(newStops, 10, [](StopV2& s) { s.Serialize(); });
        uint32_t after = 77;
        Transfer(after);
    };
    Bytes payload = StoreInChunk(storeBoth);

    std::vector<StopV2> upgraded = {{9, 9, 9}};
    std::vector<StopV1> downgraded;
    uint32_t after = 0;
    ASSERT_TRUE(LoadFromChunk(payload, [&] {
        TransferList(upgraded, 10, [](StopV2& s) { s.Serialize(); });
        TransferList(downgraded, 6, [](StopV1& s) { s.Serialize(); });
        Transfer(after);
    })) << StreamError();
    ASSERT_EQ(upgraded.size(), 2u);
    EXPECT_EQ(upgraded[1].id, 2u);
    EXPECT_EQ(upgraded[1].x, 20);
    EXPECT_EQ(upgraded[1].capacity, 50u);
    ASSERT_EQ(downgraded.size(), 2u);
    EXPECT_EQ(downgraded[0].id, 3u);
    EXPECT_EQ(downgraded[1].x, 40);
    EXPECT_EQ(after, 77u);
}

TEST(ChunkTransfer, RecordsOfAnotherSizeThanTheirListFailTheSave) {
    std::vector<StopV1> stops = {{1, 10}};
    Bytes bytes;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint32_t tag = ChunkTag("test");
    BeginChunk(tag);
    TransferList(stops, 8, [](StopV1& s) { s.Serialize(); });
    EndChunk();
    EXPECT_FALSE(CloseStream());
    EXPECT_NE(StreamError().find("list of 8-byte elements"), std::string::npos) << StreamError();
}

TEST(ChunkTransfer, HostileListHeadersFailBeforeAnythingIsAllocated) {
    struct Case {
        const char* name;
        uint32_t count;
        uint32_t elementSize;
    };
    // Each header is followed by 8 bytes of elements.
    const Case cases[] = {
        {"count far beyond the chunk", 0xFFFFFFFF, 4},
        {"count times size wraps in 32 bits", 0x40000001, 4},
        {"elements of no bytes", 1000000000, 0},
        {"one element more than the chunk holds", 3, 4},
    };
    for (const Case& c : cases) {
        Bytes payload(16, 0);
        PutLE32(payload, 0, c.count);
        PutLE32(payload, 4, c.elementSize);
        std::vector<uint32_t> values = {42};
        std::vector<StopV1> stops = {{42, 42}};
        EXPECT_FALSE(LoadFromChunk(payload, [&] { TransferVector(values); })) << c.name;
        EXPECT_NE(StreamError().find("does not fit"), std::string::npos) << c.name << ": " << StreamError();
        EXPECT_FALSE(LoadFromChunk(payload, [&] {
            TransferList(stops, 6, [](StopV1& s) { s.Serialize(); });
        })) << c.name;
        EXPECT_EQ(values, std::vector<uint32_t>{42}) << c.name;
        ASSERT_EQ(stops.size(), 1u) << c.name;
        EXPECT_EQ(stops[0].id, 42u) << c.name;
    }
}

TEST(ChunkTransfer, WithoutAStreamNothingMoves) {
    ASSERT_EQ(StreamMode(), 0);
    uint32_t value = 5;
    std::vector<uint32_t> values = {1};
    std::vector<StopV1> stops = {{1, 1}};
    int calls = 0;
    EXPECT_EQ(Transfer(value), 0u);
    EXPECT_EQ(TransferSizedValue(value), 0u);
    EXPECT_EQ(TransferVector(values), 0u);
    EXPECT_EQ(TransferList(stops, 6, [&](StopV1&) { ++calls; }), 0u);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(values, std::vector<uint32_t>{1});
    EXPECT_EQ(calls, 0);
}

} // namespace
