#include "tests/support/png_assembler.h"

#include <zlib.h>

#include <cstdlib>

namespace test {

namespace {

void PutBig32(Bytes& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The filtered bytes of row given the previous (unfiltered) row of its pass.
Bytes Filter(int filter, const Bytes& row, const Bytes& previous, std::size_t bpp) {
    Bytes out = {static_cast<std::uint8_t>(filter)};
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int up = previous[i];
        const int upperLeft = i >= bpp ? previous[i - bpp] : 0;
        const int predictor = filter == 1   ? left
                              : filter == 2 ? up
                              : filter == 3 ? (left + up) / 2
                              : filter == 4 ? Paeth(left, up, upperLeft)
                                            : 0;
        out.push_back(static_cast<std::uint8_t>(row[i] - predictor));
    }
    return out;
}

}  // namespace

Bytes PngChunk(const std::string& type, const Bytes& data) {
    Bytes chunk;
    PutBig32(chunk, static_cast<std::uint32_t>(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBig32(chunk, static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4))));
    return chunk;
}

Bytes IhdrData(std::uint32_t width, std::uint32_t height, int bitDepth, int colourType, int interlace) {
    Bytes data;
    PutBig32(data, width);
    PutBig32(data, height);
    data.insert(data.end(), {static_cast<std::uint8_t>(bitDepth), static_cast<std::uint8_t>(colourType), 0, 0,
                             static_cast<std::uint8_t>(interlace)});
    return data;
}

Bytes Deflated(const Bytes& raw) {
    Bytes out(compressBound(static_cast<uLong>(raw.size())));
    uLongf length = static_cast<uLongf>(out.size());
    if (compress(out.data(), &length, raw.data(), static_cast<uLong>(raw.size())) != Z_OK) std::abort();
    out.resize(length);
    return out;
}

Bytes RawImage(const Bytes& samples, int width, int height, int bitsPerPixel, bool interlaced,
               const std::vector<int>& filters) {
    struct Pass {
        int x0, y0, dx, dy;
    };
    const std::vector<Pass> passes = interlaced
                                         ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                                         : std::vector<Pass>{{0, 0, 1, 1}};
    const int bytesPerPixel = bitsPerPixel == 32 ? 4 : 1;
    const std::size_t bpp = bitsPerPixel < 8 ? 1 : static_cast<std::size_t>(bitsPerPixel / 8);
    Bytes raw;
    std::size_t rowCount = 0;
    for (const Pass& pass : passes) {
        const int columns = width > pass.x0 ? (width - pass.x0 + pass.dx - 1) / pass.dx : 0;
        if (columns == 0) continue;
        const std::size_t rowBytes = (static_cast<std::size_t>(columns) * bitsPerPixel + 7) / 8;
        Bytes previous(rowBytes, 0);
        for (int y = pass.y0; y < height; y += pass.dy) {
            Bytes row(rowBytes, 0);
            for (int i = 0; i < columns; ++i) {
                const std::size_t pixel = static_cast<std::size_t>(y) * width + pass.x0 + i * pass.dx;
                if (bitsPerPixel == 32) {
                    for (int c = 0; c < 4; ++c) row[4 * i + c] = samples.at(4 * pixel + c);
                } else {
                    const std::size_t bit = static_cast<std::size_t>(i) * bitsPerPixel;
                    row[bit / 8] |=
                        static_cast<std::uint8_t>(samples.at(pixel * bytesPerPixel) << (8 - bitsPerPixel - bit % 8));
                }
            }
            const Bytes filtered = Filter(filters[rowCount++ % filters.size()], row, previous, bpp);
            raw.insert(raw.end(), filtered.begin(), filtered.end());
            previous = row;
        }
    }
    return raw;
}

Bytes PngFile(const std::vector<Bytes>& chunks) {
    Bytes file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Bytes& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}

Bytes PngPalette(int count) {
    Bytes palette;
    for (int k = 0; k < count; ++k)
        palette.insert(palette.end(), {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(255 - k),
                                       static_cast<std::uint8_t>(3 * k)});
    return palette;
}

}  // namespace test
