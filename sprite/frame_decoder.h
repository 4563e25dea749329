// Canvases and the decoding of one DC6 frame onto a canvas.
//
// Coded frame data: code bytes, some followed by pixel bytes. Rows are coded
// from the frame's bottom row upwards, pixels left to right; a row need not be
// coded to its full width.
//
//   0x00         zero byte: "Found ZERO Byte", nothing moves
//   0x01..0x7F   literal run: the next c bytes are the next c pixels
//   0x80         end of row; ends the frame when the bytes 2, 3 and 4 after
//                it equal terminator bytes 1, 2 and 3
//   0x81..0xFF   skip run: c - 0x80 pixels keep the value they have
#pragma once

#include <cstdint>
#include <vector>

// Bytes after a canvas's pixels, set like the pixels.
inline constexpr std::uint32_t kCanvasSlack = 0x10000;

// The largest canvas in pixels: the PCX writer's block of 2 x pixels + 1000
// bytes must fit in 32 bits.
inline constexpr std::uint64_t kMaxCanvasPixels = (0xFFFFFFFFull - 1000) / 2;

// Bytes the decoder may read past the end of the coded data: a literal run's
// pixel bytes (up to 127) and the end-of-frame look-ahead (4).
inline constexpr std::uint32_t kDecoderLookahead = 131;

// Returns a new block of width x height + kCanvasSlack bytes, every byte set
// to terminator[3] (or to fill); rows top first, stride = width. Returns null
// when a dimension is negative, the pixel count exceeds kMaxCanvasPixels, or
// the heap cannot supply the block. The caller owns it and releases it with
// std::free.
std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height);
std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height, std::uint8_t fill);

// What the decoder does beside copying pixels.
struct DecodeWatch {
    // Faults are not shown: the frame was decoded, and they shown, before.
    bool quiet = false;
    // When marked is given, the canvas offset (row x canvasWidth + column) of
    // every pixel a literal run writes with the index marker is appended to
    // it, in the order they are written.
    std::uint8_t marker = 0;
    std::vector<std::uint32_t>* marked = nullptr;
    // When opaque is given (a block laid out as the canvas), every pixel a
    // literal run writes is marked 1 there.
    std::uint8_t* opaque = nullptr;
};

// Decodes length coded bytes at data, a frame of width x height, onto the
// canvas of canvasWidth x canvasHeight pixels (stride canvasWidth, at most
// kMaxCanvasPixels) with the frame's top-left pixel at canvas column x, row
// y. Pixels that fall outside the canvas are dropped, so nothing is written
// outside it whatever the frame says. Faults in the data ("Span overrun @
// %X\n", "Found ZERO Byte") are shown in message boxes owned by
// progressWindow, the first of each kind in the frame only; decoding goes on,
// passing the later ones over. data + length must be followed by
// kDecoderLookahead readable bytes.
void DecodeFrame(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                 std::uint8_t* canvas, std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x,
                 std::int64_t y, const DecodeWatch* watch = nullptr);

// Adds to counts[v], for every palette index v, the number of pixels of that
// index that DecodeFrame with the same arguments would write: the pixels the
// frame's literal runs put inside the canvas. Writes nothing, shows nothing.
void CountFrameIndices(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                       std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x, std::int64_t y,
                       std::uint64_t counts[256]);
