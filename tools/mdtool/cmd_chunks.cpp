// mdtool chunks: the tree of chunks of a saved game or island, a compressed
// save expanded first.
#include "tools/mdtool/command.h"

#include "files/chunk_tree.h"
#include "files/packed_save.h"
#include "platform/file.h"

#include <cstdio>
#include <string>
#include <vector>

namespace mdtool {
namespace {

constexpr const char* kChunksUsage = "chunks FILE";

int RunChunks(const Args& args) {
    if (args.size() != 1)
        return Usage(kChunksUsage);
    const std::string& path = args[0];
    std::vector<uint8_t> bytes;
    std::string error;
    if (!plat::ReadWholeFile(path, bytes, kMaxSaveFileSize, &error))
        return Fail(path + ": " + error);
    std::vector<std::string> lines;
    if (!DescribeChunkFile(bytes, lines, error))
        return Fail(path + ": " + error);
    for (const std::string& line : lines)
        std::printf("%s\n", Printable(line).c_str());
    return 0;
}

MDTOOL_COMMAND("chunks", kChunksUsage, RunChunks);

} // namespace
} // namespace mdtool
