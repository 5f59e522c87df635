#include "files/chunk_stream.h"
#include "files/file_stream.h"
#include "files/memory_stream.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "tests/files/save_fixture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace save_fixture;

TEST(ChunkStream, HeaderChunkIsByteExact) {
    // Tag, size 39, version as a sized field, then the text with its length.
    Bytes expected = {'d', 'a', 'e', 'h', 39, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 19, 0, 0, 0};
    const std::string_view text = "MRD - Version 0.04";
    expected.insert(expected.end(), text.begin(), text.end());
    expected.push_back(0);
    EXPECT_EQ(Store([] {}), expected);

    ScratchFolder dir;
    std::string header(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenFileWriteStream(dir / "a.mds"), header, version));
    ASSERT_TRUE(CloseStream());
    Bytes onDisk;
    ASSERT_TRUE(plat::ReadWholeFile(dir / "a.mds", onDisk));
    EXPECT_EQ(onDisk, expected);
}

TEST(ChunkStream, LoadingTheHeaderTakesTheFilesVersionAndText) {
    Bytes bytes;
    std::string text = "Old text";
    uint32_t version = 3;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    EXPECT_EQ(StreamMode(), kStreamStore);
    ASSERT_TRUE(CloseStream());
    EXPECT_EQ(StreamMode(), 0);

    text = kSaveHeaderText;
    version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version));
    EXPECT_EQ(StreamMode(), kStreamLoad);
    EXPECT_EQ(version, 3u);
    EXPECT_EQ(text, "Old text");
    EXPECT_EQ(GetStreamVersion(), 3u);
    ASSERT_TRUE(CloseStream());
    EXPECT_EQ(StreamMode(), 0);
    EXPECT_EQ(GetStreamVersion(), 3u);
}

