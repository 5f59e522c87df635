// Shared set-up of the players, prices, events and static object tests: a
// fresh clock, empty tables and players, helpers to fill table cells, and
// one routine for storing and loading a section in memory.
#pragma once

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "files/memory_stream.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/special_events.h"
#include "world/static_object_services.h"
#include "world/world.h"
#include "world/world_services.h"
#include "world/yearly_modifiers.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace economy_fixture {

using Bytes = std::vector<uint8_t>;

inline ValueTable MakeTable(std::initializer_list<std::initializer_list<float>> rows) {
    ValueTable table;
    uint32_t columns = 0;
    for (const auto& row : rows)
        columns = std::max(columns, uint32_t(row.size()));
    table.Resize(columns, uint32_t(rows.size()));
    uint32_t r = 0;
    for (const auto& row : rows) {
        uint32_t c = 0;
        for (float value : row)
            table.SetCell(c++, r, value);
        ++r;
    }
    return table;
}

inline void SetYear(uint32_t year) {
    GetGameClock()->SetYear(year);
}

// Clears every table these tests fill and the names and colours read from
// them, and gives the current world a running clock.
inline void ResetEconomyState() {
    ClearAINames();
    ResetColourCaches();
    GlobalConstantsTable::Clear();
    ProductTable::Clear();
    RouteBuilderTable::Clear();
    SpecialEventsTable::Clear();
    HeadquarterTable::Clear();
    WaterTowerTable::Clear();
    StoragePlaceTable::Clear();
    VehicleTable::Clear();
    AIPlayerTable::Clear();
    SpecialTracksTable::Clear();
    StationTable::Clear();
    LivingBuildingTable::Clear();
    SpecialBuildingTownTable::Clear();
    CityGrowingConfigTable::Clear();
    ToolTip_HeadquarterTable::Clear();
    CreateGameClock(0);
}

// Each test plays in a fresh world of its own.
class EconomyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetEconomyState(); }
    void TearDown() override { ResetEconomyState(); }

    World world_;
    WorldScope scope_{world_};
};

// Stores what body writes into a section chunk ("test" unless tagged
// otherwise) of a memory stream.
inline Bytes StoreSection(const std::function<void()>& body, uint32_t tag = ChunkTag("test")) {
    Bytes bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    BeginChunk(tag);
    body();
    EndChunk();
    EXPECT_TRUE(CloseStream()) << StreamError();
    return bytes;
}

// Loads the section back with body; the stream's verdict.
inline bool LoadSection(const Bytes& bytes, const std::function<void()>& body) {
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    body();
    EndChunk();
    return CloseStream();
}

// Little-endian chunk building for crafted inputs.
struct ChunkWriter {
    Bytes bytes;
    std::vector<size_t> open;

    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            U8(uint8_t(v >> (8 * i)));
    }
    void U64(uint64_t v) {
        U32(uint32_t(v));
        U32(uint32_t(v >> 32));
    }
    void Begin(uint32_t tag) {
        U32(tag);
        open.push_back(bytes.size());
        U32(0);
    }
    void End() {
        const size_t at = open.back();
        open.pop_back();
        const uint32_t size = uint32_t(bytes.size() - at + 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(size >> (8 * i));
    }
    void Empty() {
        Begin(0);
        End();
    }
};

// A whole stream: the game's header chunk, then a section chunk "test"
// holding the crafted payload.
inline Bytes WrapSection(const Bytes& payload) {
    Bytes bytes = StoreSection([] {});
    // The stored empty section ends the stream: its size is patched.
    const size_t sectionAt = bytes.size() - 8;
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    const uint32_t size = uint32_t(8 + payload.size());
    for (int i = 0; i < 4; ++i)
        bytes[sectionAt + 4 + i] = uint8_t(size >> (8 * i));
    return bytes;
}

} // namespace economy_fixture
