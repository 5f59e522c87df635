#include "transport/signals.h"

#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "tests/transport/route_network.h"
#include "tests/world/world_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <span>
#include <vector>

namespace {

constexpr uint32_t kSectionTag = ChunkTag("SIGL");

// The signals' section framed as the saved game frames it.
std::vector<uint8_t> SavedSignalSection() {
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint32_t tag = kSectionTag;
    BeginChunk(tag);
    EXPECT_TRUE(SerializeSignals());
    EndChunk();
    EXPECT_TRUE(CloseStream());
    return bytes;
}

bool LoadSection(std::span<const uint8_t> bytes) {
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(bytes), text, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool ok = tag == kSectionTag && SerializeSignals();
    EndChunk();
    return CloseStream() && ok;
}

// Where a chunk with the tag begins in saved bytes.
uint8_t* FindChunk(std::vector<uint8_t>& bytes, uint32_t tag) {
    uint8_t le[4];
    plat::StoreLE32(le, tag);
    auto it = std::search(bytes.begin(), bytes.end(), std::begin(le), std::end(le));
    EXPECT_NE(it, bytes.end());
    return it == bytes.end() ? nullptr : &*it;
}

class SignalsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        RouteNetwork net;
        net.Run(1, 2, 5, 20, 5);
        net.Apply();
        WorldSignals().railVehiclesOnTile = [this](uint32_t x, uint32_t y, std::vector<SignalVehicle>& out) {
            auto it = vehicles_.find({x, y});
            if (it != vehicles_.end())
                out.push_back(it->second);
        };
    }

    std::map<std::pair<uint32_t, uint32_t>, SignalVehicle> vehicles_;
};

TEST_F(SignalsTest, RegistryReusesTheLowestFreeId) {
    for (uint32_t x = 3; x < 8; ++x)
        EXPECT_EQ(CreateSignal(x, 5, 0)->id, x - 2);
    EXPECT_EQ(SignalSlotCount(), 100u);
    EXPECT_EQ(Map().GetRouteSignal(5, 5), 3u);
    DeleteSignal(3);
    EXPECT_EQ(GetSignal(3), nullptr);
    Signal* again = CreateSignal(12, 5, 1);
    EXPECT_EQ(again->id, 3u);
    EXPECT_EQ(GetSignal(3), again);
    EXPECT_EQ(GetSignal(0), nullptr);
    EXPECT_EQ(GetSignal(101), nullptr);
    EXPECT_FALSE(IsSignalBlocked(55, 0));
    DeleteAllSignals();
    EXPECT_EQ(SignalSlotCount(), 0u);
}

// The tile's cell forgets a deleted signal, so that the next signal given
// the same id is not found on that tile too.
TEST_F(SignalsTest, DeletingClearsTheCellThatNamesTheSignal) {
    Signal* a = CreateSignal(5, 5, 0);
    DeleteSignal(a->id);
    EXPECT_EQ(Map().GetRouteSignal(5, 5), 0u);
    CreateSignal(9, 5, 0);
    EXPECT_EQ(Map().GetRouteSignal(5, 5), 0u);
    EXPECT_EQ(Map().GetRouteSignal(9, 5), 1u);
    // A cell that names another signal by now keeps it.
    Signal* b = CreateSignal(11, 5, 0);
    Map().SetRouteSignal(11, 5, 77);
    DeleteSignal(b->id);
    EXPECT_EQ(Map().GetRouteSignal(11, 5), 77u);
}

