// Throughput of the compression codecs and CRC-32 on a mixed corpus of
// text, image-like pixels, zeros and random bytes.
#include <benchmark/benchmark.h>

#include <vector>

#include "files/aplib.h"
#include "files/crc32.h"
#include "files/lzss.h"
#include "tests/files/codec_corpus.h"

#ifdef MD_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

constexpr size_t kCorpusSize = 16u << 20;

const std::vector<uint8_t>& Corpus() {
    static const std::vector<uint8_t> corpus = codec_corpus::Mixed(kCorpusSize);
    return corpus;
}

const std::vector<uint8_t>& LzssPacked() {
    static const std::vector<uint8_t> packed = [] {
        std::vector<uint8_t> out(LzssMaxPackedSize(Corpus().size()));
        out.resize(*LzssEncode(Corpus(), out));
        return out;
    }();
    return packed;
}

const std::vector<uint8_t>& AplibPacked() {
    static const std::vector<uint8_t> packed = [] {
        std::vector<uint8_t> out(AplibMaxPackedSize(Corpus().size()));
        out.resize(*AplibPack(Corpus(), out));
        return out;
    }();
    return packed;
}

// Reports throughput over the plain corpus, and the packed share of it.
void Report(benchmark::State& state, size_t packedSize = 0) {
    state.SetBytesProcessed(int64_t(Corpus().size()) * state.iterations());
    if (packedSize)
        state.counters["ratio%"] = 100.0 * double(packedSize) / double(Corpus().size());
}

void BM_LzssEncode(benchmark::State& state) {
    std::vector<uint8_t> out(LzssMaxPackedSize(Corpus().size()));
    size_t packed = 0;
    for (auto _ : state)
        packed = *LzssEncode(Corpus(), out);
    Report(state, packed);
}

void BM_LzssDecode(benchmark::State& state) {
    const std::vector<uint8_t>& packed = LzssPacked();
    std::vector<uint8_t> out(Corpus().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(LzssDecode(packed, out));
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_AplibPack(benchmark::State& state) {
    std::vector<uint8_t> out(AplibMaxPackedSize(Corpus().size()));
    size_t packed = 0;
    for (auto _ : state)
        packed = *AplibPack(Corpus(), out);
    Report(state, packed);
}

void BM_AplibDepack(benchmark::State& state) {
    const std::vector<uint8_t>& packed = AplibPacked();
    std::vector<uint8_t> out(Corpus().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(AplibDepack(packed, out));
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_Crc32(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc32(Corpus()));
    Report(state);
}

#ifdef MD_HAVE_ZLIB
void BM_ZlibCrc32(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0, Corpus().data(), uInt(Corpus().size())));
    Report(state);
}
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_LzssEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AplibPack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AplibDepack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
