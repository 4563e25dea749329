// Writing animated PNG files (APNG): a PNG whose image is the animation's
// first frame, followed by the others, each a rectangle of the canvas.
//
// Layout written (integers big-endian), after the PNG signature:
//
//   IHDR            the canvas: width, height, 8 bits, indexed (3) or RGBA (6)
//   acTL   8 bytes  frames (4), plays (4; 0: forever)
//   PLTE, tRNS      as for a still image (image/png_writer.h)
//   then per frame:
//     fcTL 26 bytes sequence number (4), width (4), height (4), x (4), y (4),
//                   delay numerator (2) and denominator (2) in seconds,
//                   dispose 1 (the rectangle cleared to transparent black
//                   after the frame is shown), blend 0 (the frame replaces
//                   what is there)
//     frame 0: IDAT chunks; later frames: fdAT chunks, each a sequence
//     number (4) before its part of the frame's zlib stream
//   IEND
//
// Sequence numbers count the fcTL and fdAT chunks together, from 0. The
// first frame covers the canvas (viewers that know no animation show it as
// the image). Each frame is shown alone on a transparent canvas.
#pragma once

#include <cstdint>
#include <functional>

#include "image/png_writer.h"
#include "platform/byte_sink.h"

class ApngWriter {
public:
    explicit ApngWriter(ByteSink& sink) : sink_(sink) {}

    // The canvas, the number of frames (1 or more), how long each frame is
    // shown (delayNumerator / delayDenominator seconds), and the colours:
    // indexed with paletteRgb (768 bytes) and transparentIndex (-1: none),
    // or RGBA (rgba true) made from paletteRgb. False for invalid arguments
    // or a sink that refuses bytes.
    bool Start(std::int32_t width, std::int32_t height, std::uint32_t frames, std::uint16_t delayNumerator,
               std::uint16_t delayDenominator, bool rgba, const std::uint8_t* paletteRgb, int transparentIndex);

    // One row of a frame: its indices, and for RGBA its opacity marks
    // (non-zero: opaque), each as many bytes as the frame is wide. The
    // pointers stay valid until the next call.
    using RowSource = std::function<bool(std::int32_t row, const std::uint8_t** indices, const std::uint8_t** opaque)>;

    // Adds the next frame: width x height pixels at column x, row y of the
    // canvas, rows top first from source. The first frame must cover the
    // canvas; every frame must lie inside it. False for a frame that does
    // not, too many frames, a source that fails, or a refusing sink.
    bool AddFrame(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, const RowSource& source);

    // Ends the file; false unless every announced frame was added.
    bool Finish();

private:
    ByteSink& sink_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::uint32_t frames_ = 0;
    std::uint32_t added_ = 0;
    std::uint32_t sequence_ = 0;
    std::uint16_t delayNumerator_ = 1;
    std::uint16_t delayDenominator_ = 10;
    bool rgba_ = false;
    const std::uint8_t* palette_ = nullptr;
    int level_ = kPngLevel;
};