TEST(ChunkStream, FieldLayouts) {
    struct Case {
        const char* name;
        std::function<void()> store;
        Bytes expected;
    };
    const Case cases[] = {
        {"empty chunk of tag 0",
         [] {
             uint32_t tag = 0;
             BeginChunk(tag);
             EndChunk();
         },
         {0, 0, 0, 0, 8, 0, 0, 0}},
        {"tags lie reversed; short tags end in zero",
         [] {
             uint32_t tag = ChunkTag("tim1");
             BeginChunk(tag);
             EndChunk();
             tag = ChunkTag("obj");
             BeginChunk(tag);
             EndChunk();
         },
         {'1', 'm', 'i', 't', 8, 0, 0, 0, 'j', 'b', 'o', 0, 8, 0, 0, 0}},
        {"string abc",
         [] {
             uint32_t tag = ChunkTag("name");
             std::string text = "abc";
             BeginChunk(tag);
             SerializeString(text);
             EndChunk();
         },
         {'e', 'm', 'a', 'n', 16, 0, 0, 0, 4, 0, 0, 0, 'a', 'b', 'c', 0}},
        {"empty string",
         [] {
             uint32_t tag = ChunkTag("name");
             std::string text;
             BeginChunk(tag);
             SerializeString(text);
             EndChunk();
         },
         {'e', 'm', 'a', 'n', 13, 0, 0, 0, 1, 0, 0, 0, 0}},
        {"sized field and raw field",
         [] {
             uint32_t tag = ChunkTag("data");
             uint8_t sized[3] = {0xAA, 0xBB, 0xCC};
             uint8_t raw[2] = {0x11, 0x22};
             BeginChunk(tag);
             TransferSized(sized, 3);
             TransferInChunk(raw, 2);
             EndChunk();
         },
         {'a', 't', 'a', 'd', 17, 0, 0, 0, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0x11, 0x22}},
        {"nested chunks count in the outer size",
         [] {
             uint32_t outer = ChunkTag("out");
             uint32_t inner = ChunkTag("in");
             uint8_t byte = 5;
             BeginChunk(outer);
             TransferInChunk(&byte, 1);
             BeginChunk(inner);
             TransferInChunk(&byte, 1);
             EndChunk();
             BeginChunk(inner);
             EndChunk();
             EndChunk();
         },
         {'t', 'u', 'o', 0, 26, 0, 0, 0, 5, 'n', 'i', 0, 0, 9, 0, 0, 0, 5, 'n', 'i', 0, 0, 8, 0, 0, 0}},
        {"list of two u32",
         [] {
             uint32_t tag = ChunkTag("list");
             std::vector<uint32_t> values = {1, 0x01020304};
             BeginChunk(tag);
             TransferVector(values);
             EndChunk();
         },
         {'t', 's', 'i', 'l', 24, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 4, 3, 2, 1}},
        {"a block's size leaves out its header; its chunk counts it",
         [] {
             uint32_t tag = ChunkTag("obj");
             uint32_t block = ChunkTag("blk");
             uint8_t byte = 9;
             BeginChunk(tag);
             BeginBlock(block);
             TransferSizedInBlock(&byte, 1);
             EndBlock();
             EndChunk();
         },
         {'j', 'b', 'o', 0, 21, 0, 0, 0, 'k', 'l', 'b', 0, 5, 0, 0, 0, 1, 0, 0, 0, 9}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Payload(Store(c.store)), c.expected) << c.name;
}

TEST(ChunkStream, SaveRoundTripsThroughMemoryAndFiles) {
    const World world = LargeWorld();
    const Bytes inMemory = StoreWorld(world);

    World loaded;
    ASSERT_TRUE(Load(inMemory, [&] { loaded.Serialize(); })) << StreamError();
    EXPECT_EQ(loaded, world);

    // The file stream buffers; sizes patched after a flush must land too.
    ScratchFolder dir;
    World copy = world;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenFileWriteStream(dir / "world.mds"), text, version));
    copy.Serialize();
    ASSERT_TRUE(CloseStream()) << StreamError();
    Bytes onDisk;
    ASSERT_TRUE(plat::ReadWholeFile(dir / "world.mds", onDisk));
    EXPECT_EQ(onDisk, inMemory);

    World fromFile;
    ASSERT_TRUE(BeginSaveStream(OpenFileReadStream(dir / "world.mds"), text, version));
    fromFile.Serialize();
    ASSERT_TRUE(CloseStream()) << StreamError();
    EXPECT_EQ(fromFile, world);
    EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(ChunkStream, FileStreamsCarryFieldsLargerThanTheirBuffer) {
    Bytes big(600 * 1024), skipped(300 * 1024, 0x5A);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i % 251);
    auto serialize = [&](Bytes& bigField, uint32_t& tail) {
        for (uint32_t expected : {ChunkTag("big1"), ChunkTag("skip"), ChunkTag("tail")}) {
            uint32_t tag = expected;
            BeginChunk(tag);
            if (tag == ChunkTag("big1"))
                TransferSized(bigField.data(), uint32_t(bigField.size()));
            else if (tag == ChunkTag("skip") && Storing())
                TransferInChunk(skipped.data(), uint32_t(skipped.size()));
            else if (tag == ChunkTag("tail"))
                TransferSizedValue(tail);
            EndChunk();
        }
    };
    uint32_t tail = 0xC0FFEE;
    const Bytes inMemory = Store([&] { serialize(big, tail); });

    ScratchFolder dir;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenFileWriteStream(dir / "big.mds"), text, version));
    serialize(big, tail);
    ASSERT_TRUE(CloseStream()) << StreamError();
    Bytes onDisk;
    ASSERT_TRUE(plat::ReadWholeFile(dir / "big.mds", onDisk));
    EXPECT_EQ(onDisk, inMemory);

    Bytes loadedBig(big.size());
    uint32_t loadedTail = 0;
    ASSERT_TRUE(BeginSaveStream(OpenFileReadStream(dir / "big.mds"), text, version));
    serialize(loadedBig, loadedTail);
    ASSERT_TRUE(CloseStream()) << StreamError();
    EXPECT_EQ(loadedBig, big);
    EXPECT_EQ(loadedTail, tail);
}

