// Writes the sprite files of the whole-folder benchmark: COUNT files (default
// 1,000), alternately a 612 x 512 picture in six stitched tiles (256, 256 and
// 100 pixels wide) and an animation of twelve 85 x 85 frames with offsets and
// a transparent surround, about 200 million pixels in all. Prints the number
// of files and of pixels that the conversion will write.
//
// With "small" after COUNT the files are tiny instead (a 24 x 16 picture,
// or four 12 x 12 frames with offsets), spread over folders of 50 files each
// (folder0000/, folder0001/, ...): a tree whose run time is all bookkeeping
// per file, for seeing how the run grows with the number of sprites.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/dc6_builder.h"

namespace {

using test::PixelRows;

constexpr int kTileRows = 2, kTileHeight = 256;
constexpr int kTileWidths[] = {256, 256, 100};
constexpr int kFrames = 12, kFrameSide = 85;

// Smooth gradients with some grain, so that every byte value occurs, as in art.
int Shade(int x, int y, int seed) { return (x * 3 + y * 5 + seed * 17 + ((x * 7919 + y * 104729) >> 3) % 9) & 0xFF; }

test::Bytes Tiles(int seed, long long& pixels) {
    test::Dc6Builder file;
    for (int row = 0; row < kTileRows; ++row) {
        int left = 0;
        for (int width : kTileWidths) {
            PixelRows rows(kTileHeight, std::vector<int>(static_cast<std::size_t>(width)));
            for (int y = 0; y < kTileHeight; ++y)
                for (int x = 0; x < width; ++x) rows[y][x] = Shade(left + x, row * kTileHeight + y, seed);
            file.AddRows(rows);
            left += width;
        }
    }
    pixels += 612LL * kTileRows * kTileHeight;
    return file.Build();
}

test::Bytes Animation(int seed, long long& pixels) {
    test::Dc6Builder file;
    for (int frame = 0; frame < kFrames; ++frame) {
        PixelRows rows(kFrameSide, std::vector<int>(kFrameSide, test::kSkip));
        const double radius = 30 + 10 * std::sin(frame * 0.5);
        for (int y = 0; y < kFrameSide; ++y)
            for (int x = 0; x < kFrameSide; ++x)
                if (std::hypot(x - 42.0, y - 42.0) < radius) rows[y][x] = Shade(x, y, seed + frame);
        file.AddRows(rows, -42, -kFrameSide - frame);
        pixels += kFrameSide * kFrameSide;
    }
    return file.Build();
}

test::Bytes SmallPicture(int seed, long long& pixels) {
    test::Dc6Builder file;
    PixelRows rows(16, std::vector<int>(24));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) rows[y][x] = Shade(x, y, seed);
    file.AddRows(rows);
    pixels += 24 * 16;
    return file.Build();
}

test::Bytes SmallAnimation(int seed, long long& pixels) {
    test::Dc6Builder file;
    for (int frame = 0; frame < 4; ++frame) {
        PixelRows rows(12, std::vector<int>(12, test::kSkip));
        for (int y = 2; y < 10; ++y)
            for (int x = 2; x < 10; ++x) rows[y][x] = Shade(x, y, seed + frame);
        file.AddRows(rows, -6 + frame, -12);
        pixels += 12 * 12;
    }
    return file.Build();
}

constexpr int kSmallPerFolder = 50;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4 || (argc == 4 && std::string(argv[3]) != "small")) {
        std::fprintf(stderr, "Usage: make_bench_sprites FOLDER [COUNT [small]]\n");
        return 2;
    }
    const std::filesystem::path top(argv[1]);
    const int count = argc >= 3 ? std::atoi(argv[2]) : 1000;
    const bool small = argc == 4;
    std::filesystem::create_directories(top);
    long long pixels = 0;
    for (int i = 0; i < count; ++i) {
        std::filesystem::path folder = top;
        test::Bytes bytes;
        if (small) {
            char part[32];
            std::snprintf(part, sizeof part, "folder%04d", i / kSmallPerFolder);
            folder /= part;
            if (i % kSmallPerFolder == 0) std::filesystem::create_directories(folder);
            bytes = i % 2 == 0 ? SmallPicture(i, pixels) : SmallAnimation(i, pixels);
        } else {
            bytes = i % 2 == 0 ? Tiles(i, pixels) : Animation(i, pixels);
        }
        char name[32];
        std::snprintf(name, sizeof name, "sprite%04d.dc6", i);
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make_bench_sprites: cannot write %s\n", name);
            return 1;
        }
    }
    std::printf("%d %lld\n", count, pixels);
    return 0;
}
