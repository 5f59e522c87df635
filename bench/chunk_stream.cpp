// The chunk stream storing and loading a 32 MiB section, half of it objects
// made of small fields in their tag lists, half of it big blocks, beside a
// plain memcpy of the same bytes.
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "files/file_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlockBytes = 1 << 20;
constexpr size_t kBlockCount = 16;
constexpr uint32_t kObjectCount = 140000;

struct Object {
    uint8_t base[32] = {};
    uint32_t x = 0, y = 0, owner = 0;
    std::string name;
};

struct Section {
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<Object> objects;
};

Section MakeSection() {
    Section section;
    section.blocks.assign(kBlockCount, std::vector<uint8_t>(kBlockBytes));
    for (size_t b = 0; b < kBlockCount; ++b)
        for (size_t i = 0; i < kBlockBytes; ++i)
            section.blocks[b][i] = uint8_t(i * 31 + b);
    section.objects.resize(kObjectCount);
    for (uint32_t i = 0; i < kObjectCount; ++i) {
        Object& o = section.objects[i];
        o.base[0] = uint8_t(i);
        o.x = i % 2048;
        o.y = i / 2048;
        o.owner = i % 8;
        o.name = "Depot " + std::to_string(i);
    }
    return section;
}

void SerializeSection(Section& section) {
    static constexpr uint32_t kObjectTags[] = {ChunkTag("gob1"), ChunkTag("pos1"), 0};
    uint32_t tag = ChunkTag("sect");
    BeginChunk(tag);
    for (auto& block : section.blocks) {
        uint32_t blockTag = ChunkTag("blob");
        BeginChunk(blockTag);
        TransferSized(block.data(), uint32_t(block.size()));
        EndChunk();
    }
    for (Object& o : section.objects) {
        TransferTagList(kObjectTags, [&o](uint32_t objectTag) {
            if (objectTag == ChunkTag("gob1")) {
                TransferSized(o.base, sizeof o.base);
                SerializeString(o.name);
            } else if (objectTag == ChunkTag("pos1")) {
                TransferSizedValue(o.x);
                TransferSizedValue(o.y);
                TransferSizedValue(o.owner);
            }
        });
    }
    EndChunk();
}

bool Save(std::unique_ptr<SaveStream> stream, Section& section) {
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    BeginSaveStream(std::move(stream), text, version);
    SerializeSection(section);
    return CloseStream();
}

bool LoadInto(std::unique_ptr<SaveStream> stream, Section& section) {
    std::string text;
    uint32_t version = 0;
    BeginSaveStream(std::move(stream), text, version);
    SerializeSection(section);
    return CloseStream();
}

Section& SharedSection() {
    static Section section = MakeSection();
    return section;
}

const std::vector<uint8_t>& SharedImage() {
    static std::vector<uint8_t> image = [] {
        std::vector<uint8_t> bytes;
        Save(OpenMemoryWriteStream(bytes), SharedSection());
        return bytes;
    }();
    return image;
}

std::string ScratchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("md-bench-") + name)).string();
}

void BM_Memcpy(benchmark::State& state) {
    const std::vector<uint8_t>& image = SharedImage();
    std::vector<uint8_t> copy(image.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), image.data(), image.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * image.size()));
}

void BM_StoreToMemory(benchmark::State& state) {
    Section& section = SharedSection();
    std::vector<uint8_t> out;
    out.reserve(SharedImage().size());
    for (auto _ : state) {
        if (!Save(OpenMemoryWriteStream(out), section))
            state.SkipWithError("store failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * SharedImage().size()));
}

void BM_LoadFromMemory(benchmark::State& state) {
    const std::vector<uint8_t>& image = SharedImage();
    Section section = SharedSection();
    for (auto _ : state) {
        if (!LoadInto(OpenMemoryReadStream(std::span<const uint8_t>(image)), section))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(section.objects.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * image.size()));
}

void BM_StoreToFile(benchmark::State& state) {
    Section& section = SharedSection();
    const std::string path = ScratchPath("store.mds");
    for (auto _ : state)
        if (!Save(OpenFileWriteStream(path), section))
            state.SkipWithError("store failed");
    std::filesystem::remove(path);
    state.SetBytesProcessed(int64_t(state.iterations() * SharedImage().size()));
}

void BM_LoadFromFile(benchmark::State& state) {
    const std::string path = ScratchPath("load.mds");
    Section section = SharedSection();
    Save(OpenFileWriteStream(path), section);
    for (auto _ : state)
        if (!LoadInto(OpenFileReadStream(path), section))
            state.SkipWithError("load failed");
    std::filesystem::remove(path);
    state.SetBytesProcessed(int64_t(state.iterations() * SharedImage().size()));
}

// A compressed save end to end, as an autosave or a load of one takes it.
void BM_PackedSaveAndLoad(benchmark::State& state) {
    const std::string path = ScratchPath("packed.mdp");
    Section section = SharedSection();
    for (auto _ : state) {
        if (!Save(OpenPackedWriteStream(path), section) || !LoadInto(OpenPackedReadStream(path), section))
            state.SkipWithError("packed save failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(int64_t(state.iterations() * SharedImage().size()));
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreToMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackedSaveAndLoad)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