// An empty sized field or an empty raw field moves nothing, and a file
// stream must not take that for a failure.
TEST(ChunkStream, EmptyFieldsStoreThroughEveryStream) {
    auto serialize = [](std::vector<uint8_t>& field) {
        uint32_t tag = ChunkTag("none");
        BeginChunk(tag);
        TransferSized(field.data(), uint32_t(field.size()));
        TransferInChunk(field.data(), 0);
        EndChunk();
    };
    std::vector<uint8_t> empty;
    const Bytes inMemory = Store([&] { serialize(empty); });
    EXPECT_EQ(Payload(inMemory), (Bytes{'e', 'n', 'o', 'n', 12, 0, 0, 0, 0, 0, 0, 0}));

    ScratchFolder dir;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenFileWriteStream(dir / "empty.mds"), text, version));
    serialize(empty);
    ASSERT_TRUE(CloseStream()) << StreamError();
    Bytes onDisk;
    ASSERT_TRUE(plat::ReadWholeFile(dir / "empty.mds", onDisk));
    EXPECT_EQ(onDisk, inMemory);

    ASSERT_TRUE(BeginSaveStream(OpenFileReadStream(dir / "empty.mds"), text, version));
    serialize(empty);
    EXPECT_TRUE(CloseStream()) << StreamError();
}

TEST(ChunkStream, LoadersSkipUnknownChunksAndStopAtTagZero) {
    const uint32_t dep1 = ChunkTag("dep1"), dep2 = ChunkTag("dep2"), dep9 = ChunkTag("dep9");
    Depot written{5, "Mill", {4, 5}};
    Depot next{6, "Yard", {}};
    struct Case {
        const char* name;
        std::initializer_list<uint32_t> writtenTags;
        Depot expected;
    };
    const Case cases[] = {
        {"a newer tag between known ones is skipped", {dep1, dep9, dep2, 0}, written},
        {"an older file ends the list early", {dep1, 0}, {5, "Mill", {99}}},
        {"tags in another order", {dep2, dep1, 0}, written},
    };
    for (const Case& c : cases) {
        Bytes bytes = Store([&] {
            uint32_t tag = ChunkTag("obj");
            BeginChunk(tag);
            written.Serialize(c.writtenTags);
            next.Serialize();
            EndChunk();
        });
        Depot first{0, "", {99}};
        Depot second;
        ASSERT_TRUE(Load(bytes, [&] {
            uint32_t tag = 0;
            BeginChunk(tag);
            first.Serialize();
            second.Serialize();
            EndChunk();
        })) << c.name;
        EXPECT_EQ(first, c.expected) << c.name;
        EXPECT_EQ(second, next) << c.name;
    }
}

// An object whose closing chunk is missing reads no more chunks than its
// list has entries: the damage stays with its neighbour, and the objects
// after that load as they were written.
TEST(ChunkStream, AMissingClosingChunkTakesAtMostOneChunkOfTheNext) {
    Depot damaged{5, "Mill", {4, 5}};
    Depot next{6, "Yard", {7}};
    Depot last{8, "Quay", {9, 10}};
    Bytes bytes = Store([&] {
        uint32_t tag = ChunkTag("obj");
        BeginChunk(tag);
        // The damaged object's two chunks, without their closing chunk.
        tag = ChunkTag("dep1");
        BeginChunk(tag);
        TransferSizedValue(damaged.id);
        SerializeString(damaged.name);
        EndChunk();
        tag = ChunkTag("dep2");
        BeginChunk(tag);
        TransferVector(damaged.cargo);
        EndChunk();
        next.Serialize();
        last.Serialize();
        EndChunk();
    });
    Depot first, second, third;
    ASSERT_TRUE(Load(bytes, [&] {
        uint32_t tag = 0;
        BeginChunk(tag);
        first.Serialize();
        second.Serialize();
        third.Serialize();
        EndChunk();
    }));
    EXPECT_EQ(first.id, next.id) << "the third entry of the list is the next object's first chunk";
    EXPECT_EQ(first.cargo, damaged.cargo);
    EXPECT_EQ(second.cargo, next.cargo);
    EXPECT_EQ(third, last);
}

