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

#include <string>

#include "platform/byte_sink.h"

inline constexpr std::size_t kPcxHeaderSize = 128;

// Where the header's fields start, as in the table above.
inline constexpr std::size_t kPcxManufacturer = 0;
inline constexpr std::size_t kPcxVersion = 1;
inline constexpr std::size_t kPcxEncoding = 2;
inline constexpr std::size_t kPcxBitsPerPixel = 3;
inline constexpr std::size_t kPcxXMin = 4;
inline constexpr std::size_t kPcxYMin = 6;
inline constexpr std::size_t kPcxXMax = 8;
inline constexpr std::size_t kPcxYMax = 10;
inline constexpr std::size_t kPcxHorizontalResolution = 12;
inline constexpr std::size_t kPcxVerticalResolution = 14;
inline constexpr std::size_t kPcxPlanes = 65;
inline constexpr std::size_t kPcxBytesPerLine = 66;
inline constexpr std::size_t kPcxPaletteInfo = 68;
inline constexpr std::size_t kPaletteSize = 768;

// The widest and highest image the format's 16-bit fields can describe.
inline constexpr std::int32_t kMaxPcxDimension = 0xFFFF;

// Codes the image as a PCX file into sink: the header, the rows and the
// palette, handed over in pieces of about a mebibyte from one working buffer,
// so that memory stays the same whatever the image's size. Row r of the image
// starts at pixels + r x rowStride. Returns false when the dimensions lie
// outside 1..65535, the buffer cannot be obtained, or the sink refuses bytes.
bool EncodePcx(ByteSink& sink, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
               std::int32_t rowStride, const std::uint8_t* palette);

// Writes the image to path as a PCX file with the 768-byte palette, replacing
// any file there, through platform::OutputFile: the file is complete under a
// temporary name of its own before it takes the place of path. Returns true
// when the file is on disk; false, with the reason in *reason when given, when
// the image cannot be coded (see EncodePcx) or the file cannot be written.
bool WritePcx(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
              std::int32_t rowStride, const std::uint8_t* palette, std::string* reason = nullptr);