TEST_F(SignalsTest, FacingSignalsBoundEachOthersBlock) {
    Signal* west = CreateSignal(5, 5, 0);
    Signal* east = CreateSignal(10, 5, 0);
    RefreshSignalsIfDirty();
    EXPECT_EQ(west->directions[1].bounding, (std::vector<SignalLink>{{east->id, 3}}));
    EXPECT_EQ(east->directions[3].bounding, (std::vector<SignalLink>{{west->id, 1}}));
    EXPECT_TRUE(west->directions[3].bounding.empty());
    EXPECT_EQ(west->directions[1].counted, (std::vector<SignalLink>{{east->id, 3}}));
    EXPECT_TRUE(west->directions[0].bounding.empty());

    EXPECT_TRUE(west->Reserve(2));
    EXPECT_TRUE(IsSignalBlocked(east->id, 3));
    EXPECT_FALSE(west->Reserve(2));
    EXPECT_FALSE(east->Reserve(8));
    west->Release(2);
    EXPECT_FALSE(IsSignalBlocked(west->id, 1));
    EXPECT_FALSE(IsSignalBlocked(east->id, 3));
    EXPECT_TRUE(east->Reserve(8));
}

TEST_F(SignalsTest, CountersNeverGoBelowZero) {
    Signal* west = CreateSignal(5, 5, 0);
    Signal* east = CreateSignal(10, 5, 0);
    RefreshSignalsIfDirty();
    ASSERT_TRUE(west->Reserve(2));
    EXPECT_EQ(west->directions[1].counter, 1);
    EXPECT_EQ(east->directions[3].counter, 1);
    for (int i = 0; i < 3; ++i) {
        west->Release(2);
        west->LeaveBlock(2);
        east->LeaveBlock(8);
    }
    EXPECT_EQ(west->directions[1].counter, 0);
    EXPECT_EQ(east->directions[3].counter, 0);
    EXPECT_FALSE(west->Reserve(3));
    EXPECT_FALSE(west->Reserve(0));
}

TEST_F(SignalsTest, PreviewedSignalTakesNoPart) {
    Signal* west = CreateSignal(5, 5, 0);
    Signal* middle = CreateSignal(8, 5, 0);
    middle->preview = 1;
    Signal* east = CreateSignal(12, 5, 0);
    RefreshSignalsIfDirty();
    EXPECT_EQ(west->directions[1].bounding, (std::vector<SignalLink>{{east->id, 3}}));
    EXPECT_TRUE(middle->directions[1].bounding.empty());
    middle->Commit();
    RefreshSignalsIfDirty();
    EXPECT_EQ(west->directions[1].bounding, (std::vector<SignalLink>{{middle->id, 3}}));
}

TEST_F(SignalsTest, VehiclesInABlockAreCounted) {
    Signal* west = CreateSignal(5, 5, 0);
    Signal* east = CreateSignal(12, 5, 0);
    vehicles_[{8, 5}] = {40, 2};
    RefreshSignalsIfDirty();
    // Seen from both sides; counted by the signal it drives towards.
    EXPECT_TRUE(IsSignalBlocked(west->id, 1));
    EXPECT_TRUE(IsSignalBlocked(east->id, 3));
    EXPECT_EQ(east->directions[3].counter, 1);
    EXPECT_EQ(west->directions[1].counter, 0);
    EXPECT_FALSE(IsSignalBlocked(east->id, 1));

    // Recomputed only once something changed.
    vehicles_.clear();
    RefreshSignalsIfDirty();
    EXPECT_TRUE(IsSignalBlocked(east->id, 3));
    MarkSignalsDirty();
    RefreshSignalsIfDirty();
    EXPECT_FALSE(IsSignalBlocked(east->id, 3));
}