TEST(ChunkStream, SizedFieldsTakeWhatFitsAndKeepTheirNeighboursInPlace) {
    struct Case {
        const char* name;
        Bytes stored;   // the sized field as it lies in the chunk
        Bytes expected; // a 4-byte buffer after loading, which held AA AA AA AA
    };
    const Case cases[] = {
        {"longer stored field", {10, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {1, 2, 3, 4}},
        {"shorter stored field", {2, 0, 0, 0, 1, 2}, {1, 2, 0xAA, 0xAA}},
        {"empty stored field", {0, 0, 0, 0}, {0xAA, 0xAA, 0xAA, 0xAA}},
    };
    for (const Case& c : cases) {
        // The chunk holds the field, then a u32 sized field with 77.
        Bytes bytes = Store([&] {
            uint32_t tag = ChunkTag("test");
            uint32_t after = 77;
            BeginChunk(tag);
            TransferInChunk(const_cast<uint8_t*>(c.stored.data()), uint32_t(c.stored.size()));
            TransferSizedValue(after);
            EndChunk();
            tag = ChunkTag("next");
            BeginChunk(tag);
            EndChunk();
        });
        Bytes buffer(4, 0xAA);
        uint32_t after = 0, nextTag = 0;
        ASSERT_TRUE(Load(bytes, [&] {
            uint32_t tag = 0;
            BeginChunk(tag);
            EXPECT_EQ(TransferSized(buffer.data(), 4), 4 + std::min<uint32_t>(4, uint32_t(c.stored[0])));
            TransferSizedValue(after);
            EndChunk();
            BeginChunk(nextTag);
            EndChunk();
        })) << c.name;
        EXPECT_EQ(buffer, c.expected) << c.name;
        EXPECT_EQ(after, 77u) << c.name;
        EXPECT_EQ(nextTag, ChunkTag("next")) << c.name;
    }
}

TEST(ChunkStream, ShortChunksLeaveMissingFieldsAlone) {
    // A stored length beyond the chunk is cut at the chunk's end.
    Bytes bytes = Store([] {
        uint32_t tag = ChunkTag("test");
        uint8_t field[6] = {50, 0, 0, 0, 1, 2};
        BeginChunk(tag);
        TransferInChunk(field, 6);
        EndChunk();
        tag = ChunkTag("next");
        BeginChunk(tag);
        EndChunk();
    });
    uint8_t buffer[4] = {9, 9, 9, 9};
    uint32_t missing = 5;
    std::string name = "kept";
    std::vector<uint32_t> list = {3};
    uint32_t nextTag = 0;
    ASSERT_TRUE(Load(bytes, [&] {
        uint32_t tag = 0;
        BeginChunk(tag);
        EXPECT_EQ(TransferSized(buffer, 4), 6u);
        EXPECT_EQ(ChunkBytesLeft(), 0u);
        TransferSizedValue(missing);
        SerializeString(name);
        TransferVector(list);
        EXPECT_EQ(TransferInChunk(buffer, 4), 0u);
        EndChunk();
        BeginChunk(nextTag);
        EndChunk();
    })) << StreamError();
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 9, 9}));
    EXPECT_EQ(missing, 5u);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(list, std::vector<uint32_t>{3});
    EXPECT_EQ(nextTag, ChunkTag("next"));
}

TEST(ChunkStream, ListsTakeAtMostTheirOwnElementSize) {
    // Three stored elements of 8 bytes, read as 4-byte elements, then as 12.
    Bytes bytes = Store([] {
        uint32_t tag = ChunkTag("list");
        uint32_t count = 3;
        BeginChunk(tag);
        uint32_t stored = TransferListHeader(count, 8);
        for (uint8_t i = 1; i <= 3; ++i) {
            uint8_t element[8] = {i, i, i, i, 0xEE, 0xEE, 0xEE, 0xEE};
            TransferListElement(element, 8, stored);
        }
        uint32_t after = 77;
        TransferSizedValue(after);
        EndChunk();
    });
    for (uint32_t elementSize : {4u, 12u}) {
        std::vector<Bytes> elements;
        uint32_t after = 0;
        ASSERT_TRUE(Load(bytes, [&] {
            uint32_t tag = 0, count = 0;
            BeginChunk(tag);
            uint32_t stored = TransferListHeader(count, elementSize);
            EXPECT_EQ(stored, 8u);
            elements.assign(count, Bytes(elementSize, 0));
            for (Bytes& element : elements)
                TransferListElement(element.data(), elementSize, stored);
            TransferSizedValue(after);
            EndChunk();
        }));
        ASSERT_EQ(elements.size(), 3u);
        Bytes second =
            elementSize == 4 ? Bytes{2, 2, 2, 2} : Bytes{2, 2, 2, 2, 0xEE, 0xEE, 0xEE, 0xEE, 0, 0, 0, 0};
        EXPECT_EQ(elements[1], second) << elementSize;
        EXPECT_EQ(after, 77u) << elementSize;
    }
}

