// Reads back the PCX files the converter writes, for checking their pixels.
#pragma once

#include <cstdint>

#include "tests/support/dc6_builder.h"

namespace test {

struct PcxImage {
    int width = 0;
    int height = 0;
    Bytes pixels;   // rows top first, width bytes each
    Bytes palette;  // the 768 bytes after the marker

    int At(int x, int y) const { return pixels.at(static_cast<std::size_t>(y) * width + x); }
};

// Decodes a file of the converter's layout; fails the current test on anything else.
PcxImage ParsePcx(const Bytes& file);
PcxImage ReadPcxFile(const std::string& path);

}  // namespace test
