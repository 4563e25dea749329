// One sprite file through the conversion: read, validate, write its images.
// The program's Convert and the command-line converter both go through here,
// so they write the same bytes under the same names.
#pragma once

// Creates the output folder (outputOptions.folder, "PCXFiles" unless the
// command line chose another) when nothing of that name exists, and makes it
// the run's outputFolder. An existing entry of any kind is taken as the
// folder; a failed creation shows later, as write failures of the images.
void EnsureOutputFolder();

// Ends the run's hold on its output folder: outputFolder becomes none.
void CloseOutputFolder();

enum class SpriteOutcome {
    Unreadable,  // could not be read whole; nothing was shown
    Rejected,    // the header was refused; the notice has been given
    Converted,   // its images went through WriteSpriteImages
};

// Reads the file name (relative to the current directory) into spriteData,
// validates it with GetFileInfoDC6, hands an accepted file to
// WriteSpriteImages, and releases spriteData. name is a writable buffer of
// kNameBufferSize bytes; its extension is cut when the file is converted.
SpriteOutcome ConvertSpriteFile(char* name);
