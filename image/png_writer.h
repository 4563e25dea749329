// Writing PNG files: 8-bit indexed images with their palette, and 8-bit RGBA.
//
// Layout written (all integers big-endian):
//
//   0   89 50 4E 47 0D 0A 1A 0A        the signature
//   then chunks, each: length (4, of the data only), type (4 ASCII letters),
//   data, CRC-32 of type and data (4), in this order and no other:
//     IHDR  13 bytes: width (4), height (4), bit depth 8, colour type
//           (3 indexed or 6 RGBA), compression 0, filter method 0,
//           interlace 0 (none)
//     PLTE  indexed only: all 256 entries, red, green, blue each (768 bytes)
//     tRNS  indexed with a transparent index t only: t + 1 alpha bytes,
//           255 for every entry but t, 0 for t
//     IDAT  one zlib stream (deflate, 32 KiB window), split over chunks of
//           kPngIdatChunk bytes and a last, shorter one. The stream holds
//           the rows top first, each a filter byte 0 (None) and the row's
//           pixels: one index each, or red, green, blue, alpha
//     IEND  no data
//
// No ancillary chunk is written (no gAMA, cHRM, sRGB, iCCP, tEXt, tIME,
// pHYs): the same pixels always give the same bytes, on every platform built
// with the same zlib.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_sink.h"

// How deflate looks for repeats: zlib's default strategy, Z_FILTERED or
// Z_RLE (matches at distance 1 only: runs within a row).
enum class PngStrategy { Default, Filtered, Rle };

// The zlib level and strategy the writers use unless told otherwise, chosen
// by measurement (bench/codec_bench.cpp, WritePng*; g++ -O3, zlib 1.2.13,
// one core of this 2.6 GHz machine). Indexed files, bytes and time:
//
//                     sheet 256 x 2048    flat sheet         frame 128 x 128
//   level 1           64,928   2.2 ms     47,547   1.7 ms    2,190   23 us
//   level 3           58,315   3.0 ms     41,575   2.0 ms    2,088   31 us
//   level 6           49,498   8.3 ms     32,916   5.2 ms    1,901  137 us
//   level 9           48,177  36.0 ms     30,754  32.6 ms    1,877  453 us
//   Z_RLE (any level) 60,824   1.7 ms     36,534   1.3 ms    1,869   19 us
//   (ImageMagick      48,642              31,589             1,380: it keeps
//    only the colours used, so its PLTE is shorter)
//
// RGBA at level 6 is 65,233 / 43,747 / 1,575 bytes in 15.6 / 11.4 / 0.38
// ms. Level 6 is within 1 to 7 % of level 9's size in a quarter to a sixth
// of its time; level 3 is 10 to 26 % larger. Z_RLE is the fastest and wins
// on single frames, but is 11 to 23 % larger on sheets and four times
// larger for RGBA (a pixel repeats at distance 4, which it cannot see).
// Z_FILTERED equals the default at levels 1 and 3 and is 1 to 4 % larger at
// 6 and 9 (the rows are not filtered).
inline constexpr int kPngLevel = 6;
inline constexpr PngStrategy kPngStrategy = PngStrategy::Default;

// The data of every IDAT chunk but the last: the writers deflate into a
// buffer of this size and send a chunk each time it fills.
inline constexpr std::size_t kPngIdatChunk = 256 * 1024;

// Writes an indexed PNG (colour type 3, bit depth 8) of width x height
// pixels to sink. Row r of the image is width bytes at pixels + r x
// rowStride. paletteRgb is 768 bytes, red, green, blue per entry, all 256
// entries written. transparentIndex -1 writes no tRNS chunk; 0..255 makes
// that entry fully transparent and every other one opaque. level is zlib's
// 0..9; level and strategy change the size, never the pixels. The bytes are handed to sink in pieces of at most
// kPngIdatChunk + 12 bytes; memory used does not grow with the image. Returns false for a width or height below 1, a
// transparentIndex outside -1..255, a level outside 0..9, a zlib failure or a sink that refuses bytes; the sink may
// then hold part of a file, which the caller discards.
bool WriteIndexedPng(ByteSink& sink, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                     std::int32_t rowStride, const std::uint8_t* paletteRgb, int transparentIndex,
                     int level = kPngLevel, PngStrategy strategy = kPngStrategy);

// Writes an RGBA PNG (colour type 6, bit depth 8): pixel (x, y) is the
// palette entry of its index with alpha 255 where opaque at the same
// position (same layout and stride as pixels) is non-zero, and 0, 0, 0, 0
// where it is zero. Otherwise as WriteIndexedPng.
bool WriteRgbaPng(ByteSink& sink, const std::uint8_t* pixels, const std::uint8_t* opaque, std::int32_t width,
                  std::int32_t height, std::int32_t rowStride, const std::uint8_t* paletteRgb, int level = kPngLevel,
                  PngStrategy strategy = kPngStrategy);

// The same, with the transparent pixels told without a mask: those of index
// marker whose offsets (y x rowStride + x) the ascending list opaqueMarked
// (markedCount entries) does not hold; every other pixel is opaque. Memory
// used beside the encoder's: one row.
bool WriteRgbaPng(ByteSink& sink, const std::uint8_t* pixels, std::uint8_t marker, const std::uint32_t* opaqueMarked,
                  std::size_t markedCount, std::int32_t width, std::int32_t height, std::int32_t rowStride,
                  const std::uint8_t* paletteRgb, int level = kPngLevel, PngStrategy strategy = kPngStrategy);
