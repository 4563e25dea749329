// Writes the sample sprite files into a folder (created when missing):
//
//   valley.dc6   a 600 x 400 landscape cut into tiles 256 pixels wide, six
//                frames with zero offsets: converted as one stitched image
//   bounce.dc6   eight frames of a bouncing ball with frame offsets, each
//                frame as large as the ball: converted as eight images
//   gem.dc6      a cut gem on a transparent background (skipped pixels take
//                the fill index, a near-black grey)
//   damaged.dc6  a picture whose coded data holds a zero byte and an overlong
//                skip and was cut off: notices, and the rows that arrived
//   warm.pal     a sepia palette of 768 bytes for trying custom palettes
//
// The pictures use the colours of the built-in palette's 6 x 6 x 6 cube,
// dithered, so they look smooth with the built-in palette.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "image/palette.h"
#include "tests/support/dc6_builder.h"

namespace {

using test::Bytes;
using test::PixelRows;

// Fill index and end-of-frame bytes: entry 172 (4, 4, 4) lies outside the
// cube, so no picture pixel is ever taken for the end of a frame.
constexpr std::uint8_t kFill = 172;
constexpr test::Terminator kTerminator = {kFill, kFill, kFill, kFill};

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b;  // 0 to 1
};

Colour Mix(Colour a, Colour b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Scale(Colour c, double k) { return {c.r * k, c.g * k, c.b * k}; }

// Colours to built-in palette indices through the 6 x 6 x 6 cube, with a 4 x 4
// ordered dither so that gradients show no bands.
class Painter {
public:
    Painter() {
        for (int entry = 0; entry < 256; ++entry) {
            const std::uint8_t* stored = builtInPalette + 3 * entry;  // blue, green, red
            const int red = stored[2], green = stored[1], blue = stored[0];
            if (red % 0x33 || green % 0x33 || blue % 0x33) continue;
            cube_[red / 0x33][green / 0x33][blue / 0x33] = entry;
        }
    }

    int Index(Colour c, int x, int y) const {
        static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        const double threshold = (kBayer[y & 3][x & 3] + 0.5) / 16.0;
        auto level = [threshold](double v) {
            return std::clamp(static_cast<int>(std::clamp(v, 0.0, 1.0) * 5 + threshold), 0, 5);
        };
        return cube_[level(c.r)][level(c.g)][level(c.b)];
    }

private:
    int cube_[6][6][6] = {};
};

// A picture of width x height from a function that gives each pixel's colour,
// or nothing for a transparent pixel.
using Shader = std::function<bool(double x, double y, Colour& colour)>;

PixelRows Paint(const Painter& painter, int width, int height, const Shader& shade) {
    PixelRows rows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width), test::kSkip));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Colour colour{};
            if (shade(x + 0.5, y + 0.5, colour)) rows[y][x] = painter.Index(colour, x, y);
        }
    return rows;
}

PixelRows Cut(const PixelRows& rows, int left, int top, int width, int height) {
    PixelRows piece;
    for (int y = top; y < top + height; ++y) piece.emplace_back(rows[y].begin() + left, rows[y].begin() + left + width);
    return piece;
}

bool Valley(double x, double y, Colour& colour) {
    const Colour zenith{0.08, 0.12, 0.42}, horizon{1.0, 0.62, 0.32};
    colour = Mix(zenith, horizon, std::pow(y / 270.0, 1.6));
    const double sunDistance = std::hypot(x - 430, y - 205);
    colour = Mix(colour, {1.0, 0.95, 0.6}, std::exp(-sunDistance / 55.0) * 0.8);
    if (sunDistance < 34) colour = {1.0, 0.96, 0.7};

    const double farRidge = 228 - 46 * std::sin(x / 71.0) - 21 * std::sin(x / 23.0 + 1.3);
    if (y > farRidge) colour = Mix({0.55, 0.36, 0.55}, {0.32, 0.22, 0.42}, (y - farRidge) / 90.0);
    const double nearRidge = 296 - 28 * std::sin(x / 113.0 + 2.1) - 11 * std::sin(x / 37.0);
    if (y > nearRidge) colour = Mix({0.35, 0.62, 0.25}, {0.08, 0.25, 0.1}, (y - nearRidge) / 110.0);
    const double river = 340 + 18 * std::sin(x / 60.0);
    if (std::abs(y - river) < 5 + (400 - y) * 0.01 && y > nearRidge + 8)
        colour = Mix({0.45, 0.7, 0.95}, {0.95, 0.75, 0.5}, 0.5 + 0.5 * std::sin(x / 9.0));
    return true;
}

Bytes MakeValley(const Painter& painter) {
    const PixelRows picture = Paint(painter, 600, 400, Valley);
    test::Dc6Builder file;
    file.Terminate(kTerminator);
    const int rowHeights[] = {256, 144};
    const int columnWidths[] = {256, 256, 88};  // each row continues after a 256-wide tile
    int top = 0;
    for (int height : rowHeights) {
        int left = 0;
        for (int width : columnWidths) {
            file.AddRows(Cut(picture, left, top, width, height));
            left += width;
        }
        top += height;
    }
    return file.Build();
}

