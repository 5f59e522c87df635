// mdtool chunks: the tree of chunks of a saved game or island, a compressed
// save expanded first. A chunk's payload counts as nested chunks when it
// divides exactly into chunks with printable tags; anything else is fields.
#include "tools/mdtool/command.h"

#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"
#include "platform/endian.h"
#include "platform/file.h"

#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace mdtool {
namespace {

constexpr const char* kChunksUsage = "chunks FILE";
constexpr uint32_t kChunkHeaderSize = 8;
constexpr int kMaxDepth = 64;

// Printable characters, with unused leading characters zero ("obj").
bool IsPlausibleTag(uint32_t tag) {
    bool started = false;
    for (int shift = 24; shift >= 0; shift -= 8) {
        uint8_t c = uint8_t(tag >> shift);
        if (c == 0 && !started)
            continue;
        if (c < 0x20 || c > 0x7E)
            return false;
        started = true;
    }
    return true;
}

struct ChunkHeader {
    uint32_t tag;
    uint32_t size;
};

ChunkHeader HeaderAt(std::span<const uint8_t> bytes, size_t offset) {
    return {plat::LoadLE32(bytes.data() + offset), plat::LoadLE32(bytes.data() + offset + 4)};
}

// Whether bytes are exactly a run of plausible chunks.
bool IsChunkRun(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return false;
    for (size_t offset = 0; offset < bytes.size();) {
        if (bytes.size() - offset < kChunkHeaderSize)
            return false;
        ChunkHeader header = HeaderAt(bytes, offset);
        if (header.size < kChunkHeaderSize || header.size > bytes.size() - offset ||
            !IsPlausibleTag(header.tag) || (header.tag == 0 && header.size != kChunkHeaderSize))
            return false;
        offset += header.size;
    }
    return true;
}

// Why the file is not a run of chunks, or nothing.
std::string TopLevelDamage(std::span<const uint8_t> bytes) {
    for (size_t offset = 0; offset < bytes.size();) {
        std::string where = " at byte " + std::to_string(offset);
        if (bytes.size() - offset < kChunkHeaderSize)
            return "the data ends inside a chunk header" + where;
        ChunkHeader header = HeaderAt(bytes, offset);
        std::string chunk = "chunk '" + ChunkTagName(header.tag) + "'" + where;
        if (header.size < kChunkHeaderSize)
            return chunk + " has the size " + std::to_string(header.size) + ", less than its own header";
        if (header.size > bytes.size() - offset)
            return chunk + " has the size " + std::to_string(header.size) + ", but only " +
                   std::to_string(bytes.size() - offset) + " bytes are left";
        offset += header.size;
    }
    return {};
}

void PrintRun(std::span<const uint8_t> bytes, size_t base, int depth) {
    for (size_t offset = 0; offset < bytes.size();) {
        ChunkHeader header = HeaderAt(bytes, offset);
        std::printf("%*s%s  %u bytes at %zu\n", depth * 2, "", ChunkTagName(header.tag).c_str(), header.size,
                    base + offset);
        auto payload = bytes.subspan(offset + kChunkHeaderSize, header.size - kChunkHeaderSize);
        if (depth < kMaxDepth && IsChunkRun(payload))
            PrintRun(payload, base + offset + kChunkHeaderSize, depth + 1);
        offset += header.size;
    }
}

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

    if (bytes.size() < 4 || plat::LoadLE32(bytes.data()) != kHeaderChunkTag) {
        std::vector<uint8_t> plain;
        std::string reason;
        if (!UnpackSaveImage(bytes, plain, &reason))
            return Fail(path + ": neither a chunk file (no header chunk first) nor a compressed save (" +
                        reason + ")");
        std::printf("compressed save: %zu packed bytes, %zu plain bytes\n",
                    bytes.size() - kPackedSaveHeaderSize, plain.size());
        bytes = std::move(plain);
    }

    if (std::string damage = TopLevelDamage(bytes); !damage.empty())
        return Fail(path + ": damaged chunk file: " + damage);
    std::string headerText;
    uint32_t version = 0;
    bool headerRead =
        BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(bytes)), headerText, version);
    CloseStream();
    if (!headerRead)
        return Fail(path + ": damaged header chunk: " + StreamError());
    std::printf("version %u, \"%s\"\n", version, headerText.c_str());
    PrintRun(bytes, 0, 0);
    return 0;
}

MDTOOL_COMMAND("chunks", kChunksUsage, RunChunks);

} // namespace
} // namespace mdtool
