// Writing animated GIF files: GIF89a, one global colour table of all 256
// palette entries, looping forever, each frame a rectangle of the screen.
//
// Layout written (integers little-endian):
//
//   "GIF89a"
//   logical screen  width (2), height (2), 0xF7 (a global table of 2^(7+1)
//                   entries, 8 bits per primary), background index, aspect 0
//   global table    256 x red, green, blue
//   21 FF 0B "NETSCAPE2.0" 03 01 loops (2; 0: forever) 00
//   per frame:
//     21 F9 04 flags (disposal 2 << 2: the rectangle restored to the
//              background, transparent, after it is shown; or 3 << 2: the
//              rectangle restored to what it was before the frame; | 1 when
//              a transparent index is given) delay (2, in hundredths of a
//              second) transparent index 00
//     2C left (2) top (2) width (2) height (2) 00 (no local table, not
//              interlaced)
//     08       the LZW minimum code size, then the codes in sub-blocks of
//              1 to 255 bytes each after its length byte, then 00
//   3B
//
// The LZW coder: codes of 9 to 12 bits, least significant bit first; 256
// clears the table, 257 ends the data; the table starts again with a clear
// code whenever its 4096 codes are used.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/byte_sink.h"

inline constexpr std::int32_t kMaxGifDimension = 0xFFFF;

class GifWriter {
public:
    explicit GifWriter(ByteSink& sink) : sink_(sink) {}

    // The screen (1..65535 each way), its colours (768 bytes, red, green,
    // blue) and the index of its background (where a frame's rectangle is
    // restored to). False for invalid sizes or a sink that refuses bytes.
    bool Start(std::int32_t width, std::int32_t height, const std::uint8_t* paletteRgb, std::uint8_t background);

    // One row of a frame's indices, as many bytes as the frame is wide; valid
    // until the next call.
    using RowSource = std::function<bool(std::int32_t row, const std::uint8_t** indices)>;

    // What becomes of a frame's rectangle once the frame has been shown.
    enum class Disposal {
        Background,  // restored to the background (readers make it transparent)
        Previous,    // restored to what it was before the frame was drawn
    };

    // Adds a frame: width x height pixels at column x, row y of the screen,
    // shown for delay hundredths of a second; transparentIndex -1: none.
    // False for a frame outside the screen, a failing source or sink.
    bool AddFrame(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, std::uint16_t delay,
                  int transparentIndex, const RowSource& source, Disposal disposal = Disposal::Background);

    bool Finish();

private:
    ByteSink& sink_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};