TEST_F(SignalsTest, SavedAndLoadedAsTheyWere) {
    CreateSignal(5, 5, 0);
    Signal* second = CreateSignal(10, 5, 1);
    second->preview = 1;
    CreateSignal(12, 5, 0);
    DeleteSignal(3);
    const std::vector<uint8_t> bytes = SavedSignalSection();

    DeleteAllSignals();
    ASSERT_TRUE(LoadSection(bytes));
    EXPECT_EQ(SignalSlotCount(), 100u);
    ASSERT_NE(GetSignal(1), nullptr);
    ASSERT_NE(GetSignal(2), nullptr);
    EXPECT_EQ(GetSignal(3), nullptr);
    EXPECT_EQ(GetSignal(2)->x, 10u);
    EXPECT_EQ(GetSignal(2)->kind, 1);
    EXPECT_EQ(GetSignal(2)->preview, 0);
    // The next signal takes the free slot 3.
    EXPECT_EQ(CreateSignal(14, 5, 0)->id, 3u);
    DeleteSignal(3);
    Map().SetRouteSignal(12, 5, 0);
    GetSignal(2)->preview = 0;
    const std::vector<uint8_t> again = SavedSignalSection();
    ASSERT_TRUE(LoadSection(again));
    EXPECT_EQ(SavedSignalSection(), again);
}

TEST_F(SignalsTest, DamagedSectionsLeaveTheSignalsAlone) {
    CreateSignal(5, 5, 0);
    CreateSignal(9, 5, 0);
    const std::vector<uint8_t> good = SavedSignalSection();
    DeleteSignal(2);

    // Cut anywhere inside the records: refused, nothing changed.
    for (size_t cut = good.size() - 8; cut > good.size() - 40; cut -= 7) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + std::ptrdiff_t(cut));
        EXPECT_FALSE(LoadSection(bytes)) << cut;
        EXPECT_NE(GetSignal(1), nullptr);
        EXPECT_EQ(GetSignal(2), nullptr);
    }

    // Records that name no free slot or lie off the map are skipped.
    std::vector<uint8_t> bytes = good;
    uint8_t* sig2 = FindChunk(bytes, ChunkTag("sig2"));
    ASSERT_NE(sig2, nullptr);
    uint8_t* first = sig2 + 8 + 4;
    plat::StoreLE32(first, 500);
    plat::StoreLE32(first + 32 + 4, 9000);
    ASSERT_TRUE(LoadSection(bytes));
    EXPECT_EQ(GetSignal(1), nullptr);
    EXPECT_EQ(GetSignal(2), nullptr);
    EXPECT_EQ(SignalSlotCount(), 100u);

    // A slot count beyond any map is refused.
    bytes = good;
    uint8_t* sig1 = FindChunk(bytes, ChunkTag("sig1"));
    ASSERT_NE(sig1, nullptr);
    plat::StoreLE32(sig1 + 8 + 4, 0xFFFFFFF0u);
    CreateSignal(5, 5, 0);
    EXPECT_FALSE(LoadSection(bytes));
    EXPECT_NE(GetSignal(1), nullptr);
    EXPECT_EQ(GetSignal(2), nullptr);

    // A record shorter than 28 bytes is damage, not a record.
    bytes = good;
    sig2 = FindChunk(bytes, ChunkTag("sig2"));
    ASSERT_NE(sig2, nullptr);
    plat::StoreLE32(sig2 + 8, 20);
    EXPECT_FALSE(LoadSection(bytes));
    EXPECT_NE(GetSignal(1), nullptr);
    EXPECT_EQ(GetSignal(2), nullptr);
}

TEST_F(SignalsTest, EmptySectionOfOlderGamesHoldsNoSignals) {
    CreateSignal(5, 5, 0);
    std::vector<uint8_t> bytes;
    {
        SaveStreamScope scope;
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
        uint32_t tag = kSectionTag;
        BeginChunk(tag);
        EndChunk();
        ASSERT_TRUE(CloseStream());
    }
    ASSERT_TRUE(LoadSection(bytes));
    EXPECT_EQ(SignalSlotCount(), 0u);
}

TEST_F(SignalsTest, SignalsBelongToTheirWorld) {
    CreateSignal(5, 5, 0);
    World other;
    {
        WorldScope scope(other);
        EXPECT_EQ(GetSignal(1), nullptr);
        EXPECT_EQ(SignalSlotCount(), 0u);
    }
    EXPECT_NE(GetSignal(1), nullptr);
}

} // namespace