// What the damaged-file cases store in a chunk "test" and load back.
enum class Content { String, List, Nested, TwoRawBytes };

void TransferContent(Content content, std::string& text, std::vector<uint32_t>& values) {
    uint32_t tag = ChunkTag("test");
    BeginChunk(tag);
    switch (content) {
    case Content::String:
        SerializeString(text);
        break;
    case Content::List:
        TransferVector(values);
        break;
    case Content::Nested: {
        uint32_t inner = ChunkTag("in");
        uint32_t value = 1;
        BeginChunk(inner);
        TransferSizedValue(value);
        EndChunk();
        break;
    }
    case Content::TwoRawBytes:
        if (Storing()) {
            uint8_t raw[2] = {1, 2};
            TransferInChunk(raw, 2);
        } else {
            uint8_t sized[4] = {};
            TransferSized(sized, 4);
        }
        break;
    }
    EndChunk();
}

TEST(ChunkStream, DamagedFilesFailWithAReasonAndLeaveDataAlone) {
    constexpr size_t kUndamaged = SIZE_MAX;
    struct Case {
        const char* name;
        Content content;
        size_t offset; // of the damaged u32 in the file
        uint32_t value;
        const char* reason;
    };
    const Case cases[] = {
        {"not a header chunk first", Content::String, 0, ChunkTag("save"),
         "does not begin with a header chunk"},
        {"header chunk without its fields", Content::String, 4, 12, "lacks its version or its text"},
        {"chunk smaller than its header", Content::String, 43, 7, "less than its own header"},
        {"chunk beyond the end of the file", Content::String, 43, 1000, "more than the 16 bytes around it"},
        {"nested chunk beyond its parent", Content::Nested, 51, 17, "more than the 16 bytes around it"},
        {"string count 0", Content::String, 47, 0, "no room for its terminating zero"},
        {"string beyond its chunk", Content::String, 47, 5, "longer than the 4 bytes left"},
        {"list beyond its chunk", Content::List, 47, 3, "does not fit in the 8 bytes left"},
        {"list of elements of 0 bytes", Content::List, 51, 0, "elements of 0 bytes"},
        {"sized field's length cut off", Content::TwoRawBytes, kUndamaged, 0, "length is cut off"},
    };
    for (const Case& c : cases) {
        Bytes bytes = Store([&] {
            std::string text = "abc";
            std::vector<uint32_t> values = {1, 2};
            TransferContent(c.content, text, values);
        });
        if (c.offset != kUndamaged)
            PutLE32(bytes, c.offset, c.value);
        std::string text = "kept";
        std::vector<uint32_t> values = {42};
        EXPECT_FALSE(Load(bytes, [&] { TransferContent(c.content, text, values); })) << c.name;
        EXPECT_NE(StreamError().find(c.reason), std::string::npos) << c.name << ": " << StreamError();
        EXPECT_EQ(text, "kept") << c.name;
        EXPECT_EQ(values, std::vector<uint32_t>{42}) << c.name;
    }
}

TEST(ChunkStream, TruncationAtEveryByteFails) {
    const World world = SmallWorld();
    const Bytes bytes = StoreWorld(world);
    for (size_t length = 0; length < bytes.size(); ++length) {
        Bytes cut(bytes.begin(), bytes.begin() + length);
        World loaded;
        EXPECT_FALSE(Load(cut, [&] { loaded.Serialize(); })) << "cut at " << length;
        EXPECT_TRUE(StreamFailed()) << "cut at " << length;
    }
    World loaded;
    EXPECT_TRUE(Load(bytes, [&] { loaded.Serialize(); }));
    EXPECT_EQ(loaded, world);
}

TEST(ChunkStream, CallsWithoutAStreamDoNothing) {
    ASSERT_EQ(StreamMode(), 0);
    uint32_t tag = ChunkTag("test");
    uint8_t buffer[4] = {1, 2, 3, 4};
    std::string text = "kept";
    EXPECT_EQ(BeginChunk(tag), 0u);
    EXPECT_EQ(tag, ChunkTag("test"));
    EXPECT_EQ(TransferInChunk(buffer, 4), 0u);
    EXPECT_EQ(TransferSized(buffer, 4), 0u);
    EXPECT_EQ(SerializeString(text), 0u);
    EXPECT_EQ(EndChunk(), 0u);
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(CloseStream());

    std::string header;
    uint32_t version = 0;
    EXPECT_FALSE(BeginSaveStream(nullptr, header, version));
    EXPECT_EQ(StreamMode(), 0);
}

