// Interface texts: loading a large ingame.txt, looking texts up, and
// formatting numbers with the grouping patterns.
#include "data/generated/tables.h"
#include "data/number_format.h"
#include "data/xlat_texts.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kKeys = 50000;

// 50000 keys with three languages each, in the file's usual form.
std::string MakeTextFile() {
    std::string file = "// generated\r\n";
    for (int key = 0; key < kKeys; ++key) {
        std::string k = std::to_string(int64_t(key) * 65536 + 3);
        file += "\"" + k + "\"\r\n";
        file += "g\"Text number " + k + " with a \\\"quote\\\" and\\na line break\"\r\n";
        file += "e\"English text " + k + "\"\r\n";
        file += "#\"Alternative " + k + "\"\r\n";
    }
    return file;
}

void LoadTexts(benchmark::State& state) {
    const std::string file = MakeTextFile();
    for (auto _ : state) {
        XlatTexts texts;
        texts.Load(file);
        benchmark::DoNotOptimize(texts.KeyCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(LoadTexts)->Unit(benchmark::kMillisecond);

void LookUpTexts(benchmark::State& state) {
    XlatTexts texts;
    texts.Load(MakeTextFile());
    texts.SetLetter('g');
    int key = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(texts.GetText(std::to_string(int64_t(key) * 65536 + 3)));
        key = (key + 7919) % kKeys;
    }
}
BENCHMARK(LookUpTexts);

void FormatNumbers(benchmark::State& state) {
    const char* patterns[] = {"%u,%0#3u,%0#3u,%0#3u",
                              "-%u,%0#3u,%0#3u,%0#3u",
                              "%u,%0#3u,%0#3u",
                              "-%u,%0#3u,%0#3u",
                              "%u,%0#3u",
                              "-%u,%0#3u",
                              "%u",
                              "-%u"};
    for (int k = 0; k < 8; ++k)
        InterfaceTextContainerTable::SetText_(4000 + k, patterns[k]);
    // Values of every magnitude and sign.
    uint64_t value = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatNumber(int64_t(value >> (value & 63))));
        value = value * 6364136223846793005u + 1442695040888963407u;
    }
    InterfaceTextContainerTable::Clear();
}
BENCHMARK(FormatNumbers);

} // namespace

BENCHMARK_MAIN();
