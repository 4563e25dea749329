// The program's conversion of one sprite file: read into spriteData,
// validated by GetFileInfoDC6, its images written by WriteSpriteImages, with
// the program's output folder (outputFolder) open for the run.
#pragma once

#include <string>

#include "convert/sprite_conversion.h"

// Creates the output folder (outputOptions.folder) when nothing of that name
// exists, and opens it as the run's outputFolder (OpenRunOutputFolder). Returns
// false, with the reason when asked, when the folder cannot be opened; the
// images of the run then fail to be written, each with that reason.
bool EnsureOutputFolder(std::string* reason = nullptr);

// Ends the run's hold on its output folder: outputFolder becomes none.
void CloseOutputFolder();

// Reads the file name (relative to the current directory) into spriteData,
// validates it with GetFileInfoDC6, hands an accepted file to
// WriteSpriteImages, and releases spriteData. name is a writable buffer of
// kNameBufferSize bytes; its extension is cut when the file is converted.
SpriteOutcome ConvertSpriteFile(char* name);

// The same for the file at path, whose images are named after name (the
// file's name without its folder).
SpriteOutcome ConvertSpriteFile(const char* path, char* name);
