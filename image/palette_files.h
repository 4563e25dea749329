// Palette files of other editors, read into the core's stored order and
// written from a run's palette.
//
// Formats read (the first that matches, in this order):
//   Photoshop .act  recognised by the name's extension (case ignored):
//                   768 bytes, 256 x red, green, blue; or 772 bytes, the
//                   same and then the colour count and the transparent
//                   index, 16-bit big-endian each. A count of 0 or above
//                   256 is read as 256; the transparent index is not used.
//   RIFF PAL        "RIFF", size (32-bit little-endian), "PAL ", chunks
//                   (id, 32-bit little-endian size, data, a pad byte after
//                   odd sizes); the "data" chunk holds version 0x0300 and a
//                   count (16-bit little-endian each), then count x red,
//                   green, blue, flags. Other chunks are skipped.
//   JASC-PAL        text: "JASC-PAL", "0100", the count, then count lines
//                   "R G B"; lines end in CR LF or LF.
//   GIMP            text: "GIMP Palette", then "Name:" and "Columns:"
//                   lines, '#' comments, blank lines, and lines
//                   "R G B [name]".
//   raw             any other file of exactly 768 bytes: 256 x blue, green,
//                   red, as the core stores a palette.
// Every colour value is 0..255 and a file holds 1 to 256 colours.
//
// Formats written, always all 256 entries:
//   .gpl   GIMP, "Name: Kelvane Converter", LF line ends
//   .pal   JASC-PAL, CR LF line ends
//   .act   Photoshop, 768 bytes red, green, blue
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_sink.h"

struct PaletteFile {
    std::uint8_t storedBgr[768];  // blue, green, red per entry; entries past `colours` black
    int colours;                  // how many entries the file held, 1..256
};

enum class PaletteParse { Parsed, Refused };

// Reads the palette in bytes[0, length), the whole content of a file named
// name (only its extension is used, to recognise .act). On Parsed, out holds
// the palette. On Refused, out is unchanged and reason (if not null) says
// what is wrong in a short phrase for the user, naming the line for text
// formats ("line 7: expected three numbers 0 to 255"). Never reads outside
// bytes[0, length).
PaletteParse ParsePaletteFile(const std::string& name, const std::uint8_t* bytes, std::size_t length, PaletteFile* out,
                              std::string* reason);

enum class PaletteFormat { Gimp, Jasc, Act };

// The format a palette is written in for a file name: .gpl GIMP, .pal
// JASC-PAL, .act Photoshop, letter case ignored. False for any other name.
bool PaletteFormatForName(const std::string& name, PaletteFormat* format);

// Writes the 256 entries of paletteRgb (768 bytes, red, green, blue) to sink
// in format, in one write. False when the sink refuses the bytes.
bool WritePaletteFile(ByteSink& sink, PaletteFormat format, const std::uint8_t* paletteRgb);
