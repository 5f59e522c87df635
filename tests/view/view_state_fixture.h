// Helpers for tests of saved view state: storing and loading through a
// memory chunk stream, and reading a stored stream's top-level chunks.
#pragma once

#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The bytes a store through fn writes, the stream's header chunk included.
inline std::vector<uint8_t> StoreStream(const std::function<void()>& fn) {
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    fn();
    EXPECT_TRUE(CloseStream());
    return bytes;
}

// Loads bytes made by StoreStream through fn; the stream's closing result.
inline bool LoadStream(const std::vector<uint8_t>& bytes, const std::function<void()>& fn) {
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(bytes)), text, version))
        return false;
    fn();
    return CloseStream();
}

// The top-level chunks behind the header: (tag, size with header).
inline std::vector<std::pair<uint32_t, uint32_t>> TopChunks(const std::vector<uint8_t>& bytes) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    size_t pos = bytes.size() >= 8 ? plat::LoadLE32(bytes.data() + 4) : bytes.size();
    while (pos + 8 <= bytes.size()) {
        const uint32_t size = plat::LoadLE32(bytes.data() + pos + 4);
        out.emplace_back(plat::LoadLE32(bytes.data() + pos), size);
        if (size < 8)
            break;
        pos += size;
    }
    return out;
}

// A chunk written by hand: the tag, then a sized block of the bytes.
inline void StoreSizedChunk(uint32_t tag, std::vector<uint8_t> bytes) {
    BeginChunk(tag);
    TransferSized(bytes.data(), uint32_t(bytes.size()));
    EndChunk();
}
inline void StoreEndChunk() {
    uint32_t tag = 0;
    BeginChunk(tag);
    EndChunk();
}
