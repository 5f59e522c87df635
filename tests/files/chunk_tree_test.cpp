#include "files/chunk_stream.h"
#include "files/chunk_tree.h"
#include "files/memory_stream.h"
#include "platform/file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const std::string kFixtures = "tests/tools/fixtures/chunks/";

// The file cut at every length is refused with a reason or, cut between
// its top-level chunks, described; never anything else. In-process, so
// that it stays quick under the sanitizers.
TEST(ChunkTree, EveryCutIsRefusedOrEndsBetweenChunks) {
    struct Case {
        const char* file;
        std::set<size_t> wholeAt; // cuts that leave whole chunks
    };
    const Case cases[] = {
        {"game.mds", {39, 83, 263, 403}},
        {"game.mdp", {}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(plat::ReadWholeFile(kFixtures + c.file, bytes)) << c.file;
        std::vector<std::string> lines;
        std::string error;
        ASSERT_TRUE(DescribeChunkFile(bytes, lines, error)) << c.file << ": " << error;
        const size_t wholeLines = lines.size();
        for (size_t length = 0; length < bytes.size(); ++length) {
            std::span<const uint8_t> cut(bytes.data(), length);
            error.clear();
            bool described = DescribeChunkFile(cut, lines, error);
            EXPECT_EQ(described, c.wholeAt.contains(length))
                << c.file << " cut at " << length << ": " << error;
            EXPECT_EQ(error.empty(), described) << c.file << " cut at " << length;
            if (described) {
                EXPECT_LT(lines.size(), wholeLines) << c.file << " cut at " << length;
            }
        }
    }
}

TEST(ChunkTree, LeavesTheCallersStreamAlone) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(kFixtures + "game.mds", bytes));
    std::vector<uint8_t> stored;
    std::string text = "outer";
    uint32_t version = 1;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(stored), text, version));
    std::vector<std::string> lines;
    std::string error;
    EXPECT_TRUE(DescribeChunkFile(bytes, lines, error)) << error;
    EXPECT_EQ(lines.front(), "version 4, \"MRD - Version 0.04\"");
    EXPECT_EQ(StreamMode(), kStreamStore);
    EXPECT_EQ(GetStreamVersion(), 1u);
    EXPECT_TRUE(CloseStream()) << StreamError();
}

} // namespace
