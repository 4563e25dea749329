// The program's current sprite file: the process-wide values through which
// the Windows program's conversion path hands a sprite from function to
// function (LoadWholeFile, GetFileInfoDC6, SelectFrame), filled from the
// value parser of sprite/dc6_sprite.h. The file layout is described there.
//
// One sprite file is current at a time: the program converts on one thread.
// Everything else converts through the value core and never touches these.
#pragma once

#include <cstdint>

#include "sprite/dc6_sprite.h"
#include "sprite/frame_decoder.h"

// The current sprite file.
extern std::uint8_t* spriteData;              // the whole file and its slack, or null
extern std::uint32_t spriteSize;              // the file's length in bytes
extern std::uint8_t terminator[4];            // header bytes 12..15
extern std::int32_t blockCount;               // 1..12 once accepted
extern std::uint8_t* frameTable[kMaxBlocks];  // frame header addresses
extern bool separateFrames;                   // some frame has a non-zero x or y offset

// The current frame, set by SelectFrame.
extern std::int32_t frameWidth;
extern std::int32_t frameHeight;
extern std::uint8_t* frameData;    // first coded byte
extern std::uint32_t frameLength;  // coded bytes, cut to the file's end

// Reads the file at path (relative to the current directory or absolute) into
// a new block of its size + kFileSlack bytes, the slack zero-filled. Returns
// the block and sets size; on failure (cannot open, empty, short read, no
// memory) returns null, leaves size untouched and shows nothing. The caller
// owns the block and releases it with std::free (or holds it in a HeapBlock).
std::uint8_t* LoadWholeFile(const char* path, std::uint32_t* size);

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

// The current sprite's frame decoding, as the program has it: DecodeFrame
// of sprite/frame_decoder.h with the current terminator, its faults shown
// in boxes owned by progressWindow (unless watch says quiet).
void DecodeFrame(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                 std::uint8_t* canvas, std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x,
                 std::int64_t y, const DecodeWatch* watch = nullptr);

// The same for counting (CountFrameIndices) and for a canvas filled with
// terminator[3].
void CountFrameIndices(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                       std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x, std::int64_t y,
                       std::uint64_t counts[256]);
std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height);