TEST(ChunkStream, TransfersOutsideChunksFailTheStream) {
    Bytes bytes;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint8_t byte = 0;
    EXPECT_EQ(TransferInChunk(&byte, 1), 0u);
    EXPECT_FALSE(CloseStream());
    EXPECT_NE(StreamError().find("outside any chunk"), std::string::npos);
}

TEST(ChunkStream, FailedSavesKeepTheOldFile) {
    ScratchFolder dir;
    const std::string target = dir / "game.mds";
    ASSERT_TRUE(plat::WriteFileAtomically(target, "old save"));
    struct Case {
        const char* name;
        std::function<void()> body;
        rlim_t fileSizeLimit;
        const char* reason;
    };
    const Case cases[] = {
        {"a chunk left open",
         [] {
             uint32_t tag = ChunkTag("time");
             BeginChunk(tag);
         },
         RLIM_INFINITY, "chunks still open"},
        {"the disk fills up", [] { LargeWorld().Serialize(); }, 64 * 1024, "could not be stored"},
    };
    for (const Case& c : cases) {
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        {
            FileSizeLimit limit(c.fileSizeLimit);
            ASSERT_TRUE(BeginSaveStream(OpenFileWriteStream(target), text, version)) << c.name;
            c.body();
            EXPECT_FALSE(CloseStream()) << c.name;
            EXPECT_NE(StreamError().find(c.reason), std::string::npos) << c.name << ": " << StreamError();
        }
        std::string content;
        ASSERT_TRUE(plat::ReadWholeFile(target, content));
        EXPECT_EQ(content, "old save") << c.name;
        EXPECT_EQ(dir.FileCount(), 1u) << c.name;
    }
}

TEST(ChunkStream, ASecondStreamFailsInsteadOfDroppingTheOpenOne) {
    ScratchFolder dir;
    const std::string target = dir / "game.mds";
    ASSERT_TRUE(plat::WriteFileAtomically(target, "old save"));
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenFileWriteStream(target), text, version));
    uint32_t tag = ChunkTag("time");
    BeginChunk(tag);

    Bytes bytes;
    EXPECT_FALSE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(StreamMode(), kStreamStore);
    EndChunk();
    EXPECT_FALSE(CloseStream());
    EXPECT_NE(StreamError().find("second stream"), std::string::npos) << StreamError();
    std::string content;
    ASSERT_TRUE(plat::ReadWholeFile(target, content));
    EXPECT_EQ(content, "old save");
    EXPECT_EQ(dir.FileCount(), 1u);
}

// Stores a small world in steps, and in the middle of them calls between().
Bytes StoreWorldAround(const std::function<void()>& between) {
    World world = SmallWorld();
    return Store([&] {
        uint32_t tag = ChunkTag("time");
        BeginChunk(tag);
        world.SerializeTime();
        between();
        EndChunk();
        uint32_t value = 5;
        tag = ChunkTag("more");
        BeginChunk(tag);
        TransferSizedValue(value);
        EndChunk();
    });
}