// A shaded ball filling an ellipse of width x height, lit from the upper left.
Shader Ball(double width, double height, Colour base) {
    return [=](double x, double y, Colour& colour) {
        const double u = (x - width / 2) / (width / 2), v = (y - height / 2) / (height / 2);
        const double r2 = u * u + v * v;
        if (r2 > 1) return false;
        const double z = std::sqrt(1 - r2);
        const double light = std::max(0.0, (-0.5 * u - 0.6 * v + 0.62 * z));
        colour = Scale(base, 0.25 + 0.85 * light);
        const double highlight = std::pow(light, 24);
        colour = Mix(colour, {1, 1, 1}, highlight);
        return true;
    };
}

Bytes MakeBounce(const Painter& painter) {
    test::Dc6Builder file;
    file.Terminate(kTerminator);
    constexpr int kFrames = 8;
    for (int k = 0; k < kFrames; ++k) {
        const double lift = std::sin(kPi * k / kFrames);  // 0 on the floor, 1 at the top
        const double squash = 1 - std::max(0.0, 0.3 - lift) * 0.9;
        const int width = static_cast<int>(std::lround(48 / std::sqrt(squash)));
        const int height = static_cast<int>(std::lround(48 * squash));
        const Colour colour = Mix({0.95, 0.3, 0.15}, {1.0, 0.75, 0.2}, lift);
        // Offsets place the ball: centred on x, standing on the floor, raised by the bounce.
        const int xOffset = -width / 2;
        const int yOffset = -height - static_cast<int>(std::lround(80 * lift));
        file.AddRows(Paint(painter, width, height, Ball(width, height, colour)), xOffset, yOffset);
    }
    return file.Build();
}

bool Gem(double x, double y, Colour& colour) {
    const double u = (x - 48) / 44, v = (y - 52) / 40;
    const double crown = -0.45;  // the table line between crown and pavilion
    if (v < -1 || std::abs(u) > 1) return false;
    if (v < crown ? std::abs(u) > 0.55 + (v + 1) / (crown + 1) * 0.45 : std::abs(u) + (v - crown) / (1 - crown) > 1)
        return false;
    const double angle = std::atan2(v - 0.1, u);
    const int facet = static_cast<int>(std::floor((angle + kPi) / (kPi / 5)));
    double light = 0.55 + 0.35 * std::cos(facet * 1.7 + (v < crown ? 0.8 : 0));
    if (v < crown) light += 0.15;
    colour = Scale(Mix({0.1, 0.55, 0.75}, {0.45, 0.85, 1.0}, 0.5 - 0.5 * v), light);
    const double sparkle = std::max(0.0, 1 - std::hypot(u + 0.35, v + 0.62) * 6);
    colour = Mix(colour, {1, 1, 1}, sparkle);
    return true;
}

Bytes MakeGem(const Painter& painter) {
    return test::Dc6Builder().Terminate(kTerminator).AddRows(Paint(painter, 96, 96, Gem)).Build();
}

// A sunset stripe picture of 64 x 48, coded row by row and then damaged.
Bytes MakeDamaged(const Painter& painter) {
    const PixelRows rows = Paint(painter, 64, 48, [](double x, double y, Colour& colour) {
        colour = Mix({0.9, 0.35, 0.2}, {0.2, 0.2, 0.6}, y / 48);
        if (static_cast<int>(x + y) / 8 % 2) colour = Scale(colour, 0.7);
        return true;
    });
    Bytes coded;
    for (int y = static_cast<int>(rows.size()) - 1; y >= 0; --y) {
        Bytes row = test::EncodeRows({rows[y]}, kTerminator);
        row.resize(row.size() - kTerminator.size());   // keep the row's codes and its end-of-row
        if (y == 40) row.insert(row.end() - 1, 0x84);  // a skip past the row's end
        if (y == 30) row.insert(row.begin(), 0x00);    // a stray zero byte
        coded.insert(coded.end(), row.begin(), row.end());
    }
    test::Dc6Frame frame;
    frame.width = 64;
    frame.height = 48;
    frame.codedLength = static_cast<std::uint32_t>(coded.size() + kTerminator.size());
    coded.resize(coded.size() * 2 / 3);  // the file was cut off: the top rows never arrived
    frame.coded = coded;
    return test::Dc6Builder().Terminate(kTerminator).Add(frame).Build();
}

// The built-in palette's entries turned to sepia tones, stored blue, green, red.
Bytes MakeWarmPalette() {
    Bytes palette(builtInPalette, builtInPalette + kPaletteSize);
    for (std::size_t entry = 0; entry < kPaletteSize; entry += 3) {
        const double luma = 0.11 * palette[entry] + 0.59 * palette[entry + 1] + 0.3 * palette[entry + 2];
        auto tone = [luma](double k, double lift) {
            return static_cast<std::uint8_t>(std::min(255.0, luma * k + lift));
        };
        palette[entry] = tone(0.62, 8);
        palette[entry + 1] = tone(0.86, 14);
        palette[entry + 2] = tone(1.0, 26);
    }
    return palette;
}

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out) return true;
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.string().c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_samples FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const Painter painter;
    const bool written =
        Write(folder / "valley.dc6", MakeValley(painter)) && Write(folder / "bounce.dc6", MakeBounce(painter)) &&
        Write(folder / "gem.dc6", MakeGem(painter)) && Write(folder / "damaged.dc6", MakeDamaged(painter)) &&
        Write(folder / "warm.pal", MakeWarmPalette());
    return written ? 0 : 1;
}
