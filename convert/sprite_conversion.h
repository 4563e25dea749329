// One sprite file through the conversion: read, validate, write its images.
// The program's Convert and the command-line converter both go through here,
// so they write the same bytes under the same names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {
class FolderHandle;
}

// Creates the output folder (outputOptions.folder, "PCXFiles" unless the
// command line chose another) when nothing of that name exists, and opens it
// as the run's outputFolder. A folder the user did not name must be a folder
// of its own, not a link. Returns false, with the reason when asked, when the
// folder cannot be opened; the images of the run then fail to be written,
// each with that reason.
bool EnsureOutputFolder(std::string* reason = nullptr);

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

// The same for the file at path, whose images are named after name (the
// file's name without its folder).
SpriteOutcome ConvertSpriteFile(const char* path, char* name);

// The same for the file fileName inside folder, which the caller holds open;
// *missing tells, when the file is unreadable, whether it was not there.
// admit (when given) is asked, once the header is accepted and before any
// image is made, with the bytes the file needs at most at any moment (the
// file itself and its largest canvas); it may wait. When it says false,
// nothing is written and the outcome is Rejected, without a notice: the
// caller has given the file up.
SpriteOutcome ConvertSpriteFileIn(const platform::FolderHandle& folder, const char* fileName, char* name, bool* missing,
                                  const std::function<bool(std::uint64_t)>& admit = nullptr);
