#include "files/chunk_tree.h"

#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"
#include "platform/endian.h"

namespace {

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

void DescribeRun(std::span<const uint8_t> bytes, size_t base, int depth, std::vector<std::string>& lines) {
    for (size_t offset = 0; offset < bytes.size();) {
        ChunkHeader header = HeaderAt(bytes, offset);
        lines.push_back(std::string(size_t(depth) * 2, ' ') + ChunkTagName(header.tag) + "  " +
                        std::to_string(header.size) + " bytes at " + std::to_string(base + offset));
        auto payload = bytes.subspan(offset + kChunkHeaderSize, header.size - kChunkHeaderSize);
        if (depth < kMaxDepth && IsChunkRun(payload))
            DescribeRun(payload, base + offset + kChunkHeaderSize, depth + 1, lines);
        offset += header.size;
    }
}

} // namespace

bool DescribeChunkFile(std::span<const uint8_t> file, std::vector<std::string>& lines, std::string& error) {
    lines.clear();
    std::vector<uint8_t> plain;
    std::span<const uint8_t> bytes = file;
    if (bytes.size() < 4 || plat::LoadLE32(bytes.data()) != kHeaderChunkTag) {
        std::string reason;
        if (!UnpackSaveImage(bytes, plain, &reason)) {
            error = "neither a chunk file (no header chunk first) nor a compressed save (" + reason + ")";
            return false;
        }
        lines.push_back("compressed save: " + std::to_string(bytes.size() - kPackedSaveHeaderSize) +
                        " packed bytes, " + std::to_string(plain.size()) + " plain bytes");
        bytes = plain;
    }
    if (std::string damage = TopLevelDamage(bytes); !damage.empty()) {
        error = "damaged chunk file: " + damage;
        return false;
    }
    std::string headerText;
    uint32_t version = 0;
    bool headerRead;
    {
        // Its own stream: whatever stream the caller has open stays as it is.
        SaveStreamScope scope;
        headerRead = BeginSaveStream(OpenMemoryReadStream(bytes), headerText, version);
        if (!headerRead)
            error = "damaged header chunk: " + StreamError();
        CloseStream();
    }
    if (!headerRead)
        return false;
    lines.push_back("version " + std::to_string(version) + ", \"" + headerText + "\"");
    DescribeRun(bytes, 0, 0, lines);
    return true;
}
