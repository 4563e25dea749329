// The built-in palette, and the order palettes are stored in.
//
// A palette is 256 entries of three bytes, 768 bytes, no header, stored blue,
// green, red per entry (in the built-in table and in palette files alike).
// The image writers want red, green, blue: each run reorders its palette once.
#pragma once

#include <array>
#include <cstdint>

#include "image/pcx_writer.h"

// A palette in the order images hold it: 256 x red, green, blue.
using PaletteRgb = std::array<std::uint8_t, kPaletteSize>;

// The built-in palette, stored blue, green, red. Never changed.
extern const std::uint8_t builtInPalette[kPaletteSize];

// The built-in palette as images hold it.
PaletteRgb BuiltInPaletteRgb();

// Exchanges bytes 0 and 2 of every entry of the 768 bytes at palette, in
// place: stored order to the order images hold, and back.
void ReorderPalette(std::uint8_t* palette);
