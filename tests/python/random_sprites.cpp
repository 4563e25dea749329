// Writes COUNT random sprites made by the test kit's builder into FOLDER, for
// the Python package's tests: random-N.dc6, and random-N.txt with what the
// builder was given, one frame a line:
//
//   WIDTH HEIGHT XOFFSET YOFFSET PIXEL...   (rows top first; -1 transparent)
//
// and a first line with the terminator's four bytes. The same SEED gives the
// same sprites.
//
//   random_sprites FOLDER COUNT SEED
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tests/support/dc6_builder.h"
#include "tests/support/temp_folder.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: random_sprites FOLDER COUNT SEED\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const int count = std::atoi(argv[2]);
    std::mt19937 random(static_cast<std::mt19937::result_type>(std::strtoul(argv[3], nullptr, 10)));
    auto between = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const test::Terminator terminators[] = {test::kDefaultTerminator, {0xCD, 0xCD, 0xCD, 0xCD}, {1, 2, 3, 4}};

    for (int n = 0; n < count; ++n) {
        const test::Terminator terminator = terminators[between(0, 2)];
        test::Dc6Builder builder;
        builder.Terminate(terminator);
        std::ofstream text(folder / ("random-" + std::to_string(n) + ".txt"));
        text << int{terminator[0]} << ' ' << int{terminator[1]} << ' ' << int{terminator[2]} << ' '
             << int{terminator[3]} << '\n';
        // Stitched sprites (no offsets) and separate ones; frames of no
        // pixels, long rows (runs over 127 pixels) and sparse or full ones.
        const bool offsets = between(0, 1) == 1;
        const int frames = between(1, 5);
        for (int f = 0; f < frames; ++f) {
            const int width = between(0, 3) == 0 ? between(0, 2) : between(1, between(0, 4) == 0 ? 300 : 24);
            const int height = width == 0 ? between(0, 2) : between(1, 20);
            const int holes = between(0, 4);  // in 4: never to always
            test::PixelRows rows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width)));
            for (auto& row : rows)
                for (int& pixel : row) pixel = between(1, 4) <= holes ? test::kSkip : between(0, 255);
            const int x = offsets ? between(-40, 40) : 0;
            const int y = offsets ? between(-40, 40) : 0;
            builder.AddRows(rows, x, y);
            text << width << ' ' << height << ' ' << x << ' ' << y;
            for (const auto& row : rows)
                for (int pixel : row) text << ' ' << pixel;
            text << '\n';
        }
        test::WriteFile(folder / ("random-" + std::to_string(n) + ".dc6"), builder.Build());
    }
    return 0;
}
