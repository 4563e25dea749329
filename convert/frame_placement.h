// How the frames of one accepted sprite file become PCX images.
//
// Stitched mode (every frame has zero x and y offsets): all frames go onto one
// canvas in rows; a frame continues its predecessor's row only when that
// predecessor is exactly 256 pixels wide, so a picture cut into 256-pixel
// tiles comes back together. One file, "PCXFiles\NAME.pcx".
//
// Separate mode (some frame has an offset): every frame becomes an image of
// its own, "PCXFiles\NAME0.pcx", "PCXFiles\NAME1.pcx", ...
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sprite/dc6_file.h"

// Canvas column and row of each frame's top-left pixel in stitched mode.
extern thread_local std::int64_t frameX[kMaxBlocks];
extern thread_local std::int64_t frameY[kMaxBlocks];

// PCX files written since the run began; the run resets it.
extern thread_local std::int32_t imagesWritten;

// Begins a conversion run: imagesWritten goes to 0, and the run forgets the
// images it wrote (each run may replace what earlier runs wrote, but not what
// it wrote itself).
void StartConversionRun();

// Name buffers hold 259 characters and a terminating zero.
inline constexpr int kNameBufferSize = 260;

// Lays out, decodes and writes the images of the current sprite file (as
// accepted by GetFileInfoDC6) with currentPalette. name is the sprite file's
// name in a writable buffer; its extension is cut in place. Each image on disk
// adds one to imagesWritten. An image without a pixel or too large, whose
// output path does not fit 259 characters or was already written in this run,
// whose canvas cannot be obtained, or which cannot be written gives a notice
// (owner progressWindow) and is not counted.
void WriteSpriteImages(char* name);

// The stitched picture of the current sprite file (accepted by
// GetFileInfoDC6) as WriteSpriteImages plans it, for a viewer that draws it
// without converting: its size and each frame's top-left pixel, in frame
// order. Returns false, with the places filled all the same, when the picture
// cuts a frame (a converter run with PNG or a manifest then writes the frames
// one image each).
bool PlanStitchedPicture(std::int64_t* width, std::int64_t* height,
                         std::vector<std::pair<std::int64_t, std::int64_t>>* places);

// The bytes of the largest canvas WriteSpriteImages would hold at once for
// the current sprite file: its stitched picture, its largest frame, or its
// sheet. Images too large to be written count as nothing.
std::uint64_t LargestCanvasBytes();

// Cuts the last extension from name in place. The first character is never
// cut (".dc6" stays), and a dot before a path separator is not an extension.
void StripExtension(char* name);
