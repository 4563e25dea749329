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

#include "notice/diagnostics.h"
#include "sprite/dc6_sprite.h"

// Bytes after a canvas's pixels, set like the pixels.
inline constexpr std::uint32_t kCanvasSlack = 0x10000;

// The largest canvas in pixels, the bound images have always had (so that
// the same images are refused by every front end). The image writers stream
// their files in pieces and need no block of the image's size.
inline constexpr std::uint64_t kMaxCanvasPixels = (0xFFFFFFFFull - 1000) / 2;

// Bytes the decoder may read past the end of the coded data: a literal run's
// pixel bytes (up to 127) and the end-of-frame look-ahead (4).
inline constexpr std::uint32_t kDecoderLookahead = 131;

// Returns a new block of width x height + kCanvasSlack bytes, every byte set
// to fill (a sprite's canvas starts as its terminator[3]); rows top first,
// stride = width. Returns null when a dimension is negative, the pixel count
// exceeds kMaxCanvasPixels, or the heap cannot supply the block. The caller
// owns it and releases it with std::free.
std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height, std::uint8_t fill);

// What the decoder does beside copying pixels.
struct DecodeWatch {
    // Faults are not shown: the frame was decoded, and they shown, before
    // (for the program's DecodeFrame of ui/program/dc6_file.h).
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

// A canvas the caller owns: width x height pixels, stride width, at most
// kMaxCanvasPixels.
struct CanvasView {
    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Decodes the frame's coded bytes (frame.length of them at frame.data, a
// frame of frame.width x frame.height; the terminator says where it ends)
// onto canvas with the frame's top-left pixel at canvas column x, row y.
// Pixels that fall outside the canvas are dropped, so nothing is written
// outside it whatever the frame says. Faults in the data (kSpanOverrun,
// kZeroByte) go to faults, the first of each kind in the frame only, unless
// faults is null; decoding goes on, passing the later ones over.
// frame.data + frame.length must be followed by kDecoderLookahead readable
// bytes. Reads nothing but its arguments.
void DecodeFrame(const Dc6Frame& frame, const Dc6Terminator& terminator, CanvasView canvas, std::int64_t x,
                 std::int64_t y, Diagnostics* faults, const DecodeWatch* watch = nullptr);

// Adds to counts[v], for every palette index v, the number of pixels of that
// index that DecodeFrame with the same arguments would write: the pixels the
// frame's literal runs put inside the canvas. Writes nothing, reports nothing.
void CountFrameIndices(const Dc6Frame& frame, const Dc6Terminator& terminator, std::int32_t canvasWidth,
                       std::int32_t canvasHeight, std::int64_t x, std::int64_t y, std::uint64_t counts[256]);
