// Throughput of the hot loops: PCX encoding, frame decoding, PNG writing and
// reading.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/palette.h"
#include "image/pcx_writer.h"
#include "image/png_reader.h"
#include "image/png_writer.h"
#include "platform/heap_block.h"
#include "sprite/dc6_encoder.h"
#include "ui/program/dc6_file.h"
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
        DecodeFrame(data.get(), static_cast<std::uint32_t>(coded.size()), width, height, canvas.get(), width, height, 0,
                    0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height);
}
BENCHMARK(DecodeTypicalFrame)->Unit(benchmark::kMicrosecond);

// Sprite images as the converter writes them: creature-like shapes on a
// transparent ground (index 0, opaque 0), each shape shaded in horizontal
// runs of 1 to longestRun pixels from a ramp of six colours, with a dark
// outline; one shape per 128 x 128 cell.
struct SpriteSheet {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels, opaque;
};

SpriteSheet MakeSpriteSheet(int width, int height, int longestRun, unsigned seed) {
    SpriteSheet sheet;
    sheet.width = width;
    sheet.height = height;
    sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * height, 0);
    sheet.opaque.assign(sheet.pixels.size(), 0);
    std::mt19937 random(seed);
    for (int top = 0; top + 64 <= height; top += 128) {
        for (int left = 0; left + 64 <= width; left += 128) {
            const int rx = 20 + static_cast<int>(random() % 40), ry = 28 + static_cast<int>(random() % 34);
            const int cx = left + 64, cy = top + 64;
            const int ramp = 16 + 8 * static_cast<int>(random() % 28);  // six shades from here
            for (int y = cy - ry; y <= cy + ry && y < height; ++y) {
                int x = cx - rx;
                while (x <= cx + rx) {
                    const int run = 1 + static_cast<int>(random() % static_cast<unsigned>(longestRun));
                    const int shade = static_cast<int>(random() % 6);
                    for (int i = 0; i < run && x <= cx + rx; ++i, ++x) {
                        const double dx = double(x - cx) / rx, dy = double(y - cy) / ry;
                        const double d = dx * dx + dy * dy;
                        if (d > 1.0 || x < 0 || x >= sheet.width || y < 0) continue;
                        const std::size_t at = static_cast<std::size_t>(y) * sheet.width + x;
                        sheet.pixels[at] = static_cast<std::uint8_t>(d > 0.85 ? 1 : ramp + shade);
                        sheet.opaque[at] = 1;
                    }
                }
            }
        }
    }
    return sheet;
}

// The images of the PNG benchmarks: 0 a stitched sheet 256 x 2048 (the
// tile width; 32 shapes, textured in runs of 1 to 8), 1 the same with
// flatter shading (runs of 1 to 24), 2 one 128 x 128 frame, textured.
SpriteSheet BenchImage(int kind) {
    switch (kind) {
        case 1:
            return MakeSpriteSheet(256, 2048, 24, 11);
        case 2:
            return MakeSpriteSheet(128, 128, 8, 12);
        default:
            return MakeSpriteSheet(256, 2048, 8, 11);
    }
}

// Each writer per zlib level, strategy (0 default, 1 filtered, 2 RLE) and
// image; "bytes" is the file's size. The figures behind kPngLevel and
// kPngStrategy are in png_writer.h.
void WritePngSheet(benchmark::State& state, bool rgba) {
    const SpriteSheet sheet = BenchImage(static_cast<int>(state.range(2)));
    const int level = static_cast<int>(state.range(0));
    const auto strategy = static_cast<PngStrategy>(state.range(1));
    std::uint8_t paletteRgb[kPaletteSize];
    for (std::size_t i = 0; i < kPaletteSize; i += 3) {
        paletteRgb[i] = builtInPalette[i + 2];
        paletteRgb[i + 1] = builtInPalette[i + 1];
        paletteRgb[i + 2] = builtInPalette[i];
    }
    std::size_t written = 0;
    for (auto _ : state) {
        MemorySink sink;
        sink.data.reserve(1 << 20);
        const bool ok = rgba ? WriteRgbaPng(sink, sheet.pixels.data(), sheet.opaque.data(), sheet.width, sheet.height,
                                            sheet.width, paletteRgb, level, strategy)
                             : WriteIndexedPng(sink, sheet.pixels.data(), sheet.width, sheet.height, sheet.width,
                                               paletteRgb, 0, level, strategy);
        if (!ok) state.SkipWithError("write failed");
        written = sink.data.size();
    }
    state.counters["bytes"] = static_cast<double>(written);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * sheet.width * sheet.height);
}
void WritePngIndexed(benchmark::State& state) { WritePngSheet(state, false); }
void WritePngRgba(benchmark::State& state) { WritePngSheet(state, true); }
BENCHMARK(WritePngIndexed)->ArgsProduct({{1, 3, 6, 9}, {0, 1, 2}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(WritePngRgba)->ArgsProduct({{1, 3, 6, 9}, {0, 1, 2}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

void ReadPngSheet(benchmark::State& state) {
    const SpriteSheet sheet = BenchImage(0);
    MemorySink sink;
    WriteIndexedPng(sink, sheet.pixels.data(), sheet.width, sheet.height, sheet.width, builtInPalette, 0);
    for (auto _ : state) {
        PngPicture picture;
        if (ReadPng(sink.data.data(), sink.data.size(), &picture, nullptr) != PngRead::Decoded)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(picture.indices.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * sheet.width * sheet.height);
}
BENCHMARK(ReadPngSheet)->Unit(benchmark::kMillisecond);

// The packer's worst case for the encoder: a 1-pixel column of transparent
// rows over three opaque ones, with a terminator that makes every coding of
// the empty top rows spell the end marker, so they are left out one by one.
// The target: a 1 x 65535 frame decided well within a second.
void EncodeTallColumn(benchmark::State& state) {
    const std::int32_t height = static_cast<std::int32_t>(state.range(0));
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(height), 5);
    std::vector<std::uint8_t> opaque(static_cast<std::size_t>(height), 0);
    for (std::int32_t y = height - 3; y < height; ++y) opaque[static_cast<std::size_t>(y)] = 1;
    const std::uint8_t terminator[4] = {0x00, 0x05, 0x80, 0x01};
    std::uint64_t codings = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeFrame(pixels.data(), opaque.data(), 1, height, 1, terminator, &codings));
    state.counters["codings/row"] = static_cast<double>(codings) / static_cast<double>(state.iterations()) / height;
}
BENCHMARK(EncodeTallColumn)->Arg(4000)->Arg(65535)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
