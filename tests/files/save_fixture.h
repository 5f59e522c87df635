// Shared fixtures of the save stream tests: storing and loading in memory, and a saved
// game in miniature with one routine for both directions.
#pragma once

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "tests/files/file_size_limit.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace save_fixture {

using Bytes = std::vector<uint8_t>;

inline bool Storing() {
    return StreamMode() == kStreamStore;
}

// Stores through the chunk calls into memory, after the game's header chunk.
inline Bytes Store(const std::function<void()>& body) {
    Bytes bytes;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    body();
    EXPECT_TRUE(CloseStream()) << StreamError();
    return bytes;
}

// Loads with the same calls; the result of CloseStream.
inline bool Load(const Bytes& bytes, const std::function<void()>& body) {
    std::string text;
    uint32_t version = 0;
    BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version);
    body();
    return CloseStream();
}

// The bytes after the header chunk.
inline Bytes Payload(const Bytes& bytes) {
    return Bytes(bytes.begin() + 39, bytes.end());
}

inline void PutLE32(Bytes& bytes, size_t offset, uint32_t value) {
    plat::StoreLE32(bytes.data() + offset, value);
}

// A map object in miniature: its own tag list, walked the same way in both
// directions; a loader stops at the chunk of tag 0.
struct Depot {
    uint32_t id = 0;
    std::string name;
    std::vector<uint32_t> cargo;
    friend bool operator==(const Depot&, const Depot&) = default;

    void Serialize(std::initializer_list<uint32_t> tags = {ChunkTag("dep1"), ChunkTag("dep2"), 0}) {
        TransferTagList(std::span(tags.begin(), tags.size()), [&](uint32_t tag) {
            if (tag == ChunkTag("dep1")) {
                TransferSizedValue(id);
                SerializeString(name);
            } else if (tag == ChunkTag("dep2")) {
                TransferVector(cargo);
            }
        });
    }
};

// A saved game in miniature: sections with nested chunks, lists, strings and
// a variable number of objects.
struct World {
    uint32_t ticks = 0;
    uint32_t width = 0;
    std::vector<uint32_t> cells;
    std::vector<Depot> depots;
    std::string company;
    friend bool operator==(const World&, const World&) = default;

    void Serialize() {
        for (uint32_t expected : {ChunkTag("time"), ChunkTag("gmap"), ChunkTag("obj"), ChunkTag("plr")}) {
            uint32_t tag = expected;
            BeginChunk(tag);
            if (tag != expected) {
                EndChunk();
                return;
            }
            if (tag == ChunkTag("time"))
                SerializeTime();
            else if (tag == ChunkTag("gmap"))
                SerializeMap();
            else if (tag == ChunkTag("obj"))
                SerializeObjects();
            else
                SerializeString(company);
            EndChunk();
        }
    }

    void SerializeTime() {
        static constexpr uint32_t kTags[] = {ChunkTag("tim1"), 0};
        TransferTagList(kTags, [&](uint32_t tag) {
            if (tag == ChunkTag("tim1"))
                TransferSizedValue(ticks);
        });
    }

    void SerializeMap() {
        for (uint32_t expected : {ChunkTag("map1"), ChunkTag("map2")}) {
            uint32_t tag = expected;
            BeginChunk(tag);
            if (tag == ChunkTag("map1"))
                TransferSizedValue(width);
            else if (tag == ChunkTag("map2"))
                TransferVector(cells);
            EndChunk();
        }
    }

    void SerializeObjects() {
        uint32_t tag = ChunkTag("anz");
        uint32_t count = uint32_t(depots.size());
        BeginChunk(tag);
        TransferSizedValue(count);
        EndChunk();
        // Every object takes at least its end chunk.
        if (!Storing())
            depots.resize(std::min(count, ChunkBytesLeft() / 8));
        for (Depot& depot : depots)
            depot.Serialize();
    }
};

inline World SmallWorld() {
    World world;
    world.ticks = 9000;
    world.width = 4;
    world.cells = {1, 2, 3, 4, 5, 6, 7, 8};
    world.depots = {{7, "North", {1, 2}}, {9, "", {}}, {12, "South Quay", {3}}};
    world.company = "Marrow & Sons";
    return world;
}

inline World LargeWorld() {
    World world = SmallWorld();
    world.width = 512;
    world.cells.resize(512 * 256);
    for (size_t i = 0; i < world.cells.size(); ++i)
        world.cells[i] = uint32_t(i / 7);
    return world;
}

inline Bytes StoreWorld(World world) {
    return Store([&] { world.Serialize(); });
}

} // namespace save_fixture
