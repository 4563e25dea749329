// A DC6 sprite file parsed into a value.
//
// Layout (all integers little-endian):
//
//   offset  size        field
//   0       4           version, signed; must be 6
//   4       4, 4        kept, not interpreted
//   12      4 x 1       terminator bytes 0..3: byte 3 fills canvases, bytes
//                       1..3 mark the end of a frame's coded data
//   16      4           kept, not interpreted
//   20      4           block count, signed; 1..12 frames
//   24      4 x count   offset of each frame header from the file's start
//
//   frame header (32 bytes) at its offset, then the coded data:
//   0       4           kept                   4   4   width, signed
//   8       4           height, signed         12  4   x offset
//   16      4           y offset               20  4   kept
//   24      4           kept                   28  4   coded length, unsigned
//   32      length      coded scan lines (sprite/frame_decoder.h)
//
// The parser keeps no state: everything it finds is in the Dc6Sprite it
// returns, which points into the caller's block and is valid while that is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "notice/diagnostics.h"

// Bytes of slack after every whole-file block, all zero. The frame decoder may
// look up to 131 bytes past the end of a frame's coded data; the slack keeps
// such reads inside the block.
inline constexpr std::uint32_t kFileSlack = 0x10000;

inline constexpr std::int32_t kMaxBlocks = 12;

// The file header's fields, by their byte offset.
inline constexpr std::uint32_t kVersionOffset = 0;
inline constexpr std::uint32_t kFileField4Offset = 4;
inline constexpr std::uint32_t kFileField8Offset = 8;
inline constexpr std::uint32_t kTerminatorOffset = 12;
inline constexpr std::uint32_t kFileField16Offset = 16;
inline constexpr std::uint32_t kBlockCountOffset = 20;
inline constexpr std::uint32_t kFrameTableOffset = 24;  // also the header's size
inline constexpr std::int32_t kDc6Version = 6;

// A frame header: 32 bytes at a frame table entry, its coded data after it.
inline constexpr std::uint32_t kFrameHeaderSize = 32;
inline constexpr std::uint32_t kFrameField0Offset = 0;
inline constexpr std::uint32_t kFrameWidthOffset = 4;
inline constexpr std::uint32_t kFrameHeightOffset = 8;
inline constexpr std::uint32_t kFrameXOffset = 12;
inline constexpr std::uint32_t kFrameYOffset = 16;
inline constexpr std::uint32_t kFrameField20Offset = 20;
inline constexpr std::uint32_t kFrameField24Offset = 24;
inline constexpr std::uint32_t kFrameLengthOffset = 28;

using Dc6Terminator = std::array<std::uint8_t, 4>;

struct Dc6Frame {
    bool present = false;      // the header lies inside the file
    std::uint32_t offset = 0;  // of the header, from the file's start
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
    std::uint32_t header0to3 = 0;        // kept, not interpreted
    std::uint32_t header20to23 = 0;      // kept, not interpreted
    std::uint32_t header24to27 = 0;      // kept, not interpreted
    std::uint32_t storedLength = 0;      // the coded length the header gives
    const std::uint8_t* data = nullptr;  // first coded byte; null when not present
    std::uint32_t length = 0;            // coded bytes, cut to the file's end
};

struct Dc6Sprite {
    Dc6Terminator terminator{};
    std::uint32_t header4to7 = 0;
    std::uint32_t header8to11 = 0;
    std::uint32_t header16to19 = 0;
    std::vector<Dc6Frame> frames;  // 1..kMaxBlocks, in the file's order
    bool separateFrames = false;   // some present frame has a non-zero x or y offset
};

// What a frame header outside the file makes of the sprite.
enum class Dc6Damage {
    kRefuse,    // the sprite is refused (the conversion's rule)
    kTolerate,  // the frame is kept with present false, the others stand
};

// Parses the size bytes at bytes. Returns the sprite, or nothing after
// reporting kNotVersion6, kInvalidBlockCount or kInvalidFrameData (frame set
// when a frame header lies outside the file, -1 when the frame table does)
// to diagnostics. Header fields beyond a short file read as zero, as the
// zero-filled slack of LoadWholeFile would give them; nothing outside the
// size bytes is read. To decode frames, the block must be followed by
// kDecoderLookahead readable bytes (LoadWholeFile's slack is enough).
std::optional<Dc6Sprite> ParseDc6(const std::uint8_t* bytes, std::uint32_t size, Diagnostics& diagnostics,
                                  Dc6Damage damage = Dc6Damage::kRefuse);

// Little-endian reads from a byte span the caller has bounds-checked.
inline std::int32_t ReadInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t ReadUint32(const std::uint8_t* p) { return static_cast<std::uint32_t>(ReadInt32(p)); }
