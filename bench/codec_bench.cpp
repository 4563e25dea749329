// Throughput of the two hot loops: PCX encoding and frame decoding.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/palette.h"
#include "image/pcx_writer.h"
#include "platform/heap_block.h"
#include "sprite/dc6_file.h"
#include "sprite/frame_decoder.h"

namespace {

void EncodeRandomCanvas(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(side) * side);
    std::mt19937 random(42);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(random());
    // A sink that only counts: the benchmark measures the coding, not memory copies.
    struct CountingSink : ByteSink {
        std::size_t bytes = 0;
        bool Write(const std::uint8_t*, std::size_t length) override {
            bytes += length;
            return true;
        }
    } out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(EncodePcx(out, pixels.data(), side, side, side, builtInPalette));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * side * side);
}
BENCHMARK(EncodeRandomCanvas)->Arg(4096)->Unit(benchmark::kMillisecond);

// Typical sprite rows: runs of 20 to 120 pixels, 30 % of them transparent.
std::vector<std::uint8_t> CodeTypicalFrame(int width, int height, std::mt19937& random) {
    std::vector<std::uint8_t> coded;
    std::uniform_int_distribution<int> runLength(20, 120);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int row = 0; row < height; ++row) {
        int x = 0;
        while (x < width) {
            int run = std::min(runLength(random), width - x);
            const bool transparent = percent(random) < 30;
            x += run;
            while (run > 0) {
                const int piece = std::min(run, 127);
                if (transparent) {
                    coded.push_back(static_cast<std::uint8_t>(0x80 + piece));
                } else {
                    coded.push_back(static_cast<std::uint8_t>(piece));
                    for (int i = 0; i < piece; ++i) coded.push_back(static_cast<std::uint8_t>(random()));
                }
                run -= piece;
            }
        }
        coded.push_back(0x80);
    }
    coded.insert(coded.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    return coded;
}

void DecodeTypicalFrame(benchmark::State& state) {
    const int width = 256, height = 256;
    std::mt19937 random(7);
    const std::vector<std::uint8_t> coded = CodeTypicalFrame(width, height, random);
    HeapBlock data(static_cast<std::uint8_t*>(std::calloc(coded.size() + kFileSlack, 1)));
    std::memcpy(data.get(), coded.data(), coded.size());
    std::memset(terminator, 0xEE, sizeof terminator);
    HeapBlock canvas(AllocateCanvas(width, height));
    for (auto _ : state) {
        DecodeFrame(data.get(), static_cast<std::uint32_t>(coded.size()), width, height, canvas.get(), width, height, 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height);
}
BENCHMARK(DecodeTypicalFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