TEST(ChunkStream, ANestedScopeHasAStreamOfItsOwn) {
    const Bytes plain = StoreWorldAround([] {});
    const Bytes other = StoreWorld(SmallWorld());
    ScratchFolder dir;
    const std::string target = dir / "left-open.mds";
    ASSERT_TRUE(plat::WriteFileAtomically(target, "old save"));

    World loaded;
    std::string otherError = "not run";
    const Bytes nested = StoreWorldAround([&] {
        SaveStreamScope scope;
        EXPECT_EQ(StreamMode(), 0);
        EXPECT_EQ(ChunkBytesLeft(), 0u);
        // A stream of the scope: loading a whole save in the middle of another.
        EXPECT_TRUE(Load(other, [&] { loaded.Serialize(); }));
        otherError = StreamError();
        {
            // A stream left open when its scope ends delivers nothing.
            SaveStreamScope inner;
            std::string text(kSaveHeaderText);
            uint32_t version = kSaveStreamVersion;
            EXPECT_TRUE(BeginSaveStream(OpenFileWriteStream(target), text, version));
            uint32_t tag = ChunkTag("junk");
            BeginChunk(tag);
        }
        EXPECT_EQ(StreamMode(), 0);
    });
    EXPECT_EQ(StreamMode(), 0);
    EXPECT_EQ(nested, plain);
    EXPECT_EQ(loaded, SmallWorld());
    EXPECT_EQ(otherError, "");
    std::string content;
    ASSERT_TRUE(plat::ReadWholeFile(target, content));
    EXPECT_EQ(content, "old save");
    EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(ChunkStream, EveryThreadHasItsOwnStream) {
    const Bytes expected = StoreWorld(LargeWorld());
    // This thread keeps a stream open while others store and load.
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Bytes mine;
    ASSERT_TRUE(BeginSaveStream(OpenMemoryWriteStream(mine), text, version));
    uint32_t tag = ChunkTag("open");
    BeginChunk(tag);

    constexpr int kThreads = 3;
    std::vector<Bytes> stored(kThreads);
    std::vector<World> loaded(kThreads);
    std::vector<int> loadedOk(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            EXPECT_EQ(StreamMode(), 0);
            for (int round = 0; round < 5; ++round) {
                stored[i] = StoreWorld(LargeWorld());
                loadedOk[i] = Load(stored[i], [&] { loaded[i].Serialize(); });
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(stored[i], expected) << i;
        EXPECT_TRUE(loadedOk[i]) << i;
        EXPECT_EQ(loaded[i], LargeWorld()) << i;
    }
    EXPECT_EQ(StreamMode(), kStreamStore);
    EndChunk();
    ASSERT_TRUE(CloseStream()) << StreamError();
    EXPECT_EQ(Payload(mine), (Bytes{'n', 'e', 'p', 'o', 8, 0, 0, 0}));
}

TEST(ChunkStream, SkippingMovesWithinTheChunk) {
    Bytes bytes = Store([] {
        uint32_t tag = ChunkTag("test");
        uint8_t value = 7;
        BeginChunk(tag);
        EXPECT_EQ(SkipInChunk(3), 3u);
        TransferInChunk(&value, 1);
        EndChunk();
    });
    EXPECT_EQ(Payload(bytes), (Bytes{'t', 's', 'e', 't', 12, 0, 0, 0, 0, 0, 0, 7}));
    uint8_t value = 0;
    ASSERT_TRUE(Load(bytes, [&] {
        uint32_t tag = 0;
        BeginChunk(tag);
        EXPECT_EQ(SkipInChunk(3), 3u);
        TransferInChunk(&value, 1);
        EXPECT_EQ(SkipInChunk(10), 0u);
        EndChunk();
    }));
    EXPECT_EQ(value, 7);
}

void TransferU32InBlock(uint32_t& value) {
    uint8_t field[4];
    plat::StoreLE32(field, value);
    TransferSizedInBlock(field, 4);
    value = plat::LoadLE32(field);
}

TEST(ChunkStream, BlocksRoundTripInsideAndOutsideChunks) {
    Bytes bytes = Store([] {
        uint32_t tag = ChunkTag("obj");
        uint32_t block = ChunkTag("blk1");
        uint32_t a = 11, skipped = 33, b = 22;
        BeginChunk(tag);
        BeginBlock(block);
        TransferU32InBlock(a);
        TransferU32InBlock(skipped);
        EXPECT_EQ(EndBlock(), 16u);
        EXPECT_EQ(EndChunk(), 8u + 8u + 16u);
        block = ChunkTag("blk2");
        BeginBlock(block);
        TransferU32InBlock(b);
        EndBlock();
    });
    uint32_t a = 0, b = 0, block1 = 0, block2 = 0;
    ASSERT_TRUE(Load(bytes, [&] {
        uint32_t tag = 0;
        BeginChunk(tag);
        BeginBlock(block1);
        TransferU32InBlock(a);
        EndBlock();
        EXPECT_EQ(ChunkBytesLeft(), 0u);
        EndChunk();
        BeginBlock(block2);
        TransferU32InBlock(b);
        EndBlock();
    })) << StreamError();
    EXPECT_EQ(block1, ChunkTag("blk1"));
    EXPECT_EQ(block2, ChunkTag("blk2"));
    EXPECT_EQ(a, 11u);
    EXPECT_EQ(b, 22u);
}

} // namespace
