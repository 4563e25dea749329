// The program's frame placement: the current sprite file (as GetFileInfoDC6
// accepted it) through the value core's WriteSpriteImages, with the
// program's palette, options and output folder, its counts and places kept
// in the program's own values.
#pragma once

#include <cstdint>

#include "convert/frame_placement.h"
#include "convert/output_names.h"
#include "ui/program/dc6_file.h"

// Canvas column and row of each frame's top-left pixel in stitched mode.
extern std::int64_t frameX[kMaxBlocks];
extern std::int64_t frameY[kMaxBlocks];

// PCX files written since the run began; the run resets it.
extern std::int32_t imagesWritten;

// The output paths of the program's run.
extern OutputClaims programClaims;

// Begins a conversion run: imagesWritten goes to 0, and the run forgets the
// images it wrote (each run may replace what earlier runs wrote, but not what
// it wrote itself).
void StartConversionRun();

// The program's conversion of the current sprite file (as accepted by
// GetFileInfoDC6) with currentPalette, outputOptions and outputFolder, each
// sprite the file after the last of the run; frameX and frameY are set from
// its report. name is the sprite file's name in a writable buffer; its
// extension is cut in place. Each image on disk adds one to imagesWritten.
// An image without a pixel or too large, whose output path does not fit 259
// characters or was already written in this run, whose canvas cannot be
// obtained, or which cannot be written gives a notice (owner progressWindow)
// and is not counted.
void WriteSpriteImages(char* name);

// LargestCanvasBytes of the current sprite file with outputOptions.
std::uint64_t LargestCanvasBytes();
