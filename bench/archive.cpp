// Packed-archive lookups by name (hits in mixed letter case, and misses) over
// indexes of 10 000 and 100 000 entries, opening and reading a small stored
// entry, and expanding a 1 MiB packed entry with either method.
#include "files/pack_archive.h"
#include "platform/file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

std::string TempFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "md-bench-archive-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(TempFolder(), error);
        });
        return pattern;
    }();
    return folder;
}

std::string EntryName(size_t i) {
    char name[64];
    std::snprintf(name, sizeof name, "Textures\\Set%03zu\\tile_%06zu.tga", i % 97, i);
    return name;
}

// An archive of count stored 16-byte entries, made once per size.
PackArchive& ArchiveOf(size_t count) {
    static std::vector<std::unique_ptr<PackArchive>> archives(2);
    auto& archive = archives[count == 10000 ? 0 : 1];
    if (!archive) {
        PackIndex index{kMethodAplib, {}};
        for (size_t i = 0; i < count; ++i) {
            PackEntry entry;
            entry.compressedFlag = 0;
            entry.offset = uint32_t(i * 16);
            entry.unpackedSize = 16;
            entry.name = EntryName(i);
            entry.extension = PackExtensionOf(entry.name);
            index.entries.push_back(entry);
        }
        std::string path = TempFolder() + "/bench" + std::to_string(count) + ".pkq";
        std::string error;
        if (!plat::WriteFileAtomically(path, std::string(count * 16, 'x')) ||
            !WritePackIndex(PackIndexPath(path), index, error))
            std::abort();
        archive = std::make_unique<PackArchive>();
        if (!archive->Open(path, 4, 2))
            std::abort();
    }
    return *archive;
}

// Names to look up: the entries' names in another letter case, in random order.
std::vector<std::string> Queries(size_t count, bool hits) {
    std::vector<std::string> queries;
    std::mt19937 random(42);
    for (size_t i = 0; i < 4096; ++i) {
        std::string name = EntryName(random() % count);
        for (char& c : name)
            if (c >= 'a' && c <= 'z' && random() % 2)
                c = char(c - 'a' + 'A');
        if (!hits)
            name.back() = 'x';
        queries.push_back(name);
    }
    return queries;
}

void BM_FindEntry(benchmark::State& state) {
    PackArchive& archive = ArchiveOf(size_t(state.range(0)));
    const bool hits = state.range(1) != 0;
    const std::vector<std::string> queries = Queries(size_t(state.range(0)), hits);
    size_t i = 0;
    for (auto _ : state) {
        const PackEntry* entry = archive.FindEntry(queries[i++ % queries.size()]);
        if ((entry != nullptr) != hits)
            state.SkipWithError("wrong lookup result");
        benchmark::DoNotOptimize(entry);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_FindEntry)->ArgNames({"entries", "hit"})->Args({10000, 1})->Args({100000, 1})->Args({100000, 0});

void BM_OpenReadCloseEntry(benchmark::State& state) {
    PackArchive& archive = ArchiveOf(size_t(state.range(0)));
    const std::vector<std::string> queries = Queries(size_t(state.range(0)), true);
    uint8_t buffer[16];
    size_t i = 0;
    for (auto _ : state) {
        PackEntrySlot* slot = archive.OpenEntry(queries[i++ % queries.size()]);
        if (!slot || !archive.ReadEntry(slot, buffer, 16) || !archive.CloseEntry(slot))
            state.SkipWithError("entry not read");
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_OpenReadCloseEntry)->ArgNames({"entries"})->Arg(10000)->Arg(100000);

void BM_OpenPackedEntry(benchmark::State& state) {
    const auto method = uint8_t(state.range(0));
    const std::string folder = TempFolder() + "/packed" + std::to_string(method);
    std::filesystem::create_directories(folder);
    std::string content;
    std::mt19937 random(7);
    while (content.size() < (1u << 20))
        content +=
            "tile " + std::to_string(random() % 5000) + " of set " + std::to_string(random() % 40) + "\n";
    content.resize(1u << 20);
    if (!plat::WriteFileAtomically(folder + "/big.bin", content))
        std::abort();
    PackArchive builder;
    builder.SetMethod(method);
    builder.SetRootFolder(folder);
    const std::string path = folder + ".pkq";
    if (!builder.ScanFolder() || !builder.BuildPackArchive(path))
        std::abort();
    PackArchive archive;
    if (!archive.Open(path, 1, 2))
        std::abort();
    for (auto _ : state) {
        PackEntrySlot* slot = archive.OpenEntry("big.bin");
        if (!slot)
            state.SkipWithError("entry not opened");
        archive.CloseEntry(slot);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(content.size()));
}
BENCHMARK(BM_OpenPackedEntry)
    ->ArgNames({"method"})
    ->Arg(kMethodLzss)
    ->Arg(kMethodAplib)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
