// The palette file a run writes with instead of the built-in palette, read
// the way the front end takes them. The one place that decides which files
// are palettes: the Windows program takes any file of exactly 768 bytes,
// whatever its name; the command line and the page every format
// convert/palette_reading.h reads (raw .pal, .act, JASC, GIMP .gpl).
#pragma once

#include <string>

#include "image/palette_files.h"

enum class PaletteFiles {
    Raw768,     // the Windows program
    AnyFormat,  // kelvane-convert and the page
};

enum class RunPaletteRead {
    Read,
    Unreadable,  // Raw768: missing, empty, or not readable
    WrongSize,   // Raw768: a file of another size than 768 bytes
    Refused,     // AnyFormat: missing, unreadable, too large, or what the parser found wrong
};

// Reads the palette file at path into *out (entries stored blue, green, red;
// entries past out->colours black). On anything but Read, *out is unchanged
// and *reason, a phrase that follows the file's name ("does not exist",
// "line 7: expected three numbers 0 to 255"), says why.
RunPaletteRead ReadRunPalette(const std::string& path, PaletteFiles accepted, PaletteFile* out, std::string* reason);
