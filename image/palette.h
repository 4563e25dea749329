// The palette a conversion run writes with.
//
// A palette is 256 entries of three bytes, 768 bytes, no header, stored blue,
// green, red per entry (in the built-in table and in palette files alike).
// The PCX writer wants red, green, blue: each run reorders its palette once.
#pragma once

#include <cstdint>

#include "image/pcx_writer.h"

// The built-in palette, stored blue, green, red. Never changed.
extern const std::uint8_t builtInPalette[kPaletteSize];

// The 768 bytes the current run writes with; null until a run chooses.
extern std::uint8_t* currentPalette;

// True when currentPalette is the built-in palette or nothing is held, so that
// there is nothing to release; false while it owns a custom palette block.
extern bool paletteIsBuiltIn;

// Releases a custom palette block if one is held (paletteIsBuiltIn false).
// Leaves paletteIsBuiltIn as it is.
void ReleasePalette();

// Points currentPalette at a fresh copy of the built-in table, in stored
// order, so that ReorderPalette never touches the table itself; sets
// paletteIsBuiltIn.
void UseBuiltInPalette();

enum class PaletteLoad { Loaded, Unreadable, WrongSize };

// Reads a palette file: any file of exactly 768 bytes. On Loaded,
// currentPalette owns the new block and paletteIsBuiltIn is false; otherwise
// nothing new is held and both are unchanged.
PaletteLoad LoadPaletteFile(const char* path);

// Exchanges bytes 0 and 2 of every entry of currentPalette, in place.
void ReorderPalette();
