// mdtool chunks: the tree of chunks of a saved game or island, a compressed
// save expanded first.
#include "tools/mdtool/command.h"

#include "files/chunk_tree.h"
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
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read))
        return Fail(path + ": cannot be opened");
    uint64_t size = file.Size();
    if (size >= UINT32_MAX)
        return Fail(path + ": too large for a chunk file");
    std::vector<uint8_t> bytes(size_t(size), 0);
    if (!file.ReadExact(bytes.data(), bytes.size()))
        return Fail(path + ": cannot be read");
    std::vector<std::string> lines;
    std::string error;
    if (!DescribeChunkFile(bytes, lines, error))
        return Fail(path + ": " + error);
    for (const std::string& line : lines)
        std::printf("%s\n", Printable(line).c_str());
    return 0;
}

MDTOOL_COMMAND("chunks", kChunksUsage, RunChunks);

} // namespace
} // namespace mdtool
