// Writing 8-bit palettized PCX files.
//
// Layout written (little-endian):
//
//   0    0x0A manufacturer      1  5 version        2  1 run-length encoding
//   3    8 bits per pixel       4  xmin 0           6  ymin 0
//   8    xmax = width - 1       10 ymax = height - 1 (low 16 bits each)
//   12   width                  14 height          (in the resolution fields)
//   16   48 zero bytes          64 0                65 1 colour plane
//   66   bytes per line = width 68 palette info 2   70 58 zero bytes
//   128  image data, rows top first, width pixels each, no padding:
//        a pixel v with both top bits set (v & 0xC0 == 0xC0) is written as
//        0xC1 v, any other as v; runs are never formed
//   then 0x0C and the 768 palette bytes as given
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kPcxHeaderSize = 128;
inline constexpr std::size_t kPaletteSize = 768;

// Size of the working block for an image: 2 x width x height + 1000 bytes,
// enough for the longest file (128 + 2 x pixels + 1 + 768).
std::uint64_t PcxBlockSize(std::int32_t width, std::int32_t height);

// Assembles the whole file into out, which must hold PcxBlockSize bytes.
// Row r of the image starts at pixels + r x rowStride. Returns the file's length.
std::size_t EncodePcx(std::uint8_t* out, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                      std::int32_t rowStride, const std::uint8_t* palette);

// Writes the image to path as a PCX file with the 768-byte palette, replacing
// any file there. The file is first written whole under a temporary name in
// the same folder and then moved over path, so a file at path is never
// replaced by a partial one. Returns true when the file is on disk; false when
// the dimensions are negative or too large for the format (above 65535), the
// working block cannot be obtained, or the file cannot be created or written.
bool WritePcx(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
              std::int32_t rowStride, const std::uint8_t* palette);
