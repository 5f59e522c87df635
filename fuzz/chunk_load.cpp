// Loads arbitrary bytes as a saved game through the chunk calls: sections of
// objects that walk their tag lists, nested objects, sized fields, strings,
// lists, raw fields, skips, blocks, typed values, vectors and records.
// Whatever the bytes, nothing is read outside its chunk, no list or string
// is larger than the input, and a failed load says why.
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "files/memory_stream.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr int kMaxNesting = 8;
size_t inputSize = 0;

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void LoadObject(int depth) {
    static constexpr uint32_t kTags[] = {
        ChunkTag("gob1"), ChunkTag("str1"), ChunkTag("lst1"), ChunkTag("sub1"),
        ChunkTag("blk1"), ChunkTag("raw1"), ChunkTag("typ1"), 0};
    TransferTagList(kTags, [depth](uint32_t tag) {
        uint8_t field[32] = {};
        uint32_t before = ChunkBytesLeft();
        if (tag == ChunkTag("gob1")) {
            TransferSized(field, 32);
            TransferSized(field, 4);
        } else if (tag == ChunkTag("str1")) {
            std::string text;
            SerializeString(text);
            Check(text.size() < inputSize || text.empty());
        } else if (tag == ChunkTag("lst1")) {
            uint32_t count = 0;
            uint32_t storedSize = TransferListHeader(count, 6);
            Check(uint64_t(count) * storedSize <= inputSize);
            std::vector<uint8_t> elements(size_t(count) * 6);
            for (uint32_t i = 0; i < count; ++i)
                TransferListElement(elements.data() + size_t(i) * 6, 6, storedSize);
        } else if (tag == ChunkTag("sub1")) {
            if (depth < kMaxNesting)
                LoadObject(depth + 1);
        } else if (tag == ChunkTag("blk1")) {
            uint32_t block = 0;
            BeginBlock(block);
            TransferSizedInBlock(field, 8);
            TransferSizedInBlock(field, 2);
            EndBlock();
        } else if (tag == ChunkTag("raw1")) {
            TransferInChunk(field, 7);
            SkipInChunk(5);
            TransferInChunk(field, 3);
        } else if (tag == ChunkTag("typ1")) {
            struct Record {
                uint16_t a = 0;
                double b = 0;
                std::vector<int32_t> c;
            };
            bool flag = false;
            double d = 0;
            std::vector<uint64_t> wide;
            std::vector<Record> records;
            Transfer(flag);
            TransferSizedValue(d);
            TransferVector(wide);
            Check(wide.size() <= inputSize);
            TransferList(records, 14, [](Record& r) {
                Transfer(r.a);
                Transfer(r.b);
                TransferVector(r.c);
            });
            Check(records.size() <= inputSize);
        }
        Check(ChunkBytesLeft() <= before);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    inputSize = size;
    std::string text;
    uint32_t version = 0;
    BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version);
    Check(text.size() < size || text.empty());
    // Sections until the end of the data or a chunk of tag 0.
    for (;;) {
        uint32_t tag = 0;
        BeginChunk(tag);
        if (tag != 0)
            LoadObject(0);
        EndChunk();
        if (tag == 0)
            break;
    }
    bool loaded = CloseStream();
    Check(loaded == StreamError().empty());
    return 0;
}
