// A DC6 sprite file, read whole, and its frame table.
//
// Layout (all integers little-endian):
//
//   offset  size        field
//   0       4           version, signed; must be 6
//   12      4 x 1       terminator bytes 0..3: byte 3 fills canvases, bytes
//                       1..3 mark the end of a frame's coded data
//   20      4           block count, signed; 1..12 frames
//   24      4 x count   offset of each frame header from the file's start
//
//   frame header (32 bytes) at its offset, then the coded data:
//   4       4           width, signed          8   4   height, signed
//   12      4           x offset               16  4   y offset
//   28      4           coded length, unsigned
//   32      length      coded scan lines (sprite/frame_decoder.h)
//
// One sprite file is current at a time on each thread; its parsed values are
// the thread's own (the program converts on one thread; a batch run may
// convert a file on each of several).
#pragma once

#include <cstdint>

namespace platform {
class FolderHandle;
}

// Bytes of slack after every whole-file block, all zero. The frame decoder may
// look up to 131 bytes past the end of a frame's coded data; the slack keeps
// such reads inside the block.
inline constexpr std::uint32_t kFileSlack = 0x10000;

inline constexpr std::int32_t kMaxBlocks = 12;

// The current sprite file.
extern thread_local std::uint8_t* spriteData;       // the whole file and its slack, or null
extern thread_local std::uint32_t spriteSize;       // the file's length in bytes
extern thread_local std::uint8_t terminator[4];     // header bytes 12..15
extern thread_local std::int32_t blockCount;        // 1..12 once accepted
extern thread_local std::uint8_t* frameTable[kMaxBlocks];  // frame header addresses
extern thread_local bool separateFrames;            // some frame has a non-zero x or y offset

// The current frame, set by SelectFrame.
extern thread_local std::int32_t frameWidth;
extern thread_local std::int32_t frameHeight;
extern thread_local std::uint8_t* frameData;        // first coded byte
extern thread_local std::uint32_t frameLength;      // coded bytes, cut to the file's end

// Reads the file at path (relative to the current directory or absolute) into
// a new block of its size + kFileSlack bytes, the slack zero-filled. Returns
// the block and sets size; on failure (cannot open, empty, short read, no
// memory) returns null, leaves size untouched and shows nothing. The caller
// owns the block and releases it with std::free (or holds it in a HeapBlock).
std::uint8_t* LoadWholeFile(const char* path, std::uint32_t* size);

// The same for the file name inside the open folder; *missing tells, on
// failure, whether nothing of that name was there.
std::uint8_t* LoadWholeFileIn(const platform::FolderHandle& folder, const char* name, std::uint32_t* size,
                              bool* missing);

// Validates the header of the file in spriteData (spriteSize bytes) and builds
// the frame table. Returns 1 when accepted, with terminator, blockCount,
// frameTable and separateFrames set. Returns 0 after passing a notice to
// NotifyError (owner progressWindow) when the version is not 6, the block
// count lies outside 1..12, or the frame table or a frame header lies outside
// the file.
int GetFileInfoDC6();

// Makes frame (an entry of frameTable) the current frame. The coded length is
// cut so that the coded data ends no later than the file does.
void SelectFrame(const std::uint8_t* frame);

// A frame header: 32 bytes at a frameTable entry, its coded data after it.
// The fields this program reads, by their byte offset (little-endian 32-bit).
inline constexpr std::uint32_t kFrameHeaderSize = 32;
inline constexpr std::uint32_t kFrameWidthOffset = 4;
inline constexpr std::uint32_t kFrameHeightOffset = 8;
inline constexpr std::uint32_t kFrameXOffset = 12;
inline constexpr std::uint32_t kFrameYOffset = 16;
inline constexpr std::uint32_t kFrameLengthOffset = 28;

// Little-endian reads from a byte span the caller has bounds-checked.
inline std::int32_t ReadInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t ReadUint32(const std::uint8_t* p) { return static_cast<std::uint32_t>(ReadInt32(p)); }
