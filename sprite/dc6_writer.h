// Writing a DC6 sprite file from frames already coded by EncodeFrame.
//
// Layout written (all integers little-endian):
//
//   offset  size        field
//   0       4           version: 6
//   4       4           header4to7 (not interpreted, kept as given)
//   8       4           header8to11 (not interpreted)
//   12      4 x 1       terminator bytes 0..3
//   16      4           header16to19 (not interpreted)
//   20      4           block count: the number of frames, 1..12
//   24      4 x count   offset of each frame header from the file's start
//
//   then each frame, in table order, right after the table:
//   0       4           header0to3 (not interpreted)
//   4       4           width              8   4   height
//   12      4           x offset           16  4   y offset
//   20      4           header20to23       24  4   header24to27
//   28      4           coded length
//   32      length      coded data
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_sink.h"

struct Dc6FrameRecord {
    std::int32_t width = 0;   // 0..65535
    std::int32_t height = 0;  // 0..65535
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
    std::uint32_t header0to3 = 0;
    std::uint32_t header20to23 = 0;
    std::uint32_t header24to27 = 0;
    std::vector<std::uint8_t> coded;  // EncodeFrame's bytes for this frame and the file's terminator
};

struct Dc6File {
    std::array<std::uint8_t, 4> terminator = {0, 0, 0, 0};
    std::uint32_t header4to7 = 0;
    std::uint32_t header8to11 = 0;
    std::uint32_t header16to19 = 0;
    std::vector<Dc6FrameRecord> frames;  // 1..12
};

// Writes file to sink in the layout above. Returns true when every byte was
// taken. Returns false, with a one-line reason in *reason (when not null),
// when the file has no frames or more than 12, a frame's width or height lies
// outside 0..65535, the file would be too large for the reader (its offsets
// and lengths are 32-bit and it reads files up to 4 GiB less 64 KiB), or the
// sink refused bytes. Nothing is written in the first three cases; after a
// refusal by the sink, the sink holds a partial file.
bool WriteDc6(ByteSink& sink, const Dc6File& file, std::string* reason = nullptr);
