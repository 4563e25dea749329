// Builds PNG files by hand for the reader's tests: chunks with their CRC,
// and raw image data packed, filtered and interlaced as asked, so that the
// tests reach what our writer never writes (depths below 8, Adam7, the
// four other filters) and every kind of damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/dc6_builder.h"

namespace test {

// A chunk: length, type, data, CRC of type and data.
Bytes PngChunk(const std::string& type, const Bytes& data);

// IHDR's 13 bytes.
Bytes IhdrData(std::uint32_t width, std::uint32_t height, int bitDepth, int colourType, int interlace = 0);

// The zlib stream of raw.
Bytes Deflated(const Bytes& raw);

// The raw image data of a picture: samples holds one byte per pixel for
// indices (bitsPerPixel 1, 2, 4 or 8) or four per pixel (bitsPerPixel 32),
// rows top first. Rows are packed at bitsPerPixel, split into the Adam7
// passes when interlaced, and row k (counted over all passes) is filtered
// with filters[k % filters.size()].
Bytes RawImage(const Bytes& samples, int width, int height, int bitsPerPixel, bool interlaced,
               const std::vector<int>& filters);

// Signature and the chunks joined.
Bytes PngFile(const std::vector<Bytes>& chunks);

// A palette of count entries, entry k = (k, 255 - k, 3k mod 256).
Bytes PngPalette(int count);

}  // namespace test
