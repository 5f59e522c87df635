// TGA decoding throughput in bytes of file per second: a 1024 x 1024 sprite
// sheet-like picture (flat areas, gradients and noise) raw and run-length
// encoded at 24 and 32 bits, beside a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include "engine/tga_reader.h"
#include "engine/tga_writer.h"

#include <cstring>
#include <vector>

namespace {

constexpr int32_t kSide = 1024;

std::vector<uint32_t> Picture() {
    std::vector<uint32_t> pixels(size_t(kSide) * kSide);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            uint32_t& p = pixels[size_t(y) * kSide + size_t(x)];
            if ((x / 128 + y / 128) % 3 == 0) {
                p = 0x00FF00FF; // transparent background
            } else if ((x / 128 + y / 128) % 3 == 1) {
                p = 0xFF000000u | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | 0x40;
            } else {
                noise = noise * 1664525u + 1013904223u;
                p = 0xFF000000u | (noise >> 8);
            }
        }
    }
    return pixels;
}

const std::vector<uint8_t>& File(int bits, bool rle) {
    static std::vector<uint8_t> files[4];
    std::vector<uint8_t>& file = files[(bits == 32 ? 2 : 0) + (rle ? 1 : 0)];
    if (file.empty())
        file = WriteTga(Picture(), kSide, kSide, {bits, rle, false, {}});
    return file;
}

void BM_Decode(benchmark::State& state) {
    const std::vector<uint8_t>& file = File(int(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        int32_t w = 0, h = 0;
        std::vector<uint32_t> pixels = ReadTga(file.data(), file.size(), w, h);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
    state.SetLabel(std::to_string(state.range(0)) + (state.range(1) ? " bits rle" : " bits raw"));
}
BENCHMARK(BM_Decode)->Args({32, 0})->Args({32, 1})->Args({24, 0})->Args({24, 1})->Unit(
    benchmark::kMillisecond);

// The floor: copying the raw 32-bit file's bytes.
void BM_Copy(benchmark::State& state) {
    const std::vector<uint8_t>& file = File(32, false);
    std::vector<uint8_t> out(file.size());
    for (auto _ : state) {
        std::memcpy(out.data(), file.data(), file.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
