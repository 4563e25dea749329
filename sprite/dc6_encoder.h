// Coding one DC6 frame: the inverse of DecodeFrame (sprite/frame_decoder.h).
//
// Coded frame data, rows from the frame's bottom row upwards, pixels left to
// right:
//
//   0x01..0x7F   literal run: the next c bytes are the next c (opaque) pixels
//   0x81..0xFF   skip run: c - 0x80 transparent pixels
//   0x80         end of row
//   t0 t1 t2 t3  after the top row's 0x80: the terminator's four bytes
//
// The decoder ends the frame at any 0x80 whose bytes 2, 3 and 4 after it are
// t1 t2 t3. The plain coding of a row (transparent pixels at its end left
// uncoded, runs of at most 127) can produce that pattern before the top row,
// for instance when a row starts with pixel values equal to the terminator or
// when empty rows stack up with a terminator of 0x80 bytes. Such rows are
// coded another way: a run split at a different point, or the row's
// transparent tail coded as skips. The choice is deterministic.
#pragma once

#include <cstdint>
#include <vector>

// Codes a frame of width x height pixels. pixels holds palette indices, rows
// top first, rowStride bytes apart; opaque has the same layout and is non-zero
// where a pixel is opaque (coded as a literal) and zero where it is
// transparent (skipped: the decoder leaves it untouched). width and height
// must lie in 0..65535 and rowStride must be at least width; pixels and opaque
// may be null when width or height is 0.
//
// Returns the coded bytes, end marker included: a frame without pixels is
// 0x80 t0 t1 t2 t3. Decoding them with DecodeFrame and this terminator writes
// exactly the opaque pixels with their values and no others, and shows no
// message. The result depends only on the arguments.
//
// Top rows without opaque pixels may be left uncoded (the frame then ends
// below them) where every coding of them would end the frame too early.
// Returns an empty vector when the frame has no such coding with this
// terminator: some row above the bottom one can only be coded in ways whose
// first bytes spell the end marker. A one-pixel row holding t1, with t2 = 0x80
// and t3 = 0x01 (the first code of an opaque row above) is one such case; a
// row that starts with an opaque t1, one transparent pixel and an opaque pixel,
// with t2 = 0x81 and t3 = 0x01, is another. The caller refuses such frames.
//
// The work is linear in the frame's size: the search for a coding tries each
// (row, first bytes above it) pair at most once, whatever the terminator.
// When rowCodings is given, the number of row codings the search tried is
// added to it (benchmarks and tests measure the work with it).
std::vector<std::uint8_t> EncodeFrame(const std::uint8_t* pixels, const std::uint8_t* opaque, std::int32_t width,
                                      std::int32_t height, std::int32_t rowStride, const std::uint8_t terminator[4],
                                      std::uint64_t* rowCodings = nullptr);
